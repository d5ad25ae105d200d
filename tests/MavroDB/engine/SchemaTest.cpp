// Design calls of the layer: names, tables and fields, indexes, relations
// enforced by triggers, queries, links and imports (another .mvb, dBASE),
// each refusal leaving the file as it was, and damaged catalogues.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DbErrorOf.h"
#include "DbfWriter.h"
#include "MvbWriter.h"
#include "TestFiles.h"
#include "aDbEngine.h"
#include "sqlite3.h"

namespace {

std::unique_ptr<CdbDatabase> OpenRw(const std::string& path, const std::string& connect = "") {
    return CdbDatabase::Open(path, false, false, connect);
}

// One text of a query's first row (an empty text for Null).
std::string Scalar(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(SQLITE_OK,
              sqlite3_open_v2(Utf8OfAnsi(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr));
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr)) << sql;
    std::string out;
    if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0))
        out = (const char*)sqlite3_column_text(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}

// The whole schema as SQLite holds it, to see that a refusal changed nothing.
std::string Schema(const std::string& path) {
    return Scalar(path,
                  "SELECT group_concat(type || name || ifnull(sql, ''), '|') FROM "
                  "(SELECT * FROM sqlite_master ORDER BY name)");
}

CdbFieldSpec F(const char* name, int type, long size = 0) {
    CdbFieldSpec f;
    f.name = name;
    f.type = type;
    f.size = size;
    return f;
}

std::string FieldNames(CdbDatabase* db, const std::string& table) {
    std::string out;
    for (const CdbFieldInfo& f : db->TableFields(table)) out += (out.empty() ? "" : ",") + f.name;
    return out;
}

// Class(ID LONG, Name TEXT) with a primary index on ID, classes 1 to 3;
// Pupil(PID LONG, Name TEXT, ClassID LONG) with 3 pupils in class 2, one in 1.
struct School {
    TempFolder dir;
    std::string path;
    std::unique_ptr<CdbDatabase> db;
    School() {
        path = dir.File("school.mvb");
        { MvbWriter w(path); }
        db = OpenRw(path);
        db->CreateTable("Class", {F("ID", dbLong), F("Name", dbText, 20)});
        db->CreateTable("Pupil", {F("PID", dbLong), F("Name", dbText), F("ClassID", dbLong)});
        CdbIndexInfo key;
        key.name = "PrimaryKey";
        key.primary = true;
        key.fields = {{"ID", false}};
        db->CreateIndex("Class", key);
        Exec("INSERT INTO Class VALUES (1, 'a'), (2, 'b'), (3, 'c')");
        Exec("INSERT INTO Pupil VALUES (1, 'p', 2), (2, 'q', 2), (3, 'r', 2), (4, 's', 1)");
    }
    void Exec(const std::string& sql) { db->Connection()->Exec(sql); }
    long Run(const std::string& sql) {
        return ErrorOf([&] { Exec(sql); });
    }
    std::string Count(const std::string& table) {
        return Scalar(path, "SELECT count(*) FROM \"" + table + "\"");
    }
    CdbRelationInfo ClassPupil(long attributes) {
        CdbRelationInfo r;
        r.name = "ClassPupil";
        r.table = "Class";
        r.foreignTable = "Pupil";
        r.attributes = attributes;
        r.fields = {{"ID", "ClassID"}};
        return r;
    }
};

}  // namespace

TEST(DbSchema, NamesTheEngineRefusesAndNamesItTakes) {
    TempFolder dir;
    std::string path = dir.File("n.mvb");
    { MvbWriter w(path); }
    auto db = OpenRw(path);
    const char* refused[] = {
        "",          " lead",
        "a.b",       "a!b",
        "a`b",       "a[b",
        "a]b",       "tab\tin",
        "!RowKey",   "MavroSysX",
        "mavrosysY", "0123456789012345678901234567890123456789012345678901234567890123x"};
    for (const char* name : refused)
        EXPECT_EQ(3125, ErrorOf([&] { db->CreateTable(name, {F("A", dbLong)}); })) << name;
    EXPECT_EQ(3125, ErrorOf([&] { db->CreateTable("T", {F("a.b", dbLong)}); }));
    EXPECT_EQ(3125, ErrorOf([&] { db->CreateQuery("q]", "SELECT 1"); }));
    std::string before = Schema(path);
    const char* taken[] = {"it's", "a\"b", "x;y", "--z", "trail ", "汉字表"};
    for (const char* name : taken) {
        EXPECT_EQ(0, ErrorOf([&] { db->CreateTable(name, {F("x\"; --", dbText)}); })) << name;
        EXPECT_EQ(0, ErrorOf([&] { db->OpenTable(name); })) << name;
    }
    EXPECT_NE(before, Schema(path));
    // 64 bytes pass.
    EXPECT_EQ(0, ErrorOf([&] { db->CreateTable(std::string(64, 'k'), {F("A", dbLong)}); }));
}

TEST(DbSchema, TablesDeclareDaoTypesAndListTheCatalogueAsSystemObjects) {
    TempFolder dir;
    std::string path = dir.File("t.mvb");
    { MvbWriter w(path); }
    auto db = OpenRw(path);
    db->CreateTable("All", {F("A", dbBoolean), F("B", dbLong), F("C", dbCurrency), F("D", dbDouble),
                            F("E", dbDate), F("G", dbText), F("H", dbText, 12), F("I", dbMemo),
                            F("J", dbLongBinary)});
    EXPECT_EQ("BIT,LONG,CURRENCY,DOUBLE,DATETIME,TEXT(255),TEXT(12),MEMO,LONGBINARY",
              Scalar(path, "SELECT group_concat(type, ',') FROM pragma_table_info('All')"));
    EXPECT_EQ(3012, ErrorOf([&] { db->CreateTable("all", {F("A", dbLong)}); }));
    EXPECT_EQ(3367, ErrorOf([&] { db->CreateTable("Two", {F("A", dbLong), F("a", dbText)}); }));
    EXPECT_EQ(3259, ErrorOf([&] { db->CreateTable("Bad", {F("A", 99)}); }));
    db->CreateQuery("Q", "SELECT * FROM [All]");
    EXPECT_EQ(3012, ErrorOf([&] { db->CreateTable("q", {F("A", dbLong)}); }));
    int system = 0, user = 0;
    for (const CdbTableDefInfo& t : db->TableDefs()) {
        if (t.name == "MavroSysObjects" || t.name == "MavroSysIndexes" ||
            t.name == "MavroSysRelations")
            system += (t.attributes & dbSystemObject) == dbSystemObject;
        user += t.attributes == 0;
    }
    EXPECT_EQ(3, system);
    EXPECT_EQ(1, user);
    EXPECT_EQ("1,5", Scalar(path,
                            "SELECT group_concat(Kind, ',') FROM (SELECT Kind FROM "
                            "MavroSysObjects WHERE DateCreated > 40000 ORDER BY Kind)"));
}

TEST(DbSchema, FieldOrderRebuildsTheTableKeepingRowsKeysIndexesAndProperties) {
    TempFolder dir;
    std::string path = dir.File("o.mvb");
    {
        // Every row-id name taken: the layer gives the table its own key.
        MvbWriter w(path);
        w.Exec("CREATE TABLE T(rowid LONG, oid LONG, _rowid_ LONG, V TEXT(5))");
        w.Exec("INSERT INTO T VALUES (7, 8, 9, 'a'), (17, 18, 19, 'b')");
        w.Exec("DELETE FROM T WHERE V = 'a'");
        w.Exec("INSERT INTO T VALUES (27, 28, 29, 'c')");
        w.Property("T", "V", "MediaType", 1026);
    }
    auto db = OpenRw(path);
    db->OpenTable("T");  // gives the key
    CdbIndexInfo byV;
    byV.name = "ByV";
    byV.unique = true;
    byV.fields = {{"V", true}};
    db->CreateIndex("T", byV);
    std::string keys = Scalar(path, "SELECT group_concat(\"!RowKey\" || ':' || V) FROM T");
    std::string rowids = Scalar(path, "SELECT group_concat(\"_rowid_\" || V) FROM T");
    db->SetFieldOrdinal("T", "V", 0);
    EXPECT_EQ("V,rowid,oid,_rowid_", FieldNames(db.get(), "T"));
    db->SetFieldOrdinal("T", "V", 99);  // past the end: last
    EXPECT_EQ("rowid,oid,_rowid_,V", FieldNames(db.get(), "T"));
    db->SetFieldOrdinal("T", "oid", 0);
    EXPECT_EQ(0, db->GetFieldOrdinal("T", "oid"));
    EXPECT_EQ(keys, Scalar(path, "SELECT group_concat(\"!RowKey\" || ':' || V) FROM T"));
    EXPECT_EQ(rowids, Scalar(path, "SELECT group_concat(\"_rowid_\" || V) FROM T"));
    ASSERT_EQ(1u, db->Indexes("T").size());
    EXPECT_TRUE(db->Indexes("T")[0].fields[0].descending);
    EXPECT_EQ(3022, ErrorOf([&] { db->Connection()->Exec("INSERT INTO T(V) VALUES ('b')"); }));
    // The key's trigger still numbers records others add.
    db->Connection()->Exec("INSERT INTO T(V) VALUES ('d')");
    EXPECT_EQ("3", Scalar(path, "SELECT \"!RowKey\" FROM T WHERE V = 'd'"));
    VARIANT v;
    VariantInit(&v);
    db->GetProperty("T", "V", "MediaType", &v);
    EXPECT_EQ(1026, V_I4(&v));
}

TEST(DbSchema, ReplacedFieldKeepsItsPlaceAndTheValuesThatConvert) {
    TempFolder dir;
    std::string path = dir.File("r.mvb");
    {
        MvbWriter w(path);
        w.Exec("CREATE TABLE T(A LONG, B TEXT(10), C LONG)");
        w.Exec("INSERT INTO T VALUES (1, '12', 5), (2, 'abc', 6), (3, NULL, 7)");
        w.Property("T", "B", "MediaType", 1024);
    }
    auto db = OpenRw(path);
    db->ReplaceField("T", "B", F("B", dbLong));
    EXPECT_EQ("A,B,C", FieldNames(db.get(), "T"));
    EXPECT_EQ("12,-,-", Scalar(path, "SELECT group_concat(ifnull(B, '-')) FROM T"));
    EXPECT_EQ(3270, ErrorOf([&] {
                  VARIANT v;
                  VariantInit(&v);
                  db->GetProperty("T", "B", "MediaType", &v);
              }));
    db->ReplaceField("T", "C", F("Code", dbText));
    EXPECT_EQ("A,B,Code", FieldNames(db.get(), "T"));
    EXPECT_EQ("5,6,7", Scalar(path, "SELECT group_concat(Code) FROM T"));
    EXPECT_EQ("text", Scalar(path, "SELECT typeof(Code) FROM T LIMIT 1"));
    EXPECT_EQ(3367, ErrorOf([&] { db->ReplaceField("T", "A", F("b", dbLong)); }));
    EXPECT_EQ(3265, ErrorOf([&] { db->ReplaceField("T", "Z", F("Z", dbLong)); }));
}

TEST(DbSchema, FieldsAddedDroppedAndRenamed) {
    School s;
    CdbDatabase* db = s.db.get();
    db->AddField("Class", F("Code", dbLong), 0);
    EXPECT_EQ("Code,ID,Name", FieldNames(db, "Class"));
    db->AddField("Class", F("Room", dbText), -1);
    EXPECT_EQ("Code,ID,Name,Room", FieldNames(db, "Class"));
    EXPECT_EQ(3367, ErrorOf([&] { db->AddField("Class", F("room", dbLong), -1); }));
    EXPECT_EQ(3280, ErrorOf([&] { db->DeleteField("Class", "ID"); }));
    db->CreateRelation(s.ClassPupil(0));
    EXPECT_EQ(3303, ErrorOf([&] { db->DeleteField("Pupil", "ClassID"); }));
    db->RenameField("Pupil", "ClassID", "Klasse");
    // The relation follows the rename and is still enforced.
    EXPECT_EQ("Klasse", db->Relations()[0].fields[0].foreignName);
    EXPECT_EQ(3201, s.Run("INSERT INTO Pupil VALUES (9, 'x', 99)"));
    EXPECT_EQ(3191, ErrorOf([&] { db->RenameField("Pupil", "Klasse", "name"); }));
    db->DeleteField("Class", "Room");
    EXPECT_EQ("Code,ID,Name", FieldNames(db, "Class"));
}

TEST(DbSchema, IndexesUniquePrimaryRequiredAndTheirNames) {
    School s;
    CdbDatabase* db = s.db.get();
    CdbIndexInfo byName;
    byName.name = "ByName";
    byName.unique = true;
    byName.required = true;
    byName.fields = {{"Name", true}};
    db->CreateIndex("Pupil", byName);
    std::vector<CdbIndexInfo> list = db->Indexes("Pupil");
    ASSERT_EQ(1u, list.size());
    EXPECT_TRUE(list[0].unique && list[0].required && !list[0].primary);
    EXPECT_TRUE(list[0].fields[0].descending);
    EXPECT_EQ(3058, s.Run("INSERT INTO Pupil VALUES (5, NULL, 1)"));
    EXPECT_EQ(3058, s.Run("UPDATE Pupil SET Name = NULL WHERE PID = 1"));
    EXPECT_EQ(3022, s.Run("INSERT INTO Pupil VALUES (5, 'p', 1)"));
    // Jet names indexes per table: another table may use the same name.
    CdbIndexInfo other = byName;
    other.fields = {{"Name", false}};
    other.required = false;
    EXPECT_EQ(0, ErrorOf([&] { db->CreateIndex("Class", other); }));
    std::string before = Schema(s.path);
    struct {
        const char* table;
        const char* name;
        const char* field;
        bool primary, unique, required;
        long error;
    } cases[] = {
        {"Pupil", "byname", "PID", false, false, false, 3284},  // taken name
        {"Class", "Second", "Name", true, false, false, 3283},  // second primary
        {"Pupil", "Dup", "ClassID", false, true, false, 3022},  // existing duplicates
        {"Pupil", "Nothing", "Nope", false, false, false, 3265},
        {"Nope", "X", "ID", false, false, false, 3011},
    };
    s.Exec("INSERT INTO Class VALUES (4, NULL)");
    for (const auto& c : cases) {
        CdbIndexInfo i;
        i.name = c.name;
        i.primary = c.primary;
        i.unique = c.unique;
        i.required = c.required;
        i.fields = {{c.field, false}};
        EXPECT_EQ(c.error, ErrorOf([&] { db->CreateIndex(c.table, i); })) << c.name;
    }
    CdbIndexInfo nulls;
    nulls.name = "NamesGiven";
    nulls.required = true;
    nulls.fields = {{"Name", false}};
    EXPECT_EQ(3058, ErrorOf([&] { db->CreateIndex("Class", nulls); }));
    EXPECT_EQ(before, Schema(s.path));
    db->DeleteIndex("Pupil", "BYNAME");
    EXPECT_TRUE(db->Indexes("Pupil").empty());
    EXPECT_EQ(0, s.Run("INSERT INTO Pupil VALUES (5, NULL, 1)"));
    EXPECT_EQ(3265, ErrorOf([&] { db->DeleteIndex("Pupil", "ByName"); }));
}

TEST(DbSchema, RelationsEnforcedCascadedOrLeftAlone) {
    struct {
        long attributes;
        long deleteError;
        const char* pupilsAfterDelete;
        long rekeyError;
        const char* classOfMoved;
    } cases[] = {
        {0, 3200, "4", 3200, "2"},
        {dbRelationDeleteCascade, 0, "1", 3200, "2"},
        {dbRelationUpdateCascade, 3200, "4", 0, "20"},
        {dbRelationDeleteCascade | dbRelationUpdateCascade, 0, "1", 0, "20"},
        {dbRelationDontEnforce, 0, "4", 0, "2"},
    };
    for (const auto& c : cases) {
        School s;
        s.db->CreateRelation(s.ClassPupil(c.attributes));
        SCOPED_TRACE(c.attributes);
        EXPECT_EQ(c.rekeyError, s.Run("UPDATE Class SET ID = 20 WHERE ID = 2"));
        EXPECT_EQ(c.classOfMoved, Scalar(s.path, "SELECT ClassID FROM Pupil WHERE PID = 1"));
        s.Exec("UPDATE Class SET ID = 2 WHERE ID = 20");
        if (c.attributes == dbRelationUpdateCascade ||
            c.attributes == (dbRelationDeleteCascade | dbRelationUpdateCascade))
            s.Exec("UPDATE Pupil SET ClassID = 2 WHERE ClassID = 20");
        EXPECT_EQ(c.deleteError, s.Run("DELETE FROM Class WHERE ID = 2"));
        EXPECT_EQ(c.pupilsAfterDelete, s.Count("Pupil"));
        bool enforced = !(c.attributes & dbRelationDontEnforce);
        EXPECT_EQ(enforced ? 3201 : 0, s.Run("INSERT INTO Pupil VALUES (9, 'x', 99)"));
        EXPECT_EQ(0, s.Run("INSERT INTO Pupil VALUES (10, 'y', NULL)"));
        EXPECT_EQ(enforced ? 3201 : 0, s.Run("UPDATE Pupil SET ClassID = 77 WHERE PID = 10"));
        // The related field has an index of the relation, marked foreign.
        std::vector<CdbIndexInfo> indexes = s.db->Indexes("Pupil");
        ASSERT_EQ(1u, indexes.size());
        EXPECT_TRUE(indexes[0].foreign);
        EXPECT_EQ("ClassPupil", indexes[0].name);
        EXPECT_EQ(3281, ErrorOf([&] { s.db->DeleteIndex("Pupil", "ClassPupil"); }));
        EXPECT_EQ(3281, ErrorOf([&] { s.db->DeleteIndex("Class", "PrimaryKey"); }));
        // Rebuilt tables keep the relation's triggers.
        s.db->SetFieldOrdinal("Pupil", "ClassID", 0);
        s.db->SetFieldOrdinal("Class", "Name", 0);
        EXPECT_EQ(enforced ? 3201 : 0, s.Run("INSERT INTO Pupil(PID, ClassID) VALUES (12, 98)"));
        EXPECT_EQ(3303, ErrorOf([&] { s.db->DeleteTable("Pupil"); }));
        s.db->DeleteRelation("classpupil");
        EXPECT_TRUE(s.db->Indexes("Pupil").empty());
        s.db->DeleteIndex("Class", "PrimaryKey");
        EXPECT_EQ(0, s.Run("INSERT INTO Pupil VALUES (11, 'z', 99)"));
    }
}

TEST(DbSchema, RelationCreationChecksAndLeavesNothingBehind) {
    School s;
    CdbDatabase* db = s.db.get();
    s.db->CreateTable("Text", {F("Code", dbText)});
    db->CreateRelation(s.ClassPupil(0));
    std::string before = Schema(s.path);
    struct {
        const char* name;
        const char* table;
        const char* field;
        const char* foreignTable;
        const char* foreignField;
        long error;
    } cases[] = {
        {"classPUPIL", "Class", "ID", "Pupil", "PID", 3012},
        {"Types", "Text", "Code", "Pupil", "PID", 3368},
        {"NoKey", "Pupil", "PID", "Class", "ID", 3173},
        {"NoField", "Class", "Nope", "Pupil", "PID", 3409},
        {"NoTable", "Nope", "ID", "Pupil", "PID", 3011},
        {"Bad.Name", "Class", "ID", "Pupil", "PID", 3125},
    };
    for (const auto& c : cases) {
        CdbRelationInfo r;
        r.name = c.name;
        r.table = c.table;
        r.foreignTable = c.foreignTable;
        r.fields = {{c.field, c.foreignField}};
        EXPECT_EQ(c.error, ErrorOf([&] { db->CreateRelation(r); })) << c.name;
    }
    CdbRelationInfo uneven = s.ClassPupil(0);
    uneven.name = "Uneven";
    uneven.fields.clear();
    EXPECT_EQ(3368, ErrorOf([&] { db->CreateRelation(uneven); }));
    // Existing pupils of a class that is not there.
    db->DeleteRelation("ClassPupil");
    s.Exec("INSERT INTO Pupil VALUES (9, 'x', 99)");
    before = Schema(s.path);
    EXPECT_EQ(3378, ErrorOf([&] { db->CreateRelation(s.ClassPupil(0)); }));
    EXPECT_EQ(before, Schema(s.path));
    EXPECT_TRUE(db->Relations().empty());
}

TEST(DbSchema, TablesRenamedAndDeletedWithTheirCatalogueRows) {
    School s;
    CdbDatabase* db = s.db.get();
    db->CreateRelation(s.ClassPupil(dbRelationDeleteCascade));
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = 1024;
    db->SetProperty("Class", "Name", "MediaType", v);
    ASSERT_EQ(0, ErrorOf([&] { db->RenameTable("Class", "Klasse"); }));
    EXPECT_EQ("Klasse", db->Relations()[0].table);
    EXPECT_EQ(1u, db->Indexes("Klasse").size());
    s.Exec("DELETE FROM Klasse WHERE ID = 2");
    EXPECT_EQ("1", s.Count("Pupil"));
    VariantInit(&v);
    db->GetProperty("Klasse", "Name", "MediaType", &v);
    EXPECT_EQ(1024, V_I4(&v));
    EXPECT_EQ(3012, ErrorOf([&] { db->RenameTable("Klasse", "PUPIL"); }));
    ASSERT_EQ(0, ErrorOf([&] { db->RenameTable("Klasse", "KLASSE"); }));  // another case
    ASSERT_EQ(0, ErrorOf([&] { db->DeleteRelation("ClassPupil"); }));
    ASSERT_EQ(0, ErrorOf([&] { db->DeleteTable("klasse"); }));
    EXPECT_EQ("0", Scalar(s.path,
                          "SELECT count(*) FROM MavroSysIndexes WHERE TableName = "
                          "'KLASSE'"));
    EXPECT_EQ("0", Scalar(s.path, "SELECT count(*) FROM MavroSysProperties"));
    EXPECT_EQ(3011, ErrorOf([&] { db->DeleteTable("Klasse"); }));
}

TEST(DbSchema, QueriesStoredWithTheirTypesRenamedAndDeleted) {
    School s;
    CdbDatabase* db = s.db.get();
    struct {
        const char* sql;
        int type;
    } cases[] = {
        {"SELECT * FROM Pupil", 0},
        {"DELETE FROM Pupil", 32},
        {"UPDATE Pupil SET Name = 'x'", 48},
        {"INSERT INTO Class (ID) VALUES (9)", 64},
        {"SELECT * INTO Copy FROM Pupil", 80},
        {"CREATE TABLE X (A LONG)", 96},
        {"SELECT ID FROM Class UNION SELECT PID FROM Pupil", 128},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::string name = "Q" + std::to_string(n++);
        db->CreateQuery(name, c.sql);
        EXPECT_EQ(c.type, db->GetQueryType(name)) << c.sql;
    }
    // Stored, not run.
    EXPECT_EQ("4", s.Count("Pupil"));
    EXPECT_EQ(3012, ErrorOf([&] { db->CreateQuery("pupil", "SELECT 1"); }));
    EXPECT_EQ(3012, ErrorOf([&] { db->CreateQuery("q0", "SELECT 1"); }));
    EXPECT_EQ(3075, ErrorOf([&] { db->CreateQuery("Broken", "SELECT FROM WHERE (("); }));
    db->RenameQuery("Q0", "All pupils");
    EXPECT_EQ("SELECT * FROM Pupil", db->GetQuerySQL("all PUPILS"));
    EXPECT_EQ(3012, ErrorOf([&] { db->RenameQuery("All pupils", "Class"); }));
    db->DeleteQuery("All pupils");
    EXPECT_EQ(3265, ErrorOf([&] { db->GetQuerySQL("All pupils"); }));
    EXPECT_EQ(3265, ErrorOf([&] { db->DeleteQuery("All pupils"); }));
}

TEST(DbSchema, DamagedCatalogueRowsAreRefusedWith3343) {
    struct {
        const char* what;
        const char* sql;
        bool relations;
    } cases[] = {
        {"relation fields skip a number",
         "INSERT INTO MavroSysRelations VALUES ('R', 'Class', 'Pupil', 0, 1, 'ID', 'ClassID')",
         true},
        {"relation fields of two tables",
         "INSERT INTO MavroSysRelations VALUES ('R', 'Class', 'Pupil', 0, 0, 'ID', 'ClassID'),"
         " ('R', 'Pupil', 'Class', 0, 1, 'PID', 'ID')",
         true},
        {"an index row naming no index",
         "INSERT INTO MavroSysIndexes VALUES ('Pupil', 'Ghost', 'NoSuchIndex', 0, 0, 0, 0)", false},
        {"an index row naming another table's index",
         "INSERT INTO MavroSysIndexes SELECT 'Pupil', 'Stolen', SqlName, 0, 0, 0, 0 FROM "
         "MavroSysIndexes WHERE TableName = 'Class'",
         false},
    };
    for (const auto& c : cases) {
        School s;
        s.Exec(c.sql);
        EXPECT_EQ(3343, ErrorOf([&] {
                      if (c.relations)
                          s.db->Relations();
                      else
                          s.db->Indexes("Pupil");
                  }))
            << c.what;
    }
}

TEST(DbSchema, ConnectTextsSplitAtDatabaseAndPassword) {
    struct {
        const char* connect;
        bool ok;
        const char* prefix;
        const char* path;
        const char* password;
    } cases[] = {
        {";DATABASE=C:\\a.mvb", true, ";", "C:\\a.mvb", ""},
        {";DATABASE=C:\\a.mvb;PWD=x;y", true, ";", "C:\\a.mvb", ";PWD=x;y"},
        {"dBASE IV;DATABASE=C:\\dir", true, "dBASE IV;", "C:\\dir", ""},
        {"Excel 8.0;database=C:\\b.xls;pwd=", true, "Excel 8.0;", "C:\\b.xls", ";pwd="},
        {"ODBC;DSN=x", false, "", "", ""},
        {"no separator", false, "", "", ""},
    };
    for (const auto& c : cases) {
        std::string prefix, path, password;
        EXPECT_EQ(c.ok, CdbDatabase::SplitConnect(c.connect, &prefix, &path, &password))
            << c.connect;
        if (!c.ok)
            continue;
        EXPECT_EQ(c.prefix, prefix);
        EXPECT_EQ(c.path, path);
        EXPECT_EQ(c.password, password);
    }
    EXPECT_EQ(";DATABASE=p;PWD=s", CdbDatabase::ConnectText(dbSourceMvb, "p", "s"));
    EXPECT_EQ(";DATABASE=p", CdbDatabase::ConnectText(dbSourceMvb, "p", ""));
    EXPECT_EQ("dBASE III;DATABASE=f", CdbDatabase::ConnectText(dbSourceDBase3, "f", "s"));
    EXPECT_EQ("DSN=given", CdbDatabase::ConnectText(dbSourceOdbc, "DSN=given", ""));
}

TEST(DbSchema, LinksAndImportsOfAnotherMvbWithHostileNamesAndItsPassword) {
    TempFolder dir;
    // A folder and a table whose names would end or add SQL were they pasted.
    std::string folder = dir.File("a];pwd=x'");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string source = folder + "\\src';.mvb";
    const char* hostile = "t\"; DROP TABLE Pupil;--";
    {
        MvbWriter w(source);
        w.Exec("CREATE TABLE \"t\"\"; DROP TABLE Pupil;--\"(A LONG, B TEXT(5))");
        w.Exec("INSERT INTO \"t\"\"; DROP TABLE Pupil;--\" VALUES (1, 'x'), (2, 'y''z')");
        w.Password("pw;PWD=]'");
    }
    School s;
    std::string schema = Schema(s.path);
    EXPECT_EQ(3031,
              ErrorOf([&] { s.db->ImportTable("Imp", dbSourceMvb, source, "wrong", hostile); }));
    EXPECT_EQ(3011, ErrorOf([&] {
                  s.db->ImportTable("Imp", dbSourceMvb, source, "pw;PWD=]'", "missing");
              }));
    EXPECT_EQ(3024, ErrorOf([&] {
                  s.db->ImportTable("Imp", dbSourceMvb, folder + "\\none.mvb", "", hostile);
              }));
    EXPECT_EQ(schema, Schema(s.path));
    s.db->ImportTable("Imp", dbSourceMvb, source, "pw;PWD=]'", hostile);
    EXPECT_EQ("1x,2y'z", Scalar(s.path, "SELECT group_concat(A || B) FROM Imp"));
    EXPECT_EQ("LONG,TEXT(5)", Scalar(s.path,
                                     "SELECT group_concat(type) FROM "
                                     "pragma_table_info('Imp')"));
    EXPECT_EQ("4", s.Count("Pupil"));
    EXPECT_EQ(3012, ErrorOf([&] {
                  s.db->ImportTable("imp", dbSourceMvb, source, "pw;PWD=]'", hostile);
              }));
    // A link keeps the password in its connect text and reads with it.
    EXPECT_EQ(3031, ErrorOf([&] { s.db->CreateLink("L", dbSourceMvb, source, "bad", hostile); }));
    s.db->CreateLink("L", dbSourceMvb, source, "pw;PWD=]'", hostile);
    std::string connect, table;
    s.db->GetLink("L", &connect, &table);
    EXPECT_EQ(";DATABASE=" + source + ";PWD=pw;PWD=]'", connect);
    EXPECT_EQ(hostile, table);
    auto rs = s.db->OpenTable("L");
    EXPECT_EQ(2, rs->GetRecordCount());
    EXPECT_FALSE(rs->GetUpdatable());
    // Another connect text is kept only when it reads.
    EXPECT_EQ(3031, ErrorOf([&] { s.db->SetLinkConnect("L", ";DATABASE=" + source); }));
    s.db->GetLink("L", &connect, &table);
    EXPECT_EQ(";DATABASE=" + source + ";PWD=pw;PWD=]'", connect);
}

TEST(DbSchema, ExcelAndOdbcHaveNoDriverAndNameTheConnectText) {
    School s;
    std::string schema = Schema(s.path);
    struct {
        CdbSourceKind kind;
        const char* path;
        long error;
        const char* named;
    } cases[] = {
        {dbSourceExcel8, "C:\\book.xls", 3170, "Excel 8.0;DATABASE=C:\\book.xls"},
        {dbSourceOdbc, "ODBC;DSN=x", 3151, "ODBC;DSN=x"},
    };
    for (const auto& c : cases) {
        for (int import = 0; import < 2; ++import) {
            try {
                if (import)
                    s.db->ImportTable("X", c.kind, c.path, "", "Sheet1");
                else
                    s.db->CreateLink("X", c.kind, c.path, "", "Sheet1");
                ADD_FAILURE() << c.path;
            } catch (const CdbException& e) {
                EXPECT_EQ(c.error, e.Number());
                EXPECT_NE(std::string::npos, e.Description().find(c.named)) << e.Description();
            }
        }
    }
    EXPECT_EQ(schema, Schema(s.path));
}

namespace {

// dBASE III: ID N(5,0), AMOUNT N(8,2), NAME C(10), BORN D, OK L; three
// records, the second deleted.
std::vector<uint8_t> ThreePupils() {
    DbfWriter w(0x03,
                {{"ID", 'N', 5, 0},
                 {"AMOUNT", 'N', 8, 2},
                 {"NAME", 'C', 10, 0},
                 {"BORN", 'D', 8, 0},
                 {"OK", 'L', 1, 0}},
                3);
    w.Record(false, {"1", "12.50", "Ann", "20000101", "T"});
    w.Record(true, {"2", "3.00", "Gone", "19991231", "F"});
    w.Record(false, {"3", "-4.25", "Cid", "        ", "?"});
    return w.End().Vector();
}

}  // namespace

TEST(DbSchema, DbaseTablesLinkReadOnlyAndImportWithTheirTypes) {
    School s;
    std::string folder = s.dir.File("dbf ;']");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(folder + "\\PUPILS.DBF", ThreePupils()));
    s.db->CreateLink("Linked", dbSourceDBase3, folder, "", "PUPILS#DBF");
    auto rs = s.db->OpenTable("Linked");
    EXPECT_EQ(2, rs->GetRecordCount());
    EXPECT_FALSE(rs->GetUpdatable());
    s.db->ImportTable("Imported", dbSourceDBase3, folder, "", "pupils.dbf");
    EXPECT_EQ("LONG,DOUBLE,TEXT(10),DATETIME,BIT",
              Scalar(s.path, "SELECT group_concat(type) FROM pragma_table_info('Imported')"));
    EXPECT_EQ("1/12.5/Ann/36526/-1,3/-4.25/Cid/-/-",
              Scalar(s.path,
                     "SELECT group_concat(ID || '/' || AMOUNT || '/' || NAME || '/' || "
                     "ifnull(BORN, '-') || '/' || ifnull(OK, '-')) FROM Imported"));
    EXPECT_EQ(3024, ErrorOf([&] {
                  s.db->CreateLink("Missing", dbSourceDBase4, folder, "", "NONE#DBF");
              }));
}

TEST(DbSchema, FoxProTypesAndMemosReadAsTheyShould) {
    School s;
    // FoxPro 3.0: I (int32), B (double), Y (currency, 1/10000), T (Julian
    // day and milliseconds), M (memo block: Null).
    DbfWriter w(
        0x30,
        {{"I", 'I', 4, 0}, {"B", 'B', 8, 0}, {"Y", 'Y', 8, 0}, {"T", 'T', 8, 0}, {"M", 'M', 4, 0}},
        1);
    double half = 0.5;
    w.U8(' ').U32((uint32_t)-7).Bytes(&half, 8).U64(125000).U32(2451545).U32(43200000).U32(9);
    ASSERT_TRUE(WriteFileBytes(s.dir.File("FOX.DBF"), w.End().Vector()));
    s.db->ImportTable("Fox", dbSourceFoxPro30, s.dir.Path(), "", "FOX");
    // 2451545 is 2000-01-01 (36526), at noon.
    EXPECT_EQ("-7/0.5/12.5/36526.5/-",
              Scalar(s.path,
                     "SELECT I || '/' || B || '/' || Y || '/' || T || '/' || "
                     "ifnull(M, '-') FROM Fox"));
    EXPECT_EQ("LONG,DOUBLE,CURRENCY,DATETIME,MEMO",
              Scalar(s.path, "SELECT group_concat(type) FROM pragma_table_info('Fox')"));
}

TEST(DbSchema, DamagedDbaseHeadersAreRefusedWith3343) {
    std::vector<DbfFieldDef> fields = {{"ID", 'N', 5, 0}, {"NAME", 'C', 10, 0}};
    struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"more records counted than the file holds",
         DbfWriter(0x03, fields, 1, 1000).Record(false, {"1", "a"}).Vector()},
        {"a record count near 2^32",
         DbfWriter(0x03, fields, 1, 0xFFFFFFFFu).Record(false, {"1", "a"}).Vector()},
        {"a header longer than the file",
         DbfWriter(0x03, fields, 1, 0, 0xFFF0).Record(false, {"1", "a"}).Vector()},
        {"no field terminator inside the header",
         DbfWriter(0x03, fields, 1, 0, 64 + 16).Record(false, {"1", "a"}).Vector()},
        {"a field past the record",
         [&] {
             std::vector<uint8_t> b = DbfWriter(0x03, fields, 1).Record(false, {"1", "a"}).Vector();
             b[32 + 32 + 16] = 200;  // NAME's length
             return b;
         }()},
        {"only a header", std::vector<uint8_t>(20, 0)},
        {"no fields", DbfWriter(0x03, {}, 0).Vector()},
    };
    for (const auto& c : cases) {
        School s;
        ASSERT_TRUE(WriteFileBytes(s.dir.File("BAD.DBF"), c.bytes));
        std::string schema = Schema(s.path);
        EXPECT_EQ(3343, ErrorOf([&] {
                      s.db->ImportTable("Bad", dbSourceDBase3, s.dir.Path(), "", "BAD");
                  }))
            << c.what;
        EXPECT_EQ(3343, ErrorOf([&] {
                      s.db->CreateLink("Bad", dbSourceDBase3, s.dir.Path(), "", "BAD");
                  }))
            << c.what;
        EXPECT_EQ(schema, Schema(s.path)) << c.what;
    }
}
