#include "refdata/UOrgaD.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTimer>

#include "controls/Gradient.h"
#include "platform/db/Transaction.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"

namespace {
// Siblings sort by the first four characters of their text: titles by their padded order
// number, regions by the start of their name.
class TvItem : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override {
    return text(0).left(4) < other.text(0).left(4);
  }
};
}  // namespace

TfrmOrgaD::TfrmOrgaD(QWidget* parent) : TAppForm(parent), dsModule(&OrgaD), dsTitre(&qTitre) {
  setObjectName("frmOrgaD");
  setWindowTitle("Distribution des titres par région");
  OrgaD.Name = "OrgaD";
  OrgaD.SetTableName("OrgaD.db");
  qRegion.SQL.Add("SELECT ID, LIBELLE");
  qRegion.SQL.Add("FROM REGION");
  qRegion.SQL.Add("ORDER BY LIBELLE");
  qTitre.SQL.Add("SELECT ID, NORD, TITRE");
  qTitre.SQL.Add("FROM TITRE");
  qTitre.SQL.Add("ORDER BY NORD");
  for (TDataSet* d : std::initializer_list<TDataSet*>{&OrgaD, &qRegion, &qTitre, &myQuery}) InDataPath(*d);
  OrgaD.AfterPost = [this](TDataSet&) { DbiSaveChanges(OrgaD); };
  qTitre.OnFilterRecord = [this](TDataSet& ds, bool& accept) { qTitreFilterRecord(ds, accept); };
  qTitre.BeforeDelete = [](TDataSet&) { Abort(); };

  resize(640, 460);
  MyTv = new QTreeWidget(this);
  MyTv->setObjectName("MyTv");
  MyTv->setGeometry(4, 4, 330, 410);
  MyTv->setHeaderHidden(true);
  MyTv->setEditTriggers(QAbstractItemView::NoEditTriggers);
  MyTv->setSelectionMode(QAbstractItemView::SingleSelection);
  MyTv->setStyleSheet(
      "QTreeWidget::item:selected { color: yellow; background: palette(highlight); }"
      "QTreeWidget::item:selected:!active { color: yellow; background: palette(highlight); }");

  // Behind the titles: from the gradient's colour to red.
  TGradient* Gradient1 = GradientBackground(this, QRect(336, 0, 304, 438));
  Gradient1->SetColorEnd(clRed);
  grdSource = new TDBGrid(this);
  grdSource->setObjectName("grdSource");
  grdSource->setGeometry(340, 4, 296, 370);
  grdSource->SetOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgRowSelect |
                        dgAlwaysShowSelection | dgMultiSelect);
  grdSource->SetReadOnly(true);
  TColumn& code = grdSource->AddColumn("ID", "Code", 50);
  code.TitleAlignment = Qt::AlignHCenter;
  grdSource->AddColumn("TITRE", "Titre", 200);
  grdSource->SetDataSource(&dsTitre);
  grdSource->OnDblClick = [this](TDBGrid*) { btnUpClick(); };
  grdSource->OnCellClick = [this](TDBGrid*, TColumn&) { ApplicationEvents1Idle(); };

  btnUp = new QPushButton("&Ajouter", this);
  btnUp->setObjectName("btnUp");
  btnUp->setGeometry(340, 382, 90, 28);
  btnDwn = new QPushButton("&Retirer", this);
  btnDwn->setObjectName("btnDwn");
  btnDwn->setGeometry(436, 382, 90, 28);
  btnClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "&Fermer", this);
  btnClose->setObjectName("btnClose");
  btnClose->setGeometry(546, 382, 90, 28);
  for (QPushButton* b : {btnUp, btnDwn, btnClose}) b->setAutoDefault(false);

  PopupMenu1 = new QMenu(this);
  mnAdd = PopupMenu1->addAction("Ajouter un titre");
  mnRemove = PopupMenu1->addAction("Retirer le titre");
  PopupMenu1->addSeparator();
  mnClose = PopupMenu1->addAction("Fermer");

  stBar = new TPanelStatusBar(this, {150, 200});
  stBar->setObjectName("stBar");
  stBar->Panels[0]->setAlignment(Qt::AlignCenter);
  stBar->setGeometry(0, 438, 640, 22);

  OnClick(btnUp, this, &TfrmOrgaD::btnUpClick);
  OnClick(btnDwn, this, &TfrmOrgaD::btnDwnClick);
  connect(btnClose, &QPushButton::clicked, this, [this] { Close(); });
  connect(mnAdd, &QAction::triggered, this, [this] { GuardEvent([this] { btnUpClick(); }); });
  connect(mnRemove, &QAction::triggered, this, [this] { GuardEvent([this] { btnDwnClick(); }); });
  connect(mnClose, &QAction::triggered, this, [this] { mnCloseClick(); });
  connect(MyTv, &QTreeWidget::currentItemChanged, this, [this] {
    GuardEvent([this] { MyTvChange(); });
    ApplicationEvents1Idle();
  });
  // The buttons follow the selections whenever the operator has done something.
  qApp->installEventFilter(this);

  CenterOnScreen();
  FormCreate();
  ApplicationEvents1Idle();
}

TfrmOrgaD::~TfrmOrgaD() {
  qApp->removeEventFilter(this);
  grdSource->SetDataSource(nullptr);
}

QString TfrmOrgaD::GetNodeId(QTreeWidgetItem* node) { return node ? node->data(0, CodeRole).toString() : QString(); }

void TfrmOrgaD::FormCreate() {
  OpenNamed(OrgaD);
  OpenNamed(qRegion);
  OpenNamed(qTitre);
  stBar->Panels[0]->setText(IntToStr(qTitre.RecordCount()) + " Titres");
  qTitre.SetFiltered(true);
  LoadTree();
  MyTv->sortItems(0, Qt::AscendingOrder);
  if (MyTv->topLevelItemCount() > 0) {
    QTreeWidgetItem* first = MyTv->topLevelItem(0);
    MyTv->scrollToItem(first);
    MyTv->setCurrentItem(first);  // runs MyTvChange
  } else {
    ReadRegionTitles();
    RereadTitles();
  }
}

QTreeWidgetItem* TfrmOrgaD::AddTitleNode(QTreeWidgetItem* region, const QString& id, int nord, const QString& titre) {
  auto* n = new TvItem(region);
  n->setText(0, PadLeft(IntToStr(nord), "0", 4) + " - " + titre + " - [" + id + "]");
  n->setData(0, CodeRole, id);
  n->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
  n->setForeground(0, StdColors::Navy());
  return n;
}

void TfrmOrgaD::LoadTree() {
  SetScreenCursor(TCursor::crHourGlass);
  grdSource->setEnabled(false);
  qTitre.SetFiltered(false);
  ProcessMessages();
  MyTv->setUpdatesEnabled(false);
  MyTv->clear();
  const auto regions = qRegion.ReadRows(0, qRegion.RecordCount());
  const int rId = qRegion.FieldByName("ID")->Index(), rLib = qRegion.FieldByName("LIBELLE")->Index();
  for (const auto& r : regions) {
    auto* node = new TvItem(MyTv);
    node->setText(0, r.value(rLib).toString() + " - [" + r.value(rId).toString() + "]");
    node->setData(0, CodeRole, r.value(rId).toString());
    node->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    QFont f = MyTv->font();
    f.setBold(true);
    f.setUnderline(true);
    node->setFont(0, f);
    node->setForeground(0, StdColors::Red());
  }
  // The titles, unfiltered, by code.
  struct TitleInfo { int nord; QString titre; };
  QHash<QString, TitleInfo> titles;
  const int tId = qTitre.FieldByName("ID")->Index(), tNord = qTitre.FieldByName("NORD")->Index(),
            tTitre = qTitre.FieldByName("TITRE")->Index();
  for (const auto& t : qTitre.ReadRows(0, qTitre.RecordCount()))
    titles.insert(t.value(tId).toString(), {t.value(tNord).toInt(), t.value(tTitre).toString()});
  OrgaD.SetFiltered(true);
  const int oTitre = OrgaD.FieldByName("Id_Titre")->Index();
  for (int i = 0; i < MyTv->topLevelItemCount(); ++i) {
    QTreeWidgetItem* root = MyTv->topLevelItem(i);
    OrgaD.SetFilter(FilterEq("ID_REGION", GetNodeId(root)));
    for (const auto& row : OrgaD.ReadRows(0, OrgaD.RecordCount())) {
      auto it = titles.find(row.value(oTitre).toString());
      if (it != titles.end()) AddTitleNode(root, it.key(), it->nord, it->titre);
    }
  }
  if (MyTv->topLevelItemCount() > 0) MyTv->expandItem(MyTv->topLevelItem(0));
  MyTv->setUpdatesEnabled(true);
  OrgaD.SetFiltered(false);
  grdSource->setEnabled(true);
  qTitre.SetFiltered(true);
  SetScreenCursor(TCursor::crDefault);
  ProcessMessages();
}

void TfrmOrgaD::ReadRegionTitles() {
  regionTitles_.clear();
  const int oTitre = OrgaD.FieldByName("Id_Titre")->Index();
  for (const auto& row : OrgaD.ReadRows(0, OrgaD.RecordCount())) regionTitles_.insert(row.value(oTitre).toString());
}

void TfrmOrgaD::RereadTitles() {
  qTitre.Close();
  OpenNamed(qTitre);
}

void TfrmOrgaD::qTitreFilterRecord(TDataSet& ds, bool& accept) {
  accept = !regionTitles_.contains(ds.FieldByName("ID")->AsString());
}

void TfrmOrgaD::MyTvChange() {
  QTreeWidgetItem* node = MyTv->currentItem();
  if (!node) return;
  QTreeWidgetItem* region = node->parent() ? node->parent() : node;
  OrgaD.SetFilter(FilterEq("ID_REGION", GetNodeId(region)));
  OrgaD.SetFiltered(true);
  OrgaD.First();
  ReadRegionTitles();
  RereadTitles();
}

void TfrmOrgaD::btnUpClick() {
  TBookmarkList& sel = grdSource->SelectedRows();
  QTreeWidgetItem* node = MyTv->currentItem();
  if (sel.Count() > 0 && node) {
    QTreeWidgetItem* region = node->parent() ? node->parent() : node;
    const QString regionId = GetNodeId(region);
    const std::vector<TBookmark> marks(&sel[0], &sel[0] + sel.Count());
    QString failure;
    for (const TBookmark& bm : marks) {
      qTitre.GotoBookmark(bm);
      const QString id = qTitre.FieldByName("ID")->AsString;
      const int nord = qTitre.FieldByName("NORD")->AsInteger;
      const QString titre = qTitre.FieldByName("TITRE")->AsString;
      try {
        OrgaD.Append();
        OrgaD.FieldByName("Id_Region")->AsString = regionId;
        OrgaD.FieldByName("Id_Titre")->AsString = id;
        OrgaD.FieldByName("Ord_Titre")->AsInteger = nord;
        OrgaD.Post();
      } catch (const Exception& e) {
        // This title is passed over, the others go on; the tree shows only what was stored.
        if (OrgaD.State() == dsInsert) OrgaD.Cancel();
        if (failure.isEmpty() && !dynamic_cast<const EAbort*>(&e)) failure = e.Message();
        continue;
      }
      AddTitleNode(region, id, nord, titre);
    }
    ReadRegionTitles();
    RereadTitles();
    MyTv->sortItems(0, Qt::AscendingOrder);
    if (!failure.isEmpty()) ShowError(failure);
  }
  sel.Refresh();
  grdSource->Invalidate();
  ApplicationEvents1Idle();
}

void TfrmOrgaD::btnDwnClick() {
  QTreeWidgetItem* node = MyTv->currentItem();
  if (!node || !node->parent()) return;
  if (!ConfirmYesNo("Etes-vous sûr de vouloir retirer ce titre ?")) return;
  myQuery.Close();
  myQuery.SQL.Clear();
  myQuery.SQL.Add("DELETE FROM ORGAD.DB WHERE ID_REGION=:Region AND ID_TITRE=:Titre");
  myQuery.ParamByName("Region")->AsString = GetNodeId(node->parent());
  myQuery.ParamByName("Titre")->AsString = GetNodeId(node);
  myQuery.ExecSQL();
  delete node;
  OrgaD.Refresh();
  ReadRegionTitles();
  RereadTitles();
  ApplicationEvents1Idle();
}

void TfrmOrgaD::ApplicationEvents1Idle() {
  QTreeWidgetItem* node = MyTv->currentItem();
  btnUp->setEnabled(grdSource->SelectedRows().Count() > 0 && node != nullptr);
  btnDwn->setEnabled(node != nullptr && node->parent() != nullptr);
  mnAdd->setEnabled(btnUp->isEnabled());
  mnRemove->setEnabled(btnDwn->isEnabled());
}

void TfrmOrgaD::mnCloseClick() { Close(); }

bool TfrmOrgaD::eventFilter(QObject* o, QEvent* e) {
  switch (e->type()) {
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
      QTimer::singleShot(0, this, [this] { ApplicationEvents1Idle(); });
      break;
    case QEvent::KeyPress:
      // The window's shortcut comes before its controls: Escape closes it.
      if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape && o->isWidgetType() && !PopupMenu1->isVisible() &&
          (o == this || isAncestorOf(static_cast<QWidget*>(o)))) {
        Close();
        return true;
      }
      break;
    case QEvent::ContextMenu:
      if (!PopupMenu1->isVisible() && (o == this || (o->isWidgetType() && isAncestorOf(static_cast<QWidget*>(o))))) {
        ApplicationEvents1Idle();
        PopupMenu1->popup(static_cast<QContextMenuEvent*>(e)->globalPos());
        return true;
      }
      break;
    default:
      break;
  }
  return TAppForm::eventFilter(o, e);
}

void TfrmOrgaD::FormClose() {
  qTitre.Close();
  qRegion.Close();
  OrgaD.Close();
}
