#include "bVarMgr.h"

#include <inttypes.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "bStorage.h"
#include "bByteReader.h"
#include "bExprScan.h"
#include "bStrConv.h"
#include "bTextCut.h"
#include "bTraceLog.h"

namespace {

enum { VAR_BLOCK = 8 };

// Most dimensions a stored array may declare.
enum { MAX_STORED_DIMS = 64 };

// String resource of the word that declares a true boolean, and its GBK
// text for a program that does not carry it. Every other text (the false
// word, string 12156, among them) declares false.
enum { IDS_BOOL_TRUE = 12155 };
const char kTrueWord[] = "\xD5\xE6";  // 真

std::string LoadBoolWord(UINT id, const char* fallback) {
    char buffer[64];
    int n = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof(buffer));
    return n > 0 ? std::string(buffer, (size_t)n) : std::string(fallback);
}

char* CopyText(const char* text) {
    size_t n = text ? strlen(text) : 0;
    char* p = new (std::nothrow) char[n + 1];
    if (!p)
        return nullptr;
    if (n)
        memcpy(p, text, n);
    p[n] = '\0';
    return p;
}

// Most elements a stored array may declare: a bigger one is refused.
const uint64_t kMaxArrayElements = 1048576;

// The stored list read straight from a stream, so that a list is held once
// (as variables), not also as a copy of its bytes. Reads within what the
// stream has left; a short one fails like a cut record.
class CStreamListSource {
public:
    CStreamListSource(ITeskStream* stream, uint64_t size)
        : m_stream(stream), m_left(size), m_pos(0), m_failed(false) {}
    bool Failed() const { return m_failed; }
    bool Has(size_t n) const { return !m_failed && n <= m_left; }
    size_t Remaining() const { return m_left > (uint64_t)SIZE_MAX ? SIZE_MAX : (size_t)m_left; }
    size_t Position() const { return (size_t)m_pos; }
    const uint8_t* Take(size_t n) {
        if (!Has(n) || n > 0xFFFFFFFFu) {
            m_failed = true;
            return nullptr;
        }
        m_buffer.resize(n ? n : 1);
        if (n && m_stream->Read(m_buffer.data(), (ULONG)n) != n) {
            m_failed = true;
            return nullptr;
        }
        m_left -= n;
        m_pos += n;
        return m_buffer.data();
    }
    uint16_t U16LE() {
        const uint8_t* p = Take(2);
        return p ? (uint16_t)(p[0] | (p[1] << 8)) : 0;
    }
    uint32_t U32LE() {
        const uint8_t* p = Take(4);
        return p ? (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
                       ((uint32_t)p[3] << 24)
                 : 0;
    }

private:
    ITeskStream* m_stream;
    uint64_t m_left;
    uint64_t m_pos;
    bool m_failed;
    std::vector<uint8_t> m_buffer;
};

// Reader of the stored list format over bytes in memory (CByteReader) or a
// stream (CStreamListSource); every refusal is logged once.
template <class R>
class CStoredListReader {
public:
    explicit CStoredListReader(R& r) : m_r(r) {}

    // One stored value into out (empty on entry). Arrays are allowed at the
    // top level only: their elements are scalars.
    bool ReadValue(VARIANT& out, const char* name, bool element);

private:
    bool ReadArray(VARTYPE vt, VARIANT& out, const char* name);
    bool ReadString(VARTYPE vt, VARIANT& out, const char* name);
    // Reads past the stored elements of an array that is not kept.
    bool SkipElements(uint64_t total, const char* name);

    R& m_r;
};

template <class R>
bool CStoredListReader<R>::ReadValue(VARIANT& out, const char* name, bool element) {
    VariantInit(&out);
    if (!m_r.Has(2)) {
        LOG_MSG("LoadList: value of '%s' cut short", name);
        return false;
    }
    VARTYPE vt = m_r.U16LE();
    if (vt & VT_ARRAY) {
        if (element) {
            LOG_MSG("LoadList: array nested in array '%s' refused", name);
            return false;
        }
        return ReadArray(vt, out, name);
    }
    size_t fixed = 0;
    switch (vt) {
        case VT_EMPTY:
            return true;
        case VT_I4:
        case VT_R4:
        case VT_ERROR:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            fixed = 4;
            break;
        case VT_R8:
        case VT_CY:
        case VT_DATE:
            fixed = 8;
            break;
        case VT_BOOL:
            fixed = 2;
            break;
        default:
            return ReadString(vt, out, name);
    }
    const uint8_t* p = m_r.Take(fixed);
    if (!p) {
        LOG_MSG("LoadList: value of '%s' cut short", name);
        return false;
    }
    // The data fields of these types all start at the union's first byte.
    V_UI8(&out) = 0;
    memcpy(&V_UI8(&out), p, fixed);
    V_VT(&out) = vt;
    return true;
}

template <class R>
bool CStoredListReader<R>::ReadString(VARTYPE vt, VARIANT& out, const char* name) {
    if (!m_r.Has(4)) {
        LOG_MSG("LoadList: value of '%s' cut short", name);
        return false;
    }
    uint32_t length = m_r.U32LE();
    // UTF-16 text plus its two-byte terminator: at least 2, even, present.
    if (length < 2 || (length & 1) || !m_r.Has(length)) {
        LOG_MSG("LoadList: bad string length %u in '%s'", length, name);
        return false;
    }
    const uint8_t* p = m_r.Take(length);
    UINT units = (length - 2) / 2;
    BSTR s = SysAllocStringLen(nullptr, units);
    if (!s) {
        LOG_MSG("Out of memory !");
        return true;  // that value stays empty; the list goes on
    }
    memcpy(s, p, (size_t)units * 2);
    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = s;
    if (vt == VT_BSTR) {
        out = text;
        return true;
    }
    HRESULT hr = VariantChangeType(&out, &text, 0, vt);
    VariantClear(&text);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "LoadList: '%s' not convertible to type %u", name, (unsigned)vt);
        VariantInit(&out);
    }
    return true;
}

template <class R>
bool CStoredListReader<R>::SkipElements(uint64_t total, const char* name) {
    for (uint64_t n = 0; n < total; ++n) {
        VARIANT element;
        if (!ReadValue(element, name, true))
            return false;
        VariantClear(&element);
    }
    return true;
}

template <class R>
bool CStoredListReader<R>::ReadArray(VARTYPE vt, VARIANT& out, const char* name) {
    uint32_t dims = m_r.U32LE();
    size_t pairBytes;
    if (m_r.Failed() || dims == 0 || dims > MAX_STORED_DIMS || !CheckedMul(dims, 8, &pairBytes) ||
        !m_r.Has(pairBytes)) {
        LOG_MSG("LoadList: bad dimension count %u in '%s'", dims, name);
        return false;
    }
    SAFEARRAYBOUND bounds[MAX_STORED_DIMS];
    uint64_t total = 1;
    bool overflow = false;
    for (uint32_t d = 0; d < dims; ++d) {
        LONG lower = (LONG)m_r.U32LE();
        LONG upper = (LONG)m_r.U32LE();
        int64_t extent = (int64_t)upper - (int64_t)lower + 1;
        if (extent < 0) {
            LOG_MSG("LoadList: inverted bounds %ld..%ld in '%s'", (long)lower, (long)upper, name);
            return false;
        }
        if (extent > (int64_t)ULONG_MAX) {
            LOG_MSG("LoadList: element count overflows in '%s'", name);
            return false;
        }
        if (extent && total > UINT64_MAX / (uint64_t)extent)
            overflow = true;
        else
            total *= (uint64_t)extent;
        bounds[d].lLbound = lower;
        bounds[d].cElements = (ULONG)extent;
    }
    if (overflow) {
        LOG_MSG("LoadList: element count of '%s' overflows 64 bits", name);
        return false;
    }
    // Every stored element takes at least its two-byte type.
    if (total > m_r.Remaining() / 2) {
        LOG_MSG("LoadList: %llu elements of '%s' exceed the data (%llu bytes left)",
                (unsigned long long)total, name, (unsigned long long)m_r.Remaining());
        return false;
    }
    // An array holds VARIANTs under its base type; by-reference and other
    // flags cannot be copied or freed as an array. Such an array, or one
    // beyond the element bound, is read past and kept empty.
    const bool badType = (vt & ~(VARTYPE)(VT_ARRAY | VT_TYPEMASK)) != 0;
    if (badType || total > kMaxArrayElements) {
        if (badType)
            LOG_MSG("LoadList: array type 0x%04X of '%s' refused", (unsigned)vt, name);
        else
            LOG_MSG("LoadList: array '%s' of %llu elements refused (at most %llu)", name,
                    (unsigned long long)total, (unsigned long long)kMaxArrayElements);
        return SkipElements(total, name);
    }
    SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, dims, bounds);
    if (!psa) {
        LOG_MSG("Out of memory !");
        return false;
    }
    VARIANT* cells = nullptr;
    SafeArrayAccessData(psa, reinterpret_cast<void**>(&cells));
    // Stored with the last index varying fastest; in memory the first does.
    size_t stride[MAX_STORED_DIMS];
    size_t s = 1;
    for (uint32_t d = 0; d < dims; ++d) {
        stride[d] = s;
        s *= bounds[d].cElements;
    }
    ULONG index[MAX_STORED_DIMS] = {};
    bool ok = true;
    for (uint64_t n = 0; n < total && ok; ++n) {
        size_t offset = 0;
        for (uint32_t d = 0; d < dims; ++d) offset += index[d] * stride[d];
        ok = ReadValue(cells[offset], name, true);
        for (int d = (int)dims - 1; d >= 0; --d) {
            if (++index[d] < bounds[d].cElements)
                break;
            index[d] = 0;
        }
    }
    SafeArrayUnaccessData(psa);
    if (!ok) {
        SafeArrayDestroy(psa);
        return false;
    }
    V_VT(&out) = vt;
    V_ARRAY(&out) = psa;
    return true;
}

// Sets every element of an array value to a copy of fill.
void FillArray(VARIANT& arrayValue, const VARIANT& fill) {
    SAFEARRAY* psa = V_ARRAY(&arrayValue);
    if (!psa)
        return;
    VARIANT* cells = nullptr;
    if (FAILED(SafeArrayAccessData(psa, reinterpret_cast<void**>(&cells))))
        return;
    size_t total = 1;
    for (UINT d = 0; d < psa->cDims; ++d) total *= psa->rgsabound[d].cElements;
    for (size_t i = 0; i < total; ++i) VariantCopy(&cells[i], const_cast<VARIANT*>(&fill));
    SafeArrayUnaccessData(psa);
}

// The override of the application-state ini path (tests).
std::string& AppStateIniOverride() {
    static std::string path;
    return path;
}

}  // namespace

// ---------------------------------------------------------------------------
// CVarList

CVarList::CVarList() : m_records(nullptr), m_initial(nullptr), m_count(0), m_capacity(0) {
    m_spare.name = nullptr;
    VariantInit(&m_spare.value);
    VariantInit(&m_spareInitial);
}

CVarList::~CVarList() {
    Clear();
    delete[] m_records;
    delete[] m_initial;
    VariantClear(&m_spare.value);
    VariantClear(&m_spareInitial);
}

int CVarList::Find(const char* name) const {
    if (!name)
        return -1;
    // The expression evaluator looks names up on every evaluation.
    for (int i = 0; i < m_count; ++i)
        if (SameText(m_records[i].name, name))
            return i;
    return -1;
}

const char* CVarList::GetName(int index) const {
    return (index >= 0 && index < m_count) ? m_records[index].name : "";
}

VARIANT* CVarList::GetValue(int index) {
    return (index >= 0 && index < m_count) ? &m_records[index].value : &m_spare.value;
}

VARIANT* CVarList::GetInitial(int index) {
    return (index >= 0 && index < m_count) ? &m_initial[index] : &m_spareInitial;
}

bool CVarList::Grow() {
    // Doubling: a list of n variables is copied about once, not n / 8 times.
    if (m_capacity >= INT_MAX / 2)
        return Reserve(INT_MAX);
    return Reserve(m_capacity ? m_capacity * 2 : VAR_BLOCK);
}

bool CVarList::Reserve(int capacity) {
    if (capacity <= m_capacity)
        return true;
    Record* records = new (std::nothrow) Record[capacity];
    VARIANT* initial = new (std::nothrow) VARIANT[capacity];
    if (!records || !initial) {
        delete[] records;
        delete[] initial;
        return false;
    }
    // VARIANTs and name pointers move bitwise.
    if (m_count) {
        memcpy(records, m_records, sizeof(Record) * (size_t)m_count);
        memcpy(initial, m_initial, sizeof(VARIANT) * (size_t)m_count);
    }
    delete[] m_records;
    delete[] m_initial;
    m_records = records;
    m_initial = initial;
    m_capacity = capacity;
    return true;
}

bool CVarList::TakeAll(CVarList& from) {
    if (from.m_count > INT_MAX - m_count || !Reserve(m_count + from.m_count))
        return false;
    memcpy(&m_records[m_count], from.m_records, sizeof(Record) * (size_t)from.m_count);
    memcpy(&m_initial[m_count], from.m_initial, sizeof(VARIANT) * (size_t)from.m_count);
    m_count += from.m_count;
    from.m_count = 0;
    return true;
}

bool CVarList::Insert(int position, const char* name, const VARIANT& value,
                      const VARIANT& initial) {
    if (m_count == INT_MAX || (m_count == m_capacity && !Grow()))
        return false;
    char* copy = CopyText(name);
    if (!copy)
        return false;
    VARIANT v, iv;
    VariantInit(&v);
    VariantInit(&iv);
    if (FAILED(VariantCopy(&v, const_cast<VARIANT*>(&value))) ||
        FAILED(VariantCopy(&iv, const_cast<VARIANT*>(&initial)))) {
        VariantClear(&v);
        VariantClear(&iv);
        delete[] copy;
        return false;
    }
    if (position < 0 || position > m_count)
        position = m_count;
    size_t tail = (size_t)(m_count - position);
    memmove(&m_records[position + 1], &m_records[position], sizeof(Record) * tail);
    memmove(&m_initial[position + 1], &m_initial[position], sizeof(VARIANT) * tail);
    m_records[position].name = copy;
    m_records[position].value = v;
    m_initial[position] = iv;
    ++m_count;
    return true;
}

void CVarList::RemoveAt(int index) {
    if (index < 0 || index >= m_count)
        return;
    delete[] m_records[index].name;
    VariantClear(&m_records[index].value);
    VariantClear(&m_initial[index]);
    size_t tail = (size_t)(m_count - index - 1);
    memmove(&m_records[index], &m_records[index + 1], sizeof(Record) * tail);
    memmove(&m_initial[index], &m_initial[index + 1], sizeof(VARIANT) * tail);
    --m_count;
}

void CVarList::Clear() {
    while (m_count > 0) RemoveAt(m_count - 1);
}

// ---------------------------------------------------------------------------
// Free helpers

LONG ScriptAtoi(const char* text) {
    if (!text)
        return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    int64_t value = 0;
    const int64_t limit = negative ? -(int64_t)LONG_MIN : (int64_t)LONG_MAX;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value >= limit) {
            value = limit;
            break;
        }
    }
    return (LONG)(negative ? -value : value);
}

void ParseInitialValue(VARTYPE type, const char* text, VARIANT* out) {
    VariantInit(out);
    if (!text)
        text = "";
    switch (type) {
        case VT_I4:
            V_VT(out) = VT_I4;
            V_I4(out) = ScriptAtoi(text);
            break;
        case VT_R8:
            V_VT(out) = VT_R8;
            V_R8(out) = atof(text);
            break;
        case VT_BSTR:
            V_VT(out) = VT_BSTR;
            V_BSTR(out) = BstrFromMultibyte(text, strlen(text));
            break;
        case VT_BOOL: {
            static const std::string trueWord = LoadBoolWord(IDS_BOOL_TRUE, kTrueWord);
            V_VT(out) = VT_BOOL;
            // 1, not VARIANT_TRUE: declarations have always stored it so.
            V_BOOL(out) = trueWord == text ? 1 : 0;
            break;
        }
        case VT_CY:
        case VT_DATE:
            // No text form; a zero of the type keeps the variable's type.
            V_VT(out) = type;
            break;
        default:
            break;
    }
}

void SetAppStateIniPath(const char* path) {
    AppStateIniOverride() = path ? path : "";
}

bool GetAppStateIniPath(char* buffer, int size) {
    if (!buffer || size <= 0)
        return false;
    const std::string& over = AppStateIniOverride();
    std::string path;
    if (!over.empty()) {
        path = over;
    } else {
        char dir[MAX_PATH];
        UINT n = GetWindowsDirectoryA(dir, sizeof(dir));
        if (n == 0 || n >= sizeof(dir))
            return false;
        path = dir;
        if (path.back() != '\\')
            path += '\\';
        path += "mavroappl.ini";
    }
    if (path.size() + 1 > (size_t)size)
        return false;
    memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

void FormatAppStateSection(char* buffer, int size, ULONGLONG projectId, bool progress) {
    if (!buffer || size <= 0)
        return;
    snprintf(buffer, (size_t)size, "APPL_%016" PRIx64 "_%s", (uint64_t)projectId,
             progress ? "PROGRESS" : "VARS");
}

// ---------------------------------------------------------------------------
// VariableManager

VariableManager::VariableManager() : m_global(nullptr), m_canvas(nullptr), m_local(nullptr) {}

VariableManager::~VariableManager() {}

CVarList* VariableManager::ListOf(int scope) const {
    switch (scope) {
        case VAR_SCOPE_GLOBAL:
            return m_global;
        case VAR_SCOPE_CANVAS:
            return m_canvas;
        case VAR_SCOPE_LOCAL:
            return m_local;
        default:
            return nullptr;
    }
}

int VariableManager::Find(const char* name) const {
    int i;
    if (m_local && (i = m_local->Find(name)) >= 0)
        return MakeVarId(i, VAR_SCOPE_LOCAL);
    if (m_canvas && (i = m_canvas->Find(name)) >= 0)
        return MakeVarId(i, VAR_SCOPE_CANVAS);
    if (m_global && (i = m_global->Find(name)) >= 0)
        return MakeVarId(i, VAR_SCOPE_GLOBAL);
    return VAR_NOT_FOUND;
}

int VariableManager::FindLocal(const char* name) const {
    int i;
    if (m_local && (i = m_local->Find(name)) >= 0)
        return MakeVarId(i, VAR_SCOPE_LOCAL);
    return VAR_NOT_FOUND;
}

const VARIANT* VariableManager::PeekValue(int id) {
    if (id < 0)
        return nullptr;
    CVarList* list = ListOf(id & ((1 << VAR_ID_SHIFT) - 1));
    return list ? list->GetValue(id >> VAR_ID_SHIFT) : nullptr;
}

bool VariableManager::GetValue(int id, VARIANT* out) {
    const VARIANT* v = PeekValue(id);
    if (!v || !out)
        return false;
    return SUCCEEDED(VariantCopy(out, const_cast<VARIANT*>(v)));
}

bool VariableManager::GetValueByName(const char* name, VARIANT* out) {
    int id = Find(name);
    return id != VAR_NOT_FOUND && GetValue(id, out);
}

bool VariableManager::GetStringValue(const char* name, std::string* out) {
    const VARIANT* v = PeekValue(Find(name));
    if (!v || V_VT(v) != VT_BSTR)
        return false;
    *out = MultibyteFromBstr(V_BSTR(v));
    return true;
}

bool VariableManager::SetValue(int id, const VARIANT& value) {
    VARIANT* target = const_cast<VARIANT*>(PeekValue(id));
    if (!target)
        return false;
    VARIANT copy;
    VariantInit(&copy);
    if (V_VT(&value) == V_VT(target)) {
        if (FAILED(VariantCopy(&copy, const_cast<VARIANT*>(&value))))
            return false;
    } else {
        if (V_VT(&value) & VT_ARRAY)
            return false;
        if (FAILED(VariantChangeType(&copy, const_cast<VARIANT*>(&value), 0, V_VT(target))))
            return false;
    }
    VariantClear(target);
    *target = copy;
    return true;
}

bool VariableManager::Declare(const char* name, VARTYPE type, const char* initialText,
                              int position) {
    if (!m_local || !name)
        return false;
    VARIANT v;
    ParseInitialValue(type, initialText, &v);
    bool ok = m_local->Insert(position, name, v, v);
    VariantClear(&v);
    return ok;
}

bool VariableManager::DeclareArray(const char* name, VARTYPE type, const int* sizes, int count,
                                   const char* initialText) {
    if (!m_local || !name || !sizes || count <= 0 || count > MAX_STORED_DIMS)
        return false;
    SAFEARRAYBOUND bounds[MAX_STORED_DIMS];
    size_t total = 1;
    for (int d = 0; d < count; ++d) {
        if (sizes[d] < 0 || !CheckedMul(total, (size_t)sizes[d], &total) ||
            total > (size_t)INT_MAX / sizeof(VARIANT)) {
            LOG_MSG("DeclareArray: bad dimension size %d for '%s'", sizes[d], name);
            return false;
        }
        bounds[d].lLbound = 0;
        bounds[d].cElements = (ULONG)sizes[d];
    }
    SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, (UINT)count, bounds);
    if (!psa) {
        LOG_MSG("Out of memory !");
        return false;
    }
    VARIANT initial;
    ParseInitialValue(type, initialText, &initial);
    VARIANT array;
    V_VT(&array) = (VARTYPE)(VT_ARRAY | type);
    V_ARRAY(&array) = psa;
    FillArray(array, initial);
    bool ok = m_local->Insert(-1, name, array, initial);
    VariantClear(&initial);
    SafeArrayDestroy(psa);
    return ok;
}

void VariableManager::RemoveAt(CVarList* list, int index) {
    if (list)
        list->RemoveAt(index);
}

void VariableManager::Clear(CVarList* list) {
    if (list)
        list->Clear();
}

namespace {

// Reads a whole stored list into `loaded`; false (logged) when damaged.
template <class R>
bool ReadStoredList(R& r, CVarList& loaded, bool reset) {
    uint32_t count = r.U32LE();
    if (r.Failed()) {
        LOG_MSG("LoadList: variable count cut short");
        return false;
    }
    // Every variable starts with its four-byte name length.
    if (count > r.Remaining() / 4) {
        LOG_MSG("LoadList: %u variables cannot fit in %llu bytes", count,
                (unsigned long long)r.Remaining());
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t n = r.U32LE();
        if (r.Failed()) {
            LOG_MSG("LoadList: variable %u of %u has no name length", i, count);
            return false;
        }
        const uint8_t* p = r.Take(n);
        if (!p) {
            LOG_MSG("LoadList: name length %u of variable %u exceeds the data", n, i);
            return false;
        }
        std::string name(reinterpret_cast<const char*>(p), n);
        CStoredListReader<R> reader(r);
        VARIANT value, initial;
        if (!reader.ReadValue(value, name.c_str(), false))
            return false;
        if (!reader.ReadValue(initial, name.c_str(), false)) {
            VariantClear(&value);
            return false;
        }
        if (reset) {
            if ((V_VT(&value) & VT_ARRAY) && !(V_VT(&initial) & VT_ARRAY)) {
                FillArray(value, initial);
            } else {
                VariantClear(&value);
                VariantCopy(&value, &initial);
            }
        }
        bool ok = loaded.Insert(-1, name.c_str(), value, initial);
        VariantClear(&value);
        VariantClear(&initial);
        if (!ok) {
            LOG_MSG("Out of memory !");
            return false;
        }
    }
    return true;
}

}  // namespace

bool VariableManager::LoadList(CVarList* list, const void* data, size_t size, size_t* used,
                               bool reset) {
    if (used)
        *used = 0;
    if (!list)
        return false;
    CByteReader r(data, size);
    // Read the whole list before touching the target, so a damaged list
    // leaves it as it was.
    CVarList loaded;
    if (!ReadStoredList(r, loaded, reset))
        return false;
    if (!list->TakeAll(loaded)) {
        LOG_MSG("Out of memory !");
        return false;
    }
    if (used)
        *used = r.Position();
    return true;
}

bool VariableManager::LoadList(CVarList* list, ITeskStream* stream, bool reset) {
    if (!list || !stream || stream->IsMeasuring())
        return false;
    ULONGLONG start = stream->GetPosition();
    ULONGLONG size = stream->GetSize();
    if (start > size) {
        LOG_MSG("LoadList: stream position %llu beyond size %llu", (unsigned long long)start,
                (unsigned long long)size);
        return false;
    }
    CStreamListSource r(stream, size - start);
    CVarList loaded;
    bool ok;
    try {
        ok = ReadStoredList(r, loaded, reset);
    } catch (...) {
        // Short reads throw; the list is refused like any damaged one.
        LOG_MSG("LoadList: variable list not read");
        ok = false;
    }
    if (ok && !list->TakeAll(loaded)) {
        LOG_MSG("Out of memory !");
        ok = false;
    }
    stream->Seek((LONGLONG)(ok ? start + r.Position() : start), 0);
    return ok;
}

bool VariableManager::SaveToIni(const char* iniPath, const char* section, const char* names) {
    if (!iniPath || !section || !names || !m_global)
        return false;
    std::vector<std::string> items;
    if (FAILED(SplitParamList(names, items)))
        return false;
    for (const std::string& name : items) {
        if (name.empty())
            continue;
        int index = m_global->Find(name.c_str());
        if (index < 0)
            continue;
        VARIANT* v = m_global->GetValue(index);
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeType(&text, v, 0, VT_BSTR)))
            continue;
        std::string value =
            std::to_string((unsigned)V_VT(v)) + "," + MultibyteFromBstr(V_BSTR(&text));
        VariantClear(&text);
        WritePrivateProfileStringA(section, name.c_str(), value.c_str(), iniPath);
    }
    return true;
}

bool VariableManager::LoadFromIni(const char* iniPath, const char* section, const char* names) {
    if (!iniPath || !section || !names || !m_global)
        return false;
    std::vector<std::string> items;
    if (FAILED(SplitParamList(names, items)))
        return false;
    bool loaded = false;
    for (const std::string& name : items) {
        if (name.empty())
            continue;
        int index = m_global->Find(name.c_str());
        if (index < 0)
            continue;
        char value[260];
        GetPrivateProfileStringA(section, name.c_str(), "", value, sizeof(value), iniPath);
        const char* comma = strchr(value, ',');
        if (!comma || !comma[1])
            continue;
        VARTYPE type = (VARTYPE)(ScriptAtoi(value) & 0xFFFF);
        VARIANT text;
        V_VT(&text) = VT_BSTR;
        V_BSTR(&text) = BstrFromMultibyte(comma + 1, strlen(comma + 1));
        VARIANT converted;
        VariantInit(&converted);
        HRESULT hr = VariantChangeType(&converted, &text, 0, type);
        VariantClear(&text);
        if (FAILED(hr))
            continue;
        VARIANT* target = m_global->GetValue(index);
        VariantClear(target);
        *target = converted;
        loaded = true;
    }
    return loaded;
}
