// A game folder of its own with a device, input, the log, the text font and the menu's buttons, as
// the menu leaves them.
#pragma once

#include "board.h"
#include "screens.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "test_window.h"

namespace boardtest {

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    static void ResetGameState();

    // Loads the board as the loading screen does.
    void Load();
    // Runs the message queue so that injected input reaches the devices.
    static void Pump();
    // Where the centre of square i shows in screen coordinates, with this frame's transforms.
    POINT SquareOnScreen(int i);
    // Where the middle of card c's character shows.
    POINT CharacterOnScreen(int c);
    std::string ReadLog();
    // The pixel of the back buffer at client position (x, y), as 0xAARRGGBB.
    D3DCOLOR BackBufferPixel(int x, int y);

    std::filesystem::path run_, old_;
    std::unique_ptr<testsupport::TestWindow> window_;
    bool loaded_ = false;
};

}  // namespace boardtest
