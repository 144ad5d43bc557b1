// The surface helpers, the bitmap alphabet and the console, fed with key presses through a window
// procedure and drawn on a real device.
#include "console.h"
#include "d3dinit.h"
#include "surface.h"
#include "test_window.h"

#include "platform/test_hooks.h"

#include <d3dx9.h>
#include <dinput.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

IDirect3DDevice9* g_pd3dDevice = NULL;

namespace {

namespace fs = std::filesystem;
constexpr const char* kAlphabet = "..\\Alfabeto\\Expo_16x32_DRESK.bmp";
constexpr DWORD kScene = 0xFF00FF00;  // what the console is drawn over

CConsole* g_pFed = nullptr;
std::vector<std::vector<std::string>> g_commands;  // word and parameters of each handled command
int g_handlerResult = 0;
bool g_handlerShutsDown = false;  // the handler shuts the fed console down

LRESULT CALLBACK ConsoleProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (g_pFed && m == WM_KEYDOWN) g_pFed->OnKeyDown(w);
    if (g_pFed && m == WM_CHAR) g_pFed->OnChar(char(w));
    return DefWindowProcA(h, m, w, l);
}

int Handler(CConsoleCommand* pCommand) {
    g_commands.push_back({pCommand->m_szCommand});
    for (int i = 0; i < pCommand->m_nParams; ++i) g_commands.back().push_back(pCommand->m_szParams[i]);
    if (g_handlerShutsDown) g_pFed->Shutdown();
    return g_handlerResult;
}

std::vector<DWORD> Pixels(IDirect3DSurface9* s) {
    D3DSURFACE_DESC d;
    s->GetDesc(&d);
    std::vector<DWORD> out(size_t(d.Width) * d.Height);
    D3DLOCKED_RECT lr;
    if (FAILED(s->LockRect(&lr, nullptr, D3DLOCK_READONLY))) return {};
    for (UINT y = 0; y < d.Height; ++y)
        std::memcpy(&out[size_t(y) * d.Width], (const BYTE*)lr.pBits + y * lr.Pitch, d.Width * 4);
    s->UnlockRect();
    return out;
}

DWORD Glyph(int x, int y) { return Pixels(g_pAlphabetSurface)[size_t(y) * g_AlphabetWidth + x]; }

// The images are found from a "bin" folder beside them, as the game finds them.
class ConsoleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const fs::path run = fs::path(CONSOLE_TEST_DIR) / "run";
        fs::remove_all(run);
        fs::create_directories(run / "bin");
        for (const char* dir : {"Alfabeto", "Immagini"}) fs::create_directory_symlink(fs::path(MORVANE_GAME_DIR) / dir, run / dir);
        fs::current_path(run / "bin");
        window_ = std::make_unique<testsupport::TestWindow>("ConsoleTest", 1024, 768, ConsoleProc);
        platform::hooks::InjectFocus(window_->Handle(), true);
        platform::hooks::ScriptMessageBoxAnswers({IDNO});
        ASSERT_EQ(InitD3D(&d3d_, &g_pd3dDevice, window_->Handle(), 0, 0), S_OK);
    }
    static void TearDownTestSuite() {
        UnloadAlphabet();
        g_pd3dDevice->Release();
        d3d_->Release();
        window_.reset();
    }
    void SetUp() override {
        ASSERT_EQ(LoadAlphabet(kAlphabet, 16, 32), S_OK);
        g_pd3dDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer_);
        g_commands.clear();
        g_handlerResult = 0;
        g_handlerShutsDown = false;
        g_LastConsoleChar = 0;
        ASSERT_EQ(console_.Init(g_pd3dDevice, backBuffer_), S_OK);
        console_.SetCommandHandler(Handler);
        g_pFed = &console_;
        Press(0);
    }
    void TearDown() override {
        g_pFed = nullptr;
        backBuffer_->Release();
    }
    // A key pressed and released through the platform's input, then the message loop.
    static void Press(int dik, bool shift = false) {
        if (shift) platform::hooks::InjectKey(DIK_LSHIFT, true);
        if (dik) platform::hooks::InjectKey(dik, true), platform::hooks::InjectKey(dik, false);
        if (shift) platform::hooks::InjectKey(DIK_LSHIFT, false);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    static void Type(const std::string& text) {
        static const std::string kRows[] = {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm"};
        static const int kFirst[] = {DIK_1, DIK_Q, DIK_A, DIK_Z};
        for (char c : text) {
            int dik = c == ' ' ? DIK_SPACE : c == ',' ? DIK_COMMA : c == '\t' ? DIK_TAB : 0;
            for (int r = 0; r < 4; ++r)
                if (kRows[r].find(char(tolower(c))) != std::string::npos) dik = kFirst[r] + int(kRows[r].find(char(tolower(c))));
            Press(dik, isupper(c));
        }
    }
    std::vector<DWORD> Frame(DWORD scene = kScene) {
        g_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET, scene, 1.0f, 0);
        console_.Render();
        return Pixels(backBuffer_);
    }
    std::vector<std::string> Lines() {
        std::vector<std::string> out;
        for (CConsoleLine* l = console_.m_pLines; l; l = l->GetNext()) out.push_back(l->m_szText);
        return out;
    }
    static bool Shown(const std::vector<DWORD>& screen, int y) { return (screen[size_t(y) * 1024 + 512] | 0xFF000000) != kScene; }

    static inline std::unique_ptr<testsupport::TestWindow> window_;
    static inline IDirect3D9* d3d_ = nullptr;
    IDirect3DSurface9* backBuffer_ = nullptr;
    CConsole console_;
};

TEST_F(ConsoleTest, BitmapsAndAlphabetsLoadOrLeaveNothing) {
    IDirect3DSurface9* s = nullptr;
    ASSERT_EQ(LoadBitmapToSurface(kAlphabet, &s, g_pd3dDevice), S_OK);
    D3DSURFACE_DESC d;
    s->GetDesc(&d);
    EXPECT_EQ(d.Width * 1000 + d.Height, 256192u);
    EXPECT_EQ(d.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(Pixels(s)[0], 0xFF000000u);  // black with the unused byte set: keys must skip it
    s->Release();
    platform::hooks::StartCapturingDebugOutput();
    EXPECT_EQ(LoadBitmapToSurface("none.bmp", &s, g_pd3dDevice), E_FAIL);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(LoadAlphabet("none.bmp", 16, 32), E_FAIL);
    EXPECT_EQ(platform::hooks::TakeDebugOutput(),
              (std::vector<std::string>{"ERROR: ", "Unable to load bitmap", "\n", "ERROR: ", "Unable to load bitmap", "\n",
                                        "ERROR: ", "Unable to load alphabet bitmap", "\n"}));
    platform::hooks::StopCapturingDebugOutput();

    IDirect3DSurface9* old = g_pAlphabetSurface;
    old->AddRef();
    for (auto cell : {std::pair{0, 32}, {16, -1}, {257, 32}, {16, 193}}) EXPECT_EQ(LoadAlphabet(kAlphabet, cell.first, cell.second), E_FAIL);
    EXPECT_EQ(g_pAlphabetSurface, old);
    // Cells of 16 x 64: 48 of them, so "z" (cell 90) has none; "A" (33) is at (16, 128).
    ASSERT_EQ(LoadAlphabet(kAlphabet, 16, 64), S_OK);
    EXPECT_EQ(old->Release(), 0u);
    DWORD cell[16 * 64] = {};
    PrintChar(0, 0, 'z', FALSE, 0, cell, 64, 16, 64);
    EXPECT_EQ(cell[20 * 16 + 8], 0u);
    PrintChar(0, 0, 'A', FALSE, 0, cell, 64, 16, 64);
    EXPECT_EQ(cell[40 * 16 + 5], Glyph(16 + 5, 128 + 40));
    UnloadAlphabet();
    EXPECT_EQ(g_AlphabetLoaded, 0);
}

TEST_F(ConsoleTest, WritesStayInsideTheBufferAndX8KeysMatchTheColourBits) {
    // A 40 x 40 buffer in a frame of guard pixels, 40 on each side.
    std::vector<DWORD> all(120 * 120, 0xDEADBEEF);
    DWORD* bits = &all[40 * 120 + 40];
    auto at = [&](int x, int y) -> DWORD& { return bits[y * 120 + x]; };
    RECT inner = {-9, -9, 99, 99}, three = {2, 3, 5, 4};
    FillRectangle(&inner, 0xFF123456, 480, bits, 40, 40);
    std::vector<DWORD> before = all;
    for (char c : {' ', '\x1F', '\xE0'}) PrintChar(0, 0, c, FALSE, 0, bits, 480, 40, 40);
    EXPECT_EQ(all, before);  // a space and codes without a cell draw nothing

    // "A" (cell 33, at (16, 64)) across all four edges.
    for (POINT p : {POINT{-8, -16}, POINT{32, -16}, POINT{-8, 24}, POINT{32, 24}}) PrintChar(p.x, p.y, 'A', FALSE, 0, bits, 480, 40, 40);
    PrintString(20, 10, "AAAA", FALSE, 0, bits, 480, 40, 40);
    EXPECT_EQ(at(0, 0), Glyph(16 + 8, 64 + 16));
    EXPECT_EQ(at(36, 10), Glyph(16 + 0, 64));  // the third character, 32 pixels on
    for (POINT p : {POINT{40, 0}, POINT{0, -1}, POINT{-1, 5}, POINT{5, 40}}) PutPixel(p.x, p.y, 7, 480, bits, 40, 40);
    FillRectangle(&three, 7, 480, bits, 40, 40);
    EXPECT_EQ(std::count(all.begin(), all.end(), 7u), 3);
    EXPECT_EQ(at(2, 3) & at(3, 3) & at(4, 3), 7u);
    EXPECT_EQ(std::count(all.begin(), all.end(), 0xDEADBEEF), 120 * 120 - 40 * 40);  // the guard is whole

    // Surface copies: cut to both surfaces, keyed on the colour bits of an X8 source.
    IDirect3DSurface9 *src, *dst, *narrow;
    g_pd3dDevice->CreateOffscreenPlainSurface(4, 4, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &src, nullptr);
    g_pd3dDevice->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &dst, nullptr);
    g_pd3dDevice->CreateOffscreenPlainSurface(8, 8, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM, &narrow, nullptr);
    D3DLOCKED_RECT lr;
    src->LockRect(&lr, nullptr, 0);
    for (int i = 0; i < 16; ++i) ((DWORD*)lr.pBits)[(i / 4) * (lr.Pitch / 4) + i % 4] = i == 0 ? 0xFF000000 : 0xFF0000FF;
    src->UnlockRect();
    POINT corner = {5, 5};
    EXPECT_EQ(CopySurfaceToSurface(nullptr, src, &corner, dst, TRUE, 0), S_OK);
    std::vector<DWORD> d = Pixels(dst);
    EXPECT_EQ(d[5 * 8 + 5], 0u);  // the black source pixel is keyed out
    EXPECT_EQ(d[7 * 8 + 7], 0xFF0000FFu);
    RECT block = {-2, 1, 3, 9};  // reaching past the source, placed above-left
    corner = {-1, -1};
    EXPECT_EQ(CopySurfaceToSurface(&block, src, &corner, dst, FALSE, 0), S_OK);
    d = Pixels(dst);
    EXPECT_EQ(d[1], 0xFF0000FFu);  // source (0, 2)
    EXPECT_EQ(d[0], 0u);
    EXPECT_EQ(CopySurfaceToSurface(nullptr, src, nullptr, narrow, FALSE, 0), E_FAIL);
    EXPECT_EQ(CopySurfaceToSurface(nullptr, nullptr, nullptr, dst, FALSE, 0), E_FAIL);
    src->Release(), dst->Release(), narrow->Release();
}

TEST_F(ConsoleTest, SlidesOpenAndShutAFrameAtATime) {
    EXPECT_EQ(Lines().size(), 12u);  // 384 / 32 lines, 11 shown
    EXPECT_EQ(console_.m_pInputLine->GetY() * 1000 + console_.m_pInputLine->GetNext()->GetY(), 347315);
    EXPECT_FALSE(Shown(Frame(), 0));
    Press(DIK_F11);
    for (int frame = 1; frame <= 39; ++frame) {
        std::vector<DWORD> screen = Frame();
        int slide = frame < 39 ? 384 - 10 * frame : 0;
        ASSERT_EQ(g_ConsoleSlideY, slide);  // the image's rows from here on show at the top
        ASSERT_TRUE(Shown(screen, 383 - slide) && !Shown(screen, 384 - slide)) << frame;
    }
    EXPECT_EQ(console_.m_SlideState, 2);
    Press(DIK_F11);
    int frames = 0;
    for (; console_.IsActive() && frames < 99; ++frames) Frame();
    EXPECT_EQ(frames, 39);
    EXPECT_FALSE(Shown(Frame(), 0));
    // Turned round while opening, and F11 while closing keeps closing.
    Press(DIK_F11);
    for (int i = 0; i < 5; ++i) Frame();
    Press(DIK_F11);
    Press(DIK_F11);
    for (frames = 0; console_.IsActive() && frames < 99; ++frames) Frame();
    EXPECT_EQ(frames, 5);
    // An image that cannot be locked skips the frame's drawing.
    Press(DIK_F11);
    D3DLOCKED_RECT lr;
    console_.m_pImageSurface->LockRect(&lr, nullptr, 0);
    EXPECT_FALSE(Shown(Frame(), 0));
    console_.m_pImageSurface->UnlockRect();
    EXPECT_TRUE(Shown(Frame(), 0));
}

TEST_F(ConsoleTest, TypedLinesGoToTheHandlerOnReturn) {
    Type("abc");  // closed: nothing taken
    Press(DIK_F11);
    Type("  Move, a ,b");  // spaces at the start of a line are refused
    g_handlerResult = -1;
    Press(DIK_RETURN);
    EXPECT_EQ(g_commands, (std::vector<std::vector<std::string>>{{"move", "a", "b"}}));
    Type("go\t\t");  // a tab is one space, and not after a space
    EXPECT_EQ(Lines()[0], "go ");
    Press(DIK_LEFT);
    Press(DIK_BACK);
    EXPECT_EQ(Lines()[0], "g");
    Press(DIK_LEFT), Press(DIK_LEFT);
    Press(DIK_RETURN);  // empty
    console_.m_pInputLine->SetText(" ");
    Press(DIK_RETURN);
    Type(",,");
    Press(DIK_RETURN);  // delimiters alone
    EXPECT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"", ",,", " ", "", "-- Unknown Command --", "Move, a ,b", "", "", "", "", "", ""}));

    g_handlerResult = 0;
    for (int i = 0; i < 300; ++i) Press(DIK_X);
    EXPECT_EQ(Lines()[0], std::string(255, 'x'));
    Press(DIK_RETURN);
    EXPECT_EQ(g_commands.back()[0], std::string(255, 'x'));
    for (int i = 0; i < 15; ++i) Type("line" + std::to_string(i)), Press(DIK_RETURN);
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 12u);
    for (int k = 1; k <= 10; ++k) EXPECT_EQ(lines[k], "line" + std::to_string(15 - k));
    int k = 0;
    for (CConsoleLine* l = console_.m_pLines; l->GetNext(); l = l->GetNext(), ++k) EXPECT_EQ(l->GetY(), 379 - (k + 1) * 32);
}

TEST_F(ConsoleTest, GlyphsShowOverTheBackgroundAndTheOpenConsoleIsSaved) {
    Press(DIK_F11);
    while (console_.m_SlideState != 2) Frame();
    Type("Hello Morvane");
    g_handlerResult = -1;
    Press(DIK_RETURN);
    Type("dir");
    std::vector<DWORD> screen = Frame(0xFF404850);
    const std::string shot = std::string(CONSOLE_TEST_DIR) + "/console_open.bmp";
    ASSERT_EQ(D3DXSaveSurfaceToFileA(shot.c_str(), D3DXIFF_BMP, backBuffer_, nullptr, nullptr), D3D_OK);
    g_pd3dDevice->Present(nullptr, nullptr, nullptr, nullptr);
    console_.Clear();
    std::vector<DWORD> background = Frame(0xFF404850);
    std::vector<DWORD> alphabet = Pixels(g_pAlphabetSurface);
    // "H" (cell 40) two lines above the input line, whose "d" (cell 68) is at y 347.
    for (auto g : {std::pair{POINT{128, 64}, 283}, {POINT{64, 128}, 347}}) {
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 16; ++x) {
                DWORD ink = alphabet[size_t(g.first.y + y) * 256 + g.first.x + x] & 0xFFFFFF;
                size_t i = size_t(g.second + y) * 1024 + 10 + x;
                ASSERT_EQ(screen[i] & 0xFFFFFF, ink ? ink : background[i] & 0xFFFFFF) << x << "," << y;
            }
    }
    EXPECT_GT(fs::file_size(shot), 1024u * 768 * 3);
}

TEST_F(ConsoleTest, InitRefusesWhatCannotMakeAConsoleAndInputBeforeItIsIgnored) {
    CConsole fresh;
    fresh.OnKeyDown(VK_F11);
    fresh.Print("before");
    EXPECT_FALSE(fresh.IsActive());
    EXPECT_EQ(fresh.Init(nullptr, backBuffer_), E_FAIL);
    EXPECT_EQ(fresh.Init(g_pd3dDevice, nullptr), E_FAIL);
    fresh.Print("failed");
    IDirect3DSurface9* small = nullptr;  // its upper half holds one line only
    g_pd3dDevice->CreateOffscreenPlainSurface(64, 127, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &small, nullptr);
    EXPECT_EQ(fresh.Init(g_pd3dDevice, small), E_FAIL);
    small->Release();
    UnloadAlphabet();
    EXPECT_EQ(fresh.Init(g_pd3dDevice, backBuffer_), E_FAIL);
    ASSERT_EQ(LoadAlphabet(kAlphabet, 16, 32), S_OK);
    EXPECT_EQ(fresh.Init(g_pd3dDevice, backBuffer_), S_OK);

    // The first set is let go: its surfaces are released, the device and the target held once.
    auto refs = [](IUnknown* u) { return u->AddRef(), u->Release(); };
    IDirect3DSurface9* first[] = {fresh.m_pImageSurface, fresh.m_pBackgroundSurface};
    for (IDirect3DSurface9* s : first) s->AddRef();
    const ULONG device = refs(g_pd3dDevice), target = refs(backBuffer_);
    EXPECT_EQ(fresh.Init(g_pd3dDevice, backBuffer_), S_OK);
    for (IDirect3DSurface9* s : first) EXPECT_EQ(s->Release(), 0u);
    EXPECT_EQ(refs(g_pd3dDevice), device);
    EXPECT_EQ(refs(backBuffer_), target);

    fresh.Shutdown();
    fresh.OnKeyDown(VK_F11);
    fresh.Print("after");
    EXPECT_FALSE(fresh.IsActive());
    fs::rename("../Immagini", "../Immagini.away");
    EXPECT_EQ(fresh.Init(g_pd3dDevice, backBuffer_), E_FAIL);
    fs::rename("../Immagini.away", "../Immagini");
    EXPECT_EQ(fresh.m_pDevice, nullptr);
    fresh.Print("failed again");
    EXPECT_EQ(fresh.m_pLines, nullptr);

    // A handler that shuts the console down and does not know the command: nothing to print on.
    Press(DIK_F11);
    Type("quit");
    g_handlerShutsDown = true;
    g_handlerResult = -1;
    Press(DIK_RETURN);
    EXPECT_EQ(g_commands, (std::vector<std::vector<std::string>>{{"quit"}}));
    EXPECT_EQ(console_.m_pLines, nullptr);

    // No line: nothing is parsed, not even what the last line left to the tokenizer.
    std::string line = "a";
    for (int i = 0; i < 30; ++i) line += " p" + std::to_string(i);
    CConsoleCommand all, none;
    console_.ParseCommand(line.data(), &all);
    EXPECT_EQ(all.m_nParams, 25);
    console_.ParseCommand(nullptr, &none);
    EXPECT_EQ(none.m_szCommand, nullptr);
    EXPECT_EQ(none.m_nParams, 0);
}

}  // namespace
