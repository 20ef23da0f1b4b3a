// A data folder with the tables the takings windows use, filled with two regions, three titles
// and three clients, the clock fixed on Monday 7 March 2005, and helpers to drive the windows.
#pragma once
#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QVariant>
#include <gtest/gtest.h>
#include <functional>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "support/AppDataTest.h"

class TakingsTest : public AppDataTest {
 protected:
  TakingsTest();
  ~TakingsTest() override;

  // A taking of a day ("DD/MM/YYYY").
  void AddTaking(const QString& day, const QString& client, const QString& title, int qte, double pu = 1.0);
  // "client|title|qte|pu" of a day's takings in key order.
  QStringList Day(const QString& day);
  // Answers the day-and-titles dialog as a person would: a day (none offered: "Annuler"), a
  // scope, the titles to untick.
  static ScriptedDialogs::ModalHandler AnswerDay(const QString& day, int scope, const QStringList& untick = {});
  // In the per-client window: the current client's row of quantities, its quantity cell typed
  // over from the keyboard.
  template <class PerClientWindow>
  static void RetypeQuantity(PerClientWindow& w, const QString& text) {
    w.grdDisto->setFocus();
    w.grdDisto->SetSelectedIndex(2);
    Press(Qt::Key_F2);
    w.grdDisto->InplaceEditor()->selectAll();
    Type(text);
  }
};
