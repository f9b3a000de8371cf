#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the delivered catalogues.
# The request is kept where the installed program keeps it, in the user's data folder
# ($XDG_DATA_HOME/KALTO, usually ~/.local/share/KALTO), never in build/: the catalogues built
# in build/ are copied there when missing, and nothing already there is replaced. Without a
# display the program runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
scripts/build.sh KALTO catalogos
datos="${XDG_DATA_HOME:-$HOME/.local/share}/KALTO"
mkdir -p "$datos"
# The delivered files: one table per catalogue text, and CONSIDERA.TXT.
entregados=(CONSIDERA.TXT)
for fuente in catalogues/*.csv; do
  entregados+=("$(basename "$fuente" .csv).DBF")
done
for nombre in "${entregados[@]}"; do
  origen=$(find build -maxdepth 1 -type f -iname "$nombre" | head -n 1)
  [ -n "$origen" ] || { echo "Falta $nombre en build/." >&2; exit 1; }
  [ -n "$(find "$datos" -maxdepth 1 -type f -iname "$nombre" | head -n 1)" ] && continue
  cp "$origen" "$datos/$(basename "$origen").tmp"
  chmod 644 "$datos/$(basename "$origen").tmp"
  mv "$datos/$(basename "$origen").tmp" "$datos/$(basename "$origen")"
done
export KALTO_DATOS="$datos"
echo "Carpeta de datos: $datos"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1600x1200x24" build/KALTO "$@"
fi
exec build/KALTO "$@"
