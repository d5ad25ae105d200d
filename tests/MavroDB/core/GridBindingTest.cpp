// The grid object bound to a table of the real database library.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "../../Object/framework/ObjectTestUtil.h"
#include "DBTestSite.h"
#include "MvbWriter.h"
#include "TestFiles.h"
#include "aDBModule.h"
#include "aGrdObj.h"

namespace {

struct Bstr {
    explicit Bstr(const wchar_t* text) : b(SysAllocString(text)) {}
    Bstr() : b(nullptr) {}
    ~Bstr() { SysFreeString(b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return b; }
    BSTR* operator&() { return &b; }
    BSTR b;
};

// Items(ID, Name, Note): records 1 to `count`, named "Name <id>".
std::string ItemsFile(const std::string& path, int count) {
    MvbWriter w(path);
    w.Exec("CREATE TABLE Items(ID LONG PRIMARY KEY, Name TEXT(20), Note MEMO)");
    w.Exec("BEGIN");
    for (int i = 1; i <= count; ++i)
        w.Exec("INSERT INTO Items VALUES(" + std::to_string(i) + ", 'Name " + std::to_string(i) +
               "', 'memo')");
    w.Exec("COMMIT");
    return path;
}

// One text of the file read with SQLite itself.
std::string RawText(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string out = "<none>";
    if (sqlite3_open_v2(Utf8OfAnsi(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
            out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

// Mixed: a field of every kind the grid shows, NULLs and extremes among
// the values, a picture field; 40 records.
std::string MixedFile(const std::string& path) {
    MvbWriter w(path);
    w.Exec(
        "CREATE TABLE Mixed(ID LONG PRIMARY KEY, Small SHORT, Tiny BYTE, Flag BIT, Price CURRENCY, "
        "Ratio SINGLE, Score DOUBLE, Born DATETIME, Name TEXT(20), Note MEMO, Pic LONGBINARY)");
    w.Exec("BEGIN");
    for (int i = 1; i <= 40; ++i) {
        const bool empty = i % 7 == 0;
        std::string v = std::to_string(i) + ", ";
        v += empty
                 ? "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL"
                 : std::to_string(i % 2 ? -32768 + i : 32767 - i) + ", " +
                       std::to_string(i * 6 % 256) + ", " + std::to_string(i % 2) + ", " +
                       std::to_string(i * 1.25) + ", " + std::to_string(i / 3.0) + ", " +
                       std::to_string(i * -1234.5678) + ", " + std::to_string(36000 + i * 0.5) +
                       ", '" + (i % 3 ? "Name " + std::to_string(i) : "\xE4\xB8\xAD\xE6\x96\x87") +
                       "', 'note " + std::to_string(i) + "', X'0102'";
        w.Exec("INSERT INTO Mixed VALUES(" + v + ")");
    }
    w.Exec("COMMIT");
    return path;
}

// A source's field names and types, and the text of one field of one
// record read field by field, as the grid reads a record it cannot read
// whole.
struct FieldByField {
    FieldByField(IDBCore* db, const char* source) : db(db) {
        strcpy(d.sourceName, source);
        EXPECT_EQ(S_OK, db->GetDataSourceRecordCount(&d, &records));
        int fields = 0;
        EXPECT_EQ(S_OK, db->GetDataSourceFieldCount(&d, &fields));
        for (int i = 0; i < fields; ++i) {
            DataSourceDescriptor f = d;
            EXPECT_EQ(S_OK, db->GetDataSourceFieldName(&f, i));
            int type = 0;
            EXPECT_EQ(S_OK, db->GetDataSourceFieldType(&f, &type));
            names.push_back(f.fieldName);
            types.push_back(type);
        }
    }
    std::string Text(int position, int field) {
        DataSourceDescriptor f = d;
        strcpy(f.fieldName, names[field].c_str());
        f.position = position;
        VARIANT v;
        VariantInit(&v);
        std::string out;
        if (SUCCEEDED(db->GetDataSourceFieldValue(&f, &v))) {
            char* text = nullptr;
            int flag = 0;
            if (SUCCEEDED(db->VariantToTextBuffer(&v, &text, types[field], &flag)) && text) {
                out = text;
                db->FreeDBBlock(text);
            }
        }
        VariantClear(&v);
        return out;
    }
    IDBCore* db;
    DataSourceDescriptor d = {};
    int records = 0;
    std::vector<std::string> names;
    std::vector<int> types;
};

class GridBindingTest : public ObjectFixture {
protected:
    GridBindingTest() {
        path = ItemsFile(dir.File("items.mvb"), 100);
        core = NewDatabase();
        EXPECT_EQ(S_OK, core->InitDataBase(path.c_str(), "", "", 0, &dbSite, notices.Handle()));
        site.database = core;
        window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        site.view = window;
        site.viewService = &view;
    }
    ~GridBindingTest() override {
        objects.clear();
        site.viewService = nullptr;
        site.view = nullptr;
        DestroyWindow(window);
        core->CloseAllRecordsets();
        site.database = nullptr;
    }
    GridObject* Bound(const wchar_t* source = L"Items") {
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(CreateGridObject(&unknown), S_OK);
        objects.push_back(unknown);
        record.dwTypeId = 0x00020000;
        strcpy(record.szName, "Grid1");
        CComPtr<IObjectBase> base;
        unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        EXPECT_EQ(base->Init(&creation), S_OK);
        GridObject* g = static_cast<GridObject*>(static_cast<IObjectBase*>(base.p));
        g->SetWidth(400);
        g->SetHeight(300);
        g->MoveTo(300, 200);
        Bstr name(source);
        EXPECT_EQ(g->SetDataSource(name), S_OK);
        return g;
    }
    static std::string Text(GridObject* g, LONG row, LONG col) {
        GridCell* c = g->CellAt(row, col);
        return c ? c->text : "<none>";
    }
    // Opens the editor of a cell as a double click does.
    void DoubleClick(GridObject* g, LONG row, LONG col) {
        RECT r = g->CellRect(row, col);
        LRESULT result = 0;
        static_cast<IWndMsgHandler*>(g)->HandleMessage(
            window, nullptr, WM_LBUTTONDBLCLK, 0,
            MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2), &result);
    }
    void Type(GridObject* g, const char* text) {
        ASSERT_NE(g->EditWindow(), nullptr);
        SetWindowTextA(g->EditWindow(), text);
        g->CommitEdit();
    }

    TempFolder dir;
    std::string path;
    FakeSite dbSite;
    NoticeWindow notices;
    CComPtr<IDBCore> core;
    HWND window = nullptr;
    RecordingView view;
};

TEST_F(GridBindingTest, HoldsAWindowOfRecordsAndMovesIt) {
    GridObject* g = Bound();
    LONG v = 0;
    g->get_ObjRows(&v);
    EXPECT_EQ(v, 100);
    g->get_ObjColumns(&v);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(g->HeldRows(), 48);
    EXPECT_EQ(Text(g, 0, 2), "Name");  // the field names head the columns
    EXPECT_EQ(Text(g, 1, 0), "1");     // the record number
    EXPECT_EQ(Text(g, 48, 2), "Name 48");
    EXPECT_EQ(Text(g, 49, 2), "<none>");
    EXPECT_EQ(g->put_ObjRows(10), S_FALSE);
    EXPECT_EQ(g->put_ObjColumns(2), S_FALSE);
    g->put_ObjTopRow(90);
    EXPECT_EQ(g->HeldRows(), 11);
    EXPECT_EQ(Text(g, 90, 1), "90");
    EXPECT_EQ(Text(g, 100, 2), "Name 100");
    g->put_ObjTopRow(80);  // overlaps the held rows
    EXPECT_EQ(g->HeldRows(), 21);
    EXPECT_EQ(Text(g, 80, 2), "Name 80");
    EXPECT_EQ(Text(g, 95, 2), "Name 95");
    // The row under a page y counts records.
    RECT r = g->CellRect(82, 1);
    LONG row = 0;
    g->RowAtY((r.top + r.bottom) / 2, &row);
    EXPECT_EQ(row, 82);
    // Unbinding gives an empty 4 x 4 grid.
    Bstr none(L"");
    g->SetDataSource(none);
    g->get_ObjRows(&v);
    EXPECT_EQ(v, 4);
    EXPECT_EQ(Text(g, 1, 1), "");
    // A source that does not open changes nothing.
    Bstr missing(L"NoSuchTable");
    EXPECT_EQ(g->SetDataSource(missing), E_FAIL);
    LONG bound = 1;
    Bstr name;
    g->GetDataSource(&bound, &name);
    EXPECT_EQ(bound, 0);
}

TEST_F(GridBindingTest, EditsGoToTheFileAndMemoCellsStayClosed) {
    GridObject* g = Bound();
    g->put_ObjCanModify(1);
    g->EnterEdit();
    static_cast<IWndMsgHandler*>(g)->BeginHook(nullptr);
    g->put_ObjTopRow(90);
    DoubleClick(g, 90, 2);
    Type(g, "Changed");
    EXPECT_EQ(Text(g, 90, 2), "Changed");
    EXPECT_EQ(RawText(path, "SELECT Name FROM Items WHERE ID = 90"), "Changed");
    // A MEMO field opens no editor.
    DoubleClick(g, 91, 3);
    EXPECT_EQ(g->EditWindow(), nullptr);
    // An unchanged commit draws nothing.
    DoubleClick(g, 91, 2);
    size_t painted = site.invalidated.size();
    g->CommitEdit();
    EXPECT_EQ(site.invalidated.size(), painted);
    // A value the database refuses (a second record 1) leaves the old text.
    DoubleClick(g, 92, 1);
    Type(g, "1");
    EXPECT_EQ(Text(g, 92, 1), "92");
    EXPECT_EQ(RawText(path, "SELECT COUNT(*) FROM Items WHERE ID = 92"), "1");
}

TEST_F(GridBindingTest, AddsANewRecord) {
    GridObject* g = Bound();
    EXPECT_EQ(g->AddNewRecord(), E_FAIL);  // not modifiable
    g->put_ObjCanModify(1);
    ASSERT_EQ(g->AddNewRecord(), S_OK);
    EXPECT_EQ(g->AddNewRecord(), E_FAIL);  // already adding
    LONG v = 0;
    g->get_ObjRows(&v);
    EXPECT_EQ(v, 101);
    g->get_ObjActiveRow(&v);
    EXPECT_EQ(v, 101);
    EXPECT_EQ(Text(g, 101, 0), "101");
    Bstr id(L"101"), name(L"Added");
    EXPECT_EQ(g->put_ObjCellContent(101, 1, id), S_OK);
    EXPECT_EQ(g->put_ObjCellContent(101, 2, name), S_OK);
    EXPECT_EQ(g->UpdateAddNewRecord(), S_OK);
    EXPECT_EQ(g->UpdateAddNewRecord(), 1);  // nothing pending
    EXPECT_EQ(RawText(path, "SELECT COUNT(*) FROM Items"), "101");
    EXPECT_EQ(RawText(path, "SELECT Name FROM Items WHERE ID = 101"), "Added");
    g->get_ObjRows(&v);
    EXPECT_EQ(v, 101);
}

TEST_F(GridBindingTest, WholeRecordsReadAsFieldByField) {
    const std::string mixed = MixedFile(dir.File("mixed.mvb"));
    CComPtr<IDBCore> db = NewDatabase();
    ASSERT_EQ(S_OK, db->InitDataBase(mixed.c_str(), "", "", 0, &dbSite, notices.Handle()));
    FieldByField one(db, "Mixed");
    ASSERT_EQ(one.records, 40);
    ASSERT_EQ(one.names.size(), 11u);
    CComPtr<IDBRecordTexts> texts;
    ASSERT_EQ(S_OK, db->QueryInterface(__uuidof(IDBRecordTexts), (void**)&texts));
    // The texts themselves, for the whole numbers at least.
    EXPECT_EQ(one.Text(0, 0), "1");
    EXPECT_EQ(one.Text(0, 1), "-32767");
    EXPECT_EQ(one.Text(1, 1), "32765");
    EXPECT_EQ(one.Text(1, 2), "12");
    EXPECT_EQ(one.Text(6, 1), "");  // NULL
    std::vector<const char*> names;
    for (const std::string& n : one.names) names.push_back(n.c_str());
    const int fields = (int)names.size();
    // Runs from the first record, from the middle and past the end.
    struct Run {
        int from, count, read;
    } runs[] = {{0, 40, 40}, {5, 3, 3}, {37, 10, 3}, {40, 2, 0}, {-1, 2, 0}, {10, 0, 0}};
    for (const Run& run : runs) {
        SCOPED_TRACE(testing::Message() << "from " << run.from << " count " << run.count);
        DataSourceDescriptor d = one.d;
        d.position = run.from;
        char* block = nullptr;
        int read = -1;
        ASSERT_EQ(S_OK, texts->GetDataSourceRecordTexts(&d, run.count, names.data(),
                                                        one.types.data(), fields, &block, &read));
        ASSERT_EQ(read, run.read);
        EXPECT_EQ(block == nullptr, read == 0);
        const char* p = block;
        for (int r = 0; r < read; ++r)
            for (int f = 0; f < fields; ++f) {
                EXPECT_EQ(std::string(p), one.Text(run.from + r, f)) << one.names[f];
                p += strlen(p) + 1;
            }
        db->FreeDBBlock(block);
    }
    // A field the source lacks reads nothing; field by field it reads empty.
    DataSourceDescriptor d = one.d;
    const char* missing[] = {"ID", "NoSuchField"};
    char* block = nullptr;
    int read = -1;
    EXPECT_EQ(S_OK,
              texts->GetDataSourceRecordTexts(&d, 5, missing, one.types.data(), 2, &block, &read));
    EXPECT_EQ(read, 0);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(E_INVALIDARG,
              texts->GetDataSourceRecordTexts(&d, 5, nullptr, one.types.data(), 2, &block, &read));
    // A record another program deleted stops the reading before it.
    db->CloseAllRecordsets();
    FieldByField reopened(db, "Mixed");
    sqlite3* raw = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(Utf8OfAnsi(mixed).c_str(), &raw));
    EXPECT_EQ(SQLITE_OK,
              sqlite3_exec(raw, "DELETE FROM Mixed WHERE ID = 4", nullptr, nullptr, nullptr));
    sqlite3_close(raw);
    d = reopened.d;
    EXPECT_EQ(S_OK, texts->GetDataSourceRecordTexts(&d, 10, names.data(), one.types.data(), fields,
                                                    &block, &read));
    EXPECT_EQ(read, 3);
    db->FreeDBBlock(block);
    db->CloseAllRecordsets();
}

TEST_F(GridBindingTest, ABoundGridShowsTheFieldByFieldTexts) {
    const std::string mixed = MixedFile(dir.File("mixed.mvb"));
    CComPtr<IDBCore> db = NewDatabase();
    ASSERT_EQ(S_OK, db->InitDataBase(mixed.c_str(), "", "", 0, &dbSite, notices.Handle()));
    site.database = db;
    GridObject* g = Bound(L"Mixed");
    FieldByField one(db, "Mixed");
    LONG columns = 0;
    g->get_ObjColumns(&columns);
    ASSERT_EQ(columns, 11);
    // The first window, windows apart and windows overlapping the last.
    for (LONG top : {1L, 30L, 20L, 25L, 1L, 40L}) {
        SCOPED_TRACE(testing::Message() << "top " << top);
        g->put_ObjTopRow(top);
        ASSERT_EQ(g->HeldRows(), std::min(48L, 41 - top));
        for (LONG row = top; row < top + g->HeldRows(); ++row) {
            EXPECT_EQ(Text(g, row, 0), std::to_string(row));
            for (LONG col = 1; col <= columns; ++col)
                EXPECT_EQ(Text(g, row, col), one.Text(row - 1, col - 1)) << row << "," << col;
        }
    }
    objects.clear();
    site.database = core;
    db->CloseAllRecordsets();
}

}  // namespace
