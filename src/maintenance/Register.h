// Registers the maintenance windows with the main window.
#pragma once

void RegisterMaintenanceWindows();
