#pragma once
// Message digests and identifiers, on OpenSSL and libuuid.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace core {

std::array<std::uint8_t, 16> md5(std::string_view bytes);
// 32 lower-case hexadecimal digits.
std::string md5Hex(std::string_view bytes);
std::string sha256Hex(std::string_view bytes);

// A new random UUID in its 36-character upper-case text form (8-4-4-4-12).
std::string makeUuidString();

} // namespace core
