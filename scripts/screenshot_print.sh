#!/usr/bin/env bash
# Prints the print engine's sample form into a PDF through the Qt printer and
# renders the page as a PNG: OUTDIR/print_sample.pdf and OUTDIR/print_page.png,
# beside a picture of the printed window, OUTDIR/print_window.png.
# Usage: screenshot_print.sh [OUTDIR] [BUILDDIR]   (defaults: screenshots/, build/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/screenshots}"
build="${2:-$root/build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j2 --target quillor-print-sample
mkdir -p "$out" /tmp/runtime-root && chmod 700 /tmp/runtime-root
XDG_RUNTIME_DIR=/tmp/runtime-root QT_QPA_PLATFORM=offscreen \
  "$build/tests/quillor-print-sample" "$out/print_sample.pdf" "$out/print_window.png"
pdftoppm -png -r 100 -singlefile "$out/print_sample.pdf" "$out/print_page"
echo "$out/print_page.png" "$out/print_window.png"
