#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "aGDIBuf.h"
#include "aScrObj.h"
#include "bFillShd.h"
#include "bStorage.h"

namespace {

// An owned BSTR for the calls that take or give one.
struct Bstr {
    Bstr() : b(nullptr) {}
    explicit Bstr(const wchar_t* text) : b(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return b; }
    BSTR* operator&() { return &b; }
    BSTR b;
};

const DWORD kFixedVert = 0x02010001, kScrollVert = 0x02010002, kScrollHorz = 0x02010102,
            kProgressHorz = 0x02010103, kSliderHorz = 0x02010104;

// The left button as the bar reads it.
bool g_buttonDown = false;
SHORT WINAPI FakeKeyState(int key) {
    return key == VK_LBUTTON && g_buttonDown ? (SHORT)0x8000 : 0;
}

DWORD PixelOf(IPixelBuffer* buffer, int x, int y) {
    BufferInfo info = ReadBufferInfo(buffer);
    return reinterpret_cast<const DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch)[x] &
           0x00FFFFFF;
}

void SetColor(IUnknown* fill, COLORREF color) {
    void* params = nullptr;
    static_cast<FillObject*>(fill)->GetFillParams(&params);
    static_cast<ISolidFillParams*>(params)->SetColor(color);
}

std::vector<uint8_t> FillRecord(COLORREF color) {
    FillObject* fill = CreateFillObject();
    SetColor(fill, color);
    CComPtr<ITeskStream> s = NewMemStream();
    fill->Save(s);
    fill->Release();
    std::vector<uint8_t> bytes((size_t)s->GetPosition());
    s->SetMode(0);
    s->Seek(0, TESK_SEEK_SET);
    s->Read(bytes.data(), (ULONG)bytes.size());
    return bytes;
}

// A linked object's rows: row 1 answers the values a test sets and records
// what the bar sets.
class RowSource : public CComObjectRootBase, public CEventSinkTable {
public:
    BEGIN_COM_MAP(RowSource)
    COM_INTERFACE_ENTRY(IEventSinkTable)
    END_COM_MAP()
    RowSource() {
        AddRow("Horizontal");
        AddRow("Vertical");
    }
    STDMETHOD(GetRowMaximum)(LONG, LONG* out) override { return Give(out, maximum); }
    STDMETHOD(GetRowMinimum)(LONG, LONG* out) override { return Give(out, minimum); }
    STDMETHOD(GetRowLineStep)(LONG, LONG* out) override { return Give(out, step); }
    STDMETHOD(GetRowPageStep)(LONG, LONG* out) override { return Give(out, page); }
    STDMETHOD(GetRowValue)(LONG, LONG* out) override { return Give(out, value); }
    STDMETHOD(SetRowValue)(LONG row, LONG v) override {
        set.push_back({row, v});
        value = v;
        return S_OK;
    }
    static HRESULT Give(LONG* out, LONG v) {
        *out = v;
        return S_OK;
    }
    LONG maximum = 40, minimum = 2, step = 3, page = 7, value = 12;
    std::vector<std::pair<LONG, LONG>> set;
};

class ScrollBarTest : public ObjectFixture {
protected:
    ScrollBarTest() { old = SetScrollBarKeyState(FakeKeyState); }
    ~ScrollBarTest() override {
        SetScrollBarKeyState(old);
        g_buttonDown = false;
    }
    ScrollBarObject* Make(DWORD typeId, LONG w, LONG h) {
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(CreateScrollBarObject(&unknown), S_OK);
        objects.push_back(unknown);
        record.dwTypeId = typeId;
        CComPtr<IObjectBase> base;
        unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        EXPECT_EQ(base->Init(&creation), S_OK);
        ScrollBarObject* b = static_cast<ScrollBarObject*>(static_cast<IObjectBase*>(base.p));
        b->SetWidth(w);
        b->SetHeight(h);
        b->MoveTo(100 + w / 2, 50 + h / 2);  // top-left at (100, 50)
        return b;
    }
    static LONG Value(ScrollBarObject* b) {
        LONG v = 0;
        b->get_ObjValue(&v);
        return v;
    }
    // Pointer events at a point relative to the bar's top-left.
    static void Mouse(ScrollBarObject* b, DWORD id, LONG x, LONG y) {
        DWORD point = MAKELONG((WORD)(SHORT)(x + 100), (WORD)(SHORT)(y + 50));
        static_cast<IObjectEvent*>(b)->FireEvent(id, 0, point, 0);
    }
    static LONG Length(const RECT& r, bool vertical) {
        return vertical ? r.bottom - r.top : r.right - r.left;
    }
    void Tick(ScrollBarObject*, DWORD clock) {
        site.clock = clock;
        site.sequencer.TickClients();
    }
    PFNSCROLLKEYSTATE old;
};

TEST_F(ScrollBarTest, KindsAndOrientationComeFromTheTypeId) {
    const struct {
        DWORD typeId;
        LONG kind, vertical, arrows;
    } cases[] = {
        {kFixedVert, SCROLLKIND_FIXEDSLIDER, 1, 1}, {kScrollHorz, SCROLLKIND_SCROLL, 0, 1},
        {kProgressHorz, SCROLLKIND_PROGRESS, 0, 0}, {kSliderHorz, SCROLLKIND_SLIDER, 0, 0},
        {0x02010005, SCROLLKIND_KNOB, 1, 0},        {0x02010106, SCROLLKIND_FIXEDSLIDER, 0, 1},
        {0x12345678, SCROLLKIND_FIXEDSLIDER, 0, 1}};
    for (const auto& c : cases) {
        ScrollBarObject* b = Make(c.typeId, 120, 120);
        LONG kind = -1, vertical = -1;
        b->GetKind(&kind);
        b->GetVertical(&vertical);
        EXPECT_EQ(kind, c.kind) << std::hex << c.typeId;
        EXPECT_EQ(vertical, c.vertical) << std::hex << c.typeId;
        EXPECT_EQ(b->Arrow1().visible, c.arrows) << std::hex << c.typeId;
        EXPECT_EQ(b->Arrow2().direction, c.vertical ? SCROLLDIR_DOWN : SCROLLDIR_RIGHT);
    }
    // The knob is made by SetKind; an unknown kind changes nothing.
    ScrollBarObject* b = Make(kScrollHorz, 120, 60);
    EXPECT_EQ(b->SetKind(7), 1);
    LONG kind = -1;
    b->GetKind(&kind);
    EXPECT_EQ(kind, SCROLLKIND_SCROLL);
    EXPECT_EQ(b->SetKind(SCROLLKIND_KNOB), S_OK);
    EXPECT_EQ(b->Arrow1().visible, 0);
    // A 110 x 50 knob centred in the 120 x 60 bar.
    EXPECT_EQ(b->Thumb().rect.left, 5);
    EXPECT_EQ(b->Thumb().rect.right, 115);
    EXPECT_EQ(b->Thumb().rect.top, 5);
}

TEST_F(ScrollBarTest, ValuesAreClampedAndOnlyChangesRepaint) {
    ScrollBarObject* b = Make(kScrollVert, 16, 200);
    b->put_ObjValue(150);
    EXPECT_EQ(Value(b), 100);
    b->put_ObjValue(-5);
    EXPECT_EQ(Value(b), 0);
    size_t painted = site.invalidated.size();
    b->put_ObjValue(0);
    EXPECT_EQ(site.invalidated.size(), painted);
    b->put_ObjValue(1);
    EXPECT_GT(site.invalidated.size(), painted);
    LONG page = 0;
    b->put_ObjPageValue(0);
    b->get_ObjPageValue(&page);
    EXPECT_EQ(page, 1);
    // A maximum below the minimum drags the minimum and the value along.
    b->put_ObjValue(5);
    b->put_ObjMaxValue(-10);
    LONG max = 0, min = 0;
    b->get_ObjMaxValue(&max);
    b->get_ObjMinValue(&min);
    EXPECT_EQ(max, -10);
    EXPECT_EQ(min, -10);
    EXPECT_EQ(Value(b), -10);
    // Steps and pages near the ends of 32 bits stay inside the range.
    b->put_ObjMaxValue(LONG_MAX);
    b->put_ObjPageValue(LONG_MAX);
    b->put_ObjValue(LONG_MAX - 1);
    b->Page(1);
    EXPECT_EQ(Value(b), LONG_MAX);
    b->put_ObjMinValue(LONG_MIN);
    b->put_ObjValue(LONG_MIN + 1);
    b->Page(0);
    EXPECT_EQ(Value(b), LONG_MIN);
}

TEST_F(ScrollBarTest, TheThumbFollowsTheRangeAndTheTrack) {
    const LONG a = GetSystemMetrics(SM_CYVSCROLL);
    // Vertical bars whose track is 100 long (the arrows take a each).
    const struct {
        DWORD typeId;
        LONG min, max, value;
        LONG top, length;  // of the thumb, relative to the track's start
    } cases[] = {
        {kScrollVert, 0, 99, 0, 0, 10},    // 100 / sqrt(100)
        {kScrollVert, 0, 99, 99, 90, 10},  // the far end
        {kScrollVert, 0, 99, 33, 30, 10},  // (100 - 10) x 33 / 99
        {kScrollVert, 0, 0, 0, 0, 100},    // no range: the whole track
        {kScrollVert, 0, 9999, 0, 0, 5},   // never below 5
        {kFixedVert, 0, 100, 50, 40, 20},  // keeps max(5, 100 / 5)
        {kFixedVert, -50, 50, 50, 80, 20},
    };
    for (const auto& c : cases) {
        ScrollBarObject* b = Make(c.typeId, 16, 100 + 2 * a);
        b->put_ObjMaxValue(c.max);
        b->put_ObjMinValue(c.min);
        b->put_ObjValue(c.value);
        const RECT& thumb = b->Thumb().rect;
        EXPECT_EQ(Length(b->Track().rect, true), 100);
        EXPECT_EQ(thumb.top - a, c.top) << c.max << " " << c.value;
        EXPECT_EQ(Length(thumb, true), c.length) << c.max << " " << c.value;
        EXPECT_EQ(thumb.right - thumb.left, 16);
    }
    // A progress bar grows from the start with the value.
    ScrollBarObject* p = Make(kProgressHorz, 200, 20);
    p->put_ObjValue(60);
    EXPECT_EQ(p->Thumb().rect.left, 0);
    EXPECT_EQ(p->Thumb().rect.right, 120);
    EXPECT_EQ(p->Thumb().rect.top, 2);
    EXPECT_EQ(p->Thumb().rect.bottom, 19);
    // A thin-track slider: a 4-wide line along the middle, a thumb of 5.
    ScrollBarObject* s = Make(kSliderHorz, 205, 30);
    s->put_ObjValue(100);
    EXPECT_EQ(s->Track().rect.top, 13);
    EXPECT_EQ(s->Track().rect.bottom, 17);
    EXPECT_EQ(s->Thumb().rect.left, 200);
    EXPECT_EQ(Length(s->Thumb().rect, false), 5);
}

TEST_F(ScrollBarTest, AHeldArrowStepsAtOnceThenEveryTickAfterHalfASecond) {
    const LONG a = GetSystemMetrics(SM_CYVSCROLL);
    ScrollBarObject* b = Make(kScrollVert, 16, 100 + 2 * a);
    g_buttonDown = true;
    site.clock = 1000;
    Mouse(b, EVT_LBUTTONDOWN, 8, 100 + a + a / 2);  // arrow 2
    EXPECT_EQ(Value(b), 1);
    EXPECT_EQ(b->PressMode(), SCROLLPRESS_ARROW2);
    std::vector<LONG> seen;
    for (DWORD clock : {1100u, 1499u, 1500u, 1600u, 1700u}) {
        Tick(b, clock);
        seen.push_back(Value(b));
    }
    EXPECT_EQ(seen, (std::vector<LONG>{1, 1, 2, 3, 4}));
    // The button comes up elsewhere: the next tick ends the repeat.
    g_buttonDown = false;
    Tick(b, 1800);
    Tick(b, 1900);
    EXPECT_EQ(Value(b), 4);
    EXPECT_EQ(b->PressMode(), SCROLLPRESS_NONE);
    EXPECT_EQ(static_cast<IAbility*>(b)->GetState(), ABILITY_STOPPED);
    EXPECT_TRUE(site.sequencer.clients.empty());
    // Arrow 1 steps back; a release over it stops the repeat as well.
    g_buttonDown = true;
    Mouse(b, EVT_LBUTTONDOWN, 8, a / 2);
    EXPECT_EQ(Value(b), 3);
    g_buttonDown = false;
    Mouse(b, EVT_LBUTTONUP, 8, a / 2);
    EXPECT_EQ(static_cast<IAbility*>(b)->GetState(), ABILITY_STOPPED);
}

TEST_F(ScrollBarTest, PressingTheTrackPagesTowardsThePointer) {
    const LONG a = GetSystemMetrics(SM_CXHSCROLL);
    ScrollBarObject* b = Make(kScrollHorz, 100 + 2 * a, 16);  // track 100, thumb 10
    g_buttonDown = true;
    site.clock = 0;
    Mouse(b, EVT_LBUTTONDOWN, a + 95, 8);  // the value there is 100
    EXPECT_EQ(Value(b), 10);               // one page
    for (DWORD clock = 500; clock <= 1500; clock += 100) Tick(b, clock);
    EXPECT_EQ(Value(b), 100);
    Mouse(b, EVT_LBUTTONUP, a + 95, 8);
    // Further than a page it pages; within a page the value jumps there.
    Mouse(b, EVT_LBUTTONDOWN, a + 50, 8);
    EXPECT_EQ(Value(b), 90);
    Mouse(b, EVT_LBUTTONUP, a + 50, 8);
    Mouse(b, EVT_LBUTTONDOWN, a + 79, 8);  // (100 x 74 + 45) / 90, before the thumb
    EXPECT_EQ(Value(b), 82);
    Mouse(b, EVT_LBUTTONUP, a + 79, 8);
}

TEST_F(ScrollBarTest, AThumbDraggedOutOfTheBarReturnsToItsValueAtThePress) {
    const LONG a = GetSystemMetrics(SM_CXHSCROLL);
    ScrollBarObject* b = Make(kScrollHorz, 100 + 2 * a, 16);
    b->put_ObjValue(50);
    const RECT thumb = b->Thumb().rect;  // 45 .. 55 along the track
    g_buttonDown = true;
    Mouse(b, EVT_LBUTTONDOWN, thumb.left + 2, 8);
    EXPECT_EQ(b->PressMode(), SCROLLPRESS_THUMB);
    Mouse(b, EVT_MOUSEMOVE, thumb.left + 2 + 9, 8);  // 100 x 9 / 90
    EXPECT_EQ(Value(b), 60);
    Mouse(b, EVT_MOUSEMOVE, thumb.left + 2 - 18, 8);
    EXPECT_EQ(Value(b), 30);
    Mouse(b, EVT_MOUSEMOVE, thumb.left + 2 + 9, 40);  // below the bar
    EXPECT_EQ(Value(b), 50);
    g_buttonDown = false;
    Mouse(b, EVT_LBUTTONUP, thumb.left + 30, 40);
    EXPECT_EQ(Value(b), 50);
    EXPECT_EQ(b->PressMode(), SCROLLPRESS_NONE);
    // A thumb that fills its track has no room to move.
    b->put_ObjMaxValue(0);
    g_buttonDown = true;
    Mouse(b, EVT_LBUTTONDOWN, a + 50, 8);
    Mouse(b, EVT_MOUSEMOVE, a + 70, 8);
    EXPECT_EQ(Value(b), 0);
}

TEST_F(ScrollBarTest, ProgressBarsAndKnobsIgnoreThePointer) {
    ScrollBarObject* p = Make(kProgressHorz, 200, 20);
    ScrollBarObject* k = Make(kProgressHorz, 60, 60);
    k->SetKind(SCROLLKIND_KNOB);
    g_buttonDown = true;
    for (ScrollBarObject* b : {p, k}) {
        b->put_ObjValue(30);
        for (LONG x : {1, 30, 59}) {
            Mouse(b, EVT_LBUTTONDOWN, x, 10);
            Mouse(b, EVT_MOUSEMOVE, x + 20, 10);
            Mouse(b, EVT_LBUTTONUP, x + 20, 10);
        }
        EXPECT_EQ(Value(b), 30);
        EXPECT_EQ(b->PressMode(), SCROLLPRESS_NONE);
        EXPECT_TRUE(site.sequencer.clients.empty());
    }
}

TEST_F(ScrollBarTest, HitTestsThePartsAndTheKnobsCircle) {
    ScrollBarObject* b = Make(kSliderHorz, 200, 30);
    EXPECT_EQ(b->HitTestPoint(100 + 100, 50 + 15), 0);  // the track line
    EXPECT_EQ(b->HitTestPoint(100 + 100, 50 + 3), 1);   // above it
    EXPECT_EQ(b->HitTestPoint(100 + 2, 50 + 3), 0);     // the thumb at the start
    EXPECT_EQ(b->HitTestPoint(99, 60), 1);
    // A scroll bar's arrows hit; a progress bar's whole area is its track.
    ScrollBarObject* p = Make(kProgressHorz, 60, 20);
    EXPECT_EQ(p->HitTestPoint(100 + 59, 50 + 19), 0);
    EXPECT_EQ(p->HitTestPoint(100 + 60, 50 + 19), 1);
}

TEST_F(ScrollBarTest, DrawsTheTrackThumbAndArrowTriangles) {
    const LONG a = GetSystemMetrics(SM_CYVSCROLL);
    ScrollBarObject* b = Make(kScrollVert, 20, 100 + 2 * a);
    IUnknown* thumbFill = nullptr;
    b->GetThumbFill(&thumbFill);
    SetColor(thumbFill, 0x0000FF);
    b->put_ObjMaxValue(99);
    b->put_ObjValue(99);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(300, 300));
    RECT all = {0, 0, 300, 300};
    target->FillRect(&all, 0x00FF00);
    RECT bounds;
    b->GetBoundsRect(&bounds);
    ASSERT_EQ(b->DrawContent(target, &bounds), S_OK);
    const int x = 100 + 10, trackTop = 50 + a;
    EXPECT_EQ(PixelOf(target, x, trackTop + 95), 0xFF0000u);   // the thumb at the end
    EXPECT_EQ(PixelOf(target, x, trackTop + 50), 0xC0C0C0u);   // the track
    EXPECT_EQ(PixelOf(target, 99, trackTop + 50), 0x00FF00u);  // outside
    // Bevel: the face colour on the outer top-left, dark on the outer right.
    EXPECT_EQ(PixelOf(target, 100 + 19, 50 + a / 2), 0u);
    EXPECT_EQ(PixelOf(target, 100 + 1, 50 + a / 2), 0xFFFFFFu);  // light inner edge
    // The up arrow's triangle in the dark colour near its middle.
    EXPECT_EQ(PixelOf(target, 100 + 10, 50 + a / 2 + 1), 0u);
    // The knob is cut to its circle over the sunken track.
    ScrollBarObject* k = Make(kProgressHorz, 60, 60);
    k->SetKind(SCROLLKIND_KNOB);
    k->GetThumbFill(&thumbFill);
    SetColor(thumbFill, 0x0000FF);
    k->GetBoundsRect(&bounds);
    target->FillRect(&all, 0x00FF00);
    ASSERT_EQ(k->DrawContent(target, &bounds), S_OK);
    EXPECT_EQ(PixelOf(target, 130, 80), 0xFF0000u);  // the centre
    EXPECT_EQ(PixelOf(target, 106, 56), 0xC0C0C0u);  // the knob's corner: the track
    EXPECT_EQ(PixelOf(target, 101, 51), 0x808080u);  // the track's sunken edge
}

TEST_F(ScrollBarTest, FollowsALinkedRowAndSetsIt) {
    CComObject<RowSource>* rows = nullptr;
    CComObject<RowSource>::CreateInstance(&rows);
    CComPtr<IUnknown> keep(static_cast<IEventSinkTable*>(rows));
    site.finder.objects["Grid1"] = keep;
    ScrollBarObject* b = Make(kScrollVert, 16, 200);
    Bstr object(L"Grid1"), row(L"vertical");
    b->SetLinkObject(object);
    b->SetLinkRow(row);
    EXPECT_EQ(b->LinkedSink(), nullptr);  // not linked yet
    b->SetLinked(1);
    ASSERT_NE(b->LinkedSink(), nullptr);
    IUnknown* sink = static_cast<IDispatch*>(static_cast<ScrollBarDispDefaults*>(b));
    EXPECT_EQ(rows->IsSinkInRow(1, sink), S_OK);
    LONG v = 0;
    b->get_ObjMaxValue(&v);
    EXPECT_EQ(v, 40);
    b->get_ObjMinValue(&v);
    EXPECT_EQ(v, 2);
    b->get_ObjPageValue(&v);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(b->StepAmount(), 3);
    EXPECT_EQ(Value(b), 12);
    // Moving the bar sets the row; the row's firing (through slot 49) moves
    // the bar.
    b->put_ObjValue(3);
    ASSERT_EQ(rows->set.size(), 1u);
    EXPECT_EQ(rows->set[0], (std::pair<LONG, LONG>{1, 3}));
    rows->value = 30;
    rows->FireEvent(1, 16);
    EXPECT_EQ(Value(b), 30);
    rows->maximum = 20;
    rows->FireEvent(1, 1);
    b->get_ObjMaxValue(&v);
    EXPECT_EQ(v, 20);
    EXPECT_EQ(Value(b), 20);
    EXPECT_EQ(rows->set.size(), 1u);  // taking the row's values sets nothing back
    // Leaving the page drops the link; entering makes it again.
    b->BeforeExit();
    EXPECT_EQ(rows->IsSinkInRow(1, sink), S_FALSE);
    EXPECT_EQ(b->LinkedSink(), nullptr);
    b->BeforeEnter();
    EXPECT_EQ(rows->IsSinkInRow(1, sink), S_OK);
    // Negative flags from the table drop the link.
    rows->FireEvent(1, -1);
    EXPECT_EQ(b->LinkedSink(), nullptr);
    EXPECT_EQ(rows->IsSinkInRow(1, sink), S_FALSE);
    // A row or an object that is not there leaves the bar unlinked.
    Bstr none(L"Nothing");
    b->SetLinkRow(none);
    EXPECT_EQ(b->LinkedSink(), nullptr);
    b->SetLinkRow(row);
    b->SetLinkObject(none);
    EXPECT_EQ(b->LinkedSink(), nullptr);
}

class ScrollBarRecordTest : public ScrollBarTest {
protected:
    ScrollBarRecord Record() {
        ScrollBarRecord r;
        r.value = 30;
        r.maximum = 60;
        r.minimum = 10;
        r.page = 5;
        r.kind = SCROLLKIND_SCROLL;
        r.vertical = 1;
        r.linked = 1;
        r.linkObject = L"Grid1";
        r.linkRow = L"Vertical";
        for (int i = 0; i < 4; ++i) {
            ScrollBarPartRecord& p = r.parts[i];
            p.fill = FillRecord(0x102030 * (i + 1));
            p.pressedFill = FillRecord(0xDFDFDF);
            p.visible = 1;
            p.direction = i + 1;
            p.alphaStart = 10;
            p.alphaEnd = 200;
        }
        r.parts[0].left = 0, r.parts[0].top = 0, r.parts[0].right = 16, r.parts[0].bottom = 16;
        r.parts[2].left = 0, r.parts[2].top = 16, r.parts[2].right = 16, r.parts[2].bottom = 184;
        return r;
    }
    std::vector<uint8_t> Stream(const ScrollBarRecord& rec) {
        ObjectPrefix prefix;
        prefix.width = 16;
        prefix.height = 200;
        std::vector<uint8_t> own = WriteScrollBarRecord(rec);
        prefix.eventProc.insert(prefix.eventProc.end(), own.begin(), own.end());
        return WriteObjectPrefix(prefix);
    }
};

TEST_F(ScrollBarRecordTest, LoadsAndSavesTheRecord) {
    ScrollBarObject* b = Make(kSliderHorz, 16, 200);
    CComPtr<ITeskStream> s = MemStreamOf(Stream(Record()));
    ASSERT_EQ(static_cast<IObjectBase*>(b)->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    EXPECT_EQ(Value(b), 30);
    LONG kind = -1;
    b->GetKind(&kind);
    EXPECT_EQ(kind, SCROLLKIND_SCROLL);
    Bstr row;
    b->GetLinkRow(&row);
    EXPECT_STREQ(row, L"Vertical");
    EXPECT_EQ(b->Track().rect.bottom, 184);  // the stored layout is kept
    EXPECT_EQ(b->Thumb().alphaEnd, 200);
    // Saved and loaded again, the same record.
    CComPtr<ITeskStream> out = NewMemStream();
    ASSERT_EQ(b->SaveExtension(out), S_OK);
    std::vector<uint8_t> own = WriteScrollBarRecord(Record());
    std::vector<uint8_t> saved((size_t)out->GetPosition());
    out->SetMode(0);
    out->Seek(0, TESK_SEEK_SET);
    out->Read(saved.data(), (ULONG)saved.size());
    EXPECT_EQ(saved.size(), own.size());
    // Only the thumb's rectangle moved with the value when the parts were
    // read back: everything else is the record as written.
    ScrollBarObject* c = Make(kSliderHorz, 16, 200);
    ASSERT_EQ(c->LoadExtension(MemStreamOf(saved)), S_OK);
    EXPECT_EQ(c->Track().rect.top, 16);
    EXPECT_EQ(Value(c), 30);
}

TEST_F(ScrollBarRecordTest, AMaximumBelowTheMinimumTakesTheMinimum) {
    ScrollBarRecord rec = Record();
    rec.maximum = 5;
    rec.minimum = 10;
    rec.page = -3;
    ScrollBarObject* b = Make(kSliderHorz, 16, 200);
    ASSERT_EQ(static_cast<IObjectBase*>(b)->Load(MemStreamOf(Stream(rec))), S_OK);
    LONG v = 0;
    b->get_ObjMaxValue(&v);
    EXPECT_EQ(v, 10);
    EXPECT_EQ(Value(b), 10);
    b->get_ObjPageValue(&v);
    EXPECT_EQ(v, 1);
}

TEST_F(ScrollBarRecordTest, TruncatedAndCorruptedRecords) {
    std::vector<uint8_t> bytes = Stream(Record());
    size_t start = WriteObjectPrefix(ObjectPrefix()).size() - 8;
    for (size_t n = start; n < bytes.size() - 8; ++n) {
        ScrollBarObject* b = Make(kScrollVert, 16, 200);
        CComPtr<ITeskStream> s =
            MemStreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_NE(static_cast<IObjectBase*>(b)->Load(s), S_OK) << n;
        EXPECT_LE(s->GetPosition(), n);
        LONG max = 0;
        b->get_ObjMaxValue(&max);
        EXPECT_EQ(max, 100) << n;  // the bar stays as it was
    }
    // Names whose counts run past the stream.
    for (uint32_t count : {0x7FFFFFFFu, 0xFFFFFFFFu, 5000u}) {
        std::vector<uint8_t> bad = bytes;
        size_t at = start + 32;  // after the eight values
        for (int i = 0; i < 4; ++i) bad[at + i] = (uint8_t)(count >> (8 * i));
        ScrollBarObject* b = Make(kScrollVert, 16, 200);
        EXPECT_EQ(static_cast<IObjectBase*>(b)->Load(MemStreamOf(bad)), E_FAIL);
    }
    std::mt19937 random(3203);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(300, 300));
    for (int round = 0; round < 60; ++round) {
        std::vector<uint8_t> bad = bytes;
        for (int k = 0; k < 3; ++k)
            bad[start + random() % (bad.size() - start - 8)] = (uint8_t)random();
        ScrollBarObject* b = Make(kScrollVert, 16, 200);
        CComPtr<ITeskStream> s = MemStreamOf(bad);
        static_cast<IObjectBase*>(b)->Load(s);
        EXPECT_LE(s->GetPosition(), bad.size());
        RECT r;
        b->GetBoundsRect(&r);
        b->DrawContent(target, &r);
        b->HitTestPoint(r.left + 3, r.top + 3);
    }
}

}  // namespace
