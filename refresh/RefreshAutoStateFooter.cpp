#include "refresh/RefreshAutoStateFooter.h"

#include "platform/ui/TapGestureRecognizer.h"
#include "refresh/RefreshBundle.h"
#include "refresh/RefreshConst.h"
#include "refresh/RefreshLabel.h"
#include "refresh/RefreshSubview.h"

namespace refresh {

std::shared_ptr<ui::Label> RefreshAutoStateFooter::stateLabel() {
    return subviewMadeOnFirstUse(*this, stateLabel_, RefreshLabel::rf_label);
}

void RefreshAutoStateFooter::prepare() {
    RefreshAutoFooter::prepare();
    labelLeftInset_ = kRefreshLabelLeftInset;
    setTitle(RefreshBundle::rf_localizedStringForKey(kRefreshAutoFooterIdleText), RefreshComponentState::Idle);
    setTitle(RefreshBundle::rf_localizedStringForKey(kRefreshAutoFooterRefreshingText), RefreshComponentState::Refreshing);
    setTitle(RefreshBundle::rf_localizedStringForKey(kRefreshAutoFooterNoMoreDataText), RefreshComponentState::NoMoreData);
    auto label = stateLabel();
    label->setUserInteractionEnabled(true);
    auto tap = std::make_shared<ui::TapGestureRecognizer>();
    std::weak_ptr<RefreshAutoStateFooter> weak = std::static_pointer_cast<RefreshAutoStateFooter>(shared_from_this());
    tap->addAction([weak](ui::GestureRecognizer&) {
        if (auto self = weak.lock()) self->stateLabelClick();
    });
    label->addGestureRecognizer(tap);
}

void RefreshAutoStateFooter::stateLabelClick() {
    if (state() == RefreshComponentState::Idle) beginRefreshing();
}

void RefreshAutoStateFooter::setTitle(const std::optional<std::string>& title, RefreshComponentState state) {
    if (stateTitles_.set(title, state)) stateLabel()->setText(stateTitles_.titleFor(this->state()));
}

void RefreshAutoStateFooter::placeSubviews() {
    RefreshAutoFooter::placeSubviews();
    stateLabel()->setFrame(bounds());
}

void RefreshAutoStateFooter::setState(RefreshComponentState state) {
    if (state == this->state()) return;
    RefreshAutoFooter::setState(state);
    if (state == RefreshComponentState::Refreshing && refreshingTitleHidden_) stateLabel()->setText("");
    else stateLabel()->setText(stateTitles_.titleFor(state));
}

} // namespace refresh
