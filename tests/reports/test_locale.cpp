// On a machine whose locale is not French (run under LC_ALL=C and LC_ALL=en_US.UTF-8), with the
// application object the program starts with: the date picker of the report chooser and the
// file and folder choosers speak French, the week starts on Saturday, and data keep their own
// formats.
#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include "platform/sys/Formats.h"
#include "platform/ui/Application.h"
#include "platform/ui/Dialogs.h"
#include "reports/UPrint.h"
#include "support/AppDataTest.h"

namespace {
class FrenchEverywhere : public AppDataTest {};

// The chooser on screen, once its folder has been read: "name|size|type|date" per row.
QStringList Rows(QFileDialog* d) {
  auto* view = d->findChild<QTreeView*>("treeView");
  if (!view) return {};
  QStringList rows;
  if (!QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) >= 1; }, 5000)) return {};
  QTest::qWait(300);  // the rest of the folder, sizes, types and dates come a little later
  for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r) {
    QStringList cells;
    for (int c = 0; c < 4; ++c) cells << view->model()->index(r, c, view->rootIndex()).data().toString();
    rows << cells.join('|');
  }
  return rows;
}

// What a chooser the program opens through its dialog service shows; it is then cancelled.
QStringList Chooser(const std::function<void()>& open) {
  QStringList rows;
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!d) return;
    rows = Rows(d);
    d->reject();
  });
  open();
  return rows;
}
// Every text a dialog can show, its hidden parts included: title, labels, buttons, frames, tabs,
// list entries and tips.
QStringList Texts(QWidget* w) {
  QStringList t{w->windowTitle()};
  for (auto* c : w->findChildren<QWidget*>()) {
    if (auto* b = qobject_cast<QAbstractButton*>(c)) t << b->text();
    if (auto* l = qobject_cast<QLabel*>(c)) t << l->text();
    if (auto* g = qobject_cast<QGroupBox*>(c)) t << g->title();
    if (auto* tabs = qobject_cast<QTabWidget*>(c))
      for (int i = 0; i < tabs->count(); ++i) t << tabs->tabText(i);
    if (auto* list = qobject_cast<QComboBox*>(c))
      for (int i = 0; i < list->count(); ++i) t << list->itemText(i);
    t << c->toolTip();
  }
  t.removeAll(QString());
  return t;
}

// What the print dialog opened by `open` shows, then its "Propriétés" window, then the chooser
// of its output file (on the program's own file printer); everything is cancelled.
struct PrintDialogSeen {
  QStringList dialog, properties, chooser;
};
PrintDialogSeen SeePrintDialog(const std::function<void()>& open) {
  PrintDialogSeen seen;
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
    if (!d) return;
    auto* printers = d->findChild<QComboBox*>("printers");
    printers->setCurrentIndex(printers->count() - 1);
    seen.dialog = Texts(d);
    QTimer::singleShot(0, [&, d] {
      auto* p = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!p || p == d) return;
      seen.properties = Texts(p);
      p->reject();
    });
    d->findChild<QPushButton*>("properties")->click();
    QTimer::singleShot(0, [&] {
      auto* f = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!f) return;
      seen.chooser = Rows(f);
      f->reject();
    });
    d->findChild<QToolButton*>("fileBrowser")->click();
    d->reject();
  });
  open();
  return seen;
}
}  // namespace

TEST_F(FrenchEverywhere, TheMachineIsNotFrenchButTheProgramIs) {
  EXPECT_NE(QLocale::system().language(), QLocale::French);
  EXPECT_EQ(QLocale().language(), QLocale::French);
  // Data keep their own formats.
  EXPECT_EQ(FloatToStr(1234.5), "1234.5");
  EXPECT_EQ(StrToFloat("1234.5"), 1234.5);
  EXPECT_EQ(CurrToStrF(Currency::FromDouble(1234.5)), "1 234.50");
  EXPECT_EQ(DateToStr(QDate(2026, 12, 7)), "07/12/2026");
}

TEST_F(FrenchEverywhere, TheDayPickerOfTheListTabIsAFrenchCalendarFromSaturday) {
  TfrmPrint w(nullptr);
  w.show();
  w.pgControl->setCurrentWidget(w.tbListe);
  w.edDateListe->setDate(QDate(2026, 12, 7));
  Activate(&w);
  w.edDateListe->setFocus();
  // The arrow opens the calendar.
  QTest::mouseClick(w.edDateListe, Qt::LeftButton, {},
                    QPoint(w.edDateListe->width() - 6, w.edDateListe->height() / 2));
  QCalendarWidget* cal = w.edDateListe->calendarWidget();
  ASSERT_TRUE(QTest::qWaitFor([&] { return cal->isVisible(); }, 2000));
  EXPECT_EQ(cal->firstDayOfWeek(), Qt::Saturday);
  auto* month = cal->findChild<QToolButton*>("qt_calendar_monthbutton");
  ASSERT_NE(month, nullptr);
  EXPECT_EQ(month->text(), "décembre");
  auto* days = cal->findChild<QAbstractItemView*>("qt_calendar_calendarview");
  ASSERT_NE(days, nullptr);
  const int first = cal->verticalHeaderFormat() == QCalendarWidget::NoVerticalHeader ? 0 : 1;  // week numbers
  QStringList heads;
  for (int c = first; c < first + 7; ++c) heads << days->model()->index(0, c).data().toString();
  EXPECT_EQ(heads, (QStringList{"sam.", "dim.", "lun.", "mar.", "mer.", "jeu.", "ven."}));
  // The month's grid starts on the Saturday before 01/12/2026, a Tuesday.
  EXPECT_EQ(days->model()->index(1, first).data().toString(), "28");
  Press(Qt::Key_Escape);
}

TEST_F(FrenchEverywhere, TheFileAndFolderChoosersShowFrenchTypesAndDates) {
  const QString root = dir.Path() + "/choix";
  QDir().mkpath(root + "/Sauvegardes");
  QFile f(root + "/accueil.jpg");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(1536, '\xff'));
  f.close();
  const QString when = QFileInfo(root + "/Sauvegardes").lastModified().toString("dd/MM/yyyy HH:mm");
  SetDialogs(nullptr);  // the desktop's own choosers, as the program shows them
  struct Back {
    ScopedDialogs& d;
    ~Back() { SetDialogs(d.operator->()); }
  } back{dlg};
  const QStringList files = Chooser([&] { Dialogs().OpenFileName(nullptr, "Image", root, FileDialogFilter("Images|*.jpg")); });
  EXPECT_EQ(files, (QStringList{"Sauvegardes||Dossier|" + when,
                                "accueil.jpg|1,50 Kio|image JPEG|" +
                                    QFileInfo(f).lastModified().toString("dd/MM/yyyy HH:mm")}));
  const QStringList folders = Chooser([&] { Dialogs().FolderName(nullptr, "Sauvegarder", root); });
  EXPECT_EQ(folders, QStringList{"Sauvegardes||Dossier|" + when});
}

// The printer set-up (Fichier > Configuration de l'imprimante) and the preview's print dialog: no
// English left in the dialog, its options and its "Propriétés" window, and the chooser of the
// output file writes sizes and dates as the program's own choosers do.
TEST_F(FrenchEverywhere, ThePrintDialogItsPropertiesAndItsFileChooserSpeakFrench) {
  const QString root = dir.Path() + "/impression";
  QDir().mkpath(root);
  QFile f(root + "/ancien.pdf");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(1536, '%'));
  f.close();
  const QString when = QFileInfo(f).lastModified().toString("dd/MM/yyyy HH:mm");
  const QString outputBefore = Printer().outputFileName();
  Printer().setOutputFileName(root + "/liste.pdf");
  SetDialogs(nullptr);  // the desktop's own dialogs, as the program shows them
  struct Back {
    ScopedDialogs& d;
    QString output;
    ~Back() {
      SetDialogs(d.operator->());
      Printer().setOutputFileName(output);
    }
  } back{dlg, outputBefore};

  const QStringList english{"Double Sided Printing", "Off", "Long side binding", "Short side binding",
                            "Printer Properties", "Advanced", "Print", "Cancel", "Properties", "Job Options",
                            "Copies:"};
  auto noEnglish = [&](const QStringList& texts) {
    QStringList left;
    for (const QString& t : texts)
      if (english.contains(t) || t.startsWith("Specify") || t.startsWith("There are")) left << t;
    return left;
  };
  const PrintDialogSeen setup = SeePrintDialog([] { Dialogs().PrinterSetup(nullptr); });
  for (const QString t : {"Impression recto verso", "Non", "Reliure côté long", "Reliure côté court"})
    EXPECT_TRUE(setup.dialog.contains(t)) << t.toStdString();
  EXPECT_EQ(noEnglish(setup.dialog), QStringList());
  ASSERT_FALSE(setup.properties.isEmpty());
  EXPECT_EQ(setup.properties.value(0), "Propriétés de l'imprimante");
  EXPECT_TRUE(setup.properties.contains("Avancé"));
  EXPECT_EQ(noEnglish(setup.properties), QStringList());
  ASSERT_EQ(setup.chooser.size(), 1);
  EXPECT_EQ(setup.chooser[0].section('|', 1, 1), "1,50 Kio");
  EXPECT_EQ(setup.chooser[0].section('|', 3, 3), when);

  TPrintRange range{1, 3, 0, 0, 1};
  const PrintDialogSeen print = SeePrintDialog([&] { Dialogs().PrintDialog(nullptr, Printer(), range); });
  EXPECT_EQ(noEnglish(print.dialog + print.properties), QStringList());
  ASSERT_EQ(print.chooser.size(), 1);
  EXPECT_EQ(print.chooser[0].section('|', 1, 1), "1,50 Kio");
  EXPECT_EQ(print.chooser[0].section('|', 3, 3), when);
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
