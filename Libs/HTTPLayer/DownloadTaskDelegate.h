#pragma once
// The task delegate of a download request: keeps progress and resume data, and moves the finished
// file to the destination that its destination closure chooses. See TaskDelegate for the threads.

#include "Libs/HTTPLayer/DataTaskDelegate.h"
#include "Libs/HTTPLayer/DownloadOptions.h"

#include "platform/net/URL.h"

namespace http {

class DownloadTaskDelegate : public TaskDelegate {
public:
    using DownloadTask = net::URLSessionDelegate::DownloadTask;
    // Where a finished download goes, given its temporary file and the response.
    using Destination = std::function<std::pair<net::URL, DownloadOptions>(const net::URL& temporaryURL,
                                                                            const net::HTTPURLResponse& response)>;

    explicit DownloadTaskDelegate(std::shared_ptr<net::URLSessionTask> task);

    std::shared_ptr<Progress> progress() const;
    std::optional<ProgressHandler> progressHandler;
    std::optional<core::Bytes> resumeData;
    Destination destination;
    std::optional<net::URL> temporaryURL;
    std::optional<net::URL> destinationURL;

    std::function<void(const Session&, const DownloadTask&, std::int64_t bytesWritten, std::int64_t totalBytesWritten,
                       std::int64_t totalBytesExpectedToWrite)>
        downloadTaskDidWriteData;
    std::function<void(const Session&, const DownloadTask&, std::int64_t fileOffset, std::int64_t expectedTotalBytes)>
        downloadTaskDidResumeAtOffset;

    // The resume data.
    std::optional<core::Bytes> data() const override { return resumeData; }
    void reset() override;

    virtual void didFinishDownloadingToURL(const Session& session, const DownloadTask& task, const net::URL& location);
    virtual void didWriteData(const Session& session, const DownloadTask& task, std::int64_t bytesWritten,
                              std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite);
    virtual void didResumeAtOffset(const Session& session, const DownloadTask& task, std::int64_t fileOffset,
                                   std::int64_t expectedTotalBytes);

protected:
    void takeCompletionError(const Error& error) override;

private:
    mutable std::mutex progressLock_;
    std::shared_ptr<Progress> progress_;
};

} // namespace http
