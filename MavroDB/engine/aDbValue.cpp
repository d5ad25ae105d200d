#include "aDbValue.h"

#include <oleauto.h>
#include <ctype.h>
#include <math.h>
#include <string.h>

#include "sqlite3.h"

DbValue DbValueFromColumn(sqlite3_stmt* stmt, int i) {
    DbValue v;
    switch (sqlite3_column_type(stmt, i)) {
        case SQLITE_INTEGER:
            v.kind = DbValue::Integer;
            v.i = sqlite3_column_int64(stmt, i);
            break;
        case SQLITE_FLOAT:
            v.kind = DbValue::Real;
            v.d = sqlite3_column_double(stmt, i);
            break;
        case SQLITE_TEXT: {
            v.kind = DbValue::Text;
            const char* p = (const char*)sqlite3_column_text(stmt, i);
            v.s.assign(p ? p : "", (size_t)sqlite3_column_bytes(stmt, i));
            break;
        }
        case SQLITE_BLOB: {
            v.kind = DbValue::Blob;
            const void* p = sqlite3_column_blob(stmt, i);
            int n = sqlite3_column_bytes(stmt, i);
            if (p && n > 0)
                v.s.assign((const char*)p, (size_t)n);
            break;
        }
        default:
            break;
    }
    return v;
}

int BindDbValue(sqlite3_stmt* stmt, int i, const DbValue& v) {
    switch (v.kind) {
        case DbValue::Integer:
            return sqlite3_bind_int64(stmt, i, v.i);
        case DbValue::Real:
            return sqlite3_bind_double(stmt, i, v.d);
        case DbValue::Text:
            return sqlite3_bind_text(stmt, i, v.s.data(), (int)v.s.size(), SQLITE_TRANSIENT);
        case DbValue::Blob:
            return sqlite3_bind_blob(stmt, i, v.s.data(), (int)v.s.size(), SQLITE_TRANSIENT);
        default:
            return sqlite3_bind_null(stmt, i);
    }
}

int DaoTypeFromDeclared(const char* declared, long* size) {
    *size = 0;
    if (!declared)
        return 0;
    char word[32];
    int n = 0;
    const char* p = declared;
    while (*p == ' ') ++p;
    while (n < 31 && (isalnum((unsigned char)*p) || *p == '_'))
        word[n++] = (char)toupper((unsigned char)*p++);
    word[n] = 0;
    static const struct {
        const char* word;
        int type;
        long size;
    } types[] = {
        {"BIT", dbBoolean, 1},     {"BOOLEAN", dbBoolean, 1},       {"YESNO", dbBoolean, 1},
        {"BYTE", dbByte, 1},       {"SHORT", dbInteger, 2},         {"SMALLINT", dbInteger, 2},
        {"LONG", dbLong, 4},       {"INTEGER", dbLong, 4},          {"INT", dbLong, 4},
        {"COUNTER", dbLong, 4},    {"CURRENCY", dbCurrency, 8},     {"MONEY", dbCurrency, 8},
        {"SINGLE", dbSingle, 4},   {"REAL", dbSingle, 4},           {"DOUBLE", dbDouble, 8},
        {"FLOAT", dbDouble, 8},    {"DATETIME", dbDate, 8},         {"DATE", dbDate, 8},
        {"BINARY", dbBinary, 255}, {"TEXT", dbText, 255},           {"CHAR", dbText, 255},
        {"VARCHAR", dbText, 255},  {"LONGBINARY", dbLongBinary, 0}, {"OLEOBJECT", dbLongBinary, 0},
        {"MEMO", dbMemo, 0},       {"LONGTEXT", dbMemo, 0},         {"GUID", dbGUID, 16}};
    for (const auto& t : types) {
        if (strcmp(t.word, word) != 0)
            continue;
        *size = t.size;
        while (*p == ' ') ++p;
        if ((t.type == dbText || t.type == dbBinary) && *p == '(') {
            long s = strtol(p + 1, nullptr, 10);
            if (s > 0 && s <= 255)
                *size = s;
        }
        return t.type;
    }
    return 0;
}

std::string Utf8FromWide(const WCHAR* text, size_t length) {
    if (!length)
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text, (int)length, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, (int)length, &out[0], n, nullptr, nullptr);
    return out;
}

std::string Utf8FromAnsi(const char* text, size_t length) {
    if (!text || !length)
        return std::string();
    int w = MultiByteToWideChar(CP_ACP, 0, text, (int)length, nullptr, 0);
    if (w <= 0)
        return std::string();
    std::wstring wide(w, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, (int)length, &wide[0], w);
    return Utf8FromWide(wide.data(), wide.size());
}

std::string Utf8FromAnsi(const std::string& text) {
    return Utf8FromAnsi(text.data(), text.size());
}

std::string AnsiFromUtf8(const std::string& text) {
    if (text.empty())
        return std::string();
    int w = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
    if (w <= 0)
        return std::string();
    // Short texts convert on the stack: the hot path of every text read.
    WCHAR small[256];
    std::wstring big;
    WCHAR* wide = small;
    if (w > 256) {
        big.assign(w, L'\0');
        wide = &big[0];
    }
    MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), wide, w);
    int n = WideCharToMultiByte(CP_ACP, 0, wide, w, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, wide, w, &out[0], n, nullptr, nullptr);
    return out;
}

static bool BytesToArray(const std::string& bytes, VARIANT* out) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, (ULONG)bytes.size());
    if (!a)
        return false;
    if (!bytes.empty()) {
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(a, &data))) {
            SafeArrayDestroy(a);
            return false;
        }
        memcpy(data, bytes.data(), bytes.size());
        SafeArrayUnaccessData(a);
    }
    V_VT(out) = VT_ARRAY | VT_UI1;
    V_ARRAY(out) = a;
    return true;
}

static bool TextToBstr(const std::string& utf8, VARIANT* out) {
    std::string ansi = AnsiFromUtf8(utf8);
    BSTR b = SysAllocStringByteLen(ansi.data(), (UINT)ansi.size());
    if (!b)
        return false;
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = b;
    return true;
}

static double AsDouble(const DbValue& v) {
    if (v.kind == DbValue::Integer)
        return (double)v.i;
    if (v.kind == DbValue::Real)
        return v.d;
    if (v.kind == DbValue::Text)
        return strtod(v.s.c_str(), nullptr);
    return 0;
}

static int64_t AsInteger(const DbValue& v) {
    if (v.kind == DbValue::Integer)
        return v.i;
    if (v.kind == DbValue::Real)
        return (int64_t)llround(v.d);
    if (v.kind == DbValue::Text)
        return strtoll(v.s.c_str(), nullptr, 10);
    return 0;
}

bool DbValueToVariant(const DbValue& v, int daoType, VARIANT* out) {
    VariantInit(out);
    if (v.kind == DbValue::Null) {
        V_VT(out) = VT_NULL;
        return true;
    }
    switch (daoType) {
        case dbBoolean:
            V_VT(out) = VT_BOOL;
            V_BOOL(out) = AsInteger(v) ? VARIANT_TRUE : VARIANT_FALSE;
            return true;
        case dbByte:
            V_VT(out) = VT_UI1;
            V_UI1(out) = (BYTE)AsInteger(v);
            return true;
        case dbInteger:
            V_VT(out) = VT_I2;
            V_I2(out) = (SHORT)AsInteger(v);
            return true;
        case dbLong:
            V_VT(out) = VT_I4;
            V_I4(out) = (LONG)AsInteger(v);
            return true;
        case dbCurrency:
            V_VT(out) = VT_CY;
            return SUCCEEDED(VarCyFromR8(AsDouble(v), &V_CY(out))) || (V_VT(out) = VT_NULL, true);
        case dbSingle:
            V_VT(out) = VT_R4;
            V_R4(out) = (float)AsDouble(v);
            return true;
        case dbDouble:
            V_VT(out) = VT_R8;
            V_R8(out) = AsDouble(v);
            return true;
        case dbDate:
            V_VT(out) = VT_DATE;
            V_DATE(out) = AsDouble(v);
            return true;
        case dbText:
        case dbMemo:
            if (v.kind == DbValue::Text || v.kind == DbValue::Blob)
                return TextToBstr(v.s, out);
            break;
        case dbBinary:
        case dbLongBinary:
        case dbGUID:
            if (v.kind == DbValue::Blob || v.kind == DbValue::Text)
                return BytesToArray(v.s, out);
            break;
        default:
            break;
    }
    // Computed columns and mismatched storage: by what the file holds.
    switch (v.kind) {
        case DbValue::Integer:
            if (v.i >= INT32_MIN && v.i <= INT32_MAX) {
                V_VT(out) = VT_I4;
                V_I4(out) = (LONG)v.i;
            } else {
                V_VT(out) = VT_R8;
                V_R8(out) = (double)v.i;
            }
            return true;
        case DbValue::Real:
            V_VT(out) = VT_R8;
            V_R8(out) = v.d;
            return true;
        case DbValue::Text:
            return TextToBstr(v.s, out);
        case DbValue::Blob:
            return BytesToArray(v.s, out);
        default:
            V_VT(out) = VT_NULL;
            return true;
    }
}

bool VariantToDbValue(const VARIANT& value, int daoType, long size, DbValue* out, long* error) {
    *out = DbValue();
    *error = 0;
    const VARIANT* v = &value;
    VARIANT deref;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) {
        deref = *V_VARIANTREF(v);
        v = &deref;
    }
    if (V_VT(v) == VT_EMPTY || V_VT(v) == VT_NULL)
        return true;
    if (daoType == dbText || daoType == dbMemo) {
        if (V_VT(v) == VT_BSTR) {
            // The layer's strings carry ANSI bytes.
            BSTR b = V_BSTR(v);
            UINT n = b ? SysStringByteLen(b) : 0;
            out->kind = DbValue::Text;
            out->s = Utf8FromAnsi((const char*)b, n);
            if (daoType == dbText && size > 0) {
                int chars =
                    MultiByteToWideChar(CP_UTF8, 0, out->s.data(), (int)out->s.size(), nullptr, 0);
                if (chars > size) {
                    *error = 3163;
                    return false;
                }
            }
            return true;
        }
        if ((V_VT(v) & VT_ARRAY) || V_VT(v) == VT_DISPATCH || V_VT(v) == VT_UNKNOWN) {
            *error = 3421;
            return false;
        }
        VARIANT t;
        VariantInit(&t);
        if (FAILED(VariantChangeType(&t, const_cast<VARIANT*>(v), 0, VT_BSTR))) {
            *error = 3421;
            return false;
        }
        std::string u = Utf8FromWide(V_BSTR(&t), SysStringLen(V_BSTR(&t)));
        VariantClear(&t);
        out->kind = DbValue::Text;
        out->s = u;
        return true;
    }
    if (daoType == dbLongBinary || daoType == dbBinary || daoType == dbGUID) {
        if (V_VT(v) == (VT_ARRAY | VT_UI1) && V_ARRAY(v)) {
            SAFEARRAY* a = V_ARRAY(v);
            LONG lo = 0, hi = -1;
            if (SafeArrayGetDim(a) != 1 || FAILED(SafeArrayGetLBound(a, 1, &lo)) ||
                FAILED(SafeArrayGetUBound(a, 1, &hi))) {
                *error = 3421;
                return false;
            }
            LONG64 count = (LONG64)hi - lo + 1;
            void* data = nullptr;
            out->kind = DbValue::Blob;
            if (count > 0 && SUCCEEDED(SafeArrayAccessData(a, &data))) {
                out->s.assign((const char*)data, (size_t)count);
                SafeArrayUnaccessData(a);
            }
            if (daoType == dbBinary && size > 0 && (long)out->s.size() > size) {
                *error = 3163;
                return false;
            }
            return true;
        }
        *error = 3421;
        return false;
    }
    VARTYPE want = VT_R8;
    switch (daoType) {
        case dbBoolean:
            want = VT_BOOL;
            break;
        case dbByte:
            want = VT_UI1;
            break;
        case dbInteger:
            want = VT_I2;
            break;
        case dbLong:
            want = VT_I4;
            break;
        case dbCurrency:
            want = VT_CY;
            break;
        case dbDate:
            want = VT_DATE;
            break;
        default:
            want = VT_R8;
            break;
    }
    if (V_VT(v) & VT_ARRAY) {
        *error = 3421;
        return false;
    }
    VARIANT t;
    VariantInit(&t);
    HRESULT hr;
    if (V_VT(v) == VT_BSTR) {
        // ANSI bytes into a wide string first, then the system's conversion.
        BSTR b = V_BSTR(v);
        std::string ansi((const char*)b, b ? SysStringByteLen(b) : 0);
        int w = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), nullptr, 0);
        std::wstring wide(w > 0 ? w : 0, L'\0');
        if (w > 0)
            MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), &wide[0], w);
        VARIANT s;
        V_VT(&s) = VT_BSTR;
        V_BSTR(&s) = SysAllocStringLen(wide.data(), (UINT)wide.size());
        hr = VariantChangeType(&t, &s, 0, want);
        VariantClear(&s);
    } else {
        hr = VariantChangeType(&t, const_cast<VARIANT*>(v), 0, want);
    }
    if (FAILED(hr)) {
        *error = 3421;
        return false;
    }
    switch (want) {
        case VT_BOOL:
            out->kind = DbValue::Integer;
            out->i = V_BOOL(&t) ? -1 : 0;
            break;
        case VT_UI1:
            out->kind = DbValue::Integer;
            out->i = V_UI1(&t);
            break;
        case VT_I2:
            out->kind = DbValue::Integer;
            out->i = V_I2(&t);
            break;
        case VT_I4:
            out->kind = DbValue::Integer;
            out->i = V_I4(&t);
            break;
        case VT_CY: {
            double d = 0;
            VarR8FromCy(V_CY(&t), &d);
            out->kind = DbValue::Real;
            out->d = d;
            break;
        }
        case VT_DATE:
            out->kind = DbValue::Real;
            out->d = V_DATE(&t);
            break;
        default:
            out->kind = DbValue::Real;
            out->d = daoType == dbSingle ? (double)(float)V_R8(&t) : V_R8(&t);
            break;
    }
    VariantClear(&t);
    return true;
}
