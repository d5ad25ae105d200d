#include "PackageWriter.h"

#include "aMemStm.h"
#include "aPacStor.h"

#include <string.h>
#include <zlib.h>

#include <vector>

#include "ByteWriter.h"

CPackageWriter::CPackageWriter()
    : m_file(INVALID_HANDLE_VALUE), m_headerOffset(0), m_packageLength(0) {}

CPackageWriter::~CPackageWriter() {
    Finish();
}

static bool WriteAll(HANDLE file, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size) {
        DWORD step = size > 0x100000 ? 0x100000 : (DWORD)size;
        DWORD put = 0;
        if (!WriteFile(file, p, step, &put, nullptr) || put != step)
            return false;
        p += step;
        size -= step;
    }
    return true;
}

HRESULT CPackageWriter::Create(const std::string& path, uint64_t headerOffset,
                               const std::string& prefix) {
    Finish();
    if (prefix.size() > headerOffset)
        return E_INVALIDARG;
    m_file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    m_headerOffset = headerOffset;
    m_packageLength = 0;
    std::string lead = prefix;
    lead.resize((size_t)headerOffset, '\0');
    CByteWriter header;
    header.U32(PAC_RUNTIME_HEADER_SIZE).U32(1).Bytes(PAC_MAGIC_RUNTIME, 8).U64(0).Zeros(232);
    if (!WriteAll(m_file, lead.data(), lead.size()) ||
        !WriteAll(m_file, header.Str().data(), header.Size())) {
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
        return E_FAIL;
    }
    CComObject<CPacStorage>* root = nullptr;
    HRESULT hr = CComObject<CPacStorage>::CreateInstance(&root);
    if (FAILED(hr))
        return hr;
    root->AddRef();
    hr = root->OpenNode(m_file, FALSE);
    if (FAILED(hr)) {
        root->Release();
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
        return hr;
    }
    m_stack.push_back(root);
    return S_OK;
}

HRESULT CPackageWriter::BeginStorage(const char* name) {
    if (m_stack.empty())
        return E_UNEXPECTED;
    ITeskStorage* child = nullptr;
    HRESULT hr = m_stack.back()->CreateStorage(name, 0, &child);
    if (FAILED(hr))
        return hr;
    m_stack.push_back(child);
    return S_OK;
}

HRESULT CPackageWriter::EndStorage() {
    if (m_stack.size() < 2)
        return E_UNEXPECTED;
    m_stack.back()->Release();  // the last reference: closes the node
    m_stack.pop_back();
    return S_OK;
}

HRESULT CPackageWriter::AddStorage(const char* name) {
    HRESULT hr = BeginStorage(name);
    return FAILED(hr) ? hr : EndStorage();
}

HRESULT CPackageWriter::CreateStream(const char* name, ITeskStream** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (m_stack.empty())
        return E_UNEXPECTED;
    return m_stack.back()->CreateStream(name, 0, out);
}

HRESULT CPackageWriter::AddStream(const char* name, const void* data, size_t size) {
    ITeskStream* stream = nullptr;
    HRESULT hr = CreateStream(name, &stream);
    if (FAILED(hr))
        return hr;
    const char* p = static_cast<const char*>(data);
    while (size) {
        ULONG step = size > 0x100000 ? 0x100000 : (ULONG)size;
        if (stream->Write(p, step) != step) {
            hr = E_FAIL;
            break;
        }
        p += step;
        size -= step;
    }
    stream->Release();
    return hr;
}

HRESULT CPackageWriter::Finish() {
    if (m_file == INVALID_HANDLE_VALUE)
        return S_FALSE;
    while (!m_stack.empty()) {
        m_stack.back()->Release();
        m_stack.pop_back();
    }
    // The root's node size, now in its header, gives the package length.
    HRESULT hr = S_OK;
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)(m_headerOffset + PAC_RUNTIME_HEADER_SIZE + 8);
    uint8_t size[8] = {0};
    DWORD got = 0;
    if (!SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN) ||
        !ReadFile(m_file, size, 8, &got, nullptr) || got != 8) {
        hr = E_FAIL;
    } else {
        uint64_t nodeSize = 0;
        for (int i = 7; i >= 0; --i) nodeSize = (nodeSize << 8) | size[i];
        m_packageLength = nodeSize + PAC_RUNTIME_HEADER_SIZE;
        CByteWriter length;
        length.U64(m_packageLength);
        at.QuadPart = (LONGLONG)(m_headerOffset + 16);
        if (!SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN) ||
            !WriteAll(m_file, length.Str().data(), 8))
            hr = E_FAIL;
    }
    CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    return hr;
}

std::string MakeBody(const std::string& raw, int mode) {
    ITeskStream* source = nullptr;
    ITeskStream* dest = nullptr;
    std::string out;
    if (SUCCEEDED(CreateMemStream(&source, 32000)) && SUCCEEDED(CreateMemStream(&dest, 32000))) {
        if (!raw.empty())
            source->Write(raw.data(), (ULONG)raw.size());
        source->Seek(0, TESK_SEEK_SET);
        if (SUCCEEDED(AsMemStream(source)->SaveCompressed(dest, mode))) {
            out.resize((size_t)dest->GetSize());
            dest->Seek(0, TESK_SEEK_SET);
            if (!out.empty())
                dest->Read(&out[0], (ULONG)out.size());
        }
    }
    if (source)
        source->Release();
    if (dest)
        dest->Release();
    return out;
}

std::string MakeZlibBodyRepeating(const std::string& head, const std::string& unit,
                                  uint64_t count) {
    z_stream z;
    memset(&z, 0, sizeof(z));
    if (unit.empty() || deflateInit(&z, 1) != Z_OK)
        return std::string();
    std::string packed;
    std::vector<Bytef> out(1 << 16);
    auto feed = [&](const std::string& data, int flush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z.avail_in = (uInt)data.size();
        int rc;
        do {
            z.next_out = out.data();
            z.avail_out = (uInt)out.size();
            rc = deflate(&z, flush);
            packed.append(reinterpret_cast<const char*>(out.data()), out.size() - z.avail_out);
        } while (z.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
    };
    feed(head, Z_NO_FLUSH);
    // About a megabyte of whole units at a time.
    const uint64_t perChunk = (1 << 20) / unit.size() + 1;
    std::string chunk;
    for (uint64_t i = 0; i < perChunk && i < count; ++i) chunk += unit;
    for (uint64_t left = count; left;) {
        uint64_t step = left < perChunk ? left : perChunk;
        if (step < perChunk)
            chunk.resize((size_t)(step * unit.size()));
        feed(chunk, Z_NO_FLUSH);
        left -= step;
    }
    feed(std::string(), Z_FINISH);
    deflateEnd(&z);
    uint64_t raw = head.size() + unit.size() * count;
    CByteWriter header;
    header.U32(16).U32((uint32_t)-1).U32((uint32_t)raw).U32((uint32_t)packed.size());
    return header.Str() + packed;
}
