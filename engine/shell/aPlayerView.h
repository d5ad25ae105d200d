// The player's one window, and the map from window handles to views.
#pragma once

#include "bAppModule.h"
#include "bWindow.h"

class CPlayerDoc;

class CPlayerView : public CWindowImplBase, public CMessageFilter {
public:
    explicit CPlayerView(CPlayerDoc* doc) : m_pDoc(doc) {}

    // Creates the top-level window, not shown yet.
    HWND CreateMainWindow(const char* title);
    // Shows the window borderless and maximised.
    void AttachWindow();

    BOOL PreTranslateMessage(MSG* msg) override;

    // While the window has its creation procedure: a destroyed top-level
    // window ends the message loop with 1.
    BEGIN_MSG_MAP(CPlayerView)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);

    static const char kClassName[];

private:
    CPlayerDoc* m_pDoc;
};

// Window-handle map: process-wide, guarded by one critical section.
bool WndMapAdd(HWND window, CPlayerView* view);
void WndMapRemove(HWND window);
CPlayerView* WndMapLookup(HWND window);
