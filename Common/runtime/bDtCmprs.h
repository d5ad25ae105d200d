// zlib bodies between two streams: a 16-byte header (16, level -1, raw
// length, packed length) followed by exactly packed-length bytes of zlib data.
#pragma once

#include <windows.h>
#include <zlib.h>

#include <vector>

struct ITeskStream;

// Compresses from the source's position to its end into the destination at
// its position. An empty source writes nothing.
HRESULT CompressBuffer(ITeskStream* source, ITeskStream* dest);
// Reads one body from the source and writes the raw bytes to the destination.
// A damaged zlib stream, or one that inflates past its raw length (never
// believed beyond what the packed length can inflate to), is E_FAIL; a header
// or packed length passing what is left of the source throws 12000 before
// reading it.
HRESULT UncompressBuffer(ITeskStream* source, ITeskStream* dest);

// One zlib body read from its source piece by piece, as UncompressBuffer
// reads it, so that a reader can take the raw bytes without holding them.
class CBodyInflater {
public:
    CBodyInflater();
    ~CBodyInflater();
    CBodyInflater(const CBodyInflater&) = delete;
    CBodyInflater& operator=(const CBodyInflater&) = delete;

    // Reads the header at the source's position: S_OK ready, S_FALSE an
    // empty body, E_FAIL a wrong header; throws 12000 as UncompressBuffer.
    // `keepsPlace`: the source is put back where this body left it before
    // every read, for a source whose file pointer others move meanwhile.
    HRESULT Begin(ITeskStream* source, bool keepsPlace);
    // Up to n raw bytes (buffer may be null to pass over them); S_OK when all
    // n came, S_FALSE at the body's end, E_FAIL for a damaged body.
    HRESULT Read(void* buffer, ULONG n, ULONG* got);

private:
    HRESULT Step();
    void End();
    void ReadSource(void* buffer, ULONG n);

    ITeskStream* m_source;  // not counted
    bool m_keepsPlace;
    ULONGLONG m_sourcePos;
    z_stream m_z;
    bool m_started, m_done, m_ended;
    ULONG m_remaining;  // packed bytes not yet read
    ULONG m_raw;
    ULONGLONG m_written;
    std::vector<BYTE> m_in, m_out;
    ULONG m_outAt, m_outLen;
};
