#!/usr/bin/env bash
# Installs the package ./dev.sh deb built into a fresh Debian 12 chroot with
# apt (which fetches its dependencies) and runs both programs' --version
# there. Needs root. Usage: tools/check-deb.sh [PACKAGE.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:-$(ls -t build/quorvel_*_amd64.deb | head -n 1)}
fresh=${FRESH_DEBIAN:-../shared/tools/fresh-debian.sh}
# The chroot is given a clone of a git work tree; one of its own carries the
# package in.
carrier=$(mktemp -d)
trap 'rm -rf "$carrier"' EXIT
cp "$deb" "$carrier/"
git -C "$carrier" init -q
git -C "$carrier" add .
git -C "$carrier" -c user.name=check-deb -c user.email=check-deb@localhost commit -qm package
PROJECT="$carrier" "$fresh" \
  'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ./quorvel_*_amd64.deb >/dev/null &&
   quorvel-verify --version && QT_QPA_PLATFORM=offscreen quorvel --version &&
   test -f /usr/share/applications/org.quorvel.Quorvel.desktop && man -w quorvel-verify 2>/dev/null || test -f /usr/share/man/man1/quorvel-verify.1.gz &&
   echo "installed and ran in a fresh Debian 12"'
