#include "maintenance/UEpur.h"

#include <QCalendarWidget>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "maintenance/MaintCommon.h"
#include "platform/db/DbiStructure.h"
#include "platform/db/Transaction.h"
#include "platform/sys/Formats.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"
#include "schema/AppSchema.h"
#include "schema/Descriptor.h"
#include "shell/UCalendar.h"
#include "shell/global.h"
#include "shell/SessionEnd.h"

void PackTable(QWidget*, TTable& table) {
  if (!table.Active()) throw EDBEngineError(DBIERR_INVALIDPARAM, "Table must be  opened to pack");
  if (!table.Exclusive()) throw EDBEngineError(DBIERR_INVALIDPARAM, "Table must be  opened exclusively to pack");
  const QString folder = table.DatabaseName();
  const QString name = table.TableName();
  // The table's type: as set on it, else by its file's extension (the engine's own rule).
  TTableType type = table.TableType();
  if (type == ttDefault) {
    const QString ext = name.section('.', -1).toUpper();
    type = !name.contains('.') || ext == "DB" ? ttParadox : ext == "DBF" ? ttDBase : ttDefault;
  }
  if (type != ttParadox && type != ttDBase)
    throw EDBEngineError(DBIERR_INVALIDPARAM, "Table must be  either of Paradox or dBASE type to pack");
  table.Close();
  const int rc = Dbi::PackTable(folder, name);
  if (rc != DBIERR_NONE) throw EDBEngineError(rc, Dbi::LastErrorText());
}

TfrmEpur::TfrmEpur(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      myQuery("myQuery") {
  setObjectName("frmEpur");
  setWindowTitle("Epuration des fichiers");
  setFixedSize(330, 190);

  Label1 = new QLabel("Suppression des données : ", this);
  Label1->setObjectName("Label1");
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label1->setGeometry(16, 12, 298, 20);
  Label2 = new QLabel("Du : ", this);
  Label2->setObjectName("Label2");
  Label2->setGeometry(24, 46, 40, 22);
  edDDeb = new QLineEdit(this);
  edDDeb->setObjectName("edDDeb");
  edDDeb->setGeometry(66, 46, 100, 22);
  SpeedButton3 = new QToolButton(this);
  SpeedButton3->setObjectName("SpeedButton3");
  SpeedButton3->setText("...");
  SpeedButton3->setToolTip("Calendrier");
  SpeedButton3->setGeometry(170, 46, 24, 22);
  Label3 = new QLabel("Au : ", this);
  Label3->setObjectName("Label3");
  Label3->setGeometry(24, 78, 40, 22);
  edDFin = new QLineEdit(this);
  edDFin->setObjectName("edDFin");
  edDFin->setGeometry(66, 78, 100, 22);
  SpeedButton2 = new QToolButton(this);
  SpeedButton2->setObjectName("SpeedButton2");
  SpeedButton2->setText("...");
  SpeedButton2->setToolTip("Calendrier");
  SpeedButton2->setGeometry(170, 78, 24, 22);

  BitBtn1 = new QPushButton("Supprimer", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setGeometry(214, 46, 100, 28);
  BitBtn2 = new QPushButton("&Fermer", this);
  BitBtn2->setObjectName("BitBtn2");
  BitBtn2->setGeometry(214, 80, 100, 28);

  pnlProgress = new QFrame(this);
  pnlProgress->setObjectName("pnlProgress");
  pnlProgress->setFrameShape(QFrame::Panel);
  pnlProgress->setFrameShadow(QFrame::Sunken);
  pnlProgress->setGeometry(8, 120, 314, 60);
  lblProgress = new QLabel("Package en cours ...", pnlProgress);
  lblProgress->setObjectName("lblProgress");
  lblProgress->setAlignment(Qt::AlignCenter);
  lblProgress->setGeometry(4, 6, 306, 20);
  ProgressBar1 = new QProgressBar(pnlProgress);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setGeometry(8, 32, 298, 18);
  pnlProgress->hide();

  connect(SpeedButton3, &QToolButton::clicked, this, [this] { GuardEvent([this] { SpeedButton3Click(); }); });
  connect(SpeedButton2, &QToolButton::clicked, this, [this] { GuardEvent([this] { SpeedButton2Click(); }); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { GuardEvent([this] { BitBtn1Click(); }); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
}

namespace {
// The shared calendar, modal; an invalid date when cancelled.
QDate PickDate() {
  auto* f = new TfrmCalendar(nullptr);
  const ModalResult r = Dialogs().RunModal(f);
  const QDate d = f->myCalend->selectedDate();
  delete f;
  return r == ModalResult::OK ? d : QDate();
}
}  // namespace

void TfrmEpur::SpeedButton3Click() {
  const QDate d = PickDate();
  if (!d.isValid()) return;
  edDDeb->setText(DateToStr(d));
  if (edDFin->text().isEmpty()) edDFin->setText(DateToStr(d.addDays(28)));
}

void TfrmEpur::SpeedButton2Click() {
  const QDate d = PickDate();
  if (d.isValid()) edDFin->setText(DateToStr(d));
}

void TfrmEpur::BitBtn2Click() {
  EndModal(this, ModalResult::Cancel);
}

void TfrmEpur::BitBtn1Click() {
  const auto from = TryStrToDate(edDDeb->text());
  if (!from) {
    ShowError(edDDeb->text() + "  n'est pas une date correcte !");
    edDDeb->setFocus();
    return;
  }
  const auto to = TryStrToDate(edDFin->text());
  if (!to) {
    ShowError(edDFin->text() + "  n'est pas une date correcte !");
    edDFin->setFocus();
    return;
  }
  if (MessageDlg("Etes-vous sûr de vouloir supprimer les données saisies entre le " + edDDeb->text() + " et le " +
                     edDFin->text() + " ?",
                 MsgDlgType::Warning, mbYes | mbNo) != ModalResult::Yes)
    return;
  if (MessageDlg("La suppression des données est irreversible. \rConfirmer le lancement de cette opération?",
                 MsgDlgType::Confirmation, mbOK | mbCancel) != ModalResult::OK)
    return;
  TEndOfSessionHold hold;
  SetScreenCursor(TCursor::crHourGlass);
  // On a year of data the first deletion holds the program for a while: the box must leave the
  // screen, and the window show what is going on, before it starts.
  lblProgress->setText("Suppression des données en cours ...");
  ProgressBar1->setValue(ProgressBar1->minimum());
  pnlProgress->show();
  ProcessMessages();
  QGuiApplication::sync();  // the window system has taken the box away and asked for the repaint
  ProcessMessages();
  try {
    Purge(*from, *to);
    PackAll();
  } catch (...) {
    pnlProgress->hide();
    SetScreenCursor(TCursor::crDefault);
    throw;
  }
  SetScreenCursor(TCursor::crDefault);
  ProcessMessages();
  MessageDlg("Epuration terminée !", MsgDlgType::Information, mbOK);
}

void TfrmEpur::Purge(const QDate& from, const QDate& to) {
  const QString d1 = DateToSQL(from), d2 = DateToSQL(to);
  const QStringList statements = {
      "DELETE FROM DISTO.DB WHERE (DATEJ>='" + d1 + "') and " + "(DATEJ<='" + d2 + "')",
      "Delete From RETOUR.DB Where (WEEK>='" + d1 + "') and " + "(WEEK<='" + d2 + "')",
      "Delete From HA.DB Where (DATEH>='" + d1 + "') and " + "(DATEH<='" + d2 + "')"};
  // The three deletions are one: a failure of any of them leaves every table as it was.
  TDbTransaction tx(DataPath);
  try {
    for (const QString& sql : statements) {
      if (myQuery.Active()) myQuery.Close();
      myQuery.SetDatabaseName(DataPath);
      myQuery.SQL.Clear();
      myQuery.SQL.Add(sql);
      myQuery.ExecSQL();
      ProcessMessages();
    }
    myQuery.Close();
    tx.Commit();
  } catch (...) {
    myQuery.Close();
    tx.Rollback();
    throw;
  }
}

void TfrmEpur::PackAll() {
  const QStringList lines = ApplicationDescriptor();
  // The names as the schema's blocks give them, one at each block's line of the progress.
  const QStringList tables = SchemaTableFiles();
  int next = 0;
  TTable table("Table");
  table.SetDatabaseName(DataPath);
  table.SetExclusive(true);
  ProgressBar1->setMaximum(int(lines.size()));
  ProgressBar1->setMinimum(0);
  ProgressBar1->setValue(0);
  lblProgress->setText("Package en cours ...");
  pnlProgress->show();
  ProcessMessages();
  try {
    for (const QString& line : lines) {
      if (DescKeyword(line) == "OBJECT" && next < tables.size()) {
        table.SetTableName(tables[next++]);
        table.Open();
        PackTable(this, table);
        table.Close();
        ProcessMessages();
      }
      ProgressBar1->setValue(ProgressBar1->value() + 1);
      ProcessMessages();
    }
  } catch (...) {
    table.Close();
    pnlProgress->hide();
    throw;
  }
  pnlProgress->hide();
  ProcessMessages();
}
