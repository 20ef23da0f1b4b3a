// Field values as the windows write them: read by conversion or call, compared, joined to texts,
// shown with their display formats; parameters the same way.
#include <gtest/gtest.h>

#include "DbTestUtil.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "support/TestSupport.h"

namespace {

TEST(FieldProperties, ReadCompareJoinAndShow) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), DistoDesc()), DBIERR_NONE);
  TTable d("Disto");
  d.SetDatabaseName(dir.Path());
  d.SetTableName("Disto");
  d.Open();
  d.Append();
  d.FieldByName("DateJ")->AsDate = QDate(2005, 3, 7);
  d.FieldByName("ID_CLIENT")->AsString = "0001";
  d.FieldByName("Id_Titre")->AsString = QString("0002");
  d.FieldByName("Qte_Prise")->AsString = " 1234 ";
  d.FieldByName("PU")->AsFloat = 1.23456789;  // money keeps 4 decimals
  d.Post();

  TField* qte = d.FieldByName("QTE_PRISE");
  qte->DisplayFormat = "### ##0";
  EXPECT_EQ(qte->DisplayText(), "1 234");
  const int n = qte->AsInteger;
  EXPECT_EQ(n + 1, 1235);
  EXPECT_TRUE(qte->AsInteger == 1234);
  const QString id = d.FieldByName("Id_Client")->AsString;
  EXPECT_EQ(id, "0001");
  EXPECT_TRUE(d.FieldByName("Id_Client")->AsString == "0001");
  EXPECT_TRUE(d.FieldByName("Id_Client")->AsString != QString("0002"));
  EXPECT_EQ("[" + d.FieldByName("Id_Titre")->AsString + "]", QString("[0002]"));
  EXPECT_EQ(d.FieldByName("Id_Titre")->AsString().trimmed(), "0002");
  EXPECT_EQ(d.FieldByName("PU")->AsCurrency().Raw(), 12346);
  EXPECT_EQ(d.FieldByName("PU")->AsString(), "1.2346");
  EXPECT_EQ(d.FieldByName("PU")->DisplayText(), "1.23");
  EXPECT_EQ(d.FieldByName("DateJ")->AsDateTime().date(), QDate(2005, 3, 7));
  EXPECT_EQ(d.FieldByName("DateJ")->Value().toDate(), QDate(2005, 3, 7));
  EXPECT_FALSE(d.FieldByName("DateJ")->IsNull());
  // One field's value into another, as a copy of a record does.
  d.Edit();
  d.FieldByName("Id_Titre")->AsString = d.FieldByName("Id_Client")->AsString;
  d.FieldByName("Qte_Prise")->AsInteger = d.FieldByName("Qte_Prise")->AsInteger + 1;
  d.Post();
  EXPECT_EQ(d.FieldByName("Id_Titre")->AsString(), "0001");
  EXPECT_EQ(d.FieldByName("Qte_Prise")->AsInteger(), 1235);
  EXPECT_EQ(d.FieldNames().mid(0, 5), QStringList({"DateJ", "Id_Client", "Id_Titre", "Qte_Prise", "PU"}));
  EXPECT_EQ(d.Fields(3), qte);
  EXPECT_EQ(d.FindField("nope"), nullptr);
  // Field objects stay the same across a close and a new open.
  d.Close();
  EXPECT_TRUE(qte->IsNull());
  d.Open();
  EXPECT_EQ(d.FieldByName("Qte_Prise"), qte);
  EXPECT_EQ(qte->AsInteger(), 1235);
}

TEST(FieldProperties, ParametersTakeEveryKindOfValue) {
  TQuery q("q");
  q.SQL.Add("SELECT * FROM X WHERE A=:a AND B=:B AND C=:c AND D=:d AND A=:A");
  ASSERT_EQ(q.ParamCount(), 4);
  q.ParamByName("A")->AsString = "L'ARBRE";
  q.ParamByName("b")->AsInteger = 3;
  q.ParamByName("c")->AsCurrency = Currency::FromRaw(15000);
  q.ParamByName("d")->AsDate = QDate(2005, 12, 25);
  EXPECT_EQ(q.ParamByName("a")->AsString(), "L'ARBRE");
  EXPECT_EQ(q.ParamByName("B")->AsInteger(), 3);
  EXPECT_EQ(q.ParamByName("C")->AsCurrency().Raw(), 15000);
  EXPECT_EQ(q.ParamByName("D")->AsDate(), QDate(2005, 12, 25));
  // The text changes; the values of parameters that remain stay.
  q.SQL.SetText("SELECT * FROM X WHERE D=:D AND E=:e AND F=':notaparam'");
  ASSERT_EQ(q.ParamCount(), 2);
  EXPECT_EQ(q.ParamByName("d")->AsDate(), QDate(2005, 12, 25));
  EXPECT_TRUE(q.ParamByName("e")->IsNull());
  EXPECT_EQ(q.FindParam("notaparam"), nullptr);
}

}  // namespace
