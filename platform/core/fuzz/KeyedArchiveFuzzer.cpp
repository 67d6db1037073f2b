// Keyed-archive decoding (the keychain item's data) on untrusted bytes.
// Invariants: no crash, no sanitizer report, decoding stops at its budget; a decoded value
// archives again and decodes to itself.

#include "platform/core/KeyedArchive.h"
#include "platform/core/testing/FuzzCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto value = core::archive::unarchive(core::Bytes(data, data + size));
    if (!value) return 0;
    auto archived = core::archive::archive(*value);
    if (!archived) return 0;
    auto again = core::archive::unarchive(*archived);
    FUZZ_CHECK(again.ok());
    return 0;
}
