#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ManagerFixture.h"
#include "aDBGrid.h"
#include "aDBResource.h"

namespace {

std::string Title(HWND w) {
    char text[128] = {};
    GetWindowTextA(w, text, sizeof(text));
    return text;
}

std::string ItemText(HWND dlg, int id) {
    char text[256] = {};
    GetDlgItemTextA(dlg, id, text, sizeof(text));
    return text;
}

void Edited(HWND dlg, int gridId, int col, int row, const std::string& text) {
    HWND grid = GetDlgItem(dlg, gridId);
    EXPECT_TRUE(dbgrid::SetText(grid, col, row, text)) << text;
    GridCellRef ref = {col, row};
    SendMessageA(dlg, GN_CELLCHANGED, gridId, (LPARAM)&ref);
}

}  // namespace

TEST(GridCommands, QueryDesignOpensNewAndExistingQueries) {
    Manager m(false);
    m.Show();
    ManagerBoxes boxes;
    const std::string queries = DBLoadString(IDS_DB_QUERIES);
    // A new visual query from the toolbar: its node and "字段" under it.
    {
        Dialogs d([&](int id, HWND w) -> INT_PTR {
            EXPECT_EQ(IDD_DB_QUERY_DESIGN, id);
            EXPECT_TRUE(GetWindowLongA(GetDlgItem(w, IDC_DB_QD_GRID), GWL_STYLE) & WS_VISIBLE);
            Edited(w, IDC_DB_QD_GRID, 2, 1, "Room");
            Edited(w, IDC_DB_QD_GRID, 2, 2, "ID");
            Type(w, IDC_DB_QD_NAME, "Rooms");
            Press(w, IDC_DB_QD_OK);
            return 0;
        });
        m.Command(ID_DB_NEW_QUERY_BUTTON);
        EXPECT_EQ(std::vector<int>{IDD_DB_QUERY_DESIGN}, Dialogs::Shown());
    }
    std::string sql;
    ASSERT_EQ(1, m.Core()->GetQuerySQL("Rooms", &sql));
    EXPECT_EQ("SELECT [Room].[ID] FROM [Room]", sql);
    HTREEITEM node = m.Find({queries, "Rooms"});
    ASSERT_TRUE(node != nullptr);
    EXPECT_EQ(18, CDBTreeView::KindOf(m.Tree(), node));
    EXPECT_TRUE(m.Find({queries, "Rooms", DBLoadString(IDS_DB_FIELDS)}) != nullptr);

    // A new SQL query shows the text box.
    {
        Dialogs d([&](int, HWND w) -> INT_PTR {
            EXPECT_EQ(DBLoadString(IDS_DB_QD_SQL_TITLE), Title(w));
            EXPECT_TRUE(GetWindowLongA(GetDlgItem(w, IDC_DB_QD_SQL), GWL_STYLE) & WS_VISIBLE);
            Press(w, IDCANCEL);
            return 0;
        });
        m.Command(ID_DB_SQL_QUERY);
    }

    // Changing a query made as SQL opens it as SQL, renamed in the tree.
    m.Choose(m.Find({queries, "AllPupils"}));
    {
        Dialogs d([&](int, HWND w) -> INT_PTR {
            EXPECT_EQ(DBLoadString(IDS_DB_QD_SQL_TITLE) + ": AllPupils", Title(w));
            EXPECT_EQ("SELECT * FROM Pupil", ItemText(w, IDC_DB_QD_SQL));
            Type(w, IDC_DB_QD_NAME, "Everyone");
            Press(w, IDC_DB_QD_OK);
            return 0;
        });
        m.Command(ID_DB_DESIGN_QUERY);
    }
    EXPECT_TRUE(m.Find({queries, "Everyone"}) != nullptr);
    EXPECT_TRUE(m.Core()->FindQueryByName("Everyone") != nullptr);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST(GridCommands, IndexEditorAndRelationDialogFromTheTree) {
    Manager m(false);
    m.Show();
    ManagerBoxes boxes;
    m.Choose(m.Find({DBLoadString(IDS_DB_LOCAL_TABLES), "Class"}));
    std::vector<std::string> indexes;
    {
        Dialogs d([&](int id, HWND w) -> INT_PTR {
            EXPECT_EQ(IDD_DB_INDEX_EDITOR, id);
            HWND list = GetDlgItem(w, IDC_DB_IX_LIST);
            for (LRESULT i = 0, n = SendMessageA(list, LB_GETCOUNT, 0, 0); i < n; ++i) {
                char text[64] = {};
                SendMessageA(list, LB_GETTEXT, i, (LPARAM)text);
                indexes.push_back(text);
            }
            Press(w, IDC_DB_IX_CLOSE);
            return 0;
        });
        m.Command(ID_DB_EDIT_INDEXES);
    }
    EXPECT_EQ(std::vector<std::string>{"PrimaryKey"}, indexes);

    const std::string relations = DBLoadString(IDS_DB_RELATIONS);
    {
        Dialogs d([&](int id, HWND w) -> INT_PTR {
            EXPECT_EQ(IDD_DB_RELATION, id);
            SendDlgItemMessageA(w, IDC_DB_RL_MAIN, LB_SELECTSTRING, (WPARAM)-1, (LPARAM) "Class");
            SendMessageA(w, WM_COMMAND, MAKEWPARAM(IDC_DB_RL_MAIN, LBN_SELCHANGE), 0);
            SendDlgItemMessageA(w, IDC_DB_RL_RELATED, LB_SELECTSTRING, (WPARAM)-1,
                                (LPARAM) "Pupil");
            SendMessageA(w, WM_COMMAND, MAKEWPARAM(IDC_DB_RL_RELATED, LBN_SELCHANGE), 0);
            // Class is keyed on Name.
            Edited(w, IDC_DB_RL_GRID, 1, 1, "Name");
            Edited(w, IDC_DB_RL_GRID, 2, 1, "Name");
            Type(w, IDC_DB_RL_NAME, "ClassOfPupil");
            Press(w, IDOK);
            return 0;
        });
        m.Command(ID_DB_NEW_RELATION_BUTTON);
        EXPECT_EQ(std::vector<int>{IDD_DB_RELATION}, Dialogs::Shown());
    }
    HTREEITEM node = m.Find({relations, "ClassOfPupil"});
    ASSERT_TRUE(node != nullptr);
    EXPECT_EQ(14, CDBTreeView::KindOf(m.Tree(), node));
    EXPECT_TRUE(boxes.Texts().empty());
}
