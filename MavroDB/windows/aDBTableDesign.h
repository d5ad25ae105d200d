// The table design dialog: a grid of field definitions (name, type, whether
// a media field embeds its content) that creates a new table or changes the
// fields and the name of an existing one through the core; and the tree
// commands that open it.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "bDialog.h"

class CDBCore;
struct TableFieldSpec;

class TableDesignDialog : public CDialogImplBase {
public:
    // Create mode (create 1) adds the new table under the tree's internal
    // tables; change mode (0) works on the table named, whose tree item is
    // renamed with it.
    TableDesignDialog(CDBCore* core, int create, HWND tree, HTREEITEM item = nullptr,
                      const std::string& table = std::string());
    ~TableDesignDialog() override;

    // The field name check of a row: the first failure is shown, false.
    bool ValidateFieldName(const std::string& name, int row);
    const std::string& TableName() const { return m_tableName; }

protected:
    BOOL OnInitDialog() override;
    bool OnOK() override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    // A field of the table as it was opened: the row that shows it now (-1
    // once deleted) and what changed.
    struct StoredField {
        std::string name;
        int row;
        int flags;
    };
    enum { kDeleted = 1, kRenamed = 2, kRetyped = 4 };

    std::string Cell(int col, int row) const;
    void SetCell(int col, int row, const std::string& text);
    void LockCell(int col, int row, bool lock);
    int Rows() const;
    // The type code (1 to 13) of a row's type cell, 0 for none.
    int TypeCode(int row) const;
    TableFieldSpec SpecOfRow(int row) const;
    void AppendBlankRow();
    bool ShowField(int row, const std::string& name);
    void OnCellChanged(int col, int row);
    void DeleteSelectedRows();
    void Finish();
    bool ApplyChanges();
    void AddTreeNode();

    CDBCore* m_core;
    int m_create;
    HWND m_tree;
    HTREEITEM m_item;
    std::string m_tableName;
    std::string m_openName;  // the name the notice carries
    HWND m_grid = nullptr;
    std::vector<std::string> m_types;  // the type list's labels by code - 1
    std::vector<StoredField> m_stored;
    bool m_marked = false;
};

// 42768 and the toolbar's 42006: a new table.
void NewTableCommand(HWND tree);
// 42770: the design of the table of a tree item. Its browser closes first
// and its cached source is closed; when that fails nothing opens.
void DesignTableCommand(HWND tree, HTREEITEM item);
