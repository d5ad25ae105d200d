#include "MvbWriter.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include "sqlite3.h"

std::string Utf8OfAnsi(const std::string& text) {
    if (text.empty())
        return text;
    int w = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide(w, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), &wide[0], w);
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), w, nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), w, &out[0], n, nullptr, nullptr);
    return out;
}

// SHA-256 over salt then password, as the catalogue stores it.
static std::string Sha256(const std::string& a, const std::string& b) {
    std::string out;
    HCRYPTPROV prov = 0;
    HCRYPTHASH hash = 0;
    if (CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        if (CryptCreateHash(prov, CALG_SHA_256, 0, 0, &hash)) {
            CryptHashData(hash, (const BYTE*)a.data(), (DWORD)a.size(), 0);
            CryptHashData(hash, (const BYTE*)b.data(), (DWORD)b.size(), 0);
            BYTE v[32];
            DWORD n = sizeof(v);
            if (CryptGetHashParam(hash, HP_HASHVAL, v, &n, 0))
                out.assign((const char*)v, n);
            CryptDestroyHash(hash);
        }
        CryptReleaseContext(prov, 0);
    }
    EXPECT_EQ(32u, out.size()) << "SHA-256 unavailable";
    return out;
}

MvbWriter::MvbWriter(const std::string& path) {
    std::string u = Utf8OfAnsi(path);
    DeleteFileA(path.c_str());
    if (sqlite3_open_v2(u.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        ADD_FAILURE() << "cannot create " << path;
        sqlite3_close(m_db);
        m_db = nullptr;
        return;
    }
    Exec(
        "CREATE TABLE MavroSysQueries(Name TEXT PRIMARY KEY, SQL TEXT NOT NULL);"
        "CREATE TABLE MavroSysProperties(Object TEXT NOT NULL, Field TEXT NOT NULL DEFAULT '',"
        " Name TEXT NOT NULL, Value, PRIMARY KEY(Object, Field, Name));"
        "CREATE TABLE MavroSysLinks(Name TEXT PRIMARY KEY, Connect TEXT NOT NULL,"
        " SourceTable TEXT NOT NULL);");
}

MvbWriter::~MvbWriter() {
    Close();
}

void MvbWriter::Close() {
    if (m_db)
        sqlite3_close(m_db);
    m_db = nullptr;
}

bool MvbWriter::Exec(const std::string& sql) {
    if (!m_db)
        return false;
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << (error ? error : "");
        sqlite3_free(error);
        return false;
    }
    return true;
}

static void Run(sqlite3* db, const char* sql, const std::vector<std::string>& texts,
                long long number = 0, bool withNumber = false) {
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, sql, -1, &s, nullptr)) << sql;
    int i = 1;
    for (const std::string& t : texts) {
        if (t.size() && t[0] == '\x01')
            sqlite3_bind_blob(s, i++, t.data() + 1, (int)t.size() - 1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_text(s, i++, t.data(), (int)t.size(), SQLITE_TRANSIENT);
    }
    if (withNumber)
        sqlite3_bind_int64(s, i, number);
    EXPECT_EQ(SQLITE_DONE, sqlite3_step(s)) << sql;
    sqlite3_finalize(s);
}

void MvbWriter::Query(const std::string& name, const std::string& jetSql) {
    Run(m_db, "INSERT INTO MavroSysQueries(Name, SQL) VALUES(?1, ?2)", {name, jetSql});
}

void MvbWriter::Property(const std::string& object, const std::string& field,
                         const std::string& name, long long value) {
    Run(m_db, "INSERT INTO MavroSysProperties(Object, Field, Name, Value) VALUES(?1, ?2, ?3, ?4)",
        {object, field, name}, value, true);
}

void MvbWriter::Link(const std::string& name, const std::string& connect,
                     const std::string& source) {
    Run(m_db, "INSERT INTO MavroSysLinks(Name, Connect, SourceTable) VALUES(?1, ?2, ?3)",
        {name, connect, source});
}

void MvbWriter::Password(const std::string& password) {
    Exec("CREATE TABLE IF NOT EXISTS MavroSysPassword(Salt BLOB NOT NULL, Hash BLOB NOT NULL)");
    std::string salt = "salt-of-the-test";
    Run(m_db, "INSERT INTO MavroSysPassword(Salt, Hash) VALUES(?1, ?2)",
        {"\x01" + salt, "\x01" + Sha256(salt, password)});
}

void MvbWriter::Permission(const std::string& container, const std::string& document,
                           const std::string& identifier, long long rights, bool inherit) {
    Exec(
        "CREATE TABLE IF NOT EXISTS MavroSysPermissions(Container TEXT NOT NULL, Document TEXT "
        "NOT NULL DEFAULT '', Identifier BLOB NOT NULL, Rights LONG NOT NULL, Inherit BIT NOT "
        "NULL DEFAULT 0, PRIMARY KEY(Container, Document, Identifier))");
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(m_db,
                                            "INSERT OR REPLACE INTO MavroSysPermissions VALUES "
                                            "(?1, ?2, ?3, ?4, ?5)",
                                            -1, &s, nullptr));
    sqlite3_bind_text(s, 1, container.data(), (int)container.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, document.data(), (int)document.size(), SQLITE_TRANSIENT);
    sqlite3_bind_blob(s, 3, identifier.data(), (int)identifier.size(), SQLITE_TRANSIENT);
    sqlite3_bind_int64(s, 4, rights);
    sqlite3_bind_int(s, 5, inherit ? 1 : 0);
    EXPECT_EQ(SQLITE_DONE, sqlite3_step(s));
    sqlite3_finalize(s);
}

std::string AccountIdentifier(const std::string& name, const std::string& pid) {
    return Sha256(Utf8OfAnsi(name) + '\0', Utf8OfAnsi(pid));
}

void WriteWorkgroup(const std::string& path, const std::vector<WorkgroupAccount>& accounts) {
    DeleteFileA(path.c_str());
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(Utf8OfAnsi(path).c_str(), &db,
                                         SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr));
    sqlite3_exec(db,
                 "CREATE TABLE MavroSysAccounts(Name TEXT PRIMARY KEY, Kind INTEGER NOT NULL,"
                 " Identifier BLOB NOT NULL, Salt BLOB, Hash BLOB);"
                 "CREATE TABLE MavroSysMembers(UserName TEXT NOT NULL, GroupName TEXT NOT NULL,"
                 " PRIMARY KEY(UserName, GroupName));",
                 nullptr, nullptr, nullptr);
    std::vector<WorkgroupAccount> all = {{"admin", "", "", false, {"Admins"}},
                                         {"Admins", "", "", true, {}},
                                         {"Users", "", "", true, {}}};
    all.insert(all.end(), accounts.begin(), accounts.end());
    for (const WorkgroupAccount& a : all) {
        std::string name = Utf8OfAnsi(a.name);
        std::string id = "\x01" + AccountIdentifier(a.name, a.pid);
        if (a.group) {
            Run(db, "INSERT INTO MavroSysAccounts(Name, Kind, Identifier) VALUES(?1, 2, ?2)",
                {name, id});
            continue;
        }
        std::string salt = "wg-" + a.name;
        Run(db,
            "INSERT INTO MavroSysAccounts(Name, Kind, Identifier, Salt, Hash) VALUES(?1, 1, ?2, "
            "?3, ?4)",
            {name, id, "\x01" + salt, "\x01" + Sha256(salt, Utf8OfAnsi(a.password))});
        Run(db, "INSERT INTO MavroSysMembers(UserName, GroupName) VALUES(?1, 'Users')", {name});
        for (const std::string& g : a.groups)
            Run(db, "INSERT INTO MavroSysMembers(UserName, GroupName) VALUES(?1, ?2)",
                {name, Utf8OfAnsi(g)});
    }
    sqlite3_close(db);
}
