#include "d3dx9/mesh/vertex_format.h"

#include "d3d9/vertex_input.h"

#include <d3dx9mesh.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::d3dx9 {

namespace {

constexpr BYTE kLastDeclMethod = 6;  // D3DDECLMETHOD_LOOKUPPRESAMPLED

D3DVERTEXELEMENT9 Element(WORD offset, BYTE type, BYTE usage, BYTE index = 0) {
    return D3DVERTEXELEMENT9{0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index};
}

bool SameElement(const D3DVERTEXELEMENT9& a, const D3DVERTEXELEMENT9& b) {
    return a.Stream == b.Stream && a.Offset == b.Offset && a.Type == b.Type && a.Method == b.Method &&
           a.Usage == b.Usage && a.UsageIndex == b.UsageIndex;
}

BYTE FloatType(UINT components) {
    static const BYTE types[] = {D3DDECLTYPE_FLOAT1, D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3,
                                 D3DDECLTYPE_FLOAT4};
    return types[components - 1];
}

// Components of a FLOATn type, 0 for the others.
UINT FloatComponents(BYTE type) {
    switch (type) {
    case D3DDECLTYPE_FLOAT1: return 1;
    case D3DDECLTYPE_FLOAT2: return 2;
    case D3DDECLTYPE_FLOAT3: return 3;
    case D3DDECLTYPE_FLOAT4: return 4;
    default: return 0;
    }
}

// Texture coordinate components of set `i` of a flexible vertex format.
UINT TexComponents(DWORD fvf, UINT i) {
    switch ((fvf >> (16 + 2 * i)) & 3) {
    case D3DFVF_TEXTUREFORMAT1: return 1;
    case D3DFVF_TEXTUREFORMAT3: return 3;
    case D3DFVF_TEXTUREFORMAT4: return 4;
    default: return 2;
    }
}

float HalfToFloat(uint16_t h) {
    const int sign = (h >> 15) & 1;
    const int exponent = (h >> 10) & 0x1F;
    const int mantissa = h & 0x3FF;
    float v;
    if (exponent == 0) v = std::ldexp(float(mantissa), -24);
    else if (exponent == 31) v = mantissa ? NAN : INFINITY;
    else v = std::ldexp(float(mantissa | 0x400), exponent - 25);
    return sign ? -v : v;
}

uint16_t FloatToHalf(float f) {
    const uint16_t sign = std::signbit(f) ? 0x8000 : 0;
    f = std::fabs(f);
    if (std::isnan(f)) return sign | 0x7E00;
    if (f >= 65520.0f) return sign | 0x7C00;
    if (f < std::ldexp(1.0f, -24)) return sign;
    int exponent;
    std::frexp(f, &exponent);  // f = m * 2^exponent, m in [0.5, 1)
    if (exponent < -13) {      // subnormal half
        return sign | uint16_t(std::lround(std::ldexp(f, 24)));
    }
    const long mantissa = std::lround(std::ldexp(f, 11 - exponent)) - 1024;  // 10 bits after rounding
    int e = exponent + 14;
    long m = mantissa;
    if (m == 1024) {
        m = 0;
        ++e;
    }
    if (e >= 31) return sign | 0x7C00;
    return sign | uint16_t(e << 10) | uint16_t(m);
}

template <class T>
T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class T>
void Store(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

float Clamp(float v, float lo, float hi) { return std::isnan(v) ? 0.0f : std::min(std::max(v, lo), hi); }

void Read(BYTE type, const uint8_t* p, float out[4]) {
    out[0] = out[1] = out[2] = 0.0f;
    out[3] = 1.0f;
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_FLOAT3:
    case D3DDECLTYPE_FLOAT4:
        for (UINT i = 0; i < FloatComponents(type); ++i) out[i] = Load<float>(p + 4 * i);
        break;
    case D3DDECLTYPE_D3DCOLOR:  // bytes b, g, r, a
        out[0] = p[2] / 255.0f;
        out[1] = p[1] / 255.0f;
        out[2] = p[0] / 255.0f;
        out[3] = p[3] / 255.0f;
        break;
    case D3DDECLTYPE_UBYTE4:
        for (int i = 0; i < 4; ++i) out[i] = p[i];
        break;
    case D3DDECLTYPE_UBYTE4N:
        for (int i = 0; i < 4; ++i) out[i] = p[i] / 255.0f;
        break;
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT4:
        for (int i = 0; i < (type == D3DDECLTYPE_SHORT2 ? 2 : 4); ++i) out[i] = Load<int16_t>(p + 2 * i);
        break;
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_SHORT4N:
        for (int i = 0; i < (type == D3DDECLTYPE_SHORT2N ? 2 : 4); ++i)
            out[i] = std::max(Load<int16_t>(p + 2 * i) / 32767.0f, -1.0f);
        break;
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_USHORT4N:
        for (int i = 0; i < (type == D3DDECLTYPE_USHORT2N ? 2 : 4); ++i)
            out[i] = Load<uint16_t>(p + 2 * i) / 65535.0f;
        break;
    case D3DDECLTYPE_UDEC3: {
        const uint32_t v = Load<uint32_t>(p);
        for (int i = 0; i < 3; ++i) out[i] = float((v >> (10 * i)) & 0x3FF);
        break;
    }
    case D3DDECLTYPE_DEC3N: {
        const uint32_t v = Load<uint32_t>(p);
        for (int i = 0; i < 3; ++i) {
            int c = int((v >> (10 * i)) & 0x3FF);
            if (c & 0x200) c -= 0x400;
            out[i] = std::max(c / 511.0f, -1.0f);
        }
        break;
    }
    case D3DDECLTYPE_FLOAT16_2:
    case D3DDECLTYPE_FLOAT16_4:
        for (int i = 0; i < (type == D3DDECLTYPE_FLOAT16_2 ? 2 : 4); ++i)
            out[i] = HalfToFloat(Load<uint16_t>(p + 2 * i));
        break;
    default:
        break;
    }
}

void Write(BYTE type, const float v[4], uint8_t* p) {
    auto unorm = [](float x, float scale) { return long(std::lround(Clamp(x, 0.0f, 1.0f) * scale)); };
    auto snorm = [](float x, float scale) { return long(std::lround(Clamp(x, -1.0f, 1.0f) * scale)); };
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_FLOAT3:
    case D3DDECLTYPE_FLOAT4:
        for (UINT i = 0; i < FloatComponents(type); ++i) Store<float>(p + 4 * i, v[i]);
        break;
    case D3DDECLTYPE_D3DCOLOR:
        p[0] = uint8_t(unorm(v[2], 255.0f));
        p[1] = uint8_t(unorm(v[1], 255.0f));
        p[2] = uint8_t(unorm(v[0], 255.0f));
        p[3] = uint8_t(unorm(v[3], 255.0f));
        break;
    case D3DDECLTYPE_UBYTE4:
        for (int i = 0; i < 4; ++i) p[i] = uint8_t(std::lround(Clamp(v[i], 0.0f, 255.0f)));
        break;
    case D3DDECLTYPE_UBYTE4N:
        for (int i = 0; i < 4; ++i) p[i] = uint8_t(unorm(v[i], 255.0f));
        break;
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT4:
        for (int i = 0; i < (type == D3DDECLTYPE_SHORT2 ? 2 : 4); ++i)
            Store<int16_t>(p + 2 * i, int16_t(std::lround(Clamp(v[i], -32768.0f, 32767.0f))));
        break;
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_SHORT4N:
        for (int i = 0; i < (type == D3DDECLTYPE_SHORT2N ? 2 : 4); ++i)
            Store<int16_t>(p + 2 * i, int16_t(snorm(v[i], 32767.0f)));
        break;
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_USHORT4N:
        for (int i = 0; i < (type == D3DDECLTYPE_USHORT2N ? 2 : 4); ++i)
            Store<uint16_t>(p + 2 * i, uint16_t(unorm(v[i], 65535.0f)));
        break;
    case D3DDECLTYPE_UDEC3: {
        uint32_t out = 0;
        for (int i = 0; i < 3; ++i) out |= uint32_t(std::lround(Clamp(v[i], 0.0f, 1023.0f))) << (10 * i);
        Store<uint32_t>(p, out);
        break;
    }
    case D3DDECLTYPE_DEC3N: {
        uint32_t out = 0;
        for (int i = 0; i < 3; ++i) out |= (uint32_t(snorm(v[i], 511.0f)) & 0x3FF) << (10 * i);
        Store<uint32_t>(p, out);
        break;
    }
    case D3DDECLTYPE_FLOAT16_2:
    case D3DDECLTYPE_FLOAT16_4:
        for (int i = 0; i < (type == D3DDECLTYPE_FLOAT16_2 ? 2 : 4); ++i)
            Store<uint16_t>(p + 2 * i, FloatToHalf(v[i]));
        break;
    default:
        break;
    }
}

}  // namespace

bool VertexFormat::FromFvf(DWORD code) {
    elements.clear();
    fvf = 0;
    stride = 0;
    constexpr DWORD kReserved = D3DFVF_RESERVED0 | 0x2000;
    if (code & kReserved) return false;
    const DWORD lastBeta = code & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR);
    if (lastBeta == (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR)) return false;
    const DWORD texCount = (code & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (texCount > 8) return false;

    WORD offset = 0;
    const DWORD position = code & D3DFVF_POSITION_MASK;
    switch (position) {
    case D3DFVF_XYZ:
        elements.push_back(Element(offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION));
        offset += 12;
        break;
    case D3DFVF_XYZRHW:
        elements.push_back(Element(offset, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT));
        offset += 16;
        break;
    case D3DFVF_XYZW:
        elements.push_back(Element(offset, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION));
        offset += 16;
        break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5: {
        elements.push_back(Element(offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION));
        offset += 12;
        const UINT betas = (position - D3DFVF_XYZRHW) / 2;
        const UINT weights = lastBeta ? betas - 1 : betas;
        if (weights > 4) return false;
        if (weights > 0) {
            elements.push_back(Element(offset, FloatType(weights), D3DDECLUSAGE_BLENDWEIGHT));
            offset += WORD(4 * weights);
        }
        if (lastBeta) {
            elements.push_back(Element(offset,
                                       lastBeta == D3DFVF_LASTBETA_UBYTE4 ? D3DDECLTYPE_UBYTE4
                                                                          : D3DDECLTYPE_D3DCOLOR,
                                       D3DDECLUSAGE_BLENDINDICES));
            offset += 4;
        }
        break;
    }
    default:
        return false;
    }
    if (lastBeta && (position < D3DFVF_XYZB1 || position > D3DFVF_XYZB5)) return false;

    if (code & D3DFVF_NORMAL) {
        elements.push_back(Element(offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL));
        offset += 12;
    }
    if (code & D3DFVF_PSIZE) {
        elements.push_back(Element(offset, D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE));
        offset += 4;
    }
    if (code & D3DFVF_DIFFUSE) {
        elements.push_back(Element(offset, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0));
        offset += 4;
    }
    if (code & D3DFVF_SPECULAR) {
        elements.push_back(Element(offset, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1));
        offset += 4;
    }
    for (UINT i = 0; i < texCount; ++i) {
        const UINT n = TexComponents(code, i);
        elements.push_back(Element(offset, FloatType(n), D3DDECLUSAGE_TEXCOORD, BYTE(i)));
        offset += WORD(4 * n);
    }
    stride = offset;
    // Size fields of sets beyond the count do not change the layout.
    DWORD sizeMask = 0;
    for (UINT i = 0; i < texCount; ++i) sizeMask |= 3u << (16 + 2 * i);
    fvf = code & (0xFFFF | sizeMask);
    return true;
}

bool VertexFormat::FromDeclaration(const D3DVERTEXELEMENT9* declaration) {
    elements.clear();
    fvf = 0;
    stride = 0;
    if (!declaration) return false;
    for (UINT i = 0;; ++i) {
        if (i >= MAXD3DDECLLENGTH) return false;  // no end marker in reach
        const D3DVERTEXELEMENT9& e = declaration[i];
        if (e.Stream == 0xFF) break;
        const UINT size = d3d9::DeclTypeSize(e.Type);
        if (e.Stream != 0 || size == 0 || e.Method > kLastDeclMethod ||
            e.Usage > D3DDECLUSAGE_SAMPLE || e.Offset % 4 != 0 || e.Offset + size > 0xFFFF)
            return false;
        for (const D3DVERTEXELEMENT9& other : elements)
            if (other.Usage == e.Usage && other.UsageIndex == e.UsageIndex) return false;
        elements.push_back(e);
        stride = std::max<UINT>(stride, e.Offset + size);
    }
    if (elements.empty()) return false;
    fvf = FvfOfDeclaration(elements);
    return true;
}

const D3DVERTEXELEMENT9* VertexFormat::Find(BYTE usage, BYTE index) const {
    for (const D3DVERTEXELEMENT9& e : elements)
        if (e.Usage == usage && e.UsageIndex == index) return &e;
    return nullptr;
}

int VertexFormat::Float3Offset(BYTE usage, BYTE index) const {
    const D3DVERTEXELEMENT9* e = Find(usage, index);
    return e && e->Type == D3DDECLTYPE_FLOAT3 ? int(e->Offset) : -1;
}

void VertexFormat::CopyDeclaration(D3DVERTEXELEMENT9* out) const {
    std::copy(elements.begin(), elements.end(), out);
    out[elements.size()] = D3DVERTEXELEMENT9 D3DDECL_END();
}

bool VertexFormat::SameLayout(const VertexFormat& other) const {
    if (stride != other.stride || elements.size() != other.elements.size()) return false;
    for (size_t i = 0; i < elements.size(); ++i)
        if (!SameElement(elements[i], other.elements[i])) return false;
    return true;
}

DWORD FvfOfDeclaration(const std::vector<D3DVERTEXELEMENT9>& elements) {
    DWORD code = 0;
    UINT betas = 0;
    DWORD lastBeta = 0;
    UINT texCount = 0;
    DWORD texSizes = 0;
    for (const D3DVERTEXELEMENT9& e : elements) {
        switch (e.Usage) {
        case D3DDECLUSAGE_POSITION:
            if (e.UsageIndex != 0) return 0;
            code |= e.Type == D3DDECLTYPE_FLOAT4 ? D3DFVF_XYZW : D3DFVF_XYZ;
            break;
        case D3DDECLUSAGE_POSITIONT: code |= D3DFVF_XYZRHW; break;
        case D3DDECLUSAGE_BLENDWEIGHT: betas += FloatComponents(e.Type); break;
        case D3DDECLUSAGE_BLENDINDICES:
            lastBeta = e.Type == D3DDECLTYPE_UBYTE4 ? D3DFVF_LASTBETA_UBYTE4 : D3DFVF_LASTBETA_D3DCOLOR;
            ++betas;
            break;
        case D3DDECLUSAGE_NORMAL: code |= D3DFVF_NORMAL; break;
        case D3DDECLUSAGE_PSIZE: code |= D3DFVF_PSIZE; break;
        case D3DDECLUSAGE_COLOR: code |= e.UsageIndex == 0 ? D3DFVF_DIFFUSE : D3DFVF_SPECULAR; break;
        case D3DDECLUSAGE_TEXCOORD: {
            const UINT n = FloatComponents(e.Type);
            if (n == 0 || e.UsageIndex >= 8) return 0;
            texCount = std::max<UINT>(texCount, e.UsageIndex + 1u);
            static const DWORD formats[] = {0, D3DFVF_TEXTUREFORMAT1, D3DFVF_TEXTUREFORMAT2,
                                            D3DFVF_TEXTUREFORMAT3, D3DFVF_TEXTUREFORMAT4};
            texSizes |= formats[n] << (16 + 2 * e.UsageIndex);
            break;
        }
        default:
            return 0;
        }
    }
    if (betas > 0) {
        if ((code & D3DFVF_POSITION_MASK) != D3DFVF_XYZ || betas > 5) return 0;
        code = (code & ~DWORD(D3DFVF_POSITION_MASK)) | (D3DFVF_XYZRHW + 2 * betas) | lastBeta;
    }
    code |= (texCount << D3DFVF_TEXCOUNT_SHIFT) | texSizes;
    // Only a layout that the code reproduces element for element has an equivalent.
    VertexFormat check;
    if (!check.FromFvf(code) || check.elements.size() != elements.size()) return 0;
    for (size_t i = 0; i < elements.size(); ++i)
        if (!SameElement(check.elements[i], elements[i])) return 0;
    return check.fvf;
}

VertexConverter::VertexConverter(const VertexFormat& src, const VertexFormat& dst) : dstStride_(dst.stride) {
    for (const D3DVERTEXELEMENT9& d : dst.elements) {
        const D3DVERTEXELEMENT9* s = src.Find(d.Usage, d.UsageIndex);
        steps_.push_back(Step{s, &d, s && s->Type == d.Type});
    }
}

void VertexConverter::Convert(const uint8_t* srcVertex, uint8_t* dstVertex) const {
    std::memset(dstVertex, 0, dstStride_);
    for (const Step& step : steps_) {
        uint8_t* out = dstVertex + step.dst->Offset;
        if (step.same) {
            std::memcpy(out, srcVertex + step.src->Offset, d3d9::DeclTypeSize(step.dst->Type));
            continue;
        }
        if (!step.src) continue;  // a new element starts at zero
        float v[4];
        Read(step.src->Type, srcVertex + step.src->Offset, v);
        Write(step.dst->Type, v, out);
    }
}

}  // namespace platform::d3dx9

UINT WINAPI D3DXGetFVFVertexSize(DWORD FVF) {
    UINT size = 0;
    const DWORD position = FVF & D3DFVF_POSITION_MASK;
    if (position == D3DFVF_XYZRHW || position == D3DFVF_XYZW) size = 16;
    else if (position == D3DFVF_XYZ) size = 12;
    else if (position >= D3DFVF_XYZB1 && position <= D3DFVF_XYZB5) size = 12 + 4 * ((position - D3DFVF_XYZRHW) / 2);
    if (FVF & D3DFVF_NORMAL) size += 12;
    if (FVF & D3DFVF_PSIZE) size += 4;
    if (FVF & D3DFVF_DIFFUSE) size += 4;
    if (FVF & D3DFVF_SPECULAR) size += 4;
    const UINT texCount = std::min<UINT>((FVF & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT, 8);
    for (UINT i = 0; i < texCount; ++i) {
        switch ((FVF >> (16 + 2 * i)) & 3) {
        case D3DFVF_TEXTUREFORMAT1: size += 4; break;
        case D3DFVF_TEXTUREFORMAT3: size += 12; break;
        case D3DFVF_TEXTUREFORMAT4: size += 16; break;
        default: size += 8; break;
        }
    }
    return size;
}
