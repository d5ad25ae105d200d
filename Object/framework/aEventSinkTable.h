// CEventSinkTable: the named event rows of a scriptable object, each with the
// sinks that want that event. The object defines its rows and fires them; a
// bound object is called on its slot 49 with the table and the argument.
#pragma once

#include <vector>

#include "aObjItf.h"

// {C0BC265E-...} Slots 16 and 17 belong to the class that holds the table.
struct IEventSinkTable : public IUnknown {
    STDMETHOD(Load)(ITeskStream* stream) = 0;                     // 3
    STDMETHOD(Save)(ITeskStream* stream) = 0;                     // 4
    STDMETHOD(GetRowCount)(LONG* out) = 0;                        // 5
    STDMETHOD_(int, IsBadRow)(LONG row) = 0;                      // 6
    STDMETHOD(GetRowName)(LONG row, char* buffer, int size) = 0;  // 7
    STDMETHOD(FindRow)(const char* name, LONG* index) = 0;        // 8
    STDMETHOD(AddSink)(LONG row, IUnknown* sink) = 0;             // 9
    STDMETHOD(RemoveSink)(LONG row, IUnknown* sink) = 0;          // 10
    STDMETHOD(IsSinkInRow)(LONG row, IUnknown* sink) = 0;         // 11
    STDMETHOD(GetRowMaximum)(LONG row, LONG* out) = 0;            // 12
    STDMETHOD(GetRowMinimum)(LONG row, LONG* out) = 0;            // 13
    STDMETHOD(GetRowLineStep)(LONG row, LONG* out) = 0;           // 14
    STDMETHOD(GetRowPageStep)(LONG row, LONG* out) = 0;           // 15
    STDMETHOD(GetRowValue)(LONG row, LONG* out) = 0;              // 16
    STDMETHOD(SetRowValue)(LONG row, LONG value) = 0;             // 17
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;                 // 18
};
TESK_IID(IEventSinkTable, 0x5E);

// Slot 49 of a bound object: called for each firing of a row it sinks.
typedef HRESULT(STDMETHODCALLTYPE* PFNSINKEVENT)(IUnknown* sink, IEventSinkTable* table,
                                                 LONG argument);
enum { SINK_EVENT_SLOT = 49 };

class CEventSinkTable : public IEventSinkTable {
public:
    CEventSinkTable();
    virtual ~CEventSinkTable();
    CEventSinkTable(const CEventSinkTable&) = delete;
    CEventSinkTable& operator=(const CEventSinkTable&) = delete;

    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(Load)(ITeskStream* stream) override;
    STDMETHOD(Save)(ITeskStream* stream) override;
    STDMETHOD(GetRowCount)(LONG* out) override;
    STDMETHOD_(int, IsBadRow)(LONG row) override;
    STDMETHOD(GetRowName)(LONG row, char* buffer, int size) override;
    STDMETHOD(FindRow)(const char* name, LONG* index) override;
    STDMETHOD(AddSink)(LONG row, IUnknown* sink) override;
    STDMETHOD(RemoveSink)(LONG row, IUnknown* sink) override;
    STDMETHOD(IsSinkInRow)(LONG row, IUnknown* sink) override;
    STDMETHOD(GetRowMaximum)(LONG, LONG* out) override { return Constant(100, out); }
    STDMETHOD(GetRowMinimum)(LONG, LONG* out) override { return Constant(0, out); }
    STDMETHOD(GetRowLineStep)(LONG, LONG* out) override { return Constant(1, out); }
    STDMETHOD(GetRowPageStep)(LONG, LONG* out) override { return Constant(10, out); }
    STDMETHOD(GetRowValue)(LONG, LONG* out) override { return Constant(0, out); }
    STDMETHOD(SetRowValue)(LONG, LONG) override { return S_OK; }
    STDMETHOD_(void, DeleteThis)(UINT) override { ClearRows(); }

    // The class defines its rows; the name is cut to 31 bytes.
    int AddRow(const char* name);
    // Calls slot 49 of every sink of the row, in order.
    HRESULT FireEvent(LONG row, LONG argument);
    void ClearRows();

private:
    struct Row {
        char name[32];
        std::vector<IUnknown*> sinks;  // counted
    };
    static HRESULT Constant(LONG value, LONG* out) {
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }
    std::vector<Row> m_rows;
};
