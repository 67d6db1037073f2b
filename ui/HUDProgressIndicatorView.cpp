#include "ui/HUDProgressIndicatorView.h"

#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "ui/TextMeasure.h"

#include <algorithm>

namespace kit {

namespace {
constexpr double kIconSide = 30;
constexpr double kIconTop = 20;
constexpr double kLabelTop = 65;
} // namespace

HUDProgressIndicatorView::HUDProgressIndicatorView(gfx::Rect frame)
    : ui::VisualEffectView(ui::BlurEffectStyle::light, frame) {}

void HUDProgressIndicatorView::init() {
    ui::VisualEffectView::init();
    setClipsToBounds(true);
    layer()->setCornerRadius(10);
}

const std::shared_ptr<ui::ImageView>& HUDProgressIndicatorView::iconImageView() {
    if (!iconImageView_) {
        iconImageView_ = core::make<ui::ImageView>();
        iconImageView_->setContentMode(ui::ContentMode::scaleAspectFit);
        iconImageView_->setBackgroundColor(gfx::Color::clear());
        iconImageView_->setImage(gfx::Image::named("hud_info"));
        contentView()->addSubview(iconImageView_);
    }
    return iconImageView_;
}

const std::shared_ptr<ui::Label>& HUDProgressIndicatorView::messageLabel() {
    if (!messageLabel_) {
        messageLabel_ = core::make<ui::Label>();
        messageLabel_->setTextColor(gfx::Color::black());
        messageLabel_->setFont(gfx::Font::systemFont(15));
        messageLabel_->setTextAlignment(ui::TextAlignment::center);
        messageLabel_->setNumberOfLines(0);
        contentView()->addSubview(messageLabel_);
    }
    return messageLabel_;
}

const std::shared_ptr<ui::ActivityIndicatorView>& HUDProgressIndicatorView::activatyView() {
    if (!activatyView_) {
        activatyView_ = core::make<ui::ActivityIndicatorView>(ui::ActivityIndicatorViewStyle::whiteLarge);
        activatyView_->setColor(gfx::Color::black());
        activatyView_->setContentMode(ui::ContentMode::center);
        contentView()->addSubview(activatyView_);
    }
    return activatyView_;
}

const std::shared_ptr<ui::View>& HUDProgressIndicatorView::backgroundView() {
    if (!backgroundView_) {
        backgroundView_ = core::make<ui::View>(ui::Screen::main().bounds());
        backgroundView_->setBackgroundColor(gfx::Color::clear());
    }
    return backgroundView_;
}

gfx::Color HUDProgressIndicatorView::getTextColorWithStyle(long style) {
    return style == static_cast<long>(ui::BlurEffectStyle::dark) ? gfx::Color::whiteColor() : gfx::Color::black();
}

gfx::ImagePtr HUDProgressIndicatorView::getImageWithStyle(long style, HUDMessageType type) {
    const char* name = nullptr;
    switch (type) {
    case HUDMessageType::info: name = "hud_info"; break;
    case HUDMessageType::success: name = "hud_success"; break;
    case HUDMessageType::error: name = "hud_failure"; break;
    case HUDMessageType::progress: return nullptr;
    }
    std::string file = name;
    if (style != static_cast<long>(ui::BlurEffectStyle::dark)) file += "_dark";
    return gfx::Image::named(file, "HUDProgressIndicator");
}

gfx::Size HUDProgressIndicatorView::getFrameForProgressMessageLabelWithMessage(const std::optional<std::string>& message) {
    if (!message || message->empty()) return {30, 0};
    const gfx::Size measured = measureText(*message, gfx::Font::systemFont(15), 200);
    return {std::max(measured.width, 30.0), std::min(measured.height, 155.0)};
}

gfx::Size HUDProgressIndicatorView::getFrameForProgressViewWithMessage(const std::optional<std::string>& message) {
    if (!message || message->empty()) return {70, 70};
    const gfx::Size label = getFrameForProgressMessageLabelWithMessage(message);
    return {std::min(label.width + 40, 240.0), std::min(label.height + 40 + 30 + 15, 240.0)};
}

void HUDProgressIndicatorView::setUserInteractionEnable(bool enable) {
    setUserInteractionEnabled(enable);
    const auto& blocker = backgroundView();
    blocker->setFrame(ui::Screen::main().bounds());
    if (enable) {
        blocker->removeFromSuperview();
    } else if (auto window = ui::Application::shared().keyWindow()) {
        window->addSubview(blocker);
    }
    blocker->setHidden(enable);
}

void HUDProgressIndicatorView::showProgressWithType(HUDMessageType type, const std::optional<std::string>& message,
                                                    gfx::ImagePtr image, long style, bool userInteractionEnable) {
    setEffect(static_cast<ui::BlurEffectStyle>(style));
    if (type == HUDMessageType::progress) {
        iconImageView()->setHidden(true);
        activatyView()->startAnimating();
    } else {
        iconImageView()->setHidden(false);
        activatyView()->stopAnimating();
    }
    setUserInteractionEnable(userInteractionEnable);
    const bool hasText = message && !message->empty();
    messageLabel()->setText(message.value_or(""));
    messageLabel()->setHidden(!hasText);
    const gfx::Color colour = getTextColorWithStyle(style);
    messageLabel()->setTextColor(colour);
    activatyView()->setColor(colour);
    iconImageView()->setImage(image ? image : getImageWithStyle(style, type));
    const gfx::Size box = frame().size;
    iconImageView()->setFrame({(box.width - kIconSide) / 2, kIconTop, kIconSide, kIconSide});
    const double spinnerHeight = activatyView()->frame().size.height;
    activatyView()->setCenter(hasText ? gfx::Point{box.width / 2, spinnerHeight / 2 + kIconTop}
                                      : gfx::Point{box.width / 2, box.height / 2});
    const gfx::Size label = getFrameForProgressMessageLabelWithMessage(message);
    messageLabel()->setFrame({(box.width - label.width) / 2, kLabelTop, label.width, label.height});
}

} // namespace kit
