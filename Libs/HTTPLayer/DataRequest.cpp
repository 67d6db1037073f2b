#include "Libs/HTTPLayer/DataRequest.h"

#include "Libs/HTTPLayer/DownloadRequest.h"
#include "Libs/HTTPLayer/Notifications.h"
#include "Libs/HTTPLayer/StreamRequest.h"
#include "Libs/HTTPLayer/UploadRequest.h"

#include "platform/core/Json.h"

namespace http {

// ---- task descriptions ----

Result<std::shared_ptr<net::URLSessionTask>> DataRequest::Requestable::makeTask(
    const std::shared_ptr<net::URLSession>& session, const std::shared_ptr<RequestAdapter>& adapter,
    const std::shared_ptr<dispatch::Queue>& queue) const {
    auto adapted = detail::adapt(urlRequest, adapter);
    if (adapted.isFailure()) return adapted.failureError();
    return detail::makeOnQueue(queue, [&] { return session->dataTask(adapted.successValue()); });
}

Result<std::shared_ptr<net::URLSessionTask>> UploadRequest::Uploadable::makeTask(
    const std::shared_ptr<net::URLSession>& session, const std::shared_ptr<RequestAdapter>& adapter,
    const std::shared_ptr<dispatch::Queue>& queue) const {
    auto adapted = detail::adapt(urlRequest_, adapter);
    if (adapted.isFailure()) return adapted.failureError();
    return detail::makeOnQueue(queue, [&]() -> std::shared_ptr<net::URLSessionTask> {
        if (auto* bytes = std::get_if<core::Bytes>(&body_)) {
            std::lock_guard lock(mutex_);
            if (bytesHolder_) return session->uploadTask(adapted.successValue(), bytesHolder_->bodyData().value_or(core::Bytes()));
            bytesHolder_ = session->uploadTask(adapted.successValue(), std::move(*bytes));
            bytes->clear();
            return bytesHolder_;
        }
        if (const auto* file = std::get_if<net::URL>(&body_)) return session->uploadTask(adapted.successValue(), *file);
        return session->streamedUploadTask(adapted.successValue());
    });
}

Result<std::shared_ptr<net::URLSessionTask>> DownloadRequest::Downloadable::makeTask(
    const std::shared_ptr<net::URLSession>& session, const std::shared_ptr<RequestAdapter>& adapter,
    const std::shared_ptr<dispatch::Queue>& queue) const {
    if (resumeData_) return detail::makeOnQueue(queue, [&] { return session->downloadTask(*resumeData_); });
    auto adapted = detail::adapt(urlRequest_.value_or(net::URLRequest()), adapter);
    if (adapted.isFailure()) return adapted.failureError();
    return detail::makeOnQueue(queue, [&] { return session->downloadTask(adapted.successValue()); });
}

Result<std::shared_ptr<net::URLSessionTask>> StreamRequest::Streamable::makeTask(
    const std::shared_ptr<net::URLSession>& session, const std::shared_ptr<RequestAdapter>&,
    const std::shared_ptr<dispatch::Queue>& queue) const {
    return detail::makeOnQueue(queue, [&] {
        return netService ? session->streamTask(netService) : session->streamTask(hostName, port);
    });
}

// ---- DataRequest ----

std::optional<net::URLRequest> DataRequest::request() const {
    if (auto r = Request::request()) return r;
    if (const auto* requestable = dynamic_cast<const Requestable*>(originalTask().get())) return requestable->urlRequest;
    return std::nullopt;
}

std::shared_ptr<Progress> DataRequest::progress() const {
    auto d = dataDelegate();
    return d ? d->progress() : nullptr;
}

std::shared_ptr<DataRequest> DataRequest::setDataStream(std::function<void(const core::Bytes&)> closure) {
    if (auto d = dataDelegate()) d->dataStream = std::move(closure);
    return self<DataRequest>();
}

std::shared_ptr<DataRequest> DataRequest::setProgressHandler(std::shared_ptr<dispatch::Queue> queue,
                                                             std::function<void(const std::shared_ptr<Progress>&)> closure) {
    if (auto d = dataDelegate()) d->progressHandler = ProgressHandler{std::move(closure), std::move(queue)};
    return self<DataRequest>();
}

std::shared_ptr<DataRequest> DataRequest::response(Queue queue, std::function<void(const DefaultDataResponse&)> completionHandler) {
    auto request = self<DataRequest>();
    auto taskDelegate = delegate();
    taskDelegate->queue()->addOperation([request, taskDelegate, queue = std::move(queue), completion = std::move(completionHandler)] {
        // The record is built on the target queue, so its timeline is stamped there.
        (queue ? queue : dispatch::Queue::main())->async([request, taskDelegate, completion] {
            DefaultDataResponse record(request->request(), request->responseValue(), taskDelegate->data(), taskDelegate->error,
                                       request->timeline());
            record.attachMetrics(taskDelegate->metrics);
            completion(record);
        });
    });
    return request;
}

std::shared_ptr<DataRequest> DataRequest::responseData(Queue queue,
                                                       std::function<void(const DataResponse<core::Bytes>&)> completionHandler) {
    return response(std::move(queue), dataResponseSerializer(), std::move(completionHandler));
}

std::shared_ptr<DataRequest> DataRequest::responseString(Queue queue, std::optional<core::TextEncoding> encoding,
                                                         std::function<void(const DataResponse<std::string>&)> completionHandler) {
    return response(std::move(queue), stringResponseSerializer(encoding), std::move(completionHandler));
}

std::shared_ptr<DataRequest> DataRequest::responseJSON(Queue queue, unsigned options,
                                                       std::function<void(const DataResponse<core::Value>&)> completionHandler) {
    return response(std::move(queue), jsonResponseSerializer(options), std::move(completionHandler));
}

std::shared_ptr<DataRequest> DataRequest::responseJSON(std::function<void(const DataResponse<core::Value>&)> completionHandler) {
    return responseJSON(nullptr, core::json::AllowFragments, std::move(completionHandler));
}

std::shared_ptr<DataRequest> DataRequest::responsePropertyList(
    Queue queue, int options, std::function<void(const DataResponse<core::Value>&)> completionHandler) {
    return response(std::move(queue), propertyListResponseSerializer(options), std::move(completionHandler));
}

// ---- UploadRequest ----

std::optional<net::URLRequest> UploadRequest::request() const {
    if (auto r = DataRequest::request()) return r;
    if (const auto* uploadable = dynamic_cast<const Uploadable*>(originalTask().get())) return uploadable->urlRequest();
    return std::nullopt;
}

std::shared_ptr<Progress> UploadRequest::uploadProgress() const {
    auto d = std::dynamic_pointer_cast<UploadTaskDelegate>(delegate());
    return d ? d->uploadProgress() : nullptr;
}

std::shared_ptr<UploadRequest> UploadRequest::setUploadProgressHandler(
    std::shared_ptr<dispatch::Queue> queue, std::function<void(const std::shared_ptr<Progress>&)> closure) {
    if (auto d = std::dynamic_pointer_cast<UploadTaskDelegate>(delegate()))
        d->uploadProgressHandler = ProgressHandler{std::move(closure), std::move(queue)};
    return self<UploadRequest>();
}

// ---- DownloadRequest ----

DownloadRequest::Destination DownloadRequest::searchPathDestination(core::paths::SearchPathDirectory directory, unsigned domain) {
    return [directory, domain](const net::URL& temporaryURL, const net::HTTPURLResponse& response) {
        auto folders = core::paths::urlsForDirectory(directory, domain);
        if (folders.empty()) return std::make_pair(temporaryURL, DownloadOptions());
        return std::make_pair(net::URL::fileURL(folders.front() + "/" + response.suggestedFilename()), DownloadOptions());
    };
}

std::optional<net::URLRequest> DownloadRequest::request() const {
    if (auto r = Request::request()) return r;
    if (const auto* downloadable = dynamic_cast<const Downloadable*>(originalTask().get())) {
        return downloadable->urlRequest();
    }
    return std::nullopt;
}

std::optional<core::Bytes> DownloadRequest::resumeData() const {
    auto d = downloadDelegate();
    return d ? d->resumeData : std::nullopt;
}

std::shared_ptr<Progress> DownloadRequest::progress() const {
    auto d = downloadDelegate();
    return d ? d->progress() : nullptr;
}

std::shared_ptr<DownloadRequest> DownloadRequest::setProgressHandler(
    std::shared_ptr<dispatch::Queue> queue, std::function<void(const std::shared_ptr<Progress>&)> closure) {
    if (auto d = downloadDelegate()) d->progressHandler = ProgressHandler{std::move(closure), std::move(queue)};
    return self<DownloadRequest>();
}

void DownloadRequest::cancel() {
    auto task = std::dynamic_pointer_cast<net::URLSessionDownloadTask>(this->task());
    if (!task) return;
    std::weak_ptr<DownloadRequest> weakSelf = self<DownloadRequest>();
    task->cancelByProducingResumeData([weakSelf](std::optional<core::Bytes> data) {
        if (auto request = weakSelf.lock()) {
            if (auto d = request->downloadDelegate()) d->resumeData = std::move(data);
        }
    });
    post(Notification::Name::Task::DidCancel, task);
}

std::shared_ptr<DownloadRequest> DownloadRequest::response(Queue queue,
                                                           std::function<void(const DefaultDownloadResponse&)> completionHandler) {
    auto request = self<DownloadRequest>();
    auto taskDelegate = std::static_pointer_cast<DownloadTaskDelegate>(delegate());
    taskDelegate->queue()->addOperation([request, taskDelegate, queue = std::move(queue), completion = std::move(completionHandler)] {
        (queue ? queue : dispatch::Queue::main())->async([request, taskDelegate, completion] {
            DefaultDownloadResponse record(request->request(), request->responseValue(), taskDelegate->temporaryURL,
                                           taskDelegate->destinationURL, taskDelegate->resumeData, taskDelegate->error,
                                           request->timeline());
            record.attachMetrics(taskDelegate->metrics);
            completion(record);
        });
    });
    return request;
}

std::shared_ptr<DownloadRequest> DownloadRequest::responseData(
    Queue queue, std::function<void(const DownloadResponse<core::Bytes>&)> completionHandler) {
    return response(std::move(queue), dataResponseSerializer(), std::move(completionHandler));
}

std::shared_ptr<DownloadRequest> DownloadRequest::responseString(
    Queue queue, std::optional<core::TextEncoding> encoding,
    std::function<void(const DownloadResponse<std::string>&)> completionHandler) {
    return response(std::move(queue), stringResponseSerializer(encoding), std::move(completionHandler));
}

std::shared_ptr<DownloadRequest> DownloadRequest::responseJSON(
    Queue queue, unsigned options, std::function<void(const DownloadResponse<core::Value>&)> completionHandler) {
    return response(std::move(queue), jsonResponseSerializer(options), std::move(completionHandler));
}

std::shared_ptr<DownloadRequest> DownloadRequest::responsePropertyList(
    Queue queue, int options, std::function<void(const DownloadResponse<core::Value>&)> completionHandler) {
    return response(std::move(queue), propertyListResponseSerializer(options), std::move(completionHandler));
}

} // namespace http
