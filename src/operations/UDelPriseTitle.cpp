#include "operations/UDelPriseTitle.h"

#include <QPainter>
#include <QStyledItemDelegate>

#include "controls/Gradient.h"
#include "operations/UGetDay.h"
#include "rules/TradeRules.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"

namespace {
// lstTitleDrawItem: the text at the top left of the item, red once ticked.
class TickedInRed : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void initStyleOption(QStyleOptionViewItem* o, const QModelIndex& i) const override {
    QStyledItemDelegate::initStyleOption(o, i);
    o->displayAlignment = Qt::AlignLeft | Qt::AlignTop;
    if (i.data(Qt::CheckStateRole).toInt() == Qt::Checked) o->palette.setColor(QPalette::Text, Qt::red);
  }
};
}  // namespace

TfrmDelPriseTitle::TfrmDelPriseTitle(QWidget* parent) : TAppForm(parent) {
  setObjectName("frmDelPriseTitle");
  setWindowTitle("Suppression des prises par Titres");
  Titre.SQL.Add("SELECT * FROM TITRE");
  Titre.SQL.Add("ORDER BY NORD");
  InDataPath(Titre);  // TitreBeforeOpen
  InDataPath(myQuery);
  setFixedSize(470, 380);  // FormCanResize refuses every change of size

  lstTitle = MakeTitleColumns(this, QRect(8, 8, 454, 310), 220);
  lstTitle->setItemDelegate(new TickedInRed(lstTitle));
  auto* strip = new QWidget(this);
  strip->setGeometry(0, 326, 470, 54);
  GradientBackground(strip);
  btnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", strip);
  btnOk->setObjectName("btnOk");
  btnOk->setGeometry(270, 12, 90, 30);
  btnOk->setEnabled(false);
  BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Annuler", strip);
  BitBtn2->setObjectName("BitBtn2");
  BitBtn2->setGeometry(366, 12, 90, 30);
  for (QPushButton* b : {btnOk, BitBtn2}) b->setAutoDefault(false);

  connect(lstTitle, &QListWidget::itemChanged, this, [this] { GuardEvent([this] { lstTitleClickCheck(); }); });
  connect(btnOk, &QPushButton::clicked, this, [this] {
    GuardEvent([this] { btnOkClick(); });
    // An OK button: the window closes with OK whatever was answered.
    EndModal(this, ModalResult::OK);
  });
  connect(BitBtn2, &QPushButton::clicked, this, [this] {
    EndModal(this, ModalResult::Cancel);
  });
  CenterOnScreen();
  FormCreate();
}

void TfrmDelPriseTitle::FormCreate() {
  lstTitle->clear();
  Titre.Open();
  for (const auto& row : Titre.ReadRows(0, Titre.RecordCount())) {
    const QString id = row[Titre.FieldByName("Id")->Index()].toString();
    const QString name = row[Titre.FieldByName("Titre")->Index()].toString();
    auto* item = new QListWidgetItem("[" + id + "] - " + name, lstTitle);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  Titre.Close();
}

void TfrmDelPriseTitle::lstTitleClickCheck() {
  bool any = false;
  for (int i = 0; i < lstTitle->count() && !any; ++i) any = lstTitle->item(i)->checkState() == Qt::Checked;
  btnOk->setEnabled(any);
}

QString TfrmDelPriseTitle::ItemCode(const QString& item) {
  QString t = item.trimmed();
  t = t.left(t.indexOf(']') < 0 ? t.size() : t.indexOf(']'));
  return t.remove('[');
}

void TfrmDelPriseTitle::btnOkClick() {
  if (MessageDlg("Supprimer toutes les prises des titres sélectionnés ?", MsgDlgType::Confirmation, mbYes | mbNo) !=
      ModalResult::Yes)
    return;
  const bool allClients = IdRegion.trimmed().isEmpty();
  QStringList codes;
  for (int i = 0; i < lstTitle->count(); ++i)
    if (QListWidgetItem* it = lstTitle->item(i); it->checkState() == Qt::Checked) codes << ItemCode(it->text());
  SetScreenCursor(TCursor::crHourGlass);
  TTable disto;
  disto.SetDatabaseName(DataPath);
  disto.SetTableName("Disto.DB");
  disto.SetIndexFieldNames("DateJ;Id_Client;Id_Titre");
  // Every ticked title or none.
  TDbTransaction tx(DataPath);
  try {
    disto.Open();
    // The day's rows of the region's clients (or of every client); only those rows change.
    const QHash<QString, int> rows = trade::ReadDayQuantities(DataPath, DateJ, allClients ? QString() : IdRegion);
    trade::TakingStore store(disto, DataPath, DateJ);
    for (const QString& code : codes) {
      for (auto it = rows.constBegin(); it != rows.constEnd(); ++it) {
        const QString client = it.key().section(QChar(0x1F), 0, 0), title = it.key().section(QChar(0x1F), 1);
        if (title == code && it.value() != 0) store.Store(client, title, 0);
      }
    }
    tx.Commit();
    DbiSaveChanges(disto);
  } catch (...) {
    if (disto.Active() && disto.State() != dsBrowse) disto.Cancel();
    tx.Rollback();
    SetScreenCursor(TCursor::crDefault);
    throw;
  }
  SetScreenCursor(TCursor::crDefault);
}
