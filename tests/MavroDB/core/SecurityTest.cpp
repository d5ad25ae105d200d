#include <gtest/gtest.h>

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

namespace {

// Records every box and answers with the queued answers (OK when none left).
struct Boxes {
    static std::vector<std::string>& Texts() {
        static std::vector<std::string> t;
        return t;
    }
    static std::vector<int>& Answers() {
        static std::vector<int> a;
        return a;
    }
    static int Handler(HWND, const char* text, const char*, UINT) {
        Texts().push_back(text ? text : "");
        if (Answers().empty())
            return IDOK;
        int a = Answers().front();
        Answers().erase(Answers().begin());
        return a;
    }
    PFNMESSAGEBOXHANDLER old;
    explicit Boxes(std::vector<int> answers = {}) {
        Texts().clear();
        Answers() = answers;
        old = SetMessageBoxHandler(Handler);
    }
    ~Boxes() { SetMessageBoxHandler(old); }
};

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
    }
    Boxes boxes;
    Session s;
    ASSERT_EQ(S_OK, s.Init(path, "", "", 0));
    CdbDatabase* db = s.Core()->GetDatabase();
    for (const char* q : {"Perm", "Props", "Sub"}) {
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
}
