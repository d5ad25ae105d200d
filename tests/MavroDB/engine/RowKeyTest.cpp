// Tables whose fields take the names of SQLite's row id (rowid, oid,
// _rowid_ in any case): every read and write of a dynaset must still reach
// exactly its own record.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "MvbWriter.h"
#include "TestFiles.h"
#include "DbErrorOf.h"
#include "aDbEngine.h"
#include "sqlite3.h"

namespace {

VARIANT Text(const char* s) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringByteLen(s, (UINT)strlen(s));
    return v;
}

VARIANT Long(LONG n) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
}

VARIANT Blob(const char* s) {
    VARIANT v;
    V_VT(&v) = VT_ARRAY | VT_UI1;
    V_ARRAY(&v) = SafeArrayCreateVector(VT_UI1, 0, (ULONG)strlen(s));
    memcpy(V_ARRAY(&v)->pvData, s, strlen(s));
    return v;
}

// "V:K" of every record in dynaset order (K the value of the named key
// field); the long-binary field B holds V's letter too where it is set.
std::string Walk(CdbRecordset* rs, const std::string& keyField) {
    std::string out;
    for (long i = 0; i < rs->GetRecordCount(); ++i) {
        rs->SetAbsolutePosition(i);
        VARIANT v, k, b;
        VariantInit(&b);
        long error = ErrorOf([&] {
            rs->GetValue("V", &v);
            rs->GetValue(keyField, &k);
            rs->GetValue("B", &b);
        });
        if (!out.empty())
            out += ",";
        if (error) {
            out += "error " + std::to_string(error);
            continue;
        }
        std::string text((const char*)V_BSTR(&v), SysStringByteLen(V_BSTR(&v)));
        if (V_VT(&b) == (VT_ARRAY | VT_UI1)) {
            EXPECT_EQ(text, std::string((const char*)V_ARRAY(&b)->pvData,
                                        V_ARRAY(&b)->rgsabound[0].cElements));
        }
        out += text + ":" + std::to_string(V_I4(&k));
        VariantClear(&v);
        VariantClear(&b);
    }
    return out;
}

// The table's rows as the file holds them, by V.
std::string Stored(const std::string& path, const std::string& table) {
    sqlite3* db = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr));
    sqlite3_stmt* s = nullptr;
    std::string sql =
        "SELECT group_concat(V, ',') FROM (SELECT V FROM \"" + table + "\" ORDER BY V)";
    EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr));
    std::string out;
    if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0))
        out = (const char*)sqlite3_column_text(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}

int StoredColumns(const std::string& path, const std::string& table) {
    sqlite3* db = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr));
    sqlite3_stmt* s = nullptr;
    std::string sql = "SELECT count(*) FROM pragma_table_info('" + table + "')";
    EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr));
    int n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
}

// Each table holds (1, a), (1, b), (2, c) in its field named like the row id.
struct Case {
    const char* table;
    const char* columns;  // the fields before V
    const char* key;      // the field the test reads
    int fields;
};
const Case kCases[] = {
    {"T1", "RowID LONG", "RowID", 3},
    {"T2", "rowid LONG", "rowid", 3},
    {"T3", "ROWID LONG", "ROWID", 3},
    {"T4", "oid LONG", "oid", 3},
    {"T5", "_rowid_ LONG", "_rowid_", 3},
    {"T6", "RowID LONG, oid LONG, _rowid_ LONG", "RowID", 5},
    {"T7", "_ROWID_ LONG, OID LONG, RowId LONG PRIMARY KEY", "OID", 5},
};

std::string WriteCases(TempFolder& dir) {
    std::string path = dir.File("rowid.mvb");
    MvbWriter w(path);
    for (const Case& c : kCases) {
        std::string t = c.table;
        w.Exec("CREATE TABLE " + t + "(" + c.columns + ", V TEXT(10), B LONGBINARY)");
        std::string cols = c.columns;
        int n = 1;
        for (char ch : cols) n += ch == ',';
        // The primary key of T7 is the last field: 1, 2, 3 there.
        auto row = [&](int key, int pk, const char* v) {
            std::string values;
            for (int i = 0; i < n; ++i)
                values += std::to_string(i == n - 1 && t == "T7" ? pk : key) + ", ";
            w.Exec("INSERT INTO " + t + " VALUES(" + values + "'" + v + "', CAST('" + v +
                   "' AS BLOB))");
        };
        row(1, 1, "a");
        row(1, 2, "b");
        row(2, 3, "c");
        w.Query("Q" + t.substr(1), "SELECT * FROM " + t + " WHERE V <> 'zz'");
    }
    w.Query("Reserved", "SELECT [!RowKey] FROM T1");
    w.Query("ReservedDotted", "SELECT T1.[!rowkey] FROM T1");
    return path;
}

}  // namespace

TEST(RowKey, TablesAndQueriesReachTheirOwnRecords) {
    for (bool query : {false, true}) {
        TempFolder dir;
        std::string path = WriteCases(dir);
        auto db = CdbDatabase::Open(path, false, false, "");
        for (const Case& c : kCases) {
            std::string t = c.table;
            SCOPED_TRACE(t + (query ? " query" : " table"));
            auto rs = query ? db->OpenQuery("Q" + t.substr(1), {}) : db->OpenTable(t);
            EXPECT_EQ("a:1,b:1,c:2", Walk(rs.get(), c.key));
            EXPECT_TRUE(rs->GetUpdatable());
            // The fields of the table, never the layer's own key.
            EXPECT_EQ(c.fields, rs->FieldCount());
            // Record 1 alone changes, its key field too.
            rs->SetAbsolutePosition(1);
            rs->Edit();
            VARIANT x = Text("x");
            rs->SetValue("V", x);
            VariantClear(&x);
            x = Blob("x");
            rs->SetValue("B", x);
            VariantClear(&x);
            VARIANT seven = Long(7);
            rs->SetValue(c.key, seven);
            rs->Update();
            EXPECT_EQ("a:1,x:7,c:2", Walk(rs.get(), c.key));
            // Record 0 alone goes.
            rs->SetAbsolutePosition(0);
            rs->Delete();
            EXPECT_EQ("c,x", Stored(path, t));
            EXPECT_EQ("x:7,c:2", Walk(rs.get(), c.key));
            // A new record joins and is read back as itself.
            rs->AddNew();
            VARIANT a = Text("a");
            rs->SetValue("V", a);
            VariantClear(&a);
            a = Blob("a");
            rs->SetValue("B", a);
            VariantClear(&a);
            VARIANT one = Long(1);
            rs->SetValue(c.key, one);
            if (t == "T7") {
                // Its primary key stays unique.
                VARIANT nine = Long(9);
                rs->SetValue("RowId", nine);
            }
            rs->Update();
            rs->MoveLast();
            int64_t mark = rs->GetBookmark();
            EXPECT_EQ("x:7,c:2,a:1", Walk(rs.get(), c.key));
            rs->SetBookmark(mark);
            EXPECT_EQ(2, rs->GetAbsolutePosition());
            rs->Requery();
            EXPECT_EQ(3, rs->GetRecordCount());
            EXPECT_EQ("a,c,x", Stored(path, t));
            // A table that leaves a name of the row id free is not changed.
            EXPECT_EQ(t == "T6" || t == "T7" ? c.fields + 1 : c.fields, StoredColumns(path, t));
        }
    }
}

TEST(RowKey, TheLayersKeyNameIsRefused) {
    TempFolder dir;
    std::string path = WriteCases(dir);
    auto db = CdbDatabase::Open(path, false, false, "");
    // T6 leaves no name for the row id: it carries the layer's own key.
    auto rs = db->OpenTable("T6");
    for (const char* name : {"!RowKey", "!ROWKEY"}) {
        VARIANT v;
        EXPECT_EQ(3125, ErrorOf([&] { rs->GetValue(name, &v); })) << name;
        EXPECT_EQ(3125, ErrorOf([&] { rs->FieldIndex(name); })) << name;
    }
    rs->Edit();
    VARIANT one = Long(1);
    EXPECT_EQ(3125, ErrorOf([&] { rs->SetValue("!rowkey", one); }));
    rs->CancelUpdate();
    for (const char* q : {"Reserved", "ReservedDotted"}) {
        EXPECT_EQ(3125, ErrorOf([&] { db->OpenQuery(q, {}); })) << q;
        EXPECT_EQ(3125, ErrorOf([&] { db->QueryFields(q); })) << q;
    }
    for (const CdbFieldInfo& f : db->TableFields("T6")) EXPECT_NE('!', f.name[0]) << f.name;
    // Records that another program adds get a key of their own.
    sqlite3* raw = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &raw));
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(raw, "INSERT INTO T6(RowID, V) VALUES(3, 'd'), (4, 'e')",
                                      nullptr, nullptr, nullptr));
    sqlite3_close(raw);
    rs->Requery();
    EXPECT_EQ("a:1,b:1,c:2,d:3,e:4", Walk(rs.get(), "RowID"));
    rs->SetAbsolutePosition(3);
    rs->Delete();
    EXPECT_EQ("a,b,c,e", Stored(path, "T6"));
}

TEST(RowKey, ATableWithoutAKeyIsReadWhereItCannotBeGiven) {
    TempFolder dir;
    std::string path = WriteCases(dir);
    // Read-only: the file stays as it is; the records are read whole.
    auto ro = CdbDatabase::Open(path, false, true, "");
    for (const char* source : {"T6", "Q6"}) {
        auto rs = std::string(source) == "T6" ? ro->OpenTable(source) : ro->OpenQuery(source, {});
        EXPECT_FALSE(rs->GetUpdatable()) << source;
        EXPECT_EQ("a:1,b:1,c:2", Walk(rs.get(), "RowID")) << source;
    }
    ro.reset();
    // A linked table is read through the other file, which is not changed.
    std::string linking = dir.File("main.mvb");
    {
        MvbWriter w(linking);
        w.Link("Far", ";DATABASE=" + Utf8OfAnsi(path), "T6");
    }
    auto db = CdbDatabase::Open(linking, false, false, "");
    auto linked = db->OpenTable("Far");
    EXPECT_FALSE(linked->GetUpdatable());
    EXPECT_EQ("a:1,b:1,c:2", Walk(linked.get(), "RowID"));
    EXPECT_EQ(5, StoredColumns(path, "T6"));
}
