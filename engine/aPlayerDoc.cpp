#include "aPlayerDoc.h"

#include <string.h>

#include "aPlayerView.h"
#include "bTraceLog.h"

CPlayerDoc::CPlayerDoc() : m_site(this), m_opened(false) {
    m_path[0] = 0;
    TRACE_POINT();
}

CPlayerDoc::~CPlayerDoc() { TRACE_POINT(); }

HRESULT CPlayerDoc::Open(const char* path) {
    TRACE_POINT();
    if (!path) return E_INVALIDARG;
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path, sizeof(full), full, nullptr);
    if (n == 0 || n >= sizeof(full)) lstrcpynA(full, path, sizeof(full));
    lstrcpynA(m_path, full, sizeof(m_path));
    // The package, the project and the entry page come with the storage and
    // project model; until then no work can be shown.
    LOG_HRESULT(E_NOTIMPL, "Cannot open rtFile: %s", m_path);
    return E_NOTIMPL;
}

BOOL CPlayerDoc::StartPresentation() {
    TRACE_POINT();
    if (CPlayerView* view = GetView()) {
        view->AttachWindow();
        InvalidateRect(view->m_hWnd, nullptr, TRUE);
    }
    return TRUE;
}

void CPlayerDoc::StartRun() { TRACE_POINT(); }

void CPlayerDoc::StopRun() { TRACE_POINT(); }
