#include "platform/core/TextConversions.h"

#include "platform/core/Object.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace core {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool needsQuotes(std::string_view s) {
    if (s.empty()) return true;
    for (char c : s) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '_' || c == '$' ||
                     c == '.' || c == '/' || c == ':';
        if (!plain) return true;
    }
    return false;
}

std::string quoted(std::string_view s) {
    if (!needsQuotes(s)) return std::string(s);
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    out += '"';
    return out;
}

void describe(const Value& v, int level, std::string& out);

void indent(int level, std::string& out) { out.append(static_cast<std::size_t>(level) * 4, ' '); }

void describeNested(const Value& v, int level, std::string& out) {
    if (v.isString()) {
        out += quoted(v.asString());
    } else {
        describe(v, level, out);
    }
}

void describe(const Value& v, int level, std::string& out) {
    switch (v.kind()) {
    case Value::Kind::Array: {
        const auto& a = v.asArray();
        out += "(\n";
        for (std::size_t i = 0; i < a.size(); ++i) {
            indent(level + 1, out);
            describeNested(a[i], level + 1, out);
            if (i + 1 < a.size()) out += ',';
            out += '\n';
        }
        indent(level, out);
        out += ')';
        break;
    }
    case Value::Kind::Dictionary: {
        out += "{\n";
        for (const auto& [key, value] : v.asDictionary()) {
            indent(level + 1, out);
            out += quoted(key);
            out += " = ";
            describeNested(value, level + 1, out);
            out += ";\n";
        }
        indent(level, out);
        out += '}';
        break;
    }
    default: out += description(v);
    }
}

template <class Int>
Int leadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate as a negative number so that the type's minimum is reachable.
    Int value = 0;
    bool overflow = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        Int digit = static_cast<Int>(text[i] - '0');
        if (value < (std::numeric_limits<Int>::min() + digit) / 10) {
            overflow = true;
            break;
        }
        value = static_cast<Int>(value * 10 - digit);
    }
    if (overflow) return negative ? std::numeric_limits<Int>::min() : std::numeric_limits<Int>::max();
    if (negative) return value;
    return value == std::numeric_limits<Int>::min() ? std::numeric_limits<Int>::max() : static_cast<Int>(-value);
}

std::int64_t saturatingTruncate(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 9.2233720368547758e18) return std::numeric_limits<std::int64_t>::max();
    if (d <= -9.2233720368547758e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}

} // namespace

std::string formatDouble(double d) {
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
    if (d == 0) return std::signbit(d) ? "-0" : "0";
    char buf[64];
    // The shortest digits that read back exactly, laid out the way printf's %g lays them out.
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, d);
        if (std::strtod(buf, nullptr) == d) break;
    }
    return buf;
}

std::string formatDoubleWithFraction(double d) {
    if (!std::isfinite(d)) return formatDouble(d);
    // The shortest digits that read back exactly, in plain notation where that is shorter.
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
    std::string text(buf, ec == std::errc{} ? end : buf);
    if (text.find('.') != std::string::npos) return text;
    size_t exponent = text.find('e');
    text.insert(exponent == std::string::npos ? text.size() : exponent, ".0");
    return text;
}

std::string description(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Null: return "<null>";
    case Value::Kind::Bool: return value.asBool() ? "1" : "0";
    case Value::Kind::Int: return std::to_string(value.asInt());
    case Value::Kind::UInt: return std::to_string(value.asUInt());
    case Value::Kind::Double: return formatDouble(value.asDouble());
    case Value::Kind::String: return value.asString();
    case Value::Kind::Bytes: {
        static const char* hex = "0123456789abcdef";
        std::string out = "<";
        const auto& b = value.asBytes();
        for (std::size_t i = 0; i < b.size(); ++i) {
            if (i > 0 && i % 4 == 0) out += ' ';
            out += hex[b[i] >> 4];
            out += hex[b[i] & 15];
        }
        out += '>';
        return out;
    }
    case Value::Kind::Array:
    case Value::Kind::Dictionary: {
        std::string out;
        describe(value, 0, out);
        return out;
    }
    case Value::Kind::Object: return value.asObject()->description();
    }
    return {};
}

std::int64_t longLongValue(std::string_view text) { return leadingInteger<std::int64_t>(text); }
std::int32_t intValue(std::string_view text) { return leadingInteger<std::int32_t>(text); }

double doubleValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    std::string rest(text.substr(i));
    // strtod alone would also take hexadecimal numbers, "inf" and "nan"; only decimal numbers count.
    std::size_t j = 0;
    if (j < rest.size() && (rest[j] == '+' || rest[j] == '-')) ++j;
    if (j >= rest.size() || !(isDigit(rest[j]) || (rest[j] == '.' && j + 1 < rest.size() && isDigit(rest[j + 1]))))
        return 0;
    if (rest[j] == '0' && j + 1 < rest.size() && (rest[j + 1] == 'x' || rest[j + 1] == 'X'))
        return 0;
    return std::strtod(rest.c_str(), nullptr);
}

bool boolValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    while (i < text.size() && text[i] == '0') ++i;
    if (i >= text.size()) return false;
    char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::int64_t longLongValue(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Bool: return value.asBool() ? 1 : 0;
    case Value::Kind::Int: return value.asInt();
    case Value::Kind::UInt:
        return value.asUInt() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                   ? std::numeric_limits<std::int64_t>::max()
                   : static_cast<std::int64_t>(value.asUInt());
    case Value::Kind::Double: return saturatingTruncate(value.asDouble());
    case Value::Kind::String: return longLongValue(value.asString());
    default: return 0;
    }
}

double doubleValue(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Bool: return value.asBool() ? 1 : 0;
    case Value::Kind::Int: return static_cast<double>(value.asInt());
    case Value::Kind::UInt: return static_cast<double>(value.asUInt());
    case Value::Kind::Double: return value.asDouble();
    case Value::Kind::String: return doubleValue(value.asString());
    default: return 0;
    }
}

bool boolValue(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Bool: return value.asBool();
    case Value::Kind::Int: return value.asInt() != 0;
    case Value::Kind::UInt: return value.asUInt() != 0;
    case Value::Kind::Double: return value.asDouble() != 0;
    case Value::Kind::String: return boolValue(value.asString());
    default: return false;
    }
}

} // namespace core
