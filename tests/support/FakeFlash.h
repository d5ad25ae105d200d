// A stand-in for the Shockwave Flash control, registered for the test under
// its class: members by name through IDispatch, OLE activation, a view that
// fills its rectangle with a colour per frame, and a windowless object that
// records the messages it gets. PercentLoaded reaches 100 after a set number
// of calls.
#pragma once

#include <ocidl.h>
#include <oleidl.h>

#include <string>
#include <vector>

class FakeFlash : public IDispatch,
                  public IOleObject,
                  public IQuickActivate,
                  public IViewObject,
                  public IOleInPlaceObjectWindowless {
public:
    // What the test sets and reads.
    struct State {
        int loadAfter = 0;  // PercentLoaded answers 100 from this call on
        int percentCalls = 0;
        long totalFrames = 12;
        long frame = 0;
        bool playing = false;
        bool loop = true;
        bool menu = true;
        std::wstring movie, wmode, scale, bgColour = L"#FFFFFF";
        std::vector<std::string> calls;  // member names and OLE steps, in order
        std::vector<UINT> messages;
        RECT rect = {0, 0, 0, 0};
        int created = 0;
        IOleClientSite* site = nullptr;
    };
    static State state;
    // The colour the view fills with at a frame.
    static COLORREF FrameColour(long frame) { return RGB(10 + frame, 100, 200); }

    // Registers the class object for the process; Revoke undoes it.
    static HRESULT Register(DWORD* cookie);
    static void Revoke(DWORD cookie);

    FakeFlash() : m_ref(1) { ++state.created; }
    virtual ~FakeFlash() {}

    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override { return ++m_ref; }
    STDMETHOD_(ULONG, Release)() override {
        ULONG n = --m_ref;
        if (n == 0)
            delete this;
        return n;
    }

    // IDispatch
    STDMETHOD(GetTypeInfoCount)(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHOD(Invoke)
    (DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
     UINT*) override;

    // IOleObject
    STDMETHOD(SetClientSite)(IOleClientSite*) override { return S_OK; }
    STDMETHOD(GetClientSite)(IOleClientSite**) override { return E_NOTIMPL; }
    STDMETHOD(SetHostNames)(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHOD(Close)(DWORD) override {
        state.calls.push_back("Close");
        return S_OK;
    }
    STDMETHOD(SetMoniker)(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHOD(InitFromData)(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(GetClipboardData)(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHOD(DoVerb)(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT rect) override;
    STDMETHOD(EnumVerbs)(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHOD(Update)() override { return S_OK; }
    STDMETHOD(IsUpToDate)() override { return S_OK; }
    STDMETHOD(GetUserClassID)(CLSID*) override { return E_NOTIMPL; }
    STDMETHOD(GetUserType)(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    STDMETHOD(SetExtent)(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHOD(GetExtent)(DWORD, SIZEL* size) override {
        size->cx = size->cy = 100;
        return S_OK;
    }
    STDMETHOD(Advise)(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(Unadvise)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(EnumAdvise)(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHOD(GetMiscStatus)(DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(SetColorScheme)(LOGPALETTE*) override { return E_NOTIMPL; }

    // IQuickActivate
    STDMETHOD(QuickActivate)(QACONTAINER* container, QACONTROL* control) override;
    STDMETHOD(SetContentExtent)(LPSIZEL) override { return S_OK; }
    STDMETHOD(GetContentExtent)(LPSIZEL) override { return E_NOTIMPL; }

    // IViewObject
    STDMETHOD(Draw)
    (DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL, LPCRECTL,
     BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override;
    STDMETHOD(GetColorSet)(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override {
        return E_NOTIMPL;
    }
    STDMETHOD(Freeze)(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(Unfreeze)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(SetAdvise)(DWORD, DWORD, IAdviseSink*) override { return E_NOTIMPL; }
    STDMETHOD(GetAdvise)(DWORD*, DWORD*, IAdviseSink**) override { return E_NOTIMPL; }

    // IOleInPlaceObjectWindowless
    STDMETHOD(GetWindow)(HWND*) override { return E_FAIL; }
    STDMETHOD(ContextSensitiveHelp)(BOOL) override { return E_NOTIMPL; }
    STDMETHOD(InPlaceDeactivate)() override { return S_OK; }
    STDMETHOD(UIDeactivate)() override { return S_OK; }
    STDMETHOD(SetObjectRects)(LPCRECT position, LPCRECT) override {
        state.rect = *position;
        return S_OK;
    }
    STDMETHOD(ReactivateAndUndo)() override { return E_NOTIMPL; }
    STDMETHOD(OnWindowMessage)(UINT msg, WPARAM, LPARAM, LRESULT* result) override {
        state.messages.push_back(msg);
        *result = 0;
        return S_OK;
    }
    STDMETHOD(GetDropTarget)(IDropTarget**) override { return E_NOTIMPL; }

private:
    ULONG m_ref;
};
