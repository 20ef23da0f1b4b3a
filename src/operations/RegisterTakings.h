// The takings windows offered by the main window.
#pragma once

// Registers the openers of "Saisie des Prises" and of the per-client entry (calling it again does
// no harm).
void RegisterTakingsWindows();
