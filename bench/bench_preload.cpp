// Pre-load of hand-made packages whose shape made the work grow faster than
// the package: each shape is loaded at n and at 10 n and the ratio of the two
// times printed. Linear work gives about 10.
#include "BenchClock.h"
#include "PrjTestDoc.h"
#include "ProjectWriter.h"
#include "RoutineTableWriter.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aPackage.h"
#include "aProject.h"
#include "aRoutineTable.h"

#include <stdio.h>

#include <algorithm>
#include <functional>
#include <string>

namespace {

std::string Name(const char* prefix, size_t i) {
    return prefix + std::to_string(i);
}

typedef std::function<void(WorkSpec&, const std::string& path, size_t n)> Shape;

// Seconds of the pre-load alone (best of three), the package built beforehand.
double TimePreLoad(const Shape& shape, size_t n) {
    TempFolder dir;
    std::string path = dir.File("work.mrt");
    WorkSpec w;
    w.pages = {{"P", "", "B", "", "", ""}};
    w.backgrounds = {"B"};
    w.writeCanvases = false;
    shape(w, path, n);
    if (FAILED(WriteWork(path, w))) {
        printf("  (package not written)\n");
        return 0;
    }
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        TestDoc* doc = new TestDoc(path);
        CPackage* package = nullptr;
        CPackage::CreateInstance(&package);
        package->Open(path.c_str(), 1);
        double t0 = Now();
        HRESULT hr = package->PreLoad(doc);
        double t = Now() - t0;
        if (FAILED(hr))
            printf("  (pre-load failed: %08lX)\n", (unsigned long)hr);
        // The media storage of the project goes before the package's file.
        delete doc;
        package->Release();
        if (t < best)
            best = t;
    }
    return best;
}

void Measure(const char* what, size_t n, const Shape& shape) {
    double small = TimePreLoad(shape, n);
    double large = TimePreLoad(shape, 10 * n);
    printf("%-58s n=%-7zu %9.1f ms  10n %9.1f ms  ratio %6.1f\n", what, n, small * 1000,
           large * 1000, small > 0 ? large / small : 0.0);
    fflush(stdout);
}

// Seconds to read a function table of n routines of one name (best of
// three); every one after the first is renamed.
double TimeRoutineTable(size_t n) {
    std::string bytes =
        RoutineTableBytes(std::vector<RoutineSpec>(n, {"calc", {}, {{9, "1", nullptr}}}));
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        CRoutineTables tables;
        CComPtr<ITeskStream> s = MemStreamOf(bytes);
        double t0 = Now();
        HRESULT hr = tables.ReadTable(s, tables.Functions(), "FunctionTable");
        double t = Now() - t0;
        if (FAILED(hr) || tables.Functions().GetCount() != (int)n)
            printf("  (routine table not read: %08lX)\n", (unsigned long)hr);
        best = std::min(best, t);
    }
    return best;
}

void WriteIni(const std::string& path, const std::string& text) {
    WriteFileBytes(path.substr(0, path.size() - 3) + "ini", text);
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    const size_t n = 10000;
    Measure("pages without links", n, [](WorkSpec& w, const std::string&, size_t k) {
        w.pages.clear();
        for (size_t i = 0; i < k; ++i) w.pages.push_back({Name("p", i), "", "B", "", "", ""});
    });
    Measure("pages chained by next", n, [](WorkSpec& w, const std::string&, size_t k) {
        w.pages.clear();
        for (size_t i = 0; i < k; ++i)
            w.pages.push_back({Name("p", i), "", "B", "", "", i + 1 < k ? Name("p", i + 1) : ""});
    });
    Measure("pages chained by child", n, [](WorkSpec& w, const std::string&, size_t k) {
        w.pages.clear();
        for (size_t i = 0; i < k; ++i)
            w.pages.push_back({Name("p", i), "", "B", "", i + 1 < k ? Name("p", i + 1) : "", ""});
    });
    Measure("pages naming missing children", n, [](WorkSpec& w, const std::string&, size_t k) {
        w.pages.clear();
        for (size_t i = 0; i < k; ++i)
            w.pages.push_back({Name("p", i), "", "B", "", Name("g", i), ""});
    });
    Measure("pages against backgrounds that never match", n,
            [](WorkSpec& w, const std::string&, size_t k) {
                w.pages.clear();
                w.backgrounds.clear();
                for (size_t i = 0; i < k; ++i) {
                    w.pages.push_back({Name("p", i), "", Name("x", i), "", "", ""});
                    w.backgrounds.push_back(Name("b", i));
                }
            });
    Measure("backgrounds of one name, pages naming it", n,
            [](WorkSpec& w, const std::string&, size_t k) {
                w.pages.clear();
                w.backgrounds.assign(k, "same");
                for (size_t i = 0; i < k; ++i)
                    w.pages.push_back({Name("p", i), "", "same", "", "", ""});
            });
    Measure("empty variables in the project info", n,
            [](WorkSpec& w, const std::string&, size_t k) {
                CByteWriter list;
                list.U32(0).U32((uint32_t)k);  // event record, then the count
                for (size_t i = 0; i < k; ++i) list.U32(0).U16(0).U16(0);
                w.prjInfo.tail = list.Str();
            });
    Measure("unnamed embedded media items", n,
            [](WorkSpec& w, const std::string&, size_t k) { w.items.assign(k, EmbeddedItem("")); });
    Measure("media folders of one name", n, [](WorkSpec& w, const std::string&, size_t k) {
        w.folders.assign(k, FolderRecord{"same", "$r0\\x\\"});
    });
    Measure("media ini: keys of a section the player reads", n,
            [](WorkSpec&, const std::string& path, size_t k) {
                std::string ini = "[MediaIndex]\r\n";
                for (size_t i = 0; i < k; ++i)
                    ini += Name("m", i) + "=$r0\\" + Name("f", i) + ".wav\r\n";
                WriteIni(path, ini);
            });
    Measure("media ini: external files in distinct folders", n,
            [](WorkSpec&, const std::string& path, size_t k) {
                std::string ini = "[ExFileIndex]\r\n";
                for (size_t i = 0; i < k; ++i)
                    ini += Name("k", i) + "=C:\\" + Name("d", i) + "\\" + Name("f", i) + ".txt\r\n";
                WriteIni(path, ini);
            });
    Measure("media ini: one external file name in many folders", n,
            [](WorkSpec&, const std::string& path, size_t k) {
                std::string ini = "[ExFileIndex]\r\n";
                for (size_t i = 0; i < k; ++i)
                    ini += Name("k", i) + "=C:\\" + Name("d", i) + "\\same.txt\r\n";
                WriteIni(path, ini);
            });
    {
        const size_t r = 300;
        double small = TimeRoutineTable(r), large = TimeRoutineTable(10 * r);
        printf("%-58s n=%-7zu %9.1f ms  10n %9.1f ms  ratio %6.1f  goal <= 15\n",
               "routine table: routines of one name", r, small * 1000, large * 1000,
               small > 0 ? large / small : 0.0);
    }
    CoUninitialize();
    return 0;
}
