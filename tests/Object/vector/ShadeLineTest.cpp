#include <gtest/gtest.h>

#include "StreamFixtures.h"
#include "TestFiles.h"
#include "VectorRecords.h"
#include "aLineSty.h"
#include "aShdMod.h"
#include "bFillGrd.h"
#include "bFillShd.h"
#include "bLinStyl.h"

namespace {

COLORREF SolidColor(const ShadeFill& fill) {
    void* params = nullptr;
    EXPECT_EQ(fill.GetFill()->GetFillParams(&params), S_OK);
    COLORREF c = 0;
    if (params)
        static_cast<ISolidFillParams*>(params)->GetColor(&c);
    return c;
}

std::vector<uint8_t> Saved(ShadeFill& fill) {
    CComPtr<ITeskStream> s = NewMemStream();
    EXPECT_EQ(fill.Save(s), S_OK);
    return ContentBytes(s);
}

}  // namespace

TEST(ShadeFill, NewFillFillsNothingAndColoursGoByType) {
    ShadeFill fill;
    ASSERT_NE(fill.GetFill(), nullptr);
    EXPECT_TRUE(fill.IsNoFill());
    EXPECT_EQ(fill.GetFillMode(), FILLMODE_NONE);
    EXPECT_EQ(fill.GetFillType(), FILL_SOLID);

    EXPECT_EQ(fill.SetColor(RGB(1, 2, 3)), S_OK);
    EXPECT_EQ(SolidColor(fill), RGB(1, 2, 3));
    EXPECT_EQ(fill.SetColor2(RGB(4, 5, 6)), S_FALSE);

    ASSERT_EQ(fill.SetFillType(FILL_GRADIENT), S_OK);
    ASSERT_EQ(fill.SetFillMode(FILLMODE_FILL), S_OK);
    EXPECT_FALSE(fill.IsNoFill());
    EXPECT_EQ(fill.SetColor(RGB(10, 0, 0)), S_OK);
    EXPECT_EQ(fill.SetColor2(RGB(0, 20, 0)), S_OK);
    void* params = nullptr;
    ASSERT_EQ(fill.GetFill()->GetFillParams(&params), S_OK);
    COLORREF c1 = 0, c2 = 0;
    static_cast<IGradientFillParams*>(params)->GetColor1(&c1);
    static_cast<IGradientFillParams*>(params)->GetColor2(&c2);
    EXPECT_EQ(c1, RGB(10, 0, 0));
    EXPECT_EQ(c2, RGB(0, 20, 0));
}

TEST(ShadeFill, InterpolationPassesWholePercentsAndDuplicateCopies) {
    ShadeFill a, b, out;
    a.SetColor(RGB(0, 0, 0));
    b.SetColor(RGB(200, 0, 0));
    // 0.257 passes 25: a quarter of 200 is 50 (26 would give 52).
    ASSERT_EQ(ShadeFill::Interpolate(a, b, &out, 0.257f), S_OK);
    EXPECT_EQ(SolidColor(out), RGB(50, 0, 0));

    ShadeFill copy;
    b.SetFillMode(FILLMODE_FILL);
    ASSERT_EQ(copy.Duplicate(b), S_OK);
    EXPECT_EQ(SolidColor(copy), RGB(200, 0, 0));
    EXPECT_EQ(Saved(copy), Saved(b));
}

TEST(ShadeFill, RecordIsTheFillObjectsOwnAndShortOnesAreRefused) {
    ShadeFill fill;
    fill.SetFillMode(FILLMODE_FILL);
    fill.SetColor(RGB(9, 8, 7));
    const std::vector<uint8_t> bytes = Saved(fill);
    CComPtr<ITeskStream> own = NewMemStream();
    ASSERT_EQ(fill.GetFill()->Save(own), S_OK);
    EXPECT_EQ(bytes, ContentBytes(own));

    ShadeFill back;
    CComPtr<ITeskStream> in = MemStreamOf(bytes);
    ASSERT_EQ(back.Load(in), S_OK);
    EXPECT_EQ(in->GetPosition(), bytes.size());
    EXPECT_EQ(SolidColor(back), RGB(9, 8, 7));
    EXPECT_EQ(back.GetFillMode(), FILLMODE_FILL);

    for (size_t n = 0; n < bytes.size(); ++n) {
        ShadeFill cut;
        LogCapture log;
        EXPECT_TRUE(FAILED(cut.Load(MemStreamOf(Cut(bytes, n))))) << n;
        EXPECT_TRUE(cut.IsNoFill()) << n;
        EXPECT_TRUE(Logged(log.Text(), "m_pShadeFill Load func Failed."));
    }
}

TEST(LineStyleHolder, EffectiveWidthCountsDoubledLinesTwice) {
    const struct {
        int type;
        WORD width;
        int effective;
    } cases[] = {{LINE_DOUBLE, 3, 6},
                 {LINE_SOLID, 3, 3},
                 {LINE_DOUBLE, 10, 20},
                 {LINE_FANCY, 10, 10},
                 {LINE_DASH, 0, 0}};
    for (const auto& c : cases) {
        LineStyle style;
        ASSERT_EQ(style.SetLineType(c.type), S_OK);
        ASSERT_EQ(style.SetLineWidth(c.width), S_OK);
        EXPECT_EQ(style.GetEffectiveWidth(), c.effective) << c.type << " " << c.width;
    }
}

TEST(LineStyleHolder, CopiesKeepOnlyTypesTheKindCanDraw) {
    const struct {
        int type, kind, result;
    } cases[] = {
        {LINE_FANCY, 3, LINE_SOLID},   {LINE_FANCY, 1, LINE_FANCY},    {LINE_FANCY, -1, LINE_FANCY},
        {LINE_FANCY, 0, LINE_FANCY},   {LINE_FANCY, 4, LINE_SOLID},    {LINE_FANCY, 7, LINE_FANCY},
        {LINE_DOUBLE, 1, LINE_SOLID},  {LINE_DOUBLE, 3, LINE_DOUBLE},  {LINE_DOUBLE, 5, LINE_SOLID},
        {LINE_DOUBLE, 6, LINE_DOUBLE}, {LINE_DOUBLE, -1, LINE_DOUBLE}, {LINE_DASH, 5, LINE_DASH},
    };
    for (const auto& c : cases) {
        LineStyle source, copy;
        source.SetLineType(c.type);
        source.SetLineWidth(4);
        ASSERT_EQ(copy.DuplicateForKind(source, c.kind), S_OK);
        EXPECT_EQ(copy.GetLineType(), c.result) << c.type << " for kind " << c.kind;
        WORD width = 0;
        copy.Get()->GetWidth(&width);
        EXPECT_EQ(width, 4);
    }
}

TEST(LineStyleHolder, LineModeRoundTripAndShortRecords) {
    LineStyle style;
    style.SetLineType(LINE_DASHDOT);
    style.SetLineWidth(7);
    style.SetMainColor(RGB(1, 2, 3));
    style.SetLineCode(12);
    CComPtr<ITeskStream> s = NewMemStream();
    ASSERT_EQ(style.SaveLineMode(s), S_OK);
    const std::vector<uint8_t> bytes = ContentBytes(s);
    ASSERT_EQ(bytes.size(), (size_t)LINESTYLE_RECORD_SIZE);

    LineStyle back;
    ASSERT_EQ(back.LoadLineMode(MemStreamOf(bytes)), S_OK);
    EXPECT_EQ(back.GetLineType(), LINE_DASHDOT);
    EXPECT_EQ(back.GetEffectiveWidth(), 7);
    WORD code = 0;
    back.Get()->GetTileCode(&code);
    EXPECT_EQ(code, 12);

    for (size_t n : {(size_t)0, (size_t)4, bytes.size() - 1}) {
        LineStyle cut;
        LogCapture log;
        EXPECT_TRUE(FAILED(cut.LoadLineMode(MemStreamOf(Cut(bytes, n))))) << n;
        EXPECT_EQ(cut.GetLineType(), LINE_SOLID);
        EXPECT_TRUE(Logged(log.Text(), "LoadLineMode func Failed."));
    }
    // Interpolation halfway between widths 2 and 10.
    LineStyle a, b, out;
    a.SetLineWidth(2);
    b.SetLineWidth(10);
    ASSERT_EQ(LineStyle::Interpolate(a, b, &out, 0.5f), S_OK);
    EXPECT_EQ(out.GetEffectiveWidth(), 6);
}
