// Storage and stream interfaces of the player: a tree of named storages and
// streams (ITeskStorage) over either the own packed container or an OLE
// compound file, and seekable byte streams with 64-bit sizes (ITeskStream)
// over memory, a packed-container node, a plain file or an OLE stream.
// Slot order of both interfaces is fixed; do not reorder. Declared in the base
// so that its readers (compression, variables) need nothing above it; the
// implementations live with the project layer.
#pragma once

#include "bComBase.h"

#include <string>

struct ITeskStream;

// Own failure codes of the storage layer (interface facility).
#define TESK_E_NOTRUNTIMEFILE ((HRESULT)0x80045002L)  // not a runtime file / wrong header
#define TESK_E_BADVERSION ((HRESULT)0x80045003L)      // unsupported project version
#define TESK_E_FILENOTFOUND ((HRESULT)0x80045006L)    // file not found
#define TESK_E_HEADERWRITE ((HRESULT)0x8004500AL)     // header not written
#define TESK_E_HEADERREAD ((HRESULT)0x8004500BL)      // header not read
#define TESK_E_STREAMHEADER ((HRESULT)0x8004500CL)    // stream header wrong or body not read
#define TESK_E_NOSTORAGE ((HRESULT)0x8004500DL)       // storage not found
#define TESK_E_NOSTREAM ((HRESULT)0x8004500EL)        // stream not found
#define TESK_E_EXISTS ((HRESULT)0x8004500FL)          // element already exists

// Codes carried by CTeskStreamExcept.
enum {
    TESK_EXC_NOMEMORY = 14,  // a memory stream could not get a block
    TESK_EXC_DISKFULL = 39,  // a packed-container stream met a full disk
    TESK_EXC_SHORTREAD = 12000,
    TESK_EXC_SHORTWRITE = 12001,  // OLE stream adaptor only
};

// Stream kinds answered by ITeskStream::GetKind.
enum {
    TESK_KIND_OLESTREAM = 0,
    TESK_KIND_MEMSTREAM = 9,
    TESK_KIND_PACSTREAM = 10,
    TESK_KIND_FILESTREAM = 11,
};

// Storage open modes ("mode" arguments): 1 read, 4 read-write. File streams
// also take 128: create or truncate for writing.
enum { TESK_MODE_READ = 1, TESK_MODE_READWRITE = 4, TESK_MODE_CREATE = 128 };

// Storage kinds of the factories: 0 (or 8) OLE compound file, 1 packed container.
enum { TESK_STG_DOCFILE = 0, TESK_STG_PACKED = 1 };

// Seek origins.
enum { TESK_SEEK_SET = 0, TESK_SEEK_CUR = 1, TESK_SEEK_END = 2 };

// {C0BC2621-1049-11D4-9EEB-00104B04B807}
struct ITeskStorage : public IUnknown {
    STDMETHOD(Initialize)(void* reserved) = 0;                                                // 3
    STDMETHOD_(BYTE, GetMode)() = 0;                                                          // 4
    STDMETHOD_(void, SetMode)(BYTE mode) = 0;                                                 // 5
    STDMETHOD_(void, SetTag)(int tag) = 0;                                                    // 6
    STDMETHOD(CreateStorage)(const char* name, int tag, ITeskStorage** out) = 0;              // 7
    STDMETHOD(CreateStream)(const char* name, int tag, ITeskStream** out) = 0;                // 8
    STDMETHOD(OpenStorage)(const char* name, int mode, ITeskStorage** out) = 0;               // 9
    STDMETHOD(OpenStream)(const char* name, int mode, ITeskStream** out) = 0;                 // 10
    STDMETHOD(Commit)() = 0;                                                                  // 11
    STDMETHOD(CommitAll)() = 0;                                                               // 12
    STDMETHOD(Close)() = 0;                                                                   // 13
    STDMETHOD(DestroyElement)(const char* name) = 0;                                          // 14
    STDMETHOD_(BOOL, IsPacked)() = 0;                                                         // 15
    STDMETHOD_(int, CountElements)() = 0;                                                     // 16
    STDMETHOD_(BOOL, ElementExists)(const char* name) = 0;                                    // 17
    STDMETHOD(EnumElements)(IEnumSTATSTG** out) = 0;                                          // 18
    STDMETHOD(CopyElementTo)(const char* name, ITeskStorage* dest, const char* newName) = 0;  // 19
    // Deleting destructor: flag bit 0 frees the memory.
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;  // 20
};
DECLARE_IID(ITeskStorage, 0xC0BC2621, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// {C0BC2620-1049-11D4-9EEB-00104B04B807}
// Read and the Raw* reads throw CTeskStreamExcept on a short read.
struct ITeskStream : public IUnknown {
    STDMETHOD_(void, ResetPosition)() = 0;                      // 3
    STDMETHOD_(void, SetMode)(BYTE mode) = 0;                   // 4 (1 writing, 0 reading)
    STDMETHOD_(BYTE, GetMode)() = 0;                            // 5
    STDMETHOD_(void, SetTag)(int tag) = 0;                      // 6
    STDMETHOD_(int, GetKind)() = 0;                             // 7
    STDMETHOD_(int, GetTag)() = 0;                              // 8
    STDMETHOD(Close)() = 0;                                     // 9
    STDMETHOD_(ULONGLONG, GetSize)() = 0;                       // 10
    STDMETHOD_(ULONGLONG, GetPosition)() = 0;                   // 11
    STDMETHOD_(ULONG, Read)(void* buffer, ULONG n) = 0;         // 12
    STDMETHOD_(ULONG, Write)(const void* buffer, ULONG n) = 0;  // 13
    // Reads 2n bytes of UTF-16 into n + 1 bytes of ANSI text.
    STDMETHOD_(ULONG, ReadWideString)(char* buffer, ULONG n) = 0;  // 14
    // Writes the text as exactly 2n bytes of UTF-16.
    STDMETHOD_(ULONG, WriteWideString)(const char* text, ULONG n) = 0;  // 15
    STDMETHOD(Seek)(LONGLONG offset, int origin) = 0;                   // 16
    STDMETHOD(BeginMeasure)() = 0;                                      // 17
    STDMETHOD(EndMeasure)() = 0;                                        // 18
    STDMETHOD_(BYTE, IsMeasuring)() = 0;                                // 19
    STDMETHOD_(void, SetVersion)(int version) = 0;                      // 20
    STDMETHOD_(int, GetVersion)() = 0;                                  // 21
    STDMETHOD_(BYTE, GetFlag)() = 0;                                    // 22
    STDMETHOD_(void, SetFlag)(BYTE flag) = 0;                           // 23
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;                       // 24
    STDMETHOD_(ULONGLONG, RawGetPosition)() = 0;                        // 25
    STDMETHOD_(ULONGLONG, RawGetSize)() = 0;                            // 26
    STDMETHOD_(ULONG, RawRead)(void* buffer, ULONG n) = 0;              // 27
    STDMETHOD_(ULONG, RawWrite)(const void* buffer, ULONG n) = 0;       // 28
    STDMETHOD(RawSeek)(LONGLONG offset, int origin) = 0;                // 29
};
DECLARE_IID(ITeskStream, 0xC0BC2620, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// Exception base of the storage layer.
class CTeskExcept {
public:
    CTeskExcept();
    explicit CTeskExcept(int code);
    CTeskExcept(const CTeskExcept& other);
    CTeskExcept& operator=(const CTeskExcept& other);
    virtual ~CTeskExcept();
    // Gives an empty text and clears the help context; FALSE.
    virtual BOOL GetErrorMessage(char* text, UINT maxChars, UINT* helpContext);
    // Shows the text in a message box captioned "Mavro"; the box's answer.
    virtual int ReportError(UINT type, UINT helpId);

    int GetCode() const { return m_code; }
    const char* GetText() const { return m_text; }

protected:
    int m_code;
    char* m_text;  // owned; the player never sets it
};

// Thrown by streams: 12000 short read, 12001 short OLE write, 14 no memory
// block, 39 disk full.
class CTeskStreamExcept : public CTeskExcept {
public:
    explicit CTeskStreamExcept(int code);
    CTeskStreamExcept(const CTeskStreamExcept& other) = default;
    CTeskStreamExcept& operator=(const CTeskStreamExcept& other) = default;
};

// Hands a text to the trace log's FormatOnly (which writes nothing) and
// throws CTeskStreamExcept with the code.
[[noreturn]] void ThrowTeskStreamExcept(int code, const char* text);

// Where a seek by origin lands in a stream of `size` bytes read at
// `position`, held to 0..size (from the end, the offset counts back); false
// for an unknown origin, where a seek does nothing.
inline bool ClampedSeekTarget(LONGLONG offset, int origin, ULONGLONG position, ULONGLONG size,
                              ULONGLONG* to) {
    LONGLONG pos;
    switch (origin) {
        case TESK_SEEK_SET:
            pos = offset;
            break;
        case TESK_SEEK_CUR:
            pos = (LONGLONG)position + offset;
            break;
        case TESK_SEEK_END:
            pos = (LONGLONG)size - offset;
            break;
        default:
            return false;
    }
    if (pos > (LONGLONG)size)
        pos = (LONGLONG)size;
    if (pos < 0)
        pos = 0;
    *to = (ULONGLONG)pos;
    return true;
}

// Checked reads of stored records: every count and length is measured
// against what remains before it is used.
inline ULONGLONG StreamRemaining(ITeskStream* stream) {
    ULONGLONG size = stream->GetSize(), pos = stream->GetPosition();
    return pos < size ? size - pos : 0;
}
inline bool StreamHas(ITeskStream* stream, ULONGLONG n) {
    return n <= StreamRemaining(stream);
}
// A small value; false (nothing read) when the stream holds fewer bytes.
template <class T>
inline bool StreamReadValue(ITeskStream* stream, T* value) {
    static_assert(sizeof(T) == 4 || sizeof(T) == 2 || sizeof(T) == 1, "small values only");
    if (!StreamHas(stream, sizeof(T)))
        return false;
    stream->Read(value, sizeof(T));
    return true;
}
template <class T>
inline void StreamWriteValue(ITeskStream* stream, T value) {
    stream->Write(&value, sizeof(T));
}
