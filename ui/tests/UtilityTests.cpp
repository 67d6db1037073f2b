#include "platform/core/ProcessInfo.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/ui/Screen.h"
#include "ui/Utility.h"

#include <gtest/gtest.h>

namespace kit {
namespace {

TEST(Utility, NotchedPhonesHaveTheTallBars) {
    auto profile = [](gfx::Size size, double scale, ui::UserInterfaceIdiom idiom) {
        ui::DeviceProfile p = ui::DeviceProfile::phone();
        p.size = size;
        p.scale = scale;
        p.idiom = idiom;
        return p;
    };
    using ui::UserInterfaceIdiom;
    struct Case {
        ui::DeviceProfile profile;
        double bottom, statusBar;
    };
    const Case cases[] = {
        {ui::DeviceProfile::phone(), 0, 20},
        {*ui::DeviceProfile::named("phone-notch"), 34, 44},
        {profile({414, 896}, 2, UserInterfaceIdiom::phone), 34, 44},
        {profile({414, 896}, 3, UserInterfaceIdiom::phone), 34, 44},
        {profile({375, 812}, 3, UserInterfaceIdiom::pad), 0, 20},
        {*ui::DeviceProfile::named("pad"), 0, 20},
        {profile({414, 736}, 3, UserInterfaceIdiom::phone), 0, 20},
    };
    for (const auto& k : cases) {
        ui::Screen::main().setProfile(k.profile);
        EXPECT_EQ(Utility::k_Height_TabBarBottom(), k.bottom) << k.profile.pixelSize().width;
        EXPECT_EQ(Utility::k_status_bar_height(), k.statusBar) << k.profile.pixelSize().width;
    }
    ui::Screen::main().setProfile(ui::DeviceProfile::phone());
}

TEST(Utility, StoreLinkFollowsTheSystemVersion) {
    const std::string host = "store.quillora.example";
    const std::string review = "https://" + host + "/cn/app/id42?mt=8&action=write-review";
    const std::string list = "http://" + host +
                             "/WebObjects/MZStore.woa/wa/viewContentsUserReviews?id=42&pageNumber=0&sortOrdering=2"
                             "&type=Purple+Software&mt=8";
    const std::string page = "https://" + host + "/cn/app/id42?mt=8";
    const std::pair<core::OperatingSystemVersion, std::string> cases[] = {
        {{12, 1, 0}, review}, {{11, 0, 0}, review}, {{10, 3, 1}, list},
        {{9, 3, 0}, list},    {{6, 0, 0}, list},    {{5, 1, 1}, page},
    };
    for (const auto& [version, link] : cases) {
        core::ProcessInfo::setOperatingSystemVersionForTesting(version);
        EXPECT_EQ(Utility::getAppStoreURL("42"), link) << version.major << "." << version.minor;
    }
    core::ProcessInfo::setOperatingSystemVersionForTesting({12, 0, 0});
}

TEST(Utility, TextMeasuresCountWideUnitsTwice) {
    struct Case {
        const char* text;
        int count;
        bool chinese;
    };
    const Case cases[] = {
        {"", 0, true},
        {"ab", 2, false},
        {"ab中", 4, true},
        {"聊天", 4, true},
        {"é", 2, true},
        {"😀", 4, true},  // two UTF-16 units
    };
    for (const auto& k : cases) {
        EXPECT_EQ(Utility::convertToByte(k.text), k.count) << k.text;
        EXPECT_EQ(Utility::convertToInt(k.text), k.count) << k.text;
        EXPECT_EQ(Utility::isChinese(k.text), k.chinese) << k.text;
    }
}

TEST(Utility, BarHeightsKeepTheLargestSeen) {
    EXPECT_EQ(Utility::getNavBarHeight(std::nullopt), 0);
    EXPECT_EQ(Utility::getNavBarHeight(44), 44);
    EXPECT_EQ(Utility::getNavBarHeight(30), 44);
    EXPECT_EQ(Utility::getNavBarHeight(std::nullopt), 44);
    EXPECT_EQ(Utility::getTabBarHeight(std::nullopt), 0);
    EXPECT_EQ(Utility::getTabBarHeight(49), 49);
    EXPECT_EQ(Utility::getTabBarHeight(83), 83);
}

gfx::ImagePtr solid(gfx::Size size, double scale, gfx::Color colour) {
    gfx::BitmapContext context(size, scale);
    context.setFillColor(colour);
    context.fillRect({0, 0, size.width, size.height});
    return context.makeImage();
}

TEST(Utility, CentredImagesAreDrawnAtTheirPixelSize) {
    // 20 x 20 points at scale 2: 40 x 40 pixels, centred in 60 x 60 at (10, 10).
    auto centred = Utility::imageForToRectCenter({60, 60}, solid({20, 20}, 2, gfx::Color::black()));
    ASSERT_TRUE(centred);
    EXPECT_EQ(centred->pixelWidth(), 60);
    EXPECT_EQ(centred->scale(), 1);
    EXPECT_EQ(centred->pixel(9, 30), 0u);
    EXPECT_EQ(centred->pixel(10, 10), 0xff000000u);
    EXPECT_EQ(centred->pixel(49, 49), 0xff000000u);
    EXPECT_EQ(centred->pixel(50, 30), 0u);
    // Larger than the canvas: cropped evenly, so every pixel is covered.
    auto cropped = Utility::imageForToRectCenter({10, 10}, solid({30, 30}, 1, gfx::Color::black()));
    EXPECT_EQ(cropped->pixel(0, 0), 0xff000000u);
    EXPECT_EQ(cropped->pixel(9, 9), 0xff000000u);
    EXPECT_EQ(Utility::imageForToRectCenter({0, 10}, cropped), nullptr);

    auto scaled = Utility::imageCompressWithSimple(solid({20, 20}, 2, gfx::Color::black()), {7, 5});
    EXPECT_EQ(scaled->pixelWidth(), 7);
    EXPECT_EQ(scaled->pixelHeight(), 5);
    EXPECT_EQ(scaled->pixel(6, 4), 0xff000000u);
}

TEST(Utility, GradientImagesRunLeftToRightAtThreeTimesTheRect) {
    const gfx::Color from = gfx::Color::rgb(255, 0, 0), to = gfx::Color::rgb(0, 0, 255);
    auto capsule = Utility::imageFromRect({0, 0, 100, 20}, from, to);
    ASSERT_TRUE(capsule);
    EXPECT_EQ(capsule->pixelWidth(), 300);
    EXPECT_EQ(capsule->pixelHeight(), 60);
    EXPECT_EQ(capsule->pixel(0, 0) >> 24, 0u) << "the corner is cut by the capsule";
    EXPECT_GE((capsule->pixel(31, 30) >> 16) & 0xff, 220u);  // red near the left
    EXPECT_GE(capsule->pixel(268, 30) & 0xff, 220u);         // blue near the right
    auto square = Utility::imageFromRect({0, 0, 100, 20}, from, to, false);
    EXPECT_EQ(square->pixel(0, 0) >> 24, 0xffu);
    auto empty = Utility::imageFromRect({0, 0, 0.5, 20}, from, to);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->pixelWidth(), 0);
}

TEST(Utility, ShareImageShowsTheIconOfTheSex) {
    core::Bundle::setResourcePathForTesting(QUILLORA_RESOURCES_DIR);
    auto boy = Utility::genShareImage("聊天", "温柔", "超过 90%", "甜蜜型", "一句评语", 1);
    auto girl = Utility::genShareImage("聊天", "温柔", "超过 90%", "甜蜜型", "一句评语", 2);
    core::Bundle::setResourcePathForTesting(std::nullopt);
    ASSERT_TRUE(boy);
    EXPECT_EQ(boy->pixelWidth(), 1080);
    EXPECT_EQ(boy->pixelHeight(), 1920);
    // The middle of the icon's circle, left of the head: the boy's is blue, the girl's pink.
    EXPECT_EQ(boy->pixel(150, 640), 0xff00b7eeu);
    EXPECT_EQ(girl->pixel(150, 640), 0xffff5b78u);
}

} // namespace
} // namespace kit
