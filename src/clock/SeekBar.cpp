#include "SeekBar.h"

#include "ClockRules.h"
#include "TextHelpers.h"
#include "Transport.h"
#include "mVariables.h"

namespace zr {

void SeekFromPress(PlayerElements& e, float x) {
    const double length = TextValue(e.lblLengthA.Caption());
    if (const auto n = SeekPosition(static_cast<float>(e.ProgressBar.Width()), length, x)) {
        const bool paused = TrackIsOpen() && mVariables::IsPlaying() != mVariables::kTrue;
        SendCommand(QStringLiteral("play mp3 from ") + QString::number(*n));
        if (paused) {
            // The device now plays; without this the window would say paused and the clock
            // would never see the end of the track.
            mVariables::SetIsPlaying(mVariables::kTrue);
            e.Timer1.SetEnabled(true);
        }
    }
    e.lstFiles.SetFocus();
}

} // namespace zr
