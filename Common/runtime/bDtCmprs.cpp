// zlib compression of stored bodies.
#include "bDtCmprs.h"

#include "bByteOrder.h"
#include "bStorage.h"
#include "bTraceLog.h"

#include <zlib.h>

#include <string.h>
#include <vector>

static const ULONG kChunk = 32000;
static const ULONG kHeaderSize = 16;
// Most bytes one byte of deflate data can stand for.
static const ULONGLONG kMaxRatio = 1032;

static void WriteHeader(ITeskStream* dest, ULONG raw, ULONG packed) {
    BYTE header[kHeaderSize];
    PutU32LE(header, kHeaderSize);
    PutU32LE(header + 4, (ULONG)Z_DEFAULT_COMPRESSION);
    PutU32LE(header + 8, raw);
    PutU32LE(header + 12, packed);
    dest->Write(header, kHeaderSize);
}

HRESULT CompressBuffer(ITeskStream* source, ITeskStream* dest) {
    TRACE_POINT();
    if (!source || !dest)
        return E_INVALIDARG;
    ULONGLONG start = dest->GetPosition();
    ULONGLONG raw = StreamRemaining(source);
    if (raw == 0)
        return S_OK;
    // The header holds 32-bit lengths.
    if (raw > 0xFFFFFFFFULL)
        return E_INVALIDARG;
    WriteHeader(dest, (ULONG)raw, 0);

    z_stream z;
    memset(&z, 0, sizeof(z));
    int rc = deflateInit(&z, Z_DEFAULT_COMPRESSION);
    if (rc != Z_OK) {
        LOG_MSG("deflateInit failed(%d)", rc);
        return E_FAIL;
    }
    std::vector<BYTE> in(kChunk), out(kChunk);
    z.next_out = out.data();
    z.avail_out = kChunk;
    ULONGLONG left = raw;
    try {
        while (left) {
            ULONG step = left < kChunk ? (ULONG)left : kChunk;
            step = source->Read(in.data(), step);
            if (step == 0)
                break;
            left -= step;
            z.next_in = in.data();
            z.avail_in = step;
            while (z.avail_in) {
                rc = deflate(&z, Z_NO_FLUSH);
                if (rc != Z_OK && rc != Z_BUF_ERROR) {
                    LOG_MSG("deflate with Z_NO_FLUSH failed(%d)", rc);
                    deflateEnd(&z);
                    return E_FAIL;
                }
                if (z.avail_out == 0) {
                    dest->Write(out.data(), kChunk);
                    z.next_out = out.data();
                    z.avail_out = kChunk;
                }
            }
        }
        for (;;) {
            rc = deflate(&z, Z_FINISH);
            ULONG produced = kChunk - z.avail_out;
            if (produced)
                dest->Write(out.data(), produced);
            z.next_out = out.data();
            z.avail_out = kChunk;
            if (rc != Z_OK)
                break;
        }
        if (rc != Z_STREAM_END)
            LOG_MSG("deflate with FINISH failed(%d)", rc);
    } catch (...) {
        deflateEnd(&z);
        throw;
    }
    deflateEnd(&z);

    ULONGLONG end = dest->GetPosition();
    ULONGLONG packed = end - start - kHeaderSize;
    dest->Seek((LONGLONG)start, 0);
    WriteHeader(dest, (ULONG)raw, (ULONG)packed);
    dest->Seek(0, 2);
    return S_OK;
}

HRESULT UncompressBuffer(ITeskStream* source, ITeskStream* dest) {
    TRACE_POINT();
    if (!source || !dest)
        return E_INVALIDARG;
    // Callers stay within the source's size: a packed-container stream would
    // read on into the next element. A header or zlib data passing what is
    // left is a short read before anything is read.
    ULONGLONG left = StreamRemaining(source);
    if (left < kHeaderSize) {
        LOG_MSG("compressed body: header cut short (%llu of 16 bytes)", (unsigned long long)left);
        ThrowTeskStreamExcept(TESK_EXC_SHORTREAD, "not enough data to read , throw a exception!");
    }
    BYTE header[kHeaderSize];
    source->Read(header, kHeaderSize);
    left -= kHeaderSize;
    if (GetU32LE(header) != kHeaderSize) {
        LOG_MSG("compressed body: header size %u is not 16", (unsigned)GetU32LE(header));
        return E_FAIL;
    }
    ULONG raw = GetU32LE(header + 8);
    ULONG packed = GetU32LE(header + 12);
    if (raw == 0)
        return S_OK;
    if (packed > left) {
        LOG_MSG("compressed body: packed length %u passes the %llu bytes left in its stream",
                (unsigned)packed, (unsigned long long)left);
        ThrowTeskStreamExcept(TESK_EXC_SHORTREAD, "not enough data to read , throw a exception!");
    }
    // No zlib stream inflates beyond about 1032 times its size: a larger raw
    // length is not believed, and output past that bound fails the body.
    ULONGLONG most = (ULONGLONG)packed * kMaxRatio + kHeaderSize;
    if ((ULONGLONG)raw > most) {
        LOG_MSG("compressed body: raw length %u cannot come from %u packed bytes -- %llu at most",
                (unsigned)raw, (unsigned)packed, (unsigned long long)most);
        raw = (ULONG)most;
    }

    z_stream z;
    memset(&z, 0, sizeof(z));
    int rc = inflateInit(&z);
    if (rc != Z_OK) {
        LOG_MSG("inflateInit failed(%d)", rc);
        return E_FAIL;
    }
    std::vector<BYTE> in(kChunk), out(kChunk);
    ULONG remaining = packed;
    ULONGLONG written = 0;
    bool ended = false;
    HRESULT hr = S_OK;
    try {
        for (;;) {
            if (z.avail_in == 0 && remaining) {
                ULONG step = remaining < kChunk ? remaining : kChunk;
                source->Read(in.data(), step);
                remaining -= step;
                z.next_in = in.data();
                z.avail_in = step;
            }
            if (ended) {
                // Bytes of the body after the end of the zlib stream.
                z.avail_in = 0;
                if (!remaining)
                    break;
                continue;
            }
            bool last = z.avail_in == 0 && remaining == 0;
            z.next_out = out.data();
            z.avail_out = kChunk;
            rc = inflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            ULONG produced = kChunk - z.avail_out;
            if (produced) {
                written += produced;
                if (written > raw) {
                    LOG_MSG("inflate: body is longer than its raw length %u", (unsigned)raw);
                    hr = E_FAIL;
                    break;
                }
                dest->Write(out.data(), produced);
            }
            if (rc == Z_STREAM_END) {
                ended = true;
                continue;
            }
            if (last) {
                // The input ran out before the zlib stream ended: keep what
                // was decoded.
                if (produced == 0) {
                    LOG_MSG("inflate with FINISH failed(%d)", rc);
                    break;
                }
                continue;
            }
            if (rc != Z_OK && !(rc == Z_BUF_ERROR && produced == 0 && z.avail_in == 0)) {
                LOG_MSG("inflate with Z_NO_FLUSH failed(%d)", rc);
                hr = E_FAIL;
                break;
            }
        }
    } catch (...) {
        inflateEnd(&z);
        throw;
    }
    inflateEnd(&z);
    return hr;
}
