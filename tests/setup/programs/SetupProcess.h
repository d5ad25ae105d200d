// Tools of the setup tests: the built programs and fixtures, child
// processes judged by their exit codes, the registry records they write.
#pragma once

#include <windows.h>

#include <string>

// A Unix path of the build tree as Wine sees it (drive Z:).
std::string WinPath(const char* unixPath);
// A fixture built by the test tree ("fixture_v1.dll", "fakeprogram.exe").
std::string FixturePath(const char* name);

struct ProcessResult {
    bool started = false;
    bool finished = false;
    DWORD exitCode = 0;
};
// Runs the program with its arguments in folder; answers (one per question,
// "yes,no,...") go to the seam of every box the program shows; an empty
// list answers "ok" to all, so no box can wait for a user.
ProcessResult RunProgram(const std::string& program, const std::string& arguments,
                         const std::string& folder, const std::string& answers = "",
                         DWORD timeoutMs = 60000);

// The text of a file in the temporary folder ("" when missing).
std::string TempFileText(const char* name);
// Removes a file of the temporary folder.
void RemoveTempFile(const char* name);

// Copies a file; false on failure.
bool CopyTo(const std::string& from, const std::string& to);

// Removes a key with its subkeys.
void DeleteKeyTree(HKEY root, const char* path);
// A text value ("" when missing).
std::string RegText(HKEY root, const char* path, const char* name);
bool RegWrite(HKEY root, const char* path, const char* name, const std::string& text);
bool KeyExists(HKEY root, const char* path);

// Polls until the file exists and holds text (or the time is up).
std::string WaitForFileText(const std::string& path, DWORD timeoutMs);

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline bool IsExistingFileForTest(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}
