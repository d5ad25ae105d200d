// OLE adaptors: ITeskStorage over an OLE IStorage (compound files) and
// ITeskStream over an OLE IStream. Names cross to OLE as UTF-16.
#pragma once

#include "aTeskStream.h"

// OLE open modes.
enum {
    OLE_MODE_CREATE = 0x1012,   // create, read-write, share-exclusive
    OLE_MODE_READ = 0x10,       // read, share-exclusive
    OLE_MODE_READWRITE = 0x12,  // read-write, share-exclusive
};
// The OLE open mode for a storage mode (1 read, 4 read-write; else 0).
DWORD OleOpenMode(int mode);

class CStrStream : public CStreamBase {
public:
    BEGIN_COM_MAP(CStrStream)
    COM_INTERFACE_ENTRY(ITeskStream)
    END_COM_MAP()

    CStrStream();
    // Takes a reference to the stream.
    void Attach(IStream* stream);

    STDMETHOD_(void, ResetPosition)() override { m_position = 0; }
    STDMETHOD_(void, SetTag)(int tag) override { m_tag = tag; }
    STDMETHOD_(int, GetKind)() override { return TESK_KIND_OLESTREAM; }
    STDMETHOD_(int, GetTag)() override { return m_tag; }
    STDMETHOD(Close)() override;
    STDMETHOD_(ULONGLONG, RawGetPosition)() override { return m_position; }
    STDMETHOD_(ULONGLONG, RawGetSize)() override;
    STDMETHOD_(ULONG, RawRead)(void* buffer, ULONG n) override;
    STDMETHOD_(ULONG, RawWrite)(const void* buffer, ULONG n) override;
    STDMETHOD(RawSeek)(LONGLONG offset, int origin) override;

protected:
    ~CStrStream() override {}

private:
    IStream* m_stream;  // owned
    BYTE m_closed;
    ULONGLONG m_position;
    int m_tag;
};

class CStrStorage : public CComObjectRootBase, public ITeskStorage {
public:
    BEGIN_COM_MAP(CStrStorage)
    COM_INTERFACE_ENTRY(ITeskStorage)
    END_COM_MAP()

    CStrStorage();
    // Takes a reference to the storage; grfMode is used for sub-storages.
    void Attach(IStorage* storage, DWORD grfMode, const char* name);
    IStorage* GetOleStorage() const { return m_storage; }

    STDMETHOD(Initialize)(void*) override { return S_OK; }
    STDMETHOD_(BYTE, GetMode)() override { return m_mode; }
    STDMETHOD_(void, SetMode)(BYTE mode) override { m_mode = mode; }
    STDMETHOD_(void, SetTag)(int tag) override { m_tag = tag; }
    STDMETHOD(CreateStorage)(const char* name, int tag, ITeskStorage** out) override;
    STDMETHOD(CreateStream)(const char* name, int tag, ITeskStream** out) override;
    STDMETHOD(OpenStorage)(const char* name, int mode, ITeskStorage** out) override;
    STDMETHOD(OpenStream)(const char* name, int mode, ITeskStream** out) override;
    STDMETHOD(Commit)() override;
    STDMETHOD(CommitAll)() override { return Commit(); }
    STDMETHOD(Close)() override;
    STDMETHOD(DestroyElement)(const char* name) override;
    STDMETHOD_(BOOL, IsPacked)() override { return FALSE; }
    STDMETHOD_(int, CountElements)() override;
    STDMETHOD_(BOOL, ElementExists)(const char* name) override;
    STDMETHOD(EnumElements)(IEnumSTATSTG** out) override;
    STDMETHOD(CopyElementTo)(const char* name, ITeskStorage* dest, const char* newName) override;
    STDMETHOD_(void, DeleteThis)(UINT flags) override;

    // Release at 0 closes first.
    void FinalRelease() { Close(); }

protected:
    virtual ~CStrStorage() {}

private:
    BYTE m_mode;
    char m_name[261];
    IStorage* m_storage;  // owned
    BYTE m_closed;
    DWORD m_grfMode;
    int m_tag;
};

// New adaptors around an OLE element; each takes its own reference to the
// element (the caller still releases its one). The out pointer gets a
// reference. E_OUTOFMEMORY when no adaptor could be made.
HRESULT WrapOleStorage(IStorage* storage, DWORD grfMode, const char* name,
                       CComObject<CStrStorage>** out);
HRESULT WrapOleStream(IStream* stream, CComObject<CStrStream>** out);
