#!/usr/bin/env bash
# Builds the program and makes its Debian package build/quillor_<version>_<arch>.deb;
# install it with: sudo apt install ./build/quillor_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
cd "$root/build"
cpack -G DEB
ls "$root"/build/quillor_*.deb
