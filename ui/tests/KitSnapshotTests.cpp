#include "Commons/Button/NXButton.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "ui/c.h"
#include "ui/tests/KitTest.h"

namespace kit {
namespace {

// The app kit's look on a 200 x 160 window: texts in the shared fonts and palette, a rounded,
// bordered closure button, and an image view with one of the app's drawn pictures.
class KitSnapshot : public KitTest {};

TEST_F(KitSnapshot, LabelsButtonAndImageInTheSharedLook) {
    // The fonts take the phone's short side (375) on first use, before the window shrinks to
    // the snapshot's size.
    const gfx::Font title = c::fontBold48(), body = c::font40(), small = c::font36();
    window->setFrame({0, 0, 200, 160});
    window->setBackgroundColor(c::colorF5F5F5());

    auto heading = core::make<ui::Label>(gfx::Rect{10, 8, 180, 24});
    heading->setText("聊天话术 Chat lines");
    heading->setFont(title);
    heading->setTextColor(c::color333333());
    auto line = core::make<ui::Label>(gfx::Rect{10, 34, 180, 44});
    line->setText("复制一句回答。Copy an answer.");
    line->setFont(body);
    line->setNumberOfLines(2);
    line->setTextColor(c::color666666());

    auto button = core::make<NXButton>(gfx::Rect{10, 84, 100, 34});
    button->setTitle("复制 Copy");
    button->setTitleColor(c::colorFFFFFF());
    button->titleLabel()->setFont(small);
    button->setBackgroundColor(c::colorFF5B78());
    button->layer()->setCornerRadius(17);
    button->layer()->setBorderWidth(2);
    button->layer()->setBorderColor(c::colorFAD54D());

    auto icon = core::make<ui::ImageView>(gfx::Rect{120, 80, 70, 70});
    icon->setImage(gfx::Image::named("shared_icon_girl.png"));
    ASSERT_TRUE(icon->image());
    EXPECT_EQ(icon->image()->scale(), 3);
    EXPECT_EQ(icon->image()->size(), (gfx::Size{70, 70}));

    for (auto v : std::initializer_list<std::shared_ptr<ui::View>>{heading, line, button, icon}) window->addSubview(v);
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/kit.png"));
}

} // namespace
} // namespace kit
