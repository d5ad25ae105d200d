// Field values between the file and the VARIANTs of the DAO-named layer.
// The file holds UTF-8 text, OLE date numbers, -1/0 for Yes/No and long
// binary as blobs; a VT_BSTR of the layer holds ANSI bytes, long binary is
// VT_ARRAY|VT_UI1.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <stdint.h>
#include <string>

struct sqlite3_stmt;

// DAO field types.
enum {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbBinary = 9,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
    dbGUID = 15,
};

// One value as the file stores it.
struct DbValue {
    enum Kind { Null, Integer, Real, Text, Blob } kind = Null;
    int64_t i = 0;
    double d = 0;
    std::string s;  // UTF-8 text or blob bytes

    bool operator==(const DbValue& o) const {
        return kind == o.kind && i == o.i && (d == o.d || (d != d && o.d != o.d)) && s == o.s;
    }
    bool operator!=(const DbValue& o) const { return !(*this == o); }
};

// Column i of a stepped statement.
DbValue DbValueFromColumn(sqlite3_stmt* stmt, int i);
// Binds a value to placeholder i (from 1); an SQLite result code.
int BindDbValue(sqlite3_stmt* stmt, int i, const DbValue& v);

// DAO type and size of a declared column type ("LONG", "TEXT(50)" ...); 0
// when the word names no DAO type.
int DaoTypeFromDeclared(const char* declared, long* size);

// The VARIANT of a stored value for a field of this DAO type (0: by the
// stored kind). False on an out-of-memory failure.
bool DbValueToVariant(const DbValue& v, int daoType, VARIANT* out);

// The stored value of a VARIANT for a field: false with a Jet error number
// (3421 wrong type, 3163 text longer than the field) when it does not fit.
bool VariantToDbValue(const VARIANT& value, int daoType, long size, DbValue* out, long* error);

// Text conversions of the layer: ANSI <-> UTF-8 through UTF-16.
std::string Utf8FromAnsi(const char* text, size_t length);
std::string Utf8FromAnsi(const std::string& text);
std::string AnsiFromUtf8(const std::string& text);
std::string Utf8FromWide(const WCHAR* text, size_t length);
