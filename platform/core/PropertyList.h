#pragma once
// Reading and writing property lists (XML and binary) as Values, on libplist.
//
// A property list holds texts, integers, doubles, booleans, dates, bytes, arrays and
// dictionaries; it has no null and no objects, so writing those fails. Dates read as the double
// number of seconds since 2001-01-01 UTC. A keyed-archive reference (UID) reads as the
// dictionary {"CF$UID": n}, and such a dictionary is written back as a UID.

#include "platform/core/Error.h"
#include "platform/core/Value.h"

#include <string_view>

namespace core::plist {

inline constexpr std::string_view kErrorDomain = "core.plist";
inline constexpr int kMaxDepth = 512;

enum class Format { OpenStep = 1, Xml = 100, Binary = 200 };

struct ReadResult {
    Value value;
    Format format;
};

Expected<ReadResult> read(std::string_view bytes);
inline Expected<ReadResult> read(const Bytes& bytes) {
    return read(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// OpenStep is a reading format only; asking to write it fails.
Expected<Bytes> write(const Value& value, Format format);

// The same checks as write() without producing bytes.
bool isValid(const Value& value);

} // namespace core::plist
