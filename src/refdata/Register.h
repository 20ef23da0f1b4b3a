// The reference-data windows offered by the main window's menu and tool buttons.
#pragma once

// Registers the openers of the regions, sites, printing houses, clients, titles, titles per
// region and lists windows (calling it again does no harm).
void RegisterRefDataWindows();
