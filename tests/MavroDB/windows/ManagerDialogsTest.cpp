// The manager's small dialogs: the source file dialog's filter and title
// by command, the table chooser, and the text prompt's password mode.
#include <gtest/gtest.h>

#include "ManagerFixture.h"
#include "aDBManDialogs.h"

namespace {

DWORD g_flags = 0;
std::string g_filter, g_title;

const char* Record(const OPENFILENAMEA* request) {
    g_flags = request->Flags;
    g_filter.clear();
    // The filter in the system's form: pairs of texts, closed by two NULs.
    for (const char* p = request->lpstrFilter; p && *p; p += strlen(p) + 1)
        g_filter += std::string(p) + "|";
    g_title = request->lpstrTitle ? request->lpstrTitle : "<default>";
    return "C:\\data\\ORDERS.DBF";
}

}  // namespace

TEST(DBManagerDialogs, FileDialogFilterAndTitleFollowTheCommand) {
    PFNOPENFILEHANDLER old = SetOpenFileHandler(Record);
    struct Case {
        int id;
        UINT filter, title;
    } cases[] = {
        {ID_DB_LINK_FOXPRO30, IDS_DB_FILTER_FOXPRO, IDS_DB_LINK_TITLE},
        {ID_DB_LINK_FOXPRO20, IDS_DB_FILTER_FOXPRO, IDS_DB_LINK_TITLE},
        {ID_DB_LINK_DBASE3, IDS_DB_FILTER_DBASE, IDS_DB_LINK_TITLE},
        {ID_DB_LINK_ACCESS, IDS_DB_FILTER_ACCESS, IDS_DB_LINK_TITLE},
        {ID_DB_LINK_EXCEL50, IDS_DB_FILTER_EXCEL, IDS_DB_LINK_TITLE},
        {ID_DB_LINK_EXCEL80, IDS_DB_FILTER_EXCEL, IDS_DB_LINK_TITLE},
        {ID_DB_IMPORT_ACCESS, IDS_DB_FILTER_ACCESS, IDS_DB_SOURCE_TITLE},
        {ID_DB_IMPORT_FOXPRO30, IDS_DB_FILTER_FOXPRO, IDS_DB_SOURCE_TITLE},
        {ID_DB_IMPORT_FOXPRO26, IDS_DB_FILTER_FOXPRO, IDS_DB_SOURCE_TITLE},
        {ID_DB_IMPORT_DBASE5, IDS_DB_FILTER_DBASE, IDS_DB_SOURCE_TITLE},
        {ID_DB_IMPORT_EXCEL40, IDS_DB_FILTER_EXCEL, IDS_DB_SOURCE_TITLE},
        {ID_DB_IMPORT_MAVRO, IDS_DB_FILTER_MVB, IDS_DB_SOURCE_TITLE},
        // Outside the table: no filter, the system's title.
        {ID_DB_IMPORT_ODBC, 0, 0},
        {12345, 0, 0},
    };
    for (const Case& c : cases) {
        CSelFileDlg dlg(c.id, TRUE, nullptr);
        ASSERT_EQ(IDOK, dlg.DoModal()) << c.id;
        EXPECT_EQ(c.filter ? DBLoadString(c.filter).substr(0, DBLoadString(c.filter).size() - 1)
                           : std::string(),
                  g_filter)
            << c.id;
        EXPECT_EQ(c.title ? DBLoadString(c.title) : "<default>", g_title) << c.id;
        EXPECT_TRUE(g_flags & OFN_HIDEREADONLY);
        EXPECT_EQ("ORDERS.DBF", dlg.GetFileName());
        EXPECT_EQ("C:\\data\\ORDERS.DBF", dlg.GetPathName());
    }
    SetOpenFileHandler(old);
}

TEST(DBManagerDialogs, TableChooserSortsAndAnswersTheSelection) {
    struct Case {
        std::vector<std::string> names;
        int select;  // -1: none
        std::string chosen;
    } cases[] = {
        {{"Pupil", "Class", "Room"}, 0, "Class"},  // sorted: the first is Class
        {{"Pupil", "Class", "Room"}, 2, "Room"},
        {{}, -1, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> shown;
        Dialogs d([&](int id, HWND dlg) -> INT_PTR {
            EXPECT_EQ(IDD_DB_SELECT_TABLE, id);
            HWND list = GetDlgItem(dlg, IDC_DB_TABLE_LIST);
            for (int i = 0; i < (int)SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
                char text[64] = {};
                SendMessageA(list, LB_GETTEXT, i, (LPARAM)text);
                shown.push_back(text);
            }
            if (c.select > 0)
                SendMessageA(list, LB_SETCURSEL, c.select, 0);
            // A double click acts as OK.
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_DB_TABLE_LIST, LBN_DBLCLK), (LPARAM)list);
            return -7;
        });
        SelectTableDialog dlg;
        dlg.m_names = c.names;
        EXPECT_EQ(IDOK, dlg.DoModal());
        EXPECT_EQ(c.chosen, dlg.m_chosen);
        if (!c.names.empty()) {
            EXPECT_EQ((std::vector<std::string>{"Class", "Pupil", "Room"}), shown);
        }
    }
}

TEST(DBManagerDialogs, TextPromptModesAndTheConnectStringsDefault) {
    struct Case {
        int mode;
        UINT label;
        bool hidden;
    } cases[] = {{1, IDS_DB_TABLE_NAME, false}, {2, IDS_DB_PASSWORD_LABEL, true}};
    for (const Case& c : cases) {
        Dialogs d([&](int, HWND dlg) -> INT_PTR {
            char label[64] = {}, caption[64] = {};
            GetDlgItemTextA(dlg, IDC_DB_PROMPT_LABEL, label, sizeof(label));
            GetWindowTextA(dlg, caption, sizeof(caption));
            EXPECT_EQ(DBLoadString(c.label), label);
            if (c.mode == 2) {
                EXPECT_EQ(DBLoadString(IDS_DB_PASSWORD_CAPTION), caption);
            }
            EXPECT_EQ(c.hidden ? '*' : 0,
                      (char)SendDlgItemMessageA(dlg, IDC_DB_PROMPT_TEXT, EM_GETPASSWORDCHAR, 0, 0));
            Type(dlg, IDC_DB_PROMPT_TEXT, "typed");
            Press(dlg, IDOK);
            return IDOK;
        });
        TextPromptDialog dlg;
        dlg.m_mode = c.mode;
        EXPECT_EQ(IDOK, dlg.DoModal());
        EXPECT_EQ("typed", dlg.m_text);
    }
    Dialogs d([](int, HWND dlg) -> INT_PTR {
        Press(dlg, IDOK);
        return IDOK;
    });
    ConnectStringDialog connect;
    EXPECT_EQ(IDOK, connect.DoModal());
    EXPECT_EQ("ODBC;DATABASE=;UID=;PWD=;DSN=", connect.m_connect);
}
