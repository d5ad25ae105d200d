#include "ServiceFakes.h"

#include <string.h>

std::vector<BYTE> FakeDBCore::Block(int type, const std::string& text,
                                    const std::vector<BYTE>& data) {
    std::vector<BYTE> b(4 + text.size() + 1, 0);
    memcpy(b.data(), &type, 4);
    memcpy(b.data() + 4, text.data(), text.size());
    if (!data.empty()) {
        if (b.size() < 264)
            b.resize(264, 0);
        b.insert(b.end(), data.begin(), data.end());
    }
    return b;
}

DataSourceNotice FakeDBCore::Notice(const char* table, const char* field, const char* object) {
    DataSourceNotice n;
    memset(&n, 0, sizeof(n));
    lstrcpynA(n.sourceName, table, sizeof(n.sourceName));
    lstrcpynA(n.fieldName, field, sizeof(n.fieldName));
    lstrcpynA(n.objectName, object, sizeof(n.objectName));
    return n;
}

const FakeDBCore::Field* FakeDBCore::Find(const DataSourceDescriptor* d) const {
    auto it = fields.find(std::string(d->sourceName) + "." + d->fieldName);
    return it == fields.end() ? nullptr : &it->second;
}

STDMETHODIMP FakeDBCore::GetDataSourceFieldValue(DataSourceDescriptor* d, VARIANT* value) {
    asked.push_back(*d);
    VariantInit(value);
    const Field* f = Find(d);
    if (!f)
        return S_OK;
    if (f->vt == VT_BSTR) {
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(L"text");
        return S_OK;
    }
    if (!(f->vt & VT_ARRAY)) {
        value->vt = f->vt;
        return S_OK;
    }
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, (ULONG)f->bytes.size());
    void* data = nullptr;
    SafeArrayAccessData(a, &data);
    if (!f->bytes.empty())
        memcpy(data, f->bytes.data(), f->bytes.size());
    SafeArrayUnaccessData(a);
    value->vt = VT_ARRAY | VT_UI1;
    value->parray = a;
    return S_OK;
}

STDMETHODIMP FakeDBCore::GetDataSourceFieldLinkFlag(DataSourceDescriptor* d, int* flag) {
    ++linkFlagCalls;
    const Field* f = Find(d);
    *flag = f ? f->linkFlag : 0;
    return S_OK;
}

const std::string* FakeMediaManager::Lookup(const std::map<std::string, std::string>& m,
                                            const char* name) const {
    for (const auto& kv : m)
        if (lstrcmpiA(kv.first.c_str(), name) == 0)
            return &kv.second;
    return nullptr;
}

STDMETHODIMP FakeMediaManager::IsFileMedia(const char* name, BYTE* flag) {
    calls.push_back(std::string("external ") + name);
    if (Lookup(files, name)) {
        *flag = 1;
        return S_OK;
    }
    if (Lookup(embedded, name)) {
        *flag = 0;
        return S_OK;
    }
    return E_FAIL;
}

STDMETHODIMP FakeMediaManager::GetMediaFilePath(const char* name, int kind, char* path,
                                                int length) {
    calls.push_back(std::string("path ") + name + " " + std::to_string(kind));
    const std::string* p = Lookup(files, name);
    if (!p)
        return Lookup(embedded, name) ? S_FALSE : E_FAIL;
    lstrcpynA(path, p->c_str(), length);
    return S_OK;
}

STDMETHODIMP FakeMediaManager::ReadMediaData(const char* name, int, int, void* buffer,
                                             DWORD* size) {
    calls.push_back(std::string(buffer ? "read " : "size ") + name);
    const std::string* e = Lookup(embedded, name);
    if (!e)
        return E_FAIL;
    if (!buffer) {
        *size = (DWORD)e->size();
        return S_OK;
    }
    DWORD n = *size < e->size() ? *size : (DWORD)e->size();
    memcpy(buffer, e->data(), n);
    *size = n;
    return S_OK;
}
