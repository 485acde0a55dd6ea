#pragma once
// The player window: a frameless, round-cornered, fixed-size window that draws its own caption
// bar, with every element of the player at its place. The window owns its elements (they are
// children of its client area); they are public, under their layout names, so the behaviour
// handlers reach them through the window object. The handlers that give the elements their
// behaviour are declared here and defined in frmMainHandlers.cpp.

#include "CaptionBar.h"
#include "PlayerKeys.h"

#include "MediaChannel.h"
#include "elements/ControlArray.h"
#include "elements/DrawingSurface.h"
#include "elements/Form.h"
#include "elements/ImageList.h"
#include "elements/Label.h"
#include "elements/Line.h"
#include "elements/ListView.h"
#include "elements/PictureButton.h"
#include "elements/Shape.h"
#include "elements/Timer.h"

#include <cstdint>

class frmMain : public zr::ui::Form {
    Q_OBJECT
public:
    // Locked outer size, twips, and the same in pixels.
    static constexpr int kOuterWidthTwips = 5670;
    static constexpr int kOuterHeightTwips = 6900;
    // The frame around the client area and the caption bar above it, pixels.
    static constexpr int kFramePx = 4;
    static constexpr int kCaptionPx = zr::ui::CaptionBar::kHeight;
    // Corner ellipse of the rounded outline, pixels.
    static constexpr int kCornerEllipsePx = 30;

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // ---- Elements, in the layout's order: front-most first. ----
    zr::ui::Timer Timer1; // 1000 ms, disabled until Play enables it
    zr::ui::DrawingSurface& ProgressBar;
    zr::ui::ImageList ImageList1; // empty and unused, as the layout has it
    zr::ui::ListView& lstFiles;   // the playlist
    zr::ui::Label& Label4;        // "L"
    zr::ui::Label& Label3;        // "O"
    zr::ui::Label& Label2;        // "V"
    zr::ui::ControlArray<zr::ui::Shape> speCommandLight{QStringLiteral("speCommandLight")};
    zr::ui::ControlArray<zr::ui::PictureButton> imgControl{QStringLiteral("imgControl")};
    zr::ui::ControlArray<zr::ui::Label> lblPlayMode{QStringLiteral("lblPlayMode")};
    zr::ui::ControlArray<zr::ui::Line> Line5{QStringLiteral("Line5")};
    zr::ui::ControlArray<zr::ui::Shape> VolumeInd{QStringLiteral("VolumeInd")};
    zr::ui::Label& lblArtistA;
    zr::ui::Label& lblPositionA;
    zr::ui::Label& lblLengthA;
    zr::ui::Label& Label1; // ":" of the clock
    zr::ui::Label& lblELTimeD;
    zr::ui::Label& lblELTimeC;
    zr::ui::Label& lblELTimeB;
    zr::ui::Label& lblELTimeA;
    zr::ui::Label& lblElTime;
    zr::ui::Label& lblPosition;
    zr::ui::Label& lblArtist;
    zr::ui::Label& lblLength;
    zr::ui::ControlArray<zr::ui::Line> Line4{QStringLiteral("Line4")};
    zr::ui::ControlArray<zr::ui::Line> Line3{QStringLiteral("Line3")};
    zr::ui::ControlArray<zr::ui::Shape> speBorder{QStringLiteral("speBorder")};
    zr::ui::Line& Line2;
    zr::ui::Line& Line1;
    zr::ui::Shape& InfoWindow;

    // The one reply buffer of the two status queries; lives as long as the window.
    zr::StatusReply StatusReply;

    // The caption bar drawn inside the outline (owned by this window).
    [[nodiscard]] zr::ui::CaptionBar& captionBar() const { return *captionBar_; }

    // ---- Behaviour handlers (frmMainHandlers.cpp). Public: they call one another and the
    // playback clock and the browser window call them too. ----
    void imgControl_Click(std::int16_t index);
    void imgControl_MouseDown(std::int16_t index, const zr::ui::MouseArgs& args);
    void imgControl_MouseMove(std::int16_t index, const zr::ui::MouseArgs& args);
    void Form_MouseMove(const zr::ui::MouseArgs& args) override;
    void lstFiles_DblClick();
    void Timer1_Timer();
    void ProgressBar_MouseDown(const zr::ui::MouseArgs& args);
    void ProgressBar_Click();
    // The close request: runs before the window closes, whatever closes it.
    void Form_QueryUnload(int& cancel, int unloadMode) override;
    // The seek bar's seek to a position in ms, for the desktop's media controls (the keyboard
    // focus stays where it is).
    void SeekTo(std::int32_t positionMs);

signals:
    // A handler has run: what the player shows or plays may have changed.
    void StateChanged();
    // A seek of the open track went out, to this position in ms.
    void Seeked(std::int32_t positionMs);

public:
    // ---- Window shape and size (frmMain.cpp). ----
    // The load step: rounded outline, starting volume, three lit volume steps.
    void Form_Load() override;
    // The size lock: corrects the width first, then (in the nested event) the height.
    void Form_Resize() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    template <typename T> T& Make(const char* name);
    void BuildLayout();
    void ConnectEvents();

    zr::ui::CaptionBar* captionBar_; // child of this window
    // False where the window system cannot cut the window to the outline (Wayland): the
    // window is then translucent and paints its rounded outline itself.
    bool shapedByMask_ = true;
    zr::ui::PlayerKeys* keys_;       // child of this window
};
