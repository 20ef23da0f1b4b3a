// Everything a check's events said, one line each ("modify CLIENT.DB Nom", "after 2 CLIENT.DB").
#pragma once
#include <QList>
#include <QStringList>
#include <gtest/gtest.h>

#include "schema/AppSchema.h"
#include "schema/DbChk.h"
#include "schema/Descriptor.h"

// The tables of the application's schema, in its order.
inline QStringList AppTables() { return DescriptorTables(ApplicationDescriptor()); }
// The same message for every table of the application's schema.
inline QList<TChkMessage> ForEveryTable(TChkMessage m) { return QList<TChkMessage>(AppTables().size(), m); }

struct CheckEvents {
  QStringList log;
  QList<TChkMessage> after;
  QList<int> errors;
  // What the log's last check of a table said of it; a table the log does not hold fails.
  TChkMessage AfterOf(const QString& table) const {
    const QString end = " " + table;
    for (qsizetype i = log.size() - 1; i >= 0; --i)
      if (log[i].startsWith("after ") && log[i].endsWith(end)) return TChkMessage(log[i].section(' ', 1, 1).toInt());
    ADD_FAILURE() << "no check of " << table.toStdString() << " in the log";
    return CHK_NONE;
  }
  void Attach(TDbCheck& c) {
    c.OnBeforeCheck = [this](QObject*, TChkMessage m, const QString& t) {
      log << QString("before %1 %2").arg(m).arg(t);
    };
    c.OnAfterCheck = [this](QObject*, TChkMessage m, const QString& t) {
      log << QString("after %1 %2").arg(m).arg(t);
      after << m;
    };
    c.OnFoundDiff = [this](QObject*, TChkMessage m, const QString& t, bool& correct) {
      log << QString("diff %1 %2 %3").arg(m).arg(t).arg(correct);
    };
    c.OnAddField = [this](QObject*, const QString& t, const QString& f) { log << "add " + t + " " + f; };
    c.OnModifyField = [this](QObject*, const QString& t, const QString& f) { log << "modify " + t + " " + f; };
    c.OnCreateTable = [this](QObject*, const QString& t) { log << "created " + t; };
    c.OnModifyTable = [this](QObject*, const QString& t) { log << "restructured " + t; };
    c.OnComplete = [this](QObject*) { log << "complete"; };
    c.OnError = [this](QObject*, const EDBEngineError& e) {
      log << QString("error %1").arg(e.ErrorCode());
      errors << e.ErrorCode();
    };
  }
};
