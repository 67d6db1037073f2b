#include "Modules/Main/tests/ScreenTest.h"
#include "network/QNStorge.h"
#include "platform/gfx/TextLayout.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "ui/HUDIndicator.h"

#include <cmath>
#include <cstdlib>

namespace kit::testing {
namespace {

// The screens as the user sees them, with the pinned fonts on the fixed phone profile. Taken once
// the requests are answered, the loading overlay is gone and no toast shows.
class ScreenSnapshots : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        HUDToastIndicator::sharedInstance()->dismissToast();
    }
    ::testing::AssertionResult looksLike(const char* golden) {
        settle();
        window->layoutIfNeeded();
        return gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/" + golden);
    }
};

TEST_F(ScreenSnapshots, HomeWithGroups) {
    ASSERT_TRUE(gfx::TextLayout::usesPinnedFonts()) << "fonts-noto-cjk is needed for the golden";
    setTagList(kThreeGroups);
    auto home = core::make<QUMainController>();
    show(home);
    MWRootController::postRefresh<QUMainController>();
    ASSERT_TRUE(runUntil([&] { return home->listModel() != nullptr; }));
    EXPECT_TRUE(looksLike("home_groups.png"));
}

TEST_F(ScreenSnapshots, TagListWithAHighlightedWord) {
    ASSERT_TRUE(gfx::TextLayout::usesPinnedFonts()) << "fonts-noto-cjk is needed for the golden";
    setContentReply([](const Form& form) { return pageOf({3, "咖啡"}, form); });
    auto page = openDetail("约会邀请");
    ASSERT_TRUE(answered(1));
    // A word in the field of a tag list highlights without leaving the tag.
    page->searchView()->inputTextField()->setText("咖啡");
    page->loadData(true);
    ASSERT_TRUE(answered(2));
    EXPECT_TRUE(looksLike("answer_list_tag.png"));
}

TEST_F(ScreenSnapshots, SearchWithHistory) {
    ASSERT_TRUE(gfx::TextLayout::usesPinnedFonts()) << "fonts-noto-cjk is needed for the golden";
    for (const char* text : {"晚安", "喝咖啡", "约会"}) network::QNStorge::addHistory(text);
    openDetail(std::nullopt);
    EXPECT_TRUE(looksLike("search_history.png"));
}

TEST_F(ScreenSnapshots, EmptyList) {
    ASSERT_TRUE(gfx::TextLayout::usesPinnedFonts()) << "fonts-noto-cjk is needed for the golden";
    setContentReply([](const Form& form) { return pageOf({0, "咖啡"}, form); });
    openDetail("约会邀请");
    ASSERT_TRUE(answered(1));
    EXPECT_TRUE(looksLike("empty_list.png"));
}

// Mean and variance of the brightness (the mean of red, green and blue) over a rectangle of points.
struct Tone {
    double mean = 0, variance = 0;
};
Tone toneOf(const gfx::Image& img, gfx::Rect r) {
    const double s = img.scale();
    double sum = 0, sq = 0;
    int n = 0;
    for (int y = static_cast<int>(r.minY() * s); y < static_cast<int>(r.maxY() * s); ++y)
        for (int x = static_cast<int>(r.minX() * s); x < static_cast<int>(r.maxX() * s); ++x) {
            uint32_t p = img.pixel(x, y);
            double v = (((p >> 16) & 0xff) + ((p >> 8) & 0xff) + (p & 0xff)) / 3.0;
            sum += v;
            sq += v * v;
            ++n;
        }
    const double mean = sum / n;
    return {mean, sq / n - mean * mean};
}
// The mean brightness difference of two pictures over a rectangle of points.
double meanDifference(const gfx::Image& a, const gfx::Image& b, gfx::Rect r) {
    const double s = a.scale();
    double sum = 0;
    int n = 0;
    for (int y = static_cast<int>(r.minY() * s); y < static_cast<int>(r.maxY() * s); ++y)
        for (int x = static_cast<int>(r.minX() * s); x < static_cast<int>(r.maxX() * s); ++x) {
            uint32_t p = a.pixel(x, y), q = b.pixel(x, y);
            double d = 0;
            for (int shift : {16, 8, 0}) d += std::abs(static_cast<int>((p >> shift) & 0xff) - static_cast<int>((q >> shift) & 0xff));
            sum += d / 3;
            ++n;
        }
    return sum / n;
}

// The information panel over the answer list shows the list beneath blurred: inside the panel
// (its icon and text hidden) the picture is far more even than the text beneath it, and the panel
// stands out from the page.
TEST_F(ScreenSnapshots, InformationPanelOverTheAnswerList) {
    ASSERT_TRUE(gfx::TextLayout::usesPinnedFonts()) << "fonts-noto-cjk is needed for the golden";
    setContentReply([](const Form& form) { return pageOf({10, "咖啡"}, form); });
    openDetail("约会邀请");
    ASSERT_TRUE(answered(1));
    settle();
    const auto page = host->snapshot();
    HUDIndicator::showInfoWithMessage("网络不可用，请检查网络");
    run(0.4);
    const auto& panel = HUDProgressIndicator::sharedInstance()->progressView();
    const gfx::Rect inner = panel->frame().insetBy(10, 10);
    panel->contentView()->setHidden(true);
    const auto bare = host->snapshot();
    panel->contentView()->setHidden(false);
    const Tone beneath = toneOf(*page, inner), blurred = toneOf(*bare, inner);
    EXPECT_GT(beneath.variance, 200) << "text lies beneath the panel";
    EXPECT_LT(blurred.variance, beneath.variance / 10);
    EXPECT_GT(meanDifference(*bare, *page, inner), 6);
    EXPECT_TRUE(looksLike("hud_over_answer_list.png"));
    HUDProgressIndicator::dismiss();
}

// The answer list while a finger drags it, with the vertical scroll indicator.
TEST_F(ScreenSnapshots, AnswerListMidScroll) {
    ASSERT_TRUE(gfx::TextLayout::usesPinnedFonts()) << "fonts-noto-cjk is needed for the golden";
    setContentReply([](const Form& form) { return pageOf({10, "咖啡"}, form); });
    openDetail("约会邀请");
    ASSERT_TRUE(answered(1));
    settle();
    host->touchDown({180, 500});
    for (double y : {480.0, 440.0, 400.0, 360.0, 320.0, 300.0}) {
        run(0.02);
        host->touchMove({180, y});
    }
    run(0.3);
    window->layoutIfNeeded();
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/answer_list_mid_scroll.png"));
    host->touchUp({180, 300});
}

// The toast over the home page, the page beneath it blurred.
TEST_F(ScreenSnapshots, ToastOverTheHomePage) {
    ASSERT_TRUE(gfx::TextLayout::usesPinnedFonts()) << "fonts-noto-cjk is needed for the golden";
    setTagList(kThreeGroups);
    auto home = core::make<QUMainController>();
    show(home);
    MWRootController::postRefresh<QUMainController>();
    ASSERT_TRUE(runUntil([&] { return home->listModel() != nullptr; }));
    settle();
    HUDToastIndicator::showToastMessage("已复制到剪贴板");
    run(0.4);
    window->layoutIfNeeded();
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/toast_over_home.png"));
}

} // namespace
} // namespace kit::testing
