// MediaDataHolder: the named medium of a media object. It keeps the name and
// fetches the medium's bytes from the work's media manager, out of the package
// or from an external file, for the object's own take-data step. The holder
// owns no bytes: each buffer lives for one TakeData call.
#pragma once

#include "aObjItf.h"

// Media kind codes answered by GetMediaType.
enum MediaKind {
    MEDIA_KIND_RTF = 1,
    MEDIA_KIND_PICTURE = 2,
    MEDIA_KIND_SOUND = 4,
    MEDIA_KIND_MOVIE = 8,
    MEDIA_KIND_VIDEO = 0x10,
    MEDIA_KIND_GRAPH = 0x20,
};

// {C0BC265C-...}
struct IMediaData : public IUnknown {
    STDMETHOD(SetName)(const char* name) = 0;                                                // 3
    STDMETHOD(GetMediaName)(char* buffer, int size) = 0;                                     // 4
    STDMETHOD(GetMediaType)(LONG* out) = 0;                                                  // 5
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;                                            // 6
    STDMETHOD_(IPlayerSite*, GetSite)() = 0;                                                 // 7
    STDMETHOD(LoadMediaData)(const char* name) = 0;                                          // 8
    STDMETHOD(TakeData)(const void* bytes, DWORD count, const char* name) = 0;               // 9
    STDMETHOD(SetMedia)(BOOL byName, const char* name, const void* bytes, DWORD count) = 0;  // 10
};
TESK_IID(IMediaData, 0x5C);

class MediaDataHolder : public IMediaData {
public:
    explicit MediaDataHolder(LONG kind = 0);
    virtual ~MediaDataHolder() {}

    STDMETHOD(SetName)(const char* name) override;
    STDMETHOD(GetMediaName)(char* buffer, int size) override;
    STDMETHOD(GetMediaType)(LONG* out) override;
    STDMETHOD_(void, DeleteThis)(UINT) override {}
    STDMETHOD_(IPlayerSite*, GetSite)() override { return HolderSite(); }
    STDMETHOD(LoadMediaData)(const char* name) override;
    STDMETHOD(TakeData)(const void*, DWORD, const char*) override { return S_OK; }
    STDMETHOD(SetMedia)(BOOL byName, const char* name, const void* bytes, DWORD count) override;

    const char* MediaName() const { return m_name; }

protected:
    // The owning object's play site; the plain holder has none.
    virtual IPlayerSite* HolderSite() { return nullptr; }
    // Stores the name (at most 31 bytes, whole characters); true when it
    // differed from the stored one.
    bool StoreName(const char* name);

    LONG m_kind;
    char m_name[32];
};
