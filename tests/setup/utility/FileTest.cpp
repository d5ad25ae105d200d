// Path pieces, folders, file times and copying with replacement at restart.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "SetupProcess.h"
#include "TestFiles.h"
#include "aSetupFile.h"

namespace {

const char SESSION_MANAGER[] = "System\\CurrentControlSet\\Control\\Session Manager";

// The pending renames as pairs (from, to); "" for a deletion.
std::vector<std::pair<std::string, std::string>> PendingRenames() {
    std::vector<std::pair<std::string, std::string>> out;
    std::vector<char> data(65536);
    DWORD size = (DWORD)data.size() - 2;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    LONG r = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                              reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS)
        return out;
    // Items may be empty (a deletion), so the value is split by its size.
    std::vector<std::string> items;
    for (const char* p = data.data(); p < data.data() + size; p += strlen(p) + 1)
        items.push_back(p);
    for (size_t i = 0; i + 1 < items.size(); i += 2) out.push_back({items[i], items[i + 1]});
    return out;
}

void ClearPendingRenames() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, 0, KEY_ALL_ACCESS, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, "PendingFileRenameOperations");
        RegCloseKey(key);
    }
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

TEST(SetupFile, ReplaceExtension) {
    struct Case {
        const char* path;
        const char* ext;
        const char* expect;
    } cases[] = {
        {"C:\\a\\Startup.exe", ".ini", "C:\\a\\Startup.ini"},
        {"C:\\a\\noext", ".ini", "C:\\a\\noext.ini"},
        // A point in a folder name is no extension.
        {"C:\\my.dir\\noext", ".ini", "C:\\my.dir\\noext.ini"},
        {"C:\\my.dir\\x.tar.gz", ".tm!", "C:\\my.dir\\x.tar.tm!"},
        {"name.", ".ini", "name.ini"},
        {"C:\\a\\b.exe", "", "C:\\a\\b"},
    };
    for (const Case& c : cases) {
        char out[MAX_PATH];
        ASSERT_TRUE(ReplaceExtension(out, c.path, c.ext)) << c.path;
        EXPECT_STREQ(c.expect, out) << c.path;
    }
    std::string longName(MAX_PATH - 3, 'x');
    char out[MAX_PATH];
    EXPECT_FALSE(ReplaceExtension(out, longName.c_str(), ".ini"));
}

TEST(SetupFile, PathPieces) {
    char folder[MAX_PATH];
    ASSERT_TRUE(GetFolder("C:\\a\\b\\c.dll", folder, sizeof(folder)));
    EXPECT_STREQ("C:\\a\\b", folder);
    ASSERT_TRUE(GetFolder("c.dll", folder, sizeof(folder)));
    EXPECT_STREQ("", folder);
    char small[4] = "old";
    EXPECT_FALSE(GetFolder("C:\\abc\\d", small, sizeof(small)));
    EXPECT_STREQ("old", small);

    EXPECT_STREQ("c.dll", GetFileNamePart("C:\\a\\b\\c.dll"));
    EXPECT_STREQ("c.dll", GetFileNamePart("c.dll"));
    EXPECT_STREQ("", GetFileNamePart("C:\\a\\"));

    struct Kind {
        const char* path;
        bool versioned;
    } kinds[] = {{"a.exe", true},   {"A.DLL", true},         {"x.Drv", true},  {"y.shd", true},
                 {"z.ax", false},   {"w.txt", false},        {"noext", false}, {"d.dll\\f", false},
                 {"a.dllx", false}, {"C:\\p.q\\r.exe", true}};
    for (const Kind& k : kinds) EXPECT_EQ(k.versioned, IsVersionedFile(k.path)) << k.path;
}

TEST(SetupFile, ExistenceAndFolders) {
    TempFolder folder;
    std::string file = folder.File("f.txt");
    WriteFileBytes(file, "x");
    EXPECT_TRUE(IsExistingFile(file.c_str()));
    EXPECT_FALSE(IsExistingFile(folder.Path().c_str()));
    EXPECT_FALSE(IsExistingFile(""));
    EXPECT_FALSE(IsExistingFile(nullptr));
    EXPECT_FALSE(IsExistingFile(folder.File("none").c_str()));

    std::string deep = folder.File("a\\b\\c");
    EXPECT_TRUE(CreateDirectorys(deep.c_str()));
    DWORD a = GetFileAttributesA(deep.c_str());
    EXPECT_TRUE(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(CreateDirectorys(deep.c_str()));  // already there
    // A file in the way, and a drive that does not exist.
    EXPECT_FALSE(CreateDirectorys((file + "\\sub").c_str()));
    EXPECT_FALSE(CreateDirectorys("Q:\\MavroTest\\sub"));
}

TEST(SetupFile, TimesCopiedAndCompared) {
    TempFolder folder;
    std::string a = folder.File("a.bin"), b = folder.File("b.bin");
    WriteFileBytes(a, "a");
    WriteFileBytes(b, "b");
    FILETIME when = {0x12345678, 0x01D00000};
    HANDLE h = CreateFileA(a.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(h, &when, &when, &when);
    CloseHandle(h);
    EXPECT_EQ(-1, CompareFileTimes(a.c_str(), b.c_str()));
    EXPECT_EQ(1, CompareFileTimes(b.c_str(), a.c_str()));
    ASSERT_TRUE(CopyFileTimes(b.c_str(), a.c_str()));
    EXPECT_EQ(0, CompareFileTimes(a.c_str(), b.c_str()));
    EXPECT_EQ(-2, CompareFileTimes(folder.File("none").c_str(), b.c_str()));
    EXPECT_EQ(2, CompareFileTimes(a.c_str(), folder.File("none").c_str()));
    EXPECT_FALSE(CopyFileTimes(folder.File("none").c_str(), a.c_str()));
    EXPECT_FALSE(CopyFileTimes(b.c_str(), folder.File("none").c_str()));
}

TEST(CopyFileReplace, CopiesAndClearsHidingAttributes) {
    TempFolder folder;
    std::string source = folder.File("s.bin"), target = folder.File("t.bin");
    WriteFileBytes(source, "new");
    WriteFileBytes(target, "old");
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    DWORD flag = 99;
    ASSERT_TRUE(CopyFileReplace(source.c_str(), target.c_str(), &flag));
    EXPECT_EQ(0u, flag);
    EXPECT_EQ("new", ReadFileBytes(target));
    EXPECT_EQ(0u, GetFileAttributesA(target.c_str()) &
                      (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(CopyFileReplace, MissingSourceOrFolderGiveTheirCodes) {
    TempFolder folder;
    std::string source = folder.File("s.bin");
    WriteFileBytes(source, "x");
    DWORD flag = 99;
    EXPECT_FALSE(CopyFileReplace(folder.File("none").c_str(), folder.File("t").c_str(), &flag));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, flag);
    flag = 99;
    EXPECT_FALSE(CopyFileReplace(source.c_str(), folder.File("no\\t").c_str(), &flag));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, flag);
}

TEST(CopyFileReplace, TargetInUseIsReplacedAtRestart) {
    struct Case {
        const char* name;
        const char* temporaryEnd;
    } cases[] = {{"t.dll", ".TM!"}, {"t.tm!", ".T!!"}, {"plain", ".TM!"}};
    for (const Case& c : cases) {
        ClearPendingRenames();
        TempFolder folder;
        std::string source = folder.File("s.bin"), target = folder.File(c.name);
        WriteFileBytes(source, "new");
        WriteFileBytes(target, "old");
        HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        LogCapture log;
        DWORD flag = 99;
        EXPECT_TRUE(CopyFileReplace(source.c_str(), target.c_str(), &flag)) << c.name;
        EXPECT_EQ(1u, flag) << c.name;
        CloseHandle(held);
        std::string text = log.Text();
        EXPECT_TRUE(Logged(text, "cannot replace file: " + target + ", Add to registry: "));
        // The copy waits beside the target under the temporary name.
        auto renames = PendingRenames();
        ASSERT_EQ(2u, renames.size()) << c.name;
        EXPECT_TRUE(EndsWith(renames[0].first, std::string("\\") + c.name)) << renames[0].first;
        EXPECT_EQ("", renames[0].second);
        std::string temporary = renames[1].first.substr(4);  // after "\??\"
        std::string upper = temporary;
        CharUpperA(&upper[0]);
        EXPECT_TRUE(EndsWith(upper, c.temporaryEnd)) << temporary;
        EXPECT_EQ("new", ReadFileBytes(temporary));
        EXPECT_EQ("old", ReadFileBytes(target));
        ClearPendingRenames();
        DeleteFileA(temporary.c_str());
    }
}

TEST(CopyFileReplace, EveryFailureSetsTheFlag) {
    // The source is held without sharing: the copy fails with a sharing
    // violation, and so does the copy to the temporary name.
    TempFolder folder;
    std::string source = folder.File("s.bin"), target = folder.File("t.bin");
    WriteFileBytes(source, "new");
    WriteFileBytes(target, "old");
    HANDLE held = CreateFileA(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DWORD flag = 0;
    EXPECT_FALSE(CopyFileReplace(source.c_str(), target.c_str(), &flag));
    CloseHandle(held);
    EXPECT_NE(0u, flag);
    EXPECT_NE(1u, flag);
    EXPECT_EQ("old", ReadFileBytes(target));
}

TEST(CopyFileReplace, OnWindows9xTheRenameGoesToWininit) {
    const char defaults[] = "Software\\Wine\\AppDefaults\\replacetool.exe";
    ASSERT_TRUE(RegWrite(HKEY_CURRENT_USER, defaults, "Version", "win98"));
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    std::string wininit = std::string(windows) + "\\wininit.ini";
    DeleteFileA(wininit.c_str());

    TempFolder folder;
    std::string tool = folder.File("replacetool.exe");
    ASSERT_TRUE(CopyTo(FixturePath("replacetool.exe"), tool));
    std::string source = folder.File("s.bin"), target = folder.File("t.dll");
    WriteFileBytes(source, "new");
    WriteFileBytes(target, "old");
    HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ProcessResult r = RunProgram(tool, "\"" + source + "\" \"" + target + "\"", folder.Path());
    CloseHandle(held);
    DeleteKeyTree(HKEY_CURRENT_USER, defaults);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(1001u, r.exitCode);  // Windows 9x, flag 1, copied

    char shortTarget[MAX_PATH];
    GetShortPathNameA(target.c_str(), shortTarget, MAX_PATH);
    char temporary[MAX_PATH] = "";
    GetPrivateProfileStringA("rename", shortTarget, "", temporary, MAX_PATH, wininit.c_str());
    std::string upper = temporary;
    CharUpperA(&upper[0]);
    EXPECT_TRUE(EndsWith(upper, "\\T.TM!")) << temporary;
    EXPECT_EQ("new", ReadFileBytes(temporary));
    EXPECT_TRUE(PendingRenames().empty());
    DeleteFileA(temporary);
    DeleteFileA(wininit.c_str());
}
