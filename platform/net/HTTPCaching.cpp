#include "platform/net/HTTPCaching.h"

#include "platform/core/Ascii.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>

namespace net::caching {

using core::ascii::equalsIgnoringCase;
using core::ascii::trimmed;

namespace {

constexpr double kHeuristicCap = 24 * 3600.0;
constexpr double kHeuristicFraction = 0.1;

// Calls `each` with every element of a comma-separated list, trimmed; commas inside quotes do
// not split.
template <class F>
void forEachListItem(std::string_view list, F&& each) {
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i <= list.size(); ++i) {
        if (i < list.size() && list[i] == '"') quoted = !quoted;
        if (i == list.size() || (list[i] == ',' && !quoted)) {
            auto item = trimmed(list.substr(start, i - start));
            if (!item.empty()) each(item);
            start = i + 1;
        }
    }
}

// A delta-seconds value; a value that is not one counts as 0, a huge one as the largest.
std::int64_t deltaSeconds(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) return INT64_MAX;
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) return 0;
    return value;
}

bool hasValidator(const HTTPHeaders& response) { return response.contains("ETag") || response.contains("Last-Modified"); }

} // namespace

CacheControl cacheControl(std::string_view field) {
    CacheControl cc;
    forEachListItem(field, [&](std::string_view directive) {
        auto equals = directive.find('=');
        auto name = trimmed(directive.substr(0, equals));
        auto value = equals == std::string_view::npos ? std::string_view() : trimmed(directive.substr(equals + 1));
        if (equalsIgnoringCase(name, "no-store")) cc.noStore = true;
        else if (equalsIgnoringCase(name, "no-cache")) cc.noCache = true;
        else if (equalsIgnoringCase(name, "must-revalidate")) cc.mustRevalidate = true;
        else if (equalsIgnoringCase(name, "public")) cc.isPublic = true;
        else if (equalsIgnoringCase(name, "private")) cc.isPrivate = true;
        // The first of a repeated directive counts.
        else if (equalsIgnoringCase(name, "max-age") && !cc.maxAge) cc.maxAge = deltaSeconds(value);
        else if (equalsIgnoringCase(name, "s-maxage") && !cc.sMaxAge) cc.sMaxAge = deltaSeconds(value);
    });
    return cc;
}

CacheControl requestCacheControl(const HTTPHeaders& request) {
    if (const std::string* field = request.find("Cache-Control")) return cacheControl(*field);
    CacheControl cc;
    if (const std::string* pragma = request.find("Pragma")) {
        forEachListItem(*pragma, [&](std::string_view item) { cc.noCache = cc.noCache || equalsIgnoringCase(item, "no-cache"); });
    }
    return cc;
}

CacheControl responseCacheControl(const HTTPHeaders& response) {
    const std::string* field = response.find("Cache-Control");
    return field ? cacheControl(*field) : CacheControl{};
}

std::optional<double> httpDate(std::string_view text) {
    std::string copy(trimmed(text));
    if (copy.empty()) return std::nullopt;
    time_t seconds = curl_getdate(copy.c_str(), nullptr);
    if (seconds == static_cast<time_t>(-1)) return std::nullopt;
    return static_cast<double>(seconds);
}

bool isCacheableByDefault(int status) {
    switch (status) {
    case 200: case 203: case 204: case 300: case 301: case 308: case 404: case 405: case 410: case 414: case 501: return true;
    default: return false;
    }
}

double freshnessLifetime(int status, const HTTPHeaders& response, double responseDate) {
    const CacheControl cc = responseCacheControl(response);
    if (cc.maxAge) return static_cast<double>(*cc.maxAge);
    const std::string* dateField = response.find("Date");
    const double date = (dateField ? httpDate(*dateField) : std::nullopt).value_or(responseDate);
    if (const std::string* expiresField = response.find("Expires")) {
        // An Expires that is not a date means "already expired".
        auto expires = httpDate(*expiresField);
        return expires ? std::max(0.0, *expires - date) : 0.0;
    }
    if (const std::string* lastModifiedField = response.find("Last-Modified"); lastModifiedField && (isCacheableByDefault(status) || cc.isPublic)) {
        auto lastModified = httpDate(*lastModifiedField);
        if (lastModified && date > *lastModified) return std::min(kHeuristicCap, kHeuristicFraction * (date - *lastModified));
    }
    return 0;
}

double currentAge(const HTTPHeaders& response, double requestDate, double responseDate, double now) {
    const std::string* ageField = response.find("Age");
    const double ageValue = ageField ? static_cast<double>(deltaSeconds(*ageField)) : 0.0;
    const std::string* dateField = response.find("Date");
    const double date = (dateField ? httpDate(*dateField) : std::nullopt).value_or(responseDate);
    const double apparentAge = std::max(0.0, responseDate - date);
    const double responseDelay = std::max(0.0, responseDate - requestDate);
    const double correctedInitialAge = std::max(apparentAge, ageValue + responseDelay);
    return correctedInitialAge + std::max(0.0, now - responseDate);
}

bool isFresh(const CachedURLResponse& stored, double now) {
    if (!stored.response) return false;
    const auto& fields = stored.response->allHeaderFields();
    return freshnessLifetime(stored.response->statusCode(), fields, stored.responseDate) >
           currentAge(fields, stored.requestDate, stored.responseDate, now);
}

bool mayStore(const HTTPHeaders& request, bool carriesAuthorization, int status, const HTTPHeaders& response) {
    if (requestCacheControl(request).noStore) return false;
    const CacheControl cc = responseCacheControl(response);
    if (cc.noStore) return false;
    if (!varyValues(response, request)) return false;
    if (carriesAuthorization && !(cc.isPublic || cc.sMaxAge || cc.mustRevalidate)) return false;
    const bool explicitFreshness = cc.maxAge || cc.sMaxAge || cc.isPublic || cc.isPrivate || response.contains("Expires");
    return isCacheableByDefault(status) || explicitFreshness;
}

bool isReusable(int status, const HTTPHeaders& response, double responseDate) {
    return hasValidator(response) || freshnessLifetime(status, response, responseDate) > 0;
}

std::optional<VaryValues> varyValues(const HTTPHeaders& response, const HTTPHeaders& request) {
    VaryValues values;
    const std::string* vary = response.find("Vary");
    if (!vary) return values;
    bool any = false;
    forEachListItem(*vary, [&](std::string_view name) {
        if (name == "*") any = true;
        else values.emplace_back(std::string(name), request.value(name));
    });
    if (any) return std::nullopt;
    return values;
}

bool varyMatches(const VaryValues& stored, const HTTPHeaders& request) {
    return std::all_of(stored.begin(), stored.end(), [&](const auto& field) {
        const std::string* now = request.find(field.first);
        if (!now || !field.second) return !now && !field.second;
        return trimmed(*now) == trimmed(*field.second);
    });
}

HTTPHeaders conditionalFields(const HTTPHeaders& stored) {
    HTTPHeaders fields;
    if (auto etag = stored.value("ETag")) fields.set("If-None-Match", std::move(etag));
    if (auto lastModified = stored.value("Last-Modified")) fields.set("If-Modified-Since", std::move(lastModified));
    return fields;
}

bool isOwnConditional(const HTTPHeaders& request) {
    for (const char* name : {"If-None-Match", "If-Modified-Since", "If-Match", "If-Unmodified-Since", "If-Range", "Range"})
        if (request.contains(name)) return true;
    return false;
}

HTTPHeaders mergedFields(const HTTPHeaders& stored, const HTTPHeaders& notModified) {
    HTTPHeaders merged = stored;
    for (const auto& [name, value] : notModified) {
        bool kept = false;
        for (const char* own : {"Content-Length", "Content-Encoding", "Content-Range", "Transfer-Encoding", "Connection", "Keep-Alive",
                                "Proxy-Connection", "TE", "Trailer", "Upgrade"})
            kept = kept || equalsIgnoringCase(name, own);
        if (!kept) merged.set(name, value);
    }
    return merged;
}

Use decide(CachePolicy policy, const HTTPHeaders& request, const CachedURLResponse* stored, double now) {
    if (policy == CachePolicy::reloadIgnoringLocalCacheData) return Use::load;
    const bool loadAllowed = policy != CachePolicy::returnCacheDataDontLoad;
    if (!stored || !stored->response) return loadAllowed ? Use::load : Use::fail;
    const auto& fields = stored->response->allHeaderFields();
    const CacheControl response = responseCacheControl(fields);
    const bool fresh = isFresh(*stored, now);
    const bool validator = hasValidator(fields);
    bool mustValidate;
    if (policy == CachePolicy::useProtocolCachePolicy) {
        const CacheControl asked = requestCacheControl(request);
        const bool tooOld = asked.maxAge && currentAge(fields, stored->requestDate, stored->responseDate, now) > static_cast<double>(*asked.maxAge);
        mustValidate = !fresh || response.noCache || asked.noCache || tooOld;
    } else {
        // Stored data regardless of its age, except where the response itself forbids using it
        // unvalidated: no-cache always, must-revalidate once stale.
        mustValidate = response.noCache || (response.mustRevalidate && !fresh);
    }
    if (!mustValidate) return Use::stored;
    if (!loadAllowed) return Use::fail;
    return validator ? Use::revalidate : Use::load;
}

bool isUnsafeMethod(std::string_view method) {
    return !(method == "GET" || method == "HEAD" || method == "OPTIONS" || method == "TRACE");
}

} // namespace net::caching
