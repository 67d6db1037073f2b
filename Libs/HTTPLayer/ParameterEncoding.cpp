#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/JSONEncoding.h"
#include "Libs/HTTPLayer/PropertyListEncoding.h"
#include "Libs/HTTPLayer/URLEncoding.h"

#include "platform/core/TextConversions.h"

#include <algorithm>

namespace http {

namespace {

// RFC 3986 section 3.4 without the general and sub-delimiters: what a query key or value keeps.
constexpr std::string_view kQueryValueAllowed =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~/?";

void setBody(net::URLRequest& request, std::string_view contentType, core::Bytes body) {
    if (!request.value("Content-Type")) request.setValue(std::string(contentType), "Content-Type");
    request.httpBody = std::move(body);
}

} // namespace

// URLEncoding

std::string URLEncoding::escape(std::string_view text) { return net::percentEscape(text, kQueryValueAllowed); }

void URLEncoding::appendComponents(std::string key, const core::Value& value,
                                   std::vector<std::pair<std::string, std::string>>& out) const {
    if (const auto* dictionary = value.dictionary()) {
        for (const auto& [nestedKey, nestedValue] : *dictionary) appendComponents(key + "[" + nestedKey + "]", nestedValue, out);
    } else if (const auto* array = value.array()) {
        for (const auto& element : *array) {
            appendComponents(arrayEncoding_ == ArrayEncoding::brackets ? key + "[]" : key, element, out);
        }
    } else if (value.isBool()) {
        const bool b = value.asBool();
        std::string text = boolEncoding_ == BoolEncoding::numeric ? (b ? "1" : "0") : (b ? "true" : "false");
        out.emplace_back(escape(key), escape(text));
    } else {
        // Numbers by their decimal text, texts unchanged, anything else by its description.
        out.emplace_back(escape(key), escape(core::description(value)));
    }
}

std::vector<std::pair<std::string, std::string>> URLEncoding::queryComponents(std::string_view key,
                                                                              const core::Value& value) const {
    std::vector<std::pair<std::string, std::string>> out;
    appendComponents(std::string(key), value, out);
    return out;
}

std::string URLEncoding::query(const Parameters& parameters) const {
    std::vector<std::string> keys = parameters.keys();
    std::sort(keys.begin(), keys.end());
    std::vector<std::pair<std::string, std::string>> components;
    for (const auto& key : keys) appendComponents(key, *parameters.find(key), components);
    std::string text;
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i > 0) text += "&";
        text += components[i].first + "=" + components[i].second;
    }
    return text;
}

Result<net::URLRequest> URLEncoding::encode(const URLRequestConvertible& convertible,
                                            const std::optional<Parameters>& parameters) const {
    auto converted = convertible.asURLRequest();
    if (converted.isFailure() || !parameters) return converted;
    net::URLRequest request = converted.successValue();

    auto method = methodForName(request.method());
    bool inQuery = false;
    if (method) {
        const bool methodInQuery =
            *method == HTTPMethod::get || *method == HTTPMethod::head || *method == HTTPMethod::delete_;
        inQuery = destination_ == Destination::queryString ||
                  (destination_ == Destination::methodDependent && methodInQuery);
    }

    if (inQuery) {
        if (!request.url) return HTTPError::parameterEncodingFailed(ParameterEncodingFailureReason::missingURL());
        net::URLComponents components(*request.url);
        if (parameters->empty()) return request;
        const auto& existing = components.percentEncodedQuery();
        std::string newQuery = (existing ? *existing + "&" : std::string()) + query(*parameters);
        components.setPercentEncodedQuery(newQuery);
        // Pieces that no longer form a URL leave the request as it was, like an unsplittable URL.
        if (auto url = components.url()) request.url = *url;
        return request;
    }

    std::string body = query(*parameters);
    setBody(request, "application/x-www-form-urlencoded; charset=utf-8", core::Bytes(body.begin(), body.end()));
    return request;
}

// JSONEncoding

Result<net::URLRequest> JSONEncoding::encode(const URLRequestConvertible& request,
                                             const std::optional<Parameters>& parameters) const {
    if (!parameters) return encodeJSONObject(request, std::nullopt);
    return encodeJSONObject(request, core::Value(*parameters));
}

Result<net::URLRequest> JSONEncoding::encodeJSONObject(const URLRequestConvertible& convertible,
                                                       const std::optional<core::Value>& jsonObject) const {
    auto converted = convertible.asURLRequest();
    if (converted.isFailure() || !jsonObject) return converted;
    net::URLRequest request = converted.successValue();
    auto json = core::json::write(*jsonObject, options_);
    if (!json) {
        return HTTPError::parameterEncodingFailed(ParameterEncodingFailureReason::jsonEncodingFailed(json.error()));
    }
    setBody(request, "application/json", core::Bytes(json->begin(), json->end()));
    return request;
}

// PropertyListEncoding

Result<net::URLRequest> PropertyListEncoding::encode(const URLRequestConvertible& convertible,
                                                     const std::optional<Parameters>& parameters) const {
    auto converted = convertible.asURLRequest();
    if (converted.isFailure() || !parameters) return converted;
    net::URLRequest request = converted.successValue();
    auto plist = core::plist::write(core::Value(*parameters), format_);
    if (!plist) {
        return HTTPError::parameterEncodingFailed(
            ParameterEncodingFailureReason::propertyListEncodingFailed(plist.error()));
    }
    setBody(request, "application/x-plist", std::move(*plist));
    return request;
}

} // namespace http
