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

// The three texts of a media folder or item in one block sized to them,
// shared (counted) between elements whose texts are equal, and none at all
// when every text is empty: an index of a million elements costs what its
// texts hold, not three fixed buffers each.
class CMediaTexts {
public:
    enum { kCount = 3 };
    CMediaTexts() : m_block(nullptr) {}
    CMediaTexts(const CMediaTexts& other);
    CMediaTexts& operator=(const CMediaTexts& other);
    ~CMediaTexts();

    // Text i ("" when empty).
    const char* Get(int i) const;
    // Replaces every text, each cut to its `sizes` - 1 bytes without
    // splitting a double-byte character.
    void SetAll(const char* const texts[kCount], const size_t sizes[kCount]);
    // The texts as one run of bytes ("" when all are empty).
    std::string Key() const;

private:
    struct Block {
        unsigned refs;
        unsigned length;
        char text[1];
    };
    void Drop();
    Block* m_block;
};

// While an index loads, elements with equal texts share one block; the
// table of blocks is bounded, so it costs little however many differ.
class CMediaTextShare {
public:
    void Share(CMediaTexts& texts);

private:
    std::unordered_map<std::string, CMediaTexts> m_seen;
};

class CRtMediaFolder {
public:
    // Bytes kept of each text, with the NUL.
    enum { kNameSize = 32, kPathSize = 260 };
    CRtMediaFolder();
    // Reads one stream record; false when the location is invalid. The
    // runtime file path roots a folder named "r0".
    bool Load(ITeskStream* stream, const char* runtimePath);
    // Full path: this folder's path behind its parents' paths. False when
    // the result does not fit or the parent chain loops.
    bool GetFullPath(char* buffer, int length) const;

    const char* Name() const { return m_texts.Get(0); }
    const char* Path() const { return m_texts.Get(1); }
    const char* Parent() const { return m_texts.Get(2); }
    // Each cut to its size.
    void Set(const char* name, const char* path, const char* parent);
    CMediaTexts& Texts() { return m_texts; }

    CRtMediaFolderArray* m_pTable;

private:
    CMediaTexts m_texts;  // name, path, parent
};

class CRtMediaItem {
public:
    // Bytes kept of each text, with the NUL.
    enum { kNameSize = 32, kFolderSize = 32, kFileSize = 260 };
    CRtMediaItem();
    // Reads one stream record; false when it came short.
    bool Load(ITeskStream* stream);
    int GetKind() const { return (int)(m_flags & 0x0F); }
    // Full path of a file item; false (empty buffer) for embedded media, an
    // unknown folder or a path too long.
    bool GetFullPath(char* buffer, int length) const;

    const char* Name() const { return m_texts.Get(0); }
    // The folder's name; "" for a full path or embedded media.
    const char* Folder() const { return m_texts.Get(1); }
    const char* FileName() const { return m_texts.Get(2); }
    // Each cut to its size.
    void Set(const char* name, const char* folder, const char* fileName);
    CMediaTexts& Texts() { return m_texts; }

    DWORD m_flags;
    DWORD m_streamValue;  // kind 2: the stream record's value, kept unused
    int m_mediaType;
    int m_mediaSubType;
    BYTE m_missingReported;
    CRtMediaItemArray* m_pTable;

private:
    CMediaTexts m_texts;  // name, folder, file name
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
