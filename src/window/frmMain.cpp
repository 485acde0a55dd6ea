#include "frmMain.h"

#include "ClockDigits.h"
#include "PlayerAccessibility.h"
#include "PlaylistDropTarget.h"
#include "ResourcePaths.h"
#include "VolumeRules.h"
#include "WindowIdentity.h"
#include "WindowOutline.h"
#include "mVariables.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTreeView>

#include <initializer_list>
#include <vector>

namespace zr::ui {
namespace {

constexpr ColorRef kBlack = Rgb(0, 0, 0);
constexpr ColorRef kNavy = Rgb(0, 0, 64);
constexpr ColorRef kCyan = Rgb(0, 255, 255);
constexpr ColorRef kLightGrey = Rgb(224, 224, 224);
constexpr ColorRef kSilver = Rgb(192, 192, 192);
constexpr ColorRef kGrey = Rgb(128, 128, 128);

const QColor kFrameFace(212, 208, 200);
const QColor kFrameEdge(64, 64, 64);

enum class Sizing { Fixed, ToCaption };

// The layout's 8.25 pt fonts by the closest installed sans: the first family of the list that
// is installed. The condensed DejaVu face is within a pixel or two of the original fonts'
// caption widths, so the fixed-size labels keep their full captions.
QFont NearestFont(std::initializer_list<const char*> families) {
    for (const char* family : families) {
        const QString name = QString::fromLatin1(family);
        if (QFontDatabase::hasFamily(name))
            return LayoutFont(name, 8.25);
    }
    return DefaultDialogFont();
}

QFont DialogFont() {
    return NearestFont({"MS Sans Serif", "Microsoft Sans Serif", "DejaVu Sans Condensed",
                        "Liberation Sans Narrow"});
}

QFont TahomaFont() {
    return NearestFont({"Tahoma", "DejaVu Sans Condensed", "Liberation Sans Narrow"});
}

// Text on the navy information panel.
void InfoStyle(Label& label, const QString& caption, Sizing sizing) {
    label.SetForeColor(kCyan);
    label.SetBackColor(kNavy);
    label.SetBackStyle(Label::vbOpaque);
    label.SetCaption(caption);
    label.SetAutoSize(sizing == Sizing::ToCaption);
}

} // namespace

template <typename T> T& frmMain::Make(const char* name) {
    auto* element = new T(ClientArea()); // owned by the client area
    element->SetName(QString::fromLatin1(name));
    return *element;
}

frmMain::frmMain(QWidget* parent)
    : Form(parent), ProgressBar(Make<DrawingSurface>("ProgressBar")),
      lstFiles(Make<ListView>("lstFiles")), Label4(Make<Label>("Label4")),
      Label3(Make<Label>("Label3")), Label2(Make<Label>("Label2")),
      lblArtistA(Make<Label>("lblArtistA")), lblPositionA(Make<Label>("lblPositionA")),
      lblLengthA(Make<Label>("lblLengthA")), Label1(Make<Label>("Label1")),
      lblELTimeD(Make<Label>("lblELTimeD")), lblELTimeC(Make<Label>("lblELTimeC")),
      lblELTimeB(Make<Label>("lblELTimeB")), lblELTimeA(Make<Label>("lblELTimeA")),
      lblElTime(Make<Label>("lblElTime")), lblPosition(Make<Label>("lblPosition")),
      lblArtist(Make<Label>("lblArtist")), lblLength(Make<Label>("lblLength")),
      Line2(Make<Line>("Line2")), Line1(Make<Line>("Line1")), InfoWindow(Make<Shape>("InfoWindow")),
      captionBar_(new CaptionBar(this)), keys_(nullptr) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    shapedByMask_ = PlatformShapesWindows(QGuiApplication::platformName());
    if (!shapedByMask_)
        setAttribute(Qt::WA_TranslucentBackground); // before the native window exists
    SetCaption(QStringLiteral("ZR - Mp3 Player"));
    setWindowIcon(WindowIcon());
    SetBackColor(kBlack);
    setFont(DialogFont());

    // Created at the locked size: the load step computes the outline from it, and a window
    // that cannot be resized tells the window manager so.
    setFixedSize(ToPixels(kOuterWidthTwips), ToPixels(kOuterHeightTwips));
    SetClientMargins(QMargins(kFramePx, kFramePx + kCaptionPx, kFramePx, 0));
    captionBar_->setGeometry(kFramePx, kFramePx, width() - 2 * kFramePx, kCaptionPx);
    connect(captionBar_, &CaptionBar::minimizeRequested, this, [this] {
        minimizedByBox_ = true;
        showMinimized();
    });
    // Closing goes through close(), so Form_QueryUnload runs as for any other close.
    connect(captionBar_, &CaptionBar::closeRequested, this, &QWidget::close);

    Timer1.SetInterval(1000);
    Timer1.SetEnabled(false);

    BuildLayout();
    ConnectEvents();
    NameForScreenReaders(*this);
    new PlaylistDropTarget(*this); // owned by this window
    keys_ = new PlayerKeys(*this); // after the layout: it watches every element

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

frmMain::~frmMain() = default;

void frmMain::BuildLayout() {
    // Front-most first, as the layout lists them; the end of this function stacks them so.
    std::vector<Element*> order;
    auto light = [&](std::int16_t index, int left, int top) {
        Shape& shape = speCommandLight.Create(index, ClientArea());
        shape.Move(left, top, 105, 60);
        shape.SetShape(Shape::vbShapeRectangle);
        shape.SetBorderColor(kBlack);
        shape.SetFillStyle(Shape::vbFSSolid);
        shape.SetFillColor(kBlack);
        order.push_back(&shape);
    };
    auto button = [&](std::int16_t index, int left, int top, int width, int height,
                      const QString& toolTip, bool stretch = false) {
        PictureButton& picture = imgControl.Create(index, ClientArea());
        picture.Move(left, top, width, height);
        picture.SetPicture(QString::fromLatin1(zr::resources::kButtonFaces.at(index)));
        picture.SetStretch(stretch);
        picture.SetToolTipText(toolTip);
        order.push_back(&picture);
    };
    auto line = [&](Line& element, int x1, int y1, int x2, int y2, ColorRef colour) {
        element.SetPoints(x1, y1, x2, y2);
        element.SetBorderColor(colour);
        order.push_back(&element);
    };
    auto volumeStep = [&](std::int16_t index, int top) {
        Shape& shape = VolumeInd.Create(index, ClientArea());
        shape.Move(5280, top, 135, 90);
        shape.SetShape(Shape::vbShapeRectangle);
        shape.SetFillStyle(Shape::vbFSSolid);
        shape.SetFillColor(zr::kVolumeUnlitColour);
        order.push_back(&shape);
    };
    auto info = [&](Label& label, int left, int top, int width, int height, const QString& caption,
                    Sizing sizing) {
        label.Move(left, top, width, height);
        InfoStyle(label, caption, sizing);
        order.push_back(&label);
    };
    auto volumeLetter = [&](Label& label, int top, const QString& caption) {
        label.Move(4800, top, 135, 255);
        label.SetForeColor(SystemColor(13));
        label.SetBackStyle(Label::vbTransparent);
        label.SetCaption(caption);
        order.push_back(&label);
    };

    ProgressBar.Move(720, 2460, 3615, 80);
    // Black, so the not-xor progress pen shows a light yellow bar that matches the playlist.
    ProgressBar.SetBackColor(kBlack);
    ProgressBar.Cls();
    order.push_back(&ProgressBar);

    lstFiles.Move(255, 2760, 5280, 3495);
    lstFiles.SetForeColor(Rgb(255, 255, 128));
    lstFiles.SetBackColor(kBlack);
    lstFiles.setFont(TahomaFont());
    lstFiles.SetMultiSelect(false);
    auto& columns = lstFiles.ColumnHeaders();
    columns.Add(QStringLiteral("File Path."), 0);
    columns.Add(QStringLiteral("Count."), 500);
    columns.Add(QStringLiteral("File Name."), 3500);
    columns.Add(QStringLiteral("Time"), 0);
    columns.Add(QStringLiteral("Played"), 0);
    order.push_back(&lstFiles);

    volumeLetter(Label4, 2400, QStringLiteral("L"));
    volumeLetter(Label3, 2160, QStringLiteral("O"));
    volumeLetter(Label2, 1920, QStringLiteral("V"));
    light(8, 1800, 2040);
    button(15, 4080, 2040, 255, 180, QStringLiteral("Normal Play"), true);
    button(14, 1920, 2040, 510, 180, QStringLiteral("Clear Playlist"));
    info(lblPlayMode.Create(1, ClientArea()), 1800, 1320, 825, 195, QStringLiteral("Normal play"),
         Sizing::ToCaption);
    info(lblPlayMode.Create(0, ClientArea()), 360, 1320, 795, 195, QStringLiteral("Play Mode."),
         Sizing::ToCaption);
    // The seek bar's end caps: decoration without a tooltip.
    button(13, 4310, 2420, 180, 150, QString());
    button(12, 570, 2420, 180, 150, QString());
    line(Line5.Create(1, ClientArea()), 4690, 1800, 4690, 2580, kGrey);
    line(Line5.Create(0, ClientArea()), 4680, 1800, 4680, 2580, kLightGrey);
    volumeStep(5, 2400);
    volumeStep(4, 1800);
    volumeStep(3, 1920);
    volumeStep(2, 2040);
    volumeStep(1, 2160);
    volumeStep(0, 2280);
    button(11, 5040, 2205, 180, 375, QStringLiteral("Decrease Volume"));
    button(10, 5040, 1800, 180, 375, QStringLiteral("Increase Volume"));
    light(7, 1080, 2040);
    button(9, 1200, 2040, 510, 180, QStringLiteral("Random Select"));
    light(6, 360, 2040);
    button(8, 480, 2040, 510, 180, QStringLiteral("Mute"));
    info(lblArtistA, 1800, 360, 3360, 195, QStringLiteral("No Track loaded."), Sizing::Fixed);
    info(lblPositionA, 1800, 840, 90, 195, QStringLiteral("0"), Sizing::ToCaption);
    info(lblLengthA, 1800, 600, 90, 195, QStringLiteral("0"), Sizing::ToCaption);
    info(Label1, 2070, 1080, 45, 195, QStringLiteral(":"), Sizing::ToCaption);
    info(lblELTimeD, 2280, 1080, 90, 195, QStringLiteral("0"), Sizing::ToCaption);
    info(lblELTimeC, 2160, 1080, 90, 195, QStringLiteral("0"), Sizing::ToCaption);
    info(lblELTimeB, 1920, 1080, 90, 195, QStringLiteral("0"), Sizing::ToCaption);
    info(lblELTimeA, 1800, 1080, 90, 195, QStringLiteral("0"), Sizing::ToCaption);
    LeftGrowingDigit::Attach(lblELTimeA);
    info(lblElTime, 360, 1080, 1005, 195, QStringLiteral("Elapsed Time."), Sizing::ToCaption);
    info(lblPosition, 360, 840, 615, 255, QStringLiteral("Position."), Sizing::Fixed);
    info(lblArtist, 360, 360, 4815, 255, QStringLiteral("Artist."), Sizing::Fixed);
    lblLength.setFont(TahomaFont());
    info(lblLength, 360, 600, 555, 195, QStringLiteral("Length."), Sizing::Fixed);
    line(Line4.Create(1, ClientArea()), 690, 2540, 4340, 2540, kGrey);
    line(Line4.Create(0, ClientArea()), 690, 2445, 4340, 2445, kLightGrey);
    button(7, 4320, 2040, 255, 180, QStringLiteral("Fast Play"));
    button(6, 3840, 2040, 255, 180, QStringLiteral("Slow Play"), true);
    line(Line3.Create(1, ClientArea()), 480, 2295, 4560, 2295, kGrey);
    line(Line3.Create(0, ClientArea()), 480, 2280, 4560, 2280, kSilver);
    light(5, 3960, 1800);
    light(4, 3240, 1800);
    light(3, 2520, 1800);
    light(2, 1800, 1800);
    light(1, 1080, 1800);
    light(0, 360, 1800);

    Shape& commandFrame = speBorder.Create(0, ClientArea());
    commandFrame.Move(240, 1680, 5295, 975);
    commandFrame.SetShape(Shape::vbShapeRoundedRectangle);
    commandFrame.SetBorderColor(kLightGrey);
    commandFrame.SetFillStyle(Shape::vbFSTransparent);
    commandFrame.SetBackStyle(Shape::vbTransparent);
    order.push_back(&commandFrame);

    button(0, 480, 1800, 510, 180, QStringLiteral("Previous"));
    button(1, 1200, 1800, 510, 180, QStringLiteral("Play"));
    button(2, 1920, 1800, 510, 180, QStringLiteral("Pause"));
    button(3, 2640, 1800, 510, 180, QStringLiteral("Stop"));
    button(4, 3360, 1800, 510, 180, QStringLiteral("Next"));
    button(5, 4080, 1800, 510, 180, QStringLiteral("Open"));
    line(Line2, 240, 2750, 5310, 2750, kLightGrey);
    line(Line1, 240, 6240, 240, 2750, Rgb(255, 255, 255));

    InfoWindow.Move(240, 240, 5295, 1335);
    InfoWindow.SetShape(Shape::vbShapeRoundedRectangle);
    InfoWindow.SetBackStyle(Shape::vbOpaque);
    InfoWindow.SetBackColor(kNavy);
    InfoWindow.SetBorderColor(kGrey);
    order.push_back(&InfoWindow);

    Shape& commandPanel = speBorder.Create(1, ClientArea());
    commandPanel.Move(240, 1680, 5280, 960);
    commandPanel.SetShape(Shape::vbShapeRoundedRectangle);
    commandPanel.SetBorderColor(kGrey);
    commandPanel.SetFillStyle(Shape::vbFSSolid);
    commandPanel.SetFillColor(kBlack);
    order.push_back(&commandPanel);

    // Back-most first to the front, so the first of the list ends up front-most.
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        (*it)->ZOrder(0);

    // Labels, buttons and shapes take no focus; the playlist comes first, then the bar.
    QWidget::setTabOrder(&lstFiles, &ProgressBar);
    lstFiles.SetFocus();
}

void frmMain::ConnectEvents() {
    imgControl.On(&PictureButton::Click, [this](std::int16_t index) { imgControl_Click(index); });
    imgControl.On(&PictureButton::MouseDown, [this](std::int16_t index, const MouseArgs& args) {
        imgControl_MouseDown(index, args);
    });
    imgControl.On(&PictureButton::MouseMove, [this](std::int16_t index, const MouseArgs& args) {
        imgControl_MouseMove(index, args);
    });
    connect(&lstFiles, &ListView::DblClick, this, [this] { lstFiles_DblClick(); });
    connect(&Timer1, &Timer::Tick, this, [this] { Timer1_Timer(); });
    connect(&ProgressBar, &DrawingSurface::MouseDown, this,
            [this](const MouseArgs& args) { ProgressBar_MouseDown(args); });
    connect(&ProgressBar, &DrawingSurface::Click, this, [this] { ProgressBar_Click(); });
}

void frmMain::Form_Load() {
    const int widthPx = OutlinePixels(Width(), TwipsPerPixelX());
    const int heightPx = OutlinePixels(Height(), TwipsPerPixelY());
    // Computed once, from the size the window has now; the size lock keeps it valid.
    const QRegion outline = RoundedOutline(QSize(widthPx, heightPx), kCornerEllipsePx);
    if (shapedByMask_) {
        setMask(outline);
    } else {
        // The window paints its own rounded frame; the caption bar and the client area, which
        // reach into the corners, are kept inside the outline so the corners stay clear.
        for (QWidget* child : {static_cast<QWidget*>(captionBar_), ClientArea()})
            child->setMask(outline.translated(-child->pos()) & QRegion(child->rect()));
    }

    mVariables::SetVolumeLevel(498);
    for (std::int16_t index : {0, 1, 2})
        VolumeInd(index).SetFillColor(zr::kVolumeLitColour);
}

void frmMain::Form_Resize() {
    // Width first; the nested resize that SetWidth raises then checks the height.
    if (Width() != kOuterWidthTwips) {
        SetWidth(kOuterWidthTwips);
        return;
    }
    if (Height() != kOuterHeightTwips)
        SetHeight(kOuterHeightTwips);
}

void frmMain::ShowInFront() {
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (isMinimized() || (wayland && minimizedByBox_)) {
        // Hidden and shown, a Wayland window is a new surface, mapped and not minimized.
        if (wayland)
            hide();
        showNormal();
    }
    minimizedByBox_ = false;
    show();
    raise();
    // Asks the window system for the focus (on Wayland through xdg-activation, where the
    // compositor offers it).
    activateWindow();
}

void frmMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        minimizedByBox_ = false;
    Form::changeEvent(event);
}

void frmMain::paintEvent(QPaintEvent*) {
    // The frame around the client area; the client area and caption bar paint themselves.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerEllipsePx / 2.0,
                           kCornerEllipsePx / 2.0);
    // Masked, the corners are cut away anyway; translucent, everything outside the outline
    // must stay unpainted so the desktop shows through.
    if (shapedByMask_)
        painter.fillRect(rect(), kFrameFace);
    else
        painter.fillPath(outline, kFrameFace);
    painter.setPen(QPen(kFrameEdge, 1));
    painter.drawPath(outline);
}

} // namespace zr::ui
