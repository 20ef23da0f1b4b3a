#include "rules/Returns.h"

#include <cmath>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"

namespace trade {

int PercentSold(qint64 taken, qint64 unsold) {
  if (taken <= 0) return 0;
  const double p = std::round(double(taken - unsold) / taken * 100.0 * 10000.0) / 10000.0;
  return int(std::trunc(p));
}

void ClientWeekAmount::Add(const QString& title, const TitlePrice& price, qint64 taken, qint64 unsold) {
  const auto w = takings_.constFind(TakingKey(client_, title));
  const Currency pu = w != takings_.constEnd() ? w->pu : NetPrice(price.prix, price.period, rebates_);
  total_ += pu * int64_t(taken - unsold);
}

WeekTotals SumWeek(const QHash<QString, WeekTaking>& takings, const QHash<QString, int>& returns,
                   const QStringList& clients, const std::vector<QString>& titles,
                   const std::function<Currency(const QString& client, int title)>& netToday) {
  WeekTotals out;
  out.titles.resize(titles.size());
  for (size_t k = 0; k < titles.size(); ++k) {
    TitleTotal& sum = out.titles[k];
    for (const QString& client : clients) {
      const QString key = TakingKey(client, titles[k]);
      const qint64 t = takings.value(key).taken;
      const qint64 u = returns.value(key, 0);
      sum.taken += t;
      sum.unsold += u;
      if (t != u) out.amount += netToday(client, int(k)) * int64_t(t - u);
    }
  }
  return out;
}

QStringList RegionClients(const QString& dataPath, const QString& region) {
  TQuery q;
  q.SetDatabaseName(dataPath);
  q.SQL.Add("SELECT ID FROM CLIENT WHERE REGION=:myRegion ORDER BY ORD");
  q.ParamByName("myRegion")->AsString = region;
  q.Open();
  QStringList out;
  for (const auto& row : q.ReadRows(0, q.RecordCount())) out << row[0].toString();
  q.Close();
  return out;
}

void StoreWeekReturns(TTable& retour, const QString& dataPath, const Week& week, const std::vector<QString>& titles,
                      const std::vector<ClientReturns>& rows, QHash<QString, int>& stored,
                      const std::function<void()>& clientDone) {
  QHash<QString, int> written = stored;
  const QDate saturday = week.saturday;
  const size_t nt = titles.size();
  TDbTransaction tx(dataPath);
  try {
    retour.SetFiltered(false);
    TField* fWeek = retour.FieldByName("Week");
    TField* fClient = retour.FieldByName("Id_Client");
    TField* fTitle = retour.FieldByName("Id_Titre");
    TField* fQte = retour.FieldByName("Qte");
    std::vector<QString> keys(nt);
    for (const ClientReturns& row : rows) {
      bool anyKnown = false;
      for (size_t k = 0; k < nt; ++k) {
        keys[k] = TakingKey(row.client, titles[k]);
        anyKnown = anyKnown || written.contains(keys[k]);
      }
      // A client with no row of the week (a new week) takes its rows without a search each.
      const bool absent = !anyKnown && !retour.Locate("WEEK;ID_CLIENT", {saturday, row.client});
      for (size_t k = 0; k < nt; ++k) {
        const int q = k < row.qte.size() ? row.qte[k] : 0;
        const auto known = written.constFind(keys[k]);
        if (known != written.constEnd() && *known == q) continue;  // already stored as it is
        if (!absent && retour.Locate("WEEK;ID_CLIENT;ID_TITRE", {saturday, row.client, titles[k]})) {
          retour.Edit();
        } else {
          retour.Append();
          fWeek->AsDate = saturday;
          fClient->AsString = row.client;
          fTitle->AsString = titles[k];
        }
        fQte->AsInteger = q;
        retour.Post();
        written.insert(keys[k], q);
      }
      if (clientDone) clientDone();
    }
    tx.Commit();
  } catch (...) {
    if (retour.State() != dsBrowse) retour.Cancel();
    tx.Rollback();
    throw;
  }
  stored = written;
}

void CreateWeekReturns(const QString& dataPath, const Week& week, const QString& region, const QStringList& clients,
                       const std::vector<QString>& titles, QHash<QString, int>& stored,
                       const std::function<void()>& clientDone) {
  const QHash<QString, int> existing = ReadWeekReturns(dataPath, week, region);
  TDbTransaction tx(dataPath);
  try {
    TQuery ins;
    ins.SetDatabaseName(dataPath);
    ins.SQL.Add("INSERT INTO RETOUR (WEEK, ID_CLIENT, ID_TITRE, QTE) VALUES (:w, :c, :t, 0)");
    for (const QString& client : clients) {
      for (const QString& title : titles) {
        if (existing.contains(TakingKey(client, title))) continue;
        ins.ParamByName("w")->AsDate = week.saturday;
        ins.ParamByName("c")->AsString = client;
        ins.ParamByName("t")->AsString = title;
        ins.ExecSQL();
        stored.insert(TakingKey(client, title), 0);
      }
      if (clientDone) clientDone();
    }
  } catch (...) {
    tx.Rollback();
    stored = existing;
    throw;
  }
  tx.Commit();
}

void DeleteWeekReturns(const QString& dataPath, const Week& week) {
  TDbTransaction tx(dataPath);
  try {
    TQuery del;
    del.SetDatabaseName(dataPath);
    del.SQL.Add("DELETE FROM RETOUR WHERE WEEK=:myWeek");
    del.ParamByName("myWeek")->AsDate = week.saturday;
    del.ExecSQL();
  } catch (...) {
    tx.Rollback();
    throw;
  }
  tx.Commit();
}

}  // namespace trade
