// The about box.
#pragma once
#include <QDialog>

#include "controls/Gradient.h"
#include "controls/VxLabel.h"

class QLabel;

class TfrmSplashEx : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmSplashEx(QWidget* owner = nullptr);
  TGradient* Gradient1;
  TVxLabel* lblVersion;
  QLabel* lblProduit;
  TVxLabel* lblSlogan;
  QLabel* lblAuteur;
  QLabel* Image1;
  QLabel* Image2;
};
