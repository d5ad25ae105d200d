// The ActiveX control object hosting the real test control: its record with
// and without a control, state longer than one piece, a class that is not
// there, corrupted records, "Ax." script names, drawing into a page buffer,
// clicks reaching a window-less control and its events reaching the object's
// procedure, and an own-window control shown only while the object holds.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aAxObj.h"
#include "aGDIBuf.h"
#include "aPamAbl.h"

namespace {

std::wstring HostWinPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p) path.push_back(*p == '/' ? L'\\' : (wchar_t)*p);
    return path;
}

const GUID kTestControl = {
    0x6A1C3E23, 0x5B7D, 0x4F0A, {0x9C, 0x21, 0x3D, 0x4E, 0x5F, 0x60, 0x71, 0x81}};
const GUID kMissing = {
    0x00000000, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44}};
// The test control's Clicked(x, y).
const DISPID kClicked = 1;
// A new control's colour.
const LONG kNewColor = RGB(0, 128, 255);

typedef HRESULT(WINAPI* DllFunc)();

COLORREF PixelAt(IPixelBuffer* buffer, int x, int y) {
    HDC dc = nullptr;
    buffer->GetDC(&dc);
    COLORREF c = GetPixel(dc, x, y);
    buffer->ReleaseDC(dc);
    return c;
}

class AxObjectTest : public ObjectFixture {
protected:
    static void SetUpTestSuite() {
        OleInitialize(nullptr);
        dll = LoadLibraryW(HostWinPath(TESTAXCONTROL_DLL).c_str());
        if (dll)
            reinterpret_cast<DllFunc>(
                reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")))();
    }
    static void TearDownTestSuite() {
        if (dll)
            reinterpret_cast<DllFunc>(
                reinterpret_cast<void*>(GetProcAddress(dll, "DllUnregisterServer")))();
    }
    void SetUp() override { ASSERT_NE(dll, nullptr); }

    ActiveXObject* Make() {
        ActiveXObject* ax = MakeBuiltin<ActiveXObject>(CreateActiveXObject);
        if (ax) {
            ax->SetWidth(80);
            ax->SetHeight(60);
            ax->MoveTo(140, 80);  // bounds 100,50 - 180,110
        }
        return ax;
    }
    static std::vector<uint8_t> Record(COLORREF color, bool windowed,
                                       const std::wstring& note = std::wstring()) {
        AxObjectRecord r;
        r.clsid = kTestControl;
        r.saved = TestAxControlState(color, windowed, note);
        return WriteAxObjectRecord(r);
    }
    static HRESULT Load(ActiveXObject* ax, const std::vector<uint8_t>& bytes) {
        return ax->LoadKind(MemStreamOf(bytes));
    }
    static std::vector<uint8_t> Saved(ActiveXObject* ax, HRESULT* hr = nullptr) {
        CComPtr<ITeskStream> s = NewMemStream();
        HRESULT r = ax->SaveKind(s);
        if (hr)
            *hr = r;
        return ContentBytes(s);
    }
    static DISPID IdOf(ActiveXObject* ax, const wchar_t* name, HRESULT* hr = nullptr) {
        LPOLESTR text = const_cast<LPOLESTR>(name);
        DISPID id = 12345;
        HRESULT r = ax->GetIDsOfNames(IID_NULL, &text, 1, 0, &id);
        if (hr)
            *hr = r;
        return id;
    }
    static HRESULT Get(ActiveXObject* ax, DISPID id, VARIANT* out) {
        VariantInit(out);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        return ax->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, out, nullptr, nullptr);
    }
    static HRESULT Put(ActiveXObject* ax, DISPID id, LONG value) {
        VARIANT v;
        v.vt = VT_I4;
        v.lVal = value;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS one = {&v, &named, 1, 1};
        return ax->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &one, nullptr, nullptr, nullptr);
    }
    static LONG ColorOf(ActiveXObject* ax) {
        VARIANT v;
        return SUCCEEDED(Get(ax, IdOf(ax, L"Ax.Color"), &v)) ? v.lVal : -1;
    }
    static bool Shown(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

    static HMODULE dll;
};
HMODULE AxObjectTest::dll = nullptr;

TEST_F(AxObjectTest, WithoutAControlTheRecordIsTheHeaderWithFlagOne) {
    ActiveXObject* ax = Make();
    ASSERT_NE(ax, nullptr);
    HRESULT hr = S_OK;
    std::vector<uint8_t> bytes = Saved(ax, &hr);
    EXPECT_EQ(hr, S_FALSE);
    ASSERT_EQ(bytes.size(), 256u);
    EXPECT_EQ(bytes[16], 1);  // the no-control flag after the 16-byte class identifier
    // It reads back as the same empty object.
    AxObjectRecord none;
    none.noControl = true;
    ActiveXObject* again = Make();
    EXPECT_EQ(Load(again, WriteAxObjectRecord(none)), S_OK);
    EXPECT_FALSE(again->HasControl());
    EXPECT_EQ(Saved(again), WriteAxObjectRecord(none));
}

// 16 + 12 + 2 x 336 = 700 bytes of state: two whole pieces of 512 and a part.
TEST_F(AxObjectTest, AStateLongerThanOnePieceRoundTrips) {
    const std::wstring note(336, L'n');
    const std::vector<uint8_t> record = Record(RGB(10, 20, 30), false, note);
    ASSERT_EQ(record[256] | record[257] << 8, 700);
    ActiveXObject* ax = Make();
    ASSERT_EQ(Load(ax, record), S_OK);
    ASSERT_TRUE(ax->HasControl());
    EXPECT_STREQ(ax->ControlName(), "TestAxControl Class");
    EXPECT_EQ(ColorOf(ax), (LONG)RGB(10, 20, 30));
    VARIANT v;
    ASSERT_EQ(Get(ax, IdOf(ax, L"Ax.Note"), &v), S_OK);
    EXPECT_EQ(std::wstring(v.bstrVal), note);
    VariantClear(&v);
    HRESULT hr = E_FAIL;
    EXPECT_EQ(Saved(ax, &hr), record);
    EXPECT_EQ(hr, S_OK);
}

TEST_F(AxObjectTest, AMissingClassLeavesTheObjectEmpty) {
    AxObjectRecord r;
    r.clsid = kMissing;
    r.saved = TestAxControlState(RGB(1, 2, 3), false);
    ActiveXObject* ax = Make();
    LogCapture log;
    EXPECT_EQ(Load(ax, WriteAxObjectRecord(r)), S_OK);
    EXPECT_FALSE(ax->HasControl());
    EXPECT_LOGGED(log, "OleRegGetUserType FAILED");
    HRESULT hr = S_OK;
    EXPECT_EQ(Saved(ax, &hr).size(), 256u);
    EXPECT_EQ(hr, S_FALSE);
}

// Truncated and corrupted copies: no crash and no read past the stream; a
// record cut inside its state, or with a length below 0 or past the stream,
// fails and gets the control without state.
TEST_F(AxObjectTest, CorruptedRecordsMakeTheControlWithoutState) {
    const std::vector<uint8_t> good = Record(RGB(200, 0, 0), false, L"note");
    ActiveXObject* ax = Make();
    for (size_t n = 0; n < good.size(); ++n) {
        SCOPED_TRACE(n);
        const std::vector<uint8_t> cut(good.begin(), good.begin() + n);
        CComPtr<ITeskStream> s = MemStreamOf(cut);
        EXPECT_EQ(ax->LoadKind(s), E_FAIL);
        EXPECT_LE(s->GetPosition(), (ULONGLONG)n);
        // Past the header the class is known: the control exists, as new.
        EXPECT_EQ(ax->HasControl(), n >= 256);
        if (n >= 256) {
            EXPECT_EQ(ColorOf(ax), kNewColor);
        }
    }
    struct Case {
        const char* name;
        uint32_t length;
    } cases[] = {{"negative", 0xFFFFFFFF}, {"past the stream", 0x7FFFFFF0}, {"one too many", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bad = good;
        const uint32_t length = c.length ? c.length : (uint32_t)(bad.size() - 256 - 4 - 4 + 1);
        for (int i = 0; i < 4; ++i) bad[256 + i] = (uint8_t)(length >> (8 * i));
        LogCapture log;
        EXPECT_EQ(Load(ax, bad), E_FAIL);
        EXPECT_LOGGED(log, "some error occur while read axobj");
        EXPECT_TRUE(ax->HasControl());
        EXPECT_EQ(ColorOf(ax), kNewColor);
    }
    // A state the control refuses (its class identifier only): the object
    // stays on the page without a control.
    AxObjectRecord idOnly;
    idOnly.clsid = kTestControl;
    EXPECT_EQ(Load(ax, WriteAxObjectRecord(idOnly)), S_OK);
    EXPECT_FALSE(ax->HasControl());
}

TEST_F(AxObjectTest, AxNamesReachTheControlOwnNamesTheObject) {
    ActiveXObject* ax = Make();
    ASSERT_EQ(Load(ax, Record(RGB(5, 6, 7), false)), S_OK);
    const DISPID color = IdOf(ax, L"Ax.Color");
    EXPECT_GE(color, 30000);
    EXPECT_EQ(IdOf(ax, L"Ax.Color"), color);
    const DISPID note = IdOf(ax, L"Ax.Note");
    EXPECT_GE(note, 30000);
    EXPECT_NE(note, color);
    EXPECT_EQ(IdOf(ax, L"Ax.Color"), color);
    VARIANT v;
    ASSERT_EQ(Get(ax, color, &v), S_OK);
    EXPECT_EQ(v.lVal, (LONG)RGB(5, 6, 7));
    ASSERT_EQ(Put(ax, color, RGB(9, 9, 9)), S_OK);
    EXPECT_EQ(ColorOf(ax), (LONG)RGB(9, 9, 9));
    // The object's own member through its type information.
    const DISPID width = IdOf(ax, L"ObjWidth");
    EXPECT_LT(width, 10000);
    EXPECT_EQ(IdOf(ax, L"ObjWidth"), width);
    ASSERT_EQ(Get(ax, width, &v), S_OK);
    EXPECT_EQ(v.lVal, 80);
    // Names found nowhere and ids never given.
    for (const wchar_t* name : {L"Ax.Nothing", L"NoAbility.Color", L"Nothing"}) {
        SCOPED_TRACE(testing::Message() << name);
        HRESULT hr = S_OK;
        EXPECT_EQ(IdOf(ax, name, &hr), DISPID_UNKNOWN);
        EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);
    }
    EXPECT_EQ(Get(ax, -1, &v), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Get(ax, 20005, &v), DISP_E_MEMBERNOTFOUND);
}

// "ability.member" names reach an ability's own members; each ability
// entry keeps its ability beside the member.
TEST_F(AxObjectTest, AbilityNamesReachTheAbility) {
    ActiveXObject* ax = Make();
    ASSERT_EQ(Load(ax, Record(RGB(5, 6, 7), false)), S_OK);
    CComPtr<IUnknown> motion;
    ASSERT_EQ(CreatePathMotion(&motion), S_OK);
    ASSERT_EQ(ax->SetAbility(L"PathAnimate", -1, motion), S_OK);
    const DISPID time = IdOf(ax, L"PathAnimate.TimeCount");
    EXPECT_GE(time, 20000);
    EXPECT_LT(time, 30000);
    const DISPID curves = IdOf(ax, L"PathAnimate.CurveCount");
    EXPECT_GE(curves, 20000);
    EXPECT_NE(curves, time);
    EXPECT_EQ(IdOf(ax, L"PathAnimate.TimeCount"), time);
    VARIANT v;
    ASSERT_EQ(Get(ax, time, &v), S_OK);
    EXPECT_EQ(v.lVal, 0);  // before the first start
    ASSERT_EQ(Get(ax, curves, &v), S_OK);
    EXPECT_EQ(v.lVal, 0);
    HRESULT hr = S_OK;
    EXPECT_EQ(IdOf(ax, L"PathAnimate.Nothing", &hr), DISPID_UNKNOWN);
    EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);
    ASSERT_EQ(ax->SetAbility(L"PathAnimate", -1, nullptr), S_OK);
}

TEST_F(AxObjectTest, AWindowlessControlDrawsItsColourIntoThePageBuffer) {
    ActiveXObject* ax = Make();
    ASSERT_EQ(Load(ax, Record(RGB(0, 160, 0), false)), S_OK);
    CComPtr<IPixelBuffer> page;
    page.Attach(CreateGDIBuffer(300, 200));
    const COLORREF back = RGB(0x12, 0x34, 0x56);
    page->FillRect(nullptr, back);
    RECT r;
    ax->GetBoundsRect(&r);
    ASSERT_EQ(ax->DrawContent(page, &r), S_OK);
    EXPECT_EQ(ax->OwnWindow(), nullptr);
    for (POINT p : {POINT{100, 50}, POINT{179, 109}, POINT{140, 80}})
        EXPECT_EQ(PixelAt(page, p.x, p.y), RGB(0, 160, 0)) << p.x << "," << p.y;
    for (POINT p : {POINT{99, 50}, POINT{180, 80}, POINT{140, 49}, POINT{140, 110}})
        EXPECT_EQ(PixelAt(page, p.x, p.y), back) << p.x << "," << p.y;
    // The first draw activated it and started the clock part; the exit
    // stops it.
    EXPECT_EQ(ax->CAbility::GetState(), ABILITY_RUNNING);
    EXPECT_EQ(ax->HasOwnWindow(), S_OK);
    ax->BeforeExit();
    EXPECT_EQ(ax->CAbility::GetState(), ABILITY_STOPPED);
}

// Not playing, the control's picture is taken once (activated, drawn,
// deactivated) and copied: the clock part stays stopped.
TEST_F(AxObjectTest, NotPlayingThePictureIsTakenOnce) {
    site.playing = FALSE;
    ActiveXObject* ax = Make();
    ASSERT_EQ(Load(ax, Record(RGB(200, 100, 0), false)), S_OK);
    CComPtr<IPixelBuffer> page;
    page.Attach(CreateGDIBuffer(300, 200));
    page->FillRect(nullptr, RGB(1, 2, 3));
    RECT r;
    ax->GetBoundsRect(&r);
    ASSERT_EQ(ax->DrawContent(page, &r), S_OK);
    EXPECT_EQ(PixelAt(page, 140, 80), RGB(200, 100, 0));
    EXPECT_EQ(PixelAt(page, 99, 80), RGB(1, 2, 3));
    EXPECT_EQ(ax->CAbility::GetState(), ABILITY_STOPPED);
    // The colour changes; the picture taken does not.
    ASSERT_EQ(Put(ax, IdOf(ax, L"Ax.Color"), RGB(0, 0, 0)), S_OK);
    ax->DrawContent(page, &r);
    EXPECT_EQ(PixelAt(page, 140, 80), RGB(200, 100, 0));
}

TEST_F(AxObjectTest, AClickReachesTheWindowlessControlAndItsEventTheProcedure) {
    ActiveXObject* ax = Make();
    ASSERT_EQ(Load(ax, Record(RGB(0, 0, 200), false)), S_OK);
    TestEventProc* proc = procs.last;
    ASSERT_NE(proc, nullptr);
    EXPECT_EQ(proc->subEventKeys, std::vector<DWORD>{EVT_CONTROLEVENT});
    CComPtr<IPixelBuffer> page;
    page.Attach(CreateGDIBuffer(300, 200));
    RECT r;
    ax->GetBoundsRect(&r);
    ax->DrawContent(page, &r);
    proc->calls.clear();
    ax->FireEvent(EVT_LBUTTONDOWN, MK_LBUTTON, MAKELONG(120, 70), 0);
    bool fired = false;
    for (const TestEventProc::Call& c : proc->calls) {
        if (c.id != EVT_CONTROLEVENT)
            continue;
        fired = true;
        ASSERT_EQ(c.values.size(), 3u);
        // The DISPID, then x and y read through their references.
        EXPECT_EQ(c.types[0], VT_INT);
        EXPECT_EQ(c.values[0], kClicked);
        EXPECT_EQ(c.values[1], 120);
        EXPECT_EQ(c.values[2], 70);
        EXPECT_EQ(c.types[1], VT_I4);
        EXPECT_EQ(c.types[2], VT_I4);
    }
    EXPECT_TRUE(fired);
    // The stock event itself reaches the procedure while bit 0 is set.
    ASSERT_FALSE(proc->calls.empty());
    EXPECT_EQ(proc->calls[0].id, (DISPID)EVT_LBUTTONDOWN);
    proc->calls.clear();
    ASSERT_EQ(ax->SetStockEventFiring(0), S_OK);
    ax->FireEvent(EVT_LBUTTONDOWN, MK_LBUTTON, MAKELONG(121, 71), 0);
    ASSERT_EQ(proc->calls.size(), 1u);
    EXPECT_EQ(proc->calls[0].id, (DISPID)EVT_CONTROLEVENT);
}

TEST_F(AxObjectTest, AnOwnWindowShowsOnlyWhileTheObjectHolds) {
    ActiveXObject* ax = Make();
    ASSERT_EQ(Load(ax, Record(RGB(90, 0, 90), true)), S_OK);
    CComPtr<IPixelBuffer> page;
    page.Attach(CreateGDIBuffer(300, 200));
    page->FillRect(nullptr, RGB(1, 1, 1));
    RECT r;
    ax->GetBoundsRect(&r);
    ax->DrawContent(page, &r);
    HWND own = ax->OwnWindow();
    ASSERT_NE(own, nullptr);
    HWND out = nullptr;
    EXPECT_EQ(ax->GetControlWindow(&out), S_FALSE);
    EXPECT_EQ(out, own);
    // Captured before it was hidden: the page shows its picture meanwhile.
    EXPECT_FALSE(Shown(own));
    EXPECT_EQ(PixelAt(page, 140, 80), RGB(90, 0, 90));
    struct Step {
        int state;
        DWORD event;
        bool shown;
    } steps[] = {{RS_ENTERED, EVT_OBJECTENTER, false},
                 {RS_HOLDING, EVT_OBJECTHOLD, true},
                 {RS_LEAVING, EVT_OBJECTLEAVE, false},
                 {RS_EXITED, EVT_MOUSEMOVE, false}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.state);
        ax->SetState(s.state);
        ax->FireEvent(s.event, 0, 0, 0);
        EXPECT_EQ(Shown(own), s.shown);
        // Its own window counts while it is not shown over the page.
        EXPECT_EQ(ax->HasOwnWindow(), s.state == RS_HOLDING ? S_OK : S_FALSE);
    }
    // An own-window control keeps the clock part stopped.
    EXPECT_EQ(ax->CAbility::GetState(), ABILITY_STOPPED);
}

}  // namespace
