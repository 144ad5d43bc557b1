// The game's own three models: loaded as the board loads them and drawn in a board scene seen
// from the game's camera, with the character's stencil shadow. The picture is saved for a person
// to look at: game_scene.bmp in this test's build folder.
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "camera.h"
#include "frame.h"
#include "game_passes.h"
#include "meshcontainer.h"
#include "scene_fixture.h"
#include "shadowvolume.h"

namespace {

class GameModels : public scenetest::DeviceTest {
protected:
    GameModels() : scenetest::DeviceTest(1024, 768) {}

    void SetUp() override {
        scenetest::DeviceTest::SetUp();
        // The game runs from its bin folder and finds its data at "..\Data\".
        old_ = std::filesystem::current_path();
        std::filesystem::create_directories(std::string(MORVANE_GAME_DIR) + "/bin");
        std::filesystem::current_path(std::string(MORVANE_GAME_DIR) + "/bin");
    }
    void TearDown() override {
        for (int i = 0; i < 64; i++) {
            squares_[i].RemoveMeshes();
            delete squareMeshes_[i];
        }
        background_.RemoveMeshes();
        character_.RemoveMeshes();
        delete backgroundMesh_;
        delete characterMesh_;
        for (IDirect3DTexture9* t : {blue_, red_})
            if (t) t->Release();
        std::filesystem::current_path(old_);
        scenetest::DeviceTest::TearDown();
    }

    // The board as the game loads it: squares in a grid, the background, the dwarf.
    void LoadBoard() {
        for (int i = 0; i < 64; i++) {
            ASSERT_EQ(LoadMesh(&squareMeshes_[i], device_, "..\\Data\\casella.x", "..\\Data\\", 0, D3DXMESH_SYSTEMMEM),
                      S_OK);
            squares_[i].AddMesh(squareMeshes_[i]);
            squares_[i].ComputeBounds(squareMeshes_[i]);
        }
        float x, y, z;
        for (int i = 1; i < 64; i++) {
            if (i % 8 == 0) {
                squares_[i - 8].GetPosition(&x, &y, &z);
                squares_[i].SetPosition(x, y, z - squares_[i - 1].fDepth);
            } else {
                squares_[i - 1].GetPosition(&x, &y, &z);
                squares_[i].SetPosition(x - squares_[i - 1].fWidth, y, z);
            }
        }
        w0_ = squares_[0].fWidth;
        d0_ = squares_[0].fDepth;
        ASSERT_EQ(LoadMesh(&backgroundMesh_, device_, "..\\Data\\Background\\Background.x", "..\\Data\\BackGround\\", 0,
                           D3DXMESH_SYSTEMMEM),
                  S_OK);
        background_.AddMesh(backgroundMesh_);
        background_.ScaleMesh(backgroundMesh_, 0.1f);
        background_.SetPosition(-w0_ * 8 / 2, -1.0f, -d0_ * 8 / 2);
        ASSERT_EQ(LoadMesh(&characterMesh_, device_, "..\\Data\\nano_guerriero\\nano_guerriero.x",
                           "..\\Data\\nano_guerriero\\", 0, D3DXMESH_SYSTEMMEM),
                  S_OK);
        character_.AddMesh(characterMesh_);
        character_.ScaleMesh(characterMesh_, 4.0f);
        character_.ComputeBounds(characterMesh_);
        ASSERT_EQ(D3DXCreateTextureFromFileA(device_, "..\\Data\\blue.PNG", &blue_), D3D_OK);
        ASSERT_EQ(D3DXCreateTextureFromFileA(device_, "..\\Data\\red.PNG", &red_), D3D_OK);
    }

    // The device as the game sets it up, the light, and the camera aimed as on the board screen.
    void SetUpView() {
        D3DXMatrixPerspectiveFovLH(&proj_, 0.7853982f, 1024.0f / 768.0f, 1.0f, 10000.0f);
        device_->SetTransform(D3DTS_PROJECTION, &proj_);
        D3DMATERIAL9 white = {};
        white.Diffuse.r = white.Diffuse.g = white.Diffuse.b = white.Diffuse.a = 1.0f;
        white.Ambient = white.Diffuse;
        device_->SetMaterial(&white);
        device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device_->SetRenderState(D3DRS_LIGHTING, TRUE);
        device_->SetRenderState(D3DRS_AMBIENT, 0xFFFAE6E6);

        light_ = D3DXVECTOR3(80 - w0_ * 4, 100, 350 - d0_ * 4);
        D3DLIGHT9 light = {};
        light.Type = D3DLIGHT_POINT;
        light.Diffuse.r = light.Diffuse.g = light.Diffuse.b = 1.0f;
        light.Position = light_;
        D3DXVECTOR3 dir;
        D3DXVec3Normalize(&dir, &light_);
        light.Direction = dir;
        light.Range = 1000.0f;
        light.Attenuation0 = 0.9f;
        device_->SetLight(0, &light);
        device_->LightEnable(0, TRUE);

        camera_.SetPosition(-w0_ * 8 / 2 + 50.0f, 4.0f * 150.0f, -d0_ + 2.0f * 150.0f);
        D3DXVECTOR3 eye, look, right, up(0, -1, 0);
        camera_.GetPosition(&eye.x, &eye.y, &eye.z);
        D3DXVECTOR3 target(eye.x, eye.y - 2.0f * 150.0f, eye.z - 150.0f), toTarget = target - eye;
        D3DXVec3Normalize(&look, &toTarget);
        camera_.SetLook(look.x, look.y + 0.2f, look.z);
        D3DXVec3Cross(&right, &up, &look);
        D3DXVec3Normalize(&right, &right);
        camera_.SetRight(right.x, right.y, right.z);
        D3DXVec3Cross(&up, &right, &look);
        D3DXVec3Normalize(&up, &up);
        camera_.SetUp(up.x, up.y, up.z);
        camera_.Update();
        view_ = camera_.m_matView;
    }

    // One board pass: the checkerboard, the background, the dwarf and its shadow.
    void DrawBoard(bool withCharacter, bool withShadow) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0),
                  D3D_OK);
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        for (int i = 0; i < 64; i++) {
            device_->SetTexture(0, (i / 8 + i % 8) % 2 == 0 ? blue_ : red_);
            squares_[i].Render(false);
        }
        background_.Render(true);
        if (withCharacter) {
            D3DXMATRIX inverse;
            D3DXMatrixInverse(&inverse, nullptr, &character_.matWorld);
            D3DXVECTOR3 light;
            D3DXVec3TransformCoord(&light, &light_, &inverse);
            volume_->Reset();
            EXPECT_EQ(volume_->BuildFromMesh(characterMesh_->MeshData.pMesh, light), S_OK);
            character_.Render(true);
            if (withShadow) {
                scenetest::RenderShadowVolume(device_, volume_.get(), character_.matWorld);
                scenetest::DrawShadow(device_, 1024.0f, 768.0f);
            }
        }
        ASSERT_EQ(device_->EndScene(), D3D_OK);
    }

    POINT Project(const D3DXVECTOR3& p) {
        D3DXMATRIX vp = view_ * proj_;
        D3DXVECTOR3 out;
        D3DXVec3TransformCoord(&out, &p, &vp);
        POINT pt = {LONG((out.x + 1) * 512.0f), LONG((1 - out.y) * 384.0f)};
        return pt;
    }
    D3DXVECTOR3 SquareCentre(int i) {
        float x, y, z;
        squares_[i].GetPosition(&x, &y, &z);
        D3DXVECTOR3 c = (squares_[i].vBoxMin + squares_[i].vBoxMax) * 0.5f;
        return D3DXVECTOR3(x + c.x, y + squares_[i].vBoxMax.y, z + c.z);
    }

    std::filesystem::path old_;
    CFrame squares_[64];
    CMeshContainerEx* squareMeshes_[64] = {};
    CFrame background_, character_;
    CMeshContainerEx* backgroundMesh_ = nullptr;
    CMeshContainerEx* characterMesh_ = nullptr;
    IDirect3DTexture9* blue_ = nullptr;
    IDirect3DTexture9* red_ = nullptr;
    std::unique_ptr<CShadowVolume> volume_ = std::make_unique<CShadowVolume>();
    CCamera camera_;
    D3DXMATRIX view_, proj_;
    D3DXVECTOR3 light_;
    float w0_ = 0, d0_ = 0;
};

TEST_F(GameModels, TheThreeModelsLoadAsTheBoardNeedsThem) {
    LoadBoard();
    ASSERT_FALSE(HasFatalFailure());

    ID3DXMesh* dwarf = characterMesh_->MeshData.pMesh;
    EXPECT_EQ(dwarf->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
    EXPECT_EQ(dwarf->GetNumBytesPerVertex(), 32u);
    EXPECT_EQ(dwarf->GetOptions() & D3DXMESH_32BIT, 0u);
    EXPECT_GT(dwarf->GetNumFaces(), 100u);
    ASSERT_GE(characterMesh_->NumMaterials, 1u);
    for (DWORD i = 0; i < characterMesh_->NumMaterials; i++)
        EXPECT_NE(characterMesh_->ppTextures[i], nullptr) << "dwarf material " << i;
    for (DWORD i = 0; i < backgroundMesh_->NumMaterials; i++)
        EXPECT_NE(backgroundMesh_->ppTextures[i], nullptr) << "background material " << i;
    EXPECT_STREQ(characterMesh_->Name, "..\\Data\\nano_guerriero\\nano_guerriero.x");

    // The squares' size spaces the grid.
    EXPECT_GT(w0_, 0.0f);
    EXPECT_GT(d0_, 0.0f);
    float x, y, z;
    squares_[7].GetPosition(&x, &y, &z);
    EXPECT_FLOAT_EQ(x, -7 * w0_);
    squares_[63].GetPosition(&x, &y, &z);
    EXPECT_NEAR(x, -7 * w0_, 1e-3f);
    EXPECT_NEAR(z, -7 * d0_, 1e-3f);
    for (int i = 1; i < 64; i++) EXPECT_EQ(squares_[i].nId, squares_[0].nId + i);
    EXPECT_EQ(character_.nId, squares_[0].nId + 64);
    // The dwarf was scaled before its bounds were taken.
    EXPECT_GT(character_.fHeight, 8.0f);
}

TEST_F(GameModels, TheBoardDrawsFromTheGamesCameraWithTheDwarfAndItsShadow) {
    LoadBoard();
    ASSERT_FALSE(HasFatalFailure());
    SetUpView();
    D3DXVECTOR3 spot = SquareCentre(18);
    character_.SetPosition(spot.x, character_.fHeight / 4.0f, spot.z);
    character_.UpdateWorldMatrix();

    DrawBoard(false, false);
    std::vector<DWORD> board = Pixels();
    DrawBoard(true, false);
    std::vector<DWORD> withDwarf = Pixels();
    DrawBoard(true, true);
    std::vector<DWORD> withShadow = Pixels();

    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    const std::string shot = std::string(SCENE_TEST_OUTPUT) + "/game_scene.bmp";
    EXPECT_EQ(D3DXSaveSurfaceToFileA(shot.c_str(), D3DXIFF_BMP, back, nullptr, nullptr), D3D_OK);
    back->Release();

    // The checkerboard: square 0 blue, its neighbours red, under the game's camera.
    auto channel = [](DWORD c, int shift) { return int((c >> shift) & 0xFF); };
    for (int i : {0, 1, 8, 9, 27, 36}) {
        POINT p = Project(SquareCentre(i));
        ASSERT_TRUE(p.x >= 0 && p.x < 1024 && p.y >= 0 && p.y < 768) << "square " << i << " is off screen";
        DWORD c = board[size_t(p.y) * 1024 + p.x];
        bool blue = (i / 8 + i % 8) % 2 == 0;
        if (blue)
            EXPECT_GT(channel(c, 0), channel(c, 16) + 40) << "square " << i << std::hex << " 0x" << c;
        else
            EXPECT_GT(channel(c, 16), channel(c, 0) + 40) << "square " << i << std::hex << " 0x" << c;
    }

    // The dwarf covers the square it stands on, from its feet up.
    float x, y, z;
    character_.GetPosition(&x, &y, &z);
    POINT body = Project(D3DXVECTOR3(x, y + character_.vSphereCentre.y, z));
    EXPECT_NE(withDwarf[size_t(body.y) * 1024 + body.x], board[size_t(body.y) * 1024 + body.x]);
    int changed = 0;
    for (size_t i = 0; i < board.size(); i++)
        if (withDwarf[i] != board[i]) changed++;
    EXPECT_GT(changed, 500);

    // The shadow only darkens, and darkens something.
    int darker = 0, brighter = 0;
    for (size_t i = 0; i < board.size(); i++) {
        int before = channel(withDwarf[i], 8), after = channel(withShadow[i], 8);
        if (after < before - 10) darker++;
        if (after > before + 2) brighter++;
    }
    EXPECT_GT(darker, 200);
    EXPECT_EQ(brighter, 0);
}

}  // namespace
