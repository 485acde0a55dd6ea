#pragma once
// The elements of the player window that the playback behaviour reads and changes: the
// playlist, the information labels, the lights, the volume indicator, the progress bar, the
// clock's timer and the status reply buffer. The window owns all of them; this only refers to
// them for the length of a handler, so the behaviour code needs no window type of its own.

#include "ControlArray.h"
#include "DrawingSurface.h"
#include "Form.h"
#include "Label.h"
#include "ListView.h"
#include "MediaChannel.h"
#include "Shape.h"
#include "Timer.h"

namespace zr {

struct PlayerElements {
    ui::Form& window; // its mouse pointer shows the hourglass while Play runs
    ui::ListView& lstFiles;
    ui::Label& lblArtistA;
    ui::Label& lblLengthA;
    ui::Label& lblPositionA;
    ui::Label& lblELTimeA;                    // tens of minutes
    ui::Label& lblELTimeB;                    // minutes
    ui::Label& lblELTimeC;                    // tens of seconds
    ui::Label& lblELTimeD;                    // seconds
    ui::ControlArray<ui::Label>& lblPlayMode; // (1) shows the speed
    ui::ControlArray<ui::Shape>& speCommandLight;
    ui::ControlArray<ui::Shape>& VolumeInd;
    ui::DrawingSurface& ProgressBar;
    ui::Timer& Timer1;
    StatusReply& statusReply;
};

} // namespace zr
