// The download, upload, stream and multipart factories of the session manager.
#include "Libs/HTTPLayer/SessionManager.h"

#include "platform/core/Digest.h"
#include "platform/core/Files.h"
#include "platform/core/Paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace http {

namespace {

core::Error folderError(int code, const std::string& what, const std::string& path) {
    return core::Error{std::string(core::files::kErrorDomain), code, what + " " + path + ": " + std::strerror(code), {}};
}

// Makes `path` a folder of this user's, readable by nobody else: a missing one is made 0700, an
// existing one must be a real folder (not a link) owned by this user and is set to 0700.
std::optional<core::Error> makePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return folderError(errno, "cannot create", path);
    struct stat info{};
    if (::lstat(path.c_str(), &info) != 0) return folderError(errno, "cannot inspect", path);
    if (!S_ISDIR(info.st_mode)) return folderError(ENOTDIR, "not a folder of its own", path);
    if (info.st_uid != ::geteuid()) return folderError(EPERM, "owned by another user", path);
    if ((info.st_mode & 0777) != 0700 && ::chmod(path.c_str(), 0700) != 0) return folderError(errno, "cannot protect", path);
    return std::nullopt;
}

// Removes a multipart body file once its upload is over. The name goes at once, but freeing a
// large file's cached pages (about 5 ms for 64 MiB) waits for its last descriptor to close: this
// one, closed on a utility queue, so that the request's later handlers do not wait for it.
void removeBodyFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    (void)core::files::remove(path);
    if (fd >= 0) dispatch::Queue::global(dispatch::QoS::utility)->async([fd] { ::close(fd); });
}

} // namespace

std::string SessionManager::multipartTemporaryFolder() {
    return core::paths::temporary() + "/org.httplayer.manager/multipart.form.data";
}

// ---- downloads ----

std::shared_ptr<DownloadRequest> SessionManager::download(const URLConvertible& url, HTTPMethod method,
                                                          const std::optional<Parameters>& parameters,
                                                          const ParameterEncoding& encoding,
                                                          const std::optional<HTTPHeaders>& headers, Destination destination) {
    auto urlRequest = makeURLRequest(url, method, headers);
    if (urlRequest.isFailure()) return download(nullptr, std::move(destination), urlRequest.failureError());
    auto encoded = encoding.encode(urlRequest.successValue(), parameters);
    if (encoded.isFailure()) return download(nullptr, std::move(destination), encoded.failureError());
    return download(URLRequestConvertible(encoded.successValue()), std::move(destination));
}

std::shared_ptr<DownloadRequest> SessionManager::download(const URLRequestConvertible& urlRequest, Destination destination) {
    auto converted = urlRequest.asURLRequest();
    if (converted.isFailure()) return download(nullptr, std::move(destination), converted.failureError());
    return download(DownloadRequest::Downloadable::request(converted.successValue()), std::move(destination));
}

std::shared_ptr<DownloadRequest> SessionManager::download(const core::Bytes& resumeData, Destination destination) {
    return download(DownloadRequest::Downloadable::resumeData(resumeData), std::move(destination));
}

std::shared_ptr<DownloadRequest> SessionManager::download(std::shared_ptr<const DownloadRequest::Downloadable> downloadable,
                                                          Destination destination) {
    auto task = downloadable->makeTask(session_, adapter(), queue_);
    if (task.isFailure()) return download(downloadable, std::move(destination), task.failureError());
    auto request = Request::create<DownloadRequest>(session_, Request::RequestTask::download(downloadable, task.successValue()));
    std::static_pointer_cast<DownloadTaskDelegate>(request->delegate())->destination = std::move(destination);
    delegate_->setRequestForTask(*task.successValue(), request);
    if (startRequestsImmediately()) request->resume();
    return request;
}

std::shared_ptr<DownloadRequest> SessionManager::download(std::shared_ptr<const DownloadRequest::Downloadable> downloadable,
                                                          Destination destination, const Error& error) {
    auto underlying = SessionDelegate::underlyingAdaptError(error);
    auto request = Request::create<DownloadRequest>(session_, Request::RequestTask::download(std::move(downloadable), nullptr),
                                                    underlying ? *underlying : error);
    std::static_pointer_cast<DownloadTaskDelegate>(request->delegate())->destination = std::move(destination);
    if (auto currentRetrier = retrier(); currentRetrier && underlying) {
        passToRetrier(currentRetrier, request, *underlying);
        return request;
    }
    if (startRequestsImmediately()) request->resume();
    return request;
}

// ---- uploads ----

std::shared_ptr<UploadRequest> SessionManager::uploadFile(const net::URL& fileURL, const URLConvertible& url, HTTPMethod method,
                                                          const std::optional<HTTPHeaders>& headers) {
    auto urlRequest = makeURLRequest(url, method, headers);
    if (urlRequest.isFailure()) return upload(nullptr, urlRequest.failureError());
    return uploadFile(fileURL, URLRequestConvertible(urlRequest.successValue()));
}

std::shared_ptr<UploadRequest> SessionManager::uploadFile(const net::URL& fileURL, const URLRequestConvertible& urlRequest) {
    auto converted = urlRequest.asURLRequest();
    if (converted.isFailure()) return upload(nullptr, converted.failureError());
    return upload(UploadRequest::Uploadable::file(fileURL, converted.successValue()));
}

std::shared_ptr<UploadRequest> SessionManager::uploadData(const core::Bytes& data, const URLConvertible& url, HTTPMethod method,
                                                          const std::optional<HTTPHeaders>& headers) {
    auto urlRequest = makeURLRequest(url, method, headers);
    if (urlRequest.isFailure()) return upload(nullptr, urlRequest.failureError());
    return uploadData(data, URLRequestConvertible(urlRequest.successValue()));
}

std::shared_ptr<UploadRequest> SessionManager::uploadData(const core::Bytes& data, const URLRequestConvertible& urlRequest) {
    auto converted = urlRequest.asURLRequest();
    if (converted.isFailure()) return upload(nullptr, converted.failureError());
    return upload(UploadRequest::Uploadable::data(data, converted.successValue()));
}

std::shared_ptr<UploadRequest> SessionManager::uploadStream(std::shared_ptr<core::InputStream> stream, const URLConvertible& url,
                                                            HTTPMethod method, const std::optional<HTTPHeaders>& headers) {
    auto urlRequest = makeURLRequest(url, method, headers);
    if (urlRequest.isFailure()) return upload(nullptr, urlRequest.failureError());
    return uploadStream(std::move(stream), URLRequestConvertible(urlRequest.successValue()));
}

std::shared_ptr<UploadRequest> SessionManager::uploadStream(std::shared_ptr<core::InputStream> stream,
                                                            const URLRequestConvertible& urlRequest) {
    auto converted = urlRequest.asURLRequest();
    if (converted.isFailure()) return upload(nullptr, converted.failureError());
    return upload(UploadRequest::Uploadable::stream(std::move(stream), converted.successValue()));
}

std::shared_ptr<UploadRequest> SessionManager::upload(std::shared_ptr<const UploadRequest::Uploadable> uploadable) {
    auto task = uploadable->makeTask(session_, adapter(), queue_);
    if (task.isFailure()) return upload(uploadable, task.failureError());
    auto request = Request::create<UploadRequest>(session_, Request::RequestTask::upload(uploadable, task.successValue()));
    if (const auto* stream = std::get_if<std::shared_ptr<core::InputStream>>(&uploadable->body())) {
        request->delegate()->taskNeedNewBodyStream = [stream = *stream](const auto&, const auto&) { return stream; };
    }
    delegate_->setRequestForTask(*task.successValue(), request);
    if (startRequestsImmediately()) request->resume();
    return request;
}

std::shared_ptr<UploadRequest> SessionManager::upload(std::shared_ptr<const UploadRequest::Uploadable> uploadable, const Error& error) {
    auto underlying = SessionDelegate::underlyingAdaptError(error);
    auto request = Request::create<UploadRequest>(session_, Request::RequestTask::upload(std::move(uploadable), nullptr),
                                                  underlying ? *underlying : error);
    if (auto currentRetrier = retrier(); currentRetrier && underlying) {
        passToRetrier(currentRetrier, request, *underlying);
        return request;
    }
    if (startRequestsImmediately()) request->resume();
    return request;
}

void SessionManager::uploadMultipartFormData(MultipartFormBuilder multipartFormData, std::uint64_t threshold,
                                             const URLConvertible& url, HTTPMethod method,
                                             const std::optional<HTTPHeaders>& headers, MultipartCompletion encodingCompletion) {
    auto urlRequest = makeURLRequest(url, method, headers);
    if (urlRequest.isFailure()) {
        dispatch::Queue::main()->async([completion = std::move(encodingCompletion), error = urlRequest.failureError()] {
            if (completion) completion(MultipartFormDataEncodingResult::failure(error));
        });
        return;
    }
    uploadMultipartFormData(std::move(multipartFormData), threshold, URLRequestConvertible(urlRequest.successValue()),
                            std::move(encodingCompletion));
}

void SessionManager::uploadMultipartFormData(MultipartFormBuilder multipartFormData, std::uint64_t threshold,
                                             const URLRequestConvertible& urlRequest, MultipartCompletion encodingCompletion) {
    // The work holds the manager until it ends.
    dispatch::Queue::global(dispatch::QoS::utility)->async([self = shared_from_this(), build = std::move(multipartFormData),
                                                            threshold, urlRequest, completion = std::move(encodingCompletion)] {
        bool reported = false;
        const auto report = [completion, &reported](MultipartFormDataEncodingResult result) {
            reported = true;
            dispatch::Queue::main()->async([completion, result = std::move(result)] {
                if (completion) completion(result);
            });
        };
        std::optional<net::URL> fileURL;
        const auto fail = [&](const Error& error) {
            if (fileURL) (void)core::files::remove(fileURL->path());
            report(MultipartFormDataEncodingResult::failure(error));
        };
        // Memory running out while the body is built or encoded (or a builder that throws) ends
        // in a failure like any other, so the caller hears back exactly once.
        try {
            encodeAndUpload(*self, build, threshold, urlRequest, fileURL, report, fail);
        } catch (...) {
            if (!reported) fail(Error(currentExceptionError()));
        }
    });
}

void SessionManager::encodeAndUpload(SessionManager& manager, const MultipartFormBuilder& build, std::uint64_t threshold,
                                     const URLRequestConvertible& urlRequest, std::optional<net::URL>& fileURL,
                                     const std::function<void(MultipartFormDataEncodingResult)>& report,
                                     const std::function<void(const Error&)>& fail) {
    MultipartFormData form;
    build(form);
    auto converted = urlRequest.asURLRequest();
    if (converted.isFailure()) return fail(converted.failureError());
    net::URLRequest request = converted.successValue();
    request.setValue(form.contentType(), "Content-Type");
    const bool background = manager.session_->configuration().identifier.has_value();
    if (form.totalBodyLength() < threshold && !background) {
        auto data = form.encodeAll();
        if (data.isFailure()) return fail(data.failureError());
        // The encoded body is moved into the upload, never copied.
        auto upload = manager.upload(UploadRequest::Uploadable::data(std::move(data).successValue(), std::move(request)));
        report(MultipartFormDataEncodingResult::success(upload, false, std::nullopt));
        return;
    }
    const std::string folder = multipartTemporaryFolder();
    fileURL = net::URL::fileURL(folder + "/" + core::makeUuidString());
    std::optional<core::Error> folderFailure;
    manager.queue_->sync([&] {
        // The temporary directory itself may not exist yet (a TMPDIR set to a new path): its
        // missing folders are made private too, then the two of our own are checked.
        const std::string parent = folder.substr(0, folder.rfind('/'));
        if (auto made = core::files::createDirectories(parent.substr(0, parent.rfind('/')), 0700); !made) {
            folderFailure = made.error();
            return;
        }
        folderFailure = makePrivateFolder(parent);
        if (!folderFailure) folderFailure = makePrivateFolder(folder);
    });
    if (folderFailure) return fail(Error(*folderFailure));
    auto written = form.writeAll(*fileURL);
    if (written.isFailure()) return fail(written.failureError());
    auto upload = manager.uploadFile(*fileURL, URLRequestConvertible(request));
    upload->delegate()->queue()->addOperation([path = fileURL->path()] { removeBodyFile(path); });
    report(MultipartFormDataEncodingResult::success(upload, true, fileURL));
}

// ---- streams ----

std::shared_ptr<StreamRequest> SessionManager::stream(const std::string& hostName, int port) {
    return stream(std::make_shared<const StreamRequest::Streamable>(hostName, port));
}

std::shared_ptr<StreamRequest> SessionManager::stream(std::shared_ptr<const net::NetService> netService) {
    return stream(std::make_shared<const StreamRequest::Streamable>(std::move(netService)));
}

std::shared_ptr<StreamRequest> SessionManager::stream(std::shared_ptr<const StreamRequest::Streamable> streamable) {
    auto task = streamable->makeTask(session_, adapter(), queue_);
    if (task.isFailure()) {
        // The error stays as it came (an adapter's stays wrapped); no retrier is asked.
        auto request = Request::create<StreamRequest>(session_, Request::RequestTask::stream(nullptr, nullptr), task.failureError());
        if (startRequestsImmediately()) request->resume();
        return request;
    }
    auto request = Request::create<StreamRequest>(session_, Request::RequestTask::stream(streamable, task.successValue()));
    delegate_->setRequestForTask(*task.successValue(), request);
    if (startRequestsImmediately()) request->resume();
    return request;
}

// ---- the shared manager's free functions ----

std::shared_ptr<DownloadRequest> download(const URLConvertible& url, HTTPMethod method, const std::optional<Parameters>& parameters,
                                          const ParameterEncoding& encoding, const std::optional<HTTPHeaders>& headers,
                                          SessionManager::Destination destination) {
    return SessionManager::default_()->download(url, method, parameters, encoding, headers, std::move(destination));
}
std::shared_ptr<DownloadRequest> download(const URLRequestConvertible& urlRequest, SessionManager::Destination destination) {
    return SessionManager::default_()->download(urlRequest, std::move(destination));
}
std::shared_ptr<DownloadRequest> download(const core::Bytes& resumeData, SessionManager::Destination destination) {
    return SessionManager::default_()->download(resumeData, std::move(destination));
}
std::shared_ptr<UploadRequest> uploadFile(const net::URL& fileURL, const URLConvertible& url, HTTPMethod method,
                                          const std::optional<HTTPHeaders>& headers) {
    return SessionManager::default_()->uploadFile(fileURL, url, method, headers);
}
std::shared_ptr<UploadRequest> uploadFile(const net::URL& fileURL, const URLRequestConvertible& urlRequest) {
    return SessionManager::default_()->uploadFile(fileURL, urlRequest);
}
std::shared_ptr<UploadRequest> uploadData(const core::Bytes& data, const URLConvertible& url, HTTPMethod method,
                                          const std::optional<HTTPHeaders>& headers) {
    return SessionManager::default_()->uploadData(data, url, method, headers);
}
std::shared_ptr<UploadRequest> uploadData(const core::Bytes& data, const URLRequestConvertible& urlRequest) {
    return SessionManager::default_()->uploadData(data, urlRequest);
}
std::shared_ptr<UploadRequest> uploadStream(std::shared_ptr<core::InputStream> stream, const URLConvertible& url,
                                            HTTPMethod method, const std::optional<HTTPHeaders>& headers) {
    return SessionManager::default_()->uploadStream(std::move(stream), url, method, headers);
}
std::shared_ptr<UploadRequest> uploadStream(std::shared_ptr<core::InputStream> stream, const URLRequestConvertible& urlRequest) {
    return SessionManager::default_()->uploadStream(std::move(stream), urlRequest);
}
void uploadMultipartFormData(SessionManager::MultipartFormBuilder multipartFormData, std::uint64_t threshold,
                             const URLConvertible& url, HTTPMethod method, const std::optional<HTTPHeaders>& headers,
                             SessionManager::MultipartCompletion encodingCompletion) {
    SessionManager::default_()->uploadMultipartFormData(std::move(multipartFormData), threshold, url, method, headers,
                                                        std::move(encodingCompletion));
}
void uploadMultipartFormData(SessionManager::MultipartFormBuilder multipartFormData, std::uint64_t threshold,
                             const URLRequestConvertible& urlRequest, SessionManager::MultipartCompletion encodingCompletion) {
    SessionManager::default_()->uploadMultipartFormData(std::move(multipartFormData), threshold, urlRequest,
                                                        std::move(encodingCompletion));
}
std::shared_ptr<StreamRequest> stream(const std::string& hostName, int port) {
    return SessionManager::default_()->stream(hostName, port);
}
std::shared_ptr<StreamRequest> stream(std::shared_ptr<const net::NetService> netService) {
    return SessionManager::default_()->stream(std::move(netService));
}

} // namespace http
