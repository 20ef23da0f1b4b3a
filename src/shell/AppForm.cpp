#include "shell/AppForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>

#include "controls/Gradient.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"

TAppForm::TAppForm(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint);
}

void TAppForm::closeEvent(QCloseEvent* e) {
  bool ok = false;
  GuardEvent([&] {
    FormClose();
    ok = true;
  });
  if (!ok) {
    e->ignore();
    return;
  }
  closing_ = true;
  QDialog::closeEvent(e);
  closing_ = false;
}

void TAppForm::reject() {
  if (closing_) QDialog::reject();
  else EscapePressed();
}

void TAppForm::CenterOnScreen() {
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect g = s->availableGeometry();
    move(g.center() - QPoint(width() / 2, height() / 2));
  }
}

TPanelStatusBar::TPanelStatusBar(QWidget* parent, std::initializer_list<int> widths) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  for (int w : widths) {
    auto* l = new QLabel(this);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setFixedWidth(w);
    addWidget(l);
    Panels.push_back(l);
  }
}

QPushButton* GlyphButton(QWidget* parent, const QString& name, QStyle::StandardPixmap pix, const QString& hint) {
  auto* b = new QPushButton(parent);
  b->setObjectName(name);
  b->setIcon(parent->style()->standardIcon(pix));
  b->setIconSize(QSize(20, 20));
  b->setToolTip(hint);
  b->setAutoDefault(false);
  b->setFixedSize(34, 30);
  return b;
}

void MakeEditButtons(QWidget* panel, int x, int y, int step, QPushButton*& add, QPushButton*& del, QPushButton*& post,
                     QPushButton*& cancel) {
  add = GlyphButton(panel, "btnAdd", QStyle::SP_FileDialogNewFolder, "Ajouter");
  del = GlyphButton(panel, "btnDelete", QStyle::SP_TrashIcon, "Supprimer");
  post = GlyphButton(panel, "btnPost", QStyle::SP_DialogApplyButton, "Enregistrer");
  cancel = GlyphButton(panel, "btnCancel", QStyle::SP_DialogCancelButton, "Annuler");
  add->move(x, y);
  del->move(x + step, y);
  post->move(x + 2 * step, y);
  cancel->move(x + 3 * step, y);
}

TGradient* GradientBackground(QWidget* panel, const QRect& area) {
  auto* g = new TGradient(panel);
  g->setGeometry(area.isNull() ? panel->rect() : area);
  g->lower();
  return g;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, int w, int h) {
  auto* l = new QLabel(text, parent);
  if (w < 0) w = l->sizeHint().width() + 4;
  l->setGeometry(x, y, w, h);
  return l;
}

bool InEditOrInsert(const TDataSet& ds) { return ds.State() == dsEdit || ds.State() == dsInsert; }

void FollowEditState(const TDataSet& ds, QPushButton* add, QPushButton* del, QPushButton* post, QPushButton* cancel) {
  const bool editing = InEditOrInsert(ds);
  post->setEnabled(editing);
  cancel->setEnabled(editing);
  add->setEnabled(!editing);
  del->setEnabled(!editing);
}

bool ConfirmYesNo(const QString& text) {
  return MessageDlg(text, MsgDlgType::Confirmation, mbYes | mbNo) == ModalResult::Yes;
}

void Beep() { QApplication::beep(); }

void SetBold(QWidget* w, bool bold) {
  QFont f = w->font();
  f.setBold(bold);
  w->setFont(f);
}

void SetColors(QWidget* w, const QColor& background, const QColor& text) { SetWidgetColors(w, background, text); }

void MakeUpperCase(QLineEdit* e) {
  QObject::connect(e, &QLineEdit::textEdited, e, [e](const QString& t) {
    const QString u = t.toUpper();
    if (u != t) {
      const int pos = e->cursorPosition();
      e->setText(u);
      e->setCursorPosition(pos);
    }
  });
}

void InDataPath(TDataSet& ds) {
  auto point = [](TDataSet& d) {
    if (auto* t = dynamic_cast<TTable*>(&d)) t->SetDatabaseName(DataPath);
    else if (auto* q = dynamic_cast<TQuery*>(&d)) q->SetDatabaseName(DataPath);
  };
  point(ds);  // statements run without opening
  ds.BeforeOpen = point;
}

void OpenNamed(TDataSet& ds) {
  try {
    ds.Open();
  } catch (const EDBEngineError& e) {
    QStringList tables;
    if (auto* t = dynamic_cast<TTable*>(&ds)) {
      tables << t->TableName();
    } else if (auto* q = dynamic_cast<TQuery*>(&ds)) {
      static const QRegularExpression from(R"(\bFROM\s+(.+?)(\bWHERE\b|\bORDER\b|\bGROUP\b|$))",
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption);
      const QRegularExpressionMatch m = from.match(q->SQL.Text());
      if (m.hasMatch())
        for (const QString& part : m.captured(1).split(','))
          if (!part.trimmed().isEmpty()) tables << part.trimmed().section(QRegularExpression("\\s+"), 0, 0);
    }
    for (const QString& table : tables)
      if (e.Message().contains(table.section('.', 0, 0), Qt::CaseInsensitive)) throw;
    if (tables.isEmpty()) throw;
    throw EDBEngineError(e.ErrorCode(), e.Message() + "\nTable : " + tables.join(", "));
  }
}

QString FilterEq(const QString& field, const QString& value) {
  QString v = value;
  v.replace("'", "''");
  return field + "='" + v + "'";
}

QColor IntToColor(int v) { return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF); }

int ColorToInt(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

void TShapeCircle::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(color_);
  const int d = std::min(width(), height()) - 2;
  p.drawEllipse(QRect((width() - d) / 2, (height() - d) / 2, d, d));
}
