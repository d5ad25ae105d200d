// An editing host for the preview pane: its site answers IDBEditHost and
// hands out media preview objects that record every call, in order, into
// one shared log ("new", "attach", "kind:2", "data:<path>", "name:x",
// "resize:w,h", "close", "free").
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "DBTestSite.h"
#include "bByteOrder.h"
#include "bDBEditHost.h"

class RecordingPreview final : public IMediaPreviewObject {
public:
    explicit RecordingPreview(std::vector<std::string>* log) : m_log(log) {
        m_log->push_back("new");
    }
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IMediaPreviewObject))) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return (ULONG)++m_refs; }
    STDMETHOD_(ULONG, Release)() override {
        if (--m_refs > 0)
            return (ULONG)m_refs;
        m_log->push_back("free");
        delete this;
        return 0;
    }
    STDMETHOD(Attach)(HWND view, IPlayerSite* host) override {
        m_log->push_back(view && IsWindow(view) && host ? "attach" : "attach:bad");
        return S_OK;
    }
    STDMETHOD(SetMediaKind)(int mask) override {
        m_log->push_back("kind:" + std::to_string(mask));
        return S_OK;
    }
    STDMETHOD(LoadFromData)(const void* content) override {
        // The path follows the 32-bit length.
        const char* path = static_cast<const char*>(content) + 4;
        m_log->push_back("data:" + std::string(path) + ":" + std::to_string(GetU32LE(content)));
        return S_OK;
    }
    STDMETHOD(LoadFromName)(const char* name) override {
        m_log->push_back(std::string("name:") + name);
        return strcmp(name, "broken") == 0 ? E_FAIL : S_OK;
    }
    STDMETHOD(Resize)(int w, int h) override {
        m_log->push_back("resize:" + std::to_string(w) + "," + std::to_string(h));
        return S_OK;
    }
    STDMETHOD(Close)() override {
        m_log->push_back("close");
        return S_OK;
    }

private:
    std::vector<std::string>* m_log;
    int m_refs = 1;
};

// A site whose host offers preview objects (or, with offer false, answers
// success without one, as the player's own stub does).
template <class Site = FakeSite>
class PreviewSite : public Site, public IDBEditHost {
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (IsEqualIID(iid, __uuidof(IDBEditHost))) {
            *ppv = static_cast<IDBEditHost*>(this);
            Site::AddRef();
            return S_OK;
        }
        return Site::QueryInterface(iid, ppv);
    }
    STDMETHOD_(ULONG, AddRef)() override { return Site::AddRef(); }
    STDMETHOD_(ULONG, Release)() override { return Site::Release(); }
    STDMETHOD(StoreDatabasePassword)(const char*) override { return S_OK; }
    STDMETHOD(CreateMediaPreview)(IMediaPreviewObject** out) override {
        *out = offer ? new RecordingPreview(&log) : nullptr;
        return S_OK;
    }
    bool offer = true;
    std::vector<std::string> log;
};
