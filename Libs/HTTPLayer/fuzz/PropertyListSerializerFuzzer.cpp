// The property-list response serializer on untrusted bodies (XML, binary and OpenStep forms).
// The first byte chooses whether the response has status 205; the rest is the body.
// Invariants: no crash or sanitizer report; a 205 gives the null value; a failure is a
// propertyListSerializationFailed (or inputDataNilOrZeroLength) HTTPError; texts never fail.

#include "FuzzCheck.h"

#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/ResponseSerialization.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int status = (data[0] & 1u) ? 205 : 200;
    core::Bytes body(data + 1, data + size);
    net::HTTPURLResponse response(*net::URL::parse("http://fuzz/"), status, "HTTP/1.1", {});

    auto result = http::serializeResponsePropertyList(0, response, body, std::nullopt);
    (void)result.debugDescription();
    if (status == 205) {
        FUZZ_CHECK(result.isSuccess() && result.successValue().isNull());
        return 0;
    }
    if (result.isFailure()) {
        const auto* error = result.failureError().as<http::HTTPError>();
        FUZZ_CHECK(error && error->isResponseSerializationFailure());
        using Case = http::ResponseSerializationFailureReason::Case;
        auto kind = error->responseSerializationReason()->kind();
        FUZZ_CHECK(kind == Case::propertyListSerializationFailed || kind == Case::inputDataNilOrZeroLength);
        (void)error->errorDescription();
    }
    return 0;
}
