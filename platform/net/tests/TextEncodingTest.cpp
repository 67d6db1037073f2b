#include "platform/core/TextEncoding.h"

#include <gtest/gtest.h>

using core::TextEncoding;

namespace {

core::Bytes bytes(std::string_view s) { return core::Bytes(s.begin(), s.end()); }

TEST(TextEncoding, IANANames) {
    const std::pair<const char*, std::optional<TextEncoding>> cases[] = {
        {"utf-8", TextEncoding::utf8},           {"UTF8", TextEncoding::utf8},
        {"ISO-8859-1", TextEncoding::isoLatin1}, {"latin1", TextEncoding::isoLatin1},
        {" \"us-ascii\" ", TextEncoding::ascii}, {"gbk", TextEncoding::gb18030},
        {"GB2312", TextEncoding::gb18030},       {"Shift_JIS", TextEncoding::shiftJIS},
        {"windows-1252", TextEncoding::windowsCP1252}, {"utf-16le", TextEncoding::utf16LittleEndian},
        {"big5", TextEncoding::big5},            {"klingon", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(core::encodingForIANACharsetName(name), expected) << name;
    EXPECT_EQ(core::ianaCharsetName(TextEncoding::isoLatin1), "iso-8859-1");
    EXPECT_EQ(core::ianaCharsetName(TextEncoding::utf8), "utf-8");
    EXPECT_EQ(core::localizedName(TextEncoding::isoLatin1), "Western (ISO Latin 1)");
    EXPECT_EQ(core::localizedName(TextEncoding::utf8), "Unicode (UTF-8)");
}

TEST(TextEncoding, Decodes) {
    EXPECT_EQ(core::decode(bytes("caf\xE9"), TextEncoding::isoLatin1), "café");
    EXPECT_EQ(core::decode(bytes("caf\xC3\xA9"), TextEncoding::utf8), "café");
    EXPECT_EQ(core::decode(bytes("caf\xC3\xA9"), TextEncoding::isoLatin1), "cafÃ©");
    EXPECT_FALSE(core::decode(bytes("caf\xE9"), TextEncoding::utf8));
    EXPECT_FALSE(core::decode(bytes("\xE4\xB8"), TextEncoding::utf8)); // truncated
    EXPECT_FALSE(core::decode(bytes("\x80"), TextEncoding::ascii));
    EXPECT_EQ(core::decode(bytes(""), TextEncoding::utf8), "");
    EXPECT_EQ(core::decode(bytes(std::string("\xFF\xFE" "a\0", 4)), TextEncoding::utf16), "a");
    EXPECT_EQ(core::decode(bytes(std::string("\0a", 2)), TextEncoding::utf16), "a");
    EXPECT_EQ(core::decode(bytes(std::string("a\0", 2)), TextEncoding::utf16LittleEndian), "a");
    EXPECT_EQ(core::decode(bytes("\xD6\xD0"), TextEncoding::gb18030), "中");
}

TEST(TextEncoding, Encodes) {
    EXPECT_EQ(core::encode("café", TextEncoding::isoLatin1), bytes("caf\xE9"));
    EXPECT_FALSE(core::encode("中", TextEncoding::isoLatin1));
    EXPECT_EQ(core::encode("a", TextEncoding::utf16), bytes(std::string("\xFF\xFE" "a\0", 4)));
    EXPECT_EQ(core::encode("a", TextEncoding::utf16BigEndian), bytes(std::string("\0a", 2)));
    EXPECT_EQ(core::encode("中", TextEncoding::gb18030), bytes("\xD6\xD0"));
    for (auto encoding : {TextEncoding::utf8, TextEncoding::utf16, TextEncoding::utf32, TextEncoding::gb18030}) {
        auto encoded = core::encode("Hello, 世界", encoding);
        ASSERT_TRUE(encoded);
        EXPECT_EQ(core::decode(*encoded, encoding), "Hello, 世界");
    }
}

} // namespace
