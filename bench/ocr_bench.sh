#!/usr/bin/env bash
# Installs ocrmypdf (the bench's peer only: the program and the tests do not
# need it) when missing, builds ocr_bench and runs it offscreen.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if ! command -v ocrmypdf >/dev/null; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "ocrmypdf is missing: sudo apt-get install -y ocrmypdf" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends ocrmypdf
fi
bash "$root/scripts/build.sh" --target ocr_bench quillor_ocr quillor_pdfwrite
QT_QPA_PLATFORM=offscreen "$root/build/ocr_bench"
