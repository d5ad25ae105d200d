// The browser where writes fail, where a deletion fails part way, its
// toolbar's commands and tips, and the colours of its printed grid; a real
// core over written databases, with a second connection to the same file as
// the other user. The test types into the grid's in-place edit and moves
// with the grid's keys.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BrowserFixture.h"
#include "DBGridFixture.h"
#include "GridDialogFixture.h"
#include "aDBResource.h"
#include "aDBrowser.h"
#include "sqlite3.h"
#include "WrittenDatabase.h"

namespace {

// Team(ID long key, Title required text of 20, Size byte) with three teams;
// Member(TeamID long, Who text), empty.
void WriteTeams(MvbWriter& w) {
    w.Exec("CREATE TABLE Team(ID LONG PRIMARY KEY, Title TEXT(20) NOT NULL, Size BYTE)");
    w.Exec("INSERT INTO Team VALUES(1, 'One', 10), (2, 'Two', 20), (3, 'Three', 30)");
    w.Exec("CREATE TABLE Member(TeamID LONG, Who TEXT(20))");
}

struct Db : WrittenDatabase<> {
    std::unique_ptr<CdbDatabase> other;  // the other user, while a case needs one
    explicit Db(const std::function<void(MvbWriter&)>& write)
        : WrittenDatabase(write, "teams.mvb") {}
    std::unique_ptr<CdbDatabase> Open() { return CdbDatabase::Open(path, false, false, ""); }
    // The record writes the core announced since the last call (kinds 2, 3).
    int Writes() {
        int n = 0;
        for (const DataSourceNotice& notice : window.Drain(db))
            n += notice.kind == 2 || notice.kind == 3;
        return n;
    }
    // A table's field as the file holds it, read through another connection.
    std::string Stored(const char* table, const char* field, long position) {
        auto reader = Open();
        auto rs = reader->OpenTable(table);
        if (position >= rs->GetRecordCount())
            return "<none>";
        rs->SetAbsolutePosition(position);
        VARIANT v;
        rs->GetValue(field, &v);
        std::string text;
        CDBCore::VariantText(&v, 10, &text, nullptr);
        VariantClear(&v);
        return text;
    }
    long Records(const char* table) { return Open()->OpenTable(table)->GetRecordCount(); }
    // The core drops its recordset; the next access opens it again.
    void Reopen(const char* table) {
        DataSourceDescriptor d = Desc(table);
        EXPECT_EQ(1, Core()->CloseDataSource(&d));
    }
};

void Exec(CdbDatabase* db, const char* sql) {
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db->Connection()->Handle(), sql, nullptr, nullptr, nullptr))
        << sql;
}

}  // namespace

TEST(BrowserWrites, AFailedWriteKeepsTheUserOnTheRowAndLeavingAgainRetries) {
    struct Case {
        const char* what;
        int col, row;  // the cell typed into
        const char* typed;
        std::function<void(Db&)> provoke;
        // What lets the next try through: the other user's, or the user's
        // own typing in the row kept.
        std::function<void(Db&, Browser&)> cure;
        const char* field;  // what the successful try stored, and where
        long position;
        const char* stored;
        const char* message;  // in the engine's message: the failure meant
    };
    auto none = [](Db&) {};
    const Case cases[] = {
        // Result 0: the engine refuses the values.
        {"a key taken", 1, 2, "1", none,
         [](Db& t, Browser&) {
             t.other = t.Open();
             Exec(t.other.get(), "UPDATE Team SET ID = 9 WHERE ID = 1");
         },
         "ID", 1, "1", "UNIQUE"},
        {"a required field emptied", 2, 2, "", none, [](Db&, Browser& b) { b.Type("Deux"); },
         "Title", 1, "Deux", "NOT NULL"},
        {"a text too long", 2, 2, "ABCDEFGHIJKLMNOPQRSTUVWXY", none,
         [](Db&, Browser& b) { b.Type("Deux"); }, "Title", 1, "Deux", "too small"},
        // Result 4: the other user holds the write lock.
        {"the file locked", 2, 2, "Deux",
         [](Db& t) {
             t.other = t.Open();
             Exec(t.other.get(), "BEGIN IMMEDIATE");
         },
         [](Db& t, Browser&) { Exec(t.other.get(), "ROLLBACK"); }, "Title", 1, "Deux", "locked"},
        // Result 5: the field is gone from the recordset the core opens.
        {"the field renamed", 2, 2, "Deux",
         [](Db& t) {
             t.Open()->RenameField("Team", "Title", "Name");
             t.Reopen("Team");
         },
         [](Db& t, Browser&) {
             t.Open()->RenameField("Team", "Name", "Title");
             t.Reopen("Team");
         },
         "Title", 1, "Deux", "not found"},
        // Result 7 (the record changed between the core's read and its write)
        // cannot come about within one write of the core.
        // A new record: Title is required.
        {"a new record without its title", 1, 4, "4", none,
         [](Db&, Browser& b) {
             b.Key(VK_TAB);  // within the row: nothing written
             b.Type("Four");
         },
         "Title", 3, "Four", "NOT NULL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Db t(WriteTeams);
        griddlg::Driven boxes([](int, HWND) {});
        Browser b(t.Core(), "Team");
        ASSERT_TRUE(b.w);
        t.Writes();
        b.Activate(c.col, c.row);
        const std::string before = t.Stored("Team", c.field, c.position);
        b.Type(c.typed);
        c.provoke(t);
        // Leaving the row: the write fails, the user stays on the cell in
        // edit mode; the engine's message was shown.
        for (size_t attempt = 1; attempt <= 2; ++attempt) {
            b.Key(VK_DOWN);
            EXPECT_EQ(c.col, b.Active().col) << attempt;
            EXPECT_EQ(c.row, b.Active().row) << attempt;
            EXPECT_TRUE(b.Editing()) << attempt;
            ASSERT_EQ(attempt, griddlg::Boxes().size());
            EXPECT_NE(std::string::npos, griddlg::Boxes().back().find(c.message))
                << griddlg::Boxes().back();
            EXPECT_EQ(0, t.Writes());
        }
        EXPECT_EQ(3, t.Records("Team"));
        c.cure(t, b);
        EXPECT_EQ(before, t.Stored("Team", c.field, c.position));
        b.Key(VK_DOWN);
        EXPECT_EQ(c.row + 1, b.Active().row);
        EXPECT_EQ(1, t.Writes());
        EXPECT_EQ(c.stored, t.Stored("Team", c.field, c.position));
        EXPECT_EQ(b.Rows(), t.Records("Team") + 1);
        EXPECT_EQ(2u, griddlg::Boxes().size());
        t.other.reset();
    }
}

TEST(BrowserWrites, ARecordDeletedUnderneathRebuildsTheGrid) {
    Db t(WriteTeams);
    griddlg::Driven boxes([](int, HWND) {});
    Browser b(t.Core(), "Team");
    ASSERT_TRUE(b.w);
    b.Activate(2, 2);
    b.Type("Deux");
    {
        auto other = t.Open();
        Exec(other.get(), "DELETE FROM Team WHERE ID = 2");
    }
    b.Key(VK_DOWN);
    Pump();
    // Rebuilt from the fresh count; the browser's own request makes the
    // cell above the one left active.
    EXPECT_EQ(3, b.Rows());
    EXPECT_EQ(2, b.Active().col);
    EXPECT_EQ(1, b.Active().row);
    EXPECT_EQ("One", b.Cell(2, 1));
    EXPECT_EQ("Three", b.Cell(2, 2));
    EXPECT_EQ("", b.Cell(2, 3));
    // The values typed for the record that went are dropped: moving on
    // from team 1, never edited, writes nothing onto it.
    b.Key(VK_DOWN);
    EXPECT_EQ("One", t.Stored("Team", "Title", 0));
    EXPECT_EQ("One", b.Cell(2, 1));
}

TEST(BrowserWrites, DeletingRowsPassesOverARecordThatCannotGo) {
    // Teams 1 to 5; team 3 has a member, and the relation restricts deletes.
    Db t([](MvbWriter& w) {
        WriteTeams(w);
        w.Exec("INSERT INTO Team VALUES(4, 'Four', 40), (5, 'Five', 50)");
        w.Exec("INSERT INTO Member VALUES(3, 'Ann')");
    });
    RelationFieldSpec pair;
    pair.name = "ID";
    pair.foreignName = "TeamID";
    ASSERT_EQ(1, t.Core()->CreateRelation("TeamMember", "Team", "Member", {&pair}, 0));
    griddlg::Driven boxes([](int, HWND) {});
    Browser b(t.Core(), "Team");
    ASSERT_TRUE(b.w);
    ASSERT_EQ(6, b.Rows());
    t.Writes();
    GridRange rows = {-1, 2, -1, 4};
    SendMessageA(b.Grid(), GM_SETSELECTION, 0, (LPARAM)&rows);
    b.Key(VK_DELETE);
    // Positions 1 and 2 went (teams 2 and 4); team 3 stayed, with the
    // engine's message; two rows fewer.
    EXPECT_EQ(1u, griddlg::Boxes().size());
    EXPECT_EQ(3, t.Records("Team"));
    const char* ids[] = {"1", "3", "5"};
    for (long p = 0; p < 3; ++p) EXPECT_EQ(ids[p], t.Stored("Team", "ID", p));
    EXPECT_EQ(4, b.Rows());
    for (int r = 1; r <= 3; ++r) EXPECT_EQ(ids[r - 1], b.Cell(1, r)) << r;
    EXPECT_EQ("", b.Cell(1, 4));
}

TEST(BrowserWrites, ToolbarTipsNameTheButtons) {
    Db s(griddlg::WriteSchool);
    Browser b(s.Core(), "Pupil");
    ASSERT_TRUE(b.w);
    struct Tip {
        UINT id;
        const char* text;  // in the code page of the strings (936)
    };
    const Tip tips[] = {
        {42773, "\xC3\xBD\xCC\xE5\xD4\xA4\xC0\xC0"},                  // 媒体预览
        {42783, "\xC9\xBE\xB3\xFD\xBC\xC7\xC2\xBC"},                  // 删除记录
        {42784, "\xB1\xE0\xBC\xAD\xBC\xC7\xC2\xBC"},                  // 编辑记录
        {42785, "\xD2\xC6\xB6\xAF\xBC\xC7\xC2\xBC\xD6\xB8\xD5\xEB"},  // 移动记录指针
        {57664, "\xB0\xEF\xD6\xFA"},                                  // 帮助
        {42786, ""},
        {0, ""},
    };
    for (const Tip& tip : tips) {
        NMTTDISPINFOA info = {};
        info.hdr.idFrom = tip.id;
        info.hdr.code = TTN_GETDISPINFOA;
        info.lpszText = info.szText;
        SendMessageA(b.w, WM_NOTIFY, tip.id, (LPARAM)&info);
        ASSERT_TRUE(info.lpszText) << tip.id;
        EXPECT_EQ(tip.text, std::string(info.lpszText)) << tip.id;
    }
}

TEST(BrowserWrites, EditRecordAndMoveRecordPointerWorkOnTheActiveCell) {
    Db s([](MvbWriter& w) {
        griddlg::WriteSchool(w);
        // Nobody is a member: an empty, read-only result.
        w.Query("Joined",
                "SELECT Pupil.Name, Member.ClassID FROM Pupil INNER JOIN Member ON "
                "Pupil.Name = Member.Who");
    });
    Browser b(s.Core(), "Pupil");
    ASSERT_TRUE(b.w);
    // Edit record: the active cell's edit opens.
    b.Activate(2, 3);
    EXPECT_FALSE(b.Editing());
    b.Command(ID_DB_EDIT_RECORD);
    EXPECT_TRUE(b.Editing());
    EXPECT_EQ(2, b.Active().col);
    EXPECT_EQ(3, b.Active().row);
    char text[32] = {};
    GetWindowTextA(b.EditWindow(), text, sizeof(text));
    EXPECT_STREQ("2000/01/03", text);
    b.Key(VK_ESCAPE);
    EXPECT_FALSE(b.Editing());
    // Not on the locked picture.
    b.Activate(3, 1);
    b.Command(ID_DB_EDIT_RECORD);
    EXPECT_FALSE(b.Editing());
    // Move record pointer: the source's current record is the active row's.
    s.window.Drain(s.db);
    DataSourceDescriptor d = Desc("Pupil");
    int position = -1;
    for (int row : {3, 1, 2}) {
        b.Activate(1, row);
        b.Command(ID_DB_MOVE_POINTER);
        ASSERT_EQ(1, s.Core()->GetRecordPosition(&d, &position));
        EXPECT_EQ(row - 1, position);
    }
    std::vector<DataSourceNotice> notices = s.window.Drain(s.db);
    ASSERT_EQ(3u, notices.size());
    for (const DataSourceNotice& n : notices) EXPECT_EQ(6, n.kind);
    // Without an active cell neither command does anything.
    Browser q(s.Core(), "Joined", 1);
    ASSERT_TRUE(q.w);
    EXPECT_EQ(0, q.Rows());
    EXPECT_EQ(0, q.Active().row);
    DataSourceDescriptor j = Desc("Joined");
    j.isQuery = 1;
    int before = -1, after = -2;
    ASSERT_EQ(1, s.Core()->GetRecordPosition(&j, &before));
    q.Command(ID_DB_MOVE_POINTER);
    q.Command(ID_DB_EDIT_RECORD);
    ASSERT_EQ(1, s.Core()->GetRecordPosition(&j, &after));
    EXPECT_EQ(before, after);
    EXPECT_FALSE(q.Editing());
    EXPECT_TRUE(s.window.Drain(s.db).empty());
}

TEST(BrowserWrites, ThePrintedGridShowsTheActiveCellAndTheLockedColumn) {
    Db s(griddlg::WriteSchool);
    Browser b(s.Core(), "Pupil");
    ASSERT_TRUE(b.w);
    HWND g = b.Grid();
    // The share of a cell's inside (its lines and text aside) in a colour.
    auto share = [&](const gridtest::Image& image, int col, int row, int index) {
        GridCellRect cr = {col, row, {}};
        EXPECT_TRUE(SendMessageA(g, GM_GETCELLRECT, 0, (LPARAM)&cr)) << col << "," << row;
        COLORREF c = (COLORREF)SendMessageA(g, GM_GETCOLOR, index, 0);
        DWORD want = GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
        int in = 0, all = 0;
        for (int y = cr.rect.top + 1; y < cr.rect.bottom - 1 && y < image.height; ++y)
            for (int x = cr.rect.left + 1; x < cr.rect.right - 1 && x < image.width; ++x) {
                ++all;
                in += image.At(x, y) == want;
            }
        return all ? (double)in / all : 0.0;
    };
    struct Look {
        int col, row, index;
    };
    const Look first[] = {
        {1, 1, GCI_ACTIVE}, {3, 1, GCI_LOCKED}, {3, 4, GCI_LOCKED},
        {1, 2, GCI_CELL},   {2, 3, GCI_CELL},
    };
    // The active cell moved by the keys: the colour goes with it.
    const Look moved[] = {
        {2, 3, GCI_ACTIVE},
        {1, 1, GCI_CELL},
        {3, 2, GCI_LOCKED},
    };
    const int kinds[] = {GCI_ACTIVE, GCI_LOCKED, GCI_CELL};
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(SendMessageA(g, GM_GETCOLOR, kinds[i], 0),
                  SendMessageA(g, GM_GETCOLOR, kinds[(i + 1) % 3], 0));
    gridtest::Image image = gridtest::Print(g);
    for (const Look& l : first)
        EXPECT_GT(share(image, l.col, l.row, l.index), 0.6) << l.col << "," << l.row;
    b.Key(VK_DOWN);
    b.Key(VK_DOWN);
    b.Key(VK_RIGHT);
    image = gridtest::Print(g);
    for (const Look& l : moved)
        EXPECT_GT(share(image, l.col, l.row, l.index), 0.6) << l.col << "," << l.row;
}
