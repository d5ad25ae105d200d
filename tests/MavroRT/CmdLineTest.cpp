#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "aCmdLine.h"

struct SwitchCase {
    const char* line;
    bool found;
    const char* path;
};

TEST(CmdLine, RuntimeSwitchCases) {
    const SwitchCase cases[] = {
        {"-r C:\\a b\\w.mrt", true, "C:\\a b\\w.mrt"},  // blanks in an unquoted path stay
        {"x/y -R \"C:\\w x.mrt\" more words", true, "C:\\w x.mrt"},  // "/y" is no switch
        {"/r\"C:\\no end", true, "C:\\no end"},                      // missing closing quote
        {"-X", false, ""},
        {"", false, ""},
        {"-r", true, ""},
        {"--r   C:\\b.mrt", true, "C:\\b.mrt"},  // the second "-" is followed by r
    };
    for (const SwitchCase& c : cases) {
        char path[MAX_PATH] = "junk";
        EXPECT_EQ(c.found, ParseRuntimeSwitch(c.line, path, sizeof(path))) << c.line;
        EXPECT_STREQ(c.path, path) << c.line;
    }
}

TEST(CmdLine, OverlongPathIsCut) {
    std::string line = "-r " + std::string(5000, 'a');
    char path[16];
    ASSERT_TRUE(ParseRuntimeSwitch(line.c_str(), path, sizeof(path)));
    EXPECT_EQ(std::string(15, 'a'), path);
}

TEST(CmdLine, TitleIsFileNameCutAtLastPoint) {
    char title[MAX_PATH];
    RuntimeTitle("D:\\works\\demo.v1.mrt", title, sizeof(title));
    EXPECT_STREQ("demo.v1", title);
    RuntimeTitle("noext", title, sizeof(title));
    EXPECT_STREQ("noext", title);
}
