// Fixed-layout records that cross the boundary between the player and the
// database library. Their offsets are a binary contract of the 32-bit
// programs; the 64-bit build keeps the fields in order with a wider VARIANT.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <stddef.h>

#pragma pack(push, 4)

// Names a table or query, a field and a record position. Caller-owned,
// zero-filled before use.
struct DataSourceDescriptor {
    char objectName[32];  // the bound object's name, or zero
    char sourceName[64];  // table or query name, at most 63 bytes
    char fieldName[64];   // at most 63 bytes
    LONG position;        // record number from 0, or a move code
    LONG relative;        // 1: position is added to the current one
    LONG isQuery;         // written by the library: 1 query, 0 table
};

// One field of a new or changed record.
struct FieldValuePair {
    char fieldName[64];
    LONG linkFlag;  // non-zero: the value is the name of a linked media file
    LONG reserved;
    VARIANT value;  // initialised and cleared by the caller
};

// Posted with message 1127; allocated by the library, freed through it.
struct DataSourceNotice {
    char sourceName[64];
    char fieldName[64];
    char objectName[32];
    LONG isQuery;
    LONG kind;
};

#pragma pack(pop)

// Record positions: move codes.
enum {
    DB_MOVE_FIRST = 0,
    DB_MOVE_PREVIOUS = 999999997,
    DB_MOVE_NEXT = 999999998,
    DB_MOVE_LAST = 999999999,
};

// The player window message that carries a DataSourceNotice.
enum { WM_DB_NOTICE = 1127 };

static_assert(sizeof(DataSourceDescriptor) == 172, "descriptor layout");
static_assert(offsetof(DataSourceDescriptor, position) == 160, "descriptor layout");
static_assert(offsetof(DataSourceDescriptor, isQuery) == 168, "descriptor layout");
static_assert(sizeof(DataSourceNotice) == 168, "notice layout");
static_assert(offsetof(DataSourceNotice, kind) == 164, "notice layout");
static_assert(offsetof(FieldValuePair, linkFlag) == 64, "pair layout");
#if !defined(_WIN64)
static_assert(offsetof(FieldValuePair, value) == 72, "pair layout");
static_assert(sizeof(FieldValuePair) == 88, "pair layout");
#endif
