// The start-up window shown while the program loads.
#pragma once
#include <QWidget>

#include "controls/Gradient.h"
#include "controls/VxLabel.h"

class QFrame;
class QLabel;

class TfrmSplash : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmSplash(QWidget* owner = nullptr);
  QFrame* Panel1;
  TGradient* Gradient1;
  QLabel* Label1;
  TVxLabel* lblVersion;
};
