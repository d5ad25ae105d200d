#include "bListEnumerator.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

// A pin that only counts its references.
class CountedPin : public IPin {
public:
    LONG refs = 1;
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP Disconnect() override { return E_NOTIMPL; }
    STDMETHODIMP ConnectedTo(IPin**) override { return E_NOTIMPL; }
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryDirection(PIN_DIRECTION*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryId(LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override { return E_NOTIMPL; }
    STDMETHODIMP BeginFlush() override { return E_NOTIMPL; }
    STDMETHODIMP EndFlush() override { return E_NOTIMPL; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return E_NOTIMPL; }
};

}  // namespace

// Pins: each handed with a reference; the list's own references go with the
// enumerator; Skip past the end and a clone keep their places.
TEST(ListEnumerator, PinsAreHandedWithAReferenceAndPositionsFollowTheCalls) {
    CountedPin a, b;
    {
        CComPtr<IPin> list[] = {&a, &b};
        IEnumPins* e = nullptr;
        ASSERT_EQ(CPinEnumerator::Create(list, 2, &e), S_OK);
        EXPECT_EQ(a.refs, 3);  // the test's list and the enumerator's copy
        IPin* got[3] = {};
        ULONG fetched = 9;
        EXPECT_EQ(e->Next(3, got, &fetched), S_FALSE);
        EXPECT_EQ(fetched, 2u);
        EXPECT_EQ(got[0], &a);
        EXPECT_EQ(got[1], &b);
        EXPECT_EQ(a.refs, 4);
        got[0]->Release();
        got[1]->Release();
        EXPECT_EQ(e->Next(1, got, nullptr), S_FALSE);  // at the end
        EXPECT_EQ(e->Reset(), S_OK);
        EXPECT_EQ(e->Skip(1), S_OK);
        IEnumPins* clone = nullptr;
        ASSERT_EQ(e->Clone(&clone), S_OK);
        EXPECT_EQ(clone->Next(1, got, nullptr), S_OK);
        EXPECT_EQ(got[0], &b);
        got[0]->Release();
        EXPECT_EQ(e->Skip(5), S_FALSE);
        EXPECT_EQ(e->Next(1, got, nullptr), S_FALSE);
        // Asking for more than one needs the count.
        EXPECT_EQ(clone->Reset(), S_OK);
        EXPECT_EQ(clone->Next(2, got, nullptr), E_POINTER);
        clone->Release();
        e->Release();
    }
    EXPECT_EQ(a.refs, 1);
    EXPECT_EQ(b.refs, 1);
}

// Media types: the caller gets its own copy of the structure and of the
// format block, which the list's later changes do not touch.
TEST(ListEnumerator, MediaTypesAreCopiedWithTheirFormatBlocks) {
    BYTE format[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    AM_MEDIA_TYPE type = {};
    type.majortype = MEDIATYPE_Video;
    type.subtype = MEDIASUBTYPE_RGB32;
    type.formattype = FORMAT_VideoInfo;
    type.cbFormat = sizeof(format);
    type.pbFormat = format;
    IEnumMediaTypes* e = nullptr;
    ASSERT_EQ(CMediaTypeEnumerator::Create(&type, 1, &e), S_OK);
    format[0] = 99;  // the enumerator kept its own copy
    AM_MEDIA_TYPE* got = nullptr;
    ASSERT_EQ(e->Next(1, &got, nullptr), S_OK);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->subtype, MEDIASUBTYPE_RGB32);
    ASSERT_EQ(got->cbFormat, sizeof(format));
    ASSERT_NE(got->pbFormat, format);
    EXPECT_EQ(got->pbFormat[0], 1);
    EXPECT_EQ(got->pbFormat[7], 8);
    MediaTypeClear(got);
    CoTaskMemFree(got);
    e->Release();
}
