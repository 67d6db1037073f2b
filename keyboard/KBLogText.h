#pragma once
// How the keyboard manager writes numbers, points, sizes and insets in its debug lines: the
// shortest text that reads back as the same double, always with a decimal point ("12.0").

#include "platform/gfx/EdgeInsets.h"
#include "platform/gfx/Point.h"
#include "platform/gfx/Size.h"

#include <charconv>
#include <string>

namespace keyboard::logtext {

inline std::string number(double v) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    std::string s(buffer, ec == std::errc() ? end : buffer);
    if (s.find_first_of(".einf") == std::string::npos) s += ".0";
    return s;
}
inline std::string text(gfx::Point p) { return "(" + number(p.x) + ", " + number(p.y) + ")"; }
inline std::string text(gfx::Size s) { return "(" + number(s.width) + ", " + number(s.height) + ")"; }
inline std::string text(const gfx::EdgeInsets& e) {
    return "(" + number(e.top) + ", " + number(e.left) + ", " + number(e.bottom) + ", " + number(e.right) + ")";
}

} // namespace keyboard::logtext
