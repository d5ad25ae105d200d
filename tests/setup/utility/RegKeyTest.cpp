// The registry key class and access by full path, on private keys.
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
        RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
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

TEST(RegKey, ClosingWithoutAKeySucceeds) {
    CRegKey key;
    EXPECT_TRUE(key.Close());
    EXPECT_TRUE(key.CloseIfOpen());
    EXPECT_EQ(nullptr, key.GetHandle());
}

TEST(RegKey, WrittenTextsCarryTheirNul) {
    TestKey k;
    CRegKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, k.Path(), true, KEY_ALL_ACCESS));
    ASSERT_TRUE(key.WriteString("Version", "6.5"));
    ASSERT_TRUE(key.WriteString(nullptr, ""));
    BYTE data[16];
    DWORD type = 0, size = sizeof(data);
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key.GetHandle(), "Version", nullptr, &type, data, &size));
    EXPECT_EQ(4u, size);
    EXPECT_EQ(0, data[3]);
    size = sizeof(data);
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key.GetHandle(), nullptr, nullptr, &type, data, &size));
    EXPECT_EQ(1u, size);
    key.Close();
}

TEST(RegKey, SubkeysCountedAndEnumerated) {
    TestKey k;
    CRegKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, k.Path(), true, KEY_ALL_ACCESS));
    for (const char* name : {"5.0", "6.5", "abc"}) {
        CRegKey sub;
        ASSERT_TRUE(sub.Open(key.GetHandle(), name, true, KEY_ALL_ACCESS));
    }
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, k.Path(), false, KEY_ALL_ACCESS));
    DWORD longest = 0;
    EXPECT_EQ(3u, key.GetSubkeyCount(&longest));
    EXPECT_EQ(3u, longest);
    std::string names;
    char name[MAX_PATH];
    for (DWORD i = 0; i < key.GetSubkeyCount(); ++i) {
        ASSERT_TRUE(key.EnumSubkey(i, name, sizeof(name)));
        names += std::string(name) + ";";
    }
    EXPECT_EQ("5.0;6.5;abc;", names);
    EXPECT_FALSE(key.EnumSubkey(3, name, sizeof(name)));
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, key.GetLastResult());
    EXPECT_STREQ("", name);
    char small[2];
    EXPECT_FALSE(key.EnumSubkey(2, small, sizeof(small)));  // "abc" does not fit
    for (const char* sub : {"5.0", "6.5", "abc"})
        RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(k.Path()) + "\\" + sub).c_str());
    key.Close();
}

TEST(RegistryValueByPath, RootsAndValues) {
    TestKey k;
    std::string rest = k.Path();
    struct Case {
        std::string path;
        bool ok;
    } cases[] = {
        {"HKCU\\" + rest, true}, {"hkcu\\" + rest, true},
        {"HKU\\" + rest, false}, {"HKEY_CURRENT_USER\\" + rest, false},
        {"HKCU" + rest, false},  {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.ok, SetRegistryValueByPath(c.path.c_str(), "Name", "value")) << c.path;
        char buffer[32] = "x";
        EXPECT_EQ(c.ok, GetRegistryValueByPath(c.path.c_str(), "Name", buffer, sizeof(buffer)))
            << c.path;
        EXPECT_STREQ(c.ok ? "value" : "", buffer) << c.path;
    }
    std::string path = "HKCU\\" + rest;
    ASSERT_TRUE(SetRegistryValueByPath(path.c_str(), nullptr, "default"));
    char buffer[32];
    ASSERT_TRUE(GetRegistryValueByPath(path.c_str(), nullptr, buffer, sizeof(buffer)));
    EXPECT_STREQ("default", buffer);
    EXPECT_FALSE(GetRegistryValueByPath(path.c_str(), "missing", buffer, sizeof(buffer)));
    // A root that is not offered never reaches the registry: nothing made.
    EXPECT_FALSE(SetRegistryValueByPath("HKU\\.DEFAULT\\MavroTestNever", "a", "b"));
    HKEY none;
    EXPECT_NE(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_USERS, ".DEFAULT\\MavroTestNever", 0, KEY_READ, &none));
    char classes[64];
    ASSERT_TRUE(SetRegistryValueByPath("HKCR\\MavroSetupFixtureTest", nullptr, "cr"));
    EXPECT_TRUE(
        GetRegistryValueByPath("hkcr\\MavroSetupFixtureTest", nullptr, classes, sizeof(classes)));
    EXPECT_STREQ("cr", classes);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "MavroSetupFixtureTest");
}
