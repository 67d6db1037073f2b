#pragma once
// What a measured start-up process prints on its standard output when its first frame is drawn:
// "<CLOCK_MONOTONIC seconds> <resident megabytes>", then the stages it passed on the way as
// "name=<CLOCK_MONOTONIC seconds>" words. The monotonic clock is shared by all processes, so the
// parent subtracts the moment it spawned the child.
//
// With QUILLORA_BENCH_MEMORY_REPORT=<file> set, the process also appends where its resident memory
// lives at that frame: the totals of /proc/self/smaps_rollup, then every mapping's resident size
// from /proc/self/smaps summed by what it maps (each shared library, the heap, anonymous memory,
// the stacks), largest first.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

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

// The stages of one start, in the order passed.
class Timeline {
public:
    void mark(const char* name) { marks_.emplace_back(name, monotonicNow()); }
    const std::vector<std::pair<std::string, double>>& marks() const { return marks_; }

private:
    std::vector<std::pair<std::string, double>> marks_;
};

inline Timeline& timeline() {
    static Timeline t;
    return t;
}

// What a mapping of /proc/self/smaps counts as: a file by its base name, else its bracketed name
// ("[heap]", "[stack]"...), else anonymous memory.
inline std::string mappingGroup(const std::string& header) {
    // address perms offset dev inode [path]
    size_t pos = 0;
    for (int field = 0; field < 5 && pos != std::string::npos; ++field) {
        pos = header.find(' ', pos);
        if (pos != std::string::npos) pos = header.find_first_not_of(' ', pos);
    }
    if (pos == std::string::npos) return "[anonymous]";
    std::string name = header.substr(pos);
    if (name.rfind("[stack", 0) == 0) return "[stacks]";
    if (name.rfind("[anon:", 0) == 0) return "[anonymous]";
    if (name[0] == '[') return name;
    if (name.rfind("/memfd:", 0) == 0 || name.rfind("/dev/", 0) == 0) return name;
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

inline void writeMemoryReport(const char* path) {
    std::ofstream out(path, std::ios::app);
    std::ifstream rollup("/proc/self/smaps_rollup");
    std::string line;
    std::getline(rollup, line); // the range header
    while (std::getline(rollup, line)) out << "rollup " << line << "\n";
    std::ifstream smaps("/proc/self/smaps");
    std::map<std::string, long> kilobytes;
    std::string group;
    while (std::getline(smaps, line)) {
        if (line.empty()) continue;
        const bool isField = line.find(':') != std::string::npos && line.find(':') < line.find(' ');
        if (!isField) {
            group = mappingGroup(line);
        } else if (line.rfind("Rss:", 0) == 0) {
            kilobytes[group] += std::strtol(line.c_str() + 4, nullptr, 10);
        }
    }
    std::vector<std::pair<long, std::string>> sorted;
    for (const auto& [name, kb] : kilobytes) {
        if (kb > 0) sorted.emplace_back(kb, name);
    }
    std::sort(sorted.rbegin(), sorted.rend());
    for (const auto& [kb, name] : sorted) out << "mapping " << kb << " kB " << name << "\n";
    out << "end\n";
}

inline void reportFirstFrame() {
    const double now = monotonicNow();
    const double resident = residentMegabytes();
    std::printf("%.9f %.3f", now, resident);
    for (const auto& [name, at] : timeline().marks()) std::printf(" %s=%.9f", name.c_str(), at);
    std::printf("\n");
    std::fflush(stdout);
    if (const char* path = std::getenv("QUILLORA_BENCH_MEMORY_REPORT")) writeMemoryReport(path);
}

} // namespace bench
