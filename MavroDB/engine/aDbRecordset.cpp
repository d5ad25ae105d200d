#include <string.h>

#include <algorithm>

#include "aDbEngine.h"
#include "aJetSql.h"
#include "sqlite3.h"

namespace {

std::string Quote(const std::string& name) {
    std::string q = "\"";
    for (char c : name) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + "\"";
}

}  // namespace

namespace {

enum { CacheUnread, CachePresent, CacheGone };

// Memory a record takes, its texts' heap blocks included.
size_t RowBytes(const std::vector<DbValue>& row) {
    size_t n = sizeof(row);
    for (const DbValue& v : row) n += sizeof(DbValue) + (v.s.capacity() > 15 ? v.s.capacity() : 0);
    return n;
}

}  // namespace

CdbRecordset::~CdbRecordset() {
    DropSpill();
}

void CdbRecordset::CheckOpen() const {
    if (!m_open)
        ThrowDbError(dbErrObjectClosed);
}

void CdbRecordset::CheckCurrent() const {
    CheckOpen();
    if (m_pos < 0 || m_pos >= Count())
        ThrowDbError(dbErrNoCurrentRecord);
}

void CdbRecordset::Index() {
    for (size_t i = 0; i < m_fields.size(); ++i) {
        std::string key = m_fields[i].name;
        CharUpperBuffA(&key[0], (DWORD)key.size());
        m_fieldIndex.emplace(key, (int)i);
        m_long.push_back(m_fields[i].type == dbLongBinary || m_fields[i].type == dbMemo);
    }
}

size_t CdbRecordset::HeldBytes() const {
    size_t n = m_cacheBytes + m_rowsBytes;
    if (m_editMode != EditNone)
        n += RowBytes(m_original) + RowBytes(m_edit);
    return n;
}

long CdbRecordset::Count() const {
    switch (m_source) {
        case SourceMemory:
            return (long)m_rows.size();
        case SourceSpill:
            return m_spillCount;
        default:
            return (long)m_rowids.size();
    }
}

int64_t CdbRecordset::KeyAt(long position) const {
    switch (m_source) {
        case SourceMemory:
            return position;
        case SourceSpill:
            return (int64_t)position + 1;
        default:
            return m_rowids[(size_t)position];
    }
}

void CdbRecordset::ClearCache() {
    // Swapped out, so the memory goes back now.
    std::vector<CachedRecord>().swap(m_cacheRows);
    m_cacheState.clear();
    m_cacheBytes = 0;
    m_cacheStart = 0;
    m_cacheGeneration = -1;
}

void CdbRecordset::DropSpill() {
    if (m_spillTable.empty() || !m_conn)
        return;
    sqlite3_exec(m_conn->Handle(), ("DROP TABLE IF EXISTS temp." + m_spillTable).c_str(), nullptr,
                 nullptr, nullptr);
}

void CdbRecordset::BeginSpill(int fields) {
    if (m_spillTable.empty())
        m_spillTable = Quote("!Result" + std::to_string(++m_conn->nextSpill));
    DropSpill();
    std::string columns, marks = "?1";
    m_fieldExprs.clear();
    for (int i = 0; i < fields; ++i) {
        std::string c = "c" + std::to_string(i);
        columns += (i ? ", " : "") + c;
        marks += ", ?" + std::to_string(i + 2);
        m_fieldExprs.push_back(c);
    }
    m_conn->Exec("CREATE TEMP TABLE " + m_spillTable + "(" + columns + ")");
    m_with.clear();
    m_windowFull.clear();
    m_rowParams = 0;
    m_from = "temp." + m_spillTable;
    m_keyExpr = "rowid";
    m_source = SourceSpill;
    m_spillCount = 0;
}

void CdbRecordset::LoadSnapshot() {
    m_rowids.clear();
    std::vector<std::vector<DbValue>>().swap(m_rows);
    m_rowsBytes = 0;
    ClearCache();
    bool keys = !m_table.empty();
    if (keys) {
        m_source = SourceKeys;
    } else {
        DropSpill();
        m_source = SourceMemory;
        m_spillCount = 0;
    }
    CdbReadTransaction transaction(m_conn->Handle());
    sqlite3_stmt* stmt = m_conn->Prepare(m_selectSql);
    CdbStatementScope scope(stmt);
    for (size_t i = 0; i < m_params.size(); ++i) BindDbValue(stmt, (int)i + 1, m_params[i]);
    int columns = (int)m_fields.size();
    sqlite3_stmt* insert = nullptr;
    bool saved = false;
    auto spill = [&](const std::vector<DbValue>& row) {
        sqlite3_reset(insert);
        sqlite3_bind_int64(insert, 1, (int64_t)m_spillCount + 1);
        for (int i = 0; i < columns; ++i) BindDbValue(insert, i + 2, row[(size_t)i]);
        int rc = sqlite3_step(insert);
        if (rc != SQLITE_DONE)
            m_conn->Fail(rc);
        ++m_spillCount;
    };
    int rc;
    try {
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            if (keys) {
                m_rowids.push_back(sqlite3_column_int64(stmt, 0));
                continue;
            }
            std::vector<DbValue> row;
            row.reserve(columns);
            for (int i = 0; i < columns; ++i)
                row.push_back(DbValueFromColumn(stmt, m_columns[(size_t)i]));
            if (m_source == SourceMemory && m_rowsBytes + RowBytes(row) > kMemoryBudget) {
                // Past the budget the result goes on into a temporary table.
                m_conn->Exec("SAVEPOINT spill");
                saved = true;
                BeginSpill(columns);
                std::string sql = "INSERT INTO " + m_from + "(rowid";
                for (const std::string& c : m_fieldExprs) sql += ", " + c;
                sql += ") VALUES(?1";
                for (int i = 0; i < columns; ++i) sql += ", ?" + std::to_string(i + 2);
                insert = m_conn->Prepare(sql + ")");
                for (const std::vector<DbValue>& held : m_rows) spill(held);
                std::vector<std::vector<DbValue>>().swap(m_rows);
                m_rowsBytes = 0;
            }
            if (m_source == SourceSpill) {
                spill(row);
            } else {
                m_rowsBytes += RowBytes(row);
                m_rows.push_back(std::move(row));
            }
        }
        if (rc != SQLITE_DONE)
            m_conn->Fail(rc);
        if (insert)
            sqlite3_reset(insert);
        if (saved) {
            saved = false;
            m_conn->Exec("RELEASE spill");
        }
    } catch (...) {
        if (insert)
            sqlite3_reset(insert);
        if (saved)
            sqlite3_exec(m_conn->Handle(), "ROLLBACK TO spill; RELEASE spill", nullptr, nullptr,
                         nullptr);
        throw;
    }
    m_pos = Count() == 0 ? -1 : 0;
    m_editMode = EditNone;
    if (keys && !m_rowids.empty()) {
        // The first records come in the same read as the keys.
        sqlite3_reset(stmt);
        int64_t generation = m_conn->Generation();
        FillCache(0, false);
        m_cacheGeneration = generation;
    }
}

std::string CdbRecordset::WindowSql(long keys) {
    std::string& sql = m_windowFull[keys];
    if (!sql.empty())
        return sql;
    // A long value is read only when it is small: SQLite takes the length of
    // a blob without reading it. A mark behind the fields tells the rest.
    std::string fields, marks;
    for (size_t i = 0; i < m_fieldExprs.size(); ++i) {
        const std::string& e = m_fieldExprs[i];
        std::string big = "length(" + e + ") > " + std::to_string(kLongValueInline);
        fields += ", " + (m_long[i] ? "CASE WHEN " + big + " THEN NULL ELSE " + e + " END" : e);
        if (m_long[i])
            marks += ", " + big;
    }
    int n = m_rowParams;
    sql = m_with + "SELECT " + m_keyExpr + fields + marks + " FROM " + m_from + " WHERE " +
          m_keyExpr + " IN (";
    for (long i = 0; i < keys; ++i) sql += (i ? ", ?" : "?") + std::to_string(n + 1 + i);
    sql += ")";
    return sql;
}

std::string CdbRecordset::RowSql() {
    // A large long value stands as its digest, which tells a change as well.
    std::string fields, marks;
    for (size_t i = 0; i < m_fieldExprs.size(); ++i) {
        const std::string& e = m_fieldExprs[i];
        std::string big = "length(" + e + ") > " + std::to_string(kLongValueInline);
        fields += ", " + (m_long[i] ? "CASE WHEN " + big + " THEN mavro_digest(" + e + ") ELSE " +
                                          e + " END"
                                    : e);
        if (m_long[i])
            marks += ", " + big;
    }
    return m_with + "SELECT " + m_keyExpr + fields + marks + " FROM " + m_from + " WHERE " +
           m_keyExpr + " = ?" + std::to_string(m_rowParams + 1);
}

std::string CdbRecordset::LongValueSql(int field) {
    return m_with + "SELECT " + m_fieldExprs[(size_t)field] + " FROM " + m_from + " WHERE " +
           m_keyExpr + " = ?" + std::to_string(m_rowParams + 1);
}

bool CdbRecordset::ReadRow(int64_t key, std::vector<DbValue>* row, std::vector<bool>* unread) {
    unread->assign(m_fields.size(), false);
    if (m_source == SourceMemory) {
        if (key < 0 || key >= (int64_t)m_rows.size())
            return false;
        *row = m_rows[(size_t)key];
        return true;
    }
    sqlite3_stmt* stmt = m_conn->Prepare(RowSql());
    CdbStatementScope scope(stmt);
    int n = m_rowParams;
    for (int i = 0; i < n; ++i) BindDbValue(stmt, i + 1, m_params[i]);
    sqlite3_bind_int64(stmt, n + 1, key);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE)
        return false;
    if (rc != SQLITE_ROW)
        m_conn->Fail(rc);
    // The row key comes first, the marks of large long values last.
    row->resize(m_fields.size());
    int mark = 1 + (int)m_fields.size();
    for (size_t i = 0; i < m_fields.size(); ++i) {
        (*row)[i] = DbValueFromColumn(stmt, 1 + (int)i);
        if (m_long[i])
            (*unread)[i] = sqlite3_column_int(stmt, mark++) != 0;
    }
    return true;
}

bool CdbRecordset::ReadLongValue(int64_t key, int field, VARIANT* value) {
    sqlite3_stmt* stmt = m_conn->Prepare(LongValueSql(field));
    CdbStatementScope scope(stmt);
    int n = m_rowParams;
    for (int i = 0; i < n; ++i) BindDbValue(stmt, i + 1, m_params[i]);
    sqlite3_bind_int64(stmt, n + 1, key);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE)
        return false;
    if (rc != SQLITE_ROW)
        m_conn->Fail(rc);
    DbValue v = DbValueFromColumn(stmt, 0);
    // SQLite's copy goes before the VARIANT's is made.
    sqlite3_reset(stmt);
    DbValueToVariant(v, m_fields[(size_t)field].type, value);
    return true;
}

bool CdbRecordset::GetBOF() const {
    CheckOpen();
    return Count() == 0 || m_pos < 0;
}

bool CdbRecordset::GetEOF() const {
    CheckOpen();
    return Count() == 0 || m_pos >= Count();
}

void CdbRecordset::MoveFirst() {
    CheckOpen();
    if (Count() == 0)
        ThrowDbError(dbErrNoCurrentRecord);
    m_pos = 0;
    m_editMode = EditNone;
}

void CdbRecordset::MoveLast() {
    CheckOpen();
    if (Count() == 0)
        ThrowDbError(dbErrNoCurrentRecord);
    m_pos = Count() - 1;
    m_editMode = EditNone;
}

void CdbRecordset::MoveNext() {
    CheckOpen();
    if (GetEOF())
        ThrowDbError(dbErrNoCurrentRecord);
    ++m_pos;
    m_editMode = EditNone;
}

void CdbRecordset::MovePrevious() {
    CheckOpen();
    if (GetBOF())
        ThrowDbError(dbErrNoCurrentRecord);
    --m_pos;
    m_editMode = EditNone;
}

long CdbRecordset::GetAbsolutePosition() const {
    CheckOpen();
    if (m_pos < 0 || m_pos >= Count())
        return -1;
    return m_pos;
}

void CdbRecordset::SetAbsolutePosition(long position) {
    CheckOpen();
    if (position < 0 || position >= Count())
        ThrowDbError(dbErrInvalidArgument);
    m_pos = position;
    m_editMode = EditNone;
}

int64_t CdbRecordset::GetBookmark() const {
    CheckCurrent();
    // A read-only result's bookmark is the place of the record.
    return m_source == SourceKeys ? m_rowids[(size_t)m_pos] : m_pos;
}

void CdbRecordset::SetBookmark(int64_t bookmark) {
    CheckOpen();
    if (m_source != SourceKeys) {
        if (bookmark < 0 || bookmark >= Count())
            ThrowDbError(dbErrInvalidArgument);
        m_pos = (long)bookmark;
    } else {
        auto it = std::find(m_rowids.begin(), m_rowids.end(), bookmark);
        if (it == m_rowids.end())
            ThrowDbError(dbErrInvalidArgument);
        m_pos = (long)(it - m_rowids.begin());
    }
    m_editMode = EditNone;
}

long CdbRecordset::GetRecordCount() const {
    CheckOpen();
    return Count();
}

bool CdbRecordset::GetUpdatable() const {
    CheckOpen();
    return m_updatable;
}

int CdbRecordset::FieldCount() const {
    CheckOpen();
    return (int)m_fields.size();
}

const CdbFieldInfo& CdbRecordset::Field(int index) const {
    CheckOpen();
    if (index < 0 || index >= (int)m_fields.size())
        ThrowDbError(dbErrItemNotFound);
    return m_fields[(size_t)index];
}

int CdbRecordset::FieldIndex(const std::string& name) const {
    CheckOpen();
    // A walk asks for the same field again and again.
    if (m_lastField >= 0 && name == m_lastFieldName)
        return m_lastField;
    if (IsJetRowKeyName(name))
        ThrowDbError(dbErrBadName, name);
    std::string key = name;
    if (!key.empty())
        CharUpperBuffA(&key[0], (DWORD)key.size());
    auto it = m_fieldIndex.find(key);
    if (it == m_fieldIndex.end())
        ThrowDbError(dbErrItemNotFound, name);
    m_lastFieldName = name;
    m_lastField = it->second;
    return it->second;
}

void CdbRecordset::GetValue(int index, VARIANT* value) {
    CheckCurrent();
    const CdbFieldInfo& f = Field(index);
    if (m_editMode != EditNone) {
        // A large long value the edit left alone is still the file's.
        if (!m_changed[(size_t)index] && m_editUnread[(size_t)index]) {
            if (!ReadLongValue(m_rowids[(size_t)m_pos], index, value))
                ThrowDbError(dbErrRecordDeleted);
            return;
        }
        DbValueToVariant(m_edit[(size_t)index], f.type, value);
        return;
    }
    if (m_source == SourceMemory) {
        DbValueToVariant(m_rows[(size_t)m_pos][(size_t)index], f.type, value);
        return;
    }
    const CachedRecord* row = CachedRow(m_pos);
    if (!row)
        ThrowDbError(dbErrRecordDeleted);
    if (!row->unread.empty() && row->unread[(size_t)index]) {
        if (!ReadLongValue(KeyAt(m_pos), index, value))
            ThrowDbError(dbErrRecordDeleted);
        return;
    }
    DbValueToVariant(row->values[(size_t)index], f.type, value);
}

const CdbRecordset::CachedRecord* CdbRecordset::CachedRow(long position) {
    // Records are read from the file in windows; a write by any connection
    // of the layer to this file (its generation) makes them read again.
    // A walk that reads on past its window doubles the next one (up to 512
    // records); a jump elsewhere starts again at 16. A result in a
    // temporary table is the connection's own and never changes.
    int64_t generation = m_source == SourceSpill ? 0 : m_conn->Generation();
    long end = m_cacheStart + (long)m_cacheState.size();
    bool fresh = generation == m_cacheGeneration;
    if (!fresh || position < m_cacheStart || position >= end ||
        m_cacheState[(size_t)(position - m_cacheStart)] == CacheUnread) {
        // Reading on past the window, or into the part the budget left out.
        bool onward = fresh && position > m_cacheStart && position <= end;
        FillCache(position, onward);
        m_cacheGeneration = generation;
    }
    size_t i = (size_t)(position - m_cacheStart);
    return m_cacheState[i] == CachePresent ? &m_cacheRows[i] : nullptr;
}

void CdbRecordset::FillCache(long position, bool onward) {
    ClearCache();
    // Large records make small windows: a jump reads an eighth of the
    // budget, a walk on at most the budget.
    long fit = (long)std::max<size_t>(1, kMemoryBudget / std::max<size_t>(m_recordBytes, 1));
    m_windowSize = onward ? std::min<long>(std::min<long>(m_windowSize * 2, 512), fit)
                          : std::min<long>(16, std::max<long>(1, fit / 8));
    long window = m_windowSize;
    long count = std::min<long>(window, Count() - position);
    m_cacheRows.resize((size_t)count);
    m_cacheState.assign((size_t)count, CacheUnread);
    m_cacheStart = position;
    int n = m_rowParams;
    sqlite3_stmt* stmt = m_conn->Prepare(WindowSql(window));
    CdbStatementScope scope(stmt);
    for (int i = 0; i < n; ++i) BindDbValue(stmt, i + 1, m_params[i]);
    // Keys of the window in order; the unused places stay Null.
    std::vector<std::pair<int64_t, long>> order;
    for (long i = 0; i < count; ++i) {
        int64_t key = KeyAt(position + i);
        sqlite3_bind_int64(stmt, n + 1 + (int)i, key);
        order.emplace_back(key, i);
    }
    std::sort(order.begin(), order.end());
    std::vector<bool> seen((size_t)count, false);
    size_t fields = m_fields.size();
    int longs = (int)std::count(m_long.begin(), m_long.end(), true);
    int rc;
    long stored = 0;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        int64_t key = sqlite3_column_int64(stmt, 0);
        auto it = std::lower_bound(order.begin(), order.end(), std::make_pair(key, 0L));
        if (it == order.end() || it->first != key)
            continue;
        size_t slot = (size_t)it->second;
        seen[slot] = true;
        // Within the budget, except the record asked for, which is always held.
        if (m_cacheBytes >= kMemoryBudget && slot != 0) {
            if (m_cacheState[0] == CachePresent)
                break;
            continue;
        }
        CachedRecord& row = m_cacheRows[slot];
        row.values.resize(fields);
        for (size_t i = 0; i < fields; ++i) row.values[i] = DbValueFromColumn(stmt, 1 + (int)i);
        if (longs) {
            row.unread.assign(fields, false);
            int mark = 1 + (int)fields;
            for (size_t i = 0; i < fields; ++i)
                if (m_long[i])
                    row.unread[i] = sqlite3_column_int(stmt, mark++) != 0;
        }
        m_cacheBytes += RowBytes(row.values);
        m_cacheState[slot] = CachePresent;
        ++stored;
    }
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        ClearCache();
        m_conn->Fail(rc);
    }
    m_recordBytes = m_cacheBytes / (size_t)std::max<long>(stored, 1);
    // Records of the window the file no longer has are gone; those the
    // budget left unread stay to be read.
    if (rc == SQLITE_DONE)
        for (size_t i = 0; i < seen.size(); ++i)
            if (!seen[i])
                m_cacheState[i] = CacheGone;
}

void CdbRecordset::Edit() {
    CheckCurrent();
    if (!m_updatable)
        ThrowDbError(dbErrReadOnly);
    std::vector<DbValue> row;
    if (!ReadRow(m_rowids[(size_t)m_pos], &row, &m_editUnread))
        ThrowDbError(dbErrRecordDeleted);
    m_original = row;
    m_edit = row;
    m_changed.assign(m_fields.size(), false);
    m_editMode = EditEdit;
}

void CdbRecordset::AddNew() {
    CheckOpen();
    if (!m_updatable)
        ThrowDbError(dbErrReadOnly);
    m_original.assign(m_fields.size(), DbValue());
    m_edit = m_original;
    m_editUnread.assign(m_fields.size(), false);
    m_changed.assign(m_fields.size(), false);
    m_editMode = EditAdd;
}

void CdbRecordset::SetValue(const std::string& name, const VARIANT& value) {
    CheckOpen();
    if (m_editMode == EditNone)
        ThrowDbError(3020);
    int i = FieldIndex(name);
    const CdbFieldInfo& f = m_fields[(size_t)i];
    if (m_baseColumns[(size_t)i].empty())
        ThrowDbError(dbErrReadOnly, name);
    DbValue v;
    long error = 0;
    if (!VariantToDbValue(value, f.type, f.size, &v, &error))
        ThrowDbError(error, name);
    m_edit[(size_t)i] = v;
    m_changed[(size_t)i] = true;
}

namespace {

// Watches the tables a save writes, cascades of relations included, so that
// each is checked before the save commits.
class WatchWrites {
public:
    explicit WatchWrites(CdbConnection* conn) : m_conn(conn) {
        conn->written.clear();
        conn->watchWrites = true;
    }
    ~WatchWrites() { m_conn->watchWrites = false; }
    WatchWrites(const WatchWrites&) = delete;
    WatchWrites& operator=(const WatchWrites&) = delete;
    void Demand(const std::string& baseTable) {
        m_conn->watchWrites = false;
        DbDemandWritten(m_conn, baseTable);
    }

private:
    CdbConnection* m_conn;
};

}  // namespace

void CdbRecordset::DemandOwn(long bits, long error) {
    // Through a stored query: the query's right and its table's.
    if (!m_query.empty())
        DbDemand(m_conn.get(), "Tables", m_query, bits, error);
    DbDemand(m_conn.get(), "Tables", m_table, bits, error);
}

void CdbRecordset::BeginWrite() {
    // IMMEDIATE takes the write lock now; a lock held elsewhere past the
    // short wait is "locked".
    int rc = sqlite3_exec(m_conn->Handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        m_conn->Fail(rc, dbErrLocked);
}

void CdbRecordset::Commit() {
    int rc = sqlite3_exec(m_conn->Handle(), "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        Rollback();
        m_conn->Fail(rc, dbErrLocked);
    }
    m_conn->BumpGeneration();
}

void CdbRecordset::Rollback() {
    if (!sqlite3_get_autocommit(m_conn->Handle()))
        sqlite3_exec(m_conn->Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void CdbRecordset::Update() {
    CheckOpen();
    if (m_editMode == EditNone)
        ThrowDbError(3020);
    // Rights are read inside the write, so none can change between.
    BeginWrite();
    WatchWrites watch(m_conn.get());
    int64_t added = 0;
    bool adding = m_editMode == EditAdd;
    try {
        if (adding)
            DemandOwn(dbSecInsertData, dbErrNoInsertPermission);
        else
            DemandOwn(dbSecReplaceData, dbErrNoReplacePermission);
        std::string sql;
        std::vector<const DbValue*> values;
        if (m_editMode == EditEdit) {
            int64_t rowid = m_rowids[(size_t)m_pos];
            std::vector<DbValue> now;
            std::vector<bool> unread;
            if (!ReadRow(rowid, &now, &unread))
                ThrowDbError(dbErrRecordDeleted);
            if (now != m_original || unread != m_editUnread)
                ThrowDbError(dbErrWriteConflict);
            for (size_t i = 0; i < m_fields.size(); ++i) {
                if (!m_changed[i])
                    continue;
                sql += (sql.empty() ? "" : ", ") + Quote(m_baseColumns[i]) + " = ?" +
                       std::to_string(values.size() + 1);
                values.push_back(&m_edit[i]);
            }
            if (!values.empty()) {
                sql = "UPDATE " + m_tableRef + " SET " + sql + " WHERE " + m_key + " = ?" +
                      std::to_string(values.size() + 1);
                sqlite3_stmt* stmt = m_conn->Prepare(sql);
                CdbStatementScope scope(stmt);
                for (size_t i = 0; i < values.size(); ++i)
                    BindDbValue(stmt, (int)i + 1, *values[i]);
                sqlite3_bind_int64(stmt, (int)values.size() + 1, rowid);
                int rc = sqlite3_step(stmt);
                if (rc != SQLITE_DONE)
                    m_conn->Fail(rc);
            }
        } else {
            std::string names, marks;
            for (size_t i = 0; i < m_fields.size(); ++i) {
                if (!m_changed[i])
                    continue;
                names += (names.empty() ? "" : ", ") + Quote(m_baseColumns[i]);
                marks += (marks.empty() ? "?" : ", ?") + std::to_string(values.size() + 1);
                values.push_back(&m_edit[i]);
            }
            sql = "INSERT INTO " + m_tableRef +
                  (values.empty() ? std::string(" DEFAULT VALUES")
                                  : " (" + names + ") VALUES (" + marks + ")");
            sqlite3_stmt* stmt = m_conn->Prepare(sql);
            CdbStatementScope scope(stmt);
            for (size_t i = 0; i < values.size(); ++i) BindDbValue(stmt, (int)i + 1, *values[i]);
            int rc = sqlite3_step(stmt);
            if (rc != SQLITE_DONE)
                m_conn->Fail(rc);
            if (m_keyIsRowid) {
                added = sqlite3_last_insert_rowid(m_conn->Handle());
            } else {
                // The trigger gave the new record the next key.
                sqlite3_stmt* last =
                    m_conn->Prepare("SELECT max(" + m_key + ") FROM " + m_tableRef);
                CdbStatementScope lastScope(last);
                if (sqlite3_step(last) != SQLITE_ROW)
                    m_conn->Fail(sqlite3_errcode(m_conn->Handle()));
                added = sqlite3_column_int64(last, 0);
            }
        }
        watch.Demand(m_table);
        Commit();
    } catch (...) {
        Rollback();
        throw;
    }
    if (adding) {
        // The new record joins the snapshot at its end, as a dynaset's does.
        m_rowids.push_back(added);
        if (m_pos < 0)
            m_pos = 0;
    }
    m_editMode = EditNone;
}

void CdbRecordset::CancelUpdate() {
    CheckOpen();
    m_editMode = EditNone;
}

void CdbRecordset::Delete() {
    CheckCurrent();
    if (!m_updatable)
        ThrowDbError(dbErrReadOnly);
    int64_t rowid = m_rowids[(size_t)m_pos];
    BeginWrite();
    WatchWrites watch(m_conn.get());
    try {
        DemandOwn(dbSecDeleteData, dbErrNoDeletePermission);
        sqlite3_stmt* stmt =
            m_conn->Prepare("DELETE FROM " + m_tableRef + " WHERE " + m_key + " = ?1");
        CdbStatementScope scope(stmt);
        sqlite3_bind_int64(stmt, 1, rowid);
        int rc = sqlite3_step(stmt);
        if (rc != SQLITE_DONE)
            m_conn->Fail(rc);
        if (sqlite3_changes(m_conn->Handle()) == 0)
            ThrowDbError(dbErrRecordDeleted);
        watch.Demand(m_table);
        Commit();
    } catch (...) {
        Rollback();
        throw;
    }
    m_rowids.erase(m_rowids.begin() + m_pos);
    m_editMode = EditNone;
}

void CdbRecordset::Requery() {
    CheckOpen();
    LoadSnapshot();
}

void CdbRecordset::Close() {
    CheckOpen();
    m_open = false;
    m_editMode = EditNone;
    m_rowids.clear();
    std::vector<std::vector<DbValue>>().swap(m_rows);
    m_rowsBytes = 0;
    m_spillCount = 0;
    ClearCache();
    DropSpill();
}
