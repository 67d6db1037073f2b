#include "refresh/RefreshGifHeader.h"

#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshLabel.h"
#include "refresh/RefreshSubview.h"

#include <algorithm>
#include <cmath>

namespace refresh {

std::shared_ptr<ui::ImageView> RefreshGifHeader::gifView() {
    return subviewMadeOnFirstUse(*this, gifView_, [] { return core::make<ui::ImageView>(); });
}

void RefreshGifHeader::prepare() {
    RefreshStateHeader::prepare();
    setLabelLeftInset(kRefreshGifLabelLeftInset);
}

void RefreshGifHeader::setImages(const std::optional<std::vector<gfx::ImagePtr>>& images, double duration,
                                 RefreshComponentState state) {
    if (auto height = stateImages_.set(images, duration, state); height && *height > rf_h(*this)) setRf_h(*this, *height);
}

void RefreshGifHeader::setImages(const std::optional<std::vector<gfx::ImagePtr>>& images, RefreshComponentState state) {
    setImages(images, RefreshStateImages::defaultDuration(images), state);
}

void RefreshGifHeader::setPullingPercent(double pullingPercent) {
    RefreshStateHeader::setPullingPercent(pullingPercent);
    if (state() == RefreshComponentState::Idle) stateImages_.showPullingPercent(*gifView(), pullingPercent);
}

void RefreshGifHeader::placeSubviews() {
    RefreshStateHeader::placeSubviews();
    auto view = gifView();
    view->setFrame(bounds());
    auto state = stateLabel();
    auto last = lastUpdatedTimeLabel();
    if (state->isHidden() && last->isHidden()) {
        view->setContentMode(ui::ContentMode::center);
    } else {
        view->setContentMode(ui::ContentMode::right);
        double stateWidth = RefreshLabel::rf_textWith(*state);
        double timeWidth = last->isHidden() ? 0 : RefreshLabel::rf_textWith(*last);
        setRf_w(*view, rf_w(*this) * 0.5 - std::max(stateWidth, timeWidth) * 0.5 - labelLeftInset());
    }
}

void RefreshGifHeader::setState(RefreshComponentState state) {
    if (state == this->state()) return;
    RefreshStateHeader::setState(state);
    if (state == RefreshComponentState::Pulling || state == RefreshComponentState::Refreshing) {
        stateImages_.play(*gifView(), state);
    } else if (state == RefreshComponentState::Idle) {
        gifView()->stopAnimating();
    }
}

} // namespace refresh
