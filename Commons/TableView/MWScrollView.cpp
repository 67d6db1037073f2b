#include "Commons/TableView/MWScrollView.h"

#include "refresh/RefreshScrollView.h"

namespace kit {

void MWScrollView::init() {
    ui::ScrollView::init();
    setupEmptyView();
}

void MWScrollView::setupEmptyView() {
    addSubview(bgView_);
}

void MWScrollView::updateEmptyState(bool hidden) {
    bgView_->layoutIn(bounds(), frame().size);
    if (hidden) {
        bgView_->setHidden(true);
        setScrollEnabled(theScrollEnabel_);
    } else {
        setContentOffset({0, 0}, false);
        // The panel follows the offset, which has just changed.
        bgView_->layoutIn(bounds(), frame().size);
        bgView_->setHidden(false);
        setScrollEnabled(refresh::rf_header(*this) ? theScrollEnabel_ : false);
    }
    bringSubviewToFront(bgView_);
}

} // namespace kit
