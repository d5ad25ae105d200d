// Writes dBASE tables (.dbf) for tests: the header, the field descriptors
// and the records, each record a deletion flag and its fields side by side.
#pragma once

#include <string.h>

#include <string>
#include <vector>

#include "ByteWriter.h"

struct DbfFieldDef {
    const char* name;
    char type;
    uint8_t length;
    uint8_t decimals;
};

class DbfWriter : public CByteWriterBase<DbfWriter> {
public:
    // version 0x03 dBASE III, 0x30 FoxPro 3.0; count and header length
    // may be given wrong on purpose (0: the true ones).
    DbfWriter(uint8_t version, const std::vector<DbfFieldDef>& fields, size_t records,
              uint32_t count = 0, uint16_t headerLength = 0)
        : m_fields(fields) {
        uint16_t recordLength = 1;
        for (const DbfFieldDef& f : fields) recordLength = (uint16_t)(recordLength + f.length);
        uint16_t header = (uint16_t)(32 + 32 * fields.size() + 1);
        U8(version).U8(124).U8(1).U8(2);  // last update 2024-01-02
        U32(count ? count : (uint32_t)records);
        U16(headerLength ? headerLength : header);
        U16(recordLength);
        Zeros(20);
        uint32_t offset = 1;
        for (const DbfFieldDef& f : fields) {
            char name[11] = {};
            memcpy(name, f.name, strnlen(f.name, 10));
            Bytes(name, 11).U8((uint8_t)f.type).U32(offset).U8(f.length).U8(f.decimals).Zeros(14);
            offset += f.length;
        }
        U8(0x0D);
    }
    // One record: the flag ' ' or '*', then each value padded to its field
    // (text left-aligned, numbers right-aligned) or given as raw bytes.
    DbfWriter& Record(bool deleted, const std::vector<std::string>& values) {
        U8(deleted ? '*' : ' ');
        for (size_t i = 0; i < m_fields.size(); ++i) {
            std::string v = i < values.size() ? values[i] : std::string();
            const DbfFieldDef& f = m_fields[i];
            if (v.size() > f.length)
                v.resize(f.length);
            bool right = f.type == 'N' || f.type == 'F';
            std::string pad(f.length - v.size(), ' ');
            Bytes(right ? pad + v : v + pad);
        }
        return *this;
    }
    DbfWriter& End() { return U8(0x1A); }

private:
    std::vector<DbfFieldDef> m_fields;
};
