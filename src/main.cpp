#include "shell/AppMain.h"

int main(int argc, char** argv) { return RunApplication(argc, argv); }
