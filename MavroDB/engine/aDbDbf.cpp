#include "aDbDbf.h"

#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "bByteReader.h"
#include "sqlite3.h"

namespace {

// Days from the Julian day number to the OLE date's day 0 (30 Dec 1899).
const double kJulianToOle = 2415019.0;

std::string Trimmed(const uint8_t* p, size_t n) {
    size_t b = 0, e = n;
    while (b < e && (p[b] == ' ' || p[b] == 0)) ++b;
    while (e > b && (p[e - 1] == ' ' || p[e - 1] == 0)) --e;
    return std::string((const char*)p + b, e - b);
}

std::string TrimRight(const uint8_t* p, size_t n) {
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == 0)) --n;
    return std::string((const char*)p, n);
}

bool Digits(const std::string& s, size_t from, size_t n) {
    for (size_t i = from; i < from + n; ++i)
        if (i >= s.size() || s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

}  // namespace

// Layout: a 32-byte header (version, last update y/m/d, record count u32,
// header length u16, record length u16, 20 reserved bytes), 32-byte field
// descriptors (name 11, type 1, offset 4, length 1, decimals 1, 14 more)
// ended by 0x0D, then the records: a deletion flag ('*' deleted) and the
// fields side by side.
bool DbfTable::Parse(std::vector<uint8_t> bytes) {
    m_bytes.swap(bytes);
    m_fields.clear();
    m_records.clear();
    CByteReader r(m_bytes.data(), m_bytes.size());
    m_version = r.U8();
    r.Skip(3);
    uint32_t count = r.U32LE();
    uint16_t headerLength = r.U16LE();
    uint16_t recordLength = r.U16LE();
    if (!r.Seek(32) || headerLength > m_bytes.size() || headerLength < 33 || recordLength < 1)
        return false;
    CByteReader fields(m_bytes.data(), headerLength);
    fields.Seek(32);
    uint32_t next = 1;
    while (fields.Has(1) && fields.Peek(1)[0] != 0x0D) {
        const uint8_t* d = fields.Take(32);
        if (!d)
            return false;
        DbfField f;
        f.name = std::string((const char*)d, strnlen((const char*)d, 11));
        f.type = (char)d[11];
        f.length = d[16];
        f.decimals = d[17];
        f.offset = next;
        next += f.length;
        if (f.name.empty() || f.length == 0 || next > recordLength)
            return false;
        m_fields.push_back(f);
    }
    if (!fields.Has(1) || m_fields.empty())
        return false;
    // Every record counted must lie inside the file.
    uint64_t end = (uint64_t)headerLength + (uint64_t)count * recordLength;
    if (end > m_bytes.size())
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        size_t at = (size_t)headerLength + (size_t)i * recordLength;
        if (m_bytes[at] != '*')
            m_records.push_back(at);
    }
    return true;
}

bool DbfTable::Memo(const DbfField& f) const {
    // B is a double in FoxPro 3.0 tables, a memo block number elsewhere.
    bool fox3 = m_version == 0x30 || m_version == 0x31 || m_version == 0x32;
    return f.type == 'M' || f.type == 'G' || f.type == 'P' || (f.type == 'B' && !fox3);
}

int DbfTable::DaoType(size_t field, long* size) const {
    const DbfField& f = m_fields[field];
    *size = 0;
    if (Memo(f))
        return f.type == 'M' ? dbMemo : dbLongBinary;
    switch (f.type) {
        case 'C':
            *size = f.length;
            return dbText;
        case 'N':
            return f.decimals == 0 && f.length < 10 ? dbLong : dbDouble;
        case 'F':
        case 'B':
            return dbDouble;
        case 'D':
        case 'T':
            return dbDate;
        case 'L':
            return dbBoolean;
        case 'I':
            return dbLong;
        case 'Y':
            return dbCurrency;
        default:
            *size = f.length;
            return dbText;
    }
}

DbValue DbfTable::Value(size_t record, size_t field) const {
    DbValue v;
    const DbfField& f = m_fields[field];
    const uint8_t* p = m_bytes.data() + m_records[record] + f.offset;
    if (Memo(f))
        return v;
    switch (f.type) {
        case 'N':
        case 'F': {
            std::string t = Trimmed(p, f.length);
            if (t.empty() || t[0] == '*')
                return v;
            char* stop = nullptr;
            double d = strtod(t.c_str(), &stop);
            if (!stop || *stop)
                return v;
            long size;
            if (DaoType(field, &size) == dbLong) {
                v.kind = DbValue::Integer;
                v.i = (int64_t)d;
            } else {
                v.kind = DbValue::Real;
                v.d = d;
            }
            return v;
        }
        case 'D': {
            std::string t = Trimmed(p, f.length);
            if (t.size() != 8 || !Digits(t, 0, 8))
                return v;
            SYSTEMTIME st = {};
            st.wYear = (WORD)atoi(t.substr(0, 4).c_str());
            st.wMonth = (WORD)atoi(t.substr(4, 2).c_str());
            st.wDay = (WORD)atoi(t.substr(6, 2).c_str());
            double d = 0;
            if (!SystemTimeToVariantTime(&st, &d))
                return v;
            v.kind = DbValue::Real;
            v.d = d;
            return v;
        }
        case 'L': {
            char c = (char)p[0];
            if (strchr("TtYy", c) && c) {
                v.kind = DbValue::Integer;
                v.i = -1;
            } else if (strchr("FfNn", c) && c) {
                v.kind = DbValue::Integer;
                v.i = 0;
            }
            return v;
        }
        case 'I':
            if (f.length < 4)
                return v;
            v.kind = DbValue::Integer;
            v.i = (int32_t)GetU32LE(p);
            return v;
        case 'B':
            if (f.length < 8)
                return v;
            v.kind = DbValue::Real;
            memcpy(&v.d, p, 8);
            return v;
        case 'Y': {
            if (f.length < 8)
                return v;
            int64_t n = (int64_t)((uint64_t)GetU32LE(p) | ((uint64_t)GetU32LE(p + 4) << 32));
            v.kind = DbValue::Real;
            v.d = (double)n / 10000.0;
            return v;
        }
        case 'T': {
            if (f.length < 8)
                return v;
            uint32_t day = GetU32LE(p), ms = GetU32LE(p + 4);
            if (day == 0 && ms == 0)
                return v;
            v.kind = DbValue::Real;
            v.d = (double)day - kJulianToOle + ms / 86400000.0;
            return v;
        }
        default: {
            std::string t = TrimRight(p, f.length);
            v.kind = DbValue::Text;
            v.s = Utf8FromAnsi(t);
            return v;
        }
    }
}

// ---- the virtual table

namespace {

struct DbfVtab {
    sqlite3_vtab base;
    DbfTable table;
};

struct DbfCursor {
    sqlite3_vtab_cursor base;
    size_t row;
};

bool ReadWholeFile(const std::string& ansiPath, std::vector<uint8_t>* out) {
    std::string u = Utf8FromAnsi(ansiPath);
    int w = MultiByteToWideChar(CP_UTF8, 0, u.c_str(), -1, nullptr, 0);
    std::wstring wide(w > 0 ? w : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, u.c_str(), -1, &wide[0], w);
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(h, &size) && size.QuadPart < (1LL << 30);
    if (ok) {
        out->resize((size_t)size.QuadPart);
        DWORD got = 0;
        ok = out->empty() ||
             (ReadFile(h, out->data(), (DWORD)out->size(), &got, nullptr) && got == out->size());
    }
    CloseHandle(h);
    return ok;
}

int Connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out,
            char** error) {
    const std::vector<std::string>* files = (const std::vector<std::string>*)aux;
    long n = argc > 3 ? strtol(argv[3], nullptr, 10) : -1;
    if (!files || n < 0 || (size_t)n >= files->size())
        return SQLITE_ERROR;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile((*files)[(size_t)n], &bytes)) {
        *error = sqlite3_mprintf("cannot open");
        return SQLITE_CANTOPEN;
    }
    DbfVtab* v = new DbfVtab();
    if (!v->table.Parse(std::move(bytes))) {
        delete v;
        *error = sqlite3_mprintf("not a dBASE table");
        return SQLITE_CORRUPT;
    }
    std::string sql = "CREATE TABLE x(";
    for (size_t i = 0; i < v->table.Fields().size(); ++i) {
        long size = 0;
        int type = v->table.DaoType(i, &size);
        static const char* words[] = {"",         "BIT",        "",       "",         "LONG",
                                      "CURRENCY", "",           "DOUBLE", "DATETIME", "",
                                      "TEXT",     "LONGBINARY", "MEMO"};
        std::string word = words[type];
        if (type == dbText)
            word += "(" + std::to_string(size) + ")";
        std::string name = Utf8FromAnsi(v->table.Fields()[i].name);
        std::string quoted = "\"";
        for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        sql += (i ? ", " : "") + quoted + "\" " + word;
    }
    sql += ")";
    int rc = sqlite3_declare_vtab(db, sql.c_str());
    if (rc != SQLITE_OK) {
        delete v;
        return rc;
    }
    *out = &v->base;
    return SQLITE_OK;
}

int BestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    info->estimatedCost = 1e6;
    return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* v) {
    delete (DbfVtab*)v;
    return SQLITE_OK;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    DbfCursor* c = new DbfCursor();
    *out = &c->base;
    return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* c) {
    delete (DbfCursor*)c;
    return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* c, int, const char*, int, sqlite3_value**) {
    ((DbfCursor*)c)->row = 0;
    return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* c) {
    ((DbfCursor*)c)->row++;
    return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* c) {
    DbfVtab* v = (DbfVtab*)c->pVtab;
    return ((DbfCursor*)c)->row >= v->table.RecordCount();
}

int Column(sqlite3_vtab_cursor* c, sqlite3_context* ctx, int i) {
    DbfVtab* v = (DbfVtab*)c->pVtab;
    DbValue value = v->table.Value(((DbfCursor*)c)->row, (size_t)i);
    switch (value.kind) {
        case DbValue::Integer:
            sqlite3_result_int64(ctx, value.i);
            break;
        case DbValue::Real:
            sqlite3_result_double(ctx, value.d);
            break;
        case DbValue::Text:
            sqlite3_result_text(ctx, value.s.data(), (int)value.s.size(), SQLITE_TRANSIENT);
            break;
        default:
            sqlite3_result_null(ctx);
    }
    return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* c, sqlite3_int64* id) {
    *id = (sqlite3_int64)((DbfCursor*)c)->row + 1;
    return SQLITE_OK;
}

const sqlite3_module kModule = {0,       Connect, Connect, BestIndex, Disconnect, Disconnect,
                                Open,    Close,   Filter,  Next,      Eof,        Column,
                                Rowid,   nullptr, nullptr, nullptr,   nullptr,    nullptr,
                                nullptr, nullptr, nullptr, nullptr,   nullptr,    nullptr};

}  // namespace

void RegisterDbfModule(sqlite3* db, const std::vector<std::string>* files) {
    sqlite3_create_module(db, "mavro_dbf", &kModule, (void*)files);
}
