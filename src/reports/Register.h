// The report chooser offered by the main window's "&Imprimer" and its print buttons.
#pragma once

// Registers the chooser with its menu entry.
void RegisterReportWindows();
