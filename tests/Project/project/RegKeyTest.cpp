// The registry key class, on a private key under HKEY_CURRENT_USER.
#include <gtest/gtest.h>

#include <string>

#include "aRegKey.h"

namespace {

class TestKey {
public:
    TestKey() {
        char name[64];
        wsprintfA(name, "Software\\MavroTest\\k%lu_%lu", GetCurrentProcessId(), GetTickCount());
        m_path = name;
    }
    ~TestKey() {
        RegDeleteKeyA(HKEY_CURRENT_USER, m_path.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\MavroTest");
    }
    const char* Path() const { return m_path.c_str(); }

private:
    std::string m_path;
};

}  // namespace

TEST(RegKey, WriteFindAndRead) {
    TestKey k;
    CRegKey key;
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, k.Path(), false, KEY_ALL_ACCESS));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.GetLastResult());
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, k.Path(), true, KEY_ALL_ACCESS));
    ASSERT_TRUE(key.WriteString(nullptr, "C:\\lib\\mavrodb.dll"));
    ASSERT_TRUE(key.WriteString("Version", "6.5"));
    DWORD number = 7;
    RegSetValueExA(key.GetHandle(), "Number", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4);
    // Stored without its NUL.
    RegSetValueExA(key.GetHandle(), "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcdef"), 6);

    DWORD index = 99, type = 0;
    EXPECT_TRUE(key.FindValue("VERSION", &index, &type));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_TRUE(key.FindValue(nullptr, &index, &type));  // the default value
    EXPECT_FALSE(key.FindValue("missing", &index, &type));

    char text[MAX_PATH];
    ASSERT_TRUE(key.ReadString(nullptr, text, sizeof(text)));
    EXPECT_STREQ("C:\\lib\\mavrodb.dll", text);
    ASSERT_TRUE(key.ReadString("Bare", text, sizeof(text)));
    EXPECT_STREQ("abcdef", text);
    char small[4];
    EXPECT_FALSE(key.ReadString("Version", small, 2));  // too small: the call fails
    EXPECT_STREQ("", small);
    EXPECT_FALSE(key.ReadString("Number", text, sizeof(text)));  // not a string
    EXPECT_STREQ("", text);

    CRegKey again;
    ASSERT_TRUE(again.Open(HKEY_CURRENT_USER, k.Path(), false, KEY_READ));
    EXPECT_EQ(4u, again.GetValueCount());
    EXPECT_TRUE(again.Close());
    EXPECT_TRUE(again.CloseIfOpen());
    EXPECT_FALSE(again.ReadString("Version", text, sizeof(text)));
    key.Close();
}
