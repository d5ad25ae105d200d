#include "aMediaIdx.h"

#include <string.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <unordered_map>

#include "aExtFile.h"
#include "aMediaMgr.h"
#include "aPrjUtil.h"
#include "bFileUtil.h"
#include "bTraceLog.h"

// ---------------------------------------------------------------------------
// Headers and counts

bool ReadMediaHeader(ITeskStream* stream, MEDIA_HEADER* header) {
    ZeroMemory(header, sizeof(*header));
    return ReadExact(stream, header, sizeof(*header));
}

bool CountFitsStream(ITeskStream* stream, ULONGLONG count, ULONGLONG minRecord, const char* what) {
    ULONGLONG left = StreamRemaining(stream);
    if (minRecord && count > left / minRecord) {
        LOG_MSG("%s: %llu records cannot fit in %llu bytes -- refused", what,
                (unsigned long long)count, (unsigned long long)left);
        return false;
    }
    return true;
}

// Joins a folder path and the text built below it with one backslash.
static std::string JoinPath(const std::string& folder, const std::string& below) {
    if (folder.empty())
        return below;
    const char* last = MbsLastChar(folder.c_str());
    std::string out = folder;
    if (!last || *last != '\\')
        out += '\\';
    out += below;
    return out;
}

// GetFullPathNameA into a caller's buffer; false (empty buffer) when the
// result would be MAX_PATH bytes or more.
static bool FullPathInto(const std::string& path, char* buffer, int length) {
    char full[MAX_PATH];
    SetLastError(0);
    DWORD n = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    if (n == 0 || n >= sizeof(full)) {
        DWORD error = n == 0 ? GetLastError() : (DWORD)ERROR_FILENAME_EXCED_RANGE;
        LOG_WIN32_ERROR(error, "GetFullPathName failed: %s", path.c_str());
        if (buffer && length > 0)
            buffer[0] = 0;
        return false;
    }
    if (buffer && length > 0)
        MbCopyCut(buffer, (size_t)length, full);
    return true;
}

// "$name\rest": the name (cut to 31 bytes) and the rest; false without "$".
static bool SplitDollar(const std::string& value, char* name, size_t nameSize, std::string* rest) {
    if (value.empty() || value[0] != '$')
        return false;
    std::string tail = value.substr(1);
    const char* slash = MbsChr(tail.c_str(), '\\');
    std::string head = slash ? tail.substr(0, (size_t)(slash - tail.c_str())) : tail;
    MbCopyCut(name, nameSize, head.c_str());
    *rest = slash ? std::string(slash + 1) : std::string();
    return true;
}

// ---------------------------------------------------------------------------
// Folders

CRtMediaFolder::CRtMediaFolder() : m_pTable(nullptr) {
    m_name[0] = m_path[0] = m_parent[0] = 0;
}

bool CRtMediaFolder::Load(ITeskStream* stream, const char* runtimePath) {
    std::string name, location;
    ReadStringFromStream(name, stream);
    ReadStringFromStream(location, stream);
    MbCopyCut(m_name, sizeof(m_name), name.c_str());
    m_parent[0] = 0;
    if (MbsNICmp(m_name, "r0", 2) == 0) {
        // The root: the runtime file's folder, whatever is stored.
        MbCopyCut(m_path, sizeof(m_path), PathDirectoryWithSlash(runtimePath).c_str());
        return true;
    }
    std::string path;
    if (SplitDollar(location, m_parent, sizeof(m_parent), &path)) {
    } else if (location.size() >= 2 && location[0] == '\\' && location[1] == '\\') {
        path = location;
    } else {
        return false;
    }
    DropTrailingBackslash(path);
    MbCopyCut(m_path, sizeof(m_path), path.c_str());
    return true;
}

bool CRtMediaFolder::GetFullPath(char* buffer, int length) const {
    if (buffer && length > 0)
        buffer[0] = 0;
    CMediaManager* owner = m_pTable ? m_pTable->GetOwner() : nullptr;
    const char* runtimePath = owner ? owner->GetRuntimePath() : "";
    std::string built;
    std::set<const CRtMediaFolder*> seen;
    for (const CRtMediaFolder* f = this; f;) {
        if (!seen.insert(f).second) {
            LOG_MSG("media folder %s: parent chain loops at %s", m_name, f->m_name);
            return false;
        }
        std::string path = f->m_path;
        if (MbIEqual(path.c_str(), "."))
            path = PathDirectoryWithSlash(runtimePath);
        built = JoinPath(path, built);
        if (!f->m_parent[0] || !m_pTable)
            break;
        f = m_pTable->FindItem(f->m_parent);
    }
    if (built.empty())
        return false;
    return FullPathInto(built, buffer, length);
}

// ---------------------------------------------------------------------------
// Items

CRtMediaItem::CRtMediaItem()
    : m_pSite(nullptr),
      m_flags(0),
      m_missingReported(0),
      m_mediaType(-1),
      m_mediaSubType(-1),
      m_pTable(nullptr) {
    m_name[0] = 0;
    ZeroMemory(m_folder, sizeof(m_folder));
    m_fileName[0] = 0;
}

bool CRtMediaItem::Load(ITeskStream* stream) {
    try {
        std::string name;
        ReadStringFromStream(name, stream);
        MbCopyCut(m_name, sizeof(m_name), name.c_str());
        DWORD ignored = 0;
        stream->Read(&ignored, 4);
        stream->Read(&m_mediaType, 4);
        stream->Read(&m_mediaSubType, 4);
        stream->Read(&m_flags, 4);
        ZeroMemory(m_folder, sizeof(m_folder));
        m_fileName[0] = 0;
        if (GetKind() == MEDIAKIND_EMBEDDED) {
            DWORD value = 0;
            stream->Read(&value, 4);
            memcpy(m_folder, &value, sizeof(value));
            return true;
        }
        std::string location, file;
        ReadStringFromStream(location, stream);
        if (!SplitDollar(location, m_folder, sizeof(m_folder), &file))
            file = location;
        MbCopyCut(m_fileName, sizeof(m_fileName), file.c_str());
        return true;
    } catch (const CTeskExcept&) {
        return false;
    }
}

bool CRtMediaItem::GetFullPath(char* buffer, int length) const {
    if (buffer && length > 0)
        buffer[0] = 0;
    if (GetKind() == MEDIAKIND_EMBEDDED)
        return false;
    std::string path;
    if (m_folder[0]) {
        CMediaManager* owner = m_pTable ? m_pTable->GetOwner() : nullptr;
        CRtMediaFolder* folder = owner ? owner->GetFolders().FindItem(m_folder) : nullptr;
        if (!folder) {
            LOG_MSG("media folder %s of %s not found", m_folder, m_name);
            return false;
        }
        char folderPath[MAX_PATH];
        if (!folder->GetFullPath(folderPath, sizeof(folderPath)))
            return false;
        path = JoinPath(folderPath, m_fileName);
    } else {
        path = m_fileName;
    }
    if (path.empty())
        return false;
    return FullPathInto(path, buffer, length);
}

// ---------------------------------------------------------------------------
// Sorted tables

template <class T>
int CRtSortedArray<T>::LowerBound(const char* name) const {
    int lo = 0, hi = GetCount();
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        if (MbsICmp(m_items[(size_t)mid]->m_name, name) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

template <class T>
int CRtSortedArray<T>::Find(const char* name) const {
    if (!name || !*name) {
        LOG_MSG("invalidated parameter.");
        return -1;
    }
    int i = LowerBound(name);
    return (i < GetCount() && MbsICmp(m_items[(size_t)i]->m_name, name) == 0) ? i : -1;
}

template <class T>
bool CRtSortedArray<T>::InsertAt(int index, T* element) {
    if (!element || index < 0 || index > GetCount())
        return false;
    m_items.insert(m_items.begin() + index, element);
    return true;
}

template <class T>
int CRtSortedArray<T>::Insert(T* element) {
    if (!element)
        return -1;
    int i = LowerBound(element->m_name);
    return InsertAt(i, element) ? i : -1;
}

template <class T>
void CRtSortedArray<T>::InsertMany(std::vector<T*>& batch) {
    batch.erase(std::remove(batch.begin(), batch.end(), nullptr), batch.end());
    // Among equal names the one inserted last comes first.
    std::reverse(batch.begin(), batch.end());
    auto less = [](const T* a, const T* b) { return MbsICmp(a->m_name, b->m_name) < 0; };
    std::stable_sort(batch.begin(), batch.end(), less);
    std::vector<T*> merged;
    merged.reserve(m_items.size() + batch.size());
    // The batch goes first among equals: it was inserted after the table.
    std::merge(batch.begin(), batch.end(), m_items.begin(), m_items.end(),
               std::back_inserter(merged), less);
    m_items.swap(merged);
    batch.clear();
}

template <class T>
void CRtSortedArray<T>::Clear() {
    for (T* item : m_items) delete item;
    m_items.clear();
}

template class CRtSortedArray<CRtMediaFolder>;
template class CRtSortedArray<CRtMediaItem>;

// ---------------------------------------------------------------------------
// Index streams

namespace {

// Restores the cursor on every way out.
class CWaitCursor {
public:
    CWaitCursor() : m_old(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
    ~CWaitCursor() { SetCursor(m_old); }

private:
    HCURSOR m_old;
};

// Most bytes of a stored folder or item record: two stream strings of at
// most 65535 units and four 32-bit values.
const ULONGLONG kMostRecord = 2 * (4 + 2 * 65535ull) + 20;
// Least bytes of a stored folder record (two counts) and item record.
const ULONGLONG kMinFolderRecord = 8;
const ULONGLONG kMinItemRecord = 24;

// The records read so far go into the table in one merge on every way out.
template <class T>
class CBatchInsert {
public:
    explicit CBatchInsert(CRtSortedArray<T>& table) : m_table(table) {}
    ~CBatchInsert() { m_table.InsertMany(m_batch); }
    void Add(T* element) { m_batch.push_back(element); }

private:
    CRtSortedArray<T>& m_table;
    std::vector<T*> m_batch;
};

// Reads `count` folder records; false when any was invalid (the others are
// still read) or when the records end early.

bool LoadFolders(CMediaManager* manager, ITeskStream* stream, DWORD count) {
    bool ok = true;
    const char* runtimePath = manager->GetRuntimePath();
    CBatchInsert<CRtMediaFolder> batch(manager->GetFolders());
    for (DWORD i = 0; i < count; ++i) {
        CRtMediaFolder* folder = new CRtMediaFolder;
        folder->m_pTable = &manager->GetFolders();
        bool loaded;
        try {
            loaded = folder->Load(stream, runtimePath);
        } catch (const CTeskExcept&) {
            delete folder;
            return false;
        }
        if (!loaded) {
            LOG_MSG("invalid media folder: %s", folder->m_name);
            delete folder;
            ok = false;
            continue;
        }
        batch.Add(folder);
    }
    return ok;
}

bool LoadItems(CMediaManager* manager, ITeskStream* stream, DWORD count) {
    CBatchInsert<CRtMediaItem> batch(manager->GetItems());
    for (DWORD i = 0; i < count; ++i) {
        CRtMediaItem* item = new CRtMediaItem;
        item->m_pTable = &manager->GetItems();
        if (!item->Load(stream)) {
            // A short record: nothing after it can be read.
            delete item;
            return false;
        }
        batch.Add(item);
    }
    return true;
}

HRESULT ReadOldIndex(CMediaManager* manager, ITeskStorage* storage) {
    CComPtr<ITeskStream> packed;
    HRESULT hr = storage->OpenStream("MediaIndex", TESK_MODE_READ, &packed);
    if (FAILED(hr))
        return hr;
    packed->SetMode(0);
    // Records are read from memory, so none can run past the stream.
    CComPtr<ITeskStream> stream;
    hr = CacheRestOfStream(packed, 0, &stream);
    if (FAILED(hr))
        return hr;
    packed.Release();
    DWORD count = 0;
    if (!ReadExact(stream, &count, 4) ||
        !CountFitsStream(stream, count, kMinFolderRecord, "MediaIndex"))
        return E_FAIL;
    if (!LoadFolders(manager, stream, count))
        return E_FAIL;
    if (!ReadExact(stream, &count, 4) ||
        !CountFitsStream(stream, count, kMinItemRecord, "MediaIndex"))
        return E_FAIL;
    return LoadItems(manager, stream, count) ? S_OK : E_FAIL;
}

// Caches the body of an index stream after its media header; E_FAIL for a
// short header or, with checkSize, a header size other than 32.
HRESULT ReadIndexBody(ITeskStream* stream, MEDIA_HEADER* header, bool checkSize,
                      ITeskStream** body) {
    *body = nullptr;
    stream->SetMode(0);
    if (!ReadMediaHeader(stream, header))
        return E_FAIL;
    if (checkSize && header->size != sizeof(MEDIA_HEADER))
        return E_FAIL;
    return CacheCountedBody(stream, (int)header->mode, header->count, kMostRecord, 4, body);
}

// Reads one index stream of format version 8 on: a 32-bit value, then the
// header's count of records. A stream that cannot be opened gives its code
// through *openResult.
template <class F>
bool ReadNewIndex(ITeskStorage* storage, const char* name, bool checkSize, ULONGLONG minRecord,
                  HRESULT* openResult, F loadRecords) {
    CComPtr<ITeskStream> stream;
    *openResult = storage->OpenStream(name, TESK_MODE_READ, &stream);
    if (FAILED(*openResult))
        return false;
    MEDIA_HEADER header;
    CComPtr<ITeskStream> body;
    DWORD ignored = 0;
    if (FAILED(ReadIndexBody(stream, &header, checkSize, &body)))
        return false;
    if (!ReadExact(body, &ignored, 4) || !CountFitsStream(body, header.count, minRecord, name))
        return false;
    return loadRecords(body.get(), header.count);
}

HRESULT ReadNewIndexes(CMediaManager* manager, ITeskStorage* storage) {
    HRESULT hr = S_OK;
    HRESULT open = S_OK;
    if (!ReadNewIndex(
            storage, "MPathIndex", true, kMinFolderRecord, &open,
            [&](ITeskStream* body, DWORD count) { return LoadFolders(manager, body, count); }))
        hr = E_FAIL;
    if (FAILED(open))
        return open;
    if (!ReadNewIndex(
            storage, "MediaIndex", false, kMinItemRecord, &open,
            [&](ITeskStream* body, DWORD count) { return LoadItems(manager, body, count); }))
        hr = E_FAIL;
    if (FAILED(open))
        return open;
    CComPtr<ITeskStream> exfile;
    open = storage->OpenStream("mm_exfile", TESK_MODE_READ, &exfile);
    if (FAILED(open))
        return open;
    exfile->SetMode(0);
    HRESULT r = manager->GetExFiles().Load(exfile);
    if (FAILED(r))
        hr = r;
    return hr;
}

}  // namespace

HRESULT ReadMediaInfoFromExe(CMediaManager* manager, ITeskStorage* storage) {
    TRACE_POINT();
    if (!manager || !storage)
        return E_INVALIDARG;
    CWaitCursor wait;
    HRESULT hr = manager->GetFormatVersion() < 8 ? ReadOldIndex(manager, storage)
                                                 : ReadNewIndexes(manager, storage);
    if (FAILED(hr)) {
        LOG_MSG("ReadMediaInfoFromExe failed !");
        return hr;
    }
    hr = manager->OpenMediaData(storage);
    std::string ini = PathWithExtension(manager->GetRuntimePath(), "ini");
    if (FileExists(ini.c_str()))
        ReadMavroAppIniFile(manager, ini.c_str());
    else
        LOG_MSG("%s not exists", ini.c_str());
    return hr;
}

// ---------------------------------------------------------------------------
// Media ini

namespace {

// The keys of a section: NUL-separated, ending with two NULs. The buffer
// doubles while the answer fills it.
std::vector<char> ReadKeys(const char* path, const char* section) {
    DWORD size = 1024;
    std::vector<char> keys;
    for (;;) {
        keys.assign(size, 0);
        DWORD n = GetPrivateProfileStringA(section, nullptr, "", keys.data(), size, path);
        if (n != size - 2 || size >= (64u << 20))
            break;
        size *= 2;
    }
    keys.push_back(0);
    keys.push_back(0);
    return keys;
}

std::string ReadValue(const char* path, const char* section, const char* key, const char* def) {
    char value[1024];
    GetPrivateProfileStringA(section, key, def, value, sizeof(value), path);
    return value;
}

}  // namespace

CIniSection::CIniSection(const char* path, const char* section) {
    m_keys = ReadKeys(path, section);
    DWORD size = 4096;
    std::vector<char> lines;
    for (;;) {
        lines.assign(size, 0);
        DWORD n = GetPrivateProfileSectionA(section, lines.data(), size, path);
        if (n != size - 2 || size >= (256u << 20))
            break;
        size *= 2;
    }
    lines.push_back(0);
    lines.push_back(0);
    for (const char* line = lines.data(); *line; line += strlen(line) + 1) {
        const char* equal = strchr(line, '=');
        std::string key = equal ? std::string(line, (size_t)(equal - line)) : std::string(line);
        // The profile answers the first entry of a key.
        m_values.emplace(MbFoldCase(key.c_str()), equal ? std::string(equal + 1) : std::string());
    }
}

std::string CIniSection::Value(const char* key) const {
    auto it = key ? m_values.find(MbFoldCase(key)) : m_values.end();
    if (it == m_values.end())
        return std::string();
    // As the profile gives a value into 1024 bytes: one pair of enclosing
    // quotes stripped, the text cut to 1023 bytes.
    const std::string& stored = it->second;
    const size_t kLength = 1024;
    size_t from = 0;
    bool quoted = false;
    if (stored.size() > 1 && (stored[0] == '"' || stored[0] == '\'') &&
        stored.back() == stored[0]) {
        quoted = true;
        from = 1;
    }
    size_t left = stored.size() - from;
    std::string value = stored.substr(from, left < kLength - 1 ? left : kLength - 1);
    if (quoted && kLength >= left && !value.empty())
        value.pop_back();
    return value;
}

namespace {

template <class F>
void ForEachKey(const char* path, const char* section, F f) {
    CIniSection values(path, section);
    const std::vector<char>& keys = values.Keys();
    for (const char* k = keys.data(); *k; k += strlen(k) + 1) f(k, values.Value(k).c_str());
}

}  // namespace

HRESULT ReadMavroAppIniFile(CMediaManager* manager, const char* iniPath) {
    TRACE_POINT();
    if (!manager || !iniPath)
        return S_OK;
    CRtMediaFolderArray& folders = manager->GetFolders();
    CRtMediaItemArray& items = manager->GetItems();

    // New folders and items go into their tables in one merge after their
    // section; until then later keys find them here.
    std::unordered_map<std::string, CRtMediaFolder*> newFolders;
    std::vector<CRtMediaFolder*> addedFolders;
    ForEachKey(iniPath, "MediaPath", [&](const char* key, const char* value) {
        CRtMediaFolder update;
        MbCopyCut(update.m_name, sizeof(update.m_name), key);
        std::string path;
        if (!SplitDollar(value, update.m_parent, sizeof(update.m_parent), &path))
            path = value;
        DropTrailingBackslash(path);
        MbCopyCut(update.m_path, sizeof(update.m_path), path.c_str());
        CRtMediaFolder* folder = folders.FindItem(update.m_name);
        if (!folder) {
            CRtMediaFolder*& added = newFolders[MbFoldCase(update.m_name)];
            if (!added) {
                added = new CRtMediaFolder;
                added->m_pTable = &folders;
                addedFolders.push_back(added);
            }
            folder = added;
        }
        memcpy(folder->m_name, update.m_name, sizeof(folder->m_name));
        memcpy(folder->m_path, update.m_path, sizeof(folder->m_path));
        memcpy(folder->m_parent, update.m_parent, sizeof(folder->m_parent));
    });
    folders.InsertMany(addedFolders);

    std::unordered_map<std::string, CRtMediaItem*> newItems;
    std::vector<CRtMediaItem*> addedItems;
    ForEachKey(iniPath, "MediaIndex", [&](const char* key, const char* value) {
        char name[32];
        MbCopyCut(name, sizeof(name), key);
        char folderName[32] = {0};
        std::string file;
        if (!SplitDollar(value, folderName, sizeof(folderName), &file))
            file = value;
        CRtMediaItem* item = items.FindItem(name);
        if (!item) {
            CRtMediaItem*& added = newItems[MbFoldCase(name)];
            if (!added) {
                added = new CRtMediaItem;
                added->m_pTable = &items;
                CMTools::GetMediaType(file.c_str(), 0, &added->m_mediaType, &added->m_mediaSubType);
                addedItems.push_back(added);
            }
            item = added;
        }
        memcpy(item->m_name, name, sizeof(name));
        item->m_flags = (item->m_flags & ~0x0Fu) | MEDIAKIND_FILE;
        ZeroMemory(item->m_folder, sizeof(item->m_folder));
        memcpy(item->m_folder, folderName, sizeof(folderName));
        MbCopyCut(item->m_fileName, sizeof(item->m_fileName), file.c_str());
    });
    items.InsertMany(addedItems);

    std::string exPath = ReadValue(iniPath, "ExternalFile", "path", ".\\Media\\ExFile");
    manager->GetExFiles().SetFolder(exPath.c_str());

    ForEachKey(iniPath, "ExFileIndex", [&](const char* key, const char* value) {
        manager->GetExFiles().AddOrRedirect(key, value);
    });
    return S_OK;
}
