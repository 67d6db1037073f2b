#include "refresh/RefreshAutoGifFooter.h"

#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshLabel.h"
#include "refresh/RefreshSubview.h"

namespace refresh {

std::shared_ptr<ui::ImageView> RefreshAutoGifFooter::gifView() {
    return subviewMadeOnFirstUse(*this, gifView_, [] { return core::make<ui::ImageView>(); });
}

void RefreshAutoGifFooter::prepare() {
    RefreshAutoStateFooter::prepare();
    setLabelLeftInset(kRefreshGifLabelLeftInset);
}

void RefreshAutoGifFooter::setImages(const std::optional<std::vector<gfx::ImagePtr>>& images, double duration,
                                     RefreshComponentState state) {
    if (auto height = stateImages_.set(images, duration, state); height && *height > rf_h(*this)) setRf_h(*this, *height);
}

void RefreshAutoGifFooter::setImages(const std::optional<std::vector<gfx::ImagePtr>>& images, RefreshComponentState state) {
    setImages(images, RefreshStateImages::defaultDuration(images), state);
}

void RefreshAutoGifFooter::placeSubviews() {
    RefreshAutoStateFooter::placeSubviews();
    auto view = gifView();
    view->setFrame(bounds());
    if (isRefreshingTitleHidden()) {
        view->setContentMode(ui::ContentMode::center);
    } else {
        view->setContentMode(ui::ContentMode::right);
        setRf_w(*view, rf_w(*this) * 0.5 - labelLeftInset() - RefreshLabel::rf_textWith(*stateLabel()) * 0.5);
    }
}

void RefreshAutoGifFooter::setState(RefreshComponentState state) {
    if (state == this->state()) return;
    RefreshAutoStateFooter::setState(state);
    auto view = gifView();
    if (state == RefreshComponentState::Refreshing) {
        if (stateImages_.imagesFor(state).empty()) return;
        view->setHidden(false);
        stateImages_.play(*view, state);
    } else if (state == RefreshComponentState::Idle || state == RefreshComponentState::NoMoreData) {
        view->stopAnimating();
        view->setHidden(true);
    }
}

} // namespace refresh
