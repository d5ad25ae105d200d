// A read-only reader of dBASE III/IV/5 and FoxPro 2.x/3.0 tables (.dbf), in
// place of an ISAM driver: fields C, N, F, D, L, I, B, Y, T; memo fields
// (M, G, P, and B outside FoxPro 3.0) read Null; deleted records are
// skipped. A header whose counts or records run past the file is refused.
#pragma once

#include <stdint.h>
#include <string>
#include <vector>

#include "aDbValue.h"

struct sqlite3;

struct DbfField {
    std::string name;  // ANSI, as the header spells it
    char type = 'C';
    uint32_t offset = 0;  // within the record, after the deletion flag
    uint8_t length = 0;
    uint8_t decimals = 0;
};

class DbfTable {
public:
    // False for a file that is no readable table.
    bool Parse(std::vector<uint8_t> bytes);
    const std::vector<DbfField>& Fields() const { return m_fields; }
    // Records that are not deleted.
    size_t RecordCount() const { return m_records.size(); }
    DbValue Value(size_t record, size_t field) const;
    // DAO type and size of a field as it imports.
    int DaoType(size_t field, long* size) const;

private:
    bool Memo(const DbfField& f) const;
    std::vector<uint8_t> m_bytes;
    std::vector<DbfField> m_fields;
    std::vector<size_t> m_records;  // offsets of the live records
    uint8_t m_version = 0;
};

// Registers the virtual-table module "mavro_dbf" on a connection: a table
// made with the argument n reads the file files[n].
void RegisterDbfModule(sqlite3* db, const std::vector<std::string>* files);
