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

// Seconds to read a function table of n routines (best of fifteen), all of
// one name or each of its own. Of one name every routine after the first is
// renamed, so the names themselves grow as n squared (10 n = 1,000, the
// table that once took most of a minute, gives about 16 against 13 for
// distinct names; the difference is the bytes of the names).
double TimeRoutineTable(size_t n, bool oneName) {
    std::vector<RoutineSpec> specs(n, {"calc", {}, {{9, "1", nullptr}}});
    if (!oneName)
        for (size_t i = 0; i < n; ++i) specs[i].name = "calc" + std::to_string(i);
    std::string bytes = RoutineTableBytes(specs);
    double best = 1e30;
    for (int run = 0; run < 15; ++run) {
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

// The routine table's rows: n routines against 10 n, of distinct names for
// reference, then of one name.
void RoutineTableRows(size_t n) {
    for (bool oneName : {false, true}) {
        double small = TimeRoutineTable(n, oneName), large = TimeRoutineTable(10 * n, oneName);
        printf("%-58s n=%-7zu %9.3f ms  10n %9.3f ms  ratio %6.1f%s\n",
               oneName ? "routine table: routines of one name"
                       : "routine table: routines of distinct names (reference)",
               n, small * 1000, large * 1000, small > 0 ? large / small : 0.0,
               oneName ? "  goal <= 15" : "");
    }
    fflush(stdout);
}

void WriteIni(const std::string& path, const std::string& text) {
    WriteFileBytes(path.substr(0, path.size() - 3) + "ini", text);
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    RoutineTableRows(50);
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
    CoUninitialize();
    return 0;
}
