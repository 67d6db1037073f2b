#include "platform/ui/View.h"

#include "platform/ca/MediaTime.h"
#include "platform/dispatch/Queue.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextInput.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cstring>
#include <deque>

namespace ui {
namespace {

// The completion of one animation block: it runs once, after the last of the block's
// animations has stopped.
struct BlockCompletion {
    std::function<void(bool)> completion;
    int pending = 0;
    bool allFinished = true;

    void stopped(bool finished) {
        allFinished = allFinished && finished;
        if (--pending == 0 && completion) {
            auto run = std::move(completion);
            completion = nullptr;
            run(allFinished);
        }
    }
};

struct BlockContext {
    double duration;
    double delay;
    ca::MediaTimingFunction timing;
    std::shared_ptr<BlockCompletion> completion;
};

// "view." and the key path: the key a view's own animation of that property runs under. The few
// key paths are literals, found again by address. A deque: keys handed out stay where they are.
const std::string& animationKey(const char* keyPath) {
    static std::deque<std::pair<const char*, std::string>> keys;
    for (const auto& [path, key] : keys)
        if (path == keyPath) return key;
    for (const auto& [path, key] : keys)
        if (std::strcmp(path, keyPath) == 0) return key;
    return keys.emplace_back(keyPath, std::string("view.") + keyPath).second;
}

std::vector<BlockContext>& blockStack() {
    static std::vector<BlockContext> stack;
    return stack;
}

ca::ContentsGravity gravityFor(ContentMode mode) {
    switch (mode) {
    case ContentMode::scaleToFill:
    case ContentMode::redraw: return ca::ContentsGravity::resize;
    case ContentMode::scaleAspectFit: return ca::ContentsGravity::resizeAspect;
    case ContentMode::scaleAspectFill: return ca::ContentsGravity::resizeAspectFill;
    case ContentMode::center: return ca::ContentsGravity::center;
    case ContentMode::top: return ca::ContentsGravity::top;
    case ContentMode::bottom: return ca::ContentsGravity::bottom;
    case ContentMode::left: return ca::ContentsGravity::left;
    case ContentMode::right: return ca::ContentsGravity::right;
    case ContentMode::topLeft: return ca::ContentsGravity::topLeft;
    case ContentMode::topRight: return ca::ContentsGravity::topRight;
    case ContentMode::bottomLeft: return ca::ContentsGravity::bottomLeft;
    case ContentMode::bottomRight: return ca::ContentsGravity::bottomRight;
    }
    return ca::ContentsGravity::resize;
}

void runBlock(BlockContext context, const std::function<void()>& animations) {
    auto completion = context.completion;
    completion->pending = 1;  // held until the block has run
    blockStack().push_back(std::move(context));
    if (animations) animations();
    blockStack().pop_back();
    if (completion->pending == 1) {
        // Nothing animates: the completion still runs, on the next turn of the main loop (a block
        // without one has nothing to wait for).
        if (completion->completion) dispatch::Queue::main()->async([completion] { completion->stopped(true); });
        else completion->pending = 0;
    } else {
        completion->stopped(true);
    }
}

// ---- views too large for one drawing surface
// Such a view draws only the part of itself around what its window shows (one window's size
// beyond each edge, at most a surface's worth), and draws again when a view moves so that the
// shown part leaves what was drawn. Few views are ever this large, so a plain list serves.

struct PartialView {
    std::weak_ptr<View> view;
    gfx::Rect drawn; // in the view's bounds space
};

std::vector<PartialView>& partialViews() {
    static auto* views = new std::vector<PartialView>;
    return *views;
}

// The part of the view's bounds its window shows (the top of it when it is in no window).
gfx::Rect shownPart(const View& view, const gfx::Rect& bounds) {
    auto window = view.window();
    if (!window) return bounds;
    gfx::Rect w = window->bounds();
    gfx::Point a = view.convertPointFromWindow(w.origin), b = view.convertPointFromWindow({w.maxX(), w.maxY()});
    gfx::Rect shown{std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(b.x - a.x), std::fabs(b.y - a.y)};
    return shown.intersection(bounds);
}

// What to draw: the shown part grown by its own size on each side, within the surface limit.
gfx::Rect partToDraw(const View& view, const gfx::Rect& bounds, double scale) {
    gfx::Rect shown = shownPart(view, bounds);
    if (shown.isEmpty()) return shown;
    const double limit = (gfx::kMaxSurfaceSide - 2) / scale;
    gfx::Rect part{shown.x() - shown.width(), shown.y() - shown.height(), shown.width() * 3, shown.height() * 3};
    part = part.intersection(bounds);
    // Centred on the shown part when the surface cannot take all of it.
    auto fit = [&](double origin, double length, double shownMid, double lo, double hi) {
        if (length <= limit) return std::pair{origin, length};
        double start = std::clamp(shownMid - limit / 2, lo, hi - limit);
        return std::pair{start, limit};
    };
    auto [x, width] = fit(part.x(), part.width(), shown.midX(), bounds.minX(), bounds.maxX());
    auto [y, height] = fit(part.y(), part.height(), shown.midY(), bounds.minY(), bounds.maxY());
    return {x, y, width, height};
}

void forgetPartial(const View* view) {
    std::erase_if(partialViews(), [&](const PartialView& p) {
        auto v = p.view.lock();
        return !v || v.get() == view;
    });
}

// After any view moved or resized: a large view whose shown part left what it drew draws again.
void checkPartialViews() {
    if (partialViews().empty()) return;
    for (const auto& p : std::vector<PartialView>(partialViews())) {
        auto view = p.view.lock();
        if (!view) continue;
        gfx::Rect shown = shownPart(*view, view->bounds());
        if (!shown.isEmpty() && shown.intersection(p.drawn) != shown) view->setNeedsDisplay();
    }
}

// The inverse of a layer's transform into its superlayer. Conversions down the tree ask for the
// inverses of the same few layers again and again (the views above an input seldom move), so the
// last used few are kept, found by the exact bits of the transform; a scrolled view's ever new
// offsets push out only each other.
gfx::Transform3D fromSuperlayer(const ca::LayerProperties& model) {
    struct Kept {
        gfx::Transform3D forward, inverse;
        std::uint64_t used = 0;  // 0: empty
    };
    constexpr unsigned kKept = 8;
    thread_local Kept kept[kKept];
    thread_local std::uint64_t clock = 0;
    gfx::Transform3D t = model.toSuperlayer();
    Kept* oldest = &kept[0];
    for (Kept& k : kept) {
        if (k.used && std::memcmp(&k.forward, &t, sizeof t) == 0) {
            k.used = ++clock;
            return k.inverse;
        }
        if (k.used < oldest->used) oldest = &k;
    }
    *oldest = {t, t.inverted(), ++clock};
    return oldest->inverse;
}

} // namespace

void View::init() {
    core::Object::init();
    layer_ = makeLayer();
    layer_->setDelegate(std::static_pointer_cast<View>(shared_from_this()));
    layer_->setFrame(initialFrame_);
}

namespace {

std::uint64_t& treeGeneration() {
    static std::uint64_t generation = 0;
    return generation;
}

std::uint64_t& responderLinks() {
    static std::uint64_t generation = 0;
    return generation;
}

} // namespace

void View::noteSubviewsChanged() { childrenGeneration_ = ++treeGeneration(); }

void View::noteChildStateChanged() {
    if (auto* parent = superviewPointer()) parent->noteSubviewsChanged();
    else noteSubviewsChanged();
}

std::uint64_t View::responderLinksGeneration() { return responderLinks(); }
void View::noteResponderLinksChanged() { ++responderLinks(); }

void View::layerGeometryDidChange(ca::Layer& layer) {
    if (&layer == layer_.get()) noteChildStateChanged();
}

void View::setTag(long tag) {
    if (tag_ == tag) return;
    tag_ = tag;
    noteChildStateChanged();
}

void View::setUserInteractionEnabled(bool enabled) {
    if (userInteractionEnabled_ == enabled) return;
    userInteractionEnabled_ = enabled;
    noteChildStateChanged();
}

void View::setFrame(const gfx::Rect& frame) {
    gfx::Rect oldBounds = bounds();
    gfx::Point oldCenter = center();
    layer_->setFrame(frame);
    animateChange("position", oldCenter, center());
    animateChange("bounds", oldBounds, bounds());
    if (oldBounds.size != bounds().size) {
        resizeSubviews(oldBounds.size);
        setNeedsLayout();
        if (contentMode_ == ContentMode::redraw) setNeedsDisplay();
    }
    checkPartialViews();
}

void View::setBounds(const gfx::Rect& b) {
    gfx::Rect old = bounds();
    layer_->setBounds(b);
    animateChange("bounds", old, b);
    if (old.size != b.size) {
        resizeSubviews(old.size);
        setNeedsLayout();
        if (contentMode_ == ContentMode::redraw) setNeedsDisplay();
    }
    checkPartialViews();
}

void View::setCenter(gfx::Point c) {
    gfx::Point old = center();
    layer_->setPosition(c);
    animateChange("position", old, c);
    checkPartialViews();
}

void View::setTransform(const gfx::AffineTransform& t) {
    gfx::Transform3D old = layer_->transform();
    layer_->setAffineTransform(t);
    animateChange("transform", old, layer_->transform());
}

void View::setAlpha(double a) {
    double old = alpha();
    layer_->setOpacity(a);
    animateChange("opacity", old, a);
}

void View::setBackgroundColor(std::optional<gfx::Color> color) {
    gfx::Color old = layer_->backgroundColor().value_or(gfx::Color::clear());
    layer_->setBackgroundColor(color);
    animateChange("backgroundColor", old, color.value_or(gfx::Color::clear()));
}

void View::setContentMode(ContentMode mode) {
    contentMode_ = mode;
    layer_->setContentsGravity(gravityFor(mode));
}

const View* View::windowView() const {
    for (const View* v = this; v; v = v->superviewPointer())
        if (v->isWindow_) return v;
    return nullptr;
}

std::shared_ptr<Window> View::window() const {
    const View* w = windowView();
    return w ? std::static_pointer_cast<Window>(std::const_pointer_cast<core::Object>(w->shared_from_this())) : nullptr;
}

void View::addSubview(const std::shared_ptr<View>& view) { insertSubview(view, subviews_.size()); }

void View::insertSubview(const std::shared_ptr<View>& view, size_t index) {
    if (!view || view.get() == this || isDescendantOf(view.get())) return;
    auto self = std::static_pointer_cast<View>(shared_from_this());
    bool sameParent = view->superviewPointer() == this;
    if (sameParent) {
        subviews_.erase(std::find(subviews_.begin(), subviews_.end(), view));
    }
    // A view that inherits its tint hears when its new place gives it another one.
    const bool inheritsTint = !sameParent && !view->tintColor_;
    const gfx::Color oldTint = inheritsTint ? view->tintColor() : gfx::Color{};
    if (!sameParent) {
        view->removeFromSuperview();
        view->willMoveToSuperview(self);
    }
    // Compared with the window after the removal, which has already told the view it left its
    // old one: a view moved within one window hears that it left and that it is back. (Held, so
    // that no other window can take its address meanwhile.)
    const View* oldWindow = view->windowView();
    auto oldWindowHold = oldWindow ? oldWindow->shared_from_this() : nullptr;
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->superview_ = self;
    view->superviewPointer_ = this;
    layer_->insertSublayer(view->layer_, index);
    noteSubviewsChanged();
    if (!sameParent) {
        view->didMoveToSuperview();
        if (view->windowView() != oldWindow) view->propagateDidMoveToWindow();
        if (inheritsTint && !view->tintColor_ && view->tintColor() != oldTint) view->propagateTintColorDidChange();
    }
    setNeedsLayout();
}

void View::removeFromSuperview() {
    auto parent = superview();
    if (!parent) return;
    bool hadWindow = windowView() != nullptr;
    const bool inheritsTint = !tintColor_;
    const gfx::Color oldTint = inheritsTint ? tintColor() : gfx::Color{};
    auto keep = shared_from_this();  // the superview may hold the last reference
    willMoveToSuperview(nullptr);
    if (superviewPointer() != parent.get()) return;  // the callback moved it already
    auto& list = parent->subviews_;
    list.erase(std::remove_if(list.begin(), list.end(), [this](const auto& v) { return v.get() == this; }), list.end());
    superview_.reset();
    superviewPointer_ = nullptr;
    layer_->removeFromSuperlayer();
    parent->noteSubviewsChanged();
    parent->setNeedsLayout();
    didMoveToSuperview();
    if (hadWindow) propagateDidMoveToWindow();
    if (inheritsTint && !tintColor_ && tintColor() != oldTint) propagateTintColorDidChange();
}

void View::propagateDidMoveToWindow() {
    didMoveToWindow();
    if (subviews_.empty()) return;
    auto children = subviews_;  // a callback may change them
    for (auto& child : children) child->propagateDidMoveToWindow();
}

void View::resizeSubviews(gfx::Size oldSize) {
    gfx::Size newSize = bounds().size;
    double dw = newSize.width - oldSize.width, dh = newSize.height - oldSize.height;
    // Each flexible part takes a share of the change in proportion to its old length, as the
    // platform the app was written for does.
    auto share = [](double delta, double a, bool fa, double b, bool fb, double c, bool fc) {
        double total = (fa ? a : 0) + (fb ? b : 0) + (fc ? c : 0);
        int count = int(fa) + int(fb) + int(fc);
        struct Out { double a, b, c; } out{0, 0, 0};
        if (count == 0) return out;
        if (total <= 0) {
            out.a = fa ? delta / count : 0;
            out.b = fb ? delta / count : 0;
            out.c = fc ? delta / count : 0;
        } else {
            out.a = fa ? delta * a / total : 0;
            out.b = fb ? delta * b / total : 0;
            out.c = fc ? delta * c / total : 0;
        }
        return out;
    };
    for (auto& child : subviews_) {
        unsigned m = child->autoresizingMask_;
        if (m == autoresizingNone) continue;
        gfx::Rect f = child->frame();
        auto h = share(dw, f.x(), m & autoresizingFlexibleLeftMargin, f.width(), m & autoresizingFlexibleWidth,
                       oldSize.width - f.maxX(), m & autoresizingFlexibleRightMargin);
        auto v = share(dh, f.y(), m & autoresizingFlexibleTopMargin, f.height(), m & autoresizingFlexibleHeight,
                       oldSize.height - f.maxY(), m & autoresizingFlexibleBottomMargin);
        child->setFrame({f.x() + h.a, f.y() + v.a, f.width() + h.b, f.height() + v.b});
    }
}

void View::bringSubviewToFront(const std::shared_ptr<View>& view) {
    if (view && view->superview().get() == this) insertSubview(view, subviews_.size());
}

void View::sendSubviewToBack(const std::shared_ptr<View>& view) {
    if (view && view->superview().get() == this) insertSubview(view, 0);
}

std::shared_ptr<View> View::viewWithTag(long tag) {
    if (tag_ == tag) return std::static_pointer_cast<View>(shared_from_this());
    for (auto& child : subviews_)
        if (auto found = child->viewWithTag(tag)) return found;
    return nullptr;
}

bool View::isDescendantOf(const View* view) const {
    for (const View* v = this; v; v = v->superviewPointer())
        if (v == view) return true;
    return false;
}

void View::layoutIfNeeded() {
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSubviews();
    }
    auto children = subviews_;
    for (auto& child : children) child->layoutIfNeeded();
}

void View::sizeToFit() {
    gfx::Size s = sizeThatFits(bounds().size);
    gfx::Rect f = frame();
    setFrame({f.origin, s});
}

void View::setNeedsDisplay() {
    if (drawsContent()) layer_->setNeedsDisplay();
}

void View::displayLayer(ca::Layer& layer) {
    if (!drawsContent()) return;
    gfx::Rect b = bounds();
    if (b.width() <= 0 || b.height() <= 0) {
        layer.setContents(nullptr);
        return;
    }
    const double scale = Screen::main().scale();
    if (b.width() * scale <= gfx::kMaxSurfaceSide && b.height() * scale <= gfx::kMaxSurfaceSide) {
        if (layer.contentsFrame()) {
            forgetPartial(this);
            layer.setContentsFrame(std::nullopt);
        }
        gfx::BitmapContext ctx(b.size, scale);
        ctx.translate(-b.x(), -b.y());
        drawRect(ctx, b);
        layer.setContents(ctx.makeImage());
        return;
    }
    gfx::Rect part = partToDraw(*this, b, scale);
    forgetPartial(this);
    partialViews().push_back({std::static_pointer_cast<View>(shared_from_this()), part});
    if (part.isEmpty()) {
        layer.setContents(nullptr);
        return;
    }
    gfx::BitmapContext ctx(part.size, scale);
    ctx.translate(-part.x(), -part.y());
    ctx.clipToRect(part);
    drawRect(ctx, part);
    layer.setContents(ctx.makeImage());
    layer.setContentsFrame(part);
}

gfx::Point View::convertPointToWindow(gfx::Point p) const {
    // The root (window) space is the result: the root itself adds nothing.
    for (const View* v = this; const View* parent = v->superviewPointer(); v = parent) p = v->layer_->projectToSuperlayer(p);
    return p;
}

gfx::Point View::convertPointFromWindow(gfx::Point p) const {
    std::vector<const View*> chain;
    for (const View* v = this; v && v->superviewPointer(); v = v->superviewPointer()) chain.push_back(v);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) p = fromSuperlayer((*it)->layer_->model()).project(p);
    return p;
}

namespace {

// Carries values from `from`'s bounds space into `to`'s (the space of `from`'s root when null):
// up through `from` and its superviews below the nearest view that `to` lies in (itself included),
// then down through the views below that one to `to`. Views of two trees meet in their roots'
// spaces, which count as one. `up` and `down` get each layer on the way.
template <class Up, class Down>
void convertBetween(const View& from, const View* to, Up up, Down down) {
    // `to` and its superviews, nearest first.
    const View* near[32];
    std::vector<const View*> far;
    std::size_t n = 0;
    for (const View* u = to; u; u = u->superviewPointer(), ++n) {
        if (n < std::size(near)) near[n] = u;
        else far.push_back(u);
    }
    auto chain = [&](std::size_t i) { return i < std::size(near) ? near[i] : far[i - std::size(near)]; };
    std::size_t meet = 0;  // the index in that chain of the view where the way turns down
    for (const View* v = &from;;) {
        bool found = false;
        for (std::size_t i = 0; i < n && !found; ++i)
            if (chain(i) == v) meet = i, found = true;
        if (found) break;
        const View* parent = v->superviewPointer();
        if (!parent) {
            meet = n == 0 ? 0 : n - 1;  // another tree: down from its root
            break;
        }
        up(*v->layer());
        v = parent;
    }
    for (std::size_t i = meet; i-- > 0;) down(*chain(i)->layer());
}

} // namespace

gfx::Point View::convertPoint(gfx::Point p, const View* to) const {
    if (!to) return convertPointToWindow(p);
    convertBetween(*this, to, [&](const ca::Layer& l) { p = l.projectToSuperlayer(p); },
                   [&](const ca::Layer& l) { p = fromSuperlayer(l.model()).project(p); });
    return p;
}

gfx::Point View::convertPointFrom(gfx::Point p, const View* from) const {
    return from ? from->convertPoint(p, this) : convertPointFromWindow(p);
}

gfx::Rect View::convertRect(const gfx::Rect& r, const View* to) const {
    // convertPoint for both corners, each transform made once and applied to both (the same
    // arithmetic per point).
    gfx::Point a = r.origin, b{r.maxX(), r.maxY()};
    convertBetween(*this, to, [&](const ca::Layer& l) { l.projectToSuperlayer(a, b); },
                   [&](const ca::Layer& l) {
                       gfx::Transform3D t = fromSuperlayer(l.model());
                       a = t.project(a), b = t.project(b);
                   });
    return gfx::Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(b.x - a.x), std::fabs(b.y - a.y)};
}

std::shared_ptr<View> View::hitTest(gfx::Point p) {
    if (isHidden() || !userInteractionEnabled_ || alpha() < 0.01 || !pointInside(p)) return nullptr;
    // A copy: a view may leave the tree from its own hitTest (a selection ended by a touch elsewhere).
    auto children = subviews_;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        const auto& child = *it;
        gfx::Point q = child->layer_->model().toSuperlayer().inverted().project(p);
        if (auto hit = child->hitTest(q)) return hit;
    }
    return std::static_pointer_cast<View>(shared_from_this());
}

bool View::endEditing(bool force) {
    auto& keyboard = Keyboard::shared();
    auto focused = keyboard.firstResponder();
    if (!focused || !focused->isDescendantOf(this)) return true;
    auto* input = keyboard.focusedInput();
    return input ? input->resignFirstResponder(force) : true;
}

bool View::becomeFirstResponder() {
    if (!canBecomeFirstResponder()) return false;
    auto& keyboard = Keyboard::shared();
    auto current = keyboard.firstResponder();
    if (current.get() == this) return true;
    // A text input in focus ends its editing first (its delegate may refuse).
    if (auto* input = current ? dynamic_cast<TextInput*>(current.get()) : nullptr)
        if (!input->resignFirstResponder(false)) return false;
    keyboard.setFirstResponder(std::static_pointer_cast<View>(shared_from_this()));
    return true;
}

bool View::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    auto& keyboard = Keyboard::shared();
    auto focused = keyboard.firstResponder();
    if (!focused) return true;
    if (auto* input = dynamic_cast<TextInput*>(focused.get())) return input->resignFirstResponder(false);
    keyboard.resignFirstResponder(focused.get());
    return true;
}

std::shared_ptr<core::Object> View::nextResponder() const {
    if (auto controller = controller_.lock(); controller && controller->isViewLoaded() && controller->view().get() == this)
        return controller;
    return superview();
}

gfx::EdgeInsets View::layoutMargins() const {
    ViewController* controller = owningViewControllerPointer();
    if (!controller || !controller->isViewLoaded() || controller->view().get() != this) return {8, 8, 8, 8};
    const auto& profile = Screen::main().profile();
    gfx::Rect inWindow = convertRect(bounds(), nullptr);
    double screenH = Screen::main().bounds().height();
    double safeTop = std::max(profile.statusBarHeight, profile.safeAreaInsets.top);
    double top = std::max(0.0, safeTop - inWindow.y());
    double bottom = std::max(0.0, profile.safeAreaInsets.bottom - (screenH - inWindow.maxY()));
    return {top, 16, bottom, 16};
}

gfx::Color View::tintColor() const {
    for (const View* v = this; v; v = v->superviewPointer())
        if (v->tintColor_) return *v->tintColor_;
    return kDefaultTintColor;
}

void View::setTintColor(std::optional<gfx::Color> color) {
    tintColor_ = color;
    propagateTintColorDidChange();
}

void View::propagateTintColorDidChange() {
    tintColorDidChange();
    // Descendants with a colour of their own keep it and so do theirs.
    for (auto& sub : subviews_)
        if (!sub->tintColor_) sub->propagateTintColorDidChange();
}

bool View::isFirstResponder() const { return Keyboard::shared().firstResponder().get() == this; }

void View::touchesBegan(const TouchSet& t) { if (auto s = superview()) s->touchesBegan(t); }
void View::touchesMoved(const TouchSet& t) { if (auto s = superview()) s->touchesMoved(t); }
void View::touchesEnded(const TouchSet& t) { if (auto s = superview()) s->touchesEnded(t); }
void View::touchesCancelled(const TouchSet& t) { if (auto s = superview()) s->touchesCancelled(t); }

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (auto old = recognizer->view()) old->removeGestureRecognizer(recognizer);
    recognizers_.push_back(recognizer);
    recognizer->setView(std::static_pointer_cast<View>(shared_from_this()));
}

void View::removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
    auto it = std::find(recognizers_.begin(), recognizers_.end(), recognizer);
    if (it == recognizers_.end()) return;
    recognizers_.erase(it);
    recognizer->setView({});
}

void View::animateChange(const char* keyPath, const ca::PropertyValue& from, const ca::PropertyValue& to) {
    if (blockStack().empty() || from == to) return;
    const BlockContext& block = blockStack().back();
    auto animation = ca::BasicAnimation::make(keyPath);
    const std::string& key = animationKey(keyPath);
    const double now = layer_->localTime();
    // The animation starts from what is on screen now, so an interrupted animation carries on
    // smoothly from where it was.
    std::optional<ca::PropertyValue> shown;
    if (layer_->hasAnimation(key)) shown = layer_->presentationAt(now).get(keyPath);
    animation->fromValue = shown ? *shown : from;
    animation->toValue = to;
    animation->duration = block.duration;
    animation->timingFunction = block.timing;
    animation->beginTime = now + block.delay;
    if (block.delay > 0) animation->fillMode = ca::FillMode::backwards;
    ++block.completion->pending;
    animation->onStop = [completion = block.completion](bool finished) { completion->stopped(finished); };
    layer_->adoptAnimation(std::move(animation), key);
}

void View::animate(double duration, const std::function<void()>& animations, std::function<void(bool)> completion) {
    animate(duration, 0, 0, animations, std::move(completion));
}

void View::animate(double duration, double delay, unsigned options, const std::function<void()>& animations,
                   std::function<void(bool)> completion) {
    unsigned curve = options & (3u << 16);
    ca::MediaTimingFunction timing = curve == animationCurveEaseIn    ? ca::MediaTimingFunction::easeIn()
                                     : curve == animationCurveEaseOut ? ca::MediaTimingFunction::easeOut()
                                     : curve == animationCurveLinear  ? ca::MediaTimingFunction::linear()
                                                                      : ca::MediaTimingFunction::easeInEaseOut();
    auto done = std::make_shared<BlockCompletion>();
    done->completion = std::move(completion);
    runBlock({duration, delay, timing, done}, animations);
}

void View::animateWithSpring(double duration, double delay, double dampingRatio, double initialVelocity,
                             unsigned options, const std::function<void()>& animations,
                             std::function<void(bool)> completion) {
    (void)options;  // a spring sets its own pace; the curve options do not apply
    auto done = std::make_shared<BlockCompletion>();
    done->completion = std::move(completion);
    runBlock({duration, delay, ca::MediaTimingFunction::spring(dampingRatio, initialVelocity), done}, animations);
}

} // namespace ui
