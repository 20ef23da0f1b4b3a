// The case-insensitive order of texts, in C++ and as the SQLite collation ZNOCASE.
#include "platform/db/EngineCore.h"

#include <sqlite3.h>

namespace dbe {

QString ZFold(const QString& s) {
  QString out;
  out.reserve(s.size());
  // Upper case first: a few letters only gain their accent there ("ǰ" -> "J" + caron).
  for (QChar ch : s.toUpper().normalized(QString::NormalizationForm_D)) {
    switch (ch.unicode()) {
      case 0x0152: case 0x0153: out += QLatin1String("OE"); continue;  // Œ œ
      case 0x00C6: case 0x00E6: out += QLatin1String("AE"); continue;  // Æ æ
      case 0x00D8: case 0x00F8: out += QChar('O'); continue;           // Ø ø
      case 0x0110: case 0x0111: out += QChar('D'); continue;           // Đ đ
      case 0x0141: case 0x0142: out += QChar('L'); continue;           // Ł ł
      default: break;
    }
    if (ch.category() == QChar::Mark_NonSpacing) continue;
    out += ch;
  }
  return out;
}

int ZCompare(const QString& a, const QString& b) {
  const int n = int(std::min(a.size(), b.size()));
  int i = 0;
  // Plain ASCII folds one character to one: compare in place until something else shows.
  for (; i < n; ++i) {
    ushort x = a[i].unicode(), y = b[i].unicode();
    if (x >= 128 || y >= 128) break;
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return x < y ? -1 : 1;
  }
  if (i == n && (i == a.size() || a[i].unicode() < 128) && (i == b.size() || b[i].unicode() < 128))
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
  return ZFold(a.mid(i)).compare(ZFold(b.mid(i)));
}

static int ZCollate(void*, int na, const void* pa, int nb, const void* pb) {
  const unsigned char* a = static_cast<const unsigned char*>(pa);
  const unsigned char* b = static_cast<const unsigned char*>(pb);
  const int n = std::min(na, nb);
  int i = 0;
  for (; i < n; ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 128 || y >= 128) break;
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return x < y ? -1 : 1;
  }
  // The rest of the shorter text is empty: an ASCII character left on the other side makes it
  // longer, anything else may fold to nothing (a lone accent).
  if (i == n && (i == na || a[i] < 128) && (i == nb || b[i] < 128)) return na < nb ? -1 : (na > nb ? 1 : 0);
  const QString x = ZFold(QString::fromUtf8(reinterpret_cast<const char*>(a + i), na - i));
  const QString y = ZFold(QString::fromUtf8(reinterpret_cast<const char*>(b + i), nb - i));
  const int c = x.compare(y);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void RegisterCollations(sqlite3* db) {
  sqlite3_create_collation_v2(db, "ZNOCASE", SQLITE_UTF8, nullptr, ZCollate, nullptr);
}

static int RegisterOnOpen(sqlite3* db, const char**, const struct sqlite3_api_routines*) {
  RegisterCollations(db);
  return SQLITE_OK;
}

void RegisterCollationsEverywhere() {
  // Any other connection of the process (a raw look at a file, a generator, the page check) can
  // then read and write a table with a case-insensitive index.
  // Registering the same entry point again does nothing.
  sqlite3_auto_extension(reinterpret_cast<void (*)()>(RegisterOnOpen));
}

}  // namespace dbe
