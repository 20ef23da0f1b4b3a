// The closing message of "Contrôle de la base de données" when a table file has damaged pages:
// drawn into FOLDER/check_done.png.
//   shots_schema FOLDER
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "schema/AppSchema.h"
#include "shell/global.h"
#include "support/AppData.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    fprintf(stderr, "usage: shots_schema FOLDER\n");
    return 2;
  }
  const QString shots = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(shots);
  QTemporaryDir tmp;
  testdata::MakeAppFolder(tmp.path() + "/");
  testdata::AddClients(400);
  // 4 KB of noise over the table's data pages.
  if (!testdata::WriteNoise(DataPath + "CLIENT.DB", 20480, 4096)) return 1;

  bool shot = false;
  QTimer::singleShot(500, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      shot = box->grab().save(shots + "/check_done.png");
      box->close();
    }
  });
  RunDatabaseCheck(DataPath);
  if (!shot) return 1;
  printf("%s/check_done.png\n", argv[1]);
  return 0;
}
