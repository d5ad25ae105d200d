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

CBodyInflater::CBodyInflater()
    : m_source(nullptr),
      m_keepsPlace(false),
      m_sourcePos(0),
      m_started(false),
      m_done(false),
      m_ended(false),
      m_remaining(0),
      m_raw(0),
      m_written(0),
      m_outAt(0),
      m_outLen(0) {
    memset(&m_z, 0, sizeof(m_z));
}

CBodyInflater::~CBodyInflater() {
    End();
}

void CBodyInflater::End() {
    if (m_started)
        inflateEnd(&m_z);
    m_started = false;
    m_done = true;
}

void CBodyInflater::ReadSource(void* buffer, ULONG n) {
    if (m_keepsPlace)
        m_source->Seek((LONGLONG)m_sourcePos, 0);
    m_source->Read(buffer, n);
    if (m_keepsPlace)
        m_sourcePos = m_source->GetPosition();
}

HRESULT CBodyInflater::Begin(ITeskStream* source, bool keepsPlace) {
    End();
    memset(&m_z, 0, sizeof(m_z));
    m_source = source;
    m_keepsPlace = keepsPlace;
    m_done = true;
    m_ended = false;
    m_written = 0;
    m_outAt = m_outLen = 0;
    if (!source)
        return E_INVALIDARG;
    m_sourcePos = source->GetPosition();
    // Callers stay within the source's size: a packed-container stream would
    // read on into the next element. A header or zlib data passing what is
    // left is a short read before anything is read.
    ULONGLONG left = StreamRemaining(source);
    if (left < kHeaderSize) {
        LOG_MSG("compressed body: header cut short (%llu of 16 bytes)", (unsigned long long)left);
        ThrowTeskStreamExcept(TESK_EXC_SHORTREAD, "not enough data to read , throw a exception!");
    }
    BYTE header[kHeaderSize];
    ReadSource(header, kHeaderSize);
    left -= kHeaderSize;
    if (GetU32LE(header) != kHeaderSize) {
        LOG_MSG("compressed body: header size %u is not 16", (unsigned)GetU32LE(header));
        return E_FAIL;
    }
    ULONG raw = GetU32LE(header + 8);
    ULONG packed = GetU32LE(header + 12);
    if (raw == 0)
        return S_FALSE;
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
    int rc = inflateInit(&m_z);
    if (rc != Z_OK) {
        LOG_MSG("inflateInit failed(%d)", rc);
        return E_FAIL;
    }
    m_started = true;
    m_done = false;
    m_raw = raw;
    m_remaining = packed;
    m_in.resize(kChunk);
    m_out.resize(kChunk);
    return S_OK;
}

// One turn of the inflate loop: refills the input, inflates into the output
// buffer; S_OK with m_outLen bytes (possibly none) while the body goes on,
// S_FALSE at its end, E_FAIL for a damaged body.
HRESULT CBodyInflater::Step() {
    if (m_done)
        return S_FALSE;
    if (m_z.avail_in == 0 && m_remaining) {
        ULONG step = m_remaining < kChunk ? m_remaining : kChunk;
        try {
            ReadSource(m_in.data(), step);
        } catch (...) {
            End();
            throw;
        }
        m_remaining -= step;
        m_z.next_in = m_in.data();
        m_z.avail_in = step;
    }
    if (m_ended) {
        // Bytes of the body after the end of the zlib stream.
        m_z.avail_in = 0;
        if (!m_remaining) {
            End();
            return S_FALSE;
        }
        return S_OK;
    }
    bool last = m_z.avail_in == 0 && m_remaining == 0;
    m_z.next_out = m_out.data();
    m_z.avail_out = kChunk;
    int rc = inflate(&m_z, last ? Z_FINISH : Z_NO_FLUSH);
    ULONG produced = kChunk - m_z.avail_out;
    if (produced) {
        m_written += produced;
        if (m_written > m_raw) {
            LOG_MSG("inflate: body is longer than its raw length %u", (unsigned)m_raw);
            End();
            return E_FAIL;
        }
        m_outAt = 0;
        m_outLen = produced;
    }
    if (rc == Z_STREAM_END) {
        m_ended = true;
        return S_OK;
    }
    if (last) {
        // The input ran out before the zlib stream ended: keep what was
        // decoded.
        if (produced == 0) {
            LOG_MSG("inflate with FINISH failed(%d)", rc);
            End();
            return S_FALSE;
        }
        return S_OK;
    }
    if (rc != Z_OK && !(rc == Z_BUF_ERROR && produced == 0 && m_z.avail_in == 0)) {
        LOG_MSG("inflate with Z_NO_FLUSH failed(%d)", rc);
        End();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CBodyInflater::Read(void* buffer, ULONG n, ULONG* got) {
    BYTE* out = static_cast<BYTE*>(buffer);
    *got = 0;
    for (;;) {
        if (m_outLen) {
            ULONG take = n - *got < m_outLen ? n - *got : m_outLen;
            if (out)
                memcpy(out + *got, m_out.data() + m_outAt, take);
            m_outAt += take;
            m_outLen -= take;
            *got += take;
        }
        if (*got == n)
            return S_OK;
        HRESULT hr = Step();
        if (hr != S_OK)
            return hr;
    }
}

HRESULT UncompressBuffer(ITeskStream* source, ITeskStream* dest) {
    TRACE_POINT();
    if (!source || !dest)
        return E_INVALIDARG;
    CBodyInflater body;
    HRESULT hr = body.Begin(source, false);
    if (hr != S_OK)
        return SUCCEEDED(hr) ? S_OK : hr;
    std::vector<BYTE> out(kChunk);
    for (;;) {
        ULONG got = 0;
        hr = body.Read(out.data(), kChunk, &got);
        if (got)
            dest->Write(out.data(), got);
        if (hr != S_OK)
            return SUCCEEDED(hr) ? S_OK : hr;
    }
}
