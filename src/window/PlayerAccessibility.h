#pragma once
// What screen readers find in the player window beyond what its elements say themselves:
// names where the window's own texts give none (the seek bar's end caps, the caption bar's
// glyph buttons, the seek bar, the playlist); for each value label the caption it belongs to,
// so "0" is read as the length or the position it is; the seek bar as a slider with the
// position as its value; the playlist's rows read by their file names; and the elapsed-time
// clock as one text instead of four digits and a colon.

namespace zr::ui {

class frmMain;

void NameForScreenReaders(frmMain& window);

} // namespace zr::ui
