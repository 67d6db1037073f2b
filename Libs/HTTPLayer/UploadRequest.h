#pragma once
// A data request whose body is sent from bytes, a file or an input stream, with the progress of
// what it sends.

#include "Libs/HTTPLayer/DataRequest.h"
#include "Libs/HTTPLayer/UploadTaskDelegate.h"

#include <mutex>
#include <variant>

namespace http {

class UploadRequest : public DataRequest {
    QUILLORA_CLASS(UploadRequest)

    // The description of an upload task: its body (bytes, a file or a stream) and the URL request.
    class Uploadable : public TaskConvertible {
    public:
        static std::shared_ptr<const Uploadable> data(core::Bytes data, net::URLRequest urlRequest) {
            return std::make_shared<const Uploadable>(Body(std::move(data)), std::move(urlRequest));
        }
        static std::shared_ptr<const Uploadable> file(net::URL fileURL, net::URLRequest urlRequest) {
            return std::make_shared<const Uploadable>(Body(std::move(fileURL)), std::move(urlRequest));
        }
        static std::shared_ptr<const Uploadable> stream(std::shared_ptr<core::InputStream> stream, net::URLRequest urlRequest) {
            return std::make_shared<const Uploadable>(Body(std::move(stream)), std::move(urlRequest));
        }

        using Body = std::variant<core::Bytes, net::URL, std::shared_ptr<core::InputStream>>;
        Uploadable(Body body, net::URLRequest urlRequest) : body_(std::move(body)), urlRequest_(std::move(urlRequest)) {}

        // A body of bytes is moved into the first task made, not copied (a later task, for a
        // retry, copies them from that one); from then on it is empty here.
        const Body& body() const { return body_; }
        const net::URLRequest& urlRequest() const { return urlRequest_; }
        Result<std::shared_ptr<net::URLSessionTask>> makeTask(const std::shared_ptr<net::URLSession>& session,
                                                              const std::shared_ptr<RequestAdapter>& adapter,
                                                              const std::shared_ptr<dispatch::Queue>& queue) const override;

    private:
        mutable std::mutex mutex_;
        mutable Body body_;
        net::URLRequest urlRequest_;
        // The task that was given the bytes of the body.
        mutable std::shared_ptr<net::URLSessionUploadTask> bytesHolder_;
    };

    using DataRequest::DataRequest;

    // The data request's answer, else the URL request of its Uploadable description.
    std::optional<net::URLRequest> request() const override;

    // The upload delegate's progress of the sent body; nothing for a delegate of another kind.
    std::shared_ptr<Progress> uploadProgress() const;
    std::shared_ptr<UploadRequest> setUploadProgressHandler(std::shared_ptr<dispatch::Queue> queue,
                                                            std::function<void(const std::shared_ptr<Progress>&)> closure);
};

} // namespace http
