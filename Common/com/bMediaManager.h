// The media manager of a work as the project and the database library reach
// it. Slot numbers count IUnknown's three as 0 to 2; the database library
// calls across its module boundary, so every slot's arguments are fixed.
#pragma once

#include "bComBase.h"

// {C0BC260A-1049-11D4-9EEB-00104B04B807}
// Names are ANSI texts compared without regard to case. The editing slots do
// nothing in the player.
struct IMediaManager : public IUnknown {
    STDMETHOD(GetMediaFilePath)(const char* name, int unused, char* path, int length) = 0;  // 3
    STDMETHOD(GetDefaultExtension)(const char* name, char* buffer, int length) = 0;         // 4
    STDMETHOD(GetExternalFilePath)(const char* name, char* path, int length) = 0;           // 5
    // With a null buffer *size receives the length; with a buffer *size is its
    // capacity on entry and the bytes written on return.
    STDMETHOD(ReadMediaData)
    (const char* name, int unused1, int unused2, void* buffer,
     DWORD* size) = 0;                         // 6
    STDMETHOD(EditOp7)(void* a, void* b) = 0;  // 7
    STDMETHOD(EditOp8)(void* a, void* b) = 0;  // 8
    // A database record now stores (or no longer stores) this linked name.
    STDMETHOD(MediaNameStored)(const char* name) = 0;                                     // 9
    STDMETHOD(MediaNameRemoved)(const char* name) = 0;                                    // 10
    STDMETHOD(EditOp11)(void* a, void* b) = 0;                                            // 11
    STDMETHOD(EditOp12)(void* a, void* b) = 0;                                            // 12
    STDMETHOD(EditOp13)(void** out) = 0;                                                  // 13
    STDMETHOD(GetMediaType)(const char* name, int* type, int* subtype) = 0;               // 14
    STDMETHOD(MediaTypeFromFileName)(const char* fileName, int* type, int* subtype) = 0;  // 15
    STDMETHOD(EditOp16)(void* a, void* b) = 0;                                            // 16
    STDMETHOD(EditOp17)(void* a, void* b) = 0;                                            // 17
    // Lets the user choose a media item or file of the kinds in the mask;
    // negative when nothing was chosen.
    STDMETHOD(ChooseMedia)(int kindMask, int flags, char* buffer, int size) = 0;  // 18
    STDMETHOD(EditOp19)(void* a, void* b) = 0;                                    // 19
    STDMETHOD(EditOp20)(void* a, void* b) = 0;                                    // 20
    // The buffer holds a table name on entry and the one to use on return.
    STDMETHOD(RegisterLinkedFile)(const char* path, int unused, char* buffer, int size) = 0;  // 21
    STDMETHOD(EditOp22)(void* a, void* b) = 0;                 // 22 E_NOTIMPL
    STDMETHOD(EditOp23)(void* a, void* b) = 0;                 // 23
    STDMETHOD(EditOp24)(void* a, void* b) = 0;                 // 24
    STDMETHOD(EditOp25)(void* a, void* b) = 0;                 // 25
    STDMETHOD(EditOp26)(void* a, void* b) = 0;                 // 26
    STDMETHOD(IsFileMedia)(const char* name, BYTE* flag) = 0;  // 27
    STDMETHOD(EditOp28)(void* a, void* b) = 0;                 // 28
    // Stores media bytes as an item and writes its name into the block.
    STDMETHOD(StoreMediaData)
    (int kind, int subtype, const void* data, int length, int unused, char* nameBlock,
     int blockSize) = 0;  // 29
    // Zero when a media item has that name, non-zero when it is free.
    STDMETHOD(IsMediaName)(const char* name) = 0;  // 30
    STDMETHOD(EditOp31)(void* a, void* b) = 0;     // 31 E_NOTIMPL
    STDMETHOD(ExtractMediaToTempFile)(const char* name, char* path, int length) = 0;  // 32
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;                                     // 33
};
DECLARE_IID(IMediaManager, 0xC0BC260A, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);
