// Drives a browser as its user would: a real browser window on a core,
// typed into through the grid's in-place edit and moved with the grid's
// keys, read back through the grid's messages.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "aBaseCore.h"
#include "aDBGrid.h"
#include "aDBResource.h"
#include "aDBrowser.h"

struct Browser {
    HWND w = nullptr;
    Browser(CDBCore* core, const std::string& name, int isQuery = 0) {
        auto* b = new DatabaseBrowserDialog(core);
        b->m_name = name;
        b->m_isQuery = isQuery;
        w = b->Create(nullptr);
        if (!w) {
            delete b;
            ADD_FAILURE() << "no browser on " << name;
            return;
        }
        DataSourceEntry* e =
            isQuery ? core->FindQueryByName(name.c_str()) : core->FindTableByName(name.c_str());
        if (e)
            e->browser = w;
    }
    ~Browser() {
        if (w && IsWindow(w))
            DestroyWindow(w);
    }
    HWND Grid() const { return BrowserGrid(w); }
    std::string Cell(int col, int row) const { return dbgrid::Text(Grid(), col, row); }
    int Rows() const { return dbgrid::Rows(Grid()); }
    void Activate(int col, int row) { SendMessageA(Grid(), GM_SETACTIVECELL, col, row); }
    GridCellRef Active() const {
        GridCellRef ref = {0, 0};
        SendMessageA(Grid(), GM_GETACTIVECELL, 0, (LPARAM)&ref);
        return ref;
    }
    HWND EditWindow() const { return (HWND)SendMessageA(Grid(), GM_GETEDITWINDOW, 0, 0); }
    bool Editing() const { return SendMessageA(Grid(), GM_GETEDITMODE, 0, 0) != 0; }
    // Keys go where the focus would be: the in-place edit while there is one.
    void Key(int vk) {
        HWND edit = EditWindow();
        SendMessageA(edit ? edit : Grid(), WM_KEYDOWN, vk, 0);
    }
    // The user's typing into the active cell: F2 opens its edit when none is
    // open, and the edit's text is replaced.
    void Type(const std::string& text) {
        if (!EditWindow())
            SendMessageA(Grid(), WM_KEYDOWN, VK_F2, 0);
        HWND edit = EditWindow();
        ASSERT_TRUE(edit) << "no edit to type " << text;
        SetWindowTextA(edit, text.c_str());
    }
    void Command(int id) { SendMessageA(w, WM_COMMAND, id, 0); }
    // A cell's new text and the grid's change notification, as the grid
    // sends it when its edit ends.
    void Edit(int col, int row, const std::string& text) {
        EXPECT_TRUE(dbgrid::SetText(Grid(), col, row, text)) << text;
        GridCellRef ref = {col, row};
        SendMessageA(w, GN_CELLCHANGED, IDC_DB_BROWSE_GRID, (LPARAM)&ref);
    }
};

inline void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
