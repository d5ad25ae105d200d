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
#include "bMediaManager.h"

class CProject;
class IProjectDocument;

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
    STDMETHOD(MediaNameStored)(const char* name) override;
    STDMETHOD(MediaNameRemoved)(const char* name) override;
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
    STDMETHOD(ChooseMedia)(int, int, char*, int) override { return S_OK; }
    STDMETHOD(EditOp19)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp20)(void*, void*) override { return S_OK; }
    STDMETHOD(RegisterLinkedFile)(const char* path, int unused, char* buffer, int size) override;
    STDMETHOD(EditOp22)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp23)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp24)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp25)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp26)(void*, void*) override { return S_OK; }
    STDMETHOD(IsFileMedia)(const char* name, BYTE* flag) override;
    STDMETHOD(EditOp28)(void*, void*) override { return S_OK; }
    STDMETHOD(StoreMediaData)
    (int kind, int subtype, const void* data, int length, int unused, char* nameBlock,
     int blockSize) override;
    STDMETHOD(IsMediaName)(const char*) override { return E_NOTIMPL; }
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
