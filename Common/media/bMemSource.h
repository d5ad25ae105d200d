// Our own source filter over a block of memory: one output pin "Output"
// offering IAsyncReader, so that a DirectShow graph parses and decodes
// media held in memory as it would a file. The caller's block is not
// copied and must outlive the filter's use of it.
#pragma once

#include <windows.h>

struct IBaseFilter;
struct IGraphBuilder;
struct IPin;

// A new reader filter over the block with the media type (MEDIATYPE_Stream,
// the subtype given; one reference in *out). The reader owns its stream.
HRESULT CreateMemReader(const void* data, DWORD size, const GUID* subtype, IBaseFilter** out);
// The reader's output pin (one reference).
HRESULT GetMemReaderPin(IBaseFilter* reader, IPin** out);
// A new reader over the block added to the graph and its pin rendered; the
// reader, once made, is in *reader (one reference) even when rendering fails.
HRESULT RenderMemReader(IGraphBuilder* graph, const void* data, DWORD size, const GUID* subtype,
                        IBaseFilter** reader);

// The memory stream under the reader: reads are paced at a delivery rate in
// kilobytes per second (INFINITE: all at once).
class CMemSourceStream {
public:
    CMemSourceStream(const BYTE* data, LONGLONG length, DWORD rate = INFINITE);
    ~CMemSourceStream();
    CMemSourceStream(const CMemSourceStream&) = delete;
    CMemSourceStream& operator=(const CMemSourceStream&) = delete;

    // S_FALSE and no move for a position outside the block.
    HRESULT SetPointer(LONGLONG position);
    // The count is cut to what remains; waits until the bytes are due.
    HRESULT Read(BYTE* buffer, DWORD count, BOOL reserved, DWORD* read);
    // The whole length; *available the bytes due by now.
    LONGLONG Size(LONGLONG* available = nullptr);
    DWORD Alignment() const { return 1; }
    void Lock() { EnterCriticalSection(&m_lock); }
    void Unlock() { LeaveCriticalSection(&m_lock); }

private:
    const BYTE* m_data;
    LONGLONG m_length;
    LONGLONG m_position;
    DWORD m_rate;
    DWORD m_start;
    CRITICAL_SECTION m_lock;
};
