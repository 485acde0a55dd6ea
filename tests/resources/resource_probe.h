#pragma once
// A static library that uses the pictures, standing in for a window library in the tests.

namespace zr::test {

// Path of the window icon as the probe library knows it.
[[nodiscard]] const char* probeWindowIconPath();

} // namespace zr::test
