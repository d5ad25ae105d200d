#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DBTestSite.h"
#include "StaffDatabase.h"
#include "TestFiles.h"
#include "aBaseCore.h"
#include "aDBModule.h"
#include "aDBResource.h"
#include "bMsgBox.h"
#include "sqlite3.h"
#include "QueuedBoxes.h"

namespace {

using Boxes = QueuedBoxes;

// Types a login (name, password) into every login dialog.
struct Login {
    static std::string& Name() {
        static std::string n;
        return n;
    }
    static std::string& Password() {
        static std::string p;
        return p;
    }
    PFNDIALOGHANDLER old;
    Login(const std::string& name, const std::string& password) {
        Name() = name;
        Password() = password;
        old = SetDialogHandler([](int id, HWND dlg) -> INT_PTR {
            if (id != IDD_DB_USERINFO)
                return IDCANCEL;
            SetDlgItemTextA(dlg, IDC_DB_USER_NAME, Name().c_str());
            SetDlgItemTextA(dlg, IDC_DB_USER_SECOND, Password().c_str());
            SendMessageA(dlg, WM_COMMAND, IDOK, 0);
            return IDOK;
        });
    }
    ~Login() { SetDialogHandler(old); }
};

std::string Resource235() {
    HMODULE module = GetDBModule();
    HRSRC r = FindResourceA(module, MAKEINTRESOURCEA(IDR_DB_WORKGROUP), "MDWFILE");
    if (!r)
        return std::string();
    const char* p = (const char*)LockResource(LoadResource(module, r));
    return std::string(p, SizeofResource(module, r));
}

// Rows of a file's permission table: "container|document|rights|inherit"
// for an identifier.
std::vector<std::string> Grants(const std::string& path, const std::string& identifier) {
    std::vector<std::string> out;
    sqlite3* db = nullptr;
    sqlite3_open_v2(Utf8OfAnsi(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT Container, Document, Rights, Inherit FROM MavroSysPermissions"
                           " WHERE Identifier = ?1 ORDER BY Container, Document",
                           -1, &s, nullptr) == SQLITE_OK) {
        sqlite3_bind_blob(s, 1, identifier.data(), (int)identifier.size(), SQLITE_TRANSIENT);
        while (sqlite3_step(s) == SQLITE_ROW) {
            char rights[16];
            snprintf(rights, sizeof(rights), "0x%llX", (long long)sqlite3_column_int64(s, 2));
            out.push_back(std::string((const char*)sqlite3_column_text(s, 0)) + "|" +
                          (const char*)sqlite3_column_text(s, 1) + "|" + rights + "|" +
                          std::to_string(sqlite3_column_int(s, 3)));
        }
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}

struct Session {
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    HRESULT Init(const std::string& path, const std::string& wg, const char* password, int flags) {
        return db->InitDataBase(path.c_str(), wg.c_str(), password, flags, &site, window.Handle());
    }
    CDBCore* Core() { return GetDBCore(); }
};

}  // namespace

TEST(DBSecurity, CreatingOverAnExistingFileAsksFirst) {
    TempFolder dir;
    std::string path = StaffFile(dir.File("old.mvb"));
    std::string before = ReadFileBytes(path);
    {
        // No: nothing is made and the old file stays as it was.
        Boxes boxes({IDNO});
        LogCapture log;
        Session s;
        EXPECT_EQ(DB_E_FAILED, s.Init(path, "", "", DB_INIT_CREATE));
        ASSERT_EQ(1u, Boxes::Texts().size());
        EXPECT_EQ(DBLoadString(IDS_DB_REPLACE_DATABASE), Boxes::Texts()[0]);
        EXPECT_LOGGED(log, "Initial DB (create db single) fail: ");
        EXPECT_EQ(before, ReadFileBytes(path));
    }
    {
        // Yes: a new empty database, opened.
        Boxes boxes({IDYES});
        Session s;
        EXPECT_EQ(S_OK, s.Init(path, "", "", DB_INIT_CREATE));
        int count = -1;
        EXPECT_EQ(S_OK, s.db->GetDataSourceCount(&count));
        EXPECT_EQ(0, count);
        EXPECT_EQ(1u, Boxes::Texts().size());
    }
    // The new file opens as a plain database.
    Session again;
    EXPECT_EQ(S_OK, again.Init(path, "", "", 0));
}

TEST(DBSecurity, SingleUserCreationRecordsTheLocaleAndIgnoresPasswordAndWorkgroup) {
    TempFolder dir;
    std::string path = dir.File("one.mvb");
    std::string wg = dir.File("one.mdw");
    Session s;
    ASSERT_EQ(S_OK, s.Init(path, wg, "k9", DB_INIT_CREATE));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(wg.c_str()));
    CdbDatabase* db = s.Core()->GetDatabase();
    VARIANT v;
    VariantInit(&v);
    db->GetProperty("", "", "CollatingOrder", &v);
    EXPECT_EQ(VT_I4, V_VT(&v));
    EXPECT_EQ(0x0804, V_I4(&v));
    // Text compares in the file's collating order, without case.
    ASSERT_EQ(1, s.Core()->CreateQuery("SELECT 1 AS One WHERE 'abc' = 'ABC'", "Same", 0));
    std::unique_ptr<CdbRecordset> rs = db->OpenQuery("Same", {});
    EXPECT_FALSE(rs->GetEOF());
    // No password: another open needs none.
    s.db.Release();
    Session again;
    EXPECT_EQ(S_OK, again.Init(path, "", "", 0));
}

TEST(DBSecurity, MultiUserCreationWritesTheWorkgroupAndTheFirstPermissions) {
    TempFolder dir;
    std::string path = dir.File("multi.mvb");
    std::string wg = dir.File("multi.mdw");
    {
        Session s;
        ASSERT_EQ(S_OK, s.Init(path, wg, "k9", DB_INIT_CREATE | DB_INIT_MULTIUSER));
    }
    std::string resource = Resource235();
    ASSERT_FALSE(resource.empty());
    EXPECT_EQ(resource, ReadFileBytes(wg));
    // The resource is an SQLite file of whole pages (page size at 16, big
    // endian; page count at 28).
    ASSERT_GE(resource.size(), 100u);
    EXPECT_EQ(0, memcmp(resource.data(), "SQLite format 3", 16));
    const unsigned char* h = (const unsigned char*)resource.data();
    size_t pageSize = (size_t)(h[16] << 8 | h[17]);
    size_t pages = (size_t)h[28] << 24 | h[29] << 16 | h[30] << 8 | h[31];
    EXPECT_EQ(pageSize * pages, resource.size());

    std::string admins = AccountIdentifier("Admins"), admin = AccountIdentifier("admin"),
                users = AccountIdentifier("Users");
    std::vector<std::string> full = {"Databases||0xFFFFF|1", "Relationships||0xFFFFF|1",
                                     "Tables||0xFFFFF|1"};
    EXPECT_EQ(full, Grants(path, admins));
    EXPECT_EQ(full, Grants(path, admin));
    std::vector<std::string> forUsers = {"Databases||0xF|1", "Relationships||0xFFFFF|1",
                                         "Tables||0x20005|1"};
    EXPECT_EQ(forUsers, Grants(path, users));

    // Only "k9" opens it; a table made afterwards inherits the rows.
    {
        // The engine's text, then 57772: Cancel.
        Boxes boxes({IDOK, IDCANCEL});
        Login login("admin", "");
        Session s;
        EXPECT_EQ(DB_E_FAILED, s.Init(path, wg, "k8", DB_INIT_MULTIUSER));
        ASSERT_EQ(2u, Boxes::Texts().size());
        EXPECT_NE(std::string::npos, Boxes::Texts()[0].find("password"));
    }
    Login login("admin", "");
    Session s;
    ASSERT_EQ(S_OK, s.Init(path, wg, "k9", DB_INIT_MULTIUSER));
    TableFieldSpec f;
    f.name = "Mark";
    f.type = 1;
    ASSERT_EQ(1, s.Core()->CreateTable({&f}, "Scores"));
    long word = 0;
    EXPECT_EQ(1, s.Core()->GetPermissions("Users", "Scores", &word));
    EXPECT_EQ(0x20005, word);
    EXPECT_EQ(1, s.Core()->GetPermissions("Admins", "Scores", &word));
    EXPECT_EQ(0xFFFFF, word);
    std::vector<std::string> scores = Grants(path, users);
    EXPECT_NE(scores.end(), std::find(scores.begin(), scores.end(), "Tables|Scores|0x20005|0"));
}

TEST(DBSecurity, WorkgroupFileIsReplacedWholeOrNotAtAll) {
    TempFolder dir;
    std::string wg = dir.File("sys.mdw");
    {
        HANDLE h = CreateFileA(wg.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        std::string big(100000, 'x');
        WriteFile(h, big.data(), (DWORD)big.size(), &n, nullptr);
        CloseHandle(h);
    }
    EXPECT_EQ(1, CDBCore::ExtractWorkgroupFile(wg.c_str()));
    EXPECT_EQ(Resource235(), ReadFileBytes(wg));
    // Failures answer 0 and leave what was there.
    HANDLE held =
        CreateFileA(wg.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, CDBCore::ExtractWorkgroupFile(wg.c_str()));
    CloseHandle(held);
    EXPECT_EQ(Resource235(), ReadFileBytes(wg));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((wg + ".new").c_str()));
    EXPECT_EQ(0, CDBCore::ExtractWorkgroupFile(dir.File("missing\\sys.mdw").c_str()));
    EXPECT_EQ(0, CDBCore::ExtractWorkgroupFile(""));
    // A multi-user creation whose workgroup cannot be written fails.
    Session s;
    LogCapture log;
    EXPECT_EQ(DB_E_FAILED, s.Init(dir.File("m.mvb"), dir.File("missing\\sys.mdw"), "k9",
                                  DB_INIT_CREATE | DB_INIT_MULTIUSER));
    EXPECT_LOGGED(log, "Initial DB (create db multi) fail: ");
}

TEST(DBSecurity, SecuredFileNeedsAWorkgroupLogin) {
    TempFolder dir;
    std::string path = StaffFile(dir.File("secured.mvb"));
    {
        MvbWriter w(path);
        WriteStaff(w);
        w.Permission("Databases", "", AccountIdentifier("Users"), 2);
    }
    Boxes boxes;
    Session s;
    EXPECT_EQ(DB_E_FAILED, s.Init(path, "", "", 0));
    ASSERT_EQ(1u, Boxes::Texts().size());
    EXPECT_NE(std::string::npos, Boxes::Texts()[0].find("permission"));
}

TEST(DBSecurity, DatabasePasswordChangeThroughSlot4) {
    TempFolder dir;
    std::string path = dir.File("pw.mvb");
    {
        MvbWriter w(path);
        WriteStaff(w);
        w.Password("old");
    }
    struct Step {
        const char* current;  // opens the file now
        const char* oldPassword;
        const char* newPassword;
        HRESULT result;
        const char* after;  // opens the file afterwards
    } steps[] = {
        {"old", "wrong", "new", E_FAIL, "old"},  // 3031, nothing changed
        {"old", "old", "new", S_OK, "new"},
        {"new", "new", "", S_OK, ""},  // empty removes it
        {"", "", "again", S_OK, "again"},
    };
    for (const Step& st : steps) {
        Boxes boxes;
        {
            Session s;
            ASSERT_EQ(S_OK, s.Init(path, "", st.current, 0));
            EXPECT_EQ(st.result, s.db->ChangeDatabasePassword(st.oldPassword, st.newPassword))
                << st.oldPassword;
            if (st.result != S_OK) {
                ASSERT_EQ(1u, Boxes::Texts().size());
                EXPECT_NE(std::string::npos, Boxes::Texts()[0].find("password"));
            }
        }
        Session s;
        EXPECT_EQ(S_OK, s.Init(path, "", st.after, 0)) << st.after;
        EXPECT_TRUE(Boxes::Texts().size() <= 1u);
    }
}

TEST(DBSecurity, StoredQueriesReadNoCatalogueAndRunNoPragma) {
    TempFolder dir;
    std::string path = dir.File("q.mvb");
    {
        MvbWriter w(path);
        WriteStaff(w);
        // An empty permission table: the file is not secured.
        w.Exec(
            "CREATE TABLE MavroSysPermissions(Container TEXT, Document TEXT, Identifier BLOB,"
            " Rights LONG, Inherit BIT)");
        w.Query("Perm", "SELECT * FROM MavroSysPermissions");
        w.Query("Props", "SELECT * FROM Staff, MavroSysProperties");
        w.Query("Sub", "SELECT * FROM Staff WHERE ID IN (SELECT 1 FROM MavroSysQueries)");
        // SQLite's own tables tell every table's design, whatever the rights.
        w.Query("Master", "SELECT * FROM sqlite_master");
        w.Query("Schema", "SELECT name FROM sqlite_schema WHERE type = 'table'");
        // A linked file, once attached, is read through its link only.
        w.Link("Far", ";DATABASE=" + dir.File("far.mvb"), "T");
        w.Query("Attached", "SELECT * FROM link1.T");
    }
    {
        MvbWriter linked(dir.File("far.mvb"));
        linked.Exec("CREATE TABLE T(ID LONG)");
    }
    Boxes boxes;
    Session s;
    ASSERT_EQ(S_OK, s.Init(path, "", "", 0));
    CdbDatabase* db = s.Core()->GetDatabase();
    db->OpenTable("Far");
    for (const char* q : {"Perm", "Props", "Sub", "Master", "Schema", "Attached"}) {
        long number = 0;
        try {
            db->OpenQuery(q, {});
        } catch (const CdbException& e) {
            number = e.Number();
        }
        EXPECT_EQ(3112, number) << q;
    }
    // The layer's own reads go on.
    EXPECT_EQ(S_OK, s.db->IsQueryName("Perm"));
    std::unique_ptr<CdbRecordset> rs = db->OpenQuery("Rich", {});
    EXPECT_FALSE(rs->GetEOF());
    // A query's SQL is kept as written, spacing, case and brackets.
    std::string sql = "select  [ID] ,Name\r\nFROM   [Staff]  WHERE Name <> \"x\"  ";
    db->CreateQuery("Kept", sql);
    EXPECT_EQ(sql, db->GetQuerySQL("Kept"));
    EXPECT_EQ(3u, (size_t)db->OpenQuery("Kept", {})->GetRecordCount());
}

namespace {

std::string Describe(long number) {
    try {
        ThrowDbError(number);
    } catch (const CdbException& e) {
        return e.Description();
    }
    return std::string();
}

// A school: the workgroup (teacher in Staff, pupil and kim/"p1" in Users
// only) and a secured file whose table Scores holds (1, 10), (2, 20).
//   Databases:  Users 0xF, Admins 0xFFFFF
//   Tables:     Users 0x20004, Staff 1 (create), Admins 0xFFFFF
//   Scores:     Staff 0xF4, pupil 0x14, kim/"p1" 0x54, Admins 0xFFFFF
struct School {
    TempFolder dir;
    std::string path = dir.File("school.mvb");
    std::string wg = dir.File("school.mdw");
    School() {
        WriteWorkgroup(wg, {{"Staff", "", "s", true},
                            {"teacher", "chalk", "t", false, {"Staff"}},
                            {"pupil", "ink", "u"},
                            {"kim", "k", "p1"}});
        MvbWriter w(path);
        w.Exec("CREATE TABLE Scores(ID LONG PRIMARY KEY, Mark LONG)");
        w.Exec("INSERT INTO Scores VALUES (1, 10), (2, 20)");
        w.Query("Top", "SELECT * FROM Scores WHERE Mark > 15");
        std::string users = AccountIdentifier("Users"), admins = AccountIdentifier("Admins"),
                    staff = AccountIdentifier("Staff", "s");
        w.Permission("Databases", "", users, 0xF);
        w.Permission("Databases", "", admins, 0xFFFFF);
        w.Permission("Tables", "", users, 0x20004, true);
        w.Permission("Tables", "", staff, 1, true);
        w.Permission("Tables", "", admins, 0xFFFFF, true);
        w.Permission("Tables", "Scores", staff, 0xF4);
        w.Permission("Tables", "Scores", AccountIdentifier("pupil", "u"), 0x14);
        w.Permission("Tables", "Scores", AccountIdentifier("kim", "p1"), 0x54);
        w.Permission("Tables", "Scores", admins, 0xFFFFF);
        w.Permission("Tables", "Top", users, 0x14);
    }
};

FieldValuePair MarkPair(LONG mark) {
    FieldValuePair pair;
    memset(&pair, 0, sizeof(pair));
    strcpy(pair.fieldName, "Mark");
    V_VT(&pair.value) = VT_I4;
    V_I4(&pair.value) = mark;
    return pair;
}

}  // namespace

TEST(DBSecurity, RightsOfTeacherAndPupilAtTheCoreAndTheInterface) {
    School school;
    enum { Read, Add, Change, Delete, MakeTable, Grant, NewUser };
    struct Case {
        const char* user;
        const char* password;
        long errors[7];  // Jet number of each action's refusal; 0 allowed
    } cases[] = {
        {"teacher", "chalk", {0, 0, 0, 0, 0, 3033, 3033}},
        {"pupil", "ink", {0, 3107, 3108, 3109, 3111, 3033, 3033}},
        {"admin", "", {0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        for (int through = 0; through < 2; ++through) {  // the core, then IDBCore
            Login login(c.user, c.password);
            Session s;
            ASSERT_EQ(S_OK, s.Init(school.path, school.wg, "", DB_INIT_MULTIUSER)) << c.user;
            CDBCore* core = s.Core();
            std::string before = ReadFileBytes(school.path);
            for (int a = Read; a <= NewUser; ++a) {
                if (through && a > Delete)
                    break;
                Boxes boxes;
                DataSourceDescriptor d = Desc("Scores", "Mark");
                d.position = a == Delete ? 1 : 0;
                FieldValuePair pair = MarkPair(30 + a);
                int ok = 0;
                HRESULT hr = S_OK, denied = E_FAIL;
                VARIANT v;
                VariantInit(&v);
                TableFieldSpec f;
                f.name = "X";
                f.type = 1;
                std::string table = std::string("T") + c.user + std::to_string(through);
                switch (a) {
                    case Read:
                        if (through)
                            hr = s.db->GetDataSourceFieldValue(&d, &v);
                        else
                            ok = core->GetFieldValue(&d, &v);
                        break;
                    case Add:
                        denied = DB_E_FAILED;
                        if (through)
                            hr = s.db->AddDataSourceRecord(&d, &pair, 1);
                        else
                            ok = core->AddNewRecord(&d, &pair, 1);
                        break;
                    case Change:
                        denied = DB_E_FAILED;
                        if (through)
                            hr = s.db->UpdateDataSourceRecord(&d, &pair, 1);
                        else
                            ok = core->UpdateRecord(&d, &pair, 1);
                        break;
                    case Delete:
                        if (through)
                            hr = s.db->DeleteDataSourceRecord(&d);
                        else
                            ok = core->DeleteRecord(&d);
                        break;
                    case MakeTable:
                        ok = core->CreateTable({&f}, table.c_str());
                        break;
                    case Grant:
                        ok = core->SetPermissions("pupil", "Scores", 0xF4);
                        break;
                    case NewUser:
                        ok = core->CreateUserInGroup((std::string("new") + c.user).c_str(), "n");
                        break;
                }
                VariantClear(&v);
                long expected = c.errors[a];
                std::string what = std::string(c.user) + " action " + std::to_string(a) +
                                   (through ? " IDBCore" : " core");
                if (through)
                    EXPECT_EQ(expected ? denied : S_OK, hr) << what;
                else
                    EXPECT_EQ(expected ? 0 : 1, ok ? 1 : 0) << what;
                if (expected) {
                    ASSERT_EQ(1u, Boxes::Texts().size()) << what;
                    EXPECT_EQ(0u, Boxes::Texts()[0].find(Describe(expected))) << what;
                } else {
                    EXPECT_TRUE(Boxes::Texts().empty()) << what;
                }
            }
            if (std::string(c.user) == "pupil") {
                EXPECT_EQ(before, ReadFileBytes(school.path)) << "denied writes changed the file";
            }
        }
    }
}

TEST(DBSecurity, RightsFollowTheIdentifierNotTheName) {
    School school;
    {
        Login login("kim", "k");
        Session s;
        ASSERT_EQ(S_OK, s.Init(school.path, school.wg, "", DB_INIT_MULTIUSER));
        long word = 0;
        CdbDatabase* db = s.Core()->GetDatabase();
        EXPECT_EQ(0x54, db->Rights("Tables", "Scores"));
        Boxes boxes;
        EXPECT_EQ(0, s.Core()->GetPermissions("kim", "Scores", &word));  // 3033
        DataSourceDescriptor d = Desc("Scores", "Mark");
        VARIANT v;
        VariantInit(&v);
        EXPECT_EQ(S_OK, s.db->GetDataSourceFieldValue(&d, &v));
        VariantClear(&v);
    }
    // Another workgroup in which kim has the PID "p2".
    std::string other = school.dir.File("other.mdw");
    WriteWorkgroup(other, {{"kim", "k", "p2"}});
    Login login("kim", "k");
    Session s;
    ASSERT_EQ(S_OK, s.Init(school.path, other, "", DB_INIT_MULTIUSER));
    Boxes boxes;
    DataSourceDescriptor d = Desc("Scores", "Mark");
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(E_FAIL, s.db->GetDataSourceFieldValue(&d, &v));
    ASSERT_EQ(1u, Boxes::Texts().size());
    EXPECT_EQ(0u, Boxes::Texts()[0].find(Describe(3112)));
    // The query reads Scores too.
    long number = 0;
    try {
        s.Core()->GetDatabase()->OpenQuery("Top", {});
    } catch (const CdbException& e) {
        number = e.Number();
    }
    EXPECT_EQ(3112, number);
}

TEST(DBSecurity, SecuredOpensNeedTheRightsOnTheDatabase) {
    School school;
    // A stored query on the catalogue is refused even for admin.
    { MvbWriter w(school.dir.File("unused.mvb")); }
    struct Case {
        const char* user;
        const char* password;
        int flags;
        HRESULT result;
    } cases[] = {
        {"pupil", "ink", DB_INIT_MULTIUSER, S_OK},
        {"pupil", "ink", DB_INIT_MULTIUSER | DB_INIT_EXCLUSIVE, S_OK},
        {"admin", "", 0, DB_E_FAILED},  // no workgroup login: 3033
    };
    for (const Case& c : cases) {
        Boxes boxes;
        Login login(c.user, c.password);
        Session s;
        EXPECT_EQ(c.result, s.Init(school.path, school.wg, "", c.flags)) << c.user << c.flags;
        if (c.result != S_OK) {
            ASSERT_EQ(1u, Boxes::Texts().size());
            EXPECT_EQ(0u, Boxes::Texts()[0].find(Describe(3033)));
        }
    }
}

TEST(DBSecurity, CorruptWorkgroupOrPermissionRowsOpenWithNoMoreRights) {
    struct Case {
        const char* name;
        const char* workgroupSql;  // run on the school's workgroup
        const char* databaseSql;   // run on the school's file
        long error;
    } cases[] = {
        {"identifier cut", "UPDATE MavroSysAccounts SET Identifier = x'01' WHERE Name = 'pupil'",
         "", 3343},
        {"group identifier text",
         "UPDATE MavroSysAccounts SET Identifier = 'Users' WHERE Name = 'Users'", "", 3343},
        {"no kind column", "ALTER TABLE MavroSysAccounts DROP COLUMN Kind", "", 3343},
        {"no hash", "UPDATE MavroSysAccounts SET Hash = NULL WHERE Name = 'pupil'", "", 3029},
        {"pupil made a group", "UPDATE MavroSysAccounts SET Kind = 2 WHERE Name = 'pupil'", "",
         3029},
        {"rights as text", "", "UPDATE MavroSysPermissions SET Rights = 'all'", 3343},
        {"identifier short", "",
         "UPDATE MavroSysPermissions SET Identifier = x'00' WHERE rowid = 1", 3343},
    };
    for (const Case& c : cases) {
        School school;
        if (*c.workgroupSql) {
            sqlite3* db = nullptr;
            sqlite3_open(Utf8OfAnsi(school.wg).c_str(), &db);
            EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, c.workgroupSql, nullptr, nullptr, nullptr))
                << c.name;
            sqlite3_close(db);
        }
        if (*c.databaseSql) {
            sqlite3* db = nullptr;
            sqlite3_open(Utf8OfAnsi(school.path).c_str(), &db);
            EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, c.databaseSql, nullptr, nullptr, nullptr))
                << c.name;
            sqlite3_close(db);
        }
        Boxes boxes({IDOK, IDCANCEL});
        Login login("pupil", "ink");
        Session s;
        EXPECT_EQ(DB_E_FAILED, s.Init(school.path, school.wg, "", DB_INIT_MULTIUSER)) << c.name;
        ASSERT_FALSE(Boxes::Texts().empty()) << c.name;
        EXPECT_EQ(0u, Boxes::Texts()[0].find(Describe(c.error))) << c.name;
    }
}

TEST(DBSecurity, AccountsOfTheWorkgroup) {
    School school;
    Login login("admin", "");
    Session s;
    ASSERT_EQ(S_OK, s.Init(school.path, school.wg, "", DB_INIT_MULTIUSER));
    CDBCore* core = s.Core();
    auto names = [&](int (CDBCore::*list)(char***, int*)) {
        char** a = nullptr;
        int n = 0;
        (core->*list)(&a, &n);
        std::vector<std::string> out(a, a + n);
        CDBCore::FreeNameArray(a, n);
        return out;
    };
    auto groupsOf = [&](const char* user) {
        char** a = nullptr;
        int n = 0;
        core->GetUserGroups(user, &a, &n);
        std::vector<std::string> out(a, a + n);
        CDBCore::FreeNameArray(a, n);
        return out;
    };
    // Reserved accounts are not listed.
    EXPECT_EQ((std::vector<std::string>{"teacher", "pupil", "kim"}), names(&CDBCore::GetUserNames));
    EXPECT_EQ((std::vector<std::string>{"Staff"}), names(&CDBCore::GetGroupNames));
    EXPECT_EQ(1, core->CreateUserInGroup("lee", "p9"));
    EXPECT_EQ(1, core->AddUserToGroup("lee", "Staff"));
    EXPECT_EQ(1, core->AddUserToGroup("lee", "Admins"));
    EXPECT_EQ((std::vector<std::string>{"Staff"}), groupsOf("lee"));
    std::string who;
    EXPECT_EQ(1, core->GetCurrentUserName(&who));
    EXPECT_EQ("admin", who);
    struct Refusal {
        const char* name;
        std::function<int()> call;
        long error;
    } refusals[] = {
        {"name taken", [&] { return core->CreateUserInGroup("lee", "x"); }, 3390},
        {"group name taken", [&] { return core->CreateGroup("Staff", "x"); }, 3390},
        {"unknown user", [&] { return core->DeleteUser("nobody"); }, 3030},
        {"unknown group", [&] { return core->AddUserToGroup("lee", "Nobody"); }, 3030},
        {"out of Users", [&] { return core->RemoveUserFromGroup("lee", "Users"); }, 3032},
        {"built-in", [&] { return core->DeleteUser("admin"); }, 3032},
    };
    for (const Refusal& r : refusals) {
        std::string before = ReadFileBytes(school.wg);
        Boxes boxes;
        EXPECT_EQ(0, r.call()) << r.name;
        ASSERT_EQ(1u, Boxes::Texts().size()) << r.name;
        EXPECT_EQ(0u, Boxes::Texts()[0].find(Describe(r.error))) << r.name;
        EXPECT_EQ(before, ReadFileBytes(school.wg)) << r.name;
    }
    // Another user's password without the old one; lee logs in with it.
    EXPECT_EQ(1, core->ChangeUserPassword("lee", "ignored", "pen"));
    EXPECT_EQ(1, core->RemoveUserFromGroup("lee", "Admins"));
    s.db.Release();
    {
        Login lee("lee", "pen");
        Session t;
        ASSERT_EQ(S_OK, t.Init(school.path, school.wg, "", DB_INIT_MULTIUSER));
        Boxes boxes;
        // Own password: a wrong old one is 3029; not Admins: no accounts.
        EXPECT_EQ(0, t.Core()->ChangeUserPassword("lee", "wrong", "x"));
        EXPECT_EQ(0, t.Core()->ChangeUserPassword("pupil", "", "x"));
        EXPECT_EQ(0, t.Core()->DeleteUser("pupil"));
        ASSERT_EQ(3u, Boxes::Texts().size());
        EXPECT_EQ(0u, Boxes::Texts()[0].find(Describe(3029)));
        EXPECT_EQ(0u, Boxes::Texts()[1].find(Describe(3033)));
        EXPECT_EQ(0u, Boxes::Texts()[2].find(Describe(3033)));
        EXPECT_EQ(1, t.Core()->ChangeUserPassword("lee", "pen", "ink2"));
    }
    Login again("lee", "ink2");
    Session u;
    EXPECT_EQ(S_OK, u.Init(school.path, school.wg, "", DB_INIT_MULTIUSER));
}

TEST(DBSecurity, LinksReadASecuredFileWithTheLoginsRightsAndImportsAreRefused) {
    School school;
    std::string front = school.dir.File("front.mvb");
    {
        MvbWriter w(front);
        w.Link("L", ";DATABASE=" + Utf8OfAnsi(school.path), "Scores");
    }
    std::string other = school.dir.File("other.mdw");
    WriteWorkgroup(other, {{"kim", "k", "p2"}});
    struct Case {
        const char* user;
        const char* password;
        const std::string* workgroup;
        long error;  // reading the link
    } cases[] = {
        {"pupil", "ink", &school.wg, 0},
        {"kim", "k", &other, 3112},  // another kim: no rights there
    };
    for (const Case& c : cases) {
        Login login(c.user, c.password);
        Session s;
        ASSERT_EQ(S_OK, s.Init(front, *c.workgroup, "", DB_INIT_MULTIUSER)) << c.user;
        CdbDatabase* db = s.Core()->GetDatabase();
        long number = 0;
        try {
            db->OpenTable("L");
        } catch (const CdbException& e) {
            number = e.Number();
        }
        EXPECT_EQ(c.error, number) << c.user;
        // An import opens its source without a login.
        number = 0;
        try {
            db->ImportTable("Copy", dbSourceMvb, school.path, "", "Scores");
        } catch (const CdbException& e) {
            number = e.Number();
        }
        EXPECT_EQ(3033, number) << c.user;
    }
    // Without a workgroup login the link does not read either.
    Boxes boxes;
    Session s;
    ASSERT_EQ(S_OK, s.Init(front, "", "", 0));
    long number = 0;
    try {
        s.Core()->GetDatabase()->OpenTable("L");
    } catch (const CdbException& e) {
        number = e.Number();
    }
    EXPECT_EQ(3033, number);
}

namespace {

// A club: Scores (1, 10), (2, 20) and Notes (1, 1), (2, 2) whose ScoreID
// follows a score. Users may read and write Scores, only read Notes and
// the query All; Staff may make and drop relations.
//   Databases:      Users 0xF, Admins 0xFFFFF
//   Tables:         Admins 0xFFFFF
//   Scores:         Users 0xF4      Notes, All: Users 0x14
//   Relationships:  Staff 0x10001, Admins 0xFFFFF
struct Club {
    TempFolder dir;
    std::string path = dir.File("club.mvb");
    std::string wg = dir.File("club.mdw");
    Club() {
        WriteWorkgroup(wg, {{"Staff", "", "s", true},
                            {"teacher", "chalk", "t", false, {"Staff"}},
                            {"pupil", "ink", "u"}});
        MvbWriter w(path);
        w.Exec("CREATE TABLE Scores(ID LONG PRIMARY KEY, Mark LONG)");
        w.Exec("INSERT INTO Scores VALUES (1, 10), (2, 20)");
        w.Exec("CREATE TABLE Notes(ID LONG PRIMARY KEY, ScoreID LONG)");
        w.Exec("INSERT INTO Notes VALUES (1, 1), (2, 2)");
        w.Query("All", "SELECT * FROM Scores");
        std::string users = AccountIdentifier("Users"), admins = AccountIdentifier("Admins"),
                    staff = AccountIdentifier("Staff", "s");
        w.Permission("Databases", "", users, 0xF);
        w.Permission("Databases", "", admins, 0xFFFFF);
        w.Permission("Tables", "", admins, 0xFFFFF, true);
        w.Permission("Tables", "Scores", users, 0xF4);
        w.Permission("Tables", "Notes", users, 0x14);
        w.Permission("Tables", "All", users, 0x14);
        w.Permission("Relationships", "", staff, 0x10001);
        w.Permission("Relationships", "", admins, 0xFFFFF);
    }
    std::unique_ptr<CdbDatabase> Open(CdbDBEngine* engine, const char* user, const char* password) {
        engine->SetSystemDB(wg);
        CdbWorkspace ws(engine, "w", user, password);
        return ws.OpenDatabase(path, false, false, "");
    }
    // Scores 1 and 2 each with their note, cascading updates and deletes.
    void Relate() {
        CdbDBEngine engine;
        std::unique_ptr<CdbDatabase> db = Open(&engine, "admin", "");
        CdbRelationInfo r;
        r.name = "ScoreNotes";
        r.table = "Scores";
        r.foreignTable = "Notes";
        r.attributes = dbRelationUpdateCascade | dbRelationDeleteCascade;
        r.fields.push_back({"ID", "ScoreID"});
        db->CreateRelation(r);
    }
};

long ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CdbException& e) {
        return e.Number();
    }
    return 0;
}

void SetMark(CdbRecordset* rs, const char* field, long value) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    rs->SetValue(field, v);
}

}  // namespace

TEST(DBSecurity, RelationChangesNeedTheRelationshipsRights) {
    struct Case {
        const char* user;
        const char* password;
        long create, drop;  // Jet number of the refusal; 0 allowed
    } cases[] = {
        {"pupil", "ink", 3111, 3033},
        {"teacher", "chalk", 0, 0},
        {"admin", "", 0, 0},
    };
    for (const Case& c : cases) {
        Club club;
        club.Relate();
        CdbDBEngine engine;
        std::unique_ptr<CdbDatabase> db = club.Open(&engine, c.user, c.password);
        std::string before = ReadFileBytes(club.path);
        CdbRelationInfo r;
        r.name = "Mine";
        r.table = "Scores";
        r.foreignTable = "Notes";
        r.fields.push_back({"ID", "ScoreID"});
        EXPECT_EQ(c.create, ErrorOf([&] { db->CreateRelation(r); })) << c.user;
        EXPECT_EQ(c.drop, ErrorOf([&] { db->DeleteRelation("ScoreNotes"); })) << c.user;
        std::vector<std::string> names;
        for (const CdbRelationInfo& i : db->Relations()) names.push_back(i.name);
        std::vector<std::string> expected;
        if (c.drop)
            expected.push_back("ScoreNotes");
        if (!c.create)
            expected.push_back("Mine");
        EXPECT_EQ(expected, names) << c.user;
        if (c.create && c.drop) {
            EXPECT_TRUE(before == ReadFileBytes(club.path)) << c.user;
        }
    }
}

TEST(DBSecurity, WritesCheckEveryTableTheyWrite) {
    Club club;
    club.Relate();
    CdbDBEngine engine;
    std::unique_ptr<CdbDatabase> db = club.Open(&engine, "pupil", "ink");
    std::string before = ReadFileBytes(club.path);
    // Pupil may delete and change Scores, but the cascades write Notes.
    std::unique_ptr<CdbRecordset> rs = db->OpenTable("Scores");
    EXPECT_EQ(3109, ErrorOf([&] { rs->Delete(); }));
    EXPECT_EQ(3108, ErrorOf([&] {
                  rs->Edit();
                  SetMark(rs.get(), "ID", 5);
                  rs->Update();
              }));
    rs->CancelUpdate();
    // Through the query, whose own rights are read only.
    std::unique_ptr<CdbRecordset> all = db->OpenQuery("All", {});
    EXPECT_EQ(3107, ErrorOf([&] {
                  all->AddNew();
                  SetMark(all.get(), "ID", 7);
                  all->Update();
              }));
    all->CancelUpdate();
    EXPECT_EQ(3108, ErrorOf([&] {
                  all->Edit();
                  SetMark(all.get(), "Mark", 11);
                  all->Update();
              }));
    all->CancelUpdate();
    EXPECT_TRUE(before == ReadFileBytes(club.path));
    // What writes Scores alone goes on.
    EXPECT_EQ(0, ErrorOf([&] {
                  rs->Edit();
                  SetMark(rs.get(), "Mark", 11);
                  rs->Update();
                  rs->AddNew();
                  SetMark(rs.get(), "ID", 3);
                  rs->Update();
              }));
}

TEST(DBSecurity, PermissionsChangedOutsideTheLayerCountAtOnce) {
    Club club;
    CdbDBEngine engine;
    std::unique_ptr<CdbDatabase> db = club.Open(&engine, "pupil", "ink");
    auto add = [&] {
        std::unique_ptr<CdbRecordset> rs = db->OpenTable("Notes");
        rs->AddNew();
        SetMark(rs.get(), "ID", 9);
        rs->Update();
        rs->MoveLast();
        rs->Delete();
    };
    auto outside = [&](const char* sql) {
        sqlite3* raw = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(Utf8OfAnsi(club.path).c_str(), &raw));
        EXPECT_EQ(SQLITE_OK, sqlite3_exec(raw, sql, nullptr, nullptr, nullptr)) << sql;
        sqlite3_close(raw);
    };
    EXPECT_EQ(3107, ErrorOf(add));
    // Another program grants, then takes away, while the file stays open.
    outside("UPDATE MavroSysPermissions SET Rights = 0xB4 WHERE Document = 'Notes'");
    EXPECT_EQ(0, ErrorOf(add));
    outside("UPDATE MavroSysPermissions SET Rights = 0 WHERE Document = 'Notes'");
    EXPECT_EQ(3112, ErrorOf([&] { db->OpenTable("Notes"); }));
}
