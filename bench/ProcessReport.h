#pragma once
// What a measured start-up process prints on its standard output when its first frame is drawn:
// "<CLOCK_MONOTONIC seconds> <resident megabytes>". The monotonic clock is shared by all
// processes, so the parent subtracts the moment it spawned the child.

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

namespace bench {

inline double monotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

inline double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return 0;
}

inline void reportFirstFrame() {
    std::printf("%.9f %.3f\n", monotonicNow(), residentMegabytes());
    std::fflush(stdout);
}

} // namespace bench
