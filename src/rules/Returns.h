// The weekly unsold returns, without windows: what a client owes for the week, the week's totals,
// and the week's rows of the returns table (stored, created, taken out).
#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "rules/TradeRules.h"

class TTable;

namespace trade {

// Whole part of the percentage of the copies taken that were sold, the percentage held to four
// decimals first; 0 when nothing was taken.
int PercentSold(qint64 taken, qint64 unsold);

// What a client owes for the week, title by title: the copies sold (taken less returned) at the
// unit price the week's takings were stored with (the Saturday's, else the week's first day with
// a row), else at the client's net price of today.
class ClientWeekAmount {
 public:
  ClientWeekAmount(const QHash<QString, WeekTaking>& takings, const QString& client, const Rebates& rebates)
      : takings_(takings), client_(client), rebates_(rebates) {}
  void Add(const QString& title, const TitlePrice& price, qint64 taken, qint64 unsold);
  Currency Total() const { return total_; }

 private:
  const QHash<QString, WeekTaking>& takings_;
  QString client_;
  Rebates rebates_;
  Currency total_;
};

// The week of a set of clients, title by title, and what they owe at today's net prices.
struct TitleTotal {
  qint64 taken = 0, unsold = 0;
};
struct WeekTotals {
  std::vector<TitleTotal> titles;
  Currency amount;
};
WeekTotals SumWeek(const QHash<QString, WeekTaking>& takings, const QHash<QString, int>& returns,
                   const QStringList& clients, const std::vector<QString>& titles,
                   const std::function<Currency(const QString& client, int title)>& netToday);

// The clients of a region in their delivery order.
QStringList RegionClients(const QString& dataPath, const QString& region);

// A client's returns of the week as typed, one per title of the save.
struct ClientReturns {
  QString client;
  std::vector<int> qte;
};
// Writes the week's returns in one transaction. Each write finds its row by key first, so a row
// another program took out or added since is stored again or updated, never refused as a
// duplicate. `stored` (by TakingKey: what the week is known to hold) spares the rows already as
// they are and gains what was written once committed; clientDone follows each client. A failure
// leaves the week and `stored` as they were, and is thrown on.
void StoreWeekReturns(TTable& retour, const QString& dataPath, const Week& week, const std::vector<QString>& titles,
                      const std::vector<ClientReturns>& rows, QHash<QString, int>& stored,
                      const std::function<void()>& clientDone = {});

// A new week of a region's clients (RegionClients): a row at 0 copies of each title where the
// client has none, in one transaction. `stored` gains the rows created; after a failure, thrown
// on, it holds what the week had of the region (nothing was created).
void CreateWeekReturns(const QString& dataPath, const Week& week, const QString& region, const QStringList& clients,
                       const std::vector<QString>& titles, QHash<QString, int>& stored,
                       const std::function<void()>& clientDone = {});

// Takes out every row of the week's returns, in one transaction.
void DeleteWeekReturns(const QString& dataPath, const Week& week);

}  // namespace trade
