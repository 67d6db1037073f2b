#include "refresh/RefreshComponent.h"

#include "platform/dispatch/Queue.h"
#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"

namespace refresh {

void RefreshComponent::init() {
    View::init();
    prepare();
    setState(RefreshComponentState::Idle);
}

void RefreshComponent::prepare() {
    setAutoresizingMask(ui::autoresizingFlexibleWidth);
    setBackgroundColor(gfx::Color::clear());
}

void RefreshComponent::layoutSubviews() {
    placeSubviews();
    View::layoutSubviews();
}

void RefreshComponent::afterThisTurn(std::function<void(RefreshComponent&)> step) {
    std::weak_ptr<RefreshComponent> weak = std::static_pointer_cast<RefreshComponent>(shared_from_this());
    dispatch::Queue::main()->async([weak, step = std::move(step)] {
        if (auto self = weak.lock()) step(*self);
    });
}

// ---- Attachment

void RefreshComponent::willMoveToSuperview(const std::shared_ptr<ui::View>& newSuperview) {
    View::willMoveToSuperview(newSuperview);
    if (!newSuperview) {
        removeObservers();
        return;
    }
    auto scroll = std::dynamic_pointer_cast<ui::ScrollView>(newSuperview);
    if (!scroll) return;
    removeObservers();
    setRf_w(*this, rf_w(*scroll));
    setRf_x(*this, -rf_insetL(*scroll));
    scrollView_ = scroll;
    scroll->setAlwaysBounceVertical(true);
    scrollViewOriginalInset_ = rf_inset(*scroll);
    addObservers();
}

void RefreshComponent::didMoveToSuperview() {
    View::didMoveToSuperview();
    // Out of its scroll view the control is attached to nothing: it neither observes nor changes
    // that scroll view any more.
    auto scroll = scrollView_.lock();
    if (scroll && superview() != scroll) scrollView_.reset();
}

void RefreshComponent::addObservers() {
    auto scroll = scrollView_.lock();
    if (!scroll) return;
    std::weak_ptr<RefreshComponent> weak = std::static_pointer_cast<RefreshComponent>(shared_from_this());
    offsetToken_ = scroll->observeContentOffset([weak](const ui::ObservedChange<gfx::Point>& change) {
        auto self = weak.lock();
        if (!self || !self->isUserInteractionEnabled() || self->isHidden()) return;
        self->scrollViewContentOffsetDidChange(change);
    });
    sizeToken_ = scroll->observeContentSize([weak](const ui::ObservedChange<gfx::Size>& change) {
        auto self = weak.lock();
        if (!self || !self->isUserInteractionEnabled()) return;
        self->scrollViewContentSizeDidChange(change);
    });
    pan_ = scroll->panGestureRecognizer();
    panToken_ = scroll->observePanState([weak](const ui::ObservedChange<ui::GestureRecognizer::State>& change) {
        auto self = weak.lock();
        if (!self || !self->isUserInteractionEnabled() || self->isHidden()) return;
        self->scrollViewPanStateDidChange(change);
    });
}

void RefreshComponent::removeObservers() {
    offsetToken_.reset();
    sizeToken_.reset();
    panToken_.reset();
    pan_.reset();
}

// ---- State

void RefreshComponent::setState(RefreshComponentState state) {
    state_ = state;
    // Laid out after the whole chain of overrides has set its texts and images.
    afterThisTurn([](RefreshComponent& self) { self.setNeedsLayout(); });
}

bool RefreshComponent::isRefreshing() const {
    return state_ == RefreshComponentState::Refreshing || state_ == RefreshComponentState::WillRefresh;
}

void RefreshComponent::setPullingPercent(double pullingPercent) {
    pullingPercent_ = pullingPercent;
    if (isRefreshing()) return;
    if (automaticallyChangeAlpha_) setAlpha(pullingPercent);
}

void RefreshComponent::setAutomaticallyChangeAlpha(bool automaticallyChangeAlpha) {
    automaticallyChangeAlpha_ = automaticallyChangeAlpha;
    if (isRefreshing()) return;
    setAlpha(automaticallyChangeAlpha ? pullingPercent_ : 1.0);
}

void RefreshComponent::beginRefreshing() {
    View::animate(kRefreshFastAnimationDuration, [this] { setAlpha(1.0); });
    setPullingPercent(1.0);
    if (window()) {
        setState(RefreshComponentState::Refreshing);
    } else if (state() != RefreshComponentState::Refreshing) {
        setState(RefreshComponentState::WillRefresh);
        // Drawn once it is in a window: the drawing starts the refresh.
        setNeedsDisplay();
    }
}

void RefreshComponent::beginRefreshingWithCompletionBlock(Block completion) {
    beginRefreshingCompletionBlock_ = std::move(completion);
    beginRefreshing();
}

void RefreshComponent::endRefreshing() {
    afterThisTurn([](RefreshComponent& self) { self.setState(RefreshComponentState::Idle); });
}

void RefreshComponent::endRefreshingWithCompletionBlock(Block completion) {
    endRefreshingCompletionBlock_ = std::move(completion);
    endRefreshing();
}

void RefreshComponent::executeRefreshingCallback() {
    afterThisTurn([](RefreshComponent& self) {
        if (self.refreshingBlock_) self.refreshingBlock_();
        if (self.refreshingAction_ && !self.refreshingTarget_.expired()) self.refreshingAction_(self);
        if (self.beginRefreshingCompletionBlock_) self.beginRefreshingCompletionBlock_();
    });
}

void RefreshComponent::drawRect(gfx::Context& context, const gfx::Rect& rect) {
    View::drawRect(context, rect);
    if (state_ == RefreshComponentState::WillRefresh) setState(RefreshComponentState::Refreshing);
}

} // namespace refresh
