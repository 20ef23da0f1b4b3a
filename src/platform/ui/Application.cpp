#include "platform/ui/Application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "platform/sys/Errors.h"
#include "platform/ui/Dialogs.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // Qt's own dialogs (file and folder choosers, printer set-up) speak French like the rest.
  auto* qt = new QTranslator(this);
  if (qt->load(QLocale(QLocale::French, QLocale::France), "qtbase", "_",
               QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    installTranslator(qt);
}

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
