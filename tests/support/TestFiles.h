// File helpers for tests: a private temporary folder, whole-file reads and
// writes, and capturing the trace log of a piece of code.
#pragma once

#include <windows.h>

#include <string>

// A new folder under GetTempPath, removed with its files on destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }
    // Path of a file inside the folder.
    std::string File(const char* name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool AppendFileBytes(const std::string& path, const std::string& bytes);

// Runs the trace log into a file of its own while alive. Active() is false
// when the build has no working trace log (tests then skip their log checks).
class LogCapture {
public:
    explicit LogCapture(const std::string& path);
    ~LogCapture();
    bool Active() const { return m_active; }
    // Closes the log and returns its text.
    std::string Finish();

private:
    std::string m_path;
    bool m_active;
    bool m_finished;
};
