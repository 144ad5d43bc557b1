#!/usr/bin/env bash
# Runs a libFuzzer target of the tests: configures a separate clang build with MORVANE_FUZZ=ON in
# BUILD_DIR, builds TARGET and SEEDER of tests/FOLDER, seeds a corpus with the files SEEDER writes
# and runs TARGET for SECONDS with FOLDER's dictionary DICT and any further libFuzzer OPTIONs.
# SEEDER may carry arguments ("seeder tokens"): it is called with them and then the folder.
# Fails when the fuzzer finds a crash, a leak, a timeout or undefined behaviour.
#   tests/support/run_fuzz.sh BUILD_DIR SECONDS FOLDER TARGET SEEDER DICT [OPTION...]
set -euo pipefail

if [ $# -lt 6 ]; then
    echo "usage: $0 BUILD_DIR SECONDS FOLDER TARGET SEEDER DICT [OPTION...]" >&2
    exit 2
fi
build=$1
seconds=$2
folder=$3
target=$4
read -ra seeder <<<"$5"
dict=$6
shift 6
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

cmake -S "$source_dir" -B "$build" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_FUZZ=ON -DMORVANE_BENCH=OFF >/dev/null
cmake --build "$build" -j4 --target "$target" "${seeder[0]}"

work="$build/fuzz/$target"
mkdir -p "$work/corpus" "$work/seeds" "$work/artifacts"
"$build/tests/$folder/${seeder[0]}" "${seeder[@]:1}" "$work/seeds"

# -rss_limit_mb and -malloc_limit_mb catch allocations out of proportion to the input.
"$build/tests/$folder/$target" \
    -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=512 \
    -dict="$source_dir/tests/$folder/$dict" \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 \
    "$@" "$work/corpus" "$work/seeds"
