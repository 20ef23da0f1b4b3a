// What the daily windows share beside the trade rules: their refusal text and the progress
// window of their long passes.
#pragma once
#include <QPointer>
#include <QString>
#include <QWidget>

inline const QString kNotNumber = "La quantité prise doit être numérique!";

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
