#include "shell/UMain.h"

#include "shell/SessionEnd.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <map>
#include <optional>

#include "platform/sys/Clock.h"
#include "platform/sys/Files.h"
#include "platform/sys/Formats.h"
#include "platform/sys/Programs.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Application.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"
#include "shell/Resources.h"
#include "shell/Settings.h"
#include "shell/UCalendar.h"
#include "shell/USplashEx.h"
#include "shell/global.h"
#include "schema/AppSchema.h"
#include "schema/DbChk.h"

namespace {

struct RegisteredWindow {
  TfrmMain::Opener opener;
  std::optional<TMenuPlace> place;
};

std::map<QString, RegisteredWindow>& Windows() {
  static std::map<QString, RegisteredWindow> m;
  return m;
}

const char* kTag = "Tag";

// The engine's lock and temporary files, deleted at start and at close. The drives of the old
// engine ("C:\" and "C:\TEMP\") are the root and the temporary folder here.
QList<QPair<QString, QString>> LeftoverFiles() {
  const QString temp = IncludeTrailingPathDelimiter(QDir::tempPath());
  return {{AppPath, "_QS*.*"}, {AppPath, "Del*.*"},     {AppPath, "PDOXUSRS.*"}, {AppPath, "PARADOX.*"},
          {DataPath, "PDOXUSRS.*"}, {DataPath, "PARADOX.*"}, {"/", "PDOXUSRS.*"}, {"/", "PARADOX.*"},
          {temp, "PDOXUSRS.*"}, {temp, "PARADOX.*"}};
}

// The working year of a settings text: a text that is not a whole number raises the conversion
// error; a number outside 1900-2999 is no working year and gives the current year.
int16_t YearOf(const QString& text) {
  const int64_t v = StrToInt(text);
  if (v < 1900 || v > 2999) return int16_t(Date().year());
  return int16_t(v);
}

std::function<void(const QString&)> DefaultCreateTables() {
  return [](const QString& dataPath) { CreateApplicationTables(ApplicationCheck(), dataPath); };
}
std::function<void(const QString&)> DefaultDatabaseCheck() {
  return [](const QString& dataPath) { RunDatabaseCheck(dataPath); };
}

// Names the background picture for the next start ("" for none) and says when it takes effect.
void SetBackgroundImage(const QString& name) {
  TZelmIni().SetImage(name);
  MessageDlg("L'image sera active au prochain démarrage du programme", MsgDlgType::Information, mbOK);
}

}  // namespace

std::function<void(const QString&)> TfrmMain::CreateTablesHook = DefaultCreateTables();
std::function<void(const QString&)> TfrmMain::DatabaseCheckHook = DefaultDatabaseCheck();
std::function<void(const QString&)> TfrmMain::InterruptedRestoreHook;
std::function<void(const QString&)> TfrmMain::BackupLeftoversHook;
std::function<bool(const QString&)> TfrmMain::HoldDataFolderHook;
QString TfrmMain::ExeNameOverride;

void TfrmMain::RegisterWindow(const QString& key, Opener opener, const TMenuPlace& place) {
  Windows()[key] = {std::move(opener), place};
}
void TfrmMain::RegisterWindow(const QString& key, Opener opener) {
  if (!opener) Windows().erase(key);
  else Windows()[key].opener = std::move(opener);
}
bool TfrmMain::HasWindow(const QString& key) { return Windows().count(key) > 0; }
bool TfrmMain::OpenWindow(const QString& key) {
  auto it = Windows().find(key);
  if (it == Windows().end() || !it->second.opener) return false;
  Opener o = it->second.opener;  // a copy: the opener may register again while it runs
  o();
  return true;
}

// ---------------------------------------------------------------- small parts

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
  setObjectName("stBar");
  const int widths[4] = {100, 50, 150, 150};
  for (int i = 0; i < 4; ++i) {
    auto* l = new QLabel(this);
    l->setObjectName(QString("stBarPanel%1").arg(i));
    l->setFixedWidth(widths[i]);
    l->setAlignment(i == 3 ? (Qt::AlignLeft | Qt::AlignVCenter) : Qt::AlignCenter);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    addWidget(l);
    Panels[i] = l;
  }
}

bool TOpenPictureDialog::Execute(QWidget* parent) {
  FileName = Dialogs().OpenFileName(parent, "Ouvrir", AppPath, FileDialogFilter(Filter));
  return !FileName.isEmpty();
}

// ---------------------------------------------------------------- construction

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
  InitShellResources();
  setObjectName("frmMain");
  setWindowTitle("Distribution de journaux");
  setAttribute(Qt::WA_DeleteOnClose, true);
  resize(800, 600);

  BackGround = new QLabel(this);
  BackGround->setObjectName("BackGround");
  BackGround->hide();
  BackGround->setPixmap(QPixmap::fromImage(QImage(":/zelm/background.bmp")));

  BuildMenu();

  auto* central = new QWidget(this);
  auto* v = new QVBoxLayout(central);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(0);
  BuildButtons();
  v->addWidget(pnlButton);
  ClientArea = new QMdiArea(central);
  ClientArea->setObjectName("ClientArea");
  ClientArea->viewport()->installEventFilter(this);
  v->addWidget(ClientArea, 1);
  setCentralWidget(central);

  stBar = new TStatusBar(this);
  setStatusBar(stBar);

  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  qApp->installEventFilter(this);

  FormCreate();
}

TfrmMain::~TfrmMain() {
  if (qApp) qApp->removeEventFilter(this);
  if (ClientArea) ClientArea->viewport()->removeEventFilter(this);
}

void TfrmMain::BuildMenu() {
  MainMenu = menuBar();
  MainMenu->setObjectName("MainMenu");
  mnFichier = MainMenu->addMenu("&Fichier");
  mnTraitements = MainMenu->addMenu("Traitements");
  mnOutils = MainMenu->addMenu("Outils");
  mnAideMenu = MainMenu->addMenu("Aide");
  mnFichier->setObjectName("mnFichier");
  mnTraitements->setObjectName("mnTraitements");
  mnOutils->setObjectName("mnOutils");
  mnAideMenu->setObjectName("mnAideMenu");

  struct Entry {
    TMenuPlace place;
    std::function<void()> run;
  };
  auto own = [this](void (TfrmMain::*handler)()) { return [this, handler] { (this->*handler)(); }; };
  std::vector<Entry> entries = {
      {{"mnFichier", 4, 2, "mnConfigImprimante", "&Configuration de l'imprimante"},
       own(&TfrmMain::mnPrinterSetupClick)},
      {{"mnFichier", 5, 1, "mnQuitter", "&Quitter", 0, QKeySequence(Qt::ALT | Qt::Key_F4)}, [this] { close(); }},
      {{"mnOutils", 2, 2, "mnControle", "Contrôle de la base de données"}, own(&TfrmMain::mnControleClick)},
      {{"mnOutils", 4, 1, "mnMotDePasse", "Changement du mot de passe", 116}, [] {}},
      {{"mnOutils", 4, 2, "mnSecurite", "Gestion de la sécurité", 100, {}, false, false}, [] {}},
      {{"mnOutils", 5, 1, "mnChangerImage", "Changer l'image d'accueil", 108}, own(&TfrmMain::mnChangerImageClick)},
      {{"mnOutils", 5, 2, "mnRestaurerImage", "Restaurer l'image d'accueil", 109},
       own(&TfrmMain::mnRestaurerImageClick)},
      {{"mnAideMenu", 1, 1, "mnAide", "Aide"}, [] {}},
      {{"mnAideMenu", 1, 2, "mnAPropos", "A propos ..."}, own(&TfrmMain::mnAProposClick)},
  };
  for (const auto& [key, window] : Windows())
    if (window.place) entries.push_back({*window.place, [key] { OpenWindow(key); }});
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return std::pair(a.place.group, a.place.order) < std::pair(b.place.group, b.place.order);
  });

  for (QMenu* menu : {mnFichier, mnTraitements, mnOutils, mnAideMenu}) {
    std::optional<int> group;
    for (const Entry& e : entries) {
      const TMenuPlace& p = e.place;
      if (p.menu != menu->objectName()) continue;
      if (group && *group != p.group) menu->addSeparator();
      group = p.group;
      QAction* a = menu->addAction(p.caption);
      a->setObjectName(p.name);
      if (p.tag) a->setProperty(kTag, p.tag);
      if (!p.shortcut.isEmpty()) a->setShortcut(p.shortcut);
      a->setEnabled(p.enabled);
      a->setVisible(p.visible);
      // A command that fails shows the error box here, not in the middle of the menu's own code.
      connect(a, &QAction::triggered, this, [run = e.run] { GuardEvent(run); });
    }
  }

  mnConfigImprimante = MenuEntry("mnConfigImprimante");
  mnQuitter = MenuEntry("mnQuitter");
  mnControle = MenuEntry("mnControle");
  mnMotDePasse = MenuEntry("mnMotDePasse");
  mnSecurite = MenuEntry("mnSecurite");
  mnChangerImage = MenuEntry("mnChangerImage");
  mnRestaurerImage = MenuEntry("mnRestaurerImage");
  mnAide = MenuEntry("mnAide");
  mnAPropos = MenuEntry("mnAPropos");
}

QAction* TfrmMain::MenuEntry(const QString& name) const {
  for (QMenu* menu : {mnFichier, mnTraitements, mnOutils, mnAideMenu})
    for (QAction* a : menu->actions())
      if (a->objectName() == name) return a;
  return nullptr;
}

void TfrmMain::BuildButtons() {
  pnlButton = new QFrame(this);
  pnlButton->setObjectName("pnlButton");
  pnlButton->setFrameShape(QFrame::Panel);
  pnlButton->setFrameShadow(QFrame::Raised);
  pnlButton->setFixedHeight(40);
  auto* h = new QHBoxLayout(pnlButton);
  h->setContentsMargins(4, 2, 4, 2);
  h->setSpacing(2);
  // A button does what the menu entry of that name does; nothing when no window has that entry.
  auto button = [this](const char* name, const QString& hint, QStyle::StandardPixmap glyph, const char* entry) {
    auto* b = new QToolButton(pnlButton);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setIcon(style()->standardIcon(glyph));
    b->setIconSize(QSize(24, 24));
    b->setFixedSize(34, 34);
    b->setAutoRaise(true);
    if (QAction* as = MenuEntry(entry)) connect(b, &QToolButton::clicked, as, &QAction::trigger);
    return b;
  };
  btnHa = button("btnHa", "Saisie et mise à jour des achats", QStyle::SP_FileDialogNewFolder, "mnAchats");
  SpeedButton2 = button("SpeedButton2", "Saisie et mise à jour des Invendus", QStyle::SP_BrowserReload, "mnInvendus");
  btnPrise = button("btnPrise", "Saisie des prises", QStyle::SP_FileDialogDetailedView, "mnPrises");
  btnVCR = button("btnVCR", "Saisie des mandats admis", QStyle::SP_DialogApplyButton, "mnVersements");
  btnClient = button("btnClient", "Saisie et mise à jour des clients", QStyle::SP_DirHomeIcon, "mnClients");
  btnDB = button("btnDB", "Saisie et mise à jour des titres", QStyle::SP_FileDialogContentsView, "mnTitres");
  SpeedButton3 = button("SpeedButton3", "Saisie et mise à jour des régions", QStyle::SP_DriveNetIcon, "mnRegions");
  SpeedButton1 = button("SpeedButton1", "Imprimer des documents", QStyle::SP_FileIcon, "mnImprimer");
  btnFermer = button("btnFermer", "Quitter l'application", QStyle::SP_DialogCloseButton, "mnQuitter");
  for (QToolButton* b : {btnHa, SpeedButton2, btnPrise, btnVCR, btnClient, btnDB, SpeedButton3, SpeedButton1})
    h->addWidget(b);
  h->addStretch(1);
  h->addWidget(btnFermer);
  btnVCR->hide();
  // The second print button lies outside the visible part of the panel.
  btnPrint = button("btnPrint", "Imprimer des documents", QStyle::SP_FileIcon, "mnImprimer");
  btnPrint->move(-100, 2);
}

// ---------------------------------------------------------------- creation

QString TfrmMain::ProgramFolder() {
  QString folder = ExeNameOverride.isEmpty() ? QCoreApplication::applicationFilePath() : ExeNameOverride;
  while (!folder.isEmpty() && !folder.endsWith('/')) folder.chop(1);
  return folder;
}

void TfrmMain::FormCreate() {
  AppPath = ProgramFolder();
  DataPath = AppPath + "Data/";

  // The working year and the access levels come first: a step that fails below must not leave
  // a year of 0 to be written back at close, nor empty access levels.
  Exercice = int16_t(Date().year());
  try {
    Exercice = YearOf(TZelmIni().Exer());
  } catch (const Exception&) {
  }
  Droits.fill("2");

  try {
    const bool firstStart = !DirectoryExists(DataPath);
    if (firstStart && !CreateDir(DataPath)) {
      MessageDlg("Impossible de créer le répertoire : " + DataPath + "\r", MsgDlgType::Error, mbOK);
      return;
    }
    // A folder just made is held before its first table: another copy that reached it meanwhile
    // through a link keeps it, and this one writes nothing there.
    if (HoldDataFolderHook && !HoldDataFolderHook(DataPath)) return;
    if (firstStart) {
      if (CreateTablesHook) CreateTablesHook(DataPath);
      ProcessMessages();
    }

    ReportHeader = "Distribution de journaux - " + Version;

    {
      TRegistry reg;
      reg.RootKey = HKEY_CURRENT_USER;
      if (reg.OpenKey("Control Panel\\International\\", true)) {
        reg.WriteString("sDecimal", ".");
        reg.WriteString("sCurrency", " ");
        reg.WriteString("sMonThousandSep", " ");
        reg.WriteString("sDate", "/");
        reg.WriteString("sShortDate", "dd/MM/yyyy");
      }
      reg.CloseKey();
      reg.RootKey = HKEY_LOCAL_MACHINE;
      reg.OpenKey("SOFTWARE\\TOLVAN\\VERIRIV", true);
      reg.CloseKey();
    }

    Exercice = int16_t(Date().year());
    QString image;
    {
      TZelmIni ini;
      const QString year = ini.Exer();
      image = ini.Image();
      // A bad setting is reported, and the start goes on: the clean-up and the window's state
      // must not depend on it.
      try {
        Exercice = YearOf(year);
      } catch (...) {
        HandleException(std::current_exception());
      }
    }

    stBar->Panels[0]->setText(DateToStr(Date()));
    stBar->Panels[1]->setText(IntToStr(Exercice));
    stBar->Panels[2]->setText(Version);
    setWindowTitle("Distribution de journaux - " + Version);

    // The picture command stores its copy in the program's folder: look for it there, so a start
    // from another working folder finds it too.
    if (!image.isEmpty()) {
      try {
        LoadBackground(QDir(AppPath).filePath(image));
      } catch (...) {
        HandleException(std::current_exception());
      }
    }

    DeleteLeftoverFiles();
    ClearReadOnly(AppPath);
    ClearReadOnly(DataPath);
    Droits.fill("2");
    setWindowState(windowState() | Qt::WindowMaximized);  // whatever WINDOW/STATE holds
    SetScreenCursor(TCursor::crDefault);
  } catch (...) {
    HandleException(std::current_exception());
  }
}

void TfrmMain::LoadBackground(const QString& fileName) {
  QImage img(fileName);
  if (img.isNull() || img.width() == 0 || img.height() == 0)
    throw EInOutError("Impossible de charger l'image " + fileName);
  BackGround->setPixmap(QPixmap::fromImage(img));
}

void TfrmMain::DeleteLeftoverFiles() {
  try {
    if (InterruptedRestoreHook) InterruptedRestoreHook(DataPath);
  } catch (...) {
  }
  try {
    if (BackupLeftoversHook) BackupLeftoversHook(DataPath);
  } catch (...) {
  }
  try {
    for (const auto& [folder, mask] : LeftoverFiles()) DeleteFiles(folder, mask);
  } catch (...) {
  }
}

void TfrmMain::ClearReadOnly(const QString& folder) {
  for (const QString& name : FindFiles(folder, "*.*"))
    if (IsReadOnly(folder + name)) SetReadOnly(folder + name, false);
  SetScreenCursor(TCursor::crDefault);
}

void TfrmMain::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void TfrmMain::FormShow() {
  SetScreenCursor(TCursor::crDefault);
  ProcessMessages();
}

// ---------------------------------------------------------------- close

void TfrmMain::closeEvent(QCloseEvent* e) {
  FormClose();
  e->accept();
}

void TfrmMain::FormClose() {
  const QString state = isMaximized() ? "1" : "0";
  try {
    TZelmIni ini;
    ini.SetExer(Exercice);
    ini.SetState(state);
  } catch (...) {
    // The program still closes; the user learns the settings were not kept.
    HandleException(std::current_exception());
  }
  DeleteLeftoverFiles();
  if (!ending_ &&
      MessageDlg("Voulez-vous faire une sauvegarde ?", MsgDlgType::Confirmation, mbYes | mbNo) == ModalResult::Yes) {
    try {
      OpenWindow(WindowKey::AutoSave);
    } catch (...) {
      HandleException(std::current_exception());
    }
    ProcessMessages();
  }
  if (SelectedTitles) {
    delete SelectedTitles;
    SelectedTitles = nullptr;
  }
}

void TfrmMain::EndSession() {
  if (!ending_) {
    ending_ = true;
    static UnattendedDialogs unattended;
    SetDialogs(&unattended);
  }
  CloseNextWindow();
}

void TfrmMain::CloseNextWindow() {
  if (EndOfSessionHeld()) {  // a long operation finishes first
    // A message it shows is closed as nobody is there to read it, so that it can go on.
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      box->close();
      if (box->isVisible()) box->done(QDialog::Rejected);
    }
    QTimer::singleShot(50, this, [this] { CloseNextWindow(); });
    return;
  }
  QWidget* top = QApplication::activeModalWidget();
  if (top && top != this) {
    top->close();
    // A window that refuses (a record that fails its checks) goes all the same: nobody is there
    // to complete it.
    if (top->isVisible()) {
      if (auto* d = qobject_cast<QDialog*>(top)) d->done(QDialog::Rejected);
      else top->hide();
    }
    // Its loop ends once this call has returned; the window under it comes next.
    QTimer::singleShot(0, this, [this] { CloseNextWindow(); });
    return;
  }
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != this && w->isVisible() && !w->isModal()) w->close();
  close();
}

// ---------------------------------------------------------------- menu commands

void TfrmMain::mnPrinterSetupClick() { Dialogs().PrinterSetup(this); }

void TfrmMain::mnControleClick() {
  if (!DatabaseCheckHook) return;
  DatabaseCheckHook(DataPath);
  ProcessMessages();
}

void TfrmMain::mnAProposClick() {
  auto* f = new TfrmSplashEx(nullptr);
  QPointer<TfrmSplashEx> guard(f);
  Dialogs().RunModal(f);
  delete guard.data();
}

void TfrmMain::mnChangerImageClick() {
  OpenPicDial.Filter = "Fichiers bitmap (*.bmp)|*.BMP";
  if (!OpenPicDial.Execute(this)) return;
  try {
    QImageReader reader(OpenPicDial.FileName, "bmp");
    reader.setDecideFormatFromContent(false);
    const QImage img = reader.read();
    if (img.isNull()) throw EInOutError("Format d'image incorrect !");
    BackGround->setPixmap(QPixmap::fromImage(img));
    ProcessMessages();
    const QString name = ExtractFileName(OpenPicDial.FileName);
    if (!img.save(AppPath + name, "BMP")) throw EInOutError("Impossible d'écrire " + AppPath + name);
    SetBackgroundImage(name);
  } catch (const Exception&) {
    MessageDlg("Format d'image incorrect !", MsgDlgType::Warning, mbOK);
  }
  ProcessMessages();
}

void TfrmMain::mnRestaurerImageClick() {
  SetBackgroundImage("");
}

// ---------------------------------------------------------------- keys and background

bool TfrmMain::FormShortCut(int key) {
  if (key == Qt::Key_F5) {
    switch (StartCalculator()) {
      case EXEC_OUTOFMEMORY:
        MessageDlg("Mémoire insuffisante pour cette opération.", MsgDlgType::Error, mbOK);
        break;
      case EXEC_BADFORMAT:
        MessageDlg("Ce programme ne peut pas être exécuté par Microsoft Windows.", MsgDlgType::Error, mbOK);
        break;
      case EXEC_FILENOTFOUND:
      case EXEC_PATHNOTFOUND:
        MessageDlg("Le fichier : 'Calc.exe' est introuvable.", MsgDlgType::Error, mbOK);
        break;
      default:
        break;
    }
    return true;
  }
  if (key == Qt::Key_F6) {
    // The calendar already there comes to the front: behind the maximised main window it could
    // not be reached otherwise.
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<TfrmCalendar*>(w) && w->isVisible()) {
        if (w->isMinimized()) w->showNormal();
        w->raise();
        w->activateWindow();
        return true;
      }
    frmCalendar = new TfrmCalendar(nullptr);
    frmCalendar->ShowAsTool();
    return true;
  }
  return false;
}

bool TfrmMain::eventFilter(QObject* obj, QEvent* e) {
  if (e->type() == QEvent::KeyPress && obj->isWidgetType()) {
    auto* w = static_cast<QWidget*>(obj);
    if (w->window() == this && !QApplication::activeModalWidget()) {
      auto* k = static_cast<QKeyEvent*>(e);
      if ((k->key() == Qt::Key_F5 || k->key() == Qt::Key_F6) && !k->isAutoRepeat())
        if (FormShortCut(k->key())) return true;
    }
  }
  if (ClientArea && obj == ClientArea->viewport() && e->type() == QEvent::Paint) {
    PaintBackground(ClientArea->viewport());
    return true;
  }
  return QMainWindow::eventFilter(obj, e);
}

QImage TfrmMain::Tile() const { return BackGround->pixmap().toImage(); }

QSize TfrmMain::TileGrid(const QSize& window, const QSize& tile) {
  if (tile.width() <= 0 || tile.height() <= 0) return QSize(0, 0);
  return QSize(window.width() / tile.width() + 1, window.height() / tile.height() + 1);
}

void TfrmMain::PaintBackground(QWidget* area) {
  QPainter p(area);
  const QPixmap tile = BackGround->pixmap();
  const QSize grid = TileGrid(frameGeometry().size(), tile.size());
  if (grid.isEmpty()) {
    p.fillRect(area->rect(), palette().color(QPalette::Dark));
    return;
  }
  for (int r = 0; r < grid.height(); ++r)
    for (int c = 0; c < grid.width(); ++c) p.drawPixmap(c * tile.width(), r * tile.height(), tile);
}
