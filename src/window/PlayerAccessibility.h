#pragma once
// Names for screen readers where the player window's own texts do not give one: the seek
// bar's end caps (no tooltip), the caption bar's glyph buttons, the seek bar, the playlist;
// and, for each value label, the caption it belongs to, so "0" is read as the length or the
// position it is.

namespace zr::ui {

class frmMain;

void NameForScreenReaders(frmMain& window);

} // namespace zr::ui
