// The zip component's password dialog as an extraction asks for a table's password, drawn into
// FOLDER/zip_password.png; its title is printed, since the virtual display draws no frame.
//   shots_zip FOLDER
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>

#include "zip/ZipArch.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: shots_zip FOLDER\n");
    return 2;
  }
  const QString file = QString::fromLocal8Bit(argv[1]) + "/zip_password.png";
  bool saved = false;
  QTimer::singleShot(300, [&] {
    auto* dlg = dynamic_cast<TPasswordDlg*>(QApplication::activeModalWidget());
    if (!dlg) return QApplication::exit(1);
    dlg->Edit1->setText("secret");
    QApplication::processEvents();
    saved = dlg->grab().save(file);
    std::printf("title: %s\n", qPrintable(dlg->windowTitle()));
    dlg->reject();
  });
  TZipArchiver zip;
  TPasswordButton answer = pwbOk;
  zip.GetExtrPassword(answer);
  if (!saved) return 1;
  std::printf("%s\n", qPrintable(file));
  return 0;
}
