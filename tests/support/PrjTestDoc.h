// A document for project-model tests: owns a project, names the runtime
// file and counts the message boxes shown while it lives.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aPackage.h"
#include "aProject.h"
#include "bMsgBox.h"

class TestDoc final : public IProjectDocument {
public:
    explicit TestDoc(const std::string& runtimePath = "") : m_path(runtimePath), m_project(this) {}
    CProject* GetProject() override { return &m_project; }
    const char* GetRuntimePath() override { return m_path.c_str(); }
    HWND GetViewWindow() override { return nullptr; }
    BOOL IsRuntime() override { return TRUE; }
    void SetRuntimePath(const std::string& path) { m_path = path; }
    CProject& Project() { return m_project; }

private:
    std::string m_path;
    CProject m_project;
};

// Records the message boxes shown while alive and answers OK.
class BoxRecorder {
public:
    BoxRecorder() {
        s_boxes.clear();
        m_old = SetMessageBoxHandler(Answer);
    }
    ~BoxRecorder() { SetMessageBoxHandler(m_old); }
    struct Box {
        std::string text, caption;
        UINT type;
    };
    const std::vector<Box>& Boxes() const { return s_boxes; }

private:
    static int Answer(HWND, const char* text, const char* caption, UINT type) {
        s_boxes.push_back({text ? text : "", caption ? caption : "", type});
        return IDOK;
    }
    PFNMESSAGEBOXHANDLER m_old;
    inline static std::vector<Box> s_boxes;
};

// Points GetTempPath at a folder while alive.
class ScopedTempPath {
public:
    explicit ScopedTempPath(const std::string& folder) {
        char old[MAX_PATH] = "";
        m_had = GetEnvironmentVariableA("TMP", old, sizeof(old)) > 0;
        m_old = old;
        SetEnvironmentVariableA("TMP", (folder + "\\").c_str());
    }
    ~ScopedTempPath() { SetEnvironmentVariableA("TMP", m_had ? m_old.c_str() : nullptr); }

private:
    bool m_had;
    std::string m_old;
};

// Opens a package and pre-loads it into the document.
inline HRESULT OpenAndPreLoad(const std::string& path, TestDoc* doc, CPackage** out = nullptr) {
    CPackage* package = nullptr;
    HRESULT hr = CPackage::CreateInstance(&package);
    if (FAILED(hr))
        return hr;
    hr = package->Open(path.c_str(), 1);
    if (SUCCEEDED(hr))
        hr = package->PreLoad(doc);
    if (out && SUCCEEDED(hr))
        *out = package;
    else
        package->Release();
    return hr;
}
