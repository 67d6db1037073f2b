#include "platform/core/Log.h"

#include <gtest/gtest.h>

namespace {

TEST(LogValue, LongValuesAreCutAtTwoHundredCharactersAndSayTheirLength) {
    const std::string ideographs = [] {
        std::string s;
        for (int i = 0; i < 300; ++i) s += "字";  // 3 bytes each
        return s;
    }();
    struct Case {
        const char* what;
        std::string value;
        std::string logged;
    } cases[] = {
        {"short", "FF5B7", "FF5B7"},
        {"exactly the limit", std::string(200, 'a'), std::string(200, 'a')},
        {"one past", std::string(201, 'a'), std::string(200, 'a') + "\u2026 (201 bytes)"},
        {"4 MB", std::string(4 << 20, 'x'), std::string(200, 'x') + "\u2026 (4194304 bytes)"},
        {"never inside a character", ideographs, ideographs.substr(0, 600) + "\u2026 (900 bytes)"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(core::logValue(c.value), c.logged) << c.what;
}

} // namespace
