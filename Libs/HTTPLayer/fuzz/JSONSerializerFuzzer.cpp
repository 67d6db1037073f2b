// The JSON response serializer on untrusted bodies. The first byte chooses the reading options
// (low three bits) and whether the response has status 204; the rest is the body.
// Invariants: no crash; a 204 gives the null value; a success writes back as JSON that reads as
// an equal value; texts of the result never fail.

#include "FuzzCheck.h"

#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/ResponseSerialization.h"

#include "platform/core/Json.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned options = data[0] & 7u;
    const int status = (data[0] & 8u) ? 204 : 200;
    core::Bytes body(data + 1, data + size);
    net::HTTPURLResponse response(*net::URL::parse("http://fuzz/"), status, "HTTP/1.1",
                                  {{"Content-Type", "application/json"}});

    auto result = http::serializeResponseJSON(options, response, body, std::nullopt);
    (void)result.debugDescription();
    if (status == 204) {
        FUZZ_CHECK(result.isSuccess() && result.successValue().isNull());
        return 0;
    }
    if (result.isFailure()) {
        const auto* error = result.failureError().as<http::HTTPError>();
        FUZZ_CHECK(error && error->isResponseSerializationFailure());
        (void)error->errorDescription();
        return 0;
    }
    auto written = core::json::write(result.successValue(), core::json::FragmentsAllowed);
    FUZZ_CHECK(written.ok());
    auto reread = core::json::read(*written, core::json::AllowFragments);
    FUZZ_CHECK(reread.ok());
    FUZZ_CHECK(*reread == result.successValue());
    return 0;
}
