// The right pane of the database page: a report-style list of the details
// of the node selected in the tree. The view sets the columns for a node
// kind; the core fills the rows (CDBCore::FillObjectList).
#pragma once

#include <windows.h>

#include <commctrl.h>

class CDBPage;
class CDBTreeView;

class CDBListView {
public:
    CDBListView() = default;
    ~CDBListView();
    CDBListView(const CDBListView&) = delete;
    CDBListView& operator=(const CDBListView&) = delete;

    // Creates the control as a child of the parent, with the small-icon
    // list and one column "No Detail" as wide as the window.
    bool Create(HWND parent, int width, int height);
    // Removes every row and column, then inserts the columns of the kind;
    // a kind without columns leaves the list empty. Returns 1.
    int SetKind(int kind);
    // Removes every row and every column; 0 when the control refuses.
    int ClearList();

    static CDBListView* FromHandle(HWND hwnd);

    HWND m_hWnd = nullptr;
    CDBPage* m_page = nullptr;
    CDBTreeView* m_tree = nullptr;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    // Keeps the columns' shares of the width.
    void OnSize();

    HIMAGELIST m_images = nullptr;
};

// Adds the module's 16 x 16 icon to the list, or a blank image when it
// cannot be loaded, so the later images keep their indexes.
void AddIconOrBlank(HIMAGELIST images, int iconId);
