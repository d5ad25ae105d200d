#include "aAppEvents.h"

CAppEvents::~CAppEvents() {
    ReleaseListeners();
    if (m_pEventProc) {
        m_pEventProc->Release();
        m_pEventProc = nullptr;
    }
}

HRESULT CAppEvents::Init(IPlayerSite* site) {
    SetOwner(site);
    if (!site)
        return E_FAIL;
    // Type 4: the application stock table.
    return InitEventProc(4, static_cast<IObjectEvent*>(this));
}

STDMETHODIMP CAppEvents::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) {
    if (id == 1220)
        StartTimers(static_cast<IObjectEvent*>(this));
    return CObjectEventB::FireEvent(id, arg1, arg2, prev);
}
