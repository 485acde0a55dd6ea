#include "HoverLights.h"

#include "mVariables.h"

namespace zr {
namespace {

void Paint(ui::ControlArray<ui::Shape>& lights, int index, std::uint32_t colour) {
    if (auto* light = lights.Find(static_cast<std::int16_t>(index))) {
        light->SetFillColor(colour);
    }
}

} // namespace

std::optional<int> ButtonLight(int buttonIndex) {
    if (buttonIndex >= 0 && buttonIndex <= 5) {
        return buttonIndex;
    }
    switch (buttonIndex) {
    case 8:
        return 6;
    case 9:
        return 7;
    case 14:
        return 8;
    default:
        return std::nullopt;
    }
}

HoverOutcome HoverLight(int buttonIndex, const HoverState& s) {
    const auto lit = [](int light, std::uint32_t colour) {
        return HoverOutcome{light, colour, light};
    };
    switch (buttonIndex) {
    case 0: // Previous
    case 4: // Next
        return s.rowCount > 1 ? lit(buttonIndex, kLightCanAct) : HoverOutcome{};
    case 1: // Play
        return s.rowCount >= 1 ? lit(1, kLightCanAct) : HoverOutcome{};
    case 2: // Pause
    case 3: // Stop
        return s.isPlaying ? lit(buttonIndex, kLightCanAct) : HoverOutcome{};
    case 5: // Open
        return lit(5, kLightCanAct);
    case 8: // Mute: the light is the active one even when it stays dark
        if (!s.isPlaying) {
            return HoverOutcome{std::nullopt, kLightOff, 6};
        }
        return lit(6, s.isMuted ? kLightToggleOn : kLightCanAct);
    case 9: // Random Select
        return lit(7, s.isRandomMode ? kLightToggleOn : kLightCanAct);
    case 14: // Clear Playlist
        return lit(8, kLightCanAct);
    default:
        return HoverOutcome{};
    }
}

std::optional<int> PressedLight(int buttonIndex) {
    if ((buttonIndex >= 0 && buttonIndex <= 5) || buttonIndex == 14) {
        return ButtonLight(buttonIndex);
    }
    return std::nullopt;
}

void ShowHoverLight(ui::ControlArray<ui::Shape>& speCommandLight, int buttonIndex,
                    const HoverState& state) {
    mProcFunc::ResetLights(speCommandLight, u"speCommandLight");
    const HoverOutcome outcome = HoverLight(buttonIndex, state);
    if (outcome.light) {
        Paint(speCommandLight, *outcome.light, outcome.colour);
    }
    if (outcome.activeLight) {
        mVariables::SetActiveLight(static_cast<std::uint8_t>(*outcome.activeLight));
    }
}

void ShowPressedLight(ui::ControlArray<ui::Shape>& speCommandLight, int buttonIndex) {
    if (const auto light = PressedLight(buttonIndex)) {
        Paint(speCommandLight, *light, kLightPressed);
    }
}

void TurnOffActiveLight(ui::ControlArray<ui::Shape>& speCommandLight) {
    Paint(speCommandLight, mVariables::ActiveLight(), kLightOff);
}

} // namespace zr

namespace mProcFunc {

void ResetLights(zr::ui::ControlArray<zr::ui::Shape>& lights, QStringView arrayName) {
    if (arrayName != u"speCommandLight") {
        return;
    }
    for (int i = 0; i < zr::kFirstRowLightCount; ++i) {
        zr::Paint(lights, i, zr::kLightOff);
    }
}

} // namespace mProcFunc
