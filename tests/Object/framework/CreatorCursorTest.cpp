#include <gtest/gtest.h>

#include <string>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "TestFiles.h"
#include "aCursor.h"

namespace {

using CreatorTest = ObjectFixture;

TEST_F(CreatorTest, UnknownTypeIdAndOccupiedOut) {
    LogCapture log;
    CComPtr<IUnknown> out;
    EXPECT_EQ(
        creator.CreateObject(0x12345678, &creation, IID_IUnknown, reinterpret_cast<void**>(&out)),
        E_FAIL);
    EXPECT_TRUE(Logged(log.Text(), "CreateObject: objID not found: 12345678"));
    IUnknown* held = reinterpret_cast<IUnknown*>(0x10);
    EXPECT_EQ(
        creator.CreateObject(kSolidType, &creation, IID_IUnknown, reinterpret_cast<void**>(&held)),
        E_FAIL);
    EXPECT_EQ(held, reinterpret_cast<IUnknown*>(0x10));
}

TEST_F(CreatorTest, StoredTableKeepsItsTypeIdAndSkipsTheRegistryDuplicate) {
    // POCT: n = 2; {type 0x00AA0001, solid class, value 9}; {type 5, unknown class, 0}
    RecordBytes poct;
    poct.U32(2).U32(0x00AA0001);
    const BYTE* g = reinterpret_cast<const BYTE*>(&CLSID_SolidObject);
    poct.Bytes(std::vector<uint8_t>(g, g + 16)).U32(9);
    poct.U32(5).Zeros(16).U32(0);
    ObjectCreator stored;
    LogCapture log;
    CComPtr<ITeskStream> s = MemStreamOf(poct.bytes);
    stored.Init(&registry, s);
    std::string text = log.Text();
    EXPECT_TRUE(Logged(text, "Object does not exist on this environment!"));
    EXPECT_TRUE(Logged(text, "InitPOCT: duplicate CLSID for different objType(7F000001)"));
    ASSERT_FALSE(stored.Objects().empty());
    EXPECT_EQ(stored.Objects()[0].dwId, 0x00AA0001u);
    EXPECT_EQ(stored.Objects()[0].dwValue, 9u);
    for (const auto& e : stored.Objects()) EXPECT_NE(e.dwId, kSolidType);
    // A count past the stream is refused.
    RecordBytes bad;
    bad.U32(1000).Zeros(24);
    CComPtr<ITeskStream> t = MemStreamOf(bad.bytes);
    ObjectCreator refused;
    EXPECT_EQ(refused.Init(&registry, t), E_FAIL);
}

TEST(CreatorModuleTest, ModuleLoadsOnceAndGoesWithItsRecord) {
    std::string path = BesideProgram("testobjmodule.dll");
    ASSERT_EQ(GetModuleHandleA("testobjmodule.dll"), nullptr);
    {
        CExtensionManager registry;
        registry.DefModulePath(MODULE_OBJECT, CLSID_SolidObject, IID_IUnknown, path.c_str(),
                               0x7F000002);
        ObjectCreator creator;
        creator.Init(&registry, nullptr);
        TestEventProcFactory procs;  // an object is made only with its procedure
        creator.SetEventProcFactory(&procs);
        TestPlayerSite site;
        site.creator = &creator;
        TestObjectSite objectSite(&site);
        ObjectRecord record = {};
        ObjectCreationRecord creation = {&record, &objectSite};
        for (int i = 0; i < 2; ++i) {
            CComPtr<IObjectBase> base;
            ASSERT_EQ(creator.CreateObject(0x7F000002, &creation, __uuidof(IObjectBase),
                                           reinterpret_cast<void**>(&base)),
                      S_OK);
            DWORD id = 0;
            EXPECT_EQ(base->ObjID(&id), S_OK);
            EXPECT_EQ(id, 0x7F000002u);
        }
        HMODULE loaded = GetModuleHandleA("testobjmodule.dll");
        ASSERT_NE(loaded, nullptr);
        // Loaded once: one reference, which the record frees.
        ModuleSearch search = {};
        search.clsid = CLSID_SolidObject;
        ModuleEntry* e = registry.FindFirst(MODULE_OBJECT, MODULE_MATCH_CLSID, &search);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->pCreator->dwFirst, (DWORD)MODULE_KIND_LOADED);
        EXPECT_EQ(e->pCreator->dwArgument, reinterpret_cast<DWORD_PTR>(loaded));
    }
    EXPECT_EQ(GetModuleHandleA("testobjmodule.dll"), nullptr);
}

TEST(CreatorModuleTest, ModuleWithoutClassObjectExportFails) {
    std::string path = BesideProgram("..\\MavroRT\\mavrolib.dll");
    CExtensionManager registry;
    registry.DefModulePath(MODULE_PLUGIN, CLSID_SolidObject, IID_IUnknown, path.c_str(), 0);
    registry.DefModulePath(MODULE_PLUGIN, IID_IUnknown, IID_IUnknown, "no-such-module.dll", 0);
    ObjectCreator creator;
    creator.Init(&registry, nullptr);
    LogCapture log;
    CComPtr<IUnknown> out;
    EXPECT_EQ(creator.CreatePlugin(CLSID_SolidObject, IID_IUnknown, reinterpret_cast<void**>(&out)),
              E_FAIL);
    EXPECT_TRUE(Logged(log.Text(), "no DllGetClassObject"));
    EXPECT_EQ(
        creator.CreateModuleInstance(IID_IUnknown, IID_IUnknown, reinterpret_cast<void**>(&out)),
        E_FAIL);
    EXPECT_EQ(out, nullptr);
    // The event procedure waits for the player's event sets.
    IDispatch* proc = nullptr;
    EXPECT_EQ(creator.CreateEventProc(0, nullptr, &proc), E_NOTIMPL);
}

TEST(CreatorModuleTest, CodecModulesAreThePluginsOfTheCodecInterface) {
    CExtensionManager registry;
    const CLSID codec = {0x1234ABCD, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}};
    registry.DefModule(MODULE_PLUGIN, codec, __uuidof(PictureCodec), 0, 0, 0, 0, CreateSolidObject,
                       0, 0);
    ObjectCreator creator;
    creator.Init(&registry, nullptr);
    ICodecModuleCreator* codecs = &creator;
    ASSERT_EQ(codecs->GetCodecModuleCount(), 1);
    CLSID found = {};
    EXPECT_TRUE(codecs->GetCodecModuleClassId(0, &found));
    EXPECT_TRUE(IsEqualCLSID(found, codec));
    EXPECT_FALSE(codecs->GetCodecModuleClassId(1, &found));
    // The plug-in is matched by interface and class identifier.
    CComPtr<IObjectBase> base;
    EXPECT_EQ(creator.CreatePlugin(codec, __uuidof(PictureCodec), reinterpret_cast<void**>(&base)),
              E_NOINTERFACE);
    EXPECT_EQ(creator.CreatePlugin(codec, __uuidof(IObjectBase), reinterpret_cast<void**>(&base)),
              E_FAIL);
}

// ---- cursors ----

class CursorTest : public ::testing::Test {
protected:
    void SetUp() override {
        library = LoadLibraryA(BesideProgram("..\\MavroRT\\mavrolib.dll").c_str());
        ASSERT_NE(library, nullptr);
        SetCursorLibrary(library);
        ASSERT_EQ(CreateCursorAbility(nullptr, &cursor), S_OK);
    }
    void TearDown() override {
        if (cursor)
            cursor->Release();
        SetCursorLibrary(nullptr);
        if (library)
            FreeLibrary(library);
    }
    HMODULE library = nullptr;
    ICursorAbility* cursor = nullptr;
};

TEST_F(CursorTest, TextFormsAndLibraryResource) {
    char text[64];
    ASSERT_EQ(cursor->FromText("1,5"), S_OK);
    LONG kind = 0, number = 0;
    cursor->GetKind(&kind);
    cursor->GetNumber(&number, 0);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(number, 5);
    ASSERT_EQ(cursor->LoadCursorHandle(), S_OK);
    HCURSOR handle = nullptr;
    cursor->GetHandle(&handle);
    EXPECT_NE(handle, nullptr);
    EXPECT_EQ(handle, LoadCursorA(library, MAKEINTRESOURCEA(6)));
    EXPECT_NE(handle, LoadCursorA(library, MAKEINTRESOURCEA(5)));
    cursor->ToText(text, sizeof(text));
    EXPECT_STREQ(text, "1,5");

    struct {
        const char* in;
        const char* out;
    } rows[] = {{"3,a.cur", "3,a.cur"}, {"7,1", "0"}, {"nothing", "0"}, {"2,4", "2,4"}};
    for (auto& row : rows) {
        cursor->FromText(row.in);
        cursor->ToText(text, sizeof(text));
        EXPECT_STREQ(text, row.out) << row.in;
    }
    EXPECT_EQ(cursor->LoadCursorHandle(), E_NOTIMPL);
}

TEST_F(CursorTest, FileTextsCutWithoutSplittingCharacters) {
    char out[40];
    std::string ascii(40, 'a');
    EXPECT_EQ(CutMultibyteText(ascii.c_str(), 31, out), 31u);
    // Under code page 936 a lead byte 0xB0 pairs with the next: the 31st
    // byte would split a pair and is left out. Other code pages cut at 31.
    std::string mixed = std::string(30, 'b') + "\xB0\xA1" + "c";
    size_t kept = CutMultibyteText(mixed.c_str(), 31, out);
    EXPECT_EQ(kept, IsDBCSLeadByte(0xB0) ? 30u : 31u);
    cursor->SetFile(ascii.c_str());
    char text[64];
    cursor->GetText(text, sizeof(text));
    EXPECT_EQ(strlen(text), 31u);
}

TEST_F(CursorTest, RestoreBeforeApplyDoesNothing) {
    HCURSOR before = GetCursor();
    cursor->FromText("1,2");
    EXPECT_EQ(cursor->Restore(), S_OK);
    EXPECT_EQ(GetCursor(), before);
    EXPECT_EQ(cursor->IsApplied(), 1);
}

TEST_F(CursorTest, RecordsRoundTrip) {
    cursor->FromText("3,pointer.cur");
    CComPtr<ITeskStream> s = NewMemStream();
    cursor->Save(s);
    s->SetMode(0);
    s->Seek(0, TESK_SEEK_SET);
    ICursorAbility* other = nullptr;
    CreateCursorAbility(nullptr, &other);
    EXPECT_EQ(other->Load(s), S_OK);
    char text[64];
    other->ToText(text, sizeof(text));
    EXPECT_STREQ(text, "3,pointer.cur");
    other->Release();
    // Truncated records fail.
    RecordBytes r;
    r.U32(3).U32(100).Wide(L"ab");
    CComPtr<ITeskStream> t = MemStreamOf(r.bytes);
    EXPECT_EQ(cursor->Load(t), E_FAIL);
}

}  // namespace

namespace {

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}

TEST_F(CursorTest, ApplySetsTheViewClassCursorAndRestoreTheArrow) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MavroCursorTestView";
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    RegisterClassA(&wc);
    HWND view = CreateWindowA("MavroCursorTestView", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
    ASSERT_NE(view, nullptr);
    TestPlayerSite site;
    site.view = view;
    SetCursorSite(cursor, &site);
    cursor->FromText("1,3");
    ASSERT_EQ(cursor->Apply(), S_OK);
    EXPECT_EQ(cursor->IsApplied(), 0);
    HCURSOR library4 = LoadCursorA(library, MAKEINTRESOURCEA(4));
    EXPECT_EQ((HCURSOR)GetClassLongPtrA(view, GCLP_HCURSOR), library4);
    EXPECT_EQ(cursor->Restore(), S_OK);
    EXPECT_EQ(cursor->IsApplied(), 1);
    EXPECT_NE((HCURSOR)GetClassLongPtrA(view, GCLP_HCURSOR), library4);
    // Kind 2 has no loader: it never shows.
    cursor->FromText("2,1");
    EXPECT_EQ(cursor->Apply(), E_NOTIMPL);
    DestroyWindow(view);
    UnregisterClassA("MavroCursorTestView", wc.hInstance);
}

}  // namespace

namespace {

using CollectTest = ObjectFixture;

TEST_F(CollectTest, CursorFilesAreReportedWithTheirCodes) {
    auto* obj = Make();
    CComObject<FileList>* list = nullptr;
    CComObject<FileList>::CreateInstance(&list);
    CComPtr<IFileCollector> keep(list);
    struct {
        const char* cursor;
        const char* reported;
    } rows[] = {{"3,a.cur", "64:a.cur"}, {"1,5", "2000:5"}, {"0", nullptr}, {"2,4", nullptr}};
    for (auto& row : rows) {
        list->files.clear();
        obj->Cursor()->FromText(row.cursor);
        EXPECT_EQ(static_cast<IObjectBase*>(obj)->CollectFiles(list), S_OK);
        if (row.reported) {
            ASSERT_EQ(list->files.size(), 1u) << row.cursor;
            EXPECT_EQ(list->files[0], row.reported);
        } else {
            EXPECT_TRUE(list->files.empty()) << row.cursor;
        }
    }
}

}  // namespace
