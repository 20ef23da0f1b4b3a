// The about box.
#pragma once
#include <QDialog>

class QLabel;

class TfrmSplashEx : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmSplashEx(QWidget* owner = nullptr);
  QLabel* lblVersion;
  QLabel* lblProduit;
  QLabel* lblSlogan;
  QLabel* lblAuteur;
  QLabel* Image1;
  QLabel* Image2;
};
