#pragma once
// URLEncoding: parameters as a query string or as a form-encoded body.
//
// Where they go: the query string when the request's method (GET when it has none) is one of
// the nine tokens and either the destination is queryString, or it is methodDependent and the
// method is GET, HEAD or DELETE; the body otherwise, including for any unknown method.
// Query: "&" joins an existing query (even an empty one) and the new pairs; an empty dictionary
// leaves the URL as it is. Body: "Content-Type: application/x-www-form-urlencoded; charset=utf-8"
// unless the request has a Content-Type (in any spelling), and the pairs as UTF-8 bytes.
// Pairs: top-level keys sorted (by Unicode scalar values, i.e. UTF-8 byte order; no canonical
// normalisation), nested dictionaries as "k[n]", arrays as "k[]" or "k", booleans "1"/"0" or
// "true"/"false", everything else its text form (core::description). Keys and values are
// escaped by escape(): only ALPHA, DIGIT and "-._~/?" stay as they are.

#include "Libs/HTTPLayer/ParameterEncoding.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace http {

class URLEncoding final : public ParameterEncoding {
public:
    enum class Destination : std::uint8_t { methodDependent, queryString, httpBody };
    enum class ArrayEncoding : std::uint8_t { brackets, noBrackets };
    enum class BoolEncoding : std::uint8_t { numeric, literal };

    explicit URLEncoding(Destination destination = Destination::methodDependent,
                                   ArrayEncoding arrayEncoding = ArrayEncoding::brackets,
                                   BoolEncoding boolEncoding = BoolEncoding::numeric)
        : destination_(destination), arrayEncoding_(arrayEncoding), boolEncoding_(boolEncoding) {}

    // The ready-made values; each uses brackets and numeric booleans.
    static URLEncoding default_() { return URLEncoding(Destination::methodDependent); }
    static URLEncoding methodDependent() { return URLEncoding(Destination::methodDependent); }
    static URLEncoding queryString() { return URLEncoding(Destination::queryString); }
    static URLEncoding httpBody() { return URLEncoding(Destination::httpBody); }

    Destination destination() const { return destination_; }
    ArrayEncoding arrayEncoding() const { return arrayEncoding_; }
    BoolEncoding boolEncoding() const { return boolEncoding_; }

    Result<net::URLRequest> encode(const URLRequestConvertible& request,
                                   const std::optional<Parameters>& parameters) const override;

    // The escaped (key, value) pairs of one parameter, nested values flattened in order.
    std::vector<std::pair<std::string, std::string>> queryComponents(std::string_view key, const core::Value& value) const;
    // Percent-escapes all but ALPHA, DIGIT and "-._~/?" (UTF-8 bytes, upper-case hexadecimal).
    static std::string escape(std::string_view text);
    // The whole query text of a parameter dictionary ("a=1&b=2"), without a leading "?".
    std::string query(const Parameters& parameters) const;

private:
    void appendComponents(std::string key, const core::Value& value,
                          std::vector<std::pair<std::string, std::string>>& out) const;

    Destination destination_;
    ArrayEncoding arrayEncoding_;
    BoolEncoding boolEncoding_;
};

} // namespace http
