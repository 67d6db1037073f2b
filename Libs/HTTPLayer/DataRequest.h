#pragma once
// A request whose body is collected in memory (or streamed to a closure), with its response
// handlers and validations.
//
// Response handlers: each attach adds one operation to the queue of the task delegate current at
// that moment. When the task has completed (the queue is released) the operation runs the
// serializer, stamps the timeline, builds the record, attaches the metrics and dispatches the
// completion to the given queue, or to the main queue when none is given. So all parsing happens
// off the target queue, one handler at a time, and completions aimed at one serial queue run in
// the order the handlers were attached. The plain form serializes nothing and builds its record
// on the target queue. Handlers may be attached from any thread, before or after completion.

#include "Libs/HTTPLayer/DataTaskDelegate.h"
#include "Libs/HTTPLayer/Request.h"
#include "Libs/HTTPLayer/Response.h"
#include "Libs/HTTPLayer/ResponseSerialization.h"

namespace http {

class DataRequest : public Request {
    QUILLORA_CLASS(DataRequest)

    // The description of a data task: the URL request to send.
    struct Requestable : TaskConvertible {
        explicit Requestable(net::URLRequest request) : urlRequest(std::move(request)) {}
        net::URLRequest urlRequest;
        Result<std::shared_ptr<net::URLSessionTask>> makeTask(const std::shared_ptr<net::URLSession>& session,
                                                              const std::shared_ptr<RequestAdapter>& adapter,
                                                              const std::shared_ptr<dispatch::Queue>& queue) const override;
    };

    using Request::Request;

    // The task's original request, else the one of its Requestable description.
    std::optional<net::URLRequest> request() const override;

    // The data task delegate's progress (bytes received); nothing when the delegate is of another
    // kind (after the data task became a download).
    std::shared_ptr<Progress> progress() const;
    std::shared_ptr<DataRequest> setDataStream(std::function<void(const core::Bytes&)> closure);
    std::shared_ptr<DataRequest> setProgressHandler(std::shared_ptr<dispatch::Queue> queue,
                                                    std::function<void(const std::shared_ptr<Progress>&)> closure);

    // ---- response handlers ----

    using Queue = std::shared_ptr<dispatch::Queue>;

    std::shared_ptr<DataRequest> response(Queue queue, std::function<void(const DefaultDataResponse&)> completionHandler);

    template <DataResponseSerializerProtocol S>
    std::shared_ptr<DataRequest> response(Queue queue, S responseSerializer,
                                          std::function<void(const DataResponse<typename S::SerializedObject>&)> completionHandler) {
        using T = typename S::SerializedObject;
        auto request = self<DataRequest>();
        auto taskDelegate = delegate();
        taskDelegate->queue()->addOperation([request, taskDelegate, serializer = std::move(responseSerializer),
                                             queue = std::move(queue), completion = std::move(completionHandler)] {
            auto urlRequest = request->request();
            auto response = request->responseValue();
            auto data = taskDelegate->data();
            // A serializer that throws (memory running out on a huge body) still completes.
            Result<T> result = guardedResult([&] { return serializer.serializeResponse(urlRequest, response, data, taskDelegate->error); });
            DataResponse<T> record(std::move(urlRequest), std::move(response), std::move(data), std::move(result),
                                   request->timeline());
            record.attachMetrics(taskDelegate->metrics);
            (queue ? queue : dispatch::Queue::main())->async([completion, record = std::move(record)] { completion(record); });
        });
        return request;
    }

    std::shared_ptr<DataRequest> responseData(Queue queue, std::function<void(const DataResponse<core::Bytes>&)> completionHandler);
    std::shared_ptr<DataRequest> responseString(Queue queue, std::optional<core::TextEncoding> encoding,
                                                std::function<void(const DataResponse<std::string>&)> completionHandler);
    std::shared_ptr<DataRequest> responseJSON(Queue queue, unsigned options,
                                              std::function<void(const DataResponse<core::Value>&)> completionHandler);
    // Main queue, fragments allowed.
    std::shared_ptr<DataRequest> responseJSON(std::function<void(const DataResponse<core::Value>&)> completionHandler);
    std::shared_ptr<DataRequest> responsePropertyList(Queue queue, int options,
                                                      std::function<void(const DataResponse<core::Value>&)> completionHandler);

    // The serializers, as the free functions of ResponseSerialization.h make them.
    static DataResponseSerializer<core::Bytes> dataResponseSerializer() { return http::dataResponseSerializer(); }
    static DataResponseSerializer<std::string> stringResponseSerializer(std::optional<core::TextEncoding> encoding = std::nullopt) {
        return http::stringResponseSerializer(encoding);
    }
    static DataResponseSerializer<core::Value> jsonResponseSerializer(unsigned options = 0) {
        return http::jsonResponseSerializer(options);
    }
    static DataResponseSerializer<core::Value> propertyListResponseSerializer(int options = 0) {
        return http::propertyListResponseSerializer(options);
    }

    // ---- validation ----

    using Validation = std::function<ValidationResult(const std::optional<net::URLRequest>& request,
                                                      const net::HTTPURLResponse& response,
                                                      const std::optional<core::Bytes>& data)>;

    // Each appends one validation, run when the task completes; the first failure becomes the
    // task delegate's error and later validations do nothing.
    std::shared_ptr<DataRequest> addValidation(Validation validation);
    std::shared_ptr<DataRequest> validateStatusCode(std::vector<int> acceptableStatusCodes);
    std::shared_ptr<DataRequest> validateContentType(std::vector<std::string> acceptableContentTypes);
    // Status 200-299, and the types of the request's "Accept" header (read now).
    std::shared_ptr<DataRequest> validateDefaults();

protected:
    // The response as the records hold it (a copy).
    std::optional<net::HTTPURLResponse> responseValue() const {
        auto r = Request::response();
        return r ? std::optional<net::HTTPURLResponse>(*r) : std::nullopt;
    }
    std::shared_ptr<DataTaskDelegate> dataDelegate() const { return std::dynamic_pointer_cast<DataTaskDelegate>(delegate()); }
};

} // namespace http
