// Memory stream: a chain of heap blocks that grows as it is written, and the
// stored-body modes that move its content to and from another stream.
#pragma once

#include "aTeskStream.h"

// Body compression modes.
enum {
    BODY_PLAIN = 0,
    BODY_CAB = 1,   // not supported: taken as plain
    BODY_ZLIB = 2,  // 16-byte header, then a zlib stream
};

class CMemStream : public CStreamBase {
public:
    BEGIN_COM_MAP(CMemStream)
    COM_INTERFACE_ENTRY(ITeskStream)
    END_COM_MAP()

    CMemStream();

    // Allocates the first block; throws CTeskStreamExcept 14 when it cannot.
    void Init(int initialSize, int growth);

    STDMETHOD_(void, ResetPosition)() override {}
    STDMETHOD_(void, SetTag)(int) override {}
    STDMETHOD_(int, GetKind)() override { return TESK_KIND_MEMSTREAM; }
    STDMETHOD_(int, GetTag)() override { return 10; }
    STDMETHOD(Close)() override;
    STDMETHOD_(ULONGLONG, RawGetPosition)() override { return (ULONGLONG)m_position; }
    STDMETHOD_(ULONGLONG, RawGetSize)() override { return (ULONGLONG)m_size; }
    STDMETHOD_(ULONG, RawRead)(void* buffer, ULONG n) override;
    STDMETHOD_(ULONG, RawWrite)(const void* buffer, ULONG n) override;
    STDMETHOD(RawSeek)(LONGLONG offset, int origin) override;

    // Writes the content to the destination in a body mode.
    HRESULT SaveCompressed(ITeskStream* dest, int mode);
    // Replaces the content with `length` bytes (0: all that is left; never
    // more than the source's size) from the source's current position,
    // decompressing in mode 2. A length passing the source's end throws 12000.
    HRESULT LoadCompressed(ITeskStream* source, ULONGLONG length, int mode);

    // Number of blocks and the capacity of block i (for checks).
    int BlockCount() const;
    int BlockCapacity(int index) const;

protected:
    ~CMemStream() override;

private:
    struct Block {
        Block* next;
        int capacity;
        BYTE* Data() { return reinterpret_cast<BYTE*>(this + 1); }
    };
    static Block* NewBlock(int capacity);
    void PlaceCursor();
    HRESULT CacheFrom(ITeskStream* source, ULONGLONG length);

    int m_growth;
    int m_cursor;  // offset of the position inside the current block
    int m_position;
    int m_size;
    Block* m_first;
    Block* m_current;
    int m_currentStart;  // stream offset of the current block's first byte
};

// The memory stream behind an interface from CreateMemStream, or null.
CMemStream* AsMemStream(ITeskStream* stream);
