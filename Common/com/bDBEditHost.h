// What an editing host offers the database manager beyond the play site:
// reached by QueryInterface on the site handed to InitDataBase. The player's
// site does not answer it, so the player stores no password and shows no
// preview.
#pragma once

#include "bComBase.h"

// {5F46E7EC-D7E4-4D55-AD85-2739EBB43172}
struct IDBEditHost : public IUnknown {
    // Keeps the database's new password in the host's project (ANSI text).
    STDMETHOD(StoreDatabasePassword)(const char* text) = 0;
    // A media preview object for the browser's preview pane; the caller
    // owns the reference.
    STDMETHOD(CreateMediaPreview)(IUnknown** out) = 0;
};
DECLARE_IID(IDBEditHost, 0x5F46E7EC, 0xD7E4, 0x4D55, 0xAD, 0x85, 0x27, 0x39, 0xEB, 0xB4, 0x31,
            0x72);
