// Packed container: locating the runtime header, the byte layout that the
// writing paths produce, lookups, stream positions and sizes, and refusal
// of damaged packages.
#include <gtest/gtest.h>

#include "StreamFixtures.h"
#include "PackageWriter.h"
#include "TestFiles.h"
#include "aMemStm.h"
#include "aPacStor.h"

#include <algorithm>
#include <random>
#include <string>
#include <string.h>

namespace {

std::string ReadAll(ITeskStream* s) {
    std::string out((size_t)s->GetSize(), '\0');
    s->Seek(0, TESK_SEEK_SET);
    if (!out.empty())
        s->Read(&out[0], (ULONG)out.size());
    return out;
}

// A package with two streams at the given header offset; `prefix` before it.
void WriteSmallPackage(const std::string& path, uint64_t at, const std::string& prefix = "") {
    CPackageWriter w;
    ASSERT_EQ(S_OK, w.Create(path, at, prefix));
    ASSERT_EQ(S_OK, w.AddStream("PrjInfo", "project"));
    ASSERT_EQ(S_OK, w.AddStream("frgindex", "pages"));
    ASSERT_EQ(S_OK, w.Finish());
}

std::string U32Bytes(uint32_t v) {
    return CByteWriter().U32(v).Str();
}
std::string U64Bytes(uint64_t v) {
    return CByteWriter().U64(v).Str();
}

}  // namespace

TEST(PacLocate, HeaderOnA4096ByteBoundaryWithinTheFirst128KB) {
    struct Case {
        uint64_t at;
        uint64_t fileSize;  // padded with zeros up to this size (0: as written)
        HRESULT expect;
    } cases[] = {
        {0, 0, S_OK},
        {61440, 0, S_OK},  // behind a 61,440-byte program
        {4096, 0, S_OK},
        {4097, 0, TESK_E_NOTRUNTIMEFILE},
        {126976, 0x20000, S_OK},  // the last candidate: 0x20000 - 256 rounded down
        {126976, 0, S_OK},        // the file ends early, the header still fits
        {131072, 0x30000, TESK_E_NOTRUNTIMEFILE},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        std::string path = dir.File("work.exe");
        std::string program = "MZ" + std::string((size_t)c.at > 2 ? (size_t)c.at - 2 : 0, '\x90');
        WriteSmallPackage(path, c.at, c.at ? program : "");
        std::string bytes = ReadFileBytes(path);
        if (c.fileSize > bytes.size())
            AppendFileBytes(path, std::string((size_t)c.fileSize - bytes.size(), '\0'));
        CComPtr<ITeskStorage> root;
        EXPECT_EQ(c.expect, OpenPacStorage(path.c_str(), &root)) << c.at;
        if (c.expect != S_OK) {
            EXPECT_EQ(nullptr, root.p);
            continue;
        }
        EXPECT_EQ(c.at, static_cast<CPacStorage*>(root.p)->HeaderOffset());
        CComPtr<ITeskStream> s;
        ASSERT_EQ(S_OK, root->OpenStream("PrjInfo", 1, &s));
        EXPECT_EQ("project", ReadAll(s));
    }
}

TEST(PacLocate, FilesThatAreNoPackage) {
    struct Case {
        const char* what;
        std::string bytes;  // null file: missing
        bool missing;
        HRESULT expect;
        const char* log;
    } cases[] = {
        {"200 bytes", std::string(200, 'x'), false, E_FAIL, "Not a valid mrt/ext file"},
        // An empty file cannot be mapped: the mapping's failure is logged.
        {"empty", std::string(), false, E_FAIL, "CreateFileMapping failed: "},
        {"255 bytes", std::string(255, '\0'), false, E_FAIL, "Not a valid mrt/ext file"},
        {"300 bytes, no magic", std::string(300, 'y'), false, TESK_E_NOTRUNTIMEFILE,
         "Cannot locate header of RTFile("},
        {"magic with a wrong size",
         CByteWriter().U32(255).U32(1).Bytes("TESK-RT2", 8).Zeros(300).Str(), false,
         TESK_E_NOTRUNTIMEFILE, "Cannot locate header of RTFile("},
        {"missing file", std::string(), true, E_FAIL, "Cannot open file: "},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        std::string path = dir.File("x.mrt");
        if (!c.missing)
            WriteFileBytes(path, c.bytes);
        LogCapture log(dir.File("log"));
        CComPtr<ITeskStorage> root;
        EXPECT_EQ(c.expect, OpenTeskStorage(path.c_str(), 1, TESK_STG_PACKED, &root)) << c.what;
        EXPECT_EQ(nullptr, root.p);
        std::string text = log.Text();
        EXPECT_NE(std::string::npos, text.find(c.log)) << c.what << "\n" << text;
    }
}

// The bytes of a package with one stream "ab" holding "xyz", field by field.
TEST(PacLayout, BytesAsWritten) {
    TempFolder dir;
    std::string path = dir.File("tiny.mrt");
    CPackageWriter w;
    ASSERT_EQ(S_OK, w.Create(path));
    ASSERT_EQ(S_OK, w.AddStream("ab", "xyz"));
    ASSERT_EQ(S_OK, w.Finish());
    CByteWriter expect;
    // runtime header at 0
    expect.U32(256).U32(1).Bytes("TESK-RT2", 8).U64(345).Zeros(232);
    // root node at 256: size 32, "STGB", node size 89, directory at +67, 1 entry
    expect.U32(32).Bytes("STGB", 4).U64(89).U64(67).U32(1).U32(0);
    // stream node at 288: size 32, "STMB", data length 3, reserved; data at 320
    expect.U32(32).Bytes("STMB", 4).U64(3).Zeros(16).Bytes("xyz", 3);
    // directory at 323: "STGI", child at +32, L = 3, "ab" NUL in UTF-16
    expect.Bytes("STGI", 4).U64(32).U32(3).Bytes("a\0b\0\0\0", 6);
    EXPECT_EQ(expect.Str(), ReadFileBytes(path));
    EXPECT_EQ(345u, w.PackageLength());
}

// Double-byte names get L = ANSI bytes + 1, leaving padding after the NUL.
TEST(PacLayout, DoubleByteNamesArePaddedAfterTheirNul) {
    ASSERT_EQ(936u, GetACP());
    TempFolder dir;
    std::string path = dir.File("gbk.mrt");
    CPackageWriter w;
    ASSERT_EQ(S_OK, w.Create(path));
    ASSERT_EQ(S_OK, w.AddStorage("\xD6\xD0\xCE\xC4"));  // two characters, 4 bytes
    ASSERT_EQ(S_OK, w.Finish());
    std::string bytes = ReadFileBytes(path);
    // root 256, empty storage at 288 (32 bytes), directory at 320
    std::string dirBytes = CByteWriter()
                               .Bytes("STGI", 4)
                               .U64(32)
                               .U32(5)
                               .Bytes("\x2D\x4E\x87\x65\0\0\0\0\0\0", 10)
                               .Str();
    EXPECT_EQ(dirBytes, bytes.substr(320));
    // the empty storage: no directory, no entries
    EXPECT_EQ(CByteWriter().U32(32).Bytes("STGB", 4).U64(32).U64(0).U32(0).U32(0).Str(),
              bytes.substr(288, 32));

    CComPtr<ITeskStorage> root;
    ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
    CComPtr<ITeskStorage> empty;
    ASSERT_EQ(S_OK, root->OpenStorage("\xD6\xD0\xCE\xC4", 1, &empty));
    EXPECT_EQ(0, empty->CountElements());
}

TEST(PacLookup, IgnoresCaseOfSingleBytesOnly) {
    ASSERT_EQ(936u, GetACP());
    TempFolder dir;
    std::string path = dir.File("names.mrt");
    CPackageWriter w;
    ASSERT_EQ(S_OK, w.Create(path));
    ASSERT_EQ(S_OK, w.AddStream("PrjInfo", "P"));
    // Two double-byte characters whose trail bytes are 'a' and 'A'.
    ASSERT_EQ(S_OK, w.AddStream("\x81\x61", "lower"));
    ASSERT_EQ(S_OK, w.AddStream("\x81\x41", "upper"));
    ASSERT_EQ(S_OK, w.AddStream("x\xD6\xD0y", "mixed"));
    ASSERT_EQ(S_OK, w.Finish());

    CComPtr<ITeskStorage> root;
    ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
    struct Case {
        const char* name;
        const char* expect;  // null: not found
    } cases[] = {
        {"prjinfo", "P"},      {"PRJINFO", "P"},        {"PrjInfo", "P"},
        {"PrjInf", nullptr},   {"PrjInfo ", nullptr},   {"\x81\x61", "lower"},
        {"\x81\x41", "upper"}, {"X\xD6\xD0Y", "mixed"}, {"x\xD6\xF0y", nullptr},
    };
    for (const Case& c : cases) {
        CComPtr<ITeskStream> s;
        HRESULT hr = root->OpenStream(c.name, 1, &s);
        EXPECT_EQ(c.expect != nullptr, root->ElementExists(c.name) != FALSE) << c.name;
        if (!c.expect) {
            EXPECT_EQ(TESK_E_NOSTREAM, hr) << c.name;
            continue;
        }
        ASSERT_EQ(S_OK, hr) << c.name;
        EXPECT_EQ(c.expect, ReadAll(s));
    }
    CComPtr<ITeskStorage> none;
    EXPECT_EQ(TESK_E_NOSTORAGE, root->OpenStorage("frgdata", 1, &none));
    EXPECT_EQ(4, root->CountElements());
}

TEST(PacStream, SizesPositionsAndTheSharedFilePointer) {
    TempFolder dir;
    std::string path = dir.File("pos.mrt");
    WriteSmallPackage(path, 0);
    CComPtr<ITeskStorage> root;
    ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
    CComPtr<ITeskStream> a, b;
    ASSERT_EQ(S_OK, root->OpenStream("PrjInfo", 1, &a));
    // The stored length, although the next stream's bytes follow.
    EXPECT_EQ(7u, a->GetSize());
    EXPECT_EQ(0, a->GetMode());
    EXPECT_EQ(TESK_KIND_PACSTREAM, a->GetKind());
    EXPECT_EQ(10, a->GetTag());
    EXPECT_EQ(0u, a->GetPosition());
    a->Seek(0, TESK_SEEK_END);
    EXPECT_EQ(7u, a->GetPosition());
    a->Seek(-2, TESK_SEEK_END);  // added to the end
    EXPECT_EQ(5u, a->GetPosition());
    a->Seek(-100, TESK_SEEK_CUR);  // never before the data
    EXPECT_EQ(0u, a->GetPosition());
    EXPECT_EQ(E_UNEXPECTED, a->Seek(0, 3));
    char buf[4];
    a->Read(buf, 3);
    EXPECT_EQ("pro", std::string(buf, 3));
    ASSERT_EQ(S_OK, root->OpenStream("frgindex", 1, &b));
    EXPECT_EQ("pages", ReadAll(b));
    // a's position moved with b's reads; seek before reading again.
    a->Seek(3, TESK_SEEK_SET);
    a->Read(buf, 4);
    EXPECT_EQ("ject", std::string(buf, 4));
}

// Reads of a read-only package go through a read-ahead window; every read,
// seek and position must still be that of one plain file pointer shared by
// the container. Random operations on random streams (some larger than the
// window, some across its edges), against a model over the file's bytes.
TEST(PacStream, SharedPointerReadsMatchAPlainModel) {
    TempFolder dir;
    std::string path = dir.File("model.mrt");
    std::mt19937 rng(7);
    const int kStreams = 12;
    {
        CPackageWriter w;
        ASSERT_EQ(S_OK, w.Create(path, 4096, "MZ"));
        ASSERT_EQ(S_OK, w.BeginStorage("frgdata"));
        for (int i = 0; i < kStreams; ++i) {
            size_t size = (i % 4 == 0) ? 70000 + rng() % 70000 : rng() % 9000;
            std::string bytes(size, '\0');
            for (char& c : bytes) c = (char)rng();
            ASSERT_EQ(S_OK, w.AddStream(("s" + std::to_string(i)).c_str(), bytes));
        }
        ASSERT_EQ(S_OK, w.EndStorage());
        ASSERT_EQ(S_OK, w.Finish());
    }
    const std::string file = ReadFileBytes(path);
    CComPtr<ITeskStorage> root, data;
    ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
    ASSERT_EQ(S_OK, root->OpenStorage("frgdata", 1, &data));
    CComPtr<ITeskStream> streams[kStreams];
    ULONGLONG start[kStreams] = {}, size[kStreams] = {};
    ULONGLONG pointer = 0;  // the model's file pointer
    std::vector<char> buf(200000);
    for (int step = 0; step < 3000; ++step) {
        int i = (int)(rng() % kStreams);
        ITeskStream* s = streams[i];
        switch (s ? rng() % 4 : 0) {
            case 0:  // (re)open: the pointer rests on the data
                streams[i].Release();
                ASSERT_EQ(S_OK,
                          data->OpenStream(("s" + std::to_string(i)).c_str(), 1, &streams[i]));
                start[i] = static_cast<CPacStream*>(streams[i].p)->DataStart();
                size[i] = streams[i]->GetSize();
                pointer = start[i];
                break;
            case 1: {  // seek from any origin, never before the data
                int origin = (int)(rng() % 3);
                LONGLONG offset = (LONGLONG)(rng() % 20000) - 8000;
                LONGLONG base = origin == TESK_SEEK_SET   ? (LONGLONG)start[i]
                                : origin == TESK_SEEK_CUR ? (LONGLONG)pointer
                                                          : (LONGLONG)(start[i] + size[i]);
                s->Seek(offset, origin);
                pointer = (ULONGLONG)std::max(base + offset, (LONGLONG)start[i]);
                break;
            }
            case 2: {  // read, past the data and the file's end too
                ULONG n = (ULONG)(rng() % 3 == 0 ? rng() % 150000 : rng() % 3000);
                ULONGLONG have = pointer < file.size() ? file.size() - pointer : 0;
                ULONG expect = (ULONG)std::min<ULONGLONG>(n, have);
                bool threw = false;
                ULONG got = 0;
                try {
                    got = s->Read(buf.data(), n);
                } catch (const CTeskStreamExcept& e) {
                    EXPECT_EQ(12000, e.GetCode());
                    threw = true;
                    got = expect;
                }
                ASSERT_EQ(expect < n, threw) << step;
                ASSERT_EQ(expect, got) << step;
                ASSERT_EQ(0, memcmp(buf.data(), file.data() + pointer, expect)) << step;
                pointer += expect;
                break;
            }
            default:
                break;
        }
        // Every open stream sees the one pointer.
        for (int k = 0; k < kStreams; ++k) {
            if (!streams[k])
                continue;
            ULONGLONG expect = pointer >= start[k] ? pointer - start[k] : 0;
            ASSERT_EQ(expect, streams[k]->GetPosition()) << step << " " << k;
        }
    }
}

// Once the root has closed the file, an element still held reads nothing,
// although its bytes were read ahead.
TEST(PacStream, ReadsFailAfterTheRootCloses) {
    TempFolder dir;
    std::string path = dir.File("closed.mrt");
    WriteSmallPackage(path, 0);
    CComPtr<ITeskStorage> root;
    ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
    CComPtr<ITeskStream> s;
    ASSERT_EQ(S_OK, root->OpenStream("PrjInfo", 1, &s));
    root.Release();
    s->Seek(0, TESK_SEEK_SET);
    char buf[7];
    EXPECT_EQ(12000, StreamExceptCode([&] { s->Read(buf, 7); }));
}

TEST(PacStream, ReadingPastTheFileEndThrows12000) {
    TempFolder dir;
    std::string path = dir.File("end.mrt");
    WriteSmallPackage(path, 0);
    uint64_t fileSize = ReadFileBytes(path).size();
    CComPtr<ITeskStorage> root;
    ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
    CComPtr<ITeskStream> s;
    ASSERT_EQ(S_OK, root->OpenStream("PrjInfo", 1, &s));
    // Reads are not held to the data length, only to the file.
    uint64_t dataStart = 256 + 32 + 32;
    s->Seek((LONGLONG)(fileSize - dataStart - 6), TESK_SEEK_SET);
    char buf[10];
    EXPECT_EQ(12000, StreamExceptCode([&] { s->Read(buf, 10); }));
}

TEST(PacStorage, ReadOnlyContainerRefusesChanges) {
    TempFolder dir;
    std::string path = dir.File("ro.mrt");
    WriteSmallPackage(path, 0);
    CComPtr<ITeskStorage> root;
    ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
    EXPECT_EQ(0, root->GetMode());
    root->SetMode(1);
    EXPECT_EQ(0, root->GetMode());
    EXPECT_TRUE(root->IsPacked());
    CComPtr<ITeskStream> s;
    EXPECT_EQ(E_UNEXPECTED, root->CreateStream("new", 0, &s));
    CComPtr<ITeskStorage> sub;
    EXPECT_EQ(E_UNEXPECTED, root->CreateStorage("new", 0, &sub));
    EXPECT_EQ(E_NOTIMPL, root->DestroyElement("PrjInfo"));
    IEnumSTATSTG* e = reinterpret_cast<IEnumSTATSTG*>(8);
    EXPECT_EQ(S_OK, root->EnumElements(&e));
    EXPECT_EQ(reinterpret_cast<IEnumSTATSTG*>(8), e);
    EXPECT_EQ(S_OK, root->CopyElementTo("PrjInfo", root, "copy"));
    EXPECT_FALSE(root->ElementExists("copy"));
    EXPECT_EQ(S_OK, root->Close());
    EXPECT_EQ(S_OK, root->Close());
    EXPECT_EQ(TESK_E_HEADERREAD, root->OpenStream("PrjInfo", 1, &s));  // no file any more
}

TEST(PacStorage, WritingRefusesDuplicateAndOverlongNames) {
    TempFolder dir;
    CPackageWriter w;
    ASSERT_EQ(S_OK, w.Create(dir.File("dup.mrt")));
    ASSERT_EQ(S_OK, w.AddStream("PrjInfo", "x"));
    EXPECT_EQ(TESK_E_EXISTS, w.AddStream("prjinfo", "y"));
    EXPECT_EQ(TESK_E_EXISTS, w.AddStorage("PRJINFO"));
    EXPECT_EQ(E_INVALIDARG, w.AddStream(std::string(260, 'n').c_str(), "z"));
    EXPECT_EQ(S_OK, w.AddStream(std::string(259, 'n').c_str(), "z"));
    EXPECT_EQ(E_INVALIDARG, w.AddStream("", "z"));
    EXPECT_EQ(1, w.Current()->GetMode());
    EXPECT_EQ(2, w.Current()->CountElements());
    ASSERT_EQ(S_OK, w.Finish());
    CComPtr<ITeskStorage> root;
    ASSERT_EQ(S_OK, OpenPacStorage(dir.File("dup.mrt").c_str(), &root));
    CComPtr<ITeskStream> s;
    ASSERT_EQ(S_OK, root->OpenStream(std::string(259, 'N').c_str(), 1, &s));
    EXPECT_EQ("z", ReadAll(s));
}

// A stream opened as a storage and the other way round.
TEST(PacStorage, ElementsOfTheOtherKind) {
    TempFolder dir;
    std::string path = dir.File("kinds.mrt");
    CPackageWriter w;
    ASSERT_EQ(S_OK, w.Create(path));
    ASSERT_EQ(S_OK, w.AddStream("stream", "data"));
    ASSERT_EQ(S_OK, w.AddStorage("storage"));
    ASSERT_EQ(S_OK, w.Finish());
    CComPtr<ITeskStorage> root;
    ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
    CComPtr<ITeskStorage> sub;
    EXPECT_EQ(E_FAIL, root->OpenStorage("stream", 1, &sub));
    CComPtr<ITeskStream> s;
    EXPECT_EQ(TESK_E_STREAMHEADER, root->OpenStream("storage", 1, &s));
    // a failed open leaves the parent usable
    ASSERT_EQ(S_OK, root->OpenStream("stream", 1, &s));
    EXPECT_EQ("data", ReadAll(s));
}

TEST(PacStream, MeasuringLeavesTheFileAlone) {
    TempFolder dir;
    std::string path = dir.File("measure.mrt");
    CPackageWriter w;
    ASSERT_EQ(S_OK, w.Create(path));
    CComPtr<ITeskStream> s;
    ASSERT_EQ(S_OK, w.CreateStream("rec", &s));
    EXPECT_EQ(1, s->GetMode());
    s->Write("head", 4);
    ASSERT_EQ(S_OK, s->BeginMeasure());
    WriteStringToStream("\xD6\xD0\xCE\xC4 and more", s);
    ULONGLONG measured = s->GetSize();
    s->EndMeasure();
    EXPECT_EQ(4u, s->GetSize());
    WriteStringToStream("\xD6\xD0\xCE\xC4 and more", s);
    EXPECT_EQ(measured, s->GetSize());
    s.Release();
    ASSERT_EQ(S_OK, w.Finish());
    CComPtr<ITeskStorage> root;
    ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
    ASSERT_EQ(S_OK, root->OpenStream("rec", 1, &s));
    char head[4];
    s->Read(head, 4);
    std::string text;
    ASSERT_TRUE(ReadStringFromStream(text, s));
    EXPECT_EQ("\xD6\xD0\xCE\xC4 and more", text);
}

// ------------------------------------------------------------ damaged packages

namespace {

// Layout of the fixture below (all offsets from the file start):
//   0    runtime header
//   256  root node: children "A" (stream, "hello") at +32, "S" (storage) at +69
//   288  stream A: header, 5 data bytes -> ends at 325
//   325  storage S: child "B" (stream, "xy") at +32, its directory at +66
//   357  stream B: header, 2 data bytes -> ends at 391
//   391  directory of S: STGI, +32, L 2, "B" NUL  (20 bytes) -> ends at 411
//   411  directory of the root: STGI, +32, L 2, "A" NUL; +69, L 2, "S" NUL
//        (36 bytes) -> ends at 447; root node size 191, directory at +155
std::string Fixture(const std::string& path) {
    CPackageWriter w;
    EXPECT_EQ(S_OK, w.Create(path));
    EXPECT_EQ(S_OK, w.AddStream("A", "hello"));
    EXPECT_EQ(S_OK, w.BeginStorage("S"));
    EXPECT_EQ(S_OK, w.AddStream("B", "xy"));
    EXPECT_EQ(S_OK, w.EndStorage());
    EXPECT_EQ(S_OK, w.Finish());
    return ReadFileBytes(path);
}

std::string Patch(std::string bytes, size_t at, const std::string& with) {
    bytes.replace(at, with.size(), with);
    return bytes;
}

}  // namespace

TEST(PacDamage, FixtureLayout) {
    TempFolder dir;
    std::string bytes = Fixture(dir.File("f.mrt"));
    ASSERT_EQ(447u, bytes.size());
    EXPECT_EQ("STMB", bytes.substr(292, 4));
    EXPECT_EQ("STGB", bytes.substr(329, 4));
    EXPECT_EQ("STMB", bytes.substr(361, 4));
    EXPECT_EQ("STGI", bytes.substr(391, 4));
    EXPECT_EQ("STGI", bytes.substr(411, 4));
    EXPECT_EQ(U64Bytes(69), bytes.substr(431, 8));
}

// Each damage: where it shows (open of the package, of S, of A, or of B)
// and the code it gives.
TEST(PacDamage, EachDamageGivesItsCode) {
    TempFolder dir;
    std::string good = Fixture(dir.File("f.mrt"));
    enum Where { OPEN, OPEN_S, OPEN_A, OPEN_B };
    struct Case {
        const char* what;
        std::string bytes;
        Where where;
        HRESULT expect;
        const char* log;  // null: none required
    } cases[] = {
        {"cut inside the runtime header", good.substr(0, 200), OPEN, E_FAIL,
         "Not a valid mrt/ext file"},
        {"cut after the runtime header", good.substr(0, 256), OPEN, TESK_E_HEADERREAD, nullptr},
        {"cut inside the root header", good.substr(0, 270), OPEN, TESK_E_HEADERREAD, nullptr},
        {"runtime magic wrong", Patch(good, 8, "TESK-RT3"), OPEN, TESK_E_NOTRUNTIMEFILE,
         "Cannot locate header of RTFile("},
        {"root magic wrong", Patch(good, 260, "STGX"), OPEN, E_FAIL, nullptr},
        {"root node size past the file", Patch(good, 264, U64Bytes(196)), OPEN, E_FAIL,
         "node size"},
        {"root node size below its header", Patch(good, 264, U64Bytes(31)), OPEN, E_FAIL,
         "node size"},
        {"root directory past the node", Patch(good, 272, U64Bytes(190)), OPEN, E_FAIL,
         "directory"},
        {"root directory inside its header", Patch(good, 272, U64Bytes(8)), OPEN, E_FAIL,
         "directory"},
        {"root directory at a wrong place", Patch(good, 272, U64Bytes(100)), OPEN, E_FAIL, nullptr},
        {"root directory magic wrong", Patch(good, 411, "STGX"), OPEN, E_FAIL, nullptr},
        {"entry count too large", Patch(good, 280, U32Bytes(3)), OPEN, E_FAIL, "directory"},
        {"entry count huge", Patch(good, 280, U32Bytes(0xFFFFFFFF)), OPEN, E_FAIL, "directory"},
        {"child offset past the end", Patch(good, 415, U64Bytes(1000)), OPEN, E_FAIL,
         "outside the node"},
        {"child offset into the directory", Patch(good, 415, U64Bytes(150)), OPEN, E_FAIL,
         "outside the node"},
        {"child offset into the node header", Patch(good, 415, U64Bytes(8)), OPEN, E_FAIL,
         "outside the node"},
        {"child offset 0: the node itself", Patch(good, 415, U64Bytes(0)), OPEN, E_FAIL,
         "outside the node"},
        {"two children at one offset", Patch(good, 431, U64Bytes(32)), OPEN, E_FAIL,
         "share one offset"},
        {"name length 0", Patch(good, 423, U32Bytes(0)), OPEN, E_FAIL, "damaged"},
        {"name length 261", Patch(good, 423, U32Bytes(261)), OPEN, E_FAIL, "damaged"},
        {"name length past the node", Patch(good, 439, U32Bytes(9)), OPEN, E_FAIL, "damaged"},
        {"name without NUL", Patch(good, 429, std::string("Z\0", 2)), OPEN, E_FAIL, "has no end"},
        {"cut inside the root directory", good.substr(0, 440), OPEN, E_FAIL, "node size"},
        {"stream magic wrong", Patch(good, 292, "STMX"), OPEN_A, TESK_E_STREAMHEADER, nullptr},
        {"stream header size 33", Patch(good, 288, U32Bytes(33)), OPEN_A, TESK_E_STREAMHEADER,
         nullptr},
        {"stream length into its sibling", Patch(good, 296, U64Bytes(6)), OPEN_A,
         TESK_E_STREAMHEADER, "passes its node's end"},
        {"stream length huge", Patch(good, 296, U64Bytes(~0ull)), OPEN_A, TESK_E_STREAMHEADER,
         "passes its node's end"},
        // 64-bit sizes are logged whole.
        {"root node size 2^63", Patch(good, 264, U64Bytes(0x8000000000000000ull)), OPEN, E_FAIL,
         "node size 9223372036854775808 passes its room"},
        {"stream length 2^63 - 1", Patch(good, 296, U64Bytes(0x7FFFFFFFFFFFFFFFull)), OPEN_A,
         TESK_E_STREAMHEADER, "data length 9223372036854775807 passes its node's end"},
        {"inner stream into the parent's directory", Patch(good, 365, U64Bytes(3)), OPEN_B,
         TESK_E_STREAMHEADER, "passes its node's end"},
        {"inner node size over the root directory", Patch(good, 333, U64Bytes(87)), OPEN_S, E_FAIL,
         "node size"},
        {"inner storage magic wrong", Patch(good, 329, "STGX"), OPEN_S, E_FAIL, nullptr},
        {"inner child offset into its directory", Patch(good, 395, U64Bytes(60)), OPEN_S, E_FAIL,
         "outside the node"},
    };
    std::string path = dir.File("bad.mrt");
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        LogCapture log(dir.File("log"));
        CComPtr<ITeskStorage> root, s;
        CComPtr<ITeskStream> stm;
        HRESULT hr = OpenPacStorage(path.c_str(), &root);
        if (c.where != OPEN) {
            ASSERT_EQ(S_OK, hr) << c.what;
            if (c.where == OPEN_A)
                hr = root->OpenStream("A", 1, &stm);
            if (c.where == OPEN_S || c.where == OPEN_B)
                hr = root->OpenStorage("S", 1, &s);
            if (c.where == OPEN_B) {
                ASSERT_EQ(S_OK, hr) << c.what;
                hr = s->OpenStream("B", 1, &stm);
            }
        }
        EXPECT_EQ(c.expect, hr) << c.what;
        std::string text = log.Text();
        if (c.log) {
            EXPECT_NE(std::string::npos, text.find(c.log)) << c.what << "\n" << text;
        }
    }
}

namespace {

// Opens everything the package should hold and reads it. Any failure must
// be a code; any opened stream must read its whole length.
struct Walk {
    int opened = 0;
    int refused = 0;
};

void WalkStream(ITeskStorage* parent, const char* name, Walk* walk, bool zlib) {
    CComPtr<ITeskStream> s;
    HRESULT hr = parent->OpenStream(name, 1, &s);
    if (FAILED(hr)) {
        ++walk->refused;
        return;
    }
    ++walk->opened;
    ULONGLONG size = s->GetSize();
    ASSERT_LT(size, 1u << 20) << name;
    std::string data((size_t)size, '\0');
    s->Seek(0, TESK_SEEK_SET);
    // An opened stream's data lies inside the file.
    if (size) {
        EXPECT_NO_THROW(s->Read(&data[0], (ULONG)size)) << name;
    }
    if (zlib) {
        s->Seek(0, TESK_SEEK_SET);
        CComPtr<ITeskStream> mem;
        CreateMemStream(&mem, 32000);
        try {
            AsMemStream(mem)->LoadCompressed(s, 0, BODY_ZLIB);
        } catch (const CTeskStreamExcept& e) {
            EXPECT_EQ(12000, e.GetCode());
        }
        EXPECT_LE(mem->GetSize(), 100000u);
    }
}

void WalkPackage(const std::string& path, Walk* walk) {
    CComPtr<ITeskStorage> root;
    if (FAILED(OpenPacStorage(path.c_str(), &root))) {
        ++walk->refused;
        return;
    }
    ++walk->opened;
    WalkStream(root, "PrjInfo", walk, true);
    WalkStream(root, "frgindex", walk, false);
    CComPtr<ITeskStorage> data;
    if (FAILED(root->OpenStorage("frgdata", 1, &data))) {
        ++walk->refused;
    } else {
        for (const char* page : {"Page1", "Page2"}) {
            CComPtr<ITeskStorage> canvas;
            if (FAILED(data->OpenStorage(page, 1, &canvas))) {
                ++walk->refused;
                continue;
            }
            WalkStream(canvas, "CanvasInfo", walk, false);
            WalkStream(canvas, "ObjData", walk, true);
        }
    }
    CComPtr<ITeskStorage> media;
    if (FAILED(root->OpenStorage("MediaData", 1, &media)))
        ++walk->refused;
}

std::string CorruptionFixture(const std::string& path) {
    std::string raw;
    for (int i = 0; i < 300; ++i) raw += (char)('a' + i % 7);
    CPackageWriter w;
    EXPECT_EQ(S_OK, w.Create(path, 4096, "MZ"));
    EXPECT_EQ(S_OK, w.AddStream("PrjInfo", MakeBody(raw, BODY_ZLIB)));
    EXPECT_EQ(S_OK, w.AddStream("frgindex", "index bytes"));
    EXPECT_EQ(S_OK, w.BeginStorage("frgdata"));
    for (const char* page : {"Page1", "Page2"}) {
        EXPECT_EQ(S_OK, w.BeginStorage(page));
        EXPECT_EQ(S_OK, w.AddStream("CanvasInfo", std::string(24, 'c')));
        EXPECT_EQ(S_OK, w.AddStream("ObjData", MakeBody(raw + page, BODY_ZLIB)));
        EXPECT_EQ(S_OK, w.EndStorage());
    }
    EXPECT_EQ(S_OK, w.EndStorage());
    EXPECT_EQ(S_OK, w.AddStorage("MediaData"));
    EXPECT_EQ(S_OK, w.Finish());
    return ReadFileBytes(path);
}

}  // namespace

TEST(PacDamage, TruncatedCopiesAtEveryLength) {
    TempFolder dir;
    std::string good = CorruptionFixture(dir.File("good.mrt"));
    Walk full;
    WalkPackage(dir.File("good.mrt"), &full);
    ASSERT_EQ(0, full.refused);
    ASSERT_EQ(7, full.opened);  // the root and six streams
    std::string path = dir.File("cut.mrt");
    for (size_t n = 0; n < good.size(); n += (n < 4096 ? 97 : 1)) {
        ASSERT_TRUE(WriteFileBytes(path, good.substr(0, n)));
        Walk walk;
        WalkPackage(path, &walk);
        // The root's directory is last: every cut loses the whole package.
        EXPECT_EQ(0, walk.opened) << n;
    }
}

TEST(PacDamage, FlippedBytesAnywhereInThePackage) {
    TempFolder dir;
    std::string good = CorruptionFixture(dir.File("good.mrt"));
    std::string path = dir.File("flip.mrt");
    int refusedSomewhere = 0;
    for (size_t at = 4096; at < good.size(); ++at) {
        for (int mask : {0xFF, 0x01, 0x80}) {
            std::string bad = good;
            bad[at] = (char)(bad[at] ^ mask);
            ASSERT_TRUE(WriteFileBytes(path, bad));
            Walk walk;
            WalkPackage(path, &walk);
            if (HasFatalFailure())
                return;
            if (walk.refused)
                ++refusedSomewhere;
        }
    }
    EXPECT_GT(refusedSomewhere, 0);
}
