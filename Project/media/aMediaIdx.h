// The media index of a work: media folders (named places on disk chained to
// a parent, rooted at the runtime file's folder or a network share), media
// items (a file in a folder, or a stream embedded in "MediaData"), their
// sorted tables and path resolution; the index streams of the package and
// the media ini beside the runtime file that adds or redirects entries.
#pragma once

#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "aStorage.h"

class CMediaManager;
class CRtMediaFolderArray;
class CRtMediaItemArray;

// The first 32 bytes of every index stream (format version 8 on) and of
// every "MediaData" stream.
#pragma pack(push, 1)
struct MEDIA_HEADER {
    DWORD size;  // 32
    BYTE reserved1[8];
    DWORD count;  // records that follow (index streams)
    DWORD reserved2;
    DWORD mode;  // body compression mode
    BYTE reserved3[8];
};
#pragma pack(pop)
static_assert(sizeof(MEDIA_HEADER) == 32, "media header is 32 bytes");

// Reads the 32-byte header; false when it is short.
bool ReadMediaHeader(ITeskStream* stream, MEDIA_HEADER* header);
// False (with a log line) when `count` records of at least `minRecord`
// bytes cannot fit in what is left of the stream.
bool CountFitsStream(ITeskStream* stream, ULONGLONG count, ULONGLONG minRecord, const char* what);

// Item kinds (low four bits of the flags).
enum { MEDIAKIND_FILE = 1, MEDIAKIND_EMBEDDED = 2 };

class CRtMediaFolder {
public:
    CRtMediaFolder();
    // Reads one stream record; false when the location is invalid. The
    // runtime file path roots a folder named "r0".
    bool Load(ITeskStream* stream, const char* runtimePath);
    // Full path: this folder's path behind its parents' paths. False when
    // the result does not fit or the parent chain loops.
    bool GetFullPath(char* buffer, int length) const;

    char m_name[32];
    char m_path[260];
    char m_parent[32];
    CRtMediaFolderArray* m_pTable;
};

class CRtMediaItem {
public:
    CRtMediaItem();
    // Reads one stream record; false when it came short.
    bool Load(ITeskStream* stream);
    int GetKind() const { return (int)(m_flags & 0x0F); }
    // Full path of a file item; false (empty buffer) for embedded media, an
    // unknown folder or a path too long.
    bool GetFullPath(char* buffer, int length) const;

    IUnknown* m_pSite;  // borrowed
    char m_name[32];
    DWORD m_flags;
    char m_folder[32];  // kind 2: the first four bytes hold the stream record value
    char m_fileName[260];
    BYTE m_missingReported;
    int m_mediaType;
    int m_mediaSubType;
    CRtMediaItemArray* m_pTable;
};

// Sorted by name (case-insensitive, multibyte); owns its elements.
template <class T>
class CRtSortedArray {
public:
    CRtSortedArray() : m_pOwner(nullptr) {}
    ~CRtSortedArray() { Clear(); }
    CRtSortedArray(const CRtSortedArray&) = delete;
    CRtSortedArray& operator=(const CRtSortedArray&) = delete;

    int GetCount() const { return (int)m_items.size(); }
    T* GetAt(int i) const { return (i >= 0 && i < GetCount()) ? m_items[(size_t)i] : nullptr; }
    // Index of the name or -1.
    int Find(const char* name) const;
    T* FindItem(const char* name) const { return GetAt(Find(name)); }
    // Inserts at the search position (before an equal name); the index.
    int Insert(T* element);
    // Inserts at a given index; false (not taken) outside 0..count.
    bool InsertAt(int index, T* element);
    // Inserts every element as Insert would one after another (a later
    // element goes before an equal name already there), in one merge; the
    // batch is emptied.
    void InsertMany(std::vector<T*>& batch);
    void Clear();

    void SetOwner(CMediaManager* owner) { m_pOwner = owner; }
    CMediaManager* GetOwner() const { return m_pOwner; }

protected:
    int LowerBound(const char* name) const;
    std::vector<T*> m_items;
    CMediaManager* m_pOwner;
};

class CRtMediaFolderArray : public CRtSortedArray<CRtMediaFolder> {};
class CRtMediaItemArray : public CRtSortedArray<CRtMediaItem> {};

// One section of an ini file read in two profile calls: its keys as the
// profile lists them, and each key's value as GetPrivateProfileStringA gives
// it into 1024 bytes (empty for a key not there).
class CIniSection {
public:
    CIniSection(const char* path, const char* section);
    // NUL-separated keys ending with two NULs.
    const std::vector<char>& Keys() const { return m_keys; }
    std::string Value(const char* key) const;

private:
    std::vector<char> m_keys;
    std::unordered_map<std::string, std::string> m_values;  // folded key -> stored value
};

// Reads the package's media index into the media manager, opens
// "MediaData" and applies the media ini beside the runtime file.
HRESULT ReadMediaInfoFromExe(CMediaManager* manager, ITeskStorage* storage);
// Applies the media ini at `iniPath`; always S_OK.
HRESULT ReadMavroAppIniFile(CMediaManager* manager, const char* iniPath);
