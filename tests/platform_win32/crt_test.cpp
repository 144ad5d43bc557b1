// The runtime extras: the random sequence, text streams, string helpers and path mapping.
#include <windows.h>
#include <io.h>
#include <sys/stat.h>

#include "common/paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("morvane_crt_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        old_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    fs::path dir_, old_;
};

}  // namespace

TEST(Rand, FollowsTheWindowsRuntimeSequence) {
    // The first values of the Microsoft runtime with its unseeded start (seed 1).
    srand(1);
    EXPECT_EQ(rand(), 41);
    EXPECT_EQ(rand(), 18467);
    EXPECT_EQ(rand(), 6334);
    EXPECT_EQ(rand(), 26500);
    EXPECT_EQ(RAND_MAX, 32767);
    // The standard spellings are the same functions.
    std::srand(1);
    EXPECT_EQ(std::rand(), 41);
    EXPECT_EQ(::rand(), 18467);
    for (int i = 0; i < 1000; ++i) {
        int r = rand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, RAND_MAX);
    }
}

TEST(StringHelpers, ConvertAndCompare) {
    char buf[40];
    EXPECT_STREQ(_itoa(-123, buf, 10), "-123");
    EXPECT_STREQ(_itoa(255, buf, 16), "ff");
    EXPECT_STREQ(_itoa(-1, buf, 16), "ffffffff");
    EXPECT_STREQ(_itoa(0, buf, 2), "0");
    char word[] = "BackGround\\Data";
    EXPECT_STREQ(_strlwr(word), "background\\data");
    EXPECT_EQ(_stricmp("Data", "dATA"), 0);
    EXPECT_LT(_stricmp("abc", "ABD"), 0);
    EXPECT_GT(_stricmp("b", "A"), 0);
    EXPECT_EQ(_strnicmp("BlueX", "blueY", 4), 0);
    EXPECT_EQ(MulDiv(18, 96, 72), 24);
    EXPECT_EQ(MulDiv(5, 1, 2), 3);   // rounds half away from zero
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

TEST_F(TempDir, TextStreamsStoreCrLfAndReadBackNewlines) {
    FILE* f = fopen("text.txt", "w");
    ASSERT_NE(f, nullptr);
    fprintf(f, "one\ntwo\n\n");
    fclose(f);
    EXPECT_EQ(ReadBytes("text.txt"), "one\r\ntwo\r\n\r\n");

    f = fopen("text.txt", "r");
    ASSERT_NE(f, nullptr);
    char line[32];
    ASSERT_NE(fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "one\n");
    int n = 0;
    char word[16];
    ASSERT_EQ(fscanf(f, "%15s%n", word, &n), 1);
    EXPECT_STREQ(word, "two");
    fclose(f);

    f = fopen("bin.dat", "wb");
    ASSERT_NE(f, nullptr);
    fputs("a\nb", f);
    fclose(f);
    EXPECT_EQ(ReadBytes("bin.dat"), "a\nb");

    f = std::fopen("std.txt", "wt");
    ASSERT_NE(f, nullptr);
    std::fputs("a\nb", f);
    std::fclose(f);
    EXPECT_EQ(ReadBytes("std.txt"), "a\r\nb");
}

TEST_F(TempDir, FlushedTextReachesTheFileAtOnce) {
    FILE* f = fopen("log.txt", "w");
    ASSERT_NE(f, nullptr);
    fprintf(f, "line\n");
    fflush(f);
    EXPECT_EQ(ReadBytes("log.txt"), "line\r\n");
    fclose(f);
}

TEST_F(TempDir, CreatEmptiesAnExistingFile) {
    { std::ofstream("old.txt") << "previous run"; }
    int fd = _creat("old.txt", _S_IREAD | _S_IWRITE);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_close(fd), 0);
    EXPECT_TRUE(fs::exists("old.txt"));
    EXPECT_EQ(fs::file_size("old.txt"), 0u);
    EXPECT_EQ(fs::status("old.txt").permissions() & fs::perms::owner_all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(TempDir, WindowsPathsFindFilesWhateverTheirCase) {
    fs::create_directories("Game/Data/BackGround");
    { std::ofstream("Game/Data/BackGround/Sky.png") << "x"; }
    fs::create_directories("Game/bin");
    fs::current_path("Game/bin");
    EXPECT_EQ(platform::MapPath("..\\Data\\BackGround\\Sky.png"), "../Data/BackGround/Sky.png");
    EXPECT_EQ(platform::MapPath("..\\Data\\Background\\sky.PNG"), "../Data/BackGround/Sky.png");
    EXPECT_EQ(platform::MapPath("..\\DATA\\missing.png"), "../Data/missing.png");
    EXPECT_EQ(_access("..\\data\\background\\SKY.png", 0), 0);
    EXPECT_EQ(_access("..\\data\\background\\SKY.png", 6), 0);
    EXPECT_EQ(_access("..\\DATA\\missing.png", 0), -1);
    FILE* f = fopen("..\\data\\background\\SKY.png", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fgetc(f), 'x');
    fclose(f);
}

TEST(Timers, AdvanceInMilliseconds) {
    DWORD t0 = timeGetTime();
    DWORD k0 = GetTickCount();
    LARGE_INTEGER c0, c1, freq;
    ASSERT_TRUE(QueryPerformanceCounter(&c0));
    ASSERT_TRUE(QueryPerformanceFrequency(&freq));
    Sleep(30);
    ASSERT_TRUE(QueryPerformanceCounter(&c1));
    DWORD dt = timeGetTime() - t0;
    EXPECT_GE(dt, 29u);
    EXPECT_LT(dt, 1000u);
    EXPECT_GE(GetTickCount() - k0, 29u);
    double seconds = double(c1.QuadPart - c0.QuadPart) / double(freq.QuadPart);
    EXPECT_GE(seconds, 0.029);
    EXPECT_LT(seconds, 1.0);
}
