#!/usr/bin/env bash
# Fuzzes the .x reader: fuzz_xfile, seeded with the tests' sample files (tests/support/run_fuzz.sh).
#   tests/xfile/run_fuzz.sh BUILD_DIR SECONDS
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS" >&2
    exit 2
fi
exec "$(dirname "$0")/../support/run_fuzz.sh" "$1" "$2" xfile fuzz_xfile xfile_fuzz_seeds xfile.dict -max_len=65536
