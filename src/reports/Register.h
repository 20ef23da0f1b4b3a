// The report chooser offered by the main window's "&Imprimer" and its print buttons.
#pragma once

// Registers the chooser's opener with the main window.
void RegisterReportWindows();
