#include "operations/UDelPriseTitle.h"

#include <QPainter>
#include <QStyledItemDelegate>

#include "controls/Gradient.h"
#include "operations/UGetDay.h"
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

TfrmDelPriseTitle::TfrmDelPriseTitle(QWidget* parent) : TRefForm(parent) {
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
  myQuery.SetDatabaseName(DataPath);
  myQuery.SQL.Clear();
  if (allClients) {
    myQuery.SQL.Add("UPDATE Disto.DB SET Qte_Prise=0 WHERE (DateJ=:myDay) AND (Id_Titre=:myTitle)");
  } else {
    myQuery.SQL.Add("UPDATE Disto.DB SET Qte_Prise=0 WHERE DateJ=:myDay AND ID_Titre=:myTitle AND ");
    myQuery.SQL.Add("ID_Client IN (SELECT ID FROM CLIENT WHERE REGION=:myRegion)");
  }
  SetScreenCursor(TCursor::crHourGlass);
  // Every ticked title or none.
  TDbTransaction tx(DataPath);
  try {
    for (int i = 0; i < lstTitle->count(); ++i) {
      QListWidgetItem* it = lstTitle->item(i);
      if (it->checkState() != Qt::Checked) continue;
      myQuery.ParamByName("myDay")->AsDate = DateJ;
      myQuery.ParamByName("myTitle")->AsString = ItemCode(it->text());
      if (!allClients) myQuery.ParamByName("myRegion")->AsString = IdRegion;
      myQuery.ExecSQL();
    }
    tx.Commit();
  } catch (...) {
    tx.Rollback();
    SetScreenCursor(TCursor::crDefault);
    throw;
  }
  SetScreenCursor(TCursor::crDefault);
}
