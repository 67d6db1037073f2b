#pragma once
// The response records: everything a completion handler gets about one finished
// request. DefaultDataResponse and DefaultDownloadResponse carry a plain error;
// DataResponse<T> and DownloadResponse<T> carry the serializer's Result<T>.
//
// Records are values: every field is fixed at creation except the metrics slot (`_metrics`),
// which the response handler fills with attachMetrics() before handing the record over.
// The slot holds any core::Object; metrics() gives it only when it is a net::URLSessionTaskMetrics.
// Records are built on a request's operation queue and copied to the completion's queue; nothing
// in them is shared mutable state.

#include "Libs/HTTPLayer/Error.h"
#include "Libs/HTTPLayer/Result.h"
#include "Libs/HTTPLayer/Timeline.h"

#include "platform/core/Object.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/Value.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URL.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLSessionTaskMetrics.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace http {

// The `Response` protocol: the metrics slot shared by all four records.
class Response {
public:
    const std::shared_ptr<core::Object>& metricsSlot() const { return metrics_; }
    void setMetricsSlot(std::shared_ptr<core::Object> object) { metrics_ = std::move(object); }

    // Stores `metrics` when it is present, the running system's major version is 10 or more and it
    // is a net::URLSessionTaskMetrics; otherwise leaves the slot as it was.
    void attachMetrics(const std::shared_ptr<core::Object>& metrics) {
        if (!metrics || core::ProcessInfo::operatingSystemVersion().major < 10) return;
        if (std::dynamic_pointer_cast<net::URLSessionTaskMetrics>(metrics)) metrics_ = metrics;
    }
    // The slot's object when it is task metrics; nothing when empty or of another class.
    std::shared_ptr<net::URLSessionTaskMetrics> metrics() const {
        return std::dynamic_pointer_cast<net::URLSessionTaskMetrics>(metrics_);
    }

private:
    std::shared_ptr<core::Object> metrics_;
};

namespace detail {
std::string requestLine(const std::optional<net::URLRequest>& request);
std::string responseLine(const std::optional<net::HTTPURLResponse>& response);
std::string fileLine(const char* label, const std::optional<net::URL>& url);
std::string byteCountLine(const char* label, const std::optional<core::Bytes>& bytes);
// The Result operations of a record that holds a result: each gives a record of the same kind
// with the same request, response, payload, timeline and metrics, and the Result operation of the
// same name applied to the result. `Record` provides result() and rebuilt(Result<U>).
template <class Record>
class ResultOperations {
public:
    auto value() const { return self().result().value(); }
    auto error() const { return self().result().error(); }
    template <class F>
    auto map(F&& transform) const {
        return self().rebuilt(self().result().map(std::forward<F>(transform)));
    }
    template <class F>
    auto tryMap(F&& transform) const {
        return self().rebuilt(self().result().tryMap(std::forward<F>(transform)));
    }
    template <class F>
    Record mapError(F&& transform) const {
        return self().rebuilt(self().result().mapError(std::forward<F>(transform)));
    }
    template <class F>
    Record tryMapError(F&& transform) const {
        return self().rebuilt(self().result().tryMapError(std::forward<F>(transform)));
    }

private:
    const Record& self() const { return static_cast<const Record&>(*this); }
};

} // namespace detail

class DefaultDataResponse : public Response {
public:
    DefaultDataResponse(std::optional<net::URLRequest> request, std::optional<net::HTTPURLResponse> response,
                        std::optional<core::Bytes> data, std::optional<Error> error, Timeline timeline = {})
        : request_(std::move(request)), response_(std::move(response)), data_(std::move(data)),
          error_(std::move(error)), timeline_(timeline) {}

    const std::optional<net::URLRequest>& request() const { return request_; }
    const std::optional<net::HTTPURLResponse>& response() const { return response_; }
    const std::optional<core::Bytes>& data() const { return data_; }
    const std::optional<Error>& error() const { return error_; }
    const Timeline& timeline() const { return timeline_; }

private:
    std::optional<net::URLRequest> request_;
    std::optional<net::HTTPURLResponse> response_;
    std::optional<core::Bytes> data_;
    std::optional<Error> error_;
    Timeline timeline_;
};

template <class T>
class DataResponse : public Response, public detail::ResultOperations<DataResponse<T>> {
public:
    DataResponse(std::optional<net::URLRequest> request, std::optional<net::HTTPURLResponse> response,
                 std::optional<core::Bytes> data, Result<T> result, Timeline timeline = {})
        : request_(std::move(request)), response_(std::move(response)), data_(std::move(data)),
          result_(std::move(result)), timeline_(timeline) {}

    const std::optional<net::URLRequest>& request() const { return request_; }
    const std::optional<net::HTTPURLResponse>& response() const { return response_; }
    const std::optional<core::Bytes>& data() const { return data_; }
    const Result<T>& result() const { return result_; }
    const Timeline& timeline() const { return timeline_; }
    // value(), error(), map, tryMap, mapError and tryMapError come from ResultOperations.

    // The result's debug text ("SUCCESS: value"), not its short form.
    std::string description() const { return result_.debugDescription(); }
    std::string debugDescription() const {
        return detail::requestLine(request_) + "\n" + detail::responseLine(response_) + "\n" +
               detail::byteCountLine("[Data]: ", data_) + "\n[Result]: " + result_.debugDescription() +
               "\n[Timeline]: " + timeline_.debugDescription();
    }

private:
    friend class detail::ResultOperations<DataResponse>;
    template <class U>
    DataResponse<U> rebuilt(Result<U> result) const {
        DataResponse<U> record(request_, response_, data_, std::move(result), timeline_);
        record.setMetricsSlot(metricsSlot());
        return record;
    }

    std::optional<net::URLRequest> request_;
    std::optional<net::HTTPURLResponse> response_;
    std::optional<core::Bytes> data_;
    Result<T> result_;
    Timeline timeline_;
};

class DefaultDownloadResponse : public Response {
public:
    DefaultDownloadResponse(std::optional<net::URLRequest> request, std::optional<net::HTTPURLResponse> response,
                            std::optional<net::URL> temporaryURL, std::optional<net::URL> destinationURL,
                            std::optional<core::Bytes> resumeData, std::optional<Error> error, Timeline timeline = {})
        : request_(std::move(request)), response_(std::move(response)), temporaryURL_(std::move(temporaryURL)),
          destinationURL_(std::move(destinationURL)), resumeData_(std::move(resumeData)), error_(std::move(error)),
          timeline_(timeline) {}

    const std::optional<net::URLRequest>& request() const { return request_; }
    const std::optional<net::HTTPURLResponse>& response() const { return response_; }
    const std::optional<net::URL>& temporaryURL() const { return temporaryURL_; }
    const std::optional<net::URL>& destinationURL() const { return destinationURL_; }
    const std::optional<core::Bytes>& resumeData() const { return resumeData_; }
    const std::optional<Error>& error() const { return error_; }
    const Timeline& timeline() const { return timeline_; }

private:
    std::optional<net::URLRequest> request_;
    std::optional<net::HTTPURLResponse> response_;
    std::optional<net::URL> temporaryURL_;
    std::optional<net::URL> destinationURL_;
    std::optional<core::Bytes> resumeData_;
    std::optional<Error> error_;
    Timeline timeline_;
};

template <class T>
class DownloadResponse : public Response, public detail::ResultOperations<DownloadResponse<T>> {
public:
    DownloadResponse(std::optional<net::URLRequest> request, std::optional<net::HTTPURLResponse> response,
                     std::optional<net::URL> temporaryURL, std::optional<net::URL> destinationURL,
                     std::optional<core::Bytes> resumeData, Result<T> result, Timeline timeline = {})
        : request_(std::move(request)), response_(std::move(response)), temporaryURL_(std::move(temporaryURL)),
          destinationURL_(std::move(destinationURL)), resumeData_(std::move(resumeData)), result_(std::move(result)),
          timeline_(timeline) {}

    const std::optional<net::URLRequest>& request() const { return request_; }
    const std::optional<net::HTTPURLResponse>& response() const { return response_; }
    const std::optional<net::URL>& temporaryURL() const { return temporaryURL_; }
    const std::optional<net::URL>& destinationURL() const { return destinationURL_; }
    const std::optional<core::Bytes>& resumeData() const { return resumeData_; }
    const Result<T>& result() const { return result_; }
    const Timeline& timeline() const { return timeline_; }
    // value(), error(), map, tryMap, mapError and tryMapError come from ResultOperations.

    std::string description() const { return result_.debugDescription(); }
    std::string debugDescription() const {
        return detail::requestLine(request_) + "\n" + detail::responseLine(response_) + "\n" +
               detail::fileLine("[TemporaryURL]: ", temporaryURL_) + "\n" +
               detail::fileLine("[DestinationURL]: ", destinationURL_) + "\n" +
               detail::byteCountLine("[ResumeData]: ", resumeData_) + "\n[Result]: " + result_.debugDescription() +
               "\n[Timeline]: " + timeline_.debugDescription();
    }

private:
    friend class detail::ResultOperations<DownloadResponse>;
    template <class U>
    DownloadResponse<U> rebuilt(Result<U> result) const {
        DownloadResponse<U> record(request_, response_, temporaryURL_, destinationURL_, resumeData_, std::move(result),
                                   timeline_);
        record.setMetricsSlot(metricsSlot());
        return record;
    }

    std::optional<net::URLRequest> request_;
    std::optional<net::HTTPURLResponse> response_;
    std::optional<net::URL> temporaryURL_;
    std::optional<net::URL> destinationURL_;
    std::optional<core::Bytes> resumeData_;
    Result<T> result_;
    Timeline timeline_;
};

} // namespace http
