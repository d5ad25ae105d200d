// Utilities and error helpers of the player core.
#include <gtest/gtest.h>

#include <ocidl.h>
#include <string.h>

#include <string>
#include <vector>

#include "TestFiles.h"
#include "aPixBuf.h"
#include "aUtil.h"
#include "bComBase.h"
#include "bMsgBox.h"
#include "bTraceLog.h"

namespace {

// Records every box instead of showing it.
struct BoxLog {
    int calls = 0;
    std::string text, caption;
    UINT type = 0;
};
BoxLog g_boxes;
int RecordBox(HWND, const char* text, const char* caption, UINT type) {
    ++g_boxes.calls;
    g_boxes.text = text ? text : "";
    g_boxes.caption = caption ? caption : "";
    g_boxes.type = type;
    return IDNO;
}

class MessageBoxes : public testing::Test {
protected:
    void SetUp() override {
        g_boxes = BoxLog();
        previous = SetMessageBoxHandler(RecordBox);
    }
    void TearDown() override { SetMessageBoxHandler(previous); }
    PFNMESSAGEBOXHANDLER previous = nullptr;
};

TEST_F(MessageBoxes, EmptyTextAnswersOkWithoutABox) {
    EXPECT_EQ(ShowTextMessage(nullptr, "cap", "", MB_YESNO), IDOK);
    EXPECT_EQ(ShowTextMessage(nullptr, "cap", nullptr, MB_YESNO), IDOK);
    EXPECT_EQ(g_boxes.calls, 0);
    EXPECT_EQ(ShowTextMessage(nullptr, "cap", "question", MB_YESNO), IDNO);
    EXPECT_EQ(g_boxes.calls, 1);
    EXPECT_EQ(g_boxes.text, "question");
    EXPECT_EQ(g_boxes.caption, "cap");
    EXPECT_EQ(g_boxes.type, (UINT)MB_YESNO);
}

TEST_F(MessageBoxes, MissingStringTableEntryShowsNothing) {
    // The test program has no string table.
    EXPECT_EQ(ShowResourceMessage(nullptr, 100, 34500, MB_YESNO), IDOK);
    EXPECT_EQ(g_boxes.calls, 0);
    char buf[16] = "x";
    EXPECT_EQ(LoadResString(31495, buf, sizeof(buf)), 0);
    EXPECT_STREQ(buf, "");
}

TEST(ErrorTexts, OwnCodesSystemCodesAndUnknownCodes) {
    char buf[256];
    // No entry 14003 in this program's string table: the code as hex.
    EXPECT_EQ(FormatErrorCode(buf, (HRESULT)0x80045003, sizeof(buf)), 8);
    EXPECT_STREQ(buf, "80045003");
    EXPECT_EQ(FormatErrorCode(buf, (HRESULT)0x80045FFF, sizeof(buf)), 8);
    EXPECT_STREQ(buf, "80045FFF");
    // A system code: the system's text, without its line break.
    char sys[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_FILE_NOT_FOUND, LANG_USER_DEFAULT, sys, sizeof(sys), nullptr);
    std::string expect = sys;
    while (!expect.empty() && (expect.back() == '\n' || expect.back() == '\r')) expect.pop_back();
    ASSERT_FALSE(expect.empty());
    EXPECT_EQ(FormatErrorCode(buf, ERROR_FILE_NOT_FOUND, sizeof(buf)), (int)expect.size());
    EXPECT_EQ(std::string(buf), expect);
    // A code the system does not know.
    FormatErrorCode(buf, (HRESULT)0x8FFF1234, sizeof(buf));
    EXPECT_STREQ(buf, "8FFF1234");
    // Cut to the buffer.
    EXPECT_EQ(FormatErrorCode(buf, (HRESULT)0x80045003, 5), 4);
    EXPECT_STREQ(buf, "8004");
}

TEST(SplitMemberPath, Cases) {
    struct Case {
        const char* text;
        HRESULT hr;
        const char* prefix;
        const char* member;
        DWORD kind;
    } cases[] = {
        {"Ax.Caption", S_OK, "Ax", "Caption", MEMBER_PREFIX_AX},
        {"page1.Caption", S_OK, "page1", "Caption", MEMBER_PREFIX_OBJECT},
        {"Caption", S_OK, "", "Caption", 0xABCD},  // kind left alone
        {"ax.Caption", S_OK, "ax", "Caption", MEMBER_PREFIX_OBJECT},
        {"Axe.Caption", S_OK, "Axe", "Caption", MEMBER_PREFIX_OBJECT},
        {"a.b.c", S_OK, "a", "b.c", MEMBER_PREFIX_OBJECT},
        {".Caption", S_OK, "", "Caption", MEMBER_PREFIX_OBJECT},
        {"obj.", S_OK, "obj", "", MEMBER_PREFIX_OBJECT},
        {"", E_INVALIDARG, "", "", 0xABCD},
    };
    for (const Case& c : cases) {
        char prefix[32] = "", member[32] = "";
        DWORD kind = 0xABCD;
        EXPECT_EQ(SplitMemberPath(c.text, prefix, sizeof(prefix), member, sizeof(member), &kind),
                  c.hr)
            << c.text;
        EXPECT_STREQ(prefix, c.prefix) << c.text;
        EXPECT_STREQ(member, c.member) << c.text;
        EXPECT_EQ(kind, c.kind) << c.text;
    }
    EXPECT_EQ(SplitMemberPath(nullptr, nullptr, 0, nullptr, 0, nullptr), E_INVALIDARG);
    // Cut to the buffers; a buffer of size 0 is not written; no kind wanted.
    char prefix[4] = "", member[4] = "zz";
    EXPECT_EQ(SplitMemberPath("object.property", prefix, sizeof(prefix), member, 0, nullptr), S_OK);
    EXPECT_STREQ(prefix, "obj");
    EXPECT_STREQ(member, "zz");
    // The first point that is a character of its own: the GBK character
    // 0x81 0x2E... does not exist (trail bytes start at 0x40), so use 0x81 0x40.
    if (IsDBCSLeadByte(0x81)) {
        char big[32];
        EXPECT_EQ(SplitMemberPath("\x81\x40.x", big, sizeof(big), member, sizeof(member), nullptr),
                  S_OK);
        EXPECT_STREQ(big, "\x81\x40");
        // Never half a character when cut.
        char two[3];
        SplitMemberPath("\x81\x40\x81\x40.x", two, sizeof(two), member, sizeof(member), nullptr);
        EXPECT_STREQ(two, "\x81\x40");
        SplitMemberPath("a\x81\x40.x", two, sizeof(two), member, sizeof(member), nullptr);
        EXPECT_STREQ(two, "a");
    }
}

TEST(IsBlank, Cases) {
    EXPECT_TRUE(IsBlank(nullptr));
    EXPECT_TRUE(IsBlank(""));
    EXPECT_TRUE(IsBlank("   "));
    EXPECT_FALSE(IsBlank(" a "));
    EXPECT_FALSE(IsBlank("\t"));
}

// A menu of: "One" (id 11), separator, "Sub" pop-up (with "Inner" id 21).
HMENU MakeSource(HMENU* sub) {
    HMENU source = CreatePopupMenu();
    *sub = CreatePopupMenu();
    AppendMenuA(*sub, MF_STRING, 21, "Inner");
    AppendMenuA(source, MF_STRING, 11, "One");
    AppendMenuA(source, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(source, MF_POPUP | MF_STRING, (UINT_PTR)*sub, "Sub");
    return source;
}

std::vector<std::string> Describe(HMENU menu) {
    std::vector<std::string> out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[64] = "";
        GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
        UINT id = GetMenuItemID(menu, i);
        if (id == 0)
            out.push_back("-");
        else if (id == (UINT)-1)
            out.push_back(std::string(text) + ">");
        else
            out.push_back(std::string(text) + "#" + std::to_string(id));
    }
    return out;
}

TEST(Menus, AppendAndInsertItems) {
    struct Case {
        int position;
        std::vector<std::string> expect;
    } cases[] = {
        {-1, {"A#1", "B#2", "One#11", "-", "Sub>"}}, {0, {"One#11", "-", "Sub>", "A#1", "B#2"}},
        {1, {"A#1", "One#11", "-", "Sub>", "B#2"}},  {2, {"A#1", "B#2", "One#11", "-", "Sub>"}},
        {3, {"A#1", "B#2", "One#11", "-", "Sub>"}},  // beyond the count: appended
        {99, {"A#1", "B#2", "One#11", "-", "Sub>"}},
    };
    for (const Case& c : cases) {
        HMENU sub = nullptr;
        HMENU source = MakeSource(&sub);
        HMENU target = CreatePopupMenu();
        AppendMenuA(target, MF_STRING, 1, "A");
        AppendMenuA(target, MF_STRING, 2, "B");
        AppendMenuItems(target, source, c.position);
        EXPECT_EQ(Describe(target), c.expect) << "position " << c.position;
        // The pop-up refers to the same sub-menu.
        int at = 0;
        while (at < GetMenuItemCount(target) && GetMenuItemID(target, at) != (UINT)-1) ++at;
        EXPECT_EQ(GetSubMenuAt(target, at), sub);
        // Both menus hold the sub-menu: take it out of one before destroying.
        RemoveMenu(target, at, MF_BYPOSITION);
        DestroyMenu(target);
        DestroyMenu(source);
    }
}

TEST(Resources, VersionBlocksAndMissingResources) {
    char path[MAX_PATH];
    GetSystemDirectoryA(path, MAX_PATH);
    strcat(path, "\\kernel32.dll");
    VS_FIXEDFILEINFO info;
    memset(&info, 0, sizeof(info));
    ASSERT_EQ(GetFileVersion(path, &info), 1);
    EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
    static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "fixed version information is 52 bytes");
    TempFolder scratch;
    std::string plain = scratch.File("plain.txt");
    WriteFileBytes(plain, "no version block");
    EXPECT_EQ(GetFileVersion(plain.c_str(), &info), 0);
    EXPECT_EQ(GetFileVersion(scratch.File("none.dll").c_str(), &info), 0);

    DWORD size = 5;
    EXPECT_EQ(LoadRCDataResource(5804, &size), nullptr);
    EXPECT_EQ(size, 0u);
}

TEST(Paths, CanonicalPaths) {
    TempFolder scratch;
    std::string file = scratch.File("Mixed.Case.txt");
    WriteFileBytes(file, "x");
    std::string out;
    SetCanonicalPath(out, (scratch.Path() + "\\sub\\..\\Mixed.Case.txt").c_str());
    EXPECT_EQ(out, file);
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SetCurrentDirectoryA(scratch.Path().c_str());
    SetCanonicalPath(out, "Mixed.Case.txt");
    SetCurrentDirectoryA(cwd);
    EXPECT_EQ(out, file);
    SetCanonicalPath(out, "");
    EXPECT_EQ(out, "");
}

TEST(Fonts, SizesAndFaces) {
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    ASSERT_GT(dpi, 0);
    // Rounded to the nearest point and back; the sign of the height drops.
    EXPECT_EQ(FontHeightToPoints(-dpi / 6), 12);
    EXPECT_EQ(FontHeightToPoints(dpi / 6), 12);
    EXPECT_EQ(PointsToFontHeight(12), dpi / 6);
    EXPECT_EQ(PointsToFontHeight(-12), dpi / 6);
    EXPECT_EQ(FontHeightToPoints(0), 0);

    EXPECT_TRUE(IsTrueTypeFace("Tahoma"));
    EXPECT_FALSE(IsTrueTypeFace("No Such Face 1147"));
    LOGFONTA lf;
    memset(&lf, 'x', sizeof(lf));
    EXPECT_TRUE(MatchFontFace("tahoma", &lf));
    EXPECT_STREQ(lf.lfFaceName, "Tahoma");
    memset(&lf, 'x', sizeof(lf));
    EXPECT_FALSE(MatchFontFace("No Such Face 1147", &lf));
    EXPECT_STREQ(lf.lfFaceName, "");
}

TEST(Privileges, KnownAndUnknownNames) {
    LogCapture log;
    EXPECT_TRUE(EnablePrivilege("SeShutdownPrivilege", true));
    EXPECT_TRUE(EnablePrivilege("SeShutdownPrivilege", false));
    EXPECT_FALSE(EnablePrivilege("NoSuchPrivilege", true));
    std::string text = log.Text();
    EXPECT_NE(text.find(") : LookupPrivilegeValue:NoSuchPrivilege failed -- "), std::string::npos)
        << text;
}

// ---- Type information of objects: a type library made at run time.

const GUID kLibId = {0x11470001, 0x1108, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 1}};
const GUID kClassId = {0x11470002, 0x1108, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 2}};
const GUID kEventsId = {0x11470003, 0x1108, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 3}};
const GUID kOtherId = {0x11470004, 0x1108, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 4}};
const GUID kMainId = {0x11470005, 0x1108, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 5}};
const GUID kStockId = {0x11470006, 0x1108, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 6}};

ITypeInfo* AddInterface(ICreateTypeLib2* lib, const wchar_t* name, const GUID& id) {
    ICreateTypeInfo* create = nullptr;
    if (FAILED(lib->CreateTypeInfo(const_cast<LPOLESTR>(name), TKIND_INTERFACE, &create)))
        return nullptr;
    create->SetGuid(id);
    ITypeInfo* info = nullptr;
    create->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&info));
    create->Release();
    return info;
}

// Library "EventTest": interfaces IMain, _Events, _Other, EventsTableObjectStock
// and the class TestObject implementing IMain (default), _Other (source) and
// _Events (default source), when `withEvents`.
ITypeInfo* MakeClassInfo(bool withEvents) {
    ICreateTypeLib2* lib = nullptr;
    if (FAILED(CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, L"evt.tlb", &lib)))
        return nullptr;
    lib->SetGuid(kLibId);
    lib->SetName(const_cast<LPOLESTR>(L"EventTest"));
    ITypeInfo* mainInfo = AddInterface(lib, L"IMain", kMainId);
    ITypeInfo* events = AddInterface(lib, L"_Events", kEventsId);
    ITypeInfo* other = AddInterface(lib, L"_Other", kOtherId);
    ITypeInfo* stock = AddInterface(lib, L"EventsTableObjectStock", kStockId);
    ICreateTypeInfo* cls = nullptr;
    lib->CreateTypeInfo(const_cast<LPOLESTR>(L"TestObject"), TKIND_COCLASS, &cls);
    cls->SetGuid(kClassId);
    HREFTYPE ref = 0;
    cls->AddRefTypeInfo(mainInfo, &ref);
    cls->AddImplType(0, ref);
    cls->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT);
    cls->AddRefTypeInfo(other, &ref);
    cls->AddImplType(1, ref);
    cls->SetImplTypeFlags(1, IMPLTYPEFLAG_FSOURCE);
    if (withEvents) {
        cls->AddRefTypeInfo(events, &ref);
        cls->AddImplType(2, ref);
        cls->SetImplTypeFlags(2, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    }
    ITypeInfo* classInfo = nullptr;
    cls->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&classInfo));
    cls->Release();
    for (ITypeInfo* t : {mainInfo, events, other, stock})
        if (t)
            t->Release();
    lib->Release();
    return classInfo;
}

// An object that answers IProvideClassInfo with a given class.
class CInfoObject : public CComObjectRootBase, public IProvideClassInfo {
public:
    BEGIN_COM_MAP(CInfoObject)
    COM_INTERFACE_ENTRY_IID(IID_IProvideClassInfo, IProvideClassInfo)
    END_COM_MAP()
    ~CInfoObject() {
        if (m_info)
            m_info->Release();
    }
    STDMETHOD(GetClassInfo)(ITypeInfo** out) override {
        if (!m_info)
            return E_FAIL;
        m_info->AddRef();
        *out = m_info;
        return S_OK;
    }
    ITypeInfo* m_info = nullptr;
};

CComPtr<IUnknown> MakeObject(ITypeInfo* info) {
    CComObject<CInfoObject>* obj = nullptr;
    CComObject<CInfoObject>::CreateInstance(&obj);
    obj->m_info = info;
    return CComPtr<IUnknown>(obj->GetUnknown());
}

std::string NameOf(ITypeInfo* info) {
    BSTR name = nullptr;
    if (!info || FAILED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)))
        return "";
    char text[128] = "";
    WideCharToMultiByte(CP_ACP, 0, name, -1, text, sizeof(text), nullptr, nullptr);
    SysFreeString(name);
    return text;
}

TEST(TypeInfo, EventInterfaceIsTheDefaultSource) {
    ITypeInfo* classInfo = MakeClassInfo(true);
    ASSERT_NE(classInfo, nullptr);
    CComPtr<IUnknown> object = MakeObject(classInfo);
    ITypeInfo* out = nullptr;
    ASSERT_EQ(GetObjectTypeInfo(object, &out), S_OK);
    EXPECT_EQ(NameOf(out), "TestObject");
    out->Release();
    out = nullptr;
    ASSERT_EQ(GetObjectEventInfo(object, &out), S_OK);
    EXPECT_EQ(NameOf(out), "_Events");
    if (out)
        out->Release();

    // Without a default source interface: none, and no failure.
    CComPtr<IUnknown> plain = MakeObject(MakeClassInfo(false));
    out = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(GetObjectEventInfo(plain, &out), S_OK);
    EXPECT_EQ(out, nullptr);
}

TEST(TypeInfo, StockTablesByName) {
    LogCapture log;
    CComPtr<IUnknown> object = MakeObject(MakeClassInfo(true));
    ITypeInfo* out = nullptr;
    ASSERT_EQ(GetObjectStockEventInfo(object, &out), S_OK);
    EXPECT_EQ(NameOf(out), "EventsTableObjectStock");
    out->Release();
    out = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_TRUE(FAILED(GetPageStockEventInfo(object, &out)));
    EXPECT_EQ(out, nullptr);
    std::string text = log.Text();
    EXPECT_NE(text.find("GetStockEventInfo::FindName failed: EventsTablePageStock -- "),
              std::string::npos)
        << text;
}

TEST(TypeInfo, ObjectsWithoutClassInformation) {
    LogCapture log;
    ITypeInfo* out = nullptr;
    EXPECT_EQ(GetObjectTypeInfo(nullptr, &out), E_INVALIDARG);
    CComPtr<IUnknown> object = MakeObject(nullptr);
    EXPECT_EQ(GetObjectTypeInfo(object, nullptr), E_INVALIDARG);
    EXPECT_EQ(GetObjectTypeInfo(object, &out), E_FAIL);
    EXPECT_EQ(GetObjectEventInfo(object, &out), E_FAIL);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    EXPECT_EQ(GetObjectTypeInfo(stream, &out), E_NOINTERFACE);
    stream->Release();
    std::string text = log.Text();
    EXPECT_NE(text.find("GetObjectTypeInfo::GetClassInfo failed"), std::string::npos) << text;
    EXPECT_NE(text.find("Query IProvideClassInfo FAILED"), std::string::npos) << text;
}

TEST(TargetBuffers, GdiBuffersOfTheSize) {
    IPixelBuffer* buffer = CreateSiteBuffer(40, 30, nullptr);
    ASSERT_NE(buffer, nullptr);
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_WIDTH | BIM_HEIGHT;
    ASSERT_EQ(buffer->GetBufferInfo(&info), S_OK);
    EXPECT_EQ(info.nWidth, 40);
    EXPECT_EQ(info.nHeight, 30);
    EXPECT_EQ(buffer->HasSurface(), 0);
    buffer->Release();
    buffer = CreateRenderBuffer(8, 9, nullptr);
    ASSERT_NE(buffer, nullptr);
    buffer->Release();
}

}  // namespace
