// The runtime setup as a process: files, registration, records, exit codes.
#include <gtest/gtest.h>

#include <map>

#include "SetupProcess.h"
#include "TestFiles.h"

namespace {

const char RUNTIME[] = "SOFTWARE\\Orvane\\Orvane Mavro Tool\\RunTime";
const char RECORD[] = "SOFTWARE\\Orvane\\Orvane Mavro Tool\\RunTime\\6.5";
const char OLD_LINE[] = "SOFTWARE\\Orvane\\Orvane Mavro Tool\\5.0\\RunTime";
const char SETUP_VERSION[] = "6.5-1.0.0.1-1.0.0.1";
const int NO_INI = -100, ABORTED = -103, DAMAGED = -104, NO_FOLDER = -105;

class RtSetupTest : public testing::Test {
protected:
    void SetUp() override {
        DeleteKeyTree(HKEY_CURRENT_USER, RUNTIME);
        DeleteKeyTree(HKEY_CURRENT_USER, OLD_LINE);
        DeleteKeyTree(HKEY_CLASSES_ROOT, "MavroSetupFixture");
        RemoveTempFile("~mavrortsetup.lg0");
        setup = source.File("MavroRTSetup.exe");
        ASSERT_TRUE(CopyTo(WinPath(SETUP_RTSETUP_EXE), setup));
        ASSERT_TRUE(CopyTo(FixturePath("fakeprogram.exe"), source.File("MavroRT.exe")));
        ASSERT_TRUE(CopyTo(FixturePath("fixture_v2.dll"), source.File("x.dll")));
        target = destination.Path() + "\\bin";
        for (const char* name : {"\\x.dll", "\\MavroRt.exe", "\\z.dll"})
            DeleteFileA((target + name).c_str());
        // Group 1: the player and a server to register.
        ini["InstallFiles"] = {{"DstPath", target}, {"num", "1"}, {"install1", "Group1"}};
        ini["Group1"] = {{"Regsvr", "2"},
                         {"FileNum", "2"},
                         {"SrcFile1", "$SrcPath\\MavroRT.exe"},
                         {"DstFile1", "$DstPath\\MavroRt.exe"},
                         {"SrcFile2", "$SrcPath\\x.dll"},
                         {"DstFile2", "$DstPath\\x.dll"}};
        ini["Register"] = {{"Version", SETUP_VERSION}};
    }
    void TearDown() override {
        DeleteKeyTree(HKEY_CURRENT_USER, RUNTIME);
        DeleteKeyTree(HKEY_CURRENT_USER, OLD_LINE);
        DeleteKeyTree(HKEY_CLASSES_ROOT, "MavroSetupFixture");
    }
    void WriteIni() {
        std::string text;
        for (auto& [section, keys] : ini) {
            text += "[" + section + "]\r\n";
            for (auto& [key, value] : keys) text += key + "=" + value + "\r\n";
        }
        WriteFileBytes(source.File("MavroRTSetup.ini"), text);
    }
    // Runs the setup (with its ini) and returns its exit code.
    int Run(const std::string& arguments, const std::string& answers = "") {
        WriteIni();
        ProcessResult r = RunProgram(setup, arguments, source.Path(), answers);
        EXPECT_TRUE(r.started && r.finished);
        log = TempFileText("~mavrortsetup.lg0");
        return (int)r.exitCode;
    }
    std::string Player() const { return target + "\\MavroRt.exe"; }

    TempFolder source, destination;
    std::string setup, target, log;
    std::map<std::string, std::map<std::string, std::string>> ini;
};

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

bool SameWriteTime(const std::string& a, const std::string& b) {
    WIN32_FILE_ATTRIBUTE_DATA x, y;
    if (!GetFileAttributesExA(a.c_str(), GetFileExInfoStandard, &x) ||
        !GetFileAttributesExA(b.c_str(), GetFileExInfoStandard, &y))
        return false;
    return CompareFileTime(&x.ftLastWriteTime, &y.ftLastWriteTime) == 0;
}

}  // namespace

TEST_F(RtSetupTest, SilentSetupOfAFreshSystem) {
    ASSERT_EQ(0, Run("-s"));
    EXPECT_TRUE(Contains(log, "Orvane Mavro Tool RunTime setup ...")) << log;
    EXPECT_TRUE(Contains(log, "begin install rt")) << log;
    for (auto [from, to] :
         {std::pair<std::string, std::string>{"MavroRT.exe", "MavroRt.exe"}, {"x.dll", "x.dll"}}) {
        EXPECT_EQ(ReadFileBytes(source.File(from)), ReadFileBytes(target + "\\" + to));
        EXPECT_TRUE(SameWriteTime(source.File(from), target + "\\" + to)) << to;
    }
    EXPECT_EQ(target + "\\x.dll", RegText(HKEY_CLASSES_ROOT, "MavroSetupFixture\\v2", nullptr));
    EXPECT_TRUE(Contains(log, "RegisterFile " + target + "\\x.dll succeeded")) << log;
    for (const char* key : {RECORD, OLD_LINE}) {
        EXPECT_EQ(Player(), RegText(HKEY_CURRENT_USER, key, nullptr)) << key;
        EXPECT_EQ(SETUP_VERSION, RegText(HKEY_CURRENT_USER, key, "Version")) << key;
    }

    // The same run again: every file is equal, and each is logged.
    ASSERT_EQ(0, Run("-S"));
    EXPECT_TRUE(Contains(log, "CopyFile: " + target + "\\x.dll not copyed -- file equal")) << log;
    EXPECT_TRUE(Contains(log, "CopyFile: " + Player() + " not copyed -- file equal")) << log;
}

TEST_F(RtSetupTest, ExitCodes) {
    struct Case {
        const char* name;
        const char* section;
        const char* key;
        std::string value;  // "-" removes the ini
        int code;
        const char* logged;
    } cases[] = {
        {"no ini", "", "", "-", NO_INI, "InitRtSetup failed"},
        {"empty num", "InstallFiles", "num", "", DAMAGED,
         "key (num) with section (InstallFiles) in ("},
        {"missing drive", "InstallFiles", "DstPath", "Q:\\Mavro", NO_FOLDER,
         "CreateDirectorys failed: Q:\\Mavro"},
        {"missing source", "Group1", "SrcFile2", "$SrcPath\\none.dll", ABORTED, "CopyFile: ("},
        {"overlong macros", "Group1", "SrcFile2", "", ABORTED, "path too long"},
    };
    std::string overlong;
    for (int i = 0; i < 30; ++i) overlong += "$SrcPath";
    cases[4].value = overlong;
    for (const Case& c : cases) {
        SetUp();
        if (c.section[0])
            ini[c.section][c.key] = c.value;
        if (c.value == "-") {
            DeleteFileA(source.File("MavroRTSetup.ini").c_str());
            ProcessResult r = RunProgram(setup, "-s", source.Path());
            ASSERT_TRUE(r.finished);
            EXPECT_EQ(c.code, (int)r.exitCode) << c.name;
            log = TempFileText("~mavrortsetup.lg0");
        } else {
            EXPECT_EQ(c.code, Run("-s")) << c.name;
        }
        EXPECT_TRUE(Contains(log, c.logged)) << c.name << "\n" << log;
        // A failed install writes no record.
        EXPECT_EQ("", RegText(HKEY_CURRENT_USER, RECORD, nullptr)) << c.name;
    }
}

TEST_F(RtSetupTest, NonSilentAnswersAreOneByOne) {
    // No ini, not silent: the box is answered and the code is still -100.
    DeleteFileA(source.File("MavroRTSetup.ini").c_str());
    ProcessResult r = RunProgram(setup, "", source.Path(), "ok");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(NO_INI, (int)r.exitCode);

    // "No" to the first question: nothing installed, exit 0.
    EXPECT_EQ(0, Run("", "no"));
    EXPECT_TRUE(Contains(log, "already installed, or canceled by user")) << log;
    EXPECT_FALSE(IsExistingFileForTest(Player()));
}

TEST_F(RtSetupTest, TargetInUseIsReplacedAtRestart) {
    CreateDirectoryA(target.c_str(), nullptr);
    std::string held = target + "\\x.dll";
    ASSERT_TRUE(CopyTo(FixturePath("fixture_v1.dll"), held));
    HANDLE h = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(3010, Run("-s"));
    CloseHandle(h);
    EXPECT_TRUE(Contains(log, "cannot replace file: " + held)) << log;
    EXPECT_EQ(ReadFileBytes(FixturePath("fixture_v1.dll")), ReadFileBytes(held));
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    ProcessResult boot = RunProgram(std::string(system) + "\\wineboot.exe", "-r", "");
    ASSERT_TRUE(boot.finished);
    EXPECT_EQ(ReadFileBytes(source.File("x.dll")), ReadFileBytes(held));

    // Not silent: the restart is offered and declined.
    h = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                    nullptr);
    ASSERT_TRUE(CopyTo(FixturePath("fixture_v3fail.dll"), source.File("x.dll")));
    DeleteKeyTree(HKEY_CURRENT_USER, RUNTIME);
    EXPECT_EQ(3010, Run("", "yes,no,ok"));
    CloseHandle(h);
    EXPECT_TRUE(Contains(log, "Rebooting windows")) << log;
    EXPECT_TRUE(Contains(log, "reboot canceled by user")) << log;
    ProcessResult boot2 = RunProgram(std::string(system) + "\\wineboot.exe", "-r", "");
    ASSERT_TRUE(boot2.finished);
}

TEST_F(RtSetupTest, PathMacros) {
    char windows[MAX_PATH], temp[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    GetTempPathA(MAX_PATH, temp);  // ends with a backslash
    WriteFileBytes(source.File("m.txt"), "macro");
    ini["Group1"]["FileNum"] = "4";
    ini["Group1"]["SrcFile3"] = "$SRCPATH\\m.txt";
    ini["Group1"]["DstFile3"] = "$WINDOWS\\MavroSetupTest\\m.txt";
    ini["Group1"]["SrcFile4"] = "$srcpath\\m.txt";
    ini["Group1"]["DstFile4"] = "$Temp\\Rt$Abc\\m.txt";
    ASSERT_EQ(0, Run("-s"));
    std::string inWindows = std::string(windows) + "\\MavroSetupTest\\m.txt";
    std::string inTemp = std::string(temp) + "RtAbc\\m.txt";
    EXPECT_EQ("macro", ReadFileBytes(inWindows));
    EXPECT_EQ("macro", ReadFileBytes(inTemp)) << log;
    DeleteFileA(inWindows.c_str());
    RemoveDirectoryA((std::string(windows) + "\\MavroSetupTest").c_str());
    DeleteFileA(inTemp.c_str());
    RemoveDirectoryA((std::string(temp) + "RtAbc").c_str());
}

TEST_F(RtSetupTest, ExistingRecords) {
    // A 5.0 record newer in every group stays; older lines are brought up.
    ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, OLD_LINE, nullptr, "C:\\old\\mavrort.exe"));
    ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, OLD_LINE, "Version", "7.0-9.9.9.9-9.9.9.9"));
    std::string seven = std::string(RUNTIME) + "\\7.0", six = std::string(RUNTIME) + "\\6.0",
                abc = std::string(RUNTIME) + "\\abc";
    for (const std::string& key : {seven, six, abc}) {
        ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, key.c_str(), nullptr, "C:\\x\\mavrort.exe"));
        ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, key.c_str(), "Version", "6.0-1.0.0.0-1.0.0.0"));
    }
    ASSERT_EQ(0, Run("-s"));
    EXPECT_EQ("C:\\old\\mavrort.exe", RegText(HKEY_CURRENT_USER, OLD_LINE, nullptr));
    EXPECT_EQ("7.0-9.9.9.9-9.9.9.9", RegText(HKEY_CURRENT_USER, OLD_LINE, "Version"));
    EXPECT_EQ(Player(), RegText(HKEY_CURRENT_USER, RECORD, nullptr));
    EXPECT_EQ(Player(), RegText(HKEY_CURRENT_USER, six.c_str(), nullptr));
    EXPECT_EQ(SETUP_VERSION, RegText(HKEY_CURRENT_USER, six.c_str(), "Version"));
    EXPECT_EQ("C:\\x\\mavrort.exe", RegText(HKEY_CURRENT_USER, seven.c_str(), nullptr));
    // A name that is not two numbers is no runtime line.
    EXPECT_EQ("C:\\x\\mavrort.exe", RegText(HKEY_CURRENT_USER, abc.c_str(), nullptr));
    EXPECT_EQ("6.0-1.0.0.0-1.0.0.0", RegText(HKEY_CURRENT_USER, abc.c_str(), "Version"));
}

TEST_F(RtSetupTest, NewerRecordDeclinedLeavesEverythingAlone) {
    ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, RECORD, nullptr, "C:\\newer\\mavrort.exe"));
    ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, RECORD, "Version", "6.5-9.0.0.0-9.0.0.0"));
    ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, OLD_LINE, nullptr, "C:\\five\\mavrort.exe"));
    ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, OLD_LINE, "Version", "5.0-1.0.0.0-1.0.0.0"));
    EXPECT_EQ(0, Run("", "yes,no,ok"));
    EXPECT_TRUE(Contains(log, "need not install rt")) << log;
    EXPECT_EQ("C:\\newer\\mavrort.exe", RegText(HKEY_CURRENT_USER, RECORD, nullptr));
    EXPECT_EQ("6.5-9.0.0.0-9.0.0.0", RegText(HKEY_CURRENT_USER, RECORD, "Version"));
    EXPECT_EQ("C:\\five\\mavrort.exe", RegText(HKEY_CURRENT_USER, OLD_LINE, nullptr));
    EXPECT_EQ("5.0-1.0.0.0-1.0.0.0", RegText(HKEY_CURRENT_USER, OLD_LINE, "Version"));
    EXPECT_FALSE(IsExistingFileForTest(Player()));
    EXPECT_EQ(3, CountOf(log, "MessageBox answered unattended")) << log;
}

TEST_F(RtSetupTest, NoPlayerWritesNoRecord) {
    ini["Group1"].erase("SrcFile1");
    ini["Group1"].erase("DstFile1");
    ini["Group1"]["SrcFile1"] = "$SrcPath\\x.dll";
    ini["Group1"]["DstFile1"] = "$DstPath\\y.dll";
    ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, OLD_LINE, nullptr, "C:\\five\\mavrort.exe"));
    EXPECT_EQ(0, Run("-s"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, RECORD));
    EXPECT_EQ("C:\\five\\mavrort.exe", RegText(HKEY_CURRENT_USER, OLD_LINE, nullptr));
    EXPECT_EQ("", RegText(HKEY_CURRENT_USER, OLD_LINE, "Version"));
}

TEST_F(RtSetupTest, FileNumIsABoundNotACount) {
    ini["Group1"].erase("FileNum");  // 260 by default
    EXPECT_EQ(0, Run("-s"));
    EXPECT_EQ(ReadFileBytes(source.File("x.dll")), ReadFileBytes(target + "\\x.dll"));
    EXPECT_EQ(Player(), RegText(HKEY_CURRENT_USER, RECORD, nullptr));
}

TEST_F(RtSetupTest, RegistrationFailureIsReportedOnly) {
    ASSERT_TRUE(CopyTo(FixturePath("fixture_v3fail.dll"), source.File("x.dll")));
    EXPECT_EQ(0, Run("-s"));
    EXPECT_TRUE(Contains(log, "register file failed :(" + target + "\\x.dll)")) << log;
}

TEST_F(RtSetupTest, OlderSourceAsksUnlessTold) {
    // The target is newer: "Yes" keeps it, "No" copies the older source,
    // "Yes to all" keeps it and asks no more in the group.
    ini["Group1"]["FileNum"] = "3";
    ini["Group1"]["SrcFile3"] = "$SrcPath\\x.dll";
    ini["Group1"]["DstFile3"] = "$DstPath\\z.dll";
    ini["Group1"]["Regsvr"] = "";
    ASSERT_TRUE(CopyTo(FixturePath("fixture_v1.dll"), source.File("x.dll")));
    struct Case {
        const char* answers;
        int questions;
        bool copied;
    } cases[] = {{"yes,6,6,ok", 4, false}, {"yes,7,7,ok", 4, true}, {"yes,256,ok", 3, false}};
    for (const Case& c : cases) {
        DeleteKeyTree(HKEY_CURRENT_USER, RUNTIME);  // else the 6.5 record is asked about
        CreateDirectoryA(target.c_str(), nullptr);
        for (const char* name : {"\\x.dll", "\\z.dll"})
            ASSERT_TRUE(CopyTo(FixturePath("fixture_v2.dll"), target + name));
        EXPECT_EQ(0, Run("", c.answers)) << c.answers;
        EXPECT_EQ(c.questions, CountOf(log, "MessageBox answered unattended")) << log;
        std::string expected =
            ReadFileBytes(FixturePath(c.copied ? "fixture_v1.dll" : "fixture_v2.dll"));
        EXPECT_EQ(expected, ReadFileBytes(target + "\\x.dll")) << c.answers;
        EXPECT_EQ(expected, ReadFileBytes(target + "\\z.dll")) << c.answers;
        EXPECT_EQ(!c.copied, Contains(log, "skipped by user, src is old")) << log;
    }
    // Silent: kept without a question.
    DeleteKeyTree(HKEY_CURRENT_USER, RUNTIME);
    EXPECT_EQ(0, Run("-s"));
    EXPECT_EQ(ReadFileBytes(FixturePath("fixture_v2.dll")), ReadFileBytes(target + "\\x.dll"));
    EXPECT_EQ(0, CountOf(log, "MessageBox answered unattended")) << log;
    EXPECT_TRUE(Contains(log, "skipped by user, src is old")) << log;
}

TEST_F(RtSetupTest, MissingSourceRetryIgnoreAbort) {
    ini["Group1"]["SrcFile1"] = "$SrcPath\\none.exe";  // the player's source is missing
    struct Case {
        const char* answers;  // confirm, then the copy questions, then the end
        int code;
        int questions;
        bool secondCopied;
    } cases[] = {
        {"yes,4,4,3,ok", ABORTED, 5, false},  // retry twice, then abort
        {"yes,5,ok", 0, 3, true},             // ignore: on to the next file
    };
    for (const Case& c : cases) {
        SetUp();
        ini["Group1"]["SrcFile1"] = "$SrcPath\\none.exe";
        EXPECT_EQ(c.code, Run("", c.answers)) << c.answers;
        EXPECT_EQ(c.questions, CountOf(log, "MessageBox answered unattended")) << log;
        EXPECT_EQ(c.secondCopied, IsExistingFileForTest(target + "\\x.dll")) << c.answers;
        EXPECT_TRUE(Contains(log, "CopyFile: (" + source.File("none.exe") + ") to (")) << log;
        // No player was installed: no record.
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, RECORD)) << c.answers;
        DeleteKeyTree(HKEY_CURRENT_USER, RUNTIME);
    }
}

TEST_F(RtSetupTest, DamagedIniValues) {
    std::string overlong(300, 'x');
    struct Case {
        const char* name;
        const char* section;
        const char* key;
        std::string value;
        int code;
        bool installed;
    } cases[] = {
        // No file listed at all: a failed install, not a finished one.
        {"num not numbers", "InstallFiles", "num", "abc", NO_FOLDER, false},
        {"group section missing", "InstallFiles", "install1", "", NO_FOLDER, false},
        {"negative FileNum", "Group1", "FileNum", "-5", NO_FOLDER, false},
        {"Regsvr with junk", "Group1", "Regsvr", "x,,2,", 0, true},
        {"overlong DstPath", "InstallFiles", "DstPath", "C:\\" + overlong, NO_FOLDER, false},
        {"overlong DstFile", "Group1", "DstFile2", "C:\\" + overlong, ABORTED, false},
        {"missing num", "InstallFiles", "num", "-", 0, true},
    };
    for (const Case& c : cases) {
        SetUp();
        if (c.value == "-")
            ini[c.section].erase(c.key);
        else
            ini[c.section][c.key] = c.value;
        EXPECT_EQ(c.code, Run("-s")) << c.name << "\n" << log;
        EXPECT_EQ(c.installed, IsExistingFileForTest(target + "\\x.dll")) << c.name;
        EXPECT_EQ(c.installed, KeyExists(HKEY_CURRENT_USER, RECORD)) << c.name;
        if (c.installed && std::string(c.key) == "Regsvr") {
            EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "MavroSetupFixture\\v2")) << c.name;
        }
        TearDown();
    }
}

TEST_F(RtSetupTest, OlderOwnRecordIsReplacedWithoutAQuestion) {
    // Older in the second group: collected without asking.
    ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, RECORD, nullptr, "C:\\old\\mavrort.exe"));
    ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, RECORD, "Version", "6.5-0.9.0.0-9.0.0.0"));
    EXPECT_EQ(0, Run("", "yes,ok"));
    EXPECT_EQ(2, CountOf(log, "MessageBox answered unattended")) << log;
    EXPECT_EQ(Player(), RegText(HKEY_CURRENT_USER, RECORD, nullptr));
    EXPECT_EQ(SETUP_VERSION, RegText(HKEY_CURRENT_USER, RECORD, "Version"));
}

TEST_F(RtSetupTest, OlderLineNewerInEveryGroupKeepsAnExistingPlayer) {
    std::string kept = std::string(RUNTIME) + "\\6.0", gone = std::string(RUNTIME) + "\\6.1";
    std::string existing = source.File("MavroRT.exe");
    ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, kept.c_str(), nullptr, existing));
    ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, gone.c_str(), nullptr, "C:\\gone\\mavrort.exe"));
    for (const std::string& key : {kept, gone})
        ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, key.c_str(), "Version", "7.0-9.9.9.9-9.9.9.9"));
    EXPECT_EQ(0, Run("-s"));
    EXPECT_EQ(existing, RegText(HKEY_CURRENT_USER, kept.c_str(), nullptr));
    EXPECT_EQ(Player(), RegText(HKEY_CURRENT_USER, gone.c_str(), nullptr));
    EXPECT_EQ(SETUP_VERSION, RegText(HKEY_CURRENT_USER, gone.c_str(), "Version"));
}

TEST_F(RtSetupTest, MissingSourceOverAnExistingTarget) {
    // The version check finds the source missing: asked like a failed copy,
    // and silent counts as Abort.
    CreateDirectoryA(target.c_str(), nullptr);
    WriteFileBytes(Player(), "installed");
    ini["Group1"]["SrcFile1"] = "$SrcPath\\none.exe";
    EXPECT_EQ(ABORTED, Run("-s"));
    EXPECT_TRUE(Contains(log, "CopyFile: " + source.File("none.exe") + "  to " + Player())) << log;
    EXPECT_FALSE(Contains(log, "CopyFile: (")) << log;
    EXPECT_EQ("installed", ReadFileBytes(Player()));

    EXPECT_EQ(0, Run("", "yes,5,ok"));  // Ignore: the rest installs
    EXPECT_EQ(3, CountOf(log, "MessageBox answered unattended")) << log;
    EXPECT_TRUE(IsExistingFileForTest(target + "\\x.dll"));
}

TEST_F(RtSetupTest, RepeatedLogLinesAreAllWritten) {
    // The same server listed twice: two equal lines in a row, both written.
    ini["Group1"]["FileNum"] = "3";
    ini["Group1"]["SrcFile3"] = "$SrcPath\\x.dll";
    ini["Group1"]["DstFile3"] = "$DstPath\\x.dll";
    ini["Group1"]["Regsvr"] = "2,3";
    EXPECT_EQ(0, Run("-s"));
    EXPECT_EQ(2, CountOf(log, "RegisterFile " + target + "\\x.dll succeeded")) << log;
    EXPECT_EQ(0, CountOf(log, ">>REPEAT<<")) << log;
}

TEST_F(RtSetupTest, OldLineRewrittenUnlessNewerInAllGroups) {
    struct Case {
        const char* stored;
        bool kept;
    } cases[] = {
        {"7.0-9.9.9.9-9.9.9.9", true},
        {"7.0-9.9.9.9-0.0.0.0", false},
        {"6.5-9.9.9.9-9.9.9.9", false},
        {"", false},
        {"garbage", false},
    };
    for (const Case& c : cases) {
        SetUp();
        ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, OLD_LINE, nullptr, "C:\\old\\mavrort.exe"));
        ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, OLD_LINE, "Version", c.stored));
        ASSERT_EQ(0, Run("-s")) << c.stored;
        EXPECT_EQ(c.kept ? "C:\\old\\mavrort.exe" : Player(),
                  RegText(HKEY_CURRENT_USER, OLD_LINE, nullptr))
            << c.stored;
        EXPECT_EQ(c.kept ? c.stored : SETUP_VERSION,
                  RegText(HKEY_CURRENT_USER, OLD_LINE, "Version"))
            << c.stored;
        TearDown();
    }
}

// An ini that lists no file installs nothing and says so: the empty entry
// that ends a group cannot make a run without files look installed.
TEST_F(RtSetupTest, IniListingNoFileFailsTheInstall) {
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += (char)((i * 131 + 7) % 256);
    struct Case {
        const char* what;
        std::string text;
    } cases[] = {
        {"cut after DstPath=", "[InstallFiles]\r\nDstPath="},
        {"empty", ""},
        {"binary", binary},
    };
    // The failure box's text as the program shows it (the ANSI code page).
    std::wstring wide = L"Mavro运行环境没有安装成功!";
    char shown[256] = "";
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, shown, sizeof(shown), nullptr, nullptr);
    for (const Case& c : cases) {
        for (const char* arguments : {"-s", ""}) {
            SCOPED_TRACE(std::string(c.what) + " " + arguments);
            SetUp();
            WriteFileBytes(source.File("MavroRTSetup.ini"), c.text);
            ProcessResult r = RunProgram(setup, arguments, source.Path(), "yes,ok");
            ASSERT_TRUE(r.finished);
            log = TempFileText("~mavrortsetup.lg0");
            EXPECT_EQ(NO_FOLDER, (int)r.exitCode) << log;
            EXPECT_TRUE(Contains(log, "Install failed")) << log;
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, RECORD));
            // Not silent: the question, then the failure, nothing else.
            EXPECT_EQ(*arguments ? 0 : 2, CountOf(log, "MessageBox answered unattended")) << log;
            EXPECT_EQ(*arguments ? 0 : 1, CountOf(log, shown)) << log;
            TearDown();
        }
    }
}
