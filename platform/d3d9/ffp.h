// The fixed-function pipeline as GLSL: a description of the state that shapes the shaders, and
// the generated vertex and fragment shaders for it.
#pragma once

#include <cstdint>
#include <string>

namespace platform::d3d9 {

constexpr int kMaxActiveLights = 8;
constexpr int kMaxBlendMatrices = 4;

// Vertex attribute locations of the fixed-function inputs.
enum FfpLocation : int {
    kLocPosition = 0,
    kLocBlendWeight = 1,
    kLocBlendIndices = 2,
    kLocNormal = 3,
    kLocPointSize = 4,
    kLocDiffuse = 5,
    kLocSpecular = 6,
    kLocTexCoord0 = 7,  // to 14
};

// Everything about the state that changes the generated code. Bytes only, so that the raw
// bytes form the cache key.
struct FfpDesc {
    struct Stage {
        uint8_t colorOp, colorArg[3];  // [0] = ARG0, [1] = ARG1, [2] = ARG2
        uint8_t alphaOp, alphaArg[3];
        uint8_t resultTemp;            // the stage writes D3DTA_TEMP instead of CURRENT
        uint8_t texture;               // a texture is bound
        uint8_t coordSource;           // 0-7: texture coordinate set; 8: none (reads 0)
        uint8_t coordSize;             // components of that set
        uint8_t texGen;                // D3DTSS_TCI_* >> 16
        uint8_t transformCount;        // D3DTTFF_COUNTn, 0 when off
        uint8_t projected;             // D3DTTFF_PROJECTED
        uint8_t premodulate;           // the previous stage asked for D3DTOP_PREMODULATE
    };

    // Vertex processing
    uint8_t shaderVertices;  // a vertex shader feeds the pipeline: nothing below up to `flat`
    uint8_t pretransformed;
    uint8_t hasNormal, hasDiffuse, hasSpecular, hasPointSize;
    uint8_t lighting;
    uint8_t lightCount;
    uint8_t lightType[kMaxActiveLights];
    uint8_t localViewer, normalizeNormals, specularLighting;
    uint8_t diffuseSource, ambientSource, specularSource, emissiveSource;  // D3DMCS_*, resolved
    uint8_t blendMatrices;  // 0: no vertex blending; else the number of world matrices blended
    uint8_t blendWeights;   // weights the vertex supplies
    uint8_t clipControl;    // depth 0..w reaches OpenGL unchanged
    // Shared
    uint8_t flat;
    // Pixel processing
    uint8_t stageCount;
    Stage stages[8];
    uint8_t specularAdd;
    uint8_t alphaFunc;  // D3DCMP_*, 0 when the test is off

    std::string Key() const { return std::string(reinterpret_cast<const char*>(this), sizeof *this); }
};

// The vertex shader of the fixed function (not used with a vertex shader of the application).
std::string FfpVertexShader(const FfpDesc& desc);
// The fragment shader: the texture stages, the specular sum and the alpha test.
std::string FfpFragmentShader(const FfpDesc& desc);

}  // namespace platform::d3d9
