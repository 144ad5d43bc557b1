// The device's draw calls: vertex input, the fixed-function program for the current state, and
// every piece of OpenGL state the draw depends on.
#include "d3d9/buffer.h"
#include "d3d9/device.h"
#include "d3d9/renderer.h"
#include "d3d9/texture.h"
#include "d3d9/vertex_input.h"
#include "d3d9/vertex_shader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::d3d9 {
namespace {

// D3D9 puts pixel centres on integer coordinates, OpenGL on half-integers. Geometry moves by half
// a pixel, less 1/128, so that edges through pixel centres fall as D3D's top-left rule has them.
constexpr float kPixelCentre = 63.0f / 128.0f;

float AsFloat(DWORD bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void ColorToFloats(D3DCOLOR c, float out[4]) {
    out[0] = float((c >> 16) & 0xFF) / 255.0f;
    out[1] = float((c >> 8) & 0xFF) / 255.0f;
    out[2] = float(c & 0xFF) / 255.0f;
    out[3] = float(c >> 24) / 255.0f;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    return r;
}

// The inverse of a 4x4 matrix by cofactors; false when it is singular.
bool Invert(const D3DMATRIX& matrix, D3DMATRIX* out) {
    double m[16], inv[16];
    for (int i = 0; i < 16; ++i) m[i] = matrix.m[i / 4][i % 4];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] + m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] - m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] + m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] - m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] - m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] + m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] - m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] + m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] + m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] - m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] + m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] - m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] - m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] + m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] - m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] + m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (det == 0 || !std::isfinite(det)) return false;
    for (int i = 0; i < 16; ++i) out->m[i / 4][i % 4] = float(inv[i] / det);
    return true;
}

// v * M for a point (w = 1) and for a direction (the upper 3x3 only).
void TransformPoint(const D3DVECTOR& v, const D3DMATRIX& m, float out[3]) {
    for (int j = 0; j < 3; ++j) out[j] = v.x * m.m[0][j] + v.y * m.m[1][j] + v.z * m.m[2][j] + m.m[3][j];
}
void TransformDirection(const D3DVECTOR& v, const D3DMATRIX& m, float out[3]) {
    for (int j = 0; j < 3; ++j) out[j] = v.x * m.m[0][j] + v.y * m.m[1][j] + v.z * m.m[2][j];
}
void Normalise(float v[3]) {
    float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len > 0)
        for (int i = 0; i < 3; ++i) v[i] /= len;
}

bool ValidPrimitive(D3DPRIMITIVETYPE type) { return type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN; }

UINT VerticesFor(D3DPRIMITIVETYPE type, UINT primitives) {
    switch (type) {
    case D3DPT_POINTLIST: return primitives;
    case D3DPT_LINELIST: return primitives * 2;
    case D3DPT_LINESTRIP: return primitives + 1;
    case D3DPT_TRIANGLELIST: return primitives * 3;
    default: return primitives + 2;
    }
}

GLenum GlPrimitive(D3DPRIMITIVETYPE type) {
    switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST: return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    default: return GL_TRIANGLE_FAN;
    }
}

GLenum Compare(DWORD f) {
    switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum StencilOp(DWORD op) {
    switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

// A blend factor; without destination alpha (X8R8G8B8) the destination's alpha reads 1.
GLenum BlendFactor(DWORD f, bool destAlpha) {
    switch (f) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return destAlpha ? GL_DST_ALPHA : GL_ONE;
    case D3DBLEND_INVDESTALPHA: return destAlpha ? GL_ONE_MINUS_DST_ALPHA : GL_ZERO;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return destAlpha ? GL_SRC_ALPHA_SATURATE : GL_ZERO;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
    }
}

void BlendFactors(DWORD src, DWORD dst, bool destAlpha, GLenum* glSrc, GLenum* glDst) {
    // The "both" factors set the destination factor too.
    if (src == D3DBLEND_BOTHSRCALPHA) {
        *glSrc = GL_SRC_ALPHA;
        *glDst = GL_ONE_MINUS_SRC_ALPHA;
    } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
        *glSrc = GL_ONE_MINUS_SRC_ALPHA;
        *glDst = GL_SRC_ALPHA;
    } else {
        *glSrc = BlendFactor(src, destAlpha);
        *glDst = BlendFactor(dst, destAlpha);
    }
}

GLenum BlendEquation(DWORD op) {
    switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLint Wrap(DWORD mode, bool mirrorOnce) {
    switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return mirrorOnce ? GL_MIRROR_CLAMP_TO_EDGE : GL_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
    }
}

void SetSampler(GLuint sampler, const DWORD* ss, const Renderer& r) {
    bool minLinear = ss[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
    bool magLinear = ss[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR;
    GLint min;
    switch (ss[D3DSAMP_MIPFILTER]) {
    case D3DTEXF_NONE: min = minLinear ? GL_LINEAR : GL_NEAREST; break;
    case D3DTEXF_POINT: min = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
    default: min = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
    }
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, min);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, Wrap(ss[D3DSAMP_ADDRESSU], r.MirrorOnce()));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, Wrap(ss[D3DSAMP_ADDRESSV], r.MirrorOnce()));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, Wrap(ss[D3DSAMP_ADDRESSW], r.MirrorOnce()));
    float border[4];
    ColorToFloats(ss[D3DSAMP_BORDERCOLOR], border);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
    // MAXMIPLEVEL names the largest level used.
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, float(ss[D3DSAMP_MAXMIPLEVEL]));
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, AsFloat(ss[D3DSAMP_MIPMAPLODBIAS]));
    if (!r.Anisotropy()) return;
    bool aniso = ss[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC || ss[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC;
    glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT,
                        aniso ? float(std::clamp<DWORD>(ss[D3DSAMP_MAXANISOTROPY], 1, 16)) : 1.0f);
}

// The attribute location the fixed function reads an element from, -1 for none.
int FfpAttribute(const VertexElement& e) {
    switch (e.usage) {
    case D3DDECLUSAGE_POSITION:
    case D3DDECLUSAGE_POSITIONT: return e.usageIndex == 0 ? kLocPosition : -1;
    case D3DDECLUSAGE_BLENDWEIGHT: return e.usageIndex == 0 ? kLocBlendWeight : -1;
    case D3DDECLUSAGE_BLENDINDICES: return e.usageIndex == 0 ? kLocBlendIndices : -1;
    case D3DDECLUSAGE_NORMAL: return e.usageIndex == 0 ? kLocNormal : -1;
    case D3DDECLUSAGE_PSIZE: return e.usageIndex == 0 ? kLocPointSize : -1;
    case D3DDECLUSAGE_COLOR: return e.usageIndex < 2 ? kLocDiffuse + e.usageIndex : -1;
    case D3DDECLUSAGE_TEXCOORD: return e.usageIndex < 8 ? kLocTexCoord0 + e.usageIndex : -1;
    default: return -1;
    }
}

// Points an attribute at its data; false for a type it cannot read.
bool SetAttribute(GLuint loc, BYTE type, GLsizei stride, size_t offset) {
    const void* p = reinterpret_cast<const void*>(offset);
    switch (type) {
    case D3DDECLTYPE_FLOAT1: glVertexAttribPointer(loc, 1, GL_FLOAT, GL_FALSE, stride, p); break;
    case D3DDECLTYPE_FLOAT2: glVertexAttribPointer(loc, 2, GL_FLOAT, GL_FALSE, stride, p); break;
    case D3DDECLTYPE_FLOAT3: glVertexAttribPointer(loc, 3, GL_FLOAT, GL_FALSE, stride, p); break;
    case D3DDECLTYPE_FLOAT4: glVertexAttribPointer(loc, 4, GL_FLOAT, GL_FALSE, stride, p); break;
    // Bytes B, G, R, A in memory: OpenGL's BGRA order gives (R, G, B, A).
    case D3DDECLTYPE_D3DCOLOR: glVertexAttribPointer(loc, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, p); break;
    case D3DDECLTYPE_UBYTE4: glVertexAttribPointer(loc, 4, GL_UNSIGNED_BYTE, GL_FALSE, stride, p); break;
    case D3DDECLTYPE_SHORT2: glVertexAttribPointer(loc, 2, GL_SHORT, GL_FALSE, stride, p); break;
    case D3DDECLTYPE_SHORT4: glVertexAttribPointer(loc, 4, GL_SHORT, GL_FALSE, stride, p); break;
    case D3DDECLTYPE_UBYTE4N: glVertexAttribPointer(loc, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, p); break;
    case D3DDECLTYPE_SHORT2N: glVertexAttribPointer(loc, 2, GL_SHORT, GL_TRUE, stride, p); break;
    case D3DDECLTYPE_SHORT4N: glVertexAttribPointer(loc, 4, GL_SHORT, GL_TRUE, stride, p); break;
    case D3DDECLTYPE_USHORT2N: glVertexAttribPointer(loc, 2, GL_UNSIGNED_SHORT, GL_TRUE, stride, p); break;
    case D3DDECLTYPE_USHORT4N: glVertexAttribPointer(loc, 4, GL_UNSIGNED_SHORT, GL_TRUE, stride, p); break;
    case D3DDECLTYPE_UDEC3: glVertexAttribPointer(loc, 4, GL_UNSIGNED_INT_2_10_10_10_REV, GL_FALSE, stride, p); break;
    case D3DDECLTYPE_DEC3N: glVertexAttribPointer(loc, 4, GL_INT_2_10_10_10_REV, GL_TRUE, stride, p); break;
    case D3DDECLTYPE_FLOAT16_2: glVertexAttribPointer(loc, 2, GL_HALF_FLOAT, GL_FALSE, stride, p); break;
    case D3DDECLTYPE_FLOAT16_4: glVertexAttribPointer(loc, 4, GL_HALF_FLOAT, GL_FALSE, stride, p); break;
    default: return false;
    }
    return true;
}

}  // namespace

// Draw calls

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT primitives) {
    if (Tracing()) TraceCall("DrawPrimitive", {int64_t(type), int64_t(start), int64_t(primitives)});
    if (condition_ != DeviceCondition::Operational) return D3D_OK;
    if (!inScene_ || !ValidPrimitive(type)) return D3DERR_INVALIDCALL;
    if (primitives == 0) return D3D_OK;
    DrawCall call;
    call.type = type;
    call.count = VerticesFor(type, primitives);
    call.startVertex = start;
    return Submit(call);
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT numVertices,
                                     UINT startIndex, UINT primitives) {
    if (Tracing())
        TraceCall("DrawIndexedPrimitive", {int64_t(type), int64_t(baseVertex), int64_t(minIndex),
                                           int64_t(numVertices), int64_t(startIndex), int64_t(primitives)});
    if (condition_ != DeviceCondition::Operational) return D3D_OK;
    if (!inScene_ || !ValidPrimitive(type)) return D3DERR_INVALIDCALL;
    if (primitives == 0) return D3D_OK;
    DrawCall call;
    call.type = type;
    call.count = VerticesFor(type, primitives);
    call.indexed = true;
    call.baseVertex = baseVertex;
    call.minIndex = minIndex;
    call.numVertices = numVertices;
    call.startIndex = startIndex;
    return Submit(call);
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitives, const void* data, UINT stride) {
    if (Tracing())
        TraceCall("DrawPrimitiveUP", {int64_t(type), int64_t(primitives), int64_t(reinterpret_cast<intptr_t>(data)),
                                      int64_t(stride)});
    if (condition_ != DeviceCondition::Operational) return D3D_OK;
    if (!inScene_ || !ValidPrimitive(type) || !data || stride == 0) return D3DERR_INVALIDCALL;
    DrawCall call;
    call.type = type;
    call.count = VerticesFor(type, primitives);
    call.userVertices = data;
    call.userStride = stride;
    HRESULT hr = primitives ? Submit(call) : D3D_OK;
    // The call leaves stream 0 unset.
    streams_[0].Reset();
    streamOffsets_[0] = streamStrides_[0] = 0;
    return hr;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT primitives,
                                       const void* indices, D3DFORMAT format, const void* data, UINT stride) {
    if (Tracing())
        TraceCall("DrawIndexedPrimitiveUP",
                  {int64_t(type), int64_t(minIndex), int64_t(numVertices), int64_t(primitives),
                   int64_t(reinterpret_cast<intptr_t>(indices)), int64_t(format),
                   int64_t(reinterpret_cast<intptr_t>(data)), int64_t(stride)});
    if (condition_ != DeviceCondition::Operational) return D3D_OK;
    if (!inScene_ || !ValidPrimitive(type) || !indices || !data || stride == 0 ||
        (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    DrawCall call;
    call.type = type;
    call.count = VerticesFor(type, primitives);
    call.indexed = true;
    call.minIndex = minIndex;
    call.numVertices = numVertices;
    call.userVertices = data;
    call.userStride = stride;
    call.userIndices = indices;
    call.userIndexFormat = format;
    HRESULT hr = primitives ? Submit(call) : D3D_OK;
    // The call leaves stream 0 and the indices unset.
    streams_[0].Reset();
    streamOffsets_[0] = streamStrides_[0] = 0;
    indices_.Reset();
    return hr;
}

HRESULT Device::Submit(const DrawCall& call) {
    if (!MakeCurrent()) return D3D_OK;
    RestoreBackBuffer();
    if (!renderer_) renderer_ = std::make_unique<Renderer>();
    Renderer& r = *renderer_;

    const VertexLayout* layout = declaration_ ? &AsVertexDeclaration(declaration_.Get())->Layout()
                                              : r.FvfLayout(state_.fvf);
    VertexShader* shader = vertexShader_ ? AsVertexShader(vertexShader_.Get()) : nullptr;
    if (!layout || (!shader && !layout->hasPosition)) return D3DERR_INVALIDCALL;
    bool pretransformed = layout->pretransformed && !shader;

    // The vertices the draw reads, relative to each stream's start.
    int64_t first = 0, last = 0;
    UINT indexSize = 0;
    IndexBuffer* ib = nullptr;
    if (!call.indexed) {
        first = call.startVertex;
        last = first + int64_t(call.count) - 1;
    } else if (call.userIndices) {
        indexSize = call.userIndexFormat == D3DFMT_INDEX32 ? 4 : 2;
        uint32_t largest = LargestIndex(call.userIndices, indexSize, call.count);
        if (int64_t(largest) >= int64_t(call.minIndex) + call.numVertices) return D3DERR_INVALIDCALL;
        last = largest;
    } else {
        ib = indices_ ? AsIndexBuffer(indices_.Get()) : nullptr;
        if (!ib) return D3DERR_INVALIDCALL;
        indexSize = ib->IndexSize();
        size_t total = ib->Store().Length() / indexSize;
        if (size_t(call.startIndex) + call.count > total) return D3DERR_INVALIDCALL;
        first = call.baseVertex;
        last = int64_t(call.baseVertex) + ib->MaxIndex();
    }

    // Which elements feed which attribute.
    struct Binding {
        const VertexElement* element;
        GLuint location;
    };
    Binding bindings[MAXD3DDECLLENGTH];
    size_t bindingCount = 0;
    for (const VertexElement& e : layout->elements) {
        int loc = shader ? shader->InputLocation(e.usage, e.usageIndex) : FfpAttribute(e);
        if (loc < 0 || bindingCount == MAXD3DDECLLENGTH) continue;
        bindings[bindingCount++] = Binding{&e, GLuint(loc)};
    }
    if (shader && !shader->InputsBound(*layout)) return D3DERR_INVALIDCALL;

    // Every vertex read must lie inside its buffer.
    auto fits = [&](int64_t lo, int64_t hi) {
        for (size_t i = 0; i < bindingCount; ++i) {
            const VertexElement& e = *bindings[i].element;
            int64_t end = int64_t(e.offset) + DeclTypeSize(e.type);
            if (call.userVertices) {
                if (e.stream != 0 || end > int64_t(call.userStride)) return false;
                continue;
            }
            auto* vb = streams_[e.stream] ? AsVertexBuffer(streams_[e.stream].Get()) : nullptr;
            if (!vb || lo < 0) return false;
            int64_t stride = streamStrides_[e.stream];
            if (int64_t(streamOffsets_[e.stream]) + hi * stride + end > int64_t(vb->Store().Length())) return false;
        }
        return true;
    };
    if (!fits(first, last)) {
        if (!ib) return D3DERR_INVALIDCALL;
        // The whole buffer's largest index was too large: look at the indices drawn.
        const uint8_t* data = ib->Store().Data() + size_t(call.startIndex) * indexSize;
        uint32_t largest = LargestIndex(data, indexSize, call.count);
        uint32_t smallest = largest;
        for (size_t i = 0; i < call.count; ++i) {
            uint32_t v = 0;
            std::memcpy(&v, data + i * indexSize, indexSize);
            smallest = std::min(smallest, v);
        }
        first = int64_t(call.baseVertex) + smallest;
        last = int64_t(call.baseVertex) + largest;
        if (!fits(first, last)) return D3DERR_INVALIDCALL;
    }

    // Vertex input.
    glBindVertexArray(r.VertexArray());
    // User vertices go to the stream buffer at a whole vertex: the draw starts at that one.
    GLint userFirst = 0;
    if (call.userVertices)
        userFirst = GLint(r.UserVertices().Write(GL_ARRAY_BUFFER, call.userVertices,
                                                 size_t(last + 1) * call.userStride, call.userStride) /
                          call.userStride);
    uint32_t enabled = 0;
    for (size_t i = 0; i < bindingCount; ++i) {
        const VertexElement& e = *bindings[i].element;
        GLuint loc = bindings[i].location;
        UINT stride = call.userStride;
        size_t offset = e.offset;
        if (!call.userVertices) {
            auto* vb = AsVertexBuffer(streams_[e.stream].Get());
            vb->Store().Sync(GL_ARRAY_BUFFER);
            stride = streamStrides_[e.stream];
            offset = size_t(streamOffsets_[e.stream]) + e.offset;
        }
        if (!SetAttribute(loc, e.type, GLsizei(stride), offset)) continue;
        enabled |= 1u << loc;
        // A stride of 0 gives every vertex the same data.
        r.SetDivisor(loc, stride == 0 ? 1 : 0);
    }
    r.EnableAttributes(enabled);

    // The program.
    FfpDesc desc = {};
    BuildDesc(*layout, shader != nullptr, &desc);
    Program* program = shader ? shader->ProgramFor(r, desc) : r.FixedFunction(desc);
    if (!program) return D3DERR_INVALIDCALL;
    glUseProgram(program->program.Get());
    SetUniforms(*program, desc, pretransformed);
    if (shader && program->vsConstants >= 0) shader->SetConstants(*program, vsConstants_[0]);

    ApplyOutputState(pretransformed);

    for (int s = 0; s < desc.stageCount; ++s) {
        if (!desc.stages[s].texture) continue;
        glActiveTexture(GLenum(GL_TEXTURE0 + s));
        glBindTexture(GL_TEXTURE_2D, AsTexture(textures_[s].Get())->GlName());
        glBindSampler(GLuint(s), r.Sampler(s));
        if (r.SamplerChanges(s, state_.samplerStates[s])) SetSampler(r.Sampler(s), state_.samplerStates[s], r);
    }
    glActiveTexture(GL_TEXTURE0);

    GLenum mode = GlPrimitive(call.type);
    if (!call.indexed) {
        glDrawArrays(mode, call.userVertices ? userFirst : GLint(call.startVertex), GLsizei(call.count));
    } else {
        GLenum type = indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
        if (call.userIndices) {
            size_t offset = r.UserIndices().Write(GL_ELEMENT_ARRAY_BUFFER, call.userIndices,
                                                  size_t(call.count) * indexSize, 4);
            glDrawElementsBaseVertex(mode, GLsizei(call.count), type, reinterpret_cast<const void*>(offset), userFirst);
        } else {
            ib->Store().Sync(GL_ELEMENT_ARRAY_BUFFER);
            glDrawElementsBaseVertex(mode, GLsizei(call.count), type,
                                     reinterpret_cast<const void*>(size_t(call.startIndex) * indexSize),
                                     call.baseVertex);
        }
    }
    return D3D_OK;
}

void Device::ForgetPrograms(const std::string& prefix) {
    if (renderer_ && MakeCurrent()) renderer_->Forget(prefix);
}

void Device::BuildDesc(const VertexLayout& layout, bool shaderVertices, FfpDesc* d) {
    const DWORD* rs = state_.renderStates;
    d->shaderVertices = shaderVertices;
    d->clipControl = renderer_->ClipControl();
    d->flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    if (!shaderVertices) {
        d->pretransformed = layout.pretransformed;
        d->hasNormal = layout.hasNormal && !layout.pretransformed;
        d->hasDiffuse = layout.hasDiffuse;
        d->hasSpecular = layout.hasSpecular;
        d->hasPointSize = layout.hasPointSize;
        d->lighting = rs[D3DRS_LIGHTING] && !layout.pretransformed;
        if (d->lighting) {
            for (const auto& entry : state_.lights) {
                if (!entry.second.enabled || d->lightCount == kMaxActiveLights) continue;
                d->lightType[d->lightCount++] = uint8_t(entry.second.light.Type);
            }
            d->localViewer = rs[D3DRS_LOCALVIEWER] != FALSE;
            d->normalizeNormals = rs[D3DRS_NORMALIZENORMALS] != FALSE;
            d->specularLighting = rs[D3DRS_SPECULARENABLE] != FALSE;
            // Vertex colours feed the material only with COLORVERTEX, and only those present.
            auto source = [&](DWORD s) -> uint8_t {
                if (!rs[D3DRS_COLORVERTEX]) return D3DMCS_MATERIAL;
                if (s == D3DMCS_COLOR1 && layout.hasDiffuse) return D3DMCS_COLOR1;
                if (s == D3DMCS_COLOR2 && layout.hasSpecular) return D3DMCS_COLOR2;
                return D3DMCS_MATERIAL;
            };
            d->diffuseSource = source(rs[D3DRS_DIFFUSEMATERIALSOURCE]);
            d->ambientSource = source(rs[D3DRS_AMBIENTMATERIALSOURCE]);
            d->specularSource = source(rs[D3DRS_SPECULARMATERIALSOURCE]);
            d->emissiveSource = source(rs[D3DRS_EMISSIVEMATERIALSOURCE]);
        }
        DWORD blend = rs[D3DRS_VERTEXBLEND];
        if (!layout.pretransformed && blend >= 1 && blend <= 3) {
            d->blendMatrices = uint8_t(blend + 1);
            d->blendWeights = layout.blendWeights;
        }
    }
    for (int s = 0; s < kMaxStages; ++s) {
        const DWORD* ts = state_.stageStates[s];
        if (ts[D3DTSS_COLOROP] == D3DTOP_DISABLE || ts[D3DTSS_COLOROP] > D3DTOP_LERP) break;
        Texture* texture = textures_[s] ? AsTexture(textures_[s].Get()) : nullptr;
        // A stage whose first colour argument is a missing texture ends the cascade.
        if ((ts[D3DTSS_COLORARG1] & D3DTA_SELECTMASK) == D3DTA_TEXTURE && !texture) break;
        FfpDesc::Stage& st = d->stages[s];
        st.colorOp = uint8_t(ts[D3DTSS_COLOROP]);
        st.colorArg[0] = uint8_t(ts[D3DTSS_COLORARG0]);
        st.colorArg[1] = uint8_t(ts[D3DTSS_COLORARG1]);
        st.colorArg[2] = uint8_t(ts[D3DTSS_COLORARG2]);
        st.alphaOp = uint8_t(std::min<DWORD>(ts[D3DTSS_ALPHAOP], D3DTOP_LERP + 1));
        st.alphaArg[0] = uint8_t(ts[D3DTSS_ALPHAARG0]);
        st.alphaArg[1] = uint8_t(ts[D3DTSS_ALPHAARG1]);
        st.alphaArg[2] = uint8_t(ts[D3DTSS_ALPHAARG2]);
        st.resultTemp = (ts[D3DTSS_RESULTARG] & D3DTA_SELECTMASK) == D3DTA_TEMP;
        st.texture = texture != nullptr;
        st.premodulate = s > 0 && d->stages[s - 1].colorOp == D3DTOP_PREMODULATE;
        if (texture) {
            if (shaderVertices) {
                // A vertex shader's oTn feeds stage n.
                st.coordSource = uint8_t(s);
                st.coordSize = 4;
                st.projected = (ts[D3DTSS_TEXTURETRANSFORMFLAGS] & D3DTTFF_PROJECTED) != 0;
            } else {
                DWORD index = ts[D3DTSS_TEXCOORDINDEX] & 0xFFFF;
                DWORD gen = (ts[D3DTSS_TEXCOORDINDEX] >> 16) & 0xF;
                bool present = index < 8 && layout.texSize[index] != 0;
                st.coordSource = present ? uint8_t(index) : 8;
                st.coordSize = present ? layout.texSize[index] : 2;
                st.texGen = gen <= 3 ? uint8_t(gen) : 0;
                DWORD flags = ts[D3DTSS_TEXTURETRANSFORMFLAGS];
                st.transformCount = uint8_t(std::min<DWORD>(flags & 0xFF, 4));
                st.projected = (flags & D3DTTFF_PROJECTED) && st.transformCount > 1;
            }
        }
        ++d->stageCount;
    }
    // The specular colour is added when there is one: lit, or from the vertex.
    d->specularAdd = rs[D3DRS_SPECULARENABLE] && (shaderVertices || d->lighting || layout.hasSpecular);
    d->alphaFunc = rs[D3DRS_ALPHATESTENABLE] ? uint8_t(std::min<DWORD>(rs[D3DRS_ALPHAFUNC], D3DCMP_ALWAYS)) : 0;
}

void Device::SetUniforms(const Program& p, const FfpDesc& desc, bool pretransformed) {
    const DWORD* rs = state_.renderStates;
    const D3DVIEWPORT9& vp = state_.viewport;
    glUniform4f(p.viewport, float(vp.X), float(vp.Y), float(vp.Width), float(vp.Height));
    glUniform4f(p.pixelFix, 2.0f * kPixelCentre / float(vp.Width), 2.0f * kPixelCentre / float(vp.Height),
                kPixelCentre, kPixelCentre);
    float factor[4];
    ColorToFloats(rs[D3DRS_TEXTUREFACTOR], factor);
    glUniform4fv(p.textureFactor, 1, factor);
    float constants[8][4];
    for (int s = 0; s < 8; ++s) ColorToFloats(state_.stageStates[s][D3DTSS_CONSTANT], constants[s]);
    glUniform4fv(p.stageConstant, 8, constants[0]);
    glUniform1f(p.alphaRef, float(rs[D3DRS_ALPHAREF] & 0xFF));
    glUniform3f(p.pointSize, AsFloat(rs[D3DRS_POINTSIZE]), AsFloat(rs[D3DRS_POINTSIZE_MIN]),
                AsFloat(rs[D3DRS_POINTSIZE_MAX]));
    if (desc.shaderVertices || pretransformed) return;

    int matrices = std::max<int>(1, desc.blendMatrices);
    D3DMATRIX worldView[kMaxBlendMatrices];
    float normal[kMaxBlendMatrices][9];
    for (int i = 0; i < matrices; ++i) {
        worldView[i] = Multiply(state_.world[i], state_.view);
        // Normals go through the inverse transpose, as row vectors: n * (M^-1)^T.
        D3DMATRIX inverse;
        if (!Invert(worldView[i], &inverse)) inverse = D3DMATRIX{};
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) normal[i][row * 3 + col] = inverse.m[col][row];
    }
    // Row-major D3D data read as column-major: GLSL's M * v computes v * M.
    glUniformMatrix4fv(p.worldView, matrices, GL_FALSE, &worldView[0].m[0][0]);
    glUniformMatrix3fv(p.normalMatrix, matrices, GL_FALSE, normal[0]);
    glUniformMatrix4fv(p.projection, 1, GL_FALSE, &state_.projection.m[0][0]);
    glUniformMatrix4fv(p.texMatrix, kMaxStages, GL_FALSE, &state_.textureTransform[0].m[0][0]);

    if (!desc.lighting) return;
    const D3DMATERIAL9& m = state_.material;
    const float material[16] = {m.Diffuse.r, m.Diffuse.g, m.Diffuse.b, m.Diffuse.a,
                                m.Ambient.r, m.Ambient.g, m.Ambient.b, m.Ambient.a,
                                m.Specular.r, m.Specular.g, m.Specular.b, m.Specular.a,
                                m.Emissive.r, m.Emissive.g, m.Emissive.b, m.Emissive.a};
    glUniform4fv(p.material, 4, material);
    glUniform1f(p.materialPower, m.Power);
    float ambient[4];
    ColorToFloats(rs[D3DRS_AMBIENT], ambient);
    glUniform4fv(p.ambient, 1, ambient);

    float diffuse[kMaxActiveLights][4] = {}, specular[kMaxActiveLights][4] = {}, ambientL[kMaxActiveLights][4] = {};
    float position[kMaxActiveLights][3] = {}, direction[kMaxActiveLights][3] = {};
    float attenuation[kMaxActiveLights][4] = {}, spot[kMaxActiveLights][3] = {};
    int n = 0;
    for (const auto& entry : state_.lights) {
        if (!entry.second.enabled || n == desc.lightCount) continue;
        const D3DLIGHT9& l = entry.second.light;
        std::memcpy(diffuse[n], &l.Diffuse, sizeof diffuse[n]);
        std::memcpy(specular[n], &l.Specular, sizeof specular[n]);
        std::memcpy(ambientL[n], &l.Ambient, sizeof ambientL[n]);
        TransformPoint(l.Position, state_.view, position[n]);
        // Toward the light: the reverse of its direction, in camera space.
        TransformDirection(l.Direction, state_.view, direction[n]);
        Normalise(direction[n]);
        for (float& c : direction[n]) c = -c;
        attenuation[n][0] = l.Attenuation0;
        attenuation[n][1] = l.Attenuation1;
        attenuation[n][2] = l.Attenuation2;
        attenuation[n][3] = l.Range;
        spot[n][0] = std::cos(l.Theta / 2);
        spot[n][1] = std::cos(l.Phi / 2);
        spot[n][2] = l.Falloff;
        ++n;
    }
    glUniform4fv(p.lightDiffuse, kMaxActiveLights, diffuse[0]);
    glUniform4fv(p.lightSpecular, kMaxActiveLights, specular[0]);
    glUniform4fv(p.lightAmbient, kMaxActiveLights, ambientL[0]);
    glUniform3fv(p.lightPosition, kMaxActiveLights, position[0]);
    glUniform3fv(p.lightDirection, kMaxActiveLights, direction[0]);
    glUniform4fv(p.lightAttenuation, kMaxActiveLights, attenuation[0]);
    glUniform3fv(p.lightSpot, kMaxActiveLights, spot[0]);
}

void Device::ApplyOutputState(bool pretransformed) {
    const DWORD* rs = state_.renderStates;
    const D3DVIEWPORT9& vp = state_.viewport;
    glBindFramebuffer(GL_FRAMEBUFFER, back_.fbo.Get());
    glViewport(GLint(vp.X), GLint(vp.Y), GLsizei(vp.Width), GLsizei(vp.Height));
    // Pre-transformed z is the depth itself.
    if (pretransformed) glDepthRange(0.0, 1.0);
    else glDepthRange(vp.MinZ, vp.MaxZ);
    if (renderer_->ClipControl()) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DITHER);
    glDisable(GL_MULTISAMPLE);
    glDisable(GL_SAMPLE_ALPHA_TO_COVERAGE);
    glDisable(GL_RASTERIZER_DISCARD);
    glDisable(GL_PRIMITIVE_RESTART);
    glDisable(GL_FRAMEBUFFER_SRGB);
    glDisable(GL_COLOR_LOGIC_OP);
    glDisable(GL_DEPTH_CLAMP);
    for (int i = 0; i < 8; ++i) glDisable(GLenum(GL_CLIP_DISTANCE0 + i));
    glEnable(GL_PROGRAM_POINT_SIZE);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);

    // Clockwise on screen is D3D's front. Rows are stored top first, so a triangle clockwise on
    // screen is counter-clockwise in OpenGL's window coordinates.
    glFrontFace(GL_CCW);
    switch (rs[D3DRS_CULLMODE]) {
    case D3DCULL_CW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT);
        break;
    case D3DCULL_CCW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        break;
    default: glDisable(GL_CULL_FACE); break;
    }
    switch (rs[D3DRS_FILLMODE]) {
    case D3DFILL_POINT: glPolygonMode(GL_FRONT_AND_BACK, GL_POINT); break;
    case D3DFILL_WIREFRAME: glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); break;
    default: glPolygonMode(GL_FRONT_AND_BACK, GL_FILL); break;
    }
    float bias = AsFloat(rs[D3DRS_DEPTHBIAS]), slope = AsFloat(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
    if (bias != 0.0f || slope != 0.0f) {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glEnable(GL_POLYGON_OFFSET_LINE);
        glEnable(GL_POLYGON_OFFSET_POINT);
        // D3D's bias is in depth units; OpenGL's in steps of the 24-bit buffer.
        glPolygonOffset(slope, bias * 16777216.0f);
    } else {
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_POLYGON_OFFSET_LINE);
        glDisable(GL_POLYGON_OFFSET_POINT);
    }

    bool hasDepth = params_.EnableAutoDepthStencil != FALSE;
    bool hasStencil = hasDepth && params_.AutoDepthStencilFormat == D3DFMT_D24S8;
    if (hasDepth && rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(Compare(rs[D3DRS_ZFUNC]));
        glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    } else {
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
    }
    if (hasStencil && rs[D3DRS_STENCILENABLE]) {
        glEnable(GL_STENCIL_TEST);
        GLint ref = GLint(rs[D3DRS_STENCILREF] & 0xFF);
        GLuint mask = rs[D3DRS_STENCILMASK] & 0xFF;
        glStencilMask(rs[D3DRS_STENCILWRITEMASK] & 0xFF);
        // OpenGL's front faces are D3D's clockwise ones.
        glStencilFuncSeparate(GL_FRONT, Compare(rs[D3DRS_STENCILFUNC]), ref, mask);
        glStencilOpSeparate(GL_FRONT, StencilOp(rs[D3DRS_STENCILFAIL]), StencilOp(rs[D3DRS_STENCILZFAIL]),
                            StencilOp(rs[D3DRS_STENCILPASS]));
        bool twoSided = rs[D3DRS_TWOSIDEDSTENCILMODE] != FALSE;
        DWORD backFunc = twoSided ? rs[D3DRS_CCW_STENCILFUNC] : rs[D3DRS_STENCILFUNC];
        DWORD backFail = twoSided ? rs[D3DRS_CCW_STENCILFAIL] : rs[D3DRS_STENCILFAIL];
        DWORD backZFail = twoSided ? rs[D3DRS_CCW_STENCILZFAIL] : rs[D3DRS_STENCILZFAIL];
        DWORD backPass = twoSided ? rs[D3DRS_CCW_STENCILPASS] : rs[D3DRS_STENCILPASS];
        glStencilFuncSeparate(GL_BACK, Compare(backFunc), ref, mask);
        glStencilOpSeparate(GL_BACK, StencilOp(backFail), StencilOp(backZFail), StencilOp(backPass));
    } else {
        glDisable(GL_STENCIL_TEST);
        glStencilMask(0);
    }

    DWORD write = rs[D3DRS_COLORWRITEENABLE];
    // Blending that keeps the colour as it is (a pass for the stencil alone) writes no colour.
    bool keep = rs[D3DRS_ALPHABLENDENABLE] && rs[D3DRS_SRCBLEND] == D3DBLEND_ZERO &&
                rs[D3DRS_DESTBLEND] == D3DBLEND_ONE && rs[D3DRS_BLENDOP] == D3DBLENDOP_ADD &&
                !rs[D3DRS_SEPARATEALPHABLENDENABLE];
    if (keep) write = 0;
    glColorMask(write & 1 ? GL_TRUE : GL_FALSE, write & 2 ? GL_TRUE : GL_FALSE, write & 4 ? GL_TRUE : GL_FALSE,
                write & 8 ? GL_TRUE : GL_FALSE);
    if (rs[D3DRS_ALPHABLENDENABLE]) {
        bool destAlpha = params_.BackBufferFormat == D3DFMT_A8R8G8B8;
        GLenum src, dst, srcAlpha, dstAlpha;
        BlendFactors(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], destAlpha, &src, &dst);
        GLenum op = BlendEquation(rs[D3DRS_BLENDOP]), opAlpha = op;
        if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
            BlendFactors(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], destAlpha, &srcAlpha, &dstAlpha);
            opAlpha = BlendEquation(rs[D3DRS_BLENDOPALPHA]);
        } else {
            srcAlpha = src;
            dstAlpha = dst;
        }
        glEnable(GL_BLEND);
        glBlendFuncSeparate(src, dst, srcAlpha, dstAlpha);
        glBlendEquationSeparate(op, opAlpha);
        float color[4];
        ColorToFloats(rs[D3DRS_BLENDFACTOR], color);
        glBlendColor(color[0], color[1], color[2], color[3]);
    } else {
        glDisable(GL_BLEND);
    }
}

}  // namespace platform::d3d9
