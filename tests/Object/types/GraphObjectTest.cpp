#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "ServiceFakes.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aGDIBuf.h"
#include "aGrfObj.h"
#include "bMetaFile.h"

namespace {

const COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);

// The screen's pixels of a length in hundredths of a millimetre, rounded as
// a fraction above one half up.
LONG ScreenPixels(LONG hundredths, int sizeIndex, int resIndex) {
    HDC screen = GetDC(nullptr);
    const double perPixel =
        100.0 * GetDeviceCaps(screen, sizeIndex) / GetDeviceCaps(screen, resIndex);
    ReleaseDC(nullptr, screen);
    const double v = hundredths / perPixel;
    const LONG whole = (LONG)v;
    return v - whole > 0.5 ? whole + 1 : whole;
}

// An enhanced metafile 80 x 40 mm: its left half red, its right half blue.
std::string TwoColourEmf() {
    HDC screen = GetDC(nullptr);
    const RECT frame = {0, 0, 8000, 4000};
    const LONG w = ScreenPixels(8000, HORZSIZE, HORZRES);
    const LONG h = ScreenPixels(4000, VERTSIZE, VERTRES);
    HDC dc = CreateEnhMetaFileA(screen, nullptr, &frame, nullptr);
    ReleaseDC(nullptr, screen);
    HBRUSH red = CreateSolidBrush(kRed), blue = CreateSolidBrush(kBlue);
    RECT left = {0, 0, w / 2, h}, right = {w / 2, 0, w, h};
    FillRect(dc, &left, red);
    FillRect(dc, &right, blue);
    DeleteObject(red);
    DeleteObject(blue);
    HENHMETAFILE meta = CloseEnhMetaFile(dc);
    std::string bits(GetEnhMetaFileBits(meta, 0, nullptr), '\0');
    GetEnhMetaFileBits(meta, (UINT)bits.size(), reinterpret_cast<BYTE*>(&bits[0]));
    DeleteEnhMetaFile(meta);
    return bits;
}

// Every embedded item is an enhanced metafile (subtype 1051).
class MetaMediaManager : public FakeMediaManager {
public:
    STDMETHOD(GetMediaType)(const char* name, int* type, int* subtype) override {
        if (!embedded.count(name))
            return E_FAIL;
        *type = 1050;
        *subtype = METAKIND_EMF;
        return S_OK;
    }
};

COLORREF PixelAt(IPixelBuffer* buffer, int x, int y) {
    HDC dc = nullptr;
    buffer->GetDC(&dc);
    COLORREF c = GetPixel(dc, x, y);
    buffer->ReleaseDC(dc);
    return c;
}

class GraphObjectTest : public ObjectFixture {
protected:
    GraphObjectTest() {
        site.media = static_cast<IMediaManager*>(&media);
        media.embedded["Drawing"] = TwoColourEmf();
        media.embedded["Broken"] = std::string(200, 'x');
        frameW = ScreenPixels(8000, HORZSIZE, HORZRES);
        frameH = ScreenPixels(4000, VERTSIZE, VERTRES);
    }
    GraphObject* MakeGraph() {
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(CreateGraphObject(&unknown), S_OK);
        if (!unknown)
            return nullptr;
        objects.push_back(unknown);
        CComPtr<IObjectBase> base;
        unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        EXPECT_EQ(base->Init(&creation), S_OK);
        return static_cast<GraphObject*>(static_cast<IObjectBase*>(base.p));
    }
    GraphObject* Loaded(WORD flags) {
        GraphObject* g = MakeGraph();
        g->MoveTo(200, 150);
        BSTR b = SysAllocString(L"Drawing");
        EXPECT_EQ(g->put_ObjMediaName(b), S_OK);
        SysFreeString(b);
        g->SetFlags((WORD)(g->Flags() | flags));
        return g;
    }
    static void Send(GraphObject* g, DWORD id, LONG x, LONG y) {
        g->FireEvent(id, 0, (DWORD_PTR)MAKELONG((WORD)x, (WORD)y), 0);
    }
    static LONG Ratio(GraphObject* g) {
        LONG v = 0;
        g->get_ObjSizeRatio(&v);
        return v;
    }
    MetaMediaManager media;
    LONG frameW = 0, frameH = 0;
};

TEST_F(GraphObjectTest, NewDrawingSizesTheObjectToItsFrameAndDrawsClipped) {
    GraphObject* g = Loaded(GRFFLAG_ZOOM);
    ASSERT_NE(g->MetaFile(), nullptr);
    EXPECT_EQ(g->GetWidth(), frameW);
    EXPECT_EQ(g->GetHeight(), frameH);
    EXPECT_EQ(g->Flags() & GRFFLAG_LOADSTATE, 3);
    BSTR name = nullptr;
    g->get_ObjMediaName(&name);
    EXPECT_STREQ(name, L"Drawing");
    SysFreeString(name);

    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(600, 400));
    const COLORREF back = RGB(0x12, 0x34, 0x56);
    target->FillRect(nullptr, back);
    RECT r;
    g->GetBoundsRect(&r);
    const int midY = (r.top + r.bottom) / 2, w = r.right - r.left;
    ASSERT_EQ(g->DrawContent(target, &r), S_OK);
    EXPECT_EQ(PixelAt(target, r.left + w / 4, midY), kRed);
    EXPECT_EQ(PixelAt(target, r.left + 3 * w / 4, midY), kBlue);

    // At ratio 200 the rectangle shows the drawing's left half, and nothing
    // of the doubled box reaches past the rectangle.
    ASSERT_EQ(g->put_ObjSizeRatio(200), S_OK);
    target->FillRect(nullptr, back);
    g->DrawContent(target, &r);
    EXPECT_EQ(PixelAt(target, r.left + 3 * w / 4, midY), kRed);
    EXPECT_EQ(PixelAt(target, r.right + 2, midY), back);
    EXPECT_EQ(PixelAt(target, r.left + w / 2, r.bottom + 2), back);
}

TEST_F(GraphObjectTest, FailedLoadMakesTheObject100By100AndDrawsNothing) {
    for (const wchar_t* bad : {L"Missing", L"Broken"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(bad)));
        GraphObject* g = MakeGraph();
        BSTR b = SysAllocString(bad);
        EXPECT_EQ(g->put_ObjMediaName(b), S_OK);
        SysFreeString(b);
        EXPECT_EQ(g->MetaFile(), nullptr);
        EXPECT_EQ(g->Flags() & GRFFLAG_LOADSTATE, 0);
        EXPECT_EQ(g->GetWidth(), 100);
        EXPECT_EQ(g->GetHeight(), 100);
        CComPtr<IPixelBuffer> target;
        target.Attach(CreateGDIBuffer(300, 300));
        target->FillRect(nullptr, RGB(1, 2, 3));
        RECT r;
        g->GetBoundsRect(&r);
        g->DrawContent(target, &r);
        EXPECT_EQ(PixelAt(target, (r.left + r.right) / 2, (r.top + r.bottom) / 2), RGB(1, 2, 3));
    }
}

TEST_F(GraphObjectTest, ClicksDoubleTheRatioAndADoubleClickResets) {
    GraphObject* g = Loaded(GRFFLAG_ZOOM | GRFFLAG_CLICKZOOM);
    RECT r;
    g->GetBoundsRect(&r);
    const LONG cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    Send(g, EVT_CLICK, cx, cy);
    EXPECT_EQ(Ratio(g), 200);
    // The clicked centre pans by a quarter of the rectangle at the old ratio.
    EXPECT_EQ(g->ViewOrigin().x, g->FrameRect().left + (cx - (r.right - r.left) / 4 - r.left));
    Send(g, EVT_CLICK, cx, cy);
    EXPECT_EQ(Ratio(g), 400);
    Send(g, EVT_DBCLICK, cx, cy);
    EXPECT_EQ(Ratio(g), 100);
    EXPECT_EQ(g->ViewOrigin().x, g->FrameRect().left);
    EXPECT_EQ(g->ViewOrigin().y, g->FrameRect().top);

    // Zoom without click zoom: clicks change nothing.
    GraphObject* plain = Loaded(GRFFLAG_ZOOM);
    Send(plain, EVT_CLICK, cx, cy);
    EXPECT_EQ(Ratio(plain), 100);

    // At the cap a click changes nothing, the view included.
    ASSERT_EQ(g->put_ObjSizeRatio(60000), S_OK);
    Send(g, EVT_CLICK, cx, cy);
    EXPECT_EQ(Ratio(g), GRAPH_RATIO_MAX);
    const POINT at = g->ViewOrigin();
    Send(g, EVT_CLICK, r.left, r.top);
    EXPECT_EQ(Ratio(g), GRAPH_RATIO_MAX);
    EXPECT_EQ(g->ViewOrigin().x, at.x);
    EXPECT_EQ(g->ViewOrigin().y, at.y);
}

TEST_F(GraphObjectTest, RatioTakesOnlyPositiveValuesWhileZoomIsAllowed) {
    struct Case {
        WORD flags;
        LONG put, expect;
    } cases[] = {
        {GRFFLAG_ZOOM, 0, 100},
        {GRFFLAG_ZOOM, -5, 100},
        {GRFFLAG_ZOOM, 300, 300},
        {GRFFLAG_ZOOM, 200000, GRAPH_RATIO_MAX},
        {0, 300, 100},
        {GRFFLAG_CLICKZOOM, 300, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << " " << c.put);
        GraphObject* g = Loaded(c.flags);
        EXPECT_EQ(g->put_ObjSizeRatio(c.put), S_OK);
        EXPECT_EQ(Ratio(g), c.expect);
    }
}

TEST_F(GraphObjectTest, ScrollingStopsAtTheFrameEdges) {
    GraphObject* g = Loaded(GRFFLAG_ZOOM);
    const RECT f = g->FrameRect();
    for (LONG ratio : {100L, 400L}) {
        SCOPED_TRACE(ratio);
        g->put_ObjSizeRatio(ratio);
        ASSERT_EQ(g->ScrollBy(LONG_MAX, LONG_MAX), S_OK);
        EXPECT_EQ(g->ViewOrigin().x, f.right);
        EXPECT_EQ(g->ViewOrigin().y, f.bottom);
        ASSERT_EQ(g->ScrollBy(LONG_MIN, LONG_MIN), S_OK);
        EXPECT_EQ(g->ViewOrigin().x, f.left - g->GetWidth() * 100 / ratio);
        EXPECT_EQ(g->ViewOrigin().y, f.top - g->GetHeight() * 100 / ratio);
    }
    // Without zoom nothing pans.
    GraphObject* fixed = Loaded(0);
    EXPECT_EQ(fixed->ScrollBy(5, 5), S_OK);
    EXPECT_EQ(fixed->ViewOrigin().x, fixed->FrameRect().left);
}

TEST_F(GraphObjectTest, DraggingPansByTheMovementAtTheRatio) {
    GraphObject* g = Loaded(GRFFLAG_ZOOM);
    g->put_ObjSizeRatio(200);
    const LONG x0 = g->ViewOrigin().x, y0 = g->ViewOrigin().y;
    Send(g, EVT_LBUTTONDOWN, 250, 160);
    EXPECT_TRUE(g->State() & GRFSTATE_DRAGGING);
    Send(g, EVT_MOUSEHOVER, 230, 150);  // 20 and 10 page units at 200 %
    EXPECT_EQ(g->ViewOrigin().x, x0 + 10);
    EXPECT_EQ(g->ViewOrigin().y, y0 + 5);
    Send(g, EVT_LBUTTONUP, 230, 150);
    EXPECT_FALSE(g->State() & GRFSTATE_DRAGGING);
    Send(g, EVT_MOUSEHOVER, 100, 100);
    EXPECT_EQ(g->ViewOrigin().x, x0 + 10);
}

TEST_F(GraphObjectTest, KeepAspectFollowsTheHandle) {
    GraphObject* g = Loaded(0);
    const LONG w = g->GetWidth(), h = g->GetHeight();
    struct Case {
        int handle;
        LONG width, height, expectW, expectH;
    } cases[] = {
        {1, 7, 2 * h, 2 * w, 2 * h},
        {5, 7, h / 2, w / 2, h / 2},
        {3, 2 * w, 7, 2 * w, 2 * h},
        {9, 7, 8, 7, 8},
    };
    for (const Case& c : cases) {
        LONG cw = c.width, ch = c.height;
        g->KeepAspect(c.handle, &cw, &ch);
        EXPECT_EQ(cw, c.width) << "without the bit, handle " << c.handle;
        EXPECT_EQ(ch, c.height);
    }
    // The keep-aspect bit is the state word's bit 0, stored in the record's
    // high word.
    GraphRecord rec;
    rec.flags = 0x00010000;
    std::vector<uint8_t> bytes = WriteObjectPrefix(ObjectPrefix());
    std::vector<uint8_t> own = WriteGraphRecord(rec);
    bytes.insert(bytes.end(), own.begin(), own.end());
    ASSERT_EQ(static_cast<IObjectBase*>(g)->Load(MemStreamOf(bytes)), S_OK);
    ASSERT_TRUE(g->State() & GRFSTATE_KEEPASPECT);
    g->SetWidth(w);
    g->SetHeight(h);
    for (const Case& c : cases) {
        LONG cw = c.width, ch = c.height;
        g->KeepAspect(c.handle, &cw, &ch);
        EXPECT_NEAR(cw, c.expectW, 1) << c.handle;
        EXPECT_NEAR(ch, c.expectH, 1) << c.handle;
    }
}

TEST_F(GraphObjectTest, RecordNamesTheDrawingWhichPageEnterLoads) {
    GraphRecord rec;
    rec.flags = GRFFLAG_ZOOM | GRFFLAG_LOADSTATE | 0x00020000;  // a stale load state and mark
    rec.name = L"Drawing";
    std::vector<uint8_t> bytes = WriteObjectPrefix(ObjectPrefix());
    const size_t own = bytes.size();
    std::vector<uint8_t> tail = WriteGraphRecord(rec);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    GraphObject* g = MakeGraph();
    CComPtr<ITeskStream> s = MemStreamOf(bytes);
    ASSERT_EQ(static_cast<IObjectBase*>(g)->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    EXPECT_EQ(g->Flags(), GRFFLAG_ZOOM);
    EXPECT_FALSE(g->State() & GRFSTATE_PRESENT);
    EXPECT_EQ(g->MetaFile(), nullptr);
    EXPECT_EQ(static_cast<II_IRender*>(g)->OnEnter(), S_OK);
    EXPECT_NE(g->MetaFile(), nullptr);
    EXPECT_TRUE(g->State() & GRFSTATE_PRESENT);
    EXPECT_EQ(g->ViewOrigin().x, g->FrameRect().left);

    // Cut anywhere in the graphic's part: refused, nothing read past the end.
    for (size_t n = own; n < bytes.size(); ++n) {
        GraphObject* cut = MakeGraph();
        CComPtr<ITeskStream> t =
            MemStreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_NE(static_cast<IObjectBase*>(cut)->Load(t), S_OK) << n;
        EXPECT_LE(t->GetPosition(), n);
    }
    // A name count beyond any media name, with bytes enough behind it.
    std::vector<uint8_t> huge = WriteObjectPrefix(ObjectPrefix());
    RecordBytes r;
    r.U32(0).U32(100000).Zeros(4096);
    huge.insert(huge.end(), r.bytes.begin(), r.bytes.end());
    LogCapture log;
    EXPECT_NE(static_cast<IObjectBase*>(MakeGraph())->Load(MemStreamOf(huge)), S_OK);
    EXPECT_LOGGED(log, "Graph record: name of 100000 characters refused");
}

TEST_F(GraphObjectTest, SettingTheMediaByNameNeedsANameAndTheFlag) {
    GraphObject* g = MakeGraph();
    EXPECT_EQ(g->SetMediaByName("Drawing", FALSE), S_OK);
    EXPECT_EQ(g->MetaFile(), nullptr);
    EXPECT_EQ(g->SetMediaByName("", TRUE), S_OK);
    LogCapture log;
    EXPECT_TRUE(FAILED(g->SetMediaByName("Missing", TRUE)));
    EXPECT_LOGGED(log, "SetMedia func Failed.");
    EXPECT_EQ(g->SetMediaByName("Drawing", TRUE), S_OK);
    EXPECT_NE(g->MetaFile(), nullptr);
}

}  // namespace

namespace {

TEST_F(GraphObjectTest, ScriptsReachTheMembersByName) {
    GraphObject* g = Loaded(GRFFLAG_ZOOM);
    IDispatch* d = static_cast<IGraphDispObj*>(g);
    struct Name {
        const wchar_t* name;
        DISPID id;
    } names[] = {{L"ObjMediaName", 0x2BD}, {L"ObjSizeRatio", 2}, {L"ScrollBy", 0x14}};
    for (const Name& n : names) {
        LPOLESTR text = const_cast<LPOLESTR>(n.name);
        DISPID id = 0;
        ASSERT_EQ(d->GetIDsOfNames(IID_NULL, &text, 1, 0, &id), S_OK);
        EXPECT_EQ(id, n.id);
    }
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = 250;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&arg, &put, 1, 1};
    ASSERT_EQ(d->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(Ratio(g), 250);
}

}  // namespace
