#!/usr/bin/env bash
# Installs the Debian packages the build, the program and its tests need (only those missing).
set -euo pipefail
PKGS=(build-essential cmake ninja-build pkg-config
      qt6-base-dev libqt6printsupport6 qt6-translations-l10n libsqlite3-dev libzip-dev zlib1g-dev libjpeg62-turbo-dev
      libgtest-dev libgmock-dev libbenchmark-dev
      zip unzip p7zip-full poppler-utils xvfb xauth fonts-dejavu fonts-liberation2 locales)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
