#include "keyboard/KBTextView.h"

#include <algorithm>

namespace keyboard {

void KBTextView::init() {
    ui::TextView::init();
    // Registered once: the view refreshes its hint after each change of its text.
    std::weak_ptr<KBTextView> weak = std::static_pointer_cast<KBTextView>(shared_from_this());
    changeToken_ = core::NotificationCenter::defaultCenter().addObserver(kTextDidChangeNotification, shared_from_this(),
                                                                         [weak](const core::Notification&) {
                                                                             if (auto self = weak.lock()) self->refreshPlaceholder();
                                                                         });
}

KBTextView::~KBTextView() {
    // Only a label that exists goes; none is made while the view is going away.
    if (label_) label_->removeFromSuperview();
}

const std::shared_ptr<ui::Label>& KBTextView::placeholderLabel() const {
    if (!label_) {
        label_ = core::make<ui::Label>();
        label_->setAutoresizingMask(ui::autoresizingFlexibleWidth | ui::autoresizingFlexibleHeight);
        label_->setLineBreakMode(ui::LineBreakMode::wordWrap);
        label_->setNumberOfLines(0);
        label_->setFont(font().value_or(gfx::Font::systemFont(kDefaultFontSize)));
        label_->setTextAlignment(textAlignment());
        label_->setBackgroundColor(gfx::Color::clear());
        label_->setTextColor(kPlaceholderColor);
        label_->setAlpha(0);
        const_cast<KBTextView*>(this)->addSubview(label_);
    }
    return label_;
}

std::optional<gfx::Color> KBTextView::placeholderTextColor() { return placeholderLabel()->textColor(); }
void KBTextView::setPlaceholderTextColor(std::optional<gfx::Color> color) { placeholderLabel()->setTextColor(color.value_or(kPlaceholderColor)); }

std::optional<std::string> KBTextView::placeholder() const {
    const auto& text = placeholderLabel()->text();
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

void KBTextView::setPlaceholder(std::optional<std::string> placeholder) {
    placeholderLabel()->setText(placeholder.value_or(""));
    refreshPlaceholder();
    setNeedsLayout();
}

void KBTextView::setText(std::string text) {
    ui::TextView::setText(std::move(text));
    refreshPlaceholder();
}

void KBTextView::setFont(std::optional<gfx::Font> font) {
    ui::TextView::setFont(std::move(font));
    placeholderLabel()->setFont(this->font().value_or(gfx::Font::systemFont(kDefaultFontSize)));
    setNeedsLayout();
}

void KBTextView::setTextAlignment(ui::TextAlignment alignment) {
    ui::TextView::setTextAlignment(alignment);
    placeholderLabel()->setTextAlignment(textAlignment());
}

std::shared_ptr<ui::TextViewDelegate> KBTextView::delegate() const {
    refreshPlaceholder();
    return ui::TextView::delegate();
}

void KBTextView::refreshPlaceholder() const { placeholderLabel()->setAlpha(text().empty() ? 1.0 : 0.0); }

void KBTextView::layoutSubviews() {
    ui::TextView::layoutSubviews();
    gfx::EdgeInsets inset = textContainerInset();
    double padding = lineFragmentPadding();
    double left = inset.left + padding, right = inset.right + padding;
    // A view narrower or shorter than its insets gives the hint no room rather than less than none.
    double width = std::max(0.0, frame().width() - left - right);
    double available = std::max(0.0, frame().height() - inset.top - inset.bottom);
    auto& label = placeholderLabel();
    gfx::Size fits = label->sizeThatFits({width, available});
    label->setFrame({left, inset.top, width, fits.height});
}

} // namespace keyboard
