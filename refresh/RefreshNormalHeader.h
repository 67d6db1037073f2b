#pragma once
// The header the pages use: an arrow beside the texts that turns over while pulling, and the
// platform spinner in its place while refreshing. Main thread only.

#include "refresh/RefreshArrowSpinner.h"
#include "refresh/RefreshStateHeader.h"

namespace refresh {

class RefreshNormalHeader : public RefreshStateHeader {
    QUILLORA_CLASS(RefreshNormalHeader)

    using RefreshStateHeader::RefreshStateHeader;
    static std::shared_ptr<RefreshNormalHeader> headerWithRefreshingBlock(Block block) {
        return make<RefreshNormalHeader>(std::move(block));
    }

    // Made on first use and added as subviews; the view tree owns them.
    std::shared_ptr<ui::ImageView> arrowView() { return pieces_.arrowView(*this); }
    std::shared_ptr<ui::ActivityIndicatorView> loadingView() { return pieces_.loadingView(*this); }
    ui::ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return pieces_.style(); }
    // The next use makes a spinner in the new style; the old one leaves the header.
    void setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style) { pieces_.setStyle(*this, style); }

    void setState(RefreshComponentState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    RefreshArrowSpinner pieces_;
};

} // namespace refresh
