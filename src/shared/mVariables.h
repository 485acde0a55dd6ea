#pragma once
// The player's process-wide state. Every value starts fresh with the process; nothing is saved.
// All readers and writers run on the user-interface thread, so nothing here is locked.
// The set accessors store the value unchanged: no range checks, no conversion, no
// notification. Bounds (e.g. of the volume) are kept by the one writer that changes a value.

#include <QString>

#include <cstdint>

namespace mVariables {

// Flags are 16-bit and hold true as -1, false as 0.
inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

// How many entries the random picker has handed out since start. Only the playlist's random
// picker reads and assigns it, directly. 32-bit so that a long session cannot overflow it.
extern std::int32_t RandomPlayCount;

// The machine's name for the browser's tree root; empty until the browser has loaded once.
[[nodiscard]] const QString& ComputerName();
void SetComputerName(const QString& name);

// Index (0..8) of the command light the hover handler lit last.
[[nodiscard]] std::uint8_t ActiveLight();
void SetActiveLight(std::uint8_t index);

// Length of the loaded track in milliseconds, as the "status mp3 length" reply gave it.
[[nodiscard]] std::int32_t TrackLength();
void SetTrackLength(std::int32_t length);

// Play has run and no Pause, Stop or end of track has come since.
[[nodiscard]] std::int16_t IsPlaying();
void SetIsPlaying(std::int16_t flag);

// Mute has switched the sound off and not back on since.
[[nodiscard]] std::int16_t IsMuted();
void SetIsMuted(std::int16_t flag);

// Random selection mode is on.
[[nodiscard]] std::int16_t IsRandomMode();
void SetIsRandomMode(std::int16_t flag);

// The volume sent to the media service (0 until the player window's load step sets 498).
[[nodiscard]] std::int16_t VolumeLevel();
void SetVolumeLevel(std::int16_t level);

// Puts every value back to its start value. For tests only: the program never resets state.
void ResetToStartValues();

} // namespace mVariables
