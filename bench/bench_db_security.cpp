// Security and conversion of the database layer against plain runs: a walk
// of every field of 100,000 rows as "pupil" on a secured copy against admin
// on the unsecured original (goal 1.1x); 2,000 updates the same way (goal
// 1.2x); converting 5,000 old records with 4 KB embedded pictures against a
// raw SQLite copy of the same blobs (goal 3x). Best of five runs each, taken
// in turns with the reference.
#include <windows.h>
#include <stdio.h>

#include <algorithm>
#include <memory>
#include <string>

#include "BenchClock.h"
#include "BenchFiles.h"
#include "aDbEngine.h"
#include "aMediaTypeDef.h"
#include "sqlite3.h"

namespace {

const int kRows = 100000;
const int kUpdates = 2000;
const int kPictures = 5000;
const int kPictureBytes = 4096;

void Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        fprintf(stderr, "%s: %s\n", sql, error ? error : "");
        sqlite3_free(error);
    }
}

void Bind(sqlite3* db, const char* sql, const std::string& a, const std::string& b) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    sqlite3_bind_blob(s, 1, a.data(), (int)a.size(), SQLITE_TRANSIENT);
    sqlite3_bind_blob(s, 2, b.data(), (int)b.size(), SQLITE_TRANSIENT);
    sqlite3_step(s);
    sqlite3_finalize(s);
}

// Best times of the reference and the measured run, taken in turns after
// one untimed call of each, so that a load that comes and goes weighs on
// both alike.
template <class R, class M>
void Compare(R&& reference, M&& measured, int runs, double* bestReference, double* bestMeasured) {
    reference();
    measured();
    *bestReference = *bestMeasured = 1e30;
    for (int i = 0; i < runs; ++i) {
        *bestReference = std::min(*bestReference, FastestRun(reference, 1));
        *bestMeasured = std::min(*bestMeasured, FastestRun(measured, 1));
    }
}

const std::string& Pupil() {
    static const std::string id = DbAccountIdentifier("pupil", "u");
    return id;
}

// The original, its secured copy and a workgroup with "pupil".
void WriteFiles(const std::string& plain, const std::string& secured, const std::string& wg) {
    DeleteFileA(plain.c_str());
    sqlite3* db = nullptr;
    sqlite3_open(plain.c_str(), &db);
    Exec(db,
         "CREATE TABLE MavroSysQueries(Name TEXT PRIMARY KEY, SQL TEXT NOT NULL);"
         "CREATE TABLE Scores(ID LONG PRIMARY KEY, Name TEXT(20), Mark LONG, Note TEXT(40));"
         "BEGIN;"
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)"
         " INSERT INTO Scores SELECT i, 'pupil ' || i, i % 100, 'note of ' || i FROM n;"
         "COMMIT;");
    sqlite3_close(db);
    CopyFileA(plain.c_str(), secured.c_str(), FALSE);
    sqlite3_open(secured.c_str(), &db);
    Exec(db,
         "CREATE TABLE MavroSysPermissions(Container TEXT NOT NULL, Document TEXT NOT NULL"
         " DEFAULT '', Identifier BLOB NOT NULL, Rights LONG NOT NULL, Inherit BIT NOT NULL"
         " DEFAULT 0, PRIMARY KEY(Container, Document, Identifier))");
    Bind(db, "INSERT INTO MavroSysPermissions VALUES ('Databases', '', ?1, 2, 0)", Pupil(), "");
    Bind(db, "INSERT INTO MavroSysPermissions VALUES ('Tables', 'Scores', ?1, 84, 0)", Pupil(), "");
    sqlite3_close(db);
    DeleteFileA(wg.c_str());
    sqlite3_open(wg.c_str(), &db);
    Exec(db,
         "CREATE TABLE MavroSysAccounts(Name TEXT PRIMARY KEY, Kind INTEGER NOT NULL,"
         " Identifier BLOB NOT NULL, Salt BLOB, Hash BLOB);"
         "CREATE TABLE MavroSysMembers(UserName TEXT NOT NULL, GroupName TEXT NOT NULL,"
         " PRIMARY KEY(UserName, GroupName));");
    std::string salt = "bench";
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO MavroSysAccounts VALUES ('pupil', 1, ?1, ?2, ?3)", -1, &s,
                       nullptr);
    std::string hash = DbPasswordHash(salt, "");
    sqlite3_bind_blob(s, 1, Pupil().data(), (int)Pupil().size(), SQLITE_TRANSIENT);
    sqlite3_bind_blob(s, 2, salt.data(), (int)salt.size(), SQLITE_TRANSIENT);
    sqlite3_bind_blob(s, 3, hash.data(), (int)hash.size(), SQLITE_TRANSIENT);
    sqlite3_step(s);
    sqlite3_finalize(s);
    sqlite3_close(db);
}

std::unique_ptr<CdbDatabase> OpenAs(const std::string& path, const std::string& wg) {
    CdbDBEngine engine;
    engine.SetSystemDB(wg);
    CdbWorkspace w(&engine, "MavroWorkspace", wg.empty() ? "admin" : "pupil", "");
    return w.OpenDatabase(path, false, false, "");
}

void Walk(CdbDatabase* db) {
    std::unique_ptr<CdbRecordset> rs = db->OpenTable("Scores");
    int fields = rs->FieldCount();
    VARIANT v;
    VariantInit(&v);
    for (; !rs->GetEOF(); rs->MoveNext())
        for (int f = 0; f < fields; ++f) {
            rs->GetValue(f, &v);
            VariantClear(&v);
        }
}

void Update(CdbDatabase* db) {
    std::unique_ptr<CdbRecordset> rs = db->OpenTable("Scores");
    VARIANT v;
    V_VT(&v) = VT_I4;
    for (int i = 0; i < kUpdates && !rs->GetEOF(); ++i, rs->MoveNext()) {
        rs->Edit();
        V_I4(&v) = i;
        rs->SetValue("Mark", v);
        rs->Update();
    }
}

// An old file: 5,000 records with embedded 4 KB pictures.
void WriteOld(const std::string& path) {
    DeleteFileA(path.c_str());
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    Exec(db,
         "CREATE TABLE MavroSysQueries(Name TEXT PRIMARY KEY, SQL TEXT NOT NULL);"
         "CREATE TABLE MavroMediaTypeDef(\"table\" TEXT(64), field TEXT(64), media_type LONG);"
         "INSERT INTO MavroMediaTypeDef VALUES ('Pics', 'Pic', 1);"
         "CREATE TABLE Pics(ID LONG PRIMARY KEY, Pic LONGBINARY);"
         "BEGIN");
    std::string picture(kPictureBytes, 'x');
    uint32_t n = kPictureBytes;
    // 5: not a link; 10: the picture's length; 14: "pic" and NUL; then the bytes.
    std::string old =
        std::string(10, '\0') + std::string((const char*)&n, 4) + std::string("pic", 4) + picture;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Pics VALUES (?1, ?2)", -1, &s, nullptr);
    for (int i = 0; i < kPictures; ++i) {
        sqlite3_bind_int(s, 1, i);
        sqlite3_bind_blob(s, 2, old.data(), (int)old.size(), SQLITE_STATIC);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    Exec(db, "COMMIT");
    sqlite3_close(db);
}

void RawCopy(const std::string& from, const std::string& to) {
    DeleteFileA(to.c_str());
    sqlite3* db = nullptr;
    sqlite3_open(to.c_str(), &db);
    Exec(db, "CREATE TABLE Pics(ID LONG PRIMARY KEY, Pic LONGBINARY)");
    sqlite3* src = nullptr;
    sqlite3_open_v2(from.c_str(), &src, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* r = nullptr;
    sqlite3_stmt* w = nullptr;
    sqlite3_prepare_v2(src, "SELECT ID, Pic FROM Pics", -1, &r, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO Pics VALUES (?1, ?2)", -1, &w, nullptr);
    Exec(db, "BEGIN");
    while (sqlite3_step(r) == SQLITE_ROW) {
        sqlite3_bind_int(w, 1, sqlite3_column_int(r, 0));
        sqlite3_bind_blob(w, 2, sqlite3_column_blob(r, 1), sqlite3_column_bytes(r, 1),
                          SQLITE_TRANSIENT);
        sqlite3_step(w);
        sqlite3_reset(w);
    }
    Exec(db, "COMMIT");
    sqlite3_finalize(r);
    sqlite3_finalize(w);
    sqlite3_close(src);
    sqlite3_close(db);
}

}  // namespace

int main() {
    std::string plain = TempPath("bench_sec_plain.mvb"), secured = TempPath("bench_sec.mvb"),
                wg = TempPath("bench_sec.mdw");
    WriteFiles(plain, secured, wg);
    {
        std::unique_ptr<CdbDatabase> admin = OpenAs(plain, "");
        std::unique_ptr<CdbDatabase> pupil = OpenAs(secured, wg);
        double reference = 0, measured = 0;
        Compare([&] { Walk(admin.get()); }, [&] { Walk(pupil.get()); }, 5, &reference, &measured);
        printf(
            "walk of %d rows as pupil, secured: %.3f s, admin unsecured %.3f s, ratio %.2f"
            " (goal 1.1)\n",
            kRows, measured, reference, measured / reference);
        Compare([&] { Update(admin.get()); }, [&] { Update(pupil.get()); }, 5, &reference,
                &measured);
        printf(
            "%d updates as pupil, secured: %.3f s, admin unsecured %.3f s, ratio %.2f"
            " (goal 1.2)\n",
            kUpdates, measured, reference, measured / reference);
    }
    std::string old = TempPath("bench_sec_old.mvb"), converted = TempPath("bench_sec_new.mvb"),
                raw = TempPath("bench_sec_raw.mvb");
    WriteOld(old);
    double reference = 0, measured = 0;
    Compare([&] { RawCopy(old, raw); },
            [&] {
                DeleteFileA(converted.c_str());
                CMediaTypeDef::Run(old.c_str(), converted.c_str(), nullptr);
            },
            5, &reference, &measured);
    printf(
        "converting %d records of %d-byte pictures: %.3f s, raw copy %.3f s, ratio %.2f"
        " (goal 3)\n",
        kPictures, kPictureBytes, measured, reference, measured / reference);
    for (const std::string& f : {plain, secured, wg, old, converted, raw}) DeleteFileA(f.c_str());
    return 0;
}
