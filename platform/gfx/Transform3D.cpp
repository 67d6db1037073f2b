#include "platform/gfx/Transform3D.h"

#include <cmath>

namespace gfx {
namespace {

using M = std::array<double, 16>;

M mul(const M& a, const M& b) {
    M r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a[i * 4 + k] * b[k * 4 + j];
            r[i * 4 + j] = s;
        }
    return r;
}

bool invert(const M& m, M& out) {
    // Gauss-Jordan elimination with partial pivoting.
    double a[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 8; ++j) a[i][j] = j < 4 ? m[i * 4 + j] : (j - 4 == i ? 1 : 0);
    for (int c = 0; c < 4; ++c) {
        int p = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
        if (std::fabs(a[p][c]) < 1e-12) return false;
        if (p != c)
            for (int j = 0; j < 8; ++j) std::swap(a[p][j], a[c][j]);
        double inv = 1 / a[c][c];
        for (int j = 0; j < 8; ++j) a[c][j] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == c) continue;
            double f = a[r][c];
            for (int j = 0; j < 8; ++j) a[r][j] -= f * a[c][j];
        }
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out[i * 4 + j] = a[i][j + 4];
    return true;
}

// The parts of a decomposed transform, in the row-vector convention: the translation is the last
// row, the perspective the last column.
struct Decomposed {
    double translate[3];
    double scale[3];
    double skew[3];  // xy, xz, yz
    double quat[4];  // x, y, z, w
    double perspective[4];
};

// The transform is split as A · P: an affine part A (scale, skew, rotation, translation) followed
// by a pure perspective P (the identity with a fourth column q). Keeping the perspective as the
// last step is what lets a flip interpolate with its depth intact.
bool decompose(const M& m, Decomposed& d) {
    M lin = Transform3D::identity().elements();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) lin[i * 4 + j] = m[i * 4 + j];
    M linInv;
    if (!invert(lin, linInv)) return false;
    // L · q = (m14, m24, m34), and m44 = t · q + q4.
    for (int i = 0; i < 3; ++i)
        d.perspective[i] = linInv[i * 4 + 0] * m[3] + linInv[i * 4 + 1] * m[7] + linInv[i * 4 + 2] * m[11];
    d.perspective[3] = m[15] - (m[12] * d.perspective[0] + m[13] * d.perspective[1] + m[14] * d.perspective[2]);
    for (int i = 0; i < 3; ++i) d.translate[i] = m[12 + i];
    double row[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) row[i][j] = m[i * 4 + j];
    auto len = [](const double* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); };
    auto dot = [](const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
    auto comb = [](double* a, const double* b, double sa, double sb) {
        for (int i = 0; i < 3; ++i) a[i] = a[i] * sa + b[i] * sb;
    };
    d.scale[0] = len(row[0]);
    if (d.scale[0] == 0) return false;
    for (double& v : row[0]) v /= d.scale[0];
    d.skew[0] = dot(row[0], row[1]);
    comb(row[1], row[0], 1, -d.skew[0]);
    d.scale[1] = len(row[1]);
    if (d.scale[1] == 0) return false;
    for (double& v : row[1]) v /= d.scale[1];
    d.skew[0] /= d.scale[1];
    d.skew[1] = dot(row[0], row[2]);
    comb(row[2], row[0], 1, -d.skew[1]);
    d.skew[2] = dot(row[1], row[2]);
    comb(row[2], row[1], 1, -d.skew[2]);
    d.scale[2] = len(row[2]);
    if (d.scale[2] == 0) return false;
    for (double& v : row[2]) v /= d.scale[2];
    d.skew[1] /= d.scale[2];
    d.skew[2] /= d.scale[2];
    double cross[3] = {row[1][1] * row[2][2] - row[1][2] * row[2][1], row[1][2] * row[2][0] - row[1][0] * row[2][2],
                       row[1][0] * row[2][1] - row[1][1] * row[2][0]};
    if (dot(row[0], cross) < 0) {
        for (int i = 0; i < 3; ++i) {
            d.scale[i] = -d.scale[i];
            for (double& v : row[i]) v = -v;
        }
    }
    // Rotation matrix (row vectors) to quaternion.
    double trace = row[0][0] + row[1][1] + row[2][2];
    double* q = d.quat;
    if (trace > 0) {
        double s = 0.5 / std::sqrt(trace + 1);
        q[3] = 0.25 / s;
        q[0] = (row[1][2] - row[2][1]) * s;
        q[1] = (row[2][0] - row[0][2]) * s;
        q[2] = (row[0][1] - row[1][0]) * s;
    } else if (row[0][0] > row[1][1] && row[0][0] > row[2][2]) {
        double s = 2 * std::sqrt(1 + row[0][0] - row[1][1] - row[2][2]);
        q[3] = (row[1][2] - row[2][1]) / s;
        q[0] = 0.25 * s;
        q[1] = (row[1][0] + row[0][1]) / s;
        q[2] = (row[2][0] + row[0][2]) / s;
    } else if (row[1][1] > row[2][2]) {
        double s = 2 * std::sqrt(1 + row[1][1] - row[0][0] - row[2][2]);
        q[3] = (row[2][0] - row[0][2]) / s;
        q[0] = (row[1][0] + row[0][1]) / s;
        q[1] = 0.25 * s;
        q[2] = (row[2][1] + row[1][2]) / s;
    } else {
        double s = 2 * std::sqrt(1 + row[2][2] - row[0][0] - row[1][1]);
        q[3] = (row[0][1] - row[1][0]) / s;
        q[0] = (row[2][0] + row[0][2]) / s;
        q[1] = (row[2][1] + row[1][2]) / s;
        q[2] = 0.25 * s;
    }
    return true;
}

M recompose(const Decomposed& d) {
    // Built in the order a point meets the steps: scale, skew, rotate; then the translation row
    // and the perspective column go back where they were read from.
    double x = d.quat[0], y = d.quat[1], z = d.quat[2], w = d.quat[3];
    M rot = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),     0,
             2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),     0,
             2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y), 0,
             0, 0, 0, 1};
    M s = Transform3D::scale(d.scale[0], d.scale[1], d.scale[2]).elements();
    M skew = Transform3D::identity().elements();
    skew[4] = d.skew[0];
    skew[8] = d.skew[1];
    skew[9] = d.skew[2];
    M r = mul(mul(s, skew), rot);
    for (int i = 0; i < 3; ++i) r[12 + i] = d.translate[i];
    M p = Transform3D::identity().elements();
    for (int i = 0; i < 4; ++i) p[i * 4 + 3] = d.perspective[i];
    return mul(r, p);
}

} // namespace

Transform3D Transform3D::translation(double tx, double ty, double tz) {
    Transform3D t;
    t.m41 = tx; t.m42 = ty; t.m43 = tz;
    return t;
}

Transform3D Transform3D::scale(double sx, double sy, double sz) {
    Transform3D t;
    t.m11 = sx; t.m22 = sy; t.m33 = sz;
    return t;
}

Transform3D Transform3D::rotation(double angle, double x, double y, double z) {
    double len = std::sqrt(x * x + y * y + z * z);
    if (len == 0) return {};
    x /= len; y /= len; z /= len;
    double s = std::sin(angle), c = std::cos(angle), k = 1 - c;
    Transform3D t;
    t.m11 = x * x * k + c;     t.m12 = x * y * k + z * s; t.m13 = x * z * k - y * s;
    t.m21 = y * x * k - z * s; t.m22 = y * y * k + c;     t.m23 = y * z * k + x * s;
    t.m31 = z * x * k + y * s; t.m32 = z * y * k - x * s; t.m33 = z * z * k + c;
    return t;
}

Transform3D Transform3D::fromAffine(const AffineTransform& a) {
    Transform3D t;
    t.m11 = a.a; t.m12 = a.b; t.m21 = a.c; t.m22 = a.d; t.m41 = a.tx; t.m42 = a.ty;
    return t;
}

bool Transform3D::isAffine() const {
    return m13 == 0 && m14 == 0 && m23 == 0 && m24 == 0 && m31 == 0 && m32 == 0 && m33 == 1 && m34 == 0 &&
           m43 == 0 && m44 == 1;
}

AffineTransform Transform3D::affine() const { return {m11, m12, m21, m22, m41, m42}; }

std::array<double, 16> Transform3D::elements() const {
    return {m11, m12, m13, m14, m21, m22, m23, m24, m31, m32, m33, m34, m41, m42, m43, m44};
}

Transform3D Transform3D::fromElements(const std::array<double, 16>& e) {
    return {e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[7], e[8], e[9], e[10], e[11], e[12], e[13], e[14], e[15]};
}

Transform3D Transform3D::concat(const Transform3D& then) const {
    return fromElements(mul(elements(), then.elements()));
}

Transform3D Transform3D::inverted() const {
    M out;
    if (!invert(elements(), out)) return *this;
    return fromElements(out);
}

Point Transform3D::project(Point p, bool* ok) const {
    double x = p.x * m11 + p.y * m21 + m41;
    double y = p.x * m12 + p.y * m22 + m42;
    double w = p.x * m14 + p.y * m24 + m44;
    if (ok) *ok = w > 1e-9;
    if (w <= 1e-9) w = 1e-9;
    return {x / w, y / w};
}

Transform3D Transform3D::flattened() const {
    Transform3D t = *this;
    t.m13 = t.m23 = t.m33 = t.m43 = 0;
    return t;
}

Transform3D Transform3D::interpolate(const Transform3D& to, double t) const {
    Decomposed a, b;
    M ea = elements(), eb = to.elements();
    if (!decompose(ea, a) || !decompose(eb, b)) {
        M r;
        for (int i = 0; i < 16; ++i) r[i] = ea[i] + (eb[i] - ea[i]) * t;
        return fromElements(r);
    }
    Decomposed r;
    for (int i = 0; i < 3; ++i) {
        r.translate[i] = a.translate[i] + (b.translate[i] - a.translate[i]) * t;
        r.scale[i] = a.scale[i] + (b.scale[i] - a.scale[i]) * t;
        r.skew[i] = a.skew[i] + (b.skew[i] - a.skew[i]) * t;
    }
    for (int i = 0; i < 4; ++i) r.perspective[i] = a.perspective[i] + (b.perspective[i] - a.perspective[i]) * t;
    // Spherical interpolation along the shorter arc.
    double dot = a.quat[0] * b.quat[0] + a.quat[1] * b.quat[1] + a.quat[2] * b.quat[2] + a.quat[3] * b.quat[3];
    double sign = 1;
    if (dot < 0) { dot = -dot; sign = -1; }
    double wa, wb;
    if (dot > 0.9995) {
        wa = 1 - t;
        wb = t;
    } else {
        double theta = std::acos(std::fmin(dot, 1.0));
        double sn = std::sin(theta);
        wa = std::sin((1 - t) * theta) / sn;
        wb = std::sin(t * theta) / sn;
    }
    double n = 0;
    for (int i = 0; i < 4; ++i) {
        r.quat[i] = a.quat[i] * wa + sign * b.quat[i] * wb;
        n += r.quat[i] * r.quat[i];
    }
    n = std::sqrt(n);
    for (double& v : r.quat) v /= n;
    return fromElements(recompose(r));
}

TransformComponents TransformComponents::of(const Transform3D& t) {
    TransformComponents c;
    c.translationX = t.m41;
    c.translationY = t.m42;
    c.translationZ = t.m43;
    // Rotation order x, y, z on row vectors: R = Rx · Ry · Rz (x applied first).
    double sx = std::sqrt(t.m11 * t.m11 + t.m12 * t.m12 + t.m13 * t.m13);
    double sy = std::sqrt(t.m21 * t.m21 + t.m22 * t.m22 + t.m23 * t.m23);
    double sz = std::sqrt(t.m31 * t.m31 + t.m32 * t.m32 + t.m33 * t.m33);
    c.scaleX = sx; c.scaleY = sy; c.scaleZ = sz;
    if (sx == 0 || sy == 0 || sz == 0) return c;
    double r13 = t.m13 / sx;
    double r11 = t.m11 / sx, r12 = t.m12 / sx, r23 = t.m23 / sy, r33 = t.m33 / sz;
    c.rotationY = std::asin(std::fmax(-1.0, std::fmin(1.0, -r13)));
    if (std::fabs(r13) < 0.999999) {
        c.rotationZ = std::atan2(r12, r11);
        c.rotationX = std::atan2(r23, r33);
    } else {
        c.rotationZ = 0;
        c.rotationX = std::atan2(-t.m32 / sz, t.m22 / sy);
    }
    return c;
}

Transform3D TransformComponents::compose() const {
    return Transform3D::scale(scaleX, scaleY, scaleZ)
        .concat(Transform3D::rotation(rotationX, 1, 0, 0))
        .concat(Transform3D::rotation(rotationY, 0, 1, 0))
        .concat(Transform3D::rotation(rotationZ, 0, 0, 1))
        .concat(Transform3D::translation(translationX, translationY, translationZ));
}

} // namespace gfx
