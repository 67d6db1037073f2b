#include "refresh/RefreshBackGifFooter.h"

#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshLabel.h"
#include "refresh/RefreshSubview.h"

namespace refresh {

std::shared_ptr<ui::ImageView> RefreshBackGifFooter::gifView() {
    return subviewMadeOnFirstUse(*this, gifView_, [] { return core::make<ui::ImageView>(); });
}

void RefreshBackGifFooter::prepare() {
    RefreshBackStateFooter::prepare();
    setLabelLeftInset(kRefreshGifLabelLeftInset);
}

void RefreshBackGifFooter::setImages(const std::optional<std::vector<gfx::ImagePtr>>& images, double duration,
                                     RefreshComponentState state) {
    if (auto height = stateImages_.set(images, duration, state); height && *height > rf_h(*this)) setRf_h(*this, *height);
}

void RefreshBackGifFooter::setImages(const std::optional<std::vector<gfx::ImagePtr>>& images, RefreshComponentState state) {
    setImages(images, RefreshStateImages::defaultDuration(images), state);
}

void RefreshBackGifFooter::setPullingPercent(double pullingPercent) {
    RefreshBackStateFooter::setPullingPercent(pullingPercent);
    if (state() == RefreshComponentState::Idle) stateImages_.showPullingPercent(*gifView(), pullingPercent);
}

void RefreshBackGifFooter::placeSubviews() {
    RefreshBackStateFooter::placeSubviews();
    auto view = gifView();
    view->setFrame(bounds());
    auto state = stateLabel();
    if (state->isHidden()) {
        view->setContentMode(ui::ContentMode::center);
    } else {
        view->setContentMode(ui::ContentMode::right);
        setRf_w(*view, rf_w(*this) * 0.5 - labelLeftInset() - RefreshLabel::rf_textWith(*state) * 0.5);
    }
}

void RefreshBackGifFooter::setState(RefreshComponentState state) {
    if (state == this->state()) return;
    RefreshBackStateFooter::setState(state);
    auto view = gifView();
    if (state == RefreshComponentState::Pulling || state == RefreshComponentState::Refreshing) {
        if (stateImages_.imagesFor(state).empty()) return;
        view->setHidden(false);
        stateImages_.play(*view, state);
    } else if (state == RefreshComponentState::Idle) {
        view->setHidden(false);
    } else if (state == RefreshComponentState::NoMoreData) {
        view->setHidden(true);
    }
}

} // namespace refresh
