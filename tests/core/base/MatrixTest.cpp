// Matrices, vectors and quaternions: the row-vector convention, composition, inverses, projections.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/core/base/MathUtils.h"
#include "engine/core/base/Matrix.h"

using namespace TarnEngine;

namespace
{

constexpr float kPi = 3.14159265f;

void expectNear(const Matrix4& a, const Matrix4& b, float tolerance = 1e-5f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], tolerance) << "element " << r << "," << c;
}

Matrix4 translation(float x, float y, float z)
{
    Matrix4 t;
    t.m[3][0] = x;
    t.m[3][1] = y;
    t.m[3][2] = z;
    return t;
}

} // namespace

TEST(Matrix3, RowVectorTransforms)
{
    Matrix3 r;
    r.SetRotation(kPi / 2);
    float x = 0, y = 0;
    r.TransformPoint(1, 0, x, y);
    EXPECT_NEAR(x, 0, 1e-6f);
    EXPECT_NEAR(y, 1, 1e-6f);

    Matrix3 t;
    t.SetTranslation(10, 20);
    t.TransformPoint(1, 2, x, y);
    EXPECT_FLOAT_EQ(x, 11);
    EXPECT_FLOAT_EQ(y, 22);

    // Multiply(a, b) applies a first: rotate then move, or move then rotate.
    Matrix3::Multiply(r, t).TransformPoint(1, 0, x, y);
    EXPECT_NEAR(x, 10, 1e-5f);
    EXPECT_NEAR(y, 21, 1e-5f);
    Matrix3::Multiply(t, r).TransformPoint(1, 0, x, y);
    EXPECT_NEAR(x, -20, 1e-5f);
    EXPECT_NEAR(y, 11, 1e-5f);

    EXPECT_TRUE(Matrix3::IsIdentityLinear(t));
    EXPECT_FALSE(Matrix3::IsIdentityLinear(r));
    Matrix3 copy;
    copy.Copy(r);
    copy.SetIdentity();
    EXPECT_TRUE(Matrix3::IsIdentityLinear(copy));
}

TEST(Matrix3, AxisAngleAboutZMatchesThe2DRotation)
{
    Matrix3 axis, plane;
    axis.FromAxisAngle({0, 0, 1}, 0.7f);
    plane.SetRotation(0.7f);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(axis.m[r][c], plane.m[r][c], 1e-6f);
}

TEST(Matrix3, MultiplyIntoAnOperandAndInverse)
{
    // Composition written back into its own operands, nested inside another product.
    Matrix3 a, b;
    a.SetRotation(0.3f);
    b.SetTranslation(5, -2);
    const Matrix3 expected = Matrix3::Multiply(Matrix3::Multiply(a, b), Matrix3::Multiply(b, a));
    a = Matrix3::Multiply(Matrix3::Multiply(a, b), Matrix3::Multiply(b, a));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_FLOAT_EQ(a.m[r][c], expected.m[r][c]);

    Matrix3 inverse;
    ASSERT_TRUE(a.Inverse(inverse));
    const Matrix3 product = Matrix3::Multiply(a, inverse);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(product.m[r][c], r == c ? 1.0f : 0.0f, 1e-5f);

    // Singular and nearly singular matrices leave the output alone.
    const float scales[] = {0.0f, 0.0000009f, -0.0000009f, NAN};
    for (float s : scales)
    {
        Matrix3 m, out;
        m.m[0][0] = s;
        out.m[2][0] = 7;
        EXPECT_FALSE(m.Inverse(out)) << s;
        EXPECT_EQ(out.m[2][0], 7) << s;
        EXPECT_EQ(out.m[0][0], 1) << s;
    }
    Matrix3 small, out;
    small.m[0][0] = 0.000002f;
    EXPECT_TRUE(small.Inverse(out));
    EXPECT_NEAR(out.m[0][0], 500000.0f, 1.0f);
}

TEST(Matrix4, MultiplyInverseAndTheTransposingConstructor)
{
    const Matrix4 identity;
    const Matrix4 a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(a.m[0][1], 5); // given row by row, stored transposed
    EXPECT_EQ(a.m[1][0], 2);
    expectNear(Matrix4::Multiply(identity, a), a);
    expectNear(Matrix4::Multiply(a, identity), a);

    Matrix4 inverse;
    ASSERT_TRUE(translation(1, 2, 3).Inverse(inverse));
    expectNear(inverse, translation(-1, -2, -3));

    // A general invertible matrix times its inverse is the identity, both ways.
    const Matrix4 b(2, 0, 1, 0, 1, 3, 0, 1, 0, 1, 4, 0, 1, 0, 0, 5);
    ASSERT_TRUE(b.Inverse(inverse));
    expectNear(Matrix4::Multiply(b, inverse), identity, 1e-5f);
    expectNear(Matrix4::Multiply(inverse, b), identity, 1e-5f);

    // Singular: no inverse, identity out.
    EXPECT_FALSE(a.Inverse(inverse));
    expectNear(inverse, identity);
}

TEST(Matrix4, DeterminantAndVectors)
{
    EXPECT_FLOAT_EQ(Determinant3(2, 0, 0, 0, 3, 0, 0, 0, 4), 24);
    EXPECT_FLOAT_EQ(Determinant3(1, 2, 3, 4, 5, 6, 7, 8, 10), -3);
    const Vector3 z = Vector3Cross({1, 0, 0}, {0, 1, 0});
    EXPECT_FLOAT_EQ(z.z, 1);
    const Vector3 n = Vector3Normalize({3, 0, 4});
    EXPECT_FLOAT_EQ(n.x, 0.6f);
    EXPECT_FLOAT_EQ(n.z, 0.8f);
    const Vector3 tiny = Vector3Normalize({0.000001f, 0, 0});
    EXPECT_EQ(tiny.x, 0);
    EXPECT_EQ(tiny.y, 0);
    EXPECT_EQ(tiny.z, 0);
}

TEST(Matrix4, LookAtAndProjection)
{
    // Looking down +z from (0, 0, -5): the view is a translation by +5 in z.
    const Matrix4 view = Matrix4::LookAt({0, 0, -5}, {0, 0, 0}, {0, 1, 0});
    expectNear(view, translation(0, 0, 5));
    // Looking along +x: +x becomes depth, +z becomes left (-x on screen).
    const Matrix4 side = Matrix4::LookAt({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    EXPECT_NEAR(side.m[0][2], 1, 1e-6f);
    EXPECT_NEAR(side.m[2][0], -1, 1e-6f);

    // Near maps to depth -1 and far to +1 (after the divide by w = z).
    const Matrix4 p = Matrix4::Perspective(90, 1, 1, 10);
    for (const float z : {1.0f, 10.0f})
    {
        const float clipZ = z * p.m[2][2] + p.m[3][2];
        const float w = z * p.m[2][3];
        EXPECT_NEAR(clipZ / w, z == 1 ? -1 : 1, 1e-5f);
    }
    EXPECT_NEAR(p.m[0][0], 1, 1e-5f); // tan 45 = 1
    const Matrix4 f = Matrix4::Frustum(-1, 3, -2, 2, 1, 3);
    EXPECT_FLOAT_EQ(f.m[0][0], 0.5f);
    EXPECT_FLOAT_EQ(f.m[2][0], 0.5f);
    EXPECT_FLOAT_EQ(f.m[3][2], -3);
    EXPECT_EQ(f.m[3][3], 0);
}

TEST(Quaternion, MatrixRoundTripAndProduct)
{
    // Rotations with a positive trace and with each diagonal element the largest (half turns).
    const Vector3 axes[] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0.6f, 0, 0.8f}};
    for (const Vector3& axis : axes)
        for (const float angle : {0.5f, kPi})
        {
            Quaternion q;
            q.Set(axis.x * std::sin(angle / 2), axis.y * std::sin(angle / 2), axis.z * std::sin(angle / 2),
                  std::cos(angle / 2));
            Matrix4 m;
            q.ToMatrix(m);
            Matrix3 r;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    r.m[i][j] = m.m[i][j];
            Quaternion back;
            back.FromMatrix3(r);
            const float sign = (back.w * q.w + back.x * q.x + back.y * q.y + back.z * q.z) < 0 ? -1.0f : 1.0f;
            EXPECT_NEAR(back.x * sign, q.x, 1e-5f);
            EXPECT_NEAR(back.y * sign, q.y, 1e-5f);
            EXPECT_NEAR(back.z * sign, q.z, 1e-5f);
            EXPECT_NEAR(back.w * sign, q.w, 1e-5f);
            EXPECT_EQ(m.m[3][3], 1); // elements outside the 3x3 are left alone
        }

    // Two quarter turns about z make a half turn; i j = k.
    Quaternion quarter;
    quarter.Set(0, 0, std::sin(kPi / 4), std::cos(kPi / 4));
    const Quaternion half = Quaternion::Multiply(quarter, quarter);
    EXPECT_NEAR(half.z, 1, 1e-6f);
    EXPECT_NEAR(half.w, 0, 1e-6f);
    Quaternion i, j;
    i.Set(1, 0, 0, 0);
    j.Set(0, 1, 0, 0);
    const Quaternion k = Quaternion::Multiply(i, j);
    EXPECT_EQ(k.z, 1);
    EXPECT_EQ(k.w, 0);
}

TEST(MathUtils, ClampAndNextPowerOfTwo)
{
    EXPECT_EQ(Clamp(7, 10, 3), 3); // high wins
    EXPECT_EQ(Clamp(-1, 0, 5), 0);
    EXPECT_EQ(Clamp(2.5f, 0.0f, 1.0f), 1.0f);

    struct Case
    {
        uint32_t in, out;
    } cases[] = {
        {0, 1},           {1, 2},          {2, 4}, {3, 4}, {100, 128}, {256, 512}, {0x7FFFFFFF, 0x80000000u},
        {0x80000000u, 0}, {0xFFFFFFFFu, 0}};
    for (const Case& c : cases)
    {
        uint32_t v = c.in;
        NextPowerOfTwo(v);
        EXPECT_EQ(v, c.out) << c.in;
    }
}
