#include "VolumeControl.h"

#include "MediaChannel.h"
#include "VolumeRules.h"
#include "mVariables.h"

namespace zr {

void UpdateVolumeIndicator(ui::ControlArray<ui::Shape>& VolumeInd, int level) {
    const auto lit = LitVolumeSteps(level);
    if (!lit) {
        return;
    }
    for (int i = 0; i < kVolumeIndicatorSteps; ++i) {
        if (auto* shape = VolumeInd.Find(static_cast<std::int16_t>(i))) {
            shape->SetFillColor(i < *lit ? kVolumeLitColour : kVolumeUnlitColour);
        }
    }
}

void VolumeStep(ui::ControlArray<ui::Shape>& VolumeInd, QStringView direction) {
    if (const auto level = SteppedVolumeLevel(mVariables::VolumeLevel(), direction)) {
        mVariables::SetVolumeLevel(static_cast<std::int16_t>(*level));
        SendCommand(QStringLiteral("setaudio mp3 volume to ") + QString::number(*level));
    }
    UpdateVolumeIndicator(VolumeInd, mVariables::VolumeLevel());
}

} // namespace zr
