#pragma once
// A picture of what lies behind a translucent surface, kept from frame to frame: drawn at reduced
// scale into an off-screen surface that is reused while it is large enough, blurred by three box
// passes along rows and columns (close to a Gaussian), and painted back onto the target, scaled up
// under the target's clip. Main thread or one thread at a time.

#include "platform/gfx/Context.h"

#include <array>
#include <memory>
#include <optional>

namespace gfx {

class BackdropPicture {
public:
    // Which part of which target a picture shows: a rectangle of the target's device pixels, the
    // picture's pixels per device pixel, and the target's base transform (points to pixels).
    struct Region {
        int x = 0, y = 0, width = 0, height = 0;
        double factor = 1;
        std::array<double, 6> base{};
        bool operator==(const Region&) const = default;
    };

    BackdropPicture();
    ~BackdropPicture();
    BackdropPicture(const BackdropPicture&) = delete;
    BackdropPicture& operator=(const BackdropPicture&) = delete;

    // The region for `rect` (in the target's base space: what its user transforms are relative
    // to) grown by `pad` device pixels on each side and cut to what the target's clip still shows;
    // nothing when no pixel would show.
    static std::optional<Region> regionFor(Context& target, const Rect& rect, double pad, double factor);

    // Starts a new picture of `region`: a transparent context whose base space is the target's
    // (points in, the region's pixels out). Valid until the next begin() or the picture's end.
    Context& begin(const Region& region);
    // Blurs the picture by a Gaussian of `sigma` target device pixels (three box passes).
    void blur(double sigma);
    // Paints the picture over its region of `target`, under the target's clip and global alpha.
    void paint(Context& target) const;

    // The region of the picture drawn last, if any.
    const std::optional<Region>& region() const { return region_; }

private:
    struct Surface;
    std::unique_ptr<Surface> surface_;
    std::unique_ptr<Context> context_;
    std::optional<Region> region_;
};

} // namespace gfx
