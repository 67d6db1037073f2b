#pragma once
// HTTPError and AdaptError: every failure that the HTTP layer itself detects.
//
// An HTTPError is one of five cases; four of them carry a reason, itself a small tagged value
// with the details. Reasons are built with their named factories
// (ResponseSerializationFailureReason::inputDataNil(), ...). Each case and reason has a fixed
// English description; errorDescription() (also description() and localizedDescription())
// gives it. Errors inserted "by message" use Error::localizedDescription(), "by description"
// Error::description(); URLs appear as their absolute strings; lists are joined with ",".
// All values are immutable and own what they carry.

#include "Libs/HTTPLayer/Error.h"
#include "Libs/HTTPLayer/URLConvertible.h"

#include "platform/core/TextEncoding.h"
#include "platform/net/URL.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace http {

// The encoding a string serializer tried: one of the platform's encodings, or the platform's
// invalid encoding, which is what a response's unrecognised charset name converts to.
class StringEncoding {
public:
    StringEncoding(core::TextEncoding encoding) : encoding_(encoding) {}
    static StringEncoding invalid() { return StringEncoding(); }

    // The encoding; nothing for the invalid one.
    const std::optional<core::TextEncoding>& encoding() const { return encoding_; }
    bool isValid() const { return encoding_.has_value(); }
    // The platform's name of the encoding ("Unicode (UTF-8)"); "unknown" for the invalid one.
    std::string description() const { return encoding_ ? core::localizedName(*encoding_) : std::string("unknown"); }

    bool operator==(const StringEncoding&) const = default;

private:
    StringEncoding() = default;
    std::optional<core::TextEncoding> encoding_;
};

class ParameterEncodingFailureReason {
public:
    enum class Case { jsonEncodingFailed, propertyListEncodingFailed, missingURL };

    static ParameterEncodingFailureReason jsonEncodingFailed(Error error) { return {Case::jsonEncodingFailed, std::move(error)}; }
    static ParameterEncodingFailureReason propertyListEncodingFailed(Error error) {
        return {Case::propertyListEncodingFailed, std::move(error)};
    }
    static ParameterEncodingFailureReason missingURL() { return {Case::missingURL, std::nullopt}; }

    Case kind() const { return case_; }
    // The writer's error of the two encoding failures.
    const std::optional<Error>& error() const { return error_; }
    std::string description() const;

private:
    ParameterEncodingFailureReason(Case c, std::optional<Error> error) : case_(c), error_(std::move(error)) {}
    Case case_;
    std::optional<Error> error_;
};

class MultipartEncodingFailureReason {
public:
    enum class Case {
        bodyPartURLInvalid,
        bodyPartFilenameInvalid,
        bodyPartFileNotReachable,
        bodyPartFileNotReachableWithError,
        bodyPartFileIsDirectory,
        bodyPartFileSizeNotAvailable,
        bodyPartFileSizeQueryFailedWithError,
        bodyPartInputStreamCreationFailed,
        outputStreamCreationFailed,
        outputStreamFileAlreadyExists,
        outputStreamURLInvalid,
        outputStreamWriteFailed,
        inputStreamReadFailed,
    };

    static MultipartEncodingFailureReason bodyPartURLInvalid(net::URL url) { return {Case::bodyPartURLInvalid, std::move(url), {}}; }
    static MultipartEncodingFailureReason bodyPartFilenameInvalid(net::URL in) { return {Case::bodyPartFilenameInvalid, std::move(in), {}}; }
    static MultipartEncodingFailureReason bodyPartFileNotReachable(net::URL at) { return {Case::bodyPartFileNotReachable, std::move(at), {}}; }
    static MultipartEncodingFailureReason bodyPartFileNotReachableWithError(net::URL atURL, Error error) {
        return {Case::bodyPartFileNotReachableWithError, std::move(atURL), std::move(error)};
    }
    static MultipartEncodingFailureReason bodyPartFileIsDirectory(net::URL at) { return {Case::bodyPartFileIsDirectory, std::move(at), {}}; }
    static MultipartEncodingFailureReason bodyPartFileSizeNotAvailable(net::URL at) {
        return {Case::bodyPartFileSizeNotAvailable, std::move(at), {}};
    }
    static MultipartEncodingFailureReason bodyPartFileSizeQueryFailedWithError(net::URL forURL, Error error) {
        return {Case::bodyPartFileSizeQueryFailedWithError, std::move(forURL), std::move(error)};
    }
    static MultipartEncodingFailureReason bodyPartInputStreamCreationFailed(net::URL forURL) {
        return {Case::bodyPartInputStreamCreationFailed, std::move(forURL), {}};
    }
    static MultipartEncodingFailureReason outputStreamCreationFailed(net::URL forURL) {
        return {Case::outputStreamCreationFailed, std::move(forURL), {}};
    }
    static MultipartEncodingFailureReason outputStreamFileAlreadyExists(net::URL at) {
        return {Case::outputStreamFileAlreadyExists, std::move(at), {}};
    }
    static MultipartEncodingFailureReason outputStreamURLInvalid(net::URL url) { return {Case::outputStreamURLInvalid, std::move(url), {}}; }
    static MultipartEncodingFailureReason outputStreamWriteFailed(Error error) { return {Case::outputStreamWriteFailed, {}, std::move(error)}; }
    static MultipartEncodingFailureReason inputStreamReadFailed(Error error) { return {Case::inputStreamReadFailed, {}, std::move(error)}; }

    Case kind() const { return case_; }
    // The file URL of every case but the two stream failures.
    const std::optional<net::URL>& url() const { return url_; }
    // The error of the four cases that carry one.
    const std::optional<Error>& error() const { return error_; }
    std::string description() const;

private:
    MultipartEncodingFailureReason(Case c, std::optional<net::URL> url, std::optional<Error> error)
        : case_(c), url_(std::move(url)), error_(std::move(error)) {}
    Case case_;
    std::optional<net::URL> url_;
    std::optional<Error> error_;
};

class ResponseValidationFailureReason {
public:
    enum class Case { dataFileNil, dataFileReadFailed, missingContentType, unacceptableContentType, unacceptableStatusCode };

    static ResponseValidationFailureReason dataFileNil() { return ResponseValidationFailureReason(Case::dataFileNil); }
    static ResponseValidationFailureReason dataFileReadFailed(net::URL at) {
        ResponseValidationFailureReason r(Case::dataFileReadFailed);
        r.url_ = std::move(at);
        return r;
    }
    static ResponseValidationFailureReason missingContentType(std::vector<std::string> acceptableContentTypes) {
        ResponseValidationFailureReason r(Case::missingContentType);
        r.acceptable_ = std::move(acceptableContentTypes);
        return r;
    }
    static ResponseValidationFailureReason unacceptableContentType(std::vector<std::string> acceptableContentTypes,
                                                                   std::string responseContentType) {
        ResponseValidationFailureReason r(Case::unacceptableContentType);
        r.acceptable_ = std::move(acceptableContentTypes);
        r.contentType_ = std::move(responseContentType);
        return r;
    }
    static ResponseValidationFailureReason unacceptableStatusCode(int code) {
        ResponseValidationFailureReason r(Case::unacceptableStatusCode);
        r.code_ = code;
        return r;
    }

    Case kind() const { return case_; }
    const std::optional<net::URL>& url() const { return url_; }
    const std::optional<std::vector<std::string>>& acceptableContentTypes() const { return acceptable_; }
    const std::optional<std::string>& responseContentType() const { return contentType_; }
    std::optional<int> code() const { return code_; }
    std::string description() const;

private:
    explicit ResponseValidationFailureReason(Case c) : case_(c) {}
    Case case_;
    std::optional<net::URL> url_;
    std::optional<std::vector<std::string>> acceptable_;
    std::optional<std::string> contentType_;
    std::optional<int> code_;
};

class ResponseSerializationFailureReason {
public:
    enum class Case {
        inputDataNil,
        inputDataNilOrZeroLength,
        inputFileNil,
        inputFileReadFailed,
        stringSerializationFailed,
        jsonSerializationFailed,
        propertyListSerializationFailed,
    };

    static ResponseSerializationFailureReason inputDataNil() { return ResponseSerializationFailureReason(Case::inputDataNil); }
    static ResponseSerializationFailureReason inputDataNilOrZeroLength() {
        return ResponseSerializationFailureReason(Case::inputDataNilOrZeroLength);
    }
    static ResponseSerializationFailureReason inputFileNil() { return ResponseSerializationFailureReason(Case::inputFileNil); }
    static ResponseSerializationFailureReason inputFileReadFailed(net::URL at) {
        ResponseSerializationFailureReason r(Case::inputFileReadFailed);
        r.url_ = std::move(at);
        return r;
    }
    static ResponseSerializationFailureReason stringSerializationFailed(StringEncoding encoding) {
        ResponseSerializationFailureReason r(Case::stringSerializationFailed);
        r.encoding_ = encoding;
        return r;
    }
    static ResponseSerializationFailureReason jsonSerializationFailed(Error error) {
        ResponseSerializationFailureReason r(Case::jsonSerializationFailed);
        r.error_ = std::move(error);
        return r;
    }
    static ResponseSerializationFailureReason propertyListSerializationFailed(Error error) {
        ResponseSerializationFailureReason r(Case::propertyListSerializationFailed);
        r.error_ = std::move(error);
        return r;
    }

    Case kind() const { return case_; }
    const std::optional<net::URL>& url() const { return url_; }
    // The encoding of stringSerializationFailed; nothing for every other case.
    std::optional<StringEncoding> encoding() const { return encoding_; }
    const std::optional<Error>& error() const { return error_; }
    std::string description() const;

private:
    explicit ResponseSerializationFailureReason(Case c) : case_(c) {}
    Case case_;
    std::optional<net::URL> url_;
    std::optional<StringEncoding> encoding_;
    std::optional<Error> error_;
};

class HTTPError {
public:
    enum class Case {
        invalidURL,
        parameterEncodingFailed,
        multipartEncodingFailed,
        responseValidationFailed,
        responseSerializationFailed,
    };

    static HTTPError invalidURL(URLConvertible url) { return HTTPError(std::move(url)); }
    static HTTPError parameterEncodingFailed(ParameterEncodingFailureReason reason) { return HTTPError(std::move(reason)); }
    static HTTPError multipartEncodingFailed(MultipartEncodingFailureReason reason) { return HTTPError(std::move(reason)); }
    static HTTPError responseValidationFailed(ResponseValidationFailureReason reason) { return HTTPError(std::move(reason)); }
    static HTTPError responseSerializationFailed(ResponseSerializationFailureReason reason) {
        return HTTPError(std::move(reason));
    }

    Case kind() const { return static_cast<Case>(v_.index()); }
    bool isInvalidURL() const { return kind() == Case::invalidURL; }
    bool isParameterEncodingFailure() const { return kind() == Case::parameterEncodingFailed; }
    bool isMultipartEncodingFailure() const { return kind() == Case::multipartEncodingFailed; }
    bool isResponseValidationFailure() const { return kind() == Case::responseValidationFailed; }
    bool isResponseSerializationFailure() const { return kind() == Case::responseSerializationFailed; }

    // The reason of each reason-carrying case, or nullptr.
    const ParameterEncodingFailureReason* parameterEncodingReason() const { return std::get_if<1>(&v_); }
    const MultipartEncodingFailureReason* multipartEncodingReason() const { return std::get_if<2>(&v_); }
    const ResponseValidationFailureReason* responseValidationReason() const { return std::get_if<3>(&v_); }
    const ResponseSerializationFailureReason* responseSerializationReason() const { return std::get_if<4>(&v_); }

    // The convenience accessors; each is nothing for the cases it does not name.
    std::optional<URLConvertible> failedURLConvertible() const;
    std::optional<net::URL> failedURL() const;
    std::optional<Error> underlyingError() const;
    std::optional<std::vector<std::string>> acceptableContentTypes() const;
    std::optional<std::string> responseContentType() const;
    std::optional<int> responseCode() const;
    std::optional<StringEncoding> failedStringEncoding() const;

    // The fixed English description; the platform's localized-error scheme: the error
    // description is that text, and there is no failure reason, recovery suggestion or help anchor.
    std::string errorDescription() const;
    std::string description() const { return errorDescription(); }
    std::string localizedDescription() const { return errorDescription(); }
    std::optional<std::string> failureReason() const { return std::nullopt; }
    std::optional<std::string> recoverySuggestion() const { return std::nullopt; }
    std::optional<std::string> helpAnchor() const { return std::nullopt; }

private:
    template <class A>
    explicit HTTPError(A a) : v_(std::move(a)) {}

    std::variant<URLConvertible, ParameterEncodingFailureReason, MultipartEncodingFailureReason,
                 ResponseValidationFailureReason, ResponseSerializationFailureReason>
        v_;
};

// The error a request adapter reported while a task was being created; the session
// manager unwraps it. It has no description of its own: its text forms are the default ones.
struct AdaptError {
    Error error;

    std::string description() const { return "AdaptError(error: " + error.description() + ")"; }
    std::string localizedDescription() const { return "The operation couldn\u2019t be completed. (AdaptError error 1.)"; }
};

} // namespace http
