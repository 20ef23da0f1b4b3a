// The weekly windows offered by the main window.
#pragma once

// Registers the openers of "Saisie des Invendus", "Saisie des Versements" and "Saisie des Achats"
// (calling it again does no harm).
void RegisterWeeklyWindows();
