// DbLinkAbility: binds a database-capable object to one field of a table or
// query of the work's database. The object shows the field's value at a
// record position and refreshes when the database reports a change. The
// database is reached through the play site's IDBCore.
#pragma once

#include "aObjItf.h"
#include "bDBRecords.h"

struct IDBCore;

// Refresh codes: what changed.
enum DbRefreshCode {
    DB_REFRESH_BIND = 0,
    DB_REFRESH_SOURCE = 2,
    DB_REFRESH_POSITION = 3,
    DB_REFRESH_OPTION = 4,
    DB_REFRESH_NOTICE = 5,
};

// Link flag bits.
enum { DBLINK_LINKED = 1, DBLINK_RELATIVE = 2 };

// Where further data starts in a field's block (after the type word and text).
enum { DB_BLOCK_DATA_OFFSET = 264 };

// {C0BC2645-...}
struct IDbLink : public IUnknown {
    STDMETHOD(SetLinked)(BOOL on) = 0;                               // 3
    STDMETHOD(IsLinked)(BOOL* out) = 0;                              // 4
    STDMETHOD(SetSource)(const char* table, const char* field) = 0;  // 5
    // Both buffers hold 64 bytes.
    STDMETHOD(GetSource)(char* table, char* field) = 0;                 // 6
    STDMETHOD(SetOption)(BOOL on) = 0;                                  // 7
    STDMETHOD(GetOption)(BOOL* out) = 0;                                // 8
    STDMETHOD(SetRecordPos)(LONG position) = 0;                         // 9
    STDMETHOD(GetRecordPos)(LONG* out) = 0;                             // 10
    STDMETHOD(GetDescriptor)(DataSourceDescriptor* out) = 0;            // 11
    STDMETHOD(Load)(ITeskStream* stream) = 0;                           // 12
    STDMETHOD(Reserved13)() = 0;                                        // 13
    STDMETHOD(Save)(ITeskStream* stream) = 0;                           // 14
    STDMETHOD(Refresh)(int code) = 0;                                   // 15
    STDMETHOD(OnDataSourceNotice)(const DataSourceNotice* notice) = 0;  // 16
    // The field's value as text, cut to size bytes with its NUL.
    STDMETHOD(GetDataText)(char* buffer, int size) = 0;  // 17
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;        // 18
    STDMETHOD_(IPlayerSite*, GetPlaySiteForLink)() = 0;  // 19
    // Non-zero when the object can show the value.
    STDMETHOD_(int, AcceptsType)(const VARIANT* value) = 0;                                   // 20
    STDMETHOD(ApplyData)(BOOL mediaFlag, const char* text, const void* extra, int type) = 0;  // 21
    STDMETHOD(BindToDatabase)(BSTR table, BSTR field, LONG option) = 0;                       // 22
};
TESK_IID(IDbLink, 0x45);

class DbLinkAbility : public IDbLink {
public:
    DbLinkAbility();
    virtual ~DbLinkAbility() {}

    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(SetLinked)(BOOL on) override;
    STDMETHOD(IsLinked)(BOOL* out) override;
    STDMETHOD(SetSource)(const char* table, const char* field) override;
    STDMETHOD(GetSource)(char* table, char* field) override;
    STDMETHOD(SetOption)(BOOL on) override;
    STDMETHOD(GetOption)(BOOL* out) override;
    STDMETHOD(SetRecordPos)(LONG position) override;
    STDMETHOD(GetRecordPos)(LONG* out) override;
    STDMETHOD(GetDescriptor)(DataSourceDescriptor* out) override;
    STDMETHOD(Load)(ITeskStream* stream) override;
    STDMETHOD(Reserved13)() override { return S_OK; }
    STDMETHOD(Save)(ITeskStream* stream) override;
    // The object base has a Refresh (int) of its own in the same class:
    // kinds override DbRefresh instead, so neither slot takes the other's.
    STDMETHOD(Refresh)(int code) final { return DbRefresh(code); }
    STDMETHOD(OnDataSourceNotice)(const DataSourceNotice* notice) override;
    STDMETHOD(GetDataText)(char* buffer, int size) override;
    STDMETHOD_(void, DeleteThis)(UINT) override {}
    STDMETHOD_(IPlayerSite*, GetPlaySiteForLink)() override { return nullptr; }
    STDMETHOD_(int, AcceptsType)(const VARIANT*) override { return 1; }
    STDMETHOD(ApplyData)(BOOL, const char*, const void*, int) override { return S_OK; }
    STDMETHOD(BindToDatabase)(BSTR table, BSTR field, LONG option) override;

    // The script members.
    HRESULT UnbindToDatabase();
    HRESULT GetObjRecordPos(LONG* out);
    HRESULT PutObjRecordPos(LONG position);

    bool Linked() const { return (m_flags & DBLINK_LINKED) != 0; }
    WORD LinkFlags() const { return m_flags; }
    const char* TableName() const { return m_table; }
    const char* FieldName() const { return m_field; }

protected:
    virtual HRESULT DbRefresh(int code);
    // The object's name (multibyte, at most 31 bytes and a NUL); empty
    // when the link has no object.
    virtual void LinkObjectName(char* name) { name[0] = 0; }

private:
    IDBCore* Core();
    void FillDescriptor(DataSourceDescriptor* d, bool withName);
    // The field's current value and its link flag; S_FALSE for no value.
    HRESULT ReadValue(DataSourceDescriptor* d, VARIANT* value, int* mediaFlag);

    WORD m_flags;
    char m_table[64];
    char m_field[64];
    LONG m_position;
};

// Splits a field's block: with the media flag it is a text; otherwise a
// 32-bit type word, a text and further data at byte 264. E_FAIL (logged) for
// a block too short for its type word, a text without its NUL inside the
// block, or a text running into the further data.
HRESULT ParseFieldBlock(const BYTE* block, ULONG size, bool mediaFlag, const char** text,
                        const void** extra, int* type);
