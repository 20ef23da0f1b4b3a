// The password dialog and the password requests of the component.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "zip/ZipArch.h"

TPasswordDlg::TPasswordDlg(QWidget* Owner, TPasswordButtons Buttons_) : QDialog(Owner) {
  const int count = 1 + (Buttons_.Contains(pwbCancel) ? 1 : 0) + (Buttons_.Contains(pwbCancelAll) ? 1 : 0) +
                    (Buttons_.Contains(pwbAbort) ? 1 : 0);
  setFixedSize(count * 124 + 35, 137);
  QFont f("Arial");
  f.setPixelSize(12);
  f.setBold(true);
  setFont(f);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
  if (QScreen* s = QGuiApplication::primaryScreen()) move(s->geometry().center() - rect().center());

  Label1 = new QLabel(this);
  Label1->setGeometry(20, 8, 297, 18);
  Edit1 = new QLineEdit(this);
  Edit1->setGeometry(20, 40, count * 124 - 10, Edit1->sizeHint().height());
  Edit1->setEchoMode(QLineEdit::Password);
  Edit1->setMaxLength(80);

  struct Def {
    TPasswordButton b;
    int ident;
    QStyle::StandardPixmap icon;
    ModalResult result;
  };
  const Def defs[] = {{pwbOk, 10152, QStyle::SP_DialogOkButton, ModalResult::OK},
                      {pwbCancel, 10153, QStyle::SP_DialogCancelButton, ModalResult::Cancel},
                      {pwbCancelAll, 10157, QStyle::SP_DialogNoButton, ModalResult::No},
                      {pwbAbort, 10158, QStyle::SP_DialogAbortButton, ModalResult::Abort}};
  int pos = 0;
  for (const Def& d : defs) {
    if (d.b != pwbOk && !Buttons_.Contains(d.b)) continue;
    auto* btn = new QPushButton(this);
    btn->setGeometry(20 + 124 * pos, 72, 114, 28);
    btn->setText(ZipStringTable(d.ident));
    btn->setIcon(style()->standardIcon(d.icon));
    btn->setObjectName(d.b == pwbOk ? "btnOK" : d.b == pwbCancel ? "btnCancel" : d.b == pwbCancelAll ? "btnCancelAll" : "btnAbort");
    const ModalResult r = d.result;
    connect(btn, &QPushButton::clicked, this, [this, r] {
      SetModalResult(this, r);
      done(r == ModalResult::OK ? QDialog::Accepted : QDialog::Rejected);
    });
    if (d.b == pwbOk) btn->setDefault(true);
    Buttons.push_back(btn);
    ++pos;
  }
}

QString TPasswordDlg::ShowForm(const QString& Title, const QString& Prompt) {
  setWindowTitle(Title);
  Label1->setText(Prompt);
  Edit1->setFocus();
  result_ = Dialogs().RunModal(this);
  return result_ == ModalResult::OK ? Edit1->text() : QString();
}

TPasswordButton TZipArchiver::AskPassword(const QString& Title, const QString& Prompt, TPasswordButtons Buttons,
                                          QString& Result) {
  TPasswordDlg dlg(qobject_cast<QWidget*>(QApplication::activeWindow()), Buttons);
  Result = dlg.ShowForm(Title, Prompt);
  switch (dlg.LastResult()) {
    case ModalResult::OK: return pwbOk;
    case ModalResult::Cancel: return pwbCancel;
    case ModalResult::No: return pwbCancelAll;
    default: return pwbAbort;
  }
}

QString TZipArchiver::GetAddPassword(TPasswordButton& Response) {
  Response = pwbOk;
  if (Unattended) {
    ShowZipMessage(10150, QString());
    return QString();
  }
  const QString title = LoadZipStr(10154, MissingStringText(10154).section('\n', 0, 0));
  QString first, second;
  Response = AskPassword(title, LoadZipStr(10155, QString()), {pwbCancel}, first);
  if (Response != pwbOk || first.isEmpty()) return QString();
  Response = AskPassword(title, LoadZipStr(10156, QString()), {pwbCancel}, second);
  if (Response != pwbOk || second.isEmpty()) return QString();
  if (first != second) {
    ShowZipMessage(10104, QString());
    return QString();
  }
  return first;
}

QString TZipArchiver::GetExtrPassword(TPasswordButton& Response) {
  Response = pwbOk;
  if (Unattended) {
    ShowZipMessage(10151, QString());
    return QString();
  }
  const QString title = LoadZipStr(10154, MissingStringText(10154).section('\n', 0, 0));
  QString pw;
  Response = AskPassword(title, LoadZipStr(10155, QString()), {pwbCancel, pwbCancelAll}, pw);
  return pw;
}
