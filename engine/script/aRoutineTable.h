// The work's own routines: processes (called by an action, may wait) and
// functions (called from expressions, return a value), stored as two
// tables of named, typed action lists.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "aEventProc.h"
#include "aEventSet.h"

struct ITeskStorage;
struct ITeskStream;
struct IExprFunctionAccess;

struct CRoutineEntry {
    DWORD unused = 0;
    std::string name;
    std::vector<CParamDesc> params;  // declaration order
    CActionItemList list;
};

class CRoutineTable {
public:
    int GetCount() const { return (int)m_entries.size(); }
    CRoutineEntry* GetAt(int i) { return m_entries[(size_t)i].get(); }
    CRoutineEntry* Find(const char* name);
    // Appends; a name already present gets "_1" appended until unique.
    void Add(std::unique_ptr<CRoutineEntry> entry);
    // Destroys the entries from the last to the first.
    void Clear();

private:
    // A name is its stem (without trailing "_1"s) and the number of "_1"s
    // behind it, so a hostile table of one repeated name is indexed by short
    // keys and renaming costs no string comparisons.
    struct Stem {
        std::unordered_map<size_t, CRoutineEntry*> bySuffixes;
        // From a suffix count already taken to the last one taken after it
        // the last time a name starting there was made unique.
        std::unordered_map<size_t, size_t> lastTaken;
    };

    std::vector<std::unique_ptr<CRoutineEntry>> m_entries;
    std::unordered_map<std::string, Stem> m_index;
    std::string m_ones;  // "_1_1_1...", grown as renaming needs
};

class CRoutineTables {
public:
    CRoutineTables();
    virtual ~CRoutineTables();
    CRoutineTables(const CRoutineTables&) = delete;
    CRoutineTables& operator=(const CRoutineTables&) = delete;

    void SetEventProcessor(CEventProcessor* processor) { m_processor = processor; }
    void SetFunctions(IExprFunctionAccess* functions) { m_functions = functions; }

    // "FunctionTable" and "ProcessTable"; the result is the process table's.
    HRESULT Load(ITeskStorage* storage);
    HRESULT ReadStream(ITeskStorage* storage, const char* streamName);
    // Reads one table stream into a table (appending).
    HRESULT ReadTable(ITeskStream* stream, CRoutineTable& table, const char* streamName);

    void SetOwner(int ownerKind, IUnknown* owner) {
        m_ownerKind = ownerKind;
        m_owner = owner;
    }
    // Arguments in call order (last first). 1 when the process ended, 0 when
    // it failed or is suspended (the processor's suspend flag then set).
    int CallProcess(const char* name, VARIANT* args, int count);
    // True when the function ran to its end; result takes its return value.
    bool CallFunction(const char* name, VARIANT* args, int count, VARIANT* result);

    CRoutineTable& Processes() { return m_processes; }
    CRoutineTable& Functions() { return m_functions_; }

    // Deepest nesting of routine calls; deeper calls fail.
    enum { MAX_CALL_DEPTH = 64 };

private:
    CActionRun* MakeRun(CRoutineTable& table, const char* name, VARIANT* args, int count);

    CEventProcessor* m_processor;
    IExprFunctionAccess* m_functions;
    int m_ownerKind;
    IUnknown* m_owner;  // not counted
    CRoutineTable m_processes;
    CRoutineTable m_functions_;
};
