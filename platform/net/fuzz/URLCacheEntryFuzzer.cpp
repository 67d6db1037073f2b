// A URL cache's entry file as the disk gives it back: damaged, cut short or made by anyone. The
// input is read as it is, and again with its checksum made to match, so that the fields behind
// the checksum are reached too.
// Invariants: no crash or sanitizer report; an entry that reads back writes again to bytes that
// read as the same entry.

#include "platform/core/testing/FuzzCheck.h"
#include "platform/net/URLCache.h"

// The x86 build picks the widest vector unit at run time (the same checksum either way).
#if defined(__x86_64__)
#include <xxh_x86dispatch.h>
#else
#include <xxhash.h>
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::size_t kTrailer = 32; // magic, version, head length, body length, checksum

void checkRoundTrip(const core::Bytes& input) {
    auto entry = net::caching::decodeEntry(input);
    if (!entry) return;
    FUZZ_CHECK(entry->cached && entry->cached->response);
    auto again = net::caching::decodeEntry(net::caching::encodeEntry(*entry));
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->key == entry->key);
    FUZZ_CHECK(again->cached->data == entry->cached->data);
    FUZZ_CHECK(again->cached->response->statusCode() == entry->cached->response->statusCode());
    FUZZ_CHECK(again->cached->response->allHeaderFields() == entry->cached->response->allHeaderFields());
    FUZZ_CHECK(again->vary == entry->vary);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    core::Bytes input(data, data + size);
    checkRoundTrip(input);
    if (size >= kTrailer) {
        const std::uint64_t checksum = XXH3_64bits(input.data(), size - kTrailer);
        std::memcpy(input.data() + size - 8, &checksum, sizeof checksum);
        checkRoundTrip(input);
    }
    return 0;
}
