// The data grid, bound edits, lookup box and navigator over real tables, driven with keys and
// clicks; the keys held with Alt in the boxes.
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/ui/DBCtrls.h"
#include "platform/ui/DBGrids.h"
#include "platform/ui/DataSource.h"
#include "support/TestSupport.h"

namespace {

class DbControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      TTable t;
      t.SetDatabaseName(dir.Path());
      t.SetTableName("Titre.DB");
      t.FieldDefs.Add("Id", ftString, 4);
      t.FieldDefs.Add("Titre", ftString, 30);
      t.FieldDefs.Add("Qte", ftInteger);
      t.FieldDefs.Add("Prix", ftCurrency);
      t.FieldDefs.Add("Site", ftString, 1);
      t.IndexDefs.Add("", "Id", ixPrimary | ixUnique);
      t.CreateTable();
      TTable s;
      s.SetDatabaseName(dir.Path());
      s.SetTableName("Site.DB");
      s.FieldDefs.Add("Id", ftString, 1);
      s.FieldDefs.Add("Libelle", ftString, 30);
      s.IndexDefs.Add("", "Id", ixPrimary | ixUnique);
      s.CreateTable();
    }
    Titre.SetDatabaseName(dir.Path());
    Titre.SetTableName("Titre.DB");
    Site.SetDatabaseName(dir.Path());
    Site.SetTableName("Site.DB");
  }
  void Fill(int n) {
    Titre.Open();
    for (int i = 1; i <= n; ++i) {
      Titre.Append();
      Titre.FieldByName("Id")->AsString = QString("%1").arg(i, 4, 10, QChar('0'));
      Titre.FieldByName("Titre")->AsString = QString("TITRE %1").arg(i);
      Titre.FieldByName("Qte")->AsInteger = i * 1000;
      Titre.FieldByName("Prix")->AsCurrency = Currency::FromDouble(i + 0.5);
      Titre.Post();
    }
    Titre.First();
  }
  void FillSites() {
    Site.Open();
    for (auto [id, lib] : {std::pair{"A", "CENTRE"}, std::pair{"B", "L'OUEST"}}) {
      Site.Append();
      Site.FieldByName("Id")->AsString = id;
      Site.FieldByName("Libelle")->AsString = lib;
      Site.Post();
    }
  }
  // The title's site, chosen by its name among the sites.
  TDBLookupComboBox* SiteBox(QWidget* form) {
    auto* site = new TDBLookupComboBox(form);
    site->SetListSource(&dsSite);
    site->SetKeyField("Id");
    site->SetListField("Libelle");
    site->SetDataSource(&dsTitre);
    site->SetDataField("Site");
    return site;
  }
  static void Show(QWidget* w) {
    w->show();
    QApplication::setActiveWindow(w);
    QApplication::processEvents();
  }
  static void Type(const QString& text) {
    for (QChar c : text) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
  }

  TempDir dir;
  ScopedDialogs dlg;
  TTable Titre, Site;
  TDataSource dsTitre{&Titre}, dsSite{&Site};
};

TDBGrid* MakeGrid(TDataSource* ds) {
  auto* g = new TDBGrid;
  g->resize(400, 300);
  g->AddColumn("Id", "Code", 50);
  g->AddColumn("Titre", "Titre", 150);
  TColumn& q = g->AddColumn("Qte", "Quantité", 80);
  q.DisplayFormat = "### ##0";
  q.Alignment = Qt::AlignRight;
  g->AddColumn("Prix", "Prix", 80);
  g->SetDataSource(ds);
  return g;
}

}  // namespace

TEST_F(DbControlsTest, GridFollowsTheCursorAndShowsOnlyTheRowsInView) {
  Fill(2000);
  std::unique_ptr<TDBGrid> g(MakeGrid(&dsTitre));
  Show(g.get());
  g->setFocus();
  std::vector<int> drawn;
  QStringList texts;
  g->OnDrawColumnCell = [&](TDBGrid* s, const QRect&, int col, TColumn& c, TGridDrawState) {
    if (col == 0) drawn.push_back(s->DrawRecNo());
    if (s->DrawRecNo() == 1) texts << s->DrawFieldValue(c.FieldName).toString();
  };
  g->grab();
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.front(), 1);
  EXPECT_LT(drawn.size(), 30u);
  QTest::keyClick(g.get(), Qt::Key_Down);
  QTest::keyClick(g.get(), Qt::Key_Down);
  EXPECT_EQ(Titre.FieldByName("Id")->AsString(), "0003");
  QTest::keyClick(g.get(), Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(Titre.FieldByName("Id")->AsString(), "2000");
  drawn.clear();
  g->grab();
  EXPECT_EQ(drawn.back(), 2000);
  EXPECT_LT(drawn.size(), 30u);
  // Clicking a row makes it current.
  const int top = g->TopRecord();
  QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->CellRect(1, top + 2).center());
  EXPECT_EQ(Titre.RecNo(), top + 3);
  // Display formats.
  Titre.First();
  drawn.clear();
  texts.clear();
  g->grab();
  EXPECT_TRUE(texts.contains("0001"));
  TField* qte = Titre.FieldByName("Qte");
  EXPECT_EQ(TDBGrid::FormatValue(qte, 1234567, "### ##0"), "1 234 567");
  EXPECT_EQ(TDBGrid::FormatValue(Titre.FieldByName("Prix"), 1.5), "1.50");
}

TEST_F(DbControlsTest, EditingInTheGridStoresWhenTheRowIsLeft) {
  Fill(3);
  std::unique_ptr<TDBGrid> g(MakeGrid(&dsTitre));
  g->SetOptions(g->Options() | dgEditing);
  Show(g.get());
  g->setFocus();
  g->SetSelectedIndex(1);
  Type("nouveau");
  ASSERT_TRUE(g->EditorMode());
  EXPECT_EQ(Titre.State(), dsEdit);
  EXPECT_EQ(Titre.FieldByName("Titre")->AsString(), "nouveau");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  EXPECT_EQ(Titre.State(), dsBrowse);
  EXPECT_EQ(Titre.RecNo(), 2);
  Titre.First();
  EXPECT_EQ(Titre.FieldByName("Titre")->AsString(), "nouveau");
  // Escape drops an edit.
  Type("x");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_EQ(Titre.State(), dsBrowse);
  EXPECT_EQ(Titre.FieldByName("Titre")->AsString(), "nouveau");
  // F2 on a long text after a short column shows the whole text, not the short column's length.
  g->SetSelectedIndex(0);
  QTest::keyClick(g.get(), Qt::Key_F2);
  ASSERT_TRUE(g->EditorMode());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  g->SetSelectedIndex(1);
  QTest::keyClick(g.get(), Qt::Key_F2);
  EXPECT_EQ(g->InplaceEditor()->text(), "nouveau");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  // Down on the last row starts a new one; leaving it untouched drops it.
  Titre.Last();
  QTest::keyClick(g.get(), Qt::Key_Down);
  EXPECT_EQ(Titre.State(), dsInsert);
  QTest::keyClick(g.get(), Qt::Key_Up);
  EXPECT_EQ(Titre.State(), dsBrowse);
  EXPECT_EQ(Titre.RecordCount(), 3);
  // Ctrl+Delete asks before deleting.
  dlg->QueueAnswer(ModalResult::No);
  QTest::keyClick(g.get(), Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(Titre.RecordCount(), 3);
  dlg->QueueAnswer(ModalResult::Yes);
  QTest::keyClick(g.get(), Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(Titre.RecordCount(), 2);
  // A looked-up column shows the name of the row's site.
  Site.Open();
  Site.Append();
  Site.FieldByName("Id")->AsString = "A";
  Site.FieldByName("Libelle")->AsString = "CENTRE";
  Site.Post();
  Titre.First();
  Titre.Edit();
  Titre.FieldByName("Site")->AsString = "A";
  Titre.Post();
  TColumn& lSite = g->AddColumn("lSite", "Site", 80);
  lSite.LookupDataSet = &Site;
  lSite.KeyField = "Site";
  lSite.LookupKeyField = "Id";
  lSite.LookupResultField = "Libelle";
  QStringList sites;
  g->OnDrawColumnCell = [&](TDBGrid* s, const QRect&, int col, TColumn& c, TGridDrawState) {
    if (&c == &g->Columns(4)) sites << QString::number(s->DrawRecNo()) + ":" + s->DrawFieldValue("Site").toString();
  };
  g->grab();
  EXPECT_TRUE(sites.contains("1:A"));
  EXPECT_EQ(g->DisplayText(4, 0), "CENTRE");
  EXPECT_EQ(g->DisplayText(4, 1), "");
  EXPECT_EQ(g->DisplayText(2, 0), "1 000");
  EXPECT_EQ(g->DisplayText(3, 0), "1.50");
  // A read-only grid edits nothing.
  g->SetReadOnly(true);
  Type("z");
  EXPECT_EQ(Titre.State(), dsBrowse);
}

TEST_F(DbControlsTest, MultiSelectKeepsTheRowsAsBookmarks) {
  Fill(10);
  std::unique_ptr<TDBGrid> g(MakeGrid(&dsTitre));
  g->SetOptions(dgTitles | dgIndicator | dgRowSelect | dgMultiSelect | dgColLines | dgRowLines);
  g->SetReadOnly(true);
  Show(g.get());
  int dbl = 0;
  QString titleClicked;
  g->OnDblClick = [&](TDBGrid*) { ++dbl; };
  g->OnTitleClick = [&](TDBGrid*, TColumn& c) { titleClicked = c.FieldName; };
  auto click = [&](int rec, Qt::KeyboardModifiers m) {
    QTest::mouseClick(g->viewport(), Qt::LeftButton, m, g->CellRect(0, rec).center());
  };
  click(1, {});
  EXPECT_EQ(g->SelectedRows().Count(), 1);
  click(4, Qt::ControlModifier);
  click(6, Qt::ControlModifier);
  EXPECT_EQ(g->SelectedRows().Count(), 3);
  click(4, Qt::ControlModifier);  // a second ctrl-click unselects
  ASSERT_EQ(g->SelectedRows().Count(), 2);
  QStringList ids;
  for (int i = 0; i < g->SelectedRows().Count(); ++i) {
    Titre.GotoBookmark(g->SelectedRows()[i]);
    ids << Titre.FieldByName("Id")->AsString();
  }
  EXPECT_EQ(ids, (QStringList{"0002", "0007"}));
  click(2, Qt::ShiftModifier);
  EXPECT_EQ(g->SelectedRows().Count(), 3);  // from the last row ctrl-clicked (5) back to 3
  click(0, {});
  EXPECT_EQ(g->SelectedRows().Count(), 1);
  QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, g->CellRect(0, 3).center());
  EXPECT_EQ(dbl, 1);
  QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->TitleRect(1).center());
  EXPECT_EQ(titleClicked, "Titre");
  // A deleted record leaves the selection when it is refreshed.
  Titre.First();
  g->SelectedRows().SetCurrentRowSelected(true);
  EXPECT_EQ(g->SelectedRows().Count(), 1);
  Titre.Delete();
  g->SelectedRows().Refresh();
  EXPECT_EQ(g->SelectedRows().Count(), 0);
}

TEST_F(DbControlsTest, BoundEditLookupBoxAndNavigator) {
  Fill(3);
  FillSites();
  QWidget form;
  auto* ed = new TDBEdit(&form);
  ed->SetDataSource(&dsTitre);
  ed->SetDataField("Titre");
  ed->SetCharCase(TEditCharCase::ecUpperCase);
  ed->SetMaxLength(6);
  auto* code = new TDBEdit(&form);
  code->SetDataSource(&dsTitre);
  code->SetDataField("Id");
  code->SetReadOnly(true);
  auto* site = SiteBox(&form);
  auto* filter = new TDBLookupComboBox(&form);
  filter->SetListSource(&dsSite);
  filter->SetKeyField("Id");
  filter->SetListField("Libelle");
  int closeUps = 0;
  filter->OnCloseUp = [&](TDBLookupComboBox*) { ++closeUps; };
  auto* nav = new TDBNavigator(&form);
  nav->SetDataSource(&dsTitre);
  auto* layout = new QVBoxLayout(&form);
  for (QWidget* w : std::initializer_list<QWidget*>{ed, code, site, filter, nav}) layout->addWidget(w);
  Show(&form);
  int states = 0;
  dsTitre.OnStateChange = [&](TDataSource*) { ++states; };

  EXPECT_EQ(ed->text(), "TITRE 1");  // a stored value longer than the limit is shown whole
  EXPECT_EQ(code->text(), "0001");
  EXPECT_EQ(site->count(), 2);
  EXPECT_EQ(site->currentIndex(), -1);
  EXPECT_FALSE(nav->Button(nbPrior)->isEnabled());
  QTest::mouseClick(nav->Button(nbNext), Qt::LeftButton);
  EXPECT_EQ(code->text(), "0002");
  EXPECT_TRUE(nav->Button(nbPrior)->isEnabled());
  QTest::mouseClick(nav->Button(nbLast), Qt::LeftButton);
  EXPECT_EQ(code->text(), "0003");
  EXPECT_FALSE(nav->Button(nbNext)->isEnabled());

  ed->setFocus();
  ed->selectAll();
  Type("le monde");
  EXPECT_EQ(ed->text(), "LE MON");
  EXPECT_EQ(Titre.State(), dsEdit);
  EXPECT_EQ(states, 1);
  EXPECT_EQ(Titre.FieldByName("Titre")->AsString(), "LE MON");
  code->setFocus();
  Type("9");
  EXPECT_EQ(code->text(), "0003");
  site->setFocus();
  QTest::keyClick(site, Qt::Key_Down);
  QTest::keyClick(site, Qt::Key_Down);
  EXPECT_EQ(Titre.FieldByName("Site")->AsString(), "B");
  Titre.Post();
  EXPECT_EQ(states, 2);
  Titre.First();
  EXPECT_EQ(site->currentIndex(), -1);
  Titre.Last();
  EXPECT_EQ(site->Text(), "L'OUEST");
  EXPECT_EQ(ed->text(), "LE MON");
  // Escape takes back the typing of the box, the record stays in edit.
  ed->setFocus();
  QTest::keyClick(ed, Qt::Key_End);
  QTest::keyClick(ed, Qt::Key_Backspace);
  EXPECT_EQ(Titre.FieldByName("Titre")->AsString(), "LE MO");
  QTest::keyClick(ed, Qt::Key_Escape);
  EXPECT_EQ(ed->text(), "LE MON");
  EXPECT_EQ(Titre.FieldByName("Titre")->AsString(), "LE MON");
  EXPECT_EQ(Titre.State(), dsEdit);
  Titre.Cancel();

  filter->setFocus();
  QTest::keyClick(filter, Qt::Key_Down);
  EXPECT_EQ(filter->KeyValue().toString(), "A");
  EXPECT_EQ(closeUps, 1);
  filter->SetKeyValue("B");
  EXPECT_EQ(filter->Text(), "L'OUEST");
  EXPECT_EQ(closeUps, 1);
  EXPECT_EQ(Titre.State(), dsBrowse);
}

TEST_F(DbControlsTest, EscapeInABoxHoldingARefusedNumberBringsBackTheStoredValue) {
  Fill(1);
  QWidget form;
  auto* qte = new TDBEdit(&form);
  qte->SetDataSource(&dsTitre);
  qte->SetDataField("Qte");
  auto* titre = new TDBEdit(&form);
  titre->SetDataSource(&dsTitre);
  titre->SetDataField("Titre");
  titre->move(0, 30);
  Show(&form);
  qte->setFocus();
  qte->selectAll();
  Type("1A");
  titre->setFocus();  // leaving says what is wrong and comes back
  EXPECT_EQ(dlg->Messages(), QStringList{"'1A' n'est pas une valeur correcte"});
  EXPECT_EQ(QApplication::focusWidget(), qte);
  EXPECT_TRUE(qte->HoldsBadText());
  QTest::keyClick(qte, Qt::Key_Escape);
  EXPECT_FALSE(qte->HoldsBadText());
  EXPECT_EQ(qte->text(), "1000");
  dlg->Clear();
  titre->setFocus();
  EXPECT_EQ(dlg->Messages(), QStringList());
  Titre.Post();
  EXPECT_EQ(Titre.FieldByName("Qte")->AsInteger(), 1000);
}

TEST_F(DbControlsTest, AKeyHeldWithAltTypesNothingInABoxAndGoesOnToItsWindow) {
  Fill(1);
  FillSites();
  // The window: the keys its boxes leave it, and its own key handler that sees them first as typed.
  struct Window : QWidget {
    QStringList reached;
    void keyPressEvent(QKeyEvent* e) override {
      if (e->key() != Qt::Key_Alt) reached << QKeySequence(e->keyCombination()).toString() + e->text();
    }
  } form;
  struct Preview : QObject {
    QWidget* window = nullptr;
    int seen = 0;
    bool eventFilter(QObject* o, QEvent* e) override {
      if (e->type() == QEvent::KeyPress && o->isWidgetType() && static_cast<QWidget*>(o)->window() == window &&
          static_cast<QKeyEvent*>(e)->text() == "q")
        ++seen;
      return false;
    }
  } preview;
  preview.window = &form;
  qApp->installEventFilter(&preview);
  auto* ed = new TDBEdit(&form);
  ed->SetDataSource(&dsTitre);
  ed->SetDataField("Titre");
  auto* site = SiteBox(&form);
  auto* line = new QLineEdit(&form);
  auto* combo = new QComboBox(&form);
  combo->setEditable(true);
  auto* memo = new QTextEdit(&form);
  auto* spin = new QSpinBox(&form);
  auto* date = new QDateEdit(QDate(2005, 3, 7), &form);
  int closed = 0;
  auto* close = new QPushButton("&Fermer", &form);
  QObject::connect(close, &QPushButton::clicked, [&] { ++closed; });
  auto* layout = new QVBoxLayout(&form);
  for (QWidget* w : std::initializer_list<QWidget*>{ed, site, line, combo, memo, spin, date, close}) layout->addWidget(w);
  Show(&form);

  const auto texts = [&] {
    return QStringList{ed->text(), site->currentText(), line->text(), combo->currentText(), memo->toPlainText(),
                       spin->text(), date->text()};
  };
  const QStringList before = texts();
  for (QWidget* box : std::initializer_list<QWidget*>{ed, site, line, combo, memo, spin, date}) {
    box->setFocus();
    form.reached.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::AltModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::AltModifier);  // not "L'OUEST" either
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_3, Qt::AltModifier);
    EXPECT_EQ(texts(), before) << box->metaObject()->className();
    EXPECT_EQ(form.reached, QStringList({"Alt+Q", "Alt+L", "Alt+3"})) << box->metaObject()->className();
  }
  EXPECT_EQ(preview.seen, 7);
  EXPECT_EQ(Titre.State(), dsBrowse);
  // The accelerators still answer from a box, and AltGr still types.
  ed->setFocus();
  QTest::keyClick(ed, Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return closed == 1; }));  // the button's animated click
  line->setFocus();
  QTest::keyClick(line, '@', Qt::GroupSwitchModifier);
  EXPECT_EQ(line->text(), "@");
  qApp->removeEventFilter(&preview);
}
