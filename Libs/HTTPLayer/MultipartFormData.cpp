#include "Libs/HTTPLayer/MultipartFormData.h"

#include "platform/core/Ascii.h"
#include "platform/core/LargeBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unordered_map>
#include <utility>

namespace http {

namespace {

const std::string kCRLF = "\r\n";

// Characters that would end a header line or a quoted name are written as %-escapes, so a name
// can never forge another header or part.
std::string escaped(const std::string& text, bool quotes) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r') out += "%0D";
        else if (c == '\n') out += "%0A";
        else if (quotes && c == '"') out += "%22";
        else out += c;
    }
    return out;
}

std::string lowercased(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const std::unordered_map<std::string, std::string>& builtInTypes() {
    static const std::unordered_map<std::string, std::string> table = {
        {"txt", "text/plain"},        {"html", "text/html"},        {"htm", "text/html"},
        {"css", "text/css"},          {"csv", "text/csv"},          {"xml", "application/xml"},
        {"js", "text/javascript"},    {"json", "application/json"}, {"pdf", "application/pdf"},
        {"zip", "application/zip"},   {"gz", "application/gzip"},   {"tar", "application/x-tar"},
        {"plist", "application/x-plist"},
        {"png", "image/png"},         {"jpg", "image/jpeg"},        {"jpeg", "image/jpeg"},
        {"gif", "image/gif"},         {"bmp", "image/bmp"},         {"tif", "image/tiff"},
        {"tiff", "image/tiff"},       {"webp", "image/webp"},       {"svg", "image/svg+xml"},
        {"heic", "image/heic"},       {"ico", "image/vnd.microsoft.icon"},
        {"mp3", "audio/mpeg"},        {"m4a", "audio/mp4"},         {"wav", "audio/wav"},
        {"aac", "audio/aac"},         {"mp4", "video/mp4"},         {"mov", "video/quicktime"},
        {"m4v", "video/x-m4v"},
    };
    return table;
}

// "type ext ext ..." lines of the system's table; the first type named for an extension wins.
const std::unordered_map<std::string, std::string>& systemTypes() {
    static const std::unordered_map<std::string, std::string> table = [] {
        std::unordered_map<std::string, std::string> types;
        std::ifstream in("/etc/mime.types");
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream words(line);
            std::string type, extension;
            words >> type;
            while (words >> extension) types.emplace(lowercased(extension), type);
        }
        return types;
    }();
    return table;
}

HTTPError failure(MultipartEncodingFailureReason reason) { return HTTPError::multipartEncodingFailed(std::move(reason)); }

core::Error streamFailure(const std::optional<core::Error>& error, const char* what) {
    return error.value_or(core::Error{std::string(core::kStreamErrorDomain), 0, what, {}});
}

// A copied part's bytes in a buffer that holds, in front of them, the lines that open the body
// with this part (see appendCopy()). The stream gives the part's bytes only. encodeAll() takes
// the buffer whole as the body's start when the part still opens the body with those very lines,
// instead of moving all the bytes along to make room for them, or copying them again.
class FramedBytesStream final : public core::InputStream {
public:
    FramedBytesStream(core::Bytes framed, std::size_t front) : framed_(std::move(framed)), front_(front), at_(front) {}

    void open() override {
        if (status_ == core::StreamStatus::notOpen) status_ = core::StreamStatus::open;
    }
    bool hasBytesAvailable() const override { return status_ == core::StreamStatus::open && at_ < framed_.size(); }
    std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override {
        if (status_ != core::StreamStatus::open && status_ != core::StreamStatus::atEnd) return -1;
        const std::size_t n = std::min(maxLength, framed_.size() - at_);
        if (n > 0) std::memcpy(buffer, framed_.data() + at_, n);
        advance(n);
        return static_cast<std::int64_t>(n);
    }
    std::int64_t readAppending(core::Bytes& into, std::size_t maxLength) override {
        if (status_ != core::StreamStatus::open && status_ != core::StreamStatus::atEnd) return -1;
        const std::size_t n = std::min(maxLength, framed_.size() - at_);
        const auto from = framed_.begin() + static_cast<std::ptrdiff_t>(at_);
        into.insert(into.end(), from, from + static_cast<std::ptrdiff_t>(n));
        advance(n);
        return static_cast<std::int64_t>(n);
    }
    core::StreamStatus streamStatus() const override { return status_; }
    std::optional<core::Error> streamError() const override { return std::nullopt; }
    void close() override { status_ = core::StreamStatus::closed; }
    std::optional<std::uint64_t> knownLength() const override { return framed_.size() - front_; }
    bool seek(std::uint64_t offset) override {
        if (offset > framed_.size() - front_ || status_ == core::StreamStatus::closed) return false;
        at_ = front_ + static_cast<std::size_t>(offset);
        status_ = at_ == framed_.size() ? core::StreamStatus::atEnd : core::StreamStatus::open;
        return true;
    }

    // The whole buffer, when nothing has been read and the bytes in front are exactly `front`;
    // the stream is then closed, as if read to its end.
    std::optional<core::Bytes> takeFramed(std::string_view front) {
        const bool unread = (status_ == core::StreamStatus::notOpen || status_ == core::StreamStatus::open) && at_ == front_;
        if (!unread || front.size() != front_ || std::memcmp(framed_.data(), front.data(), front_) != 0) return std::nullopt;
        status_ = core::StreamStatus::closed;
        return std::exchange(framed_, {});
    }

private:
    void advance(std::size_t n) {
        at_ += n;
        if (at_ == framed_.size()) status_ = core::StreamStatus::atEnd;
    }

    core::Bytes framed_;
    std::size_t front_;
    std::size_t at_;
    core::StreamStatus status_ = core::StreamStatus::notOpen;
};

} // namespace

MultipartFormData::MultipartFormData() : boundary_(makeBoundary()) {}

std::string MultipartFormData::makeBoundary() {
    static thread_local std::mt19937 random{std::random_device{}()};
    char text[40];
    std::snprintf(text, sizeof text, "httplayer.boundary.%08x%08x", static_cast<unsigned>(random()),
                  static_cast<unsigned>(random()));
    return text;
}

std::string MultipartFormData::contentType() {
    if (!contentType_) contentType_ = "multipart/form-data; boundary=" + boundary_;
    return *contentType_;
}

void MultipartFormData::setContentType(std::string contentType) { contentType_ = std::move(contentType); }

std::uint64_t MultipartFormData::totalBodyLength() const {
    std::uint64_t total = 0;
    for (const auto& part : bodyParts_) total += part->bodyContentLength;
    return total;
}

std::map<std::string, std::string> MultipartFormData::partHeaders(const std::string& name,
                                                                  const std::optional<std::string>& fileName,
                                                                  const std::optional<std::string>& mimeType) {
    std::string disposition = "form-data; name=\"" + escaped(name, true) + "\"";
    if (fileName) disposition += "; filename=\"" + escaped(*fileName, true) + "\"";
    std::map<std::string, std::string> headers{{"Content-Disposition", disposition}};
    if (mimeType) headers["Content-Type"] = escaped(*mimeType, false);
    return headers;
}

// ---- appending ----

// The copy of a large part is made in room that faults in at once (see LargeBytes.h).
void MultipartFormData::appendCopy(const core::Bytes& data, std::map<std::string, std::string> headers) {
    const std::uint64_t length = data.size();
    if (!bodyParts_.empty()) {
        appendStream(core::InputStream::withBytes(core::copyLarge(data)), length, std::move(headers));
        return;
    }
    BodyPart part(std::move(headers), nullptr, length);
    part.hasInitialBoundary = true;
    const std::string front = openingBoundary(part) + headerBlock(part);
    core::Bytes framed;
    core::reserveLarge(framed, front.size() + data.size() + kFramingRoom);
    framed.assign(front.begin(), front.end());
    framed.insert(framed.end(), data.begin(), data.end());
    appendStream(std::make_shared<FramedBytesStream>(std::move(framed), front.size()), length, std::move(part.headers));
}

void MultipartFormData::appendData(const core::Bytes& data, const std::string& name) {
    appendCopy(data, partHeaders(name, std::nullopt, std::nullopt));
}

void MultipartFormData::appendData(core::Bytes&& data, const std::string& name) {
    const std::uint64_t length = data.size();
    appendStream(core::InputStream::withBytes(std::move(data)), length, partHeaders(name, std::nullopt, std::nullopt));
}

void MultipartFormData::appendData(const core::Bytes& data, const std::string& name, const std::string& mimeType) {
    appendCopy(data, partHeaders(name, std::nullopt, mimeType));
}

void MultipartFormData::appendData(core::Bytes&& data, const std::string& name, const std::string& mimeType) {
    const std::uint64_t length = data.size();
    appendStream(core::InputStream::withBytes(std::move(data)), length, partHeaders(name, std::nullopt, mimeType));
}

void MultipartFormData::appendData(const core::Bytes& data, const std::string& name, const std::string& fileName,
                                   const std::string& mimeType) {
    appendCopy(data, partHeaders(name, fileName, mimeType));
}

void MultipartFormData::appendData(core::Bytes&& data, const std::string& name, const std::string& fileName,
                                   const std::string& mimeType) {
    const std::uint64_t length = data.size();
    appendStream(core::InputStream::withBytes(std::move(data)), length, partHeaders(name, fileName, mimeType));
}

void MultipartFormData::appendFile(const net::URL& fileURL, const std::string& name) {
    const std::string fileName = fileURL.lastPathComponent();
    const std::string extension = fileURL.pathExtension();
    if (fileName.empty() || extension.empty()) {
        recordFailure(MultipartEncodingFailureReason::bodyPartFilenameInvalid(fileURL));
        return;
    }
    appendFile(fileURL, name, fileName, mimeTypeForExtension(extension));
}

void MultipartFormData::appendFile(const net::URL& fileURL, const std::string& name, const std::string& fileName,
                                   const std::string& mimeType) {
    auto headers = partHeaders(name, fileName, mimeType);
    using Reason = MultipartEncodingFailureReason;
    if (!fileURL.isFileURL()) return recordFailure(Reason::bodyPartURLInvalid(fileURL));
    const std::string path = fileURL.path();
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR) return recordFailure(Reason::bodyPartFileNotReachable(fileURL));
        core::Error error{std::string(core::kStreamErrorDomain), code, "cannot reach " + path + ": " + std::strerror(code), {}};
        return recordFailure(Reason::bodyPartFileNotReachableWithError(fileURL, Error(error)));
    }
    if (S_ISDIR(info.st_mode)) return recordFailure(Reason::bodyPartFileIsDirectory(fileURL));
    // Only a regular file has a size that is its length.
    if (!S_ISREG(info.st_mode)) return recordFailure(Reason::bodyPartFileSizeNotAvailable(fileURL));
    auto stream = core::InputStream::withFile(path);
    appendStream(stream, static_cast<std::uint64_t>(info.st_size), std::move(headers));
    if (!bodyParts_.empty() && bodyParts_.back()->bodyStream == stream) bodyParts_.back()->lengthMeasured = true;
}

void MultipartFormData::appendStream(std::shared_ptr<core::InputStream> stream, std::uint64_t length, const std::string& name,
                                     const std::string& fileName, const std::string& mimeType) {
    appendStream(std::move(stream), length, partHeaders(name, fileName, mimeType));
}

void MultipartFormData::appendStream(std::shared_ptr<core::InputStream> stream, std::uint64_t length,
                                     std::map<std::string, std::string> headers) {
    bodyParts_.push_back(std::make_shared<BodyPart>(std::move(headers), std::move(stream), length));
}

void MultipartFormData::recordFailure(MultipartEncodingFailureReason reason) {
    if (!bodyPartError_) bodyPartError_ = failure(std::move(reason));
}

// ---- encoding ----

void MultipartFormData::markBoundaries() {
    if (bodyParts_.empty()) return;
    bodyParts_.front()->hasInitialBoundary = true;
    bodyParts_.back()->hasFinalBoundary = true;
}

std::string MultipartFormData::openingBoundary(const BodyPart& part) const {
    return (part.hasInitialBoundary ? "--" : kCRLF + "--") + boundary_ + kCRLF;
}

std::string MultipartFormData::closingBoundary(const BodyPart& part) const {
    return part.hasFinalBoundary ? kCRLF + "--" + boundary_ + "--" + kCRLF : std::string();
}

std::string MultipartFormData::headerBlock(const BodyPart& part) const {
    std::string block;
    for (const auto& [name, value] : part.headers) block += escaped(name, false) + ": " + escaped(value, false) + kCRLF;
    return block + kCRLF;
}

std::optional<HTTPError> MultipartFormData::readPartBody(BodyPart& part, core::Bytes& into,
                                                         const std::function<std::optional<HTTPError>()>& flush) const {
    core::InputStream& stream = *part.bodyStream;
    const auto readFailed = [&] {
        auto error = streamFailure(stream.streamError(), "cannot read the part's stream");
        stream.close();
        return failure(MultipartEncodingFailureReason::inputStreamReadFailed(Error(error)));
    };
    stream.open();
    // A file that went away since it was appended fails here rather than giving an empty part.
    if (stream.streamStatus() == core::StreamStatus::error) return readFailed();
    // Bytes in memory go across in one copy per piece, a file in reads of that size (a caller's
    // stream keeps its small pieces).
    const std::size_t piece = stream.knownLength() ? kLargePiece : static_cast<std::size_t>(streamBufferSize_);
    while (stream.hasBytesAvailable()) {
        // Gathering for a flush, a piece ends where the run is full; it stays within the room
        // already made (a stream longer than declared grows it by small pieces, as before).
        const std::size_t room = flush ? kGatheredWrite - std::min(into.size(), kGatheredWrite - 1) : piece;
        const std::size_t spare = std::max(into.capacity() - into.size(), static_cast<std::size_t>(streamBufferSize_));
        std::int64_t n = stream.readAppending(into, std::min({piece, room, spare}));
        if (stream.streamError() || n < 0) return readFailed();
        if (n == 0) break;
        if (flush && into.size() >= kGatheredWrite) {
            if (auto error = flush()) {
                stream.close();
                return error;
            }
        }
    }
    if (stream.streamError()) return readFailed();
    stream.close();
    return std::nullopt;
}

Result<core::Bytes> MultipartFormData::encodeAll() {
    if (bodyPartError_) return *bodyPartError_;
    markBoundaries();
    // Room for the whole body at once: growing it on the way would copy all that came before. A
    // part's declared length is only the caller's word: room is made for the bytes a stream
    // knows it holds or a file's measured size, and for at most kUnknownPartRoom of any other
    // part (it grows as the bytes come).
    std::uint64_t size = 0;
    for (const auto& part : bodyParts_) {
        const auto known = part->bodyStream->knownLength();
        const std::uint64_t room = known ? *known
                                   : part->lengthMeasured ? part->bodyContentLength
                                                          : std::min<std::uint64_t>(part->bodyContentLength, kUnknownPartRoom);
        size += openingBoundary(*part).size() + headerBlock(*part).size() + room + closingBoundary(*part).size();
    }
    core::Bytes body;
    const auto append = [&](const std::string& text) { body.insert(body.end(), text.begin(), text.end()); };
    auto part = bodyParts_.begin();
    // A first part that holds its bytes becomes the body's start instead of being copied into
    // memory that must first be faulted in: a copy made behind the lines that open the body is
    // taken whole; bytes given up with room to spare get those lines in front of them, a move
    // within memory already in use.
    if (part != bodyParts_.end()) {
        const std::string front = openingBoundary(**part) + headerBlock(**part);
        auto* framed = dynamic_cast<FramedBytesStream*>((*part)->bodyStream.get());
        if (auto whole = framed ? framed->takeFramed(front) : std::nullopt) {
            body = std::move(*whole);
            append(closingBoundary(**part));
            ++part;
        } else if (auto taken = (*part)->bodyStream->takeBytes()) {
            if (taken->capacity() >= size) {
                body = std::move(*taken);
                body.insert(body.begin(), front.begin(), front.end());
            } else {
                core::reserveLarge(body, static_cast<std::size_t>(size));
                append(front);
                body.insert(body.end(), taken->begin(), taken->end());
            }
            append(closingBoundary(**part));
            ++part;
        }
    }
    core::reserveLarge(body, static_cast<std::size_t>(size));
    for (; part != bodyParts_.end(); ++part) {
        append(openingBoundary(**part));
        append(headerBlock(**part));
        if (auto error = readPartBody(**part, body, nullptr)) return *error;
        append(closingBoundary(**part));
    }
    return body;
}

Result<core::Unit> MultipartFormData::writeAll(const net::URL& fileURL) {
    using Reason = MultipartEncodingFailureReason;
    if (bodyPartError_) return *bodyPartError_;
    struct stat info{};
    // lstat: a link at the path, even a dangling one, is something that exists there.
    if (::lstat(fileURL.path().c_str(), &info) == 0) return failure(Reason::outputStreamFileAlreadyExists(fileURL));
    if (!fileURL.isFileURL()) return failure(Reason::outputStreamURLInvalid(fileURL));
    auto stream = core::OutputStream::toNewFile(fileURL.path());
    stream->open();
    if (stream->streamStatus() == core::StreamStatus::error) {
        // Made between the check and the creation: still never written through.
        if (stream->streamError() && stream->streamError()->code == EEXIST)
            return failure(Reason::outputStreamFileAlreadyExists(fileURL));
        return failure(Reason::outputStreamCreationFailed(fileURL));
    }
    return writeAll(stream);
}

Result<core::Unit> MultipartFormData::writeAll(const std::shared_ptr<core::OutputStream>& stream) {
    if (bodyPartError_) return *bodyPartError_;
    stream->open();
    markBoundaries();
    // The body is gathered and written in runs of about kGatheredWrite bytes (the parts are still
    // read chunk by chunk). Each run is written whole or fails: a stream that takes no more is an
    // error, never a silent cut.
    core::Bytes pending;
    core::reserveLarge(pending, kGatheredWrite + static_cast<std::size_t>(streamBufferSize_));
    const auto writePending = [&]() -> std::optional<HTTPError> {
        const std::uint8_t* bytes = pending.data();
        std::size_t size = pending.size();
        while (size > 0) {
            std::int64_t written = stream->hasSpaceAvailable() ? stream->write(bytes, size) : -1;
            if (written <= 0 || stream->streamError()) {
                auto error = streamFailure(stream->streamError(), "the output stream takes no more bytes");
                return failure(MultipartEncodingFailureReason::outputStreamWriteFailed(Error(error)));
            }
            bytes += written;
            size -= static_cast<std::size_t>(written);
        }
        pending.clear();
        return std::nullopt;
    };
    const auto writeText = [&](const std::string& text) -> std::optional<HTTPError> {
        pending.insert(pending.end(), text.begin(), text.end());
        return pending.size() >= kGatheredWrite ? writePending() : std::nullopt;
    };
    std::optional<HTTPError> error;
    for (const auto& part : bodyParts_) {
        if ((error = writeText(openingBoundary(*part)))) break;
        if ((error = writeText(headerBlock(*part)))) break;
        if ((error = readPartBody(*part, pending, writePending))) break;
        if ((error = writeText(closingBoundary(*part)))) break;
    }
    if (!error) error = writePending();
    stream->close();
    // What was gathered is written at close, whose failure counts as a failed write.
    if (!error && stream->streamError())
        error = failure(MultipartEncodingFailureReason::outputStreamWriteFailed(Error(*stream->streamError())));
    if (error) return *error;
    return core::Unit{};
}

std::string MultipartFormData::mimeTypeForExtension(const std::string& extension) {
    const std::string key = lowercased(extension);
    if (auto it = builtInTypes().find(key); it != builtInTypes().end()) return it->second;
    if (auto it = systemTypes().find(key); it != systemTypes().end()) return it->second;
    return "application/octet-stream";
}

} // namespace http
