// Links and imports of other sources: another .mvb attached by its bound
// path after its own password check, dBASE and FoxPro tables through the
// reader's virtual tables; Excel and ODBC have no driver here (3170, 3151).
#include <string.h>

#include "aDbDbf.h"
#include "aDbEngine.h"
#include "aJetSql.h"
#include "sqlite3.h"

namespace {

bool StartsNoCase(const std::string& s, const char* prefix) {
    size_t n = strlen(prefix);
    return s.size() >= n && _strnicmp(s.c_str(), prefix, n) == 0;
}

size_t FindNoCase(const std::string& s, const char* what, size_t from) {
    size_t n = strlen(what);
    for (size_t i = from; i + n <= s.size(); ++i)
        if (_strnicmp(s.c_str() + i, what, n) == 0)
            return i;
    return std::string::npos;
}

const char* Prefix(CdbSourceKind kind) {
    switch (kind) {
        case dbSourceMvb:
            return ";";
        case dbSourceDBase3:
            return "dBASE III;";
        case dbSourceDBase4:
            return "dBASE IV;";
        case dbSourceDBase5:
            return "dBASE 5.0;";
        case dbSourceFoxPro20:
            return "FoxPro 2.0;";
        case dbSourceFoxPro25:
            return "FoxPro 2.5;";
        case dbSourceFoxPro26:
            return "FoxPro 2.6;";
        case dbSourceFoxPro30:
            return "FoxPro 3.0;";
        case dbSourceExcel4:
            return "Excel 4.0;";
        case dbSourceExcel5:
            return "Excel 5.0;";
        case dbSourceExcel8:
            return "Excel 8.0;";
        default:
            return "";
    }
}

bool IsDbf(CdbSourceKind kind) {
    return kind >= dbSourceDBase3 && kind <= dbSourceFoxPro30;
}

// Runs a statement with texts bound; raises the engine error.
void RunBound(CdbConnection* c, const std::string& sql, std::initializer_list<std::string> texts) {
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(c->Handle(), sql.c_str(), (int)sql.size(), &s, nullptr);
    if (rc == SQLITE_OK) {
        int i = 1;
        for (const std::string& t : texts)
            sqlite3_bind_text(s, i++, t.c_str(), (int)t.size(), SQLITE_TRANSIENT);
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        }
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        c->Fail(rc);
}

}  // namespace

std::string CdbDatabase::ConnectText(CdbSourceKind kind, const std::string& path,
                                     const std::string& password) {
    if (kind == dbSourceOdbc)
        return path;
    std::string text = std::string(Prefix(kind)) + "DATABASE=" + path;
    if (kind == dbSourceMvb && !password.empty())
        text += ";PWD=" + password;
    return text;
}

bool CdbDatabase::SplitConnect(const std::string& connect, std::string* prefix, std::string* path,
                               std::string* passwordPart) {
    size_t semi = connect.find(';');
    if (semi == std::string::npos)
        return false;
    *prefix = connect.substr(0, semi + 1);
    size_t at = semi + 1;
    if (!StartsNoCase(connect.substr(at), "DATABASE="))
        return false;
    at += 9;
    // A path may itself hold ";PWD=": the first place where the text
    // before names something that is there ends it, or the end when the
    // whole names it; else the first place. The text is UTF-8 from the
    // catalogue, ANSI from a caller.
    auto exists = [](const std::string& part) {
        return GetFileAttributesA(part.c_str()) != INVALID_FILE_ATTRIBUTES ||
               GetFileAttributesA(AnsiFromUtf8(part).c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    size_t first = FindNoCase(connect, ";PWD=", at), pwd = first;
    bool found = false;
    for (size_t p = first; p != std::string::npos; p = FindNoCase(connect, ";PWD=", p + 1)) {
        if (exists(connect.substr(at, p - at))) {
            pwd = p;
            found = true;
            break;
        }
    }
    if (!found && first != std::string::npos && exists(connect.substr(at)))
        pwd = std::string::npos;
    *path = connect.substr(at, pwd == std::string::npos ? std::string::npos : pwd - at);
    *passwordPart = pwd == std::string::npos ? std::string() : connect.substr(pwd);
    return true;
}

// A virtual table of the temp schema over a dBASE file: one per file.
std::string CdbDatabase::DbfReference(const std::string& file) {
    std::string key = file;
    for (char& c : key) c = (char)tolower((unsigned char)c);
    auto it = m_conn->dbfTables.find(key);
    if (it != m_conn->dbfTables.end())
        return it->second;
    if (!m_conn->dbfModule) {
        RegisterDbfModule(m_conn->Handle(), &m_conn->dbfFiles);
        m_conn->dbfModule = true;
    }
    size_t n = m_conn->dbfFiles.size();
    m_conn->dbfFiles.push_back(file);
    std::string table = "dbf" + std::to_string(n + 1);
    int rc = sqlite3_exec(m_conn->Handle(),
                          ("CREATE VIRTUAL TABLE temp." + DbQuote(table) + " USING mavro_dbf(" +
                           std::to_string(n) + ")")
                              .c_str(),
                          nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        if ((rc & 0xFF) == SQLITE_CANTOPEN)
            ThrowDbError(dbErrCannotFindFile, file);
        if ((rc & 0xFF) == SQLITE_CORRUPT)
            ThrowDbError(dbErrBadFormat, file);
        m_conn->Fail(rc);
    }
    m_conn->dbfTables[key] = table;
    return table;
}

// Reads the fields of a link's source, so a link is kept only once its
// source reads (with its own password).
void CdbDatabase::CheckLinkSource(const std::string& connect, const std::string& sourceTable) {
    std::string real;
    std::string ref = LinkReference(Utf8FromAnsi(connect), Utf8FromAnsi(sourceTable), &real);
    size_t dot = ref.find("\".\"");
    std::string schema = dot == std::string::npos ? std::string("main") : ref.substr(1, dot - 1);
    if (Columns(schema, real).empty())
        ThrowDbError(dbErrObjectNotFound, sourceTable);
}

void CdbDatabase::CreateLinkFrom(const std::string& name, const std::string& connect,
                                 const std::string& sourceTable, bool check) {
    CheckOpen();
    CheckName(name);
    if (m_conn->readOnly)
        ThrowDbError(dbErrReadOnly);
    std::string u = Utf8FromAnsi(name);
    if (check)
        CheckLinkSource(connect, sourceTable);
    int rc = sqlite3_exec(m_conn->Handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        m_conn->Fail(rc, dbErrLocked);
    try {
        EnsureCatalogue();
        CheckFree(u, std::string());
        RunBound(m_conn.get(),
                 "INSERT INTO MavroSysLinks(Name, Connect, SourceTable) VALUES (?1, ?2, ?3)",
                 {u, Utf8FromAnsi(connect), Utf8FromAnsi(sourceTable)});
        std::string now = std::to_string(DbNow());
        RunBound(m_conn.get(),
                 "INSERT OR REPLACE INTO MavroSysObjects(Name, Kind, DateCreated, LastUpdated) "
                 "VALUES (?1, 6, ?2, ?2)",
                 {u, now});
        Demand("Tables", "", dbSecCreate, dbErrNoDesignPermission);
        CopyInheritedRights(u);
        m_conn->Exec("COMMIT");
    } catch (const CdbException&) {
        sqlite3_exec(m_conn->Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    m_conn->BumpGeneration();
}

void CdbDatabase::CreateLink(const std::string& name, CdbSourceKind kind, const std::string& path,
                             const std::string& password, const std::string& sourceTable) {
    std::string connect = ConnectText(kind, path, password);
    if (kind == dbSourceOdbc)
        ThrowDbError(dbErrNoOdbc, connect);
    if (kind >= dbSourceExcel4 && kind <= dbSourceExcel8)
        ThrowDbError(dbErrNoIsam, connect);
    CreateLinkFrom(name, connect, sourceTable);
}

void CdbDatabase::GetLink(const std::string& name, std::string* connect, std::string* sourceTable) {
    CheckOpen();
    std::string stored;
    if (!LinkExists(Utf8FromAnsi(name), &stored))
        ThrowDbError(dbErrItemNotFound, name);
    sqlite3_stmt* s =
        m_conn->Prepare("SELECT Connect, SourceTable FROM MavroSysLinks WHERE Name = ?1");
    CdbStatementScope scope(s);
    sqlite3_bind_text(s, 1, stored.c_str(), (int)stored.size(), SQLITE_TRANSIENT);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW)
        m_conn->Fail(rc);
    *connect = AnsiFromUtf8(DbValueFromColumn(s, 0).s);
    *sourceTable = AnsiFromUtf8(DbValueFromColumn(s, 1).s);
}

void CdbDatabase::SetLinkConnect(const std::string& name, const std::string& connect) {
    CheckOpen();
    if (m_conn->readOnly)
        ThrowDbError(dbErrReadOnly);
    std::string stored, old, source;
    GetLink(name, &old, &source);
    LinkExists(Utf8FromAnsi(name), &stored);
    CheckLinkSource(connect, source);
    RunBound(m_conn.get(), "UPDATE MavroSysLinks SET Connect = ?2 WHERE Name = ?1",
             {stored, Utf8FromAnsi(connect)});
    m_conn->BumpGeneration();
}

// The SQL reference of an import's source table; *cleanup is the schema to
// detach afterwards.
std::string CdbDatabase::ImportSource(CdbSourceKind kind, const std::string& path,
                                      const std::string& password, const std::string& sourceTable,
                                      std::string* cleanup) {
    std::string connect = ConnectText(kind, path, password);
    if (kind == dbSourceOdbc)
        ThrowDbError(dbErrNoOdbc, connect);
    if (!IsDbf(kind) && kind != dbSourceMvb)
        ThrowDbError(dbErrNoIsam, connect);
    if (IsDbf(kind)) {
        std::string name = sourceTable;
        size_t hash = name.rfind('#');
        if (hash != std::string::npos)
            name[hash] = '.';
        else if (name.find('.') == std::string::npos)
            name += ".dbf";
        std::string file = path;
        if (!file.empty() && file.back() != '\\' && file.back() != '/')
            file += '\\';
        return "\"temp\"." + DbQuote(DbfReference(file + name));
    }
    std::string u = Utf8FromAnsi(path);
    sqlite3* db = m_conn->Handle();
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        ThrowDbError(dbErrCannotFindFile, path);
    if (!DbFileIdentity(path).empty() && DbFileIdentity(path) == m_conn->identity)
        ThrowDbError(dbErrCouldNotUse, path);
    RunBound(m_conn.get(), "ATTACH DATABASE ?1 AS mavro_import", {u});
    *cleanup = "mavro_import";
    CheckPasswordOf("mavro_import", password);
    CheckAttachedAccess("mavro_import", std::string(), true);
    sqlite3_stmt* s = nullptr;
    const char* sql =
        "SELECT name FROM mavro_import.sqlite_master WHERE type = 'table' AND name = ?1 "
        "COLLATE NOCASE";
    std::string su = Utf8FromAnsi(sourceTable), found;
    int rc = sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(s, 1, su.c_str(), (int)su.size(), SQLITE_TRANSIENT);
        rc = sqlite3_step(s);
        if (rc == SQLITE_ROW)
            found = (const char*)sqlite3_column_text(s, 0);
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        m_conn->Fail(rc, dbErrBadFormat);
    if (found.empty() || _strnicmp(found.c_str(), "MavroSys", 8) == 0)
        ThrowDbError(dbErrObjectNotFound, sourceTable);
    return "\"mavro_import\"." + DbQuote(found);
}

void CdbDatabase::ImportTable(const std::string& newName, CdbSourceKind kind,
                              const std::string& path, const std::string& password,
                              const std::string& sourceTable) {
    CheckOpen();
    CheckName(newName);
    if (m_conn->readOnly)
        ThrowDbError(dbErrReadOnly);
    std::string cleanup;
    auto detach = [&]() {
        if (!cleanup.empty())
            sqlite3_exec(m_conn->Handle(), "DETACH DATABASE mavro_import", nullptr, nullptr,
                         nullptr);
        cleanup.clear();
    };
    try {
        std::string source = ImportSource(kind, path, password, sourceTable, &cleanup);
        size_t dot = source.find("\".\"");
        std::string schema = source.substr(1, dot - 1);
        std::string table = source.substr(dot + 3, source.size() - dot - 4);
        for (size_t p = table.find("\"\""); p != std::string::npos; p = table.find("\"\"", p + 1))
            table.erase(p, 1);
        std::vector<Column> columns = Columns(schema, table);
        std::string u = Utf8FromAnsi(newName);
        std::string defs, list;
        for (const Column& c : columns) {
            if (IsJetRowKeyName(c.name))
                continue;
            long size = 0;
            int type = DaoTypeFromDeclared(c.declared.c_str(), &size);
            std::string word = type ? TypeWord(type, size) : c.declared;
            defs += (defs.empty() ? "" : ", ") + DbQuote(c.name) + " " + word;
            list += (list.empty() ? "" : ", ") + DbQuote(c.name);
        }
        if (defs.empty())
            ThrowDbError(dbErrBadFormat, sourceTable);
        int rc = sqlite3_exec(m_conn->Handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            m_conn->Fail(rc, dbErrLocked);
        try {
            EnsureCatalogue();
            CheckFree(u, std::string());
            m_conn->Exec("CREATE TABLE " + DbQuote(u) + " (" + defs + ")");
            m_conn->Exec("INSERT INTO " + DbQuote(u) + " (" + list + ") SELECT " + list + " FROM " +
                         source);
            std::string now = std::to_string(DbNow());
            RunBound(m_conn.get(),
                     "INSERT OR REPLACE INTO MavroSysObjects(Name, Kind, DateCreated, "
                     "LastUpdated) VALUES (?1, 1, ?2, ?2)",
                     {u, now});
            Demand("Tables", "", dbSecCreate, dbErrNoDesignPermission);
            CopyInheritedRights(u);
            m_conn->Exec("COMMIT");
        } catch (const CdbException&) {
            sqlite3_exec(m_conn->Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        m_conn->BumpGeneration();
    } catch (const CdbException&) {
        detach();
        throw;
    }
    detach();
}
