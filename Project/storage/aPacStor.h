// Packed container: the runtime package file. A 256-byte runtime header
// ("TESK-RT2") on a 4096-byte boundary within the first 128 KB, then the
// root storage node; storage nodes ("STGB") hold their children and a
// directory ("STGI"), stream nodes ("STMB") hold their data.
//
// There is one file pointer per container: a stream's position is the file
// pointer minus its data start, so opening, reading or seeking another
// element moves it. Children share the root's file and must be released
// before the root.
#pragma once

#include "aTeskStream.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

enum {
    PAC_RUNTIME_HEADER_SIZE = 256,
    PAC_NODE_HEADER_SIZE = 32,
    PAC_HEADER_ALIGN = 4096,
    PAC_HEADER_SEARCH = 0x20000,  // the header lies within the first 128 KB
    PAC_MAX_NAME_UNITS = 260,     // directory name length L, NUL included
};
#define PAC_MAGIC_RUNTIME "TESK-RT2"
#define PAC_MAGIC_STORAGE 0x42475453u  // "STGB"
#define PAC_MAGIC_DIR 0x49475453u      // "STGI"
#define PAC_MAGIC_STREAM 0x424d5453u   // "STMB"

// Read side of a read-only package's file, shared by the root and every
// element opened from it: the container's one file pointer, kept here
// instead of in the handle, and a window of the file read ahead, so that the
// node headers, directories and small streams lying together cost one system
// call between them. The file is open sharing reads only: its bytes cannot
// change under the window.
class CPacReader {
public:
    explicit CPacReader(HANDLE file);
    ULONGLONG Tell() const { return m_pos; }
    void Seek(ULONGLONG pos) { m_pos = pos; }
    ULONGLONG Length() const { return m_length; }
    // Bytes read at the pointer, which moves past them; fewer at the file's
    // end or on failure.
    ULONG Read(void* buffer, ULONG n);
    // The file is closed: every later read fails.
    void Detach();

private:
    enum { kWindow = 0x10000 };
    ULONG ReadDirect(BYTE* buffer, ULONG n);

    HANDLE m_file;      // the root's
    ULONGLONG m_pos;    // the container's file pointer
    ULONGLONG m_osPos;  // the handle's own pointer
    ULONGLONG m_length;
    std::vector<BYTE> m_window;
    ULONGLONG m_windowAt;
    ULONG m_windowLen;
};

class CPacStream : public CStreamBase {
public:
    BEGIN_COM_MAP(CPacStream)
    COM_INTERFACE_ENTRY(ITeskStream)
    END_COM_MAP()

    CPacStream();

    STDMETHOD_(void, ResetPosition)() override {}
    STDMETHOD_(void, SetTag)(int) override {}
    STDMETHOD_(int, GetKind)() override { return TESK_KIND_PACSTREAM; }
    STDMETHOD_(int, GetTag)() override { return 10; }
    STDMETHOD(Close)() override;
    STDMETHOD_(ULONGLONG, RawGetPosition)() override;
    STDMETHOD_(ULONGLONG, RawGetSize)() override;
    STDMETHOD_(ULONG, RawRead)(void* buffer, ULONG n) override;
    STDMETHOD_(ULONG, RawWrite)(const void* buffer, ULONG n) override;
    STDMETHOD(RawSeek)(LONGLONG offset, int origin) override;

    // Reads (or, for writing, creates) the stream header at the file's
    // current position. The file stays the container's.
    HRESULT Open(HANDLE file, BOOL forReading);
    // Open for reading of the stream header at a known file offset.
    HRESULT OpenForReadingAt(HANDLE file, ULONGLONG start);
    // File offset that a read stream's data may not pass (0: the file's end).
    void SetLimit(ULONGLONG limit) { m_limit = limit; }
    // Reads go through the package's reader (none: through the handle).
    void SetReader(const std::shared_ptr<CPacReader>& reader) { m_reader = reader; }
    // File offset of the data (D), for checks.
    ULONGLONG DataStart() const { return m_dataStart; }

protected:
    ~CPacStream() override {}

private:
    BYTE m_readOnly;
    HANDLE m_file;          // not owned
    ULONGLONG m_dataStart;  // D = S + header size
    ULONGLONG m_start;      // S
    BYTE m_header[PAC_NODE_HEADER_SIZE];
    ULONGLONG m_limit;
    std::shared_ptr<CPacReader> m_reader;
};

class CPacStorage : public CComObjectRootBase, public ITeskStorage {
public:
    BEGIN_COM_MAP(CPacStorage)
    COM_INTERFACE_ENTRY(ITeskStorage)
    END_COM_MAP()

    CPacStorage();

    STDMETHOD(Initialize)(void*) override { return S_OK; }
    STDMETHOD_(BYTE, GetMode)() override { return m_writable; }
    STDMETHOD_(void, SetMode)(BYTE mode) override { m_writable = m_readOnly ? 0 : mode; }
    STDMETHOD_(void, SetTag)(int) override {}
    STDMETHOD(CreateStorage)(const char* name, int tag, ITeskStorage** out) override;
    STDMETHOD(CreateStream)(const char* name, int tag, ITeskStream** out) override;
    STDMETHOD(OpenStorage)(const char* name, int mode, ITeskStorage** out) override;
    STDMETHOD(OpenStream)(const char* name, int mode, ITeskStream** out) override;
    STDMETHOD(Commit)() override { return S_OK; }
    STDMETHOD(CommitAll)() override { return S_OK; }
    STDMETHOD(Close)() override;
    STDMETHOD(DestroyElement)(const char*) override { return E_NOTIMPL; }
    STDMETHOD_(BOOL, IsPacked)() override { return TRUE; }
    STDMETHOD_(int, CountElements)() override { return (int)m_entries.size(); }
    STDMETHOD_(BOOL, ElementExists)(const char* name) override { return Lookup(name) != 0; }
    STDMETHOD(EnumElements)(IEnumSTATSTG**) override { return S_OK; }
    STDMETHOD(CopyElementTo)(const char*, ITeskStorage*, const char*) override { return S_OK; }
    STDMETHOD_(void, DeleteThis)(UINT flags) override;

    // 21: reads (or, for writing, creates) the node header at the file's
    // current position; the file stays the container's.
    virtual HRESULT STDMETHODCALLTYPE OpenNode(HANDLE file, BOOL forReading);
    // Open for reading of the node header at a known file offset.
    HRESULT OpenForReadingAt(HANDLE file, ULONGLONG start);
    // 22: the file's size minus the node's start.
    virtual ULONGLONG STDMETHODCALLTYPE GetNodeSize();
    // 23: file pointer to node start + offset.
    virtual void STDMETHODCALLTYPE SeekInNode(ULONGLONG offset);

    // Root only: finds the runtime header in the file and opens the root
    // node for reading; the root then owns the file.
    HRESULT LocateRuntimeHeader(const char* fileName);
    // File offset that a read node may not pass (0: the file's end).
    void SetLimit(ULONGLONG limit) { m_limit = limit; }
    // Reads go through the package's reader (none: through the handle).
    void SetReader(const std::shared_ptr<CPacReader>& reader) { m_reader = reader; }
    // Node start and the runtime header's offset (root), for checks.
    ULONGLONG NodeStart() const { return m_start; }
    ULONGLONG HeaderOffset() const { return m_headerOffset; }

    // Release at 0 closes first.
    void FinalRelease() { Close(); }

protected:
    virtual ~CPacStorage();

private:
    struct Entry {
        ULONGLONG offset;  // relative to the node start
        std::string name;  // ANSI
    };
    ULONGLONG Lookup(const char* name) const;
    HRESULT ReadDirectory(ULONGLONG nodeSize, ULONGLONG dirOffset, ULONG count);
    HRESULT WriteDirectory();
    void AddEntry(ULONGLONG offset, const std::string& name);
    ULONGLONG ChildLimit(ULONGLONG offset) const;
    // Create/Open of a child node (T = CPacStorage) or stream (CPacStream).
    template <class T, class I>
    HRESULT CreateChild(const char* name, I** out);
    template <class T, class I>
    HRESULT OpenChild(const char* name, HRESULT missing, I** out);
    ULONGLONG FileSize() const;

    BYTE m_readOnly;
    BYTE m_header[PAC_NODE_HEADER_SIZE];
    BYTE m_writable;
    ULONGLONG m_start;  // N
    HANDLE m_file;      // the container's, not owned
    std::vector<Entry> m_entries;
    // Lookup index: case-folded name to the first entry with it.
    std::unordered_map<std::string, size_t> m_index;
    std::vector<ULONGLONG> m_sortedOffsets;
    ULONGLONG m_dirOffset;
    ULONGLONG m_limit;
    std::shared_ptr<CPacReader> m_reader;
    // Root only.
    HANDLE m_ownFile;
    BYTE m_runtimeHeader[PAC_RUNTIME_HEADER_SIZE];
    ULONGLONG m_headerOffset;  // H
};
