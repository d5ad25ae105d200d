#include "aDbEngine.h"

#include <wincrypt.h>
#include <stdio.h>
#include <stdlib.h>
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
        case dbErrNoAccount:
            return "Not a valid account name.";
        case dbErrNoPermission:
            return "You do not have the necessary permissions to use the object.";
        case dbErrNoInsertPermission:
            return "Cannot update; no insert permission on the object.";
        case dbErrNoReplacePermission:
            return "Cannot update; no update permission on the object.";
        case dbErrNoDeletePermission:
            return "Cannot delete from the object; no delete permission.";
        case dbErrNoDesignPermission:
            return "Cannot create or change the object; no design permission.";
        case dbErrNoReadPermission:
            return "Records cannot be read; no read permission on the object.";
        case dbErrDatabaseExists:
            return "Database already exists.";
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
        case dbErrBadName:
            return "is not a valid name. Make sure that it does not include invalid characters "
                   "or punctuation and that it is not too long.";
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
        case 3011:
            return "The database engine could not find the object.";
        case 3012:
            return "Object already exists.";
        case 3058:
            return "Index or primary key cannot contain a Null value.";
        case 3173:
            return "No unique index found for the referenced field of the primary table.";
        case 3191:
            return "Cannot define field more than once.";
        case 3200:
            return "The record cannot be deleted or changed because another table includes "
                   "related records.";
        case 3201:
            return "You cannot add or change a record because a related record is required in "
                   "another table.";
        case 3259:
            return "Invalid field data type.";
        case 3264:
            return "No field defined--cannot append TableDef or Index.";
        case 3280:
            return "Cannot delete a field that is part of an index or is needed by the system.";
        case 3281:
            return "Cannot delete this index or table. It is used in a relationship.";
        case 3283:
            return "Primary key already exists.";
        case 3284:
            return "Index already exists.";
        case 3303:
            return "Cannot delete this field or table. It is part of one or more relationships.";
        case 3367:
            return "Cannot append. An object with that name already exists in the collection.";
        case 3368:
            return "Relationship must be on the same number of fields with the same data types.";
        case 3378:
            return "Data in the related table violates referential integrity rules.";
        case 3409:
            return "Invalid field name in definition of index or relationship.";
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

// The schema of a table reference: "main" or a linked file's.
std::string SchemaOf(const std::string& ref) {
    size_t dot = ref.find("\".\"");
    return dot == std::string::npos ? std::string("main") : ref.substr(1, dot - 1);
}

// Numbers the records of a table as it gives the layer's key to them.
void NextKeyFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    int64_t* next = (int64_t*)sqlite3_user_data(ctx);
    sqlite3_result_int64(ctx, ++*next);
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

bool FileIsEmpty(const std::string& ansiPath) {
    std::string u = Utf8Path(ansiPath);
    int w = MultiByteToWideChar(CP_UTF8, 0, u.c_str(), -1, nullptr, 0);
    std::wstring wide(w > 0 ? w : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, u.c_str(), -1, &wide[0], w);
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data) &&
           data.nFileSizeHigh == 0 && data.nFileSizeLow == 0;
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

void JoinTexts(sqlite3_context* ctx, sqlite3_value* a, sqlite3_value* b) {
    std::string out;
    for (sqlite3_value* v : {a, b}) {
        const unsigned char* text = sqlite3_value_text(v);
        if (text)
            out.append((const char*)text, (size_t)sqlite3_value_bytes(v));
    }
    sqlite3_result_text(ctx, out.data(), (int)out.size(), SQLITE_TRANSIENT);
}

// Jet's +: two texts are joined and numbers added; a text beside a number
// counts as a number when it reads as one (else the two are joined); Null
// gives Null.
void AddFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int ta = sqlite3_value_type(argv[0]);
    int tb = sqlite3_value_type(argv[1]);
    if (ta == SQLITE_NULL || tb == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    bool textA = ta == SQLITE_TEXT || ta == SQLITE_BLOB;
    bool textB = tb == SQLITE_TEXT || tb == SQLITE_BLOB;
    if (textA || textB) {
        if (textA && textB) {
            JoinTexts(ctx, argv[0], argv[1]);
            return;
        }
        int n = sqlite3_value_numeric_type(argv[textA ? 0 : 1]);
        if (n != SQLITE_INTEGER && n != SQLITE_FLOAT) {
            JoinTexts(ctx, argv[0], argv[1]);
            return;
        }
        (textA ? ta : tb) = n;
    }
    if (ta == SQLITE_INTEGER && tb == SQLITE_INTEGER) {
        int64_t x = sqlite3_value_int64(argv[0]), y = sqlite3_value_int64(argv[1]);
        if (!((y > 0 && x > INT64_MAX - y) || (y < 0 && x < INT64_MIN - y))) {
            sqlite3_result_int64(ctx, x + y);
            return;
        }
    }
    sqlite3_result_double(ctx, sqlite3_value_double(argv[0]) + sqlite3_value_double(argv[1]));
}

// Jet's &: texts joined, a Null taken for "" beside a value; two Nulls give
// Null.
void JoinFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL && sqlite3_value_type(argv[1]) == SQLITE_NULL)
        sqlite3_result_null(ctx);
    else
        JoinTexts(ctx, argv[0], argv[1]);
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

// A 64-bit digest of a value's bytes: an edit keeps it for a large long
// value instead of the value, to tell whether someone changed it.
void DigestFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const unsigned char* p = (const unsigned char*)sqlite3_value_blob(argv[0]);
    int n = sqlite3_value_bytes(argv[0]);
    uint64_t h = 1469598103934665603ull;
    for (int i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    sqlite3_result_int64(ctx, (sqlite3_int64)h);
}

void RegisterFunctions(sqlite3* db) {
    sqlite3_create_function(db, "mavro_digest", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            DigestFunction, nullptr, nullptr);
    sqlite3_create_function(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            LikeFunction, nullptr, nullptr);
    sqlite3_create_function(db, "jet_int", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            IntFunction, nullptr, nullptr);
    sqlite3_create_function(db, "jet_add", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            AddFunction, nullptr, nullptr);
    sqlite3_create_function(db, "jet_join", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            JoinFunction, nullptr, nullptr);
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
    std::vector<int> columns;              // result column of each field
};

// Marks a caller's SQL while it is prepared, for the connection's guard.
class CallerSql {
public:
    explicit CallerSql(CdbConnection* conn) : m_conn(conn) {
        conn->callerSql = true;
        conn->callerDenied = false;
        conn->callerTables.clear();
    }
    ~CallerSql() { m_conn->callerSql = false; }
    CallerSql(const CallerSql&) = delete;
    CallerSql& operator=(const CallerSql&) = delete;

private:
    CdbConnection* m_conn;
};

PreparedQuery PrepareJetQuery(sqlite3* db, const std::string& utf8Sql) {
    PreparedQuery q;
    std::vector<std::string> extra;
    for (int attempt = 0; attempt < 64; ++attempt) {
        q.rewrite = RewriteJetSql(utf8Sql, extra);
        if (!q.rewrite.error.empty())
            ThrowDbError(q.rewrite.errorNumber ? q.rewrite.errorNumber : (long)dbErrSyntax,
                         AnsiFromUtf8(q.rewrite.error));
        if (q.rewrite.queryType == dbQCrosstab)
            ThrowDbError(dbErrUnsupported, "TRANSFORM");
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, q.rewrite.sql.c_str(), (int)q.rewrite.sql.size(), &stmt,
                                    nullptr);
        if (rc != SQLITE_OK) {
            if ((rc & 0xFF) == SQLITE_AUTH)
                ThrowDbError(dbErrNoReadPermission);
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
            // The layer's own key (of "SELECT *") is no field.
            if (origin && IsJetRowKeyName(origin))
                continue;
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
            q.columns.push_back(i);
        }
        sqlite3_finalize(stmt);
        return q;
    }
    ThrowDbError(dbErrSyntax, "too many parameters");
}

}  // namespace

std::string DbQuote(const std::string& name) {
    return Quote(name);
}

bool DbFileExists(const std::string& ansiPath) {
    return FileExists(ansiPath);
}

std::string DbUtf8Path(const std::string& ansiPath) {
    return Utf8Path(ansiPath);
}

void DbRegisterFunctions(sqlite3* db) {
    RegisterFunctions(db);
}

bool DbSameName(const std::string& a, const std::string& b) {
    return SameName(a, b);
}

std::string DbFileIdentity(const std::string& ansiPath) {
    return FileIdentity(ansiPath);
}

double DbNow() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    double d = 0;
    SystemTimeToVariantTime(&t, &d);
    return d;
}

void ThrowDbError(long number, const std::string& detail) {
    std::string text = ErrorText(number);
    if (number == dbErrBadName)
        text = "'" + detail + "' " + text;
    else if (!detail.empty())
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
    ++ownWrites;
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
    // The layer's triggers raise "jet:" and the number of Jet's refusal.
    const char* msg = sqlite3_errmsg(m_db);
    if ((rc & 0xFF) == SQLITE_CONSTRAINT && msg && strncmp(msg, "jet:", 4) == 0) {
        long number = strtol(msg + 4, nullptr, 10);
        if (number > 3000 && number < 4000)
            ThrowDbError(number);
    }
    // The guard on the caller's SQL refused a catalogue table, ATTACH or PRAGMA.
    if ((rc & 0xFF) == SQLITE_AUTH)
        ThrowDbError(dbErrNoReadPermission);
    ThrowDbError(ErrorForResult(rc, fallback), AnsiFromUtf8(msg ? msg : ""));
}

CdbStatementScope::~CdbStatementScope() {
    if (m_stmt)
        sqlite3_reset(m_stmt);
}

void CdbReadTransaction::Begin() {
    m_began = sqlite3_get_autocommit(m_db) &&
              sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
}

void CdbReadTransaction::End() {
    if (m_began && sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_began = false;
}

// ---- engine and workspace

CdbWorkspace::CdbWorkspace(CdbDBEngine* engine, const std::string& name, const std::string& user,
                           const std::string& password)
    : m_engine(engine), m_name(name) {
    m_login = m_engine->CheckLogin(user, password);
}

std::unique_ptr<CdbDatabase> CdbWorkspace::OpenDatabase(const std::string& path, bool exclusive,
                                                        bool readOnly, const std::string& connect) {
    return CdbDatabase::Open(path, exclusive, readOnly, connect, &m_login);
}

// ---- database

CdbDatabase::~CdbDatabase() {}

std::unique_ptr<CdbDatabase> CdbDatabase::Open(const std::string& path, bool exclusive,
                                               bool readOnly, const std::string& connect,
                                               const CdbLogin* login) {
    if (path.empty() || !FileExists(path))
        ThrowDbError(dbErrCannotFindFile, path);
    // SQLite would take an empty file for a new database; it is no database.
    if (FileIsEmpty(path))
        ThrowDbError(dbErrBadFormat, path);
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
    DbInstallAuthorizer(d->m_conn.get());
    if (login)
        d->m_conn->login = *login;
    // A secured file is opened only by a workgroup login with the right to.
    if (d->IsSecured()) {
        if (!d->m_conn->login.workgroup)
            ThrowDbError(dbErrNoPermission, path);
        d->Demand("Databases", "", exclusive ? dbSecDBOpen | dbSecDBExclusive : (long)dbSecDBOpen);
    }
    return d;
}

void CdbDatabase::CheckPassword(const std::string& connect) {
    // The password runs to the end of the connect text: it may hold ; and =.
    std::string given;
    std::string lower = Lower(connect);
    for (size_t p = lower.find("pwd="); p != std::string::npos; p = lower.find("pwd=", p + 1)) {
        if (p == 0 || connect[p - 1] == ';') {
            given = connect.substr(p + 4);
            break;
        }
    }
    CheckPasswordOf("main", given);
}

void CdbDatabase::CheckPasswordOf(const std::string& schema, const std::string& password) {
    sqlite3* db = m_conn->Handle();
    if (sqlite3_table_column_metadata(db, schema.c_str(), "MavroSysPassword", "Hash", nullptr,
                                      nullptr, nullptr, nullptr, nullptr) != SQLITE_OK)
        return;
    sqlite3_stmt* stmt =
        m_conn->Prepare("SELECT Salt, Hash FROM " + Quote(schema) + ".MavroSysPassword LIMIT 1");
    CdbStatementScope scope(stmt);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE)
        return;
    if (rc != SQLITE_ROW)
        m_conn->Fail(rc);
    DbValue salt = DbValueFromColumn(stmt, 0);
    DbValue hash = DbValueFromColumn(stmt, 1);
    if (DbPasswordHash(salt.s, Utf8FromAnsi(password)) != hash.s)
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
            // The media-type table of the older format is a system table too.
            t.attributes = StartsWithNoCase(name, "MavroSys") || name == "MavroMediaTypeDef"
                               ? (uint32_t)dbSystemObject
                               : 0u;
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
    return LinkReference(connect, source, realTable);
}

std::string CdbDatabase::LinkReference(const std::string& connect, const std::string& source,
                                       std::string* realTable) {
    sqlite3* db = m_conn->Handle();
    if (StartsWithNoCase(connect, "ODBC;"))
        ThrowDbError(dbErrNoOdbc, AnsiFromUtf8(connect));
    std::string prefix, file, pwd;
    if (!SplitConnect(connect, &prefix, &file, &pwd))
        ThrowDbError(dbErrNoIsam, AnsiFromUtf8(connect));
    *realTable = source;
    if (StartsWithNoCase(prefix, "dBASE") || StartsWithNoCase(prefix, "FoxPro")) {
        // The folder, and the file named by the source with # for its dot.
        std::string name = source;
        size_t hash = name.rfind('#');
        if (hash != std::string::npos)
            name[hash] = '.';
        else if (name.find('.') == std::string::npos)
            name += ".dbf";
        std::string path = file;
        if (!path.empty() && path.back() != '\\' && path.back() != '/')
            path += '\\';
        *realTable = DbfReference(AnsiFromUtf8(path + name));
        return "\"temp\"." + Quote(*realTable);
    }
    // Only links to another .mvb have a driver here: ";DATABASE=path".
    if (prefix != ";")
        ThrowDbError(dbErrNoIsam, AnsiFromUtf8(connect));
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
        if (!FileExists(AnsiFromUtf8(file)))
            ThrowDbError(dbErrCannotFindFile, AnsiFromUtf8(file));
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
        // The linked file keeps its own password.
        try {
            CheckPasswordOf(schema, AnsiFromUtf8(pwd.size() > 5 ? pwd.substr(5) : std::string()));
        } catch (const CdbException&) {
            sqlite3_stmt* detach = nullptr;
            std::string d = "DETACH DATABASE " + Quote(schema);
            sqlite3_prepare_v2(db, d.c_str(), -1, &detach, nullptr);
            sqlite3_step(detach);
            sqlite3_finalize(detach);
            throw;
        }
        m_conn->linkSchemas[key] = schema;
    } else {
        // Every link into a file answers the file's password itself.
        schema = it->second;
        CheckPasswordOf(schema, AnsiFromUtf8(pwd.size() > 5 ? pwd.substr(5) : std::string()));
    }
    CheckAttachedAccess(schema, source, false);
    return Quote(schema) + "." + Quote(source);
}

std::vector<CdbFieldInfo> CdbDatabase::TableFields(const std::string& table) {
    CheckOpen();
    std::string real;
    std::string u = Utf8FromAnsi(table);
    std::string schema = SchemaOf(TableReference(u, &real));
    return FieldsOf(Columns(schema, real), table);
}

std::vector<CdbFieldInfo> CdbDatabase::QueryFields(const std::string& query) {
    CheckOpen();
    std::string name, sql;
    if (!FindQuery(query, &name, &sql))
        ThrowDbError(dbErrItemNotFound, query);
    CallerSql caller(m_conn.get());
    return PrepareJetQuery(m_conn->Handle(), sql).fields;
}

std::vector<CdbParameter> CdbDatabase::QueryParameters(const std::string& query) {
    CheckOpen();
    std::string name, sql;
    if (!FindQuery(query, &name, &sql))
        ThrowDbError(dbErrItemNotFound, query);
    CallerSql caller(m_conn.get());
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
        ThrowDbError(r.errorNumber ? r.errorNumber : (long)dbErrSyntax, AnsiFromUtf8(r.error));
    // A select must read as one here, as Jet checks a query's text when it is set.
    if (r.queryType == dbQSelect || r.queryType == dbQSetOperation) {
        CallerSql caller(m_conn.get());
        PrepareJetQuery(m_conn->Handle(), u);
    }
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

// A field may take any name of SQLite's row id (rowid, oid, _rowid_), and
// the name then reaches the field, never the row id. The layer reaches a
// record by a name of the row id that the table leaves free, else by its
// own key column, whose name no field can take. Files written before the
// key existed keep their tables as they are; only a table without either
// (its fields take all three names) is given the key, on its first open for
// writing: an integer column numbered in row order, kept unique by an index
// and filled by a trigger for records that others add. Where the key cannot
// be given (a read-only open, a linked file, a lock held elsewhere) the
// answer is empty, and the table is read whole and cannot be written.
std::vector<CdbDatabase::Column> CdbDatabase::Columns(const std::string& schema,
                                                      const std::string& table) {
    std::vector<Column> out;
    sqlite3_stmt* stmt = m_conn->Prepare("SELECT name, type FROM pragma_table_info(?1, ?2)");
    CdbStatementScope scope(stmt);
    sqlite3_bind_text(stmt, 1, table.c_str(), (int)table.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, schema.c_str(), (int)schema.size(), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        Column c;
        const char* name = (const char*)sqlite3_column_text(stmt, 0);
        const char* type = (const char*)sqlite3_column_text(stmt, 1);
        c.name = name ? name : "";
        c.declared = type ? type : "";
        out.push_back(c);
    }
    if (rc != SQLITE_DONE)
        m_conn->Fail(rc);
    return out;
}

std::vector<CdbFieldInfo> CdbDatabase::FieldsOf(const std::vector<Column>& columns,
                                                const std::string& table) {
    std::vector<CdbFieldInfo> out;
    for (const Column& c : columns) {
        if (IsJetRowKeyName(c.name))
            continue;
        CdbFieldInfo f;
        f.name = AnsiFromUtf8(c.name);
        f.type = DaoTypeFromDeclared(c.declared.c_str(), &f.size);
        f.sourceTable = table;
        f.sourceField = f.name;
        out.push_back(f);
    }
    if (out.empty())
        ThrowDbError(dbErrItemNotFound, table);
    return out;
}

std::string CdbDatabase::RowKey(const std::string& schema, const std::string& table, bool mayAdd,
                                bool* isRowid, const std::vector<Column>& known) {
    const std::vector<Column>* columns = &known;
    std::vector<Column> reread;
    auto find = [&]() -> std::string {
        bool taken[3] = {false, false, false};
        static const char* aliases[3] = {"rowid", "oid", "_rowid_"};
        bool own = false;
        for (const Column& c : *columns) {
            own = own || IsJetRowKeyName(c.name);
            for (int i = 0; i < 3; ++i) taken[i] = taken[i] || SameName(c.name, aliases[i]);
        }
        *isRowid = false;
        if (own)
            return Quote(kJetRowKeyName);
        *isRowid = true;
        for (int i = 0; i < 3; ++i)
            if (!taken[i])
                return aliases[i];
        *isRowid = false;
        return std::string();
    };
    auto findAgain = [&]() {
        reread = Columns(schema, table);
        columns = &reread;
        return find();
    };
    std::string key = find();
    if (!key.empty() || !mayAdd)
        return key;
    sqlite3* db = m_conn->Handle();
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return std::string();
    try {
        // Another connection may have given it meanwhile.
        key = findAgain();
        if (key.empty()) {
            std::string t = Quote(table);
            std::string k = Quote(kJetRowKeyName);
            int64_t next = 0;
            sqlite3_create_function(db, "mavro_next_key", 0, SQLITE_UTF8, &next, NextKeyFunction,
                                    nullptr, nullptr);
            std::string sql =
                "ALTER TABLE " + t + " ADD COLUMN " + k + " INTEGER; UPDATE " + t + " SET " + k +
                " = mavro_next_key(); CREATE UNIQUE INDEX " + Quote(table + kJetRowKeyName) +
                " ON " + t + "(" + k + "); CREATE TRIGGER " +
                Quote(table + kJetRowKeyName + "!Add") + " AFTER INSERT ON " + t + " WHEN new." +
                k + " IS NULL BEGIN UPDATE " + t + " SET " + k + " = (SELECT ifnull(max(" + k +
                "), 0) + 1 FROM " + t + ") WHERE " + k + " IS NULL; END; COMMIT";
            int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
            sqlite3_create_function(db, "mavro_next_key", 0, SQLITE_UTF8, nullptr, nullptr, nullptr,
                                    nullptr);
            if (rc != SQLITE_OK)
                throw CdbException(dbErrEngine, std::string());
            key = findAgain();
        } else {
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        }
    } catch (const CdbException&) {
        key.clear();
    }
    if (!sqlite3_get_autocommit(db))
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return key;
}

std::unique_ptr<CdbRecordset> CdbDatabase::OpenTable(const std::string& table) {
    CheckOpen();
    std::unique_ptr<CdbRecordset> rs(new CdbRecordset());
    rs->m_conn = m_conn;
    std::string real;
    std::string u = Utf8FromAnsi(table);
    rs->m_tableRef = TableReference(u, &real);
    Demand("Tables", table, dbSecRetrieveData, dbErrNoReadPermission);
    std::string schema = SchemaOf(rs->m_tableRef);
    CdbReadTransaction transaction(m_conn->Handle());
    std::vector<Column> declared = Columns(schema, real);
    rs->m_fields = FieldsOf(declared, table);
    bool linked = schema != "main";
    rs->m_key = RowKey(schema, real, false, &rs->m_keyIsRowid, declared);
    if (rs->m_key.empty() && !m_conn->readOnly && !linked) {
        // Giving the table its key writes: outside the read.
        transaction.End();
        rs->m_key = RowKey(schema, real, true, &rs->m_keyIsRowid, declared);
        transaction.Begin();
    }
    rs->m_updatable = !m_conn->readOnly && !linked && !rs->m_key.empty();
    std::string columns;
    for (size_t i = 0; i < rs->m_fields.size(); ++i) {
        std::string c = Utf8FromAnsi(rs->m_fields[i].name);
        rs->m_baseColumns.push_back(c);
        rs->m_columns.push_back((int)i);
        columns += (columns.empty() ? "" : ", ") + Quote(c);
    }
    // Records in the order the file holds them, as a table's dynaset without
    // ORDER BY gives them: a key, of text or not, sorts nothing.
    if (rs->m_key.empty()) {
        // No key: the records are read whole.
        rs->m_selectSql = "SELECT " + columns + " FROM " + rs->m_tableRef;
    } else {
        rs->m_table = real;
        rs->m_selectSql =
            "SELECT " + rs->m_key + " FROM " + rs->m_tableRef + " ORDER BY " + rs->m_key;
        rs->m_from = rs->m_tableRef;
        rs->m_keyExpr = rs->m_key;
        for (const std::string& c : rs->m_baseColumns) rs->m_fieldExprs.push_back(Quote(c));
    }
    rs->Index();
    rs->LoadSnapshot();
    return rs;
}

std::unique_ptr<CdbRecordset> CdbDatabase::OpenQuery(const std::string& query,
                                                     const std::vector<CdbParameter>& params) {
    CheckOpen();
    std::string name, sql;
    if (!FindQuery(query, &name, &sql))
        ThrowDbError(dbErrItemNotFound, query);
    PreparedQuery q;
    std::vector<std::string> tables;
    {
        CallerSql caller(m_conn.get());
        q = PrepareJetQuery(m_conn->Handle(), sql);
        tables = m_conn->callerTables;
    }
    // A secured file: the query and every table it reads.
    Demand("Tables", AnsiFromUtf8(name), dbSecRetrieveData, dbErrNoReadPermission);
    for (const std::string& t : tables)
        Demand("Tables", AnsiFromUtf8(t), dbSecRetrieveData, dbErrNoReadPermission);
    if (q.rewrite.queryType != dbQSelect && q.rewrite.queryType != dbQSetOperation)
        ThrowDbError(dbErrUnsupported, query);
    std::unique_ptr<CdbRecordset> rs(new CdbRecordset());
    rs->m_conn = m_conn;
    rs->m_fields = q.fields;
    rs->m_columns = q.columns;
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
        writable = SchemaOf(baseRef) == "main";
        rs->m_table = real;
        if (writable)
            rs->m_key = RowKey("main", real, true, &rs->m_keyIsRowid, Columns("main", real));
        writable = writable && !rs->m_key.empty();
    }
    if (writable) {
        // The base table's row key rides along as column 0.
        std::string s = q.rewrite.sql;
        size_t p = s.find_first_not_of(' ');
        if (p == std::string::npos || _strnicmp(s.c_str() + p, "SELECT", 6) != 0)
            writable = false;
        else {
            std::string key = Quote(kJetRowKeyName);
            s.insert(p + 6, " " + rs->m_key + " AS " + key + ",");
            rs->m_selectSql = "SELECT " + key + " FROM (" + s + ")";
            // The query's columns by place, under names that cannot meet
            // its own: the key, then c1, c2 ... A key the table was just
            // given adds a column to its *.
            sqlite3_stmt* probe = nullptr;
            int rc =
                sqlite3_prepare_v2(m_conn->Handle(), s.c_str(), (int)s.size(), &probe, nullptr);
            int count = sqlite3_column_count(probe);
            rs->m_rowParams =
                std::min(sqlite3_bind_parameter_count(probe), (int)rs->m_params.size());
            sqlite3_finalize(probe);
            if (rc != SQLITE_OK)
                m_conn->Fail(rc, dbErrSyntax);
            std::string names = "k";
            for (int i = 1; i < count; ++i) names += ", c" + std::to_string(i);
            rs->m_with = "WITH \"!Query\"(" + names + ") AS (" + s + ") ";
            rs->m_from = "\"!Query\"";
            rs->m_keyExpr = "k";
            for (int c : q.columns) rs->m_fieldExprs.push_back("c" + std::to_string(c + 1));
            rs->m_tableRef = baseRef;
            rs->m_baseColumns = q.baseColumns;
            rs->m_query = name;
        }
    }
    rs->m_updatable = writable;
    if (!writable) {
        rs->m_table.clear();
        rs->m_query.clear();
        rs->m_key.clear();
        rs->m_selectSql = q.rewrite.sql;
        rs->m_baseColumns.assign(q.fields.size(), std::string());
    }
    rs->Index();
    rs->LoadSnapshot();
    return rs;
}
