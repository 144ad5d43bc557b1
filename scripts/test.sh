#!/usr/bin/env bash
# Sets up, builds and runs every test: a normal build and a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, both under a virtual X display. The tests run one at a time: several
# of them need the keyboard focus of the one display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export ASAN_OPTIONS="detect_leaks=1"

# Without -noreset the X server resets whenever its last client has gone, and a game starting at
# that moment cannot connect.
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24 -noreset")

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@"
  cmake --build "$dir" -j"$jobs"
  local status=0
  "${xvfb[@]}" ctest --test-dir "$dir" --output-on-failure --timeout 300 -LE e2e || status=1
  # The end-to-end runs drive the whole game through a shared virtual display: one that fails is
  # shown and run once more.
  "${xvfb[@]}" ctest --test-dir "$dir" --output-on-failure --timeout 300 -L e2e --repeat until-pass:2 || status=1
  return $status
}

run_suite build
# LeakSanitizer stops every thread for its check at exit, and Mesa's llvmpipe rasterizer threads,
# alive until then, now and again crash its tracer ("Tracer caught signal 11"): the sanitized
# tests have llvmpipe draw on the calling thread.
LP_NUM_THREADS=0 run_suite build-sanitize -DMORVANE_SANITIZE=ON -DMORVANE_BENCH=OFF

# Bounded fuzzing runs, built with clang's libFuzzer: the .x file reader, and CreateVertexShader's
# check through the shader assembler and through raw token streams.
tests/xfile/run_fuzz.sh build-fuzz 60
tests/d3d9_draw/run_fuzz.sh build-fuzz 60 asm
tests/d3d9_draw/run_fuzz.sh build-fuzz 60 tokens
