// Expression evaluator speed: a set of typical script expressions
// (arithmetic, comparisons, string concatenation, variable and array
// access) evaluated a million times, against the same computations written
// directly in C++ in the same run: the best of ten alternating runs each.
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>

#include "aExprEval.h"
#include "bVarMgr.h"

namespace {

const char* const kExpressions[] = {
    "i*3+7",              // integer arithmetic with a variable
    "(r+1.5)/2",          // double arithmetic
    "i>10&&i<=100",       // comparisons and a logical operator
    "s+\"def\"",          // string concatenation
    "arr[3]+arr[i-40]",   // array elements
    "s==\"abc\"||r<0.5",  // string comparison
};
const int kCount = sizeof(kExpressions) / sizeof(kExpressions[0]);

// The same six computations in C++; inputs are volatile so nothing folds.
volatile int g_i = 42;
volatile double g_r = 2.5;
std::string g_s = "abc";
int g_arr[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
volatile double g_sink;

void Direct(int which) {
    switch (which) {
        case 0:
            g_sink = g_i * 3 + 7;
            break;
        case 1:
            g_sink = (g_r + 1.5) / 2;
            break;
        case 2:
            g_sink = (g_i > 10 && g_i <= 100) ? -1 : 0;
            break;
        case 3: {
            std::string t = g_s + "def";
            g_sink = (double)t.size();
            break;
        }
        case 4:
            g_sink = g_arr[3] + g_arr[g_i - 40];
            break;
        default:
            g_sink = (g_s == "abc" || g_r < 0.5) ? -1 : 0;
            break;
    }
}

}  // namespace

int main() {
    CVarList globals;
    VariableManager vm;
    vm.SetGlobalList(&globals);
    vm.SetLocalList(&globals);
    vm.Declare("i", VT_I4, "42", -1);
    vm.Declare("r", VT_R8, "2.5", -1);
    vm.Declare("s", VT_BSTR, "abc", -1);
    int sizes[1] = {10};
    vm.DeclareArray("arr", VT_I4, sizes, 1, "0");
    SAFEARRAY* psa = V_ARRAY(globals.GetValue(3));
    for (LONG k = 0; k < 10; ++k) {
        VARIANT v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = k;
        SafeArrayPutElement(psa, &k, &v);
    }
    vm.SetLocalList(nullptr);

    CExpression expr;
    expr.SetVariables(&vm);

    // Check once that every expression evaluates.
    for (int k = 0; k < kCount; ++k) {
        VARIANT v;
        VariantInit(&v);
        HRESULT hr = expr.Evaluate(kExpressions[k], &v);
        if (FAILED(hr)) {
            printf("%s failed: 0x%08lX\n", kExpressions[k], (unsigned long)hr);
            return 1;
        }
        VariantClear(&v);
    }

    // Each expression's evaluations go in kRounds runs that alternate with
    // runs of the C++ computation; the best run of each counts, so that a
    // busy machine slows neither side more than the other.
    const int kTotal = 1000000;
    const int kPer = kTotal / kCount;
    const int kRounds = 10;
    const int kRun = kPer / kRounds;
    double evalTotal = 0, directTotal = 0;
    printf("%-24s %14s %14s %8s\n", "expression", "evaluator/s", "C++/s", "ratio");
    for (int k = 0; k < kCount; ++k) {
        double e = 1e30, d = 1e30;  // best seconds per computation
        for (int round = 0; round < kRounds; ++round) {
            VARIANT v;
            VariantInit(&v);
            double t0 = Now();
            for (int n = 0; n < kRun; ++n) {
                expr.Evaluate(kExpressions[k], &v);
            }
            double t1 = Now();
            VariantClear(&v);
            for (int n = 0; n < kRun; ++n) Direct(k);
            double t2 = Now();
            e = std::min(e, (t1 - t0) / kRun);
            d = std::min(d, (t2 - t1) / kRun);
        }
        evalTotal += e * kRun * kRounds;
        directTotal += d * kRun * kRounds;
        printf("%-24s %14.0f %14.0f %8.0f\n", kExpressions[k], 1 / e, 1 / d, e / d);
    }
    int done = kRun * kRounds * kCount;
    printf("all %d evaluations: evaluator %.0f/s, C++ %.0f/s, ratio %.0f\n", done, done / evalTotal,
           done / directTotal, evalTotal / directTotal);
    return 0;
}
