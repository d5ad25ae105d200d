// Older name of TempFolder, kept for the tests not yet moved to TestFiles.h
// (use TempFolder, ReadFileBytes and WriteFileBytes in new tests).
#pragma once

#include "TestFiles.h"

class ScratchDir : public TempFolder {
public:
    std::string operator/(const std::string& name) const { return File(name); }
    static bool WriteFile(const std::string& path, const std::string& bytes) {
        return WriteFileBytes(path, bytes);
    }
    static std::string ReadFile(const std::string& path) { return ReadFileBytes(path); }
};
