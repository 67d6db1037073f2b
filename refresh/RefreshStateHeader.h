#pragma once
// A header with a state title and, below it, when the header last finished refreshing:
// "<last time text><today word> HH:mm" for today, "MM-dd HH:mm" earlier this year and
// "yyyy-MM-dd HH:mm" before, in the Gregorian calendar. Main thread only.

#include "platform/ui/Calendar.h"
#include "platform/ui/Label.h"
#include "refresh/RefreshHeader.h"

#include "refresh/RefreshStateTitles.h"

namespace refresh {

class RefreshStateHeader : public RefreshHeader {
    QUILLORA_CLASS(RefreshStateHeader)

    using RefreshHeader::RefreshHeader;
    static std::shared_ptr<RefreshStateHeader> headerWithRefreshingBlock(Block block) {
        return make<RefreshStateHeader>(std::move(block));
    }

    // Made on first use and added as a subview; the view tree owns them.
    std::shared_ptr<ui::Label> lastUpdatedTimeLabel();
    std::shared_ptr<ui::Label> stateLabel();

    // When set, decides the last-updated text (also when no date is stored).
    using LastUpdatedTimeText = std::function<std::string(std::optional<double> secondsSince1970)>;
    const LastUpdatedTimeText& lastUpdatedTimeText() const { return lastUpdatedTimeText_; }
    void setLastUpdatedTimeText(LastUpdatedTimeText block) { lastUpdatedTimeText_ = std::move(block); }
    double labelLeftInset() const { return labelLeftInset_; }
    void setLabelLeftInset(double inset) { labelLeftInset_ = inset; }

    // A missing title is ignored; the title of the current state shows at once.
    void setTitle(const std::optional<std::string>& title, RefreshComponentState state);
    const ui::Calendar& currentCalendar() const { return ui::Calendar::gregorian(); }

    void setLastUpdatedTimeKey(std::string key) override;
    void setState(RefreshComponentState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    std::weak_ptr<ui::Label> lastUpdatedTimeLabel_;
    std::weak_ptr<ui::Label> stateLabel_;
    LastUpdatedTimeText lastUpdatedTimeText_;
    double labelLeftInset_ = 0;
    RefreshStateTitles stateTitles_;
};

} // namespace refresh
