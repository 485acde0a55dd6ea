#pragma once
// How the desktop recognises the player: the desktop entry it belongs to (the Wayland app id,
// the X11 _KDE_NET_WM_DESKTOP_FILE hint, the taskbar's and the media panel's icon) and the
// window icon at every size the desktop entry installs.

#include <QIcon>

namespace zr::ui {

// Base name of the installed desktop entry (zr-mp3-player.desktop).
inline constexpr const char* kDesktopFileName = "zr-mp3-player";

// The window icon with one picture per installed size, so every place that shows it picks
// a drawn size instead of scaling the 16 px picture up.
[[nodiscard]] QIcon WindowIcon();

// Sets the application's desktop file name and window icon. Call once, after the
// QApplication is created and before the first window is shown.
void SetApplicationIdentity();

} // namespace zr::ui
