// Property-list reading as the settings and the keychain use it, on untrusted files.
// Invariants: no crash, no sanitizer report, memory within the reader's expansion budget; a list
// that reads writes back and reads again to the same value (what a settings save does).

#include "platform/core/PropertyList.h"
#include "platform/core/testing/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto read = core::plist::read(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read) return 0;
    // The settings keep a top-level dictionary; the keychain a dictionary with secret bytes.
    (void)read->value.isDictionary();
    for (auto format : {core::plist::Format::Xml, core::plist::Format::Binary}) {
        auto written = core::plist::write(read->value, format);
        if (!written) continue; // values no list can hold (a text with a NUL) are refused, not lost
        auto again = core::plist::read(*written);
        FUZZ_CHECK(again.ok());
    }
    return 0;
}
