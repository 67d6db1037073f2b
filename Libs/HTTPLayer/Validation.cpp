// Validation of responses: status codes, content types and callers' own checks. Each validation
// is a closure on the request's list, run by the session delegate when the task completes; the
// first failure becomes the task delegate's error, which every response handler then reports.

#include "Libs/HTTPLayer/DataRequest.h"
#include "Libs/HTTPLayer/DownloadRequest.h"
#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/MediaRange.h"

#include "platform/core/Files.h"

#include <algorithm>
#include <cctype>

namespace http {

namespace {
bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> pieces;
    for (std::size_t start = 0;;) {
        auto at = text.find(separator, start);
        pieces.emplace_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return pieces;
        start = at + 1;
    }
}

// Runs a validation closure only when there is an HTTP response and no error yet, and records
// its failure as the delegate's error.
template <class Check>
std::function<void()> wrap(const std::shared_ptr<Request>& owner, Check check) {
    std::weak_ptr<Request> weakRequest = owner;
    return [weakRequest, check = std::move(check)] {
        auto request = weakRequest.lock();
        if (!request) return;
        auto response = request->response();
        auto taskDelegate = request->delegate();
        if (!response || taskDelegate->error) return;
        auto result = check(*request, *response, *taskDelegate);
        if (!result.isSuccess()) taskDelegate->error = result.error();
    };
}
} // namespace

MediaRange::MediaRange(std::string_view text) {
    text = trimmed(text);
    text = text.substr(0, text.find(';'));
    auto pieces = split(text, '/');
    type_ = pieces.front();
    subtype_ = pieces.back();
}

bool MediaRange::matches(const MediaRange& other) const {
    return (type_ == other.type_ || type_ == "*") && (subtype_ == other.subtype_ || subtype_ == "*");
}

const std::vector<int>& Request::defaultAcceptableStatusCodes() {
    static const std::vector<int> codes = [] {
        std::vector<int> all;
        for (int code = 200; code < 300; ++code) all.push_back(code);
        return all;
    }();
    return codes;
}

std::vector<std::string> Request::acceptedContentTypes() const {
    auto urlRequest = request();
    if (urlRequest) {
        if (auto accept = urlRequest->value("Accept")) return split(*accept, ',');
    }
    return {"*/*"};
}

Request::ValidationResult Request::checkStatusCode(const std::vector<int>& acceptableStatusCodes,
                                                   const net::HTTPURLResponse& response) {
    if (std::find(acceptableStatusCodes.begin(), acceptableStatusCodes.end(), response.statusCode()) != acceptableStatusCodes.end())
        return ValidationResult::success();
    return ValidationResult::failure(HTTPError::responseValidationFailed(
        ResponseValidationFailureReason::unacceptableStatusCode(response.statusCode())));
}

Request::ValidationResult Request::checkContentType(const std::vector<std::string>& acceptableContentTypes,
                                                    const net::HTTPURLResponse& response,
                                                    const std::optional<core::Bytes>& data) {
    if (!data || data->empty()) return ValidationResult::success();
    const auto& mimeType = response.mimeType();
    if (!mimeType) {
        for (const auto& type : acceptableContentTypes) {
            if (MediaRange(type).isWildcard()) return ValidationResult::success();
        }
        return ValidationResult::failure(HTTPError::responseValidationFailed(
            ResponseValidationFailureReason::missingContentType(acceptableContentTypes)));
    }
    MediaRange responseRange(*mimeType);
    for (const auto& type : acceptableContentTypes) {
        if (MediaRange(type).matches(responseRange)) return ValidationResult::success();
    }
    return ValidationResult::failure(HTTPError::responseValidationFailed(
        ResponseValidationFailureReason::unacceptableContentType(acceptableContentTypes, *mimeType)));
}

// ---- DataRequest ----

std::shared_ptr<DataRequest> DataRequest::addValidation(Validation validation) {
    auto request = self<DataRequest>();
    appendValidation(wrap(request, [validation = std::move(validation)](const Request& r, const net::HTTPURLResponse& response,
                                                                        const TaskDelegate& taskDelegate) {
        return validation(r.request(), response, taskDelegate.data());
    }));
    return request;
}

std::shared_ptr<DataRequest> DataRequest::validateStatusCode(std::vector<int> acceptableStatusCodes) {
    return addValidation([codes = std::move(acceptableStatusCodes)](const auto&, const net::HTTPURLResponse& response, const auto&) {
        return checkStatusCode(codes, response);
    });
}

std::shared_ptr<DataRequest> DataRequest::validateContentType(std::vector<std::string> acceptableContentTypes) {
    return addValidation([types = std::move(acceptableContentTypes)](const auto&, const net::HTTPURLResponse& response,
                                                                     const std::optional<core::Bytes>& data) {
        return checkContentType(types, response, data);
    });
}

std::shared_ptr<DataRequest> DataRequest::validateDefaults() {
    validateStatusCode(defaultAcceptableStatusCodes());
    return validateContentType(acceptedContentTypes());
}

// ---- DownloadRequest ----

std::shared_ptr<DownloadRequest> DownloadRequest::addValidation(Validation validation) {
    auto request = self<DownloadRequest>();
    appendValidation(wrap(request, [validation = std::move(validation)](const Request& r, const net::HTTPURLResponse& response,
                                                                        const TaskDelegate& taskDelegate) {
        const auto* download = dynamic_cast<const DownloadTaskDelegate*>(&taskDelegate);
        return validation(r.request(), response, download ? download->temporaryURL : std::nullopt,
                          download ? download->destinationURL : std::nullopt);
    }));
    return request;
}

std::shared_ptr<DownloadRequest> DownloadRequest::validateStatusCode(std::vector<int> acceptableStatusCodes) {
    return addValidation([codes = std::move(acceptableStatusCodes)](const auto&, const net::HTTPURLResponse& response,
                                                                    const auto&, const auto&) {
        return checkStatusCode(codes, response);
    });
}

std::shared_ptr<DownloadRequest> DownloadRequest::validateContentType(std::vector<std::string> acceptableContentTypes) {
    std::weak_ptr<DownloadRequest> weakSelf = self<DownloadRequest>();
    return addValidation([weakSelf, types = std::move(acceptableContentTypes)](const auto&, const net::HTTPURLResponse& response,
                                                                               const auto&, const auto&) {
        // The file is asked of the delegate: the destination when one is set, else the temporary one.
        auto request = weakSelf.lock();
        auto download = request ? request->downloadDelegate() : nullptr;
        std::optional<net::URL> fileURL;
        if (download) fileURL = download->destination ? download->destinationURL : download->temporaryURL;
        if (!fileURL) {
            return ValidationResult::failure(
                HTTPError::responseValidationFailed(ResponseValidationFailureReason::dataFileNil()));
        }
        auto bytes = core::files::read(fileURL->path());
        if (!bytes) {
            return ValidationResult::failure(
                HTTPError::responseValidationFailed(ResponseValidationFailureReason::dataFileReadFailed(*fileURL)));
        }
        return checkContentType(types, response, *bytes);
    });
}

std::shared_ptr<DownloadRequest> DownloadRequest::validateDefaults() {
    validateStatusCode(defaultAcceptableStatusCodes());
    return validateContentType(acceptedContentTypes());
}

} // namespace http
