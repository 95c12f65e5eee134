// Single-precision vectors and matrices: Matrix3 is the 2D affine transform of the display tree,
// Matrix4, Vector3 and Quaternion serve the few 3D uses (view and projection matrices, rotations).
// Both matrices are row-major for row vectors: a point is multiplied from the left, translation
// sits in the last row, and Multiply(a, b) applies a first, then b.
#pragma once

namespace TarnEngine
{

struct Vector3
{
    float x = 0, y = 0, z = 0;
};

Vector3 Vector3Cross(const Vector3& a, const Vector3& b);
// Scaled to length 1; a length not above 0.00001 gives the zero vector.
Vector3 Vector3Normalize(const Vector3& v);
float Vector3Dot(const Vector3& a, const Vector3& b);

// The determinant of a 3x3 matrix given row by row, by expansion along the first row.
float Determinant3(float m00, float m01, float m02, float m10, float m11, float m12, float m20, float m21,
                   float m22);

// 2D affine transform: rows (m00, m01, 0), (m10, m11, 0), (tx, ty, 1).
// x' = x m00 + y m10 + tx, y' = x m01 + y m11 + ty.
struct Matrix3
{
    float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

    void SetIdentity();
    // Identity with (x, y) in the third row.
    void SetTranslation(float x, float y);
    // Rows (cos, sin, 0), (-sin, cos, 0), (0, 0, 1): positive angles turn +x towards +y.
    void SetRotation(float radians);
    // Rotation about a unit axis, in the row-vector form.
    void FromAxisAngle(const Vector3& axis, float radians);
    void Copy(const Matrix3& other) { *this = other; }
    void TransformPoint(float x, float y, float& outX, float& outY) const;

    // a x b: applies a first, then b. Computed into a local, so out may be a or b. Inline: sprites
    // make several a frame each.
    static Matrix3 Multiply(const Matrix3& a, const Matrix3& b)
    {
        Matrix3 out;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                out.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
        return out;
    }
    // The adjugate divided by the determinant. A determinant whose magnitude is below 0.000001 (or
    // not finite) counts as singular: out stays as it was and the result is false.
    bool Inverse(Matrix3& out) const;
    // The linear part is the identity within 0.001.
    static bool IsIdentityLinear(const Matrix3& m);
};

struct Matrix4
{
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    Matrix4() = default;
    // Sixteen values given row by row and stored transposed: element (r, c) is given (c, r).
    Matrix4(const float& e00, const float& e01, const float& e02, const float& e03, const float& e10,
            const float& e11, const float& e12, const float& e13, const float& e20, const float& e21,
            const float& e22, const float& e23, const float& e30, const float& e31, const float& e32,
            const float& e33);

    void SetIdentity();
    void Copy(const Matrix4& other) { *this = other; }

    // a x b: out(i, j) = sum over k of a(i, k) b(k, j).
    static Matrix4 Multiply(const Matrix4& a, const Matrix4& b);
    // The inverse by cofactors. A singular matrix (determinant 0 or not finite) has none: out becomes
    // the identity and the result is false.
    bool Inverse(Matrix4& out) const;
    // Left-handed view matrix looking from eye at target.
    static Matrix4 LookAt(const Vector3& eye, const Vector3& target, const Vector3& up);
    // Projection mapping near to depth -1 and far to +1.
    static Matrix4 Frustum(float left, float right, float bottom, float top, float nearZ, float farZ);
    static Matrix4 Perspective(float fovDegrees, float aspect, float nearZ, float farZ);
};

struct Quaternion
{
    float x = 0, y = 0, z = 0, w = 1;

    void Set(float qx, float qy, float qz, float qw);
    // The rotation of the upper 3x3 of a rotation matrix in the layout ToMatrix writes.
    void FromMatrix3(const Matrix3& r);
    // Writes the upper 3x3 of out, leaving its other elements as they were.
    void ToMatrix(Matrix4& out) const;
    // The Hamilton product a b.
    static Quaternion Multiply(const Quaternion& a, const Quaternion& b);
};

} // namespace TarnEngine
