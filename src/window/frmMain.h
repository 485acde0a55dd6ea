#pragma once
// The player window: a frameless, round-cornered, fixed-size window that draws its own caption
// bar, with every element of the player at its place. The window owns its elements (they are
// children of its client area); they are public, under their layout names, so the behaviour
// handlers reach them through the window object. The handlers that give the elements their
// behaviour are declared here and defined in frmMainHandlers.cpp.

#include "CaptionBar.h"
#include "PlayerKeys.h"

#include "ControlArray.h"
#include "DrawingSurface.h"
#include "Form.h"
#include "ImageList.h"
#include "Label.h"
#include "Line.h"
#include "ListView.h"
#include "MediaChannel.h"
#include "PictureButton.h"
#include "Shape.h"
#include "Timer.h"

#include <cstdint>

namespace zr::ui {

class frmMain : public Form {
    Q_OBJECT
public:
    // Locked outer size, twips, and the same in pixels.
    static constexpr int kOuterWidthTwips = 5670;
    static constexpr int kOuterHeightTwips = 6900;
    // The frame around the client area and the caption bar above it, pixels.
    static constexpr int kFramePx = 4;
    static constexpr int kCaptionPx = CaptionBar::kHeight;
    // Corner ellipse of the rounded outline, pixels.
    static constexpr int kCornerEllipsePx = 30;

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // ---- Elements, in the layout's order: front-most first. ----
    Timer Timer1; // 1000 ms, disabled until Play enables it
    DrawingSurface& ProgressBar;
    ImageList ImageList1; // empty and unused, as the layout has it
    ListView& lstFiles;   // the playlist
    Label& Label4;        // "L"
    Label& Label3;        // "O"
    Label& Label2;        // "V"
    ControlArray<Shape> speCommandLight{QStringLiteral("speCommandLight")};
    ControlArray<PictureButton> imgControl{QStringLiteral("imgControl")};
    ControlArray<Label> lblPlayMode{QStringLiteral("lblPlayMode")};
    ControlArray<Line> Line5{QStringLiteral("Line5")};
    ControlArray<Shape> VolumeInd{QStringLiteral("VolumeInd")};
    Label& lblArtistA;
    Label& lblPositionA;
    Label& lblLengthA;
    Label& Label1; // ":" of the clock
    Label& lblELTimeD;
    Label& lblELTimeC;
    Label& lblELTimeB;
    Label& lblELTimeA;
    Label& lblElTime;
    Label& lblPosition;
    Label& lblArtist;
    Label& lblLength;
    ControlArray<Line> Line4{QStringLiteral("Line4")};
    ControlArray<Line> Line3{QStringLiteral("Line3")};
    ControlArray<Shape> speBorder{QStringLiteral("speBorder")};
    Line& Line2;
    Line& Line1;
    Shape& InfoWindow;

    // The one reply buffer of the two status queries; lives as long as the window.
    zr::StatusReply StatusReply;

    // The caption bar drawn inside the outline (owned by this window).
    [[nodiscard]] CaptionBar& captionBar() const { return *captionBar_; }

    // ---- Behaviour handlers (frmMainHandlers.cpp). Public: they call one another and the
    // playback clock and the browser window call them too. ----
    void imgControl_Click(std::int16_t index);
    void imgControl_MouseDown(std::int16_t index, const MouseArgs& args);
    void imgControl_MouseMove(std::int16_t index, const MouseArgs& args);
    void Form_MouseMove(const MouseArgs& args) override;
    void lstFiles_DblClick();
    void Timer1_Timer();
    void ProgressBar_MouseDown(const MouseArgs& args);
    void ProgressBar_Click();
    // The close request: runs before the window closes, whatever closes it.
    void Form_QueryUnload(int& cancel, int unloadMode) override;
    // The seek bar's seek to a position in ms, for the desktop's media controls (the keyboard
    // focus stays where it is).
    void SeekTo(std::int32_t positionMs);

    // Shows the window again and in front, also when it was minimized (the desktop's media
    // controls' Raise). On Wayland no client can take back a minimize and the compositor does
    // not say whether the window is minimized: a window minimized with its own box and not
    // activated since is shown anew, as a new surface the compositor maps as usual.
    void ShowInFront();

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
    void changeEvent(QEvent* event) override;

private:
    template <typename T> T& Make(const char* name);
    void BuildLayout();
    void ConnectEvents();

    CaptionBar* captionBar_; // child of this window
    // False where the window system cannot cut the window to the outline (Wayland): the
    // window is then translucent and paints its rounded outline itself.
    bool shapedByMask_ = true;
    PlayerKeys* keys_; // child of this window
    // Minimized with the caption bar's box and not activated since (see ShowInFront).
    bool minimizedByBox_ = false;
};

} // namespace zr::ui
