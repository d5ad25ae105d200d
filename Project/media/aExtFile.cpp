#include "aExtFile.h"

#include <string.h>

#include "aMediaIdx.h"
#include "bFileUtil.h"
#include "bTraceLog.h"

// ---------------------------------------------------------------------------
// Media types

namespace {

struct TypeList {
    int type;
    const char* extensions;
};

// Searched in this order: a ".gif" is a picture before it is an animation.
const TypeList kTypeLists[] = {
    {MEDIATYPE_TEXT, "rtf,txt,lmt"},
    {MEDIATYPE_PICTURE, "bmp,dib,tga,tif,tiff,pic,gif,jpg,jpeg,png"},
    {MEDIATYPE_SOUND, "wav,mid,midi,mp3,mp2"},
    {MEDIATYPE_ANIMATION, "fli,flc,gif,swf"},
    {MEDIATYPE_VIDEO, "avi,mov,mpg,mpeg,dat"},
    {MEDIATYPE_DRAWING, "wmf,emf,dxf"},
    {MEDIATYPE_CURSOR, "cur"},
    {MEDIATYPE_DATABASE, "mvb,dbf,mdb,xls"},
};

// What a row of the subtype table serves: finding a subtype from an
// extension, naming the extension of its subtype, or naming the extension of
// any subtype of its type that has no row of its own.
enum { SUB_MATCH = 1, SUB_NAME = 2, SUB_DEFAULT = 4 };

struct SubTypeRow {
    int type;
    int subtype;
    const char* extension;  // without its point; matched over its own length
    int use;
};

// Matched in this order; "tiff", "jpeg", "midi" and "mpeg" compare 4 bytes,
// "rm" 2, all others 3.
const SubTypeRow kSubTypes[] = {
    {MEDIATYPE_TEXT, 1000, "rtf", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_TEXT, 1001, "txt", SUB_MATCH | SUB_DEFAULT},
    {MEDIATYPE_TEXT, 1002, "lmt", SUB_MATCH},
    {MEDIATYPE_PICTURE, 1010, "bmp", SUB_MATCH | SUB_DEFAULT},
    {MEDIATYPE_PICTURE, 1011, "dib", SUB_MATCH},
    {MEDIATYPE_PICTURE, 1012, "tga", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_PICTURE, 1013, "tif", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_PICTURE, 1013, "tiff", SUB_MATCH},
    {MEDIATYPE_PICTURE, 1014, "pic", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_PICTURE, 1015, "gif", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_PICTURE, 1016, "jpg", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_PICTURE, 1016, "jpeg", SUB_MATCH},
    {MEDIATYPE_PICTURE, 1017, "ico", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_PICTURE, 1018, "png", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_PICTURE, 1032, "gif", SUB_NAME},  // an animated GIF kept as a picture
    {MEDIATYPE_SOUND, 1020, "wav", SUB_MATCH | SUB_DEFAULT},
    {MEDIATYPE_SOUND, 1021, "aif", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_SOUND, 1024, "mid", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_SOUND, 1024, "midi", SUB_MATCH},
    {MEDIATYPE_SOUND, 1025, "mp3", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_SOUND, 1026, "mp2", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_ANIMATION, 1030, "flc", SUB_MATCH | SUB_DEFAULT},
    {MEDIATYPE_ANIMATION, 1031, "fli", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_ANIMATION, 1032, "gif", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_ANIMATION, 1015, "gif", SUB_NAME},  // a still GIF kept as an animation
    {MEDIATYPE_ANIMATION, 1033, "mmm", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_ANIMATION, 1034, "swf", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_VIDEO, 1040, "avi", SUB_MATCH | SUB_DEFAULT},
    {MEDIATYPE_VIDEO, 1041, "mpeg", SUB_NAME},
    {MEDIATYPE_VIDEO, 1042, "mov", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_VIDEO, 1043, "asf", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_VIDEO, 1044, "rm", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_VIDEO, 1046, "mpg", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_VIDEO, 1046, "mpeg", SUB_MATCH},
    {MEDIATYPE_VIDEO, 1047, "dat", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_DRAWING, 1050, "wmf", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_DRAWING, 1051, "emf", SUB_MATCH | SUB_DEFAULT},
    {MEDIATYPE_DRAWING, 1052, "dxf", SUB_MATCH | SUB_NAME},
    {MEDIATYPE_CURSOR, 1060, "cur", SUB_MATCH | SUB_DEFAULT},
    {MEDIATYPE_DATABASE, 1070, "mvb", SUB_MATCH},
    {MEDIATYPE_DATABASE, 1071, "dbf", SUB_MATCH},
    {MEDIATYPE_DATABASE, 1072, "mdb", SUB_MATCH},
    {MEDIATYPE_DATABASE, 1073, "xls", SUB_MATCH},
};

// Whether the extension matches a list: an entry followed by a comma is a
// prefix of the extension; the last entry must equal it.
bool ListMatches(const char* list, const char* ext) {
    const char* entry = list;
    for (;;) {
        const char* comma = strchr(entry, ',');
        if (!comma)
            return MbsICmp(entry, ext) == 0;
        size_t len = (size_t)(comma - entry);
        if (strlen(ext) >= len && MbsNICmp(entry, ext, len) == 0)
            return true;
        entry = comma + 1;
    }
}

}  // namespace

int CMTools::GetSubType(int type, const char* extension) {
    if (!extension)
        return -1;
    size_t extLen = strlen(extension);
    for (const SubTypeRow& t : kSubTypes) {
        if (t.type != type || !(t.use & SUB_MATCH))
            continue;
        size_t len = strlen(t.extension);
        if (extLen >= len && MbsNICmp(t.extension, extension, len) == 0)
            return t.subtype;
    }
    return -1;
}

HRESULT CMTools::GetMediaType(const char* fileName, int /*flag*/, int* type, int* subtype) {
    if (!fileName || !type || !subtype)
        return E_INVALIDARG;
    *type = -1;
    *subtype = -1;
    const char* slash = MbsRChr(fileName, '/');
    char dotted[MAX_PATH];
    if (!PathExtension(slash ? slash + 1 : fileName, dotted, sizeof(dotted)) || dotted[0] != '.')
        return E_FAIL;
    const char* ext = dotted + 1;
    for (const TypeList& list : kTypeLists) {
        if (ListMatches(list.extensions, ext)) {
            *type = list.type;
            *subtype = GetSubType(list.type, ext);
            return S_OK;
        }
    }
    return S_OK;
}

BOOL CMTools::GetDefExtName(int type, int subtype, char* buffer, int length) {
    const SubTypeRow* named = nullptr;
    for (const SubTypeRow& t : kSubTypes) {
        if (t.type != type)
            continue;
        if ((t.use & SUB_NAME) && t.subtype == subtype) {
            named = &t;
            break;
        }
        if ((t.use & SUB_DEFAULT) && !named)
            named = &t;
    }
    if (!named)
        return FALSE;
    const std::string ext = std::string(".") + named->extension;
    if (!buffer || length <= 0)
        return FALSE;
    MbCopyCut(buffer, (size_t)length, ext.c_str());
    return TRUE;
}

// ---------------------------------------------------------------------------
// External files

static std::string g_defaultExFolder = ".\\Media\\ExFile";

void SetDefaultExFileFolder(const char* path) {
    g_defaultExFolder = path ? path : "";
}

std::string GetDefaultExFileFolderFull() {
    std::string full;
    if (!FullPathOf(g_defaultExFolder.c_str(), &full))
        return g_defaultExFolder;
    DropTrailingBackslash(full);
    return full;
}

CExFileItem* CExFileTable::Find(const char* name) const {
    if (!name)
        return nullptr;
    auto it = m_items.find(name);
    return it == m_items.end() ? nullptr : it->second;
}

CExFileItem* CExFileTable::FindByPath(const char* fullPath) const {
    if (!fullPath)
        return nullptr;
    auto it = m_byPath.find(MbFoldCase(fullPath));
    // The first in name order, as a walk over the table finds it.
    return it == m_byPath.end() || it->second.empty() ? nullptr : *it->second.begin();
}

void CExFileTable::IndexPath(CExFileItem* item) {
    m_byPath[MbFoldCase(item->GetFullPath().c_str())].insert(item);
}

void CExFileTable::UnindexPath(CExFileItem* item) {
    auto it = m_byPath.find(MbFoldCase(item->GetFullPath().c_str()));
    if (it == m_byPath.end())
        return;
    it->second.erase(item);
    if (it->second.empty())
        m_byPath.erase(it);
}

void CExFileTable::RebuildPathIndex() {
    m_byPath.clear();
    for (auto& entry : m_items) IndexPath(entry.second);
}

void CExFileTable::MakeUniqueName(const char* fullPath, std::string* name) const {
    name->clear();
    if (!fullPath)
        return;
    const char* slash = MbsRChr(fullPath, '\\');
    const unsigned char* p = reinterpret_cast<const unsigned char*>(slash ? slash + 1 : fullPath);
    // Square brackets go; a trail byte of the same value stays.
    while (*p) {
        if (*p >= 0x80 && IsDBCSLeadByte(*p) && p[1]) {
            name->append(reinterpret_cast<const char*>(p), 2);
            p += 2;
            continue;
        }
        if (*p != '[' && *p != ']')
            name->push_back((char)*p);
        ++p;
    }
    if (!Find(name->c_str()))
        return;
    // Each try lengthens the name, so this ends within count + 1 tries;
    // tries an earlier search found taken are not made again. A name that
    // would pass MAX_PATH - 1 bytes no longer grows: from there each try
    // puts its number into the plain name (a_N.txt), so the names of many
    // files of one name stay short.
    const std::string base = *name;
    UniqueTry at{0, base, false};
    auto memo = m_tries.find(base);
    if (memo != m_tries.end())
        at = memo->second;
    for (int n = at.n + 1;; ++n) {
        char suffix[16];
        wsprintfA(suffix, "_%d", n);
        if (!at.numbered && at.name.size() + strlen(suffix) > MAX_PATH - 1)
            at.numbered = true;
        std::string next = at.numbered ? base : at.name;
        const char* dot = MbsRChr(next.c_str(), '.');
        if (dot)
            next.insert((size_t)(dot - next.c_str()), suffix);
        else
            next.append(suffix);
        if (!Find(next.c_str())) {
            *name = next;
            return;
        }
        at.n = n;
        if (!at.numbered)
            at.name = next;
        m_tries[base] = at;
    }
}

int CExFileTable::AddByPath(const char* fullPath, CExFileItem** item) {
    if (item)
        *item = nullptr;
    if (!fullPath || !*fullPath)
        return -1;
    if (CExFileItem* found = FindByPath(fullPath)) {
        if (item)
            *item = found;
        return 1;
    }
    CExFileItem* added = new CExFileItem;
    added->m_pOwner = m_pOwner;
    const char* slash = MbsRChr(fullPath, '\\');
    if (slash) {
        added->m_folder.assign(fullPath, (size_t)(slash - fullPath));
        added->m_fileName = slash + 1;
    } else {
        added->m_fileName = fullPath;
    }
    MakeUniqueName(fullPath, &added->m_name);
    m_items[added->m_name] = added;
    IndexPath(added);
    if (item)
        *item = added;
    return 0;
}

HRESULT CExFileTable::AddOrRedirect(const char* name, const char* path) {
    if (!name || !*name || !path || !*path)
        return E_INVALIDARG;
    std::string full;
    if (!FullPathOf(path, &full))
        return E_FAIL;
    if (CExFileItem* item = Find(name)) {
        UnindexPath(item);
        const char* slash = MbsRChr(full.c_str(), '\\');
        if (slash) {
            item->m_folder.assign(full.c_str(), (size_t)(slash - full.c_str()));
            item->m_fileName = slash + 1;
        } else {
            item->m_folder.clear();
            item->m_fileName = full;
        }
        IndexPath(item);
        return S_OK;
    }
    // AddByPath's answer: 0 (S_OK) for a new item, 1 (S_FALSE) when the
    // file was already known under another name.
    int added = AddByPath(full.c_str(), nullptr);
    return added < 0 ? E_FAIL : (HRESULT)added;
}

HRESULT CExFileTable::SetFolder(const char* path) {
    if (!path || !*path)
        return E_INVALIDARG;
    std::string full;
    if (!FullPathOf(path, &full))
        full = path;
    DropTrailingBackslash(full);
    for (auto& entry : m_items) entry.second->m_folder = full;
    RebuildPathIndex();
    return S_OK;
}

void CExFileTable::Clear() {
    for (auto& entry : m_items) delete entry.second;
    m_items.clear();
    m_byPath.clear();
    m_tries.clear();
}

HRESULT CExFileTable::Load(ITeskStream* stream) {
    if (!stream)
        return E_INVALIDARG;
    MEDIA_HEADER header;
    if (!ReadMediaHeader(stream, &header))
        return TESK_E_STREAMHEADER;
    CComPtr<ITeskStream> body;
    // Two stream strings of at most 65535 units each per record.
    HRESULT hr =
        CacheCountedBody(stream, (int)header.mode, header.count, 2 * (4 + 2 * 65535ull), 0, &body);
    if (FAILED(hr))
        return hr;
    std::string folder = GetDefaultExFileFolderFull();
    HRESULT result = S_OK;
    for (DWORD i = 0; i < header.count; ++i) {
        CExFileItem* item = new CExFileItem;
        item->m_pOwner = m_pOwner;
        item->m_folder = folder;
        bool ok = false;
        try {
            ok = ReadStringFromStream(item->m_name, body) &&
                 ReadStringFromStream(item->m_fileName, body);
        } catch (const CTeskExcept&) {
            ok = false;
        }
        if (!ok) {
            // The short item is dropped; nothing after it can be read.
            LOG_MSG("mm_exfile: record %u of %u is short -- dropped", (unsigned)i,
                    (unsigned)header.count);
            delete item;
            result = S_FALSE;
            break;
        }
        auto it = m_items.find(item->m_name);
        if (it != m_items.end()) {
            LOG_MSG("external file (%s) listed twice -- ignored", item->m_name.c_str());
            delete item;
            continue;
        }
        m_items[item->m_name] = item;
        IndexPath(item);
    }
    return result;
}
