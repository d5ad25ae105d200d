#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string.h>
#include <vector>

#include "StreamFixtures.h"
#include "TestFiles.h"
#include "VectorFixtures.h"
#include "VectorRecords.h"
#include "aGrphMta.h"
#include "aTxtMeta.h"

namespace {

std::vector<uint8_t> SavedBy(std::function<void(ITeskStream*)> save) {
    CComPtr<ITeskStream> s = NewMemStream();
    save(s);
    return ContentBytes(s);
}

std::vector<uint8_t> FontBytes(const char* face, int height) {
    LOGFONTA f = {};
    f.lfHeight = height;
    strcpy(f.lfFaceName, face);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&f);
    return std::vector<uint8_t>(p, p + sizeof(f));
}

std::vector<uint8_t> TextRecord() {
    RecordWriter w;
    w.I32(3)     // ink mode
        .I32(0)  // state
        .I32(0)  // base value: text
        .I32(10)
        .I32(20)
        .I32(30)
        .I32(40)  // bounds as stored
        .I32(0)
        .I32(0)                   // no texts in the attributes
        .I32(5)                   // meta id
        .I32(0)                   // selection
        .I32(2)                   // the text: two characters
        .Bytes({'A', 0, 'B', 0})  //   in UTF-16
        .I32(10)
        .I32(20)                         // origin
        .Bytes(FontBytes("Arial", -16))  // font
        .I32(20)                         // spacing
        .I32(0x0000FF);                  // colour: red
    return w.Get();
}

}  // namespace

TEST(TextMeta, BoundsFollowTextOriginAndOffset) {
    CTextMeta t(nullptr);
    EXPECT_EQ(t.GetFont().lfHeight, 133);
    EXPECT_STREQ(t.GetFont().lfFaceName, "Arial");
    EXPECT_EQ(t.GetColor(), 0u);
    t.SetOrigin(POINT{5, 6});
    RECT b;
    t.GetBoundRect(&b);
    EXPECT_TRUE(b.left == 5 && b.right == 5 && b.top == 6 && b.bottom == 6);

    LOGFONTA f = t.GetFont();
    f.lfHeight = -20;
    t.SetFont(f);
    t.SetText("AB");
    t.GetBoundRect(&b);
    EXPECT_GT(b.right, 5);
    EXPECT_GT(b.bottom, 6);
    const RECT before = b;
    t.Offset(POINT{5, -3});
    t.GetBoundRect(&b);
    EXPECT_EQ(b.left, before.left + 5);
    EXPECT_EQ(b.right, before.right + 5);
    EXPECT_EQ(b.top, before.top - 3);
    EXPECT_EQ(b.bottom, before.bottom - 3);

    const POINT inside = {b.left + 1, b.top + 1};
    EXPECT_EQ(t.HitTest(nullptr, inside, 2), 1);
    EXPECT_EQ(t.HitTest(nullptr, inside, 0), 1);
    EXPECT_EQ(t.HitTest(nullptr, inside, 1), 0);
    EXPECT_EQ(t.HitTest(nullptr, POINT{b.right + 1, b.top}, 2), 0);

    CMetaBase* clone = nullptr;
    ASSERT_EQ(t.Clone(&clone), S_OK);
    std::unique_ptr<CMetaBase> owned(clone);
    EXPECT_EQ(static_cast<CTextMeta*>(clone)->GetText(), "AB");
    RECT cb;
    clone->GetBoundRect(&cb);
    EXPECT_EQ(cb.right, b.right);
}

TEST(TextMeta, RecordFieldByFieldAndDamagedCopies) {
    const std::vector<uint8_t> stored = TextRecord();
    CTextMeta t(nullptr);
    CComPtr<ITeskStream> in = MemStreamOf(stored);
    ASSERT_EQ(t.LoadRecord(in), S_OK);
    EXPECT_EQ(in->GetPosition(), stored.size());
    EXPECT_EQ(t.GetText(), "AB");
    EXPECT_EQ(t.GetOrigin().x, 10);
    EXPECT_EQ(t.GetFont().lfHeight, -16);
    EXPECT_EQ(t.GetColor(), 0x0000FFu);
    EXPECT_EQ(t.GetMode(), 3);
    EXPECT_EQ(t.GetMetaId(), 5);
    EXPECT_EQ(SavedBy([&](ITeskStream* s) { t.SaveRecord(s); }), stored);

    std::vector<std::vector<uint8_t>> bad;
    for (size_t n = 0; n < stored.size(); ++n) bad.push_back(Cut(stored, n));
    bad.push_back(stored);
    bad.back()[44] = 0x40;  // text count 64: beyond the stream
    bad.push_back(stored);
    bad.back()[47] = 0x80;  // negative count
    for (const auto& bytes : bad) {
        CTextMeta cut(nullptr);
        cut.SetText("keep");
        EXPECT_EQ(cut.LoadRecord(MemStreamOf(bytes)), E_FAIL) << bytes.size();
        EXPECT_EQ(cut.GetText(), "keep");
        EXPECT_EQ(cut.GetMode(), 0);
        EXPECT_EQ(cut.GetFont().lfHeight, 133);
    }
}

TEST(TextMeta, DrawnThroughTheFrameAndReadBackFromIt) {
    FakeOwner owner;
    CVecFrame frame(&owner, VECFRAME_LENGTHS | VECFRAME_BOARD);
    CTextMeta* t = new CTextMeta(&owner);
    LOGFONTA f = t->GetFont();
    f.lfHeight = -30;
    t->SetFont(f);
    t->SetText("WW");
    t->SetOrigin(POINT{-20, -20});
    t->SetColor(RGB(0, 0, 255));
    ASSERT_EQ(frame.AddMeta(t, METATYPE_TEXT), S_OK);
    EXPECT_TRUE(frame.IsTextMeta(0));
    EXPECT_EQ(frame.GetGraphMeta(0), nullptr);

    auto blue = [](const WhiteSurface& s) {
        int n = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x) n += s.At(x, y) == RGB(0, 0, 255);
        return n;
    };
    WhiteSurface s(200, 200);
    ASSERT_EQ(frame.DrawAll(s.dc()), S_OK);
    EXPECT_GT(blue(s), 20);
    // Only inside its bounds, moved to the owner's centre.
    RECT b;
    t->GetBoundRect(&b);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 200; ++x) {
            if (s.At(x, y) != RGB(0, 0, 255))
                continue;
            ASSERT_TRUE(x >= b.left + 100 && x < b.right + 100 && y >= b.top + 100 &&
                        y < b.bottom + 100)
                << x << "," << y;
        }
    }

    const std::vector<uint8_t> saved = SavedBy([&](ITeskStream* st) { frame.Save(st); });
    CVecFrame back(&owner, VECFRAME_LENGTHS | VECFRAME_BOARD);
    ASSERT_EQ(back.Load(MemStreamOf(saved), &owner), S_OK);
    ASSERT_EQ(back.GetCount(), 1);
    ASSERT_TRUE(back.IsTextMeta(0));
    EXPECT_EQ(static_cast<CTextMeta*>(back.GetMeta(0))->GetText(), "WW");

    t->SetHidden(true);
    WhiteSurface hidden(200, 200);
    frame.DrawAll(hidden.dc());
    EXPECT_EQ(blue(hidden), 0);
}

// The handles are XOR-ed on: drawn twice they leave the pixels as they were,
// and the DC's pen, brush and mix mode come back each time.
TEST(TextMeta, PointHandlesDrawnTwiceLeaveTheDcAsItWas) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 64;
    info.bmiHeader.biHeight = -64;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(dib && bits);
    HGDIOBJ oldBitmap = SelectObject(dc, dib);
    std::vector<uint32_t> white(64 * 64, 0x00FFFFFF);
    memcpy(bits, white.data(), white.size() * 4);
    HPEN before = (HPEN)GetCurrentObject(dc, OBJ_PEN);
    HBRUSH brush = (HBRUSH)GetCurrentObject(dc, OBJ_BRUSH);

    CTextMeta t(nullptr);
    LOGFONTA f = t.GetFont();
    f.lfHeight = -20;
    t.SetFont(f);
    t.SetOrigin(POINT{8, 8});
    t.SetText("AB");
    ASSERT_EQ(S_OK, t.DrawPointHandles(dc));
    GdiFlush();
    EXPECT_NE(0, memcmp(bits, white.data(), white.size() * 4));
    EXPECT_EQ(before, GetCurrentObject(dc, OBJ_PEN));
    EXPECT_EQ(brush, GetCurrentObject(dc, OBJ_BRUSH));
    EXPECT_EQ(R2_COPYPEN, GetROP2(dc));
    ASSERT_EQ(S_OK, t.DrawPointHandles(dc));
    GdiFlush();
    EXPECT_EQ(0, memcmp(bits, white.data(), white.size() * 4));

    SelectObject(dc, oldBitmap);
    DeleteObject(dib);
    DeleteDC(dc);
}
