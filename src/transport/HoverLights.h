#pragma once
// Which indicator light a pointer over a picture button lights, and in which colour, as plain
// functions of the button index and the player's state. Lights are speCommandLight(0..8):
// buttons 0..5 own lights 0..5, "Mute" (8) light 6, "Random Select" (9) light 7, "Clear
// Playlist" (14) light 8; the other buttons have none. Colours are 0x00BBGGRR values.

#include "ControlArray.h"
#include "Shape.h"

#include <QStringView>

#include <cstdint>
#include <optional>

namespace zr {

inline constexpr std::uint32_t kLightOff = 0x000000;      // RGB(0, 0, 0)
inline constexpr std::uint32_t kLightCanAct = 0x00FFFF;   // RGB(255, 255, 0): the button would act
inline constexpr std::uint32_t kLightToggleOn = 0x0000FF; // RGB(255, 0, 0): the toggle is on
inline constexpr std::uint32_t kLightPressed = 0x00FF00;  // RGB(0, 255, 0)
inline constexpr int kCommandLightCount = 9;
inline constexpr int kFirstRowLightCount = 6; // lights of buttons 0..5, reset on every hover

// The light a button owns, or empty.
[[nodiscard]] std::optional<int> ButtonLight(int buttonIndex);

// What the state looks like to the hover step.
struct HoverState {
    std::int32_t rowCount = 0;
    bool isPlaying = false;
    bool isMuted = false;
    bool isRandomMode = false;
};

// Outcome of a hover over one button, after lights 0..5 have been switched off: the light to
// paint with its colour (if any) and the new ActiveLight (if it changes).
struct HoverOutcome {
    std::optional<int> light;
    std::uint32_t colour = kLightOff;
    std::optional<int> activeLight;
    friend bool operator==(const HoverOutcome&, const HoverOutcome&) = default;
};

[[nodiscard]] HoverOutcome HoverLight(int buttonIndex, const HoverState& state);

// The light that a press on the button turns green: lights 0..5 for buttons 0..5, light 8 for
// "Clear Playlist"; empty for every other button.
[[nodiscard]] std::optional<int> PressedLight(int buttonIndex);

// The pointer moved over picture button buttonIndex: lights 0..5 off, then the button's light
// as HoverLight says, and ActiveLight updated.
void ShowHoverLight(ui::ControlArray<ui::Shape>& speCommandLight, int buttonIndex,
                    const HoverState& state);

// A mouse button went down on picture button buttonIndex: its light green, if PressedLight
// names one. ActiveLight stays.
void ShowPressedLight(ui::ControlArray<ui::Shape>& speCommandLight, int buttonIndex);

// The pointer moved over the bare window: the light ActiveLight names goes off.
void TurnOffActiveLight(ui::ControlArray<ui::Shape>& speCommandLight);

} // namespace zr

namespace mProcFunc {

// When arrayName is exactly "speCommandLight", switches lights 0..5 of the array off, in index
// order; lights 6..8 keep their colour. Any other name does nothing.
void ResetLights(zr::ui::ControlArray<zr::ui::Shape>& lights, QStringView arrayName);

} // namespace mProcFunc
