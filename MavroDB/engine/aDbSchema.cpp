// Design of a .mvb: tables, fields, properties, queries, indexes,
// relations, links and imports. Each call is one transaction; names are
// quoted and every value or path is bound, so no name or text of a caller
// becomes SQL. Jet names indexes per table and SQLite per file: indexes get
// names of the layer's own, mapped in MavroSysIndexes. Relations are rows
// of MavroSysRelations, enforced by triggers named after them.
#include "aDbEngine.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <set>

#include "aJetSql.h"
#include "sqlite3.h"

const char kDbPermissionsTable[] =
    "CREATE TABLE IF NOT EXISTS MavroSysPermissions(Container TEXT NOT NULL, Document TEXT NOT"
    " NULL DEFAULT '', Identifier BLOB NOT NULL, Rights LONG NOT NULL, Inherit BIT NOT NULL"
    " DEFAULT 0, PRIMARY KEY(Container, Document, Identifier));";

const char kDbCatalogue[] =
    "CREATE TABLE IF NOT EXISTS MavroSysQueries(Name TEXT PRIMARY KEY, SQL TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS MavroSysProperties(Object TEXT NOT NULL, Field TEXT NOT NULL"
    " DEFAULT '', Name TEXT NOT NULL, Value, PRIMARY KEY(Object, Field, Name));"
    "CREATE TABLE IF NOT EXISTS MavroSysLinks(Name TEXT PRIMARY KEY, Connect TEXT NOT NULL,"
    " SourceTable TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS MavroSysObjects(Name TEXT NOT NULL, Kind LONG NOT NULL,"
    " DateCreated DATETIME, LastUpdated DATETIME, Owner BLOB, PRIMARY KEY(Name, Kind));"
    "CREATE TABLE IF NOT EXISTS MavroSysIndexes(TableName TEXT NOT NULL, Name TEXT NOT NULL,"
    " SqlName TEXT NOT NULL, IsPrimary BIT, IsUnique BIT, Required BIT, IsForeign BIT,"
    " PRIMARY KEY(TableName, Name));"
    "CREATE TABLE IF NOT EXISTS MavroSysRelations(Name TEXT NOT NULL, TableName TEXT NOT NULL,"
    " ForeignTable TEXT NOT NULL, Attributes LONG NOT NULL, Ordinal LONG NOT NULL,"
    " FieldName TEXT NOT NULL, ForeignName TEXT NOT NULL, PRIMARY KEY(Name, Ordinal));";

namespace {

const char* const kCatalogue = kDbCatalogue;

// Kinds of MavroSysObjects, as Jet numbers its objects.
enum { kObjectTable = 1, kObjectOdbcLink = 4, kObjectQuery = 5, kObjectLink = 6 };

std::string Lower(std::string s) {
    for (char& c : s) c = (char)tolower((unsigned char)c);
    return s;
}

bool StartsNoCase(const std::string& s, const char* prefix) {
    size_t n = strlen(prefix);
    return s.size() >= n && _strnicmp(s.c_str(), prefix, n) == 0;
}

std::string U(const std::string& ansi) {
    return Utf8FromAnsi(ansi);
}

std::string A(const std::string& utf8) {
    return AnsiFromUtf8(utf8);
}

// A statement of the connection with its texts bound in order.
struct Bound {
    sqlite3_stmt* stmt;
    CdbConnection* conn;
    CdbStatementScope scope;
    Bound(CdbConnection* c, const std::string& sql, std::initializer_list<std::string> texts)
        : stmt(c->Prepare(sql)), conn(c), scope(stmt) {
        int i = 1;
        for (const std::string& t : texts)
            sqlite3_bind_text(stmt, i++, t.c_str(), (int)t.size(), SQLITE_TRANSIENT);
    }
    bool Row() {
        int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            conn->Fail(rc);
        return false;
    }
    void Run() {
        while (Row()) {
        }
    }
    std::string Text(int i) {
        const unsigned char* t = sqlite3_column_text(stmt, i);
        return t ? std::string((const char*)t, (size_t)sqlite3_column_bytes(stmt, i)) : "";
    }
    int64_t Int(int i) { return sqlite3_column_int64(stmt, i); }
};

// One write transaction; rolled back unless committed.
class DesignTransaction {
public:
    explicit DesignTransaction(CdbConnection* conn) : m_conn(conn) {
        if (conn->readOnly)
            ThrowDbError(dbErrReadOnly);
        int rc = sqlite3_exec(conn->Handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            conn->Fail(rc, dbErrLocked);
    }
    ~DesignTransaction() {
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

struct TableColumn {
    std::string name;  // UTF-8
    std::string declared;
    bool notNull = false;
    std::string defaultValue;  // SQL text as the schema holds it
    int pk = 0;
};

std::vector<TableColumn> ColumnsOf(CdbConnection* c, const std::string& table,
                                   const std::string& schema = "main") {
    std::vector<TableColumn> out;
    Bound b(c, "SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?1, ?2)",
            {table, schema});
    while (b.Row()) {
        TableColumn col;
        col.name = b.Text(0);
        col.declared = b.Text(1);
        col.notNull = b.Int(2) != 0;
        if (sqlite3_column_type(b.stmt, 3) != SQLITE_NULL)
            col.defaultValue = b.Text(3);
        col.pk = (int)b.Int(4);
        out.push_back(col);
    }
    return out;
}

int FieldIndexOf(const std::vector<TableColumn>& columns, const std::string& utf8Name) {
    for (size_t i = 0; i < columns.size(); ++i)
        if (!IsJetRowKeyName(columns[i].name) && DbSameName(columns[i].name, utf8Name))
            return (int)i;
    return -1;
}

int TypeOf(const std::string& declared) {
    long size = 0;
    return DaoTypeFromDeclared(declared.c_str(), &size);
}

// A stored value in another field type: through the VARIANT the field
// gives, into the new type; Null when it does not convert.
void ConvertFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    DbValue v;
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_INTEGER:
            v.kind = DbValue::Integer;
            v.i = sqlite3_value_int64(argv[0]);
            break;
        case SQLITE_FLOAT:
            v.kind = DbValue::Real;
            v.d = sqlite3_value_double(argv[0]);
            break;
        case SQLITE_TEXT:
            v.kind = DbValue::Text;
            v.s.assign((const char*)sqlite3_value_text(argv[0]),
                       (size_t)sqlite3_value_bytes(argv[0]));
            break;
        case SQLITE_BLOB:
            v.kind = DbValue::Blob;
            v.s.assign((const char*)sqlite3_value_blob(argv[0]),
                       (size_t)sqlite3_value_bytes(argv[0]));
            break;
        default:
            sqlite3_result_null(ctx);
            return;
    }
    int from = sqlite3_value_int(argv[1]);
    int to = sqlite3_value_int(argv[2]);
    long size = (long)sqlite3_value_int(argv[3]);
    VARIANT var;
    VariantInit(&var);
    DbValue out;
    long error = 0;
    bool ok = DbValueToVariant(v, from, &var) && VariantToDbValue(var, to, size, &out, &error);
    VariantClear(&var);
    if (!ok) {
        sqlite3_result_null(ctx);
        return;
    }
    switch (out.kind) {
        case DbValue::Integer:
            sqlite3_result_int64(ctx, out.i);
            break;
        case DbValue::Real:
            sqlite3_result_double(ctx, out.d);
            break;
        case DbValue::Text:
            sqlite3_result_text(ctx, out.s.data(), (int)out.s.size(), SQLITE_TRANSIENT);
            break;
        case DbValue::Blob:
            sqlite3_result_blob(ctx, out.s.data(), (int)out.s.size(), SQLITE_TRANSIENT);
            break;
        default:
            sqlite3_result_null(ctx);
    }
}

// A value in another type: the usual stored forms converted in SQL, the
// rest through the function.
std::string ConvertExpression(const std::string& x, int from, int to, long size) {
    std::string call = "mavro_convert(" + x + ", " + std::to_string(from) + ", " +
                       std::to_string(to) + ", " + std::to_string(size) + ")";
    std::string integer;
    switch (to) {
        case dbLong:
            integer = "-2147483648 AND 2147483647";
            break;
        case dbInteger:
            integer = "-32768 AND 32767";
            break;
        case dbByte:
            integer = "0 AND 255";
            break;
        case dbDouble:
            return "CASE typeof(" + x + ") WHEN 'real' THEN " + x + " WHEN 'integer' THEN CAST(" +
                   x + " AS REAL) WHEN 'null' THEN NULL ELSE " + call + " END";
        case dbText:
        case dbMemo:
            if (from == dbBoolean || from == dbDate || from == dbCurrency)
                return call;
            return "CASE typeof(" + x + ") WHEN 'integer' THEN CAST(" + x +
                   " AS TEXT) WHEN 'text' THEN " +
                   (to == dbMemo ? x
                                 : "CASE WHEN length(" + x + ") <= " + std::to_string(size) +
                                       " THEN " + x + " ELSE " + call + " END") +
                   " WHEN 'null' THEN NULL ELSE " + call + " END";
        default:
            return call;
    }
    if (from == dbBoolean || from == dbDate)
        return call;
    return "CASE WHEN typeof(" + x + ") = 'integer' AND " + x + " BETWEEN " + integer + " THEN " +
           x + " WHEN " + x + " IS NULL THEN NULL ELSE " + call + " END";
}

std::string RaiseJet(long number) {
    return "SELECT RAISE(ABORT, 'jet:" + std::to_string(number) + "');";
}

// The triggers that enforce a relation (none when it is not enforced).
std::vector<std::string> RelationTriggers(const CdbRelationInfo& r) {
    std::vector<std::string> out;
    if (r.attributes & dbRelationDontEnforce)
        return out;
    std::string name = U(r.name);
    std::string t = DbQuote(U(r.table)), f = DbQuote(U(r.foreignTable));
    std::string newMatch, oldMatch, newNotNull, changed, foreignChanged, setNew, fieldList,
        foreignList;
    for (size_t i = 0; i < r.fields.size(); ++i) {
        std::string p = DbQuote(U(r.fields[i].name)), q = DbQuote(U(r.fields[i].foreignName));
        const char* sep = i ? " AND " : "";
        newMatch += sep + t + "." + p + " = NEW." + q;
        oldMatch += sep + f + "." + q + " = OLD." + p;
        newNotNull += sep + std::string("NEW.") + q + " IS NOT NULL";
        changed += (i ? " OR OLD." : "OLD.") + p + " IS NOT NEW." + p;
        foreignChanged += (i ? " OR OLD." : "OLD.") + q + " IS NOT NEW." + q;
        setNew += (i ? ", " : "") + q + " = NEW." + p;
        fieldList += (i ? ", " : "") + p;
        foreignList += (i ? ", " : "") + q;
    }
    std::string needMain = newNotNull + " AND NOT EXISTS (SELECT 1 FROM " + t + " WHERE " +
                           newMatch + ") BEGIN " + RaiseJet(dbErrRelatedRequired) + " END";
    out.push_back("CREATE TRIGGER " + DbQuote(name + "!Add") + " BEFORE INSERT ON " + f + " WHEN " +
                  needMain);
    out.push_back("CREATE TRIGGER " + DbQuote(name + "!Change") + " BEFORE UPDATE OF " +
                  foreignList + " ON " + f + " WHEN (" + foreignChanged + ") AND " + needMain);
    std::string related = "EXISTS (SELECT 1 FROM " + f + " WHERE " + oldMatch + ")";
    if (r.attributes & dbRelationDeleteCascade)
        out.push_back("CREATE TRIGGER " + DbQuote(name + "!Delete") + " AFTER DELETE ON " + t +
                      " BEGIN DELETE FROM " + f + " WHERE " + oldMatch + "; END");
    else
        out.push_back("CREATE TRIGGER " + DbQuote(name + "!Delete") + " BEFORE DELETE ON " + t +
                      " WHEN " + related + " BEGIN " + RaiseJet(dbErrRelatedRecords) + " END");
    if (r.attributes & dbRelationUpdateCascade)
        out.push_back("CREATE TRIGGER " + DbQuote(name + "!Rekey") + " AFTER UPDATE OF " +
                      fieldList + " ON " + t + " WHEN " + changed + " BEGIN UPDATE " + f + " SET " +
                      setNew + " WHERE " + oldMatch + "; END");
    else
        out.push_back("CREATE TRIGGER " + DbQuote(name + "!Rekey") + " BEFORE UPDATE OF " +
                      fieldList + " ON " + t + " WHEN (" + changed + ") AND " + related +
                      " BEGIN " + RaiseJet(dbErrRelatedRecords) + " END");
    return out;
}

const char* const kRelationTriggerSuffixes[] = {"!Add", "!Change", "!Delete", "!Rekey"};

// The trigger that keeps Null out of a required index's fields.
std::vector<std::string> RequiredTriggers(const std::string& sqlName, const std::string& table,
                                          const std::vector<std::string>& fields) {
    std::string anyNull, list;
    for (size_t i = 0; i < fields.size(); ++i) {
        anyNull += (i ? " OR NEW." : "NEW.") + DbQuote(fields[i]) + " IS NULL";
        list += (i ? ", " : "") + DbQuote(fields[i]);
    }
    std::string body = " WHEN " + anyNull + " BEGIN " + RaiseJet(dbErrNullInIndex) + " END";
    return {"CREATE TRIGGER " + DbQuote(sqlName + "!Add") + " BEFORE INSERT ON " + DbQuote(table) +
                body,
            "CREATE TRIGGER " + DbQuote(sqlName + "!Change") + " BEFORE UPDATE OF " + list +
                " ON " + DbQuote(table) + body};
}

}  // namespace

// ---- names and words

void CdbDatabase::CheckName(const std::string& name) {
    bool bad = name.empty() || name.size() > 64 || name[0] == ' ' || IsJetRowKeyName(name) ||
               StartsNoCase(name, "MavroSys");
    for (unsigned char c : name) bad = bad || c < 0x20 || c == 0x7F || strchr(".!`[]", c);
    if (bad)
        ThrowDbError(dbErrBadName, name);
}

void CdbDatabase::CheckNewField(const std::vector<CdbFieldSpec>& fields,
                                const CdbFieldSpec& field) {
    CheckName(field.name);
    for (const CdbFieldSpec& f : fields)
        if (DbSameName(U(f.name), U(field.name)))
            ThrowDbError(dbErrNameTaken, field.name);
    if (TypeWord(field.type, field.size).empty())
        ThrowDbError(dbErrBadFieldType, field.name);
}

std::string CdbDatabase::TypeWord(int type, long size) {
    switch (type) {
        case dbBoolean:
            return "BIT";
        case dbByte:
            return "BYTE";
        case dbInteger:
            return "SHORT";
        case dbLong:
            return "LONG";
        case dbCurrency:
            return "CURRENCY";
        case dbSingle:
            return "SINGLE";
        case dbDouble:
            return "DOUBLE";
        case dbDate:
            return "DATETIME";
        case dbBinary:
            return "BINARY(" + std::to_string(size > 0 && size <= 255 ? size : 255) + ")";
        case dbText:
            return "TEXT(" + std::to_string(size > 0 && size <= 255 ? size : 255) + ")";
        case dbLongBinary:
            return "LONGBINARY";
        case dbMemo:
            return "MEMO";
        case dbGUID:
            return "GUID";
        default:
            return std::string();
    }
}

// ---- catalogue

void CdbDatabase::EnsureCatalogue() {
    sqlite3* db = m_conn->Handle();
    if (sqlite3_table_column_metadata(db, "main", "MavroSysRelations", "ForeignName", nullptr,
                                      nullptr, nullptr, nullptr, nullptr) == SQLITE_OK &&
        sqlite3_table_column_metadata(db, "main", "MavroSysObjects", "Kind", nullptr, nullptr,
                                      nullptr, nullptr, nullptr) == SQLITE_OK)
        return;
    m_conn->Exec(kCatalogue);
}

void CdbDatabase::Touch(const std::string& utf8Name, int kind, bool created) {
    // Inside the design's transaction: a refusal leaves the file as it was.
    if (created)
        Demand("Tables", "", dbSecCreate, dbErrNoDesignPermission);
    else
        Demand("Tables", A(utf8Name), dbSecWriteDef, dbErrNoDesignPermission);
    std::string now = std::to_string(DbNow());
    if (created) {
        Bound b(m_conn.get(),
                "INSERT OR REPLACE INTO MavroSysObjects(Name, Kind, DateCreated, LastUpdated) "
                "VALUES (?1, ?2, ?3, ?3)",
                {utf8Name, std::to_string(kind), now});
        b.Run();
        CopyInheritedRights(utf8Name);
    } else {
        Bound b(m_conn.get(),
                "UPDATE MavroSysObjects SET LastUpdated = ?3 WHERE Name = ?1 COLLATE NOCASE "
                "AND Kind = ?2",
                {utf8Name, std::to_string(kind), now});
        b.Run();
    }
}

bool CdbDatabase::ObjectDates(const std::string& name, double* created, double* updated) {
    CheckOpen();
    if (sqlite3_table_column_metadata(m_conn->Handle(), "main", "MavroSysObjects", "DateCreated",
                                      nullptr, nullptr, nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    Bound b(m_conn.get(),
            "SELECT DateCreated, LastUpdated FROM MavroSysObjects WHERE Name = ?1 COLLATE NOCASE "
            "AND DateCreated IS NOT NULL",
            {U(name)});
    if (!b.Row())
        return false;
    *created = sqlite3_column_double(b.stmt, 0);
    *updated = sqlite3_column_double(b.stmt, 1);
    return true;
}

bool CdbDatabase::TableExists(const std::string& utf8Table, std::string* stored) {
    Bound b(m_conn.get(),
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE",
            {utf8Table});
    if (!b.Row())
        return false;
    std::string name = b.Text(0);
    if (StartsNoCase(name, "MavroSys") || StartsNoCase(name, "sqlite_"))
        return false;
    if (stored)
        *stored = name;
    return true;
}

bool CdbDatabase::LinkExists(const std::string& utf8Name, std::string* stored) {
    if (sqlite3_table_column_metadata(m_conn->Handle(), "main", "MavroSysLinks", "Name", nullptr,
                                      nullptr, nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    Bound b(m_conn.get(), "SELECT Name FROM MavroSysLinks WHERE Name = ?1 COLLATE NOCASE",
            {utf8Name});
    if (!b.Row())
        return false;
    if (stored)
        *stored = b.Text(0);
    return true;
}

bool CdbDatabase::QueryExists(const std::string& utf8Name, std::string* stored) {
    if (sqlite3_table_column_metadata(m_conn->Handle(), "main", "MavroSysQueries", "Name", nullptr,
                                      nullptr, nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    Bound b(m_conn.get(), "SELECT Name FROM MavroSysQueries WHERE Name = ?1 COLLATE NOCASE",
            {utf8Name});
    if (!b.Row())
        return false;
    if (stored)
        *stored = b.Text(0);
    return true;
}

// A new name of a table or query must be no other table's or query's
// (3012); `except` is the object being renamed.
void CdbDatabase::CheckFree(const std::string& utf8Name, const std::string& except) {
    std::string found;
    if ((TableExists(utf8Name, &found) || LinkExists(utf8Name, &found) ||
         QueryExists(utf8Name, &found)) &&
        found != except)
        ThrowDbError(dbErrObjectExists, A(utf8Name));
}

// The stored name of a local table (3011 when there is none, 3251 for a
// link).
std::string CdbDatabase::LocalTable(const std::string& table) {
    std::string stored;
    if (TableExists(U(table), &stored))
        return stored;
    if (LinkExists(U(table), nullptr))
        ThrowDbError(dbErrUnsupported, table);
    ThrowDbError(dbErrObjectNotFound, table);
}

// ---- tables and fields

void CdbDatabase::CreateTable(const std::string& table, const std::vector<CdbFieldSpec>& fields) {
    CheckOpen();
    CheckName(table);
    if (fields.empty())
        ThrowDbError(dbErrNoFields, table);
    std::vector<CdbFieldSpec> seen;
    for (const CdbFieldSpec& f : fields) {
        CheckNewField(seen, f);
        seen.push_back(f);
    }
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string u = U(table);
    CheckFree(u, std::string());
    std::string sql = "CREATE TABLE " + DbQuote(u) + " (";
    for (size_t i = 0; i < fields.size(); ++i)
        sql += (i ? ", " : "") + DbQuote(U(fields[i].name)) + " " +
               TypeWord(fields[i].type, fields[i].size);
    m_conn->Exec(sql + ")");
    Touch(u, kObjectTable, true);
    t.Commit();
}

std::vector<CdbRelationInfo> CdbDatabase::RelationsOf(const std::string& utf8Table) {
    std::vector<CdbRelationInfo> out;
    for (CdbRelationInfo& r : Relations())
        if (DbSameName(U(r.table), utf8Table) || DbSameName(U(r.foreignTable), utf8Table))
            out.push_back(r);
    return out;
}

void CdbDatabase::RenameTable(const std::string& table, const std::string& newName) {
    CheckOpen();
    CheckName(newName);
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string stored, nu = U(newName);
    bool link = false;
    if (!TableExists(U(table), &stored)) {
        if (!LinkExists(U(table), &stored))
            ThrowDbError(dbErrObjectNotFound, table);
        link = true;
    }
    CheckFree(nu, stored);
    if (link) {
        Bound(m_conn.get(), "UPDATE MavroSysLinks SET Name = ?2 WHERE Name = ?1", {stored, nu})
            .Run();
    } else {
        // SQLite carries the table's indexes and every trigger naming it;
        // a change of case only goes through another name.
        if (DbSameName(stored, nu)) {
            m_conn->Exec("ALTER TABLE " + DbQuote(stored) + " RENAME TO " +
                         DbQuote(stored + "!Rename"));
            m_conn->Exec("ALTER TABLE " + DbQuote(stored + "!Rename") + " RENAME TO " +
                         DbQuote(nu));
        } else {
            m_conn->Exec("ALTER TABLE " + DbQuote(stored) + " RENAME TO " + DbQuote(nu));
        }
        Bound(m_conn.get(), "UPDATE MavroSysIndexes SET TableName = ?2 WHERE TableName = ?1",
              {stored, nu})
            .Run();
        Bound(m_conn.get(), "UPDATE MavroSysRelations SET TableName = ?2 WHERE TableName = ?1",
              {stored, nu})
            .Run();
        Bound(m_conn.get(),
              "UPDATE MavroSysRelations SET ForeignTable = ?2 WHERE ForeignTable = ?1",
              {stored, nu})
            .Run();
    }
    Bound(m_conn.get(), "UPDATE MavroSysProperties SET Object = ?2 WHERE Object = ?1", {stored, nu})
        .Run();
    Bound(m_conn.get(), "UPDATE MavroSysObjects SET Name = ?2 WHERE Name = ?1 AND Kind <> ?3",
          {stored, nu, std::to_string(kObjectQuery)})
        .Run();
    MovePermissions(stored, nu);
    Touch(nu, link ? kObjectLink : kObjectTable, false);
    t.Commit();
}

void CdbDatabase::DeleteTable(const std::string& table) {
    CheckOpen();
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string stored;
    if (TableExists(U(table), &stored)) {
        if (!RelationsOf(stored).empty())
            ThrowDbError(dbErrInRelation, table);
        m_conn->Exec("DROP TABLE " + DbQuote(stored));
        Bound(m_conn.get(), "DELETE FROM MavroSysIndexes WHERE TableName = ?1", {stored}).Run();
    } else if (LinkExists(U(table), &stored)) {
        Bound(m_conn.get(), "DELETE FROM MavroSysLinks WHERE Name = ?1", {stored}).Run();
    } else {
        ThrowDbError(dbErrObjectNotFound, table);
    }
    Demand("Tables", A(stored), dbSecDelete);
    MovePermissions(stored, std::string());
    Bound(m_conn.get(), "DELETE FROM MavroSysProperties WHERE Object = ?1", {stored}).Run();
    Bound(m_conn.get(), "DELETE FROM MavroSysObjects WHERE Name = ?1 AND Kind <> ?2",
          {stored, std::to_string(kObjectQuery)})
        .Run();
    t.Commit();
}

void CdbDatabase::AddField(const std::string& table, const CdbFieldSpec& field, int ordinal) {
    CheckOpen();
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string stored = LocalTable(table);
    std::vector<TableColumn> columns = ColumnsOf(m_conn.get(), stored);
    std::vector<CdbFieldSpec> existing;
    for (const TableColumn& c : columns)
        if (!IsJetRowKeyName(c.name)) {
            CdbFieldSpec s;
            s.name = A(c.name);
            existing.push_back(s);
        }
    CheckNewField(existing, field);
    std::string u = U(field.name);
    m_conn->Exec("ALTER TABLE " + DbQuote(stored) + " ADD COLUMN " + DbQuote(u) + " " +
                 TypeWord(field.type, field.size));
    if (ordinal >= 0 && ordinal < (int)existing.size()) {
        std::vector<std::string> order;
        for (const CdbFieldSpec& s : existing) order.push_back(U(s.name));
        order.insert(order.begin() + ordinal, u);
        Rebuild(stored, order, std::string(), nullptr);
    }
    Touch(stored, kObjectTable, false);
    t.Commit();
}

void CdbDatabase::DeleteField(const std::string& table, const std::string& field) {
    CheckOpen();
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string stored = LocalTable(table);
    std::vector<TableColumn> columns = ColumnsOf(m_conn.get(), stored);
    int at = FieldIndexOf(columns, U(field));
    if (at < 0)
        ThrowDbError(dbErrItemNotFound, field);
    std::string name = columns[(size_t)at].name;
    for (const CdbRelationInfo& r : RelationsOf(stored))
        for (const CdbRelationField& f : r.fields)
            if ((DbSameName(U(r.table), stored) && DbSameName(U(f.name), name)) ||
                (DbSameName(U(r.foreignTable), stored) && DbSameName(U(f.foreignName), name)))
                ThrowDbError(dbErrInRelation, field);
    for (const CdbIndexInfo& i : Indexes(A(stored)))
        for (const CdbIndexField& f : i.fields)
            if (DbSameName(U(f.name), name))
                ThrowDbError(dbErrFieldInIndex, field);
    int fields = 0;
    for (const TableColumn& c : columns) fields += IsJetRowKeyName(c.name) ? 0 : 1;
    if (fields == 1)
        ThrowDbError(dbErrNoFields, table);
    m_conn->Exec("ALTER TABLE " + DbQuote(stored) + " DROP COLUMN " + DbQuote(name));
    Bound(m_conn.get(), "DELETE FROM MavroSysProperties WHERE Object = ?1 AND Field = ?2",
          {stored, name})
        .Run();
    Touch(stored, kObjectTable, false);
    t.Commit();
}

void CdbDatabase::RenameField(const std::string& table, const std::string& field,
                              const std::string& newName) {
    CheckOpen();
    CheckName(newName);
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string stored = LocalTable(table);
    std::vector<TableColumn> columns = ColumnsOf(m_conn.get(), stored);
    int at = FieldIndexOf(columns, U(field));
    if (at < 0)
        ThrowDbError(dbErrItemNotFound, field);
    std::string name = columns[(size_t)at].name, nu = U(newName);
    int other = FieldIndexOf(columns, nu);
    if (other >= 0 && other != at)
        ThrowDbError(dbErrFieldTwice, newName);
    // SQLite carries indexes and triggers; the catalogue follows here.
    m_conn->Exec("ALTER TABLE " + DbQuote(stored) + " RENAME COLUMN " + DbQuote(name) + " TO " +
                 DbQuote(nu));
    Bound(m_conn.get(), "UPDATE MavroSysProperties SET Field = ?3 WHERE Object = ?1 AND Field = ?2",
          {stored, name, nu})
        .Run();
    Bound(m_conn.get(),
          "UPDATE MavroSysRelations SET FieldName = ?3 WHERE TableName = ?1 AND FieldName = ?2",
          {stored, name, nu})
        .Run();
    Bound(m_conn.get(),
          "UPDATE MavroSysRelations SET ForeignName = ?3 WHERE ForeignTable = ?1 AND "
          "ForeignName = ?2",
          {stored, name, nu})
        .Run();
    Touch(stored, kObjectTable, false);
    t.Commit();
}

int CdbDatabase::GetFieldOrdinal(const std::string& table, const std::string& field) {
    CheckOpen();
    std::vector<CdbFieldInfo> fields = TableFields(table);
    for (size_t i = 0; i < fields.size(); ++i)
        if (DbSameName(U(fields[i].name), U(field)))
            return (int)i;
    ThrowDbError(dbErrItemNotFound, field);
}

void CdbDatabase::SetFieldOrdinal(const std::string& table, const std::string& field, int ordinal) {
    CheckOpen();
    DesignTransaction t(m_conn.get());
    std::string stored = LocalTable(table);
    std::vector<std::string> order;
    std::string moved;
    for (const TableColumn& c : ColumnsOf(m_conn.get(), stored)) {
        if (IsJetRowKeyName(c.name))
            continue;
        if (DbSameName(c.name, U(field)))
            moved = c.name;
        else
            order.push_back(c.name);
    }
    if (moved.empty())
        ThrowDbError(dbErrItemNotFound, field);
    // Positions stay 0 ... n-1 whatever number is asked for.
    int at = std::max(0, std::min(ordinal, (int)order.size()));
    order.insert(order.begin() + at, moved);
    Rebuild(stored, order, std::string(), nullptr);
    t.Commit();
}

void CdbDatabase::ReplaceField(const std::string& table, const std::string& field,
                               const CdbFieldSpec& spec) {
    CheckOpen();
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string stored = LocalTable(table);
    std::vector<TableColumn> columns = ColumnsOf(m_conn.get(), stored);
    int at = FieldIndexOf(columns, U(field));
    if (at < 0)
        ThrowDbError(dbErrItemNotFound, field);
    std::string name = columns[(size_t)at].name;
    std::vector<CdbFieldSpec> others;
    std::vector<std::string> order;
    for (const TableColumn& c : columns) {
        if (IsJetRowKeyName(c.name))
            continue;
        order.push_back(c.name);
        if (c.name == name)
            continue;
        CdbFieldSpec s;
        s.name = A(c.name);
        others.push_back(s);
    }
    CheckNewField(others, spec);
    for (const CdbRelationInfo& r : RelationsOf(stored))
        for (const CdbRelationField& f : r.fields)
            if ((DbSameName(U(r.table), stored) && DbSameName(U(f.name), name)) ||
                (DbSameName(U(r.foreignTable), stored) && DbSameName(U(f.foreignName), name)))
                ThrowDbError(dbErrInRelation, field);
    // Indexes name the field: it may change its type in them, not its name.
    if (!DbSameName(U(spec.name), name))
        for (const CdbIndexInfo& i : Indexes(A(stored)))
            for (const CdbIndexField& f : i.fields)
                if (DbSameName(U(f.name), name))
                    ThrowDbError(dbErrFieldInIndex, field);
    Rebuild(stored, order, name, &spec);
    Bound(m_conn.get(), "DELETE FROM MavroSysProperties WHERE Object = ?1 AND Field = ?2",
          {stored, name})
        .Run();
    Touch(stored, kObjectTable, false);
    t.Commit();
}

// Makes the table anew with its fields in `order` (one of them, `replaced`,
// taking the name and type of `newField`), inside the caller's transaction: row
// ids, the layer's row key, indexes, triggers and properties stay.
void CdbDatabase::Rebuild(const std::string& table, const std::vector<std::string>& order,
                          const std::string& replaced, const CdbFieldSpec* newField) {
    std::vector<TableColumn> columns = ColumnsOf(m_conn.get(), table);
    std::vector<TableColumn> ordered;
    for (const std::string& n : order)
        for (const TableColumn& c : columns)
            if (c.name == n)
                ordered.push_back(c);
    for (const TableColumn& c : columns)
        if (IsJetRowKeyName(c.name))
            ordered.push_back(c);
    std::string temp = table + "!Rebuild";
    std::string defs, into, from, keys;
    for (const TableColumn& c : ordered) {
        bool swap = newField && c.name == replaced;
        std::string name = swap ? U(newField->name) : c.name;
        std::string type = swap ? TypeWord(newField->type, newField->size) : c.declared;
        defs += (defs.empty() ? "" : ", ") + DbQuote(name) + " " + type;
        if (c.notNull && !swap)
            defs += " NOT NULL";
        if (!c.defaultValue.empty() && !swap)
            defs += " DEFAULT " + c.defaultValue;
        if (c.pk)
            keys += (keys.empty() ? "" : ", ") + DbQuote(name);
        into += ", " + DbQuote(name);
        if (swap) {
            long size = 0;
            int fromType = DaoTypeFromDeclared(c.declared.c_str(), &size);
            long toSize =
                newField->type == dbText ? (newField->size > 0 ? newField->size : 255) : 0;
            from += ", " + ConvertExpression(DbQuote(c.name), fromType, newField->type, toSize);
        } else {
            from += ", " + DbQuote(c.name);
        }
    }
    if (!keys.empty())
        defs += ", PRIMARY KEY(" + keys + ")";
    // Indexes and triggers as the schema holds them; every trigger goes and
    // comes back, since those of other tables may name this one.
    std::vector<std::string> again;
    std::vector<std::string> dropTriggers;
    {
        Bound b(m_conn.get(),
                "SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL AND "
                "((type = 'index' AND tbl_name = ?1) OR type = 'trigger')",
                {table});
        while (b.Row()) {
            again.push_back(b.Text(2));
            if (b.Text(0) == "trigger")
                dropTriggers.push_back(b.Text(1));
        }
    }
    for (const std::string& n : dropTriggers) m_conn->Exec("DROP TRIGGER " + DbQuote(n));
    sqlite3* db = m_conn->Handle();
    sqlite3_create_function(db, "mavro_convert", 4, SQLITE_UTF8, nullptr, ConvertFunction, nullptr,
                            nullptr);
    m_conn->Exec("CREATE TABLE " + DbQuote(temp) + " (" + defs + ")");
    m_conn->Exec("INSERT INTO " + DbQuote(temp) + " (rowid" + into + ") SELECT rowid" + from +
                 " FROM " + DbQuote(table));
    m_conn->Exec("DROP TABLE " + DbQuote(table));
    m_conn->Exec("ALTER TABLE " + DbQuote(temp) + " RENAME TO " + DbQuote(table));
    for (const std::string& sql : again) m_conn->Exec(sql);
}

// ---- properties

void CdbDatabase::SetProperty(const std::string& object, const std::string& field,
                              const std::string& name, const VARIANT& value) {
    CheckOpen();
    CheckName(name);
    DbValue v;
    VARIANT n;
    VariantInit(&n);
    switch (V_VT(&value)) {
        case VT_BOOL:
            v.kind = DbValue::Integer;
            v.i = (SHORT)V_BOOL(&value);
            break;
        case VT_BSTR: {
            long error = 0;
            VariantToDbValue(value, dbText, 0, &v, &error);
            break;
        }
        case VT_R4:
        case VT_R8:
        case VT_DATE:
            if (FAILED(VariantChangeType(&n, const_cast<VARIANT*>(&value), 0, VT_R8)))
                ThrowDbError(dbErrTypeConversion, name);
            v.kind = DbValue::Real;
            v.d = V_R8(&n);
            break;
        default:
            if (FAILED(VariantChangeType(&n, const_cast<VARIANT*>(&value), 0, VT_I4)))
                ThrowDbError(dbErrTypeConversion, name);
            v.kind = DbValue::Integer;
            v.i = V_I4(&n);
    }
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string o = U(object), f = U(field);
    std::string stored;
    if (!TableExists(o, &stored) && !LinkExists(o, &stored) && !QueryExists(o, &stored))
        ThrowDbError(dbErrObjectNotFound, object);
    sqlite3_stmt* s = m_conn->Prepare(
        "INSERT OR REPLACE INTO MavroSysProperties(Object, Field, Name, Value) VALUES (?1, ?2, "
        "?3, ?4)");
    CdbStatementScope scope(s);
    std::string un = U(name);
    sqlite3_bind_text(s, 1, stored.c_str(), (int)stored.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, f.c_str(), (int)f.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 3, un.c_str(), (int)un.size(), SQLITE_TRANSIENT);
    BindDbValue(s, 4, v);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE)
        m_conn->Fail(rc);
    t.Commit();
}

void CdbDatabase::DeleteProperty(const std::string& object, const std::string& field,
                                 const std::string& name) {
    CheckOpen();
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    Bound(m_conn.get(),
          "DELETE FROM MavroSysProperties WHERE Object = ?1 COLLATE NOCASE AND Field = ?2 "
          "COLLATE NOCASE AND Name = ?3 COLLATE NOCASE",
          {U(object), U(field), U(name)})
        .Run();
    if (sqlite3_changes(m_conn->Handle()) == 0)
        ThrowDbError(dbErrPropertyNotFound, name);
    t.Commit();
}

// ---- queries

void CdbDatabase::CreateQuery(const std::string& query, const std::string& sql) {
    CheckOpen();
    CheckName(query);
    std::string u = U(sql);
    JetSqlResult r = RewriteJetSql(u);
    if (!r.error.empty())
        ThrowDbError(r.errorNumber ? r.errorNumber : (long)dbErrSyntax, A(r.error));
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string name = U(query);
    CheckFree(name, std::string());
    Bound(m_conn.get(), "INSERT INTO MavroSysQueries(Name, SQL) VALUES (?1, ?2)", {name, u}).Run();
    Touch(name, kObjectQuery, true);
    t.Commit();
}

void CdbDatabase::RenameQuery(const std::string& query, const std::string& newName) {
    CheckOpen();
    CheckName(newName);
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string stored, nu = U(newName);
    if (!QueryExists(U(query), &stored))
        ThrowDbError(dbErrItemNotFound, query);
    CheckFree(nu, stored);
    Bound(m_conn.get(), "UPDATE MavroSysQueries SET Name = ?2 WHERE Name = ?1", {stored, nu}).Run();
    Bound(m_conn.get(), "UPDATE MavroSysProperties SET Object = ?2 WHERE Object = ?1", {stored, nu})
        .Run();
    Bound(m_conn.get(), "UPDATE MavroSysObjects SET Name = ?2 WHERE Name = ?1 AND Kind = ?3",
          {stored, nu, std::to_string(kObjectQuery)})
        .Run();
    MovePermissions(stored, nu);
    Touch(nu, kObjectQuery, false);
    t.Commit();
}

void CdbDatabase::DeleteQuery(const std::string& query) {
    CheckOpen();
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string stored;
    if (!QueryExists(U(query), &stored))
        ThrowDbError(dbErrItemNotFound, query);
    Demand("Tables", A(stored), dbSecDelete);
    MovePermissions(stored, std::string());
    Bound(m_conn.get(), "DELETE FROM MavroSysQueries WHERE Name = ?1", {stored}).Run();
    Bound(m_conn.get(), "DELETE FROM MavroSysProperties WHERE Object = ?1", {stored}).Run();
    Bound(m_conn.get(), "DELETE FROM MavroSysObjects WHERE Name = ?1 AND Kind = ?2",
          {stored, std::to_string(kObjectQuery)})
        .Run();
    t.Commit();
}

// ---- indexes

std::vector<CdbIndexInfo> CdbDatabase::Indexes(const std::string& table) {
    CheckOpen();
    std::vector<CdbIndexInfo> out;
    std::string stored;
    if (!TableExists(U(table), &stored)) {
        if (LinkExists(U(table), nullptr))
            return out;
        ThrowDbError(dbErrObjectNotFound, table);
    }
    if (sqlite3_table_column_metadata(m_conn->Handle(), "main", "MavroSysIndexes", "SqlName",
                                      nullptr, nullptr, nullptr, nullptr, nullptr) != SQLITE_OK)
        return out;
    std::vector<std::pair<CdbIndexInfo, std::string>> rows;
    {
        Bound b(m_conn.get(),
                "SELECT Name, SqlName, IsPrimary, IsUnique, Required, IsForeign FROM "
                "MavroSysIndexes WHERE TableName = ?1 ORDER BY rowid",
                {stored});
        while (b.Row()) {
            CdbIndexInfo i;
            i.name = A(b.Text(0));
            i.primary = b.Int(2) != 0;
            i.unique = b.Int(3) != 0 || i.primary;
            i.required = b.Int(4) != 0 || i.primary;
            i.foreign = b.Int(5) != 0;
            rows.push_back({i, b.Text(1)});
        }
    }
    for (auto& row : rows) {
        // A row must name an index of this table: a catalogue that says
        // otherwise is damaged.
        Bound owner(m_conn.get(),
                    "SELECT tbl_name FROM sqlite_master WHERE type = 'index' AND name = ?1",
                    {row.second});
        if (!owner.Row() || owner.Text(0) != stored)
            ThrowDbError(dbErrBadFormat, table);
        Bound b(m_conn.get(), "SELECT name, \"desc\" FROM pragma_index_xinfo(?1) WHERE key = 1",
                {row.second});
        while (b.Row()) {
            CdbIndexField f;
            f.name = A(b.Text(0));
            f.descending = b.Int(1) != 0;
            row.first.fields.push_back(f);
        }
        if (row.first.fields.empty())
            ThrowDbError(dbErrBadFormat, table);
        out.push_back(row.first);
    }
    return out;
}

void CdbDatabase::CreateIndex(const std::string& table, const CdbIndexInfo& index) {
    CheckOpen();
    CheckName(index.name);
    if (index.fields.empty())
        ThrowDbError(dbErrNoFields, index.name);
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string stored = LocalTable(table);
    std::vector<TableColumn> columns = ColumnsOf(m_conn.get(), stored);
    std::vector<std::string> fields;
    std::string list;
    for (const CdbIndexField& f : index.fields) {
        int at = FieldIndexOf(columns, U(f.name));
        if (at < 0)
            ThrowDbError(dbErrItemNotFound, f.name);
        fields.push_back(columns[(size_t)at].name);
        list += (list.empty() ? "" : ", ") + DbQuote(fields.back()) + (f.descending ? " DESC" : "");
    }
    for (const CdbIndexInfo& i : Indexes(A(stored))) {
        if (DbSameName(U(i.name), U(index.name)))
            ThrowDbError(dbErrIndexExists, index.name);
        if (i.primary && index.primary)
            ThrowDbError(dbErrPrimaryExists, index.name);
    }
    bool unique = index.unique || index.primary;
    bool required = index.required || index.primary;
    Bound(m_conn.get(),
          "INSERT INTO MavroSysIndexes(TableName, Name, SqlName, IsPrimary, IsUnique, Required, "
          "IsForeign) VALUES (?1, ?2, '', ?3, ?4, ?5, ?6)",
          {stored, U(index.name), index.primary ? "1" : "0", unique ? "1" : "0",
           required ? "1" : "0", index.foreign ? "1" : "0"})
        .Run();
    std::string sqlName =
        "MavroIndex" + std::to_string(sqlite3_last_insert_rowid(m_conn->Handle()));
    Bound(m_conn.get(), "UPDATE MavroSysIndexes SET SqlName = ?1 WHERE rowid = ?2",
          {sqlName, std::to_string(sqlite3_last_insert_rowid(m_conn->Handle()))})
        .Run();
    if (required) {
        std::string anyNull;
        for (size_t i = 0; i < fields.size(); ++i)
            anyNull += (i ? " OR " : "") + DbQuote(fields[i]) + " IS NULL";
        Bound b(m_conn.get(), "SELECT 1 FROM " + DbQuote(stored) + " WHERE " + anyNull + " LIMIT 1",
                {});
        if (b.Row())
            ThrowDbError(dbErrNullInIndex, index.name);
        for (const std::string& sql : RequiredTriggers(sqlName, stored, fields)) m_conn->Exec(sql);
    }
    // Existing duplicates make SQLite refuse a unique index: 3022.
    m_conn->Exec(std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + DbQuote(sqlName) +
                 " ON " + DbQuote(stored) + " (" + list + ")");
    Touch(stored, kObjectTable, false);
    t.Commit();
}

void CdbDatabase::DeleteIndex(const std::string& table, const std::string& index) {
    CheckOpen();
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    std::string stored = LocalTable(table);
    std::string sqlName, name;
    bool foreign = false;
    {
        Bound b(m_conn.get(),
                "SELECT SqlName, Name, IsForeign FROM MavroSysIndexes WHERE TableName = ?1 AND "
                "Name = ?2 COLLATE NOCASE",
                {stored, U(index)});
        if (!b.Row())
            ThrowDbError(dbErrItemNotFound, index);
        sqlName = b.Text(0);
        name = b.Text(1);
        foreign = b.Int(2) != 0;
    }
    if (foreign)
        ThrowDbError(dbErrIndexInUse, index);
    // Nor the index that keeps a relation's main fields unique.
    std::set<std::string> fields;
    for (const CdbIndexInfo& i : Indexes(A(stored)))
        if (DbSameName(U(i.name), name))
            for (const CdbIndexField& f : i.fields) fields.insert(Lower(U(f.name)));
    for (const CdbRelationInfo& r : RelationsOf(stored)) {
        std::set<std::string> main;
        for (const CdbRelationField& f : r.fields) main.insert(Lower(U(f.name)));
        if (DbSameName(U(r.table), stored) && main == fields)
            ThrowDbError(dbErrIndexInUse, index);
    }
    Bound(m_conn.get(), "DELETE FROM MavroSysIndexes WHERE TableName = ?1 AND Name = ?2",
          {stored, name})
        .Run();
    m_conn->Exec("DROP INDEX IF EXISTS " + DbQuote(sqlName));
    m_conn->Exec("DROP TRIGGER IF EXISTS " + DbQuote(sqlName + "!Add"));
    m_conn->Exec("DROP TRIGGER IF EXISTS " + DbQuote(sqlName + "!Change"));
    Touch(stored, kObjectTable, false);
    t.Commit();
}

// ---- relations

std::vector<CdbRelationInfo> CdbDatabase::Relations() {
    CheckOpen();
    std::vector<CdbRelationInfo> out;
    if (sqlite3_table_column_metadata(m_conn->Handle(), "main", "MavroSysRelations", "ForeignName",
                                      nullptr, nullptr, nullptr, nullptr, nullptr) != SQLITE_OK)
        return out;
    Bound b(m_conn.get(),
            "SELECT Name, TableName, ForeignTable, Attributes, Ordinal, FieldName, ForeignName "
            "FROM MavroSysRelations ORDER BY rowid",
            {});
    while (b.Row()) {
        std::string name = A(b.Text(0));
        CdbRelationInfo* r = nullptr;
        for (CdbRelationInfo& o : out)
            if (o.name == name)
                r = &o;
        if (!r) {
            out.emplace_back();
            r = &out.back();
            r->name = name;
            r->table = A(b.Text(1));
            r->foreignTable = A(b.Text(2));
            r->attributes = (long)b.Int(3);
        }
        // Fields come numbered 0 ... n-1, all of one pair of tables.
        if (b.Int(4) != (int64_t)r->fields.size() || A(b.Text(1)) != r->table ||
            A(b.Text(2)) != r->foreignTable)
            ThrowDbError(dbErrBadFormat, name);
        CdbRelationField f;
        f.name = A(b.Text(5));
        f.foreignName = A(b.Text(6));
        r->fields.push_back(f);
    }
    return out;
}

void CdbDatabase::CreateRelation(const CdbRelationInfo& relation) {
    CheckOpen();
    CheckName(relation.name);
    Demand("Relationships", "", dbSecCreate, dbErrNoDesignPermission);
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    for (const CdbRelationInfo& r : Relations())
        if (DbSameName(U(r.name), U(relation.name)))
            ThrowDbError(dbErrObjectExists, relation.name);
    std::string main, related;
    if (!TableExists(U(relation.table), &main))
        ThrowDbError(dbErrObjectNotFound, relation.table);
    if (!TableExists(U(relation.foreignTable), &related))
        ThrowDbError(dbErrObjectNotFound, relation.foreignTable);
    if (relation.fields.empty())
        ThrowDbError(dbErrRelationFields, relation.name);
    std::vector<TableColumn> mc = ColumnsOf(m_conn.get(), main);
    std::vector<TableColumn> rc = ColumnsOf(m_conn.get(), related);
    CdbRelationInfo r = relation;
    r.table = A(main);
    r.foreignTable = A(related);
    std::set<std::string> mainFields;
    for (CdbRelationField& f : r.fields) {
        int a = FieldIndexOf(mc, U(f.name)), b = FieldIndexOf(rc, U(f.foreignName));
        if (a < 0 || b < 0)
            ThrowDbError(dbErrRelationField, a < 0 ? f.name : f.foreignName);
        if (TypeOf(mc[(size_t)a].declared) != TypeOf(rc[(size_t)b].declared))
            ThrowDbError(dbErrRelationFields, relation.name);
        f.name = A(mc[(size_t)a].name);
        f.foreignName = A(rc[(size_t)b].name);
        std::string lower = mc[(size_t)a].name;
        for (char& ch : lower) ch = (char)tolower((unsigned char)ch);
        mainFields.insert(lower);
    }
    // The main fields must be unique: a unique index over exactly them, or
    // the table's own integer key.
    bool unique = false;
    {
        Bound list(m_conn.get(), "SELECT name FROM pragma_index_list(?1) WHERE \"unique\" = 1",
                   {main});
        std::vector<std::string> names;
        while (list.Row()) names.push_back(list.Text(0));
        for (const std::string& n : names) {
            std::set<std::string> cols;
            Bound info(m_conn.get(), "SELECT name FROM pragma_index_info(?1)", {n});
            while (info.Row()) {
                std::string lower = info.Text(0);
                for (char& ch : lower) ch = (char)tolower((unsigned char)ch);
                cols.insert(lower);
            }
            unique = unique || cols == mainFields;
        }
        if (mainFields.size() == 1) {
            int pkCount = 0;
            for (const TableColumn& c : mc) pkCount += c.pk ? 1 : 0;
            for (const TableColumn& c : mc)
                if (c.pk && pkCount == 1 && _stricmp(c.declared.c_str(), "INTEGER") == 0 &&
                    mainFields.count([&] {
                        std::string l = c.name;
                        for (char& ch : l) ch = (char)tolower((unsigned char)ch);
                        return l;
                    }()))
                    unique = true;
        }
    }
    if (!unique)
        ThrowDbError(dbErrNoUniqueIndex, relation.name);
    if (!(r.attributes & dbRelationDontEnforce)) {
        std::string notNull, match;
        for (size_t i = 0; i < r.fields.size(); ++i) {
            std::string p = DbQuote(U(r.fields[i].name)), q = DbQuote(U(r.fields[i].foreignName));
            notNull += (i ? " AND f." : "f.") + q + " IS NOT NULL";
            match += (i ? " AND m." : "m.") + p + " = f." + q;
        }
        Bound b(m_conn.get(),
                "SELECT 1 FROM " + DbQuote(related) + " AS f WHERE " + notNull +
                    " AND NOT EXISTS (SELECT 1 FROM " + DbQuote(main) + " AS m WHERE " + match +
                    ") LIMIT 1",
                {});
        if (b.Row())
            ThrowDbError(dbErrIntegrityViolated, relation.name);
    }
    for (size_t i = 0; i < r.fields.size(); ++i)
        Bound(m_conn.get(),
              "INSERT INTO MavroSysRelations(Name, TableName, ForeignTable, Attributes, Ordinal, "
              "FieldName, ForeignName) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
              {U(r.name), main, related, std::to_string(r.attributes), std::to_string(i),
               U(r.fields[i].name), U(r.fields[i].foreignName)})
            .Run();
    for (const std::string& sql : RelationTriggers(r)) m_conn->Exec(sql);
    // The related fields get an index of the relation's name (or the next
    // free one), marked foreign.
    std::string indexName = r.name;
    std::vector<CdbIndexInfo> existing = Indexes(r.foreignTable);
    for (int n = 1;; ++n) {
        bool taken = false;
        for (const CdbIndexInfo& i : existing) taken = taken || DbSameName(U(i.name), U(indexName));
        if (!taken)
            break;
        indexName = r.name + std::to_string(n);
    }
    Bound(m_conn.get(),
          "INSERT INTO MavroSysIndexes(TableName, Name, SqlName, IsPrimary, IsUnique, Required, "
          "IsForeign) VALUES (?1, ?2, '', 0, 0, 0, 1)",
          {related, U(indexName)})
        .Run();
    std::string rowid = std::to_string(sqlite3_last_insert_rowid(m_conn->Handle()));
    std::string sqlName = "MavroIndex" + rowid;
    Bound(m_conn.get(), "UPDATE MavroSysIndexes SET SqlName = ?1 WHERE rowid = ?2",
          {sqlName, rowid})
        .Run();
    std::string list;
    for (const CdbRelationField& f : r.fields)
        list += (list.empty() ? "" : ", ") + DbQuote(U(f.foreignName));
    m_conn->Exec("CREATE INDEX " + DbQuote(sqlName) + " ON " + DbQuote(related) + " (" + list +
                 ")");
    t.Commit();
}

void CdbDatabase::DeleteRelation(const std::string& relation) {
    CheckOpen();
    Demand("Relationships", "", dbSecDelete);
    DesignTransaction t(m_conn.get());
    EnsureCatalogue();
    CdbRelationInfo found;
    bool have = false;
    for (const CdbRelationInfo& r : Relations())
        if (DbSameName(U(r.name), U(relation))) {
            found = r;
            have = true;
        }
    if (!have)
        ThrowDbError(dbErrItemNotFound, relation);
    std::string name = U(found.name);
    Bound(m_conn.get(), "DELETE FROM MavroSysRelations WHERE Name = ?1", {name}).Run();
    for (const char* suffix : kRelationTriggerSuffixes)
        m_conn->Exec("DROP TRIGGER IF EXISTS " + DbQuote(name + suffix));
    // Its foreign index: the one whose fields are the relation's.
    std::vector<std::string> foreignFields;
    for (const CdbRelationField& f : found.fields) foreignFields.push_back(f.foreignName);
    for (const CdbIndexInfo& i : Indexes(found.foreignTable)) {
        if (!i.foreign || i.fields.size() != foreignFields.size())
            continue;
        bool same = true;
        for (size_t k = 0; k < foreignFields.size(); ++k)
            same = same && DbSameName(U(i.fields[k].name), U(foreignFields[k]));
        if (!same)
            continue;
        std::string sqlName;
        {
            Bound b(m_conn.get(),
                    "SELECT SqlName FROM MavroSysIndexes WHERE TableName = ?1 AND Name = ?2",
                    {U(found.foreignTable), U(i.name)});
            if (b.Row())
                sqlName = b.Text(0);
        }
        Bound(m_conn.get(), "DELETE FROM MavroSysIndexes WHERE TableName = ?1 AND Name = ?2",
              {U(found.foreignTable), U(i.name)})
            .Run();
        m_conn->Exec("DROP INDEX IF EXISTS " + DbQuote(sqlName));
        break;
    }
    t.Commit();
}
