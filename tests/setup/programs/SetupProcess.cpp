#include "SetupProcess.h"

#include "TestFiles.h"

std::string WinPath(const char* unixPath) {
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

std::string FixturePath(const char* name) {
    return WinPath(SETUP_FIXTURE_DIR) + "\\" + name;
}

ProcessResult RunProgram(const std::string& program, const std::string& arguments,
                         const std::string& folder, const std::string& answers, DWORD timeoutMs) {
    ProcessResult result;
    std::string line = "\"" + program + "\"";
    if (!arguments.empty())
        line += " " + arguments;
    SetEnvironmentVariableA("MAVRO_AUTOANSWER", answers.empty() ? "ok" : answers.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::string writable = line;
    result.started =
        CreateProcessA(program.c_str(), &writable[0], nullptr, nullptr, FALSE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &process) != 0;
    SetEnvironmentVariableA("MAVRO_AUTOANSWER", nullptr);
    if (!result.started)
        return result;
    CloseHandle(process.hThread);
    result.finished = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!result.finished)
        TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    return result;
}

static std::string TempPathOf(const char* name) {
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + name;
}

std::string TempFileText(const char* name) {
    return ReadFileBytes(TempPathOf(name));
}

void RemoveTempFile(const char* name) {
    DeleteFileA(TempPathOf(name).c_str());
}

bool CopyTo(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

void DeleteKeyTree(HKEY root, const char* path) {
    RegDeleteTreeA(root, path);
    RegDeleteKeyA(root, path);
}

std::string RegText(HKEY root, const char* path, const char* name) {
    char buffer[1024] = "";
    DWORD size = sizeof(buffer) - 1;
    if (RegGetValueA(root, path, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return "";
    return buffer;
}

bool RegWrite(HKEY root, const char* path, const char* name, const std::string& text) {
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            (DWORD)text.size() + 1);
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const char* path) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string WaitForFileText(const std::string& path, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        std::string text = ReadFileBytes(path);
        if (!text.empty() || GetTickCount() - start > timeoutMs)
            return text;
        Sleep(50);
    }
}
