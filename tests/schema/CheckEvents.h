// Everything a check's events said, one line each ("modify CLIENT.DB Nom", "after 2 CLIENT.DB").
#pragma once
#include <QList>
#include <QStringList>

#include "schema/DbChk.h"

struct CheckEvents {
  QStringList log;
  QList<TChkMessage> after;
  QList<int> errors;
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
