#!/usr/bin/env bash
# Renders every window of the program offscreen (no display needed) into PNG
# files, so that each window can be looked at without running the program.
# Usage: screenshots.sh [OUTDIR] [BUILDDIR]   (defaults: build/screenshots, build/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${2:-$root/build}"
out="${1:-$build/screenshots}"
bash "$root/scripts/deps.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j2 --target quillor-screenshots quillor-demo-db
mkdir -p "$out" /tmp/runtime-root && chmod 700 /tmp/runtime-root
# The windows are shown on the freshly generated demo database, never on the
# copy beside the program (it holds the user's entries).
XDG_RUNTIME_DIR=/tmp/runtime-root QT_QPA_PLATFORM=offscreen \
  "$build/quillor-screenshots" "$out" "$build/demo"
if [ -f "$root/scripts/screenshot_print.sh" ]; then
  bash "$root/scripts/screenshot_print.sh" "$out" "$build"
fi
ls "$out"/*.png
