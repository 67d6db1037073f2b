#include "platform/ca/MediaTimingFunction.h"

#include <algorithm>
#include <cmath>

namespace ca {

MediaTimingFunction MediaTimingFunction::spring(double dampingRatio, double initialVelocity) {
    MediaTimingFunction f(0, 0, 1, 1);
    f.spring_ = true;
    f.damping_ = std::clamp(dampingRatio, 0.01, 1.0);
    f.velocity_ = initialVelocity;
    return f;
}

double MediaTimingFunction::evaluate(double x) const {
    x = std::clamp(x, 0.0, 1.0);
    if (spring_) {
        if (x >= 1) return 1;
        // Settled to 0.1 % at x = 1: the envelope e^(-ζωx) reaches 1e-3 there.
        const double zeta = damping_, omega = std::log(1000.0) / zeta;
        const double decay = zeta * omega;
        if (zeta >= 1) {  // critically damped
            return 1 - std::exp(-omega * x) * (1 + (omega - velocity_) * x);
        }
        const double wd = omega * std::sqrt(1 - zeta * zeta);
        const double b = (decay - velocity_) / wd;
        return 1 - std::exp(-decay * x) * (std::cos(wd * x) + b * std::sin(wd * x));
    }
    if (x1_ == y1_ && x2_ == y2_) return x;  // a straight line
    // Solve bezierX(t) = x for t by Newton's method with a bisection fallback, then return y(t).
    auto bez = [](double a, double b, double t) {
        double u = 1 - t;
        return 3 * u * u * t * a + 3 * u * t * t * b + t * t * t;
    };
    auto dbez = [](double a, double b, double t) {
        double u = 1 - t;
        return 3 * u * u * a + 6 * u * t * (b - a) + 3 * t * t * (1 - b);
    };
    double t = x;
    for (int i = 0; i < 8; ++i) {
        double err = bez(x1_, x2_, t) - x;
        if (std::fabs(err) < 1e-9) return bez(y1_, y2_, t);
        double d = dbez(x1_, x2_, t);
        if (std::fabs(d) < 1e-9) break;
        t -= err / d;
        if (t < 0 || t > 1) break;
    }
    double lo = 0, hi = 1;
    t = x;
    for (int i = 0; i < 60; ++i) {
        double v = bez(x1_, x2_, t);
        if (std::fabs(v - x) < 1e-10) break;
        (v < x ? lo : hi) = t;
        t = (lo + hi) / 2;
    }
    return bez(y1_, y2_, t);
}

} // namespace ca
