#include "platform/ui/Application.h"

#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "platform/sys/Errors.h"
#include "platform/ui/Dialogs.h"

namespace {
// The texts of Qt's own dialogs (file choosers, print dialog and its printer properties) that its
// French translation lacks, by the context Qt looks them up in.
class QtFrenchSupplement : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char* = nullptr, int = -1) const override {
    static const QHash<QByteArray, QHash<QByteArray, QString>> texts = {
        {"QAbstractFileIconProvider",
         {{"Drive", "Lecteur"}, {"Folder", "Dossier"}, {"Shortcut", "Raccourci"}, {"Unknown", "Inconnu"}}},
        {"QPrintSettingsOutput",
         {{"Double Sided Printing", "Impression recto verso"},
          {"Off", "Non"},
          {"Long side binding", "Reliure côté long"},
          {"Short side binding", "Reliure côté court"},
          {"Specify pages or ranges separated by commas. Ranges are specified by two numbers separated by a "
           "hyphen. E.g: 3,5-7,9 prints pages 3, 5, 6, 7 and 9.",
           "Indiquez des pages ou des plages séparées par des virgules ; une plage s'écrit avec deux numéros "
           "séparés par un tiret. Par exemple, 3,5-7,9 imprime les pages 3, 5, 6, 7 et 9."}}},
        {"QPrintPropertiesDialog",
         {{"Printer Properties", "Propriétés de l'imprimante"},
          {"Page Setup Conflicts", "Conflits dans la mise en page"},
          {"There are conflicts in page setup options. Do you want to fix them?",
           "Des options de mise en page sont en conflit. Voulez-vous les corriger ?"},
          {"Advanced Option Conflicts", "Conflits dans les options avancées"},
          {"There are conflicts in some advanced options. Do you want to fix them?",
           "Des options avancées sont en conflit. Voulez-vous les corriger ?"}}},
        {"QPrintPropertiesWidget",
         {{"Advanced", "Avancé"},
          {"There are conflicts in some options. Please fix them.",
           "Des options sont en conflit. Veuillez les corriger."}}},
        {"QPrintDialog",
         {{"Invalid Pages Definition", "Pages mal indiquées"},
          {"%1 does not follow the correct syntax. Please use ',' to separate ranges and pages, '-' to define "
           "ranges and make sure ranges do not intersect with each other.",
           "%1 n'est pas écrit correctement : séparez les pages et les plages par des virgules, écrivez une "
           "plage avec un tiret et veillez à ce que les plages ne se chevauchent pas."},
          {"Duplex Settings Conflicts", "Conflits dans le recto verso"},
          {"There are conflicts in duplex settings. Do you want to fix them?",
           "Les réglages du recto verso sont en conflit. Voulez-vous les corriger ?"}}},
    };
    const auto c = texts.constFind(QByteArray(context));
    return c == texts.cend() ? QString() : c->value(QByteArray(source));
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
