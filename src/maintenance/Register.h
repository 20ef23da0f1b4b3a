// Registers the maintenance windows with the main window, and what its start and close run to
// complete a restore that was killed and clear what it left.
#pragma once
#include <QString>

namespace WindowKey {
inline const QString Sauvegarde = "TfrmSaveRestore.Sauvegarde";  // btnSave shown
inline const QString Restaure = "TfrmSaveRestore.Restaure";      // btnRestore shown
inline const QString Reindex = "Reindex";
inline const QString Epur = "TfrmEpur";
}  // namespace WindowKey

void RegisterMaintenanceWindows();
