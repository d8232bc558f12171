#!/usr/bin/env bash
# Installs what is missing, builds a Release build and starts the tool.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
tess_install_packages
tess_build "$TESS_ROOT/build/release" -DCMAKE_BUILD_TYPE=Release -DTESSIVANEV_TESTS=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display found (DISPLAY is not set); start the tool from a desktop session." >&2
  exit 1
fi
exec "$TESS_ROOT/build/release/app/tessivanev"
