// The query design dialog: a stored query designed in a grid of design
// columns and criteria blocks, from which it builds the SQL (and into which
// it parses a visual query's SQL again), or typed as SQL text.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <set>
#include <string>

#include "bDialog.h"

class CDBCore;

class QueryDesignDialog : public CDialogImplBase {
public:
    QueryDesignDialog();

    CDBCore* m_core = nullptr;
    HWND m_tree = nullptr;           // the manager's tree, when there is one
    HTREEITEM m_treeItem = nullptr;  // an existing query's item
    std::string m_queryName;         // empty for a new query
    int m_newQuery = 1;
    int m_visual = 0;  // a new query: 1 visual, 0 SQL

    // Builds the SQL from the grid (or takes the SQL box's text) after the
    // name check; false when a check or a value failed.
    bool MakeSql(std::string* sql);
    // MakeSql and the store; false keeps the dialog open.
    bool BuildQuerySql();
    // Fills the grid from a visual query's SQL.
    void ParseQuerySql(const std::string& sql);
    // Makes the spare column a design column; the new column count.
    int AddDesignColumn(const std::string& table, const std::string& field, bool show);

protected:
    BOOL OnInitDialog() override;
    bool OnOK() override { return false; }
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    HWND Grid() const { return GetDlgItem(m_hWnd, 216); }
    void SetUpDesignGrid();
    void InitColumn(int col);
    void OnDesignCellChanged(int col, int row);
    void AddCriteriaBlock();
    void FillFieldList(int col);
    int FieldTypeOf(int col);
    void SetSortList(int col, int type);
    void SetOperatorList(int col, int row, int type);
    int FindDesignColumn(const std::string& table, const std::string& field, int block);
    bool AddCondition(std::string text, int block);
    void EnsureBlock(int block);
    std::string ToSqlValue(const std::string& value, int type);
    void DeleteDesignColumn();

    std::string m_params;
    std::set<std::string> m_declared;  // parameter names, upper case
    std::string m_tableList;           // the row-1 list
};
