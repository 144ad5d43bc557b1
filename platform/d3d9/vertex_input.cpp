#include "d3d9/vertex_input.h"

#include "common/vertex_usage.h"
#include "d3d9/device.h"

#include <algorithm>

namespace platform::d3d9 {

UINT DeclTypeSize(BYTE type) {
    switch (type) {
    case D3DDECLTYPE_FLOAT1: return 4;
    case D3DDECLTYPE_FLOAT2: return 8;
    case D3DDECLTYPE_FLOAT3: return 12;
    case D3DDECLTYPE_FLOAT4: return 16;
    case D3DDECLTYPE_D3DCOLOR:
    case D3DDECLTYPE_UBYTE4:
    case D3DDECLTYPE_UBYTE4N:
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_UDEC3:
    case D3DDECLTYPE_DEC3N:
    case D3DDECLTYPE_FLOAT16_2: return 4;
    case D3DDECLTYPE_SHORT4:
    case D3DDECLTYPE_SHORT4N:
    case D3DDECLTYPE_USHORT4N:
    case D3DDECLTYPE_FLOAT16_4: return 8;
    default: return 0;
    }
}

BYTE DeclTypeComponents(BYTE type) {
    switch (type) {
    case D3DDECLTYPE_FLOAT1: return 1;
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_FLOAT16_2: return 2;
    case D3DDECLTYPE_FLOAT3:
    case D3DDECLTYPE_UDEC3:
    case D3DDECLTYPE_DEC3N: return 3;
    case D3DDECLTYPE_UNUSED: return 0;
    default: return 4;
    }
}

const VertexElement* VertexLayout::Find(BYTE usage, BYTE index) const {
    for (const auto& e : elements)
        if (e.usage == usage && e.usageIndex == index) return &e;
    return nullptr;
}

void VertexLayout::Summarise() {
    hasPosition = Find(D3DDECLUSAGE_POSITION, 0) || Find(D3DDECLUSAGE_POSITIONT, 0);
    pretransformed = Find(D3DDECLUSAGE_POSITIONT, 0) != nullptr;
    hasNormal = Find(D3DDECLUSAGE_NORMAL, 0) != nullptr;
    hasDiffuse = Find(D3DDECLUSAGE_COLOR, 0) != nullptr;
    hasSpecular = Find(D3DDECLUSAGE_COLOR, 1) != nullptr;
    hasPointSize = Find(D3DDECLUSAGE_PSIZE, 0) != nullptr;
    const VertexElement* weights = Find(D3DDECLUSAGE_BLENDWEIGHT, 0);
    blendWeights = weights ? DeclTypeComponents(weights->type) : 0;
    for (BYTE i = 0; i < 8; ++i) {
        const VertexElement* t = Find(D3DDECLUSAGE_TEXCOORD, i);
        texSize[i] = t ? DeclTypeComponents(t->type) : 0;
    }
}

bool DecodeFvf(DWORD fvf, VertexLayout* layout) {
    VertexLayout l;
    UINT offset = 0;
    auto add = [&](BYTE type, BYTE usage, BYTE index) {
        l.elements.push_back(VertexElement{0, offset, type, usage, index});
        offset += DeclTypeSize(type);
    };
    static const BYTE kFloats[] = {0, D3DDECLTYPE_FLOAT1, D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3,
                                   D3DDECLTYPE_FLOAT4};
    DWORD position = fvf & D3DFVF_POSITION_MASK;
    switch (position) {
    case D3DFVF_XYZ: add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0); break;
    case D3DFVF_XYZRHW: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0); break;
    case D3DFVF_XYZW: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0); break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5: {
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
        UINT betas = (position - D3DFVF_XYZRHW) / 2;
        bool indexed = (fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR)) != 0;
        UINT weights = indexed ? betas - 1 : betas;
        UINT stored = std::min(weights, 4u);
        if (stored) add(kFloats[stored], D3DDECLUSAGE_BLENDWEIGHT, 0);
        offset += (weights - stored) * 4;
        if (indexed)
            add(fvf & D3DFVF_LASTBETA_UBYTE4 ? D3DDECLTYPE_UBYTE4 : D3DDECLTYPE_D3DCOLOR,
                D3DDECLUSAGE_BLENDINDICES, 0);
        break;
    }
    default: return false;
    }
    if (fvf & D3DFVF_NORMAL) add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (fvf & D3DFVF_PSIZE) add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
    if (fvf & D3DFVF_DIFFUSE) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    if (fvf & D3DFVF_SPECULAR) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);
    UINT texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (texCount > 8) return false;
    for (UINT i = 0; i < texCount; ++i) {
        static const BYTE kSizes[] = {D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3, D3DDECLTYPE_FLOAT4,
                                      D3DDECLTYPE_FLOAT1};
        add(kSizes[(fvf >> (16 + 2 * i)) & 3], D3DDECLUSAGE_TEXCOORD, BYTE(i));
    }
    l.Summarise();
    l.fvfSize = offset;
    if (layout) *layout = std::move(l);
    return true;
}

UINT FvfVertexSize(DWORD fvf) {
    VertexLayout l;
    return DecodeFvf(fvf, &l) ? l.fvfSize : 0;
}

// Declarations

VertexDeclaration::VertexDeclaration(Device* device) : device_(device) { device_->AddRef(); }

VertexDeclaration::~VertexDeclaration() { device_->Release(); }

VertexDeclaration* VertexDeclaration::Create(Device* device, const D3DVERTEXELEMENT9* elements) {
    if (!elements) return nullptr;
    std::vector<D3DVERTEXELEMENT9> list;
    VertexLayout layout;
    for (size_t i = 0;; ++i) {
        const D3DVERTEXELEMENT9& e = elements[i];
        if (e.Stream == 0xFF) {
            list.push_back(e);
            break;
        }
        if (i >= MAXD3DDECLLENGTH) return nullptr;
        if (e.Stream >= kMaxStreams || e.Type >= D3DDECLTYPE_UNUSED || !ValidVertexUsage(e.Usage, e.UsageIndex) ||
            e.Method > 6 || (e.Offset & 3))
            return nullptr;
        if (layout.Find(e.Usage, e.UsageIndex)) return nullptr;
        // Elements of a stream follow one another.
        for (const auto& prior : layout.elements)
            if (prior.stream == e.Stream && prior.offset > e.Offset) return nullptr;
        list.push_back(e);
        layout.elements.push_back(VertexElement{e.Stream, e.Offset, e.Type, e.Usage, e.UsageIndex});
    }
    layout.Summarise();
    // Pre-transformed positions come from stream 0 alone, with no untransformed position.
    if (layout.pretransformed) {
        if (layout.Find(D3DDECLUSAGE_POSITION, 0)) return nullptr;
        for (const auto& e : layout.elements)
            if (e.stream != 0) return nullptr;
    }
    auto* declaration = new VertexDeclaration(device);
    declaration->elements_ = std::move(list);
    declaration->layout_ = std::move(layout);
    return declaration;
}

HRESULT VertexDeclaration::GetDevice(IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *out = device_;
    return D3D_OK;
}

HRESULT VertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* out, UINT* count) {
    if (!count) return D3DERR_INVALIDCALL;
    if (out) std::copy(elements_.begin(), elements_.end(), out);
    *count = UINT(elements_.size());
    return D3D_OK;
}

VertexDeclaration* AsVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
    return dynamic_cast<VertexDeclaration*>(declaration);
}

}  // namespace platform::d3d9
