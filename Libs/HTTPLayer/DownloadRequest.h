#pragma once
// A request whose body is written to a file and moved to a destination, with its response
// handlers and validations (see DataRequest for how handlers run).

#include "Libs/HTTPLayer/DownloadTaskDelegate.h"
#include "Libs/HTTPLayer/Request.h"
#include "Libs/HTTPLayer/Response.h"
#include "Libs/HTTPLayer/ResponseSerialization.h"

#include "platform/core/Paths.h"


namespace http {

class DownloadRequest : public Request {
    QUILLORA_CLASS(DownloadRequest)

    using Destination = DownloadTaskDelegate::Destination;

    // A destination in the first standard folder of the kind for the domains, named by the
    // response's suggested file name; with no such folder the file stays at its temporary URL
    // (and is kept there).
    static Destination searchPathDestination(core::paths::SearchPathDirectory directory = core::paths::SearchPathDirectory::documentDirectory,
                                             unsigned domain = core::paths::userDomainMask);

    // The description of a download task: a URL request, or the resume data of an earlier
    // cancelled download (to which no adapter applies).
    class Downloadable : public TaskConvertible {
    public:
        static std::shared_ptr<const Downloadable> request(net::URLRequest urlRequest) {
            return std::make_shared<const Downloadable>(std::move(urlRequest), std::nullopt);
        }
        static std::shared_ptr<const Downloadable> resumeData(core::Bytes data) {
            return std::make_shared<const Downloadable>(std::nullopt, std::move(data));
        }

        // Exactly one of the two is set.
        Downloadable(std::optional<net::URLRequest> urlRequest, std::optional<core::Bytes> resumeData)
            : urlRequest_(std::move(urlRequest)), resumeData_(std::move(resumeData)) {}

        const std::optional<net::URLRequest>& urlRequest() const { return urlRequest_; }
        const std::optional<core::Bytes>& resumeData() const { return resumeData_; }
        Result<std::shared_ptr<net::URLSessionTask>> makeTask(const std::shared_ptr<net::URLSession>& session,
                                                              const std::shared_ptr<RequestAdapter>& adapter,
                                                              const std::shared_ptr<dispatch::Queue>& queue) const override;

    private:
        std::optional<net::URLRequest> urlRequest_;
        std::optional<core::Bytes> resumeData_;
    };

    using Request::Request;

    // The task's original request, else the one of a Downloadable made from a request.
    std::optional<net::URLRequest> request() const override;
    std::optional<core::Bytes> resumeData() const;
    std::shared_ptr<Progress> progress() const;
    std::shared_ptr<DownloadRequest> setProgressHandler(std::shared_ptr<dispatch::Queue> queue,
                                                        std::function<void(const std::shared_ptr<Progress>&)> closure);
    // Cancels so that resume data is produced (it arrives later), and posts DidCancel at once.
    void cancel() override;

    // ---- response handlers ----

    using Queue = std::shared_ptr<dispatch::Queue>;

    std::shared_ptr<DownloadRequest> response(Queue queue, std::function<void(const DefaultDownloadResponse&)> completionHandler);

    template <DownloadResponseSerializerProtocol S>
    std::shared_ptr<DownloadRequest> response(
        Queue queue, S responseSerializer,
        std::function<void(const DownloadResponse<typename S::SerializedObject>&)> completionHandler) {
        using T = typename S::SerializedObject;
        auto request = self<DownloadRequest>();
        auto taskDelegate = std::static_pointer_cast<DownloadTaskDelegate>(delegate());
        taskDelegate->queue()->addOperation([request, taskDelegate, serializer = std::move(responseSerializer),
                                             queue = std::move(queue), completion = std::move(completionHandler)] {
            auto urlRequest = request->request();
            auto response = request->responseValue();
            auto fileURL = taskDelegate->destination ? taskDelegate->destinationURL : taskDelegate->temporaryURL;
            // A serializer that throws (memory running out on a huge body) still completes.
            Result<T> result = guardedResult([&] { return serializer.serializeResponse(urlRequest, response, fileURL, taskDelegate->error); });
            DownloadResponse<T> record(std::move(urlRequest), std::move(response), taskDelegate->temporaryURL,
                                       taskDelegate->destinationURL, taskDelegate->resumeData, std::move(result),
                                       request->timeline());
            record.attachMetrics(taskDelegate->metrics);
            (queue ? queue : dispatch::Queue::main())->async([completion, record = std::move(record)] { completion(record); });
        });
        return request;
    }

    std::shared_ptr<DownloadRequest> responseData(Queue queue,
                                                  std::function<void(const DownloadResponse<core::Bytes>&)> completionHandler);
    std::shared_ptr<DownloadRequest> responseString(Queue queue, std::optional<core::TextEncoding> encoding,
                                                    std::function<void(const DownloadResponse<std::string>&)> completionHandler);
    std::shared_ptr<DownloadRequest> responseJSON(Queue queue, unsigned options,
                                                  std::function<void(const DownloadResponse<core::Value>&)> completionHandler);
    std::shared_ptr<DownloadRequest> responsePropertyList(
        Queue queue, int options, std::function<void(const DownloadResponse<core::Value>&)> completionHandler);

    static DownloadResponseSerializer<core::Bytes> dataResponseSerializer() { return downloadDataResponseSerializer(); }
    static DownloadResponseSerializer<std::string> stringResponseSerializer(
        std::optional<core::TextEncoding> encoding = std::nullopt) {
        return downloadStringResponseSerializer(encoding);
    }
    static DownloadResponseSerializer<core::Value> jsonResponseSerializer(unsigned options = 0) {
        return downloadJSONResponseSerializer(options);
    }
    static DownloadResponseSerializer<core::Value> propertyListResponseSerializer(int options = 0) {
        return downloadPropertyListResponseSerializer(options);
    }

    // ---- validation ----

    using Validation = std::function<ValidationResult(const std::optional<net::URLRequest>& request,
                                                      const net::HTTPURLResponse& response,
                                                      const std::optional<net::URL>& temporaryURL,
                                                      const std::optional<net::URL>& destinationURL)>;

    std::shared_ptr<DownloadRequest> addValidation(Validation validation);
    std::shared_ptr<DownloadRequest> validateStatusCode(std::vector<int> acceptableStatusCodes);
    // Reads the downloaded file (the destination when a destination is set) and checks its type.
    std::shared_ptr<DownloadRequest> validateContentType(std::vector<std::string> acceptableContentTypes);
    std::shared_ptr<DownloadRequest> validateDefaults();

private:
    std::optional<net::HTTPURLResponse> responseValue() const {
        auto r = Request::response();
        return r ? std::optional<net::HTTPURLResponse>(*r) : std::nullopt;
    }
    std::shared_ptr<DownloadTaskDelegate> downloadDelegate() const {
        return std::dynamic_pointer_cast<DownloadTaskDelegate>(delegate());
    }
};

} // namespace http
