#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the delivered catalogues.
# The data folder is the executable's folder (build/); without a display it runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh KALTO catalogos
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1600x1200x24" build/KALTO "$@"
fi
exec build/KALTO "$@"
