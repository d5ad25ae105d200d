#include <gtest/gtest.h>

#include "ObjectTestUtil.h"
#include "aInkMode.h"

TEST(InkMode, ModesMapToRasterOperations) {
    const struct {
        LONG mode;
        int rop;
    } cases[] = {
        {0, R2_COPYPEN},     {4, R2_COPYPEN},     {1, R2_MERGEPEN},    {2, R2_MASKPEN},
        {3, R2_XORPEN},      {15, R2_XORPEN},     {5, R2_MERGEPENNOT}, {6, R2_MASKPENNOT},
        {7, R2_NOTXORPEN},   {11, R2_NOTXORPEN},  {8, R2_NOTCOPYPEN},  {12, R2_NOTCOPYPEN},
        {9, R2_MERGENOTPEN}, {10, R2_MASKNOTPEN}, {13, R2_NOTMASKPEN}, {14, R2_NOTMERGEPEN},
        {16, R2_NOP},        {17, R2_WHITE},      {18, R2_BLACK},      {19, R2_NOT},
        {20, R2_NOP},        {1000, R2_NOP},      {-1, R2_NOP}};
    for (const auto& c : cases) {
        InkMode ink;
        ink.SetMode(c.mode);
        EXPECT_EQ(ink.ToRop2(), c.rop) << "mode " << c.mode;
    }
    EXPECT_EQ(InkMode().ToRop2(), R2_COPYPEN);
}

TEST(InkMode, InterpolationKeepsTheFirstUpToHalf) {
    InkMode a, b, t;
    a.SetMode(3);
    b.SetMode(9);
    InkMode::Interpolate(a, b, &t, 0.5f);
    EXPECT_EQ(t.GetMode(), 3);
    InkMode::Interpolate(a, b, &t, 0.5001f);
    EXPECT_EQ(t.GetMode(), 9);
    InkMode::Interpolate(a, b, &t, 0.0f);
    EXPECT_EQ(t.GetMode(), 3);
    t.Assign(b);
    EXPECT_EQ(t.GetMode(), 9);
    t.CopyFrom(a);
    EXPECT_EQ(t.GetMode(), 3);
}

TEST(InkMode, RecordRoundTripAndShortRecords) {
    InkMode ink;
    ink.SetMode(0x12345678);
    CComPtr<ITeskStream> s = NewMemStream();
    ASSERT_EQ(ink.Save(s), S_OK);
    EXPECT_EQ(s->GetPosition(), 4u);
    s->SetMode(0);
    s->Seek(0, TESK_SEEK_SET);
    InkMode back;
    ASSERT_EQ(back.Load(s), S_OK);
    EXPECT_EQ(back.GetMode(), 0x12345678);
    // Truncated copies: nothing read, the mode unchanged.
    for (size_t n = 0; n < 4; ++n) {
        InkMode cut;
        cut.SetMode(7);
        EXPECT_EQ(cut.Load(MemStreamOf(std::vector<uint8_t>(n, 0x11))), E_FAIL);
        EXPECT_EQ(cut.GetMode(), 7);
    }
}
