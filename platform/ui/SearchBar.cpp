#include "platform/ui/SearchBar.h"

namespace ui {

void SearchBar::init() {
    View::init();
    setBackgroundColor(gfx::Color::rgb(201, 201, 206));
    field_ = core::make<TextField>();
    field_->setBackgroundColor(gfx::Color::whiteColor());
    field_->setFont(gfx::Font::systemFont(14));
    addSubview(field_);
}

void SearchBar::layoutSubviews() {
    View::layoutSubviews();
    gfx::Rect b = bounds();
    field_->setFrame({8, (b.height() - 28) / 2, std::max(0.0, b.width() - 16), 28});
}

} // namespace ui
