#include "indicators/IndicatorGallery.h"

#include "indicators/ActivityIndicatorView.h"
#include "platform/ca/MediaTime.h"
#include "platform/ca/Renderer.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/ui/Label.h"

namespace indicators {

IndicatorGallery::IndicatorGallery(const std::vector<ActivityIndicatorType>& types, int perRow,
                                   const std::vector<double>& times) {
    const size_t count = types.size() * times.size();
    const size_t columns = static_cast<size_t>(std::max(1, perRow));
    const size_t rows = (count + columns - 1) / columns;
    view_ = core::make<ui::View>(gfx::Rect{0, 0, kCellWidth * static_cast<double>(columns),
                                           kCellHeight * static_cast<double>(rows)});
    view_->setBackgroundColor(gfx::Color::rgb(24, 26, 32));
    buildTime_ = ca::currentMediaTime();
    size_t index = 0;
    for (auto type : types) {
        for (double t : times) {
            const double x = kCellWidth * static_cast<double>(index % columns);
            const double y = kCellHeight * static_cast<double>(index / columns);
            auto cell = core::make<ui::View>(gfx::Rect{x, y, kCellWidth, kCellHeight});
            cell->setBackgroundColor(gfx::Color::rgb(48, 52, 62));
            auto indicator = ActivityIndicatorView::initIndicatorView(
                {(kCellWidth - kSide) / 2, 8, kSide, kSide}, type, gfx::Color::whiteColor(), 0.0);
            indicator->startIndicator();
            cell->addSubview(indicator);
            auto name = core::make<ui::Label>(gfx::Rect{2, kSide + 14, kCellWidth - 4, 16});
            name->setFont(gfx::Font::systemFont(9));
            name->setTextColor(gfx::Color::rgb(200, 204, 214));
            name->setTextAlignment(ui::TextAlignment::center);
            name->setText(std::string(caseName(type)));
            cell->addSubview(name);
            // The cell runs `t` seconds ahead of the clock.
            cell->layer()->setTimeOffset(t);
            view_->addSubview(cell);
            ++index;
        }
    }
}

std::shared_ptr<const gfx::Image> IndicatorGallery::render(double secondsAfterBuild, double scale) const {
    gfx::BitmapContext context(view_->bounds().size, scale);
    view_->layoutIfNeeded();
    ca::Renderer::render(*view_->layer(), context, buildTime_ + secondsAfterBuild);
    return context.makeImage();
}

} // namespace indicators
