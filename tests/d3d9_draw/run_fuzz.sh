#!/usr/bin/env bash
# Fuzzes CreateVertexShader's check through one input form: assembly source (asm), through the
# assembler, or raw token streams (tokens). Seeded with the shader tests' sources or their tokens
# (tests/support/run_fuzz.sh). Fails too when an assembled shader is refused, or when a stream
# the check passes does not give GLSL that compiles and links.
#   tests/d3d9_draw/run_fuzz.sh BUILD_DIR SECONDS asm|tokens
set -euo pipefail

case "$#:${3:-}" in
3:asm) seeder="shader_fuzz_seeds source" dict=shader_asm.dict max_len=4096 ;;
3:tokens) seeder="shader_fuzz_seeds tokens" dict=shader_tokens.dict max_len=8192 ;;
*)
    echo "usage: $0 BUILD_DIR SECONDS asm|tokens" >&2
    exit 2
    ;;
esac
exec "$(dirname "$0")/../support/run_fuzz.sh" "$1" "$2" d3d9_draw "fuzz_shader_$3" "$seeder" "$dict" -max_len=$max_len
