// Small shared functions of the player core: message boxes from the string
// table, error texts, menus, version blocks, resources, member paths, event
// type information of objects, font sizes and faces, process privileges,
// the choice of pixel buffer for a target, canonical paths.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "bErrorText.h"    // FormatErrorCode
#include "bFileVersion.h"  // GetFileVersion

struct IPixelBuffer;
struct IPlayerSite;
struct II_IRender;

// Message boxes (through SysMessageBox) and error texts.

// Caption and text from the string table, each cut to 80 characters, then
// ShowTextMessage.
int ShowResourceMessage(HWND window, UINT captionId, UINT textId, UINT type);
// An empty (or null) text answers IDOK without a box; else the box's answer.
int ShowTextMessage(HWND window, const char* caption, const char* text, UINT type);

// Menus.

// Copies the items of `source` into `target` at `position` (item index
// added for each), or at the end when position is -1 or beyond the target's
// item count. Separators stay separators, commands keep text and id, pop-ups
// refer to the same sub-menu.
void AppendMenuItems(HMENU target, HMENU source, int position);
HMENU GetSubMenuAt(HMENU menu, int index);

// Files and resources.

// The program's RT_RCDATA resource `id`: its locked data and size, or null
// and 0.
const void* LoadRCDataResource(UINT id, DWORD* sizeOut);
// LoadStringA from the program; the length loaded.
int LoadResString(UINT id, char* buffer, int size);
// The full path of `path` (as given when that fails), upper-cased on a
// volume that does not preserve case, with the file name as the volume
// stores it on a volume without Unicode names.
void SetCanonicalPath(std::string& out, const char* path);

// Script support.

// Kinds of a member path's prefix.
enum { MEMBER_PREFIX_AX = 0x10000000, MEMBER_PREFIX_OBJECT = 0x20000000 };

// "prefix.member" split at the first point: the prefix and member are cut
// to their buffers (a buffer that is null or of size 0 is not written), and
// kindOut (when given) becomes MEMBER_PREFIX_AX for the prefix "Ax", else
// MEMBER_PREFIX_OBJECT. Without a point the whole text is the member and
// kindOut stays. E_INVALIDARG for a null or empty text, else S_OK.
HRESULT SplitMemberPath(const char* text, char* prefix, int prefixSize, char* member,
                        int memberSize, DWORD* kindOut);
// True for a null text or one of spaces only (the empty text included).
bool IsBlank(const char* text);

// Type information of objects.

// The class type information of an object (through IProvideClassInfo).
HRESULT GetObjectTypeInfo(IUnknown* object, ITypeInfo** out);
// The event interface: the implemented interface of the class that is both
// default and source; *out null (and S_OK) when there is none.
HRESULT GetObjectEventInfo(IUnknown* object, ITypeInfo** out);
// The type information named `tableName` in the type library of the
// object's class.
HRESULT GetStockEventInfo(IUnknown* object, const char* tableName, ITypeInfo** out);
HRESULT GetObjectStockEventInfo(IUnknown* object, ITypeInfo** out);  // "EventsTableObjectStock"
HRESULT GetPageStockEventInfo(IUnknown* object, ITypeInfo** out);    // "EventsTablePageStock"
HRESULT GetAppStockEventInfo(IUnknown* object, ITypeInfo** out);     // "EventsTableAppStock"

// Fonts, at the screen's resolution.

int FontHeightToPoints(int height);
int PointsToFontHeight(int points);
// True when a font of the family is TrueType.
bool IsTrueTypeFace(const char* face);
// The first font of the family into logFont (its face name cleared first);
// true when its face name equals `face` ignoring case.
bool MatchFontFace(const char* face, LOGFONTA* logFont);

// Privileges: enables or disables a privilege of the process token. True
// without doing anything off NT; false when the token cannot be opened or
// the privilege is unknown.
bool EnablePrivilege(const char* name, bool enable);

// Pixel buffers for a target: DirectDraw buffers on the site's DirectDraw
// record (its slot 24, a DXOwner) when the site uses DirectDraw (slot 34),
// GDI buffers otherwise; the render part's choice is not asked yet. Each
// returns a new buffer with one reference, or null.
IPixelBuffer* CreateSiteBuffer(int width, int height, IPlayerSite* site);
IPixelBuffer* CreateRenderBuffer(int width, int height, II_IRender* render);
IPixelBuffer* CreateBitmapForTarget(HGLOBAL dib, IPlayerSite* site);
