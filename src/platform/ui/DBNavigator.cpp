#include "platform/ui/DBCtrls.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

#include "platform/ui/EventGuard.h"

// The navigator: first, previous, next and last record of its dataset.

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent) {
  auto* lay = new QHBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(0);
  const QStyle::StandardPixmap icons[4] = {QStyle::SP_MediaSkipBackward, QStyle::SP_MediaSeekBackward,
                                           QStyle::SP_MediaSeekForward, QStyle::SP_MediaSkipForward};
  const char* names[4] = {"First", "Prior", "Next", "Last"};
  const char* hints[4] = {"Premier enregistrement", "Enregistrement précédent", "Enregistrement suivant",
                          "Dernier enregistrement"};
  for (int i = 0; i < 4; ++i) {
    auto* b = new QToolButton(this);
    b->setObjectName(names[i]);
    b->setIcon(style()->standardIcon(icons[i]));
    b->setToolTip(QString::fromUtf8(hints[i]));
    b->setAutoRaise(false);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    const TNavigateBtn nb = TNavigateBtn(1u << i);
    connect(b, &QToolButton::clicked, this, [this, nb] { BtnClick(nb); });
    lay->addWidget(b);
    buttons_[i] = b;
  }
  UpdateButtons();
}

TDBNavigator::~TDBNavigator() { SetSource(nullptr); }

void TDBNavigator::SetVisibleButtons(unsigned buttons) {
  for (int i = 0; i < 4; ++i) buttons_[i]->setVisible(buttons & (1u << i));
}

QToolButton* TDBNavigator::Button(TNavigateBtn b) const {
  for (int i = 0; i < 4; ++i)
    if (b == (1u << i)) return buttons_[i];
  return nullptr;
}

void TDBNavigator::BtnClick(TNavigateBtn b) {
  TDataSet* ds = DataSet();
  if (!ds || !ds->Active()) return;
  GuardEvent([&] {
    switch (b) {
      case nbFirst: ds->First(); break;
      case nbPrior: ds->Prior(); break;
      case nbNext: ds->Next(); break;
      case nbLast: ds->Last(); break;
    }
  });
}

void TDBNavigator::UpdateButtons() {
  TDataSet* ds = DataSet();
  const bool active = ds && ds->Active();
  const bool browse = active && ds->State() == dsBrowse;
  const bool bof = !active || ds->Bof(), eof = !active || ds->Eof();
  buttons_[0]->setEnabled(active && !bof);
  buttons_[1]->setEnabled(active && !bof);
  buttons_[2]->setEnabled(active && !eof);
  buttons_[3]->setEnabled(active && !eof);
  (void)browse;
}
