// The behaviour of the player window's elements: commands, playback clock, seeking, hover
// lights and the close request. The handlers hand the window's elements to the behaviour code
// of the player and playlist modules, which does the work.

#include "frmMain.h"

#include "HoverLights.h"
#include "PlaybackMonitor.h"
#include "PlayerElements.h"
#include "SeekBar.h"
#include "Transport.h"
#include "VolumeControl.h"
#include "frmExplore.h"
#include "mVariables.h"

namespace zr::ui {
namespace {

zr::PlayerElements ElementsOf(frmMain& w) {
    return {w,
            w.lstFiles,
            w.lblArtistA,
            w.lblLengthA,
            w.lblPositionA,
            w.lblELTimeA,
            w.lblELTimeB,
            w.lblELTimeC,
            w.lblELTimeD,
            w.lblPlayMode,
            w.speCommandLight,
            w.VolumeInd,
            w.ProgressBar,
            w.Timer1,
            w.StatusReply};
}

} // namespace

void frmMain::imgControl_Click(std::int16_t index) {
    zr::PlayerElements e = ElementsOf(*this);
    switch (index) {
    case 0:
        zr::Previous(e);
        break;
    case 1:
        zr::Play(e);
        break;
    case 2:
        zr::Pause(e);
        break;
    case 3:
        zr::Stop(e);
        break;
    case 4:
        zr::Next(e);
        break;
    case 5:
        frmExplore::Open(this, lstFiles);
        break;
    case 6:
        zr::SetSpeed(e, zr::Speed::Slow);
        break;
    case 7:
        zr::SetSpeed(e, zr::Speed::Fast);
        break;
    case 8:
        zr::ToggleMute(e);
        break;
    case 9:
        zr::ToggleRandomMode(e);
        break;
    case 10:
        zr::VolumeStep(VolumeInd, u"Increase");
        break;
    case 11:
        zr::VolumeStep(VolumeInd, u"Decrease");
        break;
    case 14:
        zr::ClearPlaylist(e);
        break;
    case 15:
        zr::SetSpeed(e, zr::Speed::Normal);
        break;
    default: // 12 and 13 are the end caps of the seek bar
        break;
    }
    emit StateChanged();
}

void frmMain::imgControl_MouseDown(std::int16_t index, const MouseArgs&) {
    zr::ShowPressedLight(speCommandLight, index);
}

void frmMain::imgControl_MouseMove(std::int16_t index, const MouseArgs&) {
    const zr::HoverState state{lstFiles.ListItems().Count(),
                               mVariables::IsPlaying() == mVariables::kTrue,
                               mVariables::IsMuted() == mVariables::kTrue,
                               mVariables::IsRandomMode() == mVariables::kTrue};
    zr::ShowHoverLight(speCommandLight, index, state);
}

void frmMain::Form_MouseMove(const MouseArgs&) {
    zr::TurnOffActiveLight(speCommandLight);
}

void frmMain::lstFiles_DblClick() {
    imgControl_Click(3);
    imgControl_Click(1);
}

void frmMain::Timer1_Timer() {
    zr::PlayerElements e = ElementsOf(*this);
    zr::Timer1Tick(e);
    emit StateChanged();
}

void frmMain::ProgressBar_MouseDown(const MouseArgs& args) {
    zr::PlayerElements e = ElementsOf(*this);
    const bool open = zr::TrackIsOpen();
    if (const auto position = zr::SeekFromPress(e, args.X); position && open)
        emit Seeked(*position);
    emit StateChanged();
}

void frmMain::SeekTo(std::int32_t positionMs) {
    zr::PlayerElements e = ElementsOf(*this);
    zr::PlayFrom(e, positionMs);
    if (zr::TrackIsOpen())
        emit Seeked(positionMs);
    emit StateChanged();
}

void frmMain::ProgressBar_Click() {}

void frmMain::Form_QueryUnload(int&, int) {
    // Closing never waits or cancels; a playing track is stopped, a paused one left to the
    // service's own shutdown.
    if (mVariables::IsPlaying() == mVariables::kTrue) {
        imgControl_Click(3);
    }
}

} // namespace zr::ui
