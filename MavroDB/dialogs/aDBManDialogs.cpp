#include "aDBManDialogs.h"

#include <commdlg.h>

#include "aBaseCore.h"
#include "aDBModule.h"
#include "aDBResource.h"
#include "aDBUserMan.h"
#include "bMsgBox.h"

// ---- source file dialog

CSelFileDlg::CSelFileDlg(int commandId, BOOL, HWND parent)
    : m_commandId(commandId), m_parent(parent) {
    UINT filter = 0, title = 0;
    int id = commandId;
    if (id >= ID_DB_LINK_FOXPRO30 && id <= ID_DB_LINK_FOXPRO20)
        filter = IDS_DB_FILTER_FOXPRO, title = IDS_DB_LINK_TITLE;
    else if (id >= ID_DB_LINK_DBASE5 && id <= ID_DB_LINK_DBASE3)
        filter = IDS_DB_FILTER_DBASE, title = IDS_DB_LINK_TITLE;
    else if (id == ID_DB_LINK_ACCESS)
        filter = IDS_DB_FILTER_ACCESS, title = IDS_DB_LINK_TITLE;
    else if (id >= ID_DB_LINK_EXCEL50 && id <= ID_DB_LINK_EXCEL80)
        filter = IDS_DB_FILTER_EXCEL, title = IDS_DB_LINK_TITLE;
    else if (id == ID_DB_IMPORT_ACCESS)
        filter = IDS_DB_FILTER_ACCESS, title = IDS_DB_SOURCE_TITLE;
    else if ((id >= ID_DB_IMPORT_FOXPRO26 && id <= ID_DB_IMPORT_FOXPRO20) ||
             id == ID_DB_IMPORT_FOXPRO30)
        filter = IDS_DB_FILTER_FOXPRO, title = IDS_DB_SOURCE_TITLE;
    else if (id >= ID_DB_IMPORT_DBASE5 && id <= ID_DB_IMPORT_DBASE3)
        filter = IDS_DB_FILTER_DBASE, title = IDS_DB_SOURCE_TITLE;
    else if (id >= ID_DB_IMPORT_EXCEL80 && id <= ID_DB_IMPORT_EXCEL40)
        filter = IDS_DB_FILTER_EXCEL, title = IDS_DB_SOURCE_TITLE;
    else if (id == ID_DB_IMPORT_MAVRO)
        filter = IDS_DB_FILTER_MVB, title = IDS_DB_SOURCE_TITLE;
    if (filter)
        m_filter = DBLoadString(filter);
    if (title)
        m_title = DBLoadString(title);
    // The system's form: every "|" a NUL, the list closed by two.
    for (char& c : m_filter)
        if (c == '|')
            c = '\0';
    m_filter.append(2, '\0');
}

INT_PTR CSelFileDlg::DoModal() {
    char file[MAX_PATH * 2] = {};
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = m_parent;
    ofn.lpstrFilter = m_filter.size() > 2 ? m_filter.c_str() : nullptr;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof(file);
    ofn.lpstrTitle = m_title.empty() ? nullptr : m_title.c_str();
    ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER;
    if (!SysGetOpenFileName(&ofn))
        return IDCANCEL;
    m_path = file;
    m_fileOffset = ofn.nFileOffset;
    return IDOK;
}

std::string CSelFileDlg::GetFileName() const {
    return m_fileOffset < m_path.size() ? m_path.substr(m_fileOffset) : std::string();
}

// ---- table chooser

SelectTableDialog::SelectTableDialog() : CDialogImplBase(GetDBModule(), IDD_DB_SELECT_TABLE) {}

BOOL SelectTableDialog::OnInitDialog() {
    HWND list = GetDlgItem(m_hWnd, IDC_DB_TABLE_LIST);
    for (const std::string& name : m_names)
        SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)name.c_str());
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    return TRUE;
}

bool SelectTableDialog::OnOK() {
    m_chosen = ListSelection(GetDlgItem(m_hWnd, IDC_DB_TABLE_LIST));
    return true;
}

void SelectTableDialog::OnCommand(int id, int code) {
    if (id == IDC_DB_TABLE_LIST && code == LBN_DBLCLK)
        SendMessageA(m_hWnd, WM_COMMAND, IDOK, 0);
}

// ---- text prompt and connect string

TextPromptDialog::TextPromptDialog() : CDialogImplBase(GetDBModule(), IDD_DB_TEXT_PROMPT) {}

BOOL TextPromptDialog::OnInitDialog() {
    if (m_mode == 1) {
        SetItemText(IDC_DB_PROMPT_LABEL, DBLoadString(IDS_DB_TABLE_NAME));
    } else if (m_mode == 2) {
        SetItemText(IDC_DB_PROMPT_LABEL, DBLoadString(IDS_DB_PASSWORD_LABEL));
        SetWindowTextA(m_hWnd, DBLoadString(IDS_DB_PASSWORD_CAPTION).c_str());
        HWND edit = GetDlgItem(m_hWnd, IDC_DB_PROMPT_TEXT);
        SetWindowLongPtrA(edit, GWL_STYLE,
                          GetWindowLongPtrA(edit, GWL_STYLE) | ES_PASSWORD | ES_AUTOHSCROLL);
        SendMessageA(edit, EM_SETPASSWORDCHAR, '*', 0);
    }
    SetItemText(IDC_DB_PROMPT_TEXT, m_text);
    return TRUE;
}

bool TextPromptDialog::OnOK() {
    m_text = GetItemText(IDC_DB_PROMPT_TEXT);
    return true;
}

ConnectStringDialog::ConnectStringDialog() : CDialogImplBase(GetDBModule(), IDD_DB_CONNECT) {}

BOOL ConnectStringDialog::OnInitDialog() {
    SetItemText(IDC_DB_CONNECT_TEXT, m_connect);
    return TRUE;
}

bool ConnectStringDialog::OnOK() {
    m_connect = GetItemText(IDC_DB_CONNECT_TEXT);
    return true;
}

// ---- permissions

PermissionsDialog::PermissionsDialog(CDBCore* core)
    : CDialogImplBase(GetDBModule(), IDD_DB_PERMISSIONS), m_core(core) {}

// Replaces a list's entries with a name array of the core and selects the
// first; the array is freed whatever happens.
static void FillList(HWND list, CDBCore* core, int (CDBCore::*names)(char***, int*)) {
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    char** array = nullptr;
    int count = 0;
    if (core)
        (core->*names)(&array, &count);
    for (int i = 0; i < count; ++i)
        if (array[i])
            SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)array[i]);
    CDBCore::FreeNameArray(array, count);
    SendMessageA(list, LB_SETCURSEL, 0, 0);
}

void PermissionsDialog::FillAccounts() {
    FillList(GetDlgItem(m_hWnd, IDC_DB_PM_ACCOUNTS), m_core,
             m_listUsers ? &CDBCore::GetUserNames : &CDBCore::GetGroupNames);
}

void PermissionsDialog::FillObjects() {
    FillList(GetDlgItem(m_hWnd, IDC_DB_PM_OBJECTS), m_core,
             m_listTables ? &CDBCore::GetTableNames : &CDBCore::GetQueryNames);
}

std::string PermissionsDialog::Selected(int id) const {
    return ListSelection(GetDlgItem(m_hWnd, id));
}

void PermissionsDialog::ShowMask(long mask) {
    bool read = (mask & kRead) != 0, add = (mask & kAdd) != 0, modify = (mask & kModify) != 0,
         del = (mask & kDelete) != 0;
    CheckDlgButton(m_hWnd, IDC_DB_PM_READ, read ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hWnd, IDC_DB_PM_ADD, add ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hWnd, IDC_DB_PM_MODIFY, modify ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hWnd, IDC_DB_PM_DELETE, del ? BST_CHECKED : BST_UNCHECKED);
    EnableItem(IDC_DB_PM_READ, !(read && (add || modify || del)));
}

void PermissionsDialog::ShowRights() {
    if (SendDlgItemMessageA(m_hWnd, IDC_DB_PM_ACCOUNTS, LB_GETCURSEL, 0, 0) < 0 ||
        SendDlgItemMessageA(m_hWnd, IDC_DB_PM_OBJECTS, LB_GETCURSEL, 0, 0) < 0)
        return;
    long mask = 0;
    if (m_core && m_core->GetPermissions(Selected(IDC_DB_PM_ACCOUNTS).c_str(),
                                         Selected(IDC_DB_PM_OBJECTS).c_str(), &mask))
        ShowMask(mask);
}

BOOL PermissionsDialog::OnInitDialog() {
    FillAccounts();
    FillObjects();
    CheckRadioButton(m_hWnd, IDC_DB_PM_USERS, IDC_DB_PM_GROUPS, IDC_DB_PM_USERS);
    CheckRadioButton(m_hWnd, IDC_DB_PM_TABLES, IDC_DB_PM_QUERIES, IDC_DB_PM_TABLES);
    ShowRights();
    return TRUE;
}

void PermissionsDialog::OnRightClicked() {
    bool any = IsDlgButtonChecked(m_hWnd, IDC_DB_PM_ADD) == BST_CHECKED ||
               IsDlgButtonChecked(m_hWnd, IDC_DB_PM_DELETE) == BST_CHECKED ||
               IsDlgButtonChecked(m_hWnd, IDC_DB_PM_MODIFY) == BST_CHECKED;
    if (any)
        CheckDlgButton(m_hWnd, IDC_DB_PM_READ, BST_CHECKED);
    EnableItem(IDC_DB_PM_READ, !any);
}

void PermissionsDialog::Apply() {
    long mask = 0;
    if (IsDlgButtonChecked(m_hWnd, IDC_DB_PM_READ) == BST_CHECKED)
        mask += kRead;
    if (IsDlgButtonChecked(m_hWnd, IDC_DB_PM_ADD) == BST_CHECKED)
        mask += kAdd;
    if (IsDlgButtonChecked(m_hWnd, IDC_DB_PM_MODIFY) == BST_CHECKED)
        mask += kModify;
    if (IsDlgButtonChecked(m_hWnd, IDC_DB_PM_DELETE) == BST_CHECKED)
        mask += kDelete;
    if (m_core)
        m_core->SetPermissions(Selected(IDC_DB_PM_ACCOUNTS).c_str(),
                               Selected(IDC_DB_PM_OBJECTS).c_str(), mask);
}

bool PermissionsDialog::OnOK() {
    Apply();
    return true;
}

void PermissionsDialog::OnCommand(int id, int code) {
    switch (id) {
        case IDC_DB_PM_USERS:
        case IDC_DB_PM_GROUPS:
            if (code == BN_CLICKED) {
                m_listUsers = id == IDC_DB_PM_USERS;
                CheckRadioButton(m_hWnd, IDC_DB_PM_USERS, IDC_DB_PM_GROUPS, id);
                FillAccounts();
                ShowRights();
            }
            break;
        case IDC_DB_PM_TABLES:
        case IDC_DB_PM_QUERIES:
            if (code == BN_CLICKED) {
                m_listTables = id == IDC_DB_PM_TABLES;
                CheckRadioButton(m_hWnd, IDC_DB_PM_TABLES, IDC_DB_PM_QUERIES, id);
                FillObjects();
                ShowRights();
            }
            break;
        case IDC_DB_PM_ACCOUNTS:
        case IDC_DB_PM_OBJECTS:
            if (code == LBN_SELCHANGE)
                ShowRights();
            break;
        case IDC_DB_PM_ADD:
        case IDC_DB_PM_DELETE:
        case IDC_DB_PM_MODIFY:
            if (code == BN_CLICKED)
                OnRightClicked();
            break;
        case IDC_DB_APPLY:
            if (code == BN_CLICKED)
                Apply();
            break;
    }
}
