// The sample service's reading of a request: the form body as the HTTP library parses it, the
// text parameters taken from it (a repeated name keeps its first value), and the signature and
// header checks. The input's first line holds the header values ("deviceid|version|
// platformtype|channel"), the rest is the body.
// Invariants: no crash or sanitizer report; a refusal always carries an error code.

#include "platform/core/testing/FuzzCheck.h"
#include "service/RequestVerifier.h"

#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto newline = input.find('\n');
    std::string_view head = input.substr(0, newline);
    std::string body(newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1));

    std::vector<std::string> values;
    for (std::size_t at = 0; values.size() < 4;) {
        auto bar = head.find('|', at);
        values.emplace_back(head.substr(at, bar == std::string_view::npos ? std::string_view::npos : bar - at));
        if (bar == std::string_view::npos) break;
        at = bar + 1;
    }
    static constexpr const char* kNames[] = {"deviceid", "version", "platformtype", "channel"};
    auto header = [&](std::string_view name) -> std::optional<std::string> {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (name == kNames[i]) return values[i];
        }
        return std::nullopt;
    };

    httplib::Params parsed;
    httplib::detail::parse_query_text(body, parsed);
    core::Dictionary params;
    for (const auto& [name, value] : parsed) {
        if (!params.contains(name)) params.set(name, core::Value(value));
    }
    for (std::string_view salt : {"", "MoVeOn*FiLeS3917"}) {
        auto rejection = service::RequestVerifier::verify(header, params, salt, 1.7e9);
        FUZZ_CHECK(!rejection || rejection->errcode != 0);
    }
    return 0;
}
