#include "Libs/HTTPLayer/HTTPError.h"

#include <gtest/gtest.h>

using namespace http;
using MR = MultipartEncodingFailureReason;
using VR = ResponseValidationFailureReason;
using SR = ResponseSerializationFailureReason;
using PR = ParameterEncodingFailureReason;

namespace {

net::URL url(const char* text) { return *net::URL::parse(text); }

// An underlying error with distinct "by message" and "by description" texts.
core::Error platformError() { return core::Error{"core.test", 7, "Something broke", {}}; }
const std::string kMessage = "Something broke";
const std::string kFull = "Error Domain=core.test Code=7 \"Something broke\"";

struct DescriptionCase {
    const char* name;
    HTTPError error;
    std::string description;
};

std::vector<DescriptionCase> descriptionCases() {
    const auto f = url("file:///tmp/part.bin");
    const std::string u = "file:///tmp/part.bin";
    return {
        {"invalidURL", HTTPError::invalidURL(URLConvertible("ht tp://x")), "URL is not valid: ht tp://x"},
        {"jsonEncodingFailed", HTTPError::parameterEncodingFailed(PR::jsonEncodingFailed(platformError())),
         "JSON could not be encoded because of error:\n" + kMessage},
        {"propertyListEncodingFailed",
         HTTPError::parameterEncodingFailed(PR::propertyListEncodingFailed(platformError())),
         "PropertyList could not be encoded because of error:\n" + kMessage},
        {"missingURL", HTTPError::parameterEncodingFailed(PR::missingURL()), "URL request to encode was missing a URL"},
        {"bodyPartURLInvalid", HTTPError::multipartEncodingFailed(MR::bodyPartURLInvalid(f)),
         "The URL provided is not a file URL: " + u},
        {"bodyPartFilenameInvalid", HTTPError::multipartEncodingFailed(MR::bodyPartFilenameInvalid(f)),
         "The URL provided does not have a valid filename: " + u},
        {"bodyPartFileNotReachable", HTTPError::multipartEncodingFailed(MR::bodyPartFileNotReachable(f)),
         "The URL provided is not reachable: " + u},
        {"bodyPartFileNotReachableWithError",
         HTTPError::multipartEncodingFailed(MR::bodyPartFileNotReachableWithError(f, platformError())),
         "The system returned an error while checking the provided URL for reachability.\nURL: " + u + "\nError: " + kFull},
        {"bodyPartFileIsDirectory", HTTPError::multipartEncodingFailed(MR::bodyPartFileIsDirectory(f)),
         "The URL provided is a directory: " + u},
        {"bodyPartFileSizeNotAvailable", HTTPError::multipartEncodingFailed(MR::bodyPartFileSizeNotAvailable(f)),
         "Could not fetch the file size from the provided URL: " + u},
        {"bodyPartFileSizeQueryFailedWithError",
         HTTPError::multipartEncodingFailed(MR::bodyPartFileSizeQueryFailedWithError(f, platformError())),
         "The system returned an error while attempting to fetch the file size from the provided URL.\nURL: " + u +
             "\nError: " + kFull},
        {"bodyPartInputStreamCreationFailed",
         HTTPError::multipartEncodingFailed(MR::bodyPartInputStreamCreationFailed(f)),
         "Failed to create an InputStream for the provided URL: " + u},
        {"outputStreamCreationFailed", HTTPError::multipartEncodingFailed(MR::outputStreamCreationFailed(f)),
         "Failed to create an OutputStream for URL: " + u},
        {"outputStreamFileAlreadyExists", HTTPError::multipartEncodingFailed(MR::outputStreamFileAlreadyExists(f)),
         "A file already exists at the provided URL: " + u},
        {"outputStreamURLInvalid", HTTPError::multipartEncodingFailed(MR::outputStreamURLInvalid(f)),
         "The provided OutputStream URL is invalid: " + u},
        {"outputStreamWriteFailed", HTTPError::multipartEncodingFailed(MR::outputStreamWriteFailed(platformError())),
         "OutputStream write failed with error: " + kFull},
        {"inputStreamReadFailed", HTTPError::multipartEncodingFailed(MR::inputStreamReadFailed(platformError())),
         "InputStream read failed with error: " + kFull},
        {"dataFileNil", HTTPError::responseValidationFailed(VR::dataFileNil()),
         "Response could not be validated, data file was nil."},
        {"dataFileReadFailed", HTTPError::responseValidationFailed(VR::dataFileReadFailed(f)),
         "Response could not be validated, data file could not be read: " + u + "."},
        {"missingContentType",
         HTTPError::responseValidationFailed(VR::missingContentType({"application/json", "text/html"})),
         "Response Content-Type was missing and acceptable content types (application/json,text/html) do not match "
         "\"*/*\"."},
        {"unacceptableContentType",
         HTTPError::responseValidationFailed(VR::unacceptableContentType({"application/json"}, "text/html")),
         "Response Content-Type \"text/html\" does not match any acceptable types: application/json."},
        {"unacceptableStatusCode", HTTPError::responseValidationFailed(VR::unacceptableStatusCode(404)),
         "Response status code was unacceptable: 404."},
        {"inputDataNil", HTTPError::responseSerializationFailed(SR::inputDataNil()),
         "Response could not be serialized, input data was nil."},
        {"inputDataNilOrZeroLength", HTTPError::responseSerializationFailed(SR::inputDataNilOrZeroLength()),
         "Response could not be serialized, input data was nil or zero length."},
        {"inputFileNil", HTTPError::responseSerializationFailed(SR::inputFileNil()),
         "Response could not be serialized, input file was nil."},
        {"inputFileReadFailed", HTTPError::responseSerializationFailed(SR::inputFileReadFailed(f)),
         "Response could not be serialized, input file could not be read: " + u + "."},
        {"stringSerializationFailed",
         HTTPError::responseSerializationFailed(SR::stringSerializationFailed(core::TextEncoding::utf8)),
         "String could not be serialized with encoding: Unicode (UTF-8)."},
        {"stringSerializationFailedUnknown", HTTPError::responseSerializationFailed(SR::stringSerializationFailed(StringEncoding::invalid())),
         "String could not be serialized with encoding: unknown."},
        {"jsonSerializationFailed", HTTPError::responseSerializationFailed(SR::jsonSerializationFailed(platformError())),
         "JSON could not be serialized because of error:\n" + kMessage},
        {"propertyListSerializationFailed",
         HTTPError::responseSerializationFailed(SR::propertyListSerializationFailed(platformError())),
         "PropertyList could not be serialized because of error:\n" + kMessage},
    };
}

TEST(HTTPError, EveryDescription) {
    for (const auto& c : descriptionCases()) {
        EXPECT_EQ(c.error.errorDescription(), c.description) << c.name;
        EXPECT_EQ(c.error.description(), c.description) << c.name;
        EXPECT_EQ(c.error.localizedDescription(), c.description) << c.name;
        EXPECT_FALSE(c.error.failureReason()) << c.name;
        EXPECT_FALSE(c.error.recoverySuggestion()) << c.name;
        EXPECT_FALSE(c.error.helpAnchor()) << c.name;
        // Boxed as an Error, both text forms are the English description.
        Error boxed = c.error;
        EXPECT_EQ(boxed.localizedDescription(), c.description) << c.name;
        EXPECT_EQ(boxed.description(), c.description) << c.name;
    }
}

TEST(HTTPError, ErrorByMessageUsesThePlatformDefaultWhenThereIsNone) {
    core::Error bare{"core.json", 3, "", {}};
    auto error = HTTPError::responseSerializationFailed(SR::jsonSerializationFailed(bare));
    EXPECT_EQ(error.errorDescription(),
              "JSON could not be serialized because of error:\nThe operation couldn\u2019t be completed. (core.json error 3.)");
}

// Which accessor answers for which case: each row lists the case and what every accessor gives.
TEST(HTTPError, CaseTests) {
    struct Row {
        HTTPError error;
        HTTPError::Case kind;
    } rows[] = {
        {HTTPError::invalidURL(URLConvertible("x y")), HTTPError::Case::invalidURL},
        {HTTPError::parameterEncodingFailed(PR::missingURL()), HTTPError::Case::parameterEncodingFailed},
        {HTTPError::multipartEncodingFailed(MR::bodyPartURLInvalid(url("http://x/"))), HTTPError::Case::multipartEncodingFailed},
        {HTTPError::responseValidationFailed(VR::dataFileNil()), HTTPError::Case::responseValidationFailed},
        {HTTPError::responseSerializationFailed(SR::inputDataNil()), HTTPError::Case::responseSerializationFailed},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.error.kind(), row.kind);
        EXPECT_EQ(row.error.isInvalidURL(), row.kind == HTTPError::Case::invalidURL);
        EXPECT_EQ(row.error.isParameterEncodingFailure(), row.kind == HTTPError::Case::parameterEncodingFailed);
        EXPECT_EQ(row.error.isMultipartEncodingFailure(), row.kind == HTTPError::Case::multipartEncodingFailed);
        EXPECT_EQ(row.error.isResponseValidationFailure(), row.kind == HTTPError::Case::responseValidationFailed);
        EXPECT_EQ(row.error.isResponseSerializationFailure(), row.kind == HTTPError::Case::responseSerializationFailed);
    }
}

TEST(HTTPError, FailedURLConvertible) {
    auto error = HTTPError::invalidURL(URLConvertible("ht tp://x"));
    ASSERT_TRUE(error.failedURLConvertible());
    ASSERT_TRUE(error.failedURLConvertible()->as<std::string>());
    EXPECT_EQ(*error.failedURLConvertible()->as<std::string>(), "ht tp://x");
    EXPECT_FALSE(HTTPError::parameterEncodingFailed(PR::missingURL()).failedURLConvertible());
}

TEST(HTTPError, FailedURL) {
    const auto f = url("file:///tmp/f");
    struct Row {
        HTTPError error;
        bool hasURL;
    } rows[] = {
        {HTTPError::multipartEncodingFailed(MR::bodyPartURLInvalid(f)), true},
        {HTTPError::multipartEncodingFailed(MR::bodyPartFilenameInvalid(f)), true},
        {HTTPError::multipartEncodingFailed(MR::bodyPartFileNotReachable(f)), true},
        {HTTPError::multipartEncodingFailed(MR::bodyPartFileNotReachableWithError(f, platformError())), true},
        {HTTPError::multipartEncodingFailed(MR::bodyPartFileIsDirectory(f)), true},
        {HTTPError::multipartEncodingFailed(MR::bodyPartFileSizeNotAvailable(f)), true},
        {HTTPError::multipartEncodingFailed(MR::bodyPartFileSizeQueryFailedWithError(f, platformError())), true},
        {HTTPError::multipartEncodingFailed(MR::bodyPartInputStreamCreationFailed(f)), true},
        {HTTPError::multipartEncodingFailed(MR::outputStreamCreationFailed(f)), true},
        {HTTPError::multipartEncodingFailed(MR::outputStreamFileAlreadyExists(f)), true},
        {HTTPError::multipartEncodingFailed(MR::outputStreamURLInvalid(f)), true},
        {HTTPError::multipartEncodingFailed(MR::outputStreamWriteFailed(platformError())), false},
        {HTTPError::multipartEncodingFailed(MR::inputStreamReadFailed(platformError())), false},
        {HTTPError::invalidURL(URLConvertible(f)), false},
        {HTTPError::responseValidationFailed(VR::dataFileReadFailed(f)), false},
        {HTTPError::responseSerializationFailed(SR::inputFileReadFailed(f)), false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.error.failedURL().has_value(), row.hasURL) << row.error.errorDescription();
        if (row.hasURL) {
            EXPECT_EQ(*row.error.failedURL(), f);
        }
    }
}

TEST(HTTPError, UnderlyingError) {
    const auto f = url("file:///tmp/f");
    struct Row {
        HTTPError error;
        bool hasError;
    } rows[] = {
        {HTTPError::invalidURL(URLConvertible("x y")), false},
        {HTTPError::parameterEncodingFailed(PR::jsonEncodingFailed(platformError())), true},
        {HTTPError::parameterEncodingFailed(PR::propertyListEncodingFailed(platformError())), true},
        {HTTPError::parameterEncodingFailed(PR::missingURL()), false},
        {HTTPError::multipartEncodingFailed(MR::bodyPartFileNotReachableWithError(f, platformError())), true},
        {HTTPError::multipartEncodingFailed(MR::bodyPartFileSizeQueryFailedWithError(f, platformError())), true},
        {HTTPError::multipartEncodingFailed(MR::outputStreamWriteFailed(platformError())), true},
        {HTTPError::multipartEncodingFailed(MR::inputStreamReadFailed(platformError())), true},
        {HTTPError::multipartEncodingFailed(MR::bodyPartFileNotReachable(f)), false},
        {HTTPError::responseValidationFailed(VR::dataFileNil()), false},
        {HTTPError::responseValidationFailed(VR::unacceptableStatusCode(500)), false},
        {HTTPError::responseSerializationFailed(SR::jsonSerializationFailed(platformError())), true},
        {HTTPError::responseSerializationFailed(SR::propertyListSerializationFailed(platformError())), true},
        {HTTPError::responseSerializationFailed(SR::inputDataNil()), false},
        {HTTPError::responseSerializationFailed(SR::stringSerializationFailed(core::TextEncoding::utf8)), false},
    };
    for (const auto& row : rows) {
        auto underlying = row.error.underlyingError();
        EXPECT_EQ(underlying.has_value(), row.hasError) << row.error.errorDescription();
        if (underlying) {
            ASSERT_TRUE(underlying->as<core::Error>());
            EXPECT_EQ(underlying->as<core::Error>()->code, 7);
        }
    }
}

TEST(HTTPError, ValidationAndSerializationAccessors) {
    auto missing = HTTPError::responseValidationFailed(VR::missingContentType({"a/b", "c/d"}));
    EXPECT_EQ(missing.acceptableContentTypes(), (std::vector<std::string>{"a/b", "c/d"}));
    EXPECT_FALSE(missing.responseContentType());
    EXPECT_FALSE(missing.responseCode());

    auto unacceptable = HTTPError::responseValidationFailed(VR::unacceptableContentType({"a/b"}, "text/html"));
    EXPECT_EQ(unacceptable.acceptableContentTypes(), (std::vector<std::string>{"a/b"}));
    EXPECT_EQ(unacceptable.responseContentType(), "text/html");

    auto status = HTTPError::responseValidationFailed(VR::unacceptableStatusCode(-1));
    EXPECT_EQ(status.responseCode(), -1);
    EXPECT_FALSE(status.acceptableContentTypes());

    auto string = HTTPError::responseSerializationFailed(SR::stringSerializationFailed(core::TextEncoding::isoLatin1));
    EXPECT_EQ(string.failedStringEncoding(), StringEncoding(core::TextEncoding::isoLatin1));
    auto unknown = HTTPError::responseSerializationFailed(SR::stringSerializationFailed(StringEncoding::invalid()));
    EXPECT_EQ(unknown.failedStringEncoding(), StringEncoding::invalid());
    EXPECT_FALSE(HTTPError::responseSerializationFailed(SR::inputDataNil()).failedStringEncoding());
    EXPECT_FALSE(status.failedStringEncoding());
    EXPECT_FALSE(string.responseCode());
}

TEST(HTTPError, AdaptErrorWrapsAndUnwraps) {
    Error boxed = AdaptError{Error(platformError())};
    ASSERT_TRUE(boxed.is<AdaptError>());
    EXPECT_EQ(boxed.as<AdaptError>()->error.as<core::Error>()->domain, "core.test");
    EXPECT_EQ(boxed.description(), "AdaptError(error: " + kFull + ")");
    EXPECT_FALSE(boxed.is<HTTPError>());
}

} // namespace
