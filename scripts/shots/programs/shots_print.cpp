// The printer set-up as the program shows it on a machine whose locale is not French: the print
// dialog with its two tabs, its "Propriétés" window (each tab) and the chooser of its output file,
// drawn into FOLDER as print_dialog.png, print_dialog_options.png, print_properties_N.png and print_file.png (their titles
// are printed, the virtual display drawing no frames).
//   shots_print FOLDER
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

#include "platform/ui/Application.h"
#include "platform/ui/Dialogs.h"

namespace {
void Save(QWidget* w, const QString& file) {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  w->grab().save(file);
  std::printf("%s: %s\n", qPrintable(file), qPrintable(w->windowTitle()));
}
}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: shots_print FOLDER\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  QTemporaryDir files;
  QFile old(files.filePath("ancienne liste.pdf"));
  if (old.open(QIODevice::WriteOnly)) old.write(QByteArray(9350, '%'));
  old.close();
  QDir().mkpath(files.filePath("Archives"));
  Printer().setOutputFileName(files.filePath("liste.pdf"));

  QTimer::singleShot(300, [&] {
    auto* d = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
    if (!d) return QApplication::exit(1);
    auto* printers = d->findChild<QComboBox*>("printers");
    printers->setCurrentIndex(printers->count() - 1);  // the file printer, the one every machine has
    for (auto* b : d->findChildren<QPushButton*>())
      if (b->text().startsWith("&Options")) b->click();
    Save(d, dir + "/print_dialog.png");
    if (auto* tabs = d->findChild<QTabWidget*>("tabs")) {
      tabs->setCurrentIndex(1);
      Save(d, dir + "/print_dialog_options.png");
    }
    QTimer::singleShot(300, [&, d] {
      auto* p = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!p || p == d) return;
      auto* tabs = p->findChild<QTabWidget*>();
      for (int i = 0; tabs && i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        Save(p, dir + QString("/print_properties_%1.png").arg(i + 1));
      }
      p->reject();
    });
    d->findChild<QPushButton*>("properties")->click();
    QTimer::singleShot(300, [&] {
      auto* f = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!f) return;
      QEventLoop wait;  // the folder's sizes and dates come a little later
      QTimer::singleShot(800, &wait, &QEventLoop::quit);
      wait.exec();
      Save(f, dir + "/print_file.png");
      f->reject();
    });
    d->findChild<QToolButton*>("fileBrowser")->click();
    d->reject();
  });
  Dialogs().PrinterSetup(nullptr);
  return 0;
}
