#include "operations/UModifPrise.h"

#include "controls/Gradient.h"
#include "operations/Quantity.h"
#include "shell/global.h"

TfrmModifPrise::TfrmModifPrise(QWidget* parent) : TAppForm(parent), dsDisto(&Disto) {
  setObjectName("frmModifPrise");
  setWindowTitle("Modification de prise");
  Disto.Name = "Disto";
  Disto.SetTableName("Disto.db");
  Disto.SetIndexFieldNames("DateJ;Id_Client;Id_Titre");
  InDataPath(Disto);
  Disto.BeforePost = [this](TDataSet&) { DistoBeforePost(); };
  // A row added here would have no client, title or day: the window corrects, it does not add.
  Disto.BeforeInsert = [](TDataSet&) { Abort(); };

  setFixedSize(250, 260);  // wide enough for the whole caption in the title bar
  DBGrid1 = new TDBGrid(this);
  DBGrid1->setObjectName("DBGrid1");
  DBGrid1->setGeometry(0, 0, 250, 200);
  QFont f("Verdana");
  f.setPixelSize(13);
  DBGrid1->setFont(f);
  DBGrid1->SetTitleFont(font());
  DBGrid1->SetOptions(dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                      dgAlwaysShowSelection | dgConfirmDelete);
  TColumn& date = DBGrid1->AddColumn("DateJ", "Date", 77);
  date.Alignment = Qt::AlignHCenter;
  date.TitleAlignment = Qt::AlignHCenter;
  date.ReadOnly = true;
  date.Color = RGBColor(0xE6E6E6);
  TColumn& qte = DBGrid1->AddColumn("Qte_Prise", "Prise", 80);
  qte.TitleAlignment = Qt::AlignRight;
  qte.Alignment = Qt::AlignRight;
  DBGrid1->SetDataSource(&dsDisto);
  DBGrid1->OnKeyPress = [](TDBGrid*, QChar& key) {
    // Digits only in the quantity; control keys go through.
    if (key.unicode() >= 32 && (key < '0' || key > '9')) key = QChar();
  };

  Gradient1 = new TGradient(this);
  Gradient1->setObjectName("Gradient1");
  Gradient1->setGeometry(0, 200, 250, 60);
  Gradient1->SetColorEnd(RGB(0xC0, 0xC0, 0xC0));
  Gradient1->SetReverse(true);
  Gradient1->SetStyle(TGradientStyle::gsReflectedH);
  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "&Fermer", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setAutoDefault(false);
  BitBtn1->setGeometry(80, 215, 90, 28);
  BitBtn1->raise();
  connect(BitBtn1, &QPushButton::clicked, this, [this] { Close(); });

  CenterOnScreen();
  FormCreate();
}

TfrmModifPrise::~TfrmModifPrise() { DBGrid1->SetDataSource(nullptr); }

void TfrmModifPrise::FormCreate() {
  Disto.Open();
  DBGrid1->SetSelectedIndex(1);  // the quantity: the date cannot be typed into
}

void TfrmModifPrise::DistoBeforePost() {
  TField* f = Disto.FieldByName("Qte_Prise");
  int v = 0;
  if (f->IsNull() || !ParseQuantity(f->AsString(), v)) {
    ShowError("La quantité prise doit être un nombre entier positif !");
    Abort();
  }
}

void TfrmModifPrise::FormClose() {
  if (Disto.State() == dsEdit || Disto.State() == dsInsert) {
    DBGrid1->SetEditorMode(false);  // the typing goes into the row first
    if (DBGrid1->EditorMode()) Abort();  // refused, with its message: stay on it
    Disto.Post();
  }
  Disto.Close();
}
