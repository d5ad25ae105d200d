// What the package and the project model ask of the document that owns
// them. The player's document implements it.
#pragma once

#include <windows.h>

class CProject;

class IProjectDocument {
public:
    // The document's project (owned by the document).
    virtual CProject* GetProject() = 0;
    // Full path of the runtime file.
    virtual const char* GetRuntimePath() = 0;
    // Owner window of the project's message boxes; may be null.
    virtual HWND GetViewWindow() = 0;
    // The play site's runtime test (true in the player).
    virtual BOOL IsRuntime() = 0;

protected:
    ~IProjectDocument() {}
};
