#include "platform/ui/Application.h"

#include "platform/sys/Errors.h"
#include "platform/ui/Dialogs.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    HandleException(std::current_exception());
    return true;
  }
}

void ShowException(const QString& message) {
  MessageDlg(message, MsgDlgType::Error, mbOK);
}

void HandleException(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const EAbort&) {
  } catch (const Exception& ex) {
    ShowException(ex.Message());
  } catch (const std::exception& ex) {
    ShowException(QString::fromLocal8Bit(ex.what()));
  } catch (...) {
    ShowException("Erreur inattendue");
  }
}
