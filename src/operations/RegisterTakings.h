// The takings windows offered by the main window.
#pragma once
#include <QString>

namespace WindowKey {
inline const QString Disto1 = "TfrmDisto1";
inline const QString Disto = "TfrmDisto";
}  // namespace WindowKey

// Registers "Saisie des Prises" and the per-client entry with their menu entries (calling it
// again does no harm).
void RegisterTakingsWindows();
