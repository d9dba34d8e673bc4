#include "panels/connection_history.h"

#include <cstring>

ConnectionHistory::ConnectionHistory() : list_(ListCreate(sizeof(ConnectionSettings))) {}

ConnectionHistory::~ConnectionHistory() {
    ListDispose(list_);
}

ConnectionHistory::ConnectionHistory(ConnectionHistory &&other) noexcept : list_(other.list_) {
    other.list_ = nullptr;
}

ConnectionHistory &ConnectionHistory::operator=(ConnectionHistory &&other) noexcept {
    if (this != &other) {
        ListDispose(list_);
        list_ = other.list_;
        other.list_ = nullptr;
    }
    return *this;
}

int ConnectionHistory::Count() const {
    return list_ ? ListNumItems(list_) : 0;
}

ConnectionSettings ConnectionHistory::At(int n) const {
    ConnectionSettings s;
    std::memset(&s, 0, sizeof s);
    if (n >= 1 && n <= Count())
        ListGetItem(list_, &s, n);
    return s;
}

void ConnectionHistory::Remember(const ConnectionSettings &settings) {
    if (!list_)
        return;
    while (Count() > kLimit - 1)
        ListRemoveItem(list_, nullptr, LIST_END);
    ListInsertItem(list_, &settings, LIST_FRONT);
}

bool ConnectionHistory::MoveToTop(int n) {
    if (n < 1 || n > Count())
        return false;
    ConnectionSettings s;
    ListRemoveItem(list_, &s, n);
    ListInsertItem(list_, &s, LIST_FRONT);
    return true;
}

void ConnectionHistory::Clear() {
    if (list_)
        ListClear(list_);
}

std::vector<ConnectionHistory::RingItem> ConnectionHistory::RingItems() const {
    std::vector<RingItem> items;
    for (int n = 1; n <= Count(); ++n) {
        std::string text =
            HistoryItemText(*static_cast<const ConnectionSettings *>(ListItemPtr(list_, n)));
        if (!text.empty())
            items.push_back({text, n});
    }
    return items;
}

int ConnectionHistory::Load(IniStore store) {
    if (!list_)
        return -1;
    return ReadConnectionHistory(store, list_);
}

void ConnectionHistory::Save(IniStore store) const {
    WriteConnectionHistory(store, list_);
}
