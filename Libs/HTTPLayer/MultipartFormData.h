#pragma once
// The parts of a multipart/form-data body, turned into bytes in memory or written to a new file.
//
// Every part is an input stream with a declared length, so data, files and caller streams take
// one road. A failed append is not reported at once: the first one is kept and returned by
// encodeAll() or writeAll() before they do anything else.

#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/Result.h"

#include "platform/core/Stream.h"
#include "platform/net/URL.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace http {

class MultipartFormData {
public:
    class BodyPart {
    public:
        BodyPart(std::map<std::string, std::string> partHeaders, std::shared_ptr<core::InputStream> stream,
                 std::uint64_t length)
            : headers(std::move(partHeaders)), bodyStream(std::move(stream)), bodyContentLength(length) {}

        std::map<std::string, std::string> headers;
        std::shared_ptr<core::InputStream> bodyStream;
        std::uint64_t bodyContentLength;
        bool hasInitialBoundary = false;
        bool hasFinalBoundary = false;
        // The length is a regular file's size, measured when it was appended (not a caller's word).
        bool lengthMeasured = false;
    };

    MultipartFormData();
    virtual ~MultipartFormData() = default;

    // "multipart/form-data; boundary=" and the boundary, made on first read; a caller may replace it.
    virtual std::string contentType();
    virtual void setContentType(std::string contentType);
    // The declared lengths of the parts, summed (no boundary or header bytes).
    virtual std::uint64_t totalBodyLength() const;

    const std::string& boundary() const { return boundary_; }
    const std::vector<std::shared_ptr<BodyPart>>& bodyParts() const { return bodyParts_; }
    const std::optional<HTTPError>& bodyPartError() const { return bodyPartError_; }
    std::int64_t streamBufferSize() const { return streamBufferSize_; }

    // The part keeps a copy of the bytes; bytes given up (an rvalue) are moved into it instead.
    virtual void appendData(const core::Bytes& data, const std::string& name);
    virtual void appendData(core::Bytes&& data, const std::string& name);
    virtual void appendData(const core::Bytes& data, const std::string& name, const std::string& mimeType);
    virtual void appendData(core::Bytes&& data, const std::string& name, const std::string& mimeType);
    virtual void appendData(const core::Bytes& data, const std::string& name, const std::string& fileName,
                            const std::string& mimeType);
    virtual void appendData(core::Bytes&& data, const std::string& name, const std::string& fileName,
                            const std::string& mimeType);
    // The file name and MIME type come from the URL's last component and extension.
    virtual void appendFile(const net::URL& fileURL, const std::string& name);
    virtual void appendFile(const net::URL& fileURL, const std::string& name, const std::string& fileName,
                            const std::string& mimeType);
    virtual void appendStream(std::shared_ptr<core::InputStream> stream, std::uint64_t length, const std::string& name,
                              const std::string& fileName, const std::string& mimeType);
    virtual void appendStream(std::shared_ptr<core::InputStream> stream, std::uint64_t length,
                              std::map<std::string, std::string> headers);

    // The whole body in memory.
    virtual Result<core::Bytes> encodeAll();
    // The whole body written to a new file (never over an existing one or through a link); a file
    // begun before a failure stays for the caller to remove.
    virtual Result<core::Unit> writeAll(const net::URL& fileURL);
    // Same as writeAll(), to a caller's output stream (which it opens and closes).
    Result<core::Unit> writeAll(const std::shared_ptr<core::OutputStream>& stream);

    // Keeps the first failure only.
    virtual void recordFailure(MultipartEncodingFailureReason reason);

    // The MIME type of a file-name extension (any case): a built-in table, then the system's
    // /etc/mime.types, else "application/octet-stream".
    static std::string mimeTypeForExtension(const std::string& extension);

private:
    static std::string makeBoundary();
    static std::map<std::string, std::string> partHeaders(const std::string& name, const std::optional<std::string>& fileName,
                                                          const std::optional<std::string>& mimeType);
    // Appends a copy of the caller's bytes: a form's first part is copied behind the lines that
    // open the body, so that encodeAll() can take the copy whole as the body's start.
    void appendCopy(const core::Bytes& data, std::map<std::string, std::string> headers);
    void markBoundaries();
    std::string headerBlock(const BodyPart& part) const;
    std::string openingBoundary(const BodyPart& part) const;
    std::string closingBoundary(const BodyPart& part) const;
    // Reads the part's stream onto the end of `into`, calling `flush` (when given) each time
    // `into` holds kGatheredWrite bytes or more; a stream error, or a failed flush, ends it. A
    // stream that knows its length (bytes, a file) is read in pieces of up to kLargePiece bytes,
    // any other in streamBufferSize() pieces.
    std::optional<HTTPError> readPartBody(BodyPart& part, core::Bytes& into,
                                          const std::function<std::optional<HTTPError>()>& flush) const;

    // writeAll() hands its stream runs of about this many bytes rather than one per chunk read.
    static constexpr std::size_t kGatheredWrite = 1024 * 1024;
    static constexpr std::size_t kLargePiece = 1024 * 1024;
    // Room a form's copied first part keeps behind its bytes for what follows them in the body.
    static constexpr std::size_t kFramingRoom = 4096;
    // The most room encodeAll() makes up front for a part whose stream does not know its length.
    static constexpr std::size_t kUnknownPartRoom = 1024 * 1024;

    std::optional<std::string> contentType_;
    std::string boundary_;
    std::vector<std::shared_ptr<BodyPart>> bodyParts_;
    std::optional<HTTPError> bodyPartError_;
    std::int64_t streamBufferSize_ = 1024;
};

} // namespace http
