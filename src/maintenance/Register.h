// Registers the maintenance windows with the main window, and what its start and close run to
// complete a restore that was killed and clear what it left.
#pragma once

void RegisterMaintenanceWindows();
