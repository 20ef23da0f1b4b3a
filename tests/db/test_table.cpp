// Tables as the windows use them: fields, navigation, Locate, filters, editing, cursors, locks.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/wait.h>
#include <unistd.h>

#include "DbTestUtil.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "support/TestSupport.h"

namespace {

class Tables : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Dbi::CreateTable(dir.Path(), ClientDesc()), DBIERR_NONE);
    ASSERT_EQ(Dbi::CreateTable(dir.Path(), DistoDesc()), DBIERR_NONE);
  }
  void Open(TTable& t, const QString& name) {
    t.BeforeOpen = [this](TDataSet& ds) { static_cast<TTable&>(ds).SetDatabaseName(dir.Path()); };
    t.SetTableName(name);
    t.Open();
  }
  void AddClient(TTable& t, const QString& id, int ord, const QString& nom, const QString& region) {
    t.Append();
    t.FieldByName("Id")->AsString = id;
    t.FieldByName("Ord")->AsInteger = ord;
    t.FieldByName("Nom")->AsString = nom;
    t.FieldByName("Region")->AsString = region;
    t.Post();
  }
  void AddTaking(TTable& t, QDate d, const QString& c, const QString& ti, int q) {
    t.Append();
    t.FieldByName("DateJ")->AsDate = d;
    t.FieldByName("Id_Client")->AsString = c;
    t.FieldByName("Id_Titre")->AsString = ti;
    t.FieldByName("Qte_Prise")->AsInteger = q;
    t.FieldByName("PU")->AsCurrency = Currency::FromRaw(12345);
    t.Post();
  }
  QStringList Ids(TTable& t, const char* field = "Id") {
    QStringList l;
    t.First();
    while (!t.Eof()) {
      l << t.FieldByName(field)->AsString;
      t.Next();
    }
    return l;
  }
  TempDir dir;
};

TEST_F(Tables, EveryFieldTypeRoundTripsWithNullsAndLimits) {
  TTable t("T");
  t.SetDatabaseName(dir.Path());
  t.SetTableName("ALLTYPES");
  t.FieldDefs.Add("S", ftString, 10);
  t.FieldDefs.Add("I16", ftSmallint);
  t.FieldDefs.Add("I32", ftInteger);
  t.FieldDefs.Add("L", ftBoolean);
  t.FieldDefs.Add("F", ftFloat);
  t.FieldDefs.Add("M", ftCurrency);
  t.FieldDefs.Add("D", ftDate);
  t.FieldDefs.Add("N", ftAutoInc);
  t.IndexDefs.Add("", "N", ixPrimary);
  t.CreateTable();
  EXPECT_TRUE(QFile::exists(dir.File("ALLTYPES.DB")));
  t.Open();
  t.Append();
  t.FieldByName("s")->AsString = "ABCDEFGHIJKLMN";  // cut to 10
  t.FieldByName("I16")->AsInteger = -32768;
  t.FieldByName("I32")->AsInteger = 2147483647;
  t.FieldByName("L")->AsBoolean = true;
  t.FieldByName("F")->AsFloat = 1.5;
  t.FieldByName("M")->AsCurrency = Currency::FromRaw(12345678);
  t.FieldByName("D")->AsDate = QDate(2024, 2, 29);
  EXPECT_EQ(t.FieldByName("S")->AsString(), "ABCDEFGHIJ");
  EXPECT_EQ(CodeOf([&] { t.FieldByName("I16")->AsInteger = 32768; }), DBIERR_OUTOFRANGE);
  EXPECT_EQ(CodeOf([&] { t.FieldByName("I32")->AsFloat = 2147483648.0; }), DBIERR_OUTOFRANGE);
  EXPECT_THROW(t.FieldByName("I32")->AsString = "12a", EConvertError);
  EXPECT_THROW(t.FieldByName("N")->AsInteger = 5, EDatabaseError);  // auto-increment is the engine's
  EXPECT_EQ(t.FieldByName("I16")->AsInteger(), -32768);
  t.Post();
  t.Append();
  t.FieldByName("I16")->AsInteger = 32767;
  t.FieldByName("I32")->AsInteger = -2147483647 - 1;
  t.FieldByName("S")->AsString = "";
  t.Post();
  t.Close();

  EXPECT_EQ(RawSql(dir.File("ALLTYPES.DB"), "SELECT S, I16, I32, L, F, M, D, N FROM ALLTYPES ORDER BY N"),
            QStringList({"ABCDEFGHIJ|-32768|2147483647|1|1.5|1234.5678|2024-02-29|1",
                         "NULL|32767|-2147483648|NULL|NULL|NULL|NULL|2"}));
  int32_t counter = 0;
  ASSERT_TRUE(Dbi::ReadAutoIncCounter(dir.Path(), "ALLTYPES", counter));
  EXPECT_EQ(counter, 2);

  t.Open();
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_EQ(t.FieldByName("S")->AsString(), "ABCDEFGHIJ");
  EXPECT_EQ(t.FieldByName("I16")->AsInteger(), -32768);
  EXPECT_EQ(t.FieldByName("I32")->AsInteger(), 2147483647);
  EXPECT_TRUE(t.FieldByName("L")->AsBoolean());
  EXPECT_EQ(t.FieldByName("F")->AsFloat(), 1.5);
  EXPECT_EQ(t.FieldByName("M")->AsCurrency().Raw(), 12345678);
  EXPECT_EQ(t.FieldByName("M")->AsString(), "1234.5678");
  EXPECT_EQ(t.FieldByName("M")->DisplayText(), "1 234.57");
  EXPECT_EQ(t.FieldByName("D")->AsDate(), QDate(2024, 2, 29));
  EXPECT_EQ(t.FieldByName("D")->AsString(), "29/02/2024");
  EXPECT_EQ(t.FieldByName("N")->AsInteger(), 1);
  EXPECT_EQ(t.FieldByName("S")->DataType(), ftString);
  EXPECT_EQ(t.FieldByName("S")->Size(), 10);
  EXPECT_EQ(t.FieldByName("M")->DataType(), ftCurrency);
  t.Next();
  for (const char* n : {"S", "L", "F", "M", "D"}) EXPECT_TRUE(t.FieldByName(n)->IsNull()) << n;
  EXPECT_EQ(t.FieldByName("S")->AsString(), "");
  EXPECT_EQ(t.FieldByName("M")->AsCurrency().Raw(), 0);
  EXPECT_FALSE(t.FieldByName("D")->AsDate().isValid());
  EXPECT_EQ(t.FieldByName("I32")->AsInteger(), -2147483647 - 1);
  // Setting a field outside edit mode is refused.
  EXPECT_THROW(t.FieldByName("S")->AsString = "x", EDatabaseError);
  EXPECT_THROW(t.FieldByName("Nope"), EDatabaseError);
  t.Edit();
  t.FieldByName("F")->Value = QVariant("2.25");
  t.FieldByName("D")->AsString = "01/01/2000";
  t.FieldByName("L")->Clear();
  t.Post();
  t.Close();
  EXPECT_EQ(RawSql(dir.File("ALLTYPES.DB"), "SELECT F, D, L FROM ALLTYPES WHERE N=2"), QStringList({"2.25|2000-01-01|NULL"}));
}

TEST_F(Tables, NavigatesInIndexOrderAcrossPages) {
  TTable c("Client");
  Open(c, "Client.DB");
  {
    TDbTransaction tx(c);
    for (int i = 200; i >= 1; --i)
      AddClient(c, QString("%1").arg(i, 4, 10, QChar('0')), 201 - i, i % 2 ? QString("nom%1").arg(i, 3, 10, QChar('0')) : QString("NOM%1").arg(i, 3, 10, QChar('0')), QString("%1").arg(i % 3, 2, 10, QChar('0')));
    tx.Commit();
  }
  EXPECT_EQ(c.RecordCount(), 200);
  QStringList ids = Ids(c);
  ASSERT_EQ(ids.size(), 200);
  EXPECT_EQ(ids.front(), "0001");
  EXPECT_EQ(ids.back(), "0200");
  EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
  EXPECT_TRUE(c.Eof());
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0200");  // Next at the end stays on the last record
  // Backwards.
  c.Last();
  QStringList back;
  while (!c.Bof()) {
    back << c.FieldByName("Id")->AsString;
    c.Prior();
  }
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(back, ids);
  // A case-insensitive index orders NOM and nom together.
  c.SetIndexName("iNom");
  QStringList noms = Ids(c, "Nom");
  EXPECT_EQ(noms.mid(0, 3), QStringList({"nom001", "NOM002", "nom003"}));
  // Order on two fields, then position numbers.
  c.SetIndexFieldNames("REGION;ORD");
  c.First();
  EXPECT_EQ(c.FieldByName("Region")->AsString(), "00");
  EXPECT_EQ(c.RecNo(), 1);
  c.MoveBy(70);
  EXPECT_EQ(c.RecNo(), 71);
  EXPECT_EQ(c.FieldByName("Region")->AsString(), "01");
  c.SetRecNo(150);
  EXPECT_EQ(c.RecNo(), 150);
  auto rows = c.ReadRows(0, 3);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][7].toString(), "00");
  // Switching the index keeps the current record.
  const QString cur = c.FieldByName("Id")->AsString;
  c.SetIndexName("");
  EXPECT_EQ(c.FieldByName("Id")->AsString(), cur);
  c.Next();
  EXPECT_EQ(c.FieldByName("Id")->AsString(), QString("%1").arg(cur.toInt() + 1, 4, 10, QChar('0')));
  EXPECT_EQ(CodeOf([&] { c.SetIndexName("iNothing"); }), DBIERR_NOSUCHINDEX);
}

// A long walk through a filter, both ways, while another cursor writes ahead of it and behind it:
// every row once, in order, as the writes ahead of it left them.
TEST_F(Tables, ALongWalkSeesEveryRowOnceAndTheWritesAheadOfIt) {
  TTable d("Disto"), other("Disto2");
  Open(d, "Disto.DB");
  Open(other, "Disto.DB");
  {
    TDbTransaction tx(d);
    for (int i = 0; i < 3000; ++i) AddTaking(d, QDate(2005, 3, 1 + i % 2), QString("%1").arg(i / 2, 4, 10, QChar('0')), "0001", i / 2);
    tx.Commit();
  }
  auto at = [&](const char* client) {
    return other.Locate("DATEJ;ID_CLIENT;ID_TITRE", {QDate(2005, 3, 1), QString(client), QString("0001")});
  };
  d.SetFilter("DATEJ = '01/03/2005'");
  d.SetFiltered(true);
  QStringList seen;
  for (d.First(); !d.Eof(); d.Next()) {
    seen << QString::number(d.FieldByName("Qte_Prise")->AsInteger());
    if (seen.size() == 700) {
      ASSERT_TRUE(at("0800"));  // in the rows already read ahead
      other.Edit();
      other.FieldByName("Qte_Prise")->AsInteger = -1;
      other.Post();
      ASSERT_TRUE(at("1300"));
      other.Delete();
      AddTaking(other, QDate(2005, 3, 1), "0005", "0002", 1);  // behind the walk
    }
  }
  QStringList expected;
  for (int i = 0; i < 1500; ++i)
    if (i != 1300) expected << QString::number(i == 800 ? -1 : i);
  EXPECT_EQ(seen, expected);
  QStringList back;
  for (d.Last(); !d.Bof(); d.Prior()) back << d.FieldByName("Id_Client")->AsString() + d.FieldByName("Id_Titre")->AsString();
  ASSERT_EQ(back.size(), 1500);
  EXPECT_EQ(back.front(), "14990001");
  EXPECT_EQ(back[1493], "00050002");
  EXPECT_EQ(back.back(), "00000001");
}

TEST_F(Tables, NullKeysStillNavigateInOrder) {
  TTable c("Client");
  Open(c, "CLIENT");
  AddClient(c, "0001", 1, "B", "01");
  AddClient(c, "0002", 2, "", "01");
  AddClient(c, "0003", 3, "A", "");
  AddClient(c, "0004", 4, "", "02");
  c.SetIndexName("iNom");
  EXPECT_EQ(Ids(c), QStringList({"0002", "0004", "0003", "0001"}));
  c.Last();
  QStringList back;
  while (!c.Bof()) {
    back << c.FieldByName("Id")->AsString;
    c.Prior();
  }
  EXPECT_EQ(back, QStringList({"0001", "0003", "0004", "0002"}));
  c.SetIndexFieldNames("Region;Ord");
  EXPECT_EQ(Ids(c), QStringList({"0003", "0001", "0002", "0004"}));
}

TEST_F(Tables, LocateOnSeveralFieldsDatesPartialAndCase) {
  TTable d("Disto"), c("Client");
  Open(d, "Disto.db");
  Open(c, "client");
  const QDate day(2005, 3, 7);
  AddTaking(d, day, "0001", "0002", 5);
  AddTaking(d, day, "0002", "0002", 6);
  AddTaking(d, day.addDays(1), "0001", "0002", 7);
  AddClient(c, "0001", 1, "Dupont", "01");
  AddClient(c, "0002", 2, "DURAND", "01");
  AddClient(c, "0003", 3, "Martin", "02");

  d.First();
  EXPECT_TRUE(d.Locate("DATEJ;ID_CLIENT;ID_TITRE", {day, "0002", "0002"}));
  EXPECT_EQ(d.FieldByName("Qte_Prise")->AsInteger(), 6);
  // A date given as text, as the windows pass the text of a date box.
  EXPECT_TRUE(d.Locate("DateJ;Id_Client;Id_Titre", {QString("08/03/2005"), "0001", "0002"}));
  EXPECT_EQ(d.FieldByName("Qte_Prise")->AsInteger(), 7);
  // Not found: the cursor stays where it was.
  EXPECT_FALSE(d.Locate("DATEJ;ID_CLIENT;ID_TITRE", {day, "0009", "0002"}));
  EXPECT_EQ(d.FieldByName("Qte_Prise")->AsInteger(), 7);
  EXPECT_FALSE(d.Locate("DATEJ;ID_CLIENT", {QString("not a date"), "0001"}));
  EXPECT_EQ(d.FieldByName("Qte_Prise")->AsInteger(), 7);
  EXPECT_THROW(d.Locate("DATEJ;ID_CLIENT", {day}), EDatabaseError);

  EXPECT_FALSE(c.Locate("Nom", "durand"));
  EXPECT_TRUE(c.Locate("Nom", "durand", loCaseInsensitive));
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0002");
  EXPECT_TRUE(c.Locate("Nom", "Du", loPartialKey));
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0001");  // the first in the current order
  EXPECT_FALSE(c.Locate("Nom", "mar", loPartialKey));
  EXPECT_TRUE(c.Locate("Nom", "mar", loPartialKey | loCaseInsensitive));
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0003");
  AddClient(c, "0004", 4, "Émile Ève", "03");
  EXPECT_TRUE(c.Locate("Nom", "ÉMILE ÈVE", loCaseInsensitive));
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0004");
  EXPECT_TRUE(c.Locate("Nom", "émile", loCaseInsensitive | loPartialKey));
  EXPECT_FALSE(c.Locate("Nom", "émile", loPartialKey));
  EXPECT_TRUE(c.Locate("REGION;ORD", {"01", 2}));
  EXPECT_EQ(c.FieldByName("Nom")->AsString(), "DURAND");
  EXPECT_TRUE(c.Locate("Fax", QVariant()));  // an empty field
}

TEST_F(Tables, FiltersWithDatesAndCallbacks) {
  TTable d("Disto"), c("Client");
  Open(d, "Disto.db");
  Open(c, "CLIENT.DB");
  for (int i = 0; i < 40; ++i) AddTaking(d, QDate(2005, 2, 20).addDays(i), i % 2 ? "0001" : "0002", "0001", i);
  AddClient(c, "0001", 1, "A", "01");
  AddClient(c, "0002", 2, "B", "02");
  AddClient(c, "0003", 3, "C", "01");
  AddClient(c, "0004", 4, "D", "");

  d.SetFilter("(DATEJ>='01/03/2005') and (DATEJ<='31/03/2005') and (ID_CLIENT='0001')");
  d.SetFiltered(true);
  EXPECT_EQ(d.RecordCount(), 16);
  d.First();
  EXPECT_EQ(d.FieldByName("DateJ")->AsDate(), QDate(2005, 3, 1));
  EXPECT_FALSE(d.Locate("DATEJ;ID_CLIENT;ID_TITRE", {QDate(2005, 3, 2), "0002", "0001"}));  // filtered out
  EXPECT_EQ(d.FieldByName("DateJ")->AsDate(), QDate(2005, 3, 1));
  d.SetFilter("(DATEJ='07/03/2005')");
  EXPECT_EQ(d.RecordCount(), 1);
  EXPECT_EQ(d.FieldByName("Qte_Prise")->AsInteger(), 15);
  d.SetFiltered(false);
  EXPECT_EQ(d.RecordCount(), 40);

  c.SetFilter("(REGION='01')");
  c.SetFiltered(true);
  EXPECT_EQ(Ids(c), QStringList({"0001", "0003"}));
  c.SetFilter("REGION <> '01'");
  EXPECT_EQ(Ids(c), QStringList({"0002", "0004"}));
  c.SetFilter("(Region = '02' or Ord >= 3) and not (Nom = 'D')");
  EXPECT_EQ(Ids(c), QStringList({"0002", "0003"}));
  c.SetFilter("REGION = ''");
  EXPECT_EQ(Ids(c), QStringList({"0004"}));
  EXPECT_THROW(c.SetFilter("(REGION='01'"), EDatabaseError);
  EXPECT_THROW(c.SetFilter("NOPE='1'"), EDatabaseError);
  EXPECT_EQ(Ids(c), QStringList({"0004"}));  // the previous filter stays
  c.SetFilter("");
  c.OnFilterRecord = [](TDataSet& ds, bool& accept) { accept = ds.FieldByName("Ord")->AsInteger() % 2 == 0; };
  c.SetFiltered(false);
  c.SetFiltered(true);
  EXPECT_EQ(Ids(c), QStringList({"0002", "0004"}));
  EXPECT_EQ(c.RecordCount(), 2);
  EXPECT_FALSE(c.Locate("Id", "0003"));
  EXPECT_TRUE(c.Locate("Id", "0004"));
  c.Last();
  c.Prior();
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0002");
}

TEST_F(Tables, AbortInBeforePostKeepsTheRecordInEdit) {
  TTable c("Client");
  Open(c, "CLIENT");
  AddClient(c, "0001", 1, "A", "01");
  c.BeforePost = [](TDataSet& ds) {
    if (ds.FieldByName("Nom")->AsString().isEmpty()) Abort();
  };
  c.Append();
  c.FieldByName("Id")->AsString = "0002";
  EXPECT_THROW(c.Post(), EAbort);
  EXPECT_EQ(c.State(), dsInsert);
  c.FieldByName("Nom")->AsString = "B";
  c.Post();
  EXPECT_EQ(c.State(), dsBrowse);
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0002");
  c.Edit();
  c.FieldByName("Nom")->Clear();
  EXPECT_THROW(c.Next(), EAbort);  // the implicit post is refused the same way
  EXPECT_EQ(c.State(), dsEdit);
  c.Cancel();
  EXPECT_EQ(c.FieldByName("Nom")->AsString(), "B");
  EXPECT_EQ(RawSql(dir.File("CLIENT.DB"), "SELECT count(*) FROM CLIENT"), QStringList({"2"}));

  c.BeforeDelete = [](TDataSet&) { Abort(); };
  EXPECT_THROW(c.Delete(), EAbort);
  EXPECT_EQ(c.RecordCount(), 2);
}

TEST_F(Tables, KeyViolationsAreEngineErrors) {
  TTable c("Client");
  Open(c, "CLIENT");
  AddClient(c, "0001", 1, "A", "01");
  c.Append();
  c.FieldByName("Id")->AsString = "0001";
  try {
    c.Post();
    FAIL() << "no key violation";
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), DBIERR_KEYVIOL);
    // In French, naming the table.
    EXPECT_TRUE(e.Message().startsWith("Violation de clé.")) << e.Message().toStdString();
    EXPECT_TRUE(e.Message().contains("Table : ") && e.Message().contains("CLIENT.DB")) << e.Message().toStdString();
  }
  EXPECT_EQ(c.State(), dsInsert);
  c.Cancel();
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0001");
  AddClient(c, "0002", 2, "B", "01");
  c.Edit();
  c.FieldByName("Id")->AsString = "0001";
  EXPECT_EQ(CodeOf([&] { c.Post(); }), DBIERR_KEYVIOL);
  c.Cancel();
  EXPECT_EQ(Ids(c), QStringList({"0001", "0002"}));

  // A blank key is a key: one row may have it, a second is a duplicate, on insert and on edit.
  c.Append();
  c.FieldByName("Nom")->AsString = "SANS CODE";
  c.Post();
  c.Append();
  EXPECT_EQ(CodeOf([&] { c.Post(); }), DBIERR_KEYVIOL);
  c.Cancel();
  c.Last();  // 0002 (the blank key sorts first)
  c.Edit();
  c.FieldByName("Id")->Clear();
  EXPECT_EQ(CodeOf([&] { c.Post(); }), DBIERR_KEYVIOL);
  c.Cancel();
  EXPECT_EQ(c.RecordCount(), 3);
}

TEST_F(Tables, TwoCursorsOnOneFileSeeEachOthersPosts) {
  TTable disto("Disto"), lkp("lkpDisto");
  Open(disto, "Disto.db");
  Open(lkp, "DISTO");
  const QDate day(2006, 1, 2);
  AddTaking(disto, day, "0001", "0001", 1);
  lkp.First();
  EXPECT_EQ(lkp.RecordCount(), 1);
  AddTaking(disto, day, "0001", "0002", 2);
  AddTaking(disto, day, "0001", "0003", 3);
  EXPECT_TRUE(lkp.Locate("DATEJ;ID_CLIENT;ID_TITRE", {day, "0001", "0003"}));
  lkp.First();
  lkp.Next();
  EXPECT_EQ(lkp.FieldByName("Id_Titre")->AsString(), "0002");  // the new row shows in the walk
  disto.First();
  disto.Edit();
  disto.FieldByName("Qte_Prise")->AsInteger = 10;
  disto.Post();
  lkp.First();
  EXPECT_EQ(lkp.FieldByName("Qte_Prise")->AsInteger(), 10);
  // The same Locate again after the other cursor changed the row reads the new value.
  ASSERT_TRUE(lkp.Locate("DATEJ;ID_CLIENT;ID_TITRE", {day, "0001", "0003"}));
  EXPECT_EQ(lkp.FieldByName("Qte_Prise")->AsInteger(), 3);
  disto.Locate("DATEJ;ID_CLIENT;ID_TITRE", {day, "0001", "0003"});
  disto.Edit();
  disto.FieldByName("Qte_Prise")->AsInteger = 30;
  disto.Post();
  ASSERT_TRUE(lkp.Locate("DATEJ;ID_CLIENT;ID_TITRE", {day, "0001", "0003"}));
  EXPECT_EQ(lkp.FieldByName("Qte_Prise")->AsInteger(), 30);
  // A record deleted through one cursor: the other moves on when refreshed, or refuses to edit it.
  lkp.Locate("ID_TITRE", "0002");
  disto.Locate("ID_TITRE", "0002");
  disto.Delete();
  EXPECT_EQ(disto.FieldByName("Id_Titre")->AsString(), "0003");
  EXPECT_EQ(CodeOf([&] { lkp.Edit(); }), DBIERR_KEYDELETED);
  EXPECT_EQ(lkp.State(), dsBrowse);
  EXPECT_EQ(lkp.FieldByName("Id_Titre")->AsString(), "0003");
}

TEST_F(Tables, ImplicitPostBookmarksAndDelete) {
  TTable c("Client");
  Open(c, "CLIENT");
  for (int i = 1; i <= 5; ++i) AddClient(c, QString("000%1").arg(i), i, QString("N%1").arg(i), "01");
  c.First();
  c.Edit();
  c.FieldByName("Nom")->AsString = "CHANGED";
  c.Next();  // posts first
  EXPECT_EQ(c.State(), dsBrowse);
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0002");
  EXPECT_EQ(RawSql(dir.File("CLIENT.DB"), "SELECT Nom FROM CLIENT WHERE Id='0001'"), QStringList({"CHANGED"}));
  // An insert nothing was typed into is dropped by a move.
  c.Append();
  c.First();
  EXPECT_EQ(c.RecordCount(), 5);

  c.Locate("Id", "0003");
  TBookmark bm = c.GetBookmark();
  c.Last();
  c.GotoBookmark(bm);
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0003");
  c.Delete();
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0004");
  EXPECT_FALSE(c.BookmarkValid(bm));
  EXPECT_EQ(CodeOf([&] { c.GotoBookmark(bm); }), DBIERR_KEYDELETED);
  c.Last();
  c.Delete();
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0004");
  EXPECT_TRUE(c.Eof());
  // Insert then Cancel comes back to the record that was current.
  c.First();
  c.Next();
  c.Insert();
  c.FieldByName("Id")->AsString = "0009";
  c.Cancel();
  EXPECT_EQ(c.FieldByName("Id")->AsString(), "0002");
  c.EmptyTable();
  EXPECT_TRUE(c.IsEmpty());
  EXPECT_EQ(c.RecordCount(), 0);
}

class Recorder : public TDataLink {
 public:
  QStringList events;
  void ActiveChanged() override { events << "active"; }
  void StateChanged() override { events << "state"; }
  void DataSetChanged() override { events << "changed"; }
  void DataSetScrolled(int) override { events << "scrolled"; }
  void RecordChanged(TField* f) override { events << (f ? "field:" + f->FieldName() : QString("record")); }
};

TEST_F(Tables, LinksHearChangesUnlessControlsAreDisabled) {
  TTable c("Client");
  Recorder r;
  r.SetDataSet(&c);
  QStringList states;
  c.OnStateChange = [&](TDataSet& ds) { states << QString::number(ds.State()); };
  Open(c, "CLIENT");
  EXPECT_TRUE(r.events.contains("active"));
  r.events.clear();
  AddClient(c, "0001", 1, "A", "01");
  EXPECT_TRUE(r.events.contains("field:Nom"));
  EXPECT_EQ(states.mid(1), QStringList({"3", "1"}));  // insert, browse
  r.events.clear();
  c.DisableControls();
  AddClient(c, "0002", 2, "B", "01");
  c.First();
  EXPECT_TRUE(c.ControlsDisabled());
  EXPECT_TRUE(r.events.isEmpty());
  c.EnableControls();
  EXPECT_EQ(r.events, QStringList({"changed"}));
  {
    TTable gone("x");
    Recorder r2;
    r2.SetDataSet(&gone);
  }
  Recorder* r3 = new Recorder;
  {
    TTable gone("y");
    r3->SetDataSet(&gone);
  }
  EXPECT_EQ(r3->DataSet(), nullptr);
  delete r3;
}

TEST_F(Tables, ExclusiveOpensFailWhileInUseHereOrElsewhere) {
  TTable a("a"), b("b");
  Open(a, "CLIENT");
  b.SetExclusive(true);
  EXPECT_EQ(CodeOf([&] { Open(b, "CLIENT"); }), DBIERR_FILEBUSY);
  EXPECT_FALSE(b.Active());
  a.Close();
  Open(b, "CLIENT");
  TTable c("c");
  EXPECT_EQ(CodeOf([&] { Open(c, "CLIENT"); }), DBIERR_FILEBUSY);
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "CLIENT", false), DBIERR_FILEBUSY);
  b.Close();

  // Another process holds the table: an exclusive open fails, a shared one works.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    try {
      TTable t("child");
      t.SetDatabaseName(dir.Path());
      t.SetTableName("CLIENT");
      t.Open();
      char ok = 'o';
      (void)!write(fds[1], &ok, 1);
      sleep(3);
    } catch (...) {
    }
    _exit(0);
  }
  close(fds[1]);
  char got = 0;
  ASSERT_EQ(read(fds[0], &got, 1), 1);
  TTable e("e");
  e.SetExclusive(true);
  EXPECT_EQ(CodeOf([&] { Open(e, "CLIENT"); }), DBIERR_FILEBUSY);
  TTable s("s");
  Open(s, "CLIENT");
  s.Close();
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(fds[0]);
  Open(e, "CLIENT");
  EXPECT_TRUE(e.Active());
}

TEST_F(Tables, TransactionStoresManyRowsAtOnceAndSinglePostsAreDurable) {
  TTable d("Disto"), lkp("lkp");
  Open(d, "Disto.db");
  Open(lkp, "Disto.db");
  const QString path = dir.File("Disto.DB");
  AddTaking(d, QDate(2005, 1, 1), "0001", "0001", 1);
  // Outside a transaction a post is on disk at once: another connection sees it.
  EXPECT_EQ(RawSql(path, "SELECT count(*) FROM Disto"), QStringList({"1"}));
  {
    TDbTransaction tx(dir.Path());
    for (int i = 2; i <= 50; ++i) {
      AddTaking(d, QDate(2005, 1, 1), "0001", QString("%1").arg(i, 4, 10, QChar('0')), i);
      DbiSaveChanges(d);
    }
    // Inside, every cursor of the program sees the rows; outside the program nothing yet.
    EXPECT_TRUE(lkp.Locate("DATEJ;ID_CLIENT;ID_TITRE", {QDate(2005, 1, 1), "0001", "0050"}));
    lkp.Edit();
    lkp.FieldByName("Qte_Prise")->AsInteger = 500;
    lkp.Post();
    tx.Commit();
  }
  EXPECT_EQ(RawSql(path, "SELECT count(*), sum(Qte_Prise) FROM Disto"), QStringList({"50|1725"}));
  // A closed table is closed in the engine too: its file can be replaced.
  d.Close();
  lkp.Close();
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "Disto", true), DBIERR_NONE);
}

TEST_F(Tables, CrashJournalIsRolledBackOnFirstOpen) {
  {
    TTable d("Disto");
    Open(d, "Disto.db");
    for (int i = 1; i <= 3; ++i) AddTaking(d, QDate(2005, 1, i), "0001", "0001", i);
  }
  const QString path = dir.File("Disto.DB");
  pid_t pid = fork();
  if (pid == 0) {
    // A writer that dies in the middle of a large transaction, after pages reached the file.
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA cache_size=1; BEGIN; UPDATE Disto SET Qte_Prise = 99;"
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i < 5000)"
                     " INSERT INTO Disto(DateJ, Id_Client, Id_Titre, Qte_Prise) SELECT '2010-01-01', printf('%04d', i), 'X', i FROM n;",
                 nullptr, nullptr, nullptr);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(QFile::exists(path + "-journal"));
  TTable d("Disto");
  Open(d, "Disto.db");
  EXPECT_EQ(d.RecordCount(), 3);
  EXPECT_EQ(d.FieldByName("Qte_Prise")->AsInteger(), 1);
  EXPECT_FALSE(QFile::exists(path + "-journal"));
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "Disto", false), DBIERR_NONE);
}

TEST_F(Tables, MasterDetailFollowsTheMaster) {
  TTable c("Client"), d("Disto");
  Open(c, "CLIENT");
  AddClient(c, "0001", 1, "A", "01");
  AddClient(c, "0002", 2, "B", "01");
  Open(d, "Disto.db");
  AddTaking(d, QDate(2005, 1, 1), "0001", "0001", 1);
  AddTaking(d, QDate(2005, 1, 1), "0002", "0001", 2);
  AddTaking(d, QDate(2005, 1, 2), "0002", "0001", 3);
  TTable t("detail");
  t.SetIndexFieldNames("Id_Client");
  Open(t, "Disto.db");
  t.SetMasterSource(&c, "Id");
  c.First();
  EXPECT_EQ(t.RecordCount(), 1);
  c.Next();
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_EQ(t.FieldByName("Qte_Prise")->AsInteger(), 2);
}

TEST_F(Tables, MissingTableAndNotATable) {
  TTable t("x");
  EXPECT_EQ(CodeOf([&] { Open(t, "NOPE.DB"); }), DBIERR_NOSUCHTABLE);
  EXPECT_FALSE(t.Active());
  TTable u("Client");
  u.SetDatabaseName(dir.Path());
  u.SetTableName("client.db");
  EXPECT_TRUE(u.Exists());
  EXPECT_EQ(u.FilePath(), dir.Path() + "CLIENT.DB");
}

}  // namespace

namespace {

TEST(TableOrder, DescendingIndexWithEmptyKeysBothWays) {
  TempDir dir;
  TTable t("T");
  t.SetDatabaseName(dir.Path());
  t.SetTableName("D.DB");
  t.FieldDefs.Add("K", ftInteger);
  t.FieldDefs.Add("S", ftString, 5);
  t.IndexDefs.Add("iDesc", "K;S", ixDescending);
  t.CreateTable();
  t.SetIndexName("iDesc");
  t.Open();
  const std::vector<std::pair<QVariant, QString>> rows = {{3, "a"}, {QVariant(), "b"}, {1, ""}, {3, ""}, {2, "c"}, {QVariant(), ""}, {3, "b"}};
  for (auto& [k, s] : rows) {
    t.Append();
    t.FieldByName("K")->Value = k;
    t.FieldByName("S")->AsString = s;
    t.Post();
  }
  QStringList fwd, back;
  for (t.First(); !t.Eof(); t.Next()) fwd << t.FieldByName("K")->AsString() + "/" + t.FieldByName("S")->AsString();
  for (t.Last(); !t.Bof(); t.Prior()) back << t.FieldByName("K")->AsString() + "/" + t.FieldByName("S")->AsString();
  EXPECT_EQ(fwd, QStringList({"3/b", "3/a", "3/", "2/c", "1/", "/b", "/"}));
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(back, fwd);
  EXPECT_EQ(t.RecordCount(), 7);
  t.Locate("K;S", {2, "c"});
  EXPECT_EQ(t.RecNo(), 4);
  t.MoveBy(-2);
  EXPECT_EQ(t.FieldByName("S")->AsString(), "a");
  EXPECT_EQ(t.MoveBy(10), 5);
  EXPECT_TRUE(t.Eof());
}


TEST(TableFiles, AFileNothingUsesIsClosedAtOnceOrAtTheTransactionsEnd) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), ClientDesc()), DBIERR_NONE);
  const QString path = dir.File("CLIENT.DB");
  TTable a("a"), b("b");
  a.SetDatabaseName(dir.Path());
  a.SetTableName("CLIENT");
  b.SetDatabaseName(dir.Path());
  b.SetTableName("client.db");
  a.Open();
  b.Open();
  EXPECT_GT(OpenHandles(path), 0);
  a.Close();
  EXPECT_GT(OpenHandles(path), 0);
  b.Close();
  EXPECT_EQ(OpenHandles(path), 0);
  {
    TDbTransaction tx(dir.Path());
    a.Open();
    a.Append();
    a.FieldByName("Id")->AsString = "0001";
    a.Post();
    a.Close();
    EXPECT_GT(OpenHandles(path), 0);  // the row is not written yet
    tx.Commit();
    EXPECT_EQ(OpenHandles(path), 0);
  }
  EXPECT_EQ(RawSql(path, "SELECT Id FROM CLIENT"), QStringList({"0001"}));
  EXPECT_TRUE(QFile::remove(path));
}

}  // namespace

namespace {

// The lookups of a grid's cells run along the key: they are answered from the rows read after
// the first one, and must agree with the file whatever the order of the lookups, the gaps, the
// writes in between and the filter.
TEST_F(Tables, LookupsAlongTheKeyAgreeWithTheFile) {
  const QDate day(2025, 3, 4);
  auto code = [](int n) { return QString("%1").arg(n, 4, 10, QChar('0')); };
  auto stored = [](int c, int t) { return t % 7 != 0; };  // gaps in every client's run
  {
    TTable w("W");
    Open(w, "Disto");
    TDbTransaction tx(dir.Path());
    for (int c = 1; c <= 3; ++c)
      for (int t = 1; t <= 150; ++t)
        if (stored(c, t)) AddTaking(w, day, code(c), code(t), c * 1000 + t);
    AddTaking(w, day.addDays(1), code(1), code(1), 5);
    tx.Commit();
  }
  TTable lkp("lkp"), w("W");
  Open(lkp, "Disto");
  Open(w, "Disto");
  lkp.SetIndexFieldNames("DateJ;Id_Client;Id_Titre");
  auto qte = [&](const QDate& d, int c, int t) {
    lkp.First();
    return lkp.Locate("DATEJ;ID_CLIENT;ID_TITRE", {d, code(c), code(t)}) ? lkp.FieldByName("Qte_Prise")->AsInteger() : -1;
  };
  auto check = [&](const std::vector<std::pair<int, int>>& keys) {
    for (auto [c, t] : keys) {
      const int want = stored(c, t) && t <= 150 ? c * 1000 + t : -1;
      ASSERT_EQ(qte(day, c, t), want) << c << "/" << t;
    }
  };
  std::vector<std::pair<int, int>> forward, backward, jumping;
  for (int c = 1; c <= 3; ++c)
    for (int t = 1; t <= 160; ++t) forward.push_back({c, t});
  backward.assign(forward.rbegin(), forward.rend());
  for (int i = 0; i < 300; ++i) jumping.push_back({1 + (i * 7) % 3, 1 + (i * 37) % 160});
  check(forward);
  check(backward);
  check(jumping);
  check(forward);  // a run again after lookups that jumped about
  EXPECT_EQ(qte(day.addDays(1), 1, 1), 5);
  EXPECT_EQ(qte(day.addDays(1), 1, 2), -1);
  EXPECT_EQ(qte(day.addDays(-1), 1, 1), -1);

  // Written in between by another dataset on the file: seen at once.
  EXPECT_EQ(qte(day, 2, 10), 2010);
  ASSERT_TRUE(w.Locate("DATEJ;ID_CLIENT;ID_TITRE", {day, code(2), code(11)}));
  w.Edit();
  w.FieldByName("Qte_Prise")->AsInteger = 77;
  w.Post();
  AddTaking(w, day, code(2), code(14), 88);
  EXPECT_EQ(qte(day, 2, 11), 77);
  EXPECT_EQ(qte(day, 2, 14), 88);
  w.Delete();  // the row just added
  EXPECT_EQ(qte(day, 2, 14), -1);
  EXPECT_EQ(qte(day, 2, 12), 2012);

  // By another program: seen after a refresh.
  RawSql(dir.File("Disto.DB"), "UPDATE Disto SET Qte_Prise = 99 WHERE Id_Client = '0003' AND Id_Titre = '0005'");
  lkp.Refresh();
  EXPECT_EQ(qte(day, 3, 5), 99);
  EXPECT_EQ(qte(day, 3, 6), 3006);

  // Through a filter: only the visible rows are found.
  lkp.SetFilter("Qte_Prise < 1050");
  lkp.SetFiltered(true);
  EXPECT_EQ(qte(day, 1, 40), 1040);
  EXPECT_EQ(qte(day, 1, 60), -1);
  EXPECT_EQ(qte(day, 2, 1), -1);
  lkp.SetFiltered(false);
  EXPECT_EQ(qte(day, 1, 60), 1060);
}

TEST_F(Tables, LookupsAlongADescendingKeyAgreeWithTheFile) {
  TTable t("T");
  t.SetDatabaseName(dir.Path());
  t.SetTableName("DESCK");
  t.FieldDefs.Add("N", ftInteger);
  t.FieldDefs.Add("S", ftString, 10);
  t.IndexDefs.Add("", "S", ixPrimary);
  t.IndexDefs.Add("iN", "N", ixDescending);
  t.CreateTable();
  t.Open();
  {
    TDbTransaction tx(dir.Path());
    for (int n = 1; n <= 200; ++n)
      if (n % 5 != 0) {
        t.Append();
        t.FieldByName("N")->AsInteger = n;
        t.FieldByName("S")->AsString = QString("s%1").arg(n);
        t.Post();
      }
    tx.Commit();
  }
  t.SetIndexName("iN");
  auto find = [&](int n) { return t.Locate("N", n) ? t.FieldByName("S")->AsString : QString(); };
  for (int n = 0; n <= 205; ++n) ASSERT_EQ(find(n), n >= 1 && n <= 200 && n % 5 ? QString("s%1").arg(n) : QString()) << n;
  for (int n = 205; n >= 0; --n) ASSERT_EQ(find(n), n >= 1 && n <= 200 && n % 5 ? QString("s%1").arg(n) : QString()) << n;
}

// Lookups that jump about are remembered, a few hundred of them: past that many the oldest are
// forgotten one by one, and every answer still agrees with the file.
TEST_F(Tables, RememberedLookupsPastTheirLimitAgreeWithTheFile) {
  TTable t("T"), w("W");
  for (TTable* x : {&t, &w}) {
    x->SetDatabaseName(dir.Path());
    x->SetTableName("MANYK");
  }
  t.FieldDefs.Add("S", ftString, 10);
  t.FieldDefs.Add("N", ftInteger);
  t.IndexDefs.Add("", "S", ixPrimary);
  t.CreateTable();
  t.Open();
  w.Open();
  const int kRows = 1300;
  auto key = [](int n) { return QString("k%1").arg(n, 5, 10, QChar('0')); };
  {
    TDbTransaction tx(dir.Path());
    for (int n = 0; n < kRows; n += 2) {  // the odd keys are missing
      t.Append();
      t.FieldByName("S")->AsString = key(n);
      t.FieldByName("N")->AsInteger = n;
      t.Post();
    }
    tx.Commit();
  }
  auto find = [&](int n) { return t.Locate("S", key(n)) ? t.FieldByName("N")->AsInteger() : -1; };
  auto checkAll = [&](int changed, int value) {
    for (int pass = 0; pass < 2; ++pass)
      for (int i = 0; i < kRows; ++i) {
        const int n = (i * 389) % kRows;  // scattered, every key once
        const int want = n % 2 ? -1 : (n == changed ? value : n);
        ASSERT_EQ(find(n), want) << n << " pass " << pass;
      }
  };
  checkAll(-1, 0);
  ASSERT_TRUE(w.Locate("S", key(600)));
  w.Edit();
  w.FieldByName("N")->AsInteger = 7;
  w.Post();
  checkAll(600, 7);
  RawSql(dir.File("MANYK.DB"), "UPDATE MANYK SET N = 9 WHERE S = 'k00600'");
  t.Refresh();
  checkAll(600, 9);
}

TEST(TableFiles, RefreshShowsWhatAnotherProgramStored) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), ClientDesc()), DBIERR_NONE);
  TTable c("Client");
  c.SetDatabaseName(dir.Path());
  c.SetTableName("CLIENT");
  c.Open();
  EXPECT_FALSE(c.Locate("Id", "0007"));
  RawSql(dir.File("CLIENT.DB"), "INSERT INTO CLIENT(Id, Nom) VALUES('0007', 'OTHER')");
  c.Refresh();
  EXPECT_TRUE(c.Locate("Id", "0007"));
  EXPECT_EQ(c.RecordCount(), 1);
}

TEST(TableFiles, PackThroughARestructureThatNamesNothingKeepsEverything) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), ClientDesc()), DBIERR_NONE);
  RawSql(dir.File("CLIENT.DB"), "INSERT INTO CLIENT(Id, Nom) VALUES('0001', 'A'), ('0002', 'B'); DELETE FROM CLIENT WHERE Id='0001'");
  Dbi::WriteAutoIncCounter(dir.Path(), "CLIENT", 42);
  CRTblDesc d;
  d.szTblName = "CLIENT.DB";
  d.bPack = true;
  ASSERT_EQ(Dbi::DoRestructure(dir.Path(), d), DBIERR_NONE) << Dbi::LastErrorText().toStdString();
  EXPECT_EQ(Dbi::GetFieldDescs(dir.Path(), "CLIENT").size(), ClientDesc().fields.size());
  EXPECT_EQ(Dbi::GetIndexDescs(dir.Path(), "CLIENT").size(), ClientDesc().indexes.size());
  EXPECT_EQ(RawSql(dir.File("CLIENT.DB"), "SELECT Id, Nom FROM CLIENT"), QStringList({"0002|B"}));
  int32_t v = 0;
  ASSERT_TRUE(Dbi::ReadAutoIncCounter(dir.Path(), "CLIENT", v));
  EXPECT_EQ(v, 42);
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "CLIENT", false), DBIERR_NONE);
}

}  // namespace
