#include "aRegKey.h"

#include <string.h>

#include "bTextCut.h"

CRegKey::CRegKey()
    : m_lastResult(ERROR_SUCCESS),
      m_hKey(nullptr),
      m_classLength(0),
      m_subKeys(0),
      m_maxSubKeyLength(0),
      m_maxClassLength(0),
      m_values(0),
      m_maxValueNameLength(0),
      m_maxValueLength(0),
      m_securityLength(0) {
    m_path[0] = m_class[0] = 0;
    ZeroMemory(&m_lastWrite, sizeof(m_lastWrite));
}

bool CRegKey::Done(LONG result) {
    m_lastResult = result;
    SetLastError((DWORD)result);
    return result == ERROR_SUCCESS;
}

bool CRegKey::Open(HKEY root, const char* path, bool create, REGSAM access) {
    CloseIfOpen();
    MbCopyCut(m_path, sizeof(m_path), path);
    HKEY key = nullptr;
    LONG r;
    if (create) {
        DWORD disposition = 0;
        r = RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                            &disposition);
    } else {
        r = RegOpenKeyExA(root, path, 0, access, &key);
    }
    if (!Done(r))
        return false;
    m_hKey = key;
    m_classLength = sizeof(m_class);
    RegQueryInfoKeyA(m_hKey, m_class, &m_classLength, nullptr, &m_subKeys, &m_maxSubKeyLength,
                     &m_maxClassLength, &m_values, &m_maxValueNameLength, &m_maxValueLength,
                     &m_securityLength, &m_lastWrite);
    return true;
}

bool CRegKey::Close() {
    if (!m_hKey)
        return true;  // nothing held: nothing to close
    LONG r = RegCloseKey(m_hKey);
    m_hKey = nullptr;
    return Done(r);
}

bool CRegKey::CloseIfOpen() {
    return m_hKey ? Close() : true;
}

DWORD CRegKey::GetSubkeyCount(DWORD* maxNameLength) const {
    if (maxNameLength)
        *maxNameLength = m_maxSubKeyLength;
    return m_subKeys;
}

bool CRegKey::EnumSubkey(DWORD index, char* name, DWORD size) {
    if (!name || size == 0)
        return Done(ERROR_INVALID_PARAMETER);
    name[0] = 0;
    if (!m_hKey)
        return Done(ERROR_INVALID_HANDLE);
    DWORD length = size;
    LONG r = RegEnumKeyExA(m_hKey, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (r != ERROR_SUCCESS)
        name[0] = 0;
    else
        name[length < size ? length : size - 1] = 0;
    return Done(r);
}

bool CRegKey::FindValue(const char* name, DWORD* index, DWORD* type) {
    if (!m_hKey)
        return Done(ERROR_INVALID_HANDLE);
    for (DWORD i = 0;; ++i) {
        char valueName[MAX_PATH];
        DWORD nameLength = sizeof(valueName);
        DWORD valueType = 0;
        valueName[0] = 0;
        LONG r =
            RegEnumValueA(m_hKey, i, valueName, &nameLength, nullptr, &valueType, nullptr, nullptr);
        if (r != ERROR_SUCCESS && r != ERROR_INSUFFICIENT_BUFFER && r != ERROR_MORE_DATA) {
            Done(r);
            return false;
        }
        valueName[sizeof(valueName) - 1] = 0;
        bool match = name ? MbIEqual(valueName, name) : valueName[0] == 0;
        if (match) {
            if (index)
                *index = i;
            if (type)
                *type = valueType;
            return Done(ERROR_SUCCESS);
        }
    }
}

bool CRegKey::ReadString(const char* name, char* buffer, DWORD size) {
    if (!buffer || size == 0)
        return Done(ERROR_INVALID_PARAMETER);
    buffer[0] = 0;
    if (!m_hKey)
        return Done(ERROR_INVALID_HANDLE);
    DWORD type = 0;
    DWORD length = size;
    LONG r =
        RegQueryValueExA(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &length);
    if (r != ERROR_SUCCESS) {
        buffer[0] = 0;
        return Done(r);
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        buffer[0] = 0;
        return Done(ERROR_INVALID_DATA);
    }
    // Stored text need not end with a NUL.
    buffer[length < size ? length : size - 1] = 0;
    return true;
}

bool CRegKey::WriteString(const char* name, const char* text) {
    if (!m_hKey)
        return Done(ERROR_INVALID_HANDLE);
    if (!text)
        text = "";
    // The NUL belongs to the data: readers that trust the stored length
    // would otherwise get an unterminated text.
    return Done(RegSetValueExA(m_hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                               (DWORD)strlen(text) + 1));
}

namespace {

// The root named at the start of a full path, and the rest after its
// backslash; null for any other beginning.
HKEY SplitRegistryPath(const char* fullPath, const char** rest) {
    static const struct {
        const char* prefix;
        HKEY root;
    } roots[] = {{"HKLM\\", HKEY_LOCAL_MACHINE},
                 {"HKCU\\", HKEY_CURRENT_USER},
                 {"HKCR\\", HKEY_CLASSES_ROOT}};
    if (!fullPath)
        return nullptr;
    for (const auto& r : roots) {
        if (_strnicmp(fullPath, r.prefix, 5) == 0) {
            *rest = fullPath + 5;
            return r.root;
        }
    }
    return nullptr;
}

}  // namespace

bool GetRegistryValueByPath(const char* fullPath, const char* name, char* buffer, DWORD size) {
    if (buffer && size)
        buffer[0] = 0;
    const char* path = nullptr;
    HKEY root = SplitRegistryPath(fullPath, &path);
    if (!root)
        return false;
    CRegKey key;
    if (!key.Open(root, path, false, KEY_ALL_ACCESS))
        return false;
    return key.ReadString(name, buffer, size);
}

bool SetRegistryValueByPath(const char* fullPath, const char* name, const char* text) {
    const char* path = nullptr;
    HKEY root = SplitRegistryPath(fullPath, &path);
    if (!root)
        return false;
    CRegKey key;
    if (!key.Open(root, path, true, KEY_ALL_ACCESS))
        return false;
    return key.WriteString(name, text);
}
