#!/usr/bin/env bash
# Installs the Debian 12 packages Ravelin needs to build, test and run.
# Idempotent: installs only what is missing, and refreshes the package lists
# only when something has to be installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-svg-dev qt6-image-formats-plugins
  libgl-dev libxkbcommon-dev
  libicu-dev libpcre2-dev libsystemd-dev zlib1g-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-liberation fonts-dejavu-core fonts-wqy-microhei
  xvfb xauth imagemagick poppler-utils
  desktop-file-utils appstream groff-base
  ripgrep clang libclang-rt-dev
  gzip xz-utils bzip2 zstd
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo_cmd=(sudo); else sudo_cmd=(none); fi
fi
# Without apt (another distribution, a container with the tools preinstalled)
# or without the right to use it, say what is wanted and let the build try:
# CMake names whatever is really absent.
if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg-query >/dev/null 2>&1 ||
   [ "${sudo_cmd[0]:-}" = none ]; then
  echo "install-deps: cannot install here; would install: ${missing[*]}" >&2
  exit 0
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
