#!/usr/bin/env bash
# Pictures of the printer set-up (Fichier > Configuration de l'imprimante) on a machine whose
# locale is not French, made under a virtual display: shots/print_dialog.png and print_dialog_options.png (its two tabs),
# shots/print_properties_N.png (each tab of its "Propriétés" window) and shots/print_file.png
# (the chooser of its output file), or in the folder given.
set -euo pipefail
. "$(dirname "$0")/common.sh"
shots_program shots_print "${1:-shots}"
