// Builds the report catalogue RAPPORT.DB from its source text: mkcatalog source.txt folder
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <cstdio>

#include "platform/db/Table.h"
#include "reports/Catalogue.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s source.txt folder\n", argv[0]);
    return 2;
  }
  QFile src(QString::fromLocal8Bit(argv[1]));
  if (!src.open(QIODevice::ReadOnly | QIODevice::Text)) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  QString folder = QString::fromLocal8Bit(argv[2]);
  if (!folder.endsWith('/')) folder += '/';
  try {
    TTable t;
    t.SetDatabaseName(folder);
    t.SetTableName("RAPPORT.DB");
    DefineCatalogueFields(t);
    t.CreateTable();
    t.Open();
    QTextStream in(&src);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
      const QString line = in.readLine().trimmed();
      if (line.isEmpty() || line.startsWith('#')) continue;
      const QStringList f = line.split(';');
      if (f.size() != 5) {
        std::fprintf(stderr, "bad line: %s\n", qPrintable(line));
        return 1;
      }
      t.Append();
      t.FieldByName("TITRE")->AsString = f[0].trimmed();
      t.FieldByName("NOMPROC")->AsString = f[1].trimmed();
      t.FieldByName("PAGE")->AsInteger = f[2].toInt();
      t.FieldByName("PERIODE")->AsBoolean = f[3].trimmed() == "1";
      t.FieldByName("NO")->AsInteger = f[4].toInt();
      t.Post();
    }
    t.Close();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
