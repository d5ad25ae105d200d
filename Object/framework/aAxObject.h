// The ActiveX control object as the player's input routing reaches it.
#pragma once

#include "MavroRT_h.h"
#include "bComBase.h"

// {45BD0741-CA78-11D5-8558-F8F47C3F4C11} The object's private extension of
// its automation interface, after the members every object shares.
struct AxObject : public IActiveXDispObj {
    // S_OK without a handle for a window-less control; S_FALSE with the
    // control's own window.
    STDMETHOD(GetControlWindow)(HWND* out) = 0;     // 19
    STDMETHOD(GetStockEventFiring)(LONG* out) = 0;  // 20
    STDMETHOD(SetStockEventFiring)(LONG on) = 0;    // 21
    // S_OK: the control took the message; S_FALSE: the message goes on.
    STDMETHOD(TranslateAccelerator)(MSG* message) = 0;  // 22
    STDMETHOD(HasOwnWindow)() = 0;                      // 23
    STDMETHOD(Invalidate)(const RECT* rect) = 0;        // 24
};
DECLARE_IID(AxObject, 0x45BD0741, 0xCA78, 0x11D5, 0x85, 0x58, 0xF8, 0xF4, 0x7C, 0x3F, 0x4C, 0x11);
