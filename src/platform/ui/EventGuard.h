// Runs the code of one user event so that no exception leaves it: the silent abort ends it
// quietly, any other failure is shown in the error box, as the application's handler does.
#pragma once
#include <functional>

void GuardEvent(const std::function<void()>& body);
