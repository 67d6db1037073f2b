#pragma once
// A pull-up footer with an arrow beside its title, pointing against the pull at rest and turning
// to point along it once letting go would load, and the platform spinner in its place while
// loading. Main thread only.

#include "refresh/RefreshArrowSpinner.h"
#include "refresh/RefreshBackStateFooter.h"

namespace refresh {

class RefreshBackNormalFooter : public RefreshBackStateFooter {
    QUILLORA_CLASS(RefreshBackNormalFooter)

    using RefreshBackStateFooter::RefreshBackStateFooter;
    static std::shared_ptr<RefreshBackNormalFooter> footerWithRefreshingBlock(Block block) {
        return make<RefreshBackNormalFooter>(std::move(block));
    }

    // Made on first use and added as subviews; the view tree owns them.
    std::shared_ptr<ui::ImageView> arrowView() { return pieces_.arrowView(*this); }
    std::shared_ptr<ui::ActivityIndicatorView> loadingView() { return pieces_.loadingView(*this); }
    ui::ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return pieces_.style(); }
    // The next use makes a spinner in the new style; the old one leaves the footer.
    void setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style) { pieces_.setStyle(*this, style); }

    void setState(RefreshComponentState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    RefreshArrowSpinner pieces_;
};

} // namespace refresh
