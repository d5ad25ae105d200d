// CDBCore's design operations: names and name lists, table design, stored
// queries, indexes, relations, SQL text, external tables, linked-table
// connections and copies of another database. Each shows the engine's
// description of a refusal and answers failure; the layer refuses as a
// whole, so a refused step leaves the file as it was.
#include <windows.h>

#include <commctrl.h>
#include <mbstring.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <exception>
#include <map>

#include "aBaseCore.h"
#include "aDBDialogs.h"
#include "aDBModule.h"
#include "aDBResource.h"
#include "aJetSql.h"
#include "bMediaManager.h"
#include "bPlayerSite.h"

namespace {

// Name arrays of the manager windows: separately allocated copies.
// DAO type and media type of a design type code.
bool TypeOfCode(int code, int* type, long* size) {
    static const int types[] = {dbLong, dbDouble, dbBoolean, dbCurrency, dbDate, dbText, dbMemo};
    *size = 0;
    if (code >= 1 && code <= 7) {
        *type = types[code - 1];
        if (code == 6)
            *size = 255;
        return true;
    }
    if (code >= 8 && code <= 13) {
        *type = dbLongBinary;
        return true;
    }
    *type = 0;
    return false;
}

CdbSourceKind LinkKind(int kind, bool* dbf) {
    *dbf = kind >= 42802 && kind <= 42808;
    switch (kind) {
        case 42802:
            return dbSourceFoxPro30;
        case 42803:
            return dbSourceFoxPro26;
        case 42804:
            return dbSourceFoxPro25;
        case 42805:
            return dbSourceFoxPro20;
        case 42806:
            return dbSourceDBase5;
        case 42807:
            return dbSourceDBase4;
        case 42808:
            return dbSourceDBase3;
        case 42809:
            return dbSourceMvb;
        case 42811:
            return dbSourceExcel5;
        case 42812:
            return dbSourceExcel4;
        case 42813:
            return dbSourceExcel8;
        case 42816:
            return dbSourceOdbc;
        default:
            return (CdbSourceKind)-1;
    }
}

CdbSourceKind ImportKind(int kind, bool* dbf) {
    *dbf = (kind >= 42821 && kind <= 42827 && kind != 42824) || kind == 42831;
    switch (kind) {
        case 42818:
        case 42845:
            return dbSourceMvb;
        case 42819:
            return dbSourceOdbc;
        case 42831:
            return dbSourceFoxPro30;
        case 42821:
            return dbSourceFoxPro26;
        case 42822:
            return dbSourceFoxPro25;
        case 42823:
            return dbSourceFoxPro20;
        case 42825:
            return dbSourceDBase5;
        case 42826:
            return dbSourceDBase4;
        case 42827:
            return dbSourceDBase3;
        case 42828:
            return dbSourceExcel8;
        case 42829:
            return dbSourceExcel5;
        case 42830:
            return dbSourceExcel4;
        default:
            return (CdbSourceKind)-1;
    }
}

// The length of a name's first `limit` bytes cut on a whole character.
size_t CutOnCharacter(const std::string& name, size_t limit) {
    size_t i = 0;
    while (i < name.size()) {
        size_t step = IsDBCSLeadByte((BYTE)name[i]) && i + 1 < name.size() ? 2 : 1;
        if (i + step > limit)
            break;
        i += step;
    }
    return i;
}

void SetTreeText(HWND tree, HANDLE item, const std::string& text) {
    if (!tree || !item)
        return;
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = (HTREEITEM)item;
    tv.pszText = const_cast<char*>(text.c_str());
    SendMessageA(tree, TVM_SETITEMA, 0, (LPARAM)&tv);
}

}  // namespace

HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, const std::string& text, int image,
                         int kind) {
    TVINSERTSTRUCTA ins = {};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    ins.item.pszText = const_cast<char*>(text.c_str());
    ins.item.iImage = image;
    ins.item.iSelectedImage = image;
    ins.item.lParam = kind;
    return (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&ins);
}

// ---- names and name lists

int CDBCore::ValidateObjectName(const char* name, int showMessage, int mediaCheck) {
    std::string n = name ? name : "";
    UINT message = 0;
    if (n.empty())
        message = IDS_DB_NAME_EMPTY;
    else if (n.size() > 64)
        message = IDS_DB_NAME_TOO_LONG;
    for (size_t i = 0; !message && i < n.size();) {
        unsigned char c = (unsigned char)n[i];
        if (IsDBCSLeadByte(c) && i + 1 < n.size())
            i += 2;
        else if ((c >= '0' && c <= '9') || c == '_' || (c < 0x80 && isalpha(c)))
            i += 1;
        else
            message = IDS_DB_NAME_BAD_CHAR;
    }
    if (!message) {
        HRESULT kind = IsQueryName(n.c_str());
        if (kind == S_OK)
            message = IDS_DB_QUERY_EXISTS;
        else if (kind == S_FALSE)
            message = IDS_DB_TABLE_EXISTS;
    }
    if (!message && mediaCheck) {
        IMediaManager* media = GetMediaManager();
        if (media && media->IsMediaName(n.c_str()) == 0)
            message = IDS_DB_MEDIA_NAME;
    }
    if (message && showMessage)
        DBMessageBox(message);
    return message == 0;
}

int CDBCore::LoadDllString(std::string* text, UINT id) {
    *text = DBLoadString(id);
    return !text->empty();
}

int CDBCore::IndexOfEntry(const char* name, int isQuery) {
    const auto& list = isQuery ? m_queries : m_tables;
    for (size_t i = 0; name && i < list.size(); ++i)
        if (list[i] &&
            _mbscmp((const unsigned char*)list[i]->name.c_str(), (const unsigned char*)name) == 0)
            return (int)i;
    return -1;
}

void MakeNameArray(const std::vector<std::string>& names, char*** array, int* count) {
    *array = nullptr;
    *count = 0;
    if (names.empty())
        return;
    char** a = (char**)calloc(names.size(), sizeof(char*));
    if (!a)
        return;
    for (size_t i = 0; i < names.size(); ++i) {
        a[i] = (char*)malloc(names[i].size() + 1);
        if (a[i])
            memcpy(a[i], names[i].c_str(), names[i].size() + 1);
    }
    *array = a;
    *count = (int)names.size();
}

int CDBCore::GetTableNames(char*** names, int* count) {
    std::vector<std::string> list;
    for (auto& e : m_tables) list.push_back(e->name);
    MakeNameArray(list, names, count);
    return 1;
}

int CDBCore::GetQueryNames(char*** names, int* count) {
    std::vector<std::string> list;
    for (auto& e : m_queries) list.push_back(e->name);
    MakeNameArray(list, names, count);
    return 1;
}

int CDBCore::GetQueryFieldInfo(const char* name, int isQuery, char*** names, int* count) {
    *names = nullptr;
    *count = 0;
    if (!m_database || !name)
        return 0;
    try {
        std::vector<CdbFieldInfo> fields =
            isQuery ? m_database->QueryFields(name) : m_database->TableFields(name);
        std::vector<std::string> list;
        for (const CdbFieldInfo& f : fields) list.push_back(f.name);
        MakeNameArray(list, names, count);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

void CDBCore::FreeNameArray(char** names, int count) {
    if (!names)
        return;
    for (int i = 0; i < count; ++i) free(names[i]);
    free(names);
}

void CDBCore::AppendTableEntry(const std::string& name, int kind) {
    std::unique_ptr<DataSourceEntry> e(new DataSourceEntry());
    e->name = name;
    e->kind = kind;
    m_tables.push_back(std::move(e));
}

void CDBCore::AppendQueryEntry(const std::string& name, int kind) {
    std::unique_ptr<DataSourceEntry> e(new DataSourceEntry());
    e->name = name;
    e->kind = kind;
    m_queries.push_back(std::move(e));
}

// ---- table design

int CDBCore::CreateFieldOfKind(const TableFieldSpec* spec, std::vector<CdbFieldSpec>* design) {
    CdbFieldSpec f;
    f.name = spec->name;
    TypeOfCode(spec->type, &f.type, &f.size);
    try {
        CdbDatabase::CheckNewField(*design, f);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    design->push_back(f);
    return 1;
}

int CDBCore::CreateTable(const std::vector<TableFieldSpec*>& specs, const char* table) {
    if (!m_database || !table)
        return 0;
    std::vector<CdbFieldSpec> design;
    std::vector<const TableFieldSpec*> media;
    for (const TableFieldSpec* spec : specs) {
        if (!spec)
            continue;
        if (!CreateFieldOfKind(spec, &design)) {
            DBMessageBox(DBLoadString(IDS_DB_CREATE) + spec->name + DBLoadString(IDS_DB_FAILED),
                         MB_ICONWARNING);
            continue;
        }
        if (spec->type >= 8 && spec->type <= 13)
            media.push_back(spec);
    }
    try {
        m_database->CreateTable(table, design);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    for (const TableFieldSpec* spec : media) {
        try {
            VARIANT type, link;
            V_VT(&type) = VT_I4;
            V_I4(&type) = 1024 + spec->type - 8;
            V_VT(&link) = VT_BOOL;
            V_BOOL(&link) = (VARIANT_BOOL)spec->linkFlag;
            m_database->SetProperty(table, spec->name, DBLoadString(IDS_DB_MEDIATYPE_PROP), type);
            m_database->SetProperty(table, spec->name, DBLoadString(IDS_DB_BLINK_PROP), link);
        } catch (const CdbException& e) {
            ShowEngineError(e);
        }
    }
    AppendTableEntry(table, -1);
    return 1;
}

int CDBCore::AddTableField(const char* table, const TableFieldSpec* spec, short ordinal) {
    if (!m_database || !table || !spec)
        return 0;
    CdbFieldSpec f;
    f.name = spec->name;
    TypeOfCode(spec->type, &f.type, &f.size);
    try {
        m_database->AddField(table, f, ordinal);
        if (spec->type > 7 && spec->type <= 13) {
            VARIANT type, link;
            V_VT(&type) = VT_I4;
            V_I4(&type) = 1024 + spec->type - 8;
            V_VT(&link) = VT_BOOL;
            V_BOOL(&link) = (VARIANT_BOOL)spec->linkFlag;
            m_database->SetProperty(table, spec->name, DBLoadString(IDS_DB_MEDIATYPE_PROP), type);
            m_database->SetProperty(table, spec->name, DBLoadString(IDS_DB_BLINK_PROP), link);
        }
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    return RefreshTableFields(table);
}

int CDBCore::DropTableField(const char* table, const char* field) {
    if (!m_database || !table || !field)
        return 0;
    try {
        m_database->DeleteField(table, field);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::RenameTableField(const char* table, const char* field, const char* newName) {
    if (!m_database || !table || !field || !newName)
        return 0;
    try {
        m_database->RenameField(table, field, newName);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::RefreshTableFields(const char* table) {
    if (!m_database || !table)
        return 0;
    try {
        m_database->TableFields(table);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

// One rebuild in place of the drop and add: the field keeps its place and
// the values that convert to the new type.
int CDBCore::ReplaceTableField(const char* table, const char* field, const TableFieldSpec* spec) {
    if (!m_database || !table || !field || !spec)
        return 0;
    CdbFieldSpec f;
    f.name = spec->name;
    TypeOfCode(spec->type, &f.type, &f.size);
    try {
        m_database->ReplaceField(table, field, f);
        if (spec->type > 7 && spec->type <= 13) {
            VARIANT type, link;
            V_VT(&type) = VT_I4;
            V_I4(&type) = 1024 + spec->type - 8;
            V_VT(&link) = VT_BOOL;
            V_BOOL(&link) = (VARIANT_BOOL)spec->linkFlag;
            m_database->SetProperty(table, spec->name, DBLoadString(IDS_DB_MEDIATYPE_PROP), type);
            m_database->SetProperty(table, spec->name, DBLoadString(IDS_DB_BLINK_PROP), link);
        }
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::RenameTable(const char* table, const char* newName, HWND tree, HANDLE item) {
    if (!m_database || !table || !newName)
        return 0;
    DataSourceEntry* entry = FindTableByName(table);
    try {
        m_database->RenameTable(table, newName);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    SetTreeText(tree, item, newName);
    if (entry)
        entry->name = newName;
    return 1;
}

DataSourceEntry* CDBCore::EntryForDrop(DataSourceDescriptor* d, bool query) {
    std::string name = FieldText(d->sourceName, sizeof(d->sourceName));
    DataSourceEntry* entry = query ? FindQueryByName(name.c_str()) : FindTableByName(name.c_str());
    if (!entry)
        return nullptr;
    if (entry->browser) {
        DBMessageBox(IDS_DB_BROWSED);
        return nullptr;
    }
    return entry;
}

// Closes the entry's recordset, drops the object and its entry, posts the
// notice. A recordset that answers 3420 is gone already: the drop goes on.
int CDBCore::FinishDrop(DataSourceDescriptor* d, bool query) {
    std::string name = FieldText(d->sourceName, sizeof(d->sourceName));
    DataSourceEntry* entry = query ? FindQueryByName(name.c_str()) : FindTableByName(name.c_str());
    if (entry->recordset) {
        try {
            entry->recordset->Close();
        } catch (const CdbException& e) {
            if (e.Number() != dbErrObjectClosed) {
                ShowEngineError(e);
                entry->recordset.reset();
                return 0;
            }
        }
        entry->recordset.reset();
    }
    std::string stored = entry->name;
    try {
        if (query)
            m_database->DeleteQuery(stored);
        else
            m_database->DeleteTable(stored);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    int at = IndexOfEntry(stored.c_str(), query);
    auto& list = query ? m_queries : m_tables;
    if (at >= 0)
        list.erase(list.begin() + at);
    PostNotice(stored.c_str(), nullptr, nullptr, d->isQuery, 5);
    return 1;
}

int CDBCore::DropTable(DataSourceDescriptor* d) {
    if (!m_database || !d)
        return 0;
    DataSourceEntry* entry = EntryForDrop(d, false);
    if (!entry)
        return 0;
    ReportTableMediaNames(entry->name.c_str(), 0);
    return FinishDrop(d, false);
}

// ---- SQL text

std::string CDBCore::SqlTrimCopy(std::string* text) {
    size_t b = text->find_first_not_of(' ');
    if (b == std::string::npos) {
        text->clear();
        return std::string();
    }
    size_t e = text->find_last_not_of(' ');
    *text = text->substr(b, e - b + 1);
    return *text;
}

int CDBCore::SqlSkipGroup(const char* text, int position) {
    if (!text || position < 0 || position >= (int)strlen(text))
        return -1;
    char c = text[position], p;
    int step;
    switch (c) {
        case '"':
            p = '"', step = 1;
            break;
        case '(':
            p = ')', step = 1;
            break;
        case '[':
            p = ']', step = 1;
            break;
        case '{':
            p = '}', step = 1;
            break;
        case ')':
            p = '(', step = -1;
            break;
        case ']':
            p = '[', step = -1;
            break;
        case '}':
            p = '{', step = -1;
            break;
        default:
            return -1;
    }
    int depth = 0;
    int n = (int)strlen(text);
    for (int i = position + step; i >= 0 && i < n; i += step) {
        if (text[i] == p) {
            if (depth == 0)
                return i;
            --depth;
        } else if (text[i] == c && c != '"') {
            ++depth;
        }
    }
    return -1;
}

int CDBCore::SqlFindOutside(const char* text, char c) {
    if (!text)
        return 0;
    int n = (int)strlen(text);
    for (int i = 0; i < n; ++i) {
        if (text[i] == c)
            return i;
        if (text[i] == '[' || text[i] == '"') {
            int end = SqlSkipGroup(text, i);
            // Behind an unmatched bracket or quote nothing is outside.
            if (end < 0)
                return n;
            i = end;
        }
    }
    return n;
}

int CDBCore::SqlFindWord(const char* text, const char* word) {
    if (!text || !word)
        return -1;
    int n = (int)strlen(text), w = (int)strlen(word);
    if (w == 0)
        return -1;
    for (int r = 0; r < n; ++r) {
        int from = r + w <= n ? r : n - w;
        if (from >= 0 && strncmp(text + from, word, (size_t)w) == 0)
            return r + w <= n ? r : from;
        if (text[r] == '"' || text[r] == '(' || text[r] == '[') {
            int end = SqlSkipGroup(text, r);
            if (end >= 0)
                r = end;
        }
    }
    return -1;
}

std::string CDBCore::FormatSqlLiteral(std::string* text, int type) {
    SqlTrimCopy(text);
    std::string t = *text;
    if (t.empty())
        return t;
    if (t.front() == '[' && t.back() == ']' && t.size() >= 2)
        return t;
    bool ok = false;
    std::string out;
    if (type >= 1 && type <= 7) {
        // A number (or a truth word for a Boolean) and nothing else, so a
        // criteria value cannot carry SQL text.
        char* stop = nullptr;
        strtod(t.c_str(), &stop);
        ok = stop && *stop == 0 && t.find_first_of("0123456789") != std::string::npos &&
             t.find_first_not_of("0123456789+-.eE") == std::string::npos;
        if (type == dbBoolean)
            for (const char* word : {"True", "False", "Yes", "No", "On", "Off"})
                ok = ok || _stricmp(t.c_str(), word) == 0;
        out = t;
    } else if (type == dbDate) {
        std::string body = t;
        if (body.front() == '#') {
            ok = body.size() >= 2 && body.back() == '#';
            body = ok ? body.substr(1, body.size() - 2) : body;
        } else {
            ok = true;
        }
        double d;
        ok = ok && JetDateLiteral(body, &d);
        out = "#" + body + "#";
    } else if (type == dbText || type == dbMemo) {
        std::string body = t;
        size_t q = body.find('"');
        ok = true;
        if (q != std::string::npos) {
            size_t q2 = body.find('"', q + 1);
            ok = q == 0 && q2 == body.size() - 1;
            if (ok)
                body = body.substr(1, body.size() - 2);
        }
        out = "\"" + body + "\"";
    } else if (type == dbGUID || (type >= 1024 && type <= 1030)) {
        return "Unknown";
    }
    if (!ok) {
        DBMessageBox(IDS_DB_BAD_LITERAL);
        return "Unknown";
    }
    return out;
}

std::string CDBCore::FieldTypeName(int type) {
    switch (type) {
        case 1:
            return "BIT";
        case 2:
            return "BYTE";
        case 3:
            return "SHORT";
        case 4:
            return "LONG";
        case 5:
            return "CURRENCY";
        case 6:
            return "SINGLE";
        case 7:
            return "Double";
        case 8:
            return "DATETIME";
        case 10:
        case 12:
            return "TEXT";
        case 15:
            return "GUID";
        default:
            return type >= 1024 && type <= 1030 ? "LONGBINARY" : "Unknown";
    }
}

// ---- stored queries

int CDBCore::GetQuerySQL(const char* query, std::string* sql) {
    if (!m_database || !query)
        return 0;
    try {
        *sql = m_database->GetQuerySQL(query);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::CreateQuery(const char* sql, const char* query, int visual) {
    if (!m_database || !sql || !query)
        return 0;
    try {
        m_database->CreateQuery(query, sql);
        if (visual) {
            VARIANT v;
            V_VT(&v) = VT_BOOL;
            V_BOOL(&v) = VARIANT_TRUE;
            m_database->SetProperty(query, "", DBLoadString(IDS_DB_QUERYTYPE_PROP), v);
        }
        AppendQueryEntry(query, m_database->GetQueryType(query));
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::GetQueryTypeFlag(const char* query, short* flag) {
    if (!m_database || !query || IndexOfEntry(query, 1) < 0)
        return 0;
    VARIANT v;
    VariantInit(&v);
    try {
        m_database->GetProperty(query, "", DBLoadString(IDS_DB_QUERYTYPE_PROP), &v);
    } catch (const CdbException& e) {
        if (e.Number() == dbErrPropertyNotFound) {
            *flag = 0;
            return 1;
        }
        ShowEngineError(e);
        return 0;
    }
    VARIANT l;
    VariantInit(&l);
    HRESULT hr = VariantChangeType(&l, &v, 0, VT_I4);
    VariantClear(&v);
    *flag = SUCCEEDED(hr) ? (short)(V_I4(&l) & 0xFFFF) : 0;
    return 1;
}

int CDBCore::RenameQuery(const char* query, const char* newName) {
    if (!m_database || !query || !newName)
        return 0;
    DataSourceEntry* entry = FindQueryByName(query);
    try {
        m_database->RenameQuery(query, newName);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    if (entry)
        entry->name = newName;
    return 1;
}

int CDBCore::DropQuery(DataSourceDescriptor* d) {
    if (!m_database || !d)
        return 0;
    if (!EntryForDrop(d, true))
        return 0;
    return FinishDrop(d, true);
}

// ---- indexes

int CDBCore::GetIndexNames(const char* table, char*** names, int* count) {
    *names = nullptr;
    *count = 0;
    if (!m_database || !table)
        return 0;
    try {
        std::vector<std::string> list;
        for (const CdbIndexInfo& i : m_database->Indexes(table))
            if (!i.foreign)
                list.push_back(i.name);
        MakeNameArray(list, names, count);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

static bool FindIndex(CdbDatabase* db, const char* table, const char* index, CdbIndexInfo* out) {
    for (const CdbIndexInfo& i : db->Indexes(table ? table : ""))
        if (index && _stricmp(i.name.c_str(), index) == 0) {
            *out = i;
            return true;
        }
    ThrowDbError(dbErrItemNotFound, index ? index : "");
}

int CDBCore::GetIndexFieldNames(const char* table, const char* index, char*** names, int* count) {
    *names = nullptr;
    *count = 0;
    if (!m_database)
        return 0;
    try {
        CdbIndexInfo info;
        FindIndex(m_database.get(), table, index, &info);
        std::vector<std::string> list;
        for (const CdbIndexField& f : info.fields) list.push_back(f.name);
        MakeNameArray(list, names, count);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::IsIndexFieldDescending(const char* table, const char* index, const char* field,
                                    int* flag) {
    if (!m_database || !field)
        return 0;
    try {
        CdbIndexInfo info;
        FindIndex(m_database.get(), table, index, &info);
        for (const CdbIndexField& f : info.fields)
            if (_stricmp(f.name.c_str(), field) == 0) {
                *flag = f.descending ? dbDescending : 0;
                return 1;
            }
        ThrowDbError(dbErrItemNotFound, field);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::IsIndexPrimary(const char* table, const char* index, int* flag) {
    if (!m_database)
        return 0;
    try {
        CdbIndexInfo info;
        FindIndex(m_database.get(), table, index, &info);
        *flag = info.primary;
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::IsIndexUnique(const char* table, const char* index, int* flag) {
    if (!m_database)
        return 0;
    try {
        CdbIndexInfo info;
        FindIndex(m_database.get(), table, index, &info);
        *flag = info.unique;
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

// Flag 4 of an index refuses Null: the manager labels it so, and that is
// what this bit reads back.
int CDBCore::IsIndexIgnoreNulls(const char* table, const char* index, int* flag) {
    if (!m_database)
        return 0;
    try {
        CdbIndexInfo info;
        FindIndex(m_database.get(), table, index, &info);
        *flag = info.required;
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::CreateIndex(const char* table, const char* index, int flags,
                         const std::vector<IndexFieldSpec*>& fields) {
    if (fields.empty() || !m_database || !table || !index)
        return 0;
    CdbIndexInfo info;
    info.name = index;
    for (const IndexFieldSpec* f : fields) {
        CdbIndexField field;
        field.name = f ? f->name : std::string();
        field.descending = f && f->descending;
        info.fields.push_back(field);
    }
    info.primary = (flags & 1) != 0;
    info.unique = (flags & 3) != 0;
    info.required = (flags & 1) || (flags & 4);
    try {
        m_database->CreateIndex(table, info);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::DropIndex(const char* table, const char* index) {
    if (!m_database || !table || !index)
        return 0;
    try {
        m_database->DeleteIndex(table, index);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

// ---- relations

int CDBCore::GetRelationNames(char*** names, int* count) {
    DB_TRACE_POINT();
    *names = nullptr;
    *count = 0;
    if (!m_database)
        return 0;
    try {
        std::vector<std::string> list;
        for (const CdbRelationInfo& r : m_database->Relations()) list.push_back(r.name);
        MakeNameArray(list, names, count);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    } catch (...) {
        DB_LOG("Unknown Exception !!!");
        return 0;
    }
}

int CDBCore::AddRelationNodes(HWND tree, HANDLE parent) {
    char** names = nullptr;
    int count = 0;
    GetRelationNames(&names, &count);
    for (int i = 0; tree && i < count; ++i) {
        HTREEITEM node = InsertTreeItem(tree, (HTREEITEM)parent, names[i], 16, 14);
        InsertTreeItem(tree, node, DBLoadString(IDS_DB_MAIN_FIELDS), 17, 15);
        InsertTreeItem(tree, node, DBLoadString(IDS_DB_RELATED_FIELDS), 18, 16);
    }
    FreeNameArray(names, count);
    return 1;
}

int CDBCore::GetRelationFields(const char* relation, char*** names, int* count, int primary) {
    *names = nullptr;
    *count = 0;
    if (!m_database || !relation)
        return 0;
    try {
        for (const CdbRelationInfo& r : m_database->Relations()) {
            if (_stricmp(r.name.c_str(), relation) != 0)
                continue;
            std::vector<std::string> list;
            for (const CdbRelationField& f : r.fields)
                list.push_back(primary ? f.name : f.foreignName);
            MakeNameArray(list, names, count);
            return 1;
        }
        ThrowDbError(dbErrItemNotFound, relation);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::GetLocalTableNames(char*** names, int* count) {
    std::vector<std::string> list;
    for (auto& e : m_tables)
        if (e->kind == -1)
            list.push_back(e->name);
    MakeNameArray(list, names, count);
    return 1;
}

int CDBCore::CreateRelation(const char* relation, const char* table, const char* foreignTable,
                            const std::vector<RelationFieldSpec*>& fields, long attributes) {
    DB_TRACE_POINT();
    if (!m_database || !relation || !table || !foreignTable)
        return 0;
    CdbRelationInfo info;
    info.name = relation;
    info.table = table;
    info.foreignTable = foreignTable;
    info.attributes = attributes;
    for (const RelationFieldSpec* f : fields) {
        if (!f)
            continue;
        CdbRelationField field;
        field.name = f->name;
        field.foreignName = f->foreignName;
        info.fields.push_back(field);
    }
    try {
        m_database->CreateRelation(info);
        DB_TRACE_POINT();
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    } catch (const std::exception& e) {
        DB_LOG("Exception in CDBCore::CreateRelation: %s", e.what());
        return 0;
    }
}

int CDBCore::DropRelation(const char* relation) {
    if (!m_database || !relation)
        return 0;
    try {
        m_database->DeleteRelation(relation);
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

// ---- external tables

// The folder ends at the last separator in front of the file name, which
// closes the path: a folder named like the file does not mislead it.
int CDBCore::GetFolderOfFile(const char* path, const char* file, std::string* folder) {
    folder->clear();
    std::string p = path ? path : "", f = file ? file : "";
    if (f.empty() || p.size() <= f.size())
        return 0;
    size_t at = p.size() - f.size();
    if (_stricmp(p.c_str() + at, f.c_str()) != 0 || (p[at - 1] != '\\' && p[at - 1] != '/'))
        return 0;
    *folder = p.substr(0, at - 1);
    return !folder->empty();
}

int CDBCore::LinkExternalTable(const char* source, const char* file, const char* path,
                               const char* newName, int kind) {
    if (!m_database || !source || !path || !newName)
        return 0;
    bool dbf;
    CdbSourceKind k = LinkKind(kind, &dbf);
    if ((int)k < 0)
        return 0;
    std::string where = path;
    if (dbf && !GetFolderOfFile(path, file, &where))
        return 0;
    try {
        m_database->CreateLink(newName, k, where, "", source);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    AppendTableEntry(newName, k == dbSourceOdbc ? 2 : 1);
    return 1;
}

int CDBCore::ImportExternalTable(const char* source, const char* file, const char* path,
                                 const char* newName, int kind, const char* password) {
    if (!m_database || !source || !path || !newName)
        return 0;
    bool dbf;
    CdbSourceKind k = ImportKind(kind, &dbf);
    if ((int)k < 0)
        return 0;
    std::string where = path;
    if (dbf && !GetFolderOfFile(path, file, &where))
        return 0;
    try {
        m_database->ImportTable(newName, k, where, password ? password : "", source);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    if (kind == 42845 && !CopyTableMediaProperties(path, source, newName, password)) {
        try {
            m_database->DeleteTable(newName);
        } catch (const CdbException& e) {
            ShowEngineError(e);
        }
        return 0;
    }
    AppendTableEntry(newName, -1);
    return 1;
}

// ---- linked-table connections

int CDBCore::RefreshLinkedTablePath(const char* table) {
    if (!m_database || !table)
        return 0;
    try {
        std::string connect, source, prefix, current, password;
        m_database->GetLink(table, &connect, &source);
        if (!CdbDatabase::SplitConnect(connect, &prefix, &current, &password))
            return 1;
        IMediaManager* media = GetMediaManager();
        if (!media)
            return 1;
        char buffer[260] = {};
        // An unknown media item or an empty answer leaves the link as it is.
        if (FAILED(media->GetMediaFilePath(table, 0, buffer, sizeof(buffer))) || !buffer[0])
            return 1;
        buffer[sizeof(buffer) - 1] = 0;
        std::string given = buffer;
        char first = prefix.empty() ? 0 : prefix[0];
        if (first == ';' || first == 'E') {
            if (_stricmp(current.c_str(), given.c_str()) != 0)
                m_database->SetLinkConnect(table, prefix + "DATABASE=" + given + password);
        } else if (first == 'D' || first == 'F' || first == 'd') {
            std::string name = source;
            size_t hash = name.rfind('#');
            if (hash != std::string::npos)
                name[hash] = '.';
            if (_stricmp((current + "\\" + name).c_str(), given.c_str()) != 0) {
                std::string folder;
                if (GetFolderOfFile(given.c_str(), name.c_str(), &folder))
                    m_database->SetLinkConnect(table, prefix + "DATABASE=" + folder + password);
            }
        }
        return 1;
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
}

int CDBCore::SetLinkTableConnection(DataSourceDescriptor* d, const char* connect) {
    if (!m_database || !d || !connect)
        return 0;
    std::string name = FieldText(d->sourceName, sizeof(d->sourceName));
    DataSourceEntry* entry = FindTableByName(name.c_str());
    if (!entry)
        return 0;
    if (entry->browser) {
        DBMessageBox(IDS_DB_BROWSED);
        return 0;
    }
    CloseEntry(entry);
    try {
        m_database->SetLinkConnect(entry->name, connect);
    } catch (const CdbException& e) {
        // Logged only; the caller learns of it by the answer.
        DB_LOG("SetLinkTableConnection failed: %s", e.Description().c_str());
        return 0;
    }
    return 1;
}

// ---- copies of another database

int CDBCore::MakeImportName(const char* name, std::string* result) {
    std::string n = name ? name : "";
    // A name that is not well formed gets no suffix.
    if (n.empty())
        return 0;
    for (size_t i = 0; i < n.size();) {
        unsigned char c = (unsigned char)n[i];
        if (IsDBCSLeadByte(c) && i + 1 < n.size())
            i += 2;
        else if ((c >= '0' && c <= '9') || c == '_' || (c < 0x80 && isalpha(c)))
            i += 1;
        else
            return 0;
    }
    int tries = (int)(m_tables.size() + m_queries.size()) + 1;
    try {
        if (m_database)
            tries += (int)m_database->Relations().size();
    } catch (const CdbException&) {
    }
    for (int k = 1; k <= tries; ++k) {
        char suffix[16];
        snprintf(suffix, sizeof(suffix), "_IMP%d", k);
        size_t s = strlen(suffix);
        std::string candidate =
            n.size() + s > 64 ? n.substr(0, CutOnCharacter(n, 64 - s)) + suffix : n + suffix;
        if (ValidateObjectName(candidate.c_str(), 0, 0)) {
            *result = candidate;
            return 1;
        }
    }
    return 0;
}

int CDBCore::IsRelationNameFree(const char* name) {
    if (!m_database || !name)
        return 0;
    for (const CdbRelationInfo& r : m_database->Relations())
        if (_mbscmp((const unsigned char*)r.name.c_str(), (const unsigned char*)name) == 0)
            return 0;
    return 1;
}

int CDBCore::MakeImportRelationName(const char* name, std::string* result) {
    std::string n = name ? name : "";
    try {
        CdbDatabase::CheckName(n);
    } catch (const CdbException&) {
        return 0;
    }
    int tries = (int)(m_tables.size() + m_queries.size()) + 1;
    try {
        tries += (int)m_database->Relations().size();
    } catch (const CdbException&) {
        return 0;
    }
    for (int k = 1; k <= tries; ++k) {
        char suffix[16];
        snprintf(suffix, sizeof(suffix), "_IMP%d", k);
        size_t s = strlen(suffix);
        std::string candidate =
            n.size() + s > 64 ? n.substr(0, CutOnCharacter(n, 64 - s)) + suffix : n + suffix;
        if (IsRelationNameFree(candidate.c_str())) {
            *result = candidate;
            return 1;
        }
    }
    return 0;
}

void CDBCore::CopyTableIndexes(CdbDatabase* source, const char* sourceTable, const char* newTable) {
    std::vector<CdbIndexInfo> indexes;
    try {
        indexes = source->Indexes(sourceTable);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return;
    }
    for (const CdbIndexInfo& i : indexes) {
        if (i.foreign)
            continue;
        try {
            m_database->CreateIndex(newTable, i);
        } catch (const CdbException& e) {
            ShowEngineError(e);
        }
    }
}

int CDBCore::CopyRelation(const CdbRelationInfo& relation, const char* newName) {
    if (relation.attributes & dbRelationDontEnforce)
        return 0;
    CdbRelationInfo r = relation;
    r.name = newName;
    try {
        m_database->CreateRelation(r);
        return 1;
    } catch (const CdbException& e) {
        if (e.Number() != dbErrObjectNotFound && e.Number() != dbErrRelationField)
            ShowEngineError(e);
        return 0;
    }
}

std::unique_ptr<CdbDatabase> CDBCore::OpenSource(const char* path, std::string* password) {
    for (;;) {
        try {
            return CdbDatabase::Open(path ? path : "", false, true, ";pwd=" + *password);
        } catch (const CdbException& e) {
            if (e.Number() != dbErrBadPassword) {
                ShowEngineError(e);
                return nullptr;
            }
            if (DBMessageBox(IDS_DB_WRONG_PASSWORD, MB_OKCANCEL) != IDOK)
                return nullptr;
            CDBPasswordPromptDlg dlg;
            dlg.DoModal(nullptr);
            *password = dlg.m_password;
        }
    }
}

void CDBCore::CopyFieldMedia(CdbDatabase* source, const std::string& sourceTable,
                             const std::string& field, const std::string& targetTable,
                             bool asBool) {
    std::string typeName = DBLoadString(IDS_DB_MEDIATYPE_PROP);
    std::string linkName = DBLoadString(IDS_DB_BLINK_PROP);
    VARIANT type, link;
    VariantInit(&type);
    VariantInit(&link);
    try {
        source->GetProperty(sourceTable, field, typeName, &type);
        source->GetProperty(sourceTable, field, linkName, &link);
    } catch (const CdbException&) {
        VariantClear(&type);
        VariantClear(&link);
        return;
    }
    try {
        m_database->SetProperty(targetTable, field, typeName, type);
        if (asBool) {
            VARIANT l;
            VariantInit(&l);
            VariantChangeType(&l, &link, 0, VT_I4);
            VariantClear(&link);
            V_VT(&link) = VT_BOOL;
            V_BOOL(&link) = (VARIANT_BOOL)(V_I4(&l) & 0xFFFF);
        }
        m_database->SetProperty(targetTable, field, linkName, link);
    } catch (const CdbException& e) {
        ShowEngineError(e);
    }
    VariantClear(&type);
    VariantClear(&link);
}

int CDBCore::CopyTableMediaProperties(const char* path, const char* sourceTable,
                                      const char* targetTable, const char* password) {
    if (!m_database || !sourceTable || !targetTable)
        return 0;
    std::string pw = password ? password : "";
    std::unique_ptr<CdbDatabase> source;
    try {
        source = CdbDatabase::Open(path ? path : "", false, true, ";pwd=" + pw);
        for (const CdbFieldInfo& f : source->TableFields(sourceTable))
            if (f.type == dbLongBinary)
                CopyFieldMedia(source.get(), sourceTable, f.name, targetTable, true);
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    return 1;
}

int CDBCore::CopyDatabase(const char* path, const char* password) {
    if (!m_database)
        return 0;
    std::string pw = password ? password : "";
    std::unique_ptr<CdbDatabase> source = OpenSource(path, &pw);
    if (!source)
        return 0;
    try {
        std::vector<CdbTableDefInfo> tables = source->TableDefs();
        std::vector<CdbQueryDefInfo> queries = source->QueryDefs();
        std::vector<CdbRelationInfo> relations = source->Relations();
        // Copied tables by their source names, for the relations.
        std::map<std::string, std::string> copied;
        for (const CdbTableDefInfo& t : tables) {
            if (t.attributes & 0x80000003u)
                continue;
            std::string name = t.name;
            if (!ValidateObjectName(name.c_str(), 0, 0) && !MakeImportName(t.name.c_str(), &name)) {
                DB_LOG("Table '%s' not copied: no free name", t.name.c_str());
                continue;
            }
            try {
                if (t.attributes & (dbAttachedTable | dbAttachedODBC)) {
                    std::string connect, sourceTable;
                    source->GetLink(t.name, &connect, &sourceTable);
                    // Copied as it is: the open re-points it where its file lies.
                    m_database->CreateLinkFrom(name, connect, sourceTable, false);
                    AppendTableEntry(name, (t.attributes & dbAttachedODBC) ? 2 : 1);
                    AddTreeNode(8, name.c_str());
                } else {
                    m_database->ImportTable(name, dbSourceMvb, path, pw, t.name);
                    AppendTableEntry(name, -1);
                    for (const CdbFieldInfo& f : source->TableFields(t.name))
                        if (f.type == dbLongBinary)
                            CopyFieldMedia(source.get(), t.name, f.name, name, false);
                    CopyTableIndexes(source.get(), t.name.c_str(), name.c_str());
                    AddTreeNode(2, name.c_str());
                }
                std::string key = t.name;
                CharUpperA(&key[0]);
                copied[key] = name;
            } catch (const CdbException& e) {
                ShowEngineError(e);
            }
        }
        for (const CdbQueryDefInfo& q : queries) {
            std::string name = q.name;
            if (!ValidateObjectName(name.c_str(), 0, 0) && !MakeImportName(q.name.c_str(), &name)) {
                DB_LOG("Query '%s' not copied: no free name", q.name.c_str());
                continue;
            }
            int visual = 0;
            VARIANT v;
            VariantInit(&v);
            try {
                source->GetProperty(q.name, "", DBLoadString(IDS_DB_QUERYTYPE_PROP), &v);
                visual = 1;
            } catch (const CdbException&) {
            }
            VariantClear(&v);
            if (CreateQuery(q.sql.c_str(), name.c_str(), visual))
                AddTreeNode(18, name.c_str());
        }
        for (CdbRelationInfo r : relations) {
            // A relation follows its tables to their new names; one whose
            // table was not copied is not copied either.
            std::string main = r.table, related = r.foreignTable;
            CharUpperA(&main[0]);
            CharUpperA(&related[0]);
            if (!copied.count(main) || !copied.count(related))
                continue;
            r.table = copied[main];
            r.foreignTable = copied[related];
            std::string name = r.name;
            if (!IsRelationNameFree(name.c_str()) && !MakeImportRelationName(r.name.c_str(), &name))
                return 0;
            if (CopyRelation(r, name.c_str()))
                AddTreeNode(14, name.c_str());
        }
    } catch (const CdbException& e) {
        ShowEngineError(e);
        return 0;
    }
    return 1;
}
