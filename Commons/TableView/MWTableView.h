#pragma once
// The pages' table: every reload decides whether the empty-state panel covers it. The table
// counts as empty when its data source reports no sections, or exactly one section without rows
// (any other number of sections counts as content, even if they hold no rows). Main thread only.
#include "Commons/TableView/EmptyStateView.h"
#include "platform/ui/TableView.h"

namespace kit {

class MWTableView : public ui::TableView {
    QUILLORA_CLASS(MWTableView)

    using ui::TableView::TableView;
    void init() override;

    const std::shared_ptr<EmptyStateView>& bgView() const { return bgView_; }
    const std::shared_ptr<ui::ImageView>& bgImageView() const { return bgView_->imageView(); }
    const std::shared_ptr<ui::Label>& label() const { return bgView_->label(); }

    bool theScrollEnabel() const { return theScrollEnabel_; }
    void setTheScrollEnabel(bool enabled) { theScrollEnabel_ = enabled; }

    virtual void setupEmptyView();
    // Every reload goes through the empty-state decision.
    void reloadData() override;
    // Reloads; an empty table (unless forceHidden) is scrolled to the top and covered by the
    // panel, and scrolls only when it has a pull-to-refresh header.
    virtual void reloadAndUpdateEmptyState(bool forceHidden);

private:
    long countToShow();

    std::shared_ptr<EmptyStateView> bgView_ = core::make<EmptyStateView>();
    bool theScrollEnabel_ = true;
};

} // namespace kit
