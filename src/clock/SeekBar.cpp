#include "SeekBar.h"

#include "ClockRules.h"
#include "TextHelpers.h"
#include "Transport.h"
#include "mVariables.h"

namespace zr {

void PlayFrom(PlayerElements& e, std::int32_t position) {
    const bool paused = TrackIsOpen() && mVariables::IsPlaying() != mVariables::kTrue;
    SendCommand(QStringLiteral("play mp3 from ") + QString::number(position));
    if (paused) {
        // The device now plays; without this the window would say paused and the clock
        // would never see the end of the track.
        mVariables::SetIsPlaying(mVariables::kTrue);
        e.Timer1.SetEnabled(true);
    }
}

std::optional<std::int32_t> SeekFromPress(PlayerElements& e, float x) {
    const double length = TextValue(e.lblLengthA.Caption());
    const auto n = SeekPosition(static_cast<float>(e.ProgressBar.Width()), length, x);
    if (n) {
        PlayFrom(e, *n);
    }
    e.lstFiles.SetFocus();
    return n;
}

} // namespace zr
