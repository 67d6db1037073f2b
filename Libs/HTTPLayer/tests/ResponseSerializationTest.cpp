#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/ResponseSerialization.h"

#include "platform/core/Files.h"
#include "platform/core/Json.h"
#include "platform/core/PropertyList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace http;
using Case = ResponseSerializationFailureReason::Case;
using core::Bytes;
using core::Value;

namespace {

static_assert(DataResponseSerializerProtocol<DataResponseSerializer<Value>>);
static_assert(DownloadResponseSerializerProtocol<DownloadResponseSerializer<std::string>>);
static_assert(!DataResponseSerializerProtocol<DownloadResponseSerializer<std::string>>);

using Response = std::optional<net::HTTPURLResponse>;
using Body = std::optional<Bytes>;

Response status(int code, std::optional<std::string> contentType = std::nullopt) {
    net::HTTPHeaders headers;
    if (contentType) headers.set("Content-Type", *contentType);
    return net::HTTPURLResponse(*net::URL::parse("http://x/"), code, "HTTP/1.1", headers);
}

Bytes bytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

Error transportError() { return core::Error{"net.transport", -1001, "The request timed out.", {}}; }

// The failure case a result holds: a reason of responseSerializationFailed, or nothing.
std::optional<Case> reason(const Error& error) {
    auto* http = error.as<HTTPError>();
    if (!http || !http->responseSerializationReason()) return std::nullopt;
    return http->responseSerializationReason()->kind();
}

bool isTransportError(const Error& error) {
    auto* platform = error.as<core::Error>();
    return platform && platform->code == -1001;
}

// What a row expects: a success holding a value, the transport error, or a serialization failure.
template <class T>
struct Expect {
    std::optional<T> value;
    bool transport = false;
    std::optional<Case> failure;
};
template <class T>
Expect<T> success(T v) { return {std::move(v), false, std::nullopt}; }
template <class T>
Expect<T> transport() { return {std::nullopt, true, std::nullopt}; }
template <class T>
Expect<T> failure(Case c) { return {std::nullopt, false, c}; }

template <class T>
void check(const Result<T>& result, const Expect<T>& expect, const std::string& label) {
    if (expect.value) {
        ASSERT_TRUE(result.isSuccess()) << label << ": " << result.debugDescription();
        EXPECT_EQ(result.successValue(), *expect.value) << label;
    } else if (expect.transport) {
        ASSERT_TRUE(result.isFailure()) << label;
        EXPECT_TRUE(isTransportError(result.failureError())) << label << ": " << result.debugDescription();
    } else {
        ASSERT_TRUE(result.isFailure()) << label << ": " << result.debugDescription();
        EXPECT_EQ(reason(result.failureError()), expect.failure) << label << ": " << result.debugDescription();
    }
}

template <class T>
struct Row {
    const char* label;
    Response response;
    Body body;
    std::optional<Error> error;
    Expect<T> expect;
};

TEST(EmptyResponseStatusCodes, AreExactly204And205) {
    EXPECT_EQ(emptyResponseStatusCodes(), (std::set<int>{204, 205}));
}

TEST(DataSerializer, RulesInOrder) {
    const Row<Bytes> rows[] = {
        {"error wins over 204", status(204), bytes("x"), transportError(), transport<Bytes>()},
        {"error without response", std::nullopt, std::nullopt, transportError(), transport<Bytes>()},
        {"error with a body", status(200), bytes("x"), transportError(), transport<Bytes>()},
        {"204 with bytes", status(204), bytes("x"), std::nullopt, success(Bytes{})},
        {"205 without body", status(205), std::nullopt, std::nullopt, success(Bytes{})},
        {"200 body", status(200), bytes("abc"), std::nullopt, success(bytes("abc"))},
        {"200 zero-length body", status(200), Bytes{}, std::nullopt, success(Bytes{})},
        {"no response, body", std::nullopt, bytes("b"), std::nullopt, success(bytes("b"))},
        {"no body", status(200), std::nullopt, std::nullopt, failure<Bytes>(Case::inputDataNil)},
        {"nothing at all", std::nullopt, std::nullopt, std::nullopt, failure<Bytes>(Case::inputDataNil)},
    };
    for (const auto& row : rows) {
        check(serializeResponseData(row.response, row.body, row.error), row.expect, row.label);
        check(dataResponseSerializer().serializeResponse(std::nullopt, row.response, row.body, row.error), row.expect,
              row.label);
    }
}

TEST(StringSerializer, RulesInOrder) {
    using E = std::optional<core::TextEncoding>;
    struct StringRow {
        const char* label;
        E encoding;
        Response response;
        Body body;
        std::optional<Error> error;
        Expect<std::string> expect;
    };
    const StringRow rows[] = {
        {"error wins over 204", {}, status(204), bytes("x"), transportError(), transport<std::string>()},
        {"204", {}, status(204), bytes("x"), std::nullopt, success<std::string>("")},
        {"205 no body", {}, status(205), std::nullopt, std::nullopt, success<std::string>("")},
        {"no body", {}, status(200), std::nullopt, std::nullopt, failure<std::string>(Case::inputDataNil)},
        {"zero-length body", {}, status(200), Bytes{}, std::nullopt, success<std::string>("")},
        {"no charset: ISO Latin-1", {}, status(200, "text/plain"), bytes("caf\xC3\xA9"), std::nullopt,
         success<std::string>("caf\xC3\x83\xC2\xA9")},
        {"no response: ISO Latin-1", {}, std::nullopt, bytes("\xE9"), std::nullopt, success<std::string>("é")},
        {"response charset", {}, status(200, "text/plain; charset=utf-8"), bytes("caf\xC3\xA9"), std::nullopt,
         success<std::string>("café")},
        {"response charset GBK", {}, status(200, "text/plain; charset=GBK"), bytes("\xD6\xD0"), std::nullopt,
         success<std::string>("中")},
        {"argument wins over charset", core::TextEncoding::isoLatin1, status(200, "text/plain; charset=utf-8"),
         bytes("caf\xC3\xA9"), std::nullopt, success<std::string>("caf\xC3\x83\xC2\xA9")},
        {"argument, bytes invalid", core::TextEncoding::utf8, status(200), bytes("caf\xE9"), std::nullopt,
         failure<std::string>(Case::stringSerializationFailed)},
        {"charset, bytes invalid", {}, status(200, "text/plain; charset=utf-8"), bytes("\xFF"), std::nullopt,
         failure<std::string>(Case::stringSerializationFailed)},
        {"unrecognised charset", {}, status(200, "text/plain; charset=klingon"), bytes("abc"), std::nullopt,
         failure<std::string>(Case::stringSerializationFailed)},
    };
    for (const auto& row : rows) {
        check(serializeResponseString(row.encoding, row.response, row.body, row.error), row.expect, row.label);
        check(stringResponseSerializer(row.encoding).serializeResponse(std::nullopt, row.response, row.body, row.error),
              row.expect, row.label);
    }
}

TEST(StringSerializer, FailureCarriesTheEncodingTried) {
    auto tried = [](std::optional<core::TextEncoding> argument, const char* contentType, const char* body) {
        auto result = serializeResponseString(argument, status(200, contentType), bytes(body), std::nullopt);
        return result.failureError().as<HTTPError>()->failedStringEncoding();
    };
    EXPECT_EQ(tried(core::TextEncoding::utf8, "text/plain", "\xFF"), StringEncoding(core::TextEncoding::utf8));
    EXPECT_EQ(tried({}, "text/plain; charset=us-ascii", "\xFF"), StringEncoding(core::TextEncoding::ascii));
    EXPECT_EQ(tried({}, "text/plain; charset=klingon", "a"), StringEncoding::invalid());
    EXPECT_FALSE(StringEncoding::invalid().isValid());
    auto error = serializeResponseString(core::TextEncoding::utf8, status(200), bytes("\xFF"), std::nullopt).failureError();
    EXPECT_EQ(error.localizedDescription(), "String could not be serialized with encoding: Unicode (UTF-8).");
}

TEST(JSONSerializer, RulesInOrder) {
    const Value array = core::Array{1, "a"};
    const Row<Value> rows[] = {
        {"error wins over 204", status(204), bytes("[]"), transportError(), transport<Value>()},
        {"error without response", std::nullopt, std::nullopt, transportError(), transport<Value>()},
        {"204 with bytes", status(204), bytes("not json"), std::nullopt, success(Value())},
        {"205 without body", status(205), std::nullopt, std::nullopt, success(Value())},
        {"no body", status(200), std::nullopt, std::nullopt, failure<Value>(Case::inputDataNilOrZeroLength)},
        {"zero-length body", status(200), Bytes{}, std::nullopt, failure<Value>(Case::inputDataNilOrZeroLength)},
        {"array", status(200), bytes("[1,\"a\"]"), std::nullopt, success(array)},
        {"object", status(200), bytes("{\"status\":1}"), std::nullopt, success(Value(core::Dictionary{{"status", 1}}))},
        {"fragment without option", status(200), bytes("1"), std::nullopt, failure<Value>(Case::jsonSerializationFailed)},
        {"malformed", status(200), bytes("{\"a\":"), std::nullopt, failure<Value>(Case::jsonSerializationFailed)},
        {"no response, body", std::nullopt, bytes("[]"), std::nullopt, success(Value(core::Array{}))},
    };
    for (const auto& row : rows) {
        check(serializeResponseJSON(0, row.response, row.body, row.error), row.expect, row.label);
        check(jsonResponseSerializer().serializeResponse(std::nullopt, row.response, row.body, row.error), row.expect,
              row.label);
    }
}

TEST(JSONSerializer, FragmentsOnlyWithOption4) {
    const std::pair<const char*, Value> fragments[] = {{"1", Value(1)}, {"\"text\"", Value("text")}, {"null", Value()},
                                                       {"true", Value(true)}};
    for (const auto& [text, value] : fragments) {
        auto allowed = jsonResponseSerializer(4).serializeResponse(std::nullopt, status(200), bytes(text), std::nullopt);
        ASSERT_TRUE(allowed.isSuccess()) << text;
        EXPECT_EQ(allowed.successValue(), value) << text;
        auto refused = serializeResponseJSON(0, status(200), bytes(text), std::nullopt);
        EXPECT_EQ(reason(refused.failureError()), Case::jsonSerializationFailed) << text;
    }
    EXPECT_EQ(core::json::AllowFragments, 4u);
}

TEST(JSONSerializer, FailureCarriesTheParserError) {
    auto result = serializeResponseJSON(0, status(200), bytes("{"), std::nullopt);
    auto* error = result.failureError().as<HTTPError>();
    ASSERT_TRUE(error && error->underlyingError());
    auto* parser = error->underlyingError()->as<core::Error>();
    ASSERT_TRUE(parser);
    EXPECT_EQ(parser->domain, core::json::kErrorDomain);
    EXPECT_EQ(error->errorDescription(),
              "JSON could not be serialized because of error:\n" + error->underlyingError()->localizedDescription());
}

TEST(PropertyListSerializer, RulesInOrder) {
    const Value dictionary = core::Dictionary{{"a", 1}};
    const Bytes xml = *core::plist::write(dictionary, core::plist::Format::Xml);
    const Bytes binary = *core::plist::write(dictionary, core::plist::Format::Binary);
    const Row<Value> rows[] = {
        {"error wins over 205", status(205), xml, transportError(), transport<Value>()},
        {"204 with bytes", status(204), bytes("garbage"), std::nullopt, success(Value())},
        {"205 without body", status(205), std::nullopt, std::nullopt, success(Value())},
        {"no body", status(200), std::nullopt, std::nullopt, failure<Value>(Case::inputDataNilOrZeroLength)},
        {"zero-length body", status(200), Bytes{}, std::nullopt, failure<Value>(Case::inputDataNilOrZeroLength)},
        {"xml", status(200), xml, std::nullopt, success(dictionary)},
        {"binary", status(200), binary, std::nullopt, success(dictionary)},
        {"malformed", status(200), bytes("<plist><dict><key>a"), std::nullopt,
         failure<Value>(Case::propertyListSerializationFailed)},
    };
    for (const auto& row : rows) {
        check(serializeResponsePropertyList(0, row.response, row.body, row.error), row.expect, row.label);
        check(propertyListResponseSerializer().serializeResponse(std::nullopt, row.response, row.body, row.error),
              row.expect, row.label);
    }
    auto failed = serializeResponsePropertyList(0, status(200), bytes("bplist00"), std::nullopt);
    auto* error = failed.failureError().as<HTTPError>();
    ASSERT_TRUE(error && error->underlyingError());
    EXPECT_EQ(error->errorDescription(), "PropertyList could not be serialized because of error:\n" +
                                             error->underlyingError()->localizedDescription());
}

// Found by the property-list fuzzer (corpus file crash-xml-string-with-nul-byte): a string
// holding a NUL byte made libplist's plist_get_string_val() assert and abort the process.
TEST(PropertyListSerializer, StringWithNulByteDoesNotAbort) {
    const std::string xml("<string>\0</string>", 18);
    auto result = serializeResponsePropertyList(0, status(200), bytes(xml), std::nullopt);
    ASSERT_TRUE(result.isSuccess()) << result.debugDescription();
    EXPECT_EQ(result.successValue(), Value(std::string(1, '\0')));
}

class DownloadSerializers : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/httplayer-test-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    net::URL file(const char* name, std::string_view contents) {
        std::string path = dir_ + "/" + name;
        EXPECT_TRUE(core::files::writeAtomically(path, contents).ok());
        return net::URL::fileURL(path);
    }
    net::URL missing() const { return net::URL::fileURL(dir_ + "/missing"); }

    std::string dir_;
};

TEST_F(DownloadSerializers, FileRulesComeFirst) {
    using URLOpt = std::optional<net::URL>;
    const auto empty = file("empty", "");
    const auto json = file("json", "[1]");
    struct DownloadRow {
        const char* label;
        Response response;
        URLOpt url;
        std::optional<Error> error;
        std::optional<Case> failure; // nothing: not a serialization failure
        bool transport;
    } rows[] = {
        {"error wins over no file", status(200), std::nullopt, transportError(), std::nullopt, true},
        {"no file URL", status(200), std::nullopt, std::nullopt, Case::inputFileNil, false},
        {"no file URL, 204", status(204), std::nullopt, std::nullopt, Case::inputFileNil, false},
        {"unreadable file", status(200), missing(), std::nullopt, Case::inputFileReadFailed, false},
        {"unreadable file, 204", status(204), missing(), std::nullopt, Case::inputFileReadFailed, false},
        {"not a file URL", status(200), net::URL::parse("http://x/f"), std::nullopt, Case::inputFileReadFailed, false},
        {"directory", status(200), net::URL::fileURL(dir_, true), std::nullopt, Case::inputFileReadFailed, false},
    };
    for (const auto& row : rows) {
        auto results = std::make_tuple(
            downloadDataResponseSerializer().serializeResponse(std::nullopt, row.response, row.url, row.error).error(),
            downloadStringResponseSerializer().serializeResponse(std::nullopt, row.response, row.url, row.error).error(),
            downloadJSONResponseSerializer().serializeResponse(std::nullopt, row.response, row.url, row.error).error(),
            downloadPropertyListResponseSerializer().serializeResponse(std::nullopt, row.response, row.url, row.error).error());
        std::apply(
            [&](const auto&... errors) {
                for (const auto& error : {errors...}) {
                    ASSERT_TRUE(error) << row.label;
                    if (row.transport) {
                        EXPECT_TRUE(isTransportError(*error)) << row.label;
                    } else {
                        EXPECT_EQ(reason(*error), row.failure) << row.label;
                    }
                    if (row.failure == Case::inputFileReadFailed) {
                        EXPECT_EQ(error->template as<HTTPError>()->responseSerializationReason()->url(), row.url)
                            << row.label;
                    }
                }
            },
            results);
    }

    // A readable empty file behaves like an empty body.
    EXPECT_EQ(downloadDataResponseSerializer().serializeResponse(std::nullopt, status(200), empty, std::nullopt).value(), Bytes{});
    EXPECT_EQ(downloadStringResponseSerializer().serializeResponse(std::nullopt, status(200), empty, std::nullopt).value(), "");
    EXPECT_EQ(reason(*downloadJSONResponseSerializer().serializeResponse(std::nullopt, status(200), empty, std::nullopt).error()),
              Case::inputDataNilOrZeroLength);
    EXPECT_EQ(reason(*downloadPropertyListResponseSerializer()
                          .serializeResponse(std::nullopt, status(200), empty, std::nullopt)
                          .error()),
              Case::inputDataNilOrZeroLength);
    // A readable file with a 204 status: the empty-status rule applies to its contents.
    EXPECT_EQ(downloadJSONResponseSerializer().serializeResponse(std::nullopt, status(204), json, std::nullopt).value(), Value());
    // Contents parse; options and encodings are captured.
    EXPECT_EQ(downloadJSONResponseSerializer().serializeResponse(std::nullopt, status(200), json, std::nullopt).value(),
              Value(core::Array{1}));
    auto fragment = file("fragment", "2");
    EXPECT_EQ(downloadJSONResponseSerializer(4).serializeResponse(std::nullopt, status(200), fragment, std::nullopt).value(),
              Value(2));
    auto latin = file("latin", "\xE9");
    EXPECT_EQ(downloadStringResponseSerializer().serializeResponse(std::nullopt, status(200), latin, std::nullopt).value(), "é");
    EXPECT_TRUE(downloadStringResponseSerializer(core::TextEncoding::utf8)
                    .serializeResponse(std::nullopt, status(200), latin, std::nullopt)
                    .isFailure());
    EXPECT_EQ(downloadDataResponseSerializer().serializeResponse(std::nullopt, status(200), latin, std::nullopt).value(),
              bytes("\xE9"));
}

TEST(Serializers, CopiesServeSeveralRequests) {
    auto serializer = jsonResponseSerializer(core::json::AllowFragments);
    auto copy = serializer;
    EXPECT_EQ(serializer.serializeResponse(std::nullopt, status(200), bytes("1"), std::nullopt).value(), Value(1));
    EXPECT_EQ(copy.serializeResponse(std::nullopt, status(200), bytes("2"), std::nullopt).value(), Value(2));
    // The request argument is ignored.
    net::URLRequest request(net::URL::parse("http://x/"));
    EXPECT_EQ(copy.serializeResponse(request, status(200), bytes("3"), std::nullopt).value(), Value(3));
}

} // namespace
