// The start-up window shown while the program loads.
#pragma once
#include <QWidget>

class QFrame;
class QLabel;

class TfrmSplash : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmSplash(QWidget* owner = nullptr);
  QFrame* Panel1;
  QLabel* Label1;
  QLabel* lblVersion;
};
