#include "platform/text/AttributedString.h"

#include "platform/core/Utf16.h"
#include "platform/text/BoxedValue.h"

#include <pango/pango.h>

#include <algorithm>

namespace text {

bool attributeValuesEqual(const core::Value& a, const core::Value& b) {
    if (a.isObject() && b.isObject()) {
        if (a.asObject() == b.asObject()) return true;
        auto* boxedA = dynamic_cast<const BoxedValueBase*>(a.asObject().get());
        auto* boxedB = dynamic_cast<const BoxedValueBase*>(b.asObject().get());
        return boxedA && boxedB && boxedA->isEqual(*boxedB);
    }
    if (a.isDictionary() && b.isDictionary()) return attributesEqual(a.asDictionary(), b.asDictionary());
    if (a.isArray() && b.isArray()) {
        const auto& x = a.asArray();
        const auto& y = b.asArray();
        if (x.size() != y.size()) return false;
        for (std::size_t i = 0; i < x.size(); ++i)
            if (!attributeValuesEqual(x[i], y[i])) return false;
        return true;
    }
    return a == b;
}

bool attributesEqual(const core::Dictionary& a, const core::Dictionary& b) {
    if (a.size() != b.size()) return false;
    for (const auto& [key, value] : a) {
        const core::Value* other = b.find(key);
        if (!other || !attributeValuesEqual(value, *other)) return false;
    }
    return true;
}

AttributedString::AttributedString(std::u16string characters, Attributes attributes)
    : characters_(std::move(characters)) {
    if (!characters_.empty()) runs_.push_back({characters_.size(), std::move(attributes)});
}

AttributedString::AttributedString(std::string_view utf8, Attributes attributes)
    : AttributedString(core::utf16::fromUtf8(utf8), std::move(attributes)) {}

std::string AttributedString::string() const { return core::utf16::toUtf8(characters_); }

std::size_t AttributedString::runIndexAt(std::size_t index) const {
    auto it = std::upper_bound(runs_.begin(), runs_.end(), index,
                               [](std::size_t i, const Run& run) { return i < run.end; });
    return static_cast<std::size_t>(it - runs_.begin());
}

Range AttributedString::runRange(std::size_t run) const {
    std::size_t start = run == 0 ? 0 : runs_[run - 1].end;
    return {start, runs_[run].end - start};
}

const Attributes& AttributedString::attributesAt(std::size_t index, Range* effective) const {
    static const Attributes kNone;
    std::size_t run = runIndexAt(index);
    if (run >= runs_.size()) {
        if (effective) *effective = {length(), 0};
        return kNone;
    }
    if (effective) *effective = runRange(run);
    return runs_[run].attributes;
}

const core::Value* AttributedString::attributeAt(std::string_view key, std::size_t index, Range* effective) const {
    return attributesAt(index, effective).find(key);
}

void AttributedString::enumerateAttributes(Range range,
                                           const std::function<void(const Attributes&, Range, bool&)>& visit) const {
    range = intersection(range, {0, length()});
    if (range.length == 0) return;
    bool stop = false;
    for (std::size_t run = runIndexAt(range.location); run < runs_.size() && !stop; ++run) {
        Range clipped = intersection(runRange(run), range);
        if (clipped.length == 0) break;
        visit(runs_[run].attributes, clipped, stop);
    }
}

void AttributedString::splitAt(std::size_t index) {
    if (index == 0 || index >= length()) return;
    std::size_t run = runIndexAt(index);
    if (runRange(run).location == index) return;
    Run copy = runs_[run];
    runs_[run].end = index;
    runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(run) + 1, std::move(copy));
}

void AttributedString::coalesce() {
    std::vector<Run> merged;
    merged.reserve(runs_.size());
    for (auto& run : runs_) {
        if (!merged.empty() && attributesEqual(merged.back().attributes, run.attributes))
            merged.back().end = run.end;
        else
            merged.push_back(std::move(run));
    }
    runs_ = std::move(merged);
}

void AttributedString::edit(Range range, const std::function<void(Attributes&)>& change) {
    range = intersection(range, {0, length()});
    if (range.length == 0) return;
    splitAt(range.location);
    splitAt(range.end());
    for (std::size_t run = runIndexAt(range.location); run < runs_.size() && runRange(run).location < range.end(); ++run)
        change(runs_[run].attributes);
    coalesce();
}

void AttributedString::setAttributes(const Attributes& attributes, Range range) {
    edit(range, [&](Attributes& a) { a = attributes; });
}

void AttributedString::addAttributes(const Attributes& attributes, Range range) {
    edit(range, [&](Attributes& a) {
        for (const auto& [key, value] : attributes) a.set(key, value);
    });
}

void AttributedString::addAttribute(std::string_view key, const core::Value& value, Range range) {
    edit(range, [&](Attributes& a) { a.set(std::string(key), value); });
}

void AttributedString::removeAttribute(std::string_view key, Range range) {
    edit(range, [&](Attributes& a) { a.erase(key); });
}

void AttributedString::append(const AttributedString& other) { insert(other, length()); }

void AttributedString::insert(const AttributedString& other, std::size_t index) {
    if (other.empty()) return;
    index = std::min(index, length());
    splitAt(index);
    std::size_t run = runIndexAt(index);  // the first run after the insertion point
    characters_.insert(index, other.characters_);
    std::size_t shift = other.length();
    for (std::size_t i = run; i < runs_.size(); ++i) runs_[i].end += shift;
    std::vector<Run> inserted = other.runs_;
    for (auto& r : inserted) r.end += index;
    runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(run), inserted.begin(), inserted.end());
    coalesce();
}

void AttributedString::reserve(std::size_t length) {
    if (length <= characters_.capacity()) return;
    std::u16string grown;
    grown.reserve(length);  // from nothing, so exactly this much
    grown.append(characters_);
    characters_.swap(grown);
}

void AttributedString::deleteCharacters(Range range) {
    range = intersection(range, {0, length()});
    if (range.length == 0) return;
    splitAt(range.location);
    splitAt(range.end());
    std::vector<Run> kept;
    for (std::size_t run = 0; run < runs_.size(); ++run) {
        Range r = runRange(run);
        if (r.location >= range.location && r.end() <= range.end()) continue;
        Run copy = runs_[run];
        if (r.location >= range.end()) copy.end -= range.length;
        kept.push_back(std::move(copy));
    }
    characters_.erase(range.location, range.length);
    runs_ = std::move(kept);
    coalesce();
}

void AttributedString::addAttribute(std::string_view key, const std::vector<std::pair<Range, core::Value>>& values) {
    bool changed = false;
    for (const auto& [r, value] : values) {
        Range range = intersection(r, {0, length()});
        if (range.length == 0) continue;
        splitAt(range.location);
        splitAt(range.end());
        for (std::size_t run = runIndexAt(range.location); run < runs_.size() && runRange(run).location < range.end(); ++run)
            runs_[run].attributes.set(std::string(key), value);
        changed = true;
    }
    if (changed) coalesce();
}

AttributedString AttributedString::substring(Range range) const {
    range = intersection(range, {0, length()});
    AttributedString out;
    out.characters_ = characters_.substr(range.location, range.length);
    enumerateAttributes(range, [&](const Attributes& attributes, Range r, bool&) {
        out.runs_.push_back({r.end() - range.location, attributes});
    });
    return out;
}

Range AttributedString::find(std::u16string_view pattern, std::size_t from) const {
    if (pattern.empty() || from > length()) return {kNotFound, 0};
    std::size_t at = std::u16string_view(characters_).find(pattern, from);
    if (at == std::u16string_view::npos) return {kNotFound, 0};
    return {at, pattern.size()};
}

void AttributedString::enumerateComposedCharacters(const std::function<void(Range)>& visit) const {
    if (characters_.empty()) return;
    // Pango's cursor positions are the boundaries of user-perceived characters.
    std::string utf8 = string();
    glong chars = g_utf8_strlen(utf8.data(), static_cast<gssize>(utf8.size()));
    std::vector<PangoLogAttr> attrs(static_cast<std::size_t>(chars) + 1);
    pango_get_log_attrs(utf8.data(), static_cast<int>(utf8.size()), -1, pango_language_get_default(), attrs.data(),
                        static_cast<int>(attrs.size()));
    std::size_t start16 = 0, pos8 = 0, sequenceStart8 = 0, charIndex = 0;
    while (pos8 < utf8.size()) {
        core::utf16::decode(utf8, pos8);
        ++charIndex;
        if (pos8 < utf8.size() && charIndex < attrs.size() && !attrs[charIndex].is_cursor_position) continue;
        std::size_t units = core::utf16::length(std::string_view(utf8).substr(sequenceStart8, pos8 - sequenceStart8));
        visit({start16, units});
        start16 += units;
        sequenceStart8 = pos8;
    }
}

bool AttributedString::operator==(const AttributedString& other) const {
    if (characters_ != other.characters_ || runs_.size() != other.runs_.size()) return false;
    for (std::size_t i = 0; i < runs_.size(); ++i)
        if (runs_[i].end != other.runs_[i].end || !attributesEqual(runs_[i].attributes, other.runs_[i].attributes))
            return false;
    return true;
}

} // namespace text
