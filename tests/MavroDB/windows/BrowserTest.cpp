// The browser on a real core over the written school database: the test
// types into the grid as the user would, moves with the grid's keys and
// reads the records back through the core.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "BrowserFixture.h"
#include "GridDialogFixture.h"
#include "PreviewFixture.h"
#include "aDBResource.h"
#include "aDBrowser.h"
#include "WrittenDatabase.h"

using griddlg::School;

namespace {

std::string Stored(School& s, const char* field, int position) {
    DataSourceDescriptor d = Desc("Pupil", field, position);
    VARIANT v;
    VariantInit(&v);
    std::string text;
    if (s.Core()->GetFieldValue(&d, &v) == 1)
        CDBCore::VariantText(&v, V_VT(&v) == VT_DATE ? 8 : 10, &text, nullptr);
    VariantClear(&v);
    return text;
}

int Records(School& s, const char* source = "Pupil", int isQuery = 0) {
    DataSourceDescriptor d = Desc(source);
    d.isQuery = isQuery;
    int count = -1;
    s.Core()->GetRecordCount(&d, &count);
    return count;
}

std::vector<int> Kinds(const std::vector<DataSourceNotice>& notices) {
    std::vector<int> kinds;
    for (const DataSourceNotice& n : notices) kinds.push_back(n.kind);
    return kinds;
}

}  // namespace

TEST(Browser, ShowsPupilWithTypedColumnsAndABlankRow) {
    School s;
    Browser b(s.Core(), "Pupil");
    ASSERT_TRUE(b.w);
    HWND g = b.Grid();
    EXPECT_EQ(4, b.Rows());
    EXPECT_EQ(4, dbgrid::Cols(g));
    EXPECT_EQ(s.Core()->FindTableByName("Pupil")->browser, b.w);
    // Headers, then the three pupils and the blank row for a new one.
    const char* headers[] = {"Name", "Born", "Photo", "Active"};
    for (int c = 1; c <= 4; ++c) EXPECT_EQ(headers[c - 1], b.Cell(c, 0));
    EXPECT_EQ("Ann", b.Cell(1, 1));
    EXPECT_EQ("Cid", b.Cell(1, 3));
    EXPECT_EQ("2000/01/02", b.Cell(2, 2));
    EXPECT_EQ("1", b.Cell(4, 1));
    EXPECT_EQ("0", b.Cell(4, 2));
    for (int c = 1; c <= 4; ++c) EXPECT_EQ("", b.Cell(c, 4)) << c;
    // Born a date, Photo locked, Active a check box; Name unlocked text.
    EXPECT_EQ(GCT_DATE, dbgrid::Type(g, 2, 1).kind);
    EXPECT_TRUE(dbgrid::Locked(g, 3, 2));
    EXPECT_FALSE(dbgrid::Locked(g, 1, 2));
    GridCellType check = dbgrid::Type(g, 4, 1);
    EXPECT_EQ(GCT_CHECK, check.kind);
    EXPECT_EQ("\xD5\xE6/\xBC\xD9", check.text);  // "真/假" in the database's code page
    GridCellType name = dbgrid::Type(g, 1, 1);
    EXPECT_EQ(GCT_TEXT, name.kind);
    EXPECT_EQ(255, name.maxLength);
    EXPECT_EQ(1, b.Active().col);
    EXPECT_EQ(1, b.Active().row);
    // The types refuse what they cannot hold; Class's Size is a Byte.
    Browser c(s.Core(), "Class");
    ASSERT_TRUE(c.w);
    EXPECT_EQ(1, c.Rows());  // empty: only the blank row
    EXPECT_FALSE(dbgrid::SetText(c.Grid(), 3, 1, "256"));
    EXPECT_TRUE(dbgrid::SetText(c.Grid(), 3, 1, "255"));
    EXPECT_TRUE(dbgrid::Locked(c.Grid(), 4, 1));  // memo
}

TEST(Browser, WritesARowOnceWhenTheRowIsLeft) {
    School s;
    Browser b(s.Core(), "Pupil");
    ASSERT_TRUE(b.w);
    s.window.Drain(s.db);
    b.Activate(1, 2);
    b.Edit(1, 2, "Bea");
    b.Edit(2, 2, "2001/02/03");
    b.Edit(1, 2, "Bee");  // one pending value per field
    // Moving within the row writes nothing.
    b.Key(VK_RIGHT);
    EXPECT_EQ(2, b.Active().col);
    EXPECT_TRUE(s.window.Drain(s.db).empty());
    EXPECT_EQ("Bob", Stored(s, "Name", 1));
    // Leaving it writes both fields in one update: one kind-3 notice.
    b.Key(VK_DOWN);
    EXPECT_EQ(3, b.Active().row);
    EXPECT_EQ(std::vector<int>{3}, Kinds(s.window.Drain(s.db)));
    EXPECT_EQ("Bee", Stored(s, "Name", 1));
    EXPECT_EQ("2001/02/03", Stored(s, "Born", 1));
    // Nothing left pending: leaving again writes nothing.
    b.Key(VK_UP);
    EXPECT_TRUE(s.window.Drain(s.db).empty());
}

TEST(Browser, AddsARecordFromTheBlankRowAndDeletesSelectedRows) {
    School s;
    Browser b(s.Core(), "Pupil");
    ASSERT_TRUE(b.w);
    s.window.Drain(s.db);
    b.Activate(1, 4);
    b.Edit(1, 4, "Dan");
    EXPECT_EQ(5, b.Rows());  // a new blank row follows the one being added
    b.Key(VK_DOWN);
    EXPECT_EQ(4, Records(s));
    EXPECT_EQ(5, b.Rows());
    EXPECT_EQ("Dan", Stored(s, "Name", 3));
    EXPECT_EQ(std::vector<int>{2}, Kinds(s.window.Drain(s.db)));
    // Rows 1-2 selected and deleted.
    GridRange rows = {-1, 1, -1, 2};
    SendMessageA(b.Grid(), GM_SETSELECTION, 0, (LPARAM)&rows);
    b.Key(VK_DELETE);
    EXPECT_EQ(2, Records(s));
    EXPECT_EQ(3, b.Rows());
    EXPECT_EQ("Cid", b.Cell(1, 1));
    EXPECT_EQ("Dan", b.Cell(1, 2));
    // The blank row alone deletes nothing, by the toolbar's command too.
    GridRange blank = {-1, 3, -1, 3};
    SendMessageA(b.Grid(), GM_SETSELECTION, 0, (LPARAM)&blank);
    SendMessageA(b.w, WM_COMMAND, ID_DB_DELETE_RECORDS, 0);
    EXPECT_EQ(2, Records(s));
    EXPECT_EQ(3, b.Rows());
}

TEST(Browser, JoinQueryIsReadOnly) {
    TempFolder dir;
    std::string path = dir.File("join.mvb");
    {
        MvbWriter w(path);
        griddlg::WriteSchool(w);
        w.Exec("INSERT INTO Member VALUES(1, 'Ann'), (2, 'Bob')");
        w.Query("Joined",
                "SELECT Pupil.Name, Member.ClassID FROM Pupil INNER JOIN Member ON "
                "Pupil.Name = Member.Who");
    }
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    ASSERT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
    CComPtr<IMDBase> m;
    db->QueryInterface(__uuidof(IMDBase), (void**)&m);
    CDBCore* core = static_cast<CMavroBase*>(m.p)->Core();
    auto* b = new DatabaseBrowserDialog(core);
    b->m_name = "Joined";
    b->m_isQuery = 1;
    HWND w = b->Create(nullptr);
    ASSERT_TRUE(w);
    HWND g = BrowserGrid(w);
    EXPECT_EQ(2, dbgrid::Rows(g));  // no blank row
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 2; ++c) EXPECT_TRUE(dbgrid::Locked(g, c, r)) << c << "," << r;
    EXPECT_EQ("Ann", dbgrid::Text(g, 1, 1));
    DestroyWindow(w);
}

TEST(Browser, ClosingTheEntryWritesThePendingRowFirst) {
    School s;
    Browser b(s.Core(), "Pupil");
    ASSERT_TRUE(b.w);
    b.Edit(1, 1, "Amy");
    DataSourceEntry* entry = s.Core()->FindTableByName("Pupil");
    s.Core()->CloseEntry(entry);
    EXPECT_FALSE(IsWindow(b.w));
    EXPECT_EQ(nullptr, entry->browser);
    EXPECT_EQ("Amy", Stored(s, "Name", 0));
}

TEST(Browser, RefreshRebuildsFromAFreshCount) {
    School s;
    Browser b(s.Core(), "Pupil");
    ASSERT_TRUE(b.w);
    // Another connection deletes Cid while the browser shows him: reading
    // his row again rebuilds the grid from the new count.
    {
        auto other = CdbDatabase::Open(s.path, false, false, "");
        auto rs = other->OpenTable("Pupil");
        rs->SetAbsolutePosition(2);
        rs->Delete();
    }
    SendMessageA(b.Grid(), GM_SETMAXROWS, 0, 0);
    SendMessageA(b.Grid(), GM_SETMAXROWS, 4, 0);
    b.Activate(1, 1);
    Pump();
    EXPECT_EQ(3, b.Rows());
    EXPECT_EQ("Bob", b.Cell(1, 2));
    EXPECT_EQ("", b.Cell(1, 3));
    // The browser's own request makes (col, row - 1) active; rows beyond the
    // count are blank.
    EXPECT_TRUE(PostBrowserRefresh(b.w, 1, 2, 3));
    Pump();
    EXPECT_EQ(2, b.Active().col);
    EXPECT_EQ(2, b.Active().row);
    EXPECT_EQ(3, b.Rows());
    // A post that cannot be delivered frees its record at once.
    HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    EXPECT_FALSE(PostBrowserRefresh(gone, 2, 1, 1));
}

TEST(Browser, MediaCellTextReadsNamesWithinTheArray) {
    struct Case {
        std::vector<unsigned char> bytes;  // the value's array
        int linkFlag;
        const char* text;
    };
    const std::string error = DBLoadString(IDS_DB_DATA_ERROR);
    const Case cases[] = {
        // Linked: the name from byte 0, zero-terminated.
        {{'a', '.', 'b', 'm', 'p', 0, 'x'}, 1, "a.bmp"},
        // Embedded: 32-bit length, then the path.
        {{3, 0, 0, 0, 'c', ':', '\\', 0}, 0, "c:\\"},
        // The name runs to the array's end: no terminator inside it.
        {{'a', 'b', 'c'}, 1, nullptr},
        {{3, 0, 0, 0, 'x', 'y'}, 0, nullptr},
        // Shorter than the length field.
        {{3, 0}, 0, nullptr},
        {{}, 1, nullptr},
    };
    for (const Case& c : cases) {
        VARIANT v;
        VariantInit(&v);
        SAFEARRAYBOUND bound = {(ULONG)c.bytes.size(), 0};
        V_VT(&v) = VT_ARRAY | VT_UI1;
        V_ARRAY(&v) = SafeArrayCreate(VT_UI1, 1, &bound);
        if (!c.bytes.empty()) {
            void* data = nullptr;
            SafeArrayAccessData(V_ARRAY(&v), &data);
            memcpy(data, c.bytes.data(), c.bytes.size());
            SafeArrayUnaccessData(V_ARRAY(&v));
        }
        EXPECT_EQ(c.text ? std::string(c.text) : error, MediaCellText(&v, c.linkFlag));
        VariantClear(&v);
    }
    VARIANT empty;
    VariantInit(&empty);
    EXPECT_EQ("", MediaCellText(&empty, 0));
    V_VT(&empty) = VT_NULL;
    EXPECT_EQ("", MediaCellText(&empty, 1));
    VARIANT number;
    V_VT(&number) = VT_I4;
    V_I4(&number) = 5;
    EXPECT_EQ(error, MediaCellText(&number, 0));
}

namespace {

// A media manager that chooses one path and records what it was asked.
class ChoosingMedia : public FakeMedia {
public:
    STDMETHOD(ChooseMedia)(int kindMask, int flags, char* buffer, int size) override {
        asked.push_back({kindMask, flags, size});
        if (path.empty())
            return E_FAIL;
        lstrcpynA(buffer, path.c_str(), size);
        return S_OK;
    }
    struct Ask {
        int mask, flags, size;
    };
    std::vector<Ask> asked;
    std::string path;
};

class ChoosingSite : public FakeSite {
public:
    STDMETHOD(GetMediaManager)(IMediaManager** out) override {
        *out = &chooser;
        return S_OK;
    }
    ChoosingMedia chooser;
};

// The school with a site whose media manager chooses files.
struct MediaSchool : WrittenDatabase<PreviewSite<ChoosingSite>> {
    MediaSchool()
        : WrittenDatabase(
              [](MvbWriter& w) {
                  griddlg::WriteSchool(w);
                  w.Exec("INSERT INTO Class VALUES(1, 'One', 20, NULL)");
              },
              "school.mvb") {}
    HWND Open(const char* table) {
        auto* b = new DatabaseBrowserDialog(Core());
        b->m_name = table;
        HWND w = b->Create(nullptr);
        if (!w)
            delete b;
        else
            Core()->FindTableByName(table)->browser = w;
        return w;
    }
};

void DoubleClick(HWND browser, int col, int row) {
    GridCellRef ref = {col, row};
    SendMessageA(browser, GN_CELLACTIVATED, IDC_DB_BROWSE_GRID, (LPARAM)&ref);
}

}  // namespace

TEST(Browser, ImportsAPictureIntoTheRowAndWritesItOnLeaving) {
    MediaSchool s;
    std::string file = s.dir.File("pic.bmp");
    {
        std::string bytes(600, 'P');
        FILE* f = fopen(file.c_str(), "wb");
        ASSERT_TRUE(f);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    s.site.chooser.path = file;
    HWND w = s.Open("Pupil");
    ASSERT_TRUE(w);
    HWND g = BrowserGrid(w);
    s.window.Drain(s.db);
    SendMessageA(g, GM_SETACTIVECELL, 3, 2);
    DoubleClick(w, 3, 2);
    // A picture (mask 2), embedded: a path of at most 260 bytes.
    ASSERT_EQ(1u, s.site.chooser.asked.size());
    EXPECT_EQ(2, s.site.chooser.asked[0].mask);
    EXPECT_EQ(1 + 8, s.site.chooser.asked[0].flags);
    EXPECT_EQ(260, s.site.chooser.asked[0].size);
    EXPECT_EQ(file, dbgrid::Text(g, 3, 2));
    EXPECT_TRUE(s.window.Drain(s.db).empty());
    SendMessageA(g, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(std::vector<int>{3}, Kinds(s.window.Drain(s.db)));
    // Stored: 600, the path, the bytes.
    DataSourceDescriptor d = Desc("Pupil", "Photo", 1);
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(1, s.Core()->GetFieldValue(&d, &v));
    ASSERT_EQ(VT_ARRAY | VT_UI1, V_VT(&v));
    ASSERT_EQ(864u, V_ARRAY(&v)->rgsabound[0].cElements);
    const unsigned char* bytes = (const unsigned char*)V_ARRAY(&v)->pvData;
    EXPECT_EQ(600u, bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (unsigned)bytes[3] << 24);
    EXPECT_EQ(file, std::string((const char*)bytes + 4));
    EXPECT_EQ('P', bytes[263 + 1]);
    EXPECT_EQ(file, MediaCellText(&v, 0));
    VariantClear(&v);
    // The Delete key on the picture cell empties it; the record changes
    // when the row is left.
    SendMessageA(g, GM_SETACTIVECELL, 3, 2);
    SendMessageA(g, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ("", dbgrid::Text(g, 3, 2));
    EXPECT_TRUE(s.window.Drain(s.db).empty());
    SendMessageA(g, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(std::vector<int>{3}, Kinds(s.window.Drain(s.db)));
    VariantInit(&v);
    ASSERT_EQ(1, s.Core()->GetFieldValue(&d, &v));
    EXPECT_EQ(VT_NULL, V_VT(&v));
    VariantClear(&v);
    // Other columns import nothing.
    DoubleClick(w, 1, 1);
    EXPECT_EQ(1u, s.site.chooser.asked.size());
    DestroyWindow(w);
}

TEST(Browser, AMemoImportThatCannotReadItsFileLeavesNothingPending) {
    MediaSchool s;
    griddlg::Driven boxes([](int, HWND) {});
    s.site.chooser.path = s.dir.File("missing.txt");
    HWND w = s.Open("Class");
    ASSERT_TRUE(w);
    HWND g = BrowserGrid(w);
    s.window.Drain(s.db);
    DoubleClick(w, 4, 1);
    ASSERT_EQ(1u, s.site.chooser.asked.size());
    EXPECT_EQ(0x40000000, s.site.chooser.asked[0].mask);
    EXPECT_EQ(std::vector<std::string>{DBLoadString(IDS_DB_IMPORT_MEDIA_FAILED)}, griddlg::Boxes());
    SendMessageA(g, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_TRUE(s.window.Drain(s.db).empty());
    // A readable file becomes the memo's text, line by line.
    std::string file = s.dir.File("note.txt");
    {
        FILE* f = fopen(file.c_str(), "wb");
        ASSERT_TRUE(f);
        fputs("one\ntwo", f);
        fclose(f);
    }
    s.site.chooser.path = file;
    SendMessageA(g, GM_SETACTIVECELL, 4, 1);
    DoubleClick(w, 4, 1);
    EXPECT_EQ(DBLoadString(IDS_DB_MEMO), dbgrid::Text(g, 4, 1));
    SendMessageA(g, WM_KEYDOWN, VK_DOWN, 0);
    DataSourceDescriptor d = Desc("Class", "Note", 0);
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(1, s.Core()->GetFieldValue(&d, &v));
    std::string text;
    CDBCore::VariantText(&v, 12, &text, nullptr);
    EXPECT_EQ("one\r\ntwo\r\n", text);
    VariantClear(&v);
    DestroyWindow(w);
}

namespace {

void WriteBytes(const std::string& path, size_t size, char fill) {
    std::string bytes(size, fill);
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

void TogglePreview(HWND browser) {
    SendMessageA(browser, WM_COMMAND, ID_DB_MEDIA_PREVIEW, 0);
}

bool PreviewChecked(HWND browser) {
    HWND toolbar = GetDlgItem(browser, IDC_DB_BROWSE_TOOLBAR);
    return SendMessageA(toolbar, TB_ISBUTTONCHECKED, ID_DB_MEDIA_PREVIEW, 0) != 0;
}

int GridWidth(HWND browser) {
    RECT r;
    GetWindowRect(BrowserGrid(browser), &r);
    return r.right - r.left;
}

int ClientWidth(HWND browser) {
    RECT r;
    GetClientRect(browser, &r);
    return r.right;
}

// The preview's text pane: the edit control of the pane beside the grid.
HWND PreviewText(HWND browser) {
    HWND splitter = GetDlgItem(browser, IDC_DB_BROWSE_SPLITTER);
    HWND pane = GetDlgItem(splitter, IDC_DB_BROWSE_PREVIEW);
    return pane ? GetDlgItem(pane, PreviewTextEdit::kControlId) : nullptr;
}

// Shown within its parents (the browser itself stays hidden in tests).
bool Shown(HWND w) {
    return (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Type(HWND edit, const char* text) {
    SendMessageA(edit, EM_SETSEL, 0x7FFF, 0x7FFF);
    for (const char* c = text; *c; ++c) SendMessageA(edit, WM_CHAR, (unsigned char)*c, 0);
}

std::string StoredMemo(MediaSchool& s, int position) {
    DataSourceDescriptor d = Desc("Class", "Note", position);
    VARIANT v;
    VariantInit(&v);
    std::string text;
    if (s.Core()->GetFieldValue(&d, &v) == 1)
        CDBCore::VariantText(&v, 12, &text, nullptr);
    VariantClear(&v);
    return text;
}

}  // namespace

TEST(Browser, PreviewShowsImportedPicturesThroughOneObject) {
    MediaSchool s;
    std::string first = s.dir.File("first.bmp"), second = s.dir.File("second.bmp");
    WriteBytes(first, 600, 'P');
    WriteBytes(second, 10, 'Q');
    HWND w = s.Open("Pupil");
    ASSERT_TRUE(w);
    HWND g = BrowserGrid(w);
    int full = GridWidth(w);
    TogglePreview(w);
    // Shown: the grid takes three fifths, the button is down; the active
    // cell is a name, so nothing is made.
    EXPECT_TRUE(PreviewChecked(w));
    EXPECT_EQ((ClientWidth(w) / 5) * 3 - CDBSplitter::kBarWidth, GridWidth(w));
    EXPECT_TRUE(s.site.log.empty());
    SendMessageA(g, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageA(g, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_TRUE(s.site.log.empty());  // row 1 has no photo
    s.site.chooser.path = first;
    DoubleClick(w, 3, 1);
    EXPECT_EQ((std::vector<std::string>{"new", "attach", "kind:2", "data:" + first + ":600"}),
              s.site.log);
    // Row 2's empty photo clears the preview; an import there makes a new
    // object, and going back to row 1 reuses it for the stored picture.
    SendMessageA(g, WM_KEYDOWN, VK_DOWN, 0);
    s.site.chooser.path = second;
    DoubleClick(w, 3, 2);
    SendMessageA(g, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(
        (std::vector<std::string>{"new", "attach", "kind:2", "data:" + first + ":600", "close",
                                  "free", "new", "attach", "kind:2", "data:" + second + ":10",
                                  "kind:2", "data:" + first + ":600"}),
        s.site.log);
    EXPECT_EQ(second, dbgrid::Text(g, 3, 2));
    // Hidden: the object is closed and the grid has the whole width back.
    s.site.log.clear();
    TogglePreview(w);
    EXPECT_FALSE(PreviewChecked(w));
    EXPECT_EQ(full, GridWidth(w));
    EXPECT_EQ((std::vector<std::string>{"close", "free"}), s.site.log);
    DestroyWindow(w);
}

TEST(Browser, MemoTextEditedInThePreviewIsWrittenWithItsRow) {
    MediaSchool s;
    HWND w = s.Open("Class");
    ASSERT_TRUE(w);
    HWND g = BrowserGrid(w);
    s.window.Drain(s.db);
    TogglePreview(w);
    EXPECT_EQ(nullptr, PreviewText(w));
    for (int i = 0; i < 3; ++i) SendMessageA(g, WM_KEYDOWN, VK_RIGHT, 0);
    HWND edit = PreviewText(w);
    ASSERT_TRUE(edit);
    EXPECT_TRUE(Shown(edit));
    // Showing the stored (empty) memo changes nothing: leaving writes nothing.
    SendMessageA(g, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_TRUE(s.window.Drain(s.db).empty());
    SendMessageA(g, WM_KEYDOWN, VK_UP, 0);
    Type(edit, "hello");
    // Leaving the cell marks it and makes the text pending; leaving the row
    // writes it.
    SendMessageA(g, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(DBLoadString(IDS_DB_MEMO), dbgrid::Text(g, 4, 1));
    EXPECT_EQ("", StoredMemo(s, 0));
    EXPECT_FALSE(Shown(edit));  // a title cell shows nothing
    SendMessageA(g, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(std::vector<int>{3}, Kinds(s.window.Drain(s.db)));
    EXPECT_EQ("hello", StoredMemo(s, 0));
    // Hiding the preview keeps a changed text, without touching the cell.
    SendMessageA(g, WM_KEYDOWN, VK_UP, 0);
    SendMessageA(g, WM_KEYDOWN, VK_RIGHT, 0);
    ASSERT_EQ(edit, PreviewText(w));
    EXPECT_EQ("hello", [&] {
        char text[64] = {};
        GetWindowTextA(edit, text, sizeof(text));
        return std::string(text);
    }());
    Type(edit, " world");
    std::string cell = dbgrid::Text(g, 4, 1);
    TogglePreview(w);
    EXPECT_EQ(nullptr, PreviewText(w));
    EXPECT_EQ(cell, dbgrid::Text(g, 4, 1));
    SendMessageA(g, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ("hello world", StoredMemo(s, 0));
    // A text typed when the browser closes is written with its row.
    SendMessageA(g, WM_KEYDOWN, VK_UP, 0);
    TogglePreview(w);
    Type(PreviewText(w), "!");
    DestroyWindow(w);
    EXPECT_EQ("hello world!", StoredMemo(s, 0));
}

TEST(Browser, RefreshTakesThePreviewDown) {
    MediaSchool s;
    HWND w = s.Open("Class");
    ASSERT_TRUE(w);
    int full = GridWidth(w);
    for (int i = 0; i < 3; ++i) SendMessageA(BrowserGrid(w), WM_KEYDOWN, VK_RIGHT, 0);
    TogglePreview(w);
    ASSERT_TRUE(PreviewText(w));
    PostBrowserRefresh(w, 2, 1, 1);
    Pump();
    EXPECT_FALSE(PreviewChecked(w));
    EXPECT_EQ(full, GridWidth(w));
    EXPECT_EQ(nullptr, PreviewText(w));
    // The next click shows it again.
    TogglePreview(w);
    EXPECT_TRUE(PreviewChecked(w));
    EXPECT_TRUE(PreviewText(w));
    DestroyWindow(w);
}
