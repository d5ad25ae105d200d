#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DBGridFixture.h"

using gridtest::GridHost;

TEST(DBGrid, CellTypesRefuseWhatTheyCannotHold) {
    GridHost h(3, 2);
    GridCellType byteType;
    byteType.kind = GCT_INTEGER;
    byteType.minValue = 0;
    byteType.maxValue = 255;
    GridCellType text255;
    text255.kind = GCT_TEXT;
    text255.maxLength = 255;
    GridCellType money;
    money.kind = GCT_FLOAT;
    money.intDigits = 10;
    money.decDigits = 2;
    money.minValue = -2e9;
    money.maxValue = 1999999999;
    GridCellType date;
    date.kind = GCT_DATE;
    GridCellType check;
    check.kind = GCT_CHECK;
    check.text = "yes/no";
    GridCellType list;
    list.kind = GCT_LIST;
    list.text = "up\tdown\tnone";
    struct {
        const GridCellType* type;
        std::string in;
        bool accepted;
        std::string stored;  // what the cell reads after a refusal too
    } cases[] = {
        {&byteType, "255", true, "255"},
        {&byteType, "256", false, "7"},
        {&byteType, "-1", false, "7"},
        {&byteType, "12a", false, "7"},
        {&byteType, "", true, ""},
        {&text255, std::string(255, 'x'), true, std::string(255, 'x')},
        {&text255, std::string(256, 'x'), false, "7"},
        {&money, "3.14159", true, "3.14"},
        {&money, "2000000000", false, "7.00"},
        {&money, "12345678901", false, "7.00"},
        {&money, "1.2.3", false, "7.00"},
        {&date, "2000/2/29", true, "2000/02/29"},
        {&date, "2001-05-04 00:00:00", true, "2001/05/04"},
        {&date, "2001/2/29", false, ""},
        {&date, "2001/13/1", false, ""},
        {&date, "99/1/1", false, ""},
        {&date, "2001/1", false, ""},
        {&check, "1", true, "1"},
        {&check, "2", false, "0"},
        {&list, "down", true, "down"},
        {&list, "sideways", false, "up"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in.substr(0, 20));
        GridSetType st = {1, 1, c.type};
        SendMessageA(h.grid, GM_SETTYPE, 0, (LPARAM)&st);
        // A value the type holds first, then the case's.
        const char* before = c.type == &date    ? ""
                             : c.type == &check ? "0"
                             : c.type == &list  ? "up"
                                                : "7";
        ASSERT_TRUE(h.SetText(1, 1, before));
        EXPECT_EQ(c.accepted, h.SetText(1, 1, c.in));
        EXPECT_EQ(c.stored, h.Text(1, 1));
    }
    GridCellRef ref = {1, 1};
    GridCellType read;
    EXPECT_EQ(GCT_LIST, SendMessageA(h.grid, GM_GETTYPE, (WPARAM)&ref, (LPARAM)&read));
    EXPECT_EQ(list.text, read.text);
    // Other cells keep the grid's default: any text.
    EXPECT_TRUE(h.SetText(2, 1, std::string(300, 'y')));
    // A column type reaches every row; a text it cannot hold is cleared.
    ASSERT_TRUE(h.SetText(2, 2, "abc"));
    GridSetType column = {2, -1, &byteType};
    SendMessageA(h.grid, GM_SETTYPE, 0, (LPARAM)&column);
    EXPECT_EQ("", h.Text(2, 2));
    EXPECT_EQ(GCT_INTEGER, h.Type(2, 2));
    EXPECT_EQ(GCT_EDIT, h.Type(3, 2));
    GridNumber n = {1, 1, 0, 0};
    ASSERT_TRUE(h.SetText(2, 1, "200"));
    n.col = 2;
    EXPECT_TRUE(SendMessageA(h.grid, GM_GETVALUE, 0, (LPARAM)&n));
    EXPECT_EQ(200, n.longValue);
    n.col = 3;
    EXPECT_FALSE(SendMessageA(h.grid, GM_GETVALUE, 0, (LPARAM)&n));
}

TEST(DBGrid, HeadersCountsAndLocks) {
    GridHost h(2, 3);
    EXPECT_EQ(3, SendMessageA(h.grid, GM_GETMAXROWS, 0, 0));
    EXPECT_EQ(2, SendMessageA(h.grid, GM_GETMAXCOLS, 0, 0));
    EXPECT_EQ("2", h.Text(0, 2));  // row numbers
    ASSERT_TRUE(h.SetText(1, 0, "Name"));
    EXPECT_EQ("Name", h.Text(1, 0));
    EXPECT_FALSE(h.SetText(3, 1, "beyond"));
    EXPECT_FALSE(h.SetText(1, 4, "beyond"));

    struct {
        int col, row;
        bool lock;
    } steps[] = {{-1, -1, true}, {2, -1, false}, {1, 2, false}};
    for (const auto& s : steps) {
        GridCellRef ref = {s.col, s.row};
        SendMessageA(h.grid, GM_SETLOCK, s.lock, (LPARAM)&ref);
    }
    // All locked, then column 2 and cell (1, 2) opened again.
    bool expect[4][3] = {{}, {true, false, true}, {false, false, false}};
    for (int c = 1; c <= 2; ++c)
        for (int r = 1; r <= 3; ++r) {
            GridCellRef ref = {c, r};
            EXPECT_EQ(expect[c][r - 1], SendMessageA(h.grid, GM_GETLOCK, 0, (LPARAM)&ref) != 0)
                << c << "," << r;
        }

    // Deleting rows moves the later ones up; deleting a column moves the
    // later columns left with their headers.
    for (int r = 1; r <= 3; ++r) h.SetText(1, r, "r" + std::to_string(r));
    h.SetText(2, 0, "Second");
    h.SetText(2, 3, "kept");
    EXPECT_EQ(1, SendMessageA(h.grid, GM_DELETEROWS, 2, 1));
    EXPECT_EQ(2, SendMessageA(h.grid, GM_GETMAXROWS, 0, 0));
    EXPECT_EQ("r3", h.Text(1, 2));
    EXPECT_TRUE(SendMessageA(h.grid, GM_GETCHANGED, 0, 0));
    SendMessageA(h.grid, GM_DELETECOL, 1, 0);
    EXPECT_EQ(1, SendMessageA(h.grid, GM_GETMAXCOLS, 0, 0));
    EXPECT_EQ("Second", h.Text(1, 0));
    EXPECT_EQ("kept", h.Text(1, 2));
}

TEST(DBGrid, TypingEditsTheActiveCellAndTellsTheOwner) {
    GridHost h(3, 4);
    GridCellType byteType;
    byteType.kind = GCT_INTEGER;
    byteType.maxValue = 255;
    GridSetType st = {2, -1, &byteType};
    SendMessageA(h.grid, GM_SETTYPE, 0, (LPARAM)&st);
    GridCellRef locked = {3, -1};
    SendMessageA(h.grid, GM_SETLOCK, 1, (LPARAM)&locked);
    SendMessageA(h.grid, GM_SETACTIVECELL, 1, 1);

    h.Type("Ann");
    EXPECT_TRUE(SendMessageA(h.grid, GM_GETEDITMODE, 0, 0));
    h.Key(VK_RETURN);
    EXPECT_EQ("Ann", h.Text(1, 1));
    ASSERT_EQ(2u, h.notes.size());
    EXPECT_EQ(gridtest::Note(GN_EDITQUERY, 1, 1, 1), h.notes[0]);  // allowed
    EXPECT_EQ(gridtest::Note(GN_CELLCHANGED, 1, 1), h.notes[1]);
    EXPECT_TRUE(SendMessageA(h.grid, GM_GETCHANGED, 0, 0));

    // Moving reports the cell left and the one taken.
    h.notes.clear();
    h.Key(VK_RIGHT);
    ASSERT_EQ(2u, h.notes.size());
    EXPECT_EQ(gridtest::Note(GN_KEYDOWN, 1, 1, VK_RIGHT), h.notes[0]);
    EXPECT_EQ(gridtest::Note(GN_LEAVECELL, 1, 1, 2, 1), h.notes[1]);
    EXPECT_EQ(2, h.Active().col);

    // A Byte cell takes no letters while typing and refuses 256.
    h.notes.clear();
    h.Type("2x56");
    h.Key(VK_RETURN);
    EXPECT_EQ("", h.Text(2, 1));
    EXPECT_EQ(0, h.Count(GN_CELLCHANGED));
    h.Type("255");
    h.Key(VK_RETURN);
    EXPECT_EQ("255", h.Text(2, 1));

    // A locked cell asks with "not allowed" and opens no edit; the owner can
    // refuse an unlocked one too.
    h.Click(3, 1);
    h.notes.clear();
    h.Type("z");
    ASSERT_EQ(1u, h.notes.size());
    EXPECT_EQ(gridtest::Note(GN_EDITQUERY, 3, 1, 0), h.notes[0]);  // not allowed
    EXPECT_FALSE(SendMessageA(h.grid, GM_GETEDITMODE, 0, 0));
    h.refuseEdit = true;
    h.Click(1, 2);
    h.Type("q");
    EXPECT_FALSE(SendMessageA(h.grid, GM_GETEDITMODE, 0, 0));
    h.refuseEdit = false;

    // An owner that cancels the move keeps the cell; one that sets another
    // active cell while it is asked wins.
    h.cancelLeave = true;
    h.Key(VK_DOWN);
    EXPECT_EQ(2, h.Active().row);
    h.cancelLeave = false;
    h.redirectLeave = GridCellRef{2, 4};
    h.Key(VK_DOWN);
    EXPECT_EQ(2, h.Active().col);
    EXPECT_EQ(4, h.Active().row);
    h.redirectLeave = GridCellRef{0, 0};

    // Escape drops an edit.
    h.Click(1, 1);
    h.Type("Bob");
    h.Key(VK_ESCAPE);
    EXPECT_EQ("Ann", h.Text(1, 1));
}

TEST(DBGrid, CheckBoxesListsAndDoubleClicks) {
    GridHost h(2, 2);
    GridCellType check;
    check.kind = GCT_CHECK;
    check.text = "on";
    GridCellType list;
    list.kind = GCT_LIST;
    list.text = "up\tdown";
    GridSetType a = {1, -1, &check}, b = {2, -1, &list};
    SendMessageA(h.grid, GM_SETTYPE, 0, (LPARAM)&a);
    SendMessageA(h.grid, GM_SETTYPE, 0, (LPARAM)&b);

    // A click on the box checks it; Space turns it back.
    h.ClickAt(1, 1, 6);
    EXPECT_EQ("1", h.Text(1, 1));
    EXPECT_EQ(1, h.Count(GN_CELLCHANGED));
    h.Key(VK_SPACE);
    EXPECT_EQ("0", h.Text(1, 1));

    // A list cell opens its list; the choice ends the edit.
    h.Click(2, 1);
    HWND combo = (HWND)SendMessageA(h.grid, GM_GETEDITWINDOW, 0, 0);
    ASSERT_TRUE(combo != nullptr);
    EXPECT_EQ(2, SendMessageA(combo, CB_GETCOUNT, 0, 0));
    SendMessageA(combo, CB_SETCURSEL, 1, 0);
    SendMessageA(combo, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ("down", h.Text(2, 1));
    EXPECT_EQ(nullptr, (HWND)SendMessageA(h.grid, GM_GETEDITWINDOW, 0, 0));

    // A double click on a data cell reports it; an owner that answers it
    // opens no edit.
    h.notes.clear();
    h.handleActivate = true;
    h.DoubleClick(2, 2);
    EXPECT_EQ(1, h.Count(GN_CELLACTIVATED));
    EXPECT_EQ(gridtest::Note(GN_CELLACTIVATED, 2, 2), h.Find(GN_CELLACTIVATED));
    EXPECT_FALSE(SendMessageA(h.grid, GM_GETEDITMODE, 0, 0));
}

TEST(DBGrid, HeadersSelectWholeRowsAndColumnsAndDeleteClears) {
    GridHost h(3, 4);
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 3; ++c) h.SetText(c, r, "x");
    GridCellRef lockedCell = {2, 3};
    SendMessageA(h.grid, GM_SETLOCK, 1, (LPARAM)&lockedCell);

    h.Click(0, 2);
    h.ShiftClick(0, 3);
    GridRange sel;
    EXPECT_TRUE(SendMessageA(h.grid, GM_GETSELECTION, 0, (LPARAM)&sel));
    EXPECT_EQ((std::vector<int>{-1, 2, -1, 3}),
              (std::vector<int>{sel.col1, sel.row1, sel.col2, sel.row2}));

    // An owner that takes the Delete key gets it with the active cell; the
    // grid then does nothing more.
    SendMessageA(h.grid, GM_SETACTIVECELL, 1, 1);
    SendMessageA(h.grid, GM_SETSELECTION, 0, (LPARAM)&sel);
    h.handleKeys = true;
    h.notes.clear();
    h.Key(VK_DELETE);
    EXPECT_EQ(gridtest::Note(GN_KEYDOWN, 1, 1, VK_DELETE), h.notes.at(0));
    EXPECT_EQ("x", h.Text(1, 2));
    // Otherwise Delete clears the unlocked cells of the selection.
    h.handleKeys = false;
    h.notes.clear();
    h.Key(VK_DELETE);
    EXPECT_EQ(5, h.Count(GN_CELLCHANGED));
    for (int c = 1; c <= 3; ++c) {
        EXPECT_EQ("", h.Text(c, 2));
        EXPECT_EQ(c == 2 ? "x" : "", h.Text(c, 3));
        EXPECT_EQ("x", h.Text(c, 4));
    }

    h.Click(2, 0);
    EXPECT_TRUE(SendMessageA(h.grid, GM_GETSELECTION, 0, (LPARAM)&sel));
    EXPECT_EQ((std::vector<int>{2, -1, 2, -1}),
              (std::vector<int>{sel.col1, sel.row1, sel.col2, sel.row2}));
    // A cell click drops the selection: the block is the active cell.
    h.Click(3, 4);
    EXPECT_FALSE(SendMessageA(h.grid, GM_GETSELECTION, 0, (LPARAM)&sel));
    EXPECT_EQ((std::vector<int>{3, 4, 3, 4}),
              (std::vector<int>{sel.col1, sel.row1, sel.col2, sel.row2}));
}

TEST(DBGrid, VirtualModeKeepsOnlyTheRowsShown) {
    GridHost h(4, 0);
    h.fillRows = true;
    SendMessageA(h.grid, GM_SETREDRAW, 0, 0);
    SendMessageA(h.grid, GM_SETVIRTUAL, 1, 0);
    SendMessageA(h.grid, GM_SETMAXROWS, 100000, 0);
    EXPECT_TRUE(h.requests.empty());  // nothing is asked while redraw is off
    SendMessageA(h.grid, GM_SETREDRAW, 1, 0);
    ASSERT_EQ(1u, h.requests.size());
    const int shown = h.requests[0].rowsNeeded;
    EXPECT_EQ(1, h.requests[0].row);
    EXPECT_GT(shown, 3);
    EXPECT_LT(shown, 40);
    EXPECT_EQ("row 2 col 3", h.Text(3, 2));

    // A jump to the end asks for the rows then shown, and drops the others.
    h.requests.clear();
    h.cellsFilled = 0;
    SendMessageA(h.grid, GM_SETTOPROW, 100000, 0);
    int top = (int)SendMessageA(h.grid, GM_GETTOPROW, 0, 0);
    EXPECT_GT(top, 100000 - shown);
    ASSERT_EQ(1u, h.requests.size());
    EXPECT_EQ(top, h.requests[0].row);
    EXPECT_EQ(100000, h.requests[0].row + h.requests[0].rowsNeeded - 1);
    EXPECT_LE(h.cellsFilled, 2 * shown * 4);
    EXPECT_FALSE(SendMessageA(h.grid, GM_ISROWKEPT, 2, 0));
    EXPECT_EQ("", h.Text(3, 2));
    EXPECT_EQ("row 100000 col 1", h.Text(1, 100000));

    // Printing asks for nothing more; rows the owner left unfilled are asked
    // for again.
    h.requests.clear();
    gridtest::Print(h.grid);
    EXPECT_TRUE(h.requests.empty());
    h.fillLimit = 2;
    SendMessageA(h.grid, GM_SETTOPROW, 500, 0);
    ASSERT_EQ(1u, h.requests.size());
    EXPECT_TRUE(SendMessageA(h.grid, GM_ISROWKEPT, 501, 0));
    EXPECT_FALSE(SendMessageA(h.grid, GM_ISROWKEPT, 502, 0));
    h.fillLimit = -1;
    gridtest::Print(h.grid);
    ASSERT_EQ(2u, h.requests.size());
    EXPECT_EQ(502, h.requests[1].row);
    EXPECT_EQ("row 502 col 1", h.Text(1, 502));

    // A fresh count reloads every row.
    h.requests.clear();
    SendMessageA(h.grid, GM_SETMAXROWS, 0, 0);
    SendMessageA(h.grid, GM_SETMAXROWS, 3, 0);
    ASSERT_EQ(1u, h.requests.size());
    EXPECT_EQ(1, h.requests[0].row);
    EXPECT_EQ(3, h.requests[0].rowsNeeded);
}

TEST(DBGrid, PaintsTheSameThroughPaintAndPrintClient) {
    GridHost h(4, 6);
    for (int r = 1; r <= 6; ++r)
        for (int c = 1; c <= 4; ++c) h.SetText(c, r, std::to_string(r * 10 + c));
    GridCellRef lockedCol = {3, -1};
    SendMessageA(h.grid, GM_SETLOCK, 1, (LPARAM)&lockedCol);
    SendMessageA(h.grid, GM_SETCOLOR, GCI_ACTIVE, RGB(0, 200, 0));
    SendMessageA(h.grid, GM_SETCOLOR, GCI_LOCKED, RGB(200, 0, 200));
    SendMessageA(h.grid, GM_SETCOLOR, GCI_BACKGROUND, RGB(10, 20, 30));
    SendMessageA(h.grid, GM_SETACTIVECELL, 2, 2);
    EXPECT_EQ(RGB(0, 200, 0), (COLORREF)SendMessageA(h.grid, GM_GETCOLOR, GCI_ACTIVE, 0));

    gridtest::Image printed = gridtest::Print(h.grid);
    // A point near the right edge of a cell, clear of its text.
    auto inside = [&](int col, int row) {
        GridCellRect cr = {col, row, {}};
        EXPECT_TRUE(SendMessageA(h.grid, GM_GETCELLRECT, 0, (LPARAM)&cr));
        return POINT{cr.rect.right - 3, cr.rect.bottom - 3};
    };
    POINT a = inside(2, 2), l = inside(3, 4), p = inside(1, 4);
    EXPECT_EQ(0x00C800u, printed.At(a.x, a.y));
    EXPECT_EQ(0xC800C8u, printed.At(l.x, l.y));
    EXPECT_EQ(0xFFFFFFu, printed.At(p.x, p.y));
    EXPECT_EQ(0x0A141Eu, printed.At(printed.width - 2, printed.height - 2));
    // The row-number column hidden: column 1 starts at the left edge.
    SendMessageA(h.grid, GM_SETCOLWIDTH, 0, 0);
    GridCellRect first = {1, 1, {}};
    SendMessageA(h.grid, GM_GETCELLRECT, 0, (LPARAM)&first);
    EXPECT_EQ(0, first.rect.left);
    SendMessageA(h.grid, GM_SETCOLWIDTH, 0, 5);

    // What WM_PAINT puts on the screen is what WM_PRINTCLIENT printed.
    printed = gridtest::Print(h.grid);
    gridtest::Image painted = gridtest::Painted(h.grid);
    ASSERT_EQ(printed.pixels.size(), painted.pixels.size());
    size_t differ = 0;
    for (size_t i = 0; i < printed.pixels.size(); ++i)
        differ += (printed.pixels[i] & 0xFFFFFF) != (painted.pixels[i] & 0xFFFFFF);
    EXPECT_EQ(0u, differ);
}
