#include "platform/ui/Application.h"

#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "platform/sys/Errors.h"
#include "platform/ui/Dialogs.h"

namespace {
// The few texts of Qt's file choosers that its French translation lacks.
class QtFrenchSupplement : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char* = nullptr, int = -1) const override {
    if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return QString();
    static const QHash<QByteArray, QString> texts = {
        {"Drive", "Lecteur"}, {"Folder", "Dossier"}, {"Shortcut", "Raccourci"}, {"Unknown", "Inconnu"}};
    return texts.value(source);
  }
};
}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  InstallTextBoxKeyRule(this);  // Alt+letter types nothing in a text box: the window's command
  // Every widget speaks French whatever the machine's locale: month and day names of the date
  // pickers, the texts of Qt's own dialogs. Data never go through QLocale (their formats are our
  // own), so nothing stored or read changes with it.
  QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
  // Qt's own dialogs (file and folder choosers, printer set-up) speak French like the rest.
  auto* qt = new QTranslator(this);
  if (qt->load(QLocale(QLocale::French, QLocale::France), "qtbase", "_",
               QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    installTranslator(qt);
  installTranslator(new QtFrenchSupplement(this));
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
