// The trace log file: entries, trace point ring, repeats, rotation, switches.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "bTraceLog.h"

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path);  // text mode: the log is written in text mode
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string SystemText(DWORD code) {
    char sys[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   LANG_USER_DEFAULT, sys, sizeof(sys), nullptr);
    std::string text = sys;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// Lines of the form "<%08X> path (line)".
std::vector<int> TraceLines(const std::string& text) {
    std::vector<int> out;
    for (const std::string& l : Lines(text)) {
        if (l.size() < 11 || l[0] != '<' || l[9] != '>')
            continue;
        size_t open = l.rfind(" (");
        out.push_back(atoi(l.c_str() + open + 2));
    }
    return out;
}

class TraceLogTest : public testing::Test {
protected:
    void SetUp() override {
        dir = scratch.Path();
        base = dir + "\\~t";
    }
    void TearDown() override { ReleaseTraceLog(); }
    ITraceLog* Open() {
        CreateTraceLog(base.c_str());
        ITraceLog* log = GetTraceLog();
        EXPECT_NE(log, nullptr);
        log->SetAllSwitches(TRUE);
        return log;
    }
    // Closes the log and returns the file's text.
    std::string CloseAndRead() {
        ReleaseTraceLog();
        return ReadText(base + ".lg0");
    }
    TempFolder scratch;
    std::string dir, base;
};

TEST_F(TraceLogTest, HeaderEntriesAndClosingLine) {
    ITraceLog* log = Open();
    log->RecordTracePoint("a.cpp", 10);
    log->RecordTracePoint("b.cpp", 20);
    log->LogMessage("hello %d", 42);
    std::string text = CloseAndRead();
    std::vector<std::string> lines = Lines(text);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("Version: ", 0), 0u);
    EXPECT_EQ(lines[1].rfind("LogFile: " + base + ".lg0 start at: ", 0), 0u) << lines[1];
    char expect[256];
    snprintf(expect, sizeof(expect),
             "<%08lX> a.cpp (10)\n<%08lX> b.cpp (20)\n\n>>LOG MESSAGE<<   hello 42\n\n",
             GetCurrentThreadId(), GetCurrentThreadId());
    EXPECT_NE(text.find(expect), std::string::npos) << text;
    EXPECT_NE(text.find("\n>>SYSTEM TERMINATED NORMALLY<<  Total Trace : 2   Total Logged : 2\n\n"),
              std::string::npos)
        << text;
}

TEST_F(TraceLogTest, ErrorHResultAndExceptionEntries) {
    ITraceLog* log = Open();
    log->ErrorAt("e.cpp", 1, ERROR_ACCESS_DENIED, "CreateFile %s failed", "x");
    log->HResultErrorAt("h.cpp", 2, (HRESULT)0x80045003, "Open failed");
    EXCEPTION_RECORD rec = {};
    rec.ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO;
    CSE_Exception e(&rec, nullptr);
    log->ReportException(&e, "x.cpp", 3);
    std::string text = CloseAndRead();

    std::string sysText = SystemText(ERROR_ACCESS_DENIED);
    EXPECT_NE(text.find("\n>>ERROR MESSAGE<<   Error(4:0x00000005) : CreateFile x failed -- " +
                        sysText + "\n\n"),
              std::string::npos)
        << text;
    // No string table entry 14003 in the test program: the code as hex.
    EXPECT_NE(text.find("\n>>ERROR MESSAGE<<   Error(5:0x80045003) : Open failed -- 80045003\n\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n>>ERROR EXCEPTION<<   Exception(8:0xC0000094) : INT_DIVIDE_BY_ZERO\n\n"),
              std::string::npos)
        << text;
    // Each entry's own place is its last trace line.
    EXPECT_NE(text.find("e.cpp (1)\n\n>>ERROR MESSAGE"), std::string::npos);
    EXPECT_NE(text.find("x.cpp (3)\n\n>>ERROR EXCEPTION"), std::string::npos);
}

TEST_F(TraceLogTest, LastErrorKindAndCodeGoToTheThreadRecord) {
    ITraceLog* log = Open();
    SetLastError(ERROR_FILE_NOT_FOUND);
    log->LogLastError(0, "Open %s", "f");
    // An error entry shows the kind and code of the thread's last report.
    log->WriteEntry("direct", TRACE_ENTRY_ERROR);
    log->SetLastErrorCode(0x77);
    log->WriteEntry("coded", TRACE_ENTRY_ERROR);
    log->HResultErrorAt("h.cpp", 1, E_OUTOFMEMORY, "alloc");
    log->WriteEntry("after hresult", TRACE_ENTRY_EXCEPTION);
    std::string text = CloseAndRead();
    EXPECT_NE(text.find("\n>>LOG MESSAGE<<   Open f -- " + SystemText(ERROR_FILE_NOT_FOUND) + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(">>ERROR MESSAGE<<   Error(4:0x00000002) : direct\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find(">>ERROR MESSAGE<<   Error(4:0x00000077) : coded\n"), std::string::npos);
    std::string oom = SystemText((DWORD)E_OUTOFMEMORY);
    if (oom.empty())
        oom = "8007000E";
    EXPECT_NE(text.find(">>ERROR MESSAGE<<   Error(5:0x8007000E) : alloc -- " + oom + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(">>ERROR EXCEPTION<<   Exception(5:0x8007000E) : after hresult\n"),
              std::string::npos);
}

TEST_F(TraceLogTest, RepeatedEntriesAreCountedIgnoringCase) {
    struct Case {
        std::vector<const char*> messages;
        const char* repeatLine;  // null: no repeat line
        int entries;             // entries of the first text written
    } cases[] = {
        {{"same", "same", "same"}, ">>REPEAT<< Last message repeated by 2 time(s)\n\n", 1},
        {{"Same Text", "sAME tEXT"}, ">>REPEAT<< Last message repeated by 1 time(s)\n\n", 1},
        {{"one", "two"}, nullptr, 1},
        {{"x", "y", "x"}, nullptr, 2},
    };
    for (const Case& c : cases) {
        ITraceLog* log = Open();
        for (const char* m : c.messages) log->LogMessage("%s", m);
        log->LogMessage("different");
        std::string text = CloseAndRead();
        std::string first = std::string(">>LOG MESSAGE<<   ") + c.messages[0] + "\n";
        EXPECT_EQ(CountOf(text, first), c.entries) << text;
        if (c.repeatLine) {
            EXPECT_EQ(CountOf(text, ">>REPEAT<<"), 1) << text;
            // The repeat line stands right before the next different entry.
            EXPECT_NE(text.find(std::string(c.repeatLine) + "\n>>LOG MESSAGE<<   different"),
                      std::string::npos)
                << text;
        } else {
            EXPECT_EQ(CountOf(text, ">>REPEAT<<"), 0) << text;
        }
    }
}

TEST_F(TraceLogTest, KeepRepeatsWritesEveryEntry) {
    CreateTraceLog(base.c_str(), TRACE_OPTION_KEEP_REPEATS);
    ITraceLog* log = GetTraceLog();
    ASSERT_NE(log, nullptr);
    DWORD options = 0;
    EXPECT_EQ(log->GetOptions(&options), S_OK);
    EXPECT_EQ(options, (DWORD)TRACE_OPTION_KEEP_REPEATS);
    for (const char* m : {"same", "same", "SAME", "other", "other"}) log->LogMessage("%s", m);
    std::string text = CloseAndRead();
    EXPECT_EQ(CountOf(text, ">>LOG MESSAGE<<   same\n"), 2) << text;
    EXPECT_EQ(CountOf(text, ">>LOG MESSAGE<<   SAME\n"), 1) << text;
    EXPECT_EQ(CountOf(text, ">>LOG MESSAGE<<   other\n"), 2) << text;
    EXPECT_EQ(CountOf(text, ">>REPEAT<<"), 0) << text;

    // The next log made without the option suppresses again.
    ITraceLog* plain = Open();
    for (const char* m : {"same", "same"}) plain->LogMessage("%s", m);
    text = CloseAndRead();
    EXPECT_EQ(CountOf(text, ">>LOG MESSAGE<<   same\n"), 1) << text;
}

TEST_F(TraceLogTest, DoubleByteTextsRepeatOnlyWhenEqual) {
    // GBK: the trail bytes 0x41 and 0x61 look like 'A' and 'a' but make
    // different characters; folding them would merge two distinct texts.
    if (!IsDBCSLeadByte(0x81))
        GTEST_SKIP() << "needs a double-byte code page";
    ITraceLog* log = Open();
    log->LogMessage("\x81\x41");
    log->LogMessage("\x81\x61");
    log->LogMessage("\x81\x61");
    std::string text = CloseAndRead();
    EXPECT_EQ(CountOf(text, ">>LOG MESSAGE<<"), 2) << text;
    EXPECT_EQ(CountOf(text, ">>REPEAT<< Last message repeated by 1 time(s)"), 0);
}

TEST_F(TraceLogTest, PendingTracePointsByEntryType) {
    struct Case {
        int points;
        int type;
        int first, last;  // lines written, oldest first
    } cases[] = {
        {200, TRACE_ENTRY_LOG, 169, 200},
        {200, TRACE_ENTRY_ERROR, 73, 200},
        {200, TRACE_ENTRY_EXCEPTION, 73, 200},
        {128, TRACE_ENTRY_ERROR, 1, 128},
        {32, TRACE_ENTRY_LOG, 1, 32},
        {33, TRACE_ENTRY_LOG, 2, 33},
        {5, TRACE_ENTRY_LOG, 1, 5},
        {0, TRACE_ENTRY_LOG, 0, -1},
    };
    for (const Case& c : cases) {
        ITraceLog* log = Open();
        for (int i = 1; i <= c.points; ++i) log->RecordTracePoint("p.cpp", i);
        log->WriteEntry("entry", c.type);
        log->WriteEntry("next", TRACE_ENTRY_LOG);  // nothing left pending
        std::string text = CloseAndRead();
        std::vector<int> lines = TraceLines(text);
        std::vector<int> expect;
        for (int i = c.first; i <= c.last && c.points; ++i) expect.push_back(i);
        EXPECT_EQ(lines, expect) << c.points << " points, type " << c.type;
        char closing[128];
        snprintf(closing, sizeof(closing), "Total Trace : %d   Total Logged : %d\n", c.points,
                 (int)expect.size());
        EXPECT_NE(text.find(closing), std::string::npos) << text;
    }
}

TEST_F(TraceLogTest, LongFilesWriteTwoTracePointsPerEntry) {
    ITraceLog* log = Open();
    // 790 error entries of 127 points: 100330 logged lines, past 100000.
    char text[32];
    for (int e = 0; e < 790; ++e) {
        for (int i = 0; i < 127; ++i) log->RecordTracePoint("f.cpp", i);
        snprintf(text, sizeof(text), "e%d", e);
        log->WriteEntry(text, TRACE_ENTRY_ERROR);
    }
    for (int i = 1; i <= 50; ++i) log->RecordTracePoint("last.cpp", i);
    log->WriteEntry("after", TRACE_ENTRY_ERROR);
    std::string all = CloseAndRead();
    size_t at = all.find("e789");
    ASSERT_NE(at, std::string::npos);
    std::vector<int> tail = TraceLines(all.substr(at));
    EXPECT_EQ(tail, (std::vector<int>{49, 50}));
}

TEST_F(TraceLogTest, LogFileNames) {
    struct Case {
        const char* given;  // relative to the test folder
        const char* name;
    } cases[] = {
        {"\\~x.lg0", "\\~x.lg0"}, {"\\~x", "\\~x.lg0"},   {"\\~x.log", "\\~x.lg0"},
        {"\\a.b.c", "\\a.b.lg0"}, {"/~y.txt", "/~y.lg0"},
    };
    CreateDirectoryA((dir + "\\d.ir").c_str(), nullptr);
    for (const Case& c : cases) {
        std::string given = dir + c.given;
        CreateTraceLog(given.c_str());
        char name[MAX_PATH];
        ASSERT_EQ(GetTraceLog()->GetLogFileName(name, sizeof(name)), S_OK);
        EXPECT_EQ(std::string(name), dir + c.name);
        EXPECT_NE(GetFileAttributesA(name), INVALID_FILE_ATTRIBUTES);
        ReleaseTraceLog();
    }
    // A point in a folder name is no extension.
    std::string given = dir + "\\d.ir\\log";
    CreateTraceLog(given.c_str());
    char name[MAX_PATH];
    GetTraceLog()->GetLogFileName(name, sizeof(name));
    EXPECT_EQ(std::string(name), dir + "\\d.ir\\log.lg0");
    // The name is cut to the caller's buffer.
    char small[5];
    GetTraceLog()->GetLogFileName(small, sizeof(small));
    EXPECT_EQ(std::string(small), dir.substr(0, 4));
    ReleaseTraceLog();
}

TEST_F(TraceLogTest, OpeningRotatesTheSixOlderLogs) {
    for (int run = 1; run <= 9; ++run) {
        ITraceLog* log = Open();
        log->LogMessage("run %d", run);
        ReleaseTraceLog();
    }
    for (int k = 0; k <= 6; ++k) {
        char ext[8];
        snprintf(ext, sizeof(ext), ".lg%d", k);
        std::string text = ReadText(base + ext);
        char marker[32];
        snprintf(marker, sizeof(marker), ">>LOG MESSAGE<<   run %d\n", 9 - k);
        EXPECT_NE(text.find(marker), std::string::npos) << ext;
    }
    EXPECT_EQ(GetFileAttributesA((base + ".lg7").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(TraceLogTest, ThreadSwitchesArePerThread) {
    ITraceLog* log = Open();
    std::thread worker([log] {
        log->SetTraceSwitch(FALSE);
        log->LogAt("w.cpp", 1, "worker log");
        log->TracePoint("w.cpp", 2);
        log->LogMessage("worker message");
        log->ErrorAt("w.cpp", 3, 5, "worker error");
        log->SetErrorSwitch(FALSE);
        log->ErrorAt("w.cpp", 4, 5, "worker error off");
        log->SetExceptionSwitch(FALSE);
        CSE_Exception e;
        log->ReportException(&e, "w.cpp", 5);
    });
    worker.join();
    log->LogAt("m.cpp", 7, "main log");
    std::string text = CloseAndRead();
    EXPECT_EQ(text.find("worker log"), std::string::npos);
    EXPECT_EQ(text.find("worker message"), std::string::npos);
    EXPECT_EQ(text.find("w.cpp (2)"), std::string::npos);
    EXPECT_NE(text.find("w.cpp (3)\n\n>>ERROR MESSAGE<<   Error(4:0x00000005) : worker error"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("worker error off"), std::string::npos);
    EXPECT_EQ(text.find("EXCEPTION<<"), std::string::npos);
    EXPECT_NE(text.find(">>LOG MESSAGE<<   main log"), std::string::npos);
}

TEST_F(TraceLogTest, SourcePathsLoseTheFoldersAboveTheTree) {
    // This file is <top>/tests/Common/runtime/TraceLogTest.cpp, the log module
    // <top>/Common/runtime/bTraceLog.cpp: recorded paths start at <top>.
    std::string file = __FILE__;
    size_t cut = file.size();
    for (int i = 0; i < 5; ++i) cut = file.find_last_of("/\\", cut - 1);
    std::string shown = file.substr(cut + 1);
    ITraceLog* log = Open();
    log->TracePoint(__FILE__, 77);
    log->TracePoint("x.cpp", 78);  // shorter than the prefix: kept whole
    // Outside the tree (however long): kept whole too.
    log->TracePoint("Q:\\elsewhere\\deeper\\folders\\than\\ours\\y.cpp", 79);
    log->LogMessage("m");
    std::string text = CloseAndRead();
    EXPECT_NE(text.find("> " + shown + " (77)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("> x.cpp (78)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("> Q:\\elsewhere\\deeper\\folders\\than\\ours\\y.cpp (79)\n"),
              std::string::npos)
        << text;
}

TEST_F(TraceLogTest, LongTextsAreCut) {
    ITraceLog* log = Open();
    std::string longText(2000, 'q');
    log->LogMessage("%s", longText.c_str());
    std::string text = CloseAndRead();
    std::string entry = ">>LOG MESSAGE<<   " + std::string(508 - 18, 'q') + "\n";
    EXPECT_NE(text.find("\n" + entry), std::string::npos);
    EXPECT_EQ(text.find(std::string(508 - 17, 'q')), std::string::npos);
}

TEST_F(TraceLogTest, ConcurrentWritersNeverInterleave) {
    ITraceLog* log = Open();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([log, t] {
            for (int i = 0; i < 200; ++i) {
                log->TracePoint("c.cpp", i);
                log->LogMessage("thread %d message %d", t, i);
            }
        });
    for (auto& th : threads) th.join();
    std::string text = CloseAndRead();
    // Every line is one whole record of a known shape.
    int entries = 0;
    for (const std::string& l : Lines(text)) {
        if (l.empty())
            continue;
        bool trace = l.size() > 10 && l[0] == '<' && l[9] == '>' && l.find(" c.cpp (") == 10;
        bool entry = l.rfind(">>LOG MESSAGE<<   thread ", 0) == 0;
        bool other = l.rfind("Version:", 0) == 0 || l.rfind("LogFile:", 0) == 0 ||
                     l.rfind(">>SYSTEM TERMINATED", 0) == 0 || l.rfind(">>REPEAT<<", 0) == 0;
        EXPECT_TRUE(trace || entry || other) << l;
        entries += entry;
    }
    EXPECT_GT(entries, 0);
    EXPECT_LE(entries, 800);
}

TEST_F(TraceLogTest, ObjectAnswersItsInterfaceAndIgnoresUnknownOptions) {
    ITraceLog* log = Open();
    IUnknown* unk = nullptr;
    ASSERT_EQ(log->QueryInterface(IID_IUnknown, (void**)&unk), S_OK);
    ITraceLog* again = nullptr;
    ASSERT_EQ(unk->QueryInterface(__uuidof(ITraceLog), (void**)&again), S_OK);
    EXPECT_EQ(again, log);
    IStream* none = nullptr;
    EXPECT_EQ(log->QueryInterface(IID_IStream, (void**)&none), E_NOINTERFACE);
    again->Release();
    unk->Release();
    DWORD options = 7;
    EXPECT_EQ(log->GetOptions(&options), S_OK);
    EXPECT_EQ(options, 0u);
    EXPECT_EQ(log->FormatOnly(1, 2, "%s", "nothing"), 0);
    EXPECT_EQ(log->SetLastErrorCode(77), 77u);
    std::string text = CloseAndRead();
    EXPECT_EQ(text.find("nothing"), std::string::npos);
}

TEST_F(TraceLogTest, WithoutAFileNothingIsWritten) {
    // A folder that does not exist: the file cannot be opened.
    std::string bad = dir + "\\missing\\log";
    CreateTraceLog(bad.c_str());
    ITraceLog* log = GetTraceLog();
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->WriteEntry("x", 0), 1);
    EXPECT_EQ(log->LogAt("f.cpp", 1, "x"), 1);
    EXPECT_EQ(log->OpenLogFile(bad.c_str()), E_FAIL);
    ReleaseTraceLog();
    EXPECT_EQ(GetTraceLog(), nullptr);
}

}  // namespace
