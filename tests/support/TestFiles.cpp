#include "TestFiles.h"

#include "bTraceLog.h"

#include <winioctl.h>

#include <stdio.h>

static void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);  // read-only ones too
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

TempFolder::TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static LONG counter = 0;
    for (;;) {
        char name[MAX_PATH];
        snprintf(name, sizeof(name), "%smvt_%lu_%lu_%ld", base, GetCurrentProcessId(),
                 GetTickCount(), InterlockedIncrement(&counter));
        if (CreateDirectoryA(name, nullptr)) {
            m_path = name;
            break;
        }
    }
}

TempFolder::~TempFolder() {
    RemoveTree(m_path);
}

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) bytes.append(buf, n);
    fclose(f);
    return bytes;
}

static bool PutFile(const std::string& path, const void* bytes, size_t size, const char* how) {
    FILE* f = fopen(path.c_str(), how);
    if (!f)
        return false;
    bool ok = size == 0 || fwrite(bytes, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    return PutFile(path, bytes.data(), bytes.size(), "wb");
}
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    return PutFile(path, bytes.data(), bytes.size(), "wb");
}
bool AppendFileBytes(const std::string& path, const std::string& bytes) {
    return PutFile(path, bytes.data(), bytes.size(), "ab");
}

bool MakeFileOfSize(const std::string& path, ULONGLONG size) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD ignored = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)size;
    bool ok = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    return CloseHandle(h) && ok;
}

LogCapture::LogCapture() {
    Start(m_folder.File("trace.log"));
}

LogCapture::LogCapture(const std::string& path) {
    Start(path);
}

void LogCapture::Start(const std::string& path) {
    m_path = path;
    if (GetTraceLog()) {
        ADD_FAILURE() << "a trace log is already running; cannot capture into " << path;
        return;
    }
    CreateTraceLog(path.c_str());
    m_active = GetTraceLog() != nullptr;
    if (!m_active)
        ADD_FAILURE() << "no trace log could be started at " << path;
}

LogCapture::~LogCapture() {
    Text();
}

std::string LogCapture::Text() {
    if (!m_active || m_finished)
        return m_text;
    m_finished = true;
    char name[MAX_PATH] = "";
    GetTraceLog()->GetLogFileName(name, sizeof(name));
    ReleaseTraceLog();
    m_text = ReadFileBytes(name[0] ? std::string(name) : m_path);
    return m_text;
}
