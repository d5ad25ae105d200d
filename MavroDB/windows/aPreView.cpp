#include "aPreView.h"

#include <string.h>

#include "aBaseCore.h"
#include "aDBModule.h"
#include "bByteOrder.h"
#include "bPlayerSite.h"

static const char kPreViewClass[] = "MavroDBPreView";

// ---------------------------------------------------------------- text pane

bool PreviewTextEdit::Create(HWND parent) {
    RECT rc;
    GetClientRect(parent, &rc);
    m_hWnd = CreateWindowExA(0, "EDIT", "",
                             WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                                 WS_VSCROLL | WS_HSCROLL | ES_WANTRETURN,
                             0, 0, rc.right, rc.bottom, parent, (HMENU)(INT_PTR)kControlId,
                             GetDBModule(), nullptr);
    if (!m_hWnd)
        return false;
    HWND top = GetAncestor(parent, GA_ROOT);
    if (HFONT font = top ? (HFONT)SendMessageA(top, WM_GETFONT, 0, 0) : nullptr)
        SendMessageA(m_hWnd, WM_SETFONT, (WPARAM)font, 0);
    return true;
}

bool PreviewTextEdit::SetText(const std::string& text) {
    if (!m_hWnd || !IsWindow(m_hWnd))
        return false;
    // Text the browser puts here is not the user's change.
    m_setting = true;
    BOOL ok = SetWindowTextA(m_hWnd, text.c_str());
    m_setting = false;
    return ok != FALSE;
}

std::string PreviewTextEdit::GetText() const {
    if (!m_hWnd)
        return std::string();
    int n = GetWindowTextLengthA(m_hWnd);
    std::string text((size_t)n + 1, '\0');
    n = GetWindowTextA(m_hWnd, &text[0], n + 1);
    text.resize((size_t)(n > 0 ? n : 0));
    return text;
}

// ---------------------------------------------------------------- view

ValueBytes::ValueBytes(const VARIANT* value) {
    if (!value)
        return;
    SAFEARRAY* a = nullptr;
    if (V_VT(value) == (VT_ARRAY | VT_UI1))
        a = V_ARRAY(value);
    else if (V_VT(value) == (VT_ARRAY | VT_UI1 | VT_BYREF) && V_ARRAYREF(value))
        a = *V_ARRAYREF(value);
    void* bytes = nullptr;
    if (!a || SafeArrayGetDim(a) != 1 || FAILED(SafeArrayAccessData(a, &bytes)))
        return;
    m_array = a;
    data = static_cast<const unsigned char*>(bytes);
    size = a->rgsabound[0].cElements;
}

ValueBytes::~ValueBytes() {
    if (m_array)
        SafeArrayUnaccessData(m_array);
}

bool EmbeddedContentFits(const unsigned char* bytes, size_t size) {
    if (!bytes || size < 264)
        return false;
    uint32_t length = GetU32LE(bytes);
    return length <= size - 264 && memchr(bytes + 4, 0, 260) != nullptr;
}

CPreView::~CPreView() {
    ResetPreview();
}

HWND CPreView::Create(HWND parent, UINT id, IPlayerSite* host) {
    m_host = host;
    RegisterWndClass(kPreViewClass, 0, LoadCursor(nullptr, IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1),
                     GetDBModule());
    RECT rc = {0, 0, 0, 0};
    return CWindowImplBase::Create(kPreViewClass, parent, &rc, "",
                                   WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, (HMENU)(UINT_PTR)id,
                                   GetDBModule());
}

void CPreView::HideTextPane() {
    if (m_textPane && m_textPane->m_hWnd)
        ShowWindow(m_textPane->m_hWnd, SW_HIDE);
}

void CPreView::DropMedia() {
    if (!m_media)
        return;
    m_media->Close();
    m_media->Release();
    m_media = nullptr;
}

int CPreView::ShowContent(const PreviewRequest& request) {
    switch (request.mode) {
        case PreviewRequest::kClear:
            m_textMode = 0;
            HideTextPane();
            DropMedia();
            return 1;
        case PreviewRequest::kText:
            m_textMode = 1;
            if (!m_textPane) {
                m_textPane = new PreviewTextEdit;
                if (!m_textPane->Create(m_hWnd)) {
                    delete m_textPane;
                    m_textPane = nullptr;
                    return 0;
                }
            }
            ShowWindow(m_textPane->m_hWnd, SW_SHOW);
            m_textPane->SetText(request.text);
            DropMedia();
            return 1;
        case PreviewRequest::kMedia:
            HideTextPane();
            if (request.kindMask == 1) {
                DropMedia();
                return 1;
            }
            m_textMode = 0;
            if (ShowMedia(request))
                return 1;
            DropMedia();
            return 0;
    }
    return 1;
}

bool CPreView::ShowMedia(const PreviewRequest& request) {
    if (!m_media) {
        // Only an editing host offers a media preview object.
        IDBEditHost* edit = nullptr;
        if (!m_host || FAILED(m_host->QueryInterface(__uuidof(IDBEditHost), (void**)&edit)) ||
            !edit)
            return false;
        IMediaPreviewObject* media = nullptr;
        HRESULT hr = edit->CreateMediaPreview(&media);
        edit->Release();
        if (FAILED(hr) || !media)
            return false;
        m_media = media;
        if (FAILED(m_media->Attach(m_hWnd, m_host)))
            return false;
    }
    const VARIANT* value = request.value;
    if (request.linkFlag == 1) {
        std::string name;
        if (!value || !CDBCore::SafeArrayToText(value, 1, &name))
            return false;
        return SUCCEEDED(m_media->SetMediaKind(request.kindMask)) &&
               SUCCEEDED(m_media->LoadFromName(name.c_str()));
    }
    ValueBytes bytes(value);
    // The object reads the length it finds: it must lie within the array.
    return EmbeddedContentFits(bytes.data, bytes.size) &&
           SUCCEEDED(m_media->SetMediaKind(request.kindMask)) &&
           SUCCEEDED(m_media->LoadFromData(bytes.data));
}

int CPreView::ResetPreview() {
    DropMedia();
    if (m_textPane) {
        if (m_textPane->m_hWnd && ::IsWindow(m_textPane->m_hWnd))
            ::DestroyWindow(m_textPane->m_hWnd);
        delete m_textPane;
        m_textPane = nullptr;
    }
    m_textMode = 0;
    return 1;
}

int CPreView::SetText(const std::string& text) {
    return m_textPane && m_textPane->SetText(text) ? 1 : 0;
}

LRESULT CPreView::OnSize(UINT, WPARAM, LPARAM lParam, BOOL&) {
    int width = LOWORD(lParam), height = HIWORD(lParam);
    if (m_textPane && m_textPane->m_hWnd && ::IsWindow(m_textPane->m_hWnd))
        MoveWindow(m_textPane->m_hWnd, 0, 0, width, height, TRUE);
    if (m_media)
        m_media->Resize(width, height);
    return 0;
}

LRESULT CPreView::OnCommand(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    if (m_textPane && (HWND)lParam == m_textPane->m_hWnd && HIWORD(wParam) == EN_CHANGE) {
        m_textPane->OnChange();
        return 0;
    }
    handled = FALSE;
    return 0;
}

LRESULT CPreView::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    // Nothing of its own: the text pane or the media object draws.
    PAINTSTRUCT ps;
    BeginPaint(m_hWnd, &ps);
    EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT CPreView::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    // The text pane goes with this window; its handle must not outlive it.
    ResetPreview();
    handled = FALSE;
    return 0;
}
