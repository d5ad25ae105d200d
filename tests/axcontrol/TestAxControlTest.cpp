// The test control on its own: registration for the user, its state through
// IPersistStreamInit, drawing through IViewObject, Clicked from its default
// source, window-less and windowed activation. In a Wine prefix of its own:
// registering writes the user's classes.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "TestAxControl_h.h"

namespace {

std::wstring WinPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p) path.push_back(*p == '/' ? L'\\' : (wchar_t)*p);
    return path;
}

const CLSID kClsid = {0x6A1C3E23, 0x5B7D, 0x4F0A, {0x9C, 0x21, 0x3D, 0x4E, 0x5F, 0x60, 0x71, 0x81}};
const IID kEvents = {0x6A1C3E22, 0x5B7D, 0x4F0A, {0x9C, 0x21, 0x3D, 0x4E, 0x5F, 0x60, 0x71, 0x81}};
const IID kDual = {0x6A1C3E21, 0x5B7D, 0x4F0A, {0x9C, 0x21, 0x3D, 0x4E, 0x5F, 0x60, 0x71, 0x81}};

typedef HRESULT(WINAPI* DllFunc)();
typedef HRESULT(WINAPI* GetClassObjectFunc)(REFCLSID, REFIID, void**);

// The DLL, loaded once, and a new control from its class factory.
class ControlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        OleInitialize(nullptr);
        dll = LoadLibraryW(WinPath(TESTAXCONTROL_DLL).c_str());
    }
    void SetUp() override {
        ASSERT_NE(dll, nullptr);
        auto get = reinterpret_cast<GetClassObjectFunc>(
            reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
        ASSERT_NE(get, nullptr);
        IClassFactory* factory = nullptr;
        ASSERT_EQ(get(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unk)),
                  S_OK);
        factory->Release();
        unk->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist));
        ASSERT_NE(persist, nullptr);
        persist->InitNew();
        unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp));
        ASSERT_NE(disp, nullptr);
    }
    void TearDown() override {
        if (disp)
            disp->Release();
        if (persist)
            persist->Release();
        if (unk)
            unk->Release();
    }
    DISPID Id(const wchar_t* name) {
        LPOLESTR n = const_cast<LPOLESTR>(name);
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, &n, 1, 0, &id), S_OK) << (const char*)nullptr;
        return id;
    }
    HRESULT Put(const wchar_t* name, VARIANT value) {
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params = {&value, &put, 1, 1};
        return disp->Invoke(Id(name), IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                            nullptr);
    }
    HRESULT PutLong(const wchar_t* name, LONG v) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_I4;
        value.lVal = v;
        return Put(name, value);
    }
    LONG GetLong(const wchar_t* name) {
        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        EXPECT_EQ(disp->Invoke(Id(name), IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                               nullptr),
                  S_OK);
        return result.lVal;
    }

    static HMODULE dll;
    IUnknown* unk = nullptr;
    IPersistStreamInit* persist = nullptr;
    IDispatch* disp = nullptr;
};
HMODULE ControlTest::dll = nullptr;

// Records the events it is given.
class Sink : public IDispatch {
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
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        std::string text = std::to_string(id);
        for (UINT i = p->cArgs; i-- > 0;) text += " " + std::to_string(p->rgvarg[i].lVal);
        calls.push_back(text);
        return S_OK;
    }
    std::vector<std::string> calls;
};

IStream* StreamOf(const std::vector<BYTE>& bytes) {
    IStream* s = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &s);
    ULONG n = 0;
    if (!bytes.empty())
        s->Write(bytes.data(), (ULONG)bytes.size(), &n);
    LARGE_INTEGER zero = {};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
    return s;
}

std::vector<BYTE> BytesOf(IStream* s) {
    STATSTG st = {};
    s->Stat(&st, STATFLAG_NONAME);
    std::vector<BYTE> out((size_t)st.cbSize.QuadPart);
    LARGE_INTEGER zero = {};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG n = 0;
    if (!out.empty())
        s->Read(out.data(), (ULONG)out.size(), &n);
    return out;
}

TEST_F(ControlTest, RegistersForTheUserAndCreatesByClass) {
    auto reg = reinterpret_cast<DllFunc>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
    auto unreg = reinterpret_cast<DllFunc>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllUnregisterServer")));
    ASSERT_EQ(reg(), S_OK);
    wchar_t value[MAX_PATH] = L"";
    LONG size = sizeof(value);
    ASSERT_EQ(RegQueryValueW(HKEY_CURRENT_USER,
                             L"Software\\Classes\\CLSID\\{6A1C3E23-5B7D-4F0A-9C21-"
                             L"3D4E5F607181}\\InprocServer32",
                             value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(_wcsicmp(value, WinPath(TESTAXCONTROL_DLL).c_str()), 0);
    CLSID byName = {};
    EXPECT_EQ(CLSIDFromProgID(L"Mavro.TestAxControl.1", &byName), S_OK);
    EXPECT_TRUE(IsEqualCLSID(byName, kClsid));
    IUnknown* made = nullptr;
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&made)),
              S_OK);
    if (made)
        made->Release();
    LPOLESTR type = nullptr;
    EXPECT_EQ(OleRegGetUserType(kClsid, USERCLASSTYPE_FULL, &type), S_OK);
    if (type) {
        EXPECT_STREQ(type, L"TestAxControl Class");
        CoTaskMemFree(type);
    }
    ITypeLib* lib = nullptr;
    const GUID libid = {
        0x6A1C3E20, 0x5B7D, 0x4F0A, {0x9C, 0x21, 0x3D, 0x4E, 0x5F, 0x60, 0x71, 0x81}};
    EXPECT_EQ(LoadRegTypeLib(libid, 1, 0, LOCALE_NEUTRAL, &lib), S_OK);
    if (lib)
        lib->Release();
    ASSERT_EQ(unreg(), S_OK);
    EXPECT_NE(RegQueryValueW(HKEY_CURRENT_USER,
                             L"Software\\Classes\\CLSID\\{6A1C3E23-5B7D-4F0A-9C21-"
                             L"3D4E5F607181}\\InprocServer32",
                             value, &size),
              ERROR_SUCCESS);
}

TEST_F(ControlTest, StateRoundTripsAndDamagedStateIsRefused) {
    ASSERT_EQ(PutLong(L"Color", 0x123456), S_OK);
    VARIANT note;
    VariantInit(&note);
    note.vt = VT_BSTR;
    note.bstrVal = SysAllocString(L"hello");
    ASSERT_EQ(Put(L"Note", note), S_OK);
    VariantClear(&note);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    IStream* s = StreamOf({});
    ASSERT_EQ(persist->Save(s, TRUE), S_OK);
    const std::vector<BYTE> saved = BytesOf(s);
    s->Release();
    // colour 56 34 12 00, windowed 0, note length 5, "hello" in UTF-16
    const std::vector<BYTE> expected = {0x56, 0x34, 0x12, 0,   0, 0,   0, 0,   5, 0,   0,
                                        0,    'h',  0,    'e', 0, 'l', 0, 'l', 0, 'o', 0};
    EXPECT_EQ(saved, expected);
    persist->InitNew();
    s = StreamOf(saved);
    ASSERT_EQ(persist->Load(s), S_OK);
    s->Release();
    EXPECT_EQ(GetLong(L"Color"), 0x123456);
    // Cut short anywhere, or a note longer than the stream: refused, kept.
    persist->InitNew();
    const LONG fresh = GetLong(L"Color");
    for (size_t cut = 0; cut < saved.size(); ++cut) {
        s = StreamOf(std::vector<BYTE>(saved.begin(), saved.begin() + (long)cut));
        EXPECT_TRUE(FAILED(persist->Load(s))) << cut;
        s->Release();
        EXPECT_EQ(GetLong(L"Color"), fresh) << cut;
    }
    std::vector<BYTE> huge = saved;
    huge[11] = 0x7F;
    s = StreamOf(huge);
    EXPECT_TRUE(FAILED(persist->Load(s)));
    s->Release();
}

TEST_F(ControlTest, DrawsItsColourThroughTheViewObject) {
    PutLong(L"Color", RGB(200, 10, 30));
    IViewObject* view = nullptr;
    unk->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view));
    ASSERT_NE(view, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmap(40, 40, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all = {0, 0, 40, 40};
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    RECTL bounds = {10, 10, 30, 30};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                         nullptr, 0),
              S_OK);
    EXPECT_EQ(GetPixel(dc, 20, 20), RGB(200, 10, 30));
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 255, 255));
    EXPECT_EQ(
        view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
        DV_E_DVASPECT);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    view->Release();
}

TEST_F(ControlTest, ClickedComesFromTheDefaultSource) {
    IProvideClassInfo2* info = nullptr;
    unk->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info));
    ASSERT_NE(info, nullptr);
    GUID source = {};
    ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualIID(source, kEvents));
    ITypeInfo* cls = nullptr;
    EXPECT_EQ(info->GetClassInfo(&cls), S_OK);
    if (cls)
        cls->Release();
    info->Release();
    IConnectionPointContainer* cpc = nullptr;
    unk->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc));
    ASSERT_NE(cpc, nullptr);
    IConnectionPoint* cp = nullptr;
    EXPECT_EQ(cpc->FindConnectionPoint(kDual, &cp), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(cpc->FindConnectionPoint(source, &cp), S_OK);
    Sink sink;
    DWORD cookie = 0;
    ASSERT_EQ(cp->Advise(&sink, &cookie), S_OK);
    IOleInPlaceObjectWindowless* windowless = nullptr;
    unk->QueryInterface(IID_IOleInPlaceObjectWindowless, reinterpret_cast<void**>(&windowless));
    ASSERT_NE(windowless, nullptr);
    LRESULT result = 0;
    EXPECT_EQ(windowless->OnWindowMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(7, 9), &result),
              S_OK);
    EXPECT_EQ(windowless->OnWindowMessage(WM_MOUSEMOVE, 0, MAKELPARAM(7, 9), &result), S_FALSE);
    IOleControl* control = nullptr;
    unk->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&control));
    control->FreezeEvents(TRUE);
    windowless->OnWindowMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1), &result);
    control->FreezeEvents(FALSE);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"1 7 9"}));
    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
    EXPECT_EQ(cp->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    windowless->OnWindowMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2), &result);
    EXPECT_EQ(sink.calls.size(), 1u);
    control->Release();
    windowless->Release();
    cp->Release();
    cpc->Release();
}

// A client site with an in-place site that may or may not allow window-less
// activation, over a parent window.
class Site : public IOleClientSite, public IOleInPlaceSiteWindowless {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override {
        *ppv = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite)
            *ppv = static_cast<IOleClientSite*>(this);
        else if (iid == IID_IOleInPlaceSite || iid == IID_IOleWindow ||
                 iid == IID_IOleInPlaceSiteEx || iid == IID_IOleInPlaceSiteWindowless)
            *ppv = static_cast<IOleInPlaceSiteWindowless*>(this);
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow, IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* out) override {
        *out = parent;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        activations.push_back("window");
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
        *frame = nullptr;
        *doc = nullptr;
        *pos = rect;
        *clip = rect;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceSiteEx
    STDMETHODIMP OnInPlaceActivateEx(BOOL*, DWORD flags) override {
        activations.push_back(flags & ACTIVATE_WINDOWLESS ? "windowless" : "ex");
        return S_OK;
    }
    STDMETHODIMP OnInPlaceDeactivateEx(BOOL) override { return S_OK; }
    STDMETHODIMP RequestUIActivate() override { return S_OK; }
    // IOleInPlaceSiteWindowless
    STDMETHODIMP CanWindowlessActivate() override { return allowWindowless ? S_OK : S_FALSE; }
    STDMETHODIMP GetCapture() override { return S_FALSE; }
    STDMETHODIMP SetCapture(BOOL) override { return S_OK; }
    STDMETHODIMP GetFocus() override { return S_FALSE; }
    STDMETHODIMP SetFocus(BOOL) override { return S_OK; }
    STDMETHODIMP GetDC(LPCRECT, DWORD, HDC*) override { return E_NOTIMPL; }
    STDMETHODIMP ReleaseDC(HDC) override { return E_NOTIMPL; }
    STDMETHODIMP InvalidateRect(LPCRECT, BOOL) override {
        ++invalidations;
        return S_OK;
    }
    STDMETHODIMP InvalidateRgn(HRGN, BOOL) override { return S_OK; }
    STDMETHODIMP ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return E_NOTIMPL; }
    STDMETHODIMP AdjustRect(LPRECT) override { return S_OK; }
    STDMETHODIMP OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT*) override { return S_FALSE; }

    HWND parent = nullptr;
    RECT rect = {10, 20, 70, 60};
    bool allowWindowless = true;
    int invalidations = 0;
    std::vector<std::string> activations;
};

TEST_F(ControlTest, WindowlessUnlessWindowedIsSet) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    struct Case {
        const char* name;
        LONG windowed;
        bool allow;
        const char* activation;
        bool window;
    } cases[] = {
        {"window-less by default", 0, true, "windowless", false},
        {"its own window when Windowed is set", 1, true, "window", true},
        {"its own window where the site allows no other", 0, false, "window", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        Site site;
        site.parent = parent;
        site.allowWindowless = c.allow;
        PutLong(L"Color", RGB(0, 200, 0));
        PutLong(L"Windowed", c.windowed);
        IOleObject* ole = nullptr;
        unk->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole));
        ASSERT_NE(ole, nullptr);
        ASSERT_EQ(ole->SetClientSite(&site), S_OK);
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, parent, &site.rect),
                  S_OK);
        EXPECT_EQ(site.activations, (std::vector<std::string>{c.activation}));
        IOleInPlaceObject* inPlace = nullptr;
        unk->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace));
        HWND own = nullptr;
        EXPECT_EQ(SUCCEEDED(inPlace->GetWindow(&own)), c.window);
        if (c.window) {
            ASSERT_NE(own, nullptr);
            EXPECT_EQ(GetParent(own), parent);
            RECT r;
            GetWindowRect(own, &r);
            EXPECT_EQ(r.right - r.left, 60);
            EXPECT_EQ(r.bottom - r.top, 40);
            // A press on its own window fires Clicked at the window's point.
            IConnectionPointContainer* cpc = nullptr;
            unk->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc));
            IConnectionPoint* cp = nullptr;
            cpc->FindConnectionPoint(kEvents, &cp);
            Sink sink;
            DWORD cookie = 0;
            cp->Advise(&sink, &cookie);
            SendMessageW(own, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));
            EXPECT_EQ(sink.calls, (std::vector<std::string>{"1 3 4"}));
            cp->Unadvise(cookie);
            cp->Release();
            cpc->Release();
        } else {
            // A change of colour asks the site to redraw the control.
            const int before = site.invalidations;
            PutLong(L"Color", RGB(1, 2, 3));
            EXPECT_GT(site.invalidations, before);
        }
        EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
        own = nullptr;
        EXPECT_TRUE(FAILED(inPlace->GetWindow(&own)));
        inPlace->Release();
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
        ole->Release();
    }
    DestroyWindow(parent);
}

}  // namespace
