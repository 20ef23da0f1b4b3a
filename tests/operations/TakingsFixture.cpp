#include "TakingsFixture.h"


#include "operations/UGetDay.h"
#include "platform/sys/Clock.h"
#include "shell/global.h"

TakingsTest::TakingsTest() {
  InitializeFormats();
  SetClock(QDateTime(QDate(2005, 3, 7), QTime(9, 0)));
  AddRow("Region.db", {"02", "SUD"});
  AddRow("Region.db", {"01", "NORD"});
  // Titles: code, order, colour, name, short, number, purchase price, price, periodicity.
  AddRow("Titre.DB", {"0001", 1, 0, "LE MATIN", "MAT", 1, 0.5, 1.0, "0", "A", "1", true});
  AddRow("Titre.DB", {"0002", 2, 0, "LA SEMAINE", "SEM", 1, 1.0, 2.0, "1", "A", "1", true});
  AddRow("Titre.DB", {"0003", 3, 0, "LE SOIR", "SOI", 1, 1.5, 3.0, "0", "A", "1", true});
  // NORD receives LA SEMAINE then LE MATIN (and a title that no longer exists); SUD LE SOIR.
  AddRow("OrgaD.DB", {"01", "0002", 1});
  AddRow("OrgaD.DB", {"01", "0001", 2});
  AddRow("OrgaD.DB", {"01", "0009", 3});
  AddRow("OrgaD.DB", {"02", "0003", 1});
  // Clients: code, delivery order, name, ..., region, rebates per periodicity.
  AddRow("CLIENT.DB", {"0001", 2, "DUPONT", {}, {}, {}, "A", "01", 0.1, 0.25, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"0002", 1, "MARTIN", {}, {}, {}, "A", "01", 0.2, 0.5, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"0003", 1, "DURAND", {}, {}, {}, "A", "02", 0, 0, 0, 0, 0, 0});
  AddTaking("07/03/2005", "0001", "0002", 5, 9.99);
  AddTaking("07/03/2005", "0002", "0001", 3);
  AddTaking("07/03/2005", "0003", "0003", 7);
  AddTaking("06/03/2005", "0001", "0001", 4);
  AddTaking("06/03/2005", "0001", "0002", 6);
  AddTaking("06/03/2005", "0002", "0001", 2);
  AddTaking("06/03/2005", "0003", "0001", 9);
}

TakingsTest::~TakingsTest() {
  SetClock(QDateTime());
  delete SelectedTitles;
  SelectedTitles = nullptr;
}

void TakingsTest::AddTaking(const QString& day, const QString& client, const QString& title, int qte, double pu) {
  AddRow("Disto.DB", {QDate::fromString(day, "dd/MM/yyyy"), client, title, qte, pu});
}

QStringList TakingsTest::Day(const QString& day) {
  const QDate d = QDate::fromString(day, "dd/MM/yyyy");
  return Rows(QString("SELECT ID_CLIENT, ID_TITRE, QTE_PRISE, PU FROM DISTO WHERE DATEJ='%1/%2/%3' "
                      "ORDER BY ID_CLIENT, ID_TITRE")
                  .arg(d.month())
                  .arg(d.day())
                  .arg(d.year()));
}

ScriptedDialogs::ModalHandler TakingsTest::AnswerDay(const QString& day, int scope, const QStringList& untick) {
  return [=](QWidget* w) {
    auto* f = static_cast<TfrmGetDay*>(w);
    const int i = f->cmbDay->findText(day);
    if (i < 0) return ModalResult::Cancel;
    f->cmbDay->setCurrentIndex(i);
    f->cmbClient->setCurrentIndex(scope);
    for (int k = 0; k < f->lstTitle->count(); ++k)
      if (untick.contains(f->lstTitle->item(k)->text().section('.', 0, 0)))
        f->lstTitle->item(k)->setCheckState(Qt::Unchecked);
    f->btnOk->click();
    return ModalResult::OK;
  };
}
