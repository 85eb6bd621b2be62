#!/usr/bin/env bash
# Installs what is missing (Debian 12), builds, then starts Quorvel or runs
# every test:   ./dev.sh run   |   ./dev.sh test
# or builds the Debian package and checks it with lintian:   ./dev.sh deb
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  shared-mime-info hicolor-icon-theme adwaita-icon-theme fonts-dejavu-core
  desktop-file-utils appstream
  e2fsprogs mount
  dbus-daemon
  python3
  libssl-dev
  strace
  libacl1-dev
  liburing-dev
  rsync acl attr dosfstools fusefat
)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$(nproc)"
}

case "${1:-}" in
  run)
    install_missing
    build
    if [ -x build/app/quorvel ]; then
      exec build/app/quorvel
    else
      exec build/cli/quorvel-verify --help
    fi
    ;;
  test)
    install_missing
    build
    cd build
    exec ctest --output-on-failure -j"$(nproc)"
    ;;
  deb)
    # lintian only here: the tests do not need it.
    install_missing lintian
    build
    (cd build && cpack -G DEB)
    deb=$(ls -t build/quorvel_*_amd64.deb | head -n 1)
    # Errors fail the step; warnings and notes are shown.
    lintian --fail-on error --info "$deb"
    echo "Built $deb"
    ;;
  *)
    echo "usage: $0 run|test|deb" >&2
    exit 2
    ;;
esac
