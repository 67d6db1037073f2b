#include "ui/HUDNotificationIndicatorView.h"

#include "platform/ui/Screen.h"
#include "ui/HUDToastIndicatorView.h"
#include "ui/TextMeasure.h"

#include <algorithm>

namespace kit {

namespace {
double statusBar() { return ui::Screen::main().statusBarHeight(); }
double bannerWidth() { return ui::Screen::main().bounds().size.width; }
} // namespace

HUDNotificationIndicatorView::HUDNotificationIndicatorView(gfx::Rect frame)
    : ui::VisualEffectView(ui::BlurEffectStyle::light, frame) {}

const std::shared_ptr<ui::ImageView>& HUDNotificationIndicatorView::iconImageView() {
    if (!iconImageView_) {
        iconImageView_ = core::make<ui::ImageView>(gfx::Rect{10, statusBar() + 10, 30, 30});
        iconImageView_->setContentMode(ui::ContentMode::scaleAspectFit);
        iconImageView_->setBackgroundColor(gfx::Color::clear());
        contentView()->addSubview(iconImageView_);
    }
    return iconImageView_;
}

const std::shared_ptr<ui::Label>& HUDNotificationIndicatorView::titleLabel() {
    if (!titleLabel_) {
        titleLabel_ = core::make<ui::Label>(gfx::Rect{50, statusBar(), bannerWidth() - 50, 24});
        titleLabel_->setFont(gfx::Font::boldSystemFont(15));
        titleLabel_->setTextColor(gfx::Color::black());
        titleLabel_->setNumberOfLines(1);
        contentView()->addSubview(titleLabel_);
    }
    return titleLabel_;
}

const std::shared_ptr<ui::Label>& HUDNotificationIndicatorView::messageLabel() {
    if (!messageLabel_) {
        messageLabel_ = core::make<ui::Label>(gfx::Rect{50, statusBar() + 24, bannerWidth() - 50, 40});
        messageLabel_->setTextColor(gfx::Color::black());
        messageLabel_->setFont(gfx::Font::systemFont(13));
        messageLabel_->setNumberOfLines(0);
        contentView()->addSubview(messageLabel_);
    }
    return messageLabel_;
}

gfx::Color HUDNotificationIndicatorView::getTextColorWithStyle(long style) {
    return HUDToastIndicatorView::getTextColorWithStyle(style);
}

double HUDNotificationIndicatorView::getFrameForNotificationMessageLabelWithImage(
    const gfx::ImagePtr& image, const std::optional<std::string>& message) {
    const double width = bannerWidth() - (image ? 60 : 20);
    const double measured = measureText(message.value_or(""), gfx::Font::systemFont(13), width).height;
    return std::min(measured, 176 - statusBar() - 10);
}

double HUDNotificationIndicatorView::getFrameForNotificationViewWithImage(const gfx::ImagePtr& image,
                                                                          const std::optional<std::string>& message) {
    const double b = statusBar();
    const double label = getFrameForNotificationMessageLabelWithImage(image, message);
    return std::max(std::min(label + 10 + 24 + b, 200.0), b + 20 + 30);
}

void HUDNotificationIndicatorView::showWithImage(gfx::ImagePtr image, const std::optional<std::string>& title,
                                                 const std::optional<std::string>& message, long style) {
    setEffect(static_cast<ui::BlurEffectStyle>(style));
    if (image) iconImageView()->setImage(image);
    iconImageView()->setHidden(!image);
    titleLabel()->setText(title.value_or(""));
    messageLabel()->setText(message.value_or(""));
    const gfx::Color colour = getTextColorWithStyle(style);
    titleLabel()->setTextColor(colour);
    messageLabel()->setTextColor(colour);
    const double b = statusBar();
    const double s = bannerWidth();
    const double x = image ? 50 : 10;
    iconImageView()->setFrame({10, b + 10, 30, 30});
    titleLabel()->setFrame({x, b, s - 10 - x, 24});
    messageLabel()->setFrame({x, b + 24, s - 10 - x, getFrameForNotificationMessageLabelWithImage(image, message)});
}

} // namespace kit
