// The topic manager's input half beside the router: dragging through the
// pressed object's drag ability, and the two filters the view's message
// filter runs before accelerators.
#include <stdlib.h>

#include "aAxObject.h"
#include "aCanvas.h"
#include "aPlayerDoc.h"
#include "aPlayerSite.h"
#include "aTopicMgr.h"

namespace {

// The object's ActiveX control interface, when it is one.
HRESULT GetAxObject(CObjWrapper* object, AxObject** out) {
    *out = nullptr;
    if (!object || !object->m_base)
        return E_NOINTERFACE;
    return object->m_base->QueryInterface(__uuidof(AxObject), reinterpret_cast<void**>(out));
}

}  // namespace

HRESULT CTopicManager::GetDragAbility(CObjWrapper* object, IUnknown** out) {
    *out = nullptr;
    if (!object || !object->m_base)
        return E_FAIL;
    CComPtr<IAbilityContainer> container;
    object->m_base->QueryInterface(__uuidof(IAbilityContainer),
                                   reinterpret_cast<void**>(&container));
    if (!container)
        return E_FAIL;
    // The container answers 0 with an empty slot too.
    IUnknown* ability = nullptr;
    if (container->QueryAbility(__uuidof(IPathAnimate), &ability) != S_OK || !ability) {
        if (ability)
            ability->Release();
        return E_FAIL;
    }
    *out = ability;
    return S_OK;
}

void CTopicManager::DragMove(WPARAM wParam, LPARAM lParam, POINT pt) {
    CComPtr<IUnknown> ability;
    GetDragAbility(m_pressed, &ability);
    if (ability) {
        if (m_leftDownHere && (labs(pt.x - m_downX) > 3 || labs(pt.y - m_downY) > 3)) {
            BeginDragging(ability, wParam, lParam);
            m_leftDownHere = m_rightDown = false;
        }
        if (!m_leftDownHere && m_dragging) {
            CComPtr<IEventListener> listener;
            ability->QueryInterface(__uuidof(IEventListener), reinterpret_cast<void**>(&listener));
            if (listener) {
                DragRecord record = {lParam, pt.x, pt.y, m_dragX, m_dragY, m_downX, m_downY};
                listener->OnEvent(1119, wParam, (DWORD_PTR)&record);
            }
        }
    }
    FireObjectEvent(m_pressed, 1116, wParam, PackedPoint(pt.x, pt.y));
}

void CTopicManager::BeginDragging(IUnknown* ability, WPARAM wParam, LPARAM lParam) {
    CComPtr<IDragControl> control;
    ability->QueryInterface(__uuidof(IDragControl), reinterpret_cast<void**>(&control));
    if (!control || !(control->GetFlags() & 1) || !m_pressed->m_render)
        return;
    control->BeginDrag();
    m_dragControl = control;
    m_dragging = true;
    FireObjectEvent(m_pressed, 1117, wParam, lParam);
    // The event's actions may have taken the object away.
    if (m_pressed && m_pressed->m_render) {
        m_dragX = m_pressed->m_render->GetXCenter();
        m_dragY = m_pressed->m_render->GetYCenter();
    }
    HCURSOR sizeAll = LoadCursor(nullptr, IDC_SIZEALL);
    if (HCURSOR current = GetCursor())
        m_savedCursor = current;
    if (HWND view = m_pDoc->GetViewHandle())
        SetClassLongPtrA(view, GCLP_HCURSOR, (LONG_PTR)sizeAll);
    SetCursor(sizeAll);
}

void CTopicManager::EndDragging(WPARAM wParam, LPARAM lParam) {
    m_dragging = false;
    if (m_savedCursor) {
        if (HWND view = m_pDoc->GetViewHandle())
            SetClassLongPtrA(view, GCLP_HCURSOR, (LONG_PTR)m_savedCursor);
        SetCursor(m_savedCursor);
    }
    FireObjectEvent(m_pressed, 1118, wParam, lParam);
    CComPtr<IDragControl> control;
    control.Attach(m_dragControl.Detach());
    if (control)
        control->EndDrag();
}

BOOL CTopicManager::PreFilter(MSG* message) {
    if (!message)
        return 1;
    HWND view = m_pDoc->GetViewHandle();
    if (view && message->hwnd != view && message->message >= 0x200 && message->message <= 0x209) {
        POINT p = {(SHORT)LOWORD(message->lParam), (SHORT)HIWORD(message->lParam)};
        ClientToScreen(message->hwnd, &p);
        ScreenToClient(view, &p);
        DispatchInput(view, message->message, message->wParam, MAKELPARAM(p.x, p.y));
    }
    CPlayerSite* site = m_pDoc->GetPlaySite();
    CComPtr<AxObject> ax;
    if (site && site->IsPlaying() && SUCCEEDED(GetAxObject(m_pressed, &ax)) && ax)
        return ax->TranslateAccelerator(message) == S_OK ? 0 : 1;
    return 1;
}

BOOL CTopicManager::FocusFilter(MSG* message) {
    if (!message) {
        m_pressed = nullptr;
        return 0;
    }
    if (message->message != WM_LBUTTONDOWN)
        return 0;
    HWND view = m_pDoc->GetViewHandle();
    CCanvasSet* set = m_pDoc->GetCanvasSet();
    if (!view || !set)
        return 0;
    POINT pt = message->pt;
    ScreenToClient(view, &pt);
    m_pDoc->DPtoLP(&pt);
    CObjWrapper* hit = set->HitTestCanvasSet(pt, nullptr);
    CComPtr<AxObject> ax;
    if (FAILED(GetAxObject(hit, &ax)) || !ax)
        return 0;
    m_pressed = hit;
    HWND control = nullptr;
    ax->GetControlWindow(&control);
    if (control && IsWindow(control))
        SetFocus(control);
    return 1;
}
