// The URL parser on untrusted text (server-supplied addresses, Location headers).
// Invariants: a parsed URL gives back exactly the text it was given; splitting it into
// components and joining them again gives the same URL; resolving and appending never crash and
// give URLs that parse again.

#include "FuzzCheck.h"

#include "platform/net/URL.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    static const net::URL base = *net::URL::parse("http://user@example.com:8080/a/b/c?q=1#f");

    auto url = net::URL::parse(text);
    if (auto resolved = base.resolve(text)) FUZZ_CHECK(net::URL::parse(resolved->absoluteString()).has_value());
    if (!url) return 0;
    FUZZ_CHECK(url->absoluteString() == text);
    net::URLComponents components(*url);
    auto rejoined = components.url();
    FUZZ_CHECK(rejoined && rejoined->absoluteString() == text);
    (void)url->path();
    (void)url->lastPathComponent();
    (void)url->pathExtension();
    auto appended = url->appendingPathComponent("x y");
    FUZZ_CHECK(net::URL::parse(appended.absoluteString()).has_value());
    if (auto resolved = url->resolve("../g?h#i")) FUZZ_CHECK(net::URL::parse(resolved->absoluteString()).has_value());
    return 0;
}
