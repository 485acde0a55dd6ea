#include "PlayerKeys.h"

#include "PlaylistEntry.h"
#include "frmMain.h"
#include "mVariables.h"

#include <QKeyEvent>
#include <QTreeView>

namespace zr::ui {

KeyCommand CommandForKey(int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    KeyCommand command = KeyCommand::None;
    if (held == Qt::ControlModifier) {
        command = key == Qt::Key_O ? KeyCommand::Open : KeyCommand::None;
    } else if (held == Qt::NoModifier) {
        switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            command = KeyCommand::ActivateRow;
            break;
        case Qt::Key_Space:
        case Qt::Key_MediaTogglePlayPause:
        // The keyboards' Play/Pause key: X11 and Wayland send XF86AudioPlay, which Qt names
        // MediaPlay (no keysym gives MediaTogglePlayPause). Keys of their own for Pause and
        // Stop still arrive as MediaPause and MediaStop.
        case Qt::Key_MediaPlay:
            command = KeyCommand::PlayOrPause;
            break;
        case Qt::Key_MediaPause:
            command = KeyCommand::Pause;
            break;
        case Qt::Key_MediaStop:
            command = KeyCommand::Stop;
            break;
        case Qt::Key_MediaNext:
            command = KeyCommand::Next;
            break;
        case Qt::Key_MediaPrevious:
            command = KeyCommand::Previous;
            break;
        case Qt::Key_Plus:
            command = KeyCommand::VolumeUp;
            break;
        case Qt::Key_Minus:
            command = KeyCommand::VolumeDown;
            break;
        case Qt::Key_M:
            command = KeyCommand::Mute;
            break;
        default:
            break;
        }
    }
    return command;
}

bool RepeatsWhenHeld(KeyCommand command) {
    return command == KeyCommand::VolumeUp || command == KeyCommand::VolumeDown;
}

std::int16_t ButtonFor(KeyCommand command) {
    switch (command) {
    case KeyCommand::Previous:
        return 0;
    case KeyCommand::Pause:
        return 2;
    case KeyCommand::Stop:
        return 3;
    case KeyCommand::Next:
        return 4;
    case KeyCommand::Open:
        return 5;
    case KeyCommand::Mute:
        return 8;
    case KeyCommand::VolumeUp:
        return 10;
    case KeyCommand::VolumeDown:
        return 11;
    case KeyCommand::None:
    case KeyCommand::ActivateRow:
    case KeyCommand::PlayOrPause:
        break;
    }
    return -1;
}

PlayerKeys::PlayerKeys(frmMain& window) : QObject(&window), window_(window) {
    window.installEventFilter(this);
    for (QWidget* child : window.findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool PlayerKeys::Run(KeyCommand command) {
    switch (command) {
    case KeyCommand::None:
        return false;
    case KeyCommand::ActivateRow: {
        QTreeView& view = window_.lstFiles.View();
        const bool onList = view.hasFocus() || window_.lstFiles.hasFocus();
        if (!onList || zr::SelectedRow(window_.lstFiles) == 0)
            return false;
        window_.lstFiles_DblClick();
        return true;
    }
    case KeyCommand::PlayOrPause:
        window_.imgControl_Click(mVariables::IsPlaying() == mVariables::kTrue ? 2 : 1);
        return true;
    default:
        window_.imgControl_Click(ButtonFor(command));
        return true;
    }
}

bool PlayerKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const KeyCommand command = CommandForKey(key->key(), key->modifiers());
    if (command == KeyCommand::None)
        return false;
    if (key->isAutoRepeat() && !RepeatsWhenHeld(command))
        return command != KeyCommand::ActivateRow; // held: swallowed, not run again
    // A press that bubbles up from a child reaches the filter again on each parent; the
    // first widget that sees it decides, and an unused Return goes on to the list as before.
    return Run(command) || command != KeyCommand::ActivateRow;
}

} // namespace zr::ui
