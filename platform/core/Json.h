#pragma once
// Reading and writing JSON as Values.
//
// Reading keeps booleans apart from numbers, integers apart from doubles (an integer that does
// not fit 64 bits signed reads as unsigned, beyond that as a double; a number too large for a
// double is an error), and object members in
// document order (a repeated key keeps its first position and its last value). Unless
// `allowFragments` is set, the top level must be an array or an object. Nesting deeper than
// kMaxDepth is refused rather than risking the stack.

#include "platform/core/Error.h"
#include "platform/core/Value.h"

#include <string>
#include <string_view>

namespace core::json {

inline constexpr std::string_view kErrorDomain = "core.json";
inline constexpr int kMaxDepth = 512;

enum ReadingOptions : unsigned {
    MutableContainers = 1u << 0, // accepted for compatibility; our containers are values anyway
    MutableLeaves = 1u << 1,
    AllowFragments = 1u << 2,
};

enum WritingOptions : unsigned {
    PrettyPrinted = 1u << 0,
    SortedKeys = 1u << 1,
    FragmentsAllowed = 1u << 2,
};

Expected<Value> read(std::string_view bytes, unsigned options = 0);
inline Expected<Value> read(const Bytes& bytes, unsigned options = 0) {
    return read(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), options);
}

// Fails for values JSON cannot hold (bytes, objects, non-finite numbers) and, unless
// FragmentsAllowed is given, for a top level that is neither an array nor a dictionary.
Expected<std::string> write(const Value& value, unsigned options = 0);

} // namespace core::json
