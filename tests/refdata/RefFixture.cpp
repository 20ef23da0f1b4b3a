#include "RefFixture.h"

#include <QDir>
#include <QFile>

#include "platform/ui/DBGrids.h"
#include "refdata/UClient.h"
#include "shell/global.h"

RefDataTest::RefDataTest() { CurrentListNo = 1; }

RefDataTest::~RefDataTest() = default;

QWidget* RefDataTest::Focused(QWidget* window) { return window->focusWidget(); }

void RefDataTest::CtrlClickRows(TDBGrid* grid, const std::vector<int>& recs) {
  for (int rec : recs) {
    const QRect r = grid->CellRect(0, rec);
    ASSERT_FALSE(r.isEmpty());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
  }
}

void RefDataTest::TypeNewClient(TfrmClient& w, const QString& name) {
  Click(w.btnAdd);
  w.edRs->setFocus();
  Type(name);
  w.cmbRegion->setFocus();
  Press(Qt::Key_Down);
  w.cmbSite->setFocus();
  Press(Qt::Key_Down);
}
