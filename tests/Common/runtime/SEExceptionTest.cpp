// Processor faults arrive as CSE_Exception inside try blocks.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "bTraceLog.h"

namespace {

volatile int g_zero = 0;
volatile int g_minusOne = -1;
volatile int g_intMin = INT_MIN;
volatile int g_sink;
volatile int* volatile g_null = nullptr;
volatile int* volatile g_low = reinterpret_cast<volatile int*>(0x10);

std::vector<std::string> g_unwound;

struct Witness {
    const char* name;
    ~Witness() { g_unwound.push_back(name); }
};

__attribute__((noinline)) int ReadNull() {
    return *g_null;
}
__attribute__((noinline)) void WriteLow() {
    *g_low = 5;
}
__attribute__((noinline)) int DivideByZero(int a) {
    g_sink = a / g_zero;
    return g_sink;
}
__attribute__((noinline)) int DivideOverflow() {
    g_sink = g_intMin / g_minusOne;
    return g_sink;
}
__attribute__((noinline)) void Undefined() {
    __asm__ volatile("ud2");
}
// Called through a pointer so that the call is not taken for one that cannot
// throw.
void (*volatile g_undefined)() = Undefined;

__attribute__((noinline)) int Inner() {
    Witness w{"inner"};
    std::string keep = "frame with cleanups";
    return *g_null + (int)keep.size();
}
__attribute__((noinline)) int Outer() {
    Witness w{"outer"};
    return Inner() + 1;
}

std::string TextOf(const CSE_Exception& e, int size = 256) {
    std::vector<char> buf(size);
    e.GetText(buf.data(), size);
    return buf.data();
}

std::string AccessText(const void* ip, const char* kind, ULONG_PTR address) {
    char expect[128];
    snprintf(expect, sizeof(expect), "Access Violation: IP: 0x%08llX %s Address: 0x%08llX",
             (unsigned long long)(ULONG_PTR)ip, kind, (unsigned long long)address);
    return expect;
}

class SEExceptionTest : public testing::Test {
protected:
    void SetUp() override {
        InstallSETranslator();
        g_unwound.clear();
    }
};

TEST_F(SEExceptionTest, AccessViolationsCarryPlaceAndKind) {
    try {
        ReadNull();
        FAIL() << "no exception";
    } catch (const CSE_Exception& e) {
        EXPECT_EQ(e.GetCode(), (DWORD)EXCEPTION_ACCESS_VIOLATION);
        const EXCEPTION_RECORD& r = e.GetRecord();
        // The fault lies inside the function that read.
        ULONG_PTR ip = (ULONG_PTR)r.ExceptionAddress;
        EXPECT_GE(ip, (ULONG_PTR)&ReadNull);
        EXPECT_LT(ip, (ULONG_PTR)&ReadNull + 64);
        EXPECT_EQ(TextOf(e), AccessText(r.ExceptionAddress, "Read", 0));
    }
    try {
        WriteLow();
        FAIL() << "no exception";
    } catch (const CSE_Exception& e) {
        EXPECT_EQ(TextOf(e), AccessText(e.GetRecord().ExceptionAddress, "Write", 0x10));
    }
}

TEST_F(SEExceptionTest, FaultsInsideTheTryBlockItself) {
    int caught = 0;
    try {
        Witness w{"local"};
        int v = *g_null;
        g_unwound.push_back(std::to_string(v));
    } catch (const CSE_Exception& e) {
        EXPECT_EQ(e.GetCode(), (DWORD)EXCEPTION_ACCESS_VIOLATION);
        ++caught;
    }
    try {
        int v = 7 / g_zero;
        g_unwound.push_back(std::to_string(v));
    } catch (const CSE_Exception& e) {
        EXPECT_EQ(TextOf(e), "INT_DIVIDE_BY_ZERO");
        ++caught;
    }
    EXPECT_EQ(caught, 2);
    EXPECT_EQ(g_unwound, (std::vector<std::string>{"local"}));
}

TEST_F(SEExceptionTest, UnwindingRunsTheCleanupsOfEveryFrame) {
    try {
        Witness w{"try"};
        Outer();
    } catch (const CSE_Exception& e) {
        EXPECT_EQ(e.GetCode(), (DWORD)EXCEPTION_ACCESS_VIOLATION);
        g_unwound.push_back("handler");
    }
    EXPECT_EQ(g_unwound, (std::vector<std::string>{"inner", "outer", "try", "handler"}));
}

TEST_F(SEExceptionTest, DivisionFaultsAndRepeatedFaults) {
    struct Case {
        int (*fault)();
        DWORD code;
        const char* text;
    } cases[] = {
        {[] { return DivideByZero(10); }, EXCEPTION_INT_DIVIDE_BY_ZERO, "INT_DIVIDE_BY_ZERO"},
        {ReadNull, EXCEPTION_ACCESS_VIOLATION, nullptr},
    };
    // The translator stays armed after each fault.
    for (int round = 0; round < 3; ++round) {
        for (const Case& c : cases) {
            try {
                c.fault();
                ADD_FAILURE() << "no exception for " << std::hex << c.code;
            } catch (const CSE_Exception& e) {
                EXPECT_EQ(e.GetCode(), c.code);
                if (c.text) {
                    EXPECT_EQ(TextOf(e), c.text);
                }
            }
        }
    }
    // The most negative number divided by -1: Windows reports an overflow,
    // Wine (from the same processor trap) a division by zero.
    try {
        DivideOverflow();
        ADD_FAILURE() << "no exception";
    } catch (const CSE_Exception& e) {
        char text[64];
        e.GetText(text, sizeof(text));
        if (e.GetCode() == EXCEPTION_INT_OVERFLOW)
            EXPECT_STREQ(text, "Unknown SE_exception: C0000095");
        else
            EXPECT_EQ(e.GetCode(), (DWORD)EXCEPTION_INT_DIVIDE_BY_ZERO);
    }
}

TEST_F(SEExceptionTest, IllegalInstruction) {
    try {
        g_undefined();
    } catch (const CSE_Exception& e) {
        EXPECT_EQ(TextOf(e), "ILLEGAL_INSTRUCTION");
        return;
    }
    FAIL() << "no exception";
}

TEST_F(SEExceptionTest, CatchAllSeesTheTranslatedException) {
    bool caught = false;
    try {
        ReadNull();
    } catch (...) {
        caught = true;
    }
    EXPECT_TRUE(caught);
}

TEST_F(SEExceptionTest, SystemCodeKeepsItsOwnFaults) {
    // The system's probe handles its fault itself; nothing is thrown.
    EXPECT_TRUE(IsBadReadPtr(nullptr, 4));
    EXPECT_TRUE(IsBadWritePtr((void*)0x10, 4));
}

#if defined(__x86_64__)
const char* volatile g_noText = nullptr;
char* volatile g_noBuffer = nullptr;

TEST_F(SEExceptionTest, FaultsInsideTheCRuntimeArriveAtTheCall) {
    struct Case {
        const char* name;
        void (*fault)();
    } cases[] = {
        {"strlen", [] { g_sink = (int)strlen(g_noText); }},
        {"memcpy", [] { memcpy(g_noBuffer, "abc", 4 + g_zero); }},
        {"sprintf", [] { g_sink = sprintf(g_noBuffer + 16, "%s", g_noText + 1); }},
    };
    for (const Case& c : cases) {
        g_unwound.clear();
        try {
            Witness w{c.name};
            c.fault();
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const CSE_Exception& e) {
            EXPECT_EQ(e.GetCode(), (DWORD)EXCEPTION_ACCESS_VIOLATION) << c.name;
        }
        EXPECT_EQ(g_unwound, (std::vector<std::string>{c.name}));
    }
}
#endif

TEST_F(SEExceptionTest, EachThreadInstallsItsOwn) {
    DWORD code = 0;
    std::thread worker([&code] {
        InstallSETranslator();
        try {
            DivideByZero(3);
        } catch (const CSE_Exception& e) {
            code = e.GetCode();
        }
    });
    worker.join();
    EXPECT_EQ(code, (DWORD)EXCEPTION_INT_DIVIDE_BY_ZERO);
}

TEST_F(SEExceptionTest, ReportedFaultsReachTheLog) {
    LogCapture log;
    int line = 0;
    try {
        DivideByZero(1);
    } catch (const CSE_Exception& e) {
        line = __LINE__ + 1;
        LOG_EXCEPTION(e);
    }
    std::string text = log.Text();
    std::string place = "SEExceptionTest.cpp (" + std::to_string(line) + ")";
    EXPECT_NE(text.find(place + "\r\n\r\n>>ERROR EXCEPTION<<   Exception(8:0xC0000094) : "
                                "INT_DIVIDE_BY_ZERO\r\n"),
              std::string::npos)
        << text;
}

TEST(SEExceptionText, TextsByCode) {
    struct Case {
        DWORD code;
        const char* text;
    } cases[] = {
        {0xC000001D, "ILLEGAL_INSTRUCTION"},
        {0xC000008E, "FLT_DIVIDE_BY_ZERO"},
        {0xC0000094, "INT_DIVIDE_BY_ZERO"},
        {0xC0000096, "EXCEPTION_PRIV_INSTRUCTION"},
        {0xC00000FD, "EXCEPTION_STACK_OVERFLOW"},
        {0xE06D7363, "Unknown SE_exception: E06D7363"},
        {0x00000001, "Unknown SE_exception: 00000001"},
    };
    for (const Case& c : cases) {
        EXCEPTION_RECORD r = {};
        r.ExceptionCode = c.code;
        CSE_Exception e(&r, nullptr);
        EXPECT_EQ(e.GetCode(), c.code);
        EXPECT_EQ(TextOf(e), c.text);
    }
    EXCEPTION_RECORD r = {};
    r.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    r.ExceptionAddress = (void*)0x401000;
    r.NumberParameters = 2;
    r.ExceptionInformation[0] = 1;
    r.ExceptionInformation[1] = 0xDEADBEEF;
    CSE_Exception e(&r, nullptr);
    EXPECT_EQ(TextOf(e), "Access Violation: IP: 0x00401000 Write Address: 0xDEADBEEF");
    // Cut to the caller's buffer.
    EXPECT_EQ(TextOf(e, 17), "Access Violation");
    // A record without parameters reads as a read of address 0.
    r.NumberParameters = 0;
    EXPECT_EQ(TextOf(CSE_Exception(&r, nullptr)),
              "Access Violation: IP: 0x00401000 Read Address: 0x00000000");
}

TEST(SEExceptionText, DefaultIsEmptyUnknown) {
    CSE_Exception e;
    EXPECT_EQ(e.GetCode(), 0u);
    EXPECT_EQ(TextOf(e), "Unknown SE_exception: 00000000");
}

}  // namespace
