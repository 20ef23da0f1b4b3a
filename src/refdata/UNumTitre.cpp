#include "refdata/UNumTitre.h"

#include <cstdint>
#include <limits>

#include "platform/ui/Canvas.h"
#include "shell/global.h"

TfrmNumTitre::TfrmNumTitre(QWidget* parent) : TAppForm(parent), dsTitre(&Titre) {
  setObjectName("frmNumTitre");
  setWindowTitle("Numérotation des périodiques");
  Titre.Name = "Titre";
  Titre.SetTableName("Titre.DB");
  InDataPath(Titre);
  Titre.AfterPost = [this](TDataSet&) { DbiSaveChanges(Titre); };
  Titre.BeforeDelete = [](TDataSet&) { Abort(); };

  setFixedSize(420, 400);
  GradientBackground(this, QRect(0, 0, 420, 378));
  grdTitre = new TDBGrid(this);
  grdTitre->setObjectName("grdTitre");
  grdTitre->setGeometry(8, 8, 404, 310);
  grdTitre->SetOptions(dgEditing | dgTitles | dgIndicator | dgColLines | dgRowLines | dgTabs | dgAlwaysShowSelection);
  TColumn& id = grdTitre->AddColumn("Id", "Code", 50);
  id.ReadOnly = true;
  id.Color = RGBColor(0xECEBEA);
  TColumn& titre = grdTitre->AddColumn("Titre", "Titre", 230);
  titre.ReadOnly = true;
  titre.Color = RGBColor(0xECEBEA);
  TColumn& num = grdTitre->AddColumn("Num", "Numéro", 80);
  num.Bold = true;
  num.Alignment = Qt::AlignRight;
  grdTitre->SetDataSource(&dsTitre);

  btnPlus = new QPushButton("Augmenter", this);
  btnPlus->setObjectName("btnPlus");
  btnPlus->setGeometry(8, 328, 110, 30);
  btnMinus = new QPushButton("Diminuer", this);
  btnMinus->setObjectName("btnMinus");
  btnMinus->setGeometry(124, 328, 110, 30);
  btnClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "&Fermer", this);
  btnClose->setObjectName("btnClose");
  btnClose->setGeometry(302, 328, 110, 30);
  for (QPushButton* b : {btnPlus, btnMinus, btnClose}) b->setAutoDefault(false);
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setGeometry(0, 378, 420, 22);

  OnClick(btnPlus, this, &TfrmNumTitre::btnPlusClick);
  OnClick(btnMinus, this, &TfrmNumTitre::btnMinusClick);
  connect(btnClose, &QPushButton::clicked, this, [this] { Close(); });
  CenterOnScreen();
  FormCreate();
}

TfrmNumTitre::~TfrmNumTitre() { grdTitre->SetDataSource(nullptr); }

void TfrmNumTitre::FormCreate() {
  Titre.SetFilter("PERIODE<>'0'");
  Titre.SetFiltered(true);
  OpenNamed(Titre);
  Titre.First();
}

void TfrmNumTitre::Renumber(int delta) {
  Titre.CheckBrowseMode();
  Titre.DisableControls();
  try {
    Titre.First();
    while (!Titre.Eof()) {
      const int n = Titre.FieldByName("Num")->AsInteger;
      // A number at either end of its range stays: 1 going down, the field's largest going up
      // (it would come round as a negative number).
      if ((delta > 0 && n < std::numeric_limits<int32_t>::max()) || (delta < 0 && n > 1)) {
        Titre.Edit();
        Titre.FieldByName("Num")->AsInteger = n + delta;
        Titre.Post();
      }
      Titre.Next();
    }
    Titre.First();
  } catch (...) {
    Titre.EnableControls();
    throw;
  }
  Titre.EnableControls();
}

void TfrmNumTitre::btnPlusClick() { Renumber(1); }

void TfrmNumTitre::btnMinusClick() { Renumber(-1); }

void TfrmNumTitre::FormClose() {
  if (InEditOrInsert(Titre)) Titre.Post();
  Titre.Close();
}
