#include "aDBTableDesign.h"

#include <string.h>

#include <algorithm>

#include "aBaseCore.h"
#include "aDBGrid.h"
#include "aDBModule.h"
#include "aDBNodeInsert.h"
#include "aDBResource.h"
#include "aDBTableDesignResource.h"
#include "aDBTreeView.h"
#include "bTextCut.h"

namespace {

const int kTypeMemo = 7;
const int kTypeFirstMedia = 8;
const int kTypeLast = 13;

bool IsMediaCode(int code) {
    return code >= kTypeFirstMedia && code <= kTypeLast;
}

std::vector<std::string> SplitTabs(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t tab = text.find('\t', start);
        out.push_back(
            text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return out;
        start = tab + 1;
    }
}

// The type list's code shown for a field type; 0: the unknown-type cell,
// -1: left as set ("文字").
int CodeOfFieldType(int type) {
    switch (type) {
        case 1:
            return 3;
        case 2:
        case 3:
        case 4:
        case 16:
            return 1;
        case 6:
        case 7:
        case 19:
        case 20:
        case 21:
            return 2;
        case 5:
            return 4;
        case 8:
            return 5;
        case 10:
        case 18:
            return 6;
        case 12:
            return kTypeMemo;
        case 9:
        case 15:
        case 17:
        case 22:
        case 23:
        case 1030:
            return 0;
    }
    if (type >= 1024 && type <= 1029)
        return kTypeFirstMedia + type - 1024;
    return -1;
}

DataSourceDescriptor TableDescriptor(const std::string& table, const char* field = "") {
    DataSourceDescriptor d;
    memset(&d, 0, sizeof(d));
    memcpy(d.sourceName, table.c_str(), MbCutLength(table.c_str(), sizeof(d.sourceName) - 1));
    memcpy(d.fieldName, field, MbCutLength(field, sizeof(d.fieldName) - 1));
    return d;
}

}  // namespace

TableDesignDialog::TableDesignDialog(CDBCore* core, int create, HWND tree, HTREEITEM item,
                                     const std::string& table)
    : CDialogImplBase(GetDBModule(), IDD_DB_TABLE_DESIGN),
      m_core(core),
      m_create(create),
      m_tree(tree),
      m_item(item),
      m_tableName(table),
      m_openName(table) {
    CDBGrid::Register();
    m_types = SplitTabs(DBLoadString(IDS_DB_TYPE_LABELS));
}

TableDesignDialog::~TableDesignDialog() {
    if (m_marked && m_core)
        if (DataSourceEntry* entry = m_core->FindTableByName(m_tableName.c_str()))
            entry->busy = 0;
}

std::string TableDesignDialog::Cell(int col, int row) const {
    char buffer[512] = {};
    GridText t = {col, row, nullptr, buffer, (int)sizeof(buffer)};
    SendMessageA(m_grid, GM_GETTEXT, 0, (LPARAM)&t);
    return buffer;
}

void TableDesignDialog::SetCell(int col, int row, const std::string& text) {
    GridText t = {col, row, text.c_str(), nullptr, 0};
    SendMessageA(m_grid, GM_SETTEXT, 0, (LPARAM)&t);
}

void TableDesignDialog::LockCell(int col, int row, bool lock) {
    GridCellRef ref = {col, row};
    SendMessageA(m_grid, GM_SETLOCK, lock, (LPARAM)&ref);
}

int TableDesignDialog::Rows() const {
    return (int)SendMessageA(m_grid, GM_GETMAXROWS, 0, 0);
}

int TableDesignDialog::TypeCode(int row) const {
    std::string label = Cell(2, row);
    for (size_t i = 0; i < m_types.size(); ++i)
        if (m_types[i] == label)
            return (int)i + 1;
    return 0;
}

TableFieldSpec TableDesignDialog::SpecOfRow(int row) const {
    TableFieldSpec spec;
    spec.name = Cell(1, row);
    spec.type = TypeCode(row);
    spec.linkFlag = IsMediaCode(spec.type) && Cell(3, row) != "1" ? 1 : 0;
    return spec;
}

void TableDesignDialog::AppendBlankRow() {
    int row = Rows() + 1;
    SendMessageA(m_grid, GM_SETMAXROWS, row, 0);
    SetCell(2, row, m_types.size() > 5 ? m_types[5] : std::string());
}

BOOL TableDesignDialog::OnInitDialog() {
    m_grid = GetDlgItem(m_hWnd, IDC_DB_TD_GRID);
    if (!m_grid || !m_core) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    dbgrid::TakeDialogLook(m_grid, m_hWnd);
    SendMessageA(m_grid, GM_SETMAXCOLS, 3, 0);
    static const UINT headers[] = {IDS_DB_FIELD_NAME, IDS_DB_TD_FIELD_TYPE, IDS_DB_TD_EMBEDDED};
    static const int widths[] = {24, 10, 6};
    for (int col = 1; col <= 3; ++col) {
        SetCell(col, 0, DBLoadString(headers[col - 1]));
        SendMessageA(m_grid, GM_SETCOLWIDTH, col, widths[col - 1]);
    }
    GridCellType name;
    name.kind = GCT_TEXT;
    name.maxLength = 64;
    GridCellType list;
    list.kind = GCT_LIST;
    list.text = DBLoadString(IDS_DB_TYPE_LABELS);
    GridCellType check;
    check.kind = GCT_CHECK;
    GridSetType types[] = {{1, -1, &name}, {2, -1, &list}, {3, -1, &check}};
    for (const GridSetType& t : types) SendMessageA(m_grid, GM_SETTYPE, 0, (LPARAM)&t);
    GridCellRef embedded = {3, -1};
    SendMessageA(m_grid, GM_SETLOCK, TRUE, (LPARAM)&embedded);
    SendDlgItemMessageA(m_hWnd, IDC_DB_TD_NAME, EM_LIMITTEXT, 64, 0);

    if (m_create) {
        AppendBlankRow();
    } else {
        SetItemText(IDC_DB_TD_NAME, m_tableName);
        if (DataSourceEntry* entry = m_core->FindTableByName(m_tableName.c_str())) {
            entry->busy = 1;
            m_marked = true;
        }
        DataSourceDescriptor d = TableDescriptor(m_tableName);
        int count = m_core->GetFieldCount(&d);
        for (int i = 0; i <= count; ++i) AppendBlankRow();
        for (int i = 0; i < count; ++i) {
            d = TableDescriptor(m_tableName);
            if (!m_core->GetFieldName(&d, i)) {
                EndDialog(IDCANCEL);
                return TRUE;
            }
            std::string field = FieldText(d.fieldName, sizeof(d.fieldName));
            m_stored.push_back(StoredField{field, i + 1, 0});
            if (!ShowField(i + 1, field)) {
                EndDialog(IDCANCEL);
                return TRUE;
            }
        }
    }
    SendMessageA(m_grid, GM_SETACTIVECELL, 1, 1);
    SendMessageA(m_grid, GM_SETCHANGED, FALSE, 0);
    return TRUE;
}

bool TableDesignDialog::ShowField(int row, const std::string& name) {
    SetCell(1, row, name);
    DataSourceDescriptor d = TableDescriptor(m_tableName, name.c_str());
    int type = 0;
    if (!m_core->GetFieldType(&d, &type))
        return true;  // shown as text, as left
    int code = CodeOfFieldType(type);
    if (code < 0)
        return true;
    if (code == 0) {
        GridCellType text;
        text.kind = GCT_TEXT;
        GridSetType set = {2, row, &text};
        SendMessageA(m_grid, GM_SETTYPE, 0, (LPARAM)&set);
        SetCell(2, row, DBLoadString(IDS_DB_TD_UNKNOWN_TYPE));
        LockCell(2, row, true);
        return true;
    }
    SetCell(2, row, m_types.size() >= (size_t)code ? m_types[(size_t)code - 1] : std::string());
    if (IsMediaCode(code)) {
        int link = 0;
        m_core->GetFieldLinkFlag(&d, &link);
        SetCell(3, row, link == 0 ? "1" : "0");
        // Video and sound keep their kind of storage.
        LockCell(3, row, type == 1026 || type == 1027);
    }
    return true;
}

bool TableDesignDialog::ValidateFieldName(const std::string& name, int row) {
    UINT message = 0;
    if (name.empty()) {
        message = IDS_DB_TD_NAME_EMPTY;
    } else if (name.size() > 64) {
        message = IDS_DB_TD_NAME_TOO_LONG;
    } else {
        for (size_t i = 0; i < name.size();) {
            unsigned char c = (unsigned char)name[i];
            if (IsDBCSLeadByte(c) && i + 1 < name.size()) {
                i += 2;
            } else if ((c >= '0' && c <= '9') || c == '_' || (c < 0x80 && isalpha(c))) {
                i += 1;
            } else {
                message = IDS_DB_TD_NAME_BAD_CHAR;
                break;
            }
        }
    }
    int last = Rows();
    for (int r = 1; !message && r < last; ++r)
        if (r != row && lstrcmpiA(Cell(1, r).c_str(), name.c_str()) == 0)
            message = IDS_DB_TD_NAME_TWICE;
    if (!message)
        return true;
    DBMessageBox(message, MB_OK);
    return false;
}

void TableDesignDialog::OnCellChanged(int col, int row) {
    if (!m_create) {
        for (StoredField& s : m_stored) {
            if (s.row != row)
                continue;
            if (col == 1)
                s.flags |= kRenamed;
            else if (col == 2 || (col == 3 && IsMediaCode(TypeCode(row))))
                s.flags |= kRetyped;
        }
    }
    if (col == 2) {
        if (IsMediaCode(TypeCode(row))) {
            LockCell(3, row, false);
        } else {
            SetCell(3, row, "0");
            LockCell(3, row, true);
        }
    }
    if (row == Rows())
        AppendBlankRow();
}

void TableDesignDialog::DeleteSelectedRows() {
    GridRange sel;
    if (!SendMessageA(m_grid, GM_GETSELECTION, 0, (LPARAM)&sel) || sel.col1 != -1 || sel.row1 < 1)
        return;
    int first = sel.row1;
    int count = std::min(sel.row2, Rows() - 1) - first + 1;  // never the blank last row
    for (int i = 0; i < count; ++i) {
        SendMessageA(m_grid, GM_DELETEROWS, first, 1);
        for (StoredField& s : m_stored) {
            if (s.row == first) {
                s.flags |= kDeleted;
                s.row = -1;
            } else if (s.row > first) {
                --s.row;
            }
        }
    }
    SendMessageA(m_grid, GM_SETSELECTION, 0, 0);
}

bool TableDesignDialog::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR* result) {
    switch (msg) {
        case GN_CELLCHANGED: {
            const GridCellRef* ref = (const GridCellRef*)lParam;
            if (ref)
                OnCellChanged(ref->col, ref->row);
            *result = 0;
            return true;
        }
        case GN_LEAVECELL: {
            GridLeaveCell* leave = (GridLeaveCell*)lParam;
            if (leave && leave->row != Rows() && leave->newRow != leave->row &&
                !ValidateFieldName(Cell(1, leave->row), leave->row))
                leave->cancel = TRUE;
            *result = 0;
            return true;
        }
        case GN_KEYDOWN: {
            const GridKeyDown* key = (const GridKeyDown*)lParam;
            GridRange sel;
            // Delete on whole rows removes them; elsewhere the grid clears cells.
            if (!key || key->key != VK_DELETE ||
                !SendMessageA(m_grid, GM_GETSELECTION, 0, (LPARAM)&sel) || sel.col1 != -1)
                return false;
            DeleteSelectedRows();
            *result = 1;
            return true;
        }
    }
    return false;
}

void TableDesignDialog::OnCommand(int id, int) {
    switch (id) {
        case IDC_DB_TD_OK:
            Finish();
            break;
        case IDC_DB_TD_DELETE:
            DeleteSelectedRows();
            break;
        case IDC_DB_TD_CANCEL:
            EndDialog(IDCANCEL);
            break;
    }
}

bool TableDesignDialog::OnOK() {
    Finish();
    return false;
}

void TableDesignDialog::AddTreeNode() {
    if (!m_tree)
        return;
    HTREEITEM root = dbtree::FindRoot(m_tree, 1);
    if (!root)
        return;
    HTREEITEM node = InsertTreeItem(m_tree, root, m_tableName, 2, 2);
    if (!node)
        return;
    InsertTreeItem(m_tree, node, DBLoadString(IDS_DB_FIELDS), 3, 3);
    InsertTreeItem(m_tree, node, DBLoadString(IDS_DB_INDEXES), 5, 5);
}

void TableDesignDialog::Finish() {
    int last = Rows();
    GridCellRef active = {0, 0};
    if (SendMessageA(m_grid, GM_GETACTIVECELL, 0, (LPARAM)&active) && active.row != last &&
        !ValidateFieldName(Cell(1, active.row), active.row)) {
        SendMessageA(m_grid, GM_SETACTIVECELL, active.col, active.row);
        SetFocus(m_grid);
        return;
    }
    std::string name = GetItemText(IDC_DB_TD_NAME);
    if (m_create && !m_core->ValidateObjectName(name.c_str(), 1, 0))
        return;
    std::vector<TableFieldSpec> specs;
    for (int row = 1; row < last; ++row) specs.push_back(SpecOfRow(row));
    if (specs.empty()) {
        DBMessageBox(IDS_DB_TD_NO_FIELD, MB_OK);
        return;
    }
    if (m_create) {
        std::vector<TableFieldSpec*> list;
        for (TableFieldSpec& s : specs) list.push_back(&s);
        // A table that was not made keeps the dialog with its design.
        if (!m_core->CreateTable(list, name.c_str()))
            return;
        m_tableName = name;
        AddTreeNode();
    } else if (!ApplyChanges()) {
        return;
    }
    EndDialog(IDOK);
}

bool TableDesignDialog::ApplyChanges() {
    std::string newName = GetItemText(IDC_DB_TD_NAME);
    bool rename = newName != m_tableName;
    if (rename && !m_core->ValidateObjectName(newName.c_str(), 1, 0))
        return false;
    const char* table = m_tableName.c_str();
    bool changed = false;
    for (size_t i = m_stored.size(); i-- > 0;)
        if (m_stored[i].flags & kDeleted)
            changed |= m_core->DropTableField(table, m_stored[i].name.c_str()) != 0;
    for (size_t i = m_stored.size(); i-- > 0;) {
        const StoredField& s = m_stored[i];
        if (s.flags & kDeleted)
            continue;
        if (s.flags & kRetyped) {
            TableFieldSpec spec = SpecOfRow(s.row);
            changed |= m_core->ReplaceTableField(table, s.name.c_str(), &spec) != 0;
        } else if (s.flags & kRenamed) {
            // A name typed back to what it was is no rename.
            std::string to = Cell(1, s.row);
            if (to != s.name)
                changed |= m_core->RenameTableField(table, s.name.c_str(), to.c_str()) != 0;
        }
    }
    int last = Rows();
    for (int row = 1; row < last; ++row) {
        bool shown = false;
        for (const StoredField& s : m_stored) shown = shown || s.row == row;
        if (shown)
            continue;
        TableFieldSpec spec = SpecOfRow(row);
        changed |= m_core->AddTableField(table, &spec, -1) != 0;
    }
    if (rename && m_core->RenameTable(table, newName.c_str(), m_tree, m_item)) {
        changed = true;
        m_tableName = newName;
    }
    m_core->RefreshTableFields(m_tableName.c_str());
    if (changed)
        m_core->PostNotice(m_openName.c_str(), nullptr, nullptr, 0, 4);
    return true;
}

void NewTableCommand(HWND tree) {
    CDBCore* core = GetDBCore();
    if (!core)
        return;
    TableDesignDialog dlg(core, 1, tree);
    dlg.DoModal(tree);
}

void DesignTableCommand(HWND tree, HTREEITEM item) {
    CDBCore* core = GetDBCore();
    if (!core || !item)
        return;
    std::string name = CDBTreeView::TextOf(tree, item);
    DataSourceDescriptor d = TableDescriptor(name);
    if (DataSourceEntry* entry = core->FindTableByName(name.c_str())) {
        // The browser writes its pending row as it closes.
        if (entry->browser) {
            CloseBrowserWindow(entry->browser);
            if (core->FindTableByName(name.c_str()) == entry)
                entry->browser = nullptr;
        }
    }
    if (!core->CloseDataSource(&d))
        return;
    TableDesignDialog dlg(core, 0, tree, item, name);
    dlg.DoModal(tree);
}
