#include "platform/ca/Renderer.h"

#include "platform/ca/Layer.h"
#include "platform/ca/ShapeLayer.h"
#include "platform/gfx/Backdrop.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>

namespace ca {
namespace {

// Draws the paths of one layer in its own bounds space, through either the context's affine
// transform or a projection of flattened points.
class LayerPainter {
public:
    LayerPainter(gfx::Context& ctx, const gfx::Transform3D& toDevice)
        : ctx_(ctx), t_(toDevice), affine_(toDevice.m14 == 0 && toDevice.m24 == 0 && toDevice.m44 == 1) {
        if (affine_) ctx_.setTransform(t_.affine());
        else ctx_.setTransform({});
    }

    bool affine() const { return affine_; }

    gfx::Path map(const gfx::Path& path) const {
        if (affine_) return path;
        gfx::Path out;
        double scale = std::max(ctx_.deviceScale(), 1.0);
        for (const auto& line : path.flatten(0.1 / scale)) {
            bool first = true;
            for (gfx::Point p : line.points) {
                gfx::Point q = t_.project(p);
                if (first) out.moveTo(q);
                else out.lineTo(q);
                first = false;
            }
            if (line.closed) out.close();
        }
        return out;
    }

    void fill(const gfx::Path& path, const gfx::Color& color, gfx::Context::FillRule rule = gfx::Context::FillRule::nonZero) {
        ctx_.setFillColor(color);
        ctx_.fillPath(map(path), rule);
    }

    void stroke(const gfx::Path& path, const gfx::Color& color, double width) {
        ctx_.setStrokeColor(color);
        // Under perspective the line keeps the width the layer's average scale gives it.
        double w = width;
        if (!affine_) {
            gfx::AffineTransform a = fitAffine(path.bounds());
            w = width * std::sqrt(std::fabs(a.determinant()));
        }
        ctx_.setLineWidth(w);
        ctx_.strokePath(map(path));
    }

    void clip(const gfx::Path& path) { ctx_.clip(map(path)); }

    void image(const gfx::Image& img, const gfx::Rect& rect) {
        if (affine_) return ctx_.drawImage(img, rect);
        ctx_.save();
        ctx_.setTransform(fitAffine(rect));
        ctx_.drawImage(img, rect);
        ctx_.restore();
    }

private:
    // The affine transform that maps three corners of `r` where the projection puts them.
    gfx::AffineTransform fitAffine(const gfx::Rect& r) const {
        gfx::Point p0 = t_.project(r.origin), px = t_.project({r.maxX(), r.minY()}), py = t_.project({r.minX(), r.maxY()});
        double w = r.width() != 0 ? r.width() : 1, h = r.height() != 0 ? r.height() : 1;
        gfx::AffineTransform m{(px.x - p0.x) / w, (px.y - p0.y) / w, (py.x - p0.x) / h, (py.y - p0.y) / h, 0, 0};
        gfx::Point o = m.apply(r.origin);
        m.tx = p0.x - o.x;
        m.ty = p0.y - o.y;
        return m;
    }

    gfx::Context& ctx_;
    gfx::Transform3D t_;
    bool affine_;
};

gfx::Rect contentsRect(const gfx::Image& image, const gfx::Rect& bounds, ContentsGravity g) {
    gfx::Size s = image.size();
    const gfx::Rect& b = bounds;
    switch (g) {
    case ContentsGravity::resize: return b;
    case ContentsGravity::resizeAspect:
    case ContentsGravity::resizeAspectFill: {
        if (s.width <= 0 || s.height <= 0) return b;
        double fx = b.width() / s.width, fy = b.height() / s.height;
        double f = g == ContentsGravity::resizeAspect ? std::min(fx, fy) : std::max(fx, fy);
        double w = s.width * f, h = s.height * f;
        return {b.midX() - w / 2, b.midY() - h / 2, w, h};
    }
    default: break;
    }
    double x = b.midX() - s.width / 2, y = b.midY() - s.height / 2;
    if (g == ContentsGravity::left || g == ContentsGravity::topLeft || g == ContentsGravity::bottomLeft) x = b.minX();
    if (g == ContentsGravity::right || g == ContentsGravity::topRight || g == ContentsGravity::bottomRight) x = b.maxX() - s.width;
    if (g == ContentsGravity::top || g == ContentsGravity::topLeft || g == ContentsGravity::topRight) y = b.minY();
    if (g == ContentsGravity::bottom || g == ContentsGravity::bottomLeft || g == ContentsGravity::bottomRight) y = b.maxY() - s.height;
    return {x, y, s.width, s.height};
}

gfx::Context::LineCap capOf(ShapeLayer::LineCap c) {
    return c == ShapeLayer::LineCap::round    ? gfx::Context::LineCap::round
           : c == ShapeLayer::LineCap::square ? gfx::Context::LineCap::square
                                              : gfx::Context::LineCap::butt;
}

gfx::Context::LineJoin joinOf(ShapeLayer::LineJoin j) {
    return j == ShapeLayer::LineJoin::round   ? gfx::Context::LineJoin::round
           : j == ShapeLayer::LineJoin::bevel ? gfx::Context::LineJoin::bevel
                                              : gfx::Context::LineJoin::miter;
}

void drawShape(const ShapeLayer& shape, const LayerProperties& p, LayerPainter& painter, gfx::Context& ctx) {
    if (p.path.isEmpty()) return;
    if (p.fillColor && p.fillColor->alpha > 0)
        painter.fill(p.path, *p.fillColor,
                     shape.fillRule() == ShapeLayer::FillRule::evenOdd ? gfx::Context::FillRule::evenOdd
                                                                       : gfx::Context::FillRule::nonZero);
    if (!p.strokeColor || p.strokeColor->alpha <= 0 || p.lineWidth <= 0) return;
    double start = std::clamp(p.strokeStart, 0.0, 1.0), end = std::clamp(p.strokeEnd, 0.0, 1.0);
    if (end <= start) return;
    ctx.setLineCap(capOf(shape.lineCap()));
    ctx.setLineJoin(joinOf(shape.lineJoin()));
    if (start <= 0 && end >= 1) return painter.stroke(p.path, *p.strokeColor, p.lineWidth);
    double scale = std::max(ctx.deviceScale(), 1.0);
    gfx::Path trimmed;
    for (const auto& line : gfx::Path::trim(p.path.flatten(0.05 / scale), start, end)) {
        trimmed.moveTo(line.points.front());
        for (size_t i = 1; i < line.points.size(); ++i) trimmed.lineTo(line.points[i]);
    }
    painter.stroke(trimmed, *p.strokeColor, p.lineWidth);
}

// What a layer paints itself at presentation `p` (not its sublayers): 0 to 4 paints.
int ownPaints(const Layer& layer, const LayerProperties& p) {
    int n = 0;
    if (p.backgroundColor && p.backgroundColor->alpha > 0) ++n;
    if (layer.contents()) ++n;
    if (dynamic_cast<const ShapeLayer*>(&layer) && !p.path.isEmpty()) {
        if (p.fillColor && p.fillColor->alpha > 0) ++n;
        if (p.strokeColor && p.strokeColor->alpha > 0 && p.lineWidth > 0 && p.strokeEnd > p.strokeStart) ++n;
    }
    if (p.borderWidth > 0 && p.borderColor.alpha > 0) ++n;
    if (layer.backdropBlurRadius() > 0) ++n;
    return n;
}

// The number of paints of a layer's subtree, counted up to `limit`. A subtree of one paint can
// take its opacity into that paint's colour instead of compositing a group: the picture is the
// same.
int subtreePaints(Layer& layer, const LayerProperties& p, double time, int limit) {
    if (layer.shadowOpacity() > 0 || layer.needsDisplay()) return limit;
    int n = ownPaints(layer, p);
    for (const auto& child : layer.sublayers()) {
        if (n >= limit) break;
        double t = child->localTimeFromParent(time);
        LayerProperties c = child->presentationAt(t);
        if (c.hidden || c.opacity <= 0) continue;
        n += subtreePaints(*child, c, t, limit - n);
    }
    return n;
}

// The space a layer's sublayers are placed in, mapped to the device: the layer's own with its
// sublayer transform applied about the anchor point.
gfx::Transform3D sublayerSpace(const LayerProperties& p, const gfx::Transform3D& toDevice) {
    if (p.sublayerTransform.isIdentity()) return toDevice;
    gfx::Point a = p.anchorInBounds();
    return gfx::Transform3D::translation(-a.x, -a.y, 0)
        .concat(p.sublayerTransform)
        .concat(gfx::Transform3D::translation(a.x, a.y, 0))
        .flattened()
        .concat(toDevice);
}

// Widens `box` by the base-space extent of what a layer's subtree may paint, while every
// transform on the way is affine; false when one is not (the extent is then unknown).
bool addExtent(Layer& layer, const LayerProperties& p, double time, const gfx::Transform3D& toDevice,
               std::optional<gfx::Rect>& box) {
    if (!(toDevice.m14 == 0 && toDevice.m24 == 0 && toDevice.m44 == 1)) return false;
    gfx::Rect local = p.bounds.standardized();
    if (!p.path.isEmpty() && dynamic_cast<const ShapeLayer*>(&layer)) {
        // Miter joins reach out up to ten half widths.
        double reach = p.strokeColor ? p.lineWidth * 5 : 0;
        gfx::Rect path = p.path.bounds().standardized().insetBy(-reach, -reach);
        local = local.isEmpty() ? path : local.unionWith(path);
    }
    if (layer.contents()) {
        gfx::Rect c = layer.contentsFrame() ? *layer.contentsFrame()
                                            : contentsRect(*layer.contents(), p.bounds, layer.contentsGravity());
        local = local.unionWith(c.standardized());
    }
    gfx::Rect mapped = toDevice.affine().apply(local).insetBy(-2, -2);
    box = box ? box->unionWith(mapped) : mapped;
    if (layer.masksToBounds() || layer.sublayers().empty()) return true;
    const gfx::Transform3D childParent = sublayerSpace(p, toDevice);
    for (const auto& child : layer.sublayers()) {
        double t = child->localTimeFromParent(time);
        LayerProperties c = child->presentationAt(t);
        if (c.hidden || c.opacity <= 0) continue;
        if (!addExtent(*child, c, t, c.toSuperlayer().flattened().concat(childParent), box)) return false;
    }
    return true;
}

// ---- drawing on demand, where it shows
// A layer whose delegate draws its contents is asked to draw only when what it would paint comes
// near the area the render can show (the target's clip when the render began): within a quarter
// of that area's size beyond each of its edges. A render of a whole tree (a window) also lets go
// of drawn contents of layers more than half that size away, so that memory follows what is on
// screen, not what exists; they draw again when they come near. Layers under perspective count as
// near. What a layer paints is judged by its bounds, its contents and its shadow.

struct Zones {
    gfx::Rect draw;     // a layer reaching into it displays when it needs to
    gfx::Rect keep;     // a layer wholly outside it lets go of its drawn contents
    bool releases = false;
};

Zones zonesFor(const gfx::Rect& area, bool releases) {
    const gfx::Rect a = area.standardized();
    return {a.insetBy(-a.width() / 4, -a.height() / 4), a.insetBy(-a.width() / 2, -a.height() / 2), releases};
}

// Whether two rectangles meet, edges included (a layer of no size still places its contents).
bool reaches(const gfx::Rect& box, const gfx::Rect& zone) {
    return box.minX() <= zone.maxX() && box.maxX() >= zone.minX() && box.minY() <= zone.maxY() &&
           box.maxY() >= zone.minY();
}

// The base-space box of what the layer paints itself, or nothing under perspective (unknown).
std::optional<gfx::Rect> paintedBox(const Layer& layer, const LayerProperties& p, const gfx::Transform3D& toDevice) {
    if (!(toDevice.m14 == 0 && toDevice.m24 == 0 && toDevice.m44 == 1)) return std::nullopt;
    gfx::Rect local = p.bounds.standardized();
    if (const auto& image = layer.contents()) {
        gfx::Rect c = layer.contentsFrame() ? *layer.contentsFrame()
                                            : contentsRect(*image, p.bounds, layer.contentsGravity());
        local = local.unionWith(c.standardized());
    }
    if (!p.path.isEmpty() && dynamic_cast<const ShapeLayer*>(&layer)) {
        double reach = p.strokeColor ? p.lineWidth * 5 : 0;
        local = local.unionWith(p.path.bounds().standardized().insetBy(-reach, -reach));
    }
    if (layer.shadowOpacity() > 0) {
        gfx::Rect cast = local.offsetBy(layer.shadowOffset().width, layer.shadowOffset().height);
        local = local.unionWith(cast.insetBy(-layer.shadowRadius() * 2, -layer.shadowRadius() * 2));
    }
    gfx::Rect box = toDevice.affine().apply(local);
    if (!std::isfinite(box.minX()) || !std::isfinite(box.minY()) || !std::isfinite(box.maxX()) ||
        !std::isfinite(box.maxY()))
        return std::nullopt;
    return box;
}

// Displays the layer when it needs to and comes near what shows; lets go of its drawn contents
// when it is far from it.
void displayWhereItShows(Layer& layer, const LayerProperties& p, const gfx::Transform3D& toDevice,
                         const std::optional<Zones>& zones) {
    if (!zones) return layer.displayIfNeeded();
    if (!layer.needsDisplay() && !(zones->releases && layer.hasDrawnContents())) return;
    const auto box = paintedBox(layer, p, toDevice);
    if (!box || reaches(*box, zones->draw)) layer.displayIfNeeded();
    else if (zones->releases && !reaches(*box, zones->keep)) layer.releaseDrawnContents();
}

// Where a split drawing stands: whether the split layer has been reached in painting order; and
// the frame being drawn, from which a backdrop draws what lies beneath its layer.
struct SplitState {
    const Layer* split = nullptr;
    Renderer::Pass pass = Renderer::Pass::below;
    bool passed = false;
    Layer* root = nullptr;
    double rootParentTime = 0;
    gfx::AffineTransform rootTransform;  // the context's transform where the root was drawn
    bool inBackdrop = false;              // drawing a backdrop's picture: backdrops only tint
    std::optional<Zones> zones;           // where layers display and let go of their contents

    bool paints() const { return !split || (pass == Renderer::Pass::below) != passed; }
};

void drawLayer(Layer& layer, gfx::Context& ctx, double parentTime, const gfx::Transform3D& parentToDevice,
               SplitState& state);

std::atomic<std::uint64_t> backdropPictures{0};

// A fingerprint of what a frame paints before `split`: every layer on the way, in painting
// order, with the presentation values, contents and settings that decide its pixels.
class BeneathHash {
public:
    BeneathHash(const Layer& split, const std::optional<Zones>& zones) : split_(split), zones_(zones) {}
    std::uint64_t value() const { return h_; }

    // Layers display as the frame's drawing would have them, so that what they show counts.
    void walk(Layer& layer, double parentTime, const gfx::Transform3D& parentToDevice) {
        if (passed_) return;
        if (&layer == &split_) {
            passed_ = true;
            return;
        }
        double time = layer.localTimeFromParent(parentTime);
        LayerProperties p = layer.presentationAt(time);
        add(reinterpret_cast<std::uintptr_t>(&layer));
        add(p.hidden);
        add(p.opacity);
        if (p.hidden || p.opacity <= 0) return;
        const gfx::Transform3D toDevice = p.toSuperlayer().flattened().concat(parentToDevice);
        displayWhereItShows(layer, p, toDevice, zones_);
        for (double v : {p.bounds.x(), p.bounds.y(), p.bounds.width(), p.bounds.height(), p.position.x, p.position.y,
                         p.anchorPoint.x, p.anchorPoint.y, p.zPosition, p.cornerRadius, p.borderWidth, p.lineWidth,
                         p.strokeStart, p.strokeEnd, layer.shadowOpacity(), layer.shadowRadius(),
                         layer.backdropBlurRadius()})
            add(v);
        add(p.transform);
        add(p.sublayerTransform);
        add(p.backgroundColor);
        add(p.borderColor);
        add(p.fillColor);
        add(p.strokeColor);
        add(layer.shadowColor());
        add(layer.masksToBounds());
        add(reinterpret_cast<std::uintptr_t>(layer.contents().get()));
        if (const auto& f = layer.contentsFrame()) add(gfx::Color{f->x(), f->y(), f->width(), f->height()});
        add(static_cast<std::uint64_t>(layer.contentsGravity()));
        for (const auto& e : p.path.elements()) {
            add(static_cast<std::uint64_t>(e.kind));
            for (const auto& pt : e.points) {
                add(pt.x);
                add(pt.y);
            }
        }
        auto children = layer.sublayers();
        std::stable_sort(children.begin(), children.end(),
                         [](const auto& l, const auto& r) { return l->zPosition() < r->zPosition(); });
        add(static_cast<std::uint64_t>(children.size()));
        const gfx::Transform3D childParent = sublayerSpace(p, toDevice);
        for (auto& child : children) walk(*child, time, childParent);
    }

private:
    void add(std::uint64_t v) { h_ = (h_ ^ v) * 0x100000001b3ULL; }
    void add(double v) { add(std::bit_cast<std::uint64_t>(v)); }
    void add(bool v) { add(static_cast<std::uint64_t>(v)); }
    void add(const gfx::Color& c) {
        for (double v : {c.red, c.green, c.blue, c.alpha}) add(v);
    }
    void add(const std::optional<gfx::Color>& c) {
        add(c.has_value());
        if (c) add(*c);
    }
    void add(const gfx::Transform3D& t) {
        for (double v : {t.m11, t.m12, t.m13, t.m14, t.m21, t.m22, t.m23, t.m24, t.m31, t.m32, t.m33, t.m34, t.m41,
                         t.m42, t.m43, t.m44})
            add(v);
    }

    const Layer& split_;
    const std::optional<Zones>& zones_;
    bool passed_ = false;
    std::uint64_t h_ = 0xcbf29ce484222325ULL;
};

} // namespace

// What a layer keeps of its backdrop between frames: the picture, and the fingerprint of what it
// showed and where.
struct BackdropCache {
    gfx::BackdropPicture picture;
    std::uint64_t beneath = 0;
    std::array<double, 6> placement{};  // the layer's affine transform to the device
    double radius = 0;
};

namespace {

// The backdrop of `layer`: what lies beneath it in this frame, blurred, inside its rounded bounds.
// Drawn again only when what lies beneath, the layer's place or the target changed.
void drawBackdrop(Layer& layer, const LayerProperties& p, const gfx::Transform3D& toDevice,
                  const gfx::Path& boundsPath, gfx::Context& ctx, const SplitState& state) {
    if (state.inBackdrop || !state.root) return;
    if (!(toDevice.m14 == 0 && toDevice.m24 == 0 && toDevice.m44 == 1)) return;  // under perspective: tint only
    const double radius = layer.backdropBlurRadius();
    const double sigma = radius / 2 * std::max(ctx.deviceScale(), 1e-6);  // in device pixels
    // About six picture pixels per sigma: enough for a smooth blur, few pixels to draw and blur.
    const double factor = std::clamp(6 / std::max(sigma, 1e-6), 0.125, 1.0);
    const gfx::AffineTransform placement = toDevice.affine();
    // Beneath content up to three sigmas outside the bounds still shows through the blur.
    auto region = gfx::BackdropPicture::regionFor(ctx, placement.apply(p.bounds), 3 * sigma + 2, factor);
    if (!region) return;

    auto& cache = layer.backdropCache();
    if (!cache) cache = std::make_shared<BackdropCache>();
    BeneathHash hash(layer, state.zones);
    hash.walk(*state.root, state.rootParentTime, gfx::Transform3D::fromAffine(state.rootTransform));
    const std::array<double, 6> place{placement.a, placement.b, placement.c, placement.d, placement.tx, placement.ty};
    if (cache->picture.region() != region || cache->beneath != hash.value() || cache->placement != place ||
        cache->radius != radius) {
        gfx::Context& picture = cache->picture.begin(*region);
        picture.setTransform(state.rootTransform);
        // Layers beneath display as the frame's drawing has them, but never let go of contents:
        // the picture shows only a small part of the frame.
        std::optional<Zones> zones = state.zones;
        if (zones) zones->releases = false;
        SplitState beneath{&layer, Renderer::Pass::below, false, state.root, state.rootParentTime,
                           state.rootTransform, true, zones};
        picture.save();
        drawLayer(*state.root, picture, state.rootParentTime, gfx::Transform3D::fromAffine(state.rootTransform),
                  beneath);
        picture.restore();
        cache->picture.blur(sigma);
        cache->beneath = hash.value();
        cache->placement = place;
        cache->radius = radius;
        ++backdropPictures;
    }
    ctx.save();
    LayerPainter(ctx, toDevice).clip(boundsPath);
    cache->picture.paint(ctx);
    ctx.restore();
}


void drawLayer(Layer& layer, gfx::Context& ctx, double parentTime, const gfx::Transform3D& parentToDevice,
               SplitState& state) {
    if (state.split) {
        if (&layer == state.split) {
            state.passed = true;
            return;
        }
        if (state.passed && state.pass == Renderer::Pass::below) return;
    }
    double time = layer.localTimeFromParent(parentTime);
    LayerProperties p = layer.presentationAt(time);
    if (p.hidden || p.opacity <= 0) return;
    gfx::Transform3D toDevice = p.toSuperlayer().flattened().concat(parentToDevice);
    // A layer scaled to nothing (a scale of 0 at the start of a pulse) covers no area; drawing
    // through its singular transform would put the whole context in an error state.
    if (toDevice.m14 == 0 && toDevice.m24 == 0 && toDevice.m44 == 1) {
        double det = toDevice.affine().determinant();
        if (det == 0 || !std::isfinite(det)) return;
    }
    displayWhereItShows(layer, p, toDevice, state.zones);

    bool shadow = layer.shadowOpacity() > 0 && layer.shadowColor().alpha > 0 && state.paints();
    bool group = p.opacity < 1 || shadow;
    // A translucent subtree of one paint folds its opacity into that paint; any other is
    // composited in a group no larger than what it paints.
    bool fold = group && !shadow && !state.split && subtreePaints(layer, p, time, 2) <= 1;
    std::optional<gfx::Rect> extent;
    if (fold) group = false;
    else if (group && !shadow && !state.split && !addExtent(layer, p, time, toDevice, extent)) extent.reset();
    if (shadow) {
        gfx::Color c = layer.shadowColor();
        c.alpha *= layer.shadowOpacity();
        ctx.setShadow(layer.shadowOffset(), layer.shadowRadius(), c);
    }
    if (extent) {
        ctx.save();
        ctx.setTransform({});
        ctx.clip(gfx::Path::rect(*extent));
    }
    if (group) ctx.beginTransparencyLayer(p.opacity);
    ctx.save();
    if (fold) ctx.setAlpha(ctx.alpha() * p.opacity);
    gfx::Path boundsPath = p.cornerRadius > 0 ? gfx::Path::roundedRect(p.bounds, p.cornerRadius) : gfx::Path::rect(p.bounds);
    if (layer.masksToBounds()) LayerPainter(ctx, toDevice).clip(boundsPath);
    if (state.paints()) {
        if (layer.backdropBlurRadius() > 0) drawBackdrop(layer, p, toDevice, boundsPath, ctx, state);
        LayerPainter painter(ctx, toDevice);
        if (p.backgroundColor && p.backgroundColor->alpha > 0) painter.fill(boundsPath, *p.backgroundColor);
        if (const auto& image = layer.contents())
            painter.image(*image, layer.contentsFrame() ? *layer.contentsFrame()
                                                        : contentsRect(*image, p.bounds, layer.contentsGravity()));
        if (auto* shape = dynamic_cast<ShapeLayer*>(&layer)) drawShape(*shape, p, painter, ctx);
    }
    if (!layer.sublayers().empty()) {
        const gfx::Transform3D childParent = sublayerSpace(p, toDevice);
        // A stable order by zPosition; a copy, since drawing may ask delegates for content.
        auto children = layer.sublayers();
        std::stable_sort(children.begin(), children.end(),
                         [](const auto& l, const auto& r) { return l->zPosition() < r->zPosition(); });
        for (auto& child : children) drawLayer(*child, ctx, time, childParent, state);
    }
    if (p.borderWidth > 0 && p.borderColor.alpha > 0 && state.paints()) {
        LayerPainter painter(ctx, toDevice);
        double w = p.borderWidth;
        gfx::Rect inner = p.bounds.insetBy(w / 2, w / 2);
        gfx::Path border = p.cornerRadius > 0 ? gfx::Path::roundedRect(inner, std::max(0.0, p.cornerRadius - w / 2))
                                              : gfx::Path::rect(inner);
        ctx.setLineJoin(gfx::Context::LineJoin::miter);
        ctx.setLineCap(gfx::Context::LineCap::butt);
        painter.stroke(border, p.borderColor, w);
    }
    ctx.restore();
    if (group) ctx.endTransparencyLayer();
    if (extent) ctx.restore();
    if (shadow) ctx.setShadow({}, 0, std::nullopt);
}

} // namespace

namespace {

void renderTree(Layer& root, gfx::Context& context, double mediaTime, SplitState state) {
    auto parent = root.superlayer();
    double parentTime = parent ? parent->convertMediaTime(mediaTime) : mediaTime;
    gfx::Transform3D base = gfx::Transform3D::fromAffine(context.transform());
    state.root = &root;
    state.rootParentTime = parentTime;
    state.rootTransform = context.transform();
    // The area the target can show, in the space the layers are mapped to; only a render of a
    // whole tree lets go of what lies far from it.
    context.save();
    context.setTransform({});
    state.zones = zonesFor(context.clipBoundingBox(), !parent);
    context.restore();
    context.save();
    drawLayer(root, context, parentTime, base, state);
    context.restore();
}

} // namespace

void Renderer::render(Layer& root, gfx::Context& context, double mediaTime) {
    renderTree(root, context, mediaTime, {});
}

void Renderer::render(Layer& root, gfx::Context& context, double mediaTime, const Layer& split, Pass pass) {
    SplitState state;
    state.split = &split;
    state.pass = pass;
    renderTree(root, context, mediaTime, state);
}

std::uint64_t Renderer::backdropPicturesDrawn() { return backdropPictures.load(); }

} // namespace ca
