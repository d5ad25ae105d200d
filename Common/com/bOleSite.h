// The window-less control site our control containers share (the Flash
// container and the ActiveX object's container): the answers that do not
// depend on the container, and the mouse capture, keyboard focus and device
// contexts that a window-less control borrows from the window it draws
// into. The container names that window and answers the rest.
#pragma once

#include <windows.h>
#include <ocidl.h>

class COleWindowlessSite : public IOleInPlaceSiteWindowless, public IOleClientSite {
public:
    // ---- IOleWindow ----
    STDMETHOD(ContextSensitiveHelp)(BOOL) override { return E_NOTIMPL; }
    // ---- IOleInPlaceSite ----
    STDMETHOD(CanInPlaceActivate)() override { return S_OK; }
    STDMETHOD(Scroll)(SIZE) override { return E_NOTIMPL; }
    // ---- IOleInPlaceSiteWindowless ----
    STDMETHOD(CanWindowlessActivate)() override { return S_OK; }
    STDMETHOD(GetCapture)() override { return m_capture ? S_OK : S_FALSE; }
    STDMETHOD(SetCapture)(BOOL capture) override {
        if (capture) {
            m_capture = SiteWindow();
            ::SetCapture(m_capture);
        } else {
            if (m_capture)
                ReleaseCapture();
            m_capture = nullptr;
        }
        return S_OK;
    }
    STDMETHOD(SetFocus)(BOOL focus) override {
        ::SetFocus(focus ? SiteWindow() : nullptr);
        return S_OK;
    }
    STDMETHOD(GetDC)(LPCRECT, DWORD, HDC* dc) override {
        if (!dc)
            return E_POINTER;
        *dc = ::GetDC(SiteWindow());
        return *dc ? S_OK : E_FAIL;
    }
    STDMETHOD(ReleaseDC)(HDC dc) override {
        ::ReleaseDC(SiteWindow(), dc);
        return S_OK;
    }
    STDMETHOD(ScrollRect)(INT, INT, LPCRECT, LPCRECT) override { return E_NOTIMPL; }
    // ---- IOleClientSite ----
    STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker** out) override {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(OnShowWindow)(BOOL) override { return S_OK; }
    STDMETHOD(RequestNewObjectLayout)() override { return E_NOTIMPL; }

protected:
    ~COleWindowlessSite() {}
    // The window the control draws into.
    virtual HWND SiteWindow() = 0;

    HWND m_capture = nullptr;
};
