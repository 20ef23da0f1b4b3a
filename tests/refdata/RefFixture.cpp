#include "RefFixture.h"

#include <QDir>
#include <QFile>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/ui/DBGrids.h"
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
  std::vector<std::pair<const char*, const char*>> indexes;  // name ("" = primary), fields
};

const std::vector<TableSpec>& Specs() {
  static const std::vector<TableSpec> specs = {
      {"Region.db", {{"Id", ftString, 2}, {"Libelle", ftString, 30}}, {{"", "Id"}, {"iLibelle", "Libelle"}}},
      {"Site.DB", {{"Id", ftString, 1}, {"Libelle", ftString, 30}}, {{"", "Id"}, {"iLibelle", "Libelle"}}},
      {"IMPRIMERIE.DB", {{"Id", ftString, 1}, {"Libelle", ftString, 30}}, {{"", "Id"}, {"iLibelle", "Libelle"}}},
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
      {"TLISTE.DB",
       {{"NoListe", ftSmallint, 0}, {"Nord", ftSmallint, 0}, {"ID_Region", ftString, 2}, {"ID_Titre", ftString, 4},
        {"TitreListe", ftString, 20}},
       {}},
  };
  return specs;
}
}  // namespace

RefDataTest::RefDataTest() {
  AppPath = dir.Path();
  DataPath = dir.Path() + "Data/";
  QDir().mkpath(DataPath);
  CurrentListNo = 1;
  for (const TableSpec& s : Specs()) {
    TTable t;
    t.SetDatabaseName(DataPath);
    t.SetTableName(s.file);
    for (const FieldSpec& f : s.fields) t.FieldDefs.Add(f.name, f.type, f.size);
    for (const auto& [name, fields] : s.indexes)
      t.IndexDefs.Add(name, fields, QString(name).isEmpty() ? (ixPrimary | ixUnique) : 0);
    t.CreateTable();
  }
}

RefDataTest::~RefDataTest() = default;

void RefDataTest::AddRow(const QString& table, const QList<QVariant>& values) {
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

QStringList RefDataTest::Rows(const QString& sql) {
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

int RefDataTest::Count(const QString& sql) { return Rows(sql).size(); }

void RefDataTest::Activate(QWidget* w) {
  w->show();
  QApplication::setActiveWindow(w);
  w->activateWindow();
  QApplication::processEvents();
}

QWidget* RefDataTest::Focused(QWidget* window) { return window->focusWidget(); }

void RefDataTest::Type(const QString& text) {
  for (QChar c : text) {
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    QTest::keyClick(w, c.toLatin1());
  }
}

void RefDataTest::Press(Qt::Key key, Qt::KeyboardModifiers mods) {
  QWidget* w = QApplication::focusWidget();
  ASSERT_NE(w, nullptr);
  QTest::keyClick(w, key, mods);
}

void RefDataTest::Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

void RefDataTest::CtrlClickRows(TDBGrid* grid, const std::vector<int>& recs) {
  for (int rec : recs) {
    const QRect r = grid->CellRect(0, rec);
    ASSERT_FALSE(r.isEmpty());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
  }
}

ReadOnlyFolder::ReadOnlyFolder(const QString& folder) : folder_(folder) {
  __user_cap_header_struct h{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct d[2]{};
  if (syscall(SYS_capget, &h, d) == 0) {
    for (int i = 0; i < 2; ++i) {
      savedCaps_[3 * i] = d[i].effective;
      savedCaps_[3 * i + 1] = d[i].permitted;
      savedCaps_[3 * i + 2] = d[i].inheritable;
    }
    d[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
    capsDropped_ = syscall(SYS_capset, &h, d) == 0;
  }
  for (const QString& n : QDir(folder_).entryList(QDir::Files | QDir::Hidden))
    QFile::setPermissions(folder_ + n, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
}

ReadOnlyFolder::~ReadOnlyFolder() {
  if (capsDropped_) {
    __user_cap_header_struct h{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct d[2]{};
    for (int i = 0; i < 2; ++i) {
      d[i].effective = savedCaps_[3 * i];
      d[i].permitted = savedCaps_[3 * i + 1];
      d[i].inheritable = savedCaps_[3 * i + 2];
    }
    syscall(SYS_capset, &h, d);
  }
  QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                     QFile::ExeGroup);
  for (const QString& n : QDir(folder_).entryList(QDir::Files | QDir::Hidden))
    QFile::setPermissions(folder_ + n, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
}
