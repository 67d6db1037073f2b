// The form (URL) encoder, round trip. The input is a parameter dictionary: a JSON object when it
// reads as one, otherwise a form body split at '&' and '='. The first byte picks the array and
// boolean encodings and the method.
// Invariants: the query holds only ALPHA, DIGIT, "-._~/?", "%XX", "&" and "="; splitting it and
// undoing the escapes gives exactly the pairs a plain reference flattening gives; escape() undoes
// exactly; a body-bound request carries the query as its body.

#include "FuzzCheck.h"

#include "Libs/HTTPLayer/URLEncoding.h"

#include "platform/core/Json.h"
#include "platform/core/TextConversions.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The flattening rules written out plainly, unescaped.
void reference(const std::string& key, const core::Value& value, bool brackets, bool numeric, Pairs& out) {
    if (const auto* dictionary = value.dictionary()) {
        for (const auto& [k, v] : *dictionary) reference(key + "[" + k + "]", v, brackets, numeric, out);
    } else if (const auto* array = value.array()) {
        for (const auto& element : *array) reference(brackets ? key + "[]" : key, element, brackets, numeric, out);
    } else if (value.isBool()) {
        out.emplace_back(key, numeric ? (value.asBool() ? "1" : "0") : (value.asBool() ? "true" : "false"));
    } else {
        out.emplace_back(key, core::description(value));
    }
}

bool isAllowed(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("-._~/?").find(c) != std::string_view::npos;
}

bool isUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

core::Dictionary parameters(std::string_view text) {
    if (auto json = core::json::read(text); json.ok() && json->isDictionary()) return json->asDictionary();
    core::Dictionary dictionary;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = std::min(text.find('&', start), text.size());
        std::string_view pair = text.substr(start, end - start);
        std::size_t eq = pair.find('=');
        dictionary.set(std::string(pair.substr(0, eq)),
                       eq == std::string_view::npos ? core::Value(true) : core::Value(pair.substr(eq + 1)));
        start = end + 1;
    }
    return dictionary;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool brackets = (data[0] & 1u) == 0;
    const bool numeric = (data[0] & 2u) == 0;
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const core::Dictionary params = parameters(text);

    http::URLEncoding encoding(http::URLEncoding::Destination::methodDependent,
                               brackets ? http::URLEncoding::ArrayEncoding::brackets
                                        : http::URLEncoding::ArrayEncoding::noBrackets,
                               numeric ? http::URLEncoding::BoolEncoding::numeric
                                       : http::URLEncoding::BoolEncoding::literal);
    const std::string query = encoding.query(params);

    for (std::size_t i = 0; i < query.size(); ++i) {
        char c = query[i];
        if (c == '%') {
            FUZZ_CHECK(i + 2 < query.size() && isUpperHex(query[i + 1]) && isUpperHex(query[i + 2]));
            i += 2;
        } else {
            FUZZ_CHECK(isAllowed(c) || c == '&' || c == '=');
        }
    }

    Pairs expected;
    std::vector<std::string> keys = params.keys();
    std::sort(keys.begin(), keys.end());
    for (const auto& key : keys) reference(key, *params.find(key), brackets, numeric, expected);

    Pairs decoded;
    if (!expected.empty()) {
        std::size_t start = 0;
        while (start <= query.size()) {
            std::size_t end = std::min(query.find('&', start), query.size());
            std::string_view pair(query.data() + start, end - start);
            std::size_t eq = pair.find('=');
            FUZZ_CHECK(eq != std::string_view::npos);
            decoded.emplace_back(net::percentDecode(pair.substr(0, eq)), net::percentDecode(pair.substr(eq + 1)));
            start = end + 1;
        }
    }
    FUZZ_CHECK(decoded == expected);
    FUZZ_CHECK(net::percentDecode(http::URLEncoding::escape(text)) == text);

    net::URLRequest request(net::URL::parse("http://fuzz/form"));
    request.httpMethod = "POST";
    auto encoded = encoding.encode(request, params);
    FUZZ_CHECK(encoded.isSuccess());
    const auto& body = encoded.successValue().httpBody;
    FUZZ_CHECK(body && std::string(body->begin(), body->end()) == query);
    return 0;
}
