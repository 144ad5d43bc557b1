// Textures from PNG, JPEG and BMP files: sizes, stretching, mip levels, pools, formats, the
// colour key, image information and damaged files.
#include "d3dx_fixture.h"

#include "d3d9/texture.h"

#include <filesystem>

namespace {

using namespace d3dxtest;

class TextureFileTest : public D3DXTest {
protected:
    // Reads any level, whatever the pool, through the layer (default-pool textures do not lock).
    std::vector<uint32_t> Contents(IDirect3DTexture9* texture, UINT level) {
        D3DSURFACE_DESC desc;
        EXPECT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
        std::vector<uint32_t> out(size_t(desc.Width) * desc.Height);
        auto* ours = platform::d3d9::AsTexture(texture);
        EXPECT_NE(ours, nullptr);
        if (ours) {
            EXPECT_EQ(ours->ReadPixels(level, nullptr, out.data(), desc.Width), D3D_OK);
        }
        return out;
    }
    IDirect3DTexture9* LoadEx(const char* file, UINT w, UINT h, UINT mips, D3DFORMAT format, D3DPOOL pool,
                              DWORD filter, DWORD mipFilter, D3DCOLOR key, D3DXIMAGE_INFO* info = nullptr,
                              HRESULT expected = D3D_OK) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileExA(device_, file, w, h, mips, 0, format, pool, filter, mipFilter, key,
                                               info, nullptr, &texture),
                  expected);
        return texture;
    }
};

const uint32_t kRed = Argb(255, 255, 0, 0), kBlue = Argb(255, 0, 0, 255), kGreen = Argb(255, 0, 255, 0),
               kWhite = Argb(255, 255, 255, 255);

// Four quadrant colours, the pattern that survives any scaling by powers of two.
uint32_t Quadrants(int x, int y, int w, int h) {
    const uint32_t colors[4] = {kRed, kGreen, kBlue, kWhite};
    return colors[(x >= w / 2 ? 1 : 0) + (y >= h / 2 ? 2 : 0)];
}

TEST_F(TextureFileTest, DefaultsRoundUpToPowersOfTwoAndStretchTheImage) {
    // 6 x 3: left half red, right half blue. The texture is 8 x 4, every level filled.
    WriteBytes("halves.png", PngBytes(6, 3, false, [](int x, int) { return x < 3 ? kRed : kBlue; }));
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(device_, "halves.png", &texture), D3D_OK);
    ASSERT_NE(texture, nullptr);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_EQ(desc.Height, 4u);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(texture->GetLevelCount(), 4u);  // 8x4, 4x2, 2x1, 1x1

    // Stretched to fill: texel 0 and 7 map inside the red and the blue half; the middle blends.
    std::vector<uint32_t> level0 = ReadLevel(texture, 0);
    for (int y = 0; y < 4; ++y) {
        EXPECT_TRUE(ColorNear(level0[size_t(y) * 8 + 0] | 0xFF000000u, kRed, 1, false));
        EXPECT_TRUE(ColorNear(level0[size_t(y) * 8 + 7] | 0xFF000000u, kBlue, 1, false));
        const uint32_t middle = level0[size_t(y) * 8 + 4];
        EXPECT_GT(Channel(middle, 0), 0);
        EXPECT_GT(Channel(middle, 2), 0);
    }
    // The 1x1 level is the average of the whole image: half red, half blue.
    const uint32_t last = ReadLevel(texture, 3)[0];
    EXPECT_NEAR(Channel(last, 2), 128, 3);
    EXPECT_NEAR(Channel(last, 0), 128, 3);
    EXPECT_EQ(Channel(last, 1), 0);
    texture->Release();
}

TEST_F(TextureFileTest, FileSizesAndExplicitSizes) {
    WriteBytes("q.bmp", BmpBytes(6, 10, 24, [](int x, int y) { return Quadrants(x, y, 6, 10); }));
    D3DXIMAGE_INFO info;
    IDirect3DTexture9* keep = LoadEx("q.bmp", D3DX_DEFAULT_NONPOW2, D3DX_FROM_FILE, 1, D3DFMT_UNKNOWN,
                                     D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_DEFAULT, 0, &info);
    ASSERT_NE(keep, nullptr);
    D3DSURFACE_DESC desc;
    keep->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 6u);
    EXPECT_EQ(desc.Height, 10u);
    EXPECT_EQ(keep->GetLevelCount(), 1u);
    // Unscaled, the texels are the file's pixels.
    std::vector<uint32_t> texels = ReadLevel(keep, 0);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(texels[size_t(y) * 6 + size_t(x)] | 0xFF000000u, Quadrants(x, y, 6, 10));
    EXPECT_EQ(info.Width, 6u);
    EXPECT_EQ(info.Height, 10u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);
    EXPECT_EQ(info.Format, D3DFMT_R8G8B8);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
    EXPECT_EQ(info.MipLevels, 1u);
    keep->Release();

    // Sizes given by the caller, stretched with a point filter: texel i takes source pixel
    // floor((i + 0.5) * 6 / 3), rows floor((j + 0.5) * 10 / 5).
    IDirect3DTexture9* small = LoadEx("q.bmp", 3, 5, 1, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_POINT,
                                      D3DX_DEFAULT, 0, &info);
    ASSERT_NE(small, nullptr);
    small->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 3u);
    EXPECT_EQ(desc.Height, 5u);
    texels = ReadLevel(small, 0);
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(texels[size_t(j) * 3 + size_t(i)] | 0xFF000000u, Quadrants((2 * i + 1) * 6 / 6, (2 * j + 1) * 10 / 10, 6, 10));
    EXPECT_EQ(info.Width, 6u) << "the information describes the file, not the texture";
    small->Release();

    // D3DX_FILTER_NONE into a larger texture: the image at the top left, transparent black around it.
    IDirect3DTexture9* padded = LoadEx("q.bmp", 0, 0, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                       D3DX_DEFAULT, 0);
    ASSERT_NE(padded, nullptr);
    padded->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_EQ(desc.Height, 16u);
    texels = ReadLevel(padded, 0);
    EXPECT_EQ(texels[0], kRed);
    EXPECT_EQ(texels[5], kGreen);
    EXPECT_EQ(texels[6], 0u);
    EXPECT_EQ(texels[size_t(9) * 8], kBlue);
    EXPECT_EQ(texels[size_t(10) * 8], 0u);
    padded->Release();
}

TEST_F(TextureFileTest, MipLevelsAreBoxFilteredFromTheLevelAbove) {
    WriteBytes("q.png", PngBytes(64, 32, false, [](int x, int y) { return Quadrants(x, y, 64, 32); }));
    IDirect3DTexture9* full = LoadEx("q.png", 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0);
    ASSERT_NE(full, nullptr);
    ASSERT_EQ(full->GetLevelCount(), 7u);  // 64x32 down to 1x1
    const UINT widths[7] = {64, 32, 16, 8, 4, 2, 1}, heights[7] = {32, 16, 8, 4, 2, 1, 1};
    for (UINT level = 0; level < 7; ++level) {
        D3DSURFACE_DESC desc;
        full->GetLevelDesc(level, &desc);
        EXPECT_EQ(desc.Width, widths[level]);
        EXPECT_EQ(desc.Height, heights[level]);
    }
    // Down to 2x2 the quadrants stay whole.
    for (UINT level = 0; level < 5; ++level) {
        std::vector<uint32_t> texels = ReadLevel(full, level);
        const int w = int(widths[level]), h = int(heights[level]);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                EXPECT_EQ(texels[size_t(y) * size_t(w) + size_t(x)] | 0xFF000000u, Quadrants(x, y, w, h))
                    << "level " << level << " at " << x << "," << y;
    }
    // 2x1 averages the columns of the 4x2 level; 1x1 averages all four colours.
    std::vector<uint32_t> two = ReadLevel(full, 5);
    EXPECT_TRUE(ColorNear(two[0], Argb(255, 128, 0, 128), 1, false));   // red over blue
    EXPECT_TRUE(ColorNear(two[1], Argb(255, 128, 255, 128), 1, false)); // green over white
    EXPECT_TRUE(ColorNear(ReadLevel(full, 6)[0], Argb(255, 128, 128, 128), 1, false));
    full->Release();

    IDirect3DTexture9* three = LoadEx("q.png", 0, 0, 3, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0);
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(three->GetLevelCount(), 3u);
    three->Release();
    IDirect3DTexture9* one = LoadEx("q.png", 0, 0, D3DX_FROM_FILE, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                    D3DX_DEFAULT, 0);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->GetLevelCount(), 1u);
    one->Release();
}

TEST_F(TextureFileTest, EveryPoolHoldsTheImage) {
    WriteBytes("q.png", PngBytes(16, 16, false, [](int x, int y) { return Quadrants(x, y, 16, 16); }));
    for (D3DPOOL pool : {D3DPOOL_DEFAULT, D3DPOOL_MANAGED, D3DPOOL_SYSTEMMEM, D3DPOOL_SCRATCH}) {
        SCOPED_TRACE(int(pool));
        IDirect3DTexture9* texture = LoadEx("q.png", 0, 0, 0, D3DFMT_UNKNOWN, pool, D3DX_DEFAULT, D3DX_DEFAULT, 0);
        ASSERT_NE(texture, nullptr);
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Pool, pool);
        EXPECT_EQ(texture->GetLevelCount(), 5u);
        // Down to 2x2 the quadrants stay whole; the 1x1 level is their average.
        EXPECT_TRUE(ColorNear(Contents(texture, 4)[0], Argb(255, 128, 128, 128), 1, false));
        for (UINT level = 0; level < 4; ++level) {
            std::vector<uint32_t> texels = Contents(texture, level);
            const int n = 16 >> level;
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x)
                    EXPECT_EQ(texels[size_t(y * n + x)] | 0xFF000000u, Quadrants(x, y, n, n)) << "level " << level;
        }
        D3DLOCKED_RECT lr;
        const HRESULT lock = texture->LockRect(0, &lr, nullptr, D3DLOCK_READONLY);
        if (pool == D3DPOOL_DEFAULT) {
            EXPECT_EQ(lock, D3DERR_INVALIDCALL) << "default-pool textures do not lock";
        } else {
            EXPECT_EQ(lock, D3D_OK);
            texture->UnlockRect(0);
        }
        EXPECT_EQ(texture->Release(), 0u);
    }
}

// A default-pool texture larger than what is staged at a time holds every pixel where it belongs.
TEST_F(TextureFileTest, ADefaultPoolTextureIsFilledWhole) {
    auto pattern = [](int x, int y) { return Argb(255, x & 0xFF, y & 0xFF, (x >> 8) | (y >> 8) << 4); };
    WriteBytes("big.png", PngBytes(512, 384, false, pattern));
    IDirect3DTexture9* texture = LoadEx("big.png", D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, D3DFMT_UNKNOWN,
                                        D3DPOOL_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0);
    ASSERT_NE(texture, nullptr);
    const std::vector<uint32_t> texels = Contents(texture, 0);
    ASSERT_EQ(texels.size(), size_t(512 * 384));
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 512; ++x) ASSERT_EQ(texels[size_t(y * 512 + x)] | 0xFF000000u, pattern(x, y)) << x << "," << y;
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(TextureFileTest, FormatsFollowTheFileAndTheColourKey) {
    WriteBytes("rgb.png", PngBytes(4, 4, false, [](int, int) { return kRed; }));
    WriteBytes("rgba.png", PngBytes(4, 4, true, [](int, int) { return Argb(128, 0, 255, 0); }));
    WriteBytes("photo.jpg", JpegBytes(16, 16, [](int, int) { return Argb(255, 200, 100, 50); }));
    struct Case {
        const char* file;
        D3DFORMAT requested;
        D3DCOLOR key;
        D3DFORMAT expected;
    } cases[] = {
        {"rgb.png", D3DFMT_UNKNOWN, 0, D3DFMT_X8R8G8B8},
        {"rgb.png", D3DFMT_UNKNOWN, 0xFF000000, D3DFMT_A8R8G8B8},
        {"rgba.png", D3DFMT_UNKNOWN, 0, D3DFMT_A8R8G8B8},
        {"photo.jpg", D3DFMT_UNKNOWN, 0, D3DFMT_X8R8G8B8},
        {"rgb.png", D3DFMT_R5G6B5, 0, D3DFMT_R5G6B5},
        {"rgba.png", D3DFMT_A4R4G4B4, 0, D3DFMT_A4R4G4B4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(int(c.requested)));
        IDirect3DTexture9* texture = LoadEx(c.file, 0, 0, 1, c.requested, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, c.key);
        ASSERT_NE(texture, nullptr);
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Format, c.expected);
        texture->Release();
    }
    // The alpha of a PNG is kept; a JPEG's colours come through its compression closely.
    IDirect3DTexture9* alpha = LoadEx("rgba.png", 0, 0, 1, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(ReadLevel(alpha, 0)[5], Argb(128, 0, 255, 0));
    alpha->Release();
    IDirect3DTexture9* photo = LoadEx("photo.jpg", 0, 0, 1, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0);
    ASSERT_NE(photo, nullptr);
    EXPECT_TRUE(ColorNear(ReadLevel(photo, 0)[17], Argb(255, 200, 100, 50), 3, false));
    photo->Release();
    // A 16-bit texture holds the channels rounded to 5, 6 and 5 bits: red 255 stays full.
    IDirect3DTexture9* narrow = LoadEx("rgb.png", 0, 0, 1, D3DFMT_R5G6B5, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0);
    ASSERT_NE(narrow, nullptr);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(narrow->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(*static_cast<const uint16_t*>(lr.pBits), 0xF800);
    narrow->UnlockRect(0);
    narrow->Release();
}

TEST_F(TextureFileTest, ColourKeyMakesOpaqueBlackTransparentBeforeFiltering) {
    // Black dots on a grey 24-bit bitmap: the key 0xFF000000 matches them (a file without alpha
    // reads as opaque), and they become transparent black.
    auto dots = [](int x, int y) { return (x + y) % 3 == 0 ? Argb(255, 0, 0, 0) : Argb(255, 90, 90, 90); };
    WriteBytes("dots.bmp", BmpBytes(8, 8, 24, dots));
    IDirect3DTexture9* texture = LoadEx("dots.bmp", 0, 0, 1, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                        D3DX_DEFAULT, 0xFF000000);
    ASSERT_NE(texture, nullptr);
    std::vector<uint32_t> texels = ReadLevel(texture, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(texels[size_t(y * 8 + x)], (x + y) % 3 == 0 ? 0u : Argb(255, 90, 90, 90)) << x << "," << y;
    texture->Release();

    // A key without the alpha byte matches nothing in an opaque file.
    texture = LoadEx("dots.bmp", 0, 0, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0x00000001);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(ReadLevel(texture, 0)[0], Argb(255, 0, 0, 0));
    texture->Release();

    // In a file with alpha the key compares the alpha too.
    WriteBytes("alpha.png", PngBytes(2, 1, true, [](int x, int) { return x == 0 ? Argb(255, 0, 0, 0) : Argb(128, 0, 0, 0); }));
    texture = LoadEx("alpha.png", 0, 0, 1, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_DEFAULT, 0xFF000000);
    ASSERT_NE(texture, nullptr);
    texels = ReadLevel(texture, 0);
    EXPECT_EQ(texels[0], 0u);
    EXPECT_EQ(texels[1], Argb(128, 0, 0, 0));
    texture->Release();

    // Keyed before stretching: a 3x3 black-bordered image stretched to 4x4 blends the white
    // centre towards transparent, never towards opaque black.
    WriteBytes("frame.bmp", BmpBytes(3, 3, 24, [](int x, int y) { return x == 1 && y == 1 ? kWhite : Argb(255, 0, 0, 0); }));
    texture = LoadEx("frame.bmp", 0, 0, 1, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_LINEAR, D3DX_DEFAULT, 0xFF000000);
    ASSERT_NE(texture, nullptr);
    texels = ReadLevel(texture, 0);
    for (uint32_t t : texels) {
        // Colour and alpha fall together: straight interpolation of white and transparent black.
        EXPECT_EQ(Channel(t, 0), Channel(t, 3));
        EXPECT_EQ(Channel(t, 2), Channel(t, 3));
    }
    EXPECT_EQ(texels[0], 0u);
    EXPECT_GT(Channel(texels[5], 3), 0);
    texture->Release();
}

TEST_F(TextureFileTest, BitmapDepthsAndWindowsPaths) {
    const std::vector<uint32_t> palette = {kRed, kGreen, kBlue, kWhite};
    std::filesystem::create_directories("Immagini/Mouse");
    WriteBytes("Immagini/Mouse/cursore.bmp", BmpBytes(4, 2, 8, [](int x, int y) { return uint32_t((x + y) % 4); }, palette));
    WriteBytes("Immagini/argb.bmp", BmpBytes(2, 2, 32, [](int x, int) { return x ? Argb(255, 1, 2, 3) : Argb(255, 4, 5, 6); }));
    std::filesystem::create_directories("bin");
    std::filesystem::current_path("bin");
    // The game's own spelling: backslashes, a parent folder and another case.
    D3DXIMAGE_INFO info;
    IDirect3DTexture9* texture = LoadEx("..\\immagini\\MOUSE\\Cursore.BMP", 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT,
                                        D3DX_DEFAULT, D3DX_DEFAULT, 0xFF000000, &info);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(info.Format, D3DFMT_P8);
    std::vector<uint32_t> texels = Contents(texture, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(texels[size_t(y * 4 + x)], palette[size_t((x + y) % 4)]);
    texture->Release();
    texture = LoadEx("..\\Immagini\\argb.bmp", 0, 0, 1, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0);
    ASSERT_NE(texture, nullptr);
    texels = ReadLevel(texture, 0);
    EXPECT_EQ(texels[0] | 0xFF000000u, Argb(255, 4, 5, 6));
    EXPECT_EQ(texels[1] | 0xFF000000u, Argb(255, 1, 2, 3));
    texture->Release();
    std::filesystem::current_path(dir_);
}

TEST_F(TextureFileTest, MissingAndDamagedFilesFailCleanly) {
    const std::vector<uint8_t> good = PngBytes(8, 8, false, [](int, int) { return kRed; });
    WriteBytes("cut.png", std::vector<uint8_t>(good.begin(), good.begin() + long(good.size() / 2)));
    WriteBytes("text.png", {'h', 'e', 'l', 'l', 'o'});
    WriteBytes("empty.bmp", {});
    std::vector<uint8_t> bmp = BmpBytes(4, 4, 24, [](int, int) { return kRed; });
    bmp[18] = 0xFF, bmp[19] = 0xFF, bmp[20] = 0xFF, bmp[21] = 0x7F;  // width 2^31 - 1
    WriteBytes("huge.bmp", bmp);
    std::filesystem::create_directories("folder.png");

    for (const char* file : {"missing.png", "cut.png", "text.png", "empty.bmp", "huge.bmp", "folder.png"}) {
        SCOPED_TRACE(file);
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(uintptr_t(1));
        EXPECT_EQ(D3DXCreateTextureFromFileA(device_, file, &texture), D3DXERR_INVALIDDATA);
        EXPECT_EQ(texture, nullptr);
        D3DXIMAGE_INFO info;
        EXPECT_EQ(D3DXGetImageInfoFromFileA(file, &info), D3DXERR_INVALIDDATA);
    }
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, "cut.png", &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device_, nullptr, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device_, "cut.png", nullptr), D3DERR_INVALIDCALL);
    WriteBytes("ok.png", good);
    EXPECT_EQ(D3DXCreateTextureFromFileExA(device_, "ok.png", 0, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, 0x77,
                                           D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
              D3DERR_INVALIDCALL)
        << "unknown filter";
    EXPECT_EQ(texture, nullptr);
}

TEST_F(TextureFileTest, ImageInformationFromFiles) {
    WriteBytes("a.png", PngBytes(5, 7, true, [](int, int) { return kRed; }));
    WriteBytes("b.jpg", JpegBytes(9, 3, [](int, int) { return kRed; }));
    WriteBytes("c.bmp", BmpBytes(2, 6, 32, [](int, int) { return kRed; }));
    D3DXIMAGE_INFO info;
    ASSERT_EQ(D3DXGetImageInfoFromFileA("a.png", &info), D3D_OK);
    EXPECT_EQ(info.Width, 5u);
    EXPECT_EQ(info.Height, 7u);
    EXPECT_EQ(info.Depth, 1u);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
    ASSERT_EQ(D3DXGetImageInfoFromFileA("b.jpg", &info), D3D_OK);
    EXPECT_EQ(info.Width, 9u);
    EXPECT_EQ(info.Height, 3u);
    EXPECT_EQ(info.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_JPG);
    ASSERT_EQ(D3DXGetImageInfoFromFileA("c.bmp", &info), D3D_OK);
    EXPECT_EQ(info.Width, 2u);
    EXPECT_EQ(info.Height, 6u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);
    EXPECT_EQ(D3DXGetImageInfoFromFileA("a.png", nullptr), D3DERR_INVALIDCALL);
}

}  // namespace
