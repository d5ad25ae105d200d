#include <gtest/gtest.h>

#include "StreamFixtures.h"
#include "TestFiles.h"
#include "VectorRecords.h"
#include "aMeta.h"
#include "bLinStyl.h"

namespace {

// A meta with nothing but its base, whose bounds answer a set rectangle.
class BareMeta : public CMetaBase {
public:
    RECT reported = {0, 0, 0, 0};
    HRESULT DrawInRect(HDC, const RECT*) override { return S_OK; }
    HRESULT Clone(CMetaBase**) override { return E_NOTIMPL; }
    HRESULT DrawSelection(HDC, BOOL) override { return S_OK; }
    HRESULT DrawBoundHandles(HDC) override { return S_OK; }
    HRESULT DrawPointHandles(HDC) override { return S_OK; }
    HRESULT GetBoundsWithPen(RECT*) override { return S_OK; }
    HRESULT Draw(HDC, BOOL) override { return S_OK; }
    HRESULT FinishShape() override { return S_OK; }
    HRESULT CalcBoundRect() override { return S_OK; }
    BOOL HitTestOutline(HDC, POINT) override { return FALSE; }
    int HitTestHandle(POINT, int*) override { return 0; }
    int HitTest(HDC, POINT, int) override { return 0; }
    HRESULT Offset(POINT) override { return S_OK; }
    HRESULT GetPos(POINT*) override { return S_OK; }
    HRESULT SetPosX(int) override { return S_OK; }
    HRESULT SetPosY(int) override { return S_OK; }
    BOOL IsInsideRect(const RECT*) override { return FALSE; }
    HRESULT GetBoundRect(RECT* out) override {
        *out = reported;
        return S_OK;
    }
    int HitTestBounds(POINT) override { return 0; }
    HRESULT DrawSelectionState(HDC) override { return S_OK; }
    HRESULT CloseIfEndsMeet() override { return S_OK; }
    RECT StoredBounds() const { return Bounds(); }
};

// A stream string of two characters: count 2, "ab" in UTF-16.
std::vector<uint8_t> StreamString() {
    return {0x02, 0x00, 0x00, 0x00, 'a', 0x00, 'b', 0x00};
}

std::vector<uint8_t> AttrRecord(bool withTexts) {
    RecordWriter w;
    w.I32(0x0015)                 // state: edit bit 0, closed, line mode follows
        .I32(1)                   // base value: a graph meta
        .I32(-5)                  // bounds left
        .I32(-6)                  // top
        .I32(70)                  // right
        .I32(80)                  // bottom
        .I32(withTexts ? 3 : 2);  // text flag 1, bit 0: a text follows
    if (withTexts)
        w.Bytes(StreamString());
    w.I32(withTexts ? 1 : 0);  // text flag 2
    if (withTexts)
        w.Bytes(StreamString());
    w.I32(42)     // meta id
        .I32(2);  // selection: tracker and handles
    return w.Get();
}

}  // namespace

TEST(MetaAttrRecord, TextsAreReadAndDroppedAndNeverWritten) {
    const std::vector<uint8_t> stored = AttrRecord(true);
    ASSERT_EQ(stored.size(), 4u * 10 + 2 * 8);
    BareMeta meta;
    EXPECT_EQ(meta.GetBaseValue(), 1);
    CComPtr<ITeskStream> in = MemStreamOf(stored);
    ASSERT_EQ(meta.Load(in), S_OK);
    EXPECT_EQ(in->GetPosition(), stored.size());
    EXPECT_EQ(meta.GetFlags(), 0x15);
    EXPECT_TRUE(meta.IsClosed());
    EXPECT_FALSE(meta.IsHidden());
    EXPECT_EQ(meta.GetMetaId(), 42);
    EXPECT_EQ(meta.GetSelection(), 2);
    EXPECT_EQ(meta.StoredBounds().left, -5);
    EXPECT_EQ(meta.StoredBounds().bottom, 80);

    CComPtr<ITeskStream> out = NewMemStream();
    ASSERT_EQ(meta.Save(out), S_OK);
    EXPECT_EQ(ContentBytes(out), AttrRecord(false));
}

TEST(MetaAttrRecord, ShortAndDamagedRecordsChangeNothing) {
    const std::vector<uint8_t> stored = AttrRecord(true);
    std::vector<std::vector<uint8_t>> bad;
    for (size_t n = 0; n < stored.size(); ++n) bad.push_back(Cut(stored, n));
    bad.push_back(stored);
    bad.back()[28] = 0xFF;  // the first text's count: -1 ...
    bad.back()[29] = 0xFF;
    bad.back()[30] = 0xFF;
    bad.back()[31] = 0xFF;
    bad.push_back(stored);
    bad.back()[30] = 0x01;  // ... 0x10002, more than a text may hold
    bad.push_back(stored);
    bad.back()[28] = 0x20;  // ... 32 characters, beyond the stream
    for (const auto& bytes : bad) {
        BareMeta meta;
        meta.SetMetaId(7);
        meta.SetHidden(true);
        EXPECT_EQ(meta.Load(MemStreamOf(bytes)), E_FAIL) << bytes.size();
        EXPECT_EQ(meta.GetMetaId(), 7);
        EXPECT_EQ(meta.GetFlags(), META_HIDDEN);
        EXPECT_EQ(meta.GetBaseValue(), 1);
    }
}

TEST(MetaBase, CopyAttributesTakesTheEditBitsAndAskedBounds) {
    BareMeta source, target;
    source.SetFlags(META_EDIT0 | META_HIDDEN | META_CLOSED | META_EDIT3 | META_HAS_LINEMODE);
    source.SetBaseValue(3);
    source.SetMetaId(9);
    source.SetSelection(1);
    source.SetFrame(reinterpret_cast<CVecFrame*>(&source));
    source.reported = RECT{1, 2, 3, 4};
    target.CopyAttributes(source);
    // Bit 4 belongs to the geometry record of each shape, not to the copy.
    EXPECT_EQ(target.GetFlags(), META_EDIT0 | META_HIDDEN | META_CLOSED | META_EDIT3);
    EXPECT_EQ(target.GetBaseValue(), 3);
    EXPECT_EQ(target.GetMetaId(), 9);
    EXPECT_EQ(target.GetSelection(), 1);
    EXPECT_EQ(target.GetFrame(), source.GetFrame());
    EXPECT_EQ(target.StoredBounds().right, 3);

    target.SetHidden(false);
    target.SetClosed(false);
    target.SetEdit0(false);
    target.SetEdit3(false);
    EXPECT_EQ(target.GetFlags(), 0);
}

TEST(MetaEnv, DefaultsRoundTripAndShortRecords) {
    CMetaEnv env;
    EXPECT_EQ(env.font.lfHeight, 133);
    EXPECT_STREQ(env.font.lfFaceName, "Arial");
    EXPECT_EQ(env.font.lfWeight, 0);
    EXPECT_EQ(env.ink.GetMode(), 0);
    EXPECT_TRUE(env.fill.IsNoFill());

    env.value = -4;
    env.ink.SetMode(3);
    env.line.SetLineType(LINE_DASH);
    env.line.SetLineWidth(5);
    env.fill.SetFillMode(1);
    env.fill.SetColor(RGB(1, 2, 3));
    strcpy(env.font.lfFaceName, "SimSun");
    env.font.lfHeight = -20;
    CComPtr<ITeskStream> s = NewMemStream();
    ASSERT_EQ(env.Save(s), S_OK);
    const std::vector<uint8_t> bytes = ContentBytes(s);
    // value, ink mode, line mode, font, then the fill.
    ASSERT_GT(bytes.size(), 4u + 4 + LINESTYLE_RECORD_SIZE + 60);
    EXPECT_EQ(bytes[0], 0xFC);
    EXPECT_EQ(bytes[4], 3);
    EXPECT_EQ(memcmp(&bytes[8 + LINESTYLE_RECORD_SIZE + 28], "SimSun", 7), 0);

    CMetaEnv back;
    CComPtr<ITeskStream> in = MemStreamOf(bytes);
    ASSERT_EQ(back.Load(in), S_OK);
    EXPECT_EQ(in->GetPosition(), bytes.size());
    EXPECT_EQ(back.value, -4);
    EXPECT_EQ(back.ink.GetMode(), 3);
    EXPECT_EQ(back.line.GetLineType(), LINE_DASH);
    EXPECT_EQ(back.line.GetEffectiveWidth(), 5);
    EXPECT_EQ(back.font.lfHeight, -20);
    EXPECT_STREQ(back.font.lfFaceName, "SimSun");
    EXPECT_FALSE(back.fill.IsNoFill());

    for (size_t n = 0; n < bytes.size(); n += (n < 80 ? 1 : 7)) {
        CMetaEnv cut;
        EXPECT_EQ(cut.Load(MemStreamOf(Cut(bytes, n))), E_FAIL) << n;
        EXPECT_EQ(cut.value, 0);
        EXPECT_EQ(cut.ink.GetMode(), 0);
        EXPECT_EQ(cut.line.GetLineType(), LINE_SOLID);
        EXPECT_STREQ(cut.font.lfFaceName, "Arial");
        EXPECT_TRUE(cut.fill.IsNoFill());
    }
}
