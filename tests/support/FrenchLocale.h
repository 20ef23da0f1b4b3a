#pragma once
#include <QString>

// Switches the C library to a French locale (decimal comma) for the life of the object, building
// it with localedef into a temporary folder when the machine has none. Active() says whether it
// took; the C locale is restored at the end.
class ScopedFrenchLocale {
 public:
  ScopedFrenchLocale();
  ~ScopedFrenchLocale();
  bool Active() const { return active_; }
 private:
  bool active_ = false;
  QString dir_;
};
