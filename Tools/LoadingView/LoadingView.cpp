#include "Tools/LoadingView/LoadingView.h"

#include "platform/ui/Screen.h"
#include "ui/c.h"

namespace kit {

LoadingView::LoadingView(gfx::Rect) : View(ui::Screen::main().bounds()) {}

void LoadingView::init() {
    const double u = c::shortSide() / 1080;
    loadingView_ = indicators::ActivityIndicatorView::initIndicatorView({0, 0, 350 * u, 350 * u});
    loadingLabelBg_ = core::make<ui::View>(gfx::Rect{0, 0, 350 * u, 350 * u});
    loadingLabel_ = core::make<ui::Label>(gfx::Rect{50 * u, 50 * u, 250 * u, 250 * u});
    View::init();
    const gfx::Point middle{bounds().width() / 2, bounds().height() / 2};
    const gfx::Color dim = gfx::Color::black().withAlpha(0.7);

    // Stored without a layout: the owner lays the animation out when it starts the indicator.
    loadingView_->setType(indicators::ActivityIndicatorType::circleStrokeSpin);
    loadingView_->setBackgroundColor(dim);
    loadingView_->setPadding(100 * u);
    loadingView_->layer()->setCornerRadius(10);
    loadingView_->setClipsToBounds(true);
    loadingView_->setCenter(middle);
    addSubview(loadingView_);

    loadingLabelBg_->setBackgroundColor(dim);
    loadingLabelBg_->layer()->setCornerRadius(10);
    loadingLabelBg_->setClipsToBounds(true);
    loadingLabelBg_->setHidden(true);
    loadingLabelBg_->setCenter(middle);
    addSubview(loadingLabelBg_);

    loadingLabel_->layer()->setCornerRadius(10);
    loadingLabel_->setNumberOfLines(0);
    addSubview(loadingLabel_);
    loadingLabel_->setTextColor(c::colorFFFFFF());
    loadingLabel_->setFont(c::fontBold48());
    loadingLabel_->setHidden(true);
    loadingLabel_->setTextAlignment(ui::TextAlignment::center);
    loadingLabel_->setCenter(middle);

    setBackgroundColor(gfx::Color::black().withAlpha(0));
}

void LoadingView::dismiss1WithObj(const std::shared_ptr<core::Object>&) { removeFromSuperview(); }

} // namespace kit
