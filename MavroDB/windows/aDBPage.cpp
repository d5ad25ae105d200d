#include "aDBPage.h"

#include <vector>

#include "aBaseCore.h"
#include "aDBModule.h"
#include "aDBResource.h"
#include "bByteReader.h"

// Resource type of a toolbar: the button size and the command ids.
#define RT_DB_TOOLBAR MAKEINTRESOURCEA(241)

CDBPage::CDBPage(HWND toolbar)
    : CPropertyPageImpl(GetDBModule(), IDD_DB_PAGE), m_toolbar(toolbar) {}

CDBPage::~CDBPage() {
    if (CDBCore* core = GetDBCore())
        if (core->GetPage() == this)
            core->SetPage(nullptr);
}

bool CDBPage::IsPaneFocused() const {
    HWND focus = GetFocus();
    return focus && (focus == m_tree.m_hWnd || focus == m_list.m_hWnd);
}

BOOL CDBPage::OnInitDialog() {
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    if (!m_splitter.Create(m_hWnd, rc, 0xE900))
        return FALSE;
    int half = rc.right / 2;
    // The list first: the tree's filling selects nothing, but the tree
    // drives the list from its first selection on.
    if (!m_list.Create(m_splitter.m_hWnd, half, rc.bottom) ||
        !m_tree.Create(m_splitter.m_hWnd, half, rc.bottom)) {
        DB_LOG("Database page: views not created");
        return FALSE;
    }
    m_splitter.SetPane(0, m_tree.m_hWnd);
    m_splitter.SetPane(1, m_list.m_hWnd);
    m_tree.m_page = this;
    m_tree.m_list = &m_list;
    m_list.m_page = this;
    m_list.m_tree = &m_tree;
    m_splitter.SetColumnInfo(0, half, 10);
    m_splitter.SetColumnInfo(1, rc.right - half, 10);
    m_splitter.RecalcLayout();
    return TRUE;
}

bool CDBPage::OnSetActive() {
    if (m_toolbar) {
        LoadDBToolBar(m_toolbar);
        // The buttons' commands and tooltips come to the page.
        SendMessageA(m_toolbar, TB_SETPARENT, (WPARAM)m_hWnd, 0);
        SendMessageA(m_toolbar, TB_ENABLEBUTTON, ID_DB_CHANGE_PASSWORD,
                     MAKELONG(m_tree.IsCommandEnabled(ID_DB_CHANGE_PASSWORD), 0));
    }
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    int third = rc.right / 3;
    m_splitter.SetColumnInfo(0, third > 10 ? third : 10, 10);
    m_splitter.SetColumnInfo(1, rc.right - third > 10 ? rc.right - third : 10, 10);
    m_splitter.RecalcLayout();
    return true;
}

// The toolbar's tooltips: each button's text is the string of its id.
static std::string ToolTipText(UINT_PTR id) {
    if (id == ID_DB_IMPORT_DATABASE || id == ID_DB_CHANGE_PASSWORD ||
        (id >= ID_DB_NEW_TABLE_BUTTON && id <= ID_DB_NEW_RELATION_BUTTON))
        return DBLoadString((UINT)id);
    return std::string();
}

LRESULT CDBPage::OnNotify(NMHDR* header) {
    if (header->code == TTN_GETDISPINFOA) {
        NMTTDISPINFOA* info = (NMTTDISPINFOA*)header;
        UINT_PTR id = header->idFrom;
        if (info->uFlags & TTF_IDISHWND)
            id = (UINT_PTR)GetDlgCtrlID((HWND)id);
        lstrcpynA(info->szText, ToolTipText(id).c_str(), sizeof(info->szText));
        info->lpszText = info->szText;
        return 1;
    }
    if (header->code == TTN_GETDISPINFOW) {
        NMTTDISPINFOW* info = (NMTTDISPINFOW*)header;
        UINT_PTR id = header->idFrom;
        if (info->uFlags & TTF_IDISHWND)
            id = (UINT_PTR)GetDlgCtrlID((HWND)id);
        info->szText[0] = 0;
        MultiByteToWideChar(CP_ACP, 0, ToolTipText(id).c_str(), -1, info->szText,
                            sizeof(info->szText) / sizeof(info->szText[0]));
        info->lpszText = info->szText;
        return 1;
    }
    return 0;
}

void CDBPage::OnCommand(int id, int) {
    // Without the tree the command is consumed.
    if (m_tree.m_hWnd)
        m_tree.OnCommand(id);
}

bool CDBPage::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR* result) {
    if (msg == WM_SIZE && m_splitter.m_hWnd) {
        MoveWindow(m_splitter.m_hWnd, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        *result = 0;
        return true;
    }
    return false;
}

bool LoadDBToolBar(HWND toolbar, int toolbarId, int bitmapId) {
    HMODULE module = GetDBModule();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(toolbarId), RT_DB_TOOLBAR);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    // As windres writes it: image width, image height, button count, then
    // one command id per button (0 a separator); all 32-bit.
    CByteReader r(loaded ? LockResource(loaded) : nullptr,
                  found ? SizeofResource(module, found) : 0);
    int width = (int)r.U32LE(), height = (int)r.U32LE(), count = (int)r.U32LE();
    std::vector<int> ids;
    for (int i = 0; i < count && r.Ok(); ++i) ids.push_back((int)r.U32LE());
    if (!r.Ok() || width <= 0 || height <= 0 || width > 64 || height > 64) {
        DB_LOG("Toolbar %d not loaded", toolbarId);
        return false;
    }
    while (SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0) > 0)
        SendMessageA(toolbar, TB_DELETEBUTTON, 0, 0);
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(width, height));
    HIMAGELIST old = (HIMAGELIST)SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0);
    HIMAGELIST images = ImageList_Create(width, height, ILC_COLOR8 | ILC_MASK, 6, 1);
    HBITMAP bitmap = (HBITMAP)LoadImageA(module, MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0,
                                         LR_CREATEDIBSECTION);
    if (bitmap) {
        ImageList_AddMasked(images, bitmap, RGB(0xC0, 0xC0, 0xC0));
        DeleteObject(bitmap);
    }
    SendMessageA(toolbar, TB_SETIMAGELIST, 0, (LPARAM)images);
    if (old)
        ImageList_Destroy(old);
    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (int id : ids) {
        TBBUTTON b = {};
        if (id == 0) {
            b.fsStyle = BTNS_SEP;
        } else {
            b.iBitmap = image++;
            b.idCommand = id;
            b.fsState = TBSTATE_ENABLED;
            b.fsStyle = BTNS_BUTTON;
        }
        buttons.push_back(b);
    }
    SendMessageA(toolbar, TB_ADDBUTTONSA, buttons.size(), (LPARAM)buttons.data());
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    return true;
}
