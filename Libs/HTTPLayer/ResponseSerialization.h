#pragma once
// Response serializers: pure functions from what a finished request produced to a
// Result of a typed value.
//
// Every serializer applies the first rule that fits:
//   1. an error is present: failure with that error;
//   2. the response's status is 204 or 205 (emptyResponseStatusCodes): empty data, "", or the
//      null value for JSON and property lists, whatever bytes arrived;
//   3. no body: inputDataNil (data, string); no body or an empty one: inputDataNilOrZeroLength
//      (JSON, property list);
//   4. parse: raw bytes; text in the given encoding, else the response's charset, else ISO
//      Latin-1 (an unrecognised charset name fails stringSerializationFailed with nothing as the
//      encoding); JSON with the caller's core::json reading options (AllowFragments = 4 admits a
//      bare number or string); a property list in any format.
// Download forms read the file at the URL first (no URL: inputFileNil; unreadable:
// inputFileReadFailed), also for 204/205, then apply the rules above to its contents.
//
// The class-level functions and factories of Request, DataRequest and DownloadRequest are
// free functions here; the request classes forward to them. Serializers are copyable values and
// may serve several requests at once.

#include "Libs/HTTPLayer/Error.h"
#include "Libs/HTTPLayer/Result.h"

#include "platform/core/TextEncoding.h"
#include "platform/core/Value.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URL.h"
#include "platform/net/URLRequest.h"

#include <concepts>
#include <functional>
#include <optional>
#include <set>
#include <string>

namespace http {

template <class T>
struct DataResponseSerializer {
    using SerializedObject = T;
    using Closure = std::function<Result<T>(const std::optional<net::URLRequest>& request,
                                            const std::optional<net::HTTPURLResponse>& response,
                                            const std::optional<core::Bytes>& data, const std::optional<Error>& error)>;

    explicit DataResponseSerializer(Closure closure) : serializeResponse(std::move(closure)) {}
    Closure serializeResponse;
};

template <class T>
struct DownloadResponseSerializer {
    using SerializedObject = T;
    using Closure = std::function<Result<T>(const std::optional<net::URLRequest>& request,
                                            const std::optional<net::HTTPURLResponse>& response,
                                            const std::optional<net::URL>& fileURL, const std::optional<Error>& error)>;

    explicit DownloadResponseSerializer(Closure closure) : serializeResponse(std::move(closure)) {}
    Closure serializeResponse;
};

// The two protocols: any type with a SerializedObject and a matching serializeResponse.
template <class S>
concept DataResponseSerializerProtocol =
    requires(const S& s, const std::optional<net::URLRequest>& request,
             const std::optional<net::HTTPURLResponse>& response, const std::optional<core::Bytes>& data,
             const std::optional<Error>& error) {
        typename S::SerializedObject;
        { s.serializeResponse(request, response, data, error) } -> std::same_as<Result<typename S::SerializedObject>>;
    };

template <class S>
concept DownloadResponseSerializerProtocol =
    requires(const S& s, const std::optional<net::URLRequest>& request,
             const std::optional<net::HTTPURLResponse>& response, const std::optional<net::URL>& fileURL,
             const std::optional<Error>& error) {
        typename S::SerializedObject;
        { s.serializeResponse(request, response, fileURL, error) } -> std::same_as<Result<typename S::SerializedObject>>;
    };

// {204, 205}: statuses whose responses count as having no body. Built once, thread-safe.
const std::set<int>& emptyResponseStatusCodes();

Result<core::Bytes> serializeResponseData(const std::optional<net::HTTPURLResponse>& response,
                                          const std::optional<core::Bytes>& data, const std::optional<Error>& error);
Result<std::string> serializeResponseString(std::optional<core::TextEncoding> encoding,
                                            const std::optional<net::HTTPURLResponse>& response,
                                            const std::optional<core::Bytes>& data, const std::optional<Error>& error);
// `options` are core::json::ReadingOptions bits.
Result<core::Value> serializeResponseJSON(unsigned options, const std::optional<net::HTTPURLResponse>& response,
                                          const std::optional<core::Bytes>& data, const std::optional<Error>& error);
// `options` (the platform's mutability options) are accepted and ignored: values are immutable.
Result<core::Value> serializeResponsePropertyList(int options, const std::optional<net::HTTPURLResponse>& response,
                                                  const std::optional<core::Bytes>& data,
                                                  const std::optional<Error>& error);

// Serializers of in-memory requests (DataRequest.*ResponseSerializer).
DataResponseSerializer<core::Bytes> dataResponseSerializer();
DataResponseSerializer<std::string> stringResponseSerializer(std::optional<core::TextEncoding> encoding = std::nullopt);
DataResponseSerializer<core::Value> jsonResponseSerializer(unsigned options = 0);
DataResponseSerializer<core::Value> propertyListResponseSerializer(int options = 0);

// Serializers of downloads (DownloadRequest.*ResponseSerializer).
DownloadResponseSerializer<core::Bytes> downloadDataResponseSerializer();
DownloadResponseSerializer<std::string> downloadStringResponseSerializer(
    std::optional<core::TextEncoding> encoding = std::nullopt);
DownloadResponseSerializer<core::Value> downloadJSONResponseSerializer(unsigned options = 0);
DownloadResponseSerializer<core::Value> downloadPropertyListResponseSerializer(int options = 0);

} // namespace http
