#pragma once
// The header the pages use: an arrow beside the texts that turns over while pulling, and the
// platform spinner in its place while refreshing. Main thread only.

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ImageView.h"
#include "refresh/RefreshStateHeader.h"

namespace refresh {

class RefreshNormalHeader : public RefreshStateHeader {
    QUILLORA_CLASS(RefreshNormalHeader)

    using RefreshStateHeader::RefreshStateHeader;
    static std::shared_ptr<RefreshNormalHeader> headerWithRefreshingBlock(Block block) {
        return make<RefreshNormalHeader>(std::move(block));
    }

    // Made on first use and added as subviews; the view tree owns them.
    std::shared_ptr<ui::ImageView> arrowView();
    std::shared_ptr<ui::ActivityIndicatorView> loadingView();
    ui::ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return activityIndicatorViewStyle_; }
    // The next use makes a spinner in the new style; the old one leaves the header.
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
