// The picture interface of the graphics library: the picture object
// (PicBase), the codec interface every decoder offers (PictureCodec) and the
// codec list the play site owns (PictureCodecManager).
//
// A picture decodes one file or memory block into a packed DIB (bDib.h) of
// 32 bits per pixel, blue, green, red, alpha, choosing its codec by the file
// extension.
#pragma once

#include "bComBase.h"

// Pictures of more pixels than this are refused (4096 x 4096).
const LONGLONG PICTURE_MAX_PIXELS = 4096LL * 4096LL;

// {C0BC2630-1049-11D4-9EEB-00104B04B807}
struct PictureCodec : public IUnknown {
    STDMETHOD_(LONG, GetHeight)() = 0;              // 3
    STDMETHOD_(LONG, GetWidth)() = 0;               // 4
    STDMETHOD_(int, GetAlphaFlag)() = 0;            // 5
    STDMETHOD_(void, SetAlphaFlag)(int alpha) = 0;  // 6
    // Length of the extension list plus 1.
    STDMETHOD_(int, GetExtensionListLength)() = 0;  // 7
    // Copies the list ("a;b", no dots); 0 when it fits, else 1 with the
    // list cut to size - 1 bytes.
    STDMETHOD_(int, GetExtensionList)(char* buffer, int size) = 0;  // 8
    // 0 when an item of the list equals the text (ignoring case), else 1.
    STDMETHOD_(int, MatchExtension)(const char* text) = 0;  // 9
    // Reads the picture's header from the whole file held in memory.
    STDMETHOD(ReadInfo)(const BYTE* data, DWORD size) = 0;  // 10
    // Decodes the picture into a new packed DIB that the caller owns.
    STDMETHOD(Decode)(const BYTE* data, DWORD size, HGLOBAL* dib) = 0;  // 11
    // Destroys the codec whatever its count.
    STDMETHOD_(void, DeleteThis)() = 0;  // 12
};
DECLARE_IID(PictureCodec, 0xC0BC2630, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// The part of the object creator the codec list uses: the installed codec
// modules (plug-in modules whose interface is PictureCodec, in module order)
// and the creation of one by its class identifier.
struct ICodecModuleCreator {
    virtual int GetCodecModuleCount() = 0;
    virtual bool GetCodecModuleClassId(int index, CLSID* clsid) = 0;
    virtual HRESULT CreateModuleInstance(REFCLSID clsid, REFIID iid, void** object) = 0;
};

// The codec list: the eight built-in codecs, then the installed modules.
// Indexes given to and by callers are 1-based positions in the list.
class PictureCodecManager {
public:
    PictureCodecManager();
    ~PictureCodecManager();

    // Fills the list; the creator may be null (built-in codecs only).
    bool Init(ICodecModuleCreator* creator);
    // Releases every codec and empties the list.
    void Clear();

    int GetCount() const { return m_count; }
    // The codec at a 0-based position (no reference added), or null.
    PictureCodec* GetCodec(int position) const;

    // The walks the picture object makes over the list.
    HRESULT FindCodec(const char* extension, int* index);
    HRESULT IsKnownExtension(const char* text);
    int GetExtensionListLength();
    HRESULT GetExtensionList(char* buffer, int size);

private:
    PictureCodecManager(const PictureCodecManager&) = delete;
    PictureCodecManager& operator=(const PictureCodecManager&) = delete;
    bool Append(PictureCodec* codec);

    int m_count;
    int m_capacity;
    PictureCodec** m_codecs;
};

// What a picture needs of its play site: the codec list it owns.
struct IPictureCodecSite {
    STDMETHOD(GetCodecManager)(PictureCodecManager** manager) = 0;
};

// {C0BC262F-1049-11D4-9EEB-00104B04B807}
struct PicBase : public IUnknown {
    STDMETHOD_(LONG, GetHeight)() = 0;  // 3
    STDMETHOD_(LONG, GetWidth)() = 0;   // 4
    // The held DIB, still owned by the picture.
    STDMETHOD_(HGLOBAL, GetDIB)() = 0;    // 5
    STDMETHOD_(int, GetAlphaFlag)() = 0;  // 6
    // Hands the DIB to the caller and empties the picture; E_FAIL when none.
    STDMETHOD(DetachDIB)(HGLOBAL* dib) = 0;         // 7
    STDMETHOD_(int, GetExtensionListLength)() = 0;  // 8
    // All codecs' lists joined, each followed by ";".
    STDMETHOD(GetExtensionList)(char* buffer, int size) = 0;  // 9
    STDMETHOD(IsKnownExtension)(const char* text) = 0;        // 10
    // S_OK and the 1-based codec index, or S_FALSE with the index untouched.
    STDMETHOD(FindCodec)(const char* extension, int* index) = 0;                // 11
    STDMETHOD(LoadFile)(const char* path) = 0;                                  // 12
    STDMETHOD(DecodeMemory)(const BYTE* data, DWORD size, int codecIndex) = 0;  // 13
    // Destroys the picture (and its DIB) whatever its count.
    STDMETHOD_(void, DeleteThis)() = 0;  // 14

    // The file the picture came from; users that decode from memory write
    // the media name here themselves.
    char m_szFileName[MAX_PATH];

protected:
    PicBase() { m_szFileName[0] = 0; }
};
DECLARE_IID(PicBase, 0xC0BC262F, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07);

// The picture interfaces answer an identifier they do not offer with E_FAIL
// (and a null pointer), not E_NOINTERFACE: Base is a class with a COM map.
template <class Base>
class CPictureInterfaceQI : public Base {
public:
    HRESULT _InternalQueryInterface(REFIID iid, void** ppv) {
        HRESULT hr = Base::_InternalQueryInterface(iid, ppv);
        return hr == E_NOINTERFACE ? E_FAIL : hr;
    }
};

// A new empty picture bound to the site, returned with one reference.
HRESULT CreatePicBaseInterface(PicBase** picture, IPictureCodecSite* site);
