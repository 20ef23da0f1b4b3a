#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "schema/AppSchema.h"
#include "schema/DbEngine.h"
#include "schema/Descriptor.h"
#include "schema/WordUtils.h"
#include "support/TestSupport.h"

TEST(Words, WordsAreRunsOutsideTheDelimiters) {
  const QString line = "  index(iNom;;1;3)";
  EXPECT_EQ(WordAt(1, line, " ("), "index");
  EXPECT_EQ(WordPosition(1, line, " ("), 3);
  EXPECT_EQ(WordAt(2, line, " ("), "iNom;;1;3)");
  EXPECT_EQ(WordPosition(2, line, " ("), 9);
  EXPECT_EQ(WordAt(3, line, " ("), "");
  EXPECT_EQ(WordPosition(3, line, " ("), 0);
  EXPECT_EQ(WordAt(3, "object Table: CLIENT.DB", " "), "CLIENT.DB");
  EXPECT_EQ(WordAt(1, "", " "), "");
  EXPECT_EQ(WordPosition(1, "   ", " "), 0);
  EXPECT_EQ(WordPosition(0, "a b", " "), 0);
}

// The one test that names every table: the others read the list from the schema.
TEST(Descriptor, ApplicationSchemaHasTheTwelveTablesInOrder) {
  EXPECT_EQ(DescriptorTables(ApplicationDescriptor()),
            QStringList({"CLIENT.DB", "Disto.DB", "Ha.DB", "IMPRIMERIE.DB", "Liste.DB", "OrgaD.DB",
                         "Region.db", "Retour.DB", "Site.DB", "Titre.DB", "TLISTE.DB", "VCR.DB"}));
}

// The text's own form: no blank lines, every block closed, second names repeat the first.
TEST(Descriptor, ApplicationSchemaTextIsWellFormed) {
  const QStringList lines = ApplicationDescriptor();
  int blocks = 0, ends = 0;
  for (const QString& l : lines) {
    ASSERT_FALSE(l.trimmed().isEmpty());
    if (l.startsWith("object Table: ")) ++blocks;
    if (l == "end") ++ends;
    if (l.startsWith("  field(")) {
      const QStringList v = l.mid(8, l.size() - 9).split(';');
      ASSERT_EQ(v.size(), 6) << l.toStdString();
      EXPECT_EQ(v[0], v[1]);
    }
    if (l.startsWith("  index(")) {
      EXPECT_EQ(l.mid(8, l.size() - 9).split(';').size(), 16) << l.toStdString();
    }
  }
  EXPECT_EQ(blocks, DescriptorTables(lines).size());
  EXPECT_EQ(ends, blocks);
  EXPECT_TRUE(lines.contains("  field(Id;Id;1;0;4;0)"));
  EXPECT_TRUE(lines.contains("  index(;;1;1;1;1;0;1;0;0;0;;;0;;)"));
  EXPECT_TRUE(lines.contains("  index(iNom;;1;3;0;0;0;1;1;0;0;;;0;;)"));
}

namespace {
TDescBlock BlockOf(const QStringList& lines, const QString& table) {
  for (int i = 0; i < lines.size(); ++i) {
    if (DescKeyword(lines[i]) == "OBJECT" && WordAt(3, lines[i], " ") == table) {
      return ParseBlock(lines, i);
    }
  }
  return {};
}
}  // namespace

TEST(Descriptor, ClientBlockParsesToTheSchema) {
  const QStringList lines = ApplicationDescriptor();
  const TDescBlock b = BlockOf(lines, "CLIENT.DB");
  EXPECT_EQ(b.type, TableType::Paradox);
  ASSERT_EQ(b.fields.size(), 14u);
  EXPECT_EQ(b.fields[2].szName, "Nom");
  EXPECT_EQ(b.fields[2].iFldNum, 3);
  EXPECT_EQ(b.fields[2].iFldType, fldZSTRING);
  EXPECT_EQ(b.fields[2].iUnits1, 40);
  EXPECT_EQ(b.fields[1].iFldType, fldINT32);
  EXPECT_EQ(b.fields[13].szName, "Ab5");
  EXPECT_EQ(b.fields[13].iFldType, fldFLOAT);
  EXPECT_EQ(b.fields[13].iSubType, fldstMONEY);
  EXPECT_EQ(b.fields[13].iUnits1, 1);
  ASSERT_EQ(b.indexes.size(), 5u);
  const IDXDesc& pk = b.indexes[0];
  EXPECT_TRUE(pk.szName.isEmpty());
  EXPECT_TRUE(pk.bPrimary && pk.bUnique && pk.bMaintained);
  EXPECT_FALSE(pk.bDescending || pk.bCaseInsensitive || pk.bExpIdx || pk.bSubset);
  EXPECT_EQ(pk.aiKeyFld, std::vector<uint16_t>({1}));
  const IDXDesc& regOrd = b.indexes[4];
  EXPECT_EQ(regOrd.szName, "iRegOrd");
  EXPECT_EQ(regOrd.iIndexId, 5);
  EXPECT_EQ(regOrd.iFldsInKey, 2);
  EXPECT_EQ(regOrd.aiKeyFld, std::vector<uint16_t>({8, 2}));  // Region, then Ord
  EXPECT_FALSE(regOrd.bPrimary || regOrd.bUnique);
  EXPECT_TRUE(regOrd.bCaseInsensitive && regOrd.bMaintained);

  const TDescBlock liste = BlockOf(lines, "Liste.DB");
  ASSERT_EQ(liste.fields.size(), 32u);
  EXPECT_EQ(liste.fields[1].iFldType, fldINT16);
  EXPECT_EQ(liste.fields[30].szName, "Titre15");
  EXPECT_EQ(liste.fields[31].szName, "Qte15");
  EXPECT_TRUE(liste.indexes.empty());
  const TDescBlock titre = BlockOf(lines, "Titre.DB");
  EXPECT_EQ(titre.fields.back().iFldType, fldBOOL);
  EXPECT_EQ(BlockOf(lines, "Region.db").type, TableType::Paradox);
  EXPECT_EQ(BlockOf(lines, "Disto.DB").indexes[0].aiKeyFld, std::vector<uint16_t>({1, 2, 3}));
}

TEST(Descriptor, ValuesTakeTheirDefaultsAndKeywordsIgnoreCase) {
  const FLDDesc f = ParseFieldLine("  FIELD(Qte;Qte;6;;;)", 4);
  EXPECT_EQ(f.iFldNum, 4);
  EXPECT_EQ(f.iFldType, fldINT32);
  EXPECT_EQ(f.iSubType, 0);
  EXPECT_EQ(f.iUnits1, 1);
  EXPECT_EQ(f.iUnits2, 0);
  const FLDDesc shortLine = ParseFieldLine("  field(X;X;abc)", 1);
  EXPECT_EQ(shortLine.iFldType, 0);
  EXPECT_EQ(shortLine.iUnits1, 1);
  EXPECT_EQ(ParseFieldLine("  field(" + QString(40, 'N') + ";;1;0;10;0)", 1).szName.size(), 31);
  // The lowest byte decides a flag; the second tag overrides the first.
  const IDXDesc x = ParseIndexLine("  Index(iA;T1;1;2;256;257;0;1;0;0;0;T2)", 1);
  EXPECT_FALSE(x.bPrimary);
  EXPECT_TRUE(x.bUnique);
  EXPECT_EQ(x.szTagName, "T2");
  EXPECT_EQ(ParseIndexLine("  index(iA;T1;1;2)", 1).szTagName, "T1");

  const QStringList text = {"object Table: T.DB", "  FIELD(A;A;1;0;;0)", "  Field(B;B;5;0;1;0)",
                            "  Index(;;1;1;1;1;0;1;0;0;0;;;0;;)", "  iNDEX(iB;;1;2;0;0;0;1;1;0;0;;;0;;)",
                            "END", "object Table: U.DBF", "end"};
  int line = 0;
  const TDescBlock b = ParseBlock(text, line);
  EXPECT_EQ(line, 5);
  ASSERT_EQ(b.fields.size(), 2u);
  EXPECT_EQ(b.fields[0].iUnits1, 1);  // empty fifth value
  EXPECT_EQ(b.fields[1].iFldNum, 2);
  ASSERT_EQ(b.indexes.size(), 2u);
  EXPECT_EQ(b.indexes[1].iIndexId, 2);
  EXPECT_EQ(TableTypeOf("U.DBF"), TableType::DBase);
  EXPECT_EQ(TableTypeOf("U.TXT"), TableType::Default);
  EXPECT_EQ(TableTypeOf("U"), TableType::Default);
}

TEST(Descriptor, StrayLinesAndOpenBlocksEndTheParse) {
  // A block without "end" stops before the next "object" line, and at the end of the text.
  const QStringList text = {"object Table: A.DB", "  field(X;X;1;0;2;0)", "", "junk",
                            "object Table: B.DB", "  field(Y;Y;1;0;2;0)"};
  int line = 0;
  const TDescBlock a = ParseBlock(text, line);
  EXPECT_EQ(a.fields.size(), 1u);
  EXPECT_EQ(line, 3);
  line = 4;
  const TDescBlock b = ParseBlock(text, line);
  EXPECT_EQ(b.fileName, "B.DB");
  EXPECT_EQ(line, 5);
  EXPECT_EQ(DescriptorTables({"object", "object Table:", "x object Table: Z.DB"}), QStringList());
}

TEST(DbEngine, AuxFilesGoButTheDataMemoAndJournalStay) {
  TempDir dir;
  const QStringList names = {"Region.db", "REGION.PX", "Region.X02", "Region.Y02", "REGION.VAL",
                             "Region.MB", "Region.db-journal", "RegionX.PX", "Regions.DB", "CLIENT.PX"};
  for (const QString& n : names) {
    QFile f(dir.File(n));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  EXPECT_EQ(DeleteTableAuxFiles(dir.Path(), "REGION.DB"), 4);
  QStringList left = QDir(dir.Path()).entryList(QDir::Files, QDir::Name);
  EXPECT_EQ(left, QStringList({"CLIENT.PX", "Region.MB", "Region.db", "Region.db-journal",
                               "RegionX.PX", "Regions.DB"}));
  // Without a trailing delimiter too.
  QFile(dir.File("Region.X03")).open(QIODevice::WriteOnly);
  QString folder = dir.Path();
  folder.chop(1);
  EXPECT_EQ(DeleteTableAuxFiles(folder, "Region.db"), 1);
  EXPECT_FALSE(QFile::exists(dir.File("Region.X03")));
}

TEST(DbEngine, PathsAndTableFilesByNameIgnoringCase) {
  EXPECT_EQ(AddBackslash("/data"), "/data/");
  EXPECT_EQ(AddBackslash("/data/"), "/data/");
  EXPECT_EQ(AddBackslash("A:"), "A:");
  EXPECT_FALSE(IsAlias("/data"));
  EXPECT_EQ(AliasDirectory("/data"), "/data/");
  TempDir dir;
  QFile(dir.File("Region.db")).open(QIODevice::WriteOnly);
  EXPECT_EQ(FindTableFile(dir.Path(), "REGION.DB"), dir.File("Region.db"));
  EXPECT_EQ(FindTableFile(dir.Path(), "region"), dir.File("Region.db"));
  EXPECT_TRUE(FindTableFile(dir.Path(), "CLIENT.DB").isEmpty());
}
