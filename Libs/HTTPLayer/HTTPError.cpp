#include "Libs/HTTPLayer/HTTPError.h"

namespace http {

namespace {

std::string urlText(const std::optional<net::URL>& url) { return url ? url->absoluteString() : std::string(); }
std::string message(const std::optional<Error>& error) { return error ? error->localizedDescription() : std::string(); }
std::string full(const std::optional<Error>& error) { return error ? error->description() : std::string(); }

std::string joined(const std::optional<std::vector<std::string>>& list) {
    std::string text;
    if (!list) return text;
    for (std::size_t i = 0; i < list->size(); ++i) {
        if (i > 0) text += ",";
        text += (*list)[i];
    }
    return text;
}

} // namespace

std::string ParameterEncodingFailureReason::description() const {
    switch (case_) {
    case Case::jsonEncodingFailed:
        return "JSON could not be encoded because of error:\n" + message(error_);
    case Case::propertyListEncodingFailed:
        return "PropertyList could not be encoded because of error:\n" + message(error_);
    case Case::missingURL:
        return "URL request to encode was missing a URL";
    }
    return {};
}

std::string MultipartEncodingFailureReason::description() const {
    const std::string url = urlText(url_);
    switch (case_) {
    case Case::bodyPartURLInvalid:
        return "The URL provided is not a file URL: " + url;
    case Case::bodyPartFilenameInvalid:
        return "The URL provided does not have a valid filename: " + url;
    case Case::bodyPartFileNotReachable:
        return "The URL provided is not reachable: " + url;
    case Case::bodyPartFileNotReachableWithError:
        return "The system returned an error while checking the provided URL for reachability.\nURL: " + url +
               "\nError: " + full(error_);
    case Case::bodyPartFileIsDirectory:
        return "The URL provided is a directory: " + url;
    case Case::bodyPartFileSizeNotAvailable:
        return "Could not fetch the file size from the provided URL: " + url;
    case Case::bodyPartFileSizeQueryFailedWithError:
        return "The system returned an error while attempting to fetch the file size from the provided URL.\nURL: " +
               url + "\nError: " + full(error_);
    case Case::bodyPartInputStreamCreationFailed:
        return "Failed to create an InputStream for the provided URL: " + url;
    case Case::outputStreamCreationFailed:
        return "Failed to create an OutputStream for URL: " + url;
    case Case::outputStreamFileAlreadyExists:
        return "A file already exists at the provided URL: " + url;
    case Case::outputStreamURLInvalid:
        return "The provided OutputStream URL is invalid: " + url;
    case Case::outputStreamWriteFailed:
        return "OutputStream write failed with error: " + full(error_);
    case Case::inputStreamReadFailed:
        return "InputStream read failed with error: " + full(error_);
    }
    return {};
}

std::string ResponseValidationFailureReason::description() const {
    switch (case_) {
    case Case::dataFileNil:
        return "Response could not be validated, data file was nil.";
    case Case::dataFileReadFailed:
        return "Response could not be validated, data file could not be read: " + urlText(url_) + ".";
    case Case::missingContentType:
        return "Response Content-Type was missing and acceptable content types (" + joined(acceptable_) +
               ") do not match \"*/*\".";
    case Case::unacceptableContentType:
        return "Response Content-Type \"" + contentType_.value_or("") +
               "\" does not match any acceptable types: " + joined(acceptable_) + ".";
    case Case::unacceptableStatusCode:
        return "Response status code was unacceptable: " + std::to_string(code_.value_or(0)) + ".";
    }
    return {};
}

std::string ResponseSerializationFailureReason::description() const {
    switch (case_) {
    case Case::inputDataNil:
        return "Response could not be serialized, input data was nil.";
    case Case::inputDataNilOrZeroLength:
        return "Response could not be serialized, input data was nil or zero length.";
    case Case::inputFileNil:
        return "Response could not be serialized, input file was nil.";
    case Case::inputFileReadFailed:
        return "Response could not be serialized, input file could not be read: " + urlText(url_) + ".";
    case Case::stringSerializationFailed:
        return "String could not be serialized with encoding: " +
               (encoding_ ? encoding_->description() : std::string()) + ".";
    case Case::jsonSerializationFailed:
        return "JSON could not be serialized because of error:\n" + message(error_);
    case Case::propertyListSerializationFailed:
        return "PropertyList could not be serialized because of error:\n" + message(error_);
    }
    return {};
}

std::optional<URLConvertible> HTTPError::failedURLConvertible() const {
    if (auto* url = std::get_if<0>(&v_)) return *url;
    return std::nullopt;
}

std::optional<net::URL> HTTPError::failedURL() const {
    if (auto* reason = multipartEncodingReason()) return reason->url();
    return std::nullopt;
}

std::optional<Error> HTTPError::underlyingError() const {
    if (auto* reason = parameterEncodingReason()) return reason->error();
    if (auto* reason = multipartEncodingReason()) return reason->error();
    if (auto* reason = responseSerializationReason()) return reason->error();
    return std::nullopt;
}

std::optional<std::vector<std::string>> HTTPError::acceptableContentTypes() const {
    if (auto* reason = responseValidationReason()) return reason->acceptableContentTypes();
    return std::nullopt;
}

std::optional<std::string> HTTPError::responseContentType() const {
    if (auto* reason = responseValidationReason()) return reason->responseContentType();
    return std::nullopt;
}

std::optional<int> HTTPError::responseCode() const {
    if (auto* reason = responseValidationReason()) return reason->code();
    return std::nullopt;
}

std::optional<StringEncoding> HTTPError::failedStringEncoding() const {
    if (auto* reason = responseSerializationReason()) return reason->encoding();
    return std::nullopt;
}

std::string HTTPError::errorDescription() const {
    switch (kind()) {
    case Case::invalidURL:
        return "URL is not valid: " + std::get<0>(v_).description();
    case Case::parameterEncodingFailed:
        return std::get<1>(v_).description();
    case Case::multipartEncodingFailed:
        return std::get<2>(v_).description();
    case Case::responseValidationFailed:
        return std::get<3>(v_).description();
    case Case::responseSerializationFailed:
        return std::get<4>(v_).description();
    }
    return {};
}

} // namespace http
