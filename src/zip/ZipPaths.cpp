// Folder and name helpers of the component.
#include "zip/ZipArch.h"

QString AppendSlash(const QString& Folder) {
  if (Folder.isEmpty() || Folder.endsWith('/')) return Folder;
  return Folder + "/";
}

QString SetSlash(const QString& Name) {
  QString s = Name;
  s.replace('\\', '/');
  return s;
}

QString PathConcat(const QString& Folder, const QString& Name) {
  QString f = Folder;
  if (!f.isEmpty() && !f.endsWith(':') && !Name.isEmpty()) {
    if (f.endsWith('/') && Name.startsWith('/')) f.chop(1);
    else if (!f.endsWith('/') && !Name.startsWith('/')) f += '/';
  }
  return f + Name;
}

QString BufferToName(const char* Buffer, int Length) {
  return QString::fromUtf8(Buffer, static_cast<int>(qstrnlen(Buffer, static_cast<uint>(Length))));
}
