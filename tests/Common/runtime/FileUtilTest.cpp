// Path, file, mapping and disk helpers.
#include <gtest/gtest.h>

#include <string.h>

#include <random>
#include <string>

#include "TestFiles.h"
#include "bFileUtil.h"
#include "bTraceLog.h"

namespace {

// A GBK character whose trail byte is 0x5C, the code of a backslash.
const char kTrailBackslash[] = "\x95\x5C";

bool DoubleByteCodePage() {
    return IsDBCSLeadByte(0x95) != 0;
}

TEST(PathParts, DirectoryNameAndExtension) {
    struct Case {
        const char* path;
        const char* dir;
        const char* name;
        const char* ext;
    } cases[] = {
        {"C:\\a\\b.txt", "C:\\a", "b.txt", ".txt"},
        {"b.txt", "", "b.txt", ".txt"},
        {"C:\\b.txt", "C:", "b.txt", ".txt"},
        {"C:\\a.d\\file", "C:\\a.d", "file", ""},
        {"C:\\a\\b.tar.gz", "C:\\a", "b.tar.gz", ".gz"},
        {"C:/x/y.bmp", "C:/x", "y.bmp", ".bmp"},
        {"\\\\srv\\share\\f.ini", "\\\\srv\\share", "f.ini", ".ini"},
        {"C:", "C:", nullptr, ""},
        {"C:\\a\\", "C:\\a", nullptr, ""},
        {"", "", nullptr, ""},
    };
    for (const Case& c : cases) {
        char buf[MAX_PATH];
        ASSERT_TRUE(PathDirectory(c.path, buf, sizeof(buf))) << c.path;
        EXPECT_STREQ(buf, c.dir) << c.path;
        strcpy(buf, "unchanged");
        EXPECT_EQ(PathFileName(c.path, buf, sizeof(buf)), c.name != nullptr) << c.path;
        EXPECT_STREQ(buf, c.name ? c.name : "unchanged") << c.path;
        EXPECT_TRUE(PathExtension(c.path, buf, sizeof(buf))) << c.path;
        EXPECT_STREQ(buf, c.ext) << c.path;
    }
}

TEST(PathParts, TrailBytesAreNoSeparators) {
    if (!DoubleByteCodePage())
        GTEST_SKIP() << "needs a double-byte code page";
    // C:\<x5C-trail char>.bmp: the file name is the whole double-byte name.
    std::string path = std::string("C:\\d\\") + kTrailBackslash + ".bmp";
    char buf[MAX_PATH];
    ASSERT_TRUE(PathFileName(path.c_str(), buf, sizeof(buf)));
    EXPECT_EQ(std::string(buf), std::string(kTrailBackslash) + ".bmp");
    ASSERT_TRUE(PathDirectory(path.c_str(), buf, sizeof(buf)));
    EXPECT_STREQ(buf, "C:\\d");
    // A folder ending in such a character still needs a separator.
    std::string dir = std::string("C:\\") + kTrailBackslash;
    ASSERT_TRUE(PathCombine(dir.c_str(), "f", buf, sizeof(buf)));
    EXPECT_EQ(std::string(buf), dir + "\\f");
}

TEST(PathParts, ResultsThatDoNotFit) {
    char buf[8];
    strcpy(buf, "keep");
    EXPECT_FALSE(PathFileName("C:\\abcdefgh.txt", buf, sizeof(buf)));
    EXPECT_STREQ(buf, "keep");
    EXPECT_FALSE(PathDirectory("C:\\abcdefgh\\x", buf, sizeof(buf)));
    EXPECT_STREQ(buf, "keep");
    EXPECT_FALSE(PathCombine("C:\\abc", "defg", buf, sizeof(buf)));
    EXPECT_STREQ(buf, "keep");
    EXPECT_FALSE(PathReplaceExtension("C:\\abc.x", "bmp", buf, sizeof(buf)));
    EXPECT_STREQ(buf, "keep");
    // Exactly fitting: 7 characters and the NUL.
    EXPECT_TRUE(PathFileName("C:\\abc.txt", buf, sizeof(buf)));
    EXPECT_STREQ(buf, "abc.txt");
    // The extension is cut to what fits, and the answer is false.
    EXPECT_FALSE(PathExtension("a.abcdefghij", buf, sizeof(buf)));
    EXPECT_STREQ(buf, ".abcdef");
    if (DoubleByteCodePage()) {
        // Never half a character: ".\xB1\xED\xB1\xED" cut to 4 bytes keeps 3.
        char small[5];
        EXPECT_FALSE(PathExtension("a.\xB1\xED\xB1\xED", small, sizeof(small)));
        EXPECT_STREQ(small, ".\xB1\xED");
    }
}

TEST(PathParts, CombineAndReplaceExtension) {
    struct Combine {
        const char* dir;
        const char* name;
        const char* out;
    } combines[] = {
        {"C:\\a\\", "b", "C:\\a\\b"}, {"C:\\a", "b", "C:\\a\\b"},
        {"C:/a/", "b", "C:/a/b"},     {"", "b", "b"},
        {"C:\\a", "", "C:\\a\\"},
    };
    char buf[MAX_PATH];
    for (const Combine& c : combines) {
        ASSERT_TRUE(PathCombine(c.dir, c.name, buf, sizeof(buf))) << c.dir;
        EXPECT_STREQ(buf, c.out) << c.dir << " + " << c.name;
    }
    struct Replace {
        const char* path;
        const char* ext;
        const char* out;
    } replaces[] = {
        {"C:\\w\\demo.mrt", "ini", "C:\\w\\demo.ini"},
        {"C:\\w\\demo.mrt", ".mvb", "C:\\w\\demo.mvb"},
        {"C:\\w.d\\demo", "ini", "C:\\w.d\\demo.ini"},
        {"demo.v1.mrt", "ini", "demo.v1.ini"},
        {"C:\\w\\demo.mrt", "", "C:\\w\\demo"},
    };
    for (const Replace& r : replaces) {
        ASSERT_TRUE(PathReplaceExtension(r.path, r.ext, buf, sizeof(buf)));
        EXPECT_STREQ(buf, r.out);
    }
    // In place.
    strcpy(buf, "C:\\w\\long_name.extension");
    ASSERT_TRUE(PathReplaceExtension(buf, "x", buf, sizeof(buf)));
    EXPECT_STREQ(buf, "C:\\w\\long_name.x");
}

TEST(PathParts, SplitMatchesTheRuntimeOnRandomPaths) {
    // Single-byte paths of separators, points, colons and letters, against
    // the C runtime's _splitpath.
    std::mt19937 rng(1147);
    const char alphabet[] = "ab.\\/:c";
    for (int n = 0; n < 2000; ++n) {
        std::string path;
        int len = rng() % 12;
        for (int i = 0; i < len; ++i) path += alphabet[rng() % (sizeof(alphabet) - 1)];
        char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
        _splitpath(path.c_str(), drive, dir, fname, ext);
        char buf[MAX_PATH];
        ASSERT_TRUE(PathExtension(path.c_str(), buf, sizeof(buf)));
        EXPECT_STREQ(buf, ext) << path;
        std::string name = std::string(fname) + ext;
        EXPECT_EQ(PathFileName(path.c_str(), buf, sizeof(buf)), !name.empty()) << path;
        if (!name.empty()) {
            EXPECT_EQ(std::string(buf), name) << path;
        }
        std::string folder = std::string(drive) + dir;
        if (strlen(dir) > 0)
            folder.pop_back();
        ASSERT_TRUE(PathDirectory(path.c_str(), buf, sizeof(buf)));
        EXPECT_EQ(std::string(buf), folder) << path;
    }
}

TEST(IsValidFileName, Cases) {
    struct Case {
        const char* path;
        bool valid;
    } cases[] = {
        {"C:\\a\\b.txt", true},
        {"c:\\a b\\c", true},
        {"\\\\server\\share\\f", true},
        {"C:\\", true},
        {"C:\\a\\", true},
        {"C:\\a\\\\b", false},
        {"C:\\a\\ \\b", false},  // blanks between do not count
        {"C:\\ \\a", false},     // backslash right after the beginning
        {"C:\\\\a", false},
        {"\\\\\\server", false},
        {"C:", false},
        {"C:\\a?", false},
        {"C:\\a*b", false},
        {"C:\\a,b", false},
        {"C:\\a;b", false},
        {"C:\\a<b", false},
        {"C:\\a>b", false},
        {"C:\\a[b", false},
        {"C:\\a]b", false},
        {"C:\\a|b", false},
        {"C:\\a/b", false},
        {"C:\\a\"b", false},
        {"C:\\a'b", false},
        {"C:\\a\tb", false},
        {" C:\\a", false},
        {"C:\\a ", false},
        {"C:a\\b", false},
        {"1:\\a", false},
        {"a\\b\\c", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsValidFileName(c.path), c.valid) << c.path;
    EXPECT_FALSE(IsValidFileName(nullptr));
    if (DoubleByteCodePage()) {
        // A trail byte 0x5C is no backslash, 0x7C no bar, 0x5B no bracket.
        EXPECT_TRUE(IsValidFileName((std::string("C:\\") + kTrailBackslash + "\\x").c_str()));
        EXPECT_TRUE(IsValidFileName("C:\\\x95\x7C\x95\x5B"));
    }
}

TEST(Files, ExistenceSizeAndFolders) {
    TempFolder scratch;
    std::string file = scratch.File("f.bin");
    ASSERT_TRUE(WriteFileBytes(file, std::string(1234, 'x')));
    EXPECT_TRUE(PathAccessible(file.c_str()));
    EXPECT_TRUE(PathAccessible(scratch.Path().c_str()));
    EXPECT_TRUE(FileExists(file.c_str()));
    EXPECT_FALSE(FileExists(scratch.Path().c_str()));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(scratch.File("none").c_str()));
    EXPECT_FALSE(PathAccessible(scratch.File("none").c_str()));

    DWORD high = 7;
    EXPECT_EQ(FileSizeOf(file.c_str(), &high), 1234u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(FileSizeOf(scratch.File("none").c_str()), 0xFFFFFFFFu);
    EXPECT_EQ(FileSizeOf(scratch.Path().c_str()), 0xFFFFFFFFu);

    std::string deep = scratch.File("a\\b.c\\d");
    EXPECT_TRUE(CreateDirectoryPath(deep.c_str()));
    DWORD attr = GetFileAttributesA(deep.c_str());
    EXPECT_TRUE(attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(CreateDirectoryPath((deep + "\\").c_str()));  // already there
    EXPECT_TRUE(CreateDirectoryPath((scratch.Path() + "/e/f").c_str()));
    // A file in the way.
    EXPECT_FALSE(CreateDirectoryPath((file + "\\sub").c_str()));
}

TEST(Files, DiskFree) {
    TempFolder scratch;
    EXPECT_GT(GetDiskFree(scratch.Path().c_str()), 0u);
    EXPECT_GT(GetDiskFree(scratch.File("no\\such\\file.txt").c_str()), 0u);  // only the root counts
    // A drive that does not exist: 0 and a log line.
    LogCapture log;
    char missing[] = "?:\\x";
    for (char d = 'Z'; d > 'D'; --d) {
        char root[] = {d, ':', '\\', 0};
        if (GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) {
            missing[0] = d;
            break;
        }
    }
    EXPECT_EQ(GetDiskFree(missing), 0u);
    std::string text = log.Text();
    EXPECT_NE(text.find(">>ERROR MESSAGE<<   Error(4:"), std::string::npos) << text;
    EXPECT_NE(text.find(") : GetDiskFreeSpace -- "), std::string::npos) << text;
}

TEST(Files, MappingWholeFiles) {
    TempFolder scratch;
    std::string file = scratch.File("m.bin");
    std::string bytes = "mapped\x00bytes";
    bytes.resize(13);
    ASSERT_TRUE(WriteFileBytes(file, bytes));

    DWORD size = 0;
    void* view = MapFileView(file.c_str(), &size);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(size, 13u);
    EXPECT_EQ(memcmp(view, bytes.data(), 13), 0);
    // Read-only and shared for reading: a second reader may map it too.
    void* second = MapFileReadOnly(file.c_str(), nullptr, true);
    EXPECT_NE(second, nullptr);
    if (second)
        UnmapViewOfFile(second);
    UnmapViewOfFile(view);

    void* rw = MapFileReadOnly(file.c_str(), &size, false);
    ASSERT_NE(rw, nullptr);
    memcpy(rw, "MAPPED", 6);
    UnmapViewOfFile(rw);
    EXPECT_EQ(ReadFileBytes(file).substr(0, 6), "MAPPED");
}

TEST(Files, MappingFailuresAreLogged) {
    TempFolder scratch;
    LogCapture log;
    std::string missing = scratch.File("none.bin");
    std::string empty = scratch.File("empty.bin");
    ASSERT_TRUE(WriteFileBytes(empty, ""));
    DWORD size = 99;
    EXPECT_EQ(MapFileView(missing.c_str(), &size), nullptr);
    EXPECT_EQ(size, 0u);
    // An empty file cannot be mapped.
    EXPECT_EQ(MapFileView(empty.c_str(), &size), nullptr);
    EXPECT_EQ(size, 0u);
    // Nor one of 4 GB or more: its size would not fit the answer.
    std::string huge = scratch.File("huge.bin");
    ASSERT_TRUE(MakeFileOfSize(huge, 0x100000000ULL));
    size = 99;
    EXPECT_EQ(MapFileView(huge.c_str(), &size), nullptr);
    EXPECT_EQ(size, 0u);
    std::string text = log.Text();
    EXPECT_NE(text.find(") : Cannot open file: " + missing + " -- "), std::string::npos) << text;
    EXPECT_NE(text.find(") : CreateFileMapping failed: " + empty + " -- "), std::string::npos)
        << text;
    EXPECT_NE(text.find("Cannot open file: " + huge + " -- too large"), std::string::npos) << text;
}

}  // namespace
