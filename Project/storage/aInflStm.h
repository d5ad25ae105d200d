// A zlib body read as a stream without being held: the body is inflated
// once to learn its length and whether it is whole, then again piece by
// piece as it is read, so a reader's memory follows what it builds from the
// body, never the body's inflated size.
#pragma once

#include <memory>

#include "aTeskStream.h"
#include "bDtCmprs.h"

class CInflateStream : public CStreamBase {
public:
    BEGIN_COM_MAP(CInflateStream)
    COM_INTERFACE_ENTRY(ITeskStream)
    END_COM_MAP()

    CInflateStream();

    // Takes the body at the source's position and leaves the source after
    // it; the result and the exceptions are those of UncompressBuffer. The
    // source is kept (counted) and read again as this stream is read.
    HRESULT Open(ITeskStream* source);

    STDMETHOD_(void, ResetPosition)() override {}
    STDMETHOD_(void, SetTag)(int) override {}
    // Read as a body held in memory would be.
    STDMETHOD_(int, GetKind)() override { return TESK_KIND_MEMSTREAM; }
    STDMETHOD_(int, GetTag)() override { return 10; }
    STDMETHOD(Close)() override;
    STDMETHOD_(ULONGLONG, RawGetPosition)() override { return m_position; }
    STDMETHOD_(ULONGLONG, RawGetSize)() override { return m_size; }
    // Past the size: 12000, as a memory stream.
    STDMETHOD_(ULONG, RawRead)(void* buffer, ULONG n) override;
    // Read-only: nothing is written.
    STDMETHOD_(ULONG, RawWrite)(const void*, ULONG) override { return 0; }
    // As a memory stream seeks; going back inflates again from the start.
    STDMETHOD(RawSeek)(LONGLONG offset, int origin) override;

protected:
    ~CInflateStream() override {}

private:
    // Restarts the body and passes over `n` bytes.
    void Rewind();
    void Pass(ULONGLONG n);

    CComPtr<ITeskStream> m_source;
    ULONGLONG m_bodyAt;  // the source position of the body's header
    std::unique_ptr<CBodyInflater> m_body;
    ULONGLONG m_position;
    ULONGLONG m_size;
};
