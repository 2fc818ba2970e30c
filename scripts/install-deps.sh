#!/usr/bin/env bash
# Installs the Debian packages the build and the demo need; with --test also those that
# only the tests and the package need (man pages, icons, the package's checks), so that a
# first `make demo` stays quick.
# Quiet and quick when everything is present; refreshes the package lists only when
# something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config python3
  qtbase5-dev qttools5-dev qttools5-dev-tools libqt5svg5-dev
  libqwt-qt5-dev libarchive-dev libxlsxwriter-dev libeigen3-dev zlib1g-dev
  libbenchmark-dev clang libclang-rt-14-dev xvfb xauth
  libisal-dev
)
test_packages=(
  help2man librsvg2-bin file lintian desktop-file-utils appstream bash-completion man-db
  systemd
)
case "${1-}" in
  "") ;;
  --test) packages+=("${test_packages[@]}") ;;
  *) echo "usage: install-deps.sh [--test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
