#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <random>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "ServiceFakes.h"
#include "aGDIBuf.h"
#include "aTxtObj.h"
#include "aUtil.h"

namespace {

// GBK bytes: 中 and 文 are characters of the phonetic rows, 、 is not.
const char kZhong[] = "\xD6\xD0";
const char kWen[] = "\xCE\xC4";
const char kComma[] = "\xA1\xA2";

// The view as the player's is: the object's window-message part gets the
// hook's start, focus-lost and end calls.
class HookingView : public RecordingView {
public:
    BOOL ChangeWndProc(BOOL on, IUnknown* object) override {
        RecordingView::ChangeWndProc(on, object);
        End();
        if (!on || !object)
            return TRUE;
        CComPtr<IWndMsgHandler> h;
        if (FAILED(object->QueryInterface(__uuidof(IWndMsgHandler), reinterpret_cast<void**>(&h))))
            return TRUE;
        WndHookRecord record = {sizeof(record), window, nullptr};
        if (SUCCEEDED(h->BeginHook(&record)))
            hook = h;
        return TRUE;
    }
    void End() {
        if (!hook)
            return;
        CComPtr<IWndMsgHandler> h = hook;
        hook.Release();
        h->FocusLost();
        h->EndHook();
    }
    HWND window = nullptr;
    CComPtr<IWndMsgHandler> hook;
};

std::wstring Wide(const std::string& mb) {
    int n = MultiByteToWideChar(CP_ACP, 0, mb.data(), (int)mb.size(), nullptr, 0);
    std::wstring w((size_t)n, L'\0');
    if (n)
        MultiByteToWideChar(CP_ACP, 0, mb.data(), (int)mb.size(), &w[0], n);
    return w;
}

DWORD PixelOf(IPixelBuffer* buffer, int x, int y) {
    BufferInfo info = ReadBufferInfo(buffer);
    return reinterpret_cast<const DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch)[x] &
           0x00FFFFFF;
}

bool NeedsGbk() {
    return !IsDBCSLeadByte(0xD6);
}

class TextObjectTest : public ObjectFixture {
protected:
    TextObjectTest() { site.viewService = &view; }
    ~TextObjectTest() override { view.End(); }

    TextObject* Make() {
        TextObject* t = MakeBuiltin<TextObject>(CreateTextObject);
        t->SetWidth(200);
        t->SetHeight(100);
        t->MoveTo(150, 100);
        return t;
    }
    // An editable object holding the text, editing.
    TextObject* Editing(const std::string& text, DWORD flags = TXTFLAG_INITIAL) {
        TextObject* t = Make();
        t->SetFlags(flags | TXTFLAG_EDITABLE);
        SetText(t, text);
        EXPECT_EQ(t->EnterEdit(), S_OK);
        EXPECT_TRUE(t->Editing());
        return t;
    }
    static void SetText(TextObject* t, const std::string& text) {
        BSTR b = SysAllocString(Wide(text).c_str());
        t->put_ObjContent(b);
        SysFreeString(b);
    }
    static std::string TextOf(TextObject* t) { return t->Text(); }
    static HRESULT Send(TextObject* t, UINT message, WPARAM w, LPARAM l = 0) {
        LRESULT r = 0;
        return t->HandleMessage(nullptr, nullptr, message, w, l, &r);
    }
    static void Type(TextObject* t, const std::string& bytes) {
        for (char c : bytes) Send(t, WM_CHAR, (unsigned char)c, 1);
    }
    static void Key(TextObject* t, UINT key, bool shift = false) {
        BYTE keys[256];
        GetKeyboardState(keys);
        BYTE old = keys[VK_SHIFT];
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        Send(t, WM_KEYDOWN, key);
        keys[VK_SHIFT] = old;
        SetKeyboardState(keys);
    }
    int Fired(DISPID id) const {
        if (!procs.last)
            return 0;
        return (int)std::count_if(procs.last->calls.begin(), procs.last->calls.end(),
                                  [id](const TestEventProc::Call& c) { return c.id == id; });
    }
    std::vector<uint8_t> TextStream(const TextRecord& rec) {
        ObjectPrefix prefix;
        std::vector<uint8_t> own = WriteTextRecord(rec);
        prefix.eventProc.insert(prefix.eventProc.end(), own.begin(), own.end());
        return WriteObjectPrefix(prefix);
    }

    HookingView view;
};

}  // namespace

TEST_F(TextObjectTest, NewObjectHasItsInitialStyleAndOneEmptyLine) {
    TextObject* t = Make();
    EXPECT_EQ(t->Flags(), 0x6300u);
    EXPECT_STREQ(t->Font().lfFaceName, "Arial");
    ASSERT_EQ(t->LineCount(), 1);
    EXPECT_EQ(t->Line(0).text.Length(), 0);
    LONG v = -1;
    t->get_ObjAutoWrap(&v);
    EXPECT_EQ(v, 1);
    t->get_ObjMultiLine(&v);
    EXPECT_EQ(v, 1);
    t->get_ObjPasswordMode(&v);
    EXPECT_EQ(v, 0);
    // The class answers error information for its dual interface only.
    EXPECT_EQ(t->InterfaceSupportsErrorInfo(__uuidof(ITextDispObj)), S_OK);
    EXPECT_EQ(t->InterfaceSupportsErrorInfo(__uuidof(IPictureDispObj)), S_FALSE);
}

TEST_F(TextObjectTest, EnterEditWaitsForTheEditableBitAndHooksTheView) {
    TextObject* t = Make();
    EXPECT_EQ(t->EnterEdit(), S_OK);
    EXPECT_TRUE(view.calls.empty());
    EXPECT_FALSE(t->Editing());

    t->SetFlags(t->Flags() | TXTFLAG_EDITABLE);
    EXPECT_EQ(t->EnterEdit(), S_OK);
    ASSERT_EQ(view.calls, (std::vector<std::string>{"ChangeWndProc 1"}));
    EXPECT_EQ(view.objects[0], t->GetUnknown());
    EXPECT_TRUE(t->Editing());
    EXPECT_TRUE(t->CaretShown());
    EXPECT_EQ(Fired(TXTEVT_ENTEREDIT), 1);
    // A second call while editing asks nothing.
    t->EnterEdit();
    EXPECT_EQ(view.calls.size(), 1u);

    EXPECT_EQ(t->ExitEdit(), S_OK);
    EXPECT_EQ(view.calls.back(), "ChangeWndProc 0");
    EXPECT_FALSE(t->Editing());
    EXPECT_EQ(Fired(TXTEVT_EXITEDIT), 1);
    EXPECT_EQ(Fired(TXTEVT_ENTEREDIT), 1);
}

TEST_F(TextObjectTest, EditingEventsOnlyInRunMode) {
    site.player = FALSE;
    TextObject* t = Editing("x");
    t->ExitEdit();
    EXPECT_EQ(Fired(TXTEVT_ENTEREDIT), 0);
    EXPECT_EQ(Fired(TXTEVT_EXITEDIT), 0);
}

TEST_F(TextObjectTest, TextTypeReformatsTheContent) {
    const struct {
        LONG type;
        const char* before;
        const char* after;
    } cases[] = {
        {1, "42ab", "42"},   {2, "3", "3.000000"}, {1, "x", "0"}, {2, "-1.5e1z", "-15.000000"},
        {0, "42ab", "42ab"},  // text type: unchanged
    };
    for (const auto& c : cases) {
        TextObject* t = Make();
        SetText(t, c.before);
        ASSERT_EQ(t->put_ObjTextType(c.type), S_OK);
        EXPECT_EQ(TextOf(t), c.after) << c.type << " " << c.before;
        LONG v = -1;
        t->get_ObjTextType(&v);
        EXPECT_EQ(v, c.type);
    }
}

TEST_F(TextObjectTest, ContentSplitsLinesAndSingleLineJoinsThem) {
    TextObject* t = Make();
    SetText(t, "one\r\ntwo\nthree\tx");
    ASSERT_EQ(t->LineCount(), 3);
    EXPECT_EQ(TextOf(t), "one\r\ntwo\r\nthree    x");
    EXPECT_EQ(Fired(TXTEVT_CONTENTCHANGED), 1);
    BSTR b = nullptr;
    ASSERT_EQ(t->get_ObjContent(&b), S_OK);
    EXPECT_STREQ(b, L"one\r\ntwo\r\nthree    x");
    SysFreeString(b);

    ASSERT_EQ(t->put_ObjMultiLine(0), S_OK);
    ASSERT_EQ(t->LineCount(), 1);
    EXPECT_EQ(TextOf(t), "onetwothree    x");
    EXPECT_EQ(t->Caret(), (TextPos{0, 0}));
    // A single-line object drops line feeds of a new content.
    SetText(t, "a\r\nb");
    EXPECT_EQ(TextOf(t), "ab");
}

TEST_F(TextObjectTest, FontMembers) {
    TextObject* t = Make();
    BSTR forty = SysAllocString(std::wstring(40, L'F').c_str());
    ASSERT_EQ(t->SetFontName(forty), S_OK);
    SysFreeString(forty);
    EXPECT_EQ(strlen(t->Font().lfFaceName), 31u);
    ASSERT_EQ(t->SetFontProp(0, 1, 1), S_OK);
    EXPECT_EQ(t->Font().lfWeight, 700);
    EXPECT_EQ(t->Font().lfItalic, 0);
    EXPECT_EQ(t->Font().lfUnderline, 1);
    t->SetFontProp(1, 0, 0);
    EXPECT_EQ(t->Font().lfWeight, 400);
    EXPECT_EQ(t->Font().lfItalic, 1);
    ASSERT_EQ(t->SetFontSize(24), S_OK);
    EXPECT_EQ(t->Font().lfHeight, -PointsToFontHeight(24));
    LOGFONTA lf = {};
    ASSERT_EQ(t->GetLogFont(&lf), S_OK);
    EXPECT_EQ(lf.lfHeight, t->Font().lfHeight);
    strcpy(lf.lfFaceName, "Courier New");
    ASSERT_EQ(t->SetLogFont(&lf), S_OK);
    EXPECT_STREQ(t->Font().lfFaceName, "Courier New");
}

TEST_F(TextObjectTest, FontNameIsCutOnAWholeCharacter) {
    if (NeedsGbk())
        GTEST_SKIP() << "needs the GBK code page";
    // "AB" and fifteen double-byte characters: 32 bytes, the 32nd a trail byte.
    std::string name = "AB";
    for (int i = 0; i < 15; ++i) name += kWen;
    TextObject* t = Make();
    BSTR b = SysAllocString(Wide(name).c_str());
    t->SetFontName(b);
    SysFreeString(b);
    EXPECT_EQ(std::string(t->Font().lfFaceName), name.substr(0, 30));
}

TEST_F(TextObjectTest, PasswordAndPhoneticExcludeEachOther) {
    TextObject* t = Make();
    ASSERT_EQ(t->put_ObjPasswordMode(1), S_OK);
    EXPECT_EQ(t->put_ObjPhoneticize(1), E_FAIL);
    LONG v = -1;
    t->get_ObjPhoneticize(&v);
    EXPECT_EQ(v, 0);
    t->put_ObjPasswordMode(0);
    ASSERT_EQ(t->put_ObjPhoneticize(1), S_OK);
    EXPECT_EQ(t->put_ObjPasswordMode(1), E_FAIL);
    t->get_ObjPasswordMode(&v);
    EXPECT_EQ(v, 0);
    // Zero may always be put.
    EXPECT_EQ(t->put_ObjPasswordMode(0), S_OK);
}

TEST_F(TextObjectTest, DrawnInItsColourInsideItsBoundsOnly) {
    TextObject* t = Make();
    t->SetFontSize(24);
    t->put_ObjColor(0x0000FF);
    t->put_ObjAutoWrap(0);
    // Longer and taller than the bounds: cut at them.
    SetText(t, "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW\r\nMMMMMMMMMMMMMMMMMMMMMMMMMM\r\nW\r\nW\r\nW\r\nW");
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(400, 300));
    target->FillRect(nullptr, 0);
    RECT bounds;
    t->GetBoundsRect(&bounds);
    ASSERT_EQ(t->DrawContent(target, &bounds), S_OK);
    int red = 0, outside = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            DWORD p = PixelOf(target, x, y);
            POINT pt = {x, y};
            if (!PtInRect(&bounds, pt))
                outside += p != 0;
            else if ((p >> 16) > 200 && (p & 0xFFFF) == 0)
                ++red;
        }
    EXPECT_GT(red, 100);
    EXPECT_EQ(outside, 0);
}

TEST_F(TextObjectTest, PasswordDisplayDrawsStarsOnly) {
    TextObject* t = Make();
    t->put_ObjColor(0x00FF00);
    SetText(t, "secret");
    CComPtr<IPixelBuffer> plain, stars, expected;
    RECT bounds;
    t->GetBoundsRect(&bounds);
    stars.Attach(CreateGDIBuffer(400, 300));
    stars->FillRect(nullptr, 0);
    t->put_ObjPasswordMode(1);
    t->DrawContent(stars, &bounds);
    t->put_ObjPasswordMode(0);
    SetText(t, "******");
    expected.Attach(CreateGDIBuffer(400, 300));
    expected->FillRect(nullptr, 0);
    t->DrawContent(expected, &bounds);
    int differ = 0, lit = 0;
    for (int y = bounds.top; y < bounds.bottom; ++y)
        for (int x = bounds.left; x < bounds.right; ++x) {
            differ += PixelOf(stars, x, y) != PixelOf(expected, x, y);
            lit += (PixelOf(stars, x, y) & 0xFF00) != 0;
        }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(lit, 0);
}

TEST_F(TextObjectTest, WrappingBreaksRowsAtTheBoundsWidth) {
    TextObject* t = Make();
    SetText(t, std::string(200, 'a'));
    POINT first = t->CaretPoint();
    // Every row fits the width; the rows cover the line in order.
    ASSERT_GT(t->Line(0).rows.size(), 1u);
    int next = 0;
    for (const TextRow& row : t->Line(0).rows) {
        EXPECT_EQ(row.start, next);
        EXPECT_GT(row.count, 0);
        next = row.start + row.count;
    }
    EXPECT_EQ(next, 200);
    t->put_ObjAutoWrap(0);
    t->CaretPoint();
    EXPECT_EQ(t->Line(0).rows.size(), 1u);
    (void)first;
}

TEST_F(TextObjectTest, PhoneticEntriesFollowTheirCharacters) {
    if (NeedsGbk())
        GTEST_SKIP() << "needs the GBK code page";
    // Entry k: starts after the k-th terminator; "*" and "$" end an entry alike.
    const char* p = "zhong$*wen$";
    const int n = (int)strlen(p);
    EXPECT_EQ(PhoneticEntryStart(p, n, 0), 0);
    EXPECT_EQ(PhoneticEntryStart(p, n, 1), 6);
    EXPECT_EQ(PhoneticEntryStart(p, n, 2), 7);
    EXPECT_EQ(PhoneticEntryStart(p, n, 9), n);
    EXPECT_EQ(PhoneticSpelling(p, n, 0), "zhong");
    EXPECT_EQ(PhoneticSpelling(p, n, 1), "");
    EXPECT_EQ(PhoneticSpelling(p, n, 2), "wen");
    EXPECT_EQ(PhoneticSpelling(p, n, 3), "");

    const struct {
        unsigned char lead, trail;
        bool phonetic;
    } chars[] = {
        {0xD6, 0xD0, true},  {0xB0, 0xA1, true},  {0xF7, 0xFE, true},  {0xA1, 0xA2, false},
        {0xB0, 0xA0, false}, {0xB0, 0xFF, false}, {0xF8, 0xA1, false}, {0xAF, 0xA1, false},
    };
    for (const auto& c : chars) EXPECT_EQ(IsPhoneticChar(c.lead, c.trail), c.phonetic);

    // A content put writes an empty entry for each phonetic-row character.
    TextObject* t = Make();
    SetText(t, std::string(kZhong) + "a" + kComma + kWen + "\r\n" + kWen);
    ASSERT_EQ(t->LineCount(), 2);
    EXPECT_EQ(std::string(t->Line(0).phonetic.Data(), t->Line(0).phonetic.Length()), "**");
    EXPECT_EQ(t->PhoneticText(), "**\n*\n");
}

TEST_F(TextObjectTest, DatabaseFieldBecomesTheContent) {
    FakeDBCore core;
    site.database = &core;
    core.fields["Scores.Name"].bytes = FakeDBCore::Block(1, "42ab");
    TextObject* t = Make();
    t->put_ObjTextType(1);
    BSTR table = SysAllocString(L"Scores"), field = SysAllocString(L"Name");
    ASSERT_EQ(t->BindToDatabase(table, field, 0), S_OK);
    EXPECT_EQ(TextOf(t), "42");
    EXPECT_GE(Fired(TXTEVT_CONTENTCHANGED), 1);
    // While bound, a new type reads the field again.
    core.fields["Scores.Name"].bytes = FakeDBCore::Block(1, "7.5");
    ASSERT_EQ(t->put_ObjTextType(2), S_OK);
    EXPECT_EQ(TextOf(t), "7.500000");
    // A failed read leaves the content empty.
    core.fields.clear();
    static_cast<II_IRender*>(t)->BeforeEnter();
    EXPECT_EQ(TextOf(t), "");
    SysFreeString(table);
    SysFreeString(field);
}

// ---- the record ----

TEST_F(TextObjectTest, RecordFieldsAndStoredPhoneticText) {
    if (NeedsGbk())
        GTEST_SKIP() << "needs the GBK code page";
    TextRecord rec;
    rec.height = -30;
    rec.weight = 700;
    rec.charSet = 134;
    rec.face = "SimSun";
    rec.color = 0x0000FF;
    rec.flags = 0xEB11;  // integer, centred, wrapped, multi-line, editable, stored phonetic
    rec.angle = 30;
    rec.text = std::string(kZhong) + "a\r\n" + kWen;
    rec.phonetic = "zhong$\nwen$\n";
    rec.phoneticOn = 1;
    TextObject* t = Make();
    CComPtr<ITeskStream> s = MemStreamOf(TextStream(rec));
    ASSERT_EQ(static_cast<IObjectBase*>(t)->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    EXPECT_EQ(t->Font().lfHeight, -30);
    EXPECT_EQ(t->Font().lfCharSet, 134);
    EXPECT_STREQ(t->Font().lfFaceName, "SimSun");
    EXPECT_EQ(t->Flags(), 0xEB11u);
    LONG v = 0;
    t->get_ObjColor(&v);
    EXPECT_EQ(v, 0x0000FF);
    t->get_ObjTextRotate(&v);
    EXPECT_EQ(v, 30);
    t->get_ObjPhoneticize(&v);
    EXPECT_EQ(v, 1);
    t->get_ObjHorzAlign(&v);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(TextOf(t), rec.text);
    EXPECT_EQ(t->PhoneticText(), "zhong$\nwen$\n");

    // Saved and read back: the same, flags 14 and 15 set.
    CComPtr<ITeskStream> out = NewMemStream();
    ASSERT_EQ(t->SaveExtension(out), S_OK);
    SetForReading(out);
    TextObject* u = Make();
    ASSERT_EQ(u->LoadExtension(out), S_OK);
    EXPECT_EQ(out->GetPosition(), out->GetSize());
    EXPECT_EQ(TextOf(u), rec.text);
    EXPECT_EQ(u->PhoneticText(), "zhong$\nwen$\n");
    EXPECT_EQ(u->Flags(), 0xEB11u);
    EXPECT_STREQ(u->Font().lfFaceName, "SimSun");
}

TEST_F(TextObjectTest, RecordWithoutStoredPhoneticGetsEmptyEntriesAndSaveSetsBothBits) {
    if (NeedsGbk())
        GTEST_SKIP() << "needs the GBK code page";
    TextRecord rec;
    rec.flags = 0x2300;  // neither plain read nor phonetic text
    rec.text = std::string("a") + kWen + kZhong;
    TextObject* t = Make();
    CComPtr<ITeskStream> s = MemStreamOf(TextStream(rec));
    ASSERT_EQ(static_cast<IObjectBase*>(t)->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    EXPECT_EQ(TextOf(t), rec.text);
    EXPECT_EQ(t->PhoneticText(), "**\n");
    CComPtr<ITeskStream> out = NewMemStream();
    t->SaveExtension(out);
    std::vector<BYTE> bytes = ContentBytes(out);
    ASSERT_GE(bytes.size(), 68u);
    DWORD flags = 0;
    memcpy(&flags, bytes.data() + 64, 4);  // after the LOGFONT and the colour
    EXPECT_EQ(flags, 0xE300u);
}

TEST_F(TextObjectTest, TruncatedAndCorruptedRecordsLeaveTheObjectAsItWas) {
    TextRecord rec;
    rec.text = "abc\r\ndef";
    rec.phonetic = "\n\n";
    std::vector<uint8_t> bytes = TextStream(rec);
    // The text record follows the event procedure's record, before the
    // prefix's last 8 bytes (the reserved word and the ability count).
    const size_t head = WriteObjectPrefix(ObjectPrefix()).size() - 8;
    auto unchanged = [](TextObject* t) {
        EXPECT_EQ(TextOf(t), "keep");
        EXPECT_STREQ(t->Font().lfFaceName, "Arial");
        EXPECT_EQ(t->Flags(), 0x6300u);
    };
    for (size_t n = head; n < bytes.size() - 8; ++n) {
        TextObject* t = Make();
        SetText(t, "keep");
        CComPtr<ITeskStream> s =
            MemStreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_NE(static_cast<IObjectBase*>(t)->Load(s), S_OK) << n;
        EXPECT_LE(s->GetPosition(), n);
        unchanged(t);
    }
    const struct {
        const char* what;
        size_t at;  // offset in the text record
        uint32_t value;
    } bad[] = {
        {"text length past the stream", 72, 0x7FFFFFF0},
        {"text length just past the stream", 72, 200},
        {"phonetic length past the stream", 76 + 8, 0xFFFFFFFF},
        {"phonetic length one past the rest", 76 + 8, 19},
        {"link name length past the stream", 76 + 8 + 4 + 2 + 4 + 8, 0x40000000},
    };
    for (const auto& c : bad) {
        std::vector<uint8_t> b = bytes;
        memcpy(&b[head + c.at], &c.value, 4);
        TextObject* t = Make();
        SetText(t, "keep");
        CComPtr<ITeskStream> s = MemStreamOf(b);
        EXPECT_EQ(static_cast<IObjectBase*>(t)->Load(s), E_FAIL) << c.what;
        EXPECT_LE(s->GetPosition(), b.size());
        unchanged(t);
    }
    std::mt19937 random(31);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> b = bytes;
        for (int k = 0; k < 3; ++k) {
            size_t at = head + random() % (b.size() - head);
            b[at] = (uint8_t)random();
        }
        TextObject* t = Make();
        CComPtr<ITeskStream> s = MemStreamOf(b);
        static_cast<IObjectBase*>(t)->Load(s);
        EXPECT_LE(s->GetPosition(), b.size());
        EXPECT_GE(t->LineCount(), 1);
        EXPECT_LT(strlen(t->Font().lfFaceName), 32u);
    }
}

TEST_F(TextObjectTest, FaceWithoutItsNulEndsAtByte31) {
    TextRecord rec;
    rec.face = std::string(32, 'Q');
    TextObject* t = Make();
    ASSERT_EQ(static_cast<IObjectBase*>(t)->Load(MemStreamOf(TextStream(rec))), S_OK);
    EXPECT_EQ(std::string(t->Font().lfFaceName), std::string(31, 'Q'));
}

// ---- editing ----

TEST_F(TextObjectTest, TypedCharactersByTextType) {
    enum Where { START, AFTER_FIRST, END };
    const struct {
        LONG type;
        DWORD flags;
        const char* before;
        Where where;
        char typed;
        const char* after;
    } cases[] = {
        {1, TXTFLAG_INITIAL, "12", START, '-', "-12"},
        {1, TXTFLAG_INITIAL, "-12", AFTER_FIRST, '-', "-12"},  // a second "-"
        {1, TXTFLAG_INITIAL, "-12", START, '-', "-12"},
        {1, TXTFLAG_INITIAL, "-12", START, '5', "-12"},  // nothing before the "-"
        {1, TXTFLAG_INITIAL, "12", END, '-', "12"},      // "-" only at the start
        {1, TXTFLAG_INITIAL, "12", END, '5', "125"},
        {1, TXTFLAG_INITIAL, "12", END, 'a', "12"},
        {1, TXTFLAG_INITIAL, "12", END, '.', "12"},
        {2, TXTFLAG_INITIAL, "1.5", END, '.', "1.5"},
        {2, TXTFLAG_INITIAL, "15", AFTER_FIRST, '.', "1.5"},
        {1, TXTFLAG_INITIAL, "12", END, '\t', "12"},
        {0, TXTFLAG_INITIAL, "ab", END, '\t', "ab    "},
        {0, TXTFLAG_INITIAL, "ab", END, '\x1B', "ab"},  // other control characters
        {0, TXTFLAG_INITIAL, "ab", END, '\b', "ab"},    // backspace acts through its key
        {0, TXTFLAG_INITIAL & ~TXTFLAG_MULTILINE, "ab", END, '\r', "ab"},
        {0, TXTFLAG_INITIAL, "ab", AFTER_FIRST, '\r', "a\r\nb"},
    };
    for (const auto& c : cases) {
        TextObject* t = Editing(c.before, c.flags | (DWORD)c.type);
        if (c.where == AFTER_FIRST)
            Key(t, VK_RIGHT);
        else if (c.where == END)
            Key(t, VK_END);
        Type(t, std::string(1, c.typed));
        EXPECT_EQ(TextOf(t), c.after) << c.type << " " << c.before << " " << (int)c.typed;
        EXPECT_EQ(t->Modified(), strcmp(c.before, c.after) != 0 ? 1 : 0) << c.before;
    }
}

TEST_F(TextObjectTest, EnterInRunModeWithItsBitEndsEditing) {
    TextObject* t = Editing("ab", TXTFLAG_INITIAL | TXTFLAG_ENTER_ENDS);
    Type(t, "\r");
    EXPECT_EQ(TextOf(t), "ab");
    EXPECT_FALSE(t->Editing());
    EXPECT_EQ(view.calls.back(), "ChangeWndProc 0");
}

TEST_F(TextObjectTest, DoubleByteCharactersMoveAndGoWhole) {
    if (NeedsGbk())
        GTEST_SKIP() << "needs the GBK code page";
    TextObject* t = Editing(std::string("a") + kWen + "b");
    Key(t, VK_END);
    Key(t, VK_LEFT);
    EXPECT_EQ(t->Caret().offset, 3);
    Key(t, VK_LEFT);  // over both bytes
    EXPECT_EQ(t->Caret().offset, 1);
    Key(t, VK_RIGHT);
    EXPECT_EQ(t->Caret().offset, 3);
    Key(t, VK_BACK);  // both bytes go
    EXPECT_EQ(TextOf(t), "ab");
    EXPECT_EQ(t->Caret().offset, 1);
    EXPECT_EQ(t->PhoneticText(), "\n");

    // Typed as two bytes: one character, one empty entry, one change event.
    const int before = Fired(TXTEVT_CONTENTCHANGED);
    Type(t, kZhong);
    EXPECT_EQ(TextOf(t), std::string("a") + kZhong + "b");
    EXPECT_EQ(t->PhoneticText(), "*\n");
    EXPECT_EQ(Fired(TXTEVT_CONTENTCHANGED), before + 1);
}

TEST_F(TextObjectTest, DeletingKeepsPhoneticEntriesWithTheirCharacters) {
    if (NeedsGbk())
        GTEST_SKIP() << "needs the GBK code page";
    TextRecord rec;
    rec.text = std::string(kZhong) + "x" + kWen + "\r\n" + kWen;
    rec.phonetic = "zhong$wen$\nwen2$\n";
    rec.flags |= TXTFLAG_EDITABLE;
    TextObject* t = Make();
    ASSERT_EQ(static_cast<IObjectBase*>(t)->Load(MemStreamOf(TextStream(rec))), S_OK);
    t->EnterEdit();
    Key(t, VK_RIGHT);
    Key(t, VK_DELETE);  // "x": an ordinary character, the entries stay
    EXPECT_EQ(t->PhoneticText(), "zhong$wen$\nwen2$\n");
    Key(t, VK_HOME);
    Key(t, VK_DELETE);  // 中: exactly its entry
    EXPECT_EQ(TextOf(t), std::string(kWen) + "\r\n" + kWen);
    EXPECT_EQ(t->PhoneticText(), "wen$\nwen2$\n");
    // At the end of a line the next joins, entries included, the caret at the joint.
    Key(t, VK_END);
    Key(t, VK_DELETE);
    EXPECT_EQ(TextOf(t), std::string(kWen) + kWen);
    EXPECT_EQ(t->PhoneticText(), "wen$wen2$\n");
    EXPECT_EQ(t->Caret(), (TextPos{0, 2}));
    // At the end of the last line nothing changes and nothing is reported.
    const int changes = Fired(TXTEVT_CONTENTCHANGED);
    Key(t, VK_END);
    Key(t, VK_DELETE);
    EXPECT_EQ(TextOf(t), std::string(kWen) + kWen);
    EXPECT_EQ(Fired(TXTEVT_CONTENTCHANGED), changes);
}

TEST_F(TextObjectTest, SelectionOverThreeLinesDeletesToOneLine) {
    TextObject* t = Editing("abcd\r\nefgh\r\nijkl");
    Key(t, VK_RIGHT);
    Key(t, VK_RIGHT);
    Key(t, VK_DOWN, true);
    Key(t, VK_DOWN, true);
    EXPECT_EQ(t->Anchor(), (TextPos{0, 2}));
    TextPos end = t->Caret();
    ASSERT_EQ(end.line, 2);
    ASSERT_GT(end.offset, 0);
    ASSERT_LT(end.offset, 4);
    Key(t, VK_BACK);
    ASSERT_EQ(t->LineCount(), 1);
    EXPECT_EQ(TextOf(t), "ab" + std::string("ijkl").substr((size_t)end.offset));
    EXPECT_EQ(t->Caret(), (TextPos{0, 2}));
    EXPECT_EQ(t->Anchor(), (TextPos{0, 2}));
}

TEST_F(TextObjectTest, MouseSelectsAndAClickOutsideEndsEditing) {
    TextObject* t = Editing("abcdef");
    RECT b;
    t->GetBoundsRect(&b);
    Key(t, VK_END);
    POINT endPt = t->CaretPoint();
    // A press at the start of the text, a drag to its end.
    EXPECT_EQ(Send(t, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(b.left + 2, endPt.y + 2)), S_OK);
    EXPECT_EQ(t->Caret(), (TextPos{0, 0}));
    EXPECT_EQ(Send(t, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(endPt.x + 30, endPt.y + 2)), S_OK);
    EXPECT_EQ(t->Anchor(), (TextPos{0, 0}));
    EXPECT_EQ(t->Caret(), (TextPos{0, 6}));
    EXPECT_EQ(Send(t, WM_LBUTTONUP, 0, MAKELPARAM(b.left + 2, b.top + 2)), S_OK);
    EXPECT_EQ(Send(t, WM_LBUTTONUP, 0, MAKELPARAM(b.left - 5, b.top)), S_FALSE);
    // Outside with bit 13 (set initially): editing ends, the click goes on.
    EXPECT_EQ(Send(t, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(b.left - 5, b.top)), S_FALSE);
    EXPECT_FALSE(t->Editing());
    // Without it the click outside is not the object's.
    t->SetFlags(t->Flags() & ~TXTFLAG_CLICK_ENDS);
    t->EnterEdit();
    EXPECT_EQ(Send(t, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(b.left - 5, b.top)), S_FALSE);
    EXPECT_TRUE(t->Editing());
}

TEST_F(TextObjectTest, SelectAllOnAnEmptyObjectDoesNotRepaint) {
    TextObject* t = Editing("");
    site.invalidated.clear();
    EXPECT_EQ(Send(t, WM_COMMAND, 57642), S_OK);
    EXPECT_TRUE(site.invalidated.empty());
    SetText(t, "ab\r\ncd");
    site.invalidated.clear();
    Send(t, WM_COMMAND, 57642);
    EXPECT_FALSE(site.invalidated.empty());
    EXPECT_EQ(t->Anchor(), (TextPos{0, 0}));
    EXPECT_EQ(t->Caret(), (TextPos{1, 2}));
    // Other commands of the ranges are taken and do nothing; others are not.
    EXPECT_EQ(Send(t, WM_COMMAND, 33210), S_OK);
    EXPECT_EQ(Send(t, WM_COMMAND, 40000), S_FALSE);
    EXPECT_EQ(TextOf(t), "ab\r\ncd");
}

// The clipboard is the desktop's: these cases run one at a time (one ctest
// resource lock for the suite).
class TextClipboardTest : public TextObjectTest {
protected:
    void SetUp() override {
        window = CreateWindowA("STATIC", "clip", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                               nullptr);
        ASSERT_NE(window, nullptr);
        view.window = window;
    }
    void TearDown() override {
        view.End();
        DestroyWindow(window);
    }
    std::string ClipboardText() {
        std::string out = "(none)";
        if (!OpenClipboard(window))
            return "(not opened)";
        if (HANDLE h = GetClipboardData(CF_TEXT)) {
            const char* p = static_cast<const char*>(GlobalLock(h));
            out = p ? std::string(p, strnlen(p, GlobalSize(h))) : "(not locked)";
            GlobalUnlock(h);
        }
        CloseClipboard();
        return out;
    }
    void PutClipboard(const void* bytes, size_t n) {
        ASSERT_TRUE(OpenClipboard(window));
        EmptyClipboard();
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, n);
        memcpy(GlobalLock(h), bytes, n);
        GlobalUnlock(h);
        SetClipboardData(CF_TEXT, h);
        CloseClipboard();
    }
    HWND window = nullptr;
};

TEST_F(TextClipboardTest, CopyCutAndPaste) {
    TextObject* t = Editing("one\r\ntwo");
    Key(t, VK_RIGHT);
    Key(t, VK_DOWN, true);
    ASSERT_EQ(t->Caret().line, 1);
    EXPECT_EQ(Send(t, WM_COMMAND, 32006), S_OK);
    EXPECT_EQ(ClipboardText(), "ne\r\n" + std::string("two").substr(0, (size_t)t->Caret().offset));
    Send(t, WM_COMMAND, 57642);
    Send(t, WM_COMMAND, 57635);  // cut
    EXPECT_EQ(TextOf(t), "");
    EXPECT_EQ(ClipboardText(), "one\r\ntwo");
    Send(t, WM_COMMAND, 32007);
    Send(t, WM_COMMAND, 57637);
    EXPECT_EQ(TextOf(t), "one\r\ntwoone\r\ntwo");
    EXPECT_EQ(t->Caret(), (TextPos{2, 3}));
    EXPECT_EQ(t->Modified(), 1);
}

TEST_F(TextClipboardTest, CopyInPasswordDisplayGivesOneStarPerByte) {
    TextObject* t = Editing("ab\r\nxyz");
    t->put_ObjPasswordMode(1);
    Send(t, WM_COMMAND, 57642);
    Send(t, WM_COMMAND, 57634);
    EXPECT_EQ(ClipboardText(), std::string(7, '*'));
    // Nothing selected: the clipboard stays.
    Key(t, VK_HOME);
    PutClipboard("keep", 5);
    Send(t, WM_COMMAND, 57634);
    EXPECT_EQ(ClipboardText(), "keep");
}

// The system's clipboard ends every text block with a NUL, so a block
// without one cannot be handed in here; what follows the NUL is not text.
TEST_F(TextClipboardTest, PasteTakesTheTextUpToItsNulByTheInsertionRules) {
    TextObject* t = Editing("", TXTFLAG_INITIAL & ~TXTFLAG_MULTILINE);
    PutClipboard("a\r\nb\tc\0tail", 11);
    Send(t, WM_COMMAND, 57637);
    EXPECT_EQ(TextOf(t), "ab    c");
    EXPECT_EQ(t->Caret(), (TextPos{0, 7}));
}

// Scripts reach the members by the type library's names and ids; the events
// are the class's source interface.
TEST_F(TextObjectTest, MembersAndEventsOfTheTypeLibrary) {
    TextObject* t = Make();
    IDispatch* d = static_cast<ITextDispObj*>(t);
    const struct {
        const wchar_t* name;
        DISPID id;
    } members[] = {{L"ObjColor", 1},        {L"ObjHorzAlign", 2},    {L"ObjVertAlign", 3},
                   {L"ObjAutoWrap", 4},     {L"ObjPasswordMode", 5}, {L"ObjMultiLine", 6},
                   {L"ObjTextRotate", 7},   {L"ObjTextType", 8},     {L"ObjContent", 9},
                   {L"ObjPhoneticize", 10}, {L"EnterEdit", 20},      {L"ExitEdit", 21},
                   {L"SetFontName", 22},    {L"SetFontSize", 23},    {L"SetFontProp", 24}};
    for (const auto& m : members) {
        LPOLESTR name = const_cast<LPOLESTR>(m.name);
        DISPID id = -1;
        EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << m.name;
        EXPECT_EQ(id, m.id) << m.name;
    }
    // A put through the dispatch interface lands on the object.
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(L"via script");
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS p = {&v, &put, 1, 1};
    EXPECT_EQ(d->Invoke(9, IID_NULL, 0, DISPATCH_PROPERTYPUT, &p, nullptr, nullptr, nullptr), S_OK);
    VariantClear(&v);
    EXPECT_EQ(TextOf(t), "via script");

    CComPtr<ITypeInfo> events;
    ASSERT_EQ(GetObjectEventInfo(t->GetUnknown(), &events), S_OK);
    ASSERT_NE(events, nullptr);
    std::vector<std::pair<std::wstring, MEMBERID>> found;
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(events->GetTypeAttr(&attr), S_OK);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(events->GetFuncDesc(i, &f)))
            continue;
        BSTR name = nullptr;
        UINT n = 0;
        events->GetNames(f->memid, &name, 1, &n);
        found.push_back({name ? name : L"", f->memid});
        EXPECT_EQ(f->cParams, 0);
        SysFreeString(name);
        events->ReleaseFuncDesc(f);
    }
    events->ReleaseTypeAttr(attr);
    EXPECT_EQ(found,
              (std::vector<std::pair<std::wstring, MEMBERID>>{
                  {L"OnEnterEdit", 2200}, {L"OnExitEdit", 2201}, {L"OnContentChanged", 2202}}));
}

TEST(TextBytesTest, CapacityDoublesFromOneAndRemovalKeepsOrder) {
    TextBytes b;
    const struct {
        const char* insert;
        int at;
        const char* after;
        int capacity;
    } steps[] = {
        {"a", 0, "a", 1},       {"bc", 1, "abc", 4},         {"X", 0, "Xabc", 4},
        {"yz", 2, "Xayzbc", 8}, {"123", 6, "Xayzbc123", 16},
    };
    for (const auto& s : steps) {
        ASSERT_TRUE(b.Insert(s.at, s.insert, (int)strlen(s.insert)));
        EXPECT_EQ(std::string(b.Data(), b.Length()), s.after);
        EXPECT_EQ(b.Capacity(), s.capacity) << s.after;
    }
    b.Remove(1, 3);  // "ayz"
    EXPECT_EQ(std::string(b.Data(), b.Length()), "Xbc123");
    b.Remove(4, 99);  // to the end: only shortened
    EXPECT_EQ(std::string(b.Data(), b.Length()), "Xbc1");
    EXPECT_EQ(b.Capacity(), 16);
    TextBytes tail;
    b.SplitInto(1, &tail);
    EXPECT_EQ(std::string(b.Data(), b.Length()), "X");
    EXPECT_EQ(std::string(tail.Data(), tail.Length()), "bc1");
    EXPECT_EQ(tail.Capacity(), 3);
    b.SplitInto(1, &tail);  // at the end: nothing cut off
    EXPECT_EQ(tail.Length(), 0);
}

// Where the caret stands under each alignment: the text's ends meet the
// bounds' edges as the alignment says (the 2-pixel caret kept inside), and
// the centre lies between.
TEST_F(TextObjectTest, AlignmentsPlaceTheRows) {
    TextObject* t = Editing("abc\r\nxy");
    auto at = [&](UINT key) {
        Key(t, key);
        return t->CaretPoint();
    };
    POINT start[3], end[3];
    for (LONG h = 0; h < 3; ++h) {
        t->put_ObjHorzAlign(h);
        t->put_ObjVertAlign(h);
        // The end first: reaching the right edge moves the text by the caret's width.
        end[h] = at(VK_END);
        start[h] = at(VK_HOME);
    }
    RECT b;
    t->GetBoundsRect(&b);
    const LONG inset = start[0].x - b.left, left = b.left + inset, right = b.right - inset;
    EXPECT_GE(inset, 0);
    const LONG w = end[0].x - start[0].x;
    EXPECT_GT(w, 0);
    for (int h = 1; h < 3; ++h) EXPECT_EQ(end[h].x - start[h].x, w) << h;
    EXPECT_EQ(start[1].x, (left + right - w) / 2);
    EXPECT_EQ(end[2].x, right - 2);
    // Vertically: top at the inner top, the centre half way to the bottom.
    EXPECT_EQ(start[0].y, b.top + inset);
    EXPECT_GT(start[2].y, start[1].y);
    EXPECT_LE(std::abs(start[1].y - (start[0].y + start[2].y) / 2), 1);
}

// With password display every byte is measured as "*".
TEST_F(TextObjectTest, PasswordRowsBreakAsStars) {
    TextObject* stars = Make();
    SetText(stars, std::string(120, '*'));
    stars->CaretPoint();
    TextObject* hidden = Make();
    hidden->put_ObjPasswordMode(1);
    SetText(hidden, std::string(120, 'W'));
    hidden->CaretPoint();
    ASSERT_GT(stars->Line(0).rows.size(), 1u);
    ASSERT_EQ(hidden->Line(0).rows.size(), stars->Line(0).rows.size());
    for (size_t i = 0; i < stars->Line(0).rows.size(); ++i)
        EXPECT_EQ(hidden->Line(0).rows[i].count, stars->Line(0).rows[i].count);
}

// In phonetic mode each row takes two lines: the spellings above, the text
// below; an empty spelling draws nothing above its character.
TEST_F(TextObjectTest, PhoneticModeDrawsSpellingsAboveTheirCharacters) {
    if (NeedsGbk())
        GTEST_SKIP() << "needs the GBK code page";
    auto lit = [](IPixelBuffer* buffer, const RECT& r) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += PixelOf(buffer, x, y) != 0;
        return n;
    };
    for (const char* spelling : {"zhong$", "*"}) {
        TextRecord rec;
        rec.text = kZhong;
        rec.phonetic = std::string(spelling) + "\n";
        rec.phoneticOn = 1;
        rec.color = 0xFFFFFF;
        TextObject* t = Make();
        ASSERT_EQ(static_cast<IObjectBase*>(t)->Load(MemStreamOf(TextStream(rec))), S_OK);
        RECT b;
        t->GetBoundsRect(&b);
        const POINT textLine = t->CaretPoint();
        CComPtr<IPixelBuffer> target;
        target.Attach(CreateGDIBuffer(400, 300));
        target->FillRect(nullptr, 0);
        t->DrawContent(target, &b);
        const RECT above = {b.left + 2, b.top + 2, b.right - 2, textLine.y};
        const RECT below = {b.left + 2, textLine.y, b.right - 2, b.bottom - 2};
        EXPECT_GT(lit(target, below), 0) << spelling;
        if (spelling[0] == '*')
            EXPECT_EQ(lit(target, above), 0);
        else
            EXPECT_GT(lit(target, above), 0);
    }
}

TEST_F(TextObjectTest, LeavingThePageInRunModeEndsEditing) {
    TextObject* t = Editing("x");
    static_cast<II_IRender*>(t)->BeforeExit();
    EXPECT_FALSE(t->Editing());
    EXPECT_EQ(view.calls.back(), "ChangeWndProc 0");
    // At design time the page's end leaves editing to the designer.
    site.player = FALSE;
    t->EnterEdit();
    static_cast<II_IRender*>(t)->BeforeExit();
    EXPECT_TRUE(t->Editing());
}

// A TrueType face turns by the text angle; while the caret shows, the text
// stands straight.
TEST_F(TextObjectTest, TextAngleTurnsTrueTypeTextUnlessTheCaretShows) {
    if (!IsTrueTypeFace("Tahoma"))
        GTEST_SKIP() << "needs the TrueType face Tahoma";
    auto extent = [](IPixelBuffer* buffer, SIZE* size) {
        RECT lit = {400, 300, 0, 0};
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x)
                if (PixelOf(buffer, x, y)) {
                    lit.left = std::min<LONG>(lit.left, x);
                    lit.right = std::max<LONG>(lit.right, x + 1);
                    lit.top = std::min<LONG>(lit.top, y);
                    lit.bottom = std::max<LONG>(lit.bottom, y + 1);
                }
        size->cx = lit.right - lit.left;
        size->cy = lit.bottom - lit.top;
    };
    TextObject* t = Editing("WWWWWW");
    t->SetHeight(200);
    t->put_ObjAutoWrap(0);
    t->put_ObjHorzAlign(1);
    t->put_ObjVertAlign(1);
    t->put_ObjColor(0xFFFFFF);
    BSTR face = SysAllocString(L"Tahoma");
    t->SetFontName(face);
    SysFreeString(face);
    t->SetFontSize(20);
    ASSERT_EQ(t->put_ObjTextRotate(90), S_OK);
    RECT b;
    t->GetBoundsRect(&b);
    auto draw = [&](SIZE* size) {
        CComPtr<IPixelBuffer> target;
        target.Attach(CreateGDIBuffer(400, 300));
        target->FillRect(nullptr, 0);
        t->DrawContent(target, &b);
        // The frame's outline is black: only the text lights pixels.
        extent(target, size);
    };
    SIZE editing, turned;
    draw(&editing);
    EXPECT_GT(editing.cx, editing.cy);
    t->ExitEdit();
    draw(&turned);
    EXPECT_GT(turned.cy, turned.cx);
}
