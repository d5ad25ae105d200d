// A registry key held open with its information: the player repairs the
// registration of the database component with it, and the setup programs
// read and write the runtime record and walk its version subkeys.
#pragma once

#include <windows.h>

class CRegKey {
public:
    CRegKey();
    ~CRegKey() { CloseIfOpen(); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // Creates or opens the key (a held key is closed first); the result is
    // kept and set as the thread's last error.
    bool Open(HKEY root, const char* path, bool create, REGSAM access);
    // Closes the held key; true also when none is held.
    bool Close();
    bool CloseIfOpen();
    // Number of subkeys as read at opening; the longest subkey name through
    // maxNameLength when given.
    DWORD GetSubkeyCount(DWORD* maxNameLength = nullptr) const;
    // Name of the subkey at index, cut to size bytes with its NUL.
    bool EnumSubkey(DWORD index, char* name, DWORD size);
    // Index and type of the named value (ignoring case); no name finds the
    // key's default value.
    bool FindValue(const char* name, DWORD* index, DWORD* type);
    // REG_SZ or REG_EXPAND_SZ only; the text always ends with a NUL.
    bool ReadString(const char* name, char* buffer, DWORD size);
    // REG_SZ of the text with its terminating NUL.
    bool WriteString(const char* name, const char* text);

    LONG GetLastResult() const { return m_lastResult; }
    HKEY GetHandle() const { return m_hKey; }
    DWORD GetValueCount() const { return m_values; }
    DWORD GetSubKeyCount() const { return m_subKeys; }

private:
    bool Done(LONG result);

    LONG m_lastResult;
    HKEY m_hKey;
    char m_path[MAX_PATH];
    char m_class[MAX_PATH];
    DWORD m_classLength;
    DWORD m_subKeys;
    DWORD m_maxSubKeyLength;
    DWORD m_maxClassLength;
    DWORD m_values;
    DWORD m_maxValueNameLength;
    DWORD m_maxValueLength;
    DWORD m_securityLength;
    FILETIME m_lastWrite;
};

// A text value at a full path "HKLM\...", "HKCU\..." or "HKCR\..." (the
// root compared ignoring case); a null name is the default value. Any other
// root fails without touching the registry. The key is opened with full
// access, created when writing, and closed again.
bool GetRegistryValueByPath(const char* fullPath, const char* name, char* buffer, DWORD size);
bool SetRegistryValueByPath(const char* fullPath, const char* name, const char* text);
