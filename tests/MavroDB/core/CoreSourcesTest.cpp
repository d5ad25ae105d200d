#include <gtest/gtest.h>

#include <limits.h>

#include <string>
#include <vector>

#include "DBTestSite.h"
#include "StaffDatabase.h"
#include "TestFiles.h"
#include "aDBModule.h"
#include "bMsgBox.h"
#include "WrittenDatabase.h"

namespace {

struct Db : WrittenDatabase<> {
    explicit Db(void (*extra)(MvbWriter&) = nullptr)
        : WrittenDatabase([extra](MvbWriter& w) {
              WriteStaff(w);
              if (extra)
                  extra(w);
          }) {}
};

struct Bstr {
    BSTR b;
    explicit Bstr(const wchar_t* s) : b(SysAllocString(s)) {}
    ~Bstr() { SysFreeString(b); }
    operator BSTR() const { return b; }
};

int Boxes(HWND, const char*, const char*, UINT) {
    return IDOK;
}

class WalkSink : public IDBTableWalkSink {
public:
    STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(OnTableItem)(int code, const char* text) override {
        items.push_back(std::to_string(code) + ":" + text);
        return S_OK;
    }
    std::vector<std::string> items;
};

}  // namespace

TEST(DBCoreSources, SingleFieldWritesKeepToTheRecords) {
    Db d;
    Bstr staff(L"Staff"), salary(L"Salary");
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = 77;
    // One past the last record: code 6, nothing changed.
    EXPECT_EQ(E_FAIL, d.m->UpdateTabRsData(staff, salary, 0, 3, &v));
    DataSourceDescriptor desc = Desc("Staff", "Salary", 3);
    desc.isQuery = 0;
    EXPECT_EQ(6, d.Core()->SetFieldValue(&desc, &v));
    // Relative positions: the current one plus the word, without overflow.
    DataSourceDescriptor ahead = Desc("Staff", "Salary", INT_MAX, 1);
    DataSourceDescriptor move = Desc("Staff", "", 2);
    ASSERT_EQ(S_OK, d.db->MoveDataSource(&move));
    EXPECT_EQ(6, d.Core()->SetFieldValue(&ahead, &v));
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(DB_E_PAST_END, d.db->GetDataSourceFieldValue(&ahead, &out));
    DataSourceDescriptor back = Desc("Staff", "Salary", -1, 1);
    ASSERT_EQ(S_OK, d.db->GetDataSourceFieldValue(&back, &out));
    EXPECT_EQ(2000.0, V_R8(&out));  // the record before the current one
    ASSERT_EQ(S_OK, d.m->UpdateTabRsData(staff, salary, 0, 2, &v));
    VariantClear(&out);
    ASSERT_EQ(S_OK, d.m->GetTableFieldValue(staff, salary, 0, 2, &out));
    EXPECT_EQ(77.0, V_R8(&out));
    // Empty records need an open recordset; the position stays.
    Bstr orders(L"Orders");
    EXPECT_EQ(E_FAIL, d.m->AddTabRsRecord(orders));
    ASSERT_EQ(S_OK, d.m->OpenTableRs(orders));
    ASSERT_EQ(S_OK, d.m->AddTabRsRecord(orders));
    DataSourceDescriptor o = Desc("Orders");
    int count = 0;
    ASSERT_EQ(S_OK, d.db->GetDataSourceRecordCount(&o, &count));
    EXPECT_EQ(4, count);
    // No notices from these writers.
    d.window.Drain(d.db);
    ASSERT_EQ(S_OK, d.m->UpdateTabRsData(staff, salary, 0, 1, &v));
    EXPECT_TRUE(d.window.Drain(d.db).empty());
}

TEST(DBCoreSources, RequeryReexecuteAndClose) {
    Db d;
    DataSourceDescriptor staff = Desc("Staff");
    // Never opened: refused, no notice.
    EXPECT_EQ(E_FAIL, d.db->RequeryDataSource(&staff));
    EXPECT_TRUE(d.window.Drain(d.db).empty());
    int count = 0;
    ASSERT_EQ(S_OK, d.db->GetDataSourceRecordCount(&staff, &count));
    ASSERT_EQ(S_OK, d.db->RequeryDataSource(&staff));
    std::vector<DataSourceNotice> n = d.window.Drain(d.db);
    ASSERT_EQ(1u, n.size());
    EXPECT_EQ(3, n[0].kind);
    EXPECT_EQ(0, n[0].isQuery);
    EXPECT_EQ(0, n[0].objectName[0]);
    DataSourceDescriptor rich = Desc("Rich");
    ASSERT_EQ(S_OK, d.db->ReexecuteQuery(&rich));
    n = d.window.Drain(d.db);
    ASSERT_EQ(1u, n.size());
    EXPECT_EQ(3, n[0].kind);
    EXPECT_EQ(1, n[0].isQuery);
    EXPECT_EQ(S_OK, d.db->ReexecuteQuery(&staff));  // a table: nothing happens
    EXPECT_TRUE(d.window.Drain(d.db).empty());
    // Closing forgets the recordset and the count.
    staff.isQuery = 0;
    EXPECT_EQ(1, d.Core()->CloseDataSource(&staff));
    EXPECT_EQ(E_FAIL, d.db->RequeryDataSource(&staff));
    DataSourceDescriptor none = Desc("None");
    EXPECT_EQ(0, d.Core()->CloseDataSource(&none));
}

TEST(DBCoreSources, ChangeQuerySqlKeepsToQueries) {
    PFNMESSAGEBOXHANDLER old = SetMessageBoxHandler(Boxes);
    Db d;
    CDBCore* core = d.Core();
    std::string sql = core->GetDatabase()->GetQuerySQL("Rich");
    EXPECT_EQ(1, core->ChangeQuerySQL(sql.c_str(), "Rich"));
    struct {
        const char* sql;
        int ok;
    } rows[] = {
        {"UPDATE Staff SET Salary = 0", 0},
        {"DELETE FROM Staff", 0},
        {"INSERT INTO Staff (ID) VALUES (5)", 0},
        {"SELECT * INTO Copy FROM Staff", 0},
        {"CREATE TABLE X (A LONG)", 0},
        {"SELECT Name FROM Staff UNION SELECT Name FROM Staff", 1},
        {"TRANSFORM Sum(Amount) SELECT StaffID FROM Orders GROUP BY StaffID PIVOT OrderID", 1},
        {"SELECT Name FROM Staff WHERE", 0},
    };
    for (const auto& r : rows) {
        std::string before = core->GetDatabase()->GetQuerySQL("Rich");
        EXPECT_EQ(r.ok, core->ChangeQuerySQL(r.sql, "Rich")) << r.sql;
        if (!r.ok) {
            EXPECT_EQ(before, core->GetDatabase()->GetQuerySQL("Rich")) << r.sql;
        }
    }
    SetMessageBoxHandler(old);
}

TEST(DBCoreSources, LinkFlagsThroughTablesAndQueries) {
    PFNMESSAGEBOXHANDLER old = SetMessageBoxHandler(Boxes);
    Db d([](MvbWriter& w) {
        w.Exec("CREATE TABLE Clips(ID LONG, Sound LONGBINARY, Raw LONGBINARY)");
        w.Property("Clips", "Sound", "MediaType", 1027);
        w.Property("Clips", "Sound", "BLINK", 1);
        w.Query("Photos", "SELECT ID, Photo, Name FROM Staff");
        w.Query("RawClips", "SELECT Raw FROM Clips");
    });
    struct {
        const char* source;
        const char* field;
        HRESULT hr;
        int flag;  // after the call, from 99
        int type;
    } rows[] = {
        {"Staff", "Photo", S_OK, 1, 1024},     {"Photos", "Photo", S_OK, 1, 1024},
        {"Photos", "Name", E_FAIL, 0, 10},     {"Clips", "Sound", S_OK, 1, 1027},
        {"Clips", "Raw", E_FAIL, 99, 1030},  // no BLINK: no, flag untouched
        {"RawClips", "Raw", E_FAIL, 99, 1030},
    };
    for (const auto& r : rows) {
        DataSourceDescriptor desc = Desc(r.source, r.field);
        int flag = 99, type = 0;
        EXPECT_EQ(r.hr, d.db->GetDataSourceFieldLinkFlag(&desc, &flag)) << r.source << r.field;
        EXPECT_EQ(r.flag, flag) << r.source << r.field;
        EXPECT_EQ(S_OK, d.db->GetDataSourceFieldType(&desc, &type));
        EXPECT_EQ(r.type, type) << r.source << r.field;
    }
    SetMessageBoxHandler(old);
}

TEST(DBCoreSources, WalkReportsLinkedTablesAndLinkedMedia) {
    TempFolder other;
    std::string otherPath = StaffFile(other.File("o.mvb"));
    static std::string link;
    link = ";DATABASE=" + Utf8OfAnsi(otherPath);
    Db d([](MvbWriter& w) {
        w.Link("People", link, "Staff");
        w.Link("Remote", "ODBC;DSN=x", "T");
        w.Exec("CREATE TABLE Clips(ID LONG, Sound LONGBINARY, Film LONGBINARY)");
        w.Exec("INSERT INTO Clips VALUES(1, CAST('ding.wav' AS BLOB), X'0400000061626300')");
        w.Property("Clips", "Sound", "MediaType", 1027);
        w.Property("Clips", "Sound", "BLINK", 1);
        w.Property("Clips", "Film", "MediaType", 1026);
        w.Property("Clips", "Film", "BLINK", 0);
    });
    WalkSink sink;
    ASSERT_EQ(S_OK, d.db->WalkTables(&sink));
    // Local tables come first in the collection, links after them; the ODBC
    // link is skipped and embedded media are never reported.
    std::vector<std::string> expected = {"2:ann.png", "2:bob.png", "4:ding.wav", "128:People"};
    EXPECT_EQ(expected, sink.items);
    // Deleting a record reports its linked names as removed.
    DataSourceDescriptor clips = Desc("Clips", "", 0);
    int count = 0;
    ASSERT_EQ(S_OK, d.db->GetDataSourceRecordCount(&clips, &count));
    ASSERT_EQ(S_OK, d.db->DeleteDataSourceRecord(&clips));
    EXPECT_EQ(std::vector<std::string>{"ding.wav"}, d.site.media.removed);
}

TEST(DBCoreSources, NoticesCarryFullLengthNamesWithoutOverrun) {
    Db d;
    std::string name64(64, 'n');
    d.Core()->PostNotice(name64.c_str(), "field", "object-name-longer-than-32-bytes!!", 0, 2);
    std::vector<DataSourceNotice> n = d.window.Drain(d.db);
    ASSERT_EQ(1u, n.size());
    EXPECT_EQ(0, memcmp(n[0].sourceName, name64.data(), 64));  // no NUL
    EXPECT_STREQ("field", n[0].fieldName);
    EXPECT_EQ(0, memcmp(n[0].objectName, "object-name-longer-than-32-bytes", 32));
    // Without a window the notice is freed, not leaked into the thread queue.
    d.Core()->SetNoticeWindow(nullptr);
    d.Core()->PostNotice("Staff", nullptr, nullptr, 0, 3);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_DB_NOTICE, WM_DB_NOTICE, PM_REMOVE));
    // A descriptor whose name fills its field is read within it.
    DataSourceDescriptor full;
    memset(&full, 'x', sizeof(full));
    full.position = 0;
    full.relative = 0;
    EXPECT_EQ(E_FAIL, d.db->MoveDataSource(&full));
}

TEST(DBCoreSources, QueriesCompareTextsWithoutCaseAndTakeDateParameters) {
    PFNMESSAGEBOXHANDLER old = SetMessageBoxHandler(Boxes);
    Db d([](MvbWriter& w) {
        w.Query("Bobs", "SELECT Name FROM Staff WHERE Name = \"BOB\"");
        w.Query("Hired", "PARAMETERS [When] DateTime; SELECT Name FROM Staff WHERE Hired = [When]");
        w.Query("Cross",
                "TRANSFORM Sum(Amount) SELECT StaffID FROM Orders GROUP BY StaffID "
                "PIVOT OrderID");
        w.Query("Broken", "SELECT Name FROM Staff WHERE Name = = 1");
        w.Query("Lost", "SELECT Name FROM Vanished");
    });
    int count = 0;
    DataSourceDescriptor bobs = Desc("Bobs");
    ASSERT_EQ(S_OK, d.db->GetDataSourceRecordCount(&bobs, &count));
    EXPECT_EQ(1, count);
    d.site.evaluator.SetText("When", L"1999/12/31");
    DataSourceDescriptor hired = Desc("Hired", "Name");
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(S_OK, d.db->GetDataSourceFieldValue(&hired, &v));
    EXPECT_EQ(0, memcmp(V_BSTR(&v), "Bob", 3));
    VariantClear(&v);
    // Crosstabs, bad SQL and missing tables are results, never exceptions.
    for (const char* name : {"Cross", "Broken", "Lost"}) {
        DataSourceDescriptor q = Desc(name, "Name");
        EXPECT_EQ(E_FAIL, d.db->GetDataSourceFieldValue(&q, &v)) << name;
        EXPECT_EQ(VT_EMPTY, V_VT(&v));
        EXPECT_EQ(E_FAIL, d.db->GetDataSourceRecordCount(&q, &count)) << name;
    }
    // A date text that names no day leaves the query without a value.
    d.site.evaluator.SetText("When", L"someday");
    DataSourceDescriptor again = Desc("Hired", "Name");
    CDBCore* core = d.Core();
    DataSourceDescriptor rq = again;
    rq.isQuery = 1;
    EXPECT_EQ(E_FAIL, d.db->ReexecuteQuery(&rq));
    (void)core;
    SetMessageBoxHandler(old);
}

TEST(DBCoreSources, DisplayTextsOfTheManagerLists) {
    struct {
        VARTYPE vt;
        int fieldType;
        const char* utf8;
    } rows[] = {{VT_BSTR, 12, "注释"},    {VT_NULL, 12, ""},
                {VT_EMPTY, 1025, "图元"}, {VT_EMPTY, 1030, "二进制数据流"},
                {VT_BOOL, 1, "1"},        {VT_I4, 4, "42"},
                {VT_R8, 7, "42.000000"},  {VT_NULL, 10, ""}};
    for (const auto& r : rows) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = r.vt;
        if (r.vt == VT_BSTR)
            V_BSTR(&v) = SysAllocStringByteLen("body", 4);
        else if (r.vt == VT_BOOL)
            V_BOOL(&v) = VARIANT_TRUE;
        else if (r.vt == VT_I4)
            V_I4(&v) = 42;
        else if (r.vt == VT_R8)
            V_R8(&v) = 42;
        std::string text = "unchanged";
        CDBCore::VariantToText(&v, &text, r.fieldType);
        EXPECT_EQ(DBAnsi(r.utf8), text) << r.fieldType;
        VariantClear(&v);
    }
}

TEST(DBCoreSources, DamagedPagesGiveResults) {
    TempFolder dir;
    std::string path = dir.File("damaged.mvb");
    {
        MvbWriter w(path);
        WriteStaff(w);
        // Enough rows that the table has pages of its own beyond the first.
        w.Exec("CREATE TABLE Filler(ID LONG, Pad TEXT)");
        for (int i = 0; i < 40; ++i)
            w.Exec("INSERT INTO Filler VALUES(" + std::to_string(i) + ", '" +
                   std::string(300, 'p') + "')");
    }
    std::string bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 4096u * 4);
    // Every page after the first two overwritten with garbage: the catalogue
    // still reads, the tables do not.
    for (size_t i = 4096 * 2; i < bytes.size(); ++i) bytes[i] = (char)(0xA5 ^ (i * 7));
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    PFNMESSAGEBOXHANDLER old = SetMessageBoxHandler(Boxes);
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    HRESULT hr = db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle());
    if (hr == S_OK) {
        int count = 0;
        ASSERT_EQ(S_OK, db->GetDataSourceCount(&count));
        for (int i = 0; i < count; ++i) {
            char name[64];
            ASSERT_EQ(S_OK, db->GetDataSourceName(i, name, sizeof(name)));
            DataSourceDescriptor d = Desc(name, "Name", 0);
            VARIANT v;
            VariantInit(&v);
            int n = 0;
            db->GetDataSourceRecordCount(&d, &n);
            db->GetDataSourceFieldValue(&d, &v);
            VariantClear(&v);
            db->GetDataSourceFieldCount(&d, &n);
        }
    } else {
        EXPECT_EQ(DB_E_FAILED, hr);
    }
    SetMessageBoxHandler(old);
}

// The answers of the single-field and the whole-record write, row by row on
// one database: a busy source refuses (a table only until it is open), a
// field the table lacks is "not found", a good write succeeds.
TEST(DBCoreSources, WritesAnswerAlike) {
    PFNMESSAGEBOXHANDLER old = SetMessageBoxHandler(Boxes);
    Db d;
    CDBCore* core = d.Core();
    const struct {
        const char* name;
        const char* source;
        int isQuery;
        const char* field;
        bool busy;
        int code;
    } rows[] = {
        {"unknown source", "None", 0, "Salary", false, 0},
        {"busy table before it is open", "Staff", 0, "Salary", true, 2},
        {"busy query", "Rich", 1, "Salary", true, 2},
        {"field the table lacks", "Staff", 0, "Nope", false, 5},
        {"good write", "Staff", 0, "Salary", false, 1},
        {"busy table once open", "Staff", 0, "Salary", true, 1},
    };
    for (const auto& r : rows) {
        DataSourceDescriptor desc = Desc(r.source, r.field, 1);
        desc.isQuery = r.isQuery;
        DataSourceEntry* entry = core->FindEntry(&desc);
        if (entry)
            entry->busy = r.busy;
        VARIANT v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = 77;
        EXPECT_EQ(r.code, core->SetFieldValue(&desc, &v)) << r.name;
        FieldValuePair pair;
        memset(&pair, 0, sizeof(pair));
        memcpy(pair.fieldName, r.field, strlen(r.field));
        pair.value = v;
        EXPECT_EQ(r.code, core->UpdateRecord(&desc, &pair, 1)) << r.name;
        if (entry)
            entry->busy = 0;
    }
    SetMessageBoxHandler(old);
}
