#!/usr/bin/env bash
# Builds the fuzz programs (clang, libFuzzer, AddressSanitizer, UBSan) in
# build-fuzz/ and runs one of them for a given time.
#
#   scripts/fuzz.sh TARGET [SECONDS] [libFuzzer options...]
#
# TARGET is manifest, package_save, package_repair, template_db or jet_import. Installs clang-14 and
# libclang-rt-14-dev when missing (as root). The seed corpus
# tests/fuzz/corpus/TARGET is only read; new inputs go to
# build-fuzz/corpus/TARGET, crashing inputs to build-fuzz/crashes/TARGET/.
# Add a crashing input to the seed corpus once it is fixed: ctest replays it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
target="${1:?usage: scripts/fuzz.sh manifest|package_save|package_repair|template_db|jet_import [SECONDS] [options...]}"
seconds="${2:-60}"
shift $(( $# < 2 ? $# : 2 ))

bash "$root/scripts/deps.sh" --fuzz
build="$root/build-fuzz"
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G "Unix Makefiles" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLOR_FUZZ=ON
fi
cmake --build "$build" -j"$(nproc)" --target "fuzz_$target"

mkdir -p "$build/corpus/$target" "$build/crashes/$target"
# The entry points write their folders here: a memory file system when there
# is one, so the saves' flushes cost nothing.
if [ -z "${QUILLOR_FUZZ_DIR:-}" ]; then
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export QUILLOR_FUZZ_DIR=/dev/shm
  else
    export QUILLOR_FUZZ_DIR="${TMPDIR:-/tmp}"
  fi
fi
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
dict=()
if [ -f "$root/tests/fuzz/$target.dict" ]; then
  dict=(-dict="$root/tests/fuzz/$target.dict")
fi
exec "$build/fuzz_$target" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 \
  -artifact_prefix="$build/crashes/$target/" -print_final_stats=1 "${dict[@]}" "$@" \
  "$build/corpus/$target" "$root/tests/fuzz/corpus/$target"
