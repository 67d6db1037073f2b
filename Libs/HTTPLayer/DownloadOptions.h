#pragma once
// What a download does with its destination before moving the finished file there.

#include <cstdint>

namespace http {

class DownloadOptions {
public:
    using RawValue = std::uint32_t;

    // Create the destination's parent folder (with intermediate folders) before the move.
    static constexpr RawValue createParentDirectories = 1;
    // Remove a file already at the destination before the move.
    static constexpr RawValue replaceExistingFile = 2;

    constexpr DownloadOptions(RawValue rawValue = 0) : rawValue_(rawValue) {}
    constexpr RawValue rawValue() const { return rawValue_; }
    constexpr bool contains(RawValue option) const { return (rawValue_ & option) == option; }
    constexpr bool isEmpty() const { return rawValue_ == 0; }
    constexpr DownloadOptions operator|(DownloadOptions other) const { return rawValue_ | other.rawValue_; }
    constexpr DownloadOptions operator&(DownloadOptions other) const { return rawValue_ & other.rawValue_; }
    constexpr bool operator==(const DownloadOptions&) const = default;

private:
    RawValue rawValue_;
};

} // namespace http
