// The font object: defaults, line layout, drawing against plain TextOutA,
// comparison and copying, the stored form and its corrupted inputs.
#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

#include "DrawTestUtil.h"
#include "bdrawtxt.h"

using namespace drawtest;

namespace {

CComPtr<FontObject> NewFont() {
    CComPtr<FontObject> font;
    EXPECT_EQ(S_OK, CreateFontObject(&font));
    return font;
}

LOGFONTA SongTi(int height = -12) {
    LOGFONTA lf = {};
    lf.lfHeight = height;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    strcpy(lf.lfFaceName, kSongTi);
    return lf;
}

// A memory DC with the face selected, for layout.
struct LayoutDC {
    explicit LayoutDC(const LOGFONTA& lf) {
        dc = CreateCompatibleDC(nullptr);
        font = CreateFontIndirectA(&lf);
        old = SelectObject(dc, font);
    }
    ~LayoutDC() {
        SelectObject(dc, old);
        DeleteObject(font);
        DeleteDC(dc);
    }
    HDC dc;
    HFONT font;
    HGDIOBJ old;
};

std::vector<std::string> Lines(const char* text, int width, bool wrap) {
    LayoutDC ldc(SongTi());
    std::vector<TextLine> lines;
    int n = LayoutTextLines(ldc.dc, text, (int)strlen(text), width, wrap, &lines);
    EXPECT_EQ(n, (int)lines.size());
    std::vector<std::string> out;
    for (const TextLine& l : lines) out.push_back(std::string(text + l.start, l.length));
    return out;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(FontObject, NewObjectHasTheDefaultStyle) {
    CComPtr<FontObject> font = NewFont();
    LOGFONTA lf;
    font->GetLogFont(&lf);
    EXPECT_EQ(-12, lf.lfHeight);
    EXPECT_EQ(400, lf.lfWeight);
    EXPECT_EQ(DEFAULT_CHARSET, lf.lfCharSet);
    EXPECT_EQ(0, lf.lfFaceName[0]);
    COLORREF color = 1;
    font->GetColor(&color);
    EXPECT_EQ(0u, color);
    WORD h = 9, v = 9;
    font->GetHorzAlign(&h);
    font->GetVertAlign(&v);
    EXPECT_EQ(0, h);
    EXPECT_EQ(0, v);
    EXPECT_EQ(0, font->IsWordWrapOff());
    int width = -1;
    EXPECT_EQ(S_OK, font->GetTextWidth(nullptr, &width));
    EXPECT_EQ(0, width);

    // It measures with the default font: one line of tmHeight.
    font->SetText("Ab");
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT plain = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, plain);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    SIZE size;
    GetTextExtentPoint32A(dc, "Ab", 2, &size);
    SelectObject(dc, old);
    int height = 0;
    font->GetTextHeight(dc, 1000, &height);
    font->GetTextWidth(dc, &width);
    EXPECT_EQ(tm.tmHeight, height);
    EXPECT_EQ(size.cx, width);
    DeleteObject(plain);
    DeleteDC(dc);

    CComPtr<IUnknown> unk;
    EXPECT_EQ(S_OK, font->QueryInterface(IID_IUnknown, (void**)&unk));
    void* other = (void*)1;
    EXPECT_EQ(E_NOINTERFACE, font->QueryInterface(IID_IDispatch, &other));
    EXPECT_EQ(nullptr, other);
    EXPECT_EQ(E_NOTIMPL, font->Reserved26(nullptr));
}

TEST(FontObject, MeasuredFaceMatchesTheMachine) {
    // The figures the layout tests rely on.
    LayoutDC ldc(SongTi());
    TEXTMETRICA tm;
    GetTextMetricsA(ldc.dc, &tm);
    SIZE a, cjk;
    GetTextExtentPoint32A(ldc.dc, "A", 1, &a);
    GetTextExtentPoint32A(ldc.dc, "\xD6\xD0", 2, &cjk);
    EXPECT_EQ(14, tm.tmHeight);
    EXPECT_EQ(7, a.cx);
    EXPECT_EQ(12, cjk.cx);
}

TEST(FontObject, LineLayout) {
    const char* zh = "AB\xD6\xD0\xCE\xC4";  // "AB中文"
    struct Case {
        const char* text;
        int width;
        bool wrap;
        Strings lines;
    } cases[] = {
        {"AB\r\nCD", 1000, true, {"AB", "CD"}},
        {"AB\rCD", 1000, true, {"AB", "CD"}},
        {"AB\nCD", 1000, true, {"AB\nCD"}},
        {"AB\r\n", 1000, true, {"AB", ""}},
        {"", 10, true, {""}},
        // Wrap off never breaks.
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", 10, false, {"ABCDEFGHIJKLMNOPQRSTUVWXYZ"}},
        // Breaks fall between characters; a double-byte one moves whole.
        {zh, 30, true, {"AB\xD6\xD0", "\xCE\xC4"}},
        {zh, 15, true, {"AB", "\xD6\xD0", "\xCE\xC4"}},
        {"AAAA", 14, true, {"AA", "AA"}},
        // A character wider than the width: an empty line, then one each.
        {"AB", 3, true, {"", "A", "B"}},
        {"AB\r\nCD", 3, true, {"", "A", "B", "", "C", "D"}},
        // A lead byte at the very end stands alone.
        {"A\xD6", 1000, true, {"A\xD6"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.lines, Lines(c.text, c.width, c.wrap));
    }
    // The object's height counts the same lines.
    CComPtr<FontObject> font = NewFont();
    LOGFONTA lf = SongTi();
    font->SetLogFont(&lf);
    font->SetText(zh);
    int height = 0;
    font->GetTextHeight(nullptr, 30, &height);
    EXPECT_EQ(2 * 14, height);
    font->SetWordWrap(0);
    EXPECT_EQ(1, font->IsWordWrapOff());
    font->GetTextHeight(nullptr, 30, &height);
    EXPECT_EQ(14, height);
}

TEST(FontObject, LayoutMatchesCharacterByCharacterMeasuring) {
    // Seeded random mixes of CJK, Latin and breaks against the plain rule:
    // measure from the line start to each next character.
    LayoutDC ldc(SongTi());
    unsigned seed = 12345;
    auto rnd = [&]() { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 60; ++round) {
        std::string text;
        int n = 1 + rnd() % 60;
        for (int i = 0; i < n; ++i) {
            int k = rnd() % 10;
            if (k < 4)
                text += (char)('A' + rnd() % 26);
            else if (k < 8) {
                text += (char)(0xB0 + rnd() % 0x27);
                text += (char)(0xA1 + rnd() % 0x5E);
            } else if (k == 8)
                text += "\r\n";
            else
                text += ' ';
        }
        int width = (int)(rnd() % 120);
        std::vector<TextLine> lines;
        LayoutTextLines(ldc.dc, text.data(), (int)text.size(), width, true, &lines);
        // The plain rule.
        std::vector<TextLine> want;
        int start = 0, p = 0, len = (int)text.size();
        while (p < len) {
            if ((BYTE)text[p] == 13) {
                int step = (p + 1 < len && text[p + 1] == 10) ? 2 : 1;
                want.push_back({start, p - start});
                start = p + step;
                p += step;
                continue;
            }
            int step = (p + 1 < len && IsDBCSLeadByte((BYTE)text[p])) ? 2 : 1;
            SIZE size;
            GetTextExtentPoint32A(ldc.dc, text.data() + start, p + step - start, &size);
            if (size.cx > width) {
                want.push_back({start, p - start});
                start = p;
            }
            p += step;
        }
        want.push_back({start, len - start});
        ASSERT_EQ(want.size(), lines.size()) << text << " width " << width;
        for (size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(want[i].start, lines[i].start);
            EXPECT_EQ(want[i].length, lines[i].length);
        }
    }
}

namespace {

// The test's own drawing at the layout positions, clipped to the rectangle.
void PlainDraw(IPixelBuffer* buffer, const LOGFONTA& lf, COLORREF color, const char* text,
               const RECT& r, int h, int v, bool wrap) {
    HDC dc = nullptr;
    buffer->GetDC(&dc);
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, color);
    SetBkMode(dc, TRANSPARENT);
    HRGN clip = CreateRectRgn(r.left, r.top, r.right, r.bottom);
    SelectClipRgn(dc, clip);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    std::vector<TextLine> lines;
    LayoutTextLines(dc, text, (int)strlen(text), r.right - r.left, wrap, &lines);
    int total = (int)lines.size() * tm.tmHeight;
    int y = v == 0 ? r.top : v == 1 ? (r.top + r.bottom - total) / 2 : r.bottom - total;
    for (const TextLine& l : lines) {
        SIZE size = {0, 0};
        GetTextExtentPoint32A(dc, text + l.start, l.length, &size);
        int x = h == 0 ? r.left : h == 1 ? (r.left + r.right - size.cx) / 2 : r.right - size.cx;
        if (l.length)
            TextOutA(dc, x, y, text + l.start, l.length);
        y += tm.tmHeight;
    }
    SelectClipRgn(dc, nullptr);
    DeleteObject(clip);
    SelectObject(dc, old);
    DeleteObject(font);
    GdiFlush();
    buffer->ReleaseDC(dc);
}

}  // namespace

TEST(FontObject, DrawToBufferEqualsPlainTextOutForEveryAlignment) {
    const char* text = "AB\r\nCD\xD6\xD0\xCE\xC4 wrap me please";
    LOGFONTA lf = SongTi();
    RECT rects[] = {{10, 10, 150, 90}, {20, 30, 60, 45}};  // the second clips
    for (const RECT& r : rects)
        for (int h = 0; h < 3; ++h)
            for (int v = 0; v < 3; ++v) {
                SCOPED_TRACE(testing::Message() << "h " << h << " v " << v << " w " << r.right);
                CComPtr<FontObject> font = NewFont();
                font->SetLogFont(&lf);
                font->SetColor(RGB(200, 0, 50));
                font->SetHorzAlign((WORD)h);
                font->SetVertAlign((WORD)v);
                font->SetText(text);
                CComPtr<IPixelBuffer> got = MakeBuffer(200, 120, 0x00FFFFFF);
                CComPtr<IPixelBuffer> want = MakeBuffer(200, 120, 0x00FFFFFF);
                EXPECT_EQ(S_OK, font->DrawToBuffer(got, &r));
                PlainDraw(want, lf, RGB(200, 0, 50), text, r, h, v, true);
                std::vector<DWORD> a = Pixels(got), b = Pixels(want);
                EXPECT_TRUE(a == b);
                // Something was drawn, and nothing outside the rectangle.
                int inside = 0;
                for (int y = 0; y < 120; ++y)
                    for (int x = 0; x < 200; ++x) {
                        bool in = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                        DWORD p = Pixel(got, x, y) & 0xFFFFFF;
                        if (!in)
                            ASSERT_EQ(0xFFFFFFu, p) << x << "," << y;
                        else if (p != 0xFFFFFF)
                            ++inside;
                    }
                EXPECT_GT(inside, 0);
            }
}

TEST(FontObject, DrawStringLeavesTheOwnText) {
    CComPtr<FontObject> font = NewFont();
    font->SetText("own");
    CComPtr<IPixelBuffer> got = MakeBuffer(100, 40, 0x00FFFFFF);
    CComPtr<IPixelBuffer> want = MakeBuffer(100, 40, 0x00FFFFFF);
    RECT r = {0, 0, 100, 40};
    font->DrawStringToBuffer("other", got, &r);
    CComPtr<FontObject> plain = NewFont();
    plain->SetText("other");
    plain->DrawToBuffer(want, &r);
    EXPECT_TRUE(Pixels(got) == Pixels(want));
    char buffer[8];
    font->GetText(buffer, sizeof(buffer));
    EXPECT_STREQ("own", buffer);
}

TEST(FontObject, DrawToDCOnAWindowMatchesTheBuffer) {
    HWND wnd = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 160, 60,
                               nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(wnd != nullptr);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    CComPtr<FontObject> font = NewFont();
    LOGFONTA lf = SongTi();
    font->SetLogFont(&lf);
    font->SetText("AB\xD6\xD0\xCE\xC4 text");
    RECT r = {5, 5, 150, 55};
    HDC dc = GetDC(wnd);
    RECT all = {0, 0, 160, 60};
    ::FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    font->DrawToDC(dc, &r);
    GdiFlush();
    CComPtr<IPixelBuffer> shot = MakeBuffer(160, 60, 0);
    HDC sdc = nullptr;
    shot->GetDC(&sdc);
    BitBlt(sdc, 0, 0, 160, 60, dc, 0, 0, SRCCOPY);
    GdiFlush();
    shot->ReleaseDC(sdc);
    ReleaseDC(wnd, dc);
    DestroyWindow(wnd);
    CComPtr<IPixelBuffer> want = MakeBuffer(160, 60, 0x00FFFFFF);
    font->DrawToBuffer(want, &r);
    int differ = 0, ink = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 160; ++x) {
            DWORD a = Pixel(shot, x, y) & 0xFFFFFF, b = Pixel(want, x, y) & 0xFFFFFF;
            if (b != 0xFFFFFF)
                ++ink;
            for (int s = 0; s < 24; s += 8)
                if (abs((int)((a >> s) & 0xFF) - (int)((b >> s) & 0xFF)) > 16) {
                    ++differ;
                    break;
                }
        }
    EXPECT_GT(ink, 20);
    EXPECT_LE(differ, ink / 20);
}

TEST(FontObject, CompareAndCopy) {
    CComPtr<FontObject> a = NewFont(), b = NewFont();
    LOGFONTA lf = SongTi();
    a->SetLogFont(&lf);
    b->SetLogFont(&lf);
    a->SetText("one");
    b->SetText("one");
    EXPECT_EQ(0, a->Compare(b, 0));
    b->SetWordWrap(0);
    EXPECT_EQ(0, a->Compare(b, 0));  // word wrap is not compared
    b->SetText("two");
    EXPECT_EQ(1, a->Compare(b, 0));
    EXPECT_EQ(0, a->Compare(b, 1));
    b->SetColor(RGB(1, 2, 3));
    EXPECT_EQ(1, a->Compare(b, 1));
    b->SetColor(0);
    b->SetVertAlign(2);
    EXPECT_EQ(1, a->Compare(b, 1));
    b->SetVertAlign(0);
    LOGFONTA other = lf;
    strcpy(other.lfFaceName, "Arial");
    b->SetLogFont(&other);
    EXPECT_EQ(1, a->Compare(b, 1));
    other = lf;
    other.lfItalic = 1;
    b->SetLogFont(&other);
    EXPECT_EQ(1, a->Compare(b, 1));

    // Copy: style and text, not the word wrap.
    CComPtr<FontObject> c = NewFont();
    c->CopyFrom(b, 0);
    EXPECT_EQ(0, c->Compare(b, 0));
    EXPECT_EQ(0, c->IsWordWrapOff());
    CComPtr<FontObject> d = NewFont();
    d->SetText("keep");
    d->CopyFrom(b, 1);
    EXPECT_EQ(0, d->Compare(b, 1));
    char text[8];
    d->GetText(text, sizeof(text));
    EXPECT_STREQ("keep", text);
}

TEST(FontObject, TextBuffer) {
    CComPtr<FontObject> font = NewFont();
    char out[8];
    memset(out, 'x', sizeof(out));
    font->GetText(out, sizeof(out));
    EXPECT_EQ(0, out[0]);
    font->SetText("ABCD");
    memset(out, 'x', sizeof(out));
    font->GetText(out, 2);
    EXPECT_EQ('A', out[0]);
    EXPECT_EQ('B', out[1]);
    EXPECT_EQ('x', out[2]);
    font->SetText(nullptr);
    int length = -1;
    font->GetTextLength(&length);
    EXPECT_EQ(0, length);
}

TEST(FontObject, StoredForm) {
    CComPtr<FontObject> font = NewFont();
    std::string empty = SavedBytes(font.p);
    ASSERT_EQ(72u, empty.size());
    EXPECT_EQ(0x10, (BYTE)empty[0]);  // flags: word wrap
    EXPECT_EQ(0, empty[2]);           // reserved
    EXPECT_EQ(0, empty[3]);
    EXPECT_EQ((char)0xF4, empty[8]);   // height -12
    EXPECT_EQ((char)0x90, empty[24]);  // weight 400 = 0x190
    EXPECT_EQ(1, empty[8 + 23]);       // character set
    EXPECT_EQ(std::string(4, '\0'), empty.substr(68, 4));

    CComPtr<FontObject> loaded = NewFont();
    loaded->SetText("old");
    EXPECT_EQ(S_OK, LoadFrom(loaded.p, empty));
    int length = -1;
    loaded->GetTextLength(&length);
    EXPECT_EQ(0, length);
    int width = -1;
    loaded->GetTextWidth(nullptr, &width);
    EXPECT_EQ(0, width);

    LOGFONTA lf = SongTi(-20);
    font->SetLogFont(&lf);
    font->SetColor(RGB(10, 20, 30));
    font->SetHorzAlign(2);
    font->SetVertAlign(1);
    font->SetText("\xD6\xD0Z");
    std::string bytes = SavedBytes(font.p);
    ASSERT_EQ(75u, bytes.size());
    EXPECT_EQ(0x16, (BYTE)bytes[0]);  // wrap | centre << 2 | right
    EXPECT_EQ(std::string("\x0A\x14\x1E\x00", 4), bytes.substr(4, 4));
    EXPECT_EQ(std::string(kSongTi), bytes.substr(8 + 28, 4));
    EXPECT_EQ(U32(3), bytes.substr(68, 4));
    EXPECT_EQ("\xD6\xD0Z", bytes.substr(72));
    ULONGLONG pos = 0;
    EXPECT_EQ(S_OK, LoadFrom(loaded.p, bytes, &pos));
    EXPECT_EQ(75u, pos);
    EXPECT_EQ(0, loaded->Compare(font, 0));
}

TEST(FontObject, CorruptedStoredFormsFailAndLeaveTheObject) {
    CComPtr<FontObject> font = NewFont();
    LOGFONTA lf = SongTi();
    font->SetLogFont(&lf);
    font->SetText("text");
    std::string good = SavedBytes(font.p);
    std::vector<std::string> bad;
    for (size_t n = 0; n < good.size(); ++n) bad.push_back(good.substr(0, n));  // truncations
    for (DWORD n : {5u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFEu}) {
        std::string s = good;
        PutU32(s, 68, n);  // text length beyond the stream
        bad.push_back(s);
    }
    for (const std::string& s : bad) {
        SCOPED_TRACE(s.size());
        CComPtr<FontObject> target = NewFont();
        target->SetText("keep");
        target->SetColor(RGB(1, 1, 1));
        std::string before = SavedBytes(target.p);
        HRESULT hr = LoadFrom(target.p, s);
        EXPECT_TRUE(FAILED(hr));
        EXPECT_EQ(before, SavedBytes(target.p));
    }
    // A face name without terminator ends inside its 32 bytes.
    std::string s = good;
    for (int i = 0; i < 32; ++i) s[8 + 28 + i] = 'F';
    CComPtr<FontObject> target = NewFont();
    EXPECT_EQ(S_OK, LoadFrom(target.p, s));
    LOGFONTA got;
    target->GetLogFont(&got);
    EXPECT_EQ(31u, strnlen(got.lfFaceName, 32));
}

TEST(FontObject, LoadHoldsTheStyleToTheRangesOfTheFontCalls) {
    CComPtr<FontObject> font = NewFont();
    LOGFONTA lf = SongTi();
    font->SetLogFont(&lf);
    std::string good = SavedBytes(font.p);
    // height, width, escapement, orientation, weight as stored -> as held
    struct Case {
        LONG in[5];
        LONG out[5];
    } cases[] = {
        {{0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF},
         {16384, 16384, 0x7FFFFFFF % 3600, 0x7FFFFFFF % 3600, 1000}},
        {{LONG_MIN, -20000, -7300, 3600, -5}, {-16384, -16384, -100, 0, 0}},
        {{-16384, 16384, 3599, -3599, 1000}, {-16384, 16384, 3599, -3599, 1000}},
        {{-12, 0, 900, 450, 700}, {-12, 0, 900, 450, 700}},
    };
    for (const Case& c : cases) {
        std::string s = good;
        for (int i = 0; i < 5; ++i) PutU32(s, 8 + 4 * i, (DWORD)c.in[i]);
        CComPtr<FontObject> target = NewFont();
        ASSERT_EQ(S_OK, LoadFrom(target.p, s));
        LOGFONTA got;
        target->GetLogFont(&got);
        LONG held[5] = {got.lfHeight, got.lfWidth, got.lfEscapement, got.lfOrientation,
                        got.lfWeight};
        for (int i = 0; i < 5; ++i) EXPECT_EQ(c.out[i], held[i]) << c.in[0] << " field " << i;
    }
}

TEST(FontObject, PainterDrawsAsDrawStringToDC) {
    // Texts of several font objects drawn through one painter give the
    // pixels each object's own DrawStringToDC gives, on a context with a
    // clip of its own and a moved origin; the context is left as it was.
    struct Style {
        int height;
        COLORREF color;
        WORD h, v;
        bool wrap;
        bool bold;
    } styles[] = {
        {-12, RGB(200, 0, 50), 0, 0, true, false},
        {-16, RGB(0, 90, 0), 1, 1, true, true},
        {-12, RGB(200, 0, 50), 2, 2, false, false},  // the first one's face, aligned elsewhere
        {-20, RGB(10, 10, 160), 1, 2, false, false},
    };
    struct Cell {
        int style;
        const char* text;
        RECT rect;
    } cells[] = {
        {0, "AB\r\nCD\xD6\xD0\xCE\xC4 wrap me please", {10, 10, 150, 90}},
        {1, "centre", {0, 95, 120, 140}},
        {2, "right and bottom", {130, 95, 260, 140}},
        {0, "clipped by its cell \xD6\xD0\xCE\xC4", {20, 30, 60, 45}},
        {3, "\xD6\xD0\r\n\r\nlast", {150, 5, 250, 90}},
        {1, "turned", {120, 60, 60, 20}},  // corners in the wrong order
        {2, "", {0, 0, 50, 50}},
        {3, "past the context's clip", {180, 140, 300, 190}},
        {0, "empty cell", {40, 40, 40, 60}},
    };
    std::vector<CComPtr<FontObject>> fonts;
    for (const Style& st : styles) {
        CComPtr<FontObject> font = NewFont();
        LOGFONTA lf = SongTi(st.height);
        lf.lfWeight = st.bold ? FW_BOLD : FW_NORMAL;
        font->SetLogFont(&lf);
        font->SetColor(st.color);
        font->SetHorzAlign(st.h);
        font->SetVertAlign(st.v);
        font->SetWordWrap(st.wrap ? 1 : 0);
        fonts.push_back(font);
    }
    // More objects than the painter keeps fonts for: the cells again, each
    // with an object of its own.
    std::vector<CComPtr<FontObject>> own;
    for (int i = 0; i < 20; ++i) {
        CComPtr<FontObject> font = NewFont();
        font->CopyFrom(fonts[i % 4], 1);
        own.push_back(font);
    }
    auto draw = [&](bool painter, int pass) {
        CComPtr<IPixelBuffer> b = MakeBuffer(300, 200, 0x00E0E0E0);
        HDC dc = nullptr;
        b->GetDC(&dc);
        HRGN clip = CreateRectRgn(0, 0, 290, 180);
        SelectClipRgn(dc, clip);
        DeleteObject(clip);
        SetViewportOrgEx(dc, 7, 3, nullptr);
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkMode(dc, OPAQUE);
        HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
        {
            FontTextPainter p(dc);
            for (int k = 0; k < 2; ++k)
                for (size_t i = 0; i < sizeof(cells) / sizeof(cells[0]); ++i) {
                    FontObject* f =
                        pass == 0 ? fonts[cells[i].style].p : own[(k * 9 + i) % own.size()].p;
                    RECT r = cells[i].rect;
                    OffsetRect(&r, k * 3, k * 2);
                    if (painter)
                        EXPECT_EQ(S_OK, p.Draw(f, cells[i].text, &r));
                    else
                        EXPECT_EQ(S_OK, f->DrawStringToDC(cells[i].text, dc, &r));
                }
        }
        EXPECT_EQ(RGB(1, 2, 3), GetTextColor(dc));
        EXPECT_EQ(OPAQUE, GetBkMode(dc));
        EXPECT_EQ(font, GetCurrentObject(dc, OBJ_FONT));
        GdiFlush();
        SetViewportOrgEx(dc, 0, 0, nullptr);
        SelectClipRgn(dc, nullptr);
        b->ReleaseDC(dc);
        return b;
    };
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "shared objects" : "an object per cell");
        CComPtr<IPixelBuffer> want = draw(false, pass), got = draw(true, pass);
        std::vector<DWORD> a = Pixels(got), b = Pixels(want);
        int differ = 0, ink = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            differ += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
            ink += (b[i] & 0xFFFFFF) != 0xE0E0E0;
        }
        EXPECT_EQ(differ, 0);
        EXPECT_GT(ink, 500);
    }
}
