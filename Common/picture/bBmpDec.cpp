// BMP/DIB codec: a 14-byte file header, then a packed DIB with a 40-byte or
// 12-byte header, converted to 32 bits. The file's data offset is not used:
// the rows follow the palette.
#include <string.h>

#include "bByteReader.h"
#include "bDib.h"
#include "bPicCodec.h"
#include "bTraceLog.h"

namespace {

const size_t kFileHeaderSize = 14;

class CBmpCodec : public CPictureCodecBase {
public:
    CBmpCodec() { SetExtensionList("dib;bmp"); }

    STDMETHOD(ReadInfo)(const BYTE* data, DWORD size) override {
        CByteReader r(data, size);
        if (r.U16LE() != 0x4D42) {  // "BM"
            LOG_MSG("Not a bitmap file");
            return E_FAIL;
        }
        r.Seek(kFileHeaderSize);
        DWORD headerSize = r.U32LE();
        if (headerSize == sizeof(BITMAPINFOHEADER)) {
            BITMAPINFOHEADER header;
            r.Seek(kFileHeaderSize);
            if (r.ReadPod(header)) {
                m_header = header;
                return S_OK;
            }
        } else if (headerSize == sizeof(BITMAPCOREHEADER)) {
            BITMAPINFOHEADER header;
            memset(&header, 0, sizeof(header));
            header.biSize = sizeof(BITMAPINFOHEADER);
            header.biWidth = r.U16LE();
            header.biHeight = r.U16LE();
            header.biPlanes = r.U16LE();
            header.biBitCount = r.U16LE();
            if (r.Ok()) {
                m_header = header;
                return S_OK;
            }
        }
        LOG_MSG("Not a win30-dib file");
        return E_FAIL;
    }

    STDMETHOD(Decode)(const BYTE* data, DWORD size, HGLOBAL* dib) override {
        if (!dib)
            return E_POINTER;
        *dib = nullptr;
        CByteReader r(data, size);
        r.Seek(kFileHeaderSize);
        DWORD headerSize = r.U32LE();
        if (r.Failed() ||
            (headerSize != sizeof(BITMAPINFOHEADER) && headerSize != sizeof(BITMAPCOREHEADER))) {
            LOG_MSG("Not a win30-dib file");
            return E_FAIL;
        }
        *dib = ConvertPackedDib32Checked(data + kFileHeaderSize, size - kFileHeaderSize);
        return *dib ? S_OK : E_FAIL;
    }
};

}  // namespace

HRESULT CreateBmpCodec(PictureCodec** codec) {
    return CreateCodec<CBmpCodec>(codec);
}
