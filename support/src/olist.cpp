#include "support/olist.h"

#include <cstdlib>
#include <cstring>
#include <new>

struct OrderedList {
    size_t itemSize = 0;
    size_t count = 0;
    size_t capacity = 0;
    unsigned char *data = nullptr;
};

namespace {

// Maps a caller position to a 0-based index of an existing item, or -1.
long existingIndex(const OrderedList *list, int position) {
    if (!list || list->count == 0)
        return -1;
    if (position == LIST_FRONT)
        return 0;
    if (position == LIST_END)
        return static_cast<long>(list->count) - 1;
    if (position < 1 || static_cast<size_t>(position) > list->count)
        return -1;
    return position - 1;
}

bool grow(OrderedList *list) {
    if (list->count < list->capacity)
        return true;
    size_t cap = list->capacity ? list->capacity * 2 : 8;
    void *p = std::realloc(list->data, cap * list->itemSize);
    if (!p)
        return false;
    list->data = static_cast<unsigned char *>(p);
    list->capacity = cap;
    return true;
}

} // namespace

extern "C" {

ListType ListCreate(size_t itemSize) {
    if (itemSize == 0)
        return nullptr;
    auto *list = new (std::nothrow) OrderedList;
    if (list)
        list->itemSize = itemSize;
    return list;
}

void ListDispose(ListType list) {
    if (!list)
        return;
    std::free(list->data);
    delete list;
}

int ListNumItems(ListType list) {
    return list ? static_cast<int>(list->count) : 0;
}

size_t ListItemSize(ListType list) {
    return list ? list->itemSize : 0;
}

int ListInsertItem(ListType list, const void *item, int position) {
    if (!list || !item)
        return -1;
    size_t index;
    if (position == LIST_END)
        index = list->count;
    else if (position == LIST_FRONT)
        index = 0;
    else if (position >= 1 && static_cast<size_t>(position) <= list->count + 1)
        index = static_cast<size_t>(position) - 1;
    else
        return -1;
    if (!grow(list))
        return -12;
    unsigned char *at = list->data + index * list->itemSize;
    std::memmove(at + list->itemSize, at, (list->count - index) * list->itemSize);
    std::memcpy(at, item, list->itemSize);
    ++list->count;
    return 0;
}

int ListGetItem(ListType list, void *itemOut, int position) {
    long i = existingIndex(list, position);
    if (i < 0 || !itemOut)
        return -1;
    std::memcpy(itemOut, list->data + i * list->itemSize, list->itemSize);
    return 0;
}

int ListReplaceItem(ListType list, const void *item, int position) {
    long i = existingIndex(list, position);
    if (i < 0 || !item)
        return -1;
    std::memcpy(list->data + i * list->itemSize, item, list->itemSize);
    return 0;
}

int ListRemoveItem(ListType list, void *itemOut, int position) {
    long i = existingIndex(list, position);
    if (i < 0)
        return -1;
    unsigned char *at = list->data + i * list->itemSize;
    if (itemOut)
        std::memcpy(itemOut, at, list->itemSize);
    std::memmove(at, at + list->itemSize, (list->count - i - 1) * list->itemSize);
    --list->count;
    return 0;
}

void ListClear(ListType list) {
    if (list)
        list->count = 0;
}

int ListFindItem(ListType list, const void *key, int startPosition, ListCompareFn compare) {
    if (!list || !key)
        return 0;
    size_t start = startPosition < 1 ? 0 : static_cast<size_t>(startPosition) - 1;
    for (size_t i = start; i < list->count; ++i) {
        const unsigned char *item = list->data + i * list->itemSize;
        int diff = compare ? compare(item, key) : std::memcmp(item, key, list->itemSize);
        if (diff == 0)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

void *ListItemPtr(ListType list, int position) {
    long i = existingIndex(list, position);
    return i < 0 ? nullptr : list->data + i * list->itemSize;
}

} // extern "C"
