// The affine transforms of a glTF node hierarchy, in double: 4x4 matrices stored column by
// column as the format writes them, and the matrix that turns normals.
#ifndef TMHOST_GLTF_TRANSFORM_H
#define TMHOST_GLTF_TRANSFORM_H

#include <array>

#include "host/scene/vec3.h"

namespace tmhost {

struct Matrix4 {
    std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // column-major

    double at(int row, int column) const { return m[column * 4 + row]; }
};

Matrix4 operator*(const Matrix4& a, const Matrix4& b);

// Translation, then rotation by the unit quaternion (x, y, z, w), then scale, applied to a point
// in that order from the right: T * R * S.
Matrix4 trs_matrix(const Vec3& translation, const std::array<double, 4>& rotation,
                   const Vec3& scale);

Vec3 transform_point(const Matrix4& matrix, const Vec3& point);
Vec3 transform_direction(const Matrix4& matrix, const Vec3& direction);

// The inverse transpose of a matrix's linear part, up to a positive factor: normals keep their
// direction and side, not their length (the mesh builder makes them unit length). Scaled so that
// its entries stay small whatever the transform's size; for a singular matrix, its cofactors.
struct NormalMatrix {
    std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};  // row-major
};

NormalMatrix normal_matrix(const Matrix4& matrix);
Vec3 transform_normal(const NormalMatrix& matrix, const Vec3& normal);

}  // namespace tmhost

#endif
