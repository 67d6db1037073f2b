#pragma once
// How far a property list may grow when it is read. The binary format lets objects share
// references, so a few hundred bytes can name a tree of billions of nodes; readers refuse such a
// list before building anything. The budget is proportionate to the input.

#include "platform/core/PropertyList.h"

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
// and height are computed once; a reference cycle is an error) and says what is wrong when the
// expanded tree would pass the budget or be nested deeper than kMaxDepth (a shared object counts
// at every depth it is referred from), or the table is malformed (a dictionary key that is not a text, or holds a
// NUL, and a UTF-16 text with a lone surrogate count as malformed: the parser underneath would
// abort on them). Nothing for a list within budget, and for
// bytes that are not a binary property list.
std::optional<std::string> checkBinaryExpansion(std::string_view bytes, ExpansionBudget budget);

// Element nesting an XML list may reach: the outer <plist>, kMaxDepth + 1 levels of values and
// the open element of the innermost value (a <string>, say).
inline constexpr std::size_t kMaxXmlElementDepth = kMaxDepth + 2;

// Reads the markup of an XML property list in one pass, keeping only the names of the open
// elements, and says what is wrong when elements nest deeper than kMaxXmlElementDepth, there are
// more of them than the budget's nodes, or the markup is such that the parser underneath might
// see other elements than this pass does (a closing tag that does not match, an unterminated
// comment, a document type with internal declarations, a tag holding an apostrophe or an odd
// number of quotation marks). The parser underneath builds whatever the text nests and frees it
// recursively, so a deep document would overflow the stack before any check on the tree.
// Nothing for markup within bounds, and for bytes that are a binary property list.
std::optional<std::string> checkXmlNesting(std::string_view bytes, ExpansionBudget budget);

} // namespace core::plist
