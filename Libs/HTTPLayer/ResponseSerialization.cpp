#include "Libs/HTTPLayer/ResponseSerialization.h"

#include "Libs/HTTPLayer/HTTPError.h"

#include "platform/core/Files.h"
#include "platform/core/Json.h"
#include "platform/core/PropertyList.h"

namespace http {

namespace {

using Reason = ResponseSerializationFailureReason;

Error serializationFailure(Reason reason) { return HTTPError::responseSerializationFailed(std::move(reason)); }

bool hasEmptyStatus(const std::optional<net::HTTPURLResponse>& response) {
    return response && emptyResponseStatusCodes().count(response->statusCode()) > 0;
}

// Reads a downloaded file: inputFileNil without a URL, inputFileReadFailed when it cannot be read.
Result<core::Bytes> readFile(const std::optional<net::URL>& fileURL) {
    if (!fileURL) return serializationFailure(Reason::inputFileNil());
    if (!fileURL->isFileURL()) return serializationFailure(Reason::inputFileReadFailed(*fileURL));
    auto bytes = core::files::read(fileURL->path());
    if (!bytes) return serializationFailure(Reason::inputFileReadFailed(*fileURL));
    return std::move(*bytes);
}

template <class T, class Inner>
DownloadResponseSerializer<T> downloadForm(Inner inner) {
    return DownloadResponseSerializer<T>(
        [inner](const std::optional<net::URLRequest>&, const std::optional<net::HTTPURLResponse>& response,
                const std::optional<net::URL>& fileURL, const std::optional<Error>& error) -> Result<T> {
            if (error) return *error;
            auto contents = readFile(fileURL);
            if (contents.isFailure()) return contents.failureError();
            return inner(response, std::optional<core::Bytes>(contents.successValue()), std::nullopt);
        });
}

} // namespace

const std::set<int>& emptyResponseStatusCodes() {
    static const std::set<int> codes{204, 205};
    return codes;
}

Result<core::Bytes> serializeResponseData(const std::optional<net::HTTPURLResponse>& response,
                                          const std::optional<core::Bytes>& data, const std::optional<Error>& error) {
    if (error) return *error;
    if (hasEmptyStatus(response)) return core::Bytes();
    if (data) return *data;
    return serializationFailure(Reason::inputDataNil());
}

Result<std::string> serializeResponseString(std::optional<core::TextEncoding> encoding,
                                            const std::optional<net::HTTPURLResponse>& response,
                                            const std::optional<core::Bytes>& data, const std::optional<Error>& error) {
    if (error) return *error;
    if (hasEmptyStatus(response)) return std::string();
    if (!data) return serializationFailure(Reason::inputDataNil());

    // The argument, else the response's charset (used as it converts, even when unrecognised),
    // else ISO Latin-1.
    StringEncoding chosen = core::TextEncoding::isoLatin1;
    if (encoding) {
        chosen = *encoding;
    } else if (response && response->textEncodingName()) {
        auto converted = core::encodingForIANACharsetName(*response->textEncodingName());
        chosen = converted ? StringEncoding(*converted) : StringEncoding::invalid();
    }
    if (chosen.encoding()) {
        if (auto text = core::decode(*data, *chosen.encoding())) return std::move(*text);
    }
    return serializationFailure(Reason::stringSerializationFailed(chosen));
}

Result<core::Value> serializeResponseJSON(unsigned options, const std::optional<net::HTTPURLResponse>& response,
                                          const std::optional<core::Bytes>& data, const std::optional<Error>& error) {
    if (error) return *error;
    if (hasEmptyStatus(response)) return core::Value();
    if (!data || data->empty()) return serializationFailure(Reason::inputDataNilOrZeroLength());
    auto value = core::json::read(*data, options);
    if (!value) return serializationFailure(Reason::jsonSerializationFailed(value.error()));
    return std::move(*value);
}

Result<core::Value> serializeResponsePropertyList(int /*options*/, const std::optional<net::HTTPURLResponse>& response,
                                                  const std::optional<core::Bytes>& data,
                                                  const std::optional<Error>& error) {
    if (error) return *error;
    if (hasEmptyStatus(response)) return core::Value();
    if (!data || data->empty()) return serializationFailure(Reason::inputDataNilOrZeroLength());
    auto read = core::plist::read(*data);
    if (!read) return serializationFailure(Reason::propertyListSerializationFailed(read.error()));
    return std::move(read->value);
}

DataResponseSerializer<core::Bytes> dataResponseSerializer() {
    return DataResponseSerializer<core::Bytes>(
        [](const auto&, const auto& response, const auto& data, const auto& error) {
            return serializeResponseData(response, data, error);
        });
}

DataResponseSerializer<std::string> stringResponseSerializer(std::optional<core::TextEncoding> encoding) {
    return DataResponseSerializer<std::string>(
        [encoding](const auto&, const auto& response, const auto& data, const auto& error) {
            return serializeResponseString(encoding, response, data, error);
        });
}

DataResponseSerializer<core::Value> jsonResponseSerializer(unsigned options) {
    return DataResponseSerializer<core::Value>(
        [options](const auto&, const auto& response, const auto& data, const auto& error) {
            return serializeResponseJSON(options, response, data, error);
        });
}

DataResponseSerializer<core::Value> propertyListResponseSerializer(int options) {
    return DataResponseSerializer<core::Value>(
        [options](const auto&, const auto& response, const auto& data, const auto& error) {
            return serializeResponsePropertyList(options, response, data, error);
        });
}

DownloadResponseSerializer<core::Bytes> downloadDataResponseSerializer() {
    return downloadForm<core::Bytes>([](const auto& response, const auto& data, const auto& error) {
        return serializeResponseData(response, data, error);
    });
}

DownloadResponseSerializer<std::string> downloadStringResponseSerializer(std::optional<core::TextEncoding> encoding) {
    return downloadForm<std::string>([encoding](const auto& response, const auto& data, const auto& error) {
        return serializeResponseString(encoding, response, data, error);
    });
}

DownloadResponseSerializer<core::Value> downloadJSONResponseSerializer(unsigned options) {
    return downloadForm<core::Value>([options](const auto& response, const auto& data, const auto& error) {
        return serializeResponseJSON(options, response, data, error);
    });
}

DownloadResponseSerializer<core::Value> downloadPropertyListResponseSerializer(int options) {
    return downloadForm<core::Value>([options](const auto& response, const auto& data, const auto& error) {
        return serializeResponsePropertyList(options, response, data, error);
    });
}

} // namespace http
