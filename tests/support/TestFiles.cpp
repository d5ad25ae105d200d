#include "TestFiles.h"

#include "bTraceLog.h"

#include <stdio.h>

static void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            std::string full = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
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
        snprintf(name, sizeof(name), "%smvt_%lu_%lu_%ld", base, GetCurrentProcessId(), GetTickCount(),
                 InterlockedIncrement(&counter));
        if (CreateDirectoryA(name, nullptr)) {
            m_path = name;
            break;
        }
    }
}

TempFolder::~TempFolder() { RemoveTree(m_path); }

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) bytes.append(buf, n);
    fclose(f);
    return bytes;
}

static bool PutFile(const std::string& path, const std::string& bytes, const char* how) {
    FILE* f = fopen(path.c_str(), how);
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) { return PutFile(path, bytes, "wb"); }
bool AppendFileBytes(const std::string& path, const std::string& bytes) { return PutFile(path, bytes, "ab"); }

LogCapture::LogCapture(const std::string& path) : m_path(path), m_active(false), m_finished(false) {
    if (GetTraceLog()) return;  // someone else's log is running
    CreateTraceLog(path.c_str());
    m_active = GetTraceLog() != nullptr;
}

LogCapture::~LogCapture() { Finish(); }

std::string LogCapture::Finish() {
    if (!m_active || m_finished) return std::string();
    m_finished = true;
    char name[MAX_PATH] = "";
    GetTraceLog()->GetLogFileName(name, sizeof(name));
    ReleaseTraceLog();
    return ReadFileBytes(name[0] ? std::string(name) : m_path);
}
