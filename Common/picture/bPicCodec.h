// The built-in picture codecs and the library decoders behind three of them.
// Every codec reads the whole file held in memory; none reads from disk.
#pragma once

#include "bPicBase.h"

// Fields and operations common to every built-in codec; each decoder adds
// its own ReadInfo and Decode.
class CPictureCodecBase : public CComObjectRootBase, public PictureCodec {
public:
    BEGIN_COM_MAP(CPictureCodecBase)
    COM_INTERFACE_ENTRY(PictureCodec)
    END_COM_MAP()

    CPictureCodecBase();
    virtual ~CPictureCodecBase();

    STDMETHOD_(LONG, GetHeight)() override { return m_header.biHeight; }
    STDMETHOD_(LONG, GetWidth)() override { return m_header.biWidth; }
    STDMETHOD_(int, GetAlphaFlag)() override { return m_alpha; }
    STDMETHOD_(void, SetAlphaFlag)(int alpha) override { m_alpha = alpha; }
    STDMETHOD_(int, GetExtensionListLength)() override;
    STDMETHOD_(int, GetExtensionList)(char* buffer, int size) override;
    STDMETHOD_(int, MatchExtension)(const char* text) override;
    STDMETHOD_(void, DeleteThis)() override { delete this; }

protected:
    void SetExtensionList(const char* list);
    void FreeHeaderBlock();
    // A header that holds only the picture's size.
    void SetHeaderSize(LONG width, LONG height);
    // Hands a decoded packed DIB to the caller and keeps its header; one
    // without a 40-byte header is freed and fails.
    HRESULT HandOverDib(HGLOBAL picture, HGLOBAL* dib);

    char m_extensions[256];
    BITMAPINFOHEADER m_header;  // of the last picture read
    HGLOBAL m_hHeader;          // codec's own block (palette, kept picture)
    int m_alpha;
};

// Creators of the built-in codecs, in list order; each returns the codec
// with one reference.
HRESULT CreateBmpCodec(PictureCodec** codec);
HRESULT CreateGifCodec(PictureCodec** codec);
HRESULT CreateJpegCodec(PictureCodec** codec);
HRESULT CreateTiffCodec(PictureCodec** codec);
HRESULT CreateTgaCodec(PictureCodec** codec);
HRESULT CreatePicMspCodec(PictureCodec** codec);
HRESULT CreateGrhCodec(PictureCodec** codec);
HRESULT CreatePngCodec(PictureCodec** codec);

// Creates a codec class with one reference.
template <class T>
HRESULT CreateCodec(PictureCodec** codec) {
    return ComCreateInstance<CPictureInterfaceQI<T>>(__uuidof(PictureCodec),
                                                     reinterpret_cast<void**>(codec));
}

// Equality of two counted multibyte texts under the one case rule of
// MbsICmp (double-byte characters compared as they stand).
bool MbTextEqualNoCase(const char* a, size_t lenA, const char* b, size_t lenB);

// JPEG over libjpeg. bitCount is 24 or 32 (others give 24); the result is a
// bottom-up packed DIB, or null with the library's message kept.
HGLOBAL JpegToDib(const void* data, DWORD length, int bitCount);
int JpegGetSize(const void* data, DWORD length, int* width, int* height);
// Copies the last library message (cut to fit, NUL-terminated) when size is
// non-zero; returns the last message code.
int JpegGetLastError(char* buffer, int size);

// PNG over libpng: a 32-bit bottom-up packed DIB (blue, green, red, alpha),
// or null. PngGetSize reads only the header.
HGLOBAL PngToDib(const void* data, int* width, int* height, DWORD length);
bool PngGetSize(const void* data, DWORD length, int* width, int* height);
const char* PngGetLastError();

// TIFF over libtiff: the first image as a 32-bit bottom-up packed DIB, or
// null. TiffGetSize opens the file only for its width and length.
typedef struct tiff TIFF;
HGLOBAL TiffToDib(const void* data, DWORD size);
TIFF* TiffOpenMemory(const void* data, DWORD size);
bool TiffGetSize(const void* data, DWORD size, int* width, int* height);
void TiffGetLastError(char* buffer, int size);
