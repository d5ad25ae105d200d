#include "aDbEngine.h"

#include <wincrypt.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "aJetSql.h"
#include "sqlite3.h"

namespace {

const char* ErrorText(long number) {
    switch (number) {
        case dbErrInvalidArgument:
            return "Invalid argument.";
        case 3020:
            return "Update or CancelUpdate without AddNew or Edit.";
        case dbErrNoCurrentRecord:
            return "No current record.";
        case 3022:
            return "The changes you requested to the table were not successful because they "
                   "would create duplicate values in the index, primary key, or relationship.";
        case dbErrCannotFindFile:
            return "Could not find file";
        case dbErrReadOnly:
            return "Cannot update. Database or object is read-only.";
        case 3028:
            return "Can't start your application. The workgroup information file is missing or "
                   "opened exclusively by another user.";
        case dbErrBadAccount:
            return "Not a valid account name or password.";
        case dbErrBadPassword:
            return "Not a valid password.";
        case dbErrCouldNotUse:
            return "Could not use; file already in use.";
        case dbErrTooManyDatabases:
            return "Cannot open any more databases.";
        case dbErrFileInUse:
            return "The database engine cannot open the file. It is already opened exclusively "
                   "by another user, or you need permission to view its data.";
        case dbErrSyntax:
            return "Syntax error in query expression";
        case dbErrNoSuchObject:
            return "The database engine cannot find the input table or query";
        case dbErrFieldTooSmall:
            return "The field is too small to accept the amount of data you attempted to add.";
        case dbErrRecordDeleted:
            return "Record is deleted.";
        case dbErrNoOdbc:
            return "ODBC--connection failed.";
        case dbErrNoIsam:
            return "Could not find installable ISAM.";
        case dbErrWriteConflict:
            return "The database engine stopped the process because you and another user are "
                   "attempting to change the same data at the same time.";
        case 3219:
            return "Invalid operation.";
        case dbErrUnsupported:
            return "Operation is not supported for this type of object.";
        case dbErrLocked:
            return "Couldn't update; currently locked.";
        case dbErrItemNotFound:
            return "Item not found in this collection.";
        case dbErrPropertyNotFound:
            return "Property not found.";
        case dbErrBadFormat:
            return "Unrecognized database format.";
        case dbErrObjectClosed:
            return "Object invalid or no longer set.";
        case dbErrTypeConversion:
            return "Data type conversion error.";
        default:
            return "Reserved error; there is no message for this error.";
    }
}

std::string Quote(const std::string& name) {
    std::string q = "\"";
    for (char c : name) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + "\"";
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return s;
}

bool SameName(const std::string& a, const std::string& b) {
    // UTF-8 names compared without case (ASCII letters), as Jet names are.
    return a.size() == b.size() && Lower(a) == Lower(b);
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    size_t n = strlen(prefix);
    return s.size() >= n && _strnicmp(s.c_str(), prefix, n) == 0;
}

std::string Utf8Path(const std::string& ansiPath) {
    return Utf8FromAnsi(ansiPath);
}

std::wstring WidePath(const std::string& ansiPath) {
    std::string u = Utf8Path(ansiPath);
    int w = MultiByteToWideChar(CP_UTF8, 0, u.c_str(), -1, nullptr, 0);
    std::wstring wide(w > 0 ? w : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, u.c_str(), -1, &wide[0], w);
    return wide;
}

DWORD FileAttributes(const std::string& ansiPath) {
    return GetFileAttributesW(WidePath(ansiPath).c_str());
}

// The file's volume serial and index: the same whichever path spells it.
// Empty when the file cannot be asked.
std::string FileIdentity(const std::string& ansiPath) {
    HANDLE h = CreateFileW(WidePath(ansiPath).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    BY_HANDLE_FILE_INFORMATION info;
    BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok)
        return std::string();
    char key[40];
    snprintf(key, sizeof(key), "%08lx-%08lx%08lx", (unsigned long)info.dwVolumeSerialNumber,
             (unsigned long)info.nFileIndexHigh, (unsigned long)info.nFileIndexLow);
    return key;
}

// Whether another handle holds the file so that an exclusive open cannot
// have it: any handle at all for a writable open, a writing one for a
// read-only open.
bool HeldElsewhere(const std::string& ansiPath, bool readOnly) {
    HANDLE h = CreateFileW(WidePath(ansiPath).c_str(), GENERIC_READ, readOnly ? FILE_SHARE_READ : 0,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return false;
}

bool FileExists(const std::string& ansiPath) {
    DWORD a = FileAttributes(ansiPath);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// Jet's Like over SQLite's like(pattern, text) (2 arguments; ESCAPE stays
// SQLite's own).
void LikeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const unsigned char* pattern = sqlite3_value_text(argv[0]);
    const unsigned char* text = sqlite3_value_text(argv[1]);
    if (!pattern || !text) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int(ctx, JetLikeMatch((const char*)pattern, (const char*)text) ? 1 : 0);
}

// Jet's Int: the largest integer not above the number.
void IntFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    double d = sqlite3_value_double(argv[0]);
    double f = (double)(int64_t)d;
    if (f > d)
        f -= 1;
    sqlite3_result_double(ctx, f);
}

// Text comparison without case in the Chinese sort order (the files' collating
// order): columns and queries may name it as COLLATE JET.
int JetCollation(void*, int n1, const void* a, int n2, const void* b) {
    WCHAR wa[256], wb[256];
    std::wstring ba, bb;
    int la = MultiByteToWideChar(CP_UTF8, 0, (const char*)a, n1, nullptr, 0);
    int lb = MultiByteToWideChar(CP_UTF8, 0, (const char*)b, n2, nullptr, 0);
    WCHAR* pa = wa;
    WCHAR* pb = wb;
    if (la > 256) {
        ba.assign(la, L'\0');
        pa = &ba[0];
    }
    if (lb > 256) {
        bb.assign(lb, L'\0');
        pb = &bb[0];
    }
    MultiByteToWideChar(CP_UTF8, 0, (const char*)a, n1, pa, la);
    MultiByteToWideChar(CP_UTF8, 0, (const char*)b, n2, pb, lb);
    int r = CompareStringW(MAKELCID(0x0804, SORT_DEFAULT), NORM_IGNORECASE, pa, la, pb, lb);
    return r == CSTR_LESS_THAN ? -1 : r == CSTR_GREATER_THAN ? 1 : 0;
}

void RegisterFunctions(sqlite3* db) {
    sqlite3_create_function(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            LikeFunction, nullptr, nullptr);
    sqlite3_create_function(db, "jet_int", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            IntFunction, nullptr, nullptr);
    sqlite3_create_collation(db, "JET", SQLITE_UTF8, nullptr, JetCollation);
}

long ErrorForResult(int rc, long fallback) {
    switch (rc & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return dbErrLocked;
        case SQLITE_READONLY:
            return dbErrReadOnly;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            return dbErrBadFormat;
        case SQLITE_CANTOPEN:
            return dbErrCannotFindFile;
        case SQLITE_CONSTRAINT:
            return 3022;
        case SQLITE_TOOBIG:
            return dbErrFieldTooSmall;
        default:
            return fallback;
    }
}

// A Jet query made ready for SQLite: undeclared names that SQLite does not
// know become parameters, as Jet asks for them.
struct PreparedQuery {
    JetSqlResult rewrite;
    std::vector<CdbFieldInfo> fields;
    std::vector<std::string> baseColumns;  // UTF-8 origin column of each field
};

PreparedQuery PrepareJetQuery(sqlite3* db, const std::string& utf8Sql) {
    PreparedQuery q;
    std::vector<std::string> extra;
    for (int attempt = 0; attempt < 64; ++attempt) {
        q.rewrite = RewriteJetSql(utf8Sql, extra);
        if (!q.rewrite.error.empty())
            ThrowDbError(dbErrSyntax, AnsiFromUtf8(q.rewrite.error));
        if (q.rewrite.queryType == dbQCrosstab)
            ThrowDbError(dbErrUnsupported, "TRANSFORM");
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, q.rewrite.sql.c_str(), (int)q.rewrite.sql.size(), &stmt,
                                    nullptr);
        if (rc != SQLITE_OK) {
            std::string msg = sqlite3_errmsg(db);
            static const char kNoColumn[] = "no such column: ";
            if (msg.compare(0, sizeof(kNoColumn) - 1, kNoColumn) == 0) {
                std::string name = msg.substr(sizeof(kNoColumn) - 1);
                bool known = false;
                for (const std::string& e : extra) known = known || SameName(e, name);
                if (!known && name.find('.') == std::string::npos) {
                    extra.push_back(name);
                    continue;
                }
            }
            if (msg.compare(0, 15, "no such table: ") == 0)
                ThrowDbError(dbErrNoSuchObject, AnsiFromUtf8(msg.substr(15)));
            ThrowDbError(dbErrSyntax, AnsiFromUtf8(msg));
        }
        int n = sqlite3_column_count(stmt);
        for (int i = 0; i < n; ++i) {
            CdbFieldInfo f;
            const char* name = sqlite3_column_name(stmt, i);
            const char* table = sqlite3_column_table_name(stmt, i);
            const char* origin = sqlite3_column_origin_name(stmt, i);
            const char* schema = sqlite3_column_database_name(stmt, i);
            f.name = AnsiFromUtf8(name ? name : "");
            std::string base;
            if (table && origin) {
                f.sourceTable = AnsiFromUtf8(table);
                f.sourceField = AnsiFromUtf8(origin);
                const char* declared = nullptr;
                sqlite3_table_column_metadata(db, schema, table, origin, &declared, nullptr,
                                              nullptr, nullptr, nullptr);
                f.type = DaoTypeFromDeclared(declared, &f.size);
                if (q.rewrite.singleTable && SameName(table, q.rewrite.baseTable))
                    base = origin;
            } else {
                f.type = DaoTypeFromDeclared(sqlite3_column_decltype(stmt, i), &f.size);
            }
            q.fields.push_back(f);
            q.baseColumns.push_back(base);
        }
        sqlite3_finalize(stmt);
        return q;
    }
    ThrowDbError(dbErrSyntax, "too many parameters");
}

}  // namespace

void ThrowDbError(long number, const std::string& detail) {
    std::string text = ErrorText(number);
    if (!detail.empty())
        text += " '" + detail + "'";
    throw CdbException(number, text);
}

std::string DbPasswordHash(const std::string& salt, const std::string& passwordUtf8) {
    std::string out;
    HCRYPTPROV prov = 0;
    if (!CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return out;
    HCRYPTHASH hash = 0;
    if (CryptCreateHash(prov, CALG_SHA_256, 0, 0, &hash)) {
        CryptHashData(hash, (const BYTE*)salt.data(), (DWORD)salt.size(), 0);
        CryptHashData(hash, (const BYTE*)passwordUtf8.data(), (DWORD)passwordUtf8.size(), 0);
        BYTE value[32];
        DWORD n = sizeof(value);
        if (CryptGetHashParam(hash, HP_HASHVAL, value, &n, 0))
            out.assign((const char*)value, n);
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(prov, 0);
    return out;
}

// ---- connection

CdbConnection::~CdbConnection() {
    for (auto& s : m_statements) sqlite3_finalize(s.second);
    sqlite3_close_v2(m_db);
    if (m_generation)
        UnmapViewOfFile((void*)m_generation);
    if (m_mapping)
        CloseHandle(m_mapping);
}

void CdbConnection::OpenGeneration(const std::string& path) {
    // Named after the file itself, so every path that spells it shares the count.
    identity = FileIdentity(path);
    if (identity.empty())
        return;
    std::string name = "Local\\MavroDB-" + identity;
    m_mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, name.c_str());
    if (m_mapping)
        m_generation = (volatile LONG64*)MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, 8);
}

void CdbConnection::BumpGeneration() {
    if (m_generation)
        InterlockedIncrement64(m_generation);
    else
        ++m_localGeneration;
}

sqlite3_stmt* CdbConnection::Prepare(const std::string& sql) {
    auto it = m_statements.find(sql);
    if (it != m_statements.end()) {
        sqlite3_reset(it->second);
        sqlite3_clear_bindings(it->second);
        return it->second;
    }
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql.c_str(), (int)sql.size(), &stmt, nullptr);
    if (rc != SQLITE_OK)
        Fail(rc, dbErrSyntax);
    m_statements[sql] = stmt;
    return stmt;
}

void CdbConnection::Exec(const std::string& sql) {
    int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        Fail(rc);
}

void CdbConnection::Fail(int rc, long fallback) {
    ThrowDbError(ErrorForResult(rc, fallback), AnsiFromUtf8(sqlite3_errmsg(m_db)));
}

CdbStatementScope::~CdbStatementScope() {
    if (m_stmt)
        sqlite3_reset(m_stmt);
}

// ---- engine and workspace

void CdbDBEngine::CheckLogin(const std::string& user, const std::string& password) {
    if (m_systemDB.empty()) {
        if (_stricmp(user.c_str(), "admin") != 0 || !password.empty())
            ThrowDbError(dbErrBadAccount);
        return;
    }
    if (!FileExists(m_systemDB))
        ThrowDbError(3028);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(Utf8Path(m_systemDB).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        ThrowDbError(3028);
    }
    sqlite3_busy_timeout(db, 250);
    sqlite3_stmt* stmt = nullptr;
    bool ok = false;
    std::string u = Utf8FromAnsi(user);
    if (sqlite3_prepare_v2(db, "SELECT Name, Salt, Hash FROM MavroSysAccounts", -1, &stmt,
                           nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            DbValue name = DbValueFromColumn(stmt, 0);
            if (!SameName(name.s, u))
                continue;
            DbValue salt = DbValueFromColumn(stmt, 1);
            DbValue hash = DbValueFromColumn(stmt, 2);
            ok = DbPasswordHash(salt.s, Utf8FromAnsi(password)) == hash.s;
            break;
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (!ok)
        ThrowDbError(dbErrBadAccount);
}

CdbWorkspace::CdbWorkspace(CdbDBEngine* engine, const std::string& name, const std::string& user,
                           const std::string& password)
    : m_engine(engine), m_name(name), m_user(user) {
    m_engine->CheckLogin(user, password);
}

std::unique_ptr<CdbDatabase> CdbWorkspace::OpenDatabase(const std::string& path, bool exclusive,
                                                        bool readOnly, const std::string& connect) {
    return CdbDatabase::Open(path, exclusive, readOnly, connect);
}

// ---- database

CdbDatabase::~CdbDatabase() {}

std::unique_ptr<CdbDatabase> CdbDatabase::Open(const std::string& path, bool exclusive,
                                               bool readOnly, const std::string& connect) {
    if (path.empty() || !FileExists(path))
        ThrowDbError(dbErrCannotFindFile, path);
    // A file marked read-only is not opened for writing, whoever may write it.
    if (!readOnly && (FileAttributes(path) & FILE_ATTRIBUTE_READONLY))
        ThrowDbError(dbErrFileInUse, path);
    // An idle connection holds no lock SQLite could see: ask the file system.
    if (exclusive && HeldElsewhere(path, readOnly))
        ThrowDbError(dbErrCouldNotUse, path);
    sqlite3* db = nullptr;
    int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(Utf8Path(path).c_str(), &db, flags, nullptr);
    std::unique_ptr<CdbDatabase> d(new CdbDatabase());
    d->m_conn = std::make_shared<CdbConnection>(db);
    d->m_path = path;
    if (rc != SQLITE_OK)
        d->m_conn->Fail(rc, dbErrCannotFindFile);
    // A writable open of a file that can only be read is refused, as Jet
    // refuses it; the caller falls back to read-only.
    if (!readOnly && sqlite3_db_readonly(db, "main") == 1)
        ThrowDbError(dbErrFileInUse, path);
    d->m_conn->readOnly = readOnly;
    d->m_conn->OpenGeneration(path);
    RegisterFunctions(db);
    auto probe = [&]() {
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        if ((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED)
            ThrowDbError(dbErrFileInUse, path);
        if (rc != SQLITE_OK)
            ThrowDbError(ErrorForResult(rc, dbErrBadFormat), path);
    };
    probe();
    if (exclusive) {
        // The lock taken now is kept until the file is closed.
        d->m_conn->Exec("PRAGMA locking_mode=EXCLUSIVE");
        if (readOnly) {
            probe();
        } else {
            rc = sqlite3_exec(db, "BEGIN EXCLUSIVE; COMMIT", nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK) {
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                ThrowDbError(dbErrFileInUse, path);
            }
        }
    }
    sqlite3_busy_timeout(db, 250);
    d->CheckPassword(connect);
    return d;
}

void CdbDatabase::CheckPassword(const std::string& connect) {
    std::string given;
    size_t p = Lower(connect).find("pwd=");
    if (p != std::string::npos) {
        size_t e = connect.find(';', p + 4);
        given = connect.substr(p + 4, e == std::string::npos ? std::string::npos : e - p - 4);
    }
    sqlite3* db = m_conn->Handle();
    if (sqlite3_table_column_metadata(db, "main", "MavroSysPassword", "Hash", nullptr, nullptr,
                                      nullptr, nullptr, nullptr) != SQLITE_OK)
        return;
    sqlite3_stmt* stmt = m_conn->Prepare("SELECT Salt, Hash FROM MavroSysPassword LIMIT 1");
    CdbStatementScope scope(stmt);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE)
        return;
    if (rc != SQLITE_ROW)
        m_conn->Fail(rc);
    DbValue salt = DbValueFromColumn(stmt, 0);
    DbValue hash = DbValueFromColumn(stmt, 1);
    if (DbPasswordHash(salt.s, Utf8FromAnsi(given)) != hash.s)
        ThrowDbError(dbErrBadPassword);
}

void CdbDatabase::Close() {
    m_conn.reset();
}

void CdbDatabase::CheckOpen() const {
    if (!m_conn)
        ThrowDbError(dbErrObjectClosed);
}

static bool HasTable(sqlite3* db, const char* table) {
    return sqlite3_table_column_metadata(db, "main", table, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr) == SQLITE_OK;
}

std::vector<CdbTableDefInfo> CdbDatabase::TableDefs() {
    CheckOpen();
    std::vector<CdbTableDefInfo> out;
    sqlite3_stmt* stmt =
        m_conn->Prepare("SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid");
    {
        CdbStatementScope scope(stmt);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::string name = (const char*)sqlite3_column_text(stmt, 0);
            if (StartsWithNoCase(name, "sqlite_"))
                continue;
            CdbTableDefInfo t;
            t.name = AnsiFromUtf8(name);
            t.attributes = StartsWithNoCase(name, "MavroSys") ? (uint32_t)dbSystemObject : 0u;
            out.push_back(t);
        }
        if (rc != SQLITE_DONE)
            m_conn->Fail(rc);
    }
    if (HasTable(m_conn->Handle(), "MavroSysLinks")) {
        sqlite3_stmt* links = m_conn->Prepare("SELECT Name, Connect FROM MavroSysLinks");
        CdbStatementScope scope(links);
        int rc;
        while ((rc = sqlite3_step(links)) == SQLITE_ROW) {
            DbValue name = DbValueFromColumn(links, 0);
            DbValue connect = DbValueFromColumn(links, 1);
            CdbTableDefInfo t;
            t.name = AnsiFromUtf8(name.s);
            t.attributes = StartsWithNoCase(connect.s, "ODBC;") ? (uint32_t)dbAttachedODBC
                                                                : (uint32_t)dbAttachedTable;
            out.push_back(t);
        }
        if (rc != SQLITE_DONE)
            m_conn->Fail(rc);
    }
    return out;
}

std::vector<CdbQueryDefInfo> CdbDatabase::QueryDefs() {
    CheckOpen();
    std::vector<CdbQueryDefInfo> out;
    if (!HasTable(m_conn->Handle(), "MavroSysQueries"))
        return out;
    sqlite3_stmt* stmt = m_conn->Prepare("SELECT Name, SQL FROM MavroSysQueries ORDER BY rowid");
    CdbStatementScope scope(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        CdbQueryDefInfo q;
        DbValue name = DbValueFromColumn(stmt, 0);
        DbValue sql = DbValueFromColumn(stmt, 1);
        q.name = AnsiFromUtf8(name.s);
        q.sql = AnsiFromUtf8(sql.s);
        JetSqlResult r = RewriteJetSql(sql.s);
        q.type = r.error.empty() ? r.queryType : dbQSelect;
        out.push_back(q);
    }
    if (rc != SQLITE_DONE)
        m_conn->Fail(rc);
    return out;
}

bool CdbDatabase::FindQuery(const std::string& query, std::string* utf8Name, std::string* sql) {
    if (!HasTable(m_conn->Handle(), "MavroSysQueries"))
        return false;
    std::string u = Utf8FromAnsi(query);
    sqlite3_stmt* stmt = m_conn->Prepare("SELECT Name, SQL FROM MavroSysQueries");
    CdbStatementScope scope(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        DbValue name = DbValueFromColumn(stmt, 0);
        if (!SameName(name.s, u))
            continue;
        *utf8Name = name.s;
        *sql = DbValueFromColumn(stmt, 1).s;
        return true;
    }
    if (rc != SQLITE_DONE)
        m_conn->Fail(rc);
    return false;
}

std::string CdbDatabase::TableReference(const std::string& utf8Table, std::string* realTable) {
    *realTable = utf8Table;
    sqlite3* db = m_conn->Handle();
    if (HasTable(db, utf8Table.c_str()) || !HasTable(db, "MavroSysLinks"))
        return Quote(utf8Table);
    std::string connect, source, name;
    {
        sqlite3_stmt* stmt =
            m_conn->Prepare("SELECT Name, Connect, SourceTable FROM MavroSysLinks");
        CdbStatementScope scope(stmt);
        int rc;
        bool found = false;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            DbValue n = DbValueFromColumn(stmt, 0);
            if (!SameName(n.s, utf8Table))
                continue;
            name = n.s;
            connect = DbValueFromColumn(stmt, 1).s;
            source = DbValueFromColumn(stmt, 2).s;
            found = true;
            break;
        }
        if (!found)
            return Quote(utf8Table);
    }
    if (StartsWithNoCase(connect, "ODBC;"))
        ThrowDbError(dbErrNoOdbc, AnsiFromUtf8(connect));
    // Only links to another .mvb have a driver here: ";DATABASE=path".
    if (!StartsWithNoCase(connect, ";DATABASE="))
        ThrowDbError(dbErrNoIsam, AnsiFromUtf8(connect));
    std::string file = connect.substr(10);
    *realTable = source;
    // One schema per file, however many links lead into it; a link into
    // the open file reads its own tables.
    std::string key = FileIdentity(AnsiFromUtf8(file));
    if (!key.empty() && key == m_conn->identity)
        return "\"main\"." + Quote(source);
    if (key.empty())
        key = Lower(file);
    auto it = m_conn->linkSchemas.find(key);
    std::string schema;
    if (it == m_conn->linkSchemas.end()) {
        if ((int)m_conn->linkSchemas.size() >= sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, -1))
            ThrowDbError(dbErrTooManyDatabases, AnsiFromUtf8(file));
        schema = "link" + std::to_string(m_conn->linkSchemas.size() + 1);
        sqlite3_stmt* attach = nullptr;
        std::string sql = "ATTACH DATABASE ?1 AS " + Quote(schema);
        int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &attach, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_text(attach, 1, file.c_str(), (int)file.size(), SQLITE_TRANSIENT);
            rc = sqlite3_step(attach);
        }
        sqlite3_finalize(attach);
        if (rc != SQLITE_DONE)
            m_conn->Fail(rc, dbErrCannotFindFile);
        m_conn->linkSchemas[key] = schema;
    } else {
        schema = it->second;
    }
    return Quote(schema) + "." + Quote(source);
}

std::vector<CdbFieldInfo> CdbDatabase::TableFields(const std::string& table) {
    CheckOpen();
    std::string real;
    std::string u = Utf8FromAnsi(table);
    std::string ref = TableReference(u, &real);
    std::string schema = "main";
    size_t dot = ref.find("\".\"");
    if (dot != std::string::npos)
        schema = ref.substr(1, dot - 1);
    std::vector<CdbFieldInfo> out;
    sqlite3_stmt* stmt = m_conn->Prepare("SELECT name, type FROM pragma_table_info(?1, ?2)");
    CdbStatementScope scope(stmt);
    sqlite3_bind_text(stmt, 1, real.c_str(), (int)real.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, schema.c_str(), (int)schema.size(), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        CdbFieldInfo f;
        const char* name = (const char*)sqlite3_column_text(stmt, 0);
        f.name = AnsiFromUtf8(name ? name : "");
        f.type = DaoTypeFromDeclared((const char*)sqlite3_column_text(stmt, 1), &f.size);
        f.sourceTable = table;
        f.sourceField = f.name;
        out.push_back(f);
    }
    if (rc != SQLITE_DONE)
        m_conn->Fail(rc);
    if (out.empty())
        ThrowDbError(dbErrItemNotFound, table);
    return out;
}

std::vector<CdbFieldInfo> CdbDatabase::QueryFields(const std::string& query) {
    CheckOpen();
    std::string name, sql;
    if (!FindQuery(query, &name, &sql))
        ThrowDbError(dbErrItemNotFound, query);
    return PrepareJetQuery(m_conn->Handle(), sql).fields;
}

std::vector<CdbParameter> CdbDatabase::QueryParameters(const std::string& query) {
    CheckOpen();
    std::string name, sql;
    if (!FindQuery(query, &name, &sql))
        ThrowDbError(dbErrItemNotFound, query);
    PreparedQuery q = PrepareJetQuery(m_conn->Handle(), sql);
    std::vector<CdbParameter> out;
    for (const JetSqlParameter& p : q.rewrite.params) {
        CdbParameter c;
        c.name = AnsiFromUtf8(p.name);
        c.type = p.type;
        out.push_back(c);
    }
    return out;
}

std::string CdbDatabase::GetQuerySQL(const std::string& query) {
    CheckOpen();
    std::string name, sql;
    if (!FindQuery(query, &name, &sql))
        ThrowDbError(dbErrItemNotFound, query);
    return AnsiFromUtf8(sql);
}

int CdbDatabase::GetQueryType(const std::string& query) {
    CheckOpen();
    std::string name, sql;
    if (!FindQuery(query, &name, &sql))
        ThrowDbError(dbErrItemNotFound, query);
    JetSqlResult r = RewriteJetSql(sql);
    return r.error.empty() ? r.queryType : dbQSelect;
}

void CdbDatabase::SetQuerySQL(const std::string& query, const std::string& sql) {
    CheckOpen();
    if (m_conn->readOnly)
        ThrowDbError(dbErrReadOnly);
    std::string name, old;
    if (!FindQuery(query, &name, &old))
        ThrowDbError(dbErrItemNotFound, query);
    std::string u = Utf8FromAnsi(sql);
    JetSqlResult r = RewriteJetSql(u);
    if (!r.error.empty())
        ThrowDbError(dbErrSyntax, AnsiFromUtf8(r.error));
    // A select must read as one here, as Jet checks a query's text when it is set.
    if (r.queryType == dbQSelect || r.queryType == dbQSetOperation)
        PrepareJetQuery(m_conn->Handle(), u);
    sqlite3_stmt* stmt = m_conn->Prepare("UPDATE MavroSysQueries SET SQL=?1 WHERE Name=?2");
    CdbStatementScope scope(stmt);
    sqlite3_bind_text(stmt, 1, u.c_str(), (int)u.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, name.c_str(), (int)name.size(), SQLITE_TRANSIENT);
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE)
        m_conn->Fail(rc);
}

void CdbDatabase::GetProperty(const std::string& object, const std::string& field,
                              const std::string& name, VARIANT* value) {
    CheckOpen();
    VariantClear(value);
    if (!HasTable(m_conn->Handle(), "MavroSysProperties"))
        ThrowDbError(dbErrPropertyNotFound, name);
    std::string o = Utf8FromAnsi(object), f = Utf8FromAnsi(field), n = Utf8FromAnsi(name);
    sqlite3_stmt* stmt =
        m_conn->Prepare("SELECT Object, Field, Name, Value FROM MavroSysProperties");
    CdbStatementScope scope(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!SameName(DbValueFromColumn(stmt, 0).s, o) ||
            !SameName(DbValueFromColumn(stmt, 1).s, f) ||
            !SameName(DbValueFromColumn(stmt, 2).s, n))
            continue;
        DbValueToVariant(DbValueFromColumn(stmt, 3), 0, value);
        return;
    }
    if (rc != SQLITE_DONE)
        m_conn->Fail(rc);
    ThrowDbError(dbErrPropertyNotFound, name);
}

std::unique_ptr<CdbRecordset> CdbDatabase::OpenTable(const std::string& table) {
    CheckOpen();
    std::unique_ptr<CdbRecordset> rs(new CdbRecordset());
    rs->m_conn = m_conn;
    rs->m_fields = TableFields(table);
    std::string real;
    std::string u = Utf8FromAnsi(table);
    rs->m_tableRef = TableReference(u, &real);
    rs->m_table = real;
    bool linked = rs->m_tableRef.find("\".\"") != std::string::npos;
    rs->m_updatable = !m_conn->readOnly && !linked;
    // Key order: the primary key's columns, else the rowid.
    std::string order;
    {
        std::string schema = "main";
        if (linked)
            schema = rs->m_tableRef.substr(1, rs->m_tableRef.find("\".\"") - 1);
        sqlite3_stmt* stmt = m_conn->Prepare(
            "SELECT name, type FROM pragma_table_info(?1, ?2) WHERE pk > 0 ORDER BY pk");
        CdbStatementScope scope(stmt);
        sqlite3_bind_text(stmt, 1, real.c_str(), (int)real.size(), SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, schema.c_str(), (int)schema.size(), SQLITE_TRANSIENT);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            if (!order.empty())
                order += ", ";
            order += Quote((const char*)sqlite3_column_text(stmt, 0));
            // Text keys in Jet's order, without case.
            long size = 0;
            int type = DaoTypeFromDeclared((const char*)sqlite3_column_text(stmt, 1), &size);
            if (type == dbText || type == dbMemo)
                order += " COLLATE JET";
        }
    }
    if (order.empty())
        order = "rowid";
    std::string columns;
    for (const CdbFieldInfo& f : rs->m_fields) {
        std::string c = Utf8FromAnsi(f.name);
        rs->m_baseColumns.push_back(c);
        columns += (columns.empty() ? "" : ", ") + Quote(c);
    }
    rs->m_selectSql = "SELECT rowid FROM " + rs->m_tableRef + " ORDER BY " + order;
    rs->m_rowSql = "SELECT " + columns + " FROM " + rs->m_tableRef + " WHERE rowid = ?1";
    rs->m_windowSql = "SELECT rowid, " + columns + " FROM " + rs->m_tableRef + " WHERE rowid IN (";
    for (size_t i = 0; i < rs->m_fields.size(); ++i) {
        std::string key = rs->m_fields[i].name;
        CharUpperBuffA(&key[0], (DWORD)key.size());
        rs->m_fieldIndex.emplace(key, (int)i);
    }
    rs->LoadSnapshot();
    return rs;
}

std::unique_ptr<CdbRecordset> CdbDatabase::OpenQuery(const std::string& query,
                                                     const std::vector<CdbParameter>& params) {
    CheckOpen();
    std::string name, sql;
    if (!FindQuery(query, &name, &sql))
        ThrowDbError(dbErrItemNotFound, query);
    PreparedQuery q = PrepareJetQuery(m_conn->Handle(), sql);
    if (q.rewrite.queryType != dbQSelect && q.rewrite.queryType != dbQSetOperation)
        ThrowDbError(dbErrUnsupported, query);
    std::unique_ptr<CdbRecordset> rs(new CdbRecordset());
    rs->m_conn = m_conn;
    rs->m_fields = q.fields;
    // Values by position; a parameter without one is Null.
    for (size_t i = 0; i < q.rewrite.params.size(); ++i) {
        DbValue v;
        if (i < params.size()) {
            long error = 0;
            // A value that is not of the declared type goes in as text.
            if (!VariantToDbValue(params[i].value, params[i].type, 0, &v, &error) &&
                !VariantToDbValue(params[i].value, dbText, 0, &v, &error))
                ThrowDbError(dbErrTypeConversion, params[i].name);
        }
        rs->m_params.push_back(v);
    }
    bool writable = q.rewrite.singleTable && !m_conn->readOnly;
    std::string baseRef;
    if (writable) {
        std::string real;
        baseRef = TableReference(q.rewrite.baseTable, &real);
        writable = baseRef.find("\".\"") == std::string::npos;
        rs->m_table = real;
    }
    if (writable) {
        // The base rowid rides along as column 0.
        std::string s = q.rewrite.sql;
        size_t p = s.find_first_not_of(' ');
        if (p == std::string::npos || _strnicmp(s.c_str() + p, "SELECT", 6) != 0)
            writable = false;
        else {
            s.insert(p + 6, " rowid AS \"mavro_rowid_\",");
            std::string rid = "?" + std::to_string(q.rewrite.params.size() + 1);
            rs->m_selectSql = "SELECT \"mavro_rowid_\" FROM (" + s + ")";
            rs->m_rowSql = "SELECT * FROM (" + s + ") WHERE \"mavro_rowid_\" = " + rid;
            rs->m_windowSql = "SELECT * FROM (" + s + ") WHERE \"mavro_rowid_\" IN (";
            rs->m_tableRef = baseRef;
            rs->m_baseColumns = q.baseColumns;
        }
    }
    rs->m_updatable = writable;
    if (!writable) {
        rs->m_table.clear();
        rs->m_selectSql = q.rewrite.sql;
        rs->m_baseColumns.assign(q.fields.size(), std::string());
    }
    for (size_t i = 0; i < rs->m_fields.size(); ++i) {
        std::string key = rs->m_fields[i].name;
        CharUpperBuffA(&key[0], (DWORD)key.size());
        rs->m_fieldIndex.emplace(key, (int)i);
    }
    rs->LoadSnapshot();
    return rs;
}
