// The database browser: the records of one table or stored query in a grid,
// one record per row, edited row by row when the source is updatable. A
// modeless window recorded in its data source's entry; every read and write
// goes through the core.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "aDBGrid.h"
#include "aDBSplitter.h"
#include "aPreView.h"
#include "bDBRecords.h"

class CDBCore;

class DatabaseBrowserDialog {
public:
    explicit DatabaseBrowserDialog(CDBCore* core);
    ~DatabaseBrowserDialog();
    DatabaseBrowserDialog(const DatabaseBrowserDialog&) = delete;
    DatabaseBrowserDialog& operator=(const DatabaseBrowserDialog&) = delete;

    // Creates the window (template 228, hidden); null when it cannot, and
    // then the caller still owns the object. Once created, the window owns
    // it.
    HWND Create(HWND parent);

    std::string m_name;  // the table or query
    int m_isQuery = 0;
    HWND m_hWnd = nullptr;

private:
    struct Field {
        std::string name;
        int type = 0;
    };

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    void OnInitDialog();
    void OnSize();
    void OnCommand(int id);
    void OnRefresh(WPARAM kind, int col, int row);

    HWND Grid() const { return m_grid; }
    // A fresh descriptor: the source, the record of a grid row (0: none) and
    // the field of a grid column (0: none).
    DataSourceDescriptor Descriptor(int row, int col) const;
    int FieldType(int col) const;
    void SetUpGrid();

    // Grid notifications.
    void LoadRows(GridVirtualRequest* request);
    int ReadCellToGrid(int row, int col);
    std::string RenderCellText(const VARIANT* value, int row, int col);
    void OnCellChanged(int col, int row);
    void OnLeaveCell(GridLeaveCell* leave);
    bool OnKeyDown(int key);
    void DeleteSelected();
    void ImportMedia(int col, int row);

    // The preview pane.
    void TogglePreview();
    void LayOutColumns();
    // Shows the content of a cell in the preview (the preview rule).
    void UpdatePreview(int col, int row);
    // A memo text changed in the preview becomes the field's pending value;
    // with markCell the cell shows so and the grid grows as for an edit.
    void StoreMemoEdit(int col, int row, bool markCell);
    const FieldValuePair* PendingValue(int col, int row) const;

    // Pending changes of the row being edited.
    bool CellTextToVariant(int col, int row, VARIANT* value);
    void SetPendingValue(const std::string& field, int linkFlag, VARIANT* value);
    void ClearPending();
    void GrowForEdit(int row);
    // Writes the pending row; the core's result (1 written).
    int WriteRow(int row);
    void KeepOnRow(int col, int row);

    CDBCore* m_core;
    HWND m_toolbar = nullptr;
    HWND m_grid = nullptr;
    CDBSplitter m_splitter;
    CPreView m_preview;
    int m_previewShown = 0;
    int m_recordCount = 0;
    int m_fieldCount = 0;
    int m_updatable = -1;
    int m_editable = 0;
    std::vector<Field> m_fields;
    std::vector<FieldValuePair> m_pending;  // values owned, one per field
    int m_pendingRow = 0;
    int m_currentRow = 0, m_currentCol = 0;
    bool m_created = false;
    char m_tip[80] = {};
};

// The text a media cell shows: the name within the value's byte array (at
// its start for a linked name, after the 32-bit length for embedded
// content), empty for an empty value, "数据错误" when the name does not end
// within the array or the value holds none.
std::string MediaCellText(const VARIANT* value, int linkFlag);
// The kind of media a media type (1024 to 1029) holds, as the media manager
// and the preview take it; -1 for any other type.
int MediaKindMask(int type);
// The value an import stores: a memo's text read from the file, a linked
// name in a 32-byte array, or embedded content (the file's 32-bit length,
// the 260-byte path, the file's bytes); false when it cannot be built.
bool BuildMediaValue(bool memo, int linkFlag, const std::string& chosen, VARIANT* value);

// The grid window of a browser window (null when it has none).
HWND BrowserGrid(HWND browser);

// Browse commands of the tree: 42769 and 42815 (and double clicks on a
// table) with isQuery 0, 42836 (and double clicks on a query) with 1.
void BrowseCommand(HWND tree, const std::string& name, int isQuery);
