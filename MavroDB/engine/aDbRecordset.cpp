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

CdbRecordset::~CdbRecordset() {}

void CdbRecordset::CheckOpen() const {
    if (!m_open)
        ThrowDbError(dbErrObjectClosed);
}

void CdbRecordset::CheckCurrent() const {
    CheckOpen();
    if (m_pos < 0 || m_pos >= (long)m_rowids.size())
        ThrowDbError(dbErrNoCurrentRecord);
}

void CdbRecordset::LoadSnapshot() {
    m_rowids.clear();
    m_rows.clear();
    sqlite3_stmt* stmt = m_conn->Prepare(m_selectSql);
    CdbStatementScope scope(stmt);
    for (size_t i = 0; i < m_params.size(); ++i) BindDbValue(stmt, (int)i + 1, m_params[i]);
    bool materialise = m_table.empty();
    int columns = (int)m_fields.size();
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (materialise) {
            std::vector<DbValue> row;
            row.reserve(columns);
            for (int i = 0; i < columns; ++i)
                row.push_back(DbValueFromColumn(stmt, m_columns[(size_t)i]));
            m_rows.push_back(std::move(row));
            m_rowids.push_back((int64_t)m_rowids.size());
        } else {
            m_rowids.push_back(sqlite3_column_int64(stmt, 0));
        }
    }
    if (rc != SQLITE_DONE)
        m_conn->Fail(rc);
    m_pos = m_rowids.empty() ? -1 : 0;
    m_editMode = EditNone;
    m_cacheGeneration = -1;
}

bool CdbRecordset::ReadRow(int64_t key, std::vector<DbValue>* row) {
    if (m_table.empty()) {
        if (key < 0 || key >= (int64_t)m_rows.size())
            return false;
        *row = m_rows[(size_t)key];
        return true;
    }
    sqlite3_stmt* stmt = m_conn->Prepare(m_rowSql);
    CdbStatementScope scope(stmt);
    int n = (int)m_params.size();
    for (int i = 0; i < n; ++i) BindDbValue(stmt, i + 1, m_params[i]);
    sqlite3_bind_int64(stmt, n + 1, key);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE)
        return false;
    if (rc != SQLITE_ROW)
        m_conn->Fail(rc);
    // The row key comes first.
    row->resize(m_fields.size());
    for (size_t i = 0; i < m_fields.size(); ++i)
        (*row)[i] = DbValueFromColumn(stmt, 1 + m_columns[i]);
    return true;
}

bool CdbRecordset::GetBOF() const {
    CheckOpen();
    return m_rowids.empty() || m_pos < 0;
}

bool CdbRecordset::GetEOF() const {
    CheckOpen();
    return m_rowids.empty() || m_pos >= (long)m_rowids.size();
}

void CdbRecordset::MoveFirst() {
    CheckOpen();
    if (m_rowids.empty())
        ThrowDbError(dbErrNoCurrentRecord);
    m_pos = 0;
    m_editMode = EditNone;
}

void CdbRecordset::MoveLast() {
    CheckOpen();
    if (m_rowids.empty())
        ThrowDbError(dbErrNoCurrentRecord);
    m_pos = (long)m_rowids.size() - 1;
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
    if (m_pos < 0 || m_pos >= (long)m_rowids.size())
        return -1;
    return m_pos;
}

void CdbRecordset::SetAbsolutePosition(long position) {
    CheckOpen();
    if (position < 0 || position >= (long)m_rowids.size())
        ThrowDbError(dbErrInvalidArgument);
    m_pos = position;
    m_editMode = EditNone;
}

int64_t CdbRecordset::GetBookmark() const {
    CheckCurrent();
    return m_rowids[(size_t)m_pos];
}

void CdbRecordset::SetBookmark(int64_t bookmark) {
    CheckOpen();
    auto it = std::find(m_rowids.begin(), m_rowids.end(), bookmark);
    if (it == m_rowids.end())
        ThrowDbError(dbErrInvalidArgument);
    m_pos = (long)(it - m_rowids.begin());
    m_editMode = EditNone;
}

long CdbRecordset::GetRecordCount() const {
    CheckOpen();
    return (long)m_rowids.size();
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
    if (IsJetRowKeyName(name))
        ThrowDbError(dbErrBadName, name);
    std::string key = name;
    if (!key.empty())
        CharUpperBuffA(&key[0], (DWORD)key.size());
    auto it = m_fieldIndex.find(key);
    if (it == m_fieldIndex.end())
        ThrowDbError(dbErrItemNotFound, name);
    return it->second;
}

void CdbRecordset::GetValue(int index, VARIANT* value) {
    CheckCurrent();
    const CdbFieldInfo& f = Field(index);
    if (m_editMode != EditNone) {
        DbValueToVariant(m_edit[(size_t)index], f.type, value);
        return;
    }
    if (m_table.empty()) {
        DbValueToVariant(m_rows[(size_t)m_pos][(size_t)index], f.type, value);
        return;
    }
    const std::vector<DbValue>* row = CachedRow(m_pos);
    if (!row)
        ThrowDbError(dbErrRecordDeleted);
    DbValueToVariant((*row)[(size_t)index], f.type, value);
}

const std::vector<DbValue>* CdbRecordset::CachedRow(long position) {
    // Records are read from the file in windows; a write by any connection
    // of the layer to this file (its generation) makes them read again.
    // A walk that reads on past its window doubles the next one (up to 512
    // records); a jump elsewhere starts again at 16.
    int64_t generation = m_conn->Generation();
    if (generation != m_cacheGeneration || position < m_cacheStart ||
        position >= m_cacheStart + (long)m_cacheRows.size()) {
        bool onward = position == m_cacheStart + (long)m_cacheRows.size();
        m_windowSize = onward ? std::min<long>(m_windowSize * 2, 512) : 16;
        long window = m_windowSize;
        long count = std::min<long>(window, (long)m_rowids.size() - position);
        m_cacheRows.assign((size_t)count, std::vector<DbValue>());
        m_cachePresent.assign((size_t)count, false);
        m_cacheStart = position;
        m_cacheGeneration = generation;
        int n = (int)m_params.size();
        std::string& sql = m_windowFull[window];
        if (sql.empty()) {
            sql = m_windowSql;
            for (long i = 0; i < window; ++i) sql += (i ? ", ?" : "?") + std::to_string(n + 1 + i);
            sql += ")";
        }
        sqlite3_stmt* stmt = m_conn->Prepare(sql);
        CdbStatementScope scope(stmt);
        for (int i = 0; i < n; ++i) BindDbValue(stmt, i + 1, m_params[i]);
        // Rowids of the window in order; the unused places stay Null.
        std::vector<std::pair<int64_t, long>> order;
        for (long i = 0; i < count; ++i) {
            sqlite3_bind_int64(stmt, n + 1 + (int)i, m_rowids[(size_t)(position + i)]);
            order.emplace_back(m_rowids[(size_t)(position + i)], i);
        }
        std::sort(order.begin(), order.end());
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            int64_t rowid = sqlite3_column_int64(stmt, 0);
            auto it = std::lower_bound(order.begin(), order.end(), std::make_pair(rowid, 0L));
            if (it == order.end() || it->first != rowid)
                continue;
            std::vector<DbValue>& row = m_cacheRows[(size_t)it->second];
            row.resize(m_fields.size());
            for (size_t i = 0; i < m_fields.size(); ++i)
                row[i] = DbValueFromColumn(stmt, 1 + m_columns[i]);
            m_cachePresent[(size_t)it->second] = true;
        }
        if (rc != SQLITE_DONE) {
            m_cacheGeneration = -1;
            m_conn->Fail(rc);
        }
    }
    size_t i = (size_t)(position - m_cacheStart);
    return m_cachePresent[i] ? &m_cacheRows[i] : nullptr;
}

void CdbRecordset::Edit() {
    CheckCurrent();
    if (!m_updatable)
        ThrowDbError(dbErrReadOnly);
    std::vector<DbValue> row;
    if (!ReadRow(m_rowids[(size_t)m_pos], &row))
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
    BeginWrite();
    int64_t added = 0;
    bool adding = m_editMode == EditAdd;
    try {
        std::string sql;
        std::vector<const DbValue*> values;
        if (m_editMode == EditEdit) {
            int64_t rowid = m_rowids[(size_t)m_pos];
            std::vector<DbValue> now;
            if (!ReadRow(rowid, &now))
                ThrowDbError(dbErrRecordDeleted);
            if (now != m_original)
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
    try {
        sqlite3_stmt* stmt =
            m_conn->Prepare("DELETE FROM " + m_tableRef + " WHERE " + m_key + " = ?1");
        CdbStatementScope scope(stmt);
        sqlite3_bind_int64(stmt, 1, rowid);
        int rc = sqlite3_step(stmt);
        if (rc != SQLITE_DONE)
            m_conn->Fail(rc);
        if (sqlite3_changes(m_conn->Handle()) == 0)
            ThrowDbError(dbErrRecordDeleted);
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
    m_rows.clear();
}
