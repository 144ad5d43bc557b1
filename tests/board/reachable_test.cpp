// The squares a moving character may reach, and the settings read back for a rebuilt device.
#include "board.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

namespace {

class ReachableTest : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear() {
        for (int i = 0; i < NUM_SQUARES; i++) {
            g_Squares[i].bReachable = 0;
            g_SquareOccupied[i] = 0;
        }
        g_bMoving = 0;
        g_MovingCard = -1;
    }
    static std::set<int> Mark(int square, int movement, BYTE moving = 1) {
        g_Cards[0].nSquare = square;
        g_Cards[0].nMovement = movement;
        g_MovingCard = 0;
        g_bMoving = moving;
        MarkReachableSquares();
        std::set<int> out;
        for (int i = 0; i < NUM_SQUARES; i++)
            if (g_Squares[i].bReachable) out.insert(i);
        return out;
    }
};

TEST_F(ReachableTest, NothingIsFlaggedOutsideMovingMode) {
    EXPECT_TRUE(Mark(27, 2, 0).empty());
    EXPECT_TRUE(Mark(27, 2, 2).empty());
    EXPECT_EQ(g_BoardSide, 8);
}

TEST_F(ReachableTest, RowAndColumnWithinRangeOnAnEmptyBoard) {
    EXPECT_EQ(Mark(27, 2), (std::set<int>{25, 26, 28, 29, 11, 19, 35, 43}));
}

TEST_F(ReachableTest, OccupiedSquaresAreSkippedButDoNotBlock) {
    g_SquareOccupied[26] = 1;
    g_SquareOccupied[19] = 1;
    EXPECT_EQ(Mark(27, 2), (std::set<int>{25, 28, 29, 11, 35, 43}));
}

TEST_F(ReachableTest, CornersAndEdgesNeverWrap) {
    EXPECT_EQ(Mark(0, 2), (std::set<int>{1, 2, 8, 16}));
    Clear();
    EXPECT_EQ(Mark(63, 2), (std::set<int>{62, 61, 55, 47}));
    Clear();
    EXPECT_EQ(Mark(7, 2), (std::set<int>{6, 5, 15, 23}));
}

TEST_F(ReachableTest, MovementOneAndThree) {
    EXPECT_EQ(Mark(36, 3), (std::set<int>{33, 34, 35, 37, 38, 39, 12, 20, 28, 44, 52, 60}));
    Clear();
    EXPECT_EQ(Mark(36, 1), (std::set<int>{35, 37, 28, 44}));
}

TEST_F(ReachableTest, ABadMovingCardOrSquareFlagsNothing) {
    g_bMoving = 1;
    g_MovingCard = 7;
    MarkReachableSquares();
    g_MovingCard = -1;
    MarkReachableSquares();
    EXPECT_TRUE(Mark(64, 2).empty());
    EXPECT_TRUE(Mark(-3, 2).empty());
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(BOARD_TEST_SCRATCH);
        path_ = std::string(BOARD_TEST_SCRATCH) + "/settings_" + std::to_string(::getpid()) + ".txt";
    }
    void TearDown() override { std::remove(path_.c_str()); }
    BoardSettings Read(const std::string& text, bool* opened = nullptr) {
        FILE* f = fopen(path_.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f) {
            fwrite(text.data(), 1, text.size(), f);
            fclose(f);
        }
        BoardSettings s = {1024, 768, TRUE};
        bool ok = ReadSettings(path_.c_str(), &s);
        if (opened) *opened = ok;
        return s;
    }
    std::string path_;
};

TEST_F(SettingsTest, KnownSizesAndTheModeAreTaken) {
    BoardSettings s = Read("WinWidth 800\r\nWinHeight 600\r\nWindowed FALSE\r\n\r\nDEVICE TYPE D3DDEVTYPE_HAL\r\n");
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_FALSE(s.windowed);
    s = Read("Windowed TRUE\nWinWidth 1280\nWinHeight 1024\n");
    EXPECT_EQ(s.width, 1280);
    EXPECT_EQ(s.height, 1024);
    EXPECT_TRUE(s.windowed);
}

TEST_F(SettingsTest, UnknownValuesAndKeysChangeNothing) {
    BoardSettings s = Read("WinWidth 799\nWinHeight 601\nwinwidth 640\nColorDepth 32\n");
    EXPECT_EQ(s.width, 1024);
    EXPECT_EQ(s.height, 768);
    EXPECT_TRUE(s.windowed);
}

TEST_F(SettingsTest, AKeyWithNothingAfterItChangesNothing) {
    EXPECT_EQ(Read("WinHeight 600\nWinWidth").width, 1024);
    EXPECT_EQ(Read("WinHeight 600\nWinWidth\n").width, 1024);
    EXPECT_EQ(Read("WinHeight 600\nWinWidth\n").height, 600);
}

TEST_F(SettingsTest, LongWordsDoNotOverrunTheBuffers) {
    const std::string longWord(5000, 'x');
    BoardSettings s = Read(longWord + "\nWinWidth " + std::string(300, '8') + "\nWinHeight 480\n");
    EXPECT_EQ(s.width, 1024);
    EXPECT_EQ(s.height, 480);
}

TEST_F(SettingsTest, AMissingFileIsReportedAndChangesNothing) {
    BoardSettings s = {640, 480, FALSE};
    EXPECT_FALSE(ReadSettings((path_ + ".none").c_str(), &s));
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 480);
}

}  // namespace
