// The purge: deletes the takings, the unsold returns and the purchases of a period, then packs
// every table of the schema so that the deleted rows no longer take room.
#pragma once
#include <QDialog>

#include "platform/db/Query.h"
#include "platform/db/Table.h"

class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

class TfrmEpur : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmEpur(QWidget* owner = nullptr);

  QLabel* Label1;  // "Suppression des données : "
  QLabel* Label2;  // "Du : "
  QLabel* Label3;  // "Au : "
  QLineEdit* edDDeb;
  QLineEdit* edDFin;
  QToolButton* SpeedButton3;
  QToolButton* SpeedButton2;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
  QFrame* pnlProgress;
  QLabel* lblProgress;
  QProgressBar* ProgressBar1;
  TQuery myQuery;

  void SpeedButton3Click();
  void SpeedButton2Click();
  void BitBtn1Click();
  void BitBtn2Click();

  // The two steps of "Supprimer" once confirmed: the deletions of the period in one
  // transaction, then the pack of every table of the schema.
  void Purge(const QDate& from, const QDate& to);
  void PackAll();
};

// Packs an open table: it must be open, and open exclusively. Raises EDBEngineError otherwise
// or when the engine cannot pack it.
void PackTable(QWidget* window, TTable& table);
