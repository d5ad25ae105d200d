#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ObjectTestUtil.h"
#include "ServiceFakes.h"
#include "aObjWrap.h"
#include "adblink.h"

namespace {

// A group object as the wrappers see it: only its child list.
class FakeGroup : public CComObjectRootBase, public IGroupChildren {
public:
    BEGIN_COM_MAP(FakeGroup)
    COM_INTERFACE_ENTRY(IGroupChildren)
    END_COM_MAP()

    STDMETHOD(Reserved3)() override { return S_OK; }
    STDMETHOD(Reserved4)() override { return S_OK; }
    STDMETHOD(SetWrapperList)(IObjWrapperList* l, CObjWrapper* w) override {
        list = l;
        self = w;
        return S_OK;
    }
    STDMETHOD_(int, GetChildCount)() override { return (int)children.size(); }
    STDMETHOD_(int, GetDescendantCount)() override {
        int n = 0;
        for (CObjWrapper* c : children) n += 1 + c->DescendantCount();
        return n;
    }
    STDMETHOD_(CObjWrapper*, GetChild)(int i) override {
        return i >= 0 && i < (int)children.size() ? children[i] : nullptr;
    }
    STDMETHOD(Reserved9)() override { return S_OK; }
    STDMETHOD(OnDelete)(CObjWrapper* w) override {
        children.erase(std::remove(children.begin(), children.end(), w), children.end());
        return S_OK;
    }
    STDMETHOD(Reserved11)() override { return S_OK; }
    STDMETHOD(AddChild)(CObjWrapper* c) override {
        children.push_back(c);
        return S_OK;
    }
    STDMETHOD(Reserved13)() override { return S_OK; }
    STDMETHOD(OnChildMoved)(CObjWrapper* c) override {
        moved.push_back(c);
        return S_OK;
    }

    std::vector<CObjWrapper*> children;
    std::vector<CObjWrapper*> moved;
    IObjWrapperList* list = nullptr;
    CObjWrapper* self = nullptr;
};

class WrapListTest : public ObjectFixture {
protected:
    WrapListTest() : list(new CObjWrapperList) {}
    ~WrapListTest() override { list->Release(); }

    CObjWrapper* Plain(const char* name) { return new CObjWrapper(kSolidType, name); }
    CObjWrapper* Group(const char* name, FakeGroup** out) {
        CComObject<FakeGroup>* g = nullptr;
        CComObject<FakeGroup>::CreateInstance(&g);
        g->AddRef();
        groups.push_back(g);
        CObjWrapper* w = new CObjGroupWrapper(GROUP_OBJECT_TYPE, name);
        w->AttachWithSink(g->GetUnknown(), list);
        *out = g;
        return w;
    }
    // An entered object at (x, y) of size w x h.
    CObjWrapper* Placed(const char* name, LONG x, LONG y, LONG w, LONG h, int state = RS_HOLDING) {
        CComObject<SolidObject>* o = Make();
        II_IRender* r = static_cast<II_IRender*>(o);
        r->SetWidth(w);
        r->SetHeight(h);
        r->MoveTo(x, y);
        r->SetState(state);
        CObjWrapper* wrapper = Plain(name);
        wrapper->Attach(o->GetUnknown());
        return wrapper;
    }
    std::string Order() {
        std::string s;
        for (int i = 0; i < list->GetCount(); ++i) s += list->GetAt(i)->m_record.szName;
        return s;
    }

    CObjWrapperList* list;
    std::vector<FakeGroup*> groups;

public:
    void TearDown() override {
        for (FakeGroup* g : groups) g->Release();
    }
};

}  // namespace

TEST_F(WrapListTest, GroupBlocksMoveAsOne) {
    FakeGroup* g = nullptr;
    CObjWrapper* G = Group("G", &g);
    CObjWrapper *A = Plain("A"), *B = Plain("B"), *C = Plain("C");
    EXPECT_EQ(list, g->list);
    EXPECT_EQ(G, g->self);
    ASSERT_EQ(S_OK, list->Append(A));
    ASSERT_EQ(S_OK, list->Append(B));
    EXPECT_EQ(S_OK, G->AddChild(A));
    EXPECT_EQ(S_OK, G->AddChild(B));
    ASSERT_EQ(S_OK, list->AppendGroup(G));  // before its first child
    ASSERT_EQ(S_OK, list->Append(C));
    EXPECT_EQ("GABC", Order());
    EXPECT_EQ(G, A->GetOwner());
    EXPECT_EQ(2, G->DescendantCount());

    EXPECT_EQ(C, list->NextSibling(G));
    EXPECT_EQ(B, list->NextSibling(A));
    EXPECT_EQ(nullptr, list->NextSibling(B));
    EXPECT_EQ(A, list->PreviousSibling(B));
    EXPECT_EQ(nullptr, list->PreviousSibling(A));
    EXPECT_EQ(G, list->PreviousSibling(C));

    EXPECT_EQ(S_OK, list->MoveForward(G));
    EXPECT_EQ("CGAB", Order());
    EXPECT_EQ(S_FALSE, list->MoveForward(G));
    EXPECT_EQ("CGAB", Order());
    EXPECT_TRUE(g->moved.empty());  // a top-level move tells no group

    EXPECT_EQ(S_OK, list->MoveForward(A));  // inside the group
    EXPECT_EQ("CGBA", Order());
    EXPECT_EQ(std::vector<CObjWrapper*>{A}, g->moved);
    EXPECT_EQ(S_FALSE, list->MoveForward(A));  // last child
    EXPECT_EQ(S_OK, list->MoveBackward(A));
    EXPECT_EQ("CGAB", Order());
    EXPECT_EQ(S_OK, list->MoveBackward(G));
    EXPECT_EQ("GABC", Order());
    EXPECT_EQ(S_FALSE, list->MoveBackward(G));

    CObjWrapper* order[] = {C, G};
    EXPECT_EQ(S_OK, list->Arrange(order, 2));
    EXPECT_EQ("CGAB", Order());
    CObjWrapper* inner[] = {B, A};
    list->Arrange(inner, 2);
    EXPECT_EQ("CGBA", Order());

    // A group never takes itself or its ancestor.
    FakeGroup* h = nullptr;
    CObjWrapper* H = Group("H", &h);
    EXPECT_EQ(S_OK, G->AddChild(H));
    EXPECT_EQ(E_INVALIDARG, H->AddChild(G));
    EXPECT_EQ(E_INVALIDARG, G->AddChild(G));
    EXPECT_TRUE(h->children.empty());
    EXPECT_EQ(E_FAIL, A->AddChild(B));  // not a group
    G->m_parent = nullptr;
    g->children.pop_back();
    delete H;

    EXPECT_EQ(S_OK, list->RemoveTree(G));
    EXPECT_EQ("C", Order());
    EXPECT_EQ(S_FALSE, list->RemoveTree(G));
    EXPECT_EQ(S_FALSE, list->Remove(A));
}

TEST_F(WrapListTest, LimitHitTestAndStates) {
    // Two overlapping objects, one entered child, and objects in each state.
    CObjWrapper* low = Placed("low", 50, 50, 40, 40);
    CObjWrapper* high = Placed("high", 60, 60, 40, 40);
    list->Append(low);
    list->Append(high);
    struct Case {
        const char* what;
        int state;
        bool hit;
    } states[] = {
        {"idle", RS_IDLE, false},      {"entered", RS_ENTERED, true}, {"holding", RS_HOLDING, true},
        {"leaving", RS_LEAVING, true}, {"exited", RS_EXITED, false},
    };
    int x = 500;
    for (const Case& c : states) {
        CObjWrapper* w = Placed(c.what, x, 500, 10, 10, c.state);
        list->Append(w);
        EXPECT_EQ(c.hit ? w : nullptr, list->HitTest({x, 500}, TRUE)) << c.what;
        x += 100;
    }
    EXPECT_EQ(high, list->HitTest({65, 65}, FALSE));
    EXPECT_EQ(low, list->HitTest({35, 35}, FALSE));
    EXPECT_EQ(nullptr, list->HitTest({200, 200}, FALSE));
    // A child is hit only when children are included.
    CObjWrapper* child = Placed("child", 300, 300, 10, 10);
    FakeGroup* g = nullptr;
    CObjWrapper* G = Group("G", &g);
    list->Append(G);
    list->Append(child);
    G->AddChild(child);
    EXPECT_EQ(nullptr, list->HitTest({300, 300}, FALSE));
    EXPECT_EQ(child, list->HitTest({300, 300}, TRUE));
    EXPECT_TRUE(child->IsActive());

    // Fill to the limit: the next entry is refused and nothing is added.
    std::vector<CObjWrapper*> extra;
    while (list->GetCount() < OBJWRAPPER_LIMIT) {
        extra.push_back(Plain("x"));
        ASSERT_EQ(S_OK, list->Append(extra.back()));
    }
    CObjWrapper* last = Plain("over");
    EXPECT_EQ(OBJLIST_E_FULL, list->Append(last));
    EXPECT_EQ(OBJLIST_E_FULL, list->AppendGroup(last));
    EXPECT_EQ(OBJWRAPPER_LIMIT, list->GetCount());
    EXPECT_EQ(-1, list->IndexOf(last));
    delete last;
}

TEST_F(WrapListTest, FindByNameAndLookups) {
    CObjWrapper *a = Plain("Box"), *b = Plain("Box"), *c = Plain("box");
    list->Append(a);
    list->Append(b);
    list->Append(c);
    EXPECT_EQ(a, list->FindByName("Box", nullptr));
    EXPECT_EQ(b, list->FindByName("Box", a));
    EXPECT_EQ(nullptr, list->FindByName("BOX", nullptr));
    EXPECT_EQ(c, list->FindByName("box", b));
    EXPECT_EQ(nullptr, list->FindByName(std::string(40, 'B').c_str(), nullptr));
    EXPECT_EQ(2, list->IndexOf(c));
    EXPECT_EQ(nullptr, list->GetAt(3));
    EXPECT_EQ(nullptr, list->GetAt(-1));
    EXPECT_EQ(list, list->AddUse());
    EXPECT_EQ(1, list->UseCount());
    EXPECT_EQ(S_OK, list->Remove(b));
    EXPECT_EQ(S_FALSE, list->Remove(b));
    delete b;
    EXPECT_EQ(S_OK, list->Delete(c));
    EXPECT_EQ(1, list->GetCount());
}

TEST_F(WrapListTest, SchedulingAndRelease) {
    CComObject<SolidObject>* o = Make();
    CObjWrapper* w = Plain("Solid1");
    LONG start = o->RefCount();
    ASSERT_EQ(S_OK, w->Attach(o->GetUnknown()));
    EXPECT_NE(nullptr, w->m_event);
    EXPECT_NE(nullptr, w->m_base);
    EXPECT_NE(nullptr, w->m_render);
    EXPECT_EQ(-1, w->m_record.nSchedule[2]);
    site.clock = 1000;
    EXPECT_EQ(S_OK, w->ScheduleShow(50));
    const TestSequencer::Entry* e = site.sequencer.Find(w->m_event, NOTIFY_SHOWHIDE);
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(50u, e->time);
    EXPECT_EQ(1u, e->entry.dwParam);
    EXPECT_EQ(S_OK, w->HideAfter(30));
    e = site.sequencer.Find(w->m_event, NOTIFY_SHOWHIDE);
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(3u, e->entry.dwParam);
    EXPECT_EQ(S_OK, w->RefreshAfter(5));
    bool refresh = false;
    for (const auto& entry : site.sequencer.entries)
        refresh |= entry.entry.dwParam == 4 && entry.time == 1005;
    EXPECT_TRUE(refresh);
    EXPECT_GT(o->RefCount(), start);
    delete w;
    EXPECT_EQ(start, o->RefCount());
}
