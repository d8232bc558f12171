#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite headless.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
tess_install_packages
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)

tess_build "$TESS_ROOT/build/test" -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir "$TESS_ROOT/build/test" --output-on-failure -j "$jobs"
