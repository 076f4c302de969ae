#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test LarkUtils. Idempotent; quick
# when everything is already there. Runs as root (or through sudo when available).
set -euo pipefail

PACKAGES=(
  build-essential g++ cmake ninja-build pkg-config
  qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools
  qttranslations5-l10n libqt5svg5 libqt5svg5-dev
  qt6-base-dev qt6-base-dev-tools qt6-5compat-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-translations-l10n libgl-dev
  e2fsprogs util-linux
  clang libclang-rt-14-dev doxygen
)
# Tools that single tests need; with --bench also the peers of the benchmarks.
lists=("$(dirname "$0")/packages-extra.txt")
[ "${1:-}" = "--bench" ] && lists+=("$(dirname "$0")/packages-bench.txt")
for list in "${lists[@]}"; do
  while read -r pkg; do
    [ -n "$pkg" ] && [ "${pkg#\#}" = "$pkg" ] && PACKAGES+=("$pkg")
  done < "$list"
done

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
