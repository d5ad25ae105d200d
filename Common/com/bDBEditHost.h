// What an editing host offers the database manager beyond the play site:
// reached by QueryInterface on the site handed to InitDataBase. The player's
// site does not answer it, so the player stores no password and shows no
// preview.
#pragma once

#include "bComBase.h"

struct IPlayerSite;

// The host's object that shows a media field's content in the browser's
// preview pane. Slots 4, 8, 10 and 11 belong to the host; the database
// never calls them. A negative result of any call is a failure.
// {9B1C5E20-6A43-4C8E-9F0B-5D2E7A41C3B8}
struct IMediaPreviewObject : public IUnknown {
    // The view window it draws into and the host site.
    STDMETHOD(Attach)(HWND view, IPlayerSite* host) = 0;
    STDMETHOD(Reserved4)() { return E_NOTIMPL; }
    // The kind of media (the media manager's kind mask).
    STDMETHOD(SetMediaKind)(int kindMask) = 0;
    // Embedded content: 32-bit length, the 260-byte path, the bytes. The
    // caller has checked that the length lies within the content.
    STDMETHOD(LoadFromData)(const void* content) = 0;
    // A media or file name.
    STDMETHOD(LoadFromName)(const char* name) = 0;
    STDMETHOD(Reserved8)() { return E_NOTIMPL; }
    STDMETHOD(Resize)(int width, int height) = 0;
    STDMETHOD(Reserved10)() { return E_NOTIMPL; }
    STDMETHOD(Reserved11)() { return E_NOTIMPL; }
    STDMETHOD(Close)() = 0;
};
DECLARE_IID(IMediaPreviewObject, 0x9B1C5E20, 0x6A43, 0x4C8E, 0x9F, 0x0B, 0x5D, 0x2E, 0x7A, 0x41,
            0xC3, 0xB8);

// {5F46E7EC-D7E4-4D55-AD85-2739EBB43172}
struct IDBEditHost : public IUnknown {
    // Keeps the database's new password in the host's project (ANSI text).
    STDMETHOD(StoreDatabasePassword)(const char* text) = 0;
    // A media preview object for the browser's preview pane; the caller
    // owns the reference. Success without an object means none is offered.
    STDMETHOD(CreateMediaPreview)(IMediaPreviewObject** out) = 0;
};
DECLARE_IID(IDBEditHost, 0x5F46E7EC, 0xD7E4, 0x4D55, 0xAD, 0x85, 0x27, 0x39, 0xEB, 0xB4, 0x31,
            0x72);
