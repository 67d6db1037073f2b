#pragma once
// The dynamic value of the platform: what a JSON document, a property list, a settings entry,
// a notification's user info or a request's parameters hold.
//
// A Value is null, a boolean, a signed or unsigned 64-bit integer, a double, a UTF-8 text, a byte
// string, an array, a dictionary or an object reference. Booleans are never numbers here:
// `Value(true).isNumber()` is false, so a JSON `true` and a JSON `1` stay apart.
// Arrays and dictionaries are immutable once inside a Value and shared between copies, so copying
// a Value is cheap. "Nothing" (an absent value) is std::optional<Value> or a null pointer, never a
// Value; the null *value* is what JSON's `null` reads as.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace core {

class Object;
class Value;

using Bytes = std::vector<std::uint8_t>;
using Array = std::vector<Value>;

// A dictionary from text to Value that keeps its keys in insertion order. Setting an existing key
// replaces its value in place. Lookups are linear for small dictionaries and hashed for large ones.
class Dictionary {
public:
    using Entry = std::pair<std::string, Value>;

    Dictionary() = default;
    Dictionary(std::initializer_list<Entry> entries);

    void set(std::string key, Value value);
    // Removes the key; returns whether it was there.
    bool erase(std::string_view key);
    const Value* find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }

    // Defined after Value: clang instantiates vector<Entry>::size() here, while Value is incomplete.
    std::size_t size() const;
    bool empty() const;
    std::vector<std::string> keys() const;

    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

    bool operator==(const Dictionary& other) const;

private:
    void rebuildIndex();

    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t> index_; // only kept when the dictionary is large
};

class Value {
public:
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow" // scoped enumerators cannot really shadow core::Bytes and friends
    enum class Kind { Null, Bool, Int, UInt, Double, String, Bytes, Array, Dictionary, Object };
#pragma GCC diagnostic pop

    Value() = default; // null
    Value(std::nullptr_t) {}
    Value(bool b) : v_(b) {}
    Value(int i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(unsigned u) : v_(static_cast<std::int64_t>(u)) {}
    Value(unsigned long u) : v_(static_cast<std::uint64_t>(u)) {}
    Value(unsigned long long u) : v_(static_cast<std::uint64_t>(u)) {}
    Value(double d) : v_(d) {}
    Value(float f) : v_(static_cast<double>(f)) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(std::string_view s) : v_(std::string(s)) {}
    Value(core::Bytes b) : v_(std::make_shared<const core::Bytes>(std::move(b))) {}
    Value(core::Array a) : v_(std::make_shared<const core::Array>(std::move(a))) {}
    Value(core::Dictionary d) : v_(std::make_shared<const core::Dictionary>(std::move(d))) {}
    Value(std::shared_ptr<Object> o);
    template <class T, class = std::enable_if_t<std::is_base_of_v<Object, T>>>
    Value(std::shared_ptr<T> o) : Value(std::static_pointer_cast<Object>(std::move(o))) {}

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool isNull() const { return kind() == Kind::Null; }
    bool isBool() const { return kind() == Kind::Bool; }
    // Integers and doubles; not booleans.
    bool isNumber() const { return kind() == Kind::Int || kind() == Kind::UInt || kind() == Kind::Double; }
    bool isInteger() const { return kind() == Kind::Int || kind() == Kind::UInt; }
    bool isString() const { return kind() == Kind::String; }
    bool isBytes() const { return kind() == Kind::Bytes; }
    bool isArray() const { return kind() == Kind::Array; }
    bool isDictionary() const { return kind() == Kind::Dictionary; }
    bool isObject() const { return kind() == Kind::Object; }

    // Typed access. Each requires the matching kind (checked; a mismatch aborts, it is a bug).
    bool asBool() const;
    std::int64_t asInt() const;
    std::uint64_t asUInt() const;
    double asDouble() const;
    const std::string& asString() const;
    const core::Bytes& asBytes() const;
    const core::Array& asArray() const;
    const core::Dictionary& asDictionary() const;
    const std::shared_ptr<Object>& asObject() const;

    // Lenient access: nullptr / empty when the kind differs.
    const std::string* string() const { return std::get_if<std::string>(&v_); }
    const core::Array* array() const;
    const core::Dictionary* dictionary() const;
    // The object cast to T, or nullptr.
    template <class T>
    std::shared_ptr<T> object() const {
        auto* o = std::get_if<std::shared_ptr<Object>>(&v_);
        return o ? std::dynamic_pointer_cast<T>(*o) : nullptr;
    }

    // Dictionary member, or nullptr when this is not a dictionary or has no such key.
    const Value* find(std::string_view key) const;

    // Deep equality. Numbers compare by numeric value across the integer and double kinds;
    // booleans only equal booleans; objects compare by identity.
    bool operator==(const Value& other) const;

private:
    using Storage = std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string,
                                 std::shared_ptr<const core::Bytes>, std::shared_ptr<const core::Array>,
                                 std::shared_ptr<const core::Dictionary>, std::shared_ptr<Object>>;
    Storage v_;
};

inline std::size_t Dictionary::size() const { return entries_.size(); }
inline bool Dictionary::empty() const { return entries_.empty(); }

} // namespace core
