#include "PlayerAccessibility.h"

#include "Accessibility.h"
#include "TextHelpers.h"
#include "Transport.h"
#include "frmMain.h"
#include "mVariables.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QTreeView>

namespace zr::ui {
namespace {

constexpr int kFileNameColumn = 3;

// The seek bar as a slider: its value is the position shown, in seconds, between 0 and the
// track's length; setting the value seeks as a press on the bar does.
class AccessibleSeekBar : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    AccessibleSeekBar(DrawingSurface* bar, frmMain& window)
        : QAccessibleWidget(bar, QAccessible::Slider), window_(window) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override {
        return zr::TextValue(window_.lblPositionA.Caption()) / 1000.0;
    }
    void setCurrentValue(const QVariant& value) override {
        bool ok = false;
        const double seconds = value.toDouble(&ok);
        if (!ok || !zr::TrackIsOpen() || !(seconds >= 0.0) ||
            seconds * 1000.0 > mVariables::TrackLength())
            return;
        window_.SeekTo(static_cast<std::int32_t>(seconds * 1000.0));
    }
    QVariant maximumValue() const override { return mVariables::TrackLength() / 1000.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 1.0; }

private:
    frmMain& window_;
};

// The seek bar, and the caption bar as a panel named by the caption it shows (a plain widget
// would be a nameless filler; Qt hands a title bar on as a text).
QAccessibleInterface* PlayerWindowFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(CaptionBar::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<CaptionBar*>(object), QAccessible::Pane);
    if (className != QLatin1String(DrawingSurface::staticMetaObject.className()) ||
        object->objectName() != QLatin1String("ProgressBar"))
        return nullptr;
    auto* bar = static_cast<DrawingSurface*>(object);
    auto* window = qobject_cast<frmMain*>(bar->window());
    return window != nullptr ? new AccessibleSeekBar(bar, *window) : nullptr;
}

// An interface asked for while the window was being built, before the factory knew the
// element, is the plain one; dropped, the next question gets the right one.
void DropPlainInterface(QObject& object, QAccessible::Role role) {
    if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&object);
        iface != nullptr && iface->role() != role)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

// The elapsed-time clock is four digit labels and a colon; a screen reader finds one text,
// "00:00", on the first digit (the others are left out), renewed once all digits of a tick
// are set, so the reader hears each new time once.
class ClockText : public QObject {
public:
    explicit ClockText(frmMain& window) : QObject(&window), window_(window) {
        for (Label* part :
             {&window.lblELTimeB, &window.Label1, &window.lblELTimeC, &window.lblELTimeD})
            HideFromScreenReaders(*part);
        for (Label* digit :
             {&window.lblELTimeA, &window.lblELTimeB, &window.lblELTimeC, &window.lblELTimeD})
            connect(digit, &Label::CaptionChanged, this, &ClockText::Schedule);
        window.lblELTimeA.setAccessibleDescription(QStringLiteral("Elapsed Time"));
        Renew();
    }

private:
    void Schedule() {
        if (scheduled_)
            return;
        scheduled_ = true;
        QMetaObject::invokeMethod(
            this, [this] { Renew(); }, Qt::QueuedConnection);
    }

    void Renew() {
        scheduled_ = false;
        const QString text = window_.lblELTimeA.Caption() + window_.lblELTimeB.Caption() +
                             window_.Label1.Caption() + window_.lblELTimeC.Caption() +
                             window_.lblELTimeD.Caption();
        if (text != window_.lblELTimeA.accessibleName())
            window_.lblELTimeA.setAccessibleName(text);
    }

    frmMain& window_;
    bool scheduled_ = false;
};

} // namespace

void NameForScreenReaders(frmMain& window) {
    static const bool installed = [] {
        QAccessible::installFactory(&PlayerWindowFactory);
        return true;
    }();
    (void)installed;
    DropPlainInterface(window.ProgressBar, QAccessible::Slider);
    DropPlainInterface(window.captionBar(), QAccessible::Pane);

    window.captionBar().setAccessibleName(window.windowTitle());
    window.imgControl(12).setAccessibleName(QStringLiteral("Seek bar start"));
    window.imgControl(13).setAccessibleName(QStringLiteral("Seek bar end"));
    // The caption bar's buttons show only a glyph.
    window.captionBar().minimizeButton().setAccessibleName(QStringLiteral("Minimize"));
    window.captionBar().closeButton().setAccessibleName(QStringLiteral("Close"));
    window.ProgressBar.setAccessibleName(QStringLiteral("Seek bar"));
    window.ProgressBar.setAccessibleDescription(QStringLiteral("Position, seconds"));
    window.lstFiles.setAccessibleName(QStringLiteral("Playlist"));
    window.lstFiles.View().setAccessibleName(QStringLiteral("Playlist"));
    // Stepping through the rows reads each row's file name, not its number.
    window.lstFiles.SetFocusColumn(kFileNameColumn);

    window.lblArtistA.setAccessibleDescription(QStringLiteral("Artist"));
    window.lblLengthA.setAccessibleDescription(QStringLiteral("Length"));
    window.lblPositionA.setAccessibleDescription(QStringLiteral("Position"));
    window.lblPlayMode(1).setAccessibleDescription(QStringLiteral("Play Mode"));
    new ClockText(window); // owned by the window
}

} // namespace zr::ui
