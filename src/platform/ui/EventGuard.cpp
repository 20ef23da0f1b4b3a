#include "platform/ui/EventGuard.h"

#include <exception>

#include "platform/sys/Errors.h"
#include "platform/ui/Dialogs.h"

void GuardEvent(const std::function<void()>& body) {
  try {
    body();
  } catch (const EAbort&) {
  } catch (const Exception& e) {
    MessageDlg(e.Message(), MsgDlgType::Error, mbOK);
  } catch (const std::exception& e) {
    MessageDlg(QString::fromLocal8Bit(e.what()), MsgDlgType::Error, mbOK);
  }
}
