#pragma once
// How far a property list may grow when it is read. The binary format lets objects share
// references, so a few hundred bytes can name a tree of billions of nodes; readers refuse such a
// list before building anything. The budget is proportionate to the input.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace core::plist {

inline constexpr std::uint64_t kMaxExpandedNodes = 1'000'000;

struct ExpansionBudget {
    std::uint64_t nodes;
    std::uint64_t bytes;
    // 64 times the input plus 1 MiB of payload, and 64 nodes per input byte plus 65,536, at most
    // kMaxExpandedNodes.
    static ExpansionBudget forInput(std::size_t inputSize) {
        const std::uint64_t size = inputSize;
        const std::uint64_t nodes = 64 * size + 65536;
        return {nodes < kMaxExpandedNodes ? nodes : kMaxExpandedNodes, 64 * size + (std::uint64_t(1) << 20)};
    }
};

// Walks a binary property list's object table without building it (each object's expanded size
// is computed once; a reference cycle is an error) and says what is wrong when the expanded tree
// would pass the budget or the table is malformed (a dictionary key that is not a text, or holds a
// NUL, and a UTF-16 text with a lone surrogate count as malformed: the parser underneath would
// abort on them). Nothing for a list within budget, and for
// bytes that are not a binary property list.
std::optional<std::string> checkBinaryExpansion(std::string_view bytes, ExpansionBudget budget);

} // namespace core::plist
