#include "ProjectWriter.h"

#include <windows.h>

#include <algorithm>

std::string WideUnits(const std::string& text, size_t units) {
    std::wstring wide;
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), (int)text.size(), nullptr, 0);
    if (n > 0) {
        wide.resize((size_t)n);
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), (int)text.size(), &wide[0], n);
    }
    CByteWriter w;
    for (size_t i = 0; i < units; ++i) w.U16(i < wide.size() ? (uint16_t)wide[i] : 0);
    return w.Str();
}

std::string StreamString(const std::string& text) {
    CByteWriter w;
    w.U32((uint32_t)text.size());
    if (!text.empty())
        w.Bytes(WideUnits(text, text.size()));
    return w.Str();
}

std::string CountedText(const std::string& text) {
    CByteWriter w;
    w.U16((uint16_t)text.size());
    if (!text.empty())
        w.Bytes(WideUnits(text, text.size()));
    return w.Str();
}

// ---------------------------------------------------------------------------
// PrjInfo

std::string MakePrjInfoHeader(const PrjInfoSpec& s) {
    CByteWriter w;
    w.U32(s.headerSize)          // 0: header size
        .U32(0)                  // 4: not read
        .U16((uint16_t)s.mode)   // 8: body compression mode
        .U16(0)                  // 10
        .U32(s.magic)            // 12: magic
        .U16((uint16_t)s.major)  // 16
        .U16((uint16_t)s.minor)  // 18
        .Zeros(12)               // 20
        .U64(s.created)          // 32: creation stamp
        .U64(s.createdBy)        // 40: writer's file version
        .Zeros(16)               // 48
        .U64(s.created + 1)      // 64: save stamp
        .U64(s.createdBy)        // 72
        .Zeros(16)               // 80
        .Zeros(160);             // 96
    return w.Str();
}

std::string MakePrjInfoBodyRaw(const PrjInfoSpec& s) {
    if (s.rawBodySet)
        return s.rawBody;
    CByteWriter w;
    w.U32(s.options).U32(s.holdTime).U32(s.backgroundColor).U32(s.flags);
    if (s.flags & 0x10)
        w.Bytes(CountedText(s.extraText));
    for (const std::string& t : s.texts) w.Bytes(CountedText(t));
    if (s.flags & 0x40)
        for (const std::string& t : s.furtherTexts) w.Bytes(CountedText(t));
    w.Bytes(s.tail);
    return w.Str();
}

std::string MakePrjInfo(const PrjInfoSpec& s) {
    return MakePrjInfoHeader(s) + MakeBody(MakePrjInfoBodyRaw(s), s.mode);
}

// ---------------------------------------------------------------------------
// Indexes

std::string MakeIndex(uint32_t count, uint32_t nextFree, const std::string& records, int mode) {
    std::string body = MakeBody(records, mode);
    CByteWriter w;
    w.U32(32)                               // 0: header size
        .U32((uint32_t)(32 + body.size()))  // 4: whole stream
        .U32(0)                             // 8
        .U32(count)                         // 12: entries
        .U32(nextFree)                      // 16
        .U32((uint32_t)mode)                // 20
        .Zeros(8);                          // 24
    return w.Str() + body;
}

std::string PageRecordBytes(const PageRecord& p) {
    return WideUnits(p.name, 16) + WideUnits(p.title, 128) + WideUnits(p.background, 16) +
           WideUnits(p.foreground, 16) + WideUnits(p.child, 16) + WideUnits(p.next, 16);
}

std::string MakePageIndex(const std::vector<PageRecord>& pages, uint32_t nextFree, int mode) {
    std::string records;
    for (const PageRecord& p : pages) records += PageRecordBytes(p);
    return MakeIndex((uint32_t)pages.size(), nextFree, records, mode);
}

std::string MakeCanvasList(const std::vector<std::string>& names, uint32_t nextFree, int mode) {
    std::string records;
    for (const std::string& n : names) records += WideUnits(n, 16);
    return MakeIndex((uint32_t)names.size(), nextFree, records, mode);
}

// ---------------------------------------------------------------------------
// Media

std::string FolderRecordBytes(const FolderRecord& f) {
    return StreamString(f.name) + StreamString(f.location);
}

std::string ItemRecordBytes(const ItemRecord& i) {
    CByteWriter w;
    w.Bytes(StreamString(i.name))
        .U32(0)
        .U32((uint32_t)i.type)
        .U32((uint32_t)i.subtype)
        .U32(i.flags);
    if ((i.flags & 0x0F) == 2)
        w.U32(i.streamValue);
    else
        w.Bytes(StreamString(i.location));
    return w.Str();
}

std::string ExFileRecordBytes(const ExFileRecord& e) {
    return StreamString(e.name) + StreamString(e.fileName);
}

std::string MakeMediaHeader(uint32_t count, int mode, uint32_t size) {
    CByteWriter w;
    w.U32(size).Zeros(8).U32(count).U32(0).U32((uint32_t)mode).Zeros(8);
    return w.Str();
}

template <class T, class F>
static std::string Records(const std::vector<T>& list, F bytes) {
    std::string out;
    for (const T& r : list) out += bytes(r);
    return out;
}

static std::string U32Bytes(uint32_t v) {
    CByteWriter w;
    w.U32(v);
    return w.Str();
}

std::string MakeMPathIndex(const std::vector<FolderRecord>& folders, int mode) {
    uint32_t n = (uint32_t)folders.size();
    return MakeMediaHeader(n, mode) +
           MakeBody(U32Bytes(n) + Records(folders, FolderRecordBytes), mode);
}

std::string MakeMediaIndex(const std::vector<ItemRecord>& items, int mode) {
    uint32_t n = (uint32_t)items.size();
    return MakeMediaHeader(n, mode) + MakeBody(U32Bytes(n) + Records(items, ItemRecordBytes), mode);
}

std::string MakeExFileIndex(const std::vector<ExFileRecord>& files, int mode) {
    return MakeMediaHeader((uint32_t)files.size(), mode) +
           MakeBody(Records(files, ExFileRecordBytes), mode);
}

std::string MakeOldMediaIndex(const std::vector<FolderRecord>& folders,
                              const std::vector<ItemRecord>& items) {
    return U32Bytes((uint32_t)folders.size()) + Records(folders, FolderRecordBytes) +
           U32Bytes((uint32_t)items.size()) + Records(items, ItemRecordBytes);
}

std::string MakeMediaStream(const std::string& bytes, int minor, int mode) {
    if (minor < 8)
        return bytes;
    return MakeMediaHeader(0, mode) + MakeBody(bytes, mode);
}

// ---------------------------------------------------------------------------
// Whole works

std::string MakeEmptyCanvasInfo(int kind) {
    CByteWriter w;
    w.U32(32).U32(32).U32((uint32_t)kind).U32(3).U32(0).U32(0).U32(2).U32(0);
    return w.Str();
}

namespace {

// The records of ObjData one after another, and where each begins.
std::string ObjDataBody(const CanvasSpec& c, std::vector<uint32_t>* offsets) {
    CByteWriter d;
    for (const CanvasObjectSpec& o : c.objects) {
        offsets->push_back((uint32_t)d.Size());
        d.U32(o.marker).Bytes(o.record);
    }
    return d.Str();
}

}  // namespace

std::string MakeCanvasInfo(const CanvasSpec& c) {
    std::vector<uint32_t> offsets;
    ObjDataBody(c, &offsets);
    CByteWriter body;
    for (size_t i = 0; i < c.objects.size(); ++i) {
        const CanvasObjectSpec& o = c.objects[i];
        body.U32(o.kept).U32(o.typeId);  // the 24-byte object record
        for (int32_t v : o.schedule) body.U32((uint32_t)v);
        body.WideFixed(o.name.c_str(), 32)                          // 24: name
            .U32((uint32_t)o.group)                                 // 88: group index
            .U32(o.offset >= 0 ? (uint32_t)o.offset : offsets[i]);  // 92: record offset
    }
    body.Bytes(c.eventRecord).Bytes(c.variables).Bytes(c.properties);
    std::string packed = MakeBody(body.Str(), c.mode);
    uint32_t count = c.count >= 0 ? (uint32_t)c.count : (uint32_t)c.objects.size();
    CByteWriter w;
    w.U32(32)                                 // 0: header size
        .U32((uint32_t)(32 + packed.size()))  // 4: whole stream
        .U32((uint32_t)c.kind)                // 8: kind
        .U32(c.version)                       // 12: record format version
        .U32(96 * count)                      // 16: table size
        .U32(count)                           // 20: objects
        .U32((uint32_t)c.mode)                // 24: body mode
        .U32(0);                              // 28
    return w.Str() + packed;
}

std::string MakeObjData(const CanvasSpec& c) {
    if (c.objects.empty())
        return std::string();
    std::vector<uint32_t> offsets;
    return MakeBody(ObjDataBody(c, &offsets), c.mode);
}

std::string SolidFillRecord(uint32_t color, int mode, int pattern, uint32_t patternColor,
                            uint8_t flags) {
    CByteWriter w;
    w.U8(255)
        .U8(flags)
        .U16(0)                  // alpha, flags
        .U32(0)                  // 4: type solid
        .U32((uint32_t)mode)     // 8: mode (1 fill, 2 pattern)
        .U32((uint32_t)pattern)  // 12: pattern
        .U32(patternColor)       // 16: pattern colour
        .U32(4)                  // 20: inner size
        .U32(color);             // the solid fill's colour
    return w.Str();
}

std::string BackgroundProperties(int32_t width, int32_t height, const std::string& fill) {
    CByteWriter w;
    w.U32((uint32_t)width).U32((uint32_t)height).Bytes(fill);
    return w.Str();
}

std::string PageProperties(const PageProps& p) {
    CByteWriter w;
    w.U32(p.flags).U32(p.hold).U32(p.enter).U32(p.leave).U32(p.action);
    w.WideFixed(p.label.c_str(), 16);
    // Enter and leave effects: move, region and mask entries (a class id and
    // the plug-in's record, or 16 zero bytes each); empty: no plug-ins.
    for (const std::string* e : {&p.enterEffect, &p.leaveEffect}) {
        if (e->empty())
            w.Zeros(48);
        else
            w.Bytes(*e);
    }
    uint32_t n = p.soundPath.empty() ? 0 : (uint32_t)p.soundPath.size() + 1;
    w.U32(p.soundFirst).U32(n);
    if (n)
        w.WideFixed(p.soundPath.c_str(), n);
    for (uint32_t v : p.soundValues) w.U32(v);
    if (p.flags & 8) {
        w.U32((uint32_t)p.text.size());
        if (!p.text.empty())
            w.Bytes(WideUnits(p.text, p.text.size()));
    }
    return w.Str();
}

namespace {

bool Omitted(const WorkSpec& w, const char* name) {
    return std::find(w.omit.begin(), w.omit.end(), std::string(name)) != w.omit.end();
}

HRESULT Put(CPackageWriter& pw, const WorkSpec& w, const char* name, const std::string& made) {
    if (Omitted(w, name))
        return S_OK;
    auto it = w.overrides.find(name);
    const std::string& bytes = it != w.overrides.end() ? it->second : made;
    auto tail = w.sparseTails.find(name);
    if (tail == w.sparseTails.end())
        return pw.AddStream(name, bytes);
    CComPtr<ITeskStream> stream;
    HRESULT hr = pw.CreateStream(name, &stream);
    if (FAILED(hr))
        return hr;
    if (!bytes.empty() && stream->Write(bytes.data(), (ULONG)bytes.size()) != bytes.size())
        return E_FAIL;
    // Skip the tail but its last byte, which makes the file that long.
    const char zero = 0;
    if (tail->second) {
        stream->Seek((LONGLONG)(bytes.size() + tail->second - 1), TESK_SEEK_SET);
        if (stream->Write(&zero, 1) != 1)
            return E_FAIL;
    }
    return S_OK;
}

HRESULT PutCanvases(CPackageWriter& pw, const WorkSpec& w, const char* storage,
                    const std::vector<std::string>& names, int kind) {
    if (Omitted(w, storage))
        return S_OK;
    HRESULT hr = pw.BeginStorage(storage);
    for (const std::string& n : names) {
        if (FAILED(hr))
            break;
        if (Omitted(w, n.c_str()))
            continue;
        hr = pw.BeginStorage(n.c_str());
        if (FAILED(hr))
            break;
        auto it = w.canvasInfo.find(n);
        hr = pw.AddStream("CanvasInfo",
                          it != w.canvasInfo.end() ? it->second : MakeEmptyCanvasInfo(kind));
        auto data = w.objData.find(n);
        if (SUCCEEDED(hr))
            hr = pw.AddStream("ObjData", data != w.objData.end() ? data->second : std::string());
        HRESULT end = pw.EndStorage();
        if (SUCCEEDED(hr))
            hr = end;
    }
    HRESULT end = pw.EndStorage();
    return FAILED(hr) ? hr : end;
}

}  // namespace

HRESULT WriteWork(const std::string& path, const WorkSpec& w) {
    CPackageWriter pw;
    HRESULT hr = pw.Create(path, w.headerOffset, w.prefix);
    if (FAILED(hr))
        return hr;
    const int minor = w.prjInfo.minor;
    std::vector<std::string> pageNames;
    for (const PageRecord& p : w.pages) pageNames.push_back(p.name);

    if (SUCCEEDED(hr))
        hr = Put(pw, w, "PrjInfo", MakePrjInfo(w.prjInfo));
    if (SUCCEEDED(hr))
        hr = Put(pw, w, "bkgindex", MakeCanvasList(w.backgrounds));
    if (SUCCEEDED(hr))
        hr = Put(pw, w, "frmindex", MakeCanvasList(w.foregrounds));
    if (SUCCEEDED(hr))
        hr = Put(pw, w, "frgindex", MakePageIndex(w.pages));
    if (minor < 8) {
        if (SUCCEEDED(hr))
            hr = Put(pw, w, "MediaIndex", MakeOldMediaIndex(w.folders, w.items));
    } else {
        if (SUCCEEDED(hr))
            hr = Put(pw, w, "MediaIndex", MakeMediaIndex(w.items));
        if (SUCCEEDED(hr))
            hr = Put(pw, w, "MPathIndex", MakeMPathIndex(w.folders));
        if (SUCCEEDED(hr))
            hr = Put(pw, w, "mm_exfile", MakeExFileIndex(w.exFiles));
    }
    if (SUCCEEDED(hr) && !w.functions.empty())
        hr = pw.AddStream("FunctionTable", RoutineTableBytes(w.functions));
    if (SUCCEEDED(hr) && !w.processes.empty())
        hr = pw.AddStream("ProcessTable", RoutineTableBytes(w.processes));
    for (const auto& o : w.overrides) {
        static const char* const kKnown[] = {"PrjInfo",    "bkgindex",   "frmindex", "frgindex",
                                             "MediaIndex", "MPathIndex", "mm_exfile"};
        bool known = false;
        for (const char* k : kKnown) known = known || o.first == k;
        if (!known && SUCCEEDED(hr))
            hr = pw.AddStream(o.first.c_str(), o.second);
    }
    if (w.writeCanvases) {
        if (SUCCEEDED(hr))
            hr = PutCanvases(pw, w, "frgdata", pageNames, 1);
        if (SUCCEEDED(hr))
            hr = PutCanvases(pw, w, "bkgdata", w.backgrounds, 2);
        if (SUCCEEDED(hr))
            hr = PutCanvases(pw, w, "frmdata", w.foregrounds, 3);
    }
    if (SUCCEEDED(hr) && !Omitted(w, "MediaData")) {
        hr = pw.BeginStorage("MediaData");
        for (const auto& m : w.mediaData) {
            if (FAILED(hr))
                break;
            hr = pw.AddStream(m.first.c_str(), MakeMediaStream(m.second, minor));
        }
        HRESULT end = pw.EndStorage();
        if (SUCCEEDED(hr))
            hr = end;
    }
    HRESULT fin = pw.Finish();
    return FAILED(hr) ? hr : fin;
}
