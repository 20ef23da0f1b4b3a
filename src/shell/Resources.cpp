#include "shell/Resources.h"

#include <QtGlobal>

void InitShellResources() {
  static bool done = false;
  if (done) return;
  done = true;
  Q_INIT_RESOURCE(shell);
}
