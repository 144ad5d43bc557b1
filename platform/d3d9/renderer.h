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
    // Buffers for user-pointer draws, filled anew each time.
    GLuint UserVertices() const { return userVertices_.Get(); }
    GLuint UserIndices() const { return userIndices_.Get(); }
    GLuint Sampler(int stage) const { return samplers_[stage].Get(); }
    // The layout of a flexible vertex format, null when the format is invalid.
    const VertexLayout* FvfLayout(DWORD fvf);

    // Draws the device cursor into the bound framebuffer (rows top first) at a pixel position.
    void DrawCursor(GLuint texture, int x, int y, int width, int height, int drawW, int drawH);

private:
    bool clipControl_ = false;
    bool anisotropy_ = false;
    bool mirrorOnce_ = false;
    std::unordered_map<std::string, std::unique_ptr<Program>> programs_;
    GlVertexArray vao_;
    GlBuffer userVertices_, userIndices_;
    GlSampler samplers_[8];
    std::unique_ptr<Program> cursorProgram_;
    std::unordered_map<DWORD, std::unique_ptr<VertexLayout>> fvfLayouts_;
};

}  // namespace platform::d3d9
