// The behaviour of the player window's elements: commands, playback clock, seeking, hover
// lights and the close request.

#include "frmMain.h"

void frmMain::imgControl_Click(std::int16_t index) {
    (void)index;
}

void frmMain::imgControl_MouseDown(std::int16_t index, const zr::ui::MouseArgs& args) {
    (void)index;
    (void)args;
}

void frmMain::imgControl_MouseMove(std::int16_t index, const zr::ui::MouseArgs& args) {
    (void)index;
    (void)args;
}

void frmMain::Form_MouseMove(const zr::ui::MouseArgs& args) {
    (void)args;
}

void frmMain::lstFiles_DblClick() {}

void frmMain::Timer1_Timer() {}

void frmMain::ProgressBar_MouseDown(const zr::ui::MouseArgs& args) {
    (void)args;
}

void frmMain::ProgressBar_Click() {}

void frmMain::Form_QueryUnload(int& cancel, int unloadMode) {
    (void)cancel;
    (void)unloadMode;
}
