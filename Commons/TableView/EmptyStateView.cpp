#include "Commons/TableView/EmptyStateView.h"

#include "ui/c.h"

namespace kit {

void EmptyStateView::init() {
    ui::View::init();
    addSubview(imageView_);
    imageView_->setImage(gfx::Image::named("common_no_data.png"));
    setBackgroundColor(c::colorF5F5F5());
    addSubview(label_);
    label_->setText("暂无数据");
    auto tap = std::make_shared<ui::TapGestureRecognizer>();
    std::weak_ptr<EmptyStateView> weak = std::static_pointer_cast<EmptyStateView>(shared_from_this());
    tap->addAction([weak](ui::GestureRecognizer& recognizer) {
        if (auto self = weak.lock()) self->tapWithTap(recognizer);
    });
    addGestureRecognizer(tap);
}

void EmptyStateView::layoutIn(const gfx::Rect& frame, gfx::Size hostSize) {
    const double u = c::shortSide() / 1080;
    setFrame(frame);
    const double side = 400 * u;
    imageView_->setFrame({hostSize.width / 2 - side / 2, hostSize.height / 2 - 60 * u - side / 2, side, side});
    const auto image = imageView_->frame();
    label_->setFrame({0, image.origin.y + image.size.height, frame.size.width, 60 * u});
    label_->setTextColor(c::colorCCCCCC());
    label_->setFont(c::font44());
    label_->setTextAlignment(ui::TextAlignment::center);
    setBackgroundColor(c::colorF5F5F5());
}

} // namespace kit
