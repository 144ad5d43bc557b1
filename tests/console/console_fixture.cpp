#include "console_fixture.h"

#include "d3dinit.h"
#include "surface.h"
#include "test_window.h"

#include "platform/test_hooks.h"

#include <dinput.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>

IDirect3DDevice9* g_pd3dDevice = NULL;

namespace consoletest {

CConsole* g_pFedConsole = nullptr;

namespace {

std::unique_ptr<testsupport::TestWindow> g_window;
IDirect3D9* g_d3d = nullptr;
std::filesystem::path g_oldDir;

LRESULT CALLBACK ConsoleProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (g_pFedConsole && m == WM_KEYDOWN) g_pFedConsole->OnKeyDown(w);
    if (g_pFedConsole && m == WM_CHAR) g_pFedConsole->OnChar(char(w));
    return DefWindowProcA(h, m, w, l);
}

int DikOf(char c) {
    static const char* const kRows[] = {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm"};
    static const int kFirst[] = {DIK_1, DIK_Q, DIK_A, DIK_Z};
    for (int r = 0; r < 4; ++r)
        if (const char* at = std::strchr(kRows[r], std::tolower(c))) return kFirst[r] + int(at - kRows[r]);
    switch (c) {
    case ' ': return DIK_SPACE;
    case ',': return DIK_COMMA;
    case '.': return DIK_PERIOD;
    case '-': return DIK_MINUS;
    case '\t': return DIK_TAB;
    default: return 0;
    }
}

}  // namespace

void DeviceTest::SetUpTestSuite() {
    // The images are reached from a "bin" folder beside them, as the game does.
    const std::filesystem::path run = std::filesystem::path(CONSOLE_TEST_DIR) / "run";
    std::filesystem::remove_all(run);
    std::filesystem::create_directories(run / "bin");
    for (const char* folder : {"Alfabeto", "Immagini"})
        std::filesystem::create_directory_symlink(std::filesystem::path(MORVANE_GAME_DIR) / folder, run / folder);
    g_oldDir = std::filesystem::current_path();
    std::filesystem::current_path(run / "bin");

    g_window = std::make_unique<testsupport::TestWindow>("ConsoleTest", 1024, 768, ConsoleProc);
    platform::hooks::InjectFocus(g_window->Handle(), true);
    platform::hooks::ScriptMessageBoxAnswers({IDNO});
    ASSERT_EQ(InitD3D(&g_d3d, &g_pd3dDevice, g_window->Handle(), 0, 0), S_OK);
}

void DeviceTest::TearDownTestSuite() {
    UnloadAlphabet();
    if (g_pd3dDevice) g_pd3dDevice->Release();
    g_pd3dDevice = NULL;
    if (g_d3d) g_d3d->Release();
    g_d3d = nullptr;
    g_window.reset();
    std::filesystem::current_path(g_oldDir);
}

void DeviceTest::SetUp() {
    ASSERT_NE(g_pd3dDevice, nullptr);
    ASSERT_EQ(LoadAlphabet(kAlphabetFile, 16, 32), S_OK);
    ASSERT_EQ(g_pd3dDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer_), D3D_OK);
    PumpMessages();
}

void DeviceTest::TearDown() {
    g_pFedConsole = nullptr;
    if (backBuffer_) backBuffer_->Release();
}

void DeviceTest::PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void DeviceTest::Press(int dik, bool shift) {
    if (shift) platform::hooks::InjectKey(DIK_LSHIFT, true);
    platform::hooks::InjectKey(dik, true);
    platform::hooks::InjectKey(dik, false);
    if (shift) platform::hooks::InjectKey(DIK_LSHIFT, false);
    PumpMessages();
}

void DeviceTest::Type(const char* text) {
    for (const char* c = text; *c; ++c) {
        int dik = DikOf(*c);
        ASSERT_NE(dik, 0) << "no key for " << *c;
        Press(dik, std::isupper(static_cast<unsigned char>(*c)) != 0);
    }
}

std::vector<DWORD> DeviceTest::ReadSurface(IDirect3DSurface9* surface) {
    D3DSURFACE_DESC desc;
    surface->GetDesc(&desc);
    std::vector<DWORD> pixels(size_t(desc.Width) * desc.Height);
    D3DLOCKED_RECT locked;
    if (FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return {};
    for (UINT y = 0; y < desc.Height; ++y)
        std::memcpy(&pixels[size_t(y) * desc.Width], static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch,
                    desc.Width * 4);
    surface->UnlockRect();
    return pixels;
}

}  // namespace consoletest
