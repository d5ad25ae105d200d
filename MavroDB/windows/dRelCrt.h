// The relation dialog: a named relation from a main table to a related
// table over pairs of fields, with optional cascades.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "bDialog.h"

class CDBCore;

class RelationCreateDialog : public CDialogImplBase {
public:
    RelationCreateDialog();

    CDBCore* m_core = nullptr;
    HWND m_tree = nullptr;  // the manager's tree, when there is one

protected:
    BOOL OnInitDialog() override;
    bool OnOK() override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    HWND Grid() const { return GetDlgItem(m_hWnd, 268); }
    std::string SelectedTable(int listId) const;
    void FillFieldColumn(int col, int listId);
    bool Create();
};
