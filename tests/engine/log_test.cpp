// The log file and the error reports.
#include "log.h"

#include "platform/test_hooks.h"
#include "temp_dir.h"

#include <sys/stat.h>

namespace {

using Log = testsupport::InTempDir;

TEST_F(Log, HoldsTheHeaderAloneAfterARunWithoutEvents) {
    ASSERT_TRUE(OpenLogFile());
    EXPECT_STREQ(g_LogFileName, "D3D.log");
    CloseLogFile();
    EXPECT_EQ(g_pLogFile, nullptr);
    EXPECT_EQ(ReadFile("D3D.log"), "D3D LOG FILE \r\n\r\n\r\n");
}

TEST_F(Log, LinesKeepTheirOwnLineEndsAndReachTheDiskAtOnce) {
    ASSERT_TRUE(OpenLogFile());
    WriteToLog("carta pescata: 3\t");
    WriteToLog("messa in posizione - 0\n");
    // Flushed line by line: a killed process loses nothing.
    EXPECT_EQ(ReadFile("D3D.log"),
              "D3D LOG FILE \r\n\r\n\r\ncarta pescata: 3\t\r\nmessa in posizione - 0\r\n\r\n");
    CloseLogFile();
}

TEST_F(Log, ASecondRunReplacesTheFirst) {
    ASSERT_TRUE(OpenLogFile());
    WriteToLog("first run");
    CloseLogFile();
    ASSERT_TRUE(OpenLogFile());
    WriteToLog("second run");
    CloseLogFile();
    EXPECT_EQ(ReadFile("D3D.log"), "D3D LOG FILE \r\n\r\n\r\nsecond run\r\n");
}

TEST_F(Log, WithoutAnOpenLogNothingIsWrittenOrClosed) {
    CloseLogFile();
    WriteToLog("nowhere");
    CloseLogFile();
    EXPECT_FALSE(std::filesystem::exists("D3D.log"));
}

TEST_F(Log, AFileThatCannotBeOpenedIsReportedWithoutPrefix) {
    std::filesystem::create_directory("D3D.log");  // a folder in the file's place
    platform::hooks::StartCapturingDebugOutput();
    EXPECT_FALSE(OpenLogFile());
    auto out = platform::hooks::TakeDebugOutput();
    platform::hooks::StopCapturingDebugOutput();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "Impossibile aprire il file: ");
    EXPECT_EQ(out[1], "D3D.log");
    EXPECT_EQ(out[2], "\n");
    EXPECT_EQ(g_pLogFile, nullptr);
    WriteToLog("after a failed open");  // must not crash
}

TEST(ReportError, WritesThreePieces) {
    platform::hooks::StartCapturingDebugOutput();
    ReportError("Unable to acquire mouse");
    auto out = platform::hooks::TakeDebugOutput();
    platform::hooks::StopCapturingDebugOutput();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "ERROR: ");
    EXPECT_EQ(out[1], "Unable to acquire mouse");
    EXPECT_EQ(out[2], "\n");
}

}  // namespace
