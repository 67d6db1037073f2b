#include "platform/core/Digest.h"

#include <openssl/evp.h>
#include <uuid/uuid.h>

namespace core {

namespace {

std::string hex(const unsigned char* bytes, unsigned length) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(length * 2);
    for (unsigned i = 0; i < length; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

unsigned digest(const EVP_MD* type, std::string_view bytes, unsigned char* out) {
    unsigned length = 0;
    EVP_Digest(bytes.data(), bytes.size(), out, &length, type, nullptr);
    return length;
}

} // namespace

std::array<std::uint8_t, 16> md5(std::string_view bytes) {
    std::array<std::uint8_t, 16> out{};
    digest(EVP_md5(), bytes, out.data());
    return out;
}

std::string md5Hex(std::string_view bytes) {
    auto d = md5(bytes);
    return hex(d.data(), static_cast<unsigned>(d.size()));
}

std::string sha256Hex(std::string_view bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned length = digest(EVP_sha256(), bytes, out);
    return hex(out, length);
}

std::string makeUuidString() {
    uuid_t id;
    uuid_generate_random(id);
    char text[37];
    uuid_unparse_upper(id, text);
    return text;
}

} // namespace core
