#include "platform/ui/TableViewCell.h"

#include "platform/ui/Screen.h"

namespace ui {

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : View(gfx::Rect{0, 0, 320, 44}), style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {}

void TableViewCell::init() {
    View::init();
    setBackgroundColor(gfx::Color::whiteColor());
    selectedBackground_ = core::make<View>(bounds());
    selectedBackground_->setBackgroundColor(gfx::Color::rgb(217, 217, 217));
    selectedBackground_->setHidden(true);
    addSubview(selectedBackground_);
    contentView_ = core::make<View>(bounds());
    addSubview(contentView_);
    separator_ = core::make<View>();
    separator_->setHidden(true);
    separator_->setUserInteractionEnabled(false);
    addSubview(separator_);
}

std::shared_ptr<Label> TableViewCell::textLabel() {
    if (!textLabel_) {
        textLabel_ = core::make<Label>();
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

void TableViewCell::setSelected(bool selected, bool) {
    selected_ = selected;
    updateBackground();
}

void TableViewCell::setHighlighted(bool highlighted, bool) {
    highlighted_ = highlighted;
    updateBackground();
}

void TableViewCell::updateBackground() {
    selectedBackground_->setHidden(selectionStyle_ == TableViewCellSelectionStyle::none || !(selected_ || highlighted_));
}

void TableViewCell::prepareForReuse() {
    setSelected(false);
    setHighlighted(false);
}

void TableViewCell::setSeparator(bool shown, gfx::Color color, double leftInset) {
    separator_->setHidden(!shown);
    separator_->setBackgroundColor(color);
    if (separatorInset_ != leftInset) {
        separatorInset_ = leftInset;
        setNeedsLayout();
    }
}

void TableViewCell::layoutSubviews() {
    gfx::Rect b = bounds();
    contentView_->setFrame(b);
    selectedBackground_->setFrame(b);
    double hairline = 1 / Screen::main().scale();
    separator_->setFrame({separatorInset_, b.height() - hairline, std::max(0.0, b.width() - separatorInset_), hairline});
    if (textLabel_) textLabel_->setFrame({15, 0, std::max(0.0, b.width() - 30), b.height()});
}

} // namespace ui
