#include "aDBDialogs.h"

#include "aDBModule.h"
#include "aDBResource.h"

CDBPasswordPromptDlg::CDBPasswordPromptDlg()
    : CDialogImplBase(GetDBModule(), IDD_DB_PASSWORD_PROMPT) {}

bool CDBPasswordPromptDlg::OnOK() {
    m_password = GetItemText(IDC_DB_NEW_PASSWORD);
    return true;
}

CUserInfoDlg::CUserInfoDlg() : CDialogImplBase(GetDBModule(), IDD_DB_USERINFO) {}

BOOL CUserInfoDlg::OnInitDialog() {
    static const struct {
        UINT label1, label2, caption;
        WPARAM passwordChar;
    } modes[] = {{IDS_DB_LOGIN_NAME, IDS_DB_LOGIN_PASSWORD, IDS_DB_LOGIN_CAPTION, '*'},
                 {IDS_DB_GROUP_NAME, IDS_DB_GROUP_ID, IDS_DB_GROUP_CAPTION, 0},
                 {IDS_DB_USER_NAME, IDS_DB_USER_ID, IDS_DB_USER_CAPTION, 0}};
    if (m_mode >= 1 && m_mode <= 3) {
        const auto& m = modes[m_mode - 1];
        SetItemText(IDC_DB_USER_LABEL1, DBLoadString(m.label1));
        SetItemText(IDC_DB_USER_LABEL2, DBLoadString(m.label2));
        SetWindowTextA(m_hWnd, DBLoadString(m.caption).c_str());
        SendDlgItemMessageA(m_hWnd, IDC_DB_USER_SECOND, EM_SETPASSWORDCHAR, m.passwordChar, 0);
    }
    return TRUE;
}

void CUserInfoDlg::OnCommand(int id, int code) {
    if (id == IDC_DB_USER_NAME && code == EN_CHANGE)
        EnableItem(IDOK, !GetItemText(IDC_DB_USER_NAME).empty());
}

bool CUserInfoDlg::OnOK() {
    m_name = GetItemText(IDC_DB_USER_NAME);
    m_second = GetItemText(IDC_DB_USER_SECOND);
    return true;
}

CDBPasswordChangeDlg::CDBPasswordChangeDlg()
    : CDialogImplBase(GetDBModule(), IDD_DB_PASSWORD_CHANGE) {}

void CDBPasswordChangeDlg::Exchange() {
    m_oldPassword = GetItemText(IDC_DB_OLD_PASSWORD);
    m_newPassword = GetItemText(IDC_DB_NEW_PASSWORD);
    m_confirm = GetItemText(IDC_DB_CONFIRM_PASSWORD);
}

BOOL CDBPasswordChangeDlg::OnInitDialog() {
    EnableItem(IDOK, false);
    return TRUE;
}

void CDBPasswordChangeDlg::OnCommand(int id, int code) {
    if (code != EN_CHANGE ||
        (id != IDC_DB_OLD_PASSWORD && id != IDC_DB_NEW_PASSWORD && id != IDC_DB_CONFIRM_PASSWORD))
        return;
    Exchange();
    EnableItem(IDOK, m_newPassword == m_confirm);
}

bool CDBPasswordChangeDlg::OnOK() {
    if (GetItemText(IDC_DB_CONFIRM_PASSWORD) != GetItemText(IDC_DB_NEW_PASSWORD)) {
        DBMessageBox(IDS_DB_CONFIRM_FAILED, MB_OK);
        return false;
    }
    Exchange();
    return true;
}
