#include "side_menu/SMSideConfig.h"
#include "side_menu/SMSideShowType.h"

#include <gtest/gtest.h>

namespace side_menu {
namespace {

TEST(SMSideConfigTest, DefaultsAreStoredAsTheyAre) {
    auto config = core::make<SMSideConfig>();
    EXPECT_EQ(config->timeInterval(), 0.3);
    EXPECT_EQ(config->maskAlpha(), 0.5);
    EXPECT_EQ(config->sideRelative(), 0.7);
    EXPECT_EQ(config->zoomRelative(), 0.7);
    EXPECT_EQ(config->zoomOffsetRelative(), 0.5);
    EXPECT_EQ(config->direction(), SMSideDirection::left);
    EXPECT_EQ(config->animationType(), SMSideAnimationType::translationPush);
}

TEST(SMSideConfigTest, RelativeValuesAreClampedOnEveryPathAndTheOthersAreNot) {
    struct Case {
        const char* name;
        std::function<void(SMSideConfig&)> change;
        std::function<std::optional<double>(const SMSideConfig&)> read;
        double expected;
    };
    const Case cases[] = {
        {"side above 1", [](SMSideConfig& c) { c.setSideRelative(1.5); }, [](const SMSideConfig& c) { return c.sideRelative(); }, 1},
        {"side below 0", [](SMSideConfig& c) { c.setSideRelative(-0.2); }, [](const SMSideConfig& c) { return c.sideRelative(); }, 0},
        {"side 0 kept", [](SMSideConfig& c) { c.setSideRelative(0); }, [](const SMSideConfig& c) { return c.sideRelative(); }, 0},
        {"side 1 kept", [](SMSideConfig& c) { c.setSideRelative(1); }, [](const SMSideConfig& c) { return c.sideRelative(); }, 1},
        {"side modified in place",
         [](SMSideConfig& c) { c.modifySideRelative([](auto& v) { *v += 0.6; }); },
         [](const SMSideConfig& c) { return c.sideRelative(); }, 1},
        {"zoom 2", [](SMSideConfig& c) { c.setZoomRelative(2); }, [](const SMSideConfig& c) { return c.zoomRelative(); }, 1},
        {"zoom modified in place",
         [](SMSideConfig& c) { c.modifyZoomRelative([](auto& v) { *v -= 3; }); },
         [](const SMSideConfig& c) { return c.zoomRelative(); }, 0},
        {"zoom offset -1", [](SMSideConfig& c) { c.setZoomOffsetRelative(-1); },
         [](const SMSideConfig& c) { return c.zoomOffsetRelative(); }, 0},
        {"mask alpha 3 not clamped", [](SMSideConfig& c) { c.setMaskAlpha(3); }, [](const SMSideConfig& c) { return c.maskAlpha(); }, 3},
        {"negative time kept", [](SMSideConfig& c) { c.setTimeInterval(-1); },
         [](const SMSideConfig& c) { return c.timeInterval(); }, -1},
    };
    for (const auto& c : cases) {
        auto config = core::make<SMSideConfig>();
        c.change(*config);
        EXPECT_EQ(c.read(*config), c.expected) << c.name;
    }
}

TEST(SMSideConfigTest, ZoomForcesTheFullSideWidthWhicheverIsAssignedLast) {
    auto config = core::make<SMSideConfig>();
    config->setAnimationType(SMSideAnimationType::zoom);
    EXPECT_EQ(config->sideRelative(), 1);
    config->setSideRelative(0.4);
    EXPECT_EQ(config->sideRelative(), 1);
    config->setAnimationType(SMSideAnimationType::translationPush);
    EXPECT_EQ(config->sideRelative(), 1);

    auto modified = core::make<SMSideConfig>();
    modified->modifyAnimationType([](auto& type) { type = SMSideAnimationType::zoom; });
    EXPECT_EQ(modified->sideRelative(), 1);
}

// A subclass's setter sees the assignment that zoom makes.
class CountingConfig : public SMSideConfig {
public:
    void setSideRelative(std::optional<double> value) override {
        ++sideAssignments;
        SMSideConfig::setSideRelative(value);
    }
    int sideAssignments = 0;
};

TEST(SMSideConfigTest, ZoomAssignsTheSideWidthThroughTheOverridableSetter) {
    auto config = core::make<CountingConfig>();
    config->setAnimationType(SMSideAnimationType::zoom);
    EXPECT_EQ(config->sideAssignments, 1);
}

TEST(SMSideConfigTest, TheAppsClosureLeavesTheZoomValuesAtTheirDefaults) {
    auto config = core::make<SMSideConfig>();
    config->setAnimationType(SMSideAnimationType::translationPush);
    config->setTimeInterval(0.2);
    config->setDirection(SMSideDirection::left);
    config->setMaskAlpha(0.5);
    config->setSideRelative(2.0 / 3);
    EXPECT_EQ(config->timeInterval(), 0.2);
    EXPECT_DOUBLE_EQ(*config->sideRelative(), 2.0 / 3);
    EXPECT_EQ(config->zoomRelative(), 0.7);
    EXPECT_EQ(config->zoomOffsetRelative(), 0.5);
}

TEST(SMSideEnumsTest, RawValuesOutsideTheListGiveNoValue) {
    EXPECT_EQ(makeSMSideAnimationType(3), std::nullopt);
    EXPECT_EQ(makeSMSideAnimationType(2), SMSideAnimationType::translationMask);
    EXPECT_EQ(makeSMSideDirection(1), SMSideDirection::right);
    EXPECT_EQ(makeSMSideDirection(-1), std::nullopt);
    EXPECT_EQ(makeSMSideShowType(1), SMSideShowType::hidden);
    EXPECT_EQ(makeSMSideShowType(2), std::nullopt);
}

} // namespace
} // namespace side_menu
