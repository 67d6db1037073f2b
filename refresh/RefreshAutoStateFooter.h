#pragma once
// An automatic footer with a state title; tapping the title while idle starts loading.

#include "platform/ui/Label.h"
#include "refresh/RefreshAutoFooter.h"

#include "refresh/RefreshStateTitles.h"

namespace refresh {

class RefreshAutoStateFooter : public RefreshAutoFooter {
    QUILLORA_CLASS(RefreshAutoStateFooter)

    using RefreshAutoFooter::RefreshAutoFooter;
    static std::shared_ptr<RefreshAutoStateFooter> footerWithRefreshingBlock(Block block) {
        return make<RefreshAutoStateFooter>(std::move(block));
    }

    // Made on first use and added as a subview; the view tree owns it.
    std::shared_ptr<ui::Label> stateLabel();
    bool isRefreshingTitleHidden() const { return refreshingTitleHidden_; }
    void setRefreshingTitleHidden(bool hidden) { refreshingTitleHidden_ = hidden; }
    double labelLeftInset() const { return labelLeftInset_; }
    void setLabelLeftInset(double inset) { labelLeftInset_ = inset; }
    // A missing title is ignored; the title of the current state shows at once.
    void setTitle(const std::optional<std::string>& title, RefreshComponentState state);
    void stateLabelClick();

    void setState(RefreshComponentState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    std::weak_ptr<ui::Label> stateLabel_;
    bool refreshingTitleHidden_ = false;
    double labelLeftInset_ = 0;
    RefreshStateTitles stateTitles_;
};

} // namespace refresh
