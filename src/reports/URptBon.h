// The delivery notes: for every client of a region (or of all regions), one weekly note of the
// titles taken over a period with their summed quantity and net unit price, built into the work
// table BON.DB and printed through the preview.
#pragma once
#include <QDate>
#include <QHash>
#include <QString>
#include <QDialog>
#include <QWidget>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/reportengine/Report.h"

class TfrmRptBon : public QWidget {
  Q_OBJECT
 public:
  // Asks for the remark printed in every note's footer.
  explicit TfrmRptBon(QWidget* owner = nullptr);
  ~TfrmRptBon() override;

  bool RevertOrder = false;
  // What the report prints; read from the open report chooser before each run when there is
  // one (else left as set by the caller).
  QDate DateDebut, DateFin;
  bool QteNul = false;
  bool AllRegions = false;
  QString Region;  // empty: every client

  TReport RptBon;
  TTable BON;
  TQuery qBon;

  // Controls the events change.
  TRLabel *lHeader, *lHeaderR, *lPeriode, *lPeriodeR, *lTitre, *lTitreR, *lRemarque;
  TRBand *PageHeader, *GroupHeader, *Detail, *GroupFooter, *PageFooter;

  bool Built() const { return built_; }
  // Rebuilds BON.DB from the takings of the period: one grouped query, one transaction.
  void BuildBon();
  // Runs the report into the preview; returns once the preview is closed.
  void Preview() { RptBon.Preview(); }

 private:
  void BuildLayout();
  void ReadChooser();
  void RptBonBeforePrint(bool& print);
  void DetailBeforePrint(bool& print);
  struct TitleInfo {
    bool periodical = false;
    int num = 0;
  };
  QHash<QString, TitleInfo> titles_;
  bool built_ = false;
};

// The remark prompt: a caption, a prompt and an edit box with OK and Cancel.
class TfrmInputBox : public QDialog {
  Q_OBJECT
 public:
  TfrmInputBox(const QString& caption, const QString& prompt, const QString& value, QWidget* owner = nullptr);
  class QLineEdit* Value;
};

// The standard input box: true and the text typed on OK, false on Cancel.
bool InputQuery(const QString& caption, const QString& prompt, QString& value);
