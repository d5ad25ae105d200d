// The database layer against plain SQLite on 100,000 rows of eight types:
// a walk reading every field through the layer and through IDBCore slot 16,
// each against one prepared statement making the same VARIANTs; and 2,000
// record updates against autocommit UPDATEs.
#include <windows.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "aDbEngine.h"
#include "aMavroBase.h"
#include "sqlite3.h"

namespace {

const int kRows = 100000;
const int kUpdates = 2000;
const char* kFields[] = {"ID", "Name", "Salary", "Hired", "Photo", "Note", "Active", "Pay"};
const int kTypes[] = {dbLong,       dbText, dbDouble,  dbDate,
                      dbLongBinary, dbMemo, dbBoolean, dbCurrency};

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof(dir), dir);
    return std::string(dir) + name;
}

void Write(const std::string& path) {
    DeleteFileA(path.c_str());
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE Big(ID LONG PRIMARY KEY, Name TEXT(40), Salary DOUBLE, Hired "
                 "DATETIME, Photo LONGBINARY, Note MEMO, Active BIT, Pay CURRENCY); BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Big VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)", -1, &s,
                       nullptr);
    for (int i = 0; i < kRows; ++i) {
        char name[32], note[64];
        snprintf(name, sizeof(name), "name %d", i);
        snprintf(note, sizeof(note), "a longer note for record number %d", i);
        sqlite3_bind_int(s, 1, i);
        sqlite3_bind_text(s, 2, name, -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(s, 3, i * 1.5);
        sqlite3_bind_double(s, 4, 36526 + i % 5000);
        sqlite3_bind_blob(s, 5, note, 12, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 6, note, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s, 7, i % 2 ? -1 : 0);
        sqlite3_bind_double(s, 8, i * 0.25);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// One prepared statement making the same VARIANTs.
double ReferenceWalk(const std::string& path, long long* check) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    double t0 = Now();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT ID, Name, Salary, Hired, Photo, Note, Active, Pay FROM Big", -1,
                       &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int f = 0; f < 8; ++f) {
            VARIANT v;
            DbValueToVariant(DbValueFromColumn(s, f), kTypes[f], &v);
            *check += V_VT(&v);
            VariantClear(&v);
        }
    }
    sqlite3_finalize(s);
    double t = Now() - t0;
    sqlite3_close(db);
    return t;
}

double LayerWalk(const std::string& path, long long* check) {
    auto db = CdbDatabase::Open(path, false, false, "");
    double t0 = Now();
    auto rs = db->OpenTable("Big");
    for (rs->MoveFirst(); !rs->GetEOF(); rs->MoveNext()) {
        for (int f = 0; f < 8; ++f) {
            VARIANT v;
            rs->GetValue(f, &v);
            *check += V_VT(&v);
            VariantClear(&v);
        }
    }
    return Now() - t0;
}

double SlotWalk(const std::string& path, long long* check) {
    CComPtr<IDBCore> db;
    CreateMavroBase(__uuidof(IDBCore), (void**)&db);
    db->InitDataBase(path.c_str(), "", "", 0, nullptr, nullptr);
    double t0 = Now();
    DataSourceDescriptor d = {};
    strcpy(d.sourceName, "Big");
    for (int i = 0; i < kRows; ++i) {
        d.position = i;
        for (int f = 0; f < 8; ++f) {
            strcpy(d.fieldName, kFields[f]);
            VARIANT v;
            db->GetDataSourceFieldValue(&d, &v);
            *check += V_VT(&v);
            VariantClear(&v);
        }
    }
    return Now() - t0;
}

double ReferenceUpdates(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    double t0 = Now();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "UPDATE Big SET Salary = ?1 WHERE rowid = ?2", -1, &s, nullptr);
    for (int i = 0; i < kUpdates; ++i) {
        sqlite3_bind_double(s, 1, i * 3.0);
        sqlite3_bind_int(s, 2, i * 37 % kRows);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    double t = Now() - t0;
    sqlite3_close(db);
    return t;
}

double LayerUpdates(const std::string& path) {
    auto db = CdbDatabase::Open(path, false, false, "");
    auto rs = db->OpenTable("Big");
    double t0 = Now();
    for (int i = 0; i < kUpdates; ++i) {
        rs->SetAbsolutePosition(i * 37 % kRows);
        rs->Edit();
        VARIANT v;
        V_VT(&v) = VT_R8;
        V_R8(&v) = i * 5.0;
        rs->SetValue("Salary", v);
        rs->Update();
    }
    return Now() - t0;
}

}  // namespace

int main() {
    std::string path = TempPath("bench_db.mvb");
    Write(path);
    // Best of three runs each, interleaved, against the load of the machine.
    long long a = 0, b = 0, c = 0;
    double ref = 1e9, layer = 1e9, slot = 1e9;
    for (int run = 0; run < 3; ++run) {
        a = b = c = 0;
        ref = std::min(ref, ReferenceWalk(path, &a));
        layer = std::min(layer, LayerWalk(path, &b));
        slot = std::min(slot, SlotWalk(path, &c));
    }
    printf("rows %d, fields 8, checks %s\n", kRows, a == b && b == c ? "equal" : "DIFFER");
    printf("reference walk  %.3f s\n", ref);
    printf("layer walk      %.3f s  ratio %.2f (limit 2)\n", layer, layer / ref);
    printf("slot 16 walk    %.3f s  ratio %.2f (limit 4)\n", slot, slot / ref);
    double refUp = ReferenceUpdates(path);
    double layerUp = LayerUpdates(path);
    printf("reference updates %.3f s\n", refUp);
    printf("layer updates     %.3f s  ratio %.2f (limit 1.5)\n", layerUp, layerUp / refUp);
    DeleteFileA(path.c_str());
    return 0;
}
