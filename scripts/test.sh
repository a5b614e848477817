#!/usr/bin/env bash
# Builds everything, runs every test headless and the Windows check.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
mkdir -p /tmp/runtime-root && chmod 700 /tmp/runtime-root
cd "$root/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
# The start-up, scan and save test programs again, under ThreadSanitizer.
bash "$root/scripts/tsan.sh"
# The Windows side: the Qt-free sources compiled for Windows, POSIX kept in
# src/platform.
bash "$root/scripts/windows_check.sh"
