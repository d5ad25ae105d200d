// The database layer against plain SQLite on 100,000 rows of eight types:
// a walk reading every field through the layer and through IDBCore slot 16,
// each against one prepared statement making the same VARIANTs; and 2,000
// record updates against autocommit UPDATEs. Then, each in a process of its
// own so that its peak memory is its own: the small field of ten records
// that hold 50 MB values; a DISTINCT over 1,000,000 rows; a walk of
// 1,000,000 rows of a table keyed by text against one keyed by row id; and
// stored queries declaring 10,000 and 40,000 parameters.
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "BenchFiles.h"
#include "MvbWriter.h"
#include "aDbEngine.h"
#include "aMavroBase.h"
#include "sqlite3.h"

namespace {

const int kRows = 100000;
const int kUpdates = 2000;
const char* kFields[] = {"ID", "Name", "Salary", "Hired", "Photo", "Note", "Active", "Pay"};
const int kTypes[] = {dbLong,       dbText, dbDouble,  dbDate,
                      dbLongBinary, dbMemo, dbBoolean, dbCurrency};

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

// Peak working set of this process in MB.
double PeakMegabytes() {
    PROCESS_MEMORY_COUNTERS c = {};
    c.cb = sizeof(c);
    GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof(c));
    return c.PeakWorkingSetSize / 1048576.0;
}

// ---- ten records of 50 MB

const int kBigRecords = 10;
const int kBigBytes = 50 << 20;

void WriteBig(const std::string& path) {
    DeleteFileA(path.c_str());
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE Media(ID LONG PRIMARY KEY, Small LONG, Photo LONGBINARY)",
                 nullptr, nullptr, nullptr);
    std::string chunk(1 << 20, 'x');
    for (int i = 0; i < kBigRecords; ++i) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO Media VALUES(?1, ?2, zeroblob(?3))", -1, &s, nullptr);
        sqlite3_bind_int(s, 1, i);
        sqlite3_bind_int(s, 2, i * 7);
        sqlite3_bind_int(s, 3, kBigBytes);
        sqlite3_step(s);
        sqlite3_finalize(s);
        sqlite3_blob* blob = nullptr;
        sqlite3_blob_open(db, "main", "Media", "Photo", sqlite3_last_insert_rowid(db), 1, &blob);
        for (int off = 0; off < kBigBytes; off += (int)chunk.size())
            sqlite3_blob_write(blob, chunk.data(), (int)chunk.size(), off);
        sqlite3_blob_close(blob);
    }
    sqlite3_close(db);
}

// Each side on a connection of its own, opened once: a statement prepared
// and walked, against a recordset opened and walked.
double ReferenceSmall(sqlite3* db, long long* check) {
    double t0 = Now();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT Small FROM Media ORDER BY ID", -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) {
        VARIANT v;
        DbValueToVariant(DbValueFromColumn(s, 0), dbLong, &v);
        *check += V_I4(&v);
    }
    sqlite3_finalize(s);
    return Now() - t0;
}

double LayerSmall(CdbDatabase* db, long long* check) {
    double t0 = Now();
    auto rs = db->OpenTable("Media");
    for (rs->MoveFirst(); !rs->GetEOF(); rs->MoveNext()) {
        VARIANT v;
        rs->GetValue("Small", &v);
        *check += V_I4(&v);
    }
    return Now() - t0;
}

void BigValues() {
    std::string path = TempPath("bench_db_big.mvb");
    WriteBig(path);
    long long a = 0, b = 0;
    double ref = 1e9, layer = 1e9;
    sqlite3* raw = nullptr;
    sqlite3_open(path.c_str(), &raw);
    auto db = CdbDatabase::Open(path, false, false, "");
    for (int run = 0; run < 20; ++run) {
        a = b = 0;
        ref = std::min(ref, ReferenceSmall(raw, &a));
        layer = std::min(layer, LayerSmall(db.get(), &b));
    }
    db.reset();
    sqlite3_close(raw);
    printf("%d records of %d MB, checks %s\n", kBigRecords, kBigBytes >> 20,
           a == b ? "equal" : "DIFFER");
    printf("reference small field %.6f s\n", ref);
    printf("layer small field     %.6f s  ratio %.2f (goal 2)  peak memory %.0f MB\n", layer,
           layer / ref, PeakMegabytes());
    DeleteFileA(path.c_str());
}

// ---- DISTINCT over 1,000,000 rows

const int kDistinctRows = 1000000;

void Distinct() {
    std::string path = TempPath("bench_db_distinct.mvb");
    DeleteFileA(path.c_str());
    {
        MvbWriter w(path);
        w.Exec("CREATE TABLE D(ID LONG PRIMARY KEY, Name TEXT(40), V LONG)");
        w.Exec("BEGIN");
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(w.Handle(), "INSERT INTO D VALUES(?1, ?2, ?3)", -1, &s, nullptr);
        for (int i = 0; i < kDistinctRows; ++i) {
            char name[64];
            snprintf(name, sizeof(name), "a distinct name for row %07d", i);
            sqlite3_bind_int(s, 1, i);
            sqlite3_bind_text(s, 2, name, -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(s, 3, i % 1000);
            sqlite3_step(s);
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        w.Exec("COMMIT");
        w.Query("Names", "SELECT DISTINCT Name, V FROM D");
    }
    double before = PeakMegabytes();
    long long a = 0, b = 0;
    double t0 = Now();
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT DISTINCT Name, V FROM D", -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW) a += sqlite3_column_int(s, 1);
        sqlite3_finalize(s);
        sqlite3_close(db);
    }
    double ref = Now() - t0;
    t0 = Now();
    {
        auto db = CdbDatabase::Open(path, false, false, "");
        auto rs = db->OpenQuery("Names", {});
        long n = 0;
        for (rs->MoveFirst(); !rs->GetEOF(); rs->MoveNext(), ++n) {
            VARIANT v;
            rs->GetValue(1, &v);
            b += V_I4(&v);
            rs->GetValue(0, &v);
            VariantClear(&v);
        }
        printf("DISTINCT rows %ld, checks %s\n", n, a == b ? "equal" : "DIFFER");
    }
    double layer = Now() - t0;
    printf("reference DISTINCT walk %.3f s\n", ref);
    printf(
        "layer DISTINCT walk     %.3f s  ratio %.2f  peak memory %.0f MB (goal under 64 MB; "
        "%.0f MB before the walk)\n",
        layer, layer / ref, PeakMegabytes(), before);
    DeleteFileA(path.c_str());
}

// ---- text keys against row ids

const int kKeyRows = 1000000;

// Opens a table through IDBCore and reads one field of every record by
// position, as the player walks a table.
double SlotTableWalk(const std::string& path, const char* table, long long* check, double* open) {
    CComPtr<IDBCore> db;
    CreateMavroBase(__uuidof(IDBCore), (void**)&db);
    db->InitDataBase(path.c_str(), "", "", 0, nullptr, nullptr);
    double t0 = Now();
    DataSourceDescriptor d = {};
    strcpy(d.sourceName, table);
    strcpy(d.fieldName, "V");
    int count = 0;
    db->GetDataSourceRecordCount(&d, &count);
    *open = Now() - t0;
    for (int i = 0; i < count; ++i) {
        d.position = i;
        VARIANT v;
        db->GetDataSourceFieldValue(&d, &v);
        *check += V_I4(&v);
    }
    return Now() - t0;
}

void Keys() {
    std::string path = TempPath("bench_db_keys.mvb");
    DeleteFileA(path.c_str());
    {
        MvbWriter w(path);
        w.Exec("CREATE TABLE ByText(Code TEXT(20) PRIMARY KEY, V LONG)");
        w.Exec("CREATE TABLE ByRow(Code TEXT(20), V LONG)");
        w.Exec("BEGIN");
        sqlite3_stmt* s = nullptr;
        sqlite3_stmt* r = nullptr;
        sqlite3_prepare_v2(w.Handle(), "INSERT INTO ByText VALUES(?1, ?2)", -1, &s, nullptr);
        sqlite3_prepare_v2(w.Handle(), "INSERT INTO ByRow VALUES(?1, ?2)", -1, &r, nullptr);
        // Codes in an order unlike the row order.
        for (int i = 0; i < kKeyRows; ++i) {
            char code[32];
            snprintf(code, sizeof(code), "code-%07d", (int)((i * 7919LL) % kKeyRows));
            for (sqlite3_stmt* st : {s, r}) {
                sqlite3_bind_text(st, 1, code, -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(st, 2, i);
                sqlite3_step(st);
                sqlite3_reset(st);
            }
        }
        sqlite3_finalize(s);
        sqlite3_finalize(r);
        w.Exec("COMMIT");
    }
    long long a = 0, b = 0;
    double rowOpen = 0, textOpen = 0;
    double byRow = SlotTableWalk(path, "ByRow", &a, &rowOpen);
    double byText = SlotTableWalk(path, "ByText", &b, &textOpen);
    printf("rows %d, checks %s\n", kKeyRows, a == b ? "equal" : "DIFFER");
    printf("row-id keyed open and walk %.3f s (open %.3f s)\n", byRow, rowOpen);
    printf("text keyed open and walk   %.3f s (open %.3f s)  ratio %.2f (goal 1.5)\n", byText,
           textOpen, byText / byRow);
    DeleteFileA(path.c_str());
}

// ---- many declared parameters

double OpenWithParameters(const std::string& path, int count) {
    DeleteFileA(path.c_str());
    double best = 1e9;
    {
        MvbWriter w(path);
        w.Exec("CREATE TABLE Big(ID LONG PRIMARY KEY, Name TEXT(40))");
        w.Exec("INSERT INTO Big VALUES(0, 'first'), (1, 'second')");
        std::string sql = "PARAMETERS ";
        for (int i = 0; i < count; ++i) sql += (i ? ", [p" : "[p") + std::to_string(i) + "] LONG";
        sql +=
            "; SELECT Name FROM Big WHERE ID = [p0] OR ID = [p" + std::to_string(count - 1) + "]";
        w.Query("Many", sql);
    }
    auto db = CdbDatabase::Open(path, false, false, "");
    for (int run = 0; run < 3; ++run) {
        double t0 = Now();
        std::vector<CdbParameter> params = db->QueryParameters("Many");
        for (CdbParameter& p : params) {
            V_VT(&p.value) = VT_I4;
            V_I4(&p.value) = atoi(p.name.c_str() + 1);
        }
        auto rs = db->OpenQuery("Many", params);
        best = std::min(best, Now() - t0);
        if (rs->GetRecordCount() != 1)
            printf("parameters %d: %ld records, not 1\n", count, rs->GetRecordCount());
    }
    return best;
}

void Parameters() {
    std::string path = TempPath("bench_db_params.mvb");
    double small = OpenWithParameters(path, 10000);
    double large = OpenWithParameters(path, 40000);
    printf("query of 10,000 parameters opens in %.3f s\n", small);
    printf("query of 40,000 parameters opens in %.3f s  ratio %.2f (linear: 4, goal under 6)\n",
           large, large / small);
    DeleteFileA(path.c_str());
}

// Runs this program again for one part, which then prints its own lines.
void RunPart(const char* part) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" " + part;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                        &pi)) {
        printf("%s: could not start\n", part);
        return;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        setvbuf(stdout, nullptr, _IONBF, 0);
        std::string part = argv[1];
        if (part == "big")
            BigValues();
        else if (part == "distinct")
            Distinct();
        else if (part == "keys")
            Keys();
        else if (part == "parameters")
            Parameters();
        return 0;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
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
    for (const char* part : {"big", "distinct", "keys", "parameters"}) RunPart(part);
    return 0;
}
