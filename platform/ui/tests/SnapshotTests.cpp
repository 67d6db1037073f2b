#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "UiTest.h"

namespace ui {
namespace {

using ui_Snapshot = UiTest;

// Snapshots of a 200 x 160 window: small enough to look at, large enough to show the details.
class SmallWindow : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        window->setFrame({0, 0, 200, 160});
    }
};
using ui_SnapshotSmall = SmallWindow;

TEST_F(ui_SnapshotSmall, LabelsInChineseAndEnglish) {
    auto title = core::make<Label>(gfx::Rect{10, 10, 180, 30});
    title->setText("聊天话术 Chat lines");
    title->setFont(gfx::Font::boldSystemFont(18));
    title->setTextColor(gfx::Color::rgb(51, 51, 51));
    auto body = core::make<Label>(gfx::Rect{10, 45, 180, 60});
    body->setText("复制一句回答，粘贴到对话里。Copy an answer and paste it into the chat.");
    body->setFont(gfx::Font::systemFont(13));
    body->setNumberOfLines(2);
    body->setTextColor(gfx::Color::rgb(153, 153, 153));
    auto centred = core::make<Label>(gfx::Rect{10, 115, 180, 30});
    centred->setText("居中 centred");
    centred->setTextAlignment(TextAlignment::center);
    centred->setBackgroundColor(gfx::Color::rgb(245, 245, 245));
    for (auto& l : {title, body, centred}) window->addSubview(l);
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/labels.png"));
    EXPECT_EQ(body->sizeThatFits({180, 0}).width, 180);
    EXPECT_EQ(title->sizeThatFits({0, 0}).height, std::ceil(gfx::Font::boldSystemFont(18).lineHeight()));
}

TEST_F(ui_SnapshotSmall, RoundedBorderedViewsAndAnImageView) {
    auto card = core::make<View>(gfx::Rect{10, 10, 90, 60});
    card->setBackgroundColor(gfx::Color::rgb(19, 181, 177));
    card->layer()->setCornerRadius(10);
    card->layer()->setBorderWidth(2);
    card->layer()->setBorderColor(gfx::Color::rgb(255, 91, 120));
    auto overlay = core::make<View>(gfx::Rect{110, 10, 80, 80});
    overlay->setBackgroundColor(gfx::Color::black().withAlpha(0.7));
    overlay->layer()->setCornerRadius(10);
    overlay->setClipsToBounds(true);

    // A 3x image: a 20 x 10 point picture, half red, half blue.
    gfx::BitmapContext art({20, 10}, 3);
    art.setFillColor(gfx::Color::rgb(255, 91, 120));
    art.fillRect({0, 0, 10, 10});
    art.setFillColor(gfx::Color::rgb(0, 183, 238));
    art.fillRect({10, 0, 10, 10});
    auto image = art.makeImage();
    const std::pair<ContentMode, gfx::Rect> modes[] = {
        {ContentMode::scaleToFill, {10, 100, 50, 50}},
        {ContentMode::scaleAspectFit, {70, 100, 50, 50}},
        {ContentMode::center, {130, 100, 50, 50}},
    };
    for (auto& [mode, frame] : modes) {
        auto iv = core::make<ImageView>(frame);
        iv->setImage(image);
        iv->setContentMode(mode);
        iv->setBackgroundColor(gfx::Color::rgb(229, 229, 229));
        window->addSubview(iv);
    }
    window->addSubview(card);
    window->addSubview(overlay);
    auto shot = host->snapshot();
    EXPECT_TRUE(gfx::testing::matchesGolden(*shot, std::string(QUILLORA_GOLDEN_DIR) + "/views.png"));
    // Aspect fit: a 50 x 25 picture centred in the 50 x 50 box, grey above and below.
    auto at = [&](double x, double y) { return shot->pixel(int(x * 2), int(y * 2)); };
    EXPECT_EQ(at(95, 105), 0xffe5e5e5u);
    EXPECT_EQ(at(75, 125), 0xffff5b78u);
    EXPECT_EQ(at(115, 125), 0xff00b7eeu);
}

} // namespace
} // namespace ui
