#include "shader_fuzz_property.h"

#include "common/vertex_usage.h"
#include "d3d9/ffp.h"
#include "d3d9/shader_glsl.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>

#include <cstdio>
#include <string>

namespace {

// Parses `source` as GLSL 3.30 core into `shader`; false with the log printed.
bool Parse(glslang::TShader& shader, const std::string& source) {
    const char* text = source.c_str();
    shader.setStrings(&text, 1);
    if (shader.parse(GetDefaultResources(), 330, ECoreProfile, false, false, EShMsgDefault)) return true;
    std::fprintf(stderr, "%s\ndoes not compile:\n%s\n", source.c_str(), shader.getInfoLog());
    return false;
}

}  // namespace

void ExpectDrawable(const DWORD* tokens) {
    static const bool initialised = glslang::InitializeProcess();
    (void)initialised;
    platform::d3d9::VertexShaderGlsl glsl;
    if (!platform::d3d9::TranslateVertexShader(tokens, &glsl)) {
        std::fprintf(stderr, "checked, not translated\n");
        __builtin_trap();
    }
    // A draw needs every declared input in the vertex declaration.
    for (const auto& input : glsl.inputs) {
        if (!platform::ValidVertexUsage(input.usage, input.index)) {
            std::fprintf(stderr, "input v%d has usage %u index %u, which no vertex declaration names\n", input.reg,
                         unsigned(input.usage), unsigned(input.index));
            __builtin_trap();
        }
    }
    // As the device builds it: depth in OpenGL's range, the default pixel stages.
    std::string vertex = glsl.glsl;
    vertex.replace(vertex.find("CLIPZ"), 5, "oPos.z");
    platform::d3d9::FfpDesc desc{};
    desc.shaderVertices = 1;
    glslang::TShader vs(EShLangVertex), fs(EShLangFragment);
    glslang::TProgram program;  // declared after the shaders it holds, so destroyed first
    if (!Parse(vs, vertex) || !Parse(fs, platform::d3d9::FfpFragmentShader(desc))) __builtin_trap();
    program.addShader(&vs);
    program.addShader(&fs);
    if (!program.link(EShMsgDefault)) {
        std::fprintf(stderr, "%s\ndoes not link:\n%s\n", vertex.c_str(), program.getInfoLog());
        __builtin_trap();
    }
}
