#pragma once
// The player window's keyboard: which key runs which command, and the filter that hands the
// window's key presses to the same handlers as the buttons. Arrow keys, Page Up/Down, Home,
// End and Tab are left to the playlist and the window, so selection and focus move as before.

#include <QObject>

#include <cstdint>

class QKeyEvent;

namespace zr::ui {

class frmMain;

enum class KeyCommand {
    None,
    ActivateRow, // Return / Enter on the playlist: as a double-click on the selected row
    PlayOrPause, // Space, the Play/Pause media key: Pause while playing, else Play
    Pause,       // imgControl(2)
    Stop,        // imgControl(3)
    Next,        // imgControl(4)
    Previous,    // imgControl(0)
    Open,        // Ctrl+O, imgControl(5)
    VolumeUp,    // "+", imgControl(10)
    VolumeDown,  // "-", imgControl(11)
    Mute,        // M, imgControl(8)
};

// The command of a key press. Shift and the keypad flag are ignored (a "+" needs Shift on
// many layouts, and the keypad's "+" and "-" count too); Ctrl, Alt and Meta make a different
// key, so only Ctrl+O with exactly Ctrl is Open.
[[nodiscard]] KeyCommand CommandForKey(int key, Qt::KeyboardModifiers modifiers);

// Whether a held key runs its command again with each auto-repeated press: only the volume
// steps do; holding Space must not toggle Play and Pause on and off.
[[nodiscard]] bool RepeatsWhenHeld(KeyCommand command);

// Button index that runs a command; -1 for the commands that are not one button press.
[[nodiscard]] std::int16_t ButtonFor(KeyCommand command);

// Watches the key presses of the player window and every widget in it (installed by the
// window, owned by it as a Qt child). A press with a command is consumed and runs the
// window's handlers; any other press goes on to the widget as before.
class PlayerKeys : public QObject {
    Q_OBJECT
public:
    explicit PlayerKeys(frmMain& window);

    // Runs a command on the window as its key would. Return runs only when the playlist has
    // the focus and a selected row; returns whether anything ran.
    bool Run(KeyCommand command);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmMain& window_;
};

} // namespace zr::ui
