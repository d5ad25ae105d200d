// MenuObject: a row (horizontal) or column (vertical) of equally sized
// items, each a text cell and an optional icon cell. The item under the
// pointer is highlighted; releasing the button over an item fires
// OnMenuItemEvent with its id. An editing host may hand the menu its window
// messages to select, reorder and rename items.
#pragma once

#include <string>
#include <vector>

#include "aObjClass.h"

struct FillObject;
struct FontObject;
struct LineStyleObject;
struct IMediaFrame;

// Flag bits.
enum MenuFlags : LONG {
    MENUFLAG_PICFILL = 0x01,
    MENUFLAG_AUTOEXPAND = 0x02,
    MENUFLAG_SEPARATOR = 0x08,
    MENUFLAG_INVERT = 0x10
};
// Icon styles and the string of the first one's name.
enum { MENU_PICSTYLE_NONE = 0, MENU_PICSTYLE_LEFT = 1, MENU_PICSTYLE_RIGHT = 2 };
enum { MENU_PICSTYLE_NAMES = 27200 };
// The stock event of a chosen item.
enum { EVT_MENUITEM = 2002 };

struct MenuItem {
    MenuItem();
    ~MenuItem();
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;
    HRESULT Load(ITeskStream* stream);
    HRESULT Save(ITeskStream* stream) const;

    LONG flags;  // bit 0 enabled
    LONG id;
    std::string text, iconPath;
    RECT textCell, clippedText, iconCell, clippedIcon, insetIcon, area;
    FillObject* iconFill;
};

class MenuObject : public MenuObjectClass<MenuObject> {
public:
    MenuObject();
    ~MenuObject() override;

    // ---- IMenuDispObj ----
    STDMETHOD(get_ObjType)(LONG* out) override { return Get(out, m_vertical); }
    STDMETHOD(get_ObjPicStyle)(LONG* out) override { return Get(out, m_picStyle); }
    STDMETHOD(put_ObjPicStyle)(LONG v) override { return PutField(&m_picStyle, v); }
    STDMETHOD(get_ObjItemEnable)(INT index, LONG* out) override;
    STDMETHOD(put_ObjItemEnable)(INT index, LONG v) override;
    STDMETHOD(get_ObjPicFillStyle)(LONG* out) override { return GetFlag(MENUFLAG_PICFILL, out); }
    STDMETHOD(put_ObjPicFillStyle)(LONG v) override { return PutFlag(MENUFLAG_PICFILL, v); }
    STDMETHOD(get_ObjTextAutoExpand)(LONG* out) override {
        return GetFlag(MENUFLAG_AUTOEXPAND, out);
    }
    STDMETHOD(put_ObjTextAutoExpand)(LONG v) override;
    STDMETHOD(get_ObjHilightTxtColor)(LONG* out) override { return Get(out, (LONG)m_hotText); }
    STDMETHOD(put_ObjHilightTxtColor)(LONG v) override { return PutColor(&m_hotText, v); }
    STDMETHOD(get_ObjHilightBkgColor)(LONG* out) override { return Get(out, (LONG)m_hotBack); }
    STDMETHOD(put_ObjHilightBkgColor)(LONG v) override { return PutColor(&m_hotBack, v); }
    STDMETHOD(get_ObjSeparator)(LONG* out) override { return GetFlag(MENUFLAG_SEPARATOR, out); }
    STDMETHOD(put_ObjSeparator)(LONG v) override { return PutFlag(MENUFLAG_SEPARATOR, v); }
    STDMETHOD(get_ObjSeparatorColor)(LONG* out) override {
        return Get(out, (LONG)m_separatorColor);
    }
    STDMETHOD(put_ObjSeparatorColor)(LONG v) override;
    STDMETHOD(get_ObjTextAlign)(LONG* out) override { return Get(out, m_textAlign); }
    STDMETHOD(put_ObjTextAlign)(LONG v) override;
    STDMETHOD(get_ObjItemTextContent)(INT index, BSTR* out) override;
    STDMETHOD(put_ObjItemTextContent)(INT index, BSTR text) override;
    STDMETHOD(get_ObjItemTextColor)(LONG* out) override { return Get(out, (LONG)m_textColor); }
    STDMETHOD(put_ObjItemTextColor)(LONG v) override { return PutColor(&m_textColor, v); }
    STDMETHOD(get_ObjTextWidth)(LONG* out) override { return Get(out, m_textWidth); }
    STDMETHOD(put_ObjTextWidth)(LONG v) override { return PutField(&m_textWidth, v); }
    STDMETHOD(get_ObjPicWidth)(LONG* out) override { return Get(out, m_iconWidth); }
    STDMETHOD(put_ObjPicWidth)(LONG v) override { return PutField(&m_iconWidth, v); }
    STDMETHOD(get_ObjItemHeight)(LONG* out) override { return Get(out, m_itemHeight); }
    STDMETHOD(put_ObjItemHeight)(LONG v) override { return PutField(&m_itemHeight, v); }
    STDMETHOD(get_ObjTextAutoWrap)(LONG* out) override { return Get(out, m_autoWrap); }
    STDMETHOD(put_ObjTextAutoWrap)(LONG v) override;
    STDMETHOD(get_ObjUseDefault)(LONG* out) override { return GetFlag(MENUFLAG_INVERT, out); }
    STDMETHOD(put_ObjUseDefault)(LONG v) override { return PutFlag(MENUFLAG_INVERT, v); }

    // ---- IMenuDispObjEx ----
    STDMETHOD(GetItemID)(INT index, LONG* out) override;
    STDMETHOD(GetPicStyleName)(BSTR* out) override;
    STDMETHOD(GetBackgroundFill)(IUnknown** out) override;
    STDMETHOD(GetSeparatorLineStyle)(IUnknown** out) override;
    STDMETHOD(GetFont)(FontObject** out) override;
    STDMETHOD(GetDefaultItemCount)(LONG* out) override;
    STDMETHOD(SetDefaultItemCount)(LONG n) override;
    STDMETHOD(CreateSwatch)(LONG width, LONG height, IPixelBuffer** out) override;

    // ---- IWndMsgHandler (design time) ----
    STDMETHOD(BeginHook)(void* hookRecord) override;
    STDMETHOD(FocusLost)() override;
    STDMETHOD(HandleMessage)
    (HWND window, HDC dc, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // ---- object base, render and event parts ----
    STDMETHOD(Init)(ObjectCreationRecord* record) override;
    STDMETHOD(InvalidateBounds)(IPixelBuffer* target) override;
    STDMETHOD_(int, HitTestPoint)(LONG x, LONG y) override;
    STDMETHOD_(int, TestRegion)(HRGN region) override;
    STDMETHOD(CollectFiles)(IFileCollector* collector) override;
    STDMETHOD(BeforeExit)() override;
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;
    STDMETHOD(LoadExtension)(ITeskStream* stream) override;
    STDMETHOD(SaveExtension)(ITeskStream* stream) override;

    int ItemCount() const { return (int)m_items.size(); }
    const MenuItem* Item(int i) const { return i >= 0 && i < ItemCount() ? m_items[i] : nullptr; }
    // The menu area (absolute) and the item at a page point (-1: none).
    RECT MenuArea();
    // The menu area with the items laid out for it.
    RECT LaidOutArea();
    int ItemAt(LONG x, LONG y);
    LONG HotItem() const { return m_hot; }
    bool Active() const { return m_active; }
    const std::vector<int>& Selection() const { return m_selection; }
    HWND RenameWindow() const { return m_rename; }
    LONG Modified() const { return m_modified; }

protected:
    HRESULT LoadAttachedPart(ITeskStream* stream) override;

private:
    HRESULT GetFlag(LONG bit, LONG* out) { return Get(out, (m_flags & bit) ? -1 : 0); }
    HRESULT PutFlag(LONG bit, LONG v);
    HRESULT PutField(LONG* field, LONG v);
    HRESULT PutColor(COLORREF* field, LONG v) {
        return PutField(reinterpret_cast<LONG*>(field), v);
    }
    void Repaint() { this->UnionInvalid(); }
    LONG ItemWidth() const;
    void LayOutItems(const RECT& area);
    void RecomputeTextWidth();
    void DrawItem(HDC dc, IPixelBuffer* target, const RECT& area, const MenuItem& item,
                  COLORREF textColor);
    MenuItem* NewItem(int index);
    void ClearItems();
    void Pointer(DWORD id, LONG x, LONG y);
    void FireItem(LONG id);
    // Design time.
    void StartRename(int index);
    void EndRename();
    void MoveSelection(UINT key, bool withItems);

    bool m_vertical;
    std::vector<MenuItem*> m_items;
    std::vector<int> m_selection;
    LONG m_nextId;
    LONG m_textWidth, m_savedTextWidth, m_iconWidth, m_itemHeight;
    COLORREF m_textColor, m_hotText, m_hotBack, m_separatorColor;
    LONG m_picStyle, m_textAlign, m_autoWrap, m_flags;
    FontObject* m_font;
    FillObject* m_background;
    LineStyleObject* m_separatorStyle;
    LineStyleObject* m_borderStyle;
    IMediaFrame* m_frame;
    bool m_active;
    LONG m_hot;
    LONG m_lastX, m_lastY, m_hotUnderPointer;
    bool m_focus;
    LONG m_selectionMode;
    HWND m_rename;
    LONG m_modified;
};

HRESULT CreateMenuObject(IUnknown** out);
