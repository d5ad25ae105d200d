#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "GridDialogFixture.h"
#include "aDBIndexEditor.h"
#include "aDBNodeInsert.h"
#include "aDBResource.h"
#include "dRelCrt.h"

using griddlg::Cell;
using griddlg::Edit;

namespace {

void Click(HWND dlg, int id, int code = BN_CLICKED) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)GetDlgItem(dlg, id));
}

void Check(HWND dlg, int id, bool on) {
    CheckDlgButton(dlg, id, on ? BST_CHECKED : BST_UNCHECKED);
    Click(dlg, id);
}

void Choose(HWND dlg, int listId, const std::string& item) {
    SendDlgItemMessageA(dlg, listId, LB_SELECTSTRING, (WPARAM)-1, (LPARAM)item.c_str());
    Click(dlg, listId, LBN_SELCHANGE);
}

std::vector<std::string> Items(HWND dlg, int listId) {
    std::vector<std::string> out;
    HWND list = GetDlgItem(dlg, listId);
    for (LRESULT i = 0, n = SendMessageA(list, LB_GETCOUNT, 0, 0); i < n; ++i) {
        char text[128] = {};
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)text);
        out.push_back(text);
    }
    return out;
}

bool Checked(HWND dlg, int id) {
    return IsDlgButtonChecked(dlg, id) == BST_CHECKED;
}

bool Enabled(HWND dlg, int id) {
    return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE;
}

const int IX = IDC_DB_IX_GRID;
const int RL = IDC_DB_RL_GRID;

}  // namespace

TEST(IndexEditor, AttributesFieldsAndOrdersOfIndexes) {
    griddlg::School s;
    CDBCore* core = s.Core();
    IndexEditorDialog dlg;
    dlg.m_core = core;
    dlg.m_table = "Pupil";
    griddlg::Driven d([&](int id, HWND w) {
        EXPECT_EQ(IDD_DB_INDEX_EDITOR, id);
        HWND grid = GetDlgItem(w, IX);
        // Photo (a picture) cannot be indexed.
        ASSERT_EQ(3, dbgrid::Rows(grid));
        EXPECT_EQ("Born", dbgrid::Type(grid, 1, 2).text);
        EXPECT_EQ(GCT_CHECK, dbgrid::Type(grid, 1, 3).kind);
        EXPECT_EQ(DBAnsi("递增"), Cell(w, IX, 2, 1));
        EXPECT_EQ(0u, Items(w, IDC_DB_IX_LIST).size());

        Click(w, IDC_DB_IX_ADD);
        EXPECT_EQ(std::vector<std::string>{DBLoadString(IDS_DB_IX_NO_NAME)}, griddlg::Boxes());
        griddlg::Boxes().clear();
        SetDlgItemTextA(w, IDC_DB_IX_NAME, "ByName");
        Click(w, IDC_DB_IX_ADD);  // no field checked: nothing
        EXPECT_TRUE(griddlg::Boxes().empty());
        EXPECT_EQ(0u, Items(w, IDC_DB_IX_LIST).size());

        // Primary: unique checked, required clear, both locked; flags 1.
        dbgrid::SetText(grid, 1, 1, "1");
        Check(w, IDC_DB_IX_REQUIRED, true);
        Check(w, IDC_DB_IX_PRIMARY, true);
        EXPECT_TRUE(Checked(w, IDC_DB_IX_UNIQUE));
        EXPECT_FALSE(Checked(w, IDC_DB_IX_REQUIRED));
        EXPECT_FALSE(Enabled(w, IDC_DB_IX_UNIQUE));
        Click(w, IDC_DB_IX_ADD);
        EXPECT_EQ(std::vector<std::string>{"ByName"}, Items(w, IDC_DB_IX_LIST));
        int flag = 0;
        EXPECT_TRUE(core->IsIndexPrimary("Pupil", "ByName", &flag));
        EXPECT_EQ(1, flag);
        Click(w, IDC_DB_IX_ADD);
        EXPECT_EQ(std::vector<std::string>{DBLoadString(IDS_DB_IX_NAME_TAKEN)}, griddlg::Boxes());
        griddlg::Boxes().clear();

        // Unique and no empty values: flags 6; Born descending.
        Check(w, IDC_DB_IX_PRIMARY, false);
        EXPECT_TRUE(Enabled(w, IDC_DB_IX_UNIQUE));
        Check(w, IDC_DB_IX_UNIQUE, true);
        Check(w, IDC_DB_IX_REQUIRED, true);
        dbgrid::SetText(grid, 1, 1, "0");
        dbgrid::SetText(grid, 1, 2, "1");
        dbgrid::SetText(grid, 2, 2, DBAnsi("递减"));
        SetDlgItemTextA(w, IDC_DB_IX_NAME, "ByBirth");
        Click(w, IDC_DB_IX_ADD);
        EXPECT_TRUE(griddlg::Boxes().empty());
        int unique = 0, nulls = 0, primary = 1, descending = 0;
        EXPECT_TRUE(core->IsIndexUnique("Pupil", "ByBirth", &unique));
        EXPECT_TRUE(core->IsIndexIgnoreNulls("Pupil", "ByBirth", &nulls));
        EXPECT_TRUE(core->IsIndexPrimary("Pupil", "ByBirth", &primary));
        EXPECT_TRUE(core->IsIndexFieldDescending("Pupil", "ByBirth", "Born", &descending));
        EXPECT_EQ((std::vector<int>{1, 1, 0, 1}),
                  (std::vector<int>{unique, nulls, primary, descending}));

        // Selecting an index shows its fields, orders and attributes.
        dbgrid::SetText(grid, 1, 3, "1");
        Choose(w, IDC_DB_IX_LIST, "ByBirth");
        EXPECT_EQ(
            (std::vector<std::string>{"0", "", "1", DBAnsi("递减"), "0", ""}),
            (std::vector<std::string>{Cell(w, IX, 1, 1), Cell(w, IX, 2, 1), Cell(w, IX, 1, 2),
                                      Cell(w, IX, 2, 2), Cell(w, IX, 1, 3), Cell(w, IX, 2, 3)}));
        EXPECT_TRUE(Checked(w, IDC_DB_IX_UNIQUE) && Checked(w, IDC_DB_IX_REQUIRED));
        Choose(w, IDC_DB_IX_LIST, "ByName");
        EXPECT_TRUE(Checked(w, IDC_DB_IX_PRIMARY));
        EXPECT_TRUE(Checked(w, IDC_DB_IX_UNIQUE));
        EXPECT_FALSE(Checked(w, IDC_DB_IX_REQUIRED));
        EXPECT_FALSE(Enabled(w, IDC_DB_IX_UNIQUE) || Enabled(w, IDC_DB_IX_REQUIRED));
        EXPECT_EQ(DBAnsi("递增"), Cell(w, IX, 2, 1));

        // Deleting needs a selection.
        SendDlgItemMessageA(w, IDC_DB_IX_LIST, LB_SETCURSEL, (WPARAM)-1, 0);
        Click(w, IDC_DB_IX_DELETE);
        EXPECT_EQ(std::vector<std::string>{DBLoadString(IDS_DB_IX_SELECT)}, griddlg::Boxes());
        Choose(w, IDC_DB_IX_LIST, "ByBirth");
        Click(w, IDC_DB_IX_DELETE);
        EXPECT_EQ(std::vector<std::string>{"ByName"}, Items(w, IDC_DB_IX_LIST));
        Click(w, IDC_DB_IX_CLOSE);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    char** names = nullptr;
    int count = 0;
    ASSERT_TRUE(core->GetIndexNames("Pupil", &names, &count));
    ASSERT_EQ(1, count);
    EXPECT_STREQ("ByName", names[0]);
    CDBCore::FreeNameArray(names, count);
}

TEST(IndexEditor, ATableWithoutIndexableFieldsAddsNothing) {
    TempFolder dir;
    std::string path = dir.File("m.mvb");
    {
        MvbWriter w(path);
        w.Exec("CREATE TABLE Media(Pic LONGBINARY, Text MEMO)");
    }
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    ASSERT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
    CComPtr<IMDBase> m;
    db->QueryInterface(__uuidof(IMDBase), (void**)&m);
    IndexEditorDialog dlg;
    dlg.m_core = static_cast<CMavroBase*>(m.p)->Core();
    dlg.m_table = "Media";
    griddlg::Driven d([&](int, HWND w) {
        EXPECT_EQ(0, dbgrid::Rows(GetDlgItem(w, IX)));
        SetDlgItemTextA(w, IDC_DB_IX_NAME, "Any");
        Click(w, IDC_DB_IX_ADD);
        EXPECT_EQ(0u, Items(w, IDC_DB_IX_LIST).size());
        EXPECT_TRUE(griddlg::Boxes().empty());
        Click(w, IDC_DB_IX_CLOSE);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(RelationDialog, PairsCascadesAndTheTreeNode) {
    griddlg::School s;
    CDBCore* core = s.Core();
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(tree != nullptr);
    InsertTreeItem(tree, TVI_ROOT, "queries", 8, 17);
    HTREEITEM relations = InsertTreeItem(tree, TVI_ROOT, "relations", 15, 13);

    RelationCreateDialog dlg;
    dlg.m_core = core;
    dlg.m_tree = tree;
    griddlg::Driven d([&](int id, HWND w) {
        EXPECT_EQ(IDD_DB_RELATION, id);
        HWND grid = GetDlgItem(w, RL);
        // The core's order of local tables.
        EXPECT_EQ((std::vector<std::string>{"Pupil", "Class", "Member"}), Items(w, IDC_DB_RL_MAIN));
        EXPECT_EQ(1, dbgrid::Rows(grid));
        Choose(w, IDC_DB_RL_MAIN, "Class");
        Choose(w, IDC_DB_RL_RELATED, "Member");
        // Relatable fields only: Class's memo is left out.
        EXPECT_EQ("ID\tTitle\tSize", dbgrid::Type(grid, 1, 1).text);
        EXPECT_EQ("ClassID\tWho", dbgrid::Type(grid, 2, 1).text);

        // A row with one cell filled is no pair.
        EXPECT_TRUE(Edit(w, RL, 1, 1, "ID"));
        EXPECT_EQ(2, dbgrid::Rows(grid));  // the blank last row follows
        SetDlgItemTextA(w, IDC_DB_RL_NAME, "ClassMembers");
        Check(w, IDC_DB_RL_UPDATE, true);
        Check(w, IDC_DB_RL_DELETE, true);
        SendMessageA(w, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(std::vector<std::string>{DBLoadString(IDS_DB_RL_NO_PAIR)}, griddlg::Boxes());
        EXPECT_TRUE(IsWindow(w));
        // Another main table empties its column's cells.
        Choose(w, IDC_DB_RL_MAIN, "Pupil");
        EXPECT_EQ("", Cell(w, RL, 1, 1));
        Choose(w, IDC_DB_RL_MAIN, "Class");
        EXPECT_TRUE(Edit(w, RL, 1, 1, "ID"));
        EXPECT_TRUE(Edit(w, RL, 2, 1, "ClassID"));
        EXPECT_EQ(2, dbgrid::Rows(grid));
        SendMessageA(w, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    bool found = false;
    for (const CdbRelationInfo& r : core->GetDatabase()->Relations()) {
        if (r.name != "ClassMembers")
            continue;
        found = true;
        EXPECT_EQ("Class", r.table);
        EXPECT_EQ("Member", r.foreignTable);
        EXPECT_EQ(0x1100, r.attributes & 0x1100);
        ASSERT_EQ(1u, r.fields.size());
    }
    EXPECT_TRUE(found);
    // The relation's node with its two children.
    HTREEITEM node = TreeView_GetChild(tree, relations);
    ASSERT_TRUE(node != nullptr);
    auto item = [&](HTREEITEM h) {
        char text[64] = {};
        TVITEMA tv = {};
        tv.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM;
        tv.hItem = h;
        tv.pszText = text;
        tv.cchTextMax = sizeof(text);
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
        return std::string(text) + "/" + std::to_string(tv.iImage) + "/" +
               std::to_string((int)tv.lParam);
    };
    EXPECT_EQ("ClassMembers/16/14", item(node));
    HTREEITEM first = TreeView_GetChild(tree, node);
    ASSERT_TRUE(first != nullptr);
    EXPECT_EQ(DBLoadString(IDS_DB_MAIN_FIELDS) + "/17/15", item(first));
    EXPECT_EQ(DBLoadString(IDS_DB_RELATED_FIELDS) + "/18/16",
              item(TreeView_GetNextSibling(tree, first)));

    // Names: empty, then taken (the same case); rows go only as whole rows.
    RelationCreateDialog second;
    second.m_core = core;
    griddlg::Driven d2([&](int, HWND w) {
        HWND grid = GetDlgItem(w, RL);
        SendMessageA(w, WM_COMMAND, IDOK, 0);
        SetDlgItemTextA(w, IDC_DB_RL_NAME, "ClassMembers");
        SendMessageA(w, WM_COMMAND, IDOK, 0);
        EXPECT_EQ((std::vector<std::string>{DBLoadString(IDS_DB_RL_NO_NAME),
                                            DBLoadString(IDS_DB_RL_NAME_TAKEN)}),
                  griddlg::Boxes());
        for (int r = 1; r <= 3; ++r) Edit(w, RL, 1, r, "ID");
        EXPECT_EQ(4, dbgrid::Rows(grid));
        GridKeyDown del = {1, 1, VK_DELETE};
        GridRange onlyBlank = {-1, 4, -1, 4};
        SendMessageA(grid, GM_SETSELECTION, 0, (LPARAM)&onlyBlank);
        SendMessageA(w, GN_KEYDOWN, RL, (LPARAM)&del);
        EXPECT_EQ(4, dbgrid::Rows(grid));
        GridRange cells = {1, 1, 1, 2};
        SendMessageA(grid, GM_SETSELECTION, 0, (LPARAM)&cells);
        SendMessageA(w, GN_KEYDOWN, RL, (LPARAM)&del);
        EXPECT_EQ(4, dbgrid::Rows(grid));
        GridRange rows = {-1, 2, -1, 4};
        SendMessageA(grid, GM_SETSELECTION, 0, (LPARAM)&rows);
        SendMessageA(w, GN_KEYDOWN, RL, (LPARAM)&del);
        EXPECT_EQ(2, dbgrid::Rows(grid));  // rows 2 and 3 gone, the blank one kept
        EXPECT_EQ("", Cell(w, RL, 1, 2));
        SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, second.DoModal());
    DestroyWindow(tree);
}
