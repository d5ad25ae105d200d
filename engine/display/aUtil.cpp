#include "aUtil.h"

#include <ocidl.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "aDXBuf.h"
#include "aGDIBuf.h"
#include "bFileUtil.h"
#include "bHandles.h"
#include "bMsgBox.h"
#include "bPlayerSite.h"
#include "bStrConv.h"
#include "bTraceLog.h"

namespace {

enum { MESSAGE_TEXT_MAX = 80, MENU_TEXT_MAX = 260 };

}  // namespace

int ShowResourceMessage(HWND window, UINT captionId, UINT textId, UINT type) {
    char caption[512], text[512];
    if (LoadResString(captionId, caption, sizeof(caption)) <= 0)
        caption[0] = 0;
    if (LoadResString(textId, text, sizeof(text)) <= 0)
        text[0] = 0;
    caption[MbCutLength(caption, MESSAGE_TEXT_MAX)] = 0;
    text[MbCutLength(text, MESSAGE_TEXT_MAX)] = 0;
    return ShowTextMessage(window, caption, text, type);
}

int ShowTextMessage(HWND window, const char* caption, const char* text, UINT type) {
    if (!text || !*text)
        return IDOK;
    return SysMessageBox(window, text, caption, type);
}

void AppendMenuItems(HMENU target, HMENU source, int position) {
    TRACE_POINT();
    if (!target || !source)
        return;
    if (GetMenuItemCount(target) < position)
        position = -1;
    int count = GetMenuItemCount(source);
    for (int i = 0; i < count; ++i) {
        UINT id = GetMenuItemID(source, i);
        UINT flags;
        UINT_PTR item;
        char text[MENU_TEXT_MAX + 1] = "";
        const char* content = nullptr;
        if (id == 0) {
            flags = MF_SEPARATOR;
            item = 0;
        } else if (id == (UINT)-1) {
            HMENU sub = GetSubMenu(source, i);
            GetMenuStringA(source, i, text, sizeof(text), MF_BYPOSITION);
            flags = MF_POPUP | MF_STRING;
            item = (UINT_PTR)sub;
            content = text;
        } else {
            GetMenuStringA(source, i, text, sizeof(text), MF_BYPOSITION);
            flags = MF_STRING;
            item = id;
            content = text;
        }
        if (position == -1)
            AppendMenuA(target, flags, item, content);
        else
            InsertMenuA(target, position + i, flags | MF_BYPOSITION, item, content);
    }
}

HMENU GetSubMenuAt(HMENU menu, int index) {
    return GetSubMenu(menu, index);
}

const void* LoadRCDataResource(UINT id, DWORD* sizeOut) {
    TRACE_POINT();
    if (sizeOut)
        *sizeOut = 0;
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), (LPCSTR)RT_RCDATA);
    if (!found)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded)
        return nullptr;
    if (sizeOut)
        *sizeOut = SizeofResource(module, found);
    return LockResource(loaded);
}

int LoadResString(UINT id, char* buffer, int size) {
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = 0;
    return LoadStringA(GetModuleHandleA(nullptr), id, buffer, size);
}

void SetCanonicalPath(std::string& out, const char* path) {
    if (!path)
        path = "";
    char full[MAX_PATH + 1];
    char* filePart = nullptr;
    DWORD n = GetFullPathNameA(path, MAX_PATH, full, &filePart);
    if (n == 0 || n >= MAX_PATH) {
        out = path;
        return;
    }
    // The volume's root: "X:\" or "\\server\share\".
    std::string root;
    if (full[0] && full[1] == ':') {
        root.assign(full, 2);
        root += '\\';
    } else if (full[0] == '\\' && full[1] == '\\') {
        int seps = 0;
        size_t i = 2;
        for (; full[i] && seps < 2; ++i) {
            if (IsDBCSLeadByte((BYTE)full[i]) && full[i + 1]) {
                ++i;
                continue;
            }
            if (full[i] == '\\')
                ++seps;
        }
        root.assign(full, i);
        if (seps < 2)
            root += '\\';
    }
    DWORD flags = 0;
    if (!root.empty() &&
        GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
        if (!(flags & FS_CASE_IS_PRESERVED))
            CharUpperA(full);
        if (!(flags & FS_UNICODE_STORED_ON_DISK) && filePart && *filePart) {
            WIN32_FIND_DATAA fd;
            HANDLE h = FindFirstFileA(full, &fd);
            if (h != INVALID_HANDLE_VALUE) {
                FindClose(h);
                size_t at = filePart - full;
                if (at + strlen(fd.cFileName) < sizeof(full))
                    strcpy(full + at, fd.cFileName);
            }
        }
    }
    out = full;
}

HRESULT SplitMemberPath(const char* text, char* prefix, int prefixSize, char* member,
                        int memberSize, DWORD* kindOut) {
    if (!text || !*text)
        return E_INVALIDARG;
    size_t dot = (size_t)-1;
    for (size_t i = 0; text[i]; ++i) {
        if (IsDBCSLeadByte((BYTE)text[i]) && text[i + 1]) {
            ++i;
            continue;
        }
        if (text[i] == '.') {
            dot = i;
            break;
        }
    }
    if (dot == (size_t)-1) {
        MbCopyCutN(member, memberSize > 0 ? (size_t)memberSize : 0, text, strlen(text));
        return S_OK;
    }
    MbCopyCutN(prefix, prefixSize > 0 ? (size_t)prefixSize : 0, text, dot);
    MbCopyCutN(member, memberSize > 0 ? (size_t)memberSize : 0, text + dot + 1,
               strlen(text + dot + 1));
    if (kindOut)
        *kindOut = (dot == 2 && text[0] == 'A' && text[1] == 'x') ? MEMBER_PREFIX_AX
                                                                  : MEMBER_PREFIX_OBJECT;
    return S_OK;
}

bool IsBlank(const char* text) {
    if (!text)
        return true;
    for (; *text; ++text)
        if (*text != ' ')
            return false;
    return true;
}

HRESULT GetObjectTypeInfo(IUnknown* object, ITypeInfo** out) {
    if (!object || !out)
        return E_INVALIDARG;
    *out = nullptr;
    IProvideClassInfo* pci = nullptr;
    HRESULT hr = object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&pci));
    if (FAILED(hr) || !pci) {
        LOG_HRESULT(hr, "Query IProvideClassInfo FAILED");
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    hr = pci->GetClassInfo(out);
    pci->Release();
    if (FAILED(hr))
        LOG_HRESULT(hr, "GetObjectTypeInfo::GetClassInfo failed");
    return hr;
}

HRESULT GetObjectEventInfo(IUnknown* object, ITypeInfo** out) {
    if (!object || !out)
        return E_INVALIDARG;
    *out = nullptr;
    ITypeInfo* classInfo = nullptr;
    HRESULT hr = GetObjectTypeInfo(object, &classInfo);
    if (FAILED(hr))
        return hr;
    TYPEATTR* attr = nullptr;
    hr = classInfo->GetTypeAttr(&attr);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "GetObjectEventInfo::GetTypeAttr failed");
        classInfo->Release();
        return hr;
    }
    for (UINT i = 0; i < attr->cImplTypes; ++i) {
        INT flags = 0;
        if (FAILED(classInfo->GetImplTypeFlags(i, &flags)))
            continue;
        if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) !=
            (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
            continue;
        HREFTYPE ref = 0;
        hr = classInfo->GetRefTypeOfImplType(i, &ref);
        if (SUCCEEDED(hr))
            hr = classInfo->GetRefTypeInfo(ref, out);
        break;
    }
    classInfo->ReleaseTypeAttr(attr);
    classInfo->Release();
    return hr;
}

HRESULT GetStockEventInfo(IUnknown* object, const char* tableName, ITypeInfo** out) {
    if (!object || !tableName || !out)
        return E_INVALIDARG;
    *out = nullptr;
    ITypeInfo* classInfo = nullptr;
    HRESULT hr = GetObjectTypeInfo(object, &classInfo);
    if (FAILED(hr))
        return hr;
    ITypeLib* lib = nullptr;
    UINT index = 0;
    hr = classInfo->GetContainingTypeLib(&lib, &index);
    classInfo->Release();
    if (FAILED(hr) || !lib) {
        LOG_HRESULT(hr, "GetStockEventInfo::GetContainingTypeLib failed: %s", tableName);
        return FAILED(hr) ? hr : E_FAIL;
    }
    std::wstring name = WideFromMultibyte(tableName);
    MEMBERID memberId = 0;
    USHORT found = 1;
    hr = lib->FindName(name.data(), 0, out, &memberId, &found);
    lib->Release();
    if (FAILED(hr) || found == 0 || !*out) {
        LOG_HRESULT(hr, "GetStockEventInfo::FindName failed: %s", tableName);
        if (*out)
            (*out)->Release();
        *out = nullptr;
        return FAILED(hr) ? hr : TYPE_E_ELEMENTNOTFOUND;
    }
    return S_OK;
}

HRESULT GetObjectStockEventInfo(IUnknown* object, ITypeInfo** out) {
    return GetStockEventInfo(object, "EventsTableObjectStock", out);
}
HRESULT GetPageStockEventInfo(IUnknown* object, ITypeInfo** out) {
    return GetStockEventInfo(object, "EventsTablePageStock", out);
}
HRESULT GetAppStockEventInfo(IUnknown* object, ITypeInfo** out) {
    return GetStockEventInfo(object, "EventsTableAppStock", out);
}

int FontHeightToPoints(int height) {
    CClientDC screen;
    HDC dc = screen.Get();
    int saved = SetMapMode(dc, MM_TEXT);
    int points = abs(MulDiv(-height, 72, GetDeviceCaps(dc, LOGPIXELSY)));
    SetMapMode(dc, saved);
    return points;
}

int PointsToFontHeight(int points) {
    CClientDC screen;
    HDC dc = screen.Get();
    int saved = SetMapMode(dc, MM_TEXT);
    int height = abs(MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72));
    SetMapMode(dc, saved);
    return height;
}

namespace {

int CALLBACK TrueTypeProc(const LOGFONTA*, const TEXTMETRICA*, DWORD type, LPARAM found) {
    if (type & TRUETYPE_FONTTYPE) {
        *reinterpret_cast<bool*>(found) = true;
        return 0;
    }
    return 1;
}

int CALLBACK FirstFontProc(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM out) {
    *reinterpret_cast<LOGFONTA*>(out) = *font;
    return 0;
}

}  // namespace

bool IsTrueTypeFace(const char* face) {
    if (!face || !*face)
        return false;
    bool found = false;
    EnumFontFamiliesA(CClientDC().Get(), face, TrueTypeProc, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool MatchFontFace(const char* face, LOGFONTA* logFont) {
    if (!logFont)
        return false;
    logFont->lfFaceName[0] = 0;
    if (!face || !*face)
        return false;
    EnumFontFamiliesA(CClientDC().Get(), face, FirstFontProc, reinterpret_cast<LPARAM>(logFont));
    return logFont->lfFaceName[0] && lstrcmpiA(logFont->lfFaceName, face) == 0;
}

bool EnablePrivilege(const char* name, bool enable) {
    if (!IsWindowsNT(false))
        return true;
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened)) {
        LOG_WIN32_ERROR(0, "OpenProcessToken failed");
        return false;
    }
    CHandle token(opened);
    TOKEN_PRIVILEGES tp;
    tp.PrivilegeCount = 1;
    if (!LookupPrivilegeValueA(nullptr, name ? name : "", &tp.Privileges[0].Luid)) {
        LOG_WIN32_ERROR(0, "LookupPrivilegeValue:%s failed", name ? name : "");
        return false;
    }
    tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    SetLastError(ERROR_SUCCESS);
    if (!AdjustTokenPrivileges(token.Get(), FALSE, &tp, 0, nullptr, nullptr) ||
        GetLastError() != ERROR_SUCCESS)
        LOG_WIN32_ERROR(0, "AdjustTokenPrivileges :%s failed", name);
    return true;
}

namespace {

// The site's DirectDraw record (slot 24) when it uses DirectDraw (slot 34).
// Asked through QueryInterface: callers may hand on an object that only
// stands in for the play site.
DXOwner* SiteDirectDraw(IPlayerSite* site) {
    if (!site)
        return nullptr;
    IPlayerSite* play = nullptr;
    if (FAILED(site->QueryInterface(__uuidof(IPlayerSite), reinterpret_cast<void**>(&play))) ||
        !play)
        return nullptr;
    void* owner = nullptr;
    if (!play->UsesDirectDraw() || FAILED(play->GetDirectDraw(&owner)))
        owner = nullptr;
    play->Release();
    return static_cast<DXOwner*>(owner);
}

}  // namespace

IPixelBuffer* CreateSiteBuffer(int width, int height, IPlayerSite* site) {
    if (DXOwner* owner = SiteDirectDraw(site))
        return CreateDXBuffer(owner, width, height);
    return CreateGDIBuffer(width, height);
}

IPixelBuffer* CreateRenderBuffer(int width, int height, II_IRender*) {
    return CreateGDIBuffer(width, height);
}

IPixelBuffer* CreateBitmapForTarget(HGLOBAL dib, IPlayerSite* site) {
    if (DXOwner* owner = SiteDirectDraw(site))
        return CreateDXBufferFromDIB(owner, dib);
    return CreateGDIBufferFromDIB(dib);
}
