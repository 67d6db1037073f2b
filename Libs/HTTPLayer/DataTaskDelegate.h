#pragma once
// The task delegate of a data request: collects the body, or hands each piece to a data stream,
// and keeps the download progress. See TaskDelegate for the threads.

#include "Libs/HTTPLayer/Progress.h"
#include "Libs/HTTPLayer/TaskDelegate.h"

#include "platform/dispatch/Queue.h"

namespace http {

// A progress closure and the queue it is called on.
struct ProgressHandler {
    std::function<void(const std::shared_ptr<Progress>&)> closure;
    std::shared_ptr<dispatch::Queue> queue;
};

class DataTaskDelegate : public TaskDelegate {
public:
    using DataTask = net::URLSessionDelegate::DataTask;
    using DownloadTask = net::URLSessionDelegate::DownloadTask;

    explicit DataTaskDelegate(std::shared_ptr<net::URLSessionTask> task);

    // The progress of the received body; replaced by reset().
    std::shared_ptr<Progress> progress() const;
    std::optional<ProgressHandler> progressHandler;
    // While set, received bytes go to it instead of being collected.
    std::function<void(const core::Bytes&)> dataStream;
    std::int64_t totalBytesReceived = 0;
    core::Bytes mutableData;
    std::optional<std::int64_t> expectedContentLength;

    std::function<net::ResponseDisposition(const Session&, const DataTask&, std::shared_ptr<const net::HTTPURLResponse>)>
        dataTaskDidReceiveResponse;
    std::function<void(const Session&, const DataTask&, const DownloadTask&)> dataTaskDidBecomeDownloadTask;
    std::function<void(const Session&, const DataTask&, const core::Bytes&)> dataTaskDidReceiveData;
    using CachedResponse = std::shared_ptr<const net::CachedURLResponse>;
    // The answer to the session's offer of a response to its URL cache (nothing stores nothing).
    std::function<CachedResponse(const Session&, const DataTask&, CachedResponse)> dataTaskWillCacheResponse;

    // The collected body, or nothing while a data stream is set.
    std::optional<core::Bytes> data() const override;
    // Once the task is complete: the collected body, moved into a value that shares it instead of
    // copying it (null while a data stream is set). data() reads it from then on.
    core::Value completeBody();
    void reset() override;

    virtual void didReceiveResponse(const Session& session, const DataTask& task,
                                    std::shared_ptr<const net::HTTPURLResponse> response,
                                    std::function<void(net::ResponseDisposition)> completion);
    virtual void didBecomeDownloadTask(const Session& session, const DataTask& task, const DownloadTask& downloadTask);
    virtual void didReceiveData(const Session& session, const DataTask& task, const core::Bytes& data);
    // What to store: the closure's answer when it is set, else the proposed response.
    virtual CachedResponse willCacheResponse(const Session& session, const DataTask& task, CachedResponse proposed);

protected:
    mutable std::mutex progressLock_;
    std::shared_ptr<Progress> progress_;
    core::Value completedBody_;
};

// Calls the handler's closure on its queue with the progress object that `read` gives when the
// block runs (after a reset, the new one); `read` holds the delegate until then.
void deliverProgress(const ProgressHandler& handler, std::function<std::shared_ptr<Progress>()> read);

} // namespace http
