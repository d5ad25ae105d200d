#include "aRtfAry.h"

#include <stdlib.h>
#include <string.h>

#include <new>

#include "bByteReader.h"
#include "aPixBuf.h"
#include "bTraceLog.h"

void RtfCharFormat::Reset() {
    memset(this, 0, sizeof(*this));
    size = 24;
    picture = -1;
}

void RtfParaFormat::Reset() {
    memset(this, 0, sizeof(*this));
    tabWidth = 640;
}

void FreeRtfPicture(RtfPicture* picture) {
    if (picture->metafile)
        DeleteEnhMetaFile(picture->metafile);
    if (picture->bitmap)
        picture->bitmap->Release();
    free(picture->data);
    memset(picture, 0, sizeof(*picture));
}

bool ReadRtfPictureRecord(CByteReader& r, RtfPicture* p) {
    memset(p, 0, sizeof(*p));
    CByteReader rec = r.Sub(RTF_PICTURE_RECORD);
    if (rec.Failed())
        return false;
    rec.Skip(4);
    p->scaleX = rec.I32LE();
    p->scaleY = rec.I32LE();
    p->sourceWidth = rec.I32LE();
    p->sourceHeight = rec.I32LE();
    p->kind = rec.I32LE();
    p->mapMode = rec.I32LE();
    p->shownWidth = rec.I32LE();
    p->shownHeight = rec.I32LE();
    p->goalWidth = rec.I32LE();
    p->goalHeight = rec.I32LE();
    rec.Skip(4);  // the handle of the program that wrote it
    p->dataLength = rec.U32LE();
    return rec.Ok();
}

void WriteRtfPictureRecord(const RtfPicture& p, BYTE out[RTF_PICTURE_RECORD]) {
    memset(out, 0, RTF_PICTURE_RECORD);
    const int32_t values[10] = {p.scaleX,    p.scaleY,    p.sourceWidth, p.sourceHeight,
                                p.kind,      p.mapMode,   p.shownWidth,  p.shownHeight,
                                p.goalWidth, p.goalHeight};
    for (int i = 0; i < 10; ++i) PutU32LE(out + 4 + 4 * i, (uint32_t)values[i]);
    PutU32LE(out + 48, p.dataLength);
}

// ---- runs ----

CRTFStrInfoAry::~CRTFStrInfoAry() {
    free(m_items);
}

bool CRTFStrInfoAry::Reserve(int count) {
    if (count <= m_capacity)
        return true;
    void* grown = realloc(m_items, sizeof(StrInfo) * (size_t)count);
    if (!grown)
        return false;
    m_items = static_cast<StrInfo*>(grown);
    m_capacity = count;
    return true;
}

bool CRTFStrInfoAry::Append(const StrInfo& run) {
    // 16 records first, then doubling: a paragraph has a run for every
    // change of format.
    if (m_count == m_capacity && !Reserve(m_capacity ? m_capacity * 2 : 16))
        return false;
    m_items[m_count++] = run;
    return true;
}

void CRTFStrInfoAry::Remove(int index, int count) {
    if (index < 0 || index >= m_count || count <= 0) {
        LOG_MSG("CRTFStrInfoAry::Remove -- the index is an invalid value");
        return;
    }
    if (count > m_count - index) {
        count = m_count - index;
        LOG_MSG(
            "CRTFStrInfoAry::Remove -- the nSize is larger or the Index is wrong, only "
            "remove %d StrInfo Items",
            count);
    }
    memmove(m_items + index, m_items + index + count,
            sizeof(StrInfo) * (size_t)(m_count - index - count));
    m_count -= count;
}

void CRTFStrInfoAry::Clear() {
    free(m_items);
    m_items = nullptr;
    m_capacity = m_count = 0;
}

// ---- text ----

RtfText::~RtfText() {
    free(m_data);
}

bool RtfText::Reserve(int count) {
    if (count < 0 || count > 0x7FFFFF00 - m_length)
        return false;
    if (m_length + count + 1 <= m_capacity)
        return true;
    // Multiples of 32 bytes, at least doubling: a long paragraph is not
    // copied once per 32 bytes.
    int capacity = (m_length + count + 33 + 31) / 32 * 32;
    if (capacity < m_capacity * 2)
        capacity = m_capacity * 2;
    if (capacity < 256)
        capacity = 256;
    void* grown = realloc(m_data, (size_t)capacity);
    if (!grown)
        return false;
    m_data = static_cast<char*>(grown);
    m_capacity = capacity;
    return true;
}

bool RtfText::Append(const void* bytes, int count) {
    if (count <= 0)
        return count == 0;
    if (m_length + count + 1 > m_capacity && !Reserve(count))
        return false;
    memcpy(m_data + m_length, bytes, (size_t)count);
    m_length += count;
    m_data[m_length] = 0;
    return true;
}

void FreeRtfParagraphs(RtfParagraph* first) {
    while (first) {
        RtfParagraph* next = first->next;
        delete first;
        first = next;
    }
}

// ---- hot words ----

rtfHotWordTbl::~rtfHotWordTbl() {
    free(m_items);
}

bool rtfHotWordTbl::InsertHotWord(const rtfHotWord& word) {
    if (m_count == m_capacity) {
        int capacity = (m_count + 1 + 7) / 8 * 8;
        void* grown = realloc(m_items, sizeof(rtfHotWord) * (size_t)capacity);
        if (!grown) {
            LOG_MSG("rtfHotWordTbl::InsertHotWord failed! out of memory");
            return false;
        }
        m_items = static_cast<rtfHotWord*>(grown);
        m_capacity = capacity;
    }
    m_items[m_count++] = word;
    return true;
}

void rtfHotWordTbl::Clear() {
    free(m_items);
    m_items = nullptr;
    m_capacity = m_count = 0;
}

// ---- pictures and documents ----

RtfPicture* RtfPictureArray::Append() {
    RtfPicture p;
    memset(&p, 0, sizeof(p));
    try {
        m_items.push_back(p);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return &m_items.back();
}

void RtfPictureArray::Clear() {
    for (RtfPicture& p : m_items) FreeRtfPicture(&p);
    m_items.clear();
}

void RtfDocument::Clear() {
    FreeRtfParagraphs(first);
    first = nullptr;
    paragraphCount = 0;
    fonts.clear();
    colors.clear();
    pictures.Clear();
    hotWords.Clear();
}

int FindRtfFont(const RtfFontTable& fonts, int number) {
    int lo = 0, hi = (int)fonts.size() - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        if (fonts[mid].number == number)
            return mid;
        if (fonts[mid].number < number)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}
