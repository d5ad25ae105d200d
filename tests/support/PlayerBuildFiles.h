// Files the player's build leaves in its own folder, found from a test
// program that runs from the tests folder beside it.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

inline std::string PlayerBuildFile(const char* file) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path);
    return p.substr(0, p.find_last_of("\\/") + 1) + "..\\MavroRT\\" + file;
}

// The player's type library (counted), or null when it cannot be loaded.
inline ITypeLib* PlayerTypeLib() {
    std::string p = PlayerBuildFile("MavroRT.tlb");
    std::wstring w(p.begin(), p.end());
    ITypeLib* lib = nullptr;
    LoadTypeLibEx(w.c_str(), REGKIND_NONE, &lib);
    return lib;
}
