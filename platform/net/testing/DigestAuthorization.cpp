#include "platform/net/testing/DigestAuthorization.h"

#include "platform/core/Digest.h"

namespace net::testkit {

std::map<std::string, std::string> digestParameters(const std::string& field) {
    std::map<std::string, std::string> out;
    if (field.rfind("Digest ", 0) != 0) return out;
    std::size_t i = 7;
    while (i < field.size()) {
        while (i < field.size() && (field[i] == ' ' || field[i] == ',')) ++i;
        const std::size_t eq = field.find('=', i);
        if (eq == std::string::npos) break;
        std::string name = field.substr(i, eq - i);
        std::string value;
        i = eq + 1;
        if (i < field.size() && field[i] == '"') {
            const std::size_t close = field.find('"', i + 1);
            value = field.substr(i + 1, close - i - 1);
            i = close == std::string::npos ? field.size() : close + 1;
        } else {
            const std::size_t stop = field.find(',', i);
            value = field.substr(i, stop == std::string::npos ? std::string::npos : stop - i);
            i = stop == std::string::npos ? field.size() : stop;
        }
        out[name] = value;
    }
    return out;
}

bool digestAnswerMatches(const RecordedRequest& request, const std::string& user, const std::string& password, const std::string& nonce) {
    auto p = digestParameters(request.headers.value("Authorization").value_or(""));
    if (p.empty()) return false;
    const std::string ha1 = core::md5Hex(user + ":" + p["realm"] + ":" + password);
    const std::string ha2 = core::md5Hex(request.method + ":" + p["uri"]);
    const std::string expected = core::md5Hex(ha1 + ":" + p["nonce"] + ":" + p["nc"] + ":" + p["cnonce"] + ":" + p["qop"] + ":" + ha2);
    return p["username"] == user && p["nonce"] == nonce && p["uri"] == request.target && p["response"] == expected;
}

} // namespace net::testkit
