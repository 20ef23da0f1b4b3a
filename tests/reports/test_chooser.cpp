// The report chooser: the catalogue, the stored choice and period, the parameter tabs, the list
// number box, the path to the issue numbering, the main window's entries and printer.
#include <QAction>
#include <QCoreApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QTabBar>

#include "ReportsFixture.h"
#include "platform/db/Table.h"
#include "platform/sys/IniFiles.h"
#include "refdata/UNumTitre.h"
#include "reports/UPreview.h"
#include "reports/Register.h"
#include "reports/UPrint.h"
#include "shell/UCalendar.h"
#include "shell/UMain.h"
#include "shell/global.h"
#include "reports/Catalogue.h"


TEST_F(ChooserTest, FirstStartSelectsTheFirstReportAndStoresTheChoiceAtClose) {
  FillWeek();
  Open();
  EXPECT_EQ(w->windowTitle(), "Impressions");
  ASSERT_EQ(w->lstPrint->count(), 2);
  EXPECT_EQ(w->lstPrint->currentRow(), 0);
  EXPECT_TRUE(w->DateDeb->text().isEmpty());
  EXPECT_TRUE(w->DateFin->isReadOnly());
  EXPECT_EQ(w->pgControl->currentIndex(), 0);
  EXPECT_FALSE(w->pgControl->isTabVisible(1));
  EXPECT_TRUE(w->chkRevertOrder->isChecked());
  EXPECT_FALSE(w->chkQteNul->isChecked());
  EXPECT_EQ(w->cmbRegion->KeyValue().toString(), "01");  // first region by label
  // Enter anywhere prints: here the empty period is refused.
  QTest::keyClick(w->chkQteNul, Qt::Key_Return);
  EXPECT_EQ(dlg->Messages(), QStringList{"La date de début periode est incorrecte !"});
  // The calendar fills the week.
  dlg->QueueModal([](QWidget* c) {
    static_cast<TfrmCalendar*>(c)->myCalend->setSelectedDate(QDate(2004, 1, 5));
    return ModalResult::OK;
  });
  w->btnCalendar->click();
  EXPECT_EQ(w->DateDeb->text(), "05/01/2004");
  EXPECT_EQ(w->DateFin->text(), "11/01/2004");
  // The list report, chosen with the keyboard: its own tab only, the period fields disabled and
  // silver.
  w->lstPrint->setFocus();
  QTest::keyClick(w->lstPrint, Qt::Key_Down);
  EXPECT_EQ(w->pgControl->currentIndex(), 1);
  EXPECT_FALSE(w->pgControl->isTabVisible(0));
  EXPECT_TRUE(w->pgControl->tabText(1).startsWith("Liste de distribution du jour"));
  EXPECT_FALSE(w->DateDeb->isEnabled());
  EXPECT_EQ(w->DateDeb->palette().color(QPalette::Base), QColor(0xC0, 0xC0, 0xC0));
  w->close();
  TIniFile ini(DataPath + "DJ.INI");
  EXPECT_EQ(ini.ReadInteger("PRINT", "LSTPRINT", -1), 1);
  EXPECT_EQ(ini.ReadString("PRINT", "DEB", "?"), "05/01/2004");
  EXPECT_EQ(ini.ReadString("PRINT", "FIN", "?"), "11/01/2004");
}

TEST_F(ChooserTest, AStoredChoiceOutsideTheCatalogueSelectsTheFirstReport) {
  TIniFile ini(DataPath + "DJ.INI");
  ini.WriteInteger("PRINT", "LSTPRINT", 7);
  ini.WriteString("PRINT", "DEB", "05/01/2004");
  Open();
  EXPECT_EQ(w->lstPrint->currentRow(), 0);
  EXPECT_EQ(w->DateDeb->text(), "05/01/2004");
  ini.WriteInteger("PRINT", "LSTPRINT", 1);
  delete w.data();
  Open();
  EXPECT_EQ(w->lstPrint->currentRow(), 1);
  EXPECT_EQ(w->pgControl->currentIndex(), 1);
}

TEST_F(ChooserTest, TheListNumberBoxTakesOnlyAWholeNumber) {
  FillWeek();
  Open();
  w->lstPrint->setCurrentRow(1);
  w->lstPrintClick();
  w->btnPrint->click();
  EXPECT_EQ(dlg->Messages(), QStringList{"Veuillez sélectionner une liste S.V.P !"});
  Type(w->edNoListe, "1a.,5-");
  EXPECT_EQ(w->edNoListe->text(), "15");
  // The lists window hands back its list number.
  CurrentListNo = 4;
  dlg->QueueModal([](QWidget* l) {
    EXPECT_STREQ(l->metaObject()->className(), "TfrmListe");
    return ModalResult::OK;
  });
  w->btnListe->click();
  EXPECT_EQ(w->edNoListe->text(), QString::number(CurrentListNo));
  // A known list previews through the chooser.
  AddRow("TLISTE.DB", {CurrentListNo, 1, "01", "T001", "Liste"});
  const auto pages = RunPreview([&] { QTest::keyClick(w->edNoListe, Qt::Key_Return); });
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].Find("lTitre1")->text, "QUOT");
}

TEST_F(ChooserTest, DeliveryNotesGoThroughTheIssueNumberingFirst) {
  FillWeek();
  Open();
  w->DateDeb->setText("05/01/2004");
  w->DateFin->setText("11/01/2004");
  QStringList order;
  dlg->QueueModal([&](QWidget* m) {
    order << m->metaObject()->className();
    // The operator moves the weekly to its next issue.
    static_cast<TfrmNumTitre*>(m)->btnPlus->click();
    return ModalResult::OK;
  });
  dlg->QueueModal([&](QWidget* m) {
    order << m->metaObject()->className();
    return ModalResult::Cancel;
  });
  const auto pages = RunPreview([&] { w->btnPrint->click(); });
  EXPECT_EQ(order, (QStringList{"TfrmNumTitre", "TfrmInputBox"}));
  ASSERT_EQ(pages.size(), 3u);
  // Clients from the highest delivery order down: ALPHA's note is the last one.
  EXPECT_EQ(pages[2].Find("dClient")->text, "ALPHA");
  EXPECT_EQ(pages[2].Find("lTitre", 1)->text, "L'HEBDO - N°13");
  EXPECT_EQ(pages[2].Find("lTitre", 2), nullptr);
}

TEST_F(ChooserTest, CatalogueRowsAreFoundByTheBeginningOfTheirTitleAndRunTheirHandler) {
  {
    TTable t;
    t.SetDatabaseName(AppPath);
    t.SetTableName("RAPPORT.DB");
    DefineCatalogueFields(t);
    t.CreateTable();
    t.Open();
    auto add = [&](const QString& titre, int page, bool periode, int no) {
      t.Append();
      t.Fields(0)->AsString = titre;
      t.Fields(1)->AsString = "Proc";
      t.Fields(2)->AsInteger = page;
      t.Fields(3)->AsBoolean = periode;
      t.Fields(4)->AsInteger = no;
      t.Post();
    };
    add("Réservé", 0, true, 3);
    add("Sans traitement", 0, false, 25);
    add("Liste", 1, false, 2);
  }
  Open();
  ASSERT_EQ(w->lstPrint->count(), 3);
  // A reserved handler and a number without handler do nothing.
  for (int row : {0, 1}) {
    w->lstPrint->setCurrentRow(row);
    w->lstPrintClick();
    w->btnPrint->click();
  }
  EXPECT_TRUE(dlg->Asked().empty());
  EXPECT_FALSE(w->DateDeb->isEnabled());  // "Sans traitement" takes no period
  w->lstPrint->setCurrentRow(2);
  w->lstPrintClick();
  w->btnPrint->click();  // handler 2: the list number is asked for
  EXPECT_EQ(dlg->Messages(), QStringList{"Veuillez sélectionner une liste S.V.P !"});
  EXPECT_EQ(w->FindRow("Sans")->No, 25);
  EXPECT_EQ(w->FindRow("sans"), nullptr);  // case counts
}

TEST_F(ChooserTest, AMissingOrUnreadableCatalogueIsNamed) {
  for (const QString& f : QDir(AppPath).entryList({"RAPPORT.*"}, QDir::Files)) QFile::remove(AppPath + f);
  Open();
  ASSERT_EQ(dlg->Messages().size(), 1);
  EXPECT_TRUE(dlg->Messages()[0].contains("RAPPORT.DB"));
  EXPECT_TRUE(dlg->Messages()[0].contains("introuvable"));
  EXPECT_EQ(w->lstPrint->count(), 0);
  w->btnPrint->click();
  QTest::keyClick(w->btnPrint, Qt::Key_Return);
  EXPECT_EQ(dlg->Messages().size(), 1);
  delete w.data();
  {
    QFile f(AppPath + "RAPPORT.DB");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(2048, 'z'));
  }
  dlg->Clear();
  Open();
  ASSERT_EQ(dlg->Messages().size(), 1);
  EXPECT_TRUE(dlg->Messages()[0].contains("RAPPORT.DB"));
  EXPECT_TRUE(dlg->Messages()[0].contains("illisible"));
  EXPECT_EQ(w->lstPrint->count(), 0);
}

TEST_F(ChooserTest, TheMainWindowOpensTheChooserAndKeepsThePrinterChosen) {
  RegisterReportWindows();
  EXPECT_TRUE(TfrmMain::HasWindow(WindowKey::Print));
  // "Configuration de l'imprimante" sets the program's printer; a report prints on it.
  dlg->QueuePrinterHandler([&](QPrinter& p, TPrintRange&) {
    EXPECT_EQ(&p, &Printer());
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(dir.File("setup.pdf"));
    return true;
  });
  {
    const QByteArray oldRegistry = qgetenv("ZELM_REGISTRY_DIR");
    qputenv("ZELM_REGISTRY_DIR", dir.File("registry").toUtf8());
    TfrmMain::ExeNameOverride = dir.File("zelm");
    QPointer<TfrmMain> main = new TfrmMain(nullptr);
    main->mnConfigImprimante->trigger();
    EXPECT_EQ(dlg->Asked().back().kind, "printer");
    dlg->QueueAnswer(ModalResult::No);  // no backup at close
    main->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete main.data();
    TfrmMain::ExeNameOverride.clear();
    qputenv("ZELM_REGISTRY_DIR", oldRegistry);
    AppPath = dir.Path();
    DataPath = dir.Path() + "Data/";
  }
  FillWeek();
  AddRow("TLISTE.DB", {1, 1, "01", "T001", "Liste"});
  TIniFile(DataPath + "DJ.INI").WriteInteger("PRINT", "LSTPRINT", 1);
  dlg->QueueModal([&](QWidget* m) {
    auto* chooser = frmPrint.data();
    EXPECT_EQ(chooser, m);
    chooser->edNoListe->setText("1");
    dlg->QueuePrinterHandler([](QPrinter&, TPrintRange&) { return true; });
    RunPreview([&] { chooser->btnPrint->click(); }, [](TfrmPreview* f) { f->btnPrint->click(); });
    return ModalResult::OK;
  });
  TfrmMain::OpenWindow(WindowKey::Print);
  EXPECT_TRUE(frmPrint.isNull());
  EXPECT_EQ(PdfPages(dir.File("setup.pdf")), 1);
  Printer().setOutputFileName(QString());
}
