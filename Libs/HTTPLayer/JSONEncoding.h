#pragma once
// JSONEncoding: parameters (or any JSON value) as a JSON body, with
// "Content-Type: application/json" unless the request has one. A value the JSON writer refuses
// fails with HTTPError::parameterEncodingFailed(jsonEncodingFailed) carrying the writer's error.

#include "Libs/HTTPLayer/ParameterEncoding.h"

#include "platform/core/Json.h"

namespace http {

class JSONEncoding final : public ParameterEncoding {
public:
    // `options` are core::json::WritingOptions bits.
    explicit JSONEncoding(unsigned options = 0) : options_(options) {}

    static JSONEncoding default_() { return JSONEncoding(); }
    static JSONEncoding prettyPrinted() { return JSONEncoding(core::json::PrettyPrinted); }

    unsigned options() const { return options_; }

    Result<net::URLRequest> encode(const URLRequestConvertible& request,
                                   const std::optional<Parameters>& parameters) const override;
    // The same for any JSON value (an array, a dictionary, ...).
    Result<net::URLRequest> encodeJSONObject(const URLRequestConvertible& request,
                                             const std::optional<core::Value>& jsonObject) const;

private:
    unsigned options_;
};

} // namespace http
