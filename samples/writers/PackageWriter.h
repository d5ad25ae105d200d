// Builds runtime packages for tests through the packed container's own
// writing paths: the writer lays down the 256-byte runtime header at a
// chosen offset (alone, or behind other bytes such as an executable), opens
// the root storage node for writing, and hands out storages and streams.
//
//   CPackageWriter w;
//   w.Create(path);                          // header at 0
//   w.AddStream("PrjInfo", bytes);           // in the root
//   w.BeginStorage("frgdata");               // enter a storage
//   w.BeginStorage("Page1");
//   w.AddStream("CanvasInfo", info);
//   w.EndStorage(); w.EndStorage();
//   w.Finish();                              // directories, headers, length
//
// Elements are written one after another: finish a stream or storage
// before starting its next sibling (the file layout requires it).
#pragma once

#include "ByteWriter.h"
#include "aStorage.h"

#include <stdint.h>
#include <string>
#include <vector>

class CPackageWriter {
public:
    CPackageWriter();
    ~CPackageWriter();
    CPackageWriter(const CPackageWriter&) = delete;
    CPackageWriter& operator=(const CPackageWriter&) = delete;

    // Starts the file: `prefix`, zeros up to headerOffset, the runtime
    // header, the root node. headerOffset must not be below prefix's size.
    HRESULT Create(const std::string& path, uint64_t headerOffset = 0,
                   const std::string& prefix = "");

    // Creates a storage in the current one and makes it current.
    HRESULT BeginStorage(const char* name);
    // Closes the current storage (writes its directory) and returns to its parent.
    HRESULT EndStorage();
    // An empty storage in the current one.
    HRESULT AddStorage(const char* name);
    // A whole stream in the current storage.
    HRESULT AddStream(const char* name, const void* data, size_t size);
    HRESULT AddStream(const char* name, const std::string& bytes) {
        return AddStream(name, bytes.data(), bytes.size());
    }
    // A stream the caller writes; release it before the next element.
    HRESULT CreateStream(const char* name, ITeskStream** out);
    ITeskStorage* Current() const { return m_stack.empty() ? nullptr : m_stack.back(); }

    // Closes every storage and the root, records the package length in the
    // runtime header and closes the file.
    HRESULT Finish();
    uint64_t HeaderOffset() const { return m_headerOffset; }
    // Bytes of the package (runtime header included) after Finish.
    uint64_t PackageLength() const { return m_packageLength; }

private:
    HANDLE m_file;
    uint64_t m_headerOffset;
    uint64_t m_packageLength;
    std::vector<ITeskStorage*> m_stack;  // root first; one reference each
};

// A stored body in a compression mode (0 plain, 2 zlib) as the memory
// stream's SaveCompressed writes it.
std::string MakeBody(const std::string& raw, int mode);
// A zlib body (mode 2) of `head` followed by `unit` repeated `count` times,
// deflated a piece at a time so that the repeats are never held: a small
// body that inflates to far more than its size.
std::string MakeZlibBodyRepeating(const std::string& head, const std::string& unit, uint64_t count);
