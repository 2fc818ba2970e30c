#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
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
