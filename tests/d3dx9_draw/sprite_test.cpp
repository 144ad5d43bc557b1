// ID3DXSprite: placement on pixels, transforms, colour, blending, the state Begin sets and End
// restores, depth against later 3D drawing, batching and reference counts.
#include "d3dx_fixture.h"

#include <cstring>

namespace {

using namespace d3dxtest;

const uint32_t kBlack = Argb(255, 0, 0, 0), kRed = Argb(255, 255, 0, 0), kGreen = Argb(255, 0, 255, 0),
               kBlue = Argb(255, 0, 0, 255), kWhite = Argb(255, 255, 255, 255);

uint32_t Texel(int x, int y) { return Argb(255, uint32_t(30 * x + 10), uint32_t(30 * y + 10), 200); }

uint32_t Quadrants(int x, int y, int w, int h) {
    const uint32_t colors[4] = {kRed, kGreen, kBlue, kWhite};
    return colors[(x >= w / 2 ? 1 : 0) + (y >= h / 2 ? 2 : 0)];
}

D3DXMATRIX Scaling(float x, float y) {
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, x, y, 1.0f);
    return m;
}

class SpriteTest : public D3DXTest {
protected:
    void SetUp() override {
        D3DXTest::SetUp();
        ASSERT_EQ(D3DXCreateSprite(device_, &sprite_), D3D_OK);
        ASSERT_NE(sprite_, nullptr);
    }
    void TearDown() override {
        if (sprite_) {
            EXPECT_EQ(sprite_->Release(), 0u);
        }
        D3DXTest::TearDown();
    }
    // One sprite in a scene of its own.
    void DrawOne(IDirect3DTexture9* texture, const RECT* src, const D3DXVECTOR3* center, const D3DXVECTOR3* position,
                 D3DCOLOR color = 0xFFFFFFFF, DWORD flags = D3DXSPRITE_ALPHABLEND) {
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(sprite_->Begin(flags), D3D_OK);
        ASSERT_EQ(sprite_->Draw(texture, src, center, position, color), D3D_OK);
        ASSERT_EQ(sprite_->End(), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
    }
    // Every pixel outside [x0, x1) x [y0, y1) still shows the background.
    void ExpectBackgroundOutside(const std::vector<uint32_t>& pixels, int x0, int y0, int x1, int y1, uint32_t bg) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (x < x0 || x >= x1 || y < y0 || y >= y1) {
                    ASSERT_EQ(pixels[size_t(y * kWidth + x)] | 0xFF000000u, bg) << "at " << x << "," << y;
                }
    }

    ID3DXSprite* sprite_ = nullptr;
};

TEST_F(SpriteTest, OneToOneAtAnIntegerPositionMapsEachTexelToOnePixel) {
    IDirect3DTexture9* texture = MakeTexture(8, 8, Texel);
    Clear(kBlack);
    const D3DXVECTOR3 at(10, 20, 0);
    DrawOne(texture, nullptr, nullptr, &at);
    std::vector<uint32_t> pixels = BackBuffer();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_TRUE(ColorNear(pixels[size_t((20 + y) * kWidth + 10 + x)], Texel(x, y), 1, false)) << x << "," << y;
    ExpectBackgroundOutside(pixels, 10, 20, 18, 28, kBlack);
    texture->Release();
}

TEST_F(SpriteTest, ObjectSpaceDrawsThroughTheDeviceTransforms) {
    // An orthographic projection that puts world (x, y) at screen position (x - 0.5, y - 0.5),
    // and a world transform moving everything 5 pixels right: the sprite lands as a screen-space
    // one at (15, 20) would.
    IDirect3DTexture9* texture = MakeTexture(8, 8, Texel);
    D3DXMATRIX projection, world, identity;
    D3DXMatrixOrthoOffCenterLH(&projection, 0.5f, kWidth + 0.5f, kHeight + 0.5f, 0.5f, 0.0f, 1.0f);
    D3DXMatrixTranslation(&world, 5, 0, 0);
    D3DXMatrixIdentity(&identity);
    device_->SetTransform(D3DTS_PROJECTION, &projection);
    device_->SetTransform(D3DTS_VIEW, &identity);
    device_->SetTransform(D3DTS_WORLD, &world);
    Clear(kBlack);
    const D3DXVECTOR3 at(10, 20, 0);
    DrawOne(texture, nullptr, nullptr, &at, 0xFFFFFFFF, D3DXSPRITE_ALPHABLEND | D3DXSPRITE_OBJECTSPACE);
    std::vector<uint32_t> pixels = BackBuffer();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_TRUE(ColorNear(pixels[size_t((20 + y) * kWidth + 15 + x)], Texel(x, y), 1, false)) << x << "," << y;
    ExpectBackgroundOutside(pixels, 15, 20, 23, 28, kBlack);
    texture->Release();
}

TEST_F(SpriteTest, SourceRectangleCentreAndPosition) {
    IDirect3DTexture9* texture = MakeTexture(8, 8, Texel);
    Clear(kBlack);
    // The 4x4 block from texel (2, 1), its own point (1, 2) put at (40, 30): top-left at (39, 28).
    const RECT src{2, 1, 6, 5};
    const D3DXVECTOR3 center(1, 2, 0), at(40, 30, 0);
    DrawOne(texture, &src, &center, &at);
    std::vector<uint32_t> pixels = BackBuffer();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_TRUE(ColorNear(pixels[size_t((28 + y) * kWidth + 39 + x)], Texel(2 + x, 1 + y), 1, false));
    ExpectBackgroundOutside(pixels, 39, 28, 43, 32, kBlack);
    // No position and no centre: the top-left corner at the origin.
    Clear(kBlack);
    DrawOne(texture, nullptr, nullptr, nullptr);
    pixels = BackBuffer();
    EXPECT_TRUE(ColorNear(pixels[0], Texel(0, 0), 1, false));
    ExpectBackgroundOutside(pixels, 0, 0, 8, 8, kBlack);
    texture->Release();
}

TEST_F(SpriteTest, TheTransformMultipliesPositionAndLocalCorners) {
    // 4x4 texels in 2x2 blocks, scaled by 2 and moved by (3, 4): (local + (5, 6)) * 2 + (3, 4),
    // so the sprite covers x 13..20 and y 16..23.
    IDirect3DTexture9* texture = MakeTexture(4, 4, [](int x, int y) { return Quadrants(x, y, 4, 4); });
    D3DXMATRIX scale = Scaling(2, 2), move, m;
    D3DXMatrixTranslation(&move, 3, 4, 0);
    D3DXMatrixMultiply(&m, &scale, &move);
    ASSERT_EQ(sprite_->SetTransform(&m), D3D_OK);
    D3DXMATRIX back;
    ASSERT_EQ(sprite_->GetTransform(&back), D3D_OK);
    EXPECT_EQ(std::memcmp(&back, &m, sizeof m), 0);
    Clear(kBlack);
    const D3DXVECTOR3 at(5, 6, 0);
    DrawOne(texture, nullptr, nullptr, &at);
    std::vector<uint32_t> pixels = BackBuffer();
    // Magnified twice, local pixels 0-2 and 5-7 of each axis sample a single block.
    for (int ly : {0, 1, 2, 5, 6, 7})
        for (int lx : {0, 1, 2, 5, 6, 7})
            EXPECT_TRUE(ColorNear(pixels[size_t((16 + ly) * kWidth + 13 + lx)], Quadrants(lx, ly, 8, 8), 1, false))
                << lx << "," << ly;
    ExpectBackgroundOutside(pixels, 13, 16, 21, 24, kBlack);
    texture->Release();
}

TEST_F(SpriteTest, SplashScalingHalfByThreeQuarters) {
    // The splash screens: a 128 x 128 image drawn at the origin through a 0.5 x 0.75 scaling
    // covers 64 x 96 pixels.
    WriteBytes("logo.png", PngBytes(128, 128, false, [](int x, int y) { return Quadrants(x, y, 128, 128); }));
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(device_, "logo.png", &texture), D3D_OK);
    const D3DXMATRIX splash = Scaling(0.5f, 0.75f);
    ASSERT_EQ(sprite_->SetTransform(&splash), D3D_OK);
    Clear(kBlack);
    DrawOne(texture, nullptr, nullptr, nullptr);
    std::vector<uint32_t> pixels = BackBuffer();
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 64; ++x) {
            // Away from the seams every pixel shows its quadrant's colour.
            if (std::abs(x - 32) <= 1 || std::abs(y - 48) <= 1) continue;
            EXPECT_TRUE(ColorNear(pixels[size_t(y * kWidth + x)], Quadrants(x, y, 64, 96), 1, false)) << x << "," << y;
        }
    ExpectBackgroundOutside(pixels, 0, 0, 64, 96, kBlack);
    texture->Release();
}

TEST_F(SpriteTest, GuiScalingOneBySevenTenths) {
    // A GUI element at (20, 50) with the default 1.0 x 0.7 scaling: its 32 x 32 image lands at
    // (20, 35) and spans 32 x 22.4 pixels, so rows 35 to 56.
    WriteBytes("button.png", PngBytes(32, 32, false, [](int, int) { return Argb(255, 40, 160, 220); }));
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, "button.png", 0, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DX_DEFAULT,
                                           D3DX_DEFAULT, 0xFF000000, nullptr, nullptr, &texture),
              D3D_OK);
    const D3DXMATRIX gui = Scaling(1.0f, 0.7f);
    ASSERT_EQ(sprite_->SetTransform(&gui), D3D_OK);
    Clear(kBlack);
    const D3DXVECTOR3 at(20, 50, 0);
    DrawOne(texture, nullptr, nullptr, &at);
    std::vector<uint32_t> pixels = BackBuffer();
    for (int y = 35; y <= 56; ++y)
        for (int x = 20; x < 52; ++x)
            ASSERT_TRUE(ColorNear(pixels[size_t(y * kWidth + x)], Argb(255, 40, 160, 220), 1, false)) << x << "," << y;
    ExpectBackgroundOutside(pixels, 20, 35, 52, 57, kBlack);
    texture->Release();
}

TEST_F(SpriteTest, ColourModulatesTextureColourAndAlpha) {
    IDirect3DTexture9* texture = MakeTexture(4, 4, [](int, int) { return Argb(255, 200, 100, 50); });
    Clear(kBlack);
    const D3DXVECTOR3 at(4, 4, 0);
    DrawOne(texture, nullptr, nullptr, &at, Argb(255, 128, 255, 64));
    // Each channel is texture x colour.
    EXPECT_TRUE(ColorNear(Pixel(5, 5), Argb(255, 200 * 128 / 255, 100, 50 * 64 / 255), 1, false));
    texture->Release();
}

TEST_F(SpriteTest, AlphaBlendingOverTheBackground) {
    // Opaque red, then runs of alpha-0 texels and of quarter-alpha green texels, over blue. The
    // pixels checked lie inside the runs: at a hard alpha edge the pipeline may blend a neighbour
    // by a fraction of a step.
    IDirect3DTexture9* texture = MakeTexture(8, 1, [](int x, int) {
        return x == 0 ? kRed : x < 4 ? Argb(0, 0, 255, 0) : Argb(64, 0, 255, 0);
    });
    const uint32_t background = Argb(255, 0, 0, 200);
    Clear(background);
    const D3DXVECTOR3 at(10, 10, 0);
    DrawOne(texture, nullptr, nullptr, &at, Argb(128, 255, 255, 255));  // half alpha on the whole sprite
    const double half = 128.0 / 255.0;
    EXPECT_TRUE(ColorNear(Pixel(10, 10), Argb(255, uint32_t(std::lround(255 * half)), 0, uint32_t(std::lround(200 * (1 - half)))), 2, false));
    EXPECT_EQ(Pixel(12, 10) | 0xFF000000u, background) << "alpha 0 leaves the background";
    const double quarter = 64.0 / 255.0 * half;
    EXPECT_TRUE(ColorNear(Pixel(15, 10), Argb(255, 0, uint32_t(std::lround(255 * quarter)), uint32_t(std::lround(200 * (1 - quarter)))), 2, false));
    // The alpha-0 texels next to the opaque one stay within a step or two of the background.
    EXPECT_TRUE(ColorNear(Pixel(11, 10), background, 2, false));

    // Without D3DXSPRITE_ALPHABLEND the texels are written as they are, alpha 0 included.
    Clear(background);
    DrawOne(texture, nullptr, nullptr, &at, 0xFFFFFFFF, 0);
    EXPECT_TRUE(ColorNear(Pixel(10, 10), kRed, 2, false));
    EXPECT_TRUE(ColorNear(Pixel(12, 10), kGreen, 1, false));
    EXPECT_TRUE(ColorNear(Pixel(15, 10), kGreen, 1, false));
    texture->Release();
}

// Everything a sprite could touch, as the device reports it.
struct DeviceSnapshot {
    DWORD render[D3DRS_COUNT] = {};
    DWORD stage[8][D3DTSS_COUNT] = {};
    DWORD sampler[16][D3DSAMP_COUNT] = {};
    D3DMATRIX world, view, projection;
    IDirect3DBaseTexture9* texture = nullptr;
    DWORD fvf = 0;
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT streamOffset = 0, streamStride = 0;

    static DeviceSnapshot Take(IDirect3DDevice9* d) {
        DeviceSnapshot s;
        for (int i = 0; i < D3DRS_COUNT; ++i) d->GetRenderState(D3DRENDERSTATETYPE(i), &s.render[i]);
        for (DWORD st = 0; st < 8; ++st)
            for (int t = 0; t < D3DTSS_COUNT; ++t) d->GetTextureStageState(st, D3DTEXTURESTAGESTATETYPE(t), &s.stage[st][t]);
        for (DWORD sm = 0; sm < 16; ++sm)
            for (int t = 0; t < D3DSAMP_COUNT; ++t) d->GetSamplerState(sm, D3DSAMPLERSTATETYPE(t), &s.sampler[sm][t]);
        d->GetTransform(D3DTS_WORLD, &s.world);
        d->GetTransform(D3DTS_VIEW, &s.view);
        d->GetTransform(D3DTS_PROJECTION, &s.projection);
        d->GetTexture(0, &s.texture);
        if (s.texture) s.texture->Release();  // only the identity is compared
        d->GetFVF(&s.fvf);
        d->GetStreamSource(0, &s.stream, &s.streamOffset, &s.streamStride);
        if (s.stream) s.stream->Release();
        return s;
    }
};

void ExpectSame(const DeviceSnapshot& a, const DeviceSnapshot& b) {
    for (int i = 0; i < D3DRS_COUNT; ++i) EXPECT_EQ(a.render[i], b.render[i]) << "render state " << i;
    for (int st = 0; st < 8; ++st)
        for (int t = 0; t < D3DTSS_COUNT; ++t) EXPECT_EQ(a.stage[st][t], b.stage[st][t]) << "stage " << st << " state " << t;
    for (int sm = 0; sm < 16; ++sm)
        for (int t = 0; t < D3DSAMP_COUNT; ++t) EXPECT_EQ(a.sampler[sm][t], b.sampler[sm][t]) << "sampler " << sm << " state " << t;
    EXPECT_EQ(std::memcmp(&a.world, &b.world, sizeof a.world), 0);
    EXPECT_EQ(std::memcmp(&a.view, &b.view, sizeof a.view), 0);
    EXPECT_EQ(std::memcmp(&a.projection, &b.projection, sizeof a.projection), 0);
    EXPECT_EQ(a.texture, b.texture);
    EXPECT_EQ(a.fvf, b.fvf);
    EXPECT_EQ(a.stream, b.stream);
    EXPECT_EQ(a.streamOffset, b.streamOffset);
    EXPECT_EQ(a.streamStride, b.streamStride);
}

TEST_F(SpriteTest, BeginSetsTheDocumentedStatesAndEndRestoresEverything) {
    IDirect3DTexture9* texture = MakeTexture(4, 4, Texel);
    IDirect3DTexture9* appTexture = MakeTexture(2, 2, Texel);
    // An application state far from the sprite's.
    IDirect3DDevice9* d = device_;
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    d->SetRenderState(D3DRS_LIGHTING, TRUE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    d->SetRenderState(D3DRS_ALPHAREF, 0x40);
    d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_LESS);
    d->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    d->SetRenderState(D3DRS_FOGENABLE, TRUE);
    d->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
    d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    d->SetRenderState(D3DRS_TEXTUREFACTOR, 0x12345678);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_ADD);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    d->SetSamplerState(1, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    D3DXMATRIX world, view, projection;
    D3DXMatrixTranslation(&world, 1, 2, 3);
    D3DXMatrixRotationY(&view, 0.3f);
    D3DXMatrixPerspectiveFovLH(&projection, 0.8f, 1.3f, 1.0f, 100.0f);
    d->SetTransform(D3DTS_WORLD, &world);
    d->SetTransform(D3DTS_VIEW, &view);
    d->SetTransform(D3DTS_PROJECTION, &projection);
    d->SetTexture(0, appTexture);
    d->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
    IDirect3DVertexBuffer9* appStream = nullptr;
    ASSERT_EQ(d->CreateVertexBuffer(96, 0, 0, D3DPOOL_MANAGED, &appStream, nullptr), D3D_OK);
    d->SetStreamSource(0, appStream, 24, 24);
    const DeviceSnapshot before = DeviceSnapshot::Take(d);

    ASSERT_EQ(d->BeginScene(), D3D_OK);
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
    DWORD v = 0;
    struct Expect {
        D3DRENDERSTATETYPE state;
        DWORD value;
    } expected[] = {{D3DRS_ALPHABLENDENABLE, TRUE}, {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}, {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
                    {D3DRS_BLENDOP, D3DBLENDOP_ADD}, {D3DRS_ALPHATESTENABLE, TRUE}, {D3DRS_ALPHAFUNC, D3DCMP_GREATER},
                    {D3DRS_ALPHAREF, 0}, {D3DRS_LIGHTING, FALSE}, {D3DRS_CULLMODE, D3DCULL_NONE},
                    {D3DRS_STENCILENABLE, FALSE}, {D3DRS_FOGENABLE, FALSE}, {D3DRS_FILLMODE, D3DFILL_SOLID},
                    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD}, {D3DRS_COLORWRITEENABLE, 0xF}, {D3DRS_SPECULARENABLE, FALSE},
                    {D3DRS_CLIPPING, TRUE}, {D3DRS_CLIPPLANEENABLE, 0}, {D3DRS_VERTEXBLEND, 0}, {D3DRS_WRAP0, 0},
                    {D3DRS_SEPARATEALPHABLENDENABLE, FALSE}, {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
                    // Depth and the texture factor are left as the application has them.
                    {D3DRS_ZFUNC, D3DCMP_GREATER}, {D3DRS_ZWRITEENABLE, FALSE}, {D3DRS_ZENABLE, before.render[D3DRS_ZENABLE]},
                    {D3DRS_TEXTUREFACTOR, 0x12345678}};
    for (const Expect& e : expected) {
        d->GetRenderState(e.state, &v);
        EXPECT_EQ(v, e.value) << "render state " << int(e.state);
    }
    struct StageExpect {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE type;
        DWORD value;
    } stages[] = {{0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {0, D3DTSS_COLORARG1, D3DTA_TEXTURE}, {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE},
                  {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
                  {0, D3DTSS_TEXCOORDINDEX, 0}, {0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE},
                  {1, D3DTSS_COLOROP, D3DTOP_DISABLE}, {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
                  {2, D3DTSS_COLOROP, D3DTOP_ADD}};
    for (const StageExpect& e : stages) {
        d->GetTextureStageState(e.stage, e.type, &v);
        EXPECT_EQ(v, e.value) << "stage " << e.stage << " state " << int(e.type);
    }
    struct SamplerExpect {
        DWORD sampler;
        D3DSAMPLERSTATETYPE type;
        DWORD value;
    } samplers[] = {{0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP}, {0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP},
                    {0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR}, {0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR},
                    {0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR}, {0, D3DSAMP_MAXMIPLEVEL, 0}, {0, D3DSAMP_MIPMAPLODBIAS, 0},
                    {1, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR}};
    for (const SamplerExpect& e : samplers) {
        d->GetSamplerState(e.sampler, e.type, &v);
        EXPECT_EQ(v, e.value) << "sampler " << e.sampler << " state " << int(e.type);
    }
    // Screen space: world and view are identities.
    D3DXMATRIX identity, m;
    D3DXMatrixIdentity(&identity);
    d->GetTransform(D3DTS_WORLD, &m);
    EXPECT_EQ(std::memcmp(&m, &identity, sizeof m), 0);
    d->GetTransform(D3DTS_VIEW, &m);
    EXPECT_EQ(std::memcmp(&m, &identity, sizeof m), 0);

    const D3DXVECTOR3 at(3, 3, 0);
    ASSERT_EQ(sprite_->Draw(texture, nullptr, nullptr, &at, 0xFFFFFFFF), D3D_OK);
    ASSERT_EQ(sprite_->End(), D3D_OK);
    ASSERT_EQ(d->EndScene(), D3D_OK);
    ExpectSame(before, DeviceSnapshot::Take(d));

    // Without blending, neither blending nor the alpha test is on.
    ASSERT_EQ(d->BeginScene(), D3D_OK);
    ASSERT_EQ(sprite_->Begin(0), D3D_OK);
    d->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
    EXPECT_EQ(v, DWORD(FALSE));
    d->GetRenderState(D3DRS_ALPHATESTENABLE, &v);
    EXPECT_EQ(v, DWORD(FALSE));
    ASSERT_EQ(sprite_->End(), D3D_OK);
    ASSERT_EQ(d->EndScene(), D3D_OK);
    ExpectSame(before, DeviceSnapshot::Take(d));

    // DONOTSAVESTATE leaves the sprite's state behind; OBJECTSPACE keeps the transforms;
    // DONOTMODIFY_RENDERSTATE keeps the render states.
    ASSERT_EQ(d->BeginScene(), D3D_OK);
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_OBJECTSPACE | D3DXSPRITE_DONOTMODIFY_RENDERSTATE), D3D_OK);
    d->GetTransform(D3DTS_PROJECTION, &m);
    EXPECT_EQ(std::memcmp(&m, &projection, sizeof m), 0);
    d->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DCULL_CW));
    ASSERT_EQ(sprite_->End(), D3D_OK);
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_DONOTSAVESTATE), D3D_OK);
    ASSERT_EQ(sprite_->End(), D3D_OK);
    ASSERT_EQ(d->EndScene(), D3D_OK);
    d->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DCULL_NONE));
    d->GetRenderState(D3DRS_LIGHTING, &v);
    EXPECT_EQ(v, DWORD(FALSE));

    d->SetTexture(0, nullptr);
    d->SetStreamSource(0, nullptr, 0, 0);
    texture->Release();
    appTexture->Release();
    appStream->Release();
}

TEST_F(SpriteTest, ScreenSpriteWritesDepthZeroSoLater3DStaysBehind) {
    // Opaque red on the left half, transparent on the right.
    IDirect3DTexture9* texture = MakeTexture(16, 16, [](int x, int) { return x < 8 ? kRed : Argb(0, 255, 255, 255); });
    Clear(kBlack, 1.0f);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
    const D3DXVECTOR3 at(10, 10, 0);
    ASSERT_EQ(sprite_->Draw(texture, nullptr, nullptr, &at, 0xFFFFFFFF), D3D_OK);
    ASSERT_EQ(sprite_->End(), D3D_OK);

    // Then a green 3D quad over the whole screen at depth 0.5, with the device's default depth states.
    struct Vertex {
        float x, y, z;
        D3DCOLOR color;
    } quad[4] = {{-1, 1, 0.5f, kGreen}, {1, 1, 0.5f, kGreen}, {-1, -1, 0.5f, kGreen}, {1, -1, 0.5f, kGreen}};
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetTexture(0, nullptr);
    device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);

    // Column 18, the first transparent one, is the hard alpha edge: within a pixel of it either
    // colour is right.
    std::vector<uint32_t> pixels = BackBuffer();
    for (int y = 10; y < 26; ++y) {
        for (int x = 10; x < 18; ++x) EXPECT_TRUE(ColorNear(pixels[size_t(y * kWidth + x)], kRed, 2, false)) << x << "," << y;
        for (int x = 19; x < 26; ++x) EXPECT_TRUE(ColorNear(pixels[size_t(y * kWidth + x)], kGreen, 1, false)) << x << "," << y;
    }
    EXPECT_TRUE(ColorNear(pixels[size_t(60 * kWidth + 60)], kGreen, 1, false));
    texture->Release();
}

TEST_F(SpriteTest, BatchOrderSortingAndDepth) {
    IDirect3DTexture9* red = MakeTexture(4, 4, [](int, int) { return kRed; });
    IDirect3DTexture9* blue = MakeTexture(4, 4, [](int, int) { return kBlue; });
    const D3DXVECTOR3 nearAt(20, 20, 0.2f), farAt(20, 20, 0.8f);
    auto drawPair = [&](DWORD flags) {
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND | flags), D3D_OK);
        ASSERT_EQ(sprite_->Draw(red, nullptr, nullptr, &nearAt, 0xFFFFFFFF), D3D_OK);
        ASSERT_EQ(sprite_->Draw(blue, nullptr, nullptr, &farAt, 0xFFFFFFFF), D3D_OK);
        ASSERT_EQ(sprite_->End(), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
    };
    // Without a depth test the later sprite covers the earlier one...
    device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    Clear(kBlack);
    drawPair(0);
    EXPECT_TRUE(ColorNear(Pixel(21, 21), kBlue, 1, false));
    // ...unless the batch is sorted back to front: the far sprite goes first.
    Clear(kBlack);
    drawPair(D3DXSPRITE_SORT_DEPTH_BACKTOFRONT);
    EXPECT_TRUE(ColorNear(Pixel(21, 21), kRed, 1, false));
    // With the default depth test the sprite's z is its depth: the far one fails against the near one.
    device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    Clear(kBlack);
    drawPair(0);
    EXPECT_TRUE(ColorNear(Pixel(21, 21), kRed, 1, false));
    red->Release();
    blue->Release();
}

TEST_F(SpriteTest, CallOrderErrorsFlushAndReferences) {
    IDirect3DTexture9* texture = MakeTexture(4, 4, [](int, int) { return kRed; });
    const D3DXVECTOR3 at(2, 2, 0);
    EXPECT_EQ(sprite_->Draw(texture, nullptr, nullptr, &at, 0xFFFFFFFF), D3DERR_INVALIDCALL);
    EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);
    EXPECT_EQ(sprite_->Flush(), D3DERR_INVALIDCALL);
    Clear(kBlack);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
    EXPECT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), D3DERR_INVALIDCALL);
    EXPECT_EQ(sprite_->Draw(nullptr, nullptr, nullptr, &at, 0xFFFFFFFF), D3DERR_INVALIDCALL);

    // A queued sprite holds its texture until the batch is drawn; nothing is drawn before that.
    texture->AddRef();
    const ULONG base = texture->Release();
    ASSERT_EQ(sprite_->Draw(texture, nullptr, nullptr, &at, 0xFFFFFFFF), D3D_OK);
    texture->AddRef();
    EXPECT_EQ(texture->Release(), base + 1);
    EXPECT_EQ(Pixel(3, 3) | 0xFF000000u, kBlack);
    ASSERT_EQ(sprite_->Flush(), D3D_OK);
    EXPECT_TRUE(ColorNear(Pixel(3, 3), kRed, 1, false));
    texture->AddRef();
    EXPECT_EQ(texture->Release(), base + 1) << "bound to stage 0 until End restores the stage";
    ASSERT_EQ(sprite_->End(), D3D_OK);
    texture->AddRef();
    EXPECT_EQ(texture->Release(), base);

    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_DO_NOT_ADDREF_TEXTURE), D3D_OK);
    ASSERT_EQ(sprite_->Draw(texture, nullptr, nullptr, &at, 0xFFFFFFFF), D3D_OK);
    texture->AddRef();
    EXPECT_EQ(texture->Release(), base);
    ASSERT_EQ(sprite_->End(), D3D_OK);

    // Losing the device mid-batch drops the batch and gives back the state.
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
    ASSERT_EQ(sprite_->Draw(texture, nullptr, nullptr, &at, 0xFFFFFFFF), D3D_OK);
    EXPECT_EQ(sprite_->OnLostDevice(), D3D_OK);
    DWORD cull = 0;
    device_->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(cull, DWORD(D3DCULL_CCW));
    texture->AddRef();
    EXPECT_EQ(texture->Release(), base);
    EXPECT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), D3DERR_INVALIDCALL);  // until OnResetDevice
    EXPECT_EQ(sprite_->OnResetDevice(), D3D_OK);
    ASSERT_EQ(sprite_->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
    ASSERT_EQ(sprite_->End(), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);

    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(sprite_->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device_);
    owner->Release();
    ID3DXSprite* none = nullptr;
    EXPECT_EQ(D3DXCreateSprite(nullptr, &none), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateSprite(device_, nullptr), D3DERR_INVALIDCALL);
    texture->Release();
}

}  // namespace
