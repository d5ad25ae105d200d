#include "ExprTestUtil.h"

#include <stdio.h>

#include "bTraceLog.h"

CTempFolder::CTempFolder() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    static LONG counter = 0;
    for (;;) {
        char name[MAX_PATH];
        snprintf(name, sizeof(name), "%sscript_%lu_%ld_%lu", temp, GetCurrentProcessId(),
                 (long)InterlockedIncrement(&counter), GetTickCount());
        if (CreateDirectoryA(name, nullptr)) {
            m_path = name;
            break;
        }
    }
}

CTempFolder::~CTempFolder() {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((m_path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((m_path + "\\" + fd.cFileName).c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(m_path.c_str());
}

CLogCapture::CLogCapture() : m_active(false), m_open(false) {
    CreateTraceLog(m_folder.File("capture.lg0").c_str());
    m_open = true;
    m_active = GetTraceLog() != nullptr;
}

CLogCapture::~CLogCapture() {
    if (m_open) ReleaseTraceLog();
}

std::string CLogCapture::Text() {
    if (m_open) {
        ReleaseTraceLog();
        m_open = false;
    }
    // Every file the log left in the folder, whatever it named them.
    std::string text;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(m_folder.File("*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return text;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        FILE* f = fopen(m_folder.File(fd.cFileName).c_str(), "rb");
        if (!f) continue;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) text.append(buffer, n);
        fclose(f);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return text;
}

std::wstring WideFromAnsi(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring out((size_t)n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), &out[0], n);
    return out;
}

std::string AnsiFromWide(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0, nullptr,
                                nullptr);
    std::string out((size_t)n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), (int)text.size(), &out[0], n, nullptr, nullptr);
    return out;
}
