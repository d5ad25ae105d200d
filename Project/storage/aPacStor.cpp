// Packed container: locating the runtime header, reading and writing
// storage nodes with their directories, and stream nodes.
#include "aPacStor.h"

#include "bByteOrder.h"
#include "bByteReader.h"
#include "bHandles.h"
#include "bStrConv.h"
#include "bTraceLog.h"

#include <algorithm>
#include <string.h>

// ---------------------------------------------------------------- file I/O

static bool FileTell(HANDLE file, ULONGLONG* pos) {
    LARGE_INTEGER zero, at;
    zero.QuadPart = 0;
    if (file == INVALID_HANDLE_VALUE || !SetFilePointerEx(file, zero, &at, FILE_CURRENT))
        return false;
    *pos = (ULONGLONG)at.QuadPart;
    return true;
}

static bool FileSeek(HANDLE file, ULONGLONG pos) {
    LARGE_INTEGER to;
    to.QuadPart = (LONGLONG)pos;
    return file != INVALID_HANDLE_VALUE && SetFilePointerEx(file, to, nullptr, FILE_BEGIN);
}

static ULONGLONG FileLength(HANDLE file) {
    LARGE_INTEGER size;
    if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size))
        return 0;
    return (ULONGLONG)size.QuadPart;
}

// Bytes read; fewer than n at the end of the file or on failure.
static ULONG FileRead(HANDLE file, void* buffer, ULONG n) {
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD got = 0;
    if (!ReadFile(file, buffer, n, &got, nullptr))
        return 0;
    return got;
}

// ---------------------------------------------------------------- CPacReader

CPacReader::CPacReader(HANDLE file)
    : m_file(file),
      m_pos(0),
      m_osPos(0),
      m_length(FileLength(file)),
      m_window(kWindow),
      m_windowAt(0),
      m_windowLen(0) {
    FileTell(file, &m_osPos);
    m_pos = m_osPos;
}

void CPacReader::Detach() {
    m_file = INVALID_HANDLE_VALUE;
    m_windowLen = 0;
}

// Bytes read straight into buffer at m_pos.
ULONG CPacReader::ReadDirect(BYTE* buffer, ULONG n) {
    if (m_osPos != m_pos) {
        if (!FileSeek(m_file, m_pos))
            return 0;
        m_osPos = m_pos;
    }
    ULONG got = FileRead(m_file, buffer, n);
    m_osPos += got;
    return got;
}

ULONG CPacReader::Read(void* buffer, ULONG n) {
    if (m_file == INVALID_HANDLE_VALUE)
        return 0;
    BYTE* out = static_cast<BYTE*>(buffer);
    ULONG done = 0;
    while (done < n) {
        ULONG want = n - done;
        if (m_pos >= m_windowAt && m_pos - m_windowAt < m_windowLen) {
            ULONG left = (ULONG)(m_windowAt + m_windowLen - m_pos);
            ULONG take = want < left ? want : left;
            memcpy(out + done, &m_window[(size_t)(m_pos - m_windowAt)], take);
            m_pos += take;
            done += take;
        } else if (want >= kWindow) {
            ULONG got = ReadDirect(out + done, want);
            m_pos += got;
            done += got;
            break;
        } else {
            m_windowAt = m_pos;
            m_windowLen = ReadDirect(m_window.data(), kWindow);
            if (!m_windowLen)
                break;  // the file's end, or a failed read
        }
    }
    return done;
}

// The container's file as one element sees it: through the reader of a
// read-only package, else straight through the handle.
static bool PacTell(HANDLE file, CPacReader* reader, ULONGLONG* pos) {
    if (!reader || file == INVALID_HANDLE_VALUE)
        return FileTell(file, pos);
    *pos = reader->Tell();
    return true;
}

static bool PacSeek(HANDLE file, CPacReader* reader, ULONGLONG pos) {
    if (!reader || file == INVALID_HANDLE_VALUE)
        return FileSeek(file, pos);
    reader->Seek(pos);
    return true;
}

static ULONGLONG PacLength(HANDLE file, CPacReader* reader) {
    return reader && file != INVALID_HANDLE_VALUE ? reader->Length() : FileLength(file);
}

static ULONG PacRead(HANDLE file, CPacReader* reader, void* buffer, ULONG n) {
    return reader && file != INVALID_HANDLE_VALUE ? reader->Read(buffer, n)
                                                  : FileRead(file, buffer, n);
}

static ULONG PacReadAt(HANDLE file, CPacReader* reader, ULONGLONG pos, void* buffer, ULONG n) {
    return PacSeek(file, reader, pos) ? PacRead(file, reader, buffer, n) : 0;
}

static bool FileWriteAll(HANDLE file, const void* buffer, ULONG n) {
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    return WriteFile(file, buffer, n, &put, nullptr) && put == n;
}

// Node header fields.
enum { HDR_SIZE = 0, HDR_MAGIC = 4, HDR_NODESIZE = 8, HDR_DIROFFSET = 16, HDR_COUNT = 24 };

// A fresh node header (its size and magic, the rest zero) written at the
// file's position.
static bool WriteNewNodeHeader(HANDLE file, BYTE* header, uint32_t magic) {
    memset(header, 0, PAC_NODE_HEADER_SIZE);
    PutU32LE(header + HDR_SIZE, PAC_NODE_HEADER_SIZE);
    PutU32LE(header + HDR_MAGIC, magic);
    return FileWriteAll(file, header, PAC_NODE_HEADER_SIZE);
}
// Stream header: the data length at 8.
enum { STM_LENGTH = 8 };

// ---------------------------------------------------------------- CPacStream

CPacStream::CPacStream()
    : m_readOnly(0), m_file(INVALID_HANDLE_VALUE), m_dataStart(0), m_start(0), m_limit(0) {
    memset(m_header, 0, sizeof(m_header));
}

HRESULT CPacStream::Open(HANDLE file, BOOL forReading) {
    TRACE_POINT();
    ULONGLONG start = 0;
    if (!FileTell(file, &start)) {
        m_file = INVALID_HANDLE_VALUE;
        return forReading ? TESK_E_HEADERREAD : TESK_E_HEADERWRITE;
    }
    if (forReading)
        return OpenForReadingAt(file, start);
    m_file = file;
    m_start = start;
    m_readOnly = 0;
    m_mode = 1;
    if (!WriteNewNodeHeader(file, m_header, PAC_MAGIC_STREAM)) {
        m_file = INVALID_HANDLE_VALUE;
        return TESK_E_HEADERWRITE;
    }
    m_dataStart = m_start + PAC_NODE_HEADER_SIZE;
    return S_OK;
}

HRESULT CPacStream::OpenForReadingAt(HANDLE file, ULONGLONG start) {
    m_file = file;
    m_start = start;
    m_readOnly = 1;
    m_mode = 0;
    if (PacReadAt(file, m_reader.get(), start, m_header, PAC_NODE_HEADER_SIZE) !=
        PAC_NODE_HEADER_SIZE) {
        m_file = INVALID_HANDLE_VALUE;
        return TESK_E_HEADERREAD;
    }
    if (GetU32LE(m_header + HDR_SIZE) != PAC_NODE_HEADER_SIZE ||
        GetU32LE(m_header + HDR_MAGIC) != PAC_MAGIC_STREAM) {
        m_file = INVALID_HANDLE_VALUE;
        return TESK_E_STREAMHEADER;
    }
    // The data must lie within the node's room in the file.
    ULONGLONG limit = m_limit ? m_limit : PacLength(file, m_reader.get());
    ULONGLONG data = m_start + PAC_NODE_HEADER_SIZE;
    ULONGLONG length = GetU64LE(m_header + STM_LENGTH);
    if (data > limit || length > limit - data) {
        LOG_MSG("Stream at %llu: data length %llu passes its node's end",
                (unsigned long long)m_start, (unsigned long long)length);
        m_file = INVALID_HANDLE_VALUE;
        return TESK_E_STREAMHEADER;
    }
    m_dataStart = data;
    return S_OK;
}

STDMETHODIMP CPacStream::Close() {
    if (m_file == INVALID_HANDLE_VALUE)
        return S_OK;
    if (!m_readOnly) {
        PutU64LE(m_header + STM_LENGTH, RawGetSize());
        if (FileSeek(m_file, m_start))
            FileWriteAll(m_file, m_header, PAC_NODE_HEADER_SIZE);
    }
    m_file = INVALID_HANDLE_VALUE;
    m_reader.reset();
    return S_OK;
}

STDMETHODIMP_(ULONGLONG) CPacStream::RawGetPosition() {
    ULONGLONG pos = 0;
    if (!PacTell(m_file, m_reader.get(), &pos) || pos < m_dataStart)
        return 0;
    return pos - m_dataStart;
}

STDMETHODIMP_(ULONGLONG) CPacStream::RawGetSize() {
    if (m_readOnly)
        return GetU64LE(m_header + STM_LENGTH);
    ULONGLONG size = FileLength(m_file);
    return size > m_dataStart ? size - m_dataStart : 0;
}

STDMETHODIMP_(ULONG) CPacStream::RawRead(void* buffer, ULONG n) {
    ULONG got = n ? PacRead(m_file, m_reader.get(), buffer, n) : 0;
    if (got < n)
        ThrowTeskStreamExcept(TESK_EXC_SHORTREAD, "not enough data to read , throw a exception!");
    return got;
}

STDMETHODIMP_(ULONG) CPacStream::RawWrite(const void* buffer, ULONG n) {
    if (m_file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD put = 0;
    if (!WriteFile(m_file, buffer, n, &put, nullptr)) {
        DWORD err = GetLastError();
        if (err == ERROR_DISK_FULL || err == ERROR_HANDLE_DISK_FULL)
            ThrowTeskStreamExcept(TESK_EXC_DISKFULL, "disk is full , throw a exception!");
    }
    return put;
}

STDMETHODIMP CPacStream::RawSeek(LONGLONG offset, int origin) {
    LONGLONG base;
    switch (origin) {
        case TESK_SEEK_SET:
            base = (LONGLONG)m_dataStart;
            break;
        case TESK_SEEK_CUR: {
            ULONGLONG pos = 0;
            PacTell(m_file, m_reader.get(), &pos);
            base = (LONGLONG)pos;
            break;
        }
        case TESK_SEEK_END:
            base = m_readOnly ? (LONGLONG)(m_dataStart + GetU64LE(m_header + STM_LENGTH))
                              : (LONGLONG)PacLength(m_file, m_reader.get());
            break;
        default:
            return E_UNEXPECTED;
    }
    LONGLONG to = base + offset;
    // Never before the data (into the header).
    if (to < (LONGLONG)m_dataStart)
        to = (LONGLONG)m_dataStart;
    PacSeek(m_file, m_reader.get(), (ULONGLONG)to);
    return S_OK;
}

// ---------------------------------------------------------------- CPacStorage

CPacStorage::CPacStorage()
    : m_readOnly(0),
      m_writable(0),
      m_start(0),
      m_file(INVALID_HANDLE_VALUE),
      m_dirOffset(0),
      m_limit(0),
      m_ownFile(INVALID_HANDLE_VALUE),
      m_headerOffset(0) {
    memset(m_header, 0, sizeof(m_header));
    memset(m_runtimeHeader, 0, sizeof(m_runtimeHeader));
}

CPacStorage::~CPacStorage() {}

STDMETHODIMP_(void) CPacStorage::DeleteThis(UINT flags) {
    if (flags & 1)
        delete this;
    else
        this->~CPacStorage();
}

ULONGLONG CPacStorage::FileSize() const {
    return PacLength(m_file, m_reader.get());
}

ULONGLONG CPacStorage::GetNodeSize() {
    ULONGLONG size = FileSize();
    return size > m_start ? size - m_start : 0;
}

void CPacStorage::SeekInNode(ULONGLONG offset) {
    PacSeek(m_file, m_reader.get(), m_start + offset);
}

void CPacStorage::AddEntry(ULONGLONG offset, const std::string& name) {
    m_entries.push_back(Entry{offset, name});
    m_index.emplace(MbFoldCase(name.c_str()), m_entries.size() - 1);
}

// First entry whose name equals the given one ignoring case; its offset or 0.
ULONGLONG CPacStorage::Lookup(const char* name) const {
    if (!name)
        return 0;
    auto it = m_index.find(MbFoldCase(name));
    return it == m_index.end() ? 0 : m_entries[it->second].offset;
}

// End of the room of the child at this offset: the next sibling or the
// directory. Children of a node being written may reach the file's end.
ULONGLONG CPacStorage::ChildLimit(ULONGLONG offset) const {
    if (!m_readOnly)
        return 0;
    auto it = std::upper_bound(m_sortedOffsets.begin(), m_sortedOffsets.end(), offset);
    return m_start + (it != m_sortedOffsets.end() ? *it : m_dirOffset);
}

HRESULT CPacStorage::OpenNode(HANDLE file, BOOL forReading) {
    TRACE_POINT();
    ULONGLONG start = 0;
    if (!FileTell(file, &start)) {
        m_file = INVALID_HANDLE_VALUE;
        return forReading ? TESK_E_HEADERREAD : TESK_E_HEADERWRITE;
    }
    if (forReading)
        return OpenForReadingAt(file, start);
    m_file = file;
    m_entries.clear();
    m_index.clear();
    m_sortedOffsets.clear();
    m_start = start;
    m_readOnly = 0;
    m_writable = 1;
    if (!WriteNewNodeHeader(file, m_header, PAC_MAGIC_STORAGE)) {
        m_file = INVALID_HANDLE_VALUE;
        return TESK_E_HEADERWRITE;
    }
    return S_OK;
}

HRESULT CPacStorage::OpenForReadingAt(HANDLE file, ULONGLONG start) {
    m_file = file;
    m_entries.clear();
    m_index.clear();
    m_sortedOffsets.clear();
    m_start = start;
    m_readOnly = 1;
    m_writable = 0;
    if (PacReadAt(file, m_reader.get(), start, m_header, PAC_NODE_HEADER_SIZE) !=
        PAC_NODE_HEADER_SIZE) {
        m_file = INVALID_HANDLE_VALUE;
        return TESK_E_HEADERREAD;
    }
    if (GetU32LE(m_header + HDR_MAGIC) != PAC_MAGIC_STORAGE) {
        m_file = INVALID_HANDLE_VALUE;
        return E_FAIL;
    }
    // The node must fit in the room its parent gives it.
    ULONGLONG limit = m_limit ? m_limit : FileSize();
    ULONGLONG nodeSize = GetU64LE(m_header + HDR_NODESIZE);
    if (m_start > limit || nodeSize < PAC_NODE_HEADER_SIZE || nodeSize > limit - m_start) {
        LOG_MSG("Storage at %llu: node size %llu passes its room", (unsigned long long)m_start,
                (unsigned long long)nodeSize);
        m_file = INVALID_HANDLE_VALUE;
        return E_FAIL;
    }
    ULONG count = GetU32LE(m_header + HDR_COUNT);
    if (count) {
        HRESULT hr = ReadDirectory(nodeSize, GetU64LE(m_header + HDR_DIROFFSET), count);
        if (FAILED(hr)) {
            m_entries.clear();
            m_index.clear();
            m_sortedOffsets.clear();
            m_file = INVALID_HANDLE_VALUE;
            return hr;
        }
    }
    SeekInNode(GetU32LE(m_header + HDR_SIZE));
    return S_OK;
}

// Directory: "STGI", then per entry an 8-byte offset, L (units with the NUL,
// at most 260) and 2L bytes of UTF-16 name. The entries must lie within the
// node; each child must lie between the node header and the directory, at
// its own offset.
HRESULT CPacStorage::ReadDirectory(ULONGLONG nodeSize, ULONGLONG dirOffset, ULONG count) {
    const ULONGLONG minEntry = 8 + 4 + 2;
    const ULONGLONG maxEntry = 8 + 4 + 2 * PAC_MAX_NAME_UNITS;
    if (dirOffset < PAC_NODE_HEADER_SIZE || dirOffset > nodeSize - 4 ||
        (ULONGLONG)count * minEntry > nodeSize - dirOffset - 4) {
        LOG_MSG("Storage at %llu: directory (offset %llu, %llu entries) passes the node's end",
                (unsigned long long)m_start, (unsigned long long)dirOffset,
                (unsigned long long)count);
        return E_FAIL;
    }
    ULONGLONG span = nodeSize - dirOffset;
    ULONGLONG most = 4 + (ULONGLONG)count * maxEntry;
    ULONGLONG cap = span < most ? span : most;
    // Far beyond any real directory; keeps the allocation sane.
    if (cap > 0x10000000ULL) {
        LOG_MSG("Storage at %llu: directory of %llu entries is too large",
                (unsigned long long)m_start, (unsigned long long)count);
        return E_FAIL;
    }
    size_t want = (size_t)cap;
    std::vector<BYTE> bytes;
    try {
        bytes.resize(want);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    SeekInNode(dirOffset);
    if (PacRead(m_file, m_reader.get(), bytes.data(), (ULONG)want) != want)
        return E_FAIL;

    CByteReader r(bytes.data(), bytes.size());
    if (r.U32LE() != PAC_MAGIC_DIR)
        return E_FAIL;
    m_entries.reserve(count);
    std::vector<WCHAR> name;
    for (ULONG i = 0; i < count; ++i) {
        ULONGLONG offset = r.U64LE();
        ULONG units = r.U32LE();
        if (r.Failed() || units == 0 || units > PAC_MAX_NAME_UNITS || !r.Has(2 * (size_t)units)) {
            LOG_MSG("Storage at %llu: directory entry %llu is damaged", (unsigned long long)m_start,
                    (unsigned long long)i);
            return E_FAIL;
        }
        name.assign(units, 0);
        for (ULONG u = 0; u < units; ++u) name[u] = r.U16LE();
        if (std::find(name.begin(), name.end(), (WCHAR)0) == name.end()) {
            LOG_MSG("Storage at %llu: name of directory entry %llu has no end",
                    (unsigned long long)m_start, (unsigned long long)i);
            return E_FAIL;
        }
        if (offset < PAC_NODE_HEADER_SIZE || offset > dirOffset - PAC_NODE_HEADER_SIZE) {
            LOG_MSG("Storage at %llu: child %llu at offset %llu lies outside the node",
                    (unsigned long long)m_start, (unsigned long long)i, (unsigned long long)offset);
            return E_FAIL;
        }
        AddEntry(offset, MultibyteFromWide(name.data()));
        m_sortedOffsets.push_back(offset);
    }
    std::sort(m_sortedOffsets.begin(), m_sortedOffsets.end());
    if (std::adjacent_find(m_sortedOffsets.begin(), m_sortedOffsets.end()) !=
        m_sortedOffsets.end()) {
        LOG_MSG("Storage at %llu: two children share one offset", (unsigned long long)m_start);
        return E_FAIL;
    }
    m_dirOffset = dirOffset;
    return S_OK;
}

HRESULT CPacStorage::WriteDirectory() {
    std::vector<BYTE> bytes(4);
    PutU32LE(bytes.data(), PAC_MAGIC_DIR);
    for (const Entry& e : m_entries) {
        ULONG units = (ULONG)e.name.size() + 1;
        size_t at = bytes.size();
        bytes.resize(at + 12 + 2 * (size_t)units, 0);
        PutU64LE(&bytes[at], e.offset);
        PutU32LE(&bytes[at + 8], units);
        // The stored count is the ANSI length plus one; the wide name is
        // never longer and the rest is NUL.
        std::wstring wide = WideFromMultibyte(e.name.c_str());
        wide.resize(units - 1, 0);
        wide.push_back(0);
        for (ULONG u = 0; u < units; ++u) PutU16LE(&bytes[at + 12 + 2 * u], (uint16_t)wide[u]);
    }
    ULONGLONG dirOffset = GetNodeSize();
    SeekInNode(dirOffset);
    if (!FileWriteAll(m_file, bytes.data(), (ULONG)bytes.size()))
        return TESK_E_HEADERWRITE;
    PutU64LE(m_header + HDR_DIROFFSET, dirOffset);
    PutU32LE(m_header + HDR_COUNT, (ULONG)m_entries.size());
    return S_OK;
}

STDMETHODIMP CPacStorage::Close() {
    if (m_file != INVALID_HANDLE_VALUE) {
        if (m_writable) {
            if (!m_entries.empty())
                WriteDirectory();
            ULONGLONG nodeSize = GetNodeSize();
            PutU64LE(m_header + HDR_NODESIZE, nodeSize);
            SeekInNode(0);
            FileWriteAll(m_file, m_header, PAC_NODE_HEADER_SIZE);
            // A root that owns its file records the package's length.
            if (m_ownFile != INVALID_HANDLE_VALUE) {
                PutU64LE(m_runtimeHeader + 16, nodeSize + PAC_RUNTIME_HEADER_SIZE);
                if (FileSeek(m_ownFile, m_headerOffset))
                    FileWriteAll(m_ownFile, m_runtimeHeader, PAC_RUNTIME_HEADER_SIZE);
            }
        }
        m_file = INVALID_HANDLE_VALUE;
    }
    if (m_ownFile != INVALID_HANDLE_VALUE) {
        // Elements still open read nothing more, as with the handle closed.
        if (m_reader)
            m_reader->Detach();
        CloseHandle(m_ownFile);
        m_ownFile = INVALID_HANDLE_VALUE;
    }
    m_reader.reset();
    return S_OK;
}

// Name of a new element: present, and short enough for its directory entry.
static bool ValidNewName(const char* name) {
    return name && *name && strlen(name) < PAC_MAX_NAME_UNITS;
}

static HRESULT OpenChildAt(CPacStorage* node, HANDLE file, BOOL forReading, ULONGLONG start) {
    return forReading ? node->OpenForReadingAt(file, start) : node->OpenNode(file, FALSE);
}
static HRESULT OpenChildAt(CPacStream* stream, HANDLE file, BOOL forReading, ULONGLONG start) {
    return forReading ? stream->OpenForReadingAt(file, start) : stream->Open(file, FALSE);
}

// A new node or stream object (T): one opened for reading at start, kept
// inside limit, sharing the container's reader (if any); one for writing at
// the file's current position.
template <class T, class I>
static HRESULT NewChild(HANDLE file, const std::shared_ptr<CPacReader>& reader, BOOL forReading,
                        ULONGLONG start, ULONGLONG limit, I** out) {
    CComObject<T>* child = nullptr;
    HRESULT hr = CComObject<T>::CreateInstance(&child);
    if (FAILED(hr))
        return E_OUTOFMEMORY;
    child->AddRef();
    if (forReading) {
        child->SetLimit(limit);
        child->SetReader(reader);
    }
    hr = OpenChildAt(child, file, forReading, start);
    if (FAILED(hr)) {
        child->Release();
        return hr;
    }
    *out = child;
    return S_OK;
}

template <class T, class I>
HRESULT CPacStorage::CreateChild(const char* name, I** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (m_readOnly)
        return E_UNEXPECTED;
    if (!ValidNewName(name))
        return E_INVALIDARG;
    if (Lookup(name))
        return TESK_E_EXISTS;
    ULONGLONG offset = GetNodeSize();
    SeekInNode(offset);
    HRESULT hr = NewChild<T>(m_file, nullptr, FALSE, 0, 0, out);
    if (FAILED(hr))
        return hr;
    AddEntry(offset, name);
    return S_OK;
}

template <class T, class I>
HRESULT CPacStorage::OpenChild(const char* name, HRESULT missing, I** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    ULONGLONG offset = Lookup(name);
    if (!offset)
        return missing;
    return NewChild<T>(m_file, m_reader, TRUE, m_start + offset, ChildLimit(offset), out);
}

STDMETHODIMP CPacStorage::CreateStorage(const char* name, int tag, ITeskStorage** out) {
    TRACE_POINT();
    (void)tag;
    return CreateChild<CPacStorage>(name, out);
}

STDMETHODIMP CPacStorage::CreateStream(const char* name, int tag, ITeskStream** out) {
    TRACE_POINT();
    (void)tag;
    return CreateChild<CPacStream>(name, out);
}

STDMETHODIMP CPacStorage::OpenStorage(const char* name, int mode, ITeskStorage** out) {
    TRACE_POINT();
    (void)mode;
    return OpenChild<CPacStorage>(name, TESK_E_NOSTORAGE, out);
}

STDMETHODIMP CPacStorage::OpenStream(const char* name, int mode, ITeskStream** out) {
    TRACE_POINT();
    (void)mode;
    return OpenChild<CPacStream>(name, TESK_E_NOSTREAM, out);
}

// ------------------------------------------------------------ runtime header

// Finds the first 4096-byte boundary c <= min(size, 128 KB) - 256 whose bytes
// start a runtime header. The file is mapped read-only for the search.
static HRESULT FindRuntimeHeader(const char* fileName, ULONGLONG* headerOffset) {
    CHandle file(CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        LOG_WIN32_ERROR(0, "Cannot open file: %s", fileName);
        return E_FAIL;
    }
    ULONGLONG size = FileLength(file.Get());
    ULONGLONG span = size < (ULONGLONG)PAC_HEADER_SEARCH ? size : (ULONGLONG)PAC_HEADER_SEARCH;
    // The file is mapped before its size is judged: an empty file fails here.
    CHandle mapping(CreateFileMappingA(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    DWORD err = GetLastError();
    file.Close();
    if (!mapping.IsValid()) {
        LOG_WIN32_ERROR(err, "CreateFileMapping failed: %s", fileName);
        return E_FAIL;
    }
    CMappedView mapped(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, (SIZE_T)span));
    const BYTE* view = static_cast<const BYTE*>(mapped.Get());
    err = GetLastError();
    mapping.Close();
    if (!view) {
        LOG_WIN32_ERROR(err, "MapViewOfFile failed: %s", fileName);
        return E_FAIL;
    }
    if (size <= 255) {
        LOG_MSG("Not a valid mrt/ext file");
        return E_FAIL;
    }
    CByteReader r(view, (size_t)span);
    HRESULT hr = TESK_E_NOTRUNTIMEFILE;
    ULONGLONG limit = span - PAC_RUNTIME_HEADER_SIZE;
    for (ULONGLONG c = 0; c <= limit; c += PAC_HEADER_ALIGN) {
        r.Seek((size_t)c);
        const BYTE* p = r.Peek(16);
        if (p && GetU32LE(p) == PAC_RUNTIME_HEADER_SIZE &&
            memcmp(p + 8, PAC_MAGIC_RUNTIME, 8) == 0) {
            *headerOffset = c;
            hr = S_OK;
            break;
        }
    }
    if (FAILED(hr))
        LOG_HRESULT(hr, "Cannot locate header of RTFile(%s)", fileName);
    return hr;
}

HRESULT CPacStorage::LocateRuntimeHeader(const char* fileName) {
    TRACE_POINT();
    if (!fileName || !*fileName)
        return E_INVALIDARG;
    ULONGLONG h = 0;
    HRESULT hr = FindRuntimeHeader(fileName, &h);
    if (FAILED(hr))
        return hr;

    CHandle file(CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        LOG_WIN32_ERROR(0, "Cannot open file: %s", fileName);
        return E_FAIL;
    }
    try {
        m_reader = std::make_shared<CPacReader>(file.Get());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (PacReadAt(file.Get(), m_reader.get(), h, m_runtimeHeader, PAC_RUNTIME_HEADER_SIZE) !=
        PAC_RUNTIME_HEADER_SIZE) {
        LOG_MSG("Cannot read mrtFile");
        m_reader.reset();
        return TESK_E_HEADERREAD;
    }
    if (GetU32LE(m_runtimeHeader) != PAC_RUNTIME_HEADER_SIZE ||
        memcmp(m_runtimeHeader + 8, PAC_MAGIC_RUNTIME, 8) != 0) {
        LOG_MSG("Not mrtFile");
        m_reader.reset();
        return TESK_E_NOTRUNTIMEFILE;
    }
    m_ownFile = file.Get();
    m_headerOffset = h;
    m_readOnly = 1;
    m_limit = 0;
    hr = OpenForReadingAt(file.Get(), h + PAC_RUNTIME_HEADER_SIZE);
    if (FAILED(hr)) {
        m_reader.reset();
        m_ownFile = INVALID_HANDLE_VALUE;
        return hr;
    }
    // The storage closes it from here on.
    file.Detach();
    return S_OK;
}
