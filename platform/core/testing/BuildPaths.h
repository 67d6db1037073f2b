#pragma once
// Test support: where a test program finds its data (golden pictures in the source tree, the
// resources the build lays out). The build gives each path relative to the test program's own
// folder, so the same source compiles to the same object in every checkout and a compiler cache
// filled by one checkout serves the next; the program resolves them here, wherever it is run from.

#include <deque>
#include <filesystem>
#include <mutex>
#include <string>

namespace core::testkit {

// `relative` joined to the folder of the running program. The text lives as long as the process.
inline const char* besideProgram(const char* relative) {
    static std::mutex mutex;
    static std::deque<std::string> resolved; // a deque never moves what it holds
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    std::filesystem::path path = program.parent_path() / relative;
    path = path.lexically_normal();
    std::lock_guard lock(mutex);
    for (const auto& known : resolved) {
        if (known == path.string()) return known.c_str();
    }
    return resolved.emplace_back(path.string()).c_str();
}

} // namespace core::testkit
