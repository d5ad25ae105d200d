#include <gtest/gtest.h>

#include <vector>

#include "ObjectTestUtil.h"
#include "TestFiles.h"
#include "aEventSinkTable.h"

namespace {

class Table : public CEventSinkTable {
public:
    STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
};

// A bound object as the table sees it: only IUnknown and slot 49 are called.
struct FakeSink {
    void** vtbl;
    LONG refs = 1;
    std::vector<LONG> args;
    IEventSinkTable* table = nullptr;
    std::vector<int>* order = nullptr;
    int id = 0;

    FakeSink();
    IUnknown* Unknown() { return reinterpret_cast<IUnknown*>(this); }
};

HRESULT STDMETHODCALLTYPE SinkQI(FakeSink*, REFIID, void** ppv) {
    *ppv = nullptr;
    return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE SinkAddRef(FakeSink* s) {
    return ++s->refs;
}
ULONG STDMETHODCALLTYPE SinkRelease(FakeSink* s) {
    return --s->refs;
}
HRESULT STDMETHODCALLTYPE SinkEvent(FakeSink* s, IEventSinkTable* table, LONG arg) {
    s->args.push_back(arg);
    s->table = table;
    if (s->order)
        s->order->push_back(s->id);
    return S_OK;
}
HRESULT STDMETHODCALLTYPE SinkOther(FakeSink*) {
    ADD_FAILURE() << "a slot other than 49 was called";
    return E_FAIL;
}

void** SinkTable() {
    static void* table[50];
    if (!table[0]) {
        for (void*& p : table) p = reinterpret_cast<void*>(SinkOther);
        table[0] = reinterpret_cast<void*>(SinkQI);
        table[1] = reinterpret_cast<void*>(SinkAddRef);
        table[2] = reinterpret_cast<void*>(SinkRelease);
        table[SINK_EVENT_SLOT] = reinterpret_cast<void*>(SinkEvent);
    }
    return table;
}

FakeSink::FakeSink() : vtbl(SinkTable()) {}

std::vector<uint8_t> Le32(std::initializer_list<uint32_t> values) {
    std::vector<uint8_t> b;
    for (uint32_t v : values)
        for (int i = 0; i < 4; ++i) b.push_back((uint8_t)(v >> (8 * i)));
    return b;
}

}  // namespace

TEST(EventSinkTable, SaveThenLoadReadsOnlyTheCount) {
    Table t;
    t.AddRow("Value");
    CComPtr<ITeskStream> s = NewMemStream();
    ASSERT_EQ(S_OK, t.Save(s));
    EXPECT_EQ(4u, s->GetSize());
    s->SetMode(0);
    s->Seek(0, TESK_SEEK_SET);
    EXPECT_EQ(S_OK, t.Load(s));
    EXPECT_EQ(4u, s->GetPosition());
    LONG rows = -1;
    t.GetRowCount(&rows);
    EXPECT_EQ(1, rows);  // loading changes nothing
}

TEST(EventSinkTable, LoadSkipsStoredRowsAndSinks) {
    // rows 1; name length 2, "AB" as UTF-16; sinks 1: length 1, 2 bytes.
    std::vector<uint8_t> b = Le32({1, 2});
    b.insert(b.end(), {'A', 0, 'B', 0});
    auto tail = Le32({1, 1});
    b.insert(b.end(), tail.begin(), tail.end());
    b.insert(b.end(), {'x', 0});
    b.push_back(0x77);  // the next record's first byte
    Table t;
    CComPtr<ITeskStream> s = MemStreamOf(b);
    EXPECT_EQ(S_OK, t.Load(s));
    EXPECT_EQ(b.size() - 1, s->GetPosition());
    LONG rows = -1;
    t.GetRowCount(&rows);
    EXPECT_EQ(0, rows);
}

TEST(EventSinkTable, StoredCountsBeyondTheStreamAreRefused) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"no row count", {1, 0}},
        {"row without its name length", Le32({1})},
        {"name longer than the stream", Le32({1, 0x40000000})},
        {"no sink count",
         [] {
             auto b = Le32({1, 1});
             b.insert(b.end(), {'A', 0});
             return b;
         }()},
        {"sink count beyond the stream", Le32({1, 0, 0xFFFFFFFF})},
        {"sink length beyond the stream", Le32({1, 0, 1, 0x7FFFFFFF})},
        {"second row missing", Le32({2, 0, 0})},
    };
    for (const Case& c : cases) {
        LogCapture log;
        Table t;
        CComPtr<ITeskStream> s = MemStreamOf(c.bytes);
        EXPECT_EQ(E_FAIL, t.Load(s)) << c.what;
        EXPECT_TRUE(Logged(log.Text(), "Event sink table")) << c.what;
    }
}

TEST(EventSinkTable, SinksAndRows) {
    Table t;
    int value = t.AddRow("Value");
    int range = t.AddRow("Range");
    FakeSink a, b;
    EXPECT_EQ(S_OK, t.AddSink(value, a.Unknown()));
    EXPECT_EQ(2, a.refs);
    EXPECT_EQ(E_FAIL, t.AddSink(value, a.Unknown()));  // twice in one row
    EXPECT_EQ(2, a.refs);
    EXPECT_EQ(S_OK, t.AddSink(range, a.Unknown()));  // another row is fine
    EXPECT_EQ(E_FAIL, t.AddSink(2, b.Unknown()));
    EXPECT_EQ(E_FAIL, t.AddSink(-1, b.Unknown()));
    EXPECT_EQ(S_OK, t.IsSinkInRow(value, a.Unknown()));
    EXPECT_EQ(S_FALSE, t.IsSinkInRow(value, b.Unknown()));
    EXPECT_EQ(E_FAIL, t.IsSinkInRow(5, a.Unknown()));
    EXPECT_EQ(E_FAIL, t.RemoveSink(value, b.Unknown()));
    EXPECT_EQ(E_FAIL, t.RemoveSink(9, a.Unknown()));
    EXPECT_EQ(S_OK, t.RemoveSink(range, a.Unknown()));
    EXPECT_EQ(2, a.refs);

    LONG index = -1;
    EXPECT_EQ(S_OK, t.FindRow("range", &index));
    EXPECT_EQ(range, index);
    EXPECT_EQ(S_FALSE, t.FindRow("Rang", &index));
    char name[8];
    EXPECT_EQ(S_OK, t.GetRowName(range, name, sizeof(name)));
    EXPECT_STREQ("Range", name);
    EXPECT_EQ(S_FALSE, t.GetRowName(2, name, sizeof(name)));
    EXPECT_EQ(1, t.IsBadRow(-1));
    EXPECT_EQ(1, t.IsBadRow(2));
    EXPECT_EQ(0, t.IsBadRow(1));

    // The table's destruction releases what it holds.
    {
        Table u;
        u.AddRow("x");
        u.AddSink(0, b.Unknown());
        EXPECT_EQ(2, b.refs);
    }
    EXPECT_EQ(1, b.refs);
}

TEST(EventSinkTable, FireCallsEachSinkInOrder) {
    Table t;
    int value = t.AddRow("Value");
    int empty = t.AddRow("Empty");
    std::vector<int> order;
    FakeSink a, b;
    a.id = 1;
    b.id = 2;
    a.order = b.order = &order;
    t.AddSink(value, b.Unknown());
    t.AddSink(value, a.Unknown());
    EXPECT_EQ(S_OK, t.FireEvent(value, 16));
    EXPECT_EQ((std::vector<int>{2, 1}), order);
    EXPECT_EQ(std::vector<LONG>{16}, a.args);
    EXPECT_EQ(static_cast<IEventSinkTable*>(&t), a.table);
    EXPECT_EQ(E_FAIL, t.FireEvent(-1, 1));
    EXPECT_EQ(E_FAIL, t.FireEvent(2, 1));
    EXPECT_EQ(S_OK, t.FireEvent(empty, 1));
    EXPECT_EQ(1u, a.args.size());
}

TEST(EventSinkTable, ConstantQueries) {
    Table t;
    LONG v[4] = {-1, -1, -1, -1};
    for (LONG row : {-5, 0, 7}) {
        EXPECT_EQ(S_OK, t.GetRowMaximum(row, &v[0]));
        EXPECT_EQ(S_OK, t.GetRowMinimum(row, &v[1]));
        EXPECT_EQ(S_OK, t.GetRowLineStep(row, &v[2]));
        EXPECT_EQ(S_OK, t.GetRowPageStep(row, &v[3]));
        EXPECT_EQ(100, v[0]);
        EXPECT_EQ(0, v[1]);
        EXPECT_EQ(1, v[2]);
        EXPECT_EQ(10, v[3]);
    }
    EXPECT_EQ(1u, t.AddRef());
    EXPECT_EQ(1u, t.Release());
}
