#include "platform/core/Json.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace core::json {

namespace {

Error makeError(long long code, std::string description) {
    return Error{std::string(kErrorDomain), code, std::move(description), {}};
}

// Builds Values straight from the parser's events, without an intermediate nlohmann document.
class ValueBuilder : public nlohmann::json_sax<nlohmann::json> {
public:
    bool null() override { return add(Value()); }
    bool boolean(bool b) override { return add(Value(b)); }
    bool number_integer(number_integer_t i) override { return add(Value(static_cast<long long>(i))); }
    bool number_unsigned(number_unsigned_t u) override {
        if (u <= static_cast<number_unsigned_t>(INT64_MAX)) return add(Value(static_cast<long long>(u)));
        return add(Value(static_cast<unsigned long long>(u)));
    }
    bool number_float(number_float_t d, const string_t&) override { return add(Value(d)); }
    bool string(string_t& s) override { return add(Value(std::move(s))); }
    bool binary(binary_t&) override { return fail("binary values are not JSON"); }

    bool start_object(std::size_t) override {
        if (!enter()) return false;
        stack_.push_back(Frame{true, {}, {}, {}});
        return true;
    }
    bool key(string_t& k) override {
        stack_.back().key = std::move(k);
        return true;
    }
    bool end_object() override {
        Frame f = std::move(stack_.back());
        stack_.pop_back();
        return add(Value(std::move(f.dictionary)));
    }
    bool start_array(std::size_t) override {
        if (!enter()) return false;
        stack_.push_back(Frame{false, {}, {}, {}});
        return true;
    }
    bool end_array() override {
        Frame f = std::move(stack_.back());
        stack_.pop_back();
        return add(Value(std::move(f.array)));
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) override {
        error_ = "JSON text is not valid at byte " + std::to_string(position) + ": " + ex.what();
        return false;
    }

    std::optional<Value> result;
    std::string error_;

private:
    struct Frame {
        bool isObject;
        std::string key;
        Array array;
        Dictionary dictionary;
    };

    bool enter() {
        if (stack_.size() >= static_cast<std::size_t>(kMaxDepth)) return fail("JSON text is nested too deeply");
        return true;
    }
    bool fail(std::string why) {
        error_ = std::move(why);
        return false;
    }
    bool add(Value v) {
        if (stack_.empty()) {
            result = std::move(v);
        } else if (stack_.back().isObject) {
            stack_.back().dictionary.set(std::move(stack_.back().key), std::move(v));
        } else {
            stack_.back().array.push_back(std::move(v));
        }
        return true;
    }

    std::vector<Frame> stack_;
};

Expected<nlohmann::ordered_json> toJson(const Value& v, unsigned options, int depth) {
    if (depth > kMaxDepth) return makeError(3851, "Invalid JSON value: nested too deeply");
    switch (v.kind()) {
    case Value::Kind::Null: return nlohmann::ordered_json(nullptr);
    case Value::Kind::Bool: return nlohmann::ordered_json(v.asBool());
    case Value::Kind::Int: return nlohmann::ordered_json(v.asInt());
    case Value::Kind::UInt: return nlohmann::ordered_json(v.asUInt());
    case Value::Kind::Double:
        if (!std::isfinite(v.asDouble())) return makeError(3851, "Invalid number value (infinite or not a number) in JSON write");
        return nlohmann::ordered_json(v.asDouble());
    case Value::Kind::String: return nlohmann::ordered_json(v.asString());
    case Value::Kind::Array: {
        auto out = nlohmann::ordered_json::array();
        for (const auto& e : v.asArray()) {
            auto j = toJson(e, options, depth + 1);
            if (!j) return j.error();
            out.push_back(std::move(*j));
        }
        return out;
    }
    case Value::Kind::Dictionary: {
        auto out = nlohmann::ordered_json::object();
        std::vector<const Dictionary::Entry*> entries;
        for (const auto& e : v.asDictionary()) entries.push_back(&e);
        if (options & SortedKeys)
            std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->first < b->first; });
        for (auto* e : entries) {
            auto j = toJson(e->second, options, depth + 1);
            if (!j) return j.error();
            out[e->first] = std::move(*j);
        }
        return out;
    }
    case Value::Kind::Bytes:
    case Value::Kind::Object: break;
    }
    return makeError(3851, "Invalid type in JSON write");
}

} // namespace

Expected<Value> read(std::string_view bytes, unsigned options) {
    ValueBuilder builder;
    bool ok = false;
    try {
        ok = nlohmann::json::sax_parse(bytes.begin(), bytes.end(), &builder, nlohmann::json::input_format_t::json, true);
    } catch (const std::exception& e) {
        builder.error_ = e.what();
    }
    if (!ok || !builder.result) {
        return makeError(3840, builder.error_.empty() ? "JSON text is not valid" : builder.error_);
    }
    if (!(options & AllowFragments) && !builder.result->isArray() && !builder.result->isDictionary()) {
        return makeError(3840, "JSON text did not start with array or object and option to allow fragments not set.");
    }
    return std::move(*builder.result);
}

Expected<std::string> write(const Value& value, unsigned options) {
    if (!(options & FragmentsAllowed) && !value.isArray() && !value.isDictionary())
        return makeError(3851, "Invalid top-level type in JSON write");
    auto j = toJson(value, options, 0);
    if (!j) return j.error();
    try {
        return j->dump((options & PrettyPrinted) ? 2 : -1);
    } catch (const std::exception& e) {
        // Texts that are not valid UTF-8 cannot be written as JSON.
        return makeError(3851, std::string("Invalid text in JSON write: ") + e.what());
    }
}

} // namespace core::json
