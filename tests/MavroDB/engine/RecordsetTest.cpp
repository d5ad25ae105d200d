#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

#include "../core/StaffDatabase.h"
#include "TestFiles.h"
#include "aDbEngine.h"
#include "sqlite3.h"

namespace {

long ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const CdbException& e) {
        EXPECT_EQ((HRESULT)(0x800A0000 + e.Number()), e.Code());
        EXPECT_FALSE(e.Description().empty());
        return e.Number();
    }
    return 0;
}

struct Staff {
    TempFolder dir;
    std::string path;
    std::unique_ptr<CdbDatabase> db;
    Staff() {
        path = StaffFile(dir.File("s.mvb"));
        db = CdbDatabase::Open(path, false, false, "");
    }
};

VARIANT Long(LONG n) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
}

}  // namespace

TEST(Recordset, MovesPositionsAndBookmarks) {
    Staff s;
    auto rs = s.db->OpenTable("staff");
    EXPECT_EQ(3, rs->GetRecordCount());
    EXPECT_FALSE(rs->GetBOF());
    EXPECT_EQ(0, rs->GetAbsolutePosition());
    rs->MoveLast();
    int64_t mark = rs->GetBookmark();
    rs->MoveNext();
    EXPECT_TRUE(rs->GetEOF());
    EXPECT_EQ(-1, rs->GetAbsolutePosition());
    EXPECT_EQ(dbErrNoCurrentRecord, ErrorOf([&] { rs->MoveNext(); }));
    rs->MoveFirst();
    rs->MovePrevious();
    EXPECT_TRUE(rs->GetBOF());
    for (long bad : {-1L, 3L, 1000000L})
        EXPECT_EQ(dbErrInvalidArgument, ErrorOf([&] { rs->SetAbsolutePosition(bad); })) << bad;
    rs->SetBookmark(mark);
    EXPECT_EQ(2, rs->GetAbsolutePosition());
    VARIANT v;
    EXPECT_EQ(dbErrItemNotFound, ErrorOf([&] { rs->GetValue("Nope", &v); }));
    EXPECT_EQ(dbErrItemNotFound, ErrorOf([&] { s.db->OpenTable("Nope"); }));
    rs->Close();
    EXPECT_EQ(dbErrObjectClosed, ErrorOf([&] { rs->MoveFirst(); }));
    EXPECT_EQ(dbErrObjectClosed, ErrorOf([&] { rs->GetRecordCount(); }));
}

TEST(Recordset, OtherConnectionsChangesShowAtOnce) {
    Staff s;
    auto a = s.db->OpenTable("Staff");
    auto other = CdbDatabase::Open(s.path, false, false, "");
    auto b = other->OpenTable("Staff");
    a->SetAbsolutePosition(1);
    b->SetAbsolutePosition(1);
    // B edits, A changes the record in between: a write conflict.
    b->Edit();
    VARIANT n = Long(1);
    b->SetValue("Salary", n);
    a->Edit();
    VARIANT m = Long(2);
    a->SetValue("Salary", m);
    a->Update();
    EXPECT_EQ(dbErrWriteConflict, ErrorOf([&] { b->Update(); }));
    // The edit stays pending until cancelled, as a dynaset's does.
    b->CancelUpdate();
    VARIANT v;
    b->GetValue("Salary", &v);
    EXPECT_EQ(2.0, V_R8(&v));
    // A deletes; B reads and edits the gone record.
    a->Delete();
    EXPECT_EQ(2, a->GetRecordCount());
    EXPECT_EQ(dbErrRecordDeleted, ErrorOf([&] { b->GetValue("Name", &v); }));
    EXPECT_EQ(dbErrRecordDeleted, ErrorOf([&] { b->Edit(); }));
    b->Requery();
    EXPECT_EQ(2, b->GetRecordCount());
    // Added rows join the snapshot.
    a->AddNew();
    VARIANT id = Long(9);
    a->SetValue("ID", id);
    a->Update();
    EXPECT_EQ(3, a->GetRecordCount());
    a->MoveLast();
    a->GetValue("ID", &v);
    EXPECT_EQ(9, V_I4(&v));
}

TEST(Recordset, ABlockedWriteIsLockedAfterAShortWait) {
    Staff s;
    auto rs = s.db->OpenTable("Staff");
    sqlite3* raw = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(s.path.c_str(), &raw));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr));
    rs->Edit();
    VARIANT v = Long(5);
    rs->SetValue("Salary", v);
    DWORD t0 = GetTickCount();
    EXPECT_EQ(dbErrLocked, ErrorOf([&] { rs->Update(); }));
    EXPECT_LT(GetTickCount() - t0, 5000u);
    sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    rs->Edit();
    rs->SetValue("Salary", v);
    rs->Update();
}

TEST(Recordset, ValuesAreCheckedAgainstTheField) {
    Staff s;
    auto rs = s.db->OpenTable("Staff");
    rs->Edit();
    struct {
        const char* field;
        VARTYPE vt;
        const char* text;
        long error;
    } rows[] = {
        {"Name", VT_BSTR, "exactly twenty chars", 0},
        {"Name", VT_BSTR, "twenty-one characters", dbErrFieldTooSmall},
        {"ID", VT_BSTR, "12", 0},
        {"ID", VT_BSTR, "twelve", dbErrTypeConversion},
        {"Hired", VT_BSTR, "not a date", dbErrTypeConversion},
        {"Photo", VT_BSTR, "x", dbErrTypeConversion},
        {"Salary", VT_NULL, nullptr, 0},
    };
    for (const auto& r : rows) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = r.vt;
        if (r.text)
            V_BSTR(&v) = SysAllocStringByteLen(r.text, (UINT)strlen(r.text));
        EXPECT_EQ(r.error, ErrorOf([&] { rs->SetValue(r.field, v); })) << r.field << " " << r.text;
        VariantClear(&v);
    }
    rs->Update();
    VARIANT v;
    rs->GetValue("Salary", &v);
    EXPECT_EQ(VT_NULL, V_VT(&v));
}

TEST(Recordset, QueriesAreWritableOnlyOnOneTable) {
    Staff s;
    auto rich = s.db->OpenQuery("Rich", {});
    EXPECT_TRUE(rich->GetUpdatable());
    EXPECT_EQ(2, rich->GetRecordCount());
    const CdbFieldInfo& f = rich->Field(rich->FieldIndex("Salary"));
    EXPECT_EQ("Staff", f.sourceTable);
    EXPECT_EQ("Salary", f.sourceField);
    EXPECT_EQ(dbDouble, f.type);
    rich->Edit();
    VARIANT v = Long(3000);
    rich->SetValue("Salary", v);
    rich->Update();
    auto table = s.db->OpenTable("Staff");
    table->SetAbsolutePosition(1);
    VARIANT out;
    table->GetValue("Salary", &out);
    EXPECT_EQ(3000.0, V_R8(&out));
    auto totals = s.db->OpenQuery("Totals", {});
    EXPECT_FALSE(totals->GetUpdatable());
    EXPECT_EQ(dbErrReadOnly, ErrorOf([&] { totals->Edit(); }));
}

TEST(Recordset, OpenChecksFormatPasswordAndLocks) {
    TempFolder dir;
    std::string path = dir.File("p.mvb");
    {
        MvbWriter w(path);
        WriteStaff(w);
        w.Password("pw");
    }
    EXPECT_EQ(dbErrBadPassword, ErrorOf([&] { CdbDatabase::Open(path, false, false, ";pwd=x"); }));
    EXPECT_EQ(0, ErrorOf([&] { CdbDatabase::Open(path, false, false, ";PWD=pw"); }));
    EXPECT_EQ(dbErrCannotFindFile,
              ErrorOf([&] { CdbDatabase::Open(dir.File("none.mvb"), false, false, ""); }));
    auto excl = CdbDatabase::Open(path, true, false, ";pwd=pw");
    EXPECT_EQ(dbErrFileInUse, ErrorOf([&] { CdbDatabase::Open(path, false, false, ";pwd=pw"); }));
    excl.reset();
    EXPECT_EQ(0, ErrorOf([&] { CdbDatabase::Open(path, false, false, ";pwd=pw"); }));
}

TEST(Recordset, LinksReadThroughAnotherDatabase) {
    TempFolder dir;
    std::string other = StaffFile(dir.File("other.mvb"));
    std::string path = dir.File("main.mvb");
    {
        MvbWriter w(path);
        w.Link("People", ";DATABASE=" + Utf8OfAnsi(other), "Staff");
        w.Link("Sheet", "Excel 8.0;DATABASE=c:\\x.xls", "Sheet1");
        w.Link("Remote", "ODBC;DSN=x", "T");
    }
    auto db = CdbDatabase::Open(path, false, false, "");
    std::vector<CdbTableDefInfo> tables = db->TableDefs();
    int links = 0;
    for (const CdbTableDefInfo& t : tables) {
        if (t.name == "People" || t.name == "Sheet") {
            EXPECT_EQ((uint32_t)dbAttachedTable, t.attributes);
            ++links;
        }
        if (t.name == "Remote") {
            EXPECT_EQ((uint32_t)dbAttachedODBC, t.attributes);
            ++links;
        }
    }
    EXPECT_EQ(3, links);
    auto people = db->OpenTable("People");
    EXPECT_EQ(3, people->GetRecordCount());
    EXPECT_FALSE(people->GetUpdatable());
    EXPECT_EQ(dbErrNoIsam, ErrorOf([&] { db->OpenTable("Sheet"); }));
    EXPECT_EQ(dbErrNoOdbc, ErrorOf([&] { db->OpenTable("Remote"); }));
}

// A table's dynaset walks its records in row order, whatever its key (text
// or number); ORDER BY sorts texts as Jet does, without case.
TEST(Recordset, TablesKeepRowOrderAndOrderBySortsWithoutCase) {
    TempFolder dir;
    std::string path = dir.File("words.mvb");
    {
        MvbWriter w(path);
        w.Exec("CREATE TABLE Words(W TEXT(10) PRIMARY KEY, N LONG)");
        w.Exec("INSERT INTO Words VALUES('c', 1), ('B', 2), ('a', 3)");
        w.Exec("CREATE TABLE Numbered(N LONG PRIMARY KEY, W TEXT(10))");
        w.Exec("INSERT INTO Numbered VALUES(3, 'c'), (1, 'B'), (2, 'a')");
        w.Query("Sorted", "SELECT W FROM Words ORDER BY W");
        w.Query("Picked", "SELECT W FROM Words WHERE W = 'b' OR W Like 'A*'");
    }
    auto db = CdbDatabase::Open(path, false, false, "");
    struct {
        const char* source;
        bool query;
        const char* order;
    } cases[] = {{"Words", false, "cBa"}, {"Numbered", false, "cBa"}, {"Sorted", true, "aBc"}};
    for (const auto& c : cases) {
        auto rs = c.query ? db->OpenQuery(c.source, {}) : db->OpenTable(c.source);
        std::string order;
        for (rs->MoveFirst(); !rs->GetEOF(); rs->MoveNext()) {
            VARIANT v;
            rs->GetValue("W", &v);
            order += std::string((const char*)V_BSTR(&v), SysStringByteLen(V_BSTR(&v)));
            VariantClear(&v);
        }
        EXPECT_EQ(c.order, order) << c.source;
    }
    EXPECT_EQ(2, db->OpenQuery("Picked", {})->GetRecordCount());
}

// Records read ahead in windows against a plain read of each record, while
// another connection of the layer writes and deletes in between.
TEST(Recordset, ReadAheadMatchesPlainReadsUnderForeignWrites) {
    TempFolder dir;
    std::string path = dir.File("walk.mvb");
    {
        MvbWriter w(path);
        w.Exec("CREATE TABLE T(ID LONG PRIMARY KEY, V LONG, S TEXT(20))");
        w.Exec("BEGIN");
        for (int i = 0; i < 1500; ++i)
            w.Exec("INSERT INTO T VALUES(" + std::to_string(i) + ", " + std::to_string(i * 3) +
                   ", 's" + std::to_string(i) + "')");
        w.Exec("COMMIT");
    }
    auto readerDb = CdbDatabase::Open(path, false, false, "");
    auto writerDb = CdbDatabase::Open(path, false, false, "");
    auto reader = readerDb->OpenTable("T");
    auto writer = writerDb->OpenTable("T");
    sqlite3* plain = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &plain, SQLITE_OPEN_READONLY, nullptr));
    sqlite3_stmt* one = nullptr;
    ASSERT_EQ(SQLITE_OK,
              sqlite3_prepare_v2(plain, "SELECT V FROM T WHERE rowid = ?1", -1, &one, nullptr));
    std::mt19937 rng(7);
    long pos = 0;
    for (int step = 0; step < 4000; ++step) {
        int op = (int)(rng() % 100);
        if (op < 3) {
            writer->SetAbsolutePosition((long)(rng() % writer->GetRecordCount()));
            writer->Edit();
            VARIANT v = Long((LONG)(rng() % 100000));
            writer->SetValue("V", v);
            writer->Update();
        } else if (op < 4 && writer->GetRecordCount() > 10) {
            writer->SetAbsolutePosition((long)(rng() % writer->GetRecordCount()));
            writer->Delete();
        } else {
            // Mostly walk on, sometimes jump.
            pos = op < 80 ? pos + 1 : (long)(rng() % reader->GetRecordCount());
            if (pos >= reader->GetRecordCount())
                pos = 0;
            reader->SetAbsolutePosition(pos);
            int64_t rowid = reader->GetBookmark();
            sqlite3_reset(one);
            sqlite3_bind_int64(one, 1, rowid);
            int rc = sqlite3_step(one);
            int plainValue = rc == SQLITE_ROW ? sqlite3_column_int(one, 0) : 0;
            // No read lock may stay behind to block the writer.
            sqlite3_reset(one);
            VARIANT v;
            long error = ErrorOf([&] { reader->GetValue("V", &v); });
            if (rc == SQLITE_ROW) {
                ASSERT_EQ(0, error) << "step " << step;
                ASSERT_EQ(plainValue, V_I4(&v)) << "step " << step;
            } else {
                ASSERT_EQ(dbErrRecordDeleted, error) << "step " << step;
            }
        }
    }
    sqlite3_finalize(one);
    sqlite3_close(plain);
}
