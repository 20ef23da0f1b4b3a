// The program put together: every window the main window opens, and what the maintenance plugs
// into its start. Called once by main before the application starts; tests that need the whole
// program call it too.
#pragma once

void ComposeApplication();
