// Version texts and file versions.
#include <gtest/gtest.h>

#include "SetupProcess.h"
#include "TestFiles.h"
#include "aSetupVersion.h"

TEST(CompareVersionStrings, GroupByGroup) {
    struct Case {
        const char* first;
        const char* second;
        bool result;
        int g1, g2, g3;
    } cases[] = {
        {"6.5-1.2.0.0-1.0.0.0", "6.5-1.10.0.0-0.9.0.0", true, 0, -1, 1},
        {"7.0", "6.5-1.0.0.0-1.0.0.0", true, 1, 0, 0},
        {"6.5-1.0.0.1-2.0.0.0", "6.5-1.0.0.2-1.0.0.0", true, 0, -1, 1},
        {"6.4", "6.5", true, -1, 0, 0},
        {"", "6.5", true, -1, -1, -1},
        {"6.5", "", true, 1, 1, 1},
        {"", "", false, -1, -1, -1},
        {"6.5-1.0.0.1-1.0.0.1", "6.5-1.0.0.1-1.0.0.1", true, 0, 0, 0},
        // The first difference of a group decides it; later fields of the
        // group do not count.
        {"6.5-2.0.0.0-1.0.0.0", "6.5-1.9.9.9-1.0.0.0", true, 0, 1, 0},
        {"5.9-1.0.0.0-3.0.0.0", "6.0-1.0.0.0-2.0.0.0", true, -1, 0, 1},
        // Text that is no version reads no field: every group stays 0.
        {"abc", "6.5", true, 0, 0, 0},
    };
    for (const Case& c : cases) {
        int g1 = 9, g2 = 9, g3 = 9;
        EXPECT_EQ(c.result, CompareVersionStrings(c.first, c.second, &g1, &g2, &g3))
            << c.first << " / " << c.second;
        EXPECT_EQ(c.g1, g1) << c.first << " / " << c.second;
        EXPECT_EQ(c.g2, g2) << c.first << " / " << c.second;
        EXPECT_EQ(c.g3, g3) << c.first << " / " << c.second;
    }
    int g = 0;
    EXPECT_FALSE(CompareVersionStrings(nullptr, "6.5", &g, &g, &g));
    EXPECT_FALSE(CompareVersionStrings("6.5", nullptr, &g, &g, &g));
}

TEST(CompareVersionStrings, AgreesWithAPlainReferenceOnRandomTexts) {
    // Reference: compare each group as a whole, field by field.
    unsigned seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (int)((seed >> 16) % 3);
    };
    for (int round = 0; round < 500; ++round) {
        int a[10], b[10];
        for (int i = 0; i < 10; ++i) {
            a[i] = next();
            b[i] = next();
        }
        char first[64], second[64];
        snprintf(first, sizeof(first), "%d.%d-%d.%d.%d.%d-%d.%d.%d.%d", a[0], a[1], a[2], a[3],
                 a[4], a[5], a[6], a[7], a[8], a[9]);
        snprintf(second, sizeof(second), "%d.%d-%d.%d.%d.%d-%d.%d.%d.%d", b[0], b[1], b[2], b[3],
                 b[4], b[5], b[6], b[7], b[8], b[9]);
        const int bounds[4] = {0, 2, 6, 10};
        int expect[3];
        for (int g = 0; g < 3; ++g) {
            expect[g] = 0;
            for (int i = bounds[g]; i < bounds[g + 1] && !expect[g]; ++i)
                expect[g] = a[i] < b[i] ? -1 : (a[i] > b[i] ? 1 : 0);
        }
        int g1, g2, g3;
        ASSERT_TRUE(CompareVersionStrings(first, second, &g1, &g2, &g3));
        ASSERT_EQ(expect[0], g1) << first << " / " << second;
        ASSERT_EQ(expect[1], g2) << first << " / " << second;
        ASSERT_EQ(expect[2], g3) << first << " / " << second;
    }
}

TEST(FileVersions, RecordsAndComparison) {
    TempFolder folder;
    std::string v1 = folder.File("v1\\x.dll"), v2 = folder.File("v2\\x.dll");
    CreateDirectoryA(folder.File("v1").c_str(), nullptr);
    CreateDirectoryA(folder.File("v2").c_str(), nullptr);
    ASSERT_TRUE(CopyTo(FixturePath("fixture_v1.dll"), v1));
    ASSERT_TRUE(CopyTo(FixturePath("fixture_v2.dll"), v2));

    VS_FIXEDFILEINFO info = {};
    ASSERT_TRUE(GetFileVersionRecord(v2.c_str(), &info));
    EXPECT_EQ(0x00010000u, info.dwFileVersionMS);
    EXPECT_EQ(0x00000002u, info.dwFileVersionLS);
    EXPECT_FALSE(GetFileVersionRecord(FixturePath("fixture_nover.dll").c_str(), &info));

    EXPECT_EQ(1, CompareFileVersions(v2.c_str(), v1.c_str()));
    EXPECT_EQ(-1, CompareFileVersions(v1.c_str(), v2.c_str()));
    EXPECT_EQ(0, CompareFileVersions(v1.c_str(), v1.c_str()));
    EXPECT_EQ(-2, CompareFileVersions(folder.File("none.dll").c_str(), v1.c_str()));
}

TEST(FileVersions, UnreadableVersionsAndOtherKindsUseTimes) {
    TempFolder folder;
    std::string older = folder.File("old.dll"), newer = folder.File("new.dll");
    ASSERT_TRUE(CopyTo(FixturePath("fixture_nover.dll"), older));
    ASSERT_TRUE(CopyTo(FixturePath("fixture_v1.dll"), newer));
    // The versioned file is newer by version but older by time.
    FILETIME early = {0x10000000, 0x01D00000}, late = {0x10000000, 0x01E00000};
    for (auto [path, when] : {std::pair{older, late}, std::pair{newer, early}}) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        SetFileTime(h, nullptr, nullptr, &when);
        CloseHandle(h);
    }
    LogCapture log;
    EXPECT_EQ(-1, CompareFileVersions(newer.c_str(), older.c_str()));
    EXPECT_TRUE(Logged(log.Text(), "Cannot get file version for " + older + ", using time-stamp"));

    // A target that is no versioned kind compares by time without a version look.
    std::string text = folder.File("a.txt"), text2 = folder.File("b.txt");
    ASSERT_TRUE(CopyTo(newer, text));
    ASSERT_TRUE(CopyTo(older, text2));
    LogCapture quiet;
    EXPECT_EQ(-1, CompareFileVersions(text.c_str(), text2.c_str()));
    EXPECT_EQ(2, CompareFileVersions(text.c_str(), folder.File("none.txt").c_str()));
    EXPECT_FALSE(Contains(quiet.Text(), "Cannot get file version"));
}
