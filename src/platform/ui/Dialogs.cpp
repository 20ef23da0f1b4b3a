#include "platform/ui/Dialogs.h"

#include "platform/sys/Formats.h"

#include <algorithm>
#include <cstdio>

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTreeView>
#include <memory>

namespace {

const char* kModalResultProp = "zelmModalResult";

struct ButtonDef {
  MsgDlgBtn flag;
  ModalResult result;
  QMessageBox::ButtonRole role;
};
const ButtonDef kButtons[] = {
    {mbYes, ModalResult::Yes, QMessageBox::YesRole},
    {mbNo, ModalResult::No, QMessageBox::NoRole},
    {mbOK, ModalResult::OK, QMessageBox::AcceptRole},
    {mbCancel, ModalResult::Cancel, QMessageBox::RejectRole},
    {mbAbort, ModalResult::Abort, QMessageBox::RejectRole},
    {mbRetry, ModalResult::Retry, QMessageBox::AcceptRole},
    {mbIgnore, ModalResult::Ignore, QMessageBox::AcceptRole},
};

QString DefaultCaption(MsgDlgType t) {
  switch (t) {
    case MsgDlgType::Warning: return "Avertissement";
    case MsgDlgType::Error: return "Erreur";
    case MsgDlgType::Information: return "Information";
    case MsgDlgType::Confirmation: return "Confirmation";
    default: return QApplication::applicationName();
  }
}

// The size and date columns of the choosers: Qt writes them in the machine's own language
// whatever the program's, so they are written here in French.
class FrenchFileColumns : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  QVariant data(const QModelIndex& index, int role) const override {
    auto* fs = qobject_cast<QFileSystemModel*>(sourceModel());
    if (fs && role == Qt::DisplayRole && (index.column() == 1 || index.column() == 3)) {
      const QModelIndex s = mapToSource(index);
      if (index.column() == 3) {
        const QDateTime t = fs->lastModified(s);
        return t.isValid() ? DateTimeToStr(t) : QString();
      }
      if (!fs->isDir(s)) return QLocale(QLocale::French, QLocale::France).formattedDataSize(fs->size(s));
    }
    return QIdentityProxyModel::data(index, role);
  }
};

// Sizes and dates in French in a chooser of Qt's, with room for the French type of a picture, the
// whole date and its heading.
void FrenchColumns(QFileDialog* d) {
  d->setProxyModel(new FrenchFileColumns(d));
  if (auto* view = d->findChild<QTreeView*>("treeView")) {
    const QFontMetrics fm(view->header()->font());
    QHeaderView* h = view->header();
    h->resizeSection(2, std::max(h->sectionSize(2), fm.horizontalAdvance("image BMP Windows") + 24));
    const int date = std::max(fm.horizontalAdvance("00/00/0000 00:00"), fm.horizontalAdvance("Dernière modification"));
    h->resizeSection(3, std::max(h->sectionSize(3), date + 24));
  }
  d->resize(std::max(d->sizeHint().width(), 800), std::max(d->sizeHint().height(), 440));
}

enum class FileChoice { Open, Save, Folder };

// Qt's own dialog whatever the desktop (a native one speaks the machine's language), its sizes
// and dates in French.
QFileDialog* NewFileDialog(FileChoice kind, QWidget* parent, const QString& title, const QString& dir,
                           const QString& filter) {
  auto* d = new QFileDialog(parent, title, dir, filter);
  d->setOption(QFileDialog::DontUseNativeDialog);
  switch (kind) {
    case FileChoice::Open: d->setFileMode(QFileDialog::ExistingFile); break;
    case FileChoice::Save: d->setAcceptMode(QFileDialog::AcceptSave); break;
    case FileChoice::Folder:
      d->setFileMode(QFileDialog::Directory);
      d->setOption(QFileDialog::ShowDirsOnly);
      break;
  }
  FrenchColumns(d);
  return d;
}

// While a print dialog is open, the chooser Qt opens from it for the output file (its "..." button)
// is made like the program's own: Qt opens it itself, so it is caught as it is shown, and Qt's
// widgets are used rather than the desktop's for it.
class PrintDialogChoosers : public QObject {
 public:
  PrintDialogChoosers() : nativeBefore_(QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs)) {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    qApp->installEventFilter(this);
  }
  ~PrintDialogChoosers() override {
    qApp->removeEventFilter(this);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, nativeBefore_);
  }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show)
      if (auto* d = qobject_cast<QFileDialog*>(o); d && !d->proxyModel()) FrenchColumns(d);
    return false;
  }

 private:
  bool nativeBefore_;
};

QString Choose(FileChoice kind, QWidget* p, const QString& title, const QString& dir, const QString& filter) {
  std::unique_ptr<QFileDialog> d(NewFileDialog(kind, p, title, dir, filter));
  if (d->exec() != QDialog::Accepted) return QString();
  return d->selectedFiles().value(0);
}

class DesktopDialogs : public DialogService {
 public:
  ModalResult MessageBox(const QString& text, MsgDlgType type, MsgDlgButtons buttons,
                         const QString& caption) override {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption.isEmpty() ? DefaultCaption(type) : caption);
    QString t = text;
    t.replace("\r\n", "\n").replace('\r', '\n');
    box.setText(t);
    switch (type) {
      case MsgDlgType::Warning: box.setIcon(QMessageBox::Warning); break;
      case MsgDlgType::Error: box.setIcon(QMessageBox::Critical); break;
      case MsgDlgType::Information: box.setIcon(QMessageBox::Information); break;
      case MsgDlgType::Confirmation: box.setIcon(QMessageBox::Question); break;
      default: break;
    }
    if (buttons == 0) buttons = mbOK;
    std::vector<std::pair<QAbstractButton*, ModalResult>> map;
    for (const auto& b : kButtons) {
      if (buttons & b.flag) {
        QPushButton* pb = box.addButton(ButtonText(b.flag), b.role);
        map.emplace_back(pb, b.result);
        if (map.size() == 1 || (b.flag == mbNo && (buttons & mbDefaultNo))) box.setDefaultButton(pb);
      }
    }
    box.exec();
    for (auto& [btn, r] : map)
      if (box.clickedButton() == btn) return r;
    return (buttons & mbCancel) ? ModalResult::Cancel : ModalResult::None;
  }

  ModalResult RunModal(QWidget* w) override {
    SetModalResult(w, ModalResult::None);
    if (auto* dlg = qobject_cast<QDialog*>(w)) {
      const int rc = dlg->exec();
      ModalResult r = GetModalResult(w);
      if (r == ModalResult::None) r = rc == QDialog::Accepted ? ModalResult::OK : ModalResult::Cancel;
      return r;
    }
    QPointer<QWidget> guard(w);
    w->setWindowModality(Qt::ApplicationModal);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->show();
    QEventLoop loop;
    struct Watcher : QObject {
      QEventLoop* loop;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Hide || e->type() == QEvent::Close) loop->quit();
        return false;
      }
    } watcher;
    watcher.loop = &loop;
    w->installEventFilter(&watcher);
    QObject::connect(w, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
    if (!guard) return ModalResult::None;
    w->removeEventFilter(&watcher);
    return GetModalResult(w);
  }

  QString OpenFileName(QWidget* p, const QString& title, const QString& dir, const QString& filter) override {
    return Choose(FileChoice::Open, p, title, dir, filter);
  }
  QString SaveFileName(QWidget* p, const QString& title, const QString& dir, const QString& filter) override {
    return Choose(FileChoice::Save, p, title, dir, filter);
  }
  QString FolderName(QWidget* p, const QString& title, const QString& dir) override {
    return Choose(FileChoice::Folder, p, title, dir, QString());
  }
  // On the program's printer, so that the choice is kept for the reports.
  bool PrinterSetup(QWidget* p) override {
    QPrintDialog dlg(&Printer(), p);
    PrintDialogChoosers choosers;
    return dlg.exec() == QDialog::Accepted;
  }
};

DesktopDialogs g_desktop;
DialogService* g_service = nullptr;

}  // namespace

QPrinter& Printer() {
  // Never destroyed: a printer must not outlive the application object's end in a destructor.
  static QPrinter* printer = new QPrinter(QPrinter::HighResolution);
  return *printer;
}

bool DialogService::PrintDialog(QWidget* parent, QPrinter& printer, TPrintRange& range) {
  QPrintDialog dlg(&printer, parent);
  dlg.setOption(QAbstractPrintDialog::PrintPageRange, true);
  dlg.setMinMax(range.MinPage, range.MaxPage);
  printer.setFromTo(range.FromPage, range.ToPage);
  printer.setCopyCount(range.Copies);
  PrintDialogChoosers choosers;
  if (dlg.exec() != QDialog::Accepted) return false;
  range.FromPage = dlg.printRange() == QAbstractPrintDialog::PageRange ? printer.fromPage() : 0;
  range.ToPage = dlg.printRange() == QAbstractPrintDialog::PageRange ? printer.toPage() : 0;
  range.Copies = printer.copyCount();
  return true;
}

DialogService& Dialogs() { return g_service ? *g_service : g_desktop; }
void SetDialogs(DialogService* s) { g_service = s; }

ModalResult MessageDlg(const QString& text, MsgDlgType type, MsgDlgButtons buttons) {
  return Dialogs().MessageBox(text, type, buttons);
}

QString FileDialogFilter(const QString& filter) {
  if (!filter.contains('|')) return filter;
  const QStringList parts = filter.split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString desc = parts[i].trimmed();
    if (const int paren = desc.lastIndexOf('('); paren > 0 && desc.endsWith(')')) desc = desc.left(paren).trimmed();
    QStringList pats;
    for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      const QString t = p.trimmed();
      for (const QString& v : {t, t.toLower(), t.toUpper()})
        if (!pats.contains(v)) pats << v;
    }
    out << desc + " (" + pats.join(' ') + ")";
  }
  return out.join(";;");
}

QString ButtonText(MsgDlgBtn b) {
  switch (b) {
    case mbYes: return "&Oui";
    case mbNo: return "&Non";
    case mbOK: return "OK";
    case mbCancel: return "Annuler";
    case mbAbort: return "&Abandonner";
    case mbRetry: return "&Réessayer";
    case mbIgnore: return "&Ignorer";
    case mbDefaultNo: break;  // not a button
  }
  return QString();
}

void SetModalResult(QWidget* w, ModalResult r) { w->setProperty(kModalResultProp, int(r)); }
void EndModal(QDialog* w, ModalResult r) {
  SetModalResult(w, r);
  w->done(r == ModalResult::OK || r == ModalResult::Yes ? QDialog::Accepted : QDialog::Rejected);
}
ModalResult GetModalResult(QWidget* w) {
  const QVariant v = w->property(kModalResultProp);
  return v.isValid() ? ModalResult(v.toInt()) : ModalResult::None;
}

// ---- unattended service ----

ModalResult UnattendedDialogs::MessageBox(const QString& text, MsgDlgType type, MsgDlgButtons buttons,
                                          const QString& caption) {
  QString t = text;
  t.replace("\r\n", "\n").replace('\r', '\n');
  fprintf(stderr, "%s: %s\n", qPrintable(caption.isEmpty() ? DefaultCaption(type) : caption), qPrintable(t));
  if (buttons & mbYes) return ModalResult::Yes;
  if (buttons == 0 || (buttons & mbOK)) return ModalResult::OK;
  if (buttons & mbNo) return ModalResult::No;
  return ModalResult::Cancel;
}

ModalResult UnattendedDialogs::RunModal(QWidget* w) {
  SetModalResult(w, ModalResult::Cancel);
  return ModalResult::Cancel;
}

// ---- scripted service ----

ScriptedDialogs::ScriptedDialogs() = default;
ScriptedDialogs::~ScriptedDialogs() = default;

QStringList ScriptedDialogs::Messages() const {
  QStringList out;
  for (const auto& a : asked_)
    if (a.kind == "message") out << a.text;
  return out;
}

ModalResult ScriptedDialogs::MessageBox(const QString& text, MsgDlgType type, MsgDlgButtons buttons,
                                        const QString& caption) {
  asked_.push_back({"message", text, type, buttons, caption});
  if (!answers_.empty()) {
    ModalResult r = answers_.front();
    answers_.pop_front();
    return r;
  }
  if (buttons == 0 || (buttons & mbOK)) return ModalResult::OK;
  if ((buttons & mbNo) && (buttons & mbDefaultNo)) return ModalResult::No;
  if (buttons & mbYes) return ModalResult::Yes;
  return ModalResult::Cancel;
}

ModalResult ScriptedDialogs::RunModal(QWidget* w) {
  asked_.push_back({"modal", w->metaObject()->className(), MsgDlgType::Custom, 0, w->windowTitle()});
  SetModalResult(w, ModalResult::None);
  QPointer<QWidget> guard(w);
  w->show();
  QApplication::processEvents();
  ModalResult r = ModalResult::Cancel;
  if (!modals_.empty()) {
    ModalHandler h = std::move(modals_.front());
    modals_.pop_front();
    r = h(w);
  }
  if (guard) {
    const ModalResult own = GetModalResult(w);
    if (own != ModalResult::None) r = own;
    if (w->isVisible()) w->close();
    w->hide();
  }
  return r;
}

QString ScriptedDialogs::NextFileName(const char* kind, const QString& title) {
  asked_.push_back({kind, title, MsgDlgType::Custom, 0, {}});
  if (files_.empty()) return QString();
  QString f = files_.front();
  files_.pop_front();
  return f;
}

QString ScriptedDialogs::OpenFileName(QWidget*, const QString& title, const QString&, const QString&) {
  return NextFileName("openfile", title);
}

QString ScriptedDialogs::SaveFileName(QWidget*, const QString& title, const QString&, const QString&) {
  return NextFileName("savefile", title);
}

QString ScriptedDialogs::FolderName(QWidget*, const QString& title, const QString&) {
  return NextFileName("folder", title);
}

bool ScriptedDialogs::NextPrinterAnswer(QPrinter& printer, TPrintRange& range) {
  if (!printerHandlers_.empty()) {
    PrinterHandler h = std::move(printerHandlers_.front());
    printerHandlers_.pop_front();
    return h(printer, range);
  }
  if (printers_.empty()) return false;
  bool b = printers_.front();
  printers_.pop_front();
  return b;
}

bool ScriptedDialogs::PrintDialog(QWidget*, QPrinter& printer, TPrintRange& range) {
  asked_.push_back({"print", QString("%1-%2 x%3").arg(range.MinPage).arg(range.MaxPage).arg(range.Copies),
                    MsgDlgType::Custom, 0, {}});
  return NextPrinterAnswer(printer, range);
}

bool ScriptedDialogs::PrinterSetup(QWidget*) {
  asked_.push_back({"printer", {}, MsgDlgType::Custom, 0, {}});
  if (!printerHandlers_.empty()) {
    TPrintRange unused;
    return NextPrinterAnswer(Printer(), unused);
  }
  if (printers_.empty()) return false;
  bool b = printers_.front();
  printers_.pop_front();
  return b;
}
