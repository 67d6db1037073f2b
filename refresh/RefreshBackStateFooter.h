#pragma once
// A pull-up footer with a state title: "上拉加载更多" at rest, "松手加载更多" when letting go
// would load, then the loading and no-more texts of the Refresh bundle.

#include "platform/ui/Label.h"
#include "refresh/RefreshBackFooter.h"
#include "refresh/RefreshStateTitles.h"

namespace refresh {

class RefreshBackStateFooter : public RefreshBackFooter {
    QUILLORA_CLASS(RefreshBackStateFooter)

    using RefreshBackFooter::RefreshBackFooter;
    static std::shared_ptr<RefreshBackStateFooter> footerWithRefreshingBlock(Block block) {
        return make<RefreshBackStateFooter>(std::move(block));
    }

    // Made on first use and added as a subview; the view tree owns it.
    std::shared_ptr<ui::Label> stateLabel();
    double labelLeftInset() const { return labelLeftInset_; }
    void setLabelLeftInset(double inset) { labelLeftInset_ = inset; }
    // A missing title is ignored; the title of the current state shows at once.
    void setTitle(const std::optional<std::string>& title, RefreshComponentState state);
    std::optional<std::string> titleForState(RefreshComponentState state) const { return stateTitles_.titleForState(state); }

    void setState(RefreshComponentState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    std::weak_ptr<ui::Label> stateLabel_;
    double labelLeftInset_ = 0;
    RefreshStateTitles stateTitles_;
};

} // namespace refresh
