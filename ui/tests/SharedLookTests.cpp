#include "platform/ui/Application.h"
#include "platform/ui/tests/UiTest.h"
#include "ui/c.h"

#include <gtest/gtest.h>

namespace kit {
namespace {

TEST(SharedLook, HexToIntFollowsTheByteRule) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {"7F", 127}, {"ff", 255}, {"", 0}, {"00", 0}, {"a", 10},
        // Not validated: 'G' (71) gives 16 and 'z' upper-cased to 'Z' (90) gives 35.
        {"G", 16}, {"zz", 35 * 16 + 35}, {"-1", -3 * 16 + 1},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(c::hexToInt(text), value) << '"' << text << '"';
}

TEST(SharedLook, ColorFromHexAcceptsSixDigitsWithOptionalHashElseFallsBack) {
    const gfx::Color pink{1, 91 / 255.0, 120 / 255.0, 1};
    const gfx::Color teal{19 / 255.0, 181 / 255.0, 177 / 255.0, 1};
    const std::pair<const char*, gfx::Color> cases[] = {
        {"FF5B78", pink},
        {"ff5b78", pink},
        {"#FF5B78", pink},
        {"13b5b1", teal},
        {"13B5B1", teal},
        // Anything but six hexadecimal digits gives the fixed fallback colour.
        {"", c::fallbackColor()},
        {"#", c::fallbackColor()},
        {"FFF", c::fallbackColor()},
        {"#FFF", c::fallbackColor()},
        {"FF5B7", c::fallbackColor()},
        {"FF5B788", c::fallbackColor()},
        {"GG0000", c::fallbackColor()},
        {"##FF5B78", c::fallbackColor()},
        {"红色红色", c::fallbackColor()},
    };
    for (const auto& [text, colour] : cases) EXPECT_EQ(c::colorFromHex(text), colour) << '"' << text << '"';
}

TEST(SharedLook, RefreshIdleAsksTheFooterFirstAndCountsIdleAndNoMoreData) {
    struct Case {
        std::optional<RefreshStates> scrollView;
        bool idle;
    };
    const Case cases[] = {
        {std::nullopt, true},
        {RefreshStates{}, true},
        {RefreshStates{3, std::nullopt}, false},
        {RefreshStates{1, 5}, true},
        {RefreshStates{std::nullopt, 1}, true},
        {RefreshStates{std::nullopt, 2}, false},
        {RefreshStates{1, 4}, false},
        {RefreshStates{2, 1}, false},
        {RefreshStates{5, 5}, true},
    };
    for (const auto& k : cases) {
        const RefreshStates* sv = k.scrollView ? &*k.scrollView : nullptr;
        EXPECT_EQ(c::isRefreshIdle(sv), k.idle)
            << (sv && sv->header ? *sv->header : 0) << "/" << (sv && sv->footer ? *sv->footer : 0);
    }
}

TEST(SharedLook, ValueAtKeyPathWalksDictionariesAndStopsAtTheFirstOtherValue) {
    core::Dictionary inner{{"a", 1}};
    core::Dictionary answer{{"data", inner}, {"rbac_status", 1}, {"text", "x"}, {"flag", true}, {"list", core::Array{1}}};
    using Path = std::vector<std::string>;
    struct Case {
        Path path;
        std::optional<core::Value> result;
    };
    const Case cases[] = {
        {{"data"}, core::Value(inner)},
        {{"data", "a"}, core::Value("1")},
        {{"rbac_status"}, core::Value("1")},
        {{"flag"}, core::Value("1")},
        {{"text", "y"}, core::Value("x")},
        {{"list", "z"}, core::Value(core::Array{1})},
        {{"missing"}, std::nullopt},
        {{"data", "missing"}, std::nullopt},
        {{}, core::Value(answer)},
    };
    for (const auto& k : cases) {
        std::string path;
        for (const auto& key : k.path) path += key + ".";
        EXPECT_EQ(c::valueAtKeyPath(answer, k.path), k.result) << path;
    }
}

// The window and fonts are taken on first use, so each case starts from a fresh window.
class SharedLookWindow : public ui::UiTest {
protected:
    void SetUp() override {
        ui::Screen::main().setProfile(*ui::DeviceProfile::named("phone-notch"));
        window = core::make<ui::Window>();
        host = std::make_unique<ui::HeadlessHost>(window);
        window->makeKeyAndVisible();
        c::resetForTesting();
    }
    void TearDown() override {
        c::resetForTesting();
        ui::UiTest::TearDown();
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
    }
};

TEST_F(SharedLookWindow, SidesFollowTheWindowAndFontsFreezeAtFirstUse) {
    EXPECT_EQ(c::window(), window);
    EXPECT_EQ(c::shortSide(), 375);
    EXPECT_EQ(c::longSide(), 812);
    EXPECT_DOUBLE_EQ(c::font36().pointSize, 12.5);
    EXPECT_EQ(c::font36().weight, gfx::Font::Weight::regular);
    EXPECT_DOUBLE_EQ(c::fontBold48().pointSize, 48 * 375 / 1080.0);
    EXPECT_EQ(c::fontBold48().weight, gfx::Font::Weight::bold);

    // Turned, the short side is still the width of the portrait window.
    window->setFrame({0, 0, 812, 375});
    EXPECT_EQ(c::shortSide(), 375);
    EXPECT_EQ(c::longSide(), 812);

    // A font already used keeps its size; one used first now takes the new short side.
    window->setFrame({0, 0, 540, 900});
    EXPECT_DOUBLE_EQ(c::font36().pointSize, 12.5);
    EXPECT_DOUBLE_EQ(c::font40().pointSize, 20);
    EXPECT_DOUBLE_EQ(c::font44().pointSize, 22);
    EXPECT_DOUBLE_EQ(c::fontBold44().pointSize, 22);
}

TEST(SharedLookWithoutWindow, SidesAreZeroAndTheWindowIsTakenOnceItExists) {
    c::resetForTesting();
    ui::Application::shared().setKeyWindow(nullptr);
    EXPECT_EQ(c::window(), nullptr);
    EXPECT_EQ(c::shortSide(), 0);
    auto window = core::make<ui::Window>();
    window->makeKeyAndVisible();
    EXPECT_EQ(c::window(), window);
    c::resetForTesting();
}

} // namespace
} // namespace kit
