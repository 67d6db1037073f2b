// Text-encoding conversion of untrusted bytes: the first byte picks the encoding (by the IANA
// names an answer's charset may carry), the rest is decoded.
// Invariants: no crash or sanitizer report; what decodes is UTF-8 that encodes back.

#include "platform/core/TextEncoding.h"
#include "platform/core/testing/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static constexpr std::string_view kNames[] = {"utf-8", "utf-16", "utf-16le", "utf-16be", "iso-8859-1",
                                                   "us-ascii", "gb2312", "gbk", "gb18030", "big5",
                                                   "shift_jis", "euc-jp", "windows-1252", "utf-32"};
    auto encoding = core::encodingForIANACharsetName(kNames[data[0] % std::size(kNames)]);
    if (!encoding) return 0;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    auto text = core::decode(bytes, *encoding);
    if (!text) return 0;
    auto utf8 = core::encodingForIANACharsetName("utf-8");
    FUZZ_CHECK(utf8 && core::decode(*text, *utf8).has_value());
    (void)core::encode(*text, *encoding);
    return 0;
}
