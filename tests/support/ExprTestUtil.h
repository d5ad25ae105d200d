// Test helpers of the script-value tests: a private temporary folder and a
// capture of what the trace log writes while it lives.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

// A fresh folder under the temporary path, removed with its files.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    const std::string& Path() const { return m_path; }
    std::string File(const char* name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// Opens a trace log in a temporary folder; Text() closes it and returns
// everything it wrote. Active() is false while the program has no trace log
// (tests of log lines then skip).
class CLogCapture {
public:
    CLogCapture();
    ~CLogCapture();
    bool Active() const { return m_active; }
    std::string Text();

private:
    CTempFolder m_folder;
    bool m_active;
    bool m_open;
};

// Wide text of a multibyte text in the ANSI code page, and back.
std::wstring WideFromAnsi(const std::string& text);
std::string AnsiFromWide(const std::wstring& text);

// Success when the captured text holds the message, or when there is no
// trace log to capture from.
inline ::testing::AssertionResult Logged(const CLogCapture& log, const std::string& text,
                                         const char* message) {
    if (!log.Active() || !message || text.find(message) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << message << "\" not logged in:\n" << text;
}
