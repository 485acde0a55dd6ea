#include "HoverLights.h"

namespace zr {

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
        return s.rowCount > 1 ? lit(buttonIndex, LightCanAct) : HoverOutcome{};
    case 1: // Play
        return s.rowCount >= 1 ? lit(1, LightCanAct) : HoverOutcome{};
    case 2: // Pause
    case 3: // Stop
        return s.isPlaying ? lit(buttonIndex, LightCanAct) : HoverOutcome{};
    case 5: // Open
        return lit(5, LightCanAct);
    case 8: // Mute: the light is the active one even when it stays dark
        if (!s.isPlaying) {
            return HoverOutcome{std::nullopt, LightOff, 6};
        }
        return lit(6, s.isMuted ? LightToggleOn : LightCanAct);
    case 9: // Random Select
        return lit(7, s.isRandomMode ? LightToggleOn : LightCanAct);
    case 14: // Clear Playlist
        return lit(8, LightCanAct);
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

} // namespace zr
