// What the daily windows share beside the trade rules: their refusal text and the progress
// window of their long passes.
#pragma once
#include <QPointer>
#include <QString>
#include <QWidget>

inline const QString kQuantityNotNumber = "La quantité prise doit être numérique!";

// "Annuler" with quantities typed and not yet stored: whether the operator agrees to drop them.
// Ctrl+Z is every editor's undo key, so a slip must not drop them unasked, and Enter (the hand
// is on it) answers "Non".
bool AgreesToDropTyping();

// The shared progress window of a pass, owned by the window that runs it, freed however the pass
// ends. It never takes the keys: the window, and the control that had them, keep them.
class PassProgress {
 public:
  PassProgress(QWidget* owner, const QString& caption, int max, bool show = true, const QString& message = {});
  ~PassProgress();
  PassProgress(const PassProgress&) = delete;
  PassProgress& operator=(const PassProgress&) = delete;
  void Show();
  // The gauge's new range, from 0, and its text, once the pass knows them.
  void Restart(const QString& caption, const QString& message, int max);
  void SetMessage(const QString& message);
  void SetValue(int v);
  void Step();
  // The control that gets the keys back at the end, instead of the one that had them.
  void GiveKeysTo(QWidget* w) {
    focus_ = w;
    given_ = true;
  }

 private:
  QPointer<QWidget> owner_, focus_;
  bool given_ = false;
};

#include <QAbstractButton>
#include <QDate>
#include <functional>
#include <initializer_list>
#include <optional>

#include "platform/ui/DBCtrls.h"
#include "platform/ui/DataSource.h"
#include "shell/AppForm.h"

// A day's takings window: while one of its long passes runs it takes no other command and cannot
// be closed; its commands are wired through Command.
class TDayForm : public TAppForm {
 public:
  using TAppForm::TAppForm;
  bool Busy() const { return busy_; }

 protected:
  // Runs a command unless a long pass is running; its failures end in the error box.
  void Command(const std::function<void()>& body);
  // Connects a signal to a command of the window.
  template <class Sender, class Signal, class Window>
  void OnCommand(Sender* sender, Signal signal, void (Window::*handler)()) {
    connect(sender, signal, this, [this, handler] { Command([this, handler] { (static_cast<Window*>(this)->*handler)(); }); });
  }
  // One command behind its controls: buttons (clicked), menu items (triggered), edit boxes
  // (their text changed).
  template <class Window>
  void OnCommand(std::initializer_list<QObject*> senders, void (Window::*handler)()) {
    for (QObject* s : senders)
      ConnectCommand(s, [this, handler] { (static_cast<Window*>(this)->*handler)(); });
  }
  // The day commands both windows have.
  virtual void btnPrevClick() = 0;
  virtual void btnNextClick() = 0;
  virtual void btnMenuClick() = 0;
  virtual void chkToutClick() = 0;
  // Wires the buttons of those commands, the "Toutes" box and the closing button.
  void WireDayControls(QAbstractButton* prev, QAbstractButton* next, QAbstractButton* menu, QAbstractButton* tout,
                       QAbstractButton* fermer);
  // The region box: a bold lookup on a region source, keyed by Id, showing Libelle.
  static TDBLookupComboBox* RegionBox(QWidget* parent, const QString& name, TDataSource* regions, const QRect& geometry);
  // The calendar opened on a day; the day chosen, none after "Annuler".
  static std::optional<QDate> AskCalendarDay(const QDate& current);
  // The date box's double-click: the command given, as the window's other commands run.
  bool DateDoubleClicked(QObject* o, QEvent* e, QObject* pnlDate, const std::function<void()>& command);
  void closeEvent(QCloseEvent* e) override;

  bool busy_ = false;

 private:
  void ConnectCommand(QObject* sender, const std::function<void()>& command);
};
