#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Does nothing when all are present; installs them when run as root.
# With --fuzz also clang and libFuzzer (for scripts/fuzz.sh only).
set -euo pipefail

PACKAGES=(
  g++ make cmake pkg-config
  qt6-base-dev qt6-translations-l10n libxkbcommon-dev libfontconfig-dev
  libsqlite3-dev libxml2-dev libgtest-dev libicu-dev
  mdbtools mdbtools-dev libmdb3
  fonts-arphic-uming fonts-arphic-ukai fonts-noto-cjk fonts-wqy-zenhei
  poppler-utils xvfb xauth
  dpkg-dev file desktop-file-utils
  libisofs-dev libburn-dev libpoppler-qt6-dev xorriso genisoimage
  libsane-dev sane-utils libqpdf-dev qpdf libssl-dev ccache
  libjpeg-dev zlib1g-dev qt6-image-formats-plugins libheif-dev libtiff-dev
  libcups2-dev cups cups-client cups-filters
  libtesseract-dev tesseract-ocr-chi-sim tesseract-ocr-eng tesseract-ocr-osd
  libopencv-core-dev libopencv-imgproc-dev
  g++-mingw-w64-x86-64-posix
)
if [ "${1:-}" = "--fuzz" ]; then
  PACKAGES+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run as root, or: sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# No service starts while installing (cups would start the machine's own
# print daemon; the print tests run a daemon of their own).
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
  chmod 755 /usr/sbin/policy-rc.d
  trap 'rm -f /usr/sbin/policy-rc.d' EXIT
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
