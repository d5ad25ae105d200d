// The growable pointer array: growth steps, zero-filled new elements, and
// storage freed at count 0.
#include <gtest/gtest.h>

#include "bPtrArray.h"

TEST(PtrArray, AddGrowsAndKeepsTheElements) {
    PtrArray a;
    int values[40];
    for (int i = 0; i < 40; ++i) EXPECT_EQ(a.Add(&values[i]), i);
    EXPECT_EQ(a.GetSize(), 40);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(a.GetAt(i), &values[i]);
    EXPECT_EQ(a.GetAt(40), nullptr);
    EXPECT_EQ(a.GetAt(-1), nullptr);
}

TEST(PtrArray, SetSizeZeroFillsAndFrees) {
    struct Case {
        int first, step, second;
    } cases[] = {{3, -1, 10}, {3, 0, 2000}, {0, 5, 7}, {8, 1, 9}, {100, 0, 101}};
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.first) + " -> " + std::to_string(k.second));
        PtrArray a;
        ASSERT_TRUE(a.SetSize(k.first, k.step));
        int marker = 0;
        for (int i = 0; i < k.first; ++i) a.SetAt(i, &marker);
        ASSERT_TRUE(a.SetSize(k.second));
        EXPECT_EQ(a.GetSize(), k.second);
        for (int i = 0; i < k.second; ++i)
            EXPECT_EQ(a.GetAt(i), i < k.first ? &marker : nullptr) << i;
        // Shrinking and growing again within the storage gives null elements.
        a.SetSize(1);
        a.SetSize(k.second);
        for (int i = 1; i < k.second; ++i) EXPECT_EQ(a.GetAt(i), nullptr) << i;
        a.SetSize(0);
        EXPECT_EQ(a.GetSize(), 0);
        EXPECT_EQ(a.GetAt(0), nullptr);
    }
}
