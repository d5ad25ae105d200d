// Items the grid dialogs add to the manager's tree after the core made what
// they stand for; a node's item data is its kind.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "aDBTreeView.h"

namespace dbtree {

// The first root item whose kind is kind, or null.
inline HTREEITEM FindRoot(HWND tree, int kind) {
    for (HTREEITEM item = TreeView_GetRoot(tree); item;
         item = TreeView_GetNextSibling(tree, item)) {
        if (CDBTreeView::KindOf(tree, item) == kind)
            return item;
    }
    return nullptr;
}

}  // namespace dbtree
