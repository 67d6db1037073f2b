#pragma once
// The task delegate of an upload request: a data task delegate that also keeps the progress of the
// body it sends.

#include "Libs/HTTPLayer/DataTaskDelegate.h"

namespace http {

class UploadTaskDelegate : public DataTaskDelegate {
public:
    explicit UploadTaskDelegate(std::shared_ptr<net::URLSessionTask> task);

    std::shared_ptr<Progress> uploadProgress() const;
    std::optional<ProgressHandler> uploadProgressHandler;
    std::function<void(const Session&, const Task&, std::int64_t bytesSent, std::int64_t totalBytesSent,
                       std::int64_t totalBytesExpectedToSend)>
        taskDidSendBodyData;

    void reset() override;

    virtual void didSendBodyData(const Session& session, const Task& task, std::int64_t bytesSent,
                                 std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend);

private:
    std::shared_ptr<Progress> uploadProgress_;
};

} // namespace http
