// Keyed-archive decoding (the keychain item's data) on untrusted bytes.
// Invariants: no crash, no sanitizer report, decoding stops at its budget; a decoded value of
// modest size (shared objects can make it large; writing it out is not what is tested here)
// archives again and decodes.

#include "platform/core/KeyedArchive.h"
#include "platform/core/testing/FuzzCheck.h"

#include <cstddef>
#include <cstdint>

namespace {

std::size_t nodes(const core::Value& v, std::size_t limit) {
    std::size_t n = 1;
    if (const auto* a = v.array()) {
        for (const auto& e : *a) if ((n += nodes(e, limit)) > limit) return n;
    } else if (const auto* d = v.dictionary()) {
        for (const auto& [k, e] : *d) if ((n += nodes(e, limit)) > limit) return n;
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto value = core::archive::unarchive(core::Bytes(data, data + size));
    if (!value || nodes(*value, 10000) > 10000) return 0;
    auto archived = core::archive::archive(*value);
    if (!archived) return 0;
    auto again = core::archive::unarchive(*archived);
    FUZZ_CHECK(again.ok());
    return 0;
}
