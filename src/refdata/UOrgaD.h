// Titles per region: the regions as a tree whose children are the titles each receives, beside
// the titles the selected region does not receive yet.
#pragma once
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/ui/DBGrids.h"
#include "platform/ui/DataSource.h"
#include "shell/AppForm.h"

class TfrmOrgaD : public TAppForm {
  Q_OBJECT
 public:
  explicit TfrmOrgaD(QWidget* parent = nullptr);
  ~TfrmOrgaD() override;

  TTable OrgaD;
  TQuery qRegion, qTitre, myQuery;
  TDataSource dsModule, dsTitre;

  QTreeWidget* MyTv;
  TDBGrid* grdSource;
  QPushButton *btnUp, *btnDwn, *btnClose;
  QMenu* PopupMenu1;
  QAction *mnAdd, *mnRemove, *mnClose;
  TPanelStatusBar* stBar;

  // Node data: the level-0 nodes carry the region's code, the level-1 nodes the title's code.
  static constexpr int CodeRole = Qt::UserRole + 1;
  static QString GetNodeId(QTreeWidgetItem* node);

  void FormCreate();
  void LoadTree();
  void MyTvChange();
  void btnUpClick();
  void btnDwnClick();
  void ApplicationEvents1Idle();
  void mnCloseClick();
  void qTitreFilterRecord(TDataSet& ds, bool& accept);

 protected:
  void FormClose() override;
  void EscapePressed() override { Close(); }
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  QTreeWidgetItem* AddTitleNode(QTreeWidgetItem* region, const QString& id, int nord, const QString& titre);
  void ReadRegionTitles();  // what OrgaD, as filtered now, holds
  void RereadTitles();
  QSet<QString> regionTitles_;
};
