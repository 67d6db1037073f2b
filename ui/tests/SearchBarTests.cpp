#include "platform/core/ProcessInfo.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/Keyboard.h"
#include "ui/tests/KitTest.h"
#include "ui/QUMainSearchView.h"
#include "ui/c.h"

namespace kit {
namespace {

class SearchBar : public KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        const double u = c::shortSide() / 1080;
        bar = core::make<QUMainSearchView>(gfx::Rect{0, 20 * u, 375, 126 * u});
        window->addSubview(bar);
    }
    // The bar alone, on a strip of the window just as tall.
    std::shared_ptr<const gfx::Image> snapshot() {
        window->setFrame({0, 0, 375, bar->frame().origin.y + bar->frame().size.height});
        return host->snapshot();
    }
    std::shared_ptr<QUMainSearchView> bar;
};

TEST_F(SearchBar, ATapAnywhereRunsTheBarsAction) {
    int taps = 0;
    bar->setAction([&](ui::Button&) { ++taps; });
    const auto field = bar->inputTextField();
    host->tap(field->superview()->convertPoint(field->center(), nullptr));
    host->tap(bar->superview()->convertPoint({20, bar->center().y}, nullptr));
    EXPECT_EQ(taps, 2);
    EXPECT_FALSE(field->isFirstResponder());
}

TEST_F(SearchBar, SnapshotWithPlaceholder) {
    EXPECT_TRUE(gfx::testing::matchesGolden(*snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/search_placeholder.png"));
}

TEST_F(SearchBar, SnapshotWithTypedChineseText) {
    // The answer list turns the field on and types into it.
    const auto field = bar->inputTextField();
    field->setUserInteractionEnabled(true);
    field->becomeFirstResponder();
    host->advance(0.1);
    host->typeText("怎么回复");
    EXPECT_EQ(field->text(), "怎么回复");
    EXPECT_TRUE(gfx::testing::matchesGolden(*snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/search_typed.png"));
}

} // namespace
} // namespace kit
