#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/Response.h"

#include "platform/core/ProcessInfo.h"

#include <gtest/gtest.h>

using namespace http;

namespace {

const char* kZeroTimeline =
    "Timeline: { \"Request Start Time\": 0.000, \"Initial Response Time\": 0.000, \"Request Completed Time\": "
    "0.000, \"Serialization Completed Time\": 0.000, \"Latency\": 0.000 secs, \"Request Duration\": 0.000 secs, "
    "\"Serialization Duration\": 0.000 secs, \"Total Duration\": 0.000 secs }";

Error inputDataNil() { return HTTPError::responseSerializationFailed(ResponseSerializationFailureReason::inputDataNil()); }

net::HTTPURLResponse okResponse() {
    return net::HTTPURLResponse(*net::URL::parse("http://x/a"), 200, "HTTP/1.1", {{"Content-Type", "application/json"}});
}

class OtherObject : public core::Object {
    QUILLORA_CLASS(OtherObject)
};

struct OsVersionGuard {
    ~OsVersionGuard() { core::ProcessInfo::setOperatingSystemVersionForTesting({}); }
};

TEST(DataResponse, DebugTextWithNothing) {
    DataResponse<core::Value> record(std::nullopt, std::nullopt, std::nullopt, Result<core::Value>(inputDataNil()), Timeline());
    EXPECT_EQ(record.debugDescription(),
              std::string("[Request]: nil\n[Response]: nil\n[Data]: 0 bytes\n[Result]: FAILURE: Response could not be "
                          "serialized, input data was nil.\n[Timeline]: ") + kZeroTimeline);
    EXPECT_EQ(record.description(), "FAILURE: Response could not be serialized, input data was nil.");
}

TEST(DataResponse, DebugTextWithEverything) {
    net::URLRequest request(net::URL::parse("http://x/a"));
    DataResponse<core::Value> withoutMethod(request, okResponse(), core::Bytes{'1'}, Result<core::Value>(core::Value(1)),
                                            Timeline(1, 2, 3, 4));
    EXPECT_EQ(withoutMethod.debugDescription(),
              "[Request]: GET <URLRequest> { URL: http://x/a }\n"
              "[Response]: <HTTPURLResponse> { URL: http://x/a } { Status Code: 200, Headers {\n"
              "    Content-Type = application/json;\n} }\n"
              "[Data]: 1 bytes\n"
              "[Result]: SUCCESS: 1\n"
              "[Timeline]: " + Timeline(1, 2, 3, 4).debugDescription());
    request.httpMethod = "POST";
    DataResponse<core::Value> withMethod(request, std::nullopt, core::Bytes{}, Result<core::Value>(core::Value(1)));
    EXPECT_EQ(withMethod.debugDescription().substr(0, withMethod.debugDescription().find('\n')),
              "[Request]: POST <URLRequest> { URL: http://x/a }");
    EXPECT_EQ(withMethod.description(), "SUCCESS: 1");
    EXPECT_EQ(withMethod.result().description(), "SUCCESS");
    EXPECT_EQ(withMethod.value(), core::Value(1));
    EXPECT_FALSE(withMethod.error());
}

TEST(DownloadResponse, DebugText) {
    DownloadResponse<std::string> empty(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                        Result<std::string>(std::string("x")));
    EXPECT_EQ(empty.debugDescription(), std::string("[Request]: nil\n[Response]: nil\n[TemporaryURL]: nil\n[DestinationURL]: "
                                                    "nil\n[ResumeData]: 0 bytes\n[Result]: SUCCESS: x\n[Timeline]: ") +
                                            kZeroTimeline);
    DownloadResponse<std::string> full(std::nullopt, std::nullopt, net::URL::fileURL("/tmp/dl a.tmp"),
                                       net::URL::fileURL("/tmp/out/"), core::Bytes(5, 0),
                                       Result<std::string>(inputDataNil()));
    auto text = full.debugDescription();
    EXPECT_NE(text.find("\n[TemporaryURL]: /tmp/dl a.tmp\n[DestinationURL]: /tmp/out\n[ResumeData]: 5 bytes\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("[Data]"), std::string::npos);
    EXPECT_EQ(full.description(), "FAILURE: Response could not be serialized, input data was nil.");
}

TEST(DefaultResponses, StoreTheirFields) {
    auto request = net::URLRequest(net::URL::parse("http://x/"));
    DefaultDataResponse data(request, okResponse(), core::Bytes{1}, inputDataNil(), Timeline(1, 1, 1, 1));
    EXPECT_EQ(data.request()->url, request.url);
    EXPECT_EQ(data.response()->statusCode(), 200);
    EXPECT_EQ(data.data(), core::Bytes{1});
    EXPECT_TRUE(data.error()->is<HTTPError>());
    EXPECT_EQ(data.timeline(), Timeline(1, 1, 1, 1));
    EXPECT_FALSE(data.metricsSlot());

    DefaultDownloadResponse download(std::nullopt, std::nullopt, net::URL::fileURL("/t"), std::nullopt, core::Bytes{2},
                                     std::nullopt, Timeline());
    EXPECT_EQ(download.temporaryURL()->path(), "/t");
    EXPECT_FALSE(download.destinationURL());
    EXPECT_EQ(download.resumeData(), core::Bytes{2});
    EXPECT_FALSE(download.error());
}

TEST(Response, AttachMetrics) {
    OsVersionGuard guard;
    auto metrics = core::make<net::URLSessionTaskMetrics>();
    auto other = core::make<OtherObject>();

    DefaultDataResponse record(std::nullopt, std::nullopt, std::nullopt, std::nullopt);
    record.attachMetrics(nullptr);
    EXPECT_FALSE(record.metricsSlot());
    record.attachMetrics(other);
    EXPECT_FALSE(record.metricsSlot());
    record.attachMetrics(metrics);
    EXPECT_EQ(record.metrics(), metrics);

    core::ProcessInfo::setOperatingSystemVersionForTesting({9, 3, 0});
    DefaultDataResponse old(std::nullopt, std::nullopt, std::nullopt, std::nullopt);
    old.attachMetrics(metrics);
    EXPECT_FALSE(old.metricsSlot());
    // Attaching nothing, or on version 9, leaves what was there.
    record.attachMetrics(core::make<net::URLSessionTaskMetrics>());
    EXPECT_EQ(record.metrics(), metrics);
    core::ProcessInfo::setOperatingSystemVersionForTesting({10, 0, 0});
    record.attachMetrics(nullptr);
    EXPECT_EQ(record.metrics(), metrics);

    // A slot holding some other object gives no metrics.
    record.setMetricsSlot(other);
    EXPECT_FALSE(record.metrics());
}

TEST(DataResponse, TransformsKeepTheRest) {
    OsVersionGuard guard;
    auto metrics = core::make<net::URLSessionTaskMetrics>();
    DataResponse<int> record(net::URLRequest(net::URL::parse("http://x/")), okResponse(), core::Bytes{9, 8},
                             Result<int>(2), Timeline(1, 2, 3, 4));
    record.attachMetrics(metrics);

    auto mapped = record.map([](int v) { return std::to_string(v); });
    static_assert(std::is_same_v<decltype(mapped), DataResponse<std::string>>);
    EXPECT_EQ(mapped.value(), "2");
    EXPECT_EQ(mapped.metrics(), metrics);
    EXPECT_EQ(mapped.timeline(), record.timeline());
    EXPECT_EQ(mapped.data(), record.data());
    EXPECT_EQ(mapped.request()->url, record.request()->url);
    EXPECT_EQ(mapped.response()->statusCode(), 200);

    auto tried = record.tryMap([](int) { return Result<double>(inputDataNil()); });
    EXPECT_TRUE(tried.error()->is<HTTPError>());
    EXPECT_EQ(tried.metrics(), metrics);

    DataResponse<int> failed(std::nullopt, std::nullopt, std::nullopt, Result<int>(inputDataNil()), Timeline(5, 5, 5, 5));
    failed.setMetricsSlot(metrics);
    auto mappedError = failed.mapError([](const Error&) { return core::Error{"d", 1, "m", {}}; });
    static_assert(std::is_same_v<decltype(mappedError), DataResponse<int>>);
    EXPECT_TRUE(mappedError.error()->is<core::Error>());
    EXPECT_EQ(mappedError.metrics(), metrics);
    EXPECT_EQ(mappedError.timeline(), Timeline(5, 5, 5, 5));
    auto triedError = failed.tryMapError([](const Error&) { return Result<core::Error>(core::Error{"d", 2, "m", {}}); });
    EXPECT_EQ(triedError.error()->as<core::Error>()->code, 2);
}

TEST(DownloadResponse, TransformsKeepTheRest) {
    auto metrics = core::make<net::URLSessionTaskMetrics>();
    DownloadResponse<int> record(std::nullopt, okResponse(), net::URL::fileURL("/tmp/t"), net::URL::fileURL("/tmp/d"),
                                 core::Bytes{1}, Result<int>(3), Timeline(1, 2, 3, 4));
    record.setMetricsSlot(metrics);
    auto mapped = record.map([](int v) { return v * 2; });
    EXPECT_EQ(mapped.value(), 6);
    EXPECT_EQ(mapped.temporaryURL(), record.temporaryURL());
    EXPECT_EQ(mapped.destinationURL(), record.destinationURL());
    EXPECT_EQ(mapped.resumeData(), record.resumeData());
    EXPECT_EQ(mapped.timeline(), record.timeline());
    EXPECT_EQ(mapped.metrics(), metrics);
    auto tried = record.tryMap([](int v) { return Result<int>(v + 1); });
    EXPECT_EQ(tried.value(), 4);
    EXPECT_EQ(record.mapError([](const Error& e) { return e; }).value(), 3);
    EXPECT_EQ(record.tryMapError([](const Error&) { return Result<core::Error>(core::Error{"x", 1, "", {}}); }).value(), 3);
}

} // namespace
