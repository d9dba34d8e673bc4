// Ordered list of fixed-size items, stored by value.
//
// Positions count from 1. Insert at 0 appends, insert at -1 puts the item
// first; get, replace and remove accept -1 for the first item and 0 for the
// last. The list is shared across the koralink boundary (the search calls
// append ConnectionRecord items to the caller's list), so it has a C interface
// and no C++ types in its layout.
#ifndef CORVIN_OLIST_H
#define CORVIN_OLIST_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct OrderedList *ListType;

// Returns 0 when an item matches.
typedef int (*ListCompareFn)(const void *item, const void *key);

enum {
    LIST_END = 0,   // append / last item
    LIST_FRONT = -1 // prepend / first item
};

ListType ListCreate(size_t itemSize);
void ListDispose(ListType list);
int ListNumItems(ListType list);
size_t ListItemSize(ListType list);
// Results: 0 success, -1 bad position or no list, -12 out of memory.
int ListInsertItem(ListType list, const void *item, int position);
int ListGetItem(ListType list, void *itemOut, int position);
int ListReplaceItem(ListType list, const void *item, int position);
int ListRemoveItem(ListType list, void *itemOut, int position);
void ListClear(ListType list);
// Position of the first item at or after startPosition for which compare
// returns 0 (byte comparison when compare is null); 0 when none matches.
int ListFindItem(ListType list, const void *key, int startPosition, ListCompareFn compare);
// Direct pointer to an item, valid until the list changes; null when absent.
void *ListItemPtr(ListType list, int position);

#ifdef __cplusplus
}
#endif

#endif
