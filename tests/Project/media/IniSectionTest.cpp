// The media ini's sections read once and looked up in memory must give what
// one profile call per key gives, on seeded random files.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "TestFiles.h"
#include "aMediaIdx.h"

namespace {

std::string RandomText(std::mt19937& rng, size_t length) {
    static const char kChars[] = "abcXYZ019 _.\\$'\"=;[]";
    std::string s;
    for (size_t i = 0; i < length; ++i) s += kChars[rng() % (sizeof(kChars) - 1)];
    return s;
}

}  // namespace

TEST(IniSection, MatchesOneProfileCallPerKey) {
    TempFolder dir;
    std::mt19937 rng(20261209);
    for (int file = 0; file < 40; ++file) {
        // Keys from a small set in mixed case, so some repeat ignoring case;
        // values with quotes, blanks, "=" and some past 1023 bytes; lines
        // without "=" and a second section that must not be read.
        std::string ini = "[Other]\r\nk1=elsewhere\r\n[MediaIndex]\r\n";
        int lines = 1 + (int)(rng() % 60);
        for (int i = 0; i < lines; ++i) {
            std::string key = "k" + std::to_string(rng() % 25);
            if (rng() % 3 == 0)
                key[0] = 'K';
            std::string pad = rng() % 4 == 0 ? "  " : "";
            size_t length = rng() % 10 == 0 ? 1000 + rng() % 100 : rng() % 12;
            std::string value = RandomText(rng, length);
            if (rng() % 5 == 0) {
                char q = rng() % 2 ? '"' : '\'';
                value = q + value + (rng() % 4 ? std::string(1, q) : std::string());
            }
            if (rng() % 15 == 0)
                ini += pad + key + pad + "\r\n";
            else
                ini += pad + key + pad + "=" + pad + value + pad + "\r\n";
        }
        std::string path = dir.File("media" + std::to_string(file) + ".ini");
        ASSERT_TRUE(WriteFileBytes(path, ini));

        CIniSection section(path.c_str(), "MediaIndex");
        int keys = 0;
        for (const char* k = section.Keys().data(); *k; k += strlen(k) + 1, ++keys) {
            char expected[1024];
            GetPrivateProfileStringA("MediaIndex", k, "", expected, sizeof(expected), path.c_str());
            EXPECT_EQ(std::string(expected), section.Value(k)) << "file " << file << " key " << k;
        }
        EXPECT_GT(keys, 0);
        EXPECT_EQ("", section.Value("k99"));
        EXPECT_EQ("", section.Value("k"));
    }
}
