#include <gtest/gtest.h>

#include "TestFiles.h"
#include "aPlayerMain.h"

// The test program carries no type library resource: registration fails and
// says so in the log, as a damaged player file would.
TEST(PlayerStart, FailedTypeLibRegistrationIsLogged) {
    TempFolder dir;
    LogCapture log(dir.File("t.lg0"));
    EXPECT_FALSE(RegisterOwnTypeLib());
    std::string text = log.Finish();
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    EXPECT_NE(std::string::npos, text.find("LoadTypeLib: " + std::string(self) + "\\1 failed"))
        << text;
}
