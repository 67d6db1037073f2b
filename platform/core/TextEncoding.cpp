#include "platform/core/TextEncoding.h"

#include "platform/core/Ascii.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace core {

namespace {

struct EncodingInfo {
    TextEncoding encoding;
    const char* iana;        // the name we give back
    const char* iconvName;   // what iconv calls it
    const char* localized;   // the platform's human-readable name
};

// One row per enumerator, in enumerator order.
constexpr std::array<EncodingInfo, 14> kEncodings{{
    {TextEncoding::ascii, "us-ascii", "ASCII", "Western (ASCII)"},
    {TextEncoding::utf8, "utf-8", "UTF-8", "Unicode (UTF-8)"},
    {TextEncoding::isoLatin1, "iso-8859-1", "ISO-8859-1", "Western (ISO Latin 1)"},
    {TextEncoding::isoLatin2, "iso-8859-2", "ISO-8859-2", "Central European (ISO Latin 2)"},
    {TextEncoding::windowsCP1251, "windows-1251", "CP1251", "Cyrillic (Windows)"},
    {TextEncoding::windowsCP1252, "windows-1252", "CP1252", "Western (Windows Latin 1)"},
    {TextEncoding::utf16, "utf-16", "UTF-16", "Unicode (UTF-16)"},
    {TextEncoding::utf16BigEndian, "utf-16be", "UTF-16BE", "Unicode (UTF-16BE)"},
    {TextEncoding::utf16LittleEndian, "utf-16le", "UTF-16LE", "Unicode (UTF-16LE)"},
    {TextEncoding::utf32, "utf-32", "UTF-32", "Unicode (UTF-32)"},
    {TextEncoding::shiftJIS, "shift_jis", "SHIFT_JIS", "Japanese (Windows, DOS)"},
    {TextEncoding::japaneseEUC, "euc-jp", "EUC-JP", "Japanese (EUC)"},
    {TextEncoding::gb18030, "gb18030", "GB18030", "Chinese (GB 18030)"},
    {TextEncoding::big5, "big5", "BIG5", "Traditional Chinese (Big 5)"},
}};

const EncodingInfo& info(TextEncoding encoding) { return kEncodings[static_cast<std::size_t>(encoding)]; }

struct Alias {
    const char* name;
    TextEncoding encoding;
};

// IANA names and the common aliases that servers send (lower case; compared case-insensitively).
constexpr Alias kAliases[] = {
    {"us-ascii", TextEncoding::ascii},          {"ascii", TextEncoding::ascii},
    {"ansi_x3.4-1968", TextEncoding::ascii},    {"iso646-us", TextEncoding::ascii},
    {"us", TextEncoding::ascii},                {"csascii", TextEncoding::ascii},
    {"utf-8", TextEncoding::utf8},              {"utf8", TextEncoding::utf8},
    {"unicode-1-1-utf-8", TextEncoding::utf8},
    {"iso-8859-1", TextEncoding::isoLatin1},    {"iso8859-1", TextEncoding::isoLatin1},
    {"iso_8859-1", TextEncoding::isoLatin1},    {"iso_8859-1:1987", TextEncoding::isoLatin1},
    {"latin1", TextEncoding::isoLatin1},        {"l1", TextEncoding::isoLatin1},
    {"cp819", TextEncoding::isoLatin1},         {"ibm819", TextEncoding::isoLatin1},
    {"csisolatin1", TextEncoding::isoLatin1},
    {"iso-8859-2", TextEncoding::isoLatin2},    {"iso8859-2", TextEncoding::isoLatin2},
    {"iso_8859-2", TextEncoding::isoLatin2},    {"latin2", TextEncoding::isoLatin2},
    {"l2", TextEncoding::isoLatin2},            {"csisolatin2", TextEncoding::isoLatin2},
    {"windows-1251", TextEncoding::windowsCP1251}, {"cp1251", TextEncoding::windowsCP1251},
    {"x-cp1251", TextEncoding::windowsCP1251},
    {"windows-1252", TextEncoding::windowsCP1252}, {"cp1252", TextEncoding::windowsCP1252},
    {"x-cp1252", TextEncoding::windowsCP1252},
    {"utf-16", TextEncoding::utf16},            {"utf16", TextEncoding::utf16},
    {"utf-16be", TextEncoding::utf16BigEndian}, {"utf-16le", TextEncoding::utf16LittleEndian},
    {"utf-32", TextEncoding::utf32},            {"utf32", TextEncoding::utf32},
    {"shift_jis", TextEncoding::shiftJIS},      {"shift-jis", TextEncoding::shiftJIS},
    {"sjis", TextEncoding::shiftJIS},           {"ms_kanji", TextEncoding::shiftJIS},
    {"csshiftjis", TextEncoding::shiftJIS},     {"x-sjis", TextEncoding::shiftJIS},
    {"euc-jp", TextEncoding::japaneseEUC},      {"eucjp", TextEncoding::japaneseEUC},
    {"x-euc-jp", TextEncoding::japaneseEUC},
    {"gb18030", TextEncoding::gb18030},         {"gbk", TextEncoding::gb18030},
    {"gb2312", TextEncoding::gb18030},          {"cp936", TextEncoding::gb18030},
    {"x-gbk", TextEncoding::gb18030},
    {"big5", TextEncoding::big5},               {"big-5", TextEncoding::big5},
    {"csbig5", TextEncoding::big5},             {"x-x-big5", TextEncoding::big5},
};

// Converts the whole input or fails; never stops halfway with a partial result.
std::optional<std::string> convert(std::string_view input, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    out.resize(input.size() * 4 + 16);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t written = 0;
    bool ok = true;
    for (;;) {
        char* outPtr = out.data() + written;
        std::size_t outLeft = out.size() - written;
        std::size_t r = inLeft == 0 ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                                    : iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        written = out.size() - outLeft;
        if (r != static_cast<std::size_t>(-1)) {
            if (inLeft == 0) break;
            continue;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        ok = false; // EILSEQ (not valid / not representable) or EINVAL (truncated sequence)
        break;
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(written);
    return out;
}

} // namespace

std::optional<TextEncoding> encodingForIANACharsetName(std::string_view name) {
    name = core::ascii::trimmed(name);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    for (const auto& alias : kAliases) {
        if (core::ascii::equalsIgnoringCase(name, alias.name)) return alias.encoding;
    }
    return std::nullopt;
}

std::string ianaCharsetName(TextEncoding encoding) { return info(encoding).iana; }

std::string localizedName(TextEncoding encoding) { return info(encoding).localized; }

std::optional<std::string> decode(std::string_view bytes, TextEncoding encoding) {
    // UTF-16 and UTF-32 honour a byte-order mark (which is not part of the text) and otherwise
    // read big-endian, as the Unicode standard says. (glibc's iconv would assume the host order.)
    if (encoding == TextEncoding::utf16) {
        if (bytes.substr(0, 2) == "\xFF\xFE") return convert(bytes.substr(2), "UTF-8", "UTF-16LE");
        if (bytes.substr(0, 2) == "\xFE\xFF") return convert(bytes.substr(2), "UTF-8", "UTF-16BE");
        return convert(bytes, "UTF-8", "UTF-16BE");
    }
    if (encoding == TextEncoding::utf32) {
        if (bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4)) return convert(bytes.substr(4), "UTF-8", "UTF-32LE");
        if (bytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4)) return convert(bytes.substr(4), "UTF-8", "UTF-32BE");
        return convert(bytes, "UTF-8", "UTF-32BE");
    }
    return convert(bytes, "UTF-8", info(encoding).iconvName);
}

std::optional<std::string> decode(const Bytes& bytes, TextEncoding encoding) {
    return decode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), encoding);
}

std::optional<Bytes> encode(std::string_view utf8, TextEncoding encoding) {
    std::optional<std::string> converted;
    if (encoding == TextEncoding::utf16) {
        // A byte-order mark, then the host's (little-endian) order, as the platform writes it.
        converted = convert(utf8, "UTF-16LE", "UTF-8");
        if (converted) converted->insert(0, "\xFF\xFE", 2);
    } else if (encoding == TextEncoding::utf32) {
        converted = convert(utf8, "UTF-32LE", "UTF-8");
        if (converted) converted->insert(0, std::string("\xFF\xFE\x00\x00", 4));
    } else {
        converted = convert(utf8, info(encoding).iconvName, "UTF-8");
    }
    if (!converted) return std::nullopt;
    return Bytes(converted->begin(), converted->end());
}

} // namespace core
