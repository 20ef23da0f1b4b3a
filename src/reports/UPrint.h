// The report chooser: the catalogue of reports (RAPPORT), the parameters of the chosen one and
// the print request that runs its handler.
#pragma once
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <array>
#include <functional>
#include <vector>

#include "platform/db/Query.h"
#include "platform/ui/DBCtrls.h"
#include "platform/ui/DataSource.h"
#include "shell/AppForm.h"

class TPrintImage;

class TfrmPrint : public TAppForm {
  Q_OBJECT
 public:
  explicit TfrmPrint(QWidget* owner = nullptr);
  ~TfrmPrint() override;

  // One row of the catalogue, as read at creation.
  struct CatalogueRow {
    QString Titre, NomProc;
    int Page = 0;
    bool Periode = false;
    int No = 0;
  };
  std::vector<CatalogueRow> Catalogue;
  bool CatalogueRead = false;

  TQuery qRapport, qRegion;
  TDataSource dsRegion;
  std::array<std::function<void()>, 21> Handlers;  // 1..20

  QListWidget* lstPrint;
  QTabWidget* pgControl;
  QWidget *tbDefault, *tbListe;
  QLineEdit *DateDeb, *DateFin;
  QLabel *lblDu, *lblAu;
  QToolButton* btnCalendar;
  TDBLookupComboBox* cmbRegion;
  QCheckBox *chkRegion, *chkQteNul, *chkRevertOrder;
  QDateEdit* edDateListe;
  QLineEdit* edNoListe;
  QPushButton *btnListe, *btnPrint, *btnClose;
  TPrintImage* imgPrint;

  void FormCreate();
  void lstPrintClick();
  void PrintRequest();
  void PrintBon();
  void PrintListe();
  void btnCalendarClick();
  void chkRegionClick();
  void btnListeClick();
  void ColorPeriod();
  // The catalogue row of an item's caption: the first whose TITRE begins with it; nullptr when
  // none does.
  const CatalogueRow* FindRow(const QString& caption) const;

 protected:
  void FormClose() override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  bool creating_ = false;
  // The settings as "DJ.INI" held them when the window opened.
  QString storedIndex_, storedDeb_, storedFin_;
  void ReadCatalogue();
  void UpdateItemImages();
};

// The printer picture: a list item dropped on it prints that report.
class TPrintImage : public QLabel {
  Q_OBJECT
 public:
  explicit TPrintImage(QWidget* parent);
  std::function<void()> OnDrop;
 protected:
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
};

// The open chooser, while it is shown (the delivery notes read its period and options).
extern QPointer<TfrmPrint> frmPrint;

// Creates the chooser, shows it modally, frees it (the main window's "&Imprimer" and the other
// windows' print commands).
void OpenPrintChooser();
