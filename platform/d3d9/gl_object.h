// Owning handles for OpenGL object names. The context that created a name must be current when
// the handle lets it go.
#pragma once

#include <epoxy/gl.h>

#include <utility>

namespace platform::d3d9 {

enum class GlKind { Texture, Buffer, Framebuffer, Renderbuffer, VertexArray, Sampler, Program, Shader };

template <GlKind Kind>
class GlName {
public:
    GlName() = default;
    explicit GlName(GLuint name) : name_(name) {}
    GlName(const GlName&) = delete;
    GlName& operator=(const GlName&) = delete;
    GlName(GlName&& o) noexcept : name_(std::exchange(o.name_, 0)) {}
    GlName& operator=(GlName&& o) noexcept {
        if (this != &o) {
            Reset();
            name_ = std::exchange(o.name_, 0);
        }
        return *this;
    }
    ~GlName() { Reset(); }

    // A fresh name of this kind (programs and shaders are made with their own calls).
    static GlName Generate() {
        GLuint n = 0;
        if constexpr (Kind == GlKind::Texture) glGenTextures(1, &n);
        else if constexpr (Kind == GlKind::Buffer) glGenBuffers(1, &n);
        else if constexpr (Kind == GlKind::Framebuffer) glGenFramebuffers(1, &n);
        else if constexpr (Kind == GlKind::Renderbuffer) glGenRenderbuffers(1, &n);
        else if constexpr (Kind == GlKind::VertexArray) glGenVertexArrays(1, &n);
        else if constexpr (Kind == GlKind::Sampler) glGenSamplers(1, &n);
        return GlName(n);
    }

    GLuint Get() const { return name_; }
    // Forgets the name without deleting it (its context is gone or going).
    void Abandon() { name_ = 0; }
    explicit operator bool() const { return name_ != 0; }

    void Reset() {
        if (!name_) return;
        if constexpr (Kind == GlKind::Texture) glDeleteTextures(1, &name_);
        else if constexpr (Kind == GlKind::Buffer) glDeleteBuffers(1, &name_);
        else if constexpr (Kind == GlKind::Framebuffer) glDeleteFramebuffers(1, &name_);
        else if constexpr (Kind == GlKind::Renderbuffer) glDeleteRenderbuffers(1, &name_);
        else if constexpr (Kind == GlKind::VertexArray) glDeleteVertexArrays(1, &name_);
        else if constexpr (Kind == GlKind::Sampler) glDeleteSamplers(1, &name_);
        else if constexpr (Kind == GlKind::Program) glDeleteProgram(name_);
        else if constexpr (Kind == GlKind::Shader) glDeleteShader(name_);
        name_ = 0;
    }

private:
    GLuint name_ = 0;
};

using GlTexture = GlName<GlKind::Texture>;
using GlBuffer = GlName<GlKind::Buffer>;
using GlFramebuffer = GlName<GlKind::Framebuffer>;
using GlRenderbuffer = GlName<GlKind::Renderbuffer>;
using GlVertexArray = GlName<GlKind::VertexArray>;
using GlSampler = GlName<GlKind::Sampler>;
using GlProgram = GlName<GlKind::Program>;
using GlShader = GlName<GlKind::Shader>;

}  // namespace platform::d3d9
