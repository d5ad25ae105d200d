// ActiveXObject: one ActiveX control on a page. The control is made by its
// class identifier inside our container window, its persistent state is kept
// in the object's record, it draws into the page's buffers (window-less) or
// shows its own window, receives the player's mouse and key events as window
// messages (window-less), and its own events become the object's
// OnControlEvent sub-events. Scripts reach its members as "Ax.member".
#pragma once

#include <vector>

#include "aAxHost.h"
#include "aMFrame.h"
#include "aObjClass.h"

class CAxEventSink;

// The control header at the start of the object's own record.
struct AxControlHeader {
    CLSID clsid;
    LONG noControl;  // 1: no control; the record ends after the header
    BYTE zero[236];
};
static_assert(sizeof(AxControlHeader) == 256, "the control header is 256 bytes");

// Bit 0 of the object flags: the stock events (1100-1203) also reach the
// object's own event procedure.
enum { AXFLAG_STOCK_EVENTS = 0x1 };
// The pieces the control's state is copied in.
enum { AX_STATE_PIECE = 512 };
// Where each class of script name starts.
enum : DISPID {
    AX_DISPID_OWN = 0,
    AX_DISPID_FOURTH = 10000,
    AX_DISPID_ABILITY = 20000,
    AX_DISPID_CONTROL = 30000,
};

class ActiveXObject : public ActiveXObjectClass<ActiveXObject> {
public:
    ActiveXObject();
    ~ActiveXObject() override;

    // ---- AxObject ----
    STDMETHOD(GetControlWindow)(HWND* out) override;
    STDMETHOD(GetStockEventFiring)(LONG* out) override;
    STDMETHOD(SetStockEventFiring)(LONG on) override;
    STDMETHOD(TranslateAccelerator)(MSG* message) override;
    STDMETHOD(HasOwnWindow)() override;
    STDMETHOD(Invalidate)(const RECT* rect) override;

    // ---- IDispatch: own members, "ability.member" and "Ax.member" ----
    STDMETHOD(GetTypeInfo)(UINT index, LCID locale, ITypeInfo** out) override;
    STDMETHOD(GetIDsOfNames)
    (REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHOD(Invoke)
    (DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
     EXCEPINFO* exception, UINT* argError) override;

    // ---- IObjectBase ----
    STDMETHOD(Init)(ObjectCreationRecord* record) override;

    // ---- render part and its hooks ----
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;
    STDMETHOD(SetVisible)(BOOL on) override;
    STDMETHOD(OnGeometryChanged)(const RECT* before, const RECT* after, int code) override;
    STDMETHOD(BeforeExit)() override;
    // ---- events from the player ----
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    // ---- the clock: a window-less control is redrawn on every tick ----
    STDMETHOD(OnClock)() override;

    // The object's own record after the shared one; writing it back.
    HRESULT LoadKind(ITeskStream* stream);
    HRESULT SaveKind(ITeskStream* stream);

    // Makes the control of class `clsid`, with its saved state when given.
    HRESULT CreateControl(REFCLSID clsid, IStream* state);
    // The control's IUnknown (E_INVALIDARG unless `out` is given and empty)
    // and its primary IDispatch.
    HRESULT GetControlUnknown(IUnknown** out);
    HRESULT GetControlDispatch(IDispatch** out);
    // Performs an activation verb (the show verb chooses one).
    HRESULT Activate(LONG verb);
    // Brings the container's rectangle to the object's.
    void Layout();

    const AxControlHeader& Header() const { return m_header; }
    const char* ControlName() const { return m_name; }
    LONG ObjectFlags() const { return m_objFlags; }
    bool HasControl() const;
    // The control's own window, or null for a window-less one.
    HWND OwnWindow();

protected:
    HRESULT LoadAttachedPart(ITeskStream* stream) override;

private:
    struct NameEntry {
        DISPID external;
        DISPID member;
        int ability;  // ability entries: the ability's index
    };
    void Reset();
    void ReleaseControl();
    void ReleaseBuffers();
    HRESULT InitializeEventSink();
    bool Playing();
    RECT DeviceBounds();
    void ShowOwnWindow(bool show);
    void Capture(IPixelBuffer** buffer, bool deactivate);
    void DrawView(HDC dc, const RECT& logical);
    static void CopyBuffer(IPixelBuffer* from, HDC dc, const RECT& logical);
    void SendToControl(UINT message, WPARAM wParam, LPARAM lParam);
    static const NameEntry* FindExternal(const std::vector<NameEntry>& map, DISPID external);

    AxControlHeader m_header;
    char m_name[260];
    LONG m_objFlags;
    IUnknown* m_hostUnknown;
    IAxWinHostWindow* m_host;
    IAxHostControl* m_hostControl;
    CAxEventSink* m_sink;
    IStream* m_state;
    IPixelBuffer* m_drawBuffer;
    IPixelBuffer* m_picture;
    IMediaFrame* m_frame;
    IViewObject* m_view;  // the control's drawing interface while it exists
    std::vector<NameEntry> m_ownNames, m_abilityNames, m_controlNames;
    bool m_activated;
    bool m_startedByActivation;
    bool m_oleInitialized;
};

HRESULT CreateActiveXObject(IUnknown** out);
