#pragma once
// The content scroll view of every page. It carries the empty-state panel, which the page shows
// over the content or hides through updateEmptyState(). The panel covers exactly what is in view
// (its origin is the content offset). Main thread only.
#include "Commons/TableView/EmptyStateView.h"
#include "platform/ui/ScrollView.h"

namespace kit {

class MWRootController;

class MWScrollView : public ui::ScrollView {
    QUILLORA_CLASS(MWScrollView)

    using ui::ScrollView::ScrollView;
    void init() override;

    std::shared_ptr<MWRootController> rootController() const { return rootController_.lock(); }
    void setRootController(std::weak_ptr<MWRootController> controller) { rootController_ = std::move(controller); }

    const std::shared_ptr<EmptyStateView>& bgView() const { return bgView_; }
    const std::shared_ptr<ui::ImageView>& bgImageView() const { return bgView_->imageView(); }
    const std::shared_ptr<ui::Label>& label() const { return bgView_->label(); }

    // The scrolling the view returns to whenever the panel is hidden; a page that must never
    // scroll sets it to false.
    bool theScrollEnabel() const { return theScrollEnabel_; }
    void setTheScrollEnabel(bool enabled) { theScrollEnabel_ = enabled; }

    // Adds the panel (shown, with zero size until the first updateEmptyState).
    virtual void setupEmptyView();
    // Lays the panel out over the visible area, then hides it (scrolling back to theScrollEnabel)
    // or shows it at the top (scrolling only with a pull-to-refresh header, so that an empty page
    // can still be pulled to reload), and brings it to the front either way.
    virtual void updateEmptyState(bool hidden);

private:
    std::weak_ptr<MWRootController> rootController_;
    std::shared_ptr<EmptyStateView> bgView_ = core::make<EmptyStateView>();
    bool theScrollEnabel_ = true;
};

} // namespace kit
