#include "aFuncDirect.h"

#include <string.h>

#include "aFuncLib.h"

namespace {

template <class Itf>
Itf* As(void* itf) {
    return static_cast<Itf*>(itf);
}

typedef FuncDirectArgs A;
typedef FuncDirectOut O;

#define MATH As<IMathFuncs>(p)
#define GEN As<IGeneralFuncs>(p)
#define SYS As<ISystemFuncs>(p)

const FuncDirectEntry kMath[] = {
    {1, "L", 'L', [](void* p, const A& a, O& o) { return MATH->Abs(a.L(0), &o.l); }},
    {2, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Acos(a.D(0), &o.d); }},
    {3, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Asin(a.D(0), &o.d); }},
    {4, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Atan(a.D(0), &o.d); }},
    {5, "DD", 'D', [](void* p, const A& a, O& o) { return MATH->Atan2(a.D(0), a.D(1), &o.d); }},
    {6, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Cos(a.D(0), &o.d); }},
    {7, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Cosh(a.D(0), &o.d); }},
    {8, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Exp(a.D(0), &o.d); }},
    {9, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Fabs(a.D(0), &o.d); }},
    {10, "DD", 'D', [](void* p, const A& a, O& o) { return MATH->Fmod(a.D(0), a.D(1), &o.d); }},
    {11, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Log(a.D(0), &o.d); }},
    {12, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Log10(a.D(0), &o.d); }},
    {13, "DD", 'D', [](void* p, const A& a, O& o) { return MATH->Pow(a.D(0), a.D(1), &o.d); }},
    {14, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Sin(a.D(0), &o.d); }},
    {15, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Sinh(a.D(0), &o.d); }},
    {16, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Sqrt(a.D(0), &o.d); }},
    {17, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Tan(a.D(0), &o.d); }},
    {18, "D", 'D', [](void* p, const A& a, O& o) { return MATH->Tanh(a.D(0), &o.d); }},
    {19, "D", 'L', [](void* p, const A& a, O& o) { return MATH->Round(a.D(0), &o.l); }},
    {20, "", 'L', [](void* p, const A&, O& o) { return MATH->Rand(&o.l); }},
};

const FuncDirectEntry kGeneral[] = {
    {1, "B", 'D', [](void* p, const A& a, O& o) { return GEN->Atof(a.B(0), &o.d); }},
    {2, "B", 'L', [](void* p, const A& a, O& o) { return GEN->Atoi(a.B(0), &o.l); }},
    {3, "LL", 'B', [](void* p, const A& a, O& o) { return GEN->Itoa(a.L(0), a.L(1), &o.b); }},
    {4, "DL", 'B', [](void* p, const A& a, O& o) { return GEN->Ftoa(a.D(0), a.L(1), &o.b); }},
    {5, "BLL", 'B',
     [](void* p, const A& a, O& o) {
         return GEN->GetMiddleOfString(a.B(0), a.L(1), a.L(2), &o.b);
     }},
    {6, "BL", 'B',
     [](void* p, const A& a, O& o) { return GEN->GetLeftOfString(a.B(0), a.L(1), &o.b); }},
    {7, "BL", 'B',
     [](void* p, const A& a, O& o) { return GEN->GetRightOfString(a.B(0), a.L(1), &o.b); }},
    {8, "BB", 'L',
     [](void* p, const A& a, O& o) { return GEN->FindStringInString(a.B(0), a.B(1), &o.l); }},
    {9, "B", 'L', [](void* p, const A& a, O& o) { return GEN->GetStringLength(a.B(0), &o.l); }},
    {10, "B", 'B', [](void* p, const A& a, O& o) { return GEN->StringToLower(a.B(0), &o.b); }},
    {11, "B", 'B', [](void* p, const A& a, O& o) { return GEN->StringToUpper(a.B(0), &o.b); }},
    {12, "LLL", 'L',
     [](void* p, const A& a, O& o) { return GEN->GetRGB(a.L(0), a.L(1), a.L(2), &o.l); }},
};

const FuncDirectEntry kSystem[] = {
    {1, "", 'B', [](void* p, const A&, O& o) { return SYS->GetCurrentDir(&o.b); }},
    {2, "", 'B', [](void* p, const A&, O& o) { return SYS->GetWindowsDir(&o.b); }},
    {3, "", 'B', [](void* p, const A&, O& o) { return SYS->GetSystemDir(&o.b); }},
    {4, "", 'B', [](void* p, const A&, O& o) { return SYS->GetCurrentTopicName(&o.b); }},
    {5, "", 'B', [](void* p, const A&, O& o) { return SYS->GetCurrentTopicTitle(&o.b); }},
    {6, "", 'B', [](void* p, const A&, O& o) { return SYS->GetExeName(&o.b); }},
    {7, "", 'B', [](void* p, const A&, O& o) { return SYS->GetFirstCDRomDriver(&o.b); }},
    {8, "", 'B', [](void* p, const A&, O& o) { return SYS->GetTeskDirectory(&o.b); }},
    {9, "", 'B', [](void* p, const A&, O& o) { return SYS->GetMediaRootDirectory(&o.b); }},
    {10, "", 'B', [](void* p, const A&, O& o) { return SYS->GetWorkingDirectory(&o.b); }},
    {11, "", 'L', [](void* p, const A&, O& o) { return SYS->GetTicks(&o.l); }},
    {12, "", 'L', [](void* p, const A&, O& o) { return SYS->GetTopicTime(&o.l); }},
    {13, "B", 'B', [](void* p, const A& a, O& o) { return SYS->GetFormatedTime(a.B(0), &o.b); }},
    {14, "", 'L', [](void* p, const A&, O& o) { return SYS->IsAutoPlay(&o.l); }},
    {15, "B", 'L', [](void* p, const A& a, O& o) { return SYS->IsObjActive(a.B(0), &o.l); }},
    {16, "B", 'L', [](void* p, const A& a, O& o) { return SYS->IsObjVisible(a.B(0), &o.l); }},
    {17, "B", 'L', [](void* p, const A& a, O& o) { return SYS->IsPageVisited(a.B(0), &o.l); }},
    {18, "", 'L', [](void* p, const A&, O& o) { return SYS->IsSysSoundEnabled(&o.l); }},
    {19, "", 'L', [](void* p, const A&, O& o) { return SYS->GetRecorderState(&o.l); }},
    {20, "", 'L', [](void* p, const A&, O& o) { return SYS->IsDatabaseEnabled(&o.l); }},
    {21, "B", 'L',
     [](void* p, const A& a, O& o) { return SYS->GetDBTableRecordCount(a.B(0), &o.l); }},
    {22, "B", 'L',
     [](void* p, const A& a, O& o) { return SYS->GetDBTableRecordPointer(a.B(0), &o.l); }},
    {23, "BBL", 'L',
     [](void* p, const A& a, O& o) { return SYS->GetDBFieldInt(a.B(0), a.B(1), a.L(2), &o.l); }},
    {24, "BBL", 'D',
     [](void* p, const A& a, O& o) { return SYS->GetDBFieldFloat(a.B(0), a.B(1), a.L(2), &o.d); }},
    {25, "BBL", 'L',
     [](void* p, const A& a, O& o) { return SYS->GetDBFieldBool(a.B(0), a.B(1), a.L(2), &o.l); }},
    {26, "BBL", 'B',
     [](void* p, const A& a, O& o) { return SYS->GetDBFieldString(a.B(0), a.B(1), a.L(2), &o.b); }},
    {27, "", 'B', [](void* p, const A&, O& o) { return SYS->GetMavroName(&o.b); }},
    {28, "", 'B', [](void* p, const A&, O& o) { return SYS->GetMavroCompany(&o.b); }},
    {29, "", 'B', [](void* p, const A&, O& o) { return SYS->GetPrjKeyword(&o.b); }},
    {30, "", 'B', [](void* p, const A&, O& o) { return SYS->GetPrjDescription(&o.b); }},
    {31, "B", 'B', [](void* p, const A& a, O& o) { return SYS->GetMediaFileName(a.B(0), &o.b); }},
    {32, "B", 'B',
     [](void* p, const A& a, O& o) { return SYS->GetExternalFileName(a.B(0), &o.b); }},
    {33, "", 'L', [](void* p, const A&, O& o) { return SYS->GetCursorPosX(&o.l); }},
    {34, "", 'L', [](void* p, const A&, O& o) { return SYS->GetCursorPosY(&o.l); }},
    {35, "", 'L', [](void* p, const A&, O& o) { return SYS->IsShiftKeyPressed(&o.l); }},
    {36, "", 'L', [](void* p, const A&, O& o) { return SYS->IsCtrlKeyPressed(&o.l); }},
    {37, "", 'L', [](void* p, const A&, O& o) { return SYS->IsAltKeyPressed(&o.l); }},
    {38, "BL", 'L',
     [](void* p, const A& a, O& o) { return SYS->GridObjRowHitTest(a.B(0), a.L(1), &o.l); }},
    {39, "BL", 'L',
     [](void* p, const A& a, O& o) { return SYS->GridObjColHitTest(a.B(0), a.L(1), &o.l); }},
    {40, "BLL", 'L',
     [](void* p, const A& a, O& o) {
         return SYS->DrawBoardObjHitTest(a.B(0), a.L(1), a.L(2), &o.l);
     }},
};

#undef MATH
#undef GEN
#undef SYS

template <size_t N>
const FuncDirectEntry* Find(const FuncDirectEntry (&table)[N], MEMBERID id) {
    for (const FuncDirectEntry& e : table)
        if (e.id == id)
            return &e;
    return nullptr;
}

VARTYPE TypeOf(char code) {
    switch (code) {
        case 'L':
            return VT_I4;
        case 'D':
            return VT_R8;
        case 'B':
            return VT_BSTR;
    }
    return VT_EMPTY;
}

}  // namespace

const FuncDirectEntry* FindFuncDirectEntry(REFIID iid, MEMBERID id) {
    if (IsEqualIID(iid, __uuidof(IMathFuncs)))
        return Find(kMath, id);
    if (IsEqualIID(iid, __uuidof(IGeneralFuncs)))
        return Find(kGeneral, id);
    if (IsEqualIID(iid, __uuidof(ISystemFuncs)))
        return Find(kSystem, id);
    return nullptr;
}

bool FuncDirectFits(const FuncDirectEntry& entry, const VARTYPE* params, int count,
                    VARTYPE result) {
    if ((int)strlen(entry.params) != count || TypeOf(entry.result) != result)
        return false;
    for (int i = 0; i < count; ++i)
        if (TypeOf(entry.params[i]) != params[i])
            return false;
    return true;
}

HRESULT CallFuncDirect(const FuncDirectEntry& entry, void* itf, VARIANT* args, int count,
                       VARIANT* result) {
    FuncDirectArgs a = {args, count};
    FuncDirectOut out;
    HRESULT hr = entry.call(itf, a, out);
    if (FAILED(hr)) {
        SysFreeString(out.b);
        return hr;
    }
    if (!result) {
        SysFreeString(out.b);
        return hr;
    }
    if (V_VT(result) != VT_EMPTY)
        VariantClear(result);
    V_VT(result) = TypeOf(entry.result);
    switch (entry.result) {
        case 'L':
            V_I4(result) = out.l;
            break;
        case 'D':
            V_R8(result) = out.d;
            break;
        default:
            V_BSTR(result) = out.b;
            break;
    }
    return hr;
}
