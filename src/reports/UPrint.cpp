#include "reports/UPrint.h"

#include <QFileInfo>

#include <QApplication>
#include <QCalendarWidget>
#include <QDragEnterEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QTabBar>

#include "platform/db/Table.h"
#include "platform/sys/Clock.h"
#include "shell/Settings.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "refdata/UListe.h"
#include "refdata/UNumTitre.h"
#include "reports/URptBon.h"
#include "reports/URptListe.h"
#include "shell/UCalendar.h"
#include "shell/global.h"

QPointer<TfrmPrint> frmPrint;

namespace {
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kEven(0xFE, 0xEF, 0xC0);  // $C0EFFE

// A printer: paper in, the body with its light, a printed sheet out.
QPixmap PrinterPicture() {
  QPixmap pm(40, 40);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(11.5, 3.5, 17, 12));
  p.setBrush(QColor(0x80, 0x80, 0x80));
  p.drawRoundedRect(QRectF(3.5, 14.5, 33, 14), 2, 2);
  p.setBrush(QColor(0x40, 0x40, 0x40));
  p.drawRect(QRectF(6.5, 27.5, 27, 4));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(10.5, 26.5, 19, 10));
  p.drawLine(QPointF(13, 30), QPointF(27, 30));
  p.drawLine(QPointF(13, 33), QPointF(24, 33));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x00, 0xC0, 0x00));
  p.drawEllipse(QPointF(31, 18.5), 1.5, 1.5);
  return pm;
}
}  // namespace

TPrintImage::TPrintImage(QWidget* parent) : QLabel(parent) { setAcceptDrops(true); }

void TPrintImage::dragEnterEvent(QDragEnterEvent* e) {
  if (qobject_cast<QListWidget*>(e->source())) e->acceptProposedAction();
}
void TPrintImage::dragMoveEvent(QDragMoveEvent* e) {
  if (qobject_cast<QListWidget*>(e->source())) e->acceptProposedAction();
}
void TPrintImage::dropEvent(QDropEvent* e) {
  if (!qobject_cast<QListWidget*>(e->source())) return;
  e->acceptProposedAction();
  if (OnDrop) GuardEvent(OnDrop);
}

TfrmPrint::TfrmPrint(QWidget* owner) : TAppForm(owner) {
  setObjectName("frmPrint");
  setWindowTitle("Impressions");
  setFixedSize(566, 272);
  GradientBackground(this);

  lstPrint = new QListWidget(this);
  lstPrint->setObjectName("lstPrint");
  lstPrint->setGeometry(8, 8, 226, 256);
  lstPrint->setSelectionMode(QAbstractItemView::SingleSelection);
  lstPrint->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lstPrint->setDragEnabled(true);
  lstPrint->setDragDropMode(QAbstractItemView::DragOnly);
  lstPrint->setIconSize(QSize(16, 16));

  pgControl = new QTabWidget(this);
  pgControl->setObjectName("pgControl");
  pgControl->setGeometry(242, 8, 316, 190);
  pgControl->tabBar()->setUsesScrollButtons(false);
  pgControl->tabBar()->setElideMode(Qt::ElideNone);
  tbDefault = new QWidget;
  tbDefault->setObjectName("tbDefault");
  tbListe = new QWidget;
  tbListe->setObjectName("tbListe");
  pgControl->addTab(tbDefault, QString());
  pgControl->addTab(tbListe, QString());
  GradientBackground(tbDefault, QRect(0, 0, 316, 170));
  GradientBackground(tbListe, QRect(0, 0, 316, 170));

  lblDu = MakeLabel(tbDefault, "Du : ", 8, 14, 30);
  lblDu->setObjectName("lblDu");
  DateDeb = new QLineEdit(tbDefault);
  DateDeb->setObjectName("DateDeb");
  DateDeb->setGeometry(38, 10, 90, 22);
  btnCalendar = new QToolButton(tbDefault);
  btnCalendar->setObjectName("btnCalendar");
  btnCalendar->setText("...");
  btnCalendar->setToolTip("Choisir le début de la période");
  btnCalendar->setGeometry(130, 10, 24, 22);
  lblAu = MakeLabel(tbDefault, "Au : ", 164, 14, 30);
  lblAu->setObjectName("lblAu");
  DateFin = new QLineEdit(tbDefault);
  DateFin->setObjectName("DateFin");
  DateFin->setReadOnly(true);
  DateFin->setGeometry(194, 10, 90, 22);
  MakeLabel(tbDefault, "Région  : ", 8, 48, 60);
  qRegion.SetDatabaseName(DataPath);
  qRegion.SQL.Add("SELECT * FROM REGION");
  qRegion.SQL.Add("ORDER BY LIBELLE");
  dsRegion.SetDataSet(&qRegion);
  cmbRegion = new TDBLookupComboBox(tbDefault);
  cmbRegion->setObjectName("cmbRegion");
  cmbRegion->setGeometry(70, 44, 214, 22);
  cmbRegion->SetListSource(&dsRegion);
  cmbRegion->SetKeyField("Id");
  cmbRegion->SetListField("Libelle");
  chkRegion = new QCheckBox("Toutes les régions", tbDefault);
  chkRegion->setObjectName("chkRegion");
  chkRegion->setGeometry(70, 72, 200, 20);
  chkQteNul = new QCheckBox("Imprimer les prises nulles", tbDefault);
  chkQteNul->setObjectName("chkQteNul");
  chkQteNul->setGeometry(8, 104, 260, 20);
  chkRevertOrder = new QCheckBox("Ordre inverse", tbDefault);
  chkRevertOrder->setObjectName("chkRevertOrder");
  chkRevertOrder->setGeometry(8, 128, 260, 20);
  chkRevertOrder->setChecked(true);

  MakeLabel(tbListe, "Journée  : ", 8, 14, 70);
  edDateListe = new QDateEdit(tbListe);
  edDateListe->setObjectName("edDateListe");
  edDateListe->setDisplayFormat("dd/MM/yyyy");
  edDateListe->setCalendarPopup(true);
  // Its weeks as the program's own calendar lays them out: the trade's week starts on Saturday.
  edDateListe->calendarWidget()->setFirstDayOfWeek(Qt::Saturday);
  edDateListe->calendarWidget()->setMinimumWidth(260);  // whole French day names
  edDateListe->setGeometry(80, 10, 120, 22);
  MakeLabel(tbListe, "Liste  N° : ", 8, 48, 70);
  edNoListe = new QLineEdit(tbListe);
  edNoListe->setObjectName("edNoListe");
  edNoListe->setGeometry(80, 44, 70, 22);
  edNoListe->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edNoListe));
  btnListe = new QPushButton("...", tbListe);
  btnListe->setObjectName("btnListe");
  btnListe->setToolTip("Afficher les listes");
  btnListe->setGeometry(154, 44, 28, 22);

  imgPrint = new TPrintImage(this);
  imgPrint->setObjectName("imgPrint");
  imgPrint->setPixmap(PrinterPicture());
  imgPrint->setAlignment(Qt::AlignCenter);
  imgPrint->setToolTip("Déposer un état ici pour l'imprimer");
  imgPrint->setGeometry(250, 212, 48, 48);
  btnPrint = new QPushButton("&Imprimer", this);
  btnPrint->setObjectName("btnPrint");
  btnPrint->setToolTip("Imprimer l'etat sélectionné");
  btnPrint->setGeometry(330, 222, 110, 30);
  btnClose = new QPushButton("&Fermer", this);
  btnClose->setObjectName("btnClose");
  btnClose->setGeometry(448, 222, 110, 30);

  connect(lstPrint, &QListWidget::itemClicked, this, [this] { GuardEvent([&] { lstPrintClick(); }); });
  // The keyboard moves the choice too: the tab always belongs to the report that prints.
  connect(lstPrint, &QListWidget::currentRowChanged, this, [this] {
    if (!creating_) GuardEvent([&] { lstPrintClick(); });
    UpdateItemImages();
  });
  OnClick(btnCalendar, this, &TfrmPrint::btnCalendarClick);
  OnClick(chkRegion, this, &TfrmPrint::chkRegionClick);
  OnClick(btnListe, this, &TfrmPrint::btnListeClick);
  OnClick(btnPrint, this, &TfrmPrint::PrintRequest);
  connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
  connect(DateDeb, &QLineEdit::textChanged, this, [this] { ColorPeriod(); });
  connect(DateFin, &QLineEdit::textChanged, this, [this] { ColorPeriod(); });
  imgPrint->OnDrop = [this] { PrintRequest(); };

  // The window sees keys first: Enter anywhere prints.
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
  installEventFilter(this);

  FormCreate();
}

TfrmPrint::~TfrmPrint() {
  if (frmPrint == this) frmPrint = nullptr;
}

void TfrmPrint::ReadCatalogue() {
  Catalogue.clear();
  CatalogueRead = false;
  TTable probe;
  probe.SetDatabaseName(AppPath);
  probe.SetTableName("RAPPORT.DB");
  if (!probe.Exists()) {
    ShowError("Le catalogue des états RAPPORT.DB est introuvable dans le dossier du programme (" + AppPath +
              ").\rLa liste des états reste vide.");
    return;
  }
  try {
    qRapport.Close();
    qRapport.SetDatabaseName(AppPath);
    qRapport.SQL.SetText("SELECT * FROM RAPPORT");
    qRapport.Open();
    for (const char* f : {"TITRE", "NOMPROC", "PAGE", "PERIODE", "NO"})
      if (!qRapport.FindField(f)) throw Exception(QString("le champ %1 manque").arg(f));
    for (qRapport.First(); !qRapport.Eof(); qRapport.Next()) {
      CatalogueRow r;
      r.Titre = qRapport.FieldByName("TITRE")->AsString();
      r.NomProc = qRapport.FieldByName("NOMPROC")->AsString();
      r.Page = qRapport.FieldByName("PAGE")->AsInteger();
      r.Periode = qRapport.FieldByName("PERIODE")->AsBoolean();
      r.No = qRapport.FieldByName("NO")->AsInteger();
      Catalogue.push_back(r);
    }
    CatalogueRead = true;
  } catch (const Exception& e) {
    Catalogue.clear();
    qRapport.Close();
    ShowError("Le catalogue des états RAPPORT.DB est illisible (" + AppPath + ") : " + e.Message() +
              "\rLa liste des états reste vide.");
  }
}

void TfrmPrint::FormCreate() {
  creating_ = true;
  struct Done {
    bool& f;
    ~Done() { f = false; }
  } done{creating_};
  Handlers.fill(nullptr);
  Handlers[1] = [this] { PrintBon(); };
  Handlers[2] = [this] { PrintListe(); };
  Handlers[3] = Handlers[4] = Handlers[5] = [] {};
  edDateListe->setDate(Now().date());
  ReadCatalogue();
  try {
    qRegion.Open();
    if (!qRegion.IsEmpty()) {
      qRegion.First();
      cmbRegion->SetKeyValue(qRegion.FieldByName("Id")->AsString());
    }
  } catch (const Exception& e) {
    ShowError(e.Message());
  }
  lstPrint->clear();
  for (const CatalogueRow& r : Catalogue) {
    auto* item = new QListWidgetItem(r.Titre, lstPrint);
    if (lstPrint->count() % 2 == 1) item->setBackground(kEven);  // even indexes
  }
  TDjIni ini;
  int index = ini.LstPrint();
  DateDeb->setText(ini.Deb());
  DateFin->setText(ini.Fin());
  if (QFileInfo::exists(ini.FileName())) {
    storedIndex_ = ini.LstPrintText();
    storedDeb_ = ini.Deb();
    storedFin_ = ini.Fin();
  } else {
    storedIndex_ = "-";  // never written: written at the first close
  }
  if (lstPrint->count() > 0) {
    // A stored index the catalogue no longer has selects the first report.
    if (index < 0 || index >= lstPrint->count()) index = 0;
    lstPrint->setCurrentRow(index);
    lstPrintClick();
  }
  UpdateItemImages();
  chkRegionClick();
  ColorPeriod();
}

void TfrmPrint::UpdateItemImages() {
  for (int i = 0; i < lstPrint->count(); ++i)
    lstPrint->item(i)->setIcon(style()->standardIcon(i == lstPrint->currentRow() ? QStyle::SP_DialogApplyButton
                                                                                   : QStyle::SP_FileIcon));
}

const TfrmPrint::CatalogueRow* TfrmPrint::FindRow(const QString& caption) const {
  for (const CatalogueRow& r : Catalogue)
    if (r.Titre.startsWith(caption, Qt::CaseSensitive)) return &r;
  return nullptr;
}

void TfrmPrint::ColorPeriod() {
  for (QLineEdit* e : {DateDeb, DateFin}) SetColors(e, e->isEnabled() ? QColor(Qt::white) : kSilver);
}

void TfrmPrint::lstPrintClick() {
  QListWidgetItem* item = lstPrint->currentItem();
  if (!item) return;
  const CatalogueRow* row = FindRow(item->text());
  if (!row) return;
  const int page = std::clamp(row->Page, 0, pgControl->count() - 1);
  QString caption = row->Titre;
  const QFontMetrics fm(font());
  // As wide as the tabs, less the tab's own margins.
  while (fm.horizontalAdvance(caption) < pgControl->width() - 28) caption += ' ';
  for (int i = 0; i < pgControl->count(); ++i) pgControl->setTabVisible(i, i == page);
  pgControl->setTabText(page, caption);
  pgControl->setCurrentIndex(page);
  pgControl->tabBar()->setTabTextColor(page, QColor(Qt::darkBlue));
  for (QWidget* w : std::initializer_list<QWidget*>{DateDeb, DateFin, lblDu, lblAu, btnCalendar})
    w->setEnabled(row->Periode);
  if (row->Periode && page != 1) {
    QWidget* tab = pgControl->widget(page);
    for (QWidget* w : std::initializer_list<QWidget*>{DateDeb, DateFin, lblDu, lblAu, btnCalendar})
      if (w->parentWidget() != tab) {
        w->setParent(tab);
        w->show();
      }
  }
  UpdateItemImages();
  ColorPeriod();
  ProcessMessages();
}

void TfrmPrint::PrintRequest() {
  QListWidgetItem* item = lstPrint->currentItem();
  if (!item || !item->isSelected()) return;
  const CatalogueRow* row = FindRow(item->text());
  if (!row || row->No < 1 || row->No > 20 || !Handlers[row->No]) return;
  const std::function<void()> handler = Handlers[row->No];
  handler();
}

void TfrmPrint::PrintBon() {
  if (!TryStrToDate(DateDeb->text())) {
    ShowError("La date de début periode est incorrecte !");
    DateDeb->setFocus();
    Abort();
  }
  if (!TryStrToDate(DateFin->text())) {
    ShowError("La date de fin periode est incorrecte !");
    DateDeb->setFocus();
    Abort();
  }
  {
    TfrmNumTitre num(this);
    Dialogs().RunModal(&num);
  }
  TfrmRptBon rpt(nullptr);
  rpt.RevertOrder = chkRevertOrder->isChecked();
  rpt.Preview();
}

void TfrmPrint::PrintListe() {
  // Only a whole number names a list.
  const QString text = edNoListe->text().trimmed();
  const auto no = TryStrToInt(text);
  if (!IsNumber(text) || !no || *no < 1 || *no > 32767) {
    ShowError("Veuillez sélectionner une liste S.V.P !");
    edNoListe->setFocus();
    Abort();
  }
  TfrmRptListe rpt(nullptr);
  rpt.NoListe = int(*no);
  rpt.DateListe = QDateTime(edDateListe->date(), QTime());
  rpt.Preview();
}

void TfrmPrint::btnCalendarClick() {
  TfrmCalendar cal(nullptr);
  if (Dialogs().RunModal(&cal) != ModalResult::OK) return;
  const QDate d = cal.myCalend->selectedDate();
  DateDeb->setText(DateToStr(d));
  DateFin->setText(DateToStr(d.addDays(6)));
}

void TfrmPrint::chkRegionClick() {
  cmbRegion->setEnabled(!chkRegion->isChecked());
  cmbRegion->SetColors(cmbRegion->isEnabled() ? QColor(Qt::white) : kSilver, QColor());
}

void TfrmPrint::btnListeClick() {
  {
    TfrmListe liste(nullptr);
    Dialogs().RunModal(&liste);
  }
  edNoListe->setText(QString::number(CurrentListNo));
}

bool TfrmPrint::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
      GuardEvent([&] { PrintRequest(); });
      return true;
    }
    if (o == edNoListe) {
      const QChar c = KeyPressChar(k);
      if (!c.isNull() && !(c >= '0' && c <= '9') && c.unicode() != 8) return true;
    }
  }
  return TAppForm::eventFilter(o, e);
}

void TfrmPrint::FormClose() {
  QListWidgetItem* item = lstPrint->currentItem();
  const QString index = QString::number(item && item->isSelected() ? lstPrint->currentRow() : 0);
  // Stored only when something changed; a folder that cannot be written is said once and
  // never keeps the window open.
  if (index != storedIndex_ || DateDeb->text() != storedDeb_ || DateFin->text() != storedFin_) {
    try {
      TDjIni ini;
      ini.SetLstPrint(index);
      ini.SetDeb(DateDeb->text());
      ini.SetFin(DateFin->text());
      storedIndex_ = index;
      storedDeb_ = DateDeb->text();
      storedFin_ = DateFin->text();
    } catch (const EIniFileException& e) {
      ShowError(e.Message());
    }
  }
  qRapport.Close();
  qRegion.Close();
  delete SelectedTitles;
  SelectedTitles = nullptr;
}

void OpenPrintChooser() {
  TfrmPrint* w = nullptr;
  GuardEvent([&] { w = new TfrmPrint(nullptr); });
  if (!w) return;
  frmPrint = w;
  Dialogs().RunModal(w);
  delete w;
  frmPrint = nullptr;
}
