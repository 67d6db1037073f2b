#pragma once
// Text encodings by IANA charset name, converting bytes to UTF-8 text and back (iconv).

#include "platform/core/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace core {

enum class TextEncoding {
    ascii,
    utf8,
    isoLatin1,
    isoLatin2,
    windowsCP1251,
    windowsCP1252,
    utf16,        // with a byte-order mark when writing; reading honours one
    utf16BigEndian,
    utf16LittleEndian,
    utf32,
    shiftJIS,
    japaneseEUC,
    gb18030,
    big5,
};

// The encoding an IANA charset name stands for ("utf-8", "ISO-8859-1", "latin1", "gbk", ...;
// case-insensitive); nothing for an unknown name.
std::optional<TextEncoding> encodingForIANACharsetName(std::string_view name);
std::string ianaCharsetName(TextEncoding encoding);
// The platform's human-readable name of an encoding ("Unicode (UTF-8)", "Western (ISO Latin 1)"),
// which is what an encoding's text form shows in error descriptions.
std::string localizedName(TextEncoding encoding);

// Decodes bytes into UTF-8 text; nothing when the bytes are not valid in that encoding.
std::optional<std::string> decode(const Bytes& bytes, TextEncoding encoding);
std::optional<std::string> decode(std::string_view bytes, TextEncoding encoding);
// Encodes UTF-8 text; nothing when a character has no representation in the encoding.
std::optional<Bytes> encode(std::string_view utf8, TextEncoding encoding);

} // namespace core
