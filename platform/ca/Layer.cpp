#include "platform/ca/Layer.h"

#include "platform/ca/AnimationTicker.h"
#include "platform/ca/MediaTime.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ca {
namespace {

// Every setter of every layer asks for it, so it is a plain pointer (no guard of a function's
// static to pass each time); the function it points to, once made, lives for ever. Main thread.
std::function<void()>* changeObserver = nullptr;

} // namespace

void Layer::setChangeObserver(std::function<void()> observer) {
    if (!changeObserver) changeObserver = new std::function<void()>;
    *changeObserver = std::move(observer);
}

void Layer::changed() {
    if (changeObserver && *changeObserver) (*changeObserver)();
}

void Layer::geometryChanged() {
    changed();
    if (auto delegate = delegate_.lock()) delegate->layerGeometryDidChange(*this);
}

void Layer::setBounds(const gfx::Rect& r) {
    if (r.size != model_.bounds.size) needsDisplay_ = needsDisplay_ || !delegate_.expired();
    model_.bounds = r;
    geometryMoved();
    geometryChanged();
}
void Layer::setPosition(gfx::Point p) { model_.position = p; geometryMoved(); geometryChanged(); }
void Layer::setAnchorPoint(gfx::Point p) { model_.anchorPoint = p; geometryMoved(); geometryChanged(); }
void Layer::setZPosition(double z) { model_.zPosition = z; geometryMoved(); geometryChanged(); }

const Layer::Placement& Layer::plainPlacement() const {
    Placement& p = placement_;
    if (!p.plainKnown) {
        p.plain = model_.isPlainOffset();
        if (p.plain) {
            // The terms of LayerProperties::projectToSuperlayer, in the same order.
            gfx::Point anchor = model_.anchorInBounds();
            p.tx = (0.0 - anchor.x) + model_.position.x;
            p.ty = (0.0 - anchor.y) + model_.position.y;
        }
        p.plainKnown = true;
    }
    return p;
}

gfx::Rect Layer::frame() const {
    if (!placement_.frameKnown) {
        placement_.frame = model_.frame();
        placement_.frameKnown = true;
    }
    return placement_.frame;
}

gfx::Point Layer::projectToSuperlayer(gfx::Point p) const {
    const Placement& placement = plainPlacement();
    if (placement.plain && std::isfinite(p.x) && std::isfinite(p.y)) return {p.x + placement.tx, p.y + placement.ty};
    return model_.projectToSuperlayer(p);
}

void Layer::projectToSuperlayer(gfx::Point& a, gfx::Point& b) const {
    const Placement& placement = plainPlacement();
    if (!placement.plain) return model_.projectToSuperlayer(a, b);
    if (std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(b.x) && std::isfinite(b.y)) {
        a = {a.x + placement.tx, a.y + placement.ty};
        b = {b.x + placement.tx, b.y + placement.ty};
        return;
    }
    for (gfx::Point* p : {&a, &b})
        *p = std::isfinite(p->x) && std::isfinite(p->y) ? gfx::Point{p->x + placement.tx, p->y + placement.ty}
                                                         : model_.toSuperlayer().project(*p);
}

namespace {

// The bounds and position a frame gives a layer with the model `m`.
std::pair<gfx::Rect, gfx::Point> geometryForFrame(const LayerProperties& m, const gfx::Rect& frame) {
    gfx::Rect r = frame.standardized();
    return {{m.bounds.origin, r.size}, {r.x() + m.anchorPoint.x * r.width(), r.y() + m.anchorPoint.y * r.height()}};
}

} // namespace

bool Layer::hasFrame(const gfx::Rect& frame) const {
    auto [bounds, position] = geometryForFrame(model_, frame);
    auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    return same(bounds, model_.bounds) && same(position, model_.position);
}

void Layer::setFrame(const gfx::Rect& frame) {
    // The same geometry, to the bit (a page set back where it is): nothing moves, nobody is told.
    if (hasFrame(frame)) return;
    auto [bounds, position] = geometryForFrame(model_, frame);
    setBounds(bounds);
    setPosition(position);
}

void Layer::setTransform(const gfx::Transform3D& t) { model_.transform = t; geometryMoved(); geometryChanged(); }
void Layer::setSublayerTransform(const gfx::Transform3D& t) { model_.sublayerTransform = t; changed(); }
void Layer::setOpacity(double o) { model_.opacity = o; geometryChanged(); }
void Layer::setHidden(bool h) { model_.hidden = h; geometryChanged(); }
void Layer::setBackgroundColor(std::optional<gfx::Color> c) { model_.backgroundColor = c; changed(); }
void Layer::setBackdropBlurRadius(double r) {
    backdropBlurRadius_ = std::max(0.0, r);
    if (backdropBlurRadius_ == 0) backdropCache_.reset();
    changed();
}
void Layer::setCornerRadius(double r) { model_.cornerRadius = r; changed(); }
void Layer::setBorderWidth(double w) { model_.borderWidth = w; changed(); }
void Layer::setBorderColor(const gfx::Color& c) { model_.borderColor = c; changed(); }
void Layer::setMasksToBounds(bool m) { masksToBounds_ = m; changed(); }
void Layer::setContents(gfx::ImagePtr image) {
    contents_ = std::move(image);
    contentsDrawn_ = displaying_;
    changed();
}
void Layer::setContentsGravity(ContentsGravity g) { gravity_ = g; changed(); }
void Layer::setContentsFrame(std::optional<gfx::Rect> frame) { contentsFrame_ = frame; changed(); }
void Layer::setShadowColor(const gfx::Color& c) { shadowColor_ = c; changed(); }
void Layer::setShadowOpacity(double o) { shadowOpacity_ = std::clamp(o, 0.0, 1.0); changed(); }
void Layer::setShadowOffset(gfx::Size offset) { shadowOffset_ = offset; changed(); }
void Layer::setShadowRadius(double r) { shadowRadius_ = std::max(0.0, r); changed(); }
void Layer::setSpeed(double s) { speed_ = s; changed(); }
void Layer::setTimeOffset(double t) { timeOffset_ = t; changed(); }
void Layer::setBeginTime(double t) { beginTime_ = t; changed(); }

void Layer::addSublayer(const std::shared_ptr<Layer>& layer) { insertSublayer(layer, sublayers_.size()); }

void Layer::insertSublayer(const std::shared_ptr<Layer>& layer, size_t index) {
    if (!layer || layer.get() == this) return;
    auto self = std::static_pointer_cast<Layer>(shared_from_this());
    if (!layer->superlayer_.expired() && layer->superlayerPointer_ == this) {
        // Moving within the same superlayer: the index counts without the moved layer.
        auto it = std::find(sublayers_.begin(), sublayers_.end(), layer);
        sublayers_.erase(it);
    } else {
        layer->removeFromSuperlayer();
    }
    index = std::min(index, sublayers_.size());
    sublayers_.insert(sublayers_.begin() + static_cast<std::ptrdiff_t>(index), layer);
    layer->superlayer_ = self;
    layer->superlayerPointer_ = this;
    changed();
}

void Layer::setSublayers(const std::vector<std::shared_ptr<Layer>>& layers) {
    auto old = sublayers_;
    for (auto& l : old) l->removeFromSuperlayer();
    for (auto& l : layers) addSublayer(l);
    changed();
}

void Layer::removeFromSuperlayer() {
    Layer* parent = superlayer_.expired() ? nullptr : superlayerPointer_;
    superlayer_.reset();
    superlayerPointer_ = nullptr;
    if (!parent) return;
    auto& list = parent->sublayers_;
    list.erase(std::remove_if(list.begin(), list.end(), [this](const auto& l) { return l.get() == this; }), list.end());
    parent->changed();
}

void Layer::addAnimation(const std::shared_ptr<const Animation>& animation, const std::string& key) {
    if (animation) adoptAnimation(animation->copy(), key);
}

void Layer::adoptAnimation(std::shared_ptr<Animation> animation, const std::string& key) {
    if (!animation) return;
    if (animation->beginTime == 0) animation->beginTime = localTime();
    removeAnimation(key);
    animations_.emplace_back(key, std::move(animation));
    AnimationTicker::shared().watch(std::static_pointer_cast<Layer>(shared_from_this()));
    changed();
}

void Layer::removeAnimation(const std::string& key) {
    auto it = std::find_if(animations_.begin(), animations_.end(), [&](const auto& a) { return a.first == key; });
    if (it == animations_.end()) return;
    auto removed = std::move(it->second);
    animations_.erase(it);
    changed();
    if (removed->onStop) removed->onStop(false);
}

void Layer::removeAllAnimations() {
    auto removed = std::move(animations_);
    animations_.clear();
    if (!removed.empty()) changed();
    for (auto& [key, a] : removed)
        if (a->onStop) a->onStop(false);
}

std::shared_ptr<const Animation> Layer::animation(const std::string& key) const {
    for (const auto& [k, a] : animations_)
        if (k == key) return a;
    return nullptr;
}

bool Layer::hasAnimation(const std::string& key) const {
    return std::any_of(animations_.begin(), animations_.end(), [&](const auto& a) { return a.first == key; });
}

std::vector<std::string> Layer::animationKeys() const {
    std::vector<std::string> keys;
    for (const auto& [k, a] : animations_) keys.push_back(k);
    return keys;
}

double Layer::convertMediaTime(double mediaTime) const {
    const Layer* parent = superlayer_.expired() ? nullptr : superlayerPointer_;
    double parentTime = parent ? parent->convertMediaTime(mediaTime) : mediaTime;
    return localTimeFromParent(parentTime);
}

double Layer::localTime() const { return convertMediaTime(currentMediaTime()); }

LayerProperties Layer::presentationAt(double time) const {
    LayerProperties p = model_;
    for (const auto& [key, a] : animations_) a->apply(time, 0, model_, p);
    return p;
}

std::shared_ptr<Layer> Layer::presentationLayer() const {
    auto copy = core::make<Layer>();
    copy->model_ = presentationAt(localTime());
    copy->geometryMoved();
    copy->contents_ = contents_;
    copy->gravity_ = gravity_;
    copy->contentsFrame_ = contentsFrame_;
    copy->masksToBounds_ = masksToBounds_;
    copy->name_ = name_;
    return copy;
}

void Layer::setNeedsDisplay() {
    needsDisplay_ = true;
    changed();
}

void Layer::displayIfNeeded() {
    if (!needsDisplay_) return;
    needsDisplay_ = false;
    auto d = delegate_.lock();
    if (!d) return;
    displaying_ = true;
    d->displayLayer(*this);
    displaying_ = false;
}

void Layer::releaseDrawnContents() {
    if (!hasDrawnContents()) return;
    contents_.reset();
    contentsDrawn_ = false;
    needsDisplay_ = true;
}

bool Layer::removeFinishedAnimations() {
    if (animations_.empty()) return false;
    double now = localTime();
    std::vector<std::shared_ptr<Animation>> finished;
    std::erase_if(animations_, [&](const auto& entry) {
        const auto& a = entry.second;
        if (!a->removedOnCompletion || !a->isFinished(now)) return false;
        finished.push_back(a);
        return true;
    });
    if (!finished.empty()) changed();
    for (auto& a : finished)
        if (a->onStop) a->onStop(true);
    return !animations_.empty();
}

} // namespace ca
