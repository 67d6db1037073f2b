#pragma once
// Text with attributes over UTF-16 ranges: the text the text layer lays out and the label keeps.
//
// The characters are UTF-16 code units (the app ranges text in UTF-16; conversions go through
// core::utf16). Attributes are core::Dictionary values kept as a list of runs that covers the
// whole text; neighbouring runs with equal attributes (attributesEqual) are always merged, so the
// runs are exactly the attribute boundaries. A value type: copies are independent.

#include "platform/core/Value.h"
#include "platform/text/Range.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace text {

using Attributes = core::Dictionary;

class AttributedString {
public:
    AttributedString() = default;
    explicit AttributedString(std::u16string characters, Attributes attributes = {});
    // UTF-8 text, converted once.
    explicit AttributedString(std::string_view utf8, Attributes attributes = {});
    explicit AttributedString(const char* utf8, Attributes attributes = {})
        : AttributedString(std::string_view(utf8), std::move(attributes)) {}

    std::size_t length() const { return characters_.size(); }
    bool empty() const { return characters_.empty(); }
    const std::u16string& characters() const { return characters_; }
    // The plain text as UTF-8.
    std::string string() const;

    // The attributes at an index (which must be below length()); `effective`, when given,
    // receives the whole run they cover.
    const Attributes& attributesAt(std::size_t index, Range* effective = nullptr) const;
    // One attribute at an index, or nullptr when the index is past the end or the key is absent.
    const core::Value* attributeAt(std::string_view key, std::size_t index, Range* effective = nullptr) const;

    // Calls `visit` for each run overlapping `range` with the run clipped to the range; setting
    // `stop` ends the walk.
    void enumerateAttributes(Range range,
                             const std::function<void(const Attributes&, Range, bool& stop)>& visit) const;
    // The runs as they are stored: each attribute boundary once.
    std::size_t runCount() const { return runs_.size(); }
    Range runRange(std::size_t run) const;
    const Attributes& runAttributes(std::size_t run) const { return runs_[run].attributes; }
    // The run holding the index (below length()).
    std::size_t runIndexAt(std::size_t index) const;

    // Editing. Ranges are clipped to the text; an insertion index past the end appends.
    void setAttributes(const Attributes& attributes, Range range);
    void addAttributes(const Attributes& attributes, Range range);
    void addAttribute(std::string_view key, const core::Value& value, Range range);
    // One value per range under the same key, in one pass (the runs are merged once at the end).
    void addAttribute(std::string_view key, const std::vector<std::pair<Range, core::Value>>& values);
    void removeAttribute(std::string_view key, Range range);
    void append(const AttributedString& other);
    void insert(const AttributedString& other, std::size_t index);
    void deleteCharacters(Range range);
    // Room for exactly `length` characters (the string's own growth would double a long text),
    // so that edits up to it do not reallocate.
    void reserve(std::size_t length);

    AttributedString substring(Range range) const;

    // The first occurrence of `pattern` at or after `from` (case-sensitive, code unit by code
    // unit); location kNotFound when there is none or the pattern is empty.
    Range find(std::u16string_view pattern, std::size_t from = 0) const;

    // Calls `visit` with the range of each composed character sequence (a user-perceived
    // character: a base with its combining marks, a surrogate pair, an emoji sequence), in order.
    void enumerateComposedCharacters(const std::function<void(Range)>& visit) const;

    bool operator==(const AttributedString& other) const;

private:
    struct Run {
        std::size_t end;  // exclusive; the run starts where the previous one ends
        Attributes attributes;
    };
    void edit(Range range, const std::function<void(Attributes&)>& change);
    void splitAt(std::size_t index);
    void coalesce();

    std::u16string characters_;
    std::vector<Run> runs_;
};

} // namespace text
