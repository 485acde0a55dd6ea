#pragma once
// The threads of this process, for tests that a worker left behind ends or stays alone.

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace zr::test {

// All of them, or those of one name. The first call starts (and ends) a thread first: a
// sanitizer's runtime starts one of its own with the first thread, which must not count as one
// left behind.
inline std::size_t ThreadCount(const std::string& named = {}) {
    static const bool warmedUp = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)warmedUp;
    std::size_t n = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        if (!named.empty())
            std::getline(std::ifstream(task.path() / "comm"), name);
        n += name == named;
    }
    return n;
}

} // namespace zr::test
