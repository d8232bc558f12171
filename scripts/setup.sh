#!/usr/bin/env bash
# Installs the Debian packages the tool and its tests need, when missing.
# Sourced by run.sh and test.sh; safe to run again and again.
set -euo pipefail

TESS_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libjpeg62-turbo-dev
  fonts-noto-cjk fontconfig
  googletest libgtest-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils
  clang libclang-rt-14-dev
  libjpeg-turbo-progs python3 python3-pil
)

tess_missing_packages() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  echo "${missing[@]:-}"
}

tess_install_packages() {
  local missing
  missing=$(tess_missing_packages "${TESS_PACKAGES[@]}")
  [ -z "$missing" ] && return 0
  echo "Installing: $missing"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
      echo "These packages are missing and there is no sudo to install them: $missing" >&2
      return 1
    fi
  fi
  # shellcheck disable=SC2086
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  # shellcheck disable=SC2086
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
}

# Configures and builds one build tree: tess_build DIR [cmake options…]
tess_build() {
  local dir=$1; shift
  cmake -S "$TESS_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
}

TESS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
