// The GLSL translation of vs_1_x and vs_2_0 token streams.
#pragma once

#include <wintypes.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace platform::d3d9 {

// An input a shader declares: the usage and index of the element that feeds it, and its v#.
struct ShaderInput {
    BYTE usage, index;
    int reg;
};

struct VertexShaderGlsl {
    std::vector<ShaderInput> inputs;
    std::vector<std::pair<int, std::array<float, 4>>> definitions;
    std::string glsl, glslFlat;  // flat: the colours not interpolated
};

// Checks a stream as CreateVertexShader does and translates it; false for one it refuses.
bool TranslateVertexShader(const DWORD* tokens, VertexShaderGlsl* out);

}  // namespace platform::d3d9
