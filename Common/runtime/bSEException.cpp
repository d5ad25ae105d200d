// Structured exceptions turned into C++ exceptions.
//
// g++ has no _set_se_translator. A vectored handler sees a fault first; for
// a processor fault raised in this program's own code on a thread that asked
// for translation, it saves the record and context per thread and redirects
// the faulting thread into a small thunk that looks as if the faulting
// instruction had called it (return address = fault address + 1, so that the
// unwinder's "return address - 1" lands on the faulting instruction). The
// thunk throws CSE_Exception from an ordinary frame, and the unwinder walks
// from there through the faulting function to the nearest handler: SEH
// tables on x86_64, DWARF frame tables on i686. The handler never throws
// itself: unwinding out of the system's dispatcher is not something either
// unwinder can be relied on to do.
//
// The return address is written by the thunk, not by the handler: below the
// faulting stack pointer lies the dispatcher's own frame (record and context)
// until the handler has returned.
//
// Faults in system code are left alone: the system's own handlers expect
// them (IsBadReadPtr and the like). A fault inside the C runtime DLL (a null
// pointer handed to strlen) is taken, on x86_64, as a fault at the call into
// the runtime: its frames are unwound with the system's unwinder first. The
// i686 unwinder cannot cross frames without DWARF tables, so there only
// faults in the program's own code are translated. The code between a fault and its handler must be
// built with -fnon-call-exceptions so that a trapping instruction counts as
// a place that may throw.
#include "bTraceLog.h"

#include <stdio.h>
#include <string.h>

CSE_Exception::CSE_Exception(const EXCEPTION_RECORD* record, const CONTEXT* context)
    : CSE_Exception() {
    if (record) {
        m_record = *record;
        m_record.ExceptionRecord = nullptr;  // the chain does not outlive the fault
        m_code = record->ExceptionCode;
    }
    if (context)
        m_context = *context;
}

void CSE_Exception::GetText(char* buffer, int size) const {
    if (!buffer || size <= 0)
        return;
    switch (m_code) {
        case EXCEPTION_ACCESS_VIOLATION: {
            ULONG_PTR access = m_record.NumberParameters > 0 ? m_record.ExceptionInformation[0] : 0;
            ULONG_PTR address =
                m_record.NumberParameters > 1 ? m_record.ExceptionInformation[1] : 0;
            // Addresses beyond 32 bits print in full rather than cut.
            snprintf(buffer, size, "Access Violation: IP: 0x%08llX %s Address: 0x%08llX",
                     (unsigned long long)(ULONG_PTR)m_record.ExceptionAddress,
                     access ? "Write" : "Read", (unsigned long long)address);
            break;
        }
        case EXCEPTION_ILLEGAL_INSTRUCTION:
            snprintf(buffer, size, "ILLEGAL_INSTRUCTION");
            break;
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
            snprintf(buffer, size, "FLT_DIVIDE_BY_ZERO");
            break;
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
            snprintf(buffer, size, "INT_DIVIDE_BY_ZERO");
            break;
        case EXCEPTION_PRIV_INSTRUCTION:
            snprintf(buffer, size, "EXCEPTION_PRIV_INSTRUCTION");
            break;
        case EXCEPTION_STACK_OVERFLOW:
            snprintf(buffer, size, "EXCEPTION_STACK_OVERFLOW");
            break;
        default:
            snprintf(buffer, size, "Unknown SE_exception: %08X", (unsigned)m_code);
            break;
    }
}

namespace {

// What the handler hands to the thunk of its thread.
struct alignas(16) SEThreadBlock {
    CONTEXT context;
    EXCEPTION_RECORD record;
};

DWORD g_seSlot = TLS_OUT_OF_INDEXES;

// Processor faults; software exceptions and notifications pass untouched.
// A stack overflow is not among them: what is left of the stack after one
// does not carry the unwinder (measured under Wine, even with a stack
// guarantee), and the attempt would only hide the system's own report.
bool IsTranslatedFault(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_PRIV_INSTRUCTION:
        case EXCEPTION_INT_OVERFLOW:
        case EXCEPTION_FLT_DENORMAL_OPERAND:
        case EXCEPTION_FLT_INEXACT_RESULT:
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_OVERFLOW:
        case EXCEPTION_FLT_STACK_CHECK:
        case EXCEPTION_FLT_UNDERFLOW:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case EXCEPTION_DATATYPE_MISALIGNMENT:
        case EXCEPTION_IN_PAGE_ERROR:
            return true;
        default:
            return false;
    }
}

}  // namespace

// Called by the thunks only.
extern "C" [[noreturn]] __attribute__((used, noinline)) void SEThrowFromThunk() __asm__(
    "mavro_se_throw_from_thunk");
extern "C" void SEThunkEntryAligned() __asm__("mavro_se_thunk_a");
extern "C" void SEThunkEntryMisaligned() __asm__("mavro_se_thunk_b");

extern "C" void SEThrowFromThunk() {
    SEThreadBlock* block = static_cast<SEThreadBlock*>(TlsGetValue(g_seSlot));
    throw CSE_Exception(&block->record, &block->context);
}

#if defined(__x86_64__)
// Entered with the return address in rax and rsp already lowered by 8 for
// it. "a" is for the usual rsp = 16n + 8 at entry, "b" for 16n.
__asm__(
    ".text\n"
    ".p2align 4\n"
    ".globl mavro_se_thunk_a\n"
    ".def mavro_se_thunk_a; .scl 2; .type 32; .endef\n"
    ".seh_proc mavro_se_thunk_a\n"
    "mavro_se_thunk_a:\n"
    "  movq %rax, (%rsp)\n"
    "  subq $40, %rsp\n"
    "  .seh_stackalloc 40\n"
    "  .seh_endprologue\n"
    "  call mavro_se_throw_from_thunk\n"
    "  int3\n"
    "  .seh_endproc\n"
    ".p2align 4\n"
    ".globl mavro_se_thunk_b\n"
    ".def mavro_se_thunk_b; .scl 2; .type 32; .endef\n"
    ".seh_proc mavro_se_thunk_b\n"
    "mavro_se_thunk_b:\n"
    "  movq %rax, (%rsp)\n"
    "  subq $32, %rsp\n"
    "  .seh_stackalloc 32\n"
    "  .seh_endprologue\n"
    "  call mavro_se_throw_from_thunk\n"
    "  int3\n"
    "  .seh_endproc\n");
#elif defined(__i386__)
// Entered with the return address in eax and esp already lowered by 4 for
// it; the frame pointer lets the stack be aligned for the C++ code.
__asm__(
    ".text\n"
    ".p2align 4\n"
    ".globl mavro_se_thunk_a\n"
    ".globl mavro_se_thunk_b\n"
    "mavro_se_thunk_a:\n"
    "mavro_se_thunk_b:\n"
    "  .cfi_startproc\n"
    "  movl %eax, (%esp)\n"
    "  pushl %ebp\n"
    "  .cfi_def_cfa_offset 8\n"
    "  .cfi_offset %ebp, -8\n"
    "  movl %esp, %ebp\n"
    "  .cfi_def_cfa_register %ebp\n"
    "  andl $-16, %esp\n"
    "  call mavro_se_throw_from_thunk\n"
    "  int3\n"
    "  .cfi_endproc\n");
#else
#error "structured exception translation is written for x86 and x86_64"
#endif

namespace {

struct ImageRange {
    ULONG_PTR begin, end;
    bool Holds(ULONG_PTR at) const { return at >= begin && at < end; }
};

ImageRange g_image = {0, 0};    // this program
ImageRange g_runtime = {0, 0};  // the C runtime DLL it calls

ImageRange RangeOf(HMODULE module) {
    ImageRange r = {0, 0};
    if (!module)
        return r;
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    r.begin = (ULONG_PTR)base;
    r.end = r.begin + nt->OptionalHeader.SizeOfImage;
    return r;
}

#if defined(__x86_64__)
// A fault inside the C runtime (strlen of a null pointer and the like):
// unwinds the runtime's frames to the call in this program, which then
// stands as the place of the fault. False when the walk leaves the runtime
// anywhere else.
bool UnwindRuntimeFrames(CONTEXT* context) {
    for (int depth = 0; depth < 64; ++depth) {
        if (g_image.Holds(context->Rip))
            return true;
        if (!g_runtime.Holds(context->Rip))
            return false;
        DWORD64 base = 0;
        PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context->Rip, &base, nullptr);
        if (function) {
            PVOID handlerData = nullptr;
            DWORD64 establisher = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, context->Rip, function, context, &handlerData,
                             &establisher, nullptr);
        } else {
            // A leaf function: the return address is on top of the stack.
            context->Rip = *reinterpret_cast<DWORD64*>(context->Rsp);
            context->Rsp += 8;
        }
    }
    return false;
}
#endif

}  // namespace

static LONG CALLBACK SETranslatorHandler(EXCEPTION_POINTERS* info) {
    EXCEPTION_RECORD* record = info->ExceptionRecord;
    CONTEXT* context = info->ContextRecord;
    if (!IsTranslatedFault(record->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    ULONG_PTR at = (ULONG_PTR)record->ExceptionAddress;
    bool own = g_image.Holds(at);
#if defined(__x86_64__)
    if (!own && !g_runtime.Holds(at))
        return EXCEPTION_CONTINUE_SEARCH;
#else
    // The DWARF unwinder cannot cross the runtime's frames.
    if (!own)
        return EXCEPTION_CONTINUE_SEARCH;
#endif
    DWORD lastError = GetLastError();
    SEThreadBlock* block = static_cast<SEThreadBlock*>(TlsGetValue(g_seSlot));
    SetLastError(lastError);
    if (!block)
        return EXCEPTION_CONTINUE_SEARCH;

#if defined(__x86_64__)
    // Where the throw starts from: the faulting instruction (+1, see above),
    // or for a fault in the runtime the return address of its call (as is).
    CONTEXT from = *context;
    ULONG_PTR returnAddress = from.Rip + 1;
    if (!own) {
        if (!UnwindRuntimeFrames(&from))
            return EXCEPTION_CONTINUE_SEARCH;
        returnAddress = from.Rip;
    }
    block->record = *record;
    block->context = *context;
    *context = from;
    // The thunk runs as ordinary compiled code: string instructions go up.
    context->EFlags &= ~0x400u;
    context->Rax = returnAddress;
    context->Rsp -= sizeof(ULONG_PTR);
    context->Rip =
        (context->Rsp & 8) ? (ULONG_PTR)&SEThunkEntryAligned : (ULONG_PTR)&SEThunkEntryMisaligned;
#else
    block->record = *record;
    block->context = *context;
    context->EFlags &= ~0x400u;
    context->Eax = context->Eip + 1;
    context->Esp -= sizeof(ULONG_PTR);
    context->Eip = (ULONG_PTR)&SEThunkEntryAligned;
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

static BOOL CALLBACK InitTranslator(PINIT_ONCE, PVOID, PVOID*) {
    g_seSlot = TlsAlloc();
    if (g_seSlot == TLS_OUT_OF_INDEXES)
        return FALSE;
    HMODULE self = nullptr;
    if (GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&SETranslatorHandler), &self))
        g_image = RangeOf(self);
    g_runtime = RangeOf(GetModuleHandleA("msvcrt.dll"));
    AddVectoredExceptionHandler(1, SETranslatorHandler);
    return TRUE;
}

void InstallSETranslator() {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    if (!InitOnceExecuteOnce(&once, InitTranslator, nullptr, nullptr))
        return;
    if (TlsGetValue(g_seSlot))
        return;
    SEThreadBlock* block = new (std::nothrow) SEThreadBlock;
    if (!block)
        return;
    TlsSetValue(g_seSlot, block);
}
