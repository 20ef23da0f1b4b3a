// The closing message of "Contrôle de la base de données" when a table file has damaged pages:
// drawn into FOLDER/check_done.png.
//   shots_schema FOLDER
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "schema/AppSchema.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    fprintf(stderr, "usage: shots_schema FOLDER\n");
    return 2;
  }
  const QString shots = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(shots);
  QTemporaryDir tmp;
  const QString data = tmp.path() + "/Data/";
  QDir().mkpath(data);
  CreateApplicationTables(ApplicationCheck(), data);
  {
    TTable t;
    t.SetDatabaseName(data);
    t.SetTableName("CLIENT.DB");
    t.Open();
    TDbTransaction tx(t);
    for (int i = 1; i <= 400; ++i) {
      t.Append();
      t.FieldByName("Id")->AsString = QString("%1").arg(i, 4, 10, QChar('0'));
      t.FieldByName("Nom")->AsString = QString("CLIENT NUMERO %1 DE LA ROUTE DU NORD").arg(i);
      t.FieldByName("Region")->AsString = "01";
      t.FieldByName("Site")->AsString = "A";
      t.Post();
    }
    tx.Commit();
    t.Close();
  }
  // 4 KB of noise over the table's data pages.
  QFile f(data + "CLIENT.DB");
  if (!f.open(QIODevice::ReadWrite) || !f.seek(20480)) return 1;
  QByteArray noise(4096, '\0');
  uint32_t seed = 20480;
  for (char& c : noise) {
    seed = seed * 1664525u + 1013904223u;
    c = char(seed >> 24);
  }
  f.write(noise);
  f.close();

  bool shot = false;
  QTimer::singleShot(500, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      shot = box->grab().save(shots + "/check_done.png");
      box->close();
    }
  });
  RunDatabaseCheck(data);
  if (!shot) return 1;
  printf("%s/check_done.png\n", argv[1]);
  return 0;
}
