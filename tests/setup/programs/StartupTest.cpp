// The launcher as a process: where it finds the player and how it starts it.
#include <gtest/gtest.h>

#include "SetupProcess.h"
#include "TestFiles.h"
#include "aLauncher.h"
#include "bFileUtil.h"

namespace {

const char RECORD[] = "SoftWare\\Orvane\\Orvane Mavro Tool\\RunTime\\6.5";

class StartupTest : public testing::Test {
protected:
    void SetUp() override {
        DeleteKeyTree(HKEY_CURRENT_USER, RECORD);
        launcher = folder.File("Startup.exe");
        ASSERT_TRUE(CopyTo(WinPath(SETUP_STARTUP_EXE), launcher));
    }
    void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, RECORD); }

    // A fake player at path (folders made); its log is path + ".log".
    std::string FakePlayer(const std::string& path) {
        size_t slash = path.rfind('\\');
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
        EXPECT_TRUE(CopyTo(FixturePath("fakeprogram.exe"), path));
        return path;
    }
    void WriteIni(const std::string& player, const std::string& version) {
        WriteFileBytes(folder.File("Startup.ini"),
                       "[mavrort]\r\nmavrort.exe=" + player + "\r\nVersion=" + version + "\r\n");
    }
    void WriteRecord(const std::string& player, const std::string& version) {
        ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, RECORD, nullptr, player));
        ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, RECORD, "Version", version));
    }
    // Runs the launcher: always exit code 0.
    void Launch() {
        ProcessResult r = RunProgram(launcher, "", folder.Path());
        ASSERT_TRUE(r.started && r.finished);
        EXPECT_EQ(0u, r.exitCode);
    }
    std::string Started(const std::string& player) {
        return WaitForFileText(player + ".log", 10000);
    }
    std::string ShortPath(const std::string& path) {
        char out[MAX_PATH] = "";
        GetShortPathNameA(path.c_str(), out, MAX_PATH);
        return out;
    }

    TempFolder folder;
    std::string launcher;
};

}  // namespace

TEST(StartupSize, BelowTheFirstPackageBoundary) {
    // A work starts at the next 4096-byte boundary and must begin within
    // the first 128 KB: 126,976 bytes leave room for that boundary.
    for (const char* path : {SETUP_STARTUP_EXE, SETUP_STARTUP_I686_EXE}) {
        DWORD size = FileSizeOf(WinPath(path).c_str());
        if (size == (DWORD)-1 && path == std::string(SETUP_STARTUP_I686_EXE))
            continue;  // the 32-bit build is not there in every tree
        EXPECT_LT(size, 126976u) << path;
    }
}

TEST_F(StartupTest, WithoutIniAndRecordTheDefaultNameIsStarted) {
    std::string player = FakePlayer(folder.File("mavrort.exe"));
    Launch();
    EXPECT_EQ("mavrort.exe /r \"" + launcher + "\"\n", Started(player));
}

TEST_F(StartupTest, RecordOrIniByVersion) {
    struct Case {
        const char* iniVersion;
        const char* recordVersion;
        bool recordFileExists;
        bool recordWins;
    } cases[] = {
        {"6.5-1.0.0.1-1.0.0.1", "6.5-1.0.0.1-1.0.0.2", true, true},
        {"6.5-1.0.0.1-1.0.0.1", "6.5-1.0.0.2-1.0.0.1", true, true},
        {"6.5-1.0.0.1-1.0.0.1", "6.5-1.0.0.1-1.0.0.1", true, true},
        {"6.5-1.0.0.3-1.0.0.1", "6.5-1.0.0.2-1.0.0.1", true, false},
        {"6.5-1.0.0.1-1.0.0.3", "6.5-1.0.0.2-1.0.0.1", true, false},
        // The first group is not consulted.
        {"7.0-1.0.0.1-1.0.0.1", "6.5-1.0.0.1-1.0.0.1", true, true},
        {"6.5-1.0.0.1-1.0.0.1", "6.5-1.0.0.1-1.0.0.2", false, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        ++n;
        std::string iniPlayer = FakePlayer(folder.File("ini" + std::to_string(n) + "\\rt.exe"));
        std::string recordPlayer = folder.File("record dir " + std::to_string(n) + "\\mavrort.exe");
        if (c.recordFileExists)
            FakePlayer(recordPlayer);
        WriteIni(iniPlayer, c.iniVersion);
        WriteRecord(recordPlayer, c.recordVersion);
        Launch();
        std::string expected = c.recordWins ? ShortPath(recordPlayer) : iniPlayer;
        std::string started = Started(c.recordWins ? recordPlayer : iniPlayer);
        EXPECT_EQ(expected + " /r \"" + launcher + "\"\n", started)
            << c.iniVersion << " / " << c.recordVersion;
        EXPECT_EQ("", ReadFileBytes((c.recordWins ? iniPlayer : recordPlayer) + ".log"))
            << c.iniVersion << " / " << c.recordVersion;
    }
}

TEST_F(StartupTest, APathWithABlankIsQuoted) {
    // Unquoted, "<folder>\my player\rt.exe" would start "<folder>\my.exe".
    std::string player = FakePlayer(folder.File("my player\\rt.exe"));
    std::string decoy = FakePlayer(folder.File("my.exe"));
    WriteIni(player, "");
    Launch();
    EXPECT_EQ("\"" + player + "\" /r \"" + launcher + "\"\n", Started(player));
    EXPECT_EQ("", ReadFileBytes(decoy + ".log"));
}

TEST_F(StartupTest, NoPlayerAnywhereEndsWithZeroAfterTheBox) {
    // The ini names a missing player and there is no record: WinExec
    // fails, the box is answered, the exit code stays 0.
    WriteIni(folder.File("none\\mavrort.exe"), "6.5-1.0.0.1-1.0.0.1");
    WriteRecord(folder.File("gone\\mavrort.exe"), "6.5-1.0.0.1-1.0.0.1");
    Launch();
}

TEST_F(StartupTest, TheRealPlayerOpensTheAppendedWork) {
    std::string playerFolder = folder.File("player");
    CreateDirectoryA(playerFolder.c_str(), nullptr);
    std::string player = playerFolder + "\\MavroRT.exe";
    ASSERT_TRUE(CopyTo(WinPath(SETUP_PLAYER_EXE), player));
    WriteFileBytes(playerFolder + "\\MavroRT.ini", "[MavroRT]\r\nSysLog=1\r\n");
    std::string work = folder.File("work.mrt");
    ProcessResult made = RunProgram(WinPath(SETUP_MKWORK_EXE), "\"" + work + "\"", folder.Path());
    ASSERT_TRUE(made.finished);
    ASSERT_EQ(0u, made.exitCode);
    WriteIni(player, "6.5-1.0.0.1-1.0.0.1");

    // First the bare launcher (no work behind it), then with the work
    // appended at the next 4096-byte boundary.
    for (bool appended : {false, true}) {
        if (appended) {
            std::string bytes = ReadFileBytes(launcher);
            bytes.resize((bytes.size() + 4095) / 4096 * 4096, '\0');
            ASSERT_LE(bytes.size(), 128u * 1024u);
            WriteFileBytes(launcher, bytes + ReadFileBytes(work));
        }
        RemoveTempFile("~mvrt40.lg0");
        Launch();
        std::string log;
        for (int i = 0; i < 300 && !Contains(log, ">>SYSTEM TERMINATED NORMALLY<<"); ++i) {
            Sleep(100);
            log = TempFileText("~mvrt40.lg0");
        }
        ASSERT_TRUE(Contains(log, ">>SYSTEM TERMINATED NORMALLY<<")) << log;
        bool failed = Contains(log, "Cannot open rtFile") || Contains(log, "Cannot locate header");
        EXPECT_EQ(!appended, failed) << log;
    }
}

TEST(Launcher, CommandLines) {
    struct Case {
        const char* player;
        const char* expect;
    } cases[] = {
        {"mavrort.exe", "mavrort.exe /r \"C:\\w\\Work.exe\""},
        {"C:\\PROGRA~1\\MAVRO\\MAVRORT.EXE",
         "C:\\PROGRA~1\\MAVRO\\MAVRORT.EXE /r \"C:\\w\\Work.exe\""},
        {"C:\\Program Files\\Mavro\\mavrort.exe",
         "\"C:\\Program Files\\Mavro\\mavrort.exe\" /r \"C:\\w\\Work.exe\""},
    };
    for (const Case& c : cases) {
        char out[600];
        FormatLaunchCommand(c.player, "C:\\w\\Work.exe", out, sizeof(out));
        EXPECT_STREQ(c.expect, out);
    }
}

TEST(Launcher, ErrorTextsByWinExecResult) {
    HMODULE module = LoadLibraryExA(WinPath(SETUP_STARTUP_EXE).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    // The texts in the ANSI code page, as LoadStringA gives them.
    auto ansi = [](const char* utf8) {
        WCHAR wide[512];
        MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512);
        char out[1024];
        WideCharToMultiByte(CP_ACP, 0, wide, -1, out, sizeof(out), nullptr, nullptr);
        return std::string(out);
    };
    std::string cannot = ansi("不能启动应用程序: ");
    std::string notFound = ansi("Mavro运行时刻库没有找到\n请重新安装Mavro运行环境");
    struct Case {
        UINT result;
        std::string text;
    } cases[] = {{0, cannot + notFound},    {2, cannot + notFound},   {3, cannot + notFound},
                 {11, cannot + notFound},   {5, cannot + "Error: 5"}, {8, cannot + "Error: 8"},
                 {31, cannot + "Error: 31"}};
    for (const Case& c : cases) {
        char title[64], text[512];
        LaunchErrorText(module, c.result, title, sizeof(title), text, sizeof(text));
        EXPECT_EQ(ansi("错误"), title) << c.result;
        EXPECT_EQ(c.text, text) << c.result;
    }
    char small[8];
    char title[64];
    LaunchErrorText(module, 5, title, sizeof(title), small, sizeof(small));
    EXPECT_LT(strlen(small), sizeof(small));
    FreeLibrary(module);
}
