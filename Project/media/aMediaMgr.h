// The media manager of a work: maps a media name to a file on disk or to a
// stream embedded in the package's "MediaData", copies embedded media out to
// temporary files for players that need a file name, keeps the external
// files and answers media-type questions.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "aExtFile.h"
#include "aMediaIdx.h"
#include "aStorage.h"

class CProject;
class IProjectDocument;

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
     DWORD* size) = 0;                                                                    // 6
    STDMETHOD(EditOp7)(void* a, void* b) = 0;                                             // 7
    STDMETHOD(EditOp8)(void* a, void* b) = 0;                                             // 8
    STDMETHOD(EditOp9)(void* a, void* b) = 0;                                             // 9
    STDMETHOD(EditOp10)(void* a, void* b) = 0;                                            // 10
    STDMETHOD(EditOp11)(void* a, void* b) = 0;                                            // 11
    STDMETHOD(EditOp12)(void* a, void* b) = 0;                                            // 12
    STDMETHOD(EditOp13)(void** out) = 0;                                                  // 13
    STDMETHOD(GetMediaType)(const char* name, int* type, int* subtype) = 0;               // 14
    STDMETHOD(MediaTypeFromFileName)(const char* fileName, int* type, int* subtype) = 0;  // 15
    STDMETHOD(EditOp16)(void* a, void* b) = 0;                                            // 16
    STDMETHOD(EditOp17)(void* a, void* b) = 0;                                            // 17
    STDMETHOD(EditOp18)(void* a, void* b) = 0;                                            // 18
    STDMETHOD(EditOp19)(void* a, void* b) = 0;                                            // 19
    STDMETHOD(EditOp20)(void* a, void* b) = 0;                                            // 20
    STDMETHOD(EditOp21)(void* a, void* b) = 0;                                            // 21
    STDMETHOD(EditOp22)(void* a, void* b) = 0;                 // 22 E_NOTIMPL
    STDMETHOD(EditOp23)(void* a, void* b) = 0;                 // 23
    STDMETHOD(EditOp24)(void* a, void* b) = 0;                 // 24
    STDMETHOD(EditOp25)(void* a, void* b) = 0;                 // 25
    STDMETHOD(EditOp26)(void* a, void* b) = 0;                 // 26
    STDMETHOD(IsFileMedia)(const char* name, BYTE* flag) = 0;  // 27
    STDMETHOD(EditOp28)(void* a, void* b) = 0;                 // 28
    STDMETHOD(EditOp29)(void* a, void* b) = 0;                 // 29
    // The database library asks whether a name is a media name.
    STDMETHOD(IsMediaName)(const char* name, BOOL* out) = 0;  // 30 E_NOTIMPL
    STDMETHOD(EditOp31)(void* a, void* b) = 0;                // 31 E_NOTIMPL
    STDMETHOD(ExtractMediaToTempFile)(const char* name, char* path, int length) = 0;  // 32
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;                                     // 33
};
DECLARE_IID(IMediaManager, 0xC0BC260A, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

class CMediaManager : public CComObjectRootBase, public IMediaManager {
public:
    BEGIN_COM_MAP(CMediaManager)
    COM_INTERFACE_ENTRY(IMediaManager)
    END_COM_MAP()

    // The project decides the layout of embedded streams by its version.
    explicit CMediaManager(CProject* project);
    virtual ~CMediaManager();

    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        return _InternalQueryInterface(iid, ppv);
    }
    STDMETHOD_(ULONG, AddRef)() override { return InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override;

    STDMETHOD(GetMediaFilePath)(const char* name, int unused, char* path, int length) override;
    STDMETHOD(GetDefaultExtension)(const char* name, char* buffer, int length) override;
    STDMETHOD(GetExternalFilePath)(const char* name, char* path, int length) override;
    STDMETHOD(ReadMediaData)
    (const char* name, int unused1, int unused2, void* buffer, DWORD* size) override;
    STDMETHOD(EditOp7)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp8)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp9)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp10)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp11)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp12)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp13)(void** out) override {
        if (out)
            *out = nullptr;
        return S_OK;
    }
    STDMETHOD(GetMediaType)(const char* name, int* type, int* subtype) override;
    STDMETHOD(MediaTypeFromFileName)(const char* fileName, int* type, int* subtype) override;
    STDMETHOD(EditOp16)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp17)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp18)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp19)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp20)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp21)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp22)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp23)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp24)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp25)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp26)(void*, void*) override { return S_OK; }
    STDMETHOD(IsFileMedia)(const char* name, BYTE* flag) override;
    STDMETHOD(EditOp28)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp29)(void*, void*) override { return S_OK; }
    STDMETHOD(IsMediaName)(const char*, BOOL*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp31)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(ExtractMediaToTempFile)(const char* name, char* path, int length) override;
    STDMETHOD_(void, DeleteThis)(UINT flags) override;

    // Stores the document (runtime path, view window) and wires the tables.
    void SetDocument(IProjectDocument* document);
    IProjectDocument* GetDocument() const { return m_pDocument; }
    CProject* GetProject() const { return m_pProject; }
    // The project's minor format version (16 without a project): below 8
    // the index and embedded streams have no media header.
    int GetFormatVersion() const;
    // The runtime file's path, or "" without a document.
    const char* GetRuntimePath() const;
    // Releases any "MediaData" held and opens the one of this storage.
    HRESULT OpenMediaData(ITeskStorage* storage);
    bool HasMediaData() const { return m_pMediaData != nullptr; }
    // Empties the item, folder and external-file tables.
    void Clear();

    CRtMediaItem* GetRtMediaItemByName(const char* name) const;
    CRtMediaItemArray& GetItems() { return m_items; }
    CRtMediaFolderArray& GetFolders() { return m_folders; }
    CExFileTable& GetExFiles() { return m_exFiles; }
    // Temporary files made so far (for checks).
    int GetTempFileCount() const { return (int)m_tempFiles.size(); }

private:
    struct TempFile {
        char name[32];
        char path[260];
    };
    HWND ViewWindow() const;

    CProject* m_pProject;           // owner
    IProjectDocument* m_pDocument;  // borrowed
    ITeskStorage* m_pMediaData;     // one reference
    CRtMediaItemArray m_items;
    CRtMediaFolderArray m_folders;
    CExFileTable m_exFiles;
    std::vector<TempFile*> m_tempFiles;
};
