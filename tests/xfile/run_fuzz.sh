#!/usr/bin/env bash
# Fuzzes the .x reader: configures a separate clang build with MORVANE_FUZZ=ON in BUILD_DIR,
# builds fuzz_xfile, seeds a corpus with the tests' sample files and runs libFuzzer for SECONDS.
# Fails when the fuzzer finds a crash, a leak, a timeout or undefined behaviour.
#   tests/xfile/run_fuzz.sh BUILD_DIR SECONDS
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS" >&2
    exit 2
fi
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

cmake -S "$source_dir" -B "$build" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_FUZZ=ON -DMORVANE_BENCH=OFF >/dev/null
cmake --build "$build" -j4 --target fuzz_xfile xfile_fuzz_seeds

work="$build/fuzz/xfile"
mkdir -p "$work/corpus" "$work/seeds" "$work/artifacts"
"$build/tests/xfile/xfile_fuzz_seeds" "$work/seeds"

# -rss_limit_mb and -malloc_limit_mb catch allocations out of proportion to the input.
"$build/tests/xfile/fuzz_xfile" \
    -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=512 \
    -dict="$here/xfile.dict" \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 \
    "$work/corpus" "$work/seeds"
