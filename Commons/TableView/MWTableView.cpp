#include "Commons/TableView/MWTableView.h"

#include "refresh/RefreshScrollView.h"

namespace kit {

void MWTableView::init() {
    ui::TableView::init();
    setupEmptyView();
}

void MWTableView::setupEmptyView() {
    addSubview(bgView_);
}

void MWTableView::reloadData() {
    reloadAndUpdateEmptyState(false);
}

long MWTableView::countToShow() {
    auto source = dataSource();
    if (!source) return 0;
    const long sections = source->numberOfSectionsInTableView(*this);
    if (sections != 1) return sections;
    return source->numberOfRowsInSection(*this, 0);
}

void MWTableView::reloadAndUpdateEmptyState(bool forceHidden) {
    const auto size = frame().size;
    bgView_->layoutIn({0, 0, bounds().size.width, bounds().size.height}, size);
    if (countToShow() == 0 && !forceHidden) {
        ui::TableView::reloadData();
        setContentOffset({0, 0}, false);
        bgView_->setHidden(false);
        setScrollEnabled(refresh::rf_header(*this) ? theScrollEnabel_ : false);
        bringSubviewToFront(bgView_);
    } else {
        bgView_->setHidden(true);
        setScrollEnabled(theScrollEnabel_);
        ui::TableView::reloadData();
    }
}

} // namespace kit
