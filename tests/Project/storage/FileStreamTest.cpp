// File stream over the C run-time's files.
#include <gtest/gtest.h>

#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aStorage.h"

#include <string>

TEST(FileStream, OpenModes) {
    TempFolder dir;
    std::string path = dir.File("f.bin");
    struct Case {
        int mode;
        bool exists;
        HRESULT expect;
        BYTE modeByte;
    } cases[] = {
        {TESK_MODE_READ, false, TESK_E_FILENOTFOUND, 0},
        {TESK_MODE_READWRITE, false, TESK_E_FILENOTFOUND, 0},
        {TESK_MODE_CREATE, false, S_OK, 1},
        {TESK_MODE_READ, true, S_OK, 0},
        {TESK_MODE_READWRITE, true, S_OK, 0},
        {2, true, E_FAIL, 0},
        {TESK_MODE_CREATE, true, S_OK, 1},  // truncates
    };
    for (const Case& c : cases) {
        DeleteFileA(path.c_str());
        if (c.exists)
            WriteFileBytes(path, "old");
        CComPtr<ITeskStream> s;
        EXPECT_EQ(c.expect, OpenFileStream(path.c_str(), c.mode, &s)) << c.mode;
        if (FAILED(c.expect)) {
            EXPECT_EQ(nullptr, s.p);
            continue;
        }
        EXPECT_EQ(c.modeByte, s->GetMode());
        EXPECT_EQ(TESK_KIND_FILESTREAM, s->GetKind());
        EXPECT_EQ(10, s->GetTag());
        EXPECT_EQ(c.mode == TESK_MODE_CREATE ? 0u : 3u, s->GetSize());
    }
    // A folder cannot be opened as a file: a Win32-facility code.
    CComPtr<ITeskStream> s;
    HRESULT hr = OpenFileStream(dir.Path().c_str(), TESK_MODE_READ, &s);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(0x80070000u, (unsigned)hr & 0xFFFF0000u);
}

TEST(FileStream, ReadsWritesAndSeeks) {
    TempFolder dir;
    std::string path = dir.File("rw.bin");
    {
        CComPtr<ITeskStream> s;
        ASSERT_EQ(S_OK, OpenFileStream(path.c_str(), TESK_MODE_CREATE, &s));
        EXPECT_EQ(10u, s->Write("0123456789", 10));
        WriteStringToStream("abc", s);
        EXPECT_EQ(20u, s->GetSize());
        EXPECT_EQ(20u, s->GetPosition());  // size asked without moving
    }
    EXPECT_EQ(std::string("0123456789\x03\0\0\0a\0b\0c\0", 20), ReadFileBytes(path));

    CComPtr<ITeskStream> s;
    ASSERT_EQ(S_OK, OpenFileStream(path.c_str(), TESK_MODE_READWRITE, &s));
    char buf[8];
    s->Read(buf, 3);
    EXPECT_EQ("012", std::string(buf, 3));
    // a write straight after a read, and a read straight after a write
    s->Write("XY", 2);
    s->Read(buf, 2);
    EXPECT_EQ("56", std::string(buf, 2));
    s->Seek(-4, TESK_SEEK_END);
    EXPECT_EQ(16u, s->GetPosition());
    s->Seek(2, TESK_SEEK_CUR);
    EXPECT_EQ(18u, s->GetPosition());
    s->Seek(5, 7);  // unknown origin: nothing
    EXPECT_EQ(18u, s->GetPosition());
    EXPECT_EQ(12000, StreamExceptCode([&] { s->Read(buf, 3); }));
    s->Seek(10, TESK_SEEK_SET);
    std::string text;
    ASSERT_TRUE(ReadStringFromStream(text, s));
    EXPECT_EQ("abc", text);
    s->Close();
    s->Close();
    EXPECT_EQ(std::string("012XY56789", 10), ReadFileBytes(path).substr(0, 10));
}
