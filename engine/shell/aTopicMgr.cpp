#include "aTopicMgr.h"

#include <stdlib.h>

#include "aCanvas.h"
#include "aPlayerDoc.h"
#include "aPlayerSite.h"
#include "aPrjUtil.h"
#include "aProject.h"
#include "aScriptHost.h"
#include "bStrConv.h"
#include "bTraceLog.h"

namespace {

const DWORD kActiveXType = 0x03010000;

// The parent an object lends, held while the events of its groups run:
// their lists may end the page.
CComPtr<IUnknown> ParentOf(IObjectBase* base) {
    IUnknown* parent = nullptr;  // not counted
    if (base)
        base->GetParent(&parent);
    return CComPtr<IUnknown>(parent);
}

}  // namespace

LPARAM PackedPoint(LONG x, LONG y) {
    return (LPARAM)(DWORD)(((DWORD)(WORD)y << 16) | (WORD)x);
}

CTopicManager::CTopicManager(CPlayerDoc* doc)
    : m_pDoc(doc),
      m_pressed(nullptr),
      m_hover(nullptr),
      m_leftDownHere(false),
      m_rightDown(false),
      m_dragging(false),
      m_downX(0),
      m_downY(0),
      m_dragX(0),
      m_dragY(0),
      m_index(-1),
      m_holdTimer(false),
      m_savedCursor(nullptr),
      m_cursorLoaded(false),
      m_driver(doc) {}

CTopicManager::~CTopicManager() {}

STDMETHODIMP CTopicManager::FireEvent(DWORD id, DWORD_PTR a, DWORD_PTR b, DWORD_PTR skip) {
    if (!skip)
        if (CCanvasSet* set = m_pDoc->GetCanvasSet())
            set->OnPageEvent(id);
    if (CScriptHost* script = m_pDoc->GetScript())
        script->GetAppEvents()->FireEvent(id, a, b, 0);
    return 0;
}

void CTopicManager::Init() {
    TRACE_POINT();
    CProject* project = m_pDoc->GetProject();
    m_holdTimer = project && (project->GetOptions() & 0x40);
    m_pressed = m_hover = nullptr;
    m_leftDownHere = m_rightDown = m_dragging = false;
    ClearHistory();
}

void CTopicManager::PushHistory(CanvasStub* stub) {
    if (m_index >= 0 && m_index < (int)m_history.size() - 1)
        m_history.resize((size_t)m_index + 1);
    m_history.push_back(stub);
    m_index = (int)m_history.size() - 1;
}

void CTopicManager::ClearHistory() {
    m_history.clear();
    m_index = -1;
}

CanvasStub* CTopicManager::Back() {
    if (!CanBack())
        return nullptr;
    return m_history[(size_t)--m_index];
}

CanvasStub* CTopicManager::Forward() {
    if (!CanForward())
        return nullptr;
    return m_history[(size_t)++m_index];
}

bool CTopicManager::CanBack() const {
    return !m_history.empty() && m_index > 0;
}

bool CTopicManager::CanForward() const {
    return !m_history.empty() && m_index < (int)m_history.size() - 1;
}

bool CTopicManager::IsPageVisited(const char* name) const {
    for (CanvasStub* s : m_history)
        if (s && MbIEqual(s->GetName(), name))
            return true;
    return false;
}

void CTopicManager::ArmPageTimer(bool on) {
    m_holdTimer = on;
    DWORD delay = 0xFFFFFFFF;
    CSequencer* seq = m_pDoc->GetSequencer();
    if (!seq)
        return;
    if (on) {
        CCanvasSet* set = m_pDoc->GetCanvasSet();
        CProject* project = m_pDoc->GetProject();
        CPageCanvas* page = set ? set->page : nullptr;
        if (page && (page->GetFlags() & PAGE_USE_PROJECT_HOLD) && project)
            delay = project->GetHoldTime();
        else if (page)
            delay = page->GetHoldTime();
        if (delay != 0xFFFFFFFF)
            delay += seq->GetClock();
    }
    SequencerEntry e = {this, 0, TOPIC_LEAVE, 0};
    seq->Schedule(delay, &e);
}

void CTopicManager::HideToolTip() {
    IUnknown* tip = nullptr;
    if (CPlayerSite* site = m_pDoc->GetPlaySite())
        if (SUCCEEDED(site->GetToolTipWindow(&tip)) && tip)
            static_cast<IToolTipWnd*>(tip)->Hide();
}

CPageCanvas* CTopicManager::Page() const {
    CCanvasSet* set = m_pDoc->GetCanvasSet();
    return set ? set->page : nullptr;
}

bool CTopicManager::DispatchStopped() const {
    CScriptHost* script = m_pDoc->GetScript();
    return script && script->GetProcessor()->DispatchStopped();
}

STDMETHODIMP CTopicManager::Notify(DWORD code, DWORD_PTR param) {
    CSequencer* seq = m_pDoc->GetSequencer();
    CPlayerSite* site = m_pDoc->GetPlaySite();
    const bool running = site && site->IsRunning();
    switch (code) {
        case TOPIC_ENTER: {
            m_pressed = m_hover = nullptr;
            if (CScriptHost* script = m_pDoc->GetScript())
                script->GetProcessor()->NewPage();
            if (seq) {
                seq->Clear();
                seq->ResetClock();
            }
            FireEvent(1220, 0, 0, 0);
            if (seq)
                seq->SetClock(0);
            CPageCanvas* page = Page();
            const DWORD time = page ? page->GetEnterTime() : 0;
            if (time && running && seq) {
                seq->SetTransitionMode(true);
                SequencerEntry e = {this, 0, TOPIC_HOLD, 0};
                seq->Schedule(time, &e);
                seq->AddClockClient(static_cast<IClockClient*>(&m_driver), nullptr);
                BeginEntering(time);
                return S_OK;
            }
            return Notify(TOPIC_HOLD, 0);
        }
        case TOPIC_HOLD:
            if (running)
                EndEntering();
            if (seq && seq->InTransition())
                seq->SetTransitionMode(false);
            FireEvent(1221, 0, 0, 0);
            if (m_holdTimer && running)
                ArmPageTimer(true);
            return S_OK;
        case TOPIC_LEAVE: {
            HideToolTip();
            if (!param) {
                m_pDoc->OnPageAction();
                return S_OK;
            }
            FireEvent(1222, 0, 0, 0);
            CPageCanvas* page = Page();
            const DWORD time = page ? page->GetLeaveTime() : 0;
            if (time && running && seq) {
                // Due at the page's present time plus the transition's.
                const DWORD due = seq->GetClock() + time;
                seq->SetTransitionMode(true);
                SequencerEntry e = {this, 0, TOPIC_EXIT, param};
                seq->Schedule(due, &e);
                seq->AddClockClient(static_cast<IClockClient*>(&m_driver), nullptr);
                BeginLeaving(time);
                return S_OK;
            }
            return Notify(TOPIC_EXIT, param);
        }
        case TOPIC_EXIT:
            HideToolTip();
            if (running) {
                EndLeaving();
                if (seq && seq->InTransition())
                    seq->SetTransitionMode(false);
            }
            FireEvent(1223, 0, 0, 0);
            if (!m_pDoc->ChangeCanvasTo(reinterpret_cast<CanvasStub*>(param)) && seq)
                seq->Rewind();
            m_pressed = m_hover = nullptr;
            return S_OK;
        default:
            return S_OK;
    }
}

// ---- transition composing ----

void CTopicManager::StartEffect(IEffectRender* effect, DWORD time) {
    if (!effect)
        return;
    StopEffect(effect);
    CComPtr<IRenderClockClient> client;
    effect->QueryInterface(__uuidof(IRenderClockClient), reinterpret_cast<void**>(&client));
    if (!client)
        return;
    effect->SetTarget(&m_driver);
    client->SetClock(&m_driver);
    effect->SetDuration(time);
    RECT rect;
    if (SUCCEEDED(m_driver.GetRect(&rect)))
        effect->SetRect(&rect);
    m_driver.Start();
}

void CTopicManager::StopEffect(IEffectRender* effect) {
    if (!effect || effect->IsIdle())
        return;
    CComPtr<IRenderClockClient> client;
    effect->QueryInterface(__uuidof(IRenderClockClient), reinterpret_cast<void**>(&client));
    if (client)
        client->Stop();
}

IPixelBuffer* CTopicManager::MakeFillImage() {
    CPlayerDoc& d = *m_pDoc;
    if (!d.m_pFillImage) {
        d.m_pFillImage = d.NewBufferLikeBack();
        if (d.m_pFillImage) {
            CProject* project = d.GetProject();
            d.m_pFillImage->FillRect(nullptr, project ? project->GetBackgroundColor() : 0);
        }
    }
    return d.m_pFillImage;
}

void CTopicManager::RedrawWholeBuffer() {
    RECT whole;
    if (SUCCEEDED(m_driver.GetRect(&whole)))
        m_pDoc->RedrawRegion(&whole);
}

void CTopicManager::TradePageImage() {
    CPlayerDoc& d = *m_pDoc;
    if (!d.m_pPageImage) {
        IPixelBuffer* fresh = d.NewBufferLikeBack();
        if (!fresh)
            return;
        d.m_pPageImage = d.m_pBack;
        d.m_pBack = fresh;
        return;
    }
    IPixelBuffer* t = d.m_pPageImage;
    d.m_pPageImage = d.m_pBack;
    d.m_pBack = t;
}

void CTopicManager::BeginEntering(DWORD time) {
    CPlayerDoc& d = *m_pDoc;
    CPageCanvas* page = Page();
    IEffectRender* effect = page ? page->GetEnterEffect() : nullptr;
    StopEffect(effect);
    MakeFillImage();
    RedrawWholeBuffer();
    TradePageImage();
    if (!effect || !d.m_pFillImage || !d.m_pPageImage)
        return;
    StartEffect(effect, time);
    d.SetTransition(effect);
}

void CTopicManager::EndEntering() {
    CPlayerDoc& d = *m_pDoc;
    if (IEffectRender* running = d.m_pTransition) {
        StopEffect(running);
        d.SetTransition(nullptr);
    }
    d.ReleasePageImages();
    // The last composed frame leaves the window for the page itself.
    if (HWND view = d.GetViewHandle())
        ::InvalidateRect(view, nullptr, FALSE);
}

void CTopicManager::BeginLeaving(DWORD time) {
    CPlayerDoc& d = *m_pDoc;
    CPageCanvas* page = Page();
    IEffectRender* effect = page ? page->GetLeaveEffect() : nullptr;
    StopEffect(d.m_pTransition);
    StopEffect(effect);
    MakeFillImage();
    if (!d.m_pPageImage)
        d.m_pPageImage = d.NewBufferLikeBack();
    RedrawWholeBuffer();
    TradePageImage();
    if (!effect || !d.m_pFillImage || !d.m_pPageImage)
        return;
    StartEffect(effect, time);
    d.SetTransition(effect);
}

void CTopicManager::EndLeaving() {
    CPlayerDoc& d = *m_pDoc;
    if (IEffectRender* running = d.m_pTransition) {
        running->AddRef();
        StopEffect(running);
        if (HWND view = d.GetViewHandle())
            UpdateWindow(view);
        d.SetTransition(nullptr);
        running->Release();
    }
    // What the page showed last stays as the fill of the next page's entry.
    if (!d.m_pFillImage) {
        RedrawWholeBuffer();
        IPixelBuffer* fresh = d.NewBufferLikeBack();
        if (fresh) {
            d.m_pFillImage = d.m_pBack;
            d.m_pBack = fresh;
        }
    }
    d.ReleaseSnapshot();
}

// ---- CTransitionDriver ----

DWORD CTransitionDriver::PageClock() const {
    CSequencer* seq = m_pDoc->GetSequencer();
    return seq ? seq->GetClock() : 0;
}

DWORD CTransitionDriver::GetElapsed() {
    return m_state == RENDER_STOPPED ? 0 : PageClock() - m_start;
}

HRESULT CTransitionDriver::Start() {
    m_start = PageClock();
    m_state = RENDER_RUNNING;
    return S_OK;
}

HRESULT CTransitionDriver::Pause() {
    if (m_state == RENDER_RUNNING)
        m_state = RENDER_PAUSED;
    return S_OK;
}

HRESULT CTransitionDriver::Resume() {
    if (m_state == RENDER_PAUSED)
        m_state = RENDER_RUNNING;
    return S_OK;
}

HRESULT CTransitionDriver::Stop() {
    m_state = RENDER_STOPPED;
    return S_OK;
}

STDMETHODIMP CTransitionDriver::OnTick() {
    if (m_state == RENDER_RUNNING)
        Redraw(nullptr);
    return S_OK;
}

HRESULT CTransitionDriver::GetRect(RECT* rect) {
    if (!rect)
        return E_POINTER;
    IPixelBuffer* back = m_pDoc->GetBackBuffer();
    if (!back)
        return E_FAIL;
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_WIDTH | BIM_HEIGHT | BIM_OFFSET;
    HRESULT hr = back->GetBufferInfo(&info);
    if (FAILED(hr))
        return hr;
    SetRect(rect, 0, 0, info.nWidth, info.nHeight);
    OffsetRect(rect, -info.nOffsetX, -info.nOffsetY);
    return S_OK;
}

HRESULT CTransitionDriver::Redraw(const RECT*) {
    // Every frame covers the whole buffer.
    if (HWND view = m_pDoc->GetViewHandle())
        ::InvalidateRect(view, nullptr, FALSE);
    return S_OK;
}

HRESULT CTopicManager::FireObjectEvent(CObjWrapper* object, DWORD id, WPARAM wParam,
                                       LPARAM lParam) {
    if (!object || !object->m_event)
        return 0;
    HRESULT r = object->m_event->FireEvent(id, wParam, (DWORD_PTR)lParam, 0);
    // Then the parent group, and on while the last one answered non-zero.
    CComPtr<IUnknown> parent = ParentOf(object->m_base);
    bool first = true;
    while (parent && (first || r) && !DispatchStopped()) {
        first = false;
        CComPtr<IObjectEvent> ev;
        parent->QueryInterface(__uuidof(IObjectEvent), reinterpret_cast<void**>(&ev));
        if (!ev)
            break;
        r = ev->FireEvent(id, wParam, (DWORD_PTR)lParam, 0);
        CComPtr<IObjectBase> base;
        parent->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        parent = ParentOf(base);
    }
    return r;
}

void CTopicManager::ToPageLevels(DWORD id, DWORD secondId, WPARAM wParam, LPARAM lParam) {
    CCanvasSet* set = m_pDoc->GetCanvasSet();
    if (set) {
        CCanvas* order[3] = {set->foreground, set->page, set->background};
        for (CCanvas* c : order) {
            if (!c)
                continue;
            if (DispatchStopped())
                return;
            HRESULT a = c->FireEvent(id, wParam, (DWORD_PTR)lParam, 0);
            HRESULT b = 1;
            if (secondId)
                b = c->FireEvent(secondId, wParam, (DWORD_PTR)lParam, 0);
            if (a == 0 || b == 0)
                return;
        }
    }
    if (!DispatchStopped())
        FireEvent(id, wParam, (DWORD_PTR)lParam, 1);
}

LRESULT CTopicManager::OnInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CSequencer* seq = m_pDoc->GetSequencer();
    if (seq && seq->InTransition())
        return 1;
    return DispatchInput(window, message, wParam, lParam);
}

LRESULT CTopicManager::DispatchInput(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_cursorLoaded) {
        m_savedCursor = LoadCursor(nullptr, IDC_ARROW);
        m_cursorLoaded = true;
    }
    POINT pt = {(SHORT)LOWORD(lParam), (SHORT)HIWORD(lParam)};
    m_pDoc->DPtoLP(&pt);
    LRESULT result = 0;
    bool handled = false;
    DWORD id = 0, second = 0;
    CCanvasSet* set = m_pDoc->GetCanvasSet();
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP:
        case WM_CHAR:
            id = (message == WM_CHAR)                                  ? 1010
                 : (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) ? 1008
                                                                       : 1009;
            if (m_pressed)
                FireObjectEvent(m_pressed, id, wParam, lParam);
            break;
        case WM_MOUSEMOVE:
            id = (wParam & MK_LBUTTON) && m_pressed ? 1116 : 1115;
            if (id == 1116) {
                DragMove(wParam, lParam, pt);
            } else {
                m_leftDownHere = m_rightDown = false;
                CObjWrapper* hit = set ? set->HitTestCanvasSet(pt, nullptr) : nullptr;
                if (hit != m_hover) {
                    if (m_hover)
                        FireObjectEvent(m_hover, 1112, wParam, lParam);
                    if (hit)
                        FireObjectEvent(hit, 1111, wParam, lParam);
                    m_hover = hit;
                }
                if (m_hover) {
                    FireObjectEvent(m_hover, 1115, wParam, PackedPoint(pt.x, pt.y));
                    handled = true;
                }
            }
            break;
        case WM_LBUTTONDOWN: {
            id = 1100;
            m_downX = pt.x;
            m_downY = pt.y;
            m_leftDownHere = true;
            m_rightDown = false;
            CObjWrapper* hit = set ? set->HitTestCanvasSet(pt, nullptr) : nullptr;
            CObjWrapper* previous = m_pressed;
            m_pressed = hit;
            // Read before the events: their actions may change the page and
            // take the object away (the page change clears the pressed one).
            bool activeX = hit && hit->m_record.dwTypeId == kActiveXType;
            if (hit != previous) {
                if (previous)
                    FireObjectEvent(previous, 1114, wParam, lParam);
                if (hit && m_pressed == hit)
                    FireObjectEvent(hit, 1113, wParam, lParam);
            }
            if (hit && m_pressed == hit)
                FireObjectEvent(hit, 1100, wParam, PackedPoint(pt.x, pt.y));
            handled = hit != nullptr;
            // A press outside every object takes the focus back too.
            HWND view = m_pDoc->GetViewHandle();
            if (!activeX && view && GetFocus() != view)
                SetFocus(view);
            break;
        }
        case WM_LBUTTONUP:
            id = 1101;
            if (m_dragging)
                EndDragging(wParam, lParam);
            if (m_pressed) {
                FireObjectEvent(m_pressed, 1101, wParam, PackedPoint(pt.x, pt.y));
                handled = true;
            }
            if (m_leftDownHere && labs(pt.x - m_downX) <= 2 && labs(pt.y - m_downY) <= 2) {
                second = 1103;
                if (m_pressed)
                    FireObjectEvent(m_pressed, 1103, wParam, lParam);
            }
            m_leftDownHere = m_rightDown = false;
            break;
        case WM_LBUTTONDBLCLK:
            id = 1102;
            m_leftDownHere = m_rightDown = false;
            if (m_pressed) {
                FireObjectEvent(m_pressed, 1102, wParam, lParam);
                handled = true;
            }
            break;
        case WM_RBUTTONDOWN:
            id = 1104;
            m_downX = pt.x;
            m_downY = pt.y;
            m_leftDownHere = false;
            m_rightDown = true;
            if (m_pressed) {
                FireObjectEvent(m_pressed, 1104, wParam, lParam);
                handled = true;
            }
            break;
        case WM_RBUTTONUP:
            id = 1105;
            result = 1;
            if (m_pressed) {
                FireObjectEvent(m_pressed, 1105, wParam, lParam);
                handled = true;
            }
            if (m_rightDown && pt.x == m_downX && pt.y == m_downY) {
                second = 1107;
                if (m_pressed)
                    FireObjectEvent(m_pressed, 1107, wParam, lParam);
            }
            m_leftDownHere = m_rightDown = false;
            break;
        case WM_RBUTTONDBLCLK:
            id = 1106;
            m_leftDownHere = m_rightDown = false;
            if (m_pressed) {
                FireObjectEvent(m_pressed, 1106, wParam, lParam);
                handled = true;
            }
            break;
        default:
            return 0;
    }
    if (!handled && id && !DispatchStopped())
        ToPageLevels(id, second, wParam, lParam);
    return result;
}
