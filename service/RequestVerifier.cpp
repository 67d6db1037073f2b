#include "service/RequestVerifier.h"

#include "network/MWUUID.h"
#include "service/ErrorCodes.h"

#include <cmath>

namespace service {

namespace {

struct RequiredHeader {
    const char* name;
    const char* value;  // nullptr: any non-empty value
    bool contains;      // the value need only contain `value`
};

// What the app sends with every request; the version and device identifier vary per install. The
// service answers JSON only, so the client must accept it.
constexpr RequiredHeader kRequiredHeaders[] = {
    {"Accept", "application/json", true}, {"version", nullptr, false}, {"deviceid", nullptr, false},
    {"platformtype", "2", false},         {"channel", "1000", false},
};

std::optional<Rejection> checkHeaders(const RequestVerifier::HeaderLookup& header) {
    for (const auto& required : kRequiredHeaders) {
        std::optional<std::string> value = header(required.name);
        if (!value || value->empty()) return Rejection{errcode::kHeader, std::string("缺少请求头 ") + required.name};
        const bool matches = !required.value || (required.contains ? value->find(required.value) != std::string::npos
                                                                   : *value == required.value);
        if (!matches) {
            return Rejection{errcode::kHeader, std::string("请求头 ") + required.name + " 的值无效"};
        }
    }
    return std::nullopt;
}

std::optional<Rejection> checkTimestamp(const core::Dictionary& params, double now) {
    const core::Value* value = params.find("random_time");
    const std::string* text = value ? value->string() : nullptr;
    // Whole seconds only, and short enough that the number cannot overflow.
    bool wellFormed = text && !text->empty() && text->size() <= 12;
    for (std::size_t i = 0; wellFormed && i < text->size(); ++i) wellFormed = (*text)[i] >= '0' && (*text)[i] <= '9';
    if (!wellFormed) return Rejection{errcode::kTimestamp, "缺少有效的请求时间"};

    const double sent = static_cast<double>(std::stoll(*text));
    if (std::fabs(sent - std::floor(now)) > static_cast<double>(RequestVerifier::kTimestampWindowSeconds)) {
        return Rejection{errcode::kTimestamp, "请求已过期，请检查设备时间"};
    }
    return std::nullopt;
}

std::optional<Rejection> checkSignature(const core::Dictionary& params, std::string_view salt) {
    const core::Value* sign = params.find("sign");
    if (!sign || !sign->string() || sign->string()->empty()) return Rejection{errcode::kSignature, "缺少签名"};
    core::Dictionary signedParams = params;
    signedParams.erase("sign");
    if (network::MWUUID::CreateMD5SignForPayWithDict(signedParams, salt) != *sign->string()) {
        return Rejection{errcode::kSignature, "签名错误"};
    }
    return std::nullopt;
}

} // namespace

std::optional<Rejection> RequestVerifier::verify(const HeaderLookup& header, const core::Dictionary& params,
                                                 std::string_view salt, double now) {
    if (auto rejection = checkHeaders(header)) return rejection;
    if (auto rejection = checkTimestamp(params, now)) return rejection;
    return checkSignature(params, salt);
}

} // namespace service
