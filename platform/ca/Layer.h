#pragma once
// A layer: a rectangle of content in a tree, the unit that the renderer draws and animations move.
//
// A layer holds model values (LayerProperties). Animations added under a key are evaluated at the
// layer's local time into presentation values; outside an animation's active time the model value
// shows. The local time of a layer is (parent time − beginTime) · speed + timeOffset, starting
// from the media time at the root, so a layer's speed and time offset reach everything below it.
//
// Geometry follows the platform the app was written for: `position` is where the anchor point
// (a fraction of the bounds) sits in the superlayer's bounds space; `frame` is derived from
// position, anchor point, bounds and transform; the bounds' origin shifts the space the
// sublayers are placed in; sublayerTransform applies to the sublayers about the anchor point.
//
// Ownership: a layer owns its sublayers; the superlayer and the delegate are weak. Changes are
// reported to one process-wide observer (the window host repaints on it). Main thread only.

#include "platform/ca/Animation.h"
#include "platform/ca/LayerProperties.h"
#include "platform/core/Object.h"
#include "platform/gfx/Image.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ca {

class Layer;
struct BackdropCache;

// What a layer asks its owner (a view) for: its content, drawn when the layer needs display.
class LayerDelegate {
public:
    virtual ~LayerDelegate() = default;
    virtual void displayLayer(Layer& layer) = 0;
    // The layer's bounds, position, anchor point, z position, transform, opacity or hidden flag
    // changed (what decides where its owner sits and whether it shows).
    virtual void layerGeometryDidChange(Layer& layer) { (void)layer; }
};

// How `contents` is placed in the bounds.
enum class ContentsGravity { resize, resizeAspect, resizeAspectFill, center, top, bottom, left, right,
                             topLeft, topRight, bottomLeft, bottomRight };

class Layer : public core::Object {
    QUILLORA_CLASS(Layer)

    static std::shared_ptr<Layer> make() { return core::make<Layer>(); }

    // Geometry.
    gfx::Rect bounds() const { return model_.bounds; }
    void setBounds(const gfx::Rect& r);
    gfx::Point position() const { return model_.position; }
    void setPosition(gfx::Point p);
    gfx::Point anchorPoint() const { return model_.anchorPoint; }
    void setAnchorPoint(gfx::Point p);
    double zPosition() const { return model_.zPosition; }
    void setZPosition(double z);
    // model().frame(), worked out once after each change of the geometry.
    gfx::Rect frame() const;
    // Sets position and bounds size so that the untransformed frame is `r` (with a transform,
    // the bounds size comes from `r` and the centre is kept where the platform keeps it).
    void setFrame(const gfx::Rect& r);
    // Whether setFrame(r) would leave the bounds and position as they are, to the bit.
    bool hasFrame(const gfx::Rect& r) const;
    const gfx::Transform3D& transform() const { return model_.transform; }
    void setTransform(const gfx::Transform3D& t);
    gfx::AffineTransform affineTransform() const { return model_.transform.affine(); }
    void setAffineTransform(const gfx::AffineTransform& t) { setTransform(gfx::Transform3D::fromAffine(t)); }
    const gfx::Transform3D& sublayerTransform() const { return model_.sublayerTransform; }
    void setSublayerTransform(const gfx::Transform3D& t);

    // Appearance.
    double opacity() const { return model_.opacity; }
    void setOpacity(double o);
    bool isHidden() const { return model_.hidden; }
    void setHidden(bool h);
    std::optional<gfx::Color> backgroundColor() const { return model_.backgroundColor; }
    void setBackgroundColor(std::optional<gfx::Color> c);
    double cornerRadius() const { return model_.cornerRadius; }
    void setCornerRadius(double r);
    double borderWidth() const { return model_.borderWidth; }
    void setBorderWidth(double w);
    gfx::Color borderColor() const { return model_.borderColor; }
    void setBorderColor(const gfx::Color& c);
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool m);
    const gfx::ImagePtr& contents() const { return contents_; }
    void setContents(gfx::ImagePtr image);
    ContentsGravity contentsGravity() const { return gravity_; }
    void setContentsGravity(ContentsGravity g);
    // Where the contents go when they cover only part of the bounds (a layer too large for one
    // drawing surface draws what is on screen); nothing: the whole bounds, by the gravity.
    const std::optional<gfx::Rect>& contentsFrame() const { return contentsFrame_; }
    void setContentsFrame(std::optional<gfx::Rect> frame);
    const std::string& name() const { return name_; }
    void setName(std::string n) { name_ = std::move(n); }
    // The shadow the layer casts with its sublayers (drawn when the opacity is above 0): the
    // colour at that opacity, moved by the offset (points, y down) and blurred by the radius (a
    // Gaussian of sigma radius / 2). Not animatable.
    const gfx::Color& shadowColor() const { return shadowColor_; }
    void setShadowColor(const gfx::Color& c);
    double shadowOpacity() const { return shadowOpacity_; }
    void setShadowOpacity(double o);
    gfx::Size shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(gfx::Size offset);
    double shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(double r);

    // A backdrop blur (0: none): what lies beneath the layer in painting order, inside its
    // rounded bounds, is drawn blurred under the layer's own background and content. The radius
    // is in points, a Gaussian of sigma radius / 2. Not animatable.
    double backdropBlurRadius() const { return backdropBlurRadius_; }
    void setBackdropBlurRadius(double r);
    // What the renderer keeps between frames for the backdrop (its picture and what it showed).
    std::shared_ptr<BackdropCache>& backdropCache() const { return backdropCache_; }

    // Own timing.
    double speed() const { return speed_; }
    void setSpeed(double s);
    double timeOffset() const { return timeOffset_; }
    void setTimeOffset(double t);
    double beginTime() const { return beginTime_; }
    void setBeginTime(double t);

    // Tree.
    std::shared_ptr<Layer> superlayer() const { return superlayer_.lock(); }
    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return sublayers_; }
    void addSublayer(const std::shared_ptr<Layer>& layer);
    void insertSublayer(const std::shared_ptr<Layer>& layer, size_t index);
    // Replaces all sublayers (an empty list removes them all).
    void setSublayers(const std::vector<std::shared_ptr<Layer>>& layers);
    void removeFromSuperlayer();

    // Animations. Adding copies the animation; an animation added with a begin time of 0 begins
    // at the layer's current local time. Adding under a key that is in use replaces (and stops)
    // the animation there.
    void addAnimation(const std::shared_ptr<const Animation>& animation, const std::string& key);
    // addAnimation for an animation that no one else holds or changes afterwards (a view's own,
    // made for one change): the layer takes it as it is instead of a copy.
    void adoptAnimation(std::shared_ptr<Animation> animation, const std::string& key);
    void removeAnimation(const std::string& key);
    void removeAllAnimations();
    std::shared_ptr<const Animation> animation(const std::string& key) const;
    bool hasAnimation(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    bool hasAnimations() const { return !animations_.empty(); }

    // Time.
    // The layer's local time at a media time (through its superlayers).
    double convertMediaTime(double mediaTime) const;
    double localTime() const;
    // The local time given the superlayer's local time.
    double localTimeFromParent(double parentTime) const { return (parentTime - beginTime_) * speed_ + timeOffset_; }

    // Model and presentation.
    const LayerProperties& model() const { return model_; }
    // model().projectToSuperlayer(...), the same bits, with the layer's offset into its superlayer
    // worked out once after each change of the geometry (conversions between views pass through
    // the same few layers again and again).
    gfx::Point projectToSuperlayer(gfx::Point p) const;
    void projectToSuperlayer(gfx::Point& a, gfx::Point& b) const;
    // The model values with the animations applied at the given local time.
    LayerProperties presentationAt(double localTime) const;
    // A detached copy of this layer (without sublayers or animations) showing the presentation
    // values at the current media time.
    std::shared_ptr<Layer> presentationLayer() const;

    // Content on demand: needsDisplay is set by setNeedsDisplay() and by a bounds size change;
    // displayIfNeeded() asks the delegate to fill `contents` and clears it.
    void setDelegate(std::weak_ptr<LayerDelegate> d) { delegate_ = std::move(d); }
    void setNeedsDisplay();
    bool needsDisplay() const { return needsDisplay_; }
    void displayIfNeeded();
    // Whether `contents` is what the delegate drew when asked to display (and can draw again),
    // rather than an image set from outside.
    bool hasDrawnContents() const { return contentsDrawn_ && contents_; }
    // Lets go of drawn contents and marks the layer as needing display, so that it is drawn again
    // when it next comes into view; contents set from outside stay. Tells no observer, since
    // nothing on screen changes (the renderer calls this for layers far outside what it shows).
    void releaseDrawnContents();

    // Removes animations whose active time is over and that are removed on completion, and tells
    // their onStop. Returns true while animations remain. Called by the animation ticker.
    bool removeFinishedAnimations();

    // The one observer told about any model change of any layer (nullptr removes it).
    static void setChangeObserver(std::function<void()> observer);

protected:
    void changed();
    // changed(), and the delegate hears that the geometry or visibility changed.
    void geometryChanged();
    // Subclasses change the bounds, position, anchor point, z position and transform only through
    // the setters, which forget what was worked out from them (see `placement_`).
    LayerProperties model_;

private:
    // What frame() and projectToSuperlayer() work out from the model's geometry, kept until a
    // setter changes it.
    struct Placement {
        bool plainKnown = false, frameKnown = false;
        bool plain = false;  // model_.isPlainOffset()
        double tx = 0, ty = 0;  // the offset into the superlayer, when plain
        gfx::Rect frame;
    };
    const Placement& plainPlacement() const;
    void geometryMoved() { placement_.plainKnown = placement_.frameKnown = false; }
    mutable Placement placement_;

    std::weak_ptr<Layer> superlayer_;
    Layer* superlayerPointer_ = nullptr;  // the same layer, read only while superlayer_ lives (time walks)
    std::vector<std::shared_ptr<Layer>> sublayers_;
    std::vector<std::pair<std::string, std::shared_ptr<Animation>>> animations_;
    std::weak_ptr<LayerDelegate> delegate_;
    gfx::ImagePtr contents_;
    ContentsGravity gravity_ = ContentsGravity::resize;
    std::optional<gfx::Rect> contentsFrame_;
    std::string name_;
    gfx::Color shadowColor_ = gfx::Color::black();
    double shadowOpacity_ = 0;
    gfx::Size shadowOffset_{0, -3};
    double shadowRadius_ = 3;
    bool masksToBounds_ = false;
    double backdropBlurRadius_ = 0;
    mutable std::shared_ptr<BackdropCache> backdropCache_;
    bool needsDisplay_ = false;
    bool displaying_ = false;     // inside the delegate's displayLayer
    bool contentsDrawn_ = false;  // contents_ came from the delegate's displayLayer
    double speed_ = 1;
    double timeOffset_ = 0;
    double beginTime_ = 0;
};

} // namespace ca
