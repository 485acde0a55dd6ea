#pragma once
// How a device buffers. The defaults are the program's; tests and tools may choose others.

#include <cstdint>

namespace zr::media {

struct DeviceOptions {
    std::uint32_t ringMs = 4000;       // decoded audio held ahead of the device
    std::uint32_t startBufferMs = 50;  // decoded before the device starts; at least one block
    std::uint16_t bufferFrames = 2048; // SDL device buffer: one callback's worth of frames
    std::uint32_t refillBelowMs = 500; // the worker refills the ring when it holds less
};

} // namespace zr::media
