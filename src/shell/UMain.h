// The main window: a frame with the menu, the tool buttons, the status bar and the tiled
// background picture, from which every other window opens.
#pragma once
#include <QImage>
#include <QKeySequence>
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

// The keys of the windows that code other than their menu entry opens by name. Each subsystem
// names the keys of its own windows beside its registration function (namespace WindowKey too).
namespace WindowKey {
// The report chooser, which the takings and returns windows open as well.
inline const QString Print = "TfrmPrint";
// Runs the automatic backup at close: shows TfrmAutoSave without modality, runs it, frees it.
inline const QString AutoSave = "TfrmAutoSave";
}  // namespace WindowKey

// Where a window's entry stands in the main menu. The entries of a menu come in the order of
// their group, then of their order within it; a separator stands between two groups.
struct TMenuPlace {
  QString menu;     // the menu's object name: "mnFichier", "mnTraitements", "mnOutils", "mnAideMenu"
  int group = 0;
  int order = 0;
  QString name;     // the entry's object name, "mnClients"
  QString caption;  // its text, "&" before the letter underlined
  int tag = 0;      // kept as its Tag property when not 0
  QKeySequence shortcut = {};
  bool enabled = true;
  bool visible = true;
};

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
  // Each subsystem registers its windows in a RegisterXxxWindows() function, which the program's
  // composition (src/app) calls before the main window is made; a window with a place gets its
  // menu entry there, for example:
  //   TfrmMain::RegisterWindow(WindowKey::Client, TfrmMain::ModalOpener<TfrmClient>(),
  //                            {"mnFichier", 1, 1, "mnClients", "&Clients", 105});
  // A main window builds its menu from the windows registered when it is made.
  static void RegisterWindow(const QString& key, Opener opener, const TMenuPlace& place);
  // Replaces the opener of a key and keeps its place, if any (a window without an entry, or a
  // stand-in in a test); a null opener takes the window away, place and all.
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
  // Run with it: clears what a backup at exit killed while it wrote left (maintenance sets it).
  static std::function<void(const QString& dataPath)> BackupLeftoversHook;
  // Run at creation once the data folder is there, found or just made, before anything in it is
  // read, made or changed: false ends the creation there (another copy holds the folder, or it
  // cannot be read), and the start refuses to go on.
  static std::function<bool(const QString& dataPath)> HoldDataFolderHook;
  // The program's own file; empty means the running executable (tests point it elsewhere).
  static QString ExeNameOverride;
  // The folder of the program's own file, ending in "/": what AppPath becomes at creation.
  static QString ProgramFolder();

  // --- components ---
  QMenuBar* MainMenu;
  QMenu *mnFichier, *mnTraitements, *mnOutils, *mnAideMenu;
  // The main window's own commands; the entries of registered windows are found by name.
  QAction *mnConfigImprimante, *mnQuitter, *mnControle, *mnMotDePasse, *mnSecurite, *mnChangerImage,
      *mnRestaurerImage, *mnAide, *mnAPropos;
  // The menu entry of that object name ("mnClients"), null when there is none.
  QAction* MenuEntry(const QString& name) const;
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
