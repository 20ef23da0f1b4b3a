// The weekly windows offered by the main window.
#pragma once
#include <QString>

namespace WindowKey {
inline const QString Retour = "TfrmRetour";
inline const QString ListVCR = "TfrmListVCR";
inline const QString Ha = "TfrmHa";
}  // namespace WindowKey

// Registers "Saisie des Invendus", "Saisie des Versements" and "Saisie des Achats" with their menu
// entries (calling it again does no harm).
void RegisterWeeklyWindows();
