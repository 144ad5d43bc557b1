// Every image the game loads goes through D3DX and GDI the way the game loads it.
#include "d3dx_fixture.h"

#include "../assets/game_files.h"
#include "common/image.h"

#include <filesystem>

namespace {

using namespace d3dxtest;
using GameImagesTest = D3DXTest;

TEST_F(GameImagesTest, LoadAsTheGameLoadsThem) {
    for (const assets_test::ImageFile& file : assets_test::GameImages()) {
        SCOPED_TRACE(file.path);
        const std::string path = assets_test::GamePath(file.path);
        ASSERT_TRUE(std::filesystem::exists(path));
        D3DXIMAGE_INFO info;
        ASSERT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3D_OK);
        EXPECT_EQ(info.Width, UINT(file.width));
        EXPECT_EQ(info.Height, UINT(file.height));

        // The GUI images and the cursor: default pool, opaque black keyed out; the splash
        // screens and the squares: the plain call.
        IDirect3DTexture9* texture = nullptr;
        if (file.keyed) {
            ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, path.c_str(), 0, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT,
                                                   D3DX_DEFAULT, D3DX_DEFAULT, 0xFF000000, nullptr, nullptr, &texture),
                      D3D_OK);
        } else {
            ASSERT_EQ(D3DXCreateTextureFromFileA(device_, path.c_str(), &texture), D3D_OK);
        }
        D3DSURFACE_DESC desc;
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Width, platform::image::NextPowerOfTwo(UINT(file.width)));
        EXPECT_EQ(desc.Height, platform::image::NextPowerOfTwo(UINT(file.height)));
        EXPECT_EQ(desc.Format, file.keyed ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8);
        EXPECT_EQ(desc.Pool, file.keyed ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED);
        EXPECT_EQ(texture->Release(), 0u);

        // Bitmaps also load through GDI, as the console's loader reads their size.
        if (file.kind == art::FileKind::Bmp) {
            HANDLE bitmap = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
            ASSERT_NE(bitmap, nullptr);
            BITMAP bm;
            ASSERT_EQ(GetObjectA(bitmap, sizeof bm, &bm), int(sizeof bm));
            EXPECT_EQ(bm.bmWidth, file.width);
            EXPECT_EQ(bm.bmHeight, file.height);
            EXPECT_EQ(bm.bmBitsPixel, file.bits);
            EXPECT_TRUE(DeleteObject(bitmap));
        }
    }
}

}  // namespace
