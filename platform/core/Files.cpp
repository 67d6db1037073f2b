#include "platform/core/Files.h"

#include <atomic>
#include <mutex>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core::files {

namespace {

std::atomic<int> failCountdown{0};
std::mutex failReadsMutex;
std::string failReadsPath;
int failReadsWith = 0;

// The read seam's error for this path, if it is set for it.
int injectedReadError(const std::string& path) {
    std::lock_guard lock(failReadsMutex);
    return path == failReadsPath ? failReadsWith : 0;
}

// A file that takes the seam's path is a new one: the seam ends.
void replacedForTesting(const std::string& path) {
    std::lock_guard lock(failReadsMutex);
    if (path == failReadsPath) failReadsPath.clear();
}

Error errnoError(int code, const std::string& what, const std::string& path) {
    return Error{std::string(kErrorDomain), code, what + " " + path + ": " + std::strerror(code), {}};
}

std::string parentOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

void failWriteForTesting(int nth) { failCountdown = nth; }

void failReadsForTesting(const std::string& path, int error) {
    std::lock_guard lock(failReadsMutex);
    failReadsPath = error ? path : std::string();
    failReadsWith = error;
}

Expected<Bytes> read(const std::string& path) {
    if (int e = injectedReadError(path)) return errnoError(e, "cannot open", path);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errnoError(errno, "cannot open", path);
    // Read straight into the result, sized by the file's length: a regular file takes one read.
    // A file without a length (a pipe, a /proc file) is read to its end.
    Bytes out;
    struct stat info {};
    const std::size_t length = ::fstat(fd, &info) == 0 && info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
    out.resize(length > 0 ? length : 65536);
    std::size_t size = 0;
    for (;;) {
        if (size == out.size()) out.resize(size + 65536);
        ssize_t n = ::read(fd, out.data() + size, out.size() - size);
        if (n < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            ::close(fd);
            return errnoError(e, "cannot read", path);
        }
        if (n == 0) break;
        size += static_cast<std::size_t>(n);
        if (size == length) break;
    }
    out.resize(size);
    ::close(fd);
    return out;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

Status createDirectories(const std::string& path, mode_t mode) {
    if (path.empty()) return success();
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) continue;
        if (::mkdir(partial.c_str(), mode) == 0) continue;
        if (errno != EEXIST) return errnoError(errno, "cannot create", partial);
        // Something is already there: only a folder (or a link to one) can hold the rest.
        struct stat st {};
        if (::stat(partial.c_str(), &st) != 0) return errnoError(errno, "cannot inspect", partial);
        if (!S_ISDIR(st.st_mode)) return errnoError(ENOTDIR, "cannot create", partial);
    }
    return success();
}

Status writeAtomically(const std::string& path, std::string_view bytes, mode_t mode) {
    if (auto made = createDirectories(parentOf(path)); !made) return made.error();
    std::string temp = path + ".tmp-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return errnoError(errno, "cannot create", temp);
    auto fail = [&](int code, const char* what) -> Status {
        ::close(fd);
        ::unlink(temp.c_str());
        return errnoError(code, what, path);
    };
    if (int n = failCountdown.load(); n > 0 && failCountdown.fetch_sub(1) == 1) return fail(EIO, "cannot write (injected)");
    if (::fchmod(fd, mode) != 0) return fail(errno, "cannot set permissions of");
    if (!writeAll(fd, bytes.data(), bytes.size())) return fail(errno, "cannot write");
    if (::fsync(fd) != 0) return fail(errno, "cannot flush");
    if (::close(fd) != 0) {
        int e = errno;
        ::unlink(temp.c_str());
        return errnoError(e, "cannot close", path);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int e = errno;
        ::unlink(temp.c_str());
        return errnoError(e, "cannot replace", path);
    }
    replacedForTesting(path);
    // Make the rename itself durable.
    int dir = ::open(parentOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return success();
}

Status writeAtomically(const std::string& path, const Bytes& bytes, mode_t mode) {
    return writeAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), mode);
}

Status remove(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return errnoError(errno, "cannot remove", path);
    return success();
}

Status rename(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return errnoError(errno, "cannot rename", from);
    replacedForTesting(from);
    return success();
}

Expected<std::string> moveAside(const std::string& path, int slots) {
    auto slot = [&](int n) { return path + ".corrupt." + std::to_string(n); };
    // The oldest kept slot makes room; a directory there (a damaged file that was one) stays.
    if (exists(slot(slots))) (void)remove(slot(slots));
    for (int n = slots - 1; n >= 1; --n) {
        if (exists(slot(n))) (void)rename(slot(n), slot(n + 1));
    }
    if (auto moved = rename(path, slot(1)); !moved) return moved.error();
    return slot(1);
}

} // namespace core::files
