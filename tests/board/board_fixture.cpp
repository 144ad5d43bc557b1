#include "board_fixture.h"

#include "d3dinit.h"
#include "display.h"
#include "input.h"
#include "log.h"
#include "platform/test_hooks.h"
#include "winmain.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <new>

namespace boardtest {

void BoardTest::SetUp() {
    static int counter = 0;
    run_ = std::filesystem::path(BOARD_TEST_SCRATCH) /
           ("run_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(run_ / "bin");
    const std::filesystem::path game(MORVANE_GAME_DIR);
    std::filesystem::create_directory_symlink(game / "Data", run_ / "Data");
    std::filesystem::create_directory_symlink(game / "Immagini", run_ / "Immagini");
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(run_ / "bin");

    window_ = std::make_unique<testsupport::TestWindow>("BoardTest");
    g_hWnd = window_->Handle();
    g_hInstance = GetModuleHandleA(nullptr);
    platform::hooks::InjectFocus(g_hWnd, true);
    platform::hooks::ScriptMessageBoxAnswers({IDNO});
    ASSERT_EQ(InitD3D(&g_pD3D, &g_pd3dDevice, g_hWnd, 0, 0), S_OK);
    ResetGameState();
    // Input, the log, the text font and the menu's buttons, which live on into the board screen.
    ASSERT_EQ(InitMenu(g_hWnd), 1);
    ASSERT_NE(g_pDI, nullptr);
    ASSERT_NE(g_pLogFile, nullptr);
    ASSERT_NE(g_StartButton.pTextureNormal, nullptr);
}

// The game's state as the program starts: an earlier test in this process may have changed it.
void BoardTest::ResetGameState() {
    g_WinWidth = 1024;
    g_WinHeight = 768;
    g_DeckCount = 5;
    g_HandCount = 0;
    for (int i = 0; i < NUM_CARDS; i++) {
        g_CardDrawn[i] = 0;
        g_CardState[i] = 0;
        g_HandSlotOfCard[i] = NO_HAND_SLOT;
        CCard& card = g_Cards[i];
        card.Character.~CFrame();
        new (&card.Character) CFrame();
        card.nSquare = 0;
        card.nMovement = 0;
    }
    for (int j = 0; j < HAND_SLOTS; j++) {
        g_HandSlotFree[j] = 0;
        g_HandSlotX[j] = 0.0f;
    }
    for (int i = 0; i < NUM_SQUARES; i++) {
        g_SquareOccupied[i] = 0;
        g_Squares[i].~CFrame();
        new (&g_Squares[i]) CFrame();
    }
    g_Background.~CFrame();
    new (&g_Background) CFrame();
    g_Camera.~CCamera();
    new (&g_Camera) CCamera();
    g_Mouse.m_X = g_Mouse.m_Y = 0;
    memset(&g_Mouse.m_State, 0, sizeof(g_Mouse.m_State));
    g_DrawnCard = -1;
    g_LastDeckClick = 0;
    g_DeckClickDelta = 0;
    g_TargetSquare = -1;
    g_MovingCard = -1;
    g_HoveredCard = 0;
    g_bPlacing = g_bMoving = g_bExitWindowShown = g_bShowDescription = 0;
    g_LightX = 0.0f;
    g_LightY = 20.0f;
    g_LightZ = 10.0f;
    g_MouseX = g_MouseY = 0;
    g_FrameTime = g_FrameEndTime = g_FrameMs = 0;
    g_CameraStep = 0.0f;
    g_SquareCounter = 0;
    g_BoardRow = 0;
    g_bLeftButtonHeld = g_bLeftPress = 0;
    g_bBoardReleased = 0;
    g_hrCooperative = D3D_OK;
}

void BoardTest::Load() {
    ASSERT_EQ(LoadBoard(g_hWnd), 1);
    loaded_ = true;
}

void BoardTest::TearDown() {
    platform::hooks::SetFakeClock(-1);
    ReleaseMenu();
    ReleaseBoard();
    // The game keeps its cursor to the end of the process; the next test makes its own.
    g_Mouse.ReleaseCursor();
    if (g_pd3dDevice) {
        g_pd3dDevice->Release();
        g_pd3dDevice = nullptr;
    }
    if (g_pD3D) {
        g_pD3D->Release();
        g_pD3D = nullptr;
    }
    CloseLogFile();
    window_.reset();
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(run_);
}

void BoardTest::Pump() {
    MSG msg;
    for (int i = 0; i < 200 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Where point p of a node's space shows on the back buffer, with this frame's transforms.
static POINT Project(const D3DXVECTOR3& p, const D3DXMATRIX& world) {
    D3DXMATRIX view, proj;
    g_pd3dDevice->GetTransform(D3DTS_VIEW, &view);
    g_pd3dDevice->GetTransform(D3DTS_PROJECTION, &proj);
    D3DVIEWPORT9 vp;
    g_pd3dDevice->GetViewport(&vp);
    D3DXVECTOR3 out;
    D3DXVec3Project(&out, &p, &vp, &proj, &view, &world);
    POINT pt = {(LONG)out.x, (LONG)out.y};
    return pt;
}

POINT BoardTest::SquareOnScreen(int i) {
    CFrame& sq = g_Squares[i];
    sq.UpdateWorldMatrix();
    // The middle of the square's top, in the square's own space.
    D3DXVECTOR3 centre = (sq.vBoxMin + sq.vBoxMax) * 0.5f;
    centre.y = sq.vBoxMax.y;
    return Project(centre, sq.matWorld);
}

POINT BoardTest::CharacterOnScreen(int c) {
    CFrame& ch = g_Cards[c].Character;
    ch.UpdateWorldMatrix();
    return Project((ch.vBoxMin + ch.vBoxMax) * 0.5f, ch.matWorld);
}

std::string BoardTest::ReadLog() {
    if (g_pLogFile) fflush(g_pLogFile);
    std::ifstream in("D3D.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

D3DCOLOR BoardTest::BackBufferPixel(int x, int y) {
    IDirect3DSurface9* bb = nullptr;
    if (FAILED(g_pd3dDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb))) return 0;
    D3DLOCKED_RECT lr;
    D3DCOLOR c = 0;
    if (SUCCEEDED(bb->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
        c = *(const D3DCOLOR*)((const BYTE*)lr.pBits + y * lr.Pitch + x * 4);
        bb->UnlockRect();
    }
    bb->Release();
    return c;
}

}  // namespace boardtest
