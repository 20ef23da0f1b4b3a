#include "maintenance/UAutoSave.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include "platform/sys/Clock.h"
#include "platform/sys/Files.h"
#include "platform/sys/Formats.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"
#include "shell/SessionEnd.h"

TfrmAutoSave::TfrmAutoSave(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint), progress_(nullptr) {
  setObjectName("frmAutoSave");
  setFixedSize(320, 64);
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Raised);
  Panel1->setGeometry(0, 0, 320, 64);
  Label1 = new QLabel("Sauvegarde en cours... Patientez", Panel1);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setGeometry(8, 8, 304, 20);
  ProgressBar1 = new QProgressBar(Panel1);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setGeometry(8, 34, 304, 18);
  ZipArchiver1 = new TZipArchiver(this);
  ZipArchiver1->setObjectName("ZipArchiver1");
  ZipArchiver1->OnProgress = [this](QObject*, ProgressType t, const QString& n, qint64 s) { ZipArchiver1Progress(t, n, s); };
  progress_ = TZipProgressBar(ProgressBar1);
  ProcessMessages();
}

void TfrmAutoSave::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (placed_ || event->spontaneous()) return;
  placed_ = true;
  // Without a frame the window manager gives it no place of its own: top-left of the screen.
  QRect area;
  if (QWidget* owner = parentWidget(); owner && owner->isVisible()) area = owner->window()->frameGeometry();
  else if (QScreen* s = screen()) area = s->availableGeometry();
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
}

QString TfrmAutoSave::WeekdayFolder(const QDate& day) { return DataPath + JoursSemaine[DayOfWeek(day)] + "/"; }

QString TfrmAutoSave::ChooseArchive(const QString& folder) {
  auto name = [&](int k) { return folder + "ZELM_" + QString::number(k) + ".zip"; };
  if (!FileExists(name(0))) return name(0);
  for (int k = 1; k < kArchivesPerWeekday; ++k)
    if (!FileExists(name(k))) return name(k);
  const QDateTime first = QFileInfo(name(0)).lastModified();
  for (int k = 1; k < kArchivesPerWeekday; ++k)
    if (QFileInfo(name(k)).lastModified() < first) return name(k);
  return name(0);
}

void TfrmAutoSave::RemoveLeftovers(const QString& dataPath) {
  // The names the writing of ZELM_k.zip gives its temporary file and the libraries' own beside it.
  const QStringList masks{".ZELM_[0-9].zip.*.part", ".ZELM_[0-9].zip.*.part.*"};
  for (int d = 1; d <= 7; ++d) {
    const QString folder = dataPath + JoursSemaine[d] + "/";
    for (const QString& n : QDir(folder).entryList(masks, QDir::Files | QDir::Hidden | QDir::CaseSensitive))
      QFile::remove(folder + n);
  }
}

bool TfrmAutoSave::DoAutoSave() {
  const QString folder = WeekdayFolder(Date());
  if (!DirectoryExists(folder) && !CreateDir(folder)) {
    MessageDlg("Impossible de créer le répertoire : " + folder + "\r", MsgDlgType::Error, mbOK);
    return false;
  }
  const QString target = ChooseArchive(folder);
  TEndOfSessionHold hold;
  SetScreenCursor(TCursor::crHourGlass);
  ProgressBar1->setMinimum(0);
  ProgressBar1->setValue(0);
  Label1->setText("Sauvegarde en cours ...");
  ProcessMessages();
  bool ok = false;
  try {
    ok = WriteTablesArchive(*ZipArchiver1, DataPath, target, false);
  } catch (...) {
    SetScreenCursor(TCursor::crDefault);
    throw;
  }
  ProcessMessages();
  SetScreenCursor(TCursor::crDefault);
  return ok;
}

void TfrmAutoSave::ZipArchiver1Progress(ProgressType type, const QString&, qint64 size) {
  progress_.Progress(type, size);
}
