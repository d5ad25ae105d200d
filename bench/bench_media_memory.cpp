// Memory of a media index of a million elements in a package of a few
// kilobytes: the bytes each item and each folder keeps after the pre-load
// (heap bytes in use after less before, over the count) and in all, against
// the goal of a package under 128 MB.
#include "PrjTestDoc.h"
#include "ProcessMemory.h"
#include "ProjectWriter.h"
#include "TestFiles.h"
#include "aPackage.h"
#include "aProject.h"

#include <stdio.h>

#include <string>

namespace {

void Measure(const char* what, const char* stream, const std::string& record) {
    const uint32_t n = 1000000;
    TempFolder dir;
    std::string path = dir.File("work.mrt");
    WorkSpec w;
    w.pages = {{"P", "", "B", "", "", ""}};
    w.backgrounds = {"B"};
    w.writeCanvases = false;
    w.overrides[stream] =
        MakeMediaHeader(n, 2) + MakeZlibBodyRepeating(CByteWriter().U32(n).Str(), record, n);
    size_t packed = w.overrides[stream].size();
    if (FAILED(WriteWork(path, w))) {
        printf("  (package not written)\n");
        return;
    }
    w = WorkSpec();
    TestDoc* doc = new TestDoc(path);
    CPackage* package = nullptr;
    CPackage::CreateInstance(&package);
    package->Open(path.c_str(), 1);
    ULONGLONG heapBefore = HeapBytesInUse();
    HRESULT hr = package->PreLoad(doc);
    ULONGLONG heapAfter = HeapBytesInUse();
    if (FAILED(hr))
        printf("  (pre-load failed: %08lX)\n", (unsigned long)hr);
    ULONGLONG kept = heapAfter > heapBefore ? heapAfter - heapBefore : 0;
    printf("%-28s n=%u in %4zu KB  %6.1f bytes each  %6.1f MB  (goal: under 128 MB)\n", what,
           (unsigned)n, packed / 1024, (double)kept / n, kept / 1048576.0);
    fflush(stdout);
    delete doc;
    package->Release();
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    Measure("unnamed embedded media items", "MediaIndex", ItemRecordBytes(EmbeddedItem("")));
    Measure("root media folders", "MPathIndex", FolderRecordBytes({"r0", ""}));
    Measure("media folders of one name", "MPathIndex", FolderRecordBytes({"same", "$r0\\x\\"}));
    CoUninitialize();
    return 0;
}
