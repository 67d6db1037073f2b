#pragma once
// A URL session: makes tasks for requests and runs them over HTTP(S) with libcurl.
//
// Each session has one network thread that drives all its transfers (libcurl's multi interface)
// and one serial operation queue on which its delegate hears about them, one event at a time.
// The session holds its delegate until it is invalidated. Dropping the last reference to a
// session with tasks still running cancels them.

#include "platform/core/Object.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/net/NetService.h"
#include "platform/net/URLSessionConfiguration.h"
#include "platform/net/URLSessionDelegate.h"
#include "platform/net/URLSessionTask.h"

#include <map>
#include <memory>
#include <mutex>

namespace net {

class SessionEngine;

class URLSession : public core::Object {
    QUILLORA_CLASS(URLSession)

    // With no delegate queue the session makes a serial one of its own.
    static std::shared_ptr<URLSession> create(URLSessionConfiguration configuration,
                                              std::shared_ptr<URLSessionDelegate> delegate = nullptr,
                                              std::shared_ptr<dispatch::OperationQueue> delegateQueue = nullptr);

    const URLSessionConfiguration& configuration() const { return configuration_; }
    std::shared_ptr<URLSessionDelegate> delegate() const;
    const std::shared_ptr<dispatch::OperationQueue>& delegateQueue() const { return delegateQueue_; }

    // Objects attached to the session, one per key (any process-wide unique address); the session
    // holds each until it is replaced or the session goes. Any thread.
    void setAttachedObject(const void* key, std::shared_ptr<void> object);
    std::shared_ptr<void> attachedObject(const void* key) const;

    std::shared_ptr<URLSessionDataTask> dataTask(const URLRequest& request);
    std::shared_ptr<URLSessionUploadTask> uploadTask(const URLRequest& request, core::Bytes body);
    std::shared_ptr<URLSessionUploadTask> uploadTask(const URLRequest& request, const URL& file);
    // An upload whose body comes from the delegate's needNewBodyStream answer; it goes chunked.
    std::shared_ptr<URLSessionUploadTask> streamedUploadTask(const URLRequest& request);
    std::shared_ptr<URLSessionDownloadTask> downloadTask(const URLRequest& request);
    std::shared_ptr<URLSessionDownloadTask> downloadTask(const core::Bytes& resumeData);
    std::shared_ptr<URLSessionStreamTask> streamTask(const std::string& host, int port);
    // A stream task to a network service, looked up when the task starts.
    std::shared_ptr<URLSessionStreamTask> streamTask(std::shared_ptr<const NetService> service);

    // Lets running tasks finish, then tells the delegate and lets it go. New tasks fail.
    void finishTasksAndInvalidate();
    // Cancels every task, then tells the delegate and lets it go.
    void invalidateAndCancel();

    URLSession(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
               std::shared_ptr<dispatch::OperationQueue> delegateQueue);
    ~URLSession() override;

private:
    friend class URLSessionTask;
    friend class URLSessionDownloadTask;
    friend class SessionEngine;

    std::uint64_t nextIdentifier();

    const URLSessionConfiguration configuration_;
    const std::shared_ptr<dispatch::OperationQueue> delegateQueue_;
    mutable std::mutex attachedMutex_;
    std::map<const void*, std::shared_ptr<void>> attached_; // guarded by attachedMutex_
    std::shared_ptr<SessionEngine> engine_;
};

} // namespace net
