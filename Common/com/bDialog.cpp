#include "bDialog.h"

#include "bMsgBox.h"

INT_PTR CDialogImplBase::DoModal(HWND parent) {
    return SysDialogBox(m_module, m_templateId, parent, DialogProc, (LPARAM)this);
}

void CDialogImplBase::EndDialog(INT_PTR result) {
    EndSysDialog(m_hWnd, result);
}

std::string CDialogItems::GetItemText(int id) const {
    HWND item = GetDlgItem(m_hWnd, id);
    int n = item ? GetWindowTextLengthA(item) : 0;
    std::string text(n + 1, '\0');
    if (n > 0)
        n = GetWindowTextA(item, &text[0], n + 1);
    text.resize(n > 0 ? n : 0);
    return text;
}

void CDialogItems::SetItemText(int id, const std::string& text) {
    SetDlgItemTextA(m_hWnd, id, text.c_str());
}

void CDialogItems::EnableItem(int id, bool enable) {
    if (HWND item = GetDlgItem(m_hWnd, id))
        EnableWindow(item, enable);
}

INT_PTR CALLBACK CDialogImplBase::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialogImplBase* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogImplBase*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, (LONG_PTR)self);
        self->m_hWnd = hwnd;
        return self->OnInitDialog();
    }
    self = reinterpret_cast<CDialogImplBase*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self)
        return FALSE;
    switch (msg) {
        case WM_COMMAND: {
            int id = LOWORD(wParam);
            if (id == IDOK) {
                if (self->OnOK())
                    self->EndDialog(IDOK);
                return TRUE;
            }
            if (id == IDCANCEL) {
                if (self->OnCancel())
                    self->EndDialog(IDCANCEL);
                return TRUE;
            }
            self->OnCommand(id, HIWORD(wParam));
            return TRUE;
        }
        case WM_NCDESTROY:
            self->m_hWnd = nullptr;
            return FALSE;
    }
    INT_PTR result = 0;
    if (!self->OnMessage(msg, wParam, lParam, &result))
        return FALSE;
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

void CPropertyPageImpl::Fill(PROPSHEETPAGEA* page) {
    ZeroMemory(page, sizeof(*page));
    page->dwSize = sizeof(*page);
    page->dwFlags = PSP_USECALLBACK;
    page->hInstance = m_module;
    page->pszTemplate = MAKEINTRESOURCEA(m_templateId);
    page->pfnDlgProc = PageProc;
    page->pfnCallback = PageCallback;
    page->lParam = (LPARAM)this;
}

UINT CALLBACK CPropertyPageImpl::PageCallback(HWND, UINT msg, PROPSHEETPAGEA* page) {
    if (msg == PSPCB_RELEASE && page)
        reinterpret_cast<CPropertyPageImpl*>(page->lParam)->OnRelease();
    return 1;
}

INT_PTR CALLBACK CPropertyPageImpl::PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CPropertyPageImpl* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CPropertyPageImpl*>(((PROPSHEETPAGEA*)lParam)->lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, (LONG_PTR)self);
        self->m_hWnd = hwnd;
        return self->OnInitDialog();
    }
    self = reinterpret_cast<CPropertyPageImpl*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self)
        return FALSE;
    INT_PTR result = 0;
    switch (msg) {
        case WM_COMMAND:
            self->OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY: {
            NMHDR* header = (NMHDR*)lParam;
            LRESULT answer = header->code == PSN_SETACTIVE ? (self->OnSetActive() ? 0 : -1)
                                                           : self->OnNotify(header);
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, answer);
            return TRUE;
        }
        case WM_NCDESTROY:
            self->m_hWnd = nullptr;
            return FALSE;
    }
    return self->OnMessage(msg, wParam, lParam, &result) ? result : FALSE;
}
