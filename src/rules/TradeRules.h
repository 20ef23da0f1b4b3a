// The daily trade rules, without windows: what a copy costs a client, which days make a week,
// the quantities of a day and of a week, and how a taking reaches its row.
#pragma once
#include <QDate>
#include <QHash>
#include <QString>
#include <array>
#include <memory>

#include "platform/sys/Formats.h"

class TField;
class TTable;

namespace trade {

// A client's rebates AB0..AB5, one per periodicity of a title.
using Rebates = std::array<Currency, 6>;

// The rebate field a title's periodicity text names (its digit, blanks around ignored), or -1
// when it names none: the title is then sold at its full price.
int PeriodIndex(const QString& periode);

// The net unit price of a title for a client: its price less the client's rebate of its
// periodicity.
Currency NetPrice(Currency prix, int periodIndex, const Rebates& ab);
inline Currency NetPrice(Currency prix, const QString& periode, const Rebates& ab) {
  return NetPrice(prix, PeriodIndex(periode), ab);
}

// The clients' rebates by client code, read from the data folder: every client, the clients of
// one region, or one client.
QHash<QString, Rebates> ReadRebates(const QString& dataPath, const QString& region = {}, const QString& client = {});

// A week runs from a Saturday to the following Friday and is known by its Saturday.
struct Week {
  QDate saturday;
  QDate Friday() const { return saturday.addDays(6); }
  bool Contains(const QDate& d) const { return d >= saturday && d <= Friday(); }
};

// The week a day belongs to: the one of the Saturday on or before it.
inline Week WeekOf(const QDate& d) { return {d.addDays(-((d.dayOfWeek() + 1) % 7))}; }

// The key of a client's taking of a title in the lookups below.
inline QString TakingKey(const QString& client, const QString& title) { return client + QChar(0x1F) + title; }

// The quantities stored for a day by TakingKey: every client, those of a region, or one client.
QHash<QString, int> ReadDayQuantities(const QString& dataPath, const QDate& day, const QString& region = {},
                                      const QString& client = {});

// What a title costs before a client's rebate.
struct TitlePrice {
  Currency prix;
  int period = -1;  // PeriodIndex of its periodicity
};

// The one way a quantity reaches the row of (day, client, title), whoever writes it: a cell left,
// a save, an import, a zeroing, the per-client passes. The row's quantity is set and nothing else
// of it changes; without a row, one is appended at the client's net price when the title's price
// is given, else nothing is written.
class TakingStore {
 public:
  // Cell by cell: each store locates its row.
  TakingStore(TTable& disto, const QString& dataPath, const QDate& day);
  // A pass over many cells of the day: its rows and the clients' rebates are read once, here, and
  // a quantity already stored as it is writes nothing.
  struct Pass {};
  TakingStore(TTable& disto, const QString& dataPath, const QDate& day, Pass);
  ~TakingStore();
  TakingStore(const TakingStore&) = delete;
  TakingStore& operator=(const TakingStore&) = delete;

  // True when the day's row holds the quantity afterwards.
  bool Store(const QString& client, const QString& title, int qte, const TitlePrice* newRow = nullptr);
  bool Has(const QString& client, const QString& title);

 private:
  TTable& disto_;
  QString dataPath_;
  QDate day_;
  class DayRows;  // what a pass read of the day
  std::unique_ptr<DayRows> pass_;
};

// A client's takings of a title over a week.
struct WeekTaking {
  qint64 taken = 0;  // a week may sum past a quantity field's range
  QDate firstDay;    // the week's first day with a row
  Currency pu;       // that row's unit price
};
// The week's takings summed by TakingKey; for the clients of a region, or for one client.
QHash<QString, WeekTaking> ReadWeekTakings(const QString& dataPath, const Week& week, const QString& region = {},
                                           const QString& client = {});
// The week's unsold returns by TakingKey, likewise.
QHash<QString, int> ReadWeekReturns(const QString& dataPath, const Week& week, const QString& region = {},
                                    const QString& client = {});
// One client's takings of one title over the week.
qint64 WeekTaken(const QString& dataPath, const Week& week, const QString& client, const QString& title);

}  // namespace trade
