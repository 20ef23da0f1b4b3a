// Every modal interaction goes through one service so that tests can script the answers.
#pragma once
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QDialog;
class QWidget;
class QPrinter;

// The program's one printer: the printer set-up chooses it and the reports print on it.
QPrinter& Printer();

// Page range and copies of a print dialog: offered from MinPage to MaxPage, chosen FromPage to
// ToPage (0 and 0: every page) in Copies copies.
struct TPrintRange {
  int MinPage = 1, MaxPage = 1, FromPage = 0, ToPage = 0, Copies = 1;
};

enum class ModalResult { None = 0, OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

enum class MsgDlgType { Warning, Error, Information, Confirmation, Custom };

// Buttons of a message box, combinable.
enum MsgDlgBtn : unsigned {
  mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8, mbAbort = 16, mbRetry = 32, mbIgnore = 64,
  // Not a button: with mbNo, "Non" is the one Enter presses (a question whose "Oui" loses typing).
  mbDefaultNo = 256
};
using MsgDlgButtons = unsigned;

// One question that was put to the user, as recorded by the scripted service.
struct AskedDialog {
  QString kind;      // "message", "modal", "openfile", "savefile", "folder", "printer"
  QString text;      // message text, window class name or dialog title
  MsgDlgType type = MsgDlgType::Information;
  MsgDlgButtons buttons = 0;
  QString caption;
};

class DialogService {
 public:
  virtual ~DialogService() = default;
  virtual ModalResult MessageBox(const QString& text, MsgDlgType type, MsgDlgButtons buttons,
                                 const QString& caption = QString()) = 0;
  // Runs a window modally (a QDialog is exec'd; any other widget is shown window-modal until it
  // closes). The window's own result is returned.
  virtual ModalResult RunModal(QWidget* window) = 0;
  // File and folder choices; an empty text means the user cancelled.
  virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& dir,
                               const QString& filter) = 0;
  virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& dir,
                               const QString& filter) = 0;
  virtual QString FolderName(QWidget* parent, const QString& title, const QString& dir) = 0;
  // The printer dialog; true when the user confirmed.
  virtual bool PrinterSetup(QWidget* parent) = 0;
  // The print dialog of a job on a printer; true when confirmed, with the choices in range and
  // the chosen printer set up.
  virtual bool PrintDialog(QWidget* parent, QPrinter& printer, TPrintRange& range);
};

DialogService& Dialogs();
// Installs a service (tests); nullptr restores the desktop one. The caller keeps ownership.
void SetDialogs(DialogService* service);

// The usual message box calls, through the service.
ModalResult MessageDlg(const QString& text, MsgDlgType type, MsgDlgButtons buttons);
// A file filter written "description|patterns|description|patterns" (patterns separated by ";")
// as the file dialogs take it: "description (patterns)" entries separated by ";;". The patterns
// are offered in both cases, since names on this system are case-sensitive.
QString FileDialogFilter(const QString& filter);
// French button texts of the message boxes.
QString ButtonText(MsgDlgBtn b);

// Result a modal window reports when it closes (kept on the widget).
void SetModalResult(QWidget* window, ModalResult r);
ModalResult GetModalResult(QWidget* window);
// Closes a modal window with its result: OK and Yes accept it, anything else rejects it.
void EndModal(QDialog* window, ModalResult r);

// Answers every question itself, for when nobody is there (the session is ending): messages go
// to the error output; a question is answered Yes (to store what was typed) or OK where offered,
// else No; windows are not shown; file and printer dialogs are cancelled.
class UnattendedDialogs : public DialogService {
 public:
  ModalResult MessageBox(const QString& text, MsgDlgType type, MsgDlgButtons buttons,
                         const QString& caption) override;
  ModalResult RunModal(QWidget* window) override;
  QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString FolderName(QWidget*, const QString&, const QString&) override { return {}; }
  bool PrinterSetup(QWidget*) override { return false; }
};

// Answers and records questions in tests. Message boxes take the next queued answer (or the
// default: OK when offered, else a default "Non", else Yes); modal windows are shown, handed to
// the next queued handler, and closed with what it returns.
class ScriptedDialogs : public DialogService {
 public:
  using ModalHandler = std::function<ModalResult(QWidget*)>;
  ScriptedDialogs();
  ~ScriptedDialogs() override;

  void QueueAnswer(ModalResult r) { answers_.push_back(r); }
  void QueueModal(ModalHandler h) { modals_.push_back(std::move(h)); }
  void QueueFileName(const QString& name) { files_.push_back(name); }
  void QueuePrinter(bool ok) { printers_.push_back(ok); }
  // Answers the next printer set-up or print dialog as a person would: sets the printer and the
  // range, returns whether the dialog is confirmed (before any queued QueuePrinter answer).
  using PrinterHandler = std::function<bool(QPrinter&, TPrintRange&)>;
  void QueuePrinterHandler(PrinterHandler h) { printerHandlers_.push_back(std::move(h)); }

  const std::vector<AskedDialog>& Asked() const { return asked_; }
  QStringList Messages() const;  // texts of the message boxes, in order
  void Clear() { asked_.clear(); }

  ModalResult MessageBox(const QString& text, MsgDlgType type, MsgDlgButtons buttons,
                         const QString& caption) override;
  ModalResult RunModal(QWidget* window) override;
  QString OpenFileName(QWidget*, const QString& title, const QString&, const QString&) override;
  QString SaveFileName(QWidget*, const QString& title, const QString&, const QString&) override;
  QString FolderName(QWidget*, const QString& title, const QString&) override;
  bool PrinterSetup(QWidget*) override;
  bool PrintDialog(QWidget*, QPrinter& printer, TPrintRange& range) override;

 private:
  std::deque<ModalResult> answers_;
  std::deque<ModalHandler> modals_;
  std::deque<QString> files_;
  std::deque<bool> printers_;
  std::deque<PrinterHandler> printerHandlers_;
  bool NextPrinterAnswer(QPrinter& printer, TPrintRange& range);
  // Notes the file or folder chooser asked for and answers with the next queued name (none: cancelled).
  QString NextFileName(const char* kind, const QString& title);
  std::vector<AskedDialog> asked_;
};
