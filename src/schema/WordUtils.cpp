#include "schema/WordUtils.h"

int WordPosition(int n, const QString& text, const QString& delimiters) {
  if (n < 1) return 0;
  int count = 0;
  int i = 0;
  const int len = text.size();
  while (i < len) {
    while (i < len && delimiters.contains(text[i])) ++i;
    if (i >= len) break;
    if (++count == n) return i + 1;
    while (i < len && !delimiters.contains(text[i])) ++i;
  }
  return 0;
}

QString WordAt(int n, const QString& text, const QString& delimiters) {
  const int start = WordPosition(n, text, delimiters);
  if (start == 0) return QString();
  int end = start - 1;
  while (end < text.size() && !delimiters.contains(text[end])) ++end;
  return text.mid(start - 1, end - (start - 1));
}
