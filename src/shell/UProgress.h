// The shared progress window: the caller sets the caption, lProgress and the gauge, shows it
// without modality while it works, then frees it and resets frmProgress.
#pragma once
#include <QDialog>
#include <QPointer>

#include "controls/VxLabel.h"

class QFrame;
class QProgressBar;

class TfrmProgress : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmProgress(QWidget* owner = nullptr);
  TVxLabel* lProgress;
  QFrame* Panel1;
  QProgressBar* MyGauge;
};

extern QPointer<TfrmProgress> frmProgress;
