// The browser's preview pane: a memo's text in an editable text pane, or a
// media field's content through a media preview object the editing host
// supplies. The browser decides what to show; the view carries it out.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "bComBase.h"
#include "bDBEditHost.h"
#include "bWindow.h"

struct IPlayerSite;

// The preview's text pane: remembers whether its text was changed by the
// user since the owner last cleared the mark.
class PreviewTextEdit {
public:
    static const int kControlId = 1;

    bool Create(HWND parent);
    // Sets the text without marking it changed.
    bool SetText(const std::string& text);
    std::string GetText() const;
    // The edit's change notification, reflected to the pane.
    void OnChange() {
        if (!m_setting)
            m_changed = 1;
    }

    HWND m_hWnd = nullptr;
    int m_changed = 0;

private:
    bool m_setting = false;
};

struct PreviewRequest {
    enum { kClear = 0, kText = 1, kMedia = 2 };
    BYTE mode = kClear;
    const VARIANT* value = nullptr;
    std::string text;
    int kindMask = 0;
    int linkFlag = 0;  // 1: the value holds a media or file name
};

class CPreView : public CWindowImplBase {
public:
    CPreView() = default;
    ~CPreView() override;
    CPreView(const CPreView&) = delete;
    CPreView& operator=(const CPreView&) = delete;

    // A child window of the parent; the host is the site the database was
    // opened with (may be null: no media is shown then).
    HWND Create(HWND parent, UINT id, IPlayerSite* host);

    // 1 on success, 0 on failure (the pane then shows nothing as media).
    int ShowContent(const PreviewRequest& request);
    int ResetPreview();
    int SetText(const std::string& text);

    PreviewTextEdit* TextPane() const { return m_textPane; }
    IMediaPreviewObject* MediaObject() const { return m_media; }
    int m_textMode = 0;

    BEGIN_MSG_MAP(CPreView)
    MESSAGE_HANDLER(WM_SIZE, OnSize)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    MESSAGE_HANDLER(WM_PAINT, OnPaint)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

private:
    LRESULT OnSize(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled);
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);

    void HideTextPane();
    void DropMedia();
    bool ShowMedia(const PreviewRequest& request);

    PreviewTextEdit* m_textPane = nullptr;
    IMediaPreviewObject* m_media = nullptr;
    IPlayerSite* m_host = nullptr;
};

// The bytes of a one-dimensional byte-array value, held accessible while
// the object lives; data is null when the value holds no such array.
class ValueBytes {
public:
    explicit ValueBytes(const VARIANT* value);
    ~ValueBytes();
    ValueBytes(const ValueBytes&) = delete;
    ValueBytes& operator=(const ValueBytes&) = delete;

    const unsigned char* data = nullptr;
    size_t size = 0;

private:
    SAFEARRAY* m_array = nullptr;
};

// Whether embedded content (32-bit length, 260-byte path, the bytes) lies
// whole within an array of the given size, its path ended inside its field.
bool EmbeddedContentFits(const unsigned char* bytes, size_t size);
