// The reference-data windows offered by the main window's menu and tool buttons.
#pragma once
#include <QString>

namespace WindowKey {
inline const QString Client = "TfrmClient";
inline const QString Titres = "TfrmTitres";
inline const QString Liste = "TfrmListe";
inline const QString OrgaD = "TfrmOrgaD";
inline const QString Region = "TfrmRegion";
inline const QString Site = "TfrmSite";
inline const QString Imprim = "TfrmImprim";
}  // namespace WindowKey

// Registers the clients, titles, lists, titles per region and code-table windows with their
// menu entries (calling it again does no harm).
void RegisterRefDataWindows();
