// The closing message of "Contrôle de la base de données" when a table file has damaged pages,
// and when the data folder cannot be written and a table is missing: drawn into
// FOLDER/check_done.png and FOLDER/check_readonly.png.
//   shots_schema FOLDER
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "support/ReadOnlyFolder.h"
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

  auto checkShot = [&](const QString& name) {
    bool shot = false;
    QTimer::singleShot(500, [&] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        shot = box->grab().save(shots + "/" + name);
        box->close();
      }
    });
    RunDatabaseCheck(DataPath);
    if (shot) printf("%s/%s\n", argv[1], qPrintable(name));
    return shot;
  };
  if (!checkShot("check_done.png")) return 1;

  QTemporaryDir ro;
  testdata::MakeAppFolder(ro.path() + "/");
  for (const QString& n : QDir(DataPath).entryList({"Ha.*", "Imprimerie.*"}, QDir::Files)) QFile::remove(DataPath + n);
  ReadOnlyFolder readOnly(DataPath);
  return checkShot("check_readonly.png") ? 0 : 1;
}
