// A unique folder under the temporary path for one test, removed with all
// its contents when the object goes.
#pragma once

#include <string>

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return m_path; }
    // Path() + "\\" + name.
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

    // Whole-file helpers for fixtures.
    static bool WriteFile(const std::string& path, const std::string& bytes);
    static std::string ReadFile(const std::string& path);  // "" when missing

private:
    std::string m_path;
};
