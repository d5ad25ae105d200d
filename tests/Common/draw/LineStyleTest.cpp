// Line styles: defaults, pens against the test's own GDI pens, double and
// decorative lines, interpolation, outline regions, the stored form.
#include <gtest/gtest.h>

#include "DrawTestUtil.h"
#include "TestFiles.h"
#include "bLinStyl.h"

using namespace drawtest;

namespace {

CComPtr<LineStyleObject> NewStyle() {
    CComPtr<LineStyleObject> s;
    s.Attach(CreateLineStyObj());
    EXPECT_TRUE(s != nullptr);
    return s;
}

template <class F>
CComPtr<IPixelBuffer> Painted(int w, int h, F draw) {
    CComPtr<IPixelBuffer> buffer = MakeBuffer(w, h, 0x00FFFFFF);
    HDC dc = nullptr;
    buffer->GetDC(&dc);
    draw(dc);
    GdiFlush();
    buffer->ReleaseDC(dc);
    return buffer;
}

int CountNot(IPixelBuffer* buffer, DWORD value) {
    int n = 0;
    for (DWORD p : Pixels(buffer)) n += (p & 0xFFFFFF) != value;
    return n;
}

}  // namespace

TEST(LineStyle, NewStyleDrawsSolidBlackOneUnitWide) {
    CComPtr<LineStyleObject> s = NewStyle();
    int type = 0, transparent = 1, smooth = 0;
    WORD width = 0, tile = 9;
    COLORREF color = 1, color2 = 0, back = 0;
    s->GetLineType(&type);
    s->GetWidth(&width);
    s->GetTileCode(&tile);
    s->GetColor(&color);
    s->GetColor2(&color2);
    s->GetBackColor(&back);
    s->GetTransparent(&transparent);
    s->GetSmooth(&smooth);
    EXPECT_EQ(5, type);
    EXPECT_EQ(1, width);
    EXPECT_EQ(0, tile);
    EXPECT_EQ(0u, color);
    EXPECT_EQ(0x808080u, color2);
    EXPECT_EQ(0xFFFFFFu, back);
    EXPECT_EQ(0, transparent);
    EXPECT_EQ(1, smooth);

    POINT line[2] = {{2, 5}, {20, 5}};
    CComPtr<IPixelBuffer> buffer = MakeBuffer(24, 10, 0x00FFFFFF);
    EXPECT_EQ(S_OK, s->DrawToBuffer(buffer, SHAPE_LINE, line, 2, 0));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 24; ++x) {
            bool on = y == 5 && x >= 2 && x < 20;
            ASSERT_EQ(on ? 0u : 0xFFFFFFu, Pixel(buffer, x, y) & 0xFFFFFF) << x << "," << y;
        }
    // Slanted lines are smoothed: some pixels are neither white nor black.
    POINT slant[2] = {{1, 1}, {22, 8}};
    CComPtr<IPixelBuffer> aa = MakeBuffer(24, 10, 0x00FFFFFF);
    s->DrawToBuffer(aa, SHAPE_LINE, slant, 2, 0);
    int grey = 0;
    for (DWORD p : Pixels(aa)) grey += (p & 0xFFFFFF) != 0 && (p & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_GT(grey, 5);
}

TEST(LineStyle, PensEqualTheTestsOwnGdiPens) {
    const int styles[] = {PS_DOT, PS_DASH, PS_DASHDOT, PS_DASHDOTDOT, -1, PS_INSIDEFRAME};
    POINT two[2] = {{4, 6}, {70, 40}};
    POINT poly[4] = {{3, 3}, {60, 10}, {20, 45}, {70, 44}};
    POINT bez[4] = {{5, 40}, {20, 0}, {50, 70}, {75, 5}};
    struct Shape {
        int kind;
        const POINT* pts;
        int count;
    } shapes[] = {{SHAPE_LINE, two, 2},      {SHAPE_POLYLINE, poly, 4}, {SHAPE_RECT, two, 2},
                  {SHAPE_ROUNDRECT, two, 2}, {SHAPE_ELLIPSE, two, 2},   {SHAPE_BEZIER, bez, 4},
                  {SHAPE_POLYGON, poly, 4}};
    for (int type : {0, 1, 2, 3, 5})
        for (WORD width : {1, 3})
            for (const Shape& shape : shapes) {
                SCOPED_TRACE(testing::Message()
                             << "type " << type << " width " << width << " kind " << shape.kind);
                CComPtr<LineStyleObject> s = NewStyle();
                s->SetLineType(type);
                s->SetWidth(width);
                s->SetSmooth(0);
                s->SetColor(RGB(200, 10, 30));
                s->SetBackColor(RGB(0, 90, 0));
                CComPtr<IPixelBuffer> got = Painted(80, 50, [&](HDC dc) {
                    EXPECT_EQ(S_OK, s->Draw(dc, shape.kind, shape.pts, shape.count, 30, 0));
                });
                CComPtr<IPixelBuffer> want = Painted(80, 50, [&](HDC dc) {
                    HPEN pen = CreatePen(styles[type], type == 5 ? width : 1, RGB(200, 10, 30));
                    HGDIOBJ old = SelectObject(dc, pen);
                    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
                    SetBkMode(dc, OPAQUE);
                    SetBkColor(dc, RGB(0, 90, 0));
                    const POINT* p = shape.pts;
                    int w = abs(two[1].x - two[0].x), h = abs(two[1].y - two[0].y);
                    int eh = 30 * h / 100;  // h < w: the ellipse height from the percent
                    (void)w;
                    switch (shape.kind) {
                        case SHAPE_RECT:
                            Rectangle(dc, p[0].x, p[0].y, p[1].x, p[1].y);
                            break;
                        case SHAPE_ROUNDRECT:
                            RoundRect(dc, p[0].x, p[0].y, p[1].x, p[1].y, eh, eh);
                            break;
                        case SHAPE_ELLIPSE:
                            Ellipse(dc, p[0].x, p[0].y, p[1].x, p[1].y);
                            break;
                        case SHAPE_BEZIER:
                            PolyBezier(dc, p, shape.count);
                            break;
                        default:
                            Polyline(dc, p, shape.count);
                    }
                    SelectObject(dc, oldBrush);
                    SelectObject(dc, old);
                    DeleteObject(pen);
                });
                EXPECT_TRUE(Pixels(got) == Pixels(want));
                EXPECT_GT(CountNot(got, 0xFFFFFF), 10);
            }
}

TEST(LineStyle, RefusalsAndNoLine) {
    CComPtr<LineStyleObject> s = NewStyle();
    POINT pts[2] = {{1, 1}, {9, 9}};
    POINT zero[2] = {};
    CComPtr<IPixelBuffer> buffer = MakeBuffer(12, 12, 0x00FFFFFF);
    HDC dc = nullptr;
    buffer->GetDC(&dc);
    EXPECT_EQ(E_INVALIDARG, s->Draw(dc, SHAPE_LINE, pts, 1, 0, 0));
    EXPECT_EQ(E_NOTIMPL, s->Draw(dc, 8, pts, 2, 0, 0));
    s->SetSmooth(0);
    EXPECT_EQ(E_INVALIDARG, s->Draw(dc, SHAPE_RECT, zero, 2, 0, 0));
    s->SetLineType(9);
    EXPECT_EQ(E_FAIL, s->Draw(dc, SHAPE_LINE, pts, 2, 0, 0));
    s->SetLineType(LINE_NONE);
    EXPECT_EQ(S_OK, s->Draw(dc, SHAPE_RECT, pts, 2, 0, 0));
    GdiFlush();
    buffer->ReleaseDC(dc);
    EXPECT_EQ(0, CountNot(buffer, 0xFFFFFF));
    EXPECT_EQ(E_NOTIMPL, s->Reserved5(nullptr));
}

TEST(LineStyle, PointsInFineUnitsStayTheCallers) {
    CComPtr<LineStyleObject> s = NewStyle();
    s->SetSmooth(0);
    POINT fine[2] = {{3 * 256, 4 * 256}, {30 * 256 + 100, 20 * 256}};
    POINT plain[2] = {{3, 4}, {30, 20}};
    CComPtr<IPixelBuffer> a =
        Painted(40, 30, [&](HDC dc) { s->Draw(dc, SHAPE_RECT, fine, 2, 0, 1); });
    CComPtr<IPixelBuffer> b =
        Painted(40, 30, [&](HDC dc) { s->Draw(dc, SHAPE_RECT, plain, 2, 0, 0); });
    EXPECT_TRUE(Pixels(a) == Pixels(b));
    EXPECT_EQ(3 * 256, fine[0].x);
    EXPECT_EQ(30 * 256 + 100, fine[1].x);
}

TEST(LineStyle, DoubleLines) {
    POINT rect[2] = {{5, 5}, {45, 35}};
    auto draw = [&](int type, WORD width) {
        CComPtr<LineStyleObject> s = NewStyle();
        s->SetLineType(type);
        s->SetWidth(width);
        s->SetSmooth(0);
        s->SetColor(RGB(0, 0, 200));
        s->SetColor2(RGB(0, 150, 0));
        return Painted(50, 40,
                       [&](HDC dc) { EXPECT_EQ(S_OK, s->Draw(dc, SHAPE_RECT, rect, 2, 0, 0)); });
    };
    // A second line in colour 2 one pen width inside.
    CComPtr<IPixelBuffer> two = draw(LINE_DOUBLE, 3);
    EXPECT_EQ(0x0000C8u, Pixel(two, 12, 5) & 0xFFFFFF);
    EXPECT_EQ(0x0000C8u, Pixel(two, 12, 7) & 0xFFFFFF);
    EXPECT_EQ(0x009600u, Pixel(two, 12, 8) & 0xFFFFFF);
    EXPECT_EQ(0x009600u, Pixel(two, 8, 12) & 0xFFFFFF);
    EXPECT_EQ(0xFFFFFFu, Pixel(two, 20, 20) & 0xFFFFFF);
    // Too wide for the inside: the outer line only.
    CComPtr<IPixelBuffer> wide = draw(LINE_DOUBLE, 16);
    CComPtr<IPixelBuffer> solid = draw(LINE_SOLID, 16);
    EXPECT_TRUE(Pixels(wide) == Pixels(solid));
    for (DWORD p : Pixels(wide)) ASSERT_NE(0x009600u, p & 0xFFFFFF);
}

TEST(LineStyle, DecorativeBorders) {
    const BYTE* table = GetFancyTable();
    ASSERT_TRUE(table != nullptr);
    auto style = [](WORD code, WORD width) {
        CComPtr<LineStyleObject> s = NewStyle();
        s->SetLineType(LINE_FANCY);
        s->SetTileCode(code);
        s->SetWidth(width);
        s->SetColor(RGB(255, 0, 0));
        s->SetBackColor(RGB(0, 0, 255));
        return s;
    };
    // A wide rectangle: the top-left corner is the corner tile turned 270,
    // the first top cell the edge tile as stored (the remainder spread).
    CComPtr<LineStyleObject> s = style(3, 16);
    POINT rect[2] = {{0, 0}, {100, 60}};
    CComPtr<IPixelBuffer> buffer =
        Painted(110, 70, [&](HDC dc) { EXPECT_EQ(S_OK, s->Draw(dc, SHAPE_RECT, rect, 2, 0, 0)); });
    const BYTE* edge = table + 6 * 32;
    const BYTE* corner = edge + 32;
    auto bit = [](const BYTE* t, int x, int y) {
        return (t[y * 2 + x / 8] & (0x80 >> (x % 8))) != 0;
    };
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            // Turned 270 clockwise: new (x, y) takes old (15 - y, x).
            DWORD want = bit(corner, 15 - y, x) ? 0xFF0000 : 0x0000FF;
            ASSERT_EQ(want, Pixel(buffer, x, y) & 0xFFFFFF) << x << "," << y;
        }
    // 100 wide: 6 cells, the 4 inner ones 17 wide.
    for (int y = 0; y < 16; ++y)
        for (int x = 16; x < 33; ++x) {
            DWORD want = bit(edge, (x - 16) * 16 / 17, y) ? 0xFF0000 : 0x0000FF;
            ASSERT_EQ(want, Pixel(buffer, x, y) & 0xFFFFFF) << x << "," << y;
        }
    EXPECT_EQ(0xFFFFFFu, Pixel(buffer, 50, 30) & 0xFFFFFF);
    EXPECT_EQ(0xFFFFFFu, Pixel(buffer, 105, 30) & 0xFFFFFF);

    // Narrow rectangles: stretched tiles, nothing outside.
    for (int w : {5, 20, 40}) {
        POINT narrow[2] = {{2, 2}, {2 + w, 50}};
        CComPtr<IPixelBuffer> b =
            Painted(60, 60, [&](HDC dc) { s->Draw(dc, SHAPE_RECT, narrow, 2, 0, 0); });
        int inside = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 60; ++x) {
                bool in = x >= 2 && x < 2 + w && y >= 2 && y < 50;
                DWORD p = Pixel(b, x, y) & 0xFFFFFF;
                if (!in)
                    ASSERT_EQ(0xFFFFFFu, p) << w << ": " << x << "," << y;
                else
                    inside += p != 0xFFFFFF;
            }
        EXPECT_GT(inside, w * 4) << w;
    }

    // A segment shorter than a tile still gets one; codes beyond the table
    // draw nothing.
    POINT shortLine[2] = {{10, 10}, {16, 10}};
    CComPtr<IPixelBuffer> one =
        Painted(30, 30, [&](HDC dc) { s->Draw(dc, SHAPE_LINE, shortLine, 2, 0, 0); });
    EXPECT_GT(CountNot(one, 0xFFFFFF), 20);
    CComPtr<LineStyleObject> beyond = style(102, 16);
    CComPtr<IPixelBuffer> none = Painted(
        110, 70, [&](HDC dc) { EXPECT_EQ(S_OK, beyond->Draw(dc, SHAPE_RECT, rect, 2, 0, 0)); });
    EXPECT_EQ(0, CountNot(none, 0xFFFFFF));

    // A slanted closed figure covers its outline.
    POINT tri[4] = {{10, 10}, {90, 20}, {40, 60}, {10, 10}};
    CComPtr<IPixelBuffer> t =
        Painted(100, 70, [&](HDC dc) { s->Draw(dc, SHAPE_POLYGON, tri, 4, 0, 0); });
    EXPECT_GT(CountNot(t, 0xFFFFFF), 200);
}

TEST(LineStyle, Interpolation) {
    CComPtr<LineStyleObject> a = NewStyle(), b = NewStyle(), out = NewStyle();
    a->SetLineType(LINE_DOT);
    b->SetLineType(LINE_DASH);
    {
        LogCapture log;
        EXPECT_EQ(E_INVALIDARG, out->InterpolateLineStyle(a, b, 50));
        EXPECT_LOGGED(log, "InterpolateLineStyle: Different type of line: 1: 0 2: 1");
    }
    a->SetLineType(LINE_SOLID);
    b->SetLineType(LINE_SOLID);
    a->SetWidth(2);
    b->SetWidth(7);
    a->SetColor(RGB(0, 100, 200));
    b->SetColor(RGB(100, 100, 0));
    EXPECT_EQ(S_OK, out->InterpolateLineStyle(a, b, 50));
    WORD width = 0;
    COLORREF color = 0;
    out->GetWidth(&width);
    out->GetColor(&color);
    EXPECT_EQ(5, width);  // round(4.5)
    EXPECT_EQ(RGB(50, 100, 100), color);
    out->SetLineType(LINE_FANCY);
    EXPECT_EQ(E_INVALIDARG, out->InterpolateLineStyle(a, b, 50));
}

TEST(LineStyle, OutlineRegions) {
    CComPtr<LineStyleObject> s = NewStyle();
    s->SetWidth(3);
    HRGN target = CreateRectRgn(100, 100, 101, 101);
    RECT r = {0, 0, 20, 20};
    EXPECT_EQ(S_OK, s->AddOutlineRegion(SHAPE_RECT, &r, 0, target));
    EXPECT_TRUE(PtInRegion(target, 100, 100));  // OR-ed into what was there
    EXPECT_TRUE(PtInRegion(target, 0, 0));
    EXPECT_TRUE(PtInRegion(target, 2, 10));
    EXPECT_FALSE(PtInRegion(target, 3, 10));
    EXPECT_FALSE(PtInRegion(target, 10, 10));
    DeleteObject(target);
    // A double line counts twice; an outline wider than half the side has
    // no hole.
    s->SetLineType(LINE_DOUBLE);
    target = CreateRectRgn(0, 0, 0, 0);
    s->AddOutlineRegion(SHAPE_ELLIPSE, &r, 0, target);
    EXPECT_TRUE(PtInRegion(target, 10, 5));
    EXPECT_FALSE(PtInRegion(target, 10, 7));
    DeleteObject(target);
    s->SetWidth(6);
    target = CreateRectRgn(0, 0, 0, 0);
    s->AddOutlineRegion(SHAPE_RECT, &r, 0, target);
    EXPECT_TRUE(PtInRegion(target, 10, 10));
    s->AddOutlineRegion(SHAPE_LINE, &r, 0, target);
    DeleteObject(target);
}

TEST(LineStyle, StoredFormRoundTripsAndSkipsTheReservedBytes) {
    CComPtr<LineStyleObject> s = NewStyle();
    s->SetLineType(LINE_DOUBLE);
    s->SetWidth(7);
    s->SetTileCode(12);
    s->SetColor(0x010203);
    s->SetColor2(0x040506);
    s->SetBackColor(0x070809);
    s->SetTransparent(1);
    std::string bytes = SavedBytes(s.p);
    std::string want = U32(6) + U32(7) + U32(12) + U32(0x010203) + U32(0x040506) + U32(0x070809) +
                       std::string(16, '\0') + U32(2) + U32(0);
    EXPECT_EQ(want, bytes);
    std::string reserved = bytes;
    for (int i = 24; i < 40; ++i) reserved[i] = (char)0xEE;
    CComPtr<LineStyleObject> back = NewStyle();
    ULONGLONG pos = 0;
    EXPECT_EQ(S_OK, LoadFrom(back.p, reserved, &pos));
    EXPECT_EQ(48u, pos);
    EXPECT_EQ(bytes, SavedBytes(back.p));
    CComPtr<LineStyleObject> copy = NewStyle();
    copy->CopyFrom(back);
    EXPECT_EQ(bytes, SavedBytes(copy.p));
    for (size_t n = 0; n < bytes.size(); ++n) {
        CComPtr<LineStyleObject> keep = NewStyle();
        std::string before = SavedBytes(keep.p);
        EXPECT_TRUE(FAILED(LoadFrom(keep.p, bytes.substr(0, n))));
        EXPECT_EQ(before, SavedBytes(keep.p));
    }
}

TEST(LineStyle, SmoothShapesStayOnTheirOutline) {
    POINT two[2] = {{10, 8}, {70, 48}};
    POINT poly[4] = {{10, 8}, {70, 12}, {30, 48}, {66, 40}};
    POINT bez[4] = {{10, 40}, {25, 0}, {55, 60}, {70, 8}};
    struct Shape {
        int kind;
        const POINT* pts;
        int count;
    } shapes[] = {{SHAPE_LINE, two, 2},    {SHAPE_POLYLINE, poly, 4}, {SHAPE_ROUNDRECT, two, 2},
                  {SHAPE_ELLIPSE, two, 2}, {SHAPE_BEZIER, bez, 4},    {SHAPE_POLYGON, poly, 4}};
    for (WORD width : {1, 6})
        for (const Shape& shape : shapes) {
            SCOPED_TRACE(testing::Message() << "kind " << shape.kind << " width " << width);
            CComPtr<LineStyleObject> s = NewStyle();
            s->SetWidth(width);
            s->SetColor(RGB(0, 0, 0));
            CComPtr<IPixelBuffer> b = Painted(80, 60, [&](HDC dc) {
                EXPECT_EQ(S_OK, s->Draw(dc, shape.kind, shape.pts, shape.count, 30, 0));
            });
            int ink = 0, grey = 0;
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 80; ++x) {
                    DWORD p = Pixel(b, x, y) & 0xFFFFFF;
                    if (p == 0xFFFFFF)
                        continue;
                    ++ink;
                    grey += p != 0;
                    // Nothing far from the shape's box.
                    ASSERT_GE(x, 10 - width - 2);
                    ASSERT_LE(x, 70 + width + 2);
                    ASSERT_GE(y, 0);
                    ASSERT_LE(y, 48 + width + 2);
                }
            EXPECT_GT(ink, 40);
            EXPECT_GT(grey, 0);  // smoothed edges
        }
    // The ellipse passes through the middle of its top side.
    CComPtr<LineStyleObject> s = NewStyle();
    CComPtr<IPixelBuffer> e =
        Painted(80, 60, [&](HDC dc) { s->Draw(dc, SHAPE_ELLIPSE, two, 2, 0, 0); });
    int darkest = 255;
    for (int y = 6; y <= 10; ++y) darkest = std::min<int>(darkest, Pixel(e, 40, y) & 0xFF);
    EXPECT_LT(darkest, 128);
}

TEST(LineStyle, LevelAndUprightSmoothLinesAsPixelByPixel) {
    // Level and upright smooth lines are set a span at a time on a plain
    // true-colour bitmap. A mapping of one unit to one pixel that is not the
    // plain one takes the pixel-by-pixel way: both must give the same
    // pixels, over a background the partly covered pixels blend with.
    struct Line {
        std::vector<POINT> pts;
        int kind;
    } lines[] = {
        {{{5, 10}, {70, 10}}, SHAPE_LINE},                               // level
        {{{70, 20}, {5, 20}}, SHAPE_LINE},                               // level, drawn backwards
        {{{12, 3}, {12, 55}}, SHAPE_LINE},                               // upright
        {{{40, 55}, {40, 3}}, SHAPE_LINE},                               // upright, backwards
        {{{-5, 30}, {90, 30}}, SHAPE_LINE},                              // past the bitmap's edges
        {{{8, 8}, {60, 8}, {60, 50}, {8, 50}, {8, 8}}, SHAPE_POLYLINE},  // a closed frame
        {{{20, 5}, {21, 50}}, SHAPE_LINE},  // nearly upright: not a span
    };
    auto background = [](IPixelBuffer* b) {
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x) Pixel(b, x, y) = (DWORD)(x * 3 << 16 | y * 4 << 8 | 0x40);
    };
    for (WORD width : {1, 2, 3, 6})
        for (const Line& line : lines) {
            SCOPED_TRACE(testing::Message() << "width " << width << " from " << line.pts[0].x << ","
                                            << line.pts[0].y << " kind " << line.kind);
            CComPtr<LineStyleObject> s = NewStyle();
            s->SetWidth(width);
            s->SetColor(RGB(200, 30, 90));
            auto draw = [&](bool plain) {
                CComPtr<IPixelBuffer> b = MakeBuffer(80, 60, 0);
                background(b);
                HDC dc = nullptr;
                b->GetDC(&dc);
                HRGN clip = CreateRectRgn(2, 2, 76, 52);  // a clip holds for both ways
                SelectClipRgn(dc, clip);
                DeleteObject(clip);
                if (!plain) {
                    SetMapMode(dc, MM_ANISOTROPIC);
                    SetWindowExtEx(dc, 1, 1, nullptr);
                    SetViewportExtEx(dc, 1, 1, nullptr);
                }
                EXPECT_EQ(S_OK,
                          s->Draw(dc, line.kind, line.pts.data(), (int)line.pts.size(), 0, 0));
                GdiFlush();
                SetMapMode(dc, MM_TEXT);
                SelectClipRgn(dc, nullptr);
                b->ReleaseDC(dc);
                return b;
            };
            CComPtr<IPixelBuffer> fast = draw(true), slow = draw(false);
            std::vector<DWORD> a = Pixels(fast), b = Pixels(slow);
            int differ = 0, ink = 0;
            for (size_t i = 0; i < a.size(); ++i) {
                differ += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
                const DWORD x = (DWORD)(i % 80), y = (DWORD)(i / 80);
                ink += (a[i] & 0xFFFFFF) != (x * 3 << 16 | y * 4 << 8 | 0x40);
            }
            EXPECT_EQ(differ, 0);
            EXPECT_GT(ink, 20);
        }
}
