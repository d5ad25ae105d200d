// Converts a database of the older format, whose media types stood in the
// table "MavroMediaTypeDef" and whose media had the older byte layouts, into
// a new file: tables with their field properties, records, indexes, links
// and stored queries.
#include "aMediaTypeDef.h"

#include <oleauto.h>
#include <string.h>

#include <map>

#include "aDBModule.h"
#include "aDBResource.h"
#include "bByteReader.h"
#include "bMediaManager.h"
#include "bPlayerSite.h"

namespace {

const char kOldTable[] = "MavroMediaTypeDef";
const char kLocale[] = ";LANGID=0x0804;CP=936;COUNTRY=0";
// The layouts of long-binary content.
const size_t kNameArea = 260;
const size_t kDataAt = 264;
const size_t kLinkBlock = 32;
// A long-binary field of an old code outside 1 to 5: bytes copied as they are.
const int kPlainBinary = 0;
// A field of a type the conversion does not carry over.
const int kOtherType = 14;

}  // namespace

struct FieldPlan {
    std::string name;
    int code = 0;  // type code 1 to 13, kPlainBinary, or kOtherType
    int link = 0;
};

namespace {

int CodeOfDaoType(int type) {
    switch (type) {
        case dbLong:
        case dbInteger:
            return 1;
        case dbSingle:
        case dbDouble:
            return 2;
        case dbBoolean:
            return 3;
        case dbCurrency:
            return 4;
        case dbDate:
            return 5;
        case dbText:
            return 6;
        case dbMemo:
            return 7;
        default:
            return kOtherType;
    }
}

int DaoTypeOfCode(int code) {
    static const int types[] = {dbLong, dbDouble, dbBoolean, dbCurrency, dbDate, dbText, dbMemo};
    if (code >= 1 && code <= 7)
        return types[code - 1];
    if ((code >= 8 && code <= 13) || code == kPlainBinary)
        return dbLongBinary;
    // A type not carried over takes the engine's default for a new field.
    return CdbFieldSpec().type;
}

// The bytes of a VT_ARRAY|VT_UI1 value; false for any other value.
bool BytesOf(const VARIANT& v, std::string* out) {
    if (V_VT(&v) != (VT_ARRAY | VT_UI1) || !V_ARRAY(&v))
        return false;
    SAFEARRAY* a = V_ARRAY(&v);
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(a, 1, &lo);
    SafeArrayGetUBound(a, 1, &hi);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(a, &data)))
        return false;
    out->assign((const char*)data, (size_t)(hi - lo + 1));
    SafeArrayUnaccessData(a);
    return true;
}

bool MakeBytes(const std::string& bytes, VARIANT* v) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, (ULONG)bytes.size());
    if (!a)
        return false;
    void* data = nullptr;
    SafeArrayAccessData(a, &data);
    if (!bytes.empty())
        memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(a);
    V_VT(v) = VT_ARRAY | VT_UI1;
    V_ARRAY(v) = a;
    return true;
}

// The old content as read: the name at 14, the picture bytes behind its
// NUL (length at 10), the text at 19 (length at 6), the link byte at 5.
struct OldContent {
    bool nameOk = false;
    std::string name;
    bool linked = false;
    bool pictureOk = false;
    std::string picture;
    bool textOk = false;
    std::string text;
};

OldContent ReadOld(const std::string& bytes) {
    OldContent c;
    CByteReader r(bytes.data(), bytes.size());
    r.Seek(5);
    c.linked = r.U8() != 0;
    uint32_t textLength = r.U32LE();
    uint32_t pictureLength = r.U32LE();
    bool head = r.Ok();
    const char* name = bytes.size() > 14 ? bytes.data() + 14 : nullptr;
    size_t n = name ? strnlen(name, bytes.size() - 14) : 0;
    if (name && n < bytes.size() - 14) {
        c.nameOk = true;
        c.name.assign(name, n);
    }
    if (head && c.nameOk) {
        CByteReader p(bytes.data(), bytes.size());
        const uint8_t* data = p.Seek(15 + n) ? p.Take(pictureLength) : nullptr;
        if (data) {
            c.pictureOk = true;
            c.picture.assign((const char*)data, pictureLength);
        }
    }
    if (head) {
        CByteReader t(bytes.data(), bytes.size());
        const uint8_t* data = t.Seek(19) ? t.Take(textLength) : nullptr;
        if (data) {
            c.textOk = true;
            c.text.assign((const char*)data, textLength);
        }
    }
    return c;
}

}  // namespace

CMediaTypeDef::CMediaTypeDef(IPlayerSite* host) : m_host(host) {
    if (m_host) {
        m_host->AddRef();
        m_host->GetMediaManager(&m_media);
    }
}

CMediaTypeDef::~CMediaTypeDef() {
    if (m_media)
        m_media->Release();
    if (m_host)
        m_host->Release();
}

void CMediaTypeDef::Show(const CdbException& e) {
    DB_LOG("Database engine error %ld: %s", e.Number(), e.Description().c_str());
    DBMessageBox(e.Description());
}

int CMediaTypeDef::HasOldMediaTable(const std::string& oldPath) {
    try {
        m_old = m_workspace.OpenDatabase(oldPath, true, true, ";pwd=");
    } catch (const CdbException&) {
        return -1;
    }
    try {
        for (const CdbTableDefInfo& t : m_old->TableDefs())
            if ((t.attributes & dbSystemObject) && t.name == kOldTable)
                return 0;
    } catch (const CdbException& e) {
        Show(e);
        m_old.reset();
        return -1;
    }
    m_old.reset();
    return 1;
}

bool CMediaTypeDef::Convert(const std::string& newPath) {
    try {
        m_workspace.CreateDatabase(newPath, kLocale);
        m_new = m_workspace.OpenDatabase(newPath, false, false, ";pwd=");
        // The new file is nobody's until it is whole: no waits on the disk,
        // and each record's transaction journaled in memory, not in a file
        // made and deleted again.
        m_new->Connection()->Exec(
            "PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY; PRAGMA locking_mode=EXCLUSIVE");
    } catch (const CdbException& e) {
        Show(e);
        return false;
    }
    try {
        ReadMediaTypes();
        for (const CdbTableDefInfo& t : m_old->TableDefs()) {
            try {
                if (t.attributes & dbSystemObject)
                    continue;
                if (t.attributes & (dbAttachedTable | dbAttachedODBC)) {
                    std::string connect, source;
                    m_old->GetLink(t.name, &connect, &source);
                    // A link to another database of this system is not carried over.
                    if (connect.size() >= 3 &&
                        _stricmp(connect.c_str() + connect.size() - 3, "mvb") == 0)
                        continue;
                    m_new->CreateLinkFrom(t.name, connect, source, false);
                    continue;
                }
                if (ConvertTable(t.name))
                    CopyIndexes(t.name);
            } catch (const CdbException&) {
            }
        }
        std::string typeName = DBLoadString(IDS_DB_QUERYTYPE_PROP);
        for (const CdbQueryDefInfo& q : m_old->QueryDefs()) {
            try {
                m_new->CreateQuery(q.name, q.sql);
                // True, stored as 1.
                VARIANT yes, old;
                V_VT(&yes) = VT_I4;
                V_I4(&yes) = 1;
                V_VT(&old) = VT_I4;
                V_I4(&old) = 3;
                m_new->SetProperty(q.name, "", typeName, yes);
                m_new->SetProperty(q.name, "", "OLD_QRY", old);
            } catch (const CdbException&) {
            }
        }
    } catch (const CdbException& e) {
        Show(e);
    }
    m_new.reset();
    m_old.reset();
    return true;
}

void CMediaTypeDef::ReadMediaTypes() {
    // Read through a recordset: names are compared here, never made SQL.
    std::unique_ptr<CdbRecordset> rs = m_old->OpenTable(kOldTable);
    int table = rs->FieldIndex("table"), field = rs->FieldIndex("field"),
        type = rs->FieldIndex("media_type");
    for (; !rs->GetEOF(); rs->MoveNext()) {
        VARIANT t, f, m;
        VariantInit(&t);
        VariantInit(&f);
        VariantInit(&m);
        rs->GetValue(table, &t);
        rs->GetValue(field, &f);
        rs->GetValue(type, &m);
        if (V_VT(&t) == VT_BSTR && V_VT(&f) == VT_BSTR &&
            SUCCEEDED(VariantChangeType(&m, &m, 0, VT_I4))) {
            std::string key = std::string((const char*)V_BSTR(&t)) + '\n' + (const char*)V_BSTR(&f);
            if (!m_types.count(key))
                m_types[key] = V_I4(&m);
        }
        VariantClear(&t);
        VariantClear(&f);
        VariantClear(&m);
    }
}

bool CMediaTypeDef::IsPictureFieldLinked(const std::string& table, const std::string& field) {
    std::unique_ptr<CdbRecordset> rs = m_old->OpenTable(table);
    if (rs->GetEOF())
        return true;
    int index = rs->FieldIndex(field);
    for (; !rs->GetEOF(); rs->MoveNext()) {
        VARIANT v;
        VariantInit(&v);
        rs->GetValue(index, &v);
        std::string bytes;
        bool found = BytesOf(v, &bytes);
        VariantClear(&v);
        if (found)
            return bytes.size() > 5 && bytes[5] != 0;
    }
    return false;
}

bool CMediaTypeDef::ConvertTable(const std::string& table) {
    std::vector<FieldPlan> plan;
    try {
        for (const CdbFieldInfo& f : m_old->TableFields(table)) {
            FieldPlan p;
            p.name = f.name;
            p.code = CodeOfDaoType(f.type);
            if (f.type == dbLongBinary) {
                auto it = m_types.find(table + '\n' + f.name);
                if (it == m_types.end())
                    ThrowDbError(dbErrItemNotFound, table + "." + f.name);
                switch (it->second) {
                    case 1:
                        p.code = 8;
                        p.link = IsPictureFieldLinked(table, f.name) ? 1 : 0;
                        break;
                    case 2:
                        p.code = 11;
                        p.link = 1;
                        break;
                    case 3:
                        p.code = 10;
                        p.link = 1;
                        break;
                    case 4:
                        p.code = 12;
                        p.link = 1;
                        break;
                    case 5:
                        p.code = 13;
                        break;
                    default:
                        DB_LOG("Old media type %ld of %s.%s copied as long binary", it->second,
                               table.c_str(), f.name.c_str());
                        p.code = kPlainBinary;
                        break;
                }
            }
            plan.push_back(p);
        }
        std::vector<CdbFieldSpec> design;
        for (const FieldPlan& p : plan) {
            CdbFieldSpec s;
            s.name = p.name;
            s.type = DaoTypeOfCode(p.code);
            s.size = s.type == dbText ? 255 : 0;
            design.push_back(s);
        }
        m_new->CreateTable(table, design);
        std::string typeName = DBLoadString(IDS_DB_MEDIATYPE_PROP);
        std::string linkName = DBLoadString(IDS_DB_BLINK_PROP);
        for (const FieldPlan& p : plan) {
            if (p.code < 8 || p.code > 13)
                continue;
            VARIANT type, link;
            V_VT(&type) = VT_I4;
            V_I4(&type) = 1024 + p.code - 8;
            V_VT(&link) = VT_BOOL;
            V_BOOL(&link) = p.link ? VARIANT_TRUE : VARIANT_FALSE;
            m_new->SetProperty(table, p.name, typeName, type);
            m_new->SetProperty(table, p.name, linkName, link);
        }
    } catch (const CdbException& e) {
        Show(e);
        return false;
    }
    CopyRecords(table, plan);
    return true;
}

void CMediaTypeDef::CopyRecords(const std::string& table, const std::vector<FieldPlan>& plan) {
    try {
        std::unique_ptr<CdbRecordset> from = m_old->OpenTable(table);
        std::unique_ptr<CdbRecordset> to = m_new->OpenTable(table);
        for (; !from->GetEOF(); from->MoveNext()) {
            to->AddNew();
            for (size_t i = 0; i < plan.size(); ++i) {
                VARIANT v;
                VariantInit(&v);
                try {
                    from->GetValue((int)i, &v);
                    if (V_VT(&v) != VT_EMPTY && V_VT(&v) != VT_NULL) {
                        if (plan[i].code >= 8 && plan[i].code <= 13) {
                            VARIANT converted;
                            VariantInit(&converted);
                            if (ConvertMedia(table, plan[i], v, &converted))
                                to->SetValue(plan[i].name, converted);
                            VariantClear(&converted);
                        } else if (plan[i].code == kOtherType) {
                            // Values of a type not carried over, as far as
                            // they convert to the field's new type.
                            try {
                                to->SetValue(plan[i].name, v);
                            } catch (const CdbException& e) {
                                DB_LOG("Old value of %s.%s not converted: %ld", table.c_str(),
                                       plan[i].name.c_str(), e.Number());
                            }
                        } else {
                            to->SetValue(plan[i].name, v);
                        }
                    }
                } catch (const CdbException& e) {
                    Show(e);
                }
                VariantClear(&v);
            }
            std::vector<std::string> pending;
            pending.swap(m_pending);
            to->Update();
            // Media the manager stored are reported once their record is.
            if (m_media)
                for (const std::string& name : pending) m_media->MediaNameStored(name.c_str());
        }
    } catch (const CdbException& e) {
        Show(e);
    }
}

bool CMediaTypeDef::ConvertMedia(const std::string& table, const FieldPlan& field,
                                 const VARIANT& value, VARIANT* out) {
    std::string bytes;
    if (!BytesOf(value, &bytes))
        return false;
    OldContent old = ReadOld(bytes);
    const char* where = field.name.c_str();
    auto refuse = [&](const char* why) {
        DB_LOG("Old media of %s.%s not converted: %s", table.c_str(), where, why);
        return false;
    };
    std::string made;
    if (field.code == 13) {
        if (!old.textOk)
            return refuse("text runs past the value");
        char* rtf = nullptr;
        int length = 0;
        if (m_host)
            m_host->ConvertTextToRtf(old.text.data(), (int)old.text.size(), &rtf, &length);
        made.assign(kDataAt, '\0');
        uint32_t n = rtf && length > 0 ? (uint32_t)length : 0;
        memcpy(&made[0], &n, 4);
        memcpy(&made[4], ".RTF", 5);
        if (n)
            made.append(rtf, n);
        if (m_host && rtf)
            m_host->FreeConvertedText(rtf, nullptr);
        return MakeBytes(made, out);
    }
    if (!old.nameOk)
        return refuse("name runs past the value");
    bool embedded = field.code == 8 && !field.link;
    if (embedded) {
        if (!old.pictureOk)
            return refuse("picture runs past the value");
        // A cut name would name another file: refused, not cut.
        if (old.name.size() >= kNameArea)
            return refuse("name too long");
        made.assign(kDataAt, '\0');
        uint32_t n = (uint32_t)old.picture.size();
        memcpy(&made[0], &n, 4);
        memcpy(&made[4], old.name.data(), old.name.size());
        made += old.picture;
        return MakeBytes(made, out);
    }
    if (field.code == 8 && !old.linked) {
        // A linked field holding embedded bytes: the media manager stores them.
        if (!old.pictureOk)
            return refuse("picture runs past the value");
        char block[kLinkBlock] = {0};
        int type = 0, subtype = 0;
        if (!m_media)
            return refuse("no media manager");
        m_media->MediaTypeFromFileName(old.name.c_str(), &type, &subtype);
        if (FAILED(m_media->StoreMediaData(2, subtype, old.picture.data(), (int)old.picture.size(),
                                           0, block, (int)kLinkBlock)))
            return refuse("not stored");
        // The name the manager gave, whole: a cut one would name other media.
        size_t n = strnlen(block, kLinkBlock);
        if (n == kLinkBlock || n == 0)
            return refuse("stored name does not fit");
        made.assign(kLinkBlock, '\0');
        memcpy(&made[0], block, n);
        m_pending.push_back(std::string(block, n));
        return MakeBytes(made, out);
    }
    if (old.name.size() >= kLinkBlock)
        return refuse("name too long");
    made.assign(kLinkBlock, '\0');
    memcpy(&made[0], old.name.data(), old.name.size());
    return MakeBytes(made, out);
}

void CMediaTypeDef::CopyIndexes(const std::string& table) {
    try {
        for (const CdbIndexInfo& index : m_old->Indexes(table))
            if (!index.foreign)
                m_new->CreateIndex(table, index);
    } catch (const CdbException& e) {
        Show(e);
    }
}

HRESULT CMediaTypeDef::Run(const char* oldPath, const char* newPath, IPlayerSite* host) {
    CMediaTypeDef converter(host);
    if (converter.HasOldMediaTable(oldPath ? oldPath : "") != 0)
        return E_FAIL;
    return converter.Convert(newPath ? newPath : "") ? S_OK : E_FAIL;
}
