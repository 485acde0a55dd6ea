#pragma once
// How a device buffers and how long it waits for its file. The defaults are the program's;
// tests and tools may choose others.

#include <cstdint>

namespace zr::media {

struct DeviceOptions {
    std::uint32_t ringMs = 4000;       // decoded audio held ahead of the device
    std::uint32_t startBufferMs = 50;  // decoded before the device starts; at least one block
    std::uint16_t bufferFrames = 2048; // SDL device buffer: one callback's worth of frames
    std::uint32_t refillBelowMs = 500; // the worker refills the ring when it holds less
    // "open" answers within this: a normal file with its real result, a slower one with 0 (it
    // goes on opening; see MpegDevice.h).
    std::uint32_t openWaitMs = 80;
    // "status length" waits for the file to open until this long after "open".
    std::uint32_t lengthWaitMs = 1000;
    // A file without a first frame this long after "open" is given up (a disk that has spun
    // down takes a few seconds to answer its first read).
    std::uint32_t firstFrameWaitMs = 10000;
    // A playing track whose file gives nothing this long (a share that stopped answering, a
    // seek through gigabytes without audio) ends as a damaged file does.
    std::uint32_t stallLimitMs = 5000;
};

} // namespace zr::media
