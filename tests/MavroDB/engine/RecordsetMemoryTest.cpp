// What a recordset holds in memory: long values only when asked for, read
// ahead within a byte budget whatever the record size, and read-only
// results larger than the budget walked without keeping them whole.
#include <gtest/gtest.h>
#include <string.h>

#include <functional>
#include <memory>
#include <random>
#include <string>

#include "MvbWriter.h"
#include "TestFiles.h"
#include "aDbEngine.h"
#include "sqlite3.h"

namespace {

const size_t kBudget = CdbRecordset::kMemoryBudget;

// Bytes of record i's photo: large ones in every third record but one.
std::string Photo(int i) {
    size_t n = i % 3 == 1 ? 20 : (size_t)(2 << 20) + (size_t)i;
    return std::string(n, (char)('A' + i % 26));
}

std::string Note(int i) {
    return i % 2 ? std::string((size_t)(1 << 20), (char)('a' + i % 26))
                 : "note " + std::to_string(i);
}

const int kMediaRecords = 20;

std::string WriteMedia(TempFolder& dir) {
    std::string path = dir.File("media.mvb");
    MvbWriter w(path);
    w.Exec("CREATE TABLE Media(ID LONG PRIMARY KEY, Small LONG, Photo LONGBINARY, Note MEMO)");
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(w.Handle(), "INSERT INTO Media VALUES(?1, ?2, ?3, ?4)", -1, &s, nullptr);
    for (int i = 0; i < kMediaRecords; ++i) {
        std::string photo = Photo(i), note = Note(i);
        sqlite3_bind_int(s, 1, i);
        sqlite3_bind_int(s, 2, i * 7);
        sqlite3_bind_blob(s, 3, photo.data(), (int)photo.size(), SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 4, note.data(), (int)note.size(), SQLITE_TRANSIENT);
        EXPECT_EQ(SQLITE_DONE, sqlite3_step(s));
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    w.Query("Some", "SELECT ID, Photo, Small, Note FROM Media WHERE ID >= 0 ORDER BY ID");
    return path;
}

std::string Bytes(const VARIANT& v) {
    if (V_VT(&v) == (VT_ARRAY | VT_UI1)) {
        void* data = nullptr;
        SafeArrayAccessData(V_ARRAY(&v), &data);
        std::string out((const char*)data, V_ARRAY(&v)->rgsabound[0].cElements);
        SafeArrayUnaccessData(V_ARRAY(&v));
        return out;
    }
    if (V_VT(&v) == VT_BSTR)
        return std::string((const char*)V_BSTR(&v), SysStringByteLen(V_BSTR(&v)));
    return "?";
}

std::string Value(CdbRecordset* rs, const char* field) {
    VARIANT v;
    rs->GetValue(field, &v);
    std::string out = V_VT(&v) == VT_I4 ? std::to_string(V_I4(&v)) : Bytes(v);
    VariantClear(&v);
    return out;
}

}  // namespace

TEST(RecordsetMemory, LongValuesStayInTheFileUntilAFieldAsksForThem) {
    TempFolder dir;
    std::string path = WriteMedia(dir);
    auto db = CdbDatabase::Open(path, false, false, "");
    for (bool query : {false, true}) {
        SCOPED_TRACE(query ? "query" : "table");
        auto rs = query ? db->OpenQuery("Some", {}) : db->OpenTable("Media");
        EXPECT_TRUE(rs->GetUpdatable());
        // The small field of every record: nothing long is held.
        for (int i = 0; i < kMediaRecords; ++i) {
            rs->SetAbsolutePosition(i);
            ASSERT_EQ(std::to_string(i * 7), Value(rs.get(), "Small")) << i;
            EXPECT_LT(rs->HeldBytes(), (size_t)(256 << 10)) << i;
        }
        // Long values come whole when asked, small ones with the record.
        for (int i : {0, 1, 2, 5, kMediaRecords - 1}) {
            rs->SetAbsolutePosition(i);
            EXPECT_EQ(Photo(i), Value(rs.get(), "Photo")) << i;
            EXPECT_EQ(Note(i), Value(rs.get(), "Note")) << i;
            EXPECT_LT(rs->HeldBytes(), (size_t)(256 << 10)) << i;
        }
        // An edit of the small field keeps the long ones, and holds none.
        rs->SetAbsolutePosition(3);
        rs->Edit();
        VARIANT v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = 99;
        rs->SetValue("Small", v);
        EXPECT_LT(rs->HeldBytes(), (size_t)(256 << 10));
        EXPECT_EQ(Photo(3), Value(rs.get(), "Photo"));
        rs->Update();
        EXPECT_EQ("99", Value(rs.get(), "Small"));
        EXPECT_EQ(Photo(3), Value(rs.get(), "Photo"));
        rs->Edit();
        V_I4(&v) = 21;
        rs->SetValue("Small", v);
        rs->Update();
    }
    // A large long value another connection changed during an edit is a
    // write conflict, even at the same length.
    auto rs = db->OpenTable("Media");
    auto other = CdbDatabase::Open(path, false, false, "");
    auto o = other->OpenTable("Media");
    rs->SetAbsolutePosition(6);
    rs->Edit();
    VARIANT small;
    V_VT(&small) = VT_I4;
    V_I4(&small) = 5;
    rs->SetValue("Small", small);
    o->SetAbsolutePosition(6);
    o->Edit();
    std::string changed = Photo(6);
    changed[changed.size() / 2] = '!';
    VARIANT photo;
    V_VT(&photo) = VT_ARRAY | VT_UI1;
    V_ARRAY(&photo) = SafeArrayCreateVector(VT_UI1, 0, (ULONG)changed.size());
    void* data = nullptr;
    SafeArrayAccessData(V_ARRAY(&photo), &data);
    memcpy(data, changed.data(), changed.size());
    SafeArrayUnaccessData(V_ARRAY(&photo));
    o->SetValue("Photo", photo);
    VariantClear(&photo);
    o->Update();
    try {
        rs->Update();
        ADD_FAILURE() << "a changed long value written over";
    } catch (const CdbException& e) {
        EXPECT_EQ(dbErrWriteConflict, e.Number());
    }
    rs->CancelUpdate();
    EXPECT_EQ(changed, Value(rs.get(), "Photo"));
    // Another connection's delete shows on a long value too.
    rs->SetAbsolutePosition(kMediaRecords - 1);
    EXPECT_EQ(std::to_string((kMediaRecords - 1) * 7), Value(rs.get(), "Small"));
    o->SetAbsolutePosition(kMediaRecords - 1);
    o->Delete();
    try {
        Value(rs.get(), "Photo");
        ADD_FAILURE() << "a deleted record read";
    } catch (const CdbException& e) {
        EXPECT_EQ(dbErrRecordDeleted, e.Number());
    }
}

TEST(RecordsetMemory, ReadAheadStopsAtTheBudgetWhateverTheRecordSize) {
    TempFolder dir;
    std::string path = dir.File("wide.mvb");
    const int kRecords = 48;
    auto text = [](int i) {
        return std::string((size_t)(1 << 20) + (size_t)i, (char)('a' + i % 26));
    };
    {
        MvbWriter w(path);
        // A foreign writer may put any length into a text field.
        w.Exec("CREATE TABLE Wide(ID LONG PRIMARY KEY, T TEXT(255))");
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(w.Handle(), "INSERT INTO Wide VALUES(?1, ?2)", -1, &s, nullptr);
        for (int i = 0; i < kRecords; ++i) {
            std::string t = text(i);
            sqlite3_bind_int(s, 1, i);
            sqlite3_bind_text(s, 2, t.data(), (int)t.size(), SQLITE_TRANSIENT);
            sqlite3_step(s);
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
    }
    auto db = CdbDatabase::Open(path, false, false, "");
    auto rs = db->OpenTable("Wide");
    size_t most = 0;
    // On, back and by jumps.
    std::vector<int> order;
    for (int i = 0; i < kRecords; ++i) order.push_back(i);
    for (int i = kRecords - 1; i >= 0; i -= 3) order.push_back(i);
    std::mt19937 rng(5);
    for (int k = 0; k < 20; ++k) order.push_back((int)(rng() % kRecords));
    for (int i : order) {
        rs->SetAbsolutePosition(i);
        ASSERT_EQ(text(i), Value(rs.get(), "T")) << i;
        most = std::max(most, rs->HeldBytes());
    }
    EXPECT_LE(most, kBudget + (2u << 20));
    EXPECT_GE(most, (size_t)(1 << 20));
}

// DISTINCT, joins and groups over more than the budget: walked on and back,
// by place and bookmark, while the recordset holds at most the budget.
TEST(RecordsetMemory, ReadOnlyResultsLargerThanTheBudgetAreNotHeldWhole) {
    TempFolder dir;
    std::string path = dir.File("many.mvb");
    const int kRows = 60000;
    auto name = [](int i) {
        char head[32];
        snprintf(head, sizeof(head), "name %06d ", i);
        return std::string(head) + std::string(300, (char)('a' + i % 26));
    };
    {
        MvbWriter w(path);
        w.Exec("CREATE TABLE D(ID LONG PRIMARY KEY, Name TEXT(255), V LONG)");
        w.Exec("CREATE TABLE Pair(ID LONG PRIMARY KEY, Twice LONG)");
        w.Exec("BEGIN");
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(w.Handle(), "INSERT INTO D VALUES(?1, ?2, ?3)", -1, &s, nullptr);
        for (int i = 0; i < kRows; ++i) {
            std::string n = name(i);
            // Every record twice over, but for its key.
            for (int copy = 0; copy < 2; ++copy) {
                sqlite3_bind_int(s, 1, i * 2 + copy);
                sqlite3_bind_text(s, 2, n.data(), (int)n.size(), SQLITE_TRANSIENT);
                sqlite3_bind_int(s, 3, i);
                sqlite3_step(s);
                sqlite3_reset(s);
            }
        }
        sqlite3_finalize(s);
        w.Exec("INSERT INTO Pair SELECT ID, ID * 2 FROM D WHERE ID % 2 = 0");
        w.Exec("COMMIT");
        w.Query("Distinct", "SELECT DISTINCT Name, V FROM D ORDER BY V");
        w.Query("Joined",
                "SELECT D.Name, D.V, Pair.Twice FROM D INNER JOIN Pair ON D.ID = Pair.ID "
                "WHERE D.V >= [Low] ORDER BY D.V");
        w.Query("Grouped",
                "SELECT Name, Count(*) AS N, Max(V) AS V FROM D GROUP BY Name ORDER BY Name");
    }
    auto db = CdbDatabase::Open(path, false, true, "");
    for (const char* query : {"Distinct", "Joined", "Grouped"}) {
        SCOPED_TRACE(query);
        std::vector<CdbParameter> params(1);
        V_VT(&params[0].value) = VT_I4;
        V_I4(&params[0].value) = 0;
        bool joined = std::string(query) == "Joined";
        auto rs = db->OpenQuery(query, joined ? params : std::vector<CdbParameter>());
        ASSERT_EQ(kRows, rs->GetRecordCount());
        EXPECT_FALSE(rs->GetUpdatable());
        size_t most = rs->HeldBytes();
        auto check = [&](int i) {
            rs->SetAbsolutePosition(i);
            ASSERT_EQ(name(i), Value(rs.get(), "Name")) << i;
            ASSERT_EQ(std::to_string(i), Value(rs.get(), "V")) << i;
            most = std::max(most, rs->HeldBytes());
        };
        for (int i = 0; i < kRows; ++i) check(i);
        for (int i = kRows - 1; i > kRows - 700; --i) check(i);
        std::mt19937 rng(3);
        for (int k = 0; k < 200; ++k) check((int)(rng() % kRows));
        EXPECT_LE(most, kBudget) << query;
        rs->SetAbsolutePosition(4321);
        int64_t mark = rs->GetBookmark();
        rs->MoveFirst();
        rs->SetBookmark(mark);
        EXPECT_EQ(4321, rs->GetAbsolutePosition());
        rs->MoveLast();
        EXPECT_EQ(name(kRows - 1), Value(rs.get(), "Name"));
        rs->Requery();
        EXPECT_EQ(kRows, rs->GetRecordCount());
        check(17);
        if (joined) {
            EXPECT_EQ("68", Value(rs.get(), "Twice"));
        }
        if (std::string(query) == "Grouped") {
            EXPECT_EQ("2", Value(rs.get(), "N"));
        }
        EXPECT_LE(rs->HeldBytes(), kBudget);
    }
    // The temporary tables go with their recordsets.
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db->Connection()->Handle(), "SELECT count(*) FROM temp.sqlite_master", -1,
                       &s, nullptr);
    ASSERT_EQ(SQLITE_ROW, sqlite3_step(s));
    EXPECT_EQ(0, sqlite3_column_int(s, 0));
    sqlite3_finalize(s);
}
