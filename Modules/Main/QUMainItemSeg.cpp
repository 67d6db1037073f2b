#include "Modules/Main/QUMainItemSeg.h"

#include "Modules/Main/QUMainController.h"
#include "Modules/Main/QUMainDetailController.h"
#include "platform/ui/NavigationController.h"
#include "ui/ViewGeometry.h"
#include "ui/c.h"

namespace kit {

namespace {

constexpr std::int64_t kTagsPerLine = 3;

} // namespace

QUMainItemSeg::QUMainItemSeg(gfx::Rect frame) : ui::View(frame) {
    const double u = c::unit();
    colorView_ = core::make<ui::View>(gfx::Rect{40 * u, 0, 10 * u, 60 * u});
    titleLabel_ = core::make<ui::Label>(gfx::Rect{100 * u, 0, 940 * u, 60 * u});
    seg_ = core::make<SegmentView>(gfx::Rect{15 * u, 110 * u, 1050 * u, 100 * u});
}

void QUMainItemSeg::init() {
    ui::View::init();
    // Red until the group's colour arrives.
    colorView_->setBackgroundColor(gfx::Color::rgb(255, 0, 0));
    titleLabel_->setFont(c::font40());
    titleLabel_->setTextColor(c::color333333());
    addSubview(colorView_);
    addSubview(titleLabel_);
    addSubview(seg_);

    // The grid lives inside the group, so its blocks hold the group weakly.
    std::weak_ptr<QUMainItemSeg> weakSelf = std::static_pointer_cast<QUMainItemSeg>(shared_from_this());
    seg_->setUpCustomView = [weakSelf](std::int64_t index, SegmentItemView& item) {
        if (auto self = weakSelf.lock()) self->buildTag(index, item);
    };
    // Tapping the tag tapped last opens its list again.
    seg_->setReclickAble(true);
    seg_->didClickItem = [weakSelf](std::int64_t index, SegmentItemView&) {
        if (auto self = weakSelf.lock()) self->openTag(index);
    };
}

void QUMainItemSeg::setModel(const std::shared_ptr<network::MWMainModel>& model) {
    modelContent_ = model;
    if (!model) return;
    colorView_->setBackgroundColor(c::colorFromHex(model->color));
    const double u = c::unit();
    const auto count = static_cast<std::int64_t>(model->content.size());
    setHeight(*seg_, static_cast<double>(SegmentView::getLinesFromCount(count, kTagsPerLine)) * 138 * u);
    seg_->setItemCount(count, kTagsPerLine);
    setHeight(*this, y(*seg_) + height(*seg_) + 22 * u);
}

void QUMainItemSeg::buildTag(std::int64_t index, SegmentItemView& item) {
    if (!modelContent_ || index < 0 || index >= static_cast<std::int64_t>(modelContent_->content.size())) return;
    const double u = c::unit();
    auto label = core::make<ui::Label>(gfx::Rect{25 * u, 21 * u, 300 * u, 96 * u});
    label->setTextColor(c::color4D4D4D());
    label->setTextAlignment(ui::TextAlignment::center);
    label->setFont(c::font36());
    item.addSubview(label);
    label->layer()->setCornerRadius(4);
    label->layer()->setMasksToBounds(true);
    label->setText(modelContent_->content[static_cast<std::size_t>(index)]->title);
    label->layer()->setBorderWidth(1);
    label->layer()->setBorderColor(c::color666666Alpha02());
}

void QUMainItemSeg::openTag(std::int64_t index) {
    if (!modelContent_ || index < 0 || index >= static_cast<std::int64_t>(modelContent_->content.size())) return;
    auto page = controller();
    if (!page) return;
    auto navigation = page->navigationController();
    if (!navigation) return;
    const std::string& title = modelContent_->content[static_cast<std::size_t>(index)]->title;
    // A tag without a title has nothing to list by, so it opens the search instead.
    std::optional<std::string> content = title.empty() ? std::nullopt : std::optional<std::string>(title);
    navigation->pushViewController(core::make<QUMainDetailController>(content), true);
}

} // namespace kit
