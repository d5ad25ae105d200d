// External files (files a work uses by name that live beside it, outside
// the package) and the media-type tools: a file extension to a media type
// and subtype, and back to a default extension.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "aPrjUtil.h"
#include "aStorage.h"

// Media types: one bit each.
enum {
    MEDIATYPE_TEXT = 1,
    MEDIATYPE_PICTURE = 2,
    MEDIATYPE_SOUND = 4,
    MEDIATYPE_ANIMATION = 8,
    MEDIATYPE_VIDEO = 16,
    MEDIATYPE_DRAWING = 32,
    MEDIATYPE_CURSOR = 64,
    MEDIATYPE_DATABASE = 128,
};

class CMTools {
public:
    // Type and subtype of a file by its extension; both -1 when unknown
    // (still S_OK). E_INVALIDARG for null arguments, E_FAIL without extension.
    static HRESULT GetMediaType(const char* fileName, int flag, int* type, int* subtype);
    // Subtype of an extension (without its dot) within a type, or -1.
    static int GetSubType(int type, const char* extension);
    // Default extension with its dot; false when the type has none.
    static BOOL GetDefExtName(int type, int subtype, char* buffer, int length);
};

// Case-insensitive multibyte order for names.
struct MbsILess {
    bool operator()(const std::string& a, const std::string& b) const {
        return MbsICmp(a.c_str(), b.c_str()) < 0;
    }
};

class CExFileTable;

class CExFileItem {
public:
    CExFileItem() : m_pOwner(nullptr), m_missingReported(0) {}
    // Folder, one backslash, file name.
    std::string GetFullPath() const { return m_folder + "\\" + m_fileName; }

    void* m_pOwner;        // copied from the table
    std::string m_name;    // the key works ask for
    std::string m_folder;  // full path without trailing separator
    std::string m_fileName;
    BYTE m_missingReported;  // set by the media manager
};

class CExFileTable {
public:
    CExFileTable() : m_pOwner(nullptr) {}
    ~CExFileTable() { Clear(); }
    CExFileTable(const CExFileTable&) = delete;
    CExFileTable& operator=(const CExFileTable&) = delete;

    void SetOwner(void* owner) { m_pOwner = owner; }
    CExFileItem* Find(const char* name) const;
    // First item whose full path equals the given one (ignoring case).
    CExFileItem* FindByPath(const char* fullPath) const;
    // The file name of the path without "[" and "]", with "_N" inserted
    // before its last "." while the table already holds the name (into the
    // name as the last try left it, while that stays below MAX_PATH bytes).
    void MakeUniqueName(const char* fullPath, std::string* name) const;
    // 1 with the existing item when one has this full path; otherwise adds
    // a new item under a unique name and returns 0 (-1 for a bad path).
    int AddByPath(const char* fullPath, CExFileItem** item);
    // Media ini: redirects the named item (S_OK), or adds the file by its
    // path and gives AddByPath's answer (S_FALSE when already listed).
    HRESULT AddOrRedirect(const char* name, const char* path);
    // The folder of every item (made full).
    HRESULT SetFolder(const char* path);
    // Reads "mm_exfile": media header, then the body's records.
    HRESULT Load(ITeskStream* stream);
    void Clear();
    int GetCount() const { return (int)m_items.size(); }

private:
    // The index by full path follows every change of an item's folder or
    // file name, so a lookup by path costs no walk over the table.
    void IndexPath(CExFileItem* item);
    void UnindexPath(CExFileItem* item);
    void RebuildPathIndex();

    void* m_pOwner;
    std::map<std::string, CExFileItem*, MbsILess> m_items;
    // Items in the table's order of names (names are unique in the table).
    struct ItemNameLess {
        bool operator()(const CExFileItem* a, const CExFileItem* b) const {
            return MbsICmp(a->m_name.c_str(), b->m_name.c_str()) < 0;
        }
    };
    // Folded full path -> the items with that path, first name first.
    std::unordered_map<std::string, std::set<CExFileItem*, ItemNameLess>> m_byPath;
    // Base name -> the last try of MakeUniqueName found taken, the name its
    // lengthening reached and whether the tries number the plain name: names
    // never leave the table but by Clear, so the next search for that base
    // goes on from there.
    struct UniqueTry {
        int n;
        std::string name;
        bool numbered;
    };
    mutable std::unordered_map<std::string, UniqueTry> m_tries;
};

// The default folder of external files (".\Media\ExFile" at start-up),
// made full against the current directory each time it is used.
void SetDefaultExFileFolder(const char* path);
std::string GetDefaultExFileFolderFull();
