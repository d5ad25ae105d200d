// The codec list: built-in codecs first, then the installed codec modules.
// A structured exception inside a codec is logged and that codec skipped.
#include <string.h>

#include <new>

#include "bPicCodec.h"
#include "bTraceLog.h"

namespace {

typedef HRESULT (*PFNCREATECODEC)(PictureCodec** codec);

// In list order: the 1-based position is the codec index.
const PFNCREATECODEC kBuiltInCodecs[] = {
    CreateBmpCodec,     // "dib;bmp"
    CreateGifCodec,     // "gif"
    CreateJpegCodec,    // "jpg;jpeg"
    CreateTiffCodec,    // "tif;tiff"
    CreateTgaCodec,     // "tga"
    CreatePicMspCodec,  // "pic"
    CreateGrhCodec,     // "grh"
    CreatePngCodec,     // "png"
};
const int kBuiltInCount = sizeof(kBuiltInCodecs) / sizeof(kBuiltInCodecs[0]);

}  // namespace

PictureCodecManager::PictureCodecManager() : m_count(0), m_capacity(0), m_codecs(nullptr) {}

PictureCodecManager::~PictureCodecManager() {
    Clear();
}

bool PictureCodecManager::Append(PictureCodec* codec) {
    if (m_count >= m_capacity)
        return false;
    m_codecs[m_count++] = codec;
    return true;
}

bool PictureCodecManager::Init(ICodecModuleCreator* creator) {
    Clear();
    int modules = creator ? creator->GetCodecModuleCount() : 0;
    if (modules < 0)
        modules = 0;
    int capacity = kBuiltInCount + modules;
    m_codecs = new (std::nothrow) PictureCodec*[capacity]();
    if (!m_codecs)
        return false;
    m_capacity = capacity;

    for (int i = 0; i < kBuiltInCount; ++i) {
        PictureCodec* codec = nullptr;
        if (SUCCEEDED(kBuiltInCodecs[i](&codec)) && codec)
            Append(codec);
    }
    for (int i = 0; i < modules; ++i) {
        CLSID clsid;
        if (!creator->GetCodecModuleClassId(i, &clsid))
            continue;
        PictureCodec* codec = nullptr;
        HRESULT hr = creator->CreateModuleInstance(clsid, __uuidof(PictureCodec),
                                                   reinterpret_cast<void**>(&codec));
        if (SUCCEEDED(hr) && codec)
            Append(codec);
    }
    return true;
}

void PictureCodecManager::Clear() {
    for (int i = 0; i < m_count; ++i) {
        if (m_codecs[i])
            m_codecs[i]->Release();
    }
    delete[] m_codecs;
    m_codecs = nullptr;
    m_count = 0;
    m_capacity = 0;
}

PictureCodec* PictureCodecManager::GetCodec(int position) const {
    if (position < 0 || position >= m_count)
        return nullptr;
    return m_codecs[position];
}

HRESULT PictureCodecManager::FindCodec(const char* extension, int* index) {
    if (!extension || !index)
        return E_POINTER;
    if (*extension == '.')
        ++extension;
    for (int i = 0; i < m_count; ++i) {
        try {
            if (m_codecs[i]->MatchExtension(extension) == 0) {
                *index = i + 1;
                return S_OK;
            }
        } catch (CSE_Exception& e) {
            LOG_EXCEPTION(e);
        }
    }
    return S_FALSE;
}

HRESULT PictureCodecManager::IsKnownExtension(const char* text) {
    if (!text)
        return E_POINTER;
    for (int i = 0; i < m_count; ++i) {
        try {
            if (m_codecs[i]->MatchExtension(text) == 0)
                return S_OK;
        } catch (CSE_Exception& e) {
            LOG_EXCEPTION(e);
        }
    }
    return S_FALSE;
}

int PictureCodecManager::GetExtensionListLength() {
    int total = 0;
    for (int i = 0; i < m_count; ++i) {
        try {
            total += m_codecs[i]->GetExtensionListLength() + 1;
        } catch (CSE_Exception& e) {
            LOG_EXCEPTION(e);
        }
    }
    return total;
}

HRESULT PictureCodecManager::GetExtensionList(char* buffer, int size) {
    if (!buffer || size <= 0)
        return E_POINTER;
    buffer[0] = 0;
    int length = 0;
    HRESULT hr = S_OK;
    for (int i = 0; i < m_count; ++i) {
        if (length >= size - 1) {
            hr = S_FALSE;  // the rest did not fit
            break;
        }
        try {
            if (m_codecs[i]->GetExtensionList(buffer + length, size - length) != 0)
                hr = S_FALSE;
        } catch (CSE_Exception& e) {
            LOG_EXCEPTION(e);
            buffer[length] = 0;
            continue;
        }
        buffer[size - 1] = 0;  // whatever the codec wrote
        length += lstrlenA(buffer + length);
        if (length < size - 1) {
            buffer[length++] = ';';
            buffer[length] = 0;
        } else {
            hr = S_FALSE;
        }
    }
    return hr;
}
