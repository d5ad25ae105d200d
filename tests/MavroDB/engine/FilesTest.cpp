// How the layer holds files: linked files attached once each, the attach
// limit, exclusive opens against other holders, and one change count per
// file whatever path spells it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "../core/StaffDatabase.h"
#include "TestFiles.h"
#include "DbErrorOf.h"
#include "aDbEngine.h"
#include "sqlite3.h"

namespace {

VARIANT Double(double d) {
    VARIANT v;
    V_VT(&v) = VT_R8;
    V_R8(&v) = d;
    return v;
}

double SalaryAt(CdbRecordset* rs, long position) {
    rs->SetAbsolutePosition(position);
    VARIANT v;
    rs->GetValue("Salary", &v);
    return V_VT(&v) == VT_R8 ? V_R8(&v) : -1;
}

void SetSalary(CdbRecordset* rs, long position, double salary) {
    rs->SetAbsolutePosition(position);
    rs->Edit();
    VARIANT v = Double(salary);
    rs->SetValue("Salary", v);
    rs->Update();
}

int AttachedFiles(CdbDatabase* db) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db->Connection()->Handle(), "PRAGMA database_list", -1, &s, nullptr);
    int n = 0;
    while (sqlite3_step(s) == SQLITE_ROW)
        if (std::string((const char*)sqlite3_column_text(s, 1)) != "temp")
            ++n;
    sqlite3_finalize(s);
    return n - 1;
}

}  // namespace

TEST(LinkedFiles, EachFileIsAttachedOnceAndTheOpenFileNever) {
    TempFolder dir;
    std::string other = StaffFile(dir.File("other.mvb"));
    std::string path = dir.File("main.mvb");
    {
        MvbWriter w(path);
        WriteStaff(w);
        w.Link("People", ";DATABASE=" + Utf8OfAnsi(other), "Staff");
        w.Link("Sales", ";DATABASE=" + Utf8OfAnsi(other), "Orders");
        w.Link("Own", ";DATABASE=" + Utf8OfAnsi(path), "Orders");
    }
    auto db = CdbDatabase::Open(path, false, false, "");
    for (const char* link : {"People", "Sales", "Own"}) {
        auto rs = db->OpenTable(link);
        EXPECT_EQ(3, rs->GetRecordCount()) << link;
        VARIANT v;
        rs->MoveLast();
        rs->GetValue(0, &v);
        VariantClear(&v);
    }
    EXPECT_EQ(1, AttachedFiles(db.get()));
    // Local writes take their lock as before.
    auto staff = db->OpenTable("Staff");
    EXPECT_EQ(0, ErrorOf([&] { SetSalary(staff.get(), 0, 11); }));
    auto orders = db->OpenTable("Orders");
    orders->AddNew();
    VARIANT id = Double(13);
    orders->SetValue("OrderID", id);
    EXPECT_EQ(0, ErrorOf([&] { orders->Update(); }));
    EXPECT_EQ(4, db->OpenTable("Own")->GetRecordCount());
}

TEST(LinkedFiles, UpTo125FilesAttachThenMoreAreRefusedAsJetDoes) {
    TempFolder dir;
    const int kFiles = 126;
    std::string path = dir.File("main.mvb");
    {
        MvbWriter w(path);
        for (int i = 0; i < kFiles; ++i) {
            std::string file = dir.File("f" + std::to_string(i) + ".mvb");
            {
                MvbWriter f(file);
                f.Exec("CREATE TABLE T(N LONG)");
                f.Exec("INSERT INTO T VALUES(" + std::to_string(i) + ")");
            }
            w.Link("L" + std::to_string(i), ";DATABASE=" + Utf8OfAnsi(file), "T");
        }
    }
    auto db = CdbDatabase::Open(path, false, false, "");
    for (int i = 0; i < kFiles - 1; ++i) {
        std::unique_ptr<CdbRecordset> rs;
        ASSERT_EQ(0, ErrorOf([&] { rs = db->OpenTable("L" + std::to_string(i)); })) << i;
        VARIANT v;
        rs->GetValue("N", &v);
        EXPECT_EQ(i, V_I4(&v));
    }
    EXPECT_EQ(dbErrTooManyDatabases, ErrorOf([&] { db->OpenTable("L125"); }));
    // Files attached already stay readable.
    EXPECT_EQ(1, db->OpenTable("L7")->GetRecordCount());
}

TEST(ExclusiveOpen, RefusedWhileAnyOtherConnectionHoldsTheFile) {
    TempFolder dir;
    std::string path = StaffFile(dir.File("s.mvb"));
    std::string readOnlyPath = StaffFile(dir.File("r.mvb"));
    SetFileAttributesA(readOnlyPath.c_str(), FILE_ATTRIBUTE_READONLY);
    struct Holder {
        const char* what;
        std::function<std::shared_ptr<void>()> open;
        bool exclusiveReadOnlyRefused;
    };
    auto layer = [&](bool readOnly) {
        return std::shared_ptr<void>(CdbDatabase::Open(path, false, readOnly, "").release(),
                                     [](void* p) { delete (CdbDatabase*)p; });
    };
    auto plain = [&](int flags) {
        sqlite3* raw = nullptr;
        EXPECT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &raw, flags, nullptr));
        return std::shared_ptr<void>(raw, [](void* p) { sqlite3_close((sqlite3*)p); });
    };
    Holder holders[] = {
        {"layer", [&] { return layer(false); }, true},
        {"layer read-only", [&] { return layer(true); }, false},
        {"plain SQLite", [&] { return plain(SQLITE_OPEN_READWRITE); }, true},
        {"plain SQLite read-only", [&] { return plain(SQLITE_OPEN_READONLY); }, false},
    };
    for (const Holder& h : holders) {
        std::shared_ptr<void> held = h.open();
        EXPECT_EQ(dbErrCouldNotUse, ErrorOf([&] { CdbDatabase::Open(path, true, false, ""); }))
            << h.what;
        // A read-only exclusive open only keeps writers out.
        EXPECT_EQ(h.exclusiveReadOnlyRefused ? dbErrCouldNotUse : 0,
                  ErrorOf([&] { CdbDatabase::Open(path, true, true, ""); }))
            << h.what;
    }
    // The holder kept its reads.
    auto shared = CdbDatabase::Open(path, false, false, "");
    auto rs = shared->OpenTable("Staff");
    EXPECT_EQ(dbErrCouldNotUse, ErrorOf([&] { CdbDatabase::Open(path, true, false, ""); }));
    EXPECT_EQ(1000.5, SalaryAt(rs.get(), 0));
    rs.reset();
    shared.reset();
    // Alone it is exclusive, and others stay out while it is open.
    auto excl = CdbDatabase::Open(path, true, false, "");
    EXPECT_EQ(dbErrFileInUse, ErrorOf([&] { CdbDatabase::Open(path, false, false, ""); }));
    EXPECT_EQ(dbErrCouldNotUse, ErrorOf([&] { CdbDatabase::Open(path, true, false, ""); }));
    sqlite3* raw = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr));
    EXPECT_EQ(SQLITE_BUSY,
              sqlite3_exec(raw, "SELECT count(*) FROM Staff", nullptr, nullptr, nullptr) & 0xFF);
    sqlite3_close(raw);
    EXPECT_EQ(2000, SalaryAt(excl->OpenTable("Staff").get(), 1));
    // Two read-only exclusive opens of a read-only file share it.
    auto first = CdbDatabase::Open(readOnlyPath, true, true, "");
    EXPECT_EQ(0, ErrorOf([&] { CdbDatabase::Open(readOnlyPath, true, true, ""); }));
    first.reset();
    SetFileAttributesA(readOnlyPath.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ChangeCount, IsSharedByEveryPathThatSpellsTheFile) {
    TempFolder dir;
    std::string path = StaffFile(dir.File("staff database.mvb"));
    std::string hardLink = dir.File("alias.mvb");
    ASSERT_TRUE(CreateHardLinkA(hardLink.c_str(), path.c_str(), nullptr));
    char shortPath[MAX_PATH] = {};
    GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    std::string spellings[] = {hardLink, "\\\\?\\" + path, shortPath,
                               dir.Path() + "\\.\\STAFF DATABASE.MVB"};
    double salary = 100;
    for (const std::string& other : spellings) {
        ASSERT_FALSE(other.empty());
        auto a = CdbDatabase::Open(path, false, false, "");
        auto b = CdbDatabase::Open(other, false, false, "");
        auto ra = a->OpenTable("Staff");
        auto rb = b->OpenTable("Staff");
        SalaryAt(rb.get(), 0);
        salary += 1;
        SetSalary(ra.get(), 0, salary);
        EXPECT_EQ(salary, SalaryAt(rb.get(), 0)) << other;
        SetSalary(rb.get(), 0, salary + 0.5);
        EXPECT_EQ(salary + 0.5, SalaryAt(ra.get(), 0)) << other;
    }
}
