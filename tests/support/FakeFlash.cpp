#include "FakeFlash.h"

#include <string.h>

FakeFlash::State FakeFlash::state;

namespace {

const CLSID kFlashClass = {
    0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kIShockwaveFlash = {
    0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

const wchar_t* const kMembers[] = {L"Movie",     L"WMode",         L"Scale",       L"BGColor",
                                   L"Loop",      L"Play",          L"Stop",        L"StopPlay",
                                   L"Rewind",    L"Playing",       L"TotalFrames", L"FrameNum",
                                   L"GotoFrame", L"PercentLoaded", L"Menu"};
enum {
    M_MOVIE = 1,
    M_WMODE,
    M_SCALE,
    M_BGCOLOR,
    M_LOOP,
    M_PLAY,
    M_STOP,
    M_STOPPLAY,
    M_REWIND,
    M_PLAYING,
    M_TOTALFRAMES,
    M_FRAMENUM,
    M_GOTOFRAME,
    M_PERCENTLOADED,
    M_MENU
};

std::string Narrow(const wchar_t* w) {
    std::string s;
    for (; w && *w; ++w) s += (char)*w;
    return s;
}

class Factory : public IClassFactory {
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** ppv) override {
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        FakeFlash* f = new FakeFlash;
        HRESULT hr = f->QueryInterface(iid, ppv);
        f->Release();
        return hr;
    }
    STDMETHOD(LockServer)(BOOL) override { return S_OK; }
};

Factory g_factory;

}  // namespace

HRESULT FakeFlash::Register(DWORD* cookie) {
    return CoRegisterClassObject(kFlashClass, &g_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                 cookie);
}

void FakeFlash::Revoke(DWORD cookie) {
    CoRevokeClassObject(cookie);
}

STDMETHODIMP FakeFlash::QueryInterface(REFIID iid, void** ppv) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kIShockwaveFlash)
        *ppv = static_cast<IDispatch*>(this);
    else if (iid == IID_IOleObject)
        *ppv = static_cast<IOleObject*>(this);
    else if (iid == IID_IQuickActivate)
        *ppv = static_cast<IQuickActivate*>(this);
    else if (iid == IID_IViewObject)
        *ppv = static_cast<IViewObject*>(this);
    else if (iid == IID_IOleInPlaceObjectWindowless || iid == IID_IOleInPlaceObject ||
             iid == IID_IOleWindow)
        *ppv = static_cast<IOleInPlaceObjectWindowless*>(this);
    else
        *ppv = nullptr;
    if (!*ppv)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP FakeFlash::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (count != 1)
        return E_INVALIDARG;
    for (size_t i = 0; i < sizeof(kMembers) / sizeof(kMembers[0]); ++i)
        if (wcscmp(names[0], kMembers[i]) == 0) {
            ids[0] = (DISPID)(i + 1);
            return S_OK;
        }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP FakeFlash::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT*) {
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    if (id < 1 || id > (DISPID)(sizeof(kMembers) / sizeof(kMembers[0])))
        return DISP_E_MEMBERNOTFOUND;
    std::string call = Narrow(kMembers[id - 1]);
    VARIANT* arg = params && params->cArgs ? &params->rgvarg[0] : nullptr;
    if (put && !arg)
        return DISP_E_PARAMNOTOPTIONAL;
    auto text = [&](std::wstring* field) {
        if (put) {
            *field = arg->vt == VT_BSTR && arg->bstrVal ? arg->bstrVal : L"";
            call = "put_" + call + " " + Narrow(field->c_str());
        } else if (result) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(field->c_str());
            call = "get_" + call;
        }
    };
    auto flag = [&](bool* field) {
        if (put) {
            *field = arg->vt == VT_BOOL && arg->boolVal == VARIANT_TRUE;
            call = "put_" + call + (*field ? " true" : " false");
        } else if (result) {
            result->vt = VT_BOOL;
            result->boolVal = *field ? VARIANT_TRUE : VARIANT_FALSE;
        }
    };
    auto number = [&](long v) {
        if (result) {
            result->vt = VT_I4;
            result->lVal = v;
        }
    };
    switch (id) {
        case M_MOVIE:
            text(&state.movie);
            break;
        case M_WMODE:
            text(&state.wmode);
            break;
        case M_SCALE:
            text(&state.scale);
            break;
        case M_BGCOLOR:
            text(&state.bgColour);
            break;
        case M_LOOP:
            flag(&state.loop);
            break;
        case M_MENU:
            flag(&state.menu);
            break;
        case M_PLAY:
            state.playing = true;
            break;
        case M_STOP:
        case M_STOPPLAY:
            state.playing = false;
            break;
        case M_REWIND:
            state.frame = 0;
            break;
        case M_PLAYING:
            flag(&state.playing);
            return S_OK;  // read often: not recorded
        case M_TOTALFRAMES:
            number(state.totalFrames);
            break;
        case M_FRAMENUM:
            number(state.frame);
            break;
        case M_GOTOFRAME:
            if (arg && arg->vt == VT_I4)
                state.frame = arg->lVal;
            call += " " + std::to_string(state.frame);
            break;
        case M_PERCENTLOADED:
            number(++state.percentCalls > state.loadAfter ? 100 : 50);
            return S_OK;  // not recorded
    }
    state.calls.push_back(call);
    return S_OK;
}

STDMETHODIMP FakeFlash::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT rect) {
    state.calls.push_back("DoVerb " + std::to_string(verb));
    if (rect)
        state.rect = *rect;
    return S_OK;
}

STDMETHODIMP FakeFlash::QuickActivate(QACONTAINER* container, QACONTROL* control) {
    if (!container || !control || !container->pClientSite || !container->pBindHost ||
        !container->pUnkEventSink || !container->pPropertyNotifySink)
        return E_INVALIDARG;
    state.site = container->pClientSite;
    state.calls.push_back("QuickActivate");
    return S_OK;
}

STDMETHODIMP FakeFlash::Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL, LPCRECTL,
                             BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    HBRUSH brush = CreateSolidBrush(FrameColour(state.frame));
    ::FillRect(dc, &state.rect, brush);
    DeleteObject(brush);
    return S_OK;
}
