#include "aMediaMgr.h"

#include <string.h>

#include <string>
#include <vector>

#include "aPrjDoc.h"
#include "aPrjUtil.h"
#include "bFileUtil.h"
#include "aProject.h"
#include "bMsgBox.h"
#include "bTraceLog.h"

// String-table texts, with the shipped texts as fallback (GBK).
static const UINT IDS_ERROR_CAPTION = 12100;    // "错误"
static const UINT IDS_MEDIA_NOT_FOUND = 31523;  // "找不到媒体：%s"
static const UINT IDS_FILE_NOT_EXIST = 31524;   // "文件不存在!"
static const char kErrorCaption[] = "\xb4\xed\xce\xf3";
static const char kMediaNotFound[] = "\xd5\xd2\xb2\xbb\xb5\xbd\xc3\xbd\xcc\xe5\xa3\xba%s";
static const char kFileNotExist[] = "\xce\xc4\xbc\xfe\xb2\xbb\xb4\xe6\xd4\xda!";

CMediaManager::CMediaManager(CProject* project)
    : m_pProject(project), m_pDocument(nullptr), m_pMediaData(nullptr) {
    m_items.SetOwner(this);
    m_folders.SetOwner(this);
    m_exFiles.SetOwner(this);
}

CMediaManager::~CMediaManager() {
    if (m_pMediaData) {
        m_pMediaData->Release();
        m_pMediaData = nullptr;
    }
    Clear();
    for (TempFile* t : m_tempFiles) {
        DeleteFileA(t->path);
        delete t;
    }
    m_tempFiles.clear();
}

STDMETHODIMP_(ULONG) CMediaManager::Release() {
    ULONG n = InternalRelease();
    if (n == 0)
        delete this;
    return n;
}

void CMediaManager::DeleteThis(UINT flags) {
    if (flags & 1)
        delete this;
}

void CMediaManager::SetDocument(IProjectDocument* document) {
    m_pDocument = document;
    m_items.SetOwner(this);
    m_folders.SetOwner(this);
    m_exFiles.SetOwner(this);
}

int CMediaManager::GetFormatVersion() const {
    return m_pProject ? m_pProject->GetMinorVersion() : 16;
}

const char* CMediaManager::GetRuntimePath() const {
    const char* path = m_pDocument ? m_pDocument->GetRuntimePath() : nullptr;
    return path ? path : "";
}

HWND CMediaManager::ViewWindow() const {
    return m_pDocument ? m_pDocument->GetViewWindow() : nullptr;
}

HRESULT CMediaManager::OpenMediaData(ITeskStorage* storage) {
    if (m_pMediaData) {
        m_pMediaData->Release();
        m_pMediaData = nullptr;
    }
    if (!storage)
        return E_INVALIDARG;
    return storage->OpenStorage("MediaData", TESK_MODE_READ, &m_pMediaData);
}

void CMediaManager::Clear() {
    m_items.Clear();
    m_folders.Clear();
    m_exFiles.Clear();
}

CRtMediaItem* CMediaManager::GetRtMediaItemByName(const char* name) const {
    return m_items.FindItem(name);
}

STDMETHODIMP CMediaManager::GetMediaFilePath(const char* name, int /*unused*/, char* path,
                                             int length) {
    if (!path || !name || !*name || length <= 0) {
        LOG_MSG("parameters error !");
        return E_INVALIDARG;
    }
    path[0] = 0;
    CRtMediaItem* item = GetRtMediaItemByName(name);
    if (!item) {
        LOG_MSG("Media '%s' not found", name);
        return E_FAIL;
    }
    // Resolved whole, so the test below sees the real path even when the
    // caller's buffer cuts it.
    char full[MAX_PATH];
    item->GetFullPath(full, sizeof(full));
    MbsCopyCut(path, (size_t)length, full);
    if (item->GetKind() != MEDIAKIND_FILE)
        return S_FALSE;
    if (FileExists(full))
        return S_OK;
    LOG_MSG("File '%s' not found", full);
    if (!item->m_missingReported) {
        item->m_missingReported = 1;
        std::string format = LoadResText(IDS_MEDIA_NOT_FOUND, kMediaNotFound);
        std::vector<char> text(format.size() + strlen(name) + 8);
        _snprintf(text.data(), text.size() - 1, format.c_str(), name);
        text[text.size() - 1] = 0;
        std::string message = std::string(text.data()) + "\n" + full;
        SysMessageBox(ViewWindow(), message.c_str(),
                      LoadResText(IDS_ERROR_CAPTION, kErrorCaption).c_str(), MB_ICONWARNING);
    }
    return E_FAIL;
}

STDMETHODIMP CMediaManager::GetExternalFilePath(const char* name, char* path, int length) {
    if (!path || !name || !*name || length <= 0) {
        LOG_MSG("parameters error !");
        return E_INVALIDARG;
    }
    path[0] = 0;
    CExFileItem* item = m_exFiles.Find(name);
    if (!item) {
        LOG_MSG("external file (%s) not found", name);
        return E_FAIL;
    }
    std::string full = item->GetFullPath();
    MbsCopyCut(path, (size_t)length, full.c_str());
    if (FileExists(full.c_str()))
        return S_OK;
    if (!item->m_missingReported) {
        item->m_missingReported = 1;
        std::string message = LoadResText(IDS_FILE_NOT_EXIST, kFileNotExist) + " :\n" + full;
        SysMessageBox(ViewWindow(), message.c_str(),
                      LoadResText(IDS_ERROR_CAPTION, kErrorCaption).c_str(), MB_ICONWARNING);
    }
    return E_FAIL;
}

STDMETHODIMP CMediaManager::ReadMediaData(const char* name, int, int, void* buffer, DWORD* size) {
    if (!name || !*name || !size) {
        LOG_MSG("parameter error !");
        return E_INVALIDARG;
    }
    DWORD capacity = buffer ? *size : 0;
    *size = 0;
    if (!m_pMediaData)
        return E_UNEXPECTED;
    CComPtr<ITeskStream> stream;
    HRESULT hr = m_pMediaData->OpenStream(name, TESK_MODE_READ, &stream);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "OpenStream (%s) failed !", name);
        return hr;
    }
    stream->SetMode(0);
    CComPtr<ITeskStream> body;
    try {
        if (GetFormatVersion() < 8) {
            hr = CacheStreamBody(stream, stream->GetSize(), 0, &body);
        } else {
            MEDIA_HEADER header;
            if (!ReadMediaHeader(stream, &header))
                return E_FAIL;
            if (StreamRemaining(stream) == 0)
                return S_OK;
            hr = CacheRestOfStream(stream, (int)header.mode, &body);
        }
    } catch (const CTeskExcept& e) {
        LOG_MSG("ReadMediaData (%s) failed: %d", name, e.GetCode());
        return E_FAIL;
    }
    stream.Release();
    if (FAILED(hr))
        return hr;
    ULONGLONG length = body->GetSize();
    if (length > 0xFFFFFFFFull)
        return E_FAIL;
    if (!buffer) {
        *size = (DWORD)length;
        return S_OK;
    }
    // Never more than the caller said its buffer holds.
    DWORD n = (DWORD)(length < capacity ? length : capacity);
    body->Seek(0, TESK_SEEK_SET);
    if (n && !ReadExact(body, buffer, n))
        return E_FAIL;
    *size = n;
    return n == length ? S_OK : E_FAIL;
}

STDMETHODIMP CMediaManager::GetMediaType(const char* name, int* type, int* subtype) {
    if (!name || !type || !subtype)
        return E_INVALIDARG;
    *type = -1;
    *subtype = -1;
    if (CRtMediaItem* item = GetRtMediaItemByName(name)) {
        *type = item->m_mediaType;
        *subtype = item->m_mediaSubType;
        return S_OK;
    }
    HRESULT hr = CMTools::GetMediaType(name, 0, type, subtype);
    return FAILED(hr) ? hr : S_FALSE;
}

STDMETHODIMP CMediaManager::MediaTypeFromFileName(const char* fileName, int* type, int* subtype) {
    return CMTools::GetMediaType(fileName, 0, type, subtype);
}

STDMETHODIMP CMediaManager::GetDefaultExtension(const char* name, char* buffer, int length) {
    if (!name || !buffer)
        return E_INVALIDARG;
    int type = -1, subtype = -1;
    HRESULT hr = GetMediaType(name, &type, &subtype);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "Get mediaType failed! (%s)", name);
        return hr;
    }
    if (!CMTools::GetDefExtName(type, subtype, buffer, length)) {
        LOG_MSG("CMTools::GetDefExtName failed! (%s)", name);
        return E_FAIL;
    }
    return S_OK;
}

STDMETHODIMP CMediaManager::IsFileMedia(const char* name, BYTE* flag) {
    if (!name || !*name || !flag)
        return E_INVALIDARG;
    CRtMediaItem* item = GetRtMediaItemByName(name);
    if (!item) {
        LOG_MSG("GetRtMediaItemByName (%s) failed !", name);
        return E_FAIL;
    }
    *flag = item->GetKind() == MEDIAKIND_FILE ? 1 : 0;
    return S_OK;
}

STDMETHODIMP CMediaManager::ExtractMediaToTempFile(const char* name, char* path, int length) {
    if (!name || !*name || !path || length <= 0)
        return E_INVALIDARG;
    for (TempFile* t : m_tempFiles) {
        if (MbsIEqual(t->name, name)) {
            MbsCopyCut(path, (size_t)length, t->path);
            return S_OK;
        }
    }
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof(temp), temp);
    if (n == 0 || n >= sizeof(temp))
        return E_FAIL;
    char folder[MAX_PATH];
    _snprintf(folder, sizeof(folder) - 1, "%smvrmedia", temp);
    folder[sizeof(folder) - 1] = 0;
    DWORD attributes = GetFileAttributesA(folder);
    if ((attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) &&
        !CreateDirectoryA(folder, nullptr)) {
        LOG_WIN32_ERROR(0, "CreateDirectory FAILED! (%s)", folder);
        return E_FAIL;
    }

    TempFile* record = new TempFile;
    MbsCopyCut(record->name, sizeof(record->name), name);
    std::string base = record->name, ext;
    const char* dot = MbsRChr(record->name, '.');
    if (dot) {
        base.assign(record->name, (size_t)(dot - record->name));
        ext = dot + 1;
    }
    // The candidate is made in a whole path buffer, so each number gives a
    // different name; the search gives up rather than run for ever.
    char candidate[MAX_PATH];
    bool found = false;
    for (int i = 0; i < 100000 && !found; ++i) {
        int w = _snprintf(candidate, sizeof(candidate), "%s\\%s_%d.%s", folder, base.c_str(), i,
                          ext.c_str());
        if (w < 0 || w >= (int)sizeof(candidate))
            break;
        found = GetFileAttributesA(candidate) == INVALID_FILE_ATTRIBUTES;
    }
    if (!found) {
        LOG_MSG("no free temporary name for %s", name);
        delete record;
        return E_FAIL;
    }
    HANDLE file = CreateFileA(candidate, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        LOG_WIN32_ERROR(0, "CreateFile FAILED! (%s)", candidate);
        delete record;
        return E_FAIL;
    }
    HRESULT hr;
    DWORD size = 0;
    std::vector<BYTE> data;
    hr = ReadMediaData(name, 0, 0, nullptr, &size);
    if (SUCCEEDED(hr) && size) {
        try {
            data.resize(size);
        } catch (...) {
            hr = E_OUTOFMEMORY;
        }
        if (SUCCEEDED(hr))
            hr = ReadMediaData(name, 0, 0, data.data(), &size);
    }
    if (SUCCEEDED(hr)) {
        DWORD written = 0;
        BOOL ok = size == 0 || WriteFile(file, data.data(), size, &written, nullptr);
        if (!ok || written != size)
            hr = E_FAIL;
    }
    CloseHandle(file);
    if (FAILED(hr)) {
        // A file that did not get the media is not left behind.
        DeleteFileA(candidate);
        delete record;
        return hr;
    }
    MbsCopyCut(record->path, sizeof(record->path), candidate);
    m_tempFiles.push_back(record);
    MbsCopyCut(path, (size_t)length, candidate);
    return S_OK;
}

// The editing host keeps its books of stored media names; the player only
// notes the calls.
STDMETHODIMP CMediaManager::MediaNameStored(const char*) {
    TRACE_POINT();
    return S_OK;
}

STDMETHODIMP CMediaManager::MediaNameRemoved(const char*) {
    TRACE_POINT();
    return S_OK;
}

STDMETHODIMP CMediaManager::RegisterLinkedFile(const char*, int, char*, int) {
    TRACE_POINT();
    return S_OK;
}

STDMETHODIMP CMediaManager::StoreMediaData(int, int, const void*, int, int, char*, int) {
    TRACE_POINT();
    return S_OK;
}
