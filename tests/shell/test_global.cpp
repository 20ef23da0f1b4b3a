#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <clocale>

#include "support/FrenchLocale.h"
#include "platform/sys/Errors.h"
#include "platform/sys/Formats.h"
#include "platform/ui/Application.h"
#include "shell/global.h"
#include "support/TestSupport.h"

TEST(Global, WeekStartGoesBackToTheSaturday) {
  const QDate sat(2005, 12, 24);
  EXPECT_EQ(WeekStart(sat), sat);
  EXPECT_EQ(WeekStart(QDate(2005, 12, 30)), sat);  // Friday: six days back
  EXPECT_EQ(WeekStart(QDate(2005, 12, 25)), sat);  // Sunday
  EXPECT_EQ(WeekStart(QDate(2006, 1, 6)), QDate(2005, 12, 31));  // across the year
  const QDateTime withTime(QDate(2005, 12, 27), QTime(14, 30));
  EXPECT_EQ(WeekStart(withTime), QDateTime(sat, QTime(14, 30)));
}

TEST(Global, IsNumberTakesDigitsAndTheDecimalPointOnly) {
  EXPECT_FALSE(IsNumber(""));
  EXPECT_FALSE(IsNumber("   "));
  EXPECT_FALSE(IsNumber("\t\r\n"));
  EXPECT_FALSE(IsNumber("-1"));
  EXPECT_FALSE(IsNumber("1,5"));
  EXPECT_FALSE(IsNumber("1e5"));
  EXPECT_FALSE(IsNumber("1 2"));
  EXPECT_TRUE(IsNumber(" 12 "));
  EXPECT_TRUE(IsNumber("12."));
  EXPECT_TRUE(IsNumber("\t007\r\n"));
  EXPECT_TRUE(IsNumber("1.2.3"));
  EXPECT_TRUE(IsNumber("."));
}

TEST(Global, PadLeftRemoveSpacesAndDateToSQL) {
  EXPECT_EQ(PadLeft("7", "0", 4), "0007");
  EXPECT_EQ(PadLeft("12345", "0", 4), "12345");
  EXPECT_EQ(PadLeft("", "0", 2), "00");
  EXPECT_EQ(PadLeft("1", "ab", 3), "abab1");  // the pad is repeated, not cut
  EXPECT_EQ(RemoveSpaces("1 2"), "1 2");
  EXPECT_EQ(RemoveSpaces("1 234"), "1234");
  EXPECT_EQ(RemoveSpaces(" 1 2 3 "), "123");
  EXPECT_EQ(RemoveSpaces("a\tb c"), "a\tbc");  // only blanks go
  EXPECT_EQ(DateToSQL(QDate(2005, 12, 25)), "12/25/2005");
  EXPECT_EQ(DateToSQL(QDate(2005, 3, 7)), "3/7/2005");
  EXPECT_EQ(DateToSQL(QDateTime(QDate(2005, 3, 7), QTime(23, 59))), "3/7/2005");
}

TEST(Global, DayNamesStartOnSunday) {
  InitializeFormats();
  EXPECT_EQ(JoursSemaine[1], "Dimanche");
  EXPECT_EQ(JoursSemaine[7], "Samedi");
  EXPECT_EQ(JoursSemaine[DayOfWeek(QDate(2005, 12, 24))], "Samedi");
}

TEST(Global, DeleteFilesRemovesWhatTheMaskMatchesAndNothingElse) {
  TempDir dir;
  for (const char* n : {"_QS1.DB", "_qs2", "PDOXUSRS.NET", "pdoxusrs.lck", "CLIENT.DB", "CLIENT.DB-journal"}) {
    QFile f(dir.File(n));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  QDir().mkdir(dir.File("_QSDIR"));
  DeleteFiles(dir.Path(), "_QS*.*");
  DeleteFiles(dir.Path(), "PDOXUSRS.*");
  DeleteFiles(dir.File("missing/"), "*.*");  // nothing reported
  QStringList left = QDir(dir.Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
  EXPECT_EQ(left, QStringList({"CLIENT.DB", "CLIENT.DB-journal", "_QSDIR"}));
  DeleteFiles(dir.Path(), "*.*");
  left = QDir(dir.Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
  EXPECT_EQ(left, QStringList({"CLIENT.DB-journal", "_QSDIR"}));  // folders and the engine's journals stay
}

TEST(Global, ShowErrorIsAnErrorBoxWithOK) {
  ScopedDialogs dlg;
  ShowError("Le code est obligatoire");
  ASSERT_EQ(dlg->Asked().size(), 1u);
  EXPECT_EQ(dlg->Asked()[0].text, "Le code est obligatoire");
  EXPECT_EQ(dlg->Asked()[0].type, MsgDlgType::Error);
  EXPECT_EQ(dlg->Asked()[0].buttons, unsigned(mbOK));
}

TEST(Global, EventLoopHandlerIsSilentOnAbortAndShowsOtherErrors) {
  ScopedDialogs dlg;
  try { Abort(); } catch (...) { HandleException(std::current_exception()); }
  EXPECT_TRUE(dlg->Asked().empty());
  try { throw EConvertError("'x' n'est pas une valeur entière correcte"); } catch (...) { HandleException(std::current_exception()); }
  try { throw std::runtime_error("boom"); } catch (...) { HandleException(std::current_exception()); }
  EXPECT_EQ(dlg->Messages(), QStringList({"'x' n'est pas une valeur entière correcte", "boom"}));
  EXPECT_EQ(dlg->Asked()[0].type, MsgDlgType::Error);
}

TEST(Global, DatesAndAmountsDoNotFollowAFrenchSystemLocale) {
  InitializeFormats();
  const QString date = DateToStr(QDate(2005, 3, 7));
  const QString sql = DateToSQL(QDate(2005, 3, 7));
  const QString amount = CurrToStrF(Currency::FromDouble(1234.5));
  const QString number = FormatFloat("### ##0", 1234567);
  ScopedFrenchLocale french;
  if (!french.Active()) GTEST_SKIP() << "no French locale can be made here";
  const QLocale old;
  QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
  EXPECT_EQ(DateToStr(QDate(2005, 3, 7)), date);
  EXPECT_EQ(date, "07/03/2005");
  EXPECT_EQ(DateToSQL(QDate(2005, 3, 7)), sql);
  EXPECT_EQ(CurrToStrF(Currency::FromDouble(1234.5)), amount);
  EXPECT_EQ(amount, "1 234.50");
  EXPECT_EQ(FormatFloat("### ##0", 1234567), number);
  EXPECT_TRUE(IsNumber("12.5"));
  EXPECT_FALSE(IsNumber("12,5"));
  EXPECT_DOUBLE_EQ(StrToFloat("12.5"), 12.5);
  EXPECT_EQ(FormatFloat("0.00", 2.005), "2.01");
  EXPECT_EQ(FloatToStr(0.5), "0.5");
  QLocale::setDefault(old);
}
