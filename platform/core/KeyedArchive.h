#pragma once
// Keyed archives: a value graph stored as a binary property list in the layout the mobile
// platform's archiver uses ({"$version": 100000, "$archiver": "NSKeyedArchiver",
// "$top": {"root": UID}, "$objects": [...]}), so archives written elsewhere read here and back.
// Texts, numbers, booleans and bytes are stored inline; arrays and dictionaries as objects of the
// classes NSArray and NSDictionary with "NS.objects" / "NS.keys"; the null value as "$null".

#include "platform/core/Error.h"
#include "platform/core/Value.h"

namespace core::archive {

inline constexpr std::string_view kErrorDomain = "core.archive";

// Fails for values that cannot be archived (objects, non-text dictionary keys never occur).
Expected<Bytes> archive(const Value& root);
// Fails with a description of what is wrong when the bytes are not such an archive.
Expected<Value> unarchive(const Bytes& bytes);

} // namespace core::archive
