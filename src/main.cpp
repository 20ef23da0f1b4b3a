#include "app/Composition.h"
#include "shell/AppMain.h"

int main(int argc, char** argv) {
  ComposeApplication();
  return RunApplication(argc, argv);
}
