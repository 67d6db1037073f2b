#include "refresh/RefreshStateHeader.h"

#include "platform/dispatch/Clock.h"
#include "platform/ui/DateFormatter.h"
#include "refresh/RefreshBundle.h"
#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshLabel.h"
#include "refresh/RefreshSubview.h"

namespace refresh {

std::shared_ptr<ui::Label> RefreshStateHeader::lastUpdatedTimeLabel() {
    return subviewMadeOnFirstUse(*this, lastUpdatedTimeLabel_, RefreshLabel::rf_label);
}

std::shared_ptr<ui::Label> RefreshStateHeader::stateLabel() {
    return subviewMadeOnFirstUse(*this, stateLabel_, RefreshLabel::rf_label);
}

void RefreshStateHeader::prepare() {
    RefreshHeader::prepare();
    labelLeftInset_ = kRefreshLabelLeftInset;
    setTitle(RefreshBundle::rf_localizedStringForKey(kRefreshHeaderIdleText), RefreshComponentState::Idle);
    setTitle(RefreshBundle::rf_localizedStringForKey(kRefreshHeaderPullingText), RefreshComponentState::Pulling);
    setTitle(RefreshBundle::rf_localizedStringForKey(kRefreshHeaderRefreshingText), RefreshComponentState::Refreshing);
}

void RefreshStateHeader::setTitle(const std::optional<std::string>& title, RefreshComponentState state) {
    if (stateTitles_.set(title, state)) stateLabel()->setText(stateTitles_.titleFor(this->state()));
}

void RefreshStateHeader::setLastUpdatedTimeKey(std::string key) {
    RefreshHeader::setLastUpdatedTimeKey(std::move(key));
    auto label = lastUpdatedTimeLabel();
    if (label->isHidden()) return;
    std::optional<double> date = lastUpdatedTime();
    if (lastUpdatedTimeText_) {
        label->setText(lastUpdatedTimeText_(date));
        return;
    }
    std::string lastTime = RefreshBundle::rf_localizedStringForKey(kRefreshHeaderLastTimeText);
    if (!date) {
        label->setText(lastTime + RefreshBundle::rf_localizedStringForKey(kRefreshHeaderNoneLastDateText));
        return;
    }
    const ui::Calendar& calendar = currentCalendar();
    ui::DateComponents then = calendar.components(*date);
    ui::DateComponents now = calendar.components(dispatch::Clock::current().wallTime());
    ui::DateFormatter formatter;
    std::string word;
    if (then.year == now.year && then.month == now.month && then.day == now.day) {
        formatter.setDateFormat(" HH:mm");
        word = RefreshBundle::rf_localizedStringForKey(kRefreshHeaderDateTodayText);
    } else if (then.year == now.year) {
        formatter.setDateFormat("MM-dd HH:mm");
    } else {
        formatter.setDateFormat("yyyy-MM-dd HH:mm");
    }
    label->setText(lastTime + word + formatter.stringFromDate(*date));
}

void RefreshStateHeader::setState(RefreshComponentState state) {
    if (state == this->state()) return;
    RefreshHeader::setState(state);
    stateLabel()->setText(stateTitles_.titleFor(state));
    // Rebuilds the last-updated text.
    setLastUpdatedTimeKey(lastUpdatedTimeKey());
}

void RefreshStateHeader::placeSubviews() {
    RefreshHeader::placeSubviews();
    auto state = stateLabel();
    if (state->isHidden()) return;
    auto last = lastUpdatedTimeLabel();
    if (last->isHidden()) {
        state->setFrame(bounds());
    } else {
        double w = rf_w(*this), h = rf_h(*this);
        state->setFrame({0, 0, w, h * 0.5});
        setRf_y(*last, h * 0.5);
        last->setFrame({0, h * 0.5, w, h - rf_y(*last)});
    }
}

} // namespace refresh
