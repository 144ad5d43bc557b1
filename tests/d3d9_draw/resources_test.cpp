// Textures, surfaces and buffers: levels, pools and their lock rules, formats, copies.
#include "draw_fixture.h"

#include "d3d9/texture.h"

#include <epoxy/gl.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstring>

namespace drawtest {
namespace {

using DeviceResources = DrawTest;

TEST_F(DeviceResources, TextureLevelsHalveEachSideDownToOne) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device_->CreateTexture(64, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    ASSERT_EQ(tex->GetLevelCount(), 7u);  // floor(log2(64)) + 1
    const UINT widths[] = {64, 32, 16, 8, 4, 2, 1}, heights[] = {16, 8, 4, 2, 1, 1, 1};
    for (UINT i = 0; i < 7; ++i) {
        D3DSURFACE_DESC d;
        ASSERT_EQ(tex->GetLevelDesc(i, &d), D3D_OK);
        EXPECT_EQ(d.Width, widths[i]);
        EXPECT_EQ(d.Height, heights[i]);
        EXPECT_EQ(d.Format, D3DFMT_A8R8G8B8);
        EXPECT_EQ(d.Pool, D3DPOOL_MANAGED);
        EXPECT_EQ(d.Type, D3DRTYPE_SURFACE);
    }
    D3DSURFACE_DESC d;
    EXPECT_EQ(tex->GetLevelDesc(7, &d), D3DERR_INVALIDCALL);
    EXPECT_EQ(tex->GetType(), D3DRTYPE_TEXTURE);
    EXPECT_EQ(tex->Release(), 0u);

    // More levels than the chain has, or sizes out of range, are refused.
    EXPECT_EQ(device_->CreateTexture(64, 16, 8, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_D24S8, D3DPOOL_MANAGED, &tex, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex,
                                     nullptr),
              D3DERR_INVALIDCALL);
    // A generated chain shows the application its top level only.
    ASSERT_EQ(device_->CreateTexture(16, 16, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex,
                                     nullptr),
              D3D_OK);
    EXPECT_EQ(tex->GetLevelCount(), 1u);
    tex->Release();
    EXPECT_EQ(device_->CreateTexture(16, 16, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &tex,
                                     nullptr),
              D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->CreateTexture(5, 3, 2, 0, D3DFMT_L8, D3DPOOL_SYSTEMMEM, &tex, nullptr), D3D_OK);
    EXPECT_EQ(tex->GetLevelCount(), 2u);
    tex->GetLevelDesc(1, &d);
    EXPECT_EQ(d.Width, 2u);
    EXPECT_EQ(d.Height, 1u);
    tex->Release();
}

TEST_F(DeviceResources, SurfaceLevelsShareTheTexturesLifetime) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 8, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    IDirect3DSurface9* level = nullptr;
    EXPECT_EQ(tex->GetSurfaceLevel(2, &level), D3DERR_INVALIDCALL);
    ASSERT_EQ(tex->GetSurfaceLevel(1, &level), D3D_OK);
    IDirect3DSurface9* again = nullptr;
    ASSERT_EQ(tex->GetSurfaceLevel(1, &again), D3D_OK);
    EXPECT_EQ(level, again);
    again->Release();
    // The level holds the texture: releasing the texture leaves it alive.
    EXPECT_EQ(tex->Release(), 1u);
    D3DSURFACE_DESC d;
    ASSERT_EQ(level->GetDesc(&d), D3D_OK);
    EXPECT_EQ(d.Width, 4u);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(level->LockRect(&lr, nullptr, 0), D3D_OK);
    static_cast<DWORD*>(lr.pBits)[0] = 0x12345678;
    ASSERT_EQ(level->UnlockRect(), D3D_OK);
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(level->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device_);
    owner->Release();
    EXPECT_EQ(level->Release(), 0u);
}

TEST_F(DeviceResources, LockRulesFollowThePool) {
    struct Case {
        D3DPOOL pool;
        DWORD usage;
        bool lockable;
    } cases[] = {{D3DPOOL_MANAGED, 0, true},
                 {D3DPOOL_SYSTEMMEM, 0, true},
                 {D3DPOOL_SCRATCH, 0, true},
                 {D3DPOOL_DEFAULT, 0, false},
                 {D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC, true}};
    for (const Case& c : cases) {
        IDirect3DTexture9* tex = nullptr;
        ASSERT_EQ(device_->CreateTexture(8, 4, 1, c.usage, D3DFMT_X8R8G8B8, c.pool, &tex, nullptr), D3D_OK);
        D3DLOCKED_RECT lr = {};
        HRESULT hr = tex->LockRect(0, &lr, nullptr, 0);
        EXPECT_EQ(hr, c.lockable ? D3D_OK : D3DERR_INVALIDCALL) << "pool " << c.pool;
        if (SUCCEEDED(hr)) {
            EXPECT_GE(lr.Pitch, 8 * 4);
            D3DLOCKED_RECT second;
            EXPECT_EQ(tex->LockRect(0, &second, nullptr, 0), D3DERR_INVALIDCALL);  // one lock at a time
            EXPECT_EQ(tex->UnlockRect(0), D3D_OK);
        }
        EXPECT_EQ(tex->UnlockRect(0), D3DERR_INVALIDCALL);  // nothing locked
        RECT outside = {4, 2, 9, 4};
        EXPECT_EQ(tex->LockRect(0, &lr, &outside, 0), D3DERR_INVALIDCALL);
        tex->Release();
    }
}

TEST_F(DeviceResources, LockedSubRectanglesAddressThePitch) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device_->CreateTexture(5, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    RECT r = {1, 2, 4, 4};
    D3DLOCKED_RECT lr;
    ASSERT_EQ(tex->LockRect(0, &lr, &r, 0), D3D_OK);
    auto* row0 = static_cast<DWORD*>(lr.pBits);
    auto* row1 = reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + lr.Pitch);
    row0[0] = 0xFF010203;
    row1[2] = 0x80A0B0C0;
    ASSERT_EQ(tex->UnlockRect(0), D3D_OK);
    auto* t = platform::d3d9::AsTexture(tex);
    ASSERT_NE(t, nullptr);
    std::vector<uint32_t> all(20);
    ASSERT_EQ(t->ReadPixels(0, nullptr, all.data(), 5), D3D_OK);
    EXPECT_EQ(all[2 * 5 + 1], 0xFF010203u);
    EXPECT_EQ(all[3 * 5 + 3], 0x80A0B0C0u);
    EXPECT_EQ(all[2 * 5 + 2], 0u);
    tex->Release();
}

// Writes one pixel through a lock and reads back what the texture holds, in memory and in OpenGL.
struct FormatCase {
    D3DFORMAT format;
    uint32_t raw;       // the pixel as stored
    uint32_t expected;  // 0xAARRGGBB, computed from the format's channel widths
};

TEST_F(DeviceResources, FormatsExpandTheirChannelsAndMissingOnesReadAsOne) {
    auto expand = [](uint32_t v, int bits) { return uint32_t(std::lround(v * 255.0 / ((1 << bits) - 1))); };
    auto argb = [](uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; };
    const FormatCase cases[] = {
        {D3DFMT_A8R8G8B8, 0x80402010, 0x80402010},
        {D3DFMT_X8R8G8B8, 0x00402010, 0xFF402010},  // no alpha: reads 1
        {D3DFMT_R5G6B5, (17u << 11) | (40u << 5) | 9u, argb(255, expand(17, 5), expand(40, 6), expand(9, 5))},
        {D3DFMT_A1R5G5B5, (1u << 15) | (3u << 10) | (30u << 5) | 31u,
         argb(255, expand(3, 5), expand(30, 5), expand(31, 5))},
        {D3DFMT_A1R5G5B5, (0u << 15) | (31u << 10), argb(0, 255, 0, 0)},
        {D3DFMT_X1R5G5B5, (0u << 15) | (16u << 10) | (1u << 5), argb(255, expand(16, 5), expand(1, 5), 0)},
        {D3DFMT_A4R4G4B4, 0x7F3Cu, argb(expand(7, 4), expand(15, 4), expand(3, 4), expand(12, 4))},
        {D3DFMT_A8, 0x9Au, argb(0x9A, 0, 0, 0)},  // colour of A8 reads 0
        {D3DFMT_L8, 0x5Cu, argb(255, 0x5C, 0x5C, 0x5C)},
    };
    for (const FormatCase& c : cases) {
        IDirect3DTexture9* tex = nullptr;
        ASSERT_EQ(device_->CreateTexture(2, 2, 1, 0, c.format, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
        D3DLOCKED_RECT lr;
        ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
        auto* bits = static_cast<BYTE*>(lr.pBits);
        UINT bpp = c.format == D3DFMT_A8 || c.format == D3DFMT_L8 ? 1 : c.format == D3DFMT_A8R8G8B8 || c.format == D3DFMT_X8R8G8B8 ? 4 : 2;
        std::memcpy(bits + lr.Pitch + bpp, &c.raw, bpp);  // pixel (1, 1)
        ASSERT_EQ(tex->UnlockRect(0), D3D_OK);
        auto* t = platform::d3d9::AsTexture(tex);
        uint32_t read[4];
        ASSERT_EQ(t->ReadPixels(0, nullptr, read, 2), D3D_OK);
        EXPECT_EQ(read[3], c.expected) << "format " << c.format;
        // The OpenGL copy holds the same value.
        uint32_t gl[4] = {};
        glBindTexture(GL_TEXTURE_2D, t->GlName());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, gl);
        EXPECT_EQ(gl[3], c.expected) << "format " << c.format;
        tex->Release();
    }
}

TEST_F(DeviceResources, WritingPixelsConvertsToTheFormatWhateverThePool) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device_->CreateTexture(4, 4, 3, 0, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &tex, nullptr), D3D_OK);
    auto* t = platform::d3d9::AsTexture(tex);
    uint32_t px[2] = {0xFFFF0000, 0xFF00FF00};
    RECT r = {1, 1, 3, 2};
    ASSERT_EQ(t->WritePixels(0, &r, px, 2), D3D_OK);
    uint32_t back[16];
    ASSERT_EQ(t->ReadPixels(0, nullptr, back, 4), D3D_OK);
    EXPECT_EQ(back[5], 0xFFFF0000u);
    EXPECT_EQ(back[6], 0xFF00FF00u);
    EXPECT_EQ(back[4], 0xFF000000u);
    EXPECT_EQ(t->Width(1), 2u);
    EXPECT_EQ(t->Height(2), 1u);
    RECT bad = {3, 3, 5, 4};
    EXPECT_EQ(t->WritePixels(0, &bad, px, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(t->WritePixels(3, nullptr, px, 2), D3DERR_INVALIDCALL);
    tex->Release();
}

TEST_F(DeviceResources, AManagedTextureNotDrawnForAWhileComesBackFromItsMemoryCopy) {
    auto make = [&](uint32_t left, uint32_t right) {
        IDirect3DTexture9* tex = nullptr;
        EXPECT_EQ(device_->CreateTexture(2, 1, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
        const uint32_t px[2] = {left, right};
        EXPECT_EQ(platform::d3d9::AsTexture(tex)->WritePixels(0, nullptr, px, 2), D3D_OK);
        return tex;
    };
    struct V {
        float x, y, z, rhw, u, v;
    };
    const V quad[4] = {{0, 0, 0, 1, 0, 0}, {64, 0, 0, 1, 1, 0}, {0, 64, 0, 1, 0, 1}, {64, 64, 0, 1, 1, 1}};
    auto draw = [&](IDirect3DTexture9* tex) {
        Clear(0xFF000000);
        Begin();
        device_->SetTexture(0, tex);
        device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(V)), D3D_OK);
        device_->SetTexture(0, nullptr);
        End();
    };
    // A texture made after 60 frames takes the place of one not drawn in them, and shows its own texels.
    auto evict = [&](IDirect3DTexture9* idle, uint32_t left, uint32_t right) {
        for (int i = 0; i <= 60; ++i) ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        IDirect3DTexture9* other = make(left, right);
        draw(other);
        EXPECT_FALSE(platform::d3d9::AsTexture(idle)->HasGlCopy());
        EXPECT_EQ(Pixel(10, 10), left);
        EXPECT_EQ(Pixel(50, 10), right);
        other->Release();
    };
    IDirect3DTexture9* tex = make(0xFFFF0000, 0xFF0000FF);
    draw(tex);
    const std::vector<DWORD> first = Pixels();
    EXPECT_EQ(first[10 * kSize + 10], 0xFFFF0000u);
    EXPECT_EQ(first[10 * kSize + 50], 0xFF0000FFu);
    evict(tex, 0xFF00FF00, 0xFFFFFFFF);
    draw(tex);
    EXPECT_EQ(Pixels(), first);

    // A lock after the eviction sees the data, and its change is drawn.
    evict(tex, 0xFF0000FF, 0xFFFF0000);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
    auto* texels = static_cast<uint16_t*>(lr.pBits);
    EXPECT_EQ(texels[0], 0xF800u);
    EXPECT_EQ(texels[1], 0x001Fu);
    texels[1] = 0x07E0;
    ASSERT_EQ(tex->UnlockRect(0), D3D_OK);
    draw(tex);
    EXPECT_EQ(Pixel(10, 10), 0xFFFF0000u);
    EXPECT_EQ(Pixel(50, 10), 0xFF00FF00u);
    tex->Release();
}

TEST_F(DeviceResources, PlainSurfacesAreLockableInEveryPoolButManaged) {
    for (D3DPOOL pool : {D3DPOOL_SYSTEMMEM, D3DPOOL_SCRATCH, D3DPOOL_DEFAULT}) {
        IDirect3DSurface9* s = nullptr;
        ASSERT_EQ(device_->CreateOffscreenPlainSurface(7, 3, D3DFMT_X8R8G8B8, pool, &s, nullptr), D3D_OK);
        D3DSURFACE_DESC d;
        s->GetDesc(&d);
        EXPECT_EQ(d.Pool, pool);
        EXPECT_EQ(d.Width, 7u);
        EXPECT_EQ(d.Height, 3u);
        EXPECT_EQ(d.Format, D3DFMT_X8R8G8B8);
        D3DLOCKED_RECT lr;
        EXPECT_EQ(s->LockRect(&lr, nullptr, 0), D3D_OK);
        EXPECT_EQ(s->UnlockRect(), D3D_OK);
        s->Release();
    }
    IDirect3DSurface9* s = nullptr;
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(7, 3, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &s, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(0, 3, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &s, nullptr),
              D3DERR_INVALIDCALL);
}

TEST_F(DeviceResources, BuffersLockRangesInEveryPool) {
    for (D3DPOOL pool : {D3DPOOL_DEFAULT, D3DPOOL_MANAGED, D3DPOOL_SYSTEMMEM, D3DPOOL_SCRATCH}) {
        IDirect3DVertexBuffer9* vb = nullptr;
        const DWORD fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;
        ASSERT_EQ(device_->CreateVertexBuffer(160, D3DUSAGE_WRITEONLY, fvf, pool, &vb, nullptr), D3D_OK);
        D3DVERTEXBUFFER_DESC d;
        ASSERT_EQ(vb->GetDesc(&d), D3D_OK);
        EXPECT_EQ(d.Size, 160u);
        EXPECT_EQ(d.FVF, fvf);
        EXPECT_EQ(d.Pool, pool);
        EXPECT_EQ(d.Usage, DWORD(D3DUSAGE_WRITEONLY));
        EXPECT_EQ(d.Type, D3DRTYPE_VERTEXBUFFER);
        void* whole = nullptr;
        void* part = nullptr;
        ASSERT_EQ(vb->Lock(0, 0, &whole, D3DLOCK_DISCARD), D3D_OK);
        // Locks nest, and each addresses its own offset.
        ASSERT_EQ(vb->Lock(32, 16, &part, D3DLOCK_NOOVERWRITE), D3D_OK);
        EXPECT_EQ(static_cast<BYTE*>(part) - static_cast<BYTE*>(whole), 32);
        EXPECT_EQ(vb->Unlock(), D3D_OK);
        EXPECT_EQ(vb->Unlock(), D3D_OK);
        EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
        EXPECT_EQ(vb->Lock(150, 16, &part, 0), D3DERR_INVALIDCALL);
        EXPECT_EQ(vb->Lock(161, 0, &part, 0), D3DERR_INVALIDCALL);
        ASSERT_EQ(vb->Lock(144, 0, &part, D3DLOCK_READONLY), D3D_OK);  // to the end
        EXPECT_EQ(vb->Unlock(), D3D_OK);
        vb->Release();

        IDirect3DIndexBuffer9* ib = nullptr;
        ASSERT_EQ(device_->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, pool, &ib, nullptr), D3D_OK);
        D3DINDEXBUFFER_DESC id;
        ASSERT_EQ(ib->GetDesc(&id), D3D_OK);
        EXPECT_EQ(id.Format, D3DFMT_INDEX16);
        EXPECT_EQ(id.Size, 12u);
        EXPECT_EQ(id.Pool, pool);
        ASSERT_EQ(ib->Lock(0, 0, &whole, 0), D3D_OK);
        EXPECT_EQ(ib->Unlock(), D3D_OK);
        ib->Release();
    }
    IDirect3DVertexBuffer9* vb = nullptr;
    EXPECT_EQ(device_->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_INVALIDCALL);
    // Smaller than one vertex of its format.
    EXPECT_EQ(device_->CreateVertexBuffer(12, 0, D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DPOOL_MANAGED, &vb, nullptr),
              D3DERR_INVALIDCALL);
    IDirect3DIndexBuffer9* ib = nullptr;
    EXPECT_EQ(device_->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib, nullptr),
              D3DERR_INVALIDCALL);
}

// Fills a surface with a pattern whose value tells the position.
void FillPattern(IDirect3DSurface9* s, UINT w, UINT h) {
    D3DLOCKED_RECT lr;
    ASSERT_EQ(s->LockRect(&lr, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x)
            reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = 0x00000000u | (x << 16) | (y << 8) | 0x55;
    ASSERT_EQ(s->UnlockRect(), D3D_OK);
}

TEST_F(DeviceResources, UpdateSurfaceCopiesASystemMemoryRectangleToTheBackBuffer) {
    Clear(0xFF000080);
    IDirect3DSurface9* src = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(16, 8, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &src, nullptr),
              D3D_OK);
    FillPattern(src, 16, 8);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    RECT s = {2, 3, 6, 5};
    POINT p = {10, 20};
    ASSERT_EQ(device_->UpdateSurface(src, &s, back, &p), D3D_OK);
    auto px = Pixels();
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(px[size_t(20 + y) * kSize + 10 + x], 0xFF000000u | DWORD((2 + x) << 16) | DWORD((3 + y) << 8) | 0x55);
    EXPECT_EQ(px[size_t(20) * kSize + 14], 0xFF000080u);
    EXPECT_EQ(px[size_t(22) * kSize + 10], 0xFF000080u);
    EXPECT_EQ(px[size_t(19) * kSize + 10], 0xFF000080u);
    // No point: the same position as the source rectangle.
    ASSERT_EQ(device_->UpdateSurface(src, &s, back, nullptr), D3D_OK);
    EXPECT_EQ(Pixel(2, 3), 0xFF000000u | (2u << 16) | (3u << 8) | 0x55);

    // What UpdateSurface refuses.
    POINT far = {62, 0};
    EXPECT_EQ(device_->UpdateSurface(src, &s, back, &far), D3DERR_INVALIDCALL);  // past the edge
    RECT big = {0, 0, 17, 8};
    EXPECT_EQ(device_->UpdateSurface(src, &big, back, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->UpdateSurface(src, &s, src, nullptr), D3DERR_INVALIDCALL);
    IDirect3DSurface9* scratch = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(16, 8, D3DFMT_X8R8G8B8, D3DPOOL_SCRATCH, &scratch, nullptr),
              D3D_OK);
    EXPECT_EQ(device_->UpdateSurface(scratch, nullptr, back, nullptr), D3DERR_INVALIDCALL);  // not SYSTEMMEM
    EXPECT_EQ(device_->UpdateSurface(src, nullptr, scratch, nullptr), D3DERR_INVALIDCALL);   // not DEFAULT
    IDirect3DSurface9* small = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(16, 8, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM, &small, nullptr),
              D3D_OK);
    EXPECT_EQ(device_->UpdateSurface(small, nullptr, back, nullptr), D3DERR_INVALIDCALL);  // formats differ
    D3DLOCKED_RECT lr;
    ASSERT_EQ(src->LockRect(&lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(device_->UpdateSurface(src, &s, back, &p), D3DERR_INVALIDCALL);  // locked
    src->UnlockRect();
    small->Release();
    scratch->Release();
    back->Release();
    src->Release();
}

// A rectangle larger than the copy's band, from an offset to an offset.
TEST_F(DeviceResources, UpdateSurfaceCopiesALargeRectangleWhole) {
    auto pattern = [](UINT x, UINT y) { return 0xFF000000u | (x << 12) | y; };
    IDirect3DSurface9* src = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(300, 300, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &src, nullptr),
              D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(src->LockRect(&lr, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < 300; ++y)
        for (UINT x = 0; x < 300; ++x)
            reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = pattern(x, y);
    ASSERT_EQ(src->UnlockRect(), D3D_OK);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device_->CreateTexture(512, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &tex, nullptr), D3D_OK);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(tex->GetSurfaceLevel(0, &level), D3D_OK);
    const RECT s{5, 7, 295, 290};
    const POINT p{100, 200};
    ASSERT_EQ(device_->UpdateSurface(src, &s, level, &p), D3D_OK);
    std::vector<uint32_t> read(512 * 512);
    ASSERT_EQ(platform::d3d9::AsTexture(tex)->ReadPixels(0, nullptr, read.data(), 512), D3D_OK);
    for (UINT y = 0; y < 512; ++y)
        for (UINT x = 0; x < 512; ++x) {
            const bool inside = x >= 100 && x < 390 && y >= 200 && y < 483;
            ASSERT_EQ(read[y * 512 + x], inside ? pattern(x - 95, y - 193) : 0u) << x << "," << y;
        }
    level->Release();
    tex->Release();
    src->Release();
}

TEST_F(DeviceResources, UpdateSurfaceFillsADefaultTextureLevelFromXrgb) {
    IDirect3DSurface9* src = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &src, nullptr),
              D3D_OK);
    FillPattern(src, 8, 8);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &tex, nullptr), D3D_OK);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(tex->GetSurfaceLevel(0, &level), D3D_OK);
    ASSERT_EQ(device_->UpdateSurface(src, nullptr, level, nullptr), D3D_OK);
    uint32_t read[64];
    ASSERT_EQ(platform::d3d9::AsTexture(tex)->ReadPixels(0, nullptr, read, 8), D3D_OK);
    // The X8 source gives opaque alpha.
    EXPECT_EQ(read[3 * 8 + 5], 0xFF000000u | (5u << 16) | (3u << 8) | 0x55);
    // The other way round the formats do not match.
    IDirect3DSurface9* argbSrc = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &argbSrc, nullptr),
              D3D_OK);
    IDirect3DSurface9* xrgbDst = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &xrgbDst, nullptr),
              D3D_OK);
    EXPECT_EQ(device_->UpdateSurface(argbSrc, nullptr, xrgbDst, nullptr), D3DERR_INVALIDCALL);
    xrgbDst->Release();
    argbSrc->Release();
    level->Release();
    tex->Release();
    src->Release();
}

TEST_F(DeviceResources, FrontBufferDataPlacesTheLastFrameOnABlackDesktop) {
    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
    IDirect3DSurface9* shot = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH,
                                                   &shot, nullptr),
              D3D_OK);
    // The back buffer fills the client area; a mark at its top-left corner and one inside.
    RECT client;
    GetClientRect(hwnd_, &client);
    pp_.BackBufferWidth = UINT(client.right);
    pp_.BackBufferHeight = UINT(client.bottom);
    ASSERT_EQ(device_->Reset(&pp_), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF2050A0, 1.0f, 0), D3D_OK);
    D3DRECT mark = {0, 0, 1, 1};
    ASSERT_EQ(device_->Clear(1, &mark, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    D3DRECT mark2 = {5, 7, 6, 8};
    ASSERT_EQ(device_->Clear(1, &mark2, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // Drawing after Present does not change the front buffer.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->GetFrontBufferData(0, shot), D3D_OK);
    POINT origin = {0, 0};
    ClientToScreen(hwnd_, &origin);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(shot->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto at = [&](LONG x, LONG y) {
        return reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(lr.pBits) + y * lr.Pitch)[x];
    };
    EXPECT_EQ(at(origin.x, origin.y), 0xFFFF0000u);
    EXPECT_EQ(at(origin.x + 5, origin.y + 7), 0xFF00FF00u);
    EXPECT_EQ(at(origin.x + 1, origin.y), 0xFF2050A0u);
    EXPECT_EQ(at(origin.x + client.right - 1, origin.y + client.bottom - 1), 0xFF2050A0u);
    // Outside the window: opaque black.
    EXPECT_EQ(at(origin.x + client.right, origin.y), 0xFF000000u);
    EXPECT_EQ(at(mode.Width - 1, mode.Height - 1), 0xFF000000u);
    if (origin.x > 0) {
        EXPECT_EQ(at(origin.x - 1, origin.y), 0xFF000000u);
    }
    shot->UnlockRect();

    // Only a desktop-sized A8R8G8B8 surface in system memory will do.
    IDirect3DSurface9* wrong = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(64, 64, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &wrong, nullptr),
              D3D_OK);
    EXPECT_EQ(device_->GetFrontBufferData(0, wrong), D3DERR_INVALIDCALL);
    wrong->Release();
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                   &wrong, nullptr),
              D3D_OK);
    EXPECT_EQ(device_->GetFrontBufferData(0, wrong), D3DERR_INVALIDCALL);
    wrong->Release();
    EXPECT_EQ(device_->GetFrontBufferData(1, shot), D3DERR_INVALIDCALL);
    shot->Release();
}

TEST_F(DeviceResources, PresentKeepsTheBackBufferAndTheFrontBufferApart) {
    RECT client;
    GetClientRect(hwnd_, &client);
    pp_.BackBufferWidth = UINT(client.right);
    pp_.BackBufferHeight = UINT(client.bottom);
    ASSERT_EQ(device_->Reset(&pp_), D3D_OK);
    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
    IDirect3DSurface9* shot = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH,
                                                   &shot, nullptr),
              D3D_OK);
    POINT origin = {0, 0};
    ClientToScreen(hwnd_, &origin);
    auto front = [&](LONG x, LONG y) {
        EXPECT_EQ(device_->GetFrontBufferData(0, shot), D3D_OK);
        D3DLOCKED_RECT lr;
        shot->LockRect(&lr, nullptr, D3DLOCK_READONLY);
        DWORD c = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(lr.pBits) + (origin.y + y) * lr.Pitch)[origin.x + x];
        shot->UnlockRect();
        return c;
    };
    Clear(0xFF2050A0);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // A copy swap chain keeps the back buffer: a partial clear and a draw change only their pixels.
    D3DRECT mark = {0, 0, 1, 1};
    ASSERT_EQ(device_->Clear(1, &mark, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    Begin();
    DrawRect(4, 4, 8, 8, 0xFF00FF00);
    End();
    EXPECT_EQ(Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(Pixel(1, 0), 0xFF2050A0u);
    EXPECT_EQ(Pixel(5, 5), 0xFF00FF00u);
    // The front buffer is still the frame presented before.
    EXPECT_EQ(front(0, 0), 0xFF2050A0u);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(front(0, 0), 0xFFFF0000u);
    EXPECT_EQ(front(5, 5), 0xFF00FF00u);
    // Presenting again without drawing shows the same frame.
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(front(0, 0), 0xFFFF0000u);
    EXPECT_EQ(Pixel(1, 0), 0xFF2050A0u);
    shot->Release();
}

}  // namespace
}  // namespace drawtest

namespace drawtest {
namespace {

TEST_F(DeviceResources, TheDeviceCursorShowsInThePresentedImage) {
    IDirect3DSurface9* image = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &image, nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(image->LockRect(&lr, nullptr, 0), D3D_OK);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            // Opaque yellow in the top-left 2 x 2, transparent elsewhere.
            reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = x < 2 && y < 2 ? 0xFFFFFF00u : 0x00FF0000u;
    image->UnlockRect();
    EXPECT_EQ(device_->SetCursorProperties(4, 0, image), D3DERR_INVALIDCALL);  // hot spot outside
    ASSERT_EQ(device_->SetCursorProperties(1, 1, image), D3D_OK);
    image->Release();
    IDirect3DSurface9* wrongFormat = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_X8R8G8B8, D3DPOOL_SCRATCH, &wrongFormat, nullptr),
              D3D_OK);
    EXPECT_EQ(device_->SetCursorProperties(0, 0, wrongFormat), D3DERR_INVALIDCALL);
    wrongFormat->Release();

    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
    IDirect3DSurface9* shot = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                   &shot, nullptr),
              D3D_OK);
    POINT origin = {0, 0};
    ClientToScreen(hwnd_, &origin);
    RECT client;
    GetClientRect(hwnd_, &client);
    pp_.BackBufferWidth = UINT(client.right);
    pp_.BackBufferHeight = UINT(client.bottom);
    ASSERT_EQ(device_->Reset(&pp_), D3D_OK);
    auto frame = [&](BOOL show) {
        device_->ShowCursor(show);
        device_->SetCursorPosition(20, 10, 0);
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000080, 1.0f, 0);
        EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(device_->GetFrontBufferData(0, shot), D3D_OK);
        std::vector<DWORD> around;
        D3DLOCKED_RECT r;
        shot->LockRect(&r, nullptr, D3DLOCK_READONLY);
        for (int y = 8; y < 13; ++y)
            for (int x = 18; x < 23; ++x)
                around.push_back(reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(r.pBits) + (origin.y + y) * r.Pitch)[origin.x + x]);
        shot->UnlockRect();
        return around;
    };
    EXPECT_EQ(device_->ShowCursor(TRUE), FALSE);  // the previous visibility
    auto shown = frame(TRUE);
    // Rows 8..12, columns 18..22: the hot spot (1,1) sits at (20,10), so the opaque part covers 19..20 x 9..10.
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            bool cursor = (18 + x == 19 || 18 + x == 20) && (8 + y == 9 || 8 + y == 10);
            EXPECT_EQ(shown[size_t(y) * 5 + x], cursor ? 0xFFFFFF00u : 0xFF000080u) << 18 + x << "," << 8 + y;
        }
    auto hidden = frame(FALSE);
    for (DWORD p : hidden) EXPECT_EQ(p, 0xFF000080u);
    shot->Release();
}

// What the X server shows at (x, y) of the screen, as 0xRRGGBB; waits up to `wait` for `expected`.
unsigned long ScreenPixel(LONG x, LONG y, unsigned long expected,
                          std::chrono::milliseconds wait = std::chrono::seconds(1)) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return ~0ul;
    unsigned long pixel = ~0ul;
    auto end = std::chrono::steady_clock::now() + wait;
    do {
        XImage* image = XGetImage(display, DefaultRootWindow(display), int(x), int(y), 1, 1, AllPlanes, ZPixmap);
        if (image) {
            pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
            XDestroyImage(image);
        }
    } while (pixel != expected && std::chrono::steady_clock::now() < end);
    XCloseDisplay(display);
    return pixel;
}

TEST_F(DeviceResources, PresentShowsTheFrameInTheWindow) {
    RECT client;
    GetClientRect(hwnd_, &client);
    POINT origin = {0, 0};
    ClientToScreen(hwnd_, &origin);
    // Filling the client area, and smaller: stretched, the corners keep their colours.
    for (bool fill : {true, false}) {
        SCOPED_TRACE(fill);
        pp_.BackBufferWidth = fill ? UINT(client.right) : UINT(kSize);
        pp_.BackBufferHeight = fill ? UINT(client.bottom) : UINT(kSize);
        ASSERT_EQ(device_->Reset(&pp_), D3D_OK);
        LONG w = LONG(pp_.BackBufferWidth), h = LONG(pp_.BackBufferHeight);
        Clear(0xFF2050A0);
        D3DRECT top = {0, 0, 1, 1}, bottom = {w - 1, h - 1, w, h};
        ASSERT_EQ(device_->Clear(1, &top, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device_->Clear(1, &bottom, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(ScreenPixel(origin.x, origin.y, 0xFF0000), 0xFF0000ul);
        EXPECT_EQ(ScreenPixel(origin.x + client.right - 1, origin.y + client.bottom - 1, 0x00FF00), 0x00FF00ul);
        EXPECT_EQ(ScreenPixel(origin.x + client.right / 2, origin.y + client.bottom / 2, 0x2050A0), 0x2050A0ul);
    }
}

TEST_F(DeviceResources, FullScreenPresentStretchesTheFrameSmoothlyOverTheScreen) {
    D3DDISPLAYMODE desktop;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &desktop), D3D_OK);
    const int w = 640, h = 480, screenW = int(desktop.Width), screenH = int(desktop.Height);
    if (screenW <= w || screenH <= h) GTEST_SKIP() << "the screen is not larger than the mode";
    device_->Release();
    device_ = nullptr;
    pp_.Windowed = FALSE;
    pp_.BackBufferWidth = UINT(w);
    pp_.BackBufferHeight = UINT(h);
    if (FAILED(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, hwnd_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp_, &device_)))
        GTEST_SKIP() << "no full-screen mode on this display";
    // The switch may have its own focus events.
    for (int i = 0; i < 50 && device_->TestCooperativeLevel() != D3D_OK; ++i) {
        Sleep(10);
        if (device_->TestCooperativeLevel() == D3DERR_DEVICENOTRESET) device_->Reset(&pp_);
    }
    // Grey frames until the window has taken the whole screen.
    for (int i = 0; i < 100; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Clear(0xFF808080);
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        if (ScreenPixel(screenW - 1, screenH - 1, 0x808080, std::chrono::milliseconds(20)) == 0x808080) break;
    }
    // A colour in each quarter (as the screen shows them, without alpha).
    const DWORD quarter[4] = {0x2050A0, 0xE0C020, 0x10F060, 0xC03080};
    for (int q = 0; q < 4; ++q) {
        D3DRECT r = {q % 2 * w / 2, q / 2 * h / 2, (q % 2 + 1) * w / 2, (q / 2 + 1) * h / 2};
        ASSERT_EQ(device_->Clear(1, &r, D3DCLEAR_TARGET, quarter[q], 1.0f, 0), D3D_OK);
    }
    // The last draw's blending, which keeps what is there, does not touch the presented image.
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Begin();
    DrawRect(0, 0, 8, 8, 0xFFFFFFFF);
    End();
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // The corners of the screen show the corners of the frame.
    EXPECT_EQ(ScreenPixel(0, 0, quarter[0]), quarter[0]);
    EXPECT_EQ(ScreenPixel(screenW - 1, 0, quarter[1]), quarter[1]);
    EXPECT_EQ(ScreenPixel(0, screenH - 1, quarter[2]), quarter[2]);
    EXPECT_EQ(ScreenPixel(screenW - 1, screenH - 1, quarter[3]), quarter[3]);
    // Across the middle of the top half the two colours blend, texel centres to pixel centres.
    int x = screenW / 2;
    double t = (x + 0.5) * w / screenW - 0.5, f = t - std::floor(t);
    ASSERT_EQ(int(std::floor(t)), w / 2 - 1);
    DWORD blend = 0;
    for (int c = 0; c < 3; ++c)
        blend |= DWORD(std::lround((1 - f) * Channel(quarter[0], c) + f * Channel(quarter[1], c))) << (8 * c);
    unsigned long seen = ScreenPixel(x, screenH / 4, blend);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(Channel(DWORD(seen), c), Channel(blend, c), 2) << c;
}

}  // namespace
}  // namespace drawtest
