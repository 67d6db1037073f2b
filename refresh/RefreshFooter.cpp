#include "refresh/RefreshFooter.h"

#include "platform/ui/CollectionView.h"
#include "platform/ui/TableView.h"
#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshScrollView.h"

namespace refresh {

void RefreshFooter::prepare() {
    RefreshComponent::prepare();
    setRf_h(*this, kRefreshFooterHeight);
    automaticallyHidden_ = false;
}

bool RefreshFooter::isAttached() const {
    auto scroll = scrollView();
    return scroll && superview() == scroll;
}

void RefreshFooter::willMoveToSuperview(const std::shared_ptr<ui::View>& newSuperview) {
    RefreshComponent::willMoveToSuperview(newSuperview);
    if (!newSuperview) return;
    auto scroll = scrollView();
    if (!scroll || scroll != newSuperview) return;
    if (!std::dynamic_pointer_cast<ui::TableView>(scroll) && !std::dynamic_pointer_cast<ui::CollectionView>(scroll)) return;
    auto self = std::static_pointer_cast<RefreshFooter>(shared_from_this());
    // The block holds the footer (the scroll view owns both); it does nothing unless asked to
    // hide the footer on empty reloads.
    setRf_reloadDataBlock(*scroll, [self](std::int64_t totalDataCount) {
        if (self->isAutomaticallyHidden()) self->setHidden(totalDataCount == 0);
    });
}

void RefreshFooter::endRefreshingWithNoMoreData() {
    afterThisTurn([](RefreshComponent& self) { self.setState(RefreshComponentState::NoMoreData); });
}

void RefreshFooter::resetNoMoreData() {
    afterThisTurn([](RefreshComponent& self) { self.setState(RefreshComponentState::Idle); });
}

} // namespace refresh
