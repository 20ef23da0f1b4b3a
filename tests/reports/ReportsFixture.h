// A program folder with the report catalogue and a data folder with every application table,
// filled with a small week of takings; helpers to run a report into its preview and read the
// pages back.
#pragma once
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QVariant>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

#include "platform/reportengine/Report.h"
#include "reports/UPrint.h"
#include "support/AppDataTest.h"

class TfrmPreview;

class ReportsTest : public AppDataTest {
 protected:
  ReportsTest();
  ~ReportsTest() override;

  // Regions 01 Nord and 02 Sud; clients C001 ALPHA (order 1), C002 BRAVO and C003 CHARLIE (both
  // order 2), C005 ECHO (order 4, no takings) in 01 and C004 DELTA in 02; titles T001 a daily,
  // T002 a weekly at issue 12, T003 a monthly at issue 0; takings in the week of 05/01/2004, on
  // its first two days and its last, and one the day after it.
  void FillWeek();
  void AddTaking(const QDate& d, const QString& client, const QString& title, int qte);

  // Runs an action that opens a preview (the action returns once it is closed), lets inspect
  // look at the preview once every page is there, closes it and gives the pages. No preview:
  // no pages, and inspect is not called.
  std::vector<TRPage> RunPreview(const std::function<void()>& action,
                                 const std::function<void(TfrmPreview*)>& inspect = {});
  int previews = 0;  // previews seen by RunPreview

  // Every text of the page lies inside its own box, and no text falls on a figure (the
  // controls whose names match figures).
  static void ExpectNothingCovered(const TRPage& page, const QString& figures);

  static void Type(QWidget* w, const QString& text);
  using AppDataTest::Type;
  static int PdfPages(const QString& file);
};

// The report chooser opened as the main window opens it, freed with the test.
class ChooserTest : public ReportsTest {
 protected:
  ~ChooserTest() override { delete w.data(); }
  TfrmPrint* Open();
  QPointer<TfrmPrint> w;
};
