// ID3DXMesh: an indexed triangle list in a device vertex buffer and index buffer, with one
// attribute per face and an optional attribute table.
#pragma once

#include <d3dx9mesh.h>

#include "common/com.h"
#include "d3dx9/mesh/vertex_format.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::d3dx9 {

// The contents of a mesh in memory, for building, cloning and reordering.
struct MeshContents {
    std::vector<uint8_t> vertices;  // stride bytes per vertex
    std::vector<uint32_t> indices;  // three per face
    std::vector<DWORD> attributes;  // one per face
};

// Largest vertex or index buffer a mesh makes, in bytes.
constexpr uint64_t kMaxMeshBufferBytes = uint64_t(1) << 30;
// Largest vertex count with 16-bit indices.
constexpr DWORD kMax16BitVertices = 0xFFFF;

class Mesh final : public ComObject<ID3DXMesh> {
public:
    // A mesh with zeroed buffers. `sharedVb`, when given, is used as the vertex buffer (the
    // layouts must match) and `shareToken` marks the meshes that use it.
    static HRESULT Create(IDirect3DDevice9* device, DWORD numFaces, DWORD numVertices, DWORD options,
                          const VertexFormat& format, Mesh** out,
                          IDirect3DVertexBuffer9* sharedVb = nullptr,
                          std::shared_ptr<const char> shareToken = nullptr);
    // A mesh holding `contents` (counts taken from it).
    static HRESULT CreateWith(IDirect3DDevice9* device, DWORD options, const VertexFormat& format,
                              const MeshContents& contents, Mesh** out);

    // ID3DXBaseMesh
    HRESULT STDMETHODCALLTYPE DrawSubset(DWORD AttribId) override;
    DWORD STDMETHODCALLTYPE GetNumFaces() override { return numFaces_; }
    DWORD STDMETHODCALLTYPE GetNumVertices() override { return numVertices_; }
    DWORD STDMETHODCALLTYPE GetFVF() override { return format_.fvf; }
    HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9 Declaration[MAXD3DDECLLENGTH]) override;
    DWORD STDMETHODCALLTYPE GetNumBytesPerVertex() override { return format_.stride; }
    DWORD STDMETHODCALLTYPE GetOptions() override { return options_; }
    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* ppDevice) override;
    HRESULT STDMETHODCALLTYPE CloneMeshFVF(DWORD Options, DWORD FVF, LPDIRECT3DDEVICE9 pD3DDevice,
                                           ID3DXMesh** ppCloneMesh) override;
    HRESULT STDMETHODCALLTYPE CloneMesh(DWORD Options, const D3DVERTEXELEMENT9* pDeclaration,
                                        LPDIRECT3DDEVICE9 pD3DDevice, ID3DXMesh** ppCloneMesh) override;
    HRESULT STDMETHODCALLTYPE GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* ppVB) override;
    HRESULT STDMETHODCALLTYPE GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* ppIB) override;
    HRESULT STDMETHODCALLTYPE LockVertexBuffer(DWORD Flags, LPVOID* ppData) override;
    HRESULT STDMETHODCALLTYPE UnlockVertexBuffer() override;
    HRESULT STDMETHODCALLTYPE LockIndexBuffer(DWORD Flags, LPVOID* ppData) override;
    HRESULT STDMETHODCALLTYPE UnlockIndexBuffer() override;
    HRESULT STDMETHODCALLTYPE GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable,
                                                DWORD* pAttribTableSize) override;
    HRESULT STDMETHODCALLTYPE GenerateAdjacency(FLOAT Epsilon, DWORD* pAdjacency) override;

    // ID3DXMesh
    HRESULT STDMETHODCALLTYPE LockAttributeBuffer(DWORD Flags, DWORD** ppData) override;
    HRESULT STDMETHODCALLTYPE UnlockAttributeBuffer() override;
    HRESULT STDMETHODCALLTYPE Optimize(DWORD Flags, const DWORD* pAdjacencyIn, DWORD* pAdjacencyOut,
                                       DWORD* pFaceRemap, LPD3DXBUFFER* ppVertexRemap,
                                       ID3DXMesh** ppOptMesh) override;
    HRESULT STDMETHODCALLTYPE OptimizeInplace(DWORD Flags, const DWORD* pAdjacencyIn, DWORD* pAdjacencyOut,
                                              DWORD* pFaceRemap, LPD3DXBUFFER* ppVertexRemap) override;
    HRESULT STDMETHODCALLTYPE SetAttributeTable(const D3DXATTRIBUTERANGE* pAttribTable,
                                                DWORD cAttribTableSize) override;

    const VertexFormat& Format() const { return format_; }
    bool Uses32BitIndices() const { return (options_ & D3DXMESH_32BIT) != 0; }
    // Copies the whole contents out.
    HRESULT Read(MeshContents* out);

protected:
    bool Implements(REFIID riid) const override { return AnyOf(riid, {&IID_ID3DXBaseMesh, &IID_ID3DXMesh}); }

private:
    Mesh(IDirect3DDevice9* device, DWORD options, const VertexFormat& format);
    ~Mesh() override;

    // Writes vertices (when `vertices` is set), indices and attributes of the current counts.
    HRESULT Write(const std::vector<uint8_t>* vertices, const std::vector<uint32_t>& indices,
                  const std::vector<DWORD>& attributes);
    HRESULT CloneWith(DWORD options, const VertexFormat& format, IDirect3DDevice9* device, ID3DXMesh** out);
    bool Locked() const { return vbLocks_ || ibLocks_ || attribLocks_; }

    IDirect3DDevice9* device_;  // holds a reference
    DWORD options_;
    VertexFormat format_;
    DWORD numFaces_ = 0;
    DWORD numVertices_ = 0;
    ComPtr<IDirect3DVertexBuffer9> vb_;
    ComPtr<IDirect3DIndexBuffer9> ib_;
    ComPtr<IDirect3DVertexDeclaration9> declaration_;  // made on the first draw of a non-FVF layout
    std::shared_ptr<const char> vbShare_;  // shared by the meshes that use the same vertex buffer
    std::vector<DWORD> attributes_;
    std::vector<D3DXATTRIBUTERANGE> table_;
    int vbLocks_ = 0;
    int ibLocks_ = 0;
    int attribLocks_ = 0;
    bool attributesWritten_ = false;
};

Mesh* AsMesh(ID3DXBaseMesh* mesh);

// For each vertex, the lowest-numbered vertex within `epsilon` of its position (itself when
// none); positions are FLOAT3 at `positionOffset`.
std::vector<uint32_t> PointRepsByPosition(const uint8_t* vertices, DWORD count, UINT stride,
                                          UINT positionOffset, float epsilon);
// Three neighbours per face: the face across edge (0,1), (1,2) and (2,0), matching edges through
// the vertices' point representatives; 0xFFFFFFFF where there is none.
void AdjacencyFromPointReps(const uint32_t* indices, DWORD numFaces, const std::vector<uint32_t>& reps,
                            DWORD* out);
void AdjacencyFromPointReps(const uint16_t* indices, DWORD numFaces, const std::vector<uint32_t>& reps,
                            DWORD* out);

}  // namespace platform::d3dx9
