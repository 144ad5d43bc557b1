// Process entry: hands over to the game's WinMain, as the Windows runtime does, once the X display
// that every window needs can be opened.
#include <windows.h>

#include "win32/window_system.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (!platform::win32::WindowSystem::Get().EnsureVideo()) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "%s: cannot open the X display \"%s\": %s\n", argc > 0 ? argv[0] : "morvane",
                     display ? display : "", SDL_GetError());
        return EXIT_FAILURE;
    }
    std::string cmdLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) cmdLine += ' ';
        cmdLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, cmdLine.data(), SW_SHOWDEFAULT);
}
