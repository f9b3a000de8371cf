#!/usr/bin/env bash
# Installs the Debian packages that are missing for what is asked, as root or through sudo:
#   scripts/deps.sh run       build and start the program (Xvfb too when there is no display)
#   scripts/deps.sh test      build and run the tests
#   scripts/deps.sh paquete   build the .deb and check it (dpkg-dev for its dependencies, lintian)
# With no argument, everything but the package tools.
set -euo pipefail
# Building: compiler, Qt 6 with its translation compiler, SQLite, QuaZip (the workbooks an
# import reads are zip files); and what the program needs at run time: Qt's Spanish texts, its
# SVG icon plugin, a proportional sans font and the fonts the printed application uses.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-l10n-tools libgl-dev libsqlite3-dev libquazip1-qt6-dev
          qt6-translations-l10n libqt6svg6 fonts-dejavu-core fonts-liberation)
run=(xvfb xauth)
test=(libgtest-dev python3 python3-dbfread poppler-utils)
case "${1:-}" in
  run)     if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then packages+=("${run[@]}"); fi ;;
  test)    packages+=("${test[@]}") ;;
  paquete) packages+=(dpkg-dev lintian) ;;
  "")      packages+=("${run[@]}" "${test[@]}") ;;
  *)       echo "Uso: $0 [run|test|paquete]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Instalando: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
