#include "platform/ui/EventGuard.h"

#include <exception>

#include "platform/ui/Application.h"

void GuardEvent(const std::function<void()>& body) {
  try {
    body();
  } catch (...) {
    HandleException(std::current_exception());
  }
}
