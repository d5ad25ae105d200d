#include "aPlayerView.h"

#include <map>
#include <string>

#include "aCmdPacket.h"
#include "aGlobal.h"
#include "aPixBuf.h"
#include "aPlayerDoc.h"
#include "aPrjUtil.h"
#include "aProject.h"
#include "aScriptHost.h"
#include "bHandles.h"
#include "bMsgBox.h"
#include "bTraceLog.h"

const char CPlayerView::kClassName[] = "MavroRTView";

CPlayerView::CPlayerView(CPlayerDoc* doc)
    : m_pDoc(doc),
      m_previous(DefWindowProcA),
      m_pageWidth(640),
      m_pageHeight(480),
      m_update(nullptr),
      m_savedCursor(nullptr),
      m_accel(nullptr) {
    m_accel = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_VIEW_ACCEL));
}

CPlayerView::~CPlayerView() {
    DropHook();
    if (m_update)
        DeleteObject(m_update);
}

HWND CPlayerView::CreateMainWindow(const char* title) {
    TRACE_POINT();
    RegisterWndClass(kClassName, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS,
                     LoadCursor(nullptr, IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1));
    return Create(kClassName, nullptr, nullptr, title,
                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                  WS_EX_APPWINDOW | WS_EX_WINDOWEDGE);
}

BOOL CPlayerView::AttachWindow() {
    TRACE_POINT();
    if (!m_hWnd)
        return FALSE;
    LONG ex = GetWindowLongA(m_hWnd, GWL_EXSTYLE);
    if (ex & WS_EX_CLIENTEDGE)
        SetWindowLongA(m_hWnd, GWL_EXSTYLE, ex & ~WS_EX_CLIENTEDGE);
    ShowScrollBar(m_hWnd, SB_BOTH, FALSE);
    // The procedure finds the view through the map.
    WndMapAdd(m_hWnd, this);
    SetLastError(0);
    WNDPROC old = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CPlayerView::ViewWindowProc)));
    DWORD err = GetLastError();
    if (old && old != &CPlayerView::ViewWindowProc)
        m_previous = old;
    // No caption and no border; still neither a child nor a pop-up, so the
    // window's destruction keeps ending the message loop.
    SetWindowLongA(m_hWnd, GWL_STYLE, WS_CLIPCHILDREN);
    ShowWindow(m_hWnd, SW_SHOWMAXIMIZED);
    UpdateLayout();
    if (!old && err)
        LOG_WIN32_ERROR(err, "ChangeWndProc failed");
    SetClassLongPtrA(m_hWnd, GCLP_HCURSOR, 0);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    SetTicking();
    return TRUE;
}

void CPlayerView::SetTicking() {
    if (m_pDoc && m_pDoc->GetPlaySite() && m_pDoc->GetPlaySite()->GetTicks())
        m_pDoc->GetPlaySite()->GetTicks()->SetTicking(m_hWnd, TRUE, 30);
}

void CPlayerView::UpdateLayout() {
    if (!m_pDoc)
        return;
    CCanvas* current = m_pDoc->GetCurrentCanvas();
    CBackground* bg = nullptr;
    if (current && current->GetKind() == CANVAS_BACKGROUND)
        bg = static_cast<CBackground*>(current);
    else if (m_pDoc->GetCanvasSet())
        bg = m_pDoc->GetCanvasSet()->background;
    if (bg) {
        m_pageWidth = bg->GetWidth();
        m_pageHeight = bg->GetHeight();
    }
    if (!m_hWnd)
        return;
    RECT client;
    GetClientRect(m_hWnd, &client);
    POINT pts[2] = {{client.left, client.top}, {client.right, client.bottom}};
    DPtoLPPoints(pts);
    if (IPixelBuffer* back = m_pDoc->GetBackBuffer())
        back->SetOrigin(pts[0].x, pts[0].y);
}

void CPlayerView::Refresh() {
    if (m_hook)
        ChangeWndProc(FALSE, nullptr);
    UpdateLayout();
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, TRUE);
}

POINT CPlayerView::DeviceOrigin() const {
    RECT c = {0, 0, 0, 0};
    if (m_hWnd)
        GetClientRect(m_hWnd, &c);
    POINT origin = {(c.right - m_pageWidth) / 2, (c.bottom - m_pageHeight) / 2};
    return origin;
}

void CPlayerView::PrepareDC(HDC dc) {
    RECT c = {0, 0, 0, 0};
    if (m_hWnd)
        GetClientRect(m_hWnd, &c);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, c.right, c.bottom, nullptr);
    SetViewportExtEx(dc, c.right, c.bottom, nullptr);
    POINT origin = DeviceOrigin();
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
}

// The mapping of PrepareDC has equal extents: logical and device points
// differ by the origin alone, so the conversions (on every invalidation and
// every input) need no device context.
void CPlayerView::LPtoDPRect(RECT* rect) {
    POINT o = DeviceOrigin();
    OffsetRect(rect, o.x, o.y);
}

void CPlayerView::LPtoDPPoint(POINT* pt) {
    POINT o = DeviceOrigin();
    pt->x += o.x;
    pt->y += o.y;
}

void CPlayerView::DPtoLPPoint(POINT* pt) {
    POINT o = DeviceOrigin();
    pt->x -= o.x;
    pt->y -= o.y;
}

void CPlayerView::DPtoLPPoints(POINT* pts) {
    DPtoLPPoint(&pts[0]);
    DPtoLPPoint(&pts[1]);
}

void CPlayerView::OnPaint() {
    TRACE_POINT();
    if (!m_update)
        m_update = CreateRectRgn(0, 0, 0, 0);
    if (GetUpdateRgn(m_hWnd, m_update, FALSE) == ERROR) {
        LOG_WIN32_ERROR(GetLastError(), "GetUpdateRgn failed(%s), set to clientArea", "ERROR");
        RECT c;
        GetClientRect(m_hWnd, &c);
        SetRectRgn(m_update, c.left, c.top, c.right, c.bottom);
    }
    // Device to logical: move by the logical position of the device origin.
    POINT origin = {0, 0};
    DPtoLPPoint(&origin);
    OffsetRgn(m_update, origin.x, origin.y);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    if (dc) {
        PrepareDC(dc);
        Render(dc);
    }
    EndPaint(m_hWnd, &ps);
}

void CPlayerView::Render(HDC paint) {
    TRACE_POINT();
    if (!m_pDoc)
        return;
    RECT clip;
    GetClipBox(paint, &clip);
    RECT client;
    GetClientRect(m_hWnd, &client);
    POINT pts[2] = {{client.left, client.top}, {client.right, client.bottom}};
    DPtoLPPoints(pts);
    RECT logical = {pts[0].x, pts[0].y, pts[1].x, pts[1].y};
    if (!m_pDoc->GetBackBuffer())
        m_pDoc->CreateBackBuffer(&logical);
    m_pDoc->InvalidateRegion(m_update);
    IPixelBuffer* back = m_pDoc->GetBackBuffer();
    HDC bdc = nullptr;
    if (!back || FAILED(back->GetDC(&bdc)) || !bdc)
        return;
    CProject* project = m_pDoc->GetProject();
    if (project && (project->GetFlags() & PRJ_VERSION_OVERLAY)) {
        std::string text = LoadResText(IDS_DISPLAY_NAME, "Mavro Player");
        CGlobal* g = GetAppGlobal();
        text += "(";
        text += g ? g->GetVersionText() : "";
        text += ")";
        SetTextColor(bdc, RGB(255, 0, 0));
        SetBkColor(bdc, RGB(0, 0, 0));
        SetBkMode(bdc, OPAQUE);
        SetTextAlign(bdc, TA_RIGHT | TA_BOTTOM);
        TextOutA(bdc, logical.right, logical.bottom, text.c_str(), (int)text.size());
    }
    int mode = SetStretchBltMode(paint, COLORONCOLOR);
    if (!BitBlt(paint, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, bdc,
                clip.left, clip.top, SRCCOPY))
        LOG_WIN32_ERROR(GetLastError(), "BitBlt Failed");
    SetStretchBltMode(paint, mode);
    back->ReleaseDC(bdc);
}

LRESULT CPlayerView::EraseBackground(HDC dc) {
    RECT c;
    GetClientRect(m_hWnd, &c);
    if (c.right <= 4096 && c.bottom <= 4096)
        return 1;
    RECT clip;
    GetClipBox(dc, &clip);
    LONG left = (c.right - m_pageWidth) / 2, top = (c.bottom - m_pageHeight) / 2;
    RECT page = {left, top, left + m_pageWidth, top + m_pageHeight};
    HBRUSH brush = GetSysColorBrush(COLOR_APPWORKSPACE);
    RECT bands[4] = {{clip.left, clip.top, clip.right, page.top},
                     {clip.left, page.bottom, clip.right, clip.bottom},
                     {clip.left, page.top, page.left, page.bottom},
                     {page.right, page.top, clip.right, page.bottom}};
    for (RECT& b : bands)
        if (b.right > b.left && b.bottom > b.top)
            FillRect(dc, &b, brush);
    return 1;
}

namespace {

// Appends every item of the pop-up to the menu.
void AppendItems(HMENU to, HMENU from) {
    int n = GetMenuItemCount(from);
    for (int i = 0; i < n; ++i) {
        char text[128] = "";
        MENUITEMINFOA mi = {};
        mi.cbSize = sizeof(mi);
        mi.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
        mi.dwTypeData = text;
        mi.cch = sizeof(text);
        if (!GetMenuItemInfoA(from, (UINT)i, TRUE, &mi))
            continue;
        if (mi.fType & MFT_SEPARATOR)
            AppendMenuA(to, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuA(to, MF_STRING | (mi.fState & MFS_GRAYED ? MF_GRAYED : 0), mi.wID, text);
    }
}

}  // namespace

HMENU CPlayerView::BuildContextMenu() {
    CProject* project = m_pDoc ? m_pDoc->GetProject() : nullptr;
    if (!project || !(project->GetOptions() & 1))
        return nullptr;
    DWORD options = project->GetOptions();
    HMENU res = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_VIEW_MENU));
    if (!res)
        return nullptr;
    CPlayerSite* site = m_pDoc->GetPlaySite();
    HMENU out = CreatePopupMenu();
    bool first = true;
    auto group = [&](int index) {
        HMENU pop = GetSubMenu(res, index);
        if (!pop)
            return;
        if (!first)
            AppendMenuA(out, MF_SEPARATOR, 0, nullptr);
        first = false;
        AppendItems(out, pop);
    };
    if (options & 8) {
        HMENU pop = GetSubMenu(res, 1);
        if (pop && site) {
            EnableMenuItem(pop, 32955, MF_BYCOMMAND | (site->IsPlaying() ? MF_ENABLED : MF_GRAYED));
            EnableMenuItem(pop, 32954, MF_BYCOMMAND | (site->IsPaused() ? MF_ENABLED : MF_GRAYED));
        }
        group(1);
    }
    if (options & 4) {
        HMENU pop = GetSubMenu(res, 0);
        CTopicManager* t = m_pDoc->GetTopics();
        CanvasStub* cur = m_pDoc->GetCanvasSet() && m_pDoc->GetCanvasSet()->page
                              ? m_pDoc->GetCanvasSet()->page->GetStub()
                              : nullptr;
        if (pop) {
            EnableMenuItem(pop, 32817, MF_BYCOMMAND | (t->CanBack() ? MF_ENABLED : MF_GRAYED));
            EnableMenuItem(pop, 32818, MF_BYCOMMAND | (t->CanForward() ? MF_ENABLED : MF_GRAYED));
            const UINT ids[] = {32816, 32808, 32809, 32811, 32812, 32813, 32814, 32810};
            for (UINT id : ids)
                EnableMenuItem(
                    pop, id,
                    MF_BYCOMMAND | (m_pDoc->FindPageFor(id, cur) ? MF_ENABLED : MF_GRAYED));
        }
        group(0);
    }
    if (options & 2)
        group(2);
    DestroyMenu(res);
    if (GetMenuItemCount(out) == 0) {
        DestroyMenu(out);
        return nullptr;
    }
    return out;
}

void CPlayerView::ShowContextMenu(LPARAM lParam) {
    HMENU menu = BuildContextMenu();
    if (!menu)
        return;
    SysTrackPopupMenu(menu, TPM_RIGHTBUTTON, (SHORT)LOWORD(lParam), (SHORT)HIWORD(lParam), m_hWnd);
    DestroyMenu(menu);
}

BOOL CPlayerView::PreTranslateMessage(MSG* msg) {
    if (!m_pDoc || !m_pDoc->GetPlaySite() || !m_pDoc->GetPlaySite()->IsRunning())
        return FALSE;
    CTopicManager* t = m_pDoc->GetTopics();
    BOOL goesOn = t->PreFilter(msg);
    t->FocusFilter(msg);
    if (!goesOn)
        return TRUE;
    // Ctrl+C, V and X reach an editing object only.
    if (m_hook && m_accel)
        return TranslateAcceleratorA(m_hWnd, m_accel, msg) ? TRUE : FALSE;
    return FALSE;
}

LRESULT CPlayerView::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    LONG style = GetWindowLongA(m_hWnd, GWL_STYLE);
    if (style & (WS_CHILD | WS_POPUP)) {
        handled = FALSE;
        return 0;
    }
    PostQuitMessage(1);
    return 0;
}

LRESULT CPlayerView::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(m_previous, m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CPlayerView::ViewWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    CPlayerView* view = WndMapLookup(window);
    if (!view || view->m_hWnd != window)
        return 0;
    try {
        return view->HandleMessage(message, wParam, lParam);
    } catch (CSE_Exception& e) {
        LOG_EXCEPTION(e);
        return 0;
    }
}

LRESULT CPlayerView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    bool input = message == WM_SIZE || message == WM_KEYDOWN || message == WM_KEYUP ||
                 message == WM_CHAR || message == WM_TIMER ||
                 (message >= 0x200 && message <= 0x206);
    if (!IsWindowEnabled(m_hWnd)) {
        if (input)
            return 0;
        if (message != WM_PAINT)
            return Default(message, wParam, lParam);
    }
    CTopicManager* topics = m_pDoc ? m_pDoc->GetTopics() : nullptr;
    // Every list this message runs shares one watchdog deadline.
    CScriptHost* script = m_pDoc ? m_pDoc->GetScript() : nullptr;
    CEventProcessor::Dispatch dispatch(script ? script->GetProcessor() : nullptr);
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(1);
            return 0;
        case WM_SETFOCUS:
            if (m_savedCursor)
                SetCursor(m_savedCursor);
            break;
        case WM_KILLFOCUS:
            m_savedCursor = GetCursor();
            break;
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_ERASEBKGND:
            EraseBackground((HDC)wParam);
            return 0;
        case WM_HELP:
            return 1;
        case WM_CONTEXTMENU:
            ShowContextMenu(lParam);
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
        case 0x200:
        case 0x201:
        case 0x202:
        case 0x203:
        case 0x204:
        case 0x205:
        case 0x206:
            if (topics && topics->OnInput(m_hWnd, message, wParam, lParam) == 0)
                return 0;
            break;
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            if (topics)
                topics->OnInput(m_hWnd, message, wParam, lParam);
            break;
        case WM_COMMAND: {
            UINT id = LOWORD(wParam);
            if (m_pDoc) {
                if (id >= 32950 && id <= 32955)
                    m_pDoc->OnCommand(id);
                else if (id >= 32808 && id <= 32820)
                    m_pDoc->OnNavigate(id);
            }
            return 0;
        }
        case WM_TIMER: {
            if (m_pDoc && m_pDoc->GetSequencer())
                m_pDoc->GetSequencer()->Tick();
            RECT r = {0, 0, 200, 16};
            InvalidateRect(m_hWnd, &r, TRUE);
            MSG m;
            while (PeekMessageA(&m, m_hWnd, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            }
            return 0;
        }
        case WM_DB_NOTICE:
            if (m_pDoc)
                m_pDoc->OnDatabaseNotice(wParam, lParam);
            return 0;
        case WM_PLAYER_COMMAND:
            if (m_pDoc)
                return m_pDoc->ExecuteCommand(m_hWnd, wParam, lParam);
            // Nobody to run it: the packet is still released.
            if (lParam)
                reinterpret_cast<CCmdPacket*>(lParam)->Release();
            return 0;
        case WM_NCDESTROY: {
            // Taken first: the creation procedure forgets the window here.
            HWND w = m_hWnd;
            WNDPROC previous = m_previous;
            LRESULT r = CallWindowProcA(previous, w, message, wParam, lParam);
            WNDPROC now = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(w, GWLP_WNDPROC));
            if (w && previous != DefWindowProcA &&
                (now == &CPlayerView::ViewWindowProc || now == &CPlayerView::HookedWindowProc))
                SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
            m_hWnd = nullptr;
            WndMapRemove(w);
            OnFinalMessage(w);
            return r;
        }
        default:
            break;
    }
    return Default(message, wParam, lParam);
}

namespace {
struct WndMap {
    WndMap() { InitializeCriticalSection(&cs); }
    ~WndMap() { DeleteCriticalSection(&cs); }
    CRITICAL_SECTION cs;
    std::map<HWND, CPlayerView*> views;
};
WndMap& TheWndMap() {
    static WndMap map;
    return map;
}
}  // namespace

bool WndMapAdd(HWND window, CPlayerView* view) {
    WndMap& m = TheWndMap();
    CCriticalSectionLock lock(&m.cs);
    return m.views.emplace(window, view).second;
}

void WndMapRemove(HWND window) {
    WndMap& m = TheWndMap();
    CCriticalSectionLock lock(&m.cs);
    m.views.erase(window);
}

CPlayerView* WndMapLookup(HWND window) {
    WndMap& m = TheWndMap();
    CCriticalSectionLock lock(&m.cs);
    auto it = m.views.find(window);
    if (it != m.views.end())
        return it->second;
    // A child of a mapped window finds its view through its ancestors.
    for (auto& e : m.views)
        for (HWND p = GetParent(window); p; p = GetParent(p))
            if (p == e.first)
                return e.second;
    return nullptr;
}
