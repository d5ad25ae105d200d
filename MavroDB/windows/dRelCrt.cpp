#include "dRelCrt.h"

#include <vector>

#include "aBaseCore.h"
#include "aDBGrid.h"
#include "aDBIndexEditor.h"
#include "aDBModule.h"
#include "aDBNodeInsert.h"
#include "aDBResource.h"

RelationCreateDialog::RelationCreateDialog() : CDialogImplBase(GetDBModule(), IDD_DB_RELATION) {
    CDBGrid::Register();
}

BOOL RelationCreateDialog::OnInitDialog() {
    HWND g = Grid();
    if (!g || !m_core) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    SendDlgItemMessageA(m_hWnd, IDC_DB_RL_NAME, EM_LIMITTEXT, 64, 0);
    dbgrid::TakeDialogLook(g, m_hWnd);
    SendMessageA(g, GM_SETMAXCOLS, 2, 0);
    SendMessageA(g, GM_SETMAXROWS, 1, 0);
    SendMessageA(g, GM_SETCOLWIDTH, 0, 3);
    SendMessageA(g, GM_SETCOLWIDTH, 1, 16);
    SendMessageA(g, GM_SETCOLWIDTH, 2, 16);
    dbgrid::SetText(g, 1, 0, DBLoadString(IDS_DB_MAIN_FIELDS));
    dbgrid::SetText(g, 2, 0, DBLoadString(IDS_DB_RELATED_FIELDS));
    char** names = nullptr;
    int count = 0;
    if (m_core->GetLocalTableNames(&names, &count)) {
        for (int i = 0; i < count; ++i)
            for (int list : {IDC_DB_RL_MAIN, IDC_DB_RL_RELATED})
                SendDlgItemMessageA(m_hWnd, list, LB_ADDSTRING, 0, (LPARAM)names[i]);
        CDBCore::FreeNameArray(names, count);
    }
    for (int list : {IDC_DB_RL_MAIN, IDC_DB_RL_RELATED})
        SendDlgItemMessageA(m_hWnd, list, LB_SETCURSEL, 0, 0);
    FillFieldColumn(1, IDC_DB_RL_MAIN);
    FillFieldColumn(2, IDC_DB_RL_RELATED);
    return TRUE;
}

std::string RelationCreateDialog::SelectedTable(int listId) const {
    HWND list = GetDlgItem(m_hWnd, listId);
    LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (sel == LB_ERR)
        return std::string();
    LRESULT n = SendMessageA(list, LB_GETTEXTLEN, sel, 0);
    std::string name((size_t)(n > 0 ? n : 0) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, sel, (LPARAM)&name[0]);
    name.resize(strlen(name.c_str()));
    return name;
}

// The column's lists get the relatable fields of the chosen table, with
// nothing chosen.
void RelationCreateDialog::FillFieldColumn(int col, int listId) {
    std::string items;
    for (const std::string& f : IndexableFields(m_core, SelectedTable(listId)))
        items += (items.empty() ? "" : "\t") + f;
    HWND g = Grid();
    dbgrid::SetType(g, col, -1, dbgrid::Kind(GCT_LIST, items));
    for (int r = 1; r <= dbgrid::Rows(g); ++r) dbgrid::SetText(g, col, r, "");
}

bool RelationCreateDialog::Create() {
    std::string name = GetItemText(IDC_DB_RL_NAME);
    if (name.empty()) {
        DBMessageBox(IDS_DB_RL_NO_NAME);
        return false;
    }
    char** names = nullptr;
    int count = 0;
    bool taken = false;
    if (m_core->GetRelationNames(&names, &count)) {
        for (int i = 0; i < count; ++i) taken = taken || name == names[i];
        CDBCore::FreeNameArray(names, count);
    }
    if (taken) {
        DBMessageBox(IDS_DB_RL_NAME_TAKEN);
        return false;
    }
    HWND g = Grid();
    std::vector<RelationFieldSpec> pairs;
    for (int r = 1; r < dbgrid::Rows(g); ++r) {
        RelationFieldSpec pair;
        pair.name = dbgrid::Text(g, 1, r);
        pair.foreignName = dbgrid::Text(g, 2, r);
        if (!pair.name.empty() && !pair.foreignName.empty())
            pairs.push_back(pair);
    }
    std::string main = SelectedTable(IDC_DB_RL_MAIN), related = SelectedTable(IDC_DB_RL_RELATED);
    if (pairs.empty()) {
        DBMessageBox(IDS_DB_RL_NO_PAIR);
        return false;
    }
    if (main.empty()) {
        DBMessageBox(IDS_DB_RL_NO_MAIN);
        return false;
    }
    if (related.empty()) {
        DBMessageBox(IDS_DB_RL_NO_RELATED);
        return false;
    }
    std::vector<RelationFieldSpec*> list;
    for (RelationFieldSpec& p : pairs) list.push_back(&p);
    long attributes = (IsDlgButtonChecked(m_hWnd, IDC_DB_RL_UPDATE) ? 0x100 : 0) +
                      (IsDlgButtonChecked(m_hWnd, IDC_DB_RL_DELETE) ? 0x1000 : 0);
    if (!m_core->CreateRelation(name.c_str(), main.c_str(), related.c_str(), list, attributes))
        return false;
    if (m_tree)
        if (HTREEITEM root = dbtree::FindRoot(m_tree, 13))
            if (HTREEITEM item = InsertTreeItem(m_tree, root, name, 16, 14)) {
                InsertTreeItem(m_tree, item, DBLoadString(IDS_DB_MAIN_FIELDS), 17, 15);
                InsertTreeItem(m_tree, item, DBLoadString(IDS_DB_RELATED_FIELDS), 18, 16);
            }
    return true;
}

bool RelationCreateDialog::OnOK() {
    try {
        return Create();
    } catch (...) {
        if (ITraceLog* log = GetDBTraceLog())
            log->LogAt(__FILE__, __LINE__, "Error in Create Relation");
        return true;
    }
}

void RelationCreateDialog::OnCommand(int id, int code) {
    if (code != LBN_SELCHANGE)
        return;
    if (id == IDC_DB_RL_MAIN)
        FillFieldColumn(1, IDC_DB_RL_MAIN);
    else if (id == IDC_DB_RL_RELATED)
        FillFieldColumn(2, IDC_DB_RL_RELATED);
}

bool RelationCreateDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    if (wParam != IDC_DB_RL_GRID || !lParam)
        return false;
    HWND g = Grid();
    int rows = dbgrid::Rows(g);
    if (msg == GN_CELLCHANGED) {
        // A blank last row is always there.
        if (((const GridCellRef*)lParam)->row == rows)
            SendMessageA(g, GM_SETMAXROWS, rows + 1, 0);
        *result = 0;
        return true;
    }
    if (msg == GN_KEYDOWN) {
        *result = 0;
        GridRange sel;
        if (((const GridKeyDown*)lParam)->key != VK_DELETE ||
            !SendMessageA(g, GM_GETSELECTION, 0, (LPARAM)&sel) || sel.col1 != -1 || sel.row1 < 1 ||
            sel.row1 >= rows)
            return true;
        int last = sel.row2 < rows ? sel.row2 : rows - 1;
        SendMessageA(g, GM_DELETEROWS, sel.row1, last - sel.row1 + 1);
        *result = 1;
        return true;
    }
    return false;
}
