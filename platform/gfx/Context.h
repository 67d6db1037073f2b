#pragma once
// A drawing context: the one place where the app's drawing meets Cairo, which stays behind this
// class (Cairo is never included outside platform/gfx).
//
// Coordinates are in points; the context's base transform maps them to device pixels (a bitmap
// context made at scale 2 draws one point as two pixels). transform()/setTransform() work on the
// user transform relative to that base. Colours are straight-alpha RGBA; the global alpha
// multiplies every fill, stroke and image. Main thread or one thread at a time.

#include "platform/gfx/AffineTransform.h"
#include "platform/gfx/Color.h"
#include "platform/gfx/Image.h"
#include "platform/gfx/Path.h"
#include "platform/gfx/Rect.h"
#include "platform/gfx/Size.h"

#include <memory>
#include <optional>
#include <vector>

namespace gfx {

// The most pixels a drawing surface may have on a side (Cairo's limit).
inline constexpr int kMaxSurfaceSide = 32767;

class Context {
public:
    enum class LineCap { butt, round, square };
    enum class LineJoin { miter, round, bevel };
    enum class FillRule { nonZero, evenOdd };

    virtual ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    void save();
    void restore();

    void concat(const AffineTransform& t);  // t is applied first, then the current transform
    void translate(double x, double y);
    void scale(double sx, double sy);
    void rotate(double angle);
    AffineTransform transform() const;
    void setTransform(const AffineTransform& t);
    // Device pixels per point of the base transform.
    double deviceScale() const;

    void setFillColor(const Color& c);
    void setStrokeColor(const Color& c);
    void setLineWidth(double width);
    void setLineCap(LineCap cap);
    void setLineJoin(LineJoin join);
    void setAlpha(double alpha);
    double alpha() const;

    void fillPath(const Path& path, FillRule rule = FillRule::nonZero);
    void strokePath(const Path& path);
    void fillRect(const Rect& r);
    void strokeRect(const Rect& r);
    // Makes the rectangle fully transparent.
    void clearRect(const Rect& r);

    // Intersects the clip with the path or rectangle (restored by restore()).
    void clip(const Path& path, FillRule rule = FillRule::nonZero);
    void clipToRect(const Rect& r);
    // The bounding box of the clip in the current user space (what may still show).
    Rect clipBoundingBox() const;

    // Draws a gradient along the line from `start` to `end` through the current clip. Without
    // the extend flags, nothing is drawn before the start or after the end.
    void drawLinearGradient(const std::vector<Color>& colors, const std::vector<double>& locations, Point start,
                            Point end, bool extendBeforeStart = false, bool extendAfterEnd = false);
    // Draws the image stretched into `rect` (bilinear filtering).
    void drawImage(const Image& image, const Rect& rect);

    // A shadow under everything drawn from now on (saved and restored with the state): the drawn
    // alpha, blurred by a Gaussian of sigma blur / 2, in `color`, moved by `offset`. The offset and
    // the blur are in the base space (points, y down), whatever the current transform, so a
    // flipped text space still casts its shadow downwards for a positive height. No colour clears
    // it. Each drawing call casts its own shadow; for one shadow under several, draw them in a
    // transparency layer: the layer casts the shadow that was set when it began, and draws inside
    // without one.
    void setShadow(Size offset, double blur, std::optional<Color> color);

    // Everything drawn until endTransparencyLayer() is composited as one picture with `alpha`.
    void beginTransparencyLayer(double alpha);
    void endTransparencyLayer();

    struct Impl;
    Impl& impl() { return *impl_; }

protected:
    explicit Context(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace gfx
