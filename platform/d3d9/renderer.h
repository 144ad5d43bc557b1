// The OpenGL objects behind the device's drawing: compiled programs by state, the vertex array,
// the buffers of user-pointer draws and the samplers.
#pragma once

#include <d3d9.h>

#include "d3d9/ffp.h"
#include "d3d9/gl_object.h"
#include "d3d9/vertex_input.h"

#include <memory>
#include <string>
#include <unordered_map>

namespace platform::d3d9 {

// One Draw* call: what to draw and where the vertices and indices come from.
struct DrawCall {
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    UINT count = 0;        // vertices (not indexed) or indices (indexed) the primitives take
    UINT startVertex = 0;  // not indexed
    bool indexed = false;
    INT baseVertex = 0;
    UINT minIndex = 0, numVertices = 0, startIndex = 0;
    // User-pointer draws: stream 0 and the indices come from the application's memory.
    const void* userVertices = nullptr;
    UINT userStride = 0;
    const void* userIndices = nullptr;
    D3DFORMAT userIndexFormat = D3DFMT_INDEX16;
};

// A buffer that user-pointer draws write one after another; when it is full, a new store takes
// its place and the draws already made keep the old one.
class StreamBuffer {
public:
    StreamBuffer() = default;
    explicit StreamBuffer(GlBuffer name) : name_(std::move(name)) {}
    // Copies `size` bytes in through `target` (which it binds) at a multiple of `align`; returns
    // their offset.
    size_t Write(GLenum target, const void* data, size_t size, size_t align);
    void Abandon() { name_.Abandon(); }

private:
    GlBuffer name_;
    size_t capacity_ = 0, used_ = 0;
};

// A linked program and the locations of the uniforms the device sets.
struct Program {
    GlProgram program;
    GLint worldView = -1, normalMatrix = -1, projection = -1, viewport = -1, pixelFix = -1;
    GLint pointSize = -1, material = -1, materialPower = -1, ambient = -1;
    GLint lightDiffuse = -1, lightSpecular = -1, lightAmbient = -1, lightPosition = -1;
    GLint lightDirection = -1, lightAttenuation = -1, lightSpot = -1, texMatrix = -1;
    GLint textureFactor = -1, stageConstant = -1, alphaRef = -1;
    GLint vsConstants = -1;  // application vertex shaders: c0..c255
};

// Compiles and links; logs and returns an empty program on failure.
std::unique_ptr<Program> BuildProgram(const std::string& vertexSource, const std::string& fragmentSource);

class Renderer {
public:
    Renderer();  // with the device's context current
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Forgets every OpenGL name without deleting it.
    void Abandon();

    bool ClipControl() const { return clipControl_; }
    bool Anisotropy() const { return anisotropy_; }
    bool MirrorOnce() const { return mirrorOnce_; }
    // The program for a fixed-function state; null if it cannot be built.
    Program* FixedFunction(const FfpDesc& desc);
    // A program cached under a key of the caller's (vertex shaders of the application).
    Program* Cached(const std::string& key);
    Program* Store(const std::string& key, std::unique_ptr<Program> program);
    // Deletes the programs whose key starts with `prefix`.
    void Forget(const std::string& prefix);

    GLuint VertexArray() const { return vao_.Get(); }
    // Where user-pointer draws put their vertices and indices.
    StreamBuffer& UserVertices() { return userVertices_; }
    StreamBuffer& UserIndices() { return userIndices_; }
    // Enables exactly the vertex attribute arrays in `mask` (bit n: location n) of the vertex
    // array; the others read (0, 0, 0, 1).
    void EnableAttributes(uint32_t mask);
    void SetDivisor(GLuint location, GLuint divisor);
    GLuint Sampler(int stage) const { return samplers_[stage].Get(); }
    // Whether sampler `stage` needs these states set: false when it has them already.
    bool SamplerChanges(int stage, const DWORD* states);
    // The layout of a flexible vertex format, null when the format is invalid.
    const VertexLayout* FvfLayout(DWORD fvf);

    // Draws the device cursor into the bound framebuffer (rows top first) at a pixel position.
    void DrawCursor(GLuint texture, int x, int y, int width, int height, int drawW, int drawH);
    // Draws `texture` smoothly stretched over the whole bound framebuffer, whose rows are stored
    // bottom first (the window's).
    void DrawStretched(GLuint texture, int drawW, int drawH);

private:
    // Draws `texture` over a rectangle in pixels of the bound framebuffer (negative sizes mirror).
    void DrawQuad(GLuint texture, float x, float y, float width, float height, int drawW, int drawH, GLint filter,
                  bool blend);

    bool clipControl_ = false;
    bool anisotropy_ = false;
    bool mirrorOnce_ = false;
    std::unordered_map<std::string, std::unique_ptr<Program>> programs_;
    // The fixed-function program of the last draw: most draws keep the state of the one before.
    FfpDesc lastDesc_ = {};
    Program* lastProgram_ = nullptr;
    GlVertexArray vao_;
    StreamBuffer userVertices_, userIndices_;
    uint32_t enabledAttributes_ = 0;
    GLuint divisors_[16] = {};
    GlSampler samplers_[8];
    // The states each sampler was last set from; none until it is set.
    DWORD samplerStates_[8][D3DSAMP_COUNT] = {};
    bool samplerSet_[8] = {};
    // The program and sampler of the cursor and of the stretched image, whatever the device's states.
    std::unique_ptr<Program> quadProgram_;
    GLint quadRect_ = -1, quadSize_ = -1;
    GlSampler quadSampler_;
    std::unordered_map<DWORD, std::unique_ptr<VertexLayout>> fvfLayouts_;
};

}  // namespace platform::d3d9
