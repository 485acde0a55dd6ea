#pragma once
// A file of the project's test fixtures: under ZR_TEST_FIXTURES, or ./fixtures (ctest runs the
// tests in the build folder, where the fixtures are made).

#include <cstdlib>
#include <string>

namespace zr::test {

inline std::string fixturePath(const std::string& name) {
    const char* dir = std::getenv("ZR_TEST_FIXTURES");
    return std::string(dir ? dir : "fixtures") + "/" + name;
}

} // namespace zr::test
