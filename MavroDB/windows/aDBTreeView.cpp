#include "aDBTreeView.h"

#include "aDBrowser.h"

#include <windowsx.h>

#include "aBaseCore.h"
#include "aDBListView.h"
#include "aDBModule.h"
#include "aDBResource.h"
#include "aDBrowser.h"
#include "aDBSplitter.h"
#include "bMsgBox.h"

static const char kTreeProp[] = "CDBTreeView";

CDBTreeView::~CDBTreeView() {
    if (m_menu)
        DestroyMenu(m_menu);
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    if (m_images)
        ImageList_Destroy(m_images);
}

CDBTreeView* CDBTreeView::FromHandle(HWND hwnd) {
    return hwnd ? (CDBTreeView*)GetPropA(hwnd, kTreeProp) : nullptr;
}

int CDBTreeView::KindOf(HWND tree, HTREEITEM item) {
    TVITEMA tv = {};
    tv.mask = TVIF_PARAM | TVIF_HANDLE;
    tv.hItem = item;
    if (!item || !SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv))
        return 0;
    return (int)tv.lParam;
}

std::string CDBTreeView::TextOf(HWND tree, HTREEITEM item) {
    char text[260] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof(text);
    if (!item || !SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv))
        return std::string();
    return text;
}

bool CDBTreeView::Create(HWND parent, int width, int height) {
    m_hWnd = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, width,
                             height, parent, nullptr, GetDBModule(), nullptr);
    if (!m_hWnd)
        return false;
    SetPropA(m_hWnd, kTreeProp, (HANDLE)this);
    SetWindowSubclass(m_hWnd, SubclassProc, 1, (DWORD_PTR)this);
    m_images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 8);
    for (int id : {201, 225, 212, 217, 214, 226, 224, 221, 249, 250, 254, 257, 256, 258, 255, 266,
                   261, 262, 265})
        AddIconOrBlank(m_images, id);
    SendMessageA(m_hWnd, TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)m_images);
    if (CDBCore* core = GetDBCore())
        core->FillDatabaseTree(m_hWnd);
    return true;
}

bool CDBTreeView::AddNodeWithChildren(int root, int kind, int fieldsKind, int indexesKind,
                                      const char* name) {
    if (!m_roots[root] || !name)
        return false;
    HTREEITEM node = InsertTreeItem(m_hWnd, m_roots[root], name, 2, kind);
    if (!node)
        return false;
    HTREEITEM fields = InsertTreeItem(m_hWnd, node, DBLoadString(IDS_DB_FIELDS), 3, fieldsKind);
    InsertTreeItem(m_hWnd, node, DBLoadString(IDS_DB_INDEXES), 5, indexesKind);
    return fields != nullptr;
}

bool CDBTreeView::AddTableNode(const char* name) {
    return AddNodeWithChildren(kRootTables, 2, 3, 5, name);
}

bool CDBTreeView::AddLinkTableNode(const char* name) {
    return AddNodeWithChildren(kRootLinks, 8, 9, 11, name);
}

void CDBTreeView::RemoveNode(HTREEITEM item) {
    if (!item)
        return;
    if (item == m_current)
        m_current = nullptr;
    SendMessageA(m_hWnd, TVM_DELETEITEM, 0, (LPARAM)item);
}

bool CDBTreeView::IsCommandEnabled(int id) const {
    if (id == ID_DB_CHANGE_PASSWORD) {
        CDBCore* core = GetDBCore();
        return core && core->IsMultiUser();
    }
    return true;
}

void CDBTreeView::OnSelChanged(NMTREEVIEWA* nm) {
    HTREEITEM item = nm->itemNew.hItem;
    HTREEITEM old = nm->itemOld.hItem;
    int kind = (int)nm->itemNew.lParam;
    if (m_list && (!old || (int)nm->itemOld.lParam != kind))
        m_list->SetKind(kind);
    CDBCore* core = GetDBCore();
    switch (kind) {
        case 2:
        case 8:
        case 14:
        case 18:
        case 23:
        case 25:
            if (core && m_list &&
                !core->FillObjectList(kind, TextOf(m_hWnd, item).c_str(), m_list->m_hWnd) &&
                kind == 14)
                // A relation that cannot be listed no longer exists.
                RemoveNode(item);
            break;
        case 3:
        case 5:
        case 9:
        case 11:
        case 15:
        case 16:
        case 19: {
            HTREEITEM parent = TreeView_GetParent(m_hWnd, item);
            if (core && m_list)
                core->FillObjectList(kind, TextOf(m_hWnd, parent).c_str(), m_list->m_hWnd);
            break;
        }
    }
    SetFocus(m_hWnd);
}

LRESULT CDBTreeView::OnNotify(NMHDR* header) {
    if (header->code == TVN_SELCHANGEDA)
        OnSelChanged((NMTREEVIEWA*)header);
    else if (header->code == NM_DBLCLK)
        OnDoubleClick();
    return 0;
}

void CDBTreeView::OnDoubleClick() {
    HTREEITEM item = TreeView_GetSelection(m_hWnd);
    int kind = KindOf(m_hWnd, item);
    // Tables (inner and linked) and queries open their browser.
    if (kind == 2 || kind == 8 || kind == 18)
        BrowseCommand(m_hWnd, TextOf(m_hWnd, item), kind == 18 ? 1 : 0);
}

void CDBTreeView::ShowContextMenu(POINT screen) {
    HTREEITEM item = TreeView_GetSelection(m_hWnd);
    int kind = KindOf(m_hWnd, item);
    // The pop-up of menu 227 by position, the commands it enables and the
    // ones it greys; a pop-up entry is named by its position (-1 - pos).
    struct Entry {
        int kind, popup;
        int on[5], off[5];
    };
    static const Entry entries[] = {
        {1,
         0,
         {ID_DB_NEW_TABLE, -2},
         {ID_DB_BROWSE_TABLE, ID_DB_DESIGN_TABLE, ID_DB_EDIT_INDEXES, ID_DB_DROP_TABLE}},
        {2,
         0,
         {ID_DB_BROWSE_TABLE, ID_DB_DESIGN_TABLE, ID_DB_EDIT_INDEXES, ID_DB_DROP_TABLE},
         {ID_DB_NEW_TABLE, -2}},
        {7, 1, {-1}, {ID_DB_BROWSE_LINK, ID_DB_DROP_LINK}},
        {8, 1, {ID_DB_BROWSE_LINK, ID_DB_DROP_LINK}, {-1}},
        {13, 4, {ID_DB_NEW_RELATION}, {ID_DB_DROP_RELATION}},
        {14, 4, {ID_DB_DROP_RELATION}, {ID_DB_NEW_RELATION}},
        {17, 2, {-1}, {ID_DB_DESIGN_QUERY, ID_DB_BROWSE_QUERY, ID_DB_DROP_QUERY}},
        {18, 2, {ID_DB_DESIGN_QUERY, ID_DB_BROWSE_QUERY, ID_DB_DROP_QUERY}, {-1}},
        {21, 3, {ID_DB_PERMISSIONS, ID_DB_ACCOUNTS}, {}},
    };
    const Entry* entry = nullptr;
    for (const Entry& e : entries)
        if (e.kind == kind)
            entry = &e;
    if (!entry)
        return;
    // A fresh menu for every showing.
    if (m_menu) {
        DestroyMenu(m_menu);
        m_menu = nullptr;
        RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    m_menu = LoadMenuA(GetDBModule(), MAKEINTRESOURCEA(IDR_DB_TREE_MENU));
    HMENU popup = m_menu ? GetSubMenu(m_menu, entry->popup) : nullptr;
    UINT chosen = 0;
    if (popup) {
        auto set = [popup](int id, UINT state) {
            if (id < 0)
                EnableMenuItem(popup, (UINT)(-1 - id), MF_BYPOSITION | state);
            else if (id > 0)
                EnableMenuItem(popup, (UINT)id, MF_BYCOMMAND | state);
        };
        for (int id : entry->on) set(id, MF_ENABLED);
        for (int id : entry->off) set(id, MF_GRAYED);
        chosen = (UINT)SysTrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN,
                                         screen.x, screen.y, m_hWnd);
    }
    if (m_menu) {
        DestroyMenu(m_menu);
        m_menu = nullptr;
    }
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    if (chosen)
        OnCommand((int)chosen);
}

LRESULT CALLBACK CDBTreeView::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR data) {
    CDBTreeView* self = (CDBTreeView*)data;
    switch (msg) {
        case WM_LBUTTONDOWN: {
            TVHITTESTINFO hit = {};
            hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            HTREEITEM item = TreeView_HitTest(hwnd, &hit);
            if (item && (hit.flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL))) {
                // No label editing and no dragging: the click only chooses.
                self->m_current = item;
                TreeView_SelectItem(hwnd, item);
                SetFocus(hwnd);
                return 0;
            }
            break;
        }
        case WM_RBUTTONDOWN: {
            if (self->m_menu)
                return 0;
            TVHITTESTINFO hit = {};
            hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            HTREEITEM item = TreeView_HitTest(hwnd, &hit);
            if (item && KindOf(hwnd, item) != 0) {
                self->m_current = item;
                TreeView_SelectItem(hwnd, item);
            }
            return 0;
        }
        case WM_RBUTTONUP: {
            if (self->m_menu)
                return 0;
            POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(hwnd, &pt);
            self->ShowContextMenu(pt);
            break;
        }
        case DBM_REFLECT_NOTIFY:
            return self->OnNotify((NMHDR*)lParam);
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, SubclassProc, 1);
            RemovePropA(hwnd, kTreeProp);
            self->m_hWnd = nullptr;
            break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}
