// The output merger: blending with every factor the game uses and the others, the alpha test,
// depth, stencil operations (wrapping and saturating), two-sided stencil, a stencil shadow volume
// in two passes and in one, and the colour write mask.
#include "draw_fixture.h"

#include <algorithm>
#include <functional>

namespace drawtest {
namespace {

double Ch(DWORD c, int i) { return Channel(c, i) / 255.0; }

class Output : public DrawTest {
protected:
    // The stencil value at a pixel, found by drawing with STENCILFUNC LESSEQUAL (ref <= value).
    // The pixel's colour is lost; depth testing is back on and stencil testing off afterwards.
    int StencilAt(int x, int y) {
        device_->SetRenderState(D3DRS_ZENABLE, FALSE);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device_->SetRenderState(D3DRS_TWOSIDEDSTENCILMODE, FALSE);
        device_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
        device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL);
        device_->SetRenderState(D3DRS_STENCILMASK, 0xFF);
        device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        device_->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
        device_->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
        int lo = 0, hi = 255;
        D3DRECT r = {x, y, x + 1, y + 1};
        while (lo < hi) {
            int mid = (lo + hi + 1) / 2;
            device_->Clear(1, &r, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
            device_->SetRenderState(D3DRS_STENCILREF, DWORD(mid));
            Begin();
            DrawRect(float(x), float(y), float(x + 1), float(y + 1), 0xFFFFFFFF);
            End();
            if (Pixel(x, y) == 0xFFFFFFFFu) lo = mid;
            else hi = mid - 1;
        }
        device_->SetRenderState(D3DRS_ZENABLE, TRUE);
        device_->SetRenderState(D3DRS_STENCILENABLE, FALSE);
        return lo;
    }
    // Draws a rectangle with a stencil operation on pass, everything else passing.
    void StencilRect(float x0, float y0, float x1, float y1, DWORD pass, DWORD ref = 0, DWORD writeMask = 0xFF) {
        device_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
        device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        device_->SetRenderState(D3DRS_STENCILPASS, pass);
        device_->SetRenderState(D3DRS_STENCILREF, ref);
        device_->SetRenderState(D3DRS_STENCILWRITEMASK, writeMask);
        Begin();
        DrawRect(x0, y0, x1, y1, 0xFF808080);
        End();
    }
};

TEST_F(Output, BlendFactorsAndOperations) {
    const DWORD dst = 0xFF4080C0, src = 0x60C06020;
    double s[4], d[4];
    for (int c = 0; c < 4; ++c) {
        s[c] = Ch(src, c);
        d[c] = Ch(dst, c);
    }
    // Channel order in the arrays: 0 blue, 1 green, 2 red, 3 alpha. The back buffer is X8R8G8B8:
    // its alpha reads 1.
    d[3] = 1.0;
    using F = std::function<double(int)>;
    auto factor = [&](DWORD f) -> F {
        switch (f) {
        case D3DBLEND_ZERO: return [](int) { return 0.0; };
        case D3DBLEND_ONE: return [](int) { return 1.0; };
        case D3DBLEND_SRCCOLOR: return [&](int c) { return s[c]; };
        case D3DBLEND_INVSRCCOLOR: return [&](int c) { return 1 - s[c]; };
        case D3DBLEND_SRCALPHA: return [&](int) { return s[3]; };
        case D3DBLEND_INVSRCALPHA: return [&](int) { return 1 - s[3]; };
        case D3DBLEND_DESTALPHA: return [&](int) { return d[3]; };
        case D3DBLEND_INVDESTALPHA: return [&](int) { return 1 - d[3]; };
        case D3DBLEND_DESTCOLOR: return [&](int c) { return d[c]; };
        case D3DBLEND_INVDESTCOLOR: return [&](int c) { return 1 - d[c]; };
        default: return [](int) { return -1.0; };
        }
    };
    struct Case {
        DWORD src, dst, op;
    } cases[] = {
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},  // translucent sprites and the shadow
        {D3DBLEND_ONE, D3DBLEND_DESTCOLOR, D3DBLENDOP_ADD},         // the translucent-material rule
        {D3DBLEND_ZERO, D3DBLEND_ONE, D3DBLENDOP_ADD},              // the shadow volume keeps colour
        {D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD},
        {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_ADD},
        {D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD},
        {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD},
        {D3DBLEND_INVDESTCOLOR, D3DBLEND_INVSRCCOLOR, D3DBLENDOP_ADD},
        {D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, D3DBLENDOP_ADD},
        {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_SUBTRACT},
        {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT},
        {D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_MIN},
        {D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_MAX},
    };
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    for (const Case& c : cases) {
        device_->SetRenderState(D3DRS_SRCBLEND, c.src);
        device_->SetRenderState(D3DRS_DESTBLEND, c.dst);
        device_->SetRenderState(D3DRS_BLENDOP, c.op);
        Clear(dst);
        Begin();
        DrawScreen(src);
        End();
        F fs = factor(c.src), fd = factor(c.dst);
        double out[3];
        for (int ch = 0; ch < 3; ++ch) {
            double a = s[ch] * fs(ch), b = d[ch] * fd(ch);
            switch (c.op) {
            case D3DBLENDOP_SUBTRACT: out[ch] = a - b; break;
            case D3DBLENDOP_REVSUBTRACT: out[ch] = b - a; break;
            case D3DBLENDOP_MIN: out[ch] = std::min(s[ch], d[ch]); break;  // factors are not used
            case D3DBLENDOP_MAX: out[ch] = std::max(s[ch], d[ch]); break;
            default: out[ch] = a + b; break;
            }
        }
        EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(out[2], out[1], out[0])))
            << "src " << c.src << " dest " << c.dst << " op " << c.op;
    }
    // BOTHINVSRCALPHA sets both factors: source (1 - As), destination As.
    device_->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BOTHINVSRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    Clear(dst);
    Begin();
    DrawScreen(src);
    End();
    EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(s[2] * (1 - s[3]) + d[2] * s[3], s[1] * (1 - s[3]) + d[1] * s[3],
                                              s[0] * (1 - s[3]) + d[0] * s[3])));
    // BLENDFACTOR takes D3DRS_BLENDFACTOR.
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BLENDFACTOR);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVBLENDFACTOR);
    device_->SetRenderState(D3DRS_BLENDFACTOR, 0xFF408000);
    Clear(dst);
    Begin();
    DrawScreen(src);
    End();
    double k[3] = {0.0, 0x80 / 255.0, 0x40 / 255.0};
    EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(s[2] * k[2] + d[2] * (1 - k[2]), s[1] * k[1] + d[1] * (1 - k[1]),
                                              s[0] * k[0] + d[0] * (1 - k[0]))));
}

TEST_F(Output, DestinationAlphaAndSeparateAlphaBlending) {
    ResetTo(D3DFMT_A8R8G8B8);
    const DWORD dst = 0x404080C0, src = 0x60C06020;
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    // With an alpha channel, DESTALPHA reads it (0x40).
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    Clear(dst);
    Begin();
    DrawScreen(src);
    End();
    double ad = Ch(dst, 3);
    EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(Ch(src, 2) * ad, Ch(src, 1) * ad, Ch(src, 0) * ad, Ch(src, 3) * ad)));
    // Separate factors for alpha: colour ONE/ZERO, alpha ZERO/ONE keeps the old alpha.
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    device_->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_ZERO);
    device_->SetRenderState(D3DRS_DESTBLENDALPHA, D3DBLEND_ONE);
    Clear(dst);
    Begin();
    DrawScreen(src);
    End();
    EXPECT_EQ(Pixel(32, 32), (dst & 0xFF000000u) | (src & 0x00FFFFFFu));
}

TEST_F(Output, AlphaTestComparesTheEightBitAlphaWithTheReference) {
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    struct Case {
        DWORD func, ref;
        bool drawn;  // for alpha 0x7F
    } cases[] = {{D3DCMP_GREATEREQUAL, 0x7F, true}, {D3DCMP_GREATEREQUAL, 0x80, false}, {D3DCMP_GREATER, 0x7F, false},
                 {D3DCMP_GREATER, 0x7E, true},      {D3DCMP_EQUAL, 0x7F, true},         {D3DCMP_NOTEQUAL, 0x7F, false},
                 {D3DCMP_LESS, 0x80, true},         {D3DCMP_LESSEQUAL, 0x7E, false},    {D3DCMP_NEVER, 0, false},
                 {D3DCMP_ALWAYS, 0xFF, true}};
    for (const Case& c : cases) {
        device_->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        device_->SetRenderState(D3DRS_ALPHAREF, c.ref);
        Clear(0xFF000000);
        Begin();
        DrawScreen(0x7F00FF00);
        End();
        EXPECT_EQ(Pixel(32, 32), c.drawn ? 0x7F00FF00u | 0xFF000000u : 0xFF000000u) << "func " << c.func << " ref " << c.ref;
    }
    // A rejected pixel writes no depth either: a farther quad still shows.
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device_->SetRenderState(D3DRS_ALPHAREF, 0x80);
    Clear(0xFF000000);
    Begin();
    DrawScreen(0x7F00FF00, 0.2f);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    DrawScreen(0xFFFF0000, 0.6f);
    End();
    EXPECT_EQ(Pixel(32, 32), 0xFFFF0000u);
}

TEST_F(Output, DepthTestAndWrites) {
    Clear(0xFF000000);
    Begin();
    DrawScreen(0xFFFF0000, 0.5f);
    DrawScreen(0xFF00FF00, 0.7f);  // LESSEQUAL: farther, rejected
    DrawRect(0, 0, 32, 64, 0xFF0000FF, 0.3f);
    DrawRect(32, 0, 64, 64, 0xFFFFFF00, 0.5f);  // equal depth passes LESSEQUAL
    End();
    EXPECT_EQ(Pixel(10, 10), 0xFF0000FFu);
    EXPECT_EQ(Pixel(50, 10), 0xFFFFFF00u);
    // Without depth writes a nearer quad leaves the old depth.
    device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    Begin();
    DrawRect(0, 0, 32, 64, 0xFFFFFFFF, 0.1f);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    DrawRect(0, 0, 32, 64, 0xFF00FFFF, 0.2f);  // passes against 0.3, not 0.1
    End();
    EXPECT_EQ(Pixel(10, 10), 0xFF00FFFFu);
    // Other functions and no test at all.
    device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
    Begin();
    DrawRect(0, 0, 32, 64, 0xFF808080, 0.1f);  // 0.1 > 0.2 fails
    DrawRect(32, 0, 64, 64, 0xFF404040, 0.9f);  // 0.9 > 0.5 passes
    End();
    EXPECT_EQ(Pixel(10, 10), 0xFF00FFFFu);
    EXPECT_EQ(Pixel(50, 10), 0xFF404040u);
    device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    Begin();
    DrawScreen(0xFF123456, 1.0f);
    End();
    EXPECT_EQ(Pixel(10, 10), 0xFF123456u);
}

TEST_F(Output, ClipSpaceDepthRunsFromZeroToW) {
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    struct V {
        float x, y, z;
        DWORD c;
    };
    auto quad = [&](float z, DWORD c, float x0 = -1, float x1 = 1) {
        V q[4] = {{x0, 1, z, c}, {x1, 1, z, c}, {x0, -1, z, c}, {x1, -1, z, c}};
        device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V)), D3D_OK);
    };
    Clear(0xFF000000);
    Begin();
    quad(-0.1f, 0xFFFF0000, -1, 0);  // in front of the near plane z = 0: clipped
    quad(0.05f, 0xFF00FF00, 0, 1);   // just inside
    quad(1.1f, 0xFF0000FF, -1, 0);   // beyond the far plane: clipped
    End();
    EXPECT_EQ(Pixel(10, 32), 0xFF000000u);
    EXPECT_EQ(Pixel(50, 32), 0xFF00FF00u);
    // The viewport's depth range maps clip depth 0..1 to MinZ..MaxZ; pre-transformed z is not mapped.
    D3DVIEWPORT9 vp = {0, 0, kSize, kSize, 0.5f, 1.0f};
    device_->SetViewport(&vp);
    Clear(0xFF000000);
    Begin();
    quad(0.2f, 0xFFFF0000);                  // depth 0.5 + 0.2 * 0.5 = 0.6
    DrawRect(0, 0, 32, 64, 0xFF0000FF, 0.59f);  // nearer: drawn
    DrawRect(32, 0, 64, 64, 0xFF0000FF, 0.61f); // farther: rejected
    End();
    EXPECT_EQ(Pixel(10, 32), 0xFF0000FFu);
    EXPECT_EQ(Pixel(50, 32), 0xFFFF0000u);
}

TEST_F(Output, StencilIncrementAndDecrementWrapAndTheSaturatingOnesStop) {
    Clear(0xFF000000, 1.0f, 255);
    StencilRect(0, 0, 16, 16, D3DSTENCILOP_INCR);     // 255 + 1 wraps to 0
    StencilRect(16, 0, 32, 16, D3DSTENCILOP_INCRSAT);  // stays 255
    EXPECT_EQ(StencilAt(4, 4), 0);
    EXPECT_EQ(StencilAt(20, 4), 255);
    Clear(0xFF000000, 1.0f, 0);
    StencilRect(0, 0, 16, 16, D3DSTENCILOP_DECR);     // 0 - 1 wraps to 255
    StencilRect(16, 0, 32, 16, D3DSTENCILOP_DECRSAT);  // stays 0
    StencilRect(32, 0, 48, 16, D3DSTENCILOP_INCR);
    StencilRect(32, 0, 48, 16, D3DSTENCILOP_INCR);     // 2
    EXPECT_EQ(StencilAt(4, 4), 255);
    EXPECT_EQ(StencilAt(20, 4), 0);
    EXPECT_EQ(StencilAt(36, 4), 2);
    // REPLACE writes the reference, INVERT flips the bits, ZERO clears; WRITEMASK limits the bits.
    Clear(0xFF000000, 1.0f, 0x0F);
    StencilRect(0, 0, 16, 16, D3DSTENCILOP_REPLACE, 0x5A);
    StencilRect(16, 0, 32, 16, D3DSTENCILOP_INVERT);
    StencilRect(32, 0, 48, 16, D3DSTENCILOP_ZERO);
    StencilRect(48, 0, 64, 16, D3DSTENCILOP_INCR, 0, 0xF0);  // (0x0F & ~0xF0) | (0xF0 & 0x10)
    EXPECT_EQ(StencilAt(4, 4), 0x5A);
    EXPECT_EQ(StencilAt(20, 4), 0xF0);
    EXPECT_EQ(StencilAt(36, 4), 0);
    EXPECT_EQ(StencilAt(52, 4), 0x1F);
}

TEST_F(Output, StencilTestUsesReferenceAndMaskAndPicksTheOperationByOutcome) {
    Clear(0xFF000000, 0.5f, 0x36);
    device_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    // (ref & mask) CMP (stencil & mask), the reference on the left.
    struct Case {
        DWORD func, ref, mask;
        bool pass;
    } cases[] = {{D3DCMP_EQUAL, 0x36, 0xFF, true},   {D3DCMP_EQUAL, 0x06, 0xFF, false}, {D3DCMP_EQUAL, 0x06, 0x0F, true},
                 {D3DCMP_LESS, 0x35, 0xFF, true},    {D3DCMP_LESS, 0x36, 0xFF, false},  {D3DCMP_GREATER, 0x37, 0xFF, true},
                 {D3DCMP_LESSEQUAL, 0x36, 0xFF, true}, {D3DCMP_NOTEQUAL, 0x36, 0xFF, false}, {D3DCMP_NEVER, 0, 0xFF, false}};
    for (const Case& c : cases) {
        device_->SetRenderState(D3DRS_STENCILFUNC, c.func);
        device_->SetRenderState(D3DRS_STENCILREF, c.ref);
        device_->SetRenderState(D3DRS_STENCILMASK, c.mask);
        device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        Clear(0xFF000000, 0.5f, 0x36);
        Begin();
        DrawScreen(0xFFFFFFFF, 0.2f);
        End();
        EXPECT_EQ(Pixel(32, 32), c.pass ? 0xFFFFFFFFu : 0xFF000000u) << "func " << c.func << " ref " << c.ref;
    }
    // Stencil fails, depth fails and both pass each take their own operation.
    Clear(0xFF000000, 0.5f, 10);
    device_->SetRenderState(D3DRS_STENCILMASK, 0xFF);
    device_->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_ZERO);
    device_->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_INCR);
    device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
    device_->SetRenderState(D3DRS_STENCILREF, 10);
    Begin();
    device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_NEVER);
    DrawRect(0, 0, 16, 16, 0xFFFFFFFF, 0.2f);
    device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    DrawRect(16, 0, 32, 16, 0xFFFFFFFF, 0.8f);  // behind: depth fails
    DrawRect(32, 0, 48, 16, 0xFFFFFFFF, 0.2f);
    End();
    EXPECT_EQ(StencilAt(4, 4), 0);
    EXPECT_EQ(StencilAt(20, 4), 11);
    EXPECT_EQ(StencilAt(36, 4), 9);
}

TEST_F(Output, TwoSidedStencilGivesCounterClockwiseTrianglesTheirOwnStates) {
    Clear(0xFF000000, 1.0f, 5);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    device_->SetRenderState(D3DRS_TWOSIDEDSTENCILMODE, TRUE);
    device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    device_->SetRenderState(D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS);
    device_->SetRenderState(D3DRS_CCW_STENCILPASS, D3DSTENCILOP_DECR);
    TLVertex cw[3] = {{0, 0, 0, 1, 0xFFFFFFFF}, {30, 0, 0, 1, 0xFFFFFFFF}, {0, 30, 0, 1, 0xFFFFFFFF}};
    TLVertex ccw[3] = {{34, 0, 0, 1, 0xFFFFFFFF}, {34, 30, 0, 1, 0xFFFFFFFF}, {64, 0, 0, 1, 0xFFFFFFFF}};
    Begin();
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(TLVertex));
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(TLVertex));
    End();
    EXPECT_EQ(StencilAt(4, 4), 6);
    EXPECT_EQ(StencilAt(38, 4), 4);
    // Off again: both windings use the clockwise states.
    Clear(0xFF000000, 1.0f, 5);
    device_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    Begin();
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(TLVertex));
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(TLVertex));
    End();
    EXPECT_EQ(StencilAt(4, 4), 6);
    EXPECT_EQ(StencilAt(38, 4), 6);
}

// Shadow volumes: a box in camera space (identity transforms) extending from in front of the
// ground to behind it; a pillar nearer than the box covers the left part of the screen.
struct P3 {
    float x, y, z;
};

// The twelve triangles of a box, each wound clockwise seen from outside (D3D's front faces).
std::vector<P3> BoxTriangles(P3 lo, P3 hi) {
    std::vector<P3> out;
    auto face = [&](P3 a, P3 b, P3 c, P3 d, P3 outward) {
        // Clockwise from outside means (b - a) x (c - a) points outward in a left-handed space.
        auto cross = [](P3 u, P3 v) { return P3{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x}; };
        P3 n = cross(P3{b.x - a.x, b.y - a.y, b.z - a.z}, P3{c.x - a.x, c.y - a.y, c.z - a.z});
        if (n.x * outward.x + n.y * outward.y + n.z * outward.z < 0) std::swap(b, c);
        out.insert(out.end(), {a, b, c});
        // The second triangle of the quad a b d c, with the same orientation.
        P3 m = cross(P3{d.x - b.x, d.y - b.y, d.z - b.z}, P3{c.x - b.x, c.y - b.y, c.z - b.z});
        if (m.x * outward.x + m.y * outward.y + m.z * outward.z < 0) out.insert(out.end(), {b, c, d});
        else out.insert(out.end(), {b, d, c});
    };
    P3 v[8];
    for (int i = 0; i < 8; ++i) v[i] = {i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z};
    face(v[0], v[1], v[2], v[3], {0, 0, -1});  // near
    face(v[4], v[5], v[6], v[7], {0, 0, 1});   // far
    face(v[0], v[1], v[4], v[5], {0, -1, 0});  // bottom
    face(v[2], v[3], v[6], v[7], {0, 1, 0});   // top
    face(v[0], v[2], v[4], v[6], {-1, 0, 0});  // left
    face(v[1], v[3], v[5], v[7], {1, 0, 0});   // right
    return out;
}

class Shadow : public Output {
protected:
    void DrawScene() {
        device_->SetRenderState(D3DRS_LIGHTING, FALSE);
        Begin();
        DrawScreen(0xFFC0C0C0, 0.8f);          // the ground
        DrawRect(0, 0, 24, 64, 0xFF806040, 0.2f);  // the pillar, in front of the volume
        End();
    }
    void DrawVolume(bool twoSided) {
        std::vector<P3> box = BoxTriangles({-0.5f, -0.5f, 0.4f}, {0.5f, 0.5f, 0.95f});
        device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        device_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
        device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
        device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        device_->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
        device_->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
        device_->SetRenderState(D3DRS_STENCILREF, 1);
        device_->SetRenderState(D3DRS_STENCILMASK, 0xFFFFFFFF);
        device_->SetRenderState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
        device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
        device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        Begin();
        device_->SetFVF(D3DFVF_XYZ);
        if (twoSided) {
            device_->SetRenderState(D3DRS_TWOSIDEDSTENCILMODE, TRUE);
            device_->SetRenderState(D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS);
            device_->SetRenderState(D3DRS_CCW_STENCILZFAIL, D3DSTENCILOP_KEEP);
            device_->SetRenderState(D3DRS_CCW_STENCILFAIL, D3DSTENCILOP_KEEP);
            device_->SetRenderState(D3DRS_CCW_STENCILPASS, D3DSTENCILOP_DECR);
            device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
            device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(box.size() / 3), box.data(), sizeof(P3));
            device_->SetRenderState(D3DRS_TWOSIDEDSTENCILMODE, FALSE);
        } else {
            // Front faces count up, back faces down.
            device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
            device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(box.size() / 3), box.data(), sizeof(P3));
            device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
            device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
            device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(box.size() / 3), box.data(), sizeof(P3));
        }
        End();
        device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        device_->SetRenderState(D3DRS_STENCILENABLE, FALSE);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    }
    // The full-screen darkening quad where the stencil passes `func` against `ref`.
    void Darken(DWORD func, DWORD ref) {
        device_->SetRenderState(D3DRS_ZENABLE, FALSE);
        device_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device_->SetRenderState(D3DRS_STENCILREF, ref);
        device_->SetRenderState(D3DRS_STENCILFUNC, func);
        device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        // The shadow quad as the game lays it out: (0,H) (0,0) (W,H) (W,0) as a strip.
        TLVertex q[4] = {{0, 64, 0, 1, 0x7F000000}, {0, 0, 0, 1, 0x7F000000}, {64, 64, 0, 1, 0x7F000000},
                         {64, 0, 0, 1, 0x7F000000}};
        IDirect3DVertexBuffer9* vb = nullptr;
        ASSERT_EQ(device_->CreateVertexBuffer(sizeof q, D3DUSAGE_WRITEONLY, D3DFVF_XYZRHW | D3DFVF_DIFFUSE,
                                              D3DPOOL_MANAGED, &vb, nullptr),
                  D3D_OK);
        void* data = nullptr;
        vb->Lock(0, 0, &data, 0);
        std::memcpy(data, q, sizeof q);
        vb->Unlock();
        Begin();
        device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        device_->SetStreamSource(0, vb, 0, sizeof(TLVertex));
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        End();
        device_->SetStreamSource(0, nullptr, 0, 0);
        vb->Release();
        device_->SetRenderState(D3DRS_ZENABLE, TRUE);
        device_->SetRenderState(D3DRS_STENCILENABLE, FALSE);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    }
    // Each pixel: darkened exactly where the box covers the screen and the pillar does not.
    void ExpectShadow() {
        double keep = 1 - 0x7F / 255.0;
        DWORD ground = Pack(0xC0 / 255.0 * keep, 0xC0 / 255.0 * keep, 0xC0 / 255.0 * keep);
        auto px = Pixels();
        int wrong = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                DWORD p = px[size_t(y) * kSize + x];
                bool pillar = x < 24;
                // The box spans -0.5..0.5: pixels 16..47 in both directions.
                bool inside = x >= 16 && x < 48 && y >= 16 && y < 48;
                DWORD expected = pillar ? 0xFF806040u : inside ? ground : 0xFFC0C0C0u;
                if (!ColorNear(p, expected, 1)) ++wrong;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_TRUE(ColorNear(px[size_t(30) * kSize + 30], ground, 1));
        EXPECT_EQ(px[size_t(30) * kSize + 10], 0xFF806040u);
        EXPECT_EQ(px[size_t(5) * kSize + 30], 0xFFC0C0C0u);
    }
};

TEST_F(Shadow, TwoPassVolumeDarkensExactlyThePixelsBehindIt) {
    Clear(0xFF000000);
    DrawScene();
    DrawVolume(false);
    EXPECT_EQ(StencilAt(30, 30), 1);
    EXPECT_EQ(StencilAt(10, 30), 0);  // both faces behind the pillar: up and down
    EXPECT_EQ(StencilAt(30, 5), 0);
    Clear(0xFF000000);
    DrawScene();
    DrawVolume(false);
    Darken(D3DCMP_LESSEQUAL, 1);
    ExpectShadow();
}

TEST_F(Shadow, OnePassTwoSidedVolumeDoesTheSame) {
    Clear(0xFF000000);
    DrawScene();
    DrawVolume(true);
    Darken(D3DCMP_NOTEQUAL, 0);
    ExpectShadow();
}

TEST_F(Shadow, VolumesWhollyInFrontOfTheSceneCountUpAndDownToZero) {
    Clear(0xFF000000);
    DrawScene();
    std::vector<P3> box = BoxTriangles({-0.5f, -0.5f, 0.3f}, {0.5f, 0.5f, 0.6f});
    device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device_->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    Begin();
    device_->SetFVF(D3DFVF_XYZ);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(box.size() / 3), box.data(), sizeof(P3));
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(box.size() / 3), box.data(), sizeof(P3));
    End();
    device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0x0F);
    // COLORWRITEENABLE 0 kept the scene's colours.
    EXPECT_EQ(Pixel(40, 30), 0xFFC0C0C0u);
    EXPECT_EQ(StencilAt(40, 30), 0);
}

TEST_F(Output, ColourWriteMaskKeepsTheMaskedChannels) {
    ResetTo(D3DFMT_A8R8G8B8);
    device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0x1 | 0x4 | 0x8);  // red, blue, alpha
    Clear(0x11223344);
    Begin();
    DrawScreen(0xAABBCCDD);
    End();
    EXPECT_EQ(Pixel(32, 32), 0xAABB33DDu);
}

}  // namespace
}  // namespace drawtest
