#include "shader_fuzz_property.h"

#include "d3d9/ffp.h"
#include "d3d9/shader_glsl.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// Parses `source` as a GLSL 3.30 core shader of `stage` into `program`; false with the log printed.
bool Parse(glslang::TProgram& program, std::unique_ptr<glslang::TShader>& shader, EShLanguage stage,
           const std::string& source) {
    shader = std::make_unique<glslang::TShader>(stage);
    const char* text = source.c_str();
    shader->setStrings(&text, 1);
    if (!shader->parse(GetDefaultResources(), 330, ECoreProfile, false, false, EShMsgDefault)) {
        std::fprintf(stderr, "%s\ndoes not compile:\n%s\n", source.c_str(), shader->getInfoLog());
        return false;
    }
    program.addShader(shader.get());
    return true;
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
    // As the device builds it: depth in OpenGL's range, the default pixel stages.
    std::string vertex = glsl.glsl;
    vertex.replace(vertex.find("CLIPZ"), 5, "oPos.z");
    platform::d3d9::FfpDesc desc{};
    desc.shaderVertices = 1;
    std::unique_ptr<glslang::TShader> vs, fs;
    {
        glslang::TProgram program;  // destroyed before the shaders it holds
        if (!Parse(program, vs, EShLangVertex, vertex) ||
            !Parse(program, fs, EShLangFragment, platform::d3d9::FfpFragmentShader(desc)))
            __builtin_trap();
        if (!program.link(EShMsgDefault)) {
            std::fprintf(stderr, "%s\ndoes not link:\n%s\n", vertex.c_str(), program.getInfoLog());
            __builtin_trap();
        }
    }
}
