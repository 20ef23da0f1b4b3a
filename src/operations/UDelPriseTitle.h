// Zeroing a day's takings of chosen titles, limited to a region when one is given.
#pragma once
#include <QDate>
#include <QListWidget>
#include <QPushButton>

#include "platform/db/Query.h"
#include "shell/AppForm.h"

class TfrmDelPriseTitle : public TAppForm {
  Q_OBJECT
 public:
  explicit TfrmDelPriseTitle(QWidget* parent = nullptr);

  QDate DateJ;       // the day whose takings are set to zero
  QString IdRegion;  // the region limiting the change; empty for every client

  QListWidget* lstTitle;
  QPushButton *btnOk, *BitBtn2;
  TQuery Titre, myQuery;

  void FormCreate();
  void lstTitleClickCheck();
  void btnOkClick();
  // The code of a list item "[0001] - TITRE".
  static QString ItemCode(const QString& item);

 protected:
  void EscapePressed() override { BitBtn2->click(); }
};
