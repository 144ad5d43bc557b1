// Vertex layouts: flexible vertex formats and vertex declarations, and what the fixed-function
// pipeline finds in them.
#pragma once

#include <d3d9.h>

#include "common/com.h"

#include <vector>

namespace platform::d3d9 {

class Device;

struct VertexElement {
    UINT stream = 0;
    UINT offset = 0;
    BYTE type = D3DDECLTYPE_UNUSED;
    BYTE usage = 0;
    BYTE usageIndex = 0;
};

struct VertexLayout {
    std::vector<VertexElement> elements;
    bool hasPosition = false;
    bool pretransformed = false;  // POSITIONT: x, y in pixels, z, 1/w
    bool hasNormal = false;
    bool hasDiffuse = false;
    bool hasSpecular = false;
    bool hasPointSize = false;
    BYTE blendWeights = 0;      // components of BLENDWEIGHT0
    BYTE texSize[8] = {};       // components of TEXCOORDn, 0 when absent
    UINT fvfSize = 0;           // bytes of a vertex, for a flexible vertex format

    // The element of a usage and index, or null.
    const VertexElement* Find(BYTE usage, BYTE index) const;
    // Fills the summary flags from the elements.
    void Summarise();
};

// Bytes of one element of a declaration type, 0 for an unknown type.
UINT DeclTypeSize(BYTE type);
// Components one element of the type supplies.
BYTE DeclTypeComponents(BYTE type);

// The layout of a flexible vertex format; false when the code names no position or is malformed.
bool DecodeFvf(DWORD fvf, VertexLayout* layout);
// The size of one vertex of a flexible vertex format.
UINT FvfVertexSize(DWORD fvf);

class VertexDeclaration final : public ComObject<IDirect3DVertexDeclaration9> {
public:
    // Validates the elements as CreateVertexDeclaration does; null when they are invalid.
    static VertexDeclaration* Create(Device* device, const D3DVERTEXELEMENT9* elements);
    ~VertexDeclaration() override;

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
    HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override;

    const VertexLayout& Layout() const { return layout_; }

private:
    explicit VertexDeclaration(Device* device);

    Device* device_;  // holds a reference
    std::vector<D3DVERTEXELEMENT9> elements_;  // with the end marker
    VertexLayout layout_;
};

VertexDeclaration* AsVertexDeclaration(IDirect3DVertexDeclaration9* declaration);

}  // namespace platform::d3d9
