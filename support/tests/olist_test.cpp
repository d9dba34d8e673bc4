// The ordered list behind every list of the program.
#include "support/olist.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> Items(ListType list) {
    std::vector<int> out;
    for (int i = 1; i <= ListNumItems(list); ++i) {
        int v = 0;
        EXPECT_EQ(ListGetItem(list, &v, i), 0);
        out.push_back(v);
    }
    return out;
}

int CompareTens(const void *item, const void *key) {
    return *static_cast<const int *>(item) / 10 != *static_cast<const int *>(key);
}

TEST(OrderedList, SpecialPositions) {
    ListType list = ListCreate(sizeof(int));
    ASSERT_NE(list, nullptr);
    for (int v : {2, 3}) // appended at the end
        ASSERT_EQ(ListInsertItem(list, &v, LIST_END), 0);
    int v = 1;
    ASSERT_EQ(ListInsertItem(list, &v, LIST_FRONT), 0);
    v = 9;
    ASSERT_EQ(ListInsertItem(list, &v, 2), 0);
    EXPECT_EQ(Items(list), (std::vector<int>{1, 9, 2, 3}));

    ASSERT_EQ(ListGetItem(list, &v, LIST_FRONT), 0);
    EXPECT_EQ(v, 1) << "-1 is the first item for get";
    ASSERT_EQ(ListGetItem(list, &v, LIST_END), 0);
    EXPECT_EQ(v, 3) << "0 is the last item for get";
    EXPECT_EQ(ListGetItem(list, &v, 5), -1);
    EXPECT_EQ(ListInsertItem(list, &v, 6), -1) << "insert past the end plus one";

    // Growing well past the first allocation keeps every item.
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(ListInsertItem(list, &i, LIST_END), 0);
    EXPECT_EQ(ListNumItems(list), 1004);
    ASSERT_EQ(ListGetItem(list, &v, LIST_END), 0);
    EXPECT_EQ(v, 999);
    ListDispose(list);
}

TEST(OrderedList, FindRemoveReplace) {
    ListType list = ListCreate(sizeof(int));
    for (int v : {11, 25, 12, 31})
        ListInsertItem(list, &v, LIST_END);
    int key = 12;
    EXPECT_EQ(ListFindItem(list, &key, 1, nullptr), 3) << "byte comparison without a function";
    key = 1;
    EXPECT_EQ(ListFindItem(list, &key, 1, CompareTens), 1);
    EXPECT_EQ(ListFindItem(list, &key, 2, CompareTens), 3) << "search starts at the position";
    EXPECT_EQ(ListFindItem(list, &key, 4, CompareTens), 0);
    key = 7;
    EXPECT_EQ(ListFindItem(list, &key, 1, CompareTens), 0);

    int out = 0;
    ASSERT_EQ(ListRemoveItem(list, &out, LIST_FRONT), 0);
    EXPECT_EQ(out, 11);
    ASSERT_EQ(ListRemoveItem(list, &out, LIST_END), 0);
    EXPECT_EQ(out, 31);
    int v = 40;
    ASSERT_EQ(ListReplaceItem(list, &v, 2), 0);
    EXPECT_EQ(Items(list), (std::vector<int>{25, 40}));
    EXPECT_EQ(ListReplaceItem(list, &v, 3), -1);
    ASSERT_EQ(ListRemoveItem(list, nullptr, 1), 0);
    EXPECT_EQ(Items(list), (std::vector<int>{40}));
    ListClear(list);
    EXPECT_EQ(ListNumItems(list), 0);
    EXPECT_EQ(ListRemoveItem(list, &out, LIST_END), -1);
    EXPECT_EQ(ListItemPtr(list, LIST_FRONT), nullptr);
    ListDispose(list);

    EXPECT_EQ(ListCreate(0), nullptr);
    EXPECT_EQ(ListNumItems(nullptr), 0);
    EXPECT_EQ(ListInsertItem(nullptr, &v, 0), -1);
}

} // namespace
