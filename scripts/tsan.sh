#!/usr/bin/env bash
# Builds the test programs of the start-up, the scanning and the save with
# ThreadSanitizer in build-tsan/ (only those, and what they need) and runs
# them. Called by scripts/test.sh.
#
# - ThreadSanitizer's runtime cannot map its shadow memory when the kernel
#   randomises mmap with more bits than it expects (it aborts with "unexpected
#   memory mapping"): the tests run with address randomisation off (setarch -R).
# - Qt and the other libraries are not built with the sanitizer; reports
#   with a frame inside Qt are left out (tests/tsan.supp says why).
# - Recognition and image-geometry tests (test suites whose names hold
#   "Recognition" or "Geometry", and the photo tests, Photo*) are left out:
#   the thread pools of their libraries are not instrumented, and they take
#   minutes under the sanitizer.
# - So are the tests that only encode and shrink images (ShrinkTest, the
#   quality tests of PagesTest): that code starts no thread, and its pixel
#   loops run ten to fifteen times slower under the sanitizer, past the
#   test program's time limit.
# - A test program that runs out of time is run once more (and only then):
#   now and then the scanning tests' program hangs as it exits, in a library
#   destructor that p11-kit (loaded through the print system's TLS library)
#   runs at exit, waiting on glibc's locale lock; seen about once in twenty
#   runs under the sanitizer, never without it. A failed test is not run
#   again.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-tsan"
if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$root" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLOR_TSAN=ON "${launcher[@]}"
fi
programs=(startup startup_ui scan scan_ui materials materials_ui)
cmake --build "$build" -j"$(nproc)" --target "${programs[@]/#/test_}" quillor-import-mdb
mkdir -p /tmp/runtime-root && chmod 700 /tmp/runtime-root
cd "$build"
tests="^($(IFS='|'; echo "${programs[*]}"))\$"
GTEST_FILTER='-*Recognition*:*Geometry*:Photo*:ShrinkTest.*:PagesTest.*Quality*' QT_QPA_PLATFORM=offscreen \
  setarch "$(uname -m)" -R ctest --output-on-failure -j"$(nproc)" --repeat after-timeout:2 \
  -R "$tests"
