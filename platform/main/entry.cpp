// Process entry: hands over to the game's WinMain, as the Windows runtime does, once the X display
// that every window needs can be opened.
#include <windows.h>

#include "win32/window_system.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace {

// The game finds its files from the executable's own folder, as a program started from the
// desktop does on Windows: that folder becomes the working directory, wherever the start came from.
bool EnterExecutableFolder(const char* program) {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && ::chdir(exe.parent_path().c_str()) == 0) return true;
    std::fprintf(stderr, "%s: cannot make the folder of \"%s\" the working directory: %s\n", program,
                 exe.c_str(), error ? error.message().c_str() : std::strerror(errno));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const char* program = argc > 0 ? argv[0] : "morvane";
    if (!EnterExecutableFolder(program)) return EXIT_FAILURE;
    if (!platform::win32::WindowSystem::Get().EnsureVideo()) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "%s: cannot open the X display \"%s\": %s\n", program, display ? display : "",
                     SDL_GetError());
        return EXIT_FAILURE;
    }
    std::string cmdLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) cmdLine += ' ';
        cmdLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, cmdLine.data(), SW_SHOWDEFAULT);
}
