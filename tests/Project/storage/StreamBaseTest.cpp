// Stream base: measuring dry run, stream strings, wide-string limits,
// exceptions, factories' argument checks and interface identity.
#include <gtest/gtest.h>

#include "PackageWriter.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aMemStm.h"
#include "aStorage.h"
#include "bMsgBox.h"

#include <string>

namespace {

// A memory stream holding `bytes`, positioned at `pos`.
CComPtr<ITeskStream> MemWith(const std::string& bytes, ULONGLONG pos = 0) {
    CComPtr<ITeskStream> s;
    EXPECT_EQ(S_OK, CreateMemStream(&s, 16));
    if (!bytes.empty())
        s->Write(bytes.data(), (ULONG)bytes.size());
    s->Seek((LONGLONG)pos, TESK_SEEK_SET);
    return s;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// GBK text of the two characters U+4E2D U+6587.
const char kGbkTwo[] = "\xD6\xD0\xCE\xC4";

}  // namespace

TEST(StreamMeasure, BeginTwiceFailsAndKeepsTheFirstCounters) {
    CComPtr<ITeskStream> s = MemWith(std::string(20, 'x'), 5);
    ASSERT_EQ(S_OK, s->BeginMeasure());
    s->Seek(3, TESK_SEEK_CUR);
    EXPECT_EQ(E_FAIL, s->BeginMeasure());
    EXPECT_EQ(1, s->IsMeasuring());
    EXPECT_EQ(8u, s->GetPosition());
    EXPECT_EQ(20u, s->GetSize());
}

TEST(StreamMeasure, ReadsStopAtTheEndWritesGrowAndNothingRealMoves) {
    CComPtr<ITeskStream> s = MemWith("0123456789ABCDEF", 12);
    ASSERT_EQ(S_OK, s->BeginMeasure());
    char buf[16] = {0};
    EXPECT_EQ(4u, s->Read(buf, 10));  // 4 bytes before the end
    EXPECT_EQ(0, buf[0]);             // nothing was read
    EXPECT_EQ(16u, s->GetPosition());
    EXPECT_EQ(7u, s->Write("written", 7));
    EXPECT_EQ(23u, s->GetSize());
    EXPECT_EQ(23u, s->GetPosition());
    EXPECT_EQ(10u, s->WriteWideString("abcde", 5));  // 2n while measuring
    EXPECT_EQ(33u, s->GetSize());
    s->Seek(30, TESK_SEEK_SET);
    EXPECT_EQ(3u, s->ReadWideString(nullptr, 4));  // 8 wanted, 3 left
    ASSERT_EQ(S_OK, s->EndMeasure());
    EXPECT_EQ(0, s->IsMeasuring());
    EXPECT_EQ(16u, s->GetSize());
    EXPECT_EQ(12u, s->GetPosition());
    EXPECT_EQ("0123456789ABCDEF", Contents(s));
}

TEST(StreamMeasure, SeeksClampToTheMeasuredRange) {
    struct Case {
        LONGLONG offset;
        int origin;
        ULONGLONG expect;
    } cases[] = {
        {3, TESK_SEEK_END, 47},                            // counted back from the end
        {-3, TESK_SEEK_END, 50},                           // past the end: clamped
        {-5, TESK_SEEK_SET, 0},                            // negative: clamped
        {70, TESK_SEEK_SET, 50}, {-25, TESK_SEEK_CUR, 0},  // from 20
        {7, TESK_SEEK_CUR, 27},  {5, 9, 20},               // unknown origin only clamps
    };
    for (const Case& c : cases) {
        CComPtr<ITeskStream> s = MemWith(std::string(50, 'x'), 20);
        ASSERT_EQ(S_OK, s->BeginMeasure());
        EXPECT_EQ(S_OK, s->Seek(c.offset, c.origin));
        EXPECT_EQ(c.expect, s->GetPosition()) << c.offset << " from " << c.origin;
    }
}

// A record's size measured ahead equals the bytes it then takes.
TEST(StreamMeasure, MeasuredStringsTakeWhatTheyWrite) {
    const char* texts[] = {"", "abc", kGbkTwo, "a\xD6\xD0z", "plain text of some length"};
    for (const char* text : texts) {
        CComPtr<ITeskStream> s = MemWith("head");
        s->Seek(0, TESK_SEEK_END);
        ASSERT_EQ(S_OK, s->BeginMeasure());
        WriteStringToStream(text, s);
        ULONGLONG measured = s->GetPosition() - 4;
        s->EndMeasure();
        WriteStringToStream(text, s);
        EXPECT_EQ(measured, s->GetSize() - 4) << text;
    }
}

TEST(StreamString, BytesAsStored) {
    ASSERT_EQ(936u, GetACP()) << "tests run under code page 936";
    struct Case {
        const char* text;
        const char* hex;
    } cases[] = {
        // count 3, then "abc" in UTF-16 filling 2n exactly (no terminator)
        {"abc", "03 00 00 00 61 00 62 00 63 00"},
        // count 4 (GBK bytes), U+4E2D U+6587, a UTF-16 NUL, two zero bytes
        {kGbkTwo, "04 00 00 00 2D 4E 87 65 00 00 00 00"},
        // count 3: 'a' and one GBK character, then the NUL
        {"a\xD6\xD0", "03 00 00 00 61 00 2D 4E 00 00"},
        // the empty text is its count alone
        {"", "00 00 00 00"},
    };
    for (const Case& c : cases) {
        CComPtr<ITeskStream> s = MemWith("");
        ASSERT_TRUE(WriteStringToStream(c.text, s));
        std::string bytes = Contents(s);
        EXPECT_EQ(c.hex, Hex(bytes)) << c.text;
        s->Seek(0, TESK_SEEK_SET);
        std::string back = "junk";
        ASSERT_TRUE(ReadStringFromStream(back, s));
        EXPECT_EQ(std::string(c.text), back);
        EXPECT_EQ(bytes.size(), s->GetPosition());
    }
}

TEST(StreamString, ReadingStopsAtTheFirstNulAndNeverSplitsACharacter) {
    struct Case {
        std::string stored;
        std::string expect;
    } cases[] = {
        // n = 4 counted with the NUL, as media names are written
        {CByteWriter().U32(4).Bytes("a\0b\0c\0\0\0", 8).Str(), "abc"},
        // n = 2 but the UTF-16 holds two GBK characters (4 ANSI bytes): one fits
        {CByteWriter().U32(2).Bytes("\x2D\x4E\x87\x65", 4).Str(), "\xD6\xD0"},
        // n = 3 with two GBK characters: the second would be split, so it is left out
        {CByteWriter().U32(3).Bytes("\x2D\x4E\x87\x65\x00\x00", 6).Str(), "\xD6\xD0"},
    };
    for (const Case& c : cases) {
        CComPtr<ITeskStream> s = MemWith(c.stored);
        std::string text;
        ASSERT_TRUE(ReadStringFromStream(text, s));
        EXPECT_EQ(c.expect, text);
        EXPECT_EQ(c.stored.size(), s->GetPosition());
    }
}

TEST(StreamString, OverlongAndShortStringsThrow) {
    // A count above 0xFFFF throws 12000 before anything more is read.
    CComPtr<ITeskStream> s = MemWith(CByteWriter().U32(0x10000).Zeros(0x20000).Str());
    std::string text;
    EXPECT_EQ(12000, StreamExceptCode([&] { ReadStringFromStream(text, s); }));
    EXPECT_EQ(4u, s->GetPosition());

    char buf[8];
    s->Seek(0, TESK_SEEK_SET);
    EXPECT_THROW(s->ReadWideString(buf, 0x10000), CTeskStreamExcept);
    EXPECT_EQ(0u, s->GetPosition());

    // A count larger than the bytes that follow.
    CComPtr<ITeskStream> cut = MemWith(CByteWriter().U32(5).Bytes("a\0b\0", 4).Str());
    EXPECT_EQ(12000, StreamExceptCode([&] { ReadStringFromStream(text, cut); }));
}

TEST(StreamString, TextsLongerThan0xFFFFAreRefused) {
    CComPtr<ITeskStream> s = MemWith("");
    EXPECT_FALSE(WriteStringToStream(std::string(0x10000, 'a'), s));
    EXPECT_EQ(0u, s->GetSize());
    EXPECT_TRUE(WriteStringToStream(std::string(0xFFFF, 'a'), s));
    EXPECT_EQ(4u + 2 * 0xFFFF, s->GetSize());
    s->Seek(0, TESK_SEEK_SET);
    std::string back;
    ASSERT_TRUE(ReadStringFromStream(back, s));
    EXPECT_EQ(std::string(0xFFFF, 'a'), back);
}

// A fixed-width wide text of more than 0xFFFF units is refused, measured or
// not, so the measured size equals what is written.
TEST(StreamString, OverlongWideWritesTakeNothingMeasuredOrNot) {
    for (bool measuring : {false, true}) {
        CComPtr<ITeskStream> s = MemWith("head");
        s->Seek(0, TESK_SEEK_END);
        if (measuring) {
            ASSERT_EQ(S_OK, s->BeginMeasure());
        }
        EXPECT_EQ(0u, s->WriteWideString("a", 0x10000)) << measuring;
        EXPECT_EQ(4u, s->GetPosition()) << measuring;
        EXPECT_EQ(4u, s->GetSize()) << measuring;
        // 0xFFFF units still go: measured as 2n, written as n.
        EXPECT_EQ(measuring ? 2u * 0xFFFF : 0xFFFFu, s->WriteWideString("a", 0xFFFF)) << measuring;
        EXPECT_EQ(4u + 2 * 0xFFFF, s->GetSize()) << measuring;
    }
}

TEST(StreamBase, ShortReadThrows12000) {
    CComPtr<ITeskStream> s = MemWith("12345", 2);
    char buf[8];
    EXPECT_EQ(12000, StreamExceptCode([&] { s->Read(buf, 4); }));
}

TEST(StreamBase, DefaultsOfANewStream) {
    CComPtr<ITeskStream> s = MemWith("");
    EXPECT_EQ(3, s->GetVersion());
    EXPECT_EQ(1, s->GetMode());
    EXPECT_EQ(0, s->GetFlag());
    EXPECT_EQ(0, s->IsMeasuring());
    s->SetVersion(9);
    s->SetFlag(2);
    EXPECT_EQ(9, s->GetVersion());
    EXPECT_EQ(2, s->GetFlag());
    EXPECT_EQ(TESK_KIND_MEMSTREAM, s->GetKind());
    s->SetTag(4);
    EXPECT_EQ(10, s->GetTag());
}

TEST(StreamBase, AnswersOnlyItsOwnInterface) {
    CComPtr<ITeskStream> s = MemWith("");
    IUnknown* unk = nullptr;
    ASSERT_EQ(S_OK, s->QueryInterface(IID_IUnknown, (void**)&unk));
    EXPECT_EQ((void*)s.p, (void*)unk);
    unk->Release();
    ITeskStorage* stg = reinterpret_cast<ITeskStorage*>(1);
    EXPECT_EQ(E_NOINTERFACE, s->QueryInterface(__uuidof(ITeskStorage), (void**)&stg));
    EXPECT_EQ(nullptr, stg);
    IStream* ole = reinterpret_cast<IStream*>(1);
    EXPECT_EQ(E_NOINTERFACE, s->QueryInterface(IID_IStream, (void**)&ole));
    EXPECT_EQ(nullptr, ole);
}

TEST(Factories, RefuseBadArguments) {
    ITeskStorage* stg = reinterpret_cast<ITeskStorage*>(1);
    EXPECT_EQ(E_INVALIDARG, OpenTeskStorage("x.mrt", 1, 2, &stg));
    EXPECT_EQ(nullptr, stg);
    stg = reinterpret_cast<ITeskStorage*>(1);
    EXPECT_EQ(E_INVALIDARG, CreateTeskStorage(nullptr, 1, &stg));
    EXPECT_EQ(nullptr, stg);
    EXPECT_EQ(E_INVALIDARG, CreateTeskStorage("x", 3, &stg));
    EXPECT_EQ(E_INVALIDARG, OpenTeskDocfile("x", 2, &stg));
    EXPECT_EQ(nullptr, stg);

    ITeskStream* stm = nullptr;
    EXPECT_EQ(E_INVALIDARG, CreateMemStream(&stm, 0));
    EXPECT_EQ(E_INVALIDARG, CreateMemStream(nullptr, 10));
    stm = reinterpret_cast<ITeskStream*>(1);
    EXPECT_EQ(E_INVALIDARG, OpenFileStream("", 1, &stm));
    EXPECT_EQ(nullptr, stm);
    EXPECT_EQ(E_INVALIDARG, OpenFileStream(nullptr, 1, &stm));
}

TEST(Factories, PackedContainerWithoutAFile) {
    CComPtr<ITeskStorage> stg;
    ASSERT_EQ(S_OK, CreateTeskStorage("ignored.mrt", TESK_STG_PACKED, &stg));
    EXPECT_TRUE(stg->IsPacked());
    CComPtr<ITeskStream> stm;
    EXPECT_EQ(TESK_E_HEADERWRITE, stg->CreateStream("a", 0, &stm));
    EXPECT_EQ(nullptr, stm.p);
    EXPECT_EQ(TESK_E_NOSTREAM, stg->OpenStream("a", 1, &stm));
    EXPECT_EQ(0, stg->CountElements());
    EXPECT_EQ(S_OK, stg->Close());
    EXPECT_EQ(S_OK, stg->Close());
}

namespace {
std::string g_boxText, g_boxCaption;
UINT g_boxType;
int CaptureBox(HWND, const char* text, const char* caption, UINT type) {
    g_boxText = text ? text : "<null>";
    g_boxCaption = caption ? caption : "<null>";
    g_boxType = type;
    return IDRETRY;
}

class TextExcept : public CTeskExcept {
public:
    TextExcept(int code, const char* text) : CTeskExcept(code) {
        m_text = static_cast<char*>(malloc(strlen(text) + 1));
        strcpy(m_text, text);
    }
};
}  // namespace

TEST(TeskExcept, ReportErrorShowsAnEmptyTextCaptionedMavro) {
    PFNMESSAGEBOXHANDLER old = SetMessageBoxHandler(CaptureBox);
    CTeskStreamExcept e(12000);
    EXPECT_EQ(IDRETRY, e.ReportError(MB_ICONSTOP, 0));
    SetMessageBoxHandler(old);
    EXPECT_EQ("", g_boxText);
    EXPECT_EQ("Mavro", g_boxCaption);
    EXPECT_EQ((UINT)MB_ICONSTOP, g_boxType);

    char text[8] = "junk";
    UINT help = 77;
    EXPECT_FALSE(e.GetErrorMessage(text, sizeof(text), &help));
    EXPECT_EQ(0u, help);
    EXPECT_STREQ("", text);
}

TEST(TeskExcept, CopiesOwnTheirText) {
    TextExcept* original = new TextExcept(39, "disk");
    CTeskExcept copy(*original);
    EXPECT_EQ(39, copy.GetCode());
    EXPECT_STREQ("disk", copy.GetText());
    EXPECT_NE(original->GetText(), copy.GetText());
    delete original;  // frees its own text only
    EXPECT_STREQ("disk", copy.GetText());
    CTeskStreamExcept s(14);
    CTeskStreamExcept t(s);
    EXPECT_EQ(14, t.GetCode());
}
