// The main window: a frame with the menu, the tool buttons, the status bar and the tiled
// background picture, from which every other window opens.
#pragma once
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"

class QAction;
class QFrame;
class QMdiArea;
class QMenu;
class QMenuBar;
class QToolButton;

// Keys under which the subsystems register the windows that menu entries and tool buttons open.
namespace WindowKey {
inline const QString Client = "TfrmClient";
inline const QString Titres = "TfrmTitres";
inline const QString Liste = "TfrmListe";
inline const QString OrgaD = "TfrmOrgaD";
inline const QString Region = "TfrmRegion";
inline const QString Site = "TfrmSite";
inline const QString Imprim = "TfrmImprim";
inline const QString Print = "TfrmPrint";
inline const QString Disto1 = "TfrmDisto1";
inline const QString Disto = "TfrmDisto";
inline const QString Retour = "TfrmRetour";
inline const QString ListVCR = "TfrmListVCR";
inline const QString Ha = "TfrmHa";
inline const QString Sauvegarde = "TfrmSaveRestore.Sauvegarde";  // btnSave shown
inline const QString Restaure = "TfrmSaveRestore.Restaure";      // btnRestore shown
inline const QString Reindex = "Reindex";
inline const QString Epur = "TfrmEpur";
// Runs the automatic backup at close: shows TfrmAutoSave without modality, runs it, frees it.
inline const QString AutoSave = "TfrmAutoSave";
}  // namespace WindowKey

// The status bar with its four panels.
class TStatusBar : public QStatusBar {
  Q_OBJECT
 public:
  explicit TStatusBar(QWidget* parent);
  std::array<QLabel*, 4> Panels;
};

// The picture-open dialog: a filter written "description|patterns" and the chosen file.
struct TOpenPictureDialog {
  QString Filter;
  QString FileName;
  bool Execute(QWidget* parent);
};

class TfrmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // --- what the subsystems plug in ---
  using Opener = std::function<void()>;
  // An opener creates its window (owner: the application), shows it modally and frees it.
  // Each subsystem registers its openers in a RegisterXxxWindows() function, which the program's
  // composition (src/app) calls before the application starts, for example:
  //   TfrmMain::RegisterWindow(WindowKey::Client, TfrmMain::ModalOpener<TfrmClient>());
  static void RegisterWindow(const QString& key, Opener opener);
  // The usual opener: creates a W (a window that fails to build is reported and nothing opens),
  // lets prepare set it up, shows it modally and frees it.
  template <class W>
  static Opener ModalOpener(std::function<void(W*)> prepare = {}) {
    return [prepare] {
      std::unique_ptr<W> w;
      GuardEvent([&] { w.reset(new W(nullptr)); });
      if (!w) return;
      if (prepare) prepare(w.get());
      Dialogs().RunModal(w.get());
    };
  }
  static bool HasWindow(const QString& key);
  // Runs the opener of a key; false when none is registered yet (the entry does nothing).
  static bool OpenWindow(const QString& key);
  // The structure check of the data tables (DBCheckData, answering yes to every difference).
  // CreateTablesHook makes every table in a new data folder at the first start;
  // DatabaseCheckHook is the whole of "Contrôle de la base de données" on the data folder, its
  // closing message included. Both are the schema's when it is part of the program.
  static std::function<void(const QString& dataPath)> CreateTablesHook;
  static std::function<void(const QString& dataPath)> DatabaseCheckHook;
  // Run at start and at close before the leftover files go: completes a restore that was killed
  // while it replaced the tables and clears what a killed restore left (maintenance sets it; a
  // restore's copies are never among the engine's leftover files, since a copy still listed is
  // the only new state of its table).
  static std::function<void(const QString& dataPath)> InterruptedRestoreHook;
  // The program's own file; empty means the running executable (tests point it elsewhere).
  static QString ExeNameOverride;
  // The folder of the program's own file, ending in "/": what AppPath becomes at creation.
  static QString ProgramFolder();

  // --- components ---
  QMenuBar* MainMenu;
  QMenu *mnFichier, *mnTraitements, *mnOutils, *mnAideMenu;
  QAction *mnClients, *mnTitres, *mnListes, *mnOrgaD, *mnRegions, *mnSites, *mnImprimeries;
  QAction *mnImprimer, *mnConfigImprimante, *mnQuitter;
  QAction *mnPrises, *mnPrisesClient, *mnInvendus, *mnVersements, *mnAchats;
  QAction *mnSauvegarder, *mnRestaurer, *mnReindexation, *mnControle, *mnEpuration;
  QAction *mnMotDePasse, *mnSecurite, *mnChangerImage, *mnRestaurerImage;
  QAction *mnAide, *mnAPropos;
  QFrame* pnlButton;
  QToolButton *btnHa, *SpeedButton2, *btnPrise, *btnVCR, *btnClient, *btnDB, *SpeedButton3,
      *SpeedButton1, *btnFermer, *btnPrint;
  TStatusBar* stBar;
  QLabel* BackGround;  // hidden holder of the tile
  TOpenPictureDialog OpenPicDial;
  QMdiArea* ClientArea;

  // --- handlers ---
  void FormCreate();
  void FormShow();
  void FormClose();
  // Keys seen before the focused control; true when the key is consumed.
  bool FormShortCut(int key);
  void mnPrinterSetupClick();
  void mnControleClick();
  void mnAProposClick();
  void mnChangerImageClick();
  void mnRestaurerImageClick();

  // The session ends (the system shuts down, the user logs out): the open windows close as their
  // close buttons would (a record that can be stored is stored), then the closing sequence runs
  // without its backup question; questions on the way are answered unattended. Windows closing
  // one after the other leave their own loops first, so this returns before the end.
  void EndSession();
  bool Ending() const { return ending_; }

  void ClearReadOnly(const QString& folder);
  void DeleteLeftoverFiles();
  QImage Tile() const;
  // Rows and columns of tiles drawn for a window of the given outer size.
  static QSize TileGrid(const QSize& window, const QSize& tile);

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* obj, QEvent* e) override;

 private:
  void BuildMenu();
  void BuildButtons();
  void PaintBackground(QWidget* area);
  void LoadBackground(const QString& fileName);
  void CloseNextWindow();
  bool shown_ = false;
  bool ending_ = false;
};
