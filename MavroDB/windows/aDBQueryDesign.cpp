#include "aDBQueryDesign.h"

#include <vector>

#include "aBaseCore.h"
#include "aDBGrid.h"
#include "aDBModule.h"
#include "aDBNodeInsert.h"
#include "aDBResource.h"
#include "aDbValue.h"

namespace {

const int kLabelCol = 1;
const int kFirstBlock = 5;  // rows of a block: condition, operator, value

std::string Trim(std::string s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return std::string();
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// Cuts at every c outside brackets and quotes.
std::vector<std::string> SplitOutside(const std::string& text, char c) {
    std::vector<std::string> parts;
    std::string rest = text;
    for (;;) {
        int k = CDBCore::SqlFindOutside(rest.c_str(), c);
        if (k >= (int)rest.size()) {
            parts.push_back(rest);
            return parts;
        }
        parts.push_back(rest.substr(0, (size_t)k));
        rest = rest.substr((size_t)k + 1);
    }
}

std::string Unbracket(const std::string& s) {
    if (s.size() >= 2 && s.front() == '[' && s.back() == ']')
        return s.substr(1, s.size() - 2);
    return s;
}

// "[table].[field]" into its names; false when there is no dot outside.
bool SplitReference(const std::string& ref, std::string* table, std::string* field) {
    int dot = CDBCore::SqlFindOutside(ref.c_str(), '.');
    if (dot >= (int)ref.size())
        return false;
    *table = Unbracket(Trim(ref.substr(0, (size_t)dot)));
    std::string f = Trim(ref.substr((size_t)dot + 1));
    *field = f == "*" ? f : Unbracket(f);
    return !table->empty() && !field->empty();
}

bool WholeBracketedName(const std::string& s) {
    return s.size() >= 2 && s[0] == '[' && CDBCore::SqlSkipGroup(s.c_str(), 0) == (int)s.size() - 1;
}

std::string Upper(std::string s) {
    if (!s.empty())
        CharUpperBuffA(&s[0], (DWORD)s.size());
    return s;
}

}  // namespace

QueryDesignDialog::QueryDesignDialog() : CDialogImplBase(GetDBModule(), IDD_DB_QUERY_DESIGN) {
    CDBGrid::Register();
}

BOOL QueryDesignDialog::OnInitDialog() {
    SendDlgItemMessageA(m_hWnd, IDC_DB_QD_NAME, EM_LIMITTEXT, 64, 0);
    bool visual = m_visual != 0;
    std::string sql;
    if (!m_newQuery) {
        short flag = 0;
        if (m_core) {
            m_core->GetQuerySQL(m_queryName.c_str(), &sql);
            m_core->GetQueryTypeFlag(m_queryName.c_str(), &flag);
        }
        visual = flag != 0;
        m_visual = visual;
    }
    ShowWindow(Grid(), visual ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(m_hWnd, IDC_DB_QD_SQL), visual ? SW_HIDE : SW_SHOW);
    if (visual) {
        SetUpDesignGrid();
        if (!m_newQuery)
            ParseQuerySql(sql);
        SendMessageA(Grid(), GM_SETCHANGED, 0, 0);
    } else {
        SetWindowTextA(m_hWnd, DBLoadString(IDS_DB_QD_SQL_TITLE).c_str());
        SetItemText(IDC_DB_QD_SQL, sql);
    }
    if (!m_newQuery) {
        char title[256] = {};
        GetWindowTextA(m_hWnd, title, sizeof(title));
        SetWindowTextA(m_hWnd, (std::string(title) + ": " + m_queryName).c_str());
        SetItemText(IDC_DB_QD_NAME, m_queryName);
    }
    return TRUE;
}

void QueryDesignDialog::SetUpDesignGrid() {
    HWND g = Grid();
    SendMessageA(g, GM_SETREDRAW, 0, 0);
    SendMessageA(g, GM_SETMAXROWS, 7, 0);
    SendMessageA(g, GM_SETMAXCOLS, 2, 0);
    SendMessageA(g, GM_SETCOLWIDTH, 0, 0);
    SendMessageA(g, GM_SETCOLWIDTH, kLabelCol, 8);
    m_tableList.clear();
    char** names = nullptr;
    int count = 0;
    if (m_core && m_core->GetTableNames(&names, &count)) {
        for (int i = 0; i < count; ++i) m_tableList += (i ? "\t" : "") + std::string(names[i]);
        CDBCore::FreeNameArray(names, count);
    }
    dbgrid::SetType(g, kLabelCol, -1, dbgrid::Kind(GCT_STATIC));
    const UINT labels[] = {IDS_DB_QD_TABLE, IDS_DB_FIELD_NAME,  IDS_DB_QD_SHOW, IDS_DB_QD_SORT,
                           IDS_DB_QD_MATCH, IDS_DB_QD_OPERATOR, IDS_DB_QD_VALUE};
    for (int r = 1; r <= 7; ++r) dbgrid::SetText(g, kLabelCol, r, DBLoadString(labels[r - 1]));
    GridCellColor label = {kLabelCol, -1, RGB(255, 252, 191)};
    SendMessageA(g, GM_SETCELLCOLOR, 0, (LPARAM)&label);
    InitColumn(2);
    dbgrid::TakeDialogLook(g, m_hWnd);
    SendMessageA(g, GM_SETACTIVECELL, 2, 1);
    SendMessageA(g, GM_SETREDRAW, 1, 0);
}

// A spare column: the lists with nothing chosen.
void QueryDesignDialog::InitColumn(int col) {
    HWND g = Grid();
    SendMessageA(g, GM_SETCOLWIDTH, col, 12);
    dbgrid::SetType(g, col, 1, dbgrid::Kind(GCT_LIST, m_tableList));
    dbgrid::SetType(g, col, 2, dbgrid::Kind(GCT_LIST));
    dbgrid::SetType(g, col, 3, dbgrid::Kind(GCT_LIST, DBAnsi("是\t否")));
    dbgrid::SetType(g, col, 4, dbgrid::Kind(GCT_LIST, DBAnsi("不排序\t")));
    for (int r = kFirstBlock; r + 2 <= dbgrid::Rows(g); r += 3) {
        dbgrid::SetType(g, col, r, dbgrid::Kind(GCT_LIST, DBAnsi("满足\t不满足")));
        dbgrid::SetType(g, col, r + 1, dbgrid::Kind(GCT_LIST, DBLoadString(IDS_DB_QD_OPS_NONE)));
    }
}

void QueryDesignDialog::FillFieldList(int col) {
    HWND g = Grid();
    std::string table = dbgrid::Text(g, col, 1);
    std::string list;
    char** names = nullptr;
    int count = 0;
    if (m_core && m_core->GetQueryFieldInfo(table.c_str(), 0, &names, &count)) {
        for (int i = 0; i < count; ++i) list += std::string(names[i]) + "\t";
        if (count > 0)
            list += "*";
        CDBCore::FreeNameArray(names, count);
    }
    dbgrid::SetType(g, col, 2, dbgrid::Kind(GCT_LIST, list));
}

int QueryDesignDialog::FieldTypeOf(int col) {
    HWND g = Grid();
    std::string table = dbgrid::Text(g, col, 1), field = dbgrid::Text(g, col, 2);
    if (!m_core || table.empty() || field.empty())
        return 0;
    DataSourceDescriptor d = {};
    lstrcpynA(d.sourceName, table.c_str(), sizeof(d.sourceName));
    lstrcpynA(d.fieldName, field.c_str(), sizeof(d.fieldName));
    int type = 0;
    return m_core->GetFieldType(&d, &type) ? type : 0;
}

void QueryDesignDialog::SetSortList(int col, int type) {
    bool sortable = type > 0 && !(type >= 1024 && type <= 1030) && type != dbLongBinary;
    HWND g = Grid();
    dbgrid::SetType(g, col, 4,
                    dbgrid::Kind(GCT_LIST, DBAnsi(sortable ? "递增\t递减\t不排序" : "不排序\t")));
    dbgrid::SetText(g, col, 4, DBAnsi(sortable ? "递增" : "不排序"));
}

void QueryDesignDialog::SetOperatorList(int col, int row, int type) {
    UINT list = IDS_DB_QD_OPS_OTHER;
    if (type == dbBoolean)
        list = IDS_DB_QD_OPS_BOOL;
    else if (type == dbText || type == dbMemo)
        list = IDS_DB_QD_OPS_TEXT;
    else if (type <= 0 || (type >= 1024 && type <= 1030) || type == dbLongBinary)
        list = IDS_DB_QD_OPS_NONE;
    HWND g = Grid();
    dbgrid::SetType(g, col, row, dbgrid::Kind(GCT_LIST, DBLoadString(list)));
    dbgrid::SetText(g, col, row, DBLoadString(IDS_DB_QD_OPS_NONE));
}

void QueryDesignDialog::AddCriteriaBlock() {
    HWND g = Grid();
    int rows = dbgrid::Rows(g), cols = dbgrid::Cols(g);
    SendMessageA(g, GM_SETMAXROWS, rows + 3, 0);
    dbgrid::SetText(g, kLabelCol, rows + 1, DBLoadString(IDS_DB_QD_OR));
    GridCellColor label = {kLabelCol, -1, RGB(255, 252, 191)};
    SendMessageA(g, GM_SETCELLCOLOR, 0, (LPARAM)&label);
    for (int c = 2; c <= cols; ++c) {
        dbgrid::SetType(g, c, rows + 1, dbgrid::Kind(GCT_LIST, DBAnsi("满足\t不满足")));
        if (c < cols)
            dbgrid::SetText(g, c, rows + 1, DBAnsi("满足"));
        SetOperatorList(c, rows + 2, c < cols ? FieldTypeOf(c) : 0);
        if (c == cols)
            dbgrid::SetText(g, c, rows + 2, "");
    }
}

int QueryDesignDialog::AddDesignColumn(const std::string& table, const std::string& field,
                                       bool show) {
    HWND g = Grid();
    int c = dbgrid::Cols(g);
    SendMessageA(g, GM_SETMAXCOLS, c + 1, 0);
    InitColumn(c + 1);
    // A name the lists do not hold (a parsed query's) joins the cell's list.
    if (!dbgrid::SetText(g, c, 1, table)) {
        dbgrid::SetType(g, c, 1, dbgrid::Kind(GCT_LIST, m_tableList + "\t" + table));
        dbgrid::SetText(g, c, 1, table);
    }
    FillFieldList(c);
    if (!dbgrid::SetText(g, c, 2, field)) {
        GridCellType t = dbgrid::Type(g, c, 2);
        t.text += (t.text.empty() ? "" : "\t") + field;
        dbgrid::SetType(g, c, 2, t);
        dbgrid::SetText(g, c, 2, field);
    }
    int type = FieldTypeOf(c);
    SetSortList(c, type);
    dbgrid::SetText(g, c, 4, DBAnsi("不排序"));
    dbgrid::SetText(g, c, 3, DBAnsi(show ? "是" : "否"));
    for (int r = kFirstBlock; r + 2 <= dbgrid::Rows(g); r += 3) {
        dbgrid::SetText(g, c, r, DBAnsi("满足"));
        SetOperatorList(c, r + 1, type);
    }
    return c + 1;
}

void QueryDesignDialog::OnDesignCellChanged(int col, int row) {
    HWND g = Grid();
    if (col < 2 || dbgrid::Text(g, col, 1).empty())
        return;
    int rows = dbgrid::Rows(g);
    if (row == 1 || (row == 2 && col < dbgrid::Cols(g))) {
        if (row == 1)
            FillFieldList(col);
        int type = FieldTypeOf(col);
        SetSortList(col, type);
        for (int r = kFirstBlock + 1; r <= rows; r += 3) SetOperatorList(col, r, type);
    } else if (row == 2) {
        std::string table = dbgrid::Text(g, col, 1), field = dbgrid::Text(g, col, 2);
        if (!field.empty())
            AddDesignColumn(table, field, true);
    } else if (row > rows - 3) {
        AddCriteriaBlock();
    }
}

void QueryDesignDialog::DeleteDesignColumn() {
    HWND g = Grid();
    GridRange sel;
    if (!SendMessageA(g, GM_GETSELECTION, 0, (LPARAM)&sel) || sel.row1 != -1)
        return;
    int c = sel.col1;
    if (c > 1 && c < dbgrid::Cols(g))
        SendMessageA(g, GM_DELETECOL, c, 0);
}

std::string QueryDesignDialog::ToSqlValue(const std::string& value, int type) {
    std::string out;
    std::vector<std::string> pieces = SplitOutside(value, '+');
    for (size_t i = 0; i < pieces.size(); ++i) {
        std::string piece = pieces[i];
        std::string literal = CDBCore::FormatSqlLiteral(&piece, type);
        if (WholeBracketedName(literal) && m_declared.insert(Upper(literal)).second) {
            // Each parameter once: the engine refuses a name declared twice.
            m_params +=
                (m_declared.size() > 1 ? ", " : "") + literal + " " + CDBCore::FieldTypeName(type);
        }
        out += (i ? "+" : "") + literal;
    }
    return out;
}

bool QueryDesignDialog::MakeSql(std::string* sql) {
    std::string name = GetItemText(IDC_DB_QD_NAME);
    if ((m_newQuery || name != m_queryName) &&
        (!m_core || !m_core->ValidateObjectName(name.c_str(), 1, 0)))
        return false;
    if (!m_visual) {
        *sql = GetItemText(IDC_DB_QD_SQL);
        return true;
    }
    HWND g = Grid();
    m_params = "PARAMETERS ";
    m_declared.clear();
    std::string select = "SELECT ", from = " FROM ", where = " WHERE ", order = " ORDER BY ";
    bool anySelect = false, anyFrom = false, anyWhere = false, anyOrder = false;
    int cols = dbgrid::Cols(g), rows = dbgrid::Rows(g);
    auto addFrom = [&](const std::string& ref) {
        if (from.find(ref) == std::string::npos) {
            from += (anyFrom ? "," : "") + ref;
            anyFrom = true;
        }
    };
    for (int c = 2; c < cols; ++c) {
        std::string table = dbgrid::Text(g, c, 1), field = dbgrid::Text(g, c, 2);
        if (table.empty() || field.empty() || dbgrid::Text(g, c, 3) == DBAnsi("否"))
            continue;
        std::string tref = "[" + table + "]";
        addFrom(tref);
        std::string fref = tref + "." + (field == "*" ? field : "[" + field + "]");
        if (select.find(fref) == std::string::npos) {
            select += (anySelect ? "," : "") + fref;
            anySelect = true;
        }
        std::string sort = dbgrid::Text(g, c, 4);
        if (sort == DBAnsi("递增") || sort == DBAnsi("递减")) {
            order += (anyOrder ? "," : "") + fref + (sort == DBAnsi("递增") ? " ASC" : " DESC");
            anyOrder = true;
        }
    }
    bool earlier = false;
    for (int b = kFirstBlock; b + 2 <= rows - 3; b += 3) {
        bool inBlock = false;
        for (int c = 2; c < cols; ++c) {
            std::string table = dbgrid::Text(g, c, 1), field = dbgrid::Text(g, c, 2);
            std::string op = dbgrid::Text(g, c, b + 1);
            if (table.empty() || field.empty() || op.empty() ||
                op == DBLoadString(IDS_DB_QD_OPS_NONE))
                continue;
            int type = FieldTypeOf(c);
            std::string cond = dbgrid::Text(g, c, b) == DBAnsi("不满足") ? "NOT " : "";
            cond += "[" + table + "].[" + field + "]";
            std::string value = Trim(dbgrid::Text(g, c, b + 2));
            if (type == dbBoolean && op == "=" && value == "1") {
                op = "<>";
                value = "0";
            }
            size_t join = value.find("].[");
            if (join != std::string::npos)
                addFrom(value.substr(0, value.find(']') + 1));
            std::string right;
            if (value.empty()) {
                right = "NULL";
            } else if (op == "Between") {
                int k = CDBCore::SqlFindOutside(value.c_str(), ',');
                std::string low = Trim(value.substr(0, (size_t)k));
                std::string high = k < (int)value.size() ? Trim(value.substr((size_t)k + 1)) : "";
                if (k >= (int)value.size() || low.empty() || high.empty()) {
                    DBMessageBox(IDS_DB_QD_BAD_VALUE);
                    return false;
                }
                right = ToSqlValue(low, type) + " AND " + ToSqlValue(high, type);
            } else if (op == "In") {
                right = "(";
                std::vector<std::string> items = SplitOutside(value, ',');
                for (size_t i = 0; i < items.size(); ++i) {
                    std::string item = Trim(items[i]);
                    if (item.empty()) {
                        DBMessageBox(IDS_DB_QD_BAD_VALUE);
                        return false;
                    }
                    right += (i ? "," : "") + ToSqlValue(item, type);
                }
                right += ")";
            } else {
                right = ToSqlValue(value, type);
            }
            cond = "(" + cond + " " + op + " " + right + ")";
            if (!inBlock)
                where += (earlier ? " OR " : "") + cond;
            else
                where += " AND " + cond;
            inBlock = true;
            anyWhere = true;
        }
        earlier = earlier || inBlock;
    }
    *sql = (m_declared.empty() ? "" : m_params + ";") + select + from + (anyWhere ? where : "") +
           (anyOrder ? order : "");
    return true;
}

bool QueryDesignDialog::BuildQuerySql() {
    std::string sql;
    if (!MakeSql(&sql))
        return false;
    std::string name = GetItemText(IDC_DB_QD_NAME);
    // A store that fails keeps the dialog and its design.
    if (m_newQuery) {
        if (!m_core->CreateQuery(sql.c_str(), name.c_str(), m_visual))
            return false;
        if (m_tree)
            if (HTREEITEM root = dbtree::FindRoot(m_tree, 17))
                if (HTREEITEM item = InsertTreeItem(m_tree, root, name, 9, 18))
                    InsertTreeItem(m_tree, item, DBLoadString(IDS_DB_FIELDS), 3, 19);
        return true;
    }
    if (!m_core->ChangeQuerySQL(sql.c_str(), m_queryName.c_str()))
        return false;
    if (name != m_queryName) {
        if (!m_core->RenameQuery(m_queryName.c_str(), name.c_str()))
            return false;
        if (m_tree && m_treeItem) {
            TVITEMA tv = {};
            tv.mask = TVIF_TEXT;
            tv.hItem = m_treeItem;
            tv.pszText = const_cast<char*>(name.c_str());
            SendMessageA(m_tree, TVM_SETITEMA, 0, (LPARAM)&tv);
        }
        m_queryName = name;
    }
    return true;
}

void QueryDesignDialog::EnsureBlock(int block) {
    while (dbgrid::Rows(Grid()) < kFirstBlock + 3 * block - 1) AddCriteriaBlock();
}

int QueryDesignDialog::FindDesignColumn(const std::string& table, const std::string& field,
                                        int block) {
    HWND g = Grid();
    int opRow = kFirstBlock + 3 * (block - 1) + 1;
    for (int c = 2; c < dbgrid::Cols(g); ++c) {
        std::string op = dbgrid::Text(g, c, opRow);
        if (dbgrid::Text(g, c, 1) == table && dbgrid::Text(g, c, 2) == field &&
            (op.empty() || op == DBLoadString(IDS_DB_QD_OPS_NONE)))
            return c;
    }
    return 0;
}

bool QueryDesignDialog::AddCondition(std::string text, int block) {
    text = Trim(text);
    std::string table, field, op, value;
    bool negate = false;
    bool ok = !text.empty() && text[0] == '(' &&
              CDBCore::SqlSkipGroup(text.c_str(), 0) == (int)text.size() - 1;
    if (ok) {
        text = Trim(text.substr(1, text.size() - 2));
        if (text.compare(0, 4, "NOT ") == 0) {
            negate = true;
            text = Trim(text.substr(4));
        }
        int sp = CDBCore::SqlFindOutside(text.c_str(), ' ');
        std::string rest = sp < (int)text.size() ? Trim(text.substr((size_t)sp + 1)) : "";
        size_t sp2 = rest.find(' ');
        ok = sp < (int)text.size() && sp2 != std::string::npos &&
             SplitReference(text.substr(0, (size_t)sp), &table, &field);
        if (ok) {
            op = rest.substr(0, sp2);
            value = Trim(rest.substr(sp2 + 1));
        }
    }
    if (!ok) {
        DBMessageBox(IDS_DB_QD_BAD_VALUE);
        return false;
    }
    if (op == "<>" && value == "0") {
        op = "=";
        value = "1";
    }
    if (op == "Between") {
        int k = CDBCore::SqlFindWord(value.c_str(), " AND ");
        if (k >= 0)
            value = Trim(value.substr(0, (size_t)k)) + "," + Trim(value.substr((size_t)k + 5));
    } else if (op == "In") {
        if (value.size() >= 2 && value.front() == '(' && value.back() == ')')
            value = value.substr(1, value.size() - 2);
    } else {
        int k = CDBCore::SqlFindOutside(value.c_str(), ' ');
        value = value.substr(0, (size_t)k);
    }
    if (value == "NULL")
        value.clear();
    EnsureBlock(block);
    HWND g = Grid();
    int col = FindDesignColumn(table, field, block);
    if (!col)
        col = AddDesignColumn(table, field, false) - 1;
    int row = kFirstBlock + 3 * (block - 1);
    dbgrid::SetText(g, col, row, DBAnsi(negate ? "不满足" : "满足"));
    if (!dbgrid::SetText(g, col, row + 1, op)) {
        DBMessageBox(IDS_DB_QD_BAD_VALUE);
        return false;
    }
    dbgrid::SetText(g, col, row + 2, value);
    OnDesignCellChanged(col, row + 2);
    return true;
}

void QueryDesignDialog::ParseQuerySql(const std::string& sql) {
    if (sql.size() < 4)
        return;
    size_t s = sql.find("SELECT ");
    std::string text = s == std::string::npos ? sql : sql.substr(s);
    int from = CDBCore::SqlFindWord(text.c_str(), "FROM ");
    if (from < 6)
        return;
    // Items after "," with or without a blank; line breaks before the
    // clauses or none.
    for (const std::string& item : SplitOutside(text.substr(6, (size_t)from - 6), ',')) {
        std::string table, field;
        if (SplitReference(Trim(item), &table, &field))
            AddDesignColumn(table, field, true);
    }
    int where = CDBCore::SqlFindWord(text.c_str(), "WHERE ");
    if (where >= 0) {
        std::string conds = text.substr((size_t)where + 6);
        int order = CDBCore::SqlFindWord(conds.c_str(), "ORDER BY ");
        if (order >= 0)
            conds = conds.substr(0, (size_t)order);
        conds = Trim(conds);
        if (!conds.empty() && conds.back() == ';')
            conds = Trim(conds.substr(0, conds.size() - 1));
        int block = 1;
        for (;;) {
            int a = CDBCore::SqlFindWord(conds.c_str(), " AND ");
            int o = CDBCore::SqlFindWord(conds.c_str(), " OR ");
            if (a < 0 && o < 0)
                break;
            bool isOr = o >= 0 && (a < 0 || o < a);
            int k = isOr ? o : a;
            AddCondition(conds.substr(0, (size_t)k), block);
            conds = conds.substr((size_t)k + (isOr ? 4 : 5));
            if (isOr)
                ++block;
        }
        AddCondition(conds, block);
    }
    int order = CDBCore::SqlFindWord(text.c_str(), "ORDER BY ");
    if (order >= 0) {
        std::string items = text.substr((size_t)order + 9);
        items = items.substr(0, (size_t)CDBCore::SqlFindOutside(items.c_str(), ';'));
        HWND g = Grid();
        for (const std::string& raw : SplitOutside(items, ',')) {
            std::string item = Trim(raw);
            int sp = CDBCore::SqlFindOutside(item.c_str(), ' ');
            std::string table, field;
            if (!SplitReference(item.substr(0, (size_t)sp), &table, &field))
                continue;
            std::string direction = sp < (int)item.size() ? Trim(item.substr((size_t)sp)) : "";
            int col = 0;
            for (int c = 2; c < dbgrid::Cols(g) && !col; ++c)
                if (dbgrid::Text(g, c, 1) == table && dbgrid::Text(g, c, 2) == field)
                    col = c;
            if (!col)
                col = AddDesignColumn(table, field, true) - 1;
            dbgrid::SetText(g, col, 4, DBAnsi(direction == "DESC" ? "递减" : "递增"));
        }
    }
}

void QueryDesignDialog::OnCommand(int id, int) {
    if (id == IDC_DB_QD_OK) {
        if (BuildQuerySql())
            EndDialog(IDOK);
    } else if (id == IDC_DB_QD_DELETE) {
        DeleteDesignColumn();
    }
}

bool QueryDesignDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    if (msg == GN_CELLCHANGED && wParam == IDC_DB_QD_GRID && lParam) {
        const GridCellRef* ref = (const GridCellRef*)lParam;
        SendMessageA(Grid(), GM_SETCHANGED, 1, 0);
        OnDesignCellChanged(ref->col, ref->row);
        *result = 0;
        return true;
    }
    if (msg == WM_CLOSE) {
        int answer = IDNO;
        if (m_visual && SendMessageA(Grid(), GM_GETCHANGED, 0, 0))
            answer = DBMessageBox(IDS_DB_QD_ASK_STORE, MB_YESNOCANCEL);
        if (answer == IDNO)
            EndDialog(IDCANCEL);
        else if (answer == IDYES && BuildQuerySql())
            EndDialog(IDOK);
        *result = 0;
        return true;
    }
    return false;
}
