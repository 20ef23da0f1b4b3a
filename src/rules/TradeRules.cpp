#include "rules/TradeRules.h"

#include "platform/db/Query.h"
#include "platform/db/Table.h"

namespace trade {

int PeriodIndex(const QString& periode) {
  const QString p = periode.trimmed();
  return p.size() == 1 && p[0] >= QChar('0') && p[0] <= QChar('5') ? p[0].unicode() - '0' : -1;
}

Currency NetPrice(Currency prix, int periodIndex, const Rebates& ab) {
  return periodIndex >= 0 && periodIndex < int(ab.size()) ? prix - ab[size_t(periodIndex)] : prix;
}

namespace {

// A query in the data folder; its parameters are set once the whole text is written.
struct Narrowed {
  TQuery q;
  QList<QPair<QString, QVariant>> params;
  Narrowed(const QString& dataPath, const QString& select) {
    q.SetDatabaseName(dataPath);
    q.SQL.Add(select);
  }
  void Add(const QString& line) { q.SQL.Add(line); }
  void Where(const QString& condition, const QString& param, const QVariant& value) {
    q.SQL.Add(condition);
    params.append({param, value});
  }
  void Set(const QString& param, const QVariant& value) { params.append({param, value}); }
  std::vector<QList<QVariant>> Rows() {
    for (const auto& [name, value] : params) q.ParamByName(name)->Value = value;
    q.Open();
    auto rows = q.ReadRows(0, q.RecordCount());
    q.Close();
    return rows;
  }
};

}  // namespace

QHash<QString, Rebates> ReadRebates(const QString& dataPath, const QString& region, const QString& client) {
  Narrowed n(dataPath, "SELECT ID, AB0, AB1, AB2, AB3, AB4, AB5 FROM CLIENT");
  if (!region.isEmpty()) n.Where("WHERE REGION=:myRegion", "myRegion", region);
  if (!client.isEmpty()) n.Where(region.isEmpty() ? "WHERE ID=:myClient" : "AND ID=:myClient", "myClient", client);
  QHash<QString, Rebates> out;
  for (const auto& r : n.Rows()) {
    Rebates ab;
    for (int i = 0; i < 6; ++i) ab[size_t(i)] = Currency::FromDouble(r[i + 1].toDouble());
    out.insert(r[0].toString(), ab);
  }
  return out;
}

QHash<QString, int> ReadDayQuantities(const QString& dataPath, const QDate& day, const QString& region,
                                      const QString& client) {
  Narrowed n(dataPath, "SELECT ID_CLIENT, ID_TITRE, QTE_PRISE FROM DISTO.DB WHERE DATEJ=:myDay");
  n.Set("myDay", day);
  if (!region.isEmpty())
    n.Where("AND ID_CLIENT IN (SELECT ID FROM CLIENT.DB WHERE REGION=:myRegion)", "myRegion", region);
  if (!client.isEmpty()) n.Where("AND ID_CLIENT=:myClient", "myClient", client);
  const auto rows = n.Rows();
  QHash<QString, int> out;
  out.reserve(int(rows.size()));
  for (const auto& r : rows) out.insert(TakingKey(r[0].toString(), r[1].toString()), r[2].toInt());
  return out;
}

namespace {

// The fields of a takings row, found once by a pass that writes many rows.
struct TakingFields {
  explicit TakingFields(TTable& disto)
      : date(disto.FieldByName("DateJ")),
        client(disto.FieldByName("Id_Client")),
        title(disto.FieldByName("Id_Titre")),
        qte(disto.FieldByName("Qte_Prise")),
        pu(disto.FieldByName("PU")) {}
  TField *date, *client, *title, *qte, *pu;
};

void PostQuantity(TTable& disto, TField* fQte, int qte) {
  try {
    fQte->AsInteger = qte;
    disto.Post();
  } catch (...) {
    if (disto.State() != dsBrowse) disto.Cancel();
    throw;
  }
}

void AppendRow(TTable& disto, const TakingFields& f, const QDate& day, const QString& client, const QString& title,
               int qte, Currency pu) {
  disto.Append();
  f.date->AsDate = day;
  f.client->AsString = client;
  f.title->AsString = title;
  f.pu->AsCurrency = pu;
  PostQuantity(disto, f.qte, qte);
}

bool EditRow(TTable& disto, TField* fQte, const QDate& day, const QString& client, const QString& title, int qte) {
  if (!disto.Locate("DATEJ;ID_CLIENT;ID_TITRE", {day, client, title})) return false;
  disto.Edit();
  PostQuantity(disto, fQte, qte);
  return true;
}

}  // namespace

// A pass's day: its rows and the clients' rebates read once, so that a taking already stored as it
// is writes nothing and a missing one is appended without a lookup, at the net price of the moment.
class TakingStore::DayRows {
 public:
  DayRows(TTable& disto, const QString& dataPath, const QDate& day)
      : disto_(disto), fields_(disto), day_(day), stored_(ReadDayQuantities(dataPath, day)),
        rebates_(ReadRebates(dataPath)) {}
  bool Has(const QString& client, const QString& title) const { return stored_.contains(TakingKey(client, title)); }
  void Store(const QString& client, const QString& title, int qte, const TitlePrice* price) {
    const QString key = TakingKey(client, title);
    const auto it = stored_.find(key);
    if (it != stored_.end()) {
      if (it.value() != qte) {
        EditRow(disto_, fields_.qte, day_, client, title, qte);
        it.value() = qte;
      }
      return;
    }
    AppendRow(disto_, fields_, day_, client, title, qte,
              price ? NetPrice(price->prix, price->period, rebates_.value(client)) : Currency());
    stored_.insert(key, qte);
  }

 private:
  TTable& disto_;
  TakingFields fields_;
  QDate day_;
  QHash<QString, int> stored_;
  QHash<QString, Rebates> rebates_;
};

TakingStore::TakingStore(TTable& disto, const QString& dataPath, const QDate& day)
    : disto_(disto), dataPath_(dataPath), day_(day) {}

TakingStore::TakingStore(TTable& disto, const QString& dataPath, const QDate& day, Pass)
    : disto_(disto), dataPath_(dataPath), day_(day), pass_(std::make_unique<DayRows>(disto, dataPath, day)) {}

TakingStore::~TakingStore() = default;

bool TakingStore::Has(const QString& client, const QString& title) {
  if (pass_) return pass_->Has(client, title);
  return disto_.Locate("DATEJ;ID_CLIENT;ID_TITRE", {day_, client, title});
}

bool TakingStore::Store(const QString& client, const QString& title, int qte, const TitlePrice* newRow) {
  if (client.isEmpty() || title.isEmpty()) return false;  // never a row without its keys
  if (pass_) {
    if (!newRow && !pass_->Has(client, title)) return false;
    pass_->Store(client, title, qte, newRow);
    return true;
  }
  if (EditRow(disto_, disto_.FieldByName("Qte_Prise"), day_, client, title, qte)) return true;
  if (!newRow) return false;
  const Currency pu = NetPrice(newRow->prix, newRow->period, ReadRebates(dataPath_, {}, client).value(client));
  AppendRow(disto_, TakingFields(disto_), day_, client, title, qte, pu);
  return true;
}

QHash<QString, WeekTaking> ReadWeekTakings(const QString& dataPath, const Week& week, const QString& region,
                                           const QString& client) {
  // One grouped sum for the whole week; with a single MIN() the unit price comes from the week's
  // first row of each client and title, the Saturday's when there is one.
  Narrowed n(dataPath, "SELECT D.ID_CLIENT, D.ID_TITRE, SUM(D.QTE_PRISE) AS QTEPRISE, MIN(D.DATEJ) AS PREMIER, D.PU");
  if (!region.isEmpty()) {
    n.Add("FROM DISTO D, CLIENT C");
    n.Where("WHERE D.DATEJ>=:d1 AND D.DATEJ<=:d2 AND C.ID=D.ID_CLIENT AND C.REGION=:myRegion", "myRegion", region);
  } else {
    n.Add("FROM DISTO D");
    n.Add("WHERE D.DATEJ>=:d1 AND D.DATEJ<=:d2");
  }
  if (!client.isEmpty()) n.Where("AND D.ID_CLIENT=:myClient", "myClient", client);
  n.Add("GROUP BY D.ID_CLIENT, D.ID_TITRE");
  n.Set("d1", week.saturday);
  n.Set("d2", week.Friday());
  const auto rows = n.Rows();
  QHash<QString, WeekTaking> out;
  out.reserve(int(rows.size()));
  for (const auto& r : rows)
    out.insert(TakingKey(r[0].toString(), r[1].toString()),
               {r[2].toLongLong(), r[3].toDate(), Currency::FromDouble(r[4].toDouble())});
  return out;
}

QHash<QString, int> ReadWeekReturns(const QString& dataPath, const Week& week, const QString& region,
                                    const QString& client) {
  Narrowed n(dataPath, "SELECT R.ID_CLIENT, R.ID_TITRE, R.QTE");
  if (!region.isEmpty()) {
    n.Add("FROM RETOUR R, CLIENT C");
    n.Where("WHERE R.WEEK=:myWeek AND C.ID=R.ID_CLIENT AND C.REGION=:myRegion", "myRegion", region);
  } else {
    n.Add("FROM RETOUR R");
    n.Add("WHERE R.WEEK=:myWeek");
  }
  if (!client.isEmpty()) n.Where("AND R.ID_CLIENT=:myClient", "myClient", client);
  n.Set("myWeek", week.saturday);
  const auto rows = n.Rows();
  QHash<QString, int> out;
  out.reserve(int(rows.size()));
  for (const auto& r : rows) out.insert(TakingKey(r[0].toString(), r[1].toString()), r[2].toInt());
  return out;
}

qint64 WeekTaken(const QString& dataPath, const Week& week, const QString& client, const QString& title) {
  Narrowed n(dataPath, "SELECT SUM(QTE_PRISE) AS QTEPRISE FROM DISTO.DB");
  n.Add("WHERE ID_CLIENT=:myClient AND ID_TITRE=:myTitle AND DATEJ>=:d1 AND DATEJ<=:d2");
  n.Set("myClient", client);
  n.Set("myTitle", title);
  n.Set("d1", week.saturday);
  n.Set("d2", week.Friday());
  const auto rows = n.Rows();
  return rows.empty() ? 0 : rows.front().value(0).toLongLong();
}

}  // namespace trade
