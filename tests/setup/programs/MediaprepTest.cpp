// The media installer as a process, as Windows 7 and as Windows NT 4.
#include <gtest/gtest.h>

#include "SetupProcess.h"
#include "TestFiles.h"

namespace {

const char APP_DEFAULTS[] = "Software\\Wine\\AppDefaults\\Mediaprep.exe";
const char MODULE_USAGE[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage";
const char RUN_ONCE[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char CLIENT[] = "Orvane_Mavro_Tool_6";

class MediaprepTest : public testing::Test {
protected:
    void SetUp() override {
        char system[MAX_PATH];
        GetSystemDirectoryA(system, MAX_PATH);
        systemCodec = std::string(system) + "\\l3codecx.ax";
        systemRuntime = std::string(system) + "\\msvcrt.dll";
        Clean();
        program = work.File("Mediaprep.exe");
        ASSERT_TRUE(CopyTo(WinPath(SETUP_MEDIAPREP_EXE), program));
        ASSERT_TRUE(CopyTo(FixturePath("fixture_v1.dll"), work.File("msvcrt.dll")));
        ASSERT_TRUE(CopyTo(FixturePath("fixture_v2.dll"), work.File("l3codecx.ax")));
        ASSERT_TRUE(CopyTo(FixturePath("fakeprogram.exe"), work.File("dxmedia.exe")));
        runtimeBefore = ReadFileBytes(systemRuntime);
        ASSERT_FALSE(runtimeBefore.empty());
    }
    void TearDown() override {
        Clean();
        // The prefix's own C runtime is never replaced: the fixture is older.
        EXPECT_EQ(runtimeBefore, ReadFileBytes(systemRuntime));
    }
    void Clean() {
        DeleteFileA(systemCodec.c_str());
        DeleteKeyTree(HKEY_CURRENT_USER, APP_DEFAULTS);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, MODULE_USAGE);
        DeleteKeyTree(HKEY_CLASSES_ROOT, "MavroSetupFixture");
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RUN_ONCE, 0, KEY_ALL_ACCESS, &key) == 0) {
            RegDeleteValueA(key, "l3codecx.ax");
            RegCloseKey(key);
        }
        RemoveTempFile("~mediaprep.lg0");
    }
    void AsWindows(const char* version) {
        ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, APP_DEFAULTS, "Version", version));
    }
    void ListClient(const char* module) {
        std::string key = std::string(MODULE_USAGE) + "\\C:/Windows/System32/" + module;
        ASSERT_TRUE(RegWrite(HKEY_LOCAL_MACHINE, key.c_str(), CLIENT, "1"));
    }
    int Run(const std::string& arguments, const std::string& answers = "") {
        ProcessResult r = RunProgram(program, arguments, work.Path(), answers);
        EXPECT_TRUE(r.started && r.finished);
        log = TempFileText("~mediaprep.lg0");
        return (int)r.exitCode;
    }
    int Questions() const {
        int n = 0;
        for (size_t at = log.find("MessageBox answered unattended"); at != std::string::npos;
             at = log.find("MessageBox answered unattended", at + 1))
            ++n;
        return n;
    }
    std::string Redistributable() const { return ReadFileBytes(work.File("dxmedia.exe.log")); }

    TempFolder work;
    std::string program, systemCodec, systemRuntime, runtimeBefore, log;
};

}  // namespace

TEST_F(MediaprepTest, AsWindows7OnlyTheCodecIsHandled) {
    AsWindows("win7");
    EXPECT_EQ(0, Run("", "ok"));
    EXPECT_TRUE(Contains(log, "DirectXMedia 6.0 Setup")) << log;
    EXPECT_TRUE(Contains(log,
                         "OSVersion info : osVerInfo.dwPlatformId (2), "
                         "osVerInfo.dwMajorVersion (6)"))
        << log;
    // Never copied: older than the system's, or (as Wine reads the version of
    // a file of that name) the same.
    EXPECT_TRUE(Contains(log, "msvcrt.dll is old -- ignored") ||
                Contains(log, "msvcrt.dll same with dst -- ignored"))
        << log;
    EXPECT_TRUE(Contains(log, "Register " + systemCodec + " -- OK")) << log;
    EXPECT_TRUE(Contains(log, "DxMedia 6.0 installed successfully.")) << log;
    EXPECT_EQ(ReadFileBytes(work.File("l3codecx.ax")), ReadFileBytes(systemCodec));
    EXPECT_EQ(systemCodec, RegText(HKEY_CLASSES_ROOT, "MavroSetupFixture\\v2", nullptr));
    EXPECT_EQ("", Redistributable());
    EXPECT_EQ(1, Questions()) << log;  // the closing box only
}

TEST_F(MediaprepTest, AsNT4TheRedistributableRunsWithoutAQuestion) {
    AsWindows("nt40");
    ListClient("danim.dll");
    ListClient("quartz.dll");
    WriteFileBytes(work.File("dxmedia.exe.code"), "3010");
    EXPECT_EQ(3010, Run("", "no"));
    EXPECT_TRUE(Contains(log, "osVerInfo.dwMajorVersion (4)")) << log;
    EXPECT_EQ(std::string("dxmedia.exe -id:") + CLIENT + "\n", Redistributable());
    EXPECT_TRUE(Contains(log, "DxMedia 6.0 installed successfully. reboot required")) << log;
    EXPECT_EQ(1, Questions()) << log;  // the closing box only
}

TEST_F(MediaprepTest, AsNT4AlreadyRecordedForAllThree) {
    AsWindows("nt40");
    for (const char* module : {"danim.dll", "quartz.dll", "DDrawEx.dll"}) ListClient(module);
    EXPECT_EQ(0, Run("-s"));
    EXPECT_TRUE(Contains(log, "Turn to silence mode")) << log;
    EXPECT_TRUE(Contains(log, std::string("DxMedia 6.0 already installed for ") + CLIENT)) << log;
    EXPECT_TRUE(Contains(log, "Quit installation in silence mode")) << log;
    EXPECT_EQ("", Redistributable());

    EXPECT_EQ(0, Run("", "no"));
    EXPECT_TRUE(Contains(log, "Cancel installation by user")) << log;
    EXPECT_EQ("", Redistributable());

    WriteFileBytes(work.File("dxmedia.exe.code"), "5");
    EXPECT_EQ(5, Run("", "yes,ok"));
    EXPECT_TRUE(Contains(log, "Re-installation DirectXMedia6.0")) << log;
    EXPECT_TRUE(Contains(log, "DxMedia 6.0 installed failed, error code")) << log;
}

TEST_F(MediaprepTest, MissingRedistributableEndsWithItsError) {
    AsWindows("nt40");
    DeleteFileA(work.File("dxmedia.exe").c_str());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Run("-s"));
    EXPECT_TRUE(Contains(log, "ExecuteCommand dxmedia.exe -id:Orvane_Mavro_Tool_6 failed")) << log;
}

TEST_F(MediaprepTest, CodecFailures) {
    AsWindows("win7");
    // A missing codec: code 2, the codec box, and the end (not silent).
    DeleteFileA(work.File("l3codecx.ax").c_str());
    EXPECT_EQ(0, Run("", "ok"));
    EXPECT_TRUE(Contains(log, "Src file: " + work.File("l3codecx.ax") + " not found -- ignored"))
        << log;
    EXPECT_TRUE(Contains(log, "Install l3codecx failed, error code (0x00000002)")) << log;
    EXPECT_FALSE(Contains(log, "OSVersion info")) << log;
    EXPECT_FALSE(Contains(log, "RegisterFile for")) << log;
    EXPECT_EQ("", RegText(HKEY_LOCAL_MACHINE, RUN_ONCE, "l3codecx.ax"));

    // A registration failure, silent: RunOnce takes over, the run goes on.
    ASSERT_TRUE(CopyTo(FixturePath("fixture_v3fail.dll"), work.File("l3codecx.ax")));
    EXPECT_EQ(3010, Run("-s"));
    EXPECT_TRUE(
        Contains(log, "RegisterFile for " + systemCodec + " failed. add to registry when reboot"))
        << log;
    EXPECT_EQ("regsvr32 l3codecx.ax", RegText(HKEY_LOCAL_MACHINE, RUN_ONCE, "l3codecx.ax"));
    EXPECT_TRUE(Contains(log, "OSVersion info")) << log;
    EXPECT_EQ(0, Questions());
}
