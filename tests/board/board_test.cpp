// The loaded board, its drawing, picking, the camera's height and the recovery of a lost device.
#include "board_fixture.h"

#include "display.h"
#include "input.h"
#include "platform/test_hooks.h"
#include "winmain.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace boardtest {
namespace {

using platform::hooks::SetFakeClock;

TEST_F(BoardTest, BeforeLoadingNoSlotIsFreeAndNoCardIsInPlay) {
    for (int j = 0; j < HAND_SLOTS; j++) EXPECT_EQ(g_HandSlotFree[j], 0);
    for (int i = 0; i < NUM_CARDS; i++) EXPECT_EQ(g_CardState[i], 0);
    EXPECT_EQ(g_DeckCount, 5);
    // Releasing a board that was never loaded is harmless.
    ReleaseBoard();
    EXPECT_EQ(g_pFont, nullptr);
}

TEST_F(BoardTest, TheLayoutAt1024x768) {
    Load();
    EXPECT_FLOAT_EQ(g_ExitButton.fX, 890.0f);
    EXPECT_FLOAT_EQ(g_ExitButton.fY, 7.0f);
    EXPECT_FLOAT_EQ(g_ExitWindow.fX, 256.0f);
    EXPECT_FLOAT_EQ(g_ExitWindow.fY, 192.0f);
    ASSERT_NE(g_ExitWindow.pChildren, nullptr);
    EXPECT_FLOAT_EQ(g_ExitWindow.pChildren[0].fX, 450.0f);
    EXPECT_FLOAT_EQ(g_ExitWindow.pChildren[0].fY, 344.0f);
    EXPECT_FLOAT_EQ(g_ExitWindow.pChildren[1].fY, 464.0f);
    EXPECT_FLOAT_EQ(g_GuiBar.fY, 975.0f);
    EXPECT_NEAR(g_DescriptionBox.fY, 725.76f, 1e-3f);
    EXPECT_FLOAT_EQ(g_Deck.fX, 890.0f);
    EXPECT_FLOAT_EQ(g_Deck.fY, 844.0f);
    const float slots[HAND_SLOTS] = {104.448f, 200.704f, 297.984f, 396.288f, 492.544f};
    for (int j = 0; j < HAND_SLOTS; j++) EXPECT_NEAR(g_HandSlotX[j], slots[j], 1e-3f) << j;
}

TEST_F(BoardTest, TheSquaresFormAGridFromTheOrigin) {
    Load();
    const float w = g_Squares[0].fWidth, d = g_Squares[0].fDepth;
    ASSERT_GT(w, 0.0f);
    ASSERT_GT(d, 0.0f);
    for (int i = 0; i < NUM_SQUARES; i++) {
        float x, y, z;
        g_Squares[i].GetPosition(&x, &y, &z);
        EXPECT_NEAR(x, -(i % 8) * w, 1e-3f) << i;
        EXPECT_NEAR(z, -(i / 8) * d, 1e-3f) << i;
        EXPECT_EQ(g_Squares[i].pMeshList, g_pSquareMeshes[i]);
        ASSERT_NE(g_pSquareMeshes[i], nullptr);
        EXPECT_EQ(g_pSquareMeshes[i]->pFrameNext, nullptr) << "one container per square";
    }
    float x, y, z;
    g_Background.GetPosition(&x, &y, &z);
    EXPECT_NEAR(x, -4 * w, 1e-3f);
    EXPECT_FLOAT_EQ(y, -1.0f);
    EXPECT_NEAR(z, -4 * d, 1e-3f);
    g_Camera.GetPosition(&x, &y, &z);
    EXPECT_NEAR(x, -4 * w + 50, 1e-3f);
    EXPECT_FLOAT_EQ(y, 600.0f);
    EXPECT_NEAR(z, -d + 300, 1e-3f);
}

TEST_F(BoardTest, AReleaseAndReloadLeavesOneContainerPerNode) {
    Load();
    ReleaseBoard();
    for (int i = 0; i < NUM_SQUARES; i++) EXPECT_EQ(g_Squares[i].pMeshList, nullptr);
    EXPECT_EQ(g_Background.pMeshList, nullptr);
    EXPECT_EQ(g_Cards[0].Character.pMeshList, nullptr);
    EXPECT_EQ(g_ExitWindow.pChildren, nullptr);
    Load();
    for (int i = 0; i < NUM_SQUARES; i++) {
        ASSERT_EQ(g_Squares[i].pMeshList, g_pSquareMeshes[i]);
        EXPECT_EQ(g_pSquareMeshes[i]->pFrameNext, nullptr);
    }
    EXPECT_EQ(g_Background.pMeshList, g_pBackgroundMesh);
    EXPECT_EQ(g_pBackgroundMesh->pFrameNext, nullptr);
    EXPECT_EQ(g_Cards[0].Character.pMeshList, g_Cards[0].pCharacterMesh);
    EXPECT_EQ(g_Cards[0].pCharacterMesh->pFrameNext, nullptr);
    // The window stands where it did at the first load.
    EXPECT_FLOAT_EQ(g_ExitWindow.fX, 256.0f);
    EXPECT_FLOAT_EQ(g_ExitWindow.fY, 192.0f);
}

// A frame of the game screen, with the cursor at back-buffer point pt.
static void FrameWithCursorAt(POINT pt) {
    g_MouseX = pt.x;
    g_MouseY = pt.y;
    RenderGame();
}

// The left button as the next poll sees it.
static void SetLeftButton(bool down) {
    platform::hooks::InjectMouseButton(0, down);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    g_Mouse.Update();
}

TEST_F(BoardTest, PickingFindsTheSquareUnderTheCursorWhereverTheWindowStands) {
    Load();
    FrameWithCursorAt(POINT{0, 0});  // sets the view and the squares' world matrices
    // The cursor is in back-buffer pixels: the window's place on the screen plays no part.
    MoveWindow(g_hWnd, 150, 100, 1024, 768, TRUE);
    Pump();
    for (int i : {0, 9, 27, 63}) {
        const POINT pt = SquareOnScreen(i);
        g_MouseX = pt.x;
        g_MouseY = pt.y;
        EXPECT_TRUE(PickMesh(g_pSquareMeshes[i], &g_Squares[i].matWorld)) << i;
        // A square far from i on the board is not hit.
        const int far = (i + 36) % 64;
        EXPECT_FALSE(PickMesh(g_pSquareMeshes[far], &g_Squares[far].matWorld)) << i << " " << far;
    }
    EXPECT_FALSE(PickMesh(nullptr, &g_Squares[0].matWorld));
}

TEST_F(BoardTest, TheCameraRisesAndSinksAtPointThreeUnitsPerMillisecond) {
    Load();
    Pump();
    g_FrameMs = 20;
    float x0, y0, z0, x, y, z;
    g_Camera.GetPosition(&x0, &y0, &z0);
    platform::hooks::InjectKey(DIK_Z, true);
    Pump();
    UpdateCamera();
    g_Camera.GetPosition(&x, &y, &z);
    EXPECT_NEAR(y - y0, 6.0f, 1e-3f);
    EXPECT_FLOAT_EQ(x, x0);
    EXPECT_FLOAT_EQ(z, z0);
    platform::hooks::InjectKey(DIK_A, true);
    Pump();
    UpdateCamera();  // both held: Z wins
    g_Camera.GetPosition(&x, &y, &z);
    EXPECT_NEAR(y - y0, 12.0f, 1e-3f);
    platform::hooks::InjectKey(DIK_Z, false);
    Pump();
    UpdateCamera();
    g_Camera.GetPosition(&x, &y, &z);
    EXPECT_NEAR(y - y0, 6.0f, 1e-3f);
    platform::hooks::InjectKey(DIK_A, false);
    Pump();
    g_FrameMs = 0;
    UpdateCamera();
    g_Camera.GetPosition(&x, &y, &z);
    EXPECT_NEAR(y - y0, 6.0f, 1e-3f);
    // The aim is the same whatever the height: look, right and up as re-orthonormalised.
    float lx, ly, lz;
    g_Camera.GetLook(&lx, &ly, &lz);
    EXPECT_NEAR(lx, 0.0f, 1e-4f);
    EXPECT_NEAR(ly, -0.840740f, 1e-4f);
    EXPECT_NEAR(lz, -0.541439f, 1e-4f);
}

static bool Bluish(D3DCOLOR c) { return (c & 0xFF) > ((c >> 16) & 0xFF) + 40; }
static bool Reddish(D3DCOLOR c) { return ((c >> 16) & 0xFF) > (c & 0xFF) + 40; }

TEST_F(BoardTest, TheBoardFrameShowsTheCheckerboard) {
    Load();
    FrameWithCursorAt(POINT{0, 0});
    FrameWithCursorAt(POINT{0, 0});
    for (int i : {0, 1, 8, 9, 27, 28, 63}) {
        const POINT pt = SquareOnScreen(i);
        const D3DCOLOR c = BackBufferPixel(pt.x, pt.y);
        const bool blue = ((i / 8) + (i % 8)) % 2 == 0;
        char text[64];
        snprintf(text, sizeof text, "square %d at (%d, %d): %08X", i, (int)pt.x, (int)pt.y, (unsigned)c);
        if (blue)
            EXPECT_TRUE(Bluish(c)) << text;
        else
            EXPECT_TRUE(Reddish(c)) << text;
    }
}

TEST_F(BoardTest, APressOnAFrontSquarePlacesTheDwarfAndAHeldButtonDoesNot) {
    Load();
    FrameWithCursorAt(POINT{0, 0});
    g_CardState[0] = 1;
    g_bPlacing = 1;
    // A square beyond the first two rows is not offered; the press held onto a front square
    // chooses nothing either.
    SetLeftButton(true);
    FrameWithCursorAt(SquareOnScreen(20));
    FrameWithCursorAt(SquareOnScreen(10));
    EXPECT_EQ(g_bPlacing, 1);
    EXPECT_EQ(g_SquareOccupied[20] + g_SquareOccupied[10], 0);
    SetLeftButton(false);
    FrameWithCursorAt(SquareOnScreen(10));
    SetLeftButton(true);
    FrameWithCursorAt(SquareOnScreen(10));
    EXPECT_EQ(g_bPlacing, 0);
    EXPECT_EQ(g_SquareOccupied[10], 1);
    EXPECT_EQ(g_CardState[0], 2);
    EXPECT_EQ(g_Cards[0].nSquare, 10);
    EXPECT_EQ(g_TargetSquare, -1);
    float x, y, z, sx, sy, sz;
    g_Cards[0].Character.GetPosition(&x, &y, &z);
    g_Squares[10].GetPosition(&sx, &sy, &sz);
    EXPECT_FLOAT_EQ(x, sx);
    EXPECT_FLOAT_EQ(z, sz);
    EXPECT_FLOAT_EQ(y, g_Cards[0].Character.fHeight / 4.0f);
    SetLeftButton(false);
}

TEST_F(BoardTest, AHeldClickOnTheDwarfSelectsItOnceAndANewPressMovesItTwoRows) {
    Load();
    FrameWithCursorAt(POINT{0, 0});
    g_CardState[0] = 1;
    g_bPlacing = 1;
    SetLeftButton(true);
    FrameWithCursorAt(SquareOnScreen(1));
    ASSERT_EQ(g_Cards[0].nSquare, 1);
    SetLeftButton(false);
    FrameWithCursorAt(POINT{0, 0});
    // Held over the dwarf for many frames: one selection, no square behind it is taken.
    const POINT dwarf = CharacterOnScreen(0);
    FrameWithCursorAt(dwarf);
    SetLeftButton(true);
    for (int k = 0; k < 10; k++) {
        FrameWithCursorAt(dwarf);
        ApplyCardRules();
    }
    EXPECT_EQ(g_bMoving, 1);
    EXPECT_EQ(g_TargetSquare, -1);
    for (int i = 0; i < NUM_SQUARES; i++) EXPECT_EQ(g_SquareOccupied[i], i == 1) << i;
    SetLeftButton(false);
    FrameWithCursorAt(SquareOnScreen(17));
    SetLeftButton(true);
    FrameWithCursorAt(SquareOnScreen(17));
    ApplyCardRules();
    EXPECT_EQ(g_bMoving, 0);
    EXPECT_EQ(g_Cards[0].nSquare, 17);
    for (int i = 0; i < NUM_SQUARES; i++) EXPECT_EQ(g_SquareOccupied[i], i == 17) << i;
    // The press that moved it does not select it again on its new square.
    FrameWithCursorAt(CharacterOnScreen(0));
    EXPECT_EQ(g_bMoving, 0);
    EXPECT_EQ(g_Cards[0].Character.bSelectedForMove, 0);
    SetLeftButton(false);
}

static std::string State(D3DRENDERSTATETYPE state, DWORD value) {
    return "SetRenderState(" + std::to_string((int)state) + ", " + std::to_string((long long)value) + ")";
}

TEST_F(BoardTest, TheShadowPassesCountBothFacesAndLeaveCountClockwiseCulling) {
    Load();
    g_pShadowVolume->Reset();
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 1.0f, 2.0f, 3.0f);
    platform::hooks::StartD3DTrace();
    RenderShadowVolume(world);
    std::vector<std::string> calls;
    for (const auto& c : platform::hooks::TakeD3DTrace()) calls.push_back(c.ToString());
    platform::hooks::StopD3DTrace();
    auto at = [&](const std::string& s) {
        for (size_t k = 0; k < calls.size(); k++)
            if (calls[k] == s) return (int)k;
        return -1;
    };
    const int incr = at(State(D3DRS_STENCILPASS, D3DSTENCILOP_INCR));
    const int ccw = at(State(D3DRS_CULLMODE, D3DCULL_CCW));
    const int cw = at(State(D3DRS_CULLMODE, D3DCULL_CW));
    const int decr = at(State(D3DRS_STENCILPASS, D3DSTENCILOP_DECR));
    ASSERT_GE(incr, 0);
    ASSERT_GT(ccw, incr);
    ASSERT_GT(cw, ccw);
    ASSERT_GT(decr, cw);
    EXPECT_EQ(calls.back(), State(D3DRS_ALPHABLENDENABLE, FALSE));
    EXPECT_EQ(calls[calls.size() - 2], State(D3DRS_STENCILENABLE, FALSE));
    EXPECT_EQ(calls[calls.size() - 4], State(D3DRS_CULLMODE, D3DCULL_CCW));
    EXPECT_EQ(calls.front(), State(D3DRS_ZWRITEENABLE, FALSE));
    DWORD cull = 0;
    g_pd3dDevice->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(cull, DWORD(D3DCULL_CCW));

    platform::hooks::StartD3DTrace();
    DrawShadow();
    calls.clear();
    for (const auto& c : platform::hooks::TakeD3DTrace()) calls.push_back(c.ToString());
    platform::hooks::StopD3DTrace();
    EXPECT_GE(at(State(D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL)), 0);
    bool drawn = false;
    for (const auto& c : calls) drawn = drawn || c.rfind("DrawPrimitive(", 0) == 0;
    EXPECT_TRUE(drawn) << "the quad is drawn";
    EXPECT_EQ(calls.back(), State(D3DRS_ALPHABLENDENABLE, FALSE));
}

class RecoveryTest : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        Load();
        SetFakeClock(5000);
    }
    // A game under way: the dwarf drawn into slot 0 and placed on square 3, card 2 in slot 1.
    static void PlayTwoCards() {
        g_DeckCount = 3;
        g_HandCount = 1;
        g_CardDrawn[0] = g_CardDrawn[2] = 1;
        g_CardState[0] = 2;
        g_HandSlotFree[0] = 1;
        g_HandSlotFree[1] = 0;
        g_HandSlotOfCard[2] = 1;
        g_Cards[2].Image.SetPosition(g_HandSlotX[1], g_GuiBar.GetY() + 0.5f);
        g_Squares[3].GetPosition(&g_PosX, &g_PosY, &g_PosZ);
        g_Cards[0].Character.SetPosition(g_PosX, 5.0f, g_PosZ);
        g_Cards[0].nSquare = 3;
        g_SquareOccupied[3] = 1;
    }
    static void ExpectTwoCardsInPlay() {
        EXPECT_EQ(g_DeckCount, 3);
        EXPECT_EQ(g_HandCount, 1);
        for (int i = 0; i < NUM_CARDS; i++) {
            EXPECT_EQ(g_CardDrawn[i], i == 0 || i == 2) << i;
            EXPECT_EQ(g_CardState[i], i == 0 ? 2 : 0) << i;
            EXPECT_EQ(g_HandSlotOfCard[i], i == 2 ? 1 : NO_HAND_SLOT) << i;
        }
        for (int j = 0; j < HAND_SLOTS; j++) EXPECT_EQ(g_HandSlotFree[j], j != 1) << j;
        EXPECT_FLOAT_EQ(g_Cards[2].Image.fX, g_HandSlotX[1]);
        EXPECT_FLOAT_EQ(g_Cards[2].Image.fY, g_GuiBar.GetY() + 0.5f);
        EXPECT_EQ(g_Cards[0].nSquare, 3);
        for (int i = 0; i < NUM_SQUARES; i++) EXPECT_EQ(g_SquareOccupied[i], i == 3) << i;
        float x, y, z;
        g_Squares[3].GetPosition(&g_PosX, &g_PosY, &g_PosZ);
        g_Cards[0].Character.GetPosition(&x, &y, &z);
        EXPECT_FLOAT_EQ(x, g_PosX);
        EXPECT_FLOAT_EQ(y, 5.0f);
        EXPECT_FLOAT_EQ(z, g_PosZ);
        ASSERT_NE(g_Cards[0].pCharacterMesh, nullptr);
        EXPECT_EQ(g_Cards[0].Character.pMeshList, g_Cards[0].pCharacterMesh);
    }
    // The device states the game draws with: projection, light and ambient.
    static void ExpectBoardStates(float aspect) {
        D3DXMATRIX proj;
        g_pd3dDevice->GetTransform(D3DTS_PROJECTION, &proj);
        EXPECT_NEAR(proj._22, 1.0f / tanf(0.7853982f / 2), 1e-4f);
        EXPECT_NEAR(proj._11, proj._22 / aspect, 1e-4f);
        BOOL on = FALSE;
        g_pd3dDevice->GetLightEnable(0, &on);
        EXPECT_TRUE(on);
        D3DLIGHT9 light;
        g_pd3dDevice->GetLight(0, &light);
        EXPECT_EQ(light.Type, D3DLIGHT_POINT);
        EXPECT_FLOAT_EQ(light.Range, 1000.0f);
        DWORD value = 0;
        g_pd3dDevice->GetRenderState(D3DRS_AMBIENT, &value);
        EXPECT_EQ(value, 0xFFFAE6E6u);
        g_pd3dDevice->GetRenderState(D3DRS_LIGHTING, &value);
        EXPECT_EQ(value, DWORD(TRUE));
    }
};

TEST_F(RecoveryTest, ALostDeviceIsWaitedForThenRebuiltWithTheBoardsStates) {
    PlayTwoCards();
    ASSERT_TRUE(platform::hooks::LoseDevice(g_pd3dDevice));
    GameFrame();
    EXPECT_EQ(g_hrCooperative, D3DERR_DEVICELOST);
    EXPECT_NE(g_pSquareMeshes[0], nullptr) << "the board stays while the device is lost";
    ASSERT_TRUE(platform::hooks::RegainDevice(g_pd3dDevice));
    // The plain reset is refused while the default-pool images of the board and the menu live:
    // the rebuild releases both before its own reset.
    GameFrame();
    EXPECT_EQ(g_hrCooperative, D3DERR_DEVICENOTRESET);
    EXPECT_EQ(g_pd3dDevice->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(g_StartButton.pTextureOver, nullptr);
    EXPECT_EQ(g_MenuExitButton.pSprite, nullptr);
    EXPECT_EQ(g_WinWidth, 1024);
    ExpectTwoCardsInPlay();
    ExpectBoardStates(1024.0f / 768.0f);
}

TEST_F(RecoveryTest, ARebuildThatCannotResetTriesAgainAtTheNextFrame) {
    PlayTwoCards();
    // An image of the default pool that the game does not know keeps every reset refused.
    IDirect3DTexture9* held = nullptr;
    ASSERT_EQ(g_pd3dDevice->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &held, nullptr), D3D_OK);
    ASSERT_TRUE(platform::hooks::LoseDevice(g_pd3dDevice));
    ASSERT_TRUE(platform::hooks::RegainDevice(g_pd3dDevice));
    const auto start = std::chrono::steady_clock::now();
    GameFrame();
    GameFrame();
    // Each refused attempt is followed by half a second's pause, as a lost device is waited for.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(g_pd3dDevice->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(g_pSquareMeshes[0], nullptr) << "no board is loaded on a device that is not reset";
    EXPECT_EQ(g_ExitWindow.pChildren, nullptr);
    held->Release();
    GameFrame();
    EXPECT_EQ(g_pd3dDevice->TestCooperativeLevel(), D3D_OK);
    EXPECT_NE(g_pSquareMeshes[0], nullptr);
    ExpectTwoCardsInPlay();
}

TEST_F(RecoveryTest, ARebuildFollowsTheSettingsFileAndKeepsTheGame) {
    PlayTwoCards();
    FILE* f = fopen("options.txt", "w");
    ASSERT_NE(f, nullptr);
    fputs("WinWidth 800\nWinHeight 600\nWindowed TRUE\n", f);
    fclose(f);
    ASSERT_TRUE(platform::hooks::LoseDevice(g_pd3dDevice));
    ASSERT_TRUE(platform::hooks::RegainDevice(g_pd3dDevice));
    GameFrame();
    EXPECT_EQ(g_pd3dDevice->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(g_WinWidth, 800);
    EXPECT_EQ(g_WinHeight, 600);
    IDirect3DSurface9* bb = nullptr;
    ASSERT_EQ(g_pd3dDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);
    D3DSURFACE_DESC desc;
    bb->GetDesc(&desc);
    bb->Release();
    EXPECT_EQ(desc.Width, 800u);
    EXPECT_EQ(desc.Height, 600u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    // The reloaded board follows the new size.
    EXPECT_FLOAT_EQ(g_ExitButton.fX, 696.0f);
    EXPECT_FLOAT_EQ(g_ExitButton.fY, 6.0f);
    EXPECT_FLOAT_EQ(g_ExitWindow.pChildren[0].fY, 260.0f);
    EXPECT_FLOAT_EQ(g_ExitWindow.pChildren[1].fY, 380.0f);
    EXPECT_FLOAT_EQ(g_GuiBar.fY, 762.0f);
    EXPECT_FLOAT_EQ(g_DescriptionBox.fY, 567.0f);
    EXPECT_FLOAT_EQ(g_Deck.fY, 660.0f);
    EXPECT_NEAR(g_HandSlotX[4], 384.8f, 1e-3f);
    for (int i = 0; i < NUM_SQUARES; i++) ASSERT_EQ(g_Squares[i].pMeshList, g_pSquareMeshes[i]);
    EXPECT_NE(g_pFont, nullptr) << "the text font is made again";
    EXPECT_NE(g_Mouse.m_pSprite, nullptr) << "and the cursor";
    ExpectTwoCardsInPlay();
    ExpectBoardStates(800.0f / 600.0f);
    // The game goes on: the next frames draw and poll without trouble.
    GameFrame();
    GameFrame();
    EXPECT_EQ(g_pd3dDevice->TestCooperativeLevel(), D3D_OK);
}

}  // namespace
}  // namespace boardtest
