// Vertex layouts of D3DX meshes: flexible vertex formats, declarations, and element conversion.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <vector>

namespace platform::d3dx9 {

// One mesh vertex layout: the elements (all in stream 0, without the end marker), the
// equivalent flexible vertex format (0 when there is none) and the vertex size.
struct VertexFormat {
    std::vector<D3DVERTEXELEMENT9> elements;
    DWORD fvf = 0;
    UINT stride = 0;

    // Builds the layout of a flexible vertex format; false when the code is malformed or
    // names no position.
    bool FromFvf(DWORD code);
    // Builds the layout of a declaration (read up to its end marker); false when invalid.
    bool FromDeclaration(const D3DVERTEXELEMENT9* declaration);
    // The element of a usage and index, or null.
    const D3DVERTEXELEMENT9* Find(BYTE usage, BYTE index = 0) const;
    // Byte offset of a FLOAT3 element, or -1.
    int Float3Offset(BYTE usage, BYTE index = 0) const;
    // Writes the elements and the end marker into `out` (MAXD3DDECLLENGTH entries).
    void CopyDeclaration(D3DVERTEXELEMENT9* out) const;
    bool SameLayout(const VertexFormat& other) const;
};

// The flexible vertex format with exactly these elements, or 0.
DWORD FvfOfDeclaration(const std::vector<D3DVERTEXELEMENT9>& elements);

// Copies every element of `dst`'s layout that `src` also has (by usage and index) from one
// vertex to another, converting between types (components that the source type lacks are 0,
// a missing w is 1); elements that `src` lacks are zero.
class VertexConverter {
public:
    VertexConverter(const VertexFormat& src, const VertexFormat& dst);
    void Convert(const uint8_t* srcVertex, uint8_t* dstVertex) const;

private:
    struct Step {
        const D3DVERTEXELEMENT9* src;  // null: fill with the default
        const D3DVERTEXELEMENT9* dst;
        bool same;                     // byte copy
    };
    std::vector<Step> steps_;
    UINT dstStride_;
};

}  // namespace platform::d3dx9
