#include "host/scene/gltf_transform.h"

#include <cmath>

namespace tmhost {

Matrix4 operator*(const Matrix4& a, const Matrix4& b) {
    Matrix4 product;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += a.at(row, k) * b.at(k, column);
            product.m[column * 4 + row] = sum;
        }
    }
    return product;
}

Matrix4 trs_matrix(const Vec3& translation, const std::array<double, 4>& rotation,
                   const Vec3& scale) {
    const double x = rotation[0], y = rotation[1], z = rotation[2], w = rotation[3];
    // The rotation's columns, each times its axis's scale.
    const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w)},
                            {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w)},
                            {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)}};
    const double s[3] = {scale.x, scale.y, scale.z};
    Matrix4 matrix;
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 3; ++row) matrix.m[column * 4 + row] = r[column][row] * s[column];
    }
    matrix.m[12] = translation.x;
    matrix.m[13] = translation.y;
    matrix.m[14] = translation.z;
    return matrix;
}

Vec3 transform_point(const Matrix4& matrix, const Vec3& point) {
    return transform_direction(matrix, point) + Vec3{matrix.m[12], matrix.m[13], matrix.m[14]};
}

Vec3 transform_direction(const Matrix4& matrix, const Vec3& d) {
    return {matrix.at(0, 0) * d.x + matrix.at(0, 1) * d.y + matrix.at(0, 2) * d.z,
            matrix.at(1, 0) * d.x + matrix.at(1, 1) * d.y + matrix.at(1, 2) * d.z,
            matrix.at(2, 0) * d.x + matrix.at(2, 1) * d.y + matrix.at(2, 2) * d.z};
}

NormalMatrix normal_matrix(const Matrix4& matrix) {
    double a[3][3];
    double largest = 0.0;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            a[row][column] = matrix.at(row, column);
            largest = std::fmax(largest, std::fabs(a[row][column]));
        }
    }
    // Products of two entries could overflow for a huge transform, or vanish for a tiny one.
    if (largest > 0.0) {
        for (auto& row : a) {
            for (double& entry : row) entry /= largest;
        }
    }
    NormalMatrix normals;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const int r0 = (row + 1) % 3, r1 = (row + 2) % 3;
            const int c0 = (column + 1) % 3, c1 = (column + 2) % 3;
            // Cyclic minors carry the cofactor's sign themselves.
            normals.m[row * 3 + column] = a[r0][c0] * a[r1][c1] - a[r0][c1] * a[r1][c0];
        }
    }
    const double determinant =
        a[0][0] * normals.m[0] + a[0][1] * normals.m[1] + a[0][2] * normals.m[2];
    if (determinant < 0.0) {
        for (double& entry : normals.m) entry = -entry;
    }
    return normals;
}

Vec3 transform_normal(const NormalMatrix& matrix, const Vec3& n) {
    const auto& m = matrix.m;
    return {m[0] * n.x + m[1] * n.y + m[2] * n.z, m[3] * n.x + m[4] * n.y + m[5] * n.z,
            m[6] * n.x + m[7] * n.y + m[8] * n.z};
}

}  // namespace tmhost
