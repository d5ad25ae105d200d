// The topic manager: the page state machine with its page events, the page
// history, the hold timer and the routing of mouse and keyboard input to
// objects, pages and the application level.
#pragma once

#include <vector>

#include "aEffectRender.h"
#include "aObjItf.h"
#include "aPlaySite.h"
#include "aevtbase.h"

class CPlayerDoc;
class CanvasStub;
class CObjWrapper;
class CPageCanvas;

// What drives a running page transition: its clock follows the page clock
// from the start of the transition, the sequencer ticks it (it then asks for
// a new frame), and it is the effect's render target (the whole window).
class CTransitionDriver : public IClockClient, public IRenderTarget, public IRenderClock {
public:
    explicit CTransitionDriver(CPlayerDoc* doc)
        : m_pDoc(doc), m_start(0), m_state(RENDER_STOPPED) {}
    virtual ~CTransitionDriver() {}

    // Embedded in the topic manager; answers IUnknown only.
    BEGIN_COM_MAP(CTransitionDriver)
    COM_INTERFACE_ENTRY_IID(IID_IUnknown, IClockClient)
    END_COM_MAP()
    DECLARE_OWNED_IUNKNOWN()
    // IClockClient
    STDMETHOD(OnPause)() override { return Pause(); }
    STDMETHOD(OnResume)() override { return Resume(); }
    STDMETHOD(OnTick)() override;
    // IRenderTarget
    HRESULT GetRect(RECT* rect) override;
    HRESULT Redraw(const RECT* rect) override;
    HRESULT Invalidate(const RECT* rect) override { return Redraw(rect); }
    // IRenderClock
    int GetState() override { return m_state; }
    DWORD GetElapsed() override;
    void UpdateFromSite() override {}
    HRESULT Start() override;
    HRESULT Pause() override;
    HRESULT Resume() override;
    HRESULT Stop() override;
    HRESULT OnEvent(int) override { return S_OK; }
    void SetCodes(int, int) override {}
    HRESULT Load(ITeskStream*) override { return S_OK; }
    HRESULT Save(ITeskStream*) override { return S_OK; }

private:
    DWORD PageClock() const;

    CPlayerDoc* m_pDoc;
    DWORD m_start;
    int m_state;
};

// Page state codes of Notify.
enum { TOPIC_ENTER = 16, TOPIC_HOLD = 32, TOPIC_LEAVE = 48, TOPIC_EXIT = 64 };

// A point as mouse messages pack it: x in the low word, y in the high word.
LPARAM PackedPoint(LONG x, LONG y);

class CTopicManager : public CObjectEvent {
public:
    explicit CTopicManager(CPlayerDoc* doc);
    ~CTopicManager() override;

    // Owned by the document.
    BEGIN_COM_MAP(CTopicManager)
    COM_INTERFACE_ENTRY(IObjectEvent)
    END_COM_MAP()
    DECLARE_OWNED_IUNKNOWN()
    // skipCanvases 0: the canvas set first; then the project's event part.
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR wParam, DWORD_PTR lParam, DWORD_PTR skip) override;
    // The page state machine.
    STDMETHOD(Notify)(DWORD code, DWORD_PTR param) override;

    void Init();
    void PushHistory(CanvasStub* stub);
    void ClearHistory();
    CanvasStub* Back();
    CanvasStub* Forward();
    bool CanBack() const;
    bool CanForward() const;
    bool IsPageVisited(const char* name) const;
    void ArmPageTimer(bool on);

    LRESULT OnInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DispatchInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HRESULT FireObjectEvent(CObjWrapper* object, DWORD id, WPARAM wParam, LPARAM lParam);
    BOOL PreFilter(MSG* message);
    BOOL FocusFilter(MSG* message);

    // The effect gets the target, the time and the back buffer's rectangle
    // and starts; stopping only acts on a running effect.
    void StartEffect(IEffectRender* effect, DWORD time);
    void StopEffect(IEffectRender* effect);
    CTransitionDriver* GetTransitionDriver() { return &m_driver; }

    CObjWrapper* GetPressed() const { return m_pressed; }
    void ForgetObjects() { m_pressed = m_hover = nullptr; }
    bool IsHoldTimerArmed() const { return m_holdTimer; }

private:
    // Foreground, page, background, then the application; stops when a
    // canvas answers 0.
    void ToPageLevels(DWORD id, DWORD secondId, WPARAM wParam, LPARAM lParam);
    void HideToolTip();
    // Transition composing around the page states.
    void BeginEntering(DWORD time);
    void EndEntering();
    void BeginLeaving(DWORD time);
    void EndLeaving();
    // The page image gets what the back buffer holds.
    void TradePageImage();
    IPixelBuffer* MakeFillImage();
    void RedrawWholeBuffer();
    CPageCanvas* Page() const;
    // The watchdog has ended the event being handled.
    bool DispatchStopped() const;

    CPlayerDoc* m_pDoc;
    CObjWrapper* m_pressed;
    CObjWrapper* m_hover;
    bool m_leftDownHere, m_rightDown, m_dragging;
    LONG m_downX, m_downY;
    LONG m_dragX, m_dragY;
    // Dragging (aTopicInput.cpp). The drag ends on the control it began on,
    // even when the pressed object went meanwhile.
    HRESULT GetDragAbility(CObjWrapper* object, IUnknown** out);
    void DragMove(WPARAM wParam, LPARAM lParam, POINT pt);
    void BeginDragging(IUnknown* ability, WPARAM wParam, LPARAM lParam);
    void EndDragging(WPARAM wParam, LPARAM lParam);
    CComPtr<IDragControl> m_dragControl;
    std::vector<CanvasStub*> m_history;
    int m_index;
    bool m_holdTimer;
    HCURSOR m_savedCursor;
    bool m_cursorLoaded;
    CTransitionDriver m_driver;
};
