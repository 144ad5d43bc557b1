// LoadBoard and ReleaseBoard on a real device, with the game's own files, as the loading screen
// runs them. Run under a display (xvfb-run for Mesa's llvmpipe).
#include "board.h"
#include "screens.h"
#include "d3dinit.h"
#include "display.h"
#include "input.h"
#include "log.h"
#include "platform/test_hooks.h"
#include "winmain.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// A scratch game folder (bin/ beside links to the assets) and the game's device, made once.
struct Game {
    std::filesystem::path run, old;
    bool ready = false;

    Game() {
        const std::filesystem::path assets(MORVANE_GAME_DIR);
        run = std::filesystem::temp_directory_path() / ("morvane_board_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(run / "bin");
        std::filesystem::create_directory_symlink(assets / "Data", run / "Data");
        std::filesystem::create_directory_symlink(assets / "Immagini", run / "Immagini");
        old = std::filesystem::current_path();
        std::filesystem::current_path(run / "bin");

        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "BoardBench";
        RegisterClassExA(&wc);
        g_hWnd = CreateWindowExA(0, "BoardBench", "bench", WS_OVERLAPPED | WS_CAPTION, 0, 0, 1024, 768, nullptr,
                                 nullptr, nullptr, nullptr);
        if (!g_hWnd) return;
        ShowWindow(g_hWnd, SW_SHOWNORMAL);
        g_hInstance = GetModuleHandleA(nullptr);
        platform::hooks::ScriptMessageBoxAnswers({IDNO});  // windowed
        ready = InitD3D(&g_pD3D, &g_pd3dDevice, g_hWnd, 0, 0) == S_OK && InitDirectInput() == S_OK && OpenLogFile();
        CreateTextFont("Typewriter");
    }
    ~Game() {
        if (g_pd3dDevice) g_pd3dDevice->Release();
        if (g_pD3D) g_pD3D->Release();
        CloseLogFile();
        if (g_hWnd) DestroyWindow(g_hWnd);
        std::filesystem::current_path(old);
        std::filesystem::remove_all(run);
    }
};

void BM_LoadBoard(benchmark::State& state) {
    static Game game;
    if (!game.ready) {
        state.SkipWithError("no device (is a display there?)");
        return;
    }
    for (auto _ : state) {
        if (LoadBoard(g_hWnd) != 1) {
            state.SkipWithError("LoadBoard failed");
            break;
        }
        state.PauseTiming();
        ReleaseBoard();
        CreateTextFont("Typewriter");  // the release takes the text font with it
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadBoard)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
