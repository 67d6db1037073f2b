#include "platform/core/Log.h"

#include <algorithm>
#include <utility>
#include <cstdio>

namespace core {

namespace {

// Never destroyed: threads that log while the process exits (the settings writer, say) may outlive
// static destructors.
std::mutex& sinkMutex() {
    static auto* m = new std::mutex;
    return *m;
}

LogSink& sinkSlot() {
    static auto* sink = new LogSink;
    return *sink;
}

} // namespace

std::string logValue(std::string_view value) {
    std::size_t at = 0;
    for (std::size_t characters = 0; at < value.size() && characters < kLoggedValueCharacters; ++characters) {
        // Past the lead byte of one character, to the next lead byte.
        ++at;
        while (at < value.size() && (static_cast<unsigned char>(value[at]) & 0xC0) == 0x80) ++at;
    }
    if (at >= value.size()) return std::string(value);
    return std::string(value.substr(0, at)) + "\u2026 (" + std::to_string(value.size()) + " bytes)";
}

void log(std::string_view line) {
    LogSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = sinkSlot();
    }
    if (sink) {
        sink(line);
        return;
    }
    std::string out(line);
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
}

LogSink setLogSink(LogSink sink) {
    std::lock_guard lock(sinkMutex());
    return std::exchange(sinkSlot(), std::move(sink));
}

LogCapture::LogCapture() {
    previous_ = setLogSink([this](std::string_view line) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    });
}

LogCapture::~LogCapture() { setLogSink(std::move(previous_)); }

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool LogCapture::contains(std::string_view line) const {
    std::lock_guard lock(mutex_);
    return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

void LogCapture::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

} // namespace core
