// Implementation of Matrix.h.
#include "engine/core/base/Matrix.h"

#include <cmath>

namespace TarnEngine
{

Vector3 Vector3Cross(const Vector3& a, const Vector3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Vector3Dot(const Vector3& a, const Vector3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector3 Vector3Normalize(const Vector3& v)
{
    const float length = std::sqrt(Vector3Dot(v, v));
    if (!(length > 0.00001f))
        return {};
    return {v.x / length, v.y / length, v.z / length};
}

float Determinant3(float m00, float m01, float m02, float m10, float m11, float m12, float m20, float m21,
                   float m22)
{
    return m00 * (m11 * m22 - m12 * m21) - m01 * (m10 * m22 - m12 * m20) + m02 * (m10 * m21 - m11 * m20);
}

void Matrix3::SetIdentity()
{
    *this = Matrix3();
}

void Matrix3::SetTranslation(float x, float y)
{
    SetIdentity();
    m[2][0] = x;
    m[2][1] = y;
}

void Matrix3::SetRotation(float radians)
{
    SetIdentity();
    const float c = std::cos(radians), s = std::sin(radians);
    m[0][0] = c;
    m[0][1] = s;
    m[1][0] = -s;
    m[1][1] = c;
}

void Matrix3::FromAxisAngle(const Vector3& axis, float radians)
{
    const float c = std::cos(radians), s = std::sin(radians), t = 1 - c;
    const float x = axis.x, y = axis.y, z = axis.z;
    m[0][0] = x * x + c * (1 - x * x);
    m[0][1] = x * y * t + s * z;
    m[0][2] = x * z * t - s * y;
    m[1][0] = x * y * t - s * z;
    m[1][1] = y * y + c * (1 - y * y);
    m[1][2] = y * z * t + s * x;
    m[2][0] = x * z * t + s * y;
    m[2][1] = y * z * t - s * x;
    m[2][2] = z * z + c * (1 - z * z);
}

void Matrix3::TransformPoint(float x, float y, float& outX, float& outY) const
{
    const float tx = x * m[0][0] + y * m[1][0] + m[2][0];
    const float ty = x * m[0][1] + y * m[1][1] + m[2][1];
    outX = tx;
    outY = ty;
}

bool Matrix3::Inverse(Matrix3& out) const
{
    const float det = Determinant3(m[0][0], m[0][1], m[0][2], m[1][0], m[1][1], m[1][2], m[2][0], m[2][1], m[2][2]);
    if (!(std::fabs(det) >= 0.000001f) || !std::isfinite(det))
        return false;
    // adjugate(r, c) = cofactor(c, r)
    Matrix3 result;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
        {
            const int r0 = (c + 1) % 3, r1 = (c + 2) % 3, c0 = (r + 1) % 3, c1 = (r + 2) % 3;
            result.m[r][c] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
        }
    out = result;
    return true;
}

bool Matrix3::IsIdentityLinear(const Matrix3& m)
{
    return std::fabs(m.m[0][0] - 1) < 0.001f && std::fabs(m.m[0][1]) < 0.001f &&
           std::fabs(m.m[1][0]) < 0.001f && std::fabs(m.m[1][1] - 1) < 0.001f;
}

Matrix4::Matrix4(const float& e00, const float& e01, const float& e02, const float& e03, const float& e10,
                 const float& e11, const float& e12, const float& e13, const float& e20, const float& e21,
                 const float& e22, const float& e23, const float& e30, const float& e31, const float& e32,
                 const float& e33)
    : m{{e00, e10, e20, e30}, {e01, e11, e21, e31}, {e02, e12, e22, e32}, {e03, e13, e23, e33}}
{
}

void Matrix4::SetIdentity()
{
    *this = Matrix4();
}

Matrix4 Matrix4::Multiply(const Matrix4& a, const Matrix4& b)
{
    Matrix4 out;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
        {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a.m[i][k] * b.m[k][j];
            out.m[i][j] = sum;
        }
    return out;
}

bool Matrix4::Inverse(Matrix4& out) const
{
    // cofactor(r, c): signed determinant of the 3x3 left when row r and column c are struck out.
    auto cofactor = [this](int r, int c)
    {
        float e[9];
        int n = 0;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                if (i != r && j != c)
                    e[n++] = m[i][j];
        const float d = Determinant3(e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[7], e[8]);
        return ((r + c) & 1) ? -d : d;
    };
    float cof[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            cof[r][c] = cofactor(r, c);
    const float det = m[0][0] * cof[0][0] + m[0][1] * cof[0][1] + m[0][2] * cof[0][2] + m[0][3] * cof[0][3];
    if (det == 0 || !std::isfinite(det))
    {
        out.SetIdentity();
        return false;
    }
    Matrix4 result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result.m[r][c] = cof[c][r] / det;
    out = result;
    return true;
}

Matrix4 Matrix4::LookAt(const Vector3& eye, const Vector3& target, const Vector3& up)
{
    const Vector3 z = Vector3Normalize({target.x - eye.x, target.y - eye.y, target.z - eye.z});
    const Vector3 x = Vector3Normalize(Vector3Cross(up, z));
    const Vector3 y = Vector3Cross(z, x);
    Matrix4 out;
    out.m[0][0] = x.x, out.m[1][0] = x.y, out.m[2][0] = x.z;
    out.m[0][1] = y.x, out.m[1][1] = y.y, out.m[2][1] = y.z;
    out.m[0][2] = z.x, out.m[1][2] = z.y, out.m[2][2] = z.z;
    out.m[0][3] = out.m[1][3] = out.m[2][3] = 0;
    out.m[3][0] = -Vector3Dot(x, eye);
    out.m[3][1] = -Vector3Dot(y, eye);
    out.m[3][2] = -Vector3Dot(z, eye);
    out.m[3][3] = 1;
    return out;
}

Matrix4 Matrix4::Frustum(float left, float right, float bottom, float top, float nearZ, float farZ)
{
    Matrix4 out;
    for (auto& row : out.m)
        for (float& e : row)
            e = 0;
    out.m[0][0] = 2 * nearZ / (right - left);
    out.m[1][1] = 2 * nearZ / (top - bottom);
    out.m[2][0] = (left + right) / (right - left);
    out.m[2][1] = (top + bottom) / (top - bottom);
    out.m[2][2] = (nearZ + farZ) / (farZ - nearZ);
    out.m[2][3] = 1;
    out.m[3][2] = -2 * farZ * nearZ / (farZ - nearZ);
    return out;
}

Matrix4 Matrix4::Perspective(float fovDegrees, float aspect, float nearZ, float farZ)
{
    const float t = std::tan(fovDegrees * 3.1415927f / 180 / 2) * nearZ;
    return Frustum(-t * aspect, t * aspect, -t, t, nearZ, farZ);
}

void Quaternion::Set(float qx, float qy, float qz, float qw)
{
    x = qx;
    y = qy;
    z = qz;
    w = qw;
}

void Quaternion::FromMatrix3(const Matrix3& r)
{
    const auto& m = r.m;
    const float trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0)
    {
        const float s = std::sqrt(trace + 1) * 2; // 4 w
        w = s / 4;
        x = (m[2][1] - m[1][2]) / s;
        y = (m[0][2] - m[2][0]) / s;
        z = (m[1][0] - m[0][1]) / s;
        return;
    }
    // From the largest diagonal element, with the cyclic successors (1, 2, 0).
    static const int next[3] = {1, 2, 0};
    int i = 0;
    if (m[1][1] > m[0][0])
        i = 1;
    if (m[2][2] > m[i][i])
        i = 2;
    const int j = next[i], k = next[j];
    float q[3];
    float s = std::sqrt(m[i][i] - m[j][j] - m[k][k] + 1);
    q[i] = s * 0.5f;
    s = 0.5f / s;
    w = (m[k][j] - m[j][k]) * s;
    q[j] = (m[j][i] + m[i][j]) * s;
    q[k] = (m[k][i] + m[i][k]) * s;
    x = q[0];
    y = q[1];
    z = q[2];
}

void Quaternion::ToMatrix(Matrix4& out) const
{
    out.m[0][0] = 1 - 2 * (y * y + z * z);
    out.m[0][1] = 2 * (x * y - z * w);
    out.m[0][2] = 2 * (x * z + y * w);
    out.m[1][0] = 2 * (x * y + z * w);
    out.m[1][1] = 1 - 2 * (x * x + z * z);
    out.m[1][2] = 2 * (y * z - x * w);
    out.m[2][0] = 2 * (x * z - y * w);
    out.m[2][1] = 2 * (y * z + x * w);
    out.m[2][2] = 1 - 2 * (x * x + y * y);
}

Quaternion Quaternion::Multiply(const Quaternion& a, const Quaternion& b)
{
    Quaternion q;
    q.w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
    q.x = a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y;
    q.y = a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x;
    q.z = a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w;
    return q;
}

} // namespace TarnEngine
