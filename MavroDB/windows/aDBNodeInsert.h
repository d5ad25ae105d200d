// Items the grid dialogs add to the manager's tree after the core made what
// they stand for; a node's item data is its kind.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace dbtree {

// The first root item whose kind is kind, or null.
inline HTREEITEM FindRoot(HWND tree, int kind) {
    for (HTREEITEM item = TreeView_GetRoot(tree); item;
         item = TreeView_GetNextSibling(tree, item)) {
        TVITEMA tv = {};
        tv.mask = TVIF_PARAM;
        tv.hItem = item;
        if (SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv) && (int)tv.lParam == kind)
            return item;
    }
    return nullptr;
}

// Appends an item with its image and kind under parent.
inline HTREEITEM Append(HWND tree, HTREEITEM parent, const std::string& label, int image,
                        int kind) {
    TVINSERTSTRUCTA ins = {};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    ins.item.pszText = const_cast<char*>(label.c_str());
    ins.item.iImage = image;
    ins.item.iSelectedImage = image;
    ins.item.lParam = kind;
    return (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&ins);
}

}  // namespace dbtree
