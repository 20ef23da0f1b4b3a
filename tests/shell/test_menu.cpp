// The main window's menu and tool buttons as the composed program has them: every entry where it
// stands, what it opens, and a window of a subsystem placed by its registration alone.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QToolButton>
#include <limits>

#include "app/Composition.h"
#include "maintenance/Register.h"
#include "operations/RegisterTakings.h"
#include "operations/RegisterWeekly.h"
#include "refdata/Register.h"
#include "shell/UMain.h"
#include "MainWindowEnv.h"

namespace {

class ComposedMenuTest : public ::testing::Test {
 protected:
  ComposedMenuTest() { ComposeApplication(); }
  ~ComposedMenuTest() override {
    if (frm_) {
      dlg_->QueueAnswer(ModalResult::No);
      frm_->close();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    ComposeApplication();  // the real windows back for the next test
    TfrmMain::InterruptedRestoreHook = nullptr;
  }

  TfrmMain* Start() {
    frm_ = new TfrmMain(nullptr);
    return frm_;
  }
  // One line per entry: object name, text, Tag, then what differs from an ordinary entry.
  static QStringList Entries(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) {
      if (a->isSeparator()) {
        out << "-";
        continue;
      }
      QString e = a->objectName() + " " + a->text();
      if (int tag = a->property("Tag").toInt()) e += QString(" %1").arg(tag);
      if (!a->isEnabled()) e += " disabled";
      if (!a->isVisible()) e += " hidden";
      if (!a->shortcut().isEmpty()) e += " " + a->shortcut().toString();
      out << e;
    }
    return out;
  }

  MainWindowEnv env_;
  ScopedDialogs dlg_;
  QPointer<TfrmMain> frm_;
};

}  // namespace

TEST_F(ComposedMenuTest, EveryEntryStandsWhereTheProgramHasAlwaysHadIt) {
  TfrmMain* frm = Start();
  QStringList menus;
  for (QAction* a : frm->MainMenu->actions()) menus << a->text();
  EXPECT_EQ(menus, QStringList({"&Fichier", "Traitements", "Outils", "Aide"}));
  EXPECT_EQ(Entries(frm->mnFichier),
            QStringList({"mnClients &Clients 105", "mnTitres Titres 107", "-", "mnListes Gestion des Listes",
                         "mnOrgaD Distribution des titres par Region", "-", "mnRegions Régions", "mnSites Sites",
                         "mnImprimeries Imprimeries", "-", "mnImprimer &Imprimer 110",
                         "mnConfigImprimante &Configuration de l'imprimante", "-", "mnQuitter &Quitter Alt+F4"}));
  EXPECT_EQ(Entries(frm->mnTraitements),
            QStringList({"mnPrises Saisie des Prises", "mnPrisesClient Saisie des prises par client disabled", "-",
                         "mnInvendus Saisie des Invendus", "mnVersements Saisie des Versements", "-",
                         "mnAchats Saisie des Achats"}));
  EXPECT_EQ(Entries(frm->mnOutils),
            QStringList({"mnSauvegarder Sauvegarder 115", "mnRestaurer Restaurer", "-",
                         "mnReindexation Réindexation 113", "mnControle Contrôle de la base de données", "-",
                         "mnEpuration Epuration des fichiers 111", "-",
                         "mnMotDePasse Changement du mot de passe 116",
                         "mnSecurite Gestion de la sécurité 100 disabled hidden", "-",
                         "mnChangerImage Changer l'image d'accueil 108",
                         "mnRestaurerImage Restaurer l'image d'accueil 109"}));
  EXPECT_EQ(Entries(frm->mnAideMenu), QStringList({"mnAide Aide", "mnAPropos A propos ..."}));
}

TEST_F(ComposedMenuTest, ToolButtonsShowTheirHintsAndOpenWhatTheirMenuEntryOpens) {
  // Stand-ins keep the real windows' entries and record what opens.
  const QStringList keys = {WindowKey::Ha,     WindowKey::Retour, WindowKey::Disto1, WindowKey::Client,
                            WindowKey::Titres, WindowKey::Region, WindowKey::Print,  WindowKey::ListVCR,
                            WindowKey::Epur,   WindowKey::Sauvegarde};
  QStringList opened;
  for (const QString& key : keys) TfrmMain::RegisterWindow(key, [&opened, key] { opened << key; });
  TfrmMain* frm = Start();
  frm->show();
  QStringList hints;
  QList<QToolButton*> visible;
  for (QToolButton* b : {frm->btnHa, frm->SpeedButton2, frm->btnPrise, frm->btnVCR, frm->btnClient, frm->btnDB,
                         frm->SpeedButton3, frm->SpeedButton1, frm->btnFermer}) {
    hints << b->toolTip();
    if (b->isVisible()) visible << b;
  }
  EXPECT_EQ(hints, QStringList({"Saisie et mise à jour des achats", "Saisie et mise à jour des Invendus",
                                "Saisie des prises", "Saisie des mandats admis", "Saisie et mise à jour des clients",
                                "Saisie et mise à jour des titres", "Saisie et mise à jour des régions",
                                "Imprimer des documents", "Quitter l'application"}));
  EXPECT_FALSE(frm->btnVCR->isVisible());
  for (int i = 1; i < visible.size(); ++i) EXPECT_GT(visible[i]->x(), visible[i - 1]->x());
  EXPECT_GT(frm->btnFermer->geometry().right(), frm->pnlButton->width() - 10);  // anchored right
  EXPECT_EQ(frm->btnPrint->toolTip(), "Imprimer des documents");
  EXPECT_FALSE(frm->pnlButton->rect().intersects(frm->btnPrint->geometry()));

  for (QToolButton* b : {frm->btnHa, frm->SpeedButton2, frm->btnPrise, frm->btnClient, frm->btnDB, frm->SpeedButton3,
                         frm->SpeedButton1, frm->btnPrint, frm->btnVCR})
    b->click();
  for (const char* entry : {"mnClients", "mnEpuration", "mnSauvegarder", "mnAide"}) frm->MenuEntry(entry)->trigger();
  EXPECT_EQ(opened, QStringList({WindowKey::Ha, WindowKey::Retour, WindowKey::Disto1, WindowKey::Client,
                                 WindowKey::Titres, WindowKey::Region, WindowKey::Print, WindowKey::Print,
                                 WindowKey::ListVCR, WindowKey::Client, WindowKey::Epur, WindowKey::Sauvegarde}));
  EXPECT_TRUE(dlg_->Asked().empty());

  // The quit button closes the window through the usual close sequence.
  dlg_->QueueAnswer(ModalResult::No);
  frm->btnFermer->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(frm_.isNull());
}

// The test's windows stand before every group of "Fichier" and after every group of "Outils",
// under keys and names no window of the program has, whatever windows the program gains.
TEST_F(ComposedMenuTest, AWindowRegisteredWithAPlaceGetsItsEntryThereAndLosesItWhenTakenAway) {
  TfrmMain* frm = Start();
  const QStringList fichier = Entries(frm->mnFichier), outils = Entries(frm->mnOutils);
  auto freeKey = [](QString key) {
    while (TfrmMain::HasWindow(key)) key += "X";
    return key;
  };
  auto freeName = [frm](QString name) {
    while (frm->MenuEntry(name)) name += "X";
    return name;
  };
  const QString essai = freeKey("TfrmEssai"), autre = freeKey("TfrmAutreEssai"), journal = freeKey("TfrmJournal");
  const QString mnEssai = freeName("mnEssai"), mnAutre = freeName("mnAutreEssai"), mnJournal = freeName("mnJournal");
  constexpr int first = std::numeric_limits<int>::min(), last = std::numeric_limits<int>::max();
  int opened = 0;
  // Their keys sort the other way round: their places order them.
  TfrmMain::RegisterWindow(essai, [&] { ++opened; }, {"mnFichier", first, 1, mnEssai, "Essais"});
  TfrmMain::RegisterWindow(autre, [&] { opened += 100; }, {"mnFichier", first, 2, mnAutre, "Autres essais"});
  TfrmMain::RegisterWindow(journal, [&] { opened += 10; },
                           {"mnOutils", last, 1, mnJournal, "&Journal", 120, QKeySequence(Qt::CTRL | Qt::Key_J)});
  dlg_->QueueAnswer(ModalResult::No);
  frm->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  frm = Start();
  EXPECT_EQ(Entries(frm->mnFichier), QStringList({mnEssai + " Essais", mnAutre + " Autres essais", "-"}) + fichier);
  EXPECT_EQ(Entries(frm->mnOutils), outils + QStringList({"-", mnJournal + " &Journal 120 Ctrl+J"}));
  frm->MenuEntry(mnEssai)->trigger();
  frm->MenuEntry(mnJournal)->trigger();
  EXPECT_EQ(opened, 11);

  // Taken away, the next main window has none of the entries and the menus are as before.
  for (const QString& key : {essai, autre, journal}) TfrmMain::RegisterWindow(key, nullptr);
  EXPECT_FALSE(TfrmMain::OpenWindow(essai));
  dlg_->QueueAnswer(ModalResult::No);
  frm->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  frm = Start();
  EXPECT_EQ(Entries(frm->mnFichier), fichier);
  EXPECT_EQ(Entries(frm->mnOutils), outils);
}
