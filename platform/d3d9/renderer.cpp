#include "d3d9/renderer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform::d3d9 {
namespace {

GlShader Compile(GLenum type, const std::string& source) {
    GlShader shader(glCreateShader(type));
    const char* text = source.c_str();
    glShaderSource(shader.Get(), 1, &text, nullptr);
    glCompileShader(shader.Get());
    GLint ok = 0;
    glGetShaderiv(shader.Get(), GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        glGetShaderInfoLog(shader.Get(), sizeof log, nullptr, log);
        std::fprintf(stderr, "d3d9: shader does not compile: %s\n%s\n", log, text);
        return GlShader();
    }
    return shader;
}

void GLAPIENTRY ReportGlMessage(GLenum, GLenum type, GLuint, GLenum severity, GLsizei, const GLchar* message,
                                 const void*) {
    if (type == GL_DEBUG_TYPE_ERROR || severity == GL_DEBUG_SEVERITY_HIGH)
        std::fprintf(stderr, "d3d9: OpenGL: %s\n", message);
}

}  // namespace

std::unique_ptr<Program> BuildProgram(const std::string& vertexSource, const std::string& fragmentSource) {
    GlShader vs = Compile(GL_VERTEX_SHADER, vertexSource);
    GlShader fs = Compile(GL_FRAGMENT_SHADER, fragmentSource);
    if (!vs || !fs) return nullptr;
    auto p = std::make_unique<Program>();
    p->program = GlProgram(glCreateProgram());
    GLuint prog = p->program.Get();
    glAttachShader(prog, vs.Get());
    glAttachShader(prog, fs.Get());
    glLinkProgram(prog);
    glDetachShader(prog, vs.Get());
    glDetachShader(prog, fs.Get());
    GLint ok = 0;
    glGetProgramiv(prog, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        glGetProgramInfoLog(prog, sizeof log, nullptr, log);
        std::fprintf(stderr, "d3d9: program does not link: %s\n", log);
        return nullptr;
    }
    auto at = [prog](const char* name) { return glGetUniformLocation(prog, name); };
    p->worldView = at("uWorldView");
    p->normalMatrix = at("uNormalMatrix");
    p->projection = at("uProjection");
    p->viewport = at("uViewport");
    p->pixelFix = at("uPixelFix");
    p->pointSize = at("uPointSize");
    p->material = at("uMaterial");
    p->materialPower = at("uMaterialPower");
    p->ambient = at("uAmbient");
    p->lightDiffuse = at("uLightDiffuse");
    p->lightSpecular = at("uLightSpecular");
    p->lightAmbient = at("uLightAmbient");
    p->lightPosition = at("uLightPosition");
    p->lightDirection = at("uLightDirection");
    p->lightAttenuation = at("uLightAttenuation");
    p->lightSpot = at("uLightSpot");
    p->texMatrix = at("uTexMatrix");
    p->textureFactor = at("uTextureFactor");
    p->stageConstant = at("uStageConstant");
    p->alphaRef = at("uAlphaRef");
    p->vsConstants = at("c");
    glUseProgram(prog);
    for (int s = 0; s < 8; ++s) {
        std::string name = "uSampler" + std::to_string(s);
        GLint loc = at(name.c_str());
        if (loc >= 0) glUniform1i(loc, s);
    }
    return p;
}

Renderer::Renderer() {
    clipControl_ = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
    // MORVANE_GL_DEBUG=1 reports OpenGL errors on stderr as they happen.
    if (std::getenv("MORVANE_GL_DEBUG") && (epoxy_gl_version() >= 43 || epoxy_has_gl_extension("GL_KHR_debug"))) {
        glEnable(GL_DEBUG_OUTPUT);
        glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
        glDebugMessageCallback(ReportGlMessage, nullptr);
    }
    anisotropy_ = epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                  epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
    mirrorOnce_ = epoxy_gl_version() >= 44 || epoxy_has_gl_extension("GL_ARB_texture_mirror_clamp_to_edge");
    vao_ = GlVertexArray::Generate();
    userVertices_ = StreamBuffer(GlBuffer::Generate());
    userIndices_ = StreamBuffer(GlBuffer::Generate());
    for (auto& s : samplers_) s = GlSampler::Generate();
    quadSampler_ = GlSampler::Generate();
    glSamplerParameteri(quadSampler_.Get(), GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(quadSampler_.Get(), GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

Renderer::~Renderer() = default;

void Renderer::Abandon() {
    for (auto& entry : programs_)
        if (entry.second) entry.second->program.Abandon();
    if (quadProgram_) quadProgram_->program.Abandon();
    vao_.Abandon();
    userVertices_.Abandon();
    userIndices_.Abandon();
    for (auto& s : samplers_) s.Abandon();
    quadSampler_.Abandon();
}

size_t StreamBuffer::Write(GLenum target, const void* data, size_t size, size_t align) {
    constexpr size_t kInitialCapacity = size_t(1) << 20;
    glBindBuffer(target, name_.Get());
    size_t offset = (used_ + align - 1) / align * align;
    if (offset + size > capacity_) {
        capacity_ = std::max(capacity_, kInitialCapacity);
        while (capacity_ < size) capacity_ *= 2;
        glBufferData(target, GLsizeiptr(capacity_), nullptr, GL_STREAM_DRAW);
        offset = 0;
    }
    // Nothing drawn so far reads this range of the store.
    void* p = glMapBufferRange(target, GLintptr(offset), GLsizeiptr(size),
                               GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (p) {
        std::memcpy(p, data, size);
        glUnmapBuffer(target);
    } else {
        glBufferSubData(target, GLintptr(offset), GLsizeiptr(size), data);
    }
    used_ = offset + size;
    return offset;
}

void Renderer::EnableAttributes(uint32_t mask) {
    for (uint32_t changed = mask ^ enabledAttributes_; changed; changed &= changed - 1) {
        GLuint loc = GLuint(__builtin_ctz(changed));
        if (mask & (1u << loc)) {
            glEnableVertexAttribArray(loc);
        } else {
            glDisableVertexAttribArray(loc);
            glVertexAttrib4f(loc, 0.0f, 0.0f, 0.0f, 1.0f);
        }
    }
    enabledAttributes_ = mask;
}

void Renderer::SetDivisor(GLuint location, GLuint divisor) {
    if (divisors_[location] == divisor) return;
    glVertexAttribDivisor(location, divisor);
    divisors_[location] = divisor;
}

bool Renderer::SamplerChanges(int stage, const DWORD* states) {
    if (samplerSet_[stage] && std::memcmp(samplerStates_[stage], states, sizeof samplerStates_[stage]) == 0)
        return false;
    std::memcpy(samplerStates_[stage], states, sizeof samplerStates_[stage]);
    samplerSet_[stage] = true;
    return true;
}

Program* Renderer::Cached(const std::string& key) {
    auto it = programs_.find(key);
    return it == programs_.end() ? nullptr : it->second.get();
}

Program* Renderer::Store(const std::string& key, std::unique_ptr<Program> program) {
    Program* p = program.get();
    programs_[key] = std::move(program);
    return p;
}

void Renderer::Forget(const std::string& prefix) {
    lastProgram_ = nullptr;
    for (auto it = programs_.begin(); it != programs_.end();) {
        if (it->first.compare(0, prefix.size(), prefix) == 0) it = programs_.erase(it);
        else ++it;
    }
}

Program* Renderer::FixedFunction(const FfpDesc& desc) {
    if (lastProgram_ && std::memcmp(&desc, &lastDesc_, sizeof desc) == 0) return lastProgram_;
    std::string key = "ffp:" + desc.Key();
    auto it = programs_.find(key);
    Program* program = it != programs_.end() ? it->second.get()
                                             : Store(key, BuildProgram(FfpVertexShader(desc), FfpFragmentShader(desc)));
    lastDesc_ = desc;
    lastProgram_ = program;
    return program;
}

const VertexLayout* Renderer::FvfLayout(DWORD fvf) {
    auto it = fvfLayouts_.find(fvf);
    if (it != fvfLayouts_.end()) return it->second.get();
    auto layout = std::make_unique<VertexLayout>();
    if (!DecodeFvf(fvf, layout.get())) layout.reset();
    return (fvfLayouts_[fvf] = std::move(layout)).get();
}

void Renderer::DrawCursor(GLuint texture, int x, int y, int width, int height, int drawW, int drawH) {
    DrawQuad(texture, float(x), float(y), float(width), float(height), drawW, drawH, GL_NEAREST, true);
}

void Renderer::DrawStretched(GLuint texture, int drawW, int drawH) {
    // The image's top row goes to the window's top, which is its last row.
    DrawQuad(texture, 0.0f, float(drawH), float(drawW), -float(drawH), drawW, drawH, GL_LINEAR, false);
}

void Renderer::DrawQuad(GLuint texture, float x, float y, float width, float height, int drawW, int drawH,
                        GLint filter, bool blend) {
    if (!quadProgram_) {
        // One texture fetch per pixel: llvmpipe fills such a quad on its fast path.
        quadProgram_ = BuildProgram(
            "#version 330 core\n"
            "uniform vec4 uRect;\n"  // x, y, width, height
            "uniform vec2 uSize;\n"
            "out vec2 vUv;\n"
            "void main() {\n"
            "    vec2 corner = vec2(gl_VertexID & 1, gl_VertexID >> 1);\n"
            "    vUv = corner;\n"
            "    vec2 p = uRect.xy + corner * uRect.zw;\n"
            "    gl_Position = vec4(p / uSize * 2.0 - 1.0, 0.0, 1.0);\n"
            "}\n",
            "#version 330 core\n"
            "uniform sampler2D uImage;\n"
            "in vec2 vUv;\n"
            "out vec4 outColor;\n"
            "void main() { outColor = texture(uImage, vUv); }\n");
        if (!quadProgram_) return;
        GLuint prog = quadProgram_->program.Get();
        glUseProgram(prog);
        glUniform1i(glGetUniformLocation(prog, "uImage"), 0);
        quadRect_ = glGetUniformLocation(prog, "uRect");
        quadSize_ = glGetUniformLocation(prog, "uSize");
    }
    glUseProgram(quadProgram_->program.Get());
    glUniform4f(quadRect_, x, y, width, height);
    glUniform2f(quadSize_, float(drawW), float(drawH));
    glViewport(0, 0, drawW, drawH);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    if (blend) {
        glEnable(GL_BLEND);
        glBlendEquation(GL_FUNC_ADD);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        glDisable(GL_BLEND);
    }
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBindSampler(0, quadSampler_.Get());
    glSamplerParameteri(quadSampler_.Get(), GL_TEXTURE_MIN_FILTER, filter);
    glSamplerParameteri(quadSampler_.Get(), GL_TEXTURE_MAG_FILTER, filter);
    glBindVertexArray(vao_.Get());
    EnableAttributes(0);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

}  // namespace platform::d3d9
