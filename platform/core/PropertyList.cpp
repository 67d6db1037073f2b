#include "platform/core/PropertyList.h"

#include "platform/core/PlistBudget.h"

#include <plist/plist.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace core::plist {

namespace {

Error makeError(long long code, std::string description) {
    return Error{std::string(kErrorDomain), code, std::move(description), {}};
}

struct NodeDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Node = std::unique_ptr<void, NodeDeleter>;

// A text as UTF-8: the binary format marks texts ASCII or UTF-16, but a damaged or hostile file
// can put any byte in an "ASCII" one. Such bytes are read as Latin-1, so that the value can be
// written again (an XML list cannot hold invalid UTF-8) rather than lost at the next save.
std::string asUtf8(std::string text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool ok = n > 0 && i + n <= text.size();
        for (std::size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (ok && n > 1) {
            // No overlong forms, surrogates or code points past U+10FFFF.
            std::uint32_t cp = c & (0x7F >> n);
            for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
            ok = cp >= kMin[n] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        }
        if (!ok) {
            std::string out;
            for (unsigned char b : text) {
                if (b < 0x80) {
                    out += static_cast<char>(b);
                } else {
                    out += static_cast<char>(0xC0 | (b >> 6));
                    out += static_cast<char>(0x80 | (b & 0x3F));
                }
            }
            return out;
        }
        i += n;
    }
    return text;
}

std::string takeString(char* s) {
    std::string out = s ? s : "";
    std::free(s);
    return out;
}

Expected<Value> fromNode(plist_t node, int depth) {
    if (depth > kMaxDepth) return makeError(3840, "Property list is nested too deeply");
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        // The container stores integers as 64-bit patterns; as in the binary format itself, a
        // pattern above the signed maximum is a negative number.
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return Value(static_cast<long long>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING: {
        // By pointer and length: plist_get_string_val() asserts (aborts the process) when the
        // text holds a NUL byte, which an untrusted XML document can contain.
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        return Value(s ? asUtf8(std::string(s, length)) : std::string());
    }
    case PLIST_DATA: {
        char* data = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &data, &length);
        Bytes bytes(reinterpret_cast<uint8_t*>(data), reinterpret_cast<uint8_t*>(data) + length);
        std::free(data);
        return Value(std::move(bytes));
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return Value(static_cast<double>(sec) + usec / 1e6);
    }
    case PLIST_UID: {
        uint64_t uid = 0;
        plist_get_uid_val(node, &uid);
        return Value(Dictionary{{"CF$UID", Value(static_cast<unsigned long long>(uid))}});
    }
    case PLIST_ARRAY: {
        Array out;
        out.reserve(plist_array_get_size(node));
        // By iterator: fetching the n-th item walks the list from its start each time, which a
        // long array turns into quadratic time.
        plist_array_iter it = nullptr;
        plist_array_new_iter(node, &it);
        for (;;) {
            plist_t item = nullptr;
            plist_array_next_item(node, it, &item);
            if (!item) break;
            auto v = fromNode(item, depth + 1);
            if (!v) {
                std::free(it);
                return v.error();
            }
            out.push_back(std::move(*v));
        }
        std::free(it);
        return Value(std::move(out));
    }
    case PLIST_DICT: {
        Dictionary out;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, it, &key, &item);
            if (!item) {
                std::free(key);
                break;
            }
            std::string k = asUtf8(takeString(key));
            auto v = fromNode(item, depth + 1);
            if (!v) {
                std::free(it);
                return v.error();
            }
            out.set(std::move(k), std::move(*v));
        }
        std::free(it);
        return Value(std::move(out));
    }
    default: break;
    }
    return makeError(3840, "Property list holds an unsupported element");
}

Expected<Node> toNode(const Value& v, int depth) {
    if (depth > kMaxDepth) return makeError(3851, "Property list invalid: nested too deeply");
    switch (v.kind()) {
    case Value::Kind::Bool: return Node(plist_new_bool(v.asBool() ? 1 : 0));
    case Value::Kind::Int: return Node(plist_new_uint(static_cast<uint64_t>(v.asInt())));
    case Value::Kind::UInt: return Node(plist_new_uint(v.asUInt()));
    case Value::Kind::Double: return Node(plist_new_real(v.asDouble()));
    case Value::Kind::String: return Node(plist_new_string(v.asString().c_str()));
    case Value::Kind::Bytes: {
        const auto& b = v.asBytes();
        return Node(plist_new_data(reinterpret_cast<const char*>(b.data()), b.size()));
    }
    case Value::Kind::Array: {
        Node out(plist_new_array());
        for (const auto& e : v.asArray()) {
            auto child = toNode(e, depth + 1);
            if (!child) return child.error();
            plist_array_append_item(out.get(), child->release());
        }
        return out;
    }
    case Value::Kind::Dictionary: {
        const Value* uid = v.asDictionary().size() == 1 ? v.asDictionary().find("CF$UID") : nullptr;
        if (uid && uid->isInteger())
            return Node(plist_new_uid(uid->kind() == Value::Kind::UInt ? uid->asUInt() : static_cast<uint64_t>(uid->asInt())));
        Node out(plist_new_dict());
        for (const auto& [key, value] : v.asDictionary()) {
            auto child = toNode(value, depth + 1);
            if (!child) return child.error();
            plist_dict_set_item(out.get(), key.c_str(), child->release());
        }
        return out;
    }
    case Value::Kind::Null: return makeError(3851, "Property list invalid: property lists cannot contain null");
    case Value::Kind::Object: return makeError(3851, "Property list invalid: property lists cannot contain objects");
    }
    return makeError(3851, "Property list invalid");
}

bool hasEmbeddedNul(const Value& v) {
    if (auto* s = v.string()) return s->find('\0') != std::string::npos;
    if (auto* a = v.array()) {
        for (const auto& e : *a) if (hasEmbeddedNul(e)) return true;
    }
    if (auto* d = v.dictionary()) {
        for (const auto& [k, e] : *d) if (k.find('\0') != std::string::npos || hasEmbeddedNul(e)) return true;
    }
    return false;
}

} // namespace

Expected<ReadResult> read(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > UINT32_MAX) return makeError(3840, "Property list is empty or too large");
    // Shared references in the binary format would be expanded while parsing: refuse a list
    // that would grow past its budget, or nest too deeply, before anything is built.
    const auto budget = ExpansionBudget::forInput(bytes.size());
    if (auto problem = checkBinaryExpansion(bytes, budget)) return makeError(3840, *problem);
    // The XML parser underneath builds a tree as deep as the text nests and frees it (also when
    // the text turns out to be broken) recursively: the nesting is bounded before it starts.
    if (auto problem = checkXmlNesting(bytes, budget)) return makeError(3840, *problem);
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root) return makeError(3840, "The data is not a property list");
    Node owner(root);
    Format format = plist_is_binary(bytes.data(), static_cast<uint32_t>(bytes.size())) ? Format::Binary : Format::Xml;
    auto v = fromNode(root, 0);
    if (!v) return v.error();
    return ReadResult{std::move(*v), format};
}

bool isValid(const Value& value) { return toNode(value, 0).ok() && !hasEmbeddedNul(value); }

Expected<Bytes> write(const Value& value, Format format) {
    if (format == Format::OpenStep) return makeError(3851, "Property list format 1 is not supported for writing");
    // Texts are handed to the C library as C strings; a NUL inside one would silently cut it.
    if (hasEmbeddedNul(value)) return makeError(3851, "Property list invalid: text contains a NUL character");
    auto node = toNode(value, 0);
    if (!node) return node.error();
    char* out = nullptr;
    uint32_t length = 0;
    if (format == Format::Binary) {
        plist_to_bin(node->get(), &out, &length);
    } else {
        plist_to_xml(node->get(), &out, &length);
    }
    if (!out) return makeError(3851, "Property list could not be written");
    Bytes bytes(reinterpret_cast<uint8_t*>(out), reinterpret_cast<uint8_t*>(out) + length);
    if (format == Format::Binary) plist_to_bin_free(out); else plist_to_xml_free(out);
    return bytes;
}

} // namespace core::plist

