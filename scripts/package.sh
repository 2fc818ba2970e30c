#!/usr/bin/env bash
# Builds the Debian package from the build folder BUILD and checks it as Debian does:
# lintian must find no error. Prints the package's path.
set -euo pipefail
build=${1:-build}

rm -f "$build"/skarnel_*.deb
if ! (cd "$build" && cpack -G DEB >cpack.log 2>&1); then
  cat "$build/cpack.log" >&2
  exit 1
fi
deb=$(ls "$build"/skarnel_*.deb)
lintian --fail-on error "$deb" 2> >(grep -v 'running with root privileges' >&2)
echo "$deb"
