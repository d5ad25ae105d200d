// Enumerators over a fixed list, as filters hand them out: a filter's pins
// (each handed with a reference) and a pin's media types (each handed as a
// task-memory copy, format block included). One template serves both.
#pragma once

#include "bComBase.h"

#include <dshow.h>

#include <vector>

// A deep copy of a media type: the format block in task memory, the
// interface with a reference. E_OUTOFMEMORY leaves *to empty.
HRESULT MediaTypeCopy(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE* to);
// Frees what MediaTypeCopy made (the structure itself stays).
void MediaTypeClear(AM_MEDIA_TYPE* type);

// How an item is kept by the list and handed to the caller.
template <class Item>
struct ListEnumeratorItem;

template <>
struct ListEnumeratorItem<IPin*> {
    typedef CComPtr<IPin> Kept;
    static HRESULT Hand(const Kept& kept, IPin** out) {
        kept.CopyTo(out);
        return S_OK;
    }
};

template <>
struct ListEnumeratorItem<AM_MEDIA_TYPE*> {
    typedef AM_MEDIA_TYPE Kept;
    static HRESULT Hand(const Kept& kept, AM_MEDIA_TYPE** out) {
        *out = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (!*out)
            return E_OUTOFMEMORY;
        HRESULT hr = MediaTypeCopy(kept, *out);
        if (FAILED(hr)) {
            CoTaskMemFree(*out);
            *out = nullptr;
        }
        return hr;
    }
};

// Enum is the enumerator interface (IEnumPins, IEnumMediaTypes), Item what
// its Next hands out. The list is copied at creation (media types deeply),
// so an enumerator outlives the filter's own list.
template <class Enum, class Item>
class CListEnumerator : public CComObjectRootBase, public Enum {
public:
    typedef ListEnumeratorItem<Item> Traits;
    typedef typename Traits::Kept Kept;

    BEGIN_COM_MAP(CListEnumerator)
    COM_INTERFACE_ENTRY(Enum)
    END_COM_MAP()

    CListEnumerator() : m_at(0) {}
    ~CListEnumerator() { Clear(); }

    // A new enumerator over copies of the items, at position 0.
    static HRESULT Create(const Kept* items, ULONG count, Enum** out) {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        CComObject<CListEnumerator>* e = new (std::nothrow) CComObject<CListEnumerator>();
        if (!e)
            return E_OUTOFMEMORY;
        e->AddRef();
        HRESULT hr = e->Assign(items, count, 0);
        if (FAILED(hr)) {
            e->Release();
            return hr;
        }
        *out = e;
        return S_OK;
    }

    STDMETHOD(Next)(ULONG count, Item* items, ULONG* fetched) override {
        if (!items || (count > 1 && !fetched))
            return E_POINTER;
        ULONG n = 0;
        while (n < count && m_at < m_items.size()) {
            HRESULT hr = Traits::Hand(m_items[m_at], &items[n]);
            if (FAILED(hr))
                break;
            ++n;
            ++m_at;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHOD(Skip)(ULONG count) override {
        const size_t left = m_items.size() - m_at;
        if (count > left) {
            m_at = m_items.size();
            return S_FALSE;
        }
        m_at += count;
        return S_OK;
    }
    STDMETHOD(Reset)() override {
        m_at = 0;
        return S_OK;
    }
    STDMETHOD(Clone)(Enum** out) override {
        HRESULT hr = Create(m_items.data(), (ULONG)m_items.size(), out);
        if (SUCCEEDED(hr))
            static_cast<CListEnumerator*>(*out)->m_at = m_at;
        return hr;
    }

private:
    HRESULT Assign(const Kept* items, ULONG count, size_t at);
    void Clear();

    std::vector<Kept> m_items;
    size_t m_at;
};

template <class Enum, class Item>
HRESULT CListEnumerator<Enum, Item>::Assign(const Kept* items, ULONG count, size_t at) {
    m_items.assign(items, items + count);
    m_at = at;
    return S_OK;
}

template <class Enum, class Item>
void CListEnumerator<Enum, Item>::Clear() {
    m_items.clear();
}

// Media types own their format blocks: copied deeply, freed on clearing.
template <>
inline HRESULT CListEnumerator<IEnumMediaTypes, AM_MEDIA_TYPE*>::Assign(const Kept* items,
                                                                        ULONG count, size_t at) {
    m_items.reserve(count);
    for (ULONG i = 0; i < count; ++i) {
        AM_MEDIA_TYPE copy;
        HRESULT hr = MediaTypeCopy(items[i], &copy);
        if (FAILED(hr))
            return hr;
        m_items.push_back(copy);
    }
    m_at = at;
    return S_OK;
}

template <>
inline void CListEnumerator<IEnumMediaTypes, AM_MEDIA_TYPE*>::Clear() {
    for (AM_MEDIA_TYPE& t : m_items) MediaTypeClear(&t);
    m_items.clear();
}

typedef CListEnumerator<IEnumPins, IPin*> CPinEnumerator;
typedef CListEnumerator<IEnumMediaTypes, AM_MEDIA_TYPE*> CMediaTypeEnumerator;
