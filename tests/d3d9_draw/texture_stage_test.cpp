// The texture stage cascade: operations and arguments against their equations, the documented
// rule for a missing texture, several stages, sampling (filters, address modes, coordinate sets,
// transforms, mip levels) and the specular sum.
#include "draw_fixture.h"

#include <algorithm>
#include <functional>

namespace drawtest {
namespace {

struct TLSpec {
    float x, y, z, rhw;
    DWORD diffuse, specular;
};

struct TLTex {
    float x, y, z, rhw;
    DWORD diffuse;
    float u, v;
};

double Ch(DWORD c, int i) { return Channel(c, i) / 255.0; }  // 0 blue, 1 green, 2 red, 3 alpha

class Stages : public DrawTest {
protected:
    // A full-screen quad whose vertices carry a diffuse and a specular colour.
    void DrawColoured(DWORD diffuse, DWORD specular) {
        TLSpec q[4] = {{0, 0, 0, 1, diffuse, specular}, {64, 0, 0, 1, diffuse, specular},
                       {0, 64, 0, 1, diffuse, specular}, {64, 64, 0, 1, diffuse, specular}};
        device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(TLSpec)), D3D_OK);
    }
    // A quad from (x0,y0) to (x1,y1) in pixels with texture coordinates (u0,v0) to (u1,v1).
    void DrawTextured(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1,
                      DWORD diffuse = 0xFFFFFFFF) {
        TLTex q[4] = {{x0, y0, 0, 1, diffuse, u0, v0}, {x1, y0, 0, 1, diffuse, u1, v0},
                      {x0, y1, 0, 1, diffuse, u0, v1}, {x1, y1, 0, 1, diffuse, u1, v1}};
        device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(TLTex)), D3D_OK);
    }
    // A managed texture filled from a function of the texel.
    IDirect3DTexture9* MakeTexture(UINT w, UINT h, D3DFORMAT format, const std::function<DWORD(UINT, UINT)>& texel,
                                   UINT levels = 1) {
        IDirect3DTexture9* tex = nullptr;
        EXPECT_EQ(device_->CreateTexture(w, h, levels, 0, format, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
        if (!tex) return nullptr;
        D3DLOCKED_RECT lr;
        EXPECT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x) reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = texel(x, y);
        tex->UnlockRect(0);
        return tex;
    }
    void Stage(DWORD stage, DWORD op, DWORD arg1, DWORD arg2, DWORD aop, DWORD aarg1, DWORD aarg2) {
        device_->SetTextureStageState(stage, D3DTSS_COLOROP, op);
        device_->SetTextureStageState(stage, D3DTSS_COLORARG1, arg1);
        device_->SetTextureStageState(stage, D3DTSS_COLORARG2, arg2);
        device_->SetTextureStageState(stage, D3DTSS_ALPHAOP, aop);
        device_->SetTextureStageState(stage, D3DTSS_ALPHAARG1, aarg1);
        device_->SetTextureStageState(stage, D3DTSS_ALPHAARG2, aarg2);
    }
};

TEST_F(Stages, ATexturedQuadIsModulatedByTheLitColour) {
    const DWORD texels[4] = {0xFFFF8000, 0xFF20C040, 0xFF4060FF, 0xFFFFFFFF};
    IDirect3DTexture9* tex = MakeTexture(2, 2, D3DFMT_X8R8G8B8, [&](UINT x, UINT y) { return texels[y * 2 + x] & 0x00FFFFFF; });
    D3DLIGHT9 sun = {};
    sun.Type = D3DLIGHT_DIRECTIONAL;
    sun.Diffuse = D3DCOLORVALUE{0.8f, 0.6f, 0.4f, 1};
    sun.Direction = D3DVECTOR{0, 0, 1};
    device_->SetLight(0, &sun);
    device_->LightEnable(0, TRUE);
    D3DMATERIAL9 m = {};
    m.Diffuse = D3DCOLORVALUE{1, 1, 1, 1};
    m.Ambient = D3DCOLORVALUE{1, 1, 1, 1};
    device_->SetMaterial(&m);
    device_->SetRenderState(D3DRS_AMBIENT, 0xFF101010);
    struct V {
        float x, y, z, nx, ny, nz, u, v;
    } q[4] = {{-1, 1, 0.5f, 0, 0, -1, 0, 0}, {1, 1, 0.5f, 0, 0, -1, 1, 0}, {-1, -1, 0.5f, 0, 0, -1, 0, 1}, {1, -1, 0.5f, 0, 0, -1, 1, 1}};
    Clear(0xFF000000);
    Begin();
    device_->SetTexture(0, tex);
    device_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V)), D3D_OK);
    End();
    const double lit[3] = {0.8 + 16 / 255.0, 0.6 + 16 / 255.0, 0.4 + 16 / 255.0};  // r, g, b
    for (int i = 0; i < 4; ++i) {
        int px = (i % 2) * 32 + 16, py = (i / 2) * 32 + 16;
        DWORD t = texels[i];
        // X8R8G8B8: the texture's alpha reads 1.
        EXPECT_TRUE(ColorNear(Pixel(px, py), Pack(Ch(t, 2) * lit[0], Ch(t, 1) * lit[1], Ch(t, 0) * lit[2])))
            << "quadrant " << i;
    }
    device_->SetTexture(0, nullptr);
    tex->Release();
}

TEST_F(Stages, AStageReadingAMissingTextureEndsTheCascade) {
    // Stage 0 as a new device has it: MODULATE(TEXTURE, CURRENT), alpha SELECTARG1(TEXTURE).
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    const DWORD diffuse = 0x40C08020;
    Clear(0xFF0000FF);
    Begin();
    DrawColoured(diffuse, 0);
    End();
    // The untextured quad shows its diffuse colour and alpha (0x40) over the blue.
    double a = 0x40 / 255.0;
    DWORD expected = Pack(Ch(diffuse, 2) * a, Ch(diffuse, 1) * a, Ch(diffuse, 0) * a + (1 - a));
    EXPECT_TRUE(ColorNear(Pixel(32, 32), expected));

    // A second stage whose first argument is the missing texture is skipped with all after it.
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF202020);
    Stage(0, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE);
    Stage(1, D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_CURRENT);
    Stage(2, D3DTOP_ADD, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG2, D3DTA_DIFFUSE, D3DTA_CURRENT);
    Clear(0xFF000000);
    Begin();
    DrawColoured(diffuse, 0);
    End();
    EXPECT_EQ(Pixel(32, 32), 0xFF202020u);
    // Without stage 1 in the way, stage 2 adds the diffuse colour.
    Stage(1, D3DTOP_SELECTARG2, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG2, D3DTA_DIFFUSE, D3DTA_CURRENT);
    Clear(0xFF000000);
    Begin();
    DrawColoured(diffuse, 0);
    End();
    EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(Ch(diffuse, 2) + 0x20 / 255.0, Ch(diffuse, 1) + 0x20 / 255.0,
                                              Ch(diffuse, 0) + 0x20 / 255.0)));
}

TEST_F(Stages, ColourOperationsFollowTheirEquations) {
    // Arg1 = TFACTOR, Arg2 = DIFFUSE, Arg0 = SPECULAR; results saturate to 0..1.
    const DWORD a1 = 0x99C06030, a2 = 0x55A04080, a0 = 0xCC2080F0;
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, a1);
    device_->SetTextureStageState(0, D3DTSS_COLORARG0, D3DTA_SPECULAR);
    using Fn = std::function<double(double, double, double, int)>;  // x1, x2, x0, channel
    auto alpha = [](DWORD c) { return Ch(c, 3); };
    struct Case {
        DWORD op;
        Fn f;
    } cases[] = {
        {D3DTOP_SELECTARG1, [](double x, double, double, int) { return x; }},
        {D3DTOP_SELECTARG2, [](double, double y, double, int) { return y; }},
        {D3DTOP_MODULATE, [](double x, double y, double, int) { return x * y; }},
        {D3DTOP_MODULATE2X, [](double x, double y, double, int) { return 2 * x * y; }},
        {D3DTOP_MODULATE4X, [](double x, double y, double, int) { return 4 * x * y; }},
        {D3DTOP_ADD, [](double x, double y, double, int) { return x + y; }},
        {D3DTOP_ADDSIGNED, [](double x, double y, double, int) { return x + y - 0.5; }},
        {D3DTOP_ADDSIGNED2X, [](double x, double y, double, int) { return 2 * (x + y - 0.5); }},
        {D3DTOP_SUBTRACT, [](double x, double y, double, int) { return x - y; }},
        {D3DTOP_ADDSMOOTH, [](double x, double y, double, int) { return x + y - x * y; }},
        {D3DTOP_BLENDDIFFUSEALPHA, [&](double x, double y, double, int) { return x * alpha(a2) + y * (1 - alpha(a2)); }},
        {D3DTOP_BLENDFACTORALPHA, [&](double x, double y, double, int) { return x * alpha(a1) + y * (1 - alpha(a1)); }},
        // CURRENT at stage 0 is the diffuse colour.
        {D3DTOP_BLENDCURRENTALPHA, [&](double x, double y, double, int) { return x * alpha(a2) + y * (1 - alpha(a2)); }},
        {D3DTOP_MODULATEALPHA_ADDCOLOR, [&](double x, double y, double, int) { return x + alpha(a1) * y; }},
        {D3DTOP_MODULATECOLOR_ADDALPHA, [&](double x, double y, double, int) { return x * y + alpha(a1); }},
        {D3DTOP_MODULATEINVALPHA_ADDCOLOR, [&](double x, double y, double, int) { return (1 - alpha(a1)) * y + x; }},
        {D3DTOP_MODULATEINVCOLOR_ADDALPHA, [&](double x, double y, double, int) { return (1 - x) * y + alpha(a1); }},
        {D3DTOP_DOTPRODUCT3, [&](double, double, double, int) {
             double d = 0;
             for (int c = 0; c < 3; ++c) d += (2 * Ch(a1, c) - 1) * (2 * Ch(a2, c) - 1);
             return d;
         }},
        {D3DTOP_MULTIPLYADD, [](double x, double y, double z, int) { return x + y * z; }},
        {D3DTOP_LERP, [](double x, double y, double z, int) { return x * y + (1 - x) * z; }},
    };
    for (const Case& c : cases) {
        Stage(0, c.op, D3DTA_TFACTOR, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE);
        Clear(0xFF000000);
        Begin();
        DrawColoured(a2, a0);
        End();
        double rgb[3];
        for (int ch = 0; ch < 3; ++ch) rgb[ch] = c.f(Ch(a1, 2 - ch), Ch(a2, 2 - ch), Ch(a0, 2 - ch), ch);
        EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(rgb[0], rgb[1], rgb[2]))) << "op " << c.op;
    }
}

TEST_F(Stages, AlphaOperationsAndArgumentModifiers) {
    ResetTo(D3DFMT_A8R8G8B8);  // a back buffer that keeps alpha
    const DWORD a1 = 0x99C06030, a2 = 0x55A04080;
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, a1);
    struct Case {
        DWORD op, arg1, arg2;
        double alpha;
    } cases[] = {
        {D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE, Ch(a1, 3)},
        {D3DTOP_SELECTARG2, D3DTA_TFACTOR, D3DTA_DIFFUSE, Ch(a2, 3)},
        {D3DTOP_MODULATE, D3DTA_TFACTOR, D3DTA_DIFFUSE, Ch(a1, 3) * Ch(a2, 3)},
        {D3DTOP_ADD, D3DTA_TFACTOR, D3DTA_DIFFUSE, Ch(a1, 3) + Ch(a2, 3)},
        {D3DTOP_SUBTRACT, D3DTA_TFACTOR, D3DTA_DIFFUSE, Ch(a1, 3) - Ch(a2, 3)},
        {D3DTOP_SUBTRACT, D3DTA_DIFFUSE, D3DTA_TFACTOR, 0.0},  // saturates at 0
        {D3DTOP_SELECTARG1, D3DTA_TFACTOR | D3DTA_COMPLEMENT, D3DTA_DIFFUSE, 1 - Ch(a1, 3)},
    };
    for (const Case& c : cases) {
        Stage(0, D3DTOP_SELECTARG2, D3DTA_TFACTOR, D3DTA_DIFFUSE, c.op, c.arg1, c.arg2);
        Clear(0x00000000);
        Begin();
        DrawColoured(a2, 0);
        End();
        EXPECT_NEAR(Channel(Pixel(32, 32), 3), c.alpha * 255, 2) << "alpha op " << c.op;
        EXPECT_TRUE(ColorNear(Pixel(32, 32) | 0xFF000000u, a2 | 0xFF000000u));
    }
    // Colour arguments: the complement, the alpha replicated, and both.
    struct Mod {
        DWORD modifier;
        std::function<double(int)> f;
    } mods[] = {{D3DTA_COMPLEMENT, [&](int ch) { return 1 - Ch(a1, ch); }},
                {D3DTA_ALPHAREPLICATE, [&](int) { return Ch(a1, 3); }},
                {D3DTA_ALPHAREPLICATE | D3DTA_COMPLEMENT, [&](int) { return 1 - Ch(a1, 3); }}};
    for (const Mod& m : mods) {
        Stage(0, D3DTOP_SELECTARG1, D3DTA_TFACTOR | m.modifier, D3DTA_DIFFUSE, D3DTOP_SELECTARG2, D3DTA_TFACTOR,
              D3DTA_DIFFUSE);
        Clear(0x00000000);
        Begin();
        DrawColoured(a2, 0);
        End();
        EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(m.f(2), m.f(1), m.f(0), Ch(a2, 3)))) << "modifier " << m.modifier;
    }
}

TEST_F(Stages, StagesChainThroughCurrentAndTemp) {
    IDirect3DTexture9* tex = MakeTexture(1, 1, D3DFMT_A8R8G8B8, [](UINT, UINT) { return 0xFF808040u; });
    device_->SetTexture(0, tex);
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF102030);
    const DWORD diffuse = 0xFFC0C0C0;
    // Stage 0: texture x diffuse; stage 1: + factor.
    Stage(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    Stage(1, D3DTOP_ADD, D3DTA_TFACTOR, D3DTA_CURRENT, D3DTOP_SELECTARG2, D3DTA_TFACTOR, D3DTA_CURRENT);
    Clear(0xFF000000);
    Begin();
    DrawTextured(0, 0, 64, 64, 0, 0, 1, 1, diffuse);
    End();
    double d = 0xC0 / 255.0, t[3] = {0x80 / 255.0, 0x80 / 255.0, 0x40 / 255.0}, f[3] = {0x10 / 255.0, 0x20 / 255.0, 0x30 / 255.0};
    EXPECT_TRUE(ColorNear(Pixel(20, 20), Pack(t[0] * d + f[0], t[1] * d + f[1], t[2] * d + f[2])));
    // Stage 0 writes TEMP instead: CURRENT stays the diffuse colour; stage 1 multiplies the two.
    device_->SetTextureStageState(0, D3DTSS_RESULTARG, D3DTA_TEMP);
    Stage(1, D3DTOP_MODULATE, D3DTA_TEMP, D3DTA_CURRENT, D3DTOP_SELECTARG2, D3DTA_TEMP, D3DTA_CURRENT);
    Clear(0xFF000000);
    Begin();
    DrawTextured(0, 0, 64, 64, 0, 0, 1, 1, diffuse);
    End();
    EXPECT_TRUE(ColorNear(Pixel(20, 20), Pack(t[0] * d * d, t[1] * d * d, t[2] * d * d)));
    device_->SetTexture(0, nullptr);
    tex->Release();
}

TEST_F(Stages, TextureFormatsFillMissingChannels) {
    // An A8 texture's colour reads 0; L8 is grey with alpha 1.
    ResetTo(D3DFMT_A8R8G8B8);
    Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    for (D3DFORMAT format : {D3DFMT_A8, D3DFMT_L8}) {
        IDirect3DTexture9* tex = nullptr;
        ASSERT_EQ(device_->CreateTexture(1, 1, 1, 0, format, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
        D3DLOCKED_RECT lr;
        tex->LockRect(0, &lr, nullptr, 0);
        *static_cast<BYTE*>(lr.pBits) = 0x6A;
        tex->UnlockRect(0);
        device_->SetTexture(0, tex);
        Clear(0x00FFFFFF);
        Begin();
        DrawTextured(0, 0, 64, 64, 0, 0, 1, 1);
        End();
        EXPECT_EQ(Pixel(32, 32), format == D3DFMT_A8 ? 0x6A000000u : 0xFF6A6A6Au);
        device_->SetTexture(0, nullptr);
        tex->Release();
    }
}

TEST_F(Stages, FiltersAndAddressModes) {
    // Two texels across: black and white.
    IDirect3DTexture9* tex = MakeTexture(2, 1, D3DFMT_X8R8G8B8, [](UINT x, UINT) { return x ? 0xFFFFFFu : 0u; });
    device_->SetTexture(0, tex);
    Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    // One pixel at u = 0.5, midway between the texel centres 0.25 and 0.75.
    auto sample = [&](float u) {
        Clear(0xFF0000FF);
        Begin();
        DrawTextured(9.5f, 9.5f, 10.5f, 10.5f, u, 0.5f, u, 0.5f);
        End();
        return Pixel(10, 10);
    };
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    EXPECT_TRUE(ColorNear(sample(0.5f), Pack(0.5, 0.5, 0.5), 2));
    // u = 0.375 lies a quarter of the way from the black texel's centre to the white one's.
    EXPECT_TRUE(ColorNear(sample(0.375f), Pack(0.25, 0.25, 0.25), 2));
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    EXPECT_EQ(sample(0.375f), 0xFF000000u);
    EXPECT_EQ(sample(0.625f), 0xFFFFFFFFu);
    // Beyond 1: wrap repeats (1.25 is texel 0), clamp holds the edge, mirror reflects.
    EXPECT_EQ(sample(1.25f), 0xFF000000u);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    EXPECT_EQ(sample(1.25f), 0xFFFFFFFFu);
    EXPECT_EQ(sample(-0.75f), 0xFF000000u);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    EXPECT_EQ(sample(1.25f), 0xFFFFFFFFu);
    EXPECT_EQ(sample(1.75f), 0xFF000000u);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER);
    device_->SetSamplerState(0, D3DSAMP_BORDERCOLOR, 0xFF00FF00);
    EXPECT_EQ(sample(1.5f), 0xFF00FF00u);
    device_->SetTexture(0, nullptr);
    tex->Release();
}

TEST_F(Stages, MipFilterChoosesTheLevel) {
    // Level 0 red (8 x 8), level 1 green (4 x 4); the quad shows the texture at half size.
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 8, 2, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    for (UINT level = 0; level < 2; ++level) {
        D3DLOCKED_RECT lr;
        ASSERT_EQ(tex->LockRect(level, &lr, nullptr, 0), D3D_OK);
        UINT n = 8 >> level;
        for (UINT y = 0; y < n; ++y)
            for (UINT x = 0; x < n; ++x)
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = level ? 0x00FF00u : 0xFF0000u;
        tex->UnlockRect(level);
    }
    device_->SetTexture(0, tex);
    Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    for (DWORD mip : {DWORD(D3DTEXF_NONE), DWORD(D3DTEXF_POINT)}) {
        device_->SetSamplerState(0, D3DSAMP_MIPFILTER, mip);
        Clear(0xFF000000);
        Begin();
        DrawTextured(-0.5f, -0.5f, 3.5f, 3.5f, 0, 0, 1, 1);
        End();
        EXPECT_EQ(Pixel(1, 1), mip == D3DTEXF_NONE ? 0xFFFF0000u : 0xFF00FF00u) << "mip filter " << mip;
    }
    device_->SetTexture(0, nullptr);
    tex->Release();
}

TEST_F(Stages, CoordinateSetsAndTextureTransforms) {
    // A 4 x 1 texture of four colours; point sampling.
    const DWORD colours[4] = {0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFF00u};
    IDirect3DTexture9* tex = MakeTexture(4, 1, D3DFMT_X8R8G8B8, [&](UINT x, UINT) { return colours[x]; });
    device_->SetTexture(0, tex);
    Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    struct V {
        float x, y, z, rhw, u0, v0, u1, v1;
    };
    auto draw = [&](float u0, float u1) {
        V q[4] = {{0, 0, 0, 1, u0, 0.5f, u1, 0.5f}, {64, 0, 0, 1, u0, 0.5f, u1, 0.5f},
                  {0, 64, 0, 1, u0, 0.5f, u1, 0.5f}, {64, 64, 0, 1, u0, 0.5f, u1, 0.5f}};
        Clear(0xFF000000);
        Begin();
        device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX2);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V)), D3D_OK);
        End();
    };
    draw(0.125f, 0.625f);
    EXPECT_EQ(Pixel(5, 5), 0xFF000000u | colours[0]);
    device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
    draw(0.125f, 0.625f);
    EXPECT_EQ(Pixel(5, 5), 0xFF000000u | colours[2]);
    // A missing coordinate set reads (0, 0).
    device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 5);
    draw(0.625f, 0.625f);
    EXPECT_EQ(Pixel(5, 5), 0xFF000000u | colours[0]);
    device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);

    // Transforms apply to transformed vertices: two-component coordinates take their
    // translation from the third row.
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DMATRIX m = {};
    m._11 = m._22 = m._33 = m._44 = 1;
    m._31 = 0.25f;  // one texel to the right
    device_->SetTransform(D3DTS_TEXTURE0, &m);
    device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    struct W {
        float x, y, z, u, v;
    } q[4] = {{-1, 1, 0.5f, 0.125f, 0.5f}, {1, 1, 0.5f, 0.125f, 0.5f}, {-1, -1, 0.5f, 0.125f, 0.5f}, {1, -1, 0.5f, 0.125f, 0.5f}};
    Clear(0xFF000000);
    Begin();
    device_->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(W)), D3D_OK);
    End();
    EXPECT_EQ(Pixel(5, 5), 0xFF000000u | colours[1]);
    device_->SetTexture(0, nullptr);
    tex->Release();
}

TEST_F(Stages, SpecularIsAddedAfterTheCascade) {
    IDirect3DTexture9* tex = MakeTexture(1, 1, D3DFMT_X8R8G8B8, [](UINT, UINT) { return 0x808080u; });
    device_->SetTexture(0, tex);
    struct V {
        float x, y, z, rhw;
        DWORD diffuse, specular;
        float u, v;
    };
    const DWORD diffuse = 0xFFC08040, specular = 0xFF204060;
    V q[4] = {{0, 0, 0, 1, diffuse, specular, 0, 0}, {64, 0, 0, 1, diffuse, specular, 1, 0},
              {0, 64, 0, 1, diffuse, specular, 0, 1}, {64, 64, 0, 1, diffuse, specular, 1, 1}};
    for (BOOL on : {FALSE, TRUE}) {
        device_->SetRenderState(D3DRS_SPECULARENABLE, on);
        Clear(0xFF000000);
        Begin();
        device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V)), D3D_OK);
        End();
        double t = 0x80 / 255.0;
        double s[3] = {on ? 0x20 / 255.0 : 0, on ? 0x40 / 255.0 : 0, on ? 0x60 / 255.0 : 0};
        EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(t * Ch(diffuse, 2) + s[0], t * Ch(diffuse, 1) + s[1],
                                                  t * Ch(diffuse, 0) + s[2])))
            << "specular " << on;
    }
    device_->SetTexture(0, nullptr);
    tex->Release();
}

TEST_F(Stages, OnlyDeviceTexturesOfUsablePoolsCanBeSet) {
    IDirect3DTexture9* scratch = nullptr;
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &scratch, nullptr), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, scratch), D3DERR_INVALIDCALL);
    IDirect3DBaseTexture9* current = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    device_->GetTexture(0, &current);
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(device_->SetTexture(8, nullptr), D3DERR_INVALIDCALL);
    scratch->Release();
}

}  // namespace
}  // namespace drawtest
