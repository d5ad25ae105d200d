#include "aGrdObj.h"

#include <string.h>

#include <algorithm>
#include <iterator>

#include "aFillFiles.h"
#include "aUtil.h"
#include "bDBCore.h"
#include "bFillShd.h"
#include "bLinStyl.h"
#include "bStorage.h"
#include "bStrConv.h"
#include "bdrawtxt.h"

namespace {

// Longest cell text a record may carry, in characters.
const DWORD kMaxCellChars = 0x100000;
const DWORD kFontMarker = 0xC0000000, kNoFontMarker = 0x80000000;

bool Inside(const RECT& r, LONG x, LONG y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// A field type whose values the grid can edit as text.
bool EditableType(int type) {
    return (type >= 1 && type <= 8) || type == 10 || type == 16 || type == 21 || type == 22;
}

// A line style's offset: 0 for kinds below 5 and kind 7, twice the width
// for kind 6, the width otherwise.
LONG LineOffset(LineStyleObject* line) {
    int type = LINE_SOLID;
    WORD width = 1;
    if (!line)
        return 0;
    line->GetLineType(&type);
    line->GetWidth(&width);
    if (type < LINE_SOLID || type == LINE_FANCY)
        return 0;
    return type == LINE_DOUBLE ? 2 * width : width;
}

LONG LineWidth(LineStyleObject* line) {
    int type = LINE_SOLID;
    WORD width = 1;
    if (!line)
        return 0;
    line->GetLineType(&type);
    line->GetWidth(&width);
    return type == LINE_NONE ? 0 : (type == LINE_DOUBLE ? 2 * width : width);
}

bool ReadStreamString(ITeskStream* stream, std::string* out) {
    DWORD n = 0;
    if (!StreamReadValue(stream, &n) || n > kMaxCellChars || !StreamHas(stream, 2ULL * n))
        return false;
    std::vector<char> text(2 * (size_t)n + 1, 0);
    if (n)
        stream->ReadWideString(text.data(), n);
    out->assign(text.data());
    return true;
}

void WriteStreamString(ITeskStream* stream, const std::string& text) {
    if (text.empty()) {
        StreamWriteValue<DWORD>(stream, 0);
        return;
    }
    DWORD n = (DWORD)WideFromMultibyte(text.c_str()).size() + 1;
    StreamWriteValue(stream, n);
    stream->WriteWideString(text.c_str(), n);
}

// An IntList record: a count, then that many values; at most `limit`.
bool ReadIntList(ITeskStream* stream, DWORD limit, std::vector<LONG>* out) {
    DWORD n = 0;
    if (!StreamReadValue(stream, &n) || n > limit || !StreamHas(stream, 4ULL * n))
        return false;
    out->assign(n, 0);
    if (n)
        stream->Read(out->data(), 4 * n);
    return true;
}

void WriteIntList(ITeskStream* stream, const std::vector<LONG>& list) {
    StreamWriteValue<DWORD>(stream, (DWORD)list.size());
    if (!list.empty())
        stream->Write(list.data(), (ULONG)(4 * list.size()));
}

// The presence bitmap of n entries, checked against the stream.
bool ReadBitmap(ITeskStream* stream, DWORD n, std::vector<DWORD>* bits) {
    bits->clear();
    if (n == 0)
        return true;
    DWORD words = (n + 31) / 32;
    if (!StreamHas(stream, 4ULL * words))
        return false;
    bits->resize(words);
    stream->Read(bits->data(), 4 * words);
    return true;
}

bool Present(const std::vector<DWORD>& bits, DWORD i) {
    return (bits[i / 32] >> (i % 32)) & 1;
}

// A set of owned value objects of one kind, released together.
template <class T, size_t N>
void ReleaseAll(T* (&objects)[N]) {
    for (T*& o : objects) {
        if (o)
            o->Release();
        o = nullptr;
    }
}

}  // namespace

GridCell::~GridCell() {
    if (font)
        font->Release();
}

GridObject::GridObject()
    : m_rows(4),
      m_cols(4),
      m_rowHeadWidth(50),
      m_cellWidth(50),
      m_colHeadHeight(20),
      m_cellHeight(20),
      m_fonts(),
      m_fills(),
      m_lines(),
      m_flags(GRIDFLAG_ROWHEAD | GRIDFLAG_COLUMNHEAD),
      m_source(),
      m_activeCol(1),
      m_activeRow(1),
      m_selection{1, 1, 1, 1},
      m_leftCol(1),
      m_topRow(1),
      m_edit(nullptr),
      m_editRow(0),
      m_editCol(0),
      m_focus(false),
      m_mouseMode(0),
      m_adding(false),
      m_modified(false),
      m_records(0),
      m_heldTop(1) {}

GridObject::~GridObject() {
    if (m_edit && IsWindow(m_edit))
        DestroyWindow(m_edit);
    ClearCells();
    for (GridCell* c : m_pending) delete c;
    ReleaseAll(m_fonts);
    ReleaseAll(m_fills);
    ReleaseAll(m_lines);
}

HRESULT GridObject::SetUp() {
    char names[2][64] = {};
    LoadResString(GRID_ROWNAME_HORZ, names[0], sizeof(names[0]));
    LoadResString(GRID_ROWNAME_VERT, names[1], sizeof(names[1]));
    AddRow(names[0]);
    AddRow(names[1]);
    ResizeCells(m_rows, m_cols);
    return S_OK;
}

STDMETHODIMP GridObject::Init(ObjectCreationRecord* record) {
    HRESULT hr = ClassBase::Init(record);
    if (FAILED(hr))
        return hr;
    for (FillObject*& f : m_fills) {
        f = CreateFillObject();
        if (!f)
            return E_OUTOFMEMORY;
        f->SetFillType(FILL_SOLID);
    }
    for (LineStyleObject*& l : m_lines) {
        l = CreateLineStyObj();
        if (!l)
            return E_OUTOFMEMORY;
    }
    for (FontObject*& f : m_fonts)
        if (FAILED(CreateFontObject(&f)) || !f)
            return E_OUTOFMEMORY;
    return S_OK;
}

// ---- cells ----

void GridObject::ClearCells() {
    for (auto& row : m_cells)
        for (GridCell* c : row) delete c;
    m_cells.clear();
    m_measured.clear();
}

void GridObject::ResizeCells(LONG rows, LONG cols) {
    while ((LONG)m_cells.size() > rows + 1) {
        for (GridCell* c : m_cells.back()) delete c;
        m_cells.pop_back();
    }
    while ((LONG)m_cells.size() < rows + 1) m_cells.emplace_back();
    for (auto& row : m_cells) {
        while ((LONG)row.size() > cols + 1) {
            delete row.back();
            row.pop_back();
        }
        while ((LONG)row.size() < cols + 1) row.push_back(new GridCell());
    }
    if (!Bound()) {
        // New columns and rows take the default sizes; a new list its heads.
        const bool noColumns = m_colWidths.empty(), noRows = m_rowHeights.empty();
        m_colWidths.resize(cols + 1, m_cellWidth);
        m_rowHeights.resize(rows + 1, m_cellHeight);
        if (noColumns)
            m_colWidths[0] = m_rowHeadWidth;
        if (noRows)
            m_rowHeights[0] = m_colHeadHeight;
    }
    m_measured.clear();
}

LONG GridObject::Rows() const {
    if (Bound())
        return m_records + (m_adding ? 1 : 0);
    return m_rows;
}

LONG GridObject::RowOfIndex(LONG index) const {
    if (!Bound() || index == 0)
        return index;
    return m_topRow + index - 1;
}

LONG GridObject::IndexOfRow(LONG row) const {
    if (!Bound())
        return row >= 0 && row <= m_rows ? row : -1;
    if (row == 0)
        return 0;
    LONG index = row - m_topRow + 1;
    return index >= 1 && index <= HeldRows() ? index : -1;
}

GridCell* GridObject::CellAt(LONG row, LONG col) {
    if (col < 0 || col > m_cols)
        return nullptr;
    if (Bound() && m_adding && row == m_records + 1)
        return col < (LONG)m_pending.size() ? m_pending[col] : nullptr;
    LONG index = IndexOfRow(row);
    if (index < 0 || index >= (LONG)m_cells.size() || col >= (LONG)m_cells[index].size())
        return nullptr;
    return m_cells[index][col];
}

// ---- sizes ----

LONG GridObject::ColWidth(LONG col) const {
    if (col < 0 || col > m_cols)
        return 0;
    if (Bound())
        return col == 0 ? m_rowHeadWidth : m_cellWidth;
    if (col < (LONG)m_colWidths.size())
        return m_colWidths[col];
    return col == 0 ? m_rowHeadWidth : m_cellWidth;
}

LONG GridObject::StoredRowHeight(LONG index) const {
    if (Bound())
        return index == 0 ? m_colHeadHeight : m_cellHeight;
    if (index >= 0 && index < (LONG)m_rowHeights.size())
        return m_rowHeights[index];
    return index == 0 ? m_colHeadHeight : m_cellHeight;
}

FontObject* GridObject::FontFor(LONG index, LONG col, GridCell* cell) const {
    if (cell && cell->font)
        return cell->font;
    if (index == 0)
        return m_fonts[GRID_COLUMNHEAD];
    return col == 0 ? m_fonts[GRID_ROWHEAD] : m_fonts[GRID_CELLS];
}

// The larger of the stored height and the tallest text of the row's cells,
// measured once until something changes.
LONG GridObject::RowHeight(LONG index) {
    if (index < 0 || index >= (LONG)m_cells.size())
        return 0;
    if ((LONG)m_measured.size() != (LONG)m_cells.size())
        m_measured.assign(m_cells.size(), -1);
    if (m_measured[index] >= 0)
        return m_measured[index];
    LONG h = StoredRowHeight(index);
    HDC screen = nullptr;
    for (LONG c = 0; c < (LONG)m_cells[index].size(); ++c) {
        GridCell* cell = m_cells[index][c];
        FontObject* font = FontFor(index, c, cell);
        if (cell->text.empty() || !font)
            continue;
        if (!screen)
            screen = ::GetDC(nullptr);
        font->SetText(cell->text.c_str());
        int th = 0;
        font->GetTextHeight(screen, ColWidth(c), &th);
        font->SetText(nullptr);
        h = std::max(h, (LONG)th);
    }
    if (screen)
        ::ReleaseDC(nullptr, screen);
    m_measured[index] = h;
    return h;
}

RECT GridObject::LayoutRect() {
    RECT b = {};
    ClassBase::GetBoundsRect(&b);
    const LONG maxW = b.right - b.left, maxH = b.bottom - b.top;
    long long w = 0, h = 0;
    if (m_flags & GRIDFLAG_ROWHEAD)
        w += ColWidth(0);
    for (LONG c = m_leftCol; c <= m_cols && w < maxW; ++c) w += ColWidth(c);
    if (m_flags & GRIDFLAG_COLUMNHEAD)
        h += RowHeight(0);
    const LONG first = Bound() ? 1 : m_topRow;
    for (LONG i = first; i < (LONG)m_cells.size() && h < maxH; ++i) h += RowHeight(i);
    RECT r = {b.left, b.top, b.left + (LONG)std::min<long long>(w, maxW),
              b.top + (LONG)std::min<long long>(h, maxH)};
    OffsetRect(&r, LineOffset(m_lines[GRIDLINE_OUTER_VERT]),
               LineOffset(m_lines[GRIDLINE_OUTER_HORZ]));
    return r;
}

RECT GridObject::CellRect(LONG row, LONG col) {
    RECT empty = {0, 0, 0, 0};
    RECT layout = LayoutRect();
    LONG index = IndexOfRow(row);
    if (index < 0 || col < 0 || col > m_cols)
        return empty;
    LONG x = layout.left, y = layout.top;
    if (col == 0) {
        if (!(m_flags & GRIDFLAG_ROWHEAD))
            return empty;
    } else {
        if (col < m_leftCol)
            return empty;
        if (m_flags & GRIDFLAG_ROWHEAD)
            x += ColWidth(0);
        for (LONG c = m_leftCol; c < col; ++c) x += ColWidth(c);
    }
    if (index == 0) {
        if (!(m_flags & GRIDFLAG_COLUMNHEAD))
            return empty;
    } else {
        const LONG first = Bound() ? 1 : m_topRow;
        if (index < first)
            return empty;
        if (m_flags & GRIDFLAG_COLUMNHEAD)
            y += RowHeight(0);
        for (LONG i = first; i < index; ++i) y += RowHeight(i);
    }
    RECT r = {x, y, x + ColWidth(col), y + RowHeight(index)};
    return r;
}

// ---- scroll rows ----

LONG GridObject::ScrollMaximum(bool vertical) {
    RECT b = {};
    ClassBase::GetBoundsRect(&b);
    const LONG count = vertical ? Rows() : m_cols;
    if (count < 2)
        return 1;
    long long visible = vertical ? b.bottom - b.top : b.right - b.left;
    if (vertical && (m_flags & GRIDFLAG_COLUMNHEAD))
        visible -= RowHeight(0);
    if (!vertical && (m_flags & GRIDFLAG_ROWHEAD))
        visible -= ColWidth(0);
    long long sum = 0;
    LONG left = count;  // rows (columns) not yet added
    while (left > 0 && sum < visible) {
        LONG size;
        if (vertical) {
            LONG index = IndexOfRow(left);
            size = index >= 0 ? RowHeight(index) : (Bound() ? m_cellHeight : StoredRowHeight(left));
        } else {
            size = ColWidth(left);
        }
        sum += size;
        --left;
    }
    if (sum < visible)
        return 1;  // everything fits
    LONG maximum = sum == visible ? left + 1 : left + 2;
    return std::min(std::max(maximum, 1L), count);
}

LONG GridObject::ScrollPage(bool vertical) {
    RECT b = {};
    ClassBase::GetBoundsRect(&b);
    const long long visible = vertical ? b.bottom - b.top : b.right - b.left;
    long long sum = vertical ? ((m_flags & GRIDFLAG_COLUMNHEAD) ? RowHeight(0) : 0)
                             : ((m_flags & GRIDFLAG_ROWHEAD) ? ColWidth(0) : 0);
    const LONG start = vertical ? m_topRow : m_leftCol, count = vertical ? Rows() : m_cols;
    LONG last = start;
    for (LONG i = start; i <= count; ++i) {
        LONG index = vertical ? IndexOfRow(i) : i;
        sum += vertical ? (index >= 0 ? RowHeight(index) : m_cellHeight) : ColWidth(i);
        last = i;
        if (sum >= visible)
            break;
    }
    return std::max(last - start - 1, 1L);
}

STDMETHODIMP GridObject::GetRowMaximum(LONG row, LONG* out) {
    if (!out)
        return E_POINTER;
    *out = ScrollMaximum(row == GRIDROW_VERT);
    return S_OK;
}

STDMETHODIMP GridObject::GetRowMinimum(LONG, LONG* out) {
    return Get(out, 1);
}

STDMETHODIMP GridObject::GetRowPageStep(LONG row, LONG* out) {
    if (!out)
        return E_POINTER;
    *out = ScrollPage(row == GRIDROW_VERT);
    return S_OK;
}

STDMETHODIMP GridObject::GetRowValue(LONG row, LONG* out) {
    return Get(out, row == GRIDROW_VERT ? m_topRow : m_leftCol);
}

STDMETHODIMP GridObject::SetRowValue(LONG row, LONG value) {
    return row == GRIDROW_VERT ? put_ObjTopRow(value) : put_ObjLeftColumn(value);
}

void GridObject::ClampScroll() {
    LONG vmax = ScrollMaximum(true), hmax = ScrollMaximum(false);
    if (m_topRow > vmax)
        put_ObjTopRow(vmax);
    if (m_leftCol > hmax)
        put_ObjLeftColumn(hmax);
}

// ---- dispatch members ----

STDMETHODIMP GridObject::put_ObjRows(LONG v) {
    if (Bound() || v < 1 || v > GRID_MAX_ROWS)
        return S_FALSE;
    m_rows = v;
    ResizeCells(m_rows, m_cols);
    m_rowHeights.resize(m_rows + 1, m_cellHeight);
    m_topRow = std::min(m_topRow, m_rows);
    m_activeRow = std::min(m_activeRow, m_rows);
    Announce(GRIDROW_VERT, GRIDSINK_RANGE);
    Changed();
    return S_OK;
}

STDMETHODIMP GridObject::put_ObjColumns(LONG v) {
    if (Bound() || v < 1 || v > GRID_MAX_COLUMNS)
        return S_FALSE;
    m_cols = v;
    ResizeCells(m_rows, m_cols);
    m_colWidths.resize(m_cols + 1, m_cellWidth);
    m_leftCol = std::min(m_leftCol, m_cols);
    m_activeCol = std::min(m_activeCol, m_cols);
    Announce(GRIDROW_HORZ, GRIDSINK_RANGE);
    Changed();
    return S_OK;
}

STDMETHODIMP GridObject::put_ObjShowRowHead(LONG v) {
    m_flags = v ? (m_flags | GRIDFLAG_ROWHEAD) : (m_flags & ~GRIDFLAG_ROWHEAD);
    LONG hmax = ScrollMaximum(false);
    if (m_leftCol > hmax)
        put_ObjLeftColumn(hmax);
    Announce(GRIDROW_HORZ, GRIDSINK_RANGE);
    Changed();
    return S_OK;
}

STDMETHODIMP GridObject::put_ObjShowColumnHead(LONG v) {
    m_flags = v ? (m_flags | GRIDFLAG_COLUMNHEAD) : (m_flags & ~GRIDFLAG_COLUMNHEAD);
    LONG vmax = ScrollMaximum(true);
    if (m_topRow > vmax)
        put_ObjTopRow(vmax);
    Announce(GRIDROW_VERT, GRIDSINK_RANGE);
    Changed();
    return S_OK;
}

STDMETHODIMP GridObject::put_ObjTopRow(LONG v) {
    v = std::min(std::max(v, 1L), std::max(Rows(), 1L));
    if (v != m_topRow) {
        Changed();
        m_topRow = v;
        if (Bound())
            FetchWindow(true);
        m_measured.clear();
    }
    Announce(GRIDROW_VERT, GRIDSINK_POSITION);
    Changed();
    return S_OK;
}

STDMETHODIMP GridObject::put_ObjLeftColumn(LONG v) {
    v = std::min(std::max(v, 1L), std::max(m_cols, 1L));
    if (v != m_leftCol) {
        Changed();
        m_leftCol = v;
    }
    Announce(GRIDROW_HORZ, GRIDSINK_POSITION);
    Changed();
    return S_OK;
}

HRESULT GridObject::PutSize(LONG* field, LONG v) {
    *field = std::max(v, (LONG)GRID_MIN_SIZE);
    m_measured.clear();
    Changed();
    return S_OK;
}

void GridObject::Select(LONG col1, LONG row1, LONG col2, LONG row2) {
    m_selection = {std::min(col1, col2), std::min(row1, row2), std::max(col1, col2),
                   std::max(row1, row2)};
}

void GridObject::SetActive(LONG col, LONG row) {
    m_activeCol = col;
    m_activeRow = row;
    Select(col, row, col, row);
}

STDMETHODIMP GridObject::put_ObjActiveColumn(LONG v) {
    if (v < 0 || v > m_cols)
        return E_INVALIDARG;
    SetActive(v, m_activeRow);
    if (m_flags & GRIDFLAG_ACTIVEFRAME)
        Changed();
    return S_OK;
}

STDMETHODIMP GridObject::put_ObjActiveRow(LONG v) {
    if (v < 0 || v > Rows())
        return E_INVALIDARG;
    SetActive(m_activeCol, v);
    if (m_flags & GRIDFLAG_ACTIVEFRAME)
        Changed();
    return S_OK;
}

STDMETHODIMP GridObject::put_ObjShowActiveCellFrame(LONG v) {
    LONG flags = v ? (m_flags | GRIDFLAG_ACTIVEFRAME) : (m_flags & ~GRIDFLAG_ACTIVEFRAME);
    if (flags != m_flags) {
        m_flags = flags;
        Changed();
    }
    return S_OK;
}

STDMETHODIMP GridObject::put_ObjCanModify(LONG v) {
    m_flags = v ? (m_flags | GRIDFLAG_CANMODIFY) : (m_flags & ~GRIDFLAG_CANMODIFY);
    return S_OK;
}

STDMETHODIMP GridObject::get_ObjCellContent(INT row, INT col, BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!(m_flags & GRIDFLAG_COLUMNHEAD))
        ++row;
    if (!(m_flags & GRIDFLAG_ROWHEAD))
        ++col;
    if (row < 0 || row > Rows() || col < 0 || col > m_cols)
        return E_INVALIDARG;
    GridCell* cell = CellAt(row, col);
    if (!cell)
        return E_FAIL;
    *out = BstrFromMultibyte(cell->text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP GridObject::put_ObjCellContent(INT row, INT col, BSTR text) {
    if (!(m_flags & GRIDFLAG_COLUMNHEAD))
        ++row;
    if (!(m_flags & GRIDFLAG_ROWHEAD))
        ++col;
    if (row < 0 || row > Rows() || col < 0 || col > m_cols)
        return E_INVALIDARG;
    GridCell* cell = CellAt(row, col);
    if (!cell)
        return E_FAIL;
    cell->text = MultibyteFromBstr(text);
    m_measured.clear();
    Changed();
    return S_OK;
}

STDMETHODIMP GridObject::EnterEdit() {
    if (m_focus || !(m_flags & GRIDFLAG_CANMODIFY))
        return S_OK;
    IPlayerSite* site = ClassSite();
    IViewService* view = site ? site->GetView() : nullptr;
    if (view)
        view->ChangeWndProc(TRUE, static_cast<IObjectBase*>(this));
    return S_OK;
}

STDMETHODIMP GridObject::ExitEdit() {
    if (!m_focus)
        return S_OK;
    IPlayerSite* site = ClassSite();
    IViewService* view = site ? site->GetView() : nullptr;
    if (view)
        view->ChangeWndProc(FALSE, static_cast<IObjectBase*>(this));
    return S_OK;
}

// ---- private operations ----

STDMETHODIMP GridObject::GetDataSource(LONG* bound, BSTR* name) {
    if (!bound || !name)
        return E_POINTER;
    *bound = Bound() ? -1 : 0;
    *name = BstrFromMultibyte(std::string(m_source, strnlen(m_source, sizeof(m_source))));
    return *name ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP GridObject::SetDataSource(BSTR name) {
    std::string source = MultibyteFromBstr(name);
    if (source.empty()) {
        if (Bound())
            Unbind();
        return S_OK;
    }
    int records = 0;
    if (source.size() > 63 || !SourceOpens(source.c_str(), &records))
        return E_FAIL;
    memset(m_source, 0, sizeof(m_source));
    memcpy(m_source, source.data(), source.size());
    m_flags |= GRIDFLAG_BOUND;
    HRESULT hr = LoadBound();
    if (FAILED(hr)) {
        Unbind();
        return hr;
    }
    return S_OK;
}

STDMETHODIMP GridObject::GetGridFont(LONG area, FontObject** out) {
    if (!out)
        return E_POINTER;
    *out = area >= 0 && area < 3 ? m_fonts[area] : nullptr;
    m_measured.clear();  // the caller may change it
    return *out ? S_OK : E_INVALIDARG;
}

STDMETHODIMP GridObject::GetGridLineStyle(LONG line, LineStyleObject** out) {
    if (!out)
        return E_POINTER;
    *out = line >= 0 && line < 6 ? m_lines[line] : nullptr;
    return *out ? S_OK : E_INVALIDARG;
}

STDMETHODIMP GridObject::GetGridFill(LONG area, FillObject** out) {
    if (!out)
        return E_POINTER;
    *out = area >= 0 && area < 3 ? m_fills[area] : nullptr;
    return *out ? S_OK : E_INVALIDARG;
}

STDMETHODIMP GridObject::RowAtY(LONG y, LONG* out) {
    if (!out)
        return E_POINTER;
    *out = -1;
    RECT layout = LayoutRect();
    if (y < layout.top || y >= layout.bottom)
        return S_OK;
    LONG top = layout.top;
    if (m_flags & GRIDFLAG_COLUMNHEAD) {
        top += RowHeight(0);
        if (y < top) {
            *out = 0;
            return S_OK;
        }
    }
    const LONG first = Bound() ? 1 : m_topRow;
    for (LONG i = first; i < (LONG)m_cells.size(); ++i) {
        top += RowHeight(i);
        if (y < top) {
            *out = RowOfIndex(i);
            return S_OK;
        }
    }
    return S_OK;
}

STDMETHODIMP GridObject::ColumnAtX(LONG x, LONG* out) {
    if (!out)
        return E_POINTER;
    *out = -1;
    RECT layout = LayoutRect();
    if (x < layout.left || x >= layout.right)
        return S_OK;
    LONG left = layout.left;
    if (m_flags & GRIDFLAG_ROWHEAD) {
        left += ColWidth(0);
        if (x < left) {
            *out = 0;
            return S_OK;
        }
    }
    for (LONG c = m_leftCol; c <= m_cols; ++c) {
        left += ColWidth(c);
        if (x < left) {
            *out = c;
            return S_OK;
        }
    }
    return S_OK;
}

// ---- render parts ----

STDMETHODIMP_(int) GridObject::HitTestPoint(LONG x, LONG y) {
    RECT r = LayoutRect();
    return Inside(r, x, y) ? 0 : 1;
}

STDMETHODIMP GridObject::GetBoundsRect(RECT* out) {
    HRESULT hr = ClassBase::GetBoundsRect(out);
    if (FAILED(hr) || !out)
        return hr;
    LONG dx = std::max(2L, LineWidth(m_lines[GRIDLINE_OUTER_VERT]));
    LONG dy = std::max(2L, LineWidth(m_lines[GRIDLINE_OUTER_HORZ]));
    InflateRect(out, dx, dy);
    return hr;
}

STDMETHODIMP GridObject::CollectFiles(IFileCollector* collector) {
    if (!collector)
        return E_POINTER;
    for (FillObject* f : m_fills) CollectFillFiles(f, collector);
    return ClassBase::CollectFiles(collector);
}

STDMETHODIMP GridObject::BeforeEnter() {
    // A stored binding opens when the page shows.
    if (Bound() && m_source[0] && m_records == 0 && m_fieldNames.empty()) {
        int records = 0;
        if (!SourceOpens(m_source, &records) || FAILED(LoadBound()))
            Unbind();
    }
    return S_OK;
}

STDMETHODIMP GridObject::BeforeExit() {
    if (m_edit)
        CommitEdit();
    m_focus = false;
    return S_OK;
}

HRESULT GridObject::DrawContent(IPixelBuffer* target, const RECT*) {
    TRACE_POINT();
    if (!target)
        return 1;
    RECT layout = LayoutRect();
    if (IsRectEmpty(&layout))
        return S_OK;
    IPlayerSite* site = ClassSite();
    const bool rowHead = (m_flags & GRIDFLAG_ROWHEAD) != 0;
    const bool colHead = (m_flags & GRIDFLAG_COLUMNHEAD) != 0;
    const LONG headH = colHead ? RowHeight(0) : 0, headW = rowHead ? ColWidth(0) : 0;
    // 1. Backgrounds.
    RECT strip = {layout.left, layout.top, layout.right,
                  std::min(layout.top + headH, layout.bottom)};
    if (colHead && m_fills[GRID_COLUMNHEAD] && !IsRectEmpty(&strip))
        m_fills[GRID_COLUMNHEAD]->Render(&strip, target, &strip, site);
    RECT side = {layout.left, strip.bottom, std::min(layout.left + headW, layout.right),
                 layout.bottom};
    if (rowHead && m_fills[GRID_ROWHEAD] && !IsRectEmpty(&side))
        m_fills[GRID_ROWHEAD]->Render(&side, target, &side, site);
    RECT rest = {side.right, strip.bottom, layout.right, layout.bottom};
    if (m_fills[GRID_CELLS] && !IsRectEmpty(&rest))
        m_fills[GRID_CELLS]->Render(&rest, target, &rest, site);
    HDC dc = nullptr;
    if (FAILED(target->GetDC(&dc)) || !dc)
        return S_OK;
    HRGN saved = CreateRectRgn(0, 0, 0, 0);
    int had = GetClipRgn(dc, saved);
    // The visible columns and rows with their edges.
    std::vector<LONG> cols, xs, rows, ys;
    LONG x = layout.left;
    if (rowHead) {
        cols.push_back(0);
        xs.push_back(x);
        x += headW;
    }
    for (LONG c = m_leftCol; c <= m_cols && x < layout.right; ++c) {
        cols.push_back(c);
        xs.push_back(x);
        x += ColWidth(c);
    }
    xs.push_back(std::min(x, layout.right));
    LONG y = layout.top;
    if (colHead) {
        rows.push_back(0);
        ys.push_back(y);
        y += headH;
    }
    for (LONG i = Bound() ? 1 : m_topRow; i < (LONG)m_cells.size() && y < layout.bottom; ++i) {
        rows.push_back(i);
        ys.push_back(y);
        y += RowHeight(i);
    }
    ys.push_back(std::min(y, layout.bottom));
    // 2. Texts, each cell shrunk by half the lines beside it.
    IntersectClipRect(dc, layout.left, layout.top, layout.right, layout.bottom);
    const LONG halfV = LineWidth(m_lines[GRIDLINE_COLUMNS]) / 2;
    const LONG halfH = LineWidth(m_lines[GRIDLINE_ROWS]) / 2;
    {
        // One set-up of the context for all the texts.
        FontTextPainter painter(dc);
        for (size_t ri = 0; ri < rows.size(); ++ri) {
            std::vector<GridCell*>& row = m_cells[rows[ri]];
            for (size_t ci = 0; ci < cols.size(); ++ci) {
                GridCell* cell = cols[ci] < (LONG)row.size() ? row[cols[ci]] : nullptr;
                if (!cell || cell->text.empty())
                    continue;
                RECT r = {xs[ci] + halfV, ys[ri] + halfH, xs[ci + 1] - halfV, ys[ri + 1] - halfH};
                if (FontObject* font = FontFor(rows[ri], cols[ci], cell))
                    painter.Draw(font, cell->text.c_str(), &r);
            }
        }
    }
    // 3. Lines, clipped to the bounds.
    SelectClipRgn(dc, had == 1 ? saved : nullptr);
    RECT bounds = {};
    GetBoundsRect(&bounds);
    IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    auto line = [&](LineStyleObject* style, LONG x1, LONG y1, LONG x2, LONG y2, LONG outX,
                    LONG outY) {
        if (!style)
            return;
        int type = LINE_SOLID;
        style->GetLineType(&type);
        if (type == LINE_NONE)
            return;
        if (type == LINE_DOUBLE) {
            WORD w = 1;
            style->GetWidth(&w);
            x1 += outX * w / 2, x2 += outX * w / 2, y1 += outY * w / 2, y2 += outY * w / 2;
        }
        POINT p[2] = {{x1, y1}, {x2, y2}};
        style->Draw(dc, SHAPE_LINE, p, 2, 0, 0);
    };
    const LONG right = xs.back(), bottom = ys.back();
    line(m_lines[GRIDLINE_OUTER_VERT], layout.left, layout.top, layout.left, bottom, -1, 0);
    line(m_lines[GRIDLINE_OUTER_VERT], right, layout.top, right, bottom, 1, 0);
    for (size_t ci = 1; ci < cols.size(); ++ci)
        line(m_lines[rowHead && ci == 1 ? GRIDLINE_RIGHT_OF_HEAD : GRIDLINE_COLUMNS], xs[ci],
             layout.top, xs[ci], bottom, 0, 0);
    line(m_lines[GRIDLINE_OUTER_HORZ], layout.left, layout.top, right, layout.top, 0, -1);
    line(m_lines[GRIDLINE_OUTER_HORZ], layout.left, bottom, right, bottom, 0, 1);
    for (size_t ri = 1; ri < rows.size(); ++ri)
        line(m_lines[colHead && ri == 1 ? GRIDLINE_UNDER_HEAD : GRIDLINE_ROWS], layout.left, ys[ri],
             right, ys[ri], 0, 0);
    // 4. The active cell's frame, by inversion.
    SelectClipRgn(dc, had == 1 ? saved : nullptr);
    if (m_focus || (m_flags & GRIDFLAG_ACTIVEFRAME)) {
        RECT cell = CellRect(m_activeRow, m_activeCol), shown;
        if (IntersectRect(&shown, &cell, &layout)) {
            IntersectClipRect(dc, layout.left, layout.top, layout.right, layout.bottom);
            RECT outer = cell;
            if ((site && site->IsRunning()) || Bound()) {
                InflateRect(&outer, 2, 2);
            } else {
                RECT a = CellRect(m_selection.top, m_selection.left);
                RECT b = CellRect(m_selection.bottom, m_selection.right);
                UnionRect(&outer, &a, &b);
                InflateRect(&outer, 2, 2);
            }
            InvertRect(dc, &outer);
            RECT inner = cell;
            InflateRect(&inner, -2, -2);
            if (!IsRectEmpty(&inner))
                InvertRect(dc, &inner);
            SelectClipRgn(dc, had == 1 ? saved : nullptr);
        }
    }
    DeleteObject(saved);
    target->ReleaseDC(dc);
    return S_OK;
}

STDMETHODIMP GridObject::InvalidateBounds(IPixelBuffer* target) {
    if (!target)
        return E_POINTER;
    RECT bounds;
    GetBoundsRect(&bounds);
    return DrawContent(target, &bounds);
}

// ---- keyboard and mouse ----

bool GridObject::CellEditable(LONG row, LONG col) {
    GridCell* cell = CellAt(row, col);
    return cell && (!Bound() || !cell->readOnly);
}

void GridObject::StartEdit(LONG row, LONG col) {
    if (m_edit || !CellEditable(row, col))
        return;
    IPlayerSite* site = ClassSite();
    HWND parent = site ? site->GetViewWindow() : nullptr;
    RECT r = CellRect(row, col);
    if (!parent || IsRectEmpty(&r))
        return;
    if (IViewService* view = site->GetView())
        view->LPtoDPRect(&r);
    GridCell* cell = CellAt(row, col);
    m_edit = CreateWindowExA(0, "EDIT", cell->text.c_str(),
                             WS_CHILD | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                             r.left, r.top, r.right - r.left, r.bottom - r.top, parent, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (!m_edit)
        return;
    m_editRow = row;
    m_editCol = col;
    SetWindowPos(m_edit, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(m_edit, SW_SHOW);
    SetFocus(m_edit);
}

void GridObject::CommitEdit() {
    if (!m_edit)
        return;
    HWND w = m_edit;
    m_edit = nullptr;
    int n = GetWindowTextLengthA(w);
    std::string text(n + 1, '\0');
    GetWindowTextA(w, &text[0], n + 1);
    text.resize(strlen(text.c_str()));
    DestroyWindow(w);
    GridCell* cell = CellAt(m_editRow, m_editCol);
    if (!cell || cell->text == text)
        return;
    std::string old = cell->text;
    cell->text = text;
    m_modified = true;
    m_measured.clear();
    if (Bound() && !(m_adding && m_editRow == m_records + 1)) {
        if (!WriteCell(m_editRow, m_editCol, text)) {
            // The database refused the value: the grid keeps showing what
            // the record holds.
            LOG_MSG("Grid: record %ld refused the value of column %ld", (long)m_editRow,
                    (long)m_editCol);
            cell->text = old;
        }
    }
    Changed();
}

void GridObject::EnsureVisible() {
    if (m_activeRow >= 1 && m_activeRow < m_topRow)
        put_ObjTopRow(m_activeRow);
    else if (m_activeRow > m_topRow + ScrollPage(true))
        put_ObjTopRow(m_activeRow - ScrollPage(true));
    if (m_activeCol >= 1 && m_activeCol < m_leftCol)
        put_ObjLeftColumn(m_activeCol);
    else if (m_activeCol > m_leftCol + ScrollPage(false))
        put_ObjLeftColumn(m_activeCol - ScrollPage(false));
}

STDMETHODIMP GridObject::BeginHook(void*) {
    m_focus = true;
    m_mouseMode = 0;
    Changed();
    return S_OK;
}

STDMETHODIMP GridObject::FocusLost() {
    CommitEdit();
    m_focus = false;
    Changed();
    return S_OK;
}

STDMETHODIMP GridObject::HandleMessage(HWND, HDC dc, UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT*) {
    if (!m_focus)
        return 1;
    POINT pt = {(SHORT)LOWORD(lParam), (SHORT)HIWORD(lParam)};
    auto cellAt = [&](LONG* col, LONG* row) {
        if (dc)
            DPtoLP(dc, &pt, 1);
        RowAtY(pt.y, row);
        ColumnAtX(pt.x, col);
        return *row >= 0 && *col >= 0;
    };
    LONG col = -1, row = -1;
    switch (message) {
        case WM_LBUTTONDOWN: {
            CommitEdit();
            if (!cellAt(&col, &row)) {
                ExitEdit();
                return 1;
            }
            if (wParam & MK_SHIFT) {
                Select(m_activeCol, m_activeRow, col, row);
            } else if (col == m_activeCol && row == m_activeRow) {
                StartEdit(row, col);
            } else {
                SetActive(col, row);
                m_mouseMode = 3;
            }
            Changed();
            return 0;
        }
        case WM_MOUSEMOVE:
            if (!(wParam & MK_LBUTTON)) {
                m_mouseMode = 0;
                return 0;
            }
            if (m_mouseMode == 3 && cellAt(&col, &row)) {
                Select(m_activeCol, m_activeRow, col, row);
                Changed();
            }
            return 0;
        case WM_LBUTTONUP:
            if (m_mouseMode == 3 && cellAt(&col, &row)) {
                Select(m_activeCol, m_activeRow, col, row);
                Changed();
            }
            m_mouseMode = 0;
            return 0;
        case WM_LBUTTONDBLCLK:
            CommitEdit();
            if (cellAt(&col, &row)) {
                SetActive(col, row);
                m_mouseMode = 0;
                StartEdit(row, col);
                Changed();
            }
            return 0;
        case WM_KEYDOWN: {
            const LONG page = ScrollPage(true);
            switch (wParam) {
                case VK_HOME:
                    put_ObjLeftColumn(m_cols > 0 ? 1 : 0);
                    m_activeCol = m_cols > 0 ? 1 : 0;
                    [[fallthrough]];
                case VK_PRIOR:
                    m_activeRow = std::max(m_activeRow - page, 1L);
                    put_ObjTopRow(std::max(m_topRow - page, 1L));
                    break;
                case VK_END:
                    m_activeCol = m_cols;
                    [[fallthrough]];
                case VK_NEXT:
                    m_activeRow = std::min(m_activeRow + page, Rows());
                    put_ObjTopRow(m_topRow + page);
                    break;
                case VK_LEFT:
                    m_activeCol = std::max(m_activeCol - 1, 0L);
                    break;
                case VK_RIGHT:
                    m_activeCol = std::min(m_activeCol + 1, m_cols);
                    break;
                case VK_UP:
                    m_activeRow = std::max(m_activeRow - 1, 0L);
                    break;
                case VK_DOWN:
                    m_activeRow = std::min(m_activeRow + 1, Rows());
                    break;
                default:
                    return 1;
            }
            EnsureVisible();
            Select(m_activeCol, m_activeRow, m_activeCol, m_activeRow);
            Changed();
            return 0;
        }
    }
    return 1;
}

// ---- the database ----

IDBCore* GridObject::Database() {
    IPlayerSite* site = ClassSite();
    void* db = nullptr;
    if (!site || FAILED(site->GetDatabase(&db)))
        return nullptr;
    return static_cast<IDBCore*>(db);
}

void GridObject::Describe(DataSourceDescriptor* d) const {
    memset(d, 0, sizeof(*d));
    if (ObjectRecord* r = const_cast<GridObject*>(this)->Record())
        memcpy(d->objectName, r->szName, 31);
    memcpy(d->sourceName, m_source, 63);
}

bool GridObject::SourceOpens(const char* name, int* records) {
    IDBCore* db = Database();
    if (!db || !name || !name[0])
        return false;
    DataSourceDescriptor d;
    Describe(&d);
    memset(d.sourceName, 0, sizeof(d.sourceName));
    strncpy(d.sourceName, name, 63);
    return SUCCEEDED(db->GetDataSourceRecordCount(&d, records));
}

HRESULT GridObject::LoadBound() {
    IDBCore* db = Database();
    if (!db)
        return E_FAIL;
    DataSourceDescriptor d;
    Describe(&d);
    int records = 0, fields = 0;
    if (FAILED(db->GetDataSourceRecordCount(&d, &records)) ||
        FAILED(db->GetDataSourceFieldCount(&d, &fields)) || fields < 0 || fields > GRID_MAX_COLUMNS)
        return E_FAIL;
    std::vector<std::string> names;
    std::vector<int> types;
    for (int i = 0; i < fields; ++i) {
        Describe(&d);
        if (FAILED(db->GetDataSourceFieldName(&d, i)))
            return E_FAIL;
        d.fieldName[63] = 0;
        int type = 0;
        if (FAILED(db->GetDataSourceFieldType(&d, &type)))
            return E_FAIL;
        names.push_back(d.fieldName);
        types.push_back(type);
    }
    m_fieldNames = names;
    m_fieldTypes = types;
    m_records = std::max(records, 0);
    m_adding = false;
    for (GridCell* c : m_pending) delete c;
    m_pending.clear();
    m_activeCol = m_activeRow = 1;
    Select(1, 1, 1, 1);
    m_leftCol = m_topRow = 1;
    m_cols = fields;
    ClearCells();
    m_cells.emplace_back();
    m_cells[0].push_back(new GridCell());
    for (int i = 0; i < fields; ++i) {
        GridCell* head = new GridCell();
        head->text = names[i];
        head->readOnly = 1;
        m_cells[0].push_back(head);
    }
    FetchWindow(false);
    AnnounceBoth();
    Changed();
    return S_OK;
}

void GridObject::ResetRecordRow(std::vector<GridCell*>& row, LONG record) {
    // A row that held another record is used again: its cells as new ones.
    for (size_t i = m_cols + 1; i < row.size(); ++i) delete row[i];
    row.resize(m_cols + 1, nullptr);
    for (GridCell*& c : row) {
        if (!c) {
            c = new GridCell();
        } else if (c->font) {
            c->font->Release();
            c->font = nullptr;
        }
    }
    // The record number, without a formatting call per row.
    char number[16];
    char* p = number + sizeof(number);
    unsigned long n = record < 0 ? 0UL - (unsigned long)record : (unsigned long)record;
    do {
        *--p = (char)('0' + n % 10);
        n /= 10;
    } while (n);
    if (record < 0)
        *--p = '-';
    row[0]->text.assign(p, number + sizeof(number) - p);
    row[0]->readOnly = 1;
    for (LONG f = 0; f < m_cols; ++f) {
        GridCell* cell = row[f + 1];
        cell->text.clear();
        cell->readOnly = EditableType(m_fieldTypes[f]) ? 0 : 1;
    }
}

void GridObject::FillRecordRow(std::vector<GridCell*>& row, LONG record) {
    ResetRecordRow(row, record);
    IDBCore* db = Database();
    if (!db)
        return;
    DataSourceDescriptor d;
    for (LONG f = 0; f < m_cols; ++f) {
        GridCell* cell = row[f + 1];
        Describe(&d);
        strncpy(d.fieldName, m_fieldNames[f].c_str(), 63);
        d.position = record - 1;
        VARIANT v;
        VariantInit(&v);
        if (SUCCEEDED(db->GetDataSourceFieldValue(&d, &v))) {
            char* text = nullptr;
            int flag = 0;
            if (SUCCEEDED(db->VariantToTextBuffer(&v, &text, m_fieldTypes[f], &flag)) && text) {
                cell->text = text;
                db->FreeDBBlock(text);
            }
        }
        VariantClear(&v);
    }
}

void GridObject::ReadRecordRows(std::vector<std::vector<GridCell*>>& rows,
                                const std::vector<LONG>& indexes) {
    IDBCore* db = Database();
    CComPtr<IDBRecordTexts> texts;
    if (db && (LONG)m_fieldNames.size() == m_cols && (LONG)m_fieldTypes.size() == m_cols)
        db->QueryInterface(__uuidof(IDBRecordTexts), reinterpret_cast<void**>(&texts));
    std::vector<const char*> names;
    for (const std::string& name : m_fieldNames) names.push_back(name.c_str());
    size_t i = 0;
    while (i < indexes.size()) {
        // A run of consecutive records in one call.
        size_t end = i + 1;
        while (end < indexes.size() && indexes[end] == indexes[end - 1] + 1) ++end;
        int read = 0;
        char* block = nullptr;
        if (texts) {
            DataSourceDescriptor d;
            Describe(&d);
            d.position = m_topRow + indexes[i] - 1;
            if (FAILED(texts->GetDataSourceRecordTexts(&d, (int)(end - i), names.data(),
                                                       m_fieldTypes.data(), (int)m_cols, &block,
                                                       &read)) ||
                !block || read < 0 || read > (int)(end - i))
                read = 0;
        }
        const char* p = block;
        for (int r = 0; r < read; ++r, ++i) {
            std::vector<GridCell*>& row = rows[indexes[i]];
            ResetRecordRow(row, m_topRow + indexes[i]);
            for (LONG f = 0; f < m_cols; ++f) {
                row[f + 1]->text = p;
                p += strlen(p) + 1;
            }
        }
        if (block)
            db->FreeDBBlock(block);
        // A record not read whole is read field by field, as it always was.
        if (i < end) {
            FillRecordRow(rows[indexes[i]], m_topRow + indexes[i]);
            ++i;
        }
    }
}

// The held rows: at most 48 records from the top row on. Rows still inside
// the window are kept; the others are read.
void GridObject::FetchWindow(bool keep) {
    const LONG count = std::max(0L, std::min((LONG)GRID_WINDOW, m_records - m_topRow + 1));
    std::vector<std::vector<GridCell*>> held(std::make_move_iterator(m_cells.begin() + 1),
                                             std::make_move_iterator(m_cells.end()));
    LONG oldTop = keep ? m_heldTop : 0;
    std::vector<std::vector<GridCell*>> rows(count);
    std::vector<bool> kept(held.size(), false);
    for (LONG k = 0; k < count; ++k) {
        LONG old = m_topRow + k - oldTop;
        if (keep && old >= 0 && old < (LONG)held.size()) {
            rows[k].swap(held[old]);
            kept[old] = true;
        }
    }
    // The rows read anew take the cells of those that left the window.
    size_t spare = 0;
    std::vector<LONG> fresh;
    for (LONG k = 0; k < count; ++k) {
        if (!rows[k].empty())
            continue;
        while (spare < held.size() && kept[spare]) ++spare;
        if (spare < held.size())
            rows[k].swap(held[spare++]);
        fresh.push_back(k);
    }
    ReadRecordRows(rows, fresh);
    for (auto& row : held)
        for (GridCell* c : row) delete c;
    m_cells.resize(1);
    for (auto& row : rows) m_cells.push_back(std::move(row));
    m_heldTop = m_topRow;
    m_measured.clear();
}

void GridObject::Unbind() {
    m_flags &= ~GRIDFLAG_BOUND;
    memset(m_source, 0, sizeof(m_source));
    m_records = 0;
    m_adding = false;
    for (GridCell* c : m_pending) delete c;
    m_pending.clear();
    m_fieldNames.clear();
    m_fieldTypes.clear();
    m_rows = m_cols = 4;
    ClearCells();
    m_colWidths.assign(m_cols + 1, m_cellWidth);
    m_colWidths[0] = m_rowHeadWidth;
    m_rowHeights.assign(m_rows + 1, m_cellHeight);
    m_rowHeights[0] = m_colHeadHeight;
    ResizeCells(m_rows, m_cols);
    m_leftCol = m_topRow = 1;
    SetActive(1, 1);
    AnnounceBoth();
    Changed();
}

void GridObject::MakeVariant(VARIANT* v, const std::string& text, int type) {
    VariantInit(v);
    if (IDBCore* db = Database())
        db->TextToVariant(v, text.c_str(), type);
}

bool GridObject::WriteCell(LONG record, LONG col, const std::string& text) {
    IDBCore* db = Database();
    if (!db || col < 1 || col > (LONG)m_fieldNames.size())
        return false;
    FieldValuePair pair;
    memset(&pair, 0, sizeof(pair));
    strncpy(pair.fieldName, m_fieldNames[col - 1].c_str(), 63);
    VariantInit(&pair.value);
    if (FAILED(db->TextToVariant(&pair.value, text.c_str(), m_fieldTypes[col - 1]))) {
        VariantClear(&pair.value);
        return false;
    }
    DataSourceDescriptor d;
    Describe(&d);
    d.position = record - 1;
    HRESULT hr = db->UpdateDataSourceRecord(&d, &pair, 1);
    VariantClear(&pair.value);
    return SUCCEEDED(hr);
}

STDMETHODIMP GridObject::AddNewRecord() {
    if (!Bound() || !(m_flags & GRIDFLAG_CANMODIFY) || m_adding)
        return E_FAIL;
    m_adding = true;
    for (GridCell* c : m_pending) delete c;
    m_pending.clear();
    for (LONG c = 0; c <= m_cols; ++c) {
        GridCell* cell = new GridCell();
        if (c == 0) {
            char number[16];
            wsprintfA(number, "%ld", (long)(m_records + 1));
            cell->text = number;
            cell->readOnly = 1;
        } else {
            cell->readOnly = EditableType(m_fieldTypes[c - 1]) ? 0 : 1;
        }
        m_pending.push_back(cell);
    }
    put_ObjTopRow(m_topRow + 1);
    m_activeRow = m_records + 1;
    Select(m_activeCol, m_activeRow, m_activeCol, m_activeRow);
    Announce(GRIDROW_VERT, GRIDSINK_ADDED);
    m_modified = true;
    Changed();
    return EnterEdit();
}

STDMETHODIMP GridObject::UpdateAddNewRecord() {
    if (!m_adding || !Bound())
        return 1;
    m_adding = false;
    IDBCore* db = Database();
    if (!db)
        return E_FAIL;
    std::vector<FieldValuePair> pairs;
    for (LONG c = 1; c <= m_cols && c < (LONG)m_pending.size(); ++c) {
        if (m_pending[c]->text.empty())
            continue;
        FieldValuePair pair;
        memset(&pair, 0, sizeof(pair));
        strncpy(pair.fieldName, m_fieldNames[c - 1].c_str(), 63);
        VariantInit(&pair.value);
        if (FAILED(
                db->TextToVariant(&pair.value, m_pending[c]->text.c_str(), m_fieldTypes[c - 1]))) {
            VariantClear(&pair.value);
            continue;
        }
        pairs.push_back(pair);
    }
    DataSourceDescriptor d;
    Describe(&d);
    HRESULT hr = db->AddDataSourceRecord(&d, pairs.data(), (int)pairs.size());
    for (FieldValuePair& p : pairs) VariantClear(&p.value);
    for (GridCell* c : m_pending) delete c;
    m_pending.clear();
    // The new record shows at once; the database's notice reloads again.
    int records = 0;
    if (SourceOpens(m_source, &records)) {
        m_records = records;
        FetchWindow(false);
        Announce(GRIDROW_VERT, GRIDSINK_RANGE);
    }
    Changed();
    return hr;
}

STDMETHODIMP GridObject::OnDataSourceNotice(const DataSourceNotice* notice) {
    if (!notice || !Bound())
        return S_OK;
    char own[33] = {};
    if (ObjectRecord* r = Record())
        memcpy(own, r->szName, 31);
    int records = 0;
    if (!SourceOpens(m_source, &records)) {
        Unbind();
    } else if (strncmp(notice->objectName, own, 32) != 0 || notice->kind == 1) {
        LONG top = m_topRow;
        if (SUCCEEDED(LoadBound()) && top > 1)
            put_ObjTopRow(top);
    }
    SetActive(1, 1);
    AnnounceBoth();
    Changed();
    return S_OK;
}

// ---- the record ----

// Everything is read into new parts first: a record that fails leaves the
// grid as it was.
bool GridObject::ReadRecord(ITeskStream* stream) {
    DWORD r = 0;
    if (!StreamReadValue(stream, &r) || r > GRID_MAX_ROWS + 1) {
        LOG_MSG("Grid record: %lu rows refused", (unsigned long)r);
        return false;
    }
    std::vector<DWORD> rowBits;
    if (!ReadBitmap(stream, r, &rowBits))
        return false;
    std::vector<std::vector<GridCell*>> cells(r);
    auto dropCells = [&cells]() {
        for (auto& row : cells)
            for (GridCell* c : row) delete c;
    };
    FontObject* fonts[3] = {};
    FillObject* fills[3] = {};
    LineStyleObject* lines[6] = {};
    auto fail = [&]() {
        dropCells();
        ReleaseAll(fonts);
        ReleaseAll(fills);
        ReleaseAll(lines);
        return false;
    };
    for (DWORD i = 0; i < r; ++i) {
        if (!Present(rowBits, i))
            continue;
        DWORD c = 0;
        std::vector<DWORD> cellBits;
        if (!StreamReadValue(stream, &c) || c > GRID_MAX_COLUMNS + 1 ||
            !ReadBitmap(stream, c, &cellBits)) {
            LOG_MSG("Grid record: row %lu refused", (unsigned long)i);
            return fail();
        }
        cells[i].assign(c, nullptr);
        for (DWORD k = 0; k < c; ++k) {
            if (!Present(cellBits, k))
                continue;
            GridCell* cell = new GridCell();
            cells[i][k] = cell;
            DWORD marker = 0;
            if (!ReadStreamString(stream, &cell->text) || !StreamReadValue(stream, &marker))
                return fail();
            bool font = false;
            if (marker & 0x80000000) {
                font = marker == kFontMarker;
            } else {
                // The older form: the font's record follows the text.
                stream->Seek(-4, TESK_SEEK_CUR);
                font = true;
            }
            if (font && (FAILED(CreateFontObject(&cell->font)) || !cell->font ||
                         FAILED(cell->font->Load(stream))))
                return fail();
        }
    }
    LONG sizes[4], heads[2];
    std::vector<LONG> colWidths, rowHeights;
    if (!StreamHas(stream, sizeof(sizes)))
        return fail();
    stream->Read(sizes, sizeof(sizes));
    if (!ReadIntList(stream, GRID_MAX_COLUMNS + 1, &colWidths) || !StreamHas(stream, sizeof(heads)))
        return fail();
    stream->Read(heads, sizeof(heads));
    if (!ReadIntList(stream, GRID_MAX_ROWS + 1, &rowHeights))
        return fail();
    for (FontObject*& f : fonts)
        if (FAILED(CreateFontObject(&f)) || !f || FAILED(f->Load(stream)))
            return fail();
    for (FillObject*& f : fills)
        if (!(f = CreateFillObject()) || FAILED(f->Load(stream)))
            return fail();
    for (LineStyleObject*& l : lines)
        if (!(l = CreateLineStyObj()) || FAILED(l->Load(stream)))
            return fail();
    LONG flags = 0;
    char source[64];
    std::string skipped;
    if (!StreamReadValue(stream, &flags) || !StreamHas(stream, sizeof(source)))
        return fail();
    stream->Read(source, sizeof(source));
    source[63] = 0;
    if (!ReadStreamString(stream, &skipped) || !ReadStreamString(stream, &skipped))
        return fail();
    // Counts outside their limits are taken to the nearest one.
    const LONG rows = std::min(std::max(sizes[0], 1L), (LONG)GRID_MAX_ROWS);
    const LONG cols = std::min(std::max(sizes[1], 1L), (LONG)GRID_MAX_COLUMNS);
    ClearCells();
    m_flags = flags & ~GRIDFLAG_BOUND;
    m_rows = rows;
    m_cols = cols;
    m_rowHeadWidth = std::max(sizes[2], (LONG)GRID_MIN_SIZE);
    m_cellWidth = std::max(sizes[3], (LONG)GRID_MIN_SIZE);
    m_colHeadHeight = std::max(heads[0], (LONG)GRID_MIN_SIZE);
    m_cellHeight = std::max(heads[1], (LONG)GRID_MIN_SIZE);
    m_colWidths = colWidths;
    m_rowHeights = rowHeights;
    m_cells.resize(rows + 1);
    for (LONG i = 0; i <= rows && i < (LONG)cells.size(); ++i) {
        for (LONG k = 0; k < (LONG)cells[i].size(); ++k) {
            if (k <= cols)
                m_cells[i].push_back(cells[i][k] ? cells[i][k] : new GridCell());
            else
                delete cells[i][k];
        }
        cells[i].clear();
    }
    dropCells();
    ResizeCells(rows, cols);
    m_colWidths.resize(cols + 1, m_cellWidth);
    m_rowHeights.resize(rows + 1, m_cellHeight);
    for (int i = 0; i < 3; ++i) std::swap(fonts[i], m_fonts[i]);
    for (int i = 0; i < 3; ++i) std::swap(fills[i], m_fills[i]);
    for (int i = 0; i < 6; ++i) std::swap(lines[i], m_lines[i]);
    ReleaseAll(fonts);
    ReleaseAll(fills);
    ReleaseAll(lines);
    memset(m_source, 0, sizeof(m_source));
    memcpy(m_source, source, strnlen(source, 63));
    // A stored binding opens when the page shows.
    if ((flags & GRIDFLAG_BOUND) && m_source[0])
        m_flags |= GRIDFLAG_BOUND;
    m_records = 0;
    m_leftCol = m_topRow = 1;
    SetActive(1, 1);
    return true;
}

STDMETHODIMP GridObject::LoadExtension(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    if (!ReadRecord(stream)) {
        LOG_MSG("Grid record: cut short or damaged");
        return E_FAIL;
    }
    return S_OK;
}

STDMETHODIMP GridObject::SaveExtension(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    const DWORD r = (DWORD)m_cells.size();
    StreamWriteValue(stream, r);
    std::vector<DWORD> all((r + 31) / 32, 0xFFFFFFFF);
    if (r % 32)
        all.back() = (1u << (r % 32)) - 1;
    if (r)
        stream->Write(all.data(), (ULONG)(4 * all.size()));
    for (const auto& row : m_cells) {
        const DWORD c = (DWORD)row.size();
        StreamWriteValue(stream, c);
        std::vector<DWORD> bits((c + 31) / 32, 0xFFFFFFFF);
        if (c % 32)
            bits.back() = (1u << (c % 32)) - 1;
        if (c)
            stream->Write(bits.data(), (ULONG)(4 * bits.size()));
        for (const GridCell* cell : row) {
            WriteStreamString(stream, cell->text);
            StreamWriteValue<DWORD>(stream, cell->font ? kFontMarker : kNoFontMarker);
            if (cell->font)
                cell->font->Save(stream);
        }
    }
    LONG sizes[4] = {m_rows, m_cols, m_rowHeadWidth, m_cellWidth};
    stream->Write(sizes, sizeof(sizes));
    WriteIntList(stream, m_colWidths);
    LONG heads[2] = {m_colHeadHeight, m_cellHeight};
    stream->Write(heads, sizeof(heads));
    WriteIntList(stream, m_rowHeights);
    for (FontObject* f : m_fonts) f->Save(stream);
    for (FillObject* f : m_fills) f->Save(stream);
    for (LineStyleObject* l : m_lines) l->Save(stream);
    StreamWriteValue(stream, m_flags);
    stream->Write(m_source, sizeof(m_source));
    WriteStreamString(stream, "");
    WriteStreamString(stream, "");
    return S_OK;
}

HRESULT CreateGridObject(IUnknown** out) {
    return CreateObjectOfClass<GridObject>(out);
}
