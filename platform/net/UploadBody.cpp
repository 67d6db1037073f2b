#include "platform/net/UploadBody.h"

#include <cstdio>

namespace net {

UploadBody::UploadBody(std::shared_ptr<core::InputStream> stream) : stream_(std::move(stream)) {
    stream_->open();
    if (auto known = stream_->knownLength()) length_ = static_cast<std::int64_t>(*known);
}

UploadBody::~UploadBody() {
    stream_->setReadinessHandler(nullptr);
    stream_->close();
}

std::optional<core::Error> UploadBody::openError() const {
    if (stream_->streamStatus() != core::StreamStatus::error) return std::nullopt;
    return stream_->streamError().value_or(core::Error{std::string(core::kStreamErrorDomain), 0, "stream failed", {}});
}

void UploadBody::install(CURL* easy) {
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, &UploadBody::onRead);
    curl_easy_setopt(easy, CURLOPT_READDATA, this);
    curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &UploadBody::onSeek);
    curl_easy_setopt(easy, CURLOPT_SEEKDATA, this);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length_));
    // Larger pieces than libcurl's 64 KiB: fewer reads and progress reports for a large body.
    curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
}

void UploadBody::setWakeUp(std::function<void()> wakeUp) { stream_->setReadinessHandler(std::move(wakeUp)); }

std::size_t UploadBody::onRead(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto& body = *static_cast<UploadBody*>(user);
    core::InputStream& stream = *body.stream_;
    std::int64_t n = stream.read(reinterpret_cast<std::uint8_t*>(buffer), size * count);
    if (n > 0) return static_cast<std::size_t>(n);
    if (n < 0 || stream.streamStatus() == core::StreamStatus::error) {
        body.readFailed_ = true;
        return CURL_READFUNC_ABORT;
    }
    // Nothing read: the end, or a producer that has nothing yet and will say when it has.
    auto status = stream.streamStatus();
    if (status == core::StreamStatus::atEnd || status == core::StreamStatus::closed) return 0;
    return CURL_READFUNC_PAUSE;
}

int UploadBody::onSeek(void* user, curl_off_t offset, int origin) {
    auto& body = *static_cast<UploadBody*>(user);
    if (origin != SEEK_SET || offset < 0) return CURL_SEEKFUNC_CANTSEEK;
    return body.stream_->seek(static_cast<std::uint64_t>(offset)) ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_CANTSEEK;
}

} // namespace net
