#include "Modules/Main/tests/ScreenTest.h"
#include "network/QNStorge.h"
#include "platform/gfx/TextLayout.h"
#include "platform/gfx/testing/GoldenImage.h"

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
        return gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR "/") + golden);
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

} // namespace
} // namespace kit::testing
