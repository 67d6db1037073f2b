#pragma once
// Byte streams: read from bytes, a file or a producer; write to a file.
//
// A stream is opened, read or written in pieces of at most n bytes, then closed. Errors are kept
// on the stream (streamError()) rather than thrown; a failed stream reports the `error` status.
// A read gives the count of bytes read, 0 at the end (or, for a producer, when nothing has come
// yet: see hasBytesAvailable()), or -1 on an error.

#include "platform/core/Error.h"
#include "platform/core/Value.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace core {

enum class StreamStatus { notOpen = 0, opening = 1, open = 2, reading = 3, writing = 4, atEnd = 5, closed = 6, error = 7 };

inline constexpr std::string_view kStreamErrorDomain = "core.stream";

class InputStream {
public:
    virtual ~InputStream() = default;

    // Over a copy of the bytes.
    static std::shared_ptr<InputStream> withBytes(Bytes bytes);
    // Over the file at the path; a file that cannot be opened makes the stream fail at open().
    static std::shared_ptr<InputStream> withFile(std::string path);

    virtual void open() = 0;
    // True when a read would give bytes (or the error) at once; false at the end and, for a
    // producer, while no bytes have come yet.
    virtual bool hasBytesAvailable() const = 0;
    virtual std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) = 0;
    // Reads as read() does, at most maxLength bytes, onto the end of `into`. A stream over bytes
    // copies them in one piece; others read into room added to `into` and cut it to what came.
    virtual std::int64_t readAppending(Bytes& into, std::size_t maxLength);
    virtual StreamStatus streamStatus() const = 0;
    virtual std::optional<Error> streamError() const = 0;
    virtual void close() = 0;

    // A stream over bytes that nothing has read yet hands them over whole and is then closed, as
    // if read to its end; any other stream gives nothing and stays as it was.
    virtual std::optional<Bytes> takeBytes() { return std::nullopt; }
    // The byte count known before reading (bytes, files once open), else nothing.
    virtual std::optional<std::uint64_t> knownLength() const { return std::nullopt; }
    // Moves the read position to `offset` from the start; false when the stream cannot.
    virtual bool seek(std::uint64_t offset) {
        (void)offset;
        return false;
    }
    // Called on any thread whenever bytes, the end or an error arrive for a stream whose reads
    // can find nothing yet. Streams that never wait never call it.
    virtual void setReadinessHandler(std::function<void()> handler) { (void)handler; }
};

// A stream whose bytes come from another thread: write() adds bytes, finish() marks the end,
// fail() ends it with an error. A read while nothing has come gives 0 with the stream still open.
class ProducerStream : public InputStream {
public:
    static std::shared_ptr<ProducerStream> create() { return std::make_shared<ProducerStream>(); }

    void write(const Bytes& bytes);
    void write(std::string_view bytes);
    void finish();
    void fail(Error error);

    void open() override;
    bool hasBytesAvailable() const override;
    std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override;
    StreamStatus streamStatus() const override;
    std::optional<Error> streamError() const override;
    void close() override;
    void setReadinessHandler(std::function<void()> handler) override;

private:
    void signal();

    mutable std::mutex mutex_;
    std::deque<std::uint8_t> pending_;
    bool finished_ = false;
    bool opened_ = false;
    bool closed_ = false;
    std::optional<Error> error_;
    std::function<void()> readiness_;
};

class OutputStream {
public:
    virtual ~OutputStream() = default;

    // To the file at the path, created or truncated (or appended to).
    static std::shared_ptr<OutputStream> toFile(std::string path, bool append = false);
    // To a new file only: an existing file or symbolic link at the path makes open() fail with
    // EEXIST; the file is made readable and writable by its owner only.
    static std::shared_ptr<OutputStream> toNewFile(std::string path);

    virtual void open() = 0;
    virtual bool hasSpaceAvailable() const = 0;
    // The count of bytes written (at most maxLength), or -1 on an error.
    virtual std::int64_t write(const std::uint8_t* buffer, std::size_t maxLength) = 0;
    virtual StreamStatus streamStatus() const = 0;
    virtual std::optional<Error> streamError() const = 0;
    virtual void close() = 0;
};

} // namespace core
