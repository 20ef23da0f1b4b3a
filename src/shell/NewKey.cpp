#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/sys/Formats.h"
#include "platform/ui/Cursor.h"
#include "shell/global.h"

// The largest code is taken over the codes made only of digits, by their value: a text maximum
// would put "9" above "0010", and a code such as "A1" would restart the count at 1; either way an
// existing code would come back.
QString NewKey(TTable* table, const QString& fieldName, int width) {
  SetScreenCursor(TCursor::crHourGlass);
  struct CursorBack {
    ~CursorBack() { SetScreenCursor(TCursor::crDefault); }
  } cursorBack;
  TQuery q;
  q.SetDatabaseName(table->DatabaseName());
  q.SQL.Add("Select " + fieldName + " as nKey From " + table->TableName());
  q.Open();
  uint64_t largest = 0;
  bool tooLong = false;
  while (!q.Eof()) {
    const QString code = q.Fields(0)->AsString().trimmed();
    const bool digits = !code.isEmpty() && std::all_of(code.begin(), code.end(), [](QChar c) {
      return c >= '0' && c <= '9';
    });
    if (digits) {
      bool ok = false;
      const uint64_t v = code.toULongLong(&ok);
      if (!ok) tooLong = true;
      else largest = std::max(largest, v);
    }
    q.Next();
  }
  q.Close();
  const QString next = QString::number(largest + 1);
  if (tooLong || next.size() > width)
    throw Exception("Impossible de créer un nouveau code : le code suivant (" + next +
                    ") dépasse " + IntToStr(width) + " chiffres.");
  return PadLeft(next, "0", width);
}
