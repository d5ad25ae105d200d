#include "aDBrowser.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <commctrl.h>

#include <algorithm>

#include "aBaseCore.h"
#include "aDBModule.h"
#include "aDBPage.h"
#include "aDBResource.h"
#include "bByteOrder.h"
#include "bMediaManager.h"
#include "bTextCut.h"

namespace {

// DAO field types the browser tells apart.
enum {
    kBoolean = 1,
    kByte = 2,
    kInteger = 3,
    kLong = 4,
    kCurrency = 5,
    kSingle = 6,
    kDouble = 7,
    kDate = 8,
    kText = 10,
    kMemo = 12,
};

bool IsMediaType(int type) {
    return type >= 1024 && type <= 1030;
}

void CopyName(char* to, size_t size, const std::string& from) {
    memset(to, 0, size);
    memcpy(to, from.c_str(), MbCutLength(from.c_str(), size - 1));
}

GridCellType NumberType(int kind, double low, double high, int intDigits = 0, int decDigits = 0) {
    GridCellType t;
    t.kind = kind;
    t.minValue = low;
    t.maxValue = high;
    t.intDigits = intDigits;
    t.decDigits = decDigits;
    return t;
}

}  // namespace

std::string MediaCellText(const VARIANT* value, int linkFlag) {
    if (!value || V_VT(value) == VT_EMPTY || V_VT(value) == VT_NULL)
        return std::string();
    ValueBytes bytes(value);
    size_t start = linkFlag == 1 ? 0 : 4;
    const char* text = reinterpret_cast<const char*>(bytes.data);
    const void* end = start < bytes.size ? memchr(text + start, 0, bytes.size - start) : nullptr;
    return end ? std::string(text + start, static_cast<const char*>(end))
               : DBLoadString(IDS_DB_DATA_ERROR);
}

int MediaKindMask(int type) {
    static const int masks[] = {2, 32, 16, 4, 8, 1};  // 1024 .. 1029
    return type >= 1024 && type <= 1029 ? masks[type - 1024] : -1;
}

namespace {

bool ByteArrayValue(const std::vector<unsigned char>& bytes, VARIANT* value) {
    SAFEARRAYBOUND bound = {(ULONG)bytes.size(), 0};
    SAFEARRAY* a = SafeArrayCreate(VT_UI1, 1, &bound);
    void* data = nullptr;
    if (!a || FAILED(SafeArrayAccessData(a, &data))) {
        if (a)
            SafeArrayDestroy(a);
        return false;
    }
    if (!bytes.empty())
        memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(a);
    V_VT(value) = VT_ARRAY | VT_UI1;
    V_ARRAY(value) = a;
    return true;
}

bool ReadFileBytes(const std::string& path, std::vector<unsigned char>* out) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    unsigned char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0)
        out->insert(out->end(), buffer, buffer + n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

}  // namespace

bool BuildMediaValue(bool memo, int linkFlag, const std::string& chosen, VARIANT* value) {
    VariantInit(value);
    if (memo) {
        // Line by line, each line ended by CR LF.
        std::vector<unsigned char> bytes;
        if (!ReadFileBytes(chosen, &bytes))
            return false;
        std::string text, line;
        for (unsigned char c : bytes) {
            if (c == '\n') {
                text += line + "\r\n";
                line.clear();
            } else if (c != '\r') {
                line += (char)c;
            }
        }
        if (!line.empty())
            text += line + "\r\n";
        return CDBCore::TextToVariant(value, text.c_str(), kMemo) != 0;
    }
    if (linkFlag == 1) {
        std::vector<unsigned char> name(32, 0);
        memcpy(name.data(), chosen.c_str(), std::min<size_t>(chosen.size(), 31));
        return ByteArrayValue(name, value);
    }
    std::vector<unsigned char> file;
    if (!ReadFileBytes(chosen, &file) || file.size() > 0x7FFFFFF0u - 264)
        return false;
    // Length (32-bit little-endian), the 260-byte path, the bytes.
    std::vector<unsigned char> bytes(264, 0);
    PutU32LE(&bytes[0], (uint32_t)file.size());
    memcpy(&bytes[4], chosen.c_str(), std::min<size_t>(chosen.size(), 259));
    bytes.insert(bytes.end(), file.begin(), file.end());
    return ByteArrayValue(bytes, value);
}

DatabaseBrowserDialog::DatabaseBrowserDialog(CDBCore* core) : m_core(core) {}

DatabaseBrowserDialog::~DatabaseBrowserDialog() {
    ClearPending();
    if (!m_core || !m_created)
        return;
    DataSourceEntry* entry = m_isQuery ? m_core->FindQueryByName(m_name.c_str())
                                       : m_core->FindTableByName(m_name.c_str());
    if (entry)
        entry->browser = nullptr;
    DataSourceDescriptor d = Descriptor(0, 0);
    m_core->CloseDataSource(&d);
}

HWND DatabaseBrowserDialog::Create(HWND parent) {
    CDBGrid::Register();
    HWND w = CreateDialogParamA(GetDBModule(), MAKEINTRESOURCEA(IDD_DB_BROWSER), parent, DialogProc,
                                (LPARAM)this);
    if (w && IsWindow(w)) {
        m_created = true;
        return w;
    }
    return nullptr;
}

INT_PTR CALLBACK DatabaseBrowserDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam,
                                                   LPARAM lParam) {
    DatabaseBrowserDialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<DatabaseBrowserDialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, (LONG_PTR)self);
        self->m_hWnd = hwnd;
        self->OnInitDialog();
        return FALSE;
    }
    self = reinterpret_cast<DatabaseBrowserDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self)
        return FALSE;
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
        if (self->m_created)
            delete self;
        return FALSE;
    }
    LRESULT result = 0;
    if (!self->OnMessage(msg, wParam, lParam, &result))
        return FALSE;
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

DataSourceDescriptor DatabaseBrowserDialog::Descriptor(int row, int col) const {
    DataSourceDescriptor d;
    memset(&d, 0, sizeof(d));
    CopyName(d.sourceName, sizeof(d.sourceName), m_name);
    d.isQuery = m_isQuery;
    d.position = row > 0 ? row - 1 : 0;
    if (col >= 1 && col <= (int)m_fields.size())
        CopyName(d.fieldName, sizeof(d.fieldName), m_fields[(size_t)col - 1].name);
    return d;
}

int DatabaseBrowserDialog::FieldType(int col) const {
    return col >= 1 && col <= (int)m_fields.size() ? m_fields[(size_t)col - 1].type : 0;
}

// ---------------------------------------------------------------- opening

void DatabaseBrowserDialog::OnInitDialog() {
    HWND parent = GetParent(m_hWnd);
    if (!parent)
        parent = GetWindow(m_hWnd, GW_OWNER);
    RECT pr, r;
    if (parent && GetWindowRect(parent, &pr) && GetWindowRect(m_hWnd, &r)) {
        int w = r.right - r.left, h = r.bottom - r.top;
        SetWindowPos(m_hWnd, nullptr, pr.left + (pr.right - pr.left - w) / 2,
                     pr.top + (pr.bottom - pr.top - h) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetWindowTextA(m_hWnd, m_name.c_str());

    m_toolbar = CreateWindowExA(
        0, TOOLBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP,
        0, 0, 0, 0, m_hWnd, (HMENU)(INT_PTR)IDC_DB_BROWSE_TOOLBAR, GetDBModule(), nullptr);
    if (m_toolbar && LoadDBToolBar(m_toolbar, IDR_DB_BROWSE_TOOLBAR, IDB_DB_BROWSE_TOOLBAR)) {
        TBBUTTONINFOA info = {};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_STYLE;
        info.fsStyle = BTNS_CHECK;
        SendMessageA(m_toolbar, TB_SETBUTTONINFOA, ID_DB_MEDIA_PREVIEW, (LPARAM)&info);
    }
    if (HICON icon = (HICON)LoadImageA(GetDBModule(), MAKEINTRESOURCEA(IDI_DB_BROWSER), IMAGE_ICON,
                                       16, 16, 0))
        SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, (LPARAM)icon);

    // The grid in the splitter's first column, the preview in its second;
    // the bar stays put until the preview is shown.
    RECT none = {0, 0, 0, 0};
    if (m_splitter.Create(m_hWnd, none, IDC_DB_BROWSE_SPLITTER)) {
        m_splitter.SetMovable(false);
        m_grid = CreateWindowExA(
            0, DBGRID_CLASS, "", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, 0, 0, 0, 0,
            m_splitter.m_hWnd, (HMENU)(INT_PTR)IDC_DB_BROWSE_GRID, GetDBModule(), nullptr);
        m_splitter.SetPane(0, m_grid);
        m_splitter.SetPane(1, m_preview.Create(m_splitter.m_hWnd, IDC_DB_BROWSE_PREVIEW,
                                               m_core ? m_core->GetSite() : nullptr));
        m_splitter.SetColumnInfo(0, 256, 0);
    }
    OnSize();

    DataSourceDescriptor d = Descriptor(0, 0);
    int count = 0;
    if (!m_core || !m_grid || !m_core->GetRecordCount(&d, &count)) {
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return;
    }
    m_recordCount = count;
    m_fieldCount = m_core->GetFieldCount(&d);
    if (m_fieldCount < 0) {
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return;
    }
    for (int i = 0; i < m_fieldCount; ++i) {
        DataSourceDescriptor f = Descriptor(0, 0);
        Field field;
        if (m_core->GetFieldName(&f, i)) {
            field.name.assign(f.fieldName, strnlen(f.fieldName, sizeof(f.fieldName)));
            if (!m_core->GetFieldType(&f, &field.type))
                field.type = 0;
        }
        m_fields.push_back(field);
    }
    m_updatable = m_core->IsUpdatable(&d);
    SetUpGrid();
}

void DatabaseBrowserDialog::SetUpGrid() {
    HWND g = m_grid;
    SendMessageA(g, GM_SETREDRAW, 0, 0);
    SendMessageA(g, GM_SETVIRTUAL, 1, 0);
    GridCellRef all = {-1, -1};
    m_editable = m_updatable == 1;
    SendMessageA(g, GM_SETLOCK, m_editable ? 0 : 1, (LPARAM)&all);
    SendMessageA(g, GM_SETMAXCOLS, (WPARAM)m_fieldCount, 0);
    SendMessageA(g, GM_SETMAXROWS, (WPARAM)(m_recordCount + (m_editable ? 1 : 0)), 0);
    for (int col = 1; col <= m_fieldCount; ++col) {
        dbgrid::SetText(g, col, 0, m_fields[(size_t)col - 1].name);
        int type = FieldType(col);
        GridCellType t;
        switch (type) {
            case kBoolean:
                t = dbgrid::Kind(GCT_CHECK, DBLoadString(IDS_DB_CHECK_CAPTION));
                break;
            case kByte:
                t = NumberType(GCT_INTEGER, 0, 255);
                break;
            case kInteger:
                t = NumberType(GCT_INTEGER, -32768, 32767);
                break;
            case kLong:
                t = NumberType(GCT_INTEGER, -2000000000.0, 1999999999.0);
                break;
            case kCurrency:
                t = NumberType(GCT_FLOAT, -2e9, 1999999999.0, 10, 2);
                break;
            case kSingle:
            case kDouble:
                t = NumberType(GCT_FLOAT, -2e9, 1999999999.0, 14, 6);
                break;
            case kDate:
                t = dbgrid::Kind(GCT_DATE);
                break;
            case kText:
                t = dbgrid::Kind(GCT_TEXT);
                t.maxLength = 255;
                break;
            case kMemo:
                dbgrid::SetLock(g, col, -1, true);
                continue;
            default:
                if (IsMediaType(type)) {
                    dbgrid::SetLock(g, col, -1, true);
                    continue;
                }
                t = dbgrid::Kind(GCT_STATIC);
                break;
        }
        dbgrid::SetType(g, col, -1, t);
    }
    dbgrid::TakeDialogLook(g, m_hWnd);
    SendMessageA(g, GM_SETREDRAW, 1, 0);
    if (m_editable || m_recordCount > 0) {
        SendMessageA(g, GM_SETACTIVECELL, 1, 1);
        m_currentRow = m_currentCol = 1;
        SetFocus(g);
    }
}

void DatabaseBrowserDialog::OnSize() {
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    int top = 0;
    if (m_toolbar) {
        SendMessageA(m_toolbar, TB_AUTOSIZE, 0, 0);
        RECT tr;
        GetWindowRect(m_toolbar, &tr);
        top = tr.bottom - tr.top;
    }
    if (m_splitter.m_hWnd)
        MoveWindow(m_splitter.m_hWnd, 0, top, rc.right, std::max(0, (int)rc.bottom - top), TRUE);
    LayOutColumns();
    if (m_grid) {
        if (!SendMessageA(m_grid, GM_GETREDRAW, 0, 0))
            SendMessageA(m_grid, GM_SETREDRAW, 1, 0);
        UpdateWindow(m_grid);
    }
}

// ---------------------------------------------------------------- messages

bool DatabaseBrowserDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (msg) {
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED)
                OnSize();
            return true;
        case WM_CLOSE:
            DestroyWindow(m_hWnd);
            return true;
        case WM_DESTROY:
            // The row being edited is written while the recordset is open.
            if (m_grid)
                SendMessageA(m_grid, GM_SETEDITMODE, 0, 0);
            // So is a memo text changed in the preview and not yet stored.
            if (m_previewShown)
                StoreMemoEdit(m_currentCol, m_currentRow, false);
            if (!m_pending.empty())
                WriteRow(m_pendingRow);
            ClearPending();
            return false;
        case WM_COMMAND:
            if (lParam == 0 || (HWND)lParam == m_toolbar)
                OnCommand(LOWORD(wParam));
            return true;
        case WM_NOTIFY: {
            NMHDR* header = (NMHDR*)lParam;
            if (header && header->code == TTN_GETDISPINFOA) {
                NMTTDISPINFOA* info = (NMTTDISPINFOA*)header;
                UINT id = 0;
                switch (header->idFrom) {
                    case ID_DB_MEDIA_PREVIEW:
                        id = IDS_DB_TIP_PREVIEW;
                        break;
                    case ID_DB_DELETE_RECORDS:
                        id = IDS_DB_TIP_DELETE;
                        break;
                    case ID_DB_EDIT_RECORD:
                        id = IDS_DB_TIP_EDIT;
                        break;
                    case ID_DB_MOVE_POINTER:
                        id = IDS_DB_TIP_MOVE;
                        break;
                    case ID_DB_BROWSE_HELP:
                        id = IDS_DB_TIP_HELP;
                        break;
                }
                m_tip[0] = 0;
                if (id) {
                    std::string text = DBLoadString(id);
                    memcpy(m_tip, text.c_str(), MbCutLength(text.c_str(), sizeof(m_tip) - 1));
                    m_tip[MbCutLength(text.c_str(), sizeof(m_tip) - 1)] = 0;
                }
                info->lpszText = m_tip;
                return true;
            }
            return false;
        }
        case BrowserRefreshMessage: {
            // The record is the sender's allocation, ours to free.
            BrowserRefreshRecord* record = (BrowserRefreshRecord*)lParam;
            int col = record ? record->col : 1, row = record ? record->row : 1;
            delete record;
            OnRefresh(wParam, col, row);
            return true;
        }
        case GN_VIRTUALROWS:
            if (lParam)
                LoadRows((GridVirtualRequest*)lParam);
            return true;
        case GN_CELLCHANGED:
            if (lParam)
                OnCellChanged(((GridCellRef*)lParam)->col, ((GridCellRef*)lParam)->row);
            return true;
        case GN_LEAVECELL:
            if (lParam)
                OnLeaveCell((GridLeaveCell*)lParam);
            return true;
        case GN_EDITQUERY: {
            GridEditQuery* q = (GridEditQuery*)lParam;
            if (q && q->allow) {
                GridCellType t = dbgrid::Type(m_grid, q->col, q->row);
                q->allow = !dbgrid::Locked(m_grid, q->col, q->row) && t.kind != GCT_STATIC;
            }
            return true;
        }
        case GN_KEYDOWN:
            *result = lParam && OnKeyDown(((GridKeyDown*)lParam)->key) ? 1 : 0;
            return true;
        case GN_CELLACTIVATED: {
            GridCellRef* ref = (GridCellRef*)lParam;
            if (ref && ref->col > 0 && ref->row > 0 && m_updatable == 1)
                ImportMedia(ref->col, ref->row);
            return true;
        }
    }
    return false;
}

void DatabaseBrowserDialog::OnCommand(int id) {
    switch (id) {
        case ID_DB_DELETE_RECORDS:
            if (m_editable)
                DeleteSelected();
            return;
        case ID_DB_EDIT_RECORD: {
            GridCellRef cell = {0, 0};
            if (SendMessageA(m_grid, GM_GETACTIVECELL, 0, (LPARAM)&cell)) {
                SendMessageA(m_grid, GM_SETACTIVECELL, (WPARAM)cell.col, cell.row);
                SetFocus(m_grid);
                SendMessageA(m_grid, GM_SETEDITMODE, 1, 0);
            }
            return;
        }
        case ID_DB_MEDIA_PREVIEW:
            TogglePreview();
            return;
        case ID_DB_MOVE_POINTER: {
            GridCellRef cell = {0, 0};
            if (!SendMessageA(m_grid, GM_GETACTIVECELL, 0, (LPARAM)&cell) || cell.row < 1)
                return;
            DataSourceDescriptor d = Descriptor(cell.row, 0);
            m_core->MoveToRecord(&d);
            return;
        }
    }
}

void DatabaseBrowserDialog::OnRefresh(WPARAM kind, int col, int row) {
    if (m_previewShown) {
        // The rows are reloaded: the preview goes, and its button with it.
        m_previewShown = 0;
        SendMessageA(m_toolbar, TB_CHECKBUTTON, ID_DB_MEDIA_PREVIEW, FALSE);
        m_splitter.SetMovable(false);
        m_preview.ResetPreview();
        LayOutColumns();
    }
    DataSourceDescriptor d = Descriptor(0, 0);
    GridCellRef active = {0, 0};
    bool hasActive = SendMessageA(m_grid, GM_GETACTIVECELL, 0, (LPARAM)&active) != 0;
    int count = 0;
    if (m_core->GetRecordCount(&d, &count))
        m_recordCount = count;
    SendMessageA(m_grid, GM_SETMAXROWS, 0, 0);
    SendMessageA(m_grid, GM_SETMAXROWS, (WPARAM)(m_recordCount + (m_editable ? 1 : 0)), 0);
    if (kind == 1) {
        col = std::max(1, col);
        row = std::max(1, row - 1);
    } else if (hasActive) {
        col = active.col;
        row = active.row;
    } else {
        col = row = 1;
    }
    SendMessageA(m_grid, GM_SETACTIVECELL, (WPARAM)col, row);
    GridCellRef now = {0, 0};
    if (SendMessageA(m_grid, GM_GETACTIVECELL, 0, (LPARAM)&now)) {
        m_currentCol = now.col;
        m_currentRow = now.row;
    }
}

// ---------------------------------------------------------------- rows

void DatabaseBrowserDialog::LoadRows(GridVirtualRequest* request) {
    DataSourceDescriptor d = Descriptor(0, 0);
    int count = 0;
    if (m_core->GetRecordCount(&d, &count))
        m_recordCount = count;
    request->atTop = request->row == 1;
    request->rowsLoaded = 0;
    for (int i = 0; i < request->rowsNeeded; ++i) {
        int row = request->row + i;
        if (row > m_recordCount) {
            // Beyond the records: blank rows (the new record's row).
            request->atBottom = TRUE;
            ++request->rowsLoaded;
            continue;
        }
        for (int col = 1; col <= m_fieldCount; ++col) {
            if (ReadCellToGrid(row, col) == 4) {
                // The record went away meanwhile: rebuild from a fresh count.
                request->atBottom = TRUE;
                request->rowsLoaded = request->rowsNeeded;
                PostBrowserRefresh(m_hWnd, 1, col, row);
                return;
            }
        }
        ++request->rowsLoaded;
    }
}

int DatabaseBrowserDialog::ReadCellToGrid(int row, int col) {
    DataSourceDescriptor d = Descriptor(row, col);
    VARIANT v;
    VariantInit(&v);
    int result = m_core->GetFieldValue(&d, &v);
    if (result == 1)
        dbgrid::SetText(m_grid, col, row, RenderCellText(&v, row, col));
    VariantClear(&v);
    return result;
}

std::string DatabaseBrowserDialog::RenderCellText(const VARIANT* value, int row, int col) {
    int type = FieldType(col);
    if (type == kBoolean) {
        // The check box cell holds "1" or "0".
        if (V_VT(value) == VT_EMPTY || V_VT(value) == VT_NULL)
            return std::string();
        VARIANT b;
        VariantInit(&b);
        bool on = SUCCEEDED(VariantChangeType(&b, const_cast<VARIANT*>(value), 0, VT_BOOL)) &&
                  V_BOOL(&b) != VARIANT_FALSE;
        return on ? "1" : "0";
    }
    if (type >= 1024 && type <= 1029) {
        DataSourceDescriptor d = Descriptor(row, col);
        int flag = 0;
        if (m_core->GetFieldLinkFlag(&d, &flag))
            return MediaCellText(value, flag);
    }
    std::string text;
    CDBCore::VariantText(value, type, &text, nullptr);
    return text;
}

// ---------------------------------------------------------------- editing

void DatabaseBrowserDialog::OnCellChanged(int col, int row) {
    if (col < 1 || col > m_fieldCount || row < 1)
        return;
    GridCellType t = dbgrid::Type(m_grid, col, row);
    if (t.kind == GCT_STATIC || dbgrid::Locked(m_grid, col, row)) {
        DBMessageBox("Worng brach in aDBrowser");
        return;
    }
    VARIANT v;
    VariantInit(&v);
    if (!CellTextToVariant(col, row, &v))
        return;
    SetPendingValue(m_fields[(size_t)col - 1].name, 0, &v);
    m_pendingRow = row;
    GrowForEdit(row);
}

bool DatabaseBrowserDialog::CellTextToVariant(int col, int row, VARIANT* value) {
    GridCellType t = dbgrid::Type(m_grid, col, row);
    std::string text = dbgrid::Text(m_grid, col, row);
    GridNumber number = {col, row, 0, 0.0};
    switch (t.kind) {
        case GCT_DATE: {
            int y = 0, m = 0, d = 0;
            SYSTEMTIME st = {};
            if (sscanf(text.c_str(), "%d/%d/%d", &y, &m, &d) != 3)
                return !text.empty() ? false : (V_VT(value) = VT_NULL, true);
            st.wYear = (WORD)y;
            st.wMonth = (WORD)m;
            st.wDay = (WORD)d;
            DATE date = 0;
            if (!SystemTimeToVariantTime(&st, &date))
                return false;
            V_VT(value) = VT_DATE;
            V_DATE(value) = date;
            return true;
        }
        case GCT_FLOAT:
            if (text.empty()) {
                V_VT(value) = VT_NULL;
                return true;
            }
            SendMessageA(m_grid, GM_GETVALUE, 0, (LPARAM)&number);
            V_VT(value) = VT_R8;
            V_R8(value) = number.doubleValue;
            return true;
        case GCT_INTEGER:
            if (text.empty()) {
                V_VT(value) = VT_NULL;
                return true;
            }
            SendMessageA(m_grid, GM_GETVALUE, 0, (LPARAM)&number);
            V_VT(value) = VT_I4;
            V_I4(value) = (LONG)number.longValue;
            return true;
        case GCT_CHECK:
            V_VT(value) = VT_BOOL;
            V_BOOL(value) = text == "1" ? VARIANT_TRUE : VARIANT_FALSE;
            return true;
        default:
            // Text: the core's byte string; an empty text an empty value.
            if (text.empty())
                return true;
            return CDBCore::TextToVariant(value, text.c_str(), kText) != 0;
    }
}

void DatabaseBrowserDialog::SetPendingValue(const std::string& field, int linkFlag,
                                            VARIANT* value) {
    for (FieldValuePair& p : m_pending) {
        if (strncmp(p.fieldName, field.c_str(), sizeof(p.fieldName)) == 0) {
            VariantClear(&p.value);
            p.value = *value;
            p.linkFlag = linkFlag;
            return;
        }
    }
    FieldValuePair p;
    memset(&p, 0, sizeof(p));
    CopyName(p.fieldName, sizeof(p.fieldName), field);
    p.linkFlag = linkFlag;
    p.value = *value;
    m_pending.push_back(p);
}

void DatabaseBrowserDialog::ClearPending() {
    for (FieldValuePair& p : m_pending) VariantClear(&p.value);
    m_pending.clear();
}

void DatabaseBrowserDialog::GrowForEdit(int row) {
    // Adding a record: a new blank row follows it.
    if (row >= dbgrid::Rows(m_grid) && row < m_recordCount + 2)
        SendMessageA(m_grid, GM_SETMAXROWS, (WPARAM)(m_recordCount + 2), 0);
}

int DatabaseBrowserDialog::WriteRow(int row) {
    if (m_pending.empty() || row < 1)
        return 0;
    DataSourceDescriptor d = Descriptor(row, 0);
    if (row > m_recordCount) {
        int r = m_core->AddNewRecord(&d, m_pending.data(), (int)m_pending.size());
        if (r == 1) {
            ++m_recordCount;
            ClearPending();
        }
        return r;
    }
    int r = m_core->UpdateRecord(&d, m_pending.data(), (int)m_pending.size());
    if (r == 1)
        ClearPending();
    return r;
}

void DatabaseBrowserDialog::KeepOnRow(int col, int row) {
    m_currentRow = row;
    m_currentCol = col;
    SendMessageA(m_grid, GM_SETEDITMODE, 1, 0);
}

void DatabaseBrowserDialog::OnLeaveCell(GridLeaveCell* leave) {
    if (leave->newCol == -1 || leave->newRow == -1)
        return;
    int col = leave->col, row = leave->row;
    m_currentRow = leave->newRow;
    m_currentCol = leave->newCol;
    if (m_previewShown) {
        StoreMemoEdit(col, row, true);
        UpdatePreview(leave->newCol, leave->newRow);
    }
    if (m_pending.empty() || leave->newRow == row)
        return;
    bool adding = row > m_recordCount;
    int r = WriteRow(row);
    if (adding) {
        if (r != 1) {
            leave->cancel = TRUE;
            KeepOnRow(col, row);
        }
        return;
    }
    switch (r) {
        case 3:
            // The record went: its values must not land on another one.
            ClearPending();
            PostBrowserRefresh(m_hWnd, 1, col, row);
            break;
        case 0:
        case 4:
        case 5:
        case 7:
            leave->cancel = TRUE;
            KeepOnRow(col, row);
            break;
    }
}

// ---------------------------------------------------------------- deleting

bool DatabaseBrowserDialog::OnKeyDown(int key) {
    if (key != VK_DELETE || !m_editable)
        return false;
    DeleteSelected();
    return true;
}

void DatabaseBrowserDialog::DeleteSelected() {
    SendMessageA(m_grid, GM_SETREDRAW, 0, 0);
    GridRange sel = {0, 0, 0, 0};
    bool hasSel = SendMessageA(m_grid, GM_GETSELECTION, 0, (LPARAM)&sel) != 0;
    bool wholeRows = hasSel && sel.col1 == -1 && sel.col2 == -1;
    if (wholeRows && sel.row1 >= 1) {
        // The blank new row holds no record.
        int last = std::min(sel.row2, m_recordCount);
        int failed = 0;
        for (int row = sel.row1; row <= last; ++row) {
            int at = sel.row1 + failed;
            DataSourceDescriptor d = Descriptor(at, 0);
            if (!m_core->DeleteRecord(&d)) {
                ++failed;
                continue;
            }
            DataSourceDescriptor c = Descriptor(0, 0);
            int count = 0;
            if (m_core->GetRecordCount(&c, &count))
                m_recordCount = count;
            SendMessageA(m_grid, GM_DELETEROWS, (WPARAM)at, 1);
        }
    }
    GridCellRef cell = {0, 0};
    if (!wholeRows && SendMessageA(m_grid, GM_GETACTIVECELL, 0, (LPARAM)&cell)) {
        int type = FieldType(cell.col);
        if (type >= 1024 && type <= 1028 && cell.row <= m_recordCount) {
            // Empties a media cell; the record changes when the row is left.
            DataSourceDescriptor d = Descriptor(cell.row, cell.col);
            VARIANT v;
            VariantInit(&v);
            if (m_core->GetFieldValue(&d, &v) == 1 && V_VT(&v) != VT_EMPTY && V_VT(&v) != VT_NULL) {
                VARIANT none;
                VariantInit(&none);
                V_VT(&none) = VT_NULL;
                int link = 0;
                m_core->GetFieldLinkFlag(&d, &link);
                SetPendingValue(m_fields[(size_t)cell.col - 1].name, link, &none);
                m_pendingRow = cell.row;
                dbgrid::SetText(m_grid, cell.col, cell.row, "");
            }
            VariantClear(&v);
        }
    }
    if (m_previewShown && !wholeRows && cell.row > 0)
        UpdatePreview(cell.col, cell.row);
    SendMessageA(m_grid, GM_SETREDRAW, 1, 0);
}

// ---------------------------------------------------------------- media

void DatabaseBrowserDialog::ImportMedia(int col, int row) {
    int type = FieldType(col);
    bool memo = type == kMemo;
    if (!memo && !(type >= 1024 && type <= 1029))
        return;
    int link = 0;
    if (!memo) {
        DataSourceDescriptor d = Descriptor(row, col);
        if (!m_core->GetFieldLinkFlag(&d, &link)) {
            DBMessageBox(IDS_DB_IMPORT_MEDIA_FAILED);
            return;
        }
    }
    IMediaManager* media = m_core->GetMediaManager();
    if (!media)
        return;
    int mask = memo ? 0x40000000 : MediaKindMask(type);
    int flags = link == 1 ? 2 + 8 : (type == 1028 ? 1 + 0x30000000 : 1 + 8);
    std::vector<char> buffer(link == 1 ? 32 : 260, 0);
    if (FAILED(media->ChooseMedia(mask, flags, buffer.data(), (int)buffer.size())))
        return;
    buffer.back() = 0;
    std::string chosen = buffer.data();
    VARIANT v;
    if (!BuildMediaValue(memo, link, chosen, &v)) {
        VariantClear(&v);
        DBMessageBox(IDS_DB_IMPORT_MEDIA_FAILED);
        return;
    }
    dbgrid::SetText(m_grid, col, row, memo ? DBLoadString(IDS_DB_MEMO) : chosen);
    SetPendingValue(m_fields[(size_t)col - 1].name, memo ? 0 : link, &v);
    m_pendingRow = row;
    GrowForEdit(row);
    if (m_previewShown)
        UpdatePreview(col, row);
}

// ---------------------------------------------------------------- preview

void DatabaseBrowserDialog::LayOutColumns() {
    if (!m_splitter.m_hWnd)
        return;
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    // Shown, the grid takes three fifths; hidden, the whole width.
    m_splitter.SetColumnInfo(0, m_previewShown ? (rc.right / 5) * 3 : rc.right, 0);
    m_splitter.RecalcLayout();
}

void DatabaseBrowserDialog::TogglePreview() {
    m_previewShown = !m_previewShown;
    SendMessageA(m_toolbar, TB_CHECKBUTTON, ID_DB_MEDIA_PREVIEW, m_previewShown ? TRUE : FALSE);
    m_splitter.SetMovable(m_previewShown != 0);
    GridCellRef cell = {0, 0};
    bool active = SendMessageA(m_grid, GM_GETACTIVECELL, 0, (LPARAM)&cell) != 0;
    if (m_previewShown) {
        LayOutColumns();
        if (active)
            UpdatePreview(cell.col, cell.row);
        return;
    }
    if (active)
        StoreMemoEdit(cell.col, cell.row, false);
    m_preview.ResetPreview();
    LayOutColumns();
}

const FieldValuePair* DatabaseBrowserDialog::PendingValue(int col, int row) const {
    if (m_pending.empty() || row != m_pendingRow || col < 1 || col > (int)m_fields.size())
        return nullptr;
    const std::string& name = m_fields[(size_t)col - 1].name;
    for (const FieldValuePair& p : m_pending)
        if (strncmp(p.fieldName, name.c_str(), sizeof(p.fieldName)) == 0)
            return &p;
    return nullptr;
}

void DatabaseBrowserDialog::UpdatePreview(int col, int row) {
    int type = FieldType(col);
    PreviewRequest request;
    VARIANT stored;
    VariantInit(&stored);
    const FieldValuePair* pending = PendingValue(col, row);
    DataSourceDescriptor d = Descriptor(row, col);
    if (type >= 1024 && type <= 1028) {
        const VARIANT* value = pending ? &pending->value : nullptr;
        if (!value && m_core->GetFieldValue(&d, &stored) == 1)
            value = &stored;
        if (value && V_VT(value) != VT_EMPTY && V_VT(value) != VT_NULL) {
            int link = 0;
            if (!m_core->GetFieldLinkFlag(&d, &link))
                link = 0;
            request.mode = PreviewRequest::kMedia;
            request.value = value;
            request.kindMask = MediaKindMask(type);
            request.linkFlag = link;
        }
    } else if (type == kMemo) {
        // The blank new row holds no record: its memo is empty.
        const VARIANT* value = pending ? &pending->value : nullptr;
        bool known = value || row > m_recordCount;
        if (!known && m_core->GetFieldValue(&d, &stored) == 1) {
            value = &stored;
            known = true;
        }
        if (known) {
            request.mode = PreviewRequest::kText;
            if (value)
                CDBCore::VariantText(value, kMemo, &request.text, nullptr);
        }
    }
    m_preview.ShowContent(request);
    VariantClear(&stored);
    if (m_grid)
        SetFocus(m_grid);
}

void DatabaseBrowserDialog::StoreMemoEdit(int col, int row, bool markCell) {
    PreviewTextEdit* pane = m_preview.TextPane();
    if (FieldType(col) != kMemo || row < 1 || !pane || !pane->m_hWnd || !m_preview.m_textMode ||
        !pane->m_changed)
        return;
    VARIANT v;
    VariantInit(&v);
    std::string text = pane->GetText();
    if (!text.empty() && !CDBCore::TextToVariant(&v, text.c_str(), kMemo))
        return;
    if (markCell) {
        dbgrid::SetText(m_grid, col, row, DBLoadString(IDS_DB_MEMO));
        GrowForEdit(row);
    }
    SetPendingValue(m_fields[(size_t)col - 1].name, 0, &v);
    m_pendingRow = row;
    pane->m_changed = 0;
}

// ---------------------------------------------------------------- opening

HWND BrowserGrid(HWND browser) {
    HWND splitter = browser ? GetDlgItem(browser, IDC_DB_BROWSE_SPLITTER) : nullptr;
    return splitter ? GetDlgItem(splitter, IDC_DB_BROWSE_GRID) : nullptr;
}

void BrowseCommand(HWND tree, const std::string& name, int isQuery) {
    CDBCore* core = GetDBCore();
    if (!core || name.empty())
        return;
    DataSourceEntry* entry =
        isQuery ? core->FindQueryByName(name.c_str()) : core->FindTableByName(name.c_str());
    if (entry && entry->browser && IsWindow(entry->browser)) {
        if (!isQuery)
            ShowWindow(entry->browser, SW_SHOW);
        SetActiveWindow(entry->browser);
        return;
    }
    DataSourceDescriptor d;
    memset(&d, 0, sizeof(d));
    CopyName(d.sourceName, sizeof(d.sourceName), name);
    d.isQuery = isQuery;
    if (!core->CloseDataSource(&d)) {
        DBMessageBox(IDS_DB_OPEN_TABLE_FAILED);
        return;
    }
    DatabaseBrowserDialog* browser = new DatabaseBrowserDialog(core);
    browser->m_name = name;
    browser->m_isQuery = isQuery;
    HWND w = browser->Create(tree);
    if (!w) {
        delete browser;
        return;
    }
    entry = isQuery ? core->FindQueryByName(name.c_str()) : core->FindTableByName(name.c_str());
    if (entry)
        entry->browser = w;
    ShowWindow(w, SW_SHOWNORMAL);
}
