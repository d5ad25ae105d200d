// The manager's grid control: rows and columns from 1 with headers in row 0
// and column 0, cell types that refuse what they cannot hold, locks, an
// active cell with in-place editing and, in virtual mode, rows asked from
// the owner block by block. Owners and tests drive it by the messages below
// and hear from it through the notifications.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "bWindow.h"

#define DBGRID_CLASS "MavroDBGrid"

// Notifications, sent to the owner (the parent unless GM_SETOWNER named
// another window) with the control id in wParam and a record in lParam.
// A data cell was double-clicked (GridCellRef); non-zero: no edit follows.
#define GN_CELLACTIVATED 0x501
// The user changed a cell's text (GridCellRef).
#define GN_CELLCHANGED 0x508
// The active cell is about to move (GridLeaveCell); the owner may cancel.
#define GN_LEAVECELL 0x509
// Edit mode is about to start on a cell (GridEditQuery).
#define GN_EDITQUERY 0x50A
// A key went down outside an edit (GridKeyDown); non-zero: handled.
#define GN_KEYDOWN 0x50B
// Virtual mode needs a block of rows (GridVirtualRequest).
#define GN_VIRTUALROWS 0x512

struct GridCellRef {
    int col;
    int row;
};

struct GridLeaveCell {
    int col, row;        // the cell left
    int newCol, newRow;  // the cell taken
    BOOL cancel;
};

struct GridEditQuery {
    int col, row;
    BOOL allow;  // preset to what the cell's lock and type allow
};

struct GridKeyDown {
    int col, row;  // the active cell
    int key;       // virtual key
};

struct GridVirtualRequest {
    int row;         // first row needed
    int rowsNeeded;  // rows from there
    int rowsLoaded;  // the owner's answer: rows filled from the first
    BOOL atTop;
    BOOL atBottom;
};

// Cell types.
enum GridCellKind {
    GCT_EDIT = 0,  // plain text without a limit (the default)
    GCT_TEXT,      // text of at most maxLength characters
    GCT_INTEGER,   // whole numbers within [minValue, maxValue]
    GCT_FLOAT,     // intDigits whole and decDigits decimal digits, in range
    GCT_DATE,      // year/month/day with "/", four-digit year
    GCT_CHECK,     // "1" or "0", drawn as a box with the caption
    GCT_LIST,      // one of the tab-separated items, or empty
    GCT_STATIC,    // shown, never edited
};

struct GridCellType {
    int kind = GCT_EDIT;
    int maxLength = 0;
    double minValue = 0, maxValue = 0;
    int intDigits = 0, decDigits = 0;
    std::string text;  // the check box's caption or the list's items

    bool operator==(const GridCellType& o) const {
        return kind == o.kind && maxLength == o.maxLength && minValue == o.minValue &&
               maxValue == o.maxValue && intDigits == o.intDigits && decDigits == o.decDigits &&
               text == o.text;
    }
};

// For type, lock, text and colour: col -1 means every column of the row,
// row -1 every row of the column, both -1 every cell.
struct GridSetType {
    int col, row;
    const GridCellType* type;
};

struct GridText {
    int col, row;
    const char* text;  // GM_SETTEXT
    char* buffer;      // GM_GETTEXT
    int size;
};

struct GridNumber {
    int col, row;
    long longValue;
    double doubleValue;
};

// A block of cells; col1 and col2 -1: whole rows; row1 and row2 -1: whole
// columns.
struct GridRange {
    int col1, row1, col2, row2;
};

struct GridCellRect {
    int col, row;
    RECT rect;  // in client coordinates; empty when not shown
};

enum GridColorIndex {
    GCI_BACKGROUND,  // the areas beside and below the cells
    GCI_CELL,
    GCI_TEXT,
    GCI_GRIDLINE,
    GCI_HEADER,
    GCI_ACTIVE,    // the active cell
    GCI_LOCKED,    // locked cells
    GCI_SELECTED,  // selected blocks
    GCI_COUNT
};

struct GridCellColor {
    int col, row;
    COLORREF back;  // CLR_INVALID: the grid's own
};

// Messages.
#define GM_FIRST (WM_USER + 0x700)
#define GM_SETMAXROWS (GM_FIRST + 0)      // wParam rows
#define GM_GETMAXROWS (GM_FIRST + 1)      //
#define GM_SETMAXCOLS (GM_FIRST + 2)      // wParam columns
#define GM_GETMAXCOLS (GM_FIRST + 3)      //
#define GM_SETTEXT (GM_FIRST + 4)         // lParam GridText*; FALSE when refused
#define GM_GETTEXT (GM_FIRST + 5)         // lParam GridText*; the text's length
#define GM_SETTYPE (GM_FIRST + 6)         // lParam GridSetType*
#define GM_GETTYPE (GM_FIRST + 7)         // wParam GridCellRef*, lParam GridCellType*
#define GM_SETLOCK (GM_FIRST + 8)         // wParam lock, lParam GridCellRef*
#define GM_GETLOCK (GM_FIRST + 9)         // lParam GridCellRef*; the cell's lock
#define GM_SETACTIVECELL (GM_FIRST + 10)  // wParam col, lParam row
#define GM_GETACTIVECELL (GM_FIRST + 11)  // lParam GridCellRef*; FALSE when none
#define GM_SETEDITMODE (GM_FIRST + 12)    // wParam on
#define GM_GETEDITMODE (GM_FIRST + 13)    //
#define GM_SETSELECTION (GM_FIRST + 14)   // lParam GridRange*, null clears
#define GM_GETSELECTION (GM_FIRST + 15)   // lParam GridRange*; FALSE: the active cell
#define GM_SETCHANGED (GM_FIRST + 16)     // wParam mark
#define GM_GETCHANGED (GM_FIRST + 17)     //
#define GM_SETREDRAW (GM_FIRST + 18)      // wParam on
#define GM_GETREDRAW (GM_FIRST + 19)      //
#define GM_SETVIRTUAL (GM_FIRST + 20)     // wParam on
#define GM_SETCOLWIDTH (GM_FIRST + 21)    // wParam col, lParam characters
#define GM_GETCOLWIDTH (GM_FIRST + 22)    // wParam col
#define GM_SETCOLOR (GM_FIRST + 23)       // wParam GridColorIndex, lParam COLORREF
#define GM_GETCOLOR (GM_FIRST + 24)       // wParam GridColorIndex
#define GM_SETCELLCOLOR (GM_FIRST + 25)   // lParam GridCellColor*
#define GM_GETCELLRECT (GM_FIRST + 26)    // lParam GridCellRect*
#define GM_DELETEROWS (GM_FIRST + 27)     // wParam first row, lParam count
#define GM_DELETECOL (GM_FIRST + 28)      // wParam col
#define GM_GETVALUE (GM_FIRST + 29)       // lParam GridNumber*; FALSE: no number
#define GM_SETTOPROW (GM_FIRST + 30)      // wParam row
#define GM_GETTOPROW (GM_FIRST + 31)      //
#define GM_SETOWNER (GM_FIRST + 32)       // wParam window
#define GM_GETEDITWINDOW (GM_FIRST + 33)  // the in-place edit or list, or null
#define GM_ISROWKEPT (GM_FIRST + 34)      // wParam row: virtual rows held

class CDBGrid : public CWindowImplBase {
public:
    CDBGrid();
    ~CDBGrid() override;

    // Registers the class "MavroDBGrid"; a window of it owns its object.
    static void Register();

    BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;
    void OnFinalMessage(HWND) override;

private:
    struct Cell {
        std::string text;
        short type = -1;        // index into m_types, -1: the column's
        signed char lock = -1;  // -1: the column's
        COLORREF back = CLR_INVALID;
    };
    struct Column {
        std::string header;
        short type = -1;
        signed char lock = -1;
        int width;  // characters
    };
    typedef std::vector<Cell> Row;  // index 0: the row header

    static LRESULT CALLBACK ClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Cells.
    Row* FindRow(int row);
    Row& TouchRow(int row);
    Cell* FindCell(int col, int row);
    Cell& TouchCell(int col, int row);
    const GridCellType& TypeOf(int col, int row) const;
    bool LockedAt(int col, int row) const;
    short TypeIndex(const GridCellType& type);
    std::string TextAt(int col, int row) const;
    // The type's form of a text, or false when the type cannot hold it.
    static bool Accept(const GridCellType& type, const std::string& in, std::string* out);
    bool SetCellText(int col, int row, const std::string& text);
    template <class F>
    void ForCells(int col, int row, F f);

    // Geometry.
    void Measure();
    int ColPixels(int col) const;
    int HeaderHeight() const { return m_rowHeight; }
    int RowsShown() const;  // whole or partly shown data rows
    bool CellRect(int col, int row, RECT* rect) const;
    bool HitTest(POINT pt, int* col, int* row) const;
    void UpdateScrollBars();
    void ScrollToShow(int col, int row);
    void SetTopRow(int row);
    void Invalidate();

    // Virtual rows.
    void EnsureRowsLoaded();

    // Active cell and editing.
    bool MoveActive(int col, int row);
    void BeginEdit(const char* firstChar);
    void EndEdit(bool commit);
    void CommitUserText(int col, int row, const std::string& text);
    void Notify(UINT code, void* record, LRESULT* answer = nullptr);
    void OnKey(int key);
    void OnClick(POINT pt, bool dbl);

    void Paint(HDC dc, const RECT& clip);

    int m_rows = 0, m_cols = 0;
    std::map<int, Row> m_data;      // kept rows; row 0 holds the column headers' cells
    std::vector<Column> m_columns;  // index 0: the row-number column
    std::vector<GridCellType> m_types;
    int m_defaultType = 0;
    bool m_allLocked = false;
    bool m_virtual = false;
    bool m_loading = false;
    bool m_redraw = true;
    bool m_changed = false;
    int m_activeCol = 0, m_activeRow = 0;
    GridRange m_sel{0, 0, 0, 0};
    bool m_hasSel = false;
    int m_topRow = 1, m_leftCol = 1;
    HFONT m_font = nullptr;
    int m_charWidth = 7, m_rowHeight = 18;
    COLORREF m_colors[GCI_COUNT];
    HWND m_owner = nullptr;
    HWND m_edit = nullptr;  // in-place edit or combo box
    WNDPROC m_editProc = nullptr;
    int m_editCol = 0, m_editRow = 0;
    bool m_ending = false;
    int m_anchorCol = 0, m_anchorRow = 0;
};

// The messages above as calls, for the dialogs that hold a grid.
namespace dbgrid {

inline bool SetText(HWND grid, int col, int row, const std::string& text) {
    GridText t = {col, row, text.c_str(), nullptr, 0};
    return SendMessageA(grid, GM_SETTEXT, 0, (LPARAM)&t) != 0;
}

inline std::string Text(HWND grid, int col, int row) {
    GridText t = {col, row, nullptr, nullptr, 0};
    int n = (int)SendMessageA(grid, GM_GETTEXT, 0, (LPARAM)&t);
    std::string out((size_t)n + 1, '\0');
    t.buffer = &out[0];
    t.size = n + 1;
    SendMessageA(grid, GM_GETTEXT, 0, (LPARAM)&t);
    out.resize((size_t)n);
    return out;
}

inline void SetType(HWND grid, int col, int row, const GridCellType& type) {
    GridSetType s = {col, row, &type};
    SendMessageA(grid, GM_SETTYPE, 0, (LPARAM)&s);
}

inline GridCellType Type(HWND grid, int col, int row) {
    GridCellRef ref = {col, row};
    GridCellType type;
    SendMessageA(grid, GM_GETTYPE, (WPARAM)&ref, (LPARAM)&type);
    return type;
}

inline GridCellType Kind(int kind, const std::string& text = std::string()) {
    GridCellType t;
    t.kind = kind;
    t.text = text;
    return t;
}

inline void SetLock(HWND grid, int col, int row, bool lock) {
    GridCellRef ref = {col, row};
    SendMessageA(grid, GM_SETLOCK, lock, (LPARAM)&ref);
}

inline bool Locked(HWND grid, int col, int row) {
    GridCellRef ref = {col, row};
    return SendMessageA(grid, GM_GETLOCK, 0, (LPARAM)&ref) != 0;
}

inline int Rows(HWND grid) {
    return (int)SendMessageA(grid, GM_GETMAXROWS, 0, 0);
}

inline int Cols(HWND grid) {
    return (int)SendMessageA(grid, GM_GETMAXCOLS, 0, 0);
}

// The look every manager dialog gives its grid: the dialog's font and the
// system's border colour behind the cells.
inline void TakeDialogLook(HWND grid, HWND dialog) {
    SendMessageA(grid, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), 0);
    SendMessageA(grid, GM_SETCOLOR, GCI_BACKGROUND, (LPARAM)GetSysColor(COLOR_ACTIVEBORDER));
}

}  // namespace dbgrid
