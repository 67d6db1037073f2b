// Download tasks of a URL session: the temporary file a body goes to, resume data, and the
// partial file a continued download appends to.

#include "platform/net/URLSessionEngine.h"

#include "platform/core/Ascii.h"
#include "platform/core/Digest.h"
#include "platform/core/Files.h"
#include "platform/core/Paths.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/PropertyList.h"
#include "platform/net/URLError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace net {

namespace {

// Resume data names a file to append to and then remove, so only a partial file of the
// session's own making is taken: in the temporary folder, named as the session names them,
// a regular file (not a link) of exactly `offset` bytes. Anything else starts over.
int openOwnPartialFile(const std::string& path, std::int64_t offset) {
    if (!session::isOwnPartialFileName(path, core::paths::temporary() + "/")) return -1;
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    struct stat info{};
    if (fd < 0) return -1;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != offset) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool SessionEngine::openDownloadFile(Transfer& t) {
    auto* download = static_cast<URLSessionDownloadTask*>(t.task.get());
    if (download->resumeData()) {
        auto parsed = core::plist::read(*download->resumeData());
        const core::Value* path = parsed ? parsed->value.find("path") : nullptr;
        const core::Value* offset = parsed ? parsed->value.find("offset") : nullptr;
        const core::Value* validator = parsed ? parsed->value.find("validator") : nullptr;
        int fd = path && path->isString() && offset && offset->isInteger() ? openOwnPartialFile(path->asString(), offset->asInt()) : -1;
        if (fd >= 0) {
            t.filePath = path->asString();
            t.resumeOffset = offset->asInt();
            t.file = ::fdopen(fd, "ab");
            // The rest only if the resource is still the one the part came from.
            if (validator && validator->isString()) t.request.setValue(validator->asString(), "If-Range");
            return t.file != nullptr;
        }
    }
    std::string folder = core::paths::temporary();
    t.filePath = folder + "/quillora-download-" + core::makeUuidString() + ".tmp";
    t.file = std::fopen(t.filePath.c_str(), "wb");
    return t.file != nullptr;
}

std::optional<core::Bytes> SessionEngine::makeResumeData(Transfer& t) {
    if (!t.isDownload || !t.file || !t.request.url) return std::nullopt;
    std::fflush(t.file);
    std::int64_t offset = t.resumeOffset + t.task->countOfBytesReceived();
    if (offset <= 0) return std::nullopt;
    core::Dictionary fields{{"url", t.request.url->absoluteString()},
                            {"path", t.filePath},
                            {"offset", static_cast<long long>(offset)}};
    // The response's strong validator, else its date, for If-Range when it goes on.
    if (t.response) {
        if (auto validator = session::resumeValidator(t.response->allHeaderFields())) fields.set("validator", *validator);
    }
    auto bytes = core::plist::write(core::Value(std::move(fields)), core::plist::Format::Binary);
    if (!bytes) return std::nullopt;
    return *bytes;
}

void SessionEngine::keepForResuming(Transfer& t, core::Error& error) {
    // A cancel makes its own resume data, when asked for it.
    if (isURLError(error, URLErrorCode::cancelled) || error.userInfo.find(kDownloadTaskResumeDataKey)) return;
    // Only the body of a success is worth continuing, and only from a server that can be asked
    // for the rest of the very same resource: a validator for If-Range and ranges not refused.
    if (!t.response || (t.status != 200 && t.status != 206)) return;
    const HTTPHeaders& fields = t.response->allHeaderFields();
    if (!session::resumeValidator(fields)) return;
    if (const std::string* ranges = fields.find("Accept-Ranges"); ranges && core::ascii::equalsIgnoringCase(core::ascii::trimmed(*ranges), "none"))
        return;
    auto data = makeResumeData(t);
    if (!data) return;
    t.filePath.clear(); // the partial file stays for the continuation
    error.userInfo.set(kDownloadTaskResumeDataKey, std::move(*data));
}

void SessionEngine::finishDownload(Transfer& t) {
    std::fflush(t.file);
    std::fclose(t.file);
    t.file = nullptr;
    auto downloadTask = std::static_pointer_cast<URLSessionDownloadTask>(t.task);
    std::string path = t.filePath;
    t.filePath.clear();
    if (responds(Callback::downloadTaskDidFinishDownloading)) {
        deliver([self = shared_from_this(), downloadTask, path] {
            if (auto d = self->delegate()) d->didFinishDownloadingToURL(downloadTask->session(), downloadTask, URL::fileURL(path));
            if (!downloadTask->keepsDownloadedFile()) (void)core::files::remove(path);
        });
    } else {
        (void)core::files::remove(path);
    }
    finish(t.task, &t, std::nullopt);
}

} // namespace net
