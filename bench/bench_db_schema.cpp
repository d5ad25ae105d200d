// Design calls of the database layer against plain SQLite: 20,000 inserts
// into a table under an enforced cascading relation against the same
// inserts with no relation; a field's new type on 100,000 rows against an
// INSERT ... SELECT into a copy; an import of 100,000 rows of another file
// against ATTACH and INSERT ... SELECT. Best of seven runs each.
#include <windows.h>
#include <stdio.h>

#include <memory>
#include <string>

#include "BenchClock.h"
#include "BenchFiles.h"
#include "aDbEngine.h"
#include "sqlite3.h"

namespace {

const int kInserts = 20000;
const int kRows = 100000;

void Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        fprintf(stderr, "%s: %s\n", sql, error ? error : "");
        sqlite3_free(error);
    }
}

// An empty .mvb with its catalogue of queries, properties and links.
void NewFile(const std::string& path) {
    DeleteFileA(path.c_str());
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    Exec(db,
         "CREATE TABLE MavroSysQueries(Name TEXT PRIMARY KEY, SQL TEXT NOT NULL);"
         "CREATE TABLE MavroSysProperties(Object TEXT NOT NULL, Field TEXT NOT NULL DEFAULT '',"
         " Name TEXT NOT NULL, Value, PRIMARY KEY(Object, Field, Name));"
         "CREATE TABLE MavroSysLinks(Name TEXT PRIMARY KEY, Connect TEXT NOT NULL,"
         " SourceTable TEXT NOT NULL);");
    sqlite3_close(db);
}

CdbFieldSpec Field(const char* name, int type) {
    CdbFieldSpec f;
    f.name = name;
    f.type = type;
    return f;
}

// Class (100 keyed rows) and Pupil through the layer, with or without the
// relation that cascades deletes; then the timed inserts of pupils.
double Inserts(bool related) {
    std::string path = TempPath(related ? "bench_schema_rel.mvb" : "bench_schema_plain.mvb");
    NewFile(path);
    std::unique_ptr<CdbDatabase> db = CdbDatabase::Open(path, false, false, "");
    db->CreateTable("Class", {Field("ID", dbLong), Field("Name", dbText)});
    db->CreateTable("Pupil",
                    {Field("PID", dbLong), Field("Name", dbText), Field("ClassID", dbLong)});
    CdbIndexInfo key;
    key.name = "PrimaryKey";
    key.primary = true;
    key.fields = {{"ID", false}};
    db->CreateIndex("Class", key);
    sqlite3* h = db->Connection()->Handle();
    Exec(h, "BEGIN");
    for (int i = 0; i < 100; ++i)
        Exec(h, ("INSERT INTO Class VALUES (" + std::to_string(i) + ", 'c')").c_str());
    Exec(h, "COMMIT");
    if (related) {
        CdbRelationInfo r;
        r.name = "ClassPupil";
        r.table = "Class";
        r.foreignTable = "Pupil";
        r.attributes = dbRelationDeleteCascade;
        r.fields = {{"ID", "ClassID"}};
        db->CreateRelation(r);
    } else {
        // The same index on the related field, without the relation.
        CdbIndexInfo byClass;
        byClass.name = "ByClass";
        byClass.fields = {{"ClassID", false}};
        db->CreateIndex("Pupil", byClass);
    }
    int next = 0;
    return BestOf(
        [&] {
            Exec(h, "BEGIN");
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(h, "INSERT INTO Pupil VALUES (?1, 'pupil', ?2)", -1, &s, nullptr);
            for (int i = 0; i < kInserts; ++i, ++next) {
                sqlite3_bind_int(s, 1, next);
                sqlite3_bind_int(s, 2, next % 100);
                sqlite3_step(s);
                sqlite3_reset(s);
            }
            sqlite3_finalize(s);
            Exec(h, "COMMIT");
        },
        7);
}

void FillBig(sqlite3* db, const char* table) {
    Exec(db,
         (std::string("CREATE TABLE ") + table + "(ID LONG, Code LONG, Name TEXT(40))").c_str());
    Exec(db, "BEGIN");
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, (std::string("INSERT INTO ") + table + " VALUES (?1, ?2, ?3)").c_str(),
                       -1, &s, nullptr);
    for (int i = 0; i < kRows; ++i) {
        char name[32];
        snprintf(name, sizeof(name), "name %d", i);
        sqlite3_bind_int(s, 1, i);
        sqlite3_bind_int(s, 2, i * 7);
        sqlite3_bind_text(s, 3, name, -1, SQLITE_TRANSIENT);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    Exec(db, "COMMIT");
}

}  // namespace

int main() {
    double plain = Inserts(false);
    double related = Inserts(true);
    printf("inserts without a relation %.4f s\n", plain);
    printf("inserts under a cascading relation %.4f s  ratio %.2f (goal 1.3)\n", related,
           related / plain);

    // A field's type replaced: Code LONG becomes text, twice per run.
    std::string path = TempPath("bench_schema_replace.mvb");
    NewFile(path);
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        FillBig(db, "Big");
        sqlite3_close(db);
    }
    double reference = 0, layer = 0;
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        reference = BestOf(
            [&] {
                Exec(db,
                     "BEGIN; CREATE TABLE Copy(ID LONG, Code TEXT(255), Name TEXT(40));"
                     "INSERT INTO Copy(rowid, ID, Code, Name) SELECT rowid, ID, CAST(Code AS "
                     "TEXT), Name FROM Big; DROP TABLE Copy; COMMIT");
            },
            7);
        sqlite3_close(db);
    }
    {
        std::unique_ptr<CdbDatabase> db = CdbDatabase::Open(path, false, false, "");
        bool text = false;
        layer = BestOf(
            [&] {
                db->ReplaceField("Big", "Code", Field("Code", text ? dbLong : dbText));
                text = !text;
            },
            7);
    }
    printf("reference INSERT ... SELECT into a copy %.4f s\n", reference);
    printf("ReplaceField on %d rows %.4f s  ratio %.2f (goal 2)\n", kRows, layer,
           layer / reference);

    // An import of another file's table.
    std::string source = TempPath("bench_schema_source.mvb");
    NewFile(source);
    {
        sqlite3* db = nullptr;
        sqlite3_open(source.c_str(), &db);
        FillBig(db, "Big");
        sqlite3_close(db);
    }
    std::string target = TempPath("bench_schema_target.mvb");
    NewFile(target);
    {
        sqlite3* db = nullptr;
        sqlite3_open(target.c_str(), &db);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "ATTACH DATABASE ?1 AS src", -1, &s, nullptr);
        sqlite3_bind_text(s, 1, source.c_str(), -1, SQLITE_TRANSIENT);
        reference = BestOf(
            [&] {
                sqlite3_reset(s);
                sqlite3_step(s);
                Exec(db,
                     "BEGIN; CREATE TABLE Imp(ID LONG, Code LONG, Name TEXT(40));"
                     "INSERT INTO Imp(ID, Code, Name) SELECT ID, Code, Name FROM src.Big; "
                     "COMMIT; DROP TABLE Imp; DETACH DATABASE src");
            },
            7);
        sqlite3_finalize(s);
        sqlite3_close(db);
    }
    {
        std::unique_ptr<CdbDatabase> db = CdbDatabase::Open(target, false, false, "");
        layer = BestOf(
            [&] {
                db->ImportTable("Imp", dbSourceMvb, source, "", "Big");
                db->DeleteTable("Imp");
            },
            7);
    }
    printf("reference ATTACH and INSERT ... SELECT %.4f s\n", reference);
    printf("ImportTable of %d rows %.4f s  ratio %.2f (goal 1.2)\n", kRows, layer,
           layer / reference);
    for (const std::string& p : {TempPath("bench_schema_rel.mvb"),
                                 TempPath("bench_schema_plain.mvb"), path, source, target})
        DeleteFileA(p.c_str());
    return 0;
}
