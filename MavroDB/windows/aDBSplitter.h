// A static splitter of one row and two columns: two pane windows side by
// side with a bar between them that the user drags. A column's width counts
// the bar at its right, so column 1 starts where column 0 ends.
#pragma once

#include <windows.h>

// Commands, notifications and the panes' own messages (WM_USER and above)
// that the splitter does not handle go on to its parent.
// Notifications of the panes, handed back to the pane that sent them.
#define DBM_REFLECT_NOTIFY (WM_USER + 0x1C00 + WM_NOTIFY)

class CDBSplitter {
public:
    static const int kBarWidth = 4;

    // Creates the splitter as a visible child of the parent.
    bool Create(HWND parent, const RECT& rect, UINT id);
    void SetPane(int column, HWND pane) { m_panes[column & 1] = pane; }
    HWND GetPane(int column) const { return m_panes[column & 1]; }
    // The width a column should take and the least it may take.
    void SetColumnInfo(int column, int ideal, int minimum);
    // The width a column takes after the last layout.
    int GetColumnWidth(int column) const { return m_actual[column & 1]; }
    // Places the panes by the columns' widths in the current client area.
    void RecalcLayout();
    // Whether the user may drag the bar; a fixed bar is not drawn either
    // (the browser's bar moves only while its preview is shown).
    void SetMovable(bool movable);
    bool IsMovable() const { return m_movable; }
    // The pane that has the focus, or null (no frame window to ask).
    HWND GetActivePane() const;
    // Focuses the given pane, or the pane of the column when none is given.
    void SetActivePane(int column, HWND pane = nullptr);

    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_panes[2] = {};
    int m_ideal[2] = {};
    int m_minimum[2] = {};
    int m_actual[2] = {};
    bool m_dragging = false;
    bool m_movable = true;
};
