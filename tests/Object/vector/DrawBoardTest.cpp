#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "ProjectWriter.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "VectorRecords.h"
#include "aGDIBuf.h"
#include "aGrphMta.h"
#include "aTxtMeta.h"
#include "aUtil.h"
#include "adrwObj.h"
#include "bExpression.h"
#include "bFillGrd.h"
#include "bFillShd.h"
#include "bLinStyl.h"
#include "bScriptCtx.h"
#include "bVarMgr.h"

namespace {

DWORD PixelOf(IPixelBuffer* buffer, int x, int y) {
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    buffer->GetBufferInfo(&info);
    return reinterpret_cast<const DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch)[x] &
           0x00FFFFFF;
}

// An evaluator that reads the variable x and answers by its mode.
struct CurveExpression : IExpression {
    enum Mode { SQUARE, REAL, SHORT, FLOAT, TEXT, FAIL } mode = SQUARE;
    VariableManager* vars = nullptr;
    std::vector<long long> seen;
    std::vector<std::string> texts;
    HRESULT Evaluate(const char* text, VARIANT* result) override {
        texts.push_back(text);
        VARIANT x;
        VariantInit(&x);
        vars->GetValueByName("x", &x);
        const LONG v = x.vt == VT_I4 ? x.lVal : 0;
        seen.push_back(v);
        VariantClear(&x);
        switch (mode) {
            case SQUARE:
                result->vt = VT_I4;
                result->lVal = v * v;
                break;
            case REAL:
                result->vt = VT_R8;
                result->dblVal = 2.5;
                break;
            case SHORT:
                result->vt = VT_I2;
                result->iVal = 7;
                break;
            case FLOAT:
                result->vt = VT_R4;
                result->fltVal = 2.9f;
                break;
            case TEXT:
                result->vt = VT_BSTR;
                result->bstrVal = SysAllocString(L"12");
                break;
            case FAIL:
                return E_FAIL;
        }
        return S_OK;
    }
    void DeleteThis() override {}
};

// The play site with an evaluator and the script context record.
class CurveSite : public ServiceTestSite {
public:
    STDMETHOD(GetExpression)(IExpression** out) override {
        *out = &expression;
        return S_OK;
    }
    STDMETHOD(GetScriptContext)(void** out) override {
        *out = &context;
        return S_OK;
    }
    CurveExpression expression;
    CScriptContext context;
};

class DrawBoardTest : public ObjectFixture {
protected:
    DrawBoardTest() {
        curveSite.creator = &creator;
        objectSite.play = &curveSite;
        VARIANT zero;
        zero.vt = VT_I4;
        zero.lVal = 0;
        globals.Insert(-1, "x", zero, zero);
        vars.SetGlobalList(&globals);
        curveSite.expression.vars = &vars;
        curveSite.context.variables = &vars;
    }
    // A board of 200 x 100 centred at (200, 150).
    DrawBoardObject* MakeBoard() {
        DrawBoardObject* b = MakeBuiltin<DrawBoardObject>(CreateDrawBoardObject);
        b->MoveTo(200, 150);
        b->SetWidth(200);
        b->SetHeight(100);
        return b;
    }
    CComPtr<IPixelBuffer> WhiteTarget() {
        CComPtr<IPixelBuffer> target;
        target.Attach(CreateGDIBuffer(400, 300));
        target->FillRect(nullptr, 0xFFFFFF);
        return target;
    }
    static HRESULT Curve(DrawBoardObject* b, const wchar_t* text, LONG x1, LONG x2, LONG dx,
                         bool lines = true) {
        BSTR t = SysAllocString(text);
        HRESULT hr = lines ? b->DrawLineCurve(t, x1, x2, dx) : b->DrawPixelCurve(t, x1, x2, dx);
        SysFreeString(t);
        return hr;
    }
    static POINT FirstPoint(DrawBoardObject* b, int index) {
        CGraphMeta* g = b->Frame()->GetGraphMeta(index);
        return g && g->GetCount() ? g->GetData()[0] : POINT{-9999, -9999};
    }

    CurveSite curveSite;
    CVarList globals;
    VariableManager vars;
};

TEST_F(DrawBoardTest, RectangleAndPointsOnAGdiBufferAlsoAtHalfAlpha) {
    for (int alpha : {255, 128}) {
        DrawBoardObject* b = MakeBoard();
        ASSERT_NE(b, nullptr);
        b->SetAlpha(alpha);
        EXPECT_EQ(b->SetLineColor(0x0000FF), S_OK);
        EXPECT_EQ(b->SetLineStyle(1), S_OK);
        EXPECT_EQ(b->SetFillType(1), S_OK);
        EXPECT_EQ(b->SetFillColor(0xFF0000), S_OK);
        EXPECT_EQ(b->DrawRect(10, 10, 60, 40), S_OK);
        EXPECT_EQ(b->DrawPixel(5, 5), S_OK);
        EXPECT_EQ(b->SetLineColor(0x00FF00), S_OK);
        EXPECT_EQ(b->DrawPixel(6, 5), S_OK);
        CComPtr<IPixelBuffer> target = WhiteTarget();
        ASSERT_EQ(static_cast<II_IRender*>(b)->Draw(target), S_OK);
        if (alpha == 255) {
            EXPECT_EQ(PixelOf(target, 110, 125), 0xFF0000u);  // the outline, red
            EXPECT_EQ(PixelOf(target, 159, 125), 0xFF0000u);
            EXPECT_EQ(PixelOf(target, 135, 125), 0x0000FFu);  // the fill, blue
            EXPECT_EQ(PixelOf(target, 160, 125), 0xFFFFFFu);  // outside
            EXPECT_EQ(PixelOf(target, 105, 105), 0xFF0000u);  // each point in its colour
            EXPECT_EQ(PixelOf(target, 106, 105), 0x00FF00u);
            EXPECT_EQ(PixelOf(target, 100, 120), 0u);  // the media frame's outline
        } else {
            // Half way to white, at the same places.
            auto half = [](DWORD p, int shift) { return (int)((p >> shift) & 0xFF); };
            const DWORD red = PixelOf(target, 110, 125), blue = PixelOf(target, 135, 125);
            EXPECT_GT(half(red, 16), 0xF0);
            EXPECT_NEAR(half(red, 0), 0x7F, 3);
            EXPECT_NEAR(half(blue, 16), 0x7F, 3);
            EXPECT_GT(half(blue, 0), 0xF0);
            EXPECT_NEAR(half(PixelOf(target, 159, 125), 0), 0x7F, 3);
            EXPECT_NEAR(half(PixelOf(target, 106, 105), 16), 0x7F, 3);
            EXPECT_EQ(PixelOf(target, 160, 125), 0xFFFFFFu);
        }
    }
}

TEST_F(DrawBoardTest, SolidFillsPaintTheFillsOwnPixelsAndShapesStayOnTheBoard) {
    // Board (0, 0) is page (100, 100); shapes inside, on the edges, beyond.
    const struct {
        int kind;
        RECT r;
    } cases[] = {{GRAPH_RECT, {10, 10, 61, 41}},    {GRAPH_ELLIPSE, {10, 10, 61, 41}},
                 {GRAPH_ELLIPSE, {3, 7, 50, 90}},   {GRAPH_ELLIPSE, {-30, -20, 80, 60}},
                 {GRAPH_RECT, {150, 50, 260, 140}}, {GRAPH_ELLIPSE, {120, 40, 240, 130}}};
    for (const auto& c : cases) {
        DrawBoardObject* b = MakeBoard();
        b->SetLineStyle(0);  // no outline: the fill alone
        b->SetFillType(1);
        b->SetFillColor(0x3366CC);
        if (c.kind == GRAPH_RECT)
            b->DrawRect(c.r.left, c.r.top, c.r.right, c.r.bottom);
        else
            b->DrawEllipse(c.r.left, c.r.top, c.r.right, c.r.bottom);
        CComPtr<IPixelBuffer> drawn = WhiteTarget();
        ASSERT_EQ(static_cast<II_IRender*>(b)->Draw(drawn), S_OK);
        // The fill object's own drawing into the shape's region and the board.
        CComPtr<IPixelBuffer> want = WhiteTarget();
        CComPtr<FillObject> fill;
        fill.Attach(CreateFillObject());
        fill->SetMode(FILLMODE_FILL);
        void* params = nullptr;
        fill->GetFillParams(&params);
        static_cast<ISolidFillParams*>(params)->SetColor(0x3366CC);
        const RECT page = b->Frame()->GetGraphMeta(0)->Bounds();
        RECT shape = page;
        OffsetRect(&shape, 200, 150);
        HDC dc = nullptr;
        ASSERT_EQ(want->GetDC(&dc), S_OK);
        HRGN rgn = c.kind == GRAPH_RECT
                       ? CreateRectRgn(shape.left, shape.top, shape.right, shape.bottom)
                       : CreateEllipticRgn(shape.left, shape.top, shape.right, shape.bottom);
        HRGN boardRgn = CreateRectRgn(100, 100, 300, 200);
        CombineRgn(rgn, rgn, boardRgn, RGN_AND);
        SelectClipRgn(dc, rgn);
        fill->RenderToDC(dc, &shape, &shape, nullptr);
        SelectClipRgn(dc, nullptr);
        DeleteObject(rgn);
        DeleteObject(boardRgn);
        want->ReleaseDC(dc);
        int differ = 0;
        // Inside the board's one-pixel outline, and all around it.
        for (int y = 80; y < 220; ++y)
            for (int x = 80; x < 320; ++x) {
                const bool outline = (x == 100 || x == 299) && y >= 100 && y < 200;
                const bool edge = (y == 100 || y == 199) && x >= 100 && x < 300;
                if (!outline && !edge && PixelOf(drawn, x, y) != PixelOf(want, x, y))
                    ++differ;
            }
        EXPECT_EQ(differ, 0) << c.kind << " " << c.r.left << "," << c.r.top;
    }
}

TEST_F(DrawBoardTest, LineAndFillSettings) {
    DrawBoardObject* b = MakeBoard();
    CMetaEnv* env = b->Env();
    // The defaults: grey lines of width 1, no fill.
    COLORREF c = 0;
    env->line.Get()->GetColor(&c);
    EXPECT_EQ(c, 0x808080u);
    EXPECT_EQ(env->line.GetEffectiveWidth(), 1);
    EXPECT_TRUE(env->fill.IsNoFill());
    EXPECT_EQ(b->KeptValue(), 50);

    const struct {
        LONG style;
        HRESULT hr;
        int type;
        WORD code;
    } styles[] = {{0, S_OK, LINE_NONE, 0},          {1, S_OK, LINE_SOLID, 0},
                  {2, S_OK, LINE_DOT, 0},           {5, S_OK, LINE_DASHDOTDOT, 0},
                  {7, S_OK, LINE_FANCY, 1},         {6, S_OK, LINE_FANCY, 0},
                  {-1, E_INVALIDARG, LINE_FANCY, 0}};
    for (const auto& s : styles) {
        EXPECT_EQ(b->SetLineStyle(s.style), s.hr) << s.style;
        EXPECT_EQ(env->line.GetLineType(), s.type) << s.style;
        WORD code = 99;
        env->line.Get()->GetTileCode(&code);
        EXPECT_EQ(code, s.code) << s.style;
    }
    EXPECT_EQ(b->SetLineBkColor(0x123456), S_OK);
    env->line.Get()->GetBackColor(&c);
    EXPECT_EQ(c, 0x123456u);
    for (LONG w : {-1L, 65536L, 70000L}) EXPECT_EQ(b->SetLineWidth(w), E_INVALIDARG) << w;
    EXPECT_EQ(b->SetLineWidth(65535), S_OK);

    FillObject* fill = env->fill.GetFill();
    int pattern = -1;
    const struct {
        LONG mode;
        HRESULT hr;
        int fillMode, pattern;
    } modes[] = {{1, S_OK, FILLMODE_FILL, 0},
                 {0, S_OK, FILLMODE_NONE, 0},
                 {5, S_OK, FILLMODE_PATTERN, 3},
                 {-1, E_INVALIDARG, FILLMODE_PATTERN, 3}};
    for (const auto& m : modes) {
        EXPECT_EQ(b->SetFillMode(m.mode), m.hr) << m.mode;
        EXPECT_EQ(env->fill.GetFillMode(), m.fillMode) << m.mode;
        if (m.fillMode == FILLMODE_PATTERN) {
            fill->GetPattern(&pattern);
            EXPECT_EQ(pattern, m.pattern) << m.mode;
        }
    }
    // Filling on keeps a pattern mode; off, then on again gives mode 1.
    EXPECT_EQ(b->SetFillType(2), S_OK);
    EXPECT_EQ(env->fill.GetFillType(), FILL_GRADIENT);
    EXPECT_EQ(env->fill.GetFillMode(), FILLMODE_PATTERN);
    EXPECT_EQ(b->SetFillType(0), S_OK);
    EXPECT_TRUE(env->fill.IsNoFill());
    EXPECT_EQ(b->SetFillType(2), S_OK);
    EXPECT_EQ(env->fill.GetFillMode(), FILLMODE_FILL);
    EXPECT_EQ(b->SetFillType(5), E_INVALIDARG);
    EXPECT_EQ(b->SetFillType(-1), E_INVALIDARG);
    EXPECT_EQ(env->fill.GetFillType(), FILL_GRADIENT);
    // A gradient takes both colours; a solid fill has no second one.
    EXPECT_EQ(b->SetFillColor(0x010203), S_OK);
    EXPECT_EQ(b->SetFillColor2(0x040506), S_OK);
    void* params = nullptr;
    fill->GetFillParams(&params);
    COLORREF c1 = 0, c2 = 0;
    static_cast<IGradientFillParams*>(params)->GetColor1(&c1);
    static_cast<IGradientFillParams*>(params)->GetColor2(&c2);
    EXPECT_EQ(c1, 0x010203u);
    EXPECT_EQ(c2, 0x040506u);
    EXPECT_EQ(b->SetFillType(1), S_OK);
    EXPECT_EQ(b->SetFillColor2(0x040506), S_FALSE);
}

TEST_F(DrawBoardTest, FontSettingsCutNamesOnWholeCharacters) {
    DrawBoardObject* b = MakeBoard();
    LOGFONTA& font = b->Env()->font;
    EXPECT_STREQ(font.lfFaceName, "Arial");
    std::wstring longName(40, L'F');
    BSTR name = SysAllocString(longName.c_str());
    EXPECT_EQ(b->SetFontName(name), S_OK);
    SysFreeString(name);
    EXPECT_EQ(std::string(font.lfFaceName), std::string(31, 'F'));
    if (GetACP() == 936) {
        // "A" and 16 two-byte characters: the 16th would end at byte 33.
        std::wstring cjk = L"A" + std::wstring(16, L'\x4E2D');
        name = SysAllocString(cjk.c_str());
        b->SetFontName(name);
        SysFreeString(name);
        EXPECT_EQ(strlen(font.lfFaceName), 31u);
    }
    name = SysAllocString(L"Arial");
    b->SetFontName(name);
    SysFreeString(name);
    LOGFONTA arial;
    if (MatchFontFace("Arial", &arial)) {
        EXPECT_EQ(font.lfCharSet, arial.lfCharSet);
        EXPECT_EQ(font.lfPitchAndFamily, arial.lfPitchAndFamily);
    }
    EXPECT_EQ(b->SetFontProp(1, 1, 0), S_OK);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_EQ(font.lfItalic, 1);
    EXPECT_EQ(font.lfUnderline, 0);
    b->SetFontProp(0, 0, 1);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_EQ(font.lfUnderline, 1);
    EXPECT_EQ(b->SetFontSize(12), S_OK);
    EXPECT_EQ(font.lfHeight, -PointsToFontHeight(12));
    // A text takes the font and colour of its moment.
    b->SetTextColor(0x0000FF);
    name = SysAllocString(L"Hi");
    EXPECT_EQ(b->DrawText(20, 30, name), S_OK);
    SysFreeString(name);
    ASSERT_TRUE(b->Frame()->IsTextMeta(0));
    CTextMeta* t = static_cast<CTextMeta*>(b->Frame()->GetMeta(0));
    EXPECT_EQ(t->GetText(), "Hi");
    EXPECT_EQ(t->GetColor(), 0x0000FFu);
    EXPECT_EQ(t->GetFont().lfHeight, font.lfHeight);
    EXPECT_EQ(t->GetOrigin().x, 20 - 100);
    EXPECT_EQ(t->GetOrigin().y, 30 - 50);
}

TEST_F(DrawBoardTest, RangesOfTheDrawingCalls) {
    DrawBoardObject* b = MakeBoard();
    b->put_ObjOrgX(10);
    b->put_ObjOrgY(20);
    // The board area: (-10, -20) to (190, 80).
    const struct {
        LONG x, y;
        HRESULT hr;
    } pixels[] = {{190, 0, S_FALSE}, {0, 80, S_FALSE},  {189, 79, S_OK},
                  {-10, -20, S_OK},  {-11, 0, S_FALSE}, {0, -21, S_FALSE}};
    for (const auto& p : pixels) EXPECT_EQ(b->DrawPixel(p.x, p.y), p.hr) << p.x << "," << p.y;
    EXPECT_EQ(b->Frame()->GetCount(), 2);
    // Meta coordinates: board point + origin - half the size.
    EXPECT_EQ(FirstPoint(b, 0).x, 189 + 10 - 100);
    EXPECT_EQ(FirstPoint(b, 0).y, 79 + 20 - 50);

    EXPECT_EQ(b->DrawLine(-10 - 0xFFFF, 0, 0, 0), S_OK);
    EXPECT_EQ(b->DrawLine(-11 - 0xFFFF, 0, 0, 0), S_FALSE);
    EXPECT_EQ(b->DrawLine(0, 0, 0, 80 + 0xFFFF), S_FALSE);
    EXPECT_EQ(b->Frame()->GetCount(), 3);

    // Far outside: 10 beyond the edges.
    ASSERT_EQ(b->DrawRect(-100000, -100000, 100000, 100000), S_OK);
    const RECT r = b->Frame()->GetGraphMeta(3)->Bounds();
    EXPECT_EQ(r.left, -20 + 10 - 100);
    EXPECT_EQ(r.top, -30 + 20 - 50);
    EXPECT_EQ(r.right, 200 + 10 - 100);
    EXPECT_EQ(r.bottom, 90 + 20 - 50);
    EXPECT_EQ(b->Frame()->GetGraphMeta(3)->GetKind(), GRAPH_RECT);
    EXPECT_TRUE(b->Frame()->GetGraphMeta(3)->IsClosed());
    // Ellipses take their points as they are.
    ASSERT_EQ(b->DrawEllipse(-500, 0, 20, 10), S_OK);
    EXPECT_EQ(b->Frame()->GetGraphMeta(4)->Bounds().left, -500 + 10 - 100);
    EXPECT_EQ(b->Frame()->GetGraphMeta(4)->GetKind(), GRAPH_ELLIPSE);
    LONG n = 0;
    b->get_ObjCount(&n);
    EXPECT_EQ(n, 5);
}

TEST_F(DrawBoardTest, CurvesStepTheVariableAndConvertTheValue) {
    DrawBoardObject* b = MakeBoard();
    CurveExpression& e = curveSite.expression;
    ASSERT_EQ(Curve(b, L"x*x, x", 0, 10, 2), S_OK);
    EXPECT_EQ(e.seen, (std::vector<long long>{0, 2, 4, 6, 8, 10}));
    EXPECT_EQ(e.texts[0], "x*x");
    // Six lines, the first from the first point to itself; lines may leave
    // the board (y 100 lies on its bottom edge).
    ASSERT_EQ(b->Frame()->GetCount(), 6);
    CGraphMeta* last = b->Frame()->GetGraphMeta(5);
    EXPECT_EQ(last->GetData()[0].x, 8 - 100);
    EXPECT_EQ(last->GetData()[0].y, 64 - 50);
    EXPECT_EQ(last->GetData()[1].x, 10 - 100);
    EXPECT_EQ(last->GetData()[1].y, 100 - 50);
    CGraphMeta* first = b->Frame()->GetGraphMeta(0);
    EXPECT_EQ(first->GetData()[0].x, first->GetData()[1].x);

    const struct {
        LONG x1, x2, dx;
        const char* message;
    } bad[] = {{0, 10, -2, "Error: dx must be bigger than 0"},
               {10, 0, 2, "Error: dx must be lower than 0"},
               {0, 10, 0, "Error: dx == 0  or x1 == x2"},
               {5, 5, 1, "Error: dx == 0  or x1 == x2"}};
    for (const auto& c : bad) {
        LogCapture log;
        e.seen.clear();
        EXPECT_EQ(Curve(b, L"x*x, x", c.x1, c.x2, c.dx), E_FAIL);
        EXPECT_TRUE(Logged(log.Text(), c.message));
        EXPECT_TRUE(e.seen.empty());
    }

    const struct {
        CurveExpression::Mode mode;
        LONG y;
    } values[] = {{CurveExpression::REAL, 3},
                  {CurveExpression::SHORT, 7},
                  {CurveExpression::FLOAT, 2},
                  {CurveExpression::TEXT, -1}};
    // The origin 10 below the top: y -1 lies on the board.
    b->put_ObjOrgY(10);
    for (const auto& v : values) {
        b->EraseAll();
        e.mode = v.mode;
        ASSERT_EQ(Curve(b, L"f(x), x", 3, 1, -1, false), S_OK);
        ASSERT_EQ(b->Frame()->GetCount(), 3) << v.mode;
        EXPECT_EQ(FirstPoint(b, 0).x, 3 - 100);
        EXPECT_EQ(FirstPoint(b, 2).x, 1 - 100);
        EXPECT_EQ(FirstPoint(b, 2).y, v.y + 10 - 50) << v.mode;
    }

    // A failing evaluation ends the curve; what was drawn stays.
    b->EraseAll();
    e.mode = CurveExpression::FAIL;
    LogCapture log;
    EXPECT_EQ(Curve(b, L"bad(x), x", 0, 5, 1), E_FAIL);
    EXPECT_TRUE(Logged(log.Text(), "Express evaluate failed. (bad(x), x)"));
    EXPECT_EQ(b->Frame()->GetCount(), 0);
}

TEST_F(DrawBoardTest, CurvesStepIn64BitsAndDrawAtMost65536Pieces) {
    DrawBoardObject* b = MakeBoard();
    CurveExpression& e = curveSite.expression;
    e.mode = CurveExpression::REAL;
    ASSERT_EQ(Curve(b, L"y, x", INT_MAX - 3, INT_MAX, 2, false), S_OK);
    EXPECT_EQ(e.seen, (std::vector<long long>{INT_MAX - 3, INT_MAX - 1}));
    e.seen.clear();
    ASSERT_EQ(Curve(b, L"y, x", INT_MIN + 3, INT_MIN, -3, false), S_OK);
    EXPECT_EQ(e.seen, (std::vector<long long>{INT_MIN + 3, INT_MIN}));
    e.seen.clear();
    LogCapture log;
    EXPECT_EQ(Curve(b, L"y, x", 0, INT_MAX, 1, false), S_FALSE);
    EXPECT_EQ(e.seen.size(), (size_t)DRAWBOARD_MAX_CURVE_PIECES);
    EXPECT_TRUE(Logged(log.Text(), "stopped after 65536 pieces"));
    // Only the points on the board were drawn.
    EXPECT_EQ(b->Frame()->GetCount(), 200);
}

TEST_F(DrawBoardTest, ErasingMovingAndPositions) {
    DrawBoardObject* b = MakeBoard();
    EXPECT_EQ(b->EraseLast(), S_OK);
    EXPECT_EQ(b->Erase(0), E_INVALIDARG);
    b->DrawPixel(1, 1);
    b->DrawLine(2, 2, 8, 9);
    b->DrawRect(3, 3, 30, 30);
    EXPECT_EQ(b->Erase(3), E_INVALIDARG);
    EXPECT_EQ(b->Erase(-1), E_INVALIDARG);
    EXPECT_EQ(b->Erase(1), S_OK);
    ASSERT_EQ(b->Frame()->GetCount(), 2);
    EXPECT_EQ(b->Frame()->GetGraphMeta(1)->GetKind(), GRAPH_RECT);
    EXPECT_EQ(b->EraseLast(), S_OK);
    EXPECT_EQ(b->Frame()->GetCount(), 1);

    LONG v = 0;
    EXPECT_EQ(b->get_ObjMetaPosX(0, &v), S_OK);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(b->put_ObjMetaPosX(0, 40), S_OK);
    EXPECT_EQ(b->put_ObjMetaPosY(0, 25), S_OK);
    b->get_ObjMetaPosX(0, &v);
    EXPECT_EQ(v, 40);
    b->get_ObjMetaPosY(0, &v);
    EXPECT_EQ(v, 25);
    EXPECT_EQ(b->OffsetMeta(0, 5, -5), S_OK);
    b->get_ObjMetaPosX(0, &v);
    EXPECT_EQ(v, 45);
    for (int index : {-1, 1}) {
        EXPECT_EQ(b->get_ObjMetaPosX(index, &v), E_INVALIDARG);
        EXPECT_EQ(b->put_ObjMetaPosY(index, 3), E_INVALIDARG);
        EXPECT_EQ(b->OffsetMeta(index, 1, 1), E_INVALIDARG);
    }
    b->DrawPixel(2, 2);
    EXPECT_EQ(b->EraseAll(), S_OK);
    b->get_ObjCount(&v);
    EXPECT_EQ(v, 0);
}

TEST_F(DrawBoardTest, DrawingInvalidatesOnlyInAutomaticMode) {
    DrawBoardObject* b = MakeBoard();
    curveSite.invalidated.clear();
    b->DrawPixel(1, 1);
    EXPECT_FALSE(curveSite.invalidated.empty());
    b->SetUpdateMode(0);
    curveSite.invalidated.clear();
    b->DrawPixel(2, 2);
    b->EraseAll();
    EXPECT_TRUE(curveSite.invalidated.empty());
    b->Update();
    EXPECT_FALSE(curveSite.invalidated.empty());
}

TEST_F(DrawBoardTest, HitTestAnswersTheTopmostMeta) {
    DrawBoardObject* b = MakeBoard();
    b->SetFillType(1);
    b->DrawRect(10, 10, 60, 40);  // page (110, 110) to (160, 140)
    b->DrawRect(30, 20, 90, 50);  // page (130, 120) to (190, 150)
    const struct {
        LONG x, y, index;
        HRESULT hr;
    } cases[] = {{115, 115, 0, S_OK},
                 {140, 130, 1, S_OK},
                 {185, 145, 1, S_OK},
                 {250, 180, -1, S_FALSE},
                 {105, 105, -1, S_FALSE}};
    for (const auto& c : cases) {
        LONG index = 7;
        EXPECT_EQ(b->HitTestMeta(c.x, c.y, &index), c.hr) << c.x << "," << c.y;
        EXPECT_EQ(index, c.index) << c.x << "," << c.y;
    }
    // The same through the private interface.
    CComPtr<IDrawBoardPrivate> priv;
    ASSERT_EQ(static_cast<IObjectBase*>(b)->QueryInterface(
                  *g_objectClasses[OBJCLASS_DRAWBOARD].privateIid, reinterpret_cast<void**>(&priv)),
              S_OK);
    LONG index = 7;
    EXPECT_EQ(priv->HitTestMeta(140, 130, &index), S_OK);
    EXPECT_EQ(index, 1);
}

TEST_F(DrawBoardTest, SizeChangeKeepsShapesInPlace) {
    DrawBoardObject* b = MakeBoard();
    b->DrawPixel(50, 40);  // page (150, 140)
    RECT now = {0, 0, 0, 0};
    b->GetBoundsRect(&now);
    const RECT bigger = {now.left, now.top, now.right + 100, now.bottom + 60};
    ASSERT_EQ(b->SetBounds(&bigger, 0), S_OK);
    const POINT p = FirstPoint(b, 0);
    EXPECT_EQ(p.x + (bigger.left + bigger.right) / 2, 150);
    EXPECT_EQ(p.y + (bigger.top + bigger.bottom) / 2, 140);
    // A move keeps the size: the shapes go with the board.
    b->MoveTo(300, 200);
    EXPECT_EQ(FirstPoint(b, 0).x, p.x);
}

std::vector<uint8_t> Vec(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

// A board record: grey dashed lines of width 2, ink 3, a blue solid fill,
// "SimSun" at -20, kept value 7, then a frame of a rectangle, a meta of an
// unknown type (skipped by its length) and a line.
DrawBoardRecord SampleBoard() {
    DrawBoardRecord rec;
    rec.value = 4;
    rec.ink = 3;
    rec.line.type = LINE_DASH;
    rec.line.width = 2;
    rec.line.color = 0x808080;
    rec.fontHeight = -20;
    rec.fontWeight = 700;
    rec.face = "SimSun";
    rec.fill = Vec(SolidFillRecord(0xFF0000));
    rec.kept = 7;
    rec.nextId = 4;
    LineModeFields red;
    red.color = 0x0000FF;
    GraphMetaFields rect;
    rect.points = {{-90, -40}, {-40, -10}};
    rect.bounds = {-90, -40, -40, -10};
    rect.fill = Vec(SolidFillRecord(0xFF0000));
    rect.line = WriteLineModeRecord(red);
    GraphMetaFields line = rect;
    line.kind = GRAPH_LINE;
    line.state = 0;
    line.metaId = 3;
    line.points = {{0, 0}, {20, 20}};
    line.bounds = {0, 0, 20, 20};
    rec.metas = {{METATYPE_GRAPH, GraphMetaRecord(rect)},
                 {9, std::vector<uint8_t>(40, 0xEE)},
                 {METATYPE_GRAPH, GraphMetaRecord(line)}};
    return rec;
}

// The board's shared record: 200 x 100 at (200, 150).
ObjectPrefix BoardPrefix() {
    ObjectPrefix p;
    p.x = 200;
    p.y = 150;
    p.width = 200;
    p.height = 100;
    return p;
}

std::vector<uint8_t> BoardStream(const DrawBoardRecord& rec) {
    std::vector<uint8_t> bytes = WriteObjectPrefix(BoardPrefix());
    std::vector<uint8_t> own = WriteDrawBoardRecord(rec);
    bytes.insert(bytes.end(), own.begin(), own.end());
    return bytes;
}

TEST_F(DrawBoardTest, RecordWrittenFieldByFieldIsReadAndWrittenBack) {
    DrawBoardObject* b = MakeBoard();
    DrawBoardRecord rec = SampleBoard();
    CComPtr<ITeskStream> s = MemStreamOf(BoardStream(rec));
    ASSERT_EQ(static_cast<IObjectBase*>(b)->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    CMetaEnv* env = b->Env();
    EXPECT_EQ(env->value, 4);
    EXPECT_EQ(env->ink.GetMode(), 3);
    EXPECT_EQ(env->line.GetLineType(), LINE_DASH);
    EXPECT_EQ(env->line.GetEffectiveWidth(), 2);
    EXPECT_STREQ(env->font.lfFaceName, "SimSun");
    EXPECT_EQ(env->font.lfHeight, -20);
    EXPECT_EQ(env->fill.GetFillMode(), FILLMODE_FILL);
    EXPECT_EQ(b->KeptValue(), 7);
    ASSERT_EQ(b->Frame()->GetCount(), 2);
    EXPECT_EQ(b->Frame()->GetGraphMeta(0)->GetKind(), GRAPH_RECT);
    EXPECT_EQ(b->Frame()->GetGraphMeta(1)->GetMetaId(), 3);

    // Written back: the same bytes without the skipped meta.
    rec.metas.erase(rec.metas.begin() + 1);
    const std::vector<uint8_t> want = WriteDrawBoardRecord(rec);
    CComPtr<ITeskStream> out = NewMemStream();
    ASSERT_EQ(b->SaveKind(out), S_OK);
    const std::vector<uint8_t> saved = ContentBytes(out);
    EXPECT_EQ(saved.size(), want.size());
    const auto diff = std::mismatch(saved.begin(), saved.end(), want.begin(), want.end());
    EXPECT_EQ(diff.first - saved.begin(), (ptrdiff_t)saved.size()) << "first difference";

    // New shapes are numbered on from the stored counter.
    b->DrawPixel(0, 0);
    EXPECT_EQ(b->Frame()->GetGraphMeta(2)->GetMetaId(), 4);
    b->EraseLast();

    // The loaded board draws its stored rectangle like a drawn one.
    CComPtr<IPixelBuffer> target = WhiteTarget();
    ASSERT_EQ(static_cast<II_IRender*>(b)->Draw(target), S_OK);
    EXPECT_EQ(PixelOf(target, 110, 125), 0xFF0000u);
    EXPECT_EQ(PixelOf(target, 135, 125), 0x0000FFu);
}

TEST_F(DrawBoardTest, TruncatedAndCorruptedRecords) {
    const std::vector<uint8_t> bytes = BoardStream(SampleBoard());
    const size_t prefix = WriteObjectPrefix(BoardPrefix()).size();
    for (size_t n = prefix; n < bytes.size(); n += (n < prefix + 200 ? 1 : 9)) {
        DrawBoardObject* b = MakeBoard();
        b->DrawPixel(1, 1);
        CComPtr<ITeskStream> s = MemStreamOf(Cut(bytes, n));
        EXPECT_NE(static_cast<IObjectBase*>(b)->Load(s), S_OK) << n;
        EXPECT_LE(s->GetPosition(), n);
        EXPECT_EQ(b->Frame()->GetCount(), 1) << n;  // the frame kept
        EXPECT_EQ(b->KeptValue(), 50) << n;
    }
    // Counts and lengths beyond the stream or negative.
    const size_t frameAt = bytes.size() - WriteDrawBoardRecord(SampleBoard()).size() + 4 + 4 + 48 +
                           60 + SolidFillRecord(0xFF0000).size() + 4;
    const struct {
        size_t at;
        uint32_t value;
    } damage[] = {{frameAt + 6, 0x7FFFFFFF},  // meta count
                  {frameAt + 6, 0xFFFFFFFF},
                  {frameAt + 14, 0x7FFFFFFF},   // first body's length, low word
                  {frameAt + 18, 0x80000000}};  // its high word: negative
    for (const auto& d : damage) {
        std::vector<uint8_t> bad = bytes;
        for (int i = 0; i < 4; ++i) bad[d.at + i] = (uint8_t)(d.value >> (8 * i));
        DrawBoardObject* b = MakeBoard();
        CComPtr<ITeskStream> s = MemStreamOf(bad);
        EXPECT_EQ(static_cast<IObjectBase*>(b)->Load(s), E_FAIL) << d.at;
        EXPECT_EQ(b->Frame()->GetCount(), 0);
    }
    std::mt19937 random(33);
    for (int round = 0; round < 150; ++round) {
        std::vector<uint8_t> bad = bytes;
        for (int k = 0; k < 3; ++k)
            bad[prefix + random() % (bad.size() - prefix)] = (uint8_t)random();
        DrawBoardObject* b = MakeBoard();
        CComPtr<ITeskStream> s = MemStreamOf(bad);
        static_cast<IObjectBase*>(b)->Load(s);
        EXPECT_LE(s->GetPosition(), bad.size());
        CComPtr<IPixelBuffer> target = WhiteTarget();
        static_cast<II_IRender*>(b)->Draw(target);
    }
}

}  // namespace
