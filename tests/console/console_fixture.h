// A window whose procedure feeds a console, a device on it, and the game's alphabet and console
// images reached as the game reaches them ("..\Alfabeto", "..\Immagini").
#pragma once

#include "console.h"

#include <gtest/gtest.h>

#include <vector>

extern IDirect3DDevice9* g_pd3dDevice;

namespace consoletest {

constexpr const char* kAlphabetFile = "..\\Alfabeto\\Expo_16x32_DRESK.bmp";

// The console that the window procedure gives WM_KEYDOWN and WM_CHAR to.
extern CConsole* g_pFedConsole;

class DeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Takes the queued messages through TranslateMessage and the window procedure.
    static void PumpMessages();
    // A DIK key pressed and released, with shift held when asked.
    static void Press(int dik, bool shift = false);
    static void Type(const char* text);

    // The pixels of a whole 32-bit surface, row by row.
    static std::vector<DWORD> ReadSurface(IDirect3DSurface9* surface);

    IDirect3DSurface9* backBuffer_ = nullptr;
};

}  // namespace consoletest
