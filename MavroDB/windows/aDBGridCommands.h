// The tree's commands that open the grid dialogs: index editor, query
// design (new visual, new SQL, change) and relation dialog.
#pragma once

#include <windows.h>

#include <commctrl.h>

// Index editor for the table of item (42771).
void IndexEditorCommand(HWND tree, HTREEITEM item);
// Query design: 42834 and toolbar 42007 a new visual query, 42835 a new
// SQL query, 42833 the query of item.
void QueryDesignCommand(HWND tree, HTREEITEM item, int id);
// Relation dialog (42843, toolbar 42008).
void RelationCommand(HWND tree);
