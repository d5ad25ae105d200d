// File helpers for tests: a private temporary folder, whole-file reads and
// writes, and capturing the trace log of a piece of code.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>
#include <string>
#include <vector>

// A new folder under GetTempPath, removed with its files on destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }
    // Path of a file inside the folder.
    std::string File(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// "" when the file is missing.
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool AppendFileBytes(const std::string& path, const std::string& bytes);
// A file of the given size, sparse where the file system allows (zeros).
bool MakeFileOfSize(const std::string& path, ULONGLONG size);

// Runs the trace log into a file of its own while alive: by default in a
// private temporary folder. A test fails when the log cannot be started (for
// example because another log is still running).
class LogCapture {
public:
    LogCapture();
    explicit LogCapture(const std::string& path);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    bool Active() const { return m_active; }
    // Closes the log on the first call and returns everything it wrote.
    std::string Text();

private:
    void Start(const std::string& path);

    TempFolder m_folder;
    std::string m_path;
    std::string m_text;
    bool m_active = false;
    bool m_finished = false;
};

// Success when the text holds the message.
inline ::testing::AssertionResult Logged(const std::string& text, const std::string& message) {
    if (text.find(message) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << message << "\" not logged in:\n" << text;
}
// A null message asks for nothing.
inline ::testing::AssertionResult Logged(const std::string& text, const char* message) {
    return message ? Logged(text, std::string(message)) : ::testing::AssertionSuccess();
}

// Expects the captured log to hold the message.
#define EXPECT_LOGGED(log, message) EXPECT_TRUE(Logged((log).Text(), message))
