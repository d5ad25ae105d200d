#include "aPrjUtil.h"

#include <string.h>

#include <algorithm>
#include <vector>

#include "aInflStm.h"
#include "aMemStm.h"
#include "bFileUtil.h"
#include "bTraceLog.h"

static inline bool IsLead(unsigned char c) {
    return c >= 0x80 && IsDBCSLeadByte(c);
}

const char* MbsLastChar(const char* text) {
    if (!text || !*text)
        return nullptr;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* last = nullptr;
    while (*p) {
        last = p;
        p += (IsLead(*p) && p[1]) ? 2 : 1;
    }
    return reinterpret_cast<const char*>(last);
}

const char* MbsChr(const char* text, char c) {
    if (!text)
        return nullptr;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        if (IsLead(*p) && p[1]) {
            p += 2;
            continue;
        }
        if (*p == (unsigned char)c)
            return reinterpret_cast<const char*>(p);
        ++p;
    }
    return nullptr;
}

const char* MbsRChr(const char* text, char c) {
    if (!text)
        return nullptr;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* found = nullptr;
    while (*p) {
        if (IsLead(*p) && p[1]) {
            p += 2;
            continue;
        }
        if (*p == (unsigned char)c)
            found = p;
        ++p;
    }
    return reinterpret_cast<const char*>(found);
}

bool DropTrailingBackslash(char* path) {
    const char* last = MbsLastChar(path);
    if (!last || *last != '\\')
        return false;
    path[last - path] = 0;
    return true;
}

bool DropTrailingBackslash(std::string& path) {
    const char* last = MbsLastChar(path.c_str());
    if (!last || *last != '\\')
        return false;
    path.resize((size_t)(last - path.c_str()));
    return true;
}

std::string PathDirectoryWithSlash(const char* path) {
    char dir[MAX_PATH];
    if (!path || !PathDirectory(path, dir, sizeof(dir)) || !dir[0])
        return std::string();
    std::string out = dir;
    const char* last = MbsLastChar(dir);
    if (last && *last != '\\' && *last != '/')
        out += '\\';
    return out;
}

std::string PathWithExtension(const char* path, const char* ext) {
    char buffer[MAX_PATH];
    if (!path || !PathReplaceExtension(path, ext ? ext : "", buffer, sizeof(buffer)))
        return std::string();
    return buffer;
}

bool FullPathOf(const char* path, std::string* out) {
    out->clear();
    if (!path || !*path)
        return false;
    char buffer[MAX_PATH];
    DWORD n = GetFullPathNameA(path, sizeof(buffer), buffer, nullptr);
    if (n == 0 || n >= sizeof(buffer))
        return false;
    *out = buffer;
    return true;
}

// A zlib body is read as it inflates, never held whole: a small package
// could otherwise make the player hold a thousand times its size.
static HRESULT OpenZlibBody(ITeskStream* source, ITeskStream** out) {
    CComObject<CInflateStream>* body = nullptr;
    if (FAILED(CComObject<CInflateStream>::CreateInstance(&body)) || !body)
        return E_OUTOFMEMORY;
    CComPtr<ITeskStream> keep(body);
    HRESULT hr;
    try {
        hr = body->Open(source);
    } catch (const CTeskExcept& e) {
        LOG_MSG("body passes the end of its stream (%d)", e.GetCode());
        return TESK_E_STREAMHEADER;
    }
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "decompress/cache data failed");
        return hr;
    }
    keep->SetMode(0);
    *out = keep.Detach();
    return S_OK;
}

HRESULT CacheStreamBody(ITeskStream* source, ULONGLONG length, int mode, ITeskStream** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!source)
        return E_INVALIDARG;
    if (mode == BODY_ZLIB && length)
        return OpenZlibBody(source, out);
    CComPtr<ITeskStream> cache;
    HRESULT hr = CreateMemStream(&cache, 32000);
    if (FAILED(hr))
        return hr;
    CMemStream* mem = AsMemStream(cache);
    if (!mem)
        return E_UNEXPECTED;
    cache->SetMode(1);
    if (length) {
        // A body passing the end of its stream is a body not read, never an
        // exception for the reader of the records.
        try {
            hr = mem->LoadCompressed(source, length, mode);
        } catch (const CTeskExcept& e) {
            LOG_MSG("body passes the end of its stream (%d)", e.GetCode());
            hr = TESK_E_STREAMHEADER;
        }
        if (FAILED(hr))
            return hr;
    }
    cache->SetMode(0);
    cache->Seek(0, TESK_SEEK_SET);
    *out = cache.Detach();
    return S_OK;
}

HRESULT CacheRestOfStream(ITeskStream* source, int mode, ITeskStream** out) {
    if (!source) {
        if (out)
            *out = nullptr;
        return E_INVALIDARG;
    }
    return CacheStreamBody(source, StreamRemaining(source), mode, out);
}

HRESULT CacheCountedBody(ITeskStream* source, int mode, ULONGLONG count, ULONGLONG mostPerRecord,
                         ULONGLONG extra, ITeskStream** out) {
    if (!source) {
        if (out)
            *out = nullptr;
        return E_INVALIDARG;
    }
    ULONGLONG left = StreamRemaining(source);
    if (mode != BODY_ZLIB && mostPerRecord &&
        count <= (left - std::min(left, extra)) / mostPerRecord)
        left = count * mostPerRecord + extra;
    return CacheStreamBody(source, left, mode, out);
}

bool ReadExact(ITeskStream* stream, void* buffer, ULONG n) {
    // A packed-container stream would read on into the next element.
    if (StreamRemaining(stream) < n)
        return false;
    try {
        return stream->Read(buffer, n) == n;
    } catch (const CTeskExcept&) {
        return false;
    }
}

void ReadFixedWide(ITeskStream* stream, ULONG units, char* dest, size_t size) {
    std::vector<char> text(units + 1, 0);
    stream->ReadWideString(text.data(), units);
    text[units] = 0;
    MbCopyCut(dest, size, text.data());
}

void WriteFixedWide(ITeskStream* stream, ULONG units, const char* text) {
    stream->WriteWideString(text ? text : "", units);
}

std::string LoadResText(UINT id, const char* fallback) {
    char buffer[512];
    int n = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof(buffer));
    if (n > 0)
        return std::string(buffer, (size_t)n);
    return fallback ? fallback : "";
}
