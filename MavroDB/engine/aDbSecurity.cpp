// Security of the layer: workgroup logins, new files, the database password,
// permission rows and the guard on the caller's SQL. A workgroup file is an
// SQLite file: MavroSysAccounts (kind 1 user, 2 group; identifier; salted
// hash) and MavroSysMembers. A database with rows in MavroSysPermissions is
// secured: each action checks the rights of the login it was opened with.
#include "aDbEngine.h"

#include <wincrypt.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "sqlite3.h"

namespace {

enum { kAccountUser = 1, kAccountGroup = 2 };
const size_t kIdentifierBytes = 32;

bool StartsNoCase(const std::string& s, const char* prefix) {
    size_t n = strlen(prefix);
    return s.size() >= n && _strnicmp(s.c_str(), prefix, n) == 0;
}

std::string Upper(std::string s) {
    for (char& c : s) c = (char)toupper((unsigned char)c);
    return s;
}

// A workgroup file opened for reading (or writing an account change).
class Workgroup {
public:
    Workgroup(const std::string& path, bool write) {
        if (!DbFileExists(path))
            ThrowDbError(3028);
        int flags = write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
        if (sqlite3_open_v2(DbUtf8Path(path).c_str(), &m_db, flags, nullptr) != SQLITE_OK)
            ThrowDbError(3028);
        sqlite3_busy_timeout(m_db, 250);
        if (sqlite3_table_column_metadata(m_db, "main", "MavroSysAccounts", "Identifier", nullptr,
                                          nullptr, nullptr, nullptr, nullptr) != SQLITE_OK ||
            sqlite3_table_column_metadata(m_db, "main", "MavroSysMembers", "GroupName", nullptr,
                                          nullptr, nullptr, nullptr, nullptr) != SQLITE_OK)
            ThrowDbError(dbErrBadFormat, path);
    }
    ~Workgroup() { sqlite3_close(m_db); }
    Workgroup(const Workgroup&) = delete;
    Workgroup& operator=(const Workgroup&) = delete;
    sqlite3* Handle() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            ThrowDbError(dbErrBadFormat);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    void Text(int i, const std::string& t) {
        sqlite3_bind_text(m_stmt, i, t.data(), (int)t.size(), SQLITE_TRANSIENT);
    }
    void Blob(int i, const std::string& b) {
        sqlite3_bind_blob(m_stmt, i, b.data(), (int)b.size(), SQLITE_TRANSIENT);
    }
    void Int(int i, int64_t v) { sqlite3_bind_int64(m_stmt, i, v); }
    bool Row() {
        int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            ThrowDbError((rc & 0xFF) == SQLITE_BUSY ? dbErrLocked : dbErrBadFormat);
        return false;
    }
    sqlite3_stmt* Get() const { return m_stmt; }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// An identifier as a workgroup or database row holds it: 32 bytes of blob.
bool ReadIdentifier(sqlite3_stmt* stmt, int column, std::string* out) {
    if (sqlite3_column_type(stmt, column) != SQLITE_BLOB ||
        (size_t)sqlite3_column_bytes(stmt, column) != kIdentifierBytes)
        return false;
    out->assign((const char*)sqlite3_column_blob(stmt, column), kIdentifierBytes);
    return true;
}

std::string RandomSalt() {
    std::string salt(16, '\0');
    HCRYPTPROV prov = 0;
    if (CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        CryptGenRandom(prov, (DWORD)salt.size(), (BYTE*)&salt[0]);
        CryptReleaseContext(prov, 0);
    }
    return salt;
}

bool HasTable(sqlite3* db, const char* table) {
    return sqlite3_table_column_metadata(db, "main", table, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr) == SQLITE_OK;
}

// Runs statements in one write transaction; rolled back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(CdbConnection* conn) : m_conn(conn) {
        if (conn->readOnly)
            ThrowDbError(dbErrReadOnly);
        int rc = sqlite3_exec(conn->Handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            conn->Fail(rc, dbErrLocked);
    }
    ~WriteTransaction() {
        if (!m_done)
            sqlite3_exec(m_conn->Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void Commit() {
        int rc = sqlite3_exec(m_conn->Handle(), "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            m_conn->Fail(rc, dbErrLocked);
        m_done = true;
        m_conn->BumpGeneration();
    }

private:
    CdbConnection* m_conn;
    bool m_done = false;
};

int Authorize(void* data, int action, const char* a, const char*, const char* schema,
              const char* trigger) {
    CdbConnection* conn = (CdbConnection*)data;
    if (!conn->callerSql || trigger)
        return SQLITE_OK;
    switch (action) {
        case SQLITE_ATTACH:
        case SQLITE_DETACH:
        case SQLITE_PRAGMA:
            conn->callerDenied = true;
            return SQLITE_DENY;
        case SQLITE_READ:
        case SQLITE_INSERT:
        case SQLITE_UPDATE:
        case SQLITE_DELETE: {
            std::string table = a ? a : "";
            // Nor SQLite's own tables (the schema of every table, whatever
            // the rights on it), nor another schema: linked files and the
            // connection's temporary tables are read through the layer only.
            if (StartsNoCase(table, "MavroSys") || StartsNoCase(table, "sqlite_") ||
                (schema && strcmp(schema, "main") != 0)) {
                conn->callerDenied = true;
                return SQLITE_DENY;
            }
            if (action == SQLITE_READ && !table.empty() &&
                std::find(conn->callerTables.begin(), conn->callerTables.end(), table) ==
                    conn->callerTables.end())
                conn->callerTables.push_back(table);
            return SQLITE_OK;
        }
        default:
            return SQLITE_OK;
    }
}

// Whether the connection's file has permission rows now.
bool ReadSecured(CdbConnection* conn) {
    sqlite3* db = conn->Handle();
    if (!HasTable(db, "MavroSysPermissions"))
        return false;
    sqlite3_stmt* stmt = conn->Prepare("SELECT 1 FROM MavroSysPermissions LIMIT 1");
    CdbStatementScope scope(stmt);
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        conn->Fail(rc, dbErrBadFormat);
    return rc == SQLITE_ROW;
}

// SQLite's count of commits by other connections to the file, whatever
// program made them.
int64_t DataVersion(CdbConnection* conn) {
    sqlite3_stmt* stmt = conn->Prepare("PRAGMA data_version");
    CdbStatementScope scope(stmt);
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW)
        conn->Fail(rc, dbErrBadFormat);
    return sqlite3_column_int64(stmt, 0);
}

// Forgets rights read before another connection last wrote the file: the
// shared change count moved by more than this connection's own writes, or
// a program outside the layer committed; the connection's own permission
// writes forget them themselves.
void Settle(CdbConnection* conn) {
    int64_t moved = conn->Generation() - conn->rightsGeneration;
    int64_t own = conn->ownWrites - conn->rightsOwnWrites;
    int64_t version = DataVersion(conn);
    if (conn->rightsGeneration >= 0 && moved == own && version == conn->rightsDataVersion)
        return;
    conn->rights.clear();
    conn->secured = ReadSecured(conn);
    conn->rightsGeneration = conn->Generation();
    conn->rightsOwnWrites = conn->ownWrites;
    conn->rightsDataVersion = version;
}

long ReadRights(CdbConnection* conn, const std::string& container, const std::string& document) {
    Settle(conn);
    if (!conn->secured)
        return dbSecFullAccess;
    std::string key = Upper(container) + '\n' + Upper(document);
    auto it = conn->rights.find(key);
    if (it != conn->rights.end())
        return it->second;
    long rights = 0;
    sqlite3_stmt* stmt = conn->Prepare(
        "SELECT Identifier, Rights FROM MavroSysPermissions WHERE Container = ?1 COLLATE NOCASE "
        "AND Document = ?2 COLLATE NOCASE");
    CdbStatementScope scope(stmt);
    sqlite3_bind_text(stmt, 1, container.data(), (int)container.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, document.data(), (int)document.size(), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        std::string id;
        // A row that cannot be read grants nothing: the file is refused.
        if (!ReadIdentifier(stmt, 0, &id) || sqlite3_column_type(stmt, 1) != SQLITE_INTEGER)
            ThrowDbError(dbErrBadFormat, "MavroSysPermissions");
        const std::vector<std::string>& ids = conn->login.identifiers;
        if (std::find(ids.begin(), ids.end(), id) != ids.end())
            rights |= (long)sqlite3_column_int64(stmt, 1);
    }
    if (rc != SQLITE_DONE)
        conn->Fail(rc, dbErrBadFormat);
    conn->rights[key] = rights;
    return rights;
}

}  // namespace

std::string DbAccountIdentifier(const std::string& nameUtf8, const std::string& pidUtf8) {
    return DbPasswordHash(nameUtf8 + '\0', pidUtf8);
}

bool CdbLogin::IsAdmin() const {
    return std::find(groups.begin(), groups.end(), "Admins") != groups.end();
}

namespace {

void Written(void* data, int action, const char* schema, const char* table, sqlite3_int64) {
    CdbConnection* conn = (CdbConnection*)data;
    if (!conn->watchWrites || !table || !schema || strcmp(schema, "main") != 0)
        return;
    std::pair<int, std::string> w(action, table);
    if (std::find(conn->written.begin(), conn->written.end(), w) == conn->written.end())
        conn->written.push_back(w);
}

}  // namespace

void DbInstallAuthorizer(CdbConnection* conn) {
    sqlite3_set_authorizer(conn->Handle(), Authorize, conn);
    sqlite3_update_hook(conn->Handle(), Written, conn);
}

void DbDemandWritten(CdbConnection* conn, const std::string& baseTable) {
    // The base table's own right was asked before the write; the layer's
    // key trigger writes it again as part of the same action.
    for (const std::pair<int, std::string>& w : conn->written) {
        if (DbSameName(w.second, baseTable))
            continue;
        switch (w.first) {
            case SQLITE_INSERT:
                DbDemand(conn, "Tables", w.second, dbSecInsertData, dbErrNoInsertPermission);
                break;
            case SQLITE_UPDATE:
                DbDemand(conn, "Tables", w.second, dbSecReplaceData, dbErrNoReplacePermission);
                break;
            default:
                DbDemand(conn, "Tables", w.second, dbSecDeleteData, dbErrNoDeletePermission);
                break;
        }
    }
}

// ---- engine

CdbLogin CdbDBEngine::CheckLogin(const std::string& user, const std::string& password) {
    CdbLogin login;
    login.user = user;
    if (m_systemDB.empty()) {
        if (_stricmp(user.c_str(), "admin") != 0 || !password.empty())
            ThrowDbError(dbErrBadAccount);
        return login;
    }
    Workgroup wg(m_systemDB, false);
    std::string u = Utf8FromAnsi(user);
    std::string name;
    bool found = false;
    {
        Statement s(wg.Handle(), "SELECT Name, Kind, Identifier, Salt, Hash FROM MavroSysAccounts");
        while (s.Row()) {
            const unsigned char* n = sqlite3_column_text(s.Get(), 0);
            if (!n || !DbSameName((const char*)n, u))
                continue;
            // Only users log in, and only with a hash to check against.
            if (sqlite3_column_int(s.Get(), 1) != kAccountUser ||
                sqlite3_column_type(s.Get(), 3) != SQLITE_BLOB ||
                sqlite3_column_type(s.Get(), 4) != SQLITE_BLOB)
                ThrowDbError(dbErrBadAccount);
            std::string salt((const char*)sqlite3_column_blob(s.Get(), 3),
                             (size_t)sqlite3_column_bytes(s.Get(), 3));
            std::string hash((const char*)sqlite3_column_blob(s.Get(), 4),
                             (size_t)sqlite3_column_bytes(s.Get(), 4));
            if (DbPasswordHash(salt, Utf8FromAnsi(password)) != hash)
                ThrowDbError(dbErrBadAccount);
            if (!ReadIdentifier(s.Get(), 2, &login.identifier))
                ThrowDbError(dbErrBadFormat, m_systemDB);
            name = (const char*)n;
            found = true;
            break;
        }
    }
    if (!found)
        ThrowDbError(dbErrBadAccount);
    login.identifiers.push_back(login.identifier);
    Statement g(wg.Handle(),
                "SELECT a.Name, a.Identifier FROM MavroSysMembers m JOIN MavroSysAccounts a ON "
                "a.Name = m.GroupName WHERE m.UserName = ?1 AND a.Kind = 2");
    g.Text(1, name);
    while (g.Row()) {
        std::string id;
        if (!ReadIdentifier(g.Get(), 1, &id))
            ThrowDbError(dbErrBadFormat, m_systemDB);
        login.identifiers.push_back(id);
        login.groups.push_back((const char*)sqlite3_column_text(g.Get(), 0));
    }
    login.workgroup = true;
    return login;
}

std::string CdbDBEngine::AccountIdentifier(const std::string& name) {
    if (m_systemDB.empty())
        ThrowDbError(dbErrNoAccount, name);
    Workgroup wg(m_systemDB, false);
    Statement s(wg.Handle(), "SELECT Identifier FROM MavroSysAccounts WHERE Name = ?1");
    s.Text(1, Utf8FromAnsi(name));
    if (!s.Row())
        ThrowDbError(dbErrNoAccount, name);
    std::string id;
    if (!ReadIdentifier(s.Get(), 0, &id))
        ThrowDbError(dbErrBadFormat, m_systemDB);
    return id;
}

// ---- new files

void CdbDatabase::Create(const std::string& path, const std::string& connect) {
    // ";LANGID=0x0804;CP=936;COUNTRY=0;pwd=...": the password runs to the end.
    long langid = 0;
    std::string password;
    bool withPassword = false;
    size_t p = 0;
    while (p <= connect.size()) {
        size_t end = connect.find(';', p);
        std::string part =
            connect.substr(p, end == std::string::npos ? std::string::npos : end - p);
        if (StartsNoCase(part, "pwd=")) {
            password = connect.substr(p + 4);
            withPassword = true;
            break;
        }
        if (StartsNoCase(part, "LANGID="))
            langid = strtol(part.c_str() + 7, nullptr, 0);
        if (end == std::string::npos)
            break;
        p = end + 1;
    }
    // Made new here or not at all: an existing file is never opened over.
    std::string u = DbUtf8Path(path);
    int w = MultiByteToWideChar(CP_UTF8, 0, u.c_str(), -1, nullptr, 0);
    std::wstring wide(w > 0 ? w : 1, L'\0');
    if (w > 0)
        MultiByteToWideChar(CP_UTF8, 0, u.c_str(), -1, &wide[0], w);
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        if (e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS)
            ThrowDbError(dbErrDatabaseExists, path);
        ThrowDbError(dbErrCannotFindFile, path);
    }
    CloseHandle(h);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(u.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    std::string error;
    if (rc == SQLITE_OK) {
        DbRegisterFunctions(db);
        std::string sql = std::string("BEGIN;") + kDbCatalogue + kDbPermissionsTable;
        rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK && langid) {
            sqlite3_stmt* s = nullptr;
            rc = sqlite3_prepare_v2(db,
                                    "INSERT INTO MavroSysProperties(Object, Field, Name, Value) "
                                    "VALUES ('', '', 'CollatingOrder', ?1)",
                                    -1, &s, nullptr);
            sqlite3_bind_int64(s, 1, langid);
            if (rc == SQLITE_OK)
                rc = sqlite3_step(s) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
            sqlite3_finalize(s);
        }
        if (rc == SQLITE_OK && withPassword && !password.empty()) {
            rc = sqlite3_exec(db,
                              "CREATE TABLE MavroSysPassword(Salt BLOB NOT NULL, Hash BLOB NOT "
                              "NULL)",
                              nullptr, nullptr, nullptr);
            std::string salt = RandomSalt();
            std::string hash = DbPasswordHash(salt, Utf8FromAnsi(password));
            sqlite3_stmt* s = nullptr;
            if (rc == SQLITE_OK)
                rc = sqlite3_prepare_v2(db,
                                        "INSERT INTO MavroSysPassword(Salt, Hash) VALUES (?1, ?2)",
                                        -1, &s, nullptr);
            if (rc == SQLITE_OK && hash.size() == kIdentifierBytes) {
                sqlite3_bind_blob(s, 1, salt.data(), (int)salt.size(), SQLITE_TRANSIENT);
                sqlite3_bind_blob(s, 2, hash.data(), (int)hash.size(), SQLITE_TRANSIENT);
                rc = sqlite3_step(s) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
            } else if (rc == SQLITE_OK) {
                rc = SQLITE_ERROR;
            }
            sqlite3_finalize(s);
        }
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        DeleteFileW(wide.c_str());
        ThrowDbError(rc == SQLITE_CANTOPEN ? dbErrCannotFindFile : dbErrEngine, path);
    }
    sqlite3_close(db);
}

// ---- password and permissions

bool CdbDatabase::IsSecured() {
    CheckOpen();
    Settle(m_conn.get());
    return m_conn->secured;
}

void CdbDatabase::NewPassword(const std::string& oldPassword, const std::string& newPassword) {
    CheckOpen();
    CheckPasswordOf("main", oldPassword);
    Demand("Databases", "", dbSecDBAdmin);
    WriteTransaction t(m_conn.get());
    m_conn->Exec(
        "CREATE TABLE IF NOT EXISTS MavroSysPassword(Salt BLOB NOT NULL, Hash BLOB NOT NULL);"
        "DELETE FROM MavroSysPassword");
    if (!newPassword.empty()) {
        std::string salt = RandomSalt();
        std::string hash = DbPasswordHash(salt, Utf8FromAnsi(newPassword));
        if (hash.size() != kIdentifierBytes)
            ThrowDbError(dbErrEngine);
        sqlite3_stmt* s =
            m_conn->Prepare("INSERT INTO MavroSysPassword(Salt, Hash) VALUES (?1, ?2)");
        CdbStatementScope scope(s);
        sqlite3_bind_blob(s, 1, salt.data(), (int)salt.size(), SQLITE_TRANSIENT);
        sqlite3_bind_blob(s, 2, hash.data(), (int)hash.size(), SQLITE_TRANSIENT);
        int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE)
            m_conn->Fail(rc);
    }
    t.Commit();
}

long CdbDatabase::Rights(const std::string& container, const std::string& document) {
    CheckOpen();
    return ReadRights(m_conn.get(), Utf8FromAnsi(container), Utf8FromAnsi(document));
}

void CdbDatabase::Demand(const std::string& container, const std::string& document, long bits,
                         long error) {
    CheckOpen();
    DbDemand(m_conn.get(), Utf8FromAnsi(container), Utf8FromAnsi(document), bits, error);
}

void DbDemand(CdbConnection* conn, const std::string& container, const std::string& document,
              long bits, long error) {
    if ((ReadRights(conn, container, document) & bits) != bits)
        ThrowDbError(error, AnsiFromUtf8(document.empty() ? container : document));
}

std::string CdbDatabase::DocumentName(const std::string& container, const std::string& document) {
    std::string c = Utf8FromAnsi(container);
    if (!DbSameName(c, "Tables") && !DbSameName(c, "Relationships") && !DbSameName(c, "Databases"))
        ThrowDbError(dbErrItemNotFound, container);
    if (document.empty())
        return std::string();
    std::string u = Utf8FromAnsi(document), stored;
    if (DbSameName(c, "Tables") &&
        (TableExists(u, &stored) || LinkExists(u, &stored) || QueryExists(u, &stored)))
        return stored;
    ThrowDbError(dbErrItemNotFound, document);
}

// Reading or setting a document's permissions needs the right to, its
// ownership or membership of "Admins".
static void DemandSecurity(CdbDatabase* db, CdbConnection* conn, const std::string& container,
                           const std::string& document, long bits) {
    if (!db->IsSecured() || conn->login.IsAdmin() ||
        (db->Rights(container, AnsiFromUtf8(document)) & bits))
        return;
    if (!document.empty() && !conn->login.identifier.empty()) {
        sqlite3_stmt* s =
            conn->Prepare("SELECT Owner FROM MavroSysObjects WHERE Name = ?1 COLLATE NOCASE");
        CdbStatementScope scope(s);
        sqlite3_bind_text(s, 1, document.data(), (int)document.size(), SQLITE_TRANSIENT);
        std::string owner;
        if (sqlite3_step(s) == SQLITE_ROW && ReadIdentifier(s, 0, &owner) &&
            owner == conn->login.identifier)
            return;
    }
    ThrowDbError(dbErrNoPermission, AnsiFromUtf8(document.empty() ? container : document));
}

long CdbDatabase::GetPermissions(const std::string& container, const std::string& document,
                                 const std::string& identifier) {
    CheckOpen();
    std::string doc = DocumentName(container, document);
    DemandSecurity(this, m_conn.get(), container, doc, dbSecReadSec);
    if (!HasTable(m_conn->Handle(), "MavroSysPermissions"))
        return 0;
    sqlite3_stmt* s = m_conn->Prepare(
        "SELECT Rights FROM MavroSysPermissions WHERE Container = ?1 COLLATE NOCASE AND "
        "Document = ?2 COLLATE NOCASE AND Identifier = ?3");
    CdbStatementScope scope(s);
    std::string c = Utf8FromAnsi(container);
    sqlite3_bind_text(s, 1, c.data(), (int)c.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, doc.data(), (int)doc.size(), SQLITE_TRANSIENT);
    sqlite3_bind_blob(s, 3, identifier.data(), (int)identifier.size(), SQLITE_TRANSIENT);
    int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE)
        return 0;
    if (rc != SQLITE_ROW)
        m_conn->Fail(rc);
    if (sqlite3_column_type(s, 0) != SQLITE_INTEGER)
        ThrowDbError(dbErrBadFormat, "MavroSysPermissions");
    return (long)sqlite3_column_int64(s, 0);
}

void CdbDatabase::SetPermissions(const std::string& container, const std::string& document,
                                 const std::string& identifier, long rights, bool inherit) {
    CheckOpen();
    std::string doc = DocumentName(container, document);
    DemandSecurity(this, m_conn.get(), container, doc, dbSecWriteSec);
    if (identifier.size() != kIdentifierBytes)
        ThrowDbError(dbErrNoAccount);
    WriteTransaction t(m_conn.get());
    m_conn->Exec(kDbPermissionsTable);
    sqlite3_stmt* s = m_conn->Prepare(
        "INSERT OR REPLACE INTO MavroSysPermissions(Container, Document, Identifier, Rights, "
        "Inherit) VALUES (?1, ?2, ?3, ?4, ?5)");
    CdbStatementScope scope(s);
    std::string c = Utf8FromAnsi(container);
    // The container as the layer spells it, whatever the caller's case.
    for (const char* known : {"Tables", "Relationships", "Databases"})
        if (DbSameName(c, known))
            c = known;
    sqlite3_bind_text(s, 1, c.data(), (int)c.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, doc.data(), (int)doc.size(), SQLITE_TRANSIENT);
    sqlite3_bind_blob(s, 3, identifier.data(), (int)identifier.size(), SQLITE_TRANSIENT);
    sqlite3_bind_int64(s, 4, rights);
    sqlite3_bind_int(s, 5, inherit ? 1 : 0);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE)
        m_conn->Fail(rc);
    t.Commit();
    m_conn->rightsGeneration = -1;
}

void CdbDatabase::CopyInheritedRights(const std::string& utf8Name) {
    sqlite3* db = m_conn->Handle();
    if (HasTable(db, "MavroSysPermissions")) {
        sqlite3_stmt* s = m_conn->Prepare(
            "INSERT OR REPLACE INTO MavroSysPermissions(Container, Document, Identifier, Rights, "
            "Inherit) SELECT 'Tables', ?1, Identifier, Rights, 0 FROM MavroSysPermissions WHERE "
            "Container = 'Tables' AND Document = '' AND Inherit <> 0");
        CdbStatementScope scope(s);
        sqlite3_bind_text(s, 1, utf8Name.data(), (int)utf8Name.size(), SQLITE_TRANSIENT);
        int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE)
            m_conn->Fail(rc);
    }
    // The creator owns what it made.
    if (!m_conn->login.identifier.empty() &&
        sqlite3_table_column_metadata(db, "main", "MavroSysObjects", "Owner", nullptr, nullptr,
                                      nullptr, nullptr, nullptr) == SQLITE_OK) {
        sqlite3_stmt* s =
            m_conn->Prepare("UPDATE MavroSysObjects SET Owner = ?2 WHERE Name = ?1 COLLATE NOCASE");
        CdbStatementScope scope(s);
        const std::string& id = m_conn->login.identifier;
        sqlite3_bind_text(s, 1, utf8Name.data(), (int)utf8Name.size(), SQLITE_TRANSIENT);
        sqlite3_bind_blob(s, 2, id.data(), (int)id.size(), SQLITE_TRANSIENT);
        int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE)
            m_conn->Fail(rc);
    }
    m_conn->rightsGeneration = -1;
}

void CdbDatabase::MovePermissions(const std::string& utf8Name, const std::string& utf8NewName) {
    if (!HasTable(m_conn->Handle(), "MavroSysPermissions"))
        return;
    sqlite3_stmt* s = m_conn->Prepare(
        utf8NewName.empty()
            ? "DELETE FROM MavroSysPermissions WHERE Container = 'Tables' AND Document = ?1"
            : "UPDATE MavroSysPermissions SET Document = ?2 WHERE Container = 'Tables' AND "
              "Document = ?1");
    CdbStatementScope scope(s);
    sqlite3_bind_text(s, 1, utf8Name.data(), (int)utf8Name.size(), SQLITE_TRANSIENT);
    if (!utf8NewName.empty())
        sqlite3_bind_text(s, 2, utf8NewName.data(), (int)utf8NewName.size(), SQLITE_TRANSIENT);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE)
        m_conn->Fail(rc);
    m_conn->rightsGeneration = -1;
}

// ---- accounts

namespace {

bool IsBuiltIn(const std::string& utf8Name) {
    for (const char* n : {"admin", "Creator", "Engine", "Admins", "Users"})
        if (utf8Name == n)
            return true;
    return false;
}

// One account change: the workgroup file opened for writing, one transaction.
class AccountChange {
public:
    AccountChange(const CdbLogin& login, CdbDBEngine* engine)
        : m_wg(RequireAdmin(login, engine), true) {
        if (sqlite3_exec(m_wg.Handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            ThrowDbError(3028);
    }
    ~AccountChange() {
        if (!m_done)
            sqlite3_exec(m_wg.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3* Handle() const { return m_wg.Handle(); }
    void Commit() {
        if (sqlite3_exec(m_wg.Handle(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            ThrowDbError(dbErrLocked);
        m_done = true;
    }

private:
    static const std::string& RequireAdmin(const CdbLogin& login, CdbDBEngine* engine) {
        if (!login.workgroup || !login.IsAdmin())
            ThrowDbError(dbErrNoPermission);
        return engine->SystemDB();
    }
    Workgroup m_wg;
    bool m_done = false;
};

// The kind of a named account (0 when there is none) and its stored name.
int KindOf(sqlite3* db, const std::string& utf8Name, std::string* stored) {
    Statement s(db, "SELECT Kind, Name FROM MavroSysAccounts");
    while (s.Row()) {
        const unsigned char* n = sqlite3_column_text(s.Get(), 1);
        if (n && DbSameName((const char*)n, utf8Name)) {
            if (stored)
                *stored = (const char*)n;
            return sqlite3_column_int(s.Get(), 0);
        }
    }
    return 0;
}

void Run(Statement& s) {
    while (s.Row()) {
    }
}

}  // namespace

std::vector<std::string> CdbWorkspace::Users() {
    std::vector<std::string> out;
    if (!m_login.workgroup)
        return out;
    Workgroup wg(m_engine->SystemDB(), false);
    Statement s(wg.Handle(), "SELECT Name FROM MavroSysAccounts WHERE Kind = 1 ORDER BY rowid");
    while (s.Row()) out.push_back(AnsiFromUtf8((const char*)sqlite3_column_text(s.Get(), 0)));
    return out;
}

std::vector<std::string> CdbWorkspace::Groups() {
    std::vector<std::string> out;
    if (!m_login.workgroup)
        return out;
    Workgroup wg(m_engine->SystemDB(), false);
    Statement s(wg.Handle(), "SELECT Name FROM MavroSysAccounts WHERE Kind = 2 ORDER BY rowid");
    while (s.Row()) out.push_back(AnsiFromUtf8((const char*)sqlite3_column_text(s.Get(), 0)));
    return out;
}

std::vector<std::string> CdbWorkspace::UserGroups(const std::string& user) {
    if (!m_login.workgroup)
        ThrowDbError(dbErrNoAccount, user);
    Workgroup wg(m_engine->SystemDB(), false);
    std::string stored;
    if (KindOf(wg.Handle(), Utf8FromAnsi(user), &stored) != kAccountUser)
        ThrowDbError(dbErrNoAccount, user);
    std::vector<std::string> out;
    Statement s(wg.Handle(),
                "SELECT a.Name FROM MavroSysAccounts a JOIN MavroSysMembers m ON m.GroupName = "
                "a.Name WHERE m.UserName = ?1 AND a.Kind = 2 ORDER BY a.rowid");
    s.Text(1, stored);
    while (s.Row()) out.push_back(AnsiFromUtf8((const char*)sqlite3_column_text(s.Get(), 0)));
    return out;
}

std::vector<std::string> CdbWorkspace::GroupUsers(const std::string& group) {
    if (!m_login.workgroup)
        ThrowDbError(dbErrNoAccount, group);
    Workgroup wg(m_engine->SystemDB(), false);
    std::string stored;
    if (KindOf(wg.Handle(), Utf8FromAnsi(group), &stored) != kAccountGroup)
        ThrowDbError(dbErrNoAccount, group);
    std::vector<std::string> out;
    Statement s(wg.Handle(),
                "SELECT a.Name FROM MavroSysAccounts a JOIN MavroSysMembers m ON m.UserName = "
                "a.Name WHERE m.GroupName = ?1 AND a.Kind = 1 ORDER BY a.rowid");
    s.Text(1, stored);
    while (s.Row()) out.push_back(AnsiFromUtf8((const char*)sqlite3_column_text(s.Get(), 0)));
    return out;
}

void CdbWorkspace::CreateUser(const std::string& user, const std::string& pid) {
    CdbDatabase::CheckName(user);
    AccountChange change(m_login, m_engine);
    std::string u = Utf8FromAnsi(user);
    if (KindOf(change.Handle(), u, nullptr))
        ThrowDbError(dbErrAccountExists, user);
    std::string salt = RandomSalt();
    Statement add(change.Handle(),
                  "INSERT INTO MavroSysAccounts(Name, Kind, Identifier, Salt, Hash) VALUES (?1, 1, "
                  "?2, ?3, ?4)");
    add.Text(1, u);
    add.Blob(2, DbAccountIdentifier(u, Utf8FromAnsi(pid)));
    add.Blob(3, salt);
    add.Blob(4, DbPasswordHash(salt, std::string()));
    Run(add);
    // In "Users" in the same transaction: never a user outside it.
    Statement member(change.Handle(),
                     "INSERT INTO MavroSysMembers(UserName, GroupName) VALUES (?1, 'Users')");
    member.Text(1, u);
    Run(member);
    change.Commit();
}

void CdbWorkspace::CreateGroup(const std::string& group, const std::string& pid) {
    CdbDatabase::CheckName(group);
    AccountChange change(m_login, m_engine);
    std::string u = Utf8FromAnsi(group);
    if (KindOf(change.Handle(), u, nullptr))
        ThrowDbError(dbErrAccountExists, group);
    Statement add(change.Handle(),
                  "INSERT INTO MavroSysAccounts(Name, Kind, Identifier) VALUES (?1, 2, ?2)");
    add.Text(1, u);
    add.Blob(2, DbAccountIdentifier(u, Utf8FromAnsi(pid)));
    Run(add);
    change.Commit();
}

void CdbWorkspace::DeleteAccount(const std::string& name, bool group) {
    AccountChange change(m_login, m_engine);
    std::string stored;
    if (KindOf(change.Handle(), Utf8FromAnsi(name), &stored) !=
        (group ? kAccountGroup : kAccountUser))
        ThrowDbError(dbErrNoAccount, name);
    if (IsBuiltIn(stored))
        ThrowDbError(dbErrCannotPerform, name);
    Statement drop(change.Handle(), "DELETE FROM MavroSysAccounts WHERE Name = ?1");
    drop.Text(1, stored);
    Run(drop);
    Statement members(change.Handle(), group ? "DELETE FROM MavroSysMembers WHERE GroupName = ?1"
                                             : "DELETE FROM MavroSysMembers WHERE UserName = ?1");
    members.Text(1, stored);
    Run(members);
    change.Commit();
}

void CdbWorkspace::AddToGroup(const std::string& user, const std::string& group) {
    AccountChange change(m_login, m_engine);
    std::string u, g;
    if (KindOf(change.Handle(), Utf8FromAnsi(user), &u) != kAccountUser)
        ThrowDbError(dbErrNoAccount, user);
    if (KindOf(change.Handle(), Utf8FromAnsi(group), &g) != kAccountGroup)
        ThrowDbError(dbErrNoAccount, group);
    Statement add(change.Handle(),
                  "INSERT OR IGNORE INTO MavroSysMembers(UserName, GroupName) VALUES (?1, ?2)");
    add.Text(1, u);
    add.Text(2, g);
    Run(add);
    change.Commit();
}

void CdbWorkspace::RemoveFromGroup(const std::string& user, const std::string& group) {
    AccountChange change(m_login, m_engine);
    std::string u, g;
    if (KindOf(change.Handle(), Utf8FromAnsi(user), &u) != kAccountUser)
        ThrowDbError(dbErrNoAccount, user);
    if (KindOf(change.Handle(), Utf8FromAnsi(group), &g) != kAccountGroup)
        ThrowDbError(dbErrNoAccount, group);
    if (g == "Users")
        ThrowDbError(dbErrCannotPerform, group);
    Statement drop(change.Handle(),
                   "DELETE FROM MavroSysMembers WHERE UserName = ?1 AND GroupName = ?2");
    drop.Text(1, u);
    drop.Text(2, g);
    Run(drop);
    if (!sqlite3_changes(change.Handle()))
        ThrowDbError(dbErrNoAccount, group);
    change.Commit();
}

void CdbWorkspace::NewPassword(const std::string& user, const std::string& oldPassword,
                               const std::string& newPassword) {
    if (!m_login.workgroup)
        ThrowDbError(dbErrNoPermission);
    bool own = DbSameName(Utf8FromAnsi(user), Utf8FromAnsi(m_login.user));
    if (!own && !m_login.IsAdmin())
        ThrowDbError(dbErrNoPermission);
    Workgroup wg(m_engine->SystemDB(), true);
    if (sqlite3_exec(wg.Handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        ThrowDbError(3028);
    bool done = false;
    struct Rollback {
        sqlite3* db;
        bool* done;
        ~Rollback() {
            if (!*done)
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    } rollback{wg.Handle(), &done};
    std::string stored;
    if (KindOf(wg.Handle(), Utf8FromAnsi(user), &stored) != kAccountUser)
        ThrowDbError(dbErrNoAccount, user);
    if (own) {
        Statement s(wg.Handle(), "SELECT Salt, Hash FROM MavroSysAccounts WHERE Name = ?1");
        s.Text(1, stored);
        if (!s.Row() || sqlite3_column_type(s.Get(), 0) != SQLITE_BLOB ||
            sqlite3_column_type(s.Get(), 1) != SQLITE_BLOB)
            ThrowDbError(dbErrBadAccount);
        std::string salt((const char*)sqlite3_column_blob(s.Get(), 0),
                         (size_t)sqlite3_column_bytes(s.Get(), 0));
        std::string hash((const char*)sqlite3_column_blob(s.Get(), 1),
                         (size_t)sqlite3_column_bytes(s.Get(), 1));
        if (DbPasswordHash(salt, Utf8FromAnsi(oldPassword)) != hash)
            ThrowDbError(dbErrBadAccount);
    }
    std::string salt = RandomSalt();
    Statement set(wg.Handle(), "UPDATE MavroSysAccounts SET Salt = ?2, Hash = ?3 WHERE Name = ?1");
    set.Text(1, stored);
    set.Blob(2, salt);
    set.Blob(3, DbPasswordHash(salt, Utf8FromAnsi(newPassword)));
    Run(set);
    if (sqlite3_exec(wg.Handle(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        ThrowDbError(dbErrLocked);
    done = true;
}

// ---- links and imports

void CdbDatabase::CheckAttachedAccess(const std::string& schema, const std::string& utf8Source,
                                      bool import) {
    sqlite3* db = m_conn->Handle();
    if (sqlite3_table_column_metadata(db, schema.c_str(), "MavroSysPermissions", "Rights", nullptr,
                                      nullptr, nullptr, nullptr, nullptr) != SQLITE_OK)
        return;
    std::string q = DbQuote(schema);
    sqlite3_stmt* any = m_conn->Prepare("SELECT 1 FROM " + q + ".MavroSysPermissions LIMIT 1");
    {
        CdbStatementScope scope(any);
        if (sqlite3_step(any) != SQLITE_ROW)
            return;
    }
    // A secured source: an import opens it without a login; a link reads it
    // with the rights of the login there.
    const CdbLogin& login = m_conn->login;
    if (import || !login.workgroup)
        ThrowDbError(dbErrNoPermission);
    auto rights = [&](const char* container, const std::string& document) {
        sqlite3_stmt* s = m_conn->Prepare("SELECT Identifier, Rights FROM " + q +
                                          ".MavroSysPermissions WHERE Container = ?1 COLLATE "
                                          "NOCASE AND Document = ?2 COLLATE NOCASE");
        CdbStatementScope scope(s);
        sqlite3_bind_text(s, 1, container, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 2, document.data(), (int)document.size(), SQLITE_TRANSIENT);
        long r = 0;
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            std::string id;
            if (!ReadIdentifier(s, 0, &id) || sqlite3_column_type(s, 1) != SQLITE_INTEGER)
                ThrowDbError(dbErrBadFormat, "MavroSysPermissions");
            if (std::find(login.identifiers.begin(), login.identifiers.end(), id) !=
                login.identifiers.end())
                r |= (long)sqlite3_column_int64(s, 1);
        }
        if (rc != SQLITE_DONE)
            m_conn->Fail(rc, dbErrBadFormat);
        return r;
    };
    if (!(rights("Databases", std::string()) & dbSecDBOpen))
        ThrowDbError(dbErrNoPermission);
    if ((rights("Tables", utf8Source) & dbSecRetrieveData) != dbSecRetrieveData)
        ThrowDbError(dbErrNoReadPermission, AnsiFromUtf8(utf8Source));
}
