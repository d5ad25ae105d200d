// Reading every stream of a runtime package through the packed container,
// against plain file reads of the same byte ranges in the same run.
#include "BenchClock.h"
#include "PackageWriter.h"
#include "TestFiles.h"
#include "aPacStor.h"

#include <stdio.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct Range {
    ULONGLONG offset;
    ULONG length;
};

// Layout "nested": pages as storages of frgdata with two streams each, like
// a work. Layout "flat": every stream in the root's one directory.
std::string Build(const std::string& path, bool nested, int count) {
    std::mt19937 rng(5);
    auto bytes = [&](size_t n) {
        std::string s(n, '\0');
        for (char& c : s) c = (char)rng();
        return s;
    };
    CPackageWriter w;
    w.Create(path);
    w.AddStream("PrjInfo", bytes(2000));
    char name[32];
    if (nested) {
        w.BeginStorage("frgdata");
        for (int i = 0; i < count / 2; ++i) {
            snprintf(name, sizeof(name), "Page%d", i);
            w.BeginStorage(name);
            w.AddStream("CanvasInfo", bytes(200 + rng() % 200));
            w.AddStream("ObjData", bytes(1000 + rng() % 8000));
            w.EndStorage();
        }
        w.EndStorage();
    } else {
        for (int i = 0; i < count; ++i) {
            snprintf(name, sizeof(name), "media%05d", i);
            w.AddStream(name, bytes(500 + rng() % 4000));
        }
    }
    w.Finish();
    return path;
}

// Reads every stream through the storage interfaces; the ranges read go to
// `ranges` when given. Returns the bytes read.
size_t ReadAll(const std::string& path, bool nested, int count, std::vector<Range>* ranges) {
    size_t total = 0;
    std::vector<char> buf(1 << 16);
    CComPtr<ITeskStorage> root;
    if (FAILED(OpenPacStorage(path.c_str(), &root)))
        return 0;
    auto readStream = [&](ITeskStorage* parent, const char* name) {
        CComPtr<ITeskStream> s;
        if (FAILED(parent->OpenStream(name, 1, &s)))
            return;
        ULONG n = (ULONG)s->GetSize();
        if (n > buf.size())
            buf.resize(n);
        s->Read(buf.data(), n);
        total += n;
        if (ranges)
            ranges->push_back(Range{static_cast<CPacStream*>(s.p)->DataStart(), n});
    };
    readStream(root, "PrjInfo");
    char name[32];
    if (nested) {
        CComPtr<ITeskStorage> data;
        root->OpenStorage("frgdata", 1, &data);
        for (int i = 0; i < count / 2; ++i) {
            snprintf(name, sizeof(name), "Page%d", i);
            CComPtr<ITeskStorage> page;
            if (FAILED(data->OpenStorage(name, 1, &page)))
                continue;
            readStream(page, "CanvasInfo");
            readStream(page, "ObjData");
        }
    } else {
        for (int i = 0; i < count; ++i) {
            snprintf(name, sizeof(name), "media%05d", i);
            readStream(root, name);
        }
    }
    return total;
}

size_t ReadPlain(const std::string& path, const std::vector<Range>& ranges) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 0;
    std::vector<char> buf(1 << 16);
    size_t total = 0;
    for (const Range& r : ranges) {
        LARGE_INTEGER at;
        at.QuadPart = (LONGLONG)r.offset;
        SetFilePointerEx(f, at, nullptr, FILE_BEGIN);
        if (r.length > buf.size())
            buf.resize(r.length);
        DWORD got = 0;
        ReadFile(f, buf.data(), r.length, &got, nullptr);
        total += got;
    }
    CloseHandle(f);
    return total;
}

}  // namespace

int main() {
    TempFolder dir;
    const int count = 3000;
    const int rounds = 5;
    for (bool nested : {true, false}) {
        std::string path = Build(dir.File(nested ? "nested.mrt" : "flat.mrt"), nested, count);
        std::vector<Range> ranges;
        size_t bytes = ReadAll(path, nested, count, &ranges);  // also warms the cache
        if (ReadPlain(path, ranges) != bytes) {
            printf("reference read a different number of bytes\n");
            return 1;
        }
        double best[2] = {1e9, 1e9};
        for (int r = 0; r < rounds; ++r) {
            double t0 = Now();
            ReadAll(path, nested, count, nullptr);
            double t1 = Now();
            ReadPlain(path, ranges);
            double t2 = Now();
            if (t1 - t0 < best[0])
                best[0] = t1 - t0;
            if (t2 - t1 < best[1])
                best[1] = t2 - t1;
        }
        printf(
            "%s package, %zu streams, %.1f MB: storage %.2f ms, plain reads %.2f ms, ratio %.2f\n",
            nested ? "nested" : "flat", ranges.size(), bytes / 1048576.0, best[0] * 1000,
            best[1] * 1000, best[0] / best[1]);
    }
    return 0;
}
