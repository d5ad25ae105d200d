// The project: what the "PrjInfo" stream of a work describes (header,
// options, flags, database texts) and, as members, the page structure, the
// canvas lists and the media manager.
#pragma once

#include <windows.h>

#include <string>

#include "aMediaMgr.h"
#include "aPageStruct.h"
#include "aPrjDoc.h"
#include "aStorage.h"
#include "bVarMgr.h"

#define PRJINFO_MAGIC 0x20000331u

// The 256-byte header of "PrjInfo".
#pragma pack(push, 1)
struct PRJINFO_STAMP {
    ULONGLONG value;        // a file time in packages
    ULONGLONG fileVersion;  // four 16-bit numbers, least significant first
    BYTE unused[16];
};
struct PRJINFO_HEADER {
    DWORD size;  // 256
    DWORD reserved4;
    SHORT mode;  // body compression mode
    WORD zero10;
    DWORD magic;  // PRJINFO_MAGIC
    SHORT major;  // 1
    SHORT minor;  // at most 16
    BYTE zero20[12];
    PRJINFO_STAMP created;
    PRJINFO_STAMP saved;
    BYTE zero96[160];
};
#pragma pack(pop)
static_assert(sizeof(PRJINFO_HEADER) == 256, "PrjInfo header is 256 bytes");

// Project flags.
enum {
    PRJ_USES_DATABASE = 0x01,
    PRJ_MULTIUSER_DATABASE = 0x02,
    PRJ_VERSION_OVERLAY = 0x08,
    PRJ_EXTRA_TEXT = 0x10,
    PRJ_HAS_TABLES = 0x20,
    PRJ_FOUR_TEXTS = 0x40,
};

// Project texts of fixed size (database path, password, workgroup path).
enum { PRJ_TEXT_SIZE = 260 };

// Readers of the parts of a project that belong to other parts of the
// player: the project's event-procedure record (inside the body) and the
// function and process tables (streams of the package).
class IProjectParts {
public:
    virtual HRESULT LoadEventRecord(ITeskStream* body) = 0;
    virtual HRESULT LoadRoutineTables(ITeskStorage* storage) = 0;

protected:
    ~IProjectParts() {}
};

// Where a routine table stream was found.
struct ROUTINE_TABLE_INFO {
    BOOL present;
    DWORD count;  // entries in its header
    DWORD mode;   // body compression mode
};

// {C0BC2624-1049-11D4-9EEB-00104B04B807}
struct IProject : public IUnknown {
    STDMETHOD_(IUnknown*, GetSysSound)() = 0;                 // 3
    STDMETHOD(GetWorkgroupPath)(char* buffer, int size) = 0;  // 4
    STDMETHOD(SetWorkgroupPath)(const char* path) = 0;        // 5
    STDMETHOD_(int, GetMinorVersion)() = 0;                   // 6
    STDMETHOD_(void, ReleaseMembers)() = 0;                   // 7
};
DECLARE_IID(IProject, 0xC0BC2624, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07);

class CProject : public CComObjectRootBase, public IProject {
public:
    BEGIN_COM_MAP(CProject)
    COM_INTERFACE_ENTRY(IProject)
    END_COM_MAP()

    // The document owns the project.
    explicit CProject(IProjectDocument* document);
    virtual ~CProject();
    CProject(const CProject&) = delete;
    CProject& operator=(const CProject&) = delete;

    DECLARE_OWNED_IUNKNOWN()

    STDMETHOD_(IUnknown*, GetSysSound)() override { return m_pSysSound; }
    STDMETHOD(GetWorkgroupPath)(char* buffer, int size) override;
    STDMETHOD(SetWorkgroupPath)(const char* path) override;
    STDMETHOD_(int, GetMinorVersion)() override { return m_header.minor; }
    STDMETHOD_(void, ReleaseMembers)() override;

    // Reads "PrjInfo" (and, with flag 0x20, the routine tables) from the
    // storage.
    HRESULT ReadPrjInfo(ITeskStorage* storage);
    // A project without a package: empty texts, a fresh header stamped
    // with the program's file version.
    void InitNew(ULONGLONG programVersion);

    void SetParts(IProjectParts* parts) { m_pParts = parts; }
    // The system-sound player that its maker hands over (a reference is
    // taken); slot 3 answers it, slot 7 releases it.
    void SetSysSound(IUnknown* sound);
    void SetSite(IUnknown* site);
    IProjectDocument* GetDocument() const { return m_pDocument; }

    StructMan* GetStructMan() const { return m_pStructMan; }
    CCanvasLists* GetCanvasLists() const { return m_pCanvasLists; }
    CMediaManager* GetMediaManager() const { return m_pMediaManager; }
    // The variable manager, bound to the project's global variables.
    VariableManager* GetVariableManager() { return &m_variables; }
    CVarList* GetGlobalVariables() { return &m_globals; }

    const PRJINFO_HEADER& GetHeader() const { return m_header; }
    // The 64-bit value that identifies the work (creation stamp).
    ULONGLONG GetProjectId() const { return m_header.created.value; }
    DWORD GetOptions() const { return m_options; }
    void SetOptions(DWORD options) { m_options = options; }
    DWORD GetHoldTime() const { return m_holdTime; }
    DWORD GetBackgroundColor() const { return m_backgroundColor; }
    DWORD GetFlags() const { return m_flags; }
    // Clears "uses a database" and "multi-user database" together.
    void ClearDatabaseFlags() { m_flags &= ~(DWORD)(PRJ_USES_DATABASE | PRJ_MULTIUSER_DATABASE); }
    const char* GetDatabasePath() const { return m_databasePath; }
    void SetDatabasePath(const char* path);
    const char* GetDatabasePassword() const { return m_databasePassword; }
    const char* GetWorkgroup() const { return m_workgroupPath; }
    const std::string& GetFurtherText(int i) const { return m_texts[i & 3]; }
    const ROUTINE_TABLE_INFO& GetRoutineTable(bool process) const {
        return m_tables[process ? 1 : 0];
    }

private:
    HRESULT ReadBody(ITeskStream* body, ITeskStorage* storage);
    HRESULT LocateRoutineTables(ITeskStorage* storage);

    IProjectDocument* m_pDocument;  // not owned
    IUnknown* m_pSite;              // not owned
    IProjectParts* m_pParts;        // not owned
    PRJINFO_HEADER m_header;
    DWORD m_options;
    DWORD m_holdTime;
    DWORD m_backgroundColor;
    DWORD m_flags;
    char m_databasePath[PRJ_TEXT_SIZE];
    char m_databasePassword[PRJ_TEXT_SIZE];
    char m_workgroupPath[PRJ_TEXT_SIZE];
    std::string m_texts[4];
    ROUTINE_TABLE_INFO m_tables[2];  // functions, processes
    StructMan* m_pStructMan;
    CCanvasLists* m_pCanvasLists;
    CMediaManager* m_pMediaManager;  // one reference
    IUnknown* m_pSysSound;           // one reference
    CVarList m_globals;
    VariableManager m_variables;
};
