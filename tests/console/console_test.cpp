// The console fed with real key presses through a window procedure, drawn on a real device.
#include "console_fixture.h"
#include "surface.h"

#include <d3dx9.h>
#include <dinput.h>

#include <filesystem>
#include <string>

namespace consoletest {
namespace {

struct Command {
    std::string word;
    std::vector<std::string> params;
};
std::vector<Command> g_commands;
int g_handlerResult = 0;

int RecordCommand(CConsoleCommand* pCommand) {
    Command c{pCommand->m_szCommand, {}};
    for (int i = 0; i < pCommand->m_nParams; ++i) c.params.push_back(pCommand->m_szParams[i]);
    g_commands.push_back(c);
    return g_handlerResult;
}

constexpr DWORD kScene = 0xFF00FF00;  // what the console draws over

class ConsoleTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        g_commands.clear();
        g_handlerResult = 0;
        g_LastConsoleChar = 0;
        ASSERT_EQ(console_.Init(g_pd3dDevice, backBuffer_), S_OK);
        console_.SetCommandHandler(RecordCommand);
        g_pFedConsole = &console_;
    }
    // One frame: the scene, then the console over it; the back buffer's pixels.
    std::vector<DWORD> Frame(DWORD scene = kScene) {
        g_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET, scene, 1.0f, 0);
        console_.Render();
        return ReadSurface(backBuffer_);
    }
    void OpenFully() {
        Press(DIK_F11);
        while (console_.m_SlideState != 2) Frame();
    }
    // The texts of the lines from the newest (the input line) on.
    std::vector<std::string> Lines() {
        std::vector<std::string> out;
        for (CConsoleLine* l = console_.m_pLines; l; l = l->GetNext()) out.push_back(l->m_szText);
        return out;
    }
    std::string Input() { return console_.m_pInputLine->m_szText; }

    CConsole console_;
};

// Whether screen row y at column x shows the console rather than the scene.
bool Shown(const std::vector<DWORD>& screen, int y) { return (screen[size_t(y) * 1024 + 512] | 0xFF000000) != kScene; }

TEST_F(ConsoleTest, SlidesOpenAndShutAFrameAtATime) {
    EXPECT_EQ(console_.m_Width, 1024);
    EXPECT_EQ(console_.m_Height, 384);
    EXPECT_EQ(Lines().size(), 12u);
    EXPECT_EQ(console_.m_pInputLine->GetY(), 347);
    EXPECT_EQ(console_.m_pInputLine->GetNext()->GetY(), 315);

    EXPECT_FALSE(Shown(Frame(), 0));  // closed: nothing drawn
    Press(DIK_F11);
    ASSERT_TRUE(console_.IsActive());
    for (int frame = 1; frame <= 39; ++frame) {
        std::vector<DWORD> screen = Frame();
        int slide = frame < 39 ? 384 - 10 * frame : 0;
        ASSERT_EQ(g_ConsoleSlideY, slide);
        // The image's rows from the slide position on show at the top of the screen.
        EXPECT_TRUE(Shown(screen, 383 - slide)) << frame;
        EXPECT_FALSE(Shown(screen, 384 - slide)) << frame;
        EXPECT_EQ(console_.m_SlideState, frame < 39 ? 1 : 2);
    }
    Press(DIK_F11);
    int frames = 0;
    while (console_.IsActive() && frames < 100) {
        Frame();
        ++frames;
    }
    EXPECT_EQ(frames, 39);
    EXPECT_EQ(g_ConsoleSlideY, 384);
    EXPECT_FALSE(Shown(Frame(), 0));

    // F11 twice: opening turns round and closes from where it stood.
    Press(DIK_F11);
    for (int i = 0; i < 5; ++i) Frame();
    EXPECT_EQ(g_ConsoleSlideY, 334);
    Press(DIK_F11);
    Press(DIK_F11);  // while closing, F11 keeps closing
    for (frames = 0; console_.IsActive() && frames < 100; ++frames) Frame();
    EXPECT_EQ(frames, 5);

    // An image surface that cannot be locked skips the frame's drawing.
    Press(DIK_F11);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(console_.m_pImageSurface->LockRect(&lr, nullptr, 0), D3D_OK);
    EXPECT_FALSE(Shown(Frame(), 0));
    console_.m_pImageSurface->UnlockRect();
    EXPECT_TRUE(Shown(Frame(), 0));
}

TEST_F(ConsoleTest, TypedLinesGoToTheHandlerOnReturn) {
    Type("abc");
    EXPECT_EQ(Input(), "");  // closed: keys are not taken
    Press(DIK_F11);
    Type("  Move, a ,b");  // spaces at the start of a line are refused
    EXPECT_EQ(Input(), "Move, a ,b");
    g_handlerResult = -1;
    Press(DIK_RETURN);
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0].word, "move");
    EXPECT_EQ(g_commands[0].params, (std::vector<std::string>{"a", "b"}));
    std::vector<std::string> lines = Lines();
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "-- Unknown Command --");
    EXPECT_EQ(lines[2], "Move, a ,b");
    EXPECT_EQ(console_.m_pInputLine->GetNext()->GetNext()->GetY(), 283);

    // Tab is a space, and only after something other than a space.
    Type("go\t\t");
    EXPECT_EQ(Input(), "go ");
    Press(DIK_LEFT);  // the left arrow deletes, as does backspace
    EXPECT_EQ(Input(), "go");
    Press(DIK_BACK);
    EXPECT_EQ(Input(), "g");
    Press(DIK_LEFT);
    Press(DIK_LEFT);
    EXPECT_EQ(Input(), "");

    // Empty lines, a single space and delimiters alone call no handler but still move up.
    Press(DIK_RETURN);
    console_.m_pInputLine->SetText(" ");
    Press(DIK_RETURN);
    Type("x,");
    Press(DIK_LEFT);
    Press(DIK_LEFT);
    Type(",,");
    Press(DIK_RETURN);
    EXPECT_EQ(g_commands.size(), 1u);
    lines = Lines();
    EXPECT_EQ(lines[1], ",,");
    EXPECT_EQ(lines[2], " ");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "-- Unknown Command --");
}

TEST_F(ConsoleTest, InputStopsAt255CharactersAndOldLinesScrollAway) {
    Press(DIK_F11);
    for (int i = 0; i < 300; ++i) Press(DIK_X);
    EXPECT_EQ(Input(), std::string(255, 'x'));
    Press(DIK_RETURN);
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0].word, std::string(255, 'x'));

    for (int i = 0; i < 15; ++i) {
        Type(("line" + std::to_string(i)).c_str());
        Press(DIK_RETURN);
    }
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 12u);
    for (int k = 1; k <= 10; ++k) EXPECT_EQ(lines[k], "line" + std::to_string(15 - k));
    int k = 0;
    for (CConsoleLine* l = console_.m_pLines; l->GetNext(); l = l->GetNext(), ++k)
        EXPECT_EQ(l->GetY(), 384 - 5 - (k + 1) * 32);
}

TEST_F(ConsoleTest, GlyphsShowOverTheBackgroundAndTheOpenConsoleIsSaved) {
    OpenFully();
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
    std::vector<DWORD> alphabet = ReadSurface(g_pAlphabetSurface);

    // "H" (cell 40: column 8, row 2) of the typed line at x 10, two lines above the input line,
    // whose "d" (cell 68) is at y 347.
    struct { int cellX, cellY, x, y; } glyphs[] = {{128, 64, 10, 283}, {64, 128, 10, 347}};
    for (const auto& g : glyphs) {
        int ink = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 16; ++x) {
                DWORD a = alphabet[size_t(g.cellY + y) * 256 + g.cellX + x] & 0xFFFFFF;
                size_t at = size_t(g.y + y) * 1024 + g.x + x;
                ink += a != 0;
                EXPECT_EQ(screen[at] & 0xFFFFFF, a ? a : background[at] & 0xFFFFFF) << x << "," << y;
            }
        }
        EXPECT_GT(ink, 20);
    }

    // The saved picture holds the same text.
    IDirect3DSurface9* saved = nullptr;
    ASSERT_EQ(LoadBitmapToSurface(shot.c_str(), &saved, g_pd3dDevice), S_OK);
    std::vector<DWORD> pixels = ReadSurface(saved);
    saved->Release();
    ASSERT_EQ(pixels.size(), screen.size());
    for (size_t at : {size_t(300) * 1024 + 17, size_t(360) * 1024 + 20, size_t(100) * 1024 + 600})
        EXPECT_EQ(pixels[at] & 0xFFFFFF, screen[at] & 0xFFFFFF);
}

TEST_F(ConsoleTest, InitRefusesWhatCannotMakeAConsoleAndInputBeforeItIsIgnored) {
    CConsole fresh;
    fresh.OnKeyDown(VK_F11);
    fresh.OnChar('a');
    fresh.OnKeyDown(VK_RETURN);
    EXPECT_FALSE(fresh.IsActive());
    fresh.Render();

    EXPECT_EQ(fresh.Init(nullptr, backBuffer_), E_FAIL);
    EXPECT_EQ(fresh.Init(g_pd3dDevice, nullptr), E_FAIL);
    UnloadAlphabet();
    EXPECT_EQ(fresh.Init(g_pd3dDevice, backBuffer_), E_FAIL);
    ASSERT_EQ(LoadAlphabet(kAlphabetFile, 16, 32), S_OK);

    // A target whose upper half holds fewer than two lines.
    IDirect3DSurface9* small = nullptr;
    ASSERT_EQ(g_pd3dDevice->CreateOffscreenPlainSurface(64, 127, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &small, nullptr), D3D_OK);
    EXPECT_EQ(fresh.Init(g_pd3dDevice, small), E_FAIL);
    small->Release();
    ASSERT_EQ(g_pd3dDevice->CreateOffscreenPlainSurface(64, 128, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &small, nullptr), D3D_OK);
    EXPECT_EQ(fresh.Init(g_pd3dDevice, small), S_OK);
    EXPECT_EQ(fresh.Init(g_pd3dDevice, small), S_OK);  // again: the first set is let go
    EXPECT_EQ(fresh.m_pLines->GetNext()->GetNext(), nullptr);
    small->Release();
    fresh.Shutdown();
    fresh.OnKeyDown(VK_F11);
    EXPECT_FALSE(fresh.IsActive());

    // A missing background image.
    std::filesystem::rename("../Immagini", "../Immagini.away");
    EXPECT_EQ(fresh.Init(g_pd3dDevice, backBuffer_), E_FAIL);
    std::filesystem::rename("../Immagini.away", "../Immagini");
    EXPECT_EQ(fresh.m_pDevice, nullptr);
}

}  // namespace
}  // namespace consoletest
