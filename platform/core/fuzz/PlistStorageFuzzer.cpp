// Property-list reading as the settings and the keychain use it, on untrusted files.
// Invariants: no crash, no sanitizer report, memory within the reader's expansion budget; a list
// that reads writes back and reads again to the same value (what a settings save does).
//
// Speed: shared references let a few hundred bytes read as tens of thousands of nodes (within the
// budget), and writing such a tree back and reading it again is the same code as for a small one,
// a hundred times over; once the fuzzer has found such inputs, nearly every run was spent there.
// The round trip is therefore done for trees of up to kRoundTripNodes nodes, in one format per
// input (chosen by its last byte), so that a run stays around a millisecond under the sanitizers.

#include "platform/core/PropertyList.h"
#include "platform/core/testing/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kRoundTripNodes = 4096;

// The value's node count, or more than `limit` once it passes it.
std::size_t nodesUpTo(const core::Value& root, std::size_t limit) {
    std::size_t count = 0;
    std::vector<const core::Value*> pending{&root};
    while (!pending.empty() && count <= limit) {
        const core::Value* v = pending.back();
        pending.pop_back();
        ++count;
        if (v->isArray()) {
            for (const auto& item : v->asArray()) pending.push_back(&item);
        } else if (v->isDictionary()) {
            for (const auto& [key, item] : v->asDictionary()) pending.push_back(&item);
        }
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto read = core::plist::read(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read) return 0;
    // The settings keep a top-level dictionary; the keychain a dictionary with secret bytes.
    (void)read->value.isDictionary();
    if (size == 0 || nodesUpTo(read->value, kRoundTripNodes) > kRoundTripNodes) return 0;
    const auto format = (data[size - 1] & 1) ? core::plist::Format::Binary : core::plist::Format::Xml;
    auto written = core::plist::write(read->value, format);
    if (!written) return 0; // values no list can hold (a text with a NUL) are refused, not lost
    auto again = core::plist::read(*written);
    FUZZ_CHECK(again.ok());
    return 0;
}
