// The connection history: the last accepted connections, newest first, as
// the connect panel's ring shows them and the settings file keeps them. No
// UI here: the connect panel shows it, the settings file stores it.
#ifndef CORVIN_CONNECTION_HISTORY_H
#define CORVIN_CONNECTION_HISTORY_H

#include <string>
#include <vector>

#include "panels/connection_settings.h"
#include "support/ini.h"
#include "support/olist.h"

class ConnectionHistory {
  public:
    // An accept keeps this many; a file may hold more until the next accept.
    static constexpr int kLimit = 10;

    struct RingItem {
        std::string text;
        int value; // the entry's position
    };

    ConnectionHistory();
    ~ConnectionHistory();
    ConnectionHistory(const ConnectionHistory &) = delete;
    ConnectionHistory &operator=(const ConnectionHistory &) = delete;
    ConnectionHistory(ConnectionHistory &&other) noexcept;
    ConnectionHistory &operator=(ConnectionHistory &&other) noexcept;

    int Count() const;
    // Entry n (from 1); zeros when there is none.
    ConnectionSettings At(int n) const;

    // Puts an accepted connection first, dropping the oldest beyond kLimit.
    // The same connection accepted twice is listed twice.
    void Remember(const ConnectionSettings &settings);
    // Makes entry n the first; false (nothing changed) when there is none.
    bool MoveToTop(int n);
    void Clear();

    // The ring's items: one per entry with a line, valued with its
    // position, so positions stay ring values even where a mode without a
    // line leaves a gap.
    std::vector<RingItem> RingItems() const;

    // The section "Connect History" of a store (connection_settings.h). Load
    // replaces the entries; 0 when every announced entry was read, else -1
    // (entries read before the fault stay). Save renumbers from 1.
    int Load(IniStore store);
    void Save(IniStore store) const;

  private:
    ListType list_;
};

#endif
