// The distribution list: for one numbered list and one day, one row per client of the list's
// region (delivery order) and one column per title of the list, with column totals.
//
// Opening it from another window (the takings window's "Imprimer la liste"):
//   TfrmRptListe rpt(nullptr);
//   rpt.NoListe = 3;  rpt.DateListe = QDateTime(day, QTime());
//   rpt.Preview();    // returns once the preview window is closed
#pragma once
#include <QDateTime>
#include <QHash>
#include <QWidget>
#include <array>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/reportengine/Report.h"

class TfrmRptListe : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kSlots = 15;
  explicit TfrmRptListe(QWidget* owner = nullptr);
  ~TfrmRptListe() override;

  int NoListe = 0;
  QDateTime DateListe;

  TReport rptListe;
  TQuery qListe, qClient, qDisto, qTitre, qRegion;
  TTable LISTE;

  TRLabel *lStatut, *lJournee, *lRegion, *lNom;
  TRBand *PageHeader, *GroupHeader, *Detail, *GroupFooter;

  QString RegionCode() const { return region_; }
  bool Built() const { return built_; }
  // Runs the report into the preview; returns once the preview is closed.
  void Preview() { rptListe.Preview(); }

 private:
  void BuildLayout();
  void rptListeBeforePrint(bool& print);
  void rptListeAfterPrint();
  void BuildListe();
  QString region_;
  QString regionLabel_;
  QHash<QString, QString> names_;
  bool built_ = false;
};
