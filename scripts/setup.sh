#!/usr/bin/env bash
# One command from a fresh Debian 12 machine:
#   bash scripts/setup.sh run    install what is missing, build, start Quoravel on its embedded database
#   bash scripts/setup.sh test   install what is missing, build, run every test (PostgreSQL suites included)
#   bash scripts/setup.sh package  install what is missing, build, make the Debian package in build/
# Run as root, or as a user who may use sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-run}
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

PACKAGES=(qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libgl-dev libsodium-dev
          libxrandr-dev libx11-dev cmake g++ ninja-build pkg-config postgresql poppler-utils
          xvfb xauth x11-utils imagemagick libbenchmark-dev fonts-dejavu-core fonts-noto-core
          desktop-file-utils dpkg-dev file libsqlite3-dev clang-format libpq-dev
          ledger hledger time sqlite3 gnuplot-nox qt6-charts-dev libqt6opengl6-dev)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -q
  $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build

case "$mode" in
  run)
    exec ./build/quoravel
    ;;
  test)
    # The committed .clang-format stays applied.
    bash scripts/format-check.sh
    if [ "$(id -u)" -ne 0 ]; then
      echo "The PostgreSQL suites start a throwaway cluster as root; run 'sudo bash scripts/setup.sh test'." >&2
      exit 1
    fi
    # shellcheck source=/dev/null
    source .ci/pg.sh start
    trap 'bash .ci/pg.sh stop "$QUORAVEL_PGDIR"' EXIT
    (cd build && ctest --output-on-failure -j2 --timeout 900)
    ;;
  package)
    (cd build && cpack -G DEB)
    echo "Install it with: sudo apt install ./build/$(cd build && ls -t quoravel_*.deb | head -n 1)"
    ;;
  *)
    echo "usage: bash scripts/setup.sh run|test|package" >&2
    exit 2
    ;;
esac
