// The manager's tree and list contents: the core inserts the nodes with
// their kinds and fills the list for a node's kind and name.
#include <string.h>

#include <string>
#include <vector>

#include "aBaseCore.h"
#include "aDBModule.h"
#include "aDBPage.h"
#include "aDBResource.h"
#include "aDBTreeView.h"
#include "bTextCut.h"

namespace {

// Workgroup accounts the manager never shows.
bool IsReservedUser(const std::string& name) {
    return _stricmp(name.c_str(), "admin") == 0 || _stricmp(name.c_str(), "Creator") == 0 ||
           _stricmp(name.c_str(), "Engine") == 0;
}

bool IsReservedGroup(const std::string& name) {
    return _stricmp(name.c_str(), "Admins") == 0 || _stricmp(name.c_str(), "Users") == 0;
}

// The text cut to at most n bytes on a whole character.
std::string Cut(const std::string& text, size_t n) {
    return text.substr(0, MbCutLength(text.c_str(), n));
}

// Inserts a row at `row` with its first column and image; returns its index.
int InsertRow(HWND list, int row, const std::string& text, int image) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.pszText = const_cast<char*>(text.c_str());
    item.iImage = image;
    return (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
}

void SetCell(HWND list, int row, int column, const std::string& text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, row, (LPARAM)&item);
}

// A date of the catalogue as the list shows it: the year, "/%m/%d", "-",
// then the time of day in the user's format; "" for no valid date.
std::string DateText(double date) {
    SYSTEMTIME t;
    if (date == 0 || !VariantTimeToSystemTime(date, &t))
        return std::string();
    char day[16], time[64] = {};
    wsprintfA(day, "%d/%02d/%02d", t.wYear, t.wMonth, t.wDay);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &t, nullptr, time, sizeof(time));
    return Cut(std::string(day) + "-" + time, 30);
}

}  // namespace

std::string CDBCore::FieldTypeWord(int type) {
    UINT id = 0;
    switch (type) {
        case 1:
            id = IDS_DB_BOOLEAN;
            break;
        case 2:
        case 3:
        case 4:
        case 6:
        case 16:
            id = IDS_DB_INTEGER;
            break;
        case 5:
            id = IDS_DB_CURRENCY;
            break;
        case 7:
        case 19:
        case 20:
        case 21:
            id = IDS_DB_DECIMAL;
            break;
        case 8:
            id = IDS_DB_DATE;
            break;
        case 10:
        case 18:
            id = IDS_DB_TEXTWORD;
            break;
        case 12:
            id = IDS_DB_MEMOWORD;
            break;
        case 9:
        case 15:
        case 17:
        case 22:
        case 23:
        case 1030:
            id = IDS_DB_UNKNOWN_TYPE;
            break;
        case 1024:
            id = IDS_DB_PICTURE;
            break;
        case 1025:
            id = IDS_DB_METAFILE;
            break;
        case 1026:
            id = IDS_DB_VIDEO;
            break;
        case 1027:
            id = IDS_DB_SOUND;
            break;
        case 1028:
            id = IDS_DB_ANIMATION;
            break;
        case 1029:
            id = IDS_DB_TEXT;
            break;
    }
    return id ? DBLoadString(id) : std::string();
}

int CDBCore::IsActivePaneView() {
    return m_page && m_page->IsPaneFocused() ? 1 : 0;
}

void CDBCore::FillDatabaseTree(HWND tree) {
    DB_TRACE_POINT();
    if (!tree)
        return;
    SetWindowLongPtrA(tree, GWL_STYLE,
                      GetWindowLongPtrA(tree, GWL_STYLE) | TVS_HASBUTTONS | TVS_HASLINES |
                          TVS_LINESATROOT | TVS_SHOWSELALWAYS);
    std::string fields = DBLoadString(IDS_DB_FIELDS), indexes = DBLoadString(IDS_DB_INDEXES);
    HTREEITEM roots[CDBTreeView::kRootCount] = {};
    roots[CDBTreeView::kRootTables] =
        InsertTreeItem(tree, TVI_ROOT, DBLoadString(IDS_DB_LOCAL_TABLES), 0, 1);
    for (auto& e : m_tables) {
        if (e->kind != -1)
            continue;
        HTREEITEM node = InsertTreeItem(tree, roots[CDBTreeView::kRootTables], e->name, 2, 2);
        InsertTreeItem(tree, node, fields, 3, 3);
        InsertTreeItem(tree, node, indexes, 5, 5);
    }
    roots[CDBTreeView::kRootLinks] =
        InsertTreeItem(tree, TVI_ROOT, DBLoadString(IDS_DB_LINK_TABLES), 1, 7);
    for (auto& e : m_tables) {
        if (e->kind == -1)
            continue;
        HTREEITEM node = InsertTreeItem(tree, roots[CDBTreeView::kRootLinks], e->name, 2, 8);
        InsertTreeItem(tree, node, fields, 3, 9);
        InsertTreeItem(tree, node, indexes, 5, 11);
    }
    roots[CDBTreeView::kRootQueries] =
        InsertTreeItem(tree, TVI_ROOT, DBLoadString(IDS_DB_QUERIES), 8, 17);
    AddQueryNodes(tree, roots[CDBTreeView::kRootQueries]);
    roots[CDBTreeView::kRootRelations] =
        InsertTreeItem(tree, TVI_ROOT, DBLoadString(IDS_DB_RELATIONS), 15, 13);
    AddRelationNodes(tree, roots[CDBTreeView::kRootRelations]);
    if (m_multiUser) {
        roots[CDBTreeView::kRootAccounts] =
            InsertTreeItem(tree, TVI_ROOT, DBLoadString(IDS_DB_USERS_GROUPS), 10, 21);
        AddUserGroupNodes(tree, roots[CDBTreeView::kRootAccounts]);
    }
    if (CDBTreeView* view = CDBTreeView::FromHandle(tree))
        memcpy(view->m_roots, roots, sizeof(roots));
}

void CDBCore::AddQueryNodes(HWND tree, HTREEITEM parent) {
    for (auto& e : m_queries) {
        HTREEITEM node = InsertTreeItem(tree, parent, e->name, 9, 18);
        AddQueryFieldsNode(tree, node);
    }
}

void CDBCore::AddQueryFieldsNode(HWND tree, HTREEITEM query) {
    InsertTreeItem(tree, query, DBLoadString(IDS_DB_FIELDS), 3, 19);
}

void CDBCore::AddUserGroupNodes(HWND tree, HTREEITEM parent) {
    CDBTreeView* view = CDBTreeView::FromHandle(tree);
    HTREEITEM users = InsertTreeItem(tree, parent, DBLoadString(IDS_DB_USERS), 11, 22);
    if (view)
        view->m_usersFolder = users;
    AddUserNodes(tree, users);
    HTREEITEM groups = InsertTreeItem(tree, parent, DBLoadString(IDS_DB_GROUPS), 13, 24);
    if (view)
        view->m_groupsFolder = groups;
    AddGroupNodes(tree, groups);
}

void CDBCore::AddUserNodes(HWND tree, HTREEITEM parent) {
    if (!m_workspace)
        return;
    try {
        for (const std::string& user : m_workspace->Users())
            if (!IsReservedUser(user))
                InsertTreeItem(tree, parent, user, 12, 23);
    } catch (const CdbException& e) {
        ShowEngineError(e);
    }
}

void CDBCore::AddGroupNodes(HWND tree, HTREEITEM parent) {
    if (!m_workspace)
        return;
    try {
        for (const std::string& group : m_workspace->Groups())
            if (!IsReservedGroup(group))
                InsertTreeItem(tree, parent, group, 14, 25);
    } catch (const CdbException& e) {
        ShowEngineError(e);
    }
}

int CDBCore::FillObjectList(int kind, const char* name, HWND list) {
    if (!list)
        return 0;
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    std::string object = name ? name : "";
    if (!m_database)
        return 0;
    try {
        switch (kind) {
            case 2:
            case 8:
            case 18: {
                double created = 0, updated = 0;
                if (!m_database->ObjectDates(object, &created, &updated))
                    break;
                std::string first = DateText(created);
                if (first.empty())
                    break;
                InsertRow(list, 0, first, 0);
                SetCell(list, 0, 1, DateText(updated));
                break;
            }
            case 3:
            case 9:
            case 19: {
                int isQuery = kind == 19;
                std::vector<CdbFieldInfo> fields =
                    isQuery ? m_database->QueryFields(object) : m_database->TableFields(object);
                DataSourceDescriptor d;
                memset(&d, 0, sizeof(d));
                memcpy(d.sourceName, object.c_str(),
                       MbCutLength(object.c_str(), sizeof(d.sourceName)));
                d.isQuery = isQuery;
                int row = 0;
                for (const CdbFieldInfo& f : fields) {
                    int type = -1;
                    if (!isQuery && f.type != dbLongBinary) {
                        // A table's own field: its type is at hand.
                        type = f.type;
                    } else {
                        memset(d.fieldName, 0, sizeof(d.fieldName));
                        memcpy(d.fieldName, f.name.c_str(),
                               MbCutLength(f.name.c_str(), sizeof(d.fieldName)));
                        if (!GetFieldType(&d, &type))
                            type = -1;
                    }
                    int at = InsertRow(list, row++, Cut(f.name, 64), 1);
                    SetCell(list, at, 1, FieldTypeWord(type));
                }
                break;
            }
            case 5:
            case 11: {
                int row = 0;
                for (const CdbIndexInfo& i : m_database->Indexes(object)) {
                    if (i.foreign)
                        continue;
                    int at = InsertRow(list, row++, i.name, 2);
                    SetCell(list, at, 1,
                            DBLoadString(i.primary ? IDS_DB_INDEX_PRIMARY : IDS_DB_INDEX_NORMAL));
                }
                break;
            }
            case 14: {
                const CdbRelationInfo* found = nullptr;
                std::vector<CdbRelationInfo> relations = m_database->Relations();
                for (const CdbRelationInfo& r : relations)
                    if (_stricmp(r.name.c_str(), object.c_str()) == 0)
                        found = &r;
                if (!found)
                    ThrowDbError(dbErrItemNotFound, object);
                std::string yes = DBLoadString(IDS_DB_YES), no = DBLoadString(IDS_DB_NOT);
                int at = InsertRow(list, 0, Cut(found->table, 64), 6);
                SetCell(list, at, 1, Cut(found->foreignTable, 64));
                SetCell(list, at, 2, (found->attributes & 0x100) ? yes : no);
                SetCell(list, at, 3, (found->attributes & 0x1000) ? yes : no);
                break;
            }
            case 15:
            case 16: {
                char** names = nullptr;
                int count = 0;
                int ok = GetRelationFields(object.c_str(), &names, &count, kind == 15);
                for (int i = 0; i < count; ++i) InsertRow(list, i, names[i] ? names[i] : "", 1);
                FreeNameArray(names, count);
                if (!ok)
                    return 0;
                break;
            }
            case 23:
                if (m_workspace)
                    for (const std::string& g : m_workspace->UserGroups(object))
                        if (!IsReservedGroup(g))
                            InsertRow(list, 0, Cut(g, 30), 5);
                break;
            case 25:
                if (m_workspace)
                    for (const std::string& u : m_workspace->GroupUsers(object))
                        InsertRow(list, 0, Cut(u, 30), 4);
                break;
        }
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    return 1;
}

int CDBCore::AddTreeNode(int kind, const char* name) {
    CDBTreeView* view = m_page ? &m_page->m_tree : nullptr;
    if (!view || !view->m_hWnd || !name)
        return 1;
    HWND tree = view->m_hWnd;
    switch (kind) {
        case 2:
            view->AddTableNode(name);
            break;
        case 8:
            view->AddLinkTableNode(name);
            break;
        case 14:
            if (HTREEITEM node = InsertTreeItem(tree, view->m_roots[CDBTreeView::kRootRelations],
                                                name, 16, 14)) {
                InsertTreeItem(tree, node, DBLoadString(IDS_DB_MAIN_FIELDS), 17, 15);
                InsertTreeItem(tree, node, DBLoadString(IDS_DB_RELATED_FIELDS), 18, 16);
            }
            break;
        case 18:
            if (HTREEITEM node =
                    InsertTreeItem(tree, view->m_roots[CDBTreeView::kRootQueries], name, 9, 18))
                AddQueryFieldsNode(tree, node);
            break;
    }
    return 1;
}
