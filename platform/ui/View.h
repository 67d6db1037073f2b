#pragma once
// A view: a rectangle of the screen that draws, lays out its subviews and takes touches. Every
// view is backed by one layer; geometry and appearance are the layer's model values.
//
// Creation is two-phase (core::make<View>(frame)): the constructor stores the frame, init()
// makes the layer (makeLayer(), overridable) and applies it. Superview and window references
// are weak; a view owns its subviews. Layout runs in layoutSubviews() when the window lays out
// before it draws, hit tests or dumps, for every view marked with setNeedsLayout() (also by a
// change of size). Views that draw themselves return true from drawsContent(); their drawRect()
// runs into a backing image at the screen's scale only when they were marked with
// setNeedsDisplay() (or changed size).
//
// Animation blocks: changes of frame, bounds, center, transform, alpha and background colour
// made inside View::animate() become layer animations from the value on screen to the new one;
// the completion runs once, when the last of them stops (finished = none was cut short), or on
// the next turn of the main loop when the block changed nothing. Main thread only.

#include "platform/ca/Layer.h"
#include "platform/gfx/AffineTransform.h"
#include "platform/gfx/Context.h"
#include "platform/ui/AssociatedObjects.h"
#include "platform/ui/Touch.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace ui {

class Window;
class GestureRecognizer;
class InputAccessoryHost;
class ViewController;

enum class ContentMode { scaleToFill, scaleAspectFit, scaleAspectFill, redraw, center, top, bottom, left, right,
                         topLeft, topRight, bottomLeft, bottomRight };

// How a view's frame follows a change of its superview's size (only flexible widths and heights
// and flexible margins; nothing changes by default).
enum AutoresizingMask : unsigned {
    autoresizingNone = 0,
    autoresizingFlexibleLeftMargin = 1u << 0,
    autoresizingFlexibleWidth = 1u << 1,
    autoresizingFlexibleRightMargin = 1u << 2,
    autoresizingFlexibleTopMargin = 1u << 3,
    autoresizingFlexibleHeight = 1u << 4,
    autoresizingFlexibleBottomMargin = 1u << 5,
};

enum class LayoutAxis { horizontal = 0, vertical = 1 };

enum AnimationOptions : unsigned {
    animationCurveEaseInOut = 0,
    animationCurveEaseIn = 1u << 16,
    animationCurveEaseOut = 2u << 16,
    animationCurveLinear = 3u << 16,
    animationAllowUserInteraction = 1u << 1,
    animationBeginFromCurrentState = 1u << 2,
    // Transitions of View::transition (bits 20-22).
    animationTransitionNone = 0,
    animationTransitionFlipFromLeft = 1u << 20,
    animationTransitionFlipFromRight = 2u << 20,
    animationTransitionCurlUp = 3u << 20,
    animationTransitionCurlDown = 4u << 20,
    animationTransitionCrossDissolve = 5u << 20,
    animationTransitionFlipFromTop = 6u << 20,
    animationTransitionFlipFromBottom = 7u << 20,
};

class View : public core::Object, public ca::LayerDelegate, public AssociatedObjects {
    QUILLORA_CLASS(View)

    explicit View(gfx::Rect frame = {}) : initialFrame_(frame) {}
    void init() override;

    const std::shared_ptr<ca::Layer>& layer() const { return layer_; }

    // Geometry, in the superview's bounds space (frame, center) or the view's own (bounds).
    gfx::Rect frame() const { return layer_->frame(); }
    virtual void setFrame(const gfx::Rect& frame);
    gfx::Rect bounds() const { return layer_->bounds(); }
    virtual void setBounds(const gfx::Rect& bounds);
    gfx::Point center() const { return layer_->position(); }
    void setCenter(gfx::Point center);
    gfx::AffineTransform transform() const { return layer_->affineTransform(); }
    void setTransform(const gfx::AffineTransform& t);

    // Appearance.
    double alpha() const { return layer_->opacity(); }
    void setAlpha(double alpha);
    bool isHidden() const { return layer_->isHidden(); }
    virtual void setHidden(bool hidden) { layer_->setHidden(hidden); }
    std::optional<gfx::Color> backgroundColor() const { return layer_->backgroundColor(); }
    void setBackgroundColor(std::optional<gfx::Color> color);
    bool clipsToBounds() const { return layer_->masksToBounds(); }
    void setClipsToBounds(bool clips) { layer_->setMasksToBounds(clips); }
    ContentMode contentMode() const { return contentMode_; }
    void setContentMode(ContentMode mode);
    long tag() const { return tag_; }
    void setTag(long tag);
    // A mark by which a caller finds its own views among others (absent by default).
    const std::optional<std::string>& restorationIdentifier() const { return restorationIdentifier_; }
    void setRestorationIdentifier(std::optional<std::string> id) { restorationIdentifier_ = std::move(id); }
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled);
    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
    // The colour controls draw their active parts in: the view's own, else its superview's, else
    // the system blue (0, 122, 255). A change reaches tintColorDidChange() of the view and of every
    // descendant that has none of its own; so does a move that gives them another inherited one.
    static constexpr gfx::Color kDefaultTintColor = gfx::Color::rgb(0, 122, 255);
    gfx::Color tintColor() const;
    const std::optional<gfx::Color>& ownTintColor() const { return tintColor_; }
    virtual void setTintColor(std::optional<gfx::Color> color);
    virtual void tintColorDidChange() {}
    // How much a view resists growing beyond (hugging, 250 by default) or shrinking below
    // (compression resistance, 750) its fitting size, per axis; containers that size their
    // subviews by themselves read them (a toolbar stretches a custom view that hugs below 250).
    float contentHuggingPriority(LayoutAxis axis) const { return hugging_[static_cast<int>(axis)]; }
    void setContentHuggingPriority(float priority, LayoutAxis axis) { hugging_[static_cast<int>(axis)] = priority; }
    float contentCompressionResistancePriority(LayoutAxis axis) const { return resistance_[static_cast<int>(axis)]; }
    void setContentCompressionResistancePriority(float priority, LayoutAxis axis) { resistance_[static_cast<int>(axis)] = priority; }

    // Hierarchy.
    std::shared_ptr<View> superview() const { return superview_.lock(); }
    // The superview without taking a reference to it, for walks up the tree on the main thread
    // (no view can go away during such a walk); null without one or once it has gone.
    View* superviewPointer() const { return superview_.expired() ? nullptr : superviewPointer_; }
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    std::shared_ptr<Window> window() const;
    void addSubview(const std::shared_ptr<View>& view);
    void insertSubview(const std::shared_ptr<View>& view, size_t index);
    void removeFromSuperview();
    void bringSubviewToFront(const std::shared_ptr<View>& view);
    void sendSubviewToBack(const std::shared_ptr<View>& view);
    // This view or the first descendant (depth first, in order) with the tag.
    std::shared_ptr<View> viewWithTag(long tag);
    bool isDescendantOf(const View* view) const;
    // The responder chain: a controller's root view hands on to its controller, any other view to
    // its superview (null at the top).
    std::shared_ptr<core::Object> nextResponder() const;

    // ---- Tree generations
    // What a reader derived from a view's subviews (which of them take part in something, in what
    // order, where they sit) still holds while this value is unchanged: it changes whenever the
    // list of subviews changes or a subview changes its geometry (frame, bounds, centre,
    // transform, anchor point, z position), its hidden flag, alpha, user interaction or tag, or
    // anything a subclass reports through noteChildStateChanged (a control's enabled state, a text
    // view's editability). A view without a superview counts its own such changes. Values are
    // drawn from one process-wide counter, so they never repeat.
    std::uint64_t childrenGeneration() const { return childrenGeneration_; }
    // Tells the superview (without one: the view itself) that this view changed in such a way.
    void noteChildStateChanged();
    // Changes whenever a link of the responder chain between views and controllers changes (a
    // controller's view, a presentation, a controller going away).
    static std::uint64_t responderLinksGeneration();
    static void noteResponderLinksChanged();
    // The controller whose root view this is (held weakly), if any.
    std::shared_ptr<ViewController> owningViewController() const { return controller_.lock(); }
    // The same without taking a reference to it (walks on the main thread); null once it has gone.
    ViewController* owningViewControllerPointer() const { return controller_.expired() ? nullptr : controllerPointer_; }
    // Called before the view joins `newSuperview` (null: before it leaves its superview).
    virtual void willMoveToSuperview(const std::shared_ptr<View>& newSuperview) { (void)newSuperview; }
    virtual void didMoveToSuperview() {}
    virtual void didMoveToWindow() {}

    // Layout.
    void setNeedsLayout() { needsLayout_ = true; }
    bool needsLayout() const { return needsLayout_; }
    // Lays out this view, if marked, then its subviews, top down.
    void layoutIfNeeded();
    virtual void layoutSubviews() {}
    virtual gfx::Size sizeThatFits(gfx::Size size) const { return bounds().size; (void)size; }
    void sizeToFit();
    // The default spacing from the edges to content: 8 on every side; a controller's root view
    // keeps 16 at the sides and, at top and bottom, the part of the screen's safe area (status bar
    // included at the top) that it covers.
    gfx::EdgeInsets layoutMargins() const;

    // Drawing on demand.
    virtual bool drawsContent() const { return false; }
    virtual void drawRect(gfx::Context& context, const gfx::Rect& rect) { (void)context; (void)rect; }
    void setNeedsDisplay();
    void displayLayer(ca::Layer& layer) override;
    void layerGeometryDidChange(ca::Layer& layer) override;

    // Coordinates.
    gfx::Point convertPointToWindow(gfx::Point p) const;
    gfx::Point convertPointFromWindow(gfx::Point p) const;
    // Converts between this view's bounds space and `view`'s (the window's when null).
    gfx::Point convertPoint(gfx::Point p, const View* to) const;
    gfx::Point convertPointFrom(gfx::Point p, const View* from) const;
    gfx::Rect convertRect(const gfx::Rect& r, const View* to) const;

    // Resigns the first responder when it is this view or inside it (a text field loses focus and
    // the keyboard goes); true when nothing inside keeps the focus. `force` resigns even when the
    // responder's delegate would refuse.
    bool endEditing(bool force);

    // Responders. A view that can become the first responder takes the keyboard's focus (no
    // keyboard shows for a view that is not a text input); the edit menu asks the first responder
    // which commands ("copy:", "select:", "selectAll:") it can perform, and has it perform one.
    // Text fields, text views and search bars (for their field) answer these for themselves;
    // resignFirstResponder gives up the focus this view holds, its own or its field's.
    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool becomeFirstResponder();
    bool resignFirstResponder();
    virtual bool isFirstResponder() const;
    virtual bool canPerformAction(std::string_view action) const { (void)action; return false; }
    virtual void performAction(std::string_view action) { (void)action; }

    // Hit testing: the deepest visible, interactive, not transparent view containing `p` (in this
    // view's bounds space), last subview first.
    virtual std::shared_ptr<View> hitTest(gfx::Point p);
    virtual bool pointInside(gfx::Point p) const { return bounds().contains(p); }

    // Touches; by default they go on to the superview.
    virtual void touchesBegan(const TouchSet& touches);
    virtual void touchesMoved(const TouchSet& touches);
    virtual void touchesEnded(const TouchSet& touches);
    virtual void touchesCancelled(const TouchSet& touches);

    void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return recognizers_; }

    // The text a view-tree dump shows for this view (labels and buttons have one).
    virtual std::optional<std::string> dumpText() const { return std::nullopt; }

    // This view as an input that can have an accessory above the keyboard (text fields, text views
    // and search bars), else null.
    virtual InputAccessoryHost* inputAccessoryHost() { return nullptr; }

    // Animation blocks.
    static void animate(double duration, const std::function<void()>& animations,
                        std::function<void(bool finished)> completion = {});
    static void animate(double duration, double delay, unsigned options, const std::function<void()>& animations,
                        std::function<void(bool finished)> completion = {});
    static void animateWithSpring(double duration, double delay, double dampingRatio, double initialVelocity,
                                  unsigned options, const std::function<void()>& animations,
                                  std::function<void(bool finished)> completion = {});
    // Runs `animations` (which change the view's content) at once and shows the change with the
    // transition in `options`: the old look, drawn before the change, dissolves away, flips over
    // about the middle, or (curls) is wiped upwards or downwards. Without a transition, or with
    // no duration, the change just shows and the completion runs on the next turn of the loop.
    static void transition(const std::shared_ptr<View>& view, double duration, unsigned options,
                           const std::function<void()>& animations, std::function<void(bool finished)> completion = {});

protected:
    virtual std::shared_ptr<ca::Layer> makeLayer() const { return ca::Layer::make(); }
    void animateChange(const char* keyPath, const ca::PropertyValue& from, const ca::PropertyValue& to);
    void propagateDidMoveToWindow();
    // Tells the view and the descendants that inherit their tint that it is now another colour.
    void propagateTintColorDidChange();
    void resizeSubviews(gfx::Size oldSize);
    bool isWindow_ = false;  // set by Window: window() looks for it without a cast per ancestor
    // The window this view is in (itself when it is one), without taking a reference to it.
    const View* windowView() const;

private:
    friend class ViewController;
    gfx::Rect initialFrame_;
    std::weak_ptr<ViewController> controller_;
    ViewController* controllerPointer_ = nullptr;  // the same controller, read only while controller_ lives
    std::shared_ptr<ca::Layer> layer_;
    std::weak_ptr<View> superview_;
    View* superviewPointer_ = nullptr;  // the same view as superview_, read only while that lives
    std::vector<std::shared_ptr<View>> subviews_;
    std::vector<std::shared_ptr<GestureRecognizer>> recognizers_;
    ContentMode contentMode_ = ContentMode::scaleToFill;
    long tag_ = 0;
    std::optional<std::string> restorationIdentifier_;
    unsigned autoresizingMask_ = autoresizingNone;
    std::optional<gfx::Color> tintColor_;
    float hugging_[2] = {250, 250};
    float resistance_[2] = {750, 750};
    bool userInteractionEnabled_ = true;
    bool needsLayout_ = true;
    std::uint64_t childrenGeneration_ = 0;
    void noteSubviewsChanged();
};

} // namespace ui
