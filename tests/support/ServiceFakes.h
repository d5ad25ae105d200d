// Fakes of the services the object layer's database link and media data
// reach: a database core with byte-array field values and link flags, a
// media manager with embedded items and external files, a system-sound
// player, and a play site that hands them out.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ObjectDoubles.h"
#include "bDBCore.h"
#include "bMediaManager.h"
#include "bSysSound.h"

class FakeDBCore : public IDBCore {
public:
    struct Field {
        VARTYPE vt = VT_ARRAY | VT_UI1;  // VT_EMPTY, VT_BSTR ... for other answers
        std::vector<BYTE> bytes;
        int linkFlag = 0;
    };
    // "table.field", compared as given.
    std::map<std::string, Field> fields;
    std::vector<DataSourceDescriptor> asked;  // every descriptor of slot 16
    int linkFlagCalls = 0;

    // A field block: the type word, the text and its NUL, then `data` at 264.
    static std::vector<BYTE> Block(int type, const std::string& text,
                                   const std::vector<BYTE>& data = {});
    static DataSourceNotice Notice(const char* table, const char* field, const char* object);

    STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(InitDataBase)
    (const char*, const char*, const char*, int, IPlayerSite*, HWND) override { return E_NOTIMPL; }
    STDMETHOD(ChangeDatabasePassword)(const char*, const char*) override { return E_NOTIMPL; }
    STDMETHOD(Reserved5)() override { return E_NOTIMPL; }
    STDMETHOD(CreateMediaTypeDef)(const char*, const char*, IPlayerSite*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(AddDatabasePage)(void*, HINSTANCE, void*) override { return E_NOTIMPL; }
    STDMETHOD(AttachDatabaseView)(void*) override { return E_NOTIMPL; }
    STDMETHOD(LoadDatabaseToolBar)(void*) override { return E_NOTIMPL; }
    STDMETHOD(QueryViewActive)(IDBViewActiveSink*) override { return E_NOTIMPL; }
    STDMETHOD(CloseAllRecordsets)() override { return S_OK; }
    STDMETHOD(GetDataSourceFieldCount)(DataSourceDescriptor*, int*) override { return E_NOTIMPL; }
    STDMETHOD(GetDataSourceFieldType)(DataSourceDescriptor*, int*) override { return E_NOTIMPL; }
    STDMETHOD(GetDataSourceRecordCount)(DataSourceDescriptor*, int*) override { return E_NOTIMPL; }
    STDMETHOD(GetDataSourceFieldName)(DataSourceDescriptor*, int) override { return E_NOTIMPL; }
    STDMETHOD(GetDataSourceFieldValue)(DataSourceDescriptor* d, VARIANT* value) override;
    STDMETHOD(UpdateDataSourceRecord)(DataSourceDescriptor*, FieldValuePair*, int) override {
        return E_NOTIMPL;
    }
    STDMETHOD(DeleteDataSourceRecord)(DataSourceDescriptor*) override { return E_NOTIMPL; }
    STDMETHOD(AddDataSourceRecord)(DataSourceDescriptor*, FieldValuePair*, int) override {
        return E_NOTIMPL;
    }
    STDMETHOD(GetDataSourcePosition)(DataSourceDescriptor*, int*) override { return E_NOTIMPL; }
    STDMETHOD(MoveDataSource)(DataSourceDescriptor*) override { return E_NOTIMPL; }
    STDMETHOD(RequeryDataSource)(DataSourceDescriptor*) override { return E_NOTIMPL; }
    STDMETHOD(ReexecuteQuery)(DataSourceDescriptor*) override { return E_NOTIMPL; }
    STDMETHOD(GetDataSourceCount)(int*) override { return E_NOTIMPL; }
    STDMETHOD(GetDataSourceName)(int, char*, int) override { return E_NOTIMPL; }
    STDMETHOD(GetDataSourceFieldLinkFlag)(DataSourceDescriptor* d, int* flag) override;
    STDMETHOD(IsQueryName)(const char*) override { return S_FALSE; }
    STDMETHOD(WalkTables)(IDBTableWalkSink*) override { return E_NOTIMPL; }
    STDMETHOD(TextToVariant)(VARIANT*, const char*, int) override { return E_NOTIMPL; }
    STDMETHOD(VariantToTextBuffer)(const VARIANT*, char**, int, int*) override { return E_NOTIMPL; }
    STDMETHOD(FreeDBBlock)(void*) override { return S_OK; }
    STDMETHOD(FreeDBNotice)(DataSourceNotice*) override { return S_OK; }

private:
    const Field* Find(const DataSourceDescriptor* d) const;
};

// Embedded items by name (case-insensitive) and external files by path.
class FakeMediaManager : public IMediaManager {
public:
    std::map<std::string, std::string> embedded;
    std::map<std::string, std::string> files;  // name -> path
    std::vector<std::string> calls;            // "external NAME", "read NAME", "path NAME"

    STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetMediaFilePath)(const char* name, int kind, char* path, int length) override;
    STDMETHOD(GetDefaultExtension)(const char*, char*, int) override { return E_NOTIMPL; }
    STDMETHOD(GetExternalFilePath)(const char*, char*, int) override { return E_NOTIMPL; }
    STDMETHOD(ReadMediaData)(const char* name, int, int, void* buffer, DWORD* size) override;
    STDMETHOD(EditOp7)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp8)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(MediaNameStored)(const char*) override { return E_NOTIMPL; }
    STDMETHOD(MediaNameRemoved)(const char*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp11)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp12)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp13)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetMediaType)(const char*, int*, int*) override { return E_NOTIMPL; }
    STDMETHOD(MediaTypeFromFileName)(const char*, int*, int*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp16)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp17)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(ChooseMedia)(int, int, char*, int) override { return E_NOTIMPL; }
    STDMETHOD(EditOp19)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp20)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(RegisterLinkedFile)(const char*, int, char*, int) override { return E_NOTIMPL; }
    STDMETHOD(EditOp22)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp23)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp24)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp25)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp26)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(IsFileMedia)(const char* name, BYTE* flag) override;
    STDMETHOD(EditOp28)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(StoreMediaData)(int, int, const void*, int, int, char*, int) override {
        return E_NOTIMPL;
    }
    STDMETHOD(IsMediaName)(const char*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp31)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(ExtractMediaToTempFile)(const char*, char*, int) override { return E_NOTIMPL; }
    STDMETHOD_(void, DeleteThis)(UINT) override {}

private:
    const std::string* Lookup(const std::map<std::string, std::string>& m, const char* name) const;
};

// A play site that also hands out a database core (null: disabled).
class ServiceTestSite : public TestPlayerSite {
public:
    STDMETHOD(GetDatabase)(void** out) override {
        if (!out)
            return E_POINTER;
        *out = database;
        return database ? S_OK : E_FAIL;
    }
    IDBCore* database = nullptr;
};

// A system-sound player that records its calls in order: "copy", "open",
// "play", "stop", "volume N", "balance N". Play and Stop keep the play state;
// the copied record's path, first value and volume are kept.
class FakeSysSound : public ISysSoundPlayer {
public:
    HRESULT CopyProperties(const SysSoundProperties* r) override {
        calls.push_back("copy");
        path = r->path;
        first = r->first;
        storedVolume = r->values[8];
        return S_OK;
    }
    HRESULT Open(HWND owner) override {
        calls.push_back("open");
        openedOn = owner;
        return S_OK;
    }
    HRESULT Play() override {
        calls.push_back("play");
        state = 1;
        return S_OK;
    }
    HRESULT Stop() override {
        calls.push_back("stop");
        state = 0;
        return S_OK;
    }
    int GetPlayState() override { return state; }
    HRESULT GetVolume(int* v) override {
        *v = volume;
        return S_OK;
    }
    HRESULT SetVolume(int v) override {
        calls.push_back("volume " + std::to_string(v));
        volume = v;
        return S_OK;
    }
    HRESULT SetBalance(int b) override {
        calls.push_back("balance " + std::to_string(b));
        return S_OK;
    }
    bool IsActive() override { return true; }

    std::vector<std::string> calls;
    std::string path;
    DWORD first = 0, storedVolume = 0;
    HWND openedOn = nullptr;
    int state = 0, volume = 500;
};
