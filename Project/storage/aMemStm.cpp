// Memory stream over a chain of heap blocks; stored bodies in modes 0 and 2.
#include "aMemStm.h"

#include "bDtCmprs.h"
#include "bTraceLog.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

CMemStream::CMemStream()
    : m_growth(1),
      m_cursor(0),
      m_position(0),
      m_size(0),
      m_first(nullptr),
      m_current(nullptr),
      m_currentStart(0) {}

CMemStream::~CMemStream() {
    Block* b = m_first;
    while (b) {
        Block* next = b->next;
        free(b);
        b = next;
    }
}

CMemStream::Block* CMemStream::NewBlock(int capacity) {
    if (capacity < 1)
        capacity = 1;
    Block* b = static_cast<Block*>(malloc(sizeof(Block) + (size_t)capacity));
    if (!b)
        return nullptr;
    b->next = nullptr;
    b->capacity = capacity;
    return b;
}

void CMemStream::Init(int initialSize, int growth) {
    TRACE_POINT();
    m_growth = growth > 0 ? growth : 1;
    m_first = NewBlock(initialSize);
    if (!m_first)
        ThrowTeskStreamExcept(TESK_EXC_NOMEMORY, "not enough memory, throw a exception!");
    m_current = m_first;
    m_currentStart = 0;
    m_cursor = 0;
    m_position = 0;
    m_size = 0;
}

CMemStream* AsMemStream(ITeskStream* stream) {
    return dynamic_cast<CMemStream*>(stream);
}

STDMETHODIMP CMemStream::Close() {
    m_current = nullptr;
    m_currentStart = 0;
    m_cursor = 0;
    m_position = 0;
    return S_OK;
}

// Puts the current block and cursor at the position.
void CMemStream::PlaceCursor() {
    Block* b = m_first;
    int start = 0;
    while (b && b->next && m_position - start >= b->capacity) {
        start += b->capacity;
        b = b->next;
    }
    m_current = b;
    m_currentStart = start;
    m_cursor = m_position - start;
}

STDMETHODIMP_(ULONG) CMemStream::RawWrite(const void* buffer, ULONG n) {
    if (n == 0)
        return 0;
    if (!m_current)
        PlaceCursor();
    if (!m_current || n > (ULONG)(INT_MAX - m_position))
        ThrowTeskStreamExcept(TESK_EXC_NOMEMORY, "not enough memory, throw a exception!");
    const BYTE* src = static_cast<const BYTE*>(buffer);
    ULONG left = n;
    while (left) {
        if (m_cursor >= m_current->capacity) {
            if (!m_current->next) {
                int want = left > (ULONG)m_growth ? (int)left : m_growth;
                Block* b = NewBlock(want);
                if (!b)
                    ThrowTeskStreamExcept(TESK_EXC_NOMEMORY,
                                          "not enough memory, throw a exception!");
                m_current->next = b;
            }
            m_currentStart += m_current->capacity;
            m_current = m_current->next;
            m_cursor = 0;
        }
        ULONG room = (ULONG)(m_current->capacity - m_cursor);
        ULONG step = left < room ? left : room;
        if (src)
            memcpy(m_current->Data() + m_cursor, src, step);
        else
            memset(m_current->Data() + m_cursor, 0, step);
        if (src)
            src += step;
        m_cursor += (int)step;
        m_position += (int)step;
        left -= step;
    }
    if (m_position > m_size)
        m_size = m_position;
    return n;
}

STDMETHODIMP_(ULONG) CMemStream::RawRead(void* buffer, ULONG n) {
    if ((ULONGLONG)m_position + n > (ULONGLONG)m_size)
        ThrowTeskStreamExcept(TESK_EXC_SHORTREAD, "not enough data to read , throw a exception!");
    if (n == 0)
        return 0;
    if (!m_current)
        PlaceCursor();
    BYTE* dst = static_cast<BYTE*>(buffer);
    ULONG left = n;
    while (left) {
        if (m_cursor >= m_current->capacity) {
            m_currentStart += m_current->capacity;
            m_current = m_current->next;
            m_cursor = 0;
        }
        ULONG room = (ULONG)(m_current->capacity - m_cursor);
        ULONG step = left < room ? left : room;
        memcpy(dst, m_current->Data() + m_cursor, step);
        dst += step;
        m_cursor += (int)step;
        m_position += (int)step;
        left -= step;
    }
    return n;
}

STDMETHODIMP CMemStream::RawSeek(LONGLONG offset, int origin) {
    ULONGLONG pos;
    if (!ClampedSeekTarget(offset, origin, (ULONGLONG)m_position, (ULONGLONG)m_size, &pos))
        return S_OK;
    m_position = (int)pos;
    PlaceCursor();
    return S_OK;
}

int CMemStream::BlockCount() const {
    int n = 0;
    for (Block* b = m_first; b; b = b->next) ++n;
    return n;
}

int CMemStream::BlockCapacity(int index) const {
    Block* b = m_first;
    while (b && index-- > 0) b = b->next;
    return b ? b->capacity : 0;
}

HRESULT CMemStream::SaveCompressed(ITeskStream* dest, int mode) {
    TRACE_POINT();
    if (!dest)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    if (mode == BODY_ZLIB) {
        hr = CompressBuffer(this, dest);
    } else {
        if (mode == BODY_CAB)
            LOG_MSG(
                "Compress-CAB_1 is supported in 6.0.0.5, and is not supported currently-- ignored "
                "and copy data only");
        else if (mode != BODY_PLAIN)
            LOG_MSG("unknown stream compress mode: %d-- ignored and copy data only", mode);
        int left = m_size;
        for (Block* b = m_first; b && left > 0; b = b->next) {
            int step = left < b->capacity ? left : b->capacity;
            dest->Write(b->Data(), (ULONG)step);
            left -= step;
        }
    }
    if (FAILED(hr))
        LOG_HRESULT(hr, "compress/save data failed");
    return hr;
}

// Mode 0: reads the bytes into the blocks, reusing those there are. A length
// is never more than the source's size; one that passes the source's end is
// a short read (12000), thrown before anything is read, so that a packed
// stream never reads on into the next element. 0 takes what is left.
HRESULT CMemStream::CacheFrom(ITeskStream* source, ULONGLONG length) {
    ULONGLONG size = source->GetSize();
    ULONGLONG left = StreamRemaining(source);
    ULONGLONG n = length ? (length < size ? length : size) : left;
    if (n > left)
        ThrowTeskStreamExcept(TESK_EXC_SHORTREAD, "not enough data to read , throw a exception!");
    if (n == 0)
        return S_OK;
    if (n > (ULONGLONG)INT_MAX)
        return E_OUTOFMEMORY;
    m_size = 0;
    m_position = 0;
    if (!m_first) {
        m_first = NewBlock(m_growth);
        if (!m_first)
            return E_OUTOFMEMORY;
    }
    Block* b = m_first;
    ULONGLONG done = 0;
    while (done < n) {
        ULONG step =
            (ULONG)((n - done) < (ULONGLONG)b->capacity ? (n - done) : (ULONGLONG)b->capacity);
        source->Read(b->Data(), step);
        done += step;
        m_size = (int)done;
        if (done < n) {
            if (!b->next) {
                b->next = NewBlock(m_growth);
                if (!b->next)
                    return E_OUTOFMEMORY;
            }
            b = b->next;
        }
    }
    m_position = 0;
    PlaceCursor();
    return S_OK;
}

HRESULT CMemStream::LoadCompressed(ITeskStream* source, ULONGLONG length, int mode) {
    TRACE_POINT();
    if (!source)
        return E_INVALIDARG;
    HRESULT hr;
    if (mode == BODY_ZLIB) {
        m_size = 0;
        m_position = 0;
        PlaceCursor();
        hr = UncompressBuffer(source, this);
        RawSeek(0, TESK_SEEK_SET);
    } else {
        if (mode == BODY_CAB)
            LOG_MSG(
                "Compress-CAB_1 is supported in 6.0.0.5, and is not supported currently-- ignored "
                "and cache data only");
        else if (mode != BODY_PLAIN)
            LOG_MSG("unknown stream compress mode:%d -- ignored and cache data only", mode);
        hr = CacheFrom(source, length);
    }
    if (FAILED(hr))
        LOG_HRESULT(hr, "decompress/cache data failed");
    return hr;
}
