// The codec base shared by the built-in codecs, and the "grh" placeholder.
#include "bPicCodec.h"

#include "bStrConv.h"

#include <string.h>

#include "bTraceLog.h"

bool MbTextEqualNoCase(const char* a, size_t lenA, const char* b, size_t lenB) {
    return lenA == lenB && MbsNICmp(a, b, lenA) == 0;
}

CPictureCodecBase::CPictureCodecBase() : m_hHeader(nullptr), m_alpha(0) {
    m_extensions[0] = 0;
    memset(&m_header, 0, sizeof(m_header));
}

CPictureCodecBase::~CPictureCodecBase() {
    FreeHeaderBlock();
}

void CPictureCodecBase::FreeHeaderBlock() {
    if (m_hHeader) {
        GlobalFree(m_hHeader);
        m_hHeader = nullptr;
    }
}

void CPictureCodecBase::SetHeaderSize(LONG width, LONG height) {
    memset(&m_header, 0, sizeof(m_header));
    m_header.biSize = sizeof(BITMAPINFOHEADER);
    m_header.biWidth = width;
    m_header.biHeight = height;
}

HRESULT CPictureCodecBase::HandOverDib(HGLOBAL picture, HGLOBAL* dib) {
    const BITMAPINFOHEADER* bih = static_cast<const BITMAPINFOHEADER*>(GlobalLock(picture));
    bool ok = bih->biSize == sizeof(BITMAPINFOHEADER);
    if (ok)
        m_header = *bih;
    GlobalUnlock(picture);
    if (!ok) {
        GlobalFree(picture);
        return E_FAIL;
    }
    *dib = picture;
    return S_OK;
}

void CPictureCodecBase::SetExtensionList(const char* list) {
    lstrcpynA(m_extensions, list, sizeof(m_extensions));
}

int CPictureCodecBase::GetExtensionListLength() {
    return lstrlenA(m_extensions) + 1;
}

int CPictureCodecBase::GetExtensionList(char* buffer, int size) {
    if (!buffer || size <= 0)
        return 1;
    int length = lstrlenA(m_extensions);
    if (length < size) {
        memcpy(buffer, m_extensions, length + 1);
        return 0;
    }
    // Cut at a character boundary so no lead byte is left alone.
    size_t cut = MbCutLength(m_extensions, (size_t)size - 1);
    memcpy(buffer, m_extensions, cut);
    buffer[cut] = 0;
    return 1;
}

int CPictureCodecBase::MatchExtension(const char* text) {
    if (!text)
        return 1;
    size_t textLength = strlen(text);
    const char* item = m_extensions;
    for (;;) {
        const char* end = strchr(item, ';');
        size_t length = end ? (size_t)(end - item) : strlen(item);
        if (length && MbTextEqualNoCase(item, length, text, textLength))
            return 0;
        if (!end)
            return 1;
        item = end + 1;
    }
}

namespace {

// The "grh" files have no decoder: the header read succeeds and leaves the
// size at 0, and decoding always fails.
class CGrhCodec : public CPictureCodecBase {
public:
    CGrhCodec() { SetExtensionList("grh"); }
    STDMETHOD(ReadInfo)(const BYTE*, DWORD) override { return S_OK; }
    STDMETHOD(Decode)(const BYTE*, DWORD, HGLOBAL* dib) override {
        if (dib)
            *dib = nullptr;
        return E_FAIL;
    }
};

}  // namespace

HRESULT CreateGrhCodec(PictureCodec** codec) {
    return CreateCodec<CGrhCodec>(codec);
}
