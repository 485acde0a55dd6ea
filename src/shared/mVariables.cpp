#include "mVariables.h"

namespace mVariables {

std::int32_t RandomPlayCount = 0;

namespace {
QString computerName;
std::uint8_t activeLight = 0;
std::int32_t trackLength = 0;
std::int16_t isPlaying = kFalse;
std::int16_t isMuted = kFalse;
std::int16_t isRandomMode = kFalse;
std::int16_t volumeLevel = 0;
} // namespace

const QString& ComputerName() {
    return computerName;
}
void SetComputerName(const QString& name) {
    computerName = name;
}

std::uint8_t ActiveLight() {
    return activeLight;
}
void SetActiveLight(std::uint8_t index) {
    activeLight = index;
}

std::int32_t TrackLength() {
    return trackLength;
}
void SetTrackLength(std::int32_t length) {
    trackLength = length;
}

std::int16_t IsPlaying() {
    return isPlaying;
}
void SetIsPlaying(std::int16_t flag) {
    isPlaying = flag;
}

std::int16_t IsMuted() {
    return isMuted;
}
void SetIsMuted(std::int16_t flag) {
    isMuted = flag;
}

std::int16_t IsRandomMode() {
    return isRandomMode;
}
void SetIsRandomMode(std::int16_t flag) {
    isRandomMode = flag;
}

std::int16_t VolumeLevel() {
    return volumeLevel;
}
void SetVolumeLevel(std::int16_t level) {
    volumeLevel = level;
}

void ResetToStartValues() {
    RandomPlayCount = 0;
    computerName.clear();
    activeLight = 0;
    trackLength = 0;
    isPlaying = kFalse;
    isMuted = kFalse;
    isRandomMode = kFalse;
    volumeLevel = 0;
}

} // namespace mVariables
