// Script variables: named VARIANT values in three scopes (the work's global
// variables, the variables of a canvas and the locals of a running action
// list), their stored lists and the application-state ini file.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <stddef.h>

#include <string>

struct ITeskStream;

// Scope part of a variable identifier (identifier = index * 32 + scope).
enum {
    VAR_SCOPE_GLOBAL = 1,
    VAR_SCOPE_CANVAS = 2,
    VAR_SCOPE_LOCAL = 3,
    VAR_ID_SHIFT = 5,
    VAR_NOT_FOUND = -1
};

inline int MakeVarId(int index, int scope) {
    return (index << VAR_ID_SHIFT) + scope;
}

// The variables of one scope owner: names with current and initial values.
class CVarList {
public:
    CVarList();
    ~CVarList();
    CVarList(const CVarList&) = delete;
    CVarList& operator=(const CVarList&) = delete;

    int GetCount() const { return m_count; }
    // Index of the name (exact multibyte comparison) or -1.
    int Find(const char* name) const;
    const char* GetName(int index) const;
    // Values of a record; an index outside the list gives the spare record.
    VARIANT* GetValue(int index);
    VARIANT* GetInitial(int index);

    // Takes copies of the name and both values; position -1 appends.
    bool Insert(int position, const char* name, const VARIANT& value, const VARIANT& initial);
    void RemoveAt(int index);
    void Clear();
    // Room for `capacity` records without growing again.
    bool Reserve(int capacity);
    // Moves every record of `from` to the end of this list; `from` is left
    // empty. False (nothing moved) when there is no room.
    bool TakeAll(CVarList& from);

private:
    struct Record {
        char* name;
        VARIANT value;
    };
    bool Grow();

    Record* m_records;
    VARIANT* m_initial;  // parallel to m_records
    int m_count;
    int m_capacity;
    Record m_spare;
    VARIANT m_spareInitial;
};

class VariableManager {
public:
    VariableManager();
    virtual ~VariableManager();

    // The lists are borrowed; the canvas and local lists are rebound for
    // every action-list run.
    void SetGlobalList(CVarList* list) { m_global = list; }
    void SetCanvasList(CVarList* list) { m_canvas = list; }
    void SetLocalList(CVarList* list) { m_local = list; }
    CVarList* GetGlobalList() const { return m_global; }
    CVarList* GetCanvasList() const { return m_canvas; }
    CVarList* GetLocalList() const { return m_local; }

    // Local, then canvas, then global; the identifier or VAR_NOT_FOUND.
    int Find(const char* name) const;
    int FindLocal(const char* name) const;

    // Copies the value (arrays by SafeArrayCopy) into out, which must hold a
    // valid VARIANT.
    bool GetValue(int id, VARIANT* out);
    bool GetValueByName(const char* name, VARIANT* out);
    // The text of the string variable of that name; false (out untouched)
    // when there is none or it holds another type.
    bool GetStringValue(const char* name, std::string* out);
    // The stored value itself, for reading without a copy; null when the
    // identifier names no scope.
    const VARIANT* PeekValue(int id);
    // Assigns with conversion to the variable's type; an array is taken only
    // by an array variable of the same type. The old value stays on failure.
    bool SetValue(int id, const VARIANT& value);

    // New local variable; the initial value is parsed from the text by type.
    bool Declare(const char* name, VARTYPE type, const char* initialText, int position);
    // New local array of VARIANT elements with lower bounds 0, every element
    // set to the parsed initial value.
    bool DeclareArray(const char* name, VARTYPE type, const int* sizes, int count,
                      const char* initialText);

    void RemoveAt(CVarList* list, int index);
    void Clear(CVarList* list);

    // Reads a stored variable list from the stream's position and appends
    // its variables; the stream is left after the list. With reset the
    // current values start as the initial values. A damaged list is logged
    // and refused as a whole.
    bool LoadList(CVarList* list, ITeskStream* stream, bool reset);
    // The same from bytes in memory; *used receives the bytes taken.
    bool LoadList(CVarList* list, const void* data, size_t size, size_t* used, bool reset);

    // Global variables named in a comma list, to and from an ini section as
    // "type,text".
    bool LoadFromIni(const char* iniPath, const char* section, const char* names);
    bool SaveToIni(const char* iniPath, const char* section, const char* names);

private:
    CVarList* ListOf(int scope) const;

    CVarList* m_global;
    CVarList* m_canvas;
    CVarList* m_local;
};

// The value a declaration starts with, from its text: VT_I4 by atoi, VT_R8
// by atof, VT_BSTR the text, VT_BOOL 1 for "真" and 0 otherwise; VT_CY and
// VT_DATE a zero of their type; anything else empty.
void ParseInitialValue(VARTYPE type, const char* text, VARIANT* out);

// atoi with the C runtime's overflow rule made explicit: out-of-range
// values saturate.
LONG ScriptAtoi(const char* text);

// The application-state ini: "mavroappl.ini" in the Windows folder.
// Tests point it elsewhere with SetAppStateIniPath; null restores it.
void SetAppStateIniPath(const char* path);
bool GetAppStateIniPath(char* buffer, int size);
// "APPL_%016I64x_VARS" or "APPL_%016I64x_PROGRESS" for a project.
void FormatAppStateSection(char* buffer, int size, ULONGLONG projectId, bool progress);
