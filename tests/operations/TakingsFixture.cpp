#include "TakingsFixture.h"

#include <QDir>

#include "platform/sys/Clock.h"
#include "platform/ui/Grids.h"
#include "shell/global.h"

namespace {
struct FieldSpec {
  const char* name;
  TFieldType type;
  int size;
};
struct TableSpec {
  const char* file;
  std::vector<FieldSpec> fields;
  std::vector<std::pair<const char*, const char*>> indexes;
};

const std::vector<TableSpec>& Specs() {
  static const std::vector<TableSpec> specs = {
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
      {"OrgaD.DB", {{"Id_Region", ftString, 2}, {"Id_Titre", ftString, 4}, {"Ord_Titre", ftSmallint, 0}}, {}},
      {"Disto.DB",
       {{"DateJ", ftDate, 0}, {"Id_Client", ftString, 4}, {"Id_Titre", ftString, 4}, {"Qte_Prise", ftInteger, 0},
        {"PU", ftCurrency, 0}},
       {{"", "DateJ;Id_Client;Id_Titre"}}},
      {"TLISTE.DB",
       {{"NoListe", ftSmallint, 0}, {"Nord", ftSmallint, 0}, {"ID_Region", ftString, 2}, {"ID_Titre", ftString, 4},
        {"TitreListe", ftString, 20}},
       {}},
  };
  return specs;
}
}  // namespace

TakingsTest::TakingsTest() {
  InitializeFormats();
  SetClock(QDateTime(QDate(2005, 3, 7), QTime(9, 0)));
  AppPath = dir.Path();
  DataPath = dir.Path() + "Data/";
  QDir().mkpath(DataPath);
  for (const TableSpec& s : Specs()) {
    TTable t;
    t.SetDatabaseName(DataPath);
    t.SetTableName(s.file);
    for (const FieldSpec& f : s.fields) t.FieldDefs.Add(f.name, f.type, f.size);
    for (const auto& [name, fields] : s.indexes)
      t.IndexDefs.Add(name, fields, QString(name).isEmpty() ? (ixPrimary | ixUnique) : 0);
    t.CreateTable();
  }
  AddRow("Region.db", {"02", "SUD"});
  AddRow("Region.db", {"01", "NORD"});
  // Titles: code, order, colour, name, short, number, purchase price, price, periodicity.
  AddRow("Titre.DB", {"0001", 1, 0, "LE MATIN", "MAT", 1, 0.5, 1.0, "0", "A", "1", true});
  AddRow("Titre.DB", {"0002", 2, 0, "LA SEMAINE", "SEM", 1, 1.0, 2.0, "1", "A", "1", true});
  AddRow("Titre.DB", {"0003", 3, 0, "LE SOIR", "SOI", 1, 1.5, 3.0, "0", "A", "1", true});
  // NORD receives LA SEMAINE then LE MATIN (and a title that no longer exists); SUD LE SOIR.
  AddRow("OrgaD.DB", {"01", "0002", 1});
  AddRow("OrgaD.DB", {"01", "0001", 2});
  AddRow("OrgaD.DB", {"01", "0009", 3});
  AddRow("OrgaD.DB", {"02", "0003", 1});
  // Clients: code, delivery order, name, ..., region, rebates per periodicity.
  AddRow("CLIENT.DB", {"0001", 2, "DUPONT", {}, {}, {}, "A", "01", 0.1, 0.25, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"0002", 1, "MARTIN", {}, {}, {}, "A", "01", 0.2, 0.5, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"0003", 1, "DURAND", {}, {}, {}, "A", "02", 0, 0, 0, 0, 0, 0});
  AddTaking("07/03/2005", "0001", "0002", 5, 9.99);
  AddTaking("07/03/2005", "0002", "0001", 3);
  AddTaking("07/03/2005", "0003", "0003", 7);
  AddTaking("06/03/2005", "0001", "0001", 4);
  AddTaking("06/03/2005", "0001", "0002", 6);
  AddTaking("06/03/2005", "0002", "0001", 2);
  AddTaking("06/03/2005", "0003", "0001", 9);
}

TakingsTest::~TakingsTest() {
  SetClock(QDateTime());
  delete SelectedTitles;
  SelectedTitles = nullptr;
}

void TakingsTest::AddRow(const QString& table, const QList<QVariant>& values) {
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

void TakingsTest::AddTaking(const QString& day, const QString& client, const QString& title, int qte, double pu) {
  AddRow("Disto.DB", {QDate::fromString(day, "dd/MM/yyyy"), client, title, qte, pu});
}

QStringList TakingsTest::Rows(const QString& sql) {
  TQuery q;
  q.SetDatabaseName(DataPath);
  q.SQL.SetText(sql);
  q.Open();
  QStringList out;
  for (const auto& row : q.ReadRows(0, q.RecordCount())) {
    QStringList cells;
    for (const QVariant& v : row) cells << (v.isNull() ? QString() : v.toString());
    out << cells.join('|');
  }
  q.Close();
  return out;
}

QStringList TakingsTest::Day(const QString& day) {
  const QDate d = QDate::fromString(day, "dd/MM/yyyy");
  return Rows(QString("SELECT ID_CLIENT, ID_TITRE, QTE_PRISE, PU FROM DISTO WHERE DATEJ='%1/%2/%3' "
                      "ORDER BY ID_CLIENT, ID_TITRE")
                  .arg(d.month())
                  .arg(d.day())
                  .arg(d.year()));
}

void TakingsTest::Exec(const QString& sql) {
  TQuery q;
  q.SetDatabaseName(DataPath);
  q.SQL.SetText(sql);
  q.ExecSQL();
}

void TakingsTest::Activate(QWidget* w) {
  w->show();
  QApplication::setActiveWindow(w);
  w->activateWindow();
  QApplication::processEvents();
}

void TakingsTest::Type(const QString& text) {
  for (QChar c : text) {
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    QTest::keyClick(w, c.toLatin1());
  }
}

void TakingsTest::Press(Qt::Key key, Qt::KeyboardModifiers mods) {
  QWidget* w = QApplication::focusWidget();
  ASSERT_NE(w, nullptr);
  QTest::keyClick(w, key, mods);
}

void TakingsTest::Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

void TakingsTest::ClickCell(TStringGrid* g, int c, int r) {
  const QRect rc = g->CellRect(c, r);
  ASSERT_FALSE(rc.isEmpty());
  QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, rc.center());
}

void TakingsTest::DoubleClickCell(TStringGrid* g, int c, int r) {
  const QRect rc = g->CellRect(c, r);
  ASSERT_FALSE(rc.isEmpty());
  QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, rc.center());
}

QStringList TakingsTest::GridRows(TStringGrid* g, int from, int firstCol) {
  QStringList out;
  for (int r = from; r < g->RowCount(); ++r) {
    QStringList cells;
    for (int c = firstCol; c < g->ColCount(); ++c) cells << g->Cells(c, r);
    out << cells.join('|');
  }
  return out;
}
