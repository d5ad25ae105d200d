// The database manager's page, tree, list, menu, commands and windows,
// read and driven with the controls' own messages.
#include <gtest/gtest.h>

#include "DbfWriter.h"
#include "ManagerFixture.h"
#include "MvbWriter.h"
#include "aDBManDialogs.h"
#include "aDBUserMan.h"

namespace {

std::string S(UINT id) {
    return DBLoadString(id);
}

int Kind(HWND tree, HTREEITEM item, int* image = nullptr) {
    TVITEMA tv = {};
    tv.mask = TVIF_PARAM | TVIF_IMAGE | TVIF_HANDLE;
    tv.hItem = item;
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
    if (image)
        *image = tv.iImage;
    return (int)tv.lParam;
}

std::vector<std::string> ListBoxTexts(HWND list) {
    std::vector<std::string> out;
    int n = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; ++i) {
        char text[260] = {};
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)text);
        out.push_back(text);
    }
    return out;
}

bool Contains(const std::vector<std::string>& list, const std::string& text) {
    for (const std::string& t : list)
        if (t == text)
            return true;
    return false;
}

// The menu a pop-up handler saw, as "id:enabled" of the items asked for.
struct MenuSeen {
    static std::vector<std::pair<int, UINT>>& States() {
        static std::vector<std::pair<int, UINT>> s;
        return s;
    }
    static int& Shown() {
        static int n;
        return n;
    }
    PFNPOPUPMENUHANDLER old;
    MenuSeen() {
        States().clear();
        Shown() = 0;
        old = SetPopupMenuHandler([](HMENU menu, UINT flags, int, int, HWND) -> BOOL {
            ++Shown();
            EXPECT_TRUE(flags & TPM_RETURNCMD);
            for (int id : {ID_DB_NEW_TABLE, ID_DB_BROWSE_TABLE, ID_DB_DESIGN_TABLE,
                           ID_DB_EDIT_INDEXES, ID_DB_DROP_TABLE})
                States().push_back({id, GetMenuState(menu, id, MF_BYCOMMAND)});
            return 0;
        });
    }
    ~MenuSeen() { SetPopupMenuHandler(old); }
};

}  // namespace

TEST(DBManager, ActivationSplitsTheWidthAtAThird) {
    Manager m(true);
    m.Show();
    CDBPage* page = m.Page();
    ASSERT_NE(nullptr, page);
    ASSERT_NE(nullptr, page->m_hWnd)
        << PropSheet_GetCurrentPageHwnd(m.sheet) << " " << m.sheet << " " << GetLastError();
    struct Case {
        int width, column0;
    } cases[] = {{960, 320}, {600, 200}, {20, 10}};
    for (const Case& c : cases) {
        SetWindowPos(page->m_hWnd, nullptr, 0, 0, c.width, 400, SWP_NOMOVE | SWP_NOZORDER);
        // A new activation, as the sheet sends it.
        NMHDR active = {m.sheet, 0, (UINT)PSN_SETACTIVE};
        SendMessageA(page->m_hWnd, WM_NOTIFY, 0, (LPARAM)&active);
        EXPECT_EQ(c.column0, page->m_splitter.GetColumnWidth(0)) << c.width;
        RECT tree, list;
        GetWindowRect(m.Tree(), &tree);
        GetWindowRect(m.List(), &list);
        POINT origin = {0, 0};
        ClientToScreen(page->m_hWnd, &origin);
        EXPECT_EQ(c.column0, list.left - origin.x) << c.width;
    }
}

TEST(DBManager, TreeShowsTheRootsTablesAndAccountsWithTheirKindsAndImages) {
    Manager m(true);
    m.Show();
    HWND tree = m.Tree();
    struct Root {
        UINT text;
        int kind, image;
    } roots[] = {{IDS_DB_LOCAL_TABLES, 1, 0},
                 {IDS_DB_LINK_TABLES, 7, 1},
                 {IDS_DB_QUERIES, 17, 8},
                 {IDS_DB_RELATIONS, 13, 15},
                 {IDS_DB_USERS_GROUPS, 21, 10}};
    HTREEITEM item = TreeView_GetRoot(tree);
    for (const Root& r : roots) {
        ASSERT_NE(nullptr, item);
        int image = -1;
        EXPECT_EQ(S(r.text), CDBTreeView::TextOf(tree, item));
        EXPECT_EQ(r.kind, Kind(tree, item, &image));
        EXPECT_EQ(r.image, image);
        item = TreeView_GetNextSibling(tree, item);
    }
    EXPECT_EQ(nullptr, item);
    HTREEITEM pupil = m.Find({S(IDS_DB_LOCAL_TABLES), "Pupil"});
    ASSERT_NE(nullptr, pupil);
    int image = -1;
    EXPECT_EQ(2, Kind(tree, pupil, &image));
    EXPECT_EQ(2, image);
    HTREEITEM fields = TreeView_GetChild(tree, pupil);
    EXPECT_EQ(S(IDS_DB_FIELDS), CDBTreeView::TextOf(tree, fields));
    EXPECT_EQ(3, Kind(tree, fields));
    EXPECT_EQ(S(IDS_DB_INDEXES), CDBTreeView::TextOf(tree, TreeView_GetNextSibling(tree, fields)));
    EXPECT_EQ(5, Kind(tree, TreeView_GetNextSibling(tree, fields)));
    // Queries with their fields node, the relation with its two, accounts
    // without the reserved ones.
    HTREEITEM query = m.Find({S(IDS_DB_QUERIES), "AllPupils"});
    EXPECT_EQ(18, Kind(tree, query));
    EXPECT_EQ(19, Kind(tree, TreeView_GetChild(tree, query)));
    HTREEITEM relation = m.Find({S(IDS_DB_RELATIONS), "ClassPupil"});
    EXPECT_EQ(14, Kind(tree, relation));
    EXPECT_NE(nullptr, m.Find({S(IDS_DB_USERS_GROUPS), S(IDS_DB_USERS), "wang"}));
    EXPECT_EQ(nullptr, m.Find({S(IDS_DB_USERS_GROUPS), S(IDS_DB_USERS), "admin"}));
    EXPECT_NE(nullptr, m.Find({S(IDS_DB_USERS_GROUPS), S(IDS_DB_GROUPS), "Teachers"}));
    EXPECT_EQ(nullptr, m.Find({S(IDS_DB_USERS_GROUPS), S(IDS_DB_GROUPS), "Admins"}));
    // The toolbar's buttons; the password button for several users.
    for (int id : {ID_DB_IMPORT_DATABASE, ID_DB_CHANGE_PASSWORD, ID_DB_NEW_TABLE_BUTTON,
                   ID_DB_NEW_QUERY_BUTTON, ID_DB_NEW_RELATION_BUTTON})
        EXPECT_GE(SendMessageA(m.toolbar, TB_COMMANDTOINDEX, id, 0), 0) << id;
    EXPECT_TRUE(SendMessageA(m.toolbar, TB_ISBUTTONENABLED, ID_DB_CHANGE_PASSWORD, 0));
    // Their tooltips come from the page.
    for (int id : {ID_DB_IMPORT_DATABASE, ID_DB_NEW_RELATION_BUTTON, 9999}) {
        NMTTDISPINFOA tip = {};
        tip.hdr.hwndFrom = m.toolbar;
        tip.hdr.idFrom = id;
        tip.hdr.code = TTN_GETDISPINFOA;
        SendMessageA(m.Page()->m_hWnd, WM_NOTIFY, 0, (LPARAM)&tip);
        EXPECT_EQ(id == 9999 ? std::string() : S(id), std::string(tip.lpszText)) << id;
    }
}

TEST(DBManager, SingleUserHasFourRootsAndNoPasswordButton) {
    Manager m(false);
    m.Show();
    int roots = 0;
    for (HTREEITEM i = TreeView_GetRoot(m.Tree()); i; i = TreeView_GetNextSibling(m.Tree(), i))
        ++roots;
    EXPECT_EQ(4, roots);
    EXPECT_FALSE(SendMessageA(m.toolbar, TB_ISBUTTONENABLED, ID_DB_CHANGE_PASSWORD, 0));
}

TEST(DBManager, ListShowsFieldsRelationsAndKeepsColumnsForTheSameKind) {
    Manager m(true);
    m.Show();
    TreeView_SelectItem(m.Tree(), m.Find({S(IDS_DB_LOCAL_TABLES), "Pupil", S(IDS_DB_FIELDS)}));
    RECT rc;
    GetClientRect(m.List(), &rc);
    int w0 = 0, w1 = 0;
    EXPECT_EQ(S(IDS_DB_COL_FIELD_NAME), m.Heading(0, &w0));
    EXPECT_EQ(S(IDS_DB_COL_FIELD_TYPE), m.Heading(1, &w1));
    EXPECT_EQ(rc.right / 2, w0);
    EXPECT_EQ(rc.right / 2, w1);
    struct Row {
        const char* name;
        UINT type;
    } rows[] = {{"Name", IDS_DB_TEXTWORD},
                {"Born", IDS_DB_DATE},
                {"Photo", IDS_DB_PICTURE},
                {"Blob", IDS_DB_UNKNOWN_TYPE}};
    ASSERT_EQ(4, m.ListRows());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i].name, m.ListCell(i, 0));
        EXPECT_EQ(S(rows[i].type), m.ListCell(i, 1));
    }
    // A relation with cascading deletes only.
    TreeView_SelectItem(m.Tree(), m.Find({S(IDS_DB_RELATIONS), "ClassPupil"}));
    ASSERT_EQ(1, m.ListRows());
    EXPECT_EQ("Class", m.ListCell(0, 0));
    EXPECT_EQ("Pupil", m.ListCell(0, 1));
    EXPECT_EQ(S(IDS_DB_NOT), m.ListCell(0, 2));
    EXPECT_EQ(S(IDS_DB_YES), m.ListCell(0, 3));
    EXPECT_EQ(S(IDS_DB_COL_CASCADE_DELETE), m.Heading(3));
    // A second table keeps the columns (and a width the user set).
    TreeView_SelectItem(m.Tree(), m.Find({S(IDS_DB_LOCAL_TABLES), "Pupil"}));
    EXPECT_EQ(S(IDS_DB_COL_CREATED), m.Heading(0));
    ASSERT_EQ(1, m.ListRows());
    EXPECT_EQ('2', m.ListCell(0, 0)[0]);  // the year comes first
    SendMessageA(m.List(), LVM_SETCOLUMNWIDTH, 0, 77);
    TreeView_SelectItem(m.Tree(), m.Find({S(IDS_DB_LOCAL_TABLES), "Class"}));
    int width = 0;
    EXPECT_EQ(S(IDS_DB_COL_CREATED), m.Heading(0, &width));
    EXPECT_EQ(77, width);
    // A fields node rebuilds them and lists the parent table's fields.
    TreeView_SelectItem(m.Tree(), m.Find({S(IDS_DB_LOCAL_TABLES), "Class", S(IDS_DB_FIELDS)}));
    m.Heading(0, &width);
    EXPECT_EQ(rc.right / 2, width);
    EXPECT_EQ("ID", m.ListCell(0, 0));
    EXPECT_EQ(S(IDS_DB_INTEGER), m.ListCell(0, 1));
    // Roots: one column, no rows; a kind without columns: none at all.
    TreeView_SelectItem(m.Tree(), m.Find({S(IDS_DB_QUERIES)}));
    EXPECT_EQ(S(IDS_DB_COL_NO_DETAIL), m.Heading(0));
    EXPECT_EQ("<none>", m.Heading(1));
    EXPECT_EQ(0, m.ListRows());
    m.Page()->m_list.SetKind(4);
    EXPECT_EQ("<none>", m.Heading(0));
}

TEST(DBManager, ContextMenuFollowsTheNodesKind) {
    Manager m(true);
    m.Show();
    MenuSeen seen;
    HTREEITEM pupil = m.Find({S(IDS_DB_LOCAL_TABLES), "Pupil"});
    m.Click(pupil, WM_RBUTTONDOWN);
    EXPECT_EQ(pupil, TreeView_GetSelection(m.Tree()));
    m.Click(pupil, WM_RBUTTONUP);
    ASSERT_EQ(1, MenuSeen::Shown());
    for (auto& s : MenuSeen::States()) {
        bool grey = (s.second & MF_GRAYED) != 0;
        EXPECT_EQ(s.first == ID_DB_NEW_TABLE, grey) << s.first;
    }
    // The root: the reverse.
    MenuSeen root;
    HTREEITEM tables = m.Find({S(IDS_DB_LOCAL_TABLES)});
    m.Click(tables, WM_RBUTTONDOWN);
    m.Click(tables, WM_RBUTTONUP);
    ASSERT_EQ(1, MenuSeen::Shown());
    for (auto& s : MenuSeen::States())
        EXPECT_EQ(s.first != ID_DB_NEW_TABLE, (s.second & MF_GRAYED) != 0) << s.first;
    // Fields and indexes show no menu.
    MenuSeen none;
    for (UINT child : {IDS_DB_FIELDS, IDS_DB_INDEXES}) {
        HTREEITEM item = m.Find({S(IDS_DB_LOCAL_TABLES), "Pupil", S(child)});
        m.Click(item, WM_RBUTTONDOWN);
        m.Click(item, WM_RBUTTONUP);
    }
    EXPECT_EQ(0, MenuSeen::Shown());
}

TEST(DBManager, TheChosenMenuCommandRuns) {
    Manager m(true);
    m.Show();
    PFNPOPUPMENUHANDLER old =
        SetPopupMenuHandler([](HMENU, UINT, int, int, HWND) -> BOOL { return ID_DB_DROP_TABLE; });
    ManagerBoxes boxes({IDNO});
    HTREEITEM pupil = m.Find({S(IDS_DB_LOCAL_TABLES), "Pupil"});
    m.Click(pupil, WM_RBUTTONDOWN);
    m.Click(pupil, WM_RBUTTONUP);
    SetPopupMenuHandler(old);
    ASSERT_EQ(1u, ManagerBoxes::Texts().size());
    EXPECT_EQ(S(IDS_DB_ASK_DROP_TABLE), ManagerBoxes::Texts()[0]);
}

TEST(DBManager, DropTableAsksAndRemovesTheNodeWithItsChildren) {
    Manager m(true);
    m.Show();
    // Room stands in no relation (Pupil's would refuse the drop).
    m.Choose(m.Find({S(IDS_DB_LOCAL_TABLES), "Room"}));
    m.Notices();
    {
        // No changes nothing.
        ManagerBoxes boxes({IDNO});
        m.Command(ID_DB_DROP_TABLE);
        EXPECT_NE(nullptr, m.Find({S(IDS_DB_LOCAL_TABLES), "Room"}));
        EXPECT_NE(nullptr, m.Core()->FindTableByName("Room"));
    }
    ManagerBoxes boxes({IDYES});
    m.Command(ID_DB_DROP_TABLE);
    EXPECT_EQ(nullptr, m.Find({S(IDS_DB_LOCAL_TABLES), "Room"}));
    EXPECT_EQ(nullptr, m.Core()->FindTableByName("Room"));
    std::vector<DataSourceNotice> notices = m.Notices();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(5, notices[0].kind);
    EXPECT_EQ(nullptr, m.Page()->m_tree.m_current);
}

TEST(DBManager, AccountsSheetAddsUsersAndRefusesAStandingMembership) {
    Manager m(true);
    m.Show();
    bool passwordEnabled = false;
    std::vector<std::string> users, memberOf;
    std::vector<std::string> boxesSeen;
    Dialogs d([&](int id, HWND dlg) -> INT_PTR {
        if (id == IDD_DB_USERINFO) {
            Type(dlg, IDC_DB_USER_NAME, "lin");
            Type(dlg, IDC_DB_USER_SECOND, "x7");
            Press(dlg, IDOK);
            return IDOK;
        }
        if (id != IDS_DB_USERMAN_SHEET)
            return IDCANCEL;
        HWND page = PropSheet_GetCurrentPageHwnd(dlg);
        passwordEnabled = IsWindowEnabled(GetDlgItem(page, IDC_DB_UM_PASSWORD)) != FALSE;
        Press(page, IDC_DB_UM_NEW);
        users = ListBoxTexts(GetDlgItem(page, IDC_DB_UM_USERS));
        // wang stands in Teachers already.
        HWND list = GetDlgItem(page, IDC_DB_UM_USERS);
        SendMessageA(list, LB_SETCURSEL,
                     SendMessageA(list, LB_FINDSTRINGEXACT, -1, (LPARAM) "wang"), 0);
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_DB_UM_USERS, LBN_SELCHANGE), (LPARAM)list);
        HWND groups = GetDlgItem(page, IDC_DB_UM_GROUPS);
        SendMessageA(groups, LB_SETCURSEL,
                     SendMessageA(groups, LB_FINDSTRINGEXACT, -1, (LPARAM) "Teachers"), 0);
        ManagerBoxes boxes;
        Press(page, IDC_DB_UM_ADD);
        boxesSeen = ManagerBoxes::Texts();
        memberOf = ListBoxTexts(GetDlgItem(page, IDC_DB_UM_MEMBER_OF));
        return IDCANCEL;
    });
    m.Choose(m.Find({S(IDS_DB_USERS_GROUPS)}));
    m.Command(ID_DB_ACCOUNTS);
    EXPECT_TRUE(passwordEnabled);
    EXPECT_TRUE(Contains(users, "lin"));
    ASSERT_EQ(1u, boxesSeen.size());
    EXPECT_EQ(S(IDS_DB_ALREADY_MEMBER), boxesSeen[0]);
    EXPECT_EQ(std::vector<std::string>{"Teachers"}, memberOf);
    // The users folder shows the new account.
    EXPECT_NE(nullptr, m.Find({S(IDS_DB_USERS_GROUPS), S(IDS_DB_USERS), "lin"}));
}

TEST(DBManager, AccountsPasswordButtonOnlyForAdministrators) {
    Manager m(true, "wang");
    bool enabled = true;
    Dialogs d([&](int id, HWND dlg) -> INT_PTR {
        if (id == IDS_DB_USERMAN_SHEET)
            enabled = IsWindowEnabled(GetDlgItem(PropSheet_GetCurrentPageHwnd(dlg),
                                                 IDC_DB_UM_PASSWORD)) != FALSE;
        return IDCANCEL;
    });
    CUserManSheet sheet(m.Core());
    sheet.DoModal();
    EXPECT_FALSE(enabled);
}

TEST(DBManager, AccountsApplyChangesTheLoggedInUsersPassword) {
    Manager m(true);
    Dialogs d([&](int id, HWND dlg) -> INT_PTR {
        if (id != IDS_DB_USERMAN_SHEET)
            return IDCANCEL;
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDOK)));
        PropSheet_SetCurSel(dlg, nullptr, 2);
        HWND page = PropSheet_GetCurrentPageHwnd(dlg);
        Type(page, IDC_DB_PW_NEW, "s3");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDOK)));
        Type(page, IDC_DB_PW_CONFIRM, "s3");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDOK)));
        SendMessageA(dlg, WM_COMMAND, IDC_DB_APPLY, 0);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_DB_APPLY)));
        return IDOK;
    });
    CUserManSheet sheet(m.Core());
    sheet.DoModal();
    // The admin's new password opens the database; the old one no longer.
    CdbDBEngine engine;
    engine.SetSystemDB(m.workgroup);
    EXPECT_NO_THROW(engine.CheckLogin("admin", "s3"));
    EXPECT_THROW(engine.CheckLogin("admin", ""), CdbException);
}

TEST(DBManager, PermissionsShowAndWriteTheRightsMask) {
    Manager m(true);
    ASSERT_EQ(1, m.Core()->SetPermissions("wang", "Class", 0x20));
    long written = -1;
    Dialogs d([&](int id, HWND dlg) -> INT_PTR {
        EXPECT_EQ(IDD_DB_PERMISSIONS, id);
        HWND accounts = GetDlgItem(dlg, IDC_DB_PM_ACCOUNTS);
        SendMessageA(accounts, LB_SETCURSEL,
                     SendMessageA(accounts, LB_FINDSTRINGEXACT, -1, (LPARAM) "wang"), 0);
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_DB_PM_ACCOUNTS, LBN_SELCHANGE),
                     (LPARAM)accounts);
        HWND objects = GetDlgItem(dlg, IDC_DB_PM_OBJECTS);
        SendMessageA(objects, LB_SETCURSEL,
                     SendMessageA(objects, LB_FINDSTRINGEXACT, -1, (LPARAM) "Class"), 0);
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_DB_PM_OBJECTS, LBN_SELCHANGE),
                     (LPARAM)objects);
        HWND read = GetDlgItem(dlg, IDC_DB_PM_READ), add = GetDlgItem(dlg, IDC_DB_PM_ADD);
        EXPECT_EQ(BST_CHECKED, SendMessageA(add, BM_GETCHECK, 0, 0));
        EXPECT_EQ(BST_UNCHECKED, SendMessageA(read, BM_GETCHECK, 0, 0));
        EXPECT_TRUE(IsWindowEnabled(read));
        // Add off, then on again: read comes with it, greyed.
        SendMessageA(add, BM_CLICK, 0, 0);
        EXPECT_TRUE(IsWindowEnabled(read));
        SendMessageA(add, BM_CLICK, 0, 0);
        EXPECT_EQ(BST_CHECKED, SendMessageA(read, BM_GETCHECK, 0, 0));
        EXPECT_FALSE(IsWindowEnabled(read));
        Press(dlg, IDC_DB_APPLY);
        m.Core()->GetPermissions("wang", "Class", &written);
        return IDCANCEL;
    });
    PermissionsDialog dlg(m.Core());
    dlg.DoModal();
    EXPECT_EQ(0x34, written);
}

TEST(DBManager, ImportDatabaseAddsTheCopiedTableUnderTheLocalTables) {
    Manager m(false);
    m.Show();
    // The source: a copy of this school, whose Class is taken here.
    std::string source = m.dir.File("other.mvb");
    ASSERT_TRUE(CopyFileA(m.path.c_str(), source.c_str(), FALSE));
    Files files(source.c_str());
    m.Command(ID_DB_IMPORT_DATABASE);
    EXPECT_NE(nullptr, m.Find({S(IDS_DB_LOCAL_TABLES), "Class_IMP1"}));
    EXPECT_NE(nullptr, m.Core()->FindTableByName("Class_IMP1"));
}

TEST(DBManager, LinkingADbaseFileOffersItsNameAndTellsTheMediaManager) {
    Manager m(false);
    m.Show();
    std::string dbf = m.dir.File("ORDERS.DBF");
    DbfWriter w(0x03, {{"ITEM", 'C', 10, 0}}, 1);
    w.Record(false, {"tea"});
    ASSERT_TRUE(WriteFileBytes(dbf, w.End().Vector()));
    Files files(dbf.c_str());
    std::string offered;
    Dialogs d([&](int id, HWND dlg) -> INT_PTR {
        EXPECT_EQ(IDD_DB_TEXT_PROMPT, id);
        char text[64] = {};
        GetDlgItemTextA(dlg, IDC_DB_PROMPT_TEXT, text, sizeof(text));
        offered = text;
        Press(dlg, IDOK);
        return IDOK;
    });
    m.Command(ID_DB_LINK_DBASE4);
    EXPECT_EQ("ORDERS", offered);
    EXPECT_NE(nullptr, m.Find({S(IDS_DB_LINK_TABLES), "ORDERS"}));
    EXPECT_EQ((std::vector<std::string>{"21:" + dbf + "|ORDERS", "9:ORDERS"}), m.site.links.calls);
}

TEST(DBManager, CancelAtAnyStepOfAnImportChangesNothing) {
    Manager m(false);
    m.Show();
    std::string source = m.dir.File("other.mvb");
    ASSERT_TRUE(CopyFileA(m.path.c_str(), source.c_str(), FALSE));
    int tables = m.Core()->GetTableCount();
    {
        Files files(nullptr);  // the file dialog
        m.Command(ID_DB_IMPORT_MAVRO);
    }
    Files files(source.c_str());
    {
        Dialogs d([](int, HWND) -> INT_PTR { return IDCANCEL; });  // the table chooser
        m.Command(ID_DB_IMPORT_MAVRO);
        EXPECT_EQ(std::vector<int>{IDD_DB_SELECT_TABLE}, Dialogs::Shown());
    }
    {
        // The name: refused once (taken), then Cancel with the text back.
        std::vector<std::string> prompts;
        ManagerBoxes boxes;
        Dialogs d([&](int id, HWND dlg) -> INT_PTR {
            if (id == IDD_DB_SELECT_TABLE) {
                Press(dlg, IDOK);
                return IDOK;
            }
            char text[64] = {};
            GetDlgItemTextA(dlg, IDC_DB_PROMPT_TEXT, text, sizeof(text));
            prompts.push_back(text);
            if (prompts.size() == 1) {
                Type(dlg, IDC_DB_PROMPT_TEXT, "Pupil");
                Press(dlg, IDOK);
                return IDOK;
            }
            return IDCANCEL;
        });
        m.Command(ID_DB_IMPORT_MAVRO);
        EXPECT_EQ((std::vector<std::string>{"Class", "Pupil"}), prompts);
    }
    EXPECT_EQ(tables, m.Core()->GetTableCount());
    int nodes = 0;
    for (HTREEITEM i = TreeView_GetChild(m.Tree(), m.Find({S(IDS_DB_LOCAL_TABLES)})); i;
         i = TreeView_GetNextSibling(m.Tree(), i))
        ++nodes;
    EXPECT_EQ(tables, nodes);
}

TEST(DBManager, PasswordChangeGoesToTheEditHostThenSlot30) {
    Manager m(true);
    m.Show();
    Dialogs d([](int id, HWND dlg) -> INT_PTR {
        EXPECT_EQ(IDD_DB_PASSWORD_CHANGE, id);
        Type(dlg, IDC_DB_NEW_PASSWORD, "n1");
        Type(dlg, IDC_DB_CONFIRM_PASSWORD, "n1");
        Press(dlg, IDOK);
        return IDOK;
    });
    m.Command(ID_DB_CHANGE_PASSWORD);
    EXPECT_EQ((std::vector<std::string>{"store:n1", "30:1"}), m.site.calls);
    // A site without the edit host still gets slot 30.
    m.site.calls.clear();
    m.site.editHost = false;
    Dialogs again([](int, HWND dlg) -> INT_PTR {
        Type(dlg, IDC_DB_OLD_PASSWORD, "n1");
        Press(dlg, IDOK);
        return IDOK;
    });
    m.Command(ID_DB_CHANGE_PASSWORD);
    EXPECT_EQ(std::vector<std::string>{"30:1"}, m.site.calls);
}

TEST(DBManager, RepointingALinkThatFailsShowsTheLinkMessage) {
    Manager m(false);
    m.Show();
    ManagerBoxes boxes;
    Dialogs d([](int id, HWND dlg) -> INT_PTR {
        EXPECT_EQ(IDD_DB_CONNECT, id);
        char text[64] = {};
        GetDlgItemTextA(dlg, IDC_DB_CONNECT_TEXT, text, sizeof(text));
        EXPECT_STREQ("ODBC;DATABASE=;UID=;PWD=;DSN=", text);
        Press(dlg, IDOK);
        return IDOK;
    });
    // Class is no linked table: the connection is refused.
    m.Choose(m.Find({S(IDS_DB_LOCAL_TABLES), "Class"}));
    m.Command(ID_DB_SET_CONNECTION);
    ASSERT_FALSE(ManagerBoxes::Texts().empty());
    EXPECT_EQ(S(IDS_DB_LINK_FAILED), ManagerBoxes::Texts().back());
}

TEST(DBManager, SlotsOfThePageAndTheViewFocus) {
    Manager m(true);
    // No sheet; a refused page is destroyed and still S_OK.
    EXPECT_EQ(E_FAIL, m.db->AddDatabasePage(nullptr, nullptr, nullptr));
    HWND notASheet = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     nullptr, nullptr);
    EXPECT_EQ(S_OK, m.db->AddDatabasePage(notASheet, nullptr, nullptr));
    EXPECT_EQ(nullptr, m.Core()->GetPage());
    DestroyWindow(notASheet);
    m.Show();
    struct Sink : IDBViewActiveSink {
        int answer = -1;
        void STDMETHODCALLTYPE OnViewActive(int active) override { answer = active; }
    } sink;
    SetFocus(m.sheet);
    m.db->QueryViewActive(&sink);
    EXPECT_EQ(0, sink.answer);
    SetFocus(m.Tree());
    m.db->QueryViewActive(&sink);
    EXPECT_EQ(1, sink.answer);
    SetFocus(m.List());
    m.db->QueryViewActive(&sink);
    EXPECT_EQ(1, sink.answer);
    EXPECT_EQ(S_OK, m.db->AttachDatabaseView(nullptr));
}

TEST(DBManager, AMissingIconKeepsItsPlaceInTheImageList) {
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 8);
    AddIconOrBlank(images, 201);
    AddIconOrBlank(images, 9999);  // no such icon
    AddIconOrBlank(images, 225);
    EXPECT_EQ(3, ImageList_GetImageCount(images));
    ImageList_Destroy(images);
}

TEST(DBManager, AThousandTablesOfLongChineseNamesFillWhole) {
    TempFolder dir;
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    ASSERT_EQ(S_OK, db->InitDataBase(dir.File("many.mvb").c_str(), "", "", DB_INIT_CREATE, &site,
                                     window.Handle()));
    CDBCore* c = GetDBCore();
    // Four digits, then 30 double-byte characters: 64 bytes ending in a
    // double-byte character.
    std::vector<std::string> names;
    std::string wide = DBAnsi("数据表名称数据表名称数据表名称数据表名称数据表名称数据表名称");
    ASSERT_EQ(60u, wide.size());
    std::string sql = "BEGIN;";
    for (int i = 0; i < 1000; ++i) {
        char digits[8];
        snprintf(digits, sizeof(digits), "%04d", i);
        names.push_back(digits + wide);
        sql += "CREATE TABLE \"" + Utf8OfAnsi(names.back()) + "\"(A TEXT);";
    }
    c->GetDatabase()->Connection()->Exec(sql + "COMMIT;");
    // Reopened: the core lists what the file holds.
    db.Release();
    db = NewDatabase();
    ASSERT_EQ(S_OK,
              db->InitDataBase(dir.File("many.mvb").c_str(), "", "", 0, &site, window.Handle()));
    HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                nullptr, nullptr);
    GetDBCore()->FillDatabaseTree(tree);
    HTREEITEM item = TreeView_GetChild(tree, TreeView_GetRoot(tree));
    int count = 0;
    for (; item; item = TreeView_GetNextSibling(tree, item), ++count)
        EXPECT_EQ(names[count], CDBTreeView::TextOf(tree, item));
    EXPECT_EQ(1000, count);
    DestroyWindow(tree);
}

TEST(DBManager, AGoneRelationLeavesTheTreeAndColumnsKeepTheirShares) {
    Manager m(false);
    m.Show();
    HTREEITEM relation = m.Find({S(IDS_DB_RELATIONS), "ClassPupil"});
    TreeView_SelectItem(m.Tree(), relation);
    // Four equal columns; a narrower pane keeps their shares.
    int widths[4];
    for (int i = 0; i < 4; ++i) m.Heading(i, &widths[i]);
    for (int i = 1; i < 4; ++i) EXPECT_EQ(widths[0], widths[i]);
    RECT window;
    GetWindowRect(m.List(), &window);
    SetWindowPos(m.List(), nullptr, 0, 0, (window.right - window.left) / 2,
                 window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER);
    int narrow[4];
    for (int i = 0; i < 4; ++i) m.Heading(i, &narrow[i]);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(narrow[0], narrow[i]);
        EXPECT_LT(narrow[i], widths[i]);
    }
    // Dropped behind the tree's back: selecting it again removes the node
    // with its children.
    TreeView_SelectItem(m.Tree(), m.Find({S(IDS_DB_QUERIES)}));
    ASSERT_EQ(1, m.Core()->DropRelation("ClassPupil"));
    ManagerBoxes boxes;
    TreeView_SelectItem(m.Tree(), relation);
    EXPECT_EQ(nullptr, m.Find({S(IDS_DB_RELATIONS), "ClassPupil"}));
    EXPECT_EQ(nullptr, TreeView_GetChild(m.Tree(), m.Find({S(IDS_DB_RELATIONS)})));
}
