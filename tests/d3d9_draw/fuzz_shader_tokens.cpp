// libFuzzer target: a raw token stream handed to CreateVertexShader. Its check must not read past
// an instruction, and a stream it passes must draw. The input is the stream's bytes.
#include "common/vs_tokens.h"
#include "shader_fuzz_property.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    // The device reads up to the end token and never more than 65536 tokens: end tokens follow
    // the input, as far as that.
    static std::vector<DWORD> tokens(65536);
    size_t count = std::min(size / sizeof(DWORD), tokens.size());
    std::memcpy(tokens.data(), bytes, count * sizeof(DWORD));
    std::fill(tokens.begin() + count, tokens.end(), platform::vs::kEndToken);
    if (!platform::vs::Check(tokens.data())) ExpectDrawable(tokens.data());
    return 0;
}
