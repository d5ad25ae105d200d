#include "aDBIndexEditor.h"

#include "aBaseCore.h"
#include "aDBGrid.h"
#include "aDBModule.h"
#include "aDBResource.h"

bool IsIndexableFieldType(int type) {
    return (type >= 1 && type <= 8) || type == 10 || type == 16 || (type >= 18 && type <= 21);
}

std::vector<std::string> IndexableFields(CDBCore* core, const std::string& table) {
    std::vector<std::string> fields;
    char** names = nullptr;
    int count = 0;
    if (!core || !core->GetQueryFieldInfo(table.c_str(), 0, &names, &count))
        return fields;
    for (int i = 0; i < count; ++i) {
        DataSourceDescriptor d = {};
        lstrcpynA(d.sourceName, table.c_str(), sizeof(d.sourceName));
        lstrcpynA(d.fieldName, names[i], sizeof(d.fieldName));
        int type = 0;
        if (core->GetFieldType(&d, &type) && IsIndexableFieldType(type))
            fields.push_back(names[i]);
    }
    CDBCore::FreeNameArray(names, count);
    return fields;
}

IndexEditorDialog::IndexEditorDialog() : CDialogImplBase(GetDBModule(), IDD_DB_INDEX_EDITOR) {
    CDBGrid::Register();
}

BOOL IndexEditorDialog::OnInitDialog() {
    HWND g = Grid();
    if (!g || !m_core) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    m_fields = IndexableFields(m_core, m_table);
    SendDlgItemMessageA(m_hWnd, IDC_DB_IX_NAME, EM_LIMITTEXT, 64, 0);
    SendMessageA(g, GM_SETREDRAW, 0, 0);
    dbgrid::TakeDialogLook(g, m_hWnd);
    SendMessageA(g, GM_SETMAXCOLS, 2, 0);
    SendMessageA(g, GM_SETMAXROWS, m_fields.size(), 0);
    SendMessageA(g, GM_SETCOLWIDTH, 0, 0);
    SendMessageA(g, GM_SETCOLWIDTH, 1, 14);
    dbgrid::SetText(g, 1, 0, DBLoadString(IDS_DB_FIELD_NAME));
    dbgrid::SetText(g, 2, 0, DBLoadString(IDS_DB_IX_SORT));
    dbgrid::SetType(g, 2, -1, dbgrid::Kind(GCT_LIST, DBLoadString(IDS_DB_IX_ORDERS)));
    for (size_t i = 0; i < m_fields.size(); ++i) {
        int row = (int)i + 1;
        dbgrid::SetType(g, 1, row, dbgrid::Kind(GCT_CHECK, m_fields[i]));
        dbgrid::SetText(g, 1, row, "0");
        dbgrid::SetText(g, 2, row, DBAnsi("递增"));
    }
    SendMessageA(g, GM_SETREDRAW, 1, 0);
    char** names = nullptr;
    int count = 0;
    if (m_core->GetIndexNames(m_table.c_str(), &names, &count)) {
        for (int i = 0; i < count; ++i)
            SendDlgItemMessageA(m_hWnd, IDC_DB_IX_LIST, LB_ADDSTRING, 0, (LPARAM)names[i]);
        CDBCore::FreeNameArray(names, count);
    }
    if (SendDlgItemMessageA(m_hWnd, IDC_DB_IX_LIST, LB_GETCOUNT, 0, 0) > 0) {
        SendDlgItemMessageA(m_hWnd, IDC_DB_IX_LIST, LB_SETCURSEL, 0, 0);
        ShowIndex();
    }
    return TRUE;
}

std::string IndexEditorDialog::SelectedIndex() const {
    HWND list = GetDlgItem(m_hWnd, IDC_DB_IX_LIST);
    LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (sel == LB_ERR)
        return std::string();
    LRESULT n = SendMessageA(list, LB_GETTEXTLEN, sel, 0);
    std::string name((size_t)(n > 0 ? n : 0) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, sel, (LPARAM)&name[0]);
    name.resize(strlen(name.c_str()));
    return name;
}

void IndexEditorDialog::LockAttributes(bool primary) {
    if (primary) {
        CheckDlgButton(m_hWnd, IDC_DB_IX_UNIQUE, BST_CHECKED);
        CheckDlgButton(m_hWnd, IDC_DB_IX_REQUIRED, BST_UNCHECKED);
    }
    EnableItem(IDC_DB_IX_UNIQUE, !primary);
    EnableItem(IDC_DB_IX_REQUIRED, !primary);
}

void IndexEditorDialog::ShowIndex() {
    std::string index = SelectedIndex();
    char** names = nullptr;
    int count = 0;
    if (index.empty() ||
        !m_core->GetIndexFieldNames(m_table.c_str(), index.c_str(), &names, &count))
        return;
    if (count <= 0)
        return;
    HWND g = Grid();
    for (size_t i = 0; i < m_fields.size(); ++i) {
        int row = (int)i + 1;
        bool in = false;
        for (int k = 0; k < count && !in; ++k) in = m_fields[i] == names[k];
        int descending = 0;
        if (in)
            m_core->IsIndexFieldDescending(m_table.c_str(), index.c_str(), m_fields[i].c_str(),
                                           &descending);
        dbgrid::SetText(g, 1, row, in ? "1" : "0");
        dbgrid::SetText(g, 2, row, in ? DBAnsi(descending ? "递减" : "递增") : std::string());
    }
    CDBCore::FreeNameArray(names, count);
    int primary = 0, unique = 0, ignoreNulls = 0;
    m_core->IsIndexPrimary(m_table.c_str(), index.c_str(), &primary);
    CheckDlgButton(m_hWnd, IDC_DB_IX_PRIMARY, primary ? BST_CHECKED : BST_UNCHECKED);
    if (!primary) {
        m_core->IsIndexUnique(m_table.c_str(), index.c_str(), &unique);
        m_core->IsIndexIgnoreNulls(m_table.c_str(), index.c_str(), &ignoreNulls);
        CheckDlgButton(m_hWnd, IDC_DB_IX_UNIQUE, unique ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(m_hWnd, IDC_DB_IX_REQUIRED, ignoreNulls ? BST_CHECKED : BST_UNCHECKED);
    }
    LockAttributes(primary != 0);
}

void IndexEditorDialog::AddIndex() {
    std::string name = GetItemText(IDC_DB_IX_NAME);
    if (name.empty()) {
        DBMessageBox(IDS_DB_IX_NO_NAME);
        return;
    }
    if (SendDlgItemMessageA(m_hWnd, IDC_DB_IX_LIST, LB_FINDSTRINGEXACT, (WPARAM)-1,
                            (LPARAM)name.c_str()) != LB_ERR) {
        // The list box compares without case; the names must be the same.
        HWND list = GetDlgItem(m_hWnd, IDC_DB_IX_LIST);
        for (LRESULT i = 0, n = SendMessageA(list, LB_GETCOUNT, 0, 0); i < n; ++i) {
            char text[128] = {};
            if (SendMessageA(list, LB_GETTEXTLEN, i, 0) < (LRESULT)sizeof(text))
                SendMessageA(list, LB_GETTEXT, i, (LPARAM)text);
            if (name == text) {
                DBMessageBox(IDS_DB_IX_NAME_TAKEN);
                return;
            }
        }
    }
    HWND g = Grid();
    std::vector<IndexFieldSpec> items;
    for (size_t i = 0; i < m_fields.size(); ++i) {
        int row = (int)i + 1;
        if (dbgrid::Text(g, 1, row) != "1")
            continue;
        IndexFieldSpec item;
        item.name = m_fields[i];
        item.descending = dbgrid::Text(g, 2, row) == DBAnsi("递减") ? 1 : 0;
        items.push_back(item);
    }
    if (items.empty())
        return;
    std::vector<IndexFieldSpec*> list;
    for (IndexFieldSpec& item : items) list.push_back(&item);
    int flags = 0;
    if (IsDlgButtonChecked(m_hWnd, IDC_DB_IX_PRIMARY))
        flags = 1;
    else
        flags = (IsDlgButtonChecked(m_hWnd, IDC_DB_IX_UNIQUE) ? 2 : 0) +
                (IsDlgButtonChecked(m_hWnd, IDC_DB_IX_REQUIRED) ? 4 : 0);
    if (m_core->CreateIndex(m_table.c_str(), name.c_str(), flags, list))
        SendDlgItemMessageA(m_hWnd, IDC_DB_IX_LIST, LB_ADDSTRING, 0, (LPARAM)name.c_str());
}

void IndexEditorDialog::DeleteIndex() {
    LRESULT sel = SendDlgItemMessageA(m_hWnd, IDC_DB_IX_LIST, LB_GETCURSEL, 0, 0);
    if (sel == LB_ERR) {
        DBMessageBox(IDS_DB_IX_SELECT);
        return;
    }
    std::string index = SelectedIndex();
    if (m_core->DropIndex(m_table.c_str(), index.c_str()))
        SendDlgItemMessageA(m_hWnd, IDC_DB_IX_LIST, LB_DELETESTRING, sel, 0);
}

void IndexEditorDialog::OnCommand(int id, int code) {
    switch (id) {
        case IDC_DB_IX_LIST:
            if (code == LBN_SELCHANGE)
                ShowIndex();
            break;
        case IDC_DB_IX_PRIMARY:
            if (code == BN_CLICKED)
                LockAttributes(IsDlgButtonChecked(m_hWnd, IDC_DB_IX_PRIMARY) != 0);
            break;
        case IDC_DB_IX_ADD:
            AddIndex();
            break;
        case IDC_DB_IX_DELETE:
            DeleteIndex();
            break;
        case IDC_DB_IX_CLOSE:
            EndDialog(IDOK);
            break;
    }
}
