#pragma once
// A media type as validation compares it: "type/subtype", parameters dropped.
//
// Parsing trims white space, cuts at the first ";", splits at "/" and keeps the first and the last
// piece, so any text yields a range ("text" is text/text). Matching is exact (case-sensitive),
// with "*" as a wildcard on the acceptable side.

#include <string>
#include <string_view>

namespace http {

class MediaRange {
public:
    explicit MediaRange(std::string_view text);

    const std::string& type() const { return type_; }
    const std::string& subtype() const { return subtype_; }
    bool isWildcard() const { return type_ == "*" && subtype_ == "*"; }
    // Whether this acceptable range admits `other`.
    bool matches(const MediaRange& other) const;

private:
    std::string type_;
    std::string subtype_;
};

} // namespace http
