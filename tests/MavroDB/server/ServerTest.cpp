#include <gtest/gtest.h>

#include "../core/DBTestSite.h"
#include "../core/StaffDatabase.h"
#include "TestFiles.h"
#include "aDBModule.h"
#include "bStrConv.h"

namespace {

// The built DLL beside the test program's folder.
std::string DllPath() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string p = self;
    p = p.substr(0, p.find_last_of('\\'));
    p = p.substr(0, p.find_last_of('\\'));
    return p + "\\MavroDB\\mavrodb.dll";
}

std::string ReadKey(const char* path, const char* name = nullptr) {
    char value[MAX_PATH] = {};
    LONG size = sizeof(value);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<missing>";
    DWORD type = 0, n = (DWORD)size;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, (BYTE*)value, &n);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::string(value) : "<no value>";
}

typedef HRESULT(STDAPICALLTYPE* Export)();

struct ComScope {
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
};

HRESULT CallByName(IDispatch* d, const wchar_t* name, VARIANT* args, UINT count, VARIANT* result) {
    DISPID id = 0;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    HRESULT hr = d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS p = {args, nullptr, count, 0};
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &p, result, nullptr,
                     nullptr);
}

}  // namespace

TEST(MavroDBServer, RegistersAndIsCreatedByClassIdentifier) {
    ComScope com;
    std::string dll = DllPath();
    HMODULE module = LoadLibraryA(dll.c_str());
    ASSERT_NE(nullptr, module) << dll;
    // Exports by ordinal.
    FARPROC p1 = GetProcAddress(module, MAKEINTRESOURCEA(1));
    FARPROC p3 = GetProcAddress(module, MAKEINTRESOURCEA(3));
    FARPROC p4 = GetProcAddress(module, MAKEINTRESOURCEA(4));
    Export canUnload = reinterpret_cast<Export>(reinterpret_cast<void*>(p1));
    Export reg = reinterpret_cast<Export>(reinterpret_cast<void*>(p3));
    Export unreg = reinterpret_cast<Export>(reinterpret_cast<void*>(p4));
    ASSERT_EQ(p1, GetProcAddress(module, "DllCanUnloadNow"));
    ASSERT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(2)),
              GetProcAddress(module, "DllGetClassObject"));
    ASSERT_EQ(p3, GetProcAddress(module, "DllRegisterServer"));
    ASSERT_EQ(S_OK, reg());
    ASSERT_EQ(S_OK, reg());  // twice leaves one class key
    const char* cls = "CLSID\\{700F47F0-1C71-4e07-95BA-59F3D8EA366A}";
    EXPECT_EQ("MavroDB.MavroBase.3", ReadKey((std::string(cls) + "\\ProgID").c_str()));
    EXPECT_EQ("MavroDB.MavroBase",
              ReadKey((std::string(cls) + "\\VersionIndependentProgID").c_str()));
    EXPECT_EQ(dll, ReadKey((std::string(cls) + "\\InprocServer32").c_str()));
    EXPECT_EQ("Apartment",
              ReadKey((std::string(cls) + "\\InprocServer32").c_str(), "ThreadingModel"));
    EXPECT_EQ("{DDDE1FB5-65C5-4999-A817-85FA7FD0FB9A}",
              ReadKey((std::string(cls) + "\\TypeLib").c_str()));
    EXPECT_EQ("MavroDB.MavroBase.2", ReadKey("MavroDB.MavroBase\\CurVer"));
    EXPECT_NE("<missing>",
              ReadKey("TypeLib\\{DDDE1FB5-65C5-4999-A817-85FA7FD0FB9A}\\3.0\\0\\win64"));

    TempFolder dir;
    std::string path = StaffFile(dir.File("com.mvb"));
    {
        CComPtr<IDBCore> db;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_MavroBase, nullptr, CLSCTX_INPROC_SERVER,
                                         __uuidof(IDBCore), (void**)&db));
        EXPECT_EQ(S_FALSE, canUnload());
        FakeSite site;
        NoticeWindow window;
        ASSERT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
        int count = 0;
        EXPECT_EQ(S_OK, db->GetDataSourceCount(&count));
        EXPECT_EQ(5, count);
        // The same object answers its automation interface.
        CComPtr<IDispatch> disp;
        ASSERT_EQ(S_OK, db->QueryInterface(IID_IDispatch, (void**)&disp));
        VARIANT result;
        VariantInit(&result);
        ASSERT_EQ(S_OK, CallByName(disp, L"GetTableCount", nullptr, 0, &result));
        EXPECT_EQ(2, V_I4(&result));
        CComPtr<ISupportErrorInfo> info;
        ASSERT_EQ(S_OK, db->QueryInterface(IID_ISupportErrorInfo, (void**)&info));
        EXPECT_EQ(S_OK, info->InterfaceSupportsErrorInfo(__uuidof(IMDBase)));
        EXPECT_EQ(S_FALSE, info->InterfaceSupportsErrorInfo(__uuidof(IDBCore)));
    }
    EXPECT_EQ(S_OK, canUnload());
    ASSERT_EQ(S_OK, unreg());
    EXPECT_EQ("<missing>", ReadKey(cls));
    FreeLibrary(module);
}

TEST(MavroDBServer, AutomationInterfaceReadsMovesAndAdds) {
    ComScope com;
    TempFolder dir;
    std::string path = StaffFile(dir.File("auto.mvb"));
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    ASSERT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
    CComPtr<IMDBase> m;
    ASSERT_EQ(S_OK, db->QueryInterface(__uuidof(IMDBase), (void**)&m));
    BSTR staff = SysAllocString(L"Staff");
    BSTR name = SysAllocString(L"Name");
    BSTR empty = SysAllocString(L"");
    long n = 0;
    EXPECT_EQ(S_OK, m->GetFieldCount(staff, 0, &n));
    EXPECT_EQ(8, n);
    BSTR nothing = SysAllocString(L"Nothing");
    EXPECT_EQ(E_FAIL, m->GetFieldCount(nothing, 0, &n));
    EXPECT_EQ(-1, n);
    BSTR out = nullptr;
    EXPECT_EQ(E_FAIL, m->GetTableName(2, &out));
    IErrorInfo* error = nullptr;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &error));
    BSTR description = nullptr, source = nullptr;
    error->GetDescription(&description);
    error->GetSource(&source);
    EXPECT_EQ(WideFromMultibyte(DBLoadString(57745).c_str()), std::wstring(description));
    EXPECT_EQ(std::wstring(L"MavroDB.MavroBase.3"), std::wstring(source));
    SysFreeString(description);
    SysFreeString(source);
    error->Release();
    long flag = 5;
    EXPECT_EQ(S_OK, m->IsTableRsOpen(staff, &flag));
    EXPECT_EQ(0, flag);
    EXPECT_EQ(E_FAIL, m->IsQueryRsOpen(staff, &flag));
    EXPECT_EQ(E_FAIL, m->OpenTableRs(empty));
    // Moves to first and last need the open recordset.
    EXPECT_EQ(E_FAIL, m->TableRsMoveLast(staff));
    ASSERT_EQ(S_OK, m->OpenTableRs(staff));
    ASSERT_EQ(S_OK, m->TableRsMoveLast(staff));
    long pos = -1;
    ASSERT_EQ(S_OK, m->GetTableRsPos(staff, &pos));
    EXPECT_EQ(2, pos);  // the last record, from 0
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(S_OK, m->GetTableFieldValue(staff, name, 1, 0, &v));
    EXPECT_EQ(std::wstring(L"Cid"), std::wstring(V_BSTR(&v)));
    VariantClear(&v);
    ASSERT_EQ(S_OK, m->TableRsMoveFirst(staff));
    ASSERT_EQ(S_OK, m->GetTableRsPos(staff, &pos));
    EXPECT_EQ(0, pos);
    window.Drain(db);
    ASSERT_EQ(S_OK, m->TableRsMoveTo(staff, DB_MOVE_NEXT));
    EXPECT_EQ(1u, window.Drain(db).size());
    // Writes take UTF-16 texts.
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(L"Bea");
    ASSERT_EQ(S_OK, m->UpdateTabRsData(staff, name, 0, 1, &v));
    VariantClear(&v);
    ASSERT_EQ(S_OK, m->GetTableFieldValue(staff, name, 0, 1, &v));
    EXPECT_EQ(std::wstring(L"Bea"), std::wstring(V_BSTR(&v)));
    VariantClear(&v);
    // AddRecord: arrays of names and values, the count checked against both.
    SAFEARRAY* names = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    SAFEARRAY* values = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT e;
    LONG i = 0;
    V_VT(&e) = VT_BSTR;
    V_BSTR(&e) = SysAllocString(L"ID");
    SafeArrayPutElement(names, &i, &e);
    VariantClear(&e);
    V_VT(&e) = VT_I4;
    V_I4(&e) = 42;
    SafeArrayPutElement(values, &i, &e);
    i = 1;
    V_VT(&e) = VT_BSTR;
    V_BSTR(&e) = SysAllocString(L"Name");
    SafeArrayPutElement(names, &i, &e);
    SafeArrayPutElement(values, &i, &e);
    VariantClear(&e);
    VARIANT vn, vv;
    V_VT(&vn) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&vn) = names;
    V_VT(&vv) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&vv) = values;
    EXPECT_EQ(E_FAIL, m->AddRecord(staff, 0, vn, vv, 3));
    EXPECT_EQ(E_FAIL, m->AddRecord(staff, 0, vn, vv, -1));
    VARIANT notArray;
    V_VT(&notArray) = VT_I4;
    V_I4(&notArray) = 1;
    EXPECT_EQ(E_FAIL, m->AddRecord(staff, 0, notArray, vv, 1));
    ASSERT_EQ(S_OK, m->AddRecord(staff, 0, vn, vv, 2));
    EXPECT_EQ(DB_E_FAILED, m->AddRecord(staff, 1, vn, vv, 2));  // not a query
    VariantClear(&vn);
    VariantClear(&vv);
    DataSourceDescriptor d = Desc("Staff");
    int count = 0;
    ASSERT_EQ(S_OK, db->GetDataSourceRecordCount(&d, &count));
    EXPECT_EQ(4, count);
    // Queries: SQL changes keep to selects.
    BSTR rich = SysAllocString(L"Rich");
    BSTR update = SysAllocString(L"UPDATE Staff SET Salary = 0");
    BSTR select = SysAllocString(L"SELECT Name FROM Staff");
    EXPECT_EQ(E_FAIL, m->ChangeQrySQL(rich, update));
    ASSERT_EQ(S_OK, m->ChangeQrySQL(rich, select));
    ASSERT_EQ(S_OK, m->OpenQueryRs(rich));
    ASSERT_EQ(S_OK, m->GetQueryFieldValue(rich, name, 0, 3, &v));
    EXPECT_EQ(std::wstring(L"Name"), std::wstring(V_BSTR(&v)));
    VariantClear(&v);
    ASSERT_EQ(S_OK, m->CloseQueryRs(rich));
    for (BSTR b : {staff, name, empty, nothing, rich, update, select}) SysFreeString(b);
}
