#pragma once
// The body of one upload leg, handed to libcurl piece by piece through its read and seek
// callbacks instead of whole: a file or a caller's stream is never loaded into memory.
//
// A body of known length (bytes, a file) announces it; one of unknown length goes chunked. When a
// producer stream has no bytes yet the read pauses the transfer; the stream's readiness handler
// then calls the wake-up, which must continue the transfer on the network thread. Internal to
// the URL session.

#include "platform/core/Stream.h"

#include <curl/curl.h>

#include <functional>
#include <memory>
#include <optional>

namespace net {

class UploadBody {
public:
    // Opens the stream; openError() tells whether that failed.
    explicit UploadBody(std::shared_ptr<core::InputStream> stream);
    ~UploadBody();
    UploadBody(const UploadBody&) = delete;
    UploadBody& operator=(const UploadBody&) = delete;

    std::optional<core::Error> openError() const;
    // The length sent in Content-Length, or -1 for a chunked body.
    std::int64_t length() const { return length_; }
    // Whether the last read failed with the stream's error.
    bool readFailed() const { return readFailed_; }

    // Makes `easy` send this body (as a POST unless the caller sets another method).
    void install(CURL* easy);
    // Called on any thread when a paused read can go on.
    void setWakeUp(std::function<void()> wakeUp);

private:
    static std::size_t onRead(char* buffer, std::size_t size, std::size_t count, void* user);
    static int onSeek(void* user, curl_off_t offset, int origin);

    std::shared_ptr<core::InputStream> stream_;
    std::int64_t length_ = -1;
    bool readFailed_ = false;
};

} // namespace net
