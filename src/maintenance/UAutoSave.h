// The backup at the program's end: every data table into one of the rotating archives
// ("ZELM_0.zip" onwards, kArchivesPerWeekday of them) in a folder of the data folder named after
// today's weekday.
#pragma once
#include <QWidget>

#include "maintenance/MaintCommon.h"

class QFrame;
class QLabel;
class QProgressBar;

class TfrmAutoSave : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmAutoSave(QWidget* owner = nullptr);
  QFrame* Panel1;
  QLabel* Label1;
  QProgressBar* ProgressBar1;
  TZipArchiver* ZipArchiver1;

  // Writes the archive; false when none was written (the reason has been shown).
  bool DoAutoSave();
  void ZipArchiver1Progress(ProgressType type, const QString& fileName, qint64 size);

  // How many archives a weekday folder rotates over ("ZELM_0.zip" onwards).
  static constexpr int kArchivesPerWeekday = 10;
  // The weekday folder of a date and the archive the rotation picks in it.
  static QString WeekdayFolder(const QDate& day);
  static QString ChooseArchive(const QString& folder);
  // Deletes what a backup killed while it wrote left in the weekday folders of a data folder;
  // until then it would stay there beside the archives.
  static void RemoveLeftovers(const QString& dataPath);

 protected:
  // Placed in the middle of its owner (of the screen without one) when it first shows.
  void showEvent(QShowEvent* event) override;

 private:
  TZipProgressBar progress_;
  bool placed_ = false;
};
