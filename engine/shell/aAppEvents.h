// The application's event part: the project's own event procedure (timers
// and keys of the application stock table), loaded from the project body
// and reached by the topic manager after the page levels.
#pragma once

#include "aevtbase.h"

class CAppEvents : public CObjectEventB {
public:
    CAppEvents() : CObjectEventB(true) {}
    virtual ~CAppEvents();
    CAppEvents(const CAppEvents&) = delete;
    CAppEvents& operator=(const CAppEvents&) = delete;

    // Makes the event procedure through the site's root creator.
    HRESULT Init(IPlayerSite* site);
    bool HasProcedure() const { return m_pEventProc != nullptr; }

    // Owned by the script host.
    BEGIN_COM_MAP(CAppEvents)
    COM_INTERFACE_ENTRY(IObjectEvent)
    END_COM_MAP()
    DECLARE_OWNED_IUNKNOWN()
    // A page enter starts the application's timers.
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
};
