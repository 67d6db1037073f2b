#pragma once
// The footer the pages use: the state title with the platform spinner beside it while loading.

#include "platform/ui/ActivityIndicatorView.h"
#include "refresh/RefreshAutoStateFooter.h"

namespace refresh {

class RefreshAutoNormalFooter : public RefreshAutoStateFooter {
    QUILLORA_CLASS(RefreshAutoNormalFooter)

    using RefreshAutoStateFooter::RefreshAutoStateFooter;
    static std::shared_ptr<RefreshAutoNormalFooter> footerWithRefreshingBlock(Block block) {
        return make<RefreshAutoNormalFooter>(std::move(block));
    }

    std::shared_ptr<ui::ActivityIndicatorView> loadingView();
    ui::ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return activityIndicatorViewStyle_; }
    // The next use makes a spinner in the new style; the old one leaves the footer.
    void setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style);

    void setState(RefreshComponentState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    std::weak_ptr<ui::ActivityIndicatorView> loadingView_;
    ui::ActivityIndicatorViewStyle activityIndicatorViewStyle_ = ui::ActivityIndicatorViewStyle::gray;
};

} // namespace refresh
