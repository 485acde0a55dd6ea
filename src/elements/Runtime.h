#pragma once
// Small services of the window runtime used inside handlers.

namespace zr::ui {

// Processes the pending window events (input, paints, timers) and returns; for use inside a
// long handler so the windows stay responsive. Handlers may be entered re-entrantly meanwhile.
void DoEvents();

// Mouse pointer values of Form::SetMousePointer.
inline constexpr int vbDefault = 0;
inline constexpr int vbHourglass = 11;

} // namespace zr::ui
