#include "ui/HUDToastIndicatorView.h"

#include "platform/ui/Screen.h"
#include "ui/TextMeasure.h"

#include <algorithm>

namespace kit {

HUDToastIndicatorView::HUDToastIndicatorView(gfx::Rect frame)
    : ui::VisualEffectView(ui::BlurEffectStyle::light, frame) {}

void HUDToastIndicatorView::init() {
    ui::VisualEffectView::init();
    setClipsToBounds(true);
    layer()->setCornerRadius(8);
}

const std::shared_ptr<ui::Label>& HUDToastIndicatorView::messageLabel() {
    if (!messageLabel_) {
        messageLabel_ = core::make<ui::Label>();
        messageLabel_->setTextAlignment(ui::TextAlignment::center);
        messageLabel_->setNumberOfLines(0);
        messageLabel_->setTextColor(gfx::Color::black());
        messageLabel_->setFont(gfx::Font::systemFont(15));
        contentView()->addSubview(messageLabel_);
    }
    return messageLabel_;
}

gfx::Color HUDToastIndicatorView::getTextColorWithStyle(long style) {
    return style == static_cast<long>(ui::BlurEffectStyle::dark) ? gfx::Color::whiteColor() : gfx::Color::black();
}

gfx::Size HUDToastIndicatorView::getFrameForToastLabelWithMessage(const std::optional<std::string>& message) {
    const double s = ui::Screen::main().bounds().size.width;
    const gfx::Size measured = measureText(message.value_or(""), gfx::Font::systemFont(15), 0.7 * s - 40);
    return {std::max(measured.width, 20.0), std::min(measured.height, 80.0)};
}

gfx::Size HUDToastIndicatorView::getFrameForToastViewWithMessage(const std::optional<std::string>& message) {
    const double s = ui::Screen::main().bounds().size.width;
    const gfx::Size label = getFrameForToastLabelWithMessage(message);
    return {std::min(label.width + 40, 0.7 * s), std::min(label.height + 20, 100.0)};
}

void HUDToastIndicatorView::showToastMessage(const std::optional<std::string>& message, long style) {
    setEffect(static_cast<ui::BlurEffectStyle>(style));
    message_ = message;
    const auto& label = messageLabel();
    label->setTextColor(getTextColorWithStyle(style));
    label->setText(message.value_or(""));
    const gfx::Size size = getFrameForToastLabelWithMessage(message);
    const gfx::Size box = frame().size;
    label->setFrame({(box.width - size.width) / 2, (box.height - size.height) / 2, size.width, size.height});
}

} // namespace kit
