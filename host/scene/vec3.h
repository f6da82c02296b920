// A 3-vector of doubles for the stand-in host's geometry. Geometry runs in double so that hits
// and shadow segments stay robust at the float precision the shader works in; every operation is
// plain IEEE arithmetic (plus a correctly rounded sqrt), so both 32-bit builds agree bit for bit.
#ifndef TMHOST_VEC3_H
#define TMHOST_VEC3_H

#include <cmath>

namespace tmhost {

struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(const Vec3& a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(const Vec3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(double s, const Vec3& a) { return a * s; }
inline bool operator==(const Vec3& a, const Vec3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
inline bool operator!=(const Vec3& a, const Vec3& b) { return !(a == b); }

inline double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(const Vec3& a) { return std::sqrt(dot(a, a)); }
// The caller guarantees a non-zero vector; the parser rejects zero normals and degenerate cameras.
inline Vec3 normalize(const Vec3& a) {
    const double len = length(a);
    return {a.x / len, a.y / len, a.z / len};
}
inline double component(const Vec3& a, int axis) { return axis == 0 ? a.x : axis == 1 ? a.y : a.z; }
inline bool is_finite(const Vec3& a) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

}  // namespace tmhost

#endif
