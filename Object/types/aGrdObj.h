// GridObject: a table of text cells with an optional row head (column 0) and
// column head (row 0). The user selects cells and edits one in place in an
// "EDIT" window; the grid may be bound to a table or query of the work's
// database, then it holds a window of records and writes edits and new
// records back. Its scroll positions are rows of its event-sink table, which
// scroll bars follow.
#pragma once

#include <string>
#include <vector>

#include "aObjClass.h"

struct FillObject;
struct FontObject;
struct LineStyleObject;
struct IDBCore;

// Flag bits.
enum GridFlags : LONG {
    GRIDFLAG_ROWHEAD = 0x01,
    GRIDFLAG_COLUMNHEAD = 0x02,
    GRIDFLAG_ACTIVEFRAME = 0x04,
    GRIDFLAG_BOUND = 0x08,
    GRIDFLAG_CANMODIFY = 0x10
};
// The three fonts and fills, the six line styles.
enum GridArea { GRID_COLUMNHEAD = 0, GRID_ROWHEAD = 1, GRID_CELLS = 2 };
enum GridLine {
    GRIDLINE_OUTER_HORZ = 0,
    GRIDLINE_OUTER_VERT = 1,
    GRIDLINE_UNDER_HEAD = 2,
    GRIDLINE_RIGHT_OF_HEAD = 3,
    GRIDLINE_ROWS = 4,
    GRIDLINE_COLUMNS = 5
};
// Limits of the counts and the bound window.
enum { GRID_MAX_ROWS = 1000, GRID_MAX_COLUMNS = 64, GRID_WINDOW = 48, GRID_MIN_SIZE = 4 };
// Sink rows and the codes they fire.
enum { GRIDROW_HORZ = 0, GRIDROW_VERT = 1 };
enum { GRIDSINK_RANGE = 255, GRIDSINK_POSITION = 16, GRIDSINK_ADDED = 1 };
// The strings naming the sink rows.
enum { GRID_ROWNAME_HORZ = 22000, GRID_ROWNAME_VERT = 22001 };

struct GridCell {
    GridCell() : readOnly(0), font(nullptr) {}
    ~GridCell();
    GridCell(const GridCell&) = delete;
    GridCell& operator=(const GridCell&) = delete;
    std::string text;
    LONG readOnly;  // 1: not editable while bound
    FontObject* font;
};

class GridObject : public GridObjectClass<GridObject> {
public:
    GridObject();
    ~GridObject() override;
    HRESULT SetUp();

    // ---- IGridDispObj ----
    STDMETHOD(get_ObjRows)(LONG* out) override { return Get(out, Rows()); }
    STDMETHOD(put_ObjRows)(LONG v) override;
    STDMETHOD(get_ObjColumns)(LONG* out) override { return Get(out, m_cols); }
    STDMETHOD(put_ObjColumns)(LONG v) override;
    STDMETHOD(get_ObjShowRowHead)(LONG* out) override {
        return Get(out, (m_flags & GRIDFLAG_ROWHEAD) ? 1 : 0);
    }
    STDMETHOD(put_ObjShowRowHead)(LONG v) override;
    STDMETHOD(get_ObjShowColumnHead)(LONG* out) override {
        return Get(out, (m_flags & GRIDFLAG_COLUMNHEAD) ? 1 : 0);
    }
    STDMETHOD(put_ObjShowColumnHead)(LONG v) override;
    STDMETHOD(get_ObjTopRow)(LONG* out) override { return Get(out, m_topRow); }
    STDMETHOD(put_ObjTopRow)(LONG v) override;
    STDMETHOD(get_ObjLeftColumn)(LONG* out) override { return Get(out, m_leftCol); }
    STDMETHOD(put_ObjLeftColumn)(LONG v) override;
    STDMETHOD(get_ObjRowHeadWidth)(LONG* out) override { return Get(out, m_rowHeadWidth); }
    STDMETHOD(put_ObjRowHeadWidth)(LONG v) override { return PutSize(&m_rowHeadWidth, v); }
    STDMETHOD(get_ObjColumnHeadHeight)(LONG* out) override { return Get(out, m_colHeadHeight); }
    STDMETHOD(put_ObjColumnHeadHeight)(LONG v) override { return PutSize(&m_colHeadHeight, v); }
    STDMETHOD(get_ObjCellWidth)(LONG* out) override { return Get(out, m_cellWidth); }
    STDMETHOD(put_ObjCellWidth)(LONG v) override { return PutSize(&m_cellWidth, v); }
    STDMETHOD(get_ObjCellHeight)(LONG* out) override { return Get(out, m_cellHeight); }
    STDMETHOD(put_ObjCellHeight)(LONG v) override { return PutSize(&m_cellHeight, v); }
    STDMETHOD(AddNewRecord)() override;
    STDMETHOD(UpdateAddNewRecord)() override;
    STDMETHOD(get_ObjActiveColumn)(LONG* out) override { return Get(out, m_activeCol); }
    STDMETHOD(put_ObjActiveColumn)(LONG v) override;
    STDMETHOD(get_ObjActiveRow)(LONG* out) override { return Get(out, m_activeRow); }
    STDMETHOD(put_ObjActiveRow)(LONG v) override;
    STDMETHOD(get_ObjShowActiveCellFrame)(LONG* out) override {
        return Get(out, (m_flags & GRIDFLAG_ACTIVEFRAME) ? 1 : 0);
    }
    STDMETHOD(put_ObjShowActiveCellFrame)(LONG v) override;
    STDMETHOD(get_ObjCanModify)(LONG* out) override {
        return Get(out, (m_flags & GRIDFLAG_CANMODIFY) ? 1 : 0);
    }
    STDMETHOD(put_ObjCanModify)(LONG v) override;
    STDMETHOD(get_ObjCellContent)(INT row, INT col, BSTR* out) override;
    STDMETHOD(put_ObjCellContent)(INT row, INT col, BSTR text) override;
    STDMETHOD(EnterEdit)() override;
    STDMETHOD(ExitEdit)() override;

    // ---- private operations ----
    STDMETHOD(GetDataSource)(LONG* bound, BSTR* name) override;
    STDMETHOD(SetDataSource)(BSTR name) override;
    STDMETHOD(GetGridFont)(LONG area, FontObject** out) override;
    STDMETHOD(GetGridLineStyle)(LONG line, LineStyleObject** out) override;
    STDMETHOD(GetGridFill)(LONG area, FillObject** out) override;
    STDMETHOD(RowAtY)(LONG y, LONG* out) override;
    STDMETHOD(ColumnAtX)(LONG x, LONG* out) override;

    // ---- the sink table's queries: row 0 columns, row 1 rows ----
    STDMETHOD(GetRowMaximum)(LONG row, LONG* out) override;
    STDMETHOD(GetRowMinimum)(LONG row, LONG* out) override;
    STDMETHOD(GetRowPageStep)(LONG row, LONG* out) override;
    STDMETHOD(GetRowValue)(LONG row, LONG* out) override;
    STDMETHOD(SetRowValue)(LONG row, LONG value) override;

    // ---- the window-message part ----
    STDMETHOD(BeginHook)(void* hookRecord) override;
    STDMETHOD(FocusLost)() override;
    STDMETHOD(HandleMessage)
    (HWND window, HDC dc, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // ---- object base, render parts, database notices ----
    STDMETHOD(Init)(ObjectCreationRecord* record) override;
    STDMETHOD(InvalidateBounds)(IPixelBuffer* target) override;
    STDMETHOD_(int, HitTestPoint)(LONG x, LONG y) override;
    STDMETHOD_(int, TestRegion)(HRGN) override { return IsVisible(); }
    STDMETHOD(GetBoundsRect)(RECT* out) override;
    STDMETHOD(CollectFiles)(IFileCollector* collector) override;
    STDMETHOD(BeforeEnter)() override;
    STDMETHOD(BeforeExit)() override;
    STDMETHOD(OnDataSourceNotice)(const DataSourceNotice* notice) override;
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;
    STDMETHOD(LoadExtension)(ITeskStream* stream) override;
    STDMETHOD(SaveExtension)(ITeskStream* stream) override;

    // Rows as ObjRows counts them; the rows held in memory.
    LONG Rows() const;
    LONG HeldRows() const { return (LONG)m_cells.size() - 1; }
    bool Bound() const { return (m_flags & GRIDFLAG_BOUND) != 0; }
    bool Adding() const { return m_adding; }
    HWND EditWindow() const { return m_edit; }
    // The cell at a grid row (0 head; bound: a record number) and column.
    GridCell* CellAt(LONG row, LONG col);
    // The layout rectangle (logical units).
    RECT LayoutRect();
    // The rectangle of a cell (logical units), empty when not shown.
    RECT CellRect(LONG row, LONG col);
    // Starts and commits the in-place edit of a cell.
    void StartEdit(LONG row, LONG col);
    void CommitEdit();

private:
    HRESULT PutSize(LONG* field, LONG v);
    void Changed() { this->InvalidateObject(nullptr); }
    void Announce(LONG row, LONG code) { CEventSinkTable::FireEvent(row, code); }
    void AnnounceBoth() {
        Announce(GRIDROW_HORZ, GRIDSINK_RANGE);
        Announce(GRIDROW_VERT, GRIDSINK_RANGE);
    }
    LONG ColWidth(LONG col) const;
    LONG StoredRowHeight(LONG index) const;  // index into the held rows
    LONG RowHeight(LONG index);              // with the tallest text
    FontObject* FontFor(LONG index, LONG col, GridCell* cell) const;
    LONG RowOfIndex(LONG index) const;  // held row index to grid row
    LONG IndexOfRow(LONG row) const;    // grid row to held row index, -1 when not held
    void ResizeCells(LONG rows, LONG cols);
    void ClearCells();
    void ClampScroll();
    LONG ScrollMaximum(bool vertical);
    LONG ScrollPage(bool vertical);
    void SetActive(LONG col, LONG row);
    void EnsureVisible();
    void Select(LONG col1, LONG row1, LONG col2, LONG row2);
    bool CellEditable(LONG row, LONG col);
    // The database.
    IDBCore* Database();
    void Describe(DataSourceDescriptor* d) const;
    bool SourceOpens(const char* name, int* records);
    HRESULT LoadBound();
    void FetchWindow(bool keep);
    // A row's cells fresh for a record: its number, the fields' edit
    // rights, no texts.
    void ResetRecordRow(std::vector<GridCell*>& row, LONG record);
    // A record's row read field by field.
    void FillRecordRow(std::vector<GridCell*>& row, LONG record);
    // Rows (indexes into rows, ascending) read for records m_topRow +
    // index: runs of records at once where the database can.
    void ReadRecordRows(std::vector<std::vector<GridCell*>>& rows,
                        const std::vector<LONG>& indexes);
    void Unbind();
    bool WriteCell(LONG record, LONG col, const std::string& text);
    void MakeVariant(VARIANT* v, const std::string& text, int type);
    bool ReadRecord(ITeskStream* stream);

    std::vector<std::vector<GridCell*>> m_cells;  // held rows (row 0 the head)
    LONG m_rows, m_cols;
    LONG m_rowHeadWidth, m_cellWidth, m_colHeadHeight, m_cellHeight;
    std::vector<LONG> m_colWidths, m_rowHeights;
    FontObject* m_fonts[3];
    FillObject* m_fills[3];
    LineStyleObject* m_lines[6];
    LONG m_flags;
    char m_source[64];
    LONG m_activeCol, m_activeRow;
    RECT m_selection;  // left column, top row, right column, bottom row
    LONG m_leftCol, m_topRow;
    HWND m_edit;
    LONG m_editRow, m_editCol;
    bool m_focus;
    int m_mouseMode;
    bool m_adding;
    bool m_modified;
    // Bound: the record count, the fields and the pending new row.
    LONG m_records;
    LONG m_heldTop;  // the record of the first held row
    std::vector<std::string> m_fieldNames;
    std::vector<int> m_fieldTypes;
    std::vector<GridCell*> m_pending;
    // Row heights as last measured, by held row; empty when stale.
    std::vector<LONG> m_measured;
};

HRESULT CreateGridObject(IUnknown** out);
