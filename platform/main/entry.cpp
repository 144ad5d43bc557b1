// Process entry: hands over to the game's WinMain, as the Windows runtime does.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
    std::string cmdLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) cmdLine += ' ';
        cmdLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, cmdLine.data(), SW_SHOWDEFAULT);
}
