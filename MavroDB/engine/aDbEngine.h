// The DAO-named database layer of MavroDB over SQLite: engine, workspace,
// database, table and query definitions, dynaset recordsets and the engine
// exception. A .mvb is an SQLite file; its catalogue tables MavroSys... hold
// the queries, properties, links and the password hash. Names and texts
// crossing this layer are ANSI; the file holds UTF-8.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <map>
#include <memory>
#include <stdint.h>
#include <string>
#include <vector>

#include "aDbValue.h"

struct sqlite3;
struct sqlite3_stmt;

// Jet error numbers raised by the layer.
enum {
    dbErrInvalidArgument = 3001,
    dbErrNoCurrentRecord = 3021,
    dbErrCannotFindFile = 3024,
    dbErrReadOnly = 3027,
    dbErrBadAccount = 3029,
    dbErrNoAccount = 3030,
    dbErrBadPassword = 3031,
    dbErrCannotPerform = 3032,
    dbErrNoPermission = 3033,
    dbErrCouldNotUse = 3045,
    dbErrTooManyDatabases = 3048,
    dbErrFileInUse = 3051,
    dbErrSyntax = 3075,
    dbErrNoSuchObject = 3078,
    dbErrBadName = 3125,
    dbErrFieldTooSmall = 3163,
    dbErrRecordDeleted = 3167,
    dbErrNoOdbc = 3151,
    dbErrNoInsertPermission = 3107,
    dbErrNoReplacePermission = 3108,
    dbErrNoDeletePermission = 3109,
    dbErrNoDesignPermission = 3111,
    dbErrNoReadPermission = 3112,
    dbErrDatabaseExists = 3204,
    dbErrNoIsam = 3170,
    dbErrWriteConflict = 3197,
    dbErrUnsupported = 3251,
    dbErrLocked = 3260,
    dbErrItemNotFound = 3265,
    dbErrPropertyNotFound = 3270,
    dbErrBadFormat = 3343,
    dbErrObjectClosed = 3420,
    dbErrTypeConversion = 3421,
    dbErrEngine = 3000,
    dbErrObjectNotFound = 3011,
    dbErrObjectExists = 3012,
    dbErrDuplicateKey = 3022,
    dbErrNullInIndex = 3058,
    dbErrNoUniqueIndex = 3173,
    dbErrFieldTwice = 3191,
    dbErrRelatedRecords = 3200,
    dbErrRelatedRequired = 3201,
    dbErrBadFieldType = 3259,
    dbErrNoFields = 3264,
    dbErrFieldInIndex = 3280,
    dbErrIndexInUse = 3281,
    dbErrPrimaryExists = 3283,
    dbErrIndexExists = 3284,
    dbErrInRelation = 3303,
    dbErrNameTaken = 3367,
    dbErrRelationFields = 3368,
    dbErrIntegrityViolated = 3378,
    dbErrRelationField = 3409,
    dbErrAccountExists = 3390,
};

// Index field attribute and relation attributes.
enum { dbDescending = 1 };
enum : long {
    dbRelationUnique = 1,
    dbRelationDontEnforce = 2,
    dbRelationUpdateCascade = 0x100,
    dbRelationDeleteCascade = 0x1000,
};

// Sources of a link or an import: another .mvb, dBASE and FoxPro tables
// (read here), Excel workbooks and ODBC data sources (no driver here).
enum CdbSourceKind {
    dbSourceMvb,
    dbSourceDBase3,
    dbSourceDBase4,
    dbSourceDBase5,
    dbSourceFoxPro20,
    dbSourceFoxPro25,
    dbSourceFoxPro26,
    dbSourceFoxPro30,
    dbSourceExcel4,
    dbSourceExcel5,
    dbSourceExcel8,
    dbSourceOdbc,
};

// Table attributes and query types.
enum : uint32_t {
    dbSystemObject = 0x80000002u,
    dbAttachedTable = 0x40000000u,
    dbAttachedODBC = 0x20000000u,
};
enum { dbQSelect = 0, dbQCrosstab = 16, dbQSetOperation = 128 };
enum { dbOpenDynaset = 2 };

class CdbException {
public:
    CdbException(long number, const std::string& description)
        : m_number(number), m_description(description) {}
    long Number() const { return m_number; }
    // The HRESULT form the DAO wrapper reports: 0x800A0000 + number.
    HRESULT Code() const { return (HRESULT)(0x800A0000u + (uint32_t)m_number); }
    // ANSI text.
    const std::string& Description() const { return m_description; }

private:
    long m_number;
    std::string m_description;
};

class CdbConnection;

// Raises the engine exception with the layer's text for the number.
[[noreturn]] void ThrowDbError(long number, const std::string& detail = std::string());

// Helpers the layer's files share: a quoted SQL name, Jet's comparison of
// names (ASCII letters without case), a file's identity, the time now as
// an OLE date.
std::string DbQuote(const std::string& name);
bool DbSameName(const std::string& a, const std::string& b);
std::string DbFileIdentity(const std::string& ansiPath);
double DbNow();
bool DbFileExists(const std::string& ansiPath);
std::string DbUtf8Path(const std::string& ansiPath);
// Registers the layer's functions and collation on a connection.
void DbRegisterFunctions(sqlite3* db);
// Guards a connection's statements: the caller's SQL (marked while it is
// prepared) reads no catalogue table and runs no ATTACH or PRAGMA; and
// watches which tables a saved record writes.
void DbInstallAuthorizer(CdbConnection* conn);
// Raises the refusal of the first table a saved record wrote (watched since
// `written` was cleared) other than its base table without the right to.
void DbDemandWritten(CdbConnection* conn, const std::string& baseTable);
// Raises the error (a Jet number) unless the login a secured connection
// was opened with holds all the bits on the document (UTF-8 names).
void DbDemand(CdbConnection* conn, const std::string& container, const std::string& document,
              long bits, long error);
// The catalogue of a new file, and the permission table.
extern const char kDbCatalogue[];
extern const char kDbPermissionsTable[];

struct CdbFieldInfo {
    std::string name;  // ANSI
    int type = 0;      // DAO type; 0 for a computed column of no declared type
    long size = 0;
    std::string sourceTable;  // ANSI; empty for a computed column
    std::string sourceField;
};

struct CdbTableDefInfo {
    std::string name;  // ANSI
    uint32_t attributes = 0;
};

struct CdbQueryDefInfo {
    std::string name;  // ANSI
    std::string sql;   // ANSI
    int type = 0;
};

// A field of a table design: DAO type; size counts for text only (0 is 255).
struct CdbFieldSpec {
    std::string name;  // ANSI
    int type = 10;
    long size = 0;
};

struct CdbIndexField {
    std::string name;  // ANSI
    bool descending = false;
};

struct CdbIndexInfo {
    std::string name;  // ANSI
    std::vector<CdbIndexField> fields;
    bool primary = false;
    bool unique = false;
    bool required = false;  // refuses Null (3058)
    bool foreign = false;   // made for a relation's related fields
};

struct CdbRelationField {
    std::string name;         // field of the main table (ANSI)
    std::string foreignName;  // field of the related table
};

struct CdbRelationInfo {
    std::string name;          // ANSI
    std::string table;         // the main table
    std::string foreignTable;  // the related table
    long attributes = 0;
    std::vector<CdbRelationField> fields;
};

// A query parameter and the value the caller gives it.
struct CdbParameter {
    std::string name;  // ANSI, as written without brackets
    int type = dbText;
    VARIANT value;
    CdbParameter() { VariantInit(&value); }
    CdbParameter(const CdbParameter& o) : name(o.name), type(o.type) {
        VariantInit(&value);
        VariantCopy(&value, const_cast<VARIANT*>(&o.value));
    }
    CdbParameter& operator=(const CdbParameter& o) {
        name = o.name;
        type = o.type;
        VariantCopy(&value, const_cast<VARIANT*>(&o.value));
        return *this;
    }
    ~CdbParameter() { VariantClear(&value); }
};

// Document rights (DAO's words) and those of the container "Databases".
enum : long {
    dbSecCreate = 1,
    dbSecReadDef = 4,
    dbSecWriteDef = 0x1000C,
    dbSecDelete = 0x10000,
    dbSecRetrieveData = 0x14,
    dbSecInsertData = 0x20,
    dbSecReplaceData = 0x40,
    dbSecDeleteData = 0x80,
    dbSecReadSec = 0x20000,
    dbSecWriteSec = 0x40000,
    dbSecFullAccess = 0xFFFFF,
    dbSecDBCreate = 1,
    dbSecDBOpen = 2,
    dbSecDBExclusive = 4,
    dbSecDBAdmin = 8,
};

// Who a workspace is: the user and the identifiers (the user's, then its
// groups') whose rights it holds. A login without a workgroup file has no
// identifiers and opens no secured database.
struct CdbLogin {
    std::string user;  // ANSI
    bool workgroup = false;
    std::string identifier;                // the user's (32 bytes)
    std::vector<std::string> identifiers;  // the user's and its groups'
    std::vector<std::string> groups;       // UTF-8 group names
    bool IsAdmin() const;                  // member of "Admins"
};

// SHA-256 of an account's name and PID: its identifier.
std::string DbAccountIdentifier(const std::string& nameUtf8, const std::string& pidUtf8);

// One open SQLite connection shared by a database and its recordsets, with
// its prepared statements kept reset between calls.
class CdbConnection {
public:
    explicit CdbConnection(sqlite3* db) : m_db(db) {}
    ~CdbConnection();
    // The change count every connection of the layer to this file shares
    // (across processes): bumped after each write, so records read earlier
    // are read again once anyone has written.
    void OpenGeneration(const std::string& path);
    int64_t Generation() const { return m_generation ? *m_generation : m_localGeneration; }
    void BumpGeneration();
    sqlite3* Handle() const { return m_db; }
    // A cached statement, reset and unbound; throws on a bad text.
    sqlite3_stmt* Prepare(const std::string& sql);
    // Runs a statement text without results.
    void Exec(const std::string& sql);
    // Raises the engine exception for an SQLite result code.
    [[noreturn]] void Fail(int rc, long fallback = dbErrEngine);
    bool readOnly = false;
    // The login a secured file was opened with; secured: it has permission
    // rows. Rights read are kept while the change count holds.
    CdbLogin login;
    bool secured = false;
    std::map<std::string, long> rights;
    int64_t rightsGeneration = -1;
    int64_t rightsOwnWrites = 0;
    int64_t rightsDataVersion = -1;  // SQLite's count of others' commits then
    int64_t ownWrites = 0;           // this connection's bumps of the change count
    // Set while a caller's SQL is prepared: it may read no catalogue table
    // and run no ATTACH or PRAGMA; the tables it reads are gathered.
    bool callerSql = false;
    bool callerDenied = false;
    std::vector<std::string> callerTables;  // UTF-8
    // Set while a record is saved: the tables its statement wrote, those
    // of triggers (cascades of relations) included, each with its action.
    bool watchWrites = false;
    std::vector<std::pair<int, std::string>> written;  // SQLITE_INSERT ..., UTF-8 table
    // The open file's identity (volume serial and file index).
    std::string identity;
    // Numbers the temporary tables of read-only results.
    long nextSpill = 0;
    // Linked .mvb files attached under schema names, by file identity.
    std::map<std::string, std::string> linkSchemas;
    // dBASE files read through virtual tables of the temp schema: the
    // module finds a table's file by its number here, so no path is SQL.
    std::vector<std::string> dbfFiles;
    std::map<std::string, std::string> dbfTables;  // lower-case path -> table
    bool dbfModule = false;

private:
    sqlite3* m_db;
    std::map<std::string, sqlite3_stmt*> m_statements;
    HANDLE m_mapping = nullptr;
    volatile LONG64* m_generation = nullptr;
    int64_t m_localGeneration = 0;
};

// Resets a statement on every way out of a scope, so none stays open.
class CdbStatementScope {
public:
    explicit CdbStatementScope(sqlite3_stmt* s) : m_stmt(s) {}
    ~CdbStatementScope();
    CdbStatementScope(const CdbStatementScope&) = delete;
    CdbStatementScope& operator=(const CdbStatementScope&) = delete;

private:
    sqlite3_stmt* m_stmt;
};

// One read transaction over several statements, so that the file is locked
// once, not once a statement; inside a transaction it adds nothing.
class CdbReadTransaction {
public:
    explicit CdbReadTransaction(sqlite3* db) : m_db(db) { Begin(); }
    ~CdbReadTransaction() { End(); }
    CdbReadTransaction(const CdbReadTransaction&) = delete;
    CdbReadTransaction& operator=(const CdbReadTransaction&) = delete;
    void Begin();
    void End();

private:
    sqlite3* m_db;
    bool m_began = false;
};

class CdbRecordset;

class CdbDatabase {
public:
    ~CdbDatabase();
    // Opens a .mvb: exclusive (a second open gets 3051), shared or read-only;
    // connect is ";pwd=" and the password to its end (3031 for a wrong
    // one); an empty file is no database (3343).
    // A secured database (one with permission rows) needs a workgroup login
    // with the right to open it (3033); without a login it is refused.
    static std::unique_ptr<CdbDatabase> Open(const std::string& path, bool exclusive, bool readOnly,
                                             const std::string& connect,
                                             const CdbLogin* login = nullptr);
    // Writes an empty database with its catalogue: the connect text's
    // ";LANGID=" is recorded as "CollatingOrder", its ";pwd=" (to the end)
    // stored as a salted hash. 3204 when the file exists.
    static void Create(const std::string& path, const std::string& connect);
    void Close();
    bool IsReadOnly() const { return m_conn->readOnly; }
    const std::string& Name() const { return m_path; }

    std::vector<CdbTableDefInfo> TableDefs();
    // When a table, link or query was made and last changed (dates of
    // VARIANT time); false when the file keeps no dates for it.
    bool ObjectDates(const std::string& name, double* created, double* updated);
    std::vector<CdbQueryDefInfo> QueryDefs();
    // Fields of a table definition (3265 when there is none).
    std::vector<CdbFieldInfo> TableFields(const std::string& table);
    // Fields of a stored query's result, with their source table and field.
    std::vector<CdbFieldInfo> QueryFields(const std::string& query);
    std::vector<CdbParameter> QueryParameters(const std::string& query);
    std::string GetQuerySQL(const std::string& query);
    // Stores new SQL (3075 when it cannot be read).
    void SetQuerySQL(const std::string& query, const std::string& sql);
    int GetQueryType(const std::string& query);
    // A property of a table, query or field (field empty for the object's
    // own); 3270 when it is not there.
    void GetProperty(const std::string& object, const std::string& field, const std::string& name,
                     VARIANT* value);

    // Dynasets of a table or a stored query (parameters by position).
    std::unique_ptr<CdbRecordset> OpenTable(const std::string& table);
    std::unique_ptr<CdbRecordset> OpenQuery(const std::string& query,
                                            const std::vector<CdbParameter>& params);

    std::shared_ptr<CdbConnection> Connection() const { return m_conn; }

    // Security. A secured database checks each action against the rights
    // of the login it was opened with.
    bool IsSecured();
    // Changes the database password (3031 for a wrong old one, 3033 without
    // the right); an empty new one removes it.
    void NewPassword(const std::string& oldPassword, const std::string& newPassword);
    // The rights the login holds on a document of a container ("" for the
    // container itself): the union over its identifiers.
    long Rights(const std::string& container, const std::string& document);
    // 3033 (or the given number) unless the login holds all of the bits.
    void Demand(const std::string& container, const std::string& document, long bits,
                long error = dbErrNoPermission);
    // The word an identifier holds on a document (3265 for an unknown
    // document); setting it needs the right to, ownership or "Admins".
    long GetPermissions(const std::string& container, const std::string& document,
                        const std::string& identifier);
    void SetPermissions(const std::string& container, const std::string& document,
                        const std::string& identifier, long rights, bool inherit = false);

    // Design. Each call is one transaction: a refusal leaves the file as it
    // was. Names are checked (3125) and quoted; values and paths are bound.
    // Raises 3125 for a name the engine refuses.
    static void CheckName(const std::string& name);
    // Whether a new field may join those of a design (3125, 3367, 3259).
    static void CheckNewField(const std::vector<CdbFieldSpec>& fields, const CdbFieldSpec& field);
    // The declared type word of a DAO type (TEXT(255) for text of size 0).
    static std::string TypeWord(int type, long size);
    void CreateTable(const std::string& table, const std::vector<CdbFieldSpec>& fields);
    void RenameTable(const std::string& table, const std::string& newName);
    // A local or linked table, with its indexes and properties; 3303 while
    // a relation joins it.
    void DeleteTable(const std::string& table);
    // ordinal -1 leaves the field last.
    void AddField(const std::string& table, const CdbFieldSpec& field, int ordinal);
    void DeleteField(const std::string& table, const std::string& field);
    void RenameField(const std::string& table, const std::string& field,
                     const std::string& newName);
    int GetFieldOrdinal(const std::string& table, const std::string& field);
    void SetFieldOrdinal(const std::string& table, const std::string& field, int ordinal);
    // Gives a field a new type and name in its place: values that convert
    // are kept, others become Null; the field's properties go.
    void ReplaceField(const std::string& table, const std::string& field, const CdbFieldSpec& spec);
    void SetProperty(const std::string& object, const std::string& field, const std::string& name,
                     const VARIANT& value);
    void DeleteProperty(const std::string& object, const std::string& field,
                        const std::string& name);

    void CreateQuery(const std::string& query, const std::string& sql);
    void RenameQuery(const std::string& query, const std::string& newName);
    void DeleteQuery(const std::string& query);

    std::vector<CdbIndexInfo> Indexes(const std::string& table);
    void CreateIndex(const std::string& table, const CdbIndexInfo& index);
    void DeleteIndex(const std::string& table, const std::string& index);

    std::vector<CdbRelationInfo> Relations();
    void CreateRelation(const CdbRelationInfo& relation);
    void DeleteRelation(const std::string& relation);

    // Links and imports of another source. For dBASE and FoxPro the path
    // is the folder and the source table the file ("#" for its ".").
    void CreateLink(const std::string& name, CdbSourceKind kind, const std::string& path,
                    const std::string& password, const std::string& sourceTable);
    // A link as another file's link names it (connect text and source);
    // `check`: kept only once its source reads.
    void CreateLinkFrom(const std::string& name, const std::string& connect,
                        const std::string& sourceTable, bool check = true);
    void GetLink(const std::string& name, std::string* connect, std::string* sourceTable);
    // Points a link at another connect text, once that text reads.
    void SetLinkConnect(const std::string& name, const std::string& connect);
    void ImportTable(const std::string& newName, CdbSourceKind kind, const std::string& path,
                     const std::string& password, const std::string& sourceTable);
    // The connect text of a source, and its parts: the prefix up to its
    // first ";", the path after "DATABASE=" up to ";PWD=" or the end, and
    // the ";PWD=" part. False when there is no "DATABASE=".
    static std::string ConnectText(CdbSourceKind kind, const std::string& path,
                                   const std::string& password);
    static bool SplitConnect(const std::string& connect, std::string* prefix, std::string* path,
                             std::string* passwordPart);

private:
    CdbDatabase() {}
    bool TableExists(const std::string& utf8Table, std::string* stored);
    bool LinkExists(const std::string& utf8Name, std::string* stored);
    bool QueryExists(const std::string& utf8Name, std::string* stored);
    void CheckFree(const std::string& utf8Name, const std::string& except);
    std::string LocalTable(const std::string& table);
    void EnsureCatalogue();
    void Touch(const std::string& utf8Name, int kind, bool created);
    void Rebuild(const std::string& utf8Table, const std::vector<std::string>& order,
                 const std::string& replaced, const CdbFieldSpec* newField);
    std::vector<CdbRelationInfo> RelationsOf(const std::string& utf8Table);
    std::string DbfReference(const std::string& file);
    void CheckLinkSource(const std::string& connect, const std::string& sourceTable);
    std::string ImportSource(CdbSourceKind kind, const std::string& path,
                             const std::string& password, const std::string& sourceTable,
                             std::string* cleanup);
    void CheckOpen() const;
    // The stored name of a table, link or query for permissions ("" for a
    // container); 3265 when there is none.
    std::string DocumentName(const std::string& container, const std::string& document);
    void CopyInheritedRights(const std::string& utf8Name);
    // An attached secured file: refused to an import (3033); a link reads
    // its source with the login's rights there (3033, 3112).
    void CheckAttachedAccess(const std::string& schema, const std::string& utf8Source, bool import);
    // A document's permission rows follow its new name (empty: they go).
    void MovePermissions(const std::string& utf8Name, const std::string& utf8NewName);
    void CheckPassword(const std::string& connect);
    // Checks a password against the hash a schema of the connection holds.
    void CheckPasswordOf(const std::string& schema, const std::string& password);
    bool FindQuery(const std::string& query, std::string* utf8Name, std::string* sql);
    // The SQL reference of a table: a linked table reads through its file.
    std::string TableReference(const std::string& utf8Table, std::string* realTable);
    // The SQL reference of a link's source (UTF-8 connect text and table).
    std::string LinkReference(const std::string& connect, const std::string& source,
                              std::string* realTable);
    struct Column {
        std::string name;  // UTF-8
        std::string declared;
    };
    // The columns of a table, as its schema declares them.
    std::vector<Column> Columns(const std::string& schema, const std::string& table);
    // The fields among them (3265 when there is none).
    static std::vector<CdbFieldInfo> FieldsOf(const std::vector<Column>& columns,
                                              const std::string& table);
    // The name that reaches one record of a table in the layer's statements
    // (isRowid: it is SQLite's row id); empty when there is none. The
    // columns are the table's as read.
    std::string RowKey(const std::string& schema, const std::string& table, bool mayAdd,
                       bool* isRowid, const std::vector<Column>& columns);

    std::shared_ptr<CdbConnection> m_conn;
    std::string m_path;
};

// The engine object: its workgroup file checks logins of multi-user opens.
class CdbDBEngine {
public:
    void SetSystemDB(const std::string& path) { m_systemDB = path; }
    const std::string& SystemDB() const { return m_systemDB; }
    // Checks a login: without a workgroup file only "admin" with no password
    // is known; 3029 otherwise (a group, an account without a password hash);
    // 3343 for a workgroup file whose rows cannot be read.
    CdbLogin CheckLogin(const std::string& user, const std::string& password);
    // The identifier of a user or group of the workgroup (3030 for none).
    std::string AccountIdentifier(const std::string& name);

private:
    std::string m_systemDB;
};

class CdbWorkspace {
public:
    CdbWorkspace(CdbDBEngine* engine, const std::string& name, const std::string& user,
                 const std::string& password);
    std::unique_ptr<CdbDatabase> OpenDatabase(const std::string& path, bool exclusive,
                                              bool readOnly, const std::string& connect);
    void CreateDatabase(const std::string& path, const std::string& connect) {
        CdbDatabase::Create(path, connect);
    }
    const std::string& User() const { return m_login.user; }

    // Accounts of the workgroup (UTF-8 in the file, ANSI here). Lists in
    // the file's order; changes need "Admins" (3033), each one transaction
    // of the workgroup file, which is opened for writing only for them.
    std::vector<std::string> Users();
    std::vector<std::string> Groups();
    std::vector<std::string> UserGroups(const std::string& user);
    // The members of a group, built-in users included (3030 for no group).
    std::vector<std::string> GroupUsers(const std::string& group);
    // A new user without a password, a member of "Users" (3390 when the
    // name is taken).
    void CreateUser(const std::string& user, const std::string& pid);
    void CreateGroup(const std::string& group, const std::string& pid);
    // The built-in accounts stay (3032).
    void DeleteAccount(const std::string& name, bool group);
    void AddToGroup(const std::string& user, const std::string& group);
    // No user leaves "Users" (3032).
    void RemoveFromGroup(const std::string& user, const std::string& group);
    // One's own password needs the old one (3029); another user's, "Admins".
    void NewPassword(const std::string& user, const std::string& oldPassword,
                     const std::string& newPassword);
    const CdbLogin& Login() const { return m_login; }
    CdbDBEngine* Engine() const { return m_engine; }

private:
    CdbDBEngine* m_engine;
    std::string m_name;
    CdbLogin m_login;
};

// Dynaset: the row keys taken at open in row order; each record is read from
// the file when asked, so changes of other connections show at once. The
// records it holds in memory stay within a byte budget whatever their size:
// long values are read when a caller asks for them, and a read-only result
// larger than the budget is kept in a temporary table of the connection.
class CdbRecordset {
public:
    // Bytes of record values a recordset holds in memory at most.
    static const size_t kMemoryBudget = 16u << 20;
    // Long values (long binary, memo) larger than this stay in the file
    // until a caller asks for one.
    static const int kLongValueInline = 8192;

    ~CdbRecordset();
    bool GetBOF() const;
    bool GetEOF() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    long GetAbsolutePosition() const;
    void SetAbsolutePosition(long position);  // 3001 out of range
    int64_t GetBookmark() const;
    void SetBookmark(int64_t bookmark);
    long GetRecordCount() const;
    bool GetUpdatable() const;

    int FieldCount() const;
    const CdbFieldInfo& Field(int index) const;
    // Index of a field (case-insensitive); 3265 when there is none.
    int FieldIndex(const std::string& name) const;
    // Value of a field of the current record (3021 without one, 3167 when
    // another connection deleted it).
    void GetValue(int index, VARIANT* value);
    void GetValue(const std::string& name, VARIANT* value) { GetValue(FieldIndex(name), value); }

    void Edit();
    void AddNew();
    void SetValue(const std::string& name, const VARIANT& value);
    // Saves the edit or the new record: 3197 when the record changed since
    // Edit, 3167 when it was deleted, 3260 when the file stays locked.
    void Update();
    void CancelUpdate();
    void Delete();
    void Requery();
    void Close();

    // Bytes of record values held in memory now (read ahead, a whole
    // read-only result, an edit).
    size_t HeldBytes() const;

private:
    friend class CdbDatabase;
    CdbRecordset() {}
    void CheckOpen() const;
    void CheckCurrent() const;
    // Indexes the fields by name and marks the long ones.
    void Index();
    long Count() const;
    // The key a record is read by: the row key, or the place in a result
    // kept in a temporary table.
    int64_t KeyAt(long position) const;
    void LoadSnapshot();
    // Moves a read-only result that outgrew the budget into a temporary
    // table, which is then read like a table.
    void BeginSpill(int fields);
    void DropSpill();
    // Statements over the records: the fields (long ones cut to a mark when
    // large) of a list of keys, every field of one key, one field of one key.
    std::string WindowSql(long keys);
    std::string RowSql();
    std::string LongValueSql(int field);
    // Reads one record from the file, a large long value as its digest
    // (marked unread); false when it is gone.
    bool ReadRow(int64_t key, std::vector<DbValue>* row, std::vector<bool>* unread);
    // One long value of a record; false when the record is gone.
    bool ReadLongValue(int64_t key, int field, VARIANT* value);
    struct CachedRecord {
        std::vector<DbValue> values;
        std::vector<bool> unread;  // long values left in the file
    };
    // The cached record at a position, read with its neighbours when the
    // cache does not hold it or someone wrote since; null when it is gone.
    const CachedRecord* CachedRow(long position);
    void FillCache(long position, bool onward);
    void ClearCache();
    // The right of the source itself to a write (the error without it).
    void DemandOwn(long bits, long error);
    void BeginWrite();
    void Commit();
    void Rollback();

    std::shared_ptr<CdbConnection> m_conn;
    bool m_open = true;
    bool m_updatable = false;
    std::string m_table;     // UTF-8 base table of a writable source
    std::string m_query;     // UTF-8 stored query a writable source reads through
    std::string m_tableRef;  // its SQL reference
    std::string m_key;       // names the row key of the base table in statements
    bool m_keyIsRowid = false;
    std::string m_selectSql;  // the row keys of the source in order, or a read-only result
    // Where records are read from: an optional WITH, the FROM source, the
    // key and each field's expression in it.
    std::string m_with;
    std::string m_from;
    std::string m_keyExpr;
    std::vector<std::string> m_fieldExprs;
    std::vector<DbValue> m_params;
    // Placeholders of the parameters the record statements use; the keys
    // of a window follow them.
    int m_rowParams = 0;
    std::vector<CdbFieldInfo> m_fields;
    std::vector<bool> m_long;                 // long binary and memo fields
    std::vector<int> m_columns;               // result column of each field in a read-only result
    std::vector<std::string> m_baseColumns;   // UTF-8 column of each field in the table
    std::map<std::string, int> m_fieldIndex;  // upper-case ANSI name -> index
    mutable std::string m_lastFieldName;      // the name last looked up, as given
    mutable int m_lastField = -1;
    std::vector<int64_t> m_rowids;
    // A read-only result: whole in memory while it fits the budget, else in
    // a temporary table (rows numbered from 1).
    enum { SourceKeys, SourceMemory, SourceSpill } m_source = SourceKeys;
    std::vector<std::vector<DbValue>> m_rows;
    size_t m_rowsBytes = 0;
    std::string m_spillTable;
    long m_spillCount = 0;
    long m_pos = -1;  // -1 BOF, size EOF
    enum { EditNone, EditEdit, EditAdd } m_editMode = EditNone;
    std::vector<DbValue> m_original;
    std::vector<DbValue> m_edit;
    std::vector<bool> m_changed;
    std::vector<bool> m_editUnread;  // long values of the edit left in the file
    // Records read ahead from the file, valid while the generation holds.
    std::map<long, std::string> m_windowFull;  // window statements by number of keys
    long m_windowSize = 16;
    long m_cacheStart = 0;
    int64_t m_cacheGeneration = -1;
    std::vector<CachedRecord> m_cacheRows;
    std::vector<char> m_cacheState;  // CacheUnread, CachePresent, CacheGone
    size_t m_cacheBytes = 0;
    size_t m_recordBytes = 0;  // bytes of a record, as the last window read them
};

// Salted password hash of the catalogue and the workgroup file.
std::string DbPasswordHash(const std::string& salt, const std::string& passwordUtf8);
