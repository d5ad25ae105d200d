#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "TestFiles.h"
#include "VectorFixtures.h"
#include "aFlyph.h"
#include "aGrphMta.h"
#include "aTxtMeta.h"
#include "aVecFrm.h"
#include "aVecText.h"

namespace {

// GDI's native outline, written field by field: a polygon header is
// cb (uint32, header and its curves), dwType (uint32, 24), pfxStart (2 x
// 16.16); a curve is wType (uint16), cpfx (uint16), cpfx x (2 x 16.16).
class Outline {
public:
    // Starts a polygon at the point in whole font units.
    Outline& Polygon(int x, int y, uint32_t type = TT_POLYGON_TYPE) {
        m_header = m_bytes.size();
        U32(0).U32(type).Fixed(x << 16).Fixed(y << 16);
        return Close();
    }
    Outline& Curve(uint16_t type, std::initializer_list<POINT> points) {
        U16(type).U16((uint16_t)points.size());
        for (const POINT& p : points) Fixed(p.x << 16).Fixed(p.y << 16);
        return Close();
    }
    // A curve whose points are raw 16.16 values.
    Outline& RawCurve(uint16_t type, std::initializer_list<int32_t> xy) {
        U16(type).U16((uint16_t)(xy.size() / 2));
        for (int32_t v : xy) Fixed(v);
        return Close();
    }
    Outline& U16(uint16_t v) {
        m_bytes.push_back((uint8_t)v);
        m_bytes.push_back((uint8_t)(v >> 8));
        return *this;
    }
    Outline& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) m_bytes.push_back((uint8_t)(v >> (8 * i)));
        return *this;
    }
    Outline& Fixed(int32_t v) { return U32((uint32_t)v); }
    // Sets the open polygon's cb to what it holds now.
    Outline& Close() {
        const uint32_t cb = (uint32_t)(m_bytes.size() - m_header);
        for (int i = 0; i < 4; ++i) m_bytes[m_header + i] = (uint8_t)(cb >> (8 * i));
        return *this;
    }
    std::vector<uint8_t>& Bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_header = 0;
};

struct Walked {
    int contours = 0;
    std::vector<int> counts;
    std::vector<POINT> points;
    bool block = false;
};

Walked Walk(const std::vector<uint8_t>& bytes) {
    Walked w;
    HGLOBAL block = nullptr;
    int capacity = CFlyph::INITIAL_POINTS;
    w.counts.assign(CFlyph::INITIAL_CONTOURS, 0);
    w.contours =
        CFlyph::WalkCurves(bytes.data(), (DWORD)bytes.size(), &block, &capacity, &w.counts);
    w.block = block != nullptr;
    if (block) {
        int total = 0;
        for (int c = 0; c < w.contours; ++c) total += w.counts[(size_t)c];
        EXPECT_LE((size_t)total * sizeof(POINT), GlobalSize(block));
        const POINT* p = static_cast<const POINT*>(GlobalLock(block));
        w.points.assign(p, p + total);
        GlobalUnlock(block);
        GlobalFree(block);
    }
    return w;
}

std::vector<POINT> Repeat(POINT p, int n) {
    return std::vector<POINT>((size_t)n, p);
}

std::vector<POINT> Join(std::initializer_list<std::vector<POINT>> parts) {
    std::vector<POINT> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

::testing::AssertionResult SamePoints(const std::vector<POINT>& got,
                                      const std::vector<POINT>& want) {
    std::string text;
    bool same = got.size() == want.size();
    for (size_t i = 0; i < got.size(); ++i) {
        text += "(" + std::to_string(got[i].x) + "," + std::to_string(got[i].y) + ")";
        if (i < want.size() && (got[i].x != want[i].x || got[i].y != want[i].y))
            same = false;
    }
    if (same)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "points " << text;
}

// The face every test machine has; "Arial" and unknown faces resolve to it.
constexpr const char* kFace = "WenQuanYi Micro Hei";
// 文泉驿微米黑 in code page 936: GetTextFaceA's answer where another face
// fell back to it; a face asked by its own or a replacement's name answers
// that name.
constexpr const char* kFaceAnsi = "\xCE\xC4\xC8\xAA\xE6\xE4\xCE\xA2\xC3\xD7\xBA\xDA";

::testing::AssertionResult IsMicroHei(const std::string& face, const char* asked) {
    if (face == kFaceAnsi || face == kFace || face == asked)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "face " << face << " for " << asked;
}

class FontDC {
public:
    FontDC(const char* face, int height) {
        m_dc = CreateCompatibleDC(nullptr);
        LOGFONTA f = {};
        f.lfHeight = height;
        strcpy(f.lfFaceName, face);
        m_font = CreateFontIndirectA(&f);
        m_old = SelectObject(m_dc, m_font);
    }
    ~FontDC() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_font);
        DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    std::string Face() const {
        char face[LF_FACESIZE] = {};
        GetTextFaceA(m_dc, LF_FACESIZE, face);
        return face;
    }
    int Width(const char* text) const {
        SIZE s = {};
        GetTextExtentPoint32A(m_dc, text, (int)strlen(text), &s);
        return s.cx;
    }

private:
    HDC m_dc;
    HFONT m_font;
    HGDIOBJ m_old;
};

LOGFONTA Font(const char* face, int height) {
    LOGFONTA f = {};
    f.lfHeight = height;
    strcpy(f.lfFaceName, face);
    return f;
}

std::vector<POINT> PointsOf(const CGraphMeta* m) {
    return std::vector<POINT>(m->GetData(), m->GetData() + m->GetCount());
}

}  // namespace

TEST(Glyph, FixedValuesRoundHalfUp) {
    const struct {
        int32_t raw;
        int whole;
    } cases[] = {
        {0x00028000, 3},            // 2.5
        {(int32_t)0xFFFD8000, -2},  // -2.5
        {0x00027FFF, 2},            // just below 2.5
        {(int32_t)0xFFFD7FFF, -3},  // just below -2.5
        {0x00010000, 1},           {0, 0},
    };
    for (const auto& c : cases) {
        FIXED f;
        memcpy(&f, &c.raw, 4);
        EXPECT_EQ(FixedToInt(f), c.whole) << std::hex << c.raw;
    }
    const FIXED back = DoubleToFixed(-1.75);
    int32_t raw;
    memcpy(&raw, &back, 4);
    EXPECT_EQ(raw, -0x1C000);
}

TEST(Glyph, LineRecordsRepeatEachPointAndFlipY) {
    // Back at the start point: 3 points, 5 times each; the contour is turned
    // by one point and y flipped (font units grow upwards).
    Outline closed;
    closed.Polygon(0, 10).Curve(TT_PRIM_LINE, {{10, 10}, {10, 0}, {0, 10}});
    Walked w = Walk(closed.Bytes());
    ASSERT_EQ(w.contours, 1);
    EXPECT_EQ(w.counts[0], 15);
    EXPECT_TRUE(SamePoints(w.points, Join({Repeat({10, -10}, 4), Repeat({10, 0}, 5),
                                           Repeat({0, -10}, 5), Repeat({10, -10}, 1)})));

    // Not back at the start: the start point is added 5 times.
    Outline open;
    open.Polygon(0, 10).Curve(TT_PRIM_LINE, {{10, 10}, {10, 0}, {5, 5}});
    w = Walk(open.Bytes());
    ASSERT_EQ(w.contours, 1);
    EXPECT_EQ(w.counts[0], 20);
    EXPECT_TRUE(
        SamePoints(w.points, Join({Repeat({10, -10}, 4), Repeat({10, 0}, 5), Repeat({5, -5}, 5),
                                   Repeat({0, -10}, 5), Repeat({10, -10}, 1)})));

    // Half units round up before the flip.
    Outline half;
    half.Polygon(3, -2).RawCurve(TT_PRIM_LINE, {0x00028000, (int32_t)0xFFFD8000});
    w = Walk(half.Bytes());
    ASSERT_EQ(w.contours, 1);
    EXPECT_TRUE(SamePoints(w.points, Join({Repeat({3, 2}, 5)})));
}

TEST(Glyph, QuadraticRecordOfThreeControlPointsMakesTwoPieces) {
    // Pieces (S, B1, mid(B1, B2)) and (mid, B2, B3); each adds its cubic
    // controls c1 = a + 2/3 (b - a), c2 = c + 2/3 (b - c), then c three times.
    Outline o;
    o.Polygon(0, 0).Curve(TT_PRIM_QSPLINE, {{0, 30}, {30, 30}, {0, 0}});
    Walked w = Walk(o.Bytes());
    ASSERT_EQ(w.contours, 1);
    ASSERT_EQ(w.counts[0], 10);
    EXPECT_TRUE(SamePoints(w.points, Join({{{5, -30}},
                                           Repeat({15, -30}, 3),
                                           {{25, -30}, {20, -20}},
                                           Repeat({0, 0}, 3),
                                           {{0, -20}}})));

    // A line record then a quadratic one: the piece starts where the line
    // ended.
    Outline mixed;
    mixed.Polygon(0, 0).Curve(TT_PRIM_LINE, {{30, 0}}).Curve(TT_PRIM_QSPLINE, {{30, 30}, {0, 0}});
    w = Walk(mixed.Bytes());
    ASSERT_EQ(w.contours, 1);
    ASSERT_EQ(w.counts[0], 10);
    EXPECT_TRUE(SamePoints(
        w.points,
        Join({Repeat({30, 0}, 4), {{30, -20}, {20, -20}}, Repeat({0, 0}, 3), {{30, 0}}})));
}

TEST(Glyph, BlockGrowsPastFiveHundredPointsKeepingEveryPoint) {
    Outline o;
    o.Polygon(0, 0);
    std::vector<int32_t> xy;
    for (int i = 1; i <= 120; ++i) {  // 600 points, then the start point again
        xy.push_back(i << 16);
        xy.push_back((2 * i) << 16);
    }
    o.U16(TT_PRIM_LINE).U16(120);
    for (int32_t v : xy) o.Fixed(v);
    o.Close();
    Walked w = Walk(o.Bytes());
    ASSERT_EQ(w.contours, 1);
    ASSERT_EQ(w.counts[0], 605);
    for (int i = 0; i < 600; ++i) {
        const int k = (i + 1) / 5 + 1;  // turned by one point
        if (i + 1 >= 600)
            break;
        ASSERT_EQ(w.points[(size_t)i].x, k) << i;
        ASSERT_EQ(w.points[(size_t)i].y, -2 * k) << i;
    }
    EXPECT_EQ(w.points[604].x, 1);
    EXPECT_EQ(w.points[604].y, -2);
}

TEST(Glyph, ManyContoursAndOddRecords) {
    // Sixty contours: more than the first counts array holds.
    Outline many;
    for (int c = 0; c < 60; ++c) many.Polygon(c, 0).Curve(TT_PRIM_LINE, {{c, 5}, {c, 0}});
    Walked w = Walk(many.Bytes());
    ASSERT_EQ(w.contours, 60);
    for (int c = 0; c < 60; ++c) EXPECT_EQ(w.counts[(size_t)c], 10) << c;
    EXPECT_EQ(w.points[599].x, 59);
    EXPECT_EQ(w.points[595].y, 0);

    // A cubic record is logged and its points passed over; an unknown
    // polygon type is logged and read on.
    LogCapture log;
    Outline odd;
    odd.Polygon(0, 0, 7)
        .Curve(TT_PRIM_CSPLINE, {{1, 1}, {2, 2}, {3, 3}})
        .Curve(TT_PRIM_LINE, {{0, 0}});
    w = Walk(odd.Bytes());
    const std::string text = log.Text();
    EXPECT_TRUE(Logged(text, "Unknown FontCurve type!"));
    EXPECT_TRUE(Logged(text, "Unknown font polygon header type."));
    ASSERT_EQ(w.contours, 1);
    EXPECT_TRUE(SamePoints(w.points, Repeat({0, 0}, 5)));
}

TEST(Glyph, DamagedOutlinesAreRefused) {
    Outline good;
    good.Polygon(0, 0).Curve(TT_PRIM_LINE, {{10, 0}, {10, 10}});
    const std::vector<uint8_t> base = good.Bytes();  // 16 + 4 + 16 = 36 bytes
    auto withCb = [&](uint32_t cb) {
        std::vector<uint8_t> b = base;
        memcpy(b.data(), &cb, 4);
        return b;
    };
    auto withCpfx = [&](uint16_t n) {
        std::vector<uint8_t> b = base;
        memcpy(b.data() + 18, &n, 2);
        return b;
    };
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"cut inside the header", std::vector<uint8_t>(base.begin(), base.begin() + 10)},
        {"cut inside a point", std::vector<uint8_t>(base.begin(), base.end() - 3)},
        {"cb past the buffer", withCb(37)},
        {"cb smaller than a header", withCb(15)},
        {"cb cutting a curve's points", withCb(30)},
        {"cb cutting a curve header", withCb(18)},
        {"cpfx past the polygon", withCpfx(3)},
        {"cpfx huge", withCpfx(0xFFFF)},
        {"empty", {}},
    };
    for (const auto& c : cases) {
        Walked w = Walk(c.bytes);
        EXPECT_EQ(w.contours, 0) << c.name;
        EXPECT_FALSE(w.block) << c.name;
        HGLOBAL block = reinterpret_cast<HGLOBAL>(1);
        std::vector<int> counts;
        EXPECT_FALSE(CFlyph::DrawT2Outline(c.bytes.data(), (DWORD)c.bytes.size(), &block, &counts))
            << c.name;
        EXPECT_EQ(block, nullptr) << c.name;
    }
    Walked w = Walk(base);
    EXPECT_EQ(w.contours, 1);
}

TEST(Glyph, SystemFaceOutlines) {
    ASSERT_EQ(GetACP(), 936u);
    const struct {
        const char* face;
        UINT code;
        int contours;  // 0: a blank
    } cases[] = {
        {kFace, 'O', 2},        {"Arial", 'O', 2}, {"SimSun", 0xD6D0, 3},  // 中
        {kFace, 0xB9FA, 4},                                                // 国
        {"NoSuchFace", 'O', 2}, {kFace, ' ', 0},
    };
    for (const auto& c : cases) {
        FontDC dc(c.face, -100);
        EXPECT_TRUE(IsMicroHei(dc.Face(), c.face));
        if (strcmp(c.face, "Arial") == 0 || strcmp(c.face, "NoSuchFace") == 0) {
            EXPECT_EQ(dc.Face(), kFaceAnsi);
        }
        std::vector<BYTE> outline;
        ASSERT_EQ(CFlyph::GetGlyph(dc.dc(), c.code, &outline), S_OK) << c.face << c.code;
        if (c.contours == 0) {
            EXPECT_TRUE(outline.empty());
            continue;
        }
        HGLOBAL block = nullptr;
        std::vector<int> counts;
        ASSERT_TRUE(CFlyph::DrawT2Outline(outline.data(), (DWORD)outline.size(), &block, &counts))
            << c.code;
        EXPECT_EQ((int)counts.size(), c.contours) << c.code;
        GlobalFree(block);
    }
}

TEST(VecText, SplitsDoubleByteCodes) {
    ASSERT_EQ(GetACP(), 936u);
    const struct {
        std::string text;
        std::vector<WORD> codes;
    } cases[] = {
        {"\xD6\xD0"
         "A",
         {0xD6D0, 'A'}},
        {"A \xB9\xFA", {'A', ' ', 0xB9FA}},
        {"A\xD6", {'A'}},  // a lead byte without its trail byte is dropped
        {"", {}},
    };
    for (const auto& c : cases) {
        CVecText t(nullptr);
        ASSERT_EQ(t.AnalyseInputWord(c.text.data(), (int)c.text.size()), S_OK);
        EXPECT_EQ(t.Codes(), c.codes) << c.text;
    }
}

TEST(VecText, LetterOBecomesTwoClosedPolylines) {
    FakeOwner owner;
    CVecFrame frame(&owner, VECFRAME_LENGTHS);
    FontDC dc(kFace, -100);
    ASSERT_EQ(dc.Face(), kFace);
    CVecText t(&owner);
    t.SetText("O");
    t.SetOrigin(10, 120);
    ASSERT_EQ(t.SetCurrentFont(Font(kFace, -100)), S_OK);
    ASSERT_EQ(t.CreateFromText(dc.dc(), &frame), S_OK);
    ASSERT_EQ(frame.GetCount(), 2);
    int ids[2];
    for (int i = 0; i < 2; ++i) {
        CGraphMeta* m = frame.GetGraphMeta(i);
        ASSERT_NE(m, nullptr);
        ids[i] = m->GetMetaId();
        EXPECT_EQ(m->GetKind(), GRAPH_POLYLINE);
        EXPECT_TRUE(m->IsClosed());
        EXPECT_FALSE(m->IsHidden());
        EXPECT_EQ(m->GetFrame(), &frame);
        EXPECT_EQ(m->GetEnv(), &owner);
        const std::vector<POINT> p = PointsOf(m);
        ASSERT_GT(p.size(), 4u);
        EXPECT_EQ(p.front().x, p.back().x);
        EXPECT_EQ(p.front().y, p.back().y);
        for (size_t k = 1; k < p.size(); ++k)
            EXPECT_FALSE(p[k].x == p[k - 1].x && p[k].y == p[k - 1].y) << k;
        // The glyph stands on the baseline, above it.
        RECT b;
        m->GetBoundRect(&b);
        EXPECT_GE(b.left, 10);
        EXPECT_LE(b.bottom, 125);
        EXPECT_GT(b.bottom, 100);
    }
    EXPECT_NE(ids[0], ids[1]);
    // The inner contour lies inside the outer one.
    RECT outer, inner;
    frame.GetGraphMeta(0)->GetBoundRect(&outer);
    frame.GetGraphMeta(1)->GetBoundRect(&inner);
    if (inner.right - inner.left > outer.right - outer.left)
        std::swap(outer, inner);
    EXPECT_TRUE(inner.left > outer.left && inner.right < outer.right && inner.top > outer.top &&
                inner.bottom < outer.bottom);
}

TEST(VecText, BlanksAdvanceThePenByEachExtent) {
    FontDC dc(kFace, -80);
    ASSERT_EQ(dc.Face(), kFace);
    FakeOwner owner;
    auto convert = [&](const char* text, int x, CVecFrame* frame) {
        CVecText t(&owner);
        t.SetText(text);
        t.SetOrigin(x, 100);
        EXPECT_EQ(t.SetCurrentFont(Font(kFace, -80)), S_OK);
        return t.CreateFromText(dc.dc(), frame);
    };
    CVecFrame all(&owner, VECFRAME_LENGTHS), a(&owner, VECFRAME_LENGTHS),
        b(&owner, VECFRAME_LENGTHS);
    ASSERT_EQ(convert("A B", 5, &all), S_OK);
    ASSERT_EQ(convert("A", 5, &a), S_OK);
    ASSERT_EQ(convert("B", 5 + dc.Width("A") + dc.Width(" "), &b), S_OK);
    ASSERT_GT(a.GetCount(), 0);
    ASSERT_GT(b.GetCount(), 0);
    ASSERT_EQ(all.GetCount(), a.GetCount() + b.GetCount());
    for (int i = 0; i < b.GetCount(); ++i)
        EXPECT_TRUE(
            SamePoints(PointsOf(all.GetGraphMeta(a.GetCount() + i)), PointsOf(b.GetGraphMeta(i))))
            << i;

    // A double-byte character advances by its width on both bytes.
    CVecFrame two(&owner, VECFRAME_LENGTHS), after(&owner, VECFRAME_LENGTHS);
    ASSERT_EQ(convert("\xD6\xD0O", 5, &two), S_OK);
    ASSERT_EQ(convert("O", 5 + dc.Width("\xD6\xD0"), &after), S_OK);
    ASSERT_EQ(two.GetCount(), 3 + 2);
    EXPECT_TRUE(SamePoints(PointsOf(two.GetGraphMeta(4)), PointsOf(after.GetGraphMeta(1))));

    // Nothing to convert: nothing added.
    CVecFrame none(&owner, VECFRAME_LENGTHS);
    EXPECT_EQ(convert("", 5, &none), S_OK);
    EXPECT_EQ(convert("  ", 5, &none), S_OK);
    EXPECT_EQ(none.GetCount(), 0);
}

TEST(TextMeta, ContourDataReplacesTheText) {
    FakeOwner owner;
    CVecFrame frame(&owner, VECFRAME_LENGTHS);
    CTextMeta* text = new CTextMeta(&owner);
    text->SetFont(Font(kFace, -60));
    text->SetText("O");
    text->SetOrigin(POINT{20, 30});
    ASSERT_EQ(frame.AddMeta(text, METATYPE_TEXT), S_OK);
    FontDC dc(kFace, -60);
    ASSERT_EQ(dc.Face(), kFace);
    RECT tb;
    text->GetBoundRect(&tb);
    ASSERT_EQ(text->GetContourData(dc.dc(), &frame), S_OK);
    ASSERT_EQ(frame.GetCount(), 3);
    EXPECT_TRUE(text->IsHidden());

    // The outlines sit on the bounds' baseline: the same as a conversion
    // made there by hand.
    CVecFrame by(&owner, VECFRAME_LENGTHS);
    CVecText t(&owner);
    t.SetText("O");
    t.SetOrigin(tb.left, tb.bottom - (tb.bottom - tb.top) / 5);
    t.SetCurrentFont(Font(kFace, -60));
    ASSERT_EQ(t.CreateFromText(dc.dc(), &by), S_OK);
    ASSERT_EQ(by.GetCount(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(SamePoints(PointsOf(frame.GetGraphMeta(1 + i)), PointsOf(by.GetGraphMeta(i))));

    frame.RemoveEmptyMetas();
    ASSERT_EQ(frame.GetCount(), 2);
    EXPECT_TRUE(frame.IsGraphMeta(0) && frame.IsGraphMeta(1));

    // A hidden text converts to nothing.
    CTextMeta* hidden = new CTextMeta(&owner);
    hidden->SetText("O");
    hidden->SetHidden(true);
    ASSERT_EQ(frame.AddMeta(hidden, METATYPE_TEXT), S_OK);
    EXPECT_EQ(hidden->GetContourData(dc.dc(), &frame), S_OK);
    EXPECT_EQ(frame.GetCount(), 3);
}
