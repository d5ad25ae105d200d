// MavroBase: the database COM object. IDBCore for the player and editing
// clients, the dual IMDBase for scripts, ISupportErrorInfo. Every entry
// adapts its arguments, delegates to the object's CDBCore and lets no C++
// exception leave it.
#pragma once

#include <memory>

#include "aBaseCore.h"
#include "bComBase.h"
#include "bDBCore.h"

// {8EB03702-6837-4C2A-B540-BE4F1A479845}; the type library's MAVRODBLib.
struct IMDBase : public IDispatch {
    STDMETHOD(GetTableCount)(long* count) = 0;
    STDMETHOD(GetTableName)(long index, BSTR* name) = 0;
    STDMETHOD(GetFieldCount)(BSTR source, long isQuery, long* count) = 0;
    STDMETHOD(GetFieldName)(BSTR source, long isQuery, long index, BSTR* name) = 0;
    STDMETHOD(GetQueryCount)(long* count) = 0;
    STDMETHOD(GetQueryName)(long index, BSTR* name) = 0;
    STDMETHOD(IsTableRsOpen)(BSTR table, long* flag) = 0;
    STDMETHOD(OpenTableRs)(BSTR table) = 0;
    STDMETHOD(CloseTableRs)(BSTR table) = 0;
    STDMETHOD(GetTableFieldValue)
    (BSTR table, BSTR field, long relative, long pos, VARIANT* value) = 0;
    STDMETHOD(UpdateTabRsData)(BSTR table, BSTR field, long relative, long pos, VARIANT* value) = 0;
    STDMETHOD(AddTabRsRecord)(BSTR table) = 0;
    STDMETHOD(DelTabRsRecord)(BSTR table, long pos, long relative) = 0;
    STDMETHOD(GetTableRsPos)(BSTR table, long* pos) = 0;
    STDMETHOD(TableRsMoveTo)(BSTR table, long pos) = 0;
    STDMETHOD(TableRsMoveFirst)(BSTR table) = 0;
    STDMETHOD(TableRsMoveLast)(BSTR table) = 0;
    STDMETHOD(IsQueryRsOpen)(BSTR query, long* flag) = 0;
    STDMETHOD(OpenQueryRs)(BSTR query) = 0;
    STDMETHOD(CloseQueryRs)(BSTR query) = 0;
    STDMETHOD(GetQueryRsPos)(BSTR query, long* pos) = 0;
    STDMETHOD(GetQueryFieldValue)
    (BSTR query, BSTR field, long relative, long pos, VARIANT* value) = 0;
    STDMETHOD(UpdateQryRsData)(BSTR query, BSTR field, long relative, long pos, VARIANT* value) = 0;
    STDMETHOD(QueryRsMoveTo)(BSTR query, long pos) = 0;
    STDMETHOD(QueryRsMoveFirst)(BSTR query) = 0;
    STDMETHOD(QueryRsMoveLast)(BSTR query) = 0;
    STDMETHOD(ChangeQrySQL)(BSTR query, BSTR sql) = 0;
    STDMETHOD(AddRecord)(BSTR source, long isQuery, VARIANT names, VARIANT values, long count) = 0;
};
DECLARE_IID(IMDBase, 0x8EB03702, 0x6837, 0x4C2A, 0xB5, 0x40, 0xBE, 0x4F, 0x1A, 0x47, 0x98, 0x45);

// {DDDE1FB5-65C5-4999-A817-85FA7FD0FB9A}
static const GUID LIBID_MAVRODBLib = {
    0xDDDE1FB5, 0x65C5, 0x4999, {0xA8, 0x17, 0x85, 0xFA, 0x7F, 0xD0, 0xFB, 0x9A}};

#define MAVROBASE_PROGID "MavroDB.MavroBase.3"

class CMavroBase : public CComObjectRootBase,
                   public IMDBase,
                   public IDBCore,
                   public IDBRecordTexts,
                   public ISupportErrorInfo {
public:
    BEGIN_COM_MAP(CMavroBase)
    COM_INTERFACE_ENTRY(IMDBase)
    COM_INTERFACE_ENTRY(IDBCore)
    COM_INTERFACE_ENTRY(IDBRecordTexts)
    COM_INTERFACE_ENTRY2(IDispatch, IMDBase)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    CMavroBase();
    virtual ~CMavroBase();
    void FinalRelease();
    CDBCore* Core() const { return m_core.get(); }

    // IDispatch through the embedded type library.
    STDMETHOD(GetTypeInfoCount)(UINT* count) override;
    STDMETHOD(GetTypeInfo)(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHOD(GetIDsOfNames)
    (REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHOD(Invoke)
    (DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
     EXCEPINFO* excep, UINT* argErr) override;

    // IMDBase
    STDMETHOD(GetTableCount)(long* count) override;
    STDMETHOD(GetTableName)(long index, BSTR* name) override;
    STDMETHOD(GetFieldCount)(BSTR source, long isQuery, long* count) override;
    STDMETHOD(GetFieldName)(BSTR source, long isQuery, long index, BSTR* name) override;
    STDMETHOD(GetQueryCount)(long* count) override;
    STDMETHOD(GetQueryName)(long index, BSTR* name) override;
    STDMETHOD(IsTableRsOpen)(BSTR table, long* flag) override;
    STDMETHOD(OpenTableRs)(BSTR table) override;
    STDMETHOD(CloseTableRs)(BSTR table) override;
    STDMETHOD(GetTableFieldValue)
    (BSTR table, BSTR field, long relative, long pos, VARIANT* value) override;
    STDMETHOD(UpdateTabRsData)
    (BSTR table, BSTR field, long relative, long pos, VARIANT* value) override;
    STDMETHOD(AddTabRsRecord)(BSTR table) override;
    STDMETHOD(DelTabRsRecord)(BSTR table, long pos, long relative) override;
    STDMETHOD(GetTableRsPos)(BSTR table, long* pos) override;
    STDMETHOD(TableRsMoveTo)(BSTR table, long pos) override;
    STDMETHOD(TableRsMoveFirst)(BSTR table) override;
    STDMETHOD(TableRsMoveLast)(BSTR table) override;
    STDMETHOD(IsQueryRsOpen)(BSTR query, long* flag) override;
    STDMETHOD(OpenQueryRs)(BSTR query) override;
    STDMETHOD(CloseQueryRs)(BSTR query) override;
    STDMETHOD(GetQueryRsPos)(BSTR query, long* pos) override;
    STDMETHOD(GetQueryFieldValue)
    (BSTR query, BSTR field, long relative, long pos, VARIANT* value) override;
    STDMETHOD(UpdateQryRsData)
    (BSTR query, BSTR field, long relative, long pos, VARIANT* value) override;
    STDMETHOD(QueryRsMoveTo)(BSTR query, long pos) override;
    STDMETHOD(QueryRsMoveFirst)(BSTR query) override;
    STDMETHOD(QueryRsMoveLast)(BSTR query) override;
    STDMETHOD(ChangeQrySQL)(BSTR query, BSTR sql) override;
    STDMETHOD(AddRecord)
    (BSTR source, long isQuery, VARIANT names, VARIANT values, long count) override;

    // IDBCore
    STDMETHOD(InitDataBase)
    (const char* path, const char* workgroupPath, const char* password, int flags,
     IPlayerSite* site, HWND window) override;
    STDMETHOD(ChangeDatabasePassword)(const char* oldPassword, const char* newPassword) override;
    STDMETHOD(Reserved5)() override;
    STDMETHOD(CreateMediaTypeDef)
    (const char* oldPath, const char* newPath, IPlayerSite* site) override;
    STDMETHOD(AddDatabasePage)(void* sheet, HINSTANCE resource, void* toolBar) override;
    STDMETHOD(AttachDatabaseView)(void* document) override;
    STDMETHOD(LoadDatabaseToolBar)(void* toolBar) override;
    STDMETHOD(QueryViewActive)(IDBViewActiveSink* sink) override;
    STDMETHOD(CloseAllRecordsets)() override;
    STDMETHOD(GetDataSourceFieldCount)(DataSourceDescriptor* d, int* count) override;
    STDMETHOD(GetDataSourceFieldType)(DataSourceDescriptor* d, int* type) override;
    STDMETHOD(GetDataSourceRecordCount)(DataSourceDescriptor* d, int* count) override;
    STDMETHOD(GetDataSourceFieldName)(DataSourceDescriptor* d, int index) override;
    STDMETHOD(GetDataSourceFieldValue)(DataSourceDescriptor* d, VARIANT* value) override;
    STDMETHOD(UpdateDataSourceRecord)
    (DataSourceDescriptor* d, FieldValuePair* pairs, int count) override;
    STDMETHOD(DeleteDataSourceRecord)(DataSourceDescriptor* d) override;
    STDMETHOD(AddDataSourceRecord)
    (DataSourceDescriptor* d, FieldValuePair* pairs, int count) override;
    STDMETHOD(GetDataSourcePosition)(DataSourceDescriptor* d, int* position) override;
    STDMETHOD(MoveDataSource)(DataSourceDescriptor* d) override;
    STDMETHOD(RequeryDataSource)(DataSourceDescriptor* d) override;
    STDMETHOD(ReexecuteQuery)(DataSourceDescriptor* d) override;
    STDMETHOD(GetDataSourceCount)(int* count) override;
    STDMETHOD(GetDataSourceName)(int index, char* buffer, int length) override;
    STDMETHOD(GetDataSourceFieldLinkFlag)(DataSourceDescriptor* d, int* flag) override;
    STDMETHOD(IsQueryName)(const char* name) override;
    STDMETHOD(WalkTables)(IDBTableWalkSink* sink) override;
    STDMETHOD(TextToVariant)(VARIANT* value, const char* text, int fieldType) override;
    STDMETHOD(VariantToTextBuffer)
    (const VARIANT* value, char** text, int fieldType, int* flag) override;
    STDMETHOD(FreeDBBlock)(void* block) override;
    STDMETHOD(FreeDBNotice)(DataSourceNotice* notice) override;

    // IDBRecordTexts
    STDMETHOD(GetDataSourceRecordTexts)
    (DataSourceDescriptor* d, int count, const char* const* names, const int* types, int fields,
     char** block, int* read) override;

    // ISupportErrorInfo
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) override;

private:
    HRESULT LoadTypeInfo();
    // Writes the is-query word of a descriptor from its name; false when
    // there is no core.
    bool Prepare(DataSourceDescriptor* d);
    HRESULT Fail(const std::string& text);
    HRESULT ReadValue(BSTR source, BSTR field, long relative, long pos, long isQuery,
                      VARIANT* value);
    HRESULT WriteValue(BSTR source, BSTR field, long relative, long pos, long isQuery,
                       VARIANT* value);

    std::unique_ptr<CDBCore> m_core;
    ITypeInfo* m_typeInfo = nullptr;
};

// The class creator of the object table.
HRESULT CreateMavroBase(REFIID iid, void** ppv);
