#pragma once
// A colour in device RGB with straight (not premultiplied) alpha, each part from 0 to 1.

namespace gfx {

struct Color {
    double red = 0, green = 0, blue = 0, alpha = 1;

    static constexpr Color rgb(int r, int g, int b, double a = 1) { return {r / 255.0, g / 255.0, b / 255.0, a}; }
    static constexpr Color white(double w, double a = 1) { return {w, w, w, a}; }
    static constexpr Color black() { return {0, 0, 0, 1}; }
    static constexpr Color whiteColor() { return {1, 1, 1, 1}; }
    static constexpr Color clear() { return {0, 0, 0, 0}; }

    constexpr Color withAlpha(double a) const { return {red, green, blue, a}; }
    constexpr bool operator==(const Color&) const = default;
    // Straight interpolation of each part, as layer animations of colours do.
    constexpr Color interpolate(const Color& to, double t) const {
        return {red + (to.red - red) * t, green + (to.green - green) * t, blue + (to.blue - blue) * t,
                alpha + (to.alpha - alpha) * t};
    }
};

} // namespace gfx
