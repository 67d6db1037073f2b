#pragma once
// The front door of the HTTP layer: turns a URL, method, parameters, encoding and header fields
// into a running DataRequest over one URL session.
//
// A manager owns its URL session, its SessionDelegate (which refers back to it weakly) and a
// serial queue labelled "org.httplayer.session-manager.<UUID>" on which tasks are made, one at a
// time. Factories never fail: a URL that does not convert, an encoding failure or an adapter
// failure ends in a request without a task that carries the error, so its response handlers
// report it. Each request is registered with the session delegate before it is resumed.
//
// Threads: factories may be called from any thread except the manager's own queue (making a task
// waits on it). The retrier is asked, and a delayed retry runs, on the global utility queue.
// Closures that outlive a call hold the manager weakly and do nothing once it is gone.
// Releasing a manager cancels its running tasks.

#include "Libs/HTTPLayer/DataRequest.h"
#include "Libs/HTTPLayer/DownloadRequest.h"
#include "Libs/HTTPLayer/MultipartFormData.h"
#include "Libs/HTTPLayer/StreamRequest.h"
#include "Libs/HTTPLayer/UploadRequest.h"
#include "Libs/HTTPLayer/HTTPMethod.h"
#include "Libs/HTTPLayer/ParameterEncoding.h"
#include "Libs/HTTPLayer/RequestAdapter.h"
#include "Libs/HTTPLayer/RequestRetrier.h"
#include "Libs/HTTPLayer/ServerTrustPolicy.h"
#include "Libs/HTTPLayer/SessionDelegate.h"
#include "Libs/HTTPLayer/URLConvertible.h"
#include "Libs/HTTPLayer/URLEncoding.h"

#include "platform/dispatch/Queue.h"
#include "platform/net/URLSession.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace http {

class SessionManager : public std::enable_shared_from_this<SessionManager> {
public:
    // What a multipart upload hands its caller: the upload (which may itself carry an error, such
    // as an adapter's), and whether its body went through a file; or why no upload was made.
    struct MultipartFormDataEncodingResult {
        std::shared_ptr<UploadRequest> request;
        bool streamingFromDisk = false;
        std::optional<net::URL> streamFileURL;
        std::optional<Error> error;

        bool isSuccess() const { return !error; }
        static MultipartFormDataEncodingResult success(std::shared_ptr<UploadRequest> request, bool streamingFromDisk,
                                                       std::optional<net::URL> streamFileURL) {
            return {std::move(request), streamingFromDisk, std::move(streamFileURL), std::nullopt};
        }
        static MultipartFormDataEncodingResult failure(Error error) { return {nullptr, false, std::nullopt, std::move(error)}; }
    };
    using MultipartFormBuilder = std::function<void(MultipartFormData&)>;
    using MultipartCompletion = std::function<void(const MultipartFormDataEncodingResult&)>;
    using Destination = DownloadRequest::Destination;

    // The folder of multipart body files in the temporary folder, made private to this user.
    static std::string multipartTemporaryFolder();

    // The shared manager: the default configuration with defaultHTTPHeaders(). Made on first use
    // and kept for the life of the process.
    static const std::shared_ptr<SessionManager>& default_();
    // "Accept-Encoding", "Accept-Language" and "User-Agent", built once.
    static const HTTPHeaders& defaultHTTPHeaders();
    // Multipart bodies below this size are encoded in memory.
    static constexpr std::uint64_t multipartFormDataEncodingMemoryThreshold = 10'000'000;

    // The trust-policy manager (or nothing) is attached to the URL session.
    static std::shared_ptr<SessionManager> create(net::URLSessionConfiguration configuration,
                                                  std::shared_ptr<SessionDelegate> delegate = SessionDelegate::create(),
                                                  std::shared_ptr<ServerTrustPolicyManager> serverTrustPolicyManager = nullptr);
    // Nothing when `session`'s delegate is not `delegate`.
    static std::shared_ptr<SessionManager> create(std::shared_ptr<net::URLSession> session,
                                                  std::shared_ptr<SessionDelegate> delegate,
                                                  std::shared_ptr<ServerTrustPolicyManager> serverTrustPolicyManager = nullptr);
    virtual ~SessionManager();
    SessionManager(const SessionManager&) = delete;
    SessionManager& operator=(const SessionManager&) = delete;

    const std::shared_ptr<net::URLSession>& session() const { return session_; }
    const std::shared_ptr<SessionDelegate>& delegate() const { return delegate_; }
    const std::shared_ptr<dispatch::Queue>& queue() const { return queue_; }

    bool startRequestsImmediately() const { return startRequestsImmediately_.load(); }
    void setStartRequestsImmediately(bool start) { startRequestsImmediately_.store(start); }
    std::shared_ptr<RequestAdapter> adapter() const;
    void setAdapter(std::shared_ptr<RequestAdapter> adapter);
    // The session delegate's retrier.
    std::shared_ptr<RequestRetrier> retrier() const { return delegate_->retrier; }
    void setRetrier(std::shared_ptr<RequestRetrier> retrier) { delegate_->retrier = std::move(retrier); }
    // Called on the main queue when the session has delivered all background events.
    std::function<void()> backgroundCompletionHandler() const;
    void setBackgroundCompletionHandler(std::function<void()> handler);

    // ---- data requests ----
    virtual std::shared_ptr<DataRequest> request(const URLConvertible& url, HTTPMethod method = HTTPMethod::get,
                                                 const std::optional<Parameters>& parameters = std::nullopt,
                                                 const ParameterEncoding& encoding = URLEncoding::default_(),
                                                 const std::optional<HTTPHeaders>& headers = std::nullopt);
    virtual std::shared_ptr<DataRequest> request(const URLRequestConvertible& urlRequest);
    // A request without a task that carries `error` (an AdaptError is unwrapped; with a retrier
    // set, an adapter's error goes to the retrier instead of resuming the request).
    virtual std::shared_ptr<DataRequest> request(const std::optional<net::URLRequest>& urlRequest, const Error& error);

    // ---- downloads ----
    virtual std::shared_ptr<DownloadRequest> download(const URLConvertible& url, HTTPMethod method,
                                                      const std::optional<Parameters>& parameters = std::nullopt,
                                                      const ParameterEncoding& encoding = URLEncoding::default_(),
                                                      const std::optional<HTTPHeaders>& headers = std::nullopt,
                                                      Destination destination = nullptr);
    virtual std::shared_ptr<DownloadRequest> download(const URLRequestConvertible& urlRequest, Destination destination = nullptr);
    // Continues from the resume data of a cancelled download.
    virtual std::shared_ptr<DownloadRequest> download(const core::Bytes& resumeData, Destination destination = nullptr);
    virtual std::shared_ptr<DownloadRequest> download(std::shared_ptr<const DownloadRequest::Downloadable> downloadable,
                                                      Destination destination = nullptr);
    virtual std::shared_ptr<DownloadRequest> download(std::shared_ptr<const DownloadRequest::Downloadable> downloadable,
                                                      Destination destination, const Error& error);

    // ---- uploads ----
    virtual std::shared_ptr<UploadRequest> uploadFile(const net::URL& fileURL, const URLConvertible& url, HTTPMethod method,
                                                      const std::optional<HTTPHeaders>& headers = std::nullopt);
    virtual std::shared_ptr<UploadRequest> uploadFile(const net::URL& fileURL, const URLRequestConvertible& urlRequest);
    virtual std::shared_ptr<UploadRequest> uploadData(const core::Bytes& data, const URLConvertible& url, HTTPMethod method,
                                                      const std::optional<HTTPHeaders>& headers = std::nullopt);
    virtual std::shared_ptr<UploadRequest> uploadData(const core::Bytes& data, const URLRequestConvertible& urlRequest);
    // Every new-body-stream question of the task is answered with this same stream.
    virtual std::shared_ptr<UploadRequest> uploadStream(std::shared_ptr<core::InputStream> stream, const URLConvertible& url,
                                                        HTTPMethod method, const std::optional<HTTPHeaders>& headers = std::nullopt);
    virtual std::shared_ptr<UploadRequest> uploadStream(std::shared_ptr<core::InputStream> stream,
                                                        const URLRequestConvertible& urlRequest);
    // Builds the form on the global utility queue, encodes it in memory when its declared length is
    // below `threshold` (and the session is not a background one), else writes it to a file in
    // multipartTemporaryFolder() that is removed when the upload's task completes; the completion
    // runs on the main queue.
    virtual void uploadMultipartFormData(MultipartFormBuilder multipartFormData, std::uint64_t threshold,
                                         const URLConvertible& url, HTTPMethod method,
                                         const std::optional<HTTPHeaders>& headers = std::nullopt,
                                         MultipartCompletion encodingCompletion = nullptr);
    virtual void uploadMultipartFormData(MultipartFormBuilder multipartFormData, std::uint64_t threshold,
                                         const URLRequestConvertible& urlRequest,
                                         MultipartCompletion encodingCompletion = nullptr);
    virtual std::shared_ptr<UploadRequest> upload(std::shared_ptr<const UploadRequest::Uploadable> uploadable);
    virtual std::shared_ptr<UploadRequest> upload(std::shared_ptr<const UploadRequest::Uploadable> uploadable, const Error& error);

    // ---- streams ----
    virtual std::shared_ptr<StreamRequest> stream(const std::string& hostName, int port);
    virtual std::shared_ptr<StreamRequest> stream(std::shared_ptr<const net::NetService> netService);
    virtual std::shared_ptr<StreamRequest> stream(std::shared_ptr<const StreamRequest::Streamable> streamable);

    // ---- retry ----
    // Makes a new task from the request's description, registers it and starts it; false when no
    // new task could be made (the request then carries that failure).
    virtual bool retry(const std::shared_ptr<Request>& request);
    // Asks the retrier on the global utility queue and acts on its answer.
    virtual void passToRetrier(const std::shared_ptr<RequestRetrier>& retrier, const std::shared_ptr<Request>& request,
                               const Error& error);

protected:
    SessionManager(std::shared_ptr<net::URLSession> session, std::shared_ptr<SessionDelegate> delegate);
    void finishInit(std::shared_ptr<ServerTrustPolicyManager> serverTrustPolicyManager);

private:
    // The multipart road's work on its utility queue: builds and encodes the form (in memory or
    // into a file) and starts the upload; reports through `report` or `fail`.
    static void encodeAndUpload(SessionManager& manager, const MultipartFormBuilder& build, std::uint64_t threshold,
                                const URLRequestConvertible& urlRequest, std::optional<net::URL>& fileURL,
                                const std::function<void(MultipartFormDataEncodingResult)>& report,
                                const std::function<void(const Error&)>& fail);
    std::atomic<bool> startRequestsImmediately_{true};
    mutable std::mutex hooksLock_; // guards the adapter and the background handler
    std::shared_ptr<RequestAdapter> adapter_;
    std::function<void()> backgroundCompletionHandler_;
    const std::shared_ptr<dispatch::Queue> queue_;
    const std::shared_ptr<SessionDelegate> delegate_;
    std::shared_ptr<net::URLSession> session_;
};

// The same operations on SessionManager::default_().
std::shared_ptr<DataRequest> request(const URLConvertible& url, HTTPMethod method = HTTPMethod::get,
                                     const std::optional<Parameters>& parameters = std::nullopt,
                                     const ParameterEncoding& encoding = URLEncoding::default_(),
                                     const std::optional<HTTPHeaders>& headers = std::nullopt);
std::shared_ptr<DataRequest> request(const URLRequestConvertible& urlRequest);
std::shared_ptr<DownloadRequest> download(const URLConvertible& url, HTTPMethod method,
                                          const std::optional<Parameters>& parameters = std::nullopt,
                                          const ParameterEncoding& encoding = URLEncoding::default_(),
                                          const std::optional<HTTPHeaders>& headers = std::nullopt,
                                          SessionManager::Destination destination = nullptr);
std::shared_ptr<DownloadRequest> download(const URLRequestConvertible& urlRequest, SessionManager::Destination destination = nullptr);
std::shared_ptr<DownloadRequest> download(const core::Bytes& resumeData, SessionManager::Destination destination = nullptr);
std::shared_ptr<UploadRequest> uploadFile(const net::URL& fileURL, const URLConvertible& url, HTTPMethod method,
                                          const std::optional<HTTPHeaders>& headers = std::nullopt);
std::shared_ptr<UploadRequest> uploadFile(const net::URL& fileURL, const URLRequestConvertible& urlRequest);
std::shared_ptr<UploadRequest> uploadData(const core::Bytes& data, const URLConvertible& url, HTTPMethod method,
                                          const std::optional<HTTPHeaders>& headers = std::nullopt);
std::shared_ptr<UploadRequest> uploadData(const core::Bytes& data, const URLRequestConvertible& urlRequest);
std::shared_ptr<UploadRequest> uploadStream(std::shared_ptr<core::InputStream> stream, const URLConvertible& url,
                                            HTTPMethod method, const std::optional<HTTPHeaders>& headers = std::nullopt);
std::shared_ptr<UploadRequest> uploadStream(std::shared_ptr<core::InputStream> stream, const URLRequestConvertible& urlRequest);
void uploadMultipartFormData(SessionManager::MultipartFormBuilder multipartFormData, std::uint64_t threshold,
                             const URLConvertible& url, HTTPMethod method, const std::optional<HTTPHeaders>& headers = std::nullopt,
                             SessionManager::MultipartCompletion encodingCompletion = nullptr);
void uploadMultipartFormData(SessionManager::MultipartFormBuilder multipartFormData, std::uint64_t threshold,
                             const URLRequestConvertible& urlRequest, SessionManager::MultipartCompletion encodingCompletion = nullptr);
std::shared_ptr<StreamRequest> stream(const std::string& hostName, int port);
std::shared_ptr<StreamRequest> stream(std::shared_ptr<const net::NetService> netService);

} // namespace http
