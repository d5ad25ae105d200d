// The database library's custom interface as the player and editing clients
// call it. Every slot returns an HRESULT; the records are in bDBRecords.h.
#pragma once

#include "bComBase.h"
#include "bDBRecords.h"

struct IPlayerSite;

// InitDataBase flags.
enum {
    DB_INIT_CREATE = 1,     // create the file first (editing clients only)
    DB_INIT_MULTIUSER = 2,  // open with a workgroup file and a user login
    DB_INIT_EXCLUSIVE = 4,
};

// The library's own failure codes.
#define DB_E_RECORD_DELETED ((HRESULT)0x800A1388L)
#define DB_E_PAST_END ((HRESULT)0x800A1389L)
#define DB_E_READ_FAILED ((HRESULT)0x800A138AL)
#define DB_E_ENGINE ((HRESULT)0x800A138BL)
#define DB_E_FAILED ((HRESULT)0x800A138CL)

// Table-walk callback (slot 28): slot 3 receives a code and a text.
struct IDBTableWalkSink : public IUnknown {
    STDMETHOD(OnTableItem)(int code, const char* text) = 0;
};

// Answer of QueryViewActive (slot 10): the callback's first slot.
struct IDBViewActiveSink {
    virtual void STDMETHODCALLTYPE OnViewActive(int active) = 0;

protected:
    ~IDBViewActiveSink() {}
};

// {5EF38440-E101-11D2-9CAD-0060976DD7A2}
struct IDBCore : public IUnknown {
    STDMETHOD(InitDataBase)
    (const char* path, const char* workgroupPath, const char* password, int flags,
     IPlayerSite* site, HWND window) = 0;                                                     // 3
    STDMETHOD(ChangeDatabasePassword)(const char* oldPassword, const char* newPassword) = 0;  // 4
    STDMETHOD(Reserved5)() = 0;                                                               // 5
    STDMETHOD(CreateMediaTypeDef)
    (const char* oldPath, const char* newPath, IPlayerSite* site) = 0;                // 6
    STDMETHOD(AddDatabasePage)(void* sheet, HINSTANCE resource, void* toolBar) = 0;   // 7
    STDMETHOD(AttachDatabaseView)(void* document) = 0;                                // 8
    STDMETHOD(LoadDatabaseToolBar)(void* toolBar) = 0;                                // 9
    STDMETHOD(QueryViewActive)(IDBViewActiveSink* sink) = 0;                          // 10
    STDMETHOD(CloseAllRecordsets)() = 0;                                              // 11
    STDMETHOD(GetDataSourceFieldCount)(DataSourceDescriptor* d, int* count) = 0;      // 12
    STDMETHOD(GetDataSourceFieldType)(DataSourceDescriptor* d, int* type) = 0;        // 13
    STDMETHOD(GetDataSourceRecordCount)(DataSourceDescriptor* d, int* count) = 0;     // 14
    STDMETHOD(GetDataSourceFieldName)(DataSourceDescriptor* d, int index) = 0;        // 15
    STDMETHOD(GetDataSourceFieldValue)(DataSourceDescriptor* d, VARIANT* value) = 0;  // 16
    STDMETHOD(UpdateDataSourceRecord)
    (DataSourceDescriptor* d, FieldValuePair* pairs, int count) = 0;  // 17
    STDMETHOD(DeleteDataSourceRecord)(DataSourceDescriptor* d) = 0;   // 18
    STDMETHOD(AddDataSourceRecord)
    (DataSourceDescriptor* d, FieldValuePair* pairs, int count) = 0;                // 19
    STDMETHOD(GetDataSourcePosition)(DataSourceDescriptor* d, int* position) = 0;   // 20
    STDMETHOD(MoveDataSource)(DataSourceDescriptor* d) = 0;                         // 21
    STDMETHOD(RequeryDataSource)(DataSourceDescriptor* d) = 0;                      // 22
    STDMETHOD(ReexecuteQuery)(DataSourceDescriptor* d) = 0;                         // 23
    STDMETHOD(GetDataSourceCount)(int* count) = 0;                                  // 24
    STDMETHOD(GetDataSourceName)(int index, char* buffer, int length) = 0;          // 25
    STDMETHOD(GetDataSourceFieldLinkFlag)(DataSourceDescriptor* d, int* flag) = 0;  // 26
    STDMETHOD(IsQueryName)(const char* name) = 0;                                   // 27
    STDMETHOD(WalkTables)(IDBTableWalkSink* sink) = 0;                              // 28
    STDMETHOD(TextToVariant)(VARIANT* value, const char* text, int fieldType) = 0;  // 29
    // A new text the caller frees with FreeDBBlock.
    STDMETHOD(VariantToTextBuffer)
    (const VARIANT* value, char** text, int fieldType, int* flag) = 0;  // 30
    STDMETHOD(FreeDBBlock)(void* block) = 0;                            // 31
    STDMETHOD(FreeDBNotice)(DataSourceNotice* notice) = 0;              // 32
};
DECLARE_IID(IDBCore, 0x5EF38440, 0xE101, 0x11D2, 0x9C, 0xAD, 0x00, 0x60, 0x97, 0x6D, 0xD7, 0xA2);

// {700F47F0-1C71-4e07-95BA-59F3D8EA366A}
static const CLSID CLSID_MavroBase = {
    0x700F47F0, 0x1C71, 0x4E07, {0x95, 0xBA, 0x59, 0xF3, 0xD8, 0xEA, 0x36, 0x6A}};

// Texts of whole records at once, answered beside IDBCore: a grid shows
// windows of records, and a call per field costs more than its reading.
// {3C6A2E51-8F0B-4D7E-9A41-6B2F0C9D1E37}
struct IDBRecordTexts : public IUnknown {
    // Records d->position .. d->position + count - 1 (d->relative as for a
    // field value) of the fields named in names (63 bytes at most), each
    // as GetDataSourceFieldValue and VariantToTextBuffer with its type from
    // types make it, up to its first NUL: NUL-terminated texts record by
    // record in one block the caller frees with FreeDBBlock (null when no
    // record was read). *read counts the records read; reading stops at
    // the first record that is not simply there (past the end, deleted,
    // an engine error), which the caller reads field by field.
    STDMETHOD(GetDataSourceRecordTexts)
    (DataSourceDescriptor* d, int count, const char* const* names, const int* types, int fields,
     char** block, int* read) = 0;
};
DECLARE_IID(IDBRecordTexts, 0x3C6A2E51, 0x8F0B, 0x4D7E, 0x9A, 0x41, 0x6B, 0x2F, 0x0C, 0x9D, 0x1E,
            0x37);
