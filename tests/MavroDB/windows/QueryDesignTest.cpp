#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GridDialogFixture.h"
#include "aDBQueryDesign.h"
#include "aDBResource.h"

using griddlg::Cell;
using griddlg::Edit;

namespace {

const int G = IDC_DB_QD_GRID;

struct Condition {
    int block;
    const char* match;  // UTF-8: "满足" or "不满足"
    const char* op;
    const char* value;
};

struct DesignCol {
    const char* table;
    const char* field;
    bool show;
    const char* sort;  // UTF-8, "" for none
    std::vector<Condition> conditions;
};

// Types a design into the grid column by column, as the user chooses it.
void TypeDesign(HWND dlg, const std::vector<DesignCol>& cols) {
    for (size_t i = 0; i < cols.size(); ++i) {
        int c = 2 + (int)i;
        const DesignCol& d = cols[i];
        EXPECT_TRUE(Edit(dlg, G, c, 1, d.table)) << d.table;
        EXPECT_TRUE(Edit(dlg, G, c, 2, d.field)) << d.field;
        if (!d.show) {
            EXPECT_TRUE(Edit(dlg, G, c, 3, DBAnsi("否")));
        }
        if (*d.sort) {
            EXPECT_TRUE(Edit(dlg, G, c, 4, DBAnsi(d.sort)));
        }
    }
    // Conditions block by block, so each block's rows are there.
    for (int block = 1; block <= 4; ++block)
        for (size_t i = 0; i < cols.size(); ++i)
            for (const Condition& k : cols[i].conditions) {
                if (k.block != block)
                    continue;
                int c = 2 + (int)i, row = 5 + 3 * (block - 1);
                EXPECT_TRUE(Edit(dlg, G, c, row, DBAnsi(k.match)));
                EXPECT_TRUE(Edit(dlg, G, c, row + 1, k.op)) << k.op;
                EXPECT_TRUE(Edit(dlg, G, c, row + 2, k.value));
            }
}

// The design's cells, column by column (table, field, show, sort, then the
// conditions' match, operator and value of each block).
std::vector<std::string> DesignCells(HWND dlg) {
    HWND grid = GetDlgItem(dlg, G);
    std::vector<std::string> out;
    for (int c = 2; c < dbgrid::Cols(grid); ++c)
        for (int r = 1; r <= dbgrid::Rows(grid); ++r) out.push_back(dbgrid::Text(grid, c, r));
    return out;
}

}  // namespace

TEST(QueryDesign, VisualDesignStoresItsSqlAndReopensToTheSameCells) {
    griddlg::School s;
    std::vector<std::string> cells;
    {
        QueryDesignDialog dlg;
        dlg.m_core = s.Core();
        dlg.m_visual = 1;
        griddlg::Driven d([&](int id, HWND w) {
            EXPECT_EQ(IDD_DB_QUERY_DESIGN, id);
            HWND grid = GetDlgItem(w, G);
            EXPECT_TRUE(GetWindowLongA(grid, GWL_STYLE) & WS_VISIBLE);
            EXPECT_FALSE(GetWindowLongA(GetDlgItem(w, IDC_DB_QD_SQL), GWL_STYLE) & WS_VISIBLE);
            EXPECT_EQ(7, dbgrid::Rows(grid));
            EXPECT_EQ(2, dbgrid::Cols(grid));
            EXPECT_EQ(DBLoadString(IDS_DB_QD_SHOW), Cell(w, G, 1, 3));
            TypeDesign(w, {{"Pupil", "Name", true, "", {}},
                           {"Pupil", "Born", true, "递减", {}},
                           {"Pupil", "Active", false, "", {{1, "满足", "=", "1"}}}});
            // A new design column starts unsorted; the spare follows it.
            EXPECT_EQ(5, dbgrid::Cols(grid));
            EXPECT_EQ(DBAnsi("不排序"), Cell(w, G, 2, 4));
            EXPECT_EQ(10, dbgrid::Rows(grid));  // a spare block after the first
            cells = DesignCells(w);
            SetDlgItemTextA(w, IDC_DB_QD_NAME, "Q1");
            SendMessageA(w, WM_COMMAND, IDC_DB_QD_OK, 0);
        });
        EXPECT_EQ(IDOK, dlg.DoModal());
        EXPECT_TRUE(griddlg::Boxes().empty());
    }
    std::string sql;
    ASSERT_EQ(1, s.Core()->GetQuerySQL("Q1", &sql));
    EXPECT_EQ(
        "SELECT [Pupil].[Name],[Pupil].[Born] FROM [Pupil] WHERE ([Pupil].[Active] <> 0) ORDER "
        "BY [Pupil].[Born] DESC",
        sql);
    short visual = 0;
    ASSERT_EQ(1, s.Core()->GetQueryTypeFlag("Q1", &visual));
    EXPECT_NE(0, visual);
    // The stored query runs: two active pupils, Cid first.
    DataSourceDescriptor q = Desc("Q1");
    int n = -1;
    EXPECT_EQ(S_OK, s.db->GetDataSourceRecordCount(&q, &n));
    EXPECT_EQ(2, n);

    QueryDesignDialog again;
    again.m_core = s.Core();
    again.m_newQuery = 0;
    again.m_queryName = "Q1";
    griddlg::Driven d([&](int, HWND w) {
        EXPECT_EQ(cells, DesignCells(w));
        char name[80] = {};
        GetDlgItemTextA(w, IDC_DB_QD_NAME, name, sizeof(name));
        EXPECT_EQ("Q1", std::string(name));
        // Unchanged, it closes without a question.
        SendMessageA(w, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(IDCANCEL, again.DoModal());
    EXPECT_TRUE(griddlg::Boxes().empty());
}

TEST(QueryDesign, BuildsTheSqlOfEachDesignAndParsesItBack) {
    struct Case {
        const char* what;
        std::vector<DesignCol> cols;
        const char* sql;
    } cases[] = {
        {"one shown column",
         {{"Pupil", "Name", true, "", {}}},
         "SELECT [Pupil].[Name] FROM [Pupil]"},
        {"two tables",
         {{"Pupil", "Name", true, "", {}}, {"Class", "Title", true, "", {}}},
         "SELECT [Pupil].[Name],[Class].[Title] FROM [Pupil],[Class]"},
        {"blocks joined by OR",
         {{"Class", "ID", true, "递增", {{1, "满足", ">", "1"}, {2, "满足", "<", "9"}}},
          {"Class", "Title", true, "", {{1, "不满足", "Like", "a*"}}}},
         "SELECT [Class].[ID],[Class].[Title] FROM [Class] WHERE ([Class].[ID] > 1) AND (NOT "
         "[Class].[Title] Like \"a*\") OR ([Class].[ID] < 9) ORDER BY [Class].[ID] ASC"},
        {"Boolean true, hidden column",
         {{"Pupil", "Name", true, "", {}}, {"Pupil", "Active", false, "", {{1, "满足", "=", "1"}}}},
         "SELECT [Pupil].[Name] FROM [Pupil] WHERE ([Pupil].[Active] <> 0)"},
        {"Between and In",
         {{"Class", "ID", true, "", {{1, "满足", "Between", "1,5"}}},
          {"Class", "Title", true, "", {{1, "满足", "In", "a, b"}}}},
         "SELECT [Class].[ID],[Class].[Title] FROM [Class] WHERE ([Class].[ID] Between 1 AND 5) "
         "AND ([Class].[Title] In (\"a\",\"b\"))"},
        {"a parameter used twice is declared once",
         {{"Class", "ID", true, "", {{1, "满足", ">", "[Min]"}, {2, "满足", "=", "[Min]+1"}}}},
         "PARAMETERS [Min] LONG;SELECT [Class].[ID] FROM [Class] WHERE ([Class].[ID] > [Min]) OR "
         "([Class].[ID] = [Min]+1)"},
        {"a date and an empty value",
         {{"Pupil", "Born", true, "递减", {{1, "满足", ">", "2000/1/1"}}},
          {"Pupil", "Name", true, "", {{1, "满足", "=", ""}}}},
         "SELECT [Pupil].[Born],[Pupil].[Name] FROM [Pupil] WHERE ([Pupil].[Born] > #2000/1/1#) "
         "AND ([Pupil].[Name] = NULL) ORDER BY [Pupil].[Born] DESC"},
        {"every field", {{"Class", "*", true, "", {}}}, "SELECT [Class].* FROM [Class]"},
    };
    griddlg::School s;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string built, rebuilt;
        QueryDesignDialog dlg;
        dlg.m_core = s.Core();
        dlg.m_visual = 1;
        griddlg::Driven d([&](int, HWND w) {
            TypeDesign(w, c.cols);
            SetDlgItemTextA(w, IDC_DB_QD_NAME, "Q");
            EXPECT_TRUE(dlg.MakeSql(&built));
            SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
        });
        dlg.DoModal();
        EXPECT_EQ(c.sql, built);
        EXPECT_TRUE(griddlg::Boxes().empty());

        QueryDesignDialog parsed;
        parsed.m_core = s.Core();
        parsed.m_visual = 1;
        griddlg::Driven d2([&](int, HWND w) {
            parsed.ParseQuerySql(built);
            SetDlgItemTextA(w, IDC_DB_QD_NAME, "Q");
            EXPECT_TRUE(parsed.MakeSql(&rebuilt));
            SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
        });
        parsed.DoModal();
        EXPECT_EQ(built, rebuilt);
    }
}

TEST(QueryDesign, ReadsTheEnginesLayoutToo) {
    // Blanks after the commas, line breaks before the clauses, a closing ";".
    griddlg::School s;
    QueryDesignDialog dlg;
    dlg.m_core = s.Core();
    dlg.m_visual = 1;
    std::string rebuilt;
    griddlg::Driven d([&](int, HWND w) {
        dlg.ParseQuerySql(
            "PARAMETERS [X] LONG;\r\nSELECT [Class].[ID], [Class].[Title]\r\nFROM [Class]\r\n"
            "WHERE ([Class].[ID] > [X])\r\nORDER BY [Class].[Title] DESC, [Class].[ID];");
        SetDlgItemTextA(w, IDC_DB_QD_NAME, "Q");
        EXPECT_TRUE(dlg.MakeSql(&rebuilt));
        SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
    });
    dlg.DoModal();
    EXPECT_EQ(
        "PARAMETERS [X] LONG;SELECT [Class].[ID],[Class].[Title] FROM [Class] WHERE ([Class].[ID] "
        "> [X]) ORDER BY [Class].[ID] ASC,[Class].[Title] DESC",
        rebuilt);
}

TEST(QueryDesign, BadValuesAndFailedStoresKeepTheDialogOpen) {
    griddlg::School s;
    const std::string bad = DBLoadString(IDS_DB_QD_BAD_VALUE);
    struct {
        const char* op;
        const char* value;
    } values[] = {{"Between", "1"}, {"Between", ",5"}, {"Between", "1,"}, {"In", "1,,2"}};
    for (const auto& v : values) {
        SCOPED_TRACE(std::string(v.op) + " " + v.value);
        QueryDesignDialog dlg;
        dlg.m_core = s.Core();
        dlg.m_visual = 1;
        griddlg::Driven d([&](int, HWND w) {
            TypeDesign(w, {{"Class", "ID", true, "", {{1, "满足", v.op, v.value}}}});
            SetDlgItemTextA(w, IDC_DB_QD_NAME, "Q");
            SendMessageA(w, WM_COMMAND, IDC_DB_QD_OK, 0);
            EXPECT_EQ(std::vector<std::string>{bad}, griddlg::Boxes());
            // Mended: the value is corrected in the same dialog.
            Edit(w, G, 2, 7, "1,5");
            griddlg::Boxes().clear();
            SendMessageA(w, WM_COMMAND, IDC_DB_QD_OK, 0);
        });
        EXPECT_EQ(IDOK, dlg.DoModal());
        EXPECT_TRUE(griddlg::Boxes().empty());
        std::string sql;
        EXPECT_EQ(1, s.Core()->GetQuerySQL("Q", &sql));
        DataSourceDescriptor q = Desc("Q", "", 0, 0);
        s.Core()->DropQuery(&q);
    }

    // A store the engine refuses keeps the dialog and the typed text.
    QueryDesignDialog sqlMode;
    sqlMode.m_core = s.Core();
    sqlMode.m_visual = 0;
    griddlg::Driven d([&](int, HWND w) {
        EXPECT_FALSE(GetWindowLongA(GetDlgItem(w, IDC_DB_QD_GRID), GWL_STYLE) & WS_VISIBLE);
        char title[64] = {};
        GetWindowTextA(w, title, sizeof(title));
        EXPECT_EQ(DBLoadString(IDS_DB_QD_SQL_TITLE), std::string(title));
        SetDlgItemTextA(w, IDC_DB_QD_SQL, "SELECT (Name FROM Pupil");
        SetDlgItemTextA(w, IDC_DB_QD_NAME, "Broken");
        SendMessageA(w, WM_COMMAND, IDC_DB_QD_OK, 0);
        EXPECT_FALSE(griddlg::Boxes().empty());  // the engine's own message
        char text[64] = {};                      // an unbalanced ( is refused
        GetDlgItemTextA(w, IDC_DB_QD_SQL, text, sizeof(text));
        EXPECT_EQ("SELECT (Name FROM Pupil", std::string(text));
        SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, sqlMode.DoModal());
    EXPECT_EQ(-1, s.Core()->IndexOfEntry("Broken", 1));
}

TEST(QueryDesign, AnUnparsableStoredConditionIsShownAndSkipped) {
    TempFolder dir;
    std::string path = dir.File("q.mvb");
    {
        MvbWriter w(path);
        griddlg::WriteSchool(w);
        w.Query("Odd",
                "SELECT [Pupil].[Name] FROM [Pupil] WHERE [Pupil].[Active] <> 0 AND "
                "([Pupil].[Name] = \"Ann\")");
        w.Property("Odd", "", "QueryType", 1);
    }
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    ASSERT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
    CComPtr<IMDBase> m;
    db->QueryInterface(__uuidof(IMDBase), (void**)&m);
    QueryDesignDialog dlg;
    dlg.m_core = static_cast<CMavroBase*>(m.p)->Core();
    dlg.m_newQuery = 0;
    dlg.m_queryName = "Odd";
    griddlg::Driven d([&](int, HWND w) {
        EXPECT_EQ(std::vector<std::string>{DBLoadString(IDS_DB_QD_BAD_VALUE)}, griddlg::Boxes());
        EXPECT_EQ("Name", Cell(w, G, 2, 2));
        EXPECT_EQ("=", Cell(w, G, 2, 6));
        EXPECT_EQ("\"Ann\"", Cell(w, G, 2, 7));
        EXPECT_EQ(3, dbgrid::Cols(GetDlgItem(w, G)));  // no column for the skipped one
        SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
    });
    dlg.DoModal();
}

TEST(QueryDesign, DeletingAColumnAndClosingWithChanges) {
    griddlg::School s;
    QueryDesignDialog dlg;
    dlg.m_core = s.Core();
    dlg.m_visual = 1;
    griddlg::Driven d([&](int, HWND w) {
        HWND grid = GetDlgItem(w, G);
        TypeDesign(w, {{"Pupil", "Name", true, "", {}}, {"Pupil", "Born", true, "", {}}});
        // Only whole design columns go: not the labels, not the spare.
        for (int c : {1, 4}) {
            GridRange sel = {c, -1, c, -1};
            SendMessageA(grid, GM_SETSELECTION, 0, (LPARAM)&sel);
            SendMessageA(w, WM_COMMAND, IDC_DB_QD_DELETE, 0);
            EXPECT_EQ(4, dbgrid::Cols(grid));
        }
        GridRange cell = {2, 1, 2, 1};
        SendMessageA(grid, GM_SETSELECTION, 0, (LPARAM)&cell);
        SendMessageA(w, WM_COMMAND, IDC_DB_QD_DELETE, 0);
        EXPECT_EQ(4, dbgrid::Cols(grid));
        GridRange col2 = {2, -1, 2, -1};
        SendMessageA(grid, GM_SETSELECTION, 0, (LPARAM)&col2);
        SendMessageA(w, WM_COMMAND, IDC_DB_QD_DELETE, 0);
        EXPECT_EQ(3, dbgrid::Cols(grid));
        EXPECT_EQ("Born", Cell(w, G, 2, 2));

        // Closing asks: Cancel stays, No leaves without storing.
        griddlg::BoxAnswer() = IDCANCEL;
        SendMessageA(w, WM_CLOSE, 0, 0);
        EXPECT_EQ(std::vector<std::string>{DBLoadString(IDS_DB_QD_ASK_STORE)}, griddlg::Boxes());
        EXPECT_TRUE(IsWindow(w));
        griddlg::BoxAnswer() = IDNO;
        SendMessageA(w, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(0, s.Core()->GetQueryCount());
}
