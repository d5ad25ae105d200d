// The player's one window, and the map from window handles to views.
#pragma once

#include "bAppModule.h"
#include "bDBRecords.h"
#include "bPlayerSite.h"
#include "bWindow.h"

class CPlayerDoc;
struct IWndMsgHandler;

// Resources of the view.
enum {
    IDR_VIEW_MENU = 133,
    IDR_VIEW_ACCEL = 202,
    IDS_DB_CAPTION = 31495,
    IDS_DB_WARNING = 34500,
    IDS_DISPLAY_NAME = 34501,
};

// The player's window message carrying a command packet (the database
// component's notices are WM_DB_NOTICE of its records).
enum { WM_PLAYER_COMMAND = 2047 };

class CPlayerView : public CWindowImplBase, public CMessageFilter, public IViewService {
public:
    explicit CPlayerView(CPlayerDoc* doc);
    ~CPlayerView() override;

    // Creates the top-level window, not shown yet.
    HWND CreateMainWindow(const char* title);
    // Takes the window over: borderless, maximised, ticking.
    BOOL AttachWindow();
    void Refresh();
    void UpdateLayout();
    void SetTicking();

    BOOL PreTranslateMessage(MSG* msg) override;

    // While the window has its creation procedure: a destroyed top-level
    // window ends the message loop with 1.
    BEGIN_MSG_MAP(CPlayerView)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);

    // Logical page units centred in the client area.
    void PrepareDC(HDC dc);
    // Where the page's logical origin lies in the client area.
    POINT DeviceOrigin() const;
    void LPtoDPRect(RECT* rect) override;
    void LPtoDPPoint(POINT* pt) override;
    void DPtoLPPoint(POINT* pt) override;
    void DPtoLPPoints(POINT* pts);

    void OnPaint();
    LRESULT EraseBackground(HDC dc);
    void Render(HDC paint);
    // The context menu as the project's options build it (the caller
    // destroys it); null when the options show none.
    HMENU BuildContextMenu();
    void SetPageSize(LONG w, LONG h) {
        m_pageWidth = w;
        m_pageHeight = h;
    }
    LONG GetPageWidth() const { return m_pageWidth; }
    LONG GetPageHeight() const { return m_pageHeight; }
    CPlayerDoc* GetDocument() const { return m_pDoc; }

    static LRESULT CALLBACK ViewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static const char kClassName[];

    // An editing object takes the window's messages over while it is set
    // (aPlayerViewHook.cpp); true when the object has no message interface.
    BOOL ChangeWndProc(BOOL on, IUnknown* object) override;
    bool IsHooked() const { return m_hook != nullptr; }
    static LRESULT CALLBACK HookedWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    void ShowContextMenu(LPARAM lParam);

    CPlayerDoc* m_pDoc;
    WNDPROC m_previous;
    LONG m_pageWidth, m_pageHeight;
    HRGN m_update;
    HCURSOR m_savedCursor;
    HACCEL m_accel;

    LRESULT HandleHooked(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT ToHook(UINT message, WPARAM wParam, LPARAM lParam, LPARAM hookLParam);
    bool InstallWndProc(WNDPROC proc);
    // Lets the hook go without its end calls (the window is gone).
    void DropHook();
    IWndMsgHandler* m_hook = nullptr;
};

// Window-handle map: process-wide, guarded by one critical section.
bool WndMapAdd(HWND window, CPlayerView* view);
void WndMapRemove(HWND window);
// The view of the window, or of its nearest mapped ancestor; null when none.
CPlayerView* WndMapLookup(HWND window);
