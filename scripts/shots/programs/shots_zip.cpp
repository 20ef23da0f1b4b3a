// The zip component's password dialog as it asks for a table's password, drawn into
// FOLDER/zip_password.png.
//   shots_zip FOLDER
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <cstdio>

#include "zip/ZipArch.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: shots_zip FOLDER\n");
    return 2;
  }
  TPasswordDlg dlg(nullptr, {pwbCancel, pwbCancelAll});
  dlg.setWindowTitle("Mot de passe");
  dlg.Label1->setText("Mot de passe pour CLIENT.DB");
  dlg.Edit1->setText("secret");
  dlg.show();
  QApplication::processEvents();
  const QString file = QString::fromLocal8Bit(argv[1]) + "/zip_password.png";
  if (!dlg.grab().save(file)) return 1;
  std::printf("%s\n", qPrintable(file));
  return 0;
}
