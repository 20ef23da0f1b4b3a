#pragma once
// The program's main block: formats, splash, main window, message loop.
int RunApplication(int argc, char** argv);
