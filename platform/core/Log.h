#pragma once
// The app's console log: plain lines without levels. By default a line goes to standard error;
// tests install a capture to read what was logged. Safe to call from any thread.

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace core {

void log(std::string_view line);

// A value from outside (a service's answer, a file) as a log line shows it: whole up to
// kLoggedValueCharacters characters, else cut there (never inside a UTF-8 sequence) and followed
// by "… (<n> bytes)", so that one bad value never makes a line of megabytes.
inline constexpr std::size_t kLoggedValueCharacters = 200;
std::string logValue(std::string_view value);

using LogSink = std::function<void(std::string_view line)>;
// Replaces the sink; returns the previous one. An empty sink restores standard error.
LogSink setLogSink(LogSink sink);

// Captures every line logged while it lives (and still lets nothing through to the console).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    bool contains(std::string_view line) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    LogSink previous_;
};

} // namespace core
