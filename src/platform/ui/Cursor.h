// The hourglass cursor as the windows set and reset it: a reset clears it, it does not stack.
#pragma once

enum class TCursor { crDefault, crHourGlass };

void SetScreenCursor(TCursor c);
TCursor ScreenCursor();

// Runs pending window events (never call it while painting).
void ProcessMessages();
