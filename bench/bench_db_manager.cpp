// The manager's filling: FillDatabaseTree over 1,000 tables, 300 queries
// and 200 relations against inserting the same items into a bare tree
// control; FillObjectList of a 255-field table against bare LVM_INSERTITEM
// calls with the same texts. Best of five runs each.
#include <windows.h>

#include <commctrl.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "BenchClock.h"
#include "BenchFiles.h"
#include "aBaseCore.h"
#include "aDBModule.h"
#include "aMavroBase.h"

namespace {

struct Item {
    int parent;  // index of the parent item, -1 for a root
    std::string text;
    int image, kind;
};

// Every item of a filled tree, parents first.
void Collect(HWND tree, HTREEITEM item, int parent, std::vector<Item>* out) {
    for (; item; item = TreeView_GetNextSibling(tree, item)) {
        char text[260] = {};
        TVITEMA tv = {};
        tv.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_HANDLE;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = sizeof(text);
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
        out->push_back({parent, text, tv.iImage, (int)tv.lParam});
        Collect(tree, TreeView_GetChild(tree, item), (int)out->size() - 1, out);
    }
}

HWND NewTree() {
    return CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr, nullptr,
                           nullptr);
}

HWND NewList() {
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 400, 300, nullptr,
                                nullptr, nullptr, nullptr);
    LVCOLUMNA c = {};
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.cx = 100;
    c.pszText = const_cast<char*>("a");
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, (LPARAM)&c);
    c.mask |= LVCF_SUBITEM;
    c.iSubItem = 1;
    SendMessageA(list, LVM_INSERTCOLUMNA, 1, (LPARAM)&c);
    return list;
}

}  // namespace

int main() {
    SetDBModule(GetModuleHandleA(nullptr));
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    std::string path = TempPath("bench_db_manager.mvb");
    DeleteFileA(path.c_str());
    HWND window =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    {
        IDBCore* db = nullptr;
        CreateMavroBase(__uuidof(IDBCore), (void**)&db);
        db->InitDataBase(path.c_str(), "", "", DB_INIT_CREATE, nullptr, window);
        CDBCore* c = GetDBCore();
        std::string sql = "BEGIN;";
        for (int i = 0; i < 1000; ++i) {
            char line[96];
            snprintf(line, sizeof(line), "CREATE TABLE T%04d(ID INTEGER, Name TEXT);", i);
            sql += line;
        }
        // The wide table of the list: 255 fields of several types.
        sql += "CREATE TABLE Wide(";
        for (int i = 0; i < 255; ++i) {
            char field[48];
            snprintf(field, sizeof(field), "%sF%03d %s", i ? ", " : "", i,
                     i % 3 == 0   ? "INTEGER"
                     : i % 3 == 1 ? "TEXT"
                                  : "DATETIME");
            sql += field;
        }
        c->GetDatabase()->Connection()->Exec(sql + ");COMMIT;");
        db->Release();
        db = nullptr;
        CreateMavroBase(__uuidof(IDBCore), (void**)&db);
        db->InitDataBase(path.c_str(), "", "", 0, nullptr, window);
        c = GetDBCore();
        for (int i = 0; i < 300; ++i) {
            char name[32];
            snprintf(name, sizeof(name), "Q%03d", i);
            c->CreateQuery("SELECT * FROM T0000", name, 0);
        }
        for (int i = 0; i < 200; ++i) {
            char main[16], related[16], name[16];
            snprintf(main, sizeof(main), "T%04d", 2 * i);
            snprintf(related, sizeof(related), "T%04d", 2 * i + 1);
            snprintf(name, sizeof(name), "R%03d", i);
            IndexFieldSpec key;
            key.name = "ID";
            c->CreateIndex(main, "PrimaryKey", 1, {&key});
            RelationFieldSpec pair;
            pair.name = "ID";
            pair.foreignName = "ID";
            c->CreateRelation(name, main, related, {&pair}, 0);
        }
        db->Release();
    }
    IDBCore* db = nullptr;
    CreateMavroBase(__uuidof(IDBCore), (void**)&db);
    db->InitDataBase(path.c_str(), "", "", 0, nullptr, window);
    CDBCore* core = GetDBCore();

    std::vector<Item> items;
    {
        HWND tree = NewTree();
        core->FillDatabaseTree(tree);
        Collect(tree, TreeView_GetRoot(tree), -1, &items);
        DestroyWindow(tree);
    }
    double fill = FastestRun(
        [&] {
            HWND tree = NewTree();
            core->FillDatabaseTree(tree);
            DestroyWindow(tree);
        },
        5);
    double bare = FastestRun(
        [&] {
            HWND tree = NewTree();
            std::vector<HTREEITEM> handles(items.size());
            for (size_t i = 0; i < items.size(); ++i)
                handles[i] =
                    InsertTreeItem(tree, items[i].parent < 0 ? TVI_ROOT : handles[items[i].parent],
                                   items[i].text, items[i].image, items[i].kind);
            DestroyWindow(tree);
        },
        5);
    printf("bare tree: %zu items inserted %.4f s\n", items.size(), bare);
    printf(
        "FillDatabaseTree (1000 tables, 300 queries, 200 relations) %.4f s  ratio %.2f "
        "(goal 1.5)\n",
        fill, fill / bare);

    HWND list = NewList();
    core->FillObjectList(3, "Wide", list);
    int rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    std::vector<std::string> names, types;
    for (int r = 0; r < rows; ++r) {
        char a[128] = {}, b[128] = {};
        ListView_GetItemText(list, r, 0, a, sizeof(a));
        ListView_GetItemText(list, r, 1, b, sizeof(b));
        names.push_back(a);
        types.push_back(b);
    }
    double filled = FastestRun([&] { core->FillObjectList(3, "Wide", list); }, 5);
    double inserted = FastestRun(
        [&] {
            SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
            for (int r = 0; r < rows; ++r) {
                LVITEMA item = {};
                item.mask = LVIF_TEXT | LVIF_IMAGE;
                item.iItem = r;
                item.pszText = &names[r][0];
                item.iImage = 1;
                SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
                item.iSubItem = 1;
                item.pszText = &types[r][0];
                SendMessageA(list, LVM_SETITEMTEXTA, r, (LPARAM)&item);
            }
        },
        5);
    printf("bare list: %d rows inserted %.4f s\n", rows, inserted);
    printf("FillObjectList of a %d-field table %.4f s  ratio %.2f (goal 2)\n", rows, filled,
           filled / inserted);
    DestroyWindow(list);
    db->Release();
    DeleteFileA(path.c_str());
    return 0;
}
