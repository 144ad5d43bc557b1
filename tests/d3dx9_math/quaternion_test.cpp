// D3DX quaternions: construction from axes, angles and matrices, products, inverses and slerp.

#include <cmath>

#include "math_expect.h"

namespace {

// q and -q are the same rotation.
void ExpectSameRotation(const D3DXQUATERNION& a, const D3DXQUATERNION& b) {
    EXPECT_NEAR(std::fabs(D3DXQuaternionDot(&a, &b)), 1.0f, 1e-5f)
        << "(" << a.x << ", " << a.y << ", " << a.z << ", " << a.w << ") vs (" << b.x << ", " << b.y << ", " << b.z
        << ", " << b.w << ")";
}

D3DXQUATERNION AxisAngle(float x, float y, float z, float angle) {
    const D3DXVECTOR3 axis(x, y, z);
    D3DXQUATERNION q;
    D3DXQuaternionRotationAxis(&q, &axis, angle);
    return q;
}

D3DXMATRIX MatrixOf(const D3DXQUATERNION& q) {
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &q);
    return m;
}

const float kH = std::sqrt(0.5f);

}  // namespace

TEST(D3DXQuaternion, AxisAngleAndMatrices) {
    // (axis sin(a/2), cos(a/2)), with the axis normalised.
    ExpectQuat(AxisAngle(0, 0, 5, D3DX_PI / 2), 0, 0, kH, kH);
    // A quarter turn about z as a matrix: +x -> +y, as RotationZ.
    ExpectMatrix(MatrixOf(AxisAngle(0, 0, 1, D3DX_PI / 2)), {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});

    // The same rotation as the matrix builders, about any axis.
    for (const D3DXVECTOR3& axis : {D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(1, 2, 3),
                                    D3DXVECTOR3(-2, 0.5f, 1)}) {
        for (float angle : {0.0f, 0.4f, 2.0f, D3DX_PI, -2.5f}) {
            D3DXMATRIX expected;
            D3DXMatrixRotationAxis(&expected, &axis, angle);
            const D3DXQUATERNION q = AxisAngle(axis.x, axis.y, axis.z, angle);
            ExpectMatrixNear(MatrixOf(q), expected);
            // And back: every branch of the extraction (positive trace, and each largest diagonal).
            D3DXQUATERNION back;
            EXPECT_EQ(D3DXQuaternionRotationMatrix(&back, &expected), &back);
            ExpectSameRotation(back, q);
        }
    }
    D3DXMATRIX ry;
    D3DXMatrixRotationY(&ry, 0.5f);
    D3DXQUATERNION q;
    D3DXQuaternionRotationMatrix(&q, &ry);
    ExpectQuat(q, 0, std::sin(0.25f), 0, std::cos(0.25f));
    for (const D3DXVECTOR3& axis : {D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 0, 1)}) {
        const D3DXMATRIX half = MatrixOf(AxisAngle(axis.x, axis.y, axis.z, D3DX_PI));
        D3DXQuaternionRotationMatrix(&q, &half);
        ExpectSameRotation(q, D3DXQUATERNION(axis.x, axis.y, axis.z, 0));
    }

    // Axis and angle back out.
    D3DXVECTOR3 axis;
    float angle = 0;
    const D3DXQUATERNION third = AxisAngle(0, 1, 0, 2.0f);
    D3DXQuaternionToAxisAngle(&third, &axis, &angle);
    EXPECT_NEAR(angle, 2.0f, kTol);
    ExpectVec3(axis, 0, std::sin(1.0f), 0);
}

TEST(D3DXQuaternion, MultiplyAppliesTheLeftOperandFirst) {
    const D3DXQUATERNION rz = AxisAngle(0, 0, 1, D3DX_PI / 2), rx = AxisAngle(1, 0, 0, D3DX_PI / 2);
    // Turn about z, then about x: +x -> +y -> +z. The product is a third of a turn about (1, -1, 1).
    D3DXQUATERNION q;
    EXPECT_EQ(D3DXQuaternionMultiply(&q, &rz, &rx), &q);
    ExpectQuat(q, 0.5f, -0.5f, 0.5f, 0.5f);
    ExpectVec3(Apply(MatrixOf(q), D3DXVECTOR3(1, 0, 0)), 0, 0, 1);
    ExpectMatrixNear(MatrixOf(q), MatrixOf(rz) * MatrixOf(rx));
    // In place, either side.
    D3DXQUATERNION a = rz, b = rx;
    D3DXQuaternionMultiply(&a, &a, &rx);
    D3DXQuaternionMultiply(&b, &rz, &b);
    EXPECT_EQ(a, q);
    EXPECT_EQ(b, q);
    // General rotations compose as their matrices do.
    const D3DXQUATERNION p1 = AxisAngle(1, 2, 3, 0.8f), p2 = AxisAngle(-1, 0, 2, 2.1f);
    ExpectMatrixNear(MatrixOf(p1 * p2), MatrixOf(p1) * MatrixOf(p2));

    // Conjugate and inverse undo a rotation; the inverse also undoes the length.
    D3DXQUATERNION c, inv, id;
    D3DXQuaternionConjugate(&c, &rz);
    ExpectQuat(c, 0, 0, -kH, kH);
    D3DXQuaternionInverse(&inv, &rz);
    ExpectQuat(inv, 0, 0, -kH, kH);
    const D3DXQUATERNION longer(0, 0, 2, 0);
    D3DXQuaternionInverse(&inv, &longer);
    ExpectQuat(inv, 0, 0, -0.5f, 0);
    D3DXQuaternionMultiply(&id, &p1, D3DXQuaternionInverse(&inv, &p1));
    ExpectQuat(id, 0, 0, 0, 1);
    const D3DXQUATERNION zero(0, 0, 0, 0);
    D3DXQuaternionInverse(&inv, &zero);
    EXPECT_EQ(inv, zero);

    D3DXQuaternionIdentity(&id);
    EXPECT_EQ(id, D3DXQUATERNION(0, 0, 0, 1));
    EXPECT_TRUE(D3DXQuaternionIsIdentity(&id));
    EXPECT_FALSE(D3DXQuaternionIsIdentity(&rz));
    const D3DXMATRIX none = MatrixOf(id);
    EXPECT_TRUE(D3DXMatrixIsIdentity(&none));
}

TEST(D3DXQuaternion, LengthAndNormalize) {
    const D3DXQUATERNION q(1, 2, 2, 4);
    EXPECT_FLOAT_EQ(D3DXQuaternionLengthSq(&q), 25.0f);
    EXPECT_FLOAT_EQ(D3DXQuaternionLength(&q), 5.0f);
    const D3DXQUATERNION other(1, 0, -1, 0.5f);
    EXPECT_FLOAT_EQ(D3DXQuaternionDot(&q, &other), 1.0f);
    D3DXQUATERNION n;
    EXPECT_EQ(D3DXQuaternionNormalize(&n, &q), &n);
    ExpectQuat(n, 0.2f, 0.4f, 0.4f, 0.8f);
    const D3DXQUATERNION zero(0, 0, 0, 0);
    D3DXQuaternionNormalize(&n, &zero);
    EXPECT_EQ(n, zero);
}

TEST(D3DXQuaternion, YawPitchRoll) {
    D3DXQUATERNION q;
    D3DXQuaternionRotationYawPitchRoll(&q, 0, 0, 0);
    EXPECT_EQ(q, D3DXQUATERNION(0, 0, 0, 1));
    D3DXQuaternionRotationYawPitchRoll(&q, D3DX_PI / 2, 0, 0);
    ExpectQuat(q, 0, kH, 0, kH);
    D3DXQuaternionRotationYawPitchRoll(&q, 0, D3DX_PI / 2, 0);
    ExpectQuat(q, kH, 0, 0, kH);
    D3DXQuaternionRotationYawPitchRoll(&q, 0, 0, D3DX_PI / 2);
    ExpectQuat(q, 0, 0, kH, kH);
    // Roll, then pitch, then yaw: +z -> +z -> -y -> -y and +x -> +y -> +z -> +x.
    D3DXQuaternionRotationYawPitchRoll(&q, D3DX_PI / 2, D3DX_PI / 2, D3DX_PI / 2);
    ExpectVec3(Apply(MatrixOf(q), D3DXVECTOR3(0, 0, 1)), 0, -1, 0);
    ExpectVec3(Apply(MatrixOf(q), D3DXVECTOR3(1, 0, 0)), 1, 0, 0);
    // Agrees with the matrix version at general angles.
    D3DXMATRIX m;
    D3DXMatrixRotationYawPitchRoll(&m, 0.7f, -0.4f, 2.2f);
    D3DXQuaternionRotationYawPitchRoll(&q, 0.7f, -0.4f, 2.2f);
    ExpectMatrixNear(MatrixOf(q), m);
}

TEST(D3DXQuaternion, Slerp) {
    const D3DXQUATERNION id(0, 0, 0, 1), quarter = AxisAngle(0, 0, 1, D3DX_PI / 2);
    D3DXQUATERNION q;
    EXPECT_EQ(D3DXQuaternionSlerp(&q, &id, &quarter, 0.5f), &q);
    ExpectQuat(q, 0, 0, std::sin(D3DX_PI / 8), std::cos(D3DX_PI / 8));  // an eighth of a turn
    EXPECT_NEAR(D3DXQuaternionLength(&q), 1.0f, kTol);
    D3DXQuaternionSlerp(&q, &id, &quarter, 0.0f);
    ExpectQuat(q, 0, 0, 0, 1);
    D3DXQuaternionSlerp(&q, &id, &quarter, 1.0f);
    ExpectQuat(q, 0, 0, kH, kH);
    D3DXQuaternionSlerp(&q, &id, &quarter, 0.25f);
    ExpectQuat(q, 0, 0, std::sin(D3DX_PI / 16), std::cos(D3DX_PI / 16));
    // -quarter is the same rotation: the shorter arc gives the same halfway rotation.
    const D3DXQUATERNION negated = -quarter;
    D3DXQuaternionSlerp(&q, &id, &negated, 0.5f);
    ExpectSameRotation(q, AxisAngle(0, 0, 1, D3DX_PI / 4));
    // Nearly equal inputs fall back to a straight blend, without dividing by a vanishing sine.
    const D3DXQUATERNION tiny = AxisAngle(1, 0, 0, 1e-4f);
    D3DXQuaternionSlerp(&q, &id, &tiny, 0.5f);
    EXPECT_NEAR(q.x, std::sin(0.25e-4f), 1e-9f);
    EXPECT_NEAR(q.w, 1.0f, 1e-6f);
    // In place, as the animation code does.
    q = id;
    D3DXQuaternionSlerp(&q, &q, &quarter, 0.5f);
    ExpectQuat(q, 0, 0, std::sin(D3DX_PI / 8), std::cos(D3DX_PI / 8));
}
