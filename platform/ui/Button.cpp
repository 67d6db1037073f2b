#include "platform/ui/Button.h"

#include <cmath>

namespace ui {

void Button::init() {
    Control::init();
    imageView_ = core::make<ImageView>();
    imageView_->setContentMode(ContentMode::center);
    titleLabel_ = core::make<Label>();
    titleLabel_->setFont(gfx::Font::systemFont(15));
    titleLabel_->setTextAlignment(TextAlignment::center);
    addSubview(imageView_);
    addSubview(titleLabel_);
    refresh();
}

void Button::setTitle(std::optional<std::string> title, unsigned s) {
    if (title) titles_[s] = *title;
    else titles_.erase(s);
    refresh();
}

std::optional<std::string> Button::titleForState(unsigned s) const {
    if (auto it = titles_.find(s); it != titles_.end()) return it->second;
    if (auto it = titles_.find(stateNormal); it != titles_.end()) return it->second;
    return std::nullopt;
}

void Button::setTitleColor(std::optional<gfx::Color> color, unsigned s) {
    if (color) titleColors_[s] = *color;
    else titleColors_.erase(s);
    refresh();
}

gfx::Color Button::titleColorForState(unsigned s) const {
    if (auto it = titleColors_.find(s); it != titleColors_.end()) return it->second;
    if (auto it = titleColors_.find(stateNormal); it != titleColors_.end()) return it->second;
    return gfx::Color::whiteColor();
}

void Button::setImage(gfx::ImagePtr image, unsigned s) {
    if (image) images_[s] = std::move(image);
    else images_.erase(s);
    refresh();
}

gfx::ImagePtr Button::imageForState(unsigned s) const {
    if (auto it = images_.find(s); it != images_.end()) return it->second;
    if (auto it = images_.find(stateNormal); it != images_.end()) return it->second;
    return nullptr;
}

void Button::setBackgroundImage(gfx::ImagePtr image, unsigned s) {
    if (image) backgroundImages_[s] = std::move(image);
    else backgroundImages_.erase(s);
    if (!backgroundView_ && !backgroundImages_.empty()) {
        backgroundView_ = core::make<ImageView>();
        insertSubview(backgroundView_, 0);
    }
    refresh();
}

gfx::ImagePtr Button::backgroundImageForState(unsigned s) const {
    if (auto it = backgroundImages_.find(s); it != backgroundImages_.end()) return it->second;
    if (auto it = backgroundImages_.find(stateNormal); it != backgroundImages_.end()) return it->second;
    return nullptr;
}

void Button::stateDidChange() { refresh(); }

void Button::refresh() {
    if (!titleLabel_) return;  // still being made
    unsigned s = state();
    titleLabel_->setText(titleForState(s).value_or(""));
    titleLabel_->setTextColor(titleColorForState(s));
    imageView_->setImage(imageForState(s));
    if (backgroundView_) backgroundView_->setImage(backgroundImageForState(s));
    // The title and the image each dim unless the state gives that part a look of its own: a
    // disabled title colour alone leaves the image to dim.
    const bool dimmedState = s != stateNormal && (s & (stateHighlighted | stateDisabled));
    const bool ownBackground = backgroundImages_.count(s) != 0;
    const bool ownTitle = titles_.count(s) || titleColors_.count(s) || ownBackground;
    const bool ownImage = images_.count(s) || ownBackground;
    titleLabel_->setAlpha(dimmedState && !ownTitle ? 0.5 : 1);
    imageView_->setAlpha(dimmedState && !ownImage ? 0.5 : 1);
    setNeedsLayout();
}

gfx::Size Button::sizeThatFits(gfx::Size) const {
    gfx::Size t = titleLabel_->text().empty() ? gfx::Size{} : titleLabel_->sizeThatFits({0, 0});
    gfx::Size i = imageView_->image() ? imageView_->image()->size() : gfx::Size{};
    return {t.width + i.width + insets_.left + insets_.right,
            std::max(t.height, i.height) + insets_.top + insets_.bottom};
}

void Button::layoutSubviews() {
    if (backgroundView_) backgroundView_->setFrame(bounds());
    gfx::Rect content = bounds().inset(insets_);
    gfx::Size i = imageView_->image() ? imageView_->image()->size() : gfx::Size{};
    gfx::Size t = titleLabel_->text().empty() ? gfx::Size{} : titleLabel_->sizeThatFits({0, 0});
    t.width = std::min(t.width, std::max(0.0, content.width() - i.width));
    double x = content.midX() - (i.width + t.width) / 2;
    imageView_->setFrame({x, content.midY() - i.height / 2, i.width, i.height});
    titleLabel_->setFrame({x + i.width, content.midY() - t.height / 2, t.width, t.height});
}

} // namespace ui
