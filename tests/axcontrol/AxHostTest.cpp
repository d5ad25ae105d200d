// The ActiveX container window hosting the test control: creation from a
// class-identifier text with a state stream, the ambient user mode,
// window-less and windowed activation by verb, messages to a window-less
// control and a class that is not there.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "aAxHost.h"

namespace {

std::wstring HostWinPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p) path.push_back(*p == '/' ? L'\\' : (wchar_t)*p);
    return path;
}

const wchar_t kClsidText[] = L"{6A1C3E23-5B7D-4F0A-9C21-3D4E5F607181}";
const IID kEvents = {0x6A1C3E22, 0x5B7D, 0x4F0A, {0x9C, 0x21, 0x3D, 0x4E, 0x5F, 0x60, 0x71, 0x81}};

typedef HRESULT(WINAPI* DllFunc)();

class Clicks : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override {
        *ppv = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != kEvents)
            return E_NOINTERFACE;
        *ppv = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        points.push_back(POINT{p->rgvarg[1].lVal, p->rgvarg[0].lVal});
        return S_OK;
    }
    std::vector<POINT> points;
};

// The control registered for the user while the suite runs.
class AxHostTest : public ::testing::Test {
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
    void SetUp() override {
        ASSERT_NE(dll, nullptr);
        parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_EQ(AxCreateInstance(&unk), S_OK);
        unk->QueryInterface(__uuidof(IAxWinHostWindow), reinterpret_cast<void**>(&host));
        unk->QueryInterface(__uuidof(IAxHostControl), reinterpret_cast<void**>(&control));
        ASSERT_NE(host, nullptr);
        ASSERT_NE(control, nullptr);
    }
    void TearDown() override {
        if (control)
            control->Release();
        if (host)
            host->Release();
        if (unk)
            unk->Release();
        DestroyWindow(parent);
    }
    // A state stream of the control: colour, windowed flag, empty note.
    static IStream* State(COLORREF color, DWORD windowed) {
        IStream* s = nullptr;
        CreateStreamOnHGlobal(nullptr, TRUE, &s);
        const DWORD words[3] = {color, windowed, 0};
        s->Write(words, sizeof(words), nullptr);
        LARGE_INTEGER zero = {};
        s->Seek(zero, STREAM_SEEK_SET, nullptr);
        return s;
    }
    LONG Color() {
        IDispatch* d = nullptr;
        host->QueryControl(IID_IDispatch, reinterpret_cast<void**>(&d));
        if (!d)
            return -1;
        VARIANT v;
        VariantInit(&v);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        d->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr);
        d->Release();
        return v.lVal;
    }

    static HMODULE dll;
    HWND parent = nullptr;
    IUnknown* unk = nullptr;
    IAxWinHostWindow* host = nullptr;
    IAxHostControl* control = nullptr;
};
HMODULE AxHostTest::dll = nullptr;

TEST_F(AxHostTest, CreatesTheControlWithItsStateAndName) {
    IStream* state = State(RGB(1, 2, 3), 0);
    IUnknown* made = nullptr;
    ASSERT_EQ(host->CreateControlEx(kClsidText, parent, state, &made, IID_NULL, nullptr), S_OK);
    state->Release();
    ASSERT_NE(made, nullptr);
    made->Release();
    EXPECT_EQ(Color(), (LONG)RGB(1, 2, 3));
    wchar_t text[64] = L"";
    GetWindowTextW(control->GetHostWindow(), text, 64);
    EXPECT_STREQ(text, L"TestAxControl Class");
    EXPECT_EQ(GetParent(control->GetHostWindow()), parent);
    IViewObject* view = nullptr;
    EXPECT_EQ(host->QueryControl(IID_IViewObject, reinterpret_cast<void**>(&view)), S_OK);
    if (view)
        view->Release();
    // The user mode is an ambient property the control can ask for.
    IOleClientSite* site = nullptr;
    unk->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&site));
    IDispatch* ambient = nullptr;
    site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient));
    ASSERT_NE(ambient, nullptr);
    IAxWinAmbientDispatch* ambients = nullptr;
    unk->QueryInterface(__uuidof(IAxWinAmbientDispatch), reinterpret_cast<void**>(&ambients));
    for (VARIANT_BOOL mode : {VARIANT_FALSE, VARIANT_TRUE}) {
        ambients->put_UserMode(mode);
        VARIANT v;
        VariantInit(&v);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        EXPECT_EQ(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                  &v, nullptr, nullptr),
                  S_OK);
        EXPECT_EQ(v.vt, VT_BOOL);
        EXPECT_EQ(v.boolVal, mode);
    }
    ambients->Release();
    ambient->Release();
    site->Release();
}

TEST_F(AxHostTest, ActivatesWindowlessOrWithItsOwnWindow) {
    struct Case {
        const char* name;
        DWORD windowed;
    } cases[] = {{"window-less", 0}, {"windowed", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IStream* state = State(RGB(0, 200, 0), c.windowed);
        ASSERT_EQ(host->CreateControl(kClsidText, parent, state), S_OK);
        state->Release();
        RECT rect = {20, 30, 80, 70};
        control->SetControlRect(&rect);
        ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE), S_OK);
        EXPECT_EQ(control->IsWindowless(), c.windowed ? S_FALSE : S_OK);
        IOleWindow* window = nullptr;
        host->QueryControl(IID_IOleWindow, reinterpret_cast<void**>(&window));
        HWND own = nullptr;
        EXPECT_EQ(SUCCEEDED(window->GetWindow(&own)), c.windowed != 0);
        window->Release();
        IConnectionPointContainer* cpc = nullptr;
        host->QueryControl(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc));
        IConnectionPoint* cp = nullptr;
        cpc->FindConnectionPoint(kEvents, &cp);
        Clicks clicks;
        DWORD cookie = 0;
        cp->Advise(&clicks, &cookie);
        if (c.windowed) {
            EXPECT_EQ(GetParent(own), parent);
            RECT r;
            GetWindowRect(own, &r);
            EXPECT_EQ(r.right - r.left, 60);
            EXPECT_EQ(control->SendControlMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(5, 6), nullptr),
                      S_FALSE);
        } else {
            EXPECT_EQ(control->SendControlMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(5, 6), nullptr),
                      S_OK);
            ASSERT_EQ(clicks.points.size(), 1u);
            EXPECT_EQ(clicks.points[0].x, 5);
            EXPECT_EQ(clicks.points[0].y, 6);
        }
        cp->Unadvise(cookie);
        cp->Release();
        cpc->Release();
    }
}

// A window-less control borrows the mouse capture and device contexts of the
// window it draws into: the host's parent.
TEST_F(AxHostTest, AWindowlessControlBorrowsItsWindowsCaptureAndContexts) {
    IStream* state = State(RGB(0, 0, 0), 0);
    ASSERT_EQ(host->CreateControl(kClsidText, parent, state), S_OK);
    state->Release();
    IOleInPlaceSiteWindowless* site = nullptr;
    ASSERT_EQ(unk->QueryInterface(IID_IOleInPlaceSiteWindowless, reinterpret_cast<void**>(&site)),
              S_OK);
    HWND window = nullptr;
    EXPECT_EQ(site->GetWindow(&window), S_OK);
    EXPECT_EQ(window, parent);
    EXPECT_EQ(site->GetCapture(), S_FALSE);
    EXPECT_EQ(site->SetCapture(TRUE), S_OK);
    EXPECT_EQ(site->GetCapture(), S_OK);
    EXPECT_EQ(GetCapture(), parent);
    EXPECT_EQ(site->SetCapture(FALSE), S_OK);
    EXPECT_EQ(site->GetCapture(), S_FALSE);
    EXPECT_EQ(GetCapture(), nullptr);
    HDC dc = nullptr;
    ASSERT_EQ(site->GetDC(nullptr, 0, &dc), S_OK);
    EXPECT_EQ(WindowFromDC(dc), parent);
    EXPECT_EQ(site->ReleaseDC(dc), S_OK);
    EXPECT_EQ(site->GetDC(nullptr, 0, nullptr), E_POINTER);
    site->Release();
}

TEST_F(AxHostTest, AClassThatIsNotThereMakesNoControl) {
    EXPECT_TRUE(
        FAILED(host->CreateControl(L"{00000000-1111-2222-3333-444444444444}", parent, nullptr)));
    IUnknown* none = nullptr;
    EXPECT_EQ(host->QueryControl(IID_IUnknown, reinterpret_cast<void**>(&none)), E_NOINTERFACE);
    EXPECT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE), E_UNEXPECTED);
    EXPECT_TRUE(FAILED(host->CreateControl(L"not a class", parent, nullptr)));
}

}  // namespace
