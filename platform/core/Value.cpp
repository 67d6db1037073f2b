#include "platform/core/Value.h"

#include "platform/core/Object.h"

#include <cstdio>
#include <cstdlib>

namespace core {

namespace {
// Below this size a linear scan beats hashing; above it the index keeps JSON objects with many
// keys from turning into quadratic parsing.
constexpr std::size_t kIndexThreshold = 16;

[[noreturn]] void kindMismatch(const char* wanted) {
    std::fprintf(stderr, "core::Value: value is not %s\n", wanted);
    std::abort();
}
} // namespace

// ---- Dictionary ----

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
    for (const auto& e : entries) set(e.first, e.second);
}

void Dictionary::set(std::string key, Value value) {
    if (!index_.empty()) {
        auto it = index_.find(key);
        if (it != index_.end()) {
            entries_[it->second].second = std::move(value);
            return;
        }
        index_.emplace(key, entries_.size());
        entries_.emplace_back(std::move(key), std::move(value));
        return;
    }
    for (auto& e : entries_) {
        if (e.first == key) {
            e.second = std::move(value);
            return;
        }
    }
    entries_.emplace_back(std::move(key), std::move(value));
    if (entries_.size() >= kIndexThreshold) rebuildIndex();
}

bool Dictionary::erase(std::string_view key) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first == key) {
            entries_.erase(it);
            if (!index_.empty()) {
                index_.clear();
                if (entries_.size() >= kIndexThreshold) rebuildIndex();
            }
            return true;
        }
    }
    return false;
}

const Value* Dictionary::find(std::string_view key) const {
    if (!index_.empty()) {
        auto it = index_.find(std::string(key));
        return it == index_.end() ? nullptr : &entries_[it->second].second;
    }
    for (const auto& e : entries_) {
        if (e.first == key) return &e.second;
    }
    return nullptr;
}

std::vector<std::string> Dictionary::keys() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) out.push_back(e.first);
    return out;
}

bool Dictionary::operator==(const Dictionary& other) const {
    if (size() != other.size()) return false;
    for (const auto& e : entries_) {
        const Value* v = other.find(e.first);
        if (!v || !(*v == e.second)) return false;
    }
    return true;
}

void Dictionary::rebuildIndex() {
    index_.clear();
    index_.reserve(entries_.size() * 2);
    for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].first, i);
}

// ---- Value ----

Value::Value(std::shared_ptr<Object> o) {
    if (o) v_ = std::move(o);
}

bool Value::asBool() const {
    if (auto* b = std::get_if<bool>(&v_)) return *b;
    kindMismatch("a boolean");
}
std::int64_t Value::asInt() const {
    if (auto* i = std::get_if<std::int64_t>(&v_)) return *i;
    kindMismatch("a signed integer");
}
std::uint64_t Value::asUInt() const {
    if (auto* u = std::get_if<std::uint64_t>(&v_)) return *u;
    kindMismatch("an unsigned integer");
}
double Value::asDouble() const {
    if (auto* d = std::get_if<double>(&v_)) return *d;
    kindMismatch("a double");
}
const std::string& Value::asString() const {
    if (auto* s = std::get_if<std::string>(&v_)) return *s;
    kindMismatch("a text");
}
const Bytes& Value::asBytes() const {
    if (auto* b = std::get_if<std::shared_ptr<const Bytes>>(&v_)) return **b;
    kindMismatch("bytes");
}
const Array& Value::asArray() const {
    if (auto* a = array()) return *a;
    kindMismatch("an array");
}
const Dictionary& Value::asDictionary() const {
    if (auto* d = dictionary()) return *d;
    kindMismatch("a dictionary");
}
const std::shared_ptr<Object>& Value::asObject() const {
    if (auto* o = std::get_if<std::shared_ptr<Object>>(&v_)) return *o;
    kindMismatch("an object");
}

const Array* Value::array() const {
    auto* a = std::get_if<std::shared_ptr<const Array>>(&v_);
    return a ? a->get() : nullptr;
}

const Dictionary* Value::dictionary() const {
    auto* d = std::get_if<std::shared_ptr<const Dictionary>>(&v_);
    return d ? d->get() : nullptr;
}

const Value* Value::find(std::string_view key) const {
    auto* d = dictionary();
    return d ? d->find(key) : nullptr;
}

namespace {

// Compares two numbers of any numeric kind by value, without losing 64-bit precision.
bool numbersEqual(const Value& a, const Value& b) {
    using K = Value::Kind;
    if (a.kind() == K::Double || b.kind() == K::Double) {
        auto asD = [](const Value& v) {
            switch (v.kind()) {
            case K::Int: return static_cast<double>(v.asInt());
            case K::UInt: return static_cast<double>(v.asUInt());
            default: return v.asDouble();
            }
        };
        return asD(a) == asD(b);
    }
    if (a.kind() == K::Int && b.kind() == K::Int) return a.asInt() == b.asInt();
    if (a.kind() == K::UInt && b.kind() == K::UInt) return a.asUInt() == b.asUInt();
    const Value& s = a.kind() == K::Int ? a : b;
    const Value& u = a.kind() == K::Int ? b : a;
    return s.asInt() >= 0 && static_cast<std::uint64_t>(s.asInt()) == u.asUInt();
}

} // namespace

bool Value::operator==(const Value& other) const {
    if (isNumber() && other.isNumber()) return numbersEqual(*this, other);
    if (kind() != other.kind()) return false;
    switch (kind()) {
    case Kind::Null: return true;
    case Kind::Bool: return asBool() == other.asBool();
    case Kind::String: return asString() == other.asString();
    case Kind::Bytes: return asBytes() == other.asBytes();
    case Kind::Array: return asArray() == other.asArray();
    case Kind::Dictionary: return asDictionary() == other.asDictionary();
    case Kind::Object: return asObject() == other.asObject();
    default: return false; // numbers handled above
    }
}

} // namespace core
