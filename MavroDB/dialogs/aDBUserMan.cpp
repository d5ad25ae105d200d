#include "aDBUserMan.h"

#include <commctrl.h>
#include <string.h>

#include "aBaseCore.h"
#include "aDBDialogs.h"
#include "aDBManDialogs.h"
#include "aDBModule.h"
#include "aDBResource.h"
#include "bMsgBox.h"

void FillListFromNames(HWND list, char** names, int count) {
    for (int i = 0; i < count; ++i)
        if (names[i])
            SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)names[i]);
    CDBCore::FreeNameArray(names, count);
}

std::string ListSelection(HWND list) {
    int at = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    int n = at >= 0 ? (int)SendMessageA(list, LB_GETTEXTLEN, at, 0) : -1;
    if (n <= 0)
        return std::string();
    std::string text(n + 1, '\0');
    n = (int)SendMessageA(list, LB_GETTEXT, at, (LPARAM)&text[0]);
    text.resize(n > 0 ? n : 0);
    return text;
}

int FindListEntry(HWND list, const std::string& text) {
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        int n = (int)SendMessageA(list, LB_GETTEXTLEN, i, 0);
        std::string entry(n > 0 ? n + 1 : 1, '\0');
        n = (int)SendMessageA(list, LB_GETTEXT, i, (LPARAM)&entry[0]);
        entry.resize(n > 0 ? n : 0);
        if (entry == text)
            return i;
    }
    return -1;
}

// ---- users page

CUserPage::CUserPage() : CPropertyPageImpl(GetDBModule(), IDD_DB_USER_PAGE) {}

BOOL CUserPage::OnInitDialog() {
    HWND users = GetDlgItem(m_hWnd, IDC_DB_UM_USERS);
    char** names = nullptr;
    int count = 0;
    if (m_core)
        m_core->GetUserNames(&names, &count);
    FillListFromNames(users, names, count);
    if (SendMessageA(users, LB_GETCOUNT, 0, 0) > 0)
        SendMessageA(users, LB_SETCURSEL, 0, 0);
    names = nullptr, count = 0;
    if (m_core)
        m_core->GetGroupNames(&names, &count);
    FillListFromNames(GetDlgItem(m_hWnd, IDC_DB_UM_GROUPS), names, count);
    // Only an administrator sets another user's password.
    bool admin = m_core && m_core->IsAdminLogin();
    EnableItem(IDC_DB_UM_PASSWORD, admin);
    return TRUE;
}

void CUserPage::FillMemberOf() {
    HWND memberOf = GetDlgItem(m_hWnd, IDC_DB_UM_MEMBER_OF);
    SendMessageA(memberOf, LB_RESETCONTENT, 0, 0);
    std::string user = ListSelection(GetDlgItem(m_hWnd, IDC_DB_UM_USERS));
    if (user.empty() || !m_core)
        return;
    char** names = nullptr;
    int count = 0;
    m_core->GetUserGroups(user.c_str(), &names, &count);
    FillListFromNames(memberOf, names, count);
}

void CUserPage::OnCommand(int id, int code) {
    HWND users = GetDlgItem(m_hWnd, IDC_DB_UM_USERS);
    HWND memberOf = GetDlgItem(m_hWnd, IDC_DB_UM_MEMBER_OF);
    std::string user = ListSelection(users);
    bool hasUser = SendMessageA(users, LB_GETCURSEL, 0, 0) >= 0;
    switch (id) {
        case IDC_DB_UM_USERS:
            if (code == LBN_SELCHANGE)
                FillMemberOf();
            return;
        case IDC_DB_UM_NEW: {
            CUserInfoDlg dlg;
            dlg.m_mode = 3;
            if (dlg.DoModal(m_hWnd) == IDOK && m_core &&
                m_core->CreateUserInGroup(dlg.m_name.c_str(), dlg.m_second.c_str()))
                SendMessageA(users, LB_ADDSTRING, 0, (LPARAM)dlg.m_name.c_str());
            return;
        }
        case IDC_DB_UM_DELETE:
            if (!user.empty() && m_core && m_core->DeleteUser(user.c_str()))
                SendMessageA(users, LB_DELETESTRING, SendMessageA(users, LB_GETCURSEL, 0, 0), 0);
            return;
        case IDC_DB_UM_PASSWORD: {
            if (!hasUser) {
                DBMessageBox(IDS_DB_SELECT_USER, MB_OK);
                return;
            }
            TextPromptDialog dlg;
            dlg.m_mode = 2;
            if (dlg.DoModal(m_hWnd) == IDOK && m_core)
                m_core->ChangeUserPassword(user.c_str(), "", dlg.m_text.c_str());
            return;
        }
        case IDC_DB_UM_ADD: {
            if (!hasUser) {
                DBMessageBox(IDS_DB_SELECT_USER, MB_OK);
                return;
            }
            std::string group = ListSelection(GetDlgItem(m_hWnd, IDC_DB_UM_GROUPS));
            if (SendDlgItemMessageA(m_hWnd, IDC_DB_UM_GROUPS, LB_GETCURSEL, 0, 0) < 0) {
                DBMessageBox(IDS_DB_SELECT_GROUP, MB_OK);
                return;
            }
            if (FindListEntry(memberOf, group) >= 0) {
                DBMessageBox(IDS_DB_ALREADY_MEMBER, MB_OK);
                return;
            }
            if (m_core && m_core->AddUserToGroup(user.c_str(), group.c_str()))
                SendMessageA(memberOf, LB_ADDSTRING, 0, (LPARAM)group.c_str());
            return;
        }
        case IDC_DB_UM_REMOVE: {
            if (!hasUser) {
                DBMessageBox(IDS_DB_SELECT_USER, MB_OK);
                return;
            }
            int at = (int)SendMessageA(memberOf, LB_GETCURSEL, 0, 0);
            if (at < 0) {
                DBMessageBox(IDS_DB_SELECT_GROUP, MB_OK);
                return;
            }
            std::string group = ListSelection(memberOf);
            if (m_core && m_core->RemoveUserFromGroup(user.c_str(), group.c_str()))
                SendMessageA(memberOf, LB_DELETESTRING, at, 0);
            return;
        }
    }
}

bool CUserPage::OnSetActive() {
    HWND groups = GetDlgItem(m_hWnd, IDC_DB_UM_GROUPS);
    SendMessageA(groups, LB_RESETCONTENT, 0, 0);
    char** names = nullptr;
    int count = 0;
    if (m_core)
        m_core->GetGroupNames(&names, &count);
    FillListFromNames(groups, names, count);
    SendDlgItemMessageA(m_hWnd, IDC_DB_UM_MEMBER_OF, LB_RESETCONTENT, 0, 0);
    if (SendDlgItemMessageA(m_hWnd, IDC_DB_UM_USERS, LB_GETCURSEL, 0, 0) >= 0) {
        FillMemberOf();
        SendMessageA(GetSheet(), DBM_DISABLE_APPLY, 0, 0);
    }
    return true;
}

// ---- groups page

CGrpPage::CGrpPage() : CPropertyPageImpl(GetDBModule(), IDD_DB_GROUP_PAGE) {}

BOOL CGrpPage::OnInitDialog() {
    char** names = nullptr;
    int count = 0;
    if (m_core)
        m_core->GetGroupNames(&names, &count);
    FillListFromNames(GetDlgItem(m_hWnd, IDC_DB_GP_GROUPS), names, count);
    return TRUE;
}

void CGrpPage::OnCommand(int id, int) {
    HWND groups = GetDlgItem(m_hWnd, IDC_DB_GP_GROUPS);
    if (id == IDC_DB_GP_CREATE) {
        CUserInfoDlg dlg;
        dlg.m_mode = 2;
        if (dlg.DoModal(m_hWnd) == IDOK && m_core &&
            m_core->CreateGroup(dlg.m_name.c_str(), dlg.m_second.c_str()))
            SendMessageA(groups, LB_ADDSTRING, 0, (LPARAM)dlg.m_name.c_str());
    } else if (id == IDC_DB_GP_DELETE) {
        std::string group = ListSelection(groups);
        if (!group.empty() && m_core && m_core->DeleteGroup(group.c_str()))
            SendMessageA(groups, LB_DELETESTRING, SendMessageA(groups, LB_GETCURSEL, 0, 0), 0);
    }
}

bool CGrpPage::OnSetActive() {
    SendMessageA(GetSheet(), DBM_DISABLE_APPLY, 0, 0);
    return true;
}

// ---- password page

CPasswordPage::CPasswordPage() : CPropertyPageImpl(GetDBModule(), IDD_DB_PASSWORD_PAGE) {}

BOOL CPasswordPage::OnInitDialog() {
    std::string user;
    if (m_core)
        m_core->GetCurrentUserName(&user);
    SetItemText(IDC_DB_PW_USER, user);
    return TRUE;
}

void CPasswordPage::Exchange() {
    m_oldPassword = GetItemText(IDC_DB_PW_OLD);
    m_newPassword = GetItemText(IDC_DB_PW_NEW);
    m_confirm = GetItemText(IDC_DB_PW_CONFIRM);
    SendMessageA(GetSheet(), m_newPassword == m_confirm ? DBM_ENABLE_APPLY : DBM_DISABLE_APPLY, 0,
                 0);
}

void CPasswordPage::OnCommand(int id, int code) {
    if (code == EN_CHANGE &&
        (id == IDC_DB_PW_OLD || id == IDC_DB_PW_NEW || id == IDC_DB_PW_CONFIRM))
        Exchange();
}

bool CPasswordPage::OnSetActive() {
    Exchange();
    return true;
}

// ---- sheet

CUserManSheet::CUserManSheet(CDBCore* core) : m_core(core) {
    m_userPage.m_core = core;
    m_groupPage.m_core = core;
    m_passwordPage.m_core = core;
}

// The sheet being made, for its callback (one sheet at a time).
static CUserManSheet* g_creating = nullptr;

int CALLBACK CUserManSheet::SheetCallback(HWND hwnd, UINT msg, LPARAM) {
    if (msg == PSCB_INITIALIZED && g_creating)
        g_creating->OnInitialized(hwnd);
    return 0;
}

void CUserManSheet::OnInitialized(HWND sheet) {
    m_hWnd = sheet;
    SetWindowSubclass(sheet, SubclassProc, 1, (DWORD_PTR)this);
    SetWindowTextA(sheet, DBLoadString(IDS_DB_USERMAN_CAPTION).c_str());
    EnableWindow(GetDlgItem(sheet, IDOK), FALSE);
}

void CUserManSheet::Apply() {
    std::string user;
    if (m_core) {
        m_core->GetCurrentUserName(&user);
        m_core->ChangeUserPassword(user.c_str(), m_passwordPage.m_oldPassword.c_str(),
                                   m_passwordPage.m_newPassword.c_str());
    }
    EnableWindow(GetDlgItem(m_hWnd, IDOK), FALSE);
    EnableWindow(GetDlgItem(m_hWnd, IDC_DB_APPLY), FALSE);
}

LRESULT CALLBACK CUserManSheet::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR, DWORD_PTR data) {
    CUserManSheet* self = (CUserManSheet*)data;
    switch (msg) {
        case DBM_ENABLE_APPLY:
        case DBM_DISABLE_APPLY:
            EnableWindow(GetDlgItem(hwnd, IDOK), msg == DBM_ENABLE_APPLY);
            EnableWindow(GetDlgItem(hwnd, IDC_DB_APPLY), msg == DBM_ENABLE_APPLY);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_DB_APPLY) {
                self->Apply();
                return 0;
            }
            if (LOWORD(wParam) == IDOK) {
                self->Apply();
                PostMessageA(hwnd, WM_CLOSE, 0, 0);
                return 0;
            }
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, SubclassProc, 1);
            self->m_hWnd = nullptr;
            break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

INT_PTR CUserManSheet::DoModal(HWND owner) {
    PROPSHEETPAGEA pages[3];
    m_userPage.Fill(&pages[0]);
    m_groupPage.Fill(&pages[1]);
    m_passwordPage.Fill(&pages[2]);
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    header.hwndParent = owner;
    header.hInstance = GetDBModule();
    header.pszCaption = MAKEINTRESOURCEA(IDS_DB_USERMAN_SHEET);
    header.nPages = 3;
    header.ppsp = pages;
    header.pfnCallback = SheetCallback;
    g_creating = this;
    INT_PTR result = SysPropertySheet(&header);
    g_creating = nullptr;
    return result;
}
