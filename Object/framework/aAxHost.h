// The ActiveX container window: an in-process host of one control, with the
// control's client site, window-less in-place site and control site, the
// ambient properties (user mode) and the operations the ActiveX object needs:
// create a control from a class-identifier text with an optional state
// stream, the control's rectangle, whether it is window-less, in-place
// activation by verb and the control's interfaces.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "bComBase.h"

// {B6EA2050-048A-11D1-82B9-00C04FB1625D} The host interface, in its
// published slot order.
struct IAxWinHostWindow : public IUnknown {
    STDMETHOD(CreateControl)(LPCOLESTR clsidText, HWND parent, IStream* state) = 0;  // 3
    STDMETHOD(CreateControlEx)
    (LPCOLESTR clsidText, HWND parent, IStream* state, IUnknown** control, REFIID adviseIid,
     IUnknown* advise) = 0;                                        // 4
    STDMETHOD(AttachControl)(IUnknown* control, HWND parent) = 0;  // 5
    STDMETHOD(QueryControl)(REFIID iid, void** out) = 0;           // 6
    STDMETHOD(SetExternalDispatch)(IDispatch* external) = 0;       // 7
    STDMETHOD(SetExternalUIHandler)(IUnknown* handler) = 0;        // 8
};
DECLARE_IID(IAxWinHostWindow, 0xB6EA2050, 0x048A, 0x11D1, 0x82, 0xB9, 0x00, 0xC0, 0x4F, 0xB1, 0x62,
            0x5D);

// {B6EA2051-048A-11D1-82B9-00C04FB1625D} The ambient properties; only the
// user mode is kept, the rest answer E_NOTIMPL.
struct IAxWinAmbientDispatch : public IDispatch {
    STDMETHOD(put_AllowWindowlessActivation)(VARIANT_BOOL v) = 0;   // 7
    STDMETHOD(get_AllowWindowlessActivation)(VARIANT_BOOL* v) = 0;  // 8
    STDMETHOD(put_BackColor)(OLE_COLOR v) = 0;                      // 9
    STDMETHOD(get_BackColor)(OLE_COLOR* v) = 0;                     // 10
    STDMETHOD(put_ForeColor)(OLE_COLOR v) = 0;                      // 11
    STDMETHOD(get_ForeColor)(OLE_COLOR* v) = 0;                     // 12
    STDMETHOD(put_LocaleID)(LCID v) = 0;                            // 13
    STDMETHOD(get_LocaleID)(LCID* v) = 0;                           // 14
    STDMETHOD(put_UserMode)(VARIANT_BOOL v) = 0;                    // 15
    STDMETHOD(get_UserMode)(VARIANT_BOOL* v) = 0;                   // 16
};
DECLARE_IID(IAxWinAmbientDispatch, 0xB6EA2051, 0x048A, 0x11D1, 0x82, 0xB9, 0x00, 0xC0, 0x4F, 0xB1,
            0x62, 0x5D);

// {7C1A4B30-2F61-4E7A-9B5D-1C0E3A8F6D42} What else the object asks of its
// container.
struct IAxHostControl : public IUnknown {
    STDMETHOD(GetControlRect)(RECT* out) = 0;         // 3
    STDMETHOD(SetControlRect)(const RECT* rect) = 0;  // 4
    // S_OK when the control is window-less (activated without a window).
    STDMETHOD(IsWindowless)() = 0;          // 5
    STDMETHOD(DoVerb)(LONG verb) = 0;       // 6
    STDMETHOD_(HWND, GetHostWindow)() = 0;  // 7
    // Where a window-less control's redraw requests go (borrowed; null:
    // the host window).
    STDMETHOD(SetInvalidateTarget)(HWND window) = 0;  // 8
    // Passes a window message to a window-less control: S_OK when it took it.
    STDMETHOD(SendControlMessage)
    (UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;  // 9
    // Closes the control without saving and lets it go; the window stays.
    STDMETHOD(CloseControl)() = 0;  // 10
};
DECLARE_IID(IAxHostControl, 0x7C1A4B30, 0x2F61, 0x4E7A, 0x9B, 0x5D, 0x1C, 0x0E, 0x3A, 0x8F, 0x6D,
            0x42);

// A new container window object (one reference).
HRESULT AxCreateInstance(IUnknown** out);
