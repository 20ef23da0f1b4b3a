#include "WeeklyFixture.h"

#include <QDir>

#include "platform/sys/Clock.h"
#include "platform/ui/Grids.h"
#include "shell/global.h"

namespace {
struct WeeklyField {
  const char* name;
  TFieldType type;
  int size;
};
struct WeeklyTable {
  const char* file;
  std::vector<WeeklyField> fields;
  std::vector<std::pair<const char*, const char*>> indexes;
};

const std::vector<WeeklyTable>& WeeklyTables() {
  static const std::vector<WeeklyTable> specs = {
      {"Region.db", {{"Id", ftString, 2}, {"Libelle", ftString, 30}}, {{"", "Id"}, {"iLibelle", "Libelle"}}},
      {"CLIENT.DB",
       {{"Id", ftString, 4}, {"Ord", ftInteger, 0}, {"Nom", ftString, 40}, {"Adr", ftString, 50},
        {"Tel", ftString, 20}, {"Fax", ftString, 20}, {"Site", ftString, 1}, {"Region", ftString, 2},
        {"Ab0", ftCurrency, 0}, {"Ab1", ftCurrency, 0}, {"Ab2", ftCurrency, 0}, {"Ab3", ftCurrency, 0},
        {"Ab4", ftCurrency, 0}, {"Ab5", ftCurrency, 0}},
       {{"", "Id"}, {"iNom", "Nom"}, {"iOrd", "Ord"}, {"iRegion", "Region"}, {"iRegOrd", "Region;Ord"}}},
      {"Titre.DB",
       {{"Id", ftString, 4}, {"Nord", ftSmallint, 0}, {"Couleur", ftInteger, 0}, {"Titre", ftString, 30},
        {"Diminutif", ftString, 15}, {"Num", ftInteger, 0}, {"Pha", ftCurrency, 0}, {"Prix", ftCurrency, 0},
        {"Periode", ftString, 1}, {"Site", ftString, 1}, {"Imprimerie", ftString, 1}, {"Liste", ftBoolean, 0}},
       {{"", "Id"}, {"iOrd", "Nord"}}},
      {"Disto.DB",
       {{"DateJ", ftDate, 0}, {"Id_Client", ftString, 4}, {"Id_Titre", ftString, 4}, {"Qte_Prise", ftInteger, 0},
        {"PU", ftCurrency, 0}},
       {{"", "DateJ;Id_Client;Id_Titre"}}},
      {"Retour.DB",
       {{"Week", ftDate, 0}, {"Id_Client", ftString, 4}, {"Id_Titre", ftString, 4}, {"Qte", ftInteger, 0}},
       {{"", "Week;Id_Client;Id_Titre"}}},
      {"VCR.DB", {{"Week", ftDate, 0}, {"Id_Client", ftString, 4}, {"Montant", ftCurrency, 0}}, {{"", "Week;Id_Client"}}},
      {"Ha.DB", {{"DateH", ftDate, 0}, {"Id", ftString, 4}, {"Qte", ftInteger, 0}, {"Pu", ftCurrency, 0}},
       {{"", "DateH;Id"}}},
  };
  return specs;
}
}  // namespace

WeeklyTest::WeeklyTest() {
  AppPath = dir.Path();
  DataPath = dir.Path() + "Data/";
  QDir().mkpath(DataPath);
  InitializeFormats();
  SetClock(QDateTime(QDate(2004, 3, 10), QTime(9, 0)));
  for (const WeeklyTable& s : WeeklyTables()) {
    TTable t;
    t.SetDatabaseName(DataPath);
    t.SetTableName(s.file);
    for (const WeeklyField& f : s.fields) t.FieldDefs.Add(f.name, f.type, f.size);
    for (const auto& [name, fields] : s.indexes)
      t.IndexDefs.Add(name, fields, QString(name).isEmpty() ? (ixPrimary | ixUnique) : 0);
    t.CreateTable();
  }
}

WeeklyTest::~WeeklyTest() { SetClock(QDateTime()); }

void WeeklyTest::AddRow(const QString& table, const QList<QVariant>& values) {
  TTable t;
  t.SetDatabaseName(DataPath);
  t.SetTableName(table);
  t.Open();
  t.Append();
  for (int i = 0; i < values.size(); ++i)
    if (values[i].isValid()) t.Fields(i)->Value = values[i];
  t.Post();
  t.Close();
}

void WeeklyTest::AddReference() {
  AddRow("Region.db", {"01", "NORD"});
  AddRow("Region.db", {"02", "SUD"});
  AddRow("CLIENT.DB", {"0001", 1, "KIOSQUE GARE", {}, {}, {}, "A", "01", 1.0, 2.0, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"0002", 2, "TABAC DES AMIS", {}, {}, {}, "A", "01", 1.0, 2.0, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"0003", 1, "PRESSE DU PORT", {}, {}, {}, "A", "02", 1.0, 2.0, 0, 0, 0, 0});
  AddRow("Titre.DB", {"0001", 2, 0, "EL WATAN", {}, 0, 8.0, 10.0, "0", "A", "1", false});
  AddRow("Titre.DB", {"0002", 1, 0, "LIBERTE", {}, 0, 15.0, 20.0, "1", "A", "1", false});
}

void WeeklyTest::AddTaking(const QDate& day, const QString& client, const QString& title, int qte, double pu) {
  AddRow("Disto.DB", {day, client, title, qte, pu});
}

QStringList WeeklyTest::Rows(const QString& sql) {
  TQuery q;
  q.SetDatabaseName(DataPath);
  q.SQL.SetText(sql);
  q.Open();
  QStringList out;
  for (const auto& row : q.ReadRows(0, q.RecordCount())) {
    QStringList cells;
    for (const QVariant& v : row) {
      if (v.typeId() == QMetaType::QDate) cells << v.toDate().toString("dd/MM/yyyy");
      else cells << (v.isNull() ? QString() : v.toString());
    }
    out << cells.join('|');
  }
  return out;
}

QString WeeklyTest::Value(const QString& sql) {
  const QStringList r = Rows(sql);
  return r.isEmpty() ? QString() : r.first().section('|', 0, 0);
}

void WeeklyTest::Activate(QWidget* w) {
  w->show();
  QApplication::setActiveWindow(w);
  w->activateWindow();
  QApplication::processEvents();
}

void WeeklyTest::Type(const QString& text) {
  for (QChar c : text) {
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    QTest::keyClicks(w, QString(c));
  }
}

void WeeklyTest::Press(Qt::Key key, Qt::KeyboardModifiers mods) {
  QWidget* w = QApplication::focusWidget();
  ASSERT_NE(w, nullptr);
  QTest::keyClick(w, key, mods);
}

void WeeklyTest::ClickCell(TStringGrid* g, int col, int row) {
  const QRect r = g->CellRect(col, row);
  ASSERT_FALSE(r.isEmpty()) << col << "," << row;
  QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
}
