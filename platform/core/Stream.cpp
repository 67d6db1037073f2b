#include "platform/core/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace core {

namespace {

Error errnoError(int code, const std::string& what, const std::string& path) {
    return Error{std::string(kStreamErrorDomain), code, what + " " + path + ": " + std::strerror(code), {}};
}

class BytesInputStream final : public InputStream {
public:
    explicit BytesInputStream(Bytes bytes) : bytes_(std::move(bytes)) {}

    void open() override {
        if (status_ == StreamStatus::notOpen) status_ = StreamStatus::open;
    }
    bool hasBytesAvailable() const override { return status_ == StreamStatus::open && at_ < bytes_.size(); }
    std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override {
        if (status_ != StreamStatus::open && status_ != StreamStatus::atEnd) return -1;
        std::size_t n = std::min(maxLength, bytes_.size() - at_);
        if (n > 0) std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        if (at_ == bytes_.size()) status_ = StreamStatus::atEnd;
        return static_cast<std::int64_t>(n);
    }
    std::int64_t readAppending(Bytes& into, std::size_t maxLength) override {
        if (status_ != StreamStatus::open && status_ != StreamStatus::atEnd) return -1;
        std::size_t n = std::min(maxLength, bytes_.size() - at_);
        const auto from = bytes_.begin() + static_cast<std::ptrdiff_t>(at_);
        into.insert(into.end(), from, from + static_cast<std::ptrdiff_t>(n));
        at_ += n;
        if (at_ == bytes_.size()) status_ = StreamStatus::atEnd;
        return static_cast<std::int64_t>(n);
    }
    StreamStatus streamStatus() const override { return status_; }
    std::optional<Error> streamError() const override { return std::nullopt; }
    void close() override { status_ = StreamStatus::closed; }
    std::optional<Bytes> takeBytes() override {
        if ((status_ != StreamStatus::notOpen && status_ != StreamStatus::open) || at_ != 0) return std::nullopt;
        Bytes taken = std::move(bytes_);
        bytes_.clear();
        status_ = StreamStatus::closed;
        return taken;
    }
    std::optional<std::uint64_t> knownLength() const override { return bytes_.size(); }
    bool seek(std::uint64_t offset) override {
        if (offset > bytes_.size() || status_ == StreamStatus::closed) return false;
        at_ = static_cast<std::size_t>(offset);
        status_ = at_ == bytes_.size() ? StreamStatus::atEnd : StreamStatus::open;
        return true;
    }

private:
    Bytes bytes_;
    std::size_t at_ = 0;
    StreamStatus status_ = StreamStatus::notOpen;
};

class FileInputStream final : public InputStream {
public:
    explicit FileInputStream(std::string path) : path_(std::move(path)) {}
    ~FileInputStream() override { closeFd(); }

    void open() override {
        if (status_ != StreamStatus::notOpen) return;
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info{};
        if (fd_ < 0 || ::fstat(fd_, &info) != 0) return fail(errno, "cannot open");
        if (S_ISDIR(info.st_mode)) return fail(EISDIR, "cannot open");
        length_ = static_cast<std::uint64_t>(info.st_size);
        status_ = StreamStatus::open;
        // Probes the end so that hasBytesAvailable() tells an empty file at once.
        if (length_ == 0) status_ = StreamStatus::atEnd;
    }
    bool hasBytesAvailable() const override { return status_ == StreamStatus::open; }
    // Small reads are served from a read-ahead buffer (a reader taking 1 KiB at a time would
    // otherwise make a system call per KiB); large ones go straight to the file.
    std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override {
        if (status_ == StreamStatus::atEnd) return 0;
        if (status_ != StreamStatus::open) return -1;
        if (at_ == ahead_.size() && maxLength < kReadAhead) {
            ahead_.resize(kReadAhead);
            ssize_t n = readFd(ahead_.data(), ahead_.size());
            ahead_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
            at_ = 0;
            if (n <= 0) return n;
        }
        if (at_ < ahead_.size()) {
            std::size_t n = std::min(maxLength, ahead_.size() - at_);
            std::memcpy(buffer, ahead_.data() + at_, n);
            at_ += n;
            return static_cast<std::int64_t>(n);
        }
        return readFd(buffer, maxLength);
    }
    StreamStatus streamStatus() const override { return status_; }
    std::optional<Error> streamError() const override { return error_; }
    void close() override {
        closeFd();
        if (status_ != StreamStatus::error) status_ = StreamStatus::closed;
    }
    std::optional<std::uint64_t> knownLength() const override { return length_; }
    bool seek(std::uint64_t offset) override {
        if (fd_ < 0 || ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return false;
        ahead_.clear();
        at_ = 0;
        status_ = StreamStatus::open;
        return true;
    }

private:
    static constexpr std::size_t kReadAhead = 64 * 1024;

    ssize_t readFd(std::uint8_t* buffer, std::size_t maxLength) {
        for (;;) {
            ssize_t n = ::read(fd_, buffer, maxLength);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) fail(errno, "cannot read");
            if (n == 0) status_ = StreamStatus::atEnd;
            return n < 0 ? -1 : n;
        }
    }
    void fail(int code, const char* what) {
        error_ = errnoError(code, what, path_);
        status_ = StreamStatus::error;
        closeFd();
    }
    void closeFd() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    std::string path_;
    int fd_ = -1;
    std::vector<std::uint8_t> ahead_;
    std::size_t at_ = 0;
    std::optional<std::uint64_t> length_;
    StreamStatus status_ = StreamStatus::notOpen;
    std::optional<Error> error_;
};

class FileOutputStream final : public OutputStream {
public:
    FileOutputStream(std::string path, int flags, mode_t mode) : path_(std::move(path)), flags_(flags), mode_(mode) {}
    ~FileOutputStream() override { closeFd(); }

    void open() override {
        if (status_ != StreamStatus::notOpen) return;
        fd_ = ::open(path_.c_str(), flags_ | O_WRONLY | O_CLOEXEC, mode_);
        if (fd_ < 0) return fail(errno, "cannot create");
        status_ = StreamStatus::open;
    }
    bool hasSpaceAvailable() const override { return status_ == StreamStatus::open; }
    // Small writes gather in a buffer written out when full and at close (whose failure is then
    // the stream's error); large ones go straight to the file.
    std::int64_t write(const std::uint8_t* buffer, std::size_t maxLength) override {
        if (status_ != StreamStatus::open) return -1;
        if (pending_.size() + maxLength <= kGather) {
            pending_.insert(pending_.end(), buffer, buffer + maxLength);
            return static_cast<std::int64_t>(maxLength);
        }
        if (!flush()) return -1;
        if (maxLength < kGather) {
            pending_.assign(buffer, buffer + maxLength);
            return static_cast<std::int64_t>(maxLength);
        }
        return writeFd(buffer, maxLength);
    }
    StreamStatus streamStatus() const override { return status_; }
    std::optional<Error> streamError() const override { return error_; }
    void close() override {
        if (status_ == StreamStatus::open) flush();
        closeFd();
        if (status_ != StreamStatus::error) status_ = StreamStatus::closed;
    }

private:
    static constexpr std::size_t kGather = 64 * 1024;

    std::int64_t writeFd(const std::uint8_t* buffer, std::size_t maxLength) {
        for (;;) {
            ssize_t n = ::write(fd_, buffer, maxLength);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                fail(errno, "cannot write");
                return -1;
            }
            return n;
        }
    }
    bool flush() {
        for (std::size_t at = 0; at < pending_.size();) {
            std::int64_t n = writeFd(pending_.data() + at, pending_.size() - at);
            if (n < 0) return false;
            at += static_cast<std::size_t>(n);
        }
        pending_.clear();
        return true;
    }
    void fail(int code, const char* what) {
        error_ = errnoError(code, what, path_);
        status_ = StreamStatus::error;
        closeFd();
    }
    void closeFd() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    std::vector<std::uint8_t> pending_;
    std::string path_;
    int flags_;
    mode_t mode_;
    int fd_ = -1;
    StreamStatus status_ = StreamStatus::notOpen;
    std::optional<Error> error_;
};

} // namespace

std::int64_t InputStream::readAppending(Bytes& into, std::size_t maxLength) {
    const std::size_t at = into.size();
    into.resize(at + maxLength);
    const std::int64_t n = read(into.data() + at, maxLength);
    into.resize(at + (n > 0 ? static_cast<std::size_t>(n) : 0));
    return n;
}

std::shared_ptr<InputStream> InputStream::withBytes(Bytes bytes) { return std::make_shared<BytesInputStream>(std::move(bytes)); }

std::shared_ptr<InputStream> InputStream::withFile(std::string path) { return std::make_shared<FileInputStream>(std::move(path)); }

std::shared_ptr<OutputStream> OutputStream::toFile(std::string path, bool append) {
    return std::make_shared<FileOutputStream>(std::move(path), O_CREAT | (append ? O_APPEND : O_TRUNC), 0644);
}

std::shared_ptr<OutputStream> OutputStream::toNewFile(std::string path) {
    // O_EXCL also refuses a symbolic link at the path, dangling or not.
    return std::make_shared<FileOutputStream>(std::move(path), O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
}

// ---- ProducerStream ----

void ProducerStream::write(const Bytes& bytes) {
    write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void ProducerStream::write(std::string_view bytes) {
    if (bytes.empty()) return;
    {
        std::lock_guard lock(mutex_);
        if (finished_ || error_) return;
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    }
    signal();
}

void ProducerStream::finish() {
    {
        std::lock_guard lock(mutex_);
        if (finished_ || error_) return;
        finished_ = true;
    }
    signal();
}

void ProducerStream::fail(Error error) {
    {
        std::lock_guard lock(mutex_);
        if (finished_ || error_) return;
        error_ = std::move(error);
    }
    signal();
}

void ProducerStream::signal() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        handler = readiness_;
    }
    if (handler) handler();
}

void ProducerStream::open() {
    std::lock_guard lock(mutex_);
    opened_ = true;
}

bool ProducerStream::hasBytesAvailable() const {
    std::lock_guard lock(mutex_);
    return opened_ && !closed_ && (!pending_.empty() || error_);
}

std::int64_t ProducerStream::read(std::uint8_t* buffer, std::size_t maxLength) {
    std::lock_guard lock(mutex_);
    if (!opened_ || closed_ || error_) return -1;
    std::size_t n = std::min(maxLength, pending_.size());
    std::copy_n(pending_.begin(), n, buffer);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<std::int64_t>(n);
}

StreamStatus ProducerStream::streamStatus() const {
    std::lock_guard lock(mutex_);
    if (error_) return StreamStatus::error;
    if (closed_) return StreamStatus::closed;
    if (!opened_) return StreamStatus::notOpen;
    if (finished_ && pending_.empty()) return StreamStatus::atEnd;
    return StreamStatus::open;
}

std::optional<Error> ProducerStream::streamError() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void ProducerStream::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    pending_.clear();
}

void ProducerStream::setReadinessHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    readiness_ = std::move(handler);
}

} // namespace core
