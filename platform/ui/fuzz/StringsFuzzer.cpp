// The strings-table reader of resource bundles on untrusted files.
// Invariants: no crash or sanitizer report; parsing the same text twice gives the same table.

#include "platform/core/testing/FuzzCheck.h"
#include "platform/ui/ResourceBundle.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto table = ui::ResourceBundle::parseStrings(text);
    FUZZ_CHECK(ui::ResourceBundle::parseStrings(text) == table);
    return 0;
}
