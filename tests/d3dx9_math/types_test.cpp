// The D3DX math types: layout, construction, operators and colour packing.

#include <cmath>
#include <cstddef>
#include <type_traits>

#include "math_expect.h"

static_assert(sizeof(D3DXVECTOR2) == 8 && sizeof(D3DXVECTOR3) == 12 && sizeof(D3DXVECTOR4) == 16);
static_assert(sizeof(D3DXMATRIX) == 64 && sizeof(D3DXQUATERNION) == 16 && sizeof(D3DXPLANE) == 16);
static_assert(sizeof(D3DXCOLOR) == 16);
static_assert(std::is_trivially_copyable_v<D3DXVECTOR3> && std::is_trivially_copyable_v<D3DXMATRIX> &&
              std::is_trivially_copyable_v<D3DXQUATERNION> && std::is_trivially_copyable_v<D3DXCOLOR> &&
              std::is_trivially_copyable_v<D3DXVECTOR2> && std::is_trivially_copyable_v<D3DXVECTOR4> &&
              std::is_trivially_copyable_v<D3DXPLANE>);
static_assert(std::is_standard_layout_v<D3DXVECTOR3> && std::is_standard_layout_v<D3DXMATRIX> &&
              std::is_standard_layout_v<D3DXCOLOR>);

// Globals built by constructors before main, as the game's global objects do.
static const D3DXMATRIX g_rotY = [] {
    D3DXMATRIX m;
    D3DXMatrixRotationY(&m, D3DX_PI / 2);
    return m;
}();
static const D3DXVECTOR3 g_turned = [] {
    D3DXVECTOR3 v(1.0f, 0.0f, 0.0f);
    D3DXVec3TransformCoord(&v, &v, &g_rotY);
    return v;
}();
static const D3DXQUATERNION g_orientation = [] {
    D3DXQUATERNION q;
    D3DXQuaternionRotationYawPitchRoll(&q, 0.0f, 0.0f, 0.0f);
    return q;
}();

TEST(D3DXTypes, GlobalsAreComputedBeforeMain) {
    ExpectVec3(g_turned, 0.0f, 0.0f, -1.0f);
    EXPECT_EQ(g_orientation, D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f));
}

TEST(D3DXTypes, ConstructionAndLayout) {
    // Default construction zeroes.
    EXPECT_EQ(D3DXVECTOR3(), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(D3DXVECTOR4(), D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f));
    EXPECT_EQ(D3DXQUATERNION(), D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f));
    const D3DXMATRIX zero;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<const float*>(zero)[i], 0.0f);

    // From 16 floats, from a float array, and the element views agree.
    const float f[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const D3DXMATRIX a(f);
    const D3DXMATRIX b(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(a, b);
    EXPECT_FALSE(a != b);
    EXPECT_EQ(b._23, 7.0f);
    EXPECT_EQ(b.m[2][1], 10.0f);
    EXPECT_EQ(b(3, 2), 15.0f);
    EXPECT_EQ(&b._43, &b.m[3][2]);
    EXPECT_EQ(static_cast<const float*>(b)[13], 14.0f);
    D3DXMATRIX c = b;
    c(0, 3) = -4.0f;
    EXPECT_EQ(c._14, -4.0f);
    EXPECT_NE(c, b);

    // A D3DXVECTOR3 is a D3DVECTOR and indexes as floats.
    D3DXVECTOR3 v(1.0f, 2.0f, 3.0f);
    D3DVECTOR& base = v;
    EXPECT_EQ(base.y, 2.0f);
    EXPECT_EQ(static_cast<float*>(v)[2], 3.0f);
    const D3DXVECTOR4 v4(v, 9.0f);
    EXPECT_EQ(v4, D3DXVECTOR4(1.0f, 2.0f, 3.0f, 9.0f));
}

TEST(D3DXTypes, VectorOperators) {
    D3DXVECTOR3 a(1.0f, 2.0f, 3.0f);
    const D3DXVECTOR3 b(4.0f, -1.0f, 0.5f);
    EXPECT_EQ(a + b, D3DXVECTOR3(5.0f, 1.0f, 3.5f));
    EXPECT_EQ(a - b, D3DXVECTOR3(-3.0f, 3.0f, 2.5f));
    EXPECT_EQ(a * 2.0f, D3DXVECTOR3(2.0f, 4.0f, 6.0f));
    EXPECT_EQ(2.0f * a, D3DXVECTOR3(2.0f, 4.0f, 6.0f));
    EXPECT_EQ(a / 2.0f, D3DXVECTOR3(0.5f, 1.0f, 1.5f));
    EXPECT_EQ(-a, D3DXVECTOR3(-1.0f, -2.0f, -3.0f));
    a += b;
    a -= D3DXVECTOR3(1.0f, 1.0f, 1.0f);
    a *= 2.0f;
    a /= 4.0f;
    EXPECT_EQ(a, D3DXVECTOR3(2.0f, 0.0f, 1.25f));

    const D3DXVECTOR2 p(3.0f, 4.0f);
    EXPECT_EQ(0.5f * p - D3DXVECTOR2(1.0f, 1.0f), D3DXVECTOR2(0.5f, 1.0f));
    EXPECT_EQ(D3DXVECTOR4(1, 2, 3, 4) * 2.0f + D3DXVECTOR4(1, 1, 1, 1), D3DXVECTOR4(3, 5, 7, 9));
    EXPECT_EQ(-D3DXPLANE(1, 2, 3, 4) * 2.0f, D3DXPLANE(-2, -4, -6, -8));
}

TEST(D3DXTypes, MatrixOperators) {
    const D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    // Swaps columns 1<->2 and 3<->4 when on the right, rows when on the left.
    const D3DXMATRIX swap(0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0);
    ExpectMatrix(a * swap, {2, 1, 4, 3, 6, 5, 8, 7, 10, 9, 12, 11, 14, 13, 16, 15});
    ExpectMatrix(swap * a, {5, 6, 7, 8, 1, 2, 3, 4, 13, 14, 15, 16, 9, 10, 11, 12});
    D3DXMATRIX b = a;
    b *= swap;
    EXPECT_EQ(b, a * swap);
    ExpectMatrix(a + swap, {1, 3, 3, 4, 6, 6, 7, 8, 9, 10, 11, 13, 13, 14, 16, 16});
    ExpectMatrix(a - a, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(2.0f * a, a + a);
    EXPECT_EQ(a * 0.5f, a / 2.0f);
    EXPECT_EQ(-a, a * -1.0f);
    b = a;
    b += a;
    b -= a;
    b *= 3.0f;
    b /= 3.0f;
    EXPECT_EQ(b, a);
}

TEST(D3DXTypes, QuaternionAndPlaneOperators) {
    const D3DXQUATERNION p(1, 2, 3, 4), q(0.5f, 0, -1, 2);
    EXPECT_EQ(p + q, D3DXQUATERNION(1.5f, 2, 2, 6));
    EXPECT_EQ(p - q, D3DXQUATERNION(0.5f, 2, 4, 2));
    EXPECT_EQ(2.0f * p, D3DXQUATERNION(2, 4, 6, 8));
    EXPECT_EQ(p / 2.0f, D3DXQUATERNION(0.5f, 1, 1.5f, 2));
    D3DXQUATERNION product;
    D3DXQuaternionMultiply(&product, &p, &q);
    EXPECT_EQ(p * q, product);
    D3DXQUATERNION r = p;
    r *= q;
    EXPECT_EQ(r, product);
    EXPECT_EQ(D3DXPLANE(2, 4, 6, 8) / 2.0f, D3DXPLANE(1, 2, 3, 4));
}

TEST(D3DXTypes, ColourConversions) {
    // Packing saturates each channel to 0..255 and orders it A, R, G, B.
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(255.0f, 255.0f, 255.0f, 1.0f)), 0xFFFFFFFFu);
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(255.0f, 255.0f, 0.0f, 1.0f)), 0xFFFFFF00u);
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(0.0f, 0.0f, 0.0f, 1.0f)), 0xFF000000u);
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(1.0f, 0.0f, 0.0f, 0.0f)), 0x00FF0000u);
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(0.0f, 0.0f, 1.0f, 0.0f)), 0x000000FFu);
    // 0.25 * 255 = 63.75 -> 64, 0.5 * 255 = 127.5 -> 128; negatives clamp to 0, NaN packs as 0.
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(-1.0f, 0.5f, 2.0f, 0.25f)), 0x400080FFu);
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(std::nanf(""), 0.0f, 0.0f, 1.0f)), 0xFF000000u);
    const D3DCOLOR packed = D3DXCOLOR(0.0f, 0.0f, 0.0f, 1.0f);  // as a colour key
    EXPECT_EQ(packed, 0xFF000000u);

    // Unpacking: byte / 255 per channel.
    const D3DXCOLOR c(0x80FF4000u);
    EXPECT_FLOAT_EQ(c.a, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.r, 1.0f);
    EXPECT_FLOAT_EQ(c.g, 64.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.b, 0.0f);
    // Every byte value survives a round trip, in every channel.
    for (DWORD byte = 0; byte < 256; ++byte) {
        const DWORD argb = (byte << 24) | ((255 - byte) << 16) | (byte << 8) | (byte ^ 0x5a);
        EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(argb)), argb);
    }

    // The colour value view is the same storage.
    D3DXCOLOR d(0.1f, 0.2f, 0.3f, 0.4f);
    D3DCOLORVALUE* cv = d;
    EXPECT_EQ(static_cast<void*>(cv), static_cast<void*>(&d));
    EXPECT_EQ(cv->b, 0.3f);
    cv->a = 1.0f;
    EXPECT_EQ(d.a, 1.0f);
    const D3DCOLORVALUE plain = {0.5f, 0.25f, 0.0f, 1.0f};
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(plain)), 0xFF804000u);

    // Arithmetic and the colour functions.
    EXPECT_EQ(D3DXCOLOR(0.5f, 0.5f, 0.5f, 1.0f) * 2.0f - D3DXCOLOR(0.5f, 0, 0, 0), D3DXCOLOR(0.5f, 1, 1, 2));
    const D3DXCOLOR x(0.5f, 1.0f, 0.2f, 0.8f), y(0.5f, 0.25f, 1.0f, 0.5f);
    D3DXCOLOR out;
    D3DXColorModulate(&out, &x, &y);
    EXPECT_FLOAT_EQ(out.r, 0.25f);
    EXPECT_FLOAT_EQ(out.g, 0.25f);
    EXPECT_FLOAT_EQ(out.b, 0.2f);
    EXPECT_FLOAT_EQ(out.a, 0.4f);
    D3DXColorLerp(&out, &x, &y, 0.25f);
    EXPECT_FLOAT_EQ(out.r, 0.5f);
    EXPECT_FLOAT_EQ(out.g, 0.8125f);
    EXPECT_FLOAT_EQ(out.b, 0.4f);
    EXPECT_FLOAT_EQ(out.a, 0.725f);
    D3DXColorNegative(&out, &x);
    EXPECT_EQ(out, D3DXCOLOR(0.5f, 0.0f, 0.8f, 0.8f));
    D3DXColorAdjustContrast(&out, &x, 2.0f);
    EXPECT_NEAR(out.r, 0.5f, kTol);
    EXPECT_NEAR(out.g, 1.5f, kTol);
    EXPECT_NEAR(out.b, -0.1f, kTol);
    EXPECT_EQ(out.a, 0.8f);
    // Saturation 0 gives the grey of the same luminance.
    const D3DXCOLOR white(1.0f, 1.0f, 1.0f, 0.5f);
    D3DXColorAdjustSaturation(&out, &white, 0.0f);
    EXPECT_NEAR(out.r, 1.0f, kTol);
    EXPECT_NEAR(out.b, 1.0f, kTol);
    EXPECT_EQ(out.a, 0.5f);
}
