#!/usr/bin/env bash
# Builds the program and starts it on the demo template database beside it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
cd "$root/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the program on a virtual screen (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ./quillor
fi
exec ./quillor
