#pragma once
// A pull-up footer with an arrow beside its title, pointing against the pull at rest and turning
// to point along it once letting go would load, and the platform spinner in its place while
// loading. Main thread only.

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ImageView.h"
#include "refresh/RefreshBackStateFooter.h"

namespace refresh {

class RefreshBackNormalFooter : public RefreshBackStateFooter {
    QUILLORA_CLASS(RefreshBackNormalFooter)

    using RefreshBackStateFooter::RefreshBackStateFooter;
    static std::shared_ptr<RefreshBackNormalFooter> footerWithRefreshingBlock(Block block) {
        return make<RefreshBackNormalFooter>(std::move(block));
    }

    // Made on first use and added as subviews; the view tree owns them.
    std::shared_ptr<ui::ImageView> arrowView();
    std::shared_ptr<ui::ActivityIndicatorView> loadingView();
    ui::ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return activityIndicatorViewStyle_; }
    // The next use makes a spinner in the new style; the old one leaves the footer.
    void setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style);

    void setState(RefreshComponentState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    std::weak_ptr<ui::ImageView> arrowView_;
    std::weak_ptr<ui::ActivityIndicatorView> loadingView_;
    ui::ActivityIndicatorViewStyle activityIndicatorViewStyle_ = ui::ActivityIndicatorViewStyle::gray;
    std::optional<gfx::Color> arrowTint_;
};

} // namespace refresh
