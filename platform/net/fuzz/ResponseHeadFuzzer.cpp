// A response's head as the server sends it: the input's lines are header fields ("Name: value"),
// the first line the status line; the response reads its MIME type, charset, length and file
// name from them.
// Invariants: no crash or sanitizer report; the length is -1 or not negative.

#include "platform/core/Ascii.h"
#include "platform/core/testing/FuzzCheck.h"
#include "platform/net/HTTPURLResponse.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    int status = 200;
    std::string version = "HTTP/1.1";
    net::HTTPHeaders headers;
    bool first = true;
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (first) {
            first = false;
            auto space = line.find(' ');
            version = std::string(line.substr(0, space));
            if (space != std::string_view::npos) {
                int code = 0;
                for (char c : line.substr(space + 1, 3)) code = c >= '0' && c <= '9' ? code * 10 + (c - '0') : code;
                status = code;
            }
            continue;
        }
        if (auto colon = line.find(':'); colon != std::string_view::npos)
            headers.add(core::ascii::trimmed(line.substr(0, colon)), core::ascii::trimmed(line.substr(colon + 1)));
    }
    auto url = net::URL::parse("http://fuzz.example/dir/file.json");
    net::HTTPURLResponse response(*url, status, version, headers);
    FUZZ_CHECK(response.expectedContentLength() >= -1);
    (void)response.mimeType();
    (void)response.textEncodingName();
    (void)response.suggestedFilename();
    (void)response.description();
    (void)net::HTTPURLResponse::localizedStringForStatusCode(status);
    return 0;
}
