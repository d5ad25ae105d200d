#include "aBaseCore.h"

#include <oleauto.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "aDBDialogs.h"
#include "aDBModule.h"
#include "aDBResource.h"
#include "bExpression.h"
#include "bMediaManager.h"
#include "bPlayerSite.h"
#include "bStrConv.h"

namespace {

const int kMoveLast = DB_MOVE_LAST;

// Multibyte-aware name comparison without case.
bool SameName(const std::string& a, const char* b) {
    // Folding case keeps a name's byte length: only equal lengths can match,
    // and equal bytes match without asking the system.
    size_t n = strlen(b);
    if (n != a.size())
        return false;
    if (memcmp(a.data(), b, n) == 0)
        return true;
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.c_str(), (int)a.size(), b,
                          (int)n) == CSTR_EQUAL;
}

// Copies text into a fixed field, cut without splitting a character; a text
// of the field's whole size leaves no NUL.
void CopyField(char* field, size_t size, const char* text) {
    if (text)
        memcpy(field, text, MbCutLength(text, size));
}

// A whole number in decimal, as "%d" writes it: grids format one per cell.
void Decimal(long long v, std::string* out) {
    char digits[24];
    char* p = digits + sizeof(digits);
    unsigned long long u = v < 0 ? 0ULL - (unsigned long long)v : (unsigned long long)v;
    do {
        *--p = (char)('0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0)
        *--p = '-';
    out->assign(p, digits + sizeof(digits) - p);
}

// Effective position of a descriptor, without overflow: -1 when negative.
int64_t EffectivePosition(const DataSourceDescriptor* d, const DataSourceEntry* e) {
    int64_t p = d->position;
    if (d->relative == 1)
        p += e->position;
    return p;
}

}  // namespace

std::string FieldText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

CDBCore::CDBCore() {}

CDBCore::~CDBCore() {
    for (auto& e : m_tables) CloseEntry(e.get());
    for (auto& e : m_queries) CloseEntry(e.get());
    m_tables.clear();
    m_queries.clear();
    try {
        if (m_database)
            m_database->Close();
    } catch (const CdbException&) {
    }
    m_database.reset();
    m_workspace.reset();
    m_engine.reset();
    if (m_site)
        m_site->Release();
    m_site = nullptr;
    // The manager windows must not reach a core that is gone.
    if (GetDBCore() == this)
        SetDBCore(nullptr);
}

void CDBCore::SetSite(IPlayerSite* site) {
    if (site)
        site->AddRef();
    if (m_site)
        m_site->Release();
    m_site = site;
}

void CDBCore::ShowEngineError(const CdbException& e) {
    DB_LOG("Database engine error %ld: %s", e.Number(), e.Description().c_str());
    DBMessageBox(e.Description());
}

// ---- opening

int CDBCore::OpenDatabaseCore(const char* path, const char* workgroupPath, const char* password,
                              BOOL exclusive, BOOL multiUser, BOOL justCreated, BOOL readOnly) {
    DB_TRACE_POINT();
    m_multiUser = multiUser;
    std::string file = path ? path : "";
    if (!m_engine)
        m_engine.reset(new CdbDBEngine());
    if (multiUser)
        m_engine->SetSystemDB(workgroupPath ? workgroupPath : "");
    std::string connect = std::string(";pwd=") + (password ? password : "");
    bool prompt = false;
    auto askAgain = [&]() { return DBMessageBox(IDS_DB_WRONG_PASSWORD, MB_OKCANCEL) == IDOK; };
    auto promptPassword = [&]() {
        CDBPasswordPromptDlg dlg;
        dlg.DoModal(nullptr);
        connect = ";pwd=" + dlg.m_password;
    };
    if (multiUser && !justCreated) {
        for (;;) {
            CUserInfoDlg login;
            login.m_mode = 1;
            login.DoModal(nullptr);
            try {
                m_workspace.reset(new CdbWorkspace(m_engine.get(), "MavroWorkspace", login.m_name,
                                                   login.m_second));
                break;
            } catch (const CdbException& e) {
                ShowEngineError(e);
                if (e.Number() == dbErrBadAccount && askAgain())
                    continue;
                return 0;
            }
        }
    } else {
        try {
            m_workspace.reset(new CdbWorkspace(m_engine.get(), "MavroWorkspace", "admin", ""));
        } catch (const CdbException& e) {
            ShowEngineError(e);
            return 0;
        }
    }
    bool fallback = !multiUser;
    for (;;) {
        if (prompt)
            promptPassword();
        try {
            m_database = m_workspace->OpenDatabase(file, exclusive != 0, readOnly != 0, connect);
            break;
        } catch (const CdbException& e) {
            if (e.Number() == dbErrBadPassword) {
                if (multiUser)
                    ShowEngineError(e);
                if (askAgain()) {
                    prompt = true;
                    continue;
                }
                return 0;
            }
            if (e.Number() == dbErrFileInUse && fallback) {
                fallback = false;
                exclusive = TRUE;
                readOnly = TRUE;
                continue;
            }
            ShowEngineError(e);
            return 0;
        }
    }
    // A database just made for several users gets its first permissions.
    if (multiUser && justCreated && !CreateNewDatabase())
        return 0;
    return FillLists();
}

int CDBCore::FillLists() {
    try {
        for (const CdbTableDefInfo& t : m_database->TableDefs()) {
            if (t.attributes & dbSystemObject)
                continue;
            std::unique_ptr<DataSourceEntry> e(new DataSourceEntry());
            e->name = t.name;
            e->kind = (t.attributes & dbAttachedTable)  ? 1
                      : (t.attributes & dbAttachedODBC) ? 2
                                                        : -1;
            m_tables.push_back(std::move(e));
        }
        for (const CdbQueryDefInfo& q : m_database->QueryDefs()) {
            std::unique_ptr<DataSourceEntry> e(new DataSourceEntry());
            e->name = q.name;
            e->kind = q.type;
            m_queries.push_back(std::move(e));
        }
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    // Linked files lie where the project's media manager says now.
    for (size_t i = 0; i < m_tables.size(); ++i)
        if (m_tables[i]->kind == 1 && !m_database->IsReadOnly())
            RefreshLinkedTablePath(m_tables[i]->name.c_str());
    return 1;
}

static DataSourceEntry* FindByName(const std::vector<std::unique_ptr<DataSourceEntry>>& list,
                                   const char* name) {
    if (!name)
        return nullptr;
    for (auto& e : list)
        if (e && SameName(e->name, name))
            return e.get();
    return nullptr;
}

DataSourceEntry* CDBCore::FindTableByName(const char* name) {
    return FindByName(m_tables, name);
}

DataSourceEntry* CDBCore::FindQueryByName(const char* name) {
    return FindByName(m_queries, name);
}

bool PostBrowserRefresh(HWND browser, WPARAM kind, int col, int row) {
    BrowserRefreshRecord* record = new BrowserRefreshRecord{col, row};
    if (browser && PostMessageA(browser, BrowserRefreshMessage, kind, (LPARAM)record))
        return true;
    delete record;
    return false;
}

void CloseBrowserWindow(HWND browser) {
    if (!browser || !IsWindow(browser))
        return;
    SendMessageA(browser, WM_CLOSE, 0, 0);
    if (IsWindow(browser))
        DestroyWindow(browser);
}

DataSourceEntry* CDBCore::FindEntry(const DataSourceDescriptor* d) {
    std::string name = FieldText(d->sourceName, sizeof(d->sourceName));
    return d->isQuery == 1 ? FindQueryByName(name.c_str()) : FindTableByName(name.c_str());
}

void CDBCore::CloseEntry(DataSourceEntry* entry) {
    if (!entry)
        return;
    if (HWND browser = entry->browser)
        CloseBrowserWindow(browser);
    entry->browser = nullptr;
    if (entry->recordset) {
        try {
            entry->recordset->Close();
        } catch (const CdbException&) {
        }
        entry->recordset.reset();
    }
}

static void SettleCount(DataSourceEntry* entry) {
    CdbRecordset* rs = entry->recordset.get();
    if (rs->GetBOF() && rs->GetEOF()) {
        entry->recordCount = 0;
        if (entry->position == kMoveLast)
            entry->position = 0;
    } else {
        rs->MoveLast();
        entry->recordCount = (int)rs->GetRecordCount();
        if (entry->position == kMoveLast)
            entry->position = entry->recordCount - 1;
    }
    entry->busy = 0;
}

// Requeries a source and counts its records again (it ends on the last).
static void Recount(DataSourceEntry* entry) {
    CdbRecordset* rs = entry->recordset.get();
    rs->Requery();
    if (!(rs->GetBOF() && rs->GetEOF()))
        rs->MoveLast();
    entry->recordCount = (int)rs->GetRecordCount();
}

// Drops the edit a failed write left; the write's own error is the one reported.
static void CancelQuietly(CdbRecordset* rs) {
    try {
        rs->CancelUpdate();
    } catch (const CdbException&) {
    }
}

int CDBCore::OpenEntry(DataSourceDescriptor* d, DataSourceEntry* entry) {
    if (entry->recordset)
        return 1;
    return d->isQuery == 1 ? OpenQuerySource(entry) : OpenTableSource(entry);
}

CdbRecordset* CDBCore::WritableRecordset(DataSourceDescriptor* d, DataSourceEntry** entry,
                                         int* code) {
    *code = 0;
    DataSourceEntry* e = FindEntry(d);
    if (!e)
        return nullptr;
    if (e->busy && (d->isQuery == 1 || !e->recordset)) {
        *code = 2;
        return nullptr;
    }
    if (!OpenEntry(d, e))
        return nullptr;
    CdbRecordset* rs = e->recordset.get();
    if (!rs->GetUpdatable())
        return nullptr;
    *entry = e;
    return rs;
}

int CDBCore::WriteFailure(const CdbException& e, bool query) {
    long n = e.Number();
    if (!query || (n != dbErrRecordDeleted && n != dbErrLocked && n != dbErrItemNotFound))
        ShowEngineError(e);
    if (n == dbErrRecordDeleted)
        return 3;
    if (n == dbErrWriteConflict && !query)
        return 7;
    if (n == dbErrLocked)
        return 4;
    if (n == dbErrItemNotFound)
        return 5;
    return 0;
}

void CDBCore::ReportAddedMedia(const FieldValuePair* pairs, int count) {
    // A field named by several pairs holds the last one's value: only that
    // name is stored, and it is reported once.
    std::vector<const FieldValuePair*> list;
    for (int i = 0; i < count; ++i) {
        std::string name = FieldText(pairs[i].fieldName, sizeof(pairs[i].fieldName));
        bool replaced = false;
        for (int j = i + 1; j < count && !replaced; ++j)
            replaced =
                SameName(name, FieldText(pairs[j].fieldName, sizeof(pairs[j].fieldName)).c_str());
        if (!replaced)
            list.push_back(&pairs[i]);
    }
    ReportMediaNames(list.data(), (int)list.size(), 1);
}

int CDBCore::OpenTableSource(DataSourceEntry* entry) {
    if (!m_database)
        return 0;
    try {
        entry->recordset = m_database->OpenTable(entry->name);
        SettleCount(entry);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        entry->recordset.reset();
        return 0;
    }
}

int CDBCore::OpenQuerySource(DataSourceEntry* entry) {
    if (!m_database)
        return 0;
    CloseEntry(entry);
    std::vector<CdbParameter> params;
    try {
        params = m_database->QueryParameters(entry->name);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    if (!PrepareQryParam(entry->name, &params))
        return 0;
    try {
        entry->recordset = m_database->OpenQuery(entry->name, params);
        SettleCount(entry);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        if (entry->recordset) {
            try {
                entry->recordset->Close();
            } catch (const CdbException&) {
            }
        }
        entry->recordset.reset();
        return 0;
    }
}

// ---- query parameters

int CDBCore::PrepareQryParam(const std::string& query, std::vector<CdbParameter>* params) {
    bool oldQuery = false;
    try {
        VARIANT v;
        VariantInit(&v);
        m_database->GetProperty(query, "", "OLD_QRY", &v);
        VariantClear(&v);
        oldQuery = true;
    } catch (const CdbException&) {
        // Only means the property is absent.
    }
    if (params->empty())
        return 1;
    IExpression* evaluator = nullptr;
    if (!m_site || FAILED(m_site->GetExpression(&evaluator)) || !evaluator)
        return 0;
    for (CdbParameter& p : *params) {
        std::string name = p.name;
        if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
            name = name.substr(1, name.size() - 2);
        int type = p.type;
        std::string expression = name;
        bool refuse = false;
        if (oldQuery) {
            expression.clear();
            DWORD kind = 0;
            if (m_site->FindObject(name.c_str(), &kind) == S_OK) {
                if (kind == 0x10000)
                    expression = name + ".ObjContent";
                else if (kind == 0x2020004 || kind == 0x2020005)
                    expression = name + ".ObjValue";
                else
                    refuse = true;
                type = (int)kind;
            }
        }
        VARIANT value;
        VariantInit(&value);
        try {
            evaluator->Evaluate(expression.c_str(), &value);
        } catch (...) {
            if (oldQuery)
                DB_LOG("In CDBCore::PrepareQryParam call pICal->Evaluate failed: '%s'",
                       expression.c_str());
            else
                DB_LOG("In CDBCore::PrepareQryParam: Call pICal->Evaluate failed(exception): '%s'",
                       name.c_str());
            VariantClear(&value);
            return 0;
        }
        if (refuse) {
            VariantClear(&value);
            return 0;
        }
        if (V_VT(&value) == VT_BSTR && type != dbDate) {
            // The layer takes texts as ANSI bytes.
            std::string ansi = MultibyteFromWide(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
            VariantClear(&value);
            V_VT(&value) = VT_BSTR;
            V_BSTR(&value) = SysAllocStringByteLen(ansi.data(), (UINT)ansi.size());
        }
        int ok = SetParameterValue(&p, &value);
        VariantClear(&value);
        if (!ok)
            return 0;
    }
    return 1;
}

int CDBCore::SetParameterValue(CdbParameter* parameter, const VARIANT* value) {
    if (parameter->type == dbDate) {
        std::string text;
        if (V_VT(value) == VT_BSTR && V_BSTR(value))
            text = MultibyteFromWide(V_BSTR(value), lstrlenW(V_BSTR(value)));
        size_t s1 = text.find('/');
        if (s1 == std::string::npos)
            return 0;
        size_t s2 = text.find('/', s1 + 1);
        if (s2 == std::string::npos)
            return 0;
        int y = atoi(text.substr(0, s1).c_str());
        int m = atoi(text.substr(s1 + 1, s2 - s1 - 1).c_str());
        int d = atoi(text.substr(s2 + 1).c_str());
        SYSTEMTIME st = {};
        st.wYear = (WORD)y;
        st.wMonth = (WORD)m;
        st.wDay = (WORD)d;
        double date = 0;
        if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31 ||
            !SystemTimeToVariantTime(&st, &date))
            return 0;
        VariantClear(&parameter->value);
        V_VT(&parameter->value) = VT_DATE;
        V_DATE(&parameter->value) = date;
        return 1;
    }
    return SUCCEEDED(VariantCopy(&parameter->value, const_cast<VARIANT*>(value))) ? 1 : 0;
}

// ---- reading

int CDBCore::GetFieldCount(DataSourceDescriptor* d) {
    if (!m_database)
        return -1;
    std::string name = FieldText(d->sourceName, sizeof(d->sourceName));
    try {
        if (d->isQuery == 1)
            return (int)m_database->QueryFields(name).size();
        return (int)m_database->TableFields(name).size();
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return -1;
    }
}

int CDBCore::GetFieldName(DataSourceDescriptor* d, int index) {
    if (!m_database || index < 0)
        return 0;
    std::string name = FieldText(d->sourceName, sizeof(d->sourceName));
    try {
        std::vector<CdbFieldInfo> fields =
            d->isQuery == 1 ? m_database->QueryFields(name) : m_database->TableFields(name);
        if (index >= (int)fields.size())
            ThrowDbError(dbErrItemNotFound);
        memset(d->fieldName, 0, sizeof(d->fieldName));
        CopyField(d->fieldName, sizeof(d->fieldName) - 1, fields[(size_t)index].name.c_str());
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

// The table field behind a descriptor's field; a query's long-binary field
// leads to its source table.
bool CDBCore::TableFieldOf(DataSourceDescriptor* d, CdbFieldInfo* field, std::string* table,
                           bool* fromQuery) {
    std::string source = FieldText(d->sourceName, sizeof(d->sourceName));
    std::string fieldName = FieldText(d->fieldName, sizeof(d->fieldName));
    *fromQuery = d->isQuery == 1;
    std::vector<CdbFieldInfo> fields =
        *fromQuery ? m_database->QueryFields(source) : m_database->TableFields(source);
    for (const CdbFieldInfo& f : fields) {
        if (!SameName(f.name, fieldName.c_str()))
            continue;
        *field = f;
        *table = source;
        if (*fromQuery && f.type == dbLongBinary && !f.sourceTable.empty()) {
            *table = f.sourceTable;
            for (const CdbFieldInfo& t : m_database->TableFields(f.sourceTable))
                if (SameName(t.name, f.sourceField.c_str()))
                    *field = t;
        }
        return true;
    }
    ThrowDbError(dbErrItemNotFound, fieldName);
}

int CDBCore::GetFieldType(DataSourceDescriptor* d, int* type) {
    if (!type)
        return 0;
    std::string fieldName = FieldText(d->fieldName, sizeof(d->fieldName));
    if (fieldName == "*") {
        *type = -1;
        return 1;
    }
    if (!m_database)
        return 0;
    try {
        CdbFieldInfo f;
        std::string table;
        bool fromQuery;
        TableFieldOf(d, &f, &table, &fromQuery);
        *type = f.type;
        if (f.type == dbLongBinary) {
            VARIANT v;
            VariantInit(&v);
            try {
                m_database->GetProperty(table, f.name, DBLoadString(IDS_DB_MEDIATYPE_PROP), &v);
                VARIANT l;
                VariantInit(&l);
                if (SUCCEEDED(VariantChangeType(&l, &v, 0, VT_I4)))
                    *type = V_I4(&l);
                VariantClear(&v);
            } catch (const CdbException& e) {
                if (e.Number() == dbErrPropertyNotFound)
                    *type = 1030;
            }
        }
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::ReadFieldValue(DataSourceEntry* entry, DataSourceDescriptor* d, int isQuery,
                            VARIANT* value) {
    int64_t pos = EffectivePosition(d, entry);
    if (pos > (int64_t)entry->recordCount - 1)
        return 3;
    CdbRecordset* rs = entry->recordset.get();
    try {
        rs->SetAbsolutePosition((long)(pos < 0 ? -1 : pos));
    } catch (const CdbException&) {
        return 3;
    }
    std::string fieldName = FieldText(d->fieldName, sizeof(d->fieldName));
    try {
        VARIANT v;
        rs->GetValue(fieldName, &v);
        VariantClear(value);
        *value = v;
        return 1;
    } catch (const CdbException& e) {
        if (e.Number() == dbErrRecordDeleted) {
            try {
                rs->Requery();
                if (!(rs->GetBOF() && rs->GetEOF()))
                    rs->MoveLast();
                entry->recordCount = (int)rs->GetRecordCount();
            } catch (const CdbException&) {
                return 4;
            }
            std::string object = FieldText(d->objectName, sizeof(d->objectName));
            if (object.empty() && entry->browser)
                PostBrowserRefresh(entry->browser, 2, 1, 1);
            PostNotice(entry->name.c_str(), fieldName.c_str(), object.c_str(), isQuery, 1);
            return 2;
        }
        if (e.Number() == 3018)
            return 6;
        return 5;
    }
}

int CDBCore::GetFieldValue(DataSourceDescriptor* d, VARIANT* value) {
    DataSourceEntry* entry = FindEntry(d);
    if (!entry || entry->busy || !OpenEntry(d, entry))
        return 0;
    int code = ReadFieldValue(entry, d, d->isQuery == 1, value);
    static const int tableCodes[] = {0, 1, 4, 5, 6, 7, 8};
    static const int queryCodes[] = {0, 1, 4, 5, 0, 0, 8};
    if (code < 0 || code > 6)
        return 0;
    return d->isQuery == 1 ? queryCodes[code] : tableCodes[code];
}

int CDBCore::ReadRecordTexts(DataSourceDescriptor* d, int count, const char* const* names,
                             const int* types, int fields, std::string* out) {
    DataSourceEntry* entry = FindEntry(d);
    if (!entry || entry->busy || !OpenEntry(d, entry))
        return 0;
    CdbRecordset* rs = entry->recordset.get();
    std::vector<int> index((size_t)fields);
    try {
        for (int f = 0; f < fields; ++f)
            index[(size_t)f] = rs->FieldIndex(std::string(names[f], strnlen(names[f], 63)));
    } catch (const CdbException&) {
        return 0;  // a field the source lacks: read one by one, it fails as it always did
    }
    const int64_t first = EffectivePosition(d, entry);
    std::string text;
    int read = 0;
    for (; read < count; ++read) {
        const int64_t pos = first + read;
        if (pos < 0 || pos > (int64_t)entry->recordCount - 1)
            break;
        const size_t mark = out->size();
        try {
            rs->SetAbsolutePosition((long)pos);
            for (int f = 0; f < fields; ++f) {
                VARIANT v;
                rs->GetValue(index[(size_t)f], &v);
                VariantText(&v, types[f], &text, nullptr);
                VariantClear(&v);
                out->append(text.c_str());
                out->push_back('\0');
            }
        } catch (const CdbException&) {
            out->resize(mark);
            break;
        }
    }
    return read;
}

int CDBCore::GetRecordCount(DataSourceDescriptor* d, int* count) {
    DataSourceEntry* entry = FindEntry(d);
    if (!entry || !count)
        return 0;
    if (!OpenEntry(d, entry))
        return 0;
    *count = entry->recordCount;
    return 1;
}

int CDBCore::GetRecordPosition(DataSourceDescriptor* d, int* position) {
    DataSourceEntry* entry = FindEntry(d);
    if (!entry || !position)
        return 0;
    if (!OpenEntry(d, entry))
        return 0;
    *position = entry->position;
    return 1;
}

int CDBCore::IsUpdatable(DataSourceDescriptor* d) {
    DataSourceEntry* entry = FindEntry(d);
    if (!entry)
        return -1;
    if (!OpenEntry(d, entry))
        return -1;
    return entry->recordset->GetUpdatable() ? 1 : 0;
}

int CDBCore::DeleteRecord(DataSourceDescriptor* d) {
    DataSourceEntry* entry = FindEntry(d);
    if (!entry || entry->busy || !entry->recordset)
        return 0;
    int64_t pos = EffectivePosition(d, entry);
    CdbRecordset* rs = entry->recordset.get();
    if (pos < 0 || pos > (int64_t)entry->recordCount - 1 || !rs->GetUpdatable())
        return 0;
    FieldValueList names;
    CollectLinkedMediaValues(&names, rs, (long)pos, d);
    try {
        rs->SetAbsolutePosition((long)pos);
        rs->Delete();
        entry->recordCount -= 1;
        PostNotice(entry->name.c_str(), nullptr,
                   FieldText(d->objectName, sizeof(d->objectName)).c_str(), d->isQuery, 1);
        if (m_site && GetMediaManager())
            ReportMediaNames(names.data(), (int)names.size(), 2);
        ClearValueList(&names);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        ClearValueList(&names);
        return 0;
    }
}

void CDBCore::VariantToText(const VARIANT* value, std::string* text, int fieldType) {
    if (fieldType == dbMemo) {
        *text = V_VT(value) == VT_NULL || V_VT(value) == VT_EMPTY ? "" : DBLoadString(IDS_DB_MEMO);
        return;
    }
    if (fieldType >= 1024 && fieldType <= 1029) {
        *text = DBLoadString(IDS_DB_PICTURE + (fieldType - 1024));
        return;
    }
    if (fieldType == 1030) {
        *text = DBLoadString(IDS_DB_BINARY_STREAM);
        return;
    }
    char* buffer = nullptr;
    int flag = 0;
    if (V_VT(value) == VT_BOOL) {
        *text = V_BOOL(value) ? "1" : "0";
        return;
    }
    if (V_VT(value) == VT_EMPTY || V_VT(value) == VT_NULL) {
        text->clear();
        return;
    }
    if (VariantToTextBuffer(value, &buffer, fieldType, &flag)) {
        *text = buffer;
        free(buffer);
    } else if (V_VT(value) == VT_DATE || V_VT(value) == VT_BSTR) {
        text->clear();
    }
}

// ---- moves and notices

void CDBCore::PostNotice(const char* sourceName, const char* fieldName, const char* objectName,
                         int isQuery, int kind) {
    DataSourceNotice* n = new (std::nothrow) DataSourceNotice();
    if (!n)
        return;
    CopyField(n->sourceName, sizeof(n->sourceName), sourceName);
    CopyField(n->fieldName, sizeof(n->fieldName), fieldName);
    CopyField(n->objectName, sizeof(n->objectName), objectName);
    n->isQuery = isQuery;
    n->kind = kind;
    // A notice nobody receives is ours to free.
    if (!m_window || !PostMessageA(m_window, WM_DB_NOTICE, 1, (LPARAM)n)) {
        DB_LOG("Data source notice %d of '%s' not posted", kind, n->sourceName);
        delete n;
    }
}

int CDBCore::MoveToRecord(DataSourceDescriptor* d) {
    DataSourceEntry* entry = FindEntry(d);
    if (!entry || d->position < 0)
        return 0;
    switch (d->position) {
        case DB_MOVE_FIRST:
            entry->position = 0;
            break;
        case DB_MOVE_PREVIOUS:
            entry->position = entry->position > 0 ? entry->position - 1 : 0;
            break;
        case DB_MOVE_NEXT:
            // Past the end is allowed; readers refuse it. It stops short of overflow.
            if (entry->position < INT_MAX)
                entry->position += 1;
            break;
        case DB_MOVE_LAST:
            entry->position = entry->recordset ? entry->recordCount - 1 : DB_MOVE_LAST;
            break;
        default:
            entry->position = d->position;
            break;
    }
    PostNotice(entry->name.c_str(), nullptr,
               FieldText(d->objectName, sizeof(d->objectName)).c_str(), d->isQuery, 6);
    return 1;
}

// ---- single-field writes

int CDBCore::SetFieldValue(DataSourceDescriptor* d, VARIANT* value) {
    bool query = d->isQuery == 1;
    DataSourceEntry* entry = nullptr;
    int code = 0;
    CdbRecordset* rs = WritableRecordset(d, &entry, &code);
    if (!rs)
        return code;
    int64_t pos = EffectivePosition(d, entry);
    if (!query && pos > (int64_t)entry->recordCount - 1)
        return 6;
    std::string fieldName = FieldText(d->fieldName, sizeof(d->fieldName));
    try {
        rs->SetAbsolutePosition(pos < 0 || pos > LONG_MAX ? -1 : (long)pos);
        rs->Edit();
        rs->SetValue(fieldName, *value);
        rs->Update();
        return 1;
    } catch (const CdbException& e) {
        code = WriteFailure(e, query);
        if (code == 3 && !query) {
            try {
                Recount(entry);
            } catch (const CdbException&) {
            }
        }
        return code;
    }
}

int CDBCore::AddEmptyRecord(DataSourceDescriptor* d, VARIANT* value) {
    DataSourceEntry* entry = FindEntry(d);
    if (!entry || entry->busy || !entry->recordset)
        return 0;
    CdbRecordset* rs = entry->recordset.get();
    try {
        if (!rs->GetUpdatable())
            return 0;
        rs->AddNew();
        if (value)
            rs->SetValue(FieldText(d->fieldName, sizeof(d->fieldName)), *value);
        rs->Update();
        entry->recordCount = (int)rs->GetRecordCount();
        return 1;
    } catch (const CdbException& e) {
        CancelQuietly(rs);
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::CloseDataSource(DataSourceDescriptor* d) {
    std::string name = FieldText(d->sourceName, sizeof(d->sourceName));
    auto& list = d->isQuery == 1 ? m_queries : m_tables;
    for (auto& e : list) {
        if (!e || e->name != name)
            continue;
        if (e->recordset) {
            try {
                e->recordset->Close();
            } catch (const CdbException& ex) {
                ShowEngineError(ex);
                e->recordset.reset();
                return 0;
            }
            e->recordset.reset();
            e->recordCount = -1;
        }
        return 1;
    }
    return 0;
}

int CDBCore::ChangeQuerySQL(const char* sql, const char* query) {
    if (!m_database || !sql || !query)
        return 0;
    std::string old;
    try {
        old = m_database->GetQuerySQL(query);
        if (old == sql)
            return 1;
        m_database->SetQuerySQL(query, sql);
        int type = m_database->GetQueryType(query);
        if (type == dbQSelect || type == dbQCrosstab || type == dbQSetOperation)
            return 1;
        DBMessageBox(IDS_DB_BAD_QUERY_TYPE);
        m_database->SetQuerySQL(query, old);
        return 0;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

// ---- lookups and moves of the automation interface

int CDBCore::GetTableNameAt(std::string* name, std::string* error, int index) {
    if (index < 0 || index >= (int)m_tables.size()) {
        *error = DBLoadString(IDS_DB_BAD_TABLE_INDEX);
        return 0;
    }
    *name = m_tables[(size_t)index]->name;
    return 1;
}

int CDBCore::GetQueryNameAt(std::string* name, std::string* error, int index) {
    if (index < 0 || index >= (int)m_queries.size()) {
        *error = DBLoadString(IDS_DB_BAD_QUERY_INDEX);
        return 0;
    }
    *name = m_queries[(size_t)index]->name;
    return 1;
}

int CDBCore::FindDataSource(const char* name, int isQuery, int* flag) {
    DataSourceEntry* e = isQuery ? FindQueryByName(name) : FindTableByName(name);
    if (!e)
        return 0;
    *flag = isQuery ? 1 : 0;
    return 1;
}

int CDBCore::EnsureTableOpen(DataSourceDescriptor* d, std::string* error) {
    DataSourceEntry* e = FindTableByName(FieldText(d->sourceName, sizeof(d->sourceName)).c_str());
    if (!e) {
        if (error)
            *error = DBLoadString(IDS_DB_NO_SUCH_TABLE);
        return 0;
    }
    return e->recordset ? 1 : OpenTableSource(e);
}

int CDBCore::EnsureQueryOpen(DataSourceDescriptor* d, std::string* error) {
    DataSourceEntry* e = FindQueryByName(FieldText(d->sourceName, sizeof(d->sourceName)).c_str());
    if (!e) {
        if (error)
            *error = DBLoadString(IDS_DB_NO_SUCH_TABLE);
        return 0;
    }
    return e->recordset ? 1 : OpenQuerySource(e);
}

int CDBCore::MoveSourceFirst(DataSourceDescriptor* d) {
    DataSourceEntry* e = FindEntry(d);
    if (!e || !e->recordset)
        return 0;
    e->position = 0;
    return 1;
}

int CDBCore::MoveSourceLast(DataSourceDescriptor* d) {
    DataSourceEntry* e = FindEntry(d);
    if (!e || !e->recordset)
        return 0;
    try {
        CdbRecordset* rs = e->recordset.get();
        if (!(rs->GetBOF() && rs->GetEOF()))
            rs->MoveLast();
        int count = (int)rs->GetRecordCount();
        if (count != e->recordCount)
            e->recordCount = count;
        // The last record, counted from 0 as every reader counts.
        e->position = count > 0 ? count - 1 : 0;
        return 1;
    } catch (const CdbException& ex) {
        ShowEngineError(ex);
        return 0;
    }
}

// ---- whole-record writes

void CDBCore::SetPairs(CdbRecordset* rs, const FieldValuePair* pairs, int count) {
    for (int i = 0; i < count; ++i)
        rs->SetValue(FieldText(pairs[i].fieldName, sizeof(pairs[i].fieldName)), pairs[i].value);
}

int CDBCore::AddNewRecord(DataSourceDescriptor* d, const FieldValuePair* pairs, int count) {
    DataSourceEntry* entry = FindEntry(d);
    if (!entry || !entry->recordset || entry->busy)
        return 0;
    CdbRecordset* rs = entry->recordset.get();
    if (!rs->GetUpdatable() || count <= 0 || !pairs)
        return 0;
    try {
        rs->AddNew();
        SetPairs(rs, pairs, count);
        rs->Update();
        if (m_site && GetMediaManager())
            ReportAddedMedia(pairs, count);
        entry->recordCount = (int)rs->GetRecordCount();
        PostNotice(entry->name.c_str(), nullptr,
                   FieldText(d->objectName, sizeof(d->objectName)).c_str(), d->isQuery, 2);
        return 1;
    } catch (const CdbException& e) {
        CancelQuietly(rs);
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::UpdateRecord(DataSourceDescriptor* d, const FieldValuePair* pairs, int count) {
    if (count <= 0 || !pairs)
        return 0;
    bool query = d->isQuery == 1;
    DataSourceEntry* entry = nullptr;
    int code = 0;
    CdbRecordset* rs = WritableRecordset(d, &entry, &code);
    if (!rs)
        return code;
    int64_t target = EffectivePosition(d, entry);
    if (target > (int64_t)entry->recordCount - 1)
        return 6;
    FieldValueList previous;
    CapturePreviousValues(rs, &previous, pairs, count, target < 0 ? -1 : (long)target);
    std::string object = FieldText(d->objectName, sizeof(d->objectName));
    try {
        rs->SetAbsolutePosition(target < 0 ? -1 : (long)target);
        rs->Edit();
        SetPairs(rs, pairs, count);
        rs->Update();
        PostNotice(entry->name.c_str(), nullptr, object.c_str(), d->isQuery, 3);
        if (m_site && GetMediaManager()) {
            ReportMediaNames(previous.data(), (int)previous.size(), 2);
            ReportAddedMedia(pairs, count);
        }
        ClearValueList(&previous);
        return 1;
    } catch (const CdbException& e) {
        CancelQuietly(rs);
        code = WriteFailure(e, query);
        if (code == 3) {
            try {
                Recount(entry);
                if (object.empty() && entry->browser)
                    PostBrowserRefresh(entry->browser, 2, 1, 1);
                PostNotice(entry->name.c_str(),
                           query ? FieldText(d->fieldName, sizeof(d->fieldName)).c_str() : nullptr,
                           object.c_str(), d->isQuery, 1);
            } catch (const CdbException&) {
            }
        }
        ClearValueList(&previous);
        return code;
    }
}

int CDBCore::SafeArrayToText(const VARIANT* value, int linkFlag, std::string* text) {
    if (V_VT(value) == VT_EMPTY || V_VT(value) == VT_NULL) {
        text->clear();
        return 1;
    }
    if (!(V_VT(value) & VT_ARRAY))
        return 1;
    SAFEARRAY* a = (V_VT(value) & VT_BYREF) ? (V_ARRAYREF(value) ? *V_ARRAYREF(value) : nullptr)
                                            : V_ARRAY(value);
    void* data = nullptr;
    if (!a || FAILED(SafeArrayAccessData(a, &data)) || !data) {
        if (a && data)
            SafeArrayUnaccessData(a);
        text->clear();
        return 0;
    }
    // The name is read within the array's bytes, never past them.
    size_t bytes = a->cbElements;
    for (UINT dim = 0; dim < a->cDims; ++dim) bytes *= a->rgsabound[dim].cElements;
    size_t offset = linkFlag ? 0 : 4;
    text->clear();
    if (bytes > offset) {
        const char* p = (const char*)data + offset;
        text->assign(p, strnlen(p, bytes - offset));
    }
    SafeArrayUnaccessData(a);
    return 1;
}

int CDBCore::ReportMediaNames(const FieldValuePair* const* list, int count, int direction) {
    for (int i = 0; i < count; ++i) {
        const FieldValuePair* p = list[i];
        if (!p || !p->linkFlag)
            continue;
        std::string text;
        if (!SafeArrayToText(&p->value, p->linkFlag, &text) || text.empty() || !m_site)
            continue;
        IMediaManager* media = GetMediaManager();
        if (!media)
            continue;
        if (direction == 1)
            media->MediaNameStored(text.c_str());
        else
            media->MediaNameRemoved(text.c_str());
    }
    return 1;
}

IMediaManager* CDBCore::GetMediaManager() {
    IMediaManager* media = nullptr;
    if (m_site)
        m_site->GetMediaManager(&media);
    return media;
}

void CDBCore::CapturePreviousValues(CdbRecordset* rs, FieldValueList* previous,
                                    const FieldValuePair* pairs, int count, long position) {
    for (int i = 0; i < count; ++i) {
        if (!pairs[i].linkFlag)
            continue;
        std::string name = FieldText(pairs[i].fieldName, sizeof(pairs[i].fieldName));
        try {
            rs->SetAbsolutePosition(position);
            VARIANT v;
            rs->GetValue(name, &v);
            PutValueEntry(previous, name.c_str(), pairs[i].linkFlag, &v);
        } catch (const CdbException& e) {
            ShowEngineError(e);
        }
    }
}

void CDBCore::PutValueEntry(FieldValueList* list, const char* name, int linkFlag, VARIANT* value) {
    for (FieldValuePair* p : *list) {
        if (strncmp(p->fieldName, name, sizeof(p->fieldName)) == 0) {
            VariantClear(&p->value);
            p->value = *value;
            p->linkFlag = linkFlag;
            VariantInit(value);
            return;
        }
    }
    FieldValuePair* p = new FieldValuePair();
    memset(p, 0, sizeof(*p));
    CopyField(p->fieldName, sizeof(p->fieldName) - 1, name);
    p->linkFlag = linkFlag;
    p->value = *value;
    VariantInit(value);
    list->push_back(p);
}

void CDBCore::ClearValueList(FieldValueList* list) {
    for (FieldValuePair* p : *list) {
        VariantClear(&p->value);
        delete p;
    }
    list->clear();
}

void CDBCore::CollectLinkedMediaValues(FieldValueList* list, CdbRecordset* rs, long position,
                                       const DataSourceDescriptor* d) {
    try {
        rs->SetAbsolutePosition(position);
    } catch (const CdbException&) {
        return;
    }
    int n = rs->FieldCount();
    for (int i = 0; i < n; ++i) {
        try {
            DataSourceDescriptor fd = *d;
            memset(fd.fieldName, 0, sizeof(fd.fieldName));
            CopyField(fd.fieldName, sizeof(fd.fieldName) - 1, rs->Field(i).name.c_str());
            int flag = 0;
            if (rs->Field(i).type != dbLongBinary)
                continue;
            if (!QueryFieldLinkFlag(&fd, &flag) || !flag)
                continue;
            VARIANT v;
            rs->GetValue(i, &v);
            PutValueEntry(list, fd.fieldName, flag, &v);
        } catch (const CdbException&) {
        }
    }
}

void CDBCore::ReportTableMediaNames(const char* tableName, int stored) {
    DataSourceEntry* entry = FindTableByName(tableName);
    if (!entry)
        return;
    DataSourceDescriptor d = {};
    CopyField(d.sourceName, sizeof(d.sourceName) - 1, entry->name.c_str());
    if (entry->recordset) {
        if (entry->browser)
            CloseBrowserWindow(entry->browser);
        if (!CloseDataSource(&d))
            return;
    }
    FieldValueList list;
    if (EnsureTableOpen(&d, nullptr)) {
        for (int i = 0; i < entry->recordCount; ++i) {
            ClearValueList(&list);
            CollectLinkedMediaValues(&list, entry->recordset.get(), i, &d);
            ReportMediaNames(list.data(), (int)list.size(), stored ? 1 : 2);
        }
    }
    ClearValueList(&list);
    if (entry->recordset)
        CloseDataSource(&d);
}

// ---- text and VARIANT conversion

void CDBCore::VariantText(const VARIANT* value, int fieldType, std::string* text, int* flag) {
    std::string& out = *text;
    out.clear();
    if (fieldType == dbMemo || (fieldType >= 1024 && fieldType <= 1030)) {
        if (fieldType == dbMemo) {
            if (V_VT(value) == VT_BSTR && V_BSTR(value))
                out.assign((const char*)V_BSTR(value), SysStringByteLen(V_BSTR(value)));
        } else {
            out = DBLoadString(fieldType == 1030 ? IDS_DB_BINARY_STREAM
                                                 : IDS_DB_PICTURE + (fieldType - 1024));
        }
        if (flag)
            *flag = 1;
        return;
    }
    static const char* names[] = {
        "VT_DISPATCH",  "VT_ERROR",  nullptr,          "VT_VARIANT", "VT_UNKNOWN", nullptr,
        nullptr,        "VT_I1",     nullptr,          "VT_UI2",     "VT_UI4",     "VT_I8",
        "VT_UI8",       "VT_INT",    "VT_UINT",        "VT_VOID",    "VT_HRESULT", "VT_PTR",
        "VT_SAFEARRAY", "VT_CARRAY", "VT_USERDEFINED", "VT_LPSTR",   "VT_LPWSTR"};
    static const char* names64[] = {
        "VT_FILETIME",      "VT_BLOB",        "VT_STREAM", "VT_STORAGE", "VT_STREAMED_OBJECT",
        "VT_STORED_OBJECT", "VT_BLOB_OBJECT", "VT_CF",     "VT_CLSID"};
    char buf[64];
    VARTYPE vt = V_VT(value);
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
            break;
        case VT_I2:
            Decimal(V_I2(value), &out);
            break;
        case VT_I4:
            Decimal((int)V_I4(value), &out);
            break;
        case VT_R4:
            snprintf(buf, sizeof(buf), "%f", (double)V_R4(value));
            out = buf;
            break;
        case VT_R8:
            snprintf(buf, sizeof(buf), "%f", V_R8(value));
            out = buf;
            break;
        case VT_CY: {
            BSTR s = nullptr;
            if (SUCCEEDED(VarBstrFromCy(V_CY(value), LOCALE_USER_DEFAULT, 0, &s)) && s) {
                out = MultibyteFromWide(s);
                SysFreeString(s);
            }
            size_t dot = out.rfind('.');
            if (dot == std::string::npos) {
                out += '.';
                dot = out.size() - 1;
            }
            while (out.size() - dot - 1 < 3) out += '0';
            break;
        }
        case VT_DATE: {
            SYSTEMTIME st;
            if (VariantTimeToSystemTime(V_DATE(value), &st)) {
                snprintf(buf, sizeof(buf), "%d/%02d/%02d", st.wYear, st.wMonth, st.wDay);
                out = buf;
            }
            break;
        }
        case VT_BSTR:
            if (V_BSTR(value))
                out.assign((const char*)V_BSTR(value),
                           strnlen((const char*)V_BSTR(value), SysStringByteLen(V_BSTR(value))));
            break;
        case VT_BOOL:
            out = DBLoadString(V_BOOL(value) ? IDS_DB_TRUE : IDS_DB_FALSE);
            break;
        case VT_UI1:
            Decimal(V_UI1(value), &out);
            break;
        default:
            if (vt >= 9 && vt <= 31 && names[vt - 9]) {
                out = names[vt - 9];
                if (flag)
                    *flag = 1;
            } else if (vt >= 64 && vt <= 72) {
                out = names64[vt - 64];
                if (flag)
                    *flag = 1;
            }
            break;
    }
}

int CDBCore::VariantToTextBuffer(const VARIANT* value, char** text, int fieldType, int* flag) {
    if (!value || !text)
        return 0;
    if (flag)
        *flag = 0;
    std::string out;
    VariantText(value, fieldType, &out, flag);
    // Memo and picture fields succeed without a text; the others need one.
    if (out.empty()) {
        if (fieldType == dbMemo || (fieldType >= 1024 && fieldType <= 1030))
            return 1;
        *text = nullptr;
        return 0;
    }
    char* buffer = (char*)malloc(out.size() + 1);
    if (!buffer)
        return 0;
    memcpy(buffer, out.c_str(), out.size() + 1);
    *text = buffer;
    return 1;
}

int CDBCore::TextToVariant(VARIANT* value, const char* text, int fieldType) {
    if (!text || !value)
        return 0;
    VARIANT v;
    VariantInit(&v);
    switch (fieldType) {
        case dbBoolean: {
            bool no = DBLoadString(IDS_DB_FALSE) == text || DBLoadString(IDS_DB_NO) == text ||
                      strcmp(text, "0") == 0;
            V_VT(&v) = VT_BOOL;
            V_BOOL(&v) = no ? VARIANT_FALSE : VARIANT_TRUE;
            break;
        }
        case dbByte:
        case dbInteger:
        case dbLong:
        case 16: {
            int n = 0;
            sscanf(text, "%d", &n);
            V_VT(&v) = VT_I4;
            V_I4(&v) = n;
            break;
        }
        case dbCurrency:
        case dbSingle:
        case dbDouble:
        case 19:
        case 20:
        case 21:
            V_VT(&v) = VT_R8;
            V_R8(&v) = atof(text);
            break;
        case dbDate: {
            const char* s1 = strchr(text, '/');
            const char* s2 = s1 ? strchr(s1 + 1, '/') : nullptr;
            int y = atoi(text);
            int m = s1 ? atoi(s1 + 1) : 0;
            int d = s2 ? atoi(s2 + 1) : 0;
            SYSTEMTIME st = {};
            st.wYear = (WORD)y;
            st.wMonth = (WORD)m;
            st.wDay = (WORD)d;
            double date = 0;
            // A date that cannot be is refused, not turned into 1899-12-30.
            if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31 ||
                !SystemTimeToVariantTime(&st, &date))
                return 0;
            SYSTEMTIME back;
            if (!VariantTimeToSystemTime(date, &back) || back.wDay != d || back.wMonth != m)
                return 0;
            V_VT(&v) = VT_DATE;
            V_DATE(&v) = date;
            break;
        }
        case dbText:
        case dbMemo:
        case 18:
            if (*text) {
                V_VT(&v) = VT_BSTR;
                V_BSTR(&v) = SysAllocStringByteLen(text, (UINT)strlen(text));
                if (!V_BSTR(&v))
                    return 0;
            }
            break;
        case dbBinary:
        case dbLongBinary:
        case dbGUID:
        case 17:
        case 22:
        case 23:
            return 0;
        default:
            if (fieldType >= 1024 && fieldType <= 1030)
                return 0;
            break;
    }
    *value = v;
    return 1;
}

// ---- link flag, requery, names, walk

int CDBCore::QueryFieldLinkFlag(DataSourceDescriptor* d, int* flag) {
    if (!m_database || !flag)
        return 0;
    bool query = d->isQuery == 1;
    try {
        CdbFieldInfo f;
        std::string table;
        bool fromQuery;
        TableFieldOf(d, &f, &table, &fromQuery);
        if (f.type != dbLongBinary) {
            *flag = 0;
            return 0;
        }
        VARIANT v;
        VariantInit(&v);
        m_database->GetProperty(table, f.name, DBLoadString(IDS_DB_BLINK_PROP), &v);
        VARIANT l;
        VariantInit(&l);
        HRESULT hr = VariantChangeType(&l, &v, 0, VT_I4);
        VariantClear(&v);
        if (FAILED(hr))
            ThrowDbError(dbErrTypeConversion);
        *flag = (int)(SHORT)(V_I4(&l) & 0xFFFF);
        return 1;
    } catch (const CdbException& e) {
        if (!query && e.Number() == dbErrPropertyNotFound)
            return 0;
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::RequeryEntry(DataSourceEntry* entry, int isQuery) {
    if (!entry || !entry->recordset)
        return 0;
    try {
        Recount(entry);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    PostNotice(entry->name.c_str(), nullptr, nullptr, isQuery, 3);
    return 1;
}

int CDBCore::RequeryQuery(DataSourceEntry* entry) {
    return RequeryEntry(entry, 1);
}

int CDBCore::RequeryTable(DataSourceEntry* entry) {
    return RequeryEntry(entry, 0);
}

HRESULT CDBCore::IsQueryName(const char* name) {
    if (FindQueryByName(name))
        return S_OK;
    if (FindTableByName(name))
        return S_FALSE;
    return E_FAIL;
}

HRESULT CDBCore::WalkTables(IDBTableWalkSink* sink) {
    DB_TRACE_POINT();
    for (size_t t = 0; t < m_tables.size(); ++t) {
        DataSourceEntry* entry = m_tables[t].get();
        if (!entry || entry->kind == 2)
            continue;
        if (entry->kind == 1 && sink)
            sink->OnTableItem(128, entry->name.c_str());
        DataSourceDescriptor d = {};
        CopyField(d.sourceName, sizeof(d.sourceName) - 1, entry->name.c_str());
        if (entry->recordset) {
            if (entry->browser)
                CloseBrowserWindow(entry->browser);
            if (!CloseDataSource(&d))
                return E_FAIL;
        }
        if (entry->kind != -1)
            continue;
        if (!EnsureTableOpen(&d, nullptr))
            continue;
        FieldValueList list;
        for (int i = 0; i < entry->recordCount; ++i) {
            ClearValueList(&list);
            CollectLinkedMediaValues(&list, entry->recordset.get(), i, &d);
            for (FieldValuePair* p : list) {
                DataSourceDescriptor fd = d;
                memcpy(fd.fieldName, p->fieldName, sizeof(fd.fieldName));
                int type = 0;
                if (!GetFieldType(&fd, &type))
                    continue;
                static const int bits[] = {2, 32, 16, 4, 8, 1};  // 1024 .. 1029
                if (type < 1024 || type > 1029)
                    continue;
                std::string name;
                if (SafeArrayToText(&p->value, p->linkFlag, &name) && !name.empty() && sink)
                    sink->OnTableItem(bits[type - 1024], name.c_str());
            }
        }
        ClearValueList(&list);
    }
    return S_OK;
}

int CDBCore::CloseBrowsedDataSources() {
    for (auto* list : {&m_tables, &m_queries}) {
        for (auto& e : *list) {
            if (!e || !e->browser)
                continue;
            CloseEntry(e.get());
        }
    }
    return 1;
}
