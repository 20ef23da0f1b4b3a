// Writes transactions over several table files until it is killed: transaction k stores rows
// with Tx = k in every table (2,000 in the first, one in each other), and one row keyed by its
// auto-increment counter in A.DB when the folder holds it. Started by the crash test.
//   crash_writer <folder> <number of tables>
// Or rebuilds R.DB over and over (pack, an index added, the index dropped) until it is killed:
//   crash_writer <folder> rebuild
// Or posts rows into A.DB one by one, each its own commit, until it is killed:
//   crash_writer <folder> autoinc
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <memory>
#include <vector>

#include "platform/db/DbiStructure.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (std::string(argv[2]) == "rebuild") {
    IDXDesc x;
    x.szName = "iS";
    x.aiKeyFld = {3};
    x.iFldsInKey = 1;
    x.bMaintained = true;
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
      if (Dbi::PackTable(folder, "R.DB") != DBIERR_NONE) break;
      CRTblDesc d;
      d.szTblName = "R.DB";
      x.op = CrtOp::Add;
      d.indexes = {x};
      if (Dbi::DoRestructure(folder, d) != DBIERR_NONE) break;
      x.op = CrtOp::Drop;
      d.indexes = {x};
      if (Dbi::DoRestructure(folder, d) != DBIERR_NONE) break;
    }
    std::fprintf(stderr, "%s\n", qPrintable(Dbi::LastErrorText()));
    return 1;
  }
  if (std::string(argv[2]) == "autoinc") {
    try {
      TTable a;
      a.SetDatabaseName(folder);
      a.SetTableName("A.DB");
      a.Open();
      std::printf("ready\n");
      std::fflush(stdout);
      for (int tx = 1;; ++tx) {
        a.Append();
        a.FieldByName("Tx")->AsInteger = tx;
        a.Post();
      }
    } catch (const Exception& e) {
      std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
      return 1;
    }
  }
  const int n = std::atoi(argv[2]);
  try {
    std::vector<std::unique_ptr<TTable>> tables;
    for (int i = 0; i < n; ++i) {
      auto t = std::make_unique<TTable>();
      t->SetDatabaseName(folder);
      t->SetTableName(QString("K%1.DB").arg(i + 1, 2, 10, QChar('0')));
      t->Open();
      tables.push_back(std::move(t));
    }
    std::unique_ptr<TTable> autoT;
    if (QFileInfo::exists(folder + "/A.DB")) {
      autoT = std::make_unique<TTable>();
      autoT->SetDatabaseName(folder);
      autoT->SetTableName("A.DB");
      autoT->Open();
    }
    tables[0]->Last();
    int tx = tables[0]->Eof() && tables[0]->Bof() ? 0 : tables[0]->FieldByName("Tx")->AsInteger();
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
      ++tx;
      TDbTransaction t(folder);
      for (int i = 0; i < n; ++i) {
        const int rows = i == 0 ? 2000 : 1;
        for (int r = 0; r < rows; ++r) {
          tables[i]->Append();
          tables[i]->FieldByName("Tx")->AsInteger = tx;
          tables[i]->FieldByName("N")->AsInteger = r;
          tables[i]->FieldByName("S")->AsString = "row";
          tables[i]->Post();
        }
      }
      if (autoT) {
        autoT->Append();
        autoT->FieldByName("Tx")->AsInteger = tx;
        autoT->Post();
      }
      t.Commit();
    }
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
    return 1;
  }
}
