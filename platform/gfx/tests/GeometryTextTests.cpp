#include "platform/core/TextConversions.h"
#include "platform/gfx/GeometryText.h"

#include <gtest/gtest.h>

#include <limits>

namespace gfx {
namespace {

TEST(gfx_GeometryText, PointsFromText) {
    struct Case {
        const char* text;
        Point expected;
    };
    const Case cases[] = {
        {"{20.0,40.0}", {20, 40}}, {"{-20.0,40.0}", {-20, 40}}, {"{0,0}", {0, 0}}, {"{ 1.5 , -2 }", {1.5, -2}},
        {"{1e2,3}", {100, 3}},     {"", {0, 0}},                {"1,2", {0, 0}},  {"{1,2", {0, 0}},
        {"{x,2}", {0, 0}},         {"{1;2}", {0, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(pointFromString(c.text), c.expected) << c.text;
}

TEST(gfx_GeometryText, NumbersAlwaysCarryAFraction) {
    struct Case {
        double value;
        const char* expected;
    };
    const Case cases[] = {
        {20, "20.0"}, {7.5, "7.5"}, {-40, "-40.0"}, {0, "0.0"}, {0.1, "0.1"}, {1e20, "1.0e+20"},
        {2.5e-7, "2.5e-07"}, {std::numeric_limits<double>::infinity(), "inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(core::formatDoubleWithFraction(c.value), c.expected) << c.value;
        EXPECT_EQ(std::strtod(core::formatDoubleWithFraction(c.value).c_str(), nullptr), c.value);
    }
    // The shortest text that reads back exactly.
    EXPECT_EQ(core::formatDoubleWithFraction(0.1 + 0.2), "0.30000000000000004");
}

} // namespace
} // namespace gfx
