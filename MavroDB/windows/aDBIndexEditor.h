// The index editor: a table's indexes, the fields, orders and attributes of
// the one selected, new indexes from checked fields, and deletion.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bDialog.h"

class CDBCore;

class IndexEditorDialog : public CDialogImplBase {
public:
    IndexEditorDialog();

    CDBCore* m_core = nullptr;
    std::string m_table;

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int code) override;

private:
    HWND Grid() const { return GetDlgItem(m_hWnd, 259); }
    void ShowIndex();
    void AddIndex();
    void DeleteIndex();
    void LockAttributes(bool primary);
    std::string SelectedIndex() const;

    std::vector<std::string> m_fields;  // the indexable fields, one per grid row
};

// Field types an index or a relation can use: no memo, binary, GUID, time
// or long-binary fields.
bool IsIndexableFieldType(int type);
// The fields of a table whose types qualify, in field order.
std::vector<std::string> IndexableFields(CDBCore* core, const std::string& table);
