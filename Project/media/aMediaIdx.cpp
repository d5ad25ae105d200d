#include "aMediaIdx.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <new>
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
// Texts

CMediaTexts::CMediaTexts(const CMediaTexts& other) : m_block(other.m_block) {
    if (m_block)
        ++m_block->refs;
}

CMediaTexts& CMediaTexts::operator=(const CMediaTexts& other) {
    if (other.m_block)
        ++other.m_block->refs;
    Drop();
    m_block = other.m_block;
    return *this;
}

CMediaTexts::~CMediaTexts() {
    Drop();
}

void CMediaTexts::Drop() {
    if (m_block && --m_block->refs == 0)
        free(m_block);
    m_block = nullptr;
}

const char* CMediaTexts::Get(int i) const {
    if (!m_block || i < 0 || i >= kCount)
        return "";
    const char* p = m_block->text;
    for (; i > 0; --i) p += strlen(p) + 1;
    return p;
}

void CMediaTexts::SetAll(const char* const texts[kCount], const size_t sizes[kCount]) {
    size_t lengths[kCount];
    size_t total = 0;
    for (int i = 0; i < kCount; ++i) {
        lengths[i] = sizes[i] ? MbCutLength(texts[i] ? texts[i] : "", sizes[i] - 1) : 0;
        total += lengths[i];
    }
    Drop();
    if (total == 0)
        return;
    Block* b = static_cast<Block*>(malloc(offsetof(Block, text) + total + kCount));
    if (!b)
        throw std::bad_alloc();
    b->refs = 1;
    b->length = (unsigned)(total + kCount);
    char* p = b->text;
    for (int i = 0; i < kCount; ++i) {
        memcpy(p, texts[i], lengths[i]);
        p += lengths[i];
        *p++ = 0;
    }
    m_block = b;
}

std::string CMediaTexts::Key() const {
    return m_block ? std::string(m_block->text, m_block->length) : std::string();
}

void CMediaTextShare::Share(CMediaTexts& texts) {
    // Enough to catch every run of records that deflate packs tightly.
    const size_t kMostBlocks = 4096;
    std::string key = texts.Key();
    if (key.empty())
        return;
    auto it = m_seen.find(key);
    if (it != m_seen.end())
        texts = it->second;
    else if (m_seen.size() < kMostBlocks)
        m_seen.emplace(std::move(key), texts);
}

// ---------------------------------------------------------------------------
// Folders

CRtMediaFolder::CRtMediaFolder() : m_pTable(nullptr) {}

void CRtMediaFolder::Set(const char* name, const char* path, const char* parent) {
    const char* const texts[] = {name, path, parent};
    static const size_t sizes[] = {kNameSize, kPathSize, kNameSize};
    m_texts.SetAll(texts, sizes);
}

bool CRtMediaFolder::Load(ITeskStream* stream, const char* runtimePath) {
    std::string name, location;
    ReadStringFromStream(name, stream);
    ReadStringFromStream(location, stream);
    if (MbsNICmp(name.c_str(), "r0", 2) == 0) {
        // The root: the runtime file's folder, whatever is stored.
        Set(name.c_str(), PathDirectoryWithSlash(runtimePath).c_str(), "");
        return true;
    }
    char parent[kNameSize] = "";
    std::string path;
    if (SplitDollar(location, parent, sizeof(parent), &path)) {
    } else if (location.size() >= 2 && location[0] == '\\' && location[1] == '\\') {
        path = location;
    } else {
        Set(name.c_str(), "", "");
        return false;
    }
    DropTrailingBackslash(path);
    Set(name.c_str(), path.c_str(), parent);
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
            LOG_MSG("media folder %s: parent chain loops at %s", Name(), f->Name());
            return false;
        }
        std::string path = f->Path();
        if (MbIEqual(path.c_str(), "."))
            path = PathDirectoryWithSlash(runtimePath);
        built = JoinPath(path, built);
        if (!f->Parent()[0] || !m_pTable)
            break;
        f = m_pTable->FindItem(f->Parent());
    }
    if (built.empty())
        return false;
    return FullPathInto(built, buffer, length);
}

// ---------------------------------------------------------------------------
// Items

CRtMediaItem::CRtMediaItem()
    : m_flags(0),
      m_streamValue(0),
      m_mediaType(-1),
      m_mediaSubType(-1),
      m_missingReported(0),
      m_pTable(nullptr) {}

void CRtMediaItem::Set(const char* name, const char* folder, const char* fileName) {
    const char* const texts[] = {name, folder, fileName};
    static const size_t sizes[] = {kNameSize, kFolderSize, kFileSize};
    m_texts.SetAll(texts, sizes);
}

bool CRtMediaItem::Load(ITeskStream* stream) {
    try {
        std::string name;
        ReadStringFromStream(name, stream);
        Set(name.c_str(), "", "");
        DWORD ignored = 0;
        stream->Read(&ignored, 4);
        stream->Read(&m_mediaType, 4);
        stream->Read(&m_mediaSubType, 4);
        stream->Read(&m_flags, 4);
        m_streamValue = 0;
        if (GetKind() == MEDIAKIND_EMBEDDED) {
            stream->Read(&m_streamValue, 4);
            return true;
        }
        std::string location, file;
        ReadStringFromStream(location, stream);
        char folder[kFolderSize] = "";
        if (!SplitDollar(location, folder, sizeof(folder), &file))
            file = location;
        Set(name.c_str(), folder, file.c_str());
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
    if (Folder()[0]) {
        CMediaManager* owner = m_pTable ? m_pTable->GetOwner() : nullptr;
        CRtMediaFolder* folder = owner ? owner->GetFolders().FindItem(Folder()) : nullptr;
        if (!folder) {
            LOG_MSG("media folder %s of %s not found", Folder(), Name());
            return false;
        }
        char folderPath[MAX_PATH];
        if (!folder->GetFullPath(folderPath, sizeof(folderPath)))
            return false;
        path = JoinPath(folderPath, FileName());
    } else {
        path = FileName();
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
        if (MbsICmp(m_items[(size_t)mid]->Name(), name) < 0)
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
    return (i < GetCount() && MbsICmp(m_items[(size_t)i]->Name(), name) == 0) ? i : -1;
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
    int i = LowerBound(element->Name());
    return InsertAt(i, element) ? i : -1;
}

template <class T>
void CRtSortedArray<T>::InsertMany(std::vector<T*>& batch) {
    batch.erase(std::remove(batch.begin(), batch.end(), nullptr), batch.end());
    // Among equal names the one inserted last comes first.
    std::reverse(batch.begin(), batch.end());
    auto less = [](const T* a, const T* b) { return MbsICmp(a->Name(), b->Name()) < 0; };
    std::stable_sort(batch.begin(), batch.end(), less);
    if (m_items.empty()) {
        m_items.swap(batch);
        batch.clear();
        return;
    }
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
    CMediaTextShare share;
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
            LOG_MSG("invalid media folder: %s", folder->Name());
            delete folder;
            ok = false;
            continue;
        }
        share.Share(folder->Texts());
        batch.Add(folder);
    }
    return ok;
}

bool LoadItems(CMediaManager* manager, ITeskStream* stream, DWORD count) {
    CBatchInsert<CRtMediaItem> batch(manager->GetItems());
    CMediaTextShare share;
    for (DWORD i = 0; i < count; ++i) {
        CRtMediaItem* item = new CRtMediaItem;
        item->m_pTable = &manager->GetItems();
        if (!item->Load(stream)) {
            // A short record: nothing after it can be read.
            delete item;
            return false;
        }
        share.Share(item->Texts());
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
        char parent[CRtMediaFolder::kNameSize] = "";
        std::string path;
        if (!SplitDollar(value, parent, sizeof(parent), &path))
            path = value;
        DropTrailingBackslash(path);
        char name[CRtMediaFolder::kNameSize];
        MbCopyCut(name, sizeof(name), key);
        CRtMediaFolder* folder = folders.FindItem(name);
        if (!folder) {
            CRtMediaFolder*& added = newFolders[MbFoldCase(name)];
            if (!added) {
                added = new CRtMediaFolder;
                added->m_pTable = &folders;
                addedFolders.push_back(added);
            }
            folder = added;
        }
        folder->Set(name, path.c_str(), parent);
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
        item->m_flags = (item->m_flags & ~0x0Fu) | MEDIAKIND_FILE;
        item->m_streamValue = 0;
        item->Set(name, folderName, file.c_str());
    });
    items.InsertMany(addedItems);

    std::string exPath = ReadValue(iniPath, "ExternalFile", "path", ".\\Media\\ExFile");
    manager->GetExFiles().SetFolder(exPath.c_str());

    ForEachKey(iniPath, "ExFileIndex", [&](const char* key, const char* value) {
        manager->GetExFiles().AddOrRedirect(key, value);
    });
    return S_OK;
}
