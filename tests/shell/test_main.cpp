#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QThread>

#include "platform/sys/Clock.h"
#include "platform/sys/Files.h"
#include "platform/sys/Formats.h"
#include "platform/sys/IniFiles.h"
#include "platform/sys/Registry.h"
#include "shell/UCalendar.h"
#include "shell/UMain.h"
#include "shell/UProgress.h"
#include "shell/USplash.h"
#include "shell/USplashEx.h"
#include "shell/global.h"
#include "support/TestSupport.h"
#include "MainWindowEnv.h"

namespace {

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

QImage Bitmap(int w, int h, QRgb color) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(color);
  return img;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = std::make_unique<MainWindowEnv>();
    app_ = &env_->app;
    SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 30)));
    Version = "ZELM 2.4";
    Exercice = 0;
    Droits.fill(QString());
  }
  void TearDown() override {
    if (frm_) {
      dlg_->QueueAnswer(ModalResult::No);
      frm_->close();
      FlushDeletes();
    }
    QList<QPointer<TfrmCalendar>> calendars;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* c = qobject_cast<TfrmCalendar*>(w)) calendars << c;
    for (auto& c : calendars) delete c.data();
    env_.reset();
    SetClock(QDateTime());
  }

  TfrmMain* Start() {
    frm_ = new TfrmMain(nullptr);
    return frm_;
  }
  // Closes the window as the user does, answering the backup question.
  void CloseWith(ModalResult backup) {
    dlg_->QueueAnswer(backup);
    frm_->close();
    FlushDeletes();
    EXPECT_TRUE(frm_.isNull());
  }
  QString Ini() const { return app_->File("ZELM.INI"); }
  QString Data() const { return app_->File("Data/"); }

  std::unique_ptr<MainWindowEnv> env_;
  TempDir* app_ = nullptr;
  ScopedDialogs dlg_;
  QPointer<TfrmMain> frm_;
};

}  // namespace

TEST_F(MainWindowTest, FirstStartInAnEmptyFolderCreatesTheDataFolderThroughTheStructureCheck) {
  QStringList checked;
  TfrmMain::CreateTablesHook = [&](const QString& path) {
    checked << path;
    WriteFile(path + "CLIENT.DB", "table");
  };
  TfrmMain* frm = Start();
  EXPECT_EQ(AppPath, app_->Path());
  EXPECT_EQ(DataPath, Data());
  EXPECT_TRUE(DirectoryExists(Data()));
  EXPECT_EQ(checked, QStringList({Data()}));
  EXPECT_TRUE(dlg_->Asked().empty());

  EXPECT_EQ(frm->stBar->Panels[0]->text(), "07/12/2026");
  EXPECT_EQ(frm->stBar->Panels[1]->text(), "2026");
  EXPECT_EQ(frm->stBar->Panels[2]->text(), "ZELM 2.4");
  EXPECT_EQ(frm->stBar->Panels[3]->text(), "");
  EXPECT_EQ(frm->windowTitle(), "Distribution de journaux - ZELM 2.4");
  EXPECT_EQ(Exercice, 2026);
  for (const QString& d : Droits) EXPECT_EQ(d, "2");
  EXPECT_TRUE(frm->windowState() & Qt::WindowMaximized);

  // The regional settings went to our own store, and the machine key was made.
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  ASSERT_TRUE(reg.OpenKey("Control Panel\\International", false));
  EXPECT_EQ(reg.ReadString("sDecimal"), ".");
  EXPECT_EQ(reg.ReadString("sCurrency"), " ");
  EXPECT_EQ(reg.ReadString("sMonThousandSep"), " ");
  EXPECT_EQ(reg.ReadString("sDate"), "/");
  EXPECT_EQ(reg.ReadString("sShortDate"), "dd/MM/yyyy");
  reg.RootKey = HKEY_LOCAL_MACHINE;
  EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\TOLVAN\\VERIRIV"));
  EXPECT_EQ(QDir(app_->File("registry")).entryList(QDir::Files, QDir::Name),
            QStringList({"HKEY_CURRENT_USER.ini", "HKEY_LOCAL_MACHINE.ini"}));

  bool backedUp = false;
  TfrmMain::RegisterWindow(WindowKey::AutoSave, [&] { backedUp = true; });
  dlg_->Clear();
  CloseWith(ModalResult::No);
  EXPECT_FALSE(backedUp);
  ASSERT_EQ(dlg_->Messages(), QStringList({"Voulez-vous faire une sauvegarde ?"}));
  EXPECT_EQ(dlg_->Asked()[0].buttons, unsigned(mbYes | mbNo));
  EXPECT_EQ(TIniFile(Ini()).ReadString("PARAMS", "EXER", ""), "2026");
  EXPECT_EQ(TIniFile(Ini()).ReadString("WINDOW", "STATE", ""), "1");
  TfrmMain::RegisterWindow(WindowKey::AutoSave, nullptr);
}

TEST_F(MainWindowTest, AnExistingDataFolderIsLeftAlone) {
  ASSERT_TRUE(QDir().mkdir(Data()));
  bool checked = false;
  TfrmMain::CreateTablesHook = [&](const QString&) { checked = true; };
  Start();
  EXPECT_FALSE(checked);
  EXPECT_TRUE(dlg_->Asked().empty());
}

TEST_F(MainWindowTest, TheIniFileGivesTheYearAndTheWindowAlwaysOpensMaximised) {
  WriteFile(Ini(), "[PARAMS]\r\nEXER=2004\r\nNOLISTE=12\r\n[WINDOW]\r\nSTATE=0\r\n");
  TfrmMain* frm = Start();
  EXPECT_EQ(Exercice, 2004);
  EXPECT_EQ(frm->stBar->Panels[1]->text(), "2004");
  EXPECT_TRUE(frm->windowState() & Qt::WindowMaximized);
  frm->setWindowState(Qt::WindowNoState);  // the user restores the window
  CloseWith(ModalResult::No);
  EXPECT_EQ(QString::fromUtf8(ReadFile(Ini())),
            "[PARAMS]\r\nEXER=2004\r\nNOLISTE=12\r\n[WINDOW]\r\nSTATE=0\r\n");
}

TEST_F(MainWindowTest, AMissingYearIsTheCurrentOneAndIsWrittenAtClose) {
  WriteFile(Ini(), "[PARAMS]\nIMAGE=\n");
  TfrmMain* frm = Start();
  EXPECT_EQ(frm->stBar->Panels[1]->text(), "2026");
  CloseWith(ModalResult::No);
  EXPECT_EQ(QString::fromUtf8(ReadFile(Ini())), "[PARAMS]\nIMAGE=\nEXER=2026\n[WINDOW]\nSTATE=1\n");
}

TEST_F(MainWindowTest, ABadYearOrAMissingPictureIsReportedAndTheStartGoesOn) {
  ASSERT_TRUE(QDir().mkdir(Data()));
  const QList<QPair<QByteArray, QString>> inis = {
      {"[PARAMS]\nEXER=deux mille\n", "'deux mille' n'est pas une valeur entière correcte"},
      {"[PARAMS]\nEXER=2005\nIMAGE=absent.bmp\n", "absent.bmp"},
      {"[PARAMS]\nEXER=2005\nIMAGE=ZELM.INI\n", "ZELM.INI"},
  };
  for (const auto& [ini, message] : inis) {
    SCOPED_TRACE(ini.toStdString());
    WriteFile(Ini(), ini);
    WriteFile(app_->File("PDOXUSRS.NET"), "lock");
    WriteFile(app_->File("Data/CLIENT.DB"), "x");
    SetReadOnly(app_->File("Data/CLIENT.DB"), true);
    dlg_->Clear();
    TfrmMain* frm = Start();
    ASSERT_EQ(dlg_->Asked().size(), 1u);
    EXPECT_EQ(dlg_->Asked()[0].type, MsgDlgType::Error);
    EXPECT_TRUE(dlg_->Messages()[0].contains(message)) << dlg_->Messages()[0].toStdString();
    // Every later step was taken all the same.
    EXPECT_EQ(frm->stBar->Panels[0]->text(), "07/12/2026");
    EXPECT_EQ(frm->stBar->Panels[1]->text(), IntToStr(Exercice));
    EXPECT_EQ(frm->stBar->Panels[2]->text(), "ZELM 2.4");
    EXPECT_EQ(frm->windowTitle(), "Distribution de journaux - ZELM 2.4");
    EXPECT_TRUE(frm->windowState() & Qt::WindowMaximized);
    EXPECT_FALSE(QFile::exists(app_->File("PDOXUSRS.NET")));
    EXPECT_FALSE(IsReadOnly(app_->File("Data/CLIENT.DB")));
    for (const QString& d : Droits) EXPECT_EQ(d, "2");
    EXPECT_EQ(frm->Tile().size(), QSize(64, 64));  // the default tile stays
    CloseWith(ModalResult::No);
  }
  EXPECT_EQ(TIniFile(Ini()).ReadString("PARAMS", "EXER", ""), "2005");
}

TEST_F(MainWindowTest, AYearOutsideTheWorkingYearsIsTheCurrentOne) {
  for (const char* year : {"1899", "3000", "0", "-2005", "65535"}) {
    SCOPED_TRACE(year);
    WriteFile(Ini(), QByteArray("[PARAMS]\nEXER=") + year + "\n");
    dlg_->Clear();
    TfrmMain* frm = Start();
    EXPECT_EQ(dlg_->Messages(), QStringList());
    EXPECT_EQ(Exercice, 2026);
    EXPECT_EQ(frm->stBar->Panels[1]->text(), "2026");
    CloseWith(ModalResult::No);
    EXPECT_EQ(TIniFile(Ini()).ReadString("PARAMS", "EXER", ""), "2026");
  }
  WriteFile(Ini(), "[PARAMS]\nEXER=2999\n");
  Start();
  EXPECT_EQ(Exercice, 2999);
}

TEST_F(MainWindowTest, ADataFolderThatCannotBeMadeSkipsTheRestButKeepsTheYear) {
  WriteFile(app_->File("Data"), "a file where the folder should be");
  WriteFile(Ini(), "[PARAMS]\nEXER=2005\n");
  bool checked = false;
  TfrmMain::CreateTablesHook = [&](const QString&) { checked = true; };
  TfrmMain* frm = Start();
  EXPECT_FALSE(checked);
  ASSERT_EQ(dlg_->Messages(), QStringList({"Impossible de créer le répertoire : " + Data() + "\r"}));
  EXPECT_EQ(dlg_->Asked()[0].type, MsgDlgType::Error);
  EXPECT_EQ(dlg_->Asked()[0].buttons, unsigned(mbOK));
  EXPECT_EQ(Exercice, 2005);
  for (const QString& d : Droits) EXPECT_EQ(d, "2");
  EXPECT_EQ(frm->windowTitle(), "Distribution de journaux");
  EXPECT_FALSE(QFile::exists(app_->File("registry/HKEY_CURRENT_USER.ini")));
  CloseWith(ModalResult::No);
  EXPECT_EQ(TIniFile(Ini()).ReadString("PARAMS", "EXER", ""), "2005");
}

TEST_F(MainWindowTest, LeftoverLockFilesGoAndReadOnlyFilesBecomeWritable) {
  ASSERT_TRUE(QDir().mkdir(Data()));
  const QStringList leftovers = {"_QS0001.DB", "_qs2", "Del1.tmp", "PDOXUSRS.NET", "paradox.lck", "Data/PDOXUSRS.LCK",
                                 "Data/Paradox.NET"};
  const QStringList kept = {"CLIENT.DB", "ZELM.INI", "Data/CLIENT.DB", "Data/CLIENT.DB-journal", "Data/Titre.DB"};
  for (const QString& n : leftovers + kept) WriteFile(app_->File(n), "x");
  SetReadOnly(app_->File("CLIENT.DB"), true);
  SetReadOnly(app_->File("Data/Titre.DB"), true);
  Start();
  for (const QString& n : leftovers) EXPECT_FALSE(QFile::exists(app_->File(n))) << n.toStdString();
  for (const QString& n : kept) EXPECT_TRUE(QFile::exists(app_->File(n))) << n.toStdString();
  EXPECT_FALSE(IsReadOnly(app_->File("CLIENT.DB")));
  EXPECT_FALSE(IsReadOnly(app_->File("Data/Titre.DB")));

  for (const QString& n : leftovers) WriteFile(app_->File(n), "x");
  CloseWith(ModalResult::No);
  for (const QString& n : leftovers) EXPECT_FALSE(QFile::exists(app_->File(n))) << n.toStdString();
}

TEST_F(MainWindowTest, TheBackgroundNamedInTheIniFileIsFoundInTheProgramFolder) {
  ASSERT_TRUE(Bitmap(10, 8, qRgb(200, 0, 0)).save(app_->File("fond.bmp"), "BMP"));
  WriteFile(Ini(), "[PARAMS]\nIMAGE=fond.bmp\n");
  TempDir elsewhere;
  const QString cwd = QDir::currentPath();
  QDir::setCurrent(elsewhere.Path());
  TfrmMain* frm = Start();
  QDir::setCurrent(cwd);
  EXPECT_TRUE(dlg_->Asked().empty());
  EXPECT_EQ(frm->Tile().size(), QSize(10, 8));
  EXPECT_EQ(frm->Tile().pixel(3, 3), qRgb(200, 0, 0));
}

TEST_F(MainWindowTest, TheBackgroundIsTiledFromTheTopLeftCorner) {
  TfrmMain* frm = Start();
  EXPECT_EQ(frm->Tile().size(), QSize(64, 64));  // the default tile
  EXPECT_EQ(TfrmMain::TileGrid(QSize(740, 500), QSize(64, 64)), QSize(12, 8));
  EXPECT_EQ(TfrmMain::TileGrid(QSize(740, 500), QSize(0, 64)), QSize(0, 0));

  frm->setWindowState(Qt::WindowNoState);
  frm->resize(740, 500);
  frm->show();
  QWidget* area = frm->ClientArea->viewport();
  const QImage shot = area->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage tile = frm->Tile().convertToFormat(QImage::Format_RGB32);
  ASSERT_GT(shot.width(), 3 * 64);
  for (QPoint p : {QPoint(0, 0), QPoint(5, 40), QPoint(63, 63), QPoint(64 + 5, 7), QPoint(2 * 64 + 30, 64 + 20)})
    EXPECT_EQ(shot.pixel(p), tile.pixel(p.x() % 64, p.y() % 64)) << p.x() << "," << p.y();
}

TEST_F(MainWindowTest, ChangingThePictureCopiesAGoodBitmapAndRecordsIt) {
  TfrmMain* frm = Start();
  TempDir pics;
  ASSERT_TRUE(Bitmap(16, 16, qRgb(0, 120, 0)).save(pics.File("Vert.bmp"), "BMP"));
  dlg_->Clear();
  dlg_->QueueFileName(pics.File("Vert.bmp"));
  frm->mnChangerImage->trigger();
  EXPECT_EQ(dlg_->Messages(), QStringList({"L'image sera active au prochain démarrage du programme"}));
  EXPECT_EQ(TIniFile(Ini()).ReadString("PARAMS", "IMAGE", ""), "Vert.bmp");
  EXPECT_EQ(QImage(app_->File("Vert.bmp")).pixel(1, 1), qRgb(0, 120, 0));
  EXPECT_EQ(frm->Tile().size(), QSize(16, 16));
  EXPECT_EQ(frm->OpenPicDial.Filter, "Fichiers bitmap (*.bmp)|*.BMP");

  // Cancelling the dialog changes nothing and asks nothing more.
  dlg_->Clear();
  frm->mnChangerImage->trigger();
  EXPECT_EQ(dlg_->Asked().size(), 1u);

  // "Restaurer l'image d'accueil" empties the setting and leaves the picture shown.
  dlg_->Clear();
  frm->mnRestaurerImage->trigger();
  EXPECT_EQ(dlg_->Messages(), QStringList({"L'image sera active au prochain démarrage du programme"}));
  EXPECT_TRUE(TIniFile(Ini()).ValueExists("PARAMS", "IMAGE"));
  EXPECT_EQ(TIniFile(Ini()).ReadString("PARAMS", "IMAGE", "x"), "");
  EXPECT_EQ(frm->Tile().size(), QSize(16, 16));
}

TEST_F(MainWindowTest, AFileThatIsNotABitmapIsRefusedAndTheIniFileStaysAsItWas) {
  WriteFile(Ini(), "[PARAMS]\nEXER=2026\nIMAGE=\n");
  TfrmMain* frm = Start();
  const QByteArray before = ReadFile(Ini());
  TempDir pics;
  WriteFile(pics.File("texte.bmp"), "ceci n'est pas une image");
  ASSERT_TRUE(Bitmap(16, 16, qRgb(0, 0, 200)).save(pics.File("png.bmp"), "PNG"));
  for (const QString& f : {pics.File("texte.bmp"), pics.File("png.bmp")}) {
    dlg_->Clear();
    dlg_->QueueFileName(f);
    frm->mnChangerImage->trigger();
    ASSERT_EQ(dlg_->Messages(), QStringList({"Format d'image incorrect !"}));
    EXPECT_EQ(dlg_->Asked().back().type, MsgDlgType::Warning);
    EXPECT_EQ(ReadFile(Ini()), before);
    EXPECT_FALSE(QFile::exists(app_->File(ExtractFileName(f))));
    EXPECT_EQ(frm->Tile().size(), QSize(64, 64));
  }
}

TEST_F(MainWindowTest, F6GivesOneCalendarBringsItBackToTheFrontAndItFreesItselfWhenClosed) {
  TfrmMain* frm = Start();
  auto countCalendars = [] {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<TfrmCalendar*>(w)) ++n;
    return n;
  };
  QKeyEvent f6(QEvent::KeyPress, Qt::Key_F6, Qt::NoModifier);
  QApplication::sendEvent(frm, &f6);
  QKeyEvent again(QEvent::KeyPress, Qt::Key_F6, Qt::NoModifier);
  QApplication::sendEvent(frm->ClientArea, &again);
  EXPECT_EQ(countCalendars(), 1);
  ASSERT_FALSE(frmCalendar.isNull());
  EXPECT_TRUE(frmCalendar->isVisible());
  EXPECT_EQ(frmCalendar->windowTitle(), "Calendrier");
  EXPECT_EQ(frmCalendar->myCalend->selectedDate(), QDate(2026, 12, 7));
  EXPECT_EQ(frmCalendar->myCalend->firstDayOfWeek(), Qt::Saturday);
  // Days on black, the Saturday and Sunday columns too, inside the #5EAEFF background.
  const QImage look = frmCalendar->myCalend->grab().toImage();
  EXPECT_EQ(look.pixel(1, 1), qRgb(0x5E, 0xAE, 0xFF));
  auto* days = frmCalendar->myCalend->findChild<QTableView*>();
  ASSERT_NE(days, nullptr);
  for (int col : {1, 2, 4}) {
    const QRect cell = days->visualRect(days->model()->index(3, col));
    const QPoint at = days->viewport()->mapTo(frmCalendar->myCalend, cell.topLeft() + QPoint(2, 2));
    EXPECT_EQ(look.pixel(at), qRgb(0, 0, 0)) << col;
  }

  // Once the main window has come over it, F6 brings the same calendar back to the front.
  auto activeBecomes = [](QWidget* w) {
    for (int i = 0; i < 200 && QApplication::activeWindow() != w; ++i) {
      QCoreApplication::processEvents();
      QThread::msleep(5);
    }
    return QApplication::activeWindow() == w;
  };
  QPointer<TfrmCalendar> first = frmCalendar;
  frm->show();
  frm->raise();
  frm->activateWindow();
  ASSERT_TRUE(activeBecomes(frm));
  QKeyEvent back(QEvent::KeyPress, Qt::Key_F6, Qt::NoModifier);
  QApplication::sendEvent(frm->ClientArea, &back);
  EXPECT_TRUE(activeBecomes(first));
  EXPECT_EQ(countCalendars(), 1);
  EXPECT_EQ(frmCalendar, first);

  frmCalendar->close();
  FlushDeletes();
  EXPECT_TRUE(frmCalendar.isNull());
  EXPECT_EQ(countCalendars(), 0);
  QKeyEvent third(QEvent::KeyPress, Qt::Key_F6, Qt::NoModifier);
  QApplication::sendEvent(frm, &third);
  EXPECT_EQ(countCalendars(), 1);
}

TEST_F(MainWindowTest, KeysAreTheMainWindowsOnlyWhileNoModalWindowIsOpen) {
  TfrmMain* frm = Start();
  QDialog modal;
  modal.setModal(true);
  modal.show();
  ASSERT_EQ(QApplication::activeModalWidget(), &modal);
  QKeyEvent f6(QEvent::KeyPress, Qt::Key_F6, Qt::NoModifier);
  QApplication::sendEvent(frm, &f6);
  EXPECT_TRUE(frmCalendar.isNull());
  modal.hide();
  QKeyEvent again(QEvent::KeyPress, Qt::Key_F6, Qt::NoModifier);
  QApplication::sendEvent(frm, &again);
  EXPECT_FALSE(frmCalendar.isNull());
}

TEST_F(MainWindowTest, ACalendarShownModallyIsFreedByItsCallerOnly) {
  Start();
  auto* cal = new TfrmCalendar(nullptr);
  QPointer<TfrmCalendar> guard(cal);
  dlg_->QueueModal([](QWidget* w) {
    auto* c = static_cast<TfrmCalendar*>(w);
    c->myCalend->setSelectedDate(QDate(2026, 12, 12));
    c->btnOK->click();
    return ModalResult::None;
  });
  EXPECT_EQ(Dialogs().RunModal(cal), ModalResult::OK);
  FlushDeletes();
  ASSERT_FALSE(guard.isNull());  // still there for the caller to read
  EXPECT_EQ(cal->myCalend->selectedDate(), QDate(2026, 12, 12));
  delete cal;

  auto* cancelled = new TfrmCalendar(nullptr);
  dlg_->QueueModal([](QWidget* w) {
    static_cast<TfrmCalendar*>(w)->btnCancel->click();
    return ModalResult::None;
  });
  EXPECT_EQ(Dialogs().RunModal(cancelled), ModalResult::Cancel);
  delete cancelled;

  // Enter on the chosen day, where the keyboard is, answers OK with that day.
  auto* keyed = new TfrmCalendar(nullptr);
  dlg_->QueueModal([](QWidget* w) {
    auto* c = static_cast<TfrmCalendar*>(w);
    c->myCalend->setFocus();
    QWidget* days = c->myCalend->focusWidget() ? c->myCalend->focusWidget() : c->myCalend;
    for (int key : {int(Qt::Key_Right), int(Qt::Key_Return)}) {
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier), release(QEvent::KeyRelease, key, Qt::NoModifier);
      QApplication::sendEvent(days, &press);
      QApplication::sendEvent(days, &release);
    }
    return ModalResult::None;
  });
  const QDate today = keyed->myCalend->selectedDate();
  EXPECT_EQ(Dialogs().RunModal(keyed), ModalResult::OK);
  EXPECT_EQ(keyed->myCalend->selectedDate(), today.addDays(1));
  delete keyed;
}

TEST_F(MainWindowTest, F5StartsACalculatorOrSaysItIsMissing) {
  TfrmMain* frm = Start();
  TempDir bin;
  const QByteArray oldPath = qgetenv("PATH");
  qputenv("PATH", bin.Path().toUtf8());
  dlg_->Clear();
  QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::ShiftModifier);
  QApplication::sendEvent(frm, &f5);
  EXPECT_EQ(dlg_->Messages(), QStringList({"Le fichier : 'Calc.exe' est introuvable."}));

  const QString marker = bin.File("started");
  WriteFile(bin.File("galculator"), ("#!/bin/sh\n: > '" + marker + "'\n").toUtf8());
  QFile::setPermissions(bin.File("galculator"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  dlg_->Clear();
  QKeyEvent again(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
  QApplication::sendEvent(frm, &again);
  qputenv("PATH", oldPath);
  EXPECT_TRUE(dlg_->Asked().empty());
  for (int i = 0; i < 200 && !QFile::exists(marker); ++i) QThread::msleep(10);
  EXPECT_TRUE(QFile::exists(marker));
}

TEST_F(MainWindowTest, TheDatabaseCheckEntryRunsTheCheckOnTheDataFolder) {
  TfrmMain* frm = Start();
  QStringList checked;
  TfrmMain::DatabaseCheckHook = [&](const QString& p) { checked << p; };
  frm->mnControle->trigger();
  EXPECT_EQ(checked, QStringList({Data()}));
}

TEST_F(MainWindowTest, ACheckStoppedByAnUnreadableTableIsReportedInTheErrorBox) {
  TfrmMain* frm = Start();
  TfrmMain::DatabaseCheckHook = [](const QString&) {
    throw Exception("Not a table file (unknown or damaged format).\nTable: CLIENT.DB");
  };
  dlg_->Clear();
  EXPECT_NO_THROW(frm->mnControle->trigger());
  ASSERT_EQ(dlg_->Asked().size(), 1u);
  EXPECT_EQ(dlg_->Asked()[0].type, MsgDlgType::Error);
  EXPECT_TRUE(dlg_->Messages()[0].contains("CLIENT.DB"));
}

TEST_F(MainWindowTest, ClosingWithYesRunsTheAutomaticBackupAndFreesTheSelectedTitles) {
  Start();
  int backups = 0;
  TfrmMain::RegisterWindow(WindowKey::AutoSave, [&] { ++backups; });
  SelectedTitles = new QStringList({"0001", "0002"});
  CloseWith(ModalResult::Yes);
  EXPECT_EQ(backups, 1);
  EXPECT_EQ(SelectedTitles, nullptr);
  TfrmMain::RegisterWindow(WindowKey::AutoSave, nullptr);
}

TEST_F(MainWindowTest, TheAboutBoxShowsTheVersionAndItsTwoPictures) {
  TfrmMain* frm = Start();
  QStringList seen;
  dlg_->QueueModal([&](QWidget* w) {
    auto* about = qobject_cast<TfrmSplashEx*>(w);
    if (!about) return ModalResult::None;
    seen << about->windowTitle() << about->lblVersion->text() << about->lblProduit->text() << about->lblSlogan->text();
    EXPECT_FALSE(about->Image1->pixmap().isNull());
    EXPECT_FALSE(about->Image2->pixmap().isNull());
    EXPECT_EQ(about->minimumSize(), about->maximumSize());  // cannot be resized
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(about, &esc);
    EXPECT_FALSE(about->isVisible());
    return ModalResult::Cancel;
  });
  frm->mnAPropos->trigger();
  EXPECT_EQ(seen, QStringList({"A propos ...", "ZELM 2.4", "Z E L M ", "La Distribution de journaux maitrisée"}));
}

TEST(ShellWindows, SplashAndProgressLayouts) {
  Version = "ZELM 2.4";
  TfrmSplash splash;
  EXPECT_EQ(splash.size(), QSize(337, 104));
  EXPECT_EQ(splash.lblVersion->text(), "ZELM 2.4");
  EXPECT_EQ(splash.Label1->text(), "Chargement en cours...");
  TfrmProgress progress;
  EXPECT_EQ(progress.windowTitle(), "Traitement en cours");
  EXPECT_EQ(progress.size(), QSize(576, 50));
  EXPECT_EQ(progress.lProgress->text(), "Traitement en cours ... Patientez.");
  progress.MyGauge->setRange(0, 200);
  progress.MyGauge->setValue(50);
  EXPECT_EQ(progress.MyGauge->text(), "25%");
}

TEST_F(MainWindowTest, AGarbledIniFileStillStartsTheProgramWithASaneYear) {
  QByteArray binary;
  for (int i = 0; i < 4096; ++i) binary += char((i * 37 + 11) & 0xff);
  const QList<QByteArray> inis = {
      binary,
      QByteArray("[PARAMS]\nEXER=") + binary.left(300) + "\nIMAGE=" + binary.mid(50, 200) + "\n",
      "[PARAMS]\nEXER=99999999999999999999999\n",
      "[PARAMS]\nEXER=2005\nIMAGE=absent.bmp\nNOLISTE=douze\n",
      "[PARAMS]\nEXER=2005\nIMAGE=ZELM.INI\n",
  };
  for (const QByteArray& ini : inis) {
    SCOPED_TRACE(ini.left(60).toStdString());
    WriteFile(Ini(), ini);
    dlg_->Clear();
    TfrmMain* frm = Start();
    EXPECT_GE(Exercice, 1900);
    EXPECT_LE(Exercice, 9999);
    const QString year = frm->stBar->Panels[1]->text();
    if (!year.isEmpty()) {
      EXPECT_EQ(year, IntToStr(Exercice));
    }
    for (const AskedDialog& a : dlg_->Asked()) EXPECT_EQ(a.type, MsgDlgType::Error) << a.text.toStdString();
    CloseWith(ModalResult::No);
    const QString stored = TIniFile(Ini()).ReadString("PARAMS", "EXER", "");
    EXPECT_EQ(stored, IntToStr(Exercice));
  }
}

TEST_F(MainWindowTest, AnIniFileThatCannotBeWrittenIsReportedAtCloseAndTheProgramStillCloses) {
  ASSERT_TRUE(QDir().mkdir(Ini()));  // a folder where the settings file should be
  TfrmMain* frm = Start();
  EXPECT_EQ(frm->stBar->Panels[1]->text(), "2026");
  dlg_->Clear();
  dlg_->QueueAnswer(ModalResult::OK);
  CloseWith(ModalResult::No);
  ASSERT_FALSE(dlg_->Asked().empty());
  EXPECT_EQ(dlg_->Asked()[0].type, MsgDlgType::Error);
  EXPECT_EQ(dlg_->Messages().last(), "Voulez-vous faire une sauvegarde ?");
}
