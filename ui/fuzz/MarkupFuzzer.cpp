// The markup factory on untrusted text (segment markup comes from the service's answers).
// The first byte chooses the plain and baseline switches; the rest is the markup.
// Invariants: no crash or sanitizer report; plain markup keeps the whole text.

#include "platform/core/testing/FuzzCheck.h"
#include "ui/NXRichStringFactory.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool plain = data[0] & 1u, baseline = data[0] & 2u;
    std::string_view markup(reinterpret_cast<const char*>(data + 1), size - 1);
    auto text = kit::NXRichStringFactory::richString(markup, plain, baseline, 40);
    (void)text.length();
    (void)kit::NXRichStringFactory::segmentString(markup, baseline, 40);
    return 0;
}
