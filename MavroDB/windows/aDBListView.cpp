#include "aDBListView.h"

#include <string>

#include "aDBModule.h"
#include "aDBResource.h"

static const char kListProp[] = "CDBListView";

CDBListView::~CDBListView() {
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    if (m_images)
        ImageList_Destroy(m_images);
}

CDBListView* CDBListView::FromHandle(HWND hwnd) {
    return hwnd ? (CDBListView*)GetPropA(hwnd, kListProp) : nullptr;
}

void AddIconOrBlank(HIMAGELIST images, int iconId) {
    HICON icon = (HICON)LoadImageA(GetDBModule(), MAKEINTRESOURCEA(iconId), IMAGE_ICON, 16, 16,
                                   LR_DEFAULTCOLOR);
    if (icon && ImageList_AddIcon(images, icon) >= 0) {
        DestroyIcon(icon);
        return;
    }
    if (icon)
        DestroyIcon(icon);
    DB_LOG("Icon %d not loaded: a blank image keeps its place", iconId);
    // All-transparent: an empty colour bitmap under a mask of ones.
    HDC screen = GetDC(nullptr);
    HBITMAP colour = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    BYTE ones[32];
    memset(ones, 0xFF, sizeof(ones));
    HBITMAP mask = CreateBitmap(16, 16, 1, 1, ones);
    ImageList_Add(images, colour, mask);
    DeleteObject(colour);
    DeleteObject(mask);
}

bool CDBListView::Create(HWND parent, int width, int height) {
    m_hWnd = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT, 0,
                             0, width, height, parent, nullptr, GetDBModule(), nullptr);
    if (!m_hWnd)
        return false;
    SetPropA(m_hWnd, kListProp, (HANDLE)this);
    SetWindowSubclass(m_hWnd, SubclassProc, 1, (DWORD_PTR)this);
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = rc.right;
    column.pszText = const_cast<char*>("No Detail");
    SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
    m_images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 7, 8);
    for (int id : {240, 214, 224, 221, 256, 255, 212}) AddIconOrBlank(m_images, id);
    SendMessageA(m_hWnd, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)m_images);
    return true;
}

int CDBListView::ClearList() {
    if (!SendMessageA(m_hWnd, LVM_DELETEALLITEMS, 0, 0))
        return 0;
    HWND header = (HWND)SendMessageA(m_hWnd, LVM_GETHEADER, 0, 0);
    int count = header ? (int)SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) : -1;
    if (count < 0)
        return 0;
    for (int i = 0; i < count; ++i)
        if (!SendMessageA(m_hWnd, LVM_DELETECOLUMN, 0, 0))
            return 0;
    return 1;
}

int CDBListView::SetKind(int kind) {
    ClearList();
    // Shares of the client width: 4 full, 2 half, 1 quarter.
    struct Column {
        UINT text;
        int share;
    };
    static const Column noDetail[] = {{IDS_DB_COL_NO_DETAIL, 4}};
    static const Column times[] = {{IDS_DB_COL_CREATED, 2}, {IDS_DB_COL_UPDATED, 2}};
    static const Column fields[] = {{IDS_DB_COL_FIELD_NAME, 2}, {IDS_DB_COL_FIELD_TYPE, 2}};
    static const Column indexes[] = {{IDS_DB_COL_INDEX_NAME, 2}, {IDS_DB_COL_INDEX_TYPE, 2}};
    static const Column relation[] = {{IDS_DB_COL_MAIN_TABLE, 1},
                                      {IDS_DB_COL_RELATED_TABLE, 1},
                                      {IDS_DB_COL_CASCADE_UPDATE, 1},
                                      {IDS_DB_COL_CASCADE_DELETE, 1}};
    static const Column relationFields[] = {{IDS_DB_COL_FIELD_NAME, 4}};
    static const Column userGroups[] = {{IDS_DB_COL_USER_GROUPS, 4}};
    static const Column groupUsers[] = {{IDS_DB_COL_GROUP_USERS, 4}};
    const Column* set = nullptr;
    int count = 0;
    bool subItems = true;
    switch (kind) {
        case 1:
        case 7:
        case 13:
        case 17:
        case 21:
        case 22:
        case 24:
            set = noDetail, count = 1;
            break;
        case 2:
        case 8:
        case 18:
            set = times, count = 2;
            break;
        case 3:
        case 9:
        case 19:
            set = fields, count = 2;
            break;
        case 5:
        case 11:
            set = indexes, count = 2;
            break;
        case 14:
            set = relation, count = 4, subItems = false;
            break;
        case 15:
        case 16:
            set = relationFields, count = 1, subItems = false;
            break;
        case 23:
            set = userGroups, count = 1, subItems = false;
            break;
        case 25:
            set = groupUsers, count = 1, subItems = false;
            break;
    }
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    for (int i = 0; i < count; ++i) {
        std::string text = DBLoadString(set[i].text);
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | (subItems ? LVCF_SUBITEM : 0);
        column.fmt = LVCFMT_LEFT;
        column.cx = rc.right * set[i].share / 4;
        column.pszText = &text[0];
        column.iSubItem = i;
        SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
    }
    return 1;
}

void CDBListView::OnSize() {
    HWND header = (HWND)SendMessageA(m_hWnd, LVM_GETHEADER, 0, 0);
    int count = header ? (int)SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) : 0;
    int sum = 0;
    for (int i = 0; i < count; ++i) sum += (int)SendMessageA(m_hWnd, LVM_GETCOLUMNWIDTH, i, 0);
    if (sum <= 0)
        return;
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    for (int i = 0; i < count; ++i) {
        int width = (int)SendMessageA(m_hWnd, LVM_GETCOLUMNWIDTH, i, 0);
        int scaled = (int)((long long)rc.right * width / sum);
        if (scaled > 0)
            SendMessageA(m_hWnd, LVM_SETCOLUMNWIDTH, i, scaled);
    }
}

LRESULT CALLBACK CDBListView::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR data) {
    CDBListView* self = (CDBListView*)data;
    switch (msg) {
        case WM_SIZE: {
            LRESULT r = DefSubclassProc(hwnd, msg, wParam, lParam);
            self->OnSize();
            return r;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, SubclassProc, 1);
            RemovePropA(hwnd, kListProp);
            self->m_hWnd = nullptr;
            break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}
