#include "aDBGrid.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "aDBModule.h"

namespace {

const int kDefaultWidth = 9;
const int kRowNumberWidth = 5;
const int kCheckSize = 13;

std::vector<std::string> SplitTabs(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t tab = text.find('\t', start);
        if (tab == std::string::npos) {
            if (start < text.size())
                items.push_back(text.substr(start));
            break;
        }
        items.push_back(text.substr(start, tab - start));
        start = tab + 1;
    }
    return items;
}

bool ParseLong(const std::string& s, long long* v) {
    if (s.empty() || s.size() > 20)
        return false;
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size())
        return false;
    for (size_t k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9')
            return false;
    *v = strtoll(s.c_str(), nullptr, 10);
    return true;
}

bool ParseDouble(const std::string& s, double* v, int* intDigits) {
    size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    int whole = 0, frac = 0;
    bool dot = false;
    for (size_t k = i; k < s.size(); ++k) {
        if (s[k] == '.' && !dot)
            dot = true;
        else if (s[k] >= '0' && s[k] <= '9')
            (dot ? frac : whole)++;
        else
            return false;
    }
    if (whole + frac == 0)
        return false;
    // Leading zeros are no digits of the value.
    size_t first = i;
    while (first < s.size() && s[first] == '0' && whole > 1) {
        ++first;
        --whole;
    }
    *intDigits = whole;
    *v = strtod(s.c_str(), nullptr);
    return true;
}

bool LeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// "y/m/d" or "y-m-d", a time after a blank ignored.
bool ParseDate(const std::string& s, int* y, int* m, int* d) {
    std::string t = s.substr(0, s.find(' '));
    int parts[3] = {0, 0, 0};
    int n = 0, digits = 0;
    for (char c : t) {
        if (c == '/' || c == '-') {
            if (!digits || ++n > 2)
                return false;
            digits = 0;
        } else if (c >= '0' && c <= '9') {
            if (++digits > 4)
                return false;
            parts[n] = parts[n] * 10 + (c - '0');
        } else {
            return false;
        }
    }
    if (n != 2 || !digits)
        return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    *y = parts[0];
    *m = parts[1];
    *d = parts[2];
    if (*y < 100 || *y > 9999 || *m < 1 || *m > 12 || *d < 1)
        return false;
    int limit = days[*m - 1] + (*m == 2 && LeapYear(*y) ? 1 : 0);
    return *d <= limit;
}

}  // namespace

CDBGrid::CDBGrid() {
    m_types.push_back(GridCellType());
    m_columns.resize(1);
    m_columns[0].width = kRowNumberWidth;
    m_colors[GCI_BACKGROUND] = GetSysColor(COLOR_APPWORKSPACE);
    m_colors[GCI_CELL] = RGB(255, 255, 255);
    m_colors[GCI_TEXT] = RGB(0, 0, 0);
    m_colors[GCI_GRIDLINE] = RGB(192, 192, 192);
    m_colors[GCI_HEADER] = GetSysColor(COLOR_BTNFACE);
    m_colors[GCI_ACTIVE] = RGB(255, 255, 160);
    m_colors[GCI_LOCKED] = RGB(232, 232, 232);
    m_colors[GCI_SELECTED] = RGB(198, 218, 255);
}

CDBGrid::~CDBGrid() {}

void CDBGrid::Register() {
    WNDCLASSEXA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExA(GetDBModule(), DBGRID_CLASS, &wc))
        return;
    wc.cbSize = sizeof(wc);
    // Global, so that dialog templates of any module can hold a grid.
    wc.style = CS_DBLCLKS | CS_GLOBALCLASS;
    wc.lpfnWndProc = ClassProc;
    wc.hInstance = GetDBModule();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = DBGRID_CLASS;
    RegisterClassExA(&wc);
}

LRESULT CALLBACK CDBGrid::ClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWindowImplBase* self = FromHandle(hwnd);
    if (!self) {
        // Grids are made by the system (dialog templates too): the object comes with the window.
        if (msg != WM_NCCREATE)
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        self = new CDBGrid;
        AttachHandle(self, hwnd);
    }
    return Dispatch(self, hwnd, msg, wParam, lParam);
}

void CDBGrid::OnFinalMessage(HWND) {
    delete this;
}

// ---------------------------------------------------------------- cells

CDBGrid::Row* CDBGrid::FindRow(int row) {
    auto it = m_data.find(row);
    return it == m_data.end() ? nullptr : &it->second;
}

CDBGrid::Row& CDBGrid::TouchRow(int row) {
    Row& r = m_data[row];
    if ((int)r.size() < m_cols + 1)
        r.resize(m_cols + 1);
    return r;
}

CDBGrid::Cell* CDBGrid::FindCell(int col, int row) {
    Row* r = FindRow(row);
    if (!r || col < 0 || col >= (int)r->size())
        return nullptr;
    return &(*r)[col];
}

CDBGrid::Cell& CDBGrid::TouchCell(int col, int row) {
    return TouchRow(row)[col];
}

const GridCellType& CDBGrid::TypeOf(int col, int row) const {
    auto it = m_data.find(row);
    if (it != m_data.end() && col < (int)it->second.size() && it->second[col].type >= 0)
        return m_types[it->second[col].type];
    if (col >= 0 && col < (int)m_columns.size() && m_columns[col].type >= 0)
        return m_types[m_columns[col].type];
    return m_types[m_defaultType];
}

bool CDBGrid::LockedAt(int col, int row) const {
    auto it = m_data.find(row);
    if (it != m_data.end() && col < (int)it->second.size() && it->second[col].lock >= 0)
        return it->second[col].lock != 0;
    if (col >= 0 && col < (int)m_columns.size() && m_columns[col].lock >= 0)
        return m_columns[col].lock != 0;
    return m_allLocked;
}

short CDBGrid::TypeIndex(const GridCellType& type) {
    for (size_t i = 0; i < m_types.size(); ++i)
        if (m_types[i] == type)
            return (short)i;
    m_types.push_back(type);
    return (short)(m_types.size() - 1);
}

std::string CDBGrid::TextAt(int col, int row) const {
    if (row == 0 && col > 0 && col < (int)m_columns.size()) {
        if (!m_columns[col].header.empty())
            return m_columns[col].header;
        // Unnamed columns are lettered A, B, ... as in a sheet.
        std::string name;
        for (int n = col; n > 0; n = (n - 1) / 26)
            name.insert(name.begin(), char('A' + (n - 1) % 26));
        return name;
    }
    auto it = m_data.find(row);
    if (it != m_data.end() && col < (int)it->second.size()) {
        if (col > 0 || !it->second[0].text.empty())
            return it->second[col].text;
    }
    if (col == 0 && row > 0)
        return std::to_string(row);
    return std::string();
}

bool CDBGrid::Accept(const GridCellType& type, const std::string& in, std::string* out) {
    if (in.empty()) {
        *out = in;
        return true;
    }
    switch (type.kind) {
        case GCT_TEXT:
            if (type.maxLength > 0 && (int)in.size() > type.maxLength)
                return false;
            *out = in;
            return true;
        case GCT_INTEGER: {
            long long v;
            if (!ParseLong(in, &v) || v < type.minValue || v > type.maxValue)
                return false;
            *out = std::to_string(v);
            return true;
        }
        case GCT_FLOAT: {
            double v;
            int whole;
            if (!ParseDouble(in, &v, &whole))
                return false;
            if (v < type.minValue || v > type.maxValue ||
                (type.intDigits > 0 && whole > type.intDigits))
                return false;
            char buffer[64];
            snprintf(buffer, sizeof(buffer), "%.*f", type.decDigits, v);
            *out = buffer;
            return true;
        }
        case GCT_DATE: {
            int y, m, d;
            if (!ParseDate(in, &y, &m, &d))
                return false;
            char buffer[16];
            snprintf(buffer, sizeof(buffer), "%04d/%02d/%02d", y, m, d);
            *out = buffer;
            return true;
        }
        case GCT_CHECK:
            if (in != "0" && in != "1")
                return false;
            *out = in;
            return true;
        case GCT_LIST:
            for (const std::string& item : SplitTabs(type.text))
                if (item == in) {
                    *out = in;
                    return true;
                }
            return false;
        default:
            *out = in;
            return true;
    }
}

bool CDBGrid::SetCellText(int col, int row, const std::string& text) {
    if (col < 0 || row < 0 || col > m_cols || row > m_rows)
        return false;
    if (row == 0 && col > 0) {
        m_columns[col].header = text;
        return true;
    }
    std::string accepted;
    if (col > 0 && !Accept(TypeOf(col, row), text, &accepted))
        return false;
    if (col == 0)
        accepted = text;
    TouchCell(col, row).text = accepted;
    return true;
}

template <class F>
void CDBGrid::ForCells(int col, int row, F f) {
    if (col > m_cols || row > m_rows)
        return;
    // Whole rows or columns address the cells, not the headers.
    int c1 = col < 0 ? 1 : col, c2 = col < 0 ? m_cols : col;
    int r1 = row < 0 ? 1 : row, r2 = row < 0 ? m_rows : row;
    for (int r = r1; r <= r2; ++r)
        for (int c = c1; c <= c2; ++c) f(c, r);
}

// ---------------------------------------------------------------- geometry

void CDBGrid::Measure() {
    HDC dc = GetDC(m_hWnd);
    HGDIOBJ old = SelectObject(dc, m_font ? (HGDIOBJ)m_font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA tm;
    if (GetTextMetricsA(dc, &tm)) {
        m_charWidth = std::max<int>(1, tm.tmAveCharWidth);
        m_rowHeight = tm.tmHeight + 5;
    }
    SelectObject(dc, old);
    ReleaseDC(m_hWnd, dc);
}

int CDBGrid::ColPixels(int col) const {
    if (col < 0 || col >= (int)m_columns.size())
        return 0;
    int w = m_columns[col].width;
    return w <= 0 ? 0 : w * m_charWidth + 6;
}

int CDBGrid::RowsShown() const {
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    int h = rc.bottom - HeaderHeight();
    if (h <= 0)
        return 0;
    return (h + m_rowHeight - 1) / m_rowHeight;
}

bool CDBGrid::CellRect(int col, int row, RECT* rect) const {
    SetRectEmpty(rect);
    if (col < 0 || row < 0 || col > m_cols || row > m_rows)
        return false;
    if ((col > 0 && col < m_leftCol) || (row > 0 && row < m_topRow))
        return false;
    int x = 0;
    if (col > 0) {
        x = ColPixels(0);
        for (int c = m_leftCol; c < col; ++c) x += ColPixels(c);
    }
    int y = row == 0 ? 0 : HeaderHeight() + (row - m_topRow) * m_rowHeight;
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    if (x >= rc.right || y >= rc.bottom)
        return false;
    SetRect(rect, x, y, x + ColPixels(col), y + m_rowHeight);
    return rect->right > rect->left;
}

bool CDBGrid::HitTest(POINT pt, int* col, int* row) const {
    *col = -1;
    *row = -1;
    if (pt.y < HeaderHeight())
        *row = 0;
    else {
        int r = m_topRow + (pt.y - HeaderHeight()) / m_rowHeight;
        if (r <= m_rows)
            *row = r;
    }
    int x = ColPixels(0);
    if (pt.x < x)
        *col = 0;
    else
        for (int c = m_leftCol; c <= m_cols; ++c) {
            x += ColPixels(c);
            if (pt.x < x) {
                *col = c;
                break;
            }
        }
    return *col >= 0 && *row >= 0;
}

void CDBGrid::UpdateScrollBars() {
    if (!m_hWnd)
        return;
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    int fullRows = std::max(1, (int)(rc.bottom - HeaderHeight()) / m_rowHeight);
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 1;
    si.nMax = std::max(1, m_rows);
    si.nPage = fullRows;
    si.nPos = m_topRow;
    SetScrollInfo(m_hWnd, SB_VERT, &si, m_redraw);
    si.nMax = std::max(1, m_cols);
    si.nPage = 1;
    si.nPos = m_leftCol;
    SetScrollInfo(m_hWnd, SB_HORZ, &si, m_redraw);
}

void CDBGrid::SetTopRow(int row) {
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    int fullRows = std::max(1, (int)(rc.bottom - HeaderHeight()) / m_rowHeight);
    int top = std::max(1, std::min(row, m_rows - fullRows + 1));
    if (top == m_topRow)
        return;
    m_topRow = top;
    EndEdit(true);
    UpdateScrollBars();
    EnsureRowsLoaded();
    Invalidate();
}

void CDBGrid::ScrollToShow(int col, int row) {
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    int fullRows = std::max(1, (int)(rc.bottom - HeaderHeight()) / m_rowHeight);
    if (row > 0 && row < m_topRow)
        SetTopRow(row);
    else if (row >= m_topRow + fullRows)
        SetTopRow(row - fullRows + 1);
    if (col > 0 && col < m_leftCol) {
        m_leftCol = col;
        Invalidate();
    } else if (col > 0) {
        // Scroll right until the column's right edge is inside.
        for (;;) {
            int x = ColPixels(0);
            for (int c = m_leftCol; c <= col; ++c) x += ColPixels(c);
            if (x <= rc.right || m_leftCol >= col)
                break;
            ++m_leftCol;
            Invalidate();
        }
    }
    UpdateScrollBars();
}

void CDBGrid::Invalidate() {
    if (m_redraw && !m_loading && m_hWnd)
        InvalidateRect(m_hWnd, nullptr, FALSE);
}

// ---------------------------------------------------------------- virtual rows

void CDBGrid::EnsureRowsLoaded() {
    if (!m_virtual || !m_redraw || m_loading || !m_hWnd || m_rows <= 0)
        return;
    int first = m_topRow;
    int last = std::min(m_rows, m_topRow + std::max(1, RowsShown()) - 1);
    // Only the rows shown are kept (and the active row, which may be edited).
    for (auto it = m_data.begin(); it != m_data.end();) {
        int r = it->first;
        if (r > 0 && (r < first || r > last) && r != m_activeRow)
            it = m_data.erase(it);
        else
            ++it;
    }
    int r = first;
    while (r <= last) {
        if (m_data.count(r)) {
            ++r;
            continue;
        }
        int end = r;
        while (end + 1 <= last && !m_data.count(end + 1)) ++end;
        for (int k = r; k <= end; ++k) TouchRow(k);
        GridVirtualRequest req = {r, end - r + 1, 0, FALSE, FALSE};
        m_loading = true;
        Notify(GN_VIRTUALROWS, &req);
        m_loading = false;
        if (!m_hWnd)
            return;
        // Rows the owner did not fill are asked for again later.
        for (int k = r + std::max(0, req.rowsLoaded); k <= end; ++k) m_data.erase(k);
        r = end + 1;
    }
}

// ---------------------------------------------------------------- activity

void CDBGrid::Notify(UINT code, void* record, LRESULT* answer) {
    HWND owner = m_owner ? m_owner : GetParent(m_hWnd);
    LRESULT r = 0;
    if (owner)
        r = SendMessageA(owner, code, (WPARAM)GetDlgCtrlID(m_hWnd), (LPARAM)record);
    if (answer)
        *answer = r;
}

bool CDBGrid::MoveActive(int col, int row) {
    col = std::max(1, std::min(col, m_cols));
    row = std::max(1, std::min(row, m_rows));
    if (m_cols < 1 || m_rows < 1)
        return false;
    EndEdit(true);
    if (!m_hWnd)
        return false;
    if (col == m_activeCol && row == m_activeRow) {
        ScrollToShow(col, row);
        return true;
    }
    GridLeaveCell leave = {m_activeCol, m_activeRow, col, row, FALSE};
    int oldCol = m_activeCol, oldRow = m_activeRow;
    if (oldCol > 0 && oldRow > 0) {
        Notify(GN_LEAVECELL, &leave);
        if (!m_hWnd)
            return false;
        // The owner may have refused the move or put the cell elsewhere.
        if (leave.cancel || m_activeCol != oldCol || m_activeRow != oldRow)
            return false;
    }
    m_activeCol = col;
    m_activeRow = row;
    ScrollToShow(col, row);
    Invalidate();
    return true;
}

void CDBGrid::BeginEdit(const char* firstChar) {
    if (m_edit || m_activeCol < 1 || m_activeRow < 1)
        return;
    const GridCellType type = TypeOf(m_activeCol, m_activeRow);
    GridEditQuery q = {m_activeCol, m_activeRow,
                       !LockedAt(m_activeCol, m_activeRow) && type.kind != GCT_STATIC};
    Notify(GN_EDITQUERY, &q);
    if (!q.allow || !m_hWnd || type.kind == GCT_CHECK)
        return;
    ScrollToShow(m_activeCol, m_activeRow);
    RECT rc;
    if (!CellRect(m_activeCol, m_activeRow, &rc))
        return;
    HFONT font = m_font ? m_font : (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    std::string text = TextAt(m_activeCol, m_activeRow);
    if (type.kind == GCT_LIST) {
        m_edit = CreateWindowExA(
            0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST, rc.left,
            rc.top, rc.right - rc.left, m_rowHeight * 8, m_hWnd, (HMENU)1, GetDBModule(), nullptr);
        if (!m_edit)
            return;
        SendMessageA(m_edit, WM_SETFONT, (WPARAM)font, 0);
        for (const std::string& item : SplitTabs(type.text))
            SendMessageA(m_edit, CB_ADDSTRING, 0, (LPARAM)item.c_str());
        LRESULT at = text.empty() ? CB_ERR
                                  : SendMessageA(m_edit, CB_FINDSTRINGEXACT, (WPARAM)-1,
                                                 (LPARAM)text.c_str());
        if (at != CB_ERR)
            SendMessageA(m_edit, CB_SETCURSEL, at, 0);
    } else {
        m_edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, rc.left + 1,
                                 rc.top + 1, rc.right - rc.left - 2, rc.bottom - rc.top - 2, m_hWnd,
                                 (HMENU)1, GetDBModule(), nullptr);
        if (!m_edit)
            return;
        SendMessageA(m_edit, WM_SETFONT, (WPARAM)font, 0);
        if (type.kind == GCT_TEXT && type.maxLength > 0)
            SendMessageA(m_edit, EM_LIMITTEXT, type.maxLength, 0);
        if (firstChar) {
            SetWindowTextA(m_edit, firstChar);
            SendMessageA(m_edit, EM_SETSEL, strlen(firstChar), strlen(firstChar));
        } else {
            SetWindowTextA(m_edit, text.c_str());
            SendMessageA(m_edit, EM_SETSEL, 0, -1);
        }
    }
    m_editCol = m_activeCol;
    m_editRow = m_activeRow;
    SetPropA(m_edit, "MavroDBGrid", (HANDLE)this);
    m_editProc = (WNDPROC)SetWindowLongPtrA(m_edit, GWLP_WNDPROC, (LONG_PTR)EditProc);
    SetFocus(m_edit);
}

void CDBGrid::EndEdit(bool commit) {
    if (!m_edit || m_ending)
        return;
    m_ending = true;
    HWND edit = m_edit;
    std::string text;
    if (GetWindowLongA(edit, GWL_STYLE) & CBS_DROPDOWNLIST) {
        LRESULT sel = SendMessageA(edit, CB_GETCURSEL, 0, 0);
        if (sel != CB_ERR) {
            LRESULT len = SendMessageA(edit, CB_GETLBTEXTLEN, sel, 0);
            std::vector<char> buffer(len + 1);
            SendMessageA(edit, CB_GETLBTEXT, sel, (LPARAM)buffer.data());
            text = buffer.data();
        } else {
            commit = false;
        }
    } else {
        int len = GetWindowTextLengthA(edit);
        std::vector<char> buffer(len + 1);
        GetWindowTextA(edit, buffer.data(), len + 1);
        text = buffer.data();
    }
    m_edit = nullptr;
    bool hadFocus = GetFocus() == edit;
    SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)m_editProc);
    RemovePropA(edit, "MavroDBGrid");
    ::DestroyWindow(edit);
    if (hadFocus)
        SetFocus(m_hWnd);
    m_ending = false;
    if (commit)
        CommitUserText(m_editCol, m_editRow, text);
    Invalidate();
}

void CDBGrid::CommitUserText(int col, int row, const std::string& text) {
    if (text == TextAt(col, row))
        return;
    if (!SetCellText(col, row, text)) {
        MessageBeep(MB_OK);
        return;
    }
    m_changed = true;
    Invalidate();
    GridCellRef ref = {col, row};
    Notify(GN_CELLCHANGED, &ref);
}

LRESULT CALLBACK CDBGrid::EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDBGrid* self = static_cast<CDBGrid*>(GetPropA(hwnd, "MavroDBGrid"));
    if (!self)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    WNDPROC proc = self->m_editProc;
    if (msg == WM_GETDLGCODE)
        return DLGC_WANTALLKEYS | CallWindowProcA(proc, hwnd, msg, wParam, lParam);
    if (msg == WM_KEYDOWN) {
        switch (wParam) {
            case VK_RETURN:
                self->EndEdit(true);
                return 0;
            case VK_ESCAPE:
                self->EndEdit(false);
                return 0;
            case VK_TAB:
                self->EndEdit(true);
                self->MoveActive(self->m_activeCol + 1, self->m_activeRow);
                return 0;
            case VK_UP:
            case VK_DOWN:
                if (!(GetWindowLongA(hwnd, GWL_STYLE) & CBS_DROPDOWNLIST) ||
                    !SendMessageA(hwnd, CB_GETDROPPEDSTATE, 0, 0)) {
                    self->EndEdit(true);
                    self->MoveActive(self->m_activeCol,
                                     self->m_activeRow + (wParam == VK_UP ? -1 : 1));
                    return 0;
                }
                break;
        }
    }
    if (msg == WM_CHAR) {
        if (wParam == '\r' || wParam == '\t' || wParam == 27)
            return 0;
        // Number and date cells take only what they can hold.
        int kind = self->TypeOf(self->m_editCol, self->m_editRow).kind;
        char c = (char)wParam;
        bool control = (unsigned)wParam < 32;
        if (!control &&
            ((kind == GCT_INTEGER && !isdigit((unsigned char)c) && c != '-') ||
             (kind == GCT_FLOAT && !isdigit((unsigned char)c) && c != '-' && c != '.') ||
             (kind == GCT_DATE && !isdigit((unsigned char)c) && c != '/'))) {
            MessageBeep(MB_OK);
            return 0;
        }
    }
    if (msg == WM_KILLFOCUS) {
        LRESULT r = CallWindowProcA(proc, hwnd, msg, wParam, lParam);
        HWND to = (HWND)wParam;
        if (to != hwnd && !(to && IsChild(hwnd, to)))
            self->EndEdit(true);
        return r;
    }
    return CallWindowProcA(proc, hwnd, msg, wParam, lParam);
}

void CDBGrid::OnKey(int key) {
    GridKeyDown kd = {m_activeCol, m_activeRow, key};
    LRESULT handled = 0;
    Notify(GN_KEYDOWN, &kd, &handled);
    if (handled || !m_hWnd)
        return;
    bool ctrl = GetKeyState(VK_CONTROL) < 0;
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    int page = std::max(1, (int)(rc.bottom - HeaderHeight()) / m_rowHeight);
    switch (key) {
        case VK_LEFT:
            MoveActive(m_activeCol - 1, m_activeRow);
            break;
        case VK_RIGHT:
        case VK_TAB:
            MoveActive(m_activeCol + 1, m_activeRow);
            break;
        case VK_UP:
            MoveActive(m_activeCol, m_activeRow - 1);
            break;
        case VK_DOWN:
            MoveActive(m_activeCol, m_activeRow + 1);
            break;
        case VK_PRIOR:
            MoveActive(m_activeCol, m_activeRow - page);
            break;
        case VK_NEXT:
            MoveActive(m_activeCol, m_activeRow + page);
            break;
        case VK_HOME:
            MoveActive(ctrl ? 1 : 1, ctrl ? 1 : m_activeRow);
            break;
        case VK_END:
            MoveActive(ctrl ? m_cols : m_cols, ctrl ? m_rows : m_activeRow);
            break;
        case VK_F2:
        case VK_RETURN:
            BeginEdit(nullptr);
            break;
        case VK_SPACE:
            if (TypeOf(m_activeCol, m_activeRow).kind == GCT_CHECK &&
                !LockedAt(m_activeCol, m_activeRow))
                CommitUserText(m_activeCol, m_activeRow,
                               TextAt(m_activeCol, m_activeRow) == "1" ? "0" : "1");
            break;
        case VK_DELETE:
            // Clears the unlocked cells of a block, or the active cell.
            {
                GridRange r = m_hasSel
                                  ? m_sel
                                  : GridRange{m_activeCol, m_activeRow, m_activeCol, m_activeRow};
                int c1 = r.col1 < 0 ? 1 : r.col1, c2 = r.col1 < 0 ? m_cols : r.col2;
                int r1 = r.row1 < 0 ? 1 : r.row1, r2 = r.row1 < 0 ? m_rows : r.row2;
                for (int y = r1; y <= r2 && m_hWnd; ++y)
                    for (int x = c1; x <= c2 && m_hWnd; ++x) {
                        int kind = TypeOf(x, y).kind;
                        if (x > 0 && y > 0 && !LockedAt(x, y) && kind != GCT_STATIC &&
                            kind != GCT_CHECK)
                            CommitUserText(x, y, "");
                    }
            }
            break;
    }
}

void CDBGrid::OnClick(POINT pt, bool dbl) {
    int col, row;
    if (GetFocus() != m_hWnd)
        SetFocus(m_hWnd);
    if (!HitTest(pt, &col, &row))
        return;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    if (row == 0 && col == 0) {
        m_sel = GridRange{-1, -1, -1, -1};
        m_hasSel = m_rows > 0 && m_cols > 0;
        Invalidate();
        return;
    }
    if (row == 0 || col == 0) {
        // Header clicks select whole columns or rows (with Shift, a span).
        EndEdit(true);
        if (row == 0) {
            int from = shift && m_hasSel && m_sel.row1 == -1 ? m_anchorCol : col;
            m_anchorCol = from;
            m_sel = GridRange{std::min(from, col), -1, std::max(from, col), -1};
        } else {
            int from = shift && m_hasSel && m_sel.col1 == -1 ? m_anchorRow : row;
            m_anchorRow = from;
            m_sel = GridRange{-1, std::min(from, row), -1, std::max(from, row)};
        }
        m_hasSel = true;
        Invalidate();
        return;
    }
    if (dbl) {
        GridCellRef ref = {col, row};
        LRESULT handled = 0;
        Notify(GN_CELLACTIVATED, &ref, &handled);
        if (!handled && m_hWnd && col == m_activeCol && row == m_activeRow)
            BeginEdit(nullptr);
        return;
    }
    if (shift && m_activeCol > 0) {
        m_sel = GridRange{std::min(m_activeCol, col), std::min(m_activeRow, row),
                          std::max(m_activeCol, col), std::max(m_activeRow, row)};
        m_hasSel = true;
        Invalidate();
        return;
    }
    bool wasActive = col == m_activeCol && row == m_activeRow;
    m_hasSel = false;
    if (!MoveActive(col, row) || !m_hWnd)
        return;
    const GridCellType& type = TypeOf(col, row);
    if (type.kind == GCT_CHECK && !LockedAt(col, row)) {
        RECT rc;
        CellRect(col, row, &rc);
        if (pt.x < rc.left + kCheckSize + 6)
            CommitUserText(col, row, TextAt(col, row) == "1" ? "0" : "1");
    } else if (wasActive || type.kind == GCT_LIST) {
        BeginEdit(nullptr);
    }
}

// ---------------------------------------------------------------- painting

void CDBGrid::Paint(HDC dc, const RECT& clip) {
    RECT client;
    GetClientRect(m_hWnd, &client);
    EnsureRowsLoaded();
    HGDIOBJ oldFont = SelectObject(dc, m_font ? (HGDIOBJ)m_font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, OPAQUE);
    int oldAlign = SetTextAlign(dc, TA_LEFT | TA_TOP);

    // Columns shown: x positions.
    std::vector<int> cols;
    std::vector<int> xs;
    int x = 0;
    if (ColPixels(0) > 0) {
        cols.push_back(0);
        xs.push_back(0);
        x = ColPixels(0);
    }
    for (int c = m_leftCol; c <= m_cols && x < client.right; ++c) {
        int w = ColPixels(c);
        if (w <= 0)
            continue;
        cols.push_back(c);
        xs.push_back(x);
        x += w;
    }
    int right = x;
    int bottomRow = std::min(m_rows, m_topRow + RowsShown() - 1);
    int bottom = HeaderHeight() + std::max(0, bottomRow - m_topRow + 1) * m_rowHeight;

    HBRUSH lineBrush = CreateSolidBrush(m_colors[GCI_GRIDLINE]);
    auto inSel = [&](int c, int r) {
        if (!m_hasSel || c == 0 || r == 0)
            return false;
        bool colIn = m_sel.col1 < 0 || (c >= m_sel.col1 && c <= m_sel.col2);
        bool rowIn = m_sel.row1 < 0 || (r >= m_sel.row1 && r <= m_sel.row2);
        return colIn && rowIn;
    };
    COLORREF curBack = CLR_INVALID;
    COLORREF curText = CLR_INVALID;
    std::string text;
    for (int r = 0; r <= bottomRow; r = (r == 0 ? m_topRow : r + 1)) {
        int y = r == 0 ? 0 : HeaderHeight() + (r - m_topRow) * m_rowHeight;
        if (y >= clip.bottom)
            break;
        if (y + m_rowHeight <= clip.top)
            continue;
        auto rowIt = m_data.find(r);
        const Row* rowCells = rowIt == m_data.end() ? nullptr : &rowIt->second;
        for (size_t i = 0; i < cols.size(); ++i) {
            int c = cols[i];
            int w = ColPixels(c);
            RECT cell = {xs[i], y, xs[i] + w - 1, y + m_rowHeight - 1};
            if (cell.left >= clip.right || cell.right + 1 <= clip.left)
                continue;
            bool header = r == 0 || c == 0;
            COLORREF back;
            const Cell* cellData =
                rowCells && c < (int)rowCells->size() ? &(*rowCells)[c] : nullptr;
            if (header)
                back = m_colors[GCI_HEADER];
            else if (c == m_activeCol && r == m_activeRow)
                back = m_colors[GCI_ACTIVE];
            else if (inSel(c, r))
                back = m_colors[GCI_SELECTED];
            else if (cellData && cellData->back != CLR_INVALID)
                back = cellData->back;
            else if (LockedAt(c, r))
                back = m_colors[GCI_LOCKED];
            else
                back = m_colors[GCI_CELL];
            if (back != curBack)
                SetBkColor(dc, curBack = back);
            if (m_colors[GCI_TEXT] != curText)
                SetTextColor(dc, curText = m_colors[GCI_TEXT]);
            const GridCellType& type = header ? m_types[0] : TypeOf(c, r);
            if (header || !cellData)
                text = TextAt(c, r);
            const std::string& shown = header || !cellData ? text : cellData->text;
            if (type.kind == GCT_CHECK) {
                ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &cell, nullptr, 0, nullptr);
                RECT box = {cell.left + 3, cell.top + (m_rowHeight - kCheckSize) / 2,
                            cell.left + 3 + kCheckSize,
                            cell.top + (m_rowHeight - kCheckSize) / 2 + kCheckSize};
                DrawFrameControl(dc, &box, DFC_BUTTON,
                                 DFCS_BUTTONCHECK | DFCS_FLAT | (shown == "1" ? DFCS_CHECKED : 0));
                RECT capt = cell;
                capt.left = box.right + 3;
                ExtTextOutA(dc, capt.left, cell.top + 2, ETO_CLIPPED, &capt, type.text.c_str(),
                            (UINT)type.text.size(), nullptr);
            } else {
                bool numeric = type.kind == GCT_INTEGER || type.kind == GCT_FLOAT;
                if (numeric || header) {
                    // Numbers to the right, headers in the middle.
                    SetTextAlign(dc, (numeric ? TA_RIGHT : TA_CENTER) | TA_TOP);
                    int tx = numeric ? cell.right - 3 : (cell.left + cell.right) / 2;
                    ExtTextOutA(dc, tx, cell.top + 2, ETO_OPAQUE | ETO_CLIPPED, &cell,
                                shown.c_str(), (UINT)shown.size(), nullptr);
                    SetTextAlign(dc, TA_LEFT | TA_TOP);
                } else {
                    ExtTextOutA(dc, cell.left + 3, cell.top + 2, ETO_OPAQUE | ETO_CLIPPED, &cell,
                                shown.c_str(), (UINT)shown.size(), nullptr);
                }
            }
        }
    }
    // Grid lines on the right and bottom edge of every cell.
    HGDIOBJ oldBrush = SelectObject(dc, lineBrush);
    for (size_t i = 0; i < cols.size(); ++i)
        PatBlt(dc, xs[i] + ColPixels(cols[i]) - 1, 0, 1, bottom, PATCOPY);
    for (int y = m_rowHeight - 1; y < bottom; y += m_rowHeight) PatBlt(dc, 0, y, right, 1, PATCOPY);
    SelectObject(dc, oldBrush);
    DeleteObject(lineBrush);
    // The areas beside and below the cells.
    HBRUSH backBrush = CreateSolidBrush(m_colors[GCI_BACKGROUND]);
    RECT side = {right, 0, client.right, client.bottom};
    RECT below = {0, bottom, right, client.bottom};
    if (side.right > side.left)
        FillRect(dc, &side, backBrush);
    if (below.bottom > below.top)
        FillRect(dc, &below, backBrush);
    DeleteObject(backBrush);
    SetTextAlign(dc, oldAlign);
    SelectObject(dc, oldFont);
}

// ---------------------------------------------------------------- messages

BOOL CDBGrid::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                   LRESULT& result) {
    (void)hwnd;
    result = 0;
    switch (msg) {
        case WM_CREATE:
            Measure();
            UpdateScrollBars();
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(m_hWnd, &ps);
            if (m_redraw)
                Paint(dc, ps.rcPaint);
            EndPaint(m_hWnd, &ps);
            return TRUE;
        }
        case WM_PRINTCLIENT: {
            RECT rc;
            GetClientRect(m_hWnd, &rc);
            Paint((HDC)wParam, rc);
            return TRUE;
        }
        case WM_ERASEBKGND:
            result = 1;
            return TRUE;
        case WM_SIZE:
            EndEdit(true);
            UpdateScrollBars();
            EnsureRowsLoaded();
            Invalidate();
            return TRUE;
        case WM_SETFONT:
            m_font = (HFONT)wParam;
            Measure();
            UpdateScrollBars();
            if (lParam)
                Invalidate();
            return TRUE;
        case WM_GETFONT:
            result = (LRESULT)m_font;
            return TRUE;
        case WM_GETDLGCODE:
            result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS;
            return TRUE;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            OnClick(pt, msg == WM_LBUTTONDBLCLK);
            return TRUE;
        }
        case WM_KEYDOWN:
            OnKey((int)wParam);
            return TRUE;
        case WM_CHAR:
            if (wParam >= 32 && !m_edit) {
                char first[2] = {(char)wParam, 0};
                if (TypeOf(m_activeCol, m_activeRow).kind != GCT_CHECK && wParam != ' ')
                    BeginEdit(first);
            }
            return TRUE;
        case WM_MOUSEWHEEL:
            SetTopRow(m_topRow - 3 * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA);
            return TRUE;
        case WM_VSCROLL:
        case WM_HSCROLL: {
            bool vert = msg == WM_VSCROLL;
            SCROLLINFO si = {};
            si.cbSize = sizeof(si);
            si.fMask = SIF_ALL;
            GetScrollInfo(m_hWnd, vert ? SB_VERT : SB_HORZ, &si);
            int pos = vert ? m_topRow : m_leftCol;
            int page = std::max(1, (int)si.nPage);
            switch (LOWORD(wParam)) {
                case SB_LINEUP:
                    --pos;
                    break;
                case SB_LINEDOWN:
                    ++pos;
                    break;
                case SB_PAGEUP:
                    pos -= page;
                    break;
                case SB_PAGEDOWN:
                    pos += page;
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION:
                    pos = si.nTrackPos;
                    break;
                case SB_TOP:
                    pos = 1;
                    break;
                case SB_BOTTOM:
                    pos = vert ? m_rows : m_cols;
                    break;
            }
            if (vert)
                SetTopRow(pos);
            else {
                m_leftCol = std::max(1, std::min(pos, std::max(1, m_cols)));
                EndEdit(true);
                UpdateScrollBars();
                Invalidate();
            }
            return TRUE;
        }
        case WM_COMMAND:
            // The list's choice ends its edit.
            if ((HWND)lParam == m_edit && HIWORD(wParam) == CBN_SELENDOK)
                PostMessageA(m_hWnd, GM_SETEDITMODE, 0, 0);
            return TRUE;

        case GM_SETMAXROWS: {
            int n = std::max(0, (int)wParam);
            EndEdit(true);
            m_rows = n;
            for (auto it = m_data.begin(); it != m_data.end();)
                it = it->first > n ? m_data.erase(it) : std::next(it);
            if (m_activeRow > n)
                m_activeRow = n;
            if (m_activeRow == 0)
                m_activeCol = 0;
            if (m_topRow > std::max(1, n))
                m_topRow = std::max(1, n);
            UpdateScrollBars();
            EnsureRowsLoaded();
            Invalidate();
            return TRUE;
        }
        case GM_GETMAXROWS:
            result = m_rows;
            return TRUE;
        case GM_SETMAXCOLS: {
            int n = std::max(0, (int)wParam);
            EndEdit(true);
            m_cols = n;
            Column fresh;
            fresh.width = kDefaultWidth;
            m_columns.resize(n + 1, fresh);
            for (auto& r : m_data) r.second.resize(n + 1);
            if (m_activeCol > n)
                m_activeCol = n;
            if (m_activeCol == 0)
                m_activeRow = 0;
            m_leftCol = std::max(1, std::min(m_leftCol, std::max(1, n)));
            UpdateScrollBars();
            Invalidate();
            return TRUE;
        }
        case GM_GETMAXCOLS:
            result = m_cols;
            return TRUE;
        case GM_SETTEXT: {
            const GridText* t = (const GridText*)lParam;
            if (!t)
                return TRUE;
            std::string text = t->text ? t->text : "";
            if (t->col < 0 || t->row < 0) {
                bool all = true;
                ForCells(t->col, t->row,
                         [&](int c, int r) { all = SetCellText(c, r, text) && all; });
                result = all;
            } else {
                result = SetCellText(t->col, t->row, text);
            }
            Invalidate();
            return TRUE;
        }
        case GM_GETTEXT: {
            GridText* t = (GridText*)lParam;
            if (!t)
                return TRUE;
            std::string text = TextAt(t->col, t->row);
            if (t->buffer && t->size > 0) {
                size_t n = std::min(text.size(), (size_t)t->size - 1);
                memcpy(t->buffer, text.data(), n);
                t->buffer[n] = 0;
            }
            result = (LRESULT)text.size();
            return TRUE;
        }
        case GM_SETTYPE: {
            const GridSetType* s = (const GridSetType*)lParam;
            if (!s || !s->type)
                return TRUE;
            short index = TypeIndex(*s->type);
            if (s->col < 0 && s->row < 0) {
                // Every cell: the default, and no column or cell keeps its own.
                m_defaultType = index;
                for (auto& c : m_columns) c.type = -1;
                for (auto& r : m_data)
                    for (auto& cell : r.second) cell.type = -1;
            } else if (s->row < 0 && s->col >= 0 && s->col <= m_cols) {
                m_columns[s->col].type = index;
                for (auto& r : m_data)
                    if (s->col < (int)r.second.size())
                        r.second[s->col].type = -1;
            } else {
                ForCells(s->col, s->row, [&](int c, int r) { TouchCell(c, r).type = index; });
            }
            // Texts the new type cannot hold are cleared, never cut.
            for (auto& r : m_data) {
                if (r.first == 0)
                    continue;
                for (int c = 1; c < (int)r.second.size(); ++c) {
                    std::string kept;
                    if (!Accept(TypeOf(c, r.first), r.second[c].text, &kept))
                        kept.clear();
                    r.second[c].text = kept;
                }
            }
            Invalidate();
            result = TRUE;
            return TRUE;
        }
        case GM_GETTYPE: {
            const GridCellRef* ref = (const GridCellRef*)wParam;
            GridCellType* out = (GridCellType*)lParam;
            if (ref && out)
                *out = TypeOf(ref->col, ref->row);
            result = out ? out->kind : 0;
            return TRUE;
        }
        case GM_SETLOCK: {
            const GridCellRef* ref = (const GridCellRef*)lParam;
            signed char lock = wParam ? 1 : 0;
            if (!ref || (ref->col < 0 && ref->row < 0)) {
                m_allLocked = lock != 0;
                for (auto& c : m_columns) c.lock = -1;
                for (auto& r : m_data)
                    for (auto& cell : r.second) cell.lock = -1;
            } else if (ref->row < 0 && ref->col <= m_cols) {
                m_columns[ref->col].lock = lock;
                for (auto& r : m_data)
                    if (ref->col < (int)r.second.size())
                        r.second[ref->col].lock = -1;
            } else {
                ForCells(ref->col, ref->row, [&](int c, int r) { TouchCell(c, r).lock = lock; });
            }
            Invalidate();
            return TRUE;
        }
        case GM_GETLOCK: {
            const GridCellRef* ref = (const GridCellRef*)lParam;
            result = ref ? LockedAt(ref->col, ref->row) : m_allLocked;
            return TRUE;
        }
        case GM_SETACTIVECELL: {
            int col = (int)wParam, row = (int)lParam;
            EndEdit(true);
            if (col < 1 || row < 1 || col > m_cols || row > m_rows) {
                m_activeCol = m_activeRow = 0;
            } else {
                m_activeCol = col;
                m_activeRow = row;
                ScrollToShow(col, row);
                EnsureRowsLoaded();
            }
            m_hasSel = false;
            Invalidate();
            result = m_activeCol > 0;
            return TRUE;
        }
        case GM_GETACTIVECELL: {
            GridCellRef* ref = (GridCellRef*)lParam;
            if (ref) {
                ref->col = m_activeCol;
                ref->row = m_activeRow;
            }
            result = m_activeCol > 0 && m_activeRow > 0;
            return TRUE;
        }
        case GM_SETEDITMODE:
            if (wParam)
                BeginEdit(nullptr);
            else
                EndEdit(true);
            result = m_edit != nullptr;
            return TRUE;
        case GM_GETEDITMODE:
            result = m_edit != nullptr;
            return TRUE;
        case GM_GETEDITWINDOW:
            result = (LRESULT)m_edit;
            return TRUE;
        case GM_SETSELECTION: {
            const GridRange* r = (const GridRange*)lParam;
            m_hasSel = r != nullptr;
            if (r)
                m_sel = *r;
            Invalidate();
            return TRUE;
        }
        case GM_GETSELECTION: {
            GridRange* r = (GridRange*)lParam;
            if (r)
                *r = m_hasSel ? m_sel
                              : GridRange{m_activeCol, m_activeRow, m_activeCol, m_activeRow};
            result = m_hasSel;
            return TRUE;
        }
        case GM_SETCHANGED:
            m_changed = wParam != 0;
            return TRUE;
        case GM_GETCHANGED:
            result = m_changed;
            return TRUE;
        case GM_SETREDRAW: {
            bool on = wParam != 0;
            if (on == m_redraw)
                return TRUE;
            m_redraw = on;
            if (on) {
                UpdateScrollBars();
                EnsureRowsLoaded();
                InvalidateRect(m_hWnd, nullptr, FALSE);
            }
            return TRUE;
        }
        case GM_GETREDRAW:
            result = m_redraw;
            return TRUE;
        case GM_SETVIRTUAL:
            m_virtual = wParam != 0;
            EnsureRowsLoaded();
            return TRUE;
        case GM_ISROWKEPT:
            result = m_data.count((int)wParam) != 0;
            return TRUE;
        case GM_SETCOLWIDTH:
            if ((int)wParam >= 0 && (int)wParam <= m_cols) {
                m_columns[wParam].width = std::max(0, (int)lParam);
                UpdateScrollBars();
                Invalidate();
            }
            return TRUE;
        case GM_GETCOLWIDTH:
            result = (int)wParam >= 0 && (int)wParam <= m_cols ? m_columns[wParam].width : 0;
            return TRUE;
        case GM_SETCOLOR:
            if (wParam < GCI_COUNT) {
                m_colors[wParam] = (COLORREF)lParam;
                Invalidate();
            }
            return TRUE;
        case GM_GETCOLOR:
            result = wParam < GCI_COUNT ? m_colors[wParam] : CLR_INVALID;
            return TRUE;
        case GM_SETCELLCOLOR: {
            const GridCellColor* cc = (const GridCellColor*)lParam;
            if (cc)
                ForCells(cc->col, cc->row, [&](int c, int r) { TouchCell(c, r).back = cc->back; });
            Invalidate();
            return TRUE;
        }
        case GM_GETCELLRECT: {
            GridCellRect* cr = (GridCellRect*)lParam;
            result = cr && CellRect(cr->col, cr->row, &cr->rect);
            return TRUE;
        }
        case GM_DELETEROWS: {
            int first = (int)wParam, count = (int)lParam;
            if (first < 1 || count < 1 || first > m_rows)
                return TRUE;
            count = std::min(count, m_rows - first + 1);
            EndEdit(false);
            std::map<int, Row> moved;
            for (auto& r : m_data) {
                if (r.first < first)
                    moved[r.first] = std::move(r.second);
                else if (r.first >= first + count)
                    moved[r.first - count] = std::move(r.second);
            }
            m_data.swap(moved);
            m_rows -= count;
            if (m_activeRow >= first + count)
                m_activeRow -= count;
            else if (m_activeRow >= first)
                m_activeRow = std::min(first, m_rows);
            if (m_activeRow == 0)
                m_activeCol = 0;
            m_hasSel = false;
            m_changed = true;
            UpdateScrollBars();
            EnsureRowsLoaded();
            Invalidate();
            result = count;
            return TRUE;
        }
        case GM_DELETECOL: {
            int col = (int)wParam;
            if (col < 1 || col > m_cols)
                return TRUE;
            EndEdit(false);
            m_columns.erase(m_columns.begin() + col);
            for (auto& r : m_data)
                if (col < (int)r.second.size())
                    r.second.erase(r.second.begin() + col);
            --m_cols;
            if (m_activeCol > m_cols)
                m_activeCol = m_cols;
            if (m_activeCol == 0)
                m_activeRow = 0;
            m_hasSel = false;
            m_changed = true;
            UpdateScrollBars();
            Invalidate();
            result = TRUE;
            return TRUE;
        }
        case GM_GETVALUE: {
            GridNumber* n = (GridNumber*)lParam;
            if (!n)
                return TRUE;
            std::string text = TextAt(n->col, n->row);
            double v;
            int whole;
            result = !text.empty() && ParseDouble(text, &v, &whole);
            n->doubleValue = result ? v : 0;
            n->longValue = result ? (long)std::llround(v) : 0;
            return TRUE;
        }
        case GM_SETTOPROW:
            SetTopRow((int)wParam);
            return TRUE;
        case GM_GETTOPROW:
            result = m_topRow;
            return TRUE;
        case GM_SETOWNER:
            m_owner = (HWND)wParam;
            return TRUE;
    }
    return FALSE;
}
