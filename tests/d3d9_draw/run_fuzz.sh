#!/usr/bin/env bash
# Fuzzes the shader assembler against the device's check: fuzz_shader_asm, seeded with the shader
# tests' sources (tests/support/run_fuzz.sh). Fails too when a shader assembles that
# CreateVertexShader refuses.
#   tests/d3d9_draw/run_fuzz.sh BUILD_DIR SECONDS
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS" >&2
    exit 2
fi
exec "$(dirname "$0")/../support/run_fuzz.sh" "$1" "$2" d3d9_draw fuzz_shader_asm shader_fuzz_seeds shader_asm.dict -max_len=4096
