// The left pane of the database page: the open database as a tree of typed
// nodes (the item data is the node kind). It drives the list beside it from
// the selection, offers the context menu of the node's kind and carries out
// the commands of that menu and of the page's toolbar.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

class CDBPage;
class CDBListView;
class CDBCore;

class CDBTreeView {
public:
    // Root items by their place: local tables, link tables, queries,
    // relations, users and groups (null for one user).
    enum { kRootTables, kRootLinks, kRootQueries, kRootRelations, kRootAccounts, kRootCount };

    CDBTreeView() = default;
    ~CDBTreeView();
    CDBTreeView(const CDBTreeView&) = delete;
    CDBTreeView& operator=(const CDBTreeView&) = delete;

    // Creates the control as a child of the parent with its image list, and
    // lets the core fill it.
    bool Create(HWND parent, int width, int height);

    // A kind-2 node under the local tables with its "字段" and "索引"
    // children; true when the node and its fields child were inserted.
    bool AddTableNode(const char* name);
    // The same under the link tables with kinds 8, 9 and 11.
    bool AddLinkTableNode(const char* name);

    // Runs a command of the menu or the toolbar on the current node.
    void OnCommand(int id);
    // Shows the context menu of the selected node at a screen point and
    // runs the command chosen.
    void ShowContextMenu(POINT screen);
    // Whether the toolbar's command is enabled.
    bool IsCommandEnabled(int id) const;

    static CDBTreeView* FromHandle(HWND hwnd);
    static int KindOf(HWND tree, HTREEITEM item);
    static std::string TextOf(HWND tree, HTREEITEM item);

    HWND m_hWnd = nullptr;
    CDBPage* m_page = nullptr;
    CDBListView* m_list = nullptr;
    // The node last chosen with the mouse; the commands' object.
    HTREEITEM m_current = nullptr;
    HTREEITEM m_roots[kRootCount] = {};
    HTREEITEM m_usersFolder = nullptr;
    HTREEITEM m_groupsFolder = nullptr;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    LRESULT OnNotify(NMHDR* header);
    void OnSelChanged(NMTREEVIEWA* nm);
    // A double click on a table or query browses it.
    void OnDoubleClick();
    bool AddNodeWithChildren(int root, int kind, int fieldsKind, int indexesKind, const char* name);
    // Removes a node with its children; the current node is forgotten.
    void RemoveNode(HTREEITEM item);

    // Commands (8.104 and 8.105).
    void DropTable();
    void DropQuery();
    void DropRelation();
    void SetConnection();
    void Permissions();
    void Accounts();
    void ImportDatabase();
    void ChangePassword();
    void ImportOrLink(int id);

    HIMAGELIST m_images = nullptr;
    HMENU m_menu = nullptr;
};
