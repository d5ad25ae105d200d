// The play site of the player's document: the one object through which
// presentation objects, the project's services and the database library
// reach the running document. Slot numbers count IUnknown's three as 0 to 2;
// the database library calls across its module boundary.
#pragma once

#include "bComBase.h"

struct IMediaManager;
struct IExpression;
struct ITraceLog;
struct ISequencer;
struct IObjectCreator;

// The player's view as objects reach it through the site: an editing object
// takes the window's messages over, and the object layer converts between
// page and window units. Not counted: the view outlives every page.
struct IViewService {
    // on = 1: the object's window-message part receives the view window's
    // messages until on = 0; true when the object has no such part.
    virtual BOOL ChangeWndProc(BOOL on, IUnknown* object) = 0;
    // Page (logical) units to the window's device units and back, in place.
    virtual void LPtoDPRect(RECT* rect) = 0;
    virtual void LPtoDPPoint(POINT* pt) = 0;
    virtual void DPtoLPPoint(POINT* pt) = 0;

protected:
    ~IViewService() {}
};

// {C0BC2690-1049-11D4-9EEB-00104B04B807} The play site (50 slots). Borrowed
// by every object, never added to. Out arguments of getters are not counted
// unless said.
struct IPlayerSite : public IUnknown {
    STDMETHOD(InvalidateRect)(const RECT* rect) = 0;                                 // 3
    STDMETHOD(InvalidateRgn)(HRGN region) = 0;                                       // 4
    STDMETHOD(GetMediaManager)(IMediaManager** out) = 0;                             // 5
    STDMETHOD(GetDocument)(void** out) = 0;                                          // 6
    STDMETHOD(GetTickThread)(void** out) = 0;                                        // 7
    STDMETHOD(GetSequencer)(ISequencer** out) = 0;                                   // 8
    STDMETHOD(GetRootCreator)(IObjectCreator** out) = 0;                             // 9
    STDMETHOD(GetEventProcessor)(void** out) = 0;                                    // 10
    STDMETHOD(GetScriptContext)(void** out) = 0;                                     // 11
    STDMETHOD(GetFunctionManager)(void** out) = 0;                                   // 12
    STDMETHOD(GetProjectService)(void** out) = 0;                                    // 13
    STDMETHOD(GetCodecManager)(void** out) = 0;                                      // 14
    STDMETHOD(GetExpression)(IExpression** out) = 0;                                 // 15
    STDMETHOD(GetExpression2)(IExpression** out) = 0;                                // 16 the same
    STDMETHOD(GetPageClock)(DWORD* out) = 0;                                         // 17
    STDMETHOD(GetCurrentCanvas)(void** out) = 0;                                     // 18
    STDMETHOD(GetDatabase)(void** out) = 0;                                          // 19
    STDMETHOD(GetProject)(void** out) = 0;                                           // 20
    STDMETHOD(GetMediaService)(void** out) = 0;                                      // 21
    STDMETHOD(GetSoundRecorder)(void** out) = 0;                                     // 22
    STDMETHOD(GetVideoCapture)(void** out) = 0;                                      // 23
    STDMETHOD(GetDirectDraw)(void** out) = 0;                                        // 24
    STDMETHOD(SetDirectDraw)(void* object) = 0;                                      // 25
    STDMETHOD(GetToolTipWindow)(IUnknown** out) = 0;                                 // 26
    STDMETHOD(CreateForwarder)(void* canvas, IUnknown* target, IUnknown** out) = 0;  // 27
    STDMETHOD(GetTraceLog)(ITraceLog** out) = 0;                                     // 28
    STDMETHOD(Stub29)(void* a, void* b) = 0;                                         // 29
    // 1 after a database password was stored in the project.
    STDMETHOD(SetProjectFlag)(int value, void* unused) = 0;  // 30
    // Old plain-text content into host-owned RTF bytes, freed by slot 32.
    STDMETHOD(ConvertTextToRtf)
    (const char* text, int length, char** out, int* outLength) = 0;  // 31
    STDMETHOD(FreeConvertedText)(char* buffer, void* unused) = 0;    // 32
    // Looks the named object up on the page, background and foreground and
    // writes its kind word (object type id); E_FAIL (kind untouched) when
    // none has it.
    STDMETHOD(FindObject)(const char* name, DWORD* typeId) = 0;  // 33
    STDMETHOD_(BOOL, UsesDirectDraw)() = 0;                      // 34
    STDMETHOD_(HWND, GetViewWindow)() = 0;                       // 35
    STDMETHOD_(IViewService*, GetView)() = 0;                    // 36 null without a view
    STDMETHOD(SetView)(IViewService* view) = 0;                  // 37
    STDMETHOD_(int, GetProjectMinorVersion)() = 0;               // 38
    STDMETHOD_(BOOL, GetProjectFlag7)() = 0;                     // 39
    STDMETHOD(SetProjectFlag7)(BOOL on) = 0;                     // 40
    STDMETHOD_(BOOL, IsPlayer)() = 0;                            // 41
    STDMETHOD_(BOOL, IsRunning)() = 0;                           // 42
    STDMETHOD(SetPlayState)(DWORD state) = 0;                    // 43
    STDMETHOD_(BOOL, IsPlaying)() = 0;                           // 44
    STDMETHOD_(BOOL, IsPaused)() = 0;                            // 45
    STDMETHOD_(BOOL, IsStateTwo)() = 0;                          // 46
    STDMETHOD_(DWORD, GetSpareValue)() = 0;                      // 47
    STDMETHOD(SetSpareValue)(DWORD value) = 0;                   // 48
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;                // 49
};
DECLARE_IID(IPlayerSite, 0xC0BC2690, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);
